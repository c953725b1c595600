// The report of a take back that did not simply bring everything back: the
// summary, what became of every item, and Copy, which puts that on the
// clipboard as text.
#pragma once

#include "engine/Engine_takeback.h"
#include "gui/Gui_dialog.h"

#include <string>
#include <vector>

namespace App_reportdialog {

// The report as Copy gives it: the summary, then one line per item as the
// list shows it, each line ended by CR LF.
std::string ReportText(const std::string& Summary,
                       const std::vector<Engine_takeback::TItemOutcome>& Outcomes);

class TAppReportDialog : public Gui_dialog::TDialog {
public:
    TAppReportDialog(std::string Summary, std::vector<Engine_takeback::TItemOutcome> Outcomes);

    // IDOK when closed by Close or Escape alike.
    virtual int Execute();

protected:
    void InitDialog() override;
    void Command(int Id, int Code, HWND Control) override;

private:
    std::string FSummary;
    std::vector<Engine_takeback::TItemOutcome> FOutcomes;
};

} // namespace App_reportdialog
