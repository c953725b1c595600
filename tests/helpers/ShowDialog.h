// What the Show* helpers share: each shows one dialog of the program for a
// few seconds, so that it can be looked at (a screenshot of a Wine desktop),
// and prints its sizes in pixels and dialog units. Header only: every .cpp
// in this folder is a program of its own.
#pragma once

#include "gui/Gui_application.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace ShowDialog {

// A timer procedure takes no context: this is the one dialog a helper shows.
struct TShown {
    std::string Caption;
    DWORD Seconds = 5;
    DWORD Ticks = 0;
};
inline TShown Shown;

inline BOOL CALLBACK MatchCaption(HWND Window, LPARAM Param) {
    char Caption[64] = "";
    GetWindowTextA(Window, Caption, sizeof Caption);
    if (Caption != Shown.Caption)
        return TRUE;
    *reinterpret_cast<HWND*>(Param) = Window;
    return FALSE;
}

inline HWND FindDialog() {
    HWND Found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&Found));
    return Found;
}

inline void PrintSizes(HWND Dialog) {
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

inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND Dialog = FindDialog();
    if (!Dialog)
        return;
    if (Shown.Ticks++ == 0)
        PrintSizes(Dialog);
    if (Shown.Ticks * 250 >= Shown.Seconds * 1000)
        PostMessageA(Dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

// Brings the application up as the program's entry does.
inline void StartApplication() {
    auto& Application = Gui_application::Application();
    Application.SetTitle("Tovel Bin");
    Application.Initialize(GetModuleHandleA(nullptr));
}

// Runs Execute, the modal loop of the dialog of that caption, while a timer
// prints the dialog's sizes once it is up and cancels it after the seconds
// given first on the command line (five when none are).
template <class TExecute>
void Show(const std::string& Caption, int Argc, char** Argv, TExecute Execute) {
    if (Argc > 1)
        Shown.Seconds = static_cast<DWORD>(std::atoi(Argv[1]));
    Shown.Caption = Caption;
    const UINT_PTR Timer = SetTimer(nullptr, 0, 250, Tick);
    Execute();
    KillTimer(nullptr, Timer);
}

} // namespace ShowDialog
