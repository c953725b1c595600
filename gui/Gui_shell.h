// The shell's services the program uses: its folder picker and folder
// browser, and its way of opening a file or folder with whatever program
// belongs to it.
#pragma once

#include <windows.h>
// shellapi.h maps ShellExecute to ShellExecuteA; it is included here so that
// the mapping applies alike to this declaration and to every caller.
#include <shellapi.h>

#include <string>

namespace Gui_shell {

// Releases a COM interface when it goes.
template <class T> class TComPtr {
public:
    TComPtr() = default;
    ~TComPtr() {
        if (FPointer)
            FPointer->Release();
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;
    T* operator->() const { return FPointer; }
    T* Get() const { return FPointer; }
    T** Out() { return &FPointer; }
    explicit operator bool() const { return FPointer != nullptr; }

private:
    T* FPointer = nullptr;
};

// The shell's directory chooser, modal over the program, offering file-system
// directories only. Caption stands above the tree; an empty Root shows the
// whole namespace. Directory is preselected when it exists and receives the
// chosen directory's full path. Returns false when the user cancels, with
// Directory unchanged; raises Base_system::Exception when the shell gives no
// path for the chosen directory (one too deep for it).
bool BrowseForFolder(const std::string& Caption, const std::string& Root, std::string& Directory);

// The system's folder picker: the open dialog choosing file-system folders,
// with a path box and New Folder. It is owned by Owner (the program's main
// window when that is null), opens over it and is modal over the whole
// program. Title is its caption; it opens in Folder when that exists, and
// Folder receives the chosen folder's full path. Returns false when the user
// cancels, with Folder unchanged. Where the system has no such picker, the
// folder browser above asks instead, with Title as its caption. Raises
// Base_system::Exception when the picker cannot be shown or gives no path.
bool PickFolder(HWND Owner, const std::string& Title, std::string& Folder);

// ShellExecuteExA with these fields and all others zero. Returns whether the
// shell reported success.
bool ShellExecute(HWND Owner, const char* Verb, const std::string& File, int Show, ULONG Mask);

// Opens the folder that holds Path in Explorer, with Path selected there.
// Returns whether the shell reported success.
bool OpenFolderAndSelect(const std::string& Path);

} // namespace Gui_shell
