// The x87 control word: bits 8 and 9 are the precision field.
#include "core/math/FPU.h"

#include "core/frame/CodeGuard.h"

namespace QuennelEngine {

namespace {

const unsigned short FPU_PRECISION_MASK = 0x0300;
const int FPU_PRECISION_SHIFT = 8;

#if QE_COMPILER_GCC && (defined(__i386__) || defined(__x86_64__))
unsigned short ReadControlWord(void)
{
  unsigned short uw;
  __asm__ __volatile__("fnstcw %0" : "=m"(uw));
  return uw;
}
void WriteControlWord(unsigned short uw)
{
  __asm__ __volatile__("fldcw %0" : : "m"(uw));
}
#else
#error "The x87 control word is reached only with GCC on x86"
#endif

} // namespace

FPUPrecision GetFPUPrecision(void)
{
  return (FPUPrecision)((ReadControlWord() & FPU_PRECISION_MASK) >> FPU_PRECISION_SHIFT);
}

FPUPrecision SetFPUPrecision(FPUPrecision eNew)
{
  const unsigned short uwOld = ReadControlWord();
  const FPUPrecision eOld = (FPUPrecision)((uwOld & FPU_PRECISION_MASK) >> FPU_PRECISION_SHIFT);
  if (eNew != FPUP_24BITS && eNew != FPUP_53BITS && eNew != FPUP_64BITS) {
    corLogGuardBreach();
    return eOld;
  }
  const unsigned short uwNew =
      (unsigned short)((uwOld & ~FPU_PRECISION_MASK) | ((unsigned)eNew << FPU_PRECISION_SHIFT));
  if (uwNew != uwOld) WriteControlWord(uwNew);
  return eOld;
}

} // namespace QuennelEngine
