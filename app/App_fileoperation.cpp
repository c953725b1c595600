#include "app/App_fileoperation.h"

#include <algorithm>

#ifdef _WIN32
#include "app/App_guarddialog.h"
#include "gui/Gui_application.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#endif

namespace App_fileoperation {

std::size_t PackedSize(const std::vector<std::string>& Names) {
    std::size_t Size = 1;
    for (const std::string& Name : Names)
        Size += Name.size() + 1;
    return Size;
}

std::vector<char> PackNames(const std::vector<std::string>& Names) {
    std::vector<char> Block(PackedSize(Names));
    char* Cursor = Block.data();
    for (const std::string& Name : Names) {
        Cursor = std::copy(Name.begin(), Name.end(), Cursor);
        *Cursor++ = '\0';
    }
    *Cursor = '\0';
    return Block;
}

#ifdef _WIN32

static_assert(FileOperationMove == FO_MOVE && FileOperationDelete == FO_DELETE &&
                  FileOperationMultipleDestinations == FOF_MULTIDESTFILES &&
                  FileOperationAllowUndo == FOF_ALLOWUNDO &&
                  FileOperationNoConfirmMakeDirectory == FOF_NOCONFIRMMKDIR &&
                  FileOperationNoConfirmation == FOF_NOCONFIRMATION &&
                  FileOperationWantNukeWarning == FOF_WANTNUKEWARNING &&
                  RecycleFlags == (FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI |
                                   FOF_WANTNUKEWARNING),
              "the shell's own values");

using App_guarddialog::AppGuardDialog;
using App_guarddialog::TAppGuardDialog;
using Gui_application::Application;

namespace {

// Binds a job to the guard for one run and unbinds it however the run ends.
class TJobBinding {
public:
    TJobBinding(TAppGuardDialog& Guard, Base_system::TNotifyEvent Job) : FGuard(Guard) {
        FGuard.OnExecute = std::move(Job);
    }
    ~TJobBinding() { FGuard.OnExecute = nullptr; }
    TJobBinding(const TJobBinding&) = delete;
    TJobBinding& operator=(const TJobBinding&) = delete;

private:
    TAppGuardDialog& FGuard;
};

std::string KeyOf(const std::string& Path) {
    return Vek_codepage::FileSystemKey(Path);
}

// Whether Key names Parent's key itself or a path below it.
bool IsAtOrBelow(const std::string& Key, const std::string& ParentKey) {
    return Key.compare(0, ParentKey.size(), ParentKey) == 0 &&
           (Key.size() == ParentKey.size() || Key[ParentKey.size()] == '\\');
}

// Whether Key, or a level above it, is one of Keys.
bool IsAtOrBelowOneOf(const std::string& Key, const std::unordered_set<std::string>& Keys) {
    if (Keys.count(Key))
        return true;
    for (std::size_t Level = Key.find('\\'); Level != std::string::npos;
         Level = Key.find('\\', Level + 1))
        if (Keys.count(Key.substr(0, Level)))
            return true;
    return false;
}

// Makes Directory and its missing parents, each at most once per operation:
// Known holds every directory already seen. A level that cannot be made is
// left to the shell, which then reports the failure in its own words. A
// level that a pair's own move brings (Brought holds the destinations'
// keys) is never made beforehand: the shell would then move that pair onto
// a directory that stands.
void MakeDirectoryOnce(const std::string& Directory, std::unordered_set<std::string>& Known,
                       const std::unordered_set<std::string>& Brought) {
    if (Directory.size() < 3 || !Known.insert(Directory).second)
        return;
    if (IsAtOrBelowOneOf(KeyOf(Directory), Brought))
        return;
    if (Vek_file::IsDirectory(Directory))
        return;
    MakeDirectoryOnce(Vek_file::ExtractDirectory(Directory), Known, Brought);
    CreateDirectoryA(Directory.c_str(), nullptr);
}

// Calls Visit with every file at or below Path with its identity, and its
// path relative to Path ("" for Path itself when it is a file). A link is
// never gone into, nor taken for a file.
void ForEachFile(
    const std::string& Path, const std::string& Relative,
    const std::function<void(const std::string&, const Vek_file::TFileIdentity&)>& Visit) {
    Vek_file::TFileIdentity Identity;
    if (!Vek_file::ReadFileIdentity(Path, Identity) ||
        (Identity.Attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    if (Identity.IsRegularFile()) {
        Visit(Relative, Identity);
        return;
    }
    Vek_file::ListDirectory(Path, [&](const Vek_file::TFindData& Data) {
        if (Data.IsReparsePoint())
            return;
        const std::string& Name = Data.Name;
        ForEachFile(Path + "\\" + Name, Relative.empty() ? Name : Relative + "\\" + Name, Visit);
    });
}

std::string Joined(const std::string& Path, const std::string& Relative) {
    return Relative.empty() ? Path : Path + "\\" + Relative;
}

// Clears the read-only attribute that a copy took over from its source,
// then deletes the copy.
bool DeleteCopy(const std::string& Path, const Vek_file::TFileIdentity& Identity) {
    const std::wstring Wide = Vek_codepage::ToWide(Path);
    if (Identity.Attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(Wide.c_str(),
                           Identity.Attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return DeleteFileW(Wide.c_str()) != FALSE;
}

std::string UnremovedMessage(const std::vector<std::string>& Paths) {
    std::string Text;
    for (const std::string& Path : Paths)
        Text += (Text.empty() ? "" : "\n") +
                std::string("The program could not remove the partial copy \"") + Path + "\".";
    return Text;
}

// Which pairs cross from one volume to another. Within a volume the shell
// renames, which leaves nothing behind; a pair whose volumes the system
// cannot tell counts as crossing. Each directory is asked once.
std::vector<bool> PairsAcrossVolumes(const std::vector<std::string>& Sources,
                                     const std::vector<std::string>& Destinations) {
    std::unordered_map<std::string, std::string> Volumes;
    const auto VolumeOfParent = [&Volumes](const std::string& Path) -> const std::string& {
        const std::string Parent = Vek_file::ExtractDirectory(Path);
        auto Known = Volumes.find(Parent);
        if (Known == Volumes.end())
            Known = Volumes.emplace(Parent, Vek_file::VolumeOf(Parent)).first;
        return Known->second;
    };
    std::vector<bool> Across(std::min(Sources.size(), Destinations.size()));
    for (std::size_t Pair = 0; Pair < Across.size(); ++Pair) {
        const std::string& From = VolumeOfParent(Sources[Pair]);
        Across[Pair] = From.empty() || From != VolumeOfParent(Destinations[Pair]);
    }
    return Across;
}

// A move between volumes copies and then deletes. Where it stopped (a full
// drive, a file held open, a cancel), a file can be both at its source and,
// whole or cut short, at its destination. Noted before the move: each
// source file's identity (of the pairs that cross volumes: no other pair
// can leave a copy), what stood below the destinations, and which pair
// brings what where. After the move a copy goes only where all of this
// proves it one this move made of a source that is still the same file: a
// source made anew meanwhile is another file, and then the copy is the one
// moved original. Nothing else is ever deleted.
class TMoveCleanUp {
public:
    TMoveCleanUp(const std::vector<std::string>& Sources,
                 const std::vector<std::string>& Destinations, const std::vector<bool>& Across)
        : FSources(Sources), FDestinations(Destinations), FFiles(Sources.size()) {
        for (const std::string& Destination : Destinations) {
            FDestinationKeys.push_back(KeyOf(Destination));
            ForEachFile(Destination, std::string(),
                        [&](const std::string& Relative, const Vek_file::TFileIdentity& Identity) {
                            FExistingKeys.insert(KeyOf(Joined(Destination, Relative)));
                            if (Identity.Index != 0)
                                FExistingFiles.insert({Identity.Volume, Identity.Index});
                        });
        }
        for (std::size_t Pair = 0; Pair < Across.size(); ++Pair)
            if (Across[Pair])
                ForEachFile(
                    Sources[Pair], std::string(),
                    [&](const std::string& Relative, const Vek_file::TFileIdentity& Identity) {
                        FFiles[Pair].push_back(TSourceFile{Relative, Identity});
                        const std::string Key = KeyOf(Joined(Destinations[Pair], Relative));
                        const auto Added = FBringer.emplace(Key, Pair);
                        if (!Added.second && Added.first->second != Pair)
                            Added.first->second = SeveralPairs;
                    });
    }

    // The paths of the copies that should go and could not be removed.
    std::vector<std::string> RemoveIncompleteCopies() const {
        std::vector<std::string> Unremoved;
        for (std::size_t Pair = 0; Pair < FFiles.size(); ++Pair)
            for (const TSourceFile& File : FFiles[Pair]) {
                const std::string Copy = Joined(FDestinations[Pair], File.Relative);
                Vek_file::TFileIdentity CopyIdentity;
                if (IsIncompleteCopy(Pair, File, Copy, CopyIdentity) &&
                    !DeleteCopy(Copy, CopyIdentity))
                    Unremoved.push_back(Copy);
            }
        return Unremoved;
    }

private:
    struct TSourceFile {
        std::string Relative;
        Vek_file::TFileIdentity Identity;
    };
    static const std::size_t SeveralPairs = static_cast<std::size_t>(-1);

    bool IsIncompleteCopy(std::size_t Pair, const TSourceFile& File, const std::string& Copy,
                          Vek_file::TFileIdentity& CopyIdentity) const {
        Vek_file::TFileIdentity Now;
        if (!Vek_file::ReadFileIdentity(Joined(FSources[Pair], File.Relative), Now) ||
            !Vek_file::IsSameVersion(File.Identity, Now))
            return false;
        if (!Vek_file::ReadFileIdentity(Copy, CopyIdentity) || !CopyIdentity.IsRegularFile() ||
            Vek_file::IsSameFile(CopyIdentity, Now))
            return false;
        const std::string Key = KeyOf(Copy);
        if (FExistingKeys.count(Key) ||
            (CopyIdentity.Index != 0 &&
             FExistingFiles.count({CopyIdentity.Volume, CopyIdentity.Index})))
            return false;
        const auto Bringer = FBringer.find(Key);
        if (Bringer == FBringer.end() || Bringer->second != Pair)
            return false;
        for (std::size_t Other = 0; Other < FDestinationKeys.size(); ++Other)
            if (Other != Pair && IsAtOrBelow(Key, FDestinationKeys[Other]))
                return false;
        return true;
    }

    const std::vector<std::string>& FSources;
    const std::vector<std::string>& FDestinations;
    std::vector<std::vector<TSourceFile>> FFiles;
    std::vector<std::string> FDestinationKeys;
    std::set<std::string> FExistingKeys;
    std::set<std::pair<std::uint32_t, std::uint64_t>> FExistingFiles;
    std::map<std::string, std::size_t> FBringer;
};

} // namespace

void TFileOperator::Execute() {
    if (!AppGuardDialog)
        AppGuardDialog = Application().Own(std::make_unique<TAppGuardDialog>());
    TJobBinding Binding(*AppGuardDialog,
                        [this](Base_system::TObject* Sender) { PerformOperation(Sender); });
    AppGuardDialog->Execute();
}

void TFileOperator::PerformOperation(Base_system::TObject*) {
    FResult = -1;
    const std::vector<char> PackedSources = PackNames(FSources);
    const std::vector<char> PackedDestinations = PackNames(FDestinations);
    MakeTargetDirectories();

    SHFILEOPSTRUCTA Operation{};
    Operation.hwnd = Application().Handle();
    Operation.wFunc = FFunc;
    Operation.pFrom = PackedSources.data();
    Operation.pTo = PackedDestinations.data();
    Operation.fFlags = FFlags;
    const bool PairedMove = FFunc == FO_MOVE && (FFlags & FileOperationMultipleDestinations);
    std::unique_ptr<TMoveCleanUp> CleanUp;
    if (PairedMove) {
        const std::vector<bool> Across = PairsAcrossVolumes(FSources, FDestinations);
        if (std::find(Across.begin(), Across.end(), true) != Across.end())
            CleanUp = std::make_unique<TMoveCleanUp>(FSources, FDestinations, Across);
    }
    int Result = ShellFileOperation(Operation);
    // A cancel is one, also where the shell reports it as success.
    const int OperationCancelled = 0x75;
    if ((Result == 0 && Operation.fAnyOperationsAborted) || Result == OperationCancelled)
        Result = ERROR_CANCELLED;
    FResult = Result;
    if (CleanUp) {
        const std::vector<std::string> Unremoved = CleanUp->RemoveIncompleteCopies();
        if (!Unremoved.empty())
            throw Base_system::Exception(UnremovedMessage(Unremoved));
    }
    if (Result != 0)
        throw Base_system::EAbort();
}

int TFileOperator::ShellFileOperation(SHFILEOPSTRUCTA& Operation) {
    return SHFileOperationA(&Operation);
}

// Windows' shell makes missing target directories itself when told not to
// ask; Wine's cancels the whole operation instead. Made here beforehand, the
// same call moves on both.
void TFileOperator::MakeTargetDirectories() const {
    if (!(FFlags & FileOperationNoConfirmMakeDirectory) || (FFunc != FO_MOVE && FFunc != FO_COPY))
        return;
    std::unordered_set<std::string> Known;
    if (FFlags & FileOperationMultipleDestinations) {
        std::unordered_set<std::string> Brought;
        for (const std::string& Destination : FDestinations)
            Brought.insert(KeyOf(Destination));
        for (const std::string& Destination : FDestinations)
            MakeDirectoryOnce(Vek_file::ExtractDirectory(Destination), Known, Brought);
    } else if (!FDestinations.empty()) {
        MakeDirectoryOnce(FDestinations.front(), Known, {});
    }
}

void SetPairedMove(TFileOperator& Operator, std::vector<std::string> Sources,
                   std::vector<std::string> Destinations) {
    Operator.Sources() = std::move(Sources);
    Operator.Destinations() = std::move(Destinations);
    Operator.SetFunc(FileOperationMove);
    Operator.SetFlags(FileOperationMultipleDestinations | FileOperationNoConfirmMakeDirectory);
}

void Recycle(const std::vector<std::string>& Paths, TRecycleRun Run) {
    TFileOperator Operator;
    for (const std::string& Path : Paths)
        if (GetFileAttributesW(Vek_codepage::ToWide(Path).c_str()) != INVALID_FILE_ATTRIBUTES)
            Operator.Sources().push_back(Path);
    if (Operator.Sources().empty())
        return;
    Operator.SetFunc(FileOperationDelete);
    Operator.SetFlags(RecycleFlags);
    try {
        if (Run == TRecycleRun::rrGuarded)
            Operator.Execute();
        else
            Operator.PerformOperation(nullptr);
    } catch (const Base_system::EAbort&) {
    }
    if (!Operator.Succeeded())
        throw Base_system::Exception("The program could not send the items to the Recycle Bin.");
}

#endif

} // namespace App_fileoperation
