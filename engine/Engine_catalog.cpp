#include "engine/Engine_catalog.h"

#ifdef _WIN32
#include "base/Base_file.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <windows.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cmath>
#include <iterator>
#include <map>
#include <utility>

namespace Engine_catalog {

using Engine_record::TRecordNode;

namespace {

// Pairs of capital and small letters side by side, the capital on the even
// (or, from an odd start, the odd) code point.
bool InPairs(char32_t Char, char32_t First, char32_t Last) {
    return Char >= First && Char <= Last && (Char - First) % 2 == 0;
}

char32_t FoldChar(char32_t C) {
    if (C < 0x80)
        return C >= 'A' && C <= 'Z' ? C + 32 : C;
    if ((C >= 0xC0 && C <= 0xDE && C != 0xD7) || (C >= 0x391 && C <= 0x3AB && C != 0x3A2) ||
        (C >= 0x410 && C <= 0x42F) || (C >= 0xFF21 && C <= 0xFF3A))
        return C + 32;
    if (C >= 0x400 && C <= 0x40F)
        return C + 80;
    if (C >= 0x531 && C <= 0x556)
        return C + 48;
    if (C >= 0x388 && C <= 0x38A)
        return C + 37;
    if (C >= 0x2160 && C <= 0x216F)
        return C + 16;
    if (C >= 0x24B6 && C <= 0x24CF)
        return C + 26;
    switch (C) {
    case 0x130: // Capital I with dot: the small i
        return 'i';
    case 0x178:
        return 0xFF;
    case 0x17F: // Long s
        return 's';
    case 0x386:
        return 0x3AC;
    case 0x38C:
        return 0x3CC;
    case 0x38E:
    case 0x38F:
        return C + 63;
    case 0x3C2: // Final sigma
        return 0x3C3;
    case 0x1E9E: // Capital sharp s
        return 0xDF;
    }
    if (InPairs(C, 0x100, 0x12E) || InPairs(C, 0x132, 0x136) || InPairs(C, 0x139, 0x147) ||
        InPairs(C, 0x14A, 0x176) || InPairs(C, 0x179, 0x17D) || InPairs(C, 0x1CD, 0x1DB) ||
        InPairs(C, 0x1DE, 0x1EE) || InPairs(C, 0x1F8, 0x21E) || InPairs(C, 0x3D8, 0x3EE) ||
        InPairs(C, 0x460, 0x480) || InPairs(C, 0x48A, 0x4BE) || InPairs(C, 0x4C1, 0x4CD) ||
        InPairs(C, 0x4D0, 0x52E) || InPairs(C, 0x1E00, 0x1E94) || InPairs(C, 0x1EA0, 0x1EFE))
        return C + 1;
    return C;
}

// The code point at Index and its length in bytes; a byte that starts no
// valid sequence is taken alone, as itself (Valid false).
std::size_t DecodeAt(std::string_view Text, std::size_t Index, char32_t& Char, bool& Valid) {
    const auto Byte = [&Text](std::size_t At) { return static_cast<unsigned char>(Text[At]); };
    const unsigned char Lead = Byte(Index);
    Valid = true;
    if (Lead < 0x80) {
        Char = Lead;
        return 1;
    }
    std::size_t Length = 0;
    char32_t Least = 0;
    if ((Lead & 0xE0) == 0xC0) {
        Length = 2, Char = Lead & 0x1F, Least = 0x80;
    } else if ((Lead & 0xF0) == 0xE0) {
        Length = 3, Char = Lead & 0x0F, Least = 0x800;
    } else if ((Lead & 0xF8) == 0xF0) {
        Length = 4, Char = Lead & 0x07, Least = 0x10000;
    }
    if (Length == 0 || Index + Length > Text.size()) {
        Valid = false;
        return 1;
    }
    for (std::size_t Next = 1; Next < Length; ++Next) {
        if ((Byte(Index + Next) & 0xC0) != 0x80) {
            Valid = false;
            return 1;
        }
        Char = (Char << 6) | (Byte(Index + Next) & 0x3F);
    }
    if (Char < Least || Char > 0x10FFFF)
        Valid = false;
    return Valid ? Length : 1;
}

void Encode(char32_t Char, std::string& Out) {
    if (Char < 0x80) {
        Out += static_cast<char>(Char);
    } else if (Char < 0x800) {
        Out += static_cast<char>(0xC0 | (Char >> 6));
        Out += static_cast<char>(0x80 | (Char & 0x3F));
    } else if (Char < 0x10000) {
        Out += static_cast<char>(0xE0 | (Char >> 12));
        Out += static_cast<char>(0x80 | ((Char >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Char & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (Char >> 18));
        Out += static_cast<char>(0x80 | ((Char >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((Char >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Char & 0x3F));
    }
}

// The length of the UTF-8 character at Index, at least 1.
std::size_t CharLength(std::string_view Text, std::size_t Index) {
    char32_t Char;
    bool Valid;
    return DecodeAt(Text, Index, Char, Valid);
}

char AsciiUpper(char C) {
    return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C;
}

std::string AsciiUpper(const std::string& Text) {
    std::string Upper = Text;
    std::transform(Upper.begin(), Upper.end(), Upper.begin(), [](char C) { return AsciiUpper(C); });
    return Upper;
}

void MergeInto(TRecordNode& Into, const TRecordNode& From) {
    Into.Item = Into.Item || From.Item;
    if (From.Kind != TRecordNode::nkDirectory) {
        Into.Kind = From.Kind;
        Into.Size = From.Size;
    }
    for (const TRecordNode& Child : From.Children) {
        const std::string Key = AsciiUpper(Child.Name);
        auto Same =
            std::find_if(Into.Children.begin(), Into.Children.end(),
                         [&Key](const TRecordNode& Each) { return AsciiUpper(Each.Name) == Key; });
        if (Same == Into.Children.end() || Same->Kind != Child.Kind)
            Into.Children.push_back(Child);
        else
            MergeInto(*Same, Child);
    }
}

// Each name folded once, not at every comparison.
void SortChildren(TRecordNode& Node) {
    if (Node.Children.size() == 1)
        SortChildren(Node.Children.front());
    if (Node.Children.size() < 2)
        return;
    std::vector<std::pair<std::string, std::size_t>> Keys;
    Keys.reserve(Node.Children.size());
    for (std::size_t Index = 0; Index < Node.Children.size(); ++Index)
        Keys.emplace_back(FoldText(Node.Children[Index].Name), Index);
    std::sort(Keys.begin(), Keys.end());
    std::vector<TRecordNode> Sorted;
    Sorted.reserve(Keys.size());
    for (const auto& Key : Keys)
        Sorted.push_back(std::move(Node.Children[Key.second]));
    Node.Children = std::move(Sorted);
    for (TRecordNode& Child : Node.Children)
        SortChildren(Child);
}

std::uint64_t BytesBelow(const TRecordNode& Node) {
    if (Node.Kind == TRecordNode::nkFile)
        return Node.Size;
    std::uint64_t Bytes = 0;
    for (const TRecordNode& Child : Node.Children)
        Bytes += BytesBelow(Child);
    return Bytes;
}

} // namespace

std::string FoldText(std::string_view Text) {
    std::string Folded;
    Folded.reserve(Text.size());
    for (std::size_t Index = 0; Index < Text.size();) {
        if (static_cast<unsigned char>(Text[Index]) < 0x80) {
            Folded += static_cast<char>(FoldChar(static_cast<unsigned char>(Text[Index])));
            ++Index;
            continue;
        }
        char32_t Char;
        bool Valid;
        const std::size_t Length = DecodeAt(Text, Index, Char, Valid);
        if (Valid)
            Encode(FoldChar(Char), Folded);
        else
            Folded.append(Text.substr(Index, Length));
        Index += Length;
    }
    return Folded;
}

bool WildcardMatch(std::string_view Pattern, std::string_view Text) {
    std::size_t P = 0;
    std::size_t T = 0;
    std::size_t StarP = std::string_view::npos;
    std::size_t StarT = 0;
    while (T < Text.size()) {
        if (P < Pattern.size() && Pattern[P] == '*') {
            StarP = P++;
            StarT = T;
        } else if (P < Pattern.size() && Pattern[P] == '?') {
            ++P;
            T += CharLength(Text, T);
        } else if (P < Pattern.size() && Pattern[P] == Text[T]) {
            ++P;
            ++T;
        } else if (StarP != std::string_view::npos) {
            // The last star takes one more character, and the rest is tried again.
            P = StarP + 1;
            StarT += CharLength(Text, StarT);
            T = StarT;
        } else {
            return false;
        }
    }
    while (P < Pattern.size() && Pattern[P] == '*')
        ++P;
    return P == Pattern.size();
}

TSearchPattern::TSearchPattern(std::string_view Text)
    : FFolded(FoldText(Text)), FWildcards(FFolded.find_first_of("*?") != std::string::npos) {
    if (!FWildcards)
        return;
    FPrefix = FFolded.substr(0, FFolded.find_first_of("*?"));
    const std::size_t LastStar = FFolded.rfind('*');
    if (LastStar != std::string::npos && FFolded.find('?', LastStar) == std::string::npos)
        FSuffix = FFolded.substr(LastStar + 1);
}

// A quick test that most texts fail before the whole match is tried.
bool TSearchPattern::Fits(std::string_view Text) const {
    return Text.size() >= FPrefix.size() + FSuffix.size() &&
           Text.compare(0, FPrefix.size(), FPrefix) == 0 &&
           Text.compare(Text.size() - FSuffix.size(), FSuffix.size(), FSuffix) == 0;
}

bool TSearchPattern::Matches(std::string_view FoldedPath, std::string_view FoldedName) const {
    if (!FWildcards)
        return FoldedPath.find(FFolded) != std::string_view::npos;
    return (Fits(FoldedName) && WildcardMatch(FFolded, FoldedName)) ||
           (Fits(FoldedPath) && WildcardMatch(FFolded, FoldedPath));
}

void SortEntryRows(const std::vector<TCatalogEntry>& Entries, int Column, bool Descending,
                   std::vector<std::uint32_t>& Rows) {
    const auto Compare = [&Entries, Column](std::uint32_t Left, std::uint32_t Right) {
        const TCatalogEntry& A = Entries[Left];
        const TCatalogEntry& B = Entries[Right];
        const auto Order = [](auto X, auto Y) { return X < Y ? -1 : Y < X ? 1 : 0; };
        switch (Column) {
        case ecPut:
            return Order(A.Created, B.Created);
        case ecItems:
            return Order(A.Items, B.Items);
        case ecSize:
            return Order(A.Bytes, B.Bytes);
        case ecFrom:
            return Order(FoldText(A.FirstItem), FoldText(B.FirstItem));
        default:
            return 0;
        }
    };
    std::vector<std::string> Names(Entries.size());
    for (std::size_t Index = 0; Index < Entries.size(); ++Index)
        Names[Index] = FoldText(Entries[Index].Name);
    std::stable_sort(Rows.begin(), Rows.end(), [&](std::uint32_t A, std::uint32_t B) {
        const int Order = Compare(A, B);
        if (Order != 0)
            return Descending ? Order > 0 : Order < 0;
        const int ByName = Names[A].compare(Names[B]);
        return Column == 0 && Descending ? ByName > 0 : ByName < 0;
    });
}

TRecordNode MergeTrees(const std::vector<Engine_record::TPutSection>& Puts) {
    TRecordNode Tree;
    if (Puts.size() == 1)
        Tree = Puts.front().Tree;
    else
        for (const Engine_record::TPutSection& Put : Puts)
            MergeInto(Tree, Put.Tree);
    SortChildren(Tree);
    return Tree;
}

std::size_t TCatalog::AddEntry(const std::string& Name, const std::string& Path,
                               std::uint64_t Created) {
    TCatalogEntry Entry;
    Entry.Name = Name;
    Entry.Path = Path;
    Entry.Created = Created;
    FEntries.push_back(std::move(Entry));
    FFirstNode.push_back(0);
    FNodeCount.push_back(0);
    return FEntries.size() - 1;
}

void TCatalog::SetRecord(std::size_t Entry, const Engine_record::TRecord& Record, bool Unfinished) {
    TCatalogEntry& Info = FEntries[Entry];
    if (Info.Known)
        return;
    Info.Known = true;
    Info.Unfinished = Unfinished;
    std::vector<std::string> Items;
    // The newest put's time, not the directory's: a take back of some items
    // changes the directory, and the entry still was put when it was.
    if (!Record.Puts.empty())
        Info.Created = 0;
    for (const Engine_record::TPutSection& Put : Record.Puts) {
        Info.Created = std::max(Info.Created, Put.Time);
        Engine_record::CountFiles(Put.Tree, Info.Files, Info.Bytes);
        for (const std::string& Path : Engine_record::ItemPaths(Put.Tree))
            Items.push_back(Path);
    }
    Info.Items = Items.size();
    if (!Items.empty()) {
        Info.FirstItem = Items.front().substr(0, 1) + ":" + Items.front().substr(1);
        Info.MoreItems = Items.size() - 1;
    }
    FFirstNode[Entry] = static_cast<std::uint32_t>(FNodes.size());
    std::string Path;
    for (const TRecordNode& Drive : MergeTrees(Record.Puts).Children)
        AddTree(static_cast<std::uint32_t>(Entry), Drive, NoParent, 0, false, Path);
    FNodeCount[Entry] = static_cast<std::uint32_t>(FNodes.size()) - FFirstNode[Entry];
}

// Depth first, so that the nodes of an entry lie together in the order of
// its tree. The drive level reads "C:", the levels below "\name".
void TCatalog::AddTree(std::uint32_t Entry, const TRecordNode& Node, std::uint32_t Parent,
                       std::uint32_t Depth, bool Moved, std::string& FoldedPath) {
    const std::size_t Before = FoldedPath.size();
    if (Depth > 0)
        FoldedPath += '\\';
    const std::size_t NameStart = FoldedPath.size();
    FoldedPath += FoldText(Node.Name);
    const std::size_t NameLength = FoldedPath.size() - NameStart;
    if (Depth == 0)
        FoldedPath += ':';
    TCatalogNode Flat;
    Flat.Entry = Entry;
    Flat.Parent = Parent;
    Flat.Depth = Depth;
    Flat.Kind = Node.Kind;
    Flat.Item = Node.Item;
    Flat.Moved = Moved || Node.Item;
    Flat.Size = BytesBelow(Node);
    Flat.PathStart = static_cast<std::uint32_t>(FFolded.size());
    Flat.PathLength = static_cast<std::uint32_t>(FoldedPath.size());
    Flat.NameLength = static_cast<std::uint32_t>(NameLength);
    Flat.NameStart = static_cast<std::uint32_t>(FNames.size());
    FFolded += FoldedPath;
    FNames += Node.Name;
    FNames += '\0';
    const auto Index = static_cast<std::uint32_t>(FNodes.size());
    FNodes.push_back(Flat);
    for (const TRecordNode& Child : Node.Children)
        AddTree(Entry, Child, Index, Depth + 1, Flat.Moved, FoldedPath);
    FoldedPath.resize(Before);
}

std::vector<std::uint32_t> TCatalog::EntryNodes(std::size_t Entry) const {
    std::vector<std::uint32_t> Nodes(FNodeCount[Entry]);
    for (std::uint32_t Index = 0; Index < Nodes.size(); ++Index)
        Nodes[Index] = FFirstNode[Entry] + Index;
    return Nodes;
}

// A node's path is its parent's and one more name, and the parent comes
// first: a text found in the parent's path is in the node's, and otherwise
// only the end of the node's path, from just before its name, is read.
std::vector<std::uint32_t> TCatalog::Search(const TSearchPattern& Pattern) const {
    std::vector<std::uint32_t> Found;
    if (Pattern.Empty())
        return Found;
    const std::string_view Folded(FFolded);
    const std::string& Text = Pattern.Folded();
    std::vector<char> Holds(Pattern.HasWildcards() ? 0 : FNodes.size());
    for (std::uint32_t Index = 0; Index < FNodes.size(); ++Index) {
        const TCatalogNode& Node = FNodes[Index];
        const std::string_view Path = Folded.substr(Node.PathStart, Node.PathLength);
        bool Match = false;
        if (Pattern.HasWildcards()) {
            Match = Node.Moved && Pattern.Matches(Path, Path.substr(Path.size() - Node.NameLength));
        } else {
            const bool InParent = Node.Parent != NoParent && Holds[Node.Parent];
            const std::size_t Above = Node.Parent == NoParent ? 0 : FNodes[Node.Parent].PathLength;
            const std::size_t From = Above + 1 >= Text.size() ? Above + 1 - Text.size() : 0;
            Match = InParent || Path.find(Text, From) != std::string_view::npos;
            Holds[Index] = Match;
            Match = Match && Node.Moved;
        }
        if (Match)
            Found.push_back(Index);
    }
    return Found;
}

std::string_view TCatalog::Name(std::uint32_t Node) const {
    return std::string_view(FNames.data() + FNodes[Node].NameStart);
}

std::string TCatalog::OriginalPath(std::uint32_t Node) const {
    std::string Path = EntryRelativePath(Node);
    return Path.substr(0, 1) + ":" + Path.substr(1);
}

std::string TCatalog::OriginalPlace(std::uint32_t Node) const {
    const std::uint32_t Parent = FNodes[Node].Parent;
    return Parent == NoParent ? std::string() : OriginalPath(Parent);
}

std::string TCatalog::EntryRelativePath(std::uint32_t Node) const {
    std::vector<std::uint32_t> Chain;
    for (std::uint32_t At = Node; At != NoParent; At = FNodes[At].Parent)
        Chain.push_back(At);
    std::string Path;
    for (auto At = Chain.rbegin(); At != Chain.rend(); ++At) {
        if (!Path.empty())
            Path += '\\';
        Path += Name(*At);
    }
    return Path;
}

TTotals TCatalog::Totals() const {
    TTotals Totals;
    Totals.Entries = FEntries.size();
    for (const TCatalogEntry& Entry : FEntries) {
        Totals.Files += Entry.Files;
        Totals.Bytes += Entry.Bytes;
    }
    return Totals;
}

std::string TotalsText(const TTotals& Totals, const Vek_string::TNumberFormat& Format) {
    using Vek_string::GroupDigits;
    return GroupDigits(Totals.Entries, Format) + (Totals.Entries == 1 ? " entry, " : " entries, ") +
           GroupDigits(Totals.Files, Format) + (Totals.Files == 1 ? " file, " : " files, ") +
           Vek_string::SizeText(Totals.Bytes, Format);
}

namespace {

const char CatalogHeader[] = "Tovel Bin catalog 1\r\n";

// Decimal digits only, at least one, within 64 bits.
bool ParseNumber(std::string_view Text, std::uint64_t& Value) {
    Value = 0;
    if (Text.empty())
        return false;
    for (char C : Text) {
        if (C < '0' || C > '9')
            return false;
        const auto Digit = static_cast<std::uint64_t>(C - '0');
        if (Value > (UINT64_MAX - Digit) / 10)
            return false;
        Value = Value * 10 + Digit;
    }
    return true;
}

} // namespace

std::string FormatCatalogFile(const std::vector<std::pair<std::string, TCachedRecord>>& Records) {
    std::string Text = CatalogHeader;
    for (const auto& [Name, Record] : Records)
        Text += std::to_string(Record.Changed) + " " + std::to_string(Record.Text.size()) + " " +
                Name + "\r\n" + Record.Text;
    return Text;
}

// Each record as "<changed> <bytes> <entry name>" CR LF and then its bytes.
bool ParseCatalogFile(const std::string& Text,
                      std::vector<std::pair<std::string, TCachedRecord>>& Records) {
    Records.clear();
    const std::string Header = CatalogHeader;
    if (Text.compare(0, Header.size(), Header) != 0)
        return false;
    for (std::size_t At = Header.size(); At < Text.size();) {
        const std::size_t End = Text.find("\r\n", At);
        if (End == std::string::npos)
            return false;
        const std::string Line = Text.substr(At, End - At);
        const std::size_t First = Line.find(' ');
        const std::size_t Second = First == std::string::npos ? First : Line.find(' ', First + 1);
        TCachedRecord Record;
        std::uint64_t Bytes = 0;
        if (Second == std::string::npos ||
            !ParseNumber(std::string_view(Line).substr(0, First), Record.Changed) ||
            !ParseNumber(std::string_view(Line).substr(First + 1, Second - First - 1), Bytes))
            return false;
        At = End + 2;
        if (Bytes > Text.size() - At)
            return false;
        Record.Text = Text.substr(At, static_cast<std::size_t>(Bytes));
        At += Bytes;
        Records.emplace_back(Line.substr(Second + 1), std::move(Record));
    }
    return true;
}

#ifdef _WIN32

const char CatalogFileName[] = "TovelBin.catalog";

namespace {

const char NewCatalogSuffix[] = ".new";
// More than a catalogue of a million entries needs; a larger file is none.
const std::uint64_t MaxCatalogBytes = 1ull << 30;

bool IsDriveLevel(const TRecordNode& Node) {
    return Node.Kind == TRecordNode::nkDirectory && Node.Name.size() == 1 &&
           std::isalpha(static_cast<unsigned char>(Node.Name[0]));
}

bool HasUnfinishedPut(const Engine_record::TRecord& Record) {
    return std::any_of(Record.Puts.begin(), Record.Puts.end(), Engine_record::IsUnfinished);
}

} // namespace

bool IsCatalogFile(const std::string& Name) {
    const std::string Given = FoldText(Name);
    const std::string Catalog = FoldText(CatalogFileName);
    return Given == Catalog || Given == Catalog + NewCatalogSuffix;
}

namespace {

std::string ReadCatalogFile(const std::string& Path) {
    std::string Bytes;
    if (!Base_file::ReadWholeFile(Path, Bytes, Base_file::TSharing::shAnyone, MaxCatalogBytes))
        Bytes.clear();
    return Bytes;
}

// Written beside the old one and renamed over it; a catalogue that cannot
// be written is only read from the entries again next time.
void WriteCatalogFile(const std::string& Path, const std::string& Text) {
    Base_file::WriteFileAtomically(Path, Path + NewCatalogSuffix, Text, true);
}

} // namespace

TListing ListCatalog(const std::string& Location) {
    TListing Listing;
    if (!Vek_file::IsDirectory(Location))
        return Listing;
    const std::string CatalogPath =
        Vek_file::IncludeTrailingDelimiter(Location, '\\') + CatalogFileName;
    std::vector<std::pair<std::string, TCachedRecord>> Cached;
    ParseCatalogFile(ReadCatalogFile(CatalogPath), Cached);
    std::map<std::string, const TCachedRecord*> ByName;
    for (const auto& [Name, Record] : Cached)
        ByName.emplace(Name, &Record);
    std::vector<std::pair<std::string, TCachedRecord>> Kept;
    bool Changed = false;
    Vek_file::ListDirectory(Location, [&](const Vek_file::TFindData& Data) {
        if (!Data.IsDirectory() || Data.IsReparsePoint())
            return;
        const std::string Path = Vek_file::IncludeTrailingDelimiter(Location, '\\') + Data.Name;
        const std::size_t Entry = Listing.Catalog.AddEntry(Data.Name, Path, Data.Created);
        const auto Found = ByName.find(Data.Name);
        Engine_record::TRecord Record;
        TCachedRecord Fresh;
        if (Found != ByName.end() && Found->second->Changed == Data.LastWritten &&
            Engine_record::ParseRecord(Found->second->Text, Record)) {
            Fresh = *Found->second;
        } else {
            Changed = true;
            if (!Engine_record::ReadRecord(Path, Record)) {
                Listing.Unread.push_back(Entry);
                return;
            }
            Fresh = TCachedRecord{Data.LastWritten, Engine_record::FormatRecord(Record)};
        }
        Listing.Catalog.SetRecord(Entry, Record, HasUnfinishedPut(Record));
        Kept.emplace_back(Data.Name, std::move(Fresh));
    });
    if (Changed || Kept.size() != Cached.size())
        WriteCatalogFile(CatalogPath, FormatCatalogFile(Kept));
    return Listing;
}

bool ReadUnrecordedEntry(const std::string& EntryPath, std::uint64_t Created,
                         Engine_record::TRecord& Record) {
    TRecordNode Tree;
    try {
        Tree = Engine_record::ReadEntry(EntryPath);
    } catch (const Base_system::Exception&) {
        return false;
    }
    Engine_record::TPutSection Section;
    char Id[40];
    std::snprintf(Id, sizeof Id, "%016llX-00000000", static_cast<unsigned long long>(Created));
    Section.Id = Id;
    Section.Time = Created;
    Section.State = Engine_record::TPutState::psDone;
    // What a take back without a record finds: each thing in a drive
    // directory is an item; anything else in the entry is none of the put's.
    for (TRecordNode& Level : Tree.Children) {
        if (!IsDriveLevel(Level))
            continue;
        for (TRecordNode& Item : Level.Children)
            Item.Item = true;
        Section.Tree.Children.push_back(std::move(Level));
    }
    Section.Items = Engine_record::CountItems(Section.Tree);
    // Listing writes nothing: a folder the program never made stays as the
    // user left it, and is read again at the next opening.
    Record.Puts = {std::move(Section)};
    return true;
}

TCatalogFiller::TCatalogFiller(std::vector<std::pair<std::size_t, TCatalogEntry>> Entries,
                               TReader Reader, std::function<void()> Ready)
    : FEntries(std::move(Entries)), FReader(std::move(Reader)), FReady(std::move(Ready)) {
    if (!FEntries.empty())
        FThread = std::thread([this] { Run(); });
}

TCatalogFiller::~TCatalogFiller() {
    FStop = true;
    if (FThread.joinable())
        FThread.join();
}

std::vector<TCatalogFiller::TRead> TCatalogFiller::Take() {
    const std::lock_guard<std::mutex> Guard(FLock);
    return std::move(FDone);
}

// Nothing may escape a thread: a failure leaves the entry without figures.
void TCatalogFiller::Run() {
    for (const auto& [Entry, Info] : FEntries) {
        if (FStop)
            return;
        TRead Read;
        Read.Entry = Entry;
        try {
            Read.Recorded = FReader(Info, Read.Record);
        } catch (...) {
            Read.Recorded = false;
        }
        {
            const std::lock_guard<std::mutex> Guard(FLock);
            FDone.push_back(std::move(Read));
        }
        FReady();
    }
}

#endif

} // namespace Engine_catalog
