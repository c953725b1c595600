// Opens the file given first on the command line without sharing it, sets
// the event named second to say so, and holds the file until it is killed:
// another program that the user left working on a file.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    HANDLE File = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return 1;
    HANDLE Ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (Ready == nullptr || !SetEvent(Ready))
        return 3;
    CloseHandle(Ready);
    Sleep(INFINITE);
    return 0;
}
