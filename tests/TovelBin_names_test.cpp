// Names outside every legacy code page, through every road into the real
// TovelBin.exe. This program carries the exe's own manifest, so it speaks
// UTF-8 as the exe does: every name below is a plain UTF-8 text for both. It
// runs under the default locale (legacy code page 1252) and again under
// LANG=ja_JP.UTF-8 (legacy code page 932).

#include "ProgramSupport.h"
#include "TestSupport.h"

#include "app/App_mainform.h"
#include "gui/Gui_application.h"
#include "res/resource.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_hash.h"

#include <gtest/gtest.h>

#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace ProgramSupport;
using namespace TestSupport;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TApplicationEnvironment);

HWND WaitForDialog(const TProgram& Program, const std::string& Caption, DWORD Timeout = 15000) {
    return WaitForWindow(
        Program, [&](HWND Window) { return IsDialog(Window) && WindowText(Window) == Caption; },
        Timeout);
}

void MakeDirectory(const std::string& Path) {
    if (!CreateDirectoryA(Path.c_str(), nullptr))
        throw std::runtime_error("cannot create " + Path);
}

const std::vector<std::string> FileNames = {u8"Ωmega.txt", u8"日本語.txt", u8"café.txt",
                                            u8"📄 notes.txt"};
const std::string GreekDirectory = u8"Ελληνικά";

// The four files and the directory with files in it, each file with a
// content of its own.
class TItems {
public:
    TItems() {
        for (const std::string& Name : FileNames)
            WriteFile(FDir / Name, "content of " + Name);
        MakeDirectory(FDir / GreekDirectory);
        MakeDirectory(FDir / GreekDirectory + u8"\\日本");
        WriteFile(FDir / GreekDirectory + u8"\\α.txt", u8"alpha α");
        WriteFile(FDir / GreekDirectory + u8"\\日本\\📄 ω.txt", std::string(70000, 'w'));
    }
    const std::string& Dir() const { return FDir.Path(); }
    std::string operator/(const std::string& Name) const { return FDir / Name; }
    // Every item a put takes: the four files, then the directory.
    std::vector<std::string> Paths() const {
        std::vector<std::string> Result;
        for (const std::string& Name : FileNames)
            Result.push_back(FDir / Name);
        Result.push_back(FDir / GreekDirectory);
        return Result;
    }

private:
    TTempDir FDir;
};

HWND FileNameBox(HWND Dialog) {
    HWND Box = GetDlgItem(Dialog, cmb13);
    return Box ? Box : GetDlgItem(Dialog, edt1);
}

// Chooses File in the program's open dialog of the given caption. A Folder
// given is opened first: the dialog starts where it was last used.
void ChooseInOpenDialog(const TProgram& Program, const std::string& Caption,
                        const std::string& File, const std::string& Folder = std::string()) {
    HWND Dialog = WaitForDialog(Program, Caption);
    ASSERT_NE(Dialog, nullptr) << Caption;
    HWND Box = FileNameBox(Dialog);
    ASSERT_NE(Box, nullptr);
    if (!Folder.empty()) {
        SendMessageA(Box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Folder.c_str()));
        // Sent, not posted: the dialog has opened the folder when it returns.
        SendMessageA(Dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ASSERT_TRUE(IsWindow(Dialog));
    }
    SendMessageA(Box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(File.c_str()));
    PressButton(Dialog, IDOK);
}

// The block the shell hands a window with a drop: wide paths.
HDROP MakeWideDrop(const std::vector<std::string>& Paths) {
    std::vector<std::wstring> Wide;
    std::size_t Size = sizeof(DROPFILES) + sizeof(wchar_t);
    for (const std::string& Path : Paths) {
        std::wstring Text(Path.size(), L'\0');
        Text.resize(MultiByteToWideChar(CP_UTF8, 0, Path.data(), static_cast<int>(Path.size()),
                                        &Text[0], static_cast<int>(Text.size())));
        Size += (Text.size() + 1) * sizeof(wchar_t);
        Wide.push_back(Text);
    }
    HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, Size);
    auto* Drop = static_cast<DROPFILES*>(GlobalLock(Memory));
    Drop->pFiles = sizeof(DROPFILES);
    Drop->fWide = TRUE;
    auto* Text = reinterpret_cast<wchar_t*>(Drop + 1);
    for (const std::wstring& Path : Wide) {
        std::memcpy(Text, Path.c_str(), (Path.size() + 1) * sizeof(wchar_t));
        Text += Path.size() + 1;
    }
    GlobalUnlock(Memory);
    return reinterpret_cast<HDROP>(Memory);
}

std::string Lines(const std::vector<std::string>& Paths) {
    std::string Text;
    for (const std::string& Path : Paths)
        Text += Path + "\r\n";
    return Text;
}

// A fresh copy of the program and fresh items. Whatever a test puts, every
// file stays whole: the print of the items and the bin is the same at the end.
class TovelBin_Names : public testing::Test {
protected:
    void SetUp() override { FBefore = FilePrint({Items.Dir(), Program.Bin()}); }
    void TearDown() override {
        if (FRunning && FRunning->Running()) {
            // A box left open is a failure; answered, it lets the program close.
            if (HWND Box = WaitForWindow(*FRunning, IsDialog, 200)) {
                ADD_FAILURE() << WindowText(Box) << ": " << MessageBoxText(Box);
                PressButton(Box, IDCANCEL);
            }
            PostMessageA(FMain, WM_CLOSE, 0, 0);
            EXPECT_TRUE(FRunning->WaitForEnd());
        }
        EXPECT_EQ(FilePrint({Items.Dir(), Program.Bin()}), FBefore);
    }

    // Starts the program in the items' directory.
    HWND Start(const std::string& Arguments = std::string()) {
        FRunning = std::make_unique<TProgram>(Quoted(Program.Exe()) + Arguments, Items.Dir());
        FMain = WaitForMainWindow(*FRunning);
        return FMain;
    }
    const TProgram& Running() const { return *FRunning; }

    // Every path is in the entry of that number, and no longer where it was.
    void ExpectPut(const std::string& Number, const std::vector<std::string>& Paths) {
        WaitFor([&] {
            return std::all_of(Paths.begin(), Paths.end(), [&](const std::string& Path) {
                return Exists(Program.InEntry(Number, Path));
            });
        });
        for (const std::string& Path : Paths) {
            EXPECT_TRUE(Exists(Program.InEntry(Number, Path))) << Program.InEntry(Number, Path);
            EXPECT_FALSE(Exists(Path)) << Path;
        }
    }
    void ExpectNextLabel(const std::string& Text) {
        EXPECT_TRUE(WaitFor([&] { return NextLabel(FMain) == Text; })) << NextLabel(FMain);
    }

    TItems Items;
    TInstalled Program;

private:
    std::vector<std::string> FBefore;
    std::unique_ptr<TProgram> FRunning;
    HWND FMain = nullptr;
};

} // namespace

TEST_F(TovelBin_Names, CommandLine) {
    std::string Arguments;
    for (const std::string& Path : Items.Paths())
        Arguments += " " + Quoted(Path);
    ASSERT_NE(Start(Arguments), nullptr);
    ExpectPut("0000", Items.Paths());
    ExpectNextLabel("Next: Tovel #0001");
}

TEST(TovelBin_NamesCommandLine, TheGreekAndTheFrenchNameOnTwoDrivesArePutBoth) {
    // The command that the Western code page refused whole.
    TTempDir Docs;
    TTempDir DriveD("D:\\");
    TInstalled Program;
    const std::string Omega = Docs / u8"Ωmega.txt";
    const std::string Cafe = DriveD / u8"café.txt";
    WriteFile(Omega, u8"Ω");
    WriteFile(Cafe, u8"é");
    const std::vector<std::string> Before = FilePrint({Docs.Path(), DriveD.Path(), Program.Bin()});
    TProgram Running(Quoted(Program.Exe()) + " " + Quoted(Omega) + " " + Quoted(Cafe));
    HWND Main = WaitForMainWindow(Running);
    ASSERT_NE(Main, nullptr);
    EXPECT_TRUE(WaitFor([&] {
        return Exists(Program.InEntry("0000", Omega)) && Exists(Program.InEntry("0000", Cafe));
    }));
    EXPECT_TRUE(WaitFor([&] { return NextLabel(Main) == "Next: Tovel #0001"; }));
    EXPECT_FALSE(Exists(Omega));
    EXPECT_FALSE(Exists(Cafe));
    EXPECT_EQ(FilePrint({Docs.Path(), DriveD.Path(), Program.Bin()}), Before);
    EXPECT_EQ(WaitForWindow(Running, IsDialog, 200), nullptr);
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Running.WaitForEnd());
}

// A drop reaches a window as a handle of the dropping process, which no
// other process can post: this one is dropped on the program's main window
// made here, with the bin of the copy.
TEST_F(TovelBin_Names, Drop) {
    WriteFile(Program.Settings(),
              "[MainForm.BinHandler.Bin]\r\nFixedLocation=\"" + Program.Bin() + "\"\r\n");
    auto Form = std::make_unique<App_mainform::TAppMainForm>(Program.Settings());
    Gui_application::Application().SetMainWindow(Form->Handle());
    ShowWindow(Form->Handle(), SW_SHOWNOACTIVATE);
    SendMessageA(Form->Handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(MakeWideDrop(Items.Paths())), 0);
    ExpectPut("0000", Items.Paths());
    EXPECT_EQ(WindowText(Form->Label1()), "Next: Tovel #0001");
    EXPECT_EQ(Form->PendingPaths().Count(), 0);
    Gui_application::Application().SetMainWindow(nullptr);
    Form.reset();
    // The quit the destroyed main window posted would end the next modal loop.
    MSG Message;
    while (PeekMessageA(&Message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

TEST_F(TovelBin_Names, ImportFileWithAByteOrderMark) {
    HWND Main = Start();
    ASSERT_NE(Main, nullptr);
    TTempDir Lists;
    WriteFile(Lists / "paths.txt", "\xEF\xBB\xBF" + Lines(Items.Paths()));
    PostMessageA(Main, WM_COMMAND, IDM_BIN_PUT_IMPORT_PATHS, 0);
    ChooseInOpenDialog(Running(), "Import Paths", Lists / "paths.txt");
    ExpectPut("0000", Items.Paths());
    ExpectNextLabel("Next: Tovel #0001");
}

TEST_F(TovelBin_Names, ImportFileWrittenInTheLegacyCodePage) {
    // The old program wrote the names of its own code page in its bytes.
    const bool Japanese = Vek_codepage::GetLegacyCodePage() == 932;
    const std::string Name = Japanese ? u8"日本語.txt" : u8"café.txt";
    const std::string Legacy = Japanese ? "\x93\xFA\x96\x7B\x8C\xEA.txt" : "caf\xE9.txt";
    HWND Main = Start();
    ASSERT_NE(Main, nullptr);
    TTempDir Lists;
    WriteFile(Lists / "paths.txt", Items.Dir() + "\\" + Legacy + "\r\n");
    PostMessageA(Main, WM_COMMAND, IDM_BIN_PUT_IMPORT_PATHS, 0);
    ChooseInOpenDialog(Running(), "Import Paths", Lists / "paths.txt");
    ExpectPut("0000", {Items / Name});
    ExpectNextLabel("Next: Tovel #0001");
}

TEST_F(TovelBin_Names, OpenDialog) {
    HWND Main = Start();
    ASSERT_NE(Main, nullptr);
    // All four files at once, in their folder.
    std::string Chosen;
    for (const std::string& Name : FileNames)
        Chosen += Quoted(Name) + " ";
    PostMessageA(Main, WM_COMMAND, IDM_BIN_PUT_REGULAR_FILES, 0);
    ChooseInOpenDialog(Running(), "Put Regular Files", Chosen, Items.Dir());
    std::vector<std::string> Files;
    for (const std::string& Name : FileNames)
        Files.push_back(Items / Name);
    ExpectPut("0000", Files);
    ExpectNextLabel("Next: Tovel #0001");
    // And the files in the directory, by their whole path.
    for (const std::string& Name : {std::string(u8"α.txt"), std::string(u8"日本\\📄 ω.txt")}) {
        const std::string Path = Items / GreekDirectory + "\\" + Name;
        const std::string Number = Name == u8"α.txt" ? "0001" : "0002";
        PostMessageA(Main, WM_COMMAND, IDM_BIN_PUT_REGULAR_FILES, 0);
        ChooseInOpenDialog(Running(), "Put Regular Files", Path);
        ExpectPut(Number, {Path});
    }
    ExpectNextLabel("Next: Tovel #0003");
}

TEST_F(TovelBin_Names, PrefixSetInThePropertiesSurvivesARestart) {
    const std::string Prefix = u8"Ξ #";
    HWND Main = Start();
    ASSERT_NE(Main, nullptr);
    PostMessageA(Main, WM_COMMAND, IDM_BIN_PROPS, 0);
    HWND Dialog = WaitForDialog(Running(), "Properties");
    ASSERT_NE(Dialog, nullptr);
    SendMessageA(GetDlgItem(Dialog, IDC_EDIT21), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(Prefix.c_str()));
    PressButton(Dialog, IDOK);
    ExpectNextLabel(u8"Next: Ξ #0000");
    PostMessageA(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Running().WaitForEnd());
    // Written as UTF-8.
    EXPECT_NE(ReadFile(Program.Settings()).find("\r\nPrefix=\"\xCE\x9E #\"\r\n"),
              std::string::npos);

    ASSERT_NE(Start(), nullptr);
    ExpectNextLabel(u8"Next: Ξ #0000");
}

TEST_F(TovelBin_Names, LegacySettingsAreReadAndRewrittenAsUtf8) {
    const bool Japanese = Vek_codepage::GetLegacyCodePage() == 932;
    const std::string Prefix = Japanese ? u8"日本 #" : u8"Café #";
    const std::string LegacyPrefix = Japanese ? "\x93\xFA\x96\x7B #" : "Caf\xE9 #";
    // The current directory is the folder of the items, which holds an "é"
    // or a "日" only in the legacy bytes of the file.
    TTempDir Docs;
    const std::string Folder = Docs / (Japanese ? u8"日記" : u8"Résumé");
    const std::string LegacyFolder = Docs / (Japanese ? "\x93\xFA\x8B\x4C" : "R\xE9sum\xE9");
    CreateDirectoryA(Folder.c_str(), nullptr);
    WriteFile(Program.Settings(), "[System]\r\nCurrentDirectory=\"" + LegacyFolder +
                                      "\"\r\n\r\n[MainForm.BinHandler.Bin.EntryName]\r\nPrefix=\"" +
                                      LegacyPrefix + "\"\r\nIndex=7\r\n\r\n");
    HWND Main = Start();
    ASSERT_NE(Main, nullptr);
    ExpectNextLabel("Next: " + Prefix + "0007");
    PostMessageA(Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Running().WaitForEnd());
    const std::string Settings = ReadFile(Program.Settings());
    EXPECT_NE(Settings.find("\r\nPrefix=\"" + Prefix + "\"\r\n"), std::string::npos) << Settings;
    EXPECT_NE(Settings.find("\r\nCurrentDirectory=\"" + Folder + "\"\r\n"), std::string::npos)
        << Settings;
    EXPECT_EQ(Settings.find(LegacyPrefix), std::string::npos);
}

TEST(TovelBin_NamesInstance, OneInstancePerFolderInAnyLetterCase) {
    const std::string Folder = u8"Prográmas\\Ωmega Tools";
    TInstalled Program(Folder);
    TProgram First(Quoted(Program.Exe()));
    HWND Main = WaitForMainWindow(First);
    ASSERT_NE(Main, nullptr);
    const std::string Name =
        "Parvex.TovelBin.Instance" + Vek_hash::HashText(Vek_codepage::UpperCaseName(Program.Dir()));
    HANDLE Mutex = OpenMutexA(SYNCHRONIZE, FALSE, Name.c_str());
    EXPECT_NE(Mutex, nullptr) << Name;
    if (Mutex)
        CloseHandle(Mutex);

    // The same folder in other letter cases: ASCII and non-ASCII letters both.
    const std::string Base = Program.Dir().substr(0, Program.Dir().size() - Folder.size());
    for (const std::string& Other :
         {std::string(u8"PROGRÁMAS\\ΩMEGA TOOLS"), std::string(u8"prográmas\\ωmega tools")}) {
        const std::string Exe = Base + Other + "\\TovelBin.exe";
        ASSERT_TRUE(Exists(Exe)) << Exe;
        TProgram Second(Quoted(Exe));
        HWND Box = WaitForWindow(Second, IsDialog);
        ASSERT_NE(Box, nullptr) << Exe;
        EXPECT_EQ(MessageBoxText(Box), "The program is restricted to a single instance.");
        PressButton(Box, IDOK);
        EXPECT_TRUE(Second.WaitForEnd());
    }

    // A copy in another non-ASCII folder runs beside the first.
    TInstalled Elsewhere(u8"Prográmas\\Ωmega Tools 2");
    TProgram Beside(Quoted(Elsewhere.Exe()));
    HWND BesideWindow = WaitForMainWindow(Beside);
    EXPECT_NE(BesideWindow, nullptr);
    EXPECT_EQ(WaitForWindow(Beside, IsDialog, 300), nullptr);
    if (BesideWindow)
        PostMessageA(BesideWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Beside.WaitForEnd());
    PostMessageA(Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(First.WaitForEnd());
}
