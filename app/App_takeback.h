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
    // Items that stay because an earlier item of their name goes to the
    // same folder.
    std::size_t SameNameItems = 0;
};

// What a take back takes out of one entry: the items named (paths relative
// to the entry, as a put record names them: "C\Data\report.txt"), or the
// whole entry when none is named.
struct TTakeBackSelection {
    std::string EntryPath;
    std::vector<std::string> Items;
};

std::vector<TTakeBackSelection> WholeEntries(const std::vector<std::string>& EntryPaths);

using TOriginQuery = std::function<TOriginKind(const std::string& Path)>;
using TDriveQuery = std::function<bool(char Drive)>;

// Adds the walk over the entry at EntryPath (read as Tree) to Plan. Origin
// tells what stands at an original path now, DriveAvailable whether a drive
// is there at all.
void PlanTakeBack(const std::string& EntryPath, const TEntryNode& Tree, const TOriginQuery& Origin,
                  const TDriveQuery& DriveAvailable, TTakeBackPlan& Plan);

// The node at Path (relative to Tree, levels separated by "\", ASCII
// letter case aside), or null.
const TEntryNode* FindNode(const TEntryNode& Tree, const std::string& Path);

// Adds the walk over the named items of the entry at EntryPath to Plan, each
// item walked as PlanTakeBack walks a whole entry. An item the entry does
// not hold, or that is no item below a drive directory, is passed over; the
// levels between the entry and the items are removed once empty.
void PlanItems(const std::string& EntryPath, const TEntryNode& Tree,
               const std::vector<std::string>& Items, const TOriginQuery& Origin,
               const TDriveQuery& DriveAvailable, TTakeBackPlan& Plan);

// Adds the pairs that take the named items into Folder, each directly under
// its own name. Something at a target is a conflict; an item whose name an
// earlier one of this plan already takes to the folder stays.
void PlanTakeBackTo(const std::string& EntryPath, const TEntryNode& Tree,
                    const std::vector<std::string>& Items, const std::string& Folder,
                    const TOriginQuery& Origin, TTakeBackPlan& Plan);

// The items of an entry as a take back finds them without a record: what
// lies directly in each drive directory.
std::vector<std::string> DriveItems(const TEntryNode& Tree);

// The sum of the sizes of the files below Tree.
std::uint64_t TreeSize(const TEntryNode& Tree);

// "The program could not take back 4 items: the drive E: is not available."
// for a plan whose items stayed; the empty text when none did.
std::string StayedMessage(const TTakeBackPlan& Plan);

// "The program could not take back 2 items: items of the same name go to
// that folder." for a plan that left such items; the empty text when none.
std::string SameNameMessage(const TTakeBackPlan& Plan);

// The question before a take back, e.g. Take back "Tovel #0007" (3 items) to
// where they came from?
std::string TakeBackQuestion(const std::vector<std::string>& EntryNames, std::size_t Items);
// The same for a take back into Folder: Take back "Tovel #0007" (3 items) to
// "D:\Restore"?
std::string TakeBackToQuestion(const std::vector<std::string>& EntryNames, std::size_t Items,
                               const std::string& Folder);

// A put that did not finish, as the program found it at its start.
struct TUnfinishedPut {
    std::string EntryName;
    std::size_t Arrived = 0;
    std::size_t Items = 0;
};

// One sentence per put: The put into "Tovel #0007" did not finish: 3 of its
// 10 items arrived in the entry.
std::string UnfinishedMessage(const std::vector<TUnfinishedPut>& Puts);

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
    // Its record holds a put that did not finish.
    bool Unfinished = false;
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

// Reads the entry below Path with one FindFirstFile walk; its record is the
// entry's own and no item, so it is left out.
TEntryNode ReadEntryTree(const std::string& Path);
TOriginKind OriginKindOf(const std::string& Path);
bool IsDriveAvailable(char Drive);

// The last put of the bin at Location: the newest put of any record that
// moved something (and whose put no longer runs), or the newest-created
// entry without a record, whichever is newer. False when there is none.
bool FindLastPut(const std::string& Location, TTakeBackSelection& Selection);

// Every put of the bin at Location that did not finish and that the user
// has not been told of yet: its record section keeps what arrived and is
// marked interrupted. Nothing moves.
std::vector<TUnfinishedPut> NoticeUnfinishedPuts(const std::string& Location);

// Takes the selected items back in one shell move, behind the guard dialog:
// each to its original place, or, given a target folder, each directly into
// it under its own name. Then removes the directories the move emptied and
// lets each entry's record follow what left it; an entry emptied goes with
// its record. Raises before anything moves when a path is too long, and
// afterwards when items stayed.
class TTakeBackTask {
public:
    explicit TTakeBackTask(std::vector<TTakeBackSelection> Selections,
                           std::string TargetFolder = std::string())
        : Selections(std::move(Selections)), TargetFolder(std::move(TargetFolder)) {}
    virtual ~TTakeBackTask() = default;

    // Walks the entries; Execute runs what this planned.
    const TTakeBackPlan& Plan();
    virtual void Execute();

    const std::vector<TTakeBackSelection> Selections;
    const std::string TargetFolder;

protected:
    virtual std::unique_ptr<App_fileoperation::TFileOperator> CreateFileOperator();
    // Whether the pair may replace what stands at Destination; Cancel
    // raises Base_system::EAbort before anything has moved.
    virtual bool ConfirmReplace(const std::string& Destination);

private:
    void CheckLengths() const;
    void RemoveEmptied() const;
    void FollowRecords() const;
    std::unique_ptr<TTakeBackPlan> FPlan;
};

// Sends the entries to the Recycle Bin through the shell's delete, after the
// shell's own confirmation, behind the guard dialog.
void DiscardEntries(const std::vector<std::string>& EntryPaths);

#endif

} // namespace App_takeback
