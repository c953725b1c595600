// What the benches share: the clock and, under Windows, the files they move
// and a file operator that notes the moments of the shell's call.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include "app/App_fileoperation.h"
#include "tests/TestSupport.h"
#include "vek/Vek_file.h"

#include <windows.h>
#endif

namespace BenchSupport {

using Clock = std::chrono::steady_clock;

inline double Milliseconds(Clock::time_point From, Clock::time_point To) {
    return std::chrono::duration<double, std::milli>(To - From).count();
}

#ifdef _WIN32

// Count files of 32 bytes in a new Directory, named so that they sort in
// the order made; their paths.
inline std::vector<std::string> MakeFiles(const std::string& Directory, std::size_t Count) {
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

// The moments of one task that moves files, taken from inside it.
struct TMoments {
    Clock::time_point Start;
    Clock::time_point OperatorExecute;
    Clock::time_point ShellStart;
    Clock::time_point ShellEnd;
    Clock::time_point End;
    int ShellResult = -1;
};

class TTimedOperator : public App_fileoperation::TFileOperator {
public:
    explicit TTimedOperator(TMoments& Moments) : FMoments(Moments) {}

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
    TMoments& FMoments;
};

#endif

} // namespace BenchSupport
