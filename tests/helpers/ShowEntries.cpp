// Shows the entries dialog over a few made-up entries for a few seconds, so
// that it can be looked at, and prints its sizes.
//   ShowEntries [SECONDS]
#include "ShowDialog.h"

#include "app/App_entriesdialog.h"

#include <cstdint>
#include <vector>

namespace {

std::uint64_t Time(WORD Day, WORD Hour, WORD Minute) {
    SYSTEMTIME System{2026, 12, 0, Day, Hour, Minute, 0, 0};
    FILETIME File;
    SystemTimeToFileTime(&System, &File);
    return (static_cast<std::uint64_t>(File.dwHighDateTime) << 32) | File.dwLowDateTime;
}

std::vector<App_takeback::TEntryInfo> Entries() {
    return {
        {"Tovel #0007", "B\\7", Time(8, 9, 12), 3, 2380417,
         "C:\\Users\\Anna\\Documents\\Report 2026.docx and 2 more"},
        {"Tovel #0006", "B\\6", Time(7, 17, 40), 1, 734003200, "D:\\Video\\Holiday.mp4"},
        {"Tovel #0005", "B\\5", Time(7, 11, 5), 12, 48211, "C:\\Projects\\Old site and 11 more"},
        {"Tovel #0004", "B\\4", Time(3, 8, 55), 1, 0, "C:\\Temp\\empty.log"},
        {"Tovel #0003", "B\\3", Time(1, 14, 30), 0, 1024, ""},
    };
}

} // namespace

int main(int Argc, char** Argv) {
    ShowDialog::StartApplication();
    App_entriesdialog::TAppEntriesDialog Dialog;
    Dialog.OnList = Entries;
    ShowDialog::Show("Entries", Argc, Argv, [&] { Dialog.Execute(); });
    return 0;
}
