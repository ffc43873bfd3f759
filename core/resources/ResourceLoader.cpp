#include "core/resources/ResourceLoader.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaFiles.h"
#include "core/platform/Timer.h"
#include "core/resources/LoadingPool.h"
#include "core/resources/PostLoadTasks.h"
#include "core/resources/ResourceObtain.h"
#include "core/streams/FileSystem.h"
#include "core/text/Editing.h"
#include "core/threads/SyncLock.h"
#include "core/threads/TaskPool.h"

#include <string.h>

namespace QuennelEngine {

MD_CLASS_BEGIN(CLoadState, CSmartObject, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CLoadCompleteMarker, CBaseTask, 1)
MD_CLASS_END()

void CLoadCompleteMarker::OnExecute(CTaskPool *)
{
  CLoadState *pls = lcm_plsState;
  if (pls == nullptr) return;
  CSyncLock sl(&pls->ls_sm);
  pls->ls_iCurrentProgress = 0;
  pls->ls_iDoneWeight += lcm_iWeight;
}

static bool IsBlank(char ch)
{
  return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

// The text between `pchBegin` and `pchEnd` without blanks at either end.
static CString Trimmed(const char *pchBegin, const char *pchEnd)
{
  while (pchBegin < pchEnd && IsBlank(*pchBegin)) pchBegin++;
  while (pchEnd > pchBegin && IsBlank(pchEnd[-1])) pchEnd--;
  return strGetHead(pchBegin, (int)(pchEnd - pchBegin));
}

// An optional sign followed by digits only (a value beyond the range is clamped).
static bool ScanWholeInteger(const CString &str, long &iValue)
{
  const char *pch = str;
  const bool bNegative = *pch == '-';
  if (*pch == '+' || *pch == '-') pch++;
  if (*pch == 0) return false;
  long long llValue = 0;
  for (; *pch != 0; pch++) {
    if (*pch < '0' || *pch > '9') return false;
    if (llValue < 0x7FFFFFFF) llValue = llValue * 10 + (*pch - '0');
  }
  if (llValue > 0x7FFFFFFF) llValue = 0x7FFFFFFF;
  iValue = (long)(bNegative ? -llValue : llValue);
  return true;
}

void mlParsePreloadLine(const char *strLine, long &iWeight, CString &strPath)
{
  iWeight = 0;
  if (strLine == nullptr) strLine = "";
  const char *pchEnd = strLine + strlen(strLine);
  strPath = Trimmed(strLine, pchEnd);
  const char *pchColon = strchr(strLine, ':');
  if (pchColon == nullptr) return;
  long iValue = 0;
  if (!ScanWholeInteger(Trimmed(strLine, pchColon), iValue)) return;
  iWeight = iValue > 0 ? iValue : 0;
  strPath = Trimmed(pchColon + 1, pchEnd);
}

CResourceLoader::CResourceLoader(void)
    : rl_ulFlags(0), rl_pdtType(nullptr), rl_plsState(new CLoadState), rl_fProgress(0.0f)
{
}

void CResourceLoader::PrepareLoader(CDataType *pdt, const char *strFileName)
{
  if (IsLoading()) {
    corLogGuardBreach();
    return;
  }
  rl_strFileName = strFileName != nullptr ? strFileName : "";
  rl_pdtType = pdt;
  rl_tmStart = timUptimeNow();
  rl_ulFlags |= RLF_PREPARED;
}

void CResourceLoader::ReadPreloadList(void)
{
  const CString strList = rl_strFileName + ".preload";
  if (!filExists(strList)) return;
  CString strText;
  try {
    strText.LoadText_t(strList);
  } catch (CException &ex) {
    conWarning("%1\n", ex.GetDescription());
    return;
  }
  while (!strText.IsEmpty()) {
    long iWeight;
    CString strPath;
    mlParsePreloadLine(strExtractFirstLine(strText), iWeight, strPath);
    if (strPath.IsEmpty()) continue;
    {
      CSyncLock sl(&rl_plsState->ls_sm);
      rl_plsState->ls_iTotalWeight += iWeight;
    }
    resObtainResource(CResource::md_pdtDataType, ROM_LOADLAST, 0, 1, strPath, "");
    CLoadCompleteMarker *pmrk = new CLoadCompleteMarker;
    pmrk->lcm_iWeight = iWeight;
    pmrk->lcm_plsState = rl_plsState;
    mlPostLoadingTask(pmrk, 0);
  }
  rl_ulFlags |= RLF_PRELOADLIST;
}

void CResourceLoader::BeginLoading(void)
{
  if (!IsPrepared() || IsLoading()) {
    corLogGuardBreach();
    return;
  }
  ReadPreloadList();
  rl_prsResource = resObtainResource(rl_pdtType, ROM_LOADLAST, 0, 1, rl_strFileName, "");
  rl_ulFlags |= RLF_LOADING;
}

void CResourceLoader::BeginLoading(CDataType *pdt, const char *strFileName)
{
  PrepareLoader(pdt, strFileName);
  BeginLoading();
}

int CResourceLoader::IsFinished(void)
{
  if (!IsPrepared()) {
    corLogGuardBreach();
    return 1;
  }
  if (!IsLoading()) return 0;
  if (rl_ulFlags & (RLF_RESOLVED | RLF_RESOLVEDNULL)) return 1;
  CResource *prs = rl_prsResource;
  if (prs == nullptr) return 0;
  if (prs->so_ulFlags & CSmartObject::SOF_REPLACEONACCESS) return prs->IsReplacementReady();
  return 1;
}

int CResourceLoader::IsResolved(void)
{
  if (!IsLoading()) {
    corLogGuardBreach();
    return 0;
  }
  return (rl_ulFlags & (RLF_RESOLVED | RLF_RESOLVEDNULL)) != 0;
}

void CResourceLoader::Resolve(void)
{
  rl_prsResource = resAcquire(rl_prsResource);
  rl_ulFlags |= rl_prsResource != nullptr ? RLF_RESOLVED : RLF_RESOLVEDNULL;
}

void CResourceLoader::WaitUntilFinished(void)
{
  if (!IsLoading()) {
    corLogGuardBreach();
    return;
  }
  Resolve();
}

void CResourceLoader::ResolveResource(void)
{
  if (!IsLoading() || !IsFinished() || IsResolved()) {
    corLogGuardBreach();
    return;
  }
  Resolve();
}

Ptr<CResource> CResourceLoader::GetLoadedResource(void)
{
  if (!IsLoading()) {
    corLogGuardBreach();
    return Ptr<CResource>();
  }
  return resAcquire(rl_prsResource);
}

float CResourceLoader::GetLoadProgress(void)
{
  if (!IsLoading() && !IsPrepared()) {
    corLogGuardBreach();
    return 0.0f;
  }
  if (!IsLoading()) return 0.0f;
  float f;
  if (!(rl_ulFlags & RLF_PRELOADLIST)) {
    f = mdGetLoadingProgress();
  } else {
    CLoadState &ls = *rl_plsState;
    CSyncLock sl(&ls.ls_sm);
    const long iOffset = mdGetReadingStreamOffset();
    if (iOffset > ls.ls_iCurrentProgress) ls.ls_iCurrentProgress = iOffset;
    if (ls.ls_iTotalWeight == 0) return 0.0f;
    f = (float)((double)ls.ls_iDoneWeight + ls.ls_iCurrentProgress) / (float)ls.ls_iTotalWeight;
  }
  // The offset of a file may run past its weight, and a marker then sets it back to 0: the
  // figure is kept within 0 to 1 and never falls back.
  if (f > 1.0f) f = 1.0f;
  if (f > rl_fProgress) rl_fProgress = f;
  return rl_fProgress;
}

CString CResourceLoader::GetResourceFileName(void)
{
  if (!IsPrepared()) {
    corLogGuardBreach();
    return CString();
  }
  return rl_strFileName;
}

void CResourceLoader::UpdateLoader(void)
{
  if (!IsPrepared() && !IsLoading()) {
    corLogGuardBreach();
    return;
  }
  // Single tasks, so that one call cannot run far past its budget.
  const Time tmEnd = timUptimeNow() + timFromMillisecondsL(10);
  while (mlExecutePostLoadTasks()) {
    if (timUptimeNow() >= tmEnd) break;
  }
}

void CResourceLoader::ResetLoader(void)
{
  rl_ulFlags &= ~(RLF_LOADING | RLF_PREPARED | RLF_RESOLVED | RLF_RESOLVEDNULL);
  rl_strFileName = CString();
  rl_pdtType = nullptr;
  rl_prsResource = nullptr;
  rl_fProgress = 0.0f;
  CSyncLock sl(&rl_plsState->ls_sm);
  rl_plsState->ls_iTotalWeight = 0;
  rl_plsState->ls_iCurrentProgress = 0;
  rl_plsState->ls_iDoneWeight = 0;
}

} // namespace QuennelEngine
