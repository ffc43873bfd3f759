#include "core/frame/ProfileSample.h"

#include "core/frame/CodeGuard.h"

namespace QuennelEngine {

// Set when the metadata registers the sample's descriptor.
const CDataType *CProfileSampleManual::md_pdtDataType = nullptr;

CProfileSampleManual::~CProfileSampleManual()
{
  if (psm_bStarted) _prfStopProfile();
}

void CProfileSampleManual::SetSectionName(const char *strName)
{
  // A second section would be entered but never left.
  if (psm_bActive) {
    corLogGuardBreach();
    return;
  }
  psm_bActive = 1;
  if (prf_bShowProfiler) {
    _prfStartProfile(strName);
    psm_bStarted = 1;
  }
}

const CDataType *CProfileSampleManual::mdGetDataType(void) const
{
  return md_pdtDataType;
}

} // namespace QuennelEngine
