#pragma once
// Trigonometry in radians: Sin, Cos and Tan compute in double and round to float; the Fast forms
// interpolate linearly in a table of 4096 sines over a turn, which trades accuracy for a few
// multiplications. Their largest errors, measured by the math tests over 400,000 angles of
// [-8 pi, 8 pi]:
//   SinFast, CosFast  absolute error below 4e-7 (measured 3.5e-7: the interpolation's 2.9e-7
//                     plus rounding);
//   TanFast           SinFast / CosFast: relative error below 3e-7 where |tan x| <= 1000
//                     (measured 8.6e-8: the two interpolation errors are relative and cancel).
// The Fast forms take arguments up to +-1e6 (beyond, they return the exact forms' values, as the
// table's position would not fit); NaN and infinities give NaN.
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
