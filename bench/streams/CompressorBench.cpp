// The block compressors and CRC-32 against zlib in the same process, interleaved in rounds: the
// run-length coder's speed both ways, the LZ coder against zlib level 1 (packing) and inflate
// (unpacking), the zlib coder against compress/uncompress, and CRC-32 against zlib's crc32.
#include "BenchSupport.h"
#include "core/Core.h"

#include <zlib.h>

#include <stdio.h>
#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

unsigned long _ulSeed = 12345;
unsigned long Next(void)
{
  _ulSeed = _ulSeed * 1103515245UL + 12345UL;
  return _ulSeed >> 16;
}

// Text-like bytes, as game content often is (scripts, text metadata, tables).
std::string TextLike(long slSize)
{
  std::vector<std::string> astrWords;
  for (int i = 0; i < 400; i++) {
    std::string strWord;
    for (unsigned long j = 0, ct = 2 + Next() % 8; j < ct; j++)
      strWord += (char)('a' + Next() % 26);
    astrWords.push_back(strWord);
  }
  std::string str;
  while ((long)str.size() < slSize) {
    str += astrWords[Next() % 400];
    str += Next() % 100 > 93 ? "\r\n" : " ";
  }
  str.resize(slSize);
  return str;
}

// Image-like bytes: rows of flat spans with noisy edges, the run-length coder's home ground.
std::string ImageLike(long slSize)
{
  std::string str;
  while ((long)str.size() < slSize) {
    unsigned long ulKind = Next() % 10;
    if (ulKind < 6) {
      str.append(4 + Next() % 120, (char)(Next() % 8));
    } else {
      for (unsigned long i = 0, ct = 1 + Next() % 40; i < ct; i++) str += (char)Next();
    }
  }
  str.resize(slSize);
  return str;
}

// Milliseconds of one call of `fn`.
template <class F> double Ms(F &fn)
{
  double d = Now();
  fn();
  return (Now() - d) * 1e3;
}

// The median milliseconds of one call of `fn` over the rounds.
template <class F> double MedianMs(F fn)
{
  std::vector<double> a;
  for (int i = 0; i < ctDefaultRounds; i++) a.push_back(Ms(fn));
  return Summarise(a).dMedian;
}

double MBps(long slBytes, double dMs)
{
  return slBytes / (dMs / 1e3) / 1e6;
}

// Ours against the reference, one call each per round, interleaved; printed in milliseconds.
template <class A, class B>
void Compare(const char *strWhat, A fnOurs, const char *strReference, B fnReference)
{
  Comparison c = Interleave(
      ctDefaultRounds, [&] { return Ms(fnOurs); }, [&] { return Ms(fnReference); });
  Report(strWhat, c, strReference, "ms");
}

void Coder(const char *strName, CCompressor &cmp, const std::string &str, std::string &strPacked)
{
  long slSize = (long)str.size();
  std::vector<char> aPacked(cmp.NeededDestinationSize(slSize));
  std::vector<char> aUnpacked(slSize);
  long slPacked = 0;
  double dPack = MedianMs([&] {
    slPacked = (long)aPacked.size();
    cmp.Pack(str.data(), slSize, aPacked.data(), slPacked);
  });
  double dUnpack = MedianMs([&] {
    long slUnpacked = slSize;
    cmp.Unpack(aPacked.data(), slPacked, aUnpacked.data(), slUnpacked);
  });
  printf("  %-24s packs to %5.1f%%: pack %7.0f MB/s, unpack %7.0f MB/s\n", strName,
         100.0 * slPacked / slSize, MBps(slSize, dPack), MBps(slSize, dUnpack));
  strPacked.assign(aPacked.data(), slPacked);
}

} // namespace

int main()
{
  const long slSize = 8 << 20;
  const std::string strText = TextLike(slSize);
  const std::string strImage = ImageLike(slSize);
  std::string strPacked;

  printf("Run-length coder (goal: 500 MB/s or more both ways)\n");
  CRLEBBCompressor rle;
  Coder("image-like 8 MiB", rle, strImage, strPacked);
  Coder("text-like 8 MiB", rle, strText, strPacked);

  printf("LZ coder against zlib (goal: unpacking 3x inflate, packing at least zlib level 1)\n");
  CLZCompressor lz;
  for (const std::string *pstr : {&strText, &strImage}) {
    const std::string &str = *pstr;
    const char *strKind = pstr == &strText ? "text-like" : "image-like";
    std::vector<Bytef> aZlib(compressBound(slSize));
    std::vector<Bytef> aOut(slSize);
    uLongf ulZlib1 = 0, ulZlib = 0;
    auto fnZlib1 = [&] {
      ulZlib1 = (uLongf)aZlib.size();
      compress2(aZlib.data(), &ulZlib1, (const Bytef *)str.data(), slSize, 1);
    };
    fnZlib1();
    std::vector<Bytef> aZlibDefault(compressBound(slSize));
    ulZlib = (uLongf)aZlibDefault.size();
    compress2(aZlibDefault.data(), &ulZlib, (const Bytef *)str.data(), slSize,
              Z_DEFAULT_COMPRESSION);
    auto fnInflate = [&] {
      uLongf ulOut = slSize;
      uncompress(aOut.data(), &ulOut, aZlibDefault.data(), ulZlib);
    };
    std::vector<char> aPacked(lz.NeededDestinationSize(slSize));
    long slPacked = 0;
    auto fnPack = [&] {
      slPacked = (long)aPacked.size();
      lz.Pack(str.data(), slSize, aPacked.data(), slPacked);
    };
    fnPack();
    auto fnUnpack = [&] {
      long slOut = slSize;
      lz.Unpack(aPacked.data(), slPacked, aOut.data(), slOut);
    };
    printf("  %s: LZ packs to %.1f%%, zlib level 1 to %.1f%%\n", strKind, 100.0 * slPacked / slSize,
           100.0 * ulZlib1 / slSize);
    Compare("    LZ pack", fnPack, "zlib level 1", fnZlib1);
    Compare("    LZ unpack", fnUnpack, "zlib inflate", fnInflate);
  }

  printf("zlib coder against zlib itself (goal: within 1.05x)\n");
  CzlibCompressor zc;
  {
    std::vector<Bytef> aZlib(compressBound(slSize));
    std::vector<Bytef> aOut(slSize);
    std::vector<char> aPacked(zc.NeededDestinationSize(slSize));
    uLongf ulZlib = 0;
    long slPacked = 0;
    auto fnCompress = [&] {
      ulZlib = (uLongf)aZlib.size();
      compress(aZlib.data(), &ulZlib, (const Bytef *)strText.data(), slSize);
    };
    auto fnPack = [&] {
      slPacked = (long)aPacked.size();
      zc.Pack(strText.data(), slSize, aPacked.data(), slPacked);
    };
    fnCompress();
    fnPack();
    auto fnUncompress = [&] {
      uLongf ulOut = slSize;
      uncompress(aOut.data(), &ulOut, aZlib.data(), ulZlib);
    };
    auto fnUnpack = [&] {
      long slOut = slSize;
      zc.Unpack(aPacked.data(), slPacked, aOut.data(), slOut);
    };
    Compare("  zlib coder pack", fnPack, "compress", fnCompress);
    Compare("  zlib coder unpack", fnUnpack, "uncompress", fnUncompress);
  }

  printf("CRC-32 against zlib's crc32 (goal: at least as fast)\n");
  for (long slBlock : {16L << 20, 4096L, 256L, 16L}) {
    static std::string strData = TextLike(16 << 20);
    long ctBlocks = (16 << 20) / slBlock;
    unsigned long ulOurs = 0, ulZlib = 0;
    auto fnOurs = [&] {
      for (long i = 0; i < ctBlocks; i++)
        ulOurs ^= crcCalculate(strData.data() + i * slBlock, slBlock);
    };
    auto fnZlib = [&] {
      for (long i = 0; i < ctBlocks; i++) {
        ulZlib ^= crc32(0, (const Bytef *)strData.data() + i * slBlock, (uInt)slBlock);
      }
    };
    char strWhat[64];
    sprintf(strWhat, "  crcCalculate of 16 MiB, %ld-byte blocks", slBlock);
    Compare(strWhat, fnOurs, "zlib crc32", fnZlib);
    // Both sides ran equally often, so the folded results agree when the values do.
    if (ulOurs != ulZlib) printf("  MISMATCH between crcCalculate and crc32\n");
  }
  return 0;
}
