// The take back: first the walk's decisions over trees made in memory (these
// run natively as well), then under Windows the whole road on real files:
// a put and its take back, conflicts answered in the shell's own question, a
// drive that is gone, a file held open, paths too long, and the discard.
#include "engine/Engine_takeback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

using Engine_takeback::TEntryNode;
using Engine_takeback::TOriginKind;
using Engine_takeback::TTakeBackPlan;
using Engine_takeback::TWalkStep;

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
        Engine_takeback::PlanTakeBack(
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

TEST(Engine_takeback_Walk, EachStepFollowsWhatStandsAtTheOriginalPath) {
    const TEntryNode Plain{"x", false, false, 1, {}};
    const TEntryNode Folder{"d", true, false, 0, {}};
    const TEntryNode Link{"j", true, true, 0, {}};
    EXPECT_EQ(Engine_takeback::DecideStep(Plain, Missing), TWalkStep::wsMove);
    EXPECT_EQ(Engine_takeback::DecideStep(Folder, Missing), TWalkStep::wsMove);
    EXPECT_EQ(Engine_takeback::DecideStep(Link, Missing), TWalkStep::wsMove);
    EXPECT_EQ(Engine_takeback::DecideStep(Folder, Dir), TWalkStep::wsDescend);
    EXPECT_EQ(Engine_takeback::DecideStep(Plain, File), TWalkStep::wsConflict);
    EXPECT_EQ(Engine_takeback::DecideStep(Plain, Dir), TWalkStep::wsConflict);
    EXPECT_EQ(Engine_takeback::DecideStep(Folder, File), TWalkStep::wsConflict);
    // A link is never gone into, even where a directory stands.
    EXPECT_EQ(Engine_takeback::DecideStep(Link, Dir), TWalkStep::wsConflict);
}

TEST(Engine_takeback_Walk, PutShapesComeBackAsWholesAndDescendOnlyWhereBothAreDirectories) {
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
    EXPECT_EQ(Plan.Conflicts, std::vector<std::size_t>{1});
    // Deepest first, the entry itself last.
    EXPECT_EQ(Plan.Descended,
              (std::vector<std::string>{"B\\E\\C\\Data\\Keep", "B\\E\\C\\Data", "B\\E\\C",
                                        "B\\E\\D\\Docs", "B\\E\\D", "B\\E"}));
    EXPECT_EQ(Plan.StayedItems, 0u);
    EXPECT_EQ(Engine_takeback::StayedMessage(Plan), "");
}

TEST(Engine_takeback_Walk, OnlySingleLetterDirectoriesOfAvailableDrivesAreWalked) {
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
    EXPECT_EQ(Engine_takeback::StayedMessage(Plan),
              "The program could not take back 5 items: the drives E: and F: are not available.");
}

TEST(Engine_takeback_Walk, LinksAndConflictsGoToTheShellAsPairs) {
    TWorld World;
    World.Origins = {{"C:\\Data", Dir}, {"C:\\Data\\J", Dir}, {"C:\\Data\\f", File}};
    const TEntryNode Entry = Tree({"C\\Data\\J@", "C\\Data\\f\\inside.txt"});
    const TTakeBackPlan Plan = World.Plan("E", Entry);
    EXPECT_EQ(Plan.Sources, (std::vector<std::string>{"E\\C\\Data\\J", "E\\C\\Data\\f"}));
    EXPECT_EQ(Plan.Destinations, (std::vector<std::string>{"C:\\Data\\J", "C:\\Data\\f"}));
    EXPECT_EQ(Plan.Conflicts, (std::vector<std::size_t>{0, 1}));
    // Neither the link nor the conflicting directory is ever removed.
    EXPECT_EQ(Plan.Descended, (std::vector<std::string>{"E\\C\\Data", "E\\C", "E"}));
}

TEST(Engine_takeback_Walk, SeveralEntriesAddToOnePlan) {
    TWorld World;
    World.Drives = "C";
    TTakeBackPlan Plan;
    const auto Add = [&World, &Plan](const std::string& Entry, const TEntryNode& Tree) {
        Engine_takeback::PlanTakeBack(
            Entry, Tree, [](const std::string&) { return TOriginKind::okMissing; },
            [&World](char Drive) { return World.Drives.find(Drive) != std::string::npos; }, Plan);
    };
    Add("E1", Tree({"C\\a.txt", "Q\\q.txt"}));
    Add("E2", Tree({"C\\b.txt", "Q\\r.txt", "Q\\s.txt"}));
    EXPECT_EQ(Plan.Sources, (std::vector<std::string>{"E1\\C\\a.txt", "E2\\C\\b.txt"}));
    EXPECT_EQ(Plan.MissingDrives, std::vector<char>{'Q'});
    EXPECT_EQ(Engine_takeback::StayedMessage(Plan),
              "The program could not take back 3 items: the drive Q: is not available.");
}

TEST(Engine_takeback_Texts, QuestionStayedMessageAndFromNameTheCounts) {
    EXPECT_EQ(Engine_takeback::TakeBackQuestion({"Tovel #0007"}, 3),
              "Take back \"Tovel #0007\" (3 items) to where they came from?");
    EXPECT_EQ(Engine_takeback::TakeBackQuestion({"Tovel #0008"}, 1),
              "Take back \"Tovel #0008\" (1 item) to where they came from?");
    EXPECT_EQ(Engine_takeback::TakeBackQuestion({"A", "B"}, 0),
              "Take back 2 entries (0 items) to where they came from?");
    EXPECT_EQ(Engine_takeback::TakeBackQuestion({"Tovel #0008"}, 1,
                                                "Stra\xc3\x9f"
                                                "e.jpg"),
              "Take back \"Stra\xc3\x9f"
              "e.jpg\" to where it came from?");
    EXPECT_EQ(Engine_takeback::TakeBackQuestion({"Tovel #0008"}, 2, "a.txt"),
              "Take back \"Tovel #0008\" (2 items) to where they came from?");
    EXPECT_EQ(Engine_takeback::TakeBackToQuestion({"Tovel #0008"}, 1, "D:\\Restore", "a.txt"),
              "Take back \"a.txt\" to \"D:\\Restore\"?");

    TTakeBackPlan Plan;
    Plan.StayedItems = 1;
    Plan.MissingDrives = {'E'};
    EXPECT_EQ(Engine_takeback::StayedMessage(Plan),
              "The program could not take back 1 item: the drive E: is not available.");
    Plan.StayedItems = 4;
    Plan.MissingDrives = {'E', 'F', 'G'};
    EXPECT_EQ(Engine_takeback::StayedMessage(Plan), "The program could not take back 4 items: the "
                                                    "drives E:, F: and G: are not available.");
}

TEST(Engine_takeback_Texts, OutcomesAreSummedUpAndFailuresNamed) {
    using Engine_takeback::TOutcomeKind;
    std::vector<Engine_takeback::TItemOutcome> Outcomes{{TOutcomeKind::okBack, "C:\\a", ""}};
    EXPECT_TRUE(Engine_takeback::AllCameBack(Outcomes));
    EXPECT_EQ(Engine_takeback::OutcomeSummary(Outcomes), "1 item came back.");
    EXPECT_EQ(Engine_takeback::FailedMessage(Outcomes), "");
    Outcomes.push_back({TOutcomeKind::okFailed, "C:\\b", "the move was cancelled."});
    Outcomes.push_back({TOutcomeKind::okFailed, "C:\\c", "the system did not move it."});
    EXPECT_FALSE(Engine_takeback::AllCameBack(Outcomes));
    EXPECT_EQ(Engine_takeback::OutcomeSummary(Outcomes), "1 item came back; 2 failed.");
    EXPECT_EQ(Engine_takeback::OutcomeText(Outcomes[1]), "Failed: C:\\b: the move was cancelled.");
    EXPECT_EQ(Engine_takeback::FailedMessage(Outcomes),
              "The program could not take back 2 items: C:\\b, C:\\c.");
}

TEST(Engine_takeback_Texts, TreeSizeCountsFilesOnly) {
    TEntryNode Entry = Tree({"C\\a", "C\\Dir\\bc", "C\\Dir\\Sub\\"});
    Entry.Children[0].Children[1].Size = 7; // "Dir" claims a size of its own
    EXPECT_EQ(Engine_takeback::TreeSize(Entry), 1u + 2u);
}

namespace {

using Engine_takeback::TConflictAnswer;
using Engine_takeback::TConflictChoice;
using Engine_takeback::TConflictQuestion;
using Engine_takeback::TEntryToPlan;
using Engine_takeback::TItemFacts;
using Engine_takeback::TPlannedWorld;
using Engine_takeback::TSettledMove;

// Letter case aside, a to z: enough for the names of these tests.
std::string Key(const std::string& Path) {
    std::string Upper = Path;
    for (char& Each : Upper)
        Each = static_cast<char>(std::toupper(static_cast<unsigned char>(Each)));
    return Upper;
}

// Several entries planned as one over a disk of Origins, and settled by
// answering each conflict with Choice: the moves as "source>destination",
// what went aside, and the questions in their order.
struct TOneMove {
    std::map<std::string, TOriginKind> Origins;
    std::vector<TEntryToPlan> Entries;
    std::vector<TConflictQuestion> Asked;
    TTakeBackPlan Plan;

    TSettledMove Settle(TConflictChoice Choice, bool ForAll = false) {
        const auto Disk = [this](const std::string& Path) {
            const auto Found = Origins.find(Path);
            return Found == Origins.end() ? TOriginKind::okMissing : Found->second;
        };
        TPlannedWorld World(Disk, Key);
        Plan = TTakeBackPlan();
        Engine_takeback::PlanAsOne(
            Entries, std::string(), [](char) { return true; }, World, Plan);
        // An item of an entry is as large as its entry's number: "E5" 5 bytes.
        const auto Facts = [this, &Disk](const std::string& Path) {
            TItemFacts Facts;
            if (Path.size() > 1 && Path[1] == ':') {
                Facts.Kind = Disk(Path);
                return Facts;
            }
            const std::string Entry = Path.substr(0, Path.find('\\'));
            for (const TEntryToPlan& Each : Entries)
                if (Each.Selection.EntryPath == Entry)
                    if (const TEntryNode* Node =
                            Engine_takeback::FindNode(Each.Tree, Path.substr(Entry.size() + 1))) {
                        Facts.Kind =
                            Node->Directory ? TOriginKind::okDirectory : TOriginKind::okFile;
                        Facts.Size = std::stoul(Entry.substr(1));
                    }
            return Facts;
        };
        return Engine_takeback::SettleConflicts(Plan, World, Facts, true,
                                                [this, Choice, ForAll](const TConflictQuestion& Q) {
                                                    Asked.push_back(Q);
                                                    return TConflictAnswer{Choice, ForAll};
                                                });
    }
};

std::vector<std::string> Pairs(const TSettledMove& Move) {
    std::vector<std::string> Lines;
    for (std::size_t Index = 0; Index < Move.Sources.size(); ++Index)
        Lines.push_back(Move.Sources[Index] + ">" + Move.Destinations[Index]);
    return Lines;
}

} // namespace

TEST(Engine_takeback_KeepBoth, TheExplorersNameOfACopyAtTheNextFreeNumber) {
    struct TCase {
        std::string Path;
        bool Directory;
        std::vector<std::string> Taken;
        std::string Expected;
    };
    const std::vector<TCase> Cases{
        {"C:\\Data\\report.txt", false, {}, "C:\\Data\\report (2).txt"},
        {"C:\\Data\\report.txt", false, {"C:\\DATA\\REPORT (2).TXT"}, "C:\\Data\\report (3).txt"},
        {"C:\\Data", true, {}, "C:\\Data (2)"},
        {"C:\\v1.2", true, {"C:\\V1.2 (2)", "C:\\V1.2 (3)"}, "C:\\v1.2 (4)"},
        {"C:\\archive.tar.gz", false, {}, "C:\\archive.tar (2).gz"},
        {"C:\\README", false, {}, "C:\\README (2)"},
        {"C:\\.profile", false, {}, "C:\\.profile (2)"},
        {"D:\\a b\\x.", false, {}, "D:\\a b\\x (2)."},
    };
    for (const TCase& Case : Cases) {
        const std::string Got = Engine_takeback::KeepBothPath(
            Case.Path, Case.Directory, [&Case](const std::string& Path) {
                return std::find(Case.Taken.begin(), Case.Taken.end(), Key(Path)) !=
                       Case.Taken.end();
            });
        EXPECT_EQ(Got, Case.Expected) << Case.Path;
    }
}

// Newest first, whatever order the entries were chosen in: two versions of
// one path meet, and each answer keeps both somewhere.
TEST(Engine_takeback_PlanAsOne, TwoVersionsOfOnePathMeetAndNoAnswerLosesOne) {
    struct TCase {
        TConflictChoice Choice;
        std::vector<std::string> Moves;
        std::size_t Stayed;
    };
    const std::vector<TCase> Cases{
        {TConflictChoice::ccKeepBoth,
         {"E6\\C\\Data\\report.txt>C:\\Data\\report.txt",
          "E5\\C\\Data\\report.txt>C:\\Data\\report (2).txt"},
         0},
        // The newer stays in its entry; the older comes to the place.
        {TConflictChoice::ccReplace, {"E5\\C\\Data\\report.txt>C:\\Data\\report.txt"}, 1},
        {TConflictChoice::ccSkip, {"E6\\C\\Data\\report.txt>C:\\Data\\report.txt"}, 1},
    };
    for (const TCase& Case : Cases) {
        TOneMove Move;
        Move.Origins = {{"C:\\Data", Dir}};
        Move.Entries = {{{"E5", {}}, Tree({"C\\Data\\report.txt"}), 5},
                        {{"E6", {}}, Tree({"C\\Data\\report.txt"}), 6}};
        const TSettledMove Settled = Move.Settle(Case.Choice);
        EXPECT_EQ(Pairs(Settled), Case.Moves);
        EXPECT_EQ(Settled.Stayed, Case.Stayed);
        EXPECT_TRUE(Settled.PutAside.empty());
        ASSERT_EQ(Move.Asked.size(), 1u);
        EXPECT_TRUE(Move.Asked[0].StandingComesBack);
        EXPECT_TRUE(Move.Asked[0].ReplaceOffered);
        EXPECT_EQ(Move.Asked[0].Standing.Size, 6u);
        EXPECT_EQ(Move.Asked[0].Coming.Size, 5u);
    }
}

// A folder of one entry and a file below it in another, either one newer;
// a file that meets a folder; something on disk that Replace puts aside.
TEST(Engine_takeback_PlanAsOne, FoldersFilesAndTheDiskMeetAsConflicts) {
    TOneMove FolderOlder;
    FolderOlder.Entries = {{{"E5", {}}, Tree({"C\\Data\\report.txt", "C\\Data\\other.txt"}), 5},
                           {{"E6", {}}, Tree({"C\\Data\\report.txt"}), 6}};
    EXPECT_EQ(Pairs(FolderOlder.Settle(TConflictChoice::ccKeepBoth)),
              (std::vector<std::string>{"E6\\C\\Data>C:\\Data",
                                        "E5\\C\\Data\\report.txt>C:\\Data\\report (2).txt",
                                        "E5\\C\\Data\\other.txt>C:\\Data\\other.txt"}));

    // What comes inside a whole folder cannot be replaced: it moves with it.
    TOneMove FolderNewer;
    FolderNewer.Entries = {{{"E6", {}}, Tree({"C\\Data\\report.txt", "C\\Data\\other.txt"}), 6},
                           {{"E5", {}}, Tree({"C\\Data\\report.txt"}), 5}};
    EXPECT_EQ(Pairs(FolderNewer.Settle(TConflictChoice::ccReplace)),
              std::vector<std::string>{"E6\\C\\Data>C:\\Data"});
    ASSERT_EQ(FolderNewer.Asked.size(), 1u);
    EXPECT_FALSE(FolderNewer.Asked[0].ReplaceOffered);
    EXPECT_EQ(Pairs(FolderNewer.Settle(TConflictChoice::ccKeepBoth)),
              (std::vector<std::string>{"E6\\C\\Data>C:\\Data",
                                        "E5\\C\\Data\\report.txt>C:\\Data\\report (2).txt"}));

    TOneMove Disk;
    Disk.Origins = {{"C:\\Data", Dir},
                    {"C:\\Data\\report.txt", File},
                    {"C:\\Data\\Dir", Dir},
                    {"C:\\Data\\Dir (2)", Dir}};
    Disk.Entries = {{{"E5", {}}, Tree({"C\\Data\\report.txt", "C\\Data\\Dir"}), 5}};
    const TSettledMove Replaced = Disk.Settle(TConflictChoice::ccReplace, true);
    EXPECT_EQ(Pairs(Replaced),
              std::vector<std::string>{"E5\\C\\Data\\report.txt>C:\\Data\\report.txt"});
    EXPECT_EQ(Replaced.PutAside, std::vector<std::string>{"C:\\Data\\report.txt"});
    // The file that meets a folder is asked on its own; for all stops there.
    ASSERT_EQ(Disk.Asked.size(), 2u);
    EXPECT_EQ(Disk.Asked[0].Following, 1u);
    EXPECT_FALSE(Disk.Asked[1].ReplaceOffered);
    EXPECT_EQ(Disk.Asked[1].Standing.Kind, Dir);
    EXPECT_EQ(Pairs(Disk.Settle(TConflictChoice::ccKeepBoth, true)),
              (std::vector<std::string>{"E5\\C\\Data\\report.txt>C:\\Data\\report (2).txt",
                                        "E5\\C\\Data\\Dir>C:\\Data\\Dir (3)"}));
    EXPECT_EQ(Disk.Asked.size(), 3u);
    // The question names the place Keep Both then takes.
    EXPECT_EQ(Disk.Asked[1].KeepBothDestination, "C:\\Data\\Dir (3)");
    EXPECT_EQ(Disk.Asked[2].KeepBothDestination, "C:\\Data\\report (2).txt");
}

// Generated: random entries over few colliding names, random disks and
// answers. However answered, no two pairs aim at one path, none aims at or
// below anything that stands there unless it went aside, and every pair
// either moves or stays.
TEST(Engine_takeback_PlanAsOne, GeneratedEntriesNeverAimTwoPairsAtOnePlace) {
    // Entries of few names that collide: as files, as folders, inside each other.
    const std::vector<std::vector<std::string>> Shapes{
        {"C\\A\\x.txt"},         {"C\\A\\x.txt", "C\\A\\y\\x.txt"}, {"C\\A\\x.txt\\z.txt"},
        {"C\\A\\y", "C\\b.txt"}, {"C\\b.txt", "C\\A\\y\\"},         {"C\\b.txt\\x.txt"}};
    std::uint32_t Seed = 20261208;
    const auto Next = [&Seed](std::uint32_t Below) {
        Seed = Seed * 1103515245u + 12345u;
        return (Seed >> 16) % Below;
    };
    for (int Round = 0; Round < 500; ++Round) {
        TOneMove Move;
        for (const char* Path : {"C:\\A", "C:\\A\\x.txt", "C:\\b.txt", "C:\\A\\y"})
            if (Next(2))
                Move.Origins[Path] = std::string(Path).find('.') == std::string::npos ? Dir : File;
        if (Move.Origins.count("C:\\A") == 0) {
            Move.Origins.erase("C:\\A\\x.txt");
            Move.Origins.erase("C:\\A\\y");
        }
        const std::size_t Count = 1 + Next(4);
        for (std::size_t Index = 0; Index < Count; ++Index)
            Move.Entries.push_back({{"E" + std::to_string(Index + 1), {}},
                                    Tree(Shapes[Next(static_cast<std::uint32_t>(Shapes.size()))]),
                                    static_cast<std::uint64_t>(Next(3))});
        const TConflictChoice Choice = static_cast<TConflictChoice>(Next(3));
        const TSettledMove Settled = Move.Settle(Choice, Next(2) == 0);
        std::set<std::string> Aimed;
        for (std::size_t Index = 0; Index < Settled.Destinations.size(); ++Index) {
            const std::string& Destination = Settled.Destinations[Index];
            EXPECT_TRUE(Aimed.insert(Key(Destination)).second) << Round << " " << Destination;
            const bool Aside = std::find(Settled.PutAside.begin(), Settled.PutAside.end(),
                                         Destination) != Settled.PutAside.end();
            EXPECT_TRUE(Aside || Move.Origins.count(Destination) == 0)
                << Round << " " << Destination;
            // Below another pair's folder only where that folder holds nothing of its name.
            for (std::size_t Outer = 0; Outer < Settled.Destinations.size(); ++Outer) {
                const std::string Prefix = Settled.Destinations[Outer] + "\\";
                if (Key(Destination).compare(0, Prefix.size(), Key(Prefix)) != 0)
                    continue;
                const std::string& Source = Settled.Sources[Outer];
                const TEntryNode* Folder = nullptr;
                for (const TEntryToPlan& Entry : Move.Entries)
                    if (Source.compare(0, Entry.Selection.EntryPath.size() + 1,
                                       Entry.Selection.EntryPath + "\\") == 0)
                        Folder = Engine_takeback::FindNode(
                            Entry.Tree, Source.substr(Entry.Selection.EntryPath.size() + 1));
                ASSERT_NE(Folder, nullptr) << Round;
                EXPECT_EQ(Engine_takeback::FindNode(*Folder, Destination.substr(Prefix.size())),
                          nullptr)
                    << Round << " " << Destination;
            }
        }
        EXPECT_EQ(Settled.Sources.size() + Settled.Stayed, Move.Plan.Sources.size()) << Round;
    }
}

#ifdef _WIN32

#include "app/App_bin.h"
#include "app/App_guarddialog.h"
#include "engine/Engine_catalog.h"
#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "res/resource.h"
#include "tests/PortableSupport.h"
#include "tests/ProgramSupport.h"
#include "tests/TestSupport.h"
#include "vek/Vek_file.h"
#include "vek/Vek_sync.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <stdexcept>

using Engine_takeback::TTakeBackTask;
using PortableSupport::FailureOf;
using ProgramSupport::THeldFile;
using TestSupport::FilePrint;
using TestSupport::InEntry;
using TestSupport::LongPath;
using TestSupport::OurBoxes;
using TestSupport::TBoxRecorder;
using TestSupport::TTempDir;
using TestSupport::TTestTakeBackHost;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

std::vector<std::string> Minus(std::vector<std::string> All, const std::string& Line) {
    const auto Found = std::find(All.begin(), All.end(), Line);
    if (Found != All.end())
        All.erase(Found);
    return All;
}

// A drive letter that names no drive here.
char MissingDrive() {
    const DWORD Drives = GetLogicalDrives();
    for (char Letter = 'Q'; Letter <= 'Y'; ++Letter) {
        if (!(Drives & (1u << (Letter - 'A'))))
            return Letter;
    }
    throw std::runtime_error("every drive letter is taken");
}

class Engine_takeback_Disk : public testing::Test {
protected:
    void SetUp() override { Bin.SetFixedLocation(BinDirectory()); }

    std::string BinDirectory() const { return BinRoot / "Bin"; }
    std::string Entry(const std::string& Name) const { return BinDirectory() + "\\" + Name; }

    static std::string MakeFile(const std::string& Path, const std::string& Bytes) {
        Vek_file::MakeDirectory(Vek_file::ExtractDirectory(Path));
        TestSupport::WriteFile(Path, Bytes);
        return Path;
    }

    std::vector<std::string> Print() const { return FilePrint({C, D, BinDirectory()}); }

    // The contents of every file on C:, D: and in the bin, wherever it is,
    // sorted: what a take back may move but never lose. Records aside.
    std::vector<std::string> Contents() const {
        std::vector<std::string> All;
        for (const std::string& Root : {C, D, BinDirectory()})
            for (const std::string& Path : TestSupport::ListTree(Root))
                if (Path.back() != '\\' &&
                    !Engine_record::IsRecordFile(Path.substr(Path.rfind('\\') + 1)))
                    All.push_back(TestSupport::ReadFile(Root + "\\" + Path));
        std::sort(All.begin(), All.end());
        return All;
    }

    // A path as a record and a selection name it: below the entry.
    static std::string Below(const std::string& Path) { return Path.substr(0, 1) + Path.substr(2); }

    // The items of each section of the entry's record, each section after
    // its state; "none" without a record.
    std::vector<std::string> RecordOf(const std::string& Name) const {
        Engine_record::TRecord Record;
        if (!Engine_record::ReadRecord(Entry(Name), Record))
            return {"none"};
        std::vector<std::string> Lines;
        for (const Engine_record::TPutSection& Section : Record.Puts) {
            Lines.push_back(Section.State == Engine_record::TPutState::psDone ? "done"
                                                                              : "unfinished");
            for (const std::string& Path : Engine_record::ItemPaths(Section.Tree))
                Lines.push_back(Engine_record::FromRecordText(Path));
        }
        return Lines;
    }

    Engine_takeback::TTakeBackSelection LastPut() const {
        Engine_takeback::TTakeBackSelection Last;
        EXPECT_TRUE(Engine_takeback::FindLastPut(BinDirectory(), Last));
        return Last;
    }

    void TakeBack(const std::vector<std::string>& Entries) {
        TTakeBackTask Task(Engine_takeback::WholeEntries(Entries), Host);
        Task.Execute();
    }

    // A take back whose conflicts Answer settles, its question kept; what a
    // Replace sets aside goes into Bin.
    TTestTakeBackHost Answering(TTestTakeBackHost::TAnswer Answer) {
        return TTestTakeBackHost(&Bin, std::move(Answer));
    }

    static TTestTakeBackHost::TAnswer Always(TConflictChoice Choice, bool ForAll = false) {
        return [Choice, ForAll](const TConflictQuestion&) {
            return TConflictAnswer{Choice, ForAll};
        };
    }

    TTempDir OnC;
    TTempDir OnD{"D:\\"};
    TTempDir BinRoot;
    const std::string C = LongPath(OnC.Path());
    const std::string D = LongPath(OnD.Path());
    App_bin::TBin Bin;
    TTestTakeBackHost Host;
};

} // namespace

TEST_F(Engine_takeback_Disk, RoundTripRestoresEveryShapeOfAPut) {
    // Files from two drives, a directory put whole, a file whose folder
    // stays, and a folder chain that is removed after the put.
    MakeFile(C + "\\Whole\\a.txt", "a");
    MakeFile(C + "\\Whole\\Sub\\deep.bin", std::string("\0\1\2\xFF", 4));
    MakeFile(C + "\\Keep\\x.txt", "x in a kept folder");
    MakeFile(C + "\\Keep\\stays.txt", "never put");
    MakeFile(C + "\\Chain\\A\\B\\c.txt", std::string(70000, 'c'));
    MakeFile(D + "\\y.txt", "y on D");
    const std::vector<std::string> Before = Print();

    TBoxRecorder Boxes;
    Bin.Put({C + "\\Whole", C + "\\Keep\\x.txt", C + "\\Chain\\A\\B\\c.txt", D + "\\y.txt"});
    TestSupport::RemoveTree(C + "\\Chain");
    ASSERT_FALSE(TestSupport::Exists(C + "\\Whole"));
    ASSERT_FALSE(TestSupport::Exists(C + "\\Chain"));

    TTakeBackTask Task(Engine_takeback::WholeEntries({Entry("Tovel #0000")}), Host);
    const TTakeBackPlan& Plan = Task.Plan();
    EXPECT_EQ(Plan.Sources,
              (std::vector<std::string>{InEntry(Entry("Tovel #0000"), C) + "\\Chain",
                                        InEntry(Entry("Tovel #0000"), C) + "\\Keep\\x.txt",
                                        InEntry(Entry("Tovel #0000"), C) + "\\Whole",
                                        InEntry(Entry("Tovel #0000"), D) + "\\y.txt"}));
    Task.Execute();

    EXPECT_EQ(Print(), Before);
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Chain\\A\\B\\c.txt"), std::string(70000, 'c'));
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Keep\\x.txt"), "x in a kept folder");
    EXPECT_EQ(TestSupport::ReadFile(D + "\\y.txt"), "y on D");
    EXPECT_TRUE(TestSupport::Exists(C + "\\Whole\\Sub\\deep.bin"));
    // The emptied entry is gone; the index never steps back.
    EXPECT_FALSE(TestSupport::Exists(Entry("Tovel #0000")));
    EXPECT_EQ(Bin.EntryName().Index(), 1);
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
    ASSERT_NE(App_guarddialog::AppGuardDialog, nullptr);
    EXPECT_FALSE(App_guarddialog::AppGuardDialog->OnExecute);
}

TEST_F(Engine_takeback_Disk, WhatIsNoItemOfADriveStaysWithTheEntry) {
    MakeFile(C + "\\x.txt", "x");
    Bin.Put({C + "\\x.txt"});
    MakeFile(Entry("Tovel #0000") + "\\notes.txt", "not from a drive");
    MakeFile(Entry("Tovel #0000") + "\\CD\\y.txt", "no drive letter");
    const std::vector<std::string> Before = Print();
    TBoxRecorder Boxes;
    TakeBack({Entry("Tovel #0000")});
    EXPECT_EQ(Print(), Before);
    EXPECT_EQ(TestSupport::ReadFile(C + "\\x.txt"), "x");
    EXPECT_EQ(TestSupport::ListTree(Entry("Tovel #0000")),
              (std::vector<std::string>{"CD\\", "CD\\y.txt", "notes.txt"}));
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

// Every conflict is answered before the move: Replace puts what stands
// there into the bin as a put of its own, Keep Both brings the item beside
// it, Skip leaves it in its entry. Nothing is gone afterwards: every file
// that was there before is still somewhere.
TEST_F(Engine_takeback_Disk, EveryAnswerToAConflictKeepsBothVersions) {
    MakeFile(C + "\\replace.txt", "old replace");
    MakeFile(C + "\\skip.txt", "old skip");
    MakeFile(C + "\\both.txt", "old both");
    MakeFile(C + "\\free.txt", "free");
    Bin.Put({C + "\\replace.txt", C + "\\skip.txt", C + "\\both.txt", C + "\\free.txt"});
    MakeFile(C + "\\replace.txt", "newer replace");
    MakeFile(C + "\\skip.txt", "newer skip");
    MakeFile(C + "\\both.txt", "newer both");
    const std::vector<std::string> Before = Contents();

    TTestTakeBackHost Answers = Answering([](const TConflictQuestion& Question) {
        const std::string& At = Question.Destination;
        return TConflictAnswer{At.find("replace") != std::string::npos ? TConflictChoice::ccReplace
                               : At.find("skip") != std::string::npos  ? TConflictChoice::ccSkip
                                                                      : TConflictChoice::ccKeepBoth,
                               false};
    });
    TBoxRecorder Boxes;
    TTakeBackTask Task(Engine_takeback::WholeEntries({Entry("Tovel #0000")}), Answers);
    Task.Execute();
    // The report reads each outcome from the disk.
    std::vector<std::string> Report;
    for (const Engine_takeback::TItemOutcome& Outcome : Task.Outcomes())
        Report.push_back(Engine_takeback::OutcomeText(Outcome));
    EXPECT_EQ(Report,
              (std::vector<std::string>{
                  "Came back as \"" + C + "\\both (2).txt\": " + C + "\\both.txt",
                  "Came back: " + C + "\\free.txt",
                  "Came back, what stood there went into \"Tovel #0001\": " + C + "\\replace.txt",
                  "Skipped: " + C + "\\skip.txt"}));
    EXPECT_EQ(Engine_takeback::OutcomeSummary(Task.Outcomes()),
              "3 items came back (1 under a new name); 1 skipped.");
    EXPECT_EQ(Answers.Asked.size(), 3u);
    for (const TConflictQuestion& Question : Answers.Asked) {
        EXPECT_TRUE(Question.ReplaceOffered);
        EXPECT_FALSE(Question.StandingComesBack);
        EXPECT_EQ(Question.Standing.Kind, TOriginKind::okFile);
        EXPECT_EQ(Question.Standing.Size, Question.Coming.Size + 2);
        EXPECT_NE(Question.Standing.LastWritten, 0u);
    }
    EXPECT_EQ(Answers.Asked[0].Following, 2u);
    EXPECT_EQ(TestSupport::ReadFile(C + "\\free.txt"), "free");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\replace.txt"), "old replace");
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0001"), C) + "\\replace.txt"),
              "newer replace");
    EXPECT_EQ(RecordOf("Tovel #0001"),
              (std::vector<std::string>{"done", Below(C) + "\\replace.txt"}));
    EXPECT_EQ(TestSupport::ReadFile(C + "\\skip.txt"), "newer skip");
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), C) + "\\skip.txt"), "old skip");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\both.txt"), "newer both");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\both (2).txt"), "old both");
    EXPECT_EQ(Contents(), Before);
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

// A file whose place is a folder now, and a folder whose place is a file:
// only Keep Both and Skip are offered, and the folder's own file of the
// item's name stays untouched.
TEST_F(Engine_takeback_Disk, FileMeetsFolderAndFolderMeetsFileComeBackBeside) {
    MakeFile(C + "\\report.txt", "the old report");
    MakeFile(C + "\\Data\\a.txt", "a");
    Bin.Put({C + "\\report.txt", C + "\\Data"});
    MakeFile(C + "\\report.txt\\report.txt", "inside the new folder");
    MakeFile(C + "\\Data", "a file now");
    const std::vector<std::string> Before = Contents();
    TTestTakeBackHost Skips = Answering(Always(TConflictChoice::ccSkip, true));
    TTakeBackTask(Engine_takeback::WholeEntries({Entry("Tovel #0000")}), Skips).Execute();
    // One answer for both.
    ASSERT_EQ(Skips.Asked.size(), 1u);
    EXPECT_FALSE(Skips.Asked[0].ReplaceOffered);
    EXPECT_EQ(Skips.Asked[0].Following, 1u);
    EXPECT_EQ(TestSupport::ReadFile(C + "\\report.txt\\report.txt"), "inside the new folder");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data"), "a file now");
    EXPECT_EQ(Contents(), Before);
    EXPECT_FALSE(TestSupport::Exists(Entry("Tovel #0001")));

    TTestTakeBackHost Beside(nullptr, Always(TConflictChoice::ccKeepBoth));
    TTakeBackTask(Engine_takeback::WholeEntries({Entry("Tovel #0000")}), Beside).Execute();
    EXPECT_EQ(TestSupport::ReadFile(C + "\\report (2).txt"), "the old report");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data (2)\\a.txt"), "a");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\report.txt\\report.txt"), "inside the new folder");
    EXPECT_EQ(Contents(), Before);
    EXPECT_FALSE(TestSupport::Exists(Entry("Tovel #0000")));
}

// Two versions of one path in two entries, chosen together, and a folder of
// one entry with a file below it in another: the newest lands at the place,
// the older beside it, whichever way round the entries were chosen.
TEST_F(Engine_takeback_Disk, SeveralEntriesOfOnePathAreTakenBackAsOne) {
    MakeFile(C + "\\Data\\report.txt", "version 1");
    Bin.Put({C + "\\Data\\report.txt"});
    MakeFile(C + "\\Data\\report.txt", "version 2");
    Bin.Put({C + "\\Data\\report.txt"});
    MakeFile(C + "\\Data\\report.txt", "version 3");
    MakeFile(C + "\\Data\\other.txt", "other 3");
    Bin.Put({C + "\\Data"});
    MakeFile(C + "\\Data\\report.txt", "version 4");
    Bin.Put({C + "\\Data\\report.txt"});
    ASSERT_FALSE(TestSupport::Exists(C + "\\Data\\report.txt"));
    const std::vector<std::string> Before = Contents();
    TTestTakeBackHost Both(nullptr, Always(TConflictChoice::ccKeepBoth));
    TBoxRecorder Boxes;
    TTakeBackTask(Engine_takeback::WholeEntries({Entry("Tovel #0000"), Entry("Tovel #0002"),
                                                 Entry("Tovel #0003"), Entry("Tovel #0001")}),
                  Both)
        .Execute();
    EXPECT_EQ(Both.Asked.size(), 3u);
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data\\report.txt"), "version 4");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data\\report (2).txt"), "version 3");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data\\report (3).txt"), "version 2");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data\\report (4).txt"), "version 1");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data\\other.txt"), "other 3");
    EXPECT_EQ(Contents(), Before);
    EXPECT_TRUE(TestSupport::ListTree(BinDirectory()).empty());

    // The newer entry holds the whole folder: it comes back first, as it
    // is, and the older file lands inside it, beside its namesake.
    Bin.Put({C + "\\Data\\report.txt"});
    MakeFile(C + "\\Data\\report.txt", "version 5");
    const std::vector<std::string> WithFifth = Contents();
    Bin.Put({C + "\\Data"});
    ASSERT_FALSE(TestSupport::Exists(C + "\\Data"));
    TTestTakeBackHost Inside(nullptr, Always(TConflictChoice::ccKeepBoth));
    TTakeBackTask(Engine_takeback::WholeEntries({Entry("Tovel #0004"), Entry("Tovel #0005")}),
                  Inside)
        .Execute();
    ASSERT_EQ(Inside.Asked.size(), 1u);
    EXPECT_TRUE(Inside.Asked[0].StandingComesBack);
    EXPECT_FALSE(Inside.Asked[0].ReplaceOffered);
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data\\report.txt"), "version 5");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data\\report (5).txt"), "version 4");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Data\\report (2).txt"), "version 3");
    EXPECT_EQ(Contents(), WithFifth);
    EXPECT_TRUE(TestSupport::ListTree(BinDirectory()).empty());
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

// Escape at the real conflict question cancels the whole take back before
// anything moves, also the items that met no conflict.
TEST_F(Engine_takeback_Disk, EscapeAtTheConflictQuestionMovesNothing) {
    MakeFile(C + "\\a.txt", "old a");
    MakeFile(C + "\\b.txt", "b");
    Bin.Put({C + "\\a.txt", C + "\\b.txt"});
    MakeFile(C + "\\a.txt", "new a");
    const std::vector<std::string> Before = Print();
    std::mutex Lock;
    std::vector<std::string> Asked;
    TestSupport::TDialogWatcher Watcher([&Lock, &Asked](HWND Dialog) {
        {
            std::lock_guard<std::mutex> Guard(Lock);
            Asked.push_back(TestSupport::WindowText(Dialog) + "|" +
                            TestSupport::WindowText(GetDlgItem(Dialog, IDC_CONFLICT_TEXT)));
        }
        PostMessageA(Dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(FailureOf([&] { TakeBack({Entry("Tovel #0000")}); }), "EAbort");
    {
        std::lock_guard<std::mutex> Guard(Lock);
        ASSERT_EQ(Asked.size(), 1u);
        EXPECT_EQ(Asked[0].find("Tovel Bin|\"a.txt\" is already in \"" + C + "\"."), 0u);
    }
    EXPECT_EQ(Print(), Before);
    EXPECT_FALSE(TestSupport::Exists(C + "\\b.txt"));
}

// The user saves over an original place while the take back asks: before
// the question is answered, and while a conflict is open. Each newcomer is
// asked about like any conflict, the answers given stand, and no version
// of any file is lost.
TEST_F(Engine_takeback_Disk, WhatAppearsWhileTheTakeBackAsksIsAConflictToo) {
    for (const char* Name : {"a.txt", "b.txt", "c.txt"})
        MakeFile(C + "\\" + Name, std::string("old ") + Name);
    Bin.Put({C + "\\a.txt", C + "\\b.txt", C + "\\c.txt"});
    TTestTakeBackHost Answers = Answering([this](const TConflictQuestion& Question) {
        if (Question.Destination == C + "\\a.txt") {
            MakeFile(C + "\\b.txt", "new b, saved during the question");
            return TConflictAnswer{TConflictChoice::ccKeepBoth, false};
        }
        return TConflictAnswer{TConflictChoice::ccReplace, false};
    });
    TTakeBackTask Task(Engine_takeback::WholeEntries({Entry("Tovel #0000")}), Answers);
    EXPECT_TRUE(Task.Plan().Conflicts.empty());
    MakeFile(C + "\\a.txt", "new a, saved before Yes");
    Task.Execute();
    std::vector<std::string> Asked;
    for (const TConflictQuestion& Question : Answers.Asked)
        Asked.push_back(Question.Destination);
    EXPECT_EQ(Asked, (std::vector<std::string>{C + "\\a.txt", C + "\\b.txt"}));
    EXPECT_EQ(TestSupport::ReadFile(C + "\\a.txt"), "new a, saved before Yes");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\a (2).txt"), "old a.txt");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\b.txt"), "old b.txt");
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0001"), C) + "\\b.txt"),
              "new b, saved during the question");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\c.txt"), "old c.txt");
    EXPECT_EQ(Engine_takeback::OutcomeSummary(Task.Outcomes()),
              "3 items came back (1 under a new name).");
}

// Before anything moves: an entry that another command works on, and a
// target folder inside the bin, where the clean-up would take the user's
// items for an entry.
TEST_F(Engine_takeback_Disk, LockedEntriesAndTargetsInTheBinAreRefused) {
    MakeFile(C + "\\x.txt", "x");
    Bin.Put({C + "\\x.txt"});
    const std::vector<std::string> Before = Print();
    {
        TestSupport::TLockedElsewhere Busy(Entry("Tovel #0000"));
        EXPECT_EQ(FailureOf([&] { TakeBack({Entry("Tovel #0000")}); }),
                  "The program cannot take back from \"Tovel #0000\": another command is "
                  "working on it.");
    }
    for (const std::string& Target : {BinDirectory(), Entry("Tovel #0000") + "\\C"}) {
        TTakeBackTask Task(Engine_takeback::WholeEntries({Entry("Tovel #0000")}), Host, Target);
        EXPECT_EQ(FailureOf([&] { Task.Execute(); }), "The program cannot take back into the bin.")
            << Target;
    }
    EXPECT_EQ(Print(), Before);
    TakeBack({Entry("Tovel #0000")});
    EXPECT_EQ(TestSupport::ReadFile(C + "\\x.txt"), "x");
}

TEST_F(Engine_takeback_Disk, ItemsOfAMissingDriveStayAndAreCounted) {
    const char Drive = MissingDrive();
    const std::string Letter(1, Drive);
    MakeFile(C + "\\x.txt", "x");
    Bin.Put({C + "\\x.txt"});
    MakeFile(Entry("Tovel #0000") + "\\" + Letter + "\\Data\\a.txt", "a");
    MakeFile(Entry("Tovel #0000") + "\\" + Letter + "\\b.txt", "b");
    const std::vector<std::string> Before = Print();
    TBoxRecorder Boxes;
    EXPECT_EQ(FailureOf([&] { TakeBack({Entry("Tovel #0000")}); }),
              "The program could not take back 2 items: the drive " + Letter +
                  ": is not available.");
    EXPECT_EQ(Print(), Before);
    EXPECT_EQ(TestSupport::ReadFile(C + "\\x.txt"), "x");
    EXPECT_EQ(TestSupport::ListTree(Entry("Tovel #0000")),
              (std::vector<std::string>{Letter + "\\", Letter + "\\Data\\",
                                        Letter + "\\Data\\a.txt", Letter + "\\b.txt"}));
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

TEST_F(Engine_takeback_Disk, HeldOpenFileStaysAndTheOthersComeBack) {
    MakeFile(C + "\\held.txt", "held");
    MakeFile(C + "\\free1.txt", "free 1");
    MakeFile(C + "\\free2.txt", "free 2");
    Bin.Put({C + "\\held.txt", C + "\\free1.txt", C + "\\free2.txt"});
    const std::vector<std::string> Before = Print();
    THeldFile Held(InEntry(Entry("Tovel #0000"), C) + "\\held.txt");
    ASSERT_TRUE(Held.IsReady());
    TBoxRecorder Boxes;
    TakeBack({Entry("Tovel #0000")});
    Held.Release();
    EXPECT_EQ(Print(), Before) << testing::PrintToString(Boxes.Boxes());
    EXPECT_EQ(TestSupport::ReadFile(C + "\\free1.txt"), "free 1");
    EXPECT_EQ(TestSupport::ReadFile(C + "\\free2.txt"), "free 2");
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), C) + "\\held.txt"), "held");
    EXPECT_FALSE(TestSupport::Exists(C + "\\held.txt"));
}

TEST_F(Engine_takeback_Disk, TooLongPathRefusesBeforeAnythingMoves) {
    MakeFile(C + "\\short.txt", "short");
    Bin.Put({C + "\\short.txt"});
    // A file whose path in the entry reaches the limit; only the wide
    // functions with the long-path prefix can make it.
    const std::string Base = InEntry(Entry("Tovel #0000"), C);
    const std::size_t NameLength = 262 - Base.size();
    ASSERT_LE(NameLength, 255u);
    const std::string Long = Base + "\\" + std::string(NameLength, 'n');
    const std::wstring Wide = L"\\\\?\\" + std::wstring(Long.begin(), Long.end());
    const HANDLE File = CreateFileW(Wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    CloseHandle(File);

    const std::vector<std::string> Before = FilePrint({C, D});
    TBoxRecorder Boxes;
    EXPECT_EQ(FailureOf([&] { TakeBack({Entry("Tovel #0000")}); }),
              "The program cannot take back a path that is too long.");
    EXPECT_EQ(OurBoxes(Boxes.Boxes()), std::vector<std::string>{"Too long: [" + Long + "]"});
    EXPECT_EQ(FilePrint({C, D}), Before);
    EXPECT_EQ(TestSupport::ReadFile(Base + "\\short.txt"), "short");
    EXPECT_NE(GetFileAttributesW(Wide.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileW(Wide.c_str());
}

// Under Wine the Recycle Bin is the desktop's trash folder in the home
// directory; an entry name of this run's own keeps clear of what lies there.
TEST_F(Engine_takeback_Disk, DiscardSendsTheEntryToTheRecycleBinAndTouchesNothingElse) {
    const std::string Trash = TestSupport::TrashDirectory();
    if (Trash.empty())
        GTEST_SKIP() << "no Wine home directory whose trash could be looked into";
    const std::string Name = "Tovel discard " + std::to_string(GetCurrentProcessId()) + " #0";
    Bin.EntryName().SetPrefix("Tovel discard " + std::to_string(GetCurrentProcessId()) + " #");
    Bin.EntryName().ResetIndex(0, 9, 0);
    MakeFile(C + "\\gone.txt", "to the recycle bin");
    MakeFile(C + "\\Dir\\inner.txt", "inner");
    MakeFile(C + "\\kept.txt", "kept");
    Bin.Put({C + "\\gone.txt", C + "\\Dir"});
    Bin.Put({C + "\\kept.txt"});
    const std::vector<std::string> Discarded = FilePrint({Entry(Name)});
    const std::vector<std::string> Others = Minus(Minus(Print(), Discarded[0]), Discarded[1]);

    // No to the question: nothing happens.
    App_binhandler::TBinHandler Handler;
    {
        TBoxRecorder Boxes(IDNO);
        EXPECT_EQ(FailureOf([&] { Handler.DiscardEntries({Entry(Name)}); }), "EAbort");
        EXPECT_EQ(OurBoxes(Boxes.Boxes()),
                  std::vector<std::string>{"Discard \"" + Name + "\" into the Recycle Bin?"});
        EXPECT_EQ(FilePrint({Entry(Name)}), Discarded);
    }
    TBoxRecorder Boxes(IDYES);
    Handler.DiscardEntries({Entry(Name)});
    // The program's question, and no other box: the shell asks nothing more.
    EXPECT_EQ(Boxes.Boxes().size(), 1u) << testing::PrintToString(Boxes.Boxes());
    EXPECT_FALSE(TestSupport::Exists(Entry(Name)));
    EXPECT_EQ(Print(), Others);
    const std::string InTrash = Trash + "\\files\\" + Name;
    EXPECT_EQ(FilePrint({InTrash}), Discarded);
    TestSupport::RemoveTree(InTrash);
    DeleteFileA((Trash + "\\info\\" + Name + ".trashinfo").c_str());
}

// Two puts share an entry once the index wrapped; the last put is the
// newest section of any record, or an entry without one that is newer.
TEST_F(Engine_takeback_Disk, LastPutFollowsTheRecordsInAWrappedEntryAndAMixedBin) {
    Bin.EntryName().ResetIndex(0, 0, 0);
    MakeFile(C + "\\first.txt", "first");
    MakeFile(C + "\\Dir\\second.txt", "second");
    MakeFile(C + "\\third.txt", "third");
    TBoxRecorder Boxes;
    Bin.Put({C + "\\first.txt"});
    Bin.Put({C + "\\Dir"});
    EXPECT_EQ(RecordOf("Tovel #0"), (std::vector<std::string>{"done", Below(C) + "\\first.txt",
                                                              "done", Below(C) + "\\Dir"}));
    Engine_takeback::TTakeBackSelection Last = LastPut();
    EXPECT_EQ(Last.EntryPath, Entry("Tovel #0"));
    EXPECT_EQ(Last.Items, std::vector<std::string>{Below(C) + "\\Dir"});
    TTakeBackTask({Last}, Host).Execute();
    EXPECT_EQ(TestSupport::ReadFile(C + "\\Dir\\second.txt"), "second");
    EXPECT_FALSE(TestSupport::Exists(C + "\\first.txt"));
    EXPECT_EQ(RecordOf("Tovel #0"), (std::vector<std::string>{"done", Below(C) + "\\first.txt"}));

    // An entry made by hand after the put is newer; a put after it newer still.
    MakeFile(Entry("By hand") + "\\" + Below(C) + "\\hand.txt", "hand");
    const std::vector<std::string> Before = Print();
    const std::uint64_t Made = Engine_record::CurrentTime();
    ASSERT_TRUE(ProgramSupport::WaitFor([Made] { return Engine_record::CurrentTime() > Made; }));
    EXPECT_EQ(LastPut().EntryPath, Entry("By hand"));
    EXPECT_TRUE(LastPut().Items.empty());
    Bin.Put({C + "\\third.txt"});
    Last = LastPut();
    EXPECT_EQ(Last.EntryPath, Entry("Tovel #0"));
    EXPECT_EQ(Last.Items, std::vector<std::string>{Below(C) + "\\third.txt"});
    TTakeBackTask({Last}, Host).Execute();
    EXPECT_EQ(TestSupport::ReadFile(C + "\\third.txt"), "third");
    for (const char* Expected : {"By hand", "Tovel #0"}) {
        Last = LastPut();
        EXPECT_EQ(Last.EntryPath, Entry(Expected));
        TTakeBackTask({Last}, Host).Execute();
    }
    // Every entry emptied went, its record with it; nothing is lost.
    EXPECT_TRUE(TestSupport::ListTree(BinDirectory()).empty());
    EXPECT_EQ(Print(), Before);
    EXPECT_EQ(TestSupport::ReadFile(C + "\\hand.txt"), "hand");
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

// Single items of an entry, to their places or into a folder: what is not
// chosen stays, and the record follows what left.
TEST_F(Engine_takeback_Disk, SelectedItemsComeBackAloneAndTheRecordFollows) {
    MakeFile(C + "\\Dir\\a.txt", "a");
    MakeFile(C + "\\Dir\\Sub\\b.txt", "b");
    MakeFile(C + "\\one.txt", "one");
    MakeFile(C + "\\A\\same.txt", "same A");
    MakeFile(C + "\\B\\same.txt", "same B");
    const std::string Target = C + "\\Target";
    MakeFile(Target + "\\one.txt", "in the way");
    const std::vector<std::string> Before = Print();
    TBoxRecorder Boxes(IDNO);
    Bin.Put({C + "\\Dir", C + "\\one.txt", C + "\\A\\same.txt", C + "\\B\\same.txt"});
    const std::string InC = Below(C);

    TTakeBackTask({{Entry("Tovel #0000"), {InC + "\\one.txt", InC + "\\gone.txt"}}}, Host)
        .Execute();
    EXPECT_EQ(TestSupport::ReadFile(C + "\\one.txt"), "one");
    EXPECT_EQ(RecordOf("Tovel #0000"),
              (std::vector<std::string>{"done", InC + "\\A\\same.txt", InC + "\\B\\same.txt",
                                        InC + "\\Dir"}));
    // A part of an item, into a folder.
    TTakeBackTask({{Entry("Tovel #0000"), {InC + "\\Dir\\Sub\\b.txt"}}}, Host, Target).Execute();
    EXPECT_EQ(TestSupport::ReadFile(Target + "\\b.txt"), "b");
    // The whole entry into the folder: its record's items, one name once.
    TTakeBackTask Whole(Engine_takeback::WholeEntries({Entry("Tovel #0000")}), Host, Target);
    EXPECT_EQ(FailureOf([&] { Whole.Execute(); }),
              "The program could not take back 1 item: items of the same name go to that folder.");
    EXPECT_EQ(TestSupport::ReadFile(Target + "\\same.txt"), "same A");
    EXPECT_EQ(TestSupport::ReadFile(Target + "\\Dir\\a.txt"), "a");
    EXPECT_EQ(RecordOf("Tovel #0000"), (std::vector<std::string>{"done", InC + "\\B\\same.txt"}));
    const std::string Left = Entry("Tovel #0000") + "\\" + InC;
    EXPECT_EQ(TestSupport::ListTree(Left), (std::vector<std::string>{"B\\", "B\\same.txt"}));
    EXPECT_TRUE(TestSupport::Exists(Engine_record::RecordPath(Entry("Tovel #0000"))));
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
    EXPECT_EQ(Print(), Before);
}

// A put whose record stayed begun, and whose put runs no more, is told of
// once, marked, and left where it is; one that another program runs is not.
TEST_F(Engine_takeback_Disk, UnfinishedPutIsToldOnceMarkedAndNothingMoves) {
    MakeFile(C + "\\arrived.txt", "arrived");
    MakeFile(C + "\\running.txt", "running");
    Bin.Put({C + "\\arrived.txt"});
    Bin.Put({C + "\\running.txt"});
    const auto Begun = [this](const std::string& Name, const std::string& Id, std::size_t Items) {
        Engine_record::TRecord Record;
        ASSERT_TRUE(Engine_record::ReadRecord(Entry(Name), Record));
        Record.Puts[0].State = Engine_record::TPutState::psBegun;
        Record.Puts[0].Id = Id;
        Record.Puts[0].Items = Items;
        Engine_record::WriteRecord(Entry(Name), Record);
    };
    const std::string Running = "RUNNING-" + std::to_string(GetCurrentProcessId());
    Vek_sync::TMutex OtherProgram(Engine_record::PutMutexName(Running));
    Begun("Tovel #0000", "GONE-1", 3);
    Begun("Tovel #0001", Running, 1);
    const std::vector<std::string> Before = Print();

    const auto Marks = [this] {
        std::vector<std::string> Marked;
        const Engine_catalog::TListing Listing = Engine_catalog::ListCatalog(BinDirectory());
        for (const auto& Entry : Listing.Catalog.Entries())
            Marked.push_back(Entry.Name + (Entry.Unfinished ? " unfinished" : ""));
        std::sort(Marked.begin(), Marked.end());
        return Marked;
    };
    const std::vector<std::string> Marked{"Tovel #0000 unfinished", "Tovel #0001"};
    EXPECT_EQ(Marks(), Marked);
    const std::vector<Engine_takeback::TUnfinishedPut> Told =
        Engine_takeback::NoticeUnfinishedPuts(BinDirectory());
    EXPECT_EQ(
        Engine_takeback::UnfinishedMessage(Told),
        "The put into \"Tovel #0000\" did not finish: 1 of its 3 items arrived in the entry.");
    EXPECT_TRUE(Engine_takeback::NoticeUnfinishedPuts(BinDirectory()).empty());
    EXPECT_EQ(RecordOf("Tovel #0000"),
              (std::vector<std::string>{"unfinished", Below(C) + "\\arrived.txt"}));
    EXPECT_EQ(Marks(), Marked);
    // The put that still runs is not the last put yet.
    EXPECT_EQ(LastPut().EntryPath, Entry("Tovel #0000"));
    EXPECT_EQ(Print(), Before);
}

#endif
