#pragma once
// The precision of the x87 floating-point unit, the one 32-bit code computes floats in. Direct3D
// lowers it to 24 bits when it creates a device (unless asked to preserve it), which makes double
// arithmetic and the time conversions quietly lose digits; code that needs more sets it around
// the work with CSetFPUPrecision. The setting belongs to the calling thread.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// The mantissa bits the unit rounds every result to; the values are those of the control word's
// precision field (1 is reserved by the processor).
enum FPUPrecision : long {
  FPUP_24BITS = 0, // single
  FPUP_53BITS = 2, // double
  FPUP_64BITS = 3, // extended
};

// The calling thread's current precision.
CORE_API FPUPrecision GetFPUPrecision(void);
// Sets the calling thread's precision and returns the one before. Only the precision field of the
// control word changes (rounding and exception masks stay); a value that is not one of the
// enumerators is a guard breach and changes nothing.
CORE_API FPUPrecision SetFPUPrecision(FPUPrecision eNew);

// Sets a precision for the life of the scope and restores the one before on every way out.
class CORE_API CSetFPUPrecision {
public:
  explicit CSetFPUPrecision(FPUPrecision eNew) : sfp_eOld(SetFPUPrecision(eNew)) {}
  ~CSetFPUPrecision() { SetFPUPrecision(sfp_eOld); }
  CSetFPUPrecision(const CSetFPUPrecision &) = delete;
  CSetFPUPrecision &operator=(const CSetFPUPrecision &) = delete;

private:
  FPUPrecision sfp_eOld;
};

} // namespace QuennelEngine
