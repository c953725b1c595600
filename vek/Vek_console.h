// Standard output and error for the switches of a script: what was handed
// to the program (a pipe, a file) or, when nothing was, the console it was
// started from. Text goes out as UTF-8 to a pipe or file, and as Unicode
// to a console, so that every name reads as it is.
#pragma once

#include <string>

namespace Vek_console {

enum class TStream { stOutput, stError };

// Writes Text (of the process code page) to Stream; nothing happens where
// the program has neither a handle nor a console to write to.
void Write(TStream Stream, const std::string& Text);

} // namespace Vek_console
