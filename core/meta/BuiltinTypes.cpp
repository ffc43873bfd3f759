#include "core/meta/BuiltinTypes.h"

#include "core/memory/Memory.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/MetaCollect.h"
#include "core/meta/MetaFiles.h"
#include "core/meta/MetaPointer.h"
#include "core/meta/TypeRegistry.h"
#include "core/text/TransString.h"

#include <new>
#include <string.h>

namespace QuennelEngine {

CDataType *md_pdtUBYTE = nullptr;
CDataType *md_pdtSBYTE = nullptr;
CDataType *md_pdtUWORD = nullptr;
CDataType *md_pdtSWORD = nullptr;
CDataType *md_pdtULONG = nullptr;
CDataType *md_pdtSLONG = nullptr;
CDataType *md_pdtFLOAT = nullptr;
CDataType *md_pdtDOUBLE = nullptr;
CDataType *md_pdtINDEX = nullptr;
CDataType *md_pdtIDENT = nullptr;
CDataType *md_pdtPIX = nullptr;
CDataType *md_pdtBOOL = nullptr;
CDataType *md_pdtCOLOR = nullptr;
CDataType *md_pdtCString = nullptr;
CDataType *md_pdtVoid = nullptr;
CDataType *md_pdtVoidPointer = nullptr;
CDataType *md_pdtUnknown = nullptr;

namespace {

// Numbers: zeroed cells booked on their type; arrays carry the count header.
void PlainNew(CMetaPointer &mp, CDataType *pdt, long ctCount)
{
  const size_t slSize = (size_t)pdt->dt_slSize;
  void *pv;
  size_t slBytes;
  if (ctCount < 0) {
    pv = memNewRC_internal(slSize, pdt);
    slBytes = slSize;
  } else {
    slBytes = memElementBytes(ctCount, slSize);
    pv = memNewArrayRC_internal(slBytes, ctCount, pdt);
  }
  memset(pv, 0, slBytes);
  mp = CMetaPointer(pdt, pv);
}

void PlainDelete(CDataType *pdt, void *pv, long ctCount)
{
  if (ctCount < 0) {
    memPreDeleteRC_internal(pv, pdt);
    memDelete_internal(pv);
  } else {
    memPreDeleteArrayRC_internal(pv, pdt);
    memDeleteArray_internal(pv);
  }
}

void PlainConstruct(CDataType *pdt, void *pv)
{
  memset(pv, 0, (size_t)pdt->dt_slSize);
}

// A text owns its heap copy: a new one is empty, a copy is deep, deletion frees the text.
void StringNew(CMetaPointer &mp, CDataType *pdt, long ctCount)
{
  CString *pstr;
  if (ctCount < 0) {
    pstr = (CString *)memNewRC_internal(sizeof(CString), pdt);
    ::new (pstr) CString();
  } else {
    pstr =
        (CString *)memNewArrayRC_internal(memElementBytes(ctCount, sizeof(CString)), ctCount, pdt);
    for (long i = 0; i < ctCount; i++) ::new (&pstr[i]) CString();
  }
  mp = CMetaPointer(pdt, pstr);
}

void StringDelete(CDataType *pdt, void *pv, long ctCount)
{
  CString *pstr = (CString *)pv;
  if (ctCount < 0) {
    pstr->~CString();
  } else {
    const long ct = (long)(((unsigned long *)pv)[-1] & 0x7FFFFFFFUL);
    for (long i = 0; i < ct; i++) pstr[i].~CString();
  }
  PlainDelete(pdt, pv, ctCount);
}

void StringConstruct(CDataType *, void *pv)
{
  ::new (pv) CString();
}

void StringDestruct(CDataType *, void *pv)
{
  ((CString *)pv)->~CString();
}

void StringCopy(CDataType *, void *pvDst, CDataType *, const void *pvSrc, unsigned long)
{
  *(CString *)pvDst = *(const CString *)pvSrc;
}

// An identifier is an interned text: a new one is the invalid identifier, copies share it.
void IdentNew(CMetaPointer &mp, CDataType *pdt, long ctCount)
{
  PlainNew(mp, pdt, ctCount);
  const long ct = ctCount < 0 ? 1 : ctCount;
  for (long i = 0; i < ct; i++) ((IDENT *)mp.mp_pvObject)[i] = mdInvalidIdent();
}

void IdentConstruct(CDataType *, void *pv)
{
  *(IDENT *)pv = mdInvalidIdent();
}

void IdentCopy(CDataType *, void *pvDst, CDataType *, const void *pvSrc, unsigned long)
{
  *(IDENT *)pvDst = *(const IDENT *)pvSrc;
}

void Nothing(CDataType *, void *)
{
}

// In files a text is a string and an identifier the index of its name in the file's list.
// A text saved earlier also loads into a CTransString, whose own text it becomes.
void StringWrite(CMetaFrame &mf)
{
  mdWriteString_t("String", *(CString *)mf.mf_pvObject);
}

void StringRead(CMetaFrame &mf)
{
  CString *pstr = (CString *)mf.mf_pvObject;
  if (mf.mf_pdtMemory != nullptr && strcmp(mf.mf_pdtMemory->GetName(), "CTransString") == 0) {
    pstr = &((CTransString *)mf.mf_pvObject)->ts_strText;
  }
  mdReadString_t("String", *pstr);
}

void StringSkip(CMetaFrame &)
{
  mdSkipString_t("String");
}

void IdentCollect(CMetaFrame &mf)
{
  mdCollectIdent_t(*(IDENT *)mf.mf_pvObject);
}

void IdentWrite(CMetaFrame &mf)
{
  mdWriteIdent_t("Ident", *(IDENT *)mf.mf_pvObject);
}

void IdentRead(CMetaFrame &mf)
{
  mdReadIdent_t("Ident", *(IDENT *)mf.mf_pvObject);
}

void IdentSkip(CMetaFrame &)
{
  mdSkipInt_t("Ident");
}

const DataTypeFunctionEntry _md_adtfePlain[] = {
    {0x1, mdFunction(&PlainNew)},
    {0x2, mdFunction(&PlainDelete)},
    {CDataTypeFunctions::DTFSEL_CONSTRUCT, mdFunction(&PlainConstruct)},
    {CDataTypeFunctions::DTFSEL_DESTRUCT, mdFunction(&Nothing)},
    {0, nullptr},
};
const DataTypeFunctionEntry _md_adtfeString[] = {
    {0x1, mdFunction(&StringNew)},
    {0x2, mdFunction(&StringDelete)},
    {0x4000, mdFunction(&StringCopy)},
    {0x8000, mdFunction(&StringRead)},
    {0x10000, mdFunction(&StringSkip)},
    {0x20000, mdFunction(&StringWrite)},
    {CDataTypeFunctions::DTFSEL_CONSTRUCT, mdFunction(&StringConstruct)},
    {CDataTypeFunctions::DTFSEL_DESTRUCT, mdFunction(&StringDestruct)},
    {0, nullptr},
};
const DataTypeFunctionEntry _md_adtfeIdent[] = {
    {0x1, mdFunction(&IdentNew)},
    {0x2, mdFunction(&PlainDelete)},
    {0x4000, mdFunction(&IdentCopy)},
    {0x8000, mdFunction(&IdentRead)},
    {0x10000, mdFunction(&IdentSkip)},
    {0x20000, mdFunction(&IdentWrite)},
    {CDataTypeFunctions::DTFSEL_COLLECT, mdFunction(&IdentCollect)},
    {CDataTypeFunctions::DTFSEL_CONSTRUCT, mdFunction(&IdentConstruct)},
    {CDataTypeFunctions::DTFSEL_DESTRUCT, mdFunction(&Nothing)},
    {0, nullptr},
};

struct Builtin {
  CDataType **b_ppdtGlobal;
  CDataType *b_pdt;
};

// Registers the built-in types when Core loads and unregisters them when it unloads.
class CBuiltinTypes {
public:
  CBuiltinTypes();
  ~CBuiltinTypes();

private:
  CDataType *Add(CDataType *pdt, CDataType **ppdtGlobal = nullptr)
  {
    bt_sab.Push(Builtin{ppdtGlobal, pdt});
    if (ppdtGlobal != nullptr) *ppdtGlobal = pdt;
    mdRegister(pdt);
    return pdt;
  }
  CDataType *Simple(const char *strName, long slSize, CDataType **ppdtGlobal = nullptr)
  {
    static const CDataTypeFunctions _dtfPlain(_md_adtfePlain);
    return Add(new CDataType_Simple(strName, 1, &_dtfPlain, slSize, slSize, DTF_PLAIN), ppdtGlobal);
  }
  CDataType *Opaque(const char *strName, long slSize, CDataType **ppdtDescriptor)
  {
    CDataType *pdt = Add(new CDataType_Simple(strName, 1, nullptr, slSize, 1, 0));
    *ppdtDescriptor = pdt;
    return pdt;
  }
  CStaticStackArray<Builtin> bt_sab;
};

CBuiltinTypes::CBuiltinTypes()
{
  // Unknown first: the allocation statistics of untyped blocks are booked on it.
  Add(new CDataType_Unknown(0), &md_pdtUnknown);
  Simple("CHAR", 1);
  Simple("UBYTE", 1, &md_pdtUBYTE);
  Simple("SBYTE", 1, &md_pdtSBYTE);
  Simple("UWORD", 2, &md_pdtUWORD);
  Simple("SWORD", 2, &md_pdtSWORD);
  Simple("ULONG", 4, &md_pdtULONG);
  Simple("SLONG", 4, &md_pdtSLONG);
  Simple("FLOAT", 4, &md_pdtFLOAT);
  Simple("UQUAD", 8);
  Simple("SQUAD", 8);
  Simple("DOUBLE", 8, &md_pdtDOUBLE);
  static const CDataTypeFunctions _dtfIdent(_md_adtfeIdent);
  Add(new CDataType_Simple("IDENT", 1, &_dtfIdent, 4, 4, 0), &md_pdtIDENT);
  static const CDataTypeFunctions _dtfString(_md_adtfeString);
  Add(new CDataType_Simple("CString", 1, &_dtfString, 4, 4, 0), &md_pdtCString);
  Add(new CDataType_Typedef("INDEX", 1, CTypeID("SLONG"), 0), &md_pdtINDEX);
  Add(new CDataType_Typedef("PIX", 1, CTypeID("SLONG"), 0), &md_pdtPIX);
  Add(new CDataType_Typedef("BOOL", 1, CTypeID("SLONG"), 0), &md_pdtBOOL);
  Add(new CDataType_Typedef("COLOR", 1, CTypeID("ULONG"), 0), &md_pdtCOLOR);
  Add(new CDataType_Void(0), &md_pdtVoid);
  Add(new CDataType_Pointer("void*", 1, CTypeID(md_pdtVoid), 0), &md_pdtVoidPointer);
  Add(new CDataType_Reference("CString&", 1, CTypeID(md_pdtCString), 0));
  // The descriptor classes: opaque, so that pointers to descriptors can be typed.
  Opaque("CDataType", sizeof(CDataType), &CDataType::md_pdtDataType);
  Opaque("CDataType_Simple", sizeof(CDataType_Simple), &CDataType_Simple::md_pdtDataType);
  Opaque("CDataType_ValueField", sizeof(CDataType_ValueField),
         &CDataType_ValueField::md_pdtDataType);
  Opaque("CDataType_Pointer", sizeof(CDataType_Pointer), &CDataType_Pointer::md_pdtDataType);
  Opaque("CDataType_Reference", sizeof(CDataType_Reference), &CDataType_Reference::md_pdtDataType);
  Opaque("CDataType_Array", sizeof(CDataType_Array), &CDataType_Array::md_pdtDataType);
  Opaque("CDataType_Struct", sizeof(CDataType_Struct), &CDataType_Struct::md_pdtDataType);
  Opaque("CDataType_CStaticArray", sizeof(CDataType_CStaticArray),
         &CDataType_CStaticArray::md_pdtDataType);
  Opaque("CDataType_CStaticStackArray", sizeof(CDataType_CStaticStackArray),
         &CDataType_CStaticStackArray::md_pdtDataType);
  Opaque("CDataType_CDynamicContainer", sizeof(CDataType_CDynamicContainer),
         &CDataType_CDynamicContainer::md_pdtDataType);
  Opaque("CDataType_Function", sizeof(CDataType_Function), &CDataType_Function::md_pdtDataType);
  Opaque("CDataType_Void", sizeof(CDataType_Void), &CDataType_Void::md_pdtDataType);
  Opaque("CDataType_Unknown", sizeof(CDataType_Unknown), &CDataType_Unknown::md_pdtDataType);
  Opaque("CDataType_SmartPointer", sizeof(CDataType_SmartPointer),
         &CDataType_SmartPointer::md_pdtDataType);
  Opaque("CDataType_Handle", sizeof(CDataType_Handle), &CDataType_Handle::md_pdtDataType);
  Opaque("CDataType_Typedef", sizeof(CDataType_Typedef), &CDataType_Typedef::md_pdtDataType);
  Opaque("CDataType_ScriptState", sizeof(CDataType_ScriptState),
         &CDataType_ScriptState::md_pdtDataType);
  Opaque("CDataType_ScriptLatent", sizeof(CDataType_ScriptLatent),
         &CDataType_ScriptLatent::md_pdtDataType);
  static CDataType *_apdtRecords[5];
  Opaque("CDataType_StructMember", sizeof(CDataType_StructMember), &_apdtRecords[0]);
  Opaque("CDataTypeFunctions", sizeof(CDataTypeFunctions), &_apdtRecords[1]);
  Opaque("CDataType_ValueFieldEntry", sizeof(CDataType_ValueFieldEntry), &_apdtRecords[2]);
  Opaque("CDataType_FunctionArgument", sizeof(CDataType_FunctionArgument), &_apdtRecords[3]);
  Opaque("CDataType_Hint", sizeof(CDataType_Hint), &_apdtRecords[4]);
}

CBuiltinTypes::~CBuiltinTypes()
{
  // Core unloads: nothing of the program runs after this, but a process that frees Core and
  // loads it again must not find stale descriptors.
  for (long i = bt_sab.Count() - 1; i >= 0; i--) {
    mdUnregister(bt_sab[i].b_pdt);
    if (bt_sab[i].b_ppdtGlobal != nullptr) *bt_sab[i].b_ppdtGlobal = nullptr;
    if (bt_sab[i].b_pdt == md_pdtUnknown) md_pdtUnknown = nullptr;
  }
}

CBuiltinTypes _md_btTypes;

} // namespace

} // namespace QuennelEngine
