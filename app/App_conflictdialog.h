// The question of one conflict of a take back: what stands at an item's
// place now and what comes back, answered by Replace, Keep Both or Skip,
// once or for all conflicts that follow.
#pragma once

#include "engine/Engine_takeback.h"
#include "vek/Vek_string.h"
#include "gui/Gui_dialog.h"

#include <string>

namespace App_conflictdialog {

// The dialog's text: the item's name and folder, then what stands there and
// what comes back, each with its size and last change as TimeText gives it,
// and the name Keep Both gives.
std::string ConflictText(const Engine_takeback::TConflictQuestion& Question,
                         const std::string& StandingTime, const std::string& ComingTime,
                         const Vek_string::TNumberFormat& Format);
// The check box's caption, with the conflicts that follow this one.
std::string ForAllText(std::size_t Following);

class TAppConflictDialog : public Gui_dialog::TDialog {
public:
    explicit TAppConflictDialog(Engine_takeback::TConflictQuestion Question);

    // IDOK once an answer is chosen; IDCANCEL for Escape or closing.
    virtual int Execute();
    const Engine_takeback::TConflictAnswer& Answer() const { return FAnswer; }

protected:
    void InitDialog() override;
    void Command(int Id, int Code, HWND Control) override;
    INT_PTR DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) override;

private:
    void Choose(Engine_takeback::TConflictChoice Choice);
    Engine_takeback::TConflictQuestion FQuestion;
    Engine_takeback::TConflictAnswer FAnswer;
};

} // namespace App_conflictdialog
