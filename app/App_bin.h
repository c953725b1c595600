// The bin: where its directory is, how its entries are named, and the put
// that moves items into a new entry.
#pragma once

#include "base/Base_system.h"
#ifdef _WIN32
#include "engine/Engine_listing.h"
#include "engine/Engine_lock.h"
#endif

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace App_fileoperation {
class TFileOperator;
}

namespace App_bin {

struct TBinEntryNameProps {
    std::string Prefix;
    std::string Suffix;
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    std::int32_t Index = 0;
    bool FillDigits = false;
};

// Makes the name of the next entry: Prefix, the running index, Suffix.
// Keeps 0 <= Min <= Index <= Max.
class TBinEntryName : public Base_system::TObject {
public:
    TBinEntryName();

    const std::string& Prefix() const { return FPrefix; }
    const std::string& Suffix() const { return FSuffix; }
    std::int32_t Min() const { return FMin; }
    std::int32_t Max() const { return FMax; }
    std::int32_t Index() const { return FIndex; }
    bool FillDigits() const { return FFillDigits; }

    void SetPrefix(const std::string& Value);
    void SetSuffix(const std::string& Value);
    void SetFillDigits(bool Value);
    void SetIndex(std::int32_t Value);

    virtual std::string GetEntryName() const;
    virtual void StepIndex();
    virtual void RewindIndex();
    // Raises "The program cannot reset the index." unless 0 <= Min <= Index <= Max.
    virtual void ResetIndex(std::int32_t Min, std::int32_t Max, std::int32_t Index);

    void SetProps(const TBinEntryNameProps& Props);
    void GetProps(TBinEntryNameProps& Props) const;

    Base_system::TNotifyEvent OnChange;

private:
    void Changed();
    std::string FPrefix;
    std::string FSuffix;
    std::int32_t FMin;
    std::int32_t FMax;
    std::int32_t FIndex;
    bool FFillDigits;
};

// One byte: an edited settings file may hold any value; only the location
// rule refuses what it does not know.
using TBinLocationType = std::uint8_t;
enum : TBinLocationType { bltFixed = 0, bltAskUser = 1 };

struct TBinProps {
    TBinLocationType LocationType = bltFixed;
    std::string FixedLocation;
    TBinEntryNameProps EntryName;
};

std::string DefaultFixedLocation();

class TPutTask;
class TLongPathResolver;

class TBin : public Base_system::TObject {
public:
    TBin();

    TBinLocationType LocationType() const { return FLocationType; }
    const std::string& FixedLocation() const { return FFixedLocation; }
    TBinEntryName& EntryName() const { return *FEntryName; }

    void SetLocationType(TBinLocationType Value);
    void SetFixedLocation(const std::string& Value);

    // The bin directory for this moment; with bltAskUser the user picks it.
    std::string GetLocation();
    std::string AskLocation();
    // The bin directory joined with the current entry name.
    std::string GetEntryPath();

    // One put of the paths into a new entry.
    virtual void Put(const std::vector<std::string>& Paths);
    // The entry the last put of this bin took (also one that failed after
    // it took one); empty before.
    const std::string& LastPutEntry() const { return FLastPutEntry; }
#ifdef _WIN32
    // Where the records of this bin's puts are completed, off the window's
    // thread.
    Engine_listing::TListingQueue& Listings();
#endif

    void SetProps(const TBinProps& Props);
    void GetProps(TBinProps& Props) const;

    // A put has stepped the index for the entry it takes: the owner of the
    // settings keeps the index on disk now, before anything moves into that
    // entry, so that no later start hands the same name out again.
    void DoIndexStepped();

    Base_system::TNotifyEvent OnChange;
    Base_system::TNotifyEvent OnIndexStepped;

private:
    void Changed();
#ifdef _WIN32
    void PutEnded(const TPutTask& Task);
#endif
    TBinLocationType FLocationType;
    std::string FFixedLocation;
    std::unique_ptr<TBinEntryName> FEntryName;
    std::string FLastPutEntry;
#ifdef _WIN32
    // Last, so that it ends first: a listing still under way stops.
    std::unique_ptr<Engine_listing::TListingQueue> FListings;
#endif
};

class TPutTask {
public:
    TPutTask(TBin& Bin, const std::vector<std::string>& Paths) : Bin(Bin), Paths(Paths) {}
    virtual ~TPutTask() = default;
    // Accepts the paths, leaves out those below another, walks them for the
    // record, takes the next entry that can take them (an existing one only
    // where nothing of this put is there yet and no other put writes into
    // it), has the stepped index kept, records the put as begun, moves, and
    // records what arrived.
    virtual void Execute();

    TBin& Bin;
    const std::vector<std::string>& Paths;

#ifdef _WIN32
    // The entry this put took; empty before it took one.
    const std::string& EntryPath() const {
        return FEntryPath;
    }
    // Whether a directory arrived whose contents the record still lacks.
    bool AwaitsListing() const {
        return FAwaitsListing;
    }

protected:
    // The operator that will move the items; a test may watch what it gets.
    virtual std::unique_ptr<App_fileoperation::TFileOperator> CreateFileOperator();

private:
    void BuildSources(App_fileoperation::TFileOperator& Operator, TLongPathResolver& Resolver);
    void BuildDestinations(App_fileoperation::TFileOperator& Operator);
    void CreateEntry(const std::string& EntryPath);
    void RaiseWhatFailed(const App_fileoperation::TFileOperator& Operator) const;
    std::string FEntryPath;
    bool FAwaitsListing = false;
    // The entry's lock, from before it is made or chosen until the put ends.
    Engine_lock::TEntryLocks FLocks;
#endif
};

// Checks one path to be put and returns its full long form, or refuses it.
std::string AcceptPath(const std::string& Path);

#ifdef _WIN32
// Whether an existing entry can take a put's destinations: no other put
// writes into it now, nothing stands at any destination, and every level
// between the entry and a destination is a plain directory or missing. So a
// put into an entry used again never replaces what an earlier put left there.
bool EntryCanTake(const std::string& EntryPath, const std::vector<std::string>& Destinations);

// The long forms of the paths of one put. Each answer, and each failure, is
// the one GetLongPath of ExpandPath would give, but every parent directory is
// resolved only once and an item's own level by one directory search.
class TLongPathResolver {
public:
    std::string LongPathOf(const std::string& Path);
    // The attributes and bytes the search found at a long path it gave;
    // false where it gave it without a search of its own.
    bool FactsOf(const std::string& LongPath, unsigned long& Attributes, std::uint64_t& Size) const;

private:
    struct TFacts {
        unsigned long Attributes;
        std::uint64_t Size;
    };
    // Parent directories with their trailing backslash, as typed and as long.
    std::unordered_map<std::string, std::string> FParents;
    std::unordered_map<std::string, TFacts> FFound;
};

// AcceptPath over the paths of one put, in their order, with one resolver:
// the first refused path ends it with the same boxes and failure.
std::vector<std::string> AcceptPaths(const std::vector<std::string>& Paths);
std::vector<std::string> AcceptPaths(const std::vector<std::string>& Paths,
                                     TLongPathResolver& Resolver);

// Refuses a put in which a source or its destination is too long for the
// shell: a plain box names the first such destination (a destination is
// always longer than its source), then "The program cannot put a path that
// is too long for the bin.".
void RefuseTooLongPaths(const std::vector<std::string>& Sources,
                        const std::vector<std::string>& Destinations);
#endif

// The steps of a put that need no file system:
// The key by which Text sorts: the user's locale, letter case aside, made
// once per text so that a sort compares bytes. False when it cannot be made.
bool MakeSortKey(const std::string& Text, std::string& Key);
using TSortKeyMaker = std::function<bool(const std::string& Text, std::string& Key)>;
// Sorts case-insensitively in the user's locale and then reverses, so that
// an item inside a directory comes before the directory. When a key cannot
// be made for every path, the whole list sorts by the bytes of its
// upper-cased texts instead, so the order stays strict and weak.
void SortDescending(std::vector<std::string>& Paths);
void SortDescending(std::vector<std::string>& Paths, const TSortKeyMaker& MakeKey);
// Leaves out every path that lies below another path of the list (letter
// case aside): it moves with that one. The rest keep their order.
void RemoveNestedItems(std::vector<std::string>& Paths);
// One destination per source: Base (ending in a backslash) followed by the
// source without its first colon, so the drive becomes the first level.
std::vector<std::string> BuildDestinationPaths(const std::string& Base,
                                               const std::vector<std::string>& Sources);

} // namespace App_bin
