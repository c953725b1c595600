#include "App_helphandler.h"

#include "gui/Gui_application.h"
#include "gui/Gui_shell.h"
#include "res/version.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>

namespace App_helphandler {

using Gui_application::Application;

const std::string& HelpFileName() {
    static const std::string Name =
        Vek_file::ExtractDirectoryPath(Application().ExeName()) + "Help\\index.html";
    return Name;
}

const std::string& AboutText() {
    static const std::string Text =
        TOVEL_TITLE " Version " TOVEL_VERSION_TEXT "\r\n\r\n" TOVEL_COPYRIGHT;
    return Text;
}

void THelpHandler::LoadSettings(Gui_inifile::TCustomIniFile&) {}

void THelpHandler::SaveSettings(Gui_inifile::TCustomIniFile&) {}

void THelpHandler::ShowContents(bool Confirm) {
    if (Confirm &&
        Application().ShowMessageBox("The program opens the offline help.", "Contents",
                                     MB_OKCANCEL | MB_ICONEXCLAMATION | MB_SETFOREGROUND) != IDOK)
        throw Base_system::EAbort();
    // No UI of the shell's own: a missing page is reported by our message only.
    if (!Gui_shell::ShellExecute(Application().MainWindow(), nullptr, HelpFileName(), 0,
                                 SEE_MASK_FLAG_NO_UI))
        throw Base_system::Exception("The program could not open the help.");
}

void THelpHandler::ShowAbout() {
    Application().ShowMessageBox(AboutText(), "About", MB_OK | MB_SETFOREGROUND);
}

namespace {

const char SendToLinkTitle[] = "Tovel Bin.lnk";

using Gui_shell::TComPtr;

// Read in the process code page, whatever the locale's own: under UTF-8 two
// folders that differ in one letter outside the locale's code page are two.
bool SamePath(const std::string& A, const std::string& B) {
    return Vek_codepage::SameTextIgnoringCase(A, B);
}

void CreateLink(const std::string& LinkName, const std::string& Target) {
    const char* const Failure = "The program could not add itself to the Send To menu.";
    TComPtr<IShellLinkW> Link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(Link.Out()))))
        throw Base_system::Exception(Failure);
    Link->SetPath(Vek_codepage::ToWide(Target).c_str());
    Link->SetWorkingDirectory(Vek_codepage::ToWide(Vek_file::ExtractDirectory(Target)).c_str());
    Link->SetDescription(Vek_codepage::ToWide(TOVEL_TITLE).c_str());
    TComPtr<IPersistFile> File;
    if (FAILED(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(File.Out()))) ||
        FAILED(File->Save(Vek_codepage::ToWide(LinkName).c_str(), TRUE)))
        throw Base_system::Exception(Failure);
}

} // namespace

std::string SendToLinkName() {
    // The service fills a buffer of MAX_PATH units, the most a folder it
    // names can hold.
    std::wstring Folder(MAX_PATH, L'\0');
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_SENDTO, nullptr, SHGFP_TYPE_CURRENT, &Folder[0])))
        throw Base_system::Exception("The program could not find the Send To folder.");
    Folder.resize(Folder.find(L'\0'));
    return Vek_file::IncludeTrailingDelimiter(Vek_codepage::FromWide(Folder), '\\') +
           SendToLinkTitle;
}

std::string LinkTarget(const std::string& LinkName) {
    TComPtr<IShellLinkW> Link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(Link.Out()))))
        return std::string();
    TComPtr<IPersistFile> File;
    if (FAILED(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(File.Out()))) ||
        FAILED(File->Load(Vek_codepage::ToWide(LinkName).c_str(), STGM_READ)))
        return std::string();
    // Room for the longest path the system has; a shorter buffer would take
    // a target cut to its size.
    std::wstring Target(32768, L'\0');
    if (Link->GetPath(&Target[0], static_cast<int>(Target.size()), nullptr, SLGP_RAWPATH) != S_OK)
        return std::string();
    Target.resize(Target.find(L'\0'));
    return Vek_codepage::FromWide(Target);
}

bool THelpHandler::IsInSendTo() const {
    try {
        const std::string LinkName = SendToLinkName();
        return Vek_file::IsRegularFile(LinkName) &&
               SamePath(LinkTarget(LinkName), Application().ExeName());
    } catch (const Base_system::Exception&) {
        return false;
    }
}

void THelpHandler::ToggleSendTo() {
    if (IsInSendTo())
        RemoveFromSendTo();
    else
        AddToSendTo();
}

void THelpHandler::AddToSendTo() {
    const std::string LinkName = SendToLinkName();
    const std::string Exe = Application().ExeName();
    if (Vek_file::IsRegularFile(LinkName)) {
        const std::string Other = LinkTarget(LinkName);
        if (!SamePath(Other, Exe) &&
            Application().ShowMessageBox(
                "The Send To menu already holds a shortcut to " +
                    (Other.empty() ? std::string("another program") : "[" + Other + "]") +
                    ". Replace it with this program?",
                Application().Title(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
            throw Base_system::EAbort();
    }
    CreateLink(LinkName, Exe);
    DoChange();
}

void THelpHandler::RemoveFromSendTo() {
    const std::string LinkName = SendToLinkName();
    if (Vek_file::IsRegularFile(LinkName) && !DeleteFileA(LinkName.c_str()))
        throw Base_system::Exception("The program could not remove itself from the Send To menu.");
    DoChange();
}

} // namespace App_helphandler
