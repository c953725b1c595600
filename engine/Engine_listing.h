// The listings that complete the records of the newest puts. A put records
// only its items before it moves them; what its directories hold is read
// afterwards from inside the entry, where nothing changes any more, on a
// thread of its own, so that no window waits for a walk of what it brought.
#pragma once

#ifdef _WIN32

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace Engine_listing {

// Lists the entry's sections that await their listing, and writes the
// record under the entry's lock. The listing itself takes no lock: a
// command that held the lock meanwhile (a take back follows it with the
// record) rewrote the record, and then it is listed again under the lock.
// Waits for the lock until Stop is set, or once for a moment without Stop.
// False when nothing was completed. Raises when the record cannot be
// written.
bool CompleteListings(const std::string& EntryPath, const std::atomic<bool>* Stop = nullptr);

// Entries completed one after another by CompleteListings. A listing that
// fails leaves its section awaiting: a later start lists it.
class TListingQueue {
public:
    TListingQueue() = default;
    // Ends the listing under way without writing it, and leaves the rest.
    ~TListingQueue();
    TListingQueue(const TListingQueue&) = delete;
    TListingQueue& operator=(const TListingQueue&) = delete;

    void Add(const std::string& EntryPath);
    // Waits until every entry added so far is listed.
    void WaitUntilDone();

private:
    void Run();
    bool TakeNext(std::string& EntryPath);
    void List(const std::string& EntryPath);

    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<std::string> FWaiting;
    bool FBusy = false;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace Engine_listing

#endif
