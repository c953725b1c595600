#include "app/App_mainform.h"

#include "TestSupport.h"
#include "app/App_bin.h"
#include "engine/Engine_cleanup.h"
#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "gui/Gui_dpi.h"
#include "res/resource.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using App_mainform::TAppMainForm;
using Gui_application::Application;
using TestSupport::TBoxRecorder;
using TestSupport::TTempDir;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

RECT WindowBounds(HWND Window) {
    RECT Bounds;
    GetWindowRect(Window, &Bounds);
    return Bounds;
}

int Height(HWND Window) {
    const RECT Bounds = WindowBounds(Window);
    return Bounds.bottom - Bounds.top;
}

int ClientHeight(HWND Window) {
    RECT Client;
    GetClientRect(Window, &Client);
    return Client.bottom;
}

bool IsVisibleStyle(HWND Window) {
    return (GetWindowLongPtrA(Window, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool IsChecked(HWND Form, int Command) {
    return (GetMenuState(GetMenu(Form), Command, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// The menu as the user reads it: one line per item, submenus indented,
// separators as "-".
void DumpMenu(HMENU Menu, const std::string& Indent, std::vector<std::string>& Lines) {
    for (int Index = 0; Index < GetMenuItemCount(Menu); ++Index) {
        char Text[256] = "";
        GetMenuStringA(Menu, Index, Text, sizeof Text, MF_BYPOSITION);
        // A drop-down's state holds its item count in the high byte, where
        // eight items would read as MF_SEPARATOR: it is no separator.
        const UINT State = GetMenuState(Menu, Index, MF_BYPOSITION);
        const bool Separator = !GetSubMenu(Menu, Index) && (State & MF_SEPARATOR);
        Lines.push_back(Indent + (Separator ? std::string("-") : std::string(Text)));
        if (HMENU Sub = GetSubMenu(Menu, Index))
            DumpMenu(Sub, Indent + "  ", Lines);
    }
}

std::string SettingsText(const std::vector<std::string>& Lines) {
    std::string Text;
    for (const std::string& Line : Lines)
        Text += Line + "\r\n";
    return Text;
}

std::vector<std::string> SectionsOf(const std::string& Text) {
    std::vector<std::string> Sections;
    std::size_t Start = 0;
    while ((Start = Text.find('[', Start)) != std::string::npos) {
        const std::size_t End = Text.find(']', Start);
        Sections.push_back(Text.substr(Start + 1, End - Start - 1));
        Start = End;
    }
    return Sections;
}

// A path as the put stores it below the entry: the drive letter without its
// colon becomes the first directory level.
std::string BelowDrive(const std::string& Path) {
    return Path.substr(0, 1) + Path.substr(2);
}

std::string LongPath(const std::string& Path) {
    char Buffer[MAX_PATH * 4];
    const DWORD Length = GetLongPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    return Length ? std::string(Buffer, Length) : Path;
}

// The shell's dropped-files handle, as it would hand it over: a DROPFILES
// header and the paths, each ended by a NUL, the list by one more.
HDROP MakeDrop(const std::vector<std::string>& Paths) {
    std::string Names;
    for (const std::string& Path : Paths)
        Names += Path + '\0';
    Names += '\0';
    HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + Names.size());
    auto* Header = static_cast<DROPFILES*>(GlobalLock(Memory));
    Header->pFiles = sizeof(DROPFILES);
    Header->fWide = FALSE;
    memcpy(reinterpret_cast<char*>(Header) + sizeof(DROPFILES), Names.data(), Names.size());
    GlobalUnlock(Memory);
    return static_cast<HDROP>(Memory);
}

// The program's command line as the runtime splits it, for as long as the
// object lives: argument 0 stays the test program's own path.
class TCommandLine {
public:
    explicit TCommandLine(const std::vector<std::string>& Arguments)
        : FSavedCount(__argc), FSavedValues(__argv), FTexts(Arguments) {
        FValues.push_back(__argv[0]);
        for (std::string& Text : FTexts)
            FValues.push_back(Text.data());
        FValues.push_back(nullptr);
        __argc = static_cast<int>(FTexts.size()) + 1;
        __argv = FValues.data();
    }
    ~TCommandLine() {
        __argc = FSavedCount;
        __argv = FSavedValues;
    }
    TCommandLine(const TCommandLine&) = delete;
    TCommandLine& operator=(const TCommandLine&) = delete;

private:
    int FSavedCount;
    char** FSavedValues;
    std::vector<std::string> FTexts;
    std::vector<char*> FValues;
};

// A quit posted by a main window that was destroyed would end the next
// modal loop of the tests; it is taken out of the queue here.
void DrainQuit() {
    MSG Message;
    while (PeekMessageA(&Message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

class App_mainform : public testing::Test {
protected:
    void SetUp() override {
        SettingsFileName = Dir / "Settings.ini";
        SavedLastDirectory = Application().LastDirectory();
        Application().SetLastDirectory(Dir.Path());
    }

    void TearDown() override {
        Application().SetMainWindow(nullptr);
        Form.reset();
        DrainQuit();
        Application().SetLastDirectory(SavedLastDirectory);
        // The last directory is the program's memory only: Windows holds a
        // process's current directory open, so it never follows.
        EXPECT_EQ(Vek_file::GetCurrentDirectoryPath(), CurrentDirectory);
    }

    std::string SavedLastDirectory;
    const std::string CurrentDirectory = Vek_file::GetCurrentDirectoryPath();

    void WriteSettings(const std::vector<std::string>& Lines) {
        TestSupport::WriteFile(SettingsFileName, SettingsText(Lines));
    }

    // Settings that put the bin into the test's own directory.
    void WriteBinSettings() {
        WriteSettings(
            {"[MainForm.BinHandler.Bin]", "LocationType=0", "FixedLocation=\"" + BinDir + "\""});
    }

    // Most cases need no visible window; a shown one costs Wine without a
    // window manager two seconds when it goes.
    TAppMainForm& Open() {
        Form = std::make_unique<TAppMainForm>(SettingsFileName);
        Application().SetMainWindow(Form->Handle());
        return *Form;
    }

    TAppMainForm& OpenShown() {
        Open();
        ShowWindow(Form->Handle(), SW_SHOWNOACTIVATE);
        return *Form;
    }

    void Command(int Id) { SendMessageA(Form->Handle(), WM_COMMAND, MAKEWPARAM(Id, 0), 0); }

    std::string Label() const { return TestSupport::WindowText(Form->Label1()); }

    TTempDir Dir;
    const std::string BinDir = Dir / "Bin";
    std::string SettingsFileName;
    std::unique_ptr<TAppMainForm> Form;
};

} // namespace

TEST_F(App_mainform, MenuShowsEveryCommandWithItsAccessKeyAndShortcut) {
    Open();
    std::vector<std::string> Lines;
    DumpMenu(GetMenu(Form->Handle()), "", Lines);
    const std::vector<std::string> Expected = {"Bin",
                                               "  &Put",
                                               "    &Regualr Files...\tCtrl+O",
                                               "    &Directory...",
                                               "    -",
                                               "    Import &Paths...",
                                               "  &Explore\tCtrl+E",
                                               "  -",
                                               "  &Take Back Last Put\tCtrl+Z",
                                               "  E&ntries...\tCtrl+L",
                                               "  &Clean Up...",
                                               "  -",
                                               "  P&roperties\tCtrl+P",
                                               "  -",
                                               "  E&xit",
                                               "&View",
                                               "  &Toolbar",
                                               "  &Center Panel",
                                               "  &Status Bar",
                                               "  -",
                                               "  Top&most",
                                               "&Help",
                                               "  &Contents...\tF1",
                                               "  -",
                                               "  Add to &Send To Menu",
                                               "  -",
                                               "  &About"};
    EXPECT_EQ(Lines, Expected);
    EXPECT_EQ(TestSupport::WindowText(Form->Handle()), "Tovel Bin");
    const LONG_PTR Style = GetWindowLongPtrA(Form->Handle(), GWL_STYLE);
    EXPECT_TRUE(Style & WS_MINIMIZEBOX);
    EXPECT_FALSE(Style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(Style & WS_THICKFRAME);
}

// The shortcuts go through the message loop's accelerators, as keys do.
TEST_F(App_mainform, ShortcutsRunTheirCommands) {
    WriteBinSettings();
    OpenShown();
    TBoxRecorder Boxes(IDCANCEL);
    const HWND Window = Form->Handle();
    const auto Press = [Window](BYTE Key, bool Control) {
        BYTE Keys[256] = {};
        GetKeyboardState(Keys);
        Keys[VK_CONTROL] = Control ? 0x80 : 0;
        SetKeyboardState(Keys);
        PostMessageA(Window, WM_KEYDOWN, Key, 1);
    };
    std::size_t Expected = 0;
    for (const auto& [Key, Control] : std::vector<std::pair<BYTE, bool>>{
             {VK_F1, false}, {'E', true}, {'P', true}, {'O', true}}) {
        Press(Key, Control);
        ++Expected;
        const DWORD Start = GetTickCount();
        Application().OnIdle = [&Boxes, Expected, Start](bool& Done) {
            Done = false;
            if (Boxes.Boxes().size() >= Expected || GetTickCount() - Start > 10000)
                PostQuitMessage(0);
        };
        Application().Run();
    }
    Application().OnIdle = nullptr;
    BYTE Keys[256] = {};
    GetKeyboardState(Keys);
    Keys[VK_CONTROL] = 0;
    SetKeyboardState(Keys);

    const std::vector<std::string> Shown = Boxes.Boxes();
    ASSERT_EQ(Shown.size(), 4u);
    EXPECT_EQ(Shown[0], "Contents|The program opens the offline help.");
    EXPECT_EQ(Shown[1], "Tovel Bin|The bin does not exist.");
    EXPECT_EQ(Shown[2].substr(0, Shown[2].find('|')), "Properties");
    EXPECT_EQ(Shown[3].substr(0, Shown[3].find('|')), "Put Regular Files");
}

// The bin's commands in the order of its menu, each with its tip; the
// separators stand between the menu's groups.
TEST_F(App_mainform, ToolbarHasTheBinCommandsWithTipsAndSeparators) {
    Open();
    const HWND ToolBar = Form->ToolBar1();
    const std::pair<int, std::string> Buttons[] = {
        {IDM_BIN_PUT_REGULAR_FILES, "Put regular files"},
        {IDM_BIN_EXPLORE, "Explore"},
        {0, ""},
        {IDM_BIN_TAKE_BACK_LAST_PUT, "Take back last put"},
        {IDM_BIN_ENTRIES, "Entries"},
        {IDM_BIN_CLEAN_UP, "Clean up"},
        {0, ""},
        {IDM_BIN_PROPS, "Properties"}};
    const int Count = sizeof Buttons / sizeof Buttons[0];
    ASSERT_EQ(SendMessageA(ToolBar, TB_BUTTONCOUNT, 0, 0), Count);
    const HWND ToolTip = reinterpret_cast<HWND>(SendMessageA(ToolBar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_TRUE(ToolTip);
    std::set<int> Images;
    for (int Index = 0; Index < Count; ++Index) {
        const auto& [Id, Tip] = Buttons[Index];
        TBBUTTON Button{};
        SendMessageA(ToolBar, TB_GETBUTTON, Index, reinterpret_cast<LPARAM>(&Button));
        EXPECT_EQ(Button.idCommand, Id) << Index;
        EXPECT_EQ((Button.fsStyle & BTNS_SEP) != 0, Id == 0) << Index;
        RECT Bounds;
        SendMessageA(ToolBar, TB_GETITEMRECT, Index, reinterpret_cast<LPARAM>(&Bounds));
        if (Id == 0) {
            EXPECT_EQ(Bounds.right - Bounds.left, 8) << Index;
            continue;
        }
        EXPECT_TRUE(Button.fsState & TBSTATE_ENABLED) << Index;
        Images.insert(Button.iBitmap);
        // The tool tip asks the toolbar, which asks the window.
        NMTTDISPINFOW Info{};
        Info.hdr.hwndFrom = ToolTip;
        Info.hdr.idFrom = Id;
        Info.hdr.code = TTN_GETDISPINFOW;
        Info.lpszText = Info.szText;
        SendMessageW(ToolBar, WM_NOTIFY, Id, reinterpret_cast<LPARAM>(&Info));
        const wchar_t* Text = Info.lpszText ? Info.lpszText : Info.szText;
        EXPECT_EQ(std::wstring(Text), std::wstring(Tip.begin(), Tip.end())) << Index;
    }
    // An image of its own for each button, all of them in the window's list.
    const auto List = reinterpret_cast<HIMAGELIST>(SendMessageA(ToolBar, TB_GETIMAGELIST, 0, 0));
    EXPECT_EQ(Images.size(), 6u);
    EXPECT_EQ(*Images.rbegin() + 1, ImageList_GetImageCount(List));
}

// A click on a button runs its menu item's command.
TEST_F(App_mainform, ToolbarButtonRunsItsCommand) {
    WriteBinSettings();
    Open();
    const struct {
        int Index;
        const char* Box;
    } Cases[] = {{1, "Tovel Bin|The bin does not exist."},
                 {3, "Tovel Bin|The program cannot find an entry in the bin."}};
    for (const auto& Case : Cases) {
        TBoxRecorder Boxes;
        RECT Button;
        SendMessageA(Form->ToolBar1(), TB_GETITEMRECT, Case.Index,
                     reinterpret_cast<LPARAM>(&Button));
        const LPARAM Point =
            MAKELPARAM((Button.left + Button.right) / 2, (Button.top + Button.bottom) / 2);
        SendMessageA(Form->ToolBar1(), WM_LBUTTONDOWN, MK_LBUTTON, Point);
        SendMessageA(Form->ToolBar1(), WM_LBUTTONUP, 0, Point);
        ASSERT_TRUE(TestSupport::PumpUntil([&Boxes] { return !Boxes.Boxes().empty(); }));
        EXPECT_EQ(Boxes.Boxes(), std::vector<std::string>{Case.Box}) << Case.Index;
    }
}

TEST_F(App_mainform, StartsWithTheDesignLayout) {
    OpenShown();
    EXPECT_EQ(Label(), "Next: Tovel #0000");
    for (HWND Bar : {Form->ToolBar1(), Form->Panel1(), Form->StatusBar1()})
        EXPECT_TRUE(IsVisibleStyle(Bar));
    for (int Id : {IDM_VIEW_TOOLBAR, IDM_VIEW_CENTER_PANEL, IDM_VIEW_STATUS_BAR})
        EXPECT_TRUE(IsChecked(Form->Handle(), Id)) << Id;
    EXPECT_FALSE(IsChecked(Form->Handle(), IDM_VIEW_TOPMOST));

    // The client area holds exactly the three bars, one below the other.
    const int Bars = Height(Form->ToolBar1()) + Height(Form->Panel1()) + Height(Form->StatusBar1());
    EXPECT_EQ(ClientHeight(Form->Handle()), Bars);
    EXPECT_EQ(Height(Form->Handle()), Form->MinHeight());
    EXPECT_EQ(WindowBounds(Form->Panel1()).top, WindowBounds(Form->ToolBar1()).bottom);
    EXPECT_EQ(WindowBounds(Form->StatusBar1()).top, WindowBounds(Form->Panel1()).bottom);

    // The design's client width, 241 at 120 pixels per inch.
    HDC Screen = GetDC(nullptr);
    const int Dpi = GetDeviceCaps(Screen, LOGPIXELSY);
    ReleaseDC(nullptr, Screen);
    RECT Client;
    GetClientRect(Form->Handle(), &Client);
    EXPECT_EQ(Client.right, MulDiv(241, Dpi, 120));
    // The label's text sits in the middle of the panel's height.
    EXPECT_TRUE(GetWindowLongPtrA(Form->Label1(), GWL_STYLE) & SS_CENTERIMAGE);
}

// The manifest asks for each window to follow its monitor's DPI; a system
// that knows the request grants it (older ones have no call to ask).
TEST_F(App_mainform, FollowsTheMonitorsDpiWhereTheSystemCan) {
    const HMODULE User32 = GetModuleHandleA("user32.dll");
    const FARPROC GetContext = GetProcAddress(User32, "GetThreadDpiAwarenessContext");
    const FARPROC GetAwareness = GetProcAddress(User32, "GetAwarenessFromDpiAwarenessContext");
    if (!GetContext || !GetAwareness)
        GTEST_SKIP() << "this system has no per-monitor DPI";
    const auto Context =
        reinterpret_cast<HANDLE(WINAPI*)()>(reinterpret_cast<void (*)()>(GetContext))();
    const int Awareness =
        reinterpret_cast<int(WINAPI*)(HANDLE)>(reinterpret_cast<void (*)()>(GetAwareness))(Context);
    EXPECT_EQ(Awareness, 2); // DPI_AWARENESS_PER_MONITOR_AWARE
}

// A change of the window's DPI, as the system reports it when the window goes
// to another monitor: the images drawn for the new DPI, buttons, bars and
// font sized for it, the bounds the system suggests with the height fitted
// to the bars; back at the first DPI, the layout is the first one again.
TEST_F(App_mainform, DpiChangeRedrawsTheBarsInTheSuggestedBounds) {
    OpenShown();
    const int Start = Form->Dpi();
    const int StartHeights[] = {Height(Form->ToolBar1()), Height(Form->Panel1()),
                                Height(Form->StatusBar1()), Height(Form->Handle())};
    const int StartWidth = WindowBounds(Form->Handle()).right - WindowBounds(Form->Handle()).left;
    const struct {
        int Dpi;
        int ImageSize;
    } Steps[] = {{120, 20}, {144, 24}, {192, 32}, {168, 24}, {96, 16}, {Start, 0}};
    int Left = 40;
    for (const auto& Step : Steps) {
        Left += 10;
        const RECT Suggested{Left, 30, Left + MulDiv(StartWidth, Step.Dpi, Start),
                             30 + MulDiv(StartHeights[3], Step.Dpi, Start)};
        SendMessageA(Form->Handle(), WM_DPICHANGED, MAKEWPARAM(Step.Dpi, Step.Dpi),
                     reinterpret_cast<LPARAM>(&Suggested));
        ASSERT_EQ(Form->Dpi(), Step.Dpi);

        const auto Images =
            reinterpret_cast<HIMAGELIST>(SendMessageA(Form->ToolBar1(), TB_GETIMAGELIST, 0, 0));
        int Width = 0, ImageHeight = 0;
        ASSERT_TRUE(ImageList_GetIconSize(Images, &Width, &ImageHeight));
        if (Step.ImageSize) {
            EXPECT_EQ(Width, Step.ImageSize) << Step.Dpi;
        }
        EXPECT_EQ(ImageHeight, Width) << Step.Dpi;
        EXPECT_EQ(ImageList_GetImageCount(Images), 6) << Step.Dpi;
        RECT Button;
        SendMessageA(Form->ToolBar1(), TB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&Button));
        EXPECT_GT(Button.bottom - Button.top, Width) << Step.Dpi;
        EXPECT_LE(Button.bottom, ClientHeight(Form->ToolBar1())) << Step.Dpi;

        EXPECT_EQ(Height(Form->Panel1()), MulDiv(26, Step.Dpi, 120)) << Step.Dpi;
        EXPECT_EQ(Height(Form->StatusBar1()), MulDiv(26, Step.Dpi, 120)) << Step.Dpi;
        LOGFONTA Font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Form->Label1(), WM_GETFONT, 0, 0)),
                   sizeof Font, &Font);
        EXPECT_EQ(Font.lfHeight, Gui_dpi::MessageFont(Step.Dpi).lfHeight) << Step.Dpi;

        const RECT Bounds = WindowBounds(Form->Handle());
        EXPECT_EQ(Bounds.left, Suggested.left) << Step.Dpi;
        EXPECT_EQ(Bounds.top, Suggested.top) << Step.Dpi;
        EXPECT_EQ(Bounds.right, Suggested.right) << Step.Dpi;
        EXPECT_EQ(Height(Form->Handle()), Form->MinHeight()) << Step.Dpi;
        EXPECT_EQ(ClientHeight(Form->Handle()),
                  Height(Form->ToolBar1()) + Height(Form->Panel1()) + Height(Form->StatusBar1()))
            << Step.Dpi;
        EXPECT_EQ(WindowBounds(Form->Panel1()).top, WindowBounds(Form->ToolBar1()).bottom);
        EXPECT_EQ(WindowBounds(Form->StatusBar1()).top, WindowBounds(Form->Panel1()).bottom);
    }
    const int EndHeights[] = {Height(Form->ToolBar1()), Height(Form->Panel1()),
                              Height(Form->StatusBar1()), Height(Form->Handle())};
    EXPECT_TRUE(std::equal(std::begin(StartHeights), std::end(StartHeights), EndHeights));
}

TEST_F(App_mainform, HidingABarTakesItsHeightAndShowingPutsItBackInOrder) {
    OpenShown();
    const int Full = Height(Form->Handle());
    const struct {
        int Command;
        HWND Bar;
    } Cases[] = {{IDM_VIEW_TOOLBAR, Form->ToolBar1()},
                 {IDM_VIEW_CENTER_PANEL, Form->Panel1()},
                 {IDM_VIEW_STATUS_BAR, Form->StatusBar1()}};
    for (const auto& Case : Cases) {
        const int BarHeight = Height(Case.Bar);
        Command(Case.Command);
        EXPECT_FALSE(IsVisibleStyle(Case.Bar)) << Case.Command;
        EXPECT_FALSE(IsChecked(Form->Handle(), Case.Command)) << Case.Command;
        EXPECT_EQ(Height(Form->Handle()), Full - BarHeight) << Case.Command;
        EXPECT_EQ(Form->MinHeight(), Full - BarHeight) << Case.Command;
        Command(Case.Command);
        EXPECT_TRUE(IsVisibleStyle(Case.Bar)) << Case.Command;
        EXPECT_TRUE(IsChecked(Form->Handle(), Case.Command)) << Case.Command;
        EXPECT_EQ(Height(Form->Handle()), Full) << Case.Command;
    }

    // Shown again in the reverse order, the bars still stand toolbar, panel,
    // status bar from the top.
    Command(IDM_VIEW_TOOLBAR);
    Command(IDM_VIEW_CENTER_PANEL);
    Command(IDM_VIEW_STATUS_BAR);
    Command(IDM_VIEW_STATUS_BAR);
    Command(IDM_VIEW_CENTER_PANEL);
    Command(IDM_VIEW_TOOLBAR);
    RECT Client;
    GetClientRect(Form->Handle(), &Client);
    MapWindowPoints(Form->Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&Client), 2);
    EXPECT_EQ(WindowBounds(Form->ToolBar1()).top, Client.top);
    EXPECT_EQ(WindowBounds(Form->Panel1()).top, WindowBounds(Form->ToolBar1()).bottom);
    EXPECT_EQ(WindowBounds(Form->StatusBar1()).top, WindowBounds(Form->Panel1()).bottom);
    EXPECT_EQ(WindowBounds(Form->StatusBar1()).bottom, Client.bottom);
    EXPECT_EQ(Height(Form->Handle()), Full);
}

TEST_F(App_mainform, AllBarsHiddenLeaveNoClientArea) {
    Open();
    Command(IDM_VIEW_CENTER_PANEL);
    Command(IDM_VIEW_STATUS_BAR);
    Command(IDM_VIEW_TOOLBAR);
    EXPECT_EQ(ClientHeight(Form->Handle()), 0);
    EXPECT_EQ(Height(Form->Handle()), Form->MinHeight());

    // The user cannot size it below that, only above; the next fit undoes it.
    MINMAXINFO Limits{};
    SendMessageA(Form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&Limits));
    EXPECT_EQ(Limits.ptMinTrackSize.y, Form->MinHeight());
    const RECT Bounds = WindowBounds(Form->Handle());
    SetWindowPos(Form->Handle(), nullptr, 0, 0, Bounds.right - Bounds.left, Form->MinHeight() + 50,
                 SWP_NOMOVE | SWP_NOZORDER);
    Command(IDM_VIEW_STATUS_BAR);
    EXPECT_EQ(ClientHeight(Form->Handle()), Height(Form->StatusBar1()));
}

TEST_F(App_mainform, DroppedFilesGoIntoOneEntryBelowTheirDrive) {
    WriteBinSettings();
    OpenShown();
    TTempDir Source;
    const std::vector<std::string> Paths = {LongPath(Source / "a.txt"), LongPath(Source / "b.txt"),
                                            LongPath(Source / "c")};
    TestSupport::WriteFile(Paths[0], "a");
    TestSupport::WriteFile(Paths[1], "b");
    CreateDirectoryA(Paths[2].c_str(), nullptr);
    TestSupport::WriteFile(Paths[2] + "\\d.txt", "d");

    TBoxRecorder Boxes;
    SendMessageA(Form->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(Paths)), 0);

    EXPECT_TRUE(Boxes.Boxes().empty());
    EXPECT_EQ(Form->PendingPaths().Count(), 0);
    EXPECT_EQ(Label(), "Next: Tovel #0001");
    const std::string Entry = BinDir + "\\Tovel #0000\\";
    EXPECT_EQ(TestSupport::ReadFile(Entry + BelowDrive(Paths[0])), "a");
    EXPECT_EQ(TestSupport::ReadFile(Entry + BelowDrive(Paths[1])), "b");
    EXPECT_EQ(TestSupport::ReadFile(Entry + BelowDrive(Paths[2]) + "\\d.txt"), "d");
    for (const std::string& Path : Paths)
        EXPECT_FALSE(TestSupport::Exists(Path)) << Path;
    // One put, one entry.
    EXPECT_EQ(TestSupport::ListTree(BinDir).front(), "Tovel #0000\\");
    EXPECT_FALSE(TestSupport::Exists(BinDir + "\\Tovel #0001"));
}

TEST_F(App_mainform, FailedDropIsShownAndLeavesThePendingListEmpty) {
    WriteBinSettings();
    Open();
    TTempDir Source;
    const std::string Present = LongPath(Source / "a.txt");
    TestSupport::WriteFile(Present, "a");

    TBoxRecorder Boxes;
    SendMessageA(Form->Handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeDrop({Present, Source / "missing.txt"})), 0);

    const std::vector<std::string> Shown = Boxes.Boxes();
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].substr(0, Shown[0].find('|')), "Tovel Bin");
    EXPECT_GT(Shown[0].size(), std::string("Tovel Bin|").size());
    EXPECT_EQ(Form->PendingPaths().Count(), 0);
    EXPECT_EQ(Label(), "Next: Tovel #0000");
    EXPECT_TRUE(TestSupport::Exists(Present));
    EXPECT_FALSE(TestSupport::Exists(BinDir + "\\Tovel #0000"));
    EXPECT_EQ(Application().ScreenCursor(), nullptr);
}

TEST_F(App_mainform, WithoutArgumentsTheFirstIdleMomentPutsNothingAndUnhooksItself) {
    if (!Application().Arguments().empty())
        GTEST_SKIP() << "the test program was started with arguments";
    WriteBinSettings();
    Open();
    ASSERT_TRUE(Application().OnIdle);
    bool Done = false;
    Application().OnIdle(Done);
    EXPECT_TRUE(Done);
    EXPECT_FALSE(Application().OnIdle);
    EXPECT_EQ(Label(), "Next: Tovel #0000");
    EXPECT_FALSE(TestSupport::Exists(BinDir));
}

// The message loop calls the idle hook as long as one is set, and shows what
// it raises; the hook is gone before the put runs, so a put that fails is
// shown once and never tried again.
TEST_F(App_mainform, FailedCommandLinePutIsShownOnceAndNotTriedAgain) {
    WriteBinSettings();
    TTempDir Source;
    const std::string Present = LongPath(Source / "a.txt");
    TestSupport::WriteFile(Present, "a");
    TCommandLine Arguments({Present, Source / "missing.txt"});
    Open();
    ASSERT_TRUE(Application().OnIdle);

    TBoxRecorder Boxes;
    int Puts = 0;
    for (int Moment = 0; Moment < 3 && Application().OnIdle; ++Moment) {
        ++Puts;
        bool Done = false;
        try {
            Application().OnIdle(Done);
        } catch (...) {
            Application().HandleException(std::current_exception());
        }
        EXPECT_TRUE(Done);
    }
    EXPECT_EQ(Puts, 1);
    EXPECT_FALSE(Application().OnIdle);
    const std::vector<std::string> Shown = Boxes.Boxes();
    ASSERT_FALSE(Shown.empty());
    EXPECT_EQ(Shown.back().substr(0, Shown.back().find('|')), "Tovel Bin");
    EXPECT_EQ(Form->PendingPaths().Count(), 0);
    EXPECT_EQ(Label(), "Next: Tovel #0000");
    EXPECT_TRUE(TestSupport::Exists(Present));
    EXPECT_FALSE(TestSupport::Exists(BinDir));
}

TEST_F(App_mainform, NoSettingsFileGivesDefaultsAndTheCloseWritesAllSections) {
    const std::string Current = Application().LastDirectory();
    Open();
    EXPECT_FALSE(GetWindowLongA(Form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    const RECT Bounds = WindowBounds(Form->Handle());
    SendMessageA(Form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(Form->Handle()));

    const std::string Text = TestSupport::ReadFile(SettingsFileName);
    const std::vector<std::string> Expected = {"System",
                                               "MainForm",
                                               "MainForm.BinHandler.Bin",
                                               "MainForm.BinHandler.Bin.EntryName",
                                               "MainForm.BinHandler.PutRegularFilesDialog",
                                               "MainForm.BinHandler.PutImportPathsDialog",
                                               "MainForm.ViewHandler",
                                               "MainForm.BinHandler.EntriesDialog",
                                               "MainForm.BinHandler.CleanUp"};
    EXPECT_EQ(SectionsOf(Text), Expected);
    const std::string Head = SettingsText(
        {"[System]", "CurrentDirectory=\"" + Current + "\"", "", "[MainForm]",
         "Width=" + std::to_string(Bounds.right - Bounds.left),
         "Left=" + std::to_string(Bounds.left), "Top=" + std::to_string(Bounds.top), ""});
    EXPECT_EQ(Text.substr(0, Head.size()), Head);
    // The entries dialog's section comes after every older one, the
    // clean-up's last: without a section of its own both rules are off.
    const std::string View = SettingsText({"[MainForm.ViewHandler]",
                                           "ShowToolbar=1",
                                           "ShowCenterPanel=1",
                                           "ShowStatusBar=1",
                                           "StayTopmost=0",
                                           "",
                                           "[MainForm.BinHandler.EntriesDialog]",
                                           "Left=0",
                                           "Top=0",
                                           "Width=0",
                                           "Height=0",
                                           "EntryWidth=0",
                                           "PutWidth=0",
                                           "ItemsWidth=0",
                                           "SizeWidth=0",
                                           "FromWidth=0",
                                           "ItemNameWidth=0",
                                           "ItemPlaceWidth=0",
                                           "ItemEntryWidth=0",
                                           "ItemPutWidth=0",
                                           "ItemSizeWidth=0",
                                           "SortColumn=1",
                                           "SortDescending=1",
                                           "ItemSortColumn=-1",
                                           "ItemSortDescending=0",
                                           "",
                                           "[MainForm.BinHandler.CleanUp]",
                                           "ByAge=0",
                                           "Days=30",
                                           "BySize=0",
                                           "Megabytes=1024",
                                           "AtStart=0",
                                           "SortColumn=-1",
                                           "SortDescending=0",
                                           ""});
    ASSERT_GE(Text.size(), View.size());
    EXPECT_EQ(Text.substr(Text.size() - View.size()), View);
}

TEST_F(App_mainform, ExitClosesThroughTheSamePathAndSaves) {
    Open();
    const HWND Window = Form->Handle();
    Command(IDM_BIN_EXIT);
    EXPECT_FALSE(IsWindow(Window));
    EXPECT_TRUE(Vek_file::IsRegularFile(SettingsFileName));
    // The main window's end ends the message loop.
    MSG Message;
    EXPECT_TRUE(PeekMessageA(&Message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(App_mainform, KeysAddedByHandDisappearAtTheNextSave) {
    WriteSettings({"; a comment", "[Extra]", "Key=1", "", "[MainForm]", "Colour=blue", "",
                   "[MainForm.ViewHandler]", "Unknown=2"});
    Open();
    SendMessageA(Form->Handle(), WM_CLOSE, 0, 0);
    const std::string Text = TestSupport::ReadFile(SettingsFileName);
    EXPECT_EQ(Text.find("Extra"), std::string::npos);
    EXPECT_EQ(Text.find("Colour"), std::string::npos);
    EXPECT_EQ(Text.find("Unknown"), std::string::npos);
    EXPECT_EQ(Text.find("comment"), std::string::npos);
    EXPECT_EQ(SectionsOf(Text).size(), 9u);
}

TEST_F(App_mainform, CurrentDirectoryWithBlanksSurvivesASaveAndALoad) {
    const std::string Odd = Dir / " blank at the start";
    ASSERT_TRUE(CreateDirectoryA(Odd.c_str(), nullptr));
    Application().SetLastDirectory(Odd);
    Open();
    SendMessageA(Form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_NE(TestSupport::ReadFile(SettingsFileName).find("CurrentDirectory=\"" + Odd + "\"\r\n"),
              std::string::npos);

    Application().SetLastDirectory(Dir.Path());
    Form.reset();
    DrainQuit();
    Open();
    EXPECT_EQ(Application().LastDirectory(), Odd);
}

TEST_F(App_mainform, UnquotedOrMissingCurrentDirectoryIsIgnored) {
    const std::string Plain = Dir / "plain";
    ASSERT_TRUE(CreateDirectoryA(Plain.c_str(), nullptr));
    for (const std::string& Value : {Plain, "\"" + (Dir / "gone") + "\"", std::string()}) {
        WriteSettings({"[System]", "CurrentDirectory=" + Value});
        TBoxRecorder Boxes;
        ASSERT_NO_THROW(Open()) << Value;
        EXPECT_EQ(Application().LastDirectory(), Dir.Path()) << Value;
        EXPECT_TRUE(Boxes.Boxes().empty()) << Value;
        Application().SetMainWindow(nullptr);
        Form.reset();
        DrainQuit();
    }
}

TEST_F(App_mainform, WidthLeftAndTopAreAppliedAsRead) {
    Open();
    const RECT Default = WindowBounds(Form->Handle());
    Application().SetMainWindow(nullptr);
    Form.reset();
    DrainQuit();

    WriteSettings({"[MainForm]", "Width=abc", "Left=37", "Top=0x29"});
    Open();
    RECT Bounds = WindowBounds(Form->Handle());
    EXPECT_EQ(Bounds.right - Bounds.left, Default.right - Default.left);
    EXPECT_EQ(Bounds.left, 37);
    EXPECT_EQ(Bounds.top, 41);
    Application().SetMainWindow(nullptr);
    Form.reset();
    DrainQuit();

    WriteSettings({"[MainForm]", "Width=400"});
    Open();
    Bounds = WindowBounds(Form->Handle());
    EXPECT_EQ(Bounds.right - Bounds.left, 400);
}

TEST_F(App_mainform, ViewSettingsApplyBeforeTheWindowShows) {
    WriteSettings({"[MainForm.ViewHandler]", "ShowToolbar=0", "ShowCenterPanel=1",
                   "ShowStatusBar=1", "StayTopmost=1"});
    Form = std::make_unique<TAppMainForm>(SettingsFileName);
    EXPECT_FALSE(IsWindowVisible(Form->Handle()));
    EXPECT_TRUE(GetWindowLongA(Form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(IsChecked(Form->Handle(), IDM_VIEW_TOPMOST));
    EXPECT_FALSE(IsChecked(Form->Handle(), IDM_VIEW_TOOLBAR));
    EXPECT_FALSE(IsVisibleStyle(Form->ToolBar1()));
    EXPECT_EQ(ClientHeight(Form->Handle()), Height(Form->Panel1()) + Height(Form->StatusBar1()));
    POINT Origin{0, 0};
    ClientToScreen(Form->Handle(), &Origin);
    EXPECT_EQ(WindowBounds(Form->Panel1()).top, Origin.y);

    // Back to a normal window through the menu, and the file keeps it.
    Command(IDM_VIEW_TOPMOST);
    EXPECT_FALSE(GetWindowLongA(Form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(IsChecked(Form->Handle(), IDM_VIEW_TOPMOST));
    SendMessageA(Form->Handle(), WM_CLOSE, 0, 0);
    const std::string Text = TestSupport::ReadFile(SettingsFileName);
    EXPECT_NE(Text.find("ShowToolbar=0\r\n"), std::string::npos);
    EXPECT_NE(Text.find("StayTopmost=0\r\n"), std::string::npos);
}

TEST_F(App_mainform, SettingsThatSpoilTheStartAreDeleted) {
    WriteSettings({"[MainForm.BinHandler.Bin.EntryName]", "Min=5", "Index=0", "Max=10"});
    try {
        TAppMainForm Broken(SettingsFileName);
        ADD_FAILURE() << "the window was made";
    } catch (const Base_system::Exception& E) {
        EXPECT_EQ(E.Message(), "The program cannot reset the index.");
    }
    EXPECT_FALSE(TestSupport::Exists(SettingsFileName));
    EXPECT_FALSE(Application().OnIdle);
}

// Settings that spoil the start and that another program holds open without
// letting it be deleted: the failed deletion is what the start reports.
TEST_F(App_mainform, SettingsThatSpoilTheStartButCannotBeDeletedReportTheDeletion) {
    WriteSettings({"[MainForm.BinHandler.Bin.EntryName]", "Min=5", "Index=0", "Max=10"});
    const std::string Written = TestSupport::ReadFile(SettingsFileName);
    HANDLE Held = CreateFileA(SettingsFileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(Held, INVALID_HANDLE_VALUE);
    try {
        TAppMainForm Broken(SettingsFileName);
        ADD_FAILURE() << "the window was made";
    } catch (const Base_system::Exception& E) {
        EXPECT_EQ(E.Message(), "The program could not delete the regular file.");
    }
    CloseHandle(Held);
    EXPECT_EQ(TestSupport::ReadFile(SettingsFileName), Written);
    EXPECT_FALSE(Application().OnIdle);
}

// "Settings.ini" a directory: it can be neither read nor written nor deleted.
TEST_F(App_mainform, UnwritableSettingsStopTheFirstCloseOnly) {
    ASSERT_TRUE(CreateDirectoryA(SettingsFileName.c_str(), nullptr));
    OpenShown();
    const HWND Window = Form->Handle();
    TBoxRecorder Boxes;
    SendMessageA(Window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Boxes.Boxes(),
              std::vector<std::string>{"Tovel Bin|The program could not delete the regular file."});
    EXPECT_TRUE(IsWindow(Window));

    SendMessageA(Window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(Window));
    EXPECT_EQ(Boxes.Boxes().size(), 1u);
}

TEST_F(App_mainform, EndOfSessionIsNeverRefusedForTheSettings) {
    ASSERT_TRUE(CreateDirectoryA(SettingsFileName.c_str(), nullptr));
    Open();
    TBoxRecorder Boxes;
    EXPECT_EQ(SendMessageA(Form->Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST_F(App_mainform, EndOfSessionSavesTheSettings) {
    Open();
    Command(IDM_VIEW_STATUS_BAR);
    EXPECT_EQ(SendMessageA(Form->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_NE(TestSupport::ReadFile(SettingsFileName).find("ShowStatusBar=0\r\n"),
              std::string::npos);
}

// The one text of a simple status bar: Windows answers it for SB_SIMPLEID,
// Wine's control for its first pane.
std::string StatusText(HWND StatusBar) {
    char Text[256] = "";
    for (WPARAM Part : {WPARAM(SB_SIMPLEID), WPARAM(0)}) {
        if (LOWORD(SendMessageA(StatusBar, SB_GETTEXTLENGTHA, Part, 0)) > 0) {
            SendMessageA(StatusBar, SB_GETTEXTA, Part, reinterpret_cast<LPARAM>(Text));
            break;
        }
    }
    return Text;
}

TEST_F(App_mainform, StatusLineShowsWhatTheHandlersReport) {
    Open();
    EXPECT_TRUE(SendMessageA(Form->StatusBar1(), SB_ISSIMPLE, 0, 0));
    Form->ViewHandler().DoStatus("Working");
    EXPECT_EQ(StatusText(Form->StatusBar1()), "Working");
    Form->HelpHandler().DoStatus("");
    EXPECT_EQ(StatusText(Form->StatusBar1()), "");
    Form->BinHandler().DoStatus("Putting files...");
    EXPECT_EQ(StatusText(Form->StatusBar1()), "Putting files...");
}

// What a user does: put by a drop, then Ctrl+Z, answered Yes.
TEST_F(App_mainform, CtrlZTakesBackTheLastPutAfterAYes) {
    WriteBinSettings();
    OpenShown();
    TTempDir Source;
    const std::string First = LongPath(Source / "first.txt");
    const std::string Second = LongPath(Source / "second.txt");
    TestSupport::WriteFile(First, "first");
    TestSupport::WriteFile(Second, "second");
    const std::vector<std::string> Before = TestSupport::FilePrint({Source.Path(), BinDir});
    {
        TBoxRecorder Quiet;
        SendMessageA(Form->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({First})), 0);
        SendMessageA(Form->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({Second})), 0);
        ASSERT_TRUE(Quiet.Boxes().empty());
    }
    ASSERT_FALSE(TestSupport::Exists(Second));

    const HWND Window = Form->Handle();
    TBoxRecorder Boxes(IDYES);
    BYTE Keys[256] = {};
    GetKeyboardState(Keys);
    Keys[VK_CONTROL] = 0x80;
    SetKeyboardState(Keys);
    PostMessageA(Window, WM_KEYDOWN, 'Z', 1);
    const DWORD Start = GetTickCount();
    Application().OnIdle = [&Boxes, Start, &Second](bool& Done) {
        Done = false;
        if ((!Boxes.Boxes().empty() && TestSupport::Exists(Second)) ||
            GetTickCount() - Start > 10000)
            PostQuitMessage(0);
    };
    Application().Run();
    Application().OnIdle = nullptr;
    Keys[VK_CONTROL] = 0;
    SetKeyboardState(Keys);

    EXPECT_EQ(Boxes.Boxes(), std::vector<std::string>{"Tovel Bin|Take back \"second.txt\" "
                                                      "to where it came from?"});
    EXPECT_EQ(TestSupport::ReadFile(Second), "second");
    EXPECT_FALSE(TestSupport::Exists(First));
    EXPECT_FALSE(TestSupport::Exists(BinDir + "\\Tovel #0001"));
    EXPECT_EQ(TestSupport::FilePrint({Source.Path(), BinDir}), Before);
    // The index never steps back.
    EXPECT_EQ(Label(), "Next: Tovel #0002");
    EXPECT_EQ(Application().ScreenCursor(), nullptr);
}

// Entries of a bin not made yet is an empty list that says so.
TEST_F(App_mainform, TakeBackOfABinWithoutEntriesSaysWhyAndEntriesShowsItEmpty) {
    WriteBinSettings();
    Open();
    std::mutex Lock;
    std::vector<std::string> Boxes;
    TestSupport::TDialogWatcher Watcher([&](HWND Window) {
        std::lock_guard<std::mutex> Guard(Lock);
        if (TestSupport::WindowText(Window) == "Entries") {
            Boxes.push_back("Entries|" +
                            TestSupport::WindowText(GetDlgItem(Window, IDC_ENTRIES_STATUS)));
            TestSupport::PressButton(Window, IDCANCEL);
            return;
        }
        Boxes.push_back(TestSupport::WindowText(Window) + "|" +
                        TestSupport::MessageBoxText(Window));
        TestSupport::PressButton(Window, IDOK);
    });
    Command(IDM_BIN_ENTRIES);
    Command(IDM_BIN_TAKE_BACK_LAST_PUT);
    CreateDirectoryA(BinDir.c_str(), nullptr);
    Command(IDM_BIN_TAKE_BACK_LAST_PUT);
    Command(IDM_BIN_ENTRIES);
    std::lock_guard<std::mutex> Guard(Lock);
    EXPECT_EQ(Boxes,
              (std::vector<std::string>{"Entries|The bin is empty.",
                                        "Tovel Bin|The program cannot find an entry in the bin.",
                                        "Tovel Bin|The program cannot find an entry in the bin.",
                                        "Entries|The bin is empty."}));
}

TEST_F(App_mainform, SendToItemNamesWhatItWillDo) {
    Open();
    const auto Caption = [this] {
        char Text[128] = "";
        GetMenuStringA(GetMenu(Form->Handle()), IDM_HELP_SEND_TO, Text, sizeof Text, MF_BYCOMMAND);
        return std::string(Text);
    };
    const bool WasThere = Form->HelpHandler().IsInSendTo();
    EXPECT_EQ(Caption(), WasThere ? "Remove from &Send To Menu" : "Add to &Send To Menu");
    TBoxRecorder Boxes;
    Command(IDM_HELP_SEND_TO);
    EXPECT_EQ(Caption(), WasThere ? "Add to &Send To Menu" : "Remove from &Send To Menu");
    Command(IDM_HELP_SEND_TO);
    EXPECT_EQ(Caption(), WasThere ? "Remove from &Send To Menu" : "Add to &Send To Menu");
    EXPECT_EQ(Form->HelpHandler().IsInSendTo(), WasThere);
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST(App_mainform_Default, SettingsFileLivesBesideTheProgram) {
    EXPECT_EQ(App_mainform::DefaultSettingsFileName(),
              TestSupport::ExeDirectory() + "Settings.ini");
}

// The clean-up at start runs once the window is up, on a thread of its own,
// and the status line tells what went into the Recycle Bin.
TEST_F(App_mainform, CleanUpAtStartTellsTheStatusLineWhatWent) {
    const std::string Prefix = "Tovel start " + std::to_string(GetCurrentProcessId()) + " #";
    WriteSettings({"[MainForm.BinHandler.Bin]", "LocationType=0",
                   "FixedLocation=\"" + BinDir + "\"", "", "[MainForm.BinHandler.Bin.EntryName]",
                   "Prefix=\"" + Prefix + "\"", "", "[MainForm.BinHandler.CleanUp]", "ByAge=1",
                   "Days=30", "AtStart=1"});
    TTempDir Source;
    App_bin::TBin Bin;
    Bin.SetFixedLocation(BinDir);
    Bin.EntryName().SetPrefix(Prefix);
    for (int Days : {40, 35, 1}) {
        const std::string Path = Source / ("put " + std::to_string(Days) + ".txt");
        TestSupport::WriteFile(Path, std::string(static_cast<std::size_t>(Days) * 100, 'x'));
        Bin.Put({Path});
    }
    for (const std::string Number : {"0000", "0001"}) {
        Engine_record::TRecord Record;
        ASSERT_TRUE(Engine_record::ReadRecord(BinDir + "\\" + Prefix + Number, Record));
        Record.Puts[0].Time -= (Number == std::string("0000") ? 40 : 35) * Engine_cleanup::Day;
        Engine_record::WriteRecord(BinDir + "\\" + Prefix + Number, Record);
    }
    const TCommandLine NoArguments({});
    Open();
    bool Done = false;
    Form->ApplicationIdle(nullptr, Done);
    EXPECT_TRUE(TestSupport::PumpUntil([this] {
        return StatusText(Form->StatusBar1()) ==
               "Cleaned up 2 entries (7.3 KB) into the Recycle Bin.";
    })) << StatusText(Form->StatusBar1());
    EXPECT_FALSE(TestSupport::Exists(BinDir + "\\" + Prefix + "0000"));
    EXPECT_FALSE(TestSupport::Exists(BinDir + "\\" + Prefix + "0001"));
    EXPECT_TRUE(TestSupport::Exists(BinDir + "\\" + Prefix + "0002"));
    const std::string Trash = TestSupport::TrashDirectory();
    if (!Trash.empty())
        for (const std::string Number : {"0000", "0001"}) {
            TestSupport::RemoveTree(Trash + "\\files\\" + Prefix + Number);
            DeleteFileA((Trash + "\\info\\" + Prefix + Number + ".trashinfo").c_str());
        }
}
