// The shell's services the program uses: its folder browser and its way of
// opening a file or folder with whatever program belongs to it.
#pragma once

#include <windows.h>
// shellapi.h maps ShellExecute to ShellExecuteA; it is included here so that
// the mapping applies alike to this declaration and to every caller.
#include <shellapi.h>

#include <string>

namespace Gui_shell {

// The shell's directory chooser, modal over the program, offering file-system
// directories only. Caption stands above the tree; an empty Root shows the
// whole namespace. Directory is preselected when it exists and receives the
// chosen directory's full path. Returns false when the user cancels, with
// Directory unchanged; raises Base_system::Exception when the shell gives no
// path for the chosen directory (one too deep for it).
bool BrowseForFolder(const std::string& Caption, const std::string& Root, std::string& Directory);

// ShellExecuteExA with these fields and all others zero. Returns whether the
// shell reported success.
bool ShellExecute(HWND Owner, const char* Verb, const std::string& File, int Show, ULONG Mask);

// Opens the folder that holds Path in Explorer, with Path selected there.
// Returns whether the shell reported success.
bool OpenFolderAndSelect(const std::string& Path);

} // namespace Gui_shell
