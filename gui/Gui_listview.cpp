#include "Gui_listview.h"

#include <commctrl.h>
#include <windowsx.h>

#include <memory>
#include <type_traits>

namespace Gui_listview {

namespace {

struct TMenuCloser {
    void operator()(HMENU Menu) const { DestroyMenu(Menu); }
};
using TOwnedMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, TMenuCloser>;

const UINT_PTR MenuKeySubclassId = 0x4D4B;

LRESULT CALLBACK MenuKeyProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam, UINT_PTR,
                             DWORD_PTR) {
    switch (Message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (WParam != VK_APPS)
            break;
        SendMessageA(GetParent(Window), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window), -1);
        return 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (WParam == VK_APPS)
            return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(Window, MenuKeyProc, MenuKeySubclassId);
        break;
    default:
        break;
    }
    return DefSubclassProc(Window, Message, WParam, LParam);
}

} // namespace

void SendContextMenuOnMenuKey(HWND List) {
    SetWindowSubclass(List, MenuKeyProc, MenuKeySubclassId, 0);
}

TListKey KeyOf(WPARAM Key, bool Ctrl, bool Shift) {
    if (Key == 'A' && Ctrl && !Shift)
        return TListKey::lkSelectAll;
    if (Key == VK_F5 && !Ctrl && !Shift)
        return TListKey::lkRefresh;
    if (Key == VK_APPS || (Key == VK_F10 && Shift && !Ctrl))
        return TListKey::lkContextMenu;
    return TListKey::lkNone;
}

TListKey KeyOf(WPARAM Key) {
    return KeyOf(Key, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0);
}

void SelectAll(HWND List) {
    ListView_SetItemState(List, -1, LVIS_SELECTED, LVIS_SELECTED);
}

void ShowSortMark(HWND List, int Column, bool Descending) {
    const HWND Header = ListView_GetHeader(List);
    const int Count = static_cast<int>(SendMessageA(Header, HDM_GETITEMCOUNT, 0, 0));
    for (int Index = 0; Index < Count; ++Index) {
        HDITEMA Item{};
        Item.mask = HDI_FORMAT;
        SendMessageA(Header, HDM_GETITEMA, Index, reinterpret_cast<LPARAM>(&Item));
        Item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (Index == Column)
            Item.fmt |= Descending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageA(Header, HDM_SETITEMA, Index, reinterpret_cast<LPARAM>(&Item));
    }
}

int TrackContextMenu(HWND Owner, HWND List, LPARAM Point, const std::vector<TMenuItem>& Items) {
    const TOwnedMenu Menu(CreatePopupMenu());
    if (!Menu)
        return 0;
    for (const TMenuItem& Item : Items)
        AppendMenuA(Menu.get(), MF_STRING | (Item.Enabled ? MF_ENABLED : MF_GRAYED),
                    static_cast<UINT_PTR>(Item.Id), Item.Text);
    POINT At{GET_X_LPARAM(Point), GET_Y_LPARAM(Point)};
    if (Point == -1) {
        RECT Row{};
        const int Focused = ListView_GetNextItem(List, -1, LVNI_FOCUSED);
        if (Focused >= 0 && ListView_GetItemRect(List, Focused, &Row, LVIR_LABEL)) {
            At = POINT{Row.left, Row.bottom};
        } else {
            GetClientRect(List, &Row);
            At = POINT{Row.left, Row.top};
        }
        ClientToScreen(List, &At);
    }
    return static_cast<int>(TrackPopupMenu(
        Menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, At.x, At.y, 0, Owner, nullptr));
}

} // namespace Gui_listview
