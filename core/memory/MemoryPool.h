#pragma once
// CMemoryPool: where a CMemoryHeap takes its address space from. CMemoryPoolWin32 gives it
// committed virtual memory and grows its last region in place inside a large reservation.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CORE_API CMemoryPool {
public:
  virtual ~CMemoryPool() {}
  // A region of at least `slSize` bytes: its address and the size the system really gave are
  // returned through the references. 0 on failure (the references are then left alone).
  virtual int Allocate(size_t slSize, size_t &slRealSize, void *&pvAddress) = 0;
  // Releases a region of Allocate.
  virtual void Free(void *pvAddress) = 0;
  // Grows the region at `pvAddress` to `slNewSize` without moving it (null: Allocate; a smaller
  // size keeps what is there); the real size is returned through the reference. 0 when it cannot.
  virtual int Resize(void *&pvAddress, size_t slNewSize, size_t &slRealSize) = 0;
};

class CORE_API CMemoryPoolWin32 : public CMemoryPool {
public:
  // The extra address space reserved behind the first region, for growing it in place.
  static const size_t MP_SLGROWTHRESERVE = 0xC800000;

  CMemoryPoolWin32() {}
  // Leaves the regions alone: their users free them.
  ~CMemoryPoolWin32() override {}

  // The first call reserves `slSize` + 200 MiB and commits `slSize` at its start; later calls
  // commit `slSize` anywhere. The region becomes the last one.
  int Allocate(size_t slSize, size_t &slRealSize, void *&pvAddress) override;
  // Releases the region (the whole reservation for the first one).
  void Free(void *pvAddress) override;
  // Only the last region can be resized: the new size is committed at its address.
  int Resize(void *&pvAddress, size_t slNewSize, size_t &slRealSize) override;

  // The last region and its committed size (null and 0 when none).
  void *GetLastRegion(void) const { return mp_pvLast; }
  size_t GetLastCommitted(void) const { return mp_slLastCommitted; }

private:
  long mp_bFirstAllocation = 1;
  void *mp_pvLast = nullptr;
  size_t mp_slLastCommitted = 0;
  // The reservation of the first region: the limit of growing in place.
  void *mp_pvReservation = nullptr;
  size_t mp_slReserved = 0;
};

} // namespace QuennelEngine
