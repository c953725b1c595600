// Takes the named mutex given first on the command line, sets the event named
// second to say so, and then holds the mutex until it is killed.
#include "vek/Vek_sync.h"

#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    try {
        Vek_sync::TMutex Mutex(argv[1]);
        Mutex.Lock(0);
        HANDLE Ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
        if (Ready == nullptr || !SetEvent(Ready))
            return 3;
        CloseHandle(Ready);
        Sleep(INFINITE);
    } catch (const Base_system::Exception&) {
        return 1;
    }
    return 0;
}
