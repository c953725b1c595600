// The report of a take back: every item's line as the list shows it and
// Copy gives it, driven through the real dialog.
#include "app/App_reportdialog.h"

#include "res/resource.h"
#include "tests/TestSupport.h"
#include "vek/Vek_codepage.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

using Engine_takeback::TItemOutcome;
using Engine_takeback::TOutcomeKind;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// One item of each outcome.
const std::vector<TItemOutcome> Outcomes{
    {TOutcomeKind::okBack, "C:\\Data\\a.txt", ""},
    {TOutcomeKind::okRenamed, "C:\\Data\\b.txt", "C:\\Data\\b (2).txt"},
    {TOutcomeKind::okSkipped, "C:\\Data\\c.txt", ""},
    {TOutcomeKind::okReplaced, "C:\\Data\\d.txt", "Tovel #0009"},
    {TOutcomeKind::okFailed, "C:\\Data\\\xC3\xA9.txt", "The file is in use."},
};
const std::string Summary = "3 items came back (1 under a new name); 1 skipped; 1 failed.";

std::string ClipboardText() {
    std::string Text;
    if (!OpenClipboard(nullptr))
        return "(no clipboard)";
    if (HANDLE Data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* Wide = static_cast<const wchar_t*>(GlobalLock(Data))) {
            Text = Vek_codepage::FromWide(Wide);
            GlobalUnlock(Data);
        }
    }
    CloseClipboard();
    return Text;
}

} // namespace

TEST(App_reportdialog, ListsEveryItemAndCopiesTheSameLines) {
    const std::string Expected =
        Summary + "\r\n" + "Came back: C:\\Data\\a.txt\r\n" +
        "Came back as \"C:\\Data\\b (2).txt\": C:\\Data\\b.txt\r\n" +
        "Skipped: C:\\Data\\c.txt\r\n" +
        "Came back, what stood there went into \"Tovel #0009\": C:\\Data\\d.txt\r\n" +
        "Failed: C:\\Data\\" + Vek_codepage::FromUtf8("\xC3\xA9") + ".txt: The file is in use.\r\n";
    std::vector<TItemOutcome> Shown = Outcomes;
    Shown.back().Place = Vek_codepage::FromUtf8(Shown.back().Place);
    EXPECT_EQ(App_reportdialog::ReportText(Summary, Shown), Expected);

    // Copy, then Escape, which closes the report as Close does.
    App_reportdialog::TAppReportDialog Dialog(Summary, Shown);
    std::string Caption, SummaryShown, Copied;
    std::vector<std::string> Rows;
    bool ColumnFits = false;
    TestSupport::TDialogWatcher Watcher([&](HWND Window) {
        Caption = TestSupport::WindowText(Window);
        SummaryShown = TestSupport::WindowText(GetDlgItem(Window, IDC_REPORT_SUMMARY));
        const HWND List = GetDlgItem(Window, IDC_REPORT_LIST);
        for (int Row = 0; Row < ListView_GetItemCount(List); ++Row)
            Rows.push_back(TestSupport::ListViewCell(List, Row, 0));
        RECT Client;
        GetClientRect(List, &Client);
        ColumnFits = ListView_GetColumnWidth(List, 0) >= Client.right;
        SendMessageA(Window, WM_COMMAND, MAKEWPARAM(IDC_REPORT_COPY, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Window, IDC_REPORT_COPY)));
        Copied = ClipboardText();
        PostMessageA(Window, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(Dialog.Execute(), IDOK);
    EXPECT_EQ(Caption, "Take Back");
    EXPECT_EQ(SummaryShown, Summary);
    std::string Listed = Summary + "\r\n";
    for (const std::string& Row : Rows)
        Listed += Row + "\r\n";
    EXPECT_EQ(Listed, Expected);
    EXPECT_TRUE(ColumnFits);
    EXPECT_EQ(Copied, Expected);
}
