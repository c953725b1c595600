// The conventions every report list of the program keeps, as Explorer keeps
// them: Ctrl+A selects every row, F5 reads the list again, the sorted
// column's header carries the arrow, and the context menu comes on a right
// click, on Shift+F10 and on the menu key.
#pragma once

#include <windows.h>

#include <vector>

namespace Gui_listview {

// What a key pressed in a list asks for.
enum class TListKey { lkNone, lkSelectAll, lkRefresh, lkContextMenu };

// WM_KEYDOWN or WM_SYSKEYDOWN of Key, with Ctrl and Shift as they are held.
TListKey KeyOf(WPARAM Key, bool Ctrl, bool Shift);
// The key as the thread's keyboard holds Ctrl and Shift now.
TListKey KeyOf(WPARAM Key);

void SelectAll(HWND List);

// The arrow in the header of Column, pointing down for Descending; no other
// column keeps one. A Column below 0 leaves every header plain.
void ShowSortMark(HWND List, int Column, bool Descending);

// Makes the menu key bring List's context menu alike on every system: its
// parent receives WM_CONTEXTMENU from the keyboard (-1, -1) as the key goes
// down, once; the key's release, on which some systems would send another,
// goes no further. Shift+F10 and a right click need nothing of this: the
// system sends both.
void SendContextMenuOnMenuKey(HWND List);

struct TMenuItem {
    int Id;
    const char* Text;
    bool Enabled;
};

// The context menu of List at Point (as WM_CONTEXTMENU gives it: screen
// coordinates, or -1, -1 from the keyboard, which puts it below the focused
// row). Returns the chosen item's Id, or 0 when the menu was left.
int TrackContextMenu(HWND Owner, HWND List, LPARAM Point, const std::vector<TMenuItem>& Items);

} // namespace Gui_listview
