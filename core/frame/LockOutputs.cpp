#include "core/frame/LockOutputs.h"

#include "core/threads/SyncLock.h"

namespace QuennelEngine {

CLockOutputs::CLockOutputs()
{
  CSyncLock sl(conGetConsoleMutex());
  lo_bCallbacks = conAreCallbacksEnabled();
  for (int i = 0; i < COT_COUNT; i++) lo_aulFilters[i] = conGetOutputFilter(i);
  LockOutputs();
  LockCallbacks();
}

CLockOutputs::~CLockOutputs()
{
  CSyncLock sl(conGetConsoleMutex());
  UnlockOutputs();
  UnlockCallbacks();
}

void CLockOutputs::LockOutputs(void)
{
  for (int i = 0; i < COT_COUNT; i++) conSetOutputFilter(i, 0);
}

void CLockOutputs::UnlockOutputs(void)
{
  for (int i = 0; i < COT_COUNT; i++) conSetOutputFilter(i, lo_aulFilters[i]);
}

void CLockOutputs::LockType(long iOutput)
{
  conSetOutputFilter(iOutput, 0);
}

void CLockOutputs::UnlockType(long iOutput)
{
  if (iOutput >= 0 && iOutput < COT_COUNT) conSetOutputFilter(iOutput, lo_aulFilters[iOutput]);
}

void CLockOutputs::LockCallbacks(void)
{
  conDisableLineCallbacks();
}

void CLockOutputs::UnlockCallbacks(void)
{
  if (lo_bCallbacks) {
    conEnableLineCallbacks();
  } else {
    conDisableLineCallbacks();
  }
}

} // namespace QuennelEngine
