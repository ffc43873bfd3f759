// The random tables, filled by a 32-bit xorshift generator (Marsaglia's 13, 17, 5) whose output
// is the same on every compiler: it uses only shifts and exclusive ors of unsigned 32-bit words.
#include "core/math/RandomTables.h"

#include <stdint.h>

namespace QuennelEngine {

namespace {

const long TABLE_SIZE = 4096;
const long TABLE_MASK = TABLE_SIZE - 1;

float g_afRandom[TABLE_SIZE];
long g_aiPerturbed[TABLE_SIZE];

inline uint32_t Next(uint32_t &ulState)
{
  ulState ^= ulState << 13;
  ulState ^= ulState >> 17;
  ulState ^= ulState << 5;
  return ulState;
}

struct InitializeAtLoad {
  InitializeAtLoad() { rtInitializeRandomTables(1); }
};
const InitializeAtLoad g_ial;

} // namespace

void rtInitializeRandomTables(unsigned long ulSeed)
{
  // Xorshift has no zero state: mix the seed into a fixed nonzero word (a seed equal to that
  // word would give zero, so it takes another).
  uint32_t ulState = (uint32_t)ulSeed ^ 0x9E3779B9u;
  if (ulState == 0) ulState = 0x6A09E667u;
  // The top 24 bits make a float of [0, 1) exactly.
  for (long i = 0; i < TABLE_SIZE; i++) {
    g_afRandom[i] = (float)(Next(ulState) >> 8) * (1.0f / 16777216.0f);
  }
  // Fisher and Yates over the identity.
  for (long i = 0; i < TABLE_SIZE; i++) g_aiPerturbed[i] = i;
  for (long i = TABLE_SIZE - 1; i > 0; i--) {
    const long j = (long)(Next(ulState) % (uint32_t)(i + 1));
    const long iSwap = g_aiPerturbed[i];
    g_aiPerturbed[i] = g_aiPerturbed[j];
    g_aiPerturbed[j] = iSwap;
  }
}

float rtGetRandomF(long iIndex)
{
  // Two's complement masking wraps negative indices too.
  return g_afRandom[iIndex & TABLE_MASK];
}

long rtGetPerturbedIndex(long iIndex)
{
  return g_aiPerturbed[iIndex & TABLE_MASK];
}

long rtGetCountOfRandomTableEntries(void)
{
  return TABLE_SIZE;
}

} // namespace QuennelEngine
