// Shows the clean-up dialog over a few made-up entries for a few seconds,
// both rules on, so that it can be looked at, and prints its sizes.
//   ShowCleanUp [SECONDS]
#include "ShowDialog.h"

#include "app/App_cleanupdialog.h"

#include <cstdint>
#include <vector>

namespace {

std::uint64_t Time(WORD Month, WORD Day, WORD Hour) {
    SYSTEMTIME System{2026, Month, 0, Day, Hour, 10, 0, 0};
    FILETIME File;
    SystemTimeToFileTime(&System, &File);
    return (static_cast<std::uint64_t>(File.dwHighDateTime) << 32) | File.dwLowDateTime;
}

std::vector<Engine_cleanup::TCleanUpEntry> Entries() {
    const std::uint64_t MB = 1024 * 1024;
    return {
        {"Tovel #0001", "B\\1", Time(6, 2, 9), 12 * MB, false,
         "C:\\Users\\Anna\\Downloads\\setup.exe", 0},
        {"Tovel #0002", "B\\2", Time(8, 14, 17), 734 * MB, false,
         "C:\\Users\\Anna\\Videos\\Holiday 2026", 3},
        {"Tovel #0003", "B\\3", Time(10, 30, 11), 48211, false, "D:\\Photos\\Straße.jpg", 0},
        {"Tovel #0004", "B\\4", Time(11, 20, 8), 520 * MB, false, "C:\\Projects\\old build", 12},
        {"Tovel #0005", "B\\5", Time(12, 1, 14), 300 * MB, false, "E:\\Backup\\mail.pst", 0},
        {"Tovel #0006", "B\\6", Time(12, 7, 16), 2380417, true,
         "C:\\Users\\Anna\\Documents\\Report 2026.docx", 1},
    };
}

} // namespace

int main(int Argc, char** Argv) {
    ShowDialog::StartApplication();
    App_cleanupdialog::TAppCleanUpDialog Dialog;
    Dialog.Rules.ByAge = true;
    Dialog.Rules.BySize = true;
    Dialog.Rules.Megabytes = 800;
    Dialog.OnList = Entries;
    Dialog.OnNow = [] { return Time(12, 8, 12); };
    ShowDialog::Show("Clean Up", Argc, Argv, [&] { Dialog.Execute(); });
    return 0;
}
