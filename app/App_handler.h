// Base of the main window's command handlers: they talk back to the window
// only through a status text and a change notice, and each reads and writes
// its own sections of the settings.
#pragma once

#include "gui/Gui_inifile.h"
#include "base/Base_system.h"

#include <functional>
#include <string>

namespace App_handler {

using TStatusEvent = std::function<void(Base_system::TObject* Sender, const std::string& Text)>;

class THandler : public Base_system::TObject {
public:
    TStatusEvent OnStatus;
    Base_system::TNotifyEvent OnChange;

    virtual void DoStatus(const std::string& Text);
    virtual void DoChange();
    virtual void LoadSettings(Gui_inifile::TCustomIniFile& Ini) = 0;
    virtual void SaveSettings(Gui_inifile::TCustomIniFile& Ini) = 0;
};

} // namespace App_handler
