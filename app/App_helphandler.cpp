#include "App_helphandler.h"

#include "gui/Gui_application.h"
#include "gui/Gui_shell.h"
#include "res/version.h"
#include "vek/Vek_file.h"

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
        throw Gui_system::EAbort();
    // No UI of the shell's own: a missing page is reported by our message only.
    if (!Gui_shell::ShellExecute(Application().MainWindow(), nullptr, HelpFileName(), 0,
                                 SEE_MASK_FLAG_NO_UI))
        throw Gui_system::Exception("The program could not open the help.");
}

void THelpHandler::ShowAbout() {
    Application().ShowMessageBox(AboutText(), "About", MB_OK | MB_SETFOREGROUND);
}

} // namespace App_helphandler
