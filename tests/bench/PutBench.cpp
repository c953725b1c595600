// Measures the put. Under Windows: one put of many small files through the
// real bin, split into the program's own work, the acceptance of the paths
// (path by path and in the batch form), the shell's call and the rest, each
// against a bare loop of MoveFileExA over pairs of the same shape, in
// microseconds per file; the put of one large folder against the shell's
// rename of it and against the put of a folder of 10 files; then the
// real program's start to its window and its resident memory once idle,
// beside Wine's own notepad. Everywhere: the steps of a put that need no file
// system (sort keys and sort, destinations, length check, packing) at
// growing list sizes, to show their n log n.
#include "BenchSupport.h"

#include "app/App_bin.h"
#include "app/App_fileoperation.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "tests/TestSupport.h"
#include "vek/Vek_file.h"

#include <windows.h>

#include <memory>
#endif

namespace {

using BenchSupport::Clock;
using BenchSupport::Milliseconds;

// Paths of the shape a put sees, in a fixed shuffled order, some in other
// letter case, so that the sort has work to do.
std::vector<std::string> SamplePaths(std::size_t Count) {
    std::vector<std::string> Paths;
    Paths.reserve(Count);
    for (std::size_t Index = 0; Index < Count; ++Index) {
        const std::string Folder = std::to_string(Index % 97);
        std::string Name = "Report " + std::to_string(Index * 7919 % 1000003) + ".txt";
        if (Index % 3 == 0)
            std::transform(Name.begin(), Name.end(), Name.begin(),
                           [](char C) { return static_cast<char>(std::toupper(C)); });
        Paths.push_back(
            (Index % 2 ? "D:\\Archive\\Project " : "C:\\Users\\Someone\\Documents\\Work ") +
            Folder + "\\" + Name);
    }
    std::shuffle(Paths.begin(), Paths.end(), std::mt19937(20240601));
    return Paths;
}

// The fastest of a few runs of Step over fresh copies of Paths.
template <class TStep> double Fastest(const std::vector<std::string>& Paths, TStep Step) {
    double Best = 1e300;
    for (int Run = 0; Run < 3; ++Run) {
        std::vector<std::string> Copy = Paths;
        const Clock::time_point Start = Clock::now();
        Step(Copy);
        Best = std::min(Best, Milliseconds(Start, Clock::now()));
    }
    return Best;
}

#ifdef _WIN32
// The sort as it was before its keys: one comparison of the locale per step.
void SortByComparison(std::vector<std::string>& Paths) {
    std::sort(Paths.begin(), Paths.end(), [](const std::string& A, const std::string& B) {
        return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.data(),
                              static_cast<int>(A.size()), B.data(),
                              static_cast<int>(B.size())) < CSTR_EQUAL;
    });
    std::reverse(Paths.begin(), Paths.end());
}
#endif

void MeasurePureSteps() {
    const std::string Base = "C:\\Tools\\Bin\\Tovel #0000\\";
    std::printf("\nOur own work without the file system (fastest of 3 runs):\n");
    std::printf("%8s %9s %9s %9s %9s %9s %13s %16s\n", "paths", "sort ms", "dest ms", "check ms",
                "pack ms", "total ms", "ns/(n log2 n)", "compare-sort ms");
    for (const std::size_t Count : {1000u, 10000u, 100000u}) {
        const std::vector<std::string> Paths = SamplePaths(Count);
        std::vector<std::string> Sorted = Paths;
        App_bin::SortDescending(Sorted);
        const std::vector<std::string> Destinations = App_bin::BuildDestinationPaths(Base, Sorted);

        const double Sort =
            Fastest(Paths, [](std::vector<std::string>& List) { App_bin::SortDescending(List); });
        const double Build = Fastest(Sorted, [&Base](std::vector<std::string>& List) {
            volatile std::size_t Size = App_bin::BuildDestinationPaths(Base, List).size();
            (void)Size;
        });
        double Check = 0;
        double Reference = 0;
#ifdef _WIN32
        Check = Fastest(Sorted, [&Destinations](std::vector<std::string>& List) {
            App_bin::RefuseTooLongPaths(List, Destinations);
        });
        std::vector<std::string> Compared = Paths;
        SortByComparison(Compared);
        if (Compared != Sorted)
            std::printf("         the keys sort otherwise than the comparison!\n");
        Reference = Fastest(Paths, SortByComparison);
#endif
        const double Pack = Fastest(Sorted, [&Destinations](std::vector<std::string>& List) {
            volatile std::size_t Size = App_fileoperation::PackNames(List).size() +
                                        App_fileoperation::PackNames(Destinations).size();
            (void)Size;
        });
        const double Total = Sort + Build + Check + Pack;
        const double Scale = static_cast<double>(Count) * std::log2(static_cast<double>(Count));
        std::printf("%8zu %9.2f %9.2f %9.2f %9.2f %9.2f %13.2f %16.2f\n", Count, Sort, Build, Check,
                    Pack, Total, Total * 1e6 / Scale, Reference);
    }
}

#ifdef _WIN32

using App_fileoperation::TFileOperator;
using BenchSupport::MakeFiles;
using BenchSupport::TMoments;
using BenchSupport::TTimedOperator;

class TTimedPutTask : public App_bin::TPutTask {
public:
    TTimedPutTask(App_bin::TBin& Bin, const std::vector<std::string>& Paths, TMoments& Moments)
        : TPutTask(Bin, Paths), FMoments(Moments) {}

protected:
    std::unique_ptr<TFileOperator> CreateFileOperator() override {
        return std::make_unique<TTimedOperator>(FMoments);
    }

private:
    TMoments& FMoments;
};

std::string LongPath(const std::string& Path) {
    return Vek_file::GetLongPath(Path);
}

std::size_t CountFiles(const std::string& Directory) {
    std::size_t Count = 0;
    for (const std::string& Name : TestSupport::ListTree(Directory))
        Count += Name.back() != '\\';
    return Count;
}

void MeasurePut(std::size_t Count) {
    TestSupport::TTempDir Root;
    const std::string Base = LongPath(Root.Path());
    const std::vector<std::string> BareSources = MakeFiles(Base + "\\bare", Count);
    const std::vector<std::string> PutSources = MakeFiles(Base + "\\put", Count);

    // The acceptance of the same paths path by path (one GetLongPathNameA
    // over every level of each) and in the batch form, alternately, each
    // the faster of two runs.
    double PathByPath = 1e300;
    double Batch = 1e300;
    std::vector<std::string> OneByOne;
    std::vector<std::string> AllAtOnce;
    for (int Run = 0; Run < 2; ++Run) {
        OneByOne.clear();
        Clock::time_point Start = Clock::now();
        for (const std::string& Path : BareSources)
            OneByOne.push_back(App_bin::AcceptPath(Path));
        PathByPath = std::min(PathByPath, Milliseconds(Start, Clock::now()));
        Start = Clock::now();
        AllAtOnce = App_bin::AcceptPaths(BareSources);
        Batch = std::min(Batch, Milliseconds(Start, Clock::now()));
    }

    // The bare loop gets pairs of the put's shape, its one target directory made beforehand.
    const std::string BareEntry = Base + "\\BareBin\\Tovel #0000";
    std::vector<std::string> BareDestinations =
        App_bin::BuildDestinationPaths(BareEntry + "\\", BareSources);
    Vek_file::MakeDirectory(Vek_file::ExtractDirectory(BareDestinations.front()));
    std::size_t BareFailures = 0;
    const Clock::time_point BareStart = Clock::now();
    for (std::size_t Index = 0; Index < Count; ++Index) {
        if (!MoveFileExA(BareSources[Index].c_str(), BareDestinations[Index].c_str(), 0))
            ++BareFailures;
    }
    const double Bare = Milliseconds(BareStart, Clock::now());

    App_bin::TBin Bin;
    Bin.SetFixedLocation(Base + "\\Bin");
    TMoments Moments;
    Moments.Start = Clock::now();
    TTimedPutTask(Bin, PutSources, Moments).Execute();
    Moments.End = Clock::now();

    const std::size_t Arrived = CountFiles(Base + "\\Bin");
    const std::size_t Left = CountFiles(Base + "\\put");
    const double Before = Milliseconds(Moments.Start, Moments.ShellStart);
    const double Task = Milliseconds(Moments.Start, Moments.OperatorExecute);
    const double Operator = Milliseconds(Moments.OperatorExecute, Moments.ShellStart);
    const double Shell = Milliseconds(Moments.ShellStart, Moments.ShellEnd);
    const double After = Milliseconds(Moments.ShellEnd, Moments.End);
    const double Whole = Milliseconds(Moments.Start, Moments.End);

    const auto Line = [Count, Bare](const char* Step, double Ms, const char* Goal) {
        std::printf("  %-38s %10.1f ms %8.1f us/file  ratio %.3f%s\n", Step, Ms,
                    Ms * 1000 / static_cast<double>(Count), Ms / Bare, Goal);
    };
    std::printf("Put of %zu files of 32 bytes in one directory (one run):\n", Count);
    std::printf("  %-38s %10.1f ms %8.1f us/file  (%zu failed)\n", "bare MoveFileExA loop", Bare,
                Bare * 1000 / static_cast<double>(Count), BareFailures);
    Line("our own work before the shell", Before, "  (goal 0.1, stretch 0.05)");
    Line("  accept, sort, check, entry, dest", Task, "");
    Line("  guard, pack, target directories", Operator, "");
    Line("acceptance, GetLongPathNameA per path", PathByPath, "");
    Line("acceptance, batch form", Batch,
         OneByOne == AllAtOnce ? "  (same answers)" : "  (OTHER ANSWERS)");
    Line("the shell's move", Shell, "");
    Line("put, after the shell", After, "");
    Line("put, whole", Whole, "");
    std::printf("  arrived %zu, left at the source %zu, index now %d\n", Arrived, Left,
                Bin.EntryName().Index());
}

// Folders of Folders x Files empty files below Directory.
void MakeFolder(const std::string& Directory, std::size_t Folders, std::size_t Files) {
    Vek_file::MakeDirectory(Directory);
    char Name[32];
    for (std::size_t Folder = 0; Folder < Folders; ++Folder) {
        std::snprintf(Name, sizeof Name, "\\d%03zu", Folder);
        const std::string Sub = Directory + Name;
        Vek_file::MakeDirectory(Sub);
        for (std::size_t File = 0; File < Files; ++File) {
            std::snprintf(Name, sizeof Name, "\\f%04zu.dat", File);
            TestSupport::WriteFile(Sub + Name, "");
        }
    }
}

// Milliseconds of one put of Folder into Bin, from the call to its return
// (the source is gone then), and till the listing has completed the record.
void TimePut(App_bin::TBin& Bin, const std::string& Folder, double& Put, double& Listed) {
    const Clock::time_point Start = Clock::now();
    Bin.Put({Folder});
    Put = Milliseconds(Start, Clock::now());
    Bin.Listings().WaitUntilDone();
    Listed = Milliseconds(Start, Clock::now());
}

// The put of one large folder within a volume is the shell's rename of it
// plus our own work, which should not grow with what the folder holds.
void MeasureFolderPut(std::size_t Folders, std::size_t Files) {
    TestSupport::TTempDir Root;
    const std::string Base = LongPath(Root.Path());
    const std::string Small = Base + "\\small";
    MakeFolder(Small, 1, 10);
    const std::string Large = Base + "\\large";
    MakeFolder(Large, Folders, Files);

    // The shell's own move of the large folder, there and back.
    SHFILEOPSTRUCTA Operation{};
    Operation.wFunc = FO_MOVE;
    Operation.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_SILENT | FOF_NOERRORUI;
    const std::string Moved = Base + "\\moved";
    const std::vector<char> From = App_fileoperation::PackNames({Large});
    const std::vector<char> To = App_fileoperation::PackNames({Moved});
    Operation.pFrom = From.data();
    Operation.pTo = To.data();
    const Clock::time_point ShellStart = Clock::now();
    const int ShellResult = SHFileOperationA(&Operation);
    const double Shell = Milliseconds(ShellStart, Clock::now());
    MoveFileExA(Moved.c_str(), Large.c_str(), 0);

    App_bin::TBin Bin;
    Bin.SetFixedLocation(Base + "\\Bin");
    double SmallPut = 0, SmallListed = 0, LargePut = 0, LargeListed = 0;
    TimePut(Bin, Small, SmallPut, SmallListed);
    TimePut(Bin, Large, LargePut, LargeListed);
    Engine_record::TRecord Record;
    std::uint64_t Recorded = 0, Bytes = 0;
    if (Engine_record::ReadRecord(Bin.LastPutEntry(), Record))
        Engine_record::CountFiles(Record.Puts.back().Tree, Recorded, Bytes);

    const std::size_t Count = Folders * Files;
    std::printf("\nPut of one folder of %zu folders x %zu files, within a volume (one run):\n",
                Folders, Files);
    std::printf("  the shell's own move of it (a rename)  %10.1f ms  (result %d)\n", Shell,
                ShellResult);
    std::printf("  put of a folder of 10 files            %10.1f ms  listed after %.1f ms\n",
                SmallPut, SmallListed);
    std::printf("  put of the large folder                %10.1f ms  ratio %.2f to the 10 files  "
                "(goal 2)\n",
                LargePut, LargePut / SmallPut);
    std::printf("    our own work beside the shell's      %10.1f ms\n", LargePut - Shell);
    std::printf("  its record complete after              %10.1f ms  %.1f us/file, %llu of %zu "
                "files recorded\n",
                LargeListed, LargeListed * 1000 / static_cast<double>(Count),
                static_cast<unsigned long long>(Recorded), Count);
}

// The whole of a file the size query does not know, as those below /proc.
std::string ReadWhole(const std::string& Path) {
    const HANDLE File = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return std::string();
    std::string Bytes;
    char Buffer[4096];
    DWORD Read = 0;
    while (::ReadFile(File, Buffer, sizeof Buffer, &Read, nullptr) && Read > 0)
        Bytes.append(Buffer, Read);
    CloseHandle(File);
    return Bytes;
}

// The resident memory in kB of the host's process whose command line holds
// Mark (Wine gives a program's host process its Windows command line), read
// from /proc through Wine's drive of the host's root; 0 when none is found.
long ResidentKilobytes(const std::string& Mark) {
    const std::string Proc = "Z:\\proc\\";
    WIN32_FIND_DATAA Data;
    const HANDLE Find = FindFirstFileA((Proc + "*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE)
        return 0;
    long Resident = 0;
    do {
        const std::string Name = Data.cFileName;
        if (Name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (ReadWhole(Proc + Name + "\\cmdline").find(Mark) == std::string::npos)
            continue;
        const std::string Status = ReadWhole(Proc + Name + "\\status");
        const std::size_t At = Status.find("VmRSS:");
        if (At != std::string::npos)
            Resident = std::strtol(Status.c_str() + At + 6, nullptr, 10);
        break;
    } while (FindNextFileA(Find, &Data));
    FindClose(Find);
    return Resident;
}

struct TWindowSearch {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK FindVisibleWindow(HWND Window, LPARAM Parameter) {
    auto& Search = *reinterpret_cast<TWindowSearch*>(Parameter);
    DWORD Owner = 0;
    GetWindowThreadProcessId(Window, &Owner);
    if (Owner != Search.ProcessId || !IsWindowVisible(Window))
        return TRUE;
    Search.Found = Window;
    return FALSE;
}

// A visible top-level window of the process, or null.
HWND VisibleWindowOf(DWORD ProcessId) {
    TWindowSearch Search{ProcessId, nullptr};
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&Search));
    return Search.Found;
}

// One program started and looked at: how long until its window shows, and
// what it holds in memory once its memory stops changing.
struct TStart {
    double WindowMs = -1;
    long ResidentKb = 0;
};

TStart StartProgram(const std::string& CommandLine, const std::string& Directory,
                    const std::string& Mark, bool MeasureMemory) {
    TStart Result;
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    std::string Line = CommandLine;
    const Clock::time_point Start = Clock::now();
    if (!CreateProcessA(nullptr, &Line[0], nullptr, nullptr, FALSE, 0, nullptr, Directory.c_str(),
                        &Startup, &Process))
        return Result;
    HWND Window = nullptr;
    while (!(Window = VisibleWindowOf(Process.dwProcessId)) &&
           Milliseconds(Start, Clock::now()) < 30000)
        Sleep(1);
    if (Window)
        Result.WindowMs = Milliseconds(Start, Clock::now());
    if (Window && MeasureMemory) {
        WaitForInputIdle(Process.hProcess, 10000);
        // Idle once five readings a quarter second apart agree, or after 15 s.
        int Same = 0;
        for (int Reading = 0; Reading < 60 && Same < 5; ++Reading) {
            Sleep(250);
            const long Now = ResidentKilobytes(Mark);
            Same = Now == Result.ResidentKb ? Same + 1 : 0;
            Result.ResidentKb = Now;
        }
    }
    if (Window)
        PostMessageA(Window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(Process.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(Process.hProcess, 1);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    return Result;
}

void MeasureStart() {
    TestSupport::TTempDir Root;
    const std::string Directory = Root / "TovelBin";
    Vek_file::MakeDirectory(Directory);
    const std::string Exe = Directory + "\\TovelBin.exe";
    if (!CopyFileA((TestSupport::ExeDirectory() + "TovelBin.exe").c_str(), Exe.c_str(), FALSE)) {
        std::printf("\nTovelBin.exe is not beside the benchmark: no start measured.\n");
        return;
    }
    const std::string Program = "\"" + Exe + "\"";
    // The first start warms the caches; the wineserver is already running.
    StartProgram(Program, Directory, Exe, false);
    std::vector<double> Times;
    for (int Run = 0; Run < 5; ++Run)
        Times.push_back(StartProgram(Program, Directory, Exe, false).WindowMs);
    std::sort(Times.begin(), Times.end());
    std::printf("\nStart of TovelBin.exe to its visible window, warm wineserver, 5 starts:\n");
    std::printf("  fastest %.0f ms, median %.0f ms, slowest %.0f ms  (goal under 500 ms)\n",
                Times.front(), Times[2], Times.back());

    const TStart Ours = StartProgram(Program, Directory, Exe, true);
    const std::string Note = Root / "note.txt";
    TestSupport::WriteFile(Note, "");
    char System[MAX_PATH];
    GetSystemDirectoryA(System, sizeof System);
    const TStart Notepad = StartProgram(std::string(System) + "\\notepad.exe \"" + Note + "\"",
                                        Root.Path(), Note, true);
    std::printf("Resident memory once idle (VmRSS of the host process):\n");
    std::printf("  TovelBin.exe %ld kB, Wine's notepad %ld kB on the same prefix: ratio %.2f  "
                "(goal no larger)\n",
                Ours.ResidentKb, Notepad.ResidentKb,
                Notepad.ResidentKb ? static_cast<double>(Ours.ResidentKb) / Notepad.ResidentKb
                                   : 0.0);
}

#endif

} // namespace

// The number of files of the put, and of the files in each of the large
// folder's 100 folders, may be given, as for a quick look; the figures to
// compare are those at the defaults, 10,000 and 1,000.
int main(int ArgumentCount, char** Arguments) {
    const std::size_t Files =
        ArgumentCount > 1 ? std::strtoul(Arguments[1], nullptr, 10) : std::size_t(10000);
#ifndef _WIN32
    (void)Files;
#endif
#ifdef _WIN32
    Gui_application::Application().Initialize(GetModuleHandleA(nullptr));
    Gui_application::Application().SetTitle("Tovel Bin");
    MeasurePut(Files);
    MeasureFolderPut(100, ArgumentCount > 2 ? std::strtoul(Arguments[2], nullptr, 10) : 1000);
#endif
    MeasurePureSteps();
#ifdef _WIN32
    MeasureStart();
#endif
    return 0;
}
