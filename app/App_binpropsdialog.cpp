#include "App_binpropsdialog.h"

#include "gui/Gui_application.h"
#include "gui/Gui_shell.h"
#include "base/Base_system.h"
#include "res/resource.h"
#include "vek/Vek_file.h"

namespace App_binpropsdialog {

using App_bin::bltAskUser;
using App_bin::bltFixed;
using App_bin::TBinLocationType;
using App_bin::TBinProps;
using Base_system::Exception;

TAppBinPropsDialog* AppBinPropsDialog = nullptr;

namespace {

// Posted when a box has lost the focus; WParam is the box, LParam the count
// of failures reported at that moment.
constexpr UINT WM_EXITCONTROL = WM_APP + 1;

void CheckLocationType(TBinLocationType Value) {
    if (Value != bltFixed && Value != bltAskUser)
        throw Exception("The program cannot set the location type.");
}

bool IsExitBox(int Id) {
    switch (Id) {
    case IDC_EDIT11:
    case IDC_EDIT21:
    case IDC_EDIT22:
    case IDC_EDIT211:
    case IDC_EDIT212:
    case IDC_EDIT213:
        return true;
    default:
        return false;
    }
}

} // namespace

TAppBinPropsDialog::TAppBinPropsDialog() : TDialog(IDD_BINPROPS) {}

TAppBinPropsDialog::~TAppBinPropsDialog() {
    if (AppBinPropsDialog == this)
        AppBinPropsDialog = nullptr;
}

bool TAppBinPropsDialog::Execute() {
    // The controls exist only while the dialog shows, so InitDialog writes
    // them; the one value that can refuse is checked before anything shows.
    CheckLocationType(FProps.LocationType);
    return ShowModal() == IDOK;
}

void TAppBinPropsDialog::InitDialog() {
    WriteControls(FProps);
    FocusFirstControl();
}

void TAppBinPropsDialog::FocusFirstControl() {
    // The dialog is not visible yet, so only the controls' own styles count.
    for (HWND Control = GetWindow(Handle(), GW_CHILD); Control;
         Control = GetWindow(Control, GW_HWNDNEXT)) {
        const LONG_PTR Style = GetWindowLongPtrA(Control, GWL_STYLE);
        if ((Style & WS_TABSTOP) && (Style & WS_VISIBLE) && !(Style & WS_DISABLED)) {
            FocusControl(Control);
            return;
        }
    }
}

bool TAppBinPropsDialog::CanFocus(HWND Control) const {
    if (!Control || !Handle())
        return false;
    for (HWND Window = Control; Window; Window = GetParent(Window)) {
        if (!IsWindowVisible(Window) || !IsWindowEnabled(Window))
            return false;
        if (Window == Handle())
            return true;
    }
    return false;
}

void TAppBinPropsDialog::FailAt(HWND Control, const std::string& Message) {
    if (CanFocus(Control))
        FocusControl(Control);
    else if (Handle())
        SetFocus(Handle());
    // Exits that the focus move above posted belong to this failure.
    ++FFailures;
    throw Exception(Message);
}

void TAppBinPropsDialog::WriteControls(const TBinProps& Value) {
    SetLocationType(Value.LocationType);
    SetFixedLocation(Value.FixedLocation);
    SetPrefix(Value.EntryName.Prefix);
    SetSuffix(Value.EntryName.Suffix);
    SetMin(Value.EntryName.Min);
    SetMax(Value.EntryName.Max);
    SetIndex(Value.EntryName.Index);
    SetFillDigits(Value.EntryName.FillDigits);
}

TBinProps TAppBinPropsDialog::ReadControls() {
    TBinProps Result;
    Result.LocationType = GetLocationType();
    Result.FixedLocation = GetFixedLocation();
    Result.EntryName.Prefix = GetPrefix();
    Result.EntryName.Suffix = GetSuffix();
    Result.EntryName.Min = GetMin();
    Result.EntryName.Max = GetMax();
    Result.EntryName.Index = GetIndex();
    Result.EntryName.FillDigits = GetFillDigits();
    return Result;
}

void TAppBinPropsDialog::SetLocationType(TBinLocationType Value) {
    CheckLocationType(Value);
    SetChecked(IDC_RADIOBUTTON11, Value == bltFixed);
    SetChecked(IDC_RADIOBUTTON12, Value == bltAskUser);
    UpdateLocationControls();
}

TBinLocationType TAppBinPropsDialog::GetLocationType() {
    if (Checked(IDC_RADIOBUTTON11))
        return bltFixed;
    if (Checked(IDC_RADIOBUTTON12))
        return bltAskUser;
    FailAt(Item(IDC_RADIOBUTTON11), "Select an item.");
}

void TAppBinPropsDialog::UpdateLocationControls() {
    const bool Fixed = Checked(IDC_RADIOBUTTON11);
    EnableWindow(Item(IDC_EDIT11), Fixed);
    EnableWindow(Item(IDC_BUTTON11), Fixed);
    // Tab enters the location choice at the checked button; arrow keys move
    // between the two.
    if (Fixed || Checked(IDC_RADIOBUTTON12)) {
        SetTabStop(IDC_RADIOBUTTON11, Fixed);
        SetTabStop(IDC_RADIOBUTTON12, !Fixed);
    }
}

void TAppBinPropsDialog::SetFixedLocation(const std::string& Value) {
    SetText(IDC_EDIT11, Value);
}

std::string TAppBinPropsDialog::GetFixedLocation() const {
    return Text(IDC_EDIT11);
}

void TAppBinPropsDialog::SetPrefix(const std::string& Value) {
    SetText(IDC_EDIT21, Value);
}

std::string TAppBinPropsDialog::GetPrefix() {
    const std::string Prefix = Text(IDC_EDIT21);
    if (!Vek_file::IsNamePart(Prefix))
        FailAt(Item(IDC_EDIT21), "Specify a prefix that a file name can hold.");
    return Prefix;
}

void TAppBinPropsDialog::SetSuffix(const std::string& Value) {
    SetText(IDC_EDIT22, Value);
}

std::string TAppBinPropsDialog::GetSuffix() {
    const std::string Suffix = Text(IDC_EDIT22);
    if (!Vek_file::IsNamePart(Suffix))
        FailAt(Item(IDC_EDIT22), "Specify a suffix that a file name can hold.");
    return Suffix;
}

void TAppBinPropsDialog::SetMin(std::int32_t Value) {
    SetText(IDC_EDIT211, std::to_string(Value));
}

std::int32_t TAppBinPropsDialog::GetMin() {
    const char* Message = "Specify an integer greater than or equal to zero.";
    const std::int32_t Min = ReadInteger(IDC_EDIT211, Message);
    if (Min < 0)
        FailAt(Item(IDC_EDIT211), Message);
    return Min;
}

void TAppBinPropsDialog::SetMax(std::int32_t Value) {
    SetText(IDC_EDIT212, std::to_string(Value));
}

std::int32_t TAppBinPropsDialog::GetMax() {
    const char* Message = "Specify an integer greater than or equal to the minimum.";
    const std::int32_t Max = ReadInteger(IDC_EDIT212, Message);
    if (Max < GetMin())
        FailAt(Item(IDC_EDIT212), Message);
    return Max;
}

void TAppBinPropsDialog::SetIndex(std::int32_t Value) {
    SetText(IDC_EDIT213, std::to_string(Value));
}

std::int32_t TAppBinPropsDialog::GetIndex() {
    const char* Message = "Specify an integer between the minimum and the maximum.";
    const std::int32_t Index = ReadInteger(IDC_EDIT213, Message);
    if (Index < GetMin())
        FailAt(Item(IDC_EDIT213), Message);
    if (Index > GetMax())
        FailAt(Item(IDC_EDIT213), Message);
    return Index;
}

void TAppBinPropsDialog::SetFillDigits(bool Value) {
    SetChecked(IDC_CHECKBOX211, Value);
}

bool TAppBinPropsDialog::GetFillDigits() const {
    return Checked(IDC_CHECKBOX211);
}

void TAppBinPropsDialog::FormCloseQuery(bool&) {
    // Only OK takes the values; Cancel, Esc and the close box leave Props as
    // it was. A bad value raises through FailAt, which refuses the close.
    if (ModalResult() == IDOK)
        FProps = ReadControls();
}

bool TAppBinPropsDialog::CloseQuery() {
    bool CanClose = true;
    FormCloseQuery(CanClose);
    return CanClose;
}

void TAppBinPropsDialog::RadioButton11Click() {
    UpdateLocationControls();
}

void TAppBinPropsDialog::RadioButton12Click() {
    UpdateLocationControls();
}

void TAppBinPropsDialog::Button11Click() {
    const std::string ProgramDirectory =
        Vek_file::ExtractDirectory(Vek_file::GetLongPath(Gui_application::Application().ExeName()));
    std::string Directory = Vek_file::CombinePath(GetFixedLocation(), ProgramDirectory);
    if (!Gui_shell::BrowseForFolder("Specify the location.", "", Directory))
        throw Base_system::EAbort();
    Gui_application::Application().SetLastDirectory(Directory);
    SetFixedLocation(Directory);
}

void TAppBinPropsDialog::Edit11Exit() {
    GetFixedLocation();
}

void TAppBinPropsDialog::Edit21Exit() {
    GetPrefix();
}

void TAppBinPropsDialog::Edit22Exit() {
    GetSuffix();
}

void TAppBinPropsDialog::Edit211Exit() {
    GetMin();
}

void TAppBinPropsDialog::Edit212Exit() {
    GetMax();
}

void TAppBinPropsDialog::Edit213Exit() {
    GetIndex();
}

void TAppBinPropsDialog::Command(int Id, int Code, HWND Control) {
    if (Code == BN_CLICKED) {
        switch (Id) {
        case IDC_RADIOBUTTON11:
            RadioButton11Click();
            return;
        case IDC_RADIOBUTTON12:
            RadioButton12Click();
            return;
        case IDC_BUTTON11:
            Button11Click();
            return;
        default:
            break;
        }
    } else if (Code == EN_KILLFOCUS && IsExitBox(Id)) {
        // The focus is still on its way to the next control; the exit runs
        // once it has arrived, so that a message box never interrupts it.
        PostMessageA(Handle(), WM_EXITCONTROL, Id, static_cast<LPARAM>(FFailures));
        return;
    }
    TDialog::Command(Id, Code, Control);
}

bool TAppBinPropsDialog::ShouldRunExit(int Id, unsigned Failures) const {
    // A failure reported since the box was left moved the focus itself.
    if (Failures != FFailures)
        return false;
    // Closing, or a message box or the folder browser of the program took the
    // focus (they disable the dialog while they show).
    if (ModalResult() != 0 || !IsWindowEnabled(Handle()))
        return false;
    // Only a move to another control of the dialog leaves a box; going for
    // Cancel needs no valid values.
    const HWND Focus = GetFocus();
    return Focus && IsChild(Handle(), Focus) && Focus != Item(Id) && Focus != Item(IDCANCEL);
}

void TAppBinPropsDialog::RunExit(int Id) {
    switch (Id) {
    case IDC_EDIT11:
        Edit11Exit();
        break;
    case IDC_EDIT21:
        Edit21Exit();
        break;
    case IDC_EDIT22:
        Edit22Exit();
        break;
    case IDC_EDIT211:
        Edit211Exit();
        break;
    case IDC_EDIT212:
        Edit212Exit();
        break;
    case IDC_EDIT213:
        Edit213Exit();
        break;
    default:
        break;
    }
}

INT_PTR TAppBinPropsDialog::DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
    case WM_INITDIALOG:
        TDialog::DialogProc(Message, WParam, LParam);
        // InitDialog has placed the focus.
        return FALSE;
    case WM_EXITCONTROL: {
        const int Id = static_cast<int>(WParam);
        if (ShouldRunExit(Id, static_cast<unsigned>(LParam)))
            RunExit(Id);
        return TRUE;
    }
    default:
        return TDialog::DialogProc(Message, WParam, LParam);
    }
}

std::string TAppBinPropsDialog::Text(int Id) const {
    const HWND Control = Item(Id);
    std::string Result(GetWindowTextLengthA(Control) + 1, '\0');
    Result.resize(GetWindowTextA(Control, Result.data(), static_cast<int>(Result.size())));
    return Result;
}

void TAppBinPropsDialog::SetText(int Id, const std::string& Value) {
    SetWindowTextA(Item(Id), Value.c_str());
}

bool TAppBinPropsDialog::Checked(int Id) const {
    return SendMessageA(Item(Id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TAppBinPropsDialog::SetChecked(int Id, bool Value) {
    SendMessageA(Item(Id), BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TAppBinPropsDialog::SetTabStop(int Id, bool Value) {
    const HWND Control = Item(Id);
    const LONG_PTR Style = GetWindowLongPtrA(Control, GWL_STYLE);
    SetWindowLongPtrA(Control, GWL_STYLE, Value ? Style | WS_TABSTOP : Style & ~WS_TABSTOP);
}

std::int32_t TAppBinPropsDialog::ReadInteger(int Id, const std::string& Message) {
    std::int32_t Value = 0;
    if (!Base_system::TryStrToInt(Text(Id), Value))
        FailAt(Item(Id), Message);
    return Value;
}

} // namespace App_binpropsdialog
