#include "gui/Gui_dpi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using Gui_dpi::PickImageSize;

namespace {

const std::vector<int> ToolSizes = {16, 20, 24, 32};

} // namespace

// 100 %, 125 %, 150 % and 200 % each get the set drawn for them; the steps
// between keep the smaller set until the larger one fits.
TEST(Gui_dpi, ImageSizeForEachDpi) {
    const struct {
        int Dpi;
        int Size;
    } Cases[] = {{48, 16},  {72, 16},  {96, 16},  {110, 16}, {119, 16}, {120, 20}, {143, 20},
                 {144, 24}, {168, 24}, {191, 24}, {192, 32}, {240, 32}, {288, 32}, {480, 32}};
    for (const auto& Case : Cases)
        EXPECT_EQ(PickImageSize(ToolSizes, 16, Case.Dpi), Case.Size) << Case.Dpi;
    // The order in which the sizes are listed does not matter.
    EXPECT_EQ(PickImageSize({32, 16, 24, 20}, 16, 144), 24);
    EXPECT_EQ(PickImageSize({}, 16, 144), 16);
}

// Over every DPI: a size of the set, never above the scaled size unless it
// is the smallest, never smaller than a larger DPI's.
TEST(Gui_dpi, ImageSizeGrowsWithTheDpiAndNeverOutgrowsIt) {
    int Last = 0;
    for (int Dpi = 1; Dpi <= 600; ++Dpi) {
        const int Size = PickImageSize(ToolSizes, 16, Dpi);
        ASSERT_NE(std::find(ToolSizes.begin(), ToolSizes.end(), Size), ToolSizes.end()) << Dpi;
        if (Size > 16) {
            EXPECT_LE(Size * 96, 16 * Dpi) << Dpi;
        }
        for (int Larger : ToolSizes) {
            if (Larger > Size) {
                EXPECT_GT(Larger * 96, 16 * Dpi) << Dpi << " leaves out " << Larger;
            }
        }
        EXPECT_GE(Size, Last) << Dpi;
        Last = Size;
    }
}

#ifdef _WIN32

// Where the DPI is the system's, the calls give what the system-wide ones
// give; a larger DPI gives a larger frame and font.
TEST(Gui_dpi, SystemDpiAnswersAsTheSystemWideCalls) {
    const int Dpi = Gui_dpi::SystemDpi();
    HWND Window = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(Window);
    EXPECT_EQ(Gui_dpi::WindowDpi(Window), Dpi);
    DestroyWindow(Window);

    const RECT Client{0, 0, 200, 100};
    RECT Expected = Client;
    AdjustWindowRectEx(&Expected, WS_OVERLAPPEDWINDOW, TRUE, 0);
    const RECT Bounds = Gui_dpi::WindowBoundsForClient(Client, WS_OVERLAPPEDWINDOW, 0, true, Dpi);
    EXPECT_TRUE(EqualRect(&Bounds, &Expected));
    const RECT Larger =
        Gui_dpi::WindowBoundsForClient(Client, WS_OVERLAPPEDWINDOW, 0, true, 2 * Dpi);
    EXPECT_GT(Larger.bottom - Larger.top, Bounds.bottom - Bounds.top);

    NONCLIENTMETRICSW Metrics{};
    Metrics.cbSize = sizeof Metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof Metrics, &Metrics, 0));
    const LOGFONTW Font = Gui_dpi::MessageFont(Dpi);
    EXPECT_EQ(Font.lfHeight, Metrics.lfMessageFont.lfHeight);
    EXPECT_EQ(std::wstring(Font.lfFaceName), std::wstring(Metrics.lfMessageFont.lfFaceName));
    EXPECT_NEAR(Gui_dpi::MessageFont(2 * Dpi).lfHeight, 2 * Font.lfHeight, 1);
}

#endif
