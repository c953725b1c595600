// Taking back what a put moved into the bin: the bin's entries as they lie on
// disk, the walk that finds where each item of an entry came from, and the
// one shell move that brings them back. The walk's decisions need no file
// system; the disk is read once per entry into a tree that the walk is given.
#pragma once

#include "base/Base_system.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace App_fileoperation {
class TFileOperator;
}

namespace App_takeback {

// One file or directory of an entry, as one walk of the entry found it. A
// reparse point (a junction, a link) is kept as a leaf: nothing below it is
// read, and it moves as the link it is.
struct TEntryNode {
    std::string Name;
    bool Directory = false;
    bool ReparsePoint = false;
    std::uint64_t Size = 0;
    std::vector<TEntryNode> Children;
};

// What stands at an item's original path now.
enum class TOriginKind { okMissing, okFile, okDirectory };

// What the walk does with one item of an entry.
enum class TWalkStep { wsMove, wsDescend, wsConflict };

TWalkStep DecideStep(const TEntryNode& Item, TOriginKind Origin);

// Only a single-letter directory of an entry holds the items of a drive.
bool IsDriveDirectory(const TEntryNode& Child);

// The result of the walk over one or more entries: the pairs of the one
// move, which of them would replace something, the directories it descended
// into (to be removed once empty, deepest first), and the items that stay
// because their drive is not there.
struct TTakeBackPlan {
    std::vector<std::string> Sources;
    std::vector<std::string> Destinations;
    std::vector<std::size_t> Conflicts;
    std::vector<std::string> Descended;
    std::size_t StayedItems = 0;
    std::vector<char> MissingDrives;
};

using TOriginQuery = std::function<TOriginKind(const std::string& Path)>;
using TDriveQuery = std::function<bool(char Drive)>;

// Adds the walk over the entry at EntryPath (read as Tree) to Plan. Origin
// tells what stands at an original path now, DriveAvailable whether a drive
// is there at all.
void PlanTakeBack(const std::string& EntryPath, const TEntryNode& Tree, const TOriginQuery& Origin,
                  const TDriveQuery& DriveAvailable, TTakeBackPlan& Plan);

// The sum of the sizes of the files below Tree.
std::uint64_t TreeSize(const TEntryNode& Tree);

// "The program could not take back 4 items: the drive E: is not available."
// for a plan whose items stayed; the empty text when none did.
std::string StayedMessage(const TTakeBackPlan& Plan);

// The question before a take back, e.g. Take back "Tovel #0007" (3 items) to
// where they came from?
std::string TakeBackQuestion(const std::vector<std::string>& EntryNames, std::size_t Items);

// The question before a pair replaces what stands at its original path.
std::string ReplaceQuestion(const std::string& Destination);

// "and N more" after the first original path of an entry, when there are more.
std::string FromText(const std::vector<std::string>& Destinations);

// A size as the explorer's details show it: whole kilobytes, rounded up,
// digits grouped by Separator ("1,234 KB"); nothing is "0 KB".
std::string FormatKilobytes(std::uint64_t Size, const std::string& Separator);

// One row of the entries list.
struct TEntryInfo {
    std::string Name;
    std::string Path;
    std::uint64_t Created = 0; // FILETIME as one number
    std::size_t Items = 0;
    std::uint64_t Size = 0;
    std::string From;
};

// The columns of the entries list, in their order.
enum TEntryColumn { ecEntry = 0, ecPut, ecItems, ecSize, ecFrom, ecCount };

// Orders the rows by Column, the other way round with Descending; rows that
// tie keep the order of their names.
void SortEntries(std::vector<TEntryInfo>& Entries, int Column, bool Descending);

#ifdef _WIN32

// The bin's own direct subdirectories, read in one listing, whatever their
// names: every one is an entry. Reparse points are no entries.
std::vector<TEntryInfo> ListEntryDirectories(const std::string& Location);
// The entries with their items, sizes and origins, newest first: every entry
// is walked once. Raises "The bin does not exist." when Location is no directory.
std::vector<TEntryInfo> ListEntries(const std::string& Location);

// Reads the entry below Path with one FindFirstFile walk.
TEntryNode ReadEntryTree(const std::string& Path);
TOriginKind OriginKindOf(const std::string& Path);
bool IsDriveAvailable(char Drive);

// Takes the entries back in one shell move, behind the guard dialog, and
// removes the directories that the move emptied. Raises before anything
// moves when a path is too long, and afterwards when items stayed.
class TTakeBackTask {
public:
    explicit TTakeBackTask(std::vector<std::string> EntryPaths)
        : EntryPaths(std::move(EntryPaths)) {}
    virtual ~TTakeBackTask() = default;

    // Walks the entries; Execute runs what this planned.
    const TTakeBackPlan& Plan();
    virtual void Execute();

    const std::vector<std::string> EntryPaths;

protected:
    virtual std::unique_ptr<App_fileoperation::TFileOperator> CreateFileOperator();
    // Whether the pair may replace what stands at Destination; Cancel
    // raises Base_system::EAbort before anything has moved.
    virtual bool ConfirmReplace(const std::string& Destination);

private:
    void CheckLengths() const;
    void RemoveEmptied() const;
    std::unique_ptr<TTakeBackPlan> FPlan;
};

// Sends the entries to the Recycle Bin through the shell's delete, after the
// shell's own confirmation, behind the guard dialog.
void DiscardEntries(const std::vector<std::string>& EntryPaths);

#endif

} // namespace App_takeback
