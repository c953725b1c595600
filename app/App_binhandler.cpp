#include "App_binhandler.h"

#include "app/App_binpropsdialog.h"
#include "gui/Gui_application.h"
#include "gui/Gui_shell.h"
#include "vek/Vek_file.h"
#include "vek/Vek_string.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>

namespace App_binhandler {

namespace {

const char BinSection[] = "MainForm.BinHandler.Bin";
const char EntryNameSection[] = "MainForm.BinHandler.Bin.EntryName";
const char PutRegularFilesSection[] = "MainForm.BinHandler.PutRegularFilesDialog";
const char PutImportPathsSection[] = "MainForm.BinHandler.PutImportPathsDialog";

const char Quote = '"';

// Texts are kept quoted so that blanks at either end survive the ini store's
// trimming; a missing key gives the current value back.
std::string ReadQuoted(Gui_inifile::TCustomIniFile& Ini, const std::string& Section,
                       const std::string& Key, const std::string& Current) {
    return Vek_string::UnquoteText(
        Ini.ReadString(Section, Key, Vek_string::QuoteText(Current, Quote)), Quote);
}

void WriteQuoted(Gui_inifile::TCustomIniFile& Ini, const std::string& Section,
                 const std::string& Key, const std::string& Value) {
    Ini.WriteString(Section, Key, Vek_string::QuoteText(Value, Quote));
}

// The location type is one byte, stored as a signed number: 255 is written as
// -1, and whatever is read keeps only its low 8 bits.
std::int32_t LocationTypeValue(App_bin::TBinLocationType LocationType) {
    return static_cast<std::int8_t>(LocationType);
}

App_bin::TBinLocationType LocationTypeOf(std::int32_t Value) {
    return static_cast<App_bin::TBinLocationType>(static_cast<std::uint32_t>(Value) & 0xFF);
}

void LoadFilterIndex(Gui_inifile::TCustomIniFile& Ini, const std::string& Section,
                     Gui_opendialog::TOpenDialog& Dialog) {
    // Taken as it is: the dialog copes with an index beyond its filters.
    Dialog.FilterIndex = Ini.ReadInteger(Section, "FilterIndex", Dialog.FilterIndex);
}

void SaveFilterIndex(Gui_inifile::TCustomIniFile& Ini, const std::string& Section,
                     const Gui_opendialog::TOpenDialog& Dialog) {
    Ini.WriteInteger(Section, "FilterIndex", Dialog.FilterIndex);
}

} // namespace

TBinHandler::TBinHandler() {
    FBin = std::make_unique<App_bin::TBin>();
    FBin->OnChange = [this](Gui_system::TObject*) { DoChange(); };

    FPutRegularFilesDialog = std::make_unique<Gui_opendialog::TOpenDialog>();
    FPutRegularFilesDialog->Title = "Put Regular Files";
    FPutRegularFilesDialog->Filter = "All (*.*)|*.*";
    FPutRegularFilesDialog->FilterIndex = 1;
    // A shortcut is put as itself, not as the file it points to.
    FPutRegularFilesDialog->Options =
        Gui_opendialog::ofAllowMultiSelect | Gui_opendialog::ofPathMustExist |
        Gui_opendialog::ofFileMustExist | Gui_opendialog::ofNoDereferenceLinks |
        Gui_opendialog::ofHideReadOnly | Gui_opendialog::ofEnableSizing;

    FPutImportPathsDialog = std::make_unique<Gui_opendialog::TOpenDialog>();
    FPutImportPathsDialog->Title = "Import Paths";
    FPutImportPathsDialog->Filter = "Text (*.txt)|*.txt|All (*.*)|*.*";
    FPutImportPathsDialog->FilterIndex = 1;
    FPutImportPathsDialog->Options =
        Gui_opendialog::ofPathMustExist | Gui_opendialog::ofFileMustExist |
        Gui_opendialog::ofHideReadOnly | Gui_opendialog::ofEnableSizing;
}

TBinHandler::~TBinHandler() {
    FPutImportPathsDialog.reset();
    FPutRegularFilesDialog.reset();
    FBin.reset();
}

void TBinHandler::LoadSettings(Gui_inifile::TCustomIniFile& Ini) {
    LoadBinSettings(Ini);
    LoadEntryNameSettings(Ini);
    LoadFilterIndex(Ini, PutRegularFilesSection, *FPutRegularFilesDialog);
    LoadFilterIndex(Ini, PutImportPathsSection, *FPutImportPathsDialog);
}

void TBinHandler::LoadBinSettings(Gui_inifile::TCustomIniFile& Ini) {
    FBin->SetLocationType(LocationTypeOf(
        Ini.ReadInteger(BinSection, "LocationType", LocationTypeValue(FBin->LocationType()))));
    FBin->SetFixedLocation(ReadQuoted(Ini, BinSection, "FixedLocation", FBin->FixedLocation()));
}

// A triple that breaks 0 <= Min <= Index <= Max fails in ResetIndex and ends
// the load there: the file is then thrown away by the caller anyway.
void TBinHandler::LoadEntryNameSettings(Gui_inifile::TCustomIniFile& Ini) {
    App_bin::TBinEntryName& EntryName = FBin->EntryName();
    EntryName.SetPrefix(ReadQuoted(Ini, EntryNameSection, "Prefix", EntryName.Prefix()));
    EntryName.SetSuffix(ReadQuoted(Ini, EntryNameSection, "Suffix", EntryName.Suffix()));
    const std::int32_t Index = Ini.ReadInteger(EntryNameSection, "Index", EntryName.Index());
    const std::int32_t Max = Ini.ReadInteger(EntryNameSection, "Max", EntryName.Max());
    const std::int32_t Min = Ini.ReadInteger(EntryNameSection, "Min", EntryName.Min());
    EntryName.ResetIndex(Min, Max, Index);
    EntryName.SetFillDigits(Ini.ReadBool(EntryNameSection, "FillDigits", EntryName.FillDigits()));
}

void TBinHandler::SaveSettings(Gui_inifile::TCustomIniFile& Ini) {
    SaveBinSettings(Ini);
    SaveEntryNameSettings(Ini);
    SaveFilterIndex(Ini, PutRegularFilesSection, *FPutRegularFilesDialog);
    SaveFilterIndex(Ini, PutImportPathsSection, *FPutImportPathsDialog);
}

void TBinHandler::SaveBinSettings(Gui_inifile::TCustomIniFile& Ini) {
    Ini.WriteInteger(BinSection, "LocationType", LocationTypeValue(FBin->LocationType()));
    WriteQuoted(Ini, BinSection, "FixedLocation", FBin->FixedLocation());
}

void TBinHandler::SaveEntryNameSettings(Gui_inifile::TCustomIniFile& Ini) {
    const App_bin::TBinEntryName& EntryName = FBin->EntryName();
    WriteQuoted(Ini, EntryNameSection, "Prefix", EntryName.Prefix());
    WriteQuoted(Ini, EntryNameSection, "Suffix", EntryName.Suffix());
    Ini.WriteInteger(EntryNameSection, "Min", EntryName.Min());
    Ini.WriteInteger(EntryNameSection, "Max", EntryName.Max());
    Ini.WriteInteger(EntryNameSection, "Index", EntryName.Index());
    Ini.WriteBool(EntryNameSection, "FillDigits", EntryName.FillDigits());
}

void TBinHandler::PutRegularFiles() {
    // Never propose the file of the last use.
    FPutRegularFilesDialog->FileName.clear();
    if (!FPutRegularFilesDialog->Execute())
        throw Gui_system::EAbort();
    Gui_stringlist::TStringList Paths;
    Paths.Assign(FPutRegularFilesDialog->Files);
    PutDroppedFiles(Paths);
}

void TBinHandler::PutDirectory() {
    std::string Directory = Gui_application::Application().LastDirectory();
    if (!Gui_shell::BrowseForFolder("Specify the directory.", std::string(), Directory))
        throw Gui_system::EAbort();
    // The program only remembers it; nothing holds the directory open.
    Gui_application::Application().SetLastDirectory(Directory);
    Gui_stringlist::TStringList Paths;
    Paths.Add(Directory);
    PutDroppedFiles(Paths);
}

void TBinHandler::PutImportPaths() {
    Gui_stringlist::TStringList Paths;
    FPutImportPathsDialog->FileName.clear();
    if (!FPutImportPathsDialog->Execute())
        throw Gui_system::EAbort();
    try {
        Paths.LoadFromFile(FPutImportPathsDialog->FileName);
    } catch (const Gui_system::EStreamError&) {
        throw Gui_system::Exception("The program counld not import paths.");
    }
    PutDroppedFiles(Paths);
}

void TBinHandler::PutDroppedFiles(const Gui_stringlist::TStringList& Paths) {
    DoStatus("Putting files...");
    try {
        FBin->Put(Paths.Strings());
    } catch (...) {
        DoStatus("");
        throw;
    }
    DoStatus("");
}

void TBinHandler::Explore() {
    const std::string Location = FBin->GetLocation();
    if (!Vek_file::IsDirectory(Location))
        throw Gui_system::Exception("The bin does not exist.");
    // No error box of the shell's own: the failure is reported as ours.
    if (!Gui_shell::ShellExecute(Gui_application::Application().Handle(), "explore", Location,
                                 SW_SHOWNORMAL, SEE_MASK_FLAG_NO_UI))
        throw Gui_system::Exception("The program could not explore the bin.");
}

void TBinHandler::EditProps() {
    using App_binpropsdialog::AppBinPropsDialog;
    if (!AppBinPropsDialog)
        AppBinPropsDialog = Gui_application::Application().Own(
            std::make_unique<App_binpropsdialog::TAppBinPropsDialog>());
    App_bin::TBinProps Props;
    FBin->GetProps(Props);
    AppBinPropsDialog->SetProps(Props);
    if (!AppBinPropsDialog->Execute())
        throw Gui_system::EAbort();
    FBin->SetProps(AppBinPropsDialog->Props());
}

} // namespace App_binhandler
