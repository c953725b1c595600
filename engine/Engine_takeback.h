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
#include <unordered_map>
#include <utility>
#include <vector>

namespace Engine_takeback {

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

// What stands at a path, or comes there: its kind, bytes and last write
// (a FILETIME as one number; 0 when not known).
struct TItemFacts {
    TOriginKind Kind = TOriginKind::okMissing;
    std::uint64_t Size = 0;
    std::uint64_t LastWritten = 0;
};

using TKeyOf = std::function<std::string(const std::string& Path)>;
using TOriginQuery = std::function<TOriginKind(const std::string& Path)>;

// The world as it will be once the pairs planned so far have moved: a
// pair's destination and everything below it hold what the pair brings,
// the levels above it are directories, and anything else is as the disk
// says. Paths are compared by their keys (letter case aside, as the file
// system compares them).
class TPlannedWorld {
public:
    static const std::size_t NoPair = static_cast<std::size_t>(-1);

    TPlannedWorld(TOriginQuery Disk, TKeyOf KeyOf);

    TOriginKind Query(const std::string& Path) const;
    const TKeyOf& KeyOf() const { return FKeyOf; }
    // The pair whose item will stand at Path and where that is below the
    // pair's destination ("" at the destination itself); NoPair where the
    // disk, or a directory made on the way, stands.
    std::size_t ArrivalAt(const std::string& Path, std::string* Relative = nullptr) const;

    // The item Node comes to Destination with the pair Pair.
    void Arrive(const std::string& Destination, const TEntryNode& Node, std::size_t Pair);
    // Something of kind Kind comes to Path with the pair Pair; what lies
    // below it is not looked at.
    void Claim(const std::string& Path, TOriginKind Kind, std::size_t Pair);

private:
    struct TPlanned {
        TOriginKind Kind;
        std::size_t Pair;
        std::string Relative;
    };
    void Note(const std::string& Path, const TEntryNode& Node, std::size_t Pair,
              const std::string& Relative);
    void ClaimLevelsAbove(const std::string& Path);
    TOriginQuery FDisk;
    TKeyOf FKeyOf;
    std::unordered_map<std::string, TPlanned> FPlanned;
};

// The name under which the explorer keeps a copy beside an item of the same
// name: "report (2).txt", "Data (2)", the lowest number from 2 at which
// Taken says nothing stands. A folder's name keeps its dots whole.
std::string KeepBothPath(const std::string& Path, bool Directory,
                         const std::function<bool(const std::string& Path)>& Taken);

// What a take back takes out of one entry: the items named (paths relative
// to the entry, as a put record names them: "C\Data\report.txt"), or the
// whole entry when none is named.
struct TTakeBackSelection {
    std::string EntryPath;
    std::vector<std::string> Items;
};

std::vector<TTakeBackSelection> WholeEntries(const std::vector<std::string>& EntryPaths);

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

// One entry of a take back: what is taken of it, its tree as read, and the
// time of its newest put.
struct TEntryToPlan {
    TTakeBackSelection Selection;
    TEntryNode Tree;
    std::uint64_t Time = 0;
};

// Plans the entries as one move, newest first, each to its items' places
// or, given a TargetFolder, into it (a selection then names its items).
// Each later pair sees in World what the earlier pairs will put in place,
// so two versions of one path meet as a conflict.
void PlanAsOne(std::vector<TEntryToPlan> Entries, const std::string& TargetFolder,
               const TDriveQuery& DriveAvailable, TPlannedWorld& World, TTakeBackPlan& Plan);

enum class TConflictChoice { ccReplace, ccKeepBoth, ccSkip };

// One conflict as the user is asked about it.
struct TConflictQuestion {
    std::string Destination;
    TItemFacts Standing;
    // What stands there comes back with another item of this take back.
    bool StandingComesBack = false;
    TItemFacts Coming;
    // Replace is offered only where a file meets a file that can be put
    // into the bin or left in its entry.
    bool ReplaceOffered = false;
    // The conflicts still to come after this one.
    std::size_t Following = 0;
    // Where Keep Both would bring the item: beside what stands there.
    std::string KeepBothDestination;
};

struct TConflictAnswer {
    TConflictChoice Choice = TConflictChoice::ccSkip;
    // The same answer for every conflict that follows (where it is offered).
    bool ForAll = false;
};

// Answers one conflict; raises Base_system::EAbort to cancel the take back.
using TConflictChooser = std::function<TConflictAnswer(const TConflictQuestion& Question)>;
using TFactsQuery = std::function<TItemFacts(const std::string& Path)>;

// What became of one item of a take back.
enum class TOutcomeKind {
    okBack,     // it came back to its place
    okRenamed,  // it came back beside what stands there, under another name
    okSkipped,  // it stayed in its entry, as the user chose
    okReplaced, // what stood there went into another entry first, then it came back
    okFailed    // it could not be moved
};

struct TItemOutcome {
    TOutcomeKind Kind = TOutcomeKind::okBack;
    // The item's place: where it came from, or its place in the target folder.
    std::string Place;
    // okRenamed: the path it came back under; okReplaced: the entry that took
    // what stood there; okFailed: why, as a sentence.
    std::string Detail;
};

// One line of the report: "Came back: C:\Data\a.txt", "Came back as
// "C:\Data\a (2).txt": C:\Data\a.txt", "Skipped: ...", "Came back, what stood
// there went into "Tovel #0009": ...", "Failed: ... (why)".
std::string OutcomeText(const TItemOutcome& Outcome);
// Whether every item simply came back.
bool AllCameBack(const std::vector<TItemOutcome>& Outcomes);
// The status line after a take back: "3 items came back.", or with others
// "3 items came back (1 under a new name); 2 skipped; 1 failed."
std::string OutcomeSummary(const std::vector<TItemOutcome>& Outcomes);
// "The program could not take back 2 items: C:\a.txt, C:\b.txt." for the
// items that failed; the empty text when none did.
std::string FailedMessage(const std::vector<TItemOutcome>& Outcomes);

// How the one move ended, as its caller saw it.
enum class TMoveResult { mrDone, mrCancelled, mrFailed };

// The move once every conflict is settled: no pair aims at a path where
// anything stands, or where an earlier pair puts something.
struct TSettledMove {
    std::vector<std::string> Sources;
    std::vector<std::string> Destinations;
    // What stands where an item comes back to replace it: put into the bin
    // before the move.
    std::vector<std::string> PutAside;
    // The pairs that stay in their entries.
    std::size_t Stayed = 0;
    // What is to become of each pair of the plan, in its order; the moved
    // pairs' outcomes hold until the disk says otherwise.
    std::vector<TItemOutcome> Outcomes;
    // For each pair of Sources, its pair in the plan.
    std::vector<std::size_t> Pairs;
};

// Asks Choose about each conflict of Plan in its order. Replace puts what
// stands there aside (or, where an earlier item of this take back was to
// come there, leaves that one in its entry); Keep Both brings the item
// beside it under the explorer's name of a copy, free in World; Skip
// leaves the item in its entry. Facts tells what is at a path on disk;
// without CanPutAside, Replace is offered only over an item of this take back.
TSettledMove SettleConflicts(const TTakeBackPlan& Plan, TPlannedWorld& World,
                             const TFactsQuery& Facts, bool CanPutAside,
                             const TConflictChooser& Choose);

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
// where they came from? One item, given its Name, is named: Take back
// "report.txt" to where it came from?
std::string TakeBackQuestion(const std::vector<std::string>& EntryNames, std::size_t Items,
                             const std::string& Name = std::string());
// The same for a take back into Folder: Take back "Tovel #0007" (3 items) to
// "D:\Restore"?, Take back "report.txt" to "D:\Restore"?
std::string TakeBackToQuestion(const std::vector<std::string>& EntryNames, std::size_t Items,
                               const std::string& Folder, const std::string& Name = std::string());

// A put that did not finish, as the program found it at its start.
struct TUnfinishedPut {
    std::string EntryName;
    std::size_t Arrived = 0;
    std::size_t Items = 0;
};

// One sentence per put: The put into "Tovel #0007" did not finish: 3 of its
// 10 items arrived in the entry.
std::string UnfinishedMessage(const std::vector<TUnfinishedPut>& Puts);

// One directory of the bin, as its listing found it.
struct TEntryDirectory {
    std::string Name;
    std::string Path;
    std::uint64_t Created = 0; // FILETIME as one number
};

#ifdef _WIN32

// The bin's own direct subdirectories, read in one listing, whatever their
// names: every one is an entry. Reparse points are no entries.
std::vector<TEntryDirectory> ListEntryDirectories(const std::string& Location);

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
// marked interrupted. Nothing moves. AwaitingListing, when given, gets the
// entries whose records still await their listing.
std::vector<TUnfinishedPut>
NoticeUnfinishedPuts(const std::string& Location,
                     std::vector<std::string>* AwaitingListing = nullptr);

// What a take back asks of its caller: a person's answers, a put for what a
// Replace sets aside, and the one move. The program's windows answer; so
// can a test or a console.
class TTakeBackHost {
public:
    virtual ~TTakeBackHost();
    // One conflict's answer; raises Base_system::EAbort to cancel the take
    // back before anything moves.
    virtual TConflictAnswer ChooseConflict(const TConflictQuestion& Question) = 0;
    // Told of a path the shell cannot take, before the take back is refused.
    virtual void TellTooLong(const std::string& Path) = 0;
    // Whether PutAside can put anything; without it Replace is offered only
    // over an item of this take back.
    virtual bool CanPutAside() const = 0;
    // Puts what a Replace sets aside into the bin, as any put does, and
    // tells the name of the entry that took it.
    virtual std::string PutAside(const std::vector<std::string>& Paths) = 0;
    // Moves Sources[i] to Destinations[i] in one operation, making missing
    // parents without asking. What arrived is read from the disk afterwards,
    // whatever this says.
    virtual TMoveResult Move(const std::vector<std::string>& Sources,
                             const std::vector<std::string>& Destinations) = 0;
};

// Takes the selected items back in one move: each to its original place,
// or, given a target folder, each directly into it under its own name. The
// entries are planned as one, newest first, and every conflict is settled
// before anything moves: what a Replace sets aside is put into the bin
// first, and no pair of the move aims at a path where anything stands. Then
// removes the directories the move emptied and lets each entry's record
// follow what left it; an entry emptied goes with its record. Raises before
// anything moves when a path is too long, and afterwards when items stayed.
class TTakeBackTask {
public:
    TTakeBackTask(std::vector<TTakeBackSelection> Selections, TTakeBackHost& Host,
                  std::string TargetFolder = std::string())
        : Selections(std::move(Selections)), TargetFolder(std::move(TargetFolder)), FHost(Host) {}
    virtual ~TTakeBackTask();

    // Walks the entries; Execute runs what this planned.
    const TTakeBackPlan& Plan();
    virtual void Execute();
    // What Execute would do as far as the plan and the host's answers tell,
    // each item's outcome as it would be; nothing moves and nothing is put
    // aside (what Replace would set aside goes "into a new entry").
    std::vector<TItemOutcome> Preview();
    // After Execute: what became of each item of the plan, as the disk shows
    // it after the move.
    const std::vector<TItemOutcome>& Outcomes() const { return FOutcomes; }

    const std::vector<TTakeBackSelection> Selections;
    const std::string TargetFolder;

private:
    void CheckLengths(const std::vector<std::string>& Sources,
                      const std::vector<std::string>& Destinations) const;
    std::string PutAside(const std::vector<std::string>& Paths) const;
    void RefuseTargetInBin() const;
    void ReadOutcomes(TSettledMove Move, TMoveResult Result);
    // How often the take back plans again around what appeared at a target
    // while it asked.
    static const int MaxRounds = 3;
    void RemoveEmptied() const;
    void FollowRecords() const;
    TTakeBackHost& FHost;
    std::unique_ptr<TTakeBackPlan> FPlan;
    std::unique_ptr<TPlannedWorld> FWorld;
    std::vector<TItemOutcome> FOutcomes;
};

// What stands at Path on disk (a link as its own kind), by its attributes.
TItemFacts FactsOf(const std::string& Path);

#endif

} // namespace Engine_takeback
