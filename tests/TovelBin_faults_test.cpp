// The real TovelBin.exe when the world misbehaves: a planted DLL, a file held
// open by another program, a full drive, a read-only location, a settings
// file that cannot be written, many starts at once and a kill in the middle
// of a put. Every case that moves files checks that nothing is lost with one
// print of the files before and after, over the sources and the bin together.

#include "ProgramSupport.h"
#include "TestSupport.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>

using namespace ProgramSupport;
using namespace TestSupport;

namespace {

// The cases here move many files, fill drives and start the program eight
// times at once: every wait allows twice the time of the other program tests.
const DWORD Patience = 30000;

// Boxes and dialogs that a user sees: the guard that holds the program modal
// during a move is a dialog too, but it has no height.
std::vector<HWND> SeenDialogs(const TProgram& Program) {
    std::vector<HWND> Seen;
    for (HWND Window : TopLevelWindows(Program)) {
        RECT Bounds;
        if (IsDialog(Window) && GetWindowRect(Window, &Bounds) && Bounds.bottom > Bounds.top)
            Seen.push_back(Window);
    }
    return Seen;
}

// Any dialog of the program, the guard included.
bool AnyDialog(const TProgram& Program) {
    const std::vector<HWND> Windows = TopLevelWindows(Program);
    return std::any_of(Windows.begin(), Windows.end(), IsDialog);
}

HWND WaitForDialog(const TProgram& Program) {
    HWND Dialog = nullptr;
    WaitFor(
        [&] {
            const std::vector<HWND> Seen = SeenDialogs(Program);
            Dialog = Seen.empty() ? nullptr : Seen.front();
            return Dialog != nullptr || !Program.Running();
        },
        Patience);
    return Dialog;
}

// "caption|text" of a box, as the user reads it.
std::string BoxText(HWND Box) {
    return WindowText(Box) + "|" + MessageBoxText(Box);
}

// Waits until the put that made Entry has ended, answering every box the
// user would see with OK and returning what they read. The put has ended
// when its entry exists, the main window is enabled and no dialog, not even
// the invisible guard, is up. A message sent to the window returns only once
// the program runs its message loop again: the state then seen is not the
// moment between the entry's creation and the guard's start.
std::vector<std::string> AnswerUntilPutEnded(const TProgram& Program, HWND Main,
                                             const std::string& Entry, DWORD Timeout = 120000) {
    std::vector<std::string> Boxes;
    const auto Settled = [&] {
        return Exists(Entry) && IsWindowEnabled(Main) && !AnyDialog(Program);
    };
    const bool Ended = WaitFor(
        [&] {
            for (HWND Box : SeenDialogs(Program)) {
                Boxes.push_back(BoxText(Box));
                PressButton(Box, IDOK);
                WaitFor([&] { return !IsWindow(Box) || !IsWindowVisible(Box); }, 10000);
            }
            if (!Program.Running() || !Settled())
                return false;
            DWORD_PTR Result;
            return SendMessageTimeoutA(Main, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &Result) != 0 &&
                   Settled();
        },
        Timeout);
    EXPECT_TRUE(Ended) << "the put did not end";
    return Boxes;
}

// Closes the program as a user does and waits for its end.
void Close(TProgram& Program, HWND Main) {
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Program.WaitForEnd(Patience));
}

std::string Line(const std::string& Text, const std::string& Key) {
    const std::size_t Start = Text.find("\r\n" + Key + "=");
    if (Start == std::string::npos)
        return std::string();
    const std::size_t End = Text.find("\r\n", Start + 2);
    return Text.substr(Start + 2, End - Start - 2);
}

// The drive letter ("S:") that the test command maps to a small mount of
// its own, named by an environment variable; empty when there is none.
std::string MountedDrive(const char* Variable) {
    const char* Value = std::getenv(Variable);
    if (!Value || std::string(Value).size() != 2 || Value[1] != ':')
        return std::string();
    return Value;
}

// A file of Size bytes that differ from those of every other such file.
std::string Content(std::size_t Size, unsigned Seed) {
    std::string Bytes(Size, '\0');
    unsigned State = Seed * 2654435761u + 1;
    for (char& Byte : Bytes) {
        State = State * 1103515245u + 12345u;
        Byte = static_cast<char>(State >> 16);
    }
    return Bytes;
}

// How many files Directory holds, counted up to Enough.
std::size_t FilesIn(const std::string& Directory, std::size_t Enough) {
    std::size_t Count = 0;
    WIN32_FIND_DATAA Data;
    HANDLE Find = FindFirstFileA((Directory + "\\*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++Count;
    } while (Count < Enough && FindNextFileA(Find, &Data));
    FindClose(Find);
    return Count;
}

} // namespace

// A DLL planted beside the program under the name of a system DLL must never
// load in place of the system's. Wine, as Windows, takes a planted dwmapi.dll
// for a load by bare name from beside the exe.
TEST(TovelBin_Faults, DllPlantedBesideTheProgramNeverLoads) {
    TInstalled Program;
    const std::string Marker = Program.Dir() + "\\planted.loaded";
    ASSERT_TRUE(CopyFileA((ExeDirectory() + "PlantedDll.dll").c_str(),
                          (Program.Dir() + "\\dwmapi.dll").c_str(), FALSE));
    const auto RunBeside = [&](const std::string& Helper) {
        const std::string Copy = Program.Dir() + "\\" + Helper;
        ASSERT_TRUE(CopyFileA((ExeDirectory() + Helper).c_str(), Copy.c_str(), FALSE));
        TProgram Probe(Quoted(Copy) + " dwmapi.dll");
        ASSERT_TRUE(Probe.WaitForEnd(Patience));
    };
    // The control: the default search takes the planted DLL.
    RunBeside("LoadLibraryProbe.exe");
    ASSERT_TRUE(Exists(Marker)) << "the default search does not find a planted DLL here";
    ASSERT_TRUE(DeleteFileA(Marker.c_str()));
    // After the start-up every program of ours makes, it takes the system's.
    RunBeside("InitializedLoadProbe.exe");
    EXPECT_FALSE(Exists(Marker));

    // The program itself, through its windows and dialogs.
    TProgram Running(Quoted(Program.Exe()));
    HWND Main = WaitForMainWindow(Running, Patience);
    ASSERT_NE(Main, nullptr);
    for (const int Command : {IDM_BIN_PUT_REGULAR_FILES, IDM_BIN_PUT_DIRECTORY}) {
        PostMessageA(Main, WM_COMMAND, Command, 0);
        HWND Dialog = WaitForDialog(Running);
        ASSERT_NE(Dialog, nullptr);
        PressButton(Dialog, IDCANCEL);
        ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(Main) && SeenDialogs(Running).empty(); },
                            Patience));
    }
    Close(Running, Main);
    EXPECT_FALSE(Exists(Marker));

    // The image asks for address randomisation, no execution of data, and
    // no compatibility help from a terminal server.
    const std::string Image = ReadFile(Program.Exe());
    ASSERT_GT(Image.size(), 0x200u);
    const auto NtHeaders = *reinterpret_cast<const LONG*>(Image.data() + 0x3C);
    // DllCharacteristics sits at the same offset in 32- and 64-bit images.
    const std::size_t At = static_cast<std::size_t>(NtHeaders) + 4 + sizeof(IMAGE_FILE_HEADER) + 70;
    ASSERT_LT(At + 2, Image.size());
    const auto Characteristics = *reinterpret_cast<const WORD*>(Image.data() + At);
    EXPECT_TRUE(Characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(Characteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_TRUE(Characteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE);
}

// A shortcut set to "Minimized" starts the program minimized; the bounds it
// saves are still those of the restored window.
TEST(TovelBin_Faults, MinimizedStartKeepsTheRestoredBounds) {
    TInstalled Program;
    WriteFile(Program.Settings(), "[MainForm]\r\nWidth=300\r\nLeft=110\r\nTop=120\r\n\r\n");
    TProgram Running(Quoted(Program.Exe()), std::string(), SW_SHOWMINNOACTIVE);
    HWND Main = WaitForMainWindow(Running, Patience);
    ASSERT_NE(Main, nullptr);
    EXPECT_TRUE(WaitFor([&] { return IsIconic(Main) != FALSE; }, 10000));
    Close(Running, Main);
    const std::string Settings = ReadFile(Program.Settings());
    EXPECT_EQ(Line(Settings, "Width"), "Width=300") << Settings;
    EXPECT_EQ(Line(Settings, "Left"), "Left=110") << Settings;
    EXPECT_EQ(Line(Settings, "Top"), "Top=120") << Settings;

    // Without a show state it opens as a normal window.
    TProgram Normal(Quoted(Program.Exe()));
    Main = WaitForMainWindow(Normal, Patience);
    ASSERT_NE(Main, nullptr);
    EXPECT_FALSE(IsIconic(Main));
    Close(Normal, Main);
}

// One source file is held open without sharing by another program.
TEST(TovelBin_Faults, HeldOpenSourceFileLosesNothingAndTheOthersArrive) {
    TInstalled Program;
    TTempDir Items;
    const std::string First = Items / "a first.txt";
    const std::string Held = Items / "b held.txt";
    const std::string Last = Items / "c last.txt";
    WriteFile(First, Content(3000, 1));
    WriteFile(Held, Content(3000, 2));
    WriteFile(Last, Content(3000, 3));
    const std::string Bin = Program.Dir() + "\\Bin";
    const std::vector<std::string> Before = FilePrint({Items.Path(), Bin});

    THeldFile Holder(Held);
    ASSERT_TRUE(Holder.IsReady());

    TProgram Running(Quoted(Program.Exe()) + " " + Quoted(First) + " " + Quoted(Held) + " " +
                     Quoted(Last));
    HWND Main = WaitForMainWindow(Running, Patience);
    ASSERT_NE(Main, nullptr);
    const std::string Entry = Bin + "\\Tovel #0000";
    const std::vector<std::string> Boxes = AnswerUntilPutEnded(Running, Main, Entry);
    // What the user sees: the shell's own report of the one file, if any,
    // and the program's word of what did not arrive.
    EXPECT_NE(std::find(Boxes.begin(), Boxes.end(),
                        "Tovel Bin|The program could not move 1 of the 3 items into the bin."),
              Boxes.end());
    std::cout << "boxes seen: " << Boxes.size() << "\n";
    for (const std::string& Box : Boxes)
        std::cout << "  " << Box << "\n";
    EXPECT_TRUE(Exists(Held));
    EXPECT_FALSE(Exists(InEntry(Entry, Held)));
    EXPECT_TRUE(Exists(InEntry(Entry, First)));
    EXPECT_TRUE(Exists(InEntry(Entry, Last)));
    EXPECT_EQ(NextLabel(Main), "Next: Tovel #0001");
    Close(Running, Main);

    Holder.Release();
    EXPECT_EQ(FilePrint({Items.Path(), Bin}), Before);
}

// A put of more than the bin's drive holds.
TEST(TovelBin_Faults, FullDriveLosesNothingAndLeavesNoTruncatedFile) {
    const std::string Drive = MountedDrive("TOVEL_SMALL_DRIVE");
    if (Drive.empty())
        GTEST_SKIP() << "no small drive: scripts/test mounts one and names it in TOVEL_SMALL_DRIVE";
    ULARGE_INTEGER Free, Total;
    ASSERT_TRUE(GetDiskFreeSpaceExA((Drive + "\\").c_str(), &Free, &Total, nullptr));
    ASSERT_LT(Total.QuadPart, 64ull << 20) << Drive << " is no small drive";

    TInstalled Program;
    TTempDir Bin(Drive + "\\");
    Program.FixLocation(Bin.Path());
    TTempDir Items;
    // Each file alone fits; all of them together do not.
    const std::size_t Size = static_cast<std::size_t>(Free.QuadPart / 3);
    std::vector<std::string> Paths;
    for (unsigned I = 0; I < 5; ++I) {
        Paths.push_back(Items / ("file " + std::to_string(I) + ".bin"));
        WriteFile(Paths.back(), Content(Size, I));
    }
    const std::vector<std::string> Before = FilePrint({Items.Path(), Bin.Path()});

    std::string CommandLine = Quoted(Program.Exe());
    for (const std::string& Path : Paths)
        CommandLine += " " + Quoted(Path);
    TProgram Running(CommandLine);
    HWND Main = WaitForMainWindow(Running, Patience);
    ASSERT_NE(Main, nullptr);
    const std::vector<std::string> Boxes = AnswerUntilPutEnded(Running, Main, Bin / "Tovel #0000");
    std::cout << "boxes seen: " << Boxes.size() << "\n";
    for (const std::string& Box : Boxes)
        std::cout << "  " << Box << "\n";
    Close(Running, Main);
    // A truncated copy would add a line of its own; a lost file would take one away.
    EXPECT_EQ(FilePrint({Items.Path(), Bin.Path()}), Before);
    std::size_t Arrived = 0;
    for (const std::string& Path : Paths)
        Arrived += Exists(InEntry(Bin / "Tovel #0000", Path));
    EXPECT_GT(Arrived, 0u);
    EXPECT_LT(Arrived, Paths.size());
}

// A location where nothing can be created.
TEST(TovelBin_Faults, ReadOnlyLocationMovesNothingAndSkipsTheName) {
    const std::string Drive = MountedDrive("TOVEL_READONLY_DRIVE");
    if (Drive.empty())
        GTEST_SKIP() << "no read-only drive: scripts/test mounts one and names it in "
                        "TOVEL_READONLY_DRIVE";
    TInstalled Program;
    const std::string Bin = Drive + "\\Bin";
    Program.FixLocation(Bin);
    TTempDir Items;
    WriteFile(Items / "kept.txt", "kept");
    const std::vector<std::string> Before = FilePrint({Items.Path(), Bin});

    TProgram Running(Quoted(Program.Exe()) + " " + Quoted(Items / "kept.txt"));
    HWND Main = WaitForMainWindow(Running, Patience);
    ASSERT_NE(Main, nullptr);
    HWND Box = WaitForDialog(Running);
    ASSERT_NE(Box, nullptr);
    EXPECT_EQ(BoxText(Box), "Tovel Bin|The program could not create a bin entry.");
    PressButton(Box, IDOK);
    ASSERT_TRUE(
        WaitFor([&] { return SeenDialogs(Running).empty() && IsWindowEnabled(Main); }, Patience));
    // The name of the entry that could not be made is skipped.
    EXPECT_EQ(NextLabel(Main), "Next: Tovel #0001");
    Close(Running, Main);
    EXPECT_EQ(FilePrint({Items.Path(), Bin}), Before);
    EXPECT_FALSE(Exists(Bin));
    EXPECT_EQ(Line(ReadFile(Program.Settings()), "Index"), "Index=1");
}

// The close cannot write Settings.ini: the window stays open with the
// message, and the file of the last good close stays as it was.
TEST(TovelBin_Faults, UnwritableSettingsKeepThePreviousFile) {
    TInstalled Program;
    {
        TProgram First(Quoted(Program.Exe()));
        HWND Main = WaitForMainWindow(First, Patience);
        ASSERT_NE(Main, nullptr);
        Close(First, Main);
    }
    const std::string Previous = ReadFile(Program.Settings());
    ASSERT_FALSE(Previous.empty());

    // A directory where the new content would first be written.
    const std::string InTheWay = Program.Settings() + ".~0.tmp";
    ASSERT_TRUE(CreateDirectoryA(InTheWay.c_str(), nullptr));
    WriteFile(InTheWay + "\\someone else's.txt", "kept");
    {
        TProgram Running(Quoted(Program.Exe()));
        HWND Main = WaitForMainWindow(Running, Patience);
        ASSERT_NE(Main, nullptr);
        PostMessageA(Main, WM_CLOSE, 0, 0);
        std::vector<std::string> Boxes;
        ASSERT_TRUE(WaitFor(
            [&] {
                for (HWND Box : SeenDialogs(Running)) {
                    Boxes.push_back(BoxText(Box));
                    PressButton(Box, IDOK);
                }
                return !Running.Running() || !Boxes.empty();
            },
            Patience));
        std::cout << "boxes seen: " << Boxes.size() << "\n";
        for (const std::string& Box : Boxes)
            std::cout << "  " << Box << "\n";
        if (Boxes.empty()) {
            // The save went around the directory: a whole new file.
            const std::string Written = ReadFile(Program.Settings());
            EXPECT_EQ(Written.rfind("[System]\r\n", 0), 0u) << Written;
            EXPECT_EQ(Line(Written, "Index"), "Index=0") << Written;
        } else {
            EXPECT_EQ(Boxes,
                      std::vector<std::string>{"Tovel Bin|The program could not write the file."});
            EXPECT_EQ(ReadFile(Program.Settings()), Previous);
        }
    }
    EXPECT_EQ(ReadFile(InTheWay + "\\someone else's.txt"), "kept");

    // Read-only: the file of the last save stays as it is.
    const std::string Kept = ReadFile(Program.Settings());
    ASSERT_TRUE(SetFileAttributesA(Program.Settings().c_str(), FILE_ATTRIBUTE_READONLY));
    {
        TProgram Running(Quoted(Program.Exe()));
        HWND Main = WaitForMainWindow(Running, Patience);
        ASSERT_NE(Main, nullptr);
        PostMessageA(Main, WM_CLOSE, 0, 0);
        HWND Box = WaitForDialog(Running);
        ASSERT_NE(Box, nullptr);
        EXPECT_EQ(BoxText(Box), "Tovel Bin|The program could not delete the regular file.");
        PressButton(Box, IDOK);
        ASSERT_TRUE(WaitFor([&] { return SeenDialogs(Running).empty(); }, Patience));
        EXPECT_TRUE(Running.Running());
        EXPECT_TRUE(IsWindowVisible(Main));
        EXPECT_EQ(ReadFile(Program.Settings()), Kept);
        Running.Kill();
    }
    ASSERT_TRUE(SetFileAttributesA(Program.Settings().c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ReadFile(Program.Settings()), Kept);
}

// Eight starts from one program folder at the same moment: one window,
// which puts what the others hand over.
TEST(TovelBin_Faults, EightStartsAtOnceOpenOneWindow) {
    TInstalled Program;
    TTempDir Items;
    std::vector<std::unique_ptr<TProgram>> Starts;
    std::vector<std::string> Paths;
    for (int I = 0; I < 8; ++I) {
        Paths.push_back(Items / ("item " + std::to_string(I) + ".txt"));
        WriteFile(Paths.back(), Content(100, static_cast<unsigned>(I)));
    }
    const std::string Bin = Program.Dir() + "\\Bin";
    const std::vector<std::string> Before = FilePrint({Items.Path(), Bin});
    for (const std::string& Path : Paths)
        Starts.push_back(std::make_unique<TProgram>(Quoted(Program.Exe()) + " " + Quoted(Path)));

    // One start opens the window; every other hands its path to it and ends
    // without a word (one that showed the guard's box would never end here).
    std::vector<HWND> Mains;
    for (auto& Start : Starts) {
        HWND Shown = nullptr;
        ASSERT_TRUE(WaitFor(
            [&] {
                Shown = WaitForMainWindow(*Start, 0);
                return Shown != nullptr || !Start->Running();
            },
            Patience));
        if (Shown) {
            Mains.push_back(Shown);
            continue;
        }
        DWORD Code = 1;
        EXPECT_TRUE(GetExitCodeProcess(Start->Process(), &Code) && Code == 0);
    }
    ASSERT_EQ(Mains.size(), 1u);

    const auto Winner =
        std::find_if(Starts.begin(), Starts.end(),
                     [](const std::unique_ptr<TProgram>& P) { return P->Running(); });
    ASSERT_NE(Winner, Starts.end());
    // Every path put, each start's as a put of its own.
    EXPECT_EQ(AnswerUntilPutEnded(**Winner, Mains.front(), Bin + "\\Tovel #0007"),
              std::vector<std::string>{});
    EXPECT_TRUE(WaitFor([&] { return NextLabel(Mains.front()) == "Next: Tovel #0008"; }, Patience))
        << NextLabel(Mains.front());
    for (const std::string& Path : Paths)
        EXPECT_FALSE(Exists(Path)) << Path;
    Close(**Winner, Mains.front());
    EXPECT_EQ(FilePrint({Items.Path(), Bin}), Before);
}

// The program is killed while the shell moves 10,000 files of one put.
TEST(TovelBin_Faults, KillDuringAPutLosesNothingAndTheNextStartTellsOfIt) {
    TInstalled Program;
    TTempDir Items;
    const int Count = 10000;
    std::string List;
    for (int I = 0; I < Count; ++I) {
        const std::string Path = Items / ("f" + std::to_string(I) + ".txt");
        WriteFile(Path, std::to_string(I));
        List += Path + "\r\n";
    }
    TTempDir ListDir;
    const std::string ListFile = ListDir / "paths.txt";
    WriteFile(ListFile, List);
    const std::string Bin = Program.Dir() + "\\Bin";
    const std::vector<std::string> Before = FilePrint({Items.Path(), Bin});

    {
        TProgram Running(Quoted(Program.Exe()));
        HWND Main = WaitForMainWindow(Running, Patience);
        ASSERT_NE(Main, nullptr);
        PostMessageA(Main, WM_COMMAND, IDM_BIN_PUT_IMPORT_PATHS, 0);
        HWND Open = WaitForDialog(Running);
        ASSERT_NE(Open, nullptr);
        HWND NameBox = GetDlgItem(Open, cmb13);
        if (!NameBox)
            NameBox = GetDlgItem(Open, edt1);
        ASSERT_NE(NameBox, nullptr);
        SendMessageA(NameBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ListFile.c_str()));
        PressButton(Open, IDOK);
        // Well into the move: a hundred files have arrived.
        const std::string Moved = InEntry(Bin + "\\Tovel #0000", Items.Path());
        ASSERT_TRUE(WaitFor([&] { return FilesIn(Moved, 100) >= 100; }, 120000));
        Running.Kill();
    }
    std::size_t Left = 0;
    for (int I = 0; I < Count; ++I)
        Left += Exists(Items / ("f" + std::to_string(I) + ".txt"));
    std::cout << "files still at their source after the kill: " << Left << "\n";
    // The kill came in the middle of the move, not after it.
    EXPECT_GT(Left, 0u);
    EXPECT_LT(Left, static_cast<std::size_t>(Count));
    EXPECT_EQ(FilePrint({Items.Path(), Bin}), Before);

    // The next start tells of the put that did not finish, moves nothing,
    // and never hands out its entry's name again.
    TProgram Next(Quoted(Program.Exe()));
    HWND Main = WaitForMainWindow(Next, Patience);
    ASSERT_NE(Main, nullptr);
    HWND Box = WaitForDialog(Next);
    ASSERT_NE(Box, nullptr);
    EXPECT_EQ(BoxText(Box), "Tovel Bin|The put into \"Tovel #0000\" did not finish: " +
                                std::to_string(Count - Left) + " of its " + std::to_string(Count) +
                                " items arrived in the entry.");
    PressButton(Box, IDOK);
    ASSERT_TRUE(WaitFor([&] { return SeenDialogs(Next).empty(); }, Patience));
    EXPECT_EQ(NextLabel(Main), "Next: Tovel #0001");
    EXPECT_EQ(FilePrint({Items.Path(), Bin}), Before);
    Close(Next, Main);

    // Told once: the start after is a plain one.
    TProgram Third(Quoted(Program.Exe()));
    Main = WaitForMainWindow(Third, Patience);
    ASSERT_NE(Main, nullptr);
    EXPECT_TRUE(SeenDialogs(Third).empty());
    Close(Third, Main);
}
