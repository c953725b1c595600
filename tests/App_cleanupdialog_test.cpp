// The clean-up dialog on entries made up by the test: the preview follows
// the rules as they change, numbers out of range are refused, Clean Up hands
// over exactly the preview, Empty Bin... asks first. The dialog is driven
// from the watcher's thread; a step that raises a box is posted, and the box
// is waited for and answered.
#include "app/App_cleanupdialog.h"

#include "TestSupport.h"
#include "tests/PortableSupport.h"
#include "tests/ProgramSupport.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

using App_cleanupdialog::TAppCleanUpDialog;
using Engine_cleanup::Day;
using Engine_cleanup::TCleanUpEntry;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

const std::uint64_t MB = 1024 * 1024;
const std::uint64_t Now = 400000 * Day;

std::vector<TCleanUpEntry> Bin() {
    return {{"a", "B\\a", Now - 40 * Day, 600 * MB, false, "", 0},
            {"b", "B\\b", Now - 20 * Day, 300 * MB, false, "", 0},
            {"c", "B\\c", Now - 10 * Day, 300 * MB, false, "", 0},
            {"d", "B\\d", Now - 50 * Day, 300 * MB, true, "", 0}};
}

std::string Shown(HWND Dialog) {
    const HWND List = GetDlgItem(Dialog, IDC_CLEANUP_PREVIEW);
    std::string Names;
    const int Count = static_cast<int>(SendMessageA(List, LVM_GETITEMCOUNT, 0, 0));
    for (int Row = 0; Row < Count; ++Row) {
        char Text[64] = "";
        LVITEMA Item{};
        Item.pszText = Text;
        Item.cchTextMax = sizeof Text;
        SendMessageA(List, LVM_GETITEMTEXTA, Row, reinterpret_cast<LPARAM>(&Item));
        Names += (Names.empty() ? "" : " ") + std::string(Text);
    }
    return Names;
}

std::string Total(HWND Dialog) {
    return TestSupport::WindowText(GetDlgItem(Dialog, IDC_CLEANUP_TOTAL));
}

void Check(HWND Dialog, int Id, bool Checked) {
    SendMessageA(GetDlgItem(Dialog, Id), BM_SETCHECK, Checked ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), 0);
}

void Type(HWND Dialog, int Id, const std::string& Text) {
    SetWindowTextA(GetDlgItem(Dialog, Id), Text.c_str());
}

BOOL CALLBACK FindBox(HWND Window, LPARAM Param) {
    if (!IsWindowVisible(Window) || TestSupport::ClassName(Window) != "#32770" ||
        TestSupport::WindowText(Window) != "Tovel Bin")
        return TRUE;
    *reinterpret_cast<HWND*>(Param) = Window;
    return FALSE;
}

// The program's own box on the dialog's thread, once it shows.
HWND WaitForBox(HWND Dialog) {
    HWND Box = nullptr;
    ProgramSupport::WaitFor([&] {
        EnumThreadWindows(GetWindowThreadProcessId(Dialog, nullptr), FindBox,
                          reinterpret_cast<LPARAM>(&Box));
        return Box != nullptr;
    });
    return Box;
}

// Posts a button of the dialog, answers the box it raises, and returns the
// box's text once the box has gone.
std::string AnswerBox(HWND Dialog, int Id, int Answer) {
    PostMessageA(Dialog, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), 0);
    const HWND Box = WaitForBox(Dialog);
    if (!Box)
        return "no box";
    const std::string Text = TestSupport::MessageBoxText(Box);
    TestSupport::PressButton(Box, Answer);
    ProgramSupport::WaitFor([&] { return !IsWindow(Box) && IsWindowEnabled(Dialog); });
    return Text;
}

HWND Focused(HWND Dialog) {
    GUITHREADINFO Info{};
    Info.cbSize = sizeof Info;
    GetGUIThreadInfo(GetWindowThreadProcessId(Dialog, nullptr), &Info);
    return Info.hwndFocus;
}

struct TFixture {
    TFixture() {
        Dialog.OnNow = [] { return Now; };
        Dialog.OnList = [this] { return Entries; };
        Dialog.OnDiscard = [this](const std::vector<std::string>& Paths) {
            Discarded.push_back(Paths);
            for (const std::string& Path : Paths)
                Entries.erase(
                    std::remove_if(Entries.begin(), Entries.end(),
                                   [&Path](const TCleanUpEntry& E) { return E.Path == Path; }),
                    Entries.end());
        };
    }
    // Runs Steps once the dialog shows, then closes it with Close.
    void Run(const std::function<void(HWND)>& Steps) {
        TestSupport::TDialogWatcher Watcher([&Steps](HWND Window) {
            if (TestSupport::WindowText(Window) != "Clean Up")
                return;
            Steps(Window);
            TestSupport::PressButton(Window, IDOK);
        });
        Dialog.Execute();
    }
    TAppCleanUpDialog Dialog;
    std::vector<TCleanUpEntry> Entries = Bin();
    std::vector<std::vector<std::string>> Discarded;
};

} // namespace

TEST(App_cleanupdialog, PreviewFollowsTheRulesAndCleanUpDiscardsExactlyIt) {
    TFixture Test;
    std::vector<std::string> Seen;
    Test.Run([&](HWND Dialog) {
        const auto See = [&] { Seen.push_back(Shown(Dialog) + "|" + Total(Dialog)); };
        See();
        Check(Dialog, IDC_CLEANUP_BY_AGE, true);
        See();
        Type(Dialog, IDC_CLEANUP_DAYS, "15");
        See();
        Check(Dialog, IDC_CLEANUP_BY_SIZE, true);
        Type(Dialog, IDC_CLEANUP_MEGABYTES, "500");
        See();
        Type(Dialog, IDC_CLEANUP_MEGABYTES, "1000");
        See();
        // A number out of range turns its rule off for the preview, and is
        // refused when the rules are taken.
        Type(Dialog, IDC_CLEANUP_DAYS, "3651");
        See();
        EXPECT_EQ(AnswerBox(Dialog, IDC_CLEANUP_CLEAN_UP, IDOK),
                  "Specify a number of days between 1 and 3650.");
        Type(Dialog, IDC_CLEANUP_DAYS, "0");
        EXPECT_EQ(AnswerBox(Dialog, IDOK, IDOK), "Specify a number of days between 1 and 3650.");
        Type(Dialog, IDC_CLEANUP_MEGABYTES, "0");
        Type(Dialog, IDC_CLEANUP_DAYS, "15");
        EXPECT_EQ(AnswerBox(Dialog, IDOK, IDOK), "Specify a number of MB between 1 and 16777216.");
        Type(Dialog, IDC_CLEANUP_MEGABYTES, "500");
        EXPECT_TRUE(Test.Discarded.empty());
        SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(IDC_CLEANUP_CLEAN_UP, BN_CLICKED), 0);
        See();
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Dialog, IDC_CLEANUP_CLEAN_UP)));
        Check(Dialog, IDC_CLEANUP_AT_START, true);
    });
    EXPECT_EQ(Seen, (std::vector<std::string>{
                        "|Nothing to clean up.",
                        "a|Frees 600 MB (1 entry).",
                        "a b|Frees 900 MB (2 entries).",
                        "a b c|Frees 1.2 GB (3 entries).",
                        "a b|Frees 900 MB (2 entries).",
                        "a|Frees 600 MB (1 entry).",
                        "|Nothing to clean up.",
                    }));
    EXPECT_EQ(Test.Discarded, (std::vector<std::vector<std::string>>{{"B\\a", "B\\b", "B\\c"}}));
    Engine_cleanup::TCleanUpRules Kept;
    Kept.ByAge = true;
    Kept.Days = 15;
    Kept.BySize = true;
    Kept.Megabytes = 500;
    Kept.AtStart = true;
    EXPECT_TRUE(Test.Dialog.Rules == Kept);
}

TEST(App_cleanupdialog, EmptyBinDiscardsEveryEntryAfterAQuestionNamingCountAndSize) {
    TFixture Test;
    Test.Run([&](HWND Dialog) {
        EXPECT_EQ(AnswerBox(Dialog, IDC_CLEANUP_EMPTY_BIN, IDNO),
                  "Discard every entry of the bin, 4 entries (1.5 GB), into the Recycle Bin?");
        EXPECT_TRUE(Test.Discarded.empty());
        // As a click leaves it: the focus on the button.
        PostMessageA(Dialog, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(Dialog, IDC_CLEANUP_EMPTY_BIN)), TRUE);
        EXPECT_EQ(AnswerBox(Dialog, IDC_CLEANUP_EMPTY_BIN, IDYES),
                  "Discard every entry of the bin, 4 entries (1.5 GB), into the Recycle Bin?");
        // The bin is read again once the entries went: nothing is left, and
        // the focus leaves the button that went grey for Close (the dialog's
        // thread does both in one step: wait for the pair).
        EXPECT_TRUE(ProgramSupport::WaitFor([&] {
            return !IsWindowEnabled(GetDlgItem(Dialog, IDC_CLEANUP_EMPTY_BIN)) &&
                   Focused(Dialog) == GetDlgItem(Dialog, IDOK);
        }));
    });
    EXPECT_EQ(Test.Discarded,
              (std::vector<std::vector<std::string>>{{"B\\a", "B\\b", "B\\c", "B\\d"}}));
    // Rules the user did not touch stay as they were: both off.
    EXPECT_TRUE(Test.Dialog.Rules == Engine_cleanup::TCleanUpRules());
}

// Esc and the close box cancel whatever the boxes hold, a number out of
// range included: no box, the rules as they came in. The keys go through
// the dialog's own message loop, as a user's would.
TEST(App_cleanupdialog, EscapeAndTheCloseBoxCancelEvenWithANumberOutOfRange) {
    for (const bool CloseBox : {false, true}) {
        TFixture Test;
        Test.Dialog.Rules.ByAge = true;
        Test.Dialog.Rules.Days = 20;
        const Engine_cleanup::TCleanUpRules Given = Test.Dialog.Rules;
        std::vector<std::string> Texts;
        TestSupport::TDialogWatcher Watcher([&](HWND Window) {
            if (TestSupport::WindowText(Window) != "Clean Up") {
                Texts.push_back(TestSupport::WindowText(Window));
                TestSupport::PressButton(Window, IDOK);
                return;
            }
            Check(Window, IDC_CLEANUP_BY_SIZE, true);
            Type(Window, IDC_CLEANUP_DAYS, "0");
            const HWND Days = GetDlgItem(Window, IDC_CLEANUP_DAYS);
            if (CloseBox) {
                PostMessageA(Window, WM_SYSCOMMAND, SC_CLOSE, 0);
            } else {
                PostMessageA(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Days), TRUE);
                PostMessageA(Days, WM_KEYDOWN, VK_ESCAPE, 1);
            }
        });
        Test.Dialog.Execute();
        EXPECT_TRUE(Texts.empty()) << CloseBox;
        EXPECT_TRUE(Test.Dialog.Rules == Given) << CloseBox;
    }
}

// The preview's header sorts it both ways with the arrow, and the dialog
// gives the choice back; From names what each entry holds; F5 reads the
// bin again.
TEST(App_cleanupdialog, HeaderSortsThePreviewWithTheArrowAndF5ReadsTheBinAgain) {
    TFixture Test;
    Test.Entries[0].FirstItem = "C:\\Data\\a.txt";
    Test.Entries[0].MoreItems = 2;
    Test.Dialog.Rules.ByAge = true;
    Test.Dialog.Rules.Days = 5;
    std::vector<std::string> Seen;
    Test.Run([&](HWND Dialog) {
        const HWND List = GetDlgItem(Dialog, IDC_CLEANUP_PREVIEW);
        const auto See = [&] {
            std::string Marks;
            const HWND Header = ListView_GetHeader(List);
            for (int Column = 0; Column < 4; ++Column) {
                HDITEMA Item{};
                Item.mask = HDI_FORMAT;
                SendMessageA(Header, HDM_GETITEMA, Column, reinterpret_cast<LPARAM>(&Item));
                Marks += (Item.fmt & HDF_SORTUP) ? "^" : (Item.fmt & HDF_SORTDOWN) ? "v" : ".";
            }
            Seen.push_back(Shown(Dialog) + "|" + Marks);
        };
        const auto ClickHeader = [&](int Column) {
            NMLISTVIEW Notice{};
            Notice.hdr.hwndFrom = List;
            Notice.hdr.idFrom = IDC_CLEANUP_PREVIEW;
            Notice.hdr.code = LVN_COLUMNCLICK;
            Notice.iItem = -1;
            Notice.iSubItem = Column;
            SendMessageA(Dialog, WM_NOTIFY, IDC_CLEANUP_PREVIEW, reinterpret_cast<LPARAM>(&Notice));
            See();
        };
        See();
        Seen.push_back(TestSupport::ListViewCell(List, 0, 3));
        ClickHeader(0);
        ClickHeader(0);
        ClickHeader(2);
        Test.Entries.pop_back();
        Test.Entries.erase(Test.Entries.begin());
        SendMessageA(List, WM_KEYDOWN, VK_F5, 0);
        See();
    });
    EXPECT_EQ(Seen,
              (std::vector<std::string>{"a b c|....", "C:\\Data\\a.txt and 2 more", "a b c|^...",
                                        "c b a|v...", "a b c|..v.", "b c|..v."}));
    EXPECT_EQ(Test.Dialog.List.SortColumn, 2);
    EXPECT_TRUE(Test.Dialog.List.SortDescending);
}

// The preview's context menu comes on Shift+F10, the menu key and a right
// click with the commands of the Entries list, and Delete discards; each
// command acts on the selected entries and the selection stays. Keys go
// through the dialog's own message loop, as a user's would.
TEST(App_cleanupdialog, PreviewHasTheContextMenuOfTheEntries) {
    enum TAction { acShiftF10, acMenuKey, acRightClick, acDelete };
    const std::string Menu = "&Take Back|Take Back T&o...|Open &Location|&Discard...|";
    const struct {
        TAction Action;
        // The item chosen (-1: the menu is left), then what follows: the
        // menu's items, the command called, the rows selected after it.
        int Choose;
        std::string Expected;
    } Cases[] = {
        {acShiftF10, 2, Menu + "locate B\\a\\C\\Data\\a.txt 1"},
        {acMenuKey, -1, Menu + " 1"},
        {acRightClick, 0, Menu + "take back B\\b 1"},
        {acRightClick, 1, Menu + "take back over the dialog to B\\b 1"},
        {acRightClick, 3, Menu + "discard B\\b 0"},
        {acDelete, -1, "|discard B\\a 0"},
    };
    for (const auto& Case : Cases) {
        TFixture Test;
        Test.Entries[0].FirstItem = "C:\\Data\\a.txt";
        Test.Dialog.Rules.ByAge = true;
        Test.Dialog.Rules.Days = 5;
        // Written on the dialog's thread before the watcher reads it.
        std::atomic<const char*> Called{""};
        std::string Call;
        HWND Shown = nullptr;
        const auto Note = [&](const std::string& What, const std::vector<std::string>& Paths) {
            Call = What + " " + Paths.front();
            Called = Call.c_str();
        };
        Test.Dialog.OnTakeBack = [&](const std::vector<std::string>& Paths) {
            Note("take back", Paths);
        };
        Test.Dialog.OnTakeBackTo = [&](const std::vector<std::string>& Paths, HWND Owner) {
            Note(Owner == Shown ? "take back over the dialog to" : "take back elsewhere to", Paths);
        };
        Test.Dialog.OnOpenLocation = [&](const std::string& Path) { Note("locate", {Path}); };
        Test.Dialog.OnDiscardChosen = [&](const std::vector<std::string>& Paths) {
            Test.Dialog.OnDiscard(Paths);
            Note("discard", Paths);
        };
        std::string Seen;
        Test.Run([&](HWND Dialog) {
            Shown = Dialog;
            const HWND List = GetDlgItem(Dialog, IDC_CLEANUP_PREVIEW);
            SendMessageA(Dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(List), TRUE);
            ListView_SetItemState(List, 0, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            RECT Row{};
            ListView_GetItemRect(List, 1, &Row, LVIR_LABEL);
            const LPARAM At = MAKELPARAM(Row.left + 4, (Row.top + Row.bottom) / 2);
            if (Case.Action == acShiftF10) {
                const TestSupport::THeldKey Holding(Dialog, VK_SHIFT);
                PostMessageA(List, WM_SYSKEYDOWN, VK_F10, 1);
                Seen = TestSupport::TakeContextMenu(Dialog, Case.Choose);
            } else if (Case.Action == acMenuKey) {
                PostMessageA(List, WM_KEYDOWN, VK_APPS, 1);
                PostMessageA(List, WM_KEYUP, VK_APPS, 1);
                Seen = TestSupport::TakeContextMenu(Dialog, Case.Choose);
            } else if (Case.Action == acRightClick) {
                PostMessageA(List, WM_RBUTTONDOWN, MK_RBUTTON, At);
                PostMessageA(List, WM_RBUTTONUP, 0, At);
                Seen = TestSupport::TakeContextMenu(Dialog, Case.Choose);
            } else {
                PostMessageA(List, WM_KEYDOWN, VK_DELETE, 1);
            }
            if (Case.Choose >= 0 || Case.Action == acDelete)
                ProgramSupport::WaitFor([&] { return *Called.load() != '\0'; });
            // Once the dialog has handled everything posted before this.
            SendMessageA(Dialog, WM_NULL, 0, 0);
            Seen += "|" + std::string(Called.load()) + " " +
                    std::to_string(ListView_GetSelectedCount(List));
        });
        EXPECT_EQ(Seen, Case.Expected) << Case.Action << " " << Case.Choose;
    }
}
