// The sine table of the Fast forms: TABLE_SIZE steps over a turn plus one entry, so that
// interpolation never wraps inside a step. The cosine reads the same table a quarter turn on.
#include "core/math/Trig.h"

#include <math.h>

namespace QuennelEngine {

namespace {

const int TABLE_BITS = 12;
const int TABLE_SIZE = 1 << TABLE_BITS;
const int TABLE_MASK = TABLE_SIZE - 1;
const double PI = 3.14159265358979323846;
// Table steps per radian. Positions are taken in double: at a million radians a float would
// have no bits left for the fraction of a step.
const double STEPS_PER_RADIAN = TABLE_SIZE / (2 * PI);
// The position must fit an int.
const float FAST_LIMIT = 1e6f;

struct SineTable {
  float afSine[TABLE_SIZE + 1];
  SineTable()
  {
    for (int i = 0; i <= TABLE_SIZE; i++) afSine[i] = (float)sin(2 * PI * i / TABLE_SIZE);
  }
};
// Filled while the library loads, before any caller runs.
const SineTable g_stTable;

// The sine at `dSteps` table steps, `iOffset` steps further (a quarter turn for the cosine).
inline float Lookup(double dSteps, int iOffset)
{
  const double dFloor = floor(dSteps);
  const float fFraction = (float)(dSteps - dFloor);
  const int i = ((int)dFloor + iOffset) & TABLE_MASK;
  const float fA = g_stTable.afSine[i];
  return fA + (g_stTable.afSine[i + 1] - fA) * fFraction;
}

} // namespace

// In double: the runtime's float forms are not always within a rounding of the true value.
float Sin(float fAngle)
{
  return (float)sin((double)fAngle);
}

float Cos(float fAngle)
{
  return (float)cos((double)fAngle);
}

float Tan(float fAngle)
{
  return (float)tan((double)fAngle);
}

float SinFast(float fAngle)
{
  // The negated test lets NaN through to Sin, which returns NaN.
  if (!(fabsf(fAngle) <= FAST_LIMIT)) return Sin(fAngle);
  return Lookup(fAngle * STEPS_PER_RADIAN, 0);
}

float CosFast(float fAngle)
{
  if (!(fabsf(fAngle) <= FAST_LIMIT)) return Cos(fAngle);
  return Lookup(fAngle * STEPS_PER_RADIAN, TABLE_SIZE / 4);
}

float TanFast(float fAngle)
{
  if (!(fabsf(fAngle) <= FAST_LIMIT)) return Tan(fAngle);
  const double dSteps = fAngle * STEPS_PER_RADIAN;
  return Lookup(dSteps, 0) / Lookup(dSteps, TABLE_SIZE / 4);
}

} // namespace QuennelEngine
