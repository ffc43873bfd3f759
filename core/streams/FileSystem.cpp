// The portable side of the file system: soft and hard paths, the root directory, opening files
// from disk or from the archives, file operations built on the system side, and listings.
#include "core/streams/FileSystem.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/frame/StartupSettings.h"
#include "core/memory/List.h"
#include "core/platform/SysDiskStreamPrivate.h"
#include "core/platform/Timer.h"
#include "core/streams/FileSystemPrivate.h"
#include "core/streams/ReplaceHistory.h"
#include "core/streams/Stream.h"
#include "core/streams/ZipArchives.h"
#include "core/text/Characters.h"
#include "core/text/Compare.h"
#include "core/text/Editing.h"
#include "core/text/FileNames.h"
#include "core/text/Matching.h"
#include "core/text/Search.h"
#include "core/text/Translation.h"
#include "core/threads/SyncLock.h"

#include <utility>

namespace QuennelEngine {

int fil_bPreferZips = 0;
int fil_iReportStats = 0;
int fil_bReportFileOpen = 0;
int fil_iWriteCacheSize = 32;
int fil_iReadFailRange = -1;
int fil_bAsynchronousReads = -1;

static CSyncMutex _fil_smLock;

// Set by the start-up analysis and read-only afterwards.
struct FileSystemPaths {
  CString fsp_strRootDir;     // hard, with a trailing separator
  CString fsp_strHardExePath; // hard, with a trailing separator
  CString fsp_strSoftExePath; // soft, relative to the root ("Bin/")
  CString fsp_strExeName;
};

static FileSystemPaths &Paths(void)
{
  static FileSystemPaths _fsp;
  return _fsp;
}

CSyncMutex *filGetSyncMutex(void)
{
  return &_fil_smLock;
}

CString filGetSysDirSeparator(void)
{
  return CString("\\");
}
CString filGetSysRootDir(void)
{
  return Paths().fsp_strRootDir;
}
void filSetSysRootDir(const char *strHardDir)
{
  Paths().fsp_strRootDir = strHardDir;
}
CString filGetHardExePath(void)
{
  return Paths().fsp_strHardExePath;
}
CString filGetSoftExePath(void)
{
  return Paths().fsp_strSoftExePath;
}
CString filGetExeName(void)
{
  return Paths().fsp_strExeName;
}
void filSetExeName(const char *strName)
{
  Paths().fsp_strExeName = strName;
}

// The name between "Bin/" and the last ".module".
static CString ModuleName(const char *strSoft)
{
  CString str(strSoft + 4);
  strDeleteTail(str, 7);
  return str;
}

// A name that stays in the directory it is put in: no separator, no drive, no "..", not empty.
static bool IsPlainFileName(const char *strName)
{
  if (strName[0] == 0) return false;
  for (const char *pch = strName; *pch != 0; pch++) {
    if (*pch == '/' || *pch == '\\' || *pch == ':') return false;
    if (pch[0] == '.' && pch[1] == '.') return false;
  }
  return true;
}

bool filIsModuleFileName(const char *strSoft)
{
  if (strSoft == nullptr || !strHasTail(strSoft, ".module") || !strHasHead(strSoft, "Bin/")) {
    return false;
  }
  return IsPlainFileName(ModuleName(strSoft));
}

CString filSoftToHardPath(const char *strSoft)
{
  if (strSoft == nullptr) {
    corLogGuardBreach();
    return CString();
  }
  CString str(strSoft);
  if (filIsModuleFileName(str)) {
    // The program's directory itself, not the soft path made of it at start-up, which would go
    // elsewhere once the root moves.
    str = ModuleName(str) + ".dll";
    if (!Paths().fsp_strHardExePath.IsEmpty()) return Paths().fsp_strHardExePath + str;
    str = filGetSoftExePath() + str;
  }
  strReplaceSubstrA(str, "/", "\\");
  if (str[0] == '$') {
    strDeleteHead(str, 1);
    return str;
  }
  return filGetSysRootDir() + str;
}

CString filHardToSoftPath(const char *strHard)
{
  if (strHard == nullptr) {
    corLogGuardBreach();
    return CString();
  }
  CString str(strHard);
  const CString &strRoot = Paths().fsp_strRootDir;
  if (!strRoot.IsEmpty() && strHasHead(str, strRoot)) {
    strDeleteHead(str, strRoot.Length());
  } else {
    strInsertHead(str, "$");
  }
  strReplaceSubstrA(str, "\\", "/");
  return str;
}

CString filGetParentDir(const char *strSoft)
{
  CString strHard = filSoftToHardPath(strSoft);
  if (strMatches(strHard, "?:\\")) return CString("$/");
  if (strHard.IsEmpty() || strHard[strHard.Length() - 1] != '\\') return strFileDir(strSoft);
  strDeleteTail(strHard, 1);
  int iSeparator = strFindCharSB(strHard, '\\');
  if (iSeparator < 0) return CString(strSoft);
  return filHardToSoftPath(strGetHead(strHard, iSeparator + 1));
}

CString filSysPathLevelUp(const char *strHardPath)
{
  CString str(strHardPath ? strHardPath : "");
  if (str.IsEmpty() || str[str.Length() - 1] != '\\') return CString();
  strDeleteTail(str, 1);
  int iSeparator = strFindCharSB(str, '\\');
  return iSeparator < 0 ? CString() : strGetHead(str, iSeparator + 1);
}

// The name of the last directory of a soft directory path ("a/Bin/" -> "Bin").
static CString LastDirName(const CString &strSoftDir)
{
  return strDirName(strSoftDir);
}

void filSysAnalyzeAppPath(const char *strAppPath)
{
  FileSystemPaths &fsp = Paths();
  fsp.fsp_strRootDir.Clear();
  CString strModule = strAppPath && strAppPath[0] ? CString(strAppPath) : filSysGetModulePath();
  CString strSoftExe = filHardToSoftPath(strModule);
  CString strDir = filGetParentDir(strSoftExe);
  fsp.fsp_strHardExePath = filSoftToHardPath(strDir);
  fsp.fsp_strExeName = strNoFileDir(strSoftExe);

  // The root is the parent of a "Bin" folder at most two levels above the program.
  CString strRoot = strDir;
  CString strCandidate = strDir;
  for (int iLevel = 0; iLevel < 3; iLevel++) {
    if (strCompare(LastDirName(strCandidate), "Bin") == 0) {
      strRoot = filGetParentDir(strCandidate);
      break;
    }
    CString strParent = filGetParentDir(strCandidate);
    if (strParent == strCandidate || strParent == "$/") break;
    strCandidate = strParent;
  }

  if (corIsStartupFlagSet("norootdir")) {
    // Relative soft paths then lead nowhere.
    filSetSysRootDir("<forbidden>");
  } else {
    filSetSysRootDir(filSoftToHardPath(strRoot));
  }
  fsp.fsp_strSoftExePath = filHardToSoftPath(fsp.fsp_strHardExePath);

  conLogF(strTranslate("DOZUFileSystem.BinaryName=Binary name: %1\n"), ARG_TEXT,
          fsp.fsp_strExeName.str_String);
  conLogF(strTranslate("DOZUFileSystem.BinarySoftPath=Binary soft path: %1\n"), ARG_TEXT,
          fsp.fsp_strSoftExePath.str_String);
  conLogF(strTranslate("DOZUFileSystem.BinaryHardPath=Binary hard path: %1\n"), ARG_TEXT,
          fsp.fsp_strHardExePath.str_String);
  conLogF(strTranslate("DOZUFileSystem.ApplicationDirectory=Application directory: %1\n"), ARG_TEXT,
          fsp.fsp_strRootDir.str_String);
}

void filInitializeStreams_t(const char *strAppPath)
{
  Time tmStart = timUptimeNow();
  filSysAnalyzeAppPath(strAppPath);
  conLogF(strTranslate("DOZUStream.LoadingGroupFiles=Loading group files...\n"));
  // A damaged archive is reported and left out; the others are still mounted.
  auto AddArchive = [](const CString &strArchive) {
    try {
      filAddArchive(strArchive);
    } catch (CException &ex) {
      conErrorF(strTranslate("DOZUStream.GroupFileError=There were group file errors:\n%1"),
                ARG_TEXT, ex.GetDescription());
    }
  };
  if (corIsStartupFlagSet("attachedzip")) AddArchive(filGetSoftExePath() + filGetExeName());
  if (!corIsStartupFlagSet("nozips")) {
    for (const CString &strArchive : filFindFiles("", "*.gro")) AddArchive(strArchive);
  }
  filLoadReplaceHistory_t();
  conLogF(strTranslate("DOZUStream.Init=Stream initialization: %1 sec.\n"), ARG_FLOAT,
          (double)timToFloat(timUptimeNow() - tmStart));
}

bool filExists(const char *strName)
{
  // The archives' directory is in memory; a disk lookup that misses can cost a directory scan.
  return filExistsInZip(strName) || filExistsOnDisk(strName);
}

bool filIsDirectory(const char *strName)
{
  return filIsSysDir(filSoftToHardPath(strName));
}

bool filIsDummyFile(const char *strName)
{
  CString str(strName ? strName : "");
  CString strLast = strNoFileDir(str);
  return strLast == "." || strLast == "..";
}

long filGetFileSize(const char *strName)
{
  long slZip = filGetZipEntrySizeByName(strName);
  if (slZip >= 0) return slZip;
  CStream strm;
  if (!strm.CreateFileStream(strName, "r")) return -1;
  return strm.GetSize();
}

Time filGetFileTime_t(const char *strName)
{
  Time tm;
  if (fil_bPreferZips) {
    if (filGetFileTimeFromZip(strName, tm) || filGetFileTimeOnDisk(strName, tm)) return tm;
  } else {
    if (filGetFileTimeOnDisk(strName, tm) || filGetFileTimeFromZip(strName, tm)) return tm;
  }
  throw CFileException("(filGetFileTime_t): Could not open file.", filSoftToHardPath(strName));
}

CStaticStackArray<CString> filGetDrives(void)
{
  return filSysGetDrives();
}

int filCreateDirectoryPath(const char *strName)
{
  CString str(strName ? strName : "");
  if (str.IsEmpty()) return 1;
  if (str[str.Length() - 1] != '/') str += "/";
  // Every directory from the top down.
  for (int i = 0; i < str.Length(); i++) {
    if (str[i] != '/') continue;
    CString strDir = strGetHead(str, i + 1);
    if (strDir == "$" || strDir == "$/" || (strDir[0] == '$' && strDir.Length() == 4)) continue;
    CString strHard = filSoftToHardPath(strDir);
    if (filIsSysDir(strHard)) continue;
    if (!filCreateSysDir(strHard) && !filIsSysDir(strHard)) return 0;
  }
  return 1;
}

void filDeleteDirectory_t(const char *strName)
{
  CString strDir(strName ? strName : "");
  if (!strDir.IsEmpty() && strDir[strDir.Length() - 1] != '/') strDir += "/";
  CStaticStackArray<SysDirEntry> asde = filSysListDirectory(filSoftToHardPath(strDir));
  for (const SysDirEntry &sde : asde) {
    CString strEntry = strDir + sde.sde_strName;
    if (sde.sde_bDirectory && sde.sde_bLink) {
      // A link to a directory is removed itself; what it points to is not ours to delete.
      filRemoveDirectory_t(strEntry);
    } else if (sde.sde_bDirectory) {
      filDeleteDirectory_t(strEntry + "/");
    } else {
      filDeleteFile_t(strEntry);
    }
  }
  filRemoveDirectory_t(strDir);
}

CString filCreateAvailableFileName_t(const char *strBaseName, long ctDigits)
{
  CString strBase(strBaseName ? strBaseName : "");
  CString strDir = strFileDir(strBase);
  CString strName = strFileName(strBase);
  CString strExt = strFileExt(strBase);
  int ctTrailing = 0;
  while (ctTrailing < strName.Length() && chIsDigit(strName[strName.Length() - 1 - ctTrailing])) {
    ctTrailing++;
  }
  if (ctDigits < 1 || ctTrailing < ctDigits) {
    ThrowF_t("Inappropriate base file name provided (too few digits).");
  }
  CString strPrefix = strGetHead(strName, strName.Length() - ctTrailing);
  CString strSpec = strFormat("0%1", ctDigits);
  for (long i = 0;; i++) {
    CString strNumber = strFormat("%1", fmtSpec(i, strSpec));
    if (strNumber.Length() > ctDigits) ThrowF_t("Too many files for the given number of digits.");
    CString strCandidate = strDir + strPrefix + strNumber + strExt;
    if (!filExistsOnDisk(strCandidate)) return strCandidate;
  }
}

// Whether a listed entry matches: a pattern with a '/' is matched against the whole soft path,
// any other against the entry's own name (long paths would otherwise exhaust the matcher).
static bool EntryMatches(const CString &strSoft, const char *strPattern)
{
  if (strPattern == nullptr || strPattern[0] == 0) return true;
  if (strFindChar(strPattern, '/') >= 0) return strMatches(strSoft, strPattern);
  CString strName(strSoft);
  if (!strName.IsEmpty() && strName[strName.Length() - 1] == '/') strDeleteTail(strName, 1);
  return strMatches(strNoFileDir(strName), strPattern);
}

CStaticStackArray<CString> filGetFromDir(const CString &strSoftDir, const char *strPattern)
{
  CStaticStackArray<CString> astr;
  CString strHardDir = filSoftToHardPath(strSoftDir);
  CStaticStackArray<SysDirEntry> asde = filSysListDirectory(strHardDir);
  for (const SysDirEntry &sde : asde) {
    CString strSoft = filHardToSoftPath(strHardDir + sde.sde_strName);
    if (sde.sde_bDirectory) strSoft += "/";
    if (EntryMatches(strSoft, strPattern)) astr.Push(std::move(strSoft));
  }
  return astr;
}

static void PushUnique(CStaticStackArray<CString> &astr, const CString &str)
{
  for (const CString &strOld : astr) {
    if (strOld == str) return;
  }
  astr.Push(str);
}

CStaticStackArray<CString> filFindFiles(const char *strSoftDir, const char *strPattern)
{
  CString strDir(strSoftDir ? strSoftDir : "");
  if (strDir == "$/") {
    CStaticStackArray<CString> astrDrives;
    for (const CString &str : filSysGetDrives()) {
      if (EntryMatches(str, strPattern)) astrDrives.Push(str);
    }
    return astrDrives;
  }
  CStaticStackArray<CString> astr = filGetFromDir(strDir, strPattern);
  // Modules are the libraries beside the program, seen as "Bin/<name>.module".
  if (strCompare(strDir, "Bin/") == 0) {
    CStaticStackArray<SysDirEntry> asde = filSysListDirectory(filGetHardExePath());
    for (const SysDirEntry &sde : asde) {
      if (sde.sde_bDirectory || !strHasTail(sde.sde_strName, ".dll")) continue;
      CString strModule = "Bin/" + strNoFileExt(sde.sde_strName) + ".module";
      // Only names that map back to the library are listed.
      if (!filIsModuleFileName(strModule)) continue;
      if (EntryMatches(strModule, strPattern)) PushUnique(astr, strModule);
    }
  }
  CString strPatternText(strPattern ? strPattern : "");
  for (const CString &str : filZipEntryFindDirs(strDir, strPatternText)) PushUnique(astr, str);
  for (const CString &str : filGetZipEntryFindFiles(strDir, strPatternText)) PushUnique(astr, str);
  return astr;
}

void filFindFilesRecursively(const char *strSoftDir, const char *strPattern,
                             CStaticStackArray<CString> &astrFound)
{
  CStaticStackArray<CString> astr = filFindFiles(strSoftDir, "");
  for (const CString &str : astr) {
    if (str.Length() > 0 && str[str.Length() - 1] == '/') {
      if (EntryMatches(str, strPattern)) astrFound.Push(str);
      filFindFilesRecursively(str, strPattern, astrFound);
    } else if (EntryMatches(str, strPattern)) {
      astrFound.Push(str);
    }
  }
}

static int CompareNames(const void *pv0, const void *pv1)
{
  return strCompare(*(const CString *)pv0, *(const CString *)pv1);
}

static void ListDisk(CStaticStackArray<CString> &astr, const CString &strDir,
                     const CString &strPattern, bool bRecursive)
{
  for (const CString &str : filGetFromDir(strDir, "")) {
    if (str[str.Length() - 1] == '/') {
      if (bRecursive) ListDisk(astr, str, strPattern, true);
    } else if (EntryMatches(str, strPattern)) {
      astr.Push(str);
    }
  }
}

void MakeDirList(CStaticStackArray<CString> &astrFiles, const CString &strDir,
                 const CString &strPattern, unsigned long ulFlags)
{
  const bool bRecursive = (ulFlags & DLI_RECURSIVE) != 0;
  astrFiles.PopAll();
  ListDisk(astrFiles, strDir, strPattern, bRecursive);
  if (!(ulFlags & (DLI_ONLYDISK | DLI_IGNOREGRO))) {
    long ctEntries = filGetZipEntryCount();
    for (long i = 0; i < ctEntries; i++) {
      CString strEntry = filGetZipEntryFileName(i);
      if (bRecursive ? !strHasHead(strEntry, strDir)
                     : strCompare(strFileDir(strEntry), strDir) != 0) {
        continue;
      }
      if (EntryMatches(strEntry, strPattern)) astrFiles.Push(strEntry);
    }
  }
  if (astrFiles.Count() < 2) return;
  srtQuickSort(astrFiles.begin(), astrFiles.Count(), sizeof(CString), CompareNames);
  // Sorted: equal names are neighbours.
  long iKept = 0;
  for (long i = 1; i < astrFiles.Count(); i++) {
    if (astrFiles[i] != astrFiles[iKept]) {
      iKept++;
      if (iKept != i) astrFiles[iKept] = std::move(astrFiles[i]);
    }
  }
  while (astrFiles.Count() > iKept + 1) astrFiles.Pop();
}

void CStream::OpenFile_t(const char *strFileName, const char *strMode)
{
  CString strName(strFileName ? strFileName : "");
  if (fil_iReportStats >= 2) conLogF("open: %1\n", ARG_TEXT, strName.str_String);
  if (strName.IsEmpty())
    ThrowF_t(strTranslate("DOZUStream.EmptyFileName=Must provide filename to open!"));
  SetASCII();
  CString strModeText(strMode ? strMode : "");
  bool bRead = strModeText == "r";
  if (!bRead && strModeText != "w" && strModeText != "a") {
    throw CFileException(
        strTranslate(
            "DOZUStream.InvalidModeSelection=Invalid mode selection! ([r | w | a] supported.)"),
        strName);
  }
  if (!bRead) {
    if (filExistsOnDisk(strName) && filIsReadOnly(strName)) {
      throw CFileException(
          strTranslate("DOZUStream.CannotWriteToReadOnly=Could not write to read-only file!"),
          strName);
    }
    filCreateDirectoryPath(strFileDir(strName));
    // An archive is read-only: writing always goes to the disk file named.
    if (!CreateFileStream(strName, strModeText)) {
      throw CFileException(strTranslate("DOZUStream.CannotOpenFile=Could not open file!"), strName);
    }
    return;
  }
  // A localised version of the file is read in its place.
  if (!str_strCurrentLocale.IsEmpty()) {
    CString strLocalised = str_strLocaleDir + str_strCurrentLocale + "/" + strName;
    if (filExists(strLocalised)) strName = strLocalised;
  }
  const bool bInArchive = filExistsInZip(strName);
  bool bOpened = false;
  if (fil_bPreferZips) {
    // The disk is asked only when the archive entry did not open.
    bOpened = (bInArchive && CreateZipStream(strName)) ||
              (filExistsOnDisk(strName) && CreateFileStream(strName, "r"));
  } else {
    const bool bOnDisk = filExistsOnDisk(strName);
    bOpened =
        (bOnDisk && CreateFileStream(strName, "r")) || (bInArchive && CreateZipStream(strName));
  }
  if (!bOpened) {
    throw CFileException(strTranslate("DOZUStream.CannotOpenFile=Could not open file!"), strName);
  }
}

int CStream::CreateFileStream(const CString &strFileName, const char *strMode)
{
  CStreamImp *pImp;
  try {
    pImp = sysOpenDiskStream_t(strFileName, CString(strMode) + "b");
  } catch (CException &) {
    return 0;
  }
  SetImplementation(pImp);
  return 1;
}

void CStream::CreateMemoryStream_t(const char *strFileName)
{
  CStream strmFile;
  strmFile.OpenFile_t(strFileName, "r");
  CreateMemoryStream_t(strmFile);
}

} // namespace QuennelEngine
