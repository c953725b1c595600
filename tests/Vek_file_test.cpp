#include "vek/Vek_file.h"

#include "tests/PortableSupport.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "tests/TestSupport.h"
#include "vek/Vek_codepage.h"

#include <windows.h>

#include <algorithm>
#include <vector>
#endif

using namespace Vek_file;

namespace {

// The message of the EFileError that Action raises, or "no error".
template <class TAction> std::string FileErrorOf(TAction Action) {
    try {
        Action();
    } catch (const EFileError& Error) {
        return Error.what();
    }
    return "no error";
}

const std::string CannotDetermine = "The program cannot determine the path is absolute.";

} // namespace

TEST(Vek_file_Delimiters, LookAtTheFirstAndLastCharacterOnly) {
    EXPECT_FALSE(StartsWithDelimiter("", '\\'));
    EXPECT_FALSE(EndsWithDelimiter("", '\\'));
    EXPECT_TRUE(StartsWithDelimiter("\\", '\\'));
    EXPECT_TRUE(EndsWithDelimiter("\\", '\\'));
    EXPECT_TRUE(StartsWithDelimiter("\\Bin", '\\'));
    EXPECT_FALSE(EndsWithDelimiter("\\Bin", '\\'));
    EXPECT_TRUE(EndsWithDelimiter("C:\\", '\\'));
    EXPECT_FALSE(StartsWithDelimiter("C:\\", '\\'));
    EXPECT_FALSE(EndsWithDelimiter("C:/Bin/", '\\'));
    EXPECT_TRUE(EndsWithDelimiter("C:/Bin/", '/'));
}

TEST(Vek_file_Delimiters, AddOrRemoveAtMostOne) {
    EXPECT_EQ(IncludeTrailingDelimiter("", '\\'), "\\");
    EXPECT_EQ(IncludeTrailingDelimiter("C:", '\\'), "C:\\");
    EXPECT_EQ(IncludeTrailingDelimiter("C:\\Bin\\", '\\'), "C:\\Bin\\");
    EXPECT_EQ(IncludeTrailingDelimiter("C:\\Bin/", '\\'), "C:\\Bin/\\");
    EXPECT_EQ(ExcludeTrailingDelimiter("C:\\Bin\\\\", '\\'), "C:\\Bin\\");
    EXPECT_EQ(ExcludeTrailingDelimiter("C:\\Bin", '\\'), "C:\\Bin");
    EXPECT_EQ(ExcludeTrailingDelimiter("\\", '\\'), "");
    EXPECT_EQ(ExcludeTrailingDelimiter("", '\\'), "");
    EXPECT_EQ(ExcludeLeadingDelimiter("\\\\server", '\\'), "\\server");
    EXPECT_EQ(ExcludeLeadingDelimiter("Bin\\", '\\'), "Bin\\");
    EXPECT_EQ(ExcludeLeadingDelimiter("", '\\'), "");
}

TEST(Vek_file_ExtractDirectory, EndsAtTheLastBackslashOrColon) {
    EXPECT_EQ(ExtractDirectoryPath("C:\\Prog\\App.exe"), "C:\\Prog\\");
    EXPECT_EQ(ExtractDirectoryPath("C:App.exe"), "C:");
    EXPECT_EQ(ExtractDirectoryPath("App.exe"), "");
    EXPECT_EQ(ExtractDirectoryPath("C:\\Prog\\"), "C:\\Prog\\");
    EXPECT_EQ(ExtractDirectoryPath("C:/Prog/App.exe"), "C:");
    EXPECT_EQ(ExtractDirectoryPath("a/b"), "");
    EXPECT_EQ(ExtractDirectory("C:\\Prog\\App.exe"), "C:\\Prog");
    EXPECT_EQ(ExtractDirectory("C:\\App.exe"), "C:");
    EXPECT_EQ(ExtractDirectory("App.exe"), "");
    EXPECT_EQ(ExtractDirectory("\\\\server\\share\\App.exe"), "\\\\server\\share");
    // As a current directory: a drive's root keeps its backslash.
    EXPECT_EQ(ExtractWorkingDirectory("C:\\Prog\\App.exe"), "C:\\Prog");
    EXPECT_EQ(ExtractWorkingDirectory("C:\\App.exe"), "C:\\");
    EXPECT_EQ(ExtractWorkingDirectory("C:App.exe"), "C:");
    EXPECT_EQ(ExtractWorkingDirectory("App.exe"), "");
    EXPECT_EQ(ExtractWorkingDirectory("\\\\server\\share\\App.exe"), "\\\\server\\share");
}

TEST(Vek_file_UpperCasePath, KeepsTheLength) {
    EXPECT_EQ(UpperCasePath("c:\\prog files\\app-1.exe"), "C:\\PROG FILES\\APP-1.EXE");
    EXPECT_EQ(UpperCasePath("AZaz09_~{}"), "AZAZ09_~{}");
    EXPECT_EQ(UpperCasePath(""), "");
    EXPECT_EQ(UpperCasePath(std::string("a\0b", 3)), std::string("A\0B", 3));
}

#ifdef _WIN32
TEST(Vek_file_UpperCasePath, FollowsTheCodePageOutsideTheFarEast) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252";
    EXPECT_EQ(UpperCasePath("c:\\caf\xE9\\\xFC"), "C:\\CAF\xC9\\\xDC");
}
#endif

TEST(Vek_file_HasWildcards, FindsQuestionMarkAndAsterisk) {
    EXPECT_TRUE(HasWildcards("C:\\*.txt"));
    EXPECT_TRUE(HasWildcards("C:\\a?c"));
    EXPECT_TRUE(HasWildcards("?"));
    EXPECT_FALSE(HasWildcards("C:\\Prog\\App.exe"));
    EXPECT_FALSE(HasWildcards(""));
}

// A prefix or suffix of the entries' names is such a part.
TEST(Vek_file_IsNamePart, RefusesWhatWouldLeadOutOfTheBin) {
    for (const char* Fit : {"", "Tovel #", " (old)", "a.b", ".", "\xCE\xA9", "#~$"})
        EXPECT_TRUE(IsNamePart(Fit)) << Fit;
    for (const char* Unfit :
         {"..", "..\\", "a\\b", "a/b", "C:", "a*", "a?", "\"q", "<", ">", "|", "a\tb", "x..y"})
        EXPECT_FALSE(IsNamePart(Unfit)) << Unfit;
}

TEST(Vek_file_IsAbsolutePath, NeedsADriveFollowedByABackslash) {
    EXPECT_TRUE(IsAbsolutePath("C:\\Bin"));
    EXPECT_TRUE(IsAbsolutePath("c:\\"));
    EXPECT_TRUE(IsAbsolutePath("C:\\a:b"));
    EXPECT_TRUE(IsAbsolutePath("Bin:\\x:y"));
    for (const std::string Path : {"Bin", "..\\Bin", "\\Bin", "\\\\server\\share", ""}) {
        EXPECT_FALSE(IsAbsolutePath(Path)) << Path;
        EXPECT_TRUE(IsRelativePath(Path)) << Path;
    }
    EXPECT_FALSE(IsRelativePath("D:\\"));
}

TEST(Vek_file_IsAbsolutePath, RaisesWhenTheColonIsNotFollowedByABackslash) {
    for (const std::string Path : {"C:", "C:Bin", "C:/Bin", "a:b\\c:\\"}) {
        EXPECT_EQ(FileErrorOf([&] { IsAbsolutePath(Path); }), CannotDetermine) << Path;
        EXPECT_EQ(FileErrorOf([&] { IsRelativePath(Path); }), CannotDetermine) << Path;
        EXPECT_EQ(FileErrorOf([&] { GetPathRoot(Path); }), CannotDetermine) << Path;
    }
}

TEST(Vek_file_GetPathRoot, IsTheDriveRootOrEmpty) {
    EXPECT_EQ(GetPathRoot("C:\\Prog\\Bin"), "C:\\");
    EXPECT_EQ(GetPathRoot("D:\\"), "D:\\");
    EXPECT_EQ(GetPathRoot("Prog\\Bin"), "");
    EXPECT_EQ(GetPathRoot("\\Prog"), "");
}

TEST(Vek_file_CombinePath, AppendsToTheBase) {
    EXPECT_EQ(CombinePath("Bin", "C:\\Prog"), "C:\\Prog\\Bin");
    EXPECT_EQ(CombinePath("Bin", "C:\\Prog\\"), "C:\\Prog\\Bin");
    EXPECT_EQ(CombinePath("..\\Bin", "C:\\Prog"), "C:\\Prog\\..\\Bin");
    EXPECT_EQ(CombinePath("", "C:\\Prog"), "C:\\Prog\\");
    EXPECT_EQ(CombinePath("Bin", ""), "\\Bin");
    EXPECT_EQ(CombinePath("Bin", "C:"), "C:\\Bin");
}

TEST(Vek_file_CombinePath, LeadingBackslashMeansTheRootOfTheBase) {
    EXPECT_EQ(CombinePath("\\Bin", "C:\\Prog"), "C:\\Bin");
    EXPECT_EQ(CombinePath("\\", "C:\\Prog\\Sub"), "C:\\");
    EXPECT_EQ(CombinePath("\\Bin", "Prog"), "Bin");
    EXPECT_EQ(FileErrorOf([] { CombinePath("\\Bin", "C:"); }), CannotDetermine);
}

// A location with a drive is where the user wants the bin, whatever the base.
TEST(Vek_file_CombinePath, PathWithADriveStaysAsItIs) {
    EXPECT_EQ(CombinePath("D:\\Bin", "C:\\Prog"), "D:\\Bin");
    EXPECT_EQ(CombinePath("C:\\", "C:\\Prog"), "C:\\");
    EXPECT_EQ(FileErrorOf([] { CombinePath("D:Bin", "C:\\Prog"); }), CannotDetermine);
}

// A network location from the browse button must not land on the program's drive.
TEST(Vek_file_CombinePath, NetworkPathStaysAsItIs) {
    EXPECT_EQ(CombinePath("\\\\server\\share\\Bin", "C:\\Prog"), "\\\\server\\share\\Bin");
    EXPECT_EQ(CombinePath("\\\\server\\share", "Prog"), "\\\\server\\share");
    // The base is not even looked at: a bare drive, which raises for a
    // single backslash, does not raise here.
    EXPECT_EQ(CombinePath("\\\\server\\share\\Bin", "C:"), "\\\\server\\share\\Bin");
}

class Vek_file_Dbcs : public PortableSupport::TCodePage932Test {};

// 0x95 0x5C is one character of code page 932 whose trail byte has the
// backslash code.
TEST_F(Vek_file_Dbcs, TrailByteBackslashIsNoDelimiter) {
    const std::string Path = "C:\\\x95\x5C";
    EXPECT_FALSE(EndsWithDelimiter(Path, '\\'));
    EXPECT_EQ(IncludeTrailingDelimiter(Path, '\\'), Path + "\\");
    EXPECT_EQ(ExcludeTrailingDelimiter(Path, '\\'), Path);
    EXPECT_TRUE(EndsWithDelimiter(Path + "\\", '\\'));
    EXPECT_EQ(ExcludeTrailingDelimiter(Path + "\\", '\\'), Path);
    EXPECT_EQ(ExtractDirectoryPath(Path), "C:\\");
    EXPECT_EQ(ExtractDirectoryPath(Path + "\\a.txt"), Path + "\\");
    EXPECT_EQ(ExtractDirectory(Path + "\\a.txt"), Path);
    EXPECT_EQ(ExtractDirectoryPath("\x95\x5C\x95\x5C"), "");
    EXPECT_EQ(CombinePath("a", Path), Path + "\\a");
    EXPECT_TRUE(IsNamePart("\x95\x5C"));
}

// 0x82 0x61 is one character whose trail byte has the code of a small a.
TEST_F(Vek_file_Dbcs, UpperCasePathChangesOnlyAToZ) {
    EXPECT_EQ(UpperCasePath("c:\\\x82\x61"
                            "b\\\x95\x5C"
                            "z"),
              "C:\\\x82\x61"
              "B\\\x95\x5C"
              "Z");
    EXPECT_EQ(UpperCasePath("\x82\x79\x82\x7A"), "\x82\x79\x82\x7A");
    EXPECT_EQ(UpperCasePath("x\x82"), "X\x82");
}

// Code page 932 gives no character a trail byte with the code of the colon,
// the question mark or the asterisk, but the searches must step over whatever
// follows a lead byte, as the system's own CharNextA does.
TEST_F(Vek_file_Dbcs, SearchesStepOverTrailBytes) {
    EXPECT_FALSE(HasWildcards("C:\\\x95?\\\x95*"));
    EXPECT_TRUE(HasWildcards("C:\\\x95\x5C?"));
    EXPECT_FALSE(IsAbsolutePath("\x95:Bin"));
    EXPECT_TRUE(IsAbsolutePath("\x95:C:\\Bin"));
    EXPECT_EQ(GetPathRoot("\x95:C:\\Bin"), "\x95:C:\\");
    EXPECT_EQ(ExtractDirectoryPath("C:\\a\x95:"), "C:\\");
    EXPECT_EQ(FileErrorOf([] { IsAbsolutePath("C:\x95\x5C"); }), CannotDetermine);
}

#ifdef _WIN32

namespace {

std::wstring Widen(const std::string& Ascii) {
    return std::wstring(Ascii.begin(), Ascii.end());
}

// Puts the process's current directory back, however long it was.
class TKeptCurrentDirectory {
public:
    TKeptCurrentDirectory() {
        FPath.resize(GetCurrentDirectoryW(0, nullptr));
        FPath.resize(GetCurrentDirectoryW(static_cast<DWORD>(FPath.size()), &FPath[0]));
    }
    ~TKeptCurrentDirectory() { SetCurrentDirectoryW(FPath.c_str()); }
    TKeptCurrentDirectory(const TKeptCurrentDirectory&) = delete;
    TKeptCurrentDirectory& operator=(const TKeptCurrentDirectory&) = delete;

private:
    std::wstring FPath;
};

// A chain of directories below Parent longer than MAX_PATH. The ANSI services
// cannot reach so deep, so it is made and removed through the wide ones.
class TDeepDirectory {
public:
    explicit TDeepDirectory(const std::string& Parent) : FPath(Parent) {
        while (FPath.size() <= MAX_PATH) {
            const std::string Level =
                FPath + "\\" + std::string(100, static_cast<char>('a' + FLevels));
            if (!CreateDirectoryW(Prefixed(Level).c_str(), nullptr))
                break;
            FPath = Level;
            ++FLevels;
        }
    }
    ~TDeepDirectory() {
        for (; FLevels > 0; --FLevels) {
            RemoveDirectoryW(Wide().c_str());
            FPath.erase(FPath.rfind('\\'));
        }
    }
    TDeepDirectory(const TDeepDirectory&) = delete;
    TDeepDirectory& operator=(const TDeepDirectory&) = delete;

    bool IsMade() const { return FPath.size() > MAX_PATH; }
    const std::string& Path() const { return FPath; }
    std::wstring Wide() const { return Prefixed(FPath); }

private:
    static std::wstring Prefixed(const std::string& Path) { return L"\\\\?\\" + Widen(Path); }

    std::string FPath;
    int FLevels = 0;
};

// Each file-system case works in a fresh directory and leaves the process's
// current directory as it found it.
class Vek_file_System : public testing::Test {
protected:
    TestSupport::TTempDir FTemp;
    TKeptCurrentDirectory FKeptDirectory;
};

} // namespace

TEST_F(Vek_file_System, KindsOfItems) {
    TestSupport::WriteFile(FTemp / "file.txt", "x");
    EXPECT_TRUE(IsRegularFile(FTemp / "file.txt"));
    EXPECT_FALSE(IsDirectory(FTemp / "file.txt"));
    EXPECT_TRUE(IsDirectory(FTemp.Path()));
    EXPECT_TRUE(IsDirectory(FTemp.Path() + "\\"));
    EXPECT_FALSE(IsRegularFile(FTemp.Path()));
    for (const std::string& Path : {FTemp / "missing", FTemp / "missing\\x", std::string(),
                                    FTemp / "a<|>b", std::string(400, 'a')}) {
        EXPECT_FALSE(IsRegularFile(Path)) << Path;
        EXPECT_FALSE(IsDirectory(Path)) << Path;
    }
}

TEST_F(Vek_file_System, CurrentDirectory) {
    SetCurrentDirectoryPath(FTemp.Path());
    EXPECT_EQ(GetCurrentDirectoryPath(), FTemp.Path());
    EXPECT_EQ(FileErrorOf([&] { SetCurrentDirectoryPath(FTemp / "missing"); }),
              "The program could not set the current directory.");
    EXPECT_EQ(GetCurrentDirectoryPath(), FTemp.Path());
    SetCurrentDirectoryPath("C:\\");
    EXPECT_EQ(GetCurrentDirectoryPath(), "C:\\");
}

TEST_F(Vek_file_System, ExpandPathResolvesAgainstTheCurrentDirectory) {
    SetCurrentDirectoryPath(FTemp.Path());
    EXPECT_EQ(ExpandPath("a\\..\\b.txt"), FTemp / "b.txt");
    EXPECT_EQ(ExpandPath("."), FTemp.Path());
    EXPECT_EQ(ExpandPath("C:\\x\\.\\y\\..\\z"), "C:\\x\\z");
    EXPECT_EQ(ExpandPath("\\x"), "C:\\x");
    EXPECT_EQ(ExpandPath(""), "");
}

namespace {

// The platform's own wide answer given room for any length, as an ASCII
// text: the whole text, or the empty text where it refuses one that long.
template <class TQuery> std::string PlatformAnswer(TQuery Query) {
    std::vector<wchar_t> Buffer(32768);
    const DWORD Length = Query(static_cast<DWORD>(Buffer.size()), Buffer.data());
    if (Length == 0 || Length >= Buffer.size())
        return std::string();
    return std::string(Buffer.begin(), Buffer.begin() + Length);
}

std::string PlatformFullPath(const std::string& Path) {
    return PlatformAnswer([&Path](DWORD Size, wchar_t* Buffer) {
        return GetFullPathNameW(Widen(Path).c_str(), Size, Buffer, nullptr);
    });
}

} // namespace

// At the platform's limit and beyond it: the path is never cut at the limit
// nor at the size of a first buffer; it is as whole as the platform gives it.
TEST_F(Vek_file_System, LongPathsAreWholeOrNothing) {
    const std::string Longest = "C:\\" + std::string(MAX_PATH - 4, 'a');
    ASSERT_EQ(Longest.size(), static_cast<std::size_t>(MAX_PATH - 1));
    EXPECT_EQ(ExpandPath(Longest), Longest);
    for (const std::size_t Extra : {1, 2, 100}) {
        const std::string Long = Longest + std::string(Extra, 'b');
        const std::string Platform = PlatformFullPath(Long);
        EXPECT_TRUE(Platform.empty() || Platform == Long) << Long.size();
        EXPECT_EQ(ExpandPath(Long), Platform) << Long.size();
    }

    TDeepDirectory Deep(FTemp.Path());
    ASSERT_TRUE(Deep.IsMade()) << "the platform made no directory chain beyond MAX_PATH";
    TKeptCurrentDirectory KeptDirectory;
    // Where the platform keeps a current directory beyond MAX_PATH, the
    // services give it whole or not at all.
    if (SetCurrentDirectoryW(Deep.Wide().c_str())) {
        const std::string Current = PlatformAnswer(
            [](DWORD Size, wchar_t* Buffer) { return GetCurrentDirectoryW(Size, Buffer); });
        EXPECT_TRUE(Current.empty() || Current == Deep.Path() || Current == "\\\\?\\" + Deep.Path())
            << Current;
        EXPECT_EQ(GetCurrentDirectoryPath(), Current);
        EXPECT_EQ(ExpandPath("x"), PlatformFullPath("x"));
    }
    EXPECT_EQ(ExpandPath(FTemp / "a\\..\\x"), FTemp / "x");
}

namespace {

std::string ShortPath(const std::string& Path) {
    char Buffer[MAX_PATH];
    const DWORD Length = GetShortPathNameA(Path.c_str(), Buffer, MAX_PATH);
    return Length > 0 && Length < MAX_PATH ? std::string(Buffer, Length) : Path;
}

} // namespace

TEST_F(Vek_file_System, GetLongPathReplacesShortNames) {
    const std::string Long = FTemp / "Long Directory Name";
    ASSERT_TRUE(CreateDirectoryA(Long.c_str(), nullptr));
    TestSupport::WriteFile(Long + "\\A Long File Name.text", "x");
    const std::string Short = ShortPath(Long);
    ASSERT_NE(Short, Long) << "the platform gave no short name";
    EXPECT_EQ(GetLongPath(Short), Long);
    EXPECT_EQ(GetLongPath(ShortPath(Long + "\\A Long File Name.text")),
              Long + "\\A Long File Name.text");
    EXPECT_EQ(GetLongPath(Long), Long);
}

TEST_F(Vek_file_System, GetLongPathRefusals) {
    EXPECT_EQ(FileErrorOf([&] { GetLongPath(FTemp / "*"); }),
              "The program cannot get the long path of the file.");
    EXPECT_EQ(FileErrorOf([&] { GetLongPath(FTemp.Path() + "?"); }),
              "The program cannot get the long path of the file.");
    EXPECT_EQ(FileErrorOf([&] { GetLongPath(FTemp / "missing"); }),
              "The program could not get the long path of the file.");
    EXPECT_EQ(FileErrorOf([] { GetLongPath(""); }),
              "The program could not get the long path of the file.");
}

TEST_F(Vek_file_System, MakeDirectoryMakesEveryMissingLevel) {
    MakeDirectory(FTemp / "A\\B\\C");
    EXPECT_TRUE(IsDirectory(FTemp / "A\\B\\C"));
    MakeDirectory(FTemp / "A\\B\\D\\");
    EXPECT_TRUE(IsDirectory(FTemp / "A\\B\\D"));
    SetCurrentDirectoryPath(FTemp / "A");
    MakeDirectory("Eee\\Fff");
    EXPECT_TRUE(IsDirectory(FTemp / "A\\Eee\\Fff"));
    const auto Before = TestSupport::ListTree(FTemp.Path());
    MakeDirectory(FTemp / "A\\B");
    MakeDirectory("C:\\");
    MakeDirectory("C:");
    EXPECT_EQ(TestSupport::ListTree(FTemp.Path()), Before);
}

TEST_F(Vek_file_System, MakeDirectoryStopsAtTheFirstLevelThatFails) {
    const std::string Failure = "The program could not create the directory.";
    TestSupport::WriteFile(FTemp / "File", "x");
    EXPECT_EQ(FileErrorOf([&] { MakeDirectory(FTemp / "File\\Below"); }), Failure);
    EXPECT_EQ(FileErrorOf([&] { MakeDirectory(FTemp / "File"); }), Failure);
    EXPECT_TRUE(IsRegularFile(FTemp / "File"));
    EXPECT_EQ(
        FileErrorOf([&] { MakeDirectory(FTemp / ("A\\B\\" + std::string(300, 'n') + "\\C")); }),
        Failure);
    EXPECT_EQ(TestSupport::ListTree(FTemp.Path()),
              (std::vector<std::string>{"A\\", "A\\B\\", "File"}));
    EXPECT_EQ(FileErrorOf([] { MakeDirectory(""); }), Failure);
}

TEST_F(Vek_file_System, DeleteRegularFile) {
    const std::string Refused = "The program could not delete the regular file.";
    TestSupport::WriteFile(FTemp / "file.txt", "x");
    DeleteRegularFile(FTemp / "file.txt");
    EXPECT_FALSE(TestSupport::Exists(FTemp / "file.txt"));
    EXPECT_EQ(FileErrorOf([&] { DeleteRegularFile(FTemp / "file.txt"); }), Refused);
    ASSERT_TRUE(CreateDirectoryA((FTemp / "dir").c_str(), nullptr));
    EXPECT_EQ(FileErrorOf([&] { DeleteRegularFile(FTemp / "dir"); }), Refused);
    EXPECT_TRUE(IsDirectory(FTemp / "dir"));
}

#endif

#ifdef _WIN32

namespace {

// Makes, in Directory, a file with the longest name of Character that the
// test machine allows, holding the name's length as text. Wine on Linux keeps
// a name as at most 255 bytes of UTF-8 (85 CJK characters) and cuts a longer
// one without a word; Windows would take 255 units of any character.
std::wstring MakeLongestName(const std::string& Directory, wchar_t Character) {
    const int Bytes = WideCharToMultiByte(CP_UTF8, 0, &Character, 1, nullptr, 0, nullptr, nullptr);
    const std::wstring Name(255 / static_cast<std::size_t>(Bytes), Character);
    const HANDLE File =
        CreateFileW((Vek_codepage::ToWide(Directory) + L"\\" + Name).c_str(), GENERIC_WRITE, 0,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return std::wstring();
    const std::string Content = std::to_string(Name.size());
    DWORD Written = 0;
    WriteFile(File, Content.data(), static_cast<DWORD>(Content.size()), &Written, nullptr);
    CloseHandle(File);
    return Name;
}

// The content of a file whose path may be longer than the ANSI services take.
std::string ReadWide(const std::string& Path) {
    const HANDLE File = CreateFileW(Vek_codepage::ToWide(Path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (File == INVALID_HANDLE_VALUE)
        return "cannot open " + Path;
    char Buffer[64];
    DWORD Read = 0;
    ReadFile(File, Buffer, sizeof Buffer, &Read, nullptr);
    CloseHandle(File);
    return std::string(Buffer, Read);
}

} // namespace

// Each name comes whole, in the process code page: one it cannot hold has
// "?" in place of what it lacks, and is never cut to a name of another
// file. A name it holds names the file.
TEST_F(Vek_file_System, ListingGivesTheLongestNamesWholeDbcs) {
    std::vector<std::wstring> Names;
    for (const wchar_t Character : {L'\u6F22', L'\u00E9', L'\u03A9', L'a'}) {
        Names.push_back(MakeLongestName(FTemp.Path(), Character));
        ASSERT_FALSE(Names.back().empty());
    }
    ASSERT_TRUE(CreateDirectoryA((FTemp / "dir").c_str(), nullptr));
    std::vector<std::string> Expected{"dir"};
    for (const std::wstring& Name : Names)
        Expected.push_back(Vek_codepage::FromWide(Name));
    std::sort(Expected.begin(), Expected.end());

    std::vector<std::string> Listed;
    ListDirectory(FTemp.Path(), [&](const TFindData& Data) {
        Listed.push_back(Data.Name);
        EXPECT_EQ(Data.IsDirectory(), Data.Name == "dir") << Data.Name;
        EXPECT_FALSE(Data.IsReparsePoint());
        EXPECT_NE(Data.LastWritten, 0u);
        if (Data.IsDirectory() || HasWildcards(Data.Name))
            return;
        const std::string Content = ReadWide(FTemp / Data.Name);
        EXPECT_EQ(Data.Size, Content.size());
        EXPECT_EQ(Vek_codepage::ToWide(Data.Name).size(), std::stoul(Content)) << Data.Name;
    });
    std::sort(Listed.begin(), Listed.end());
    EXPECT_EQ(Listed, Expected);
    // Paths beyond MAX_PATH are beyond the ANSI services that clean up.
    for (const std::wstring& Name : Names)
        DeleteFileW((Vek_codepage::ToWide(FTemp.Path()) + L"\\" + Name).c_str());
}

TEST_F(Vek_file_System, ListingOfNothingThereIsEmpty) {
    TestSupport::WriteFile(FTemp / "file", "x");
    int Visited = 0;
    for (const std::string& Path : {FTemp / "missing", FTemp / "file", FTemp / "missing\\below",
                                    FTemp / std::string(40000, 'x')})
        ListDirectory(Path, [&](const TFindData&) { ++Visited; });
    EXPECT_EQ(Visited, 0);
}

#endif
