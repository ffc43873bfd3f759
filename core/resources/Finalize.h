#pragma once
// Finalisation: a content file prepared for a target platform is written under
// "GenContent/<platform>/" by the file type that saves it. Files already targeted at one platform
// by their name ("Box.Xbox.rsc"), files with a custom version for the platform ("Box.PC.rsc"
// beside "Box.rsc") and generated copies newer than their source are skipped with a log line.
#include "core/resources/Resource.h"

namespace QuennelEngine {

class CResourceFile;

// Finalises the file of `strPath` for each platform of the mask that needs it, through its
// save type's Finalize_t. Precaching is off meanwhile. Returns 1 if anything was finalised, else
// 0. Throws for a missing file, a path under "GenContent/", a path the replace history maps to
// another file, a file no type can save, and what the file type throws.
CORE_API int resFinalizeFile_t(const CString &strPath, EPlatform plaMask);

// How a metadata file is finalised: an independent copy of the file (written to memory and read
// back) has Finalize called on its default resource and on every other resource it stores, and
// is saved to `strTarget` with the platform's file-name rules and without edit data (a world,
// ".wld", keeps its edit data on PC). The file itself, its stock entry and its unsaved changes
// are left as they were; the copy is deleted. Throws.
CORE_API void resFinalizeMetadataFile_t(CResourceFile *prf, EPlatform pla, const char *strTarget);

} // namespace QuennelEngine
