// The conflict question: what it shows for each kind of conflict, and what
// each way of answering it gives, driven through the real dialog.
#include "app/App_conflictdialog.h"

#include "res/resource.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

using App_conflictdialog::TAppConflictDialog;
using Engine_takeback::TConflictChoice;
using Engine_takeback::TConflictQuestion;
using Engine_takeback::TOriginKind;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

TConflictQuestion Question(bool ReplaceOffered, std::size_t Following) {
    TConflictQuestion Question;
    Question.Destination = "C:\\Data\\report.txt";
    Question.Standing = {TOriginKind::okFile, 12000, 0};
    Question.Coming = {ReplaceOffered ? TOriginKind::okFile : TOriginKind::okDirectory, 0, 0};
    Question.ReplaceOffered = ReplaceOffered;
    Question.Following = Following;
    Question.KeepBothDestination = "C:\\Data\\report (2).txt";
    return Question;
}

bool Shown(HWND Dialog, int Id) {
    const HWND Control = GetDlgItem(Dialog, Id);
    return IsWindowVisible(Control) && IsWindowEnabled(Control);
}

} // namespace

// The item by its name and folder; sizes exact in bytes below a megabyte,
// and above where both read alike; the name Keep Both gives.
TEST(App_conflictdialog, TextNamesTheItemItsSizesAndTheNameKeepBothGives) {
    TConflictQuestion Asked = Question(true, 0);
    Asked.Coming.Size = 1;
    EXPECT_EQ(App_conflictdialog::ConflictText(Asked, "12/8/2026 9:50 PM", "", {}),
              "\"report.txt\" is already in \"C:\\Data\".\r\n\r\n"
              "There now: a file of 12,000 bytes, changed 12/8/2026 9:50 PM\r\n"
              "Coming back: a file of 1 byte\r\n\r\n"
              "Keep Both brings it back as \"report (2).txt\".");
    Asked.StandingComesBack = true;
    Asked.Standing = {TOriginKind::okDirectory, 0, 0};
    Asked.Coming.Size = 1234567;
    Asked.Destination = "C:\\report.txt";
    Asked.KeepBothDestination.clear();
    EXPECT_EQ(App_conflictdialog::ConflictText(Asked, "", "1/2/2026 3:04 AM", {}),
              "\"report.txt\" is already in \"C:\\\".\r\n\r\n"
              "Taken back there first: a folder\r\n"
              "Coming back: a file of 1.2 MB, changed 1/2/2026 3:04 AM");
    const std::pair<std::uint64_t, std::uint64_t> Sizes[] = {
        {1048575, 1}, {1048576, 1048577}, {1048577, 1048576}, {5000000, 9000000}};
    const char* Expected[] = {"a file of 1,048,575 bytes", "a file of 1.0 MB (1,048,576 bytes)",
                              "a file of 1.0 MB (1,048,577 bytes)", "a file of 4.8 MB"};
    for (std::size_t Index = 0; Index < 4; ++Index) {
        Asked = Question(true, 0);
        Asked.KeepBothDestination.clear();
        Asked.Standing.Size = Sizes[Index].first;
        Asked.Coming.Size = Sizes[Index].second;
        const std::string Text = App_conflictdialog::ConflictText(Asked, "", "", {});
        EXPECT_NE(Text.find("There now: " + std::string(Expected[Index]) + "\r\n"),
                  std::string::npos)
            << Text;
    }
    EXPECT_EQ(App_conflictdialog::ForAllText(2), "Do this for &all conflicts (2 more)");
}

// Each way of answering, with the controls the question shows: Replace only
// where a file meets a file, the check box only where conflicts follow.
TEST(App_conflictdialog, EveryAnswerAndEveryWayToCancel) {
    struct TCase {
        bool ReplaceOffered;
        std::size_t Following;
        std::function<void(HWND)> Answer;
        int Result;
        TConflictChoice Choice;
        bool ForAll;
    };
    const auto Press = [](int Id) {
        return [Id](HWND Dialog) { TestSupport::PressButton(Dialog, Id); };
    };
    const auto Key = [](WPARAM Key) {
        // The dialog manager of the modal loop turns the key into its command.
        return [Key](HWND Dialog) { PostMessageA(Dialog, WM_KEYDOWN, Key, 0); };
    };
    const std::vector<TCase> Cases{
        {true, 2,
         [](HWND Dialog) {
             SendMessageA(GetDlgItem(Dialog, IDC_CONFLICT_ALL), BM_SETCHECK, BST_CHECKED, 0);
             TestSupport::PressButton(Dialog, IDC_CONFLICT_REPLACE);
         },
         IDOK, TConflictChoice::ccReplace, true},
        {true, 1, Press(IDC_CONFLICT_SKIP), IDOK, TConflictChoice::ccSkip, false},
        {false, 0, Press(IDC_CONFLICT_KEEP_BOTH), IDOK, TConflictChoice::ccKeepBoth, false},
        // Replace is not offered: its command does nothing, Skip then ends it.
        {false, 3,
         [](HWND Dialog) {
             TestSupport::PressButton(Dialog, IDC_CONFLICT_REPLACE);
             TestSupport::PressButton(Dialog, IDC_CONFLICT_SKIP);
         },
         IDOK, TConflictChoice::ccSkip, false},
        {true, 0, Key(VK_RETURN), IDOK, TConflictChoice::ccKeepBoth, false},
        {true, 1, Key(VK_ESCAPE), IDCANCEL, TConflictChoice::ccSkip, false},
        {false, 1, [](HWND Dialog) { PostMessageA(Dialog, WM_CLOSE, 0, 0); }, IDCANCEL,
         TConflictChoice::ccSkip, false},
        {true, 2, Press(IDCANCEL), IDCANCEL, TConflictChoice::ccSkip, false},
    };
    for (std::size_t Index = 0; Index < Cases.size(); ++Index) {
        const TCase& Case = Cases[Index];
        TAppConflictDialog Dialog(Question(Case.ReplaceOffered, Case.Following));
        std::string Caption;
        bool ReplaceShown = false;
        bool AllShown = false;
        bool IconShown = false;
        std::string Text;
        TestSupport::TDialogWatcher Watcher([&](HWND Window) {
            Caption = TestSupport::WindowText(Window);
            ReplaceShown = Shown(Window, IDC_CONFLICT_REPLACE);
            AllShown = Shown(Window, IDC_CONFLICT_ALL);
            IconShown = SendMessageA(GetDlgItem(Window, IDC_CONFLICT_ICON), STM_GETICON, 0, 0) ==
                        reinterpret_cast<LRESULT>(LoadIconA(nullptr, IDI_QUESTION));
            Text = TestSupport::WindowText(GetDlgItem(Window, IDC_CONFLICT_TEXT));
            Case.Answer(Window);
        });
        EXPECT_EQ(Dialog.Execute(), Case.Result) << Index;
        EXPECT_EQ(Caption, "Tovel Bin") << Index;
        EXPECT_EQ(ReplaceShown, Case.ReplaceOffered) << Index;
        EXPECT_EQ(AllShown, Case.Following > 0) << Index;
        EXPECT_TRUE(IconShown) << Index;
        EXPECT_EQ(Text.find("\"report.txt\" is already in \"C:\\Data\"."), 0u) << Index;
        if (Case.Result == IDOK) {
            EXPECT_EQ(Dialog.Answer().Choice, Case.Choice) << Index;
            EXPECT_EQ(Dialog.Answer().ForAll, Case.ForAll) << Index;
        }
    }
}
