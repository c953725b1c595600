// The whole-file reads and writes that every layer needs, on the system's own
// calls: a handle owner, a file read whole, a file written whole so that no
// reader ever sees a part of it, and the file system's times as numbers.
// Paths are texts of the process code page.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace Base_file {

// Who else may have the file open while it is read: other readers only, so
// that its content cannot change underneath (a file a writer holds cannot
// be read then), or anyone, also one who writes or deletes it.
enum class TSharing { shReaders, shAnyone };

// The whole content of Path; false when it cannot be opened with Sharing, is
// larger than MaxBytes or cannot be read whole.
bool ReadWholeFile(const std::string& Path, std::string& Bytes,
                   TSharing Sharing = TSharing::shReaders, std::uint64_t MaxBytes = 0x7FFFFFFF);

// Writes Bytes to NewPath (made anew, over any leftover of a run cut short),
// flushes it to the disk and renames it over Target: a reader sees the old
// content or the new, never a part. False when any step fails; NewPath is
// then gone and Target is as it was.
bool WriteFileAtomically(const std::string& Target, const std::string& NewPath,
                         const std::string& Bytes, bool Hidden = false);

#ifdef _WIN32

// Owns one handle and gives it to Closer when it ends. Neither null nor
// INVALID_HANDLE_VALUE is a handle.
template <BOOL(WINAPI* Closer)(HANDLE)> class TOwnedHandle {
public:
    explicit TOwnedHandle(HANDLE Handle = nullptr) : FHandle(Handle) {}
    ~TOwnedHandle() { Close(); }
    TOwnedHandle(TOwnedHandle&& Other) noexcept : FHandle(Other.Release()) {}
    TOwnedHandle& operator=(TOwnedHandle&& Other) noexcept {
        if (this != &Other) {
            Close();
            FHandle = Other.Release();
        }
        return *this;
    }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;

    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        const HANDLE Handle = FHandle;
        FHandle = nullptr;
        return Handle;
    }
    // Whether the system closed it; true when there was none.
    bool Close() { return !Valid() || Closer(Release()) != FALSE; }

private:
    HANDLE FHandle;
};

// A kernel object's handle (a file, a mutex, an event), and a directory
// search's.
using THandle = TOwnedHandle<CloseHandle>;
using TFindHandle = TOwnedHandle<FindClose>;

// The system's 64-bit numbers in two halves (sizes, indexes) as one.
inline std::uint64_t Joined64(DWORD High, DWORD Low) {
    return (static_cast<std::uint64_t>(High) << 32) | Low;
}

// A FILETIME as one number of 100-ns steps, and back.
inline std::uint64_t FileTimeValue(const FILETIME& Time) {
    return Joined64(Time.dwHighDateTime, Time.dwLowDateTime);
}
inline FILETIME FileTimeOf(std::uint64_t Value) {
    FILETIME Time;
    Time.dwLowDateTime = static_cast<DWORD>(Value);
    Time.dwHighDateTime = static_cast<DWORD>(Value >> 32);
    return Time;
}

#endif

} // namespace Base_file
