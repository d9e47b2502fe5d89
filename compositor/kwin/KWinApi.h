// SPDX-License-Identifier: MIT
// The few places where KWin 5 (Plasma 5, Qt 5) and KWin 6 (Plasma 6, Qt 6)
// differ for this effect: the screen type and how screens and windows are painted.
#pragma once

#if ORVANE_KWIN6
#include <config-kwin.h>
#include <core/output.h>
#include <core/rendertarget.h>
#include <core/renderviewport.h>
#include <effect/effect.h>
#include <effect/effecthandler.h>
#include <effect/effectwindow.h>
#include <opengl/glutils.h>

#define ORVANE_KWIN_PAINT_SCREEN_DECLARATION                                                       \
    void paintScreen(const KWin::RenderTarget& renderTarget, const KWin::RenderViewport& viewport, \
                     int mask, const QRegion& region, KWin::Output* screen) override
#define ORVANE_KWIN_PAINT_WINDOW_DECLARATION                                                       \
    void paintWindow(const KWin::RenderTarget& renderTarget, const KWin::RenderViewport& viewport, \
                     KWin::EffectWindow* window, int mask, QRegion region,                         \
                     KWin::WindowPaintData& data) override

namespace orvane::kwin {
using Screen = KWin::Output;
} // namespace orvane::kwin
#else
#include <kwineffects.h>
#include <kwinglutils.h>

#define ORVANE_KWIN_PAINT_SCREEN_DECLARATION                                                       \
    void paintScreen(int mask, const QRegion& region, KWin::ScreenPaintData& data) override
#define ORVANE_KWIN_PAINT_WINDOW_DECLARATION                                                       \
    void paintWindow(KWin::EffectWindow* window, int mask, QRegion region,                         \
                     KWin::WindowPaintData& data) override

namespace orvane::kwin {
using Screen = KWin::EffectScreen;
} // namespace orvane::kwin
#endif
