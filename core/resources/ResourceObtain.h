#pragma once
// Obtaining resources through the stock: a resource whose file is in the stock is shared at once;
// any other is handed to the load scheduler, normally the resource loader's (mlScheduleRequest:
// a proxy with a load task on the loading pool). Tests may put another in its place. The stock
// mutex is never held while a load runs.
#include "core/resources/Resource.h"

namespace QuennelEngine {

class CDataType;

// How a resource that the stock does not have is loaded.
enum ResObtainMethod : long {
  ROM_LOADFIRST = 0, // on the loader's pool at the head of its queue; the caller waits
  ROM_LOADLAST = 1,  // queued at the tail; the caller gets a stand-in at once
  ROM_LOADTHROW = 2, // as ROM_LOADFIRST; the throwing obtain functions use it
  ROM_DELAYED = 3,   // nothing loads until the stand-in is first asked for the resource
};

// A resource the stock did not have, by name (empty: the default resource) or by ID.
struct ResLoadRequest {
  CDataType *lr_pdt;
  ResObtainMethod lr_rom;
  int lr_bCreateReplacement; // a failed load gives a default substitute
  int lr_bReportErrors;      // the load prints its errors on the console
  CString lr_strPath;
  CString lr_strName;
  long lr_iID;
  int lr_bByID;
};

// Starts the load of a request. For ROM_LOADFIRST and ROM_LOADTHROW it returns once the load has
// finished, with the acquired result (null when it failed) and the load's error text (empty when
// it succeeded); for the other methods it may return at once with a stand-in for the resource.
typedef Ptr<CResource> (*ResLoadScheduler)(const ResLoadRequest &lr, CString &strError);
// Installs the scheduler; null puts back the loader's.
CORE_API void resSetLoadScheduler(ResLoadScheduler pScheduler);
// What a load task does: loads the file now on this thread (resObtainFileInternal_t) and finds
// the resource in it. A file that fails becomes, with
// create-replacement, an empty replacement file (RFF_REPLACEMENT) named like the request; a
// missing resource becomes, with create-replacement, a default substitute registered in the file,
// which is then marked RFF_NOTLOADED. The error text describes what failed either way.
CORE_API Ptr<CResource> resLoadResourceNow(const ResLoadRequest &lr, CString &strError);
// The loader's scheduler: the request's proxy (made with its load task unless there is one);
// for ROM_LOADFIRST and ROM_LOADTHROW the acquired result once the load has ended.
CORE_API Ptr<CResource> mlScheduleRequest(const ResLoadRequest &lr, CString &strError);

// The acquired resource of that type and name (empty: the default) in the file of `strPath`.
// Without it in the stock the scheduler loads it; null when that fails (or, with
// create-replacement, a default substitute).
CORE_API Ptr<CResource> resObtainResource(CDataType *pdt, ResObtainMethod rom,
                                          int bCreateReplacement, int bReportErrors,
                                          const CString &strPath, const char *strName);
CORE_API Ptr<CResource> resObtainResourceByID(CDataType *pdt, ResObtainMethod rom,
                                              int bCreateReplacement, int bReportErrors,
                                              const CString &strPath, long iID);
// As resObtainResource, waiting, without substitutes or printed errors. Throws the load's error
// text, or "Error in loading" when nothing came.
CORE_API Ptr<CResource> resObtainResource_t(CDataType *pdt, const CString &strPath,
                                            const char *strName);
// The file whose default resource resObtainResource_t gives. Throws.
CORE_API CResourceFile *resObtainFile_t(const CString &strPath);

// For a sub-resource path ("file|name", or the file alone for its default resource): the
// references to the resource, not counting the one this call holds while it asks; -1 if it
// cannot be obtained.
CORE_API long resGetResourceReferenceCount(CString strPath);
// The resource's GetSimpleInfo(); empty if it cannot be obtained.
CORE_API CString resGetResourceSimpleInfo(CString strPath);

} // namespace QuennelEngine
