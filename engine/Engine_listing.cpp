#include "engine/Engine_listing.h"

#ifdef _WIN32

#include "base/Base_system.h"
#include "engine/Engine_lock.h"
#include "engine/Engine_record.h"
#include "vek/Vek_file.h"

namespace Engine_listing {

namespace {

// How long one wait for an entry's lock lasts before the stop is looked at.
const std::uint32_t LockWait = 100;

bool RecordIdentity(const std::string& EntryPath, Vek_file::TFileIdentity& Identity) {
    return Vek_file::ReadFileIdentity(Engine_record::RecordPath(EntryPath), Identity);
}

} // namespace

bool CompleteListings(const std::string& EntryPath, const std::atomic<bool>* Stop) {
    Vek_file::TFileIdentity Listed;
    Engine_record::TRecord Record;
    if (!RecordIdentity(EntryPath, Listed) ||
        !Engine_record::ListAwaitingSections(EntryPath, Record, Stop))
        return false;
    Engine_lock::TEntryLocks Locks;
    while (!Locks.TryLock(EntryPath, LockWait))
        if (!Stop || *Stop)
            return false;
    Vek_file::TFileIdentity Now;
    if (!RecordIdentity(EntryPath, Now))
        return false;
    if (!Vek_file::IsSameVersion(Listed, Now) &&
        !Engine_record::ListAwaitingSections(EntryPath, Record, Stop))
        return false;
    Engine_record::WriteRecord(EntryPath, Record);
    return true;
}

// The stop is set under the lock: a thread between its look at the queue
// and its wait would otherwise miss the wake-up and never end.
TListingQueue::~TListingQueue() {
    {
        const std::lock_guard<std::mutex> Guard(FLock);
        FStop = true;
    }
    FChanged.notify_all();
    if (FThread.joinable())
        FThread.join();
}

void TListingQueue::Add(const std::string& EntryPath) {
    const std::lock_guard<std::mutex> Guard(FLock);
    FWaiting.push_back(EntryPath);
    if (!FThread.joinable())
        FThread = std::thread(&TListingQueue::Run, this);
    FChanged.notify_all();
}

void TListingQueue::WaitUntilDone() {
    std::unique_lock<std::mutex> Guard(FLock);
    FChanged.wait(Guard, [this] { return FWaiting.empty() && !FBusy; });
}

void TListingQueue::Run() {
    std::string EntryPath;
    while (TakeNext(EntryPath)) {
        List(EntryPath);
        const std::lock_guard<std::mutex> Guard(FLock);
        FBusy = false;
        FChanged.notify_all();
    }
}

bool TListingQueue::TakeNext(std::string& EntryPath) {
    std::unique_lock<std::mutex> Guard(FLock);
    FChanged.wait(Guard, [this] { return FStop || !FWaiting.empty(); });
    if (FStop)
        return false;
    EntryPath = std::move(FWaiting.front());
    FWaiting.pop_front();
    FBusy = true;
    return true;
}

void TListingQueue::List(const std::string& EntryPath) {
    try {
        CompleteListings(EntryPath, &FStop);
    } catch (const Base_system::Exception&) {
    }
}

} // namespace Engine_listing

#endif
