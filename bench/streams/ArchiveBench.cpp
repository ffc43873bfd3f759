// Group archives against zlib and the disk stream in the same process: sequential reads of a
// deflated entry against inflating the same data straight from memory, a stored entry against a
// disk file of the same bytes, mounting an archive of 10000 entries, and finding the end record
// behind a long comment.
#include "BenchSupport.h"
#include "core/Core.h"

#include <zlib.h>

#include <algorithm>
#include <stdio.h>
#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

// Text-like bytes: words of a small vocabulary with numbers and line breaks.
std::string TextLike(long slSize)
{
  std::string str;
  str.reserve(slSize + 64);
  unsigned long ul = 12345;
  auto Next = [&ul] {
    ul = ul * 1103515245UL + 12345UL;
    return ul >> 16;
  };
  std::vector<std::string> astrWords;
  for (int i = 0; i < 400; i++) {
    std::string strWord;
    for (unsigned long j = 0, ct = 2 + Next() % 8; j < ct; j++)
      strWord += (char)('a' + Next() % 26);
    astrWords.push_back(strWord);
  }
  while ((long)str.size() < slSize) {
    str += astrWords[Next() % 400];
    unsigned long ulKind = Next() % 100;
    if (ulKind < 10) str += std::to_string(Next() % 100000);
    str += ulKind > 93 ? "\r\n" : " ";
  }
  str.resize(slSize);
  return str;
}

std::string RawDeflate(const std::string &str)
{
  z_stream zs = {};
  deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string strOut(deflateBound(&zs, str.size()), '\0');
  zs.next_in = (Bytef *)str.data();
  zs.avail_in = (uInt)str.size();
  zs.next_out = (Bytef *)&strOut[0];
  zs.avail_out = (uInt)strOut.size();
  deflate(&zs, Z_FINISH);
  strOut.resize(zs.total_out);
  deflateEnd(&zs);
  return strOut;
}

void Put16(std::string &str, unsigned long ul)
{
  str += (char)(ul & 0xFF);
  str += (char)(ul >> 8 & 0xFF);
}

void Put32(std::string &str, unsigned long ul)
{
  Put16(str, ul & 0xFFFF);
  Put16(str, ul >> 16);
}

struct Entry {
  std::string e_strName;
  const std::string *e_pstrData;
  bool e_bDeflate;
};

// A ZIP file as other tools write it (local headers, central directory, end record).
std::string BuildZip(const std::vector<Entry> &ae, const std::string &strComment = "")
{
  std::string str;
  std::vector<unsigned long> aulOffsets, aulCRCs, aulPacked;
  for (const Entry &e : ae) {
    std::string strPacked = e.e_bDeflate ? RawDeflate(*e.e_pstrData) : *e.e_pstrData;
    unsigned long ulCRC = crc32(0, (const Bytef *)e.e_pstrData->data(), (uInt)e.e_pstrData->size());
    aulOffsets.push_back((unsigned long)str.size());
    aulCRCs.push_back(ulCRC);
    aulPacked.push_back((unsigned long)strPacked.size());
    Put32(str, 0x04034B50);
    Put16(str, 20);
    Put16(str, 0);
    Put16(str, e.e_bDeflate ? 8 : 0);
    Put32(str, 0x50B16E6E);
    Put32(str, ulCRC);
    Put32(str, (unsigned long)strPacked.size());
    Put32(str, (unsigned long)e.e_pstrData->size());
    Put16(str, (unsigned long)e.e_strName.size());
    Put16(str, 0);
    str += e.e_strName;
    str += strPacked;
  }
  unsigned long ulDir = (unsigned long)str.size();
  for (size_t i = 0; i < ae.size(); i++) {
    const Entry &e = ae[i];
    Put32(str, 0x02014B50);
    Put16(str, 20);
    Put16(str, 20);
    Put16(str, 0);
    Put16(str, e.e_bDeflate ? 8 : 0);
    Put32(str, 0x50B16E6E);
    Put32(str, aulCRCs[i]);
    Put32(str, aulPacked[i]);
    Put32(str, (unsigned long)e.e_pstrData->size());
    Put16(str, (unsigned long)e.e_strName.size());
    Put32(str, 0);
    Put32(str, 0);
    Put32(str, 0);
    Put32(str, aulOffsets[i]);
    str += e.e_strName;
  }
  unsigned long ulDirSize = (unsigned long)str.size() - ulDir;
  Put32(str, 0x06054B50);
  Put32(str, 0);
  Put16(str, (unsigned long)ae.size());
  Put16(str, (unsigned long)ae.size());
  Put32(str, ulDirSize);
  Put32(str, ulDir);
  Put16(str, (unsigned long)strComment.size());
  return str + strComment;
}

// One comparison in milliseconds, with the speed ratio (above 1 = ours is faster).
void Compare(const char *strWhat, double dOursNs, const char *strReference, double dRefNs)
{
  printf("%-32s %8.2f ms   %-20s %8.2f ms   ratio %5.2fx\n", strWhat, dOursNs / 1e6, strReference,
         dRefNs / 1e6, dRefNs / dOursNs);
}

void WriteFile(const char *strName, const std::string &str)
{
  CStream strm;
  strm.OpenFile_t(strName, "w");
  strm.Write_t(str.data(), (long)str.size());
}

} // namespace

static void Run_t(void)
{
  char strCwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, strCwd);
  filSetSysRootDir(CString(strCwd) + "\\BenchArchives\\");
  CreateDirectoryA(filGetSysRootDir(), nullptr);
  CLockOutputs lo;

  const long slBig = 16 << 20;
  const std::string strBig = TextLike(slBig);
  const std::string strDeflated = RawDeflate(strBig);
  WriteFile("big.bin", strBig);
  WriteFile("big.gro", BuildZip({{"deflated.bin", &strBig, true}, {"stored.bin", &strBig, false}}));
  static char achBuffer[65536];
  static std::string strInflated(slBig, '\0');

  // The best of several rounds, ours and the reference in turn so that both see the same load.
  auto Pair = [](int ctRounds, double &dOurs, double &dRef, auto fnOurs, auto fnRef) {
    dOurs = dRef = 1e30;
    for (int i = 0; i < ctRounds; i++) {
      double d = Now();
      fnOurs();
      d = (Now() - d) * 1e9;
      if (d < dOurs) dOurs = d;
      d = Now();
      fnRef();
      d = (Now() - d) * 1e9;
      if (d < dRef) dRef = d;
    }
  };
  auto ReadEntry = [&](const char *strName) {
    CStream strm;
    strm.OpenFile_t(strName, "r");
    for (long sl = 0; sl < slBig; sl += sizeof(achBuffer))
      strm.Read_t(achBuffer, sizeof(achBuffer));
  };
  // Mounted afresh, so that the entry's CRC-32 is checked as on its first reading in a run.
  auto ReadFirstTime = [&](const char *strName) {
    filClearArchives();
    filAddArchive("big.gro");
    double d = Now();
    ReadEntry(strName);
    return (Now() - d) * 1e9;
  };

  printf("Reading a 16 MiB entry (%.1f%% deflated) in 64 KiB reads\n",
         100.0 * strDeflated.size() / strBig.size());
  auto InflateDirectly = [&] {
    z_stream zs = {};
    inflateInit2(&zs, -MAX_WBITS);
    zs.next_in = (Bytef *)strDeflated.data();
    zs.avail_in = (uInt)strDeflated.size();
    for (long sl = 0; sl < slBig; sl += sizeof(achBuffer)) {
      zs.next_out = (Bytef *)achBuffer;
      zs.avail_out = sizeof(achBuffer);
      inflate(&zs, Z_NO_FLUSH);
    }
    inflateEnd(&zs);
  };
  double dDeflated, dZlib, dDeflatedFirst = 1e30, dZlibFirst;
  Pair(
      7, dDeflatedFirst, dZlibFirst,
      [&] { dDeflatedFirst = std::min(dDeflatedFirst, ReadFirstTime("deflated.bin")); },
      InflateDirectly);
  Pair(
      7, dDeflated, dZlib, [&] { ReadEntry("deflated.bin"); }, InflateDirectly);
  Compare("  deflated entry, first read", dDeflatedFirst, "zlib inflate", dZlibFirst);
  Compare("  deflated entry, read again", dDeflated, "zlib inflate", dZlib);
  printf("  -> %.3fx and %.3fx the time of zlib (goal: at most 1.10x), %.0f MB/s\n",
         dDeflatedFirst / dZlibFirst, dDeflated / dZlib, slBig / (dDeflated / 1e9) / 1e6);

  // The stored bytes through a disk stream at the same offsets of the archive file (the same
  // path through the read cache), and as a file of their own read from 0.
  long slStoredAt = 0;
  {
    CStream strm;
    strm.OpenFile_t("big.gro", "r");
    std::string strHead(4096, '\0');
    strm.SeekEnd_t(slBig + 4096);
    strm.Read_t(&strHead[0], 4096);
    slStoredAt = strm.GetSize() - slBig - 4096 + (long)strHead.find("stored.bin") + 10;
  }
  auto ReadDiskSame = [&] {
    CStream strm;
    strm.OpenFile_t("big.gro", "r");
    strm.SeekBeg_t(slStoredAt);
    for (long sl = 0; sl < slBig; sl += sizeof(achBuffer))
      strm.Read_t(achBuffer, sizeof(achBuffer));
  };
  auto ReadDiskFile = [&] {
    CStream strm;
    strm.OpenFile_t("big.bin", "r");
    for (long sl = 0; sl < slBig; sl += sizeof(achBuffer))
      strm.Read_t(achBuffer, sizeof(achBuffer));
  };
  double dStored, dDisk, dStoredFirst = 1e30, dDiskFirst, dStoredAgain, dDiskFile;
  Pair(
      9, dStoredFirst, dDiskFirst,
      [&] { dStoredFirst = std::min(dStoredFirst, ReadFirstTime("stored.bin")); }, ReadDiskSame);
  Pair(
      9, dStored, dDisk, [&] { ReadEntry("stored.bin"); }, ReadDiskSame);
  Pair(
      9, dStoredAgain, dDiskFile, [&] { ReadEntry("stored.bin"); }, ReadDiskFile);
  Compare("  stored entry, first read", dStoredFirst, "disk, same offsets", dDiskFirst);
  Compare("  stored entry, read again", dStored, "disk, same offsets", dDisk);
  Compare("  stored entry, read again", dStoredAgain, "disk, file of its own", dDiskFile);
  printf("  -> first read (CRC-32 checked) %.3fx, later reads %.3fx the disk stream's time; %.0f "
         "MB/s\n",
         dStoredFirst / dDiskFirst, dStored / dDisk, slBig / (dStored / 1e9) / 1e6);
  filClearArchives();

  // 10000 entries in 37 x 5 directories.
  std::vector<std::string> astrData(7);
  for (int i = 0; i < 7; i++)
    astrData[i] = std::string(i, 'x');
  std::vector<Entry> ae;
  unsigned long ul = 41;
  static const char *const astrExtensions[3] = {"tex", "wld", "mdl"};
  for (int i = 0; i < 10000; i++) {
    ul = ul * 1103515245UL + 12345UL;
    char strName[96];
    sprintf(strName, "Content/Group%02d/Sub%d/file_%05lu_%d.%s", i % 37, i % 5, (ul >> 16) % 100000,
            i, astrExtensions[(ul >> 8) % 3]);
    ae.push_back({strName, &astrData[i % 7], false});
  }
  WriteFile("many.gro", BuildZip(ae));
  double dIndex = NsPerOp(1, [&] {
    filAddArchive("many.gro");
    filClearArchives();
  });
  filAddArchive("many.gro");
  printf("Mounting 10000 entries: %.1f ms (goal: at most 50 ms); %ld entries, %ld directories\n",
         dIndex / 1e6, filGetZipEntryCount(), filGetZipDirCount());
  double dExists =
      NsPerOp(10000, [&] { Keep(filExistsInZip("Content/Group17/Sub3/file_00000_9999.tex")); });
  Report("  filExistsInZip in 10000 entries", dExists);
  filClearArchives();

  // The end record behind a comment of 64 KiB: the tail is read once.
  std::string strSmall = "small";
  WriteFile("comment.gro", BuildZip({{"a.txt", &strSmall, false}}, std::string(65535, 'c')));
  WriteFile("nocomment.gro", BuildZip({{"a.txt", &strSmall, false}}));
  double dComment = NsPerOp(20, [&] {
    filAddArchive("comment.gro");
    filClearArchives();
  });
  double dNoComment = NsPerOp(20, [&] {
    filAddArchive("nocomment.gro");
    filClearArchives();
  });
  Compare("Mounting behind a 64 KiB comment", dComment, "without comment", dNoComment);

  for (const char *strFile : {"big.bin", "big.gro", "many.gro", "comment.gro", "nocomment.gro"}) {
    try {
      filDeleteFile_t(strFile);
    } catch (CException &) {
    }
  }
  RemoveDirectoryA(filGetSysRootDir());
}

int main()
{
  try {
    Run_t();
  } catch (CException &ex) {
    printf("Failed: %s\n", ex.GetDescription());
    return 1;
  }
  return 0;
}
