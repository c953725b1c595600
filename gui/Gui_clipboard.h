// The clipboard, for the little text the program hands out: a report the
// user copies.
#pragma once

#include <windows.h>

#include <string>

namespace Gui_clipboard {

// Replaces what the clipboard holds with Text (of the process code page),
// as Unicode text, so that every program reads it alike. Owner is the
// window that copies. Raises Base_system::Exception "The program could not
// copy to the clipboard." when the system refuses.
void CopyText(HWND Owner, const std::string& Text);

} // namespace Gui_clipboard
