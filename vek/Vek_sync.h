// A named system mutex shared between processes, locked with a timeout.
#pragma once

#include "base/Base_file.h"
#include "base/Base_system.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace Vek_sync {

class ESyncError : public Base_system::Exception {
public:
    using Exception::Exception;
};

class ELockFail : public Base_system::Exception {
public:
    using Exception::Exception;
};

class ELockTimeout : public ELockFail {
public:
    using ELockFail::ELockFail;
};

// There is no unlock: the calling thread owns the mutex until it ends, and
// closing the handle does not release it. A later waiter then receives the
// abandoned mutex, which counts as owned.
class TMutex : public Base_system::TObject {
public:
    // Creates the mutex, or opens the one of that name that exists already.
    explicit TMutex(const std::string& Name);
    ~TMutex() override;
    // A negative timeout waits without limit; 0 tests once.
    void Lock(std::int32_t Timeout);

private:
    void Close();
    HANDLE FHandle = nullptr;
};

// A named mutex taken within Timeout milliseconds (by default without
// waiting), or not at all, and released when this ends: on the thread that
// took it, which must still be running.
class TLock {
public:
    explicit TLock(const std::string& Name, std::uint32_t Timeout = 0);
    ~TLock();
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;
    // Whether this holds the mutex: false while another thread holds it.
    bool Held() const { return FHeld; }

private:
    Base_file::THandle FHandle;
    bool FHeld = false;
};

// Whether a mutex of that name exists now, in any process of the session.
bool MutexExists(const std::string& Name);

} // namespace Vek_sync
