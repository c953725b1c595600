#include "Vek_console.h"

#include "vek/Vek_codepage.h"

#include <windows.h>

namespace Vek_console {

namespace {

// A GUI program gets the handles its starter handed over, and no console:
// where none was handed, it borrows the console of its starter, and keeps
// that console's handle as the stream's from then on.
HANDLE StreamHandle(TStream Stream) {
    const DWORD Which = Stream == TStream::stOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    HANDLE Handle = GetStdHandle(Which);
    if (Handle && Handle != INVALID_HANDLE_VALUE)
        return Handle;
    // Refused also when the other stream has borrowed it already.
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return nullptr;
    Handle = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (Handle == INVALID_HANDLE_VALUE)
        return nullptr;
    SetStdHandle(Which, Handle);
    return Handle;
}

} // namespace

void Write(TStream Stream, const std::string& Text) {
    const HANDLE Handle = StreamHandle(Stream);
    if (!Handle || Text.empty())
        return;
    DWORD Mode = 0;
    if (GetConsoleMode(Handle, &Mode)) {
        const std::wstring Wide = Vek_codepage::ToWide(Text);
        DWORD Written = 0;
        WriteConsoleW(Handle, Wide.data(), static_cast<DWORD>(Wide.size()), &Written, nullptr);
        return;
    }
    const std::string Bytes = Vek_codepage::ToUtf8(Text);
    DWORD Written = 0;
    WriteFile(Handle, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
}

} // namespace Vek_console
