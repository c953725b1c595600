#include "Base_handoff.h"

#include "base/Base_system.h"

#include <cstring>

namespace Base_handoff {

namespace {

bool IsHighSurrogate(char16_t Unit) {
    return Unit >= 0xD800 && Unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t Unit) {
    return Unit >= 0xDC00 && Unit <= 0xDFFF;
}

// Every high surrogate is followed by a low one, and every low one follows
// a high one.
bool PairsSurrogates(const std::u16string& Units) {
    for (std::size_t I = 0; I < Units.size(); ++I) {
        if (IsHighSurrogate(Units[I])) {
            if (I + 1 == Units.size() || !IsLowSurrogate(Units[I + 1]))
                return false;
            ++I;
        } else if (IsLowSurrogate(Units[I])) {
            return false;
        }
    }
    return true;
}

const std::size_t TimeBytes = sizeof(std::uint32_t);

} // namespace

std::string PackPaths(const std::vector<std::u16string>& Paths, std::uint32_t SentAt) {
    const Base_system::Exception Refused("The program cannot hand the paths to the running copy.");
    if (Paths.empty())
        throw Refused;
    std::u16string Units;
    for (const std::u16string& Path : Paths) {
        if (Path.find(u'\0') != std::u16string::npos)
            throw Refused;
        Units += Path;
        Units += u'\0';
        if (Units.size() > MaxUnits)
            throw Refused;
    }
    std::string Block(TimeBytes + Units.size() * sizeof(char16_t), '\0');
    std::memcpy(&Block[0], &SentAt, TimeBytes);
    std::memcpy(&Block[TimeBytes], Units.data(), Units.size() * sizeof(char16_t));
    return Block;
}

THandOff UnpackPaths(const void* Data, std::size_t Bytes) {
    const Base_system::Exception Refused("The program cannot accept the handed paths.");
    if (!Data || Bytes <= TimeBytes)
        throw Refused;
    const std::size_t PathBytes = Bytes - TimeBytes;
    if (PathBytes % sizeof(char16_t) != 0 || PathBytes / sizeof(char16_t) > MaxUnits)
        throw Refused;
    // Copied before it is looked at: the block need not be aligned.
    const auto* Bytes8 = static_cast<const unsigned char*>(Data);
    THandOff HandOff;
    std::memcpy(&HandOff.SentAt, Bytes8, TimeBytes);
    std::u16string Units(PathBytes / sizeof(char16_t), u'\0');
    std::memcpy(&Units[0], Bytes8 + TimeBytes, PathBytes);
    if (Units.back() != u'\0' || !PairsSurrogates(Units))
        throw Refused;
    std::size_t Start = 0;
    while (Start < Units.size()) {
        const std::size_t End = Units.find(u'\0', Start);
        HandOff.Paths.push_back(Units.substr(Start, End - Start));
        Start = End + 1;
    }
    return HandOff;
}

bool IsInTime(std::uint32_t SentAt, std::uint32_t Now) {
    return static_cast<std::uint32_t>(Now - SentAt) < TakeWithin;
}

} // namespace Base_handoff
