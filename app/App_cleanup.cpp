#include "app/App_cleanup.h"

#include <algorithm>
#include <cctype>
#include <tuple>

#ifdef _WIN32
#include "app/App_fileoperation.h"
#include "app/App_record.h"
#include "app/App_takeback.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"
#include "vek/Vek_sync.h"

#include <windows.h>
#include <shellapi.h>
#endif

namespace App_cleanup {

namespace {

const std::uint64_t Megabyte = 1024 * 1024;

int CompareNames(const std::string& A, const std::string& B) {
    const std::size_t Length = std::min(A.size(), B.size());
    for (std::size_t Index = 0; Index < Length; ++Index) {
        const int Left = std::tolower(static_cast<unsigned char>(A[Index]));
        const int Right = std::tolower(static_cast<unsigned char>(B[Index]));
        if (Left != Right)
            return Left < Right ? -1 : 1;
    }
    return A.size() == B.size() ? A.compare(B) : (A.size() < B.size() ? -1 : 1);
}

bool Older(const TCleanUpEntry& A, const TCleanUpEntry& B) {
    if (A.Put != B.Put)
        return A.Put < B.Put;
    return CompareNames(A.Name, B.Name) < 0;
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

std::string FormatSize(std::uint64_t Size) {
    static const char* const Units[] = {"KB", "MB", "GB", "TB"};
    if (Size < 1024)
        return Counted(static_cast<std::size_t>(Size), "byte", "bytes");
    std::size_t Unit = 0;
    std::uint64_t Scale = 1024;
    while (Unit + 1 < 4 && Size >= Scale * 1024) {
        Scale *= 1024;
        ++Unit;
    }
    const std::uint64_t Tenths = (Size * 10 + Scale / 2) / Scale;
    if (Tenths >= 100)
        return std::to_string((Size + Scale / 2) / Scale) + " " + Units[Unit];
    return std::to_string(Tenths / 10) + "." + std::to_string(Tenths % 10) + " " + Units[Unit];
}

std::string EntriesText(std::size_t Count, std::uint64_t Size) {
    return Counted(Count, "entry", "entries") + " (" + FormatSize(Size) + ")";
}

std::string CleanedUpMessage(std::size_t Count, std::uint64_t Size, std::size_t Left) {
    std::string Message = "Cleaned up " + EntriesText(Count, Size) + " into the Recycle Bin.";
    if (Left > 0)
        Message += " " + Counted(Left, "entry stayed", "entries stayed") +
                   ": the Recycle Bin cannot take " + (Left == 1 ? "it." : "them.");
    return Message;
}

std::string FreedText(std::size_t Count, std::uint64_t Size) {
    if (Count == 0)
        return "Nothing to clean up.";
    return "Frees " + FormatSize(Size) + " (" + Counted(Count, "entry", "entries") + ").";
}

std::string EmptyBinQuestion(std::size_t Count, std::uint64_t Size) {
    return "Discard every entry of the bin, " + EntriesText(Count, Size) +
           ", into the Recycle Bin?";
}

#ifdef _WIN32

namespace {

const char CleanUpMutexPrefix[] = "Parvex.TovelBin.CleanUp.";

// A put that did not finish, or one that is writing into the entry now.
bool HasOpenPut(const App_record::TRecord& Record) {
    return std::any_of(Record.Puts.begin(), Record.Puts.end(),
                       [](const App_record::TPutSection& Section) {
                           return Section.State != App_record::TPutState::psDone;
                       });
}

std::uint64_t RecordedBytes(const App_record::TRecord& Record) {
    std::uint64_t Total = 0;
    for (const App_record::TPutSection& Section : Record.Puts) {
        std::uint64_t Files = 0;
        std::uint64_t Bytes = 0;
        App_record::CountFiles(Section.Tree, Files, Bytes);
        Total += Bytes;
    }
    return Total;
}

} // namespace

std::vector<TCleanUpEntry> ReadEntries(const std::string& Location) {
    App_takeback::TTakeBackSelection Last;
    const bool HasLast = App_takeback::FindLastPut(Location, Last);
    std::vector<TCleanUpEntry> Entries;
    for (const App_takeback::TEntryInfo& Info : App_takeback::ListEntryDirectories(Location)) {
        TCleanUpEntry Entry;
        Entry.Name = Info.Name;
        Entry.Path = Info.Path;
        App_record::TRecord Record;
        const App_record::TPutSection* Newest = nullptr;
        if (App_record::ReadRecord(Info.Path, Record))
            Newest = App_record::NewestSection(Record);
        if (Newest) {
            Entry.Put = Newest->Time;
            Entry.Size = RecordedBytes(Record);
            Entry.Protected = HasOpenPut(Record);
        } else {
            Entry.Put = Info.Created;
            Entry.Size = App_takeback::TreeSize(App_takeback::ReadEntryTree(Info.Path));
        }
        if (HasLast && Last.EntryPath == Info.Path)
            Entry.Protected = true;
        Entries.push_back(std::move(Entry));
    }
    return Entries;
}

std::string CleanUpMutexName(const std::string& Location) {
    const std::string Full =
        Vek_file::ExcludeTrailingDelimiter(Vek_file::GetLongPath(Location), '\\');
    return CleanUpMutexPrefix + Vek_hash::HashText(Vek_codepage::UpperCaseName(Full));
}

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
    return SHQueryRecycleBinA(Root.c_str(), &Info) == S_OK;
}

void DiscardEntries(const std::vector<std::string>& EntryPaths) {
    App_fileoperation::TFileOperator Operator;
    // An entry gone already, by a clean-up of another program folder, is
    // no failure: the shell would refuse the whole list for it.
    for (const std::string& Path : EntryPaths)
        if (Vek_file::IsDirectory(Path))
            Operator.Sources().push_back(Path);
    if (Operator.Sources().empty())
        return;
    Operator.SetFunc(App_fileoperation::FileOperationDelete);
    Operator.SetFlags(App_fileoperation::FileOperationAllowUndo |
                      App_fileoperation::FileOperationNoConfirmation |
                      App_fileoperation::FileOperationWantNukeWarning);
    Operator.Execute();
}

unsigned StartUpDeleteFlags() {
    return FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_WANTNUKEWARNING;
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
    const std::function<bool(const std::string&)> Recyclable =
        CanRecycle ? CanRecycle : HasRecycleBin;
    std::vector<TCleanUpEntry> Going;
    for (TCleanUpEntry& Entry :
         ChooseEntries(ReadEntries(FLocation), FRules, App_record::CurrentTime())) {
        // Gone already, by a clean-up that did not wait for this one: no failure.
        if (!Vek_file::IsDirectory(Entry.Path))
            continue;
        if (Recyclable(Entry.Path))
            Going.push_back(std::move(Entry));
        else
            ++Result.Left;
    }
    std::vector<std::string> Paths;
    for (const TCleanUpEntry& Entry : Going)
        Paths.push_back(Entry.Path);
    if (!Paths.empty())
        ShellDelete(Paths, StartUpDeleteFlags());
    // What the shell took counts, whatever it answered: an entry that is
    // still there stayed.
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

int TStartUpCleanUp::ShellDelete(const std::vector<std::string>& Paths, unsigned Flags) {
    const std::vector<char> Packed = App_fileoperation::PackNames(Paths);
    SHFILEOPSTRUCTA Operation{};
    Operation.wFunc = FO_DELETE;
    Operation.pFrom = Packed.data();
    Operation.fFlags = static_cast<FILEOP_FLAGS>(Flags);
    return SHFileOperationA(&Operation);
}

#endif

} // namespace App_cleanup
