// The real TovelBin.exe, started as its own process from copies in
// temporary program folders.

#include "ProgramSupport.h"
#include "TestSupport.h"

#include "res/resource.h"
#include "engine/Engine_record.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <stdexcept>

using namespace ProgramSupport;
using namespace TestSupport;

namespace {

// Message boxes and dialogs: any window of that class counts.
HWND WaitForDialog(const TProgram& Program, DWORD Timeout = 15000) {
    return WaitForWindow(Program, IsDialog, Timeout);
}

std::vector<std::string> Sections(const std::string& IniText) {
    std::vector<std::string> Result;
    std::size_t Start = 0;
    while (Start < IniText.size()) {
        std::size_t End = IniText.find("\r\n", Start);
        if (End == std::string::npos)
            End = IniText.size();
        const std::string Line = IniText.substr(Start, End - Start);
        if (Line.size() > 1 && Line.front() == '[' && Line.back() == ']')
            Result.push_back(Line.substr(1, Line.size() - 2));
        Start = End + 2;
    }
    return Result;
}

} // namespace

TEST(TovelBin_Program, PutsTheCommandLineIntoOneEntryAndSavesTheSettingsAtClose) {
    TInstalled Program;
    TTempDir Items;
    TTempDir DriveD("D:\\");
    WriteFile(Items / "first file.txt", "first");
    WriteFile(DriveD / "second.txt", "second");

    TProgram Running(Quoted(Program.Exe()) + " " + Quoted(Items / "first file.txt") + " " +
                     Quoted(DriveD / "second.txt"));
    HWND Main = WaitForMainWindow(Running);
    ASSERT_NE(Main, nullptr);
    EXPECT_EQ(WindowText(Main), "Tovel Bin");

    const std::string Entry = Program.Dir() + "\\Bin\\Tovel #0000\\";
    const std::string First = Entry + "C" + (Items / "first file.txt").substr(2);
    const std::string Second = Entry + "D" + (DriveD / "second.txt").substr(2);
    ASSERT_TRUE(WaitFor([&] { return Exists(First) && Exists(Second); }));
    EXPECT_EQ(ReadFile(First), "first");
    EXPECT_EQ(ReadFile(Second), "second");
    EXPECT_FALSE(Exists(Items / "first file.txt"));
    EXPECT_FALSE(Exists(DriveD / "second.txt"));
    EXPECT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0001"; })) << NextLabel(Main);

    PostMessageA(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Running.WaitForEnd());
    const std::string Settings = ReadFile(Program.Dir() + "\\Settings.ini");
    EXPECT_EQ(Sections(Settings),
              (std::vector<std::string>{
                  "System", "MainForm", "MainForm.BinHandler.Bin",
                  "MainForm.BinHandler.Bin.EntryName", "MainForm.BinHandler.PutRegularFilesDialog",
                  "MainForm.BinHandler.PutImportPathsDialog", "MainForm.ViewHandler",
                  "MainForm.BinHandler.EntriesDialog", "MainForm.BinHandler.CleanUp"}));
    EXPECT_NE(Settings.find("\r\nIndex=1\r\n"), std::string::npos) << Settings;
}

// The window's creation fails on the settings: the program shows why in its
// error box, deletes the file and ends; the next start begins from defaults.
TEST(TovelBin_Program, SettingsThatSpoilTheStartAreShownDeletedAndEndTheProgram) {
    TInstalled Program;
    const std::string Settings = Program.Dir() + "\\Settings.ini";
    WriteFile(Settings, "[MainForm.BinHandler.Bin.EntryName]\r\nMin=5\r\nIndex=0\r\nMax=10\r\n");
    {
        TProgram Spoiled(Quoted(Program.Exe()));
        HWND Box = WaitForDialog(Spoiled);
        ASSERT_NE(Box, nullptr);
        EXPECT_EQ(WindowText(Box), "Tovel Bin");
        EXPECT_EQ(MessageBoxText(Box), "The program cannot reset the index.");
        // No main window came up behind the box.
        EXPECT_EQ(WaitForMainWindow(Spoiled, 0), nullptr);
        EXPECT_FALSE(Exists(Settings));
        PressButton(Box, IDOK);
        EXPECT_TRUE(Spoiled.WaitForEnd());
    }
    TProgram Next(Quoted(Program.Exe()));
    HWND Main = WaitForMainWindow(Next);
    ASSERT_NE(Main, nullptr);
    EXPECT_EQ(NextLabel(Main), "Next: Tovel #0000");
    EXPECT_EQ(WaitForDialog(Next, 300), nullptr);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Next.WaitForEnd());
    EXPECT_NE(ReadFile(Settings).find("\r\nMin=0\r\n"), std::string::npos);
}

TEST(TovelBin_Program, RunsOncePerProgramFolder) {
    TInstalled Program;
    TProgram First(Quoted(Program.Exe()));
    ASSERT_NE(WaitForMainWindow(First), nullptr);

    // The instance is known by its folder, upper-cased, hashed.
    const std::string Name =
        "Parvex.TovelBin.Instance" + Vek_hash::HashText(Vek_file::UpperCasePath(Program.Dir()));
    HANDLE Mutex = OpenMutexA(SYNCHRONIZE, FALSE, Name.c_str());
    EXPECT_NE(Mutex, nullptr) << Name;
    if (Mutex)
        CloseHandle(Mutex);

    // The same folder under another file name and another letter case; a
    // second start without paths has nothing to hand over.
    CopyFileA(Program.Exe().c_str(), (Program.Dir() + "\\Other Name.exe").c_str(), FALSE);
    std::string UpperDir = Program.Dir();
    CharUpperBuffA(UpperDir.data(), static_cast<DWORD>(UpperDir.size()));
    for (const std::string& Exe : {Program.Exe(), UpperDir + "\\Other Name.exe"}) {
        TProgram Second(Quoted(Exe));
        HWND Box = WaitForDialog(Second);
        ASSERT_NE(Box, nullptr) << Exe;
        EXPECT_EQ(WindowText(Box), "Tovel Bin");
        EXPECT_EQ(MessageBoxText(Box), "The program is restricted to a single instance.");
        PressButton(Box, IDOK);
        EXPECT_TRUE(Second.WaitForEnd());
        EXPECT_EQ(WaitForMainWindow(Second, 200), nullptr);
    }
    EXPECT_FALSE(Exists(Program.Dir() + "\\Bin"));

    // A copy in another folder runs beside the first.
    TInstalled Elsewhere;
    TProgram Beside(Quoted(Elsewhere.Exe()));
    HWND BesideWindow = WaitForMainWindow(Beside);
    EXPECT_NE(BesideWindow, nullptr);
    EXPECT_EQ(WaitForDialog(Beside, 300), nullptr);
    if (BesideWindow)
        PostMessageA(BesideWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Beside.WaitForEnd());
}

namespace {

// Holds every thread of a program still while it lives: a copy that has
// stopped answering.
class TFrozen {
public:
    explicit TFrozen(DWORD Process) {
        HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 Entry{};
        Entry.dwSize = sizeof Entry;
        for (BOOL More = Thread32First(Snapshot, &Entry); More;
             More = Thread32Next(Snapshot, &Entry)) {
            if (Entry.th32OwnerProcessID != Process)
                continue;
            HANDLE Thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, Entry.th32ThreadID);
            if (Thread && SuspendThread(Thread) != static_cast<DWORD>(-1))
                FThreads.push_back(Thread);
            else if (Thread)
                CloseHandle(Thread);
        }
        CloseHandle(Snapshot);
    }
    ~TFrozen() {
        for (HANDLE Thread : FThreads) {
            ResumeThread(Thread);
            CloseHandle(Thread);
        }
    }
    bool Any() const { return !FThreads.empty(); }

private:
    std::vector<HANDLE> FThreads;
};

} // namespace

// Send To, a drop onto the exe or a console while the program is open: the
// paths go to the running copy as one put of their own, once it is free.
TEST(TovelBin_HandOver, ASecondStartsPathsArePutByTheRunningCopyWhenItIsFree) {
    TInstalled Program;
    TProgram First(Quoted(Program.Exe()));
    HWND Main = WaitForMainWindow(First);
    ASSERT_NE(Main, nullptr);
    TTempDir Items;
    const std::string Name = "b\xC3\xA4r.txt";
    WriteFile(Items / "a.txt", "a");
    WriteFile(Items / Name, "b");
    {
        TProgram Second(Quoted(Program.Exe()) + " " + Quoted(Items / "a.txt") + " " +
                        Quoted(Items / Name));
        EXPECT_TRUE(Second.WaitForEnd());
        DWORD Code = 1;
        EXPECT_TRUE(GetExitCodeProcess(Second.Process(), &Code));
        EXPECT_EQ(Code, 0u);
    }
    // One put: both in one entry.
    EXPECT_TRUE(WaitFor([&] {
        return Exists(Program.InEntry("0000", Items / "a.txt")) &&
               Exists(Program.InEntry("0000", Items / Name));
    }));
    EXPECT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0001"; })) << NextLabel(Main);

    // A modal box is up: the paths wait for it, and are then put.
    PostMessageA(Main, WM_COMMAND, IDM_HELP_ABOUT, 0);
    HWND About = WaitForDialog(First);
    ASSERT_NE(About, nullptr);
    WriteFile(Items / "c.txt", "c");
    {
        TProgram Third(Quoted(Program.Exe()) + " " + Quoted(Items / "c.txt"));
        EXPECT_TRUE(Third.WaitForEnd());
    }
    // Posted messages come in their order: once the status bar has been
    // hidden, the copy has seen the hand-over's own message, and let it wait.
    const HWND Bar = FindWindowExA(Main, nullptr, STATUSCLASSNAMEA, nullptr);
    ASSERT_TRUE(Bar && IsWindowVisible(Bar));
    PostMessageA(Main, WM_COMMAND, IDM_VIEW_STATUS_BAR, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(Bar); }));
    EXPECT_EQ(NextLabel(Main), "Next: Tovel #0001");
    EXPECT_TRUE(Exists(Items / "c.txt"));
    EXPECT_TRUE(IsWindowVisible(About));
    PostMessageA(Main, WM_COMMAND, IDM_VIEW_STATUS_BAR, 0);
    PressButton(About, IDOK);
    EXPECT_TRUE(WaitFor([&] { return Exists(Program.InEntry("0001", Items / "c.txt")); }));
    EXPECT_FALSE(Exists(Items / "c.txt"));

    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(First.WaitForEnd());
}

// A running copy that does not answer: the second start says so, as it
// always did, and nothing is put, neither now nor once the copy goes on.
TEST(TovelBin_HandOver, ACopyThatDoesNotAnswerLeavesThePathsWhereTheyAre) {
    TInstalled Program;
    TProgram First(Quoted(Program.Exe()));
    HWND Main = WaitForMainWindow(First);
    ASSERT_NE(Main, nullptr);
    TTempDir Items;
    WriteFile(Items / "keep.txt", "keep");
    {
        TFrozen Frozen(First.Id());
        ASSERT_TRUE(Frozen.Any());
        TProgram Second(Quoted(Program.Exe()) + " " + Quoted(Items / "keep.txt"));
        HWND Box = WaitForDialog(Second);
        ASSERT_NE(Box, nullptr);
        EXPECT_EQ(MessageBoxText(Box), "The program is restricted to a single instance.");
        PressButton(Box, IDOK);
        EXPECT_TRUE(Second.WaitForEnd());
    }
    // Once it answers again it has nothing of that start waiting, and what
    // it is handed now it puts.
    EXPECT_EQ(SendMessageA(Main, WM_NULL, 0, 0), 0);
    WriteFile(Items / "later.txt", "later");
    {
        TProgram Third(Quoted(Program.Exe()) + " " + Quoted(Items / "later.txt"));
        EXPECT_TRUE(Third.WaitForEnd());
    }
    EXPECT_TRUE(WaitFor([&] { return Exists(Program.InEntry("0000", Items / "later.txt")); }));
    EXPECT_TRUE(Exists(Items / "keep.txt"));
    EXPECT_FALSE(Exists(Program.InEntry("0000", Items / "keep.txt")));
    EXPECT_FALSE(Exists(Program.Bin() + "\\Tovel #0001"));

    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(First.WaitForEnd());
}

TEST(TovelBin_Program, StartsAgainAfterTheFirstEndedEvenAbnormally) {
    TInstalled Program;
    {
        TProgram First(Quoted(Program.Exe()));
        ASSERT_NE(WaitForMainWindow(First), nullptr);
        First.Kill();
    }
    TProgram Next(Quoted(Program.Exe()));
    HWND Main = WaitForMainWindow(Next);
    ASSERT_NE(Main, nullptr);
    EXPECT_EQ(WaitForDialog(Next, 300), nullptr);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Next.WaitForEnd());
}

namespace {

// Starts Exe in Start, with no settings beside it, and closes it again:
// where the process worked meanwhile, and the directory the settings keep.
struct TStartedIn {
    std::string ProcessDirectory;
    std::string Remembered;
};

TStartedIn StartAndClose(const std::string& Exe, const std::string& Start) {
    const std::string Settings = Vek_file::ExtractDirectoryPath(Exe) + "Settings.ini";
    DeleteFileA(Settings.c_str());
    TStartedIn Seen;
    TProgram Running(Quoted(Exe), Start);
    HWND Main = WaitForMainWindow(Running);
    if (!Main) {
        ADD_FAILURE() << Exe << " showed no window";
        return Seen;
    }
    Seen.ProcessDirectory = CurrentDirectoryOf(Running);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Running.WaitForEnd());
    const std::string Text = ReadFile(Settings);
    const std::string Key = "\r\nCurrentDirectory=";
    const std::size_t At = Text.find(Key);
    if (At != std::string::npos)
        Seen.Remembered = Text.substr(At + Key.size(), Text.find("\r\n", At + 2) - At - Key.size());
    DeleteFileA(Settings.c_str());
    return Seen;
}

// A copy of the program in the root of drive D:, gone with the object.
class TInstalledAtTheRoot {
public:
    TInstalledAtTheRoot() {
        if (!CopyFileA((ExeDirectory() + "TovelBin.exe").c_str(), Exe().c_str(), FALSE))
            throw std::runtime_error("cannot copy TovelBin.exe");
    }
    ~TInstalledAtTheRoot() {
        DeleteFileA(Exe().c_str());
        DeleteFileA("D:\\Settings.ini");
    }
    TInstalledAtTheRoot(const TInstalledAtTheRoot&) = delete;
    TInstalledAtTheRoot& operator=(const TInstalledAtTheRoot&) = delete;
    std::string Exe() const { return "D:\\TovelBin.exe"; }
};

} // namespace

// A shortcut's "Start in" or a console starts the program in a folder of the
// user's: that is the first remembered directory, while the process itself
// works in the program's folder, which holds no folder of the user's open.
TEST(TovelBin_StartDirectory, IsRememberedWhileTheProcessWorksInItsOwnFolder) {
    TInstalled Program;
    TTempDir DriveD("D:\\");
    const TStartedIn Seen = StartAndClose(Program.Exe(), DriveD.Path());
    EXPECT_EQ(Seen.ProcessDirectory, Program.Dir() + "\\");
    EXPECT_EQ(Seen.Remembered, Quoted(DriveD.Path()));
}

// Put > Directory... opens at the start directory: confirmed at once, it
// puts that one, whole.
TEST(TovelBin_StartDirectory, TheFolderBrowserOpensThere) {
    TInstalled Program;
    TTempDir DriveD("D:\\");
    const std::string Work = DriveD / "Work";
    CreateDirectoryA(Work.c_str(), nullptr);
    WriteFile(Work + "\\notes.txt", "notes");
    const std::vector<std::string> Before = FilePrint({DriveD.Path(), Program.Bin()});
    SettleFolderTimes(Work);
    TProgram Running(Quoted(Program.Exe()), Work);
    HWND Main = WaitForMainWindow(Running);
    ASSERT_NE(Main, nullptr);
    PostMessageA(Main, WM_COMMAND, IDM_BIN_PUT_DIRECTORY, 0);
    HWND Browser = WaitForDialog(Running);
    ASSERT_NE(Browser, nullptr);
    PressButton(Browser, IDOK);
    EXPECT_TRUE(WaitFor(
        [&] { return !Exists(Work) && Exists(Program.InEntry("0000", Work + "\\notes.txt")); }));
    EXPECT_EQ(FilePrint({DriveD.Path(), Program.Bin()}), Before);
    EXPECT_EQ(WaitForDialog(Running, 300), nullptr);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Running.WaitForEnd());
}

// At a drive's root the program's folder is D:\ with its backslash, never
// the drive-relative D:, which names whatever directory the drive is in.
TEST(TovelBin_StartDirectory, AProgramAtADrivesRootWorksInTheRoot) {
    TInstalledAtTheRoot Program;
    TTempDir Elsewhere;
    const TStartedIn FromElsewhere = StartAndClose(Program.Exe(), Elsewhere.Path());
    EXPECT_EQ(FromElsewhere.ProcessDirectory, "D:\\");
    EXPECT_EQ(FromElsewhere.Remembered, Quoted(Elsewhere.Path()));
    const TStartedIn AtTheRoot = StartAndClose(Program.Exe(), "D:\\");
    EXPECT_EQ(AtTheRoot.ProcessDirectory, "D:\\");
    EXPECT_EQ(AtTheRoot.Remembered, Quoted("D:\\"));
}

// The program is killed after a put and before any close: the next start
// must not hand the same entry name out again, or the next put would land
// in the first one's entry and replace its version of the same file.
TEST(TovelBin_Program, AKilledProgramNeverHandsAnEntryNameOutTwice) {
    TInstalled Program;
    TTempDir Items;
    const std::string Report = Items / "report.txt";
    WriteFile(Report, "version 1");
    {
        TProgram First(Quoted(Program.Exe()) + " " + Quoted(Report));
        HWND Main = WaitForMainWindow(First);
        ASSERT_NE(Main, nullptr);
        ASSERT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0001"; }));
        // The put has ended once its record says so.
        ASSERT_TRUE(WaitFor([&] {
            Engine_record::TRecord Record;
            return Engine_record::ReadRecord(Program.Bin() + "\\Tovel #0000", Record) &&
                   Record.Puts[0].State == Engine_record::TPutState::psDone;
        }));
        First.Kill();
    }
    WriteFile(Report, "version 2");
    const std::vector<std::string> Before = FilePrint({Items.Path(), Program.Bin()});

    TProgram Next(Quoted(Program.Exe()) + " " + Quoted(Report));
    HWND Main = WaitForMainWindow(Next);
    ASSERT_NE(Main, nullptr);
    EXPECT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0002"; })) << NextLabel(Main);
    EXPECT_TRUE(WaitFor([&] { return !Exists(Report); }));
    EXPECT_EQ(WaitForDialog(Next, 300), nullptr);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Next.WaitForEnd());
    EXPECT_EQ(FilePrint({Items.Path(), Program.Bin()}), Before);
    EXPECT_EQ(ReadFile(Program.InEntry("0000", Report)), "version 1");
    EXPECT_EQ(ReadFile(Program.InEntry("0001", Report)), "version 2");
}

// The clean-up at start, in the real program: the second start puts a small
// file, which is then the last put, and sends the older, larger entry to
// Wine's Recycle Bin (the desktop's trash in the home directory) whole.
TEST(TovelBin_Program, CleanUpAtStartSendsTheOldestEntryToTheRecycleBinByteForByte) {
    const std::string Trash = TrashDirectory();
    if (Trash.empty())
        GTEST_SKIP() << "no Wine home directory whose trash could be looked into";
    const std::string Prefix = "Tovel clean-up " + std::to_string(GetCurrentProcessId()) + " #";
    TInstalled Program;
    WriteFile(Program.Settings(), "[MainForm.BinHandler.Bin.EntryName]\r\nPrefix=\"" + Prefix +
                                      "\"\r\n\r\n[MainForm.BinHandler.CleanUp]\r\nBySize=1\r\n"
                                      "Megabytes=1\r\nAtStart=1\r\n");
    TTempDir Items;
    std::string Large;
    for (int Index = 0; Large.size() < 1536 * 1024; ++Index)
        Large += "line " + std::to_string(Index) + "\r\n";
    WriteFile(Items / "large.txt", Large);
    WriteFile(Items / "small.txt", "small");
    const std::string Old = Program.Bin() + "\\" + Prefix + "0000";
    const std::string New = Program.Bin() + "\\" + Prefix + "0001";

    {
        TProgram First(Quoted(Program.Exe()) + " " + Quoted(Items / "large.txt"));
        const HWND Main = WaitForMainWindow(First);
        ASSERT_NE(Main, nullptr);
        // The put has ended once its record says so.
        ASSERT_TRUE(WaitFor([&] {
            Engine_record::TRecord Record;
            return Engine_record::ReadRecord(Old, Record) &&
                   Record.Puts[0].State == Engine_record::TPutState::psDone;
        }));
        PostMessageA(Main, WM_CLOSE, 0, 0);
        ASSERT_TRUE(First.WaitForEnd());
    }
    // The only entry was the last put: it stayed.
    const std::vector<std::string> Entry = FilePrint({Old});
    ASSERT_EQ(Entry.size(), 1u);

    TProgram Second(Quoted(Program.Exe()) + " " + Quoted(Items / "small.txt"));
    const HWND Main = WaitForMainWindow(Second);
    ASSERT_NE(Main, nullptr);
    EXPECT_TRUE(WaitFor([&] { return !Exists(Old); }));
    EXPECT_TRUE(Exists(New));
    const std::string InTrash = Trash + "\\files\\" + Prefix + "0000";
    EXPECT_EQ(FilePrint({InTrash}), Entry);
    EXPECT_EQ(WaitForDialog(Second, 300), nullptr);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Second.WaitForEnd());
    RemoveTree(InTrash);
    DeleteFileA((Trash + "\\info\\" + Prefix + "0000.trashinfo").c_str());
}

namespace {

// What a script sees of one run: its exit code and what it wrote, read
// through pipes as a shell's redirection reads it.
struct TScriptRun {
    DWORD ExitCode = 0xFFFFFFFF;
    std::string Output;
    std::string Error;
};

std::string ReadAll(HANDLE Pipe) {
    std::string Text;
    char Buffer[4096];
    DWORD Read = 0;
    while (ReadFile(Pipe, Buffer, sizeof Buffer, &Read, nullptr) && Read > 0)
        Text.append(Buffer, Read);
    return Text;
}

TScriptRun RunScript(const std::string& CommandLine) {
    SECURITY_ATTRIBUTES Inherited{sizeof Inherited, nullptr, TRUE};
    HANDLE OutRead, OutWrite, ErrRead, ErrWrite;
    if (!CreatePipe(&OutRead, &OutWrite, &Inherited, 0) ||
        !CreatePipe(&ErrRead, &ErrWrite, &Inherited, 0))
        throw std::runtime_error("cannot make the pipes");
    SetHandleInformation(OutRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(ErrRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    Startup.hStdOutput = OutWrite;
    Startup.hStdError = ErrWrite;
    PROCESS_INFORMATION Info{};
    std::string Line = CommandLine;
    const BOOL Started = CreateProcessA(nullptr, Line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &Startup, &Info);
    CloseHandle(OutWrite);
    CloseHandle(ErrWrite);
    TScriptRun Run;
    if (Started) {
        Run.Output = ReadAll(OutRead);
        Run.Error = ReadAll(ErrRead);
        WaitForSingleObject(Info.hProcess, 15000);
        GetExitCodeProcess(Info.hProcess, &Run.ExitCode);
        CloseHandle(Info.hThread);
        CloseHandle(Info.hProcess);
    }
    CloseHandle(OutRead);
    CloseHandle(ErrRead);
    return Run;
}

std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> Result;
    for (std::size_t Start = 0; Start < Text.size();) {
        std::size_t End = Text.find("\r\n", Start);
        if (End == std::string::npos)
            End = Text.size();
        Result.push_back(Text.substr(Start, End - Start));
        Start = End + 2;
    }
    return Result;
}

// The columns of a line, its time ("2026-12-09T13:37:05+01:00") left out.
std::vector<std::string> Columns(const std::string& Line, std::size_t TimeColumn) {
    std::vector<std::string> Result;
    for (std::size_t Start = 0;;) {
        const std::size_t End = Line.find('\t', Start);
        Result.push_back(Line.substr(Start, End - Start));
        if (End == std::string::npos)
            break;
        Start = End + 1;
    }
    if (Result.size() > TimeColumn) {
        const std::string& Time = Result[TimeColumn];
        EXPECT_TRUE(Time.size() == 25 && Time[10] == 'T') << Time;
        Result[TimeColumn] = "TIME";
    }
    return Result;
}

} // namespace

// The switches of a script: no window, the output through a pipe, UTF-8,
// and the exit code that says how it went.
TEST(TovelBin_Script, UsageAndRefusedSwitchesSayWhatTheyAreAndMoveNothing) {
    TInstalled Program;
    TScriptRun Usage = RunScript(Quoted(Program.Exe()) + " /?");
    EXPECT_EQ(Usage.ExitCode, 0u);
    EXPECT_EQ(Usage.Output.find("Usage:\r\n  TovelBin.exe [PATH...]"), 0u) << Usage.Output;
    EXPECT_NE(Usage.Output.find("/list [TEXT]"), std::string::npos);
    EXPECT_EQ(Usage.Error, "");

    TTempDir Items;
    WriteFile(Items / "keep.txt", "keep");
    for (const std::string& Line : std::vector<std::string>{
             " /takeover " + Quoted(Items / "keep.txt"), " /list a b", " /find"}) {
        const TScriptRun Refused = RunScript(Quoted(Program.Exe()) + Line);
        EXPECT_EQ(Refused.ExitCode, 2u) << Line;
        EXPECT_EQ(Refused.Output, "") << Line;
        EXPECT_NE(Refused.Error.find("TovelBin.exe /? shows the usage.\r\n"), std::string::npos)
            << Refused.Error;
    }
    EXPECT_EQ(RunScript(Quoted(Program.Exe()) + " /Takeover x").Error,
              "The program cannot take the switch \"/Takeover\".\r\n"
              "TovelBin.exe /? shows the usage.\r\n");
    EXPECT_TRUE(Exists(Items / "keep.txt"));
    EXPECT_FALSE(Exists(Program.Bin()));
    EXPECT_FALSE(Exists(Program.Settings()));
}

TEST(TovelBin_Script, ListAndFindPrintTheBinWhileTheProgramRuns) {
    TInstalled Program;
    TTempDir Items;
    const std::string Name = "b\xC3\xA4r.txt";
    WriteFile(Items / "report.txt", "12345");
    WriteFile(Items / Name, "xy");
    TProgram Running(Quoted(Program.Exe()) + " " + Quoted(Items / "report.txt"));
    HWND Main = WaitForMainWindow(Running);
    ASSERT_NE(Main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0001"; }));
    {
        TProgram Second(Quoted(Program.Exe()) + " " + Quoted(Items / Name));
        EXPECT_TRUE(Second.WaitForEnd());
    }
    ASSERT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0002"; }));
    // A folder of the bin that no put made.
    CreateDirectoryA((Program.Bin() + "\\Stray").c_str(), nullptr);
    CreateDirectoryA((Program.Bin() + "\\Stray\\C").c_str(), nullptr);
    WriteFile(Program.Bin() + "\\Stray\\C\\left.txt", "abc");

    const TScriptRun Listed = RunScript(Quoted(Program.Exe()) + " /list");
    EXPECT_EQ(Listed.ExitCode, 0u);
    EXPECT_EQ(Listed.Error, "");
    std::vector<std::vector<std::string>> Rows;
    for (const std::string& Line : Lines(Listed.Output))
        Rows.push_back(Columns(Line, Rows.empty() ? std::string::npos : 1));
    // The test speaks the system's code page; the output is UTF-8.
    const std::string Utf8Path = Vek_codepage::ToUtf8(Items / Name);
    ASSERT_EQ(Rows.size(), 4u) << Listed.Output;
    // Oldest first; the folder made within the second of the puts may sort
    // among them, as the file system keeps its time to the second.
    std::sort(Rows.begin() + 1, Rows.end());
    EXPECT_EQ(Rows[0], (std::vector<std::string>{"entry", "put", "state", "items", "files", "bytes",
                                                 "first path"}));
    EXPECT_EQ(Rows[1], (std::vector<std::string>{"Stray", "TIME", "no record", "1", "1", "3",
                                                 "C:\\left.txt"}));
    EXPECT_EQ(Rows[2], (std::vector<std::string>{"Tovel #0000", "TIME", "done", "1", "1", "5",
                                                 Items / "report.txt"}));
    EXPECT_EQ(Rows[3],
              (std::vector<std::string>{"Tovel #0001", "TIME", "done", "1", "1", "2", Utf8Path}));

    // Only the entries that hold a match, as the Entries window finds them.
    const TScriptRun Matching = RunScript(Quoted(Program.Exe()) + " /list " + Quoted("*.TXT"));
    EXPECT_EQ(Lines(Matching.Output).size(), 4u) << Matching.Output;
    const TScriptRun One = RunScript(Quoted(Program.Exe()) + " /LIST REPORT");
    ASSERT_EQ(Lines(One.Output).size(), 2u) << One.Output;
    EXPECT_EQ(Lines(One.Output)[1].substr(0, 12), "Tovel #0000\t");

    const TScriptRun Found =
        RunScript(Quoted(Program.Exe()) + " /find " + Quoted(Name.substr(1, 2)));
    EXPECT_EQ(Found.ExitCode, 0u);
    std::vector<std::vector<std::string>> FoundRows;
    for (const std::string& Line : Lines(Found.Output))
        FoundRows.push_back(Columns(Line, FoundRows.empty() ? std::string::npos : 3));
    EXPECT_EQ(FoundRows,
              (std::vector<std::vector<std::string>>{{"entry", "path", "size", "put"},
                                                     {"Tovel #0001", Utf8Path, "2", "TIME"}}));

    // A listing writes no record: the folder still has none.
    EXPECT_FALSE(Exists(Program.Bin() + "\\Stray\\TovelBin.record"));
    // The switches showed no window and left the running copy alone.
    EXPECT_EQ(TopLevelWindows(Running).size(), 1u);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Running.WaitForEnd());
}

// The Clean Up rule from a script: what it would send to the Recycle Bin,
// then that, under the lock of the start's clean-up; the last put stays.
// A scripted take back answers every conflict as its command line says, and
// tells each item's outcome; /dry-run tells the same and moves nothing.
TEST(TovelBin_Script, TakeBackAnswersConflictsAsToldAndReportsEachItem) {
    TInstalled Program;
    TTempDir Items;
    const std::string A = Items / "a.txt";
    const std::string B = Items / "b.txt";
    WriteFile(A, "old a");
    WriteFile(B, "old b");
    {
        TProgram Running(Quoted(Program.Exe()) + " " + Quoted(A) + " " + Quoted(B));
        HWND Main = WaitForMainWindow(Running);
        ASSERT_NE(Main, nullptr);
        ASSERT_TRUE(WaitFor([&] { return !Exists(A) && !Exists(B); }));
        PostMessageA(Main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(Running.WaitForEnd());
    }
    WriteFile(A, "new a");
    const std::string Exe = Quoted(Program.Exe());
    const std::string Renamed = "Came back as \"" + Items / "a (2).txt" + "\": " + A + "\r\n";
    const TScriptRun Dry = RunScript(Exe + " /takeback last /dry-run");
    EXPECT_EQ(Dry.ExitCode, 0u) << Dry.Error;
    EXPECT_EQ(Dry.Output,
              Renamed + "Came back: " + B + "\r\n" + "2 items came back (1 under a new name).\r\n");
    EXPECT_TRUE(Exists(Program.InEntry("0000", B)));

    const TScriptRun Skipped = RunScript(Exe + " /takeback last /conflict skip");
    EXPECT_EQ(Skipped.ExitCode, 1u) << Skipped.Error;
    EXPECT_EQ(Skipped.Output,
              "Skipped: " + A + "\r\nCame back: " + B + "\r\n1 item came back; 1 skipped.\r\n");
    EXPECT_EQ(ReadFile(B), "old b");

    const TScriptRun Kept = RunScript(Exe + " /takeback \"Tovel #0000\" " + Quoted(A));
    EXPECT_EQ(Kept.ExitCode, 0u) << Kept.Error;
    EXPECT_EQ(Kept.Output, Renamed + "1 item came back (1 under a new name).\r\n");
    EXPECT_EQ(ReadFile(A), "new a");
    EXPECT_EQ(ReadFile(Items / "a (2).txt"), "old a");

    const TScriptRun Missing = RunScript(Exe + " /takeback nope");
    EXPECT_EQ(Missing.ExitCode, 1u);
    EXPECT_EQ(Missing.Error, "The program cannot find the entry \"nope\" in the bin.\r\n");
}

TEST(TovelBin_Script, CleanUpSendsWhatTheRuleChoosesToTheRecycleBin) {
    TInstalled Program;
    TTempDir Items;
    WriteFile(Items / "big.bin", std::string(2 * 1024 * 1024, 'b'));
    WriteFile(Items / "small.txt", "s");
    TProgram Running(Quoted(Program.Exe()) + " " + Quoted(Items / "big.bin"));
    HWND Main = WaitForMainWindow(Running);
    ASSERT_NE(Main, nullptr);
    ASSERT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0001"; }));
    {
        TProgram Second(Quoted(Program.Exe()) + " " + Quoted(Items / "small.txt"));
        EXPECT_TRUE(Second.WaitForEnd());
    }
    ASSERT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0002"; }));

    const TScriptRun NoRule = RunScript(Quoted(Program.Exe()) + " /cleanup");
    EXPECT_EQ(NoRule.ExitCode, 2u);
    EXPECT_EQ(NoRule.Error.substr(0, 46), "The program cannot clean up without a rule: /o");
    EXPECT_EQ(RunScript(Quoted(Program.Exe()) + " /cleanup /older-than 0").Error,
              "The program cannot take \"0\" as DAYS: 1 to 3650.\r\n"
              "TovelBin.exe /? shows the usage.\r\n");

    const std::string Listed = "entry\tput\tbytes\r\nTovel #0000\tTIME\t2097152\r\n";
    const auto WithoutTime = [](std::string Text) {
        const std::size_t At = Text.find("Tovel #0000\t");
        if (At != std::string::npos && Text.size() > At + 12 + 25)
            Text.replace(At + 12, 25, "TIME");
        return Text;
    };
    const TScriptRun Dry = RunScript(Quoted(Program.Exe()) + " /cleanup /larger-than 1 /dry-run");
    EXPECT_EQ(Dry.ExitCode, 0u);
    EXPECT_EQ(WithoutTime(Dry.Output), Listed);
    EXPECT_TRUE(Exists(Program.Bin() + "\\Tovel #0000"));

    const TScriptRun Done = RunScript(Quoted(Program.Exe()) + " /cleanup /larger-than 1");
    EXPECT_EQ(Done.ExitCode, 0u) << Done.Error;
    EXPECT_EQ(WithoutTime(Done.Output),
              Listed + "Cleaned up 1 entry (2.0 MB) into the Recycle Bin.\r\n");
    EXPECT_FALSE(Exists(Program.Bin() + "\\Tovel #0000"));
    EXPECT_TRUE(Exists(Program.Bin() + "\\Tovel #0001"));
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Running.WaitForEnd());
}
