#include "Gui_application.h"

#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>
#include <exception>
#include <new>

namespace Gui_application {

using Base_system::EAbort;
using Base_system::Exception;

TApplication& Application() {
    static TApplication Instance;
    return Instance;
}

namespace {

// A portable program often sits in a downloads folder, where a DLL planted
// beside it would otherwise load in place of a system DLL that is loaded
// late (by the common controls, the shell or a dialog). From here on such
// DLLs come from the system directory only. Systems without the call keep
// the old search.
void RestrictDllSearch() {
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
    const DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x00000800;
#endif
    using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    const FARPROC Proc =
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (!Proc)
        return;
    // Through the generic function type, which converts to any other without
    // a warning about the mismatch of the two types.
    const auto SetDefaultDllDirectories =
        reinterpret_cast<TSetDefaultDllDirectories>(reinterpret_cast<void (*)()>(Proc));
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

} // namespace

void TApplication::Initialize(HINSTANCE Instance) {
    // First of all: everything below may load DLLs.
    RestrictDllSearch();
    FInstance = Instance;
    // The shell's folder browser and open dialog need an apartment of their own.
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&Controls);
    // Where a shortcut's "Start in" or a console started the program is the
    // first directory the user chose.
    FLastDirectory = Vek_file::GetCurrentDirectoryPath();
    if (FLastDirectory.empty())
        FLastDirectory = ProgramDirectory();
}

// A path cut to the buffer fills it whole, terminating zero included, so
// only an answer shorter than the buffer is the whole path. The A function
// would count bytes and could cut a path short of its buffer.
std::string TApplication::ExeName() const {
    std::wstring Path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Length =
            GetModuleFileNameW(FInstance, &Path[0], static_cast<DWORD>(Path.size()));
        if (Length == 0)
            return std::string();
        if (Length < Path.size()) {
            Path.resize(Length);
            return Vek_codepage::FromWide(Path);
        }
        Path.resize(Path.size() * 2);
    }
}

std::string TApplication::ProgramDirectory() const {
    return Vek_file::ExtractWorkingDirectory(ExeName());
}

std::vector<std::string> TApplication::Arguments() const {
    std::vector<std::string> Result;
    for (int I = 1; I < __argc; ++I)
        Result.emplace_back(__argv[I]);
    return Result;
}

void TApplication::DestroyComponents() {
    while (!FComponents.empty())
        FComponents.pop_back();
}

void TApplication::Run() {
    MSG Message;
    for (;;) {
        if (!PeekMessageA(&Message, nullptr, 0, 0, PM_NOREMOVE)) {
            bool Done = true;
            if (OnIdle) {
                try {
                    OnIdle(Done);
                } catch (...) {
                    HandleException(std::current_exception());
                }
            }
            if (Done)
                WaitMessage();
            continue;
        }
        if (GetMessageA(&Message, nullptr, 0, 0) <= 0)
            break;
        if (FAccelerators && FMainWindow &&
            (Message.hwnd == FMainWindow || IsChild(FMainWindow, Message.hwnd)) &&
            TranslateAcceleratorA(FMainWindow, FAccelerators, &Message))
            continue;
        TranslateMessage(&Message);
        DispatchMessageA(&Message);
    }
}

void TApplication::HandleException(std::exception_ptr Failure) {
    try {
        std::rethrow_exception(Failure);
    } catch (const EAbort&) {
    } catch (const Exception& E) {
        ShowException(E);
    } catch (const std::bad_alloc&) {
        ShowException(Exception("The program ran out of memory."));
    } catch (const std::exception& E) {
        ShowException(Exception(E.what()));
    } catch (...) {
        ShowException(Exception(std::string()));
    }
}

void TApplication::ShowException(const Exception& E) {
    ShowMessageBox(E.Message(), FTitle, MB_OK | MB_ICONERROR);
}

int TApplication::ShowMessageBox(const std::string& Text, const std::string& Caption, UINT Flags) {
    TModalScope Modal;
    return ::MessageBoxA(Handle(), Text.c_str(), Caption.c_str(), Flags);
}

void TApplication::ShowMessage(const std::string& Text) {
    ShowMessageBox(Text, FTitle, MB_OK);
}

void TApplication::SetScreenCursor(HCURSOR Cursor) {
    FScreenCursor = Cursor;
    // Shown at once; the windows' WM_SETCURSOR keeps it while the mouse moves.
    SetCursor(Cursor ? Cursor : LoadCursorA(nullptr, IDC_ARROW));
}

namespace {

struct TThreadWindows {
    std::vector<HWND> Windows;
};

BOOL CALLBACK CollectEnabled(HWND Window, LPARAM Param) {
    if (IsWindowVisible(Window) && IsWindowEnabled(Window))
        reinterpret_cast<TThreadWindows*>(Param)->Windows.push_back(Window);
    return TRUE;
}

} // namespace

TModalScope::TModalScope() : FActive(GetActiveWindow()) {
    TThreadWindows Found;
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&Found));
    for (HWND Window : Found.Windows)
        EnableWindow(Window, FALSE);
    FDisabled = std::move(Found.Windows);
}

TModalScope::~TModalScope() {
    for (HWND Window : FDisabled) {
        if (IsWindow(Window))
            EnableWindow(Window, TRUE);
    }
    if (FActive && IsWindow(FActive))
        SetActiveWindow(FActive);
}

THourglassCursor::THourglassCursor() : FSaved(Application().ScreenCursor()) {
    Application().SetScreenCursor(LoadCursorA(nullptr, IDC_WAIT));
}

THourglassCursor::~THourglassCursor() {
    Application().SetScreenCursor(FSaved);
}

TOrdinaryCursor::TOrdinaryCursor() : FSaved(Application().ScreenCursor()) {
    Application().SetScreenCursor(nullptr);
}

TOrdinaryCursor::~TOrdinaryCursor() {
    Application().SetScreenCursor(FSaved);
}

} // namespace Gui_application
