#include "Gui_dialog.h"

#include "gui/Gui_application.h"
#include "gui/Gui_dpi.h"

namespace Gui_dialog {

using Gui_application::Application;

void TDialog::SetModalResult(int Result) {
    FModalResult = Result;
    if (Result == 0)
        return;
    bool CanClose = false;
    try {
        CanClose = CloseQuery();
    } catch (...) {
        FModalResult = 0;
        throw;
    }
    if (CanClose)
        EndDialog(FHandle, Result);
    else
        FModalResult = 0;
}

int TDialog::ShowModal() {
    FModalResult = 0;
    Gui_application::TModalScope Modal;
    const INT_PTR Result =
        DialogBoxParamA(Application().Instance(), MAKEINTRESOURCEA(FTemplateId),
                        Application().Handle(), Thunk, reinterpret_cast<LPARAM>(this));
    FHandle = nullptr;
    if (Result == -1)
        throw Base_system::Exception("The program could not show a dialog.");
    return FModalResult;
}

void TDialog::Command(int Id, int Code, HWND) {
    if (Code == BN_CLICKED && (Id == IDOK || Id == IDCANCEL))
        SetModalResult(Id);
}

INT_PTR TDialog::DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_INITDIALOG:
        FDpi = Gui_dpi::WindowDpi(FHandle);
        InitDialog();
        return TRUE;
    case WM_DPICHANGED: {
        const int OldDpi = FDpi;
        FDpi = HIWORD(WParam);
        if (OldDpi > 0 && OldDpi != FDpi)
            ScaleLayout(OldDpi, FDpi);
        // Not handled: the system goes on to scale the dialog.
        return FALSE;
    }
    case WM_COMMAND:
        Command(LOWORD(WParam), HIWORD(WParam), reinterpret_cast<HWND>(LParam));
        return TRUE;
    case WM_SETCURSOR:
        if (Application().ScreenCursor()) {
            SetCursor(Application().ScreenCursor());
            SetWindowLongPtrA(FHandle, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void TDialog::ScaleLayout(int, int) {}

void TDialog::FocusControl(HWND Control) {
    SendMessageA(FHandle, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control), TRUE);
}

INT_PTR CALLBACK TDialog::Thunk(HWND Dialog, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_INITDIALOG) {
        auto* Self = reinterpret_cast<TDialog*>(LParam);
        Self->FHandle = Dialog;
        SetWindowLongPtrA(Dialog, DWLP_USER, LParam);
    }
    auto* Self = reinterpret_cast<TDialog*>(GetWindowLongPtrA(Dialog, DWLP_USER));
    if (!Self)
        return FALSE;
    try {
        return Self->DialogProc(Message, WParam, LParam);
    } catch (...) {
        Application().HandleException(std::current_exception());
        return TRUE;
    }
}

} // namespace Gui_dialog
