#include "App_mainform.h"

#include "base/Base_handoff.h"
#include "gui/Gui_application.h"
#include "gui/Gui_dpi.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_shell.h"
#include "vek/Vek_string.h"

#include <shellapi.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace App_mainform {

using Base_system::TObject;
using Gui_application::Application;

TAppMainForm* AppMainForm = nullptr;

namespace {

const char FormClassName[] = "TAppMainForm";
const char PanelClassName[] = "TAppMainFormPanel";
const char Caption[] = "Tovel Bin";
const char Quote = '"';
// Posted by the start-up's clean-up once its thread has ended; both
// parameters 0.
const UINT CleanUpMessage = WM_APP;
// Posted whenever a hand-over waits and the window may have come free;
// both parameters 0.
const UINT HandedPathsMessage = WM_APP + 1;
// How long and how often a second start looks for the window of a copy that
// has only just started (several starting at once take their time).
const DWORD WindowWait = 3000;
const DWORD WindowPoll = 50;

const DWORD FormStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;

// The layout is drawn at 120 pixels per inch; every size follows the DPI of
// the window, which is its monitor's where the system tells them apart.
const int DesignDpi = 120;
const int DesignClientWidth = 241;
const int DesignClientHeight = 76;
const int DesignToolBarHeight = 24;
const int DesignPanelHeight = 26;
const int DesignLabelHeight = 26;
const int DesignStatusBarHeight = 26;
const int DesignLabelIndent = 5;
const int ToolBarSeparatorWidth = 8;
const COLORREF ToolImageMask = RGB(255, 0, 255);

// The toolbar's images are drawn at each of these sizes; 16 is the size at
// the system's 100 %.
const int ToolImageSize = 16;
const struct {
    int Size;
    int ResourceId;
} ToolImageSets[] = {
    {16, IDB_TOOLBAR16}, {20, IDB_TOOLBAR20}, {24, IDB_TOOLBAR24}, {32, IDB_TOOLBAR32}};
// The room around an image in its button, at 100 %.
const int ToolButtonPaddingX = 7;
const int ToolButtonPaddingY = 6;

int ToolImageSizeAt(int Dpi) {
    std::vector<int> Sizes;
    for (const auto& Set : ToolImageSets)
        Sizes.push_back(Set.Size);
    return Gui_dpi::PickImageSize(Sizes, ToolImageSize, Dpi);
}

int ToolImageResource(int Size) {
    for (const auto& Set : ToolImageSets) {
        if (Set.Size == Size)
            return Set.ResourceId;
    }
    return IDB_TOOLBAR16;
}

int WindowHeight(HWND Window) {
    RECT Bounds;
    GetWindowRect(Window, &Bounds);
    return Bounds.bottom - Bounds.top;
}

int ClientWidth(HWND Window) {
    RECT Client;
    GetClientRect(Window, &Client);
    return Client.right;
}

TBBUTTON ToolButton(int Image, int Command, BYTE Style) {
    TBBUTTON Button{};
    Button.iBitmap = Image;
    Button.idCommand = Command;
    Button.fsState = Style == BTNS_SEP ? 0 : TBSTATE_ENABLED;
    Button.fsStyle = Style;
    return Button;
}

const char* ToolTipOf(int Command) {
    switch (Command) {
    case IDM_BIN_PUT_REGULAR_FILES:
        return "Put regular files";
    case IDM_BIN_EXPLORE:
        return "Explore";
    case IDM_BIN_TAKE_BACK_LAST_PUT:
        return "Take back last put";
    case IDM_BIN_ENTRIES:
        return "Entries";
    case IDM_BIN_CLEAN_UP:
        return "Clean up";
    case IDM_BIN_PROPS:
        return "Properties";
    default:
        return nullptr;
    }
}

} // namespace

// Panel1: a plain child that holds Label1 and keeps it as wide as itself.
class TCenterPanel : public Gui_window::TWindow {
public:
    TCenterPanel(HWND Parent, int Width, int Height) {
        TCreateParams Params;
        Params.ClassName = PanelClassName;
        Params.Style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        Params.Parent = Parent;
        Params.Menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_PANEL));
        Params.Bounds = RECT{0, 0, Width, Height};
        CreateHandle(Params);
    }
    // Label1 spans the panel, a little indented so its text does not touch
    // the window's frame.
    void SetLabel(HWND Label, int Indent, int Height) {
        FLabel = Label;
        FIndent = Indent;
        FLabelHeight = Height;
        ArrangeLabel();
    }

protected:
    LRESULT WndProc(UINT Message, WPARAM WParam, LPARAM LParam) override {
        if (Message == WM_SIZE)
            ArrangeLabel();
        return TWindow::WndProc(Message, WParam, LParam);
    }

private:
    void ArrangeLabel() {
        if (!FLabel)
            return;
        RECT Client;
        GetClientRect(Handle(), &Client);
        SetWindowPos(FLabel, nullptr, FIndent, 0,
                     std::max(0, static_cast<int>(Client.right) - FIndent), FLabelHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND FLabel = nullptr;
    int FIndent = 0;
    int FLabelHeight = 0;
};

namespace {

struct TFormSearch {
    const std::string* InstanceName;
    HWND Found;
};

// A main window of this program, marked with the folder's instance name.
BOOL CALLBACK FindMarkedForm(HWND Window, LPARAM Param) {
    auto& Search = *reinterpret_cast<TFormSearch*>(Param);
    char ClassName[sizeof FormClassName + 1] = {};
    if (GetClassNameA(Window, ClassName, sizeof ClassName) > 0 &&
        lstrcmpA(ClassName, FormClassName) == 0 &&
        GetPropA(Window, Search.InstanceName->c_str()) != nullptr) {
        Search.Found = Window;
        return FALSE;
    }
    return TRUE;
}

HWND FindRunningForm(const std::string& InstanceName) {
    TFormSearch Search{&InstanceName, nullptr};
    EnumWindows(FindMarkedForm, reinterpret_cast<LPARAM>(&Search));
    return Search.Found;
}

} // namespace

std::string DefaultSettingsFileName() {
    return Vek_file::ExtractDirectoryPath(Application().ExeName()) + "Settings.ini";
}

TAppMainForm::TAppMainForm() : TAppMainForm(DefaultSettingsFileName()) {}

TAppMainForm::TAppMainForm(const std::string& SettingsFileName) {
    CreateForm();
    InitializeForm(SettingsFileName);
}

bool HandToRunningCopy(const std::string& InstanceName, const std::vector<std::string>& Paths) {
    std::vector<std::u16string> Units;
    for (const std::string& Path : Paths) {
        const std::wstring Wide = Vek_codepage::ToWide(Path);
        Units.emplace_back(Wide.begin(), Wide.end());
    }
    const DWORD Start = GetTickCount();
    std::string Block;
    try {
        Block = Base_handoff::PackPaths(Units, Start);
    } catch (const Base_system::Exception&) {
        return false;
    }
    // A copy that has just taken the instance makes its window a moment
    // later; the whole hand-over has the time of one answer.
    HWND Window = FindRunningForm(InstanceName);
    while (!Window && GetTickCount() - Start < WindowWait) {
        Sleep(WindowPoll);
        Window = FindRunningForm(InstanceName);
    }
    if (!Window)
        return false;
    // The running copy comes to the front for the put, as it does for a drop.
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    AllowSetForegroundWindow(Process);
    COPYDATASTRUCT Data{};
    Data.dwData = Base_handoff::PathsKind;
    Data.cbData = static_cast<DWORD>(Block.size());
    Data.lpData = &Block[0];
    const DWORD Spent = GetTickCount() - Start;
    DWORD_PTR Answer = FALSE;
    return Spent < Base_handoff::TakeWithin &&
           SendMessageTimeoutA(Window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, Base_handoff::AnswerWithin - Spent,
                               &Answer) != 0 &&
           Answer == TRUE;
}

TAppMainForm::~TAppMainForm() {
    FinalizeForm();
    if (FIdleHooked)
        Application().OnIdle = nullptr;
    if (!FInstanceName.empty())
        RemovePropA(Handle(), FInstanceName.c_str());
    // The controls go before the font and images they show.
    if (Handle())
        DestroyWindow(Handle());
}

HWND TAppMainForm::Panel1() const {
    return FPanel1->Handle();
}

int TAppMainForm::Scale(int DesignSize) const {
    return MulDiv(DesignSize, FDpi, DesignDpi);
}

// The window's outer bounds for the design's client area, at a DPI.
RECT TAppMainForm::DesignBounds(int Dpi) {
    const RECT Client{0, 0, MulDiv(DesignClientWidth, Dpi, DesignDpi),
                      MulDiv(DesignClientHeight, Dpi, DesignDpi)};
    return Gui_dpi::WindowBoundsForClient(Client, FormStyle, 0, true, Dpi);
}

void TAppMainForm::CreateForm() {
    // Sized for the system's DPI: the window's own is known once it exists.
    RECT Bounds = DesignBounds(Gui_dpi::SystemDpi());

    HMENU Menu = LoadMenuA(Application().Instance(), MAKEINTRESOURCEA(IDR_MAINMENU));
    if (!Menu)
        throw Base_system::Exception("The program could not create a window.");
    TCreateParams Params;
    Params.ClassName = FormClassName;
    Params.Style = FormStyle;
    Params.Caption = Caption;
    Params.Menu = Menu;
    // The system places the window; only its size is ours.
    Params.Bounds = RECT{static_cast<LONG>(CW_USEDEFAULT), 0, Bounds.right - Bounds.left,
                         Bounds.bottom - Bounds.top};
    Params.Icon = LoadIconA(Application().Instance(), MAKEINTRESOURCEA(IDI_APP));
    try {
        CreateHandle(Params);
    } catch (...) {
        DestroyMenu(Menu);
        throw;
    }
    FDpi = Gui_dpi::WindowDpi(Handle());
    Bounds = DesignBounds(FDpi);
    SetWindowPos(Handle(), nullptr, 0, 0, Bounds.right - Bounds.left, Bounds.bottom - Bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The small icon drawn for its size rather than shrunk from the large one.
    const auto SmallIcon =
        LoadImageA(Application().Instance(), MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIcon));

    CreateToolBar();
    CreateCenterPanel();
    CreateStatusBar();
    ApplyDpi();
    StackBars();
    Application().SetAccelerators(
        LoadAcceleratorsA(Application().Instance(), MAKEINTRESOURCEA(IDR_ACCELERATORS)));
}

void TAppMainForm::CreateToolBar() {
    // The window places and sizes the bar itself (CCS_NORESIZE,
    // CCS_NOPARENTALIGN), so that hiding and showing keeps the bars' order.
    FToolBar1 = CreateWindowExA(
        0, TOOLBARCLASSNAMEA, "",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
            CCS_NORESIZE | CCS_NOPARENTALIGN,
        0, 0, 0, 0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_TOOLBAR)),
        Application().Instance(), nullptr);
    if (!FToolBar1)
        throw Base_system::Exception("The program could not create a window.");
    SendMessageA(FToolBar1, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // In the order of the Bin menu; each button carries its menu item's
    // command, which is never greyed, so no button is either.
    TBBUTTON Buttons[] = {ToolButton(0, IDM_BIN_PUT_REGULAR_FILES, BTNS_BUTTON),
                          ToolButton(1, IDM_BIN_EXPLORE, BTNS_BUTTON),
                          ToolButton(ToolBarSeparatorWidth, 0, BTNS_SEP),
                          ToolButton(3, IDM_BIN_TAKE_BACK_LAST_PUT, BTNS_BUTTON),
                          ToolButton(4, IDM_BIN_ENTRIES, BTNS_BUTTON),
                          ToolButton(5, IDM_BIN_CLEAN_UP, BTNS_BUTTON),
                          ToolButton(ToolBarSeparatorWidth, 0, BTNS_SEP),
                          ToolButton(2, IDM_BIN_PROPS, BTNS_BUTTON)};
    SendMessageA(FToolBar1, TB_ADDBUTTONSA, sizeof Buttons / sizeof Buttons[0],
                 reinterpret_cast<LPARAM>(Buttons));
}

void TAppMainForm::CreateCenterPanel() {
    FPanel1 = std::make_unique<TCenterPanel>(Handle(), 0, 0);
    // No prefix: an entry name may hold "&" and must show it as it is.
    FLabel1 = CreateWindowExA(
        0, "STATIC", "Next: Tovel #0000",
        WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX | SS_ENDELLIPSIS, 0, 0, 0, 0,
        FPanel1->Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_LABEL)),
        Application().Instance(), nullptr);
    if (!FLabel1)
        throw Base_system::Exception("The program could not create a window.");
}

void TAppMainForm::CreateStatusBar() {
    FStatusBar1 = CreateWindowExA(
        0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 0, 0,
        0, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MAIN_STATUSBAR)),
        Application().Instance(), nullptr);
    if (!FStatusBar1)
        throw Base_system::Exception("The program could not create a window.");
    SendMessageA(FStatusBar1, SB_SIMPLE, TRUE, 0);
    HandlerStatus(this, std::string());
}

// Everything drawn at the window's DPI: the font of the label and the status
// line, the toolbar's images and buttons, and the heights of the bars.
void TAppMainForm::ApplyDpi() {
    const LOGFONTW Font = Gui_dpi::MessageFont(FDpi);
    TFontPtr NewFont(CreateFontIndirectW(&Font));
    for (HWND Control : {FLabel1, FStatusBar1})
        SendMessageA(Control, WM_SETFONT, reinterpret_cast<WPARAM>(NewFont.get()), TRUE);
    // The old font goes only now that no control shows it.
    FFont = std::move(NewFont);

    LoadToolImages();
    const UINT Flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
    const int Width = ClientWidth(Handle());
    SetWindowPos(FPanel1->Handle(), nullptr, 0, 0, Width, Scale(DesignPanelHeight), Flags);
    FPanel1->SetLabel(FLabel1, Scale(DesignLabelIndent), Scale(DesignLabelHeight));
    SetWindowPos(FStatusBar1, nullptr, 0, 0, Width, Scale(DesignStatusBarHeight), Flags);
}

// The images drawn for the window's DPI, with the buttons sized around them
// and the bar never lower than its buttons.
void TAppMainForm::LoadToolImages() {
    const int Size = ToolImageSizeAt(FDpi);
    TImageListPtr Images(ImageList_Create(Size, Size, ILC_COLOR24 | ILC_MASK, 6, 0));
    HBITMAP Strip = static_cast<HBITMAP>(LoadImageA(Application().Instance(),
                                                    MAKEINTRESOURCEA(ToolImageResource(Size)),
                                                    IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ImageList_AddMasked(Images.get(), Strip, ToolImageMask);
    DeleteObject(Strip);

    const int PaddingX = MulDiv(ToolButtonPaddingX, FDpi, Gui_dpi::DefaultDpi);
    const int PaddingY = MulDiv(ToolButtonPaddingY, FDpi, Gui_dpi::DefaultDpi);
    SendMessageA(FToolBar1, TB_SETPADDING, 0, MAKELPARAM(PaddingX, PaddingY));
    SendMessageA(FToolBar1, TB_SETBITMAPSIZE, 0, MAKELPARAM(Size, Size));
    SendMessageA(FToolBar1, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images.get()));
    SendMessageA(FToolBar1, TB_SETBUTTONSIZE, 0, MAKELPARAM(Size + PaddingX, Size + PaddingY));
    // The bar has let go of the old images.
    FImageList1 = std::move(Images);

    const int ButtonHeight = HIWORD(SendMessageA(FToolBar1, TB_GETBUTTONSIZE, 0, 0));
    SetWindowPos(FToolBar1, nullptr, 0, 0, ClientWidth(Handle()),
                 std::max(Scale(DesignToolBarHeight), ButtonHeight + 2),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(FToolBar1, nullptr, TRUE);
}

// The window went to a monitor of another DPI, or its monitor's DPI changed:
// all is drawn anew at the new DPI, the window takes the bounds the system
// suggests for it, and its height fits the bars again.
void TAppMainForm::MoveToDpi(int Dpi, const RECT& Suggested) {
    FDpi = Dpi;
    ApplyDpi();
    SetWindowPos(Handle(), nullptr, Suggested.left, Suggested.top, Suggested.right - Suggested.left,
                 Suggested.bottom - Suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    FitHeightToBars();
}

void TAppMainForm::InitializeForm(const std::string& SettingsFileName) {
    try {
        FBinHandler = std::make_unique<App_binhandler::TBinHandler>();
        FBinHandler->OnStatus = [this](TObject* Sender, const std::string& Text) {
            HandlerStatus(Sender, Text);
        };
        FBinHandler->OnChange = [this](TObject* Sender) { BinHandlerChange(Sender); };
        FBinHandler->OnIndexStepped = [this](TObject*) { SaveIndex(); };
        BinHandlerChange(FBinHandler.get());

        FViewHandler = std::make_unique<App_viewhandler::TViewHandler>();
        FViewHandler->Form = Handle();
        FViewHandler->ToolBar = FToolBar1;
        FViewHandler->CenterPanel = FPanel1->Handle();
        FViewHandler->StatusBar = FStatusBar1;
        FViewHandler->OnStatus = [this](TObject* Sender, const std::string& Text) {
            HandlerStatus(Sender, Text);
        };
        FViewHandler->OnChange = [this](TObject* Sender) { ViewHandlerChange(Sender); };
        ViewHandlerChange(FViewHandler.get());

        FHelpHandler = std::make_unique<App_helphandler::THelpHandler>();
        FHelpHandler->OnStatus = [this](TObject* Sender, const std::string& Text) {
            HandlerStatus(Sender, Text);
        };
        FHelpHandler->OnChange = [this](TObject* Sender) { HelpHandlerChange(Sender); };
        HelpHandlerChange(FHelpHandler.get());

        FPendingPaths = std::make_unique<Base_stringlist::TStringList>();
        FPendingPaths->OnChange = [this](TObject* Sender) { PendingPathsChange(Sender); };

        DragAcceptFiles(Handle(), TRUE);
        FSettingsFileName = SettingsFileName;
        LoadSettingsFile();

        Application().OnIdle = [this](bool& Done) { ApplicationIdle(&Application(), Done); };
        FIdleHooked = true;
    } catch (...) {
        FinalizeForm();
        throw;
    }
}

void TAppMainForm::FinalizeForm() {
    FPendingPaths.reset();
    FHelpHandler.reset();
    FViewHandler.reset();
    FBinHandler.reset();
}

void TAppMainForm::HandlerStatus(TObject*, const std::string& Text) {
    // One line of text, without the sunken part frame of a multi-part bar.
    SendMessageA(FStatusBar1, SB_SETTEXTA, SB_SIMPLEID | SBT_NOBORDERS,
                 reinterpret_cast<LPARAM>(Text.c_str()));
}

void TAppMainForm::BinHandlerChange(TObject*) {
    const std::string Text = "Next: " + FBinHandler->Bin().EntryName().GetEntryName();
    SetWindowTextA(FLabel1, Text.c_str());
}

void TAppMainForm::ViewHandlerChange(TObject*) {
    SetChecked(ViewToolbarAc, FViewHandler->GetShowToolbar());
    SetChecked(ViewCenterPanelAc, FViewHandler->GetShowCenterPanel());
    SetChecked(ViewStatusBarAc, FViewHandler->GetShowStatusBar());
    SetChecked(ViewTopmostAc, FViewHandler->GetStayTopmost());
    FitHeightToBars();
}

// The Send To item names what it will do: add the shortcut, or remove it.
// It is looked up in its own drop-down: a search by command through the
// menu bar could also match a drop-down whose handle has that number.
void TAppMainForm::HelpHandlerChange(TObject*) {
    const char* Caption =
        FHelpHandler->IsInSendTo() ? "Remove from &Send To Menu" : "Add to &Send To Menu";
    const HMENU Bar = GetMenu(Handle());
    for (int Position = 0; Position < GetMenuItemCount(Bar); ++Position) {
        const HMENU DropDown = GetSubMenu(Bar, Position);
        MENUITEMINFOA Item{};
        Item.cbSize = sizeof Item;
        Item.fMask = MIIM_STRING;
        Item.dwTypeData = const_cast<char*>(Caption);
        if (DropDown && SetMenuItemInfoA(DropDown, IDM_HELP_SEND_TO, FALSE, &Item))
            return;
    }
}

void TAppMainForm::PendingPathsChange(TObject*) {
    if (FPendingPaths->Count() > 0)
        ExecuteAction(BinPutDroppedFilesAc);
}

void TAppMainForm::SetChecked(TAction& Action, bool Checked) {
    Action.Checked = Checked;
    CheckMenuItem(GetMenu(Handle()), Action.Command,
                  MF_BYCOMMAND | (Checked ? MF_CHECKED : MF_UNCHECKED));
}

void TAppMainForm::ExecuteAction(TAction& Action) {
    bool Handled = false;
    ActionList1Execute(Action, Handled);
}

void TAppMainForm::ActionList1Execute(TAction& Action, bool& Handled) {
    const Gui_application::THourglassCursor Hourglass;
    Handled = true;
    const TBusyScope Busy(*this);
    (this->*Action.OnExecute)(Action);
}

TAppMainForm::TBusyScope::TBusyScope(TAppMainForm& Form) : FForm(Form) {
    ++FForm.FRunning;
}

// A hand-over that came meanwhile goes on once the outer command has ended.
TAppMainForm::TBusyScope::~TBusyScope() {
    --FForm.FRunning;
    FForm.PostHandedPaths();
}

void TAppMainForm::AcceptHandedPaths(const std::string& InstanceName) {
    if (!SetPropA(Handle(), InstanceName.c_str(), reinterpret_cast<HANDLE>(1)))
        throw Base_system::Exception("The program could not create a window.");
    FInstanceName = InstanceName;
}

// A modal window disables the main window (Gui_application::TModalScope);
// the command line waits for the first idle moment.
bool TAppMainForm::IsBusy() const {
    return FRunning > 0 || FIdleHooked || !IsWindowEnabled(Handle());
}

void TAppMainForm::PostHandedPaths() {
    if (!FHandedPuts.empty())
        PostMessageA(Handle(), HandedPathsMessage, 0, 0);
}

// Sent by another process, which waits for the answer: the block is only
// checked and kept here; the put comes with a message of its own.
bool TAppMainForm::WMCopyData(const COPYDATASTRUCT& Data) {
    if (FInstanceName.empty() || Data.dwData != Base_handoff::PathsKind)
        return false;
    Base_handoff::THandOff HandOff;
    try {
        HandOff = Base_handoff::UnpackPaths(Data.lpData, Data.cbData);
    } catch (const Base_system::Exception&) {
        return false;
    }
    // A sender that stopped waiting has shown its message: nothing is put.
    if (!Base_handoff::IsInTime(HandOff.SentAt, GetTickCount()))
        return false;
    std::vector<std::string> Paths;
    for (const std::u16string& Path : HandOff.Paths)
        Paths.push_back(Vek_codepage::FromWide(std::wstring(Path.begin(), Path.end())));
    FHandedPuts.push_back(std::move(Paths));
    PostHandedPaths();
    return true;
}

void TAppMainForm::PutHandedPaths() {
    if (FHandedPuts.empty() || IsBusy())
        return;
    std::vector<std::string> Paths = std::move(FHandedPuts.front());
    FHandedPuts.pop_front();
    SetForegroundWindow(Handle());
    // As the command line's paths: one put, through the pending list.
    FPendingPaths->Assign(std::move(Paths));
}

void TAppMainForm::BinPutRegularFilesAcExecute(TAction&) {
    FBinHandler->PutRegularFiles();
}

void TAppMainForm::BinPutDirectoryAcExecute(TAction&) {
    FBinHandler->PutDirectory();
}

void TAppMainForm::BinPutImportPathsAcExecute(TAction&) {
    FBinHandler->PutImportPaths();
}

void TAppMainForm::BinPutDroppedFilesAcExecute(TAction&) {
    try {
        FBinHandler->PutDroppedFiles(*FPendingPaths);
    } catch (...) {
        FPendingPaths->Clear();
        throw;
    }
    FPendingPaths->Clear();
}

void TAppMainForm::BinExploreAcExecute(TAction&) {
    FBinHandler->Explore();
}

void TAppMainForm::BinPropsAcExecute(TAction&) {
    FBinHandler->EditProps();
}

void TAppMainForm::BinExitAcExecute(TAction&) {
    Close();
}

void TAppMainForm::ViewToolbarAcExecute(TAction&) {
    FViewHandler->SetShowToolbar(!FViewHandler->GetShowToolbar());
}

void TAppMainForm::ViewCenterPanelAcExecute(TAction&) {
    FViewHandler->SetShowCenterPanel(!FViewHandler->GetShowCenterPanel());
}

void TAppMainForm::ViewStatusBarAcExecute(TAction&) {
    FViewHandler->SetShowStatusBar(!FViewHandler->GetShowStatusBar());
}

void TAppMainForm::ViewTopmostAcExecute(TAction&) {
    FViewHandler->SetStayTopmost(!FViewHandler->GetStayTopmost());
}

void TAppMainForm::HelpContentsAcExecute(TAction&) {
    FHelpHandler->ShowContents(true);
}

void TAppMainForm::HelpAboutAcExecute(TAction&) {
    FHelpHandler->ShowAbout();
}

void TAppMainForm::BinTakeBackLastPutAcExecute(TAction&) {
    FBinHandler->TakeBackLastPut();
}

void TAppMainForm::BinEntriesAcExecute(TAction&) {
    FBinHandler->ShowEntries();
}

void TAppMainForm::BinCleanUpAcExecute(TAction&) {
    FBinHandler->ShowCleanUp();
}

void TAppMainForm::HelpSendToAcExecute(TAction&) {
    FHelpHandler->ToggleSendTo();
}

void TAppMainForm::Close() {
    bool CanClose = true;
    FormCloseQuery(this, CanClose);
    if (CanClose)
        DestroyWindow(Handle());
}

// A settings file that can never be written (a read-only directory, a
// directory in its place) must not hold the window open for good: the first
// failure is reported and keeps the window, so the user learns of it; a
// later request tries once more and closes whatever comes of it.
void TAppMainForm::FormCloseQuery(TObject*, bool&) {
    try {
        SaveSettingsFile();
    } catch (...) {
        if (FSaveFailed)
            return;
        FSaveFailed = true;
        throw;
    }
}

// The session ends whatever we answer; a box now would only hold up the
// shutdown, so the settings are saved as far as they can be, silently.
void TAppMainForm::QueryEndSession() {
    try {
        SaveSettingsFile();
    } catch (...) {
    }
}

void TAppMainForm::ApplicationIdle(TObject*, bool& Done) {
    // Unhooked first, so that a put that fails is not tried again.
    Application().OnIdle = nullptr;
    FIdleHooked = false;
    Done = true;
    // Handed paths wait for the command line's, also while a box is up here.
    const TBusyScope Busy(*this);
    // Told before the command line's put, which would be the last put then.
    try {
        FBinHandler->NoticeUnfinishedPuts();
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
    PutCommandLine();
    // After the command line's put, which is then the last put and stays.
    try {
        FBinHandler->StartCleanUp(Handle(), CleanUpMessage);
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
}

void TAppMainForm::CleanUpFinished() {
    const std::string Status = FBinHandler->FinishCleanUp();
    if (!Status.empty())
        HandlerStatus(this, Status);
}

void TAppMainForm::PutCommandLine() {
    std::vector<std::string> Arguments = Application().Arguments();
    if (Arguments.empty())
        return;
    FPendingPaths->Assign(std::move(Arguments));
}

void TAppMainForm::WMDropFiles(HDROP Drop) {
    Vek_shell::TFileDrop FileDrop(Drop, true);
    SetForegroundWindow(Handle());
    FileDrop.GetPaths(*FPendingPaths);
}

void TAppMainForm::FitHeightToBars() {
    RECT Bounds;
    GetWindowRect(Handle(), &Bounds);
    RECT Client;
    GetClientRect(Handle(), &Client);
    int Height = (Bounds.bottom - Bounds.top) - Client.bottom;
    for (HWND Child = GetWindow(Handle(), GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        if (App_viewhandler::IsControlVisible(Child))
            Height += WindowHeight(Child);
    }
    FMinHeight = Height;
    SetWindowPos(Handle(), nullptr, 0, 0, Bounds.right - Bounds.left, FMinHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    StackBars();
}

// The bars keep one order from the top, whichever was hidden or shown last.
void TAppMainForm::StackBars() {
    const int Width = ClientWidth(Handle());
    int Top = 0;
    for (HWND Bar : {FToolBar1, FPanel1 ? FPanel1->Handle() : nullptr, FStatusBar1}) {
        if (!Bar)
            continue;
        const int Height = WindowHeight(Bar);
        SetWindowPos(Bar, nullptr, 0, Top, Width, Height, SWP_NOZORDER | SWP_NOACTIVATE);
        if (App_viewhandler::IsControlVisible(Bar))
            Top += Height;
    }
}

void TAppMainForm::LoadSettingsFile() {
    if (!Vek_file::IsRegularFile(FSettingsFileName))
        return;
    try {
        Gui_inifile::TMemIniFile Ini(FSettingsFileName);
        ReadFormSettings(Ini);
        FBinHandler->LoadSettings(Ini);
        FViewHandler->LoadSettings(Ini);
        FHelpHandler->LoadSettings(Ini);
        FBinHandler->LoadEntriesDialogSettings(Ini);
        FBinHandler->LoadCleanUpSettings(Ini);
    } catch (...) {
        // A file that spoils the start is gone, so the next start has the
        // defaults; when even that fails, its own failure is the one told.
        Vek_file::DeleteRegularFile(FSettingsFileName);
        throw;
    }
}

void TAppMainForm::SaveSettingsFile() {
    try {
        WriteSettingsFile();
    } catch (...) {
        Vek_file::DeleteRegularFile(FSettingsFileName);
        throw;
    }
}

void TAppMainForm::WriteSettingsFile() {
    // Windows refuses to replace a read-only file, but not every file
    // system it reaches does: the user's read-only settings stay as they are.
    const DWORD Attributes = GetFileAttributesA(FSettingsFileName.c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_READONLY))
        throw Base_system::EStreamError("The program could not write the file.");
    Gui_inifile::TMemIniFile Ini(FSettingsFileName);
    Ini.Clear();
    WriteFormSettings(Ini);
    FBinHandler->SaveSettings(Ini);
    FViewHandler->SaveSettings(Ini);
    FHelpHandler->SaveSettings(Ini);
    FBinHandler->SaveEntriesDialogSettings(Ini);
    FBinHandler->SaveCleanUpSettings(Ini);
    Ini.UpdateFile();
}

// The whole file, as a close writes it. A put goes on when it cannot be
// written (a read-only file the user keeps as it is): the put itself never
// replaces anything in the bin, and the next close reports the failure.
void TAppMainForm::SaveIndex() {
    try {
        WriteSettingsFile();
    } catch (const Base_system::Exception&) {
    }
}

void TAppMainForm::ReadFormSettings(Gui_inifile::TCustomIniFile& Ini) {
    // A directory that is gone, or a value that is no quoted text (which
    // unquotes to nothing), leaves the last directory as it is.
    const std::string Directory = Vek_string::UnquoteText(
        Ini.ReadString("System", "CurrentDirectory",
                       Vek_string::QuoteText(Application().LastDirectory(), Quote)),
        Quote);
    if (Vek_file::IsDirectory(Directory))
        Application().SetLastDirectory(Directory);

    RECT Bounds = FormBounds();
    const int Width = Ini.ReadInteger("MainForm", "Width", Bounds.right - Bounds.left);
    SetWindowPos(Handle(), nullptr, 0, 0, Width, Bounds.bottom - Bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Bounds = FormBounds();
    const int Left = Ini.ReadInteger("MainForm", "Left", Bounds.left);
    SetWindowPos(Handle(), nullptr, Left, Bounds.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Bounds = FormBounds();
    const int Top = Ini.ReadInteger("MainForm", "Top", Bounds.top);
    SetWindowPos(Handle(), nullptr, Bounds.left, Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TAppMainForm::WriteFormSettings(Gui_inifile::TCustomIniFile& Ini) {
    Ini.WriteString("System", "CurrentDirectory",
                    Vek_string::QuoteText(Application().LastDirectory(), Quote));
    const RECT Bounds = FormBounds();
    Ini.WriteInteger("MainForm", "Width", Bounds.right - Bounds.left);
    Ini.WriteInteger("MainForm", "Left", Bounds.left);
    Ini.WriteInteger("MainForm", "Top", Bounds.top);
}

// A minimized window sits far off the screen; what counts is where it
// returns to. Its normal place is kept in work-area coordinates.
RECT TAppMainForm::FormBounds() const {
    RECT Bounds;
    if (!IsIconic(Handle())) {
        GetWindowRect(Handle(), &Bounds);
        return Bounds;
    }
    WINDOWPLACEMENT Placement{};
    Placement.length = sizeof Placement;
    GetWindowPlacement(Handle(), &Placement);
    Bounds = Placement.rcNormalPosition;
    MONITORINFO Monitor{};
    Monitor.cbSize = sizeof Monitor;
    if (GetMonitorInfoA(MonitorFromRect(&Bounds, MONITOR_DEFAULTTOPRIMARY), &Monitor))
        OffsetRect(&Bounds, Monitor.rcWork.left - Monitor.rcMonitor.left,
                   Monitor.rcWork.top - Monitor.rcMonitor.top);
    return Bounds;
}

TAppMainForm::TAction* TAppMainForm::FindMenuAction(int Command) {
    // BinPutDroppedFilesAc has no menu item: only the pending list starts it.
    for (TAction* Action :
         {&BinPutRegularFilesAc, &BinPutDirectoryAc, &BinPutImportPathsAc, &BinExploreAc,
          &BinPropsAc, &BinExitAc, &ViewToolbarAc, &ViewCenterPanelAc, &ViewStatusBarAc,
          &ViewTopmostAc, &HelpContentsAc, &HelpAboutAc, &BinTakeBackLastPutAc, &BinEntriesAc,
          &HelpSendToAc, &BinCleanUpAc}) {
        if (Action->Command == Command)
            return Action;
    }
    return nullptr;
}

// The toolbar asks for a button's tip as it is about to show.
bool TAppMainForm::ToolTipText(NMHDR& Header) {
    if (Header.code == TBN_GETINFOTIPA) {
        auto& Info = reinterpret_cast<NMTBGETINFOTIPA&>(Header);
        const char* Tip = ToolTipOf(Info.iItem);
        if (!Tip || Info.cchTextMax <= 0)
            return false;
        lstrcpynA(Info.pszText, Tip, Info.cchTextMax);
        return true;
    }
    if (Header.code == TBN_GETINFOTIPW) {
        auto& Info = reinterpret_cast<NMTBGETINFOTIPW&>(Header);
        const char* Tip = ToolTipOf(Info.iItem);
        if (!Tip || Info.cchTextMax <= 0)
            return false;
        MultiByteToWideChar(CP_ACP, 0, Tip, -1, Info.pszText, Info.cchTextMax);
        Info.pszText[Info.cchTextMax - 1] = L'\0';
        return true;
    }
    return false;
}

LRESULT TAppMainForm::WndProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_COMMAND:
        if (TAction* Action = FindMenuAction(LOWORD(WParam))) {
            ExecuteAction(*Action);
            return 0;
        }
        break;
    case WM_NOTIFY:
        if (ToolTipText(*reinterpret_cast<NMHDR*>(LParam)))
            return 0;
        break;
    case WM_DROPFILES:
        WMDropFiles(reinterpret_cast<HDROP>(WParam));
        return 0;
    case CleanUpMessage:
        try {
            CleanUpFinished();
        } catch (...) {
            Application().HandleException(std::current_exception());
        }
        return 0;
    case WM_COPYDATA:
        return WMCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(LParam)) ? TRUE : FALSE;
    case HandedPathsMessage:
        try {
            PutHandedPaths();
        } catch (...) {
            Application().HandleException(std::current_exception());
        }
        return 0;
    case WM_ENABLE:
        // A modal window has closed: a hand-over that waited for it goes on.
        if (WParam)
            PostHandedPaths();
        break;
    case WM_SIZE:
        StackBars();
        break;
    case WM_GETMINMAXINFO:
        if (FMinHeight > 0)
            reinterpret_cast<MINMAXINFO*>(LParam)->ptMinTrackSize.y = FMinHeight;
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_QUERYENDSESSION:
        QueryEndSession();
        return TRUE;
    case WM_DESTROY:
        if (Handle() == Application().MainWindow())
            PostQuitMessage(0);
        break;
    }
    return TWindow::WndProc(Message, WParam, LParam);
}

} // namespace App_mainform
