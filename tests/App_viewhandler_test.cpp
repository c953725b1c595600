#include "app/App_viewhandler.h"

#include "TestSupport.h"
#include "gui/Gui_inifile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

using App_viewhandler::TViewHandler;

namespace {

// A hidden top-level window with three child bars, as the main window hands
// them to the handler before it shows itself.
class App_viewhandler : public testing::Test {
protected:
    void SetUp() override {
        Form = CreateWindowExA(0, "STATIC", "Form", WS_OVERLAPPEDWINDOW, 10, 10, 200, 120, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(Form);
        for (HWND* Bar : {&ToolBar, &CenterPanel, &StatusBar})
            *Bar = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, Form,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
        Handler.Form = Form;
        Handler.ToolBar = ToolBar;
        Handler.CenterPanel = CenterPanel;
        Handler.StatusBar = StatusBar;
        Handler.OnChange = [this](Base_system::TObject* Sender) {
            EXPECT_EQ(Sender, &Handler);
            ++Changes;
        };
    }

    void TearDown() override {
        if (IsWindow(Form))
            DestroyWindow(Form);
    }

    static bool HasVisibleStyle(HWND Window) {
        return (GetWindowLongPtrA(Window, GWL_STYLE) & WS_VISIBLE) != 0;
    }

    HWND Form = nullptr;
    HWND ToolBar = nullptr;
    HWND CenterPanel = nullptr;
    HWND StatusBar = nullptr;
    TViewHandler Handler;
    int Changes = 0;
    TestSupport::TTempDir Dir;
};

std::string ViewSection(const std::string& Lines) {
    return "[MainForm.ViewHandler]\r\n" + Lines;
}

} // namespace

TEST_F(App_viewhandler, BarsReadTheirOwnFlagWhileTheWindowIsHidden) {
    ASSERT_FALSE(IsWindowVisible(Form));
    EXPECT_TRUE(Handler.GetShowToolbar());
    EXPECT_TRUE(Handler.GetShowCenterPanel());
    EXPECT_TRUE(Handler.GetShowStatusBar());
    EXPECT_FALSE(Handler.GetStayTopmost());
    ShowWindow(CenterPanel, SW_HIDE);
    EXPECT_FALSE(Handler.GetShowCenterPanel());
    EXPECT_TRUE(Handler.GetShowToolbar());
}

TEST_F(App_viewhandler, EachEffectiveToggleFiresOneChange) {
    const struct {
        HWND Bar;
        void (TViewHandler::*Set)(bool);
        bool (TViewHandler::*Get)() const;
    } Cases[] = {
        {ToolBar, &TViewHandler::SetShowToolbar, &TViewHandler::GetShowToolbar},
        {CenterPanel, &TViewHandler::SetShowCenterPanel, &TViewHandler::GetShowCenterPanel},
        {StatusBar, &TViewHandler::SetShowStatusBar, &TViewHandler::GetShowStatusBar}};
    for (const auto& Case : Cases) {
        Changes = 0;
        (Handler.*Case.Set)(false);
        EXPECT_EQ(Changes, 1);
        EXPECT_FALSE(HasVisibleStyle(Case.Bar));
        EXPECT_FALSE((Handler.*Case.Get)());
        (Handler.*Case.Set)(false);
        EXPECT_EQ(Changes, 1);
        (Handler.*Case.Set)(true);
        EXPECT_EQ(Changes, 2);
        EXPECT_TRUE(HasVisibleStyle(Case.Bar));
        (Handler.*Case.Set)(true);
        EXPECT_EQ(Changes, 2);
    }
    // Only the bar asked for changes.
    Handler.SetShowStatusBar(false);
    EXPECT_TRUE(HasVisibleStyle(ToolBar));
    EXPECT_TRUE(HasVisibleStyle(CenterPanel));
}

TEST_F(App_viewhandler, TopmostFollowsTheWindowsExtendedStyle) {
    Handler.SetStayTopmost(true);
    EXPECT_EQ(Changes, 1);
    EXPECT_TRUE(GetWindowLongA(Form, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(Handler.GetStayTopmost());
    Handler.SetStayTopmost(true);
    EXPECT_EQ(Changes, 1);
    Handler.SetStayTopmost(false);
    EXPECT_EQ(Changes, 2);
    EXPECT_FALSE(GetWindowLongA(Form, GWL_EXSTYLE) & WS_EX_TOPMOST);

    // Made topmost by someone else, the handler sees it.
    SetWindowPos(Form, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(Handler.GetStayTopmost());
}

TEST_F(App_viewhandler, TopmostOfAWindowThatIsGoneCannotBeDetermined) {
    DestroyWindow(Form);
    try {
        Handler.GetStayTopmost();
        ADD_FAILURE() << "no exception";
    } catch (const Base_system::Exception& E) {
        EXPECT_EQ(E.Message(), "The program could not determine the window stays topmost.");
    }
    try {
        Handler.SetStayTopmost(true);
        ADD_FAILURE() << "no exception";
    } catch (const Base_system::Exception& E) {
        EXPECT_EQ(E.Message(), "The program could not determine the window stays topmost.");
    }
    EXPECT_EQ(Changes, 0);
}

// The desktop has an extended style to read, but cannot be moved in the
// z-order.
TEST_F(App_viewhandler, TopmostThatCannotBeSetIsReported) {
    Handler.Form = GetDesktopWindow();
    ASSERT_FALSE(Handler.GetStayTopmost());
    try {
        Handler.SetStayTopmost(true);
        ADD_FAILURE() << "no exception";
    } catch (const Base_system::Exception& E) {
        EXPECT_EQ(E.Message(), "The program could not make the window stay topmost.");
    }
    EXPECT_EQ(Changes, 0);
}

TEST_F(App_viewhandler, SettingsLikeTheDefaultsChangeNothing) {
    Gui_inifile::TMemIniFile Ini(Dir / "Settings.ini");
    Ini.SetText(ViewSection("ShowToolbar=1\r\nShowCenterPanel=1\r\nShowStatusBar=1\r\n"
                            "StayTopmost=0\r\n"));
    Handler.LoadSettings(Ini);
    EXPECT_EQ(Changes, 0);
    Ini.Clear();
    Handler.LoadSettings(Ini);
    EXPECT_EQ(Changes, 0);
}

TEST_F(App_viewhandler, SettingsApplyEachValueThatDiffers) {
    Gui_inifile::TMemIniFile Ini(Dir / "Settings.ini");
    Ini.SetText(ViewSection("ShowToolbar=0\r\nShowCenterPanel=junk\r\nShowStatusBar=2\r\n"
                            "StayTopmost=1\r\n"));
    Handler.LoadSettings(Ini);
    EXPECT_EQ(Changes, 2);
    EXPECT_FALSE(HasVisibleStyle(ToolBar));
    EXPECT_TRUE(HasVisibleStyle(CenterPanel));
    EXPECT_TRUE(HasVisibleStyle(StatusBar));
    EXPECT_TRUE(GetWindowLongA(Form, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(App_viewhandler, SettingsAreWrittenAsFlagsInOrder) {
    Handler.SetShowCenterPanel(false);
    Handler.SetStayTopmost(true);
    Gui_inifile::TMemIniFile Ini(Dir / "Settings.ini");
    Handler.SaveSettings(Ini);
    EXPECT_EQ(Ini.GetText(), ViewSection("ShowToolbar=1\r\nShowCenterPanel=0\r\nShowStatusBar=1\r\n"
                                         "StayTopmost=1\r\n\r\n"));

    // Saved and loaded again on the window as it was, the state comes back.
    Handler.SetShowCenterPanel(true);
    Handler.SetStayTopmost(false);
    Changes = 0;
    Handler.LoadSettings(Ini);
    EXPECT_EQ(Changes, 2);
    EXPECT_FALSE(Handler.GetShowCenterPanel());
    EXPECT_TRUE(Handler.GetStayTopmost());
}
