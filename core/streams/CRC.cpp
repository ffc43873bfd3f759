// CRC-32 over blocks. Short tails go through slicing-by-8 tables (eight lookups per eight bytes);
// blocks of 64 bytes and more are folded with carry-less multiplication when the processor has
// it (with 256-bit instructions where there are), which runs several times faster than any
// table. All give the same register, so a block may be split anywhere between calls.
#include "core/streams/CRC.h"

#include <cpuid.h>
#include <emmintrin.h>
#include <immintrin.h>
#include <string.h>
#include <wmmintrin.h>

namespace QuennelEngine {

const unsigned long _crc_aulCRCTable[256] = {
    0x00000000UL, 0x77073096UL, 0xEE0E612CUL, 0x990951BAUL, 0x076DC419UL, 0x706AF48FUL,
    0xE963A535UL, 0x9E6495A3UL, 0x0EDB8832UL, 0x79DCB8A4UL, 0xE0D5E91EUL, 0x97D2D988UL,
    0x09B64C2BUL, 0x7EB17CBDUL, 0xE7B82D07UL, 0x90BF1D91UL, 0x1DB71064UL, 0x6AB020F2UL,
    0xF3B97148UL, 0x84BE41DEUL, 0x1ADAD47DUL, 0x6DDDE4EBUL, 0xF4D4B551UL, 0x83D385C7UL,
    0x136C9856UL, 0x646BA8C0UL, 0xFD62F97AUL, 0x8A65C9ECUL, 0x14015C4FUL, 0x63066CD9UL,
    0xFA0F3D63UL, 0x8D080DF5UL, 0x3B6E20C8UL, 0x4C69105EUL, 0xD56041E4UL, 0xA2677172UL,
    0x3C03E4D1UL, 0x4B04D447UL, 0xD20D85FDUL, 0xA50AB56BUL, 0x35B5A8FAUL, 0x42B2986CUL,
    0xDBBBC9D6UL, 0xACBCF940UL, 0x32D86CE3UL, 0x45DF5C75UL, 0xDCD60DCFUL, 0xABD13D59UL,
    0x26D930ACUL, 0x51DE003AUL, 0xC8D75180UL, 0xBFD06116UL, 0x21B4F4B5UL, 0x56B3C423UL,
    0xCFBA9599UL, 0xB8BDA50FUL, 0x2802B89EUL, 0x5F058808UL, 0xC60CD9B2UL, 0xB10BE924UL,
    0x2F6F7C87UL, 0x58684C11UL, 0xC1611DABUL, 0xB6662D3DUL, 0x76DC4190UL, 0x01DB7106UL,
    0x98D220BCUL, 0xEFD5102AUL, 0x71B18589UL, 0x06B6B51FUL, 0x9FBFE4A5UL, 0xE8B8D433UL,
    0x7807C9A2UL, 0x0F00F934UL, 0x9609A88EUL, 0xE10E9818UL, 0x7F6A0DBBUL, 0x086D3D2DUL,
    0x91646C97UL, 0xE6635C01UL, 0x6B6B51F4UL, 0x1C6C6162UL, 0x856530D8UL, 0xF262004EUL,
    0x6C0695EDUL, 0x1B01A57BUL, 0x8208F4C1UL, 0xF50FC457UL, 0x65B0D9C6UL, 0x12B7E950UL,
    0x8BBEB8EAUL, 0xFCB9887CUL, 0x62DD1DDFUL, 0x15DA2D49UL, 0x8CD37CF3UL, 0xFBD44C65UL,
    0x4DB26158UL, 0x3AB551CEUL, 0xA3BC0074UL, 0xD4BB30E2UL, 0x4ADFA541UL, 0x3DD895D7UL,
    0xA4D1C46DUL, 0xD3D6F4FBUL, 0x4369E96AUL, 0x346ED9FCUL, 0xAD678846UL, 0xDA60B8D0UL,
    0x44042D73UL, 0x33031DE5UL, 0xAA0A4C5FUL, 0xDD0D7CC9UL, 0x5005713CUL, 0x270241AAUL,
    0xBE0B1010UL, 0xC90C2086UL, 0x5768B525UL, 0x206F85B3UL, 0xB966D409UL, 0xCE61E49FUL,
    0x5EDEF90EUL, 0x29D9C998UL, 0xB0D09822UL, 0xC7D7A8B4UL, 0x59B33D17UL, 0x2EB40D81UL,
    0xB7BD5C3BUL, 0xC0BA6CADUL, 0xEDB88320UL, 0x9ABFB3B6UL, 0x03B6E20CUL, 0x74B1D29AUL,
    0xEAD54739UL, 0x9DD277AFUL, 0x04DB2615UL, 0x73DC1683UL, 0xE3630B12UL, 0x94643B84UL,
    0x0D6D6A3EUL, 0x7A6A5AA8UL, 0xE40ECF0BUL, 0x9309FF9DUL, 0x0A00AE27UL, 0x7D079EB1UL,
    0xF00F9344UL, 0x8708A3D2UL, 0x1E01F268UL, 0x6906C2FEUL, 0xF762575DUL, 0x806567CBUL,
    0x196C3671UL, 0x6E6B06E7UL, 0xFED41B76UL, 0x89D32BE0UL, 0x10DA7A5AUL, 0x67DD4ACCUL,
    0xF9B9DF6FUL, 0x8EBEEFF9UL, 0x17B7BE43UL, 0x60B08ED5UL, 0xD6D6A3E8UL, 0xA1D1937EUL,
    0x38D8C2C4UL, 0x4FDFF252UL, 0xD1BB67F1UL, 0xA6BC5767UL, 0x3FB506DDUL, 0x48B2364BUL,
    0xD80D2BDAUL, 0xAF0A1B4CUL, 0x36034AF6UL, 0x41047A60UL, 0xDF60EFC3UL, 0xA867DF55UL,
    0x316E8EEFUL, 0x4669BE79UL, 0xCB61B38CUL, 0xBC66831AUL, 0x256FD2A0UL, 0x5268E236UL,
    0xCC0C7795UL, 0xBB0B4703UL, 0x220216B9UL, 0x5505262FUL, 0xC5BA3BBEUL, 0xB2BD0B28UL,
    0x2BB45A92UL, 0x5CB36A04UL, 0xC2D7FFA7UL, 0xB5D0CF31UL, 0x2CD99E8BUL, 0x5BDEAE1DUL,
    0x9B64C2B0UL, 0xEC63F226UL, 0x756AA39CUL, 0x026D930AUL, 0x9C0906A9UL, 0xEB0E363FUL,
    0x72076785UL, 0x05005713UL, 0x95BF4A82UL, 0xE2B87A14UL, 0x7BB12BAEUL, 0x0CB61B38UL,
    0x92D28E9BUL, 0xE5D5BE0DUL, 0x7CDCEFB7UL, 0x0BDBDF21UL, 0x86D3D2D4UL, 0xF1D4E242UL,
    0x68DDB3F8UL, 0x1FDA836EUL, 0x81BE16CDUL, 0xF6B9265BUL, 0x6FB077E1UL, 0x18B74777UL,
    0x88085AE6UL, 0xFF0F6A70UL, 0x66063BCAUL, 0x11010B5CUL, 0x8F659EFFUL, 0xF862AE69UL,
    0x616BFFD3UL, 0x166CCF45UL, 0xA00AE278UL, 0xD70DD2EEUL, 0x4E048354UL, 0x3903B3C2UL,
    0xA7672661UL, 0xD06016F7UL, 0x4969474DUL, 0x3E6E77DBUL, 0xAED16A4AUL, 0xD9D65ADCUL,
    0x40DF0B66UL, 0x37D83BF0UL, 0xA9BCAE53UL, 0xDEBB9EC5UL, 0x47B2CF7FUL, 0x30B5FFE9UL,
    0xBDBDF21CUL, 0xCABAC28AUL, 0x53B39330UL, 0x24B4A3A6UL, 0xBAD03605UL, 0xCDD70693UL,
    0x54DE5729UL, 0x23D967BFUL, 0xB3667A2EUL, 0xC4614AB8UL, 0x5D681B02UL, 0x2A6F2B94UL,
    0xB40BBE37UL, 0xC30C8EA1UL, 0x5A05DF1BUL, 0x2D02EF8DUL,
};

namespace {

// Slicing tables: row k maps a byte to its effect on the register k bytes further on.
struct SlicingTables {
  unsigned int aul[8][256];
};

constexpr SlicingTables MakeSlicingTables(void)
{
  SlicingTables st = {};
  for (unsigned int i = 0; i < 256; i++) {
    unsigned int ul = i;
    for (int iBit = 0; iBit < 8; iBit++) ul = (ul & 1) ? (ul >> 1) ^ 0xEDB88320u : ul >> 1;
    st.aul[0][i] = ul;
  }
  for (int k = 1; k < 8; k++) {
    for (unsigned int i = 0; i < 256; i++) {
      unsigned int ul = st.aul[k - 1][i];
      st.aul[k][i] = (ul >> 8) ^ st.aul[0][ul & 0xFF];
    }
  }
  return st;
}

constexpr SlicingTables _st = MakeSlicingTables();

inline unsigned int Load32(const unsigned char *pub)
{
  unsigned int ul;
  memcpy(&ul, pub, 4);
  return ul;
}

unsigned int UpdateSliced(unsigned int ulCRC, const unsigned char *pub, long slSize)
{
  while (slSize > 0 && ((size_t)pub & 3) != 0) {
    ulCRC = _st.aul[0][(ulCRC ^ *pub++) & 0xFF] ^ (ulCRC >> 8);
    slSize--;
  }
  while (slSize >= 8) {
    unsigned int ulOne = Load32(pub) ^ ulCRC;
    unsigned int ulTwo = Load32(pub + 4);
    ulCRC = _st.aul[7][ulOne & 0xFF] ^ _st.aul[6][(ulOne >> 8) & 0xFF] ^
            _st.aul[5][(ulOne >> 16) & 0xFF] ^ _st.aul[4][ulOne >> 24] ^ _st.aul[3][ulTwo & 0xFF] ^
            _st.aul[2][(ulTwo >> 8) & 0xFF] ^ _st.aul[1][(ulTwo >> 16) & 0xFF] ^
            _st.aul[0][ulTwo >> 24];
    pub += 8;
    slSize -= 8;
  }
  while (slSize-- > 0) ulCRC = _st.aul[0][(ulCRC ^ *pub++) & 0xFF] ^ (ulCRC >> 8);
  return ulCRC;
}

// Folding constants of the polynomial: x^(4*128+32), x^(4*128-32) mod P for the four-lane loop,
// x^(128+32), x^(128-32) for one lane, x^64 for the last fold, then P' and the Barrett constant.
alignas(16) const unsigned long long _aullK1K2[2] = {0x0154442BD4ULL, 0x01C6E41596ULL};
alignas(16) const unsigned long long _aullK3K4[2] = {0x01751997D0ULL, 0x00CCAA009EULL};
alignas(16) const unsigned long long _aullK5[2] = {0x0163CD6124ULL, 0};
alignas(16) const unsigned long long _aullPoly[2] = {0x01DB710641ULL, 0x01F7011641ULL};

// 128 bits folded over 1024 for the eight-lane loop of the 256-bit instructions.
const unsigned long long _ullK8A = 0x01E88EF372ULL;
const unsigned long long _ullK8B = 0x014A7FE880ULL;

// Four lanes of 16 bytes (what was folded so far) and `slSize` more bytes, a multiple of 16:
// the lanes are folded into one, the bytes into it, and the 128 bits reduced to the register.
__attribute__((always_inline, target("sse2,pclmul"))) inline unsigned int
FinishFolding(__m128i x1, __m128i x2, __m128i x3, __m128i x4, const unsigned char *pub, long slSize)
{
  __m128i xK = _mm_load_si128((const __m128i *)_aullK3K4);
  __m128i x5 = _mm_clmulepi64_si128(x1, xK, 0x00);
  x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, xK, 0x11), x2), x5);
  x5 = _mm_clmulepi64_si128(x1, xK, 0x00);
  x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, xK, 0x11), x3), x5);
  x5 = _mm_clmulepi64_si128(x1, xK, 0x00);
  x1 = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x1, xK, 0x11), x4), x5);
  while (slSize >= 16) {
    x5 = _mm_clmulepi64_si128(x1, xK, 0x00);
    x1 = _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x1, xK, 0x11), _mm_loadu_si128((const __m128i *)pub)),
        x5);
    pub += 16;
    slSize -= 16;
  }
  // 128 bits to 64, then to 32 with the Barrett reduction.
  const __m128i xMask32 = _mm_setr_epi32(-1, 0, -1, 0);
  x2 = _mm_clmulepi64_si128(x1, xK, 0x10);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
  xK = _mm_load_si128((const __m128i *)_aullK5);
  x2 = _mm_srli_si128(x1, 4);
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, xMask32), xK, 0x00), x2);
  xK = _mm_load_si128((const __m128i *)_aullPoly);
  x2 = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, xMask32), xK, 0x10), xMask32);
  x2 = _mm_clmulepi64_si128(x2, xK, 0x00);
  x1 = _mm_xor_si128(x1, x2);
  return (unsigned int)_mm_cvtsi128_si32(_mm_srli_si128(x1, 4));
}

// The register after `slSize` bytes (at least 64, a multiple of 16), folded 64 bytes at a time.
// The stack is realigned: Windows only promises 4 bytes to a 32-bit callee.
__attribute__((target("sse2,pclmul"), force_align_arg_pointer)) unsigned int
UpdateFolded(unsigned int ulCRC, const unsigned char *pub, long slSize)
{
  __m128i x1 = _mm_loadu_si128((const __m128i *)(pub + 0x00));
  __m128i x2 = _mm_loadu_si128((const __m128i *)(pub + 0x10));
  __m128i x3 = _mm_loadu_si128((const __m128i *)(pub + 0x20));
  __m128i x4 = _mm_loadu_si128((const __m128i *)(pub + 0x30));
  x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128((int)ulCRC));
  __m128i xK = _mm_load_si128((const __m128i *)_aullK1K2);
  pub += 64;
  slSize -= 64;
  while (slSize >= 64) {
    __m128i x5 = _mm_clmulepi64_si128(x1, xK, 0x00);
    __m128i x6 = _mm_clmulepi64_si128(x2, xK, 0x00);
    __m128i x7 = _mm_clmulepi64_si128(x3, xK, 0x00);
    __m128i x8 = _mm_clmulepi64_si128(x4, xK, 0x00);
    x1 = _mm_clmulepi64_si128(x1, xK, 0x11);
    x2 = _mm_clmulepi64_si128(x2, xK, 0x11);
    x3 = _mm_clmulepi64_si128(x3, xK, 0x11);
    x4 = _mm_clmulepi64_si128(x4, xK, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), _mm_loadu_si128((const __m128i *)(pub + 0x00)));
    x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), _mm_loadu_si128((const __m128i *)(pub + 0x10)));
    x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), _mm_loadu_si128((const __m128i *)(pub + 0x20)));
    x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), _mm_loadu_si128((const __m128i *)(pub + 0x30)));
    pub += 64;
    slSize -= 64;
  }
  return FinishFolding(x1, x2, x3, x4, pub, slSize);
}

// The same with 256-bit instructions, 128 bytes at a time in eight lanes (at least 128 bytes).
__attribute__((target("avx2,pclmul,vpclmulqdq"), force_align_arg_pointer)) unsigned int
UpdateFoldedWide(unsigned int ulCRC, const unsigned char *pub, long slSize)
{
  __m256i y1 = _mm256_loadu_si256((const __m256i *)(pub + 0x00));
  __m256i y2 = _mm256_loadu_si256((const __m256i *)(pub + 0x20));
  __m256i y3 = _mm256_loadu_si256((const __m256i *)(pub + 0x40));
  __m256i y4 = _mm256_loadu_si256((const __m256i *)(pub + 0x60));
  y1 = _mm256_xor_si256(y1, _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, (int)ulCRC));
  __m256i yK = _mm256_set_epi64x(_ullK8B, _ullK8A, _ullK8B, _ullK8A);
  pub += 128;
  slSize -= 128;
  while (slSize >= 128) {
    y1 = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(y1, yK, 0x00),
                                           _mm256_clmulepi64_epi128(y1, yK, 0x11)),
                          _mm256_loadu_si256((const __m256i *)(pub + 0x00)));
    y2 = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(y2, yK, 0x00),
                                           _mm256_clmulepi64_epi128(y2, yK, 0x11)),
                          _mm256_loadu_si256((const __m256i *)(pub + 0x20)));
    y3 = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(y3, yK, 0x00),
                                           _mm256_clmulepi64_epi128(y3, yK, 0x11)),
                          _mm256_loadu_si256((const __m256i *)(pub + 0x40)));
    y4 = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(y4, yK, 0x00),
                                           _mm256_clmulepi64_epi128(y4, yK, 0x11)),
                          _mm256_loadu_si256((const __m256i *)(pub + 0x60)));
    pub += 128;
    slSize -= 128;
  }
  // Eight lanes to four: the first four folded over 512 bits onto the last four.
  yK = _mm256_set_epi64x(_aullK1K2[1], _aullK1K2[0], _aullK1K2[1], _aullK1K2[0]);
  __m256i yLow = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(y1, yK, 0x00),
                                                   _mm256_clmulepi64_epi128(y1, yK, 0x11)),
                                  y3);
  __m256i yHigh = _mm256_xor_si256(_mm256_xor_si256(_mm256_clmulepi64_epi128(y2, yK, 0x00),
                                                    _mm256_clmulepi64_epi128(y2, yK, 0x11)),
                                   y4);
  return FinishFolding(_mm256_castsi256_si128(yLow), _mm256_extracti128_si256(yLow, 1),
                       _mm256_castsi256_si128(yHigh), _mm256_extracti128_si256(yHigh, 1), pub,
                       slSize);
}

bool HasCarrylessMultiply(void)
{
  unsigned int eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
}

// The 256-bit form needs the instructions and the system's saving of the wide registers.
bool HasWideCarrylessMultiply(void)
{
  unsigned int eax, ebx, ecx, edx;
  if (!HasCarrylessMultiply() || !__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return false;
  unsigned int ulXCR0Low, ulXCR0High;
  __asm__("xgetbv" : "=a"(ulXCR0Low), "=d"(ulXCR0High) : "c"(0));
  if ((ulXCR0Low & 6) != 6) return false;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  return (ebx & bit_AVX2) != 0 && (ecx & bit_VPCLMULQDQ) != 0;
}

const bool _bFolding = HasCarrylessMultiply();
const bool _bWideFolding = HasWideCarrylessMultiply();

} // namespace

unsigned long crcUpdate(unsigned long ulCRC, const void *pvData, long slSize)
{
  if (slSize <= 0 || pvData == nullptr) return ulCRC;
  const unsigned char *pub = (const unsigned char *)pvData;
  unsigned int ul = (unsigned int)ulCRC;
  if (_bFolding && slSize >= 64) {
    long slFolded = slSize & ~15L;
    ul = _bWideFolding && slSize >= 256 ? UpdateFoldedWide(ul, pub, slFolded)
                                        : UpdateFolded(ul, pub, slFolded);
    pub += slFolded;
    slSize -= slFolded;
  }
  return UpdateSliced(ul, pub, slSize);
}

unsigned long crcCalculate(const void *pvData, long slSize)
{
  return crcUpdate(0xFFFFFFFFUL, pvData, slSize) ^ 0xFFFFFFFFUL;
}

} // namespace QuennelEngine
