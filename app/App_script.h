// The switches a script gives the program (/list, /find, /cleanup, /?), run
// without a window: the bin of the settings beside the program, read as the
// Entries window reads it and cleaned up as the program's start cleans it,
// written to standard output as UTF-8, tab-separated, one line per row
// after a header line.
#pragma once

#include "base/Base_commandline.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace App_script {

// "2026-12-09T13:37:05+01:00": a local time and its offset from UTC in
// minutes.
std::string FormatIsoTime(const SYSTEMTIME& Local, int OffsetMinutes);
// A FILETIME (UTC, as one number) in the local time of that moment, with
// its offset; the empty text for 0, a time not known.
std::string IsoTime(std::uint64_t Time);

// Runs the command line Arguments (its first argument a switch) and gives
// the exit code: 0 done, 1 failed (the reason on standard error), 2 the
// command line refused (the reason on standard error).
int Run(const std::vector<std::string>& Arguments);

} // namespace App_script
