#include "core/resources/BrowseInfo.h"

#include "core/frame/CodeGuard.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/TypeRegistry.h"
#include "core/resources/ResourceStock.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

static CStaticStackArray<CResourceBrowseInfo> *_rsc_psaBrowseInfos = nullptr;

CResourceBrowseInfo::CResourceBrowseInfo(const char *strClass, const char *strDescription,
                                         const char *strWildcard, const char *strBrowseClass,
                                         const char *strBrowseName)
    : rbi_strClass(strClass), rbi_strDescription(strDescription), rbi_strWildcard(strWildcard),
      rbi_strBrowseClass(strBrowseClass), rbi_strBrowseName(strBrowseName)
{
}

bool CResourceBrowseInfo::operator==(const CResourceBrowseInfo &rbi) const
{
  return rbi_strClass == rbi.rbi_strClass && rbi_strDescription == rbi.rbi_strDescription &&
         rbi_strWildcard == rbi.rbi_strWildcard && rbi_strBrowseClass == rbi.rbi_strBrowseClass &&
         rbi_strBrowseName == rbi.rbi_strBrowseName;
}

void rscStartBrowseInfoService(void)
{
  CSyncLock sl(resGetFileStockMutex());
  if (_rsc_psaBrowseInfos == nullptr)
    _rsc_psaBrowseInfos = new CStaticStackArray<CResourceBrowseInfo>;
}

void rscStopBrowseInfoService(void)
{
  CSyncLock sl(resGetFileStockMutex());
  delete _rsc_psaBrowseInfos;
  _rsc_psaBrowseInfos = nullptr;
}

void rscRegisterBrowseInfo(const char *strClass, const char *strDescription,
                           const char *strWildcard, const char *strBrowseClass,
                           const char *strBrowseName)
{
  CSyncLock sl(resGetFileStockMutex());
  if (_rsc_psaBrowseInfos == nullptr) {
    corLogGuardBreach();
    return;
  }
  _rsc_psaBrowseInfos->Push(
      CResourceBrowseInfo(strClass, strDescription, strWildcard, strBrowseClass, strBrowseName));
}

void rscUnregisterBrowseInfo(const char *strClass, const char *strDescription,
                             const char *strWildcard, const char *strBrowseClass,
                             const char *strBrowseName)
{
  CSyncLock sl(resGetFileStockMutex());
  if (_rsc_psaBrowseInfos == nullptr) {
    corLogGuardBreach();
    return;
  }
  const CResourceBrowseInfo rbi(strClass, strDescription, strWildcard, strBrowseClass,
                                strBrowseName);
  CStaticStackArray<CResourceBrowseInfo> &sa = *_rsc_psaBrowseInfos;
  for (long i = 0; i < sa.Count(); i++) {
    if (sa[i] == rbi) {
      sa.Delete(i);
      return;
    }
  }
}

int rscGetBrowseInfo(const char *strClass, CResourceBrowseInfo &rbi, int bSearchBases)
{
  CSyncLock sl(resGetFileStockMutex());
  if (_rsc_psaBrowseInfos == nullptr) {
    corLogGuardBreach();
    return 0;
  }
  rbi.rbi_strClass = strClass;
  rbi.rbi_strDescription = "All resources";
  rbi.rbi_strWildcard = "*.*";
  rbi.rbi_strBrowseClass = "*";
  const CStaticStackArray<CResourceBrowseInfo> &sa = *_rsc_psaBrowseInfos;
  for (const CResourceBrowseInfo &rbiEntry : sa) {
    if (rbiEntry.rbi_strClass == rbi.rbi_strClass) {
      rbi = rbiEntry;
      return 1;
    }
  }
  CDataType *pdtClass = bSearchBases ? mdFindByName(strClass) : nullptr;
  if (pdtClass == nullptr) return 0;
  for (long i = sa.Count() - 1; i >= 0; i--) {
    CDataType *pdtEntry = mdFindByName(sa[i].rbi_strClass);
    if (pdtEntry != nullptr && mdIsDerivedFrom(pdtClass, pdtEntry)) {
      rbi = sa[i];
      return 1;
    }
  }
  return 0;
}

void rscGetDerivedBrowseInfos(const char *strClass, CStaticStackArray<CResourceBrowseInfo> &saInfos)
{
  CSyncLock sl(resGetFileStockMutex());
  if (_rsc_psaBrowseInfos == nullptr) {
    corLogGuardBreach();
    return;
  }
  CDataType *pdtClass = mdFindByName(strClass);
  if (pdtClass == nullptr) return;
  for (const CResourceBrowseInfo &rbi : *_rsc_psaBrowseInfos) {
    CDataType *pdtEntry = mdFindByName(rbi.rbi_strClass);
    if (pdtEntry != nullptr && pdtEntry != pdtClass && mdIsDerivedFrom(pdtEntry, pdtClass)) {
      saInfos.Push(rbi);
    }
  }
}

void rscGetAllBrowseInfos(CStaticStackArray<CResourceBrowseInfo> &saInfos)
{
  CSyncLock sl(resGetFileStockMutex());
  if (_rsc_psaBrowseInfos == nullptr) {
    corLogGuardBreach();
    return;
  }
  for (const CResourceBrowseInfo &rbi : *_rsc_psaBrowseInfos) saInfos.Push(rbi);
}

} // namespace QuennelEngine
