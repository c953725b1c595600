// Tovel Bin: the program's entry. One instance runs per program directory.

#include "app/App_mainform.h"
#include "app/App_script.h"
#include "base/Base_commandline.h"
#include "gui/Gui_application.h"
#include "vek/Vek_autopointer.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"
#include "vek/Vek_sync.h"

#include <windows.h>

#include <string>
#include <vector>

namespace TovelBin {

using Gui_application::Application;

// Held from the guard until the process ends; its handle closes at exit.
Vek_autopointer::TAutoPointer<Vek_sync::TMutex> InstanceMutex;

std::string GetInstanceMutexName() {
    const std::string Directory = Vek_file::ExtractDirectory(Application().ExeName());
    // Under UTF-8 every letter is upper-cased, not only a to z, so a folder
    // reached in another letter case still finds its instance.
    return "Parvex.TovelBin.Instance" + Vek_hash::HashText(Vek_codepage::UpperCaseName(Directory));
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

// True when this start is the folder's instance. A second start with paths
// hands them to the copy that runs from this folder and gives false, to end
// quietly; without paths, or when that copy does not take them, the guard's
// message stands.
bool GuardOrHandOver() {
    try {
        GuardSingleInstance();
    } catch (Vek_sync::ELockFail&) {
        const std::vector<std::string> Paths = Application().Arguments();
        if (!Paths.empty() && App_mainform::HandToRunningCopy(GetInstanceMutexName(), Paths))
            return false;
        throw;
    }
    return true;
}

void Run(int Show) {
    Application().SetTitle("Tovel Bin");
    // Windows holds a process's current directory open; one that a shortcut
    // or a console left in a user's folder would stop a put of that folder.
    // The application has remembered it already; the process moves to its
    // own folder, which the user never puts.
    SetCurrentDirectoryA(Application().ProgramDirectory().c_str());
    if (!GuardOrHandOver())
        return;
    auto* Form = Application().Own(std::make_unique<App_mainform::TAppMainForm>());
    App_mainform::AppMainForm = Form;
    Form->AcceptHandedPaths(GetInstanceMutexName());
    Application().SetMainWindow(Form->Handle());
    // As the starter asks: a shortcut set to "Minimized" starts minimized.
    ShowWindow(Form->Handle(), Show);
    UpdateWindow(Form->Handle());
    Application().Run();
}

} // namespace TovelBin

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int Show) {
    using Gui_application::Application;
    Application().Initialize(Instance);
    // A script's switch: no window, no instance of the folder taken.
    const std::vector<std::string> Arguments = Application().Arguments();
    if (Base_commandline::IsSwitchLine(Arguments))
        return App_script::Run(Arguments);
    try {
        TovelBin::Run(Show);
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
    App_mainform::AppMainForm = nullptr;
    Application().DestroyComponents();
    return 0;
}
