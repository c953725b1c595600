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

// Counts the Cancel commands that this thread's queue hands to one window
// (the dialog manager posts one for every WM_CLOSE of a dialog), so that a
// test sees a close request arrive before it checks that it was refused.
class TCancelCounter {
public:
    explicit TCancelCounter(HWND Window)
        : FHook(SetWindowsHookExA(WH_GETMESSAGE, Count, nullptr, GetCurrentThreadId())) {
        FWindow = Window;
        FCount = 0;
    }
    ~TCancelCounter() { UnhookWindowsHookEx(FHook); }
    TCancelCounter(const TCancelCounter&) = delete;
    TCancelCounter& operator=(const TCancelCounter&) = delete;
    bool Hooked() const { return FHook != nullptr; }
    int Count() const { return FCount; }

private:
    static LRESULT CALLBACK Count(int Code, WPARAM WParam, LPARAM LParam) {
        const auto* Message = reinterpret_cast<const MSG*>(LParam);
        if (Code == HC_ACTION && WParam == PM_REMOVE && Message->hwnd == FWindow &&
            Message->message == WM_COMMAND && LOWORD(Message->wParam) == IDCANCEL)
            ++FCount;
        return CallNextHookEx(nullptr, Code, WParam, LParam);
    }

    static inline HWND FWindow = nullptr;
    static inline int FCount = 0;
    HHOOK FHook;
};

} // namespace

TEST(App_guarddialog_TAppGuardDialog, WithoutAJobReturnsOkAtOnce) {
    TAppGuardDialog Guard;
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
    Guard.OnExecute = [&](Base_system::TObject* Sender) {
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
    std::vector<int> CancelsSeen;
    Guard.OnExecute = [&](Base_system::TObject*) {
        const HWND Handle = Guard.Handle();
        // Esc and Enter as the dialog manager sees them.
        PostMessageA(Handle, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageA(Handle, WM_KEYDOWN, VK_RETURN, 0);
        PumpLikeADialog(Handle);
        Results.push_back(Guard.ModalResult());
        SendMessageA(Handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        Results.push_back(Guard.ModalResult());
        // Alt+F4 and WM_CLOSE each become a posted Cancel, handed over here
        // while the job still runs, as the shell's progress loop would.
        TCancelCounter Cancels(Handle);
        ASSERT_TRUE(Cancels.Hooked());
        SendMessageA(Handle, WM_SYSCOMMAND, SC_CLOSE, 0);
        PumpLikeADialog(Handle);
        CancelsSeen.push_back(Cancels.Count());
        Results.push_back(Guard.ModalResult());
        SendMessageA(Handle, WM_CLOSE, 0, 0);
        PumpLikeADialog(Handle);
        CancelsSeen.push_back(Cancels.Count());
        Results.push_back(Guard.ModalResult());
        Results.push_back(IsWindow(Handle) ? 1 : 0);
    };
    EXPECT_EQ(Guard.Execute(), IDOK);
    EXPECT_EQ(CancelsSeen, (std::vector<int>{1, 2}));
    EXPECT_EQ(Results, (std::vector<int>{0, 0, 0, 0, 1}));
}

TEST(App_guarddialog_TAppGuardDialog, ShutdownIsRefusedWhileTheJobRuns) {
    TAppGuardDialog Guard;
    LRESULT Answer = -1;
    Guard.OnExecute = [&](Base_system::TObject*) {
        Answer = SendMessageA(Guard.Handle(), WM_QUERYENDSESSION, 0, 0);
    };
    EXPECT_EQ(Guard.Execute(), IDOK);
    EXPECT_EQ(Answer, FALSE);
}

TEST(App_guarddialog_TAppGuardDialog, AbortOfTheJobShowsNothing) {
    TestSupport::TBoxRecorder Boxes;
    TAppGuardDialog Guard;
    int Runs = 0;
    Guard.OnExecute = [&](Base_system::TObject*) {
        ++Runs;
        throw Base_system::EAbort();
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
    Guard.OnExecute = [&](Base_system::TObject*) {
        GuardWindow = Guard.Handle();
        throw Base_system::Exception("The job failed.");
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
