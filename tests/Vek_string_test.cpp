#include "vek/Vek_string.h"

#include "tests/PortableSupport.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

using Vek_string::PadLeft;
using Vek_string::QuoteText;
using Vek_string::UnquoteText;

TEST(Vek_string_QuoteText, EnclosesAndDoublesTheQuote) {
    EXPECT_EQ(QuoteText("", '"'), "\"\"");
    EXPECT_EQ(QuoteText("C:\\Bin", '"'), "\"C:\\Bin\"");
    EXPECT_EQ(QuoteText("a\"b", '"'), "\"a\"\"b\"");
    EXPECT_EQ(QuoteText("\"", '"'), "\"\"\"\"");
    EXPECT_EQ(QuoteText("it's \"x\"", '\''), "'it''s \"x\"'");
}

TEST(Vek_string_UnquoteText, ReadsBackWhatQuoteTextWrote) {
    for (const std::string Text : {"", " ", "a\"b", "\"", "\"\"\"", " lead and trail ",
                                   "C:\\Tools\\Bin\\", "x\"\"y\"", "Tovel #"}) {
        EXPECT_EQ(UnquoteText(QuoteText(Text, '"'), '"'), Text) << Text;
        EXPECT_EQ(UnquoteText(QuoteText(Text, '#'), '#'), Text) << Text;
    }
    EXPECT_EQ(UnquoteText("\"a\"\"b\"", '"'), "a\"b");
}

TEST(Vek_string_UnquoteText, UnquotedTextReadsAsEmpty) {
    EXPECT_EQ(UnquoteText("", '"'), "");
    EXPECT_EQ(UnquoteText("C:\\Bin", '"'), "");
    EXPECT_EQ(UnquoteText(" \"a\"", '"'), "");
    EXPECT_EQ(UnquoteText("\"a\"", '\''), "");
}

TEST(Vek_string_UnquoteText, IgnoresWhatFollowsTheClosingQuote) {
    EXPECT_EQ(UnquoteText("\"a\" b", '"'), "a");
    EXPECT_EQ(UnquoteText("\"\"x", '"'), "");
    EXPECT_EQ(UnquoteText("\"a\"\"\"\"b\"c", '"'), "a\"\"b");
    EXPECT_EQ(UnquoteText("\"a\"\"\"x\"", '"'), "a\"");
}

TEST(Vek_string_UnquoteText, MissingClosingQuoteReadsToTheEnd) {
    EXPECT_EQ(UnquoteText("\"", '"'), "");
    EXPECT_EQ(UnquoteText("\"abc", '"'), "abc");
    EXPECT_EQ(UnquoteText("\"a\"\"b", '"'), "a\"b");
    EXPECT_EQ(UnquoteText("\"a\"\"", '"'), "a\"");
}

TEST(Vek_string_PadLeft, FillsUpToTheWidth) {
    EXPECT_EQ(PadLeft("7", 4, '0'), "0007");
    EXPECT_EQ(PadLeft("", 2, '0'), "00");
    EXPECT_EQ(PadLeft("ab", 5, ' '), "   ab");
}

TEST(Vek_string_PadLeft, NeverShortens) {
    EXPECT_EQ(PadLeft("12345", 4, '0'), "12345");
    EXPECT_EQ(PadLeft("1234", 4, '0'), "1234");
    EXPECT_EQ(PadLeft("7", 0, '0'), "7");
    EXPECT_EQ(PadLeft("7", -5, '0'), "7");
    EXPECT_EQ(PadLeft("", INT32_MIN, '0'), "");
}

class Vek_string_Dbcs : public PortableSupport::TCodePage932Test {};

TEST_F(Vek_string_Dbcs, LeadBytesAreThoseOfCodePage932) {
    for (const int Code : {0x81, 0x95, 0x9F, 0xE0, 0xEA, 0xFC})
        EXPECT_TRUE(Vek_string::IsLeadByte(static_cast<char>(Code))) << Code;
    for (const int Code : {0x00, 0x22, 0x5C, 0x7F, 0x80, 0xA0, 0xB1, 0xDF, 0xFD, 0xFF})
        EXPECT_FALSE(Vek_string::IsLeadByte(static_cast<char>(Code))) << Code;
}

// 0x95 0x5C is one character of code page 932 whose trail byte is the
// backslash; used as the quote it must be neither doubled nor taken as closing.
TEST_F(Vek_string_Dbcs, TrailByteWithTheQuoteCodeIsNoQuote) {
    EXPECT_EQ(QuoteText("\x95\x5C", '\\'), "\\\x95\x5C\\");
    EXPECT_EQ(QuoteText("a\\\x95\x5C", '\\'), "\\a\\\\\x95\x5C\\");
    EXPECT_EQ(UnquoteText("\\\x95\x5C\\", '\\'), "\x95\x5C");
    EXPECT_EQ(UnquoteText("\\a\\\\\x95\x5C\\ rest", '\\'), "a\\\x95\x5C");
    EXPECT_EQ(UnquoteText(QuoteText("\x95\x5C\\\x95\x5C", '\\'), '\\'), "\x95\x5C\\\x95\x5C");
}

TEST_F(Vek_string_Dbcs, LeadByteAtTheEndStandsAlone) {
    EXPECT_EQ(Vek_string::CharLength("a\x95", 1), 1u);
    EXPECT_EQ(Vek_string::CharLength("\x95\x5C", 0), 2u);
    EXPECT_EQ(UnquoteText("\"\x95", '"'), "\x95");
    EXPECT_EQ(QuoteText("a\x95", '\''), "'a\x95'");
}

TEST(Vek_string_IsValidUtf8, TakesWellFormedTextOnly) {
    for (const std::string Text :
         {"", "C:\\Bin", "caf\xC3\xA9", "\xCE\xA9mega", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
          "\xF0\x9F\x93\x84 notes.txt", "\xEF\xBB\xBF", "\xED\x9F\xBF", "\xEE\x80\x80",
          "\xF4\x8F\xBF\xBF", "\xC2\x80", "\xDF\xBF"})
        EXPECT_TRUE(Vek_string::IsValidUtf8(Text)) << Text;
    const struct {
        std::string Text;
        const char* Why;
    } Invalid[] = {
        {"caf\xE9", "code page 1252"},
        {"\x93\xFA\x96\x7B", "code page 932"},
        {"\x80", "a lone trail byte"},
        {"\xC3", "cut at the end"},
        {"\xE6\x97", "cut at the end"},
        {"\xF0\x9F\x93", "cut at the end"},
        {"\xC3x", "no trail byte"},
        {"\xC0\x80", "overlong NUL"},
        {"\xC1\xBF", "overlong"},
        {"\xE0\x9F\xBF", "overlong"},
        {"\xF0\x8F\xBF\xBF", "overlong"},
        {"\xED\xA0\x80", "surrogate half"},
        {"\xF4\x90\x80\x80", "past U+10FFFF"},
        {"\xF5\x80\x80\x80", "no lead byte"},
        {"\xFF", "no lead byte"},
        {std::string("a\xC3\xA9") + "\xE9", "bad after good"},
    };
    for (const auto& Case : Invalid)
        EXPECT_FALSE(Vek_string::IsValidUtf8(Case.Text)) << Case.Why;
}

TEST(Vek_string_SkipUtf8Bom, DropsOneLeadingMarkOnly) {
    EXPECT_EQ(Vek_string::SkipUtf8Bom("\xEF\xBB\xBF"
                                      "C:\\a"),
              "C:\\a");
    EXPECT_EQ(Vek_string::SkipUtf8Bom("\xEF\xBB\xBF"), "");
    EXPECT_EQ(Vek_string::SkipUtf8Bom("\xEF\xBB\xBF\xEF\xBB\xBF"), "\xEF\xBB\xBF");
    EXPECT_EQ(Vek_string::SkipUtf8Bom("\xEF\xBB"), "\xEF\xBB");
    EXPECT_EQ(Vek_string::SkipUtf8Bom(" \xEF\xBB\xBF"), " \xEF\xBB\xBF");
    EXPECT_EQ(Vek_string::SkipUtf8Bom(""), "");
}

// The closing quote after a lead byte at the end of the text is no trail byte.
TEST_F(Vek_string_Dbcs, LeadByteAtTheEndReadsBackFromTheQuotedForm) {
    EXPECT_EQ(QuoteText("a\x95", '"'), "\"a\x95\"");
    EXPECT_EQ(UnquoteText("\"a\x95\"", '"'), "a\x95");
    EXPECT_EQ(UnquoteText("\"a\x95\"\"", '"'), "a\x95\"");
    for (const std::string Text : {"\x95", "\"\x95", "x\"\"y\" res\xFC"})
        EXPECT_EQ(UnquoteText(QuoteText(Text, '"'), '"'), Text) << Text;
}

// One rule for every size the program shows, with the user's separators.
TEST(Vek_string, SizeTextFollowsTheExplorer) {
    const Vek_string::TNumberFormat German{".", ","};
    const struct {
        std::uint64_t Bytes;
        const char* Text;
        const char* InGerman;
    } Sizes[] = {{0, "0 bytes", "0 bytes"},
                 {1, "1 byte", "1 byte"},
                 {13, "13 bytes", "13 bytes"},
                 {1023, "1,023 bytes", "1.023 bytes"},
                 {1024, "1.0 KB", "1,0 KB"},
                 {1229, "1.2 KB", "1,2 KB"},
                 {10 * 1024 - 1, "10.0 KB", "10,0 KB"},
                 {1048000, "1,023 KB", "1.023 KB"},
                 {1048575, "1.0 MB", "1,0 MB"},
                 {2516582, "2.4 MB", "2,4 MB"},
                 {300ull << 20, "300 MB", "300 MB"},
                 {1288490189, "1.2 GB", "1,2 GB"},
                 {13207024435ull, "12.3 GB", "12,3 GB"},
                 {5000ull << 30, "4.9 TB", "4,9 TB"},
                 {~0ull, "16.0 EB", "16,0 EB"}};
    for (const auto& Size : Sizes) {
        EXPECT_EQ(Vek_string::SizeText(Size.Bytes), Size.Text) << Size.Bytes;
        EXPECT_EQ(Vek_string::SizeText(Size.Bytes, German), Size.InGerman) << Size.Bytes;
    }
    EXPECT_EQ(Vek_string::GroupDigits(1234567, {"\xC2\xA0", ","}), "1\xC2\xA0"
                                                                   "234\xC2\xA0"
                                                                   "567");
}

TEST(Vek_string, CompareNoCaseOrdersLettersAsOneCaseThenByBytes) {
    EXPECT_LT(Vek_string::CompareNoCase("apple", "Banana"), 0);
    EXPECT_GT(Vek_string::CompareNoCase("b", "A"), 0);
    EXPECT_LT(Vek_string::CompareNoCase("ab", "abc"), 0);
    EXPECT_LT(Vek_string::CompareNoCase("AB", "ab"), 0);
    EXPECT_EQ(Vek_string::CompareNoCase("ab", "ab"), 0);
}
