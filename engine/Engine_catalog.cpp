#include "engine/Engine_catalog.h"

#ifdef _WIN32
#include "base/Base_file.h"
#include "engine/Engine_listing.h"
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
#include <unordered_map>
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

// Texts are folded once each, and only when a comparison needs them: a
// sort by time rarely compares names.
void SortEntryRows(const std::vector<TCatalogEntry>& Entries, int Column, bool Descending,
                   std::vector<std::uint32_t>& Rows) {
    std::vector<std::string> Folded[2];
    std::vector<char> Known[2];
    const auto Fold = [&](int Which, std::uint32_t Entry) -> const std::string& {
        if (Folded[Which].empty()) {
            Folded[Which].resize(Entries.size());
            Known[Which].resize(Entries.size());
        }
        if (!Known[Which][Entry]) {
            Folded[Which][Entry] =
                FoldText(Which == 0 ? Entries[Entry].Name : Entries[Entry].FirstItem);
            Known[Which][Entry] = 1;
        }
        return Folded[Which][Entry];
    };
    const auto Compare = [&](std::uint32_t Left, std::uint32_t Right) {
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
            return Fold(1, Left).compare(Fold(1, Right));
        default:
            return 0;
        }
    };
    std::stable_sort(Rows.begin(), Rows.end(), [&](std::uint32_t A, std::uint32_t B) {
        const int Order = Compare(A, B);
        if (Order != 0)
            return Descending ? Order > 0 : Order < 0;
        const int ByName = Fold(0, A).compare(Fold(0, B));
        return Column == 0 && Descending ? ByName > 0 : ByName < 0;
    });
}

void SortItemRows(const TCatalog& Catalog, int Column, bool Descending, bool Tree,
                  std::vector<std::uint32_t>& Rows) {
    const std::vector<TCatalogNode>& Nodes = Catalog.Nodes();
    const auto Place = [&](std::uint32_t Node) {
        const std::uint32_t Parent = Nodes[Node].Parent;
        return Parent == NoParent ? std::string_view() : Catalog.FoldedPath(Parent);
    };
    const auto Compare = [&](std::uint32_t A, std::uint32_t B) {
        const TCatalogEntry& OfA = Catalog.Entries()[Nodes[A].Entry];
        const TCatalogEntry& OfB = Catalog.Entries()[Nodes[B].Entry];
        switch (Column) {
        case icName:
            return Catalog.FoldedName(A).compare(Catalog.FoldedName(B));
        case icPlace:
            return Place(A).compare(Place(B));
        case icEntry:
            return FoldText(OfA.Name).compare(FoldText(OfB.Name));
        case icPut:
            return OfA.Created < OfB.Created ? -1 : OfA.Created > OfB.Created ? 1 : 0;
        default:
            return Nodes[A].Size < Nodes[B].Size ? -1 : Nodes[A].Size > Nodes[B].Size ? 1 : 0;
        }
    };
    const auto Before = [&](std::uint32_t A, std::uint32_t B) {
        const int Order = Compare(A, B);
        return Descending ? Order > 0 : Order < 0;
    };
    if (!Tree) {
        std::stable_sort(Rows.begin(), Rows.end(), Before);
        return;
    }
    // Each node under its parent, when the parent is a row too.
    std::map<std::uint32_t, std::vector<std::uint32_t>> Children;
    std::vector<char> IsRow(Nodes.size(), 0);
    for (const std::uint32_t Row : Rows)
        IsRow[Row] = 1;
    std::vector<std::uint32_t> Tops;
    for (const std::uint32_t Row : Rows) {
        const std::uint32_t Parent = Nodes[Row].Parent;
        if (Parent != NoParent && IsRow[Parent])
            Children[Parent].push_back(Row);
        else
            Tops.push_back(Row);
    }
    std::stable_sort(Tops.begin(), Tops.end(), Before);
    for (auto& Level : Children)
        std::stable_sort(Level.second.begin(), Level.second.end(), Before);
    Rows.clear();
    std::vector<std::uint32_t> Pending(Tops.rbegin(), Tops.rend());
    while (!Pending.empty()) {
        const std::uint32_t Row = Pending.back();
        Pending.pop_back();
        Rows.push_back(Row);
        const auto Below = Children.find(Row);
        if (Below != Children.end())
            Pending.insert(Pending.end(), Below->second.rbegin(), Below->second.rend());
    }
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
    return AddSummary(Entry);
}

std::size_t TCatalog::AddSummary(TCatalogEntry Entry) {
    FEntries.push_back(std::move(Entry));
    FFirstNode.push_back(0);
    FNodeCount.push_back(0);
    FHasNodes.push_back(0);
    return FEntries.size() - 1;
}

std::size_t TCatalog::Find(const std::string& Path) const {
    std::size_t Entry = 0;
    while (Entry < FEntries.size() && FEntries[Entry].Path != Path)
        ++Entry;
    return Entry;
}

void TCatalog::SetRecord(std::size_t Entry, const Engine_record::TRecord& Record, bool Unfinished) {
    if (FHasNodes[Entry])
        return;
    FHasNodes[Entry] = 1;
    TCatalogEntry& Info = FEntries[Entry];
    Info.Known = true;
    Info.Unfinished = Unfinished;
    Info.Listing = false;
    Info.Items = 0;
    Info.Files = 0;
    Info.Bytes = 0;
    Info.FirstItem.clear();
    Info.MoreItems = 0;
    std::vector<std::string> Items;
    // The newest put's time, not the directory's: a take back of some items
    // changes the directory, and the entry still was put when it was.
    if (!Record.Puts.empty())
        Info.Created = 0;
    for (const Engine_record::TPutSection& Put : Record.Puts) {
        Info.Listing = Info.Listing || !Put.Listed;
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

std::string_view TCatalog::FoldedPath(std::uint32_t Node) const {
    return std::string_view(FFolded).substr(FNodes[Node].PathStart, FNodes[Node].PathLength);
}

std::string_view TCatalog::FoldedName(std::uint32_t Node) const {
    const std::string_view Path = FoldedPath(Node);
    const std::size_t Drive = FNodes[Node].Parent == NoParent ? 1 : 0;
    return Path.substr(Path.size() - Drive - FNodes[Node].NameLength, FNodes[Node].NameLength);
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

const char CatalogHeader[] = "Tovel Bin catalog 2\r\n";
const char Tab = '\t';

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

bool ParseCount(std::string_view Text, std::size_t& Value) {
    std::uint64_t Number = 0;
    if (!ParseNumber(Text, Number) || Number > SIZE_MAX)
        return false;
    Value = static_cast<std::size_t>(Number);
    return true;
}

// A text that a line of fields can hold: no tab and no line end, which no
// name of a file holds either.
bool FitsField(const std::string& Text) {
    return std::none_of(Text.begin(), Text.end(),
                        [](char C) { return static_cast<unsigned char>(C) < 0x20; });
}

// "k" known, "u" unfinished, "l" still listing; "-" for none of them.
std::string Flags(const TCatalogEntry& Entry) {
    std::string Text = std::string(Entry.Known ? "k" : "") + (Entry.Unfinished ? "u" : "") +
                       (Entry.Listing ? "l" : "");
    return Text.empty() ? "-" : Text;
}

bool ParseFlags(std::string_view Text, TCatalogEntry& Entry) {
    if (Text == "-")
        return true;
    for (char C : Text) {
        bool& Flag = C == 'k' ? Entry.Known : C == 'u' ? Entry.Unfinished : Entry.Listing;
        if ((C != 'k' && C != 'u' && C != 'l') || Flag)
            return false;
        Flag = true;
    }
    return !Text.empty();
}

} // namespace

// Each entry as "<changed> <put> <flags> <items> <files> <bytes> <more>
// <name> <first item>", tab between them, CR LF after them. An entry whose
// name or first item no line can hold is left out: it is read again.
std::string FormatCatalogFile(const std::vector<TCatalogEntry>& Entries) {
    std::string Text = CatalogHeader;
    Text.reserve(Entries.size() * 96);
    for (const TCatalogEntry& Entry : Entries) {
        if (Entry.Name.empty() || !FitsField(Entry.Name) || !FitsField(Entry.FirstItem))
            continue;
        for (const std::uint64_t Number : {Entry.Changed, Entry.Created})
            (Text += std::to_string(Number)) += Tab;
        (Text += Flags(Entry)) += Tab;
        for (const std::uint64_t Number :
             {static_cast<std::uint64_t>(Entry.Items), Entry.Files, Entry.Bytes,
              static_cast<std::uint64_t>(Entry.MoreItems)})
            (Text += std::to_string(Number)) += Tab;
        (Text += Entry.Name) += Tab;
        (Text += Entry.FirstItem) += "\r\n";
    }
    return Text;
}

bool ParseCatalogFile(const std::string& Text, std::vector<TCatalogEntry>& Entries) {
    Entries.clear();
    const std::string_view All(Text);
    const std::string_view Header = CatalogHeader;
    if (All.substr(0, Header.size()) != Header)
        return false;
    const std::size_t FieldCount = 9;
    std::string_view Fields[FieldCount];
    for (std::size_t At = Header.size(); At < All.size();) {
        const std::size_t End = All.find("\r\n", At);
        if (End == std::string_view::npos)
            return false;
        std::string_view Line = All.substr(At, End - At);
        At = End + 2;
        for (std::size_t Field = 0; Field < FieldCount; ++Field) {
            const std::size_t Stop =
                Field + 1 < FieldCount ? Line.find(Tab) : std::string_view::npos;
            if (Field + 1 < FieldCount && Stop == std::string_view::npos)
                return false;
            Fields[Field] = Line.substr(0, Stop);
            Line = Stop == std::string_view::npos ? std::string_view() : Line.substr(Stop + 1);
        }
        TCatalogEntry Entry;
        if (!ParseNumber(Fields[0], Entry.Changed) || !ParseNumber(Fields[1], Entry.Created) ||
            !ParseFlags(Fields[2], Entry) || !ParseCount(Fields[3], Entry.Items) ||
            !ParseNumber(Fields[4], Entry.Files) || !ParseNumber(Fields[5], Entry.Bytes) ||
            !ParseCount(Fields[6], Entry.MoreItems) || Fields[7].empty() ||
            Fields[8].find(Tab) != std::string_view::npos)
            return false;
        Entry.Name = std::string(Fields[7]);
        Entry.FirstItem = std::string(Fields[8]);
        if (!FitsField(Entry.Name) || !FitsField(Entry.FirstItem))
            return false;
        Entries.push_back(std::move(Entry));
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

bool IsListing(const Engine_record::TRecord& Record) {
    return std::any_of(Record.Puts.begin(), Record.Puts.end(),
                       [](const Engine_record::TPutSection& Put) { return !Put.Listed; });
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

namespace {

// An entry directory of the bin as its listing gives it, not read yet. Its
// write time is taken before the record is read: a record written in
// between leaves a summary that is read again next time.
TCatalogEntry EntryOf(const std::string& Folder, const Vek_file::TFindData& Data) {
    TCatalogEntry Entry;
    Entry.Name = Data.Name;
    Entry.Path = Folder + Data.Name;
    Entry.Created = Data.Created;
    Entry.Changed = Data.LastWritten;
    return Entry;
}

// Without Stop, a put still listing is left as it is.
bool ReadBin(const std::string& Location, TListing& Listing, const std::atomic<bool>* Stop) {
    Listing = TListing();
    if (!Vek_file::IsDirectory(Location))
        return true;
    const std::string Folder = Vek_file::IncludeTrailingDelimiter(Location, '\\');
    std::vector<TCatalogEntry> Found;
    Vek_file::ListDirectory(Location, [&](const Vek_file::TFindData& Data) {
        if (!Data.IsDirectory() || Data.IsReparsePoint())
            return;
        Found.push_back(EntryOf(Folder, Data));
    });
    for (const TCatalogEntry& Info : Found) {
        if (Stop && *Stop)
            return false;
        const std::size_t Entry = Listing.Catalog.AddSummary(Info);
        Engine_record::TRecord Record;
        if (!Engine_record::ReadRecord(Info.Path, Record)) {
            Listing.Unread.push_back(Entry);
            continue;
        }
        // A put that still lists its directories, whose lister is gone:
        // listed here, and its record read again. One that cannot be
        // completed now stays as it is, its size still being counted.
        if (Stop && IsListing(Record)) {
            try {
                if (Engine_listing::CompleteListings(Info.Path, Stop))
                    Engine_record::ReadRecord(Info.Path, Record);
            } catch (const Base_system::Exception&) {
            }
        }
        Listing.Catalog.SetRecord(Entry, Record, HasUnfinishedPut(Record));
    }
    const std::string CatalogPath = Folder + CatalogFileName;
    const std::string Text = FormatCatalogFile(Listing.Catalog.Entries());
    if (Text != ReadCatalogFile(CatalogPath))
        WriteCatalogFile(CatalogPath, Text);
    return true;
}

} // namespace

bool ListCatalog(const std::string& Location, TListing& Listing, const std::atomic<bool>& Stop) {
    return ReadBin(Location, Listing, &Stop);
}

TListing ListCatalog(const std::string& Location) {
    TListing Listing;
    ReadBin(Location, Listing, nullptr);
    return Listing;
}

namespace {

// The entries of the bin's directory now: those whose directory did not
// change since their summary from it, the others read.
TCatalog CheckSummaries(const std::string& Location, const std::vector<TCatalogEntry>& Summaries,
                        const std::atomic<bool>& Stop) {
    std::unordered_map<std::string, const TCatalogEntry*> ByName;
    for (const TCatalogEntry& Entry : Summaries)
        ByName.emplace(Entry.Name, &Entry);
    const std::string Folder = Vek_file::IncludeTrailingDelimiter(Location, '\\');
    TCatalog Checked;
    Vek_file::ListDirectory(Location, [&](const Vek_file::TFindData& Data) {
        if (!Data.IsDirectory() || Data.IsReparsePoint() || Stop)
            return;
        const auto Found = ByName.find(Data.Name);
        if (Found != ByName.end() && Found->second->Changed == Data.LastWritten) {
            Checked.AddSummary(*Found->second);
            return;
        }
        const TCatalogEntry Fresh = EntryOf(Folder, Data);
        const std::size_t Entry = Checked.AddSummary(Fresh);
        Engine_record::TRecord Record;
        if (ReadEntry(Fresh, Record))
            Checked.SetRecord(Entry, Record, HasUnfinishedPut(Record));
    });
    return Checked;
}

} // namespace

TListing ListSummaries(const std::string& Location, const std::vector<std::string>& ReadNow) {
    const std::string Folder = Vek_file::IncludeTrailingDelimiter(Location, '\\');
    std::vector<TCatalogEntry> Summaries;
    if (!Vek_file::IsDirectory(Location) ||
        !ParseCatalogFile(ReadCatalogFile(Folder + CatalogFileName), Summaries))
        return ListCatalog(Location);
    TListing Listing;
    for (TCatalogEntry& Entry : Summaries) {
        Entry.Path = Folder + Entry.Name;
        const bool Now = std::find(ReadNow.begin(), ReadNow.end(), Entry.Path) != ReadNow.end();
        if (Now && !Vek_file::IsDirectory(Entry.Path))
            continue;
        const std::size_t Added = Listing.Catalog.AddSummary(std::move(Entry));
        Engine_record::TRecord Record;
        if (Now && ReadEntry(Listing.Catalog.Entries()[Added], Record))
            Listing.Catalog.SetRecord(Added, Record, HasUnfinishedPut(Record));
    }
    // The summaries are read again there: the window does not wait for a
    // copy of them.
    Listing.Complete = [Location, Folder](const std::atomic<bool>& Stop,
                                          const std::function<void(TCatalog & Checked)>& Checked,
                                          TCatalog& Catalog) {
        std::vector<TCatalogEntry> Summaries;
        ParseCatalogFile(ReadCatalogFile(Folder + CatalogFileName), Summaries);
        for (TCatalogEntry& Entry : Summaries)
            Entry.Path = Folder + Entry.Name;
        TCatalog Quick = CheckSummaries(Location, Summaries, Stop);
        if (Stop)
            return false;
        Checked(Quick);
        TListing Full;
        if (!ListCatalog(Location, Full, Stop))
            return false;
        for (const std::size_t Entry : Full.Unread) {
            if (Stop)
                return false;
            const TCatalogEntry& Info = Full.Catalog.Entries()[Entry];
            Engine_record::TRecord Record;
            if (ReadUnrecordedEntry(Info.Path, Info.Created, Record))
                Full.Catalog.SetRecord(Entry, Record, false);
        }
        Catalog = std::move(Full.Catalog);
        return true;
    };
    return Listing;
}

bool ReadEntry(const TCatalogEntry& Entry, Engine_record::TRecord& Record) {
    return Engine_record::ReadRecord(Entry.Path, Record) ||
           ReadUnrecordedEntry(Entry.Path, Entry.Created, Record);
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
    if (FEntries.empty())
        FFinished = true;
    else
        FThread = std::thread([this] { Run(); });
}

TCatalogFiller::TCatalogFiller(TMaker Maker, std::function<void()> Ready)
    : FMaker(std::move(Maker)), FReady(std::move(Ready)) {
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

bool TCatalogFiller::TakeCatalog(TCatalog& Catalog) {
    const std::lock_guard<std::mutex> Guard(FLock);
    if (!FMadeReady)
        return false;
    Catalog = std::move(FMade);
    FMadeReady = false;
    return true;
}

bool TCatalogFiller::Done() {
    const std::lock_guard<std::mutex> Guard(FLock);
    return FFinished && FDone.empty() && !FMadeReady;
}

// Nothing may escape a thread: a failure leaves the entry without figures,
// or the catalogue as it was shown.
void TCatalogFiller::Run() {
    if (FMaker) {
        TCatalog Made;
        bool Ready = false;
        const auto Checked = [this](TCatalog& Catalog) {
            {
                const std::lock_guard<std::mutex> Guard(FLock);
                FMade = std::move(Catalog);
                FMadeReady = true;
            }
            FReady();
        };
        try {
            Ready = FMaker(FStop, Checked, Made);
        } catch (...) {
            Ready = false;
        }
        {
            const std::lock_guard<std::mutex> Guard(FLock);
            if (Ready) {
                FMade = std::move(Made);
                FMadeReady = true;
            }
            FFinished = true;
        }
        FReady();
        return;
    }
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
    const std::lock_guard<std::mutex> Guard(FLock);
    FFinished = true;
}

#endif

} // namespace Engine_catalog
