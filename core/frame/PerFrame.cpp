#include "core/frame/PerFrame.h"

#include "core/memory/StaticStackArray.h"

namespace QuennelEngine {

struct FrameCallback {
  PerFrameCallback fc_pCallback;
  void *fc_pvData;
};

struct FrameCallbacks {
  CStaticStackArray<FrameCallback> fcs_afc;
  long fcs_ctCalling = 0;    // nesting of passes in progress
  bool fcs_bRemoved = false; // entries were cleared during a pass and must be compacted
};

static FrameCallbacks &Callbacks(void)
{
  static FrameCallbacks _fcs;
  return _fcs;
}

void pfuRegisterPerFrameCallback(PerFrameCallback pCallback, void *pvData)
{
  FrameCallback &fc = Callbacks().fcs_afc.Push();
  fc.fc_pCallback = pCallback;
  fc.fc_pvData = pvData;
}

static void Compact(FrameCallbacks &fcs)
{
  long iKept = 0;
  for (long i = 0; i < fcs.fcs_afc.Count(); i++) {
    if (fcs.fcs_afc[i].fc_pCallback != nullptr) fcs.fcs_afc[iKept++] = fcs.fcs_afc[i];
  }
  while (fcs.fcs_afc.Count() > iKept) fcs.fcs_afc.Pop();
  fcs.fcs_bRemoved = false;
}

void pfuUnregisterPerFrameCallback(PerFrameCallback pCallback, void *pvData)
{
  FrameCallbacks &fcs = Callbacks();
  for (long i = 0; i < fcs.fcs_afc.Count(); i++) {
    FrameCallback &fc = fcs.fcs_afc[i];
    if (fc.fc_pCallback != pCallback || fc.fc_pvData != pvData) continue;
    // During a pass the entry is only cleared, so the pass's indices stay right.
    fc.fc_pCallback = nullptr;
    fcs.fcs_bRemoved = true;
    break;
  }
  if (fcs.fcs_ctCalling == 0 && fcs.fcs_bRemoved) Compact(fcs);
}

void pfuCallPerFrameCallbacks(void)
{
  FrameCallbacks &fcs = Callbacks();
  fcs.fcs_ctCalling++;
  // Callbacks registered during the pass wait for the next one.
  const long ct = fcs.fcs_afc.Count();
  for (long i = 0; i < ct; i++) {
    FrameCallback fc = fcs.fcs_afc[i];
    if (fc.fc_pCallback != nullptr) fc.fc_pCallback(fc.fc_pvData);
  }
  fcs.fcs_ctCalling--;
  if (fcs.fcs_ctCalling == 0 && fcs.fcs_bRemoved) Compact(fcs);
}

long pfuCountPerFrameCallbacks(void)
{
  FrameCallbacks &fcs = Callbacks();
  long ct = 0;
  for (const FrameCallback &fc : fcs.fcs_afc) ct += fc.fc_pCallback != nullptr;
  return ct;
}

} // namespace QuennelEngine
