// The stock list and its name index. The index is one open-addressed table of entries that
// carry each name's own hash (StockHash), length and copy, probed linearly from the top bits of
// the hash times a Fibonacci constant, at most half full. A look-up thus reads one run of slots
// and one name. Files with equal names may coexist (a replacement made while the original is
// still there): a look-up finds the newest, and leaving removes the file's own entry.
#include "core/resources/ResourceStock.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/StaticStackArray.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaObjects.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceMeta.h"
#include "core/resources/ResourcesPrivate.h"
#include "core/streams/ReplaceHistory.h"
#include "core/text/Compare.h"
#include "core/text/StringAlloc.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <string.h>

namespace QuennelEngine {

namespace {

// One entry of the name index; a free slot has no file.
struct StockSlot {
  unsigned long ss_ulHash;
  int ss_ctLength; // of the file's name
  CResourceFile *ss_prf;
  char *ss_strName;         // the stock's own copy: a look-up need not reach into the file
  unsigned long ss_ulEntry; // the order of entering: of equal names, the newest is found first
};

struct Stock {
  CDynamicContainer<CResourceFile> st_dcFiles;
  StockSlot *st_ass = nullptr; // made on the first insertion
  unsigned long st_ulMask = 0;
  int st_iShift = 32; // 32 - log2 of the slot count
  long st_ctUsed = 0;
  unsigned long st_ulEntries = 0;
};

// Mixes a group of four characters into the hash. Bit 5 of each byte is dropped: it is what
// tells ASCII's cases apart, the only ones that name comparisons fold.
inline unsigned long MixGroup(unsigned long ulHash, unsigned long ulGroup)
{
  return (((ulHash << 5) | (ulHash >> 27)) ^ (ulGroup & 0xDFDFDFDFUL)) * 0x9E3779B1UL;
}

// The hash of a name by groups of four characters from its start, and its length. Words are
// read only at aligned addresses, which never reach past the page of the terminating zero.
unsigned long StockHash(const char *strName, int &ctLength)
{
  const unsigned char *pub = (const unsigned char *)strName;
  unsigned long ulHash = 0;
  unsigned long ulGroup = 0;
  int iShift = 0; // of the next character in the group
  for (;; pub++) {
    if (((unsigned long)pub & 3) == 0) {
      unsigned long ulWord;
      memcpy(&ulWord, pub, 4);
      if (((ulWord - 0x01010101UL) & ~ulWord & 0x80808080UL) == 0) {
        // Four characters, none the end: they finish this group and start the next.
        if (iShift == 0) {
          ulHash = MixGroup(ulHash, ulWord);
        } else {
          ulHash = MixGroup(ulHash, ulGroup | (ulWord << iShift));
          ulGroup = ulWord >> (32 - iShift);
        }
        pub += 3;
        continue;
      }
    }
    if (*pub == 0) break;
    ulGroup |= (unsigned long)*pub << iShift;
    iShift += 8;
    if (iShift == 32) {
      ulHash = MixGroup(ulHash, ulGroup);
      ulGroup = 0;
      iShift = 0;
    }
  }
  if (iShift != 0) ulHash = MixGroup(ulHash, ulGroup);
  ctLength = (int)(pub - (const unsigned char *)strName);
  return ulHash;
}

Stock &TheStock(void)
{
  static Stock *_pst = new Stock;
  return *_pst;
}

inline unsigned long HomeOf(const Stock &st, unsigned long ulHash)
{
  return (ulHash * 0x9E3779B1UL) >> st.st_iShift;
}

// Names of the stock compare as equal bytes almost always: four at a time while they are (both
// texts are `ct` characters long), folding only after a difference.
inline bool SameName(const char *strA, const char *strB, int ct)
{
  int i = 0;
  for (; i + 4 <= ct; i += 4) {
    unsigned long ulA, ulB;
    memcpy(&ulA, strA + i, 4);
    memcpy(&ulB, strB + i, 4);
    if (ulA != ulB) break;
  }
  for (int j = i; j < ct; j++) {
    if (strA[j] != strB[j]) return strCompare(strA + j, strB + j) == 0;
  }
  return true;
}

inline bool SameName(const StockSlot &ssA, const StockSlot &ssB)
{
  return ssA.ss_ulHash == ssB.ss_ulHash && ssA.ss_ctLength == ssB.ss_ctLength &&
         SameName(ssA.ss_strName, ssB.ss_strName, ssA.ss_ctLength);
}

// Places an entry by linear probing. An entry of the same name that entered earlier gives its
// slot to the newer one and is placed further on, so probes meet equal names newest first.
void Place(Stock &st, StockSlot ss)
{
  for (unsigned long ul = HomeOf(st, ss.ss_ulHash);; ul = (ul + 1) & st.st_ulMask) {
    StockSlot &ssAt = st.st_ass[ul];
    if (ssAt.ss_prf == nullptr) {
      ssAt = ss;
      return;
    }
    if (ssAt.ss_ulEntry < ss.ss_ulEntry && SameName(ssAt, ss)) {
      const StockSlot ssOlder = ssAt;
      ssAt = ss;
      ss = ssOlder;
    }
  }
}

// Doubles the table (or makes its first one) while it is half full or more.
void MakeRoom(Stock &st)
{
  const unsigned long ctSlots = st.st_ass == nullptr ? 0 : st.st_ulMask + 1;
  if ((unsigned long)(st.st_ctUsed + 1) * 2 <= ctSlots) return;
  const unsigned long ctNew = ctSlots == 0 ? 1024 : ctSlots * 2;
  StockSlot *assOld = st.st_ass;
  st.st_ass = new StockSlot[ctNew]();
  st.st_ulMask = ctNew - 1;
  st.st_iShift = 32;
  for (unsigned long ul = ctNew; ul > 1; ul >>= 1) st.st_iShift--;
  for (unsigned long ul = 0; ul < ctSlots; ul++) {
    if (assOld[ul].ss_prf != nullptr) Place(st, assOld[ul]);
  }
  delete[] assOld;
}

// Empties a slot and moves later entries of its probe run back into the gap, as linear probing
// needs; entries of one home keep their order.
void Remove(Stock &st, unsigned long ulGap)
{
  strFree(st.st_ass[ulGap].ss_strName);
  st.st_ass[ulGap] = StockSlot();
  st.st_ctUsed--;
  for (unsigned long ul = (ulGap + 1) & st.st_ulMask;; ul = (ul + 1) & st.st_ulMask) {
    StockSlot &ss = st.st_ass[ul];
    if (ss.ss_prf == nullptr) return;
    // The entry may move back unless its home lies after the gap, up to where it stands.
    const unsigned long ulHome = HomeOf(st, ss.ss_ulHash);
    const bool bHomeAfterGap =
        ulGap <= ul ? (ulGap < ulHome && ulHome <= ul) : (ulGap < ulHome || ulHome <= ul);
    if (bHomeAfterGap) continue;
    st.st_ass[ulGap] = ss;
    ss = StockSlot();
    ulGap = ul;
  }
}

} // namespace

CSyncMutex *resGetFileStockMutex(void)
{
  static CSyncMutex _sm;
  return &_sm;
}

namespace ResourcesPrivate {

void EnterStock(CResourceFile *prf)
{
  CSyncLock sl(resGetFileStockMutex());
  Stock &st = TheStock();
  st.st_dcFiles.Add(prf);
  MakeRoom(st);
  StockSlot ss;
  ss.ss_ulHash = StockHash(prf->GetFileName(), ss.ss_ctLength);
  ss.ss_prf = prf;
  ss.ss_strName = strDuplicate(prf->GetFileName());
  ss.ss_ulEntry = ++st.st_ulEntries;
  Place(st, ss);
  st.st_ctUsed++;
}

void LeaveStock(CResourceFile *prf)
{
  CSyncLock sl(resGetFileStockMutex());
  Stock &st = TheStock();
  st.st_dcFiles.Remove(prf);
  if (st.st_ass == nullptr) return;
  int ctLength;
  const unsigned long ulHash = StockHash(prf->GetFileName(), ctLength);
  for (unsigned long ul = HomeOf(st, ulHash);; ul = (ul + 1) & st.st_ulMask) {
    const StockSlot &ss = st.st_ass[ul];
    if (ss.ss_prf == nullptr) return;
    if (ss.ss_prf == prf) {
      Remove(st, ul);
      return;
    }
  }
}

const CDynamicContainer<CResourceFile> &StockFiles(void)
{
  return TheStock().st_dcFiles;
}

} // namespace ResourcesPrivate

CResourceFile *resFindFileInStock(const CString &strPath, CString &strResolved)
{
  CSyncLock sl(resGetFileStockMutex());
  // Most names are their own resolved names: they are looked up as they are, and copied over
  // the caller's string (which keeps its buffer when the length is the same).
  int ctLength;
  unsigned long ulHash = StockHash(strPath, ctLength);
  if (filReplaceHistoryKeeps(strPath, ctLength)) {
    strResolved = strPath;
  } else {
    strResolved = filFileReplaceHistory(strPath);
    ulHash = StockHash(strResolved, ctLength);
  }
  const Stock &st = TheStock();
  if (st.st_ass == nullptr) return nullptr;
  for (unsigned long ul = HomeOf(st, ulHash);; ul = (ul + 1) & st.st_ulMask) {
    const StockSlot &ss = st.st_ass[ul];
    if (ss.ss_prf == nullptr) return nullptr;
    if (ss.ss_ulHash == ulHash && ss.ss_ctLength == ctLength &&
        SameName(ss.ss_strName, strResolved, ctLength)) {
      return ss.ss_prf;
    }
  }
}

CDynamicContainer<CResourceFile> resListResourceFiles(void)
{
  CSyncLock sl(resGetFileStockMutex());
  return TheStock().st_dcFiles;
}

// The resources a type listing looks at: the named shared ones and the default one.
static bool IsListed(CResourceFile *prf, CResource *prs)
{
  return prs->GetName()[0] != 0 || prs->rs_iID == prf->rf_iDefaultID;
}

CDynamicContainer<CDataType> resListDataTypesInStock(void)
{
  CSyncLock sl(resGetFileStockMutex());
  CDynamicContainer<CDataType> dcTypes;
  for (CResourceFile *prf : TheStock().st_dcFiles) {
    for (CResource *prs : prf->rf_saShared) {
      CDataType *pdt = prs->mdGetDataType();
      if (IsListed(prf, prs) && !dcTypes.IsMember(pdt)) dcTypes.Add(pdt);
    }
  }
  return dcTypes;
}

CDynamicContainer<CResource> resListResourcesByDataType(CDataType *pdt)
{
  CSyncLock sl(resGetFileStockMutex());
  CDynamicContainer<CResource> dcResources;
  for (CResourceFile *prf : TheStock().st_dcFiles) {
    for (CResource *prs : prf->rf_saShared) {
      if (prs->mdGetDataType() == pdt && IsListed(prf, prs)) dcResources.Add(prs);
    }
  }
  return dcResources;
}

CResourceFile *resFindResourceFileOwningObject(CMetaPointer mp)
{
  if (!mp.IsValid()) return nullptr;
  CSyncLock sl(resGetFileStockMutex());
  conWarning(strTranslate("DOZUResource.ExhaustiveSearch=Using exhaustive search to find file "
                          "owning object %1!\n"),
             mdGetObjectDescription(mp));
  const CDynamicContainer<CResourceFile> dc = TheStock().st_dcFiles;
  for (CResourceFile *prf : dc) {
    CStaticStackArray<CMetaPointer> saReached;
    try {
      mdFindReferences(prf, saReached);
    } catch (CException &) {
      continue;
    }
    for (const CMetaPointer &mpReached : saReached) {
      if (mpReached.mp_pvObject == mp.mp_pvObject) return prf;
    }
  }
  return nullptr;
}

} // namespace QuennelEngine
