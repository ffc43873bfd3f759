#pragma once
// Post-load tasks: work a load leaves for the main thread, kept per resource. A task queued on
// the main thread runs at once; one queued on another thread waits in the registry, and its
// resource is marked replace-on-access so that its next acquisition on the main thread runs the
// resource's tasks first. The registry's mutex guards only the lists: a task is taken out of its
// list under the mutex and then run and deleted without it, so a task may wait for a load or run
// post-load tasks itself.
#include "core/meta/Handle.h"
#include "core/meta/Object.h"

namespace QuennelEngine {

class CResource;

// A unit of work for the main thread; deleted through the tracked allocator once it ran (or was
// discarded).
class CORE_API CResourceTask : public CObject {
  MD_DECLARE_CLASS(CResourceTask)
  CResourceTask(void) {}
  virtual void OnExecute(CResource *prs) = 0;
};

// Deletes an object through the metadata, unless it is gone already.
class CORE_API CDeleteObjectTask : public CResourceTask {
  MD_DECLARE_CLASS(CDeleteObjectTask)
  CDeleteObjectTask(void) : dot_ulHandle(0), dot_pdtType(nullptr) {}
  explicit CDeleteObjectTask(const CMetaPointer &mp);
  void OnExecute(CResource *prs) override;

  unsigned long dot_ulHandle;
  CDataType *dot_pdtType;
};

// Takes the task over: runs it now on the main thread, else queues it for the resource.
CORE_API void mlAddPostLoadTask(CResource *prs, CResourceTask *ptsk);
// Runs one task of the first resource that has any; 1 if a resource with tasks was listed.
CORE_API int mlExecutePostLoadTasks(void);
// Runs tasks until none is queued; the number run.
CORE_API long mlExecuteAllPostLoadTasks(void);
// Runs (discards) the resource's tasks, the last queued first; the number it had.
CORE_API long mlExecuteAllPostLoadTasks(CResource *prs);
CORE_API long mlDiscardAllPostLoadTasks(CResource *prs);
// The tasks of `prsFrom` become those of `prsTo` (a replacement takes over its stand-in's work).
CORE_API void mlReplaceResourceTaskList(CResource *prsFrom, CResource *prsTo);
// Tasks queued over all resources.
CORE_API long mlCountPostLoadTasks(void);

} // namespace QuennelEngine
