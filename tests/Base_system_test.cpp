#include "base/Base_system.h"

#include <gtest/gtest.h>

using Base_system::TryStrToInt;

namespace {

bool Parses(const std::string& Text, std::int32_t Expected) {
    std::int32_t Value = 12345;
    return TryStrToInt(Text, Value) && Value == Expected;
}

bool Refused(const std::string& Text) {
    std::int32_t Value = 12345;
    return !TryStrToInt(Text, Value) && Value == 12345;
}

} // namespace

TEST(Base_system_TryStrToInt, DecimalWithLeadingBlanksAndSign) {
    EXPECT_TRUE(Parses("0", 0));
    EXPECT_TRUE(Parses(" 7", 7));
    EXPECT_TRUE(Parses("   -5", -5));
    EXPECT_TRUE(Parses("+12", 12));
    EXPECT_TRUE(Parses("2147483647", 2147483647));
    EXPECT_TRUE(Parses("-2147483648", INT32_MIN));
}

TEST(Base_system_TryStrToInt, HexadecimalAfterDollarOrZeroX) {
    EXPECT_TRUE(Parses("$1F", 31));
    EXPECT_TRUE(Parses("0x10", 16));
    EXPECT_TRUE(Parses("0X10", 16));
    EXPECT_TRUE(Parses("$ff", 255));
    EXPECT_TRUE(Parses("-$10", -16));
    EXPECT_TRUE(Parses("$7FFFFFFF", INT32_MAX));
    EXPECT_TRUE(Parses("-$80000000", INT32_MIN));
    EXPECT_TRUE(Parses("-0x80000000", INT32_MIN));
}

TEST(Base_system_TryStrToInt, RefusesEverythingElseAndKeepsTheValue) {
    EXPECT_TRUE(Refused(""));
    EXPECT_TRUE(Refused(" "));
    EXPECT_TRUE(Refused("7 "));
    EXPECT_TRUE(Refused("12abc"));
    EXPECT_TRUE(Refused("-"));
    EXPECT_TRUE(Refused("$"));
    EXPECT_TRUE(Refused("0x"));
    EXPECT_TRUE(Refused("1.5"));
    EXPECT_TRUE(Refused("\t7"));
    EXPECT_TRUE(Refused("2147483648"));
    EXPECT_TRUE(Refused("-2147483649"));
    EXPECT_TRUE(Refused("$100000000"));
    // Hexadecimal texts obey the signed range as decimal ones do: no wrap-around.
    EXPECT_TRUE(Refused("$FFFFFFFF"));
    EXPECT_TRUE(Refused("-$FFFFFFFF"));
    EXPECT_TRUE(Refused("0x1FFFFFFFF"));
    EXPECT_TRUE(Refused("$80000000"));
    EXPECT_TRUE(Refused("-$80000001"));
    EXPECT_TRUE(Refused("- 5"));
}
