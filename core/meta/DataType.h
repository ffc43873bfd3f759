#pragma once
// Type descriptors: CDataType (the common fields of every kind), CTypeID (a type reference that
// resolves by name on demand), CDataTypeFunctions (a type's optional operations) and the names of
// the kinds. The kind classes and their records are in DataTypeKinds.h.
#include "core/memory/TypeStats.h"
#include "core/text/Ident.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CDataType;
class CMetaPointer;
class CMetaFrame;

// The kinds of descriptors. The values are stored in files and never change; 14 is not used.
enum DataTypeType : long {
  DTT_NONE = -1, // a default-constructed descriptor
  DTT_SIMPLE = 0,
  DTT_VALUEFIELD = 1,
  DTT_POINTER = 2,
  DTT_REFERENCE = 3,
  DTT_ARRAY = 4,
  DTT_STRUCT = 5,
  DTT_STATICARRAY = 6,
  DTT_STATICSTACKARRAY = 7,
  DTT_DYNAMICCONTAINER = 8,
  DTT_FUNCTION = 9,
  DTT_VOID = 10,
  DTT_SMARTPOINTER = 11,
  DTT_HANDLE = 12,
  DTT_TYPEDEF = 13,
  DTT_SCRIPTSTATE = 15,
  DTT_SCRIPTLATENT = 16,
  DTT_UNKNOWN = 17,
};

// The symbolic name of a kind ("DTT_STRUCT"), or the empty text for a value that is none.
CORE_API const char *dtGetTypeStringFromID(long iKind);
// The kind of a symbolic name (compared without regard to case), or -1.
CORE_API long dtGetTypeIDFromString(const char *strName);

// Type flags.
enum : unsigned long {
  DTF_PLAIN = 0x1,      // a flat run of bytes: no pointers, padding or members left out of files
  DTF_ABSTRACT = 0x40,  // no objects of the type itself can be made
  DTF_FROMFILE = 0x80,  // built by the metadata reader from a file's type table
  DTF_UPDATED = 0x100,  // checked by mdUpdateTypeTables
  DTF_CHECKING = 0x200, // its layout checksum is being computed (stops cycles)
  DTF_FAILED = 0x400,   // mdUpdateTypeTables found it faulty (and every type that uses it)
  DTF_EDIT = 0x80000,   // its objects are editor-only data
};

// A reference to a type: a descriptor pointer and/or the type's name. A reference by name finds
// its descriptor on the first Resolve() after the type is registered.
class CORE_API CTypeID {
public:
  CTypeID(void);
  CTypeID(CDataType *pdt);
  explicit CTypeID(const char *strName);
  // An empty reference: no descriptor and no name.
  bool IsEmpty(void) const;
  bool IsNULL(void) const { return ti_pdt == nullptr; }
  // Looks the name up when there is no descriptor yet (a failure is retried next time). Every
  // walk over objects resolves each member's type: the resolved case costs one load.
  CDataType *Resolve(void) { return ti_pdt != nullptr ? ti_pdt : ResolveByName(); }
  CDataType *GetPointer(void) const { return ti_pdt; }
  // The stored name, else the descriptor's name, else the invalid identifier.
  IDENT GetName(void) const;
  // Forgets the descriptor (keeping its name) when it is `pdt`: a type that goes away must not
  // leave references to it behind.
  void Forget(const CDataType *pdt);

  CDataType *ti_pdt;
  IDENT ti_id;

private:
  CDataType *ResolveByName(void);
};

// Resolves `tid` or throws "Cannot resolve type '%1'".
CORE_API CDataType *mdMustResolve_t(CTypeID &tid);
// The invalid identifier: the interned empty text.
CORE_API IDENT mdInvalidIdent(void);

// The universal function-pointer type that the operation slots store (each slot is cast back to
// its own signature by the accessor of CDataTypeFunctions).
typedef void (*MetaFunction)(void);
template <class F> inline MetaFunction mdFunction(F *pfn)
{
  return reinterpret_cast<MetaFunction>(pfn);
}

// One entry of a selector list: selector bit, operation. A list ends with a selector of 0.
struct DataTypeFunctionEntry {
  unsigned long dtfe_ulSelector;
  MetaFunction dtfe_pfn;
};

// The signatures of the operations.
typedef void (*MetaNewFunction)(CMetaPointer &mpResult, CDataType *pdt, long ctCount);
typedef void (*MetaDeleteFunction)(CDataType *pdt, void *pv, long ctCount);
typedef void (*MetaObjectFunction)(CDataType *pdt, void *pv);
typedef void (*MetaFinalObjectFunction)(CMetaPointer &mpResult, CDataType *pdt, void *pv);
typedef int (*MetaChangeFunction)(const CMetaPointer &mpObject, const CMetaPointer &mpPart);
typedef void (*MetaCopyFunction)(CDataType *pdtDst, void *pvDst, CDataType *pdtSrc,
                                 const void *pvSrc, unsigned long ulFlags);
typedef void (*MetaFrameFunction)(CMetaFrame &mf);
typedef CString (*MetaNameFunction)(CDataType *pdt, void *pv);

// The optional operations of a type: 24 slots, all null by default. The generic operations fall
// back to a default by kind where a slot is null.
class CORE_API CDataTypeFunctions {
public:
  enum Slot {
    DTFS_NEW = 0,
    DTFS_DELETE = 1,
    DTFS_CLEAR = 2,
    DTFS_GETFINALOBJECT = 3,
    DTFS_POSTCREATE = 4,
    DTFS_PREWRITE = 5,
    DTFS_POSTWRITE = 6,
    DTFS_POSTREAD = 7,
    DTFS_POSTCOPY = 8,
    DTFS_PRECHANGE = 9,
    DTFS_POSTCHANGE = 10,
    DTFS_BEGINCHANGING = 11,
    DTFS_ENDCHANGING = 12,
    DTFS_UNUSED13 = 13,
    DTFS_COPY = 14,
    DTFS_READ = 15,
    DTFS_SKIP = 16,
    DTFS_WRITE = 17,
    DTFS_COLLECT = 20,
    DTFS_GETNAME = 21,
    DTFS_CONSTRUCT = 22,
    DTFS_DESTRUCT = 23,
    DTFS_COUNT = 24,
  };
  // Selectors: 1 << slot for slots 0 to 17; these four for slots 20 to 23 (18 and 19 have none).
  enum : unsigned long {
    DTFSEL_COLLECT = 0x40000,
    DTFSEL_GETNAME = 0x80000,
    DTFSEL_CONSTRUCT = 0x100000,
    DTFSEL_DESTRUCT = 0x200000,
  };

  CDataTypeFunctions(void);
  // From a selector list ended by a selector of 0; unknown selectors are ignored.
  explicit CDataTypeFunctions(const DataTypeFunctionEntry *pEntries);
  // The slot that a selector sets, or -1.
  static int SlotOfSelector(unsigned long ulSelector);

  MetaFunction Get(int iSlot) const { return dtf_apfn[iSlot]; }
  void Set(int iSlot, MetaFunction pfn) { dtf_apfn[iSlot] = pfn; }
  MetaNewFunction New(void) const { return (MetaNewFunction)dtf_apfn[DTFS_NEW]; }
  MetaDeleteFunction Delete(void) const { return (MetaDeleteFunction)dtf_apfn[DTFS_DELETE]; }
  MetaObjectFunction Object(int iSlot) const { return (MetaObjectFunction)dtf_apfn[iSlot]; }
  MetaFinalObjectFunction GetFinalObject(void) const
  {
    return (MetaFinalObjectFunction)dtf_apfn[DTFS_GETFINALOBJECT];
  }
  MetaChangeFunction Change(int iSlot) const { return (MetaChangeFunction)dtf_apfn[iSlot]; }
  MetaCopyFunction Copy(void) const { return (MetaCopyFunction)dtf_apfn[DTFS_COPY]; }
  MetaFrameFunction Frame(int iSlot) const { return (MetaFrameFunction)dtf_apfn[iSlot]; }
  MetaNameFunction GetName(void) const { return (MetaNameFunction)dtf_apfn[DTFS_GETNAME]; }

  MetaFunction dtf_apfn[DTFS_COUNT];
};

// The common part of every descriptor. Kind classes derive from it; code that needs a kind's
// fields checks dt_dttKind and casts. Descriptors have exactly two virtual operations: the
// destructor and mdGetDataType(), the descriptor of the descriptor's own class.
class CORE_API CDataType {
public:
  CDataType(void);
  CDataType(DataTypeType dtt, const char *strName, long iFormat, long slSize, unsigned long ulFlags,
            const CDataTypeFunctions *pdtf);
  CDataType(const CDataType &dt);
  CDataType &operator=(const CDataType &dt);
  virtual ~CDataType(void);
  virtual CDataType *mdGetDataType(void) const;
  static CDataType *md_pdtDataType;

  IDENT GetName(void) const { return dt_idName; }
  DataTypeType GetKind(void) const { return dt_dttKind; }
  bool IsStruct(void) const { return dt_dttKind == DTT_STRUCT; }
  // The operation in a slot, or null (also when the type has no table).
  MetaFunction GetFunction(int iSlot) const
  {
    return dt_pdtfFunctions == nullptr ? nullptr : dt_pdtfFunctions->Get(iSlot);
  }

  DataTypeType dt_dttKind;
  IDENT dt_idName;
  long dt_iFormat;             // layout version, stored in files
  long dt_slSize;              // bytes of one object
  unsigned long dt_ulFlags;    // DTF_...
  unsigned long dt_ulChecksum; // layout checksum, 0 until computed
  // The operations: owned by the descriptor (a copy of what it was constructed with).
  CDataTypeFunctions *dt_pdtfFunctions;
  long dt_iSaveIndex;           // index in the file being written, or -1
  long dt_iLoadIndex;           // index in the file being read, or -1
  CDataType *dt_pdtCounterpart; // see mdIsDerivedFrom; itself unless a load links it
  // Reserved words; the first holds the index that a structure's further type references give
  // this descriptor.
  unsigned long dt_aulReserved[4];
  // Allocation statistics of the objects of this type (the memory entry points book them).
  MemoryTypeStats dt_mts;
};

} // namespace QuennelEngine
