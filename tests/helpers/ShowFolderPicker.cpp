// Shows the folder picker of Take Back To for a few seconds, opened in a
// folder with folders in it, so that it can be looked at, and prints its sizes.
//   ShowFolderPicker [SECONDS]
#include "ShowDialog.h"

#include "gui/Gui_shell.h"

#include <string>

int main(int Argc, char** Argv) {
    ShowDialog::StartApplication();
    std::string Folder = "C:\\windows";
    ShowDialog::Show("Specify the folder to take back into.", Argc, Argv, [&] {
        Gui_shell::PickFolder(nullptr, "Specify the folder to take back into.", Folder);
    });
    return 0;
}
