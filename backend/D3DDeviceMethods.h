#pragma once
// Every method of IDirect3DDevice9 after those of IUnknown, in vtable order, as
// M(result, name, (parameters), (arguments)): the recording device forwards and counts each.
// clang-format off
#define D3D_DEVICE_METHODS(M) \
  M(HRESULT, TestCooperativeLevel, (), ()) \
  M(UINT, GetAvailableTextureMem, (), ()) \
  M(HRESULT, EvictManagedResources, (), ()) \
  M(HRESULT, GetDirect3D, (IDirect3D9** a0), (a0)) \
  M(HRESULT, GetDeviceCaps, (D3DCAPS9* a0), (a0)) \
  M(HRESULT, GetDisplayMode, (UINT a0, D3DDISPLAYMODE* a1), (a0, a1)) \
  M(HRESULT, GetCreationParameters, (D3DDEVICE_CREATION_PARAMETERS * a0), (a0)) \
  M(HRESULT, SetCursorProperties, (UINT a0, UINT a1, IDirect3DSurface9* a2), (a0, a1, a2)) \
  M(void, SetCursorPosition, (int a0, int a1, DWORD a2), (a0, a1, a2)) \
  M(WINBOOL, ShowCursor, (WINBOOL a0), (a0)) \
  M(HRESULT, CreateAdditionalSwapChain, (D3DPRESENT_PARAMETERS* a0, IDirect3DSwapChain9** a1), (a0, a1)) \
  M(HRESULT, GetSwapChain, (UINT a0, IDirect3DSwapChain9** a1), (a0, a1)) \
  M(UINT, GetNumberOfSwapChains, (), ()) \
  M(HRESULT, Reset, (D3DPRESENT_PARAMETERS* a0), (a0)) \
  M(HRESULT, Present, (const RECT * a0, const RECT * a1, HWND a2, const RGNDATA * a3), (a0, a1, a2, a3)) \
  M(HRESULT, GetBackBuffer, (UINT a0, UINT a1, D3DBACKBUFFER_TYPE a2, IDirect3DSurface9** a3), (a0, a1, a2, a3)) \
  M(HRESULT, GetRasterStatus, (UINT a0, D3DRASTER_STATUS* a1), (a0, a1)) \
  M(HRESULT, SetDialogBoxMode, (WINBOOL a0), (a0)) \
  M(void, SetGammaRamp, (UINT a0, DWORD a1, const D3DGAMMARAMP * a2), (a0, a1, a2)) \
  M(void, GetGammaRamp, (UINT a0, D3DGAMMARAMP* a1), (a0, a1)) \
  M(HRESULT, CreateTexture, (UINT a0, UINT a1, UINT a2, DWORD a3, D3DFORMAT a4, D3DPOOL a5, IDirect3DTexture9** a6, HANDLE* a7), (a0, a1, a2, a3, a4, a5, a6, a7)) \
  M(HRESULT, CreateVolumeTexture, (UINT a0, UINT a1, UINT a2, UINT a3, DWORD a4, D3DFORMAT a5, D3DPOOL a6, IDirect3DVolumeTexture9** a7, HANDLE* a8), (a0, a1, a2, a3, a4, a5, a6, a7, a8)) \
  M(HRESULT, CreateCubeTexture, (UINT a0, UINT a1, DWORD a2, D3DFORMAT a3, D3DPOOL a4, IDirect3DCubeTexture9** a5, HANDLE* a6), (a0, a1, a2, a3, a4, a5, a6)) \
  M(HRESULT, CreateVertexBuffer, (UINT a0, DWORD a1, DWORD a2, D3DPOOL a3, IDirect3DVertexBuffer9** a4, HANDLE* a5), (a0, a1, a2, a3, a4, a5)) \
  M(HRESULT, CreateIndexBuffer, (UINT a0, DWORD a1, D3DFORMAT a2, D3DPOOL a3, IDirect3DIndexBuffer9** a4, HANDLE* a5), (a0, a1, a2, a3, a4, a5)) \
  M(HRESULT, CreateRenderTarget, (UINT a0, UINT a1, D3DFORMAT a2, D3DMULTISAMPLE_TYPE a3, DWORD a4, WINBOOL a5, IDirect3DSurface9** a6, HANDLE* a7), (a0, a1, a2, a3, a4, a5, a6, a7)) \
  M(HRESULT, CreateDepthStencilSurface, (UINT a0, UINT a1, D3DFORMAT a2, D3DMULTISAMPLE_TYPE a3, DWORD a4, WINBOOL a5, IDirect3DSurface9** a6, HANDLE* a7), (a0, a1, a2, a3, a4, a5, a6, a7)) \
  M(HRESULT, UpdateSurface, (IDirect3DSurface9 * a0, const RECT * a1, IDirect3DSurface9 * a2, const POINT * a3), (a0, a1, a2, a3)) \
  M(HRESULT, UpdateTexture, (IDirect3DBaseTexture9* a0, IDirect3DBaseTexture9* a1), (a0, a1)) \
  M(HRESULT, GetRenderTargetData, (IDirect3DSurface9* a0, IDirect3DSurface9* a1), (a0, a1)) \
  M(HRESULT, GetFrontBufferData, (UINT a0, IDirect3DSurface9* a1), (a0, a1)) \
  M(HRESULT, StretchRect, (IDirect3DSurface9 * a0, const RECT * a1, IDirect3DSurface9 * a2, const RECT * a3, D3DTEXTUREFILTERTYPE a4), (a0, a1, a2, a3, a4)) \
  M(HRESULT, ColorFill, (IDirect3DSurface9 * a0, const RECT * a1, D3DCOLOR a2), (a0, a1, a2)) \
  M(HRESULT, CreateOffscreenPlainSurface, (UINT a0, UINT a1, D3DFORMAT a2, D3DPOOL a3, IDirect3DSurface9** a4, HANDLE* a5), (a0, a1, a2, a3, a4, a5)) \
  M(HRESULT, SetRenderTarget, (DWORD a0, IDirect3DSurface9* a1), (a0, a1)) \
  M(HRESULT, GetRenderTarget, (DWORD a0, IDirect3DSurface9** a1), (a0, a1)) \
  M(HRESULT, SetDepthStencilSurface, (IDirect3DSurface9* a0), (a0)) \
  M(HRESULT, GetDepthStencilSurface, (IDirect3DSurface9** a0), (a0)) \
  M(HRESULT, BeginScene, (), ()) \
  M(HRESULT, EndScene, (), ()) \
  M(HRESULT, Clear, (DWORD a0, const D3DRECT * a1, DWORD a2, D3DCOLOR a3, float a4, DWORD a5), (a0, a1, a2, a3, a4, a5)) \
  M(HRESULT, SetTransform, (D3DTRANSFORMSTATETYPE a0, const D3DMATRIX * a1), (a0, a1)) \
  M(HRESULT, GetTransform, (D3DTRANSFORMSTATETYPE a0, D3DMATRIX* a1), (a0, a1)) \
  M(HRESULT, MultiplyTransform, (D3DTRANSFORMSTATETYPE a0, const D3DMATRIX * a1), (a0, a1)) \
  M(HRESULT, SetViewport, (const D3DVIEWPORT9 * a0), (a0)) \
  M(HRESULT, GetViewport, (D3DVIEWPORT9* a0), (a0)) \
  M(HRESULT, SetMaterial, (const D3DMATERIAL9 * a0), (a0)) \
  M(HRESULT, GetMaterial, (D3DMATERIAL9* a0), (a0)) \
  M(HRESULT, SetLight, (DWORD a0, const D3DLIGHT9 * a1), (a0, a1)) \
  M(HRESULT, GetLight, (DWORD a0, D3DLIGHT9* a1), (a0, a1)) \
  M(HRESULT, LightEnable, (DWORD a0, WINBOOL a1), (a0, a1)) \
  M(HRESULT, GetLightEnable, (DWORD a0, WINBOOL* a1), (a0, a1)) \
  M(HRESULT, SetClipPlane, (DWORD a0, const float * a1), (a0, a1)) \
  M(HRESULT, GetClipPlane, (DWORD a0, float* a1), (a0, a1)) \
  M(HRESULT, SetRenderState, (D3DRENDERSTATETYPE a0, DWORD a1), (a0, a1)) \
  M(HRESULT, GetRenderState, (D3DRENDERSTATETYPE a0, DWORD* a1), (a0, a1)) \
  M(HRESULT, CreateStateBlock, (D3DSTATEBLOCKTYPE a0, IDirect3DStateBlock9** a1), (a0, a1)) \
  M(HRESULT, BeginStateBlock, (), ()) \
  M(HRESULT, EndStateBlock, (IDirect3DStateBlock9** a0), (a0)) \
  M(HRESULT, SetClipStatus, (const D3DCLIPSTATUS9 * a0), (a0)) \
  M(HRESULT, GetClipStatus, (D3DCLIPSTATUS9* a0), (a0)) \
  M(HRESULT, GetTexture, (DWORD a0, IDirect3DBaseTexture9** a1), (a0, a1)) \
  M(HRESULT, SetTexture, (DWORD a0, IDirect3DBaseTexture9* a1), (a0, a1)) \
  M(HRESULT, GetTextureStageState, (DWORD a0, D3DTEXTURESTAGESTATETYPE a1, DWORD* a2), (a0, a1, a2)) \
  M(HRESULT, SetTextureStageState, (DWORD a0, D3DTEXTURESTAGESTATETYPE a1, DWORD a2), (a0, a1, a2)) \
  M(HRESULT, GetSamplerState, (DWORD a0, D3DSAMPLERSTATETYPE a1, DWORD* a2), (a0, a1, a2)) \
  M(HRESULT, SetSamplerState, (DWORD a0, D3DSAMPLERSTATETYPE a1, DWORD a2), (a0, a1, a2)) \
  M(HRESULT, ValidateDevice, (DWORD* a0), (a0)) \
  M(HRESULT, SetPaletteEntries, (UINT a0, const PALETTEENTRY * a1), (a0, a1)) \
  M(HRESULT, GetPaletteEntries, (UINT a0, PALETTEENTRY* a1), (a0, a1)) \
  M(HRESULT, SetCurrentTexturePalette, (UINT a0), (a0)) \
  M(HRESULT, GetCurrentTexturePalette, (UINT * a0), (a0)) \
  M(HRESULT, SetScissorRect, (const RECT * a0), (a0)) \
  M(HRESULT, GetScissorRect, (RECT* a0), (a0)) \
  M(HRESULT, SetSoftwareVertexProcessing, (WINBOOL a0), (a0)) \
  M(WINBOOL, GetSoftwareVertexProcessing, (), ()) \
  M(HRESULT, SetNPatchMode, (float a0), (a0)) \
  M(float, GetNPatchMode, (), ()) \
  M(HRESULT, DrawPrimitive, (D3DPRIMITIVETYPE a0, UINT a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, DrawIndexedPrimitive, (D3DPRIMITIVETYPE a0, INT a1, UINT a2, UINT a3, UINT a4, UINT a5), (a0, a1, a2, a3, a4, a5)) \
  M(HRESULT, DrawPrimitiveUP, (D3DPRIMITIVETYPE a0, UINT a1, const void * a2, UINT a3), (a0, a1, a2, a3)) \
  M(HRESULT, DrawIndexedPrimitiveUP, (D3DPRIMITIVETYPE a0, UINT a1, UINT a2, UINT a3, const void * a4, D3DFORMAT a5, const void * a6, UINT a7), (a0, a1, a2, a3, a4, a5, a6, a7)) \
  M(HRESULT, ProcessVertices, (UINT a0, UINT a1, UINT a2, IDirect3DVertexBuffer9* a3, IDirect3DVertexDeclaration9* a4, DWORD a5), (a0, a1, a2, a3, a4, a5)) \
  M(HRESULT, CreateVertexDeclaration, (const D3DVERTEXELEMENT9 * a0, IDirect3DVertexDeclaration9 ** a1), (a0, a1)) \
  M(HRESULT, SetVertexDeclaration, (IDirect3DVertexDeclaration9* a0), (a0)) \
  M(HRESULT, GetVertexDeclaration, (IDirect3DVertexDeclaration9** a0), (a0)) \
  M(HRESULT, SetFVF, (DWORD a0), (a0)) \
  M(HRESULT, GetFVF, (DWORD* a0), (a0)) \
  M(HRESULT, CreateVertexShader, (const DWORD * a0, IDirect3DVertexShader9 ** a1), (a0, a1)) \
  M(HRESULT, SetVertexShader, (IDirect3DVertexShader9* a0), (a0)) \
  M(HRESULT, GetVertexShader, (IDirect3DVertexShader9** a0), (a0)) \
  M(HRESULT, SetVertexShaderConstantF, (UINT a0, const float * a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, GetVertexShaderConstantF, (UINT a0, float* a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, SetVertexShaderConstantI, (UINT a0, const int * a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, GetVertexShaderConstantI, (UINT a0, int* a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, SetVertexShaderConstantB, (UINT a0, const WINBOOL * a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, GetVertexShaderConstantB, (UINT a0, WINBOOL* a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, SetStreamSource, (UINT a0, IDirect3DVertexBuffer9* a1, UINT a2, UINT a3), (a0, a1, a2, a3)) \
  M(HRESULT, GetStreamSource, (UINT a0, IDirect3DVertexBuffer9** a1, UINT* a2, UINT* a3), (a0, a1, a2, a3)) \
  M(HRESULT, SetStreamSourceFreq, (UINT a0, UINT a1), (a0, a1)) \
  M(HRESULT, GetStreamSourceFreq, (UINT a0, UINT* a1), (a0, a1)) \
  M(HRESULT, SetIndices, (IDirect3DIndexBuffer9* a0), (a0)) \
  M(HRESULT, GetIndices, (IDirect3DIndexBuffer9** a0), (a0)) \
  M(HRESULT, CreatePixelShader, (const DWORD * a0, IDirect3DPixelShader9 ** a1), (a0, a1)) \
  M(HRESULT, SetPixelShader, (IDirect3DPixelShader9* a0), (a0)) \
  M(HRESULT, GetPixelShader, (IDirect3DPixelShader9** a0), (a0)) \
  M(HRESULT, SetPixelShaderConstantF, (UINT a0, const float * a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, GetPixelShaderConstantF, (UINT a0, float* a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, SetPixelShaderConstantI, (UINT a0, const int * a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, GetPixelShaderConstantI, (UINT a0, int* a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, SetPixelShaderConstantB, (UINT a0, const WINBOOL * a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, GetPixelShaderConstantB, (UINT a0, WINBOOL* a1, UINT a2), (a0, a1, a2)) \
  M(HRESULT, DrawRectPatch, (UINT a0, const float * a1, const D3DRECTPATCH_INFO * a2), (a0, a1, a2)) \
  M(HRESULT, DrawTriPatch, (UINT a0, const float * a1, const D3DTRIPATCH_INFO * a2), (a0, a1, a2)) \
  M(HRESULT, DeletePatch, (UINT a0), (a0)) \
  M(HRESULT, CreateQuery, (D3DQUERYTYPE a0, IDirect3DQuery9** a1), (a0, a1))
// clang-format on
