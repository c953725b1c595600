#include "ProgramSupport.h"

#include "vek/Vek_codepage.h"

#include <commctrl.h>
#include <winternl.h>

#include <cstdint>
#include <memory>
#include <stdexcept>

using TestSupport::ClassName;
using TestSupport::ExeDirectory;
using TestSupport::WindowText;

namespace ProgramSupport {

TProgram::TProgram(const std::string& CommandLine, const std::string& CurrentDirectory, int Show) {
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    if (Show >= 0) {
        Startup.dwFlags = STARTF_USESHOWWINDOW;
        Startup.wShowWindow = static_cast<WORD>(Show);
    }
    std::string Line = CommandLine;
    if (!CreateProcessA(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        CurrentDirectory.empty() ? nullptr : CurrentDirectory.c_str(), &Startup,
                        &FInfo))
        throw std::runtime_error("cannot start " + CommandLine + " (error " +
                                 std::to_string(GetLastError()) + ")");
    CloseHandle(FInfo.hThread);
}

TProgram::~TProgram() {
    if (Running())
        Kill();
    CloseHandle(FInfo.hProcess);
}

// A killed process ends at once; the wait only keeps its files from being
// removed while it still holds them.
void TProgram::Kill() {
    TerminateProcess(FInfo.hProcess, 1);
    WaitForEnd(30000);
}

namespace {

// The start of the parameters of a process, as Windows (and Wine) lay them
// out, up to its current directory.
struct TProcessParameters {
    ULONG MaximumLength;
    ULONG Length;
    ULONG Flags;
    ULONG DebugFlags;
    HANDLE ConsoleHandle;
    ULONG ConsoleFlags;
    HANDLE StandardInput;
    HANDLE StandardOutput;
    HANDLE StandardError;
    UNICODE_STRING CurrentDirectory;
};

template <class T> bool ReadFrom(HANDLE Process, const void* Address, T& Value) {
    SIZE_T Read = 0;
    return ReadProcessMemory(Process, Address, &Value, sizeof Value, &Read) && Read == sizeof Value;
}

} // namespace

std::string CurrentDirectoryOf(const TProgram& Program) {
    using TQuery = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto Query = reinterpret_cast<TQuery>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION Basic{};
    PEB Peb{};
    TProcessParameters Parameters{};
    if (!Query ||
        Query(Program.Process(), ProcessBasicInformation, &Basic, sizeof Basic, nullptr) != 0 ||
        !ReadFrom(Program.Process(), Basic.PebBaseAddress, Peb) ||
        !ReadFrom(Program.Process(), Peb.ProcessParameters, Parameters))
        return std::string();
    std::wstring Directory(Parameters.CurrentDirectory.Length / sizeof(wchar_t), L'\0');
    SIZE_T Read = 0;
    if (!Directory.empty() &&
        !ReadProcessMemory(Program.Process(), Parameters.CurrentDirectory.Buffer, &Directory[0],
                           Parameters.CurrentDirectory.Length, &Read))
        return std::string();
    return Vek_codepage::FromWide(Directory);
}

bool WaitFor(const std::function<bool()>& Done, DWORD Timeout) {
    const DWORD Start = GetTickCount();
    while (!Done()) {
        if (GetTickCount() - Start > Timeout)
            return false;
        Sleep(20);
    }
    return true;
}

std::string Quoted(const std::string& Text) {
    return "\"" + Text + "\"";
}

bool IsDialog(HWND Window) {
    return ClassName(Window) == "#32770";
}

namespace {

struct TTopLevel {
    DWORD Process;
    std::vector<HWND> Windows;
};

BOOL CALLBACK CollectTopLevel(HWND Window, LPARAM Param) {
    auto* Found = reinterpret_cast<TTopLevel*>(Param);
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    if (Process == Found->Process && IsWindowVisible(Window))
        Found->Windows.push_back(Window);
    return TRUE;
}

BOOL CALLBACK FindLabel(HWND Child, LPARAM Param) {
    if (WindowText(Child).rfind("Next: ", 0) == 0) {
        *reinterpret_cast<HWND*>(Param) = Child;
        return FALSE;
    }
    return TRUE;
}

} // namespace

std::vector<HWND> TopLevelWindows(const TProgram& Program) {
    TTopLevel Found{Program.Id(), {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&Found));
    return Found.Windows;
}

HWND WaitForWindow(const TProgram& Program, const std::function<bool(HWND)>& Wanted,
                   DWORD Timeout) {
    HWND Window = nullptr;
    WaitFor(
        [&] {
            for (HWND Candidate : TopLevelWindows(Program)) {
                if (Wanted(Candidate)) {
                    Window = Candidate;
                    return true;
                }
            }
            return !Program.Running();
        },
        Timeout);
    return Window;
}

HWND WaitForMainWindow(const TProgram& Program, DWORD Timeout) {
    return WaitForWindow(
        Program, [](HWND Window) { return !IsDialog(Window); }, Timeout);
}

std::string NextLabel(HWND MainWindow) {
    HWND Label = nullptr;
    EnumChildWindows(MainWindow, FindLabel, reinterpret_cast<LPARAM>(&Label));
    return Label ? WindowText(Label) : std::string();
}

namespace {

// Memory in another program's process: a list view reads and writes only
// the memory of its own.
class TRemoteMemory {
public:
    TRemoteMemory(HANDLE Process, std::size_t Size)
        : FProcess(Process),
          FAddress(static_cast<char*>(
              VirtualAllocEx(Process, nullptr, Size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {
        if (!FAddress)
            throw std::runtime_error("cannot allocate memory in another program");
    }
    ~TRemoteMemory() { VirtualFreeEx(FProcess, FAddress, 0, MEM_RELEASE); }
    TRemoteMemory(const TRemoteMemory&) = delete;
    TRemoteMemory& operator=(const TRemoteMemory&) = delete;
    char* At(std::size_t Offset) const { return FAddress + Offset; }
    void Write(const void* Data, std::size_t Size) const {
        WriteProcessMemory(FProcess, FAddress, Data, Size, nullptr);
    }
    void Read(std::size_t Offset, void* Data, std::size_t Size) const {
        ReadProcessMemory(FProcess, FAddress + Offset, Data, Size, nullptr);
    }

private:
    HANDLE FProcess;
    char* FAddress;
};

} // namespace

std::vector<std::string> ListViewRows(const TProgram& Program, HWND List) {
    const int Length = 512;
    TRemoteMemory Remote(Program.Process(), sizeof(LVITEMW) + Length * sizeof(wchar_t));
    LVITEMW Item{};
    Item.pszText = reinterpret_cast<wchar_t*>(Remote.At(sizeof Item));
    Item.cchTextMax = Length;
    Remote.Write(&Item, sizeof Item);
    std::vector<std::string> Rows;
    const int Count = static_cast<int>(SendMessageW(List, LVM_GETITEMCOUNT, 0, 0));
    for (int Row = 0; Row < Count; ++Row) {
        std::wstring Text(Length, L'\0');
        const LRESULT Got =
            SendMessageW(List, LVM_GETITEMTEXTW, Row, reinterpret_cast<LPARAM>(Remote.At(0)));
        Remote.Read(sizeof Item, &Text[0], static_cast<std::size_t>(Got) * sizeof(wchar_t));
        Text.resize(static_cast<std::size_t>(Got));
        Rows.push_back(Vek_codepage::FromWide(Text));
    }
    return Rows;
}

// A status line in simple mode answers for its one part as part 0.
std::string StatusText(const TProgram& Program, HWND MainWindow) {
    const HWND Bar = FindWindowExA(MainWindow, nullptr, STATUSCLASSNAMEA, nullptr);
    if (!Bar)
        return std::string();
    const std::size_t Length = LOWORD(SendMessageW(Bar, SB_GETTEXTLENGTHW, 0, 0));
    TRemoteMemory Remote(Program.Process(), (Length + 1) * sizeof(wchar_t));
    SendMessageW(Bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(Remote.At(0)));
    std::wstring Text(Length, L'\0');
    Remote.Read(0, &Text[0], Length * sizeof(wchar_t));
    return Vek_codepage::FromWide(Text);
}

void SelectListViewRows(const TProgram& Program, HWND List, const std::vector<int>& Rows) {
    TRemoteMemory Remote(Program.Process(), sizeof(LVITEMW));
    LVITEMW Item{};
    Item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    Remote.Write(&Item, sizeof Item);
    SendMessageW(List, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(Remote.At(0)));
    Item.state = LVIS_SELECTED | LVIS_FOCUSED;
    Remote.Write(&Item, sizeof Item);
    for (int Row : Rows)
        SendMessageW(List, LVM_SETITEMSTATE, static_cast<WPARAM>(Row),
                     reinterpret_cast<LPARAM>(Remote.At(0)));
}

TInstalled::TInstalled(const std::string& Folder) {
    FDir = Folder.empty() ? FTemp.Path() : FTemp / Folder;
    for (std::size_t Start = 0; !Folder.empty();) {
        const std::size_t End = Folder.find('\\', Start);
        CreateDirectoryA((FTemp / Folder.substr(0, End)).c_str(), nullptr);
        if (End == std::string::npos)
            break;
        Start = End + 1;
    }
    if (!CopyFileA((ExeDirectory() + "TovelBin.exe").c_str(), Exe().c_str(), FALSE))
        throw std::runtime_error("cannot copy TovelBin.exe");
}

std::string TInstalled::InEntry(const std::string& Number, const std::string& Source) const {
    return Bin() + "\\Tovel #" + Number + "\\" + Source.substr(0, 1) + Source.substr(2);
}

void TInstalled::FixLocation(const std::string& Location) const {
    TestSupport::WriteFile(Settings(),
                           "[MainForm.BinHandler.Bin]\r\nLocationType=0\r\nFixedLocation=\"" +
                               Location + "\"\r\n\r\n");
}

// The ready event is named after this object, so that holders started at
// once by one test program never share it.
THeldFile::THeldFile(const std::string& Path) {
    const std::string ReadyName = "Tovel.Test.Held." + std::to_string(GetCurrentProcessId()) + "." +
                                  std::to_string(reinterpret_cast<std::uintptr_t>(this));
    const std::unique_ptr<void, decltype(&CloseHandle)> Ready(
        CreateEventA(nullptr, TRUE, FALSE, ReadyName.c_str()), &CloseHandle);
    if (!Ready)
        throw std::runtime_error("cannot create the event " + ReadyName);
    FHolder = std::make_unique<TProgram>(Quoted(ExeDirectory() + "HoldOpen.exe") + " " +
                                         Quoted(Path) + " " + Quoted(ReadyName));
    const HANDLE Waits[] = {Ready.get(), FHolder->Process()};
    FReady = WaitForMultipleObjects(2, Waits, FALSE, 30000) == WAIT_OBJECT_0;
}

} // namespace ProgramSupport
