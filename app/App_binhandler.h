// The handler of the Bin menu: it owns the bin and the open dialogs of its
// commands, gathers paths from the user and puts them, opens the bin in the
// explorer, edits the bin's properties and keeps all of that in the settings.
#pragma once

#include "app/App_bin.h"
#include "app/App_cleanupdialog.h"
#include "app/App_entriesdialog.h"
#include "app/App_handler.h"
#include "base/Base_stringlist.h"
#include "engine/Engine_cleanup.h"
#include "engine/Engine_takeback.h"
#include "gui/Gui_inifile.h"
#include "gui/Gui_opendialog.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace App_binhandler {

// The program's windows as the host of a take back: the conflict question,
// the "Too long" box, a put into Bin for what a Replace sets aside (none
// without a bin) and the shell's move behind the guard dialog.
class TWindowsTakeBackHost : public Engine_takeback::TTakeBackHost {
public:
    explicit TWindowsTakeBackHost(App_bin::TBin* Bin = nullptr) : FBin(Bin) {}

    Engine_takeback::TConflictAnswer
    ChooseConflict(const Engine_takeback::TConflictQuestion& Question) override;
    void TellTooLong(const std::string& Path) override;
    bool CanPutAside() const override { return FBin != nullptr; }
    std::string PutAside(const std::vector<std::string>& Paths) override;
    Engine_takeback::TMoveResult Move(const std::vector<std::string>& Sources,
                                      const std::vector<std::string>& Destinations) override;

private:
    App_bin::TBin* FBin;
};

// The status line after a put, from what arrived of the items it was
// given: "3 items put into Tovel #0004.", "1 item put into Tovel #0004.", or
// "2 of 3 items put into Tovel #0004." when the shell's move did not finish.
std::string PutMessage(std::size_t Arrived, std::size_t Given, const std::string& EntryName);

class TBinHandler : public App_handler::THandler {
public:
    TBinHandler();
    ~TBinHandler() override;

    App_bin::TBin& Bin() const { return *FBin; }
    Gui_opendialog::TOpenDialog& PutRegularFilesDialog() const { return *FPutRegularFilesDialog; }
    Gui_opendialog::TOpenDialog& PutImportPathsDialog() const { return *FPutImportPathsDialog; }

    void LoadSettings(Gui_inifile::TCustomIniFile& Ini) override;
    void SaveSettings(Gui_inifile::TCustomIniFile& Ini) override;

    // Each command raises Base_system::EAbort when the user cancels it.
    virtual void PutRegularFiles();
    virtual void PutDirectory();
    virtual void PutImportPaths();
    // Paths is only read; emptying it afterwards is the caller's business.
    virtual void PutDroppedFiles(const Base_stringlist::TStringList& Paths);
    virtual void Explore();
    virtual void EditProps();

    // Takes back the items of the bin's last put (by the records; an entry
    // without one counts as a put of its whole self) after a Yes/No
    // question; a bin without a put raises "The program cannot find an
    // entry in the bin.".
    virtual void TakeBackLastPut();
    // The entries dialog over the bin, made for this use only.
    virtual void ShowEntries();
    // The commands of the entries dialog; a No to a question raises
    // Base_system::EAbort.
    // Takes back the selected items, to where they came from or, given a
    // TargetFolder, into it, after a Yes/No question that names the
    // entries and the items. The status line sums up what became of the
    // items; unless every one simply came back, the report lists each
    // (ShowReport).
    virtual void TakeBack(const std::vector<Engine_takeback::TTakeBackSelection>& Selections,
                          const std::string& TargetFolder = std::string());
    // What became of each item of a take back that did not simply bring
    // everything back, in the report window.
    virtual void ShowReport(const std::string& Summary,
                            const std::vector<Engine_takeback::TItemOutcome>& Outcomes);
    // Asks for a folder in the folder picker, over Owner (the window the
    // command came from; null for the main window), and takes the selected
    // items into it.
    virtual void TakeBackTo(const std::vector<Engine_takeback::TTakeBackSelection>& Selections,
                            HWND Owner);
    // At the program's start: tells in one box of every put into the bin
    // that did not finish (the bin of the fixed location only: nothing is
    // asked of the user for it).
    virtual void NoticeUnfinishedPuts();
    virtual void ExploreEntry(const std::string& EntryPath);
    // The folder that holds Path in Explorer, with Path selected.
    virtual void OpenLocation(const std::string& Path);
    // Sends the entries to the Recycle Bin after a Yes/No question that
    // names them.
    virtual void DiscardEntries(const std::vector<std::string>& EntryPaths);
    // Single items of entries into the Recycle Bin, after a question; each
    // entry's record then follows what is left in it.
    void DiscardItems(const std::vector<Engine_takeback::TTakeBackSelection>& Selections);

    // The clean-up dialog over the bin, made for this use only; the rules
    // the user leaves in it are kept.
    virtual void ShowCleanUp();
    // Sends the entries to the Recycle Bin; the dialog has asked already.
    virtual void CleanUpEntries(const std::vector<std::string>& EntryPaths);
    // At the program's start, when the rules say so: the clean-up of the
    // bin of the fixed location runs on a thread of its own, which posts
    // Message to Window once it has ended. False when none started.
    bool StartCleanUp(HWND Window, UINT Message);
    // After that message: the status text of what the clean-up did (empty
    // when another program folder was cleaning the bin). Its failure is
    // raised here.
    std::string FinishCleanUp();

    Engine_cleanup::TCleanUpRules& CleanUpRules() { return FCleanUpRules; }
    // The clean-up's section, written after the entries dialog's.
    void LoadCleanUpSettings(Gui_inifile::TCustomIniFile& Ini);
    void SaveCleanUpSettings(Gui_inifile::TCustomIniFile& Ini);

    // The entries dialog's own section, written after every other section
    // of the settings file, so the main window calls these last.
    App_entriesdialog::TEntriesDialogSettings& EntriesDialogSettings() {
        return FEntriesDialogSettings;
    }
    void LoadEntriesDialogSettings(Gui_inifile::TCustomIniFile& Ini);
    void SaveEntriesDialogSettings(Gui_inifile::TCustomIniFile& Ini);

    // A put has stepped the index of the bin: the settings that hold it are
    // to be written now.
    Base_system::TNotifyEvent OnIndexStepped;

private:
    void LoadBinSettings(Gui_inifile::TCustomIniFile& Ini);
    void LoadEntryNameSettings(Gui_inifile::TCustomIniFile& Ini);
    void SaveBinSettings(Gui_inifile::TCustomIniFile& Ini);
    void SaveEntryNameSettings(Gui_inifile::TCustomIniFile& Ini);

    std::unique_ptr<App_bin::TBin> FBin;
    std::unique_ptr<Gui_opendialog::TOpenDialog> FPutRegularFilesDialog;
    std::unique_ptr<Gui_opendialog::TOpenDialog> FPutImportPathsDialog;
    App_entriesdialog::TEntriesDialogSettings FEntriesDialogSettings;
    Engine_cleanup::TCleanUpRules FCleanUpRules;
    // When the open dialog last listed the bin: a put into an entry after
    // that is one the user has not seen. 0 while no dialog lists it: the
    // entries are named as they are now.
    std::uint64_t FListed = 0;
    App_cleanupdialog::TCleanUpListSettings FCleanUpList;
    // The start-up's clean-up: its thread, and what it found or raised.
    std::unique_ptr<Engine_cleanup::TStartUpCleanUp> FCleanUp;
    std::thread FCleanUpThread;
    Engine_cleanup::TStartUpCleanUp::TResult FCleanUpResult;
    std::exception_ptr FCleanUpFailure;
};

} // namespace App_binhandler
