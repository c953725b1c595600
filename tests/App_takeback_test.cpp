// The take back: first the walk's decisions over trees made in memory (these
// run natively as well), then under Windows the whole road on real files:
// a put and its take back, conflicts answered in the shell's own question, a
// drive that is gone, a file held open, paths too long, and the discard.
#include "app/App_takeback.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using App_takeback::TEntryInfo;
using App_takeback::TEntryNode;
using App_takeback::TOriginKind;
using App_takeback::TTakeBackPlan;
using App_takeback::TWalkStep;

namespace {

// A tree from relative paths below the entry; a path that ends in "\" is a
// directory, one that ends in "@" a directory link; a file is as large as
// its name is long.
TEntryNode Tree(const std::vector<std::string>& Paths) {
    TEntryNode Root;
    Root.Directory = true;
    for (std::string Path : Paths) {
        const bool Link = Path.back() == '@';
        const bool Directory = Link || Path.back() == '\\';
        if (Directory)
            Path.pop_back();
        TEntryNode* Node = &Root;
        std::size_t Start = 0;
        for (;;) {
            const std::size_t End = Path.find('\\', Start);
            const std::string Name =
                Path.substr(Start, End == std::string::npos ? End : End - Start);
            TEntryNode* Found = nullptr;
            for (TEntryNode& Child : Node->Children)
                if (Child.Name == Name)
                    Found = &Child;
            if (!Found) {
                Node->Children.push_back(TEntryNode{Name, true, false, 0, {}});
                Found = &Node->Children.back();
            }
            Node = Found;
            if (End == std::string::npos)
                break;
            Start = End + 1;
        }
        Node->Directory = Directory;
        Node->ReparsePoint = Link;
        if (!Directory)
            Node->Size = Node->Name.size();
    }
    return Root;
}

// The disk as the walk sees it: what stands at each original path, and the
// drives that are there.
struct TWorld {
    std::map<std::string, TOriginKind> Origins;
    std::string Drives = "CD";

    TTakeBackPlan Plan(const std::string& Entry, const TEntryNode& Tree) const {
        TTakeBackPlan Plan;
        App_takeback::PlanTakeBack(
            Entry, Tree,
            [this](const std::string& Path) {
                const auto Found = Origins.find(Path);
                return Found == Origins.end() ? TOriginKind::okMissing : Found->second;
            },
            [this](char Drive) { return Drives.find(Drive) != std::string::npos; }, Plan);
        return Plan;
    }
};

const TOriginKind Missing = TOriginKind::okMissing;
const TOriginKind File = TOriginKind::okFile;
const TOriginKind Dir = TOriginKind::okDirectory;

} // namespace

TEST(App_takeback_Walk, EachStepFollowsWhatStandsAtTheOriginalPath) {
    const TEntryNode Plain{"x", false, false, 1, {}};
    const TEntryNode Folder{"d", true, false, 0, {}};
    const TEntryNode Link{"j", true, true, 0, {}};
    EXPECT_EQ(App_takeback::DecideStep(Plain, Missing), TWalkStep::wsMove);
    EXPECT_EQ(App_takeback::DecideStep(Folder, Missing), TWalkStep::wsMove);
    EXPECT_EQ(App_takeback::DecideStep(Link, Missing), TWalkStep::wsMove);
    EXPECT_EQ(App_takeback::DecideStep(Folder, Dir), TWalkStep::wsDescend);
    EXPECT_EQ(App_takeback::DecideStep(Plain, File), TWalkStep::wsConflict);
    EXPECT_EQ(App_takeback::DecideStep(Plain, Dir), TWalkStep::wsConflict);
    EXPECT_EQ(App_takeback::DecideStep(Folder, File), TWalkStep::wsConflict);
    // A link is never gone into, even where a directory stands.
    EXPECT_EQ(App_takeback::DecideStep(Link, Dir), TWalkStep::wsConflict);
}

TEST(App_takeback_Walk, PutShapesComeBackAsWholesAndDescendOnlyWhereBothAreDirectories) {
    TWorld World;
    World.Origins = {{"C:\\Data", Dir},
                     {"C:\\Data\\Keep", Dir},
                     {"C:\\Data\\Keep\\now.txt", File},
                     {"D:\\Docs", Dir}};
    const TEntryNode Entry =
        Tree({"C\\Data\\Keep\\x.txt", "C\\Data\\Keep\\now.txt", "C\\Data\\Whole\\a\\b.txt",
              "C\\Gone\\A\\B\\c.txt", "D\\Docs\\n.txt", "D\\Docs\\Sub\\"});
    const TTakeBackPlan Plan = World.Plan("B\\E", Entry);
    EXPECT_EQ(Plan.Sources, (std::vector<std::string>{
                                "B\\E\\C\\Data\\Keep\\x.txt", "B\\E\\C\\Data\\Keep\\now.txt",
                                "B\\E\\C\\Data\\Whole", "B\\E\\C\\Gone", "B\\E\\D\\Docs\\n.txt",
                                "B\\E\\D\\Docs\\Sub"}));
    EXPECT_EQ(Plan.Destinations,
              (std::vector<std::string>{"C:\\Data\\Keep\\x.txt", "C:\\Data\\Keep\\now.txt",
                                        "C:\\Data\\Whole", "C:\\Gone", "D:\\Docs\\n.txt",
                                        "D:\\Docs\\Sub"}));
    // Deepest first, the entry itself last.
    EXPECT_EQ(Plan.Descended,
              (std::vector<std::string>{"B\\E\\C\\Data\\Keep", "B\\E\\C\\Data", "B\\E\\C",
                                        "B\\E\\D\\Docs", "B\\E\\D", "B\\E"}));
    EXPECT_EQ(Plan.StayedItems, 0u);
    EXPECT_EQ(App_takeback::StayedMessage(Plan), "");
}

TEST(App_takeback_Walk, OnlySingleLetterDirectoriesOfAvailableDrivesAreWalked) {
    TWorld World;
    World.Drives = "C";
    const TEntryNode Entry =
        Tree({"notes.txt", "CC\\x.txt", "1\\y.txt", "L@", "c\\z.txt", "E\\a.txt", "E\\Dir\\b.txt",
              "E\\Dir\\c.txt", "E\\d\\", "E\\e.txt", "F\\f.txt"});
    const TTakeBackPlan Plan = World.Plan("E1", Entry);
    EXPECT_EQ(Plan.Sources, std::vector<std::string>{"E1\\c\\z.txt"});
    EXPECT_EQ(Plan.Destinations, std::vector<std::string>{"c:\\z.txt"});
    // The items directly below each missing drive stay, counted once each.
    EXPECT_EQ(Plan.StayedItems, 5u);
    EXPECT_EQ(Plan.MissingDrives, (std::vector<char>{'E', 'F'}));
    EXPECT_EQ(Plan.Descended, (std::vector<std::string>{"E1\\c", "E1"}));
    EXPECT_EQ(App_takeback::StayedMessage(Plan),
              "The program could not take back 5 items: the drives E: and F: are not available.");
}

TEST(App_takeback_Walk, LinksAndConflictsGoToTheShellAsPairs) {
    TWorld World;
    World.Origins = {{"C:\\Data", Dir}, {"C:\\Data\\J", Dir}, {"C:\\Data\\f", File}};
    const TEntryNode Entry = Tree({"C\\Data\\J@", "C\\Data\\f\\inside.txt"});
    const TTakeBackPlan Plan = World.Plan("E", Entry);
    EXPECT_EQ(Plan.Sources, (std::vector<std::string>{"E\\C\\Data\\J", "E\\C\\Data\\f"}));
    EXPECT_EQ(Plan.Destinations, (std::vector<std::string>{"C:\\Data\\J", "C:\\Data\\f"}));
    // Neither the link nor the conflicting directory is ever removed.
    EXPECT_EQ(Plan.Descended, (std::vector<std::string>{"E\\C\\Data", "E\\C", "E"}));
}

TEST(App_takeback_Walk, SeveralEntriesAddToOnePlan) {
    TWorld World;
    World.Drives = "C";
    TTakeBackPlan Plan;
    const auto Add = [&World, &Plan](const std::string& Entry, const TEntryNode& Tree) {
        App_takeback::PlanTakeBack(
            Entry, Tree, [](const std::string&) { return TOriginKind::okMissing; },
            [&World](char Drive) { return World.Drives.find(Drive) != std::string::npos; }, Plan);
    };
    Add("E1", Tree({"C\\a.txt", "Q\\q.txt"}));
    Add("E2", Tree({"C\\b.txt", "Q\\r.txt", "Q\\s.txt"}));
    EXPECT_EQ(Plan.Sources, (std::vector<std::string>{"E1\\C\\a.txt", "E2\\C\\b.txt"}));
    EXPECT_EQ(Plan.MissingDrives, std::vector<char>{'Q'});
    EXPECT_EQ(App_takeback::StayedMessage(Plan),
              "The program could not take back 3 items: the drive Q: is not available.");
}

TEST(App_takeback_Texts, QuestionStayedMessageAndFromNameTheCounts) {
    EXPECT_EQ(App_takeback::TakeBackQuestion({"Tovel #0007"}, 3),
              "Take back \"Tovel #0007\" (3 items) to where they came from?");
    EXPECT_EQ(App_takeback::TakeBackQuestion({"Tovel #0008"}, 1),
              "Take back \"Tovel #0008\" (1 item) to where they came from?");
    EXPECT_EQ(App_takeback::TakeBackQuestion({"A", "B"}, 0),
              "Take back 2 entries (0 items) to where they came from?");

    TTakeBackPlan Plan;
    Plan.StayedItems = 1;
    Plan.MissingDrives = {'E'};
    EXPECT_EQ(App_takeback::StayedMessage(Plan),
              "The program could not take back 1 item: the drive E: is not available.");
    Plan.StayedItems = 4;
    Plan.MissingDrives = {'E', 'F', 'G'};
    EXPECT_EQ(App_takeback::StayedMessage(Plan), "The program could not take back 4 items: the "
                                                 "drives E:, F: and G: are not available.");

    EXPECT_EQ(App_takeback::FromText({}), "");
    EXPECT_EQ(App_takeback::FromText({"C:\\a"}), "C:\\a");
    EXPECT_EQ(App_takeback::FromText({"C:\\a", "C:\\b", "D:\\c"}), "C:\\a and 2 more");
}

TEST(App_takeback_Texts, SizesAreWholeKilobytesRoundedUpAndGrouped) {
    EXPECT_EQ(App_takeback::FormatKilobytes(0, ","), "0 KB");
    EXPECT_EQ(App_takeback::FormatKilobytes(1, ","), "1 KB");
    EXPECT_EQ(App_takeback::FormatKilobytes(1024, ","), "1 KB");
    EXPECT_EQ(App_takeback::FormatKilobytes(1025, ","), "2 KB");
    EXPECT_EQ(App_takeback::FormatKilobytes(999ull * 1024, ","), "999 KB");
    EXPECT_EQ(App_takeback::FormatKilobytes(1000ull * 1024, ","), "1,000 KB");
    EXPECT_EQ(App_takeback::FormatKilobytes(1234567ull * 1024, "."), "1.234.567 KB");
    EXPECT_EQ(App_takeback::FormatKilobytes(5ull << 40, ","), "5,368,709,120 KB");
}

TEST(App_takeback_Texts, TreeSizeCountsFilesOnly) {
    TEntryNode Entry = Tree({"C\\a", "C\\Dir\\bc", "C\\Dir\\Sub\\"});
    Entry.Children[0].Children[1].Size = 7; // "Dir" claims a size of its own
    EXPECT_EQ(App_takeback::TreeSize(Entry), 1u + 2u);
}

TEST(App_takeback_Sort, EveryColumnSortsBothWaysAndTiesKeepTheNameOrder) {
    const std::vector<TEntryInfo> Rows{{"b", "B\\b", 30, 2, 500, "C:\\z"},
                                       {"A", "B\\A", 10, 9, 500, "d:\\y"},
                                       {"c", "B\\c", 20, 2, 100, "C:\\x"}};
    const auto Names = [&Rows](int Column, bool Descending) {
        std::vector<TEntryInfo> Sorted = Rows;
        App_takeback::SortEntries(Sorted, Column, Descending);
        std::string Out;
        for (const TEntryInfo& Row : Sorted)
            Out += Row.Name;
        return Out;
    };
    EXPECT_EQ(Names(App_takeback::ecEntry, false), "Abc");
    EXPECT_EQ(Names(App_takeback::ecEntry, true), "cbA");
    EXPECT_EQ(Names(App_takeback::ecPut, true), "bcA");
    EXPECT_EQ(Names(App_takeback::ecPut, false), "Acb");
    EXPECT_EQ(Names(App_takeback::ecItems, true), "Abc");
    EXPECT_EQ(Names(App_takeback::ecItems, false), "bcA");
    EXPECT_EQ(Names(App_takeback::ecSize, true), "Abc");
    EXPECT_EQ(Names(App_takeback::ecSize, false), "cAb");
    EXPECT_EQ(Names(App_takeback::ecFrom, false), "cbA");
    EXPECT_EQ(Names(App_takeback::ecFrom, true), "Abc");
}
