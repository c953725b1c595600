// The integer text rule of the ini store and the dialogs, against a reference
// built on strtoll.
#include "base/Base_system.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool IsDigitOf(char C, int Base) {
    if (C >= '0' && C <= '9')
        return true;
    return Base == 16 && ((C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'));
}

// Leading blanks (spaces only), an optional sign, then decimal digits, or
// hexadecimal digits after "$", "0x" or "0X", and nothing after the digits.
// The signed value must lie in the 32-bit range, for hexadecimal texts as for
// decimal ones: $FFFFFFFF, -$FFFFFFFF and 0x1FFFFFFFF are no integers.
bool Reference(const std::string& Text, std::int32_t& Value) {
    std::size_t Index = 0;
    while (Index < Text.size() && Text[Index] == ' ')
        ++Index;
    bool Negative = false;
    if (Index < Text.size() && (Text[Index] == '+' || Text[Index] == '-'))
        Negative = Text[Index++] == '-';
    int Base = 10;
    if (Text.compare(Index, 1, "$") == 0) {
        Base = 16;
        Index += 1;
    } else if (Text.compare(Index, 2, "0x") == 0 || Text.compare(Index, 2, "0X") == 0) {
        Base = 16;
        Index += 2;
    }
    const std::string Digits = Text.substr(std::min(Index, Text.size()));
    if (Digits.empty())
        return false;
    for (const char C : Digits) {
        if (!IsDigitOf(C, Base))
            return false;
    }
    // strtoll sees digits only: no blanks, sign or prefix of its own to accept.
    errno = 0;
    const long long Magnitude = std::strtoll(Digits.c_str(), nullptr, Base);
    if (errno == ERANGE)
        return false;
    const long long Signed = Negative ? -Magnitude : Magnitude;
    if (Signed < INT32_MIN || Signed > INT32_MAX)
        return false;
    Value = static_cast<std::int32_t>(Signed);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* Data, std::size_t Size) {
    const std::string Text = FuzzSupport::FromBytes(Data, Size);
    const std::int32_t Untouched = 0x5EED;
    std::int32_t Expected = Untouched;
    std::int32_t Actual = Untouched;
    const bool ExpectedOk = Reference(Text, Expected);
    const bool ActualOk = Base_system::TryStrToInt(Text, Actual);
    FUZZ_CHECK(ActualOk == ExpectedOk);
    // A refused text leaves the value as it was.
    FUZZ_CHECK(Actual == Expected);
    return 0;
}
