// Shows the properties dialog with the bin's defaults for a few seconds, so
// that it can be looked at (a screenshot of a Wine desktop), and prints its
// sizes in pixels and dialog units. Helpers carry no resources of their own:
// the dialog template is taken from the module named on the command line, by
// default the dialog's test program beside this one.
//   ShowBinProps [MODULE] [SECONDS] [ask]
#include "app/App_binpropsdialog.h"
#include "gui/Gui_application.h"
#include "res/resource.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

BOOL CALLBACK MatchProperties(HWND Window, LPARAM Param) {
    char Caption[64] = "";
    GetWindowTextA(Window, Caption, sizeof Caption);
    if (std::string(Caption) != "Properties")
        return TRUE;
    *reinterpret_cast<HWND*>(Param) = Window;
    return FALSE;
}

HWND FindProperties() {
    HWND Found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchProperties, reinterpret_cast<LPARAM>(&Found));
    return Found;
}

void PrintSizes(HWND Dialog) {
    RECT Client;
    GetClientRect(Dialog, &Client);
    RECT Units{0, 0, 4, 8};
    MapDialogRect(Dialog, &Units);
    HDC Screen = GetDC(nullptr);
    const int Dpi = GetDeviceCaps(Screen, LOGPIXELSY);
    ReleaseDC(nullptr, Screen);
    std::printf("dpi %d, client %ld x %ld px, 4 x 8 dialog units = %ld x %ld px\n", Dpi,
                Client.right, Client.bottom, Units.right, Units.bottom);
    for (HWND Child = GetWindow(Dialog, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        RECT Bounds;
        GetWindowRect(Child, &Bounds);
        MapWindowPoints(nullptr, Dialog, reinterpret_cast<POINT*>(&Bounds), 2);
        char Text[256] = "";
        GetWindowTextA(Child, Text, sizeof Text);
        std::printf("  %4d  %4ld %4ld %4ld %4ld  %.40s\n", GetDlgCtrlID(Child), Bounds.left,
                    Bounds.top, Bounds.right - Bounds.left, Bounds.bottom - Bounds.top, Text);
    }
    std::fflush(stdout);
}

UINT_PTR Timer = 0;
DWORD Seconds = 5;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    static DWORD Ticks = 0;
    HWND Dialog = FindProperties();
    if (!Dialog)
        return;
    if (Ticks++ == 0)
        PrintSizes(Dialog);
    if (Ticks * 250 >= Seconds * 1000)
        PostMessageA(Dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

} // namespace

int main(int Argc, char** Argv) {
    if (Argc > 1)
        Seconds = static_cast<DWORD>(std::atoi(Argv[1]));
    const HINSTANCE Templates = GetModuleHandleA(nullptr);
    auto& Application = Gui_application::Application();
    Application.SetTitle("Tovel Bin");
    Application.Initialize(Templates);

    App_binpropsdialog::TAppBinPropsDialog Dialog;
    App_bin::TBinProps Props;
    Props.LocationType = Argc > 2 ? App_bin::bltAskUser : App_bin::bltFixed;
    Props.FixedLocation = "Bin";
    Props.EntryName.Prefix = "Tovel #";
    Props.EntryName.Max = 9999;
    Props.EntryName.FillDigits = true;
    Dialog.SetProps(Props);

    Timer = SetTimer(nullptr, 0, 250, Tick);
    try {
        std::printf("Execute: %d\n", Dialog.Execute() ? 1 : 0);
    } catch (const Gui_system::Exception& E) {
        std::printf("Execute raised: %s\n", E.Message().c_str());
    }
    KillTimer(nullptr, Timer);
    return 0;
}
