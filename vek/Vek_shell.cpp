#include "vek/Vek_shell.h"

#include "vek/Vek_autopointer.h"
#include "vek/Vek_codepage.h"

#include <shlobj.h>

namespace Vek_shell {

namespace {

// The index that asks DragQueryFileA for the number of items.
const UINT CountQuery = 0xFFFFFFFF;

// Whether the block holds its paths as wide texts, as every drop from the
// shell does.
bool IsWideDrop(HDROP Drop) {
    const auto* Files = static_cast<const DROPFILES*>(GlobalLock(reinterpret_cast<HGLOBAL>(Drop)));
    if (Files == nullptr)
        return false;
    const bool Wide = Files->fWide != FALSE;
    GlobalUnlock(reinterpret_cast<HGLOBAL>(Drop));
    return Wide;
}

} // namespace

TFileDrop::TFileDrop(HDROP ADropHandle, bool AAutoFinish)
    : DropHandle(ADropHandle), AutoFinish(AAutoFinish) {}

TFileDrop::~TFileDrop() {
    if (AutoFinish)
        Finish();
}

std::int32_t TFileDrop::GetCount() {
    CheckNotFinished();
    return static_cast<std::int32_t>(DragQueryFileA(DropHandle, CountQuery, nullptr, 0));
}

std::string TFileDrop::GetPath(std::int32_t Index) {
    CheckNotFinished();
    if (Index < 0 || Index >= GetCount())
        throw EShellError("The program cannot get the path of the dropped file.");
    const UINT Item = static_cast<UINT>(Index);
    // A wide name goes through our own conversion: the shell's ANSI query
    // would turn a character that the code page lacks into a look-alike
    // letter, which can name another file.
    if (IsWideDrop(DropHandle)) {
        std::wstring Wide(DragQueryFileW(DropHandle, Item, nullptr, 0), L'\0');
        Wide.resize(DragQueryFileW(DropHandle, Item, &Wide[0], static_cast<UINT>(Wide.size() + 1)));
        return Vek_codepage::FromWide(Wide);
    }
    std::string Path(DragQueryFileA(DropHandle, Item, nullptr, 0), '\0');
    // The string's own terminator takes the zero the shell writes after the path.
    Path.resize(DragQueryFileA(DropHandle, Item, &Path[0], static_cast<UINT>(Path.size() + 1)));
    return Path;
}

void TFileDrop::GetPaths(Base_stringlist::TStringList& List) {
    Vek_autopointer::TAutoPointer<Base_stringlist::TStringList> Paths =
        std::make_unique<Base_stringlist::TStringList>();
    Paths->SetCapacity(GetCount());
    for (std::int32_t Index = 0; Index < GetCount(); ++Index)
        Paths->Add(GetPath(Index));
    List.Assign(*Paths);
}

void TFileDrop::Finish() {
    if (IsFinished())
        return;
    DragFinish(DropHandle);
    DropHandle = nullptr;
}

bool TFileDrop::IsFinished() const {
    return DropHandle == nullptr;
}

void TFileDrop::CheckNotFinished() {
    if (IsFinished())
        throw EShellError("The file drop has been already finished.");
}

} // namespace Vek_shell
