// Measures the put. Under Windows: one put of many small files through the
// real bin, split into the program's own work, the shell's call and the
// rest, each against a bare loop of MoveFileExA over pairs of the same
// shape. Everywhere: the steps of a put that need no file system (sort,
// destinations, packing) at growing list sizes, to show their n log n.
#include "app/App_bin.h"
#include "app/App_fileoperation.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include "gui/Gui_application.h"
#include "tests/TestSupport.h"
#include "vek/Vek_file.h"

#include <windows.h>

#include <memory>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point From, Clock::time_point To) {
    return std::chrono::duration<double, std::milli>(To - From).count();
}

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

void MeasurePureSteps() {
    const std::string Base = "C:\\Tools\\Bin\\Tovel #0000\\";
    std::printf("\nSteps without the file system (fastest of 3 runs):\n");
    std::printf("%8s %10s %10s %10s %10s %16s\n", "paths", "sort ms", "dest ms", "pack ms",
                "total ms", "ns per n log2 n");
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
        const double Pack = Fastest(Sorted, [&Destinations](std::vector<std::string>& List) {
            volatile std::size_t Size = App_fileoperation::PackNames(List).size() +
                                        App_fileoperation::PackNames(Destinations).size();
            (void)Size;
        });
        const double Total = Sort + Build + Pack;
        const double Scale = static_cast<double>(Count) * std::log2(static_cast<double>(Count));
        std::printf("%8zu %10.2f %10.2f %10.2f %10.2f %16.2f\n", Count, Sort, Build, Pack, Total,
                    Total * 1e6 / Scale);
    }
}

#ifdef _WIN32

using App_fileoperation::TFileOperator;

// The moments of one put, taken from inside it.
struct TPutMoments {
    Clock::time_point Start;
    Clock::time_point OperatorExecute;
    Clock::time_point ShellStart;
    Clock::time_point ShellEnd;
    Clock::time_point End;
    int ShellResult = -1;
};

class TTimedOperator : public TFileOperator {
public:
    explicit TTimedOperator(TPutMoments& Moments) : FMoments(Moments) {}

    void Execute() override {
        FMoments.OperatorExecute = Clock::now();
        TFileOperator::Execute();
    }

protected:
    int ShellFileOperation(SHFILEOPSTRUCTA& Operation) override {
        FMoments.ShellStart = Clock::now();
        FMoments.ShellResult = TFileOperator::ShellFileOperation(Operation);
        FMoments.ShellEnd = Clock::now();
        return FMoments.ShellResult;
    }

private:
    TPutMoments& FMoments;
};

class TTimedPutTask : public App_bin::TPutTask {
public:
    TTimedPutTask(App_bin::TBin& Bin, const std::vector<std::string>& Paths, TPutMoments& Moments)
        : TPutTask(Bin, Paths), FMoments(Moments) {}

protected:
    std::unique_ptr<TFileOperator> CreateFileOperator() override {
        return std::make_unique<TTimedOperator>(FMoments);
    }

private:
    TPutMoments& FMoments;
};

std::string LongPath(const std::string& Path) {
    return Vek_file::GetLongPath(Path);
}

std::vector<std::string> MakeFiles(const std::string& Directory, std::size_t Count) {
    Vek_file::MakeDirectory(Directory);
    std::vector<std::string> Paths;
    Paths.reserve(Count);
    char Name[32];
    for (std::size_t Index = 0; Index < Count; ++Index) {
        std::snprintf(Name, sizeof Name, "\\f%05zu.dat", Index);
        Paths.push_back(Directory + Name);
        TestSupport::WriteFile(Paths.back(), "thirty-two bytes of file content");
    }
    return Paths;
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

    // Where the acceptance of the paths goes: the whole check of each path,
    // and a single long-path query per path for comparison.
    Clock::time_point Start = Clock::now();
    for (const std::string& Path : BareSources)
        App_bin::AcceptPath(Path);
    const double Accept = Milliseconds(Start, Clock::now());
    char Buffer[MAX_PATH];
    Start = Clock::now();
    for (const std::string& Path : BareSources)
        GetLongPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    const double OneQuery = Milliseconds(Start, Clock::now());

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
    TPutMoments Moments;
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

    std::printf("Put of %zu files of 32 bytes (one run):\n", Count);
    std::printf("  bare MoveFileExA loop        %10.1f ms  (%zu failed)\n", Bare, BareFailures);
    std::printf("  put, own work before shell   %10.1f ms  ratio %.3f\n", Before, Before / Bare);
    std::printf("    accept, sort, entry, dest  %10.1f ms  ratio %.3f\n", Task, Task / Bare);
    std::printf("    guard, pack, parents       %10.1f ms  ratio %.3f\n", Operator,
                Operator / Bare);
    std::printf("      of which AcceptPath alone %8.1f ms  ratio %.3f  (one GetLongPathNameA "
                "per path: %.1f ms)\n",
                Accept, Accept / Bare, OneQuery);
    std::printf("  put, shell call              %10.1f ms  ratio %.3f  (result %d)\n", Shell,
                Shell / Bare, Moments.ShellResult);
    std::printf("  put, after the shell         %10.1f ms\n", After);
    std::printf("  put, whole                   %10.1f ms  ratio %.3f\n", Whole, Whole / Bare);
    std::printf("  arrived %zu, left at the source %zu, index now %d\n", Arrived, Left,
                Bin.EntryName().Index());
}

#endif

} // namespace

int main() {
#ifdef _WIN32
    Gui_application::Application().Initialize(GetModuleHandleA(nullptr));
    Gui_application::Application().SetTitle("Tovel Bin");
    MeasurePut(10000);
#endif
    MeasurePureSteps();
    return 0;
}
