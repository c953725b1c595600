// Shows the report of a take back for a few seconds, so that it can be
// looked at, and prints its sizes: one item of each outcome, one path long
// enough to scroll.
//   ShowReport [SECONDS]
#include "ShowDialog.h"

#include "app/App_reportdialog.h"

int main(int Argc, char** Argv) {
    using Engine_takeback::TOutcomeKind;
    ShowDialog::StartApplication();
    const std::vector<Engine_takeback::TItemOutcome> Outcomes{
        {TOutcomeKind::okBack, "C:\\Users\\Anna\\Documents\\notes.txt", ""},
        {TOutcomeKind::okRenamed, "C:\\Users\\Anna\\Documents\\Reports\\Quarterly report.docx",
         "C:\\Users\\Anna\\Documents\\Reports\\Quarterly report (2).docx"},
        {TOutcomeKind::okSkipped, "C:\\Users\\Anna\\Pictures\\Holiday", ""},
        {TOutcomeKind::okReplaced, "C:\\Users\\Anna\\Documents\\budget.xlsx", "Tovel #0012"},
        {TOutcomeKind::okFailed, "D:\\Archive\\2025\\old.zip",
         "The program could not move the item."},
    };
    App_reportdialog::TAppReportDialog Dialog(Engine_takeback::OutcomeSummary(Outcomes), Outcomes);
    ShowDialog::Show("Take Back", Argc, Argv, [&] { Dialog.Execute(); });
    return 0;
}
