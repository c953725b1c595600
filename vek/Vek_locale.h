// The user's locale's texts: dates, times and separators as the explorer
// shows them, in the process code page.
#pragma once

#include "vek/Vek_string.h"

#include <cstdint>
#include <string>

#include <windows.h>

namespace Vek_locale {

// A time of the file system (UTC, in 100-ns steps since 1601) as the user's
// short date and time without seconds ("6/2/2026 9:10 AM"); the empty text
// for 0, the time nobody set, and for a time that cannot be shown.
std::string LocalTimeText(std::uint64_t Utc);

// One of the locale's texts (LOCALE_STHOUSAND, LOCALE_SDECIMAL, ...), or
// Default when the locale gives none.
std::string LocaleInfo(LCTYPE Type, const std::string& Default);

// The user's thousands and decimal separators.
Vek_string::TNumberFormat NumberFormat();

// A size by the program's one rule, with the user's separators.
std::string SizeText(std::uint64_t Bytes);

} // namespace Vek_locale
