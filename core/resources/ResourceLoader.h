#pragma once
// CResourceLoader: drives the loading of one top-level resource file with a progress figure,
// optionally preceded by the files of a preload list (the file's name plus ".preload": one path
// per line, with an optional weight "100: path" in the byte units of the reader's offset). The
// preloaded files load in list order, each followed by a marker that adds its weight, and the
// main file last, all on the loading pool. UpdateLoader gives the main thread's post-load work a
// budget of 10 ms per call.
#include "core/platform/Time.h"
#include "core/resources/Resource.h"
#include "core/threads/BaseTask.h"
#include "core/threads/SyncMutex.h"

namespace QuennelEngine {

class CDataType;

// Progress shared by a loader and its markers.
class CORE_API CLoadState : public CSmartObject {
  MD_DECLARE_CLASS(CLoadState)
  CLoadState(void) : ls_iTotalWeight(0), ls_iCurrentProgress(0), ls_iDoneWeight(0) {}
  long ls_iTotalWeight;
  long ls_iCurrentProgress; // the reader's offset in the file being loaded now
  long ls_iDoneWeight;
  CSyncMutex ls_sm;
};

// Ends one preloaded file: its weight counts as done.
class CORE_API CLoadCompleteMarker : public CBaseTask {
  MD_DECLARE_CLASS(CLoadCompleteMarker)
  CLoadCompleteMarker(void) : lcm_iWeight(0) {}
  void OnExecute(CTaskPool *ptp) override;

  long lcm_iWeight;
  Ptr<CLoadState> lcm_plsState;
};

class CORE_API CResourceLoader {
public:
  enum : unsigned long {
    RLF_LOADING = 0x1,
    RLF_PREPARED = 0x2,
    RLF_PRELOADLIST = 0x4,
    RLF_RESOLVED = 0x8,
    RLF_RESOLVEDNULL = 0x10,
  };

  CResourceLoader(void);
  CResourceLoader(const CResourceLoader &) = delete;
  CResourceLoader &operator=(const CResourceLoader &) = delete;

  void PrepareLoader(CDataType *pdt, const char *strFileName);
  // Queues the preload list (if there is one) and then the file's default resource.
  void BeginLoading(void);
  void BeginLoading(CDataType *pdt, const char *strFileName);
  int IsPrepared(void) const { return (rl_ulFlags & RLF_PREPARED) != 0; }
  int IsLoading(void) const { return (rl_ulFlags & RLF_LOADING) != 0; }
  int IsFinished(void);
  int IsResolved(void);
  // Acquires the resource (waiting for it) and records whether one came.
  void WaitUntilFinished(void);
  // The same once IsFinished() is true.
  void ResolveResource(void);
  Ptr<CResource> GetLoadedResource(void);
  // 0 to 1: over the preload list's weights, or the reader's own progress without a list.
  // Never lower than what it returned before for this load.
  float GetLoadProgress(void);
  Time GetLoadStartTime(void) const { return rl_tmStart; }
  CString GetResourceFileName(void);
  // Runs single post-load tasks until none is left or 10 ms have passed.
  void UpdateLoader(void);
  // Back to new; whether a preload list was read stays recorded.
  void ResetLoader(void);

  unsigned long rl_ulFlags;
  Time rl_tmStart;
  CString rl_strFileName;
  CDataType *rl_pdtType;
  Ptr<CResource> rl_prsResource;
  Ptr<CLoadState> rl_plsState;

private:
  void ReadPreloadList(void);
  float rl_fProgress; // the highest progress returned for this load
  void Resolve(void);
};

// A line of a preload list: its weight (0 without one; a negative weight counts as 0) and path.
// The text before a ':' is a weight only when it is wholly an integer ("$C:/x" is a path).
CORE_API void mlParsePreloadLine(const char *strLine, long &iWeight, CString &strPath);

} // namespace QuennelEngine
