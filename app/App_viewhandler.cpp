#include "App_viewhandler.h"

namespace App_viewhandler {

namespace {

const char* const Section = "MainForm.ViewHandler";

} // namespace

bool IsControlVisible(HWND Control) {
    return (GetWindowLongPtrA(Control, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TViewHandler::SetControlVisible(HWND Control, bool Value) {
    if (IsControlVisible(Control) == Value)
        return;
    ShowWindow(Control, Value ? SW_SHOW : SW_HIDE);
    DoChange();
}

bool TViewHandler::GetShowToolbar() const {
    return IsControlVisible(ToolBar);
}
void TViewHandler::SetShowToolbar(bool Value) {
    SetControlVisible(ToolBar, Value);
}
bool TViewHandler::GetShowCenterPanel() const {
    return IsControlVisible(CenterPanel);
}
void TViewHandler::SetShowCenterPanel(bool Value) {
    SetControlVisible(CenterPanel, Value);
}
bool TViewHandler::GetShowStatusBar() const {
    return IsControlVisible(StatusBar);
}
void TViewHandler::SetShowStatusBar(bool Value) {
    SetControlVisible(StatusBar, Value);
}

// An extended style of 0 is a valid answer, so only the last-error code can
// tell a failure apart from it.
bool TViewHandler::GetStayTopmost() const {
    SetLastError(0);
    const LONG ExStyle = GetWindowLongA(Form, GWL_EXSTYLE);
    if (GetLastError() != 0)
        throw Base_system::Exception("The program could not determine the window stays topmost.");
    return (ExStyle & WS_EX_TOPMOST) != 0;
}

void TViewHandler::SetStayTopmost(bool Value) {
    if (GetStayTopmost() == Value)
        return;
    if (!SetWindowPos(Form, Value ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE))
        throw Base_system::Exception("The program could not make the window stay topmost.");
    DoChange();
}

void TViewHandler::LoadSettings(Gui_inifile::TCustomIniFile& Ini) {
    SetShowToolbar(Ini.ReadBool(Section, "ShowToolbar", GetShowToolbar()));
    SetShowCenterPanel(Ini.ReadBool(Section, "ShowCenterPanel", GetShowCenterPanel()));
    SetShowStatusBar(Ini.ReadBool(Section, "ShowStatusBar", GetShowStatusBar()));
    SetStayTopmost(Ini.ReadBool(Section, "StayTopmost", GetStayTopmost()));
}

void TViewHandler::SaveSettings(Gui_inifile::TCustomIniFile& Ini) {
    Ini.WriteBool(Section, "ShowToolbar", GetShowToolbar());
    Ini.WriteBool(Section, "ShowCenterPanel", GetShowCenterPanel());
    Ini.WriteBool(Section, "ShowStatusBar", GetShowStatusBar());
    Ini.WriteBool(Section, "StayTopmost", GetStayTopmost());
}

} // namespace App_viewhandler
