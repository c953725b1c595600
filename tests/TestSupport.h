// Shared helpers of the tests that run under Wine: temporary directories,
// files, and a watcher that reads and answers the dialogs and message boxes
// a test opens, so that no test ever blocks on a window nobody closes.
#pragma once

#include "app/App_binhandler.h"
#include "engine/Engine_takeback.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace TestSupport {

// A take back's host for tests: the program's own move, "Too long" box and
// put into Bin (none without one), and Answer for every conflict, each
// question kept; without Answer the real question is shown.
class TTestTakeBackHost : public App_binhandler::TWindowsTakeBackHost {
public:
    using TAnswer =
        std::function<Engine_takeback::TConflictAnswer(const Engine_takeback::TConflictQuestion&)>;
    explicit TTestTakeBackHost(App_bin::TBin* Bin = nullptr, TAnswer Answer = nullptr)
        : TWindowsTakeBackHost(Bin), FAnswer(std::move(Answer)) {}

    Engine_takeback::TConflictAnswer
    ChooseConflict(const Engine_takeback::TConflictQuestion& Question) override {
        Asked.push_back(Question);
        return FAnswer ? FAnswer(Question) : TWindowsTakeBackHost::ChooseConflict(Question);
    }

    std::vector<Engine_takeback::TConflictQuestion> Asked;

private:
    TAnswer FAnswer;
};

// Brings the application up as the program's entry does, with its title,
// before the first test of a program that opens windows.
class TApplicationEnvironment : public testing::Environment {
public:
    void SetUp() override;
};

// The directory of the running test program, with a trailing backslash.
std::string ExeDirectory();

// A fresh directory below the temporary directory (or below Parent),
// removed with everything in it when the object ends.
class TTempDir {
public:
    explicit TTempDir(const std::string& Parent = std::string());
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    // The directory without a trailing backslash.
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "\\" + Name; }

private:
    std::string FPath;
};

// The lock of an entry, held on a thread of its own as another command
// would hold it, until this ends.
class TLockedElsewhere {
public:
    explicit TLockedElsewhere(const std::string& EntryPath);
    ~TLockedElsewhere();

private:
    std::promise<void> FRelease;
    std::thread FHolder;
};

void RemoveTree(const std::string& Path);
void WriteFile(const std::string& Path, const std::string& Bytes);
std::string ReadFile(const std::string& Path);
bool Exists(const std::string& Path);
// Relative paths of every file and directory below Root, sorted; directories end in "\".
std::vector<std::string> ListTree(const std::string& Root);

// What "nothing lost" compares: every file below the roots as its name, its
// size and the CRC-32 of its content ("name|size|crc"), sorted, duplicates
// kept. A file that moved from a source to an entry (or back) keeps its line;
// a file lost, truncated or changed does not. Roots that do not exist add
// nothing. The bin's put records and its catalogue are left out: they are the bin's own,
// made and changed by every put and take back, and no user's file. Files
// that cannot be read (held open without sharing) are read after the test
// releases them, so take the second print only then.
std::vector<std::string> FilePrint(const std::vector<std::string>& Roots);

// The path with every component in its long form; the path itself when it
// does not exist.
std::string LongPath(const std::string& Path);
// Where a put puts Source: below the entry, its drive's colon dropped.
std::string InEntry(const std::string& Entry, const std::string& Source);

std::string WindowText(HWND Window);
std::string ClassName(HWND Window);
// The text of a message box: its longest static text.
std::string MessageBoxText(HWND Box);
// The text of one cell of a list view of this process.
std::string ListViewCell(HWND List, int Row, int Column);
// Where Wine's shell keeps the Recycle Bin: the user's XDG trash; the empty
// text when this Wine names no home directory.
std::string TrashDirectory();
// Waits until the shell's folder browser, of this program or another, has
// made its own first selection, so that a button pressed now acts on that;
// false when it does not come up.
bool WaitForBrowser(HWND Browser);
// Selects a directory in the shell's folder browser, once the browser has
// made its own first selection (which would otherwise replace this one), and
// fails the running test unless the browser then shows that directory.
void SelectFolder(HWND Browser, const std::string& Path);
// Lists every folder of Path once, from its drive down. Wine's item
// identifiers carry a folder's last access time, which the first listing
// after a change inside the folder moves on: a path the folder browser is
// given before that listing no longer matches the items it lists. Call it
// before handing the browser a folder that the test has just made.
void SettleFolderTimes(const std::string& Path);
// Presses a dialog button by its command id, without waiting for the dialog.
void PressButton(HWND Dialog, int Id);

// Watches, on a thread of its own, for visible top-level windows of this
// process that are dialogs (class #32770) and hands each new one once to
// Handle. Stops when the object ends.
class TDialogWatcher {
public:
    explicit TDialogWatcher(std::function<void(HWND Dialog)> Handle);
    ~TDialogWatcher();
    TDialogWatcher(const TDialogWatcher&) = delete;
    TDialogWatcher& operator=(const TDialogWatcher&) = delete;

private:
    void Watch();
    std::function<void(HWND)> FHandle;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// Records every dialog box as "caption|text" and answers it with Answer.
class TBoxRecorder {
public:
    explicit TBoxRecorder(int Answer = IDOK);
    std::vector<std::string> Boxes() const;

private:
    mutable std::mutex FLock;
    std::vector<std::string> FBoxes;
    TDialogWatcher FWatcher;
};

// The boxes of the program itself (captioned with its title) out of those
// recorded, as their texts; the shell's own windows are left out.
std::vector<std::string> OurBoxes(const std::vector<std::string>& Boxes);

// Two visible top-level windows of the program while it lives: the main
// window, owner of its dialogs, and another one that a modal dialog must
// disable as well.
class TProgramWindows {
public:
    TProgramWindows();
    ~TProgramWindows();
    TProgramWindows(const TProgramWindows&) = delete;
    TProgramWindows& operator=(const TProgramWindows&) = delete;
    HWND Main() const { return FMain; }
    HWND Other() const { return FOther; }
    bool AllEnabled() const { return IsWindowEnabled(FMain) && IsWindowEnabled(FOther); }

private:
    HWND FMain;
    HWND FOther;
};

// Holds Key down, as the keyboard state of the thread of Dialog sees it,
// while it lives (Ctrl for Ctrl+A, Shift for Shift+F10).
class THeldKey {
public:
    THeldKey(HWND Dialog, int Key);
    ~THeldKey();
    THeldKey(const THeldKey&) = delete;
    THeldKey& operator=(const THeldKey&) = delete;

private:
    void Set(BYTE State);
    DWORD FThread;
    int FKey;
};

// The context menu on the thread of Dialog once it shows, as its items
// ("-" before a grey one, "|" between them, "no menu" when none comes up);
// then the item at Choose (0 the first) is chosen, or the menu left with
// Escape when Choose is below 0.
std::string TakeContextMenu(HWND Dialog, int Choose);

// Runs the thread's message queue until Done holds or Timeout ms pass.
bool PumpUntil(const std::function<bool()>& Done, DWORD Timeout = 10000);

} // namespace TestSupport
