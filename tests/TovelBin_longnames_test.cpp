// The real TovelBin.exe in a folder two levels of 60 CJK characters deep:
// fewer UTF-16 units than MAX_PATH, more bytes than it. This program carries
// the exe's own manifest, so it speaks UTF-8 as the exe does. It runs under
// the default locale and again under LANG=ja_JP.UTF-8.

#include "ProgramSupport.h"
#include "TestSupport.h"

#include "res/resource.h"
#include "vek/Vek_codepage.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include <memory>
#include <vector>

using namespace ProgramSupport;
using namespace TestSupport;

namespace {

std::string Level(wchar_t Last = L'\u6F22') {
    return Vek_codepage::FromWide(std::wstring(59, L'\u6F22') + Last);
}

// The program's folder, and a sibling of its own below the same first level.
const std::string Deep = Level() + "\\" + Level();
const std::string SiblingLevel = Level(L'\u5B57');

std::wstring Wide(const std::string& Text) {
    return Vek_codepage::ToWide(Text);
}

// One registry value set for a test and put back as it was at the end.
class TRegistryValue {
public:
    TRegistryValue(HKEY Root, const std::wstring& Key, const std::wstring& Name, DWORD Type,
                   const std::string& Value)
        : FRoot(Root), FKey(Key), FName(Name), FMadeKey(FirstMissingKey(Root, Key)) {
        HKEY Handle = nullptr;
        if (RegCreateKeyExW(Root, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Handle,
                            nullptr) != ERROR_SUCCESS)
            throw std::runtime_error("cannot open a registry key");
        DWORD Size = 0;
        FExisted = RegQueryValueExW(Handle, Name.c_str(), nullptr, &FType, nullptr, &Size) ==
                   ERROR_SUCCESS;
        FSaved.resize(Size);
        if (FExisted && Size > 0)
            RegQueryValueExW(Handle, Name.c_str(), nullptr, &FType, FSaved.data(), &Size);
        const std::wstring Text = Wide(Value);
        RegSetValueExW(Handle, Name.c_str(), 0, Type, reinterpret_cast<const BYTE*>(Text.c_str()),
                       static_cast<DWORD>((Text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(Handle);
    }
    ~TRegistryValue() {
        if (!FMadeKey.empty()) {
            RegDeleteTreeW(FRoot, FMadeKey.c_str());
            return;
        }
        HKEY Handle = nullptr;
        if (RegOpenKeyExW(FRoot, FKey.c_str(), 0, KEY_ALL_ACCESS, &Handle) != ERROR_SUCCESS)
            return;
        if (FExisted)
            RegSetValueExW(Handle, FName.c_str(), 0, FType, FSaved.data(),
                           static_cast<DWORD>(FSaved.size()));
        else
            RegDeleteValueW(Handle, FName.c_str());
        RegCloseKey(Handle);
    }
    TRegistryValue(const TRegistryValue&) = delete;
    TRegistryValue& operator=(const TRegistryValue&) = delete;

private:
    // The outermost level of Key that is not there yet, or none.
    static std::wstring FirstMissingKey(HKEY Root, const std::wstring& Key) {
        for (std::size_t End = Key.find(L'\\');; End = Key.find(L'\\', End + 1)) {
            const std::wstring Level = Key.substr(0, End);
            HKEY Handle = nullptr;
            if (RegOpenKeyExW(Root, Level.c_str(), 0, KEY_READ, &Handle) != ERROR_SUCCESS)
                return Level;
            RegCloseKey(Handle);
            if (End == std::wstring::npos)
                return std::wstring();
        }
    }

    HKEY FRoot;
    std::wstring FKey;
    std::wstring FName;
    std::wstring FMadeKey;
    bool FExisted = false;
    DWORD FType = REG_SZ;
    std::vector<BYTE> FSaved;
};

// Makes the directory and every missing level above it.
void MakeLevels(const std::string& Path) {
    for (std::size_t End = Path.find('\\', 3); End != std::string::npos;
         End = Path.find('\\', End + 1))
        CreateDirectoryW(Wide(Path.substr(0, End)).c_str(), nullptr);
    CreateDirectoryW(Wide(Path).c_str(), nullptr);
}

// The target of a shortcut, read with the shell's own link object.
std::string ShortcutTarget(const std::string& LinkName) {
    IShellLinkW* Link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&Link))))
        return "no link object";
    std::string Target = "unreadable";
    IPersistFile* File = nullptr;
    if (SUCCEEDED(Link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&File)))) {
        std::wstring Path(MAX_PATH, L'\0');
        if (SUCCEEDED(File->Load(Wide(LinkName).c_str(), STGM_READ)) &&
            Link->GetPath(&Path[0], MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK)
            Target = Vek_codepage::FromWide(Path.c_str());
        File->Release();
    }
    Link->Release();
    return Target;
}

class TovelBin_LongNames : public testing::Test {
protected:
    static void SetUpTestSuite() { CoInitialize(nullptr); }
    static void TearDownTestSuite() { CoUninitialize(); }

    void TearDown() override {
        if (FRunning)
            Close();
    }

    HWND Start(const std::string& Arguments = std::string()) {
        FRunning = std::make_unique<TProgram>(Quoted(Program.Exe()) + Arguments, Items.Path());
        FMain = WaitForMainWindow(*FRunning);
        return FMain;
    }
    // A box left open is a failure; answered, it lets the program close.
    void Close() {
        if (HWND Box = WaitForWindow(*FRunning, IsDialog, 200)) {
            ADD_FAILURE() << WindowText(Box) << ": " << MessageBoxText(Box);
            PressButton(Box, IDCANCEL);
        }
        PostMessageA(FMain, WM_CLOSE, 0, 0);
        EXPECT_TRUE(FRunning->WaitForEnd());
        FRunning.reset();
    }
    // Answers the program's next box of that caption with Button.
    void Answer(const std::string& Caption, int Button) {
        HWND Box = WaitForWindow(*FRunning, [&](HWND Window) {
            return IsDialog(Window) && WindowText(Window) == Caption;
        });
        ASSERT_NE(Box, nullptr) << Caption;
        PressButton(Box, Button);
    }
    void Command(int Id) { PostMessageA(FMain, WM_COMMAND, Id, 0); }

    TInstalled Program{Deep};
    TTempDir Items;

private:
    std::unique_ptr<TProgram> FRunning;
    HWND FMain = nullptr;
};

} // namespace

TEST_F(TovelBin_LongNames, PutsTakesBackAndKeepsItsSettingsBesideItself) {
    ASSERT_GT(Program.Exe().size(), static_cast<std::size_t>(MAX_PATH));
    WriteFile(Items / "a.txt", "alpha");
    MakeLevels(Items / "folder");
    WriteFile(Items / "folder\\b.txt", "beta");
    const std::vector<std::string> Before = FilePrint({Items.Path(), Program.Bin()});

    ASSERT_NE(Start(" " + Quoted(Items / "a.txt") + " " + Quoted(Items / "folder")), nullptr);
    // Each item moves whole, by a rename: once both are there and gone, the put is done.
    EXPECT_TRUE(WaitFor([&] {
        return Exists(Program.InEntry("0000", Items / "a.txt")) &&
               Exists(Program.InEntry("0000", Items / "folder\\b.txt")) &&
               !Exists(Items / "a.txt") && !Exists(Items / "folder");
    }));
    EXPECT_EQ(FilePrint({Items.Path(), Program.Bin()}), Before);

    // The take back ends by removing the emptied entry.
    Command(IDM_BIN_TAKE_BACK_LAST_PUT);
    Answer("Tovel Bin", IDYES);
    EXPECT_TRUE(WaitFor([&] {
        return Exists(Items / "a.txt") && Exists(Items / "folder\\b.txt") &&
               !Exists(Program.Bin() + "\\Tovel #0000");
    }));
    EXPECT_EQ(FilePrint({Items.Path(), Program.Bin()}), Before);

    Close();
    EXPECT_TRUE(Exists(Program.Settings()));
    const std::string Parent = Program.Dir().substr(0, Program.Dir().rfind('\\'));
    EXPECT_FALSE(Exists(Parent + "\\Settings.ini"));
}

// The page is opened by the program the shell has for it: here a command
// that copies it to a marker, so that the test sees which page it was.
TEST_F(TovelBin_LongNames, OpensItsHelpPage) {
    MakeLevels(Program.Dir() + "\\Help");
    const std::string Page = "<html><body>Tovel Bin</body></html>";
    WriteFile(Program.Dir() + "\\Help\\index.html", Page);
    const std::string Marker = Items / "opened.html";
    const TRegistryValue Type(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.html", L"", REG_SZ,
                              "TovelBin.Test.Page");
    const TRegistryValue Open(HKEY_LOCAL_MACHINE,
                              L"Software\\Classes\\TovelBin.Test.Page\\shell\\open\\command", L"",
                              REG_SZ, "cmd.exe /c copy /y \"%1\" " + Quoted(Marker));

    ASSERT_NE(Start(), nullptr);
    Command(IDM_HELP_CONTENTS);
    Answer("Contents", IDOK);
    EXPECT_TRUE(WaitFor([&] { return Exists(Marker) && ReadFile(Marker) == Page; }));
}

TEST_F(TovelBin_LongNames, AddsItselfToALongSendToFolderAndRemovesItself) {
    TTempDir Profile;
    const std::string SendTo = Profile / Deep;
    MakeLevels(SendTo);
    const std::wstring Folders = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    const TRegistryValue User(HKEY_CURRENT_USER, Folders + L"User Shell Folders", L"SendTo",
                              REG_EXPAND_SZ, SendTo);
    const TRegistryValue Shell(HKEY_CURRENT_USER, Folders + L"Shell Folders", L"SendTo", REG_SZ,
                               SendTo);
    const std::string Link = SendTo + "\\Tovel Bin.lnk";

    ASSERT_NE(Start(), nullptr);
    Command(IDM_HELP_SEND_TO);
    EXPECT_TRUE(WaitFor([&] { return Exists(Link); }));
    EXPECT_EQ(ShortcutTarget(Link), Program.Exe());
    Command(IDM_HELP_SEND_TO);
    EXPECT_TRUE(WaitFor([&] { return !Exists(Link); }));
}

// The instance is the program's folder: a copy beside it is another one.
TEST_F(TovelBin_LongNames, ASecondCopyInASiblingFolderRunsBeside) {
    const std::string Sibling =
        Program.Dir().substr(0, Program.Dir().rfind('\\') + 1) + SiblingLevel;
    MakeLevels(Sibling);
    ASSERT_TRUE(
        CopyFileW(Wide(Program.Exe()).c_str(), Wide(Sibling + "\\TovelBin.exe").c_str(), FALSE));
    ASSERT_NE(Start(), nullptr);
    TProgram Second(Quoted(Sibling + "\\TovelBin.exe"));
    HWND SecondMain = WaitForMainWindow(Second);
    ASSERT_NE(SecondMain, nullptr);
    EXPECT_EQ(WaitForWindow(Second, IsDialog, 300), nullptr);
    PostMessageA(SecondMain, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Second.WaitForEnd());
    EXPECT_TRUE(Exists(Sibling + "\\Settings.ini"));
}
