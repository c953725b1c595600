// The catalogue: case folding across scripts, the search's matching rules as
// a table, the entries and nodes it makes of records, and its totals. These
// run natively as well.
#include "engine/Engine_catalog.h"

#include "PortableSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <random>
#include <tuple>
#include <string>
#include <vector>

using Engine_catalog::TCatalog;
using Engine_catalog::TSearchPattern;
using Engine_record::TPutSection;
using Engine_record::TRecord;
using Engine_record::TRecordNode;

namespace {

TRecordNode Node(const std::string& Name, std::vector<TRecordNode> Children = {}, bool Item = false,
                 std::uint64_t Size = 0) {
    TRecordNode Made;
    Made.Name = Name;
    Made.Children = std::move(Children);
    Made.Item = Item;
    Made.Size = Size;
    Made.Kind = Size > 0 ? TRecordNode::nkFile : TRecordNode::nkDirectory;
    return Made;
}

TPutSection Put(std::uint64_t Time, std::vector<TRecordNode> Drives) {
    TPutSection Section;
    Section.Id = "1-" + std::to_string(Time);
    Section.Time = Time;
    Section.State = Engine_record::TPutState::psDone;
    Section.Tree.Children = std::move(Drives);
    return Section;
}

// C:\Projects\x put whole, and later C:\Data\report.txt into the same entry.
TRecord ProjectRecord() {
    TRecord Record;
    Record.Puts.push_back(Put(
        100,
        {Node("C", {Node("Projects", {Node("x",
                                           {Node("notes", {Node("todo.txt", {}, false, 1000),
                                                           Node("Ελληνικά.txt", {}, false, 24)}),
                                            Node("main.cpp", {}, false, 3000)},
                                           true)})})}));
    Record.Puts.push_back(
        Put(200, {Node("c", {Node("Data", {Node("report.txt", {}, true, 500)})})}));
    return Record;
}

std::vector<std::string> Found(const TCatalog& Catalog, const std::string& Text) {
    std::vector<std::string> Paths;
    for (std::uint32_t Node : Catalog.Search(TSearchPattern(Text)))
        Paths.push_back(Catalog.OriginalPath(Node));
    return Paths;
}

} // namespace

TEST(Engine_catalog, FoldingTakesEveryScriptWithLetterCaseToItsSmallLetters) {
    const struct {
        const char* Text;
        const char* Folded;
    } Cases[] = {
        {"Report.TXT", "report.txt"},
        {"\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"}, // ÄÖÜß
        {"\xC5\x81\xC3\x93\x44\xC5\xB9", "\xC5\x82\xC3\xB3\x64\xC5\xBA"},         // ŁÓDŹ
        {"\xC4\xB0", "i"},                                                        // İ
        {"\xCE\xA3\xCE\x8A\xCE\xA3\xCE\xA5\xCF\x82",
         "\xCF\x83\xCE\xAF\xCF\x83\xCF\x85\xCF\x83"}, // ΣΊΣΥς: final sigma too
        {"\xD0\x81\xD0\x96\xD0\x98\xD0\x9A", "\xD1\x91\xD0\xB6\xD0\xB8\xD0\xBA"}, // ЁЖИК
        {"\xD4\xB1\xD5\x80", "\xD5\xA1\xD5\xB0"},                                 // Armenian ԱՀ
        {"\xEF\xBC\xA1\xEF\xBC\xBA", "\xEF\xBD\x81\xEF\xBD\x9A"}, // full-width ＡＺ
        {"\xE1\xBA\x9E", "\xC3\x9F"},                             // capital sharp s
        {"\xE1\xBB\x86", "\xE1\xBB\x87"},                         // Ệ (Vietnamese)
        {"\xE6\x97\xA5\xE6\x9C\xAC", "\xE6\x97\xA5\xE6\x9C\xAC"}, // 日本: no case
        {"\xF0\x9F\x98\x80X", "\xF0\x9F\x98\x80x"},               // four bytes
        {"a\xFF\xC3Z\xE6\x97", "a\xFF\xC3z\xE6\x97"},             // no UTF-8: kept
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(Engine_catalog::FoldText(Case.Text), Case.Folded) << Case.Text;
}

TEST(Engine_catalog, SearchMatchesNameOrPathAnyCaseSubstringAndWildcards) {
    const std::string Path = "C:\\Projects\\X\\notes\\ToDo.txt";
    const std::string Greek = "D:\\\xCE\xA3\xCE\x95\xCE\xA1\xCE\x93\xCE\x91\\\xE6\x97\xA5.txt";
    const struct {
        const char* Pattern;
        const std::string* Path;
        bool Matches;
    } Cases[] = {
        {"todo", &Path, true},
        {"TODO.TXT", &Path, true},
        {"projects\\x\\NOTES", &Path, true},
        {"c:\\projects", &Path, true},
        {"todo.txt.bak", &Path, false},
        {"notes\\todo.txt\\", &Path, false},
        {"*.txt", &Path, true},
        {"*.TX", &Path, false},
        {"todo*", &Path, true},
        {"todo.???", &Path, true},
        {"todo.??", &Path, false},
        {"t?do.txt", &Path, true},
        {"c:\\projects\\*\\todo.txt", &Path, true},
        {"c:\\*\\x\\*", &Path, true},
        {"notes\\*", &Path, false},
        {"*notes\\*", &Path, true},
        {"*", &Path, true},
        {"**to*o**", &Path, true},
        {"\xCF\x83\xCE\xB5\xCF\x81\xCE\xB3", &Greek, true}, // σεργ in ΣΕΡΓΑ
        {"?.txt", &Greek, true},                            // one CJK character
        {"??.txt", &Greek, false},
        {"d:\\\xCF\x83*\\?.TXT", &Greek, true},
        {"\xE6\x97\xA5", &Greek, true},
        {"\xE6\x9C\xAC", &Greek, false},
    };
    for (const auto& Case : Cases) {
        const std::string Folded = Engine_catalog::FoldText(*Case.Path);
        const std::string Name = Folded.substr(Folded.rfind('\\') + 1);
        EXPECT_EQ(TSearchPattern(Case.Pattern).Matches(Folded, Name), Case.Matches)
            << Case.Pattern << " on " << *Case.Path;
    }
    EXPECT_TRUE(TSearchPattern("").Empty());
}

TEST(Engine_catalog, EntriesAndNodesComeFromTheRecords) {
    TCatalog Catalog;
    Catalog.AddEntry("Tovel #0000", "B\\Tovel #0000", 50);
    Catalog.AddEntry("Tovel #0001", "B\\Tovel #0001", 60);
    Catalog.SetRecord(0, ProjectRecord(), true);
    // Not read yet: its figures wait.
    EXPECT_FALSE(Catalog.Entries()[1].Known);

    const Engine_catalog::TCatalogEntry& Entry = Catalog.Entries()[0];
    EXPECT_TRUE(Entry.Known);
    EXPECT_TRUE(Entry.Unfinished);
    EXPECT_EQ(Entry.Created, 200u);
    EXPECT_EQ(Entry.Items, 2u);
    EXPECT_EQ(Entry.Files, 4u);
    EXPECT_EQ(Entry.Bytes, 4524u);
    EXPECT_EQ(Entry.FirstItem, "C:\\Projects\\x");
    EXPECT_EQ(Entry.MoreItems, 1u);

    // One tree: "C" and "c" are one drive level, names in order, parents first.
    std::vector<std::string> Tree;
    for (std::uint32_t Index : Catalog.EntryNodes(0)) {
        const Engine_catalog::TCatalogNode& Node = Catalog.Nodes()[Index];
        Tree.push_back(std::string(Node.Depth, ' ') + std::string(Catalog.Name(Index)) + " " +
                       std::to_string(Node.Size) + (Node.Item ? " *" : ""));
    }
    EXPECT_EQ(Tree, (std::vector<std::string>{"C 4524", " Data 500", "  report.txt 500 *",
                                              " Projects 4024", "  x 4024 *", "   main.cpp 3000",
                                              "   notes 1024", "    todo.txt 1000",
                                              "    \xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE"
                                              "\xB9\xCE\xBA\xCE\xAC.txt 24"}));
    EXPECT_TRUE(Catalog.EntryNodes(1).empty());

    // Only what a put moved is found, never a level on the way to it.
    EXPECT_EQ(Found(Catalog, "TODO"),
              (std::vector<std::string>{"C:\\Projects\\x\\notes\\todo.txt"}));
    EXPECT_EQ(
        Found(Catalog, "c:\\projects"),
        (std::vector<std::string>{"C:\\Projects\\x", "C:\\Projects\\x\\main.cpp",
                                  "C:\\Projects\\x\\notes", "C:\\Projects\\x\\notes\\todo.txt",
                                  "C:\\Projects\\x\\notes\\\xCE\x95\xCE\xBB\xCE\xBB\xCE"
                                  "\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC.txt"}));
    EXPECT_EQ(Found(Catalog, "\xCE\x95\xCE\x9B\xCE\x9B*"), // ΕΛΛ*
              (std::vector<std::string>{"C:\\Projects\\x\\notes\\\xCE\x95\xCE\xBB\xCE\xBB\xCE"
                                        "\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC.txt"}));
    EXPECT_TRUE(Found(Catalog, "Data").size() == 1);
    EXPECT_TRUE(Found(Catalog, "C:").size() == 6);

    const std::uint32_t Todo = Catalog.Search(TSearchPattern("todo"))[0];
    EXPECT_EQ(Catalog.EntryRelativePath(Todo), "C\\Projects\\x\\notes\\todo.txt");
    EXPECT_EQ(Catalog.OriginalPlace(Todo), "C:\\Projects\\x\\notes");
    EXPECT_EQ(Catalog.Nodes()[Todo].Entry, 0u);
    // A directory changed after the put (an item taken back) keeps the put's time.
    Catalog.SetRecord(Catalog.AddEntry("Tovel #0002", "B\\Tovel #0002", 900), ProjectRecord(),
                      false);
    EXPECT_EQ(Catalog.Entries()[2].Created, 200u);
}

// Generated trees: every moved node is found by its own name and by any
// piece of its original path in another letter case.
TEST(Engine_catalog, GeneratedTreesFindEveryMovedNodeByPiecesOfItsPath) {
    std::mt19937 Random(17);
    const std::vector<std::string> Names = {"alpha", "\xCE\x92\xCE\xAE\xCF\x84\xCE\xB1",
                                            "\xD0\x93\xD0\xB0\xD0\xBC\xD0\xBC\xD0\xB0", "d.e",
                                            "\xE6\x97\xA5\xE6\x9C\xAC"};
    TCatalog Catalog;
    for (int Entry = 0; Entry < 20; ++Entry) {
        std::function<TRecordNode(int, bool)> Make = [&](int Depth, bool Below) {
            const bool Item = !Below && Depth >= 2 && Random() % 2 == 0;
            TRecordNode Made = Node(Names[Random() % Names.size()] + std::to_string(Random() % 50),
                                    {}, Item, Depth >= 4 ? 1 + Random() % 9 : 0);
            if (Made.Kind == TRecordNode::nkDirectory)
                for (int Child = Random() % 3; Child > 0; --Child)
                    Made.Children.push_back(Make(Depth + 1, Below || Item));
            return Made;
        };
        TRecordNode Drive = Make(1, false);
        Drive.Name = std::string(1, static_cast<char>('C' + Entry % 3));
        TRecord Record;
        Record.Puts.push_back(Put(Entry, {Drive}));
        Catalog.SetRecord(Catalog.AddEntry("E", "B\\E", 0), Record, false);
    }
    std::size_t Moved = 0;
    for (std::uint32_t Index = 0; Index < Catalog.Nodes().size(); ++Index) {
        if (!Catalog.Nodes()[Index].Moved)
            continue;
        ++Moved;
        const std::string Path = Catalog.OriginalPath(Index);
        const std::size_t From = Random() % Path.size();
        std::string Piece = Path.substr(From, 1 + Random() % (Path.size() - From));
        // Whole characters only: a piece never starts or ends inside one.
        while (!Piece.empty() && (static_cast<unsigned char>(Piece.front()) & 0xC0) == 0x80)
            Piece.erase(0, 1);
        while (!Piece.empty() && (static_cast<unsigned char>(Piece.back()) & 0x80) != 0)
            Piece.pop_back();
        for (const std::string& Text : {std::string(Catalog.Name(Index)), Piece}) {
            if (Text.empty())
                continue;
            std::string Upper = Text;
            for (char& C : Upper)
                C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
            const std::vector<std::uint32_t> Hits = Catalog.Search(TSearchPattern(Upper));
            EXPECT_NE(std::find(Hits.begin(), Hits.end(), Index), Hits.end()) << Upper;
        }
    }
    EXPECT_GT(Moved, 20u);
    // Sorted as a tree, by size from the largest: every node comes after its
    // parent, and before it only larger nodes of the same parent. Sorted flat
    // by name, the names rise.
    std::vector<std::uint32_t> Rows = Catalog.EntryNodes(7);
    const std::size_t Count = Rows.size();
    Engine_catalog::SortItemRows(Catalog, Engine_catalog::icSize, true, true, Rows);
    ASSERT_EQ(Rows.size(), Count);
    std::map<std::uint32_t, std::uint64_t> LastOfParent;
    std::set<std::uint32_t> Seen;
    for (const std::uint32_t Row : Rows) {
        const Engine_catalog::TCatalogNode& Node = Catalog.Nodes()[Row];
        EXPECT_TRUE(Node.Parent == Engine_catalog::NoParent || Seen.count(Node.Parent)) << Row;
        const auto Last = LastOfParent.find(Node.Parent);
        EXPECT_TRUE(Last == LastOfParent.end() || Last->second >= Node.Size) << Row;
        LastOfParent[Node.Parent] = Node.Size;
        Seen.insert(Row);
    }
    Rows = Catalog.Search(TSearchPattern("a"));
    Engine_catalog::SortItemRows(Catalog, Engine_catalog::icName, false, false, Rows);
    for (std::size_t Row = 1; Row < Rows.size(); ++Row)
        EXPECT_LE(Catalog.FoldedName(Rows[Row - 1]), Catalog.FoldedName(Rows[Row]));
}

TEST(Engine_catalog, TotalsReadAsTheStatusLineShowsThem) {
    EXPECT_EQ(Engine_catalog::TotalsText({1204, 38411, 13207024435ull}),
              "1,204 entries, 38,411 files, 12.3 GB");
    EXPECT_EQ(Engine_catalog::TotalsText({1, 1, 1}, {".", ","}), "1 entry, 1 file, 1 byte");
    EXPECT_EQ(Engine_catalog::TotalsText({0, 0, 0}), "0 entries, 0 files, 0 bytes");

    TCatalog Catalog;
    Catalog.SetRecord(Catalog.AddEntry("A", "B\\A", 0), ProjectRecord(), false);
    Catalog.AddEntry("B", "B\\B", 0);
    const Engine_catalog::TTotals Totals = Catalog.Totals();
    EXPECT_EQ(Totals.Entries, 2u);
    EXPECT_EQ(Totals.Files, 4u);
    EXPECT_EQ(Totals.Bytes, 4524u);
}

TEST(Engine_catalog, CatalogFileReadsBackAndRefusesWhatIsNoCatalog) {
    TCatalog Catalog;
    Catalog.SetRecord(Catalog.AddEntry("Tovel #0000", "B\\Tovel #0000", 0), ProjectRecord(), true);
    Catalog.AddEntry("\xE6\x97\xA5 x", "B\\\xE6\x97\xA5 x", 7);
    Engine_catalog::TCatalogEntry Odd;
    Odd.Name = "Tovel #0002";
    Odd.Changed = 18446744073709551615ull;
    Odd.Known = Odd.Listing = true;
    Catalog.AddSummary(Odd);
    std::vector<Engine_catalog::TCatalogEntry> Entries = Catalog.Entries();
    Entries[0].Changed = 133000000000000000ull;
    const std::string Text = Engine_catalog::FormatCatalogFile(Entries);
    std::vector<Engine_catalog::TCatalogEntry> Read;
    ASSERT_TRUE(Engine_catalog::ParseCatalogFile(Text, Read));
    ASSERT_EQ(Read.size(), Entries.size());
    for (std::size_t Index = 0; Index < Read.size(); ++Index) {
        const Engine_catalog::TCatalogEntry& Was = Entries[Index];
        const Engine_catalog::TCatalogEntry& Is = Read[Index];
        EXPECT_EQ(std::tie(Is.Name, Is.Changed, Is.Created, Is.Known, Is.Items, Is.Files, Is.Bytes,
                           Is.FirstItem, Is.MoreItems, Is.Unfinished, Is.Listing),
                  std::tie(Was.Name, Was.Changed, Was.Created, Was.Known, Was.Items, Was.Files,
                           Was.Bytes, Was.FirstItem, Was.MoreItems, Was.Unfinished, Was.Listing));
    }
    EXPECT_EQ(Read[0].FirstItem, "C:\\Projects\\x");
    // Every cut of the text short of a line's end, and hostile lines; an
    // earlier version's catalogue of whole records is none.
    const std::size_t Header = std::string("Tovel Bin catalog 2\r\n").size();
    for (std::size_t Length = 0; Length < Text.size(); ++Length) {
        const bool AtEnd =
            Length == Header || (Length > 2 && Text.compare(Length - 2, 2, "\r\n") == 0);
        EXPECT_EQ(Engine_catalog::ParseCatalogFile(Text.substr(0, Length), Read), AtEnd) << Length;
    }
    const std::string Good = "1\t2\tk\t3\t4\t5\t6\tname\tC:\\x\r\n";
    const std::string Version = "Tovel Bin catalog 2\r\n";
    EXPECT_TRUE(Engine_catalog::ParseCatalogFile(Version + Good, Read));
    for (const std::string& Hostile :
         {"Tovel Bin catalog 1\r\n" + Good, Version + "18446744073709551616" + Good.substr(1),
          Version + "-" + Good, Version + "1\t2\tkk\t3\t4\t5\t6\tname\tC:\\x\r\n",
          Version + "1\t2\tx\t3\t4\t5\t6\tname\tC:\\x\r\n",
          Version + "1\t2\tk\t3\t4\t5\t6\t\tC:\\x\r\n", Version + "1\t2\tk\t3\t4\t5\t6\tname\r\n",
          Version + "1\t2\tk\t3\t4\t5\t6\tname\tC:\\x\ty\r\n", Version + Good.substr(0, 20)})
        EXPECT_FALSE(Engine_catalog::ParseCatalogFile(Hostile, Read)) << Hostile;
}

#ifdef _WIN32

// The first showing takes the catalogue file's summaries as they are; its
// completion checks them against the disk first (a changed record, a gone
// entry and a new one read, the others kept), then reads every record and
// writes the file anew. Without a catalogue file every record is read.
TEST(Engine_catalog, SummariesShowFirstAndTheCompletionChecksThemAgainstTheDisk) {
    PortableSupport::TTempDir Bin;
    const auto MakeEntry = [&Bin](const std::string& Name, const TRecord& Record) {
        CreateDirectoryA((Bin.Path() + "\\" + Name).c_str(), nullptr);
        Engine_record::WriteRecord(Bin.Path() + "\\" + Name, Record);
    };
    for (const char* Name : {"Tovel #0000", "Tovel #0001", "Tovel #0003"})
        MakeEntry(Name, ProjectRecord());
    // Each entry as "name files", by name, and whether its nodes are read.
    const auto Figures = [](const TCatalog& Catalog) {
        std::vector<std::string> Lines;
        for (std::size_t Entry = 0; Entry < Catalog.Entries().size(); ++Entry)
            Lines.push_back(Catalog.Entries()[Entry].Name + " " +
                            std::to_string(Catalog.Entries()[Entry].Files) +
                            (Catalog.HasNodes(Entry) ? " read" : ""));
        std::sort(Lines.begin(), Lines.end());
        return Lines;
    };
    Engine_catalog::TListing First = Engine_catalog::ListSummaries(Bin.Path());
    EXPECT_FALSE(First.Complete);
    EXPECT_EQ(Figures(First.Catalog),
              (std::vector<std::string>{"Tovel #0000 4 read", "Tovel #0001 4 read",
                                        "Tovel #0003 4 read"}));

    const std::string CatalogPath = Bin.Path() + "\\" + Engine_catalog::CatalogFileName;
    std::vector<Engine_catalog::TCatalogEntry> Cached;
    ASSERT_TRUE(Engine_catalog::ParseCatalogFile(TestSupport::ReadFile(CatalogPath), Cached));
    ASSERT_EQ(Cached.size(), 3u);
    // What the file says is what shows first, without a record read.
    for (Engine_catalog::TCatalogEntry& Entry : Cached)
        Entry.Files = 99;
    TestSupport::WriteFile(CatalogPath, Engine_catalog::FormatCatalogFile(Cached));
    TRecord Newer = ProjectRecord();
    Newer.Puts.pop_back();
    Engine_record::WriteRecord(Bin.Path() + "\\Tovel #0000", Newer);
    TestSupport::RemoveTree(Bin.Path() + "\\Tovel #0001");
    MakeEntry("Tovel #0002", Newer);
    Engine_catalog::TListing Second = Engine_catalog::ListSummaries(Bin.Path());
    EXPECT_EQ(Figures(Second.Catalog),
              (std::vector<std::string>{"Tovel #0000 99", "Tovel #0001 99", "Tovel #0003 99"}));
    const std::atomic<bool> Never{false};
    TCatalog Checked;
    TCatalog Full;
    ASSERT_TRUE(Second.Complete(
        Never, [&Checked](TCatalog& Made) { Checked = std::move(Made); }, Full));
    EXPECT_EQ(Figures(Checked), (std::vector<std::string>{"Tovel #0000 3 read",
                                                          "Tovel #0002 3 read", "Tovel #0003 99"}));
    EXPECT_EQ(Figures(Full), (std::vector<std::string>{"Tovel #0000 3 read", "Tovel #0002 3 read",
                                                       "Tovel #0003 4 read"}));
    ASSERT_TRUE(Engine_catalog::ParseCatalogFile(TestSupport::ReadFile(CatalogPath), Cached));
    EXPECT_EQ(Cached.size(), 3u);
    // An entry a command changed is read at once, and a gone one left out.
    Engine_record::WriteRecord(Bin.Path() + "\\Tovel #0000", ProjectRecord());
    TestSupport::RemoveTree(Bin.Path() + "\\Tovel #0002");
    const Engine_catalog::TListing Third = Engine_catalog::ListSummaries(
        Bin.Path(), {Bin.Path() + "\\Tovel #0000", Bin.Path() + "\\Tovel #0002"});
    EXPECT_EQ(Figures(Third.Catalog),
              (std::vector<std::string>{"Tovel #0000 4 read", "Tovel #0003 4"}));
    EXPECT_TRUE(Engine_catalog::IsCatalogFile("tovelbin.CATALOG"));
}

#endif
