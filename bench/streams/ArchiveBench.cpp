// Group archives against zlib and the disk stream in the same process: sequential reads of a
// deflated entry against inflating the same data straight from memory, a stored entry against a
// plain disk file of the same bytes, every line of a deflated text against the same text on
// disk, mounting an archive of 10000 entries, and finding the end record behind a long comment.
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

// Milliseconds since `dStart` (a Now() reading).
double MsSince(double dStart)
{
  return (Now() - dStart) * 1e3;
}

// A spread of nanoseconds as milliseconds.
Spread InMs(Spread s)
{
  s.dMedian /= 1e6;
  s.dLow /= 1e6;
  s.dHigh /= 1e6;
  return s;
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

  // Every figure: ours and the reference in turn, in rounds, each round one timed run (ms).
  auto ReadEntry = [&](const char *strName) {
    double dStart = Now();
    CStream strm;
    strm.OpenFile_t(strName, "r");
    for (long sl = 0; sl < slBig; sl += sizeof(achBuffer))
      strm.Read_t(achBuffer, sizeof(achBuffer));
    return MsSince(dStart);
  };
  // Mounted afresh, so that the entry's CRC-32 is checked as on its first reading in a run.
  auto ReadFirstTime = [&](const char *strName) {
    filClearArchives();
    filAddArchive("big.gro");
    return ReadEntry(strName);
  };

  printf("Reading a 16 MiB entry (%.1f%% deflated) in 64 KiB reads, %d rounds\n",
         100.0 * strDeflated.size() / strBig.size(), ctDefaultRounds);
  auto InflateDirectly = [&] {
    double dStart = Now();
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
    return MsSince(dStart);
  };
  ReadFirstTime("deflated.bin"); // warm the disk cache of the system and first-use allocations
  InflateDirectly();
  Comparison cDeflatedFirst = Interleave(
      ctDefaultRounds, [&] { return ReadFirstTime("deflated.bin"); }, InflateDirectly);
  Comparison cDeflated = Interleave(
      ctDefaultRounds, [&] { return ReadEntry("deflated.bin"); }, InflateDirectly);
  Report("  deflated entry, first read", cDeflatedFirst, "zlib inflate", "ms");
  Report("  deflated entry, read again", cDeflated, "zlib inflate", "ms");
  printf("  -> %.3fx and %.3fx the time of zlib (goal: at most 1.05x), %.0f MB/s\n",
         1 / cDeflatedFirst.sRatio.dMedian, 1 / cDeflated.sRatio.dMedian,
         slBig / (cDeflated.sOurs.dMedian / 1e3) / 1e6);

  // The stored bytes against a file of their own read from 0, and through a disk stream at the
  // same offsets of the archive file (the same path through the read cache).
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
    double dStart = Now();
    CStream strm;
    strm.OpenFile_t("big.gro", "r");
    strm.SeekBeg_t(slStoredAt);
    for (long sl = 0; sl < slBig; sl += sizeof(achBuffer))
      strm.Read_t(achBuffer, sizeof(achBuffer));
    return MsSince(dStart);
  };
  auto ReadDiskFile = [&] {
    double dStart = Now();
    CStream strm;
    strm.OpenFile_t("big.bin", "r");
    for (long sl = 0; sl < slBig; sl += sizeof(achBuffer))
      strm.Read_t(achBuffer, sizeof(achBuffer));
    return MsSince(dStart);
  };
  ReadFirstTime("stored.bin");
  ReadDiskFile();
  Comparison cStoredFirst = Interleave(
      ctDefaultRounds, [&] { return ReadFirstTime("stored.bin"); }, ReadDiskFile);
  Comparison cStored = Interleave(
      ctDefaultRounds, [&] { return ReadEntry("stored.bin"); }, ReadDiskFile);
  Comparison cStoredSame = Interleave(
      ctDefaultRounds, [&] { return ReadEntry("stored.bin"); }, ReadDiskSame);
  Comparison cDiskSame = Interleave(ctDefaultRounds, ReadDiskSame, ReadDiskFile);
  Report("  stored entry, first read", cStoredFirst, "plain file", "ms");
  Report("  stored entry, read again", cStored, "plain file", "ms");
  Report("  stored entry, read again", cStoredSame, "disk, same offsets", "ms");
  Report("  disk stream at the entry's offsets", cDiskSame, "plain file", "ms");
  printf("  -> stored reads at %.3fx (CRC-32 checked) and %.3fx the speed of a plain file "
         "(goal: at least 0.95x); the disk stream alone at the entry's offset %.3fx; %.0f MB/s\n",
         cStoredFirst.sRatio.dMedian, cStored.sRatio.dMedian, cDiskSame.sRatio.dMedian,
         slBig / (cStored.sOurs.dMedian / 1e3) / 1e6);
  filClearArchives();

  // Every line of a 640 KB text: the line reader reads ahead and goes back at every line.
  std::string strLines;
  for (unsigned long i = 0; i < 10000; i++) {
    char strLine[80];
    sprintf(strLine, "line %05lu of a long text that is read line by line: %08lx.\r\n", i,
            (i * 2654435761UL) & 0xFFFFFFFFUL);
    strLines += strLine;
  }
  WriteFile("lines_disk.txt", strLines);
  WriteFile("lines.gro", BuildZip({{"lines.txt", &strLines, true}}));
  filAddArchive("lines.gro");
  auto ReadLines = [&](const char *strName) {
    double dStart = Now();
    CStream strm;
    strm.OpenFile_t(strName, "r");
    strm.ReadTextHeader_t();
    long ctLines = 0;
    while (!strm.IsAtEOF_t()) {
      Keep(strm.GetLine_t());
      ctLines++;
    }
    Keep(ctLines);
    return MsSince(dStart);
  };
  ReadLines("lines.txt");
  ReadLines("lines_disk.txt");
  long ctRestarts = filGetZipInflationRestarts();
  Comparison cLines = Interleave(
      ctDefaultRounds, [&] { return ReadLines("lines.txt"); },
      [&] { return ReadLines("lines_disk.txt"); });
  Report("Lines of a 640 KB deflated entry", cLines, "the file from disk", "ms");
  printf("  -> %.2fx the time of the disk file; %ld restarts of inflation\n",
         1 / cLines.sRatio.dMedian, filGetZipInflationRestarts() - ctRestarts);
  filClearArchives();

  // 10000 entries in 37 x 5 directories.
  std::vector<std::string> astrData(7);
  for (int i = 0; i < 7; i++) astrData[i] = std::string(i, 'x');
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
  Spread sMount = MeasureNs(1, [&] {
    filAddArchive("many.gro");
    filClearArchives();
  });
  Report("Mounting 10000 entries (goal: at most 50 ms)", InMs(sMount), "ms");
  filAddArchive("many.gro");
  printf("  %ld entries, %ld directories\n", filGetZipEntryCount(), filGetZipDirCount());
  Spread sExists =
      MeasureNs(10000, [&] { Keep(filExistsInZip("Content/Group17/Sub3/file_00000_9999.tex")); });
  Report("  filExistsInZip in 10000 entries", sExists);
  filClearArchives();

  // The end record behind a comment of 64 KiB: the tail is read once.
  std::string strSmall = "small";
  WriteFile("comment.gro", BuildZip({{"a.txt", &strSmall, false}}, std::string(65535, 'c')));
  WriteFile("nocomment.gro", BuildZip({{"a.txt", &strSmall, false}}));
  CompareAndReport(
      "Mounting behind a 64 KiB comment", 20,
      [&] {
        filAddArchive("comment.gro");
        filClearArchives();
      },
      "without comment",
      [&] {
        filAddArchive("nocomment.gro");
        filClearArchives();
      });

  for (const char *strFile : {"big.bin", "big.gro", "lines_disk.txt", "lines.gro", "many.gro",
                              "comment.gro", "nocomment.gro"}) {
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
