// Base of the program's own windows: one static thunk that finds the object
// of a window and hands every message to its WndProc. Exceptions never cross
// into Windows: the thunk passes them to the application's report.
#pragma once

#include "base/Base_system.h"

#include <windows.h>

#include <string>

namespace Gui_window {

class TWindow : public Base_system::TObject {
public:
    ~TWindow() override;
    HWND Handle() const { return FHandle; }

protected:
    struct TCreateParams {
        const char* ClassName;
        DWORD Style = WS_OVERLAPPEDWINDOW;
        DWORD ExStyle = 0;
        std::string Caption;
        HWND Parent = nullptr;
        HMENU Menu = nullptr;
        RECT Bounds{static_cast<LONG>(CW_USEDEFAULT), static_cast<LONG>(CW_USEDEFAULT),
                    static_cast<LONG>(CW_USEDEFAULT), static_cast<LONG>(CW_USEDEFAULT)};
        HICON Icon = nullptr;
        HBRUSH Background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    };
    // Registers the class on first use and creates the window; raises
    // Base_system::Exception when the system refuses.
    void CreateHandle(const TCreateParams& Params);

    // Every message of the window; the default passes it to DefWindowProcA.
    virtual LRESULT WndProc(UINT Message, WPARAM WParam, LPARAM LParam);
    // A top-level window's DPI changed (it went to another monitor, or its
    // monitor's scale changed; only under per-monitor awareness). Suggested
    // is the system's bounds for it at the new DPI, which the default takes.
    virtual void MoveToDpi(int Dpi, const RECT& Suggested);

private:
    static LRESULT CALLBACK Thunk(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
    HWND FHandle = nullptr;
};

// A child window's position and size in its parent's client coordinates.
RECT ChildBounds(HWND Child);

} // namespace Gui_window
