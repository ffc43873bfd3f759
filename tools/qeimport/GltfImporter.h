#pragma once
// Imports a glTF 2.0 model (a .gltf with its buffers and images, or a .glb) into a group archive
// of the sample's content (samples/scene/Content.h):
//
//   Content/NAME/Textures.rsc      the textures with their pixels (when the model has any)
//   Content/NAME/Meshes.rsc        the meshes, their materials and the standard program
//   Content/NAME/Scene.wld         the scene, its node tree and cameras
//   Content/NAME/Scene.wld.preload the two files above with their sizes, loaded first
//
// NAME is the archive's file name without its folder and extension. The files refer to each
// other in that order only (scene to meshes to textures), so each loads after the ones it needs.
// tinygltf parses the model; everything it hands over is checked before it is used (indices and
// ranges against what is there, component types, finite values, the node graph), and the first
// fault refuses the whole model: nothing is written then. The archive is written only when the
// whole model has been converted, under a temporary name renamed at the end.
#include "samples/scene/Content.h"

namespace QuennelEngine {

class CGltfImporter {
public:
  // Resource files in the text form instead of the binary one.
  int gi_bTextForm = 0;
  // Progress lines on the console while a large model is converted.
  int gi_bProgress = 1;
  // The archive's entries stored, not deflated: loading reads them as they are, where inflating
  // alone would take longer than making the content (0: deflated, smaller).
  int gi_bStore = 1;

  // Imports the model `strModel` into the archive `strArchive` (paths of the host, as given);
  // an existing archive is replaced. Throws what is wrong with the model or the archive, naming
  // the file.
  void Import_t(const char *strModel, const char *strArchive);

  // What the last import wrote.
  CString gi_strScenePath; // the scene file inside the archive
  long gi_ctNodes = 0;
  long gi_ctMeshes = 0;
  long gi_ctVertices = 0;
  long gi_ctTriangles = 0;
  long gi_ctMaterials = 0;
  long gi_ctTextures = 0;
  long gi_ctCameras = 0;
  long gi_slArchiveSize = 0;
  // What the model holds that was left out (animations, skins, points and lines...), one line
  // each.
  CStaticStackArray<CString> gi_astrLeftOut;
};

} // namespace QuennelEngine
