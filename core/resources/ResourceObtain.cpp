#include "core/resources/ResourceObtain.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataType.h"
#include "core/meta/MetaSettings.h"
#include "core/resources/DefaultResources.h"
#include "core/resources/LoadTasks.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceFunctions.h"
#include "core/resources/ResourceStock.h"
#include "core/resources/SubResourcePath.h"
#include "core/streams/ReplaceHistory.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

namespace QuennelEngine {

static ResLoadScheduler _res_pScheduler = mlScheduleRequest;

void resSetLoadScheduler(ResLoadScheduler pScheduler)
{
  _res_pScheduler = pScheduler != nullptr ? pScheduler : mlScheduleRequest;
}

// ---- Loading at once ----

static Ptr<CResource> FindRequested(const ResLoadRequest &lr, CResourceFile *prf)
{
  if (lr.lr_bByID) return resFindResourceByID(lr.lr_pdt, prf, lr.lr_iID);
  return resFindResourceByName(lr.lr_pdt, prf, lr.lr_strName);
}

// The file of the request, or with create-replacement an empty replacement for it; null (and the
// error text) when it failed.
static CResourceFile *ObtainRequestedFile(const ResLoadRequest &lr, CString &strError)
{
  try {
    return resObtainFileInternal_t(lr.lr_strPath);
  } catch (CException &ex) {
    if (!lr.lr_bCreateReplacement) {
      strError = ex.GetDescription();
      if (lr.lr_bReportErrors) conError("%1\n", strError);
      return nullptr;
    }
    CSyncLock sl(resGetFileStockMutex());
    if (lr.lr_bReportErrors) {
      conError(strTranslate("DOZUResource.CreatingReplacement=%1. Creating replacement file.\n"),
               ex.GetDescription());
    }
    CResourceFile *prf = new CResourceFile;
    prf->rf_ulFlags |= CResourceFile::RFF_REPLACEMENT;
    prf->SetFileName(filFileReplaceHistory(lr.lr_strPath));
    return prf;
  }
}

Ptr<CResource> resLoadResourceNow(const ResLoadRequest &lr, CString &strError)
{
  strError = CString();
  CResourceFile *prf = ObtainRequestedFile(lr, strError);
  if (prf == nullptr) return Ptr<CResource>();
  Ptr<CResource> prs = FindRequested(lr, prf);
  if (prs != nullptr) {
    if (md_bPrecaching) prs->PrecacheData();
    return prs;
  }
  const CString strType = lr.lr_pdt != nullptr ? CString(lr.lr_pdt->GetName()) : CString();
  if (lr.lr_bByID) {
    strError = strFormat(strTranslate("DOZUResource.NoResourceID=Can't find resource with ID "
                                      "'%1' of data type '%2' in file '%3'."),
                         lr.lr_iID, strType, lr.lr_strPath);
  } else {
    strError = strFormat(strTranslate("DOZUResource.NoResourceName=Can't find resource with name "
                                      "'%1' of data type '%2' in file '%3'."),
                         lr.lr_strName, strType, lr.lr_strPath);
  }
  if (lr.lr_bReportErrors) conError("%1\n", strError);
  if (!lr.lr_bCreateReplacement) return Ptr<CResource>();

  Ptr<CResource> prsSubstitute =
      rscCreateDefaultResource(lr.lr_pdt != nullptr ? lr.lr_pdt->GetName() : nullptr);
  if (prsSubstitute == nullptr) {
    conFatalErrorF(strTranslate("DOZUResource.CannotCreate=Can't create object of type '%1'.\n"),
                   ARG_TEXT, (const char *)strType);
  }
  CSyncLock sl(resGetFileStockMutex());
  prf->rf_ulFlags |= CResourceFile::RFF_NOTLOADED;
  prf->RegisterResource(prsSubstitute, -1);
  if (!lr.lr_bByID) prsSubstitute->SetName(lr.lr_strName);
  return prsSubstitute;
}

// ---- Obtaining ----

// The acquired resource if its file is in the stock and has it; else null.
static Ptr<CResource> FindInStock(const ResLoadRequest &lr)
{
  CSyncLock sl(resGetFileStockMutex());
  CString strResolved;
  CResourceFile *prf = resFindFileInStock(lr.lr_strPath, strResolved);
  if (prf == nullptr) return Ptr<CResource>();
  return FindRequested(lr, prf);
}

static Ptr<CResource> Obtain(const ResLoadRequest &lr, CString &strError)
{
  Ptr<CResource> prs = FindInStock(lr);
  if (prs != nullptr) return prs;
  return _res_pScheduler(lr, strError);
}

static ResLoadRequest MakeRequest(CDataType *pdt, ResObtainMethod rom, int bCreateReplacement,
                                  int bReportErrors, const CString &strPath)
{
  ResLoadRequest lr;
  lr.lr_pdt = pdt;
  lr.lr_rom = rom;
  lr.lr_bCreateReplacement = bCreateReplacement;
  lr.lr_bReportErrors = bReportErrors;
  lr.lr_strPath = strPath;
  lr.lr_iID = -1;
  lr.lr_bByID = 0;
  return lr;
}

Ptr<CResource> resObtainResource(CDataType *pdt, ResObtainMethod rom, int bCreateReplacement,
                                 int bReportErrors, const CString &strPath, const char *strName)
{
  ResLoadRequest lr = MakeRequest(pdt, rom, bCreateReplacement, bReportErrors, strPath);
  lr.lr_strName = strName != nullptr ? strName : "";
  CString strError;
  return Obtain(lr, strError);
}

Ptr<CResource> resObtainResourceByID(CDataType *pdt, ResObtainMethod rom, int bCreateReplacement,
                                     int bReportErrors, const CString &strPath, long iID)
{
  ResLoadRequest lr = MakeRequest(pdt, rom, bCreateReplacement, bReportErrors, strPath);
  lr.lr_iID = iID;
  lr.lr_bByID = 1;
  CString strError;
  return Obtain(lr, strError);
}

Ptr<CResource> resObtainResource_t(CDataType *pdt, const CString &strPath, const char *strName)
{
  ResLoadRequest lr = MakeRequest(pdt, ROM_LOADTHROW, 0, 0, strPath);
  lr.lr_strName = strName != nullptr ? strName : "";
  CString strError;
  Ptr<CResource> prs = Obtain(lr, strError);
  if (!strError.IsEmpty()) throw CSimpleException(strError);
  if (prs == nullptr) {
    ThrowFormat_t(strTranslate("DOZUResource.LoadError=Error in loading"));
  }
  return prs;
}

CResourceFile *resObtainFile_t(const CString &strPath)
{
  Ptr<CResource> prs = resObtainResource_t(CResource::md_pdtDataType, strPath, "");
  CResourceFile *prf = prs->GetResourceFile();
  if (prf == nullptr) ThrowFormat_t(strTranslate("DOZUResource.LoadError=Error in loading"));
  return prf;
}

// ---- Questions about one resource ----

static Ptr<CResource> ObtainByPath(const CString &strPath)
{
  CString strFile, strName;
  resDecodeSubResourcePath(strPath, strFile, strName);
  return resObtainResource(CResource::md_pdtDataType, ROM_LOADFIRST, 0, 0, strFile, strName);
}

long resGetResourceReferenceCount(CString strPath)
{
  Ptr<CResource> prs = ObtainByPath(strPath);
  return prs != nullptr ? prs->GetReferenceCount() - 1 : -1;
}

CString resGetResourceSimpleInfo(CString strPath)
{
  Ptr<CResource> prs = ObtainByPath(strPath);
  return prs != nullptr ? prs->GetSimpleInfo() : CString();
}

} // namespace QuennelEngine
