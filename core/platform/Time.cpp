#include "core/platform/Time.h"

namespace QuennelEngine {

const Time tim_tmQuantum((__int64)1);

float timGetPhase(Time tm, float fPeriod)
{
  // A zero period is a legitimate "no repetition" (an empty animation, say), not an error.
  __int64 llPeriod = Time(fPeriod).tm_llValue;
  if (llPeriod <= 0) return 0.0f;
  __int64 llRemainder = tm.tm_llValue % llPeriod;
  // Dividing by the period in units (rather than by the float period) keeps the phase of a
  // non-negative time below 1 even where the period was rounded to units.
  float fPhase = (float)((double)llRemainder / (double)llPeriod);
  if (fPhase >= 1.0f) fPhase = 0.99999994f; // rounding of the last units to float
  return fPhase;
}

} // namespace QuennelEngine
