// The put end to end, on real files under two drive letters: what the shell
// is given, what arrives, what stays, and what each failure leaves behind.
#include "app/App_bin.h"

#include "app/App_fileoperation.h"
#include "app/App_guarddialog.h"
#include "engine/Engine_listing.h"
#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "tests/TestSupport.h"
#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"
#include "vek/Vek_string.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

using App_bin::TBin;
using App_bin::TPutTask;
using App_fileoperation::TFileOperator;
using Gui_application::Application;
using TestSupport::InEntry;
using TestSupport::LongPath;
using TestSupport::OurBoxes;
using TestSupport::TBoxRecorder;
using TestSupport::TTempDir;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// The failure a call raised: "EAbort", "EFileError:<message>", the message
// of any other Exception, or "no failure".
template <class TAction> std::string FailureOf(TAction Action) {
    try {
        Action();
    } catch (const Base_system::EAbort&) {
        return "EAbort";
    } catch (const Vek_file::EFileError& E) {
        return "EFileError:" + E.Message();
    } catch (const Base_system::Exception& E) {
        return E.Message();
    }
    return "no failure";
}

// Every item below Root with the size and CRC-32 of its bytes; directories
// map to "<dir>".
std::map<std::string, std::string> Snapshot(const std::string& Root) {
    std::map<std::string, std::string> Items;
    for (const std::string& Name : TestSupport::ListTree(Root)) {
        if (Name.back() == '\\') {
            Items[Name] = "<dir>";
            continue;
        }
        const std::string Bytes = TestSupport::ReadFile(Root + "\\" + Name);
        Items[Name] = std::to_string(Bytes.size()) + " " + Vek_hash::HashText(Bytes);
    }
    return Items;
}

// The files and directories directly in Root.
std::vector<std::string> TopLevel(const std::string& Root) {
    std::vector<std::string> Names;
    for (const std::string& Name : TestSupport::ListTree(Root)) {
        const std::size_t Backslash = Name.find('\\');
        if (Backslash == std::string::npos || Backslash + 1 == Name.size())
            Names.push_back(Name);
    }
    return Names;
}

// What the put gave its file operator, taken just before the move.
struct TOperation {
    std::vector<std::string> Sources;
    std::vector<std::string> Destinations;
    std::uint32_t Func = 0;
    std::uint16_t Flags = 0;
    int Runs = 0;
};

class TWatchedOperator : public TFileOperator {
public:
    TWatchedOperator(TOperation& Seen, std::function<void()> BeforeMove)
        : FSeen(Seen), FBeforeMove(std::move(BeforeMove)) {}

    void Execute() override {
        FSeen.Sources = Sources();
        FSeen.Destinations = Destinations();
        FSeen.Func = Func();
        FSeen.Flags = Flags();
        ++FSeen.Runs;
        if (FBeforeMove)
            FBeforeMove();
        TFileOperator::Execute();
    }

private:
    TOperation& FSeen;
    std::function<void()> FBeforeMove;
};

class TWatchedPutTask : public TPutTask {
public:
    TWatchedPutTask(TBin& Bin, const std::vector<std::string>& Paths, TOperation& Seen,
                    std::function<void()> BeforeMove = nullptr)
        : TPutTask(Bin, Paths), FSeen(Seen), FBeforeMove(std::move(BeforeMove)) {}

protected:
    std::unique_ptr<TFileOperator> CreateFileOperator() override {
        return std::make_unique<TWatchedOperator>(FSeen, FBeforeMove);
    }

private:
    TOperation& FSeen;
    std::function<void()> FBeforeMove;
};

// What a long-path answer came to: the path, or the class and sentence of
// its failure.
std::string Outcome(const std::function<std::string()>& Answer) {
    try {
        return Answer();
    } catch (const Vek_file::EFileError& E) {
        return "EFileError:" + E.Message();
    }
}

std::string ShortPath(const std::string& Path) {
    char Buffer[MAX_PATH * 4];
    const DWORD Length = GetShortPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    return Length ? std::string(Buffer, Length) : Path;
}

// The levels of a path between its backslashes, a double-byte character
// never split.
std::vector<std::string> LevelsOf(const std::string& Path) {
    std::vector<std::string> Levels(1);
    for (std::size_t Index = 0; Index < Path.size();) {
        const std::size_t Length = Vek_string::CharLength(Path, Index);
        if (Length == 1 && Path[Index] == '\\')
            Levels.emplace_back();
        else
            Levels.back().append(Path, Index, Length);
        Index += Length;
    }
    return Levels;
}

std::string JoinLevels(const std::vector<std::string>& Levels, std::size_t Count) {
    std::string Path;
    for (std::size_t Level = 0; Level < Count; ++Level)
        Path += (Level ? "\\" : "") + Levels[Level];
    return Path;
}

// The ASCII letters of a path turned to one case; double-byte characters,
// whose trail bytes may look like letters, stay as they are.
std::string AsciiCase(const std::string& Path, bool Upper) {
    std::string Result = Path;
    for (std::size_t Index = 0; Index < Result.size();) {
        const std::size_t Length = Vek_string::CharLength(Result, Index);
        char& C = Result[Index];
        if (Length == 1 && Upper && C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
        if (Length == 1 && !Upper && C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
        Index += Length;
    }
    return Result;
}

// Names beyond ASCII as the ANSI code page writes them: double-byte ones
// under 932 (one with a trail byte of the backslash's code), Greek under
// UTF-8, accented Latin ones otherwise.
std::pair<std::string, std::string> NonAsciiNames() {
    switch (GetACP()) {
    case 932:
        return {"\x95\x5C\x83\x65\x83\x58\x83\x67 dir", "\x93\xFA\x96\x7B\x8C\xEA.txt"};
    case CP_UTF8:
        return {"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC",
                "\xCE\xA9mega.txt"};
    default:
        return {"Caf\xE9 d\xE9j\xE0 vu", "\xC9t\xE9 \xFC.txt"};
    }
}

// The entry's record as its items' paths by section, each after its state.
std::vector<std::string> RecordOf(const std::string& Entry) {
    Engine_record::TRecord Record;
    if (!Engine_record::ReadRecord(Entry, Record))
        return {"no record"};
    std::vector<std::string> Lines;
    for (const Engine_record::TPutSection& Section : Record.Puts) {
        Lines.push_back(Section.State == Engine_record::TPutState::psDone ? "done" : "not done");
        for (const std::string& Path : Engine_record::ItemPaths(Section.Tree))
            Lines.push_back(Engine_record::FromRecordText(Path));
    }
    return Lines;
}

class App_bin_Put : public testing::Test {
protected:
    void SetUp() override { Bin.SetFixedLocation(BinDirectory()); }

    std::string BinDirectory() const { return BinRoot / "Bin"; }
    std::string Entry(const std::string& Name) const { return BinDirectory() + "\\" + Name; }
    std::int32_t Index() const { return Bin.EntryName().Index(); }

    static std::string MakeFile(const TTempDir& Dir, const std::string& Name,
                                const std::string& Bytes) {
        const std::string Path = Dir / Name;
        Vek_file::MakeDirectory(Vek_file::ExtractDirectory(Path));
        TestSupport::WriteFile(Path, Bytes);
        return Path;
    }

    // Paths of every shape a put may be given, typed in every form the
    // long-path service answers or refuses, below a tree made here.
    std::vector<std::string> LongPathCorpus() const;

    TTempDir OnC;
    TTempDir OnD{"D:\\"};
    TTempDir BinRoot;
    const std::string C = LongPath(OnC.Path());
    const std::string D = LongPath(OnD.Path());
    TBin Bin;
};

} // namespace

std::vector<std::string> App_bin_Put::LongPathCorpus() const {
    const auto [NonAsciiDirectory, NonAsciiFile] = NonAsciiNames();
    const std::vector<std::string> Items{
        MakeFile(OnC, "A long directory name\\Second Level Dir\\the file with a long name.txt",
                 "1"),
        MakeFile(OnC, "A long directory name\\Second Level Dir\\short.txt", "2"),
        MakeFile(OnC, "A long directory name\\Mixed Case File.TXT", "3"),
        MakeFile(OnC, "A long directory name\\" + NonAsciiDirectory + "\\" + NonAsciiFile, "4"),
        MakeFile(OnC, NonAsciiDirectory + "\\x.txt", "5"),
        MakeFile(OnC, "plain.txt", "6"),
        MakeFile(OnD, "Docs\\Report 2024.txt", "7"),
    };
    std::vector<std::string> Corpus;
    const auto Add = [&Corpus](const std::string& Path) { Corpus.push_back(Path); };
    for (const std::string& Typed : Items) {
        const std::string Item = LongPath(Typed);
        const std::vector<std::string> Levels = LevelsOf(Item);
        const std::size_t Count = Levels.size();
        const std::string Parent = JoinLevels(Levels, Count - 1);
        const std::string Short = ShortPath(Item);
        const std::vector<std::string> ShortLevels = LevelsOf(Short);
        Add(Item);
        Add(Short);
        // Short names at some levels only: the parent's, or the item's own.
        Add(ShortPath(Parent) + "\\" + Levels.back());
        Add(Parent + "\\" + ShortLevels.back());
        Add(JoinLevels(ShortLevels, Count - 2) + "\\" + Levels[Count - 2] + "\\" + Levels.back());
        Add(AsciiCase(Item, true));
        Add(AsciiCase(Item, false));
        Add(AsciiCase(Parent, true) + "\\" + Levels.back());
        Add(Parent + "\\" + AsciiCase(Levels.back(), false));
        // Dots, doubled and forward delimiters, a trailing one, a stream.
        Add(Parent + "\\.\\" + Levels.back());
        Add(Parent + "\\..\\" + Levels[Count - 2] + "\\" + Levels.back());
        Add(Parent + "\\\\" + Levels.back());
        Add(Parent + "/" + Levels.back());
        Add(Item + "\\");
        Add(Item + ".");
        Add(Item + " ");
        Add(Item + ":stream");
        // A missing level at each depth below the drive.
        for (std::size_t Level = 1; Level < Count; ++Level) {
            std::vector<std::string> Missing = Levels;
            Missing[Level] = "missing";
            Add(JoinLevels(Missing, Count));
        }
        // The item where a directory is expected.
        Add(Item + "\\under");
        Add(Item + "\\under\\deeper");
        // The same path behind a prefix the service leaves to itself.
        Add("\\\\?\\" + Item);
        Add("\\\\.\\" + Item);
    }
    for (const char* Root : {"C:\\", "D:\\", "C:", "C:\\.", "c:\\", "Q:\\", "Q:\\x.txt", "C:\\nul",
                             "C:\\dir\\CON", ""})
        Add(Root);
    // A network path, whichever answer Wine gives for it.
    for (const char* Unc : {"\\\\localhost\\C$\\windows", "\\\\?\\UNC\\localhost\\C$\\x",
                            "\\\\no-such-server\\share\\x.txt"})
        Add(Unc);
    return Corpus;
}

TEST_F(App_bin_Put, ItemsOfTwoDrivesArriveWholeInOneEntry) {
    MakeFile(OnC, "Dir\\inner.txt", "inner");
    MakeFile(OnC, "Dir\\Sub\\deep.bin", std::string("\0\1\2\x7F\x80\xFF", 6));
    MakeFile(OnC, "a.txt", "small a");
    MakeFile(OnC, "B.txt", std::string(200000, 'B'));
    MakeFile(OnD, "y.txt", "y on D");
    MakeFile(OnD, "Docs\\n.txt", "n on D");
    const auto BeforeC = Snapshot(C);
    const auto BeforeD = Snapshot(D);

    const std::vector<std::string> Paths{C + "\\a.txt", D + "\\y.txt", C + "\\Dir", C + "\\B.txt",
                                         D + "\\Docs"};
    TOperation Seen;
    TBoxRecorder Boxes;
    TWatchedPutTask(Bin, Paths, Seen).Execute();

    // Descending, letter case aside.
    const std::vector<std::string> Sources{D + "\\y.txt", D + "\\Docs", C + "\\Dir", C + "\\B.txt",
                                           C + "\\a.txt"};
    std::vector<std::string> Destinations;
    for (const std::string& Source : Sources)
        Destinations.push_back(InEntry(Entry("Tovel #0000"), Source));
    EXPECT_EQ(Seen.Sources, Sources);
    EXPECT_EQ(Seen.Destinations, Destinations);
    EXPECT_EQ(Seen.Func, 1u);
    EXPECT_EQ(Seen.Flags, 0x0201);
    EXPECT_EQ(Seen.Runs, 1);

    EXPECT_EQ(Index(), 1);
    EXPECT_EQ(Bin.EntryName().GetEntryName(), "Tovel #0001");
    EXPECT_EQ(Snapshot(InEntry(Entry("Tovel #0000"), C)), BeforeC);
    EXPECT_EQ(Snapshot(InEntry(Entry("Tovel #0000"), D)), BeforeD);
    EXPECT_TRUE(TestSupport::ListTree(C).empty());
    EXPECT_TRUE(TestSupport::ListTree(D).empty());
    // One entry, holding one level per drive and its record.
    EXPECT_EQ(TopLevel(BinDirectory()), std::vector<std::string>{"Tovel #0000\\"});
    EXPECT_EQ(TopLevel(Entry("Tovel #0000")),
              (std::vector<std::string>{"C\\", "D\\", Engine_record::RecordFileName}));
    std::vector<std::string> Recorded{"done"};
    for (const std::string& Source : Sources)
        Recorded.push_back(Source.substr(0, 1) + Source.substr(2));
    std::vector<std::string> Read = RecordOf(Entry("Tovel #0000"));
    std::sort(Recorded.begin() + 1, Recorded.end());
    std::sort(Read.begin() + 1, Read.end());
    EXPECT_EQ(Read, Recorded);
    // The directories' contents are read after the move, from the entry.
    Engine_record::TRecord Record;
    ASSERT_TRUE(Engine_record::ReadRecord(Entry("Tovel #0000"), Record));
    EXPECT_FALSE(Record.Puts[0].Listed);
    ASSERT_TRUE(Engine_listing::CompleteListings(Entry("Tovel #0000")));
    ASSERT_TRUE(Engine_record::ReadRecord(Entry("Tovel #0000"), Record));
    EXPECT_TRUE(Record.Puts[0].Listed);
    std::uint64_t Files = 0;
    std::uint64_t Bytes = 0;
    Engine_record::CountFiles(Record.Puts[0].Tree, Files, Bytes);
    EXPECT_EQ(Files, 6u);
    EXPECT_EQ(Bytes, 5u + 6u + 7u + 200000u + 6u + 6u);
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
    // The job is unbound once the operation is over.
    ASSERT_NE(App_guarddialog::AppGuardDialog, nullptr);
    EXPECT_FALSE(App_guarddialog::AppGuardDialog->OnExecute);
}

// As pairs of their own, the items below the directory would go first and
// the emptied directory after them into the one they made: Wine puts it
// inside, as Dir\Dir, and a take back then restores it there.
TEST_F(App_bin_Put, ItemsInsideAGivenDirectoryMoveWithItAndNothingIsLost) {
    MakeFile(OnC, "Dir\\inner.txt", "inner");
    MakeFile(OnC, "Dir\\Sub\\deep.bin", "deep");
    MakeFile(OnC, "Other\\kept.txt", "kept");
    const std::vector<std::string> Before = TestSupport::FilePrint({C, BinDirectory()});
    TOperation Seen;
    TBoxRecorder Boxes;
    TWatchedPutTask(Bin,
                    {C + "\\Dir", C + "\\DIR\\inner.txt", C + "\\Dir\\Sub\\deep.bin",
                     C + "\\Dir\\Sub", C + "\\Other\\kept.txt"},
                    Seen)
        .Execute();
    EXPECT_EQ(Seen.Sources, (std::vector<std::string>{C + "\\Other\\kept.txt", C + "\\Dir"}));
    EXPECT_EQ(TestSupport::ListTree(InEntry(Entry("Tovel #0000"), C)),
              (std::vector<std::string>{"Dir\\", "Dir\\Sub\\", "Dir\\Sub\\deep.bin",
                                        "Dir\\inner.txt", "Other\\", "Other\\kept.txt"}));
    EXPECT_EQ(TestSupport::FilePrint({C, BinDirectory()}), Before);
    const std::string InC = C.substr(0, 1) + C.substr(2);
    EXPECT_EQ(RecordOf(Entry("Tovel #0000")),
              (std::vector<std::string>{"done", InC + "\\Dir", InC + "\\Other\\kept.txt"}));
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

// After the index wrapped, a put goes into an entry that exists only where
// nothing of it is there yet: an older version in the bin is never replaced.
TEST_F(App_bin_Put, WrappedEntryTakesAPutOnlyWhereItReplacesNothing) {
    Bin.EntryName().ResetIndex(0, 1, 0);
    const std::string Report = MakeFile(OnD, "report.txt", "version 1");
    const std::string Other = MakeFile(OnD, "other.txt", "other");
    TBoxRecorder Boxes;
    Bin.Put({Report});
    Bin.Put({Other});
    MakeFile(OnD, "report.txt", "version 2");
    const std::vector<std::string> Before = TestSupport::FilePrint({D, BinDirectory()});
    // #0 holds version 1 of the report: the put goes on to #1.
    Bin.Put({Report});
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(TestSupport::FilePrint({D, BinDirectory()}), Before);
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0"), Report)), "version 1");
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #1"), Report)), "version 2");
    const std::string InD = D.substr(0, 1) + D.substr(2);
    EXPECT_EQ(
        RecordOf(Entry("Tovel #1")),
        (std::vector<std::string>{"done", InD + "\\other.txt", "done", InD + "\\report.txt"}));
    // Both entries hold a version of it: no name is left.
    MakeFile(OnD, "report.txt", "version 3");
    const std::vector<std::string> Full = TestSupport::FilePrint({D, BinDirectory()});
    EXPECT_EQ(FailureOf([&] { Bin.Put({Report}); }),
              "The program cannot find a bin entry that can take the items.");
    EXPECT_EQ(TestSupport::FilePrint({D, BinDirectory()}), Full);
    EXPECT_EQ(TestSupport::ReadFile(Report), "version 3");
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

TEST_F(App_bin_Put, WrappedNameMovesNextToWhatTheEntryHolds) {
    Bin.EntryName().ResetIndex(0, 0, 0);
    const std::string First = MakeFile(OnD, "first.txt", "1");
    const std::string Second = MakeFile(OnD, "second.txt", "2");
    TBoxRecorder Boxes;
    Bin.Put({First});
    Bin.Put({Second});
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(TestSupport::ListTree(InEntry(Entry("Tovel #0"), D)),
              (std::vector<std::string>{"first.txt", "second.txt"}));
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

TEST_F(App_bin_Put, EmptyListStillMakesAnEntryAndStepsTheIndex) {
    TBoxRecorder Boxes;
    TOperation Seen;
    TWatchedPutTask(Bin, {}, Seen).Execute();
    EXPECT_EQ(Seen.Runs, 1);
    EXPECT_TRUE(Seen.Sources.empty());
    EXPECT_TRUE(Seen.Destinations.empty());
    EXPECT_EQ(Index(), 1);
    EXPECT_TRUE(Vek_file::IsDirectory(Entry("Tovel #0000")));
    EXPECT_EQ(TestSupport::ListTree(Entry("Tovel #0000")),
              std::vector<std::string>{Engine_record::RecordFileName});
    EXPECT_EQ(RecordOf(Entry("Tovel #0000")), std::vector<std::string>{"done"});
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

TEST_F(App_bin_Put, SamePathTwiceStaysTwiceInTheLists) {
    const std::string File = LongPath(MakeFile(OnC, "twice.txt", "once"));
    TBoxRecorder Boxes;
    TOperation Seen;
    TWatchedPutTask(Bin, {File, File}, Seen).Execute();
    EXPECT_EQ(Seen.Sources, (std::vector<std::string>{File, File}));
    EXPECT_EQ(Seen.Destinations.size(), 2u);
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), File)), "once");
    EXPECT_FALSE(TestSupport::Exists(File));
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

TEST_F(App_bin_Put, AcceptedPathsAreFullAndLong) {
    const std::string Levels = "A long directory name\\Another long level\\x with a long name.txt";
    const std::string Long = C + "\\" + Levels;
    MakeFile(OnC, Levels, "x");
    const std::string Short = ShortPath(Long);
    // Each long level has an 8.3 name of its own, so the short path is
    // another text at every one of them.
    const std::vector<std::string> ShortLevels = LevelsOf(Short);
    const std::vector<std::string> LongLevels = LevelsOf(Long);
    ASSERT_EQ(ShortLevels.size(), LongLevels.size()) << Short;
    for (std::size_t Level = LongLevels.size() - 3; Level < LongLevels.size(); ++Level)
        ASSERT_NE(ShortLevels[Level], LongLevels[Level]) << Short;
    EXPECT_EQ(App_bin::AcceptPath(Short), Long);
    EXPECT_EQ(App_bin::AcceptPath(C + "\\A long directory name\\..\\A long directory name\\.\\" +
                                  "Another long level\\x with a long name.txt"),
              Long);
    EXPECT_EQ(App_bin::AcceptPaths({Short, Long, Short}),
              (std::vector<std::string>{Long, Long, Long}));
}

// The batch form against the path-by-path one, over one resolver, so that
// what it learnt of a parent from one path is used for the next.
TEST_F(App_bin_Put, BatchAcceptanceAnswersAsThePathByPathFormDbcsToo) {
    const std::vector<std::string> Corpus = LongPathCorpus();
    std::vector<std::string> Order = Corpus;
    int Answers = 0;
    int Failures = 0;
    for (unsigned Run = 0; Run < 3; ++Run) {
        if (Run == 1)
            std::reverse(Order.begin(), Order.end());
        if (Run == 2)
            std::shuffle(Order.begin(), Order.end(), std::mt19937(7));
        App_bin::TLongPathResolver Resolver;
        for (const std::string& Path : Order) {
            const std::string Expected =
                Outcome([&] { return Vek_file::GetLongPath(Vek_file::ExpandPath(Path)); });
            EXPECT_EQ(Outcome([&] { return Resolver.LongPathOf(Path); }), Expected)
                << "[" << Path << "] in code page " << GetACP();
            (Expected.compare(0, 11, "EFileError:") == 0 ? Failures : Answers) += Run == 0;
        }
    }
    // The corpus holds both kinds in number.
    EXPECT_GT(Answers, 40);
    EXPECT_GT(Failures, 15);
}

// The boxes and the failure come from the first refused path, in the order given.
TEST_F(App_bin_Put, FirstRefusedPathDecides) {
    const std::string Missing = C + "\\missing.txt";
    const std::string Kept = MakeFile(OnC, "kept.txt", "kept");
    {
        TBoxRecorder Boxes;
        EXPECT_EQ(FailureOf([&] {
                      Bin.Put({Kept, Missing, "data.txt", "C:\\*.txt"});
                  }),
                  "EFileError:The program could not get the long path of the file.");
        EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
    }
    {
        TBoxRecorder Boxes;
        EXPECT_EQ(FailureOf([&] {
                      Bin.Put({Kept, "data.txt", Missing});
                  }),
                  "The program cannot accept the path.");
        EXPECT_EQ(OurBoxes(Boxes.Boxes()), std::vector<std::string>{"Relative: [data.txt]"});
    }
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(TestSupport::ReadFile(Kept), "kept");
}

TEST_F(App_bin_Put, RefusedPathCreatesAndMovesNothing) {
    const std::string Kept = MakeFile(OnC, "kept.txt", "kept");
    const std::string CannotAccept = "The program cannot accept the path.";
    struct TRefusal {
        std::string Path;
        std::string Failure;
        std::vector<std::string> Boxes;
    };
    const std::vector<TRefusal> Refusals{
        {"data.txt", CannotAccept, {"Relative: [data.txt]"}},
        {"*.txt", CannotAccept, {"Relative: [*.txt]"}},
        {"", CannotAccept, {"Relative: []"}},
        {"\\Temp\\x.txt", CannotAccept, {"Relative: [\\Temp\\x.txt]"}},
        {"C:\\Temp\\*.log",
         CannotAccept,
         {"Mask: [C:\\Temp\\*.log] at 9", "Wildcard characters: [?*]"}},
        {"C:\\a?b\\*c", CannotAccept, {"Mask: [C:\\a?b\\*c] at 8", "Wildcard characters: [?*]"}},
        {C + "\\missing.txt",
         "EFileError:The program could not get the long path of the file.",
         {}},
        {"C:data.txt", "EFileError:The program cannot determine the path is absolute.", {}},
        // The record follows only a drive's own paths.
        {"\\\\.\\" + Kept, CannotAccept, {}},
    };
    for (const TRefusal& Refusal : Refusals) {
        TBoxRecorder Boxes;
        EXPECT_EQ(FailureOf([&] {
                      Bin.Put({Kept, Refusal.Path, Kept});
                  }),
                  Refusal.Failure)
            << Refusal.Path;
        EXPECT_EQ(OurBoxes(Boxes.Boxes()), Refusal.Boxes) << Refusal.Path;
    }
    EXPECT_EQ(Index(), 0);
    EXPECT_FALSE(TestSupport::Exists(BinDirectory()));
    EXPECT_EQ(TestSupport::ReadFile(Kept), "kept");
}

TEST_F(App_bin_Put, CancelledBrowserCreatesAndMovesNothing) {
    const std::string Kept = MakeFile(OnC, "kept.txt", "kept");
    const std::string Current = Vek_file::GetCurrentDirectoryPath();
    Bin.SetLocationType(App_bin::bltAskUser);
    TBoxRecorder Browser(IDCANCEL);
    EXPECT_EQ(FailureOf([&] { Bin.Put({Kept}); }), "EAbort");
    ASSERT_EQ(Browser.Boxes().size(), 1u);
    const std::string Seen = Browser.Boxes().front();
    EXPECT_EQ(Seen.substr(Seen.find('|') + 1), "Specify the bin location.");
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(Vek_file::GetCurrentDirectoryPath(), Current);
    EXPECT_EQ(TestSupport::ReadFile(Kept), "kept");
    EXPECT_TRUE(TestSupport::ListTree(BinRoot.Path()).empty());
}

TEST_F(App_bin_Put, AskUserPutsIntoTheChosenDirectory) {
    const std::string Current = Vek_file::GetCurrentDirectoryPath();
    Gui_application::Application().SetLastDirectory(Current);
    const std::string File = MakeFile(OnD, "chosen.txt", "chosen");
    const std::string Chosen = LongPath(BinRoot.Path());
    Bin.SetLocationType(App_bin::bltAskUser);
    TestSupport::TDialogWatcher Browser([&Chosen](HWND Dialog) {
        TestSupport::SelectFolder(Dialog, Chosen);
        TestSupport::PressButton(Dialog, IDOK);
    });
    Bin.Put({File});
    const std::string Last = Gui_application::Application().LastDirectory();
    Gui_application::Application().SetLastDirectory(Current);
    EXPECT_EQ(Last, Chosen);
    EXPECT_EQ(Vek_file::GetCurrentDirectoryPath(), Current);
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Chosen + "\\Tovel #0000", D) + "\\chosen.txt"),
              "chosen");
    EXPECT_EQ(Index(), 1);
}

TEST_F(App_bin_Put, EntryThatCannotBeMadeSkipsItsName) {
    const std::string Kept = MakeFile(OnC, "kept.txt", "kept");
    TestSupport::WriteFile(BinRoot / "file", "in the way");
    Bin.SetFixedLocation(BinRoot / "file\\Bin");
    TBoxRecorder Boxes;
    // The library's own sentence is replaced, not passed on.
    EXPECT_EQ(FailureOf([&] { Bin.Put({Kept}); }), "The program could not create a bin entry.");
    EXPECT_EQ(Index(), 1);
    EXPECT_EQ(TestSupport::ReadFile(Kept), "kept");
    EXPECT_EQ(TestSupport::ListTree(BinRoot.Path()), std::vector<std::string>{"file"});
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

// What arrived is read from the disk: a move the shell did not make fails
// in our words, and the record says the put did not finish.
TEST_F(App_bin_Put, ShellFailureIsOursToTellAndTheRecordClaimsNothing) {
    const std::string Kept = MakeFile(OnC, "kept.txt", "kept");
    TOperation Seen;
    // A regular file where the drive level of the entry must go.
    auto BlockTheEntry = [this] { TestSupport::WriteFile(Entry("Tovel #0000") + "\\C", ""); };
    TBoxRecorder Boxes;
    EXPECT_EQ(FailureOf([&] { TWatchedPutTask(Bin, {Kept}, Seen, BlockTheEntry).Execute(); }),
              "The program could not move the items into the bin.");
    EXPECT_EQ(Seen.Runs, 1);
    EXPECT_EQ(Index(), 1);
    EXPECT_EQ(TestSupport::ReadFile(Kept), "kept");
    EXPECT_EQ(TestSupport::ListTree(Entry("Tovel #0000")),
              (std::vector<std::string>{"C", Engine_record::RecordFileName}));
    // The record claims nothing that did not arrive.
    EXPECT_EQ(RecordOf(Entry("Tovel #0000")), std::vector<std::string>{"not done"});
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
    EXPECT_FALSE(App_guarddialog::AppGuardDialog->OnExecute);
}

TEST_F(App_bin_Put, SourceGoneAfterAcceptanceLeavesTheRestToTheShellAndIsTold) {
    const std::string Gone = MakeFile(OnC, "gone.txt", "gone");
    const std::string Moved = MakeFile(OnC, "moved.txt", "moved");
    TOperation Seen;
    auto DeleteOne = [&Gone] { DeleteFileA(Gone.c_str()); };
    TBoxRecorder Boxes;
    EXPECT_EQ(FailureOf([&] {
                  TWatchedPutTask(Bin, {Gone, Moved}, Seen, DeleteOne).Execute();
              }),
              "The program could not move 1 of the 2 items into the bin.");
    EXPECT_EQ(
        TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), LongPath(OnC.Path())) + "\\moved.txt"),
        "moved");
    EXPECT_EQ(Seen.Sources.size(), 2u);
    EXPECT_EQ(Index(), 1);
    EXPECT_FALSE(TestSupport::Exists(Gone));
    EXPECT_FALSE(
        TestSupport::Exists(InEntry(Entry("Tovel #0000"), LongPath(OnC.Path())) + "\\gone.txt"));
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

// The cases below need the ANSI code page 932.
class App_bin_PutDbcs : public App_bin_Put {
protected:
    void SetUp() override {
        if (GetACP() != 932)
            GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
        App_bin_Put::SetUp();
    }
};

// 0x95 0x5C is one character whose trail byte has the backslash code.
TEST_F(App_bin_PutDbcs, MaskPositionCountsBytes) {
    const std::string Path = "C:\\\x95\x5C*\\x.txt";
    TBoxRecorder Boxes;
    EXPECT_EQ(FailureOf([&] { Bin.Put({Path}); }), "The program cannot accept the path.");
    EXPECT_EQ(OurBoxes(Boxes.Boxes()),
              (std::vector<std::string>{"Mask: [" + Path + "] at 6", "Wildcard characters: [?*]"}));
}

TEST_F(App_bin_PutDbcs, DirectoryWithATrailByteBackslashArrivesWhole) {
    const std::string File = MakeFile(OnD, "\x95\x5C\\\x95\x5C.txt", "dbcs");
    TBoxRecorder Boxes;
    Bin.Put({D + "\\\x95\x5C"});
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), D) + "\\\x95\x5C\\\x95\x5C.txt"),
              "dbcs");
    EXPECT_FALSE(TestSupport::Exists(File));
    EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
}

namespace {

const std::string TooLongForTheBin = "The program cannot put a path that is too long for the bin.";

// A bin location below Root whose entry gives Source a destination of
// exactly Units UTF-16 units. Its own levels are made of Letter (Letter's
// bytes make one unit) in levels of at most 60 letters, so that no level
// outgrows what a file system takes.
std::string LocationFor(const std::string& Root, const std::string& Source, std::size_t Units,
                        const std::string& Letter) {
    const std::string Entry = "\\Tovel #0000\\";
    // Root, a backslash, the levels, the entry, the source without its colon.
    const std::size_t Fixed = Root.size() + 1 + Entry.size() + Source.size() - 1;
    std::size_t Letters = Units - Fixed;
    std::string Location = Root + "\\";
    for (std::size_t InLevel = 0; Letters > 0; --Letters) {
        if (InLevel == 60 && Letters > 1) {
            Location += "\\";
            --Letters;
            InLevel = 0;
        }
        Location += Letter;
        ++InLevel;
    }
    return Location;
}

} // namespace

TEST_F(App_bin_Put, FirstTooLongDestinationIsNamedAlone) {
    const std::string Short = LongPath(MakeFile(OnC, "s.txt", "s"));
    const std::string A = LongPath(MakeFile(OnC, std::string(40, 'a') + ".txt", "a"));
    const std::string B = LongPath(MakeFile(OnC, std::string(40, 'b') + ".txt", "b"));
    // Long enough for both long names, not for the short one.
    Bin.SetFixedLocation(LocationFor(BinRoot.Path(), A, 262, "L"));
    const std::string Entry = Bin.FixedLocation() + "\\Tovel #0000";
    ASSERT_LT(InEntry(Entry, Short).size(), 260u);
    const std::vector<std::string> Before = TestSupport::FilePrint({C, BinRoot.Path()});
    TBoxRecorder Boxes;
    EXPECT_EQ(FailureOf([&] { Bin.Put({Short, A, B}); }), TooLongForTheBin);
    // In the order of the move, b's pair comes first.
    EXPECT_EQ(OurBoxes(Boxes.Boxes()),
              std::vector<std::string>{"Too long: [" + InEntry(Entry, B) + "]"});
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(TestSupport::FilePrint({C, BinRoot.Path()}), Before);
}

// The limit counts what the shell counts: UTF-16 units of the text from the
// ANSI code page. Where a character takes two bytes, the location is made of
// such characters, so that a path of 259 units has well over 260 bytes.
TEST_F(App_bin_Put, LimitOfTheShellCountsCharactersNotBytesDbcsToo) {
    const UINT CodePage = GetACP();
    const bool TwoBytes = CodePage == 932 || CodePage == CP_UTF8;
    // Hiragana A and I in code page 932, Omega and Sigma in UTF-8.
    const std::string Letter = !TwoBytes ? "L" : CodePage == 932 ? "\x82\xA0" : "\xCE\xA9";
    const std::string Other = !TwoBytes ? "M" : CodePage == 932 ? "\x82\xA2" : "\xCE\xA3";
    const auto UnitsOf = [](const std::string& Path, const std::string& Character) {
        std::size_t Count = 0;
        for (std::size_t At = Path.find(Character); At != std::string::npos;
             At = Path.find(Character, At + Character.size()))
            ++Count;
        return Path.size() - Count * (Character.size() - 1);
    };
    const std::string File = LongPath(MakeFile(OnC, "file.txt", "content"));
    const std::vector<std::string> Before = TestSupport::FilePrint({C, BinRoot.Path()});

    // 259 units and a terminating zero: the shell takes it.
    Bin.SetFixedLocation(LocationFor(BinRoot.Path(), File, 259, Letter));
    const std::string Fits = InEntry(Bin.FixedLocation() + "\\Tovel #0000", File);
    ASSERT_EQ(UnitsOf(Fits, Letter), 259u);
    if (TwoBytes) {
        ASSERT_GT(Fits.size(), 260u);
    }
    {
        TOperation Seen;
        TBoxRecorder Boxes;
        TWatchedPutTask(Bin, {File}, Seen).Execute();
        EXPECT_EQ(Seen.Destinations, std::vector<std::string>{Fits});
        EXPECT_TRUE(OurBoxes(Boxes.Boxes()).empty());
    }
    EXPECT_EQ(TestSupport::ReadFile(Fits), "content");
    EXPECT_EQ(TestSupport::FilePrint({C, BinRoot.Path()}), Before);
    EXPECT_EQ(Index(), 1);

    // One more is too long: nothing is made, nothing moves, the index stays.
    const std::string Again = LongPath(MakeFile(OnC, "file.txt", "content"));
    Bin.SetFixedLocation(LocationFor(BinRoot.Path(), Again, 260, Other));
    const std::string TooLong = InEntry(Bin.FixedLocation() + "\\Tovel #0001", Again);
    ASSERT_EQ(UnitsOf(TooLong, Other), 260u);
    const std::vector<std::string> Kept = TestSupport::FilePrint({C, BinRoot.Path()});
    TOperation Refused;
    TBoxRecorder Shown;
    EXPECT_EQ(FailureOf([&] { TWatchedPutTask(Bin, {Again}, Refused).Execute(); }),
              TooLongForTheBin);
    EXPECT_EQ(OurBoxes(Shown.Boxes()), std::vector<std::string>{"Too long: [" + TooLong + "]"});
    EXPECT_EQ(Refused.Runs, 0);
    EXPECT_EQ(Index(), 1);
    EXPECT_FALSE(TestSupport::Exists(Bin.FixedLocation()));
    EXPECT_EQ(TestSupport::FilePrint({C, BinRoot.Path()}), Kept);
}
