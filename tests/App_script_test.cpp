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
}
