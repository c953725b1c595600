// Keeping the bin tidy: the rules that choose entries to discard (older than
// some days, the bin above some size with the oldest going first), the choice
// itself as a pure function over what the bin holds, and, under Windows, the
// bin read into that form and the quiet clean-up at the program's start.
// Whatever is discarded goes to the Recycle Bin.
#pragma once

#include "vek/Vek_string.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace Engine_cleanup {

// The limits of the two numbers, as the dialog refuses what lies outside.
const std::int32_t MinDays = 1;
const std::int32_t MaxDays = 3650;
const std::int32_t MinMegabytes = 1;
const std::int32_t MaxMegabytes = 16 * 1024 * 1024;

struct TCleanUpRules {
    bool ByAge = false;
    std::int32_t Days = 30;
    bool BySize = false;
    std::int32_t Megabytes = 1024;
    bool AtStart = false;
};

bool operator==(const TCleanUpRules& A, const TCleanUpRules& B);

// One entry of the bin as the choice sees it.
struct TCleanUpEntry {
    std::string Name;
    std::string Path;
    // When it was put: UTC in 100-ns steps since 1601.
    std::uint64_t Put = 0;
    std::uint64_t Size = 0;
    // Never chosen: a put that did not finish, the last put, a put that runs.
    bool Protected = false;
    // Where its first item came from (in the record's text) and how many
    // items follow it; empty without a record.
    std::string FirstItem;
    std::size_t MoreItems = 0;
};

// The 100-ns steps of one day.
const std::uint64_t Day = 24ull * 60 * 60 * 10000000;

// The entries the rules discard at Now, oldest first (entries put at the
// same time in the order of their names). The age rule takes every entry
// put more than Days ago; the size rule then takes the oldest of the rest
// until the bin, protected entries counted, holds no more than Megabytes.
// Protected entries are never taken.
std::vector<TCleanUpEntry> ChooseEntries(std::vector<TCleanUpEntry> Entries,
                                         const TCleanUpRules& Rules, std::uint64_t Now);

std::uint64_t TotalSize(const std::vector<TCleanUpEntry>& Entries);

// The texts below give sizes by the program's one rule (Vek_string::SizeText)
// with the separators of Format.

// "3 entries (1.2 GB)", "1 entry (12.0 KB)".
std::string EntriesText(std::size_t Count, std::uint64_t Size,
                        const Vek_string::TNumberFormat& Format = {});
// Cleaned up 3 entries (1.2 GB) into the Recycle Bin. With Left entries
// that the Recycle Bin could not take, one more sentence says they stayed;
// so does one for InUse entries that another command was working on.
std::string CleanedUpMessage(std::size_t Count, std::uint64_t Size, std::size_t Left,
                             std::size_t InUse = 0, const Vek_string::TNumberFormat& Format = {});
// What the preview frees: "Frees 1.2 GB (3 entries)."; "Nothing to clean up."
// when it lists nothing.
std::string FreedText(std::size_t Count, std::uint64_t Size,
                      const Vek_string::TNumberFormat& Format = {});
// The question before the bin is emptied.
std::string EmptyBinQuestion(std::size_t Count, std::uint64_t Size,
                             const Vek_string::TNumberFormat& Format = {});

#ifdef _WIN32

// The entries of the bin at Location: put time from the newest section of
// the record (else the directory's creation), size from the record (else
// the walked files), protected as ChooseEntries needs.
std::vector<TCleanUpEntry> ReadEntries(const std::string& Location);

using TRecycle = std::function<void(const std::vector<std::string>& Paths)>;
using TCanRecycle = std::function<bool(const std::string& EntryPath)>;

// What sending entries to the Recycle Bin did.
struct TDiscardResult {
    std::size_t Count = 0;
    std::uint64_t Size = 0;
    // Entries that stayed because the Recycle Bin cannot take them, or did not.
    std::size_t Left = 0;
    // Entries that stayed because another command works on them, or wrote
    // into them after they were listed.
    std::size_t InUse = 0;
};

// Sends the entries to the Recycle Bin through Recycle, in one operation,
// each under its lock and read again first: an entry another command holds,
// one a put writes into now, or one a put wrote into after Listed
// (UTC, 100-ns steps since 1601) stays, and so does one CanRecycle refuses.
// Nothing is counted that is still there afterwards. Once Stop is set, no
// further entry is taken.
TDiscardResult DiscardEntries(const std::vector<std::string>& EntryPaths, std::uint64_t Listed,
                              const TRecycle& Recycle, const TCanRecycle& CanRecycle,
                              const std::atomic<bool>* Stop = nullptr);

// The name of the mutex that a clean-up of the bin at Location holds, the
// same for every program folder that shares the bin.
std::string CleanUpMutexName(const std::string& Location);

// Whether the Recycle Bin of the drive that holds Path takes what is deleted
// there: a fixed drive whose Recycle Bin answers.
bool HasRecycleBin(const std::string& Path);

// The clean-up at the program's start, run on a thread of its own: it
// holds the bin's clean-up mutex (a bin another program folder cleans right
// now is left to that one), chooses, and sends each entry whose drive has a
// Recycle Bin there through Recycle, its caller's quiet way to the Recycle
// Bin, which never deletes for good.
class TStartUpCleanUp {
public:
    struct TResult : TDiscardResult {
        // Another program folder was cleaning the bin: nothing was done.
        bool Busy = false;
    };

    TStartUpCleanUp(std::string Location, TCleanUpRules Rules, TRecycle Recycle)
        : FLocation(std::move(Location)), FRules(Rules), FRecycle(std::move(Recycle)) {}
    virtual ~TStartUpCleanUp() = default;

    // Runs on the calling thread, which keeps the mutex until it ends.
    TResult Run();

    // Whether the Recycle Bin takes the entry; HasRecycleBin by default.
    TCanRecycle CanRecycle;
    // Set from another thread: the run takes no further entry.
    std::atomic<bool> Stop{false};

private:
    std::string FLocation;
    TCleanUpRules FRules;
    TRecycle FRecycle;
};

#endif

} // namespace Engine_cleanup
