#pragma once
// Typed handles: Handle<T>, a member that refers to an object weakly through its handle value
// (it reads as null once the object's block is freed), and CMetaHandle, a handle value with the
// descriptor of its object.
#include "core/meta/HandleValues.h"
#include "core/meta/MetaPointer.h"

namespace QuennelEngine {

template <class T> class Handle {
public:
  Handle(void) : h_ulHandle(0) {}
  Handle(T *pt) : h_ulHandle(hvPointerToHandle(pt)) {}
  Handle &operator=(T *pt)
  {
    h_ulHandle = hvPointerToHandle(pt);
    return *this;
  }
  // The object, or null when there is none or it was freed.
  T *Get(void) const { return (T *)hvHandleToPointer(h_ulHandle); }
  T *operator->(void) const { return Get(); }
  operator T *(void) const { return Get(); }
  unsigned long GetValue(void) const { return h_ulHandle; }
  void SetValue(unsigned long ulHandle) { h_ulHandle = ulHandle; }

private:
  unsigned long h_ulHandle;
};
static_assert(sizeof(Handle<int>) == 4, "a handle member is its 32-bit value");

class CORE_API CMetaHandle {
public:
  CMetaHandle(void) : mh_ulHandle(0), mh_pdtType(nullptr) {}
  // The handle of `pv` (made if there is none yet).
  CMetaHandle(void *pv, CDataType *pdt);
  explicit CMetaHandle(const CMetaPointer &mp);
  // The descriptor is set and the handle still converts to an object.
  bool IsValid(void) const;
  // The object and its type; a null pointer once the object is gone.
  CMetaPointer GetPointer(void) const;
  bool operator==(const CMetaHandle &mh) const
  {
    return mh_ulHandle == mh.mh_ulHandle && mh_pdtType == mh.mh_pdtType;
  }
  bool operator!=(const CMetaHandle &mh) const { return !(*this == mh); }

  unsigned long mh_ulHandle;
  CDataType *mh_pdtType;
};

} // namespace QuennelEngine
