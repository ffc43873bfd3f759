// Occlusion queries by the engine's query number. Each number gets its query at its first begin;
// the end is tracked, so asking for the result of a query that was begun but never ended answers
// at once instead of polling a query the device never finishes.
#include "backend/BackendPrivate.h"

namespace QuennelEngine {

namespace {

const long _ctQueries = 4096;
// How long a waiting result read polls before it gives up: only a guard against a driver that
// never finishes a query, so far beyond any frame's work even on a software rasteriser (a lost
// device answers GetData with an error and ends the wait at once).
const float _tmMaxWait = 60.0f;

enum QueryState { QS_IDLE, QS_BEGUN, QS_ENDED };

IDirect3DQuery9 *_apQueries[_ctQueries];
unsigned char _aubStates[_ctQueries];
bool _bCreationFailed = false;

inline bool IsValid(long iQuery)
{
  return iQuery >= 0 && iQuery < _ctQueries;
}

} // namespace

void d3dIssueQueryBegin(long iQuery)
{
  if (!IsValid(iQuery) || d3dIsUnusable()) return;
  IDirect3DQuery9 *&pQuery = _apQueries[iQuery];
  if (pQuery == nullptr) {
    if (FAILED(_d3d.bs_pDevice->CreateQuery(D3DQUERYTYPE_OCCLUSION, &pQuery)) ||
        pQuery == nullptr) {
      pQuery = nullptr;
      if (!_bCreationFailed) conWarningF("(Direct3D) Cannot create an occlusion query.\n");
      _bCreationFailed = true;
      return;
    }
  }
  d3dOpenScene();
  pQuery->Issue(D3DISSUE_BEGIN);
  _aubStates[iQuery] = QS_BEGUN;
}

void d3dIssueQueryEnd(long iQuery)
{
  if (!IsValid(iQuery) || d3dIsUnusable() || _apQueries[iQuery] == nullptr) return;
  if (_aubStates[iQuery] != QS_BEGUN) return;
  _apQueries[iQuery]->Issue(D3DISSUE_END);
  _aubStates[iQuery] = QS_ENDED;
}

int d3dGetQueryResult(long iQuery, long &ctPixels, int bNoWait)
{
  if (!IsValid(iQuery) || d3dIsUnusable()) return 0;
  IDirect3DQuery9 *pQuery = _apQueries[iQuery];
  if (pQuery == nullptr || _aubStates[iQuery] != QS_ENDED) return 0;
  const __int64 llStart = timReadTimeStampCounter();
  const __int64 llMaxWait = timFloatToTicks(_tmMaxWait);
  for (;;) {
    DWORD dwPixels = 0;
    const HRESULT hr = pQuery->GetData(&dwPixels, sizeof(dwPixels), D3DGETDATA_FLUSH);
    if (hr == S_OK) {
      ctPixels = (long)dwPixels;
      return 1;
    }
    if (hr != S_FALSE || bNoWait) return 0;
    if (timReadTimeStampCounter() - llStart > llMaxWait) return 0;
    Sleep(0);
  }
}

void d3dReleaseQuery(long iQuery)
{
  if (!IsValid(iQuery)) return;
  if (_apQueries[iQuery] != nullptr) _apQueries[iQuery]->Release();
  _apQueries[iQuery] = nullptr;
  _aubStates[iQuery] = QS_IDLE;
}

void d3dReleaseAllQueries(void)
{
  for (long i = 0; i < _ctQueries; i++) d3dReleaseQuery(i);
  _bCreationFailed = false;
}

void d3dSetQuerySlots(void)
{
  _gfxIssueQueryBegin = SLOT(d3dIssueQueryBegin);
  _gfxIssueQueryEnd = SLOT(d3dIssueQueryEnd);
  _gfxGetQueryResult = SLOT(d3dGetQueryResult);
  _gfxReleaseQuery = SLOT(d3dReleaseQuery);
}

} // namespace QuennelEngine
