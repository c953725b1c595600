// The running program as the toolkit sees it: its instance, its own file,
// its title, the window that owns its dialogs, the message loop with the
// idle event, program-wide modal boxes and the top-level exception report.
#pragma once

#include "base/Base_system.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Gui_application {

class TApplication : public Base_system::TObject {
public:
    // Restricts the search for DLLs loaded from now on to the system
    // directory, then initializes COM (the shell's dialogs need it) and the
    // common controls; the last directory starts as the process's current
    // directory, the one it was started in.
    void Initialize(HINSTANCE Instance);
    HINSTANCE Instance() const { return FInstance; }

    // The full path of the running program's own file, however long.
    std::string ExeName() const;
    // The directory of that file as a current directory: C:\Tools, or C:\ for
    // a program in a drive's root.
    std::string ProgramDirectory() const;
    // Arguments 1 to N of the command line, split as the C runtime splits them.
    std::vector<std::string> Arguments() const;

    // The program's memory of the last directory the user chose: open dialogs
    // and folder browsers start there, and a chosen directory becomes it. It
    // begins as the directory the program was started in. It is kept here
    // and never made the process's current directory, which Windows holds
    // open: a folder held that way could not be put.
    const std::string& LastDirectory() const { return FLastDirectory; }
    void SetLastDirectory(const std::string& Directory) { FLastDirectory = Directory; }

    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Title) { FTitle = Title; }

    // The program's top-level window, owner of its dialogs and boxes: the
    // main window once there is one, else none.
    HWND Handle() const { return FMainWindow; }
    HWND MainWindow() const { return FMainWindow; }
    void SetMainWindow(HWND Window) { FMainWindow = Window; }
    // Shortcuts of the main window, translated by the message loop.
    void SetAccelerators(HACCEL Accelerators) { FAccelerators = Accelerators; }

    // Objects that live until the application ends (the program-wide dialogs).
    template <class T> T* Own(std::unique_ptr<T> Object) {
        T* Raw = Object.get();
        FComponents.push_back(std::move(Object));
        return Raw;
    }
    // Destroys the owned objects, the last made first.
    void DestroyComponents();

    // Called once each time the message queue runs empty; set Done to false
    // to be called again at once.
    std::function<void(bool& Done)> OnIdle;

    // Runs the message loop until the main window is gone.
    void Run();

    // The top-level report of a failure: nothing for EAbort, an error box with
    // the message and the title for every other Exception and for any
    // std::exception (its text; "The program ran out of memory." for
    // std::bad_alloc), an error box with an empty text for anything else thrown.
    void HandleException(std::exception_ptr Failure);
    void ShowException(const Base_system::Exception& E);

    // A message box modal to the whole program: every window of it is
    // disabled while the box is up, and the one active before is active after.
    int ShowMessageBox(const std::string& Text, const std::string& Caption, UINT Flags);
    // The plain message: the title as caption, no icon, one OK button.
    void ShowMessage(const std::string& Text);

    // The screen cursor: while it is not null every window of the program
    // shows it, whatever the mouse is over.
    HCURSOR ScreenCursor() const { return FScreenCursor; }
    void SetScreenCursor(HCURSOR Cursor);

private:
    HINSTANCE FInstance = nullptr;
    std::string FTitle;
    std::string FLastDirectory;
    HWND FMainWindow = nullptr;
    HACCEL FAccelerators = nullptr;
    HCURSOR FScreenCursor = nullptr;
    std::vector<std::unique_ptr<Base_system::TObject>> FComponents;
};

// The one application object of the process.
TApplication& Application();

// While it lives, every enabled top-level window of the program is disabled
// (a modal box or dialog is up); at its end they are enabled again and the
// window that was active is activated.
class TModalScope {
public:
    TModalScope();
    ~TModalScope();
    TModalScope(const TModalScope&) = delete;
    TModalScope& operator=(const TModalScope&) = delete;

private:
    std::vector<HWND> FDisabled;
    HWND FActive;
};

// Shows the hourglass as the screen cursor while it lives, then restores
// the cursor that was set before.
class THourglassCursor {
public:
    THourglassCursor();
    ~THourglassCursor();
    THourglassCursor(const THourglassCursor&) = delete;
    THourglassCursor& operator=(const THourglassCursor&) = delete;

private:
    HCURSOR FSaved;
};

// Shows the ordinary cursor while it lives, then restores the one set
// before: a dialog waiting for the user, also inside a command that set the
// hourglass.
class TOrdinaryCursor {
public:
    TOrdinaryCursor();
    ~TOrdinaryCursor();
    TOrdinaryCursor(const TOrdinaryCursor&) = delete;
    TOrdinaryCursor& operator=(const TOrdinaryCursor&) = delete;

private:
    HCURSOR FSaved;
};

} // namespace Gui_application
