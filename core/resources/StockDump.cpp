#include "core/resources/StockDump.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/meta/DataType.h"
#include "core/meta/MetaSettings.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceStock.h"
#include "core/streams/FileSystem.h"
#include "core/streams/Stream.h"
#include "core/text/Compare.h"
#include "core/text/FileNames.h"
#include "core/text/Translation.h"
#include "core/threads/ExclusiveMainThread.h"
#include "core/threads/SyncLock.h"

#include <algorithm>
#include <string.h>

namespace QuennelEngine {

static const long STOCKDUMP_OUTPUT = COT_LOG5;

static const char *TypeNameOf(CResource *prs)
{
  CDataType *pdt = prs->mdGetDataType();
  return pdt != nullptr ? (const char *)pdt->GetName() : "";
}

// ---- Text ----

void resDumpStock(void)
{
  CExclusiveMainThread emt;
  CSyncLock sl(resGetFileStockMutex());
  const int bTags = conIsTagsEnabled(STOCKDUMP_OUTPUT);
  conOpenLog(STOCKDUMP_OUTPUT, "Temp/StockDump.txt", "w");
  conDisableTags(STOCKDUMP_OUTPUT);
  conLog(strTranslate("DOZUResource.DumpTitle=Stock dump:\n"));
  for (CResourceFile *prf : resListResourceFiles()) {
    conLog(strTranslate("DOZUResource.DumpFile=%1%2: (%3 shared)\n"), prf->GetFileName(),
           prf->IsChanged() ? " [modified]" : "", prf->rf_saShared.Count());
    for (CResource *prs : prf->rf_saShared) {
      conLog(strTranslate("DOZUResource.DumpResource= %1(%2 references): %3 %4 %5\n"),
             fmtSpec(prs->rs_iID, "2"), fmtSpec(prs->GetReferenceCount(), "3"), TypeNameOf(prs),
             (const char *)prs->GetName(), prs->IsChanged() ? "*" : "");
    }
  }
  conCloseLog(STOCKDUMP_OUTPUT);
  if (bTags) conEnableTags(STOCKDUMP_OUTPUT);
}

// ---- CSV ----

namespace {
struct DumpRow {
  CString dr_strType;
  long dr_iSort;
  CString dr_strFile; // the CSV file, in the dump folder
  CString dr_strHeader;
  CString dr_strLine;
};
} // namespace

static CString DumpFolder(const CDynamicContainer<CResourceFile> &dcStock)
{
  CResourceFile *prfWorld = nullptr;
  long ctWorlds = 0;
  for (CResourceFile *prf : dcStock) {
    if (strCompare(strFileExt(prf->GetFileName()), ".wld") != 0) continue;
    prfWorld = prf;
    ctWorlds++;
  }
  if (ctWorlds == 1) return strFormat("Temp/StockDumps/%1/", strFileName(prfWorld->GetFileName()));
  return "Temp/StockDumps/Common/";
}

static DumpRow MakeRow(CResourceFile *prf, CResource *prs)
{
  const CStockDumpInfo sdi = prs->GetSimpleInfoCSV();
  DumpRow dr;
  dr.dr_strType = TypeNameOf(prs);
  dr.dr_iSort = 0;
  strScan(sdi.sdi_strValues, "%1,", &dr.dr_iSort);
  dr.dr_strFile = sdi.sdi_strFile;
  dr.dr_strHeader = strFormat("%1, %2, ", fmtSpec((const char *)"TypeName", "25"),
                              fmtSpec((const char *)"FileName", "25")) +
                    sdi.sdi_strHeader + ",   Refs, Complete file path";
  dr.dr_strLine = strFormat("%1, ", fmtSpec(strNoFileDir(prf->GetFileName()), "25")) +
                  sdi.sdi_strValues + ", " +
                  strFormat("%1,", fmtSpec(prs->GetReferenceCount(), "6")) +
                  strFormat(" %1,", prf->GetFileName()) + (const char *)prs->GetName();
  return dr;
}

static void WriteText(CStream &strm, const CString &str)
{
  strm.Write_t((const char *)str, (long)strlen(str));
}

static void WriteRows_t(const CString &strFolder, const CStaticStackArray<DumpRow> &saRows)
{
  filCreateDirectoryPath(strFolder);
  CStream strm;
  const DumpRow *pdrPrevious = nullptr;
  for (const DumpRow &dr : saRows) {
    if (pdrPrevious == nullptr || !(pdrPrevious->dr_strFile == dr.dr_strFile)) {
      const CString strCSV = strFolder + dr.dr_strFile;
      strm.Close();
      if (!filExistsOnDisk(strCSV)) {
        strm.OpenFile_t(strCSV, "w");
        if (md_bInEditor) WriteText(strm, "WARNING! Dumped from editor!\n");
        WriteText(strm, dr.dr_strHeader + "\n");
      } else {
        strm.OpenFile_t(strCSV, "a");
      }
    }
    WriteText(strm, strFormat("%1, %2\n", fmtSpec(dr.dr_strType, "25"), dr.dr_strLine));
    pdrPrevious = &dr;
  }
}

void resDumpStockCSV(void)
{
  CExclusiveMainThread emt;
  CSyncLock sl(resGetFileStockMutex());
  const CDynamicContainer<CResourceFile> dcStock = resListResourceFiles();
  const CString strFolder = DumpFolder(dcStock);
  conInfo(strTranslate("DOZUResource.DumpingStock=Dumping stock to: %1\n"),
          filSoftToHardPath(strFolder));
  try {
    if (filIsDirectory(strFolder)) filDeleteDirectory_t(strFolder);
    CStaticStackArray<DumpRow> saRows;
    for (CResourceFile *prf : dcStock) {
      for (CResource *prs : prf->rf_saShared) saRows.Push(MakeRow(prf, prs));
    }
    std::stable_sort(saRows.begin(), saRows.end(), [](const DumpRow &drA, const DumpRow &drB) {
      const int iType = strcmp(drA.dr_strType, drB.dr_strType);
      if (iType != 0) return iType < 0;
      return drA.dr_iSort > drB.dr_iSort;
    });
    WriteRows_t(strFolder, saRows);
  } catch (CException &ex) {
    conError("%1\n", ex.GetDescription());
  }
}

void resDumpRefHolderStack(void)
{
  conInfo(strTranslate("DOZUResource.NoRefTracker=Reference count tracker isn't enabled.\n"));
}

} // namespace QuennelEngine
