// Measures the take back under Windows. The listing of the entries dialog
// over a bin of 1,000 entries and 100,000 files, against a bare FindFirstFile
// walk of the same tree; and the take back of one entry of 10,000 files, split
// into the program's own work before the shell, the shell's call and the
// whole, each against a bare loop of MoveFileExA over pairs of the same shape.
#include "BenchSupport.h"

#include "app/App_fileoperation.h"
#include "app/App_takeback.h"
#include "gui/Gui_application.h"
#include "tests/TestSupport.h"
#include "vek/Vek_file.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using App_fileoperation::TFileOperator;
using BenchSupport::Clock;
using BenchSupport::MakeFiles;
using BenchSupport::Milliseconds;
using BenchSupport::TMoments;
using BenchSupport::TTimedOperator;

// What the listing must at least do: every directory read once.
std::size_t BareWalk(const std::string& Directory) {
    std::size_t Files = 0;
    WIN32_FIND_DATAA Data;
    const HANDLE Find = FindFirstFileA((Directory + "\\*").c_str(), &Data);
    if (Find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        const char* Name = Data.cFileName;
        if (Name[0] == '.' && (Name[1] == '\0' || (Name[1] == '.' && Name[2] == '\0')))
            continue;
        if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Files += BareWalk(Directory + "\\" + Name);
        else
            ++Files;
    } while (FindNextFileA(Find, &Data));
    FindClose(Find);
    return Files;
}

// Below Base: a bin of Entries entries of FilesPerEntry files each, every
// entry holding one directory put whole from Base\Sources, which still
// exists, so that the walk goes down the whole path of each entry.
void MeasureListing(const std::string& Base, std::size_t Entries, std::size_t FilesPerEntry) {
    const std::string Bin = Base + "\\Bin";
    Vek_file::MakeDirectory(Base + "\\Sources");
    const std::string Below = Base.substr(0, 1) + Base.substr(2) + "\\Sources";
    const Clock::time_point MakeStart = Clock::now();
    char Name[32];
    for (std::size_t Entry = 0; Entry < Entries; ++Entry) {
        std::snprintf(Name, sizeof Name, "\\Tovel #%04zu", Entry);
        MakeFiles(Bin + Name + "\\" + Below + "\\Put" + std::to_string(Entry), FilesPerEntry);
    }
    std::printf("Bin of %zu entries, %zu files made in %.1f s\n", Entries, Entries * FilesPerEntry,
                Milliseconds(MakeStart, Clock::now()) / 1000);

    double Bare = 1e300;
    double Listing = 1e300;
    std::size_t Files = 0;
    std::vector<App_takeback::TEntryInfo> Rows;
    // Alternating, fastest of three each: both see the same warm caches.
    for (int Run = 0; Run < 3; ++Run) {
        Clock::time_point Start = Clock::now();
        Files = BareWalk(Bin);
        Bare = std::min(Bare, Milliseconds(Start, Clock::now()));
        Start = Clock::now();
        Rows = App_takeback::ListEntries(Bin);
        Listing = std::min(Listing, Milliseconds(Start, Clock::now()));
    }
    std::size_t Items = 0;
    std::uint64_t Size = 0;
    for (const App_takeback::TEntryInfo& Row : Rows) {
        Items += Row.Items;
        Size += Row.Size;
    }
    std::printf("Listing (fastest of 3 runs):\n");
    std::printf("  bare FindFirstFile walk      %10.1f ms  (%zu files)\n", Bare, Files);
    std::printf("  entries listed               %10.1f ms  ratio %.3f  (goal at most 1.5)\n",
                Listing, Listing / Bare);
    std::printf("  %zu entries, %zu items, %llu bytes\n", Rows.size(), Items,
                static_cast<unsigned long long>(Size));
}

class TTimedTakeBackTask : public App_takeback::TTakeBackTask {
public:
    TTimedTakeBackTask(const std::string& Entry, TMoments& Moments)
        : TTakeBackTask(App_takeback::WholeEntries({Entry})), FMoments(Moments) {}

protected:
    std::unique_ptr<TFileOperator> CreateFileOperator() override {
        return std::make_unique<TTimedOperator>(FMoments);
    }

private:
    TMoments& FMoments;
};

// Files put one by one from a folder that stays: one pair per file, as the
// put made them.
void MeasureTakeBack(const std::string& Base, std::size_t Count) {
    const std::string Below = Base.substr(0, 1) + Base.substr(2);
    const std::string BareEntry = Base + "\\BareBin\\Tovel #0000";
    const std::string Entry = Base + "\\Bin\\Tovel #0000";
    MakeFiles(BareEntry + "\\" + Below + "\\bare", Count);
    MakeFiles(Entry + "\\" + Below + "\\back", Count);
    Vek_file::MakeDirectory(Base + "\\bare");
    Vek_file::MakeDirectory(Base + "\\back");

    char Name[32];
    std::size_t BareFailures = 0;
    const Clock::time_point BareStart = Clock::now();
    for (std::size_t Index = 0; Index < Count; ++Index) {
        std::snprintf(Name, sizeof Name, "\\f%05zu.dat", Index);
        const std::string Source = BareEntry + "\\" + Below + "\\bare" + Name;
        const std::string Destination = Base + "\\bare" + Name;
        if (!MoveFileExA(Source.c_str(), Destination.c_str(), 0))
            ++BareFailures;
    }
    const double Bare = Milliseconds(BareStart, Clock::now());

    TMoments Moments;
    Moments.Start = Clock::now();
    TTimedTakeBackTask(Entry, Moments).Execute();
    Moments.End = Clock::now();

    const double Before = Milliseconds(Moments.Start, Moments.ShellStart);
    const double Shell = Milliseconds(Moments.ShellStart, Moments.ShellEnd);
    const double After = Milliseconds(Moments.ShellEnd, Moments.End);
    const double Whole = Milliseconds(Moments.Start, Moments.End);
    std::printf("Take back of one entry of %zu files of 32 bytes (one run):\n", Count);
    std::printf("  bare MoveFileExA loop        %10.1f ms  (%zu failed)\n", Bare, BareFailures);
    std::printf("  own work before the shell    %10.1f ms  ratio %.3f\n", Before, Before / Bare);
    std::printf("  shell call                   %10.1f ms  ratio %.3f  (result %d)\n", Shell,
                Shell / Bare, Moments.ShellResult);
    std::printf("  after the shell              %10.1f ms\n", After);
    std::printf("  whole                        %10.1f ms  ratio %.3f\n", Whole, Whole / Bare);
    std::printf("  back %zu, left in the entry %zu, entry removed: %s\n",
                TestSupport::ListTree(Base + "\\back").size(),
                TestSupport::Exists(Entry) ? TestSupport::ListTree(Entry).size() : 0,
                TestSupport::Exists(Entry) ? "no" : "yes");
}

} // namespace

int main() {
    Gui_application::Application().Initialize(GetModuleHandleA(nullptr));
    Gui_application::Application().SetTitle("Tovel Bin");
    {
        TestSupport::TTempDir Root;
        MeasureListing(Vek_file::GetLongPath(Root.Path()), 1000, 100);
    }
    {
        TestSupport::TTempDir Root;
        MeasureTakeBack(Vek_file::GetLongPath(Root.Path()), 10000);
    }
    return 0;
}
