// Freeing the stock.
//
// A file is held from outside when the references to its shared and exposed resources outnumber
// those that come from inside it: a walk of the file (mdCountFileReferences_t) counts the smart
// pointers its own objects hold. A pass walks the stock from its last file to its first and frees
// every file that is not held that way; freeing a file releases what it referenced, so a file
// that only a later file held goes in the same pass, and one that only an earlier file held goes
// in the next. Passes repeat while one frees something.
//
// Counting per file never frees a group of files that hold only each other (A holds B's resource
// and B holds A's): each sees a reference from outside itself. So a pass that frees nothing by
// itself decides for the stock as a whole, from the walks it has just made: a file whose counts
// exceed the references from every stock file is held from outside the stock; every file such a
// file references, directly or through others, is held too; the rest are freed together.
#include "core/resources/StockFree.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/StaticStackArray.h"
#include "core/platform/Timer.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourceProxy.h"
#include "core/resources/ResourceStock.h"
#include "core/resources/ResourcesPrivate.h"
#include "core/text/Translation.h"
#include "core/threads/ExclusiveMainThread.h"
#include "core/threads/SyncLock.h"

#include <algorithm>

namespace QuennelEngine {

namespace {

// What the freeing functions report.
struct FreeStats {
  long fs_ctReleased = 0;
  long fs_ctPasses = 0;
  Time fs_tmFreeing;
};

// One walked file of a pass.
struct FileWalk {
  CResourceFile *fw_prf;
  long fw_ctTotal;  // references to its shared and exposed resources
  long fw_ctInside; // ... from its own objects
  bool fw_bHeld;    // held whatever the counts say
  CStaticStackArray<ResourceReferences> fw_saOthers; // what it holds of other files
  CStaticStackArray<void *> fw_saEntered;            // the objects its walk entered
};

} // namespace

// The file whose shared or exposed resource it is, or null.
static CResourceFile *OwnerOf(const CResource *prs)
{
  if (prs->IsShared()) return prs->rs_pFile;
  if (prs->IsExposed()) return prs->rs_pStorageFile;
  return nullptr;
}

static long CountReferences(CResourceFile *prf)
{
  long ct = 0;
  for (CResource *prs : prf->rf_saShared) ct += prs->GetReferenceCount();
  for (CResource *prs : prf->rf_saExposed) ct += prs->GetReferenceCount();
  return ct;
}

static bool AnyReferenced(CResourceFile *prf)
{
  for (CResource *prs : prf->rf_saShared) {
    if (prs->GetReferenceCount() > 0) return true;
  }
  for (CResource *prs : prf->rf_saExposed) {
    if (prs->GetReferenceCount() > 0) return true;
  }
  return false;
}

static void DeleteFile(CResourceFile *prf, FreeStats &fs)
{
  const Time tmStart = timUptimeNow();
  delete prf;
  fs.fs_tmFreeing += timUptimeNow() - tmStart;
  fs.fs_ctReleased++;
}

// Walks the file: how many references come from inside it, and what it holds of other files. A
// file that cannot be walked is reported and held.
static void WalkFile(CResourceFile *prf, FileWalk &fw)
{
  fw.fw_prf = prf;
  fw.fw_ctInside = 0;
  fw.fw_bHeld = false;
  fw.fw_saOthers.PopAll();
  CStaticStackArray<ResourceReferences> saReferences;
  try {
    mdCountFileReferences_t(prf, saReferences, &fw.fw_saEntered);
  } catch (CException &ex) {
    conError(strTranslate("DOZUResource.FreeWalkFailed=Keeping '%1': %2\n"), prf->GetFileName(),
             ex.GetDescription());
    fw.fw_bHeld = true;
    return;
  }
  for (const ResourceReferences &rr : saReferences) {
    CResourceFile *prfOwner = OwnerOf(rr.rr_prs);
    if (prfOwner == prf) {
      fw.fw_ctInside += rr.rr_ctReferences;
    } else if (prfOwner != nullptr) {
      fw.fw_saOthers.Push(rr);
    }
  }
}

namespace {
struct Entered {
  void *en_pv;
  long en_iWalk;
  bool operator<(const Entered &en) const
  {
    return en_pv != en.en_pv ? en_pv < en.en_pv : en_iWalk < en.en_iWalk;
  }
};
} // namespace

// An object that two files reach (a resource of no file, or a part that another file points to)
// is entered by both walks, and the references it holds count twice as coming from the stock.
// Such files are held, so the decision errs on the side of keeping.
static void HoldFilesThatShareObjects(CStaticStackArray<FileWalk> &saWalks)
{
  CStaticStackArray<Entered> saEntered;
  for (long i = 0; i < saWalks.Count(); i++) {
    for (void *pv : saWalks[i].fw_saEntered) saEntered.Push(Entered{pv, i});
  }
  std::sort(saEntered.begin(), saEntered.end());
  for (long i = 1; i < saEntered.Count(); i++) {
    const Entered &enPrevious = saEntered[i - 1];
    const Entered &en = saEntered[i];
    if (en.en_pv != enPrevious.en_pv || en.en_iWalk == enPrevious.en_iWalk) continue;
    saWalks[enPrevious.en_iWalk].fw_bHeld = true;
    saWalks[en.en_iWalk].fw_bHeld = true;
  }
}

namespace {
struct FileIndex {
  CResourceFile *fi_prf;
  long fi_iWalk;
  bool operator<(const FileIndex &fi) const { return fi_prf < fi.fi_prf; }
};
} // namespace

static long FindWalk(const CStaticStackArray<FileIndex> &saIndex, CResourceFile *prf)
{
  const FileIndex fiKey{prf, -1};
  const FileIndex *pfi = std::lower_bound(saIndex.begin(), saIndex.end(), fiKey);
  return pfi != saIndex.end() && pfi->fi_prf == prf ? pfi->fi_iWalk : -1;
}

// The decision for the stock as a whole, from a pass that walked every stock file and freed
// none. Returns true if it freed something.
static bool FreeUnheldGroups(CStaticStackArray<FileWalk> &saWalks, FreeStats &fs)
{
  const long ctWalks = saWalks.Count();
  if (ctWalks == 0) return false;
  HoldFilesThatShareObjects(saWalks);
  CStaticStackArray<FileIndex> saIndex;
  saIndex.Reserve(ctWalks);
  for (long i = 0; i < ctWalks; i++) saIndex.Push(FileIndex{saWalks[i].fw_prf, i});
  std::sort(saIndex.begin(), saIndex.end());

  // References into each file from every stock file, and the files each file holds.
  // (Elements are pushed with Push() = value: for arrays of long, Push(value) would be taken
  // for a count.)
  CStaticStackArray<long> saFromStock, saEdgeStart, saEdges;
  for (long i = 0; i < ctWalks; i++) saFromStock.Push() = saWalks[i].fw_ctInside;
  for (long i = 0; i < ctWalks; i++) {
    saEdgeStart.Push() = saEdges.Count();
    for (const ResourceReferences &rr : saWalks[i].fw_saOthers) {
      const long iOwner = FindWalk(saIndex, OwnerOf(rr.rr_prs));
      if (iOwner < 0) continue;
      saFromStock[iOwner] += rr.rr_ctReferences;
      saEdges.Push() = iOwner;
    }
  }
  saEdgeStart.Push() = saEdges.Count();

  // Mark what is held from outside, then everything it holds.
  CStaticStackArray<char> sabHeld;
  CStaticStackArray<long> saToVisit;
  for (long i = 0; i < ctWalks; i++) {
    const FileWalk &fw = saWalks[i];
    sabHeld.Push() = fw.fw_bHeld || fw.fw_ctTotal > saFromStock[i];
    if (sabHeld[i]) saToVisit.Push() = i;
  }
  while (!saToVisit.IsEmpty()) {
    const long i = saToVisit.Top();
    saToVisit.Pop();
    for (long iEdge = saEdgeStart[i]; iEdge < saEdgeStart[i + 1]; iEdge++) {
      const long iHeld = saEdges[iEdge];
      if (sabHeld[iHeld]) continue;
      sabHeld[iHeld] = 1;
      saToVisit.Push() = iHeld;
    }
  }

  // The walks run from the stock's end: free in the same order.
  bool bFreed = false;
  for (long i = 0; i < ctWalks; i++) {
    if (sabHeld[i]) continue;
    DeleteFile(saWalks[i].fw_prf, fs);
    bFreed = true;
  }
  return bFreed;
}

// One pass from the last stock file to the first; true if it freed something.
static bool FreePass(FreeStats &fs)
{
  const CDynamicContainer<CResourceFile> &dcStock = ResourcesPrivate::StockFiles();
  // The walks are kept only while nothing is freed: they are the whole stock's then.
  CStaticStackArray<FileWalk> saWalks;
  saWalks.SetAllocationStep(256);
  bool bFreed = false;
  for (long i = dcStock.Count() - 1; i >= 0; i--) {
    // Freeing a file may leave the stock shorter by more than that file.
    if (i >= dcStock.Count()) i = dcStock.Count() - 1;
    if (i < 0) break;
    CResourceFile *prf = dcStock.Pointer(i);
    const long ctTotal = CountReferences(prf);
    if (ctTotal < 1) {
      DeleteFile(prf, fs);
      bFreed = true;
      continue;
    }
    FileWalk fwScratch;
    FileWalk &fw = bFreed ? fwScratch : saWalks.Push();
    WalkFile(prf, fw);
    fw.fw_ctTotal = ctTotal;
    if (!fw.fw_bHeld && ctTotal <= fw.fw_ctInside) {
      if (&fw != &fwScratch) saWalks.Pop();
      DeleteFile(prf, fs);
      bFreed = true;
    }
  }
  if (bFreed) return true;
  return FreeUnheldGroups(saWalks, fs);
}

void resFreeUnusedStock(void)
{
  resFreeUnusedProxies();
  CExclusiveMainThread emt;

  long ctReverted = 0;
  {
    CSyncLock sl(resGetFileStockMutex());
    const CDynamicContainer<CResourceFile> dcStock = ResourcesPrivate::StockFiles();
    for (CResourceFile *prf : dcStock) {
      if (prf->rf_ulFlags & CResourceFile::RFF_DELAYEDREFERENCES) {
        ctReverted += resRevertDelayedReferencesToProxies(prf);
      }
    }
  }
  conLog(strTranslate("DOZUResource.Reverted='%1' resources were reverted to resource proxy "
                      "objects.\n"),
         ctReverted);

  CSyncLock sl(resGetFileStockMutex());
  const Time tmStart = timUptimeNow();
  FreeStats fs;
  bool bFreed = true;
  while (bFreed) {
    bFreed = FreePass(fs);
    fs.fs_ctPasses++;
  }
  conLog(strTranslate("DOZUResource.FreedStock=resFreeUnusedStock() released %1 files in %2 "
                      "seconds (%3 freeing), after %4 passes\n"),
         fs.fs_ctReleased, fmtSpec(timToFloat(timUptimeNow() - tmStart), ".2f"),
         fmtSpec(timToFloat(fs.fs_tmFreeing), ".3f"), fs.fs_ctPasses);
}

void resFreeUnusedStockTrivial(void)
{
  resFreeUnusedProxies();
  CExclusiveMainThread emt;
  CSyncLock sl(resGetFileStockMutex());
  const Time tmStart = timUptimeNow();
  FreeStats fs;
  const CDynamicContainer<CResourceFile> &dcStock = ResourcesPrivate::StockFiles();
  for (long i = dcStock.Count() - 1; i >= 0; i--) {
    if (i >= dcStock.Count()) i = dcStock.Count() - 1;
    if (i < 0) break;
    CResourceFile *prf = dcStock.Pointer(i);
    if (!AnyReferenced(prf)) DeleteFile(prf, fs);
  }
  conLog(strTranslate("DOZUResource.FreedStockTrivial=resFreeUnusedStockTrivial() released %1 "
                      "files in %2 seconds.\n"),
         fs.fs_ctReleased, fmtSpec(timToFloat(timUptimeNow() - tmStart), ".2f"));
}

} // namespace QuennelEngine
