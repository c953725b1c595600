#include "Gui_clipboard.h"

#include "base/Base_system.h"
#include "vek/Vek_codepage.h"

#include <cstring>
#include <memory>
#include <type_traits>

namespace Gui_clipboard {

namespace {

struct TGlobalDeleter {
    void operator()(HGLOBAL Memory) const { GlobalFree(Memory); }
};
using TGlobalPtr = std::unique_ptr<std::remove_pointer_t<HGLOBAL>, TGlobalDeleter>;

// Open while it lives; another program may hold the clipboard a moment.
class TOpenClipboard {
public:
    explicit TOpenClipboard(HWND Owner) : FOpen(OpenClipboard(Owner) != FALSE) {}
    ~TOpenClipboard() {
        if (FOpen)
            CloseClipboard();
    }
    TOpenClipboard(const TOpenClipboard&) = delete;
    TOpenClipboard& operator=(const TOpenClipboard&) = delete;
    bool IsOpen() const { return FOpen; }

private:
    bool FOpen;
};

} // namespace

void CopyText(HWND Owner, const std::string& Text) {
    const Base_system::Exception Failed("The program could not copy to the clipboard.");
    const std::wstring Wide = Vek_codepage::ToWide(Text);
    const std::size_t Bytes = (Wide.size() + 1) * sizeof(wchar_t);
    TGlobalPtr Memory(GlobalAlloc(GMEM_MOVEABLE, Bytes));
    if (!Memory)
        throw Failed;
    void* Data = GlobalLock(Memory.get());
    if (!Data)
        throw Failed;
    std::memcpy(Data, Wide.c_str(), Bytes);
    GlobalUnlock(Memory.get());
    const TOpenClipboard Clipboard(Owner);
    if (!Clipboard.IsOpen() || !EmptyClipboard())
        throw Failed;
    if (!SetClipboardData(CF_UNICODETEXT, Memory.get()))
        throw Failed;
    // The clipboard owns it now.
    Memory.release();
}

} // namespace Gui_clipboard
