#include "app/App_binhandler.h"

#include "PortableSupport.h"
#include "TestSupport.h"
#include "app/App_binpropsdialog.h"
#include "engine/Engine_catalog.h"
#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "gui/Gui_inifile.h"
#include "res/resource.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

using App_binhandler::TBinHandler;
using Gui_application::Application;
using PortableSupport::FailureOf;
using TestSupport::InEntry;
using TestSupport::TTempDir;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// What the handler told its listeners, in order: "status:<text>" and "change".
class TEventLog {
public:
    explicit TEventLog(TBinHandler& Handler) {
        Handler.OnStatus = [this, &Handler](Base_system::TObject* Sender, const std::string& Text) {
            Events.push_back(Sender == &Handler ? "status:" + Text : "status of a stranger");
        };
        Handler.OnChange = [this, &Handler](Base_system::TObject* Sender) {
            Events.push_back(Sender == &Handler ? "change" : "change of a stranger");
        };
    }
    std::vector<std::string> Events;
};

const std::string DefaultText = "[MainForm.BinHandler.Bin]\r\n"
                                "LocationType=0\r\n"
                                "FixedLocation=\"Bin\"\r\n"
                                "\r\n"
                                "[MainForm.BinHandler.Bin.EntryName]\r\n"
                                "Prefix=\"Tovel #\"\r\n"
                                "Suffix=\"\"\r\n"
                                "Min=0\r\n"
                                "Max=9999\r\n"
                                "Index=0\r\n"
                                "FillDigits=1\r\n"
                                "\r\n"
                                "[MainForm.BinHandler.PutRegularFilesDialog]\r\n"
                                "FilterIndex=1\r\n"
                                "\r\n"
                                "[MainForm.BinHandler.PutImportPathsDialog]\r\n"
                                "FilterIndex=1\r\n"
                                "\r\n";

const std::string BinSection = "[MainForm.BinHandler.Bin]\r\n";
const std::string EntryNameSection = "[MainForm.BinHandler.Bin.EntryName]\r\n";

class App_binhandler_Settings : public testing::Test {
protected:
    std::string FileName() const { return Dir / "Settings.ini"; }

    std::string SavedText(TBinHandler& From) {
        Gui_inifile::TMemIniFile Ini(FileName());
        From.SaveSettings(Ini);
        return Ini.GetText();
    }

    void Load(const std::string& Text) {
        Gui_inifile::TMemIniFile Ini(FileName());
        Ini.SetText(Text);
        Handler.LoadSettings(Ini);
    }

    App_bin::TBinEntryName& EntryName() { return Handler.Bin().EntryName(); }

    TTempDir Dir;
    TBinHandler Handler;
};

} // namespace

TEST_F(App_binhandler_Settings, DialogsCarryTheirFixedSettings) {
    using namespace Gui_opendialog;
    const TOpenDialog& Regular = Handler.PutRegularFilesDialog();
    EXPECT_EQ(Regular.Title, "Put Regular Files");
    EXPECT_EQ(Regular.Filter, "All (*.*)|*.*");
    EXPECT_EQ(Regular.FilterIndex, 1);
    EXPECT_EQ(Regular.Options,
              TOpenOptions(ofAllowMultiSelect | ofPathMustExist | ofFileMustExist |
                           ofNoDereferenceLinks | ofHideReadOnly | ofEnableSizing));
    const TOpenDialog& Import = Handler.PutImportPathsDialog();
    EXPECT_EQ(Import.Title, "Import Paths");
    EXPECT_EQ(Import.Filter, "Text (*.txt)|*.txt|All (*.*)|*.*");
    EXPECT_EQ(Import.FilterIndex, 1);
    EXPECT_EQ(Import.Options,
              TOpenOptions(ofPathMustExist | ofFileMustExist | ofHideReadOnly | ofEnableSizing));
}

TEST_F(App_binhandler_Settings, DefaultsAreWrittenExactlyAfterTheOtherSections) {
    Gui_inifile::TMemIniFile Ini(FileName());
    Ini.WriteString("System", "CurrentDirectory", "\"C:\\\"");
    Handler.SaveSettings(Ini);
    EXPECT_EQ(Ini.GetText(), "[System]\r\nCurrentDirectory=\"C:\\\"\r\n\r\n" + DefaultText);
}

TEST_F(App_binhandler_Settings, SaveAndLoadRestoreEveryValue) {
    App_bin::TBinProps Props;
    Props.LocationType = 255;
    Props.FixedLocation = "  D:\\My \"Bin\"  ";
    Props.EntryName.Prefix = " 'Tovel' # ";
    Props.EntryName.Suffix = " ) ";
    Props.EntryName.Min = 3;
    Props.EntryName.Max = 70000;
    Props.EntryName.Index = 12;
    Props.EntryName.FillDigits = false;
    Handler.Bin().SetProps(Props);
    Handler.PutRegularFilesDialog().FilterIndex = 7;
    Handler.PutImportPathsDialog().FilterIndex = -2;

    {
        Gui_inifile::TMemIniFile Ini(FileName());
        Handler.SaveSettings(Ini);
        Ini.UpdateFile();
    }
    const std::string Written = TestSupport::ReadFile(FileName());
    EXPECT_NE(Written.find(BinSection + "LocationType=-1\r\n"
                                        "FixedLocation=\"  D:\\My \"\"Bin\"\"  \"\r\n"),
              std::string::npos)
        << Written;
    EXPECT_NE(Written.find(EntryNameSection + "Prefix=\" 'Tovel' # \"\r\n"
                                              "Suffix=\" ) \"\r\n"
                                              "Min=3\r\n"
                                              "Max=70000\r\n"
                                              "Index=12\r\n"
                                              "FillDigits=0\r\n"),
              std::string::npos)
        << Written;

    TBinHandler Other;
    TEventLog Log(Other);
    {
        Gui_inifile::TMemIniFile Ini(FileName());
        Other.LoadSettings(Ini);
    }
    App_bin::TBinProps Loaded;
    Other.Bin().GetProps(Loaded);
    EXPECT_EQ(Loaded.LocationType, 255);
    EXPECT_EQ(Loaded.FixedLocation, Props.FixedLocation);
    EXPECT_EQ(Loaded.EntryName.Prefix, Props.EntryName.Prefix);
    EXPECT_EQ(Loaded.EntryName.Suffix, Props.EntryName.Suffix);
    EXPECT_EQ(Loaded.EntryName.Min, 3);
    EXPECT_EQ(Loaded.EntryName.Max, 70000);
    EXPECT_EQ(Loaded.EntryName.Index, 12);
    EXPECT_FALSE(Loaded.EntryName.FillDigits);
    EXPECT_EQ(Other.PutRegularFilesDialog().FilterIndex, 7);
    EXPECT_EQ(Other.PutImportPathsDialog().FilterIndex, -2);
    EXPECT_FALSE(Log.Events.empty());
    EXPECT_EQ(SavedText(Other), SavedText(Handler));
}

TEST_F(App_binhandler_Settings, IndexOutOfRangeStopsTheLoadAfterPrefixAndSuffix) {
    const std::string Text = BinSection + "LocationType=1\r\nFixedLocation=\"X\"\r\n" +
                             EntryNameSection +
                             "Prefix=\"P\"\r\nSuffix=\"S\"\r\nMin=5\r\nIndex=0\r\nFillDigits=0\r\n"
                             "[MainForm.BinHandler.PutRegularFilesDialog]\r\nFilterIndex=2\r\n"
                             "[MainForm.BinHandler.PutImportPathsDialog]\r\nFilterIndex=2\r\n";
    EXPECT_EQ(FailureOf([&] { Load(Text); }), "The program cannot reset the index.");
    EXPECT_EQ(Handler.Bin().LocationType(), App_bin::bltAskUser);
    EXPECT_EQ(Handler.Bin().FixedLocation(), "X");
    EXPECT_EQ(EntryName().Prefix(), "P");
    EXPECT_EQ(EntryName().Suffix(), "S");
    EXPECT_EQ(EntryName().Min(), 0);
    EXPECT_EQ(EntryName().Max(), 9999);
    EXPECT_EQ(EntryName().Index(), 0);
    EXPECT_TRUE(EntryName().FillDigits());
    EXPECT_EQ(Handler.PutRegularFilesDialog().FilterIndex, 1);
    EXPECT_EQ(Handler.PutImportPathsDialog().FilterIndex, 1);
}

TEST_F(App_binhandler_Settings, LocationTypeKeepsItsLowByte) {
    Load(BinSection + "LocationType=257\r\n");
    EXPECT_EQ(Handler.Bin().LocationType(), App_bin::bltAskUser);
    Load(BinSection + "LocationType=-1\r\n");
    EXPECT_EQ(Handler.Bin().LocationType(), 255);
    EXPECT_NE(SavedText(Handler).find("LocationType=-1\r\n"), std::string::npos);
    Load(BinSection + "LocationType=$100\r\n");
    EXPECT_EQ(Handler.Bin().LocationType(), App_bin::bltFixed);
}

TEST_F(App_binhandler_Settings, IntegersReadHexadecimalAndKeepTheCurrentOnGarbage) {
    Load(EntryNameSection + "Max=0x10\r\nIndex=$0F\r\n");
    EXPECT_EQ(EntryName().Max(), 16);
    EXPECT_EQ(EntryName().Index(), 15);
    Load(EntryNameSection + "Max=abc\r\nMin=2 \r\nIndex=3x\r\n");
    EXPECT_EQ(EntryName().Max(), 16);
    EXPECT_EQ(EntryName().Min(), 2); // the store trims the trailing blank
    EXPECT_EQ(EntryName().Index(), 15);
    Load("[MainForm.BinHandler.PutRegularFilesDialog]\r\nFilterIndex=two\r\n"
         "[MainForm.BinHandler.PutImportPathsDialog]\r\nFilterIndex=0x2\r\n");
    EXPECT_EQ(Handler.PutRegularFilesDialog().FilterIndex, 1);
    EXPECT_EQ(Handler.PutImportPathsDialog().FilterIndex, 2);
}

TEST_F(App_binhandler_Settings, FillDigitsReadsAnyNumberButZeroAsTrue) {
    EntryName().SetFillDigits(false);
    Load(EntryNameSection + "FillDigits=2\r\n");
    EXPECT_TRUE(EntryName().FillDigits());
    // Garbage keeps the current value, whichever it is.
    Load(EntryNameSection + "FillDigits=yes\r\n");
    EXPECT_TRUE(EntryName().FillDigits());
    Load(EntryNameSection + "FillDigits=0\r\n");
    EXPECT_FALSE(EntryName().FillDigits());
    Load(EntryNameSection + "FillDigits=yes\r\n");
    EXPECT_FALSE(EntryName().FillDigits());
    Load(EntryNameSection + "FillDigits=-1\r\n");
    EXPECT_TRUE(EntryName().FillDigits());
}

TEST_F(App_binhandler_Settings, TextsMustBeQuoted) {
    Load(EntryNameSection + "Prefix=Tovel #\r\nSuffix=\"A''B\"\r\n" + BinSection +
         "FixedLocation=\"A\"\"B\"\r\n");
    EXPECT_EQ(EntryName().Prefix(), "");
    EXPECT_EQ(EntryName().Suffix(), "A''B");
    EXPECT_EQ(Handler.Bin().FixedLocation(), "A\"B");
    Load(EntryNameSection + "Prefix=\"X\"\r\n");
    EXPECT_EQ(EntryName().Prefix(), "X");
    EXPECT_EQ(EntryName().Suffix(), "A''B");
    // A prefix or suffix that would put entries outside the bin, or that no
    // file name can hold, ends the load as an index out of range does.
    for (const char* Unfit : {"..\\", "\\x", "C:", "a/b", "a*b"}) {
        EXPECT_EQ(FailureOf([&] { Load(EntryNameSection + "Prefix=\"" + Unfit + "\"\r\n"); }),
                  "The program cannot use the prefix.");
        EXPECT_EQ(FailureOf([&] { Load(EntryNameSection + "Suffix=\"" + Unfit + "\"\r\n"); }),
                  "The program cannot use the suffix.");
    }
    EXPECT_EQ(EntryName().Prefix(), "X");
    EXPECT_EQ(EntryName().Suffix(), "A''B");
    Load(EntryNameSection + "Prefix=\"\"\r\n" + BinSection + "FixedLocation=\"  \\Bin \"\r\n");
    EXPECT_EQ(EntryName().Prefix(), "");
    EXPECT_EQ(Handler.Bin().FixedLocation(), "  \\Bin ");
}

TEST_F(App_binhandler_Settings, ChangeFiresOnlyForEffectiveChanges) {
    TEventLog Log(Handler);
    Load(DefaultText);
    Load("");
    Load("[MainForm.BinHandler.Bin.EntryName]\r\nprefix=\"Tovel #\"\r\n");
    EXPECT_TRUE(Log.Events.empty());
    EXPECT_EQ(SavedText(Handler), DefaultText);

    Load(EntryNameSection + "Suffix=\")\"\r\n");
    EXPECT_EQ(Log.Events, std::vector<std::string>{"change"});
    Log.Events.clear();
    Load(EntryNameSection + "Min=1\r\nIndex=2\r\nMax=3\r\n");
    EXPECT_FALSE(Log.Events.empty());
    EXPECT_EQ(EntryName().Min(), 1);
    EXPECT_EQ(EntryName().Index(), 2);
    EXPECT_EQ(EntryName().Max(), 3);
}

namespace {

bool IsOpenDialogCaption(const std::string& Caption) {
    return Caption == "Import Paths" || Caption == "Put Regular Files";
}

// The open dialog's file name box: an edit box in the older template, a
// combo box with one inside in the newer.
HWND FileNameBox(HWND Dialog) {
    if (HWND Combo = GetDlgItem(Dialog, cmb13))
        return Combo;
    return GetDlgItem(Dialog, edt1);
}

HWND ChildOfClass(HWND Dialog, const std::string& Class) {
    for (HWND Child = GetWindow(Dialog, GW_CHILD); Child; Child = GetWindow(Child, GW_HWNDNEXT)) {
        if (TestSupport::ClassName(Child) == Class && IsWindowVisible(Child))
            return Child;
    }
    return nullptr;
}

bool IsFolderBrowser(HWND Dialog) {
    return ChildOfClass(Dialog, "SysTreeView32") != nullptr;
}

// Answers the dialogs the commands open, on a thread of its own, and records
// each as "caption|text" (the open dialogs as "caption|file name box text",
// read before anything is typed). An open dialog receives the file to type
// and OK, or Cancel when there is none; the folder browser selects the folder
// to select and presses OK, or Cancel when there is none; the properties
// dialog is left to the props action; every other dialog is taken for a
// message box and confirmed.
class TDialogDriver {
public:
    TDialogDriver() : FWatcher([this](HWND Dialog) { Answer(Dialog); }) {}

    void SetFileToType(const std::string& Path) {
        std::lock_guard<std::mutex> Guard(FLock);
        FFileToType = Path;
    }
    void SetFolderToSelect(const std::string& Path) {
        std::lock_guard<std::mutex> Guard(FLock);
        FFolderToSelect = Path;
    }
    void SetPropsAction(std::function<void(HWND Dialog)> Action) {
        std::lock_guard<std::mutex> Guard(FLock);
        FPropsAction = std::move(Action);
    }

    std::vector<std::string> Seen() const {
        std::lock_guard<std::mutex> Guard(FLock);
        return FSeen;
    }

private:
    void Record(const std::string& Entry) {
        std::lock_guard<std::mutex> Guard(FLock);
        FSeen.push_back(Entry);
    }

    void Answer(HWND Dialog) {
        std::unique_lock<std::mutex> Guard(FLock);
        const std::string FileToType = FFileToType;
        const std::string FolderToSelect = FFolderToSelect;
        const std::function<void(HWND)> PropsAction = FPropsAction;
        Guard.unlock();

        const std::string Caption = TestSupport::WindowText(Dialog);
        HWND Box = FileNameBox(Dialog);
        if (IsOpenDialogCaption(Caption) && Box) {
            FPending = Dialog;
            FPendingCaption = Caption;
            Record(Caption + "|" + TestSupport::WindowText(Box));
            if (FileToType.empty()) {
                TestSupport::PressButton(Dialog, IDCANCEL);
                return;
            }
            SendMessageA(Box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(FileToType.c_str()));
            TestSupport::PressButton(Dialog, IDOK);
        } else if (Caption == "Properties" && PropsAction) {
            FPending = Dialog;
            FPendingCaption = Caption;
            Record(Caption + "|");
            PropsAction(Dialog);
        } else if (IsFolderBrowser(Dialog)) {
            // Its caption is the shell's, its text ours.
            Record("browser|" + TestSupport::MessageBoxText(Dialog));
            if (FolderToSelect.empty()) {
                TestSupport::PressButton(Dialog, IDCANCEL);
                return;
            }
            TestSupport::SelectFolder(Dialog, FolderToSelect);
            TestSupport::PressButton(Dialog, IDOK);
        } else {
            Record(Caption + "|" + TestSupport::MessageBoxText(Dialog));
            TestSupport::PressButton(Dialog, IDOK);
            // A box over a dialog the test filled means the dialog refused
            // what it was given: cancel that one too, so that the test ends.
            if (IsWindow(FPending) && TestSupport::WindowText(FPending) == FPendingCaption)
                TestSupport::PressButton(FPending, IDCANCEL);
        }
    }

    mutable std::mutex FLock;
    std::string FFileToType;
    std::string FFolderToSelect;
    std::function<void(HWND Dialog)> FPropsAction;
    std::vector<std::string> FSeen;
    // The open or properties dialog last answered; only the watcher uses it.
    HWND FPending = nullptr;
    std::string FPendingCaption;
    TestSupport::TDialogWatcher FWatcher;
};

class App_binhandler_Commands : public testing::Test {
protected:
    void SetUp() override {
        FSavedDirectory = Application().LastDirectory();
        FCurrentDirectory = Vek_file::GetCurrentDirectoryPath();
        // A bin with a drive stays where it is, wherever the test program runs.
        Handler.Bin().SetFixedLocation(Dir / "Bin");
        Vek_file::MakeDirectory(Source);
        Application().SetLastDirectory(Source);
        Log.Events.clear();
    }

    void TearDown() override {
        // No command moves the process's current directory: Windows holds it
        // open, and a folder held that way could not be put.
        EXPECT_EQ(Vek_file::GetCurrentDirectoryPath(), FCurrentDirectory);
        Application().SetLastDirectory(FSavedDirectory);
    }

    std::string Entry(const std::string& Name) const { return Dir / ("Bin\\" + Name); }
    std::int32_t Index() const { return Handler.Bin().EntryName().Index(); }

    std::string MakeFile(const std::string& Name, const std::string& Bytes = "data") {
        const std::string Path = Source + "\\" + Name;
        TestSupport::WriteFile(Path, Bytes);
        return Path;
    }

    // Each file put into an entry of its own, every box answered.
    void PutEach(const std::vector<std::string>& Paths) {
        TestSupport::TBoxRecorder Quiet;
        for (const std::string& Path : Paths)
            Handler.Bin().Put({Path});
    }

    // The sources and the bin together: what nothing may lose.
    std::vector<std::string> Print() const { return TestSupport::FilePrint({Source, Dir / "Bin"}); }

    std::string MakeImportFile(const std::string& Bytes) {
        const std::string Path = Dir / "paths.txt";
        TestSupport::WriteFile(Path, Bytes);
        return Path;
    }

    TTempDir Dir;
    const std::string Source = Dir / "Source";
    TBinHandler Handler;
    TEventLog Log{Handler};

    // A put that ends says what arrived where.
    static std::vector<std::string> PutEvents(const std::string& Status) {
        return {"status:Putting files...", "change", "status:" + Status};
    }
    const std::vector<std::string> FailedPutEvents{"status:Putting files...", "status:"};

private:
    std::string FSavedDirectory;
    std::string FCurrentDirectory;
};

} // namespace

TEST_F(App_binhandler_Commands, PutRegularFilesPutsAllChosenFilesInOneEntry) {
    const std::string A = MakeFile("a.txt", "A");
    const std::string B = MakeFile("b.txt", "B");
    const std::string C = MakeFile("c.txt", "C");
    Handler.PutRegularFilesDialog().FileName = A;
    TDialogDriver Driver;
    Driver.SetFileToType("\"a.txt\" \"b.txt\" \"c.txt\"");
    EXPECT_EQ(FailureOf([&] { Handler.PutRegularFiles(); }), "no failure");
    // The file of the last use is never proposed.
    EXPECT_EQ(Driver.Seen(), std::vector<std::string>{"Put Regular Files|"});
    EXPECT_EQ(Log.Events, PutEvents("3 items put into Tovel #0000."));
    EXPECT_EQ(Index(), 1);
    for (const std::string& Path : {A, B, C}) {
        EXPECT_FALSE(TestSupport::Exists(Path)) << Path;
        EXPECT_TRUE(TestSupport::Exists(InEntry(Entry("Tovel #0000"), Path))) << Path;
    }
    EXPECT_FALSE(TestSupport::Exists(Entry("Tovel #0001")));
}

TEST_F(App_binhandler_Commands, CancelledCommandsChangeNothing) {
    TDialogDriver Driver;
    EXPECT_EQ(FailureOf([&] { Handler.PutRegularFiles(); }), "EAbort");
    EXPECT_EQ(FailureOf([&] { Handler.PutImportPaths(); }), "EAbort");
    EXPECT_EQ(FailureOf([&] { Handler.PutDirectory(); }), "EAbort");
    // Cancelled before any put: no status, no change.
    EXPECT_EQ(Log.Events, std::vector<std::string>{});
    Handler.Bin().SetLocationType(App_bin::bltAskUser);
    Log.Events.clear();
    EXPECT_EQ(FailureOf([&] { Handler.Explore(); }), "EAbort");
    EXPECT_EQ(Log.Events, std::vector<std::string>{});
    EXPECT_EQ(FailureOf([&] {
                  Base_stringlist::TStringList Paths;
                  Paths.Add(MakeFile("kept.txt"));
                  Handler.PutDroppedFiles(Paths);
              }),
              "EAbort");
    EXPECT_EQ(Driver.Seen(), (std::vector<std::string>{"Put Regular Files|", "Import Paths|",
                                                       "browser|Specify the directory.",
                                                       "browser|Specify the bin location.",
                                                       "browser|Specify the bin location."}));
    // The cancelled put still reported itself and cleared the line after.
    EXPECT_EQ(Log.Events, FailedPutEvents);
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(Application().LastDirectory(), Source);
    EXPECT_TRUE(TestSupport::Exists(Source + "\\kept.txt"));
    EXPECT_FALSE(TestSupport::Exists(Dir / "Bin"));
}

TEST_F(App_binhandler_Commands, PutDirectoryMovesTheChosenDirectoryAndRemembersIt) {
    const std::string Chosen = Dir / "Chosen";
    Vek_file::MakeDirectory(Chosen);
    TestSupport::WriteFile(Chosen + "\\inner.txt", "inner");
    TDialogDriver Driver;
    Driver.SetFolderToSelect(Chosen);
    EXPECT_EQ(FailureOf([&] { Handler.PutDirectory(); }), "no failure");
    EXPECT_EQ(Driver.Seen(), std::vector<std::string>{"browser|Specify the directory."});
    EXPECT_EQ(Application().LastDirectory(), Chosen);
    EXPECT_EQ(Log.Events, PutEvents("1 item put into Tovel #0000."));
    EXPECT_EQ(Index(), 1);
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), Chosen) + "\\inner.txt"),
              "inner");
    EXPECT_FALSE(TestSupport::Exists(Chosen));
}

// Choosing files in a folder must not hold that folder open: the program
// only remembers it, so the folder itself can be put right after.
TEST_F(App_binhandler_Commands, FolderOfChosenFilesCanBePutWhole) {
    const std::string Folder = Source + "\\Folder";
    Vek_file::MakeDirectory(Folder + "\\Inner");
    TestSupport::WriteFile(Folder + "\\first.txt", "first");
    TestSupport::WriteFile(Folder + "\\second.txt", "second");
    TestSupport::WriteFile(Folder + "\\Inner\\third.txt", "third");
    const std::vector<std::string> Before = Print();
    TDialogDriver Driver;
    Driver.SetFileToType(Folder + "\\first.txt");
    Driver.SetFolderToSelect(Folder);
    EXPECT_EQ(FailureOf([&] { Handler.PutRegularFiles(); }), "no failure");
    EXPECT_EQ(Application().LastDirectory(), Folder);
    EXPECT_EQ(FailureOf([&] { Handler.PutDirectory(); }), "no failure");
    EXPECT_EQ(Driver.Seen(),
              (std::vector<std::string>{"Put Regular Files|", "browser|Specify the directory."}));
    EXPECT_FALSE(TestSupport::Exists(Folder));
    EXPECT_EQ(TestSupport::ListTree(InEntry(Entry("Tovel #0001"), Folder)),
              (std::vector<std::string>{"Inner\\", "Inner\\third.txt", "second.txt"}));
    EXPECT_EQ(Print(), Before);
}

TEST_F(App_binhandler_Commands, ImportPutsEveryLineOfTheChosenFile) {
    const std::string A = MakeFile("a.txt");
    const std::string B = MakeFile("b.txt");
    const std::string C = MakeFile("c.txt");
    const std::string D = MakeFile("d.txt");
    // Every kind of line break, a break at the very end, and a NUL that ends
    // the text before a line that would be refused.
    TDialogDriver Driver;
    Driver.SetFileToType(MakeImportFile(A + "\r\n" + B + "\r" + C + "\n" + D + "\r\n" +
                                        std::string(1, '\0') + "relative.txt\r\n"));
    EXPECT_EQ(FailureOf([&] { Handler.PutImportPaths(); }), "no failure");
    EXPECT_EQ(Driver.Seen(), std::vector<std::string>{"Import Paths|"});
    EXPECT_EQ(Log.Events, PutEvents("4 items put into Tovel #0000."));
    for (const std::string& Path : {A, B, C, D})
        EXPECT_TRUE(TestSupport::Exists(InEntry(Entry("Tovel #0000"), Path))) << Path;
    EXPECT_EQ(Index(), 1);
}

TEST_F(App_binhandler_Commands, ImportOfTwoTrailingBreaksRefusesTheEmptyPath) {
    const std::string A = MakeFile("a.txt");
    TDialogDriver Driver;
    Driver.SetFileToType(MakeImportFile(A + "\n\r"));
    EXPECT_EQ(FailureOf([&] { Handler.PutImportPaths(); }), "The program cannot accept the path.");
    EXPECT_EQ(Driver.Seen(), (std::vector<std::string>{"Import Paths|", "Tovel Bin|Relative: []"}));
    EXPECT_EQ(Log.Events, FailedPutEvents);
    EXPECT_EQ(Index(), 0);
    EXPECT_TRUE(TestSupport::Exists(A));
    EXPECT_FALSE(TestSupport::Exists(Dir / "Bin"));
}

TEST_F(App_binhandler_Commands, ImportKeepsALeadingBlank) {
    const std::string A = MakeFile("a.txt");
    TDialogDriver Driver;
    Driver.SetFileToType(MakeImportFile(" " + A + "\r\n"));
    // Untrimmed, the line is no existing file.
    EXPECT_EQ(FailureOf([&] { Handler.PutImportPaths(); }),
              "The program could not get the long path of the file.");
    EXPECT_EQ(Driver.Seen(), std::vector<std::string>{"Import Paths|"});
    EXPECT_EQ(Log.Events, FailedPutEvents);
    EXPECT_TRUE(TestSupport::Exists(A));
    EXPECT_EQ(Index(), 0);
}

TEST_F(App_binhandler_Commands, ImportOfAnEmptyFileStillMakesAnEntry) {
    TDialogDriver Driver;
    Driver.SetFileToType(MakeImportFile(""));
    EXPECT_EQ(FailureOf([&] { Handler.PutImportPaths(); }), "no failure");
    EXPECT_EQ(Log.Events, PutEvents("0 items put into Tovel #0000."));
    EXPECT_EQ(Index(), 1);
    EXPECT_EQ(TestSupport::ListTree(Dir / "Bin"),
              (std::vector<std::string>{"Tovel #0000\\", "Tovel #0000\\TovelBin.record"}));
}

TEST_F(App_binhandler_Commands, ImportOfAFileHeldByAWriterFails) {
    const std::string Path = MakeImportFile(MakeFile("a.txt"));
    HANDLE Writer = CreateFileA(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(Writer, INVALID_HANDLE_VALUE);
    TDialogDriver Driver;
    Driver.SetFileToType(Path);
    const std::string Failure = FailureOf([&] { Handler.PutImportPaths(); });
    CloseHandle(Writer);
    EXPECT_EQ(Failure, "The program counld not import paths.");
    EXPECT_EQ(Driver.Seen(), std::vector<std::string>{"Import Paths|"});
    EXPECT_TRUE(Log.Events.empty());
    EXPECT_EQ(Index(), 0);
}

TEST_F(App_binhandler_Commands, DroppedFilesReportThePutAndClearTheLineOnFailure) {
    const std::string A = MakeFile("a.txt");
    Base_stringlist::TStringList Paths;
    Paths.Add(A);
    Paths.Add("b.txt");
    TDialogDriver Driver;
    EXPECT_EQ(FailureOf([&] { Handler.PutDroppedFiles(Paths); }),
              "The program cannot accept the path.");
    EXPECT_EQ(Driver.Seen(), std::vector<std::string>{"Tovel Bin|Relative: [b.txt]"});
    EXPECT_EQ(Log.Events, FailedPutEvents);
    EXPECT_EQ(Paths.Strings(), (std::vector<std::string>{A, "b.txt"}));
    EXPECT_TRUE(TestSupport::Exists(A));

    Log.Events.clear();
    Paths.Clear();
    Paths.Add(A);
    EXPECT_EQ(FailureOf([&] { Handler.PutDroppedFiles(Paths); }), "no failure");
    EXPECT_EQ(Log.Events, PutEvents("1 item put into Tovel #0000."));
    EXPECT_TRUE(TestSupport::Exists(InEntry(Entry("Tovel #0000"), A)));
    EXPECT_EQ(Paths.Count(), 1);
}

TEST_F(App_binhandler_Commands, ExploreRefusesABinThatDoesNotExist) {
    EXPECT_EQ(FailureOf([&] { Handler.Explore(); }), "The bin does not exist.");
    Handler.Bin().SetLocationType(2);
    EXPECT_EQ(FailureOf([&] { Handler.Explore(); }), "An unknown identifier.");
}

namespace {

// Processes started by this one, directly or through one another.
std::set<DWORD> Descendants() {
    std::vector<PROCESSENTRY32> All;
    HANDLE Snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 Entry{};
    Entry.dwSize = sizeof Entry;
    for (BOOL More = Process32First(Snapshot, &Entry); More; More = Process32Next(Snapshot, &Entry))
        All.push_back(Entry);
    CloseHandle(Snapshot);
    std::set<DWORD> Found{GetCurrentProcessId()};
    for (bool Grew = true; Grew;) {
        Grew = false;
        for (const PROCESSENTRY32& Process : All) {
            if (Found.count(Process.th32ParentProcessID) &&
                Found.insert(Process.th32ProcessID).second)
                Grew = true;
        }
    }
    Found.erase(GetCurrentProcessId());
    return Found;
}

void EndProcess(DWORD Id) {
    HANDLE Process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, Id);
    if (!Process)
        return;
    TerminateProcess(Process, 0);
    WaitForSingleObject(Process, 5000);
    CloseHandle(Process);
}

// A visible top-level window that belongs to one of the processes.
struct TWindowSearch {
    const std::set<DWORD>* Processes;
    bool Found;
};

BOOL CALLBACK FindVisibleWindow(HWND Window, LPARAM Param) {
    auto* Search = reinterpret_cast<TWindowSearch*>(Param);
    DWORD Process = 0;
    GetWindowThreadProcessId(Window, &Process);
    if (!IsWindowVisible(Window) || !Search->Processes->count(Process))
        return TRUE;
    Search->Found = true;
    return FALSE;
}

} // namespace

TEST_F(App_binhandler_Commands, ExploreOpensAnExistingBinInAnExplorerWindow) {
    Vek_file::MakeDirectory(Dir / "Bin");
    const std::set<DWORD> Before = Descendants();
    const std::string Failure = FailureOf([&] { Handler.Explore(); });
    // The shell starts the explorer as a process of its own: wait for its
    // window, then end whatever was started, so that nothing outlives the test.
    std::set<DWORD> Started;
    TWindowSearch Search{&Started, false};
    const DWORD Start = GetTickCount();
    while (Failure == "no failure" && !Search.Found && GetTickCount() - Start < 15000) {
        for (DWORD Id : Descendants()) {
            if (!Before.count(Id))
                Started.insert(Id);
        }
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&Search));
        if (!Search.Found)
            Sleep(50);
    }
    for (DWORD Id : Descendants()) {
        if (!Before.count(Id))
            Started.insert(Id);
    }
    for (DWORD Id : Started)
        EndProcess(Id);
    EXPECT_EQ(Failure, "no failure");
    EXPECT_TRUE(Search.Found) << Started.size() << " processes started, none with a window";
    EXPECT_TRUE(Log.Events.empty());
}

namespace {

void SetBoxText(HWND Dialog, int Id, const std::string& Text) {
    SendMessageA(GetDlgItem(Dialog, Id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Text.c_str()));
}

} // namespace

TEST_F(App_binhandler_Commands, EditPropsAppliesOnlyWhatTheDialogChanged) {
    TDialogDriver Driver;
    Driver.SetPropsAction([](HWND Dialog) { TestSupport::PressButton(Dialog, IDOK); });
    EXPECT_EQ(FailureOf([&] { Handler.EditProps(); }), "no failure");
    App_binpropsdialog::TAppBinPropsDialog* const Created = App_binpropsdialog::AppBinPropsDialog;
    ASSERT_NE(Created, nullptr);
    EXPECT_TRUE(Log.Events.empty());

    Driver.SetPropsAction([](HWND Dialog) {
        SetBoxText(Dialog, IDC_EDIT22, " (old)");
        TestSupport::PressButton(Dialog, IDOK);
    });
    EXPECT_EQ(FailureOf([&] { Handler.EditProps(); }), "no failure");
    EXPECT_EQ(App_binpropsdialog::AppBinPropsDialog, Created);
    EXPECT_EQ(Log.Events, std::vector<std::string>{"change"});
    EXPECT_EQ(Handler.Bin().EntryName().Suffix(), " (old)");
    EXPECT_EQ(Handler.Bin().FixedLocation(), Dir / "Bin");

    Log.Events.clear();
    Driver.SetPropsAction([](HWND Dialog) {
        SetBoxText(Dialog, IDC_EDIT21, "Other ");
        SetBoxText(Dialog, IDC_EDIT213, "5");
        TestSupport::PressButton(Dialog, IDCANCEL);
    });
    EXPECT_EQ(FailureOf([&] { Handler.EditProps(); }), "EAbort");
    EXPECT_TRUE(Log.Events.empty());
    EXPECT_EQ(Handler.Bin().EntryName().Prefix(), "Tovel #");
    EXPECT_EQ(Index(), 0);
    EXPECT_EQ(Driver.Seen(),
              (std::vector<std::string>{"Properties|", "Properties|", "Properties|"}));
}

TEST_F(App_binhandler_Settings, EntriesDialogSectionRoundTripsAndLeavesTheOthersAlone) {
    const std::string Defaults = "[MainForm.BinHandler.EntriesDialog]\r\n"
                                 "Left=0\r\nTop=0\r\nWidth=0\r\nHeight=0\r\n"
                                 "EntryWidth=0\r\nPutWidth=0\r\nItemsWidth=0\r\nSizeWidth=0\r\n"
                                 "FromWidth=0\r\nItemNameWidth=0\r\nItemPlaceWidth=0\r\n"
                                 "ItemEntryWidth=0\r\nItemPutWidth=0\r\nItemSizeWidth=0\r\n"
                                 "SortColumn=1\r\nSortDescending=1\r\n"
                                 "ItemSortColumn=-1\r\nItemSortDescending=0\r\n\r\n";
    {
        Gui_inifile::TMemIniFile Ini(FileName());
        Handler.SaveEntriesDialogSettings(Ini);
        EXPECT_EQ(Ini.GetText(), Defaults);
    }
    App_entriesdialog::TEntriesDialogSettings& Settings = Handler.EntriesDialogSettings();
    Settings.Left = -8;
    Settings.Top = 20;
    Settings.Width = 640;
    Settings.Height = 480;
    const int Widths[Engine_catalog::ecCount] = {90, 120, 40, 60, 300};
    std::copy(std::begin(Widths), std::end(Widths), Settings.ColumnWidths);
    const int ItemWidths[App_entriesdialog::icCount] = {150, 250, 70, 90, 65};
    std::copy(std::begin(ItemWidths), std::end(ItemWidths), Settings.ItemColumnWidths);
    Settings.SortColumn = Engine_catalog::ecFrom;
    Settings.SortDescending = false;
    Settings.ItemSortColumn = App_entriesdialog::icSize;
    Settings.ItemSortDescending = true;
    // The bin's own sections do not change by a byte.
    EXPECT_EQ(SavedText(Handler), DefaultText);

    Gui_inifile::TMemIniFile Ini(FileName());
    Handler.SaveSettings(Ini);
    Handler.SaveEntriesDialogSettings(Ini);
    EXPECT_EQ(Ini.GetText().substr(0, DefaultText.size()), DefaultText);
    TBinHandler Other;
    TEventLog Log(Other);
    Other.LoadSettings(Ini);
    Other.LoadEntriesDialogSettings(Ini);
    EXPECT_TRUE(Log.Events.empty());
    const App_entriesdialog::TEntriesDialogSettings& Loaded = Other.EntriesDialogSettings();
    EXPECT_EQ(Loaded.Left, -8);
    EXPECT_EQ(Loaded.Top, 20);
    EXPECT_EQ(Loaded.Width, 640);
    EXPECT_EQ(Loaded.Height, 480);
    EXPECT_EQ(std::vector<int>(std::begin(Loaded.ColumnWidths), std::end(Loaded.ColumnWidths)),
              std::vector<int>(std::begin(Widths), std::end(Widths)));
    EXPECT_EQ(
        std::vector<int>(std::begin(Loaded.ItemColumnWidths), std::end(Loaded.ItemColumnWidths)),
        std::vector<int>(std::begin(ItemWidths), std::end(ItemWidths)));
    EXPECT_EQ(Loaded.SortColumn, Engine_catalog::ecFrom);
    EXPECT_FALSE(Loaded.SortDescending);
    EXPECT_EQ(Loaded.ItemSortColumn, App_entriesdialog::icSize);
    EXPECT_TRUE(Loaded.ItemSortDescending);

    // A column the list does not have, and garbage, keep what is there.
    Ini.SetText("[MainForm.BinHandler.EntriesDialog]\r\nSortColumn=5\r\nWidth=wide\r\n");
    Other.LoadEntriesDialogSettings(Ini);
    EXPECT_EQ(Other.EntriesDialogSettings().SortColumn, Engine_catalog::ecFrom);
    EXPECT_EQ(Other.EntriesDialogSettings().Width, 640);
    Ini.SetText("[MainForm.BinHandler.EntriesDialog]\r\nSortColumn=-1\r\n");
    Other.LoadEntriesDialogSettings(Ini);
    EXPECT_EQ(Other.EntriesDialogSettings().SortColumn, Engine_catalog::ecFrom);
}

TEST_F(App_binhandler_Commands, TakeBackLastPutAsksAndTakesBackOnlyTheNewestEntry) {
    const std::string First = MakeFile("first.txt", "first");
    const std::string Second = MakeFile("second.txt", "second");
    PutEach({First, Second});
    const std::vector<std::string> Before = Print();
    Log.Events.clear();
    {
        TestSupport::TBoxRecorder No(IDNO);
        EXPECT_EQ(FailureOf([this] { Handler.TakeBackLastPut(); }), "EAbort");
        EXPECT_EQ(No.Boxes(), std::vector<std::string>{"Tovel Bin|Take back \"second.txt\" "
                                                       "to where it came from?"});
    }
    EXPECT_FALSE(TestSupport::Exists(Second));
    EXPECT_TRUE(Log.Events.empty());

    TestSupport::TBoxRecorder Yes(IDYES);
    Handler.TakeBackLastPut();
    EXPECT_EQ(TestSupport::ReadFile(Second), "second");
    EXPECT_FALSE(TestSupport::Exists(First));
    EXPECT_FALSE(TestSupport::Exists(Entry("Tovel #0001")));
    EXPECT_TRUE(TestSupport::Exists(Entry("Tovel #0000")));
    EXPECT_EQ(Print(), Before);
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"status:Taking back files...",
                                                    "status:1 item came back."}));
    EXPECT_EQ(Index(), 2);
}

// Replace in the conflict question: what stands at the place goes into the
// bin as a put of its own, its index kept, before the item comes back.
TEST_F(App_binhandler_Commands, ReplacePutsWhatStandsThereIntoAnEntryOfItsOwn) {
    const std::string Report = MakeFile("report.txt", "version 1");
    PutEach({Report});
    MakeFile("report.txt", "version 2");
    int Stepped = 0;
    Handler.OnIndexStepped = [&Stepped](Base_system::TObject*) { ++Stepped; };
    // The question, then Replace where it is offered (else Skip, which fails
    // the test), then the report, read and closed.
    std::mutex Lock;
    std::vector<std::string> Reported;
    TestSupport::TDialogWatcher Watcher([&](HWND Dialog) {
        const HWND Replace = GetDlgItem(Dialog, IDC_CONFLICT_REPLACE);
        if (const HWND List = GetDlgItem(Dialog, IDC_REPORT_LIST)) {
            std::lock_guard<std::mutex> Guard(Lock);
            Reported.push_back(TestSupport::WindowText(GetDlgItem(Dialog, IDC_REPORT_SUMMARY)));
            for (int Row = 0; Row < ListView_GetItemCount(List); ++Row)
                Reported.push_back(TestSupport::ListViewCell(List, Row, 0));
            TestSupport::PressButton(Dialog, IDOK);
        } else if (!Replace) {
            TestSupport::PressButton(Dialog, IDYES);
        } else {
            TestSupport::PressButton(Dialog, IsWindowVisible(Replace) ? IDC_CONFLICT_REPLACE
                                                                      : IDC_CONFLICT_SKIP);
        }
    });
    Handler.TakeBackLastPut();
    {
        std::lock_guard<std::mutex> Guard(Lock);
        EXPECT_EQ(Reported,
                  (std::vector<std::string>{
                      "1 item came back.",
                      "Came back, what stood there went into \"Tovel #0001\": " + Report}));
    }
    EXPECT_EQ(Log.Events.back(), "status:1 item came back.");
    EXPECT_EQ(TestSupport::ReadFile(Report), "version 1");
    EXPECT_EQ(TestSupport::ReadFile(TestSupport::InEntry(Entry("Tovel #0001"), Report)),
              "version 2");
    EXPECT_FALSE(TestSupport::Exists(Entry("Tovel #0000")));
    EXPECT_EQ(Stepped, 1);
    EXPECT_EQ(Index(), 2);
}

TEST_F(App_binhandler_Commands, TakeBackLastPutAsksForTheBinWhenTheUserChoosesIt) {
    Vek_file::MakeDirectory(Dir / "Bin");
    Handler.Bin().SetLocationType(App_bin::bltAskUser);
    TDialogDriver Driver;
    Driver.SetFolderToSelect(Vek_file::GetLongPath(Dir / "Bin"));
    EXPECT_EQ(FailureOf([this] { Handler.TakeBackLastPut(); }),
              "The program cannot find an entry in the bin.");
    EXPECT_EQ(Driver.Seen(), std::vector<std::string>{"browser|Specify the bin location."});
}

TEST_F(App_binhandler_Commands, EntriesDialogTakesBackTheSelectedEntry) {
    const std::string First = MakeFile("first.txt", "first");
    const std::string Second = MakeFile("second.txt", "second");
    PutEach({First, Second});
    const std::vector<std::string> Before = Print();
    std::mutex Lock;
    std::vector<std::string> Rows;
    std::vector<std::string> Boxes;
    HWND Entries = nullptr;
    TestSupport::TDialogWatcher Watcher([&](HWND Window) {
        std::lock_guard<std::mutex> Guard(Lock);
        if (TestSupport::WindowText(Window) == "Entries") {
            Entries = Window;
            const HWND List = GetDlgItem(Window, IDC_ENTRIES_LIST);
            const int Count = static_cast<int>(SendMessageA(List, LVM_GETITEMCOUNT, 0, 0));
            for (int Row = 0; Row < Count; ++Row) {
                char Name[128] = "";
                char Items[16] = "";
                LVITEMA Item{};
                Item.pszText = Name;
                Item.cchTextMax = sizeof Name;
                SendMessageA(List, LVM_GETITEMTEXTA, Row, reinterpret_cast<LPARAM>(&Item));
                Item.iSubItem = 2;
                Item.pszText = Items;
                Item.cchTextMax = sizeof Items;
                SendMessageA(List, LVM_GETITEMTEXTA, Row, reinterpret_cast<LPARAM>(&Item));
                Rows.push_back(std::string(Name) + "|" + Items);
            }
            // The oldest entry, at the bottom: newest first.
            LVITEMA Item{};
            Item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(List, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(&Item));
            Item.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageA(List, LVM_SETITEMSTATE, Count - 1, reinterpret_cast<LPARAM>(&Item));
            TestSupport::PressButton(Window, IDC_ENTRIES_TAKE_BACK);
            return;
        }
        Boxes.push_back(TestSupport::WindowText(Window) + "|" +
                        TestSupport::MessageBoxText(Window));
        TestSupport::PressButton(Window, IDYES);
        // The dialog closes once the take back has run.
        TestSupport::PressButton(Entries, IDCANCEL);
    });
    Handler.ShowEntries();
    std::lock_guard<std::mutex> Guard(Lock);
    EXPECT_EQ(Rows, (std::vector<std::string>{"Tovel #0001|1", "Tovel #0000|1"}));
    EXPECT_EQ(Boxes, std::vector<std::string>{"Tovel Bin|Take back \"first.txt\" to "
                                              "where it came from?"});
    EXPECT_EQ(TestSupport::ReadFile(First), "first");
    EXPECT_FALSE(TestSupport::Exists(Second));
    EXPECT_FALSE(TestSupport::Exists(Entry("Tovel #0000")));
    EXPECT_EQ(Print(), Before);
    // What the dialog leaves is kept for its next use.
    EXPECT_GT(Handler.EntriesDialogSettings().Width, 0);
    EXPECT_GT(Handler.EntriesDialogSettings().ColumnWidths[0], 0);
}

namespace {

std::vector<std::string> ListColumn(HWND List, int Column) {
    std::vector<std::string> Cells;
    const int Count = static_cast<int>(SendMessageA(List, LVM_GETITEMCOUNT, 0, 0));
    for (int Row = 0; Row < Count; ++Row)
        Cells.push_back(TestSupport::ListViewCell(List, Row, Column));
    return Cells;
}

void SelectRow(HWND List, int Row) {
    LVITEMA Item{};
    Item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(List, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&Item));
    Item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(List, LVM_SETITEMSTATE, Row, reinterpret_cast<LPARAM>(&Item));
}

} // namespace

// The user finds a file of a folder put whole by part of its name, takes
// back just that file, and everything else stays in its entry; an entry
// made by hand gets its record while the dialog shows.
TEST_F(App_binhandler_Commands, EntriesDialogFindsAFileAndTakesBackJustThat) {
    const std::string Project = Source + "\\Projects\\x";
    Vek_file::MakeDirectory(Project + "\\notes");
    const std::string Todo = MakeFile("Projects\\x\\notes\\todo.txt", "todo");
    const std::string Main = MakeFile("Projects\\x\\main.cpp", "main");
    PutEach({Project, MakeFile("other.txt", "other")});
    const std::string ByHand = InEntry(Entry("By hand"), Source + "\\hand.txt");
    Vek_file::MakeDirectory(Vek_file::ExtractDirectory(ByHand));
    TestSupport::WriteFile(ByHand, "hand");
    const std::vector<std::string> Before = Print();

    std::mutex Lock;
    std::vector<std::string> Opened, Found, Boxes, Filled;
    int Indent = -1;
    HWND Entries = nullptr;
    TestSupport::TDialogWatcher Watcher([&](HWND Window) {
        std::lock_guard<std::mutex> Guard(Lock);
        if (TestSupport::WindowText(Window) != "Entries") {
            Boxes.push_back(TestSupport::MessageBoxText(Window));
            TestSupport::PressButton(Window, IDYES);
            // The dialog closes once the take back has run.
            TestSupport::PressButton(Entries, IDCANCEL);
            return;
        }
        Entries = Window;
        const HWND List = GetDlgItem(Window, IDC_ENTRIES_LIST);
        const auto Row = [List](const std::string& Name) {
            const std::vector<std::string> Names = ListColumn(List, 0);
            return static_cast<int>(std::find(Names.begin(), Names.end(), Name) - Names.begin());
        };
        // The entry without a record is read after the list shows.
        EXPECT_TRUE(TestSupport::PumpUntil(
            [&] { return TestSupport::ListViewCell(List, Row("By hand"), 2) == "1"; }));
        Filled = {TestSupport::ListViewCell(List, Row("By hand"), 2),
                  TestSupport::ListViewCell(List, Row("Tovel #0000"), 2)};
        SelectRow(List, Row("Tovel #0000"));
        SendMessageA(Window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        Opened = ListColumn(List, 0);
        LVITEMA Last{};
        Last.mask = LVIF_INDENT;
        Last.iItem = static_cast<int>(Opened.size()) - 1;
        SendMessageA(List, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&Last));
        Indent = Last.iIndent;
        SendMessageA(List, WM_KEYDOWN, VK_BACK, 0);
        SetDlgItemTextA(Window, IDC_ENTRIES_SEARCH, "TODO");
        Found = ListColumn(List, 0);
        SelectRow(List, 0);
        TestSupport::PressButton(Window, IDC_ENTRIES_TAKE_BACK);
    });
    Handler.ShowEntries();
    std::lock_guard<std::mutex> Guard(Lock);
    EXPECT_EQ(Filled, (std::vector<std::string>{"1", "1"}));
    // The levels above the put's folder are one line.
    ASSERT_GE(Opened.size(), 4u) << testing::PrintToString(Opened);
    EXPECT_EQ(Opened.front(), Source + "\\Projects");
    EXPECT_EQ(Opened.back(), "todo.txt");
    EXPECT_EQ(Indent, static_cast<int>(Opened.size()) - 2);
    EXPECT_EQ(Found, std::vector<std::string>{"todo.txt"});
    EXPECT_EQ(Boxes, std::vector<std::string>{"Take back \"todo.txt\" to where it "
                                              "came from?"});
    EXPECT_EQ(TestSupport::ReadFile(Todo), "todo");
    EXPECT_FALSE(TestSupport::Exists(Main));
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), Main)), "main");
    EXPECT_EQ(Print(), Before);
    // The record follows: the file taken back is found no more, the rest is.
    // The folder made by hand was only read: it is as the user left it.
    Engine_catalog::TListing After = Engine_catalog::ListCatalog(Dir / "Bin");
    EXPECT_EQ(After.Unread.size(), 1u);
    EXPECT_FALSE(TestSupport::Exists(Entry("By hand") + "\\" + Engine_record::RecordFileName));
    EXPECT_TRUE(After.Catalog.Search(Engine_catalog::TSearchPattern("todo")).empty());
    EXPECT_EQ(After.Catalog.Search(Engine_catalog::TSearchPattern("main.cpp")).size(), 1u);
}

// Take Back To... asks for a folder in the folder picker, over the window
// the command came from, and takes the chosen item into it under its own
// name; the rest of the put stays in its entry.
TEST_F(App_binhandler_Commands, TakeBackToTakesTheChosenItemIntoTheFolderPicked) {
    const std::string Project = Source + "\\Projects\\x";
    Vek_file::MakeDirectory(Project + "\\notes");
    const std::string Todo = MakeFile("Projects\\x\\notes\\todo.txt", "todo");
    const std::string Main = MakeFile("Projects\\x\\main.cpp", "main");
    PutEach({Project});
    Vek_file::MakeDirectory(Dir / "Restore");
    const std::string Folder = Vek_file::GetLongPath(Dir / "Restore");
    const TestSupport::TProgramWindows Windows;
    std::mutex Lock;
    std::vector<std::string> Seen;
    bool Cancel = true;
    TestSupport::TDialogWatcher Watcher([&](HWND Window) {
        std::lock_guard<std::mutex> Guard(Lock);
        // The picker: its caption, its owner, the path typed into its box.
        if (const HWND PathBox = ChildOfClass(Window, "Edit")) {
            Seen.push_back(TestSupport::WindowText(Window) +
                           (GetWindow(Window, GW_OWNER) == Windows.Other() ? " over the owner"
                                                                           : " elsewhere"));
            SetWindowTextA(PathBox, Folder.c_str());
            TestSupport::PressButton(Window, std::exchange(Cancel, false) ? IDCANCEL : IDOK);
        } else {
            Seen.push_back(TestSupport::MessageBoxText(Window));
            TestSupport::PressButton(Window, IDYES);
        }
    });
    const std::string Item = Todo.substr(0, 1) + Todo.substr(2);
    // A cancel takes nothing back.
    EXPECT_THROW(Handler.TakeBackTo({{Entry("Tovel #0000"), {Item}}}, Windows.Other()),
                 Base_system::EAbort);
    EXPECT_FALSE(TestSupport::Exists(Folder + "\\todo.txt"));
    EXPECT_TRUE(TestSupport::Exists(InEntry(Entry("Tovel #0000"), Todo)));
    Handler.TakeBackTo({{Entry("Tovel #0000"), {Item}}}, Windows.Other());
    std::lock_guard<std::mutex> Guard(Lock);
    const std::string Picker = "Specify the folder to take back into. over the owner";
    EXPECT_EQ(Seen, (std::vector<std::string>{Picker, Picker,
                                              "Take back \"todo.txt\" to \"" + Folder + "\"?"}));
    EXPECT_EQ(TestSupport::ReadFile(Folder + "\\todo.txt"), "todo");
    EXPECT_FALSE(TestSupport::Exists(Todo));
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), Main)), "main");
    EXPECT_EQ(Application().LastDirectory(), Folder);
}

// What arrived of what the put was given, in the entry's own name.
TEST(App_binhandler, PutMessageCountsWhatArrived) {
    const struct {
        std::size_t Arrived, Given;
        const char* Message;
    } Cases[] = {
        {3, 3, "3 items put into Tovel #0004."},     {1, 1, "1 item put into Tovel #0004."},
        {0, 0, "0 items put into Tovel #0004."},     {2, 3, "2 of 3 items put into Tovel #0004."},
        {0, 1, "0 of 1 item put into Tovel #0004."},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(App_binhandler::PutMessage(Case.Arrived, Case.Given, "Tovel #0004"),
                  Case.Message);
}

// One item of an entry goes to the Recycle Bin after a question that names
// it; the other stays, and the record lists only what is left.
TEST_F(App_binhandler_Commands, DiscardItemsRecyclesTheChosenItemAndTheRecordFollows) {
    const std::string A = MakeFile("discard-a.txt", "A");
    const std::string B = MakeFile("discard-b.txt", "B");
    {
        TestSupport::TBoxRecorder Quiet;
        Handler.Bin().Put({A, B});
    }
    const std::string Item = A.substr(0, 1) + A.substr(2);
    std::vector<std::string> Boxes;
    {
        TestSupport::TBoxRecorder Yes(IDYES);
        EXPECT_EQ(FailureOf([&] {
                      Handler.DiscardItems({{Entry("Tovel #0000"), {Item}}});
                  }),
                  "no failure");
        Boxes = TestSupport::OurBoxes(Yes.Boxes());
    }
    EXPECT_EQ(Boxes, std::vector<std::string>{"Discard \"discard-a.txt\" into the Recycle Bin?"});
    EXPECT_FALSE(TestSupport::Exists(InEntry(Entry("Tovel #0000"), A)));
    EXPECT_EQ(TestSupport::ReadFile(InEntry(Entry("Tovel #0000"), B)), "B");
    Engine_record::TRecord Record;
    ASSERT_TRUE(Engine_record::ReadRecord(Entry("Tovel #0000"), Record));
    std::vector<std::string> Left;
    for (const Engine_record::TPutSection& Put : Record.Puts)
        for (const std::string& Path : Engine_record::ItemPaths(Put.Tree))
            Left.push_back(Vek_file::ExtractFileName(Path));
    EXPECT_EQ(Left, std::vector<std::string>{"discard-b.txt"});
    const std::string Trash = TestSupport::TrashDirectory();
    if (!Trash.empty()) {
        DeleteFileA((Trash + "\\files\\discard-a.txt").c_str());
        DeleteFileA((Trash + "\\info\\discard-a.txt.trashinfo").c_str());
    }
}
