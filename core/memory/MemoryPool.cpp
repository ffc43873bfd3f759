#include "core/memory/MemoryPool.h"

#include "core/platform/SysMemory.h"

namespace QuennelEngine {

int CMemoryPoolWin32::Allocate(size_t slSize, size_t &slRealSize, void *&pvAddress)
{
  if (slSize == 0 || slSize > ~(size_t)0 - MP_SLGROWTHRESERVE) return 0;
  void *pv = nullptr;
  if (mp_bFirstAllocation) {
    size_t slReserve = slSize + MP_SLGROWTHRESERVE;
    pv = sysReserveMemory(slReserve);
    if (pv == nullptr) return 0;
    if (!sysCommitMemory(pv, slSize)) {
      sysReleaseMemory(pv);
      return 0;
    }
    mp_bFirstAllocation = 0;
    mp_pvReservation = pv;
    mp_slReserved = slReserve;
  } else {
    pv = sysAllocateMemory(slSize);
    if (pv == nullptr) return 0;
  }
  mp_pvLast = pv;
  mp_slLastCommitted = sysQueryCommittedSize(pv);
  slRealSize = mp_slLastCommitted;
  pvAddress = pv;
  return 1;
}

void CMemoryPoolWin32::Free(void *pvAddress)
{
  if (pvAddress == nullptr) return;
  if (pvAddress == mp_pvLast) {
    mp_pvLast = nullptr;
    mp_slLastCommitted = 0;
  }
  if (pvAddress == mp_pvReservation) {
    mp_pvReservation = nullptr;
    mp_slReserved = 0;
  }
  sysReleaseMemory(pvAddress);
}

int CMemoryPoolWin32::Resize(void *&pvAddress, size_t slNewSize, size_t &slRealSize)
{
  if (pvAddress == nullptr) return Allocate(slNewSize, slRealSize, pvAddress);
  if (pvAddress != mp_pvLast || slNewSize == 0) return 0;
  // Regions outside the reservation were committed whole and have no room behind them.
  if (pvAddress == mp_pvReservation) {
    if (slNewSize > mp_slReserved) return 0;
  } else if (slNewSize > mp_slLastCommitted) {
    return 0;
  }
  if (slNewSize > mp_slLastCommitted && !sysCommitMemory(pvAddress, slNewSize)) return 0;
  mp_slLastCommitted = sysQueryCommittedSize(pvAddress);
  slRealSize = mp_slLastCommitted;
  return 1;
}

} // namespace QuennelEngine
