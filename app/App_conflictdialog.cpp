#include "app/App_conflictdialog.h"

#include "gui/Gui_application.h"
#include "res/resource.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_locale.h"

#include <windows.h>

#include <cstdint>
#include <utility>

namespace App_conflictdialog {

using Engine_takeback::TConflictChoice;
using Engine_takeback::TConflictQuestion;
using Engine_takeback::TItemFacts;
using Engine_takeback::TOriginKind;

namespace {

// Exact bytes below a megabyte, where "1 KB" would hide a difference; above,
// the program's size rule, with the bytes too where both sizes read alike.
std::string SizeOf(std::uint64_t Size, std::uint64_t Other,
                   const Vek_string::TNumberFormat& Format) {
    const std::uint64_t Exact = 1024 * 1024;
    const std::string Bytes =
        Vek_string::GroupDigits(Size, Format) + (Size == 1 ? " byte" : " bytes");
    if (Size < Exact)
        return Bytes;
    const std::string Text = Vek_string::SizeText(Size, Format);
    return Size != Other && Text == Vek_string::SizeText(Other, Format) ? Text + " (" + Bytes + ")"
                                                                        : Text;
}

std::string Described(const TItemFacts& Facts, const TItemFacts& Other, const std::string& Time,
                      const Vek_string::TNumberFormat& Format) {
    std::string Text = Facts.Kind == TOriginKind::okDirectory
                           ? "a folder"
                           : "a file of " + SizeOf(Facts.Size, Other.Size, Format);
    if (!Time.empty())
        Text += ", changed " + Time;
    return Text;
}

void ShowControl(HWND Control, bool Shown) {
    ShowWindow(Control, Shown ? SW_SHOW : SW_HIDE);
    EnableWindow(Control, Shown ? TRUE : FALSE);
}

} // namespace

std::string ConflictText(const TConflictQuestion& Question, const std::string& StandingTime,
                         const std::string& ComingTime, const Vek_string::TNumberFormat& Format) {
    const std::string Standing =
        Described(Question.Standing, Question.Coming, StandingTime, Format);
    const std::string Coming = Described(Question.Coming, Question.Standing, ComingTime, Format);
    const std::string Folder = Vek_file::ExtractWorkingDirectory(Question.Destination);
    std::string Text = "\"" + Vek_file::ExtractFileName(Question.Destination) +
                       "\" is already in \"" + Folder + "\".\r\n\r\n" +
                       (Question.StandingComesBack ? "Taken back there first: " : "There now: ") +
                       Standing + "\r\nComing back: " + Coming;
    if (!Question.KeepBothDestination.empty())
        Text += "\r\n\r\nKeep Both brings it back as \"" +
                Vek_file::ExtractFileName(Question.KeepBothDestination) + "\".";
    return Text;
}

std::string ForAllText(std::size_t Following) {
    return "Do this for &all conflicts (" + std::to_string(Following) + " more)";
}

TAppConflictDialog::TAppConflictDialog(TConflictQuestion Question)
    : TDialog(IDD_CONFLICT), FQuestion(std::move(Question)) {}

int TAppConflictDialog::Execute() {
    return ShowModal();
}

void TAppConflictDialog::InitDialog() {
    const std::string Text = ConflictText(
        FQuestion, Vek_locale::LocalTimeText(FQuestion.Standing.LastWritten),
        Vek_locale::LocalTimeText(FQuestion.Coming.LastWritten), Vek_locale::NumberFormat());
    SetWindowTextW(Item(IDC_CONFLICT_TEXT), Vek_codepage::ToWide(Text).c_str());
    ShowControl(Item(IDC_CONFLICT_REPLACE), FQuestion.ReplaceOffered);
    ShowControl(Item(IDC_CONFLICT_ALL), FQuestion.Following > 0);
    SetWindowTextA(Item(IDC_CONFLICT_ALL), ForAllText(FQuestion.Following).c_str());
    // The shared question icon: the system owns it, nothing to free.
    SendMessageA(Item(IDC_CONFLICT_ICON), STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_QUESTION)), 0);
    SetForegroundWindow(Handle());
    FocusControl(Item(IDC_CONFLICT_KEEP_BOTH));
}

void TAppConflictDialog::Command(int Id, int Code, HWND Control) {
    if (Code != BN_CLICKED)
        return;
    switch (Id) {
    case IDC_CONFLICT_REPLACE:
        if (FQuestion.ReplaceOffered)
            Choose(TConflictChoice::ccReplace);
        break;
    case IDC_CONFLICT_KEEP_BOTH:
    case IDOK:
        Choose(TConflictChoice::ccKeepBoth);
        break;
    case IDC_CONFLICT_SKIP:
        Choose(TConflictChoice::ccSkip);
        break;
    default:
        TDialog::Command(Id, Code, Control);
        break;
    }
}

// The focus was set on Keep Both: FALSE keeps the dialog manager from
// moving it to the first control that takes it.
INT_PTR TAppConflictDialog::DialogProc(UINT Message, WPARAM WParam, LPARAM LParam) {
    const INT_PTR Result = TDialog::DialogProc(Message, WParam, LParam);
    return Message == WM_INITDIALOG ? FALSE : Result;
}

void TAppConflictDialog::Choose(TConflictChoice Choice) {
    FAnswer.Choice = Choice;
    FAnswer.ForAll =
        FQuestion.Following > 0 && IsDlgButtonChecked(Handle(), IDC_CONFLICT_ALL) == BST_CHECKED;
    SetModalResult(IDOK);
}

} // namespace App_conflictdialog
