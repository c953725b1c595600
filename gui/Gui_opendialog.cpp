#include "Gui_opendialog.h"

#include "gui/Gui_application.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>

namespace Gui_opendialog {

namespace {

// Room for the names of many files at once: the dialog fails rather than
// cut a selection short.
const std::size_t FileBufferSize = 1 << 18;

// The dialog wants the parts of the filter separated by NULs and the whole
// ended by two. As a wide text no "|" can be part of another character.
std::wstring FilterParts(const std::string& Filter) {
    std::wstring Parts = Vek_codepage::ToWide(Filter);
    std::replace(Parts.begin(), Parts.end(), L'|', L'\0');
    Parts.append(2, L'\0');
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
// The wide dialog counts both in UTF-16 units, which the ANSI one would
// count in bytes of a buffer it fills itself.
bool SeveralChosen(const std::wstring& Buffer, WORD FileOffset) {
    return FileOffset > 0 && Buffer[FileOffset - 1] == L'\0';
}

std::wstring ChosenFolder(const std::wstring& Buffer, WORD FileOffset) {
    return SeveralChosen(Buffer, FileOffset) ? std::wstring(Buffer.c_str())
                                             : Buffer.substr(0, FileOffset);
}

// The folder as the system writes a directory: without a trailing backslash,
// except for a drive's root, which "C:" alone would not name.
std::string DirectoryOf(const std::string& Folder) {
    const std::string Directory = Vek_file::ExcludeTrailingDelimiter(Folder, '\\');
    return !Directory.empty() && Directory.back() == ':' ? Folder : Directory;
}

std::vector<std::string> ChosenFiles(const std::wstring& Buffer, WORD FileOffset) {
    if (!SeveralChosen(Buffer, FileOffset))
        return {Vek_codepage::FromWide(Buffer.c_str())};
    const std::string Folder = Vek_codepage::FromWide(ChosenFolder(Buffer, FileOffset));
    const std::string Prefix = Vek_file::IncludeTrailingDelimiter(Folder, '\\');
    std::vector<std::string> Files;
    for (std::size_t Start = FileOffset; Start < Buffer.size() && Buffer[Start] != L'\0';) {
        const std::wstring Name = Buffer.c_str() + Start;
        Files.push_back(Prefix + Vek_codepage::FromWide(Name));
        Start += Name.size() + 1;
    }
    return Files;
}

} // namespace

bool TOpenDialog::Execute() {
    const std::wstring FilterText = FilterParts(Filter);
    const std::wstring TitleText = Vek_codepage::ToWide(Title);
    const std::wstring Start = Vek_codepage::ToWide(Gui_application::Application().LastDirectory());
    std::wstring Buffer(FileBufferSize, L'\0');
    Vek_codepage::ToWide(FileName).copy(&Buffer[0], Buffer.size() - 1);

    OPENFILENAMEW Dialog{};
    Dialog.lStructSize = sizeof Dialog;
    Dialog.hwndOwner = Gui_application::Application().Handle();
    Dialog.lpstrFilter = Filter.empty() ? nullptr : FilterText.c_str();
    Dialog.nFilterIndex = static_cast<DWORD>(FilterIndex);
    Dialog.lpstrFile = &Buffer[0];
    Dialog.nMaxFile = static_cast<DWORD>(Buffer.size());
    Dialog.lpstrTitle = Title.empty() ? nullptr : TitleText.c_str();
    Dialog.lpstrInitialDir = Start.empty() ? nullptr : Start.c_str();
    // The dialog would otherwise leave the process's current directory in the
    // chosen folder, which Windows then holds open: a later put of that folder
    // or of one above it would fail in the shell's move.
    Dialog.Flags = OptionFlags(Options) | OFN_NOCHANGEDIR;

    BOOL Confirmed;
    {
        Gui_application::TModalScope Modal;
        Confirmed = GetOpenFileNameW(&Dialog);
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
        DirectoryOf(Vek_codepage::FromWide(ChosenFolder(Buffer, Dialog.nFileOffset))));
    return true;
}

} // namespace Gui_opendialog
