#include "app/App_binpropsdialog.h"
#include "gui/Gui_application.h"
#include "res/resource.h"
#include "TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The scripts check from their own thread while the dialog's modal loop runs.
#if !GTEST_IS_THREADSAFE
#error "the checks run on two threads"
#endif

namespace {

using App_bin::TBinProps;
using App_binpropsdialog::TAppBinPropsDialog;
using TestSupport::ClassName;
using TestSupport::WindowText;

const char* const MinMessage = "Specify an integer greater than or equal to zero.";
const char* const MaxMessage = "Specify an integer greater than or equal to the minimum.";
const char* const IndexMessage = "Specify an integer between the minimum and the maximum.";
const char* const NoteText =
    "Note: The path is expanded with the program file's parent. To specify a path relative to "
    "the root, start it with a directory separator (e.g. \"\\Bin\" can be \"C:\\Bin\").";

TBinProps DefaultProps() {
    TBinProps Props;
    Props.LocationType = App_bin::bltFixed;
    Props.FixedLocation = "Bin";
    Props.EntryName.Prefix = "Tovel #";
    Props.EntryName.Suffix = "";
    Props.EntryName.Min = 0;
    Props.EntryName.Max = 9999;
    Props.EntryName.Index = 0;
    Props.EntryName.FillDigits = true;
    return Props;
}

bool SameProps(const TBinProps& A, const TBinProps& B) {
    return A.LocationType == B.LocationType && A.FixedLocation == B.FixedLocation &&
           A.EntryName.Prefix == B.EntryName.Prefix && A.EntryName.Suffix == B.EntryName.Suffix &&
           A.EntryName.Min == B.EntryName.Min && A.EntryName.Max == B.EntryName.Max &&
           A.EntryName.Index == B.EntryName.Index &&
           A.EntryName.FillDigits == B.EntryName.FillDigits;
}

std::string LongPath(const std::string& Path) {
    char Buffer[MAX_PATH * 4];
    const DWORD Length = GetLongPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    return Length > 0 && Length < sizeof Buffer ? std::string(Buffer, Length) : Path;
}

std::string CurrentDirectory() {
    char Buffer[MAX_PATH * 4];
    return std::string(Buffer, GetCurrentDirectoryA(sizeof Buffer, Buffer));
}

bool WaitFor(const std::function<bool()>& Done, DWORD Timeout = 5000) {
    const DWORD Start = GetTickCount();
    while (!Done()) {
        if (GetTickCount() - Start > Timeout)
            return false;
        Sleep(10);
    }
    return true;
}

struct TDialogSearch {
    const std::function<bool(HWND)>& Accept;
    HWND Found;
};

BOOL CALLBACK MatchDialog(HWND Window, LPARAM Param) {
    auto& Search = *reinterpret_cast<TDialogSearch*>(Param);
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    if (Process != GetCurrentProcessId() || ClassName(Window) != "#32770" || !Search.Accept(Window))
        return TRUE;
    Search.Found = Window;
    return FALSE;
}

// A dialog window of this process that Accept picks; hidden ones count too,
// since a box exists a moment before it shows.
HWND FindDialog(const std::function<bool(HWND)>& Accept) {
    TDialogSearch Search{Accept, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&Search));
    return Search.Found;
}

bool IsProperties(HWND Window) {
    return IsWindowVisible(Window) && WindowText(Window) == "Properties";
}

// The top level's error boxes carry the application title.
bool IsErrorBox(HWND Window) {
    return WindowText(Window) == "Tovel Bin";
}

bool IsFolderBrowser(HWND Window) {
    return IsWindowVisible(Window) && FindWindowExA(Window, nullptr, "SysTreeView32", nullptr);
}

// Selects the item Name among the top level of the folder browser's tree.
bool SelectDesktopItem(HWND Browser, const std::string& Name) {
    const HWND Tree = FindWindowExA(Browser, nullptr, "SysTreeView32", nullptr);
    const auto Root =
        reinterpret_cast<HTREEITEM>(SendMessageA(Tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    auto Item = reinterpret_cast<HTREEITEM>(
        SendMessageA(Tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(Root)));
    for (; Item; Item = reinterpret_cast<HTREEITEM>(SendMessageA(Tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                 reinterpret_cast<LPARAM>(Item)))) {
        char Text[MAX_PATH] = "";
        TVITEMA Data{};
        Data.mask = TVIF_TEXT;
        Data.hItem = Item;
        Data.pszText = Text;
        Data.cchTextMax = sizeof Text;
        SendMessageA(Tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Data));
        if (Name == Text)
            return SendMessageA(Tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Item)) !=
                   0;
    }
    return false;
}

// Drives the "Properties" dialog from a thread of its own while the test's
// thread sits in Execute. Whatever the steps leave open is closed at the end,
// so that Execute always returns.
class TScript {
public:
    explicit TScript(std::function<void(TScript&)> Steps)
        : FThread([this, Steps = std::move(Steps)] { Run(Steps); }) {}
    ~TScript() { Join(); }
    TScript(const TScript&) = delete;
    TScript& operator=(const TScript&) = delete;

    void Join() {
        if (FThread.joinable())
            FThread.join();
    }

    // Set by the test's thread once Execute has come back.
    std::atomic<bool> Returned{false};
    bool Found = false;
    HWND Dialog = nullptr;

    HWND Item(int Id) const { return GetDlgItem(Dialog, Id); }
    std::string Text(int Id) const { return WindowText(Item(Id)); }
    void SetText(int Id, const std::string& Text) const {
        SendMessageA(Item(Id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Text.c_str()));
    }
    bool Checked(int Id) const { return SendMessageA(Item(Id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Enabled(int Id) const { return IsWindowEnabled(Item(Id)) != FALSE; }
    bool TabStop(int Id) const {
        return (GetWindowLongPtrA(Item(Id), GWL_STYLE) & WS_TABSTOP) != 0;
    }
    bool IsOpen() const { return !Returned && IsWindow(Dialog) && IsWindowVisible(Dialog); }

    HWND Focus() const {
        GUITHREADINFO Info{};
        Info.cbSize = sizeof Info;
        return GetGUIThreadInfo(FDialogThread, &Info) ? Info.hwndFocus : nullptr;
    }
    bool WaitFocus(int Id) const {
        return WaitFor([&] { return Focus() == Item(Id); }, 3000);
    }

    // Every message the dialog's thread had in its queue has been handled,
    // and so have the messages those posted in turn: a box that any of them
    // raises exists by now. Each marker travels the same queue behind them.
    void Settle() {
        if (!IsWindow(Dialog)) {
            Sleep(100);
            return;
        }
        for (int Round = 0; Round < 2; ++Round) {
            const WPARAM Marker = 20000 + ++FMarkers;
            PostMessageA(Item(IDC_EDIT22), EM_SETLIMITTEXT, Marker, 0);
            // A dialog that closes drops the marker with its queue.
            WaitFor([&] {
                return !IsWindow(Dialog) ||
                       static_cast<WPARAM>(SendMessageA(Item(IDC_EDIT22), EM_GETLIMITTEXT, 0, 0)) ==
                           Marker;
            });
        }
    }

    // What a user does: the keyboard focus moved as Tab or a click moves it,
    // buttons pressed, keys typed into a control.
    void MoveFocus(int Id) {
        PostMessageA(Dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(Id)), TRUE);
        WaitFocus(Id);
        Settle();
    }
    void Tab() {
        const HWND Before = Focus();
        PostMessageA(Dialog, WM_NEXTDLGCTL, 0, FALSE);
        WaitFor([&] { return Focus() != Before; }, 3000);
        Settle();
    }
    void Click(int Id) {
        PostMessageA(Item(Id), BM_CLICK, 0, 0);
        Settle();
    }
    void Press(int Id) {
        TestSupport::PressButton(Dialog, Id);
        Settle();
    }
    void Key(int Id, WPARAM Key) {
        PostMessageA(Item(Id), WM_KEYDOWN, Key, 0);
        PostMessageA(Item(Id), WM_KEYUP, Key, 0xC0000000);
        Settle();
    }

    // The error box that shows now, answered with OK: its text, or "" when
    // none comes. Waits until the dialog is back in charge.
    std::string TakeError(DWORD Timeout = 5000) {
        HWND Box = nullptr;
        if (!WaitFor([&] { return (Box = FindDialog(IsErrorBox)) != nullptr; }, Timeout))
            return "";
        WaitFor([&] { return IsWindowVisible(Box) != FALSE; });
        const std::string Message = TestSupport::MessageBoxText(Box);
        TestSupport::PressButton(Box, IDOK);
        WaitFor([&] { return !IsWindow(Box); });
        WaitFor([&] { return !IsWindow(Dialog) || IsWindowEnabled(Dialog); });
        Settle();
        return Message;
    }
    // No error box is up, and none is on its way.
    bool NoError() {
        Settle();
        return FindDialog(IsErrorBox) == nullptr;
    }

    HWND WaitBrowser() const {
        HWND Browser = nullptr;
        WaitFor([&] { return (Browser = FindDialog(IsFolderBrowser)) != nullptr; });
        // Let it fill its tree and select the starting directory.
        Sleep(300);
        return Browser;
    }
    void CloseBrowser(HWND Browser, int Id) const {
        TestSupport::PressButton(Browser, Id);
        WaitFor([&] { return !IsWindow(Browser); });
        WaitFor([&] { return !IsWindow(Dialog) || IsWindowEnabled(Dialog); });
    }

    bool WaitClosed() const {
        return WaitFor([&] { return Returned.load(); });
    }

private:
    void Run(const std::function<void(TScript&)>& Steps) {
        WaitFor([&] { return (Dialog = FindDialog(IsProperties)) != nullptr; }, 10000);
        Found = Dialog != nullptr;
        if (!Found)
            return;
        FDialogThread = GetWindowThreadProcessId(Dialog, nullptr);
        WaitFor([&] { return Focus() != nullptr; }, 3000);
        Steps(*this);
        CloseEverything();
    }

    void CloseEverything() {
        const DWORD Start = GetTickCount();
        while (!Returned && GetTickCount() - Start < 15000) {
            if (HWND Box = FindDialog(IsErrorBox))
                TestSupport::PressButton(Box, IDOK);
            else if (HWND Browser = FindDialog(IsFolderBrowser))
                TestSupport::PressButton(Browser, IDCANCEL);
            else if (IsWindow(Dialog) && IsWindowEnabled(Dialog))
                TestSupport::PressButton(Dialog, IDCANCEL);
            Sleep(50);
        }
    }

    DWORD FDialogThread = 0;
    unsigned FMarkers = 0;
    std::thread FThread;
};

class App_binpropsdialog : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gui_application::Application().SetTitle("Tovel Bin");
        Gui_application::Application().Initialize(GetModuleHandleA(nullptr));
    }

    // Shows the dialog with Props and runs Steps against it; returns what
    // Execute returned.
    bool Run(const TBinProps& Props, std::function<void(TScript&)> Steps) {
        Dialog.SetProps(Props);
        TScript Script(std::move(Steps));
        bool Result = false;
        try {
            Result = Dialog.Execute();
        } catch (...) {
            Script.Returned = true;
            throw;
        }
        Script.Returned = true;
        Script.Join();
        EXPECT_TRUE(Script.Found) << "the dialog did not show";
        return Result;
    }

    TAppBinPropsDialog Dialog;
};

} // namespace

TEST_F(App_binpropsdialog, DefaultsShowOnOpenWithTheFocusOnFixToADirectory) {
    const bool Result = Run(DefaultProps(), [](TScript& S) {
        EXPECT_TRUE(S.Checked(IDC_RADIOBUTTON11));
        EXPECT_FALSE(S.Checked(IDC_RADIOBUTTON12));
        EXPECT_EQ(S.Text(IDC_EDIT11), "Bin");
        EXPECT_EQ(S.Text(IDC_EDIT21), "Tovel #");
        EXPECT_EQ(S.Text(IDC_EDIT22), "");
        EXPECT_EQ(S.Text(IDC_EDIT211), "0");
        EXPECT_EQ(S.Text(IDC_EDIT212), "9999");
        EXPECT_EQ(S.Text(IDC_EDIT213), "0");
        EXPECT_TRUE(S.Checked(IDC_CHECKBOX211));
        EXPECT_TRUE(S.Enabled(IDC_EDIT11));
        EXPECT_TRUE(S.Enabled(IDC_BUTTON11));
        EXPECT_TRUE(S.WaitFocus(IDC_RADIOBUTTON11));
        S.Press(IDCANCEL);
    });
    EXPECT_FALSE(Result);
}

TEST_F(App_binpropsdialog, CaptionsAndNoteReadExactly) {
    Run(DefaultProps(), [](TScript& S) {
        EXPECT_EQ(WindowText(S.Dialog), "Properties");
        EXPECT_EQ(S.Text(IDC_GROUPBOX1), "Location");
        EXPECT_EQ(S.Text(IDC_RADIOBUTTON11), "&Fix to a directory:");
        EXPECT_EQ(S.Text(IDC_BUTTON11), "...");
        EXPECT_EQ(S.Text(IDC_LABEL11), NoteText);
        EXPECT_EQ(S.Text(IDC_RADIOBUTTON12), "As&k the user");
        EXPECT_EQ(S.Text(IDC_GROUPBOX2), "&Entry name");
        EXPECT_EQ(S.Text(IDC_LABEL21), "<Index>");
        EXPECT_EQ(S.Text(IDC_GROUPBOX21), "Index");
        EXPECT_EQ(S.Text(IDC_LABEL211), "&Minimum:");
        EXPECT_EQ(S.Text(IDC_LABEL212), "Ma&ximum:");
        EXPECT_EQ(S.Text(IDC_LABEL213), "&Current:");
        EXPECT_EQ(S.Text(IDC_CHECKBOX211), "Fill the &unused digits with zeros");
        EXPECT_EQ(S.Text(IDOK), "OK");
        EXPECT_EQ(S.Text(IDCANCEL), "Cancel");
        // The note and "<Index>" show their characters as they are.
        EXPECT_TRUE(GetWindowLongPtrA(S.Item(IDC_LABEL11), GWL_STYLE) & SS_NOPREFIX);
        EXPECT_TRUE(GetWindowLongPtrA(S.Item(IDC_LABEL21), GWL_STYLE) & SS_NOPREFIX);
        // Dialog border: no sizing, no minimise or maximise box.
        const LONG_PTR Style = GetWindowLongPtrA(S.Dialog, GWL_STYLE);
        EXPECT_FALSE(Style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
        EXPECT_EQ(GetWindowLongPtrA(S.Item(IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    });
}

TEST_F(App_binpropsdialog, OkReturnsEveryValueAsTyped) {
    TBinProps Result = DefaultProps();
    const bool Confirmed = Run(DefaultProps(), [](TScript& S) {
        S.SetText(IDC_EDIT11, " ..\\Other Bin ");
        S.SetText(IDC_EDIT21, " Entry ");
        S.SetText(IDC_EDIT22, "-old ");
        S.SetText(IDC_EDIT211, "$10");
        S.SetText(IDC_EDIT212, "0x20");
        S.SetText(IDC_EDIT213, "+17");
        S.Click(IDC_CHECKBOX211);
        S.Press(IDOK);
        EXPECT_TRUE(S.NoError());
        EXPECT_TRUE(S.WaitClosed());
    });
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Dialog.Props().LocationType, App_bin::bltFixed);
    EXPECT_EQ(Dialog.Props().FixedLocation, " ..\\Other Bin ");
    EXPECT_EQ(Dialog.Props().EntryName.Prefix, " Entry ");
    EXPECT_EQ(Dialog.Props().EntryName.Suffix, "-old ");
    EXPECT_EQ(Dialog.Props().EntryName.Min, 16);
    EXPECT_EQ(Dialog.Props().EntryName.Max, 32);
    EXPECT_EQ(Dialog.Props().EntryName.Index, 17);
    EXPECT_FALSE(Dialog.Props().EntryName.FillDigits);
}

TEST_F(App_binpropsdialog, EmptyTextsAndEqualBoundsAreAccepted) {
    const bool Confirmed = Run(DefaultProps(), [](TScript& S) {
        S.SetText(IDC_EDIT11, "");
        S.SetText(IDC_EDIT21, "");
        S.SetText(IDC_EDIT211, "3");
        S.SetText(IDC_EDIT212, "3");
        S.SetText(IDC_EDIT213, "3");
        S.Press(IDOK);
        EXPECT_TRUE(S.NoError());
    });
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Dialog.Props().FixedLocation, "");
    EXPECT_EQ(Dialog.Props().EntryName.Prefix, "");
    EXPECT_EQ(Dialog.Props().EntryName.Min, 3);
    EXPECT_EQ(Dialog.Props().EntryName.Max, 3);
    EXPECT_EQ(Dialog.Props().EntryName.Index, 3);
}

TEST_F(App_binpropsdialog, OkWithoutChangesGivesTheSameValuesBack) {
    TBinProps Props = DefaultProps();
    Props.LocationType = App_bin::bltAskUser;
    Props.FixedLocation = "D:\\Some Bin";
    Props.EntryName.Suffix = " (old)";
    Props.EntryName.Min = 5;
    Props.EntryName.Max = 2147483647;
    Props.EntryName.Index = 7;
    Props.EntryName.FillDigits = false;
    EXPECT_TRUE(Run(Props, [](TScript& S) { S.Press(IDOK); }));
    EXPECT_TRUE(SameProps(Dialog.Props(), Props));
}

TEST_F(App_binpropsdialog, AskTheUserDisablesTheLocationAndStillReturnsIt) {
    const bool Confirmed = Run(DefaultProps(), [](TScript& S) {
        S.Click(IDC_RADIOBUTTON12);
        EXPECT_TRUE(S.Checked(IDC_RADIOBUTTON12));
        EXPECT_FALSE(S.Checked(IDC_RADIOBUTTON11));
        EXPECT_FALSE(S.Enabled(IDC_EDIT11));
        EXPECT_FALSE(S.Enabled(IDC_BUTTON11));
        // Tab reaches the location choice at its checked button only.
        EXPECT_TRUE(S.TabStop(IDC_RADIOBUTTON12));
        EXPECT_FALSE(S.TabStop(IDC_RADIOBUTTON11));
        S.Click(IDC_RADIOBUTTON11);
        EXPECT_TRUE(S.Enabled(IDC_EDIT11));
        EXPECT_TRUE(S.Enabled(IDC_BUTTON11));
        EXPECT_TRUE(S.TabStop(IDC_RADIOBUTTON11));
        EXPECT_FALSE(S.TabStop(IDC_RADIOBUTTON12));
        S.SetText(IDC_EDIT11, "Elsewhere");
        S.Click(IDC_RADIOBUTTON12);
        EXPECT_EQ(S.Text(IDC_EDIT11), "Elsewhere");
        S.Press(IDOK);
    });
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Dialog.Props().LocationType, App_bin::bltAskUser);
    EXPECT_EQ(Dialog.Props().FixedLocation, "Elsewhere");
}

TEST_F(App_binpropsdialog, OpeningWithAskTheUserFocusesItAndGreysTheLocation) {
    TBinProps Props = DefaultProps();
    Props.LocationType = App_bin::bltAskUser;
    Run(Props, [](TScript& S) {
        EXPECT_TRUE(S.Checked(IDC_RADIOBUTTON12));
        EXPECT_FALSE(S.Checked(IDC_RADIOBUTTON11));
        EXPECT_FALSE(S.Enabled(IDC_EDIT11));
        EXPECT_FALSE(S.Enabled(IDC_BUTTON11));
        EXPECT_EQ(S.Text(IDC_EDIT11), "Bin");
        EXPECT_TRUE(S.WaitFocus(IDC_RADIOBUTTON12));
        // Shift+Tab order: from the prefix back to the checked button.
        S.MoveFocus(IDC_EDIT21);
        PostMessageA(S.Dialog, WM_NEXTDLGCTL, 1, FALSE);
        EXPECT_TRUE(S.WaitFocus(IDC_RADIOBUTTON12));
    });
}

TEST_F(App_binpropsdialog, EveryBadValueIsReportedAtItsBoxAndTheDialogStaysOpen) {
    struct TRow {
        const char* Case;
        const char* Min;
        const char* Max;
        const char* Index;
        bool Uncheck;
        const char* Message;
        int FocusId;
    };
    const TRow Rows[] = {
        {"no location checked", "0", "9999", "0", true, "Select an item.", IDC_RADIOBUTTON11},
        {"minimum letters", "abc", "9999", "0", false, MinMessage, IDC_EDIT211},
        {"minimum empty", "", "9999", "0", false, MinMessage, IDC_EDIT211},
        {"minimum negative", "-1", "9999", "0", false, MinMessage, IDC_EDIT211},
        {"minimum beyond 32 bits", "2147483648", "9999", "0", false, MinMessage, IDC_EDIT211},
        {"maximum letters", "0", "9x", "0", false, MaxMessage, IDC_EDIT212},
        {"maximum below minimum", "10", "5", "7", false, MaxMessage, IDC_EDIT212},
        {"index empty", "0", "9999", "", false, IndexMessage, IDC_EDIT213},
        {"index below minimum", "5", "10", "4", false, IndexMessage, IDC_EDIT213},
        {"index above maximum", "5", "10", "11", false, IndexMessage, IDC_EDIT213},
        {"index with a trailing blank", "0", "10", "7 ", false, IndexMessage, IDC_EDIT213},
        // Only the first bad value in field order is reported.
        {"minimum and index bad", "x", "10", "y", false, MinMessage, IDC_EDIT211},
        {"location and minimum bad", "x", "10", "0", true, "Select an item.", IDC_RADIOBUTTON11},
    };
    // One showing for all rows: each row is typed over the last one's, which
    // also shows that a refused OK leaves the dialog usable.
    const bool Confirmed = Run(DefaultProps(), [&Rows](TScript& S) {
        for (const TRow& Row : Rows) {
            SCOPED_TRACE(Row.Case);
            // Leave the last row's bad box with a good value first: leaving it
            // bad is a failure of its own.
            S.SetText(IDC_EDIT211, "0");
            S.SetText(IDC_EDIT212, "9999");
            S.SetText(IDC_EDIT213, "0");
            S.MoveFocus(IDC_EDIT21);
            ASSERT_TRUE(S.NoError());
            S.SetText(IDC_EDIT211, Row.Min);
            S.SetText(IDC_EDIT212, Row.Max);
            S.SetText(IDC_EDIT213, Row.Index);
            SendMessageA(S.Item(IDC_RADIOBUTTON11), BM_SETCHECK,
                         Row.Uncheck ? BST_UNCHECKED : BST_CHECKED, 0);
            S.Press(IDOK);
            EXPECT_EQ(S.TakeError(), Row.Message);
            EXPECT_TRUE(S.WaitFocus(Row.FocusId));
            EXPECT_TRUE(S.IsOpen());
            EXPECT_TRUE(S.NoError());
            // Every box still holds what was typed.
            EXPECT_EQ(S.Text(IDC_EDIT211), Row.Min);
            EXPECT_EQ(S.Text(IDC_EDIT212), Row.Max);
            EXPECT_EQ(S.Text(IDC_EDIT213), Row.Index);
        }
        S.Press(IDCANCEL);
    });
    EXPECT_FALSE(Confirmed);
    EXPECT_TRUE(SameProps(Dialog.Props(), DefaultProps()));
}

TEST_F(App_binpropsdialog, IndexWithALeadingBlankIsAcceptedAfterACorrection) {
    const bool Confirmed = Run(DefaultProps(), [](TScript& S) {
        S.SetText(IDC_EDIT213, "7 ");
        S.Press(IDOK);
        EXPECT_EQ(S.TakeError(), IndexMessage);
        EXPECT_TRUE(S.IsOpen());
        S.SetText(IDC_EDIT213, " 7");
        S.Press(IDOK);
        EXPECT_TRUE(S.NoError());
    });
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Dialog.Props().EntryName.Index, 7);
}

TEST_F(App_binpropsdialog, LeavingABadMinimumReportsItAtOnceAndReturns) {
    Run(DefaultProps(), [](TScript& S) {
        S.MoveFocus(IDC_EDIT211);
        S.SetText(IDC_EDIT211, "-1");
        S.Tab();
        EXPECT_EQ(S.TakeError(), MinMessage);
        EXPECT_TRUE(S.WaitFocus(IDC_EDIT211));
        // One failure, one box: the box taking the focus is no new exit.
        EXPECT_TRUE(S.NoError());
        EXPECT_TRUE(S.IsOpen());
        // Leaving a good value shows nothing.
        S.SetText(IDC_EDIT211, "1");
        S.Tab();
        EXPECT_TRUE(S.NoError());
        EXPECT_TRUE(S.WaitFocus(IDC_EDIT212));
    });
}

TEST_F(App_binpropsdialog, LeavingTheMaximumOrIndexReportsTheBoundThatIsBad) {
    Run(DefaultProps(), [](TScript& S) {
        // The maximum checks the minimum first.
        S.SetText(IDC_EDIT211, "abc");
        S.MoveFocus(IDC_EDIT212);
        S.Tab();
        EXPECT_EQ(S.TakeError(), MinMessage);
        EXPECT_TRUE(S.WaitFocus(IDC_EDIT211));
        EXPECT_TRUE(S.NoError());

        S.SetText(IDC_EDIT211, "0");
        S.SetText(IDC_EDIT212, "-5");
        S.MoveFocus(IDC_EDIT213);
        S.Tab();
        EXPECT_EQ(S.TakeError(), MaxMessage);
        EXPECT_TRUE(S.WaitFocus(IDC_EDIT212));
        EXPECT_TRUE(S.NoError());

        S.SetText(IDC_EDIT212, "10");
        S.SetText(IDC_EDIT213, "11");
        S.MoveFocus(IDC_EDIT213);
        S.Tab();
        EXPECT_EQ(S.TakeError(), IndexMessage);
        EXPECT_TRUE(S.WaitFocus(IDC_EDIT213));
        EXPECT_TRUE(S.NoError());
        EXPECT_TRUE(S.IsOpen());
    });
}

// The location is checked only when the dialog closes; a prefix or suffix
// that no file name can hold is refused as its box is left.
TEST_F(App_binpropsdialog, LeavingTheTextBoxesChecksOnlyPrefixAndSuffix) {
    Run(DefaultProps(), [](TScript& S) {
        S.SetText(IDC_EDIT211, "bad");
        S.MoveFocus(IDC_EDIT11);
        S.SetText(IDC_EDIT11, " *?:\" ");
        S.Tab();
        EXPECT_TRUE(S.NoError());
        EXPECT_EQ(S.Text(IDC_EDIT11), " *?:\" ");
        for (const auto& [Id, Message] :
             {std::pair<int, const char*>{IDC_EDIT21,
                                          "Specify a prefix that a file name can hold."},
              {IDC_EDIT22, "Specify a suffix that a file name can hold."}}) {
            S.MoveFocus(Id);
            S.SetText(Id, "..\\");
            S.Tab();
            EXPECT_EQ(S.TakeError(), Message);
            EXPECT_TRUE(S.WaitFocus(Id));
            S.SetText(Id, "#");
        }
    });
}

TEST_F(App_binpropsdialog, EnterWithABadMinimumShowsOneBox) {
    Run(DefaultProps(), [](TScript& S) {
        S.MoveFocus(IDC_EDIT211);
        S.SetText(IDC_EDIT211, "x");
        S.Key(IDC_EDIT211, VK_RETURN);
        EXPECT_EQ(S.TakeError(), MinMessage);
        EXPECT_TRUE(S.WaitFocus(IDC_EDIT211));
        EXPECT_TRUE(S.NoError());
        EXPECT_TRUE(S.IsOpen());
    });
}

TEST_F(App_binpropsdialog, EscapeCloseBoxAndCancelRunNoValidation) {
    TBinProps Props = DefaultProps();
    Props.EntryName.Index = 4;
    enum TWay { Escape, CloseBox, CancelClick };
    for (TWay Way : {Escape, CloseBox, CancelClick}) {
        SCOPED_TRACE(Way);
        const bool Result = Run(Props, [Way](TScript& S) {
            S.MoveFocus(IDC_EDIT211);
            S.SetText(IDC_EDIT211, "letters");
            S.SetText(IDC_EDIT21, "changed");
            if (Way == Escape) {
                S.Key(IDC_EDIT211, VK_ESCAPE);
            } else if (Way == CloseBox) {
                PostMessageA(S.Dialog, WM_CLOSE, 0, 0);
            } else {
                // A click moves the focus to the button before it presses it.
                S.MoveFocus(IDCANCEL);
                S.Press(IDCANCEL);
            }
            EXPECT_TRUE(S.WaitClosed());
            EXPECT_TRUE(S.NoError());
        });
        EXPECT_FALSE(Result);
        EXPECT_TRUE(SameProps(Dialog.Props(), Props));
    }
}

TEST_F(App_binpropsdialog, EveryShowingRewritesTheControls) {
    TBinProps Props = DefaultProps();
    Run(Props, [](TScript& S) {
        S.SetText(IDC_EDIT21, "typed");
        S.Click(IDC_RADIOBUTTON12);
        S.Click(IDC_CHECKBOX211);
        S.Press(IDCANCEL);
    });
    Run(Props, [](TScript& S) {
        EXPECT_EQ(S.Text(IDC_EDIT21), "Tovel #");
        EXPECT_TRUE(S.Checked(IDC_RADIOBUTTON11));
        EXPECT_TRUE(S.Enabled(IDC_EDIT11));
        EXPECT_TRUE(S.Checked(IDC_CHECKBOX211));
        EXPECT_TRUE(S.WaitFocus(IDC_RADIOBUTTON11));
    });
}

TEST_F(App_binpropsdialog, UnknownLocationTypeRefusesToOpen) {
    TBinProps Props = DefaultProps();
    Props.LocationType = 2;
    Dialog.SetProps(Props);
    TestSupport::TBoxRecorder Recorder(IDCANCEL);
    try {
        Dialog.Execute();
        ADD_FAILURE() << "Execute did not raise";
    } catch (const Base_system::Exception& E) {
        EXPECT_EQ(E.Message(), "The program cannot set the location type.");
    }
    Sleep(200);
    EXPECT_TRUE(Recorder.Boxes().empty());
    EXPECT_EQ(Dialog.Props().LocationType, 2);
}

TEST_F(App_binpropsdialog, BrowseCancelKeepsTheLocationAndOkWritesTheChosenFullPath) {
    // The browser's tree opens with the desktop's items; a directory there
    // is chosen as a user clicks it.
    char Desktop[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, Desktop), S_OK);
    TestSupport::TTempDir Dir(Desktop);
    const std::string Name = Dir.Path().substr(Dir.Path().find_last_of('\\') + 1);
    const std::string Before = CurrentDirectory();
    const std::string LastBefore = Gui_application::Application().LastDirectory();
    const bool Confirmed = Run(DefaultProps(), [&](TScript& S) {
        S.Click(IDC_BUTTON11);
        HWND Browser = S.WaitBrowser();
        ASSERT_TRUE(Browser);
        EXPECT_NE(TestSupport::MessageBoxText(Browser).find("Specify the location."),
                  std::string::npos);
        S.CloseBrowser(Browser, IDCANCEL);
        // A cancel is silent and changes nothing.
        EXPECT_TRUE(S.NoError());
        EXPECT_EQ(S.Text(IDC_EDIT11), "Bin");
        EXPECT_EQ(Gui_application::Application().LastDirectory(), LastBefore);
        EXPECT_TRUE(S.IsOpen());

        S.Click(IDC_BUTTON11);
        Browser = S.WaitBrowser();
        ASSERT_TRUE(Browser);
        ASSERT_TRUE(SelectDesktopItem(Browser, Name));
        S.CloseBrowser(Browser, IDOK);
        EXPECT_TRUE(S.NoError());
        EXPECT_EQ(S.Text(IDC_EDIT11), LongPath(Dir.Path()));
        EXPECT_TRUE(S.IsOpen());
        S.Press(IDOK);
    });
    const std::string Last = Gui_application::Application().LastDirectory();
    Gui_application::Application().SetLastDirectory(LastBefore);
    EXPECT_TRUE(Confirmed);
    EXPECT_EQ(Dialog.Props().FixedLocation, LongPath(Dir.Path()));
    // The chosen directory is remembered, not made the process's current one.
    EXPECT_EQ(LongPath(Last), LongPath(Dir.Path()));
    EXPECT_EQ(CurrentDirectory(), Before);
}
