// Sizes at a screen's resolution in dots per inch (DPI): which of the sizes
// an image is drawn in fits a DPI, and, under Windows, the DPI of a window and
// the frame and font the system gives for a DPI. A window follows its
// monitor's DPI where the system tells it apart (per-monitor awareness);
// elsewhere every window has the system's DPI, and these answer for that.
#pragma once

#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace Gui_dpi {

// The DPI at which the system's sizes are 100 %.
constexpr int DefaultDpi = 96;

// Of Sizes (one image drawn at several sizes), the one to show at Dpi for an
// image that is BaseSize at DefaultDpi: the largest that is not larger than
// BaseSize scaled to Dpi, so that it is shown as drawn, never stretched, and
// never outgrows the text beside it; the smallest when every one is larger.
int PickImageSize(const std::vector<int>& Sizes, int BaseSize, int Dpi);

#ifdef _WIN32
// The DPI that windows have unless they follow their monitor: the screen's.
int SystemDpi();
// The DPI the window is drawn at: its monitor's under per-monitor awareness,
// else the system's.
int WindowDpi(HWND Window);
// The outer bounds of a window of that style whose client area is Client,
// with the frame, caption and menu bar at Dpi.
RECT WindowBoundsForClient(const RECT& Client, DWORD Style, DWORD ExStyle, bool HasMenu, int Dpi);
// The font of message boxes and status lines at Dpi.
LOGFONTW MessageFont(int Dpi);
#endif

} // namespace Gui_dpi
