// The invisible modal dialog that holds the program while a long job runs
// on the GUI thread, and runs that job itself once its modal loop is up.
#pragma once

#include "gui/Gui_dialog.h"
#include "base/Base_system.h"

namespace App_guarddialog {

class TAppGuardDialog : public Gui_dialog::TDialog {
public:
    TAppGuardDialog();
    ~TAppGuardDialog() override;

    // The job, called with the guard as Sender. The guard does not own what
    // it is bound to.
    Base_system::TNotifyEvent OnExecute;

    // Runs the job behind the modal guard and returns the modal result: OK
    // once the job has ended, also when it raised (the top level has then
    // reported the failure). Only a failure to show the guard comes back.
    virtual int Execute();

protected:
    void InitDialog() override;
    void Command(int Id, int Code, HWND Control) override;
    bool CloseQuery() override;
    INT_PTR DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) override;

private:
    void PlaceWindow();
    void Run();
    void DoExecute();
    bool FRunning = false;
    bool FPosted = false;
};

// The program's one guard: made by the first file operation, owned by the
// application; null before that and after the application destroyed it.
extern TAppGuardDialog* AppGuardDialog;

} // namespace App_guarddialog
