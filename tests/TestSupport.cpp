#include "TestSupport.h"

#include <commctrl.h>
#include <shlobj.h>

#include "engine/Engine_catalog.h"
#include "engine/Engine_lock.h"
#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "vek/Vek_file.h"
#include "vek/Vek_hash.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <stdexcept>

namespace TestSupport {

void TApplicationEnvironment::SetUp() {
    Gui_application::Application().Initialize(GetModuleHandleA(nullptr));
    Gui_application::Application().SetTitle("Tovel Bin");
}

std::string ExeDirectory() {
    char Buffer[MAX_PATH * 4];
    const DWORD Length = GetModuleFileNameA(nullptr, Buffer, sizeof Buffer);
    std::string Path(Buffer, Length);
    return Path.substr(0, Path.find_last_of('\\') + 1);
}

TTempDir::TTempDir(const std::string& Parent) {
    std::string Base = Parent;
    if (Base.empty()) {
        char Buffer[MAX_PATH];
        Base.assign(Buffer, GetTempPathA(sizeof Buffer, Buffer));
    }
    if (!Base.empty() && Base.back() == '\\')
        Base.pop_back();
    static std::atomic<unsigned> Counter{0};
    for (;;) {
        FPath = Base + "\\tovel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(Counter++);
        if (CreateDirectoryA(FPath.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create the temporary directory " + FPath);
    }
}

TTempDir::~TTempDir() {
    RemoveTree(FPath);
}

void RemoveTree(const std::string& Path) {
    WIN32_FIND_DATAA Data;
    HANDLE Find = FindFirstFileA((Path + "\\*").c_str(), &Data);
    if (Find != INVALID_HANDLE_VALUE) {
        do {
            const std::string Name = Data.cFileName;
            if (Name == "." || Name == "..")
                continue;
            const std::string Child = Path + "\\" + Name;
            if (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(Child);
            } else {
                SetFileAttributesA(Child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(Child.c_str());
            }
        } while (FindNextFileA(Find, &Data));
        FindClose(Find);
    }
    SetFileAttributesA(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(Path.c_str());
}

void WriteFile(const std::string& Path, const std::string& Bytes) {
    HANDLE File = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + Path);
    DWORD Written = 0;
    ::WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Written, nullptr);
    CloseHandle(File);
    if (Written != Bytes.size())
        throw std::runtime_error("cannot write " + Path);
}

std::string ReadFile(const std::string& Path) {
    HANDLE File = CreateFileA(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + Path);
    std::string Bytes(GetFileSize(File, nullptr), '\0');
    DWORD Read = 0;
    ::ReadFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Read, nullptr);
    CloseHandle(File);
    Bytes.resize(Read);
    return Bytes;
}

bool Exists(const std::string& Path) {
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

void ListInto(const std::string& Root, const std::string& Prefix, std::vector<std::string>& Out) {
    // Prefix is empty or ends in a backslash.
    const std::string Directory =
        Prefix.empty() ? Root : Root + "\\" + Prefix.substr(0, Prefix.size() - 1);
    Vek_file::ListDirectory(Directory, [&](const Vek_file::TFindData& Data) {
        const std::string& Name = Data.Name;
        if (Data.IsDirectory()) {
            Out.push_back(Prefix + Name + "\\");
            ListInto(Root, Prefix + Name + "\\", Out);
        } else {
            Out.push_back(Prefix + Name);
        }
    });
}

} // namespace

std::vector<std::string> ListTree(const std::string& Root) {
    std::vector<std::string> Out;
    ListInto(Root, std::string(), Out);
    std::sort(Out.begin(), Out.end());
    return Out;
}

namespace {

void PrintInto(const std::string& Directory, std::vector<std::string>& Out) {
    Vek_file::ListDirectory(Directory, [&](const Vek_file::TFindData& Data) {
        const std::string& Name = Data.Name;
        const std::string Path = Directory + "\\" + Name;
        if (Data.IsDirectory()) {
            PrintInto(Path, Out);
            return;
        }
        if (Engine_record::IsRecordFile(Name) || Engine_catalog::IsCatalogFile(Name))
            return;
        const std::string Bytes = ReadFile(Path);
        Out.push_back(Name + "|" + std::to_string(Bytes.size()) + "|" +
                      Vek_hash::HashData(Bytes.data(), static_cast<std::int32_t>(Bytes.size())));
    });
}

} // namespace

std::vector<std::string> FilePrint(const std::vector<std::string>& Roots) {
    std::vector<std::string> Out;
    for (const std::string& Root : Roots)
        PrintInto(Root, Out);
    std::sort(Out.begin(), Out.end());
    return Out;
}

std::string LongPath(const std::string& Path) {
    char Buffer[MAX_PATH * 4];
    const DWORD Length = GetLongPathNameA(Path.c_str(), Buffer, sizeof Buffer);
    return Length ? std::string(Buffer, Length) : Path;
}

std::string InEntry(const std::string& Entry, const std::string& Source) {
    return Entry + "\\" + Source.substr(0, 1) + Source.substr(2);
}

std::string WindowText(HWND Window) {
    char Buffer[4096];
    const int Length = GetWindowTextA(Window, Buffer, sizeof Buffer);
    return std::string(Buffer, Length > 0 ? Length : 0);
}

std::string ClassName(HWND Window) {
    char Buffer[256];
    const int Length = GetClassNameA(Window, Buffer, sizeof Buffer);
    return std::string(Buffer, Length > 0 ? Length : 0);
}

std::string MessageBoxText(HWND Box) {
    std::string Longest;
    for (HWND Child = GetWindow(Box, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        if (_stricmp(ClassName(Child).c_str(), "Static") != 0)
            continue;
        const std::string Text = WindowText(Child);
        if (Text.size() > Longest.size())
            Longest = Text;
    }
    return Longest;
}

namespace {

BOOL CALLBACK FindTree(HWND Child, LPARAM Param) {
    if (ClassName(Child) != WC_TREEVIEWA)
        return TRUE;
    *reinterpret_cast<HWND*>(Param) = Child;
    return FALSE;
}

HWND BrowserTree(HWND Browser) {
    HWND Tree = nullptr;
    EnumChildWindows(Browser, FindTree, reinterpret_cast<LPARAM>(&Tree));
    return Tree;
}

std::string ItemText(HWND Tree, HTREEITEM Handle) {
    char Text[MAX_PATH] = "";
    TVITEMA Item{};
    Item.mask = TVIF_TEXT;
    Item.hItem = Handle;
    Item.pszText = Text;
    Item.cchTextMax = sizeof Text;
    if (!Handle || !SendMessageA(Tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Item)))
        return std::string();
    return Text;
}

HTREEITEM NextItem(HWND Tree, UINT Relation, HTREEITEM Item) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(Tree, TVM_GETNEXTITEM, Relation, reinterpret_cast<LPARAM>(Item)));
}

// As a click on the item's button does: the browser fills in its children.
void Expand(HWND Tree, HTREEITEM Item) {
    SendMessageA(Tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Item));
}

// The child of Parent, expanded first, whose text Match accepts.
template <class TMatch> HTREEITEM FindChild(HWND Tree, HTREEITEM Parent, TMatch Match) {
    Expand(Tree, Parent);
    for (HTREEITEM Item = NextItem(Tree, TVGN_CHILD, Parent); Item;
         Item = NextItem(Tree, TVGN_NEXT, Item)) {
        if (Match(ItemText(Tree, Item)))
            return Item;
    }
    return nullptr;
}

std::vector<std::string> PathNames(const std::string& Path) {
    std::vector<std::string> Names;
    std::size_t Start = 0;
    for (std::size_t End; (End = Path.find('\\', Start)) != std::string::npos; Start = End + 1)
        Names.push_back(Path.substr(Start, End - Start));
    Names.push_back(Path.substr(Start));
    return Names;
}

// The item of the folder Path, found the way a user finds it: below the
// tree's root, the item that holds the drive (shown as "label (C:)"), then
// one folder name after another.
HTREEITEM FindFolderItem(HWND Tree, const std::string& Path) {
    const std::vector<std::string> Names = PathNames(Path);
    const std::string DriveMark = "(" + Names.front() + ")";
    const auto IsDrive = [&DriveMark](const std::string& Text) {
        return Text.size() >= DriveMark.size() &&
               _stricmp(Text.c_str() + Text.size() - DriveMark.size(), DriveMark.c_str()) == 0;
    };
    const HTREEITEM Root = NextItem(Tree, TVGN_ROOT, nullptr);
    HTREEITEM Item = nullptr;
    Expand(Tree, Root);
    for (HTREEITEM Top = NextItem(Tree, TVGN_CHILD, Root); Top && !Item;
         Top = NextItem(Tree, TVGN_NEXT, Top))
        Item = FindChild(Tree, Top, IsDrive);
    for (std::size_t Index = 1; Item && Index < Names.size(); ++Index) {
        if (Names[Index].empty())
            continue;
        Item = FindChild(Tree, Item, [&](const std::string& Text) {
            return _stricmp(Text.c_str(), Names[Index].c_str()) == 0;
        });
    }
    return Item;
}

bool WaitFor(const std::function<bool()>& Done, DWORD Timeout = 10000) {
    const DWORD Start = GetTickCount();
    while (!Done()) {
        if (GetTickCount() - Start > Timeout)
            return false;
        Sleep(10);
    }
    return true;
}

// The browser's message loop has handled a message posted now. That loop
// starts only after the browser's start-up (its tree filled and its own
// first selection made), which a message sent from here could still run
// into the middle of.
bool BrowserSettled(HWND Tree) {
    // The tree keeps its scroll time between 1 and 100 ms: a new one is the marker.
    const auto Before = static_cast<WPARAM>(SendMessageA(Tree, TVM_GETSCROLLTIME, 0, 0));
    const WPARAM Marker = Before == 42 ? 43 : 42;
    PostMessageA(Tree, TVM_SETSCROLLTIME, Marker, 0);
    return WaitFor(
        [&] { return static_cast<WPARAM>(SendMessageA(Tree, TVM_GETSCROLLTIME, 0, 0)) == Marker; });
}

} // namespace

std::string ListViewCell(HWND List, int Row, int Column) {
    char Text[512] = "";
    LVITEMA Item{};
    Item.iSubItem = Column;
    Item.pszText = Text;
    Item.cchTextMax = sizeof Text;
    SendMessageA(List, LVM_GETITEMTEXTA, Row, reinterpret_cast<LPARAM>(&Item));
    return Text;
}

std::string TrashDirectory() {
    const char* DataHome = std::getenv("XDG_DATA_HOME");
    if (DataHome && DataHome[0] == '/') {
        std::string Path = std::string("Z:") + DataHome;
        std::replace(Path.begin(), Path.end(), '/', '\\');
        return Path + "\\Trash";
    }
    const char* Home = std::getenv("WINEHOMEDIR");
    std::string Path = Home ? Home : "";
    if (Path.rfind("\\??\\", 0) == 0)
        Path.erase(0, 4);
    return Path.empty() ? std::string() : Path + "\\.local\\share\\Trash";
}

// Chooses once, in the tree by its items, when the browser has settled, and
// checks that the selection took; a browser that shows another folder fails
// the test at once instead of being asked again.
bool WaitForBrowser(HWND Browser) {
    HWND Tree = nullptr;
    return WaitFor([&] { return (Tree = BrowserTree(Browser)) != nullptr; }) &&
           BrowserSettled(Tree);
}

void SelectFolder(HWND Browser, const std::string& Path) {
    if (!WaitForBrowser(Browser)) {
        ADD_FAILURE() << "the folder browser did not come up to select " << Path;
        return;
    }
    const HWND Tree = BrowserTree(Browser);
    const HTREEITEM Item = FindFolderItem(Tree, Path);
    if (!Item) {
        ADD_FAILURE() << "the folder browser's tree holds no item for " << Path;
        return;
    }
    // The browser takes the new selection as it is made: the tree tells it at once.
    SendMessageA(Tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Item));
    if (NextItem(Tree, TVGN_CARET, nullptr) != Item)
        ADD_FAILURE() << "the folder browser did not select " << Path;
}

void SettleFolderTimes(const std::string& Path) {
    for (std::size_t End = Path.find('\\'); End != std::string::npos;
         End = Path.find('\\', End + 1)) {
        WIN32_FIND_DATAA Data;
        HANDLE Find = FindFirstFileA((Path.substr(0, End + 1) + "*").c_str(), &Data);
        if (Find != INVALID_HANDLE_VALUE)
            FindClose(Find);
    }
    WIN32_FIND_DATAA Data;
    HANDLE Find = FindFirstFileA((Path + "\\*").c_str(), &Data);
    if (Find != INVALID_HANDLE_VALUE)
        FindClose(Find);
}

void PressButton(HWND Dialog, int Id) {
    PostMessageA(Dialog, WM_COMMAND, MAKEWPARAM(Id, BN_CLICKED), 0);
}

TDialogWatcher::TDialogWatcher(std::function<void(HWND Dialog)> Handle)
    : FHandle(std::move(Handle)), FThread([this] { Watch(); }) {}

TDialogWatcher::~TDialogWatcher() {
    FStop = true;
    FThread.join();
}

namespace {

BOOL CALLBACK CollectDialog(HWND Window, LPARAM Param) {
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    if (Process == GetCurrentProcessId() && IsWindowVisible(Window) &&
        ClassName(Window) == "#32770")
        reinterpret_cast<std::vector<HWND>*>(Param)->push_back(Window);
    return TRUE;
}

} // namespace

void TDialogWatcher::Watch() {
    std::set<HWND> Seen;
    while (!FStop) {
        std::vector<HWND> Dialogs;
        EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&Dialogs));
        for (HWND Dialog : Dialogs) {
            if (Seen.insert(Dialog).second)
                FHandle(Dialog);
        }
        // Forget windows that are gone, so that a recycled handle counts as new.
        for (auto It = Seen.begin(); It != Seen.end();)
            It = IsWindow(*It) ? std::next(It) : Seen.erase(It);
        Sleep(20);
    }
}

TBoxRecorder::TBoxRecorder(int Answer)
    : FWatcher([this, Answer](HWND Box) {
          {
              std::lock_guard<std::mutex> Guard(FLock);
              FBoxes.push_back(WindowText(Box) + "|" + MessageBoxText(Box));
          }
          PressButton(Box, Answer);
      }) {}

std::vector<std::string> TBoxRecorder::Boxes() const {
    std::lock_guard<std::mutex> Guard(FLock);
    return FBoxes;
}

std::vector<std::string> OurBoxes(const std::vector<std::string>& Boxes) {
    const std::string Caption = "Tovel Bin|";
    std::vector<std::string> Texts;
    for (const std::string& Box : Boxes) {
        if (Box.compare(0, Caption.size(), Caption) == 0)
            Texts.push_back(Box.substr(Caption.size()));
    }
    return Texts;
}

namespace {

HWND CreateTopLevel(const char* Title) {
    return CreateWindowExA(0, "STATIC", Title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

} // namespace

TProgramWindows::TProgramWindows()
    : FMain(CreateTopLevel("Main")), FOther(CreateTopLevel("Other")) {
    Gui_application::Application().SetMainWindow(FMain);
}

TProgramWindows::~TProgramWindows() {
    Gui_application::Application().SetMainWindow(nullptr);
    DestroyWindow(FOther);
    DestroyWindow(FMain);
}

THeldKey::THeldKey(HWND Dialog, int Key)
    : FThread(GetWindowThreadProcessId(Dialog, nullptr)), FKey(Key) {
    AttachThreadInput(GetCurrentThreadId(), FThread, TRUE);
    Set(0x80);
}

THeldKey::~THeldKey() {
    Set(0);
    AttachThreadInput(GetCurrentThreadId(), FThread, FALSE);
}

void THeldKey::Set(BYTE State) {
    BYTE Keys[256] = {};
    GetKeyboardState(Keys);
    Keys[FKey] = State;
    SetKeyboardState(Keys);
}

namespace {

BOOL CALLBACK FindMenu(HWND Window, LPARAM Param) {
    if (!IsWindowVisible(Window) || ClassName(Window) != "#32768")
        return TRUE;
    *reinterpret_cast<HWND*>(Param) = Window;
    return FALSE;
}

} // namespace

std::string TakeContextMenu(HWND Dialog, int Choose) {
    HWND Menu = nullptr;
    if (!PumpUntil(
            [&] {
                EnumThreadWindows(GetWindowThreadProcessId(Dialog, nullptr), FindMenu,
                                  reinterpret_cast<LPARAM>(&Menu));
                return Menu != nullptr;
            },
            15000))
        return "no menu";
    const auto Items = reinterpret_cast<HMENU>(SendMessageA(Menu, MN_GETHMENU, 0, 0));
    std::string Texts;
    for (int Index = 0; Index < GetMenuItemCount(Items); ++Index) {
        char Text[64] = "";
        GetMenuStringA(Items, static_cast<UINT>(Index), Text, sizeof Text, MF_BYPOSITION);
        const bool Grey = GetMenuState(Items, static_cast<UINT>(Index), MF_BYPOSITION) & MF_GRAYED;
        Texts += std::string(Texts.empty() ? "" : "|") + (Grey ? "-" : "") + Text;
    }
    for (int Down = 0; Down <= Choose; ++Down)
        PostMessageA(Menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(Menu, WM_KEYDOWN, Choose >= 0 ? VK_RETURN : VK_ESCAPE, 0);
    PumpUntil([&] { return !IsWindowVisible(Menu); }, 15000);
    return Texts;
}

bool PumpUntil(const std::function<bool()>& Done, DWORD Timeout) {
    const DWORD Start = GetTickCount();
    while (!Done()) {
        if (GetTickCount() - Start > Timeout)
            return false;
        MSG Message;
        while (PeekMessageA(&Message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&Message);
            DispatchMessageA(&Message);
        }
        Sleep(5);
    }
    return true;
}

TLockedElsewhere::TLockedElsewhere(const std::string& EntryPath) {
    std::promise<bool> Taken;
    std::future<bool> Held = Taken.get_future();
    FHolder = std::thread([this, EntryPath, &Taken] {
        std::future<void> Release = FRelease.get_future();
        Engine_lock::TEntryLocks Locks;
        Taken.set_value(Locks.TryLock(EntryPath));
        Release.wait();
    });
    if (!Held.get())
        ADD_FAILURE() << "the lock of " << EntryPath << " is taken already";
}

TLockedElsewhere::~TLockedElsewhere() {
    FRelease.set_value();
    FHolder.join();
}

} // namespace TestSupport
