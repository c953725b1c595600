#include "gui/Gui_opendialog.h"

#include "gui/Gui_application.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <string>
#include <vector>

using Gui_opendialog::TOpenDialog;
using TestSupport::PressButton;
using TestSupport::TDialogWatcher;
using TestSupport::TTempDir;
using TestSupport::WindowText;
using Names = std::vector<std::string>;

namespace {

std::string CurrentDirectory() {
    char Buffer[MAX_PATH];
    return std::string(Buffer, GetCurrentDirectoryA(sizeof Buffer, Buffer));
}

std::string LastDirectory() {
    return Gui_application::Application().LastDirectory();
}

// A folder with two text files and a subfolder with one other file; it is the
// application's last directory while the object lives. The process's current
// directory lies elsewhere and must stay where it is.
class TPlayground {
public:
    TPlayground() : FSaved(LastDirectory()) {
        TestSupport::WriteFile(Dir / "a.txt", "a");
        TestSupport::WriteFile(Dir / "b.txt", "b");
        CreateDirectoryA((Dir / "sub").c_str(), nullptr);
        TestSupport::WriteFile(Dir / "sub\\c.dat", "c");
        Gui_application::Application().SetLastDirectory(Dir.Path());
    }
    ~TPlayground() { Gui_application::Application().SetLastDirectory(FSaved); }
    TPlayground(const TPlayground&) = delete;
    TPlayground& operator=(const TPlayground&) = delete;

    TTempDir Dir;

private:
    std::string FSaved;
};

// What the watcher saw of the open dialog while it was up.
struct TSeen {
    std::string Title;
    bool Owned = false;
    bool ProgramDisabled = false;
    std::string ProposedName;
    Names Filters;
    int SelectedFilter = -1;
    Names Boxes;
};

HWND NameBox(HWND Dialog) {
    // The Explorer look names its file name combo cmb13; older templates use edt1.
    HWND Box = GetDlgItem(Dialog, cmb13);
    return Box ? Box : GetDlgItem(Dialog, edt1);
}

void Inspect(HWND Dialog, const TestSupport::TProgramWindows& Windows, TSeen& Seen) {
    Seen.Title = WindowText(Dialog);
    Seen.Owned = GetWindow(Dialog, GW_OWNER) == Windows.Main();
    Seen.ProgramDisabled = !IsWindowEnabled(Windows.Main()) && !IsWindowEnabled(Windows.Other());
    Seen.ProposedName = WindowText(NameBox(Dialog));
    HWND Types = GetDlgItem(Dialog, cmb1);
    const int Count = static_cast<int>(SendMessageA(Types, CB_GETCOUNT, 0, 0));
    for (int I = 0; I < Count; ++I) {
        char Text[256] = "";
        SendMessageA(Types, CB_GETLBTEXT, I, reinterpret_cast<LPARAM>(Text));
        Seen.Filters.push_back(Text);
    }
    Seen.SelectedFilter = static_cast<int>(SendMessageA(Types, CB_GETCURSEL, 0, 0));
}

// Chooses a filter the way the user does: a new selection, confirmed.
void SelectFilter(HWND Dialog, int Item) {
    HWND Types = GetDlgItem(Dialog, cmb1);
    SendMessageA(Types, CB_SETCURSEL, Item, 0);
    SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK),
                 reinterpret_cast<LPARAM>(Types));
}

void Type(HWND Dialog, const std::string& Text) {
    SetWindowTextA(NameBox(Dialog), Text.c_str());
}

// Presses Id and waits for the dialog to close; if it stays (the dialog
// refused), cancels it so that the test goes on instead of blocking.
void Press(HWND Dialog, int Id) {
    PressButton(Dialog, Id);
    for (int I = 0; I < 250 && IsWindow(Dialog); ++I)
        Sleep(20);
    if (IsWindow(Dialog))
        PressButton(Dialog, IDCANCEL);
}

class Gui_opendialog_Execute : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gui_application::Application().Initialize(GetModuleHandleA(nullptr));
    }

    // The process's current directory before the test; the dialog never moves it.
    const std::string Current = CurrentDirectory();
    TPlayground Playground;
    TestSupport::TProgramWindows Windows;
};

} // namespace

TEST_F(Gui_opendialog_Execute, OneFileWithTheChosenFilter) {
    TOpenDialog Dialog;
    Dialog.Title = "Import Paths";
    Dialog.Filter = "Text (*.txt)|*.txt|All (*.*)|*.*";
    Dialog.Options |= Gui_opendialog::ofPathMustExist | Gui_opendialog::ofFileMustExist;
    Dialog.FileName = "";
    const std::string Chosen = Playground.Dir / "sub\\c.dat";
    TSeen Seen;
    bool Confirmed;
    {
        TDialogWatcher Watcher([&](HWND Window) {
            Inspect(Window, Windows, Seen);
            SelectFilter(Window, 1);
            Type(Window, Chosen);
            Press(Window, IDOK);
        });
        Confirmed = Dialog.Execute();
    }
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Seen.Title, "Import Paths");
    EXPECT_TRUE(Seen.Owned);
    EXPECT_TRUE(Seen.ProgramDisabled);
    EXPECT_TRUE(Windows.AllEnabled());
    EXPECT_EQ(Seen.ProposedName, "");
    EXPECT_EQ(Seen.Filters, (Names{"Text (*.txt)", "All (*.*)"}));
    EXPECT_EQ(Seen.SelectedFilter, 0);
    EXPECT_EQ(Dialog.FileName, Chosen);
    EXPECT_EQ(Dialog.Files, Names{Chosen});
    EXPECT_EQ(Dialog.FilterIndex, 2);
    EXPECT_EQ(LastDirectory(), Playground.Dir / "sub");
    EXPECT_EQ(CurrentDirectory(), Current);
}

TEST_F(Gui_opendialog_Execute, ProposesTheFileNameAndTheFilterIndex) {
    TOpenDialog Dialog;
    Dialog.Filter = "Text (*.txt)|*.txt|All (*.*)|*.*";
    Dialog.FilterIndex = 2;
    Dialog.FileName = "b.txt";
    TSeen Seen;
    bool Confirmed;
    {
        TDialogWatcher Watcher([&](HWND Window) {
            Inspect(Window, Windows, Seen);
            Press(Window, IDOK);
        });
        Confirmed = Dialog.Execute();
    }
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Seen.ProposedName, "b.txt");
    EXPECT_EQ(Seen.SelectedFilter, 1);
    EXPECT_EQ(Dialog.FileName, Playground.Dir / "b.txt");
    EXPECT_EQ(Dialog.FilterIndex, 2);
}

TEST_F(Gui_opendialog_Execute, SeveralFilesInTheDialogsOrder) {
    TOpenDialog Dialog;
    Dialog.Title = "Put Regular Files";
    Dialog.Filter = "All (*.*)|*.*";
    Dialog.Options |= Gui_opendialog::ofAllowMultiSelect | Gui_opendialog::ofPathMustExist |
                      Gui_opendialog::ofFileMustExist | Gui_opendialog::ofNoDereferenceLinks;
    bool Confirmed;
    {
        TDialogWatcher Watcher([&](HWND Window) {
            Type(Window, "\"b.txt\" \"a.txt\"");
            Press(Window, IDOK);
        });
        Confirmed = Dialog.Execute();
    }
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Dialog.Files, (Names{Playground.Dir / "b.txt", Playground.Dir / "a.txt"}));
    EXPECT_EQ(Dialog.FileName, Playground.Dir / "b.txt");
    EXPECT_EQ(Dialog.FilterIndex, 1);
    EXPECT_EQ(LastDirectory(), Playground.Dir.Path());
    EXPECT_EQ(CurrentDirectory(), Current);

    // One file chosen where several are allowed still comes back as a full path.
    {
        TDialogWatcher Watcher([&](HWND Window) {
            Type(Window, Playground.Dir / "sub\\c.dat");
            Press(Window, IDOK);
        });
        Confirmed = Dialog.Execute();
    }
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Dialog.Files, Names{Playground.Dir / "sub\\c.dat"});
    EXPECT_EQ(Dialog.FileName, Playground.Dir / "sub\\c.dat");
    EXPECT_EQ(LastDirectory(), Playground.Dir / "sub");
}

TEST_F(Gui_opendialog_Execute, CancelReturnsFalseAndChangesNothing) {
    TOpenDialog Dialog;
    Dialog.Filter = "Text (*.txt)|*.txt|All (*.*)|*.*";
    Dialog.FileName = "a.txt";
    Dialog.Files = {"earlier"};
    bool Confirmed = true;
    {
        TDialogWatcher Watcher([&](HWND Window) {
            SelectFilter(Window, 1);
            Type(Window, Playground.Dir / "sub\\c.dat");
            Press(Window, IDCANCEL);
        });
        Confirmed = Dialog.Execute();
    }
    EXPECT_FALSE(Confirmed);
    EXPECT_EQ(Dialog.FileName, "a.txt");
    EXPECT_EQ(Dialog.Files, Names{"earlier"});
    EXPECT_EQ(Dialog.FilterIndex, 1);
    EXPECT_EQ(LastDirectory(), Playground.Dir.Path());
    EXPECT_EQ(CurrentDirectory(), Current);
    EXPECT_TRUE(Windows.AllEnabled());
}

TEST_F(Gui_opendialog_Execute, MissingFileIsRefusedOnlyWhenItMustExist) {
    TOpenDialog Dialog;
    Dialog.Title = "Must Exist";
    Dialog.Filter = "All (*.*)|*.*";
    Dialog.Options |= Gui_opendialog::ofFileMustExist;
    HWND OpenDialog = nullptr;
    TSeen Seen;
    bool Confirmed = true;
    {
        TDialogWatcher Watcher([&](HWND Window) {
            if (WindowText(Window) == "Must Exist") {
                OpenDialog = Window;
                Type(Window, "missing.txt");
                PressButton(Window, IDOK);
                return;
            }
            // The dialog's own complaint, over the still open dialog.
            Seen.Boxes.push_back(WindowText(Window));
            Press(Window, IDOK);
            if (OpenDialog)
                Press(OpenDialog, IDCANCEL);
        });
        Confirmed = Dialog.Execute();
    }
    EXPECT_FALSE(Confirmed);
    EXPECT_EQ(Seen.Boxes.size(), 1u);

    Dialog.Title = "May Be Missing";
    Dialog.Options &= ~Gui_opendialog::ofFileMustExist;
    {
        TDialogWatcher Watcher([&](HWND Window) {
            Type(Window, "missing.txt");
            Press(Window, IDOK);
        });
        Confirmed = Dialog.Execute();
    }
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Dialog.FileName, Playground.Dir / "missing.txt");
}
