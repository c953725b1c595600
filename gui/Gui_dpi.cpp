#include "Gui_dpi.h"

#include <algorithm>

namespace Gui_dpi {

int PickImageSize(const std::vector<int>& Sizes, int BaseSize, int Dpi) {
    if (Sizes.empty())
        return BaseSize;
    // Size <= BaseSize * Dpi / DefaultDpi, in whole numbers: the standard
    // DPIs (120, 144, 192) reach their sizes exactly, none before.
    const auto Fits = [BaseSize, Dpi](int Size) {
        return static_cast<long long>(Size) * DefaultDpi <= static_cast<long long>(BaseSize) * Dpi;
    };
    int Best = *std::min_element(Sizes.begin(), Sizes.end());
    for (int Size : Sizes) {
        if (Fits(Size) && Size > Best)
            Best = Size;
    }
    return Best;
}

#ifdef _WIN32

namespace {

// The per-monitor calls came with Windows 10; older systems lack them and
// have every window at the system's DPI.
template <class TFunction> TFunction User32Function(const char* Name) {
    const FARPROC Proc = GetProcAddress(GetModuleHandleA("user32.dll"), Name);
    // Through the generic function type, which converts to any other without
    // a warning about the mismatch of the two types.
    return Proc ? reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(Proc)) : nullptr;
}

using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TAdjustWindowRectExForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using TSystemParametersInfoForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

} // namespace

int SystemDpi() {
    HDC Screen = GetDC(nullptr);
    const int Dpi = Screen ? GetDeviceCaps(Screen, LOGPIXELSY) : 0;
    if (Screen)
        ReleaseDC(nullptr, Screen);
    return Dpi > 0 ? Dpi : DefaultDpi;
}

int WindowDpi(HWND Window) {
    const auto GetDpiForWindow = User32Function<TGetDpiForWindow>("GetDpiForWindow");
    const UINT Dpi = GetDpiForWindow && Window ? GetDpiForWindow(Window) : 0;
    return Dpi > 0 ? static_cast<int>(Dpi) : SystemDpi();
}

RECT WindowBoundsForClient(const RECT& Client, DWORD Style, DWORD ExStyle, bool HasMenu, int Dpi) {
    const auto AdjustWindowRectExForDpi =
        User32Function<TAdjustWindowRectExForDpi>("AdjustWindowRectExForDpi");
    RECT Bounds = Client;
    if (!AdjustWindowRectExForDpi ||
        !AdjustWindowRectExForDpi(&Bounds, Style, HasMenu, ExStyle, static_cast<UINT>(Dpi))) {
        Bounds = Client;
        AdjustWindowRectEx(&Bounds, Style, HasMenu, ExStyle);
    }
    return Bounds;
}

LOGFONTW MessageFont(int Dpi) {
    const auto SystemParametersInfoForDpi =
        User32Function<TSystemParametersInfoForDpi>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW Metrics{};
    Metrics.cbSize = sizeof Metrics;
    if (SystemParametersInfoForDpi &&
        SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0,
                                   static_cast<UINT>(Dpi)))
        return Metrics.lfMessageFont;
    // The system's font is made for the system's DPI.
    Metrics = NONCLIENTMETRICSW{};
    Metrics.cbSize = sizeof Metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0);
    LOGFONTW Font = Metrics.lfMessageFont;
    Font.lfHeight = MulDiv(Font.lfHeight, Dpi, SystemDpi());
    return Font;
}

#endif

} // namespace Gui_dpi
