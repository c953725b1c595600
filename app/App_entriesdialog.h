// "Entries": the bin's entries in a report list (name, when put, how many
// items, size, where they came from), sortable by any column. A search box
// above the list finds files and directories in every entry by name or
// original path; Enter on an entry opens it as a tree of its items. Take
// Back, Take Back To..., Explore and Discard act on what is selected; the
// status line at the foot gives the bin's totals. The list comes from the
// put records at once; entries without a record are read in the background
// afterwards, one row at a time. The dialog only shows and selects; its
// owner lists the bin and carries out the commands.
#pragma once

#include "engine/Engine_catalog.h"
#include "engine/Engine_takeback.h"
#include "gui/Gui_dialog.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <unordered_set>
#include <vector>

namespace App_entriesdialog {

using Engine_catalog::icCount;
using Engine_catalog::icEntry;
using Engine_catalog::icName;
using Engine_catalog::icPlace;
using Engine_catalog::icPut;
using Engine_catalog::icSize;

// What the dialog keeps between uses: its place on the screen in pixels, its
// size (a width of 0 means the template's size, centred) and the column
// widths (0: the design width) of the entries and of the items in pixels at
// 96 dpi, the entries' order, and the items' (-1: the tree's, or the order
// found).
struct TEntriesDialogSettings {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int ColumnWidths[Engine_catalog::ecCount] = {};
    int ItemColumnWidths[icCount] = {};
    int SortColumn = Engine_catalog::ecPut;
    bool SortDescending = true;
    int ItemSortColumn = -1;
    bool ItemSortDescending = false;
};

using TPathsEvent = std::function<void(const std::vector<std::string>& Paths)>;
using TSelectionsEvent =
    std::function<void(const std::vector<Engine_takeback::TTakeBackSelection>& Selections)>;

class TAppEntriesDialog : public Gui_dialog::TDialog {
public:
    // The entries list, a search's results, or the items of one entry.
    enum TView { vwEntries, vwSearch, vwOpened };

    TAppEntriesDialog();
    ~TAppEntriesDialog() override;

    TEntriesDialogSettings Settings;
    // The bin, listed on opening and again after every command; a listing
    // that has Complete is completed in the background and then shown anew.
    std::function<Engine_catalog::TListing()> OnList;
    // Reads an entry that the listing left unread; runs in a thread of its
    // own, or at once for an entry opened before its nodes were read.
    Engine_catalog::TCatalogFiller::TReader OnReadEntry;
    TSelectionsEvent OnTakeBack;
    TSelectionsEvent OnTakeBackTo;
    TPathsEvent OnExplore;
    // An item's place in its entry, to show in its folder.
    std::function<void(const std::string& Path)> OnOpenLocation;
    TPathsEvent OnDiscard;
    // Single items of an opened entry or of a search's results.
    TSelectionsEvent OnDiscardItems;

    // Shows the dialog until Close; Settings then hold what the user left.
    void Execute();

    HWND EntriesList() const { return Item(IDC_ENTRIES_LIST); }
    HWND SearchEdit() const { return Item(IDC_ENTRIES_SEARCH); }
    const Engine_catalog::TCatalog& Catalog() const { return FCatalog; }
    TView View() const { return FView; }
    // The text of a row's cell as the list shows it.
    std::string CellText(int Row, int Column) const;
    int RowCount() const { return static_cast<int>(FRows.size()); }
    // Whether nothing is read in the background any more.
    bool Complete() const { return !FFiller || FFiller->Done(); }
    // The entries the last command acted on, by path: a listing after it
    // reads them again at once.
    const std::vector<std::string>& ChangedEntries() const { return FChanged; }
    // The selection as a take back takes it: whole entries, or the chosen
    // items of each entry.
    std::vector<Engine_takeback::TTakeBackSelection> SelectedItems() const;
    // The entries of the selected rows, each once.
    std::vector<std::string> SelectedPaths() const;
    // A click on a column header: that column, or the other way round.
    void SortBy(int Column);
    void Refresh();
    // The items of the entry of the focused row, or a search's results
    // while a search is typed; Back goes up one of these steps.
    void OpenFocused();
    void Back();

    void TakeBackClick();
    void TakeBackToClick();
    void ExploreClick();
    void DiscardClick();

protected:
    void InitDialog() override;
    void Command(int Id, int Code, HWND Control) override;
    INT_PTR DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void ScaleLayout(int OldDpi, int NewDpi) override;

private:
    static LRESULT CALLBACK KeyProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam,
                                    UINT_PTR Id, DWORD_PTR Data);
    bool Key(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result);
    int ColumnCount() const;
    void CreateColumns();
    void KeepColumnWidths();
    void ShowView(TView View, const std::vector<std::string>& Selected);
    void FillRows();
    void FillList(const std::vector<std::string>& Selected);
    std::string RowKey(int Row) const;
    std::vector<std::string> SelectedKeys() const;
    std::string EntryCellText(const Engine_catalog::TCatalogEntry& Entry, int Column) const;
    std::string ItemCellText(std::uint32_t Node, int Column) const;
    void ShowSortMark();
    void ContextMenu(LPARAM Point);
    void ShowStatus();
    void UpdateButtons();
    void PlaceFromSettings();
    void ArrangeControls();
    void KeepSettings();
    int ToDesignDpi(int Pixels) const;
    int FromDesignDpi(int Pixels) const;
    bool Notify(const NMHDR& Header);
    void Search();
    void StartFiller(Engine_catalog::TListing& Listing);
    void ShowCatalog(Engine_catalog::TCatalog Catalog);
    void ReadNodes(std::size_t Entry);
    int IconOf(std::uint32_t Node) const;
    void FoldCommonLevels();
    void HideCollapsed();
    bool IsFolder(std::uint32_t Node) const;
    bool IsCollapsed(std::uint32_t Node) const;
    void Toggle(int Row, bool Expand);
    bool TreeKey(WORD Key);
    void TakeFilled();
    void RunCommand(const std::function<void()>& Command);

    Engine_catalog::TCatalog FCatalog;
    std::unique_ptr<Engine_catalog::TCatalogFiller> FFiller;
    TView FView = vwEntries;
    std::size_t FOpenedEntry = 0;
    std::vector<std::string> FChanged;
    // Entry indexes in the entries list, node indexes otherwise.
    std::vector<std::uint32_t> FRows;
    // The opened entry's tree: the levels every item lies below, folded into
    // one path line (NoParent when the items lie on several drives), its
    // depth, the nodes with children, and the folders collapsed, by their
    // paths below the entry, so that a new listing keeps them.
    std::uint32_t FFolded = Engine_catalog::NoParent;
    std::uint32_t FFoldDepth = 0;
    std::unordered_set<std::uint32_t> FHasChildren;
    std::unordered_set<std::string> FCollapsed;
    mutable std::string FCellBuffer;
    // The shell's small icons, one index for each kind of name.
    HIMAGELIST FIcons = nullptr;
    mutable std::map<std::string, int> FIconOfKind;
    Vek_string::TNumberFormat FNumberFormat;
    SIZE FMinSize{};
    // The buttons of the bottom row in their order, each with its width.
    std::vector<std::pair<int, int>> FButtons;
    int FButtonHeight = 0;
    int FEditHeight = 0;
    int FStatusHeight = 0;
    int FLabelWidth = 0;
    int FMargin = 0;
    int FGap = 0;
};

} // namespace App_entriesdialog
