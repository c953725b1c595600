#include "App_binhandler.h"

#include "app/App_binpropsdialog.h"
#include "app/App_cleanupdialog.h"
#include "app/App_conflictdialog.h"
#include "app/App_fileoperation.h"
#include "app/App_reportdialog.h"
#include "engine/Engine_catalog.h"
#include "engine/Engine_lock.h"
#include "engine/Engine_record.h"
#include "engine/Engine_takeback.h"
#include "gui/Gui_application.h"
#include "gui/Gui_shell.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_locale.h"
#include "vek/Vek_string.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>

namespace App_binhandler {

namespace {

const char BinSection[] = "MainForm.BinHandler.Bin";
const char EntryNameSection[] = "MainForm.BinHandler.Bin.EntryName";
const char PutRegularFilesSection[] = "MainForm.BinHandler.PutRegularFilesDialog";
const char PutImportPathsSection[] = "MainForm.BinHandler.PutImportPathsDialog";
const char EntriesDialogSection[] = "MainForm.BinHandler.EntriesDialog";
const char CleanUpSection[] = "MainForm.BinHandler.CleanUp";
const char* const ColumnWidthKeys[Engine_catalog::ecCount] = {
    "EntryWidth", "PutWidth", "ItemsWidth", "SizeWidth", "FromWidth"};
const char* const ItemColumnWidthKeys[App_entriesdialog::icCount] = {
    "ItemNameWidth", "ItemPlaceWidth", "ItemEntryWidth", "ItemPutWidth", "ItemSizeWidth"};

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

// What the record of the put into EntryPath says arrived; the empty text
// when it cannot be read.
std::string PutStatus(const std::string& EntryPath) {
    Engine_record::TRecord Record;
    if (EntryPath.empty() || !Engine_record::ReadRecord(EntryPath, Record))
        return std::string();
    const Engine_record::TPutSection* Put = Engine_record::NewestSection(Record);
    if (!Put)
        return std::string();
    return PutMessage(Engine_record::CountItems(Put->Tree), Put->Items,
                      Vek_file::ExtractFileName(EntryPath));
}

} // namespace

std::string PutMessage(std::size_t Arrived, std::size_t Given, const std::string& EntryName) {
    const bool All = Arrived >= Given;
    const std::size_t Counted = All ? Arrived : Given;
    const std::string Count =
        All ? std::to_string(Arrived) : std::to_string(Arrived) + " of " + std::to_string(Given);
    return Count + (Counted == 1 ? " item" : " items") + " put into " + EntryName + ".";
}

TBinHandler::TBinHandler() {
    FBin = std::make_unique<App_bin::TBin>();
    FBin->OnChange = [this](Base_system::TObject*) { DoChange(); };
    FBin->OnIndexStepped = [this](Base_system::TObject*) {
        if (OnIndexStepped)
            OnIndexStepped(this);
    };

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
    // The clean-up's thread ends at its next entry; its message then finds
    // no one.
    if (FCleanUp)
        FCleanUp->Stop = true;
    if (FCleanUpThread.joinable())
        FCleanUpThread.join();
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
        throw Base_system::EAbort();
    Base_stringlist::TStringList Paths;
    Paths.Assign(FPutRegularFilesDialog->Files);
    PutDroppedFiles(Paths);
}

void TBinHandler::PutDirectory() {
    std::string Directory = Gui_application::Application().LastDirectory();
    if (!Gui_shell::BrowseForFolder("Specify the directory.", std::string(), Directory))
        throw Base_system::EAbort();
    // The program only remembers it; nothing holds the directory open.
    Gui_application::Application().SetLastDirectory(Directory);
    Base_stringlist::TStringList Paths;
    Paths.Add(Directory);
    PutDroppedFiles(Paths);
}

void TBinHandler::PutImportPaths() {
    Base_stringlist::TStringList Paths;
    FPutImportPathsDialog->FileName.clear();
    if (!FPutImportPathsDialog->Execute())
        throw Base_system::EAbort();
    try {
        // Lists written under a legacy code page, or saved with a byte-order
        // mark, name the same files as they always did.
        Paths.LoadFromFile(FPutImportPathsDialog->FileName, Vek_codepage::DecodeStoredText);
    } catch (const Base_system::EStreamError&) {
        throw Base_system::Exception("The program counld not import paths.");
    }
    PutDroppedFiles(Paths);
}

void TBinHandler::PutDroppedFiles(const Base_stringlist::TStringList& Paths) {
    DoStatus("Putting files...");
    try {
        FBin->Put(Paths.Strings());
    } catch (...) {
        DoStatus("");
        throw;
    }
    DoStatus(PutStatus(FBin->LastPutEntry()));
}

void TBinHandler::Explore() {
    const std::string Location = FBin->GetLocation();
    if (!Vek_file::IsDirectory(Location))
        throw Base_system::Exception("The bin does not exist.");
    // No error box of the shell's own: the failure is reported as ours.
    if (!Gui_shell::ShellExecute(Gui_application::Application().Handle(), "explore", Location,
                                 SW_SHOWNORMAL, SEE_MASK_FLAG_NO_UI))
        throw Base_system::Exception("The program could not explore the bin.");
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
        throw Base_system::EAbort();
    FBin->SetProps(AppBinPropsDialog->Props());
}

void TBinHandler::LoadEntriesDialogSettings(Gui_inifile::TCustomIniFile& Ini) {
    App_entriesdialog::TEntriesDialogSettings& Settings = FEntriesDialogSettings;
    Settings.Left = Ini.ReadInteger(EntriesDialogSection, "Left", Settings.Left);
    Settings.Top = Ini.ReadInteger(EntriesDialogSection, "Top", Settings.Top);
    Settings.Width = Ini.ReadInteger(EntriesDialogSection, "Width", Settings.Width);
    Settings.Height = Ini.ReadInteger(EntriesDialogSection, "Height", Settings.Height);
    for (int Column = 0; Column < Engine_catalog::ecCount; ++Column)
        Settings.ColumnWidths[Column] = Ini.ReadInteger(
            EntriesDialogSection, ColumnWidthKeys[Column], Settings.ColumnWidths[Column]);
    for (int Column = 0; Column < App_entriesdialog::icCount; ++Column)
        Settings.ItemColumnWidths[Column] = Ini.ReadInteger(
            EntriesDialogSection, ItemColumnWidthKeys[Column], Settings.ItemColumnWidths[Column]);
    // A column the list does not have keeps the current order.
    const std::int32_t SortColumn =
        Ini.ReadInteger(EntriesDialogSection, "SortColumn", Settings.SortColumn);
    if (SortColumn >= 0 && SortColumn < Engine_catalog::ecCount)
        Settings.SortColumn = SortColumn;
    Settings.SortDescending =
        Ini.ReadBool(EntriesDialogSection, "SortDescending", Settings.SortDescending);
    const std::int32_t ItemSortColumn =
        Ini.ReadInteger(EntriesDialogSection, "ItemSortColumn", Settings.ItemSortColumn);
    if (ItemSortColumn >= -1 && ItemSortColumn < App_entriesdialog::icCount)
        Settings.ItemSortColumn = ItemSortColumn;
    Settings.ItemSortDescending =
        Ini.ReadBool(EntriesDialogSection, "ItemSortDescending", Settings.ItemSortDescending);
}

void TBinHandler::SaveEntriesDialogSettings(Gui_inifile::TCustomIniFile& Ini) {
    const App_entriesdialog::TEntriesDialogSettings& Settings = FEntriesDialogSettings;
    Ini.WriteInteger(EntriesDialogSection, "Left", Settings.Left);
    Ini.WriteInteger(EntriesDialogSection, "Top", Settings.Top);
    Ini.WriteInteger(EntriesDialogSection, "Width", Settings.Width);
    Ini.WriteInteger(EntriesDialogSection, "Height", Settings.Height);
    for (int Column = 0; Column < Engine_catalog::ecCount; ++Column)
        Ini.WriteInteger(EntriesDialogSection, ColumnWidthKeys[Column],
                         Settings.ColumnWidths[Column]);
    for (int Column = 0; Column < App_entriesdialog::icCount; ++Column)
        Ini.WriteInteger(EntriesDialogSection, ItemColumnWidthKeys[Column],
                         Settings.ItemColumnWidths[Column]);
    Ini.WriteInteger(EntriesDialogSection, "SortColumn", Settings.SortColumn);
    Ini.WriteBool(EntriesDialogSection, "SortDescending", Settings.SortDescending);
    Ini.WriteInteger(EntriesDialogSection, "ItemSortColumn", Settings.ItemSortColumn);
    Ini.WriteBool(EntriesDialogSection, "ItemSortDescending", Settings.ItemSortDescending);
}

// A missing section leaves both rules off; a number out of range keeps the
// one the rules have.
void TBinHandler::LoadCleanUpSettings(Gui_inifile::TCustomIniFile& Ini) {
    Engine_cleanup::TCleanUpRules& Rules = FCleanUpRules;
    Rules.ByAge = Ini.ReadBool(CleanUpSection, "ByAge", Rules.ByAge);
    const std::int32_t Days = Ini.ReadInteger(CleanUpSection, "Days", Rules.Days);
    if (Days >= Engine_cleanup::MinDays && Days <= Engine_cleanup::MaxDays)
        Rules.Days = Days;
    Rules.BySize = Ini.ReadBool(CleanUpSection, "BySize", Rules.BySize);
    const std::int32_t Megabytes = Ini.ReadInteger(CleanUpSection, "Megabytes", Rules.Megabytes);
    if (Megabytes >= Engine_cleanup::MinMegabytes && Megabytes <= Engine_cleanup::MaxMegabytes)
        Rules.Megabytes = Megabytes;
    Rules.AtStart = Ini.ReadBool(CleanUpSection, "AtStart", Rules.AtStart);
    // A column the preview does not have keeps the order the entries go in.
    const std::int32_t SortColumn = Ini.ReadInteger(CleanUpSection, "SortColumn", -1);
    FCleanUpList.SortColumn = SortColumn >= 0 && SortColumn < 4 ? SortColumn : -1;
    FCleanUpList.SortDescending =
        Ini.ReadBool(CleanUpSection, "SortDescending", FCleanUpList.SortDescending);
}

void TBinHandler::SaveCleanUpSettings(Gui_inifile::TCustomIniFile& Ini) {
    const Engine_cleanup::TCleanUpRules& Rules = FCleanUpRules;
    Ini.WriteBool(CleanUpSection, "ByAge", Rules.ByAge);
    Ini.WriteInteger(CleanUpSection, "Days", Rules.Days);
    Ini.WriteBool(CleanUpSection, "BySize", Rules.BySize);
    Ini.WriteInteger(CleanUpSection, "Megabytes", Rules.Megabytes);
    Ini.WriteBool(CleanUpSection, "AtStart", Rules.AtStart);
    Ini.WriteInteger(CleanUpSection, "SortColumn", FCleanUpList.SortColumn);
    Ini.WriteBool(CleanUpSection, "SortDescending", FCleanUpList.SortDescending);
}

namespace {

// Every item of each entry.
std::vector<Engine_takeback::TTakeBackSelection>
WholeEntries(const std::vector<std::string>& EntryPaths) {
    std::vector<Engine_takeback::TTakeBackSelection> Selections;
    for (const std::string& Path : EntryPaths)
        Selections.push_back({Path, {}});
    return Selections;
}

} // namespace

void TBinHandler::ShowCleanUp() {
    const std::string Location = FBin->GetLocation();
    App_cleanupdialog::TAppCleanUpDialog Dialog;
    Dialog.Rules = FCleanUpRules;
    // Before the first put there is no bin yet: an empty one, as Entries shows it.
    Dialog.OnList = [this, &Location] {
        FListed = Engine_record::CurrentTime();
        return Vek_file::IsDirectory(Location) ? Engine_cleanup::ReadEntries(Location)
                                               : std::vector<Engine_cleanup::TCleanUpEntry>();
    };
    Dialog.OnDiscard = [this](const std::vector<std::string>& Paths) { CleanUpEntries(Paths); };
    Dialog.OnTakeBack = [this](const std::vector<std::string>& Paths) {
        TakeBack(WholeEntries(Paths));
    };
    Dialog.OnTakeBackTo = [this](const std::vector<std::string>& Paths, HWND Owner) {
        TakeBackTo(WholeEntries(Paths), Owner);
    };
    Dialog.OnDiscardChosen = [this](const std::vector<std::string>& Paths) {
        DiscardEntries(Paths);
    };
    Dialog.OnOpenLocation = [this](const std::string& Path) { OpenLocation(Path); };
    Dialog.List = FCleanUpList;
    Dialog.Execute();
    FListed = 0;
    FCleanUpRules = Dialog.Rules;
    FCleanUpList = Dialog.List;
}

void TBinHandler::CleanUpEntries(const std::vector<std::string>& EntryPaths) {
    DoStatus("Discarding entries...");
    Engine_cleanup::TDiscardResult Result;
    try {
        Result = Engine_cleanup::DiscardEntries(
            EntryPaths, FListed ? FListed : Engine_record::CurrentTime(),
            [](const std::vector<std::string>& Paths) { App_fileoperation::Recycle(Paths); },
            Engine_cleanup::HasRecycleBin);
    } catch (...) {
        DoStatus("");
        throw;
    }
    const std::string Message = Engine_cleanup::CleanedUpMessage(
        Result.Count, Result.Size, Result.Left, Result.InUse, Vek_locale::NumberFormat());
    DoStatus(Message);
    // What stayed is told where the user looks, not only in the status line.
    if (Result.Left > 0 || Result.InUse > 0)
        throw Base_system::Exception(Message);
}

// Only the bin of the fixed location: nothing may be asked of the user.
bool TBinHandler::StartCleanUp(HWND Window, UINT Message) {
    const Engine_cleanup::TCleanUpRules Rules = FCleanUpRules;
    if (!Rules.AtStart || !(Rules.ByAge || Rules.BySize) || FCleanUpThread.joinable() ||
        FBin->LocationType() != App_bin::bltFixed)
        return false;
    const std::string Location = FBin->GetLocation();
    if (!Vek_file::IsDirectory(Location))
        return false;
    FCleanUpResult = Engine_cleanup::TStartUpCleanUp::TResult();
    FCleanUpFailure = nullptr;
    FCleanUp = std::make_unique<Engine_cleanup::TStartUpCleanUp>(
        Location, Rules, [](const std::vector<std::string>& Paths) {
            App_fileoperation::Recycle(Paths, App_fileoperation::TRecycleRun::rrWindowless);
        });
    FCleanUpThread = std::thread([this, Window, Message] {
        // The shell's operation wants COM on the thread that calls it.
        const HRESULT Com =
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        try {
            FCleanUpResult = FCleanUp->Run();
        } catch (...) {
            FCleanUpFailure = std::current_exception();
        }
        if (SUCCEEDED(Com))
            CoUninitialize();
        PostMessageA(Window, Message, 0, 0);
    });
    return true;
}

std::string TBinHandler::FinishCleanUp() {
    if (FCleanUpThread.joinable())
        FCleanUpThread.join();
    FCleanUp.reset();
    if (FCleanUpFailure)
        std::rethrow_exception(std::exchange(FCleanUpFailure, nullptr));
    const Engine_cleanup::TStartUpCleanUp::TResult& Result = FCleanUpResult;
    if (Result.Busy || (Result.Count == 0 && Result.Left == 0 && Result.InUse == 0))
        return std::string();
    return Engine_cleanup::CleanedUpMessage(Result.Count, Result.Size, Result.Left, Result.InUse,
                                            Vek_locale::NumberFormat());
}

void TBinHandler::TakeBackLastPut() {
    const std::string Location = FBin->GetLocation();
    Engine_takeback::TTakeBackSelection Last;
    if (!Vek_file::IsDirectory(Location) || !Engine_takeback::FindLastPut(Location, Last))
        throw Base_system::Exception("The program cannot find an entry in the bin.");
    TakeBack({Last});
}

void TBinHandler::NoticeUnfinishedPuts() {
    if (FBin->LocationType() != App_bin::bltFixed)
        return;
    const std::string Location = FBin->GetLocation();
    if (!Vek_file::IsDirectory(Location))
        return;
    std::vector<std::string> AwaitingListing;
    const std::vector<Engine_takeback::TUnfinishedPut> Puts =
        Engine_takeback::NoticeUnfinishedPuts(Location, &AwaitingListing);
    // A put that ended before its record was complete is listed now.
    for (const std::string& EntryPath : AwaitingListing)
        FBin->Listings().Add(EntryPath);
    if (Puts.empty())
        return;
    Gui_application::Application().ShowMessageBox(Engine_takeback::UnfinishedMessage(Puts),
                                                  Gui_application::Application().Title(),
                                                  MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

// The dialog shows the bin from the catalogue's summaries at once; its
// background reader then reads every entry, and an opened entry is read
// when it opens.
void TBinHandler::ShowEntries() {
    const std::string Location = FBin->GetLocation();
    App_entriesdialog::TAppEntriesDialog Dialog;
    Dialog.Settings = FEntriesDialogSettings;
    Dialog.OnList = [this, &Location, &Dialog] {
        FListed = Engine_record::CurrentTime();
        return Engine_catalog::ListSummaries(Location, Dialog.ChangedEntries());
    };
    Dialog.OnReadEntry = Engine_catalog::ReadEntry;
    Dialog.OnTakeBack = [this](const std::vector<Engine_takeback::TTakeBackSelection>& Selections) {
        TakeBack(Selections);
    };
    Dialog.OnTakeBackTo =
        [this, &Dialog](const std::vector<Engine_takeback::TTakeBackSelection>& Selections) {
            TakeBackTo(Selections, Dialog.Handle());
        };
    Dialog.OnExplore = [this](const std::vector<std::string>& Paths) {
        ExploreEntry(Paths.front());
    };
    Dialog.OnOpenLocation = [this](const std::string& Path) { OpenLocation(Path); };
    Dialog.OnDiscard = [this](const std::vector<std::string>& Paths) { DiscardEntries(Paths); };
    Dialog.OnDiscardItems =
        [this](const std::vector<Engine_takeback::TTakeBackSelection>& Selections) {
            DiscardItems(Selections);
        };
    Dialog.Execute();
    FListed = 0;
    FEntriesDialogSettings = Dialog.Settings;
}

void TBinHandler::TakeBackTo(const std::vector<Engine_takeback::TTakeBackSelection>& Selections,
                             HWND Owner) {
    std::string Folder = Gui_application::Application().LastDirectory();
    if (!Gui_shell::PickFolder(Owner, "Specify the folder to take back into.", Folder))
        throw Base_system::EAbort();
    Gui_application::Application().SetLastDirectory(Folder);
    TakeBack(Selections, Folder);
}

void TBinHandler::TakeBack(const std::vector<Engine_takeback::TTakeBackSelection>& Selections,
                           const std::string& TargetFolder) {
    TWindowsTakeBackHost Host(FBin.get());
    Engine_takeback::TTakeBackTask Task(Selections, Host, TargetFolder);
    std::vector<std::string> Names;
    for (const Engine_takeback::TTakeBackSelection& Selection : Selections) {
        const std::string Name = Vek_file::ExtractFileName(Selection.EntryPath);
        if (std::find(Names.begin(), Names.end(), Name) == Names.end())
            Names.push_back(Name);
    }
    const std::size_t Items = Task.Plan().Sources.size();
    // One item is named, as the user knows it.
    const std::string Name =
        Items == 1 ? Vek_file::ExtractFileName(Task.Plan().Sources.front()) : std::string();
    const std::string Question =
        TargetFolder.empty()
            ? Engine_takeback::TakeBackQuestion(Names, Items, Name)
            : Engine_takeback::TakeBackToQuestion(Names, Items, TargetFolder, Name);
    if (Gui_application::Application().ShowMessageBox(
            Question, Gui_application::Application().Title(),
            MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
        throw Base_system::EAbort();
    DoStatus("Taking back files...");
    try {
        Task.Execute();
    } catch (...) {
        DoStatus("");
        throw;
    }
    const std::string Summary = Engine_takeback::OutcomeSummary(Task.Outcomes());
    DoStatus(Summary);
    // The report names every item, those that failed among them.
    if (!Engine_takeback::AllCameBack(Task.Outcomes()))
        ShowReport(Summary, Task.Outcomes());
}

void TBinHandler::ShowReport(const std::string& Summary,
                             const std::vector<Engine_takeback::TItemOutcome>& Outcomes) {
    App_reportdialog::TAppReportDialog Dialog(Summary, Outcomes);
    Dialog.Execute();
}

void TBinHandler::OpenLocation(const std::string& Path) {
    if (!Gui_shell::OpenFolderAndSelect(Path))
        throw Base_system::Exception("The program could not open the item's location.");
}

void TBinHandler::ExploreEntry(const std::string& EntryPath) {
    if (!Gui_shell::ShellExecute(Gui_application::Application().Handle(), "explore", EntryPath,
                                 SW_SHOWNORMAL, SEE_MASK_FLAG_NO_UI))
        throw Base_system::Exception("The program could not explore the entry.");
}

namespace {

// The program's own question before anything goes to the Recycle Bin: the
// one name, or how many; No ends the command.
void AskToDiscard(const std::vector<std::string>& Paths, const char* Many) {
    const std::string What = Paths.size() == 1
                                 ? "\"" + Vek_file::ExtractFileName(Paths.front()) + "\""
                                 : std::to_string(Paths.size()) + " " + Many;
    if (Gui_application::Application().ShowMessageBox(
            "Discard " + What + " into the Recycle Bin?", Gui_application::Application().Title(),
            MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES)
        throw Base_system::EAbort();
}

} // namespace

void TBinHandler::DiscardEntries(const std::vector<std::string>& EntryPaths) {
    if (EntryPaths.empty())
        return;
    AskToDiscard(EntryPaths, "entries");
    CleanUpEntries(EntryPaths);
}

void TBinHandler::DiscardItems(const std::vector<Engine_takeback::TTakeBackSelection>& Selections) {
    std::vector<std::string> Paths;
    for (const Engine_takeback::TTakeBackSelection& Selection : Selections)
        for (const std::string& Item : Selection.Items)
            Paths.push_back(Selection.EntryPath + "\\" + Item);
    if (Paths.empty())
        return;
    AskToDiscard(Paths, "items");
    // The entries' locks keep every other command out until the records
    // have followed; nothing goes where the Recycle Bin cannot take it.
    Engine_lock::TEntryLocks Locks;
    for (const Engine_takeback::TTakeBackSelection& Selection : Selections) {
        const std::string Name = "\"" + Vek_file::ExtractFileName(Selection.EntryPath) + "\"";
        if (!Locks.TryLock(Selection.EntryPath, Engine_lock::RecordWriteWait))
            throw Base_system::Exception("The program cannot discard from " + Name +
                                         ": another command is working on it.");
        if (!Engine_cleanup::HasRecycleBin(Selection.EntryPath))
            throw Base_system::Exception("The program cannot discard from " + Name +
                                         ": the Recycle Bin cannot take its items.");
    }
    DoStatus("Discarding items...");
    const auto Follow = [&Selections] {
        for (const Engine_takeback::TTakeBackSelection& Selection : Selections)
            Engine_record::FollowEntry(Selection.EntryPath);
    };
    try {
        App_fileoperation::Recycle(Paths);
    } catch (...) {
        Follow();
        DoStatus("");
        throw;
    }
    Follow();
    DoStatus("");
}

Engine_takeback::TConflictAnswer
TWindowsTakeBackHost::ChooseConflict(const Engine_takeback::TConflictQuestion& Question) {
    App_conflictdialog::TAppConflictDialog Dialog(Question);
    if (Dialog.Execute() != IDOK)
        throw Base_system::EAbort();
    return Dialog.Answer();
}

void TWindowsTakeBackHost::TellTooLong(const std::string& Path) {
    Gui_application::Application().ShowMessage("Too long: [" + Path + "]");
}

// What a Replace sets aside is put as any put is, into an entry of its own.
std::string TWindowsTakeBackHost::PutAside(const std::vector<std::string>& Paths) {
    FBin->Put(Paths);
    return Vek_file::ExtractFileName(FBin->LastPutEntry());
}

Engine_takeback::TMoveResult
TWindowsTakeBackHost::Move(const std::vector<std::string>& Sources,
                           const std::vector<std::string>& Destinations) {
    App_fileoperation::TFileOperator Operator;
    App_fileoperation::SetPairedMove(Operator, Sources, Destinations);
    Operator.Execute();
    if (Operator.Succeeded())
        return Engine_takeback::TMoveResult::mrDone;
    return Operator.Result() == ERROR_CANCELLED ? Engine_takeback::TMoveResult::mrCancelled
                                                : Engine_takeback::TMoveResult::mrFailed;
}

} // namespace App_binhandler
