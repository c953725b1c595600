#include "vek/Vek_sync.h"

#include "base/Base_file.h"

namespace Vek_sync {

TMutex::TMutex(const std::string& Name) {
    FHandle = CreateMutexA(nullptr, FALSE, Name.c_str());
    if (FHandle == nullptr)
        throw ESyncError("The program could not craete a mutex object.");
}

TMutex::~TMutex() {
    Close();
}

void TMutex::Lock(std::int32_t Timeout) {
    const DWORD Wait = Timeout < 0 ? INFINITE : static_cast<DWORD>(Timeout);
    switch (WaitForSingleObject(FHandle, Wait)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        return;
    case WAIT_TIMEOUT:
        throw ELockTimeout("The program could not lock the mutex object within the time.");
    case WAIT_FAILED:
        throw ELockFail("The program could not lock the mutex object.");
    default:
        throw ESyncError(
            "An unknown error occured when the program tried to lock the mutex object.");
    }
}

void TMutex::Close() {
    if (FHandle != nullptr) {
        CloseHandle(FHandle);
        FHandle = nullptr;
    }
}

// A mutex left by a thread that ended without releasing it is free again.
TLock::TLock(const std::string& Name, std::uint32_t Timeout)
    : FHandle(CreateMutexA(nullptr, FALSE, Name.c_str())) {
    if (!FHandle.Valid())
        throw ESyncError("The program could not craete a mutex object.");
    const DWORD Wait = WaitForSingleObject(FHandle.Get(), Timeout);
    FHeld = Wait == WAIT_OBJECT_0 || Wait == WAIT_ABANDONED;
}

TLock::~TLock() {
    if (FHeld)
        ReleaseMutex(FHandle.Get());
}

// A mutex lives while any process holds a handle to it; one that is there
// but closed to us still exists.
bool MutexExists(const std::string& Name) {
    const Base_file::THandle Handle(OpenMutexA(SYNCHRONIZE, FALSE, Name.c_str()));
    return Handle.Valid() || GetLastError() == ERROR_ACCESS_DENIED;
}

} // namespace Vek_sync
