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

} // namespace Vek_string
