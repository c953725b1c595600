#include "app/App_fileoperation.h"

#include <algorithm>

#ifdef _WIN32
#include "app/App_guarddialog.h"
#include "gui/Gui_application.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <shellapi.h>

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

static_assert(FileOperationMove == FO_MOVE &&
                  FileOperationMultipleDestinations == FOF_MULTIDESTFILES &&
                  FileOperationNoConfirmMakeDirectory == FOF_NOCONFIRMMKDIR,
              "the shell's own values");

using App_guarddialog::AppGuardDialog;
using App_guarddialog::TAppGuardDialog;
using Gui_application::Application;

namespace {

// Binds a job to the guard for one run and unbinds it however the run ends.
class TJobBinding {
public:
    TJobBinding(TAppGuardDialog& Guard, Gui_system::TNotifyEvent Job) : FGuard(Guard) {
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

} // namespace

void TFileOperator::Execute() {
    if (!AppGuardDialog)
        AppGuardDialog = Application().Own(std::make_unique<TAppGuardDialog>());
    TJobBinding Binding(*AppGuardDialog,
                        [this](Gui_system::TObject* Sender) { PerformOperation(Sender); });
    AppGuardDialog->Execute();
}

void TFileOperator::PerformOperation(Gui_system::TObject*) {
    const std::vector<char> PackedSources = PackNames(FSources);
    const std::vector<char> PackedDestinations = PackNames(FDestinations);
    MakeTargetDirectories();

    SHFILEOPSTRUCTA Operation{};
    Operation.hwnd = Application().Handle();
    Operation.wFunc = FFunc;
    Operation.pFrom = PackedSources.data();
    Operation.pTo = PackedDestinations.data();
    Operation.fFlags = FFlags;
    if (ShellFileOperation(Operation) != 0)
        throw Gui_system::EAbort();
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
