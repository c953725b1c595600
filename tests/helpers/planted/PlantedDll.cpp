// A DLL planted beside a program under the name of a system DLL. Loaded, it
// leaves a marker file beside itself: the proof that the program took it.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE Instance, DWORD Reason, LPVOID) {
    if (Reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char Path[MAX_PATH];
    DWORD Length = GetModuleFileNameA(Instance, Path, MAX_PATH);
    while (Length > 0 && Path[Length - 1] != '\\')
        --Length;
    const char Marker[] = "planted.loaded";
    if (Length + sizeof Marker > MAX_PATH)
        return TRUE;
    CopyMemory(Path + Length, Marker, sizeof Marker);
    HANDLE File =
        CreateFileA(Path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File != INVALID_HANDLE_VALUE)
        CloseHandle(File);
    return TRUE;
}
