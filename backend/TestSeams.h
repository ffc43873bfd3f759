#pragma once
// What a test build of the backend (PrismelTest.dll, built with PRISMEL_TEST_SEAMS) lets its
// tests change and see: a recording wrapper around the device, capability bits taken away, a
// given display-mode list, and refused multisample counts and depth formats. The shipped
// Prismel.dll has none of it. Tests reach the one instance through the export
// prismelTestSeams(); zeroed (PrismelSeams()) it changes nothing.
#include "backend/D3DDeviceMethods.h"

#include <d3d9.h>

namespace QuennelEngine {

enum D3DDeviceMethod {
#define D3D_METHOD_ID(result, name, params, args) DDM_##name,
  D3D_DEVICE_METHODS(D3D_METHOD_ID)
#undef D3D_METHOD_ID
      DDM_COUNT
};

// Calls the backend made on its device since the record was last zeroed.
struct D3DCallRecord {
  long dcr_actCalls[DDM_COUNT];
  // Each method's last arguments as 32-bit words (every argument is one word on this target).
  DWORD dcr_adwArgs[DDM_COUNT][8];
  // What the last calls pointed to: the viewport, the scissor box, the first clear rectangle
  // (zero when the clear had none), and per render state the last value set and how often.
  D3DVIEWPORT9 dcr_vpLast;
  RECT dcr_rcScissor;
  D3DRECT dcr_rcClear;
  DWORD dcr_adwRenderState[256];
  long dcr_actRenderStateSets[256];
  // The first draws in order: DDM_DrawPrimitive or DDM_DrawIndexedPrimitive, then the arguments.
  long dcr_ctDraws;
  DWORD dcr_aadwDraws[8][7];

  long Total(void) const
  {
    long ct = 0;
    for (long ctCalls : dcr_actCalls) ct += ctCalls;
    return ct;
  }
};

struct PrismelSeams {
  // The next device made is wrapped; the record then starts from zero.
  int ps_bRecord = 0;
  D3DCallRecord ps_rec = {};
  // Capability bits taken away from what Direct3D reports (caps Caps, TextureCaps and
  // PrimitiveMiscCaps), texture caps bits added, and a lower maximum vertex index (0: as is).
  DWORD ps_dwCapsOff = 0;
  DWORD ps_dwCapsOn = 0; // caps Caps bits added
  DWORD ps_dwTextureCapsOff = 0;
  DWORD ps_dwTextureCapsOn = 0;
  DWORD ps_dwMiscCapsOff = 0;
  DWORD ps_dwMaxVertexIndex = 0;
  // When set, every adapter offers these modes instead of its own.
  int ps_bModes = 0;
  long ps_ctModes = 0;
  D3DDISPLAYMODE ps_adm[16] = {};
  // Multisample counts above this are refused (0: Direct3D decides); the counts asked for, in
  // order.
  long ps_ctMaxSamples = 0;
  long ps_ctSamplesTried = 0;
  long ps_actSamplesTried[16] = {};
  // Depth formats refused as if the device lacked them (D3DFMT_UNKNOWN ends the list).
  D3DFORMAT ps_afmtRefusedDepth[4] = {};
  // Texture formats refused as if the device could not sample them (the same way).
  D3DFORMAT ps_afmtRefusedTexture[8] = {};
  // The desktop's gamma ramp read at creation: 0 as the device says, 1 entries of 8 bits only
  // (entry i of each channel is i), 2 the same but one entry needs 16 bits.
  long ps_iGammaRamp = 0;
  // The recorded device's raster status: 0 as the device says, 1 never in the vertical blank,
  // 2 always in it, 3 in it at every other poll. The blank period measured at creation (0: none).
  long ps_iRaster = 0;
  double ps_dVBlankPeriod = -1.0;
  // The next resets of the recorded device fail as if it was lost again meanwhile.
  long ps_ctResetsLost = 0;
  // The present parameters of the last device made.
  D3DPRESENT_PARAMETERS ps_ppCreated = {};
  // Locks of the dynamic vertex (0) and index (1) buffers: plain, no-overwrite, discard.
  long ps_aactLocks[2][3] = {};
};

typedef PrismelSeams *(*PrismelTestSeamsFunction)(void);

} // namespace QuennelEngine
