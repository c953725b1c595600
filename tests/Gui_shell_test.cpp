#include "gui/Gui_shell.h"

#include "gui/Gui_application.h"
#include "tests/TestSupport.h"
#include "vek/Vek_codepage.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

using Gui_shell::BrowseForFolder;
using TestSupport::PressButton;
using TestSupport::TDialogWatcher;
using TestSupport::TTempDir;
using TestSupport::WindowText;

namespace {

BOOL CALLBACK CollectChildText(HWND Child, LPARAM Param) {
    reinterpret_cast<std::vector<std::string>*>(Param)->push_back(WindowText(Child));
    return TRUE;
}

std::vector<std::string> ChildTexts(HWND Dialog) {
    std::vector<std::string> Texts;
    EnumChildWindows(Dialog, CollectChildText, reinterpret_cast<LPARAM>(&Texts));
    return Texts;
}

std::string RootItemText(HWND Dialog) {
    HWND Tree = FindWindowExA(Dialog, nullptr, WC_TREEVIEWA, nullptr);
    const auto Root =
        reinterpret_cast<HTREEITEM>(SendMessageA(Tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    char Text[MAX_PATH] = "";
    TVITEMA Item{};
    Item.mask = TVIF_TEXT;
    Item.hItem = Root;
    Item.pszText = Text;
    Item.cchTextMax = sizeof Text;
    SendMessageA(Tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Item));
    return Text;
}

// What the watcher saw of the browser while it was up.
struct TSeen {
    int Dialogs = 0;
    bool CaptionShown = false;
    bool Owned = false;
    bool ProgramDisabled = false;
    bool CriticalErrorsSuppressed = false;
    std::string RootText;
};

void Inspect(HWND Dialog, const TestSupport::TProgramWindows& Windows, const std::string& Caption,
             TSeen& Seen) {
    ++Seen.Dialogs;
    for (const std::string& Text : ChildTexts(Dialog))
        Seen.CaptionShown = Seen.CaptionShown || Text == Caption;
    Seen.Owned = GetWindow(Dialog, GW_OWNER) == Windows.Main();
    Seen.ProgramDisabled = !IsWindowEnabled(Windows.Main()) && !IsWindowEnabled(Windows.Other());
    Seen.CriticalErrorsSuppressed = (GetErrorMode() & SEM_FAILCRITICALERRORS) != 0;
    Seen.RootText = RootItemText(Dialog);
}

void Select(HWND Dialog, const std::string& Path) {
    TestSupport::SelectFolder(Dialog, Path);
}

// Presses Id and waits for the dialog to close; if it stays (OK is disabled
// without a file-system selection), cancels it so that the test goes on.
void Press(HWND Dialog, int Id) {
    PressButton(Dialog, Id);
    for (int I = 0; I < 250 && IsWindow(Dialog); ++I)
        Sleep(20);
    if (IsWindow(Dialog))
        PressButton(Dialog, IDCANCEL);
}

class Gui_shell_BrowseForFolder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gui_application::Application().Initialize(GetModuleHandleA(nullptr));
    }

    void SetUp() override {
        CreateDirectoryA((Dir / "sub").c_str(), nullptr);
        CreateDirectoryA((Dir / "other").c_str(), nullptr);
    }

    // Runs the browser while Answer handles it on the watcher's thread.
    bool Browse(const std::string& Caption, const std::string& Root, std::string& Directory,
                const std::function<void(HWND)>& Answer) {
        TDialogWatcher Watcher([&](HWND Dialog) {
            Inspect(Dialog, Windows, Caption, Seen);
            Answer(Dialog);
        });
        TestSupport::SettleFolderTimes(Dir / "other");
        TestSupport::SettleFolderTimes(Dir / "sub");
        return BrowseForFolder(Caption, Root, Directory);
    }

    TTempDir Dir;
    TestSupport::TProgramWindows Windows;
    TSeen Seen;
};

} // namespace

TEST_F(Gui_shell_BrowseForFolder, ReturnsTheSelectedDirectory) {
    const UINT ErrorModeBefore = GetErrorMode();
    const std::string Chosen = Dir / "sub";
    std::string Directory;
    EXPECT_TRUE(Browse("Specify the directory.", "", Directory, [&](HWND Dialog) {
        Select(Dialog, Chosen);
        Press(Dialog, IDOK);
    }));
    EXPECT_EQ(Directory, Chosen);
    EXPECT_EQ(Seen.Dialogs, 1);
    EXPECT_TRUE(Seen.CaptionShown);
    EXPECT_TRUE(Seen.Owned);
    EXPECT_TRUE(Seen.ProgramDisabled);
    EXPECT_TRUE(Seen.CriticalErrorsSuppressed);
    EXPECT_EQ(GetErrorMode(), ErrorModeBefore);
    EXPECT_TRUE(Windows.AllEnabled());
}

TEST_F(Gui_shell_BrowseForFolder, ExistingDirectoryIsPreselected) {
    std::string Directory = Dir / "other";
    EXPECT_TRUE(
        Browse("Specify the location.", "", Directory, [&](HWND Dialog) { Press(Dialog, IDOK); }));
    EXPECT_EQ(Directory, Dir / "other");
}

TEST_F(Gui_shell_BrowseForFolder, CancelReturnsFalseAndKeepsTheDirectory) {
    std::string Directory = Dir / "other";
    EXPECT_FALSE(Browse("Specify the bin location.", "", Directory, [&](HWND Dialog) {
        Select(Dialog, Dir / "sub");
        Press(Dialog, IDCANCEL);
    }));
    EXPECT_EQ(Directory, Dir / "other");
    EXPECT_TRUE(Windows.AllEnabled());
}

TEST_F(Gui_shell_BrowseForFolder, MissingStartingDirectoryOpensWithoutComplaint) {
    std::string Directory = Dir / "missing";
    EXPECT_TRUE(Browse("Specify the directory.", "", Directory, [&](HWND Dialog) {
        Select(Dialog, Dir.Path());
        Press(Dialog, IDOK);
    }));
    EXPECT_EQ(Seen.Dialogs, 1);
    EXPECT_EQ(Directory, Dir.Path());
}

// Only the tree is checked here: Wine's browser under a root of its own
// selects nothing below it and confirms its desktop folder instead.
TEST_F(Gui_shell_BrowseForFolder, RootLimitsTheTree) {
    std::string Directory = Dir / "sub";
    EXPECT_FALSE(Browse("Specify the directory.", Dir.Path(), Directory,
                        [&](HWND Dialog) { Press(Dialog, IDCANCEL); }));
    EXPECT_EQ(Seen.RootText, Dir.Path().substr(Dir.Path().find_last_of('\\') + 1));
    EXPECT_EQ(Directory, Dir / "sub");
}

TEST(Gui_shell_ShellExecute, MissingFileFailsWithoutABox) {
    TTempDir Dir;
    TestSupport::TBoxRecorder Boxes;
    EXPECT_FALSE(Gui_shell::ShellExecute(nullptr, nullptr, Dir / "missing.html", SW_SHOWNORMAL,
                                         SEE_MASK_FLAG_NO_UI));
    EXPECT_FALSE(Gui_shell::ShellExecute(nullptr, "explore", Dir / "missing", SW_SHOWNORMAL,
                                         SEE_MASK_FLAG_NO_UI));
    // Give a box that might come late the time to show.
    TestSupport::PumpUntil([] { return false; }, 500);
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST(Gui_shell_ShellExecute, WithoutNoUiTheShellComplainsItself) {
    TTempDir Dir;
    TestSupport::TBoxRecorder Boxes;
    EXPECT_FALSE(Gui_shell::ShellExecute(nullptr, nullptr, Dir / "missing.html", SW_SHOWNORMAL, 0));
    EXPECT_EQ(Boxes.Boxes().size(), 1u);
}

TEST(Gui_shell_ShellExecute, RunsTheFilesDefaultAction) {
    TTempDir Dir;
    const std::string Script = Dir / "mark.bat";
    const std::string Marker = Dir / "marker.txt";
    TestSupport::WriteFile(Script, "@echo done>\"" + Marker + "\"\r\n");
    EXPECT_TRUE(Gui_shell::ShellExecute(nullptr, nullptr, Script, SW_HIDE, SEE_MASK_FLAG_NO_UI));
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return TestSupport::Exists(Marker); }, 30000));
    // The command interpreter works in the script's folder; it lets go of it
    // when it ends, and only then can the folder go.
    DeleteFileA(Marker.c_str());
    DeleteFileA(Script.c_str());
    EXPECT_TRUE(TestSupport::PumpUntil(
        [&] { return RemoveDirectoryA(Dir.Path().c_str()) != FALSE; }, 20000));
}

// Two levels of 60 CJK characters: fewer units than MAX_PATH, more bytes
// than it under UTF-8 and under code page 932 alike.
TEST_F(Gui_shell_BrowseForFolder, LongNonAsciiPathComesBackWholeDbcs) {
    const std::wstring Level(60, L'\u6F22');
    if (Vek_codepage::ToWide(Vek_codepage::FromWide(Level)) != Level)
        GTEST_SKIP() << "the code page " << GetACP() << " has no CJK characters";
    std::string Chosen = Dir.Path();
    for (int Depth = 0; Depth < 2; ++Depth) {
        Chosen += "\\" + Vek_codepage::FromWide(Level);
        ASSERT_TRUE(CreateDirectoryW(Vek_codepage::ToWide(Chosen).c_str(), nullptr));
    }
    ASSERT_GT(Chosen.size(), static_cast<std::size_t>(MAX_PATH));
    TestSupport::SettleFolderTimes(Chosen);
    std::string Directory = Chosen;
    EXPECT_TRUE(
        Browse("Specify the directory.", "", Directory, [&](HWND Dialog) { Press(Dialog, IDOK); }));
    EXPECT_EQ(Directory, Chosen);
}
