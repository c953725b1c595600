#include "app/App_script.h"

#include <gtest/gtest.h>

#include <windows.h>

// The put time of a listing: local time, then its offset, to the minute.
TEST(App_script, TimesAreLocalWithTheirOffset) {
    const SYSTEMTIME Local{2026, 12, 3, 9, 13, 7, 5, 999};
    const struct {
        int Offset;
        const char* Text;
    } Cases[] = {
        {60, "2026-12-09T13:07:05+01:00"},
        {0, "2026-12-09T13:07:05+00:00"},
        {-330, "2026-12-09T13:07:05-05:30"},
        {345, "2026-12-09T13:07:05+05:45"},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(App_script::FormatIsoTime(Local, Case.Offset), Case.Text);
    EXPECT_EQ(App_script::IsoTime(0), "");
    // 2026-01-01 00:00 UTC, in the zone of the test machine: the same moment.
    const std::uint64_t NewYear = 134116992000000000ull;
    const std::string Text = App_script::IsoTime(NewYear);
    ASSERT_EQ(Text.size(), 25u) << Text;
    const int Sign = Text[19] == '-' ? -1 : 1;
    const int Offset = Sign * (std::stoi(Text.substr(20, 2)) * 60 + std::stoi(Text.substr(23, 2)));
    SYSTEMTIME Shown{};
    Shown.wYear = static_cast<WORD>(std::stoi(Text.substr(0, 4)));
    Shown.wMonth = static_cast<WORD>(std::stoi(Text.substr(5, 2)));
    Shown.wDay = static_cast<WORD>(std::stoi(Text.substr(8, 2)));
    Shown.wHour = static_cast<WORD>(std::stoi(Text.substr(11, 2)));
    Shown.wMinute = static_cast<WORD>(std::stoi(Text.substr(14, 2)));
    FILETIME File;
    ASSERT_TRUE(SystemTimeToFileTime(&Shown, &File));
    const std::uint64_t Back =
        (static_cast<std::uint64_t>(File.dwHighDateTime) << 32) | File.dwLowDateTime;
    EXPECT_EQ(static_cast<std::int64_t>(Back - NewYear), Offset * 600000000ll);
}
