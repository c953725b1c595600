// The entries dialog on a bin made up by the test: what each column shows,
// sorting by header clicks, the kept bounds and widths, which selections the
// commands receive, the search, an opened entry, the keys and the entries
// read in the background. The dialog is driven from the watcher's thread with
// sent messages, so that each step has run before the next one starts.
#include "app/App_entriesdialog.h"

#include "TestSupport.h"
#include "tests/ProgramSupport.h"
#include "gui/Gui_dpi.h"
#include "gui/Gui_window.h"
#include "vek/Vek_codepage.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using App_entriesdialog::TAppEntriesDialog;
using Engine_record::TRecord;
using Engine_record::TRecordNode;

namespace {

using TestSupport::ListViewCell;

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// 2026-01-02 03:04 UTC as a FILETIME number.
std::uint64_t SomeTime(int MinutesLater) {
    SYSTEMTIME Time{2026, 1, 5, 2, 3, static_cast<WORD>(4 + MinutesLater), 0, 0};
    FILETIME File;
    SystemTimeToFileTime(&Time, &File);
    return (static_cast<std::uint64_t>(File.dwHighDateTime) << 32) | File.dwLowDateTime;
}

TRecordNode Tree(const std::string& Name, std::vector<TRecordNode> Children, bool Item = false,
                 std::uint64_t Size = 0) {
    TRecordNode Node;
    Node.Name = Name;
    Node.Kind = Size > 0 ? TRecordNode::nkFile : TRecordNode::nkDirectory;
    Node.Item = Item;
    Node.Size = Size;
    Node.Children = std::move(Children);
    return Node;
}

TRecord Record(std::uint64_t Time, TRecordNode Drive,
               Engine_record::TPutState State = Engine_record::TPutState::psDone) {
    TRecord Made;
    Made.Puts.emplace_back();
    Made.Puts.back().Id = "1";
    Made.Puts.back().Time = Time;
    Made.Puts.back().State = State;
    Made.Puts.back().Tree.Children.push_back(std::move(Drive));
    return Made;
}

// Three entries: #0001 put three files, #0000 did not finish, Other holds a
// directory put whole.
Engine_catalog::TListing Rows() {
    Engine_catalog::TListing Listing;
    Engine_catalog::TCatalog& Catalog = Listing.Catalog;
    Catalog.SetRecord(Catalog.AddEntry("Tovel #0001", "B\\Tovel #0001", 0),
                      Record(SomeTime(1), Tree("C", {Tree("a", {}, true, 1), Tree("b", {}, true, 1),
                                                     Tree("c", {}, true, 1023)})),
                      false);
    Catalog.SetRecord(Catalog.AddEntry("Tovel #0000", "B\\Tovel #0000", 0),
                      Record(SomeTime(0), Tree("D", {Tree("z", {}, true)})), true);
    Catalog.SetRecord(
        Catalog.AddEntry("Other", "B\\Other", 0),
        Record(
            SomeTime(2),
            Tree("E", {Tree("Projects", {Tree("x",
                                              {Tree("notes", {Tree("todo.txt", {}, false, 4096),
                                                              Tree("Todo2.txt", {}, false, 1024)}),
                                               Tree("main.cpp", {}, false, 100)},
                                              true)})})),
        false);
    return Listing;
}

// Each row as its cells joined by "|", the Put column left out.
std::vector<std::string> Shown(HWND Dialog) {
    const HWND List = GetDlgItem(Dialog, IDC_ENTRIES_LIST);
    std::vector<std::string> Lines;
    const int Count = static_cast<int>(SendMessageA(List, LVM_GETITEMCOUNT, 0, 0));
    for (int Row = 0; Row < Count; ++Row)
        Lines.push_back(ListViewCell(List, Row, 0) + "|" + ListViewCell(List, Row, 2) + "|" +
                        ListViewCell(List, Row, 3) + "|" + ListViewCell(List, Row, 4));
    return Lines;
}

void ClickHeader(HWND Dialog, int Column) {
    NMLISTVIEW Notice{};
    Notice.hdr.hwndFrom = GetDlgItem(Dialog, IDC_ENTRIES_LIST);
    Notice.hdr.idFrom = IDC_ENTRIES_LIST;
    Notice.hdr.code = LVN_COLUMNCLICK;
    Notice.iItem = -1;
    Notice.iSubItem = Column;
    SendMessageA(Dialog, WM_NOTIFY, IDC_ENTRIES_LIST, reinterpret_cast<LPARAM>(&Notice));
}

void PressKey(HWND Dialog, WORD Key) {
    NMLVKEYDOWN Notice{};
    Notice.hdr.hwndFrom = GetDlgItem(Dialog, IDC_ENTRIES_LIST);
    Notice.hdr.idFrom = IDC_ENTRIES_LIST;
    Notice.hdr.code = LVN_KEYDOWN;
    Notice.wVKey = Key;
    SendMessageA(Dialog, WM_NOTIFY, IDC_ENTRIES_LIST, reinterpret_cast<LPARAM>(&Notice));
}

void Select(HWND Dialog, const std::vector<int>& Rows) {
    const HWND List = GetDlgItem(Dialog, IDC_ENTRIES_LIST);
    LVITEMA Item{};
    Item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    Item.state = 0;
    SendMessageA(List, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&Item));
    for (int Row : Rows) {
        Item.state = LVIS_SELECTED | (Row == Rows.front() ? LVIS_FOCUSED : 0);
        SendMessageA(List, LVM_SETITEMSTATE, Row, reinterpret_cast<LPARAM>(&Item));
    }
}

void Click(HWND Dialog, int Id) {
    SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), 0);
}

bool Enabled(HWND Dialog, int Id) {
    return IsWindowEnabled(GetDlgItem(Dialog, Id)) != FALSE;
}

// The control with the focus in the dialog's own thread.
HWND FocusOf(HWND Dialog) {
    GUITHREADINFO Info{};
    Info.cbSize = sizeof Info;
    GetGUIThreadInfo(GetWindowThreadProcessId(Dialog, nullptr), &Info);
    return Info.hwndFocus;
}

// The rows of a search or an opened entry: name, entry and size.
// An opened entry's rows lead with their level of indent.
std::vector<std::string> ItemsShown(HWND Dialog, bool Indents = false) {
    const HWND List = GetDlgItem(Dialog, IDC_ENTRIES_LIST);
    std::vector<std::string> Lines;
    const int Count = static_cast<int>(SendMessageA(List, LVM_GETITEMCOUNT, 0, 0));
    for (int Row = 0; Row < Count; ++Row) {
        LVITEMA Item{};
        Item.mask = LVIF_INDENT;
        Item.iItem = Row;
        SendMessageA(List, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Item));
        Lines.push_back((Indents ? std::to_string(Item.iIndent) + " " : std::string()) +
                        ListViewCell(List, Row, 0) + "|" + ListViewCell(List, Row, 1) + "|" +
                        ListViewCell(List, Row, 2) + "|" + ListViewCell(List, Row, 4));
    }
    return Lines;
}

// Runs Steps on the dialog "Entries" once it shows, then closes it.
void RunDialog(TAppEntriesDialog& Dialog, const std::function<void(HWND)>& Steps) {
    TestSupport::TDialogWatcher Watcher([&Steps](HWND Window) {
        if (TestSupport::WindowText(Window) != "Entries")
            return;
        Steps(Window);
        TestSupport::PressButton(Window, IDCANCEL);
    });
    Dialog.Execute();
}

} // namespace

TEST(App_entriesdialog, ColumnsShowTheRowsAndHeaderClicksSortBothWays) {
    TAppEntriesDialog Dialog;
    Dialog.OnList = Rows;
    std::vector<std::vector<std::string>> Seen;
    std::vector<std::string> Headers;
    std::string PutText;
    RunDialog(Dialog, [&](HWND Window) {
        Seen.push_back(Shown(Window));
        const HWND List = GetDlgItem(Window, IDC_ENTRIES_LIST);
        PutText = ListViewCell(List, 0, 1);
        for (int Column = 0; Column < 5; ++Column) {
            char Text[64] = "";
            LVCOLUMNA Info{};
            Info.mask = LVCF_TEXT;
            Info.pszText = Text;
            Info.cchTextMax = sizeof Text;
            SendMessageA(List, LVM_GETCOLUMNA, Column, reinterpret_cast<LPARAM>(&Info));
            Headers.push_back(Text);
        }
        ClickHeader(Window, Engine_catalog::ecEntry);
        Seen.push_back(Shown(Window));
        ClickHeader(Window, Engine_catalog::ecEntry);
        Seen.push_back(Shown(Window));
        ClickHeader(Window, Engine_catalog::ecSize);
        Seen.push_back(Shown(Window));
    });
    EXPECT_EQ(Headers, (std::vector<std::string>{"Entry", "Put", "Items", "Size", "From"}));
    ASSERT_EQ(Seen.size(), 4u);
    // Newest first to begin with.
    EXPECT_EQ(Seen[0], (std::vector<std::string>{"Other|1|5.1 KB|E:\\Projects\\x",
                                                 "Tovel #0001|3|1.0 KB|C:\\a and 2 more",
                                                 "Tovel #0000|1|0 bytes|Did not finish: D:\\z"}));
    EXPECT_EQ(Seen[1], (std::vector<std::string>{"Other|1|5.1 KB|E:\\Projects\\x",
                                                 "Tovel #0000|1|0 bytes|Did not finish: D:\\z",
                                                 "Tovel #0001|3|1.0 KB|C:\\a and 2 more"}));
    EXPECT_EQ(Seen[2], (std::vector<std::string>{"Tovel #0001|3|1.0 KB|C:\\a and 2 more",
                                                 "Tovel #0000|1|0 bytes|Did not finish: D:\\z",
                                                 "Other|1|5.1 KB|E:\\Projects\\x"}));
    EXPECT_EQ(Seen[3], (std::vector<std::string>{"Other|1|5.1 KB|E:\\Projects\\x",
                                                 "Tovel #0001|3|1.0 KB|C:\\a and 2 more",
                                                 "Tovel #0000|1|0 bytes|Did not finish: D:\\z"}));
    // The local date and time of the newest entry, in the user's format.
    EXPECT_NE(PutText.find("2026"), std::string::npos) << PutText;
    EXPECT_EQ(Dialog.Settings.SortColumn, Engine_catalog::ecSize);
    EXPECT_TRUE(Dialog.Settings.SortDescending);
}

TEST(App_entriesdialog, BoundsAndColumnWidthsAreKeptAndComeBack) {
    TAppEntriesDialog Dialog;
    Dialog.OnList = Rows;
    Dialog.Settings.Left = 40;
    Dialog.Settings.Top = 50;
    Dialog.Settings.Width = 900;
    Dialog.Settings.Height = 500;
    const int Widths[5] = {101, 102, 53, 74, 205};
    std::copy(std::begin(Widths), std::end(Widths), Dialog.Settings.ColumnWidths);
    RECT Bounds{};
    std::vector<int> Seen;
    RunDialog(Dialog, [&](HWND Window) {
        GetWindowRect(Window, &Bounds);
        for (int Column = 0; Column < 5; ++Column)
            Seen.push_back(static_cast<int>(
                SendMessageA(GetDlgItem(Window, IDC_ENTRIES_LIST), LVM_GETCOLUMNWIDTH, Column, 0)));
        // The user narrows a column and makes the window larger.
        SendMessageA(GetDlgItem(Window, IDC_ENTRIES_LIST), LVM_SETCOLUMNWIDTH, 0, 77);
        SetWindowPos(Window, nullptr, 30, 20, 950, 600, SWP_NOZORDER);
    });
    EXPECT_EQ(Bounds.left, 40);
    EXPECT_EQ(Bounds.top, 50);
    EXPECT_EQ(Bounds.right - Bounds.left, 900);
    EXPECT_EQ(Bounds.bottom - Bounds.top, 500);
    EXPECT_EQ(Seen, std::vector<int>(std::begin(Widths), std::end(Widths)));
    EXPECT_EQ(Dialog.Settings.Left, 30);
    EXPECT_EQ(Dialog.Settings.Top, 20);
    EXPECT_EQ(Dialog.Settings.Width, 950);
    EXPECT_EQ(Dialog.Settings.Height, 600);
    EXPECT_EQ(Dialog.Settings.ColumnWidths[0], 77);
    EXPECT_EQ(Dialog.Settings.ColumnWidths[4], 205);

    // Too small a size grows to the least the buttons need.
    TAppEntriesDialog Small;
    Small.Settings.Width = 10;
    Small.Settings.Height = 10;
    RunDialog(Small, [&](HWND Window) { GetWindowRect(Window, &Bounds); });
    EXPECT_GT(Bounds.right - Bounds.left, 200);
    EXPECT_GT(Bounds.bottom - Bounds.top, 100);
}

// Taken to a monitor of twice the DPI: as the system scales the dialog and its
// font, the margins, buttons and columns that the dialog lays out itself
// grow with them.
// Widths kept at 96 dpi come back scaled on a screen of twice that, and are
// kept at 96 dpi again, whatever the screen was.
TEST(App_entriesdialog, DpiChangeScalesTheLayoutAndTheColumns) {
    TAppEntriesDialog Dialog;
    Dialog.OnList = Rows;
    const int Kept[5] = {101, 102, 53, 74, 205};
    std::copy(std::begin(Kept), std::end(Kept), Dialog.Settings.ColumnWidths);
    int Width = 0;
    std::vector<int> Before, After;
    RunDialog(Dialog, [&](HWND Window) {
        const HWND List = GetDlgItem(Window, IDC_ENTRIES_LIST);
        const auto Layout = [Window, List] {
            const RECT ListBounds = Gui_window::ChildBounds(List);
            const RECT Close = Gui_window::ChildBounds(GetDlgItem(Window, IDCANCEL));
            std::vector<int> Sizes{ListBounds.left, ListBounds.top, Close.right - Close.left,
                                   Close.bottom - Close.top};
            for (int Column = 0; Column < 5; ++Column)
                Sizes.push_back(
                    static_cast<int>(SendMessageA(List, LVM_GETCOLUMNWIDTH, Column, 0)));
            return Sizes;
        };
        Before = Layout();
        RECT Bounds;
        GetWindowRect(Window, &Bounds);
        const RECT Suggested{Bounds.left, Bounds.top,
                             Bounds.left + 2 * (Bounds.right - Bounds.left),
                             Bounds.top + 2 * (Bounds.bottom - Bounds.top)};
        const int Dpi = 2 * Gui_dpi::WindowDpi(Window);
        SendMessageA(Window, WM_DPICHANGED, MAKEWPARAM(Dpi, Dpi),
                     reinterpret_cast<LPARAM>(&Suggested));
        // As the system does once the dialog has seen the change (Wine does not).
        SetWindowPos(Window, nullptr, Suggested.left, Suggested.top,
                     Suggested.right - Suggested.left, Suggested.bottom - Suggested.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        After = Layout();
        GetWindowRect(Window, &Bounds);
        Width = Bounds.right - Bounds.left;
    });
    ASSERT_EQ(After.size(), Before.size());
    for (std::size_t Index = 0; Index < Before.size(); ++Index)
        EXPECT_NEAR(After[Index], 2 * Before[Index], 1) << Index;
    const int Dpi = Gui_dpi::SystemDpi();
    for (int Column = 0; Column < 5; ++Column) {
        EXPECT_NEAR(Before[4 + Column], Kept[Column] * Dpi / 96, 1) << Column;
        EXPECT_NEAR(Dialog.Settings.ColumnWidths[Column], Kept[Column], 1) << Column;
    }
    EXPECT_NEAR(Dialog.Settings.Width, Width * 96 / (2 * Dpi), 1);
}

TEST(App_entriesdialog, CommandsGetTheSelectionAndTheListIsReadAgain) {
    TAppEntriesDialog Dialog;
    int Listed = 0;
    Dialog.OnList = [&Listed] {
        ++Listed;
        return Rows();
    };
    std::vector<std::string> Calls;
    const auto Note = [&Calls](const std::string& Name) {
        return [&Calls, Name](const std::vector<Engine_takeback::TTakeBackSelection>& Selections) {
            for (const auto& Selection : Selections) {
                std::string Call = Name + " " + Selection.EntryPath;
                for (const std::string& Item : Selection.Items)
                    Call += " " + Item;
                Calls.push_back(Call);
            }
        };
    };
    Dialog.OnTakeBack = Note("take back");
    Dialog.OnTakeBackTo = Note("take back to");
    Dialog.OnDiscardItems = Note("discard items");
    Dialog.OnDiscard = [&Calls](const std::vector<std::string>& Paths) {
        for (const std::string& Path : Paths)
            Calls.push_back("discard " + Path);
    };
    Dialog.OnExplore = [&Calls](const std::vector<std::string>& Paths) {
        for (const std::string& Path : Paths)
            Calls.push_back("explore " + Path);
    };
    std::vector<bool> Buttons;
    std::vector<int> Selected;
    RunDialog(Dialog, [&](HWND Window) {
        const HWND List = GetDlgItem(Window, IDC_ENTRIES_LIST);
        // The newest entry is selected when the dialog opens.
        Buttons.push_back(Enabled(Window, IDC_ENTRIES_TAKE_BACK));
        Select(Window, {0, 2});
        Click(Window, IDC_ENTRIES_TAKE_BACK);
        // What was selected stays selected, the focus where it was.
        Selected.push_back(static_cast<int>(SendMessageA(List, LVM_GETSELECTEDCOUNT, 0, 0)));
        Selected.push_back(FocusOf(Window) == List);
        Click(Window, IDC_ENTRIES_DISCARD);
        Select(Window, {1});
        PressKey(Window, VK_DELETE);
        Click(Window, IDC_ENTRIES_EXPLORE);
        Click(Window, IDC_ENTRIES_TAKE_BACK_TO);
        // Single items of a search's results, of two entries.
        SetDlgItemTextA(Window, IDC_ENTRIES_SEARCH, "?");
        Select(Window, {0, 4});
        Click(Window, IDC_ENTRIES_TAKE_BACK);
        Buttons.push_back(Enabled(Window, IDC_ENTRIES_DISCARD));
        Click(Window, IDC_ENTRIES_DISCARD);
        Select(Window, {});
        for (int Id : {IDC_ENTRIES_TAKE_BACK, IDC_ENTRIES_TAKE_BACK_TO, IDC_ENTRIES_EXPLORE,
                       IDC_ENTRIES_DISCARD})
            Buttons.push_back(Enabled(Window, Id));
        Click(Window, IDC_ENTRIES_TAKE_BACK);
        PressKey(Window, VK_DELETE);
    });
    EXPECT_EQ(Calls,
              (std::vector<std::string>{
                  "take back B\\Other", "take back B\\Tovel #0000", "discard B\\Other",
                  "discard B\\Tovel #0000", "discard B\\Tovel #0001", "explore B\\Tovel #0001",
                  "take back to B\\Tovel #0001", "take back B\\Tovel #0001 C\\a",
                  "take back B\\Other E\\Projects\\x", "discard items B\\Tovel #0001 C\\a",
                  "discard items B\\Other E\\Projects\\x"}));
    EXPECT_EQ(Selected, (std::vector<int>{2, 1}));
    EXPECT_EQ(Buttons, (std::vector<bool>{true, true, false, false, false, false}));
    // Once on opening and once after each of the six commands that change the bin.
    EXPECT_EQ(Listed, 7);
}

// The search, an opened entry and the way back, by the keys a user presses.
TEST(App_entriesdialog, SearchFindsItemsAndAnEntryOpensAsATree) {
    TAppEntriesDialog Dialog;
    Dialog.OnList = Rows;
    std::vector<std::vector<std::string>> Seen;
    std::vector<std::string> Status;
    std::vector<int> Views;
    RunDialog(Dialog, [&](HWND Window) {
        const HWND List = GetDlgItem(Window, IDC_ENTRIES_LIST);
        const HWND Search = GetDlgItem(Window, IDC_ENTRIES_SEARCH);
        std::vector<HWND> Focus;
        const auto Look = [&] {
            Seen.push_back(Dialog.View() == TAppEntriesDialog::vwEntries
                               ? Shown(Window)
                               : ItemsShown(Window, Dialog.View() == TAppEntriesDialog::vwOpened));
            Status.push_back(TestSupport::WindowText(GetDlgItem(Window, IDC_ENTRIES_STATUS)));
            Views.push_back(Dialog.View());
        };
        Look();
        // Typing in the list goes to the search box.
        for (char Typed : std::string("TODO"))
            SendMessageA(List, WM_CHAR, static_cast<WPARAM>(Typed), 0);
        Look();
        SendMessageA(Search, WM_KEYDOWN, VK_ESCAPE, 0);
        Look();
        SetWindowTextA(Search, "*.cpp");
        Look();
        SetWindowTextA(Search, "");
        // Down goes from the box to the list; there Enter on the entry Other
        // opens it, and Backspace goes up again.
        Focus.push_back(FocusOf(Window));
        SendMessageA(Search, WM_KEYDOWN, VK_DOWN, 0);
        Focus.push_back(FocusOf(Window));
        Select(Window, {0});
        Click(Window, IDOK);
        Look();
        SendMessageA(List, WM_KEYDOWN, VK_BACK, 0);
        Look();
        EXPECT_EQ(Focus, (std::vector<HWND>{Search, List}));
    });
    ASSERT_EQ(Seen.size(), 6u);
    EXPECT_EQ(Seen[1], (std::vector<std::string>{"todo.txt|E:\\Projects\\x\\notes|Other|4.0 KB",
                                                 "Todo2.txt|E:\\Projects\\x\\notes|Other|1.0 KB"}));
    EXPECT_EQ(Status[0], "3 entries, 6 files, 6.1 KB");
    EXPECT_EQ(Status[1], "2 found; 3 entries, 6 files, 6.1 KB");
    EXPECT_EQ(Seen[2], Seen[0]);
    EXPECT_EQ(Seen[3], (std::vector<std::string>{"main.cpp|E:\\Projects\\x|Other|100 bytes"}));
    // The levels above the items folded into one path line.
    EXPECT_EQ(Seen[4], (std::vector<std::string>{
                           "0 E:\\Projects|E:|Other|5.1 KB", "1 x|E:\\Projects|Other|5.1 KB",
                           "2 main.cpp|E:\\Projects\\x|Other|100 bytes",
                           "2 notes|E:\\Projects\\x|Other|5.0 KB",
                           "3 todo.txt|E:\\Projects\\x\\notes|Other|4.0 KB",
                           "3 Todo2.txt|E:\\Projects\\x\\notes|Other|1.0 KB"}));
    EXPECT_EQ(Seen[5], Seen[0]);
    EXPECT_EQ(Views, (std::vector<int>{TAppEntriesDialog::vwEntries, TAppEntriesDialog::vwSearch,
                                       TAppEntriesDialog::vwEntries, TAppEntriesDialog::vwSearch,
                                       TAppEntriesDialog::vwOpened, TAppEntriesDialog::vwEntries}));
}

// Entries without a record show "..." at once and their figures as the
// reader hands them over, one row at a time; an empty bin says so.
TEST(App_entriesdialog, EntriesWithoutARecordAreReadAfterTheListShows) {
    TAppEntriesDialog Dialog;
    Dialog.OnList = [] {
        Engine_catalog::TListing Listing = Rows();
        for (const char* Name : {"Made by hand", "Older"})
            Listing.Unread.push_back(Listing.Catalog.AddEntry(Name, std::string("B\\") + Name, 0));
        return Listing;
    };
    std::mutex Lock;
    std::condition_variable Released;
    bool Go = false;
    Dialog.OnReadEntry = [&](const Engine_catalog::TCatalogEntry& Entry, TRecord& Made) {
        std::unique_lock<std::mutex> Guard(Lock);
        Released.wait(Guard, [&Go] { return Go; });
        Made = Record(SomeTime(9), Tree("F", {Tree(Entry.Name, {}, true, 2048)}));
        return true;
    };
    std::vector<std::string> Before, After;
    std::string Status;
    RunDialog(Dialog, [&](HWND Window) {
        const auto Rows = [Window] {
            std::vector<std::string> Lines = Shown(Window);
            std::sort(Lines.begin(), Lines.end());
            return std::vector<std::string>(Lines.begin(), Lines.begin() + 2);
        };
        Before = Rows();
        {
            std::lock_guard<std::mutex> Guard(Lock);
            Go = true;
        }
        Released.notify_all();
        // The rows fill as the reader goes: wait for the last one.
        EXPECT_TRUE(TestSupport::PumpUntil([&Rows] {
            return Rows()[0].find("F:") != std::string::npos &&
                   Rows()[1].find("F:") != std::string::npos;
        }));
        After = Rows();
        Status = TestSupport::WindowText(GetDlgItem(Window, IDC_ENTRIES_STATUS));
    });
    const std::string Pending = Vek_codepage::FromWide(L"\u2026");
    EXPECT_EQ(Before,
              (std::vector<std::string>{"Made by hand|" + Pending + "|" + Pending + "|" + Pending,
                                        "Older|" + Pending + "|" + Pending + "|" + Pending}));
    EXPECT_EQ(After, (std::vector<std::string>{"Made by hand|1|2.0 KB|F:\\Made by hand",
                                               "Older|1|2.0 KB|F:\\Older"}));
    EXPECT_EQ(Status, "5 entries, 8 files, 10.1 KB");

    TAppEntriesDialog Empty;
    RunDialog(Empty, [&](HWND Window) {
        Status = TestSupport::WindowText(GetDlgItem(Window, IDC_ENTRIES_STATUS));
        Before = Shown(Window);
    });
    EXPECT_EQ(Status, "The bin is empty.");
    EXPECT_TRUE(Before.empty());
}

// The conventions of a list, in each of the dialog's lists: the entries, an
// opened entry and a search's results. Each key goes through the dialog's
// own message loop, as a user's would, in a dialog of its own.
TEST(App_entriesdialog, EveryListKeepsTheListConventions) {
    enum TAction {
        acSelectAll,
        acRefresh,
        acEnter,
        acEscape,
        acShiftF10,
        acMenuKey,
        acRightClick,
        acHeaderClick,
        acFolderKeys
    };
    struct TCase {
        TAppEntriesDialog::TView View;
        TAction Action;
        // What follows: the view, the rows selected, the listings read, the
        // commands called, the menu's items, whether the dialog is still up.
        std::string Expected;
    };
    const auto Opened = TAppEntriesDialog::vwOpened;
    const auto Entries = TAppEntriesDialog::vwEntries;
    const auto Found = TAppEntriesDialog::vwSearch;
    const std::string EntryMenu = "&Take Back|Take Back T&o...|Open &Location|&Discard...";
    const std::string ItemMenu = EntryMenu;
    const std::vector<TCase> Cases{
        {Entries, acSelectAll, "0 3 1 up"},
        {Opened, acSelectAll, "2 6 1 up"},
        {Found, acSelectAll, "1 2 1 up"},
        {Entries, acRefresh, "0 1 2 up"},
        {Opened, acRefresh, "2 1 2 up"},
        {Found, acRefresh, "1 1 2 up"},
        {Entries, acEnter, "2 1 1 up"},
        {Opened, acEnter, "2 1 1 locate B\\Other\\E\\Projects up"},
        {Found, acEnter, "1 1 1 locate B\\Other\\E\\Projects\\x\\notes\\todo.txt up"},
        {Entries, acEscape, "0 - 1 closed"},
        {Opened, acEscape, "0 1 1 up"},
        {Found, acEscape, "0 1 1 up"},
        {Entries, acShiftF10, "0 1 1 " + EntryMenu + " up"},
        {Opened, acMenuKey, "2 1 1 " + ItemMenu + " up"},
        {Found, acShiftF10, "1 1 1 " + ItemMenu + " up"},
        {Entries, acRightClick, "0 1 2 take back B\\Other " + EntryMenu + " up"},
        {Opened, acRightClick, "2 1 2 take back B\\Other " + ItemMenu + " up"},
        // A header clicked: the entries by name, the items by size, the
        // largest first; an opened entry keeps its tree.
        {Entries, acHeaderClick, "0 1 1 Other..Tovel #0001 up up"},
        {Opened, acHeaderClick, "2 1 1 E:\\Projects..main.cpp down up"},
        // Left closes the folded line's folder, Right opens it again, and a
        // double click closes the folder below it: the rows that are left.
        {Opened, acFolderKeys, "2 1 1 rows 1 6 2 up"},
        {Found, acHeaderClick, "1 1 1 todo.txt..Todo2.txt down up"},
    };
    for (std::size_t Index = 0; Index < Cases.size(); ++Index) {
        const TCase& Case = Cases[Index];
        TAppEntriesDialog Dialog;
        int Listed = 0;
        std::string Calls;
        Dialog.OnList = [&Listed] {
            ++Listed;
            return Rows();
        };
        Dialog.OnExplore = [&Calls](const std::vector<std::string>& Paths) {
            Calls += "explore " + Paths.front();
        };
        Dialog.OnOpenLocation = [&Calls](const std::string& Path) { Calls += "locate " + Path; };
        Dialog.OnTakeBack = [&Calls](const std::vector<Engine_takeback::TTakeBackSelection>& Got) {
            Calls += "take back " + Got.front().EntryPath;
        };
        std::string Menu;
        std::string Seen;
        bool Up = true;
        const auto Steps = [&](HWND Window) {
            if (TestSupport::WindowText(Window) != "Entries")
                return;
            const HWND List = GetDlgItem(Window, IDC_ENTRIES_LIST);
            if (Case.View == Opened) {
                Select(Window, {0});
                Click(Window, IDOK);
            } else if (Case.View == Found) {
                SetWindowTextA(GetDlgItem(Window, IDC_ENTRIES_SEARCH), "todo");
            }
            SendMessageA(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(List), TRUE);
            Select(Window, {0});
            // The entries lead with From; an opened entry's caption names it.
            int Order[5] = {};
            SendMessageA(List, LVM_GETCOLUMNORDERARRAY, 5, reinterpret_cast<LPARAM>(&Order));
            EXPECT_EQ(Order[0], Case.View == Entries ? Engine_catalog::ecFrom : 0) << Index;
            EXPECT_EQ(TestSupport::WindowText(Window),
                      Case.View == Opened ? "Other - Entries" : "Entries")
                << Index;
            // Items carry the shell's icon of their kind; entries none.
            LVITEMA Icon{};
            Icon.mask = LVIF_IMAGE;
            SendMessageA(List, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Icon));
            EXPECT_EQ(Icon.iImage >= 0, Case.View != Entries) << Index;
            const int ListedBefore = Listed;
            switch (Case.Action) {
            case acSelectAll: {
                const TestSupport::THeldKey Holding(Window, VK_CONTROL);
                PostMessageA(List, WM_KEYDOWN, 'A', 1);
                ProgramSupport::WaitFor([&] {
                    return ListView_GetSelectedCount(List) == static_cast<UINT>(Dialog.RowCount());
                });
                break;
            }
            case acRefresh:
                PostMessageA(List, WM_KEYDOWN, VK_F5, 1);
                ProgramSupport::WaitFor([&] { return Listed > ListedBefore; });
                break;
            case acEnter:
                PostMessageA(List, WM_KEYDOWN, VK_RETURN, 1);
                ProgramSupport::WaitFor(
                    [&] { return !Calls.empty() || Dialog.View() != Case.View; });
                break;
            case acEscape:
                PostMessageA(List, WM_KEYDOWN, VK_ESCAPE, 1);
                ProgramSupport::WaitFor(
                    [&] { return !IsWindow(Window) || Dialog.View() != Case.View; });
                break;
            case acShiftF10: {
                const TestSupport::THeldKey Holding(Window, VK_SHIFT);
                PostMessageA(List, WM_SYSKEYDOWN, VK_F10, 1);
                Menu = TestSupport::TakeContextMenu(Window, -1);
                break;
            }
            case acMenuKey:
                PostMessageA(List, WM_KEYDOWN, VK_APPS, 1);
                Menu = TestSupport::TakeContextMenu(Window, -1);
                break;
            case acRightClick: {
                RECT Row{};
                ListView_GetItemRect(List, 0, &Row, LVIR_LABEL);
                const LPARAM At = MAKELPARAM(Row.left + 4, (Row.top + Row.bottom) / 2);
                PostMessageA(List, WM_RBUTTONDOWN, MK_RBUTTON, At);
                PostMessageA(List, WM_RBUTTONUP, 0, At);
                Menu = TestSupport::TakeContextMenu(Window, 0);
                // The command, then the list read again.
                ProgramSupport::WaitFor([&] { return !Calls.empty() && Listed > ListedBefore; });
                break;
            }
            case acHeaderClick: {
                const HWND Header = ListView_GetHeader(List);
                const int Column = Case.View == Entries ? static_cast<int>(Engine_catalog::ecEntry)
                                                        : static_cast<int>(Engine_catalog::icSize);
                const auto Mark = [Header, Column] {
                    HDITEMA Item{};
                    Item.mask = HDI_FORMAT;
                    Header_GetItem(Header, Column, &Item);
                    return Item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
                };
                // What the header tells the list of a click.
                NMHEADERW Notice{};
                Notice.hdr.hwndFrom = Header;
                Notice.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(Header));
                Notice.hdr.code = HDN_ITEMCLICKW;
                Notice.iItem = Column;
                Notice.iButton = 0;
                SendMessageW(List, WM_NOTIFY, Notice.hdr.idFrom, reinterpret_cast<LPARAM>(&Notice));
                ProgramSupport::WaitFor([&] { return Mark() != 0; });
                const auto Trimmed = [List](int Row) {
                    const std::string Text = ListViewCell(List, Row, 0);
                    return Text.substr(std::min(Text.find_first_not_of(' '), Text.size()));
                };
                const int Kept = Case.View == Entries ? Dialog.Settings.SortColumn
                                                      : Dialog.Settings.ItemSortColumn;
                Calls = Trimmed(0) + ".." + Trimmed(Dialog.RowCount() - 1) +
                        (Mark() == HDF_SORTUP ? " up" : " down") +
                        (Kept == Column ? "" : " not kept");
                break;
            }
            case acFolderKeys: {
                const auto Rows = [&] { return " " + std::to_string(Dialog.RowCount()); };
                SendMessageA(List, WM_KEYDOWN, VK_LEFT, 1);
                Calls = "rows" + Rows();
                SendMessageA(List, WM_KEYDOWN, VK_RIGHT, 1);
                Calls += Rows();
                RECT Row{};
                ListView_GetItemRect(List, 1, &Row, LVIR_LABEL);
                const LPARAM At = MAKELPARAM(Row.left + 4, (Row.top + Row.bottom) / 2);
                SendMessageA(List, WM_LBUTTONDBLCLK, MK_LBUTTON, At);
                Calls += Rows();
                break;
            }
            }
            Up = IsWindow(Window) != FALSE;
            Seen = std::to_string(Dialog.View()) + " " +
                   (Up ? std::to_string(ListView_GetSelectedCount(List)) : "-") + " " +
                   std::to_string(Listed);
            for (const std::string& Part : {Calls, Menu})
                if (!Part.empty())
                    Seen += " " + Part;
            if (Up)
                TestSupport::PressButton(Window, IDCANCEL);
        };
        {
            TestSupport::TDialogWatcher Watcher(Steps);
            Dialog.Execute();
        }
        EXPECT_EQ(Seen + (Up ? " up" : " closed"), Case.Expected) << Index;
    }
}
