// The "Properties" dialog of the bin: edits a copy of the bin's settings
// (where the bin is, how its entries are named) and hands it back only when
// every value is valid, so that 0 <= Min <= Index <= Max always holds for
// what it returns.
#pragma once

#include "app/App_bin.h"
#include "gui/Gui_dialog.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace App_binpropsdialog {

class TAppBinPropsDialog : public Gui_dialog::TDialog {
public:
    TAppBinPropsDialog();
    ~TAppBinPropsDialog() override;

    const App_bin::TBinProps& Props() const { return FProps; }
    void SetProps(const App_bin::TBinProps& Props) { FProps = Props; }

    // True when the user confirmed with OK and every value was valid; Props
    // then holds the new values. False on Cancel, Esc or the close box, with
    // Props unchanged. Raises "The program cannot set the location type."
    // before anything shows when Props().LocationType is neither 0 nor 1.
    bool Execute();

    // Moves the focus to Control when it can take it, else clears the focus,
    // and raises Message: the one way the dialog reports a bad value.
    [[noreturn]] void FailAt(HWND Control, const std::string& Message);

    void WriteControls(const App_bin::TBinProps& Value);
    // The first invalid value in field order fails through FailAt.
    App_bin::TBinProps ReadControls();

    void SetLocationType(App_bin::TBinLocationType Value);
    App_bin::TBinLocationType GetLocationType();
    void SetFixedLocation(const std::string& Value);
    std::string GetFixedLocation() const;
    void SetPrefix(const std::string& Value);
    std::string GetPrefix();
    void SetSuffix(const std::string& Value);
    std::string GetSuffix();
    void SetMin(std::int32_t Value);
    std::int32_t GetMin();
    void SetMax(std::int32_t Value);
    std::int32_t GetMax();
    void SetIndex(std::int32_t Value);
    std::int32_t GetIndex();
    void SetFillDigits(bool Value);
    bool GetFillDigits() const;
    void UpdateLocationControls();

    void FormCloseQuery(bool& CanClose);
    void RadioButton11Click();
    void RadioButton12Click();
    void Button11Click();
    void Edit11Exit();
    void Edit21Exit();
    void Edit22Exit();
    void Edit211Exit();
    void Edit212Exit();
    void Edit213Exit();

protected:
    void InitDialog() override;
    void Command(int Id, int Code, HWND Control) override;
    bool CloseQuery() override;
    INT_PTR DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) override;

private:
    bool CanFocus(HWND Control) const;
    void FocusFirstControl();
    bool ShouldRunExit(int Id, unsigned Failures) const;
    void RunExit(int Id);
    std::string Text(int Id) const;
    void SetText(int Id, const std::string& Value);
    bool Checked(int Id) const;
    void SetChecked(int Id, bool Value);
    void SetTabStop(int Id, bool Value);
    std::int32_t ReadInteger(int Id, const std::string& Message);

    App_bin::TBinProps FProps;
    // Failures reported so far; tells a pending exit that its box was left
    // by a failure's own focus move.
    unsigned FFailures = 0;
};

// The program's one properties dialog: made by the bin handler on first use,
// owned by the application; null before that and after the application
// destroyed it.
extern TAppBinPropsDialog* AppBinPropsDialog;

} // namespace App_binpropsdialog
