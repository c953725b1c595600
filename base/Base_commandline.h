// The program's command line: paths to put, or, when its first argument
// begins with "/", a switch that a script gives. No path that a put accepts
// begins with "/" (a drive-relative path is refused), so only the first
// argument decides, and a switch the program does not know is refused with
// nothing done. Pure C++: it builds natively as well as for Windows.
#pragma once

#include "base/Base_system.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Base_commandline {

enum class TCommandMode {
    cmPut,     // every argument is a path to put (none: nothing to put)
    cmUsage,   // /?: the usage
    cmList,    // /list [TEXT]: the entries, those that match TEXT when given
    cmFind,    // /find TEXT: the files and directories that match TEXT
    cmCleanUp, // /cleanup [/older-than DAYS] [/larger-than MB] [/dry-run]
    // /takeback last|ENTRY [ORIGINAL-PATH...] [/to DIR] [/conflict keepboth|skip|replace]
    // [/dry-run]
    cmTakeBack
};

// How a scripted take back answers every conflict; Keep Both loses nothing.
enum class TConflictPolicy { cpKeepBoth, cpSkip, cpReplace };

struct TCommand {
    TCommandMode Mode = TCommandMode::cmPut;
    // The TEXT of /list and /find; HasText tells an empty TEXT from none.
    std::string Text;
    bool HasText = false;
    // /cleanup: the rules given (none: those of the settings), and whether
    // it only tells what it would discard.
    bool ByAge = false;
    std::int32_t Days = 0;
    bool BySize = false;
    std::int32_t Megabytes = 0;
    bool DryRun = false;
    // /takeback: the entry ("last" for the last put), the original paths of
    // the items taken (none: all of the put), the folder taken into (empty:
    // each to its place) and the answer to every conflict.
    std::string Entry;
    std::vector<std::string> Items;
    std::string TargetFolder;
    TConflictPolicy Conflict = TConflictPolicy::cpKeepBoth;
};

// A command line refused; its message says why.
class ECommandLine : public Base_system::Exception {
    using Exception::Exception;
};

// Whether the first argument is a switch: the program then runs as a
// script's command, without a window.
bool IsSwitchLine(const std::vector<std::string>& Arguments);

// Arguments 1 to N, as the runtime split them. Raises ECommandLine for an
// unknown switch ("The program cannot take the switch "/x".") and for one
// given too much or too little ("The program cannot take "x" after /list.",
// "The program cannot find without a TEXT: /find TEXT."), and for a number
// that is none ("The program cannot take "x" as DAYS."). CheckRange then
// holds a number to its limits.
TCommand ParseCommandLine(const std::vector<std::string>& Arguments);

// Raises ECommandLine "The program cannot take "0" as DAYS: 1 to 3650."
// for a Value outside Least to Most.
void CheckRange(std::int32_t Value, const std::string& Name, std::int32_t Least, std::int32_t Most);

// What /? prints, one line each, ended by CR LF.
std::string UsageText();

} // namespace Base_commandline
