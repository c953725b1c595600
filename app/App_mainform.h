// The main window: a narrow strip with the menu, the toolbar, the center
// panel that names the next bin entry, and the status line. It owns the three
// command handlers and the pending-path list, turns dropped files and the
// command line into a put, and keeps the settings file beside the program.
#pragma once

#include "app/App_binhandler.h"
#include "app/App_helphandler.h"
#include "app/App_viewhandler.h"
#include "gui/Gui_inifile.h"
#include "base/Base_stringlist.h"
#include "base/Base_system.h"
#include "gui/Gui_window.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace App_mainform {

class TCenterPanel;

class TAppMainForm : public Gui_window::TWindow {
public:
    // One command of the window. Its menu item, shortcut and toolbar button
    // all carry Command; the menu item shows Checked as its check mark.
    struct TAction {
        int Command;
        void (TAppMainForm::*OnExecute)(TAction& Sender);
        bool Checked = false;
    };

    // The settings file is "Settings.ini" beside the program.
    TAppMainForm();
    // The same window on another settings file, so that tests keep theirs
    // apart from the program's own.
    explicit TAppMainForm(const std::string& SettingsFileName);
    ~TAppMainForm() override;

    HWND ToolBar1() const { return FToolBar1; }
    HWND Panel1() const;
    HWND Label1() const { return FLabel1; }
    HWND StatusBar1() const { return FStatusBar1; }
    App_binhandler::TBinHandler& BinHandler() const { return *FBinHandler; }
    App_viewhandler::TViewHandler& ViewHandler() const { return *FViewHandler; }
    App_helphandler::THelpHandler& HelpHandler() const { return *FHelpHandler; }
    Base_stringlist::TStringList& PendingPaths() const { return *FPendingPaths; }
    const std::string& SettingsFileName() const { return FSettingsFileName; }
    // The least outer height the user can size the window to.
    int MinHeight() const { return FMinHeight; }
    // The DPI the window is drawn at.
    int Dpi() const { return FDpi; }

    TAction BinPutRegularFilesAc{IDM_BIN_PUT_REGULAR_FILES,
                                 &TAppMainForm::BinPutRegularFilesAcExecute};
    TAction BinPutDirectoryAc{IDM_BIN_PUT_DIRECTORY, &TAppMainForm::BinPutDirectoryAcExecute};
    TAction BinPutImportPathsAc{IDM_BIN_PUT_IMPORT_PATHS,
                                &TAppMainForm::BinPutImportPathsAcExecute};
    TAction BinPutDroppedFilesAc{IDM_BIN_PUT_DROPPED_FILES,
                                 &TAppMainForm::BinPutDroppedFilesAcExecute};
    TAction BinExploreAc{IDM_BIN_EXPLORE, &TAppMainForm::BinExploreAcExecute};
    TAction BinPropsAc{IDM_BIN_PROPS, &TAppMainForm::BinPropsAcExecute};
    TAction BinExitAc{IDM_BIN_EXIT, &TAppMainForm::BinExitAcExecute};
    TAction ViewToolbarAc{IDM_VIEW_TOOLBAR, &TAppMainForm::ViewToolbarAcExecute};
    TAction ViewCenterPanelAc{IDM_VIEW_CENTER_PANEL, &TAppMainForm::ViewCenterPanelAcExecute};
    TAction ViewStatusBarAc{IDM_VIEW_STATUS_BAR, &TAppMainForm::ViewStatusBarAcExecute};
    TAction ViewTopmostAc{IDM_VIEW_TOPMOST, &TAppMainForm::ViewTopmostAcExecute};
    TAction HelpContentsAc{IDM_HELP_CONTENTS, &TAppMainForm::HelpContentsAcExecute};
    TAction HelpAboutAc{IDM_HELP_ABOUT, &TAppMainForm::HelpAboutAcExecute};
    TAction BinTakeBackLastPutAc{IDM_BIN_TAKE_BACK_LAST_PUT,
                                 &TAppMainForm::BinTakeBackLastPutAcExecute};
    TAction BinEntriesAc{IDM_BIN_ENTRIES, &TAppMainForm::BinEntriesAcExecute};
    TAction HelpSendToAc{IDM_HELP_SEND_TO, &TAppMainForm::HelpSendToAcExecute};
    TAction BinCleanUpAc{IDM_BIN_CLEAN_UP, &TAppMainForm::BinCleanUpAcExecute};

    // From now on the window takes the paths that a second start of the
    // program from this folder hands over (HandToRunningCopy), under the
    // name of the folder's instance.
    void AcceptHandedPaths(const std::string& InstanceName);
    // The paths of each hand-over wait here, one put each, until the window
    // is free: no command runs, no modal window is up and the command line
    // has been put.
    std::size_t WaitingHandedPuts() const { return FHandedPuts.size(); }

    // Runs the action through ActionList1Execute, as its menu item would.
    void ExecuteAction(TAction& Action);
    void SetChecked(TAction& Action, bool Checked);

    // A request to close, as the close box and Exit make it: the settings
    // are saved first, and the window is destroyed when that allows it.
    void Close();

    void HandlerStatus(Base_system::TObject* Sender, const std::string& Text);
    void BinHandlerChange(Base_system::TObject* Sender);
    void ViewHandlerChange(Base_system::TObject* Sender);
    void HelpHandlerChange(Base_system::TObject* Sender);
    void PendingPathsChange(Base_system::TObject* Sender);

    // Every action passes here: the hourglass shows while its command runs.
    void ActionList1Execute(TAction& Action, bool& Handled);
    void BinPutRegularFilesAcExecute(TAction& Sender);
    void BinPutDirectoryAcExecute(TAction& Sender);
    void BinPutImportPathsAcExecute(TAction& Sender);
    void BinPutDroppedFilesAcExecute(TAction& Sender);
    void BinExploreAcExecute(TAction& Sender);
    void BinPropsAcExecute(TAction& Sender);
    void BinExitAcExecute(TAction& Sender);
    void ViewToolbarAcExecute(TAction& Sender);
    void ViewCenterPanelAcExecute(TAction& Sender);
    void ViewStatusBarAcExecute(TAction& Sender);
    void ViewTopmostAcExecute(TAction& Sender);
    void HelpContentsAcExecute(TAction& Sender);
    void HelpAboutAcExecute(TAction& Sender);
    void BinTakeBackLastPutAcExecute(TAction& Sender);
    void BinEntriesAcExecute(TAction& Sender);
    void HelpSendToAcExecute(TAction& Sender);
    void BinCleanUpAcExecute(TAction& Sender);

    void FormCloseQuery(Base_system::TObject* Sender, bool& CanClose);
    void ApplicationIdle(Base_system::TObject* Sender, bool& Done);
    void PutCommandLine();
    // The start-up's clean-up has ended: its status shows, its failure is
    // reported.
    void CleanUpFinished();
    void WMDropFiles(HDROP Drop);
    // A hand-over from a second start: true when its block was taken.
    bool WMCopyData(const COPYDATASTRUCT& Data);
    // Puts the first waiting hand-over, when the window is free.
    void PutHandedPaths();

    void FitHeightToBars();
    void StackBars();

    void LoadSettingsFile();
    void SaveSettingsFile();
    // Writes the settings file at once, when a put has stepped the index.
    void SaveIndex();
    void ReadFormSettings(Gui_inifile::TCustomIniFile& Ini);
    void WriteFormSettings(Gui_inifile::TCustomIniFile& Ini);

protected:
    LRESULT WndProc(UINT Message, WPARAM WParam, LPARAM LParam) override;
    void MoveToDpi(int Dpi, const RECT& Suggested) override;

private:
    void CreateForm();
    void CreateToolBar();
    void CreateCenterPanel();
    void CreateStatusBar();
    void ApplyDpi();
    void LoadToolImages();
    int Scale(int DesignSize) const;
    static RECT DesignBounds(int Dpi);
    void InitializeForm(const std::string& SettingsFileName);
    void WriteSettingsFile();
    void FinalizeForm();
    TAction* FindMenuAction(int Command);
    bool ToolTipText(NMHDR& Header);
    void QueryEndSession();
    RECT FormBounds() const;
    bool IsBusy() const;
    void PostHandedPaths();

    // Marks the window busy while it lives, for the hand-overs.
    class TBusyScope {
    public:
        explicit TBusyScope(TAppMainForm& Form);
        ~TBusyScope();
        TBusyScope(const TBusyScope&) = delete;
        TBusyScope& operator=(const TBusyScope&) = delete;

    private:
        TAppMainForm& FForm;
    };

    struct TFontDeleter {
        void operator()(HFONT Font) const { DeleteObject(Font); }
    };
    struct TImageListDeleter {
        void operator()(HIMAGELIST List) const { ImageList_Destroy(List); }
    };

    using TFontPtr = std::unique_ptr<std::remove_pointer_t<HFONT>, TFontDeleter>;
    using TImageListPtr = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, TImageListDeleter>;

    int FDpi = 0;
    TFontPtr FFont;
    TImageListPtr FImageList1;
    HWND FToolBar1 = nullptr;
    std::unique_ptr<TCenterPanel> FPanel1;
    HWND FLabel1 = nullptr;
    HWND FStatusBar1 = nullptr;
    int FMinHeight = 0;
    bool FIdleHooked = false;
    bool FSaveFailed = false;
    // The commands running now, the outer one and those it started.
    int FRunning = 0;
    std::string FInstanceName;
    std::deque<std::vector<std::string>> FHandedPuts;

    std::unique_ptr<App_binhandler::TBinHandler> FBinHandler;
    std::unique_ptr<App_viewhandler::TViewHandler> FViewHandler;
    std::unique_ptr<App_helphandler::THelpHandler> FHelpHandler;
    std::unique_ptr<Base_stringlist::TStringList> FPendingPaths;
    std::string FSettingsFileName;
};

// The program's main window once start-up has made it.
extern TAppMainForm* AppMainForm;

// "Settings.ini" in the directory of the running program.
std::string DefaultSettingsFileName();

// A second start's paths, handed to the main window of the copy that runs
// under InstanceName (the instance of this program folder). True once that
// copy has taken them; false when no such copy answers within a few
// seconds, or it refuses them.
bool HandToRunningCopy(const std::string& InstanceName, const std::vector<std::string>& Paths);

} // namespace App_mainform
