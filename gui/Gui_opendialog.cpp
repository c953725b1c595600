#include "Gui_opendialog.h"

#include "gui/Gui_application.h"
#include "vek/Vek_file.h"
#include "vek/Vek_string.h"

#include <windows.h>
#include <commdlg.h>

namespace Gui_opendialog {

namespace {

// Room for the names of many files at once: the dialog fails rather than
// cut a selection short.
const std::size_t FileBufferSize = 1 << 18;

// The dialog wants the parts of the filter separated by NULs and the whole
// ended by two. A "|" can be the second byte of a double-byte character,
// which stays as it is.
std::string FilterParts(const std::string& Filter) {
    std::string Parts = Filter;
    for (std::size_t I = 0; I < Parts.size(); ++I) {
        if (Vek_string::IsLeadByte(Parts[I]))
            ++I;
        else if (Parts[I] == '|')
            Parts[I] = '\0';
    }
    Parts.append(2, '\0');
    return Parts;
}

DWORD OptionFlags(TOpenOptions Options) {
    // The Explorer look, which also separates the names of a multiple
    // selection by NULs rather than blanks.
    DWORD Flags = OFN_EXPLORER;
    if (Options & ofAllowMultiSelect)
        Flags |= OFN_ALLOWMULTISELECT;
    if (Options & ofPathMustExist)
        Flags |= OFN_PATHMUSTEXIST;
    if (Options & ofFileMustExist)
        Flags |= OFN_FILEMUSTEXIST;
    if (Options & ofNoDereferenceLinks)
        Flags |= OFN_NODEREFERENCELINKS;
    if (Options & ofHideReadOnly)
        Flags |= OFN_HIDEREADONLY;
    if (Options & ofEnableSizing)
        Flags |= OFN_ENABLESIZING;
    return Flags;
}

// One chosen file comes back as its full path, the file offset pointing at
// its name. Several come back as the folder, a NUL, and then each name
// followed by a NUL; the file offset then points just past the folder's NUL.
bool SeveralChosen(const std::string& Buffer, WORD FileOffset) {
    return FileOffset > 0 && Buffer[FileOffset - 1] == '\0';
}

std::string ChosenFolder(const std::string& Buffer, WORD FileOffset) {
    return SeveralChosen(Buffer, FileOffset) ? std::string(Buffer.c_str())
                                             : Buffer.substr(0, FileOffset);
}

// The folder as the system writes a directory: without a trailing backslash,
// except for a drive's root, which "C:" alone would not name.
std::string DirectoryOf(const std::string& Folder) {
    const std::string Directory = Vek_file::ExcludeTrailingDelimiter(Folder, '\\');
    return !Directory.empty() && Directory.back() == ':' ? Folder : Directory;
}

std::vector<std::string> ChosenFiles(const std::string& Buffer, WORD FileOffset) {
    if (!SeveralChosen(Buffer, FileOffset))
        return {Buffer.c_str()};
    const std::string Folder = ChosenFolder(Buffer, FileOffset);
    const std::string Prefix = Vek_file::IncludeTrailingDelimiter(Folder, '\\');
    std::vector<std::string> Files;
    for (std::size_t Start = FileOffset; Start < Buffer.size() && Buffer[Start] != '\0';) {
        const std::string Name = Buffer.c_str() + Start;
        Files.push_back(Prefix + Name);
        Start += Name.size() + 1;
    }
    return Files;
}

} // namespace

bool TOpenDialog::Execute() {
    const std::string FilterText = FilterParts(Filter);
    std::string Buffer(FileBufferSize, '\0');
    FileName.copy(&Buffer[0], Buffer.size() - 1);

    OPENFILENAMEA Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = Gui_application::Application().Handle();
    Dialog.lpstrFilter = Filter.empty() ? nullptr : FilterText.c_str();
    Dialog.nFilterIndex = static_cast<DWORD>(FilterIndex);
    Dialog.lpstrFile = &Buffer[0];
    Dialog.nMaxFile = static_cast<DWORD>(Buffer.size());
    Dialog.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
    const std::string& Start = Gui_application::Application().LastDirectory();
    Dialog.lpstrInitialDir = Start.empty() ? nullptr : Start.c_str();
    // The dialog would otherwise leave the process's current directory in the
    // chosen folder, which Windows then holds open: a later put of that folder
    // or of one above it would fail in the shell's move.
    Dialog.Flags = OptionFlags(Options) | OFN_NOCHANGEDIR;

    BOOL Confirmed;
    {
        Gui_application::TModalScope Modal;
        Confirmed = GetOpenFileNameA(&Dialog);
    }
    if (!Confirmed) {
        if (CommDlgExtendedError() != 0)
            throw Base_system::Exception("The program could not show the open dialog.");
        return false;
    }
    FilterIndex = static_cast<std::int32_t>(Dialog.nFilterIndex);
    Files = ChosenFiles(Buffer, Dialog.nFileOffset);
    FileName = Files.empty() ? std::string() : Files.front();
    Gui_application::Application().SetLastDirectory(
        DirectoryOf(ChosenFolder(Buffer, Dialog.nFileOffset)));
    return true;
}

} // namespace Gui_opendialog
