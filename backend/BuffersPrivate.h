#pragma once
// The vertex and index buffers that the backend owns: the ring of common dynamic vertex buffers,
// the dynamic 16- and 32-bit index buffers, the quad index buffer, the dummy stream, the stream
// records and the declaration cache. Buffers.cpp keeps them; Drawing.cpp draws from them.
#include "backend/BackendPrivate.h"

#include <vector>

namespace QuennelEngine {

static const long D3D_CTSTREAMS = 16;
static const long D3D_MAXCOMMONBUFFERS = 8;
// Quads come from one prebuilt index buffer of this many quads (65532 indices).
static const long D3D_CTQUADBATCH = 10922;
// The most primitives one draw call is given; larger draws go in batches.
static const long D3D_MAXBATCH = 16383;

// What a stream is bound to: a static buffer (iCommon -1) or a common buffer of the ring, in
// which case the source array is kept so that growing the ring can copy it again.
struct StreamRecord {
  IDirect3DVertexBuffer9 *sr_pvb = nullptr;
  long sr_iCommon = -1;
  UINT sr_uOffset = 0;
  UINT sr_uStride = 0;
  long sr_ctBytes = 0;
  const void *sr_pvSource = nullptr;
};

// What the device was last given for a stream.
struct StreamSet {
  IDirect3DVertexBuffer9 *ss_pvb = nullptr;
  UINT ss_uOffset = 0;
  UINT ss_uStride = 0;
};

struct BufferState {
  // The ring of common vertex buffers.
  IDirect3DVertexBuffer9 *bf_apvbCommon[D3D_MAXCOMMONBUFFERS] = {};
  long bf_aiStamp[D3D_MAXCOMMONBUFFERS] = {};
  long bf_ctCommon = 0;
  long bf_slCommonSize = 0; // bytes per buffer
  long bf_iCurrent = 0;
  long bf_slWritePos = 0;
  long bf_slConsumed = 0; // bytes since the last _gfxUnbindVertexBuffers
  // Where the data written since the last unbind starts (-1: nothing written yet), and the
  // region that the last draws may still read (-1: unknown).
  long bf_iPeriodBuffer = -1;
  long bf_slPeriodStart = 0;
  long bf_iLastBuffer = -1;
  long bf_slLastStart = 0;
  long bf_slLastEnd = 0;
  // The dynamic index buffers (0: 16-bit, 1: 32-bit), sizes and write positions in bytes.
  IDirect3DIndexBuffer9 *bf_apibDynamic[2] = {};
  long bf_aslIndexSize[2] = {};
  long bf_aslIndexPos[2] = {};
  IDirect3DIndexBuffer9 *bf_pibQuads = nullptr;
  IDirect3DVertexBuffer9 *bf_pvbDummy = nullptr;
  // The index source on the device, and the one the engine set last (restored after quads).
  IDirect3DIndexBuffer9 *bf_pibSet = nullptr;
  IDirect3DIndexBuffer9 *bf_pibEngine = nullptr;
  UINT bf_uStartIndex = 0;
  StreamRecord bf_asr[D3D_CTSTREAMS];
  // Binding only records a stream: the device is given the records of the streams a draw uses
  // when it draws, and only those that changed (a bind that is never drawn costs no call).
  unsigned long bf_ulStreamsPending = 0; // bit per stream: its record is newer than the device's
  StreamSet bf_ass[D3D_CTSTREAMS];
  // Input mask -> declaration; the mask that the device's declaration was made for.
  std::vector<std::pair<unsigned __int64, IDirect3DVertexDeclaration9 *>> bf_aDeclarations;
  int bf_bDeclarationSet = 0;
  long bf_iStamp = 0;
  long bf_slCounted = 0; // what the default-pool buffers counted as external allocation
};
extern BufferState _d3dbf;

// Sets a stream on the device now (and forgets a pending record of it).
void d3dSetStream(long iStream, IDirect3DVertexBuffer9 *pvb, UINT uOffset, UINT uStride);
// Gives the device the pending records of the streams in the current input mask; the others'
// records are dropped (a stream leaves the mask only through an unbind).
void d3dApplyStreams(void);

// The default stride of an attribute code (1..7), and its declaration type.
UINT d3dDefaultStride(long iCode);

} // namespace QuennelEngine
