// The real TovelBin.exe, started as its own process from copies in
// temporary program folders.

#include "TestSupport.h"

#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace TestSupport;

namespace {

// A started program; killed when the test leaves it running.
class TProgram {
public:
    explicit TProgram(const std::string& CommandLine) {
        STARTUPINFOA Startup{};
        Startup.cb = sizeof Startup;
        std::string Line = CommandLine;
        if (!CreateProcessA(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &Startup, &FInfo))
            throw std::runtime_error("cannot start " + CommandLine);
        CloseHandle(FInfo.hThread);
    }
    ~TProgram() {
        if (Running()) {
            TerminateProcess(FInfo.hProcess, 1);
            WaitForSingleObject(FInfo.hProcess, 5000);
        }
        CloseHandle(FInfo.hProcess);
    }
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    DWORD Id() const { return FInfo.dwProcessId; }
    bool Running() const { return WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT; }
    bool WaitForEnd(DWORD Timeout = 15000) const {
        return WaitForSingleObject(FInfo.hProcess, Timeout) == WAIT_OBJECT_0;
    }
    void Kill() {
        TerminateProcess(FInfo.hProcess, 1);
        WaitForEnd();
    }

private:
    PROCESS_INFORMATION FInfo{};
};

struct TFound {
    DWORD Process;
    bool Dialog;
    HWND Window = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND Window, LPARAM Param) {
    auto* Found = reinterpret_cast<TFound*>(Param);
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    if (Process != Found->Process || !IsWindowVisible(Window))
        return TRUE;
    if ((ClassName(Window) == "#32770") != Found->Dialog)
        return TRUE;
    Found->Window = Window;
    return FALSE;
}

// The first visible top-level window of the process: a dialog box or not.
HWND VisibleWindow(const TProgram& Program, bool Dialog) {
    TFound Found{Program.Id(), Dialog};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&Found));
    return Found.Window;
}

HWND WaitForWindow(const TProgram& Program, bool Dialog, DWORD Timeout = 15000) {
    const DWORD Start = GetTickCount();
    while (GetTickCount() - Start < Timeout) {
        if (HWND Window = VisibleWindow(Program, Dialog))
            return Window;
        if (!Program.Running())
            return nullptr;
        Sleep(50);
    }
    return nullptr;
}

BOOL CALLBACK FindLabel(HWND Child, LPARAM Param) {
    if (WindowText(Child).rfind("Next: ", 0) == 0) {
        *reinterpret_cast<HWND*>(Param) = Child;
        return FALSE;
    }
    return TRUE;
}

std::string NextLabel(HWND MainWindow) {
    HWND Label = nullptr;
    EnumChildWindows(MainWindow, FindLabel, reinterpret_cast<LPARAM>(&Label));
    return Label ? WindowText(Label) : std::string();
}

bool WaitFor(const std::function<bool()>& Done, DWORD Timeout = 15000) {
    const DWORD Start = GetTickCount();
    while (!Done()) {
        if (GetTickCount() - Start > Timeout)
            return false;
        Sleep(50);
    }
    return true;
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

std::string Quoted(const std::string& Text) {
    return "\"" + Text + "\"";
}

// A program folder of its own holding a copy of TovelBin.exe.
class TInstalled {
public:
    explicit TInstalled(const std::string& ExeName = "TovelBin.exe") : FExe(FDir / ExeName) {
        if (!CopyFileA((ExeDirectory() + "TovelBin.exe").c_str(), FExe.c_str(), FALSE))
            throw std::runtime_error("cannot copy TovelBin.exe");
    }
    const std::string& Exe() const { return FExe; }
    const std::string& Dir() const { return FDir.Path(); }

private:
    TTempDir FDir;
    std::string FExe;
};

} // namespace

TEST(TovelBin_Program, PutsTheCommandLineIntoOneEntryAndSavesTheSettingsAtClose) {
    TInstalled Program;
    TTempDir Items;
    TTempDir DriveD("D:\\");
    WriteFile(Items / "first file.txt", "first");
    WriteFile(DriveD / "second.txt", "second");

    TProgram Running(Quoted(Program.Exe()) + " " + Quoted(Items / "first file.txt") + " " +
                     Quoted(DriveD / "second.txt"));
    HWND Main = WaitForWindow(Running, false);
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
    EXPECT_EQ(
        Sections(Settings),
        (std::vector<std::string>{
            "System", "MainForm", "MainForm.BinHandler.Bin", "MainForm.BinHandler.Bin.EntryName",
            "MainForm.BinHandler.PutRegularFilesDialog", "MainForm.BinHandler.PutImportPathsDialog",
            "MainForm.ViewHandler", "MainForm.BinHandler.EntriesDialog"}));
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
        HWND Box = WaitForWindow(Spoiled, true);
        ASSERT_NE(Box, nullptr);
        EXPECT_EQ(WindowText(Box), "Tovel Bin");
        EXPECT_EQ(MessageBoxText(Box), "The program cannot reset the index.");
        // No main window came up behind the box.
        EXPECT_EQ(VisibleWindow(Spoiled, false), nullptr);
        EXPECT_FALSE(Exists(Settings));
        PressButton(Box, IDOK);
        EXPECT_TRUE(Spoiled.WaitForEnd());
    }
    TProgram Next(Quoted(Program.Exe()));
    HWND Main = WaitForWindow(Next, false);
    ASSERT_NE(Main, nullptr);
    EXPECT_EQ(NextLabel(Main), "Next: Tovel #0000");
    EXPECT_EQ(WaitForWindow(Next, true, 300), nullptr);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Next.WaitForEnd());
    EXPECT_NE(ReadFile(Settings).find("\r\nMin=0\r\n"), std::string::npos);
}

TEST(TovelBin_Program, RunsOncePerProgramFolder) {
    TInstalled Program;
    TProgram First(Quoted(Program.Exe()));
    ASSERT_NE(WaitForWindow(First, false), nullptr);

    // The instance is known by its folder, upper-cased, hashed.
    const std::string Name =
        "Parvex.TovelBin.Instance" + Vek_hash::HashText(Vek_file::UpperCasePath(Program.Dir()));
    HANDLE Mutex = OpenMutexA(SYNCHRONIZE, FALSE, Name.c_str());
    EXPECT_NE(Mutex, nullptr) << Name;
    if (Mutex)
        CloseHandle(Mutex);

    TTempDir Items;
    WriteFile(Items / "keep.txt", "keep");
    // The same folder under another file name and another letter case.
    CopyFileA(Program.Exe().c_str(), (Program.Dir() + "\\Other Name.exe").c_str(), FALSE);
    std::string UpperDir = Program.Dir();
    CharUpperBuffA(UpperDir.data(), static_cast<DWORD>(UpperDir.size()));
    for (const std::string& Exe : {Program.Exe(), UpperDir + "\\Other Name.exe"}) {
        TProgram Second(Quoted(Exe) + " " + Quoted(Items / "keep.txt"));
        HWND Box = WaitForWindow(Second, true);
        ASSERT_NE(Box, nullptr) << Exe;
        EXPECT_EQ(WindowText(Box), "Tovel Bin");
        EXPECT_EQ(MessageBoxText(Box), "The program is restricted to a single instance.");
        PressButton(Box, IDOK);
        EXPECT_TRUE(Second.WaitForEnd());
        EXPECT_EQ(WaitForWindow(Second, false, 200), nullptr);
    }
    EXPECT_TRUE(Exists(Items / "keep.txt"));
    EXPECT_FALSE(Exists(Program.Dir() + "\\Bin"));

    // A copy in another folder runs beside the first.
    TInstalled Elsewhere;
    TProgram Beside(Quoted(Elsewhere.Exe()));
    HWND BesideWindow = WaitForWindow(Beside, false);
    EXPECT_NE(BesideWindow, nullptr);
    EXPECT_EQ(WaitForWindow(Beside, true, 300), nullptr);
    if (BesideWindow)
        PostMessageA(BesideWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Beside.WaitForEnd());
}

TEST(TovelBin_Program, StartsAgainAfterTheFirstEndedEvenAbnormally) {
    TInstalled Program;
    {
        TProgram First(Quoted(Program.Exe()));
        ASSERT_NE(WaitForWindow(First, false), nullptr);
        First.Kill();
    }
    TProgram Next(Quoted(Program.Exe()));
    HWND Main = WaitForWindow(Next, false);
    ASSERT_NE(Main, nullptr);
    EXPECT_EQ(WaitForWindow(Next, true, 300), nullptr);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Next.WaitForEnd());
}
