#include "app/App_helphandler.h"

#include "TestSupport.h"
#include "gui/Gui_application.h"
#include "vek/Vek_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using App_helphandler::THelpHandler;
using Gui_application::Application;
using TestSupport::TBoxRecorder;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

std::string FailureOf(const std::function<void()>& Command) {
    try {
        Command();
    } catch (const Gui_system::EAbort&) {
        return "EAbort";
    } catch (const Gui_system::Exception& E) {
        return E.Message();
    }
    return "none";
}

// What a box shows: its buttons by id and whether an icon. Wine's boxes hold
// every button and the icon and hide what they do not use.
struct TBoxLook {
    bool Ok = false;
    bool Cancel = false;
    bool Icon = false;
};

bool IsShown(HWND Control) {
    return Control && (GetWindowLongPtrA(Control, GWL_STYLE) & WS_VISIBLE) != 0;
}

TBoxLook LookOf(HWND Box) {
    TBoxLook Look;
    Look.Ok = IsShown(GetDlgItem(Box, IDOK));
    Look.Cancel = IsShown(GetDlgItem(Box, IDCANCEL));
    for (HWND Child = GetWindow(Box, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        if (IsShown(Child) && TestSupport::ClassName(Child) == "Static" &&
            (GetWindowLongPtrA(Child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            SendMessageA(Child, STM_GETICON, 0, 0))
            Look.Icon = true;
    }
    return Look;
}

// The tests run beside no help page; one lying around would open a viewer.
bool NoHelpPage() {
    return !TestSupport::Exists(TestSupport::ExeDirectory() + "Help");
}

const char* const RemoveHelpPage = "remove the Help directory beside the test program";

// The help page's name is worked out once and kept, so it is asked for the
// first time here, before any test, while the current directory is elsewhere.
class THelpNameEnvironment : public testing::Environment {
public:
    void SetUp() override {
        TestSupport::TTempDir Elsewhere;
        Vek_file::SetCurrentDirectoryPath(Elsewhere.Path());
        NameFromElsewhere = App_helphandler::HelpFileName();
        Vek_file::SetCurrentDirectoryPath(TestSupport::ExeDirectory());
    }
    static inline std::string NameFromElsewhere;
};

testing::Environment* const HelpNameEnvironment =
    testing::AddGlobalTestEnvironment(new THelpNameEnvironment);

} // namespace

TEST(App_helphandler_Texts, HelpPageLiesBesideTheProgramWhateverTheCurrentDirectory) {
    EXPECT_EQ(THelpNameEnvironment::NameFromElsewhere,
              TestSupport::ExeDirectory() + "Help\\index.html");
}

TEST(App_helphandler_Texts, AboutTextNamesTitleVersionAndMaker) {
    const std::string& Text = App_helphandler::AboutText();
    const std::string Head = "Tovel Bin Version 1.0.0.0\r\n\r\n";
    ASSERT_GT(Text.size(), Head.size());
    EXPECT_EQ(Text.substr(0, Head.size()), Head);
    const std::string Copyright = Text.substr(Head.size());
    EXPECT_EQ(Copyright.find('\n'), std::string::npos);
    EXPECT_NE(Copyright.find("Parvex"), std::string::npos);
}

TEST(App_helphandler, CancelInTheConfirmationOpensNothingAndShowsNothingMore) {
    ASSERT_TRUE(NoHelpPage()) << RemoveHelpPage;
    THelpHandler Handler;
    TBoxLook Look;
    std::vector<std::string> Boxes;
    TestSupport::TDialogWatcher Watcher([&](HWND Box) {
        Boxes.push_back(TestSupport::WindowText(Box) + "|" + TestSupport::MessageBoxText(Box));
        Look = LookOf(Box);
        TestSupport::PressButton(Box, IDCANCEL);
    });
    // Without a page, an attempt to open it would fail with a message of its own.
    EXPECT_EQ(FailureOf([&] { Handler.ShowContents(true); }), "EAbort");
    EXPECT_EQ(Boxes, std::vector<std::string>{"Contents|The program opens the offline help."});
    EXPECT_TRUE(Look.Ok);
    EXPECT_TRUE(Look.Cancel);
    EXPECT_TRUE(Look.Icon);
}

TEST(App_helphandler, MissingPageIsReportedWithoutTheShellsOwnBox) {
    ASSERT_TRUE(NoHelpPage()) << RemoveHelpPage;
    THelpHandler Handler;
    TBoxRecorder Boxes(IDOK);
    EXPECT_EQ(FailureOf([&] { Handler.ShowContents(true); }),
              "The program could not open the help.");
    EXPECT_EQ(Boxes.Boxes(),
              std::vector<std::string>{"Contents|The program opens the offline help."});
}

TEST(App_helphandler, WithoutConfirmationThePageIsOpenedAtOnce) {
    ASSERT_TRUE(NoHelpPage()) << RemoveHelpPage;
    THelpHandler Handler;
    TBoxRecorder Boxes(IDOK);
    EXPECT_EQ(FailureOf([&] { Handler.ShowContents(false); }),
              "The program could not open the help.");
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST(App_helphandler, AboutBoxShowsTheTextWithOneButtonAndNoIcon) {
    THelpHandler Handler;
    TBoxLook Look;
    std::vector<std::string> Boxes;
    TestSupport::TDialogWatcher Watcher([&](HWND Box) {
        Boxes.push_back(TestSupport::WindowText(Box) + "|" + TestSupport::MessageBoxText(Box));
        Look = LookOf(Box);
        TestSupport::PressButton(Box, IDOK);
    });
    EXPECT_EQ(FailureOf([&] { Handler.ShowAbout(); }), "none");
    EXPECT_EQ(Boxes, std::vector<std::string>{"About|" + App_helphandler::AboutText()});
    EXPECT_TRUE(Look.Ok);
    EXPECT_FALSE(Look.Cancel);
    EXPECT_FALSE(Look.Icon);
}
