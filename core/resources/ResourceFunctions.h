#pragma once
// The resource functions over files: registration and exposure by free function, lookups that
// acquire and check the type, synchronous loading of a file, obtaining from module files, and
// unsharing. Each runs under the file-stock mutex (loading releases it while it reads).
#include "core/resources/Resource.h"

namespace QuennelEngine {

class CDataType;
class CResourceFile;

// CResourceFile::RegisterResource with any ID, and ExposeResource; a null argument is a guard
// breach.
CORE_API void resRegisterResource(CResourceFile *prf, CResource *prs);
CORE_API void resExposeResource(CResourceFile *prf, CResource *prs);
// Conceals the resource in the file that exposes it.
CORE_API void resConcealResource(CResource *prs);
// Conceals the file's exposed resources, from the last to the first.
CORE_API void resConcealAllResources(CResourceFile *prf);
// Numbers anew every resource nested in the file's shared resources (the first gets -2) and
// reports the count and time.
CORE_API void resExposeAllResources(CResourceFile *prf);

// The acquired resource of the file by ID or name, if its type derives from `pdt`; else null.
// An empty or null name means the default resource.
CORE_API Ptr<CResource> resFindResourceByID(CDataType *pdt, CResourceFile *prf, long iID);
CORE_API Ptr<CResource> resFindResourceByName(CDataType *pdt, CResourceFile *prf,
                                              const char *strName);

// The file of that path from the stock, or loaded now through the first file type that takes
// it. Throws "Unrecognized file type." on the stream when none does.
CORE_API CResourceFile *resObtainFileInternal_t(const CString &strPath);
// The acquired default resource (empty name) or named resource of the file, loaded now if
// needed, which must derive from `pdt`. Throws.
CORE_API Ptr<CResource> resObtainResourceFromModule_t(CDataType *pdt, const CString &strPath,
                                                      const char *strName);

// A deep copy of the resource (through the metadata) that belongs to no file; null if the copy
// is not a resource.
CORE_API Ptr<CResource> resUnshareResource(CResource *prs);

} // namespace QuennelEngine
