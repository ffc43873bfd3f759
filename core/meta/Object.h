#pragma once
// CObject, the root of reflected classes; CSmartObject, the root of reference-counted ones; and
// Ptr, their smart pointer. The metadata includes this header without the rest of the resources.
#include "core/meta/MetaClass.h"

namespace QuennelEngine {

class CORE_API CObject {
  MD_DECLARE_CLASS(CObject)
  CObject(void) {}
  virtual ~CObject(void) {}
};

class CORE_API CSmartObject : public CObject {
  MD_DECLARE_CLASS(CSmartObject)
  enum : unsigned long {
    SOF_REPLACEONACCESS = 0x1, // whoever takes a reference takes AcquireReplacement() instead
  };

  CSmartObject(void) : so_ulFlags(0), so_ctReferences(0) {}
  // Copies start unreferenced.
  CSmartObject(const CSmartObject &so) : CObject(so), so_ulFlags(so.so_ulFlags), so_ctReferences(0)
  {
  }
  CSmartObject &operator=(const CSmartObject &so)
  {
    so_ulFlags = so.so_ulFlags;
    return *this;
  }

  // Called when the count drops below 1; the base deletes the object.
  virtual void DeleteSelf(void);
  // The object to use instead of this one (replace-on-access); the base has none.
  virtual CSmartObject *AcquireReplacement(void);
  virtual void InitiateDelayedLoad(void);
  virtual int IsReplacementReady(void);

  // The count changes by interlocked operations (plain ones on the main thread while no other
  // thread counts as active).
  void AddRef(void);
  // Adds a reference only while the count is above 0, and tells whether it did: lookups that
  // find an object through a raw pointer use it, so a last release already under way (the
  // count at 0, DeleteSelf about to run) is never undone.
  bool AddRefIfReferenced(void);
  // Lowers the count; below 1 the object deletes itself (DeleteSelf) and 0 is returned,
  // otherwise the new count (and the object is reported to a clearing in progress,
  // mdCollectToBeCleared).
  long RemRef(void);
  long GetReferenceCount(void) const { return so_ctReferences; }

  unsigned long so_ulFlags;
  long so_ctReferences;
};

// A mutex for code that must see a group of counts stand still; the counts themselves do not
// take it.
CORE_API CSyncMutex *mdGetSmartObjectMutex(void);

// A counted reference: copying adds a reference, destruction removes one. One pointer wide.
template <class T> class Ptr {
public:
  Ptr(void) : ptr_p(nullptr) {}
  Ptr(T *p) : ptr_p(p)
  {
    if (ptr_p != nullptr) ptr_p->AddRef();
  }
  Ptr(const Ptr &ptr) : Ptr(ptr.ptr_p) {}
  template <class U> Ptr(const Ptr<U> &ptr) : Ptr(ptr.Get()) {}
  Ptr(Ptr &&ptr) noexcept : ptr_p(ptr.ptr_p) { ptr.ptr_p = nullptr; }
  ~Ptr(void)
  {
    if (ptr_p != nullptr) ptr_p->RemRef();
  }
  Ptr &operator=(T *p)
  {
    // The new reference first: `p` may be held only through the old one.
    if (p != nullptr) p->AddRef();
    T *pOld = ptr_p;
    ptr_p = p;
    if (pOld != nullptr) pOld->RemRef();
    return *this;
  }
  Ptr &operator=(const Ptr &ptr) { return *this = ptr.ptr_p; }
  Ptr &operator=(Ptr &&ptr) noexcept
  {
    if (this != &ptr) {
      T *pOld = ptr_p;
      ptr_p = ptr.ptr_p;
      ptr.ptr_p = nullptr;
      if (pOld != nullptr) pOld->RemRef();
    }
    return *this;
  }
  T *Get(void) const { return ptr_p; }
  T *operator->(void) const { return ptr_p; }
  T &operator*(void) const { return *ptr_p; }
  operator T *(void) const { return ptr_p; }

private:
  T *ptr_p;
};

} // namespace QuennelEngine
