// Base of the program's modal dialogs, each built from a dialog template of
// the resource script. A dialog ends through its modal result: setting one
// asks CloseQuery first, and a refused close leaves the dialog up with no
// result, as the dialog was before.
#pragma once

#include "base/Base_system.h"

#include <windows.h>

namespace Gui_dialog {

class TDialog : public Base_system::TObject {
public:
    explicit TDialog(int TemplateId) : FTemplateId(TemplateId) {}
    HWND Handle() const { return FHandle; }
    HWND Item(int Id) const { return GetDlgItem(FHandle, Id); }

    int ModalResult() const { return FModalResult; }
    // A result other than 0 closes the dialog once CloseQuery allows it. A
    // failure raised by CloseQuery clears the result and passes on.
    void SetModalResult(int Result);

    // Shows the dialog modally over the whole program and returns its
    // modal result. Raises Base_system::Exception when it cannot be shown.
    int ShowModal();

protected:
    virtual void InitDialog() {}
    // WM_COMMAND; the default turns IDOK and IDCANCEL into modal results.
    virtual void Command(int Id, int Code, HWND Control);
    virtual bool CloseQuery() { return true; }
    // Every message; returns what a dialog procedure returns (FALSE: not handled).
    virtual INT_PTR DialogProc(UINT Message, WPARAM WParam, LPARAM LParam);
    // Moves the focus the way the dialog manager does (Tab order, default button).
    void FocusControl(HWND Control);
    // The dialog went to a monitor of another DPI (under per-monitor
    // awareness). The system then scales the dialog, its font and its
    // controls; sizes in pixels that the dialog keeps itself follow here,
    // just before that.
    virtual void ScaleLayout(int OldDpi, int NewDpi);
    int Dpi() const { return FDpi; }

private:
    static INT_PTR CALLBACK Thunk(HWND Dialog, UINT Message, WPARAM WParam, LPARAM LParam);
    int FTemplateId;
    HWND FHandle = nullptr;
    int FModalResult = 0;
    int FDpi = 0;
};

} // namespace Gui_dialog
