// Who may work on an entry of the bin: every command that writes into an
// entry, takes from it or sends it away holds the entry's lock while it
// does, in whichever process and program folder it runs. A command that
// finds an entry locked leaves it alone and says so.
#pragma once

#ifdef _WIN32

#include "vek/Vek_sync.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Engine_lock {

// How long a command on entries the user chose waits for one that another
// command holds, before it refuses: long enough for a record to be written,
// as the listing after a put does.
const std::uint32_t RecordWriteWait = 2000;

// The locks one command holds, until it ends. An entry's lock has the same
// name for every spelling of the bin's path that names the same directory.
class TEntryLocks {
public:
    // Takes the entry's lock, waiting at most Wait milliseconds; false when
    // another command holds it. A lock this holds already is taken again at
    // no cost.
    bool TryLock(const std::string& EntryPath, std::uint32_t Wait = 0);
    // Lets go of the entry's lock, if this holds it.
    void Unlock(const std::string& EntryPath);

private:
    std::vector<std::pair<std::string, std::unique_ptr<Vek_sync::TLock>>> FHeld;
};

} // namespace Engine_lock

#endif
