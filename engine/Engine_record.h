// The put record: what each put into an entry was, kept in the entry itself.
//
// Every entry holds one record, a hidden UTF-8 text file named
// "TovelBin.record" at its root (a file, so it is never taken for a drive
// directory). A put writes its section before it moves anything (state
// "begun") and completes it afterwards with what arrived ("done"); a begun
// section whose put no longer runs is a put that did not finish, and once
// the program has told the user so it is marked "interrupted". An entry
// reused after its index wrapped holds one section per put, oldest first.
//
// The text, lines ending in CR LF (a lone LF is read too):
//
//   Tovel Bin put record 1
//   put 01DAB3C2F0A1B2C3-00001A2C 2024-06-01T12:34:56.1234567Z done items 2 files 3 bytes 1234
//   C\                                     (a drive level)
//   <TAB>Data\                              (a level on the way)
//   <TAB><TAB>*report.txt<TAB>1000           (an item: a file of 1000 bytes)
//   <TAB><TAB>*Photos\                      (an item: a directory)
//   <TAB><TAB><TAB>a.jpg<TAB>200
//   <TAB><TAB><TAB>b.jpg<TAB>34
//   <TAB><TAB><TAB>Empty\                   (a directory)
//   <TAB><TAB><TAB>Shortcut to elsewhere>   (a link)
//   <TAB><TAB><TAB>Private\?               (a directory that could not be listed)
//
// After the first line come the sections. A section line gives the put's id
// (it also names the mutex its put holds while it runs), its time (UTC, to
// 100 ns), its state, the number of items it was given, and the files and
// bytes its tree holds, and last the word "listing" while the section
// awaits its listing. Then its tree, one name per line, indented by one
// tab per level below the entry: a name followed by "\" is a directory
// whose contents follow one level deeper, by a tab and a decimal size a
// file, by ">" a link (a junction or symbolic link, never followed: a leaf),
// by "\?" a directory whose contents could not be listed (a leaf too).
// A leading "*" marks one of the put's own items; what lies below an item
// moved with it, the levels above it only lead to it. The first level is
// always a drive letter, so that C\Data\report.txt stands for
// C:\Data\report.txt. Every file and directory of the put is listed, so the
// record can answer a search over every path the bin holds: a put first
// records only its items, each directory among them unlisted, and ends with
// "listing"; once the move is over, a listing of the entry reads what those
// directories hold and completes the section.
//
// A record is untrusted input: anyone can edit it. It only chooses which
// items of its entry a command works on; where an item goes is always its
// own place below its drive letter. A record that breaks any rule here
// (a name that is empty, ".", "..", ends in a dot or blank, holds a control
// character or one of <>:"/\|?*, or is a device name; a first level that is
// no single letter; a level that skips; totals that disagree with the tree)
// is refused whole, and its entry counts as one without a record.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
namespace Vek_sync {
class TMutex;
}
#endif

namespace Engine_record {

// The record's file name at the root of its entry.
extern const char RecordFileName[];
// Whether Name, directly in an entry, is one of its record's own files (the
// record, or the new one that is about to take its place), letter case aside.
bool IsRecordFile(const std::string& Name);

enum class TPutState { psBegun, psDone, psInterrupted };

// One file, directory or link of a put. Names are UTF-8.
struct TRecordNode {
    enum TKind : std::uint8_t { nkDirectory, nkFile, nkLink };

    std::string Name;
    TKind Kind = nkDirectory;
    // One of the put's own items, not a level on the way to one.
    bool Item = false;
    // The bytes of a file.
    std::uint64_t Size = 0;
    // A directory that could not be listed: what it holds is not known.
    bool Unlisted = false;
    std::vector<TRecordNode> Children;
};

// One put into the entry. The root of Tree has no name; its children are
// the drive letters.
struct TPutSection {
    std::string Id;
    // UTC in 100-ns steps since 1601, as a FILETIME counts.
    std::uint64_t Time = 0;
    TPutState State = TPutState::psBegun;
    // The number of items the put was given.
    std::size_t Items = 0;
    // False while only the put's items are known: the contents of its
    // directory items (unlisted in the tree) are still to be read.
    bool Listed = true;
    TRecordNode Tree;
};

struct TRecord {
    std::vector<TPutSection> Puts;
};

// The record's text; ParseRecord reads it back as it was.
std::string FormatRecord(const TRecord& Record);
// False, with Record left empty, for a text that is no record to trust.
bool ParseRecord(const std::string& Text, TRecord& Record);

// A name a record may hold: see the rules at the top.
bool IsSafeName(const std::string& Name);
// "2024-06-01T12:34:56.1234567Z"; ParseTime takes exactly that form.
std::string FormatTime(std::uint64_t Time);
bool ParseTime(const std::string& Text, std::uint64_t& Time);

// The files (links aside) and their bytes below Tree.
void CountFiles(const TRecordNode& Tree, std::uint64_t& Files, std::uint64_t& Bytes);
std::size_t CountItems(const TRecordNode& Tree);
// The items' paths relative to the entry ("C\Data\report.txt"), in the
// order of the tree.
std::vector<std::string> ItemPaths(const TRecordNode& Tree);

// One item of a put: its path relative to the entry (levels separated by
// "\", the drive letter first) and what it is, with what lies below it.
struct TRecordItem {
    std::string Path;
    TRecordNode Node;
};
// The tree of a put's items, the levels above them made on the way. An
// item given twice (letter case aside) is held once. Refused counts the
// items the tree cannot hold: a level that is no safe name, a first level
// that is no drive letter, an item at the first level, one below another.
TRecordNode BuildTree(std::vector<TRecordItem> Items, std::size_t& Refused);
// Recorded as far as Actual (a walk of the entry) still holds it: a node
// stays where Actual has one of its name (ASCII letter case aside) and
// kind, with Actual's size; an item stays while it is there, a level only
// while an item stays below it.
TRecordNode Intersect(const TRecordNode& Recorded, const TRecordNode& Actual);

// The newest section (the latest time; the later one of equal times), or null.
const TPutSection* NewestSection(const TRecord& Record);

#ifdef _WIN32

// Texts of the program are in the process code page, those of a record in
// UTF-8; a name the code page cannot hold comes out with a "?".
std::string ToRecordText(const std::string& Text);
std::string FromRecordText(const std::string& Text);

std::string RecordPath(const std::string& EntryPath);
// False when the entry has no record, or one that cannot be read or trusted.
bool ReadRecord(const std::string& EntryPath, TRecord& Record);
// Writes the whole record atomically (a new hidden file beside it takes its
// place). Raises "The program could not write the put record.".
void WriteRecord(const std::string& EntryPath, const TRecord& Record);
// Removes the record; false when it could not be removed.
bool RemoveRecord(const std::string& EntryPath);

// Every file, directory and link below Path, names in UTF-8, links not
// followed; a name that no record may hold is left out. A listing that
// fails raises "The program could not list the directory.".
TRecordNode ReadTree(const std::string& Path);
// The same of an entry, its record's own files left out.
TRecordNode ReadEntry(const std::string& EntryPath);

// After a take back: each put of the record keeps what is still in the
// entry, a put of which no item is left goes, and an entry that holds
// nothing but its record goes with it. The section of a put that still
// runs is left as it is.
void FollowEntry(const std::string& EntryPath);

// The time now, UTC.
std::uint64_t CurrentTime();
// The mutex a put holds while it runs, in whichever process: named after
// the id of its section, so that every program folder sharing the bin
// finds it.
std::string PutMutexName(const std::string& Id);
// Whether the put that wrote Section still runs, in this process or
// another: it holds a mutex named after its id until it has completed.
bool IsPutRunning(const TPutSection& Section);
// Whether a put writes into the entry now, by its record.
bool IsBeingWritten(const std::string& EntryPath);
// Whether the section is a put that did not finish: interrupted, or begun
// by a put that runs no more.
bool IsUnfinished(const TPutSection& Section);

// Whether the section waits for its listing: the put that wrote it has
// ended, and what lies below its directory items is not read yet.
bool AwaitsListing(const TPutSection& Section);
// Reads the entry's record and completes in it every section that awaits
// its listing: the contents of each of its directory items are read from
// the entry (a level that cannot be listed stays unlisted), and an item no
// longer there is left out. Nothing is written. False when nothing awaited,
// and once Stop is set.
bool ListAwaitingSections(const std::string& EntryPath, TRecord& Record,
                          const std::atomic<bool>* Stop = nullptr);

// What the put learned of a source when it accepted it, so that the record
// need not ask the disk again: false where it knows nothing.
using TItemFacts =
    std::function<bool(const std::string& Source, unsigned long& Attributes, std::uint64_t& Size)>;

// The record of one put, from before the move to after it.
class TPutRecorder {
public:
    // Names the sources (full paths of the process code page) as the put's
    // items: each by its kind, a file by its size, from Facts or else from
    // the disk. Nothing below a directory is read: the section awaits its
    // listing. A source the record cannot hold is left out of it.
    explicit TPutRecorder(const std::vector<std::string>& Sources, const TItemFacts& Facts = {});
    ~TPutRecorder();
    TPutRecorder(const TPutRecorder&) = delete;
    TPutRecorder& operator=(const TPutRecorder&) = delete;

    // Adds the put's section, begun, to the entry's record (a new one, or
    // the one of an entry used again) and holds the put's mutex until
    // Complete. Raises when the record cannot be written: nothing has moved.
    void Begin(const std::string& EntryPath);
    // After the move: the section's items as the entry holds them now; a
    // put that did not bring every item is recorded as interrupted. True
    // when a directory arrived, whose contents are still to be listed. A failure to write leaves
    // the section begun and is raised.
    bool Complete(bool MoveSucceeded);

    const TPutSection& Section() const { return FSection; }

private:
    bool EveryItemArrived() const;
    TRecordNode ArrivedTree() const;

    TPutSection FSection;
    std::vector<std::string> FItemPaths;
    std::string FEntryPath;
    std::unique_ptr<Vek_sync::TMutex> FRunning;
};

#endif

} // namespace Engine_record
