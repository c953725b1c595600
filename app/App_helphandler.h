// The Help menu: the offline help page beside the program, and the About box.
#pragma once

#include "app/App_handler.h"

#include <string>

namespace App_helphandler {

// The help page beside the program: fixed by where the program lives, never
// by the current directory.
const std::string& HelpFileName();
// Title and version, an empty line, the copyright line.
const std::string& AboutText();

class THelpHandler : public App_handler::THandler {
public:
    void LoadSettings(Gui_inifile::TCustomIniFile& Ini) override;
    void SaveSettings(Gui_inifile::TCustomIniFile& Ini) override;

    // With Confirm the user is asked first; a refusal raises
    // Gui_system::EAbort. Raises Gui_system::Exception when the shell cannot
    // open the page.
    virtual void ShowContents(bool Confirm);
    virtual void ShowAbout();
};

} // namespace App_helphandler
