// The paths that a second start of the program hands to the copy already
// running from its folder, as one block of a WM_COPYDATA message: the time
// it was sent (the system's tick count, 4 bytes), then the arguments of its
// command line in UTF-16 units, each ended by a NUL unit. The block comes
// from another process, so it is checked as a command line is before
// anything reads it: no longer than a program's command line can be, whole
// units only, every argument ended, no broken surrogate pair.
// Pure C++: it builds natively as well as for Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Base_handoff {

// The kind of block (dwData) that holds handed paths: "TBP1".
const std::uint32_t PathsKind = 0x31504254;
// The most UTF-16 units that Windows passes a program as its command line,
// its terminating NUL included.
const std::size_t MaxUnits = 32767;
// How long a second start waits for the running copy's answer, in
// milliseconds. The copy takes a block only well within that time: a block
// it reads later (the system may deliver a message whose sender stopped
// waiting) comes from a start that has shown its message already.
const std::uint32_t AnswerWithin = 6000;
const std::uint32_t TakeWithin = 5000;

struct THandOff {
    std::uint32_t SentAt = 0;
    std::vector<std::u16string> Paths;
};

// The block for Paths, sent at the tick count SentAt. Raises
// Base_system::Exception "The program cannot hand the paths to the running
// copy." when there are none, one holds a NUL unit, or they need more than
// MaxUnits units.
std::string PackPaths(const std::vector<std::u16string>& Paths, std::uint32_t SentAt);

// The block of Bytes bytes at Data, its paths in their order. Raises
// Base_system::Exception "The program cannot accept the handed paths." for
// a block that a second start would not send: no paths, an odd count of
// bytes for them, more than MaxUnits units, a last unit other than NUL, or a
// surrogate without its partner.
THandOff UnpackPaths(const void* Data, std::size_t Bytes);

// Whether a block sent at the tick count SentAt is still to be taken at the
// tick count Now (the count wraps after 49.7 days).
bool IsInTime(std::uint32_t SentAt, std::uint32_t Now);

} // namespace Base_handoff
