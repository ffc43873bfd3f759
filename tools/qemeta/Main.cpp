// qemeta: the metadata file tool for someone who has a file and no editor. It reads files by
// their own type tables (mdConvertMetaFile_t), so it works on the files of any program built on
// Core, whether or not it knows their types.
#include "core/Core.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

using namespace QuennelEngine;

namespace {

// Exit codes, as the usage text lists them.
enum {
  EXIT_OK = 0,
  EXIT_FAILED = 1,
  EXIT_USAGE = 2,
};

const char *const USAGE =
    "usage: qemeta info FILE\n"
    "       qemeta convert IN OUT [--text|--binary]\n"
    "       qemeta check FILE...\n"
    "\n"
    "  info     shows the form and format version of a metadata file, the program version\n"
    "           that saved it, its counts, the resource files it refers to and its types\n"
    "           with their format numbers, marking those this program does not know\n"
    "  convert  writes IN to OUT in the text form (--text) or the binary form (--binary);\n"
    "           without either, in the form IN is not in. Types this program does not know\n"
    "           are carried by the file's own type table. A file converted there and back\n"
    "           is the same byte for byte\n"
    "  check    reads each FILE whole and prints every error with the file and the offset\n"
    "           (binary form) or the line (text form)\n"
    "\n"
    "exit codes: 0 success; 1 a file could not be read, converted or written, or a check\n"
    "failed; 2 the command line was not understood\n";

int _iExitCode = EXIT_OK;

// A path of the command line (relative to the current folder) as the absolute soft path that
// the library's streams take.
CString HostPath(const char *strPath)
{
  char achFull[1024];
  if (_fullpath(achFull, strPath, sizeof(achFull)) == nullptr) return strPath;
  return CString("$") + achFull;
}

int Usage(const char *strProblem)
{
  if (strProblem != nullptr) fprintf(stderr, "qemeta: %s\n\n", strProblem);
  fputs(USAGE, strProblem != nullptr ? stderr : stdout);
  return EXIT_USAGE;
}

// Every message about a file reads "FILE: what", FILE as the user typed it. Errors go to
// standard error, except where they are the command's report (check), which has one stream so
// that its lines come in order.
FILE *_pfErrors = stderr;

void Report(const CString &strFile, const CString &strWhat)
{
  fprintf(_pfErrors, "%s: %s\n", (const char *)strFile, (const char *)strWhat);
  fflush(_pfErrors);
}

bool IsFolder(const char *strPath)
{
  struct stat st;
  return stat(strPath, &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

// Why a file cannot be read, as the system sees it.
CString WhyNotReadable(const CString &strFile)
{
  if (IsFolder(strFile)) return "it is a folder";
  FILE *pf = fopen(strFile, "rb");
  if (pf != nullptr) {
    fclose(pf);
    return "it is not readable";
  }
  if (errno == ENOENT) return "there is no such file";
  if (errno == EACCES) return "access is denied";
  return strerror(errno);
}

// Why a file cannot be written, as the system sees it.
CString WhyNotWritable(const CString &strFile)
{
  if (IsFolder(strFile)) return "it is a folder";
  CString strFolder = strFile;
  const char *pchSlash = strrchr(strFile, '/');
  const char *pchBackslash = strrchr(strFile, '\\');
  if (pchBackslash != nullptr && (pchSlash == nullptr || pchBackslash > pchSlash))
    pchSlash = pchBackslash;
  strFolder = pchSlash == nullptr ? CString(".")
                                  : CString(strFile, (int)(pchSlash - (const char *)strFile));
  if (strFolder.IsEmpty()) strFolder = "/";
  if (!IsFolder(strFolder)) return strFormat("its folder %1 does not exist", strFolder);
  FILE *pf = fopen(strFile, "r");
  if (pf != nullptr) {
    fclose(pf);
    return "the file is read-only or in use";
  }
  return "access to its folder is denied";
}

bool OpenForReading(CStream &strm, const CString &strFile)
{
  if (strm.CreateFileStream(HostPath(strFile), "r")) return true;
  Report(strFile, "cannot be opened: " + WhyNotReadable(strFile));
  return false;
}

// The error of a failed read in the "FILE: what" form: the library names the stream by its
// internal path, and a file error puts it last in brackets. Binary files have no lines, so the
// offset is added.
CString Describe(CException &ex, CStream &strm, const CString &strFile, int iForm)
{
  CString str = ex.GetDescription();
  const CString strStream = strm.GetDescription();
  const CString strBracketed = " (" + strStream + ")";
  const long slLength = str.Length(), slBracketed = strBracketed.Length();
  if (slLength > slBracketed &&
      strcmp((const char *)str + slLength - slBracketed, strBracketed) == 0)
    str = strStream + ": " + CString(str, (int)(slLength - slBracketed));
  strReplaceSubstrA(str, strStream, strFile);
  if (strncmp(str, strFile, strFile.Length()) != 0) str = strFile + ": " + str;
  if (iForm == 1 && strstr(str, " at offset ") == nullptr)
    str += strFormat(" (at offset %1)", strm.GetPosition());
  return str;
}

// Reads the file whole, without a writer: 0 when it failed (the error is printed).
bool Read(const CString &strFile, CMetaFileSummary &mfs, CMetaWriter *pmw)
{
  CStream strm;
  if (!OpenForReading(strm, strFile)) return false;
  const int iForm = mdPeekMetaFileForm(strm);
  try {
    mdConvertMetaFile_t(strm, pmw, &mfs);
  } catch (CException &ex) {
    fprintf(_pfErrors, "%s\n", (const char *)Describe(ex, strm, strFile, iForm));
    fflush(_pfErrors);
    return false;
  }
  return true;
}

int Info(const CString &strFile)
{
  CMetaFileSummary mfs;
  if (!Read(strFile, mfs, nullptr)) return EXIT_FAILED;
  printf("%s\n", (const char *)strFile);
  printf("  form: %s, format version %ld\n", mfs.mfs_iForm == 1 ? "binary" : "text",
         mfs.mfs_iVersion);
  printf("  saved by program version: %s\n", mfs.mfs_strProgramVersion.IsEmpty()
                                                 ? "(text files do not record it)"
                                                 : (const char *)mfs.mfs_strProgramVersion);
  printf("  edit data stripped: %s\n", mfs.mfs_iEditDataStripped ? "yes" : "no");
  printf("  objects: %ld (%ld internal, %ld edit, %ld in other files)\n", mfs.mfs_ctObjects,
         mfs.mfs_ctInternalObjects, mfs.mfs_ctEditObjects, mfs.mfs_ctExternalObjects);
  printf("  identifiers: %ld\n", mfs.mfs_ctIdents);
  printf("  resource files: %ld\n", mfs.mfs_aFiles.Count());
  for (long i = 0; i < mfs.mfs_aFiles.Count(); i++) {
    const MetaSummaryFile &msf = mfs.mfs_aFiles[i];
    printf("    %ld: %s%s%s\n", i, (const char *)msf.msf_strName,
           (msf.msf_ulFlags & MDRF_DELAYED) ? " (delayed)" : "",
           (msf.msf_ulFlags & MDRF_ONDEMAND) ? " (on demand)" : "");
  }
  long ctUnknown = 0;
  for (const MetaSummaryType &mst : mfs.mfs_aTypes) ctUnknown += mst.mst_bKnown ? 0 : 1;
  printf("  types: %ld (%ld unknown to this program)\n", mfs.mfs_aTypes.Count(), ctUnknown);
  for (long i = 0; i < mfs.mfs_aTypes.Count(); i++) {
    const MetaSummaryType &mst = mfs.mfs_aTypes[i];
    CString strWhat = mst.mst_iKind < 0 ? CString("external")
                                        : strFormat("%1, format %2", mdKindKeyword(mst.mst_iKind),
                                                    mst.mst_iFormat);
    if (mst.mst_ctObjects > 0) strWhat += strFormat(", %1 objects", mst.mst_ctObjects);
    printf("    %ld: %s (%s)%s\n", i, (const char *)mst.mst_strName, (const char *)strWhat,
           mst.mst_bKnown ? "" : " UNKNOWN");
  }
  return EXIT_OK;
}

int Convert(const CString &strIn, const CString &strOut, int iForm)
{
  CStream strmIn;
  if (!OpenForReading(strmIn, strIn)) return EXIT_FAILED;
  const int iInForm = mdPeekMetaFileForm(strmIn);
  if (iForm == 0) iForm = iInForm == 1 ? 2 : 1;
  // The whole file is converted in memory first: a failed conversion leaves no output behind.
  CStream strmMemory;
  strmMemory.CreateMemoryStream();
  CBinaryMetaWriter mwBinary(strmMemory);
  CTextMetaWriter mwText(strmMemory);
  try {
    mdConvertMetaFile_t(strmIn, iForm == 2 ? (CMetaWriter *)&mwText : (CMetaWriter *)&mwBinary,
                        nullptr);
  } catch (CException &ex) {
    fprintf(stderr, "%s\n", (const char *)Describe(ex, strmIn, strIn, iInForm));
    return EXIT_FAILED;
  }
  CStream strmOut;
  if (!strmOut.CreateFileStream(HostPath(strOut), "w")) {
    Report(strOut, "cannot be written: " + WhyNotWritable(strOut));
    return EXIT_FAILED;
  }
  try {
    strmMemory.SeekBeg_t(0);
    strmOut.Write_t(strmMemory);
    strmOut.Close();
  } catch (CException &ex) {
    fprintf(stderr, "%s\n", (const char *)Describe(ex, strmOut, strOut, 0));
    strmOut.Close();
    remove(strOut);
    return EXIT_FAILED;
  }
  return EXIT_OK;
}

int Check(int iFirst)
{
  // The errors are the report here: one stream with the other lines, in their order.
  _pfErrors = stdout;
  long ctFailed = 0;
  for (int i = iFirst; i < corGetArgC(); i++) {
    CMetaFileSummary mfs;
    if (Read(corGetArgV(i), mfs, nullptr)) {
      Report(corGetArgV(i), "ok");
    } else {
      ctFailed++;
    }
  }
  if (ctFailed > 0) printf("%ld of %d files failed\n", ctFailed, corGetArgC() - iFirst);
  return ctFailed > 0 ? EXIT_FAILED : EXIT_OK;
}

int Run(void)
{
  const int ct = corGetArgC();
  if (ct < 2) return Usage(nullptr);
  const CString strCommand = corGetArgV(1);
  if (strCommand == "help" || strCommand == "--help" || strCommand == "-h") return Usage(nullptr);
  if (strcmp(strCommand, "info") == 0) {
    if (ct != 3) return Usage("info takes one file");
    return Info(corGetArgV(2));
  }
  if (strcmp(strCommand, "convert") == 0) {
    if (ct < 4 || ct > 5) return Usage("convert takes an input file, an output file and a form");
    int iForm = 0;
    if (ct == 5) {
      const CString strForm = corGetArgV(4);
      if (strcmp(strForm, "--text") == 0) {
        iForm = 2;
      } else if (strcmp(strForm, "--binary") == 0) {
        iForm = 1;
      } else {
        return Usage("the form is --text or --binary");
      }
    }
    return Convert(corGetArgV(2), corGetArgV(3), iForm);
  }
  if (strcmp(strCommand, "check") == 0) {
    if (ct < 3) return Usage("check takes one or more files");
    return Check(2);
  }
  return Usage("unknown command");
}

void QeMetaMain(void)
{
  mdUpdateTypeTables();
  _iExitCode = Run();
  fflush(stdout);
  fflush(stderr);
}

} // namespace

int main(int ctArguments, char *astrArguments[])
{
  corRun(QeMetaMain, ctArguments, astrArguments, "notimer nozips norootdir");
  return _iExitCode;
}
