#include "app/App_helphandler.h"

#include "TestSupport.h"
#include "gui/Gui_application.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

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
    } catch (const Base_system::EAbort&) {
        return "EAbort";
    } catch (const Base_system::Exception& E) {
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

namespace {

// The target of a shortcut, read here with the shell's own link object.
std::string ShortcutTarget(const std::string& LinkName) {
    IShellLinkA* Link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&Link))))
        return "no link object";
    IPersistFile* File = nullptr;
    std::string Target = "unreadable";
    const std::wstring Wide(LinkName.begin(), LinkName.end());
    if (SUCCEEDED(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File)))) {
        char Path[MAX_PATH] = "";
        if (SUCCEEDED(File->Load(Wide.c_str(), STGM_READ)) &&
            Link->GetPath(Path, sizeof Path, nullptr, SLGP_RAWPATH) == S_OK)
            Target = Path;
        File->Release();
    }
    Link->Release();
    return Target;
}

// The Send To folder as the test found it comes back when the case ends.
class App_helphandler_SendTo : public testing::Test {
protected:
    void SetUp() override {
        LinkName = App_helphandler::SendToLinkName();
        if (TestSupport::Exists(LinkName))
            Saved = TestSupport::ReadFile(LinkName);
        DeleteFileA(LinkName.c_str());
        Handler.OnChange = [this](Base_system::TObject*) { ++Changes; };
    }
    void TearDown() override {
        DeleteFileA(LinkName.c_str());
        if (!Saved.empty())
            TestSupport::WriteFile(LinkName, Saved);
    }

    std::string LinkName;
    std::string Saved;
    THelpHandler Handler;
    int Changes = 0;
};

} // namespace

TEST_F(App_helphandler_SendTo, ShortcutIsCreatedResolvesToTheProgramAndIsRemoved) {
    char Folder[MAX_PATH] = "";
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_SENDTO, nullptr, 0, Folder)));
    EXPECT_EQ(LinkName, std::string(Folder) + "\\Tovel Bin.lnk");
    EXPECT_FALSE(Handler.IsInSendTo());

    TBoxRecorder Boxes;
    Handler.ToggleSendTo();
    EXPECT_TRUE(TestSupport::Exists(LinkName));
    EXPECT_EQ(ShortcutTarget(LinkName), Application().ExeName());
    EXPECT_TRUE(Handler.IsInSendTo());
    EXPECT_EQ(Changes, 1);
    // Adding again keeps the one shortcut, without a question.
    Handler.AddToSendTo();
    EXPECT_EQ(ShortcutTarget(LinkName), Application().ExeName());

    Handler.ToggleSendTo();
    EXPECT_FALSE(TestSupport::Exists(LinkName));
    EXPECT_FALSE(Handler.IsInSendTo());
    EXPECT_EQ(Changes, 3);
    EXPECT_TRUE(Boxes.Boxes().empty());
}

TEST_F(App_helphandler_SendTo, ShortcutToAnotherCopyIsReplacedOnlyAfterAYes) {
    TestSupport::TTempDir Elsewhere;
    const std::string Other = Elsewhere / "TovelBin.exe";
    TestSupport::WriteFile(Other, "another copy");
    {
        TBoxRecorder Quiet;
        Handler.AddToSendTo();
    }
    // Made to point to the other copy, as that copy would have made it.
    {
        IShellLinkA* Link = nullptr;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkA, reinterpret_cast<void**>(&Link))));
        Link->SetPath(Other.c_str());
        IPersistFile* File = nullptr;
        Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File));
        const std::wstring Wide(LinkName.begin(), LinkName.end());
        EXPECT_TRUE(SUCCEEDED(File->Save(Wide.c_str(), TRUE)));
        File->Release();
        Link->Release();
    }
    ASSERT_EQ(ShortcutTarget(LinkName), Other);
    EXPECT_FALSE(Handler.IsInSendTo());
    Changes = 0;

    const std::string Question = "Tovel Bin|The Send To menu already holds a shortcut to [" +
                                 Other + "]. Replace it with this program?";
    {
        TBoxRecorder No(IDNO);
        EXPECT_EQ(FailureOf([this] { Handler.ToggleSendTo(); }), "EAbort");
        EXPECT_EQ(No.Boxes(), std::vector<std::string>{Question});
    }
    EXPECT_EQ(ShortcutTarget(LinkName), Other);
    EXPECT_EQ(Changes, 0);
    TBoxRecorder Yes(IDYES);
    Handler.ToggleSendTo();
    EXPECT_EQ(Yes.Boxes(), std::vector<std::string>{Question});
    EXPECT_EQ(ShortcutTarget(LinkName), Application().ExeName());
    EXPECT_TRUE(Handler.IsInSendTo());
    EXPECT_EQ(Changes, 1);
}
