// One shell file operation over parallel lists of sources and destinations,
// run behind the guard dialog so that the program stays modal meanwhile.
#pragma once

#include "base/Base_system.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace App_fileoperation {

// The shell's operation codes and the flags the put, the take back and the
// discard use (the shell's own values).
const std::uint32_t FileOperationMove = 1;
const std::uint32_t FileOperationDelete = 3;
const std::uint16_t FileOperationMultipleDestinations = 0x0001;
const std::uint16_t FileOperationNoConfirmation = 0x0010;
const std::uint16_t FileOperationAllowUndo = 0x0040;
const std::uint16_t FileOperationNoConfirmMakeDirectory = 0x0200;
const std::uint16_t FileOperationWantNukeWarning = 0x4000;

// The shell's form of a list of paths: each text and a NUL, then one more NUL.
std::size_t PackedSize(const std::vector<std::string>& Names);
// Exactly PackedSize bytes, made in one allocation.
std::vector<char> PackNames(const std::vector<std::string>& Names);

#ifdef _WIN32

class TFileOperator : public Base_system::TObject {
public:
    TFileOperator() = default;

    // The caller fills both lists; item i of Destinations belongs to item i
    // of Sources when the flags say so.
    std::vector<std::string>& Sources() { return FSources; }
    const std::vector<std::string>& Sources() const { return FSources; }
    std::vector<std::string>& Destinations() { return FDestinations; }
    const std::vector<std::string>& Destinations() const { return FDestinations; }

    std::uint32_t Func() const { return FFunc; }
    void SetFunc(std::uint32_t Value) { FFunc = Value; }
    std::uint16_t Flags() const { return FFlags; }
    void SetFlags(std::uint16_t Value) { FFlags = Value; }

    // Runs the operation behind the guard dialog. A failure of the operation
    // itself is reported by the top level and does not come back here.
    virtual void Execute();

    // The guard dialog's job: one shell call for all pairs. Raises EAbort
    // when the shell reports anything but success.
    void PerformOperation(Base_system::TObject* Sender);
    // Whether the last run's shell call reported success; false before any.
    bool Succeeded() const { return FResult == 0; }
    // The last run's result: 0 for success, ERROR_CANCELLED for a cancel
    // (also one the shell reported as success), else the shell's code; -1
    // before any run, or when the run did not reach the shell.
    int Result() const { return FResult; }

protected:
    // The one call to the shell; a test or a measurement may look at it.
    virtual int ShellFileOperation(SHFILEOPSTRUCTA& Operation);

private:
    void MakeTargetDirectories() const;
    // Declared first, destroyed last.
    std::vector<std::string> FSources;
    std::vector<std::string> FDestinations;
    std::uint32_t FFunc = 0;
    std::uint16_t FFlags = 0;
    int FResult = -1;
};

// Fills Operator for the one move of a put or a take back: Sources[i] to
// Destinations[i], missing parents made without asking, and never "yes to
// all", so that the shell asks before it replaces anything.
void SetPairedMove(TFileOperator& Operator, std::vector<std::string> Sources,
                   std::vector<std::string> Destinations);

// How a run to the Recycle Bin holds the program: behind the guard dialog
// on the window's thread, or with no window at all on a thread of its own.
enum class TRecycleRun { rrGuarded, rrWindowless };

// The one way to the Recycle Bin: one shell delete of those of Paths that
// are still there (a path gone already is no failure), undoable, asking
// nothing and showing no error, except the shell's warning before it would
// delete anything for good. Raises "The program could not send the items to
// the Recycle Bin." when the shell reports a failure or a cancel.
void Recycle(const std::vector<std::string>& Paths, TRecycleRun Run = TRecycleRun::rrGuarded);
const std::uint16_t RecycleFlags = FileOperationAllowUndo | FileOperationNoConfirmation |
                                   0x0004 /* silent */ | 0x0400 /* no error window */ |
                                   FileOperationWantNukeWarning;

#endif

} // namespace App_fileoperation
