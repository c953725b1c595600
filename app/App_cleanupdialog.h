// "Clean Up": the two rules that keep the bin tidy (an age in days, a size
// in megabytes), a preview of the entries they would discard now with the
// total they free, updated as the rules change, and the choice to clean up
// at every start. Clean Up discards exactly the previewed entries; Empty
// Bin... every entry, after a question. The preview's context menu acts on
// the entries selected in it, as the Entries list's does. The dialog only
// shows and chooses; its owner lists the entries and acts on them.
#pragma once

#include "engine/Engine_cleanup.h"
#include "gui/Gui_dialog.h"
#include "res/resource.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace App_cleanupdialog {

// How the preview is sorted: by a column (-1: in the order the entries
// would go), and which way.
struct TCleanUpListSettings {
    int SortColumn = -1;
    bool SortDescending = false;
};

class TAppCleanUpDialog : public Gui_dialog::TDialog {
public:
    TAppCleanUpDialog();

    // In: the rules to show; out, once closed: the rules the user left.
    Engine_cleanup::TCleanUpRules Rules;
    // In and out, as Rules.
    TCleanUpListSettings List;
    // The bin's entries, read again after every discard.
    std::function<std::vector<Engine_cleanup::TCleanUpEntry>()> OnList;
    // Sends the entries to the Recycle Bin.
    std::function<void(const std::vector<std::string>& Paths)> OnDiscard;
    // The time the ages count from; now, by default.
    std::function<std::uint64_t()> OnNow;
    // The commands of the preview's context menu, on the selected entries;
    // the preview then shows the bin as it is, the selection kept. Take Back
    // To's folder picker opens over Owner, the dialog; Discard asks first.
    std::function<void(const std::vector<std::string>& Paths)> OnTakeBack;
    std::function<void(const std::vector<std::string>& Paths, HWND Owner)> OnTakeBackTo;
    std::function<void(const std::vector<std::string>& Paths)> OnDiscardChosen;
    // Opens the folder that holds Path in Explorer, with Path selected.
    std::function<void(const std::string& Path)> OnOpenLocation;

    // Shows the dialog until Close.
    void Execute();

    HWND PreviewList() const { return Item(IDC_CLEANUP_PREVIEW); }
    // The entries the preview lists, top to bottom.
    const std::vector<Engine_cleanup::TCleanUpEntry>& Preview() const { return FPreview; }

    // The rules as the controls hold them; a number out of range (of a rule
    // that is on) moves the focus to its box and raises.
    Engine_cleanup::TCleanUpRules ReadControls();
    void CleanUpClick();
    void EmptyBinClick();
    void SortBy(int Column);
    // The paths of the entries selected in the preview, top to bottom.
    std::vector<std::string> SelectedPaths() const;
    // The context menu at Point, as WM_CONTEXTMENU gives it.
    void ContextMenu(LPARAM Point);
    // Opens the first item of the focused (else the first selected) entry
    // where it lies in its entry; an entry without a record opens itself.
    void OpenLocationClick();

protected:
    void InitDialog() override;
    void Command(int Id, int Code, HWND Control) override;
    bool CloseQuery() override;
    INT_PTR DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void ScaleLayout(int OldDpi, int NewDpi) override;

private:
    void WriteControls(const Engine_cleanup::TCleanUpRules& Value);
    // The rules the preview shows: a number that is no valid one turns its
    // rule off for the preview.
    Engine_cleanup::TCleanUpRules PreviewRules() const;
    void CreateColumns();
    void Refresh();
    void UpdatePreview();
    void UpdateControls();
    bool ReadNumber(int Id, std::int32_t Min, std::int32_t Max, std::int32_t& Value) const;
    std::int32_t CheckedNumber(int Id, const char* Unit, std::int32_t Min, std::int32_t Max);
    [[noreturn]] void FailAt(int Id, const std::string& Message);
    void Discard(const std::vector<std::string>& Paths);
    void RunCommand(const std::function<void()>& Command);
    void SelectionCommand(int Id);
    void Select(const std::vector<std::string>& Paths);
    bool Checked(int Id) const;
    std::uint64_t Now() const;

    std::vector<Engine_cleanup::TCleanUpEntry> FEntries;
    std::vector<Engine_cleanup::TCleanUpEntry> FPreview;
    bool FWriting = false;
};

} // namespace App_cleanupdialog
