// Text helpers: the quoted form of settings values and left padding. Texts
// are 8-bit texts in the ANSI code page; searches step over double-byte
// characters whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Vek_string {

// Whether C opens a double-byte character in the system's ANSI code page.
// Without Windows the answer comes from code page 932, so that the
// double-byte rules are exercised everywhere.
bool IsLeadByte(char C);

// The number of bytes of the character that starts at Index: 2 for a lead
// byte with a byte after it, otherwise 1 (a lead byte at the very end stands
// alone).
std::size_t CharLength(const std::string& Text, std::size_t Index);

std::string QuoteText(const std::string& Text, char Quote);
std::string UnquoteText(const std::string& Text, char Quote);
std::string PadLeft(const std::string& Text, std::int32_t Width, char Fill);

// Whether Text as a whole is well-formed UTF-8: shortest forms only, no
// surrogate halves, nothing above U+10FFFF. The empty text and plain ASCII are.
bool IsValidUtf8(const std::string& Text);
// Text without a leading UTF-8 byte-order mark; at most one mark goes.
std::string SkipUtf8Bom(const std::string& Text);

// Letter case aside (ASCII letters), byte by byte; texts that differ only in
// case are ordered by their bytes. The order of a list, not of a language.
int CompareNoCase(const std::string& A, const std::string& B);

// The separators of numbers, as the user's locale writes them.
struct TNumberFormat {
    std::string Thousands = ",";
    std::string Decimal = ".";
};

// "1,234,567" with Format's thousands separator.
std::string GroupDigits(std::uint64_t Value, const TNumberFormat& Format = TNumberFormat());

// A size as the explorer shows it, one rule for the whole program: "0 bytes",
// "1 byte", "1,023 bytes", then the largest unit that keeps the number
// below 1,024, rounded to one decimal below 100 of it ("1.2 KB", "2.4 MB",
// "12.5 GB") and to whole ones above ("300 MB", "1,023 KB").
std::string SizeText(std::uint64_t Bytes, const TNumberFormat& Format = TNumberFormat());

} // namespace Vek_string
