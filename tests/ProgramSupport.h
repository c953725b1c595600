// Shared helpers of the tests that start programs as processes of their own:
// the real TovelBin.exe in a program folder of its own, its windows as a
// user sees them, and a helper program that holds a file open.
#pragma once

#include "tests/TestSupport.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ProgramSupport {

// A started program, in its own current directory when one is given and
// with the show state a shortcut would hand it when Show is given; killed
// when the test leaves it running.
class TProgram {
public:
    explicit TProgram(const std::string& CommandLine,
                      const std::string& CurrentDirectory = std::string(), int Show = -1);
    ~TProgram();
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    DWORD Id() const { return FInfo.dwProcessId; }
    bool Running() const { return WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT; }
    bool WaitForEnd(DWORD Timeout = 15000) const {
        return WaitForSingleObject(FInfo.hProcess, Timeout) == WAIT_OBJECT_0;
    }
    HANDLE Process() const { return FInfo.hProcess; }
    void Kill();

private:
    PROCESS_INFORMATION FInfo{};
};

// The program's current directory as its process keeps it, with the trailing
// backslash Windows keeps there; empty when it cannot be read.
std::string CurrentDirectoryOf(const TProgram& Program);

// Checks Done every 20 ms until it holds or Timeout ms pass.
bool WaitFor(const std::function<bool()>& Done, DWORD Timeout = 15000);

std::string Quoted(const std::string& Text);

// A dialog box or message box: class #32770.
bool IsDialog(HWND Window);
// The visible top-level windows of the program, in the system's order.
std::vector<HWND> TopLevelWindows(const TProgram& Program);
// The first visible top-level window of the program that Wanted accepts,
// once it is there; none once the program has ended or Timeout ms passed.
HWND WaitForWindow(const TProgram& Program, const std::function<bool(HWND)>& Wanted,
                   DWORD Timeout = 15000);
// The program's main window: a visible top-level window that is no dialog.
HWND WaitForMainWindow(const TProgram& Program, DWORD Timeout = 15000);

// The text of the main window's "Next: " label; empty when there is none.
std::string NextLabel(HWND MainWindow);
// The text of the main window's status line; empty when there is none.
std::string StatusText(const TProgram& Program, HWND MainWindow);

// The texts of the first column of another program's list view, top to
// bottom; the list keeps them in the memory of its own process.
std::vector<std::string> ListViewRows(const TProgram& Program, HWND List);
// Selects exactly the given rows of another program's list view.
void SelectListViewRows(const TProgram& Program, HWND List, const std::vector<int>& Rows);

// A program folder holding a copy of TovelBin.exe, directly in a temporary
// directory or in a folder of the given relative path below it.
class TInstalled {
public:
    explicit TInstalled(const std::string& Folder = std::string());
    std::string Exe() const { return FDir + "\\TovelBin.exe"; }
    const std::string& Dir() const { return FDir; }
    std::string Settings() const { return FDir + "\\Settings.ini"; }
    std::string Bin() const { return FDir + "\\Bin"; }
    // Where a put into the entry of the given number leaves Source.
    std::string InEntry(const std::string& Number, const std::string& Source) const;
    // A bin at Location (written as the properties dialog writes it).
    void FixLocation(const std::string& Location) const;

private:
    TestSupport::TTempDir FTemp;
    std::string FDir;
};

// HoldOpen.exe from beside the test program, holding Path open without
// sharing until Release or the object's end: another program that the user
// left working on a file.
class THeldFile {
public:
    explicit THeldFile(const std::string& Path);
    // The holder has opened the file (it did not end first, nor took too long).
    bool IsReady() const { return FReady; }
    void Release() { FHolder.reset(); }

private:
    std::unique_ptr<TProgram> FHolder;
    bool FReady = false;
};

} // namespace ProgramSupport
