#pragma once
// CStreamProfiler: load throughput since a snapshot of the two stream byte counters and the
// uptime, for messages such as "Loaded world in 1.25 seconds, 3.4MB, 2.7MB/s (1.9MB/s disk speed)".
#include "core/platform/Time.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CORE_API CStreamProfiler {
public:
  // Takes the snapshot: disk bytes, effective bytes and the uptime now.
  CStreamProfiler();
  ~CStreamProfiler();
  CStreamProfiler(const CStreamProfiler &) = delete;
  CStreamProfiler &operator=(const CStreamProfiler &) = delete;

  // The uptime passed since the snapshot.
  Time GetPassedTime(void) const;
  // "S seconds, EMB effective, DMB disk, E/SMB/s effective, D/SMB/s disk speed".
  CString GetStats(void) const;
  // "S seconds, EMB, E/SMB/s (D/SMB/s disk speed)".
  CString GetInfo(void) const;

private:
  struct Snapshot;
  Snapshot *sp_pSnapshot;
};

} // namespace QuennelEngine
