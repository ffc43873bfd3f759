#pragma once
// A keyed text hash for the library's own indexes over names that come from outside (file lists,
// translation tables). The text hashes of Hash.h are easy to collide on purpose, and a file full
// of such names would turn every probe of an index into a walk over all of them. This hash mixes
// in a key drawn once per process, so no file can be prepared to collide in it.
//
// The mixing is HalfSipHash-1-3 (32-bit words, which suits the 32-bit target) fed one character
// at a time. Values differ from run to run: never store them or let an order depend on them.
// Private to the library.
#include "core/platform/Timer.h"

#include <stdint.h>

namespace QuennelEngine {

class CKeyedHash {
public:
  CKeyedHash()
  {
    const uint32_t *pulKey = Key();
    kh_v0 = pulKey[0];
    kh_v1 = pulKey[1];
    kh_v2 = 0x6C796765UL ^ pulKey[0];
    kh_v3 = 0x74656462UL ^ pulKey[1];
  }
  // Adds one character.
  void Add(unsigned char ub)
  {
    kh_ulWord |= (uint32_t)ub << (8 * (kh_ctBytes & 3));
    if ((++kh_ctBytes & 3) == 0) {
      Mix(kh_ulWord);
      kh_ulWord = 0;
    }
  }
  // Adds `ct` characters.
  void Add(const char *pch, long ct)
  {
    for (long i = 0; i < ct; i++) Add((unsigned char)pch[i]);
  }
  // The hash of everything added.
  unsigned long Finish(void)
  {
    const uint32_t ulLast = kh_ulWord | (kh_ctBytes << 24);
    Mix(ulLast);
    kh_v2 ^= 0xFF;
    for (int i = 0; i < 3; i++) Round();
    return (unsigned long)(kh_v1 ^ kh_v3);
  }

private:
  static uint32_t Rotate(uint32_t ul, int ctBits) { return (ul << ctBits) | (ul >> (32 - ctBits)); }
  void Round(void)
  {
    kh_v0 += kh_v1;
    kh_v1 = Rotate(kh_v1, 5) ^ kh_v0;
    kh_v0 = Rotate(kh_v0, 16);
    kh_v2 += kh_v3;
    kh_v3 = Rotate(kh_v3, 8) ^ kh_v2;
    kh_v0 += kh_v3;
    kh_v3 = Rotate(kh_v3, 7) ^ kh_v0;
    kh_v2 += kh_v1;
    kh_v1 = Rotate(kh_v1, 13) ^ kh_v2;
    kh_v2 = Rotate(kh_v2, 16);
  }
  void Mix(uint32_t ulWord)
  {
    kh_v3 ^= ulWord;
    Round();
    kh_v0 ^= ulWord;
  }
  // The process's key: the time-stamp counter at first use and addresses that the system places
  // differently in each run. Not secret enough for cryptography, enough that a file prepared in
  // advance cannot know it.
  static const uint32_t *Key(void)
  {
    static const uint32_t *_pulKey = MakeKey();
    return _pulKey;
  }
  static const uint32_t *MakeKey(void)
  {
    static uint32_t aulKey[2];
    int iOnStack = 0;
    const uint64_t ullTicks = (uint64_t)timReadTimeStampCounter();
    aulKey[0] = (uint32_t)ullTicks ^ ((uint32_t)(uintptr_t)&iOnStack * 0x9E3779B1UL);
    aulKey[1] = (uint32_t)(ullTicks >> 32) ^ ((uint32_t)(uintptr_t)&aulKey * 0x85EBCA77UL) ^
                (uint32_t)(ullTicks * 0xC2B2AE3DULL);
    return aulKey;
  }

  uint32_t kh_v0, kh_v1, kh_v2, kh_v3;
  uint32_t kh_ulWord = 0;
  uint32_t kh_ctBytes = 0;
};

} // namespace QuennelEngine
