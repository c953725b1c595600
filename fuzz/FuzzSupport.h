// What the harnesses share: a check that stops the run on the input that
// broke it, and reference rules written here apart from the library (the
// double-byte table of code page 932, the walk over characters, the line
// splitting), so that a reference cannot share a mistake of the code it checks.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace FuzzSupport {

inline void Check(bool Holds, const char* What, int Line) {
    if (Holds)
        return;
    std::fprintf(stderr, "broken (line %d): %s\n", Line, What);
    std::abort();
}

#define FUZZ_CHECK(Condition) FuzzSupport::Check((Condition), #Condition, __LINE__)

// Code page 932: these bytes open a double-byte character.
inline bool IsLead(char C) {
    const auto Code = static_cast<unsigned char>(C);
    return (Code >= 0x81 && Code <= 0x9F) || (Code >= 0xE0 && Code <= 0xFC);
}

// The offsets at which the characters of Text start. A lead byte takes the
// byte after it, whatever that is; at the very end it stands alone.
inline std::vector<std::size_t> CharStarts(const std::string& Text) {
    std::vector<std::size_t> Starts;
    std::size_t Index = 0;
    while (Index < Text.size()) {
        Starts.push_back(Index);
        Index += IsLead(Text[Index]) && Index + 1 < Text.size() ? 2 : 1;
    }
    return Starts;
}

// Whether the character at Start is the one byte C (a trail byte never is).
inline bool IsSingle(const std::string& Text, std::size_t Start, char C) {
    return Text[Start] == C && !(IsLead(Text[Start]) && Start + 1 < Text.size());
}

// A lead byte as the last character pairs with whatever is appended to the
// text: such a text is none of the code page, and no system call returns one.
inline bool EndsInLoneLead(const std::string& Text) {
    const std::vector<std::size_t> Starts = CharStarts(Text);
    return !Starts.empty() && Starts.back() == Text.size() - 1 && IsLead(Text.back());
}

// Lines end at CR LF, a lone CR or a lone LF; a NUL ends the text; a break
// at the very end adds no empty line.
inline std::vector<std::string> SplitLines(const std::string& Text) {
    std::vector<std::string> Lines;
    std::string Line;
    bool Open = false;
    for (std::size_t Index = 0; Index < Text.size() && Text[Index] != '\0'; ++Index) {
        const char C = Text[Index];
        if (C == '\r' || C == '\n') {
            Lines.push_back(Line);
            Line.clear();
            Open = false;
            if (C == '\r' && Index + 1 < Text.size() && Text[Index + 1] == '\n')
                ++Index;
        } else {
            Line += C;
            Open = true;
        }
    }
    if (Open)
        Lines.push_back(Line);
    return Lines;
}

inline std::string FromBytes(const unsigned char* Data, std::size_t Size) {
    return std::string(reinterpret_cast<const char*>(Data), Size);
}

} // namespace FuzzSupport
