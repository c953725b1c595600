// Measures the take back under Windows: one entry of 10,000 files, split into
// the program's own work before the shell, the shell's call and the whole,
// each against a bare loop of MoveFileExA over pairs of the same shape. The
// listing of the entries dialog is measured by EntriesBench.
#include "BenchSupport.h"

#include "app/App_fileoperation.h"
#include "engine/Engine_takeback.h"
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

using BenchSupport::Clock;
using BenchSupport::MakeFiles;
using BenchSupport::Milliseconds;
using BenchSupport::TMoments;
using BenchSupport::TTimedOperator;

// The program's own host with the shell's call timed.
class TTimedHost : public TestSupport::TTestTakeBackHost {
public:
    explicit TTimedHost(TMoments& Moments) : FMoments(Moments) {}

    Engine_takeback::TMoveResult Move(const std::vector<std::string>& Sources,
                                      const std::vector<std::string>& Destinations) override {
        TTimedOperator Operator(FMoments);
        App_fileoperation::SetPairedMove(Operator, Sources, Destinations);
        Operator.Execute();
        return Operator.Succeeded() ? Engine_takeback::TMoveResult::mrDone
                                    : Engine_takeback::TMoveResult::mrFailed;
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
    TTimedHost Host(Moments);
    Engine_takeback::TTakeBackTask(Engine_takeback::WholeEntries({Entry}), Host).Execute();
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
        MeasureTakeBack(Vek_file::GetLongPath(Root.Path()), 10000);
    }
    return 0;
}
