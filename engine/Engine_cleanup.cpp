#include "engine/Engine_cleanup.h"

#include "base/Base_system.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <tuple>

#ifdef _WIN32
#include "engine/Engine_lock.h"
#include "engine/Engine_record.h"
#include "engine/Engine_takeback.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"
#include "vek/Vek_sync.h"

#include <windows.h>
#include <shellapi.h>
#endif

namespace Engine_cleanup {

namespace {

const std::uint64_t Megabyte = 1024 * 1024;

bool Older(const TCleanUpEntry& A, const TCleanUpEntry& B) {
    if (A.Put != B.Put)
        return A.Put < B.Put;
    return Vek_string::CompareNoCase(A.Name, B.Name) < 0;
}

std::string Counted(std::size_t Count, const char* One, const char* Many) {
    return std::to_string(Count) + " " + (Count == 1 ? One : Many);
}

} // namespace

bool operator==(const TCleanUpRules& A, const TCleanUpRules& B) {
    return std::tie(A.ByAge, A.Days, A.BySize, A.Megabytes, A.AtStart) ==
           std::tie(B.ByAge, B.Days, B.BySize, B.Megabytes, B.AtStart);
}

std::vector<TCleanUpEntry> ChooseEntries(std::vector<TCleanUpEntry> Entries,
                                         const TCleanUpRules& Rules, std::uint64_t Now) {
    std::sort(Entries.begin(), Entries.end(), Older);
    std::vector<bool> Chosen(Entries.size(), false);
    std::uint64_t Kept = TotalSize(Entries);
    const std::uint64_t Age = static_cast<std::uint64_t>(std::max(Rules.Days, 0)) * Day;
    for (std::size_t Index = 0; Index < Entries.size(); ++Index) {
        const TCleanUpEntry& Entry = Entries[Index];
        if (Rules.ByAge && !Entry.Protected && Entry.Put + Age < Now) {
            Chosen[Index] = true;
            Kept -= Entry.Size;
        }
    }
    const std::uint64_t Limit = static_cast<std::uint64_t>(std::max(Rules.Megabytes, 0)) * Megabyte;
    for (std::size_t Index = 0; Rules.BySize && Kept > Limit && Index < Entries.size(); ++Index) {
        if (Chosen[Index] || Entries[Index].Protected)
            continue;
        Chosen[Index] = true;
        Kept -= Entries[Index].Size;
    }
    std::vector<TCleanUpEntry> Result;
    for (std::size_t Index = 0; Index < Entries.size(); ++Index)
        if (Chosen[Index])
            Result.push_back(std::move(Entries[Index]));
    return Result;
}

std::uint64_t TotalSize(const std::vector<TCleanUpEntry>& Entries) {
    std::uint64_t Total = 0;
    for (const TCleanUpEntry& Entry : Entries)
        Total += Entry.Size;
    return Total;
}

std::string EntriesText(std::size_t Count, std::uint64_t Size,
                        const Vek_string::TNumberFormat& Format) {
    return Counted(Count, "entry", "entries") + " (" + Vek_string::SizeText(Size, Format) + ")";
}

std::string CleanedUpMessage(std::size_t Count, std::uint64_t Size, std::size_t Left,
                             std::size_t InUse, const Vek_string::TNumberFormat& Format) {
    std::string Message =
        "Cleaned up " + EntriesText(Count, Size, Format) + " into the Recycle Bin.";
    if (Left > 0)
        Message += " " + Counted(Left, "entry stayed", "entries stayed") +
                   ": the Recycle Bin cannot take " + (Left == 1 ? "it." : "them.");
    if (InUse > 0)
        Message += " " + Counted(InUse, "entry stayed", "entries stayed") +
                   ": another command is working on " + (InUse == 1 ? "it." : "them.");
    return Message;
}

std::string FreedText(std::size_t Count, std::uint64_t Size,
                      const Vek_string::TNumberFormat& Format) {
    if (Count == 0)
        return "Nothing to clean up.";
    return "Frees " + Vek_string::SizeText(Size, Format) + " (" +
           Counted(Count, "entry", "entries") + ").";
}

std::string EmptyBinQuestion(std::size_t Count, std::uint64_t Size,
                             const Vek_string::TNumberFormat& Format) {
    return "Discard every entry of the bin, " + EntriesText(Count, Size, Format) +
           ", into the Recycle Bin?";
}

#ifdef _WIN32

namespace {

const char CleanUpMutexPrefix[] = "Parvex.TovelBin.CleanUp.";

// A put that did not finish, or one that is writing into the entry now.
bool HasOpenPut(const Engine_record::TRecord& Record) {
    return std::any_of(Record.Puts.begin(), Record.Puts.end(),
                       [](const Engine_record::TPutSection& Section) {
                           return Section.State != Engine_record::TPutState::psDone;
                       });
}

std::uint64_t RecordedBytes(const Engine_record::TRecord& Record) {
    std::uint64_t Total = 0;
    for (const Engine_record::TPutSection& Section : Record.Puts) {
        std::uint64_t Files = 0;
        std::uint64_t Bytes = 0;
        Engine_record::CountFiles(Section.Tree, Files, Bytes);
        Total += Bytes;
    }
    return Total;
}

// Put time from the newest section of the record, else the directory's
// creation; size from the record, else the walked files.
TCleanUpEntry ReadEntry(const std::string& Name, const std::string& Path, std::uint64_t Created) {
    TCleanUpEntry Entry;
    Entry.Name = Name;
    Entry.Path = Path;
    Engine_record::TRecord Record;
    const Engine_record::TPutSection* Newest = nullptr;
    if (Engine_record::ReadRecord(Path, Record))
        Newest = Engine_record::NewestSection(Record);
    for (const Engine_record::TPutSection& Section : Record.Puts)
        for (const std::string& Item : Engine_record::ItemPaths(Section.Tree)) {
            if (Entry.FirstItem.empty())
                Entry.FirstItem =
                    Engine_record::FromRecordText(Item.substr(0, 1) + ":" + Item.substr(1));
            else
                ++Entry.MoreItems;
        }
    // A record that still awaits its listing knows its items, not their size.
    const bool Counted =
        std::none_of(Record.Puts.begin(), Record.Puts.end(),
                     [](const Engine_record::TPutSection& Section) { return !Section.Listed; });
    Entry.Put = Newest ? Newest->Time : Created;
    Entry.Protected = Newest && HasOpenPut(Record);
    Entry.Size = Newest && Counted
                     ? RecordedBytes(Record)
                     : Engine_takeback::TreeSize(Engine_takeback::ReadEntryTree(Path));
    return Entry;
}

} // namespace

std::vector<TCleanUpEntry> ReadEntries(const std::string& Location) {
    Engine_takeback::TTakeBackSelection Last;
    const bool HasLast = Engine_takeback::FindLastPut(Location, Last);
    std::vector<TCleanUpEntry> Entries;
    for (const Engine_takeback::TEntryDirectory& Info :
         Engine_takeback::ListEntryDirectories(Location)) {
        TCleanUpEntry Entry = ReadEntry(Info.Name, Info.Path, Info.Created);
        if (HasLast && Last.EntryPath == Info.Path)
            Entry.Protected = true;
        Entries.push_back(std::move(Entry));
    }
    return Entries;
}

// The lock keeps every other command out of an entry from the moment it is
// read again until the shell has taken it: a put that reuses its name goes
// to another name meanwhile.
TDiscardResult DiscardEntries(const std::vector<std::string>& EntryPaths, std::uint64_t Listed,
                              const TRecycle& Recycle, const TCanRecycle& CanRecycle,
                              const std::atomic<bool>* Stop) {
    TDiscardResult Result;
    Engine_lock::TEntryLocks Locks;
    std::vector<TCleanUpEntry> Going;
    for (const std::string& Path : EntryPaths) {
        if (Stop && *Stop)
            break;
        // Gone already, by a command that came first: no failure.
        if (!Vek_file::IsDirectory(Path))
            continue;
        if (!Locks.TryLock(Path)) {
            ++Result.InUse;
            continue;
        }
        const TCleanUpEntry Entry = ReadEntry(Vek_file::ExtractFileName(Path), Path, 0);
        if (Engine_record::IsBeingWritten(Path) || Entry.Put > Listed)
            ++Result.InUse;
        else if (!CanRecycle(Path))
            ++Result.Left;
        else
            Going.push_back(Entry);
    }
    std::vector<std::string> Paths;
    for (const TCleanUpEntry& Entry : Going)
        Paths.push_back(Entry.Path);
    // What the Recycle Bin took counts, whatever the shell answered: an
    // entry that is still there stayed.
    if (!Paths.empty()) {
        try {
            Recycle(Paths);
        } catch (const Base_system::Exception&) {
        }
    }
    for (const TCleanUpEntry& Entry : Going) {
        if (Vek_file::IsDirectory(Entry.Path)) {
            ++Result.Left;
            continue;
        }
        ++Result.Count;
        Result.Size += Entry.Size;
    }
    return Result;
}

std::string CleanUpMutexName(const std::string& Location) {
    const std::string Full =
        Vek_file::ExcludeTrailingDelimiter(Vek_file::GetLongPath(Location), '\\');
    return CleanUpMutexPrefix + Vek_hash::HashText(Vek_codepage::UpperCaseName(Full));
}

namespace {

// Wine says yes to the Recycle Bin query for every drive: its Recycle Bin
// is the user's home trash, and that takes only what can be renamed into
// it, on the same file system. A file renamed there and back tells.
using TDosName = WCHAR*(CDECL*)(const char* UnixName);

// The folder that holds Wine's trash: $XDG_DATA_HOME (Wine hands it on
// from Unix, in UTF-8), else .local\share in the home folder that Wine
// names in WINEHOMEDIR ("\??\Z:\home\user").
std::wstring TrashFolder(TDosName DosName) {
    if (const char* const Data = std::getenv("XDG_DATA_HOME")) {
        WCHAR* const Dos = DosName(Vek_codepage::ToUtf8(Data).c_str());
        if (!Dos)
            return std::wstring();
        const std::wstring Folder = Dos;
        HeapFree(GetProcessHeap(), 0, Dos);
        return Folder;
    }
    const wchar_t* const Home = _wgetenv(L"WINEHOMEDIR");
    if (!Home)
        return std::wstring();
    std::wstring Folder = Home;
    if (Folder.rfind(L"\\??\\", 0) == 0)
        Folder.erase(0, 4);
    return Folder + L"\\.local\\share";
}

bool WineTrashTakes(const std::string& Path, TDosName DosName) {
    // Wine makes the trash where it is missing, on the file system of the
    // nearest folder above it that exists.
    std::wstring Folder = TrashFolder(DosName);
    while (!Folder.empty() && GetFileAttributesW(Folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        Folder.erase(std::min(Folder.size(), Folder.find_last_of(L'\\')));
    if (Folder.empty())
        return false;
    const std::wstring Trash = Folder + L"\\";
    const std::wstring Name = L".TovelBin recycle probe " + std::to_wstring(GetCurrentProcessId());
    const std::wstring Probe = Vek_codepage::ToWide(Vek_file::ExtractDirectoryPath(
                                   Vek_file::ExcludeTrailingDelimiter(Path, '\\'))) +
                               Name;
    {
        const Base_file::THandle File(CreateFileW(Probe.c_str(), GENERIC_WRITE, 0, nullptr,
                                                  CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
        if (!File.Valid())
            return false;
    }
    const std::wstring There = Trash + Name;
    const bool Renamed = MoveFileExW(Probe.c_str(), There.c_str(), 0) != FALSE;
    DeleteFileW(Renamed ? There.c_str() : Probe.c_str());
    return Renamed;
}

} // namespace

// A network path has no drive letter, and no Recycle Bin of its own.
bool HasRecycleBin(const std::string& Path) {
    const std::string Drive = Vek_file::GetPathRoot(Path);
    if (Drive.empty())
        return false;
    const std::string Root = Vek_file::IncludeTrailingDelimiter(Drive, '\\');
    if (GetDriveTypeA(Root.c_str()) != DRIVE_FIXED)
        return false;
    SHQUERYRBINFO Info{};
    Info.cbSize = sizeof Info;
    if (SHQueryRecycleBinA(Root.c_str(), &Info) != S_OK)
        return false;
    const auto DosName = reinterpret_cast<TDosName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
    return !DosName || WineTrashTakes(Path, DosName);
}

TStartUpCleanUp::TResult TStartUpCleanUp::Run() {
    TResult Result;
    Vek_sync::TMutex Mutex(CleanUpMutexName(FLocation));
    try {
        Mutex.Lock(0);
    } catch (const Vek_sync::ELockFail&) {
        Result.Busy = true;
        return Result;
    }
    const std::uint64_t Listed = Engine_record::CurrentTime();
    std::vector<std::string> Paths;
    for (const TCleanUpEntry& Entry : ChooseEntries(ReadEntries(FLocation), FRules, Listed))
        Paths.push_back(Entry.Path);
    static_cast<TDiscardResult&>(Result) =
        DiscardEntries(Paths, Listed, FRecycle, CanRecycle ? CanRecycle : HasRecycleBin, &Stop);
    return Result;
}

#endif

} // namespace Engine_cleanup
