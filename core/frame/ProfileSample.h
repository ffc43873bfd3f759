#pragma once
// Scoped measurements: samples that enter and leave a profiler section for their lifetime, and a
// timer that adds a scope's ticks and one call to counters of the caller's choice.
//
// A sample remembers whether it entered its section and leaves it exactly then, so switching
// prf_bShowProfiler inside its scope never leaves a section it did not enter (or one it did
// enter open). Name sections with string literals: see Profiler.h.
#include "core/frame/Profiler.h"

namespace QuennelEngine {

class CDataType;

// Enters the section `strName` for the sample's lifetime while the profiler is shown.
class CProfileSample {
public:
  explicit CProfileSample(const char *strName)
  {
    ps_bStarted = prf_bShowProfiler;
    if (ps_bStarted) _prfStartProfile(strName);
  }
  ~CProfileSample()
  {
    if (ps_bStarted) _prfStopProfile();
  }
  CProfileSample(const CProfileSample &) = delete;
  CProfileSample &operator=(const CProfileSample &) = delete;

private:
  int ps_bStarted;
};

// A sample whose section is named after construction (by code that learns the name late, or by
// data). Inactive until SetSectionName.
class CORE_API CProfileSampleManual {
public:
  CProfileSampleManual() : psm_bActive(0), psm_bStarted(0) {}
  virtual ~CProfileSampleManual();
  CProfileSampleManual(const CProfileSampleManual &) = delete;
  CProfileSampleManual &operator=(const CProfileSampleManual &) = delete;

  // Activates the sample and enters the section if the profiler is shown. A sample names one
  // section: naming it again is a contract violation and is ignored.
  void SetSectionName(const char *strName);
  // True once SetSectionName was called.
  bool IsActive(void) const { return psm_bActive != 0; }

  // The run-time type description; none until the sample's descriptor is registered with the
  // metadata.
  static const CDataType *md_pdtDataType;
  virtual const CDataType *mdGetDataType(void) const;

private:
  int psm_bActive;
  int psm_bStarted;
};

// Adds the ticks of its lifetime to `llTicks` and one call to `ctCalls`; the node tree is not
// involved, and it works whether the profiler is shown or not. A timer must not span a refresh
// of the node that holds its counters.
class CProfileTimer {
public:
  CProfileTimer(__int64 &llTicks, long &ctCalls) : pt_pllTicks(&llTicks)
  {
    ctCalls++;
    llTicks -= timReadTimeStampCounter();
  }
  // Counts to the node's ticks and calls.
  explicit CProfileTimer(CProfileNode &pn) : CProfileTimer(pn.pn_llTicks, pn.pn_ctCalls) {}
  ~CProfileTimer() { *pt_pllTicks += timReadTimeStampCounter(); }
  CProfileTimer(const CProfileTimer &) = delete;
  CProfileTimer &operator=(const CProfileTimer &) = delete;

private:
  __int64 *pt_pllTicks;
};

} // namespace QuennelEngine
