#include "app/App_guarddialog.h"

#include "gui/Gui_application.h"
#include "res/resource.h"

namespace App_guarddialog {

using Gui_application::Application;

TAppGuardDialog* AppGuardDialog = nullptr;

namespace {

// The form was laid out as 241 pixels wide at 120 pixels per inch; it has no
// height, so nothing of it is ever seen.
const int DesignWidth = 241;
const int DesignPixelsPerInch = 120;

// Posted by the guard to itself only, with both parameters 0.
const UINT JobMessage = WM_APP;

// Marks the job as running for as long as it lives.
class TRunningScope {
public:
    explicit TRunningScope(bool& Running) : FRunning(Running) { FRunning = true; }
    ~TRunningScope() { FRunning = false; }
    TRunningScope(const TRunningScope&) = delete;
    TRunningScope& operator=(const TRunningScope&) = delete;

private:
    bool& FRunning;
};

} // namespace

TAppGuardDialog::TAppGuardDialog() : TDialog(IDD_GUARD) {}

TAppGuardDialog::~TAppGuardDialog() {
    if (AppGuardDialog == this)
        AppGuardDialog = nullptr;
}

int TAppGuardDialog::Execute() {
    FPosted = false;
    const int Result = ShowModal();
    if (!FPosted)
        throw Base_system::Exception("The program could not show a dialog.");
    return Result;
}

// The job message waits in the queue behind everything already there, so
// the job starts only once the modal loop takes messages and the rest of the
// program is disabled. Without it the loop would never end.
void TAppGuardDialog::InitDialog() {
    SetWindowTextA(Handle(), "Guard");
    PlaceWindow();
    FPosted = PostMessageA(Handle(), JobMessage, 0, 0) != FALSE;
    if (!FPosted)
        EndDialog(Handle(), IDCANCEL);
}

void TAppGuardDialog::PlaceWindow() {
    const int Width = MulDiv(DesignWidth, Dpi(), DesignPixelsPerInch);
    RECT Area;
    const HWND MainWindow = Application().MainWindow();
    if (!MainWindow || !GetWindowRect(MainWindow, &Area))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &Area, 0);
    const int Left = Area.left + (Area.right - Area.left - Width) / 2;
    const int Top = Area.top + (Area.bottom - Area.top) / 2;
    SetWindowPos(Handle(), nullptr, Left, Top, Width, 0, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The guard has no controls: Enter and Esc, which the dialog manager turns
// into OK and Cancel, close nothing; only the end of the job does.
void TAppGuardDialog::Command(int, int, HWND) {}

// Alt+F4 arrives as a close request too, refused like every other one.
bool TAppGuardDialog::CloseQuery() {
    return ModalResult() == IDOK;
}

INT_PTR TAppGuardDialog::DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case JobMessage:
        Run();
        return TRUE;
    case WM_QUERYENDSESSION:
        if (FRunning) {
            SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, FALSE);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return TDialog::DialogProc(Message, WParam, LParam);
}

// Showing the dialog reset the cursor, so the hourglass is set only now. The
// result is OK also after a failure, which then goes on to the top level
// while the guard is still up, and the loop ends once that is reported.
void TAppGuardDialog::Run() {
    try {
        TRunningScope Running(FRunning);
        Gui_application::THourglassCursor Hourglass;
        DoExecute();
    } catch (...) {
        SetModalResult(IDOK);
        throw;
    }
    SetModalResult(IDOK);
}

void TAppGuardDialog::DoExecute() {
    if (OnExecute)
        OnExecute(this);
}

} // namespace App_guarddialog
