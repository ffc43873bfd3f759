// The three block compressors and the packed-stream wrappers. Packed blocks are also checked
// against other implementations: the reference coders and Python's zlib of
// tools/make_test_archives.py (their blocks are in the test data), and zlib's own uncompress.
// The blocks packed here are left in TestData/Out for `make_test_archives.py --verify`.
#include "ArchivesTestSupport.h"

#include <limits.h>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

std::string Mixed(unsigned long ulSeed, long slSize)
{
  std::string str;
  unsigned long ul = ulSeed;
  auto Next = [&ul] {
    ul = ul * 1103515245UL + 12345UL;
    return ul >> 16;
  };
  while ((long)str.size() < slSize) {
    unsigned long ulKind = Next() % 4;
    long ct = 1 + (long)(Next() % 200);
    if (ulKind == 0) {
      str.append(ct, (char)Next());
    } else if (ulKind == 1) {
      for (long i = 0; i < ct; i++) str += (char)Next();
    } else if (ulKind == 2) {
      for (long i = 0; i < ct; i++) str += "abcab"[Next() % 5];
    } else {
      str += "the quick brown fox jumps over the lazy dog ";
    }
  }
  str.resize(slSize);
  return str;
}

// Packs into a buffer of the needed size; the packed bytes, or "<failed>".
std::string Pack(CCompressor &cmp, const std::string &str)
{
  long slCapacity = cmp.NeededDestinationSize((long)str.size());
  std::string strOut(slCapacity, '\0');
  long slPacked = slCapacity;
  if (!cmp.Pack(str.data(), (long)str.size(), &strOut[0], slPacked)) return "<failed>";
  strOut.resize(slPacked);
  return strOut;
}

// Unpacks from a guarded copy into a guarded buffer of the given capacity.
std::string Unpack(CCompressor &cmp, const std::string &strPacked, long slCapacity)
{
  CGuardedBuffer gbIn(strPacked);
  CGuardedBuffer gbOut(slCapacity);
  long slSize = slCapacity;
  if (!cmp.Unpack(gbIn.Data(), gbIn.Size(), gbOut.Data(), slSize)) return "<failed>";
  return std::string((const char *)gbOut.Data(), slSize);
}

std::string Bytes(std::initializer_list<int> ai)
{
  std::string str;
  for (int i : ai) str += (char)i;
  return str;
}

// Every reference block: our packing gives the same bytes, our unpacking the source.
void CheckReferenceBlocks(CCompressor &cmp, const char *strPrefix, const char *strOurExt)
{
  for (int i = 0; i < 6; i++) {
    std::string strName = std::string(strPrefix) + "_ref_" + std::to_string(i);
    SCOPED_TRACE(strName);
    std::string strSource = TestData((strName + ".src").c_str());
    std::string strPacked = TestData((strName + ".pak").c_str());
    EXPECT_EQ(Pack(cmp, strSource), strPacked);
    EXPECT_EQ(Unpack(cmp, strPacked, (long)strSource.size()), strSource);
  }
  // A block of ours for the reference decoder.
  std::string strSource = Mixed(77, 50000);
  std::string strPacked = Pack(cmp, strSource);
  WriteOutFile(std::string(strPrefix) + "_ours.src", strSource.data(), (long)strSource.size());
  WriteOutFile(std::string(strPrefix) + "_ours" + strOurExt, strPacked.data(),
               (long)strPacked.size());
}

} // namespace

TEST(RLECompressor, PacketsAsDescribed)
{
  CRLEBBCompressor rle;
  // Runs are counted from the end.
  EXPECT_EQ(Pack(rle, std::string(300, 'x')), Bytes({-43, 'x', -127, 'x', -127, 'x'}));
  EXPECT_EQ(Pack(rle, "ABBBBB"), Bytes({1, 'A', 'B', -3, 'B'}));
  EXPECT_EQ(Pack(rle, ""), "");
  EXPECT_EQ(Unpack(rle, "", 0), "");
  EXPECT_EQ(rle.NeededDestinationSize(128), 134);
  // The needed size does not overflow, and a capacity below it is refused.
  EXPECT_EQ(rle.NeededDestinationSize(0x7F000000), 0x7F000000 + 0x7F000000 / 128 + 5);
  EXPECT_EQ(rle.NeededDestinationSize(LONG_MAX), -1);
  EXPECT_EQ(rle.NeededDestinationSize(-1), -1);
  char achOut[300];
  long slCapacity = 300 * 129 / 128 + 4;
  EXPECT_EQ(rle.Pack(std::string(300, 'x').data(), 300, achOut, slCapacity), 0);
  CheckReferenceBlocks(rle, "rle", ".rle");
}

TEST(RLECompressor, DamagedInputFailsWithinItsBuffers)
{
  CRLEBBCompressor rle;
  EXPECT_EQ(Unpack(rle, Bytes({-3}), 100), "<failed>");          // a run without its byte
  EXPECT_EQ(Unpack(rle, Bytes({5, 'a', 'b'}), 100), "<failed>"); // literals cut short
  EXPECT_EQ(Unpack(rle, Bytes({-127, 'a'}), 127), "<failed>");   // more than the capacity
  EXPECT_EQ(Unpack(rle, Bytes({2, 'a', 'b', 'c'}), 2), "<failed>");
  EXPECT_EQ(Unpack(rle, Bytes({-127, 'a'}), 128), std::string(128, 'a'));
  // Any packing fits the needed size exactly, whatever the mix of packets.
  for (int i = 0; i < 40; i++) {
    std::string str = Mixed(i, i * 397 + (i % 3) * 128);
    CGuardedBuffer gbSource(str);
    CGuardedBuffer gbPacked(rle.NeededDestinationSize((long)str.size()));
    long slPacked = gbPacked.Size();
    ASSERT_EQ(rle.Pack(gbSource.Data(), gbSource.Size(), gbPacked.Data(), slPacked), 1);
    std::string strPacked((const char *)gbPacked.Data(), slPacked);
    EXPECT_EQ(Unpack(rle, strPacked, (long)str.size()), str);
  }
}

TEST(LZCompressor, FormatAsDescribed)
{
  CLZCompressor lz;
  EXPECT_EQ(lz.NeededDestinationSize(100), 356);
  EXPECT_EQ(lz.NeededDestinationSize(LONG_MAX - 100), -1);
  // Incompressible: the flag byte 1 and the source.
  std::string strRandom = Mixed(5, 0);
  for (int i = 0; i < 20; i++) strRandom += (char)(i * 97 + 13);
  std::string strPacked = Pack(lz, strRandom);
  EXPECT_EQ(strPacked, "\x01" + strRandom);
  EXPECT_EQ(Pack(lz, ""), "\x01");
  EXPECT_EQ(Unpack(lz, "\x01", 0), "");
  EXPECT_EQ(Unpack(lz, std::string(1, '\0'), 0), "");
  // A copy with offset 1 and length 16 repeats the previous byte.
  EXPECT_EQ(Unpack(lz, Bytes({0, 2, 0, 'q', 0x0F, 0x01}), 100), std::string(17, 'q'));
  // The last group's control word holds only its items.
  strPacked = Pack(lz, std::string(5000, 'z'));
  EXPECT_EQ(strPacked[0], 0);
  EXPECT_EQ(Unpack(lz, strPacked, 5000), std::string(5000, 'z'));
  char achOut[400];
  long slCapacity = 355;
  EXPECT_EQ(lz.Pack(strRandom.data(), 100, achOut, slCapacity), 0);
  CheckReferenceBlocks(lz, "lz", ".lz");
}

TEST(LZCompressor, DamagedInputFailsWithinItsBuffers)
{
  CLZCompressor lz;
  EXPECT_EQ(Unpack(lz, "", 10), "<failed>");
  EXPECT_EQ(Unpack(lz, Bytes({2, 'a'}), 10), "<failed>");                    // unknown flag
  EXPECT_EQ(Unpack(lz, Bytes({0, 1}), 10), "<failed>");                      // control word cut
  EXPECT_EQ(Unpack(lz, Bytes({0, 2, 0, 'q', 0x0F}), 100), "<failed>");       // copy item cut
  EXPECT_EQ(Unpack(lz, Bytes({0, 2, 0, 'q', 0x0F, 0x02}), 100), "<failed>"); // before the start
  EXPECT_EQ(Unpack(lz, Bytes({0, 1, 0, 0x0F, 0x00}), 100), "<failed>");      // offset 0
  EXPECT_EQ(Unpack(lz, Bytes({0, 2, 0, 'q', 0x0F, 0x01}), 16), "<failed>");  // beyond capacity
  EXPECT_EQ(Unpack(lz, Bytes({1, 'a', 'b'}), 1), "<failed>");
  for (int i = 0; i < 40; i++) {
    std::string str = Mixed(i + 100, i * 511 + 17);
    std::string strPacked = Pack(lz, str);
    EXPECT_EQ(Unpack(lz, strPacked, (long)str.size()), str);
    // Exactly the capacity it needs, and not a byte less.
    if (!str.empty()) {
      EXPECT_EQ(Unpack(lz, strPacked, (long)str.size() - 1), "<failed>");
    }
  }
}

TEST(zlibCompressor, InteroperatesWithZlibAndPython)
{
  CzlibCompressor zc;
  EXPECT_EQ(zc.NeededDestinationSize(1000), 1132);
  std::string strEmpty = Pack(zc, "");
  EXPECT_EQ(Unpack(zc, strEmpty, 0), "");
  // Python's blocks unpack here.
  for (int i = 0; i < 6; i++) {
    std::string strName = "zlib_py_" + std::to_string(i);
    SCOPED_TRACE(strName);
    std::string strSource = TestData((strName + ".src").c_str());
    std::string strPacked = TestData((strName + ".z").c_str());
    EXPECT_EQ(Unpack(zc, strPacked, (long)strSource.size()), strSource);
  }
  // Ours unpack with zlib's own uncompress (and with Python's, by make_test_archives.py --verify).
  std::string strSource = Mixed(3, 200000);
  std::string strPacked = Pack(zc, strSource);
  std::string strUnpacked(strSource.size(), '\0');
  uLongf ulSize = (uLongf)strUnpacked.size();
  ASSERT_EQ(uncompress((Bytef *)&strUnpacked[0], &ulSize, (const Bytef *)strPacked.data(),
                       (uLong)strPacked.size()),
            Z_OK);
  EXPECT_EQ(strUnpacked, strSource);
  WriteOutFile("zlib_ours.src", strSource.data(), (long)strSource.size());
  WriteOutFile("zlib_ours.z", strPacked.data(), (long)strPacked.size());
  // Failures are reported by the result.
  EXPECT_EQ(Unpack(zc, strPacked, (long)strSource.size() - 1), "<failed>");
  std::string strDamaged = strPacked;
  strDamaged[strDamaged.size() / 2] ^= 0x55;
  EXPECT_EQ(Unpack(zc, strDamaged, (long)strSource.size()), "<failed>");
  EXPECT_EQ(Unpack(zc, strPacked.substr(0, strPacked.size() - 1), (long)strSource.size()),
            "<failed>");
  char achOut[8];
  long slCapacity = 8;
  EXPECT_EQ(zc.Pack(strSource.data(), 1000, achOut, slCapacity), 0);
}

TEST(PackedStreams, RoundTripAndCheckedSizes)
{
  CRLEBBCompressor rle;
  CLZCompressor lz;
  CzlibCompressor zc;
  const std::string strSource = Mixed(9, 30000);
  for (CCompressor *pcmp : {(CCompressor *)&rle, (CCompressor *)&lz, (CCompressor *)&zc}) {
    CStream strmIn, strmPacked, strmOut;
    strmIn.CreateMemoryStream_t(strSource.data(), (long)strSource.size());
    strmIn.SeekBeg_t(100); // the whole stream is packed, wherever it stands
    strmPacked.CreateMemoryStream();
    pcmp->PackStream_t(strmIn, strmPacked);
    // The unpacked size, the packed size, then the packed bytes as a counted string.
    long aslHeader[3];
    strmPacked.SeekBeg_t(0);
    strmPacked.Read_t(aslHeader, 12);
    EXPECT_EQ(aslHeader[0], 30000);
    EXPECT_EQ(aslHeader[1], aslHeader[2]);
    EXPECT_EQ(strmPacked.GetSize(), 12 + aslHeader[1]);
    strmPacked.SeekBeg_t(0);
    strmOut.CreateMemoryStream();
    pcmp->UnpackStream_t(strmPacked, strmOut);
    EXPECT_EQ(strmOut.GetPosition(), 0);
    EXPECT_EQ(ReadToEnd(strmOut), strSource);

    std::string strPacked(strmPacked.GetSize(), '\0');
    strmPacked.SeekBeg_t(0);
    strmPacked.Read_t(&strPacked[0], (long)strPacked.size());
    auto Unpacking = [&](const std::string &str) {
      CStream strmBad, strmResult;
      strmBad.CreateMemoryStream_t(str.data(), (long)str.size());
      strmResult.CreateMemoryStream();
      return ThrownBy([&] { pcmp->UnpackStream_t(strmBad, strmResult); });
    };
    const std::string strError = "Error while unpacking a stream.";
    std::string str = strPacked;
    str[8] ^= 1; // the two packed sizes disagree
    EXPECT_EQ(Unpacking(str), strError);
    str = strPacked;
    str[4] ^= 1;
    str[8] ^= 1; // agree, but more than the stream holds
    EXPECT_EQ(Unpacking(str), strError);
    str = strPacked;
    str[0] ^= 1; // a different unpacked size
    EXPECT_EQ(Unpacking(str), strError);
    str = strPacked;
    str[3] = 0x7F; // an unpacked size nothing could unpack to: refused before allocating
    EXPECT_EQ(Unpacking(str), strError);
    str = strPacked;
    str[3] = (char)0x80;
    EXPECT_EQ(Unpacking(str), strError);
    EXPECT_EQ(Unpacking(strPacked.substr(0, 6)), "EOF reached! (<memory stream>)");
  }
}
