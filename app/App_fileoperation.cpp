#include "app/App_fileoperation.h"

#include <algorithm>

#ifdef _WIN32
#include "app/App_guarddialog.h"
#include "gui/Gui_application.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <set>
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
                  FileOperationWantNukeWarning == FOF_WANTNUKEWARNING,
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

// Makes Directory and its missing parents, each at most once per operation:
// Known holds every directory already seen. A level that cannot be made is
// left to the shell, which then reports the failure in its own words.
void MakeDirectoryOnce(const std::string& Directory, std::set<std::string>& Known) {
    if (Directory.size() < 3 || !Known.insert(Directory).second)
        return;
    if (Vek_file::IsDirectory(Directory))
        return;
    MakeDirectoryOnce(Vek_file::ExtractDirectory(Directory), Known);
    CreateDirectoryA(Directory.c_str(), nullptr);
}

// Calls Visit with every regular file at or below Path, as that path and as
// its path relative to Path ("" for Path itself when it is a file).
void ForEachFile(const std::string& Path, const std::string& Relative,
                 const std::function<void(const std::string&)>& Visit) {
    if (Vek_file::IsRegularFile(Path)) {
        Visit(Relative);
        return;
    }
    Vek_file::ListDirectory(Path, [&](const Vek_file::TFindData& Data) {
        const std::string& Name = Data.Name;
        ForEachFile(Path + "\\" + Name, Relative.empty() ? Name : Relative + "\\" + Name, Visit);
    });
}

std::string Joined(const std::string& Path, const std::string& Relative) {
    return Relative.empty() ? Path : Path + "\\" + Relative;
}

// The files already below the destinations: they belong to someone else.
std::set<std::string> ExistingFiles(const std::vector<std::string>& Destinations) {
    std::set<std::string> Existing;
    for (const std::string& Destination : Destinations)
        ForEachFile(Destination, std::string(), [&](const std::string& Relative) {
            Existing.insert(Vek_file::UpperCasePath(Joined(Destination, Relative)));
        });
    return Existing;
}

// A move between drives copies and then deletes. Where it stopped (a full
// drive, a file held open, a cancel), a file can be both at its source and,
// whole or cut short, at its destination. The source is the true one, so
// the copy goes; a file that was at the destination before stays.
void RemoveIncompleteCopies(const std::vector<std::string>& Sources,
                            const std::vector<std::string>& Destinations,
                            const std::set<std::string>& Existing) {
    for (std::size_t I = 0; I < Sources.size() && I < Destinations.size(); ++I)
        ForEachFile(Sources[I], std::string(), [&](const std::string& Relative) {
            const std::string Copy = Joined(Destinations[I], Relative);
            if (Vek_file::IsRegularFile(Copy) && !Existing.count(Vek_file::UpperCasePath(Copy)))
                DeleteFileA(Copy.c_str());
        });
}

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
    const std::set<std::string> Existing =
        PairedMove ? ExistingFiles(FDestinations) : std::set<std::string>();
    const int Result = ShellFileOperation(Operation);
    FResult = Result;
    if (PairedMove)
        RemoveIncompleteCopies(FSources, FDestinations, Existing);
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
    std::set<std::string> Known;
    if (FFlags & FileOperationMultipleDestinations) {
        for (const std::string& Destination : FDestinations)
            MakeDirectoryOnce(Vek_file::ExtractDirectory(Destination), Known);
    } else if (!FDestinations.empty()) {
        MakeDirectoryOnce(FDestinations.front(), Known);
    }
}

#endif

} // namespace App_fileoperation
