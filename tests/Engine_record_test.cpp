// The put record: its text read back as written over generated records, the
// refusal of every kind of hostile record, its times, and the trees a put
// and a take back make of it. These run natively as well.
#include "engine/Engine_record.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using Engine_record::TPutSection;
using Engine_record::TPutState;
using Engine_record::TRecord;
using Engine_record::TRecordItem;
using Engine_record::TRecordNode;

namespace {

TRecordNode File(const std::string& Name, std::uint64_t Size, bool Item = false) {
    TRecordNode Node;
    Node.Name = Name;
    Node.Kind = TRecordNode::nkFile;
    Node.Size = Size;
    Node.Item = Item;
    return Node;
}

TRecordNode Directory(const std::string& Name, std::vector<TRecordNode> Children,
                      bool Item = false) {
    TRecordNode Node;
    Node.Name = Name;
    Node.Children = std::move(Children);
    Node.Item = Item;
    return Node;
}

// Random records within the rules: names of letters, blanks and dots
// inside, and characters of several scripts; items never below items.
class TRecordMaker {
public:
    explicit TRecordMaker(unsigned Seed) : FRandom(Seed) {}

    TRecord Record() {
        TRecord Made;
        const int Sections = Pick(1, 3);
        for (int Each = 0; Each < Sections; ++Each) {
            TPutSection Section;
            Section.Id = "0123ABCDEF-" + std::to_string(Pick(0, 99999));
            Section.Time = std::uniform_int_distribution<std::uint64_t>(0, 2650467743999999999ull)(
                FRandom); // to the end of 9999
            Section.State = static_cast<TPutState>(Pick(0, 2));
            Section.Listed = Pick(0, 3) != 0;
            for (int Drive = Pick(0, 2); Drive > 0; --Drive)
                Section.Tree.Children.push_back(Directory(
                    std::string(1, static_cast<char>('A' + Pick(0, 25))), Children(1, false)));
            Section.Items = Engine_record::CountItems(Section.Tree) + Pick(0, 2);
            Made.Puts.push_back(std::move(Section));
        }
        return Made;
    }

private:
    int Pick(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(FRandom); }

    std::string Name() {
        static const std::vector<std::string> Parts{"a",    "Report",   "x y",
                                                    "v1.2", "\xCE\xA9", "\xE6\x97\xA5\xE6\x9C\xAC",
                                                    "#",    "~$",       "con1"};
        std::string Text;
        for (int Count = Pick(1, 3); Count > 0; --Count)
            Text += Parts[static_cast<std::size_t>(Pick(0, static_cast<int>(Parts.size()) - 1))];
        return Text;
    }

    std::vector<TRecordNode> Children(int Depth, bool InItem) {
        std::vector<TRecordNode> Made;
        for (int Count = Pick(0, Depth > 4 ? 0 : 3); Count > 0; --Count) {
            const bool Item = !InItem && Pick(0, 2) == 0;
            switch (Pick(0, 3)) {
            case 0:
                Made.push_back(File(Name(), static_cast<std::uint64_t>(Pick(0, 1 << 30)), Item));
                break;
            case 1:
                Made.push_back(Directory(Name(), Children(Depth + 1, InItem || Item), Item));
                break;
            case 2:
                Made.push_back(Directory(Name(), {}, Item));
                Made.back().Unlisted = true;
                break;
            default:
                Made.push_back(File(Name(), 0, Item));
                Made.back().Kind = TRecordNode::nkLink;
            }
        }
        return Made;
    }

    std::mt19937 FRandom;
};

const std::string Valid = "Tovel Bin put record 1\r\n"
                          "put 01DAB3C2-1A2C 2024-02-29T23:59:59.1234567Z done items 2 files 2 "
                          "bytes 1234\r\n"
                          "C\\\r\n"
                          "\tData\\\r\n"
                          "\t\t*report.txt\t1000\r\n"
                          "\t\t*Photos\\\r\n"
                          "\t\t\ta.jpg\t234\r\n"
                          "\t\t\tLink>\r\n";

} // namespace

TEST(Engine_record_Text, GeneratedRecordsReadBackAsWritten) {
    for (unsigned Seed = 0; Seed < 300; ++Seed) {
        const TRecord Made = TRecordMaker(Seed).Record();
        const std::string Text = Engine_record::FormatRecord(Made);
        TRecord Read;
        ASSERT_TRUE(Engine_record::ParseRecord(Text, Read)) << "seed " << Seed << "\n" << Text;
        EXPECT_EQ(Engine_record::FormatRecord(Read), Text) << "seed " << Seed;
        ASSERT_EQ(Read.Puts.size(), Made.Puts.size());
        for (std::size_t Each = 0; Each < Made.Puts.size(); ++Each) {
            EXPECT_EQ(Read.Puts[Each].Time, Made.Puts[Each].Time);
            EXPECT_EQ(Read.Puts[Each].State, Made.Puts[Each].State);
            EXPECT_EQ(Read.Puts[Each].Listed, Made.Puts[Each].Listed);
            EXPECT_EQ(Engine_record::ItemPaths(Read.Puts[Each].Tree),
                      Engine_record::ItemPaths(Made.Puts[Each].Tree));
        }
    }
    // A lone LF ends a line as well, and the last line may have none.
    std::string Unix = Valid;
    for (std::size_t At; (At = Unix.find("\r\n")) != std::string::npos;)
        Unix.erase(At, 1);
    TRecord Read;
    ASSERT_TRUE(Engine_record::ParseRecord(Unix.substr(0, Unix.size() - 1), Read));
    EXPECT_EQ(Engine_record::FormatRecord(Read), Valid);
    EXPECT_EQ(Engine_record::ItemPaths(Read.Puts[0].Tree),
              (std::vector<std::string>{"C\\Data\\report.txt", "C\\Data\\Photos"}));
    EXPECT_EQ(Read.Puts[0].Tree.Children[0].Children[0].Children[1].Children[1].Kind,
              TRecordNode::nkLink);
}

// Each line of the valid record replaced by a hostile one: the whole record
// is refused.
TEST(Engine_record_Text, AnyBrokenRuleRefusesTheWholeRecord) {
    struct TChange {
        std::string From;
        std::string To;
    };
    const std::vector<TChange> Changes{
        {"Tovel Bin put record 1", "Tovel Bin put record 2"},
        {"bytes 1234", "bytes 1234 listed"},
        {"bytes 1234", "bytes 1234 listing x"},
        {"report.txt\t", "..\t"},
        {"report.txt\t", ".\t"},
        {"report.txt\t", "report.\t"},
        {"report.txt\t", "report \t"},
        {"report.txt\t", "\t"},
        {"report.txt\t", "CON\t"},
        {"report.txt\t", "nul .txt\t"},
        {"report.txt\t", "Com7.log\t"},
        {"report.txt\t", "LPT1\t"},
        {"report.txt\t", "a:stream\t"},
        {"report.txt\t", "a/b\t"},
        {"report.txt\t", "a|b\t"},
        {"report.txt\t", "a?b\t"},
        {"report.txt\t", "a\"b\t"},
        {"report.txt\t", "a<b\t"},
        {"report.txt\t", "a\x01"
                         "b\t"},
        {"report.txt\t", "a\xC3(\t"},
        {"\tData\\", "\tData\\..\\"},
        {"C\\\r\n", "CD\\\r\n"},
        {"C\\\r\n", "1\\\r\n"},
        {"C\\\r\n", "*C\\\r\n"},
        {"C\\\r\n", "\\\r\n"},
        {"C\\\r\n", "C>\r\n"},
        {"C\\\r\n", "C\t0\r\n"},
        {"\tData\\", "\t\tData\\"},
        {"\t\t\ta.jpg", "\t\t\t*a.jpg"},
        {"\t\t\tLink>", "\t\t\tLink>\r\n\t\t\t\tbelow\t0"},
        {"\t\t\tLink>", "\t\t\tLocked\\?\r\n\t\t\t\tbelow\\"},
        {"\t\t\tLink>", "\t\t\t\\?"},
        {"1000\r\n", "1000\r\n\r\n"},
        {"1000\r\n", "999\r\n"},
        {"1000\r\n", "1x\r\n"},
        {"1000\r\n", "99999999999999999999999\r\n"},
        {"items 2", "items 1"},
        {"files 2", "files 3"},
        {"bytes 1234", "bytes 1235"},
        {"2024-02-29", "2023-02-29"},
        {"2024-02-29", "2024-13-01"},
        {"T23:59:59", "T24:00:00"},
        {"1234567Z", "123456Z"},
        {"2024-02-29", "1600-02-29"},
        {" done ", " finished "},
        {"01DAB3C2-1A2C", "01DA_B3"},
        {"01DAB3C2-1A2C", ""},
        {"bytes 1234", "bytes 1234 more"},
        {"put ", "Put "},
    };
    TRecord Read;
    ASSERT_TRUE(Engine_record::ParseRecord(Valid, Read));
    for (const TChange& Change : Changes) {
        std::string Text = Valid;
        const std::size_t At = Text.find(Change.From);
        ASSERT_NE(At, std::string::npos) << Change.From;
        Text.replace(At, Change.From.size(), Change.To);
        EXPECT_FALSE(Engine_record::ParseRecord(Text, Read)) << Text;
        EXPECT_TRUE(Read.Puts.empty());
    }
    for (const std::string& Text :
         {std::string(), std::string("Tovel Bin put record 1\r\n"),
          Valid.substr(0, Valid.find("C\\")) + "\t*x\t0\r\n", "\xEF\xBB\xBF" + Valid})
        EXPECT_FALSE(Engine_record::ParseRecord(Text, Read)) << Text;
}

TEST(Engine_record_Text, TimesAreUtcToTheHundredNanosecond) {
    EXPECT_EQ(Engine_record::FormatTime(0), "1601-01-01T00:00:00.0000000Z");
    EXPECT_EQ(Engine_record::FormatTime(116444736000000000ull), "1970-01-01T00:00:00.0000000Z");
    EXPECT_EQ(Engine_record::FormatTime(133537247991234567ull), "2024-02-29T23:59:59.1234567Z");
    std::mt19937_64 Random(1);
    for (int Run = 0; Run < 2000; ++Run) {
        const std::uint64_t Time = Random() % 2650467744000000000ull; // to the end of 9999
        std::uint64_t Read = 0;
        ASSERT_TRUE(Engine_record::ParseTime(Engine_record::FormatTime(Time), Read)) << Time;
        EXPECT_EQ(Read, Time);
    }
}

TEST(Engine_record_Tree, PutItemsShareTheirLevelsAndRefuseWhatCannotBeRecorded) {
    std::vector<TRecordItem> Items{
        {"D\\y.txt", File("", 3)},
        {"C\\Data\\b.txt", File("", 2)},
        {"C\\Data\\Sub", Directory("", {File("deep.bin", 5)})},
        {"c\\data\\B.TXT", File("", 2)},         // the same item again
        {"C\\Data\\Sub\\deep.bin", File("", 5)}, // below an item
        {"C\\Data\\a\\..\\x", File("", 1)},
        {"C\\", File("", 1)},
        {"C", Directory("", {})},
        {"CD\\x", File("", 1)},
        {"C\\con.txt", File("", 1)},
    };
    std::size_t Refused = 0;
    const TRecordNode Tree = Engine_record::BuildTree(std::move(Items), Refused);
    EXPECT_EQ(Refused, 6u);
    EXPECT_EQ(Engine_record::ItemPaths(Tree),
              (std::vector<std::string>{"C\\Data\\b.txt", "C\\Data\\Sub", "D\\y.txt"}));
    std::uint64_t Files = 0;
    std::uint64_t Bytes = 0;
    Engine_record::CountFiles(Tree, Files, Bytes);
    EXPECT_EQ(Files, 3u);
    EXPECT_EQ(Bytes, 10u);
}

// What a take back or an interrupted put leaves of a section.
TEST(Engine_record_Tree, IntersectKeepsWhatIsStillThereAndTheLevelsToIt) {
    const TRecordNode Recorded = Directory(
        "",
        {Directory("C", {Directory("Data", {File("a.txt", 1, true), File("b.txt", 2, true),
                                            Directory("Dir", {File("in.txt", 3), File("gone", 4)},
                                                      true)})}),
         Directory("D", {File("d.txt", 5, true)})});
    const TRecordNode Actual =
        Directory("", {Directory("c", {Directory("DATA", {File("A.TXT", 10), Directory("b.txt", {}),
                                                          Directory("Dir", {File("in.txt", 30)}),
                                                          File("unrecorded", 1)})}),
                       File("D", 0)});
    const TRecordNode Kept = Engine_record::Intersect(Recorded, Actual);
    EXPECT_EQ(Engine_record::ItemPaths(Kept),
              (std::vector<std::string>{"C\\Data\\a.txt", "C\\Data\\Dir"}));
    std::uint64_t Files = 0;
    std::uint64_t Bytes = 0;
    Engine_record::CountFiles(Kept, Files, Bytes);
    EXPECT_EQ(Files, 2u);
    EXPECT_EQ(Bytes, 40u);
    EXPECT_TRUE(Engine_record::Intersect(Recorded, Directory("", {})).Children.empty());
}

TEST(Engine_record_Names, TheRecordsOwnFilesAndSafeNames) {
    EXPECT_TRUE(Engine_record::IsRecordFile("TovelBin.record"));
    EXPECT_TRUE(Engine_record::IsRecordFile("tovelbin.RECORD.new"));
    EXPECT_FALSE(Engine_record::IsRecordFile("TovelBin.record.old"));
    EXPECT_FALSE(Engine_record::IsRecordFile("C"));
    for (const char* Name : {"a", "con1", "console", "x.con", "...a", "a b.c", "\xCE\xA9", "$"})
        EXPECT_TRUE(Engine_record::IsSafeName(Name)) << Name;
    EXPECT_FALSE(Engine_record::IsSafeName(std::string(1021, 'n')));
    EXPECT_TRUE(Engine_record::IsSafeName(std::string(1020, 'n')));
}
