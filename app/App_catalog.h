// The bin's catalogue: its entries with their figures, taken from the put
// records, and one flat index of every file and directory the records name,
// for the Entries dialog's list, its search and its opened entries.
//
// The index keeps each path's original form ("C:\Data\report.txt") once,
// case-folded, in one buffer: a search reads it from start to end and never
// folds a recorded path again. Folding is the program's own simple case
// folding of the scripts that have letter case (Latin, Greek, Cyrillic,
// Armenian, the full-width forms), so that a search finds the same on every
// system. Everything here is pure; the records come from the caller.
#pragma once

#include "app/App_record.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace App_catalog {

// UTF-8 text, every letter in its folded (small) form; bytes that are no
// UTF-8 stay as they are.
std::string FoldText(std::string_view Text);

// What the user typed, folded once. Without "*" or "?" it finds a path
// that holds it anywhere; with them, a name or a whole original path that
// it matches, "*" standing for any run of characters and "?" for one.
class TSearchPattern {
public:
    explicit TSearchPattern(std::string_view Text);
    bool Empty() const { return FFolded.empty(); }
    // Path and Name are folded already; Name is the tail of Path.
    bool Matches(std::string_view FoldedPath, std::string_view FoldedName) const;

private:
    std::string FFolded;
    bool FWildcards = false;
};

// "*" and "?" over UTF-8: "?" takes one character, whatever its bytes.
bool WildcardMatch(std::string_view Pattern, std::string_view Text);

// One entry of the bin. Until Known its figures are not read yet.
struct TCatalogEntry {
    std::string Name;
    std::string Path;
    // FILETIME as one number: of the newest put of its record, else of the
    // entry's directory.
    std::uint64_t Created = 0;
    bool Known = false;
    std::size_t Items = 0;
    std::uint64_t Files = 0;
    std::uint64_t Bytes = 0;
    // The first item's original path (UTF-8) and how many follow it.
    std::string FirstItem;
    std::size_t MoreItems = 0;
    bool Unfinished = false;
};

// One file, directory or link of an entry, as its record names it.
struct TCatalogNode {
    std::uint32_t Entry = 0;
    // The node it lies in; NoParent for a drive level.
    std::uint32_t Parent = 0;
    std::uint32_t Depth = 0;
    App_record::TRecordNode::TKind Kind = App_record::TRecordNode::nkDirectory;
    // One of the puts' own items, or below one: what a search can find.
    bool Moved = false;
    bool Item = false;
    // A file's bytes; a directory's, those of every file below it.
    std::uint64_t Size = 0;
    // The folded original path in the catalogue's buffer; the name is its tail.
    std::uint32_t PathStart = 0;
    std::uint32_t PathLength = 0;
    std::uint32_t NameLength = 0;
    // The name as the record gives it.
    std::uint32_t NameStart = 0;
};

const std::uint32_t NoParent = 0xFFFFFFFFu;

struct TTotals {
    std::size_t Entries = 0;
    std::uint64_t Files = 0;
    std::uint64_t Bytes = 0;
};

class TCatalog {
public:
    // Adds an entry whose figures are not known yet; its index.
    std::size_t AddEntry(const std::string& Name, const std::string& Path, std::uint64_t Created);
    // The entry's figures and nodes from its record: the puts' trees merged
    // into one, names in order. Once per entry.
    void SetRecord(std::size_t Entry, const App_record::TRecord& Record, bool Unfinished);

    const std::vector<TCatalogEntry>& Entries() const { return FEntries; }
    const std::vector<TCatalogNode>& Nodes() const { return FNodes; }
    // The nodes of an entry in the order of its tree, parents first.
    std::vector<std::uint32_t> EntryNodes(std::size_t Entry) const;
    // The moved nodes whose name or original path the pattern matches.
    std::vector<std::uint32_t> Search(const TSearchPattern& Pattern) const;

    std::string_view Name(std::uint32_t Node) const;
    // "C:\Data\report.txt", UTF-8, as the record spells it.
    std::string OriginalPath(std::uint32_t Node) const;
    // "C:\Data": the directory the node came from.
    std::string OriginalPlace(std::uint32_t Node) const;
    // "C\Data\report.txt": the node's path below its entry, as a take back
    // names an item.
    std::string EntryRelativePath(std::uint32_t Node) const;

    TTotals Totals() const;

private:
    void AddTree(std::uint32_t Entry, const App_record::TRecordNode& Node, std::uint32_t Parent,
                 std::uint32_t Depth, bool Moved, std::string& FoldedPath);

    std::vector<TCatalogEntry> FEntries;
    std::vector<std::uint32_t> FFirstNode;
    std::vector<std::uint32_t> FNodeCount;
    std::vector<TCatalogNode> FNodes;
    std::string FFolded;
    std::string FNames;
};

// The puts' trees as one: the same level (ASCII letter case aside) once,
// children in order of their names.
App_record::TRecordNode MergeTrees(const std::vector<App_record::TPutSection>& Puts);

// "1,204 entries, 38,411 files, 12.3 GB".
std::string TotalsText(const TTotals& Totals, const std::string& Thousands,
                       const std::string& Decimal);
// Bytes in the largest unit that keeps a number of at least 1: "512 bytes",
// "1.5 KB", "12.3 GB".
std::string SizeText(std::uint64_t Bytes, const std::string& Thousands, const std::string& Decimal);
std::string GroupDigits(std::uint64_t Value, const std::string& Thousands);

} // namespace App_catalog
