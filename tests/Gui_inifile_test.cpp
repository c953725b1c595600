#include "gui/Gui_inifile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/PortableSupport.h"

#ifndef _WIN32
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#endif

using Base_system::EStreamError;
using Gui_inifile::TMemIniFile;
using Names = std::vector<std::string>;
using namespace std::string_literals;

namespace {

using PortableSupport::TTempDir;
using PortableSupport::WriteFile;

#ifdef _WIN32

using TestSupport::ListTree;
using TestSupport::ReadFile;
const char* const DirMark = "\\";

#else

std::string ReadFile(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
}

std::vector<std::string> ListTree(const std::string& Root) {
    std::vector<std::string> Out;
    for (const auto& Entry : std::filesystem::recursive_directory_iterator(Root)) {
        const std::string Relative = std::filesystem::relative(Entry.path(), Root).string();
        Out.push_back(Entry.is_directory() ? Relative + "/" : Relative);
    }
    std::sort(Out.begin(), Out.end());
    return Out;
}

const char* const DirMark = "/";

#endif

void MakeDirectory(const std::string& Path) {
#ifdef _WIN32
    ASSERT_TRUE(CreateDirectoryA(Path.c_str(), nullptr));
#else
    ASSERT_TRUE(std::filesystem::create_directory(Path));
#endif
}

// Written by hand: odd spacing, comments, a line before the first section, a
// line without "=", mixed letter case and one section that appears twice.
const char* const HandWritten = "; settings by hand\r\n"
                                "Stray=before any section\r\n"
                                "\t [ Main ]  \r\n"
                                "Name =  first  \r\n"
                                "\tTabbed\t=\tv\t\r\n"
                                "Spaced = a  b \r\n"
                                "NoEquals\r\n"
                                ";Commented=1\r\n"
                                "   ; Indented=2\r\n"
                                "Equation=a=b\r\n"
                                "Hex=$1F\r\n"
                                "Hex2=0x10\r\n"
                                "Neg=-5\r\n"
                                "Bad=12abc\r\n"
                                "Blank=\r\n"
                                "Zero=0\r\n"
                                "\r\n"
                                "[Other]\n"
                                "x=1\n"
                                "\n"
                                "[MAIN]\r\n"
                                "name=Override\r\n"
                                "Added=new\r\n";

} // namespace

TEST(Gui_inifile_Read, HandWrittenFile) {
    TTempDir Dir;
    WriteFile(Dir / "Settings.ini", HandWritten);
    TMemIniFile Ini(Dir / "Settings.ini");

    EXPECT_EQ(Ini.ReadString("main", "NAME", "d"), "Override");
    EXPECT_EQ(Ini.ReadString("Main", "tabbed", "d"), "v");
    EXPECT_EQ(Ini.ReadString("Main", "Spaced", "d"), "a  b");
    EXPECT_EQ(Ini.ReadString("Main", "Equation", "d"), "a=b");
    EXPECT_EQ(Ini.ReadString("Main", "Blank", "d"), "");
    EXPECT_EQ(Ini.ReadString("Main", "Added", "d"), "new");
    EXPECT_EQ(Ini.ReadString("OTHER", "X", "d"), "1");

    EXPECT_EQ(Ini.ReadString("Main", "NoEquals", "d"), "d");
    EXPECT_EQ(Ini.ReadString("Main", ";Commented", "d"), "d");
    EXPECT_EQ(Ini.ReadString("Main", "Commented", "d"), "d");
    EXPECT_EQ(Ini.ReadString("Main", "; Indented", "d"), "d");
    EXPECT_EQ(Ini.ReadString("", "Stray", "d"), "d");
    EXPECT_FALSE(Ini.SectionExists("Stray"));
    EXPECT_EQ(Ini.ReadString("Missing", "x", "d"), "d");
    EXPECT_FALSE(Ini.ValueExists("Main", "Missing"));
    EXPECT_TRUE(Ini.ValueExists("main", "BLANK"));
}

TEST(Gui_inifile_Read, IntegersAndBooleans) {
    TMemIniFile Ini("");
    Ini.SetText(HandWritten);
    EXPECT_EQ(Ini.ReadInteger("Main", "Hex", 7), 31);
    EXPECT_EQ(Ini.ReadInteger("Main", "Hex2", 7), 16);
    EXPECT_EQ(Ini.ReadInteger("Main", "Neg", 7), -5);
    EXPECT_EQ(Ini.ReadInteger("Main", "Bad", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("Main", "Blank", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("Main", "Missing", 7), 7);
    EXPECT_EQ(Ini.ReadInteger("Other", "x", 7), 1);

    EXPECT_TRUE(Ini.ReadBool("Main", "Neg", false));
    EXPECT_TRUE(Ini.ReadBool("Main", "Hex2", false));
    EXPECT_FALSE(Ini.ReadBool("Main", "Zero", true));
    EXPECT_TRUE(Ini.ReadBool("Main", "Bad", true));
    EXPECT_FALSE(Ini.ReadBool("Main", "Bad", false));
    EXPECT_TRUE(Ini.ReadBool("Main", "Blank", true));
    EXPECT_FALSE(Ini.ReadBool("Main", "Blank", false));
    EXPECT_TRUE(Ini.ReadBool("Main", "Missing", true));
}

TEST(Gui_inifile_Write, HandWrittenFileComesBackInOrder) {
    TTempDir Dir;
    const std::string Path = Dir / "Settings.ini";
    WriteFile(Path, HandWritten);
    TMemIniFile Ini(Path);
    Ini.WriteInteger("MAIN", "neg", -6);
    Ini.WriteBool("Extra", "On", true);
    Ini.WriteString("other", "y", "2");
    Ini.UpdateFile();

    const std::string Expected = "[Main]\r\n"
                                 "Name=Override\r\n"
                                 "Tabbed=v\r\n"
                                 "Spaced=a  b\r\n"
                                 "Equation=a=b\r\n"
                                 "Hex=$1F\r\n"
                                 "Hex2=0x10\r\n"
                                 "Neg=-6\r\n"
                                 "Bad=12abc\r\n"
                                 "Blank=\r\n"
                                 "Zero=0\r\n"
                                 "Added=new\r\n"
                                 "\r\n"
                                 "[Other]\r\n"
                                 "x=1\r\n"
                                 "y=2\r\n"
                                 "\r\n"
                                 "[Extra]\r\n"
                                 "On=1\r\n"
                                 "\r\n";
    EXPECT_EQ(Ini.GetText(), Expected);
    EXPECT_EQ(ReadFile(Path), Expected);
    EXPECT_EQ(ListTree(Dir.Path()), Names{"Settings.ini"});
}

TEST(Gui_inifile_Write, NewStoreKeepsFirstWrittenOrder) {
    TTempDir Dir;
    const std::string Path = Dir / "Settings.ini";
    {
        TMemIniFile Ini(Path);
        EXPECT_EQ(Ini.GetText(), "");
        Ini.WriteString("B", "Text", "\"quoted\"");
        Ini.WriteInteger("A", "Low", INT32_MIN);
        Ini.WriteBool("B", "Flag", false);
        Ini.WriteInteger("A", "High", INT32_MAX);
        Ini.WriteString("b", "TEXT", " kept ");
        EXPECT_EQ(Ini.GetText(), "[B]\r\nText= kept \r\nFlag=0\r\n\r\n"
                                 "[A]\r\nLow=-2147483648\r\nHigh=2147483647\r\n\r\n");
        EXPECT_EQ(ListTree(Dir.Path()), Names{});
        Ini.UpdateFile();
    }
    TMemIniFile Again(Path);
    EXPECT_EQ(Again.ReadInteger("a", "low", 0), INT32_MIN);
    EXPECT_EQ(Again.ReadInteger("A", "High", 0), INT32_MAX);
    EXPECT_FALSE(Again.ReadBool("B", "Flag", true));
    // Blanks around a value do not survive the file: reading trims them.
    EXPECT_EQ(Again.ReadString("B", "Text", "d"), "kept");
}

TEST(Gui_inifile_Clear, EmptiesEverything) {
    TMemIniFile Ini("");
    Ini.SetText(HandWritten);
    Ini.Clear();
    EXPECT_EQ(Ini.GetText(), "");
    EXPECT_FALSE(Ini.SectionExists("Main"));
    Ini.WriteString("New", "k", "v");
    EXPECT_EQ(Ini.GetText(), "[New]\r\nk=v\r\n\r\n");
}

TEST(Gui_inifile_SetText, ReplacesTheContent) {
    TMemIniFile Ini("");
    Ini.WriteString("Old", "k", "v");
    Ini.SetText("[New]\nk=w");
    EXPECT_FALSE(Ini.SectionExists("Old"));
    EXPECT_EQ(Ini.GetText(), "[New]\r\nk=w\r\n\r\n");
    Ini.SetText("[Cut]\r\na=1\r\n\0b=2\r\n"s);
    EXPECT_EQ(Ini.GetText(), "[Cut]\r\na=1\r\n\r\n");
}

TEST(Gui_inifile_UpdateFile, ReplacesALongerFileWhole) {
    TTempDir Dir;
    const std::string Path = Dir / "Settings.ini";
    WriteFile(Path, HandWritten);
    TMemIniFile Ini(Path);
    Ini.Clear();
    Ini.WriteInteger("S", "k", 1);
    Ini.UpdateFile();
    EXPECT_EQ(ReadFile(Path), "[S]\r\nk=1\r\n\r\n");
    Ini.Clear();
    Ini.UpdateFile();
    EXPECT_EQ(ReadFile(Path), "");
    EXPECT_EQ(ListTree(Dir.Path()), Names{"Settings.ini"});
}

TEST(Gui_inifile_UpdateFile, LeavesAStrangersFileOfTheTemporaryNameAlone) {
    TTempDir Dir;
    const std::string Path = Dir / "Settings.ini";
    WriteFile(Path + ".~0.tmp", "not ours");
    TMemIniFile Ini(Path);
    Ini.WriteString("S", "k", "v");
    Ini.UpdateFile();
    EXPECT_EQ(ReadFile(Path), "[S]\r\nk=v\r\n\r\n");
    EXPECT_EQ(ReadFile(Path + ".~0.tmp"), "not ours");
    EXPECT_EQ(ListTree(Dir.Path()), (Names{"Settings.ini", "Settings.ini.~0.tmp"}));
}

TEST(Gui_inifile_UpdateFile, DirectoryInTheWayFailsAndStaysIntact) {
    TTempDir Dir;
    const std::string Path = Dir / "Settings.ini";
    TMemIniFile Ini(Path);
    Ini.WriteString("S", "k", "v");
    MakeDirectory(Path);
    WriteFile(Path + DirMark + "keep.txt", "keep");
    EXPECT_THROW(Ini.UpdateFile(), EStreamError);
    EXPECT_EQ(ReadFile(Path + DirMark + "keep.txt"), "keep");
    EXPECT_EQ(ListTree(Dir.Path()), (Names{std::string("Settings.ini") + DirMark,
                                           std::string("Settings.ini") + DirMark + "keep.txt"}));
}

TEST(Gui_inifile_UpdateFile, MissingFolderFails) {
    TTempDir Dir;
    TMemIniFile Ini(Dir / "missing" + DirMark + "Settings.ini");
    Ini.WriteString("S", "k", "v");
    EXPECT_THROW(Ini.UpdateFile(), EStreamError);
    EXPECT_EQ(ListTree(Dir.Path()), Names{});
}

TEST(Gui_inifile_Create, MissingFileIsEmptyAndUnreadableOneRaises) {
    TTempDir Dir;
    TMemIniFile Missing(Dir / "Settings.ini");
    EXPECT_EQ(Missing.GetText(), "");
    EXPECT_EQ(ListTree(Dir.Path()), Names{});
    EXPECT_THROW(TMemIniFile{Dir.Path()}, EStreamError);
}

TEST(Gui_inifile_Create, FileSavedWithAByteOrderMarkKeepsItsFirstSection) {
    TTempDir Dir;
    WriteFile(Dir / "Settings.ini", "\xEF\xBB\xBF[System]\r\nCurrentDirectory=\"C:\\x\"\r\n");
    TMemIniFile Ini(Dir / "Settings.ini");
    EXPECT_EQ(Ini.ReadString("System", "CurrentDirectory", "none"), "\"C:\\x\"");
    EXPECT_EQ(Ini.GetText(), "[System]\r\nCurrentDirectory=\"C:\\x\"\r\n\r\n");
}

#ifdef _WIN32

namespace {

class THeldFile {
public:
    THeldFile(const std::string& Path, DWORD Share)
        : FHandle(CreateFileA(Path.c_str(), GENERIC_WRITE, Share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~THeldFile() {
        if (FHandle != INVALID_HANDLE_VALUE)
            CloseHandle(FHandle);
    }
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;
    bool IsOpen() const { return FHandle != INVALID_HANDLE_VALUE; }

private:
    HANDLE FHandle;
};

} // namespace

TEST(Gui_inifile_Create, FileLockedByAWriterRaises) {
    TTempDir Dir;
    const std::string Path = Dir / "Settings.ini";
    WriteFile(Path, "[S]\r\nk=v\r\n");
    THeldFile Writer(Path, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(Writer.IsOpen());
    EXPECT_THROW(TMemIniFile{Path}, EStreamError);
}

TEST(Gui_inifile_UpdateFile, FileHeldWithoutSharingFailsAndKeepsTheOldContent) {
    TTempDir Dir;
    const std::string Path = Dir / "Settings.ini";
    WriteFile(Path, "[Old]\r\nk=v\r\n");
    TMemIniFile Ini(Path);
    Ini.Clear();
    Ini.WriteString("New", "k", "w");
    {
        THeldFile Holder(Path, 0);
        ASSERT_TRUE(Holder.IsOpen());
        EXPECT_THROW(Ini.UpdateFile(), EStreamError);
    }
    EXPECT_EQ(ReadFile(Path), "[Old]\r\nk=v\r\n");
    EXPECT_EQ(ListTree(Dir.Path()), Names{"Settings.ini"});
}

// In a double-byte code page "\x83\x41" and "\x83\x61" are two different
// characters; only a single-byte code page sees letters that differ in case.
TEST(Gui_inifile_Names, DbcsTrailBytesAreNotFolded) {
    TMemIniFile Ini("");
    Ini.WriteString("S", "\x83\x41", "upper");
    Ini.WriteString("s", "\x83\x61", "lower");
    if (IsDBCSLeadByte(0x83)) {
        EXPECT_EQ(Ini.ReadString("S", "\x83\x41", "d"), "upper");
        EXPECT_EQ(Ini.ReadString("S", "\x83\x61", "d"), "lower");
        EXPECT_EQ(Ini.GetText(), "[S]\r\n\x83\x41=upper\r\n\x83\x61=lower\r\n\r\n");
    } else {
        EXPECT_EQ(Ini.ReadString("S", "\x83\x41", "d"), "lower");
        EXPECT_EQ(Ini.GetText(), "[S]\r\n\x83\x41=lower\r\n\r\n");
    }
}

#endif
