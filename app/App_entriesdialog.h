// "Entries": the bin's entries in a report list (name, when put, how many
// items a take back would move, size, where they came from), sortable by any
// column, with Take Back, Explore and Discard on the selected entries. The
// dialog only shows and selects; its owner lists the entries and carries out
// the commands.
#pragma once

#include "app/App_takeback.h"
#include "gui/Gui_dialog.h"
#include "res/resource.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace App_entriesdialog {

// What the dialog keeps between uses: its bounds in pixels (a width of 0
// means the template's size, centred), the column widths in pixels (0: the
// design width) and the sort order.
struct TEntriesDialogSettings {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int ColumnWidths[App_takeback::ecCount] = {};
    int SortColumn = App_takeback::ecPut;
    bool SortDescending = true;
};

using TPathsEvent = std::function<void(const std::vector<std::string>& Paths)>;

class TAppEntriesDialog : public Gui_dialog::TDialog {
public:
    TAppEntriesDialog();

    TEntriesDialogSettings Settings;
    // The rows, read again after every command.
    std::function<std::vector<App_takeback::TEntryInfo>()> OnList;
    TPathsEvent OnTakeBack;
    TPathsEvent OnExplore;
    TPathsEvent OnDiscard;

    // Shows the dialog until Close; Settings then hold what the user left.
    void Execute();

    HWND ListView1() const { return Item(IDC_ENTRIES_LISTVIEW1); }
    // The rows as the list shows them, top to bottom.
    const std::vector<App_takeback::TEntryInfo>& Entries() const { return FEntries; }
    std::vector<std::string> SelectedPaths() const;
    // A click on a column header: that column, or the other way round.
    void SortBy(int Column);
    void Refresh();

    void TakeBackClick();
    void ExploreClick();
    void DiscardClick();

protected:
    void InitDialog() override;
    void Command(int Id, int Code, HWND Control) override;
    INT_PTR DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void DpiChanged(int OldDpi, int NewDpi) override;

private:
    void CreateColumns();
    void FillList(const std::vector<std::string>& Selected);
    void ShowSortMark();
    void UpdateButtons();
    void PlaceFromSettings();
    void ArrangeControls();
    void KeepSettings();
    bool Notify(const NMHDR& Header);
    void RunCommand(const TPathsEvent& Event, const std::vector<std::string>& Paths);

    std::vector<App_takeback::TEntryInfo> FEntries;
    SIZE FMinSize{};
    SIZE FButtonSize{};
    int FMargin = 0;
    int FGap = 0;
};

} // namespace App_entriesdialog
