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

#include "vek/Vek_string.h"

#include "engine/Engine_record.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace Engine_catalog {

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
    bool HasWildcards() const { return FWildcards; }
    const std::string& Folded() const { return FFolded; }

private:
    bool Fits(std::string_view Text) const;
    std::string FFolded;
    bool FWildcards = false;
    // What every match begins and ends with: the text before the first
    // wildcard, and after the last "*" when no "?" follows it.
    std::string FPrefix;
    std::string FSuffix;
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
    // When the entry's directory last changed, as its figures were read: a
    // new record, written beside the old one and renamed over it, changes it.
    std::uint64_t Changed = 0;
    bool Known = false;
    std::size_t Items = 0;
    std::uint64_t Files = 0;
    std::uint64_t Bytes = 0;
    // The first item's original path (UTF-8) and how many follow it.
    std::string FirstItem;
    std::size_t MoreItems = 0;
    bool Unfinished = false;
    // A put of it is still listing what its directories hold: its files and
    // bytes are still being counted.
    bool Listing = false;
};

// One file, directory or link of an entry, as its record names it.
struct TCatalogNode {
    std::uint32_t Entry = 0;
    // The node it lies in; NoParent for a drive level.
    std::uint32_t Parent = 0;
    std::uint32_t Depth = 0;
    Engine_record::TRecordNode::TKind Kind = Engine_record::TRecordNode::nkDirectory;
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
    // Adds an entry with the figures of its summary, its nodes not read yet.
    std::size_t AddSummary(TCatalogEntry Entry);
    // The entry's figures and nodes from its record: the puts' trees merged
    // into one, names in order. Once per entry; the figures of a summary
    // give way to the record's.
    void SetRecord(std::size_t Entry, const Engine_record::TRecord& Record, bool Unfinished);
    // Whether the entry's nodes are read: its record was set.
    bool HasNodes(std::size_t Entry) const { return FHasNodes[Entry] != 0; }
    // The entry of that path, or Entries().size().
    std::size_t Find(const std::string& Path) const;

    const std::vector<TCatalogEntry>& Entries() const { return FEntries; }
    const std::vector<TCatalogNode>& Nodes() const { return FNodes; }
    // The nodes of an entry in the order of its tree, parents first.
    std::vector<std::uint32_t> EntryNodes(std::size_t Entry) const;
    // The moved nodes whose name or original path the pattern matches.
    std::vector<std::uint32_t> Search(const TSearchPattern& Pattern) const;

    std::string_view Name(std::uint32_t Node) const;
    // The node's name and its whole original path, folded.
    std::string_view FoldedName(std::uint32_t Node) const;
    std::string_view FoldedPath(std::uint32_t Node) const;
    // "C:\Data\report.txt", UTF-8, as the record spells it.
    std::string OriginalPath(std::uint32_t Node) const;
    // "C:\Data": the directory the node came from.
    std::string OriginalPlace(std::uint32_t Node) const;
    // "C\Data\report.txt": the node's path below its entry, as a take back
    // names an item.
    std::string EntryRelativePath(std::uint32_t Node) const;

    TTotals Totals() const;

private:
    void AddTree(std::uint32_t Entry, const Engine_record::TRecordNode& Node, std::uint32_t Parent,
                 std::uint32_t Depth, bool Moved, std::string& FoldedPath);

    std::vector<TCatalogEntry> FEntries;
    std::vector<std::uint32_t> FFirstNode;
    std::vector<std::uint32_t> FNodeCount;
    std::vector<char> FHasNodes;
    std::vector<TCatalogNode> FNodes;
    std::string FFolded;
    std::string FNames;
};

// The columns of the entries list, in their order.
enum TEntryColumn { ecEntry = 0, ecPut, ecItems, ecSize, ecFrom, ecCount };

// The entries' order for a list sorted by Column (a TEntryColumn), the other
// way round with Descending; rows that tie keep the order of their names.
void SortEntryRows(const std::vector<TCatalogEntry>& Entries, int Column, bool Descending,
                   std::vector<std::uint32_t>& Rows);

// The columns of a search's results and of an opened entry, in their order.
enum TItemColumn { icName = 0, icPlace, icEntry, icPut, icSize, icCount };

// The nodes' order for a list sorted by Column (a TItemColumn), the other
// way round with Descending. As a Tree, each node stays below its parent and
// only the nodes of one parent change places. Rows that tie keep their order.
void SortItemRows(const TCatalog& Catalog, int Column, bool Descending, bool Tree,
                  std::vector<std::uint32_t>& Rows);

// The puts' trees as one: the same level (ASCII letter case aside) once,
// children in order of their names.
Engine_record::TRecordNode MergeTrees(const std::vector<Engine_record::TPutSection>& Puts);

// "1,204 entries, 38,411 files, 12.3 GB", with the separators of Format.
std::string TotalsText(const TTotals& Totals, const Vek_string::TNumberFormat& Format = {});

// The catalogue file's text: one line of each entry's summary, its figures
// and its directory's time of change, the entries' paths left out. Parsing
// gives false for a text that is no catalogue of this version (an earlier
// version's file of whole records among them: the file is then written anew).
std::string FormatCatalogFile(const std::vector<TCatalogEntry>& Entries);
bool ParseCatalogFile(const std::string& Text, std::vector<TCatalogEntry>& Entries);

#ifdef _WIN32

// The bin as the Entries dialog lists it: the entries whose records were
// read, and those (their indexes) that have none to trust yet. A listing
// made from summaries has Complete: what reads the rest, in a thread of its
// own. It hands the catalogue checked against the disk to Checked first,
// the entries that changed read, the others still from their summaries,
// and then gives the whole catalogue, every entry read; false when Stop cut
// it short.
using TCompletion =
    std::function<bool(const std::atomic<bool>& Stop,
                       const std::function<void(TCatalog& Checked)>& Checked, TCatalog& Catalog)>;
struct TListing {
    TCatalog Catalog;
    std::vector<std::size_t> Unread;
    TCompletion Complete;
};

// The bin's catalogue file, hidden in the bin beside its entries: the
// summaries of the entries as last read. Whether Name, directly in the bin,
// is it or the new one about to take its place, letter case aside.
extern const char CatalogFileName[];
bool IsCatalogFile(const std::string& Name);

// One listing of the bin's directory, and each entry's record read. The
// catalogue file is written anew when a summary changed. Entries without a
// record are left Unread. A bin that does not exist lists nothing. With
// Stop, an entry whose put is still listing is completed first when no put
// of it runs any more (an entry locked by another waits until Stop); false
// when Stop asked to end early: nothing was written then. Without, such an
// entry shows as still listing.
bool ListCatalog(const std::string& Location, TListing& Listing, const std::atomic<bool>& Stop);
TListing ListCatalog(const std::string& Location);

// What the Entries dialog shows first: the summaries of the catalogue file
// alone, or, without one to read (a bin of an earlier version among them),
// what ListCatalog reads. Complete then checks the summaries against the
// disk (entries changed, gone and new), reads every record for the search
// and walks the entries without one. The entries of ReadNow (their
// paths), which a command has just changed, are read at once instead, and
// left out when they are gone.
TListing ListSummaries(const std::string& Location, const std::vector<std::string>& ReadNow = {});

// Walks an entry without a record and reads it as one: a put of what lies
// in its drive directories, done at the time the entry was made. Nothing is
// written. False when the entry cannot be listed.
bool ReadUnrecordedEntry(const std::string& EntryPath, std::uint64_t Created,
                         Engine_record::TRecord& Record);

// An entry's record, or without one, the entry walked as
// ReadUnrecordedEntry reads it. False when neither can be read.
bool ReadEntry(const TCatalogEntry& Entry, Engine_record::TRecord& Record);

// Reads entries in a thread of its own, one at a time, and hands each
// result over once it is ready; or makes a whole catalogue there and hands
// it over at the end. Ready is called in that thread after each result.
class TCatalogFiller {
public:
    struct TRead {
        std::size_t Entry = 0;
        bool Recorded = false;
        Engine_record::TRecord Record;
    };
    using TReader = std::function<bool(const TCatalogEntry& Entry, Engine_record::TRecord& Record)>;
    using TMaker = TCompletion;

    TCatalogFiller(std::vector<std::pair<std::size_t, TCatalogEntry>> Entries, TReader Reader,
                   std::function<void()> Ready);
    TCatalogFiller(TMaker Maker, std::function<void()> Ready);
    // Stops after the entry being read, and waits for that.
    ~TCatalogFiller();
    TCatalogFiller(const TCatalogFiller&) = delete;
    TCatalogFiller& operator=(const TCatalogFiller&) = delete;

    // What is ready, taken out.
    std::vector<TRead> Take();
    // The catalogue made, or one checked on the way, once it is ready;
    // true once for each.
    bool TakeCatalog(TCatalog& Catalog);
    // Whether everything is handed over or taken.
    bool Done();

private:
    void Run();

    const std::vector<std::pair<std::size_t, TCatalogEntry>> FEntries;
    const TReader FReader;
    const TMaker FMaker;
    const std::function<void()> FReady;
    std::mutex FLock;
    std::vector<TRead> FDone;
    TCatalog FMade;
    bool FMadeReady = false;
    bool FFinished = false;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

#endif

} // namespace Engine_catalog
