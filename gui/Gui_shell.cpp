#include "Gui_shell.h"

#include "gui/Gui_application.h"
#include "vek/Vek_file.h"

#include <objbase.h>
#include <shlobj.h>

namespace Gui_shell {

namespace {

// Owns one item identifier list the shell allocated.
class TPidl {
public:
    explicit TPidl(LPITEMIDLIST Pidl = nullptr) : FPidl(Pidl) {}
    ~TPidl() { CoTaskMemFree(FPidl); }
    TPidl(const TPidl&) = delete;
    TPidl& operator=(const TPidl&) = delete;
    LPITEMIDLIST Get() const { return FPidl; }

private:
    LPITEMIDLIST FPidl;
};

// The browser sends BFFM_INITIALIZED once its tree is filled, the moment to
// select the starting directory; Data is that directory or null.
int CALLBACK BrowseCallback(HWND Browser, UINT Message, LPARAM, LPARAM Data) {
    if (Message == BFFM_INITIALIZED && Data)
        SendMessageA(Browser, BFFM_SETSELECTIONA, TRUE, Data);
    return 0;
}

} // namespace

bool BrowseForFolder(const std::string& Caption, const std::string& Root, std::string& Directory) {
    Vek_file::TCriticalErrorsSuppressed Suppressed;
    const TPidl RootPidl(Root.empty() ? nullptr : ILCreateFromPathA(Root.c_str()));
    char DisplayName[MAX_PATH] = "";

    BROWSEINFOA Browse{};
    Browse.hwndOwner = Gui_application::Application().Handle();
    Browse.pidlRoot = RootPidl.Get();
    Browse.pszDisplayName = DisplayName;
    Browse.lpszTitle = Caption.c_str();
    Browse.ulFlags = BIF_RETURNONLYFSDIRS;
    Browse.lpfn = BrowseCallback;
    Browse.lParam =
        Vek_file::IsDirectory(Directory) ? reinterpret_cast<LPARAM>(Directory.c_str()) : 0;

    LPITEMIDLIST Chosen;
    {
        Gui_application::TModalScope Modal;
        Chosen = SHBrowseForFolderA(&Browse);
    }
    const TPidl ChosenPidl(Chosen);
    char Path[MAX_PATH];
    if (!ChosenPidl.Get() || !SHGetPathFromIDListA(ChosenPidl.Get(), Path))
        return false;
    Directory = Path;
    return true;
}

#ifndef _WIN64
static_assert(sizeof(SHELLEXECUTEINFOA) == 60, "the 32-bit request record is 60 bytes");
#endif

bool ShellExecute(HWND Owner, const char* Verb, const std::string& File, int Show, ULONG Mask) {
    SHELLEXECUTEINFOA Info{};
    Info.cbSize = sizeof Info;
    Info.fMask = Mask;
    Info.hwnd = Owner;
    Info.lpVerb = Verb;
    Info.lpFile = File.c_str();
    Info.nShow = Show;
    return ShellExecuteExA(&Info) != FALSE;
}

} // namespace Gui_shell
