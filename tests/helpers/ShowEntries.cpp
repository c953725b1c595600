// Shows the entries dialog over a few made-up entries for a few seconds, so
// that it can be looked at (a screenshot of a Wine desktop), and prints its
// sizes in pixels.
//   ShowEntries [SECONDS]
#include "app/App_entriesdialog.h"
#include "gui/Gui_application.h"
#include "res/resource.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

BOOL CALLBACK MatchEntries(HWND Window, LPARAM Param) {
    char Caption[64] = "";
    GetWindowTextA(Window, Caption, sizeof Caption);
    if (std::string(Caption) != "Entries")
        return TRUE;
    *reinterpret_cast<HWND*>(Param) = Window;
    return FALSE;
}

HWND FindEntries() {
    HWND Found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchEntries, reinterpret_cast<LPARAM>(&Found));
    return Found;
}

void PrintSizes(HWND Dialog) {
    RECT Client;
    GetClientRect(Dialog, &Client);
    HDC Screen = GetDC(nullptr);
    const int Dpi = GetDeviceCaps(Screen, LOGPIXELSY);
    ReleaseDC(nullptr, Screen);
    std::printf("dpi %d, client %ld x %ld px\n", Dpi, Client.right, Client.bottom);
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

DWORD Seconds = 5;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    static DWORD Ticks = 0;
    HWND Dialog = FindEntries();
    if (!Dialog)
        return;
    if (Ticks++ == 0)
        PrintSizes(Dialog);
    if (Ticks * 250 >= Seconds * 1000)
        PostMessageA(Dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

std::uint64_t Time(WORD Day, WORD Hour, WORD Minute) {
    SYSTEMTIME System{2026, 12, 0, Day, Hour, Minute, 0, 0};
    FILETIME File;
    SystemTimeToFileTime(&System, &File);
    return (static_cast<std::uint64_t>(File.dwHighDateTime) << 32) | File.dwLowDateTime;
}

std::vector<App_takeback::TEntryInfo> Entries() {
    return {
        {"Tovel #0007", "B\\7", Time(8, 9, 12), 3, 2380417,
         "C:\\Users\\Anna\\Documents\\Report 2026.docx and 2 more"},
        {"Tovel #0006", "B\\6", Time(7, 17, 40), 1, 734003200, "D:\\Video\\Holiday.mp4"},
        {"Tovel #0005", "B\\5", Time(7, 11, 5), 12, 48211, "C:\\Projects\\Old site and 11 more"},
        {"Tovel #0004", "B\\4", Time(3, 8, 55), 1, 0, "C:\\Temp\\empty.log"},
        {"Tovel #0003", "B\\3", Time(1, 14, 30), 0, 1024, ""},
    };
}

} // namespace

int main(int Argc, char** Argv) {
    if (Argc > 1)
        Seconds = static_cast<DWORD>(std::atoi(Argv[1]));
    auto& Application = Gui_application::Application();
    Application.SetTitle("Tovel Bin");
    Application.Initialize(GetModuleHandleA(nullptr));

    App_entriesdialog::TAppEntriesDialog Dialog;
    Dialog.OnList = Entries;
    const UINT_PTR Timer = SetTimer(nullptr, 0, 250, Tick);
    Dialog.Execute();
    KillTimer(nullptr, Timer);
    return 0;
}
