#pragma once
// The messages that drive a fax viewer window (TViewer::Perform, or SendMessageTimeout to
// its message window of class "qlViewer"), with what wParam and lParam carry.

#include <cstdint>
#include <functional>
#include <memory>

#include "fax_document/convert/mono_bitmap.h"

namespace ql {

inline constexpr uint32_t wmViewSetFile = 32356;        // lParam: const char* file name (UTF-8)
inline constexpr uint32_t wmViewSetFG = 32357;          // lParam: colour 0x00BBGGRR
inline constexpr uint32_t wmViewSetBG = 32358;          // lParam: colour 0x00BBGGRR
inline constexpr uint32_t wmViewSetScale = 32359;       // lParam: const int[4] hmult, hdiv, vmult, vdiv
inline constexpr uint32_t wmViewSetScroll = 32360;      // wParam: horizontal step, lParam: vertical step
inline constexpr uint32_t wmViewSelectAll = 32361;
inline constexpr uint32_t wmViewSelect = 32362;         // lParam: const TViewRect*
inline constexpr uint32_t wmViewCopy = 32363;
inline constexpr uint32_t wmViewSetWndProc = 32364;     // lParam: const TViewProc* or 0
inline constexpr uint32_t wmViewSetWhitespace = 32365;  // wParam: from, lParam: to
inline constexpr uint32_t wmViewGetBitmap = 32366;      // wParam: page, lParam: TViewBitmap*
inline constexpr uint32_t wmViewGetNumPages = 32367;
inline constexpr uint32_t wmViewStartUpdate = 32368;
inline constexpr uint32_t wmViewEndUpdate = 32369;
inline constexpr uint32_t wmViewGotoPage = 32370;       // wParam: page
inline constexpr uint32_t wmViewGetCurPage = 32371;
inline constexpr uint32_t wmViewSetDesignMode = 32372;  // lParam: const char* text
inline constexpr uint32_t wmViewSetRotation = 32373;    // wParam: 0 to 3 quarter turns clockwise
inline constexpr uint32_t wmViewSetAutoScale = 32374;   // wParam: 0, 2 (double height) or 4 (half width)
inline constexpr uint32_t wmViewPageChanged = 32375;    // sent to itself; lParam: new current page
inline constexpr uint32_t wmViewGetPageDim = 32376;     // lParam: TViewRect* (0, 0, width - 1, height - 1)
inline constexpr uint32_t wmViewSetLoadWholeFax = 32377;  // wParam: Boolean
inline constexpr uint32_t wmViewSetBusyCursor = 32378;  // wParam: Qt::CursorShape
inline constexpr uint32_t wmViewError = 32379;          // sent to itself; wParam: error code
inline constexpr uint32_t wmViewGetPageFlags = 32380;
// Sent to itself after a dropped file has been opened; lParam: const char* file name.
inline constexpr uint32_t wmViewDroppedFile = 0x0233;

// A rectangle in page coordinates, edges inclusive.
struct TViewRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TViewRect&) const = default;
};

// The answer to wmViewGetBitmap. The bitmap is shared: a page the viewer keeps stays
// valid for the caller after the viewer lets it go.
struct TViewBitmap {
  int Width = 0;
  int Height = 0;
  std::shared_ptr<const TMonoBitmap> Bitmap;
};

// The procedure that receives the messages the viewer does not handle itself (the page
// changed, viewer errors, dropped files, anything unknown).
using TViewProc = std::function<intptr_t(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

// Colours as the messages carry them.
inline constexpr intptr_t ViewRgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

}  // namespace ql
