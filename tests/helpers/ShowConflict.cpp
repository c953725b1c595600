// Shows the conflict question of a take back for a few seconds, so that it
// can be looked at, and prints its sizes: a file meets a file, with more
// conflicts to follow.
//   ShowConflict [SECONDS]
#include "ShowDialog.h"

#include "app/App_conflictdialog.h"

#include <cstdint>

namespace {

std::uint64_t Time(WORD Day, WORD Hour, WORD Minute) {
    SYSTEMTIME System{2026, 12, 0, Day, Hour, Minute, 0, 0};
    FILETIME File;
    SystemTimeToFileTime(&System, &File);
    return (static_cast<std::uint64_t>(File.dwHighDateTime) << 32) | File.dwLowDateTime;
}

} // namespace

int main(int Argc, char** Argv) {
    ShowDialog::StartApplication();
    Engine_takeback::TConflictQuestion Question;
    Question.Destination = "C:\\Users\\Anna\\Documents\\Reports\\2026\\Quarterly report.docx";
    Question.Standing = {Engine_takeback::TOriginKind::okFile, 2380417, Time(8, 9, 12)};
    Question.Coming = {Engine_takeback::TOriginKind::okFile, 734003, Time(3, 17, 40)};
    Question.ReplaceOffered = true;
    Question.Following = 2;
    Question.KeepBothDestination =
        "C:\\Users\\Anna\\Documents\\Reports\\2026\\Quarterly report (2).docx";
    App_conflictdialog::TAppConflictDialog Dialog(Question);
    ShowDialog::Show("Tovel Bin", Argc, Argv, [&] { Dialog.Execute(); });
    return 0;
}
