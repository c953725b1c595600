// The clean-up: the choice of entries as a table of cases and over generated
// bins (these run natively as well), the texts, and under Windows the bin
// read from disk, the start-up run beside a second instance, and that the
// start-up run never deletes for good.
#include "engine/Engine_cleanup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using Engine_cleanup::Day;
using Engine_cleanup::TCleanUpEntry;
using Engine_cleanup::TCleanUpRules;

namespace {

const std::uint64_t MB = 1024 * 1024;
const std::uint64_t Now = 400000 * Day;

// "Name:days ago:size in MB", a "!" at the end for a protected entry.
std::vector<TCleanUpEntry> Bin(const std::vector<std::string>& Rows) {
    std::vector<TCleanUpEntry> Entries;
    for (std::string Row : Rows) {
        TCleanUpEntry Entry;
        Entry.Protected = Row.back() == '!';
        if (Entry.Protected)
            Row.pop_back();
        const std::size_t First = Row.find(':');
        const std::size_t Second = Row.find(':', First + 1);
        Entry.Name = Row.substr(0, First);
        Entry.Path = "C:\\Bin\\" + Entry.Name;
        Entry.Put = Now - static_cast<std::uint64_t>(
                              std::stod(Row.substr(First + 1, Second - First - 1)) * Day);
        Entry.Size = std::stoull(Row.substr(Second + 1)) * MB;
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

TEST(Engine_cleanup_Choice, AgeSizeBothOldestFirstTiesAndProtectedEntries) {
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
        EXPECT_EQ(Names(Engine_cleanup::ChooseEntries(Bin(Case.Bin),
                                                      Rules(Case.Days, Case.Megabytes), Now)),
                  Case.Chosen)
            << Case.What;
}

// Over random bins: what any correct choice must satisfy, whatever its steps.
TEST(Engine_cleanup_Choice, GeneratedBinsKeepTheRules) {
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
        const std::vector<TCleanUpEntry> Chosen = Engine_cleanup::ChooseEntries(Entries, Rule, Now);
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

TEST(Engine_cleanup_Texts, SizesCountsAndMessages) {
    EXPECT_EQ(Engine_cleanup::CleanedUpMessage(3, 1288490189, 0),
              "Cleaned up 3 entries (1.2 GB) into the Recycle Bin.");
    EXPECT_EQ(Engine_cleanup::CleanedUpMessage(1, 2048, 1),
              "Cleaned up 1 entry (2.0 KB) into the Recycle Bin. 1 entry stayed: the Recycle "
              "Bin cannot take it.");
    EXPECT_EQ(Engine_cleanup::CleanedUpMessage(0, 0, 2),
              "Cleaned up 0 entries (0 bytes) into the Recycle Bin. 2 entries stayed: the "
              "Recycle Bin cannot take them.");
    EXPECT_EQ(Engine_cleanup::EmptyBinQuestion(5, 3 * MB),
              "Discard every entry of the bin, 5 entries (3.0 MB), into the Recycle Bin?");
    EXPECT_EQ(Engine_cleanup::FreedText(2, 1536, {".", ","}), "Frees 1,5 KB (2 entries).");
    EXPECT_EQ(Engine_cleanup::FreedText(0, 0), "Nothing to clean up.");
}

#ifdef _WIN32

#include "app/App_bin.h"
#include "app/App_fileoperation.h"
#include "engine/Engine_record.h"
#include "tests/ProgramSupport.h"
#include "tests/TestSupport.h"
#include "vek/Vek_file.h"
#include "vek/Vek_sync.h"

#include <windows.h>
#include <shellapi.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

using TestSupport::FilePrint;
using TestSupport::LongPath;
using TestSupport::TTempDir;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// A start-up run whose Recycle Bin is a stand-in: each path moves into
// Taken, as the Recycle Bin would take it, and each call is counted. Before
// it moves anything it runs Meanwhile, once. A path it cannot move fails
// the call, as the shell's refusal does.
class TTestCleanUp : public Engine_cleanup::TStartUpCleanUp {
public:
    TTestCleanUp(const std::string& Location, const TCleanUpRules& Rules, std::string Taken)
        : TStartUpCleanUp(Location, Rules,
                          [this](const std::vector<std::string>& Paths) { Recycle(Paths); }),
          FTaken(std::move(Taken)) {}
    std::size_t Calls = 0;
    std::function<void()> Meanwhile;

private:
    void Recycle(const std::vector<std::string>& Paths) {
        ++Calls;
        if (Meanwhile)
            std::exchange(Meanwhile, nullptr)();
        for (const std::string& Path : Paths) {
            const std::string Name = Path.substr(Path.rfind('\\') + 1);
            if (!MoveFileA(Path.c_str(), (FTaken + "\\" + Name).c_str()))
                throw Base_system::Exception("The program could not send the items to the "
                                             "Recycle Bin.");
        }
    }

    std::string FTaken;
};

class Engine_cleanup_Disk : public testing::Test {
protected:
    void SetUp() override {
        Bin.SetFixedLocation(BinDirectory());
        Vek_file::MakeDirectory(Taken.Path());
    }

    std::string BinDirectory() const { return BinRoot / "Bin"; }
    std::string Entry(const std::string& Name) const { return BinDirectory() + "\\" + Name; }

    // Puts a file of Size bytes as an entry of its own, put DaysAgo days ago.
    std::string PutFile(const std::string& Name, std::size_t Size, int DaysAgo) {
        const std::string Path = C + "\\" + Name;
        TestSupport::WriteFile(Path, std::string(Size, 'x'));
        Bin.Put({Path});
        const std::string Put = LastEntry();
        Engine_record::TRecord Record;
        EXPECT_TRUE(Engine_record::ReadRecord(Put, Record));
        Record.Puts[0].Time =
            Engine_record::CurrentTime() - static_cast<std::uint64_t>(DaysAgo) * Day;
        Engine_record::WriteRecord(Put, Record);
        return Put;
    }

    std::string LastEntry() const {
        std::string Newest;
        for (const std::string& Name : TestSupport::ListTree(BinDirectory()))
            if (Name.find('\\') == Name.size() - 1 && Name > Newest)
                Newest = Name;
        return Entry(Newest.substr(0, Newest.size() - 1));
    }

    TCleanUpRules OlderThan(int Days) const {
        TCleanUpRules Rules;
        Rules.ByAge = true;
        Rules.Days = Days;
        return Rules;
    }

    TTempDir OnC;
    TTempDir BinRoot;
    TTempDir Taken;
    const std::string C = LongPath(OnC.Path());
    App_bin::TBin Bin;
};

} // namespace

// Put time and size from the record, or from the directory without one; the
// last put, a put that did not finish and a put that runs are protected.
TEST_F(Engine_cleanup_Disk, EntriesTakeTheirAgeAndSizeFromTheRecordsAndKnowWhatIsProtected) {
    const std::string Old = PutFile("old.txt", 1000, 40);
    const std::string Unfinished = PutFile("unfinished.txt", 30, 60);
    const std::string Running = PutFile("running.txt", 20, 70);
    const std::string Recent = PutFile("recent.txt", 300, 5);
    const auto Begun = [](const std::string& Path, const std::string& Id) {
        Engine_record::TRecord Record;
        ASSERT_TRUE(Engine_record::ReadRecord(Path, Record));
        Record.Puts[0].State = Engine_record::TPutState::psBegun;
        Record.Puts[0].Id = Id;
        Engine_record::WriteRecord(Path, Record);
    };
    const std::string RunningId = "CLEANUP-" + std::to_string(GetCurrentProcessId());
    Vek_sync::TMutex OtherProgram(Engine_record::PutMutexName(RunningId));
    Begun(Unfinished, "GONE-2");
    Begun(Running, RunningId);
    // Made by hand, without a record, after every put: the last put.
    const std::string Bare = Entry("Bare");
    Vek_file::MakeDirectory(Bare + "\\C");
    TestSupport::WriteFile(Bare + "\\C\\x.txt", "1234567");
    const std::uint64_t Before = Engine_record::CurrentTime();

    std::vector<std::string> Read;
    for (const TCleanUpEntry& E : Engine_cleanup::ReadEntries(BinDirectory())) {
        const std::uint64_t Age = (Before - E.Put + Day / 2) / Day;
        Read.push_back(E.Path + "|" + std::to_string(Age) + "|" + std::to_string(E.Size) +
                       (E.Protected ? "|protected" : "") + "|" +
                       Vek_file::ExtractFileName(E.FirstItem) + "+" + std::to_string(E.MoreItems));
    }
    std::sort(Read.begin(), Read.end());
    EXPECT_EQ(Read,
              (std::vector<std::string>{Bare + "|0|7|protected|+0", Old + "|40|1000|old.txt+0",
                                        Unfinished + "|60|30|protected|unfinished.txt+0",
                                        Running + "|70|20|protected|running.txt+0",
                                        Recent + "|5|300|recent.txt+0"}));
    // With the bare entry gone, the newest put is the last one.
    TestSupport::RemoveTree(Bare);
    for (const TCleanUpEntry& E : Engine_cleanup::ReadEntries(BinDirectory()))
        EXPECT_EQ(E.Protected, E.Path != Old) << E.Path;
}

// Another program folder sharing the bin cleans it now: this run leaves it
// alone and fails in nothing; once the other is done, nothing is left to
// discard twice.
TEST_F(Engine_cleanup_Disk, StartUpRunBesideASecondInstanceNeverFailsNorDiscardsTwice) {
    PutFile("a.txt", 10, 90);
    PutFile("b.txt", 20, 80);
    PutFile("new.txt", 30, 1);
    const std::vector<std::string> Before = FilePrint({BinDirectory()});

    // Another process holds the bin's clean-up.
    {
        const std::string Ready = "Tovel.CleanUpReady." + std::to_string(GetCurrentProcessId());
        HANDLE Event = CreateEventA(nullptr, TRUE, FALSE, Ready.c_str());
        ProgramSupport::TProgram Holder(
            ProgramSupport::Quoted(TestSupport::ExeDirectory() + "MutexHolder.exe") + " " +
            Engine_cleanup::CleanUpMutexName(BinDirectory()) + " " + Ready);
        ASSERT_EQ(WaitForSingleObject(Event, 15000), WAIT_OBJECT_0);
        CloseHandle(Event);
        TTestCleanUp Second(BinDirectory(), OlderThan(30), Taken.Path());
        const auto Result = Second.Run();
        EXPECT_TRUE(Result.Busy);
        EXPECT_EQ(Result.Count, 0u);
        EXPECT_EQ(Second.Calls, 0u);
        EXPECT_EQ(FilePrint({BinDirectory()}), Before);
        Holder.Kill();
    }

    // Two runs of this process at the same moment, the same bin named two
    // ways: the second comes while the first is deleting.
    TTestCleanUp First(BinDirectory(), OlderThan(30), Taken.Path());
    TTestCleanUp Second(BinRoot.Path() + "\\BIN\\", OlderThan(30), Taken.Path());
    Engine_cleanup::TStartUpCleanUp::TResult SecondResult;
    First.Meanwhile = [&] {
        std::thread Other([&] { SecondResult = Second.Run(); });
        Other.join();
    };
    Engine_cleanup::TStartUpCleanUp::TResult FirstResult;
    std::thread Running([&] { FirstResult = First.Run(); });
    Running.join();
    EXPECT_TRUE(SecondResult.Busy);
    EXPECT_EQ(FirstResult.Count, 2u);
    EXPECT_EQ(FirstResult.Size, 30u);
    EXPECT_EQ(FirstResult.Left, 0u);
    // The first's thread has ended and let go: a third run finds nothing.
    TTestCleanUp Third(BinDirectory(), OlderThan(30), Taken.Path());
    const auto ThirdResult = Third.Run();
    EXPECT_FALSE(ThirdResult.Busy);
    EXPECT_EQ(ThirdResult.Count, 0u);
    EXPECT_EQ(Third.Calls, 0u);
    EXPECT_TRUE(TestSupport::Exists(Taken / "Tovel #0000"));
    EXPECT_TRUE(TestSupport::Exists(Taken / "Tovel #0001"));
    EXPECT_TRUE(TestSupport::Exists(Entry("Tovel #0002")));
}

// Read again under its lock, an entry stays that another command holds, or
// that a put of another program folder reused after the bin was listed;
// and while the clean-up holds an entry, a put skips its name.
TEST_F(Engine_cleanup_Disk, DiscardLeavesWhatOthersWorkOnOrWroteIntoSinceTheListing) {
    const std::string Reused = PutFile("reused.txt", 10, 90);
    const std::string Held = PutFile("held.txt", 20, 80);
    const std::string Going = PutFile("going.txt", 30, 70);
    const std::uint64_t Listed = Engine_record::CurrentTime();
    Engine_record::TRecord Record;
    ASSERT_TRUE(Engine_record::ReadRecord(Reused, Record));
    Record.Puts.push_back(Record.Puts[0]);
    Record.Puts[1].Id = "LATER-1";
    Record.Puts[1].Time = Listed + 1;
    Engine_record::WriteRecord(Reused, Record);
    TestSupport::TLockedElsewhere Busy(Held);
    TestSupport::WriteFile(C + "\\late.txt", "late");
    std::vector<std::string> Sent;
    const auto Result = Engine_cleanup::DiscardEntries(
        {Reused, Held, Going, Entry("gone")}, Listed,
        [&](const std::vector<std::string>& Paths) {
            Sent = Paths;
            Bin.EntryName().SetIndex(2);
            std::thread([this] { Bin.Put({C + "\\late.txt"}); }).join();
            for (const std::string& Path : Paths)
                MoveFileA(Path.c_str(), (Taken / "sent").c_str());
        },
        [](const std::string&) { return true; });
    EXPECT_EQ(Sent, std::vector<std::string>{Going});
    EXPECT_EQ(Result.Count, 1u);
    EXPECT_EQ(Result.Size, 30u);
    EXPECT_EQ(Result.InUse, 2u);
    EXPECT_EQ(Result.Left, 0u);
    EXPECT_TRUE(TestSupport::Exists(Reused));
    EXPECT_TRUE(TestSupport::Exists(Held));
    EXPECT_EQ(TestSupport::ReadFile(TestSupport::InEntry(Entry("Tovel #0003"), C) + "\\late.txt"),
              "late");
    EXPECT_EQ(
        Engine_cleanup::CleanedUpMessage(Result.Count, Result.Size, Result.Left, Result.InUse),
        "Cleaned up 1 entry (30 bytes) into the Recycle Bin. 2 entries stayed: another "
        "command is working on them.");
}

// An entry the Recycle Bin cannot take stays where it is, byte for byte,
// and is told; the shell is only ever asked to recycle, and to warn rather
// than delete for good.
TEST_F(Engine_cleanup_Disk, StartUpRunNeverDeletesForGood) {
    const std::string Kept = PutFile("network.txt", 100, 90);
    const std::string Going = PutFile("local.txt", 200, 80);
    PutFile("new.txt", 30, 1);
    const std::vector<std::string> KeptPrint = FilePrint({Kept});
    TTestCleanUp Run(BinDirectory(), OlderThan(30), Taken.Path());
    Run.CanRecycle = [&Kept](const std::string& Path) { return Path != Kept; };
    const auto Result = Run.Run();
    EXPECT_EQ(Engine_cleanup::CleanedUpMessage(Result.Count, Result.Size, Result.Left),
              "Cleaned up 1 entry (200 bytes) into the Recycle Bin. 1 entry stayed: the Recycle "
              "Bin cannot take it.");
    EXPECT_EQ(FilePrint({Kept}), KeptPrint);
    EXPECT_FALSE(TestSupport::Exists(Going));
    EXPECT_EQ(Run.Calls, 1u);
    // The one way to the Recycle Bin asks for it, and for a warning rather
    // than a delete for good.
    EXPECT_TRUE(App_fileoperation::RecycleFlags & FOF_ALLOWUNDO);
    EXPECT_TRUE(App_fileoperation::RecycleFlags & FOF_WANTNUKEWARNING);
    // A drive that is not there, or a network share, has no Recycle Bin here.
    EXPECT_TRUE(Engine_cleanup::HasRecycleBin(C));
    EXPECT_FALSE(Engine_cleanup::HasRecycleBin("\\\\server\\share\\Bin\\Tovel #0000"));
    // Wine's Recycle Bin is the home trash: a drive of another file system
    // has none, whatever the system's query says.
    if (const char* Small = std::getenv("TOVEL_SMALL_DRIVE")) {
        const std::string Bin = std::string(Small) + "\\CleanUpProbe";
        Vek_file::MakeDirectory(Bin);
        EXPECT_FALSE(Engine_cleanup::HasRecycleBin(Bin + "\\Tovel #0000"));
        EXPECT_EQ(TestSupport::ListTree(Bin), std::vector<std::string>());
        RemoveDirectoryA(Bin.c_str());
    }
    // The shell's answer does not count: only what left the bin does.
    TTestCleanUp Refused(BinDirectory(), OlderThan(30), Taken.Path() + "\\none");
    Refused.CanRecycle = [](const std::string&) { return true; };
    const auto Left = Refused.Run();
    EXPECT_EQ(Left.Count, 0u);
    EXPECT_EQ(Left.Left, 1u);
    EXPECT_EQ(FilePrint({Kept}), KeptPrint);
}

#endif
