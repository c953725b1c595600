#include "app/App_reportdialog.h"

#include "gui/Gui_clipboard.h"
#include "res/resource.h"
#include "vek/Vek_codepage.h"

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace App_reportdialog {

std::string ReportText(const std::string& Summary,
                       const std::vector<Engine_takeback::TItemOutcome>& Outcomes) {
    std::string Text = Summary + "\r\n";
    for (const Engine_takeback::TItemOutcome& Outcome : Outcomes)
        Text += Engine_takeback::OutcomeText(Outcome) + "\r\n";
    return Text;
}

TAppReportDialog::TAppReportDialog(std::string Summary,
                                   std::vector<Engine_takeback::TItemOutcome> Outcomes)
    : TDialog(IDD_REPORT), FSummary(std::move(Summary)), FOutcomes(std::move(Outcomes)) {}

int TAppReportDialog::Execute() {
    ShowModal();
    return IDOK;
}

// One column, as wide as its longest row, so that a long path scrolls
// rather than being cut.
void TAppReportDialog::InitDialog() {
    SetWindowTextW(Item(IDC_REPORT_SUMMARY), Vek_codepage::ToWide(FSummary).c_str());
    const HWND List = Item(IDC_REPORT_LIST);
    SendMessageW(List, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    LVCOLUMNW Column{};
    Column.mask = LVCF_WIDTH;
    Column.cx = 100;
    SendMessageW(List, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&Column));
    for (std::size_t Row = 0; Row < FOutcomes.size(); ++Row) {
        std::wstring Text = Vek_codepage::ToWide(Engine_takeback::OutcomeText(FOutcomes[Row]));
        LVITEMW Line{};
        Line.mask = LVIF_TEXT;
        Line.iItem = static_cast<int>(Row);
        Line.pszText = &Text[0];
        SendMessageW(List, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&Line));
    }
    RECT Client;
    GetClientRect(List, &Client);
    SendMessageW(List, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
    if (SendMessageW(List, LVM_GETCOLUMNWIDTH, 0, 0) < Client.right)
        SendMessageW(List, LVM_SETCOLUMNWIDTH, 0, Client.right);
    SetForegroundWindow(Handle());
    FocusControl(Item(IDOK));
}

void TAppReportDialog::Command(int Id, int Code, HWND Control) {
    if (Code != BN_CLICKED)
        return;
    if (Id == IDC_REPORT_COPY) {
        Gui_clipboard::CopyText(Handle(), ReportText(FSummary, FOutcomes));
        return;
    }
    // Escape comes as IDCANCEL: the report only closes.
    if (Id == IDCANCEL)
        Id = IDOK;
    TDialog::Command(Id, Code, Control);
}

} // namespace App_reportdialog
