#include "base/Base_commandline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Base_commandline::TCommandMode;

namespace {

// A command line as the runtime split it (quotes removed, blanks kept
// inside them), and what it gives: a mode and its TEXT, or the refusal.
struct TLineCase {
    std::vector<std::string> Arguments;
    TCommandMode Mode;
    const char* Text;
    const char* Refusal;
};

std::string Joined(const std::vector<std::string>& Arguments) {
    std::string Line;
    for (const std::string& Argument : Arguments)
        Line += "[" + Argument + "]";
    return Line;
}

} // namespace

TEST(Base_commandline, OnlyTheFirstArgumentDecidesAndUnknownSwitchesAreRefused) {
    const TCommandMode Put = TCommandMode::cmPut;
    const std::vector<TLineCase> Cases = {
        {{}, Put, nullptr, nullptr},
        {{"C:\\old.txt", "D:\\x y"}, Put, nullptr, nullptr},
        // Only the first argument decides: a later "/list" is a path, which
        // the put refuses as relative.
        {{"C:\\old.txt", "/list"}, Put, nullptr, nullptr},
        // An empty first argument (a quoted "") is an empty path.
        {{"", "/list"}, Put, nullptr, nullptr},
        {{"/?"}, TCommandMode::cmUsage, nullptr, nullptr},
        {{"/list"}, TCommandMode::cmList, nullptr, nullptr},
        {{"/LIST", "report"}, TCommandMode::cmList, "report", nullptr},
        {{"/list", "two words"}, TCommandMode::cmList, "two words", nullptr},
        {{"/list", ""}, TCommandMode::cmList, "", nullptr},
        {{"/list", "/find"}, TCommandMode::cmList, "/find", nullptr},
        {{"/find", "*.docx"}, TCommandMode::cmFind, "*.docx", nullptr},
        {{"/Find", "B\xC3\xA4r"}, TCommandMode::cmFind, "B\xC3\xA4r", nullptr},
        {{"/find"}, Put, nullptr, "The program cannot find without a TEXT: /find TEXT."},
        {{"/list", "a", "b"}, Put, nullptr, "The program cannot take \"b\" after /list."},
        {{"/?", "x"}, Put, nullptr, "The program cannot take \"x\" after /?."},
        {{"/find", "a", "b"}, Put, nullptr, "The program cannot take \"b\" after /find."},
        {{"/"}, Put, nullptr, "The program cannot take the switch \"/\"."},
        {{"/cleanup", "/dry-run", "/older-than", "a"},
         Put,
         nullptr,
         "The program cannot take \"a\" as DAYS."},
        {{"/cleanup", "/larger-than"},
         Put,
         nullptr,
         "The program cannot take /larger-than without MB."},
        {{"/cleanup", "/dry-run", "/dry-run"},
         Put,
         nullptr,
         "The program cannot take \"/dry-run\" after /cleanup."},
        {{"/cleanup", "30"}, Put, nullptr, "The program cannot take \"30\" after /cleanup."},
        {{"/takeback"},
         Put,
         nullptr,
         "The program cannot take back without an entry: /takeback last|ENTRY."},
        {{"/takeback", "/to", "D:\\x"},
         Put,
         nullptr,
         "The program cannot take back without an entry: /takeback last|ENTRY."},
        {{"/takeback", "last", "/to"},
         Put,
         nullptr,
         "The program cannot take \"/to\" after /takeback."},
        {{"/takeback", "last", "/conflict", "merge"},
         Put,
         nullptr,
         "The program cannot take \"merge\" after /conflict: keepboth, skip or replace."},
        {{"/takeback", "last", "/dry-run", "/DRY-RUN"},
         Put,
         nullptr,
         "The program cannot take \"/DRY-RUN\" after /takeback."},
        {{"/lists"}, Put, nullptr, "The program cannot take the switch \"/lists\"."},
        {{"/C:\\old.txt"}, Put, nullptr, "The program cannot take the switch \"/C:\\old.txt\"."},
        {{"/\xC3\xA9"}, Put, nullptr, "The program cannot take the switch \"/\xC3\xA9\"."},
    };
    // The rules of /cleanup, in any order.
    const Base_commandline::TCommand CleanUp = Base_commandline::ParseCommandLine(
        {"/CleanUp", "/larger-than", "0x10", "/dry-run", "/Older-Than", "30"});
    EXPECT_EQ(CleanUp.Mode, TCommandMode::cmCleanUp);
    EXPECT_TRUE(CleanUp.ByAge && CleanUp.BySize && CleanUp.DryRun);
    EXPECT_EQ(CleanUp.Days, 30);
    EXPECT_EQ(CleanUp.Megabytes, 16);
    EXPECT_FALSE(Base_commandline::ParseCommandLine({"/cleanup"}).ByAge);
    // A take back: the entry first, then paths and switches in any order.
    const Base_commandline::TCommand TakeBack = Base_commandline::ParseCommandLine(
        {"/TakeBack", "Tovel #0007", "C:\\a b.txt", "/conflict", "Skip", "/to", "D:\\Out",
         "C:\\B\xC3\xA4r", "/dry-run"});
    EXPECT_EQ(TakeBack.Mode, TCommandMode::cmTakeBack);
    EXPECT_EQ(TakeBack.Entry, "Tovel #0007");
    EXPECT_EQ(TakeBack.Items, (std::vector<std::string>{"C:\\a b.txt", "C:\\B\xC3\xA4r"}));
    EXPECT_EQ(TakeBack.TargetFolder, "D:\\Out");
    EXPECT_EQ(TakeBack.Conflict, Base_commandline::TConflictPolicy::cpSkip);
    EXPECT_TRUE(TakeBack.DryRun);
    EXPECT_EQ(Base_commandline::ParseCommandLine({"/takeback", "last"}).Conflict,
              Base_commandline::TConflictPolicy::cpKeepBoth);
    EXPECT_THROW(Base_commandline::CheckRange(0, "DAYS", 1, 3650), Base_commandline::ECommandLine);
    EXPECT_NO_THROW(Base_commandline::CheckRange(3650, "DAYS", 1, 3650));
    for (const TLineCase& Case : Cases) {
        SCOPED_TRACE(Joined(Case.Arguments));
        EXPECT_EQ(Base_commandline::IsSwitchLine(Case.Arguments), !Case.Arguments.empty() &&
                                                                      !Case.Arguments[0].empty() &&
                                                                      Case.Arguments[0][0] == '/');
        if (Case.Refusal) {
            try {
                Base_commandline::ParseCommandLine(Case.Arguments);
                ADD_FAILURE() << "accepted";
            } catch (const Base_commandline::ECommandLine& E) {
                EXPECT_EQ(E.Message(), Case.Refusal);
            }
            continue;
        }
        const Base_commandline::TCommand Command =
            Base_commandline::ParseCommandLine(Case.Arguments);
        EXPECT_EQ(Command.Mode, Case.Mode);
        EXPECT_EQ(Command.HasText, Case.Text != nullptr);
        EXPECT_EQ(Command.Text, Case.Text ? Case.Text : "");
    }
}
