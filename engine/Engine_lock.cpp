#include "engine/Engine_lock.h"

#ifdef _WIN32

#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"

#include <algorithm>

namespace Engine_lock {

namespace {

const char EntryLockPrefix[] = "Parvex.TovelBin.Entry.";
const char PathDelimiter = '\\';

// The bin's directory in its long form where it exists; the entry's own
// level may not exist yet, as before a put makes it.
std::string FullEntryPath(const std::string& EntryPath) {
    const std::string Path = Vek_file::ExcludeTrailingDelimiter(EntryPath, PathDelimiter);
    const std::string::size_type Last = Path.rfind(PathDelimiter);
    if (Last == std::string::npos)
        return Path;
    std::string Location = Path.substr(0, Last);
    try {
        Location =
            Vek_file::GetLongPath(Vek_file::IncludeTrailingDelimiter(Location, PathDelimiter));
    } catch (const Vek_file::EFileError&) {
    }
    return Vek_file::IncludeTrailingDelimiter(Location, PathDelimiter) + Path.substr(Last + 1);
}

std::string KeyOf(const std::string& EntryPath) {
    return Vek_codepage::UpperCaseName(FullEntryPath(EntryPath));
}

} // namespace

bool TEntryLocks::TryLock(const std::string& EntryPath, std::uint32_t Wait) {
    const std::string Key = KeyOf(EntryPath);
    if (std::any_of(FHeld.begin(), FHeld.end(),
                    [&Key](const auto& Held) { return Held.first == Key; }))
        return true;
    auto Lock = std::make_unique<Vek_sync::TLock>(EntryLockPrefix + Vek_hash::HashText(Key), Wait);
    if (!Lock->Held())
        return false;
    FHeld.emplace_back(Key, std::move(Lock));
    return true;
}

void TEntryLocks::Unlock(const std::string& EntryPath) {
    const std::string Key = KeyOf(EntryPath);
    FHeld.erase(std::remove_if(FHeld.begin(), FHeld.end(),
                               [&Key](const auto& Held) { return Held.first == Key; }),
                FHeld.end());
}

} // namespace Engine_lock

#endif
