// Shows the entries dialog over a few made-up entries for a few seconds, so
// that it can be looked at, and prints its sizes. The view: the entries
// list, the results of a search, an opened entry, or an empty bin.
//   ShowEntries [SECONDS] [list|search|opened|empty]
#include "ShowDialog.h"

#include "app/App_entriesdialog.h"

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Engine_record::TRecord;
using Engine_record::TRecordNode;

std::uint64_t Time(WORD Day, WORD Hour, WORD Minute) {
    SYSTEMTIME System{2026, 12, 0, Day, Hour, Minute, 0, 0};
    FILETIME File;
    SystemTimeToFileTime(&System, &File);
    return (static_cast<std::uint64_t>(File.dwHighDateTime) << 32) | File.dwLowDateTime;
}

TRecordNode Node(const std::string& Name, std::vector<TRecordNode> Children = {},
                 std::uint64_t Size = 0, bool Item = false) {
    TRecordNode Made;
    Made.Name = Name;
    Made.Kind = Children.empty() && Size > 0 ? TRecordNode::nkFile : TRecordNode::nkDirectory;
    Made.Size = Size;
    Made.Item = Item;
    Made.Children = std::move(Children);
    return Made;
}

TRecord Put(std::uint64_t Created, TRecordNode Drive, bool Finished = true) {
    TRecord Record;
    Record.Puts.emplace_back();
    Record.Puts.back().Id = "1";
    Record.Puts.back().Time = Created;
    Record.Puts.back().State =
        Finished ? Engine_record::TPutState::psDone : Engine_record::TPutState::psInterrupted;
    Record.Puts.back().Tree.Children.push_back(std::move(Drive));
    return Record;
}

Engine_catalog::TListing Entries() {
    Engine_catalog::TListing Listing;
    Engine_catalog::TCatalog& Catalog = Listing.Catalog;
    const auto Add = [&Catalog](const char* Name, const TRecord& Record, bool Unfinished) {
        Catalog.SetRecord(Catalog.AddEntry(Name, std::string("B\\") + Name, 0), Record, Unfinished);
    };
    Add("Tovel #0007",
        Put(Time(8, 9, 12),
            Node("C",
                 {Node("Users", {Node("Anna", {Node("Documents",
                                                    {Node("Report 2026.docx", {}, 2380000, true),
                                                     Node("Budget.xlsx", {}, 310, true),
                                                     Node("Notes", {Node("todo.txt", {}, 107)}, 0,
                                                          true)})})})})),
        false);
    // A put whose folder is still being listed: its size is being counted.
    TRecord Counting =
        Put(Time(7, 17, 40), Node("D", {Node("Video", {Node("Holiday", {}, 0, true)})}));
    Counting.Puts.back().Listed = false;
    Add("Tovel #0006", Counting, false);
    Add("Tovel #0005",
        Put(Time(7, 11, 5),
            Node("C",
                 {Node("Projects", {Node("Old site",
                                         {Node("index.html", {}, 4211), Node("report.css", {}, 800),
                                          Node("images", {Node("logo.png", {}, 43200)})},
                                         0, true)})})),
        false);
    Add("Tovel #0004",
        Put(Time(3, 8, 55), Node("C", {Node("Temp", {Node("report.log", {}, 1, true)})}), false),
        true);
    // One more whose record is read later: its figures wait.
    Listing.Unread.push_back(Catalog.AddEntry("Tovel #0003", "B\\Tovel #0003", Time(1, 14, 30)));
    return Listing;
}

// The view asked for, set up as a user would once the list shows.
class TShownDialog : public App_entriesdialog::TAppEntriesDialog {
public:
    std::string View;

protected:
    void InitDialog() override {
        TAppEntriesDialog::InitDialog();
        if (View == "search") {
            SetWindowTextA(SearchEdit(), "report");
        } else if (View == "opened") {
            ListView_SetItemState(EntriesList(), 0, LVIS_FOCUSED | LVIS_SELECTED,
                                  LVIS_FOCUSED | LVIS_SELECTED);
            OpenFocused();
            ListView_SetItemState(EntriesList(), -1, 0, LVIS_FOCUSED | LVIS_SELECTED);
            ListView_SetItemState(EntriesList(), 2, LVIS_FOCUSED | LVIS_SELECTED,
                                  LVIS_FOCUSED | LVIS_SELECTED);
        }
    }
};

} // namespace

int main(int Argc, char** Argv) {
    ShowDialog::StartApplication();
    TShownDialog Dialog;
    Dialog.View = Argc > 2 ? Argv[2] : "list";
    if (Dialog.View != "empty")
        Dialog.OnList = Entries;
    ShowDialog::Show("Entries", Argc, Argv, [&] { Dialog.Execute(); });
    return 0;
}
