#include "App_cleanupdialog.h"

#include "app/App_bin.h"
#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "gui/Gui_listview.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_locale.h"

#include <commctrl.h>

#include <algorithm>

namespace App_cleanupdialog {

using Engine_cleanup::TCleanUpEntry;
using Engine_cleanup::TCleanUpRules;
using Gui_application::Application;

namespace {

struct TColumn {
    const char* Caption;
    int Width;
    int Format;
};
enum { ccEntry, ccPut, ccSize, ccFrom, ColumnCount };
// Design widths in dialog units; From takes what the list has left.
const TColumn Columns[ColumnCount] = {{"Entry", 50, LVCFMT_LEFT},
                                      {"Put", 72, LVCFMT_LEFT},
                                      {"Size", 40, LVCFMT_RIGHT},
                                      {"From", 0, LVCFMT_LEFT}};

std::string FromText(const TCleanUpEntry& Entry) {
    std::string From = Engine_record::FromRecordText(Entry.FirstItem);
    if (Entry.MoreItems > 0)
        From += " and " + std::to_string(Entry.MoreItems) + " more";
    return From;
}

std::string CellText(const TCleanUpEntry& Entry, int Column) {
    switch (Column) {
    case ccPut:
        return Vek_locale::LocalTimeText(Entry.Put);
    case ccSize:
        return Vek_locale::SizeText(Entry.Size);
    case ccFrom:
        return FromText(Entry);
    default:
        return Entry.Name;
    }
}

// Whether A goes before B in Column, smallest first; equal ones keep the
// order in which they would go.
bool Before(const TCleanUpEntry& A, const TCleanUpEntry& B, int Column) {
    switch (Column) {
    case ccPut:
        return A.Put < B.Put;
    case ccSize:
        return A.Size < B.Size;
    case ccFrom:
        return lstrcmpiA(A.FirstItem.c_str(), B.FirstItem.c_str()) < 0;
    default:
        return lstrcmpiA(A.Name.c_str(), B.Name.c_str()) < 0;
    }
}

// The range in the unit the box is typed in.
std::string RangeMessage(const char* Unit, std::int32_t Min, std::int32_t Max) {
    return std::string("Specify a number of ") + Unit + " between " + std::to_string(Min) +
           " and " + std::to_string(Max) + ".";
}

} // namespace

TAppCleanUpDialog::TAppCleanUpDialog() : TDialog(IDD_CLEANUP) {}

void TAppCleanUpDialog::Execute() {
    const Gui_application::TOrdinaryCursor NormalCursor;
    ShowModal();
}

void TAppCleanUpDialog::InitDialog() {
    SendMessageA(PreviewList(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP);
    CreateColumns();
    Gui_listview::SendContextMenuOnMenuKey(PreviewList());
    WriteControls(Rules);
    Refresh();
}

void TAppCleanUpDialog::CreateColumns() {
    RECT Client;
    GetClientRect(PreviewList(), &Client);
    int Rest = Client.right - GetSystemMetrics(SM_CXVSCROLL);
    int Widths[ColumnCount];
    for (int Column = 0; Column < ColumnCount; ++Column) {
        RECT Width{Columns[Column].Width, 0, 0, 0};
        MapDialogRect(Handle(), &Width);
        Widths[Column] = Width.left;
        Rest -= Width.left;
    }
    Widths[ccFrom] = std::max(Rest, Widths[ccEntry]);
    for (int Column = 0; Column < ColumnCount; ++Column) {
        LVCOLUMNA Info{};
        Info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        Info.fmt = Columns[Column].Format;
        Info.cx = Widths[Column];
        Info.pszText = const_cast<char*>(Columns[Column].Caption);
        Info.iSubItem = Column;
        SendMessageA(PreviewList(), LVM_INSERTCOLUMNA, Column, reinterpret_cast<LPARAM>(&Info));
    }
    // Each entry leads with what was put, as in Entries.
    int Order[ColumnCount] = {ccFrom, ccEntry, ccPut, ccSize};
    SendMessageA(PreviewList(), LVM_SETCOLUMNORDERARRAY, ColumnCount,
                 reinterpret_cast<LPARAM>(Order));
}

void TAppCleanUpDialog::WriteControls(const TCleanUpRules& Value) {
    FWriting = true;
    CheckDlgButton(Handle(), IDC_CLEANUP_BY_AGE, Value.ByAge ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(Handle(), IDC_CLEANUP_DAYS, std::to_string(Value.Days).c_str());
    CheckDlgButton(Handle(), IDC_CLEANUP_BY_SIZE, Value.BySize ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(Handle(), IDC_CLEANUP_MEGABYTES, std::to_string(Value.Megabytes).c_str());
    CheckDlgButton(Handle(), IDC_CLEANUP_AT_START, Value.AtStart ? BST_CHECKED : BST_UNCHECKED);
    FWriting = false;
}

bool TAppCleanUpDialog::Checked(int Id) const {
    return IsDlgButtonChecked(Handle(), Id) == BST_CHECKED;
}

bool TAppCleanUpDialog::ReadNumber(int Id, std::int32_t Min, std::int32_t Max,
                                   std::int32_t& Value) const {
    const HWND Box = Item(Id);
    std::string Text(static_cast<std::size_t>(GetWindowTextLengthA(Box)) + 1, '\0');
    Text.resize(
        static_cast<std::size_t>(GetWindowTextA(Box, &Text[0], static_cast<int>(Text.size()))));
    return Base_system::TryStrToInt(Text, Value) && Value >= Min && Value <= Max;
}

// As the properties dialog does it: the focus goes to the box, the failure
// is the top level's to tell, and the dialog stays.
void TAppCleanUpDialog::FailAt(int Id, const std::string& Message) {
    if (IsWindowEnabled(Item(Id)))
        SendMessageA(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(Id)), TRUE);
    throw Base_system::Exception(Message);
}

std::int32_t TAppCleanUpDialog::CheckedNumber(int Id, const char* Unit, std::int32_t Min,
                                              std::int32_t Max) {
    std::int32_t Value = 0;
    if (!ReadNumber(Id, Min, Max, Value))
        FailAt(Id, RangeMessage(Unit, Min, Max));
    return Value;
}

// A rule that is off keeps its last valid number, whatever its box holds.
TCleanUpRules TAppCleanUpDialog::ReadControls() {
    TCleanUpRules Result = Rules;
    Result.ByAge = Checked(IDC_CLEANUP_BY_AGE);
    if (Result.ByAge)
        Result.Days = CheckedNumber(IDC_CLEANUP_DAYS, "days", Engine_cleanup::MinDays,
                                    Engine_cleanup::MaxDays);
    Result.BySize = Checked(IDC_CLEANUP_BY_SIZE);
    if (Result.BySize)
        Result.Megabytes = CheckedNumber(IDC_CLEANUP_MEGABYTES, "MB", Engine_cleanup::MinMegabytes,
                                         Engine_cleanup::MaxMegabytes);
    Result.AtStart = Checked(IDC_CLEANUP_AT_START);
    return Result;
}

TCleanUpRules TAppCleanUpDialog::PreviewRules() const {
    TCleanUpRules Result = Rules;
    Result.ByAge =
        Checked(IDC_CLEANUP_BY_AGE) &&
        ReadNumber(IDC_CLEANUP_DAYS, Engine_cleanup::MinDays, Engine_cleanup::MaxDays, Result.Days);
    Result.BySize = Checked(IDC_CLEANUP_BY_SIZE) &&
                    ReadNumber(IDC_CLEANUP_MEGABYTES, Engine_cleanup::MinMegabytes,
                               Engine_cleanup::MaxMegabytes, Result.Megabytes);
    return Result;
}

std::uint64_t TAppCleanUpDialog::Now() const {
    return OnNow ? OnNow() : Engine_record::CurrentTime();
}

void TAppCleanUpDialog::Refresh() {
    FEntries = OnList ? OnList() : std::vector<TCleanUpEntry>();
    UpdatePreview();
}

void TAppCleanUpDialog::UpdatePreview() {
    FPreview = Engine_cleanup::ChooseEntries(FEntries, PreviewRules(), Now());
    const int Column = List.SortColumn;
    if (Column >= 0 && Column < ColumnCount)
        std::stable_sort(FPreview.begin(), FPreview.end(),
                         [Column, this](const TCleanUpEntry& A, const TCleanUpEntry& B) {
                             return List.SortDescending ? Before(B, A, Column)
                                                        : Before(A, B, Column);
                         });
    Gui_listview::ShowSortMark(PreviewList(), Column, List.SortDescending);
    const HWND Preview = PreviewList();
    SendMessageA(Preview, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(Preview);
    for (std::size_t Row = 0; Row < FPreview.size(); ++Row) {
        for (int Column = 0; Column < ColumnCount; ++Column) {
            std::string Text = CellText(FPreview[Row], Column);
            LVITEMA Cell{};
            Cell.mask = LVIF_TEXT;
            Cell.iItem = static_cast<int>(Row);
            Cell.iSubItem = Column;
            Cell.pszText = &Text[0];
            SendMessageA(Preview, Column == 0 ? LVM_INSERTITEMA : LVM_SETITEMTEXTA, Row,
                         reinterpret_cast<LPARAM>(&Cell));
        }
    }
    SendMessageA(Preview, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Preview, nullptr, TRUE);
    SetDlgItemTextA(Handle(), IDC_CLEANUP_TOTAL,
                    Engine_cleanup::FreedText(FPreview.size(), Engine_cleanup::TotalSize(FPreview),
                                              Vek_locale::NumberFormat())
                        .c_str());
    UpdateControls();
}

void TAppCleanUpDialog::UpdateControls() {
    EnableWindow(Item(IDC_CLEANUP_DAYS), Checked(IDC_CLEANUP_BY_AGE));
    EnableWindow(Item(IDC_CLEANUP_MEGABYTES), Checked(IDC_CLEANUP_BY_SIZE));
    EnableWindow(Item(IDC_CLEANUP_CLEAN_UP), !FPreview.empty());
    EnableWindow(Item(IDC_CLEANUP_EMPTY_BIN), !FEntries.empty());
    // A button that has just gone grey (Clean Up, Empty Bin...) would keep
    // the focus where no key reaches; Close takes it.
    const HWND Focus = GetFocus();
    if (IsWindowVisible(Handle()) && (!Focus || !IsWindowEnabled(Focus)))
        FocusControl(Item(IDOK));
}

// Whatever the command did, the preview shows the bin as it is now, with
// the entries still in it selected as before; a failure is then reported
// by the top level and the dialog stays.
void TAppCleanUpDialog::RunCommand(const std::function<void()>& Command) {
    const std::vector<std::string> Selected = SelectedPaths();
    try {
        const Gui_application::THourglassCursor Hourglass;
        Command();
    } catch (...) {
        Refresh();
        Select(Selected);
        throw;
    }
    Refresh();
    Select(Selected);
}

void TAppCleanUpDialog::Discard(const std::vector<std::string>& Paths) {
    if (Paths.empty() || !OnDiscard)
        return;
    RunCommand([this, &Paths] { OnDiscard(Paths); });
}

std::vector<std::string> TAppCleanUpDialog::SelectedPaths() const {
    std::vector<std::string> Paths;
    for (int Row = ListView_GetNextItem(PreviewList(), -1, LVNI_SELECTED);
         Row >= 0 && static_cast<std::size_t>(Row) < FPreview.size();
         Row = ListView_GetNextItem(PreviewList(), Row, LVNI_SELECTED))
        Paths.push_back(FPreview[static_cast<std::size_t>(Row)].Path);
    return Paths;
}

void TAppCleanUpDialog::Select(const std::vector<std::string>& Paths) {
    bool Focused = false;
    for (std::size_t Row = 0; Row < FPreview.size(); ++Row) {
        if (std::find(Paths.begin(), Paths.end(), FPreview[Row].Path) == Paths.end())
            continue;
        const UINT State = LVIS_SELECTED | (Focused ? 0 : LVIS_FOCUSED);
        ListView_SetItemState(PreviewList(), static_cast<int>(Row), State, State);
        Focused = true;
    }
}

void TAppCleanUpDialog::OpenLocationClick() {
    int Row = ListView_GetNextItem(PreviewList(), -1, LVNI_FOCUSED | LVNI_SELECTED);
    if (Row < 0)
        Row = ListView_GetNextItem(PreviewList(), -1, LVNI_SELECTED);
    if (Row < 0 || static_cast<std::size_t>(Row) >= FPreview.size() || !OnOpenLocation)
        return;
    const TCleanUpEntry& Entry = FPreview[static_cast<std::size_t>(Row)];
    const Gui_application::THourglassCursor Hourglass;
    OnOpenLocation(Entry.FirstItem.empty()
                       ? Entry.Path
                       : App_bin::BuildDestinationPaths(
                             Entry.Path + "\\", {Engine_record::FromRecordText(Entry.FirstItem)})
                             .front());
}

// The commands of the Entries list, on the selected entries.
void TAppCleanUpDialog::ContextMenu(LPARAM Point) {
    const bool Any = ListView_GetSelectedCount(PreviewList()) > 0;
    const int Chosen =
        Gui_listview::TrackContextMenu(Handle(), PreviewList(), Point,
                                       {{IDM_CLEANUP_TAKE_BACK, "&Take Back", Any},
                                        {IDM_CLEANUP_TAKE_BACK_TO, "Take Back T&o...", Any},
                                        {IDM_CLEANUP_OPEN_LOCATION, "Open &Location", Any},
                                        {IDM_CLEANUP_DISCARD, "&Discard...", Any}});
    if (Chosen != 0)
        Command(Chosen, BN_CLICKED, nullptr);
}

// A command of the context menu (or Delete) on the selected entries.
void TAppCleanUpDialog::SelectionCommand(int Id) {
    const std::vector<std::string> Paths = SelectedPaths();
    if (Paths.empty())
        return;
    if (Id == IDM_CLEANUP_TAKE_BACK && OnTakeBack)
        RunCommand([this, &Paths] { OnTakeBack(Paths); });
    else if (Id == IDM_CLEANUP_TAKE_BACK_TO && OnTakeBackTo)
        RunCommand([this, &Paths] { OnTakeBackTo(Paths, Handle()); });
    else if (Id == IDM_CLEANUP_OPEN_LOCATION)
        OpenLocationClick();
    else if (Id == IDM_CLEANUP_DISCARD && OnDiscardChosen)
        RunCommand([this, &Paths] { OnDiscardChosen(Paths); });
}

// Exactly what the preview lists: the rules are checked first, so that a
// number out of range is refused rather than passed over.
void TAppCleanUpDialog::CleanUpClick() {
    Rules = ReadControls();
    std::vector<std::string> Paths;
    for (const TCleanUpEntry& Entry : FPreview)
        Paths.push_back(Entry.Path);
    Discard(Paths);
}

void TAppCleanUpDialog::EmptyBinClick() {
    if (FEntries.empty())
        return;
    if (Application().ShowMessageBox(
            Engine_cleanup::EmptyBinQuestion(FEntries.size(), Engine_cleanup::TotalSize(FEntries),
                                             Vek_locale::NumberFormat()),
            Application().Title(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
        return;
    std::vector<std::string> Paths;
    for (const TCleanUpEntry& Entry : FEntries)
        Paths.push_back(Entry.Path);
    Discard(Paths);
}

void TAppCleanUpDialog::Command(int Id, int Code, HWND Control) {
    if (Code == BN_CLICKED) {
        switch (Id) {
        case IDC_CLEANUP_BY_AGE:
        case IDC_CLEANUP_BY_SIZE:
            UpdatePreview();
            return;
        case IDC_CLEANUP_CLEAN_UP:
            CleanUpClick();
            return;
        case IDC_CLEANUP_EMPTY_BIN:
            EmptyBinClick();
            return;
        case IDM_CLEANUP_TAKE_BACK:
        case IDM_CLEANUP_TAKE_BACK_TO:
        case IDM_CLEANUP_OPEN_LOCATION:
        case IDM_CLEANUP_DISCARD:
            SelectionCommand(Id);
            return;
        default:
            break;
        }
    } else if (Code == EN_CHANGE && !FWriting &&
               (Id == IDC_CLEANUP_DAYS || Id == IDC_CLEANUP_MEGABYTES)) {
        UpdatePreview();
        return;
    }
    TDialog::Command(Id, Code, Control);
}

// Close keeps the rules, and refuses a number out of range with the dialog
// staying up. Esc and the close box cancel: the rules stay as they were on
// opening or at the last Clean Up, whatever the boxes hold.
bool TAppCleanUpDialog::CloseQuery() {
    if (ModalResult() != IDCANCEL)
        Rules = ReadControls();
    return true;
}

// A header click sorts by that column, or that column the other way round;
// times and sizes start with the largest, texts from A.
void TAppCleanUpDialog::SortBy(int Column) {
    if (Column < 0 || Column >= ColumnCount)
        return;
    if (Column == List.SortColumn)
        List.SortDescending = !List.SortDescending;
    else
        List.SortDescending = Column == ccPut || Column == ccSize;
    List.SortColumn = Column;
    UpdatePreview();
}

INT_PTR TAppCleanUpDialog::DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_NOTIFY) {
        const NMHDR& Header = *reinterpret_cast<const NMHDR*>(LParam);
        if (Header.idFrom == IDC_CLEANUP_PREVIEW && Header.code == LVN_COLUMNCLICK) {
            SortBy(reinterpret_cast<const NMLISTVIEW&>(Header).iSubItem);
            return TRUE;
        }
        if (Header.idFrom == IDC_CLEANUP_PREVIEW && Header.code == LVN_KEYDOWN) {
            const WORD Key = reinterpret_cast<const NMLVKEYDOWN&>(Header).wVKey;
            if (Key == VK_DELETE) {
                Command(IDM_CLEANUP_DISCARD, BN_CLICKED, nullptr);
                return TRUE;
            }
            switch (Gui_listview::KeyOf(Key)) {
            case Gui_listview::TListKey::lkSelectAll:
                Gui_listview::SelectAll(PreviewList());
                return TRUE;
            case Gui_listview::TListKey::lkRefresh:
                Refresh();
                return TRUE;
            default:
                break;
            }
        }
    }
    // A right click, Shift+F10 and the menu key: the list's window gives
    // each to its parent.
    if (Message == WM_CONTEXTMENU && reinterpret_cast<HWND>(WParam) == PreviewList()) {
        ContextMenu(LParam);
        return TRUE;
    }
    return TDialog::DialogProc(Message, WParam, LParam);
}

void TAppCleanUpDialog::ScaleLayout(int OldDpi, int NewDpi) {
    for (int Column = 0; Column < ColumnCount; ++Column) {
        const auto Width =
            static_cast<int>(SendMessageA(PreviewList(), LVM_GETCOLUMNWIDTH, Column, 0));
        SendMessageA(PreviewList(), LVM_SETCOLUMNWIDTH, Column, MulDiv(Width, NewDpi, OldDpi));
    }
}

} // namespace App_cleanupdialog
