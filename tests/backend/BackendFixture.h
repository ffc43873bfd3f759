#pragma once
// The fixture of the backend's tests: the workbench window, Engine with the test build of the
// backend (PrismelTest.dll, the same sources with its seams) loaded, and the seams zeroed.
#include "TestSupport.h"
#include "backend/TestSeams.h"
#include "engine/Engine.h"

#include <d3d9.h>
#include <gtest/gtest.h>

#include <vector>

namespace QuennelEngine {
namespace Test {

inline std::vector<void *> SlotValues(void)
{
  std::vector<void *> apv;
#define GFX_TAKE_SLOT(name, result, args) apv.push_back((void *)name);
  GFX_SLOTS(GFX_TAKE_SLOT)
#undef GFX_TAKE_SLOT
  return apv;
}

inline long ExternalBytes(void)
{
  return memGetMemSizeInfo().msi_slExternal;
}

// The workbench and the loaded backend live for the whole program; each test starts from the
// engine's start values and shuts the device down afterwards.
class Backend : public testing::Test {
protected:
  static void SetUpTestSuite()
  {
    wndStartWindowSystemService();
    if (_pwnd == nullptr) {
      _pwnd = wndCreateWorkbench("Backend test", CTRect(0, 0, 320, 240), 0, WPL_CLIENT);
      wndShowWindow(_pwnd);
    }
    if (_gfxStartup_t == nullptr) gfxLoadBackend_t("PrismelTest.dll");
    HMODULE hmod = GetModuleHandleA("PrismelTest.dll");
    _pps = hmod != nullptr
               ? ((PrismelTestSeamsFunction)(void *)GetProcAddress(hmod, "prismelTestSeams"))()
               : nullptr;
  }
  void SetUp() override
  {
    ASSERT_NE(_gfxStartup_t, nullptr);
    ASSERT_NE(_pps, nullptr);
    *_pps = PrismelSeams();
    gfxResetEngineState();
    // Each test enumerates the adapters afresh (one may have fed its own mode list).
    gfx_gaAPIs[GAT_D3D].ga_bFilled = 0;
    m_slExternalBefore = ExternalBytes();
  }
  void TearDown() override
  {
    _gfxShutdown();
    // A full-screen device resized the workbench (and losing it minimised it): as it was.
    ShowWindow((HWND)wndGetWindowHandle(_pwnd).wh_hWnd, SW_RESTORE);
    wndResizeWindow(_pwnd, CTRect(0, 0, 320, 240));
    *_pps = PrismelSeams();
    gfx_gaAPIs[GAT_D3D].ga_bFilled = 0;
    gfxResetEngineState();
    EXPECT_EQ(ExternalBytes(), m_slExternalBefore) << "video memory estimate left counted";
  }
  // A windowed device; returns the size reported back.
  static void StartWindowed(long &iWidth, long &iHeight)
  {
    iWidth = iHeight = 0;
    _gfxStartup_t(iWidth, iHeight, 32, 24, 0);
  }
  // A windowed device behind the recording wrapper; the record starts empty after its creation.
  void StartRecorded(void)
  {
    _pps->ps_bRecord = 1;
    long iWidth, iHeight;
    StartWindowed(iWidth, iHeight);
    ASSERT_EQ(gfx_eCurrentAPI, GAT_D3D);
    _pps->ps_rec = D3DCallRecord();
  }
  // Makes `pcv` the target with a draw port over all of it.
  void Target(CCanvas *pcv, long iWidth, long iHeight)
  {
    _gfxCurrentRenderTarget(pcv, -1);
    m_dp.dp_pcv = pcv;
    m_dp.dp_iLeft = m_dp.dp_iTop = 0;
    m_dp.dp_iWidth = iWidth;
    m_dp.dp_iHeight = iHeight;
    _gfx_pdpCurrent = &m_dp;
    _gfxCurrentRenderArea(&m_dp);
  }
  // The pixels of a box of the current target, alpha masked off (X8R8G8B8 leaves it undefined).
  static std::vector<unsigned long> Grab(long x0, long y0, long x1, long y1)
  {
    std::vector<unsigned long> aul;
    unsigned long *pul = _gfxGrabCurrentRenderTarget(Box2l(x0, y0, x1, y1), -1);
    if (pul == nullptr) return aul;
    for (long i = 0; i < (x1 - x0 + 1) * (y1 - y0 + 1); i++) aul.push_back(pul[i] & 0xFFFFFF);
    memFree(pul);
    return aul;
  }
  static bool AllAre(const std::vector<unsigned long> &aul, unsigned long ul)
  {
    if (aul.empty()) return false;
    for (unsigned long u : aul) {
      if (u != ul) return false;
    }
    return true;
  }

  static CWindow *_pwnd;
  static PrismelSeams *_pps;
  CDrawPort m_dp;
  long m_slExternalBefore = 0;
};
inline CWindow *Backend::_pwnd = nullptr;
inline PrismelSeams *Backend::_pps = nullptr;

} // namespace Test
} // namespace QuennelEngine
