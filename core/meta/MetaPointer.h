#pragma once
// Typed object pointers: CMetaPointer (descriptor and address), CMetaFrame (what every
// per-object operation receives) and CTypePtr (a descriptor pointer with a name).
#include "core/meta/DataType.h"

namespace QuennelEngine {

class CORE_API CMetaPointer {
public:
  CMetaPointer(void) : mp_pdtType(nullptr), mp_pvObject(nullptr) {}
  CMetaPointer(CDataType *pdt, void *pv) : mp_pdtType(pdt), mp_pvObject(pv) {}
  // The type looked up by name (null when it is not registered).
  CMetaPointer(const char *strType, void *pv);

  bool IsValid(void) const { return mp_pdtType != nullptr && mp_pvObject != nullptr; }
  bool IsNull(void) const { return mp_pvObject == nullptr; }
  CDataType *GetType(void) const { return mp_pdtType; }
  void *GetObject(void) const { return mp_pvObject; }
  bool operator==(const CMetaPointer &mp) const
  {
    return mp_pdtType == mp.mp_pdtType && mp_pvObject == mp.mp_pvObject;
  }
  bool operator!=(const CMetaPointer &mp) const { return !(*this == mp); }

  CDataType *mp_pdtType;
  void *mp_pvObject;
};

// Frame flags beyond the member flags.
enum : unsigned long {
  MFF_TOPLEVEL = 0x4000, // a top-level object of the meta index
};

class CORE_API CMetaFrame {
public:
  CMetaFrame(void) : mf_pdtType(nullptr), mf_pvObject(nullptr), mf_pdtMemory(nullptr), mf_ulFlags(0)
  {
  }
  CMetaFrame(const CMetaPointer &mp, unsigned long ulFlags)
      : mf_pdtType(mp.mp_pdtType), mf_pvObject(mp.mp_pvObject), mf_pdtMemory(mp.mp_pdtType),
        mf_ulFlags(ulFlags)
  {
  }
  CMetaFrame(CDataType *pdt, void *pv, unsigned long ulFlags)
      : mf_pdtType(pdt), mf_pvObject(pv), mf_pdtMemory(pdt), mf_ulFlags(ulFlags)
  {
  }
  // `pdtMemory` describes the object in memory; `pdt` the layout being read or written (they
  // differ while a file's layout is converted).
  CMetaFrame(CDataType *pdt, CDataType *pdtMemory, void *pv, unsigned long ulFlags)
      : mf_pdtType(pdt), mf_pvObject(pv), mf_pdtMemory(pdtMemory), mf_ulFlags(ulFlags)
  {
  }
  CMetaPointer GetPointer(void) const { return CMetaPointer(mf_pdtType, mf_pvObject); }

  CDataType *mf_pdtType;
  void *mf_pvObject;
  CDataType *mf_pdtMemory;
  unsigned long mf_ulFlags;
};

class CORE_API CTypePtr {
public:
  CTypePtr(void) : tp_pdt(nullptr) {}
  CTypePtr(CDataType *pdt) : tp_pdt(pdt) {}
  CTypePtr &operator=(CDataType *pdt)
  {
    tp_pdt = pdt;
    return *this;
  }
  operator CDataType *(void) const { return tp_pdt; }
  CDataType *operator->(void) const { return tp_pdt; }
  // The descriptor's name, or the invalid identifier for none.
  IDENT GetName(void) const;

  CDataType *tp_pdt;
};

} // namespace QuennelEngine
