#include "App_entriesdialog.h"

#include "gui/Gui_application.h"
#include "res/Dialogs.rch"
#include "vek/Vek_codepage.h"

#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <set>

namespace App_entriesdialog {

using App_takeback::TEntryInfo;
using Gui_application::Application;

namespace {

// Column captions and design widths in dialog units.
struct TColumn {
    const char* Caption;
    int Width;
    int Format;
};
const TColumn Columns[App_takeback::ecCount] = {{"Entry", 62, LVCFMT_LEFT},
                                                {"Put", 78, LVCFMT_LEFT},
                                                {"Items", 34, LVCFMT_RIGHT},
                                                {"Size", 44, LVCFMT_RIGHT},
                                                {"From", 160, LVCFMT_LEFT}};

// The dialog leaves the hourglass to its own commands: while it waits for
// the user, the ordinary cursor shows, also inside the command that opened it.
class TScreenCursorOff {
public:
    TScreenCursorOff() : FSaved(Application().ScreenCursor()) {
        Application().SetScreenCursor(nullptr);
    }
    ~TScreenCursorOff() { Application().SetScreenCursor(FSaved); }
    TScreenCursorOff(const TScreenCursorOff&) = delete;
    TScreenCursorOff& operator=(const TScreenCursorOff&) = delete;

private:
    HCURSOR FSaved;
};

// The hourglass at once, not only when the mouse next moves.
class THourglass {
public:
    THourglass() : FSaved(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~THourglass() { SetCursor(FSaved); }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    const Gui_application::TCursorScope FScope;
    HCURSOR FSaved;
};

// The locale's texts come wide and are converted once: the ANSI services
// would give them in the locale's code page, not the process's. False when
// the locale gives none.
bool LocaleText(const std::function<int(LPWSTR Buffer, int Size)>& Query, std::string& Text) {
    const int Size = Query(nullptr, 0);
    if (Size <= 0)
        return false;
    std::wstring Wide(static_cast<std::size_t>(Size), L'\0');
    const int Length = Query(&Wide[0], Size);
    if (Length <= 0)
        return false;
    Wide.resize(static_cast<std::size_t>(Length) - 1);
    Text = Vek_codepage::FromWide(Wide);
    return true;
}

std::string PutTimeText(std::uint64_t Created) {
    FILETIME Utc{static_cast<DWORD>(Created), static_cast<DWORD>(Created >> 32)};
    FILETIME Local;
    SYSTEMTIME Time;
    if (!FileTimeToLocalFileTime(&Utc, &Local) || !FileTimeToSystemTime(&Local, &Time))
        return std::string();
    std::string Date;
    std::string Clock;
    LocaleText(
        [&Time](LPWSTR Buffer, int Size) {
            return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &Time, nullptr, Buffer,
                                  Size);
        },
        Date);
    LocaleText(
        [&Time](LPWSTR Buffer, int Size) {
            return GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &Time, nullptr, Buffer,
                                  Size);
        },
        Clock);
    return Date + " " + Clock;
}

std::string ThousandSeparator() {
    std::string Separator;
    if (!LocaleText(
            [](LPWSTR Buffer, int Size) {
                return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, Buffer, Size);
            },
            Separator))
        return ",";
    return Separator;
}

std::string CellText(const TEntryInfo& Entry, int Column) {
    switch (Column) {
    case App_takeback::ecPut:
        return PutTimeText(Entry.Created);
    case App_takeback::ecItems:
        return std::to_string(Entry.Items);
    case App_takeback::ecSize:
        return App_takeback::FormatKilobytes(Entry.Size, ThousandSeparator());
    case App_takeback::ecFrom:
        // The mark of an entry whose put was cut short: the user decides
        // what becomes of it.
        if (Entry.Unfinished)
            return "Did not finish" + (Entry.From.empty() ? std::string() : ": " + Entry.From);
        return Entry.From;
    default:
        return Entry.Name;
    }
}

SIZE WindowSize(HWND Window) {
    RECT Bounds;
    GetWindowRect(Window, &Bounds);
    return SIZE{Bounds.right - Bounds.left, Bounds.bottom - Bounds.top};
}

} // namespace

TAppEntriesDialog::TAppEntriesDialog() : TDialog(IDD_ENTRIES) {
    INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&Controls);
}

void TAppEntriesDialog::Execute() {
    const TScreenCursorOff NormalCursor;
    ShowModal();
}

void TAppEntriesDialog::InitDialog() {
    RECT Units{DLG_MARGIN, DLG_GAP, 0, 0};
    MapDialogRect(Handle(), &Units);
    FMargin = Units.left;
    FGap = Units.top;
    FButtonSize = WindowSize(Item(IDCANCEL));
    // Small enough to tuck away, never so small that the buttons overlap.
    const SIZE Design = WindowSize(Handle());
    RECT Client;
    GetClientRect(Handle(), &Client);
    FMinSize.cx = Design.cx - Client.right + 2 * FMargin + 4 * FButtonSize.cx + 4 * FGap;
    FMinSize.cy = Design.cy / 2;

    const HWND List = ListView1();
    SendMessageA(List, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_LABELTIP);
    PlaceFromSettings();
    ArrangeControls();
    CreateColumns();
    Refresh();
    if (!FEntries.empty())
        ListView_SetItemState(List, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    FocusControl(List);
}

// The design widths leave the rest of the list's width to From, the column
// whose texts are longest.
void TAppEntriesDialog::CreateColumns() {
    int Widths[App_takeback::ecCount];
    int Used = 0;
    for (int Column = 0; Column < App_takeback::ecCount; ++Column) {
        RECT Width{Columns[Column].Width, 0, 0, 0};
        MapDialogRect(Handle(), &Width);
        Widths[Column] = Width.left;
        if (Column != App_takeback::ecFrom)
            Used += Width.left;
    }
    RECT Client;
    GetClientRect(ListView1(), &Client);
    Widths[App_takeback::ecFrom] =
        std::max(Widths[App_takeback::ecFrom],
                 static_cast<int>(Client.right) - Used - GetSystemMetrics(SM_CXVSCROLL));
    for (int Column = 0; Column < App_takeback::ecCount; ++Column) {
        LVCOLUMNA Info{};
        Info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        Info.fmt = Columns[Column].Format;
        Info.cx =
            Settings.ColumnWidths[Column] > 0 ? Settings.ColumnWidths[Column] : Widths[Column];
        Info.pszText = const_cast<char*>(Columns[Column].Caption);
        Info.iSubItem = Column;
        SendMessageA(ListView1(), LVM_INSERTCOLUMNA, Column, reinterpret_cast<LPARAM>(&Info));
    }
}

// The kept bounds, if any, never smaller than the template; a place that
// lies on no screen any more keeps the centred one.
void TAppEntriesDialog::PlaceFromSettings() {
    if (Settings.Width <= 0 || Settings.Height <= 0)
        return;
    RECT Bounds{Settings.Left, Settings.Top,
                Settings.Left + std::max(Settings.Width, static_cast<int>(FMinSize.cx)),
                Settings.Top + std::max(Settings.Height, static_cast<int>(FMinSize.cy))};
    UINT Flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!MonitorFromRect(&Bounds, MONITOR_DEFAULTTONULL))
        Flags |= SWP_NOMOVE;
    SetWindowPos(Handle(), nullptr, Bounds.left, Bounds.top, Bounds.right - Bounds.left,
                 Bounds.bottom - Bounds.top, Flags);
}

void TAppEntriesDialog::ArrangeControls() {
    RECT Client;
    GetClientRect(Handle(), &Client);
    const int ButtonTop = Client.bottom - FMargin - FButtonSize.cy;
    SetWindowPos(ListView1(), nullptr, FMargin, FMargin,
                 std::max(0, static_cast<int>(Client.right) - 2 * FMargin),
                 std::max(0, ButtonTop - FGap - FMargin), SWP_NOZORDER | SWP_NOACTIVATE);
    int Left = FMargin;
    for (int Id : {IDC_ENTRIES_TAKE_BACK, IDC_ENTRIES_EXPLORE, IDC_ENTRIES_DISCARD}) {
        SetWindowPos(Item(Id), nullptr, Left, ButtonTop, FButtonSize.cx, FButtonSize.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        Left += FButtonSize.cx + FGap;
    }
    SetWindowPos(Item(IDCANCEL), nullptr, Client.right - FMargin - FButtonSize.cx, ButtonTop,
                 FButtonSize.cx, FButtonSize.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TAppEntriesDialog::Refresh() {
    const std::vector<std::string> Selected = SelectedPaths();
    if (OnList) {
        const THourglass Hourglass;
        FEntries = OnList();
    } else {
        FEntries.clear();
    }
    App_takeback::SortEntries(FEntries, Settings.SortColumn, Settings.SortDescending);
    FillList(Selected);
}

void TAppEntriesDialog::SortBy(int Column) {
    if (Column < 0 || Column >= App_takeback::ecCount)
        return;
    if (Column == Settings.SortColumn) {
        Settings.SortDescending = !Settings.SortDescending;
    } else {
        Settings.SortColumn = Column;
        // Times and amounts start with the largest, texts from A.
        Settings.SortDescending = Column == App_takeback::ecPut ||
                                  Column == App_takeback::ecItems || Column == App_takeback::ecSize;
    }
    const std::vector<std::string> Selected = SelectedPaths();
    App_takeback::SortEntries(FEntries, Settings.SortColumn, Settings.SortDescending);
    FillList(Selected);
}

void TAppEntriesDialog::FillList(const std::vector<std::string>& Selected) {
    const HWND List = ListView1();
    const std::set<std::string> Keep(Selected.begin(), Selected.end());
    SendMessageA(List, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(List);
    for (std::size_t Row = 0; Row < FEntries.size(); ++Row) {
        const TEntryInfo& Entry = FEntries[Row];
        std::string Text = CellText(Entry, 0);
        LVITEMA Item{};
        Item.mask = LVIF_TEXT | LVIF_STATE;
        Item.iItem = static_cast<int>(Row);
        Item.pszText = const_cast<char*>(Text.c_str());
        Item.state = Keep.count(Entry.Path) ? LVIS_SELECTED : 0;
        Item.stateMask = LVIS_SELECTED;
        SendMessageA(List, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&Item));
        for (int Column = 1; Column < App_takeback::ecCount; ++Column) {
            Text = CellText(Entry, Column);
            Item.mask = LVIF_TEXT;
            Item.iSubItem = Column;
            Item.pszText = const_cast<char*>(Text.c_str());
            SendMessageA(List, LVM_SETITEMTEXTA, Row, reinterpret_cast<LPARAM>(&Item));
        }
    }
    SendMessageA(List, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(List, nullptr, TRUE);
    ShowSortMark();
    UpdateButtons();
}

void TAppEntriesDialog::ShowSortMark() {
    const HWND Header = ListView_GetHeader(ListView1());
    for (int Column = 0; Column < App_takeback::ecCount; ++Column) {
        HDITEMA Item{};
        Item.mask = HDI_FORMAT;
        SendMessageA(Header, HDM_GETITEMA, Column, reinterpret_cast<LPARAM>(&Item));
        Item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (Column == Settings.SortColumn)
            Item.fmt |= Settings.SortDescending ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageA(Header, HDM_SETITEMA, Column, reinterpret_cast<LPARAM>(&Item));
    }
}

void TAppEntriesDialog::UpdateButtons() {
    const bool Any = ListView_GetSelectedCount(ListView1()) > 0;
    for (int Id : {IDC_ENTRIES_TAKE_BACK, IDC_ENTRIES_EXPLORE, IDC_ENTRIES_DISCARD})
        EnableWindow(Item(Id), Any);
}

std::vector<std::string> TAppEntriesDialog::SelectedPaths() const {
    std::vector<std::string> Paths;
    if (!Handle())
        return Paths;
    for (int Row = ListView_GetNextItem(ListView1(), -1, LVNI_SELECTED); Row >= 0;
         Row = ListView_GetNextItem(ListView1(), Row, LVNI_SELECTED)) {
        if (static_cast<std::size_t>(Row) < FEntries.size())
            Paths.push_back(FEntries[Row].Path);
    }
    return Paths;
}

// Whatever the command did, the list shows the bin as it is now; a failure
// is then reported by the top level and the dialog stays.
void TAppEntriesDialog::RunCommand(const TPathsEvent& Event,
                                   const std::vector<std::string>& Paths) {
    if (Paths.empty() || !Event)
        return;
    try {
        const THourglass Hourglass;
        Event(Paths);
    } catch (...) {
        Refresh();
        throw;
    }
    Refresh();
}

void TAppEntriesDialog::TakeBackClick() {
    RunCommand(OnTakeBack, SelectedPaths());
}

// The entry under the focus, else the first selected one.
void TAppEntriesDialog::ExploreClick() {
    const int Focused = ListView_GetNextItem(ListView1(), -1, LVNI_FOCUSED | LVNI_SELECTED);
    std::vector<std::string> Paths = SelectedPaths();
    if (Focused >= 0 && static_cast<std::size_t>(Focused) < FEntries.size())
        Paths = {FEntries[Focused].Path};
    else if (Paths.size() > 1)
        Paths.resize(1);
    if (Paths.empty() || !OnExplore)
        return;
    const THourglass Hourglass;
    OnExplore(Paths);
}

void TAppEntriesDialog::DiscardClick() {
    RunCommand(OnDiscard, SelectedPaths());
}

void TAppEntriesDialog::Command(int Id, int Code, HWND Control) {
    if (Code != BN_CLICKED) {
        TDialog::Command(Id, Code, Control);
        return;
    }
    switch (Id) {
    case IDC_ENTRIES_TAKE_BACK:
        TakeBackClick();
        break;
    // Enter comes as the default button's command, or as IDOK.
    case IDOK:
    case IDC_ENTRIES_EXPLORE:
        ExploreClick();
        break;
    case IDC_ENTRIES_DISCARD:
        DiscardClick();
        break;
    default:
        TDialog::Command(Id, Code, Control);
    }
}

bool TAppEntriesDialog::Notify(const NMHDR& Header) {
    if (Header.idFrom != IDC_ENTRIES_LISTVIEW1)
        return false;
    switch (Header.code) {
    case LVN_COLUMNCLICK:
        SortBy(reinterpret_cast<const NMLISTVIEW&>(Header).iSubItem);
        return true;
    case LVN_ITEMCHANGED:
        UpdateButtons();
        return true;
    case NM_DBLCLK:
        if (reinterpret_cast<const NMITEMACTIVATE&>(Header).iItem >= 0)
            ExploreClick();
        return true;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN&>(Header).wVKey == VK_DELETE) {
            DiscardClick();
            return true;
        }
        return false;
    default:
        return false;
    }
}

void TAppEntriesDialog::KeepSettings() {
    RECT Bounds;
    GetWindowRect(Handle(), &Bounds);
    Settings.Left = Bounds.left;
    Settings.Top = Bounds.top;
    Settings.Width = Bounds.right - Bounds.left;
    Settings.Height = Bounds.bottom - Bounds.top;
    for (int Column = 0; Column < App_takeback::ecCount; ++Column)
        Settings.ColumnWidths[Column] =
            static_cast<int>(SendMessageA(ListView1(), LVM_GETCOLUMNWIDTH, Column, 0));
}

// The system scales the dialog, its font and its controls; the layout's own
// measures and the columns' widths follow the same way.
void TAppEntriesDialog::DpiChanged(int OldDpi, int NewDpi) {
    const auto Rescale = [OldDpi, NewDpi](LONG Size) {
        return static_cast<int>(MulDiv(Size, NewDpi, OldDpi));
    };
    FMargin = Rescale(FMargin);
    FGap = Rescale(FGap);
    FButtonSize = SIZE{Rescale(FButtonSize.cx), Rescale(FButtonSize.cy)};
    FMinSize = SIZE{Rescale(FMinSize.cx), Rescale(FMinSize.cy)};
    for (int Column = 0; Column < App_takeback::ecCount; ++Column) {
        const auto Width =
            static_cast<LONG>(SendMessageA(ListView1(), LVM_GETCOLUMNWIDTH, Column, 0));
        SendMessageA(ListView1(), LVM_SETCOLUMNWIDTH, Column, Rescale(Width));
    }
}

INT_PTR TAppEntriesDialog::DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_SIZE:
        if (FMargin > 0)
            ArrangeControls();
        return TRUE;
    case WM_GETMINMAXINFO:
        if (FMinSize.cx > 0) {
            auto& Info = *reinterpret_cast<MINMAXINFO*>(LParam);
            Info.ptMinTrackSize.x = FMinSize.cx;
            Info.ptMinTrackSize.y = FMinSize.cy;
        }
        return TRUE;
    case WM_NOTIFY:
        return Notify(*reinterpret_cast<const NMHDR*>(LParam)) ? TRUE : FALSE;
    case WM_DESTROY:
        KeepSettings();
        break;
    }
    return TDialog::DialogProc(Message, WParam, LParam);
}

} // namespace App_entriesdialog
