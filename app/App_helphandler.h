// The Help menu: the offline help page beside the program, the About box, and
// the program's shortcut in the user's Send To menu.
#pragma once

#include "app/App_handler.h"

#include <string>

namespace App_helphandler {

// The help page beside the program: fixed by where the program lives, never
// by the current directory.
const std::string& HelpFileName();
// Title and version, an empty line, the copyright line.
const std::string& AboutText();
// "Tovel Bin.lnk" in the user's Send To folder.
std::string SendToLinkName();
// The program a shortcut starts; the empty text when it cannot be read.
std::string LinkTarget(const std::string& LinkName);

class THelpHandler : public App_handler::THandler {
public:
    void LoadSettings(Gui_inifile::TCustomIniFile& Ini) override;
    void SaveSettings(Gui_inifile::TCustomIniFile& Ini) override;

    // With Confirm the user is asked first; a refusal raises
    // Base_system::EAbort. Raises Base_system::Exception when the shell cannot
    // open the page.
    virtual void ShowContents(bool Confirm);
    virtual void ShowAbout();

    // Whether the Send To folder holds a shortcut to this very program.
    virtual bool IsInSendTo() const;
    // Adds the shortcut, or removes it when it is there, and tells OnChange.
    // A shortcut to another copy of the program is replaced only after a
    // Yes; No raises Base_system::EAbort.
    virtual void ToggleSendTo();
    virtual void AddToSendTo();
    virtual void RemoveFromSendTo();
};

} // namespace App_helphandler
