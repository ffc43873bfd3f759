// qeimport: imports a glTF 2.0 model into a group archive of the sample's content, which the
// sample host loads and draws. "qeimport MODEL ARCHIVE" exits 0 when the model was imported, 1
// when it was refused (the reason names the file), 2 when the command line was not understood.
#include "GltfImporter.h"

#include <exception>
#include <stdio.h>
#include <string.h>

using namespace QuennelEngine;

namespace {

// Exit codes, as the usage text lists them.
enum {
  EXIT_OK = 0,
  EXIT_FAILED = 1,
  EXIT_USAGE = 2,
};

const char *const USAGE =
    "usage: qeimport MODEL ARCHIVE [--text] [--deflate] [--quiet]\n"
    "\n"
    "  imports the glTF 2.0 model MODEL (.gltf with its buffers and images, or .glb) into the\n"
    "  group archive ARCHIVE (replaced when it exists): meshes, materials with their base colour\n"
    "  and texture, textures, the node tree with its transforms and cameras, as resource files\n"
    "  under Content/NAME/ (NAME: the archive's name without its extension) with the preload\n"
    "  list of the scene Content/NAME/Scene.wld. Animations, skins and morph targets are left\n"
    "  out. A model with a fault is refused whole and nothing is written.\n"
    "\n"
    "  --text     resource files in the text form (the binary form otherwise)\n"
    "  --deflate  the archive's entries deflated (smaller; loading inflates them, which takes\n"
    "           longer than reading the content); stored as they are otherwise (--store)\n"
    "  --quiet    no progress and no summary\n"
    "\n"
    "exit codes: 0 imported; 1 the model was refused or the archive could not be written;\n"
    "2 the command line was not understood\n";

int _iExitCode = EXIT_OK;

int Usage(const char *strProblem)
{
  if (strProblem != nullptr) fprintf(stderr, "qeimport: %s\n\n", strProblem);
  fputs(USAGE, strProblem != nullptr ? stderr : stdout);
  return EXIT_USAGE;
}

int Run(void)
{
  const int ct = corGetArgC();
  if (ct < 2) return Usage(nullptr);
  const CString strFirst = corGetArgV(1);
  if (strFirst == "help" || strFirst == "--help" || strFirst == "-h") return Usage(nullptr);
  CGltfImporter gi;
  int bQuiet = 0;
  CStaticStackArray<CString> astrFiles;
  for (int i = 1; i < ct; i++) {
    const CString str = corGetArgV(i);
    if (strcmp(str, "--text") == 0) {
      gi.gi_bTextForm = 1;
    } else if (strcmp(str, "--store") == 0) {
      gi.gi_bStore = 1;
    } else if (strcmp(str, "--deflate") == 0) {
      gi.gi_bStore = 0;
    } else if (strcmp(str, "--quiet") == 0) {
      bQuiet = 1;
    } else if (strncmp(str, "--", 2) == 0) {
      return Usage("unknown option");
    } else {
      astrFiles.Push() = str;
    }
  }
  if (astrFiles.Count() != 2) return Usage("a model and an archive are needed");
  gi.gi_bProgress = !bQuiet;
  try {
    gi.Import_t(astrFiles[0], astrFiles[1]);
  } catch (CException &ex) {
    fprintf(stderr, "%s\n", (const char *)ex.GetDescription());
    return EXIT_FAILED;
  } catch (std::exception &ex) {
    // The standard containers the conversion uses throw these (bad_alloc above all).
    fprintf(stderr, "%s: cannot be imported: %s\n", (const char *)astrFiles[0], ex.what());
    return EXIT_FAILED;
  }
  if (!bQuiet) {
    printf("%s: imported into %s as %s (%ld bytes)\n", (const char *)astrFiles[0],
           (const char *)astrFiles[1], (const char *)gi.gi_strScenePath, gi.gi_slArchiveSize);
    printf("  %ld nodes, %ld meshes (%ld vertices, %ld triangles), %ld materials, %ld textures, "
           "%ld cameras\n",
           gi.gi_ctNodes, gi.gi_ctMeshes, gi.gi_ctVertices, gi.gi_ctTriangles, gi.gi_ctMaterials,
           gi.gi_ctTextures, gi.gi_ctCameras);
    for (long i = 0; i < gi.gi_astrLeftOut.Count(); i++) {
      printf("  left out: %s\n", (const char *)gi.gi_astrLeftOut[i]);
    }
  }
  return EXIT_OK;
}

void QeImportMain(void)
{
  mdUpdateTypeTables();
  _iExitCode = Run();
  fflush(stdout);
  fflush(stderr);
}

} // namespace

int main(int ctArguments, char *astrArguments[])
{
  corRun(QeImportMain, ctArguments, astrArguments, "notimer nozips norootdir");
  return _iExitCode;
}
