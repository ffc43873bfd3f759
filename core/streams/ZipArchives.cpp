// The group archives. Until archives can be mounted, the index is empty: nothing is found in it.
#include "core/streams/ZipArchives.h"

#include "core/streams/Stream.h"

namespace QuennelEngine {

void filAddArchive(const char *) {}
long filGetZipEntryCount(void) { return 0; }
CString filGetZipEntryFileName(long) { return CString(); }
long filGetZipEntryFileSize(long) { return 0; }
Time filGetZipEntryFileTime(long) { return Time(); }
long filGetZipDirCount(void) { return 0; }
CString filGetZipDirName(long) { return CString(); }
bool filExistsInZip(const char *) { return false; }
bool filIsZipDirectory(const char *) { return false; }
int filGetFileTimeFromZip(const char *, Time &) { return 0; }
long filGetZipEntrySizeByName(const char *) { return -1; }

CStaticStackArray<CString> filGetZipEntryFindFiles(const CString &, const CString &)
{
  return CStaticStackArray<CString>();
}

CStaticStackArray<CString> filZipEntryFindDirs(const CString &, const CString &)
{
  return CStaticStackArray<CString>();
}

int CStream::CreateZipStream(const CString &)
{
  return 0;
}

} // namespace QuennelEngine
