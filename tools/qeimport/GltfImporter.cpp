// The importer works in three steps. tinygltf reads the model (JSON, buffers, images) into its
// record; nothing in that record is trusted: every index, offset, count, component type and
// float is checked where the conversion first uses it, and the first fault throws. The
// conversion builds the content as resources in three resource files in memory. Only then are
// the files written, into memory streams and from there into the archive.
//
// glTF and the engine share their conventions (right-handed, y up, metres, counter-clockwise
// front faces, texture rows from the top), so positions, normals and texture coordinates are
// copied as they are. Only matrices change their storage: glTF lists a matrix column by column,
// the engine row by row.
#include "GltfImporter.h"
#include "ZipWriter.h"

#include <stb_image.h>
#include <tiny_gltf.h>

#include <errno.h>
#include <map>
#include <math.h>
#include <set>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

namespace QuennelEngine {

namespace {

// Limits that keep a hostile model from allocating without bound: the model file and each file it
// refers to, elements of one accessor, the pixels of one image and of all images together, the
// converted content as a whole (accessors and images may be shared, so many small references can
// ask for much), and how deep nodes nest (the host's walk stops there too).
const long long _llMaxFileSize = 512LL << 20;
const long _ctMaxElements = 1L << 24;
const long _iMaxImageSize = 8192;
const long _ctMaxPixels = 4096L * 4096L;
const long long _ctMaxModelPixels = 4LL * _ctMaxPixels;
const long long _llMaxContentBytes = 512LL << 20;

CString Text(const std::string &str)
{
  return CString(str.c_str());
}

// tinygltf's messages are lines; one message of ours is one line.
CString OneLine(const std::string &str)
{
  std::string strOut;
  for (char ch : str) {
    if (ch == '\r') continue;
    if (ch == '\n') {
      if (!strOut.empty() && strOut.compare(strOut.size() - 2, 2, "; ") != 0) strOut += "; ";
      continue;
    }
    strOut += ch;
  }
  while (!strOut.empty() && (strOut.back() == ' ' || strOut.back() == ';')) strOut.pop_back();
  return Text(strOut);
}

bool ReadFile(const std::string &strPath, std::vector<unsigned char> &aub, std::string &strWhy)
{
  FILE *pf = fopen(strPath.c_str(), "rb");
  if (pf == nullptr) {
    strWhy = errno == ENOENT ? "there is no such file" : strerror(errno);
    return false;
  }
  bool bOK = fseek(pf, 0, SEEK_END) == 0;
  const long long llSize = bOK ? (long long)ftell(pf) : -1;
  if (llSize < 0 || llSize > _llMaxFileSize) {
    fclose(pf);
    strWhy = llSize < 0 ? "its size cannot be read" : "it is larger than 512 MiB";
    return false;
  }
  aub.resize((size_t)llSize);
  bOK = fseek(pf, 0, SEEK_SET) == 0 &&
        (llSize == 0 || fread(aub.data(), 1, (size_t)llSize, pf) == (size_t)llSize);
  fclose(pf);
  if (!bOK) strWhy = "it cannot be read";
  return bOK;
}

// tinygltf's callback for the files a model refers to (buffers, images): bounded in size.
bool ReadReferencedFile(std::vector<unsigned char> *paub, std::string *pstrError,
                        const std::string &strPath, void *)
{
  std::string strWhy;
  if (ReadFile(strPath, *paub, strWhy)) return true;
  if (pstrError != nullptr) *pstrError += strPath + ": " + strWhy + "\n";
  return false;
}

// tinygltf's callback for images: the size is read from the header and checked before anything
// is decoded; every image becomes 8-bit RGBA.
bool LoadImage(tinygltf::Image *pimg, const int iImage, std::string *pstrError, std::string *, int,
               int, const unsigned char *pub, int ctBytes, void *pvPixelsSoFar)
{
  long long &ctPixelsSoFar = *(long long *)pvPixelsSoFar;
  int iWidth = 0, iHeight = 0, ctComponents = 0;
  std::string strWhy;
  if (!stbi_info_from_memory(pub, ctBytes, &iWidth, &iHeight, &ctComponents)) {
    strWhy = "is no PNG, JPEG or other image that stb reads";
  } else if (iWidth < 1 || iHeight < 1 || iWidth > _iMaxImageSize || iHeight > _iMaxImageSize ||
             (long long)iWidth * iHeight > _ctMaxPixels) {
    strWhy = "is " + std::to_string(iWidth) + "x" + std::to_string(iHeight) +
             ", more than the importer takes";
  } else if (ctPixelsSoFar + (long long)iWidth * iHeight > _ctMaxModelPixels) {
    strWhy = "takes the model's images past " + std::to_string(_ctMaxModelPixels) +
             " pixels, more than the importer takes";
  } else {
    ctPixelsSoFar += (long long)iWidth * iHeight;
    int iW = 0, iH = 0, ct = 0;
    unsigned char *pubPixels = stbi_load_from_memory(pub, ctBytes, &iW, &iH, &ct, 4);
    if (pubPixels == nullptr || iW != iWidth || iH != iHeight) {
      if (pubPixels != nullptr) stbi_image_free(pubPixels);
      strWhy = std::string("cannot be decoded: ") + stbi_failure_reason();
    } else {
      pimg->width = iW;
      pimg->height = iH;
      pimg->component = 4;
      pimg->bits = 8;
      pimg->pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
      pimg->image.assign(pubPixels, pubPixels + (size_t)iW * iH * 4);
      stbi_image_free(pubPixels);
      return true;
    }
  }
  if (pstrError != nullptr) *pstrError += "image " + std::to_string(iImage) + " " + strWhy + "\n";
  return false;
}

// The name of the content inside the archive: the archive's file name without folder and
// extension, in characters every file system takes.
CString ContentName(const char *strArchive)
{
  const char *pchStart = strArchive;
  for (const char *pch = strArchive; *pch != 0; pch++) {
    if (*pch == '/' || *pch == '\\' || *pch == ':') pchStart = pch + 1;
  }
  std::string str = pchStart;
  const size_t iDot = str.rfind('.');
  if (iDot != std::string::npos && iDot > 0) str.resize(iDot);
  for (char &ch : str) {
    const bool bPlain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                        (ch >= '0' && ch <= '9') || ch == '-' || ch == '_' || ch == '.';
    if (!bPlain) ch = '_';
  }
  if (str.empty()) str = "Model";
  return Text(str);
}

CString FileNameOf(const char *strPath)
{
  const char *pchStart = strPath;
  for (const char *pch = strPath; *pch != 0; pch++) {
    if (*pch == '/' || *pch == '\\') pchStart = pch + 1;
  }
  return pchStart;
}

// Puts the new archive in the old one's place in one step, so that a failure leaves the old one
// as it was; an empty text on success, else why not.
std::string ReplaceArchive(const char *strNew, const char *strArchive)
{
#ifdef _WIN32
  if (MoveFileExA(strNew, strArchive, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return "";
  const DWORD dwError = GetLastError();
  char achMessage[256] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError, 0,
                 achMessage, sizeof(achMessage), nullptr);
  std::string str = achMessage;
  while (!str.empty() &&
         (str.back() == '\n' || str.back() == '\r' || str.back() == ' ' || str.back() == '.')) {
    str.pop_back();
  }
  return str.empty() ? "error " + std::to_string(dwError) : str;
#else
  return rename(strNew, strArchive) == 0 ? "" : strerror(errno);
#endif
}

bool IsFinite(double d)
{
  return isfinite(d) && fabs(d) <= 3.0e38;
}

// The three files being made; they are freed in the order that leaves no reference into a freed
// file (the scene refers to the meshes, the meshes to the textures).
struct ContentFiles {
  CResourceFile *cf_prfScene = nullptr;
  CResourceFile *cf_prfMeshes = nullptr;
  CResourceFile *cf_prfTextures = nullptr;
  ~ContentFiles()
  {
    delete cf_prfScene;
    delete cf_prfMeshes;
    delete cf_prfTextures;
  }
};

// One conversion: the model, what was made of it so far, and the checks.
class CConversion {
public:
  CConversion(tinygltf::Model &model, CGltfImporter &gi, ContentFiles &cf)
      : cv_model(model), cv_gi(gi), cv_cf(cf)
  {
  }
  void Convert_t(void);

private:
  struct Accessor {
    const unsigned char *a_pub; // the first element
    long a_ctElements;
    long a_slStride;
    int a_iComponentType;
    int a_ctComponents;
    bool a_bNormalized;
  };
  Accessor CheckAccessor_t(int iAccessor, const char *strWhat);
  void ReadFloats_t(int iAccessor, const char *strWhat, int ctComponents, bool bFloatOnly,
                    CStaticStackArray<float> &af);
  void ReadIndices_t(int iAccessor, const char *strWhat, long ctVertices,
                     CStaticStackArray<long> &ai);
  void CheckNodeGraph_t(void);
  CSampleNode *MakeNode_t(int iNode);
  CStaticStackArray<Ptr<CResource>> &MeshesOf_t(int iMesh);
  CSampleMesh *MakeMesh_t(int iMesh, int iPrimitive);
  CSampleMaterial *MaterialOf_t(int iMaterial, int &iTexCoord);
  CSampleTexture *TextureOf_t(int iTexture);
  CSampleCamera *CameraOf_t(int iCamera);
  Matrix34f NodeTransform_t(const tinygltf::Node &node, int iNode);
  void Progress(void);
  void Spend_t(long long llBytes, const char *strWhat);
  void Register(CResourceFile *prf, CResource *prs, const std::string &strName,
                const std::string &strFallback);

  tinygltf::Model &cv_model;
  CGltfImporter &cv_gi;
  ContentFiles &cv_cf;
  CSampleProgram *cv_pprg = nullptr;
  std::vector<int> cv_aiParent;
  std::map<int, CStaticStackArray<Ptr<CResource>>> cv_mapMeshes;
  std::map<int, CSampleMaterial *> cv_mapMaterials;
  std::map<int, CSampleTexture *> cv_mapTextures;
  std::map<int, CSampleCamera *> cv_mapCameras;
  long cv_ctPrimitives = 0;
  long cv_ctPrimitivesDone = 0;
  long cv_iShownQuarter = 0;
  long long cv_llContentBytes = 0;
  std::map<CResourceFile *, std::set<std::string>> cv_mapNames;
};

// Registers the resource in the file under a name of its own there: glTF's name, else the
// fallback, with a number added when the file has it already (a file finds its resources by
// name).
void CConversion::Register(CResourceFile *prf, CResource *prs, const std::string &strName,
                           const std::string &strFallback)
{
  std::set<std::string> &setNames = cv_mapNames[prf];
  const std::string strBase = strName.empty() ? strFallback : strName;
  std::string str = strBase;
  for (long i = 2; setNames.count(str) != 0; i++) str = strBase + " " + std::to_string(i);
  setNames.insert(str);
  prs->SetName(Text(str));
  prf->RegisterResource(prs);
}

// Books what the converted content is about to take, before it is allocated.
void CConversion::Spend_t(long long llBytes, const char *strWhat)
{
  cv_llContentBytes += llBytes;
  if (cv_llContentBytes > _llMaxContentBytes) {
    ThrowFormat_t("%1 takes the converted content past %2 MiB, more than the importer takes",
                  strWhat, (long)(_llMaxContentBytes >> 20));
  }
}

CConversion::Accessor CConversion::CheckAccessor_t(int iAccessor, const char *strWhat)
{
  const long ctAccessors = (long)cv_model.accessors.size();
  if (iAccessor < 0 || iAccessor >= ctAccessors) {
    ThrowFormat_t("%1 names accessor %2, but there are %3", strWhat, iAccessor, ctAccessors);
  }
  const tinygltf::Accessor &acc = cv_model.accessors[iAccessor];
  if (acc.sparse.isSparse) {
    ThrowFormat_t("accessor %1 (%2) is sparse, which is not imported", iAccessor, strWhat);
  }
  const int ctComponentBytes = tinygltf::GetComponentSizeInBytes(acc.componentType);
  const int ctComponents = tinygltf::GetNumComponentsInType(acc.type);
  if (ctComponentBytes <= 0 || ctComponentBytes > 4 || ctComponents <= 0 ||
      acc.componentType == TINYGLTF_COMPONENT_TYPE_INT) {
    ThrowFormat_t("accessor %1 (%2) has the component type %3 and type %4, which glTF does not "
                  "know",
                  iAccessor, strWhat, acc.componentType, acc.type);
  }
  if (acc.count < 1 || acc.count > (size_t)_ctMaxElements) {
    ThrowFormat_t("accessor %1 (%2) has %3 elements (1 to %4 are taken)", iAccessor, strWhat,
                  (long long)acc.count, _ctMaxElements);
  }
  const long ctViews = (long)cv_model.bufferViews.size();
  if (acc.bufferView < 0 || acc.bufferView >= ctViews) {
    ThrowFormat_t("accessor %1 (%2) names buffer view %3, but there are %4", iAccessor, strWhat,
                  acc.bufferView, ctViews);
  }
  const tinygltf::BufferView &bv = cv_model.bufferViews[acc.bufferView];
  const long ctBuffers = (long)cv_model.buffers.size();
  if (bv.buffer < 0 || bv.buffer >= ctBuffers) {
    ThrowFormat_t("buffer view %1 names buffer %2, but there are %3", acc.bufferView, bv.buffer,
                  ctBuffers);
  }
  const tinygltf::Buffer &buf = cv_model.buffers[bv.buffer];
  const unsigned long long ullBuffer = buf.data.size();
  if ((unsigned long long)bv.byteOffset + bv.byteLength > ullBuffer) {
    ThrowFormat_t("buffer view %1 covers bytes %2 to %3 of buffer %4, which has %5", acc.bufferView,
                  (long long)bv.byteOffset, (long long)(bv.byteOffset + bv.byteLength), bv.buffer,
                  (long long)ullBuffer);
  }
  const long slElement = (long)ctComponentBytes * ctComponents;
  const long slStride = bv.byteStride != 0 ? (long)bv.byteStride : slElement;
  if (bv.byteStride != 0 && (bv.byteStride < (size_t)slElement || bv.byteStride > 252)) {
    ThrowFormat_t("buffer view %1 has a stride of %2 bytes for elements of %3", acc.bufferView,
                  (long long)bv.byteStride, slElement);
  }
  const unsigned long long ullEnd = (unsigned long long)acc.byteOffset +
                                    (unsigned long long)slStride * (acc.count - 1) + slElement;
  if (ullEnd > bv.byteLength) {
    ThrowFormat_t("accessor %1 (%2) reaches byte %3 of buffer view %4, which has %5 bytes",
                  iAccessor, strWhat, (long long)ullEnd, acc.bufferView, (long long)bv.byteLength);
  }
  Accessor a;
  a.a_pub = buf.data.data() + bv.byteOffset + acc.byteOffset;
  a.a_ctElements = (long)acc.count;
  a.a_slStride = slStride;
  a.a_iComponentType = acc.componentType;
  a.a_ctComponents = ctComponents;
  a.a_bNormalized = acc.normalized;
  return a;
}

void CConversion::ReadFloats_t(int iAccessor, const char *strWhat, int ctComponents,
                               bool bFloatOnly, CStaticStackArray<float> &af)
{
  const Accessor a = CheckAccessor_t(iAccessor, strWhat);
  const bool bFloat = a.a_iComponentType == TINYGLTF_COMPONENT_TYPE_FLOAT;
  const bool bUnsignedNormalized =
      a.a_bNormalized && (a.a_iComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                          a.a_iComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
  if (a.a_ctComponents != ctComponents || !(bFloat || (!bFloatOnly && bUnsignedNormalized))) {
    ThrowFormat_t("accessor %1 (%2) holds %3 components of type %4 an element; %5 %6 are taken",
                  iAccessor, strWhat, a.a_ctComponents, a.a_iComponentType, ctComponents,
                  bFloatOnly ? "floats" : "floats or normalized unsigned bytes or shorts");
  }
  af.PopAll();
  Spend_t((long long)a.a_ctElements * ctComponents * sizeof(float), strWhat);
  af.Reserve(a.a_ctElements * ctComponents);
  for (long i = 0; i < a.a_ctElements; i++) {
    const unsigned char *pub = a.a_pub + (size_t)i * a.a_slStride;
    for (int c = 0; c < ctComponents; c++) {
      float f;
      if (bFloat) {
        memcpy(&f, pub + 4 * c, 4);
        if (!mthIsFiniteF(f)) {
          ThrowFormat_t("accessor %1 (%2) holds a value that is not finite (element %3)", iAccessor,
                        strWhat, i);
        }
      } else if (a.a_iComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) {
        f = pub[c] / 255.0f;
      } else {
        unsigned short uw;
        memcpy(&uw, pub + 2 * c, 2);
        f = uw / 65535.0f;
      }
      af.Push() = f;
    }
  }
}

void CConversion::ReadIndices_t(int iAccessor, const char *strWhat, long ctVertices,
                                CStaticStackArray<long> &ai)
{
  const Accessor a = CheckAccessor_t(iAccessor, strWhat);
  if (a.a_ctComponents != 1 || (a.a_iComponentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
                                a.a_iComponentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                                a.a_iComponentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)) {
    ThrowFormat_t("accessor %1 (%2) must hold single unsigned bytes, shorts or ints", iAccessor,
                  strWhat);
  }
  ai.PopAll();
  Spend_t((long long)a.a_ctElements * sizeof(long), strWhat);
  ai.Reserve(a.a_ctElements);
  for (long i = 0; i < a.a_ctElements; i++) {
    const unsigned char *pub = a.a_pub + (size_t)i * a.a_slStride;
    unsigned long ul;
    if (a.a_iComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) {
      ul = pub[0];
    } else if (a.a_iComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
      unsigned short uw;
      memcpy(&uw, pub, 2);
      ul = uw;
    } else {
      memcpy(&ul, pub, 4);
    }
    if (ul >= (unsigned long)ctVertices) {
      ThrowFormat_t("index %1 of accessor %2 (%3) is %4, but there are %5 vertices", i, iAccessor,
                    strWhat, ul, ctVertices);
    }
    ai.Push() = (long)ul;
  }
}

// Every child named once, by one parent, and no node its own ancestor.
void CConversion::CheckNodeGraph_t(void)
{
  const long ctNodes = (long)cv_model.nodes.size();
  cv_aiParent.assign(ctNodes, -1);
  for (long i = 0; i < ctNodes; i++) {
    for (int iChild : cv_model.nodes[i].children) {
      if (iChild < 0 || iChild >= ctNodes) {
        ThrowFormat_t("node %1 names the child %2, but there are %3 nodes", i, iChild, ctNodes);
      }
      if (iChild == i) ThrowFormat_t("node %1 is its own child", i);
      if (cv_aiParent[iChild] >= 0) {
        ThrowFormat_t("node %1 has more than one parent (nodes %2 and %3)", iChild,
                      cv_aiParent[iChild], i);
      }
      cv_aiParent[iChild] = (int)i;
    }
  }
  // With one parent each, a cycle is a walk up the parents that comes back: each node is walked
  // through once, marked 1 while its walk is open and 2 when it is known to reach a root.
  std::vector<char> abState(ctNodes, 0);
  std::vector<long> aiDepth(ctNodes, 0);
  std::vector<long> aiPath;
  for (long i = 0; i < ctNodes; i++) {
    aiPath.clear();
    long j = i;
    while (j >= 0 && abState[j] == 0) {
      abState[j] = 1;
      aiPath.push_back(j);
      j = cv_aiParent[j];
    }
    if (j >= 0 && abState[j] == 1) {
      ThrowFormat_t("the node tree has a cycle through node %1", j);
    }
    long iDepth = j >= 0 ? aiDepth[j] + 1 : 0;
    for (long k = (long)aiPath.size() - 1; k >= 0; k--) {
      abState[aiPath[k]] = 2;
      aiDepth[aiPath[k]] = iDepth++;
      if (aiDepth[aiPath[k]] >= SCN_MAXDEPTH) {
        ThrowFormat_t("node %1 lies %2 levels deep; at most %3 are taken", aiPath[k],
                      aiDepth[aiPath[k]] + 1, SCN_MAXDEPTH);
      }
    }
  }
}

// glTF's matrix is column by column; a translation, rotation and scale apply scale first.
Matrix34f CConversion::NodeTransform_t(const tinygltf::Node &node, int iNode)
{
  for (const std::vector<double> *pad :
       {&node.matrix, &node.translation, &node.rotation, &node.scale}) {
    for (double d : *pad) {
      if (!IsFinite(d)) ThrowFormat_t("node %1 has a transform that is not finite", iNode);
    }
  }
  if (!node.matrix.empty()) {
    if (node.matrix.size() != 16) {
      ThrowFormat_t("node %1 has a matrix of %2 numbers", iNode, (long)node.matrix.size());
    }
    const double *ad = node.matrix.data();
    if (ad[3] != 0 || ad[7] != 0 || ad[11] != 0 || ad[15] != 1) {
      ThrowFormat_t("node %1 has a matrix whose last row is not 0, 0, 0, 1", iNode);
    }
    Matrix34f m;
    for (int iRow = 0; iRow < 3; iRow++) {
      for (int iColumn = 0; iColumn < 4; iColumn++)
        m(iRow, iColumn) = (float)ad[iColumn * 4 + iRow];
    }
    return m;
  }
  if ((!node.translation.empty() && node.translation.size() != 3) ||
      (!node.rotation.empty() && node.rotation.size() != 4) ||
      (!node.scale.empty() && node.scale.size() != 3)) {
    ThrowFormat_t("node %1 has a translation, rotation or scale of the wrong length", iNode);
  }
  Matrix33f r = mthIdentityM33f();
  if (!node.rotation.empty()) {
    const std::vector<double> &q = node.rotation;
    const double dLength = sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(dLength > 1e-6)) ThrowFormat_t("node %1 has a rotation of length 0", iNode);
    Quaternion4f quat;
    quat.x = (float)(q[0] / dLength);
    quat.y = (float)(q[1] / dLength);
    quat.z = (float)(q[2] / dLength);
    quat.w = (float)(q[3] / dLength);
    r = mthQuaternionToMatrix(quat);
  }
  if (!node.scale.empty()) {
    for (int iRow = 0; iRow < 3; iRow++) {
      for (int iColumn = 0; iColumn < 3; iColumn++) r(iRow, iColumn) *= (float)node.scale[iColumn];
    }
  }
  Vector3f t(0.0f, 0.0f, 0.0f);
  if (!node.translation.empty()) {
    t = Vector3f((float)node.translation[0], (float)node.translation[1],
                 (float)node.translation[2]);
  }
  return Matrix34f(r, t);
}

CSampleTexture *CConversion::TextureOf_t(int iTexture)
{
  auto it = cv_mapTextures.find(iTexture);
  if (it != cv_mapTextures.end()) return it->second;
  const long ctTextures = (long)cv_model.textures.size();
  if (iTexture < 0 || iTexture >= ctTextures) {
    ThrowFormat_t("a material names texture %1, but there are %2", iTexture, ctTextures);
  }
  const int iImage = cv_model.textures[iTexture].source;
  CSampleTexture *ptex = nullptr;
  if (iImage < 0) {
    cv_gi.gi_astrLeftOut.Push() =
        strFormat("texture %1 has no image that the importer reads; it is drawn white", iTexture);
  } else {
    const long ctImages = (long)cv_model.images.size();
    if (iImage >= ctImages) {
      ThrowFormat_t("texture %1 names image %2, but there are %3", iTexture, iImage, ctImages);
    }
    const tinygltf::Image &img = cv_model.images[iImage];
    if (img.width < 1 || img.height < 1 || img.width > _iMaxImageSize ||
        img.height > _iMaxImageSize || img.component != 4 || img.bits != 8 ||
        img.image.size() != (size_t)img.width * img.height * 4) {
      ThrowFormat_t("image %1 (%2) could not be read", iImage,
                    Text(img.uri.empty() ? img.name : img.uri));
    }
    ptex = new CSampleTexture;
    Register(cv_cf.cf_prfTextures, ptex, img.name.empty() ? img.uri : img.name,
             "Image " + std::to_string(iImage));
    ptex->st_iWidth = img.width;
    ptex->st_iHeight = img.height;
    const long ctPixels = (long)img.width * img.height;
    Spend_t((long long)ctPixels * 4, strFormat("image %1", iImage));
    ptex->st_aulPixels.Reserve(ctPixels);
    const unsigned char *pub = img.image.data();
    for (long i = 0; i < ctPixels; i++, pub += 4) {
      ptex->st_aulPixels.Push() = (long)((unsigned long)pub[3] << 24 | (unsigned long)pub[0] << 16 |
                                         (unsigned long)pub[1] << 8 | pub[2]);
    }
    cv_gi.gi_ctTextures++;
  }
  cv_mapTextures[iTexture] = ptex;
  return ptex;
}

// The material of index `iMaterial` (-1: glTF's default, white), and the set of texture
// coordinates its texture reads.
CSampleMaterial *CConversion::MaterialOf_t(int iMaterial, int &iTexCoord)
{
  const long ctMaterials = (long)cv_model.materials.size();
  if (iMaterial < -1 || iMaterial >= ctMaterials) {
    ThrowFormat_t("a primitive names material %1, but there are %2", iMaterial, ctMaterials);
  }
  iTexCoord = 0;
  if (iMaterial >= 0) {
    const tinygltf::TextureInfo &ti =
        cv_model.materials[iMaterial].pbrMetallicRoughness.baseColorTexture;
    if (ti.index >= 0) iTexCoord = ti.texCoord;
    if (iTexCoord < 0 || iTexCoord > 7) {
      ThrowFormat_t("material %1 reads texture coordinates %2", iMaterial, iTexCoord);
    }
  }
  auto it = cv_mapMaterials.find(iMaterial);
  if (it != cv_mapMaterials.end()) return it->second;
  CSampleMaterial *pmat = new CSampleMaterial;
  Register(cv_cf.cf_prfMeshes, pmat, iMaterial < 0 ? "Default" : cv_model.materials[iMaterial].name,
           "Material " + std::to_string(iMaterial));
  pmat->sm_pprgProgram = cv_pprg;
  if (iMaterial >= 0) {
    const tinygltf::Material &mat = cv_model.materials[iMaterial];
    const std::vector<double> &ad = mat.pbrMetallicRoughness.baseColorFactor;
    if (ad.size() != 4) {
      ThrowFormat_t("material %1 has a base colour of %2 numbers", iMaterial, (long)ad.size());
    }
    for (double d : ad) {
      if (!IsFinite(d))
        ThrowFormat_t("material %1 has a base colour that is not finite", iMaterial);
    }
    pmat->sm_vBaseColor = Vector4f((float)ad[0], (float)ad[1], (float)ad[2], (float)ad[3]);
    pmat->sm_bDoubleSided = mat.doubleSided ? 1 : 0;
    const int iTexture = mat.pbrMetallicRoughness.baseColorTexture.index;
    if (iTexture >= 0) pmat->sm_ptexBaseColor = TextureOf_t(iTexture);
  }
  cv_gi.gi_ctMaterials++;
  cv_mapMaterials[iMaterial] = pmat;
  return pmat;
}

void CConversion::Progress(void)
{
  cv_ctPrimitivesDone++;
  if (!cv_gi.gi_bProgress || cv_ctPrimitives < 16) return;
  const long iQuarter = cv_ctPrimitivesDone * 4 / cv_ctPrimitives;
  if (iQuarter <= cv_iShownQuarter) return;
  cv_iShownQuarter = iQuarter;
  printf("  meshes: %ld of %ld (%ld%%)\n", cv_ctPrimitivesDone, cv_ctPrimitives, iQuarter * 25);
  fflush(stdout);
}

// Area-weighted normals of the triangles around each vertex (glTF's answer to a mesh without
// normals is flat ones; smooth ones need no extra vertices).
void MakeNormals(CSampleMesh *psm)
{
  const long ctVertices = psm->VertexCount();
  psm->sm_afNormals.PopAll();
  psm->sm_afNormals.Push(3 * ctVertices);
  for (long i = 0; i + 2 < psm->sm_aiIndices.Count(); i += 3) {
    Vector3f av[3];
    for (int k = 0; k < 3; k++) {
      const float *pf = &psm->sm_afPositions[3 * psm->sm_aiIndices[i + k]];
      av[k] = Vector3f(pf[0], pf[1], pf[2]);
    }
    const Vector3f vN = mthCross(av[1] - av[0], av[2] - av[0]);
    for (int k = 0; k < 3; k++) {
      float *pf = &psm->sm_afNormals[3 * psm->sm_aiIndices[i + k]];
      pf[0] += vN.x, pf[1] += vN.y, pf[2] += vN.z;
    }
  }
  for (long i = 0; i < ctVertices; i++) {
    float *pf = &psm->sm_afNormals[3 * i];
    const float fLength = sqrtf(pf[0] * pf[0] + pf[1] * pf[1] + pf[2] * pf[2]);
    if (fLength > 0 && mthIsFiniteF(fLength)) {
      pf[0] /= fLength, pf[1] /= fLength, pf[2] /= fLength;
    } else {
      pf[0] = 0, pf[1] = 1, pf[2] = 0;
    }
  }
}

// One primitive as a mesh; null when the primitive draws no triangles (points and lines).
CSampleMesh *CConversion::MakeMesh_t(int iMesh, int iPrimitive)
{
  const tinygltf::Mesh &mesh = cv_model.meshes[iMesh];
  const tinygltf::Primitive &prim = mesh.primitives[iPrimitive];
  const CString strWhere = strFormat("mesh %1 primitive %2", iMesh, iPrimitive);
  if (prim.mode < TINYGLTF_MODE_POINTS || prim.mode > TINYGLTF_MODE_TRIANGLE_FAN) {
    ThrowFormat_t("%1 has the mode %2, which glTF does not know", strWhere, prim.mode);
  }
  if (prim.mode < TINYGLTF_MODE_TRIANGLES) {
    cv_gi.gi_astrLeftOut.Push() = strWhere + " draws points or lines, which are not imported";
    return nullptr;
  }
  if (!prim.targets.empty()) {
    cv_gi.gi_astrLeftOut.Push() = strWhere + " has morph targets, which are not imported";
  }
  auto itPosition = prim.attributes.find("POSITION");
  if (itPosition == prim.attributes.end()) ThrowFormat_t("%1 has no positions", strWhere);
  CSampleMesh *psm = new CSampleMesh;
  std::string strName = mesh.name.empty() ? "Mesh " + std::to_string(iMesh) : mesh.name;
  if (mesh.primitives.size() > 1) strName += "." + std::to_string(iPrimitive);
  Register(cv_cf.cf_prfMeshes, psm, strName, strName);
  ReadFloats_t(itPosition->second, strWhere + " POSITION", 3, true, psm->sm_afPositions);
  const long ctVertices = psm->VertexCount();
  // Every attribute has as many elements as there are positions.
  for (const auto &attribute : prim.attributes) {
    const Accessor a = CheckAccessor_t(attribute.second, strWhere + " " + Text(attribute.first));
    if (a.a_ctElements != ctVertices) {
      ThrowFormat_t("%1 has %2 positions but %3 elements of %4", strWhere, ctVertices,
                    a.a_ctElements, Text(attribute.first));
    }
  }
  int iTexCoord = 0;
  psm->sm_pmatMaterial = MaterialOf_t(prim.material, iTexCoord);
  auto itTexCoord = prim.attributes.find("TEXCOORD_" + std::to_string(iTexCoord));
  if (itTexCoord != prim.attributes.end()) {
    ReadFloats_t(itTexCoord->second, strWhere + " " + Text(itTexCoord->first), 2, false,
                 psm->sm_afTexCoords);
  } else {
    Spend_t((long long)ctVertices * 2 * sizeof(float), strWhere + " TEXCOORD");
    psm->sm_afTexCoords.Push(2 * ctVertices); // zeros: the texture's corner, or white
  }
  // The triangles, from a list, a strip or a fan of the indices or of the vertices in order.
  CStaticStackArray<long> ai;
  if (prim.indices >= 0) {
    ReadIndices_t(prim.indices, strWhere + " indices", ctVertices, ai);
  } else {
    Spend_t((long long)ctVertices * sizeof(long), strWhere + " indices");
    ai.Reserve(ctVertices);
    for (long i = 0; i < ctVertices; i++) ai.Push() = i;
  }
  const long ct = ai.Count();
  if (prim.mode == TINYGLTF_MODE_TRIANGLES) {
    if (ct % 3 != 0) ThrowFormat_t("%1 has %2 indices, which are no whole triangles", strWhere, ct);
    psm->sm_aiIndices = std::move(ai);
  } else {
    Spend_t((long long)(ct > 2 ? 3 * (ct - 2) : 0) * sizeof(long), strWhere + " triangles");
    psm->sm_aiIndices.Reserve(ct > 2 ? 3 * (ct - 2) : 0);
    for (long i = 0; i + 2 < ct; i++) {
      long aiTriangle[3];
      if (prim.mode == TINYGLTF_MODE_TRIANGLE_FAN) {
        aiTriangle[0] = ai[0], aiTriangle[1] = ai[i + 1], aiTriangle[2] = ai[i + 2];
      } else if (i % 2 == 0) { // strips alternate their winding
        aiTriangle[0] = ai[i], aiTriangle[1] = ai[i + 1], aiTriangle[2] = ai[i + 2];
      } else {
        aiTriangle[0] = ai[i + 1], aiTriangle[1] = ai[i], aiTriangle[2] = ai[i + 2];
      }
      for (long iIndex : aiTriangle) psm->sm_aiIndices.Push() = iIndex;
    }
  }
  if (psm->sm_aiIndices.Count() == 0) ThrowFormat_t("%1 has no triangles", strWhere);
  auto itNormal = prim.attributes.find("NORMAL");
  if (itNormal != prim.attributes.end()) {
    ReadFloats_t(itNormal->second, strWhere + " NORMAL", 3, true, psm->sm_afNormals);
  } else {
    Spend_t((long long)ctVertices * 3 * sizeof(float), strWhere + " NORMAL");
    MakeNormals(psm);
  }
  cv_gi.gi_ctMeshes++;
  cv_gi.gi_ctVertices += ctVertices;
  cv_gi.gi_ctTriangles += psm->sm_aiIndices.Count() / 3;
  return psm;
}

CStaticStackArray<Ptr<CResource>> &CConversion::MeshesOf_t(int iMesh)
{
  auto it = cv_mapMeshes.find(iMesh);
  if (it != cv_mapMeshes.end()) return it->second;
  CStaticStackArray<Ptr<CResource>> &apsm = cv_mapMeshes[iMesh];
  const tinygltf::Mesh &mesh = cv_model.meshes[iMesh];
  for (long i = 0; i < (long)mesh.primitives.size(); i++) {
    CSampleMesh *psm = MakeMesh_t(iMesh, (int)i);
    if (psm != nullptr) apsm.Push() = psm;
    Progress();
  }
  return apsm;
}

CSampleCamera *CConversion::CameraOf_t(int iCamera)
{
  auto it = cv_mapCameras.find(iCamera);
  if (it != cv_mapCameras.end()) return it->second;
  const tinygltf::Camera &cam = cv_model.cameras[iCamera];
  CSampleCamera *pcam = new CSampleCamera;
  Register(cv_cf.cf_prfScene, pcam, cam.name, "Camera " + std::to_string(iCamera));
  if (cam.type == "perspective") {
    const tinygltf::PerspectiveCamera &p = cam.perspective;
    if (!IsFinite(p.yfov) || !IsFinite(p.aspectRatio) || !IsFinite(p.znear) || !IsFinite(p.zfar) ||
        p.yfov <= 0 || p.yfov >= 3.14159 || p.aspectRatio < 0 || p.znear <= 0 ||
        (p.zfar != 0 && p.zfar <= p.znear)) {
      ThrowFormat_t("camera %1 has a perspective that cannot be drawn", iCamera);
    }
    pcam->sc_fFieldOfView = (float)p.yfov;
    pcam->sc_fAspect = (float)p.aspectRatio;
    pcam->sc_fNear = (float)p.znear;
    pcam->sc_fFar = (float)p.zfar;
  } else if (cam.type == "orthographic") {
    const tinygltf::OrthographicCamera &o = cam.orthographic;
    if (!IsFinite(o.xmag) || !IsFinite(o.ymag) || !IsFinite(o.znear) || !IsFinite(o.zfar) ||
        o.xmag == 0 || o.ymag == 0 || o.znear < 0 || o.zfar <= o.znear) {
      ThrowFormat_t("camera %1 has an orthographic projection that cannot be drawn", iCamera);
    }
    pcam->sc_bOrthographic = 1;
    pcam->sc_vMagnification = Vector2f((float)o.xmag, (float)o.ymag);
    pcam->sc_fNear = (float)o.znear;
    pcam->sc_fFar = (float)o.zfar;
  } else {
    ThrowFormat_t("camera %1 has the type '%2'", iCamera, Text(cam.type));
  }
  cv_gi.gi_ctCameras++;
  cv_mapCameras[iCamera] = pcam;
  return pcam;
}

CSampleNode *CConversion::MakeNode_t(int iNode)
{
  const tinygltf::Node &node = cv_model.nodes[iNode];
  CSampleNode *pnod = new CSampleNode;
  Register(cv_cf.cf_prfScene, pnod, node.name, "Node " + std::to_string(iNode));
  pnod->sn_mTransform = NodeTransform_t(node, iNode);
  if (node.mesh >= 0) {
    if (node.mesh >= (int)cv_model.meshes.size()) {
      ThrowFormat_t("node %1 names mesh %2, but there are %3", iNode, node.mesh,
                    (long)cv_model.meshes.size());
    }
    const CStaticStackArray<Ptr<CResource>> &apsm = MeshesOf_t(node.mesh);
    for (long i = 0; i < apsm.Count(); i++) pnod->sn_apmeshMeshes.Push() = apsm[i];
  }
  if (node.camera >= 0) {
    if (node.camera >= (int)cv_model.cameras.size()) {
      ThrowFormat_t("node %1 names camera %2, but there are %3", iNode, node.camera,
                    (long)cv_model.cameras.size());
    }
    pnod->sn_pcamCamera = CameraOf_t(node.camera);
  }
  if (node.skin >= 0) {
    cv_gi.gi_astrLeftOut.Push() =
        strFormat("node %1 is skinned; its mesh is imported in its bind pose", iNode);
  }
  cv_gi.gi_ctNodes++;
  // (the graph was checked: the children are valid and nest at most SCN_MAXDEPTH deep)
  for (int iChild : node.children) pnod->sn_apnodChildren.Push() = MakeNode_t(iChild);
  return pnod;
}

void CConversion::Convert_t(void)
{
  for (const std::string &str : cv_model.extensionsRequired) {
    ThrowFormat_t("it requires the extension %1, which is not imported", Text(str));
  }
  CheckNodeGraph_t();
  // The roots: the scene's (the default one, else the first), or, without scenes, every node
  // without a parent.
  std::vector<int> aiRoots;
  const long ctScenes = (long)cv_model.scenes.size();
  if (ctScenes > 0) {
    const int iScene = cv_model.defaultScene >= 0 ? cv_model.defaultScene : 0;
    if (iScene >= ctScenes) {
      ThrowFormat_t("the default scene is %1, but there are %2", iScene, ctScenes);
    }
    aiRoots = cv_model.scenes[iScene].nodes;
    for (int i : aiRoots) {
      if (i < 0 || i >= (int)cv_model.nodes.size()) {
        ThrowFormat_t("scene %1 names node %2, but there are %3", iScene, i,
                      (long)cv_model.nodes.size());
      }
      if (cv_aiParent[i] >= 0) ThrowFormat_t("scene %1 names node %2, which is no root", iScene, i);
    }
    for (size_t i = 0; i < aiRoots.size(); i++) {
      for (size_t j = 0; j < i; j++) {
        if (aiRoots[i] == aiRoots[j]) {
          ThrowFormat_t("scene %1 names node %2 twice", iScene, aiRoots[i]);
        }
      }
    }
  } else {
    for (long i = 0; i < (long)cv_model.nodes.size(); i++) {
      if (cv_aiParent[i] < 0) aiRoots.push_back((int)i);
    }
    cv_gi.gi_astrLeftOut.Push() = "the model has no scene: every node without a parent is a root";
  }
  // The primitives below the roots, for the progress.
  std::vector<int> aiStack = aiRoots;
  std::vector<char> abMesh(cv_model.meshes.size(), 0);
  while (!aiStack.empty()) {
    const tinygltf::Node &node = cv_model.nodes[aiStack.back()];
    aiStack.pop_back();
    if (node.mesh >= 0 && node.mesh < (int)abMesh.size() && !abMesh[node.mesh]) {
      abMesh[node.mesh] = 1;
      cv_ctPrimitives += (long)cv_model.meshes[node.mesh].primitives.size();
    }
    aiStack.insert(aiStack.end(), node.children.begin(), node.children.end());
  }
  cv_pprg = MakeStandardProgram();
  Register(cv_cf.cf_prfMeshes, cv_pprg, "Standard", "Standard");
  CSampleScene *pss = new CSampleScene;
  Register(cv_cf.cf_prfScene, pss, "Scene", "Scene");
  cv_cf.cf_prfScene->SetDefaultResource(pss);
  for (int i : aiRoots) pss->ss_apnodNodes.Push() = MakeNode_t(i);
  if (cv_gi.gi_ctMeshes == 0) {
    ThrowFormat_t("its scene has no triangles to draw%1",
                  cv_gi.gi_astrLeftOut.Count() > 0 ? ": " + cv_gi.gi_astrLeftOut[0] : CString());
  }
  if (!cv_model.animations.empty()) {
    cv_gi.gi_astrLeftOut.Push() = strFormat("%1 animation(s)", (long)cv_model.animations.size());
  }
  if (!cv_model.skins.empty()) {
    cv_gi.gi_astrLeftOut.Push() = strFormat("%1 skin(s)", (long)cv_model.skins.size());
  }
}

// The file's bytes in the form the options ask for.
std::vector<unsigned char> WriteResourceFile_t(CResourceFile *prf, int bText)
{
  CStream strm;
  strm.CreateMemoryStream();
  const int bWasText = md_bSaveTextFiles;
  md_bSaveTextFiles = bText;
  try {
    mdInternalWrite_t(strm,
                      CMetaPointer(CResourceFile::md_pdtDataType, static_cast<CObject *>(prf)));
  } catch (CException &) {
    md_bSaveTextFiles = bWasText;
    throw;
  }
  md_bSaveTextFiles = bWasText;
  std::vector<unsigned char> aub(strm.GetSize());
  strm.SeekBeg_t(0);
  if (!aub.empty()) strm.Read_t(aub.data(), (long)aub.size());
  return aub;
}

} // namespace

void CGltfImporter::Import_t(const char *strModel, const char *strArchive)
{
  gi_ctNodes = gi_ctMeshes = gi_ctVertices = gi_ctTriangles = 0;
  gi_ctMaterials = gi_ctTextures = gi_ctCameras = 0;
  gi_slArchiveSize = 0;
  gi_astrLeftOut.PopAll();
  const CString strModelName = FileNameOf(strModel);

  // Reading: the whole file, then tinygltf on it (it reads the buffers and images it names).
  std::vector<unsigned char> aubModel;
  std::string strWhy;
  if (!ReadFile(strModel, aubModel, strWhy)) {
    ThrowFormat_t("%1: cannot be opened: %2", strModel, Text(strWhy));
  }
  if (gi_bProgress && aubModel.size() > (1u << 20)) {
    printf("%s: reading %.1f MB\n", (const char *)strModelName, aubModel.size() / 1048576.0);
    fflush(stdout);
  }
  tinygltf::Model model;
  long long ctPixelsDecoded = 0;
  {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(LoadImage, &ctPixelsDecoded);
    tinygltf::FsCallbacks fs = {tinygltf::FileExists, tinygltf::ExpandFilePath, ReadReferencedFile,
                                tinygltf::WriteWholeFile, nullptr};
    loader.SetFsCallbacks(fs);
    std::string strBase = strModel;
    const size_t iSlash = strBase.find_last_of("/\\");
    strBase = iSlash == std::string::npos ? std::string(".") : strBase.substr(0, iSlash);
    std::string strError, strWarning;
    bool bLoaded = false;
    const bool bBinary = aubModel.size() >= 4 && memcmp(aubModel.data(), "glTF", 4) == 0;
    try {
      if (aubModel.size() > 0x7FFFFFFF) ThrowF_t("it is too large");
      if (bBinary) {
        bLoaded = loader.LoadBinaryFromMemory(&model, &strError, &strWarning, aubModel.data(),
                                              (unsigned int)aubModel.size(), strBase);
      } else {
        bLoaded = loader.LoadASCIIFromString(&model, &strError, &strWarning,
                                             (const char *)aubModel.data(),
                                             (unsigned int)aubModel.size(), strBase);
      }
    } catch (std::exception &ex) {
      strError = ex.what();
    }
    if (!bLoaded) {
      if (strError.empty()) strError = "tinygltf gave no reason";
      ThrowFormat_t("%1: is not a glTF 2.0 model that can be read: %2", strModel,
                    OneLine(strError));
    }
  }
  aubModel = std::vector<unsigned char>();

  // Converting: the content in three resource files in memory.
  const CString strName = ContentName(strArchive);
  const CString strFolder = "Content/" + strName + "/";
  ContentFiles cf;
  cf.cf_prfScene = new CResourceFile;
  cf.cf_prfScene->SetFileName(strFolder + "Scene.wld");
  cf.cf_prfMeshes = new CResourceFile;
  cf.cf_prfMeshes->SetFileName(strFolder + "Meshes.rsc");
  cf.cf_prfTextures = new CResourceFile;
  cf.cf_prfTextures->SetFileName(strFolder + "Textures.rsc");
  try {
    CConversion cv(model, *this, cf);
    cv.Convert_t();
  } catch (CException &ex) {
    ThrowFormat_t("%1: %2", strModel, ex.GetDescription());
  }
  CSampleScene *pss = CastContent<CSampleScene>(cf.cf_prfScene->FindDefaultResource());
  pss->ss_strTitle = strModelName;
  pss->ss_strSource = strModel;
  gi_strScenePath = cf.cf_prfScene->GetFileName();

  // Writing: each file into memory, then the archive under a temporary name.
  std::vector<unsigned char> aubTextures, aubMeshes, aubScene;
  try {
    if (gi_ctTextures > 0) aubTextures = WriteResourceFile_t(cf.cf_prfTextures, gi_bTextForm);
    aubMeshes = WriteResourceFile_t(cf.cf_prfMeshes, gi_bTextForm);
    aubScene = WriteResourceFile_t(cf.cf_prfScene, gi_bTextForm);
  } catch (CException &ex) {
    ThrowFormat_t("%1: the content could not be written: %2", strModel, ex.GetDescription());
  }
  CString strPreload;
  if (gi_ctTextures > 0) {
    strPreload += strFormat("%1: %2\n", (long)aubTextures.size(), cf.cf_prfTextures->GetFileName());
  }
  strPreload += strFormat("%1: %2\n", (long)aubMeshes.size(), cf.cf_prfMeshes->GetFileName());
  const CString strTemporary = CString(strArchive) + ".importing";
  CZipWriter zw;
  zw.zw_bStore = gi_bStore;
  try {
    zw.Create_t(strTemporary);
    if (gi_ctTextures > 0) {
      zw.AddEntry_t(cf.cf_prfTextures->GetFileName(), aubTextures.data(), (long)aubTextures.size());
    }
    zw.AddEntry_t(cf.cf_prfMeshes->GetFileName(), aubMeshes.data(), (long)aubMeshes.size());
    zw.AddEntry_t(gi_strScenePath, aubScene.data(), (long)aubScene.size());
    zw.AddEntry_t(gi_strScenePath + ".preload", (const char *)strPreload, strPreload.Length());
    zw.Finish_t();
  } catch (CException &ex) {
    zw.Abandon();
    ThrowFormat_t("%1: %2", strArchive, ex.GetDescription());
  } catch (...) {
    zw.Abandon(); // no half-written archive, whatever went wrong
    throw;
  }
  const std::string strWhyNot = ReplaceArchive(strTemporary, strArchive);
  if (!strWhyNot.empty()) {
    remove(strTemporary);
    ThrowFormat_t("%1: cannot be written: %2", strArchive, Text(strWhyNot));
  }
  FILE *pf = fopen(strArchive, "rb");
  if (pf != nullptr) {
    fseek(pf, 0, SEEK_END);
    gi_slArchiveSize = ftell(pf);
    fclose(pf);
  }
}

} // namespace QuennelEngine
