// Tovel Bin: the program's entry. One instance runs per program directory.

#include "app/App_mainform.h"
#include "gui/Gui_application.h"
#include "vek/Vek_autopointer.h"
#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"
#include "vek/Vek_sync.h"

#include <windows.h>

namespace TovelBin {

using Gui_application::Application;

// Held from the guard until the process ends; its handle closes at exit.
Vek_autopointer::TAutoPointer<Vek_sync::TMutex> InstanceMutex;

std::string GetInstanceMutexName() {
    const std::string Directory = Vek_file::ExtractDirectory(Application().ExeName());
    return "Parvex.TovelBin.Instance" + Vek_hash::HashText(Vek_file::UpperCasePath(Directory));
}

void GuardSingleInstance() {
    const std::string Name = GetInstanceMutexName();
    InstanceMutex.reset();
    InstanceMutex = std::make_unique<Vek_sync::TMutex>(Name);
    try {
        InstanceMutex->Lock(0);
    } catch (Vek_sync::ELockFail& E) {
        E.SetMessage("The program is restricted to a single instance.");
        throw;
    }
}

// A portable program often sits in a downloads folder, where a DLL planted
// beside it would otherwise load in place of a system DLL that is loaded late
// (by the common controls, the shell or the open dialog). From here on such
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

void Run(int Show) {
    Application().SetTitle("Tovel Bin");
    // Windows holds a process's current directory open; one that a shortcut
    // or a console left in a user's folder would stop a put of that folder.
    SetCurrentDirectoryA(Application().LastDirectory().c_str());
    GuardSingleInstance();
    auto* Form = Application().Own(std::make_unique<App_mainform::TAppMainForm>());
    App_mainform::AppMainForm = Form;
    Application().SetMainWindow(Form->Handle());
    // As the starter asks: a shortcut set to "Minimized" starts minimized.
    ShowWindow(Form->Handle(), Show);
    UpdateWindow(Form->Handle());
    Application().Run();
}

} // namespace TovelBin

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int Show) {
    using Gui_application::Application;
    TovelBin::RestrictDllSearch();
    Application().Initialize(Instance);
    try {
        TovelBin::Run(Show);
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
    App_mainform::AppMainForm = nullptr;
    Application().DestroyComponents();
    return 0;
}
