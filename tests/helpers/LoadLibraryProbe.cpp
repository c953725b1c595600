// Loads the DLL named first on the command line the way any program does,
// with the system's default search, and ends: the control that a DLL planted
// beside a program is found by that search at all.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    return LoadLibraryA(argv[1]) ? 0 : 1;
}
