#include "Gui_shell.h"

#include "base/Base_system.h"
#include "gui/Gui_application.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>

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

// Owns a text the shell allocated.
struct TTaskMemFree {
    void operator()(wchar_t* Text) const { CoTaskMemFree(Text); }
};
using TTaskText = std::unique_ptr<wchar_t, TTaskMemFree>;

// The browser sends BFFM_INITIALIZED once its tree is filled, the moment to
// select the starting directory; Data is that directory, a wide text, or null.
int CALLBACK BrowseCallback(HWND Browser, UINT Message, LPARAM, LPARAM Data) {
    if (Message == BFFM_INITIALIZED && Data)
        SendMessageW(Browser, BFFM_SETSELECTIONW, TRUE, Data);
    return 0;
}

} // namespace

// The wide browser throughout: the ANSI one counts the chosen path in bytes
// against MAX_PATH, which a path of fewer units can overflow under UTF-8.
bool BrowseForFolder(const std::string& Caption, const std::string& Root, std::string& Directory) {
    Vek_file::TCriticalErrorsSuppressed Suppressed;
    const TPidl RootPidl(Root.empty() ? nullptr
                                      : ILCreateFromPathW(Vek_codepage::ToWide(Root).c_str()));
    const std::wstring Title = Vek_codepage::ToWide(Caption);
    const std::wstring Start = Vek_codepage::ToWide(Directory);
    // The shell's limit for a name, in its own units.
    std::wstring DisplayName(MAX_PATH, L'\0');

    BROWSEINFOW Browse{};
    Browse.hwndOwner = Gui_application::Application().Handle();
    Browse.pidlRoot = RootPidl.Get();
    Browse.pszDisplayName = &DisplayName[0];
    Browse.lpszTitle = Title.c_str();
    Browse.ulFlags = BIF_RETURNONLYFSDIRS;
    Browse.lpfn = BrowseCallback;
    Browse.lParam = Vek_file::IsDirectory(Directory) ? reinterpret_cast<LPARAM>(Start.c_str()) : 0;

    LPITEMIDLIST Chosen;
    {
        Gui_application::TModalScope Modal;
        Chosen = SHBrowseForFolderW(&Browse);
    }
    const TPidl ChosenPidl(Chosen);
    if (!ChosenPidl.Get())
        return false;
    // The service takes a buffer of MAX_PATH units, the most any path it
    // gives can hold.
    std::wstring Path(MAX_PATH, L'\0');
    if (!SHGetPathFromIDListW(ChosenPidl.Get(), &Path[0]))
        throw Base_system::Exception("The program could not get the path of the directory.");
    Path.resize(Path.find(L'\0'));
    Directory = Vek_codepage::FromWide(Path);
    return true;
}

// The picker holds no path in a buffer of ours: the shell gives the chosen
// folder's path in a text of its own size.
bool PickFolder(HWND Owner, const std::string& Title, std::string& Folder) {
    TComPtr<IFileOpenDialog> Dialog;
    FILEOPENDIALOGOPTIONS Options = 0;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, reinterpret_cast<void**>(Dialog.Out()))) ||
        FAILED(Dialog->GetOptions(&Options)) ||
        FAILED(Dialog->SetOptions(Options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM |
                                  FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR)))
        return BrowseForFolder(Title, std::string(), Folder);
    Vek_file::TCriticalErrorsSuppressed Suppressed;
    Dialog->SetTitle(Vek_codepage::ToWide(Title).c_str());
    if (Vek_file::IsDirectory(Folder)) {
        TComPtr<IShellItem> Start;
        if (SUCCEEDED(SHCreateItemFromParsingName(Vek_codepage::ToWide(Folder).c_str(), nullptr,
                                                  IID_IShellItem,
                                                  reinterpret_cast<void**>(Start.Out()))))
            Dialog->SetFolder(Start.Get());
    }
    HRESULT Shown;
    {
        Gui_application::TModalScope Modal;
        Shown = Dialog->Show(Owner ? Owner : Gui_application::Application().Handle());
    }
    if (Shown == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        return false;
    if (FAILED(Shown))
        throw Base_system::Exception("The program could not show the folder picker.");
    TComPtr<IShellItem> Chosen;
    wchar_t* Path = nullptr;
    if (FAILED(Dialog->GetResult(Chosen.Out())) ||
        FAILED(Chosen->GetDisplayName(SIGDN_FILESYSPATH, &Path)))
        throw Base_system::Exception("The program could not get the path of the directory.");
    const TTaskText Owned(Path);
    Folder = Vek_codepage::FromWide(Path);
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

// The item's folder with the item selected, as Explorer's Open file location.
bool OpenFolderAndSelect(const std::string& Path) {
    PIDLIST_ABSOLUTE Parsed = nullptr;
    if (FAILED(
            SHParseDisplayName(Vek_codepage::ToWide(Path).c_str(), nullptr, &Parsed, 0, nullptr)))
        return false;
    const TPidl Item(Parsed);
    return SUCCEEDED(SHOpenFolderAndSelectItems(Item.Get(), 0, nullptr, 0));
}

} // namespace Gui_shell
