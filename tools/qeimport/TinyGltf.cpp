// The one place tinygltf and stb's image reader are compiled. tinygltf's own image reader is left
// out (TINYGLTF_NO_STB_IMAGE, set for the whole library): the importer gives it one that checks
// an image's size before it decodes it.
#define TINYGLTF_IMPLEMENTATION
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#include <stb_image.h>
#include <tiny_gltf.h>
