#include "App_entriesdialog.h"

#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "gui/Gui_dpi.h"
#include "gui/Gui_listview.h"
#include "res/Dialogs.rch"
#include "vek/Vek_codepage.h"
#include "vek/Vek_locale.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>

namespace App_entriesdialog {

using Engine_catalog::TCatalogEntry;
using Engine_catalog::TCatalogNode;
using Gui_application::Application;

namespace {

// The background reader's note that rows are ready.
const UINT WM_ENTRIES_FILLED = WM_APP + 1;
const UINT_PTR KeySubclassId = 1;

// Column captions and design widths in dialog units.
struct TColumn {
    const char* Caption;
    int Width;
    int Format;
};
const TColumn EntryColumns[Engine_catalog::ecCount] = {{"Entry", 62, LVCFMT_LEFT},
                                                       {"Put", 78, LVCFMT_LEFT},
                                                       {"Items", 34, LVCFMT_RIGHT},
                                                       {"Size", 44, LVCFMT_RIGHT},
                                                       {"From", 160, LVCFMT_LEFT}};
const TColumn ItemColumns[icCount] = {{"Name", 96, LVCFMT_LEFT},
                                      {"Original place", 110, LVCFMT_LEFT},
                                      {"Entry", 50, LVCFMT_LEFT},
                                      {"Put", 70, LVCFMT_LEFT},
                                      {"Size", 40, LVCFMT_RIGHT}};

const int BottomButtons[] = {IDC_ENTRIES_BACK,    IDC_ENTRIES_TAKE_BACK, IDC_ENTRIES_TAKE_BACK_TO,
                             IDC_ENTRIES_EXPLORE, IDC_ENTRIES_DISCARD,   IDCANCEL};

// The mark of figures not read yet, in the process code page.
std::string Pending() {
    return Vek_codepage::FromWide(L"\u2026");
}

SIZE WindowSize(HWND Window) {
    RECT Bounds;
    GetWindowRect(Window, &Bounds);
    return SIZE{Bounds.right - Bounds.left, Bounds.bottom - Bounds.top};
}

int DialogUnits(HWND Dialog, int Units) {
    RECT Width{Units, 0, 0, 0};
    MapDialogRect(Dialog, &Width);
    return Width.left;
}

std::string WindowText(HWND Window) {
    const int Length = GetWindowTextLengthW(Window);
    std::wstring Text(static_cast<std::size_t>(Length) + 1, L'\0');
    Text.resize(static_cast<std::size_t>(GetWindowTextW(Window, &Text[0], Length + 1)));
    return Vek_codepage::FromWide(Text);
}

} // namespace

TAppEntriesDialog::TAppEntriesDialog() : TDialog(IDD_ENTRIES) {
    INITCOMMONCONTROLSEX Controls{sizeof Controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&Controls);
}

TAppEntriesDialog::~TAppEntriesDialog() = default;

void TAppEntriesDialog::Execute() {
    const Gui_application::TOrdinaryCursor NormalCursor;
    ShowModal();
}

void TAppEntriesDialog::InitDialog() {
    FMargin = DialogUnits(Handle(), DLG_MARGIN);
    FGap = DialogUnits(Handle(), DLG_GAP);
    FButtons.clear();
    int ButtonsWidth = 0;
    for (int Id : BottomButtons) {
        FButtons.emplace_back(Id, static_cast<int>(WindowSize(Item(Id)).cx));
        ButtonsWidth += FButtons.back().second + FGap;
    }
    FButtonHeight = WindowSize(Item(IDCANCEL)).cy;
    FEditHeight = WindowSize(SearchEdit()).cy;
    FStatusHeight = WindowSize(Item(IDC_ENTRIES_STATUS)).cy;
    FLabelWidth = WindowSize(Item(IDC_ENTRIES_SEARCH_LABEL)).cx;
    FNumberFormat = Vek_locale::NumberFormat();
    // Small enough to tuck away, never so small that the buttons overlap.
    const SIZE Design = WindowSize(Handle());
    RECT Client;
    GetClientRect(Handle(), &Client);
    FMinSize.cx = Design.cx - Client.right + 2 * FMargin + ButtonsWidth;
    FMinSize.cy = Design.cy / 2;

    const HWND List = EntriesList();
    SendMessageA(List, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_LABELTIP);
    // The system's image list is the shell's: the list must never destroy it.
    SetWindowLongPtrW(List, GWL_STYLE, GetWindowLongPtrW(List, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    SHFILEINFOW Info{};
    FIcons = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"x", FILE_ATTRIBUTE_NORMAL, &Info, sizeof Info,
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES));
    for (HWND Child = GetWindow(Handle(), GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT))
        SetWindowSubclass(Child, KeyProc, KeySubclassId, reinterpret_cast<DWORD_PTR>(this));
    PlaceFromSettings();
    ArrangeControls();
    CreateColumns();
    Refresh();
    if (!FRows.empty())
        ListView_SetItemState(List, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    FocusControl(List);
}

// The design widths leave the rest of the list's width to the column whose
// texts are longest: From of the entries, Original place of the items.
void TAppEntriesDialog::CreateColumns() {
    const bool Entries = FView == vwEntries;
    const int Count = ColumnCount();
    const TColumn* Columns = Entries ? EntryColumns : ItemColumns;
    const int* Kept = Entries ? Settings.ColumnWidths : Settings.ItemColumnWidths;
    const int Widest =
        Entries ? static_cast<int>(Engine_catalog::ecFrom) : static_cast<int>(icPlace);
    const HWND List = EntriesList();
    while (SendMessageA(List, LVM_DELETECOLUMN, 0, 0)) {
    }
    std::vector<int> Widths;
    int Used = 0;
    for (int Column = 0; Column < Count; ++Column) {
        Widths.push_back(DialogUnits(Handle(), Columns[Column].Width));
        if (Column != Widest)
            Used += Widths.back();
    }
    RECT Client;
    GetClientRect(List, &Client);
    Widths[Widest] = std::max(Widths[Widest], static_cast<int>(Client.right) - Used -
                                                  GetSystemMetrics(SM_CXVSCROLL));
    for (int Column = 0; Column < Count; ++Column) {
        LVCOLUMNA Info{};
        Info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        Info.fmt = Columns[Column].Format;
        Info.cx = Kept[Column] > 0 ? FromDesignDpi(Kept[Column]) : Widths[Column];
        Info.pszText = const_cast<char*>(Columns[Column].Caption);
        Info.iSubItem = Column;
        SendMessageA(List, LVM_INSERTCOLUMNA, Column, reinterpret_cast<LPARAM>(&Info));
    }
    // The entries lead with what was put; the columns keep their numbers.
    if (Entries) {
        int Order[Engine_catalog::ecCount] = {Engine_catalog::ecFrom, Engine_catalog::ecEntry,
                                              Engine_catalog::ecPut, Engine_catalog::ecItems,
                                              Engine_catalog::ecSize};
        SendMessageA(List, LVM_SETCOLUMNORDERARRAY, Engine_catalog::ecCount,
                     reinterpret_cast<LPARAM>(Order));
    }
}

int TAppEntriesDialog::ColumnCount() const {
    return FView == vwEntries ? static_cast<int>(Engine_catalog::ecCount)
                              : static_cast<int>(icCount);
}

// The widths the user left, into the settings of the columns shown now.
void TAppEntriesDialog::KeepColumnWidths() {
    const bool Entries = FView == vwEntries;
    int* Kept = Entries ? Settings.ColumnWidths : Settings.ItemColumnWidths;
    const int Count = ColumnCount();
    for (int Column = 0; Column < Count; ++Column)
        Kept[Column] = ToDesignDpi(
            static_cast<int>(SendMessageA(EntriesList(), LVM_GETCOLUMNWIDTH, Column, 0)));
}

// The kept bounds, if any, never smaller than the template; a place that
// lies on no screen any more keeps the centred one.
void TAppEntriesDialog::PlaceFromSettings() {
    if (Settings.Width <= 0 || Settings.Height <= 0)
        return;
    RECT Bounds{
        Settings.Left, Settings.Top,
        Settings.Left + std::max(FromDesignDpi(Settings.Width), static_cast<int>(FMinSize.cx)),
        Settings.Top + std::max(FromDesignDpi(Settings.Height), static_cast<int>(FMinSize.cy))};
    UINT Flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!MonitorFromRect(&Bounds, MONITOR_DEFAULTTONULL))
        Flags |= SWP_NOMOVE;
    SetWindowPos(Handle(), nullptr, Bounds.left, Bounds.top, Bounds.right - Bounds.left,
                 Bounds.bottom - Bounds.top, Flags);
}

// From the top: the search row, the list, the buttons, the status line.
void TAppEntriesDialog::ArrangeControls() {
    RECT Client;
    GetClientRect(Handle(), &Client);
    const int Width = std::max(0, static_cast<int>(Client.right) - 2 * FMargin);
    const auto Place = [this](HWND Control, int Left, int Top, int Width, int Height) {
        SetWindowPos(Control, nullptr, Left, Top, std::max(0, Width), std::max(0, Height),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const int LabelHeight = WindowSize(Item(IDC_ENTRIES_SEARCH_LABEL)).cy;
    Place(Item(IDC_ENTRIES_SEARCH_LABEL), FMargin, FMargin + (FEditHeight - LabelHeight) / 2,
          FLabelWidth, LabelHeight);
    const int EditLeft = FMargin + FLabelWidth + FGap;
    Place(SearchEdit(), EditLeft, FMargin, Client.right - FMargin - EditLeft, FEditHeight);
    const int StatusTop = Client.bottom - FMargin - FStatusHeight;
    const int ButtonTop = StatusTop - FGap - FButtonHeight;
    const int ListTop = FMargin + FEditHeight + FGap;
    Place(EntriesList(), FMargin, ListTop, Width, ButtonTop - FGap - ListTop);
    int Left = FMargin;
    for (const auto& [Id, ButtonWidth] : FButtons) {
        const int At = Id == IDCANCEL ? Client.right - FMargin - ButtonWidth : Left;
        Place(Item(Id), At, ButtonTop, ButtonWidth, FButtonHeight);
        Left += ButtonWidth + FGap;
    }
    Place(Item(IDC_ENTRIES_STATUS), FMargin, StatusTop, Width, FStatusHeight);
    InvalidateRect(Handle(), nullptr, TRUE);
}

// The bin read again: what the listing gives at once, the rest in the
// background.
void TAppEntriesDialog::Refresh() {
    FFiller.reset();
    Engine_catalog::TListing Listing;
    if (OnList) {
        const Gui_application::THourglassCursor Hourglass;
        Listing = OnList();
    }
    FChanged.clear();
    ShowCatalog(std::move(Listing.Catalog));
    StartFiller(Listing);
}

// The selection, and the opened entry, by their paths: a new catalogue may
// hold the entries in another order.
void TAppEntriesDialog::ShowCatalog(Engine_catalog::TCatalog Catalog) {
    const std::vector<std::string> Selected = SelectedKeys();
    const std::string Opened =
        FView == vwOpened ? FCatalog.Entries()[FOpenedEntry].Path : std::string();
    FCatalog = std::move(Catalog);
    if (FView == vwOpened) {
        FOpenedEntry = FCatalog.Find(Opened);
        if (FOpenedEntry >= FCatalog.Entries().size()) {
            FOpenedEntry = 0;
            ShowView(WindowText(SearchEdit()).empty() ? vwEntries : vwSearch, {});
            return;
        }
        ReadNodes(FOpenedEntry);
    }
    FillRows();
    FillList(Selected);
}

// An entry shown from its summary, opened: its record is read now.
void TAppEntriesDialog::ReadNodes(std::size_t Entry) {
    Engine_record::TRecord Record;
    if (FCatalog.HasNodes(Entry) || !OnReadEntry)
        return;
    const Gui_application::THourglassCursor Hourglass;
    if (OnReadEntry(FCatalog.Entries()[Entry], Record))
        FCatalog.SetRecord(
            Entry, Record,
            std::any_of(Record.Puts.begin(), Record.Puts.end(), Engine_record::IsUnfinished));
}

void TAppEntriesDialog::StartFiller(Engine_catalog::TListing& Listing) {
    const HWND Dialog = Handle();
    const auto Ready = [Dialog] { PostMessageA(Dialog, WM_ENTRIES_FILLED, 0, 0); };
    if (Listing.Complete) {
        FFiller =
            std::make_unique<Engine_catalog::TCatalogFiller>(std::move(Listing.Complete), Ready);
        return;
    }
    if (Listing.Unread.empty() || !OnReadEntry)
        return;
    std::vector<std::pair<std::size_t, TCatalogEntry>> Entries;
    for (std::size_t Entry : Listing.Unread)
        Entries.emplace_back(Entry, FCatalog.Entries()[Entry]);
    FFiller =
        std::make_unique<Engine_catalog::TCatalogFiller>(std::move(Entries), OnReadEntry, Ready);
}

// Rows whose figures arrived are drawn again; a search sees their items. A
// whole catalogue takes the place of the one shown.
void TAppEntriesDialog::TakeFilled() {
    if (!FFiller)
        return;
    Engine_catalog::TCatalog Made;
    if (FFiller->TakeCatalog(Made)) {
        ShowCatalog(std::move(Made));
        return;
    }
    const std::vector<Engine_catalog::TCatalogFiller::TRead> Filled = FFiller->Take();
    if (Filled.empty())
        return;
    for (const Engine_catalog::TCatalogFiller::TRead& Read : Filled)
        if (Read.Recorded)
            FCatalog.SetRecord(Read.Entry, Read.Record, false);
    if (FView == vwSearch) {
        const std::vector<std::string> Selected = SelectedKeys();
        FillRows();
        FillList(Selected);
    } else {
        InvalidateRect(EntriesList(), nullptr, FALSE);
        ShowStatus();
    }
}

void TAppEntriesDialog::FillRows() {
    FRows.clear();
    switch (FView) {
    case vwEntries:
        for (std::uint32_t Entry = 0; Entry < FCatalog.Entries().size(); ++Entry)
            FRows.push_back(Entry);
        Engine_catalog::SortEntryRows(FCatalog.Entries(), Settings.SortColumn,
                                      Settings.SortDescending, FRows);
        break;
    case vwSearch:
        FRows = FCatalog.Search(
            Engine_catalog::TSearchPattern(Engine_record::ToRecordText(WindowText(SearchEdit()))));
        break;
    case vwOpened:
        FRows = FCatalog.EntryNodes(FOpenedEntry);
        FoldCommonLevels();
        break;
    }
    if (FView != vwEntries && Settings.ItemSortColumn >= 0)
        Engine_catalog::SortItemRows(FCatalog, Settings.ItemSortColumn, Settings.ItemSortDescending,
                                     FView == vwOpened, FRows);
    if (FView == vwOpened)
        HideCollapsed();
}

// From the drive down, each level that holds nothing but the next level
// on the way to the items is left out; the last of them stands for all,
// named by its whole path.
void TAppEntriesDialog::FoldCommonLevels() {
    FHasChildren.clear();
    std::unordered_map<std::uint32_t, std::size_t> Children;
    std::vector<std::uint32_t> Roots;
    for (const std::uint32_t Node : FRows) {
        const std::uint32_t Parent = FCatalog.Nodes()[Node].Parent;
        if (Parent == Engine_catalog::NoParent)
            Roots.push_back(Node);
        else if (++Children[Parent] == 1)
            FHasChildren.insert(Parent);
    }
    FFolded = Engine_catalog::NoParent;
    FFoldDepth = 0;
    if (Roots.size() != 1)
        return;
    FFolded = Roots.front();
    for (bool Deeper = true; Deeper;) {
        Deeper = false;
        if (FCatalog.Nodes()[FFolded].Item || Children[FFolded] != 1)
            break;
        for (const std::uint32_t Node : FRows)
            if (FCatalog.Nodes()[Node].Parent == FFolded && !FCatalog.Nodes()[Node].Item &&
                FCatalog.Nodes()[Node].Kind == Engine_record::TRecordNode::nkDirectory) {
                FFolded = Node;
                Deeper = true;
                break;
            }
    }
    FFoldDepth = FCatalog.Nodes()[FFolded].Depth;
    FRows.erase(std::remove_if(FRows.begin(), FRows.end(),
                               [this](std::uint32_t Node) {
                                   return FCatalog.Nodes()[Node].Depth < FFoldDepth;
                               }),
                FRows.end());
}

// What lies in a collapsed folder has no row.
void TAppEntriesDialog::HideCollapsed() {
    if (FCollapsed.empty())
        return;
    std::unordered_set<std::uint32_t> Hidden;
    std::vector<std::uint32_t> Shown;
    for (const std::uint32_t Node : FRows) {
        const std::uint32_t Parent = FCatalog.Nodes()[Node].Parent;
        if (Parent != Engine_catalog::NoParent && Hidden.count(Parent)) {
            Hidden.insert(Node);
            continue;
        }
        Shown.push_back(Node);
        if (IsCollapsed(Node))
            Hidden.insert(Node);
    }
    FRows = std::move(Shown);
}

bool TAppEntriesDialog::IsFolder(std::uint32_t Node) const {
    return FHasChildren.count(Node) > 0;
}

bool TAppEntriesDialog::IsCollapsed(std::uint32_t Node) const {
    return !FCollapsed.empty() && IsFolder(Node) &&
           FCollapsed.count(FCatalog.EntryRelativePath(Node)) > 0;
}

// Expands or collapses the folder of Row, which stays selected.
void TAppEntriesDialog::Toggle(int Row, bool Expand) {
    const std::uint32_t Node = FRows[static_cast<std::size_t>(Row)];
    if (!IsFolder(Node) || IsCollapsed(Node) != Expand)
        return;
    const std::string Path = FCatalog.EntryRelativePath(Node);
    if (Expand)
        FCollapsed.erase(Path);
    else
        FCollapsed.insert(Path);
    const std::string Key = RowKey(Row);
    FillRows();
    FillList({Key});
}

// Right opens a folder, Left closes it, or else goes up to the folder
// that holds the row, as in a tree.
bool TAppEntriesDialog::TreeKey(WORD Key) {
    const int Row = ListView_GetNextItem(EntriesList(), -1, LVNI_FOCUSED);
    if (FView != vwOpened || Row < 0 || Row >= RowCount() || (Key != VK_RIGHT && Key != VK_LEFT))
        return false;
    const std::uint32_t Node = FRows[static_cast<std::size_t>(Row)];
    if (Key == VK_RIGHT || (IsFolder(Node) && !IsCollapsed(Node))) {
        Toggle(Row, Key == VK_RIGHT);
        return true;
    }
    const std::uint32_t Parent = FCatalog.Nodes()[Node].Parent;
    for (int Above = Row - 1; Above >= 0; --Above)
        if (FRows[static_cast<std::size_t>(Above)] == Parent) {
            FillList({RowKey(Above)});
            break;
        }
    return true;
}

// A row's identity across a new listing: its entry's path, and the item's
// path below it.
std::string TAppEntriesDialog::RowKey(int Row) const {
    const std::uint32_t Index = FRows[static_cast<std::size_t>(Row)];
    if (FView == vwEntries)
        return FCatalog.Entries()[Index].Path;
    return FCatalog.Entries()[FCatalog.Nodes()[Index].Entry].Path + "|" +
           FCatalog.EntryRelativePath(Index);
}

std::vector<std::string> TAppEntriesDialog::SelectedKeys() const {
    std::vector<std::string> Keys;
    if (!Handle())
        return Keys;
    for (int Row = ListView_GetNextItem(EntriesList(), -1, LVNI_SELECTED);
         Row >= 0 && Row < RowCount();
         Row = ListView_GetNextItem(EntriesList(), Row, LVNI_SELECTED))
        Keys.push_back(RowKey(Row));
    return Keys;
}

void TAppEntriesDialog::FillList(const std::vector<std::string>& Selected) {
    const HWND List = EntriesList();
    const std::set<std::string> Keep(Selected.begin(), Selected.end());
    ListView_SetItemState(List, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(List, static_cast<int>(FRows.size()), 0);
    bool Focused = false;
    if (!Keep.empty())
        for (int Row = 0; Row < RowCount(); ++Row) {
            if (!Keep.count(RowKey(Row)))
                continue;
            ListView_SetItemState(List, Row, LVIS_SELECTED | (Focused ? 0 : LVIS_FOCUSED),
                                  LVIS_SELECTED | LVIS_FOCUSED);
            if (!Focused)
                ListView_EnsureVisible(List, Row, FALSE);
            Focused = true;
        }
    InvalidateRect(List, nullptr, TRUE);
    ShowSortMark();
    ShowStatus();
    UpdateButtons();
}

void TAppEntriesDialog::ShowView(TView View, const std::vector<std::string>& Selected) {
    const bool NewColumns = (View == vwEntries) != (FView == vwEntries);
    if (NewColumns)
        KeepColumnWidths();
    FView = View;
    if (NewColumns)
        CreateColumns();
    ListView_SetImageList(EntriesList(), View == vwEntries ? nullptr : FIcons, LVSIL_SMALL);
    // The caption names the entry that is open.
    const std::string Caption =
        View == vwOpened ? FCatalog.Entries()[FOpenedEntry].Name + " - Entries" : "Entries";
    SetWindowTextW(Handle(), Vek_codepage::ToWide(Caption).c_str());
    FillRows();
    FillList(Selected);
    if (!FRows.empty() && ListView_GetNextItem(EntriesList(), -1, LVNI_FOCUSED) < 0)
        ListView_SetItemState(EntriesList(), 0, LVIS_FOCUSED | LVIS_SELECTED,
                              LVIS_FOCUSED | LVIS_SELECTED);
}

// Times and amounts start with the largest, texts from A.
void TAppEntriesDialog::SortBy(int Column) {
    const bool Entries = FView == vwEntries;
    if (Column < 0 || Column >= ColumnCount())
        return;
    int& Sorted = Entries ? Settings.SortColumn : Settings.ItemSortColumn;
    bool& Descending = Entries ? Settings.SortDescending : Settings.ItemSortDescending;
    if (Column == Sorted) {
        Descending = !Descending;
    } else {
        Sorted = Column;
        Descending = Entries
                         ? Column == Engine_catalog::ecPut || Column == Engine_catalog::ecItems ||
                               Column == Engine_catalog::ecSize
                         : Column == icPut || Column == icSize;
    }
    const std::vector<std::string> Selected = SelectedKeys();
    FillRows();
    FillList(Selected);
}

std::string TAppEntriesDialog::CellText(int Row, int Column) const {
    if (Row < 0 || Row >= RowCount())
        return std::string();
    const std::uint32_t Index = FRows[static_cast<std::size_t>(Row)];
    return FView == vwEntries ? EntryCellText(FCatalog.Entries()[Index], Column)
                              : ItemCellText(Index, Column);
}

std::string TAppEntriesDialog::EntryCellText(const TCatalogEntry& Entry, int Column) const {
    if (Column == Engine_catalog::ecEntry)
        return Entry.Name;
    if (Column == Engine_catalog::ecPut)
        return Vek_locale::LocalTimeText(Entry.Created);
    if (!Entry.Known)
        return Pending();
    switch (Column) {
    case Engine_catalog::ecItems:
        return Vek_string::GroupDigits(Entry.Items, FNumberFormat);
    case Engine_catalog::ecSize:
        // A put still listing what its directories hold.
        if (Entry.Listing)
            return "Counting" + Pending();
        return Vek_string::SizeText(Entry.Bytes, FNumberFormat);
    default: {
        std::string From = Engine_record::FromRecordText(Entry.FirstItem);
        if (Entry.MoreItems > 0)
            From += " and " + std::to_string(Entry.MoreItems) + " more";
        // The mark of an entry whose put was cut short: the user decides
        // what becomes of it.
        if (Entry.Unfinished)
            return "Did not finish" + (From.empty() ? std::string() : ": " + From);
        return From;
    }
    }
}

std::string TAppEntriesDialog::ItemCellText(std::uint32_t Index, int Column) const {
    const TCatalogNode& Node = FCatalog.Nodes()[Index];
    const TCatalogEntry& Entry = FCatalog.Entries()[Node.Entry];
    switch (Column) {
    // An opened entry's levels are indented by the list (LVIF_INDENT).
    case icName:
        if (FView == vwOpened && Index == FFolded && Node.Parent != Engine_catalog::NoParent)
            return Engine_record::FromRecordText(FCatalog.OriginalPath(Index));
        return Engine_record::FromRecordText(std::string(FCatalog.Name(Index))) +
               (Node.Parent == Engine_catalog::NoParent ? ":" : "");
    case icPlace:
        return Engine_record::FromRecordText(FCatalog.OriginalPlace(Index));
    case icEntry:
        return Entry.Name;
    case icPut:
        return Vek_locale::LocalTimeText(Entry.Created);
    default:
        return Node.Kind == Engine_record::TRecordNode::nkLink
                   ? std::string()
                   : Vek_string::SizeText(Node.Size, FNumberFormat);
    }
}

// The shell's icon for the kind of name, asked by the name alone, never of
// the disk: one for directories and drives, one for each file extension.
int TAppEntriesDialog::IconOf(std::uint32_t Node) const {
    if (!FIcons)
        return -1;
    const bool Directory = FCatalog.Nodes()[Node].Kind != Engine_record::TRecordNode::nkFile;
    // An opened folder of the tree shows the open folder.
    const bool Open = FView == vwOpened && IsFolder(Node) && !IsCollapsed(Node);
    const std::string_view Name = FCatalog.FoldedName(Node);
    const std::size_t Dot = Name.rfind('.');
    const std::string Kind = Directory                       ? std::string(Open ? "\\+" : "\\")
                             : Dot == std::string_view::npos ? std::string()
                                                             : std::string(Name.substr(Dot));
    const auto Known = FIconOfKind.find(Kind);
    if (Known != FIconOfKind.end())
        return Known->second;
    SHFILEINFOW Info{};
    const std::wstring Asked =
        Directory ? std::wstring(L"folder")
                  : L"file" + Vek_codepage::ToWide(Engine_record::FromRecordText(Kind));
    SHGetFileInfoW(Asked.c_str(), Directory ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL,
                   &Info, sizeof Info,
                   SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES |
                       (Open ? SHGFI_OPENICON : 0));
    return FIconOfKind[Kind] = Info.iIcon;
}

void TAppEntriesDialog::ShowSortMark() {
    const bool Entries = FView == vwEntries;
    Gui_listview::ShowSortMark(EntriesList(),
                               Entries ? Settings.SortColumn : Settings.ItemSortColumn,
                               Entries ? Settings.SortDescending : Settings.ItemSortDescending);
}

// The commands of the buttons, on the selected rows.
void TAppEntriesDialog::ContextMenu(LPARAM Point) {
    const bool Any = ListView_GetSelectedCount(EntriesList()) > 0;
    const int Chosen =
        Gui_listview::TrackContextMenu(Handle(), EntriesList(), Point,
                                       {{IDC_ENTRIES_TAKE_BACK, "&Take Back", Any},
                                        {IDC_ENTRIES_TAKE_BACK_TO, "Take Back T&o...", Any},
                                        {IDC_ENTRIES_EXPLORE, "Open &Location", Any},
                                        {IDC_ENTRIES_DISCARD, "&Discard...", Any}});
    if (Chosen != 0)
        Command(Chosen, BN_CLICKED, nullptr);
}

void TAppEntriesDialog::ShowStatus() {
    std::string Text;
    if (FCatalog.Entries().empty())
        Text = "The bin is empty.";
    else
        Text = Engine_catalog::TotalsText(FCatalog.Totals(), FNumberFormat);
    // A search before the background has read every entry finds less.
    if (FView == vwSearch)
        Text = Vek_string::GroupDigits(FRows.size(), FNumberFormat) +
               (Complete() ? " found; " : " found so far; ") + Text;
    SetWindowTextA(Item(IDC_ENTRIES_STATUS), Text.c_str());
}

void TAppEntriesDialog::UpdateButtons() {
    const bool Any = ListView_GetSelectedCount(EntriesList()) > 0;
    for (int Id : {IDC_ENTRIES_TAKE_BACK, IDC_ENTRIES_TAKE_BACK_TO, IDC_ENTRIES_EXPLORE})
        EnableWindow(Item(Id), Any);
    EnableWindow(Item(IDC_ENTRIES_DISCARD), Any);
    EnableWindow(Item(IDC_ENTRIES_BACK), FView != vwEntries);
}

std::vector<Engine_takeback::TTakeBackSelection> TAppEntriesDialog::SelectedItems() const {
    std::vector<Engine_takeback::TTakeBackSelection> Selections;
    std::map<std::uint32_t, std::size_t> OfEntry;
    if (!Handle())
        return Selections;
    for (int Row = ListView_GetNextItem(EntriesList(), -1, LVNI_SELECTED);
         Row >= 0 && Row < RowCount();
         Row = ListView_GetNextItem(EntriesList(), Row, LVNI_SELECTED)) {
        const std::uint32_t Index = FRows[static_cast<std::size_t>(Row)];
        if (FView == vwEntries) {
            Selections.push_back({FCatalog.Entries()[Index].Path, {}});
            continue;
        }
        const std::uint32_t Entry = FCatalog.Nodes()[Index].Entry;
        const auto Known = OfEntry.emplace(Entry, Selections.size());
        if (Known.second)
            Selections.push_back({FCatalog.Entries()[Entry].Path, {}});
        Selections[Known.first->second].Items.push_back(
            Engine_record::FromRecordText(FCatalog.EntryRelativePath(Index)));
    }
    return Selections;
}

std::vector<std::string> TAppEntriesDialog::SelectedPaths() const {
    std::vector<std::string> Paths;
    for (const Engine_takeback::TTakeBackSelection& Selection : SelectedItems())
        Paths.push_back(Selection.EntryPath);
    return Paths;
}

void TAppEntriesDialog::OpenFocused() {
    const int Focused = ListView_GetNextItem(EntriesList(), -1, LVNI_FOCUSED);
    if (FView != vwEntries || Focused < 0 || Focused >= RowCount())
        return;
    FOpenedEntry = FRows[static_cast<std::size_t>(Focused)];
    FCollapsed.clear();
    ReadNodes(FOpenedEntry);
    ShowView(vwOpened, {});
}

// Up one step: from an opened entry to the list it was opened from (a
// search's results, when a search is typed), from a search to the entries.
void TAppEntriesDialog::Back() {
    if (FView == vwEntries)
        return;
    if (FView == vwOpened && !WindowText(SearchEdit()).empty()) {
        ShowView(vwSearch, {});
        return;
    }
    const std::string Opened =
        FView == vwOpened ? FCatalog.Entries()[FOpenedEntry].Path : std::string();
    if (FView == vwSearch)
        SetWindowTextA(SearchEdit(), "");
    ShowView(vwEntries, Opened.empty() ? std::vector<std::string>() : std::vector{Opened});
}

// Each keystroke: the results of what the box holds now, or the entries
// again once it is empty.
void TAppEntriesDialog::Search() {
    const bool Empty = WindowText(SearchEdit()).empty();
    if (Empty && FView == vwSearch)
        ShowView(vwEntries, {});
    else if (!Empty)
        ShowView(vwSearch, {});
}

// Whatever the command did, the list shows the bin as it is now, with the
// focus and the selection where they were; a failure is then reported by
// the top level and the dialog stays. The background reader stops first:
// nothing else writes a record while a command runs.
void TAppEntriesDialog::RunCommand(const std::function<void()>& Command) {
    FFiller.reset();
    FChanged.clear();
    for (const Engine_takeback::TTakeBackSelection& Selection : SelectedItems())
        FChanged.push_back(Selection.EntryPath);
    try {
        const Gui_application::THourglassCursor Hourglass;
        Command();
    } catch (...) {
        Refresh();
        FocusControl(EntriesList());
        throw;
    }
    Refresh();
    FocusControl(EntriesList());
}

void TAppEntriesDialog::TakeBackClick() {
    const std::vector<Engine_takeback::TTakeBackSelection> Selections = SelectedItems();
    if (Selections.empty() || !OnTakeBack)
        return;
    RunCommand([this, &Selections] { OnTakeBack(Selections); });
}

void TAppEntriesDialog::TakeBackToClick() {
    const std::vector<Engine_takeback::TTakeBackSelection> Selections = SelectedItems();
    if (Selections.empty() || !OnTakeBackTo)
        return;
    RunCommand([this, &Selections] { OnTakeBackTo(Selections); });
}

// The row under the focus, else the first selected one: an entry opens in
// Explorer, an item's folder in its entry opens with the item selected.
void TAppEntriesDialog::ExploreClick() {
    int Row = ListView_GetNextItem(EntriesList(), -1, LVNI_FOCUSED | LVNI_SELECTED);
    if (Row < 0 || Row >= RowCount())
        Row = ListView_GetNextItem(EntriesList(), -1, LVNI_SELECTED);
    if (Row < 0 || Row >= RowCount())
        return;
    const std::uint32_t Index = FRows[static_cast<std::size_t>(Row)];
    const Gui_application::THourglassCursor Hourglass;
    if (FView == vwEntries) {
        if (OnExplore)
            OnExplore({FCatalog.Entries()[Index].Path});
        return;
    }
    const std::string Entry = FCatalog.Entries()[FCatalog.Nodes()[Index].Entry].Path;
    if (OnOpenLocation)
        OnOpenLocation(Entry + "\\" +
                       Engine_record::FromRecordText(FCatalog.EntryRelativePath(Index)));
}

// Whole entries from the entries, single items otherwise.
void TAppEntriesDialog::DiscardClick() {
    if (FView != vwEntries) {
        const std::vector<Engine_takeback::TTakeBackSelection> Selections = SelectedItems();
        if (Selections.empty() || !OnDiscardItems)
            return;
        RunCommand([this, &Selections] { OnDiscardItems(Selections); });
        return;
    }
    const std::vector<std::string> Paths = SelectedPaths();
    if (Paths.empty() || !OnDiscard)
        return;
    RunCommand([this, &Paths] { OnDiscard(Paths); });
}

void TAppEntriesDialog::Command(int Id, int Code, HWND Control) {
    if (Id == IDC_ENTRIES_SEARCH && Code == EN_CHANGE) {
        Search();
        return;
    }
    if (Code != BN_CLICKED) {
        TDialog::Command(Id, Code, Control);
        return;
    }
    switch (Id) {
    case IDC_ENTRIES_BACK:
        Back();
        FocusControl(EntriesList());
        break;
    case IDC_ENTRIES_TAKE_BACK:
        TakeBackClick();
        break;
    case IDC_ENTRIES_TAKE_BACK_TO:
        TakeBackToClick();
        break;
    // Enter, with no default button: in the search box it goes to the
    // results, on an entry it opens it, on an item it explores its entry.
    case IDOK:
        if (GetFocus() == SearchEdit())
            FocusControl(EntriesList());
        else if (FView == vwEntries)
            OpenFocused();
        else
            ExploreClick();
        break;
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

LRESULT CALLBACK TAppEntriesDialog::KeyProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam,
                                            UINT_PTR, DWORD_PTR Data) {
    LRESULT Result = 0;
    // Exceptions never cross into Windows: the top level reports them.
    try {
        if (reinterpret_cast<TAppEntriesDialog*>(Data)->Key(Window, Message, WParam, LParam,
                                                            Result))
            return Result;
    } catch (...) {
        Application().HandleException(std::current_exception());
        return 0;
    }
    if (Message == WM_NCDESTROY)
        RemoveWindowSubclass(Window, KeyProc, KeySubclassId);
    return DefSubclassProc(Window, Message, WParam, LParam);
}

// The keys of the whole dialog, whichever control has the focus: Ctrl+F
// goes to the search box, F5 reads the bin again; in the list, typing goes
// to the search box, Backspace and Escape go up, Ctrl+A selects every row,
// Shift+F10 and the menu key bring the context menu; Escape in the search
// box clears a search before it closes.
bool TAppEntriesDialog::Key(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam,
                            LRESULT& Result) {
    const bool Ctrl = GetKeyState(VK_CONTROL) < 0;
    const bool InList = Control == EntriesList();
    const bool InSearch = Control == SearchEdit();
    if (Message == WM_KEYDOWN && WParam == 'F' && Ctrl) {
        FocusControl(SearchEdit());
        return true;
    }
    if ((Message == WM_KEYDOWN || Message == WM_SYSKEYDOWN) &&
        Gui_listview::KeyOf(WParam) == Gui_listview::TListKey::lkRefresh) {
        Refresh();
        return true;
    }
    if (InList && (Message == WM_KEYDOWN || Message == WM_SYSKEYDOWN)) {
        switch (Gui_listview::KeyOf(WParam)) {
        case Gui_listview::TListKey::lkSelectAll:
            Gui_listview::SelectAll(EntriesList());
            return true;
        case Gui_listview::TListKey::lkContextMenu:
            ContextMenu(-1);
            return true;
        default:
            break;
        }
    }
    // The key's release would bring the menu a second time.
    if (InList && (Message == WM_KEYUP || Message == WM_SYSKEYUP) &&
        Gui_listview::KeyOf(WParam) == Gui_listview::TListKey::lkContextMenu)
        return true;
    if (InList && Message == WM_KEYDOWN && (WParam == VK_BACK || WParam == VK_ESCAPE) &&
        FView != vwEntries) {
        Back();
        return true;
    }
    // Escape in an opened entry or a search goes up, and only on the
    // entries closes the dialog.
    if (InList && Message == WM_GETDLGCODE && LParam && FView != vwEntries) {
        const MSG& Pending = *reinterpret_cast<const MSG*>(LParam);
        if (Pending.message == WM_KEYDOWN && Pending.wParam == VK_ESCAPE) {
            Result = DefSubclassProc(Control, Message, WParam, LParam) | DLGC_WANTMESSAGE;
            return true;
        }
    }
    if (InList && Message == WM_CHAR && WParam >= L' ' && WParam != 0x7F && !Ctrl) {
        SetFocus(SearchEdit());
        const int End = GetWindowTextLengthA(SearchEdit());
        SendMessageA(SearchEdit(), EM_SETSEL, End, End);
        SendMessageA(SearchEdit(), WM_CHAR, WParam, LParam);
        return true;
    }
    if (InSearch && Message == WM_GETDLGCODE && LParam) {
        const MSG& Pending = *reinterpret_cast<const MSG*>(LParam);
        if (Pending.message == WM_KEYDOWN && Pending.wParam == VK_ESCAPE &&
            GetWindowTextLengthA(SearchEdit()) > 0) {
            Result = DefSubclassProc(Control, Message, WParam, LParam) | DLGC_WANTMESSAGE;
            return true;
        }
    }
    if (InSearch && Message == WM_KEYDOWN && WParam == VK_ESCAPE) {
        SetWindowTextA(SearchEdit(), "");
        return true;
    }
    if (InSearch && Message == WM_KEYDOWN && WParam == VK_DOWN) {
        FocusControl(EntriesList());
        return true;
    }
    return false;
}

bool TAppEntriesDialog::Notify(const NMHDR& Header) {
    if (Header.idFrom != IDC_ENTRIES_LIST)
        return false;
    switch (Header.code) {
    case LVN_GETDISPINFOA: {
        LVITEMA& Item =
            const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(Header)).item;
        if (Item.mask & LVIF_TEXT) {
            FCellBuffer = CellText(Item.iItem, Item.iSubItem);
            lstrcpynA(Item.pszText, FCellBuffer.c_str(), Item.cchTextMax);
        }
        // The opened entry's tree: each level one icon's width further in.
        if ((Item.mask & LVIF_INDENT) && Item.iSubItem == 0 && FView == vwOpened &&
            Item.iItem >= 0 && Item.iItem < RowCount())
            Item.iIndent = static_cast<int>(
                FCatalog.Nodes()[FRows[static_cast<std::size_t>(Item.iItem)]].Depth - FFoldDepth);
        if ((Item.mask & LVIF_IMAGE) && Item.iSubItem == 0)
            Item.iImage = FView == vwEntries || Item.iItem < 0 || Item.iItem >= RowCount()
                              ? -1
                              : IconOf(FRows[static_cast<std::size_t>(Item.iItem)]);
        return true;
    }
    case LVN_COLUMNCLICK:
        SortBy(reinterpret_cast<const NMLISTVIEW&>(Header).iSubItem);
        return true;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED:
        UpdateButtons();
        return true;
    case NM_CLICK: {
        // A click on a folder's icon opens or closes it.
        const NMITEMACTIVATE& Click = reinterpret_cast<const NMITEMACTIVATE&>(Header);
        LVHITTESTINFO Hit{};
        Hit.pt = Click.ptAction;
        if (FView == vwOpened && ListView_SubItemHitTest(EntriesList(), &Hit) >= 0 &&
            Hit.iSubItem == 0 && (Hit.flags & LVHT_ONITEMICON) && Hit.iItem < RowCount())
            Toggle(Hit.iItem, IsCollapsed(FRows[static_cast<std::size_t>(Hit.iItem)]));
        return true;
    }
    case NM_DBLCLK: {
        const int Row = reinterpret_cast<const NMITEMACTIVATE&>(Header).iItem;
        if (Row < 0 || Row >= RowCount())
            return true;
        if (FView == vwEntries)
            OpenFocused();
        else if (FView == vwOpened && IsFolder(FRows[static_cast<std::size_t>(Row)]))
            Toggle(Row, IsCollapsed(FRows[static_cast<std::size_t>(Row)]));
        else
            ExploreClick();
        return true;
    }
    case LVN_KEYDOWN: {
        const WORD Key = reinterpret_cast<const NMLVKEYDOWN&>(Header).wVKey;
        if (Key == VK_DELETE) {
            DiscardClick();
            return true;
        }
        return TreeKey(Key);
    }
    default:
        return false;
    }
}

// Sizes are kept as they measure at 96 dpi, so that a layout kept on one
// screen comes back alike on a screen of another resolution.
int TAppEntriesDialog::ToDesignDpi(int Pixels) const {
    return Dpi() > 0 ? MulDiv(Pixels, Gui_dpi::DefaultDpi, Dpi()) : Pixels;
}

int TAppEntriesDialog::FromDesignDpi(int Pixels) const {
    return Dpi() > 0 ? MulDiv(Pixels, Dpi(), Gui_dpi::DefaultDpi) : Pixels;
}

void TAppEntriesDialog::KeepSettings() {
    RECT Bounds;
    GetWindowRect(Handle(), &Bounds);
    Settings.Left = Bounds.left;
    Settings.Top = Bounds.top;
    Settings.Width = ToDesignDpi(Bounds.right - Bounds.left);
    Settings.Height = ToDesignDpi(Bounds.bottom - Bounds.top);
    KeepColumnWidths();
}

// The system scales the dialog, its font and its controls; the layout's own
// measures and the columns' widths follow the same way.
void TAppEntriesDialog::ScaleLayout(int OldDpi, int NewDpi) {
    const auto Rescale = [OldDpi, NewDpi](LONG Size) {
        return static_cast<int>(MulDiv(Size, NewDpi, OldDpi));
    };
    FMargin = Rescale(FMargin);
    FGap = Rescale(FGap);
    FButtonHeight = Rescale(FButtonHeight);
    FEditHeight = Rescale(FEditHeight);
    FStatusHeight = Rescale(FStatusHeight);
    FLabelWidth = Rescale(FLabelWidth);
    for (auto& Button : FButtons)
        Button.second = Rescale(Button.second);
    FMinSize = SIZE{Rescale(FMinSize.cx), Rescale(FMinSize.cy)};
    const int Count = ColumnCount();
    for (int Column = 0; Column < Count; ++Column) {
        const auto Width =
            static_cast<LONG>(SendMessageA(EntriesList(), LVM_GETCOLUMNWIDTH, Column, 0));
        SendMessageA(EntriesList(), LVM_SETCOLUMNWIDTH, Column, Rescale(Width));
    }
}

INT_PTR TAppEntriesDialog::DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    // FALSE: the list keeps the focus that InitDialog gave it, rather than
    // the first control in the Tab order, the search box.
    case WM_INITDIALOG:
        TDialog::DialogProc(Message, WParam, LParam);
        return FALSE;
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
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(WParam) != EntriesList())
            break;
        ContextMenu(LParam);
        return TRUE;
    case WM_ENTRIES_FILLED:
        TakeFilled();
        return TRUE;
    case WM_DESTROY:
        FFiller.reset();
        KeepSettings();
        break;
    }
    return TDialog::DialogProc(Message, WParam, LParam);
}

} // namespace App_entriesdialog
