// The View menu: which bars of the main window show, and whether the window
// stays above all others. The state lives in the window and its controls;
// the handler only reads and changes it there.
#pragma once

#include "app/App_handler.h"

#include <windows.h>

namespace App_viewhandler {

class TViewHandler : public App_handler::THandler {
public:
    // Set by the main window before it wires the events; none is owned.
    HWND Form = nullptr;
    HWND ToolBar = nullptr;
    HWND CenterPanel = nullptr;
    HWND StatusBar = nullptr;

    bool GetShowToolbar() const;
    void SetShowToolbar(bool Value);
    bool GetShowCenterPanel() const;
    void SetShowCenterPanel(bool Value);
    bool GetShowStatusBar() const;
    void SetShowStatusBar(bool Value);
    // Raise Base_system::Exception when the system cannot tell or change it.
    bool GetStayTopmost() const;
    void SetStayTopmost(bool Value);

    void LoadSettings(Gui_inifile::TCustomIniFile& Ini) override;
    void SaveSettings(Gui_inifile::TCustomIniFile& Ini) override;

private:
    void SetControlVisible(HWND Control, bool Value);
};

// The control's own visibility flag, which holds while its parent is hidden
// as well (IsWindowVisible would answer false then).
bool IsControlVisible(HWND Control);

} // namespace App_viewhandler
