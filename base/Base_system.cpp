#include "base/Base_system.h"

namespace Base_system {

namespace {

int DigitValue(char C, int Base) {
    int Value = -1;
    if (C >= '0' && C <= '9')
        Value = C - '0';
    else if (C >= 'a' && C <= 'f')
        Value = C - 'a' + 10;
    else if (C >= 'A' && C <= 'F')
        Value = C - 'A' + 10;
    return Value < Base ? Value : -1;
}

} // namespace

bool TryStrToInt(const std::string& Text, std::int32_t& Value) {
    std::size_t I = 0;
    while (I < Text.size() && Text[I] == ' ')
        ++I;
    bool Negative = false;
    if (I < Text.size() && (Text[I] == '+' || Text[I] == '-'))
        Negative = Text[I++] == '-';
    int Base = 10;
    if (I < Text.size() && Text[I] == '$') {
        Base = 16;
        ++I;
    } else if (I + 1 < Text.size() && Text[I] == '0' &&
               (Text[I + 1] == 'x' || Text[I + 1] == 'X')) {
        Base = 16;
        I += 2;
    }
    if (I == Text.size())
        return false;
    // Hexadecimal digits give a magnitude as decimal ones do: "$FFFFFFFF" is
    // 4294967295, outside the signed range, not the bit pattern of -1.
    const std::uint64_t Limit = Negative ? 0x80000000ull : 0x7FFFFFFFull;
    std::uint64_t Magnitude = 0;
    for (; I < Text.size(); ++I) {
        const int Digit = DigitValue(Text[I], Base);
        if (Digit < 0)
            return false;
        Magnitude = Magnitude * Base + Digit;
        if (Magnitude > Limit)
            return false;
    }
    const auto Bits = static_cast<std::uint32_t>(Negative ? 0 - Magnitude : Magnitude);
    Value = static_cast<std::int32_t>(Bits);
    return true;
}

} // namespace Base_system
