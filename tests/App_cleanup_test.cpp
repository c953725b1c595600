// The clean-up: the choice of entries as a table of cases and over generated
// bins (these run natively as well), the texts, and under Windows the bin
// read from disk, the start-up run beside a second instance, and that the
// start-up run never deletes for good.
#include "app/App_cleanup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using App_cleanup::Day;
using App_cleanup::TCleanUpEntry;
using App_cleanup::TCleanUpRules;

namespace {

const std::uint64_t MB = 1024 * 1024;
const std::uint64_t Now = 400000 * Day;

// "Name:days ago:size in MB", a "!" at the end for a protected entry.
std::vector<TCleanUpEntry> Bin(const std::vector<std::string>& Specs) {
    std::vector<TCleanUpEntry> Entries;
    for (std::string Spec : Specs) {
        TCleanUpEntry Entry;
        Entry.Protected = Spec.back() == '!';
        if (Entry.Protected)
            Spec.pop_back();
        const std::size_t First = Spec.find(':');
        const std::size_t Second = Spec.find(':', First + 1);
        Entry.Name = Spec.substr(0, First);
        Entry.Path = "C:\\Bin\\" + Entry.Name;
        Entry.Put = Now - static_cast<std::uint64_t>(
                              std::stod(Spec.substr(First + 1, Second - First - 1)) * Day);
        Entry.Size = std::stoull(Spec.substr(Second + 1)) * MB;
        Entries.push_back(Entry);
    }
    return Entries;
}

TCleanUpRules Rules(int Days, int Megabytes) {
    TCleanUpRules Result;
    Result.ByAge = Days > 0;
    Result.Days = Days;
    Result.BySize = Megabytes > 0;
    Result.Megabytes = Megabytes;
    return Result;
}

std::string Names(const std::vector<TCleanUpEntry>& Entries) {
    std::string Text;
    for (const TCleanUpEntry& Entry : Entries)
        Text += (Text.empty() ? "" : " ") + Entry.Name;
    return Text;
}

} // namespace

TEST(App_cleanup_Choice, AgeSizeBothOldestFirstTiesAndProtectedEntries) {
    struct TCase {
        const char* What;
        std::vector<std::string> Bin;
        int Days;      // 0: the age rule is off
        int Megabytes; // 0: the size rule is off
        const char* Chosen;
    };
    const std::vector<TCase> Cases = {
        {"no rule", {"a:90:5", "b:1:5"}, 0, 0, ""},
        {"older than 30 days",
         {"new:29.9:1", "old:31:1", "older:400:1", "edge:30:1"},
         30,
         0,
         "older old"},
        {"age alone never looks at the size", {"a:40:5000", "b:1:5000"}, 30, 0, "a"},
        {"under the limit nothing goes", {"a:90:200", "b:1:300"}, 0, 600, ""},
        {"at the limit nothing goes", {"a:90:300", "b:1:300"}, 0, 600, ""},
        {"oldest first until it fits", {"c:1:300", "a:90:300", "b:50:300"}, 0, 400, "a b"},
        {"one large newer entry takes the older ones along",
         {"a:9:1", "b:8:1", "c:7:900"},
         0,
         100,
         "a b c"},
        {"ties go in the order of the names", {"b:10:300", "A:10:300", "c:10:300"}, 0, 700, "A"},
        {"both rules: the age first, then the size",
         {"a:60:100", "b:20:300", "c:10:300", "d:1:300"},
         30,
         700,
         "a b"},
        {"both rules: the age alone is enough", {"a:60:900", "b:20:100"}, 30, 500, "a"},
        {"protected entries stay and still count",
         {"run:90:800!", "a:40:100", "b:1:100"},
         30,
         500,
         "a b"},
        {"every protected entry stays", {"x:90:1!", "y:80:1!", "z:70:1!"}, 1, 1, ""},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(
            Names(App_cleanup::ChooseEntries(Bin(Case.Bin), Rules(Case.Days, Case.Megabytes), Now)),
            Case.Chosen)
            << Case.What;
}

// Over random bins: what any correct choice must satisfy, whatever its steps.
TEST(App_cleanup_Choice, GeneratedBinsKeepTheRules) {
    std::mt19937 Random(18);
    for (int Round = 0; Round < 2000; ++Round) {
        std::vector<TCleanUpEntry> Entries;
        const int Count = static_cast<int>(Random() % 12);
        for (int Index = 0; Index < Count; ++Index) {
            TCleanUpEntry Entry;
            Entry.Name = "e" + std::to_string(Random() % 8) + "_" + std::to_string(Index);
            Entry.Put = Now - (Random() % 6) * 10 * Day - Random() % 2;
            Entry.Size = (Random() % 5) * 100 * MB + Random() % 3;
            Entry.Protected = Random() % 5 == 0;
            Entries.push_back(Entry);
        }
        const TCleanUpRules Rule = Rules(Random() % 3 ? 1 + static_cast<int>(Random() % 60) : 0,
                                         Random() % 3 ? 1 + static_cast<int>(Random() % 1500) : 0);
        const std::vector<TCleanUpEntry> Chosen = App_cleanup::ChooseEntries(Entries, Rule, Now);
        SCOPED_TRACE("round " + std::to_string(Round) + ": " + Names(Chosen));
        auto IsChosen = [&Chosen](const TCleanUpEntry& Entry) {
            return std::any_of(Chosen.begin(), Chosen.end(),
                               [&Entry](const TCleanUpEntry& C) { return C.Name == Entry.Name; });
        };
        for (std::size_t Index = 1; Index < Chosen.size(); ++Index)
            ASSERT_LE(Chosen[Index - 1].Put, Chosen[Index].Put);
        std::uint64_t Kept = 0;
        for (const TCleanUpEntry& Entry : Entries) {
            const bool Old = Entry.Put + static_cast<std::uint64_t>(Rule.Days) * Day < Now;
            if (Entry.Protected) {
                ASSERT_FALSE(IsChosen(Entry)) << Entry.Name;
            } else if (Rule.ByAge && Old) {
                ASSERT_TRUE(IsChosen(Entry)) << Entry.Name;
            }
            if (!IsChosen(Entry))
                Kept += Entry.Size;
        }
        if (!Rule.BySize) {
            ASSERT_TRUE(Rule.ByAge || Chosen.empty());
            continue;
        }
        const std::uint64_t Limit = static_cast<std::uint64_t>(Rule.Megabytes) * MB;
        // Under the limit, or nothing left that may go; and no entry more
        // than needed: every unprotected entry that stays is younger than
        // every one the size took, and without the youngest of those the
        // bin would be above the limit.
        const bool AllTaken = std::all_of(Entries.begin(), Entries.end(), [&](const auto& E) {
            return E.Protected || IsChosen(E);
        });
        ASSERT_TRUE(Kept <= Limit || AllTaken);
        std::vector<TCleanUpEntry> BySize;
        for (const TCleanUpEntry& Entry : Chosen)
            if (!Rule.ByAge || Entry.Put + static_cast<std::uint64_t>(Rule.Days) * Day >= Now)
                BySize.push_back(Entry);
        if (BySize.empty())
            continue;
        ASSERT_GT(Kept + BySize.back().Size, Limit);
        for (const TCleanUpEntry& Entry : Entries) {
            if (!Entry.Protected && !IsChosen(Entry)) {
                ASSERT_GE(Entry.Put, BySize.back().Put) << Entry.Name;
            }
        }
    }
}

TEST(App_cleanup_Texts, SizesCountsAndMessages) {
    EXPECT_EQ(App_cleanup::FormatSize(0), "0 bytes");
    EXPECT_EQ(App_cleanup::FormatSize(1), "1 byte");
    EXPECT_EQ(App_cleanup::FormatSize(1023), "1023 bytes");
    EXPECT_EQ(App_cleanup::FormatSize(1024), "1.0 KB");
    EXPECT_EQ(App_cleanup::FormatSize(1536), "1.5 KB");
    EXPECT_EQ(App_cleanup::FormatSize(10 * 1024 - 1), "10 KB");
    EXPECT_EQ(App_cleanup::FormatSize(300 * MB), "300 MB");
    EXPECT_EQ(App_cleanup::FormatSize(1288490189), "1.2 GB");
    EXPECT_EQ(App_cleanup::FormatSize(5000 * 1024 * MB), "4.9 TB");
    EXPECT_EQ(App_cleanup::CleanedUpMessage(3, 1288490189, 0),
              "Cleaned up 3 entries (1.2 GB) into the Recycle Bin.");
    EXPECT_EQ(App_cleanup::CleanedUpMessage(1, 2048, 1),
              "Cleaned up 1 entry (2.0 KB) into the Recycle Bin. 1 entry stayed: the Recycle "
              "Bin cannot take it.");
    EXPECT_EQ(App_cleanup::CleanedUpMessage(0, 0, 2),
              "Cleaned up 0 entries (0 bytes) into the Recycle Bin. 2 entries stayed: the "
              "Recycle Bin cannot take them.");
    EXPECT_EQ(App_cleanup::EmptyBinQuestion(5, 3 * MB),
              "Discard every entry of the bin, 5 entries (3.0 MB), into the Recycle Bin?");
}
