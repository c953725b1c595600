#include "Gui_window.h"

#include "gui/Gui_application.h"

namespace Gui_window {

using Gui_application::Application;

TWindow::~TWindow() {
    if (FHandle) {
        SetWindowLongPtrA(FHandle, GWLP_USERDATA, 0);
        DestroyWindow(FHandle);
    }
}

void TWindow::CreateHandle(const TCreateParams& Params) {
    WNDCLASSEXA Class{};
    Class.cbSize = sizeof Class;
    if (!GetClassInfoExA(Application().Instance(), Params.ClassName, &Class)) {
        Class.cbSize = sizeof Class;
        Class.style = CS_DBLCLKS;
        Class.lpfnWndProc = Thunk;
        Class.hInstance = Application().Instance();
        Class.hIcon = Params.Icon;
        Class.hIconSm = Params.Icon;
        Class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        Class.hbrBackground = Params.Background;
        Class.lpszClassName = Params.ClassName;
        if (!RegisterClassExA(&Class))
            throw Base_system::Exception("The program could not create a window.");
    }
    const RECT& B = Params.Bounds;
    const bool Default = B.left == static_cast<LONG>(CW_USEDEFAULT);
    CreateWindowExA(Params.ExStyle, Params.ClassName, Params.Caption.c_str(), Params.Style, B.left,
                    B.top, Default ? B.right : B.right - B.left,
                    Default ? B.bottom : B.bottom - B.top, Params.Parent, Params.Menu,
                    Application().Instance(), this);
    if (!FHandle)
        throw Base_system::Exception("The program could not create a window.");
}

LRESULT TWindow::WndProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_SETCURSOR && Application().ScreenCursor()) {
        SetCursor(Application().ScreenCursor());
        return TRUE;
    }
    if (Message == WM_DPICHANGED) {
        MoveToDpi(HIWORD(WParam), *reinterpret_cast<const RECT*>(LParam));
        return 0;
    }
    return DefWindowProcA(FHandle, Message, WParam, LParam);
}

void TWindow::MoveToDpi(int, const RECT& Suggested) {
    SetWindowPos(FHandle, nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
                 Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK TWindow::Thunk(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == WM_NCCREATE) {
        auto* Self =
            static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTA*>(LParam)->lpCreateParams);
        Self->FHandle = Window;
        SetWindowLongPtrA(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
    }
    auto* Self = reinterpret_cast<TWindow*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
    if (!Self)
        return DefWindowProcA(Window, Message, WParam, LParam);
    try {
        const LRESULT Result = Self->WndProc(Message, WParam, LParam);
        if (Message == WM_NCDESTROY) {
            SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
            Self->FHandle = nullptr;
        }
        return Result;
    } catch (...) {
        Application().HandleException(std::current_exception());
        return 0;
    }
}

RECT ChildBounds(HWND Child) {
    RECT Bounds;
    GetWindowRect(Child, &Bounds);
    MapWindowPoints(HWND_DESKTOP, GetParent(Child), reinterpret_cast<POINT*>(&Bounds), 2);
    return Bounds;
}

} // namespace Gui_window
