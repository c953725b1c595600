// Starts as the program does, through the application's initialization, then
// loads the DLL named first on the command line by its bare name, as the
// system's own DLLs load others late: a DLL planted beside this program must
// not be the one that loads.
#include "gui/Gui_application.h"

#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    Gui_application::Application().Initialize(GetModuleHandleA(nullptr));
    return LoadLibraryA(argv[1]) ? 0 : 1;
}
