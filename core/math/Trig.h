#pragma once
// Trigonometry in radians: Sin, Cos and Tan are the runtime's (correctly rounded to float), the
// Fast forms interpolate linearly in a table of 4096 sines over a turn, which trades accuracy
// for a few multiplications. Their largest errors, measured by the math tests over a dense
// sweep of [-8 pi, 8 pi]:
//   SinFast, CosFast  absolute error below 4e-7 (interpolation error 2.9e-7 plus rounding);
//   TanFast           SinFast / CosFast: relative error below 2e-6 where |tan x| <= 10, growing
//                     like 3e-7 (1 + tan^2 x) / |tan x| towards the poles.
// The Fast forms take arguments up to +-1e6 (beyond, they return the exact forms' values, as
// the table's position would have lost its precision); NaN and infinities give NaN.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// The sine, cosine and tangent of `fAngle`.
CORE_API float Sin(float fAngle);
CORE_API float Cos(float fAngle);
CORE_API float Tan(float fAngle);
// The table-based sine, cosine and tangent (errors above).
CORE_API float SinFast(float fAngle);
CORE_API float CosFast(float fAngle);
CORE_API float TanFast(float fAngle);

} // namespace QuennelEngine
