#include "app/App_guarddialog.h"

#include "gui/Gui_application.h"
#include "tests/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using App_guarddialog::TAppGuardDialog;
using Gui_application::Application;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// A visible top-level window of the program, standing in for the main window.
class TMainWindow {
public:
    TMainWindow()
        : FHandle(CreateWindowExA(0, "STATIC", "Main", WS_POPUP | WS_VISIBLE, 100, 100, 400, 300,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)) {
        Application().SetMainWindow(FHandle);
    }
    ~TMainWindow() {
        Application().SetMainWindow(nullptr);
        DestroyWindow(FHandle);
    }
    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;
    HWND Handle() const { return FHandle; }

private:
    HWND FHandle;
};

HCURSOR Hourglass() {
    return LoadCursorA(nullptr, IDC_WAIT);
}

int ScreenPixelsPerInch() {
    HDC Screen = GetDC(nullptr);
    const int PixelsPerInch = GetDeviceCaps(Screen, LOGPIXELSX);
    ReleaseDC(nullptr, Screen);
    return PixelsPerInch;
}

// Hands the messages waiting for this thread to their windows the way a
// dialog's own loop does, keys included.
void PumpLikeADialog(HWND Dialog) {
    MSG Message;
    while (PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageA(Dialog, &Message))
            continue;
        TranslateMessage(&Message);
        DispatchMessageA(&Message);
    }
}

} // namespace

TEST(App_guarddialog_TAppGuardDialog, WithoutAJobReturnsOkAtOnce) {
    TAppGuardDialog Guard;
    EXPECT_FALSE(Guard.OnExecute);
    const DWORD Start = GetTickCount();
    EXPECT_EQ(Guard.Execute(), IDOK);
    EXPECT_LT(GetTickCount() - Start, 5000u);
    EXPECT_EQ(Guard.Handle(), nullptr);
}

TEST(App_guarddialog_TAppGuardDialog, JobRunsOnceBehindAnInvisibleModalGuard) {
    TMainWindow Main;
    TAppGuardDialog Guard;
    int Runs = 0;
    RECT Rect{};
    bool MainEnabled = true;
    HCURSOR Cursor = nullptr;
    int ResultDuringJob = -1;
    bool Shown = true;
    Guard.OnExecute = [&](Gui_system::TObject* Sender) {
        ++Runs;
        EXPECT_EQ(Sender, &Guard);
        ASSERT_TRUE(IsWindow(Guard.Handle()));
        GetWindowRect(Guard.Handle(), &Rect);
        MainEnabled = IsWindowEnabled(Main.Handle()) != FALSE;
        Cursor = Application().ScreenCursor();
        ResultDuringJob = Guard.ModalResult();
        // The job message comes before the loop would first show the guard.
        Shown = IsWindowVisible(Guard.Handle()) != FALSE;
    };
    EXPECT_EQ(Guard.Execute(), IDOK);
    EXPECT_EQ(Runs, 1);
    EXPECT_FALSE(MainEnabled);
    EXPECT_EQ(Cursor, Hourglass());
    EXPECT_EQ(ResultDuringJob, 0);
    EXPECT_FALSE(Shown);
    // No height, the design width, centred on the main window.
    const int Width = MulDiv(241, ScreenPixelsPerInch(), 120);
    EXPECT_EQ(Rect.bottom - Rect.top, 0);
    EXPECT_EQ(Rect.right - Rect.left, Width);
    EXPECT_EQ(Rect.left, 100 + (400 - Width) / 2);
    EXPECT_EQ(Rect.top, 100 + 300 / 2);
    // Afterwards the program is as before.
    EXPECT_TRUE(IsWindowEnabled(Main.Handle()));
    EXPECT_EQ(Application().ScreenCursor(), nullptr);

    // Each Execute posts its own single job message.
    EXPECT_EQ(Guard.Execute(), IDOK);
    EXPECT_EQ(Runs, 2);
}

TEST(App_guarddialog_TAppGuardDialog, CloseRequestsDuringTheJobAreRefused) {
    TAppGuardDialog Guard;
    std::vector<int> Results;
    Guard.OnExecute = [&](Gui_system::TObject*) {
        const HWND Handle = Guard.Handle();
        // Esc and Enter as the dialog manager sees them.
        PostMessageA(Handle, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(Handle, WM_KEYDOWN, VK_RETURN, 0);
        PumpLikeADialog(Handle);
        Results.push_back(Guard.ModalResult());
        SendMessageA(Handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        Results.push_back(Guard.ModalResult());
        // Alt+F4.
        SendMessageA(Handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        Results.push_back(Guard.ModalResult());
        SendMessageA(Handle, WM_CLOSE, 0, 0);
        Results.push_back(Guard.ModalResult());
        Results.push_back(IsWindow(Handle) ? 1 : 0);
    };
    EXPECT_EQ(Guard.Execute(), IDOK);
    EXPECT_EQ(Results, (std::vector<int>{0, 0, 0, 0, 1}));
}

TEST(App_guarddialog_TAppGuardDialog, ShutdownIsRefusedWhileTheJobRuns) {
    TAppGuardDialog Guard;
    LRESULT Answer = -1;
    Guard.OnExecute = [&](Gui_system::TObject*) {
        Answer = SendMessageA(Guard.Handle(), WM_QUERYENDSESSION, 0, 0);
    };
    EXPECT_EQ(Guard.Execute(), IDOK);
    EXPECT_EQ(Answer, FALSE);
}

TEST(App_guarddialog_TAppGuardDialog, AbortOfTheJobShowsNothing) {
    TestSupport::TBoxRecorder Boxes;
    TAppGuardDialog Guard;
    int Runs = 0;
    Guard.OnExecute = [&](Gui_system::TObject*) {
        ++Runs;
        throw Gui_system::EAbort();
    };
    EXPECT_EQ(Guard.Execute(), IDOK);
    EXPECT_EQ(Runs, 1);
    EXPECT_EQ(Application().ScreenCursor(), nullptr);
    for (const std::string& Box : Boxes.Boxes())
        EXPECT_NE(Box.compare(0, 10, "Tovel Bin|"), 0) << Box;
}

// The top level reports the failure while the guard is still up; then the
// guard closes as after success.
TEST(App_guarddialog_TAppGuardDialog, FailureOfTheJobIsShownWhileTheGuardIsUp) {
    TAppGuardDialog Guard;
    std::atomic<HWND> GuardWindow{nullptr};
    std::mutex Lock;
    std::vector<std::string> Seen;
    TestSupport::TDialogWatcher Watcher([&](HWND Box) {
        const std::string Caption = TestSupport::WindowText(Box);
        if (Caption == "Guard")
            return;
        {
            std::lock_guard<std::mutex> Held(Lock);
            Seen.push_back(Caption + "|" + TestSupport::MessageBoxText(Box) +
                           (IsWindow(GuardWindow) ? "|guard up" : "|guard gone") +
                           (Application().ScreenCursor() ? "|hourglass" : "|cursor restored"));
        }
        TestSupport::PressButton(Box, IDOK);
    });
    Guard.OnExecute = [&](Gui_system::TObject*) {
        GuardWindow = Guard.Handle();
        throw Gui_system::Exception("The job failed.");
    };
    EXPECT_EQ(Guard.Execute(), IDOK);
    std::lock_guard<std::mutex> Held(Lock);
    EXPECT_EQ(Seen, std::vector<std::string>{"Tovel Bin|The job failed.|guard up|cursor restored"});
    EXPECT_FALSE(IsWindow(GuardWindow));
}

TEST(App_guarddialog_TAppGuardDialog, GlobalForgetsTheGuardThatEnds) {
    auto Guard = std::make_unique<TAppGuardDialog>();
    TAppGuardDialog* const Saved = App_guarddialog::AppGuardDialog;
    App_guarddialog::AppGuardDialog = Guard.get();
    Guard.reset();
    EXPECT_EQ(App_guarddialog::AppGuardDialog, nullptr);
    App_guarddialog::AppGuardDialog = Saved;
}
