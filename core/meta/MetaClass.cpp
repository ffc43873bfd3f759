#include "core/meta/MetaClass.h"
#include "core/frame/CodeGuard.h"

#include "core/frame/Console.h"
#include "core/meta/MetaObjects.h"
#include "core/text/FormatArgs.h"
#include "core/text/Scanner.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace QuennelEngine {

CString mdCompoundTypeName(DataTypeType dtt, const char *strElement, long ctDimensions,
                           const long *actDimensions)
{
  const CString strE = strElement == nullptr ? "" : strElement;
  switch (dtt) {
  case DTT_POINTER:
    return strE + "*";
  case DTT_REFERENCE:
    return strE + "&";
  case DTT_SMARTPOINTER:
    return CString("Ptr<") + strE + ">";
  case DTT_HANDLE:
    return CString("Handle<") + strE + ">";
  case DTT_STATICARRAY:
    return CString("CStaticArray<") + strE + ">";
  case DTT_STATICSTACKARRAY:
    return CString("CStaticStackArray<") + strE + ">";
  case DTT_DYNAMICCONTAINER:
    return CString("CDynamicContainer<") + strE + ">";
  case DTT_ARRAY: {
    CString str = strE;
    for (long i = 0; i < ctDimensions; i++) str += strFormat("[%1]", actDimensions[i]);
    return str;
  }
  default:
    return strE;
  }
}

CDataType *mdObtainCompoundType(DataTypeType dtt, CTypeID tidElement, long ctDimensions,
                                const long *actDimensions, long slSize)
{
  const CString strName =
      mdCompoundTypeName(dtt, tidElement.GetName(), ctDimensions, actDimensions);
  CSyncLock sl(mdGetMetaMutex());
  CDataType *pdt = mdFindByName(strName);
  if (pdt != nullptr) return pdt;
  switch (dtt) {
  case DTT_POINTER:
    pdt = new CDataType_Pointer(strName, 1, tidElement, 0);
    break;
  case DTT_REFERENCE:
    pdt = new CDataType_Reference(strName, 1, tidElement, 0);
    break;
  case DTT_SMARTPOINTER:
    pdt = new CDataType_SmartPointer(strName, 1, tidElement, 0);
    break;
  case DTT_HANDLE:
    pdt = new CDataType_Handle(strName, 1, tidElement, 0);
    break;
  case DTT_STATICARRAY:
    pdt = new CDataType_CStaticArray(strName, 1, tidElement, 0);
    break;
  case DTT_STATICSTACKARRAY:
    pdt = new CDataType_CStaticStackArray(strName, 1, tidElement, 0);
    break;
  case DTT_DYNAMICCONTAINER:
    pdt = new CDataType_CDynamicContainer(strName, 1, tidElement, 0);
    break;
  case DTT_ARRAY:
    pdt = new CDataType_Array(strName, 1, tidElement, ctDimensions, actDimensions, 0, slSize);
    break;
  default:
    corLogGuardBreach();
    return nullptr;
  }
  // Made by Core and kept for the process, so a module that unloads leaves no descriptor code
  // behind; references into the module forget their pointers when its types unregister.
  mdRegister(pdt);
  return pdt;
}

CDataType *mdDeclareTypedef(const char *strName, const char *strAliased)
{
  CDataType *pdt = new CDataType_Typedef(strName, 1, CTypeID(strAliased), 0);
  mdRegister(pdt);
  return pdt;
}

void mdDeleteDeclaredType(CDataType *pdt)
{
  if (pdt == nullptr) return;
  mdUnregister(pdt);
  delete pdt;
}

// ---- Classes ----

struct CMetaClassDecl::Data {
  CString d_strName;
  long d_iFormat;
  long d_slSize;
  CTypeID d_tidBase;
  unsigned long d_ulFlags;
  unsigned long d_ulClassFlags;
  CDataTypeFunctions d_dtf;
  CStaticStackArray<CDataType_StructMember> d_sasm;
  CStaticStackArray<CDataType_Hint> d_sadth;
  CStaticStackArray<CTypeID> d_satidOther;
  CString d_strEditorName;
  CString d_strAlias;
};

CMetaClassDecl::CMetaClassDecl(const char *strName, long iFormat, long slSize, CTypeID tidBase,
                               unsigned long ulFlags, unsigned long ulClassFlags,
                               const CDataTypeFunctions &dtf)
    : mcd_pData(new Data)
{
  mcd_pData->d_strName = strName;
  mcd_pData->d_iFormat = iFormat;
  mcd_pData->d_slSize = slSize;
  mcd_pData->d_tidBase = tidBase;
  mcd_pData->d_ulFlags = ulFlags;
  mcd_pData->d_ulClassFlags = ulClassFlags;
  mcd_pData->d_dtf = dtf;
}

CMetaClassDecl::~CMetaClassDecl(void)
{
  delete mcd_pData;
}

void CMetaClassDecl::AddMember(CTypeID tid, const char *strCodeName, long slOffset,
                               unsigned long ulFlags, const char *strEditorName,
                               const char *strAlias, const char *strGroup)
{
  mcd_pData->d_sasm.Push(CDataType_StructMember(tid, strCodeName, strEditorName, strAlias, strGroup,
                                                slOffset, ulFlags, 0, 0, nullptr, 0));
}

void CMetaClassDecl::MemberHint(const char *strName, const char *strValue)
{
  if (mcd_pData->d_sasm.Count() == 0) {
    corLogGuardBreach();
    return;
  }
  CDataType_StructMember &sm = mcd_pData->d_sasm[mcd_pData->d_sasm.Count() - 1];
  CDataType_Hint *adth = new CDataType_Hint[sm.sm_ctHints + 1];
  for (long i = 0; i < sm.sm_ctHints; i++) adth[i] = sm.sm_adthHints[i];
  adth[sm.sm_ctHints] = CDataType_Hint(strName, strValue);
  delete[] sm.sm_adthHints;
  sm.sm_adthHints = adth;
  sm.sm_ctHints++;
}

void CMetaClassDecl::Hint(const char *strName, const char *strValue)
{
  mcd_pData->d_sadth.Push(CDataType_Hint(strName, strValue));
}

void CMetaClassDecl::EditorName(const char *strName)
{
  mcd_pData->d_strEditorName = strName;
}

void CMetaClassDecl::Alias(const char *strAlias)
{
  mcd_pData->d_strAlias = strAlias;
}

void CMetaClassDecl::Flags(unsigned long ulFlags)
{
  mcd_pData->d_ulFlags |= ulFlags;
}

void CMetaClassDecl::Operation(unsigned long ulSelector, MetaFunction pfn)
{
  const int iSlot = CDataTypeFunctions::SlotOfSelector(ulSelector);
  if (iSlot < 0) {
    corLogGuardBreach();
    return;
  }
  mcd_pData->d_dtf.Set(iSlot, pfn);
}

void CMetaClassDecl::OtherType(const char *strType)
{
  mcd_pData->d_satidOther.Push(CTypeID(strType));
}

CDataType *CMetaClassDecl::Register(void)
{
  Data &d = *mcd_pData;
  CDataType *pdt = new CDataType_Struct(
      d.d_strName, d.d_iFormat, &d.d_dtf, d.d_tidBase, d.d_sasm.Count(), d.d_sasm.begin(),
      d.d_satidOther.Count(), d.d_satidOther.begin(), d.d_ulFlags, d.d_ulClassFlags, d.d_slSize,
      d.d_strEditorName, d.d_strAlias, d.d_sadth.Count(), d.d_sadth.begin(), nullptr);
  mdRegister(pdt);
  return pdt;
}

// ---- Enumerations ----

struct CMetaEnumDecl::Data {
  CString d_strName;
  long d_iFormat;
  long d_slSize;
  CStaticStackArray<CDataType_ValueFieldEntry> d_savfe;
};

CMetaEnumDecl::CMetaEnumDecl(const char *strName, long iFormat, long slSize) : med_pData(new Data)
{
  med_pData->d_strName = strName;
  med_pData->d_iFormat = iFormat;
  med_pData->d_slSize = slSize;
}

CMetaEnumDecl::~CMetaEnumDecl(void)
{
  delete med_pData;
}

void CMetaEnumDecl::Value(long slValue, const char *strCodeName, const char *strName)
{
  med_pData->d_savfe.Push(CDataType_ValueFieldEntry(slValue, strCodeName, strName));
}

CDataType *CMetaEnumDecl::Register(void)
{
  Data &d = *med_pData;
  CDataType *pdt = new CDataType_ValueField(d.d_strName, d.d_iFormat, nullptr, VFT_ENUM, d.d_slSize,
                                            d.d_savfe.Count(), d.d_savfe.begin(), 0);
  mdRegister(pdt);
  return pdt;
}

// ---- Format discipline ----

CString mdGetFormatRecord(CDataType *pdt)
{
  if (pdt == nullptr) return CString();
  return strFormat("%1 %2 %3", (const char *)pdt->GetName(), pdt->dt_iFormat,
                   fmtSpec(mdGetLayoutChecksum(pdt), "08X"));
}

long mdCheckFormatDiscipline(const char *strList)
{
  if (strList == nullptr) return 0;
  long ctFaults = 0;
  const char *pch = strList;
  while (*pch != 0) {
    const char *pchEnd = strchr(pch, '\n');
    if (pchEnd == nullptr) pchEnd = pch + strlen(pch);
    CString strLine(pch, (int)(pchEnd - pch));
    pch = *pchEnd == 0 ? pchEnd : pchEnd + 1;
    char achName[256];
    long iFormat = 0;
    unsigned long ulChecksum = 0;
    if (strLine.Length() == 0 || ((const char *)strLine)[0] == '#') continue;
    if (sscanf(strLine, "%255s %ld %lx", achName, &iFormat, &ulChecksum) != 3) continue;
    CDataType *pdt = mdFindByName(achName);
    if (pdt == nullptr || pdt->dt_iFormat != iFormat) continue;
    const unsigned long ulNow = mdGetLayoutChecksum(pdt);
    if (ulNow != ulChecksum) {
      conError(strTranslate("DOZUMeta.FormatDiscipline=The layout of type %1 changed without a new "
                            "format number (format %2, checksum %3 recorded, %4 now)\n"),
               (const char *)pdt->GetName(), iFormat, fmtSpec(ulChecksum, "08X"),
               fmtSpec(ulNow, "08X"));
      ctFaults++;
    }
  }
  return ctFaults;
}

} // namespace QuennelEngine
