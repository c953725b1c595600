#include "vek/Vek_shell.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <vector>

using Vek_shell::EShellError;
using Vek_shell::TFileDrop;

namespace {

// The block the shell hands over with a drop of Paths: a DROPFILES header,
// the ANSI paths each with its zero, and one more zero. DragFinish frees it.
HDROP MakeDrop(const std::vector<std::string>& Paths) {
    std::size_t Size = sizeof(DROPFILES) + 1;
    for (const std::string& Path : Paths)
        Size += Path.size() + 1;
    HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, Size);
    if (Memory == nullptr)
        throw std::runtime_error("cannot allocate the drop");
    auto* Drop = static_cast<DROPFILES*>(GlobalLock(Memory));
    Drop->pFiles = sizeof(DROPFILES);
    Drop->fWide = FALSE;
    char* Text = reinterpret_cast<char*>(Drop + 1);
    for (const std::string& Path : Paths) {
        std::memcpy(Text, Path.c_str(), Path.size() + 1);
        Text += Path.size() + 1;
    }
    GlobalUnlock(Memory);
    return reinterpret_cast<HDROP>(Memory);
}

// The same block with wide paths, as every drop from the shell comes.
HDROP MakeWideDrop(const std::vector<std::wstring>& Paths) {
    std::size_t Size = sizeof(DROPFILES) + sizeof(wchar_t);
    for (const std::wstring& Path : Paths)
        Size += (Path.size() + 1) * sizeof(wchar_t);
    HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, Size);
    if (Memory == nullptr)
        throw std::runtime_error("cannot allocate the drop");
    auto* Drop = static_cast<DROPFILES*>(GlobalLock(Memory));
    Drop->pFiles = sizeof(DROPFILES);
    Drop->fWide = TRUE;
    auto* Text = reinterpret_cast<wchar_t*>(Drop + 1);
    for (const std::wstring& Path : Paths) {
        std::memcpy(Text, Path.c_str(), (Path.size() + 1) * sizeof(wchar_t));
        Text += Path.size() + 1;
    }
    GlobalUnlock(Memory);
    return reinterpret_cast<HDROP>(Memory);
}

// One name as the shell gives it and as the process code page writes it.
struct TName {
    std::wstring Wide;
    std::string Ansi;
};

// A path of more than 250 characters and many more bytes, of characters that
// the process code page holds: under 932 with the trail bytes of "表" and
// "ソ", which equal the backslash.
TName LongName(const std::wstring& Tail) {
    TName Part;
    if (GetACP() == CP_UTF8)
        Part = {L"\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC \u65E5\u672C\u8A9E \U0001F4C4 "
                L"caf\u00E9\\",
                u8"Ελληνικά 日本語 📄 café\\"};
    else if (GetACP() == 932)
        Part = {L"\u65E5\u672C\u8A9E\u8868\u30BD\u03A9\\",
                "\x93\xFA\x96\x7B\x8C\xEA\x95\x5C\x83\x5C\x83\xB6\\"};
    else
        Part = {L"caf\u00E9 na\u00EFve \u00C6ther\\", "caf\xE9 na\xEFve \xC6ther\\"};
    TName Name{L"C:\\", "C:\\"};
    while (Name.Wide.size() < 250) {
        Name.Wide += Part.Wide;
        Name.Ansi += Part.Ansi;
    }
    Name.Wide += Tail;
    Name.Ansi += std::string(Tail.begin(), Tail.end());
    return Name;
}

bool IsReleased(HDROP Drop) {
    return GlobalSize(reinterpret_cast<HGLOBAL>(Drop)) == 0;
}

// The EShellError message that Action raises, or "no error".
template <class TAction> std::string ShellErrorOf(TAction Action) {
    try {
        Action();
    } catch (const EShellError& Error) {
        return Error.what();
    }
    return "no error";
}

const std::string Finished = "The file drop has been already finished.";
const std::string OutOfRange = "The program cannot get the path of the dropped file.";
const std::vector<std::string> ThreePaths = {"C:\\Data\\report.txt", "D:\\Long Name\\x",
                                             "C:\\Data"};

} // namespace

TEST(Vek_shell_TFileDrop, ReadsEveryPathInTheShellsOrder) {
    TFileDrop Drop(MakeDrop(ThreePaths), true);
    EXPECT_FALSE(Drop.IsFinished());
    ASSERT_EQ(Drop.GetCount(), 3);
    for (std::int32_t Index = 0; Index < 3; ++Index)
        EXPECT_EQ(Drop.GetPath(Index), ThreePaths[Index]);
}

TEST(Vek_shell_TFileDrop, IndexOutOfRangeIsRefused) {
    TFileDrop Drop(MakeDrop({"C:\\only.txt"}), true);
    EXPECT_EQ(ShellErrorOf([&] { Drop.GetPath(-1); }), OutOfRange);
    EXPECT_EQ(ShellErrorOf([&] { Drop.GetPath(1); }), OutOfRange);
    EXPECT_EQ(ShellErrorOf([&] { Drop.GetPath(INT32_MIN); }), OutOfRange);
    EXPECT_EQ(Drop.GetPath(0), "C:\\only.txt");
    EXPECT_FALSE(Drop.IsFinished());
}

TEST(Vek_shell_TFileDrop, GetPathsReplacesTheListInOneChange) {
    TFileDrop Drop(MakeDrop(ThreePaths), true);
    Base_stringlist::TStringList List;
    List.Add("old one");
    List.Add("old two");
    int Changes = 0;
    List.OnChange = [&Changes](Base_system::TObject*) { ++Changes; };
    Drop.GetPaths(List);
    EXPECT_EQ(List.Strings(), ThreePaths);
    EXPECT_EQ(Changes, 1);
}

TEST(Vek_shell_TFileDrop, FinishedDropRefusesToReadAndKeepsTheList) {
    const HDROP Handle = MakeDrop(ThreePaths);
    TFileDrop Drop(Handle, false);
    Drop.Finish();
    EXPECT_TRUE(Drop.IsFinished());
    EXPECT_EQ(Drop.DropHandle, nullptr);
    EXPECT_TRUE(IsReleased(Handle));
    EXPECT_EQ(ShellErrorOf([&] { Drop.GetCount(); }), Finished);
    EXPECT_EQ(ShellErrorOf([&] { Drop.GetPath(0); }), Finished);
    Base_stringlist::TStringList List;
    List.Add("kept");
    int Changes = 0;
    List.OnChange = [&Changes](Base_system::TObject*) { ++Changes; };
    EXPECT_EQ(ShellErrorOf([&] { Drop.GetPaths(List); }), Finished);
    EXPECT_EQ(List.Strings(), std::vector<std::string>{"kept"});
    EXPECT_EQ(Changes, 0);
    Drop.Finish();
    EXPECT_TRUE(Drop.IsFinished());
}

TEST(Vek_shell_TFileDrop, NullHandleIsFinishedFromTheStart) {
    TFileDrop Drop(nullptr, true);
    EXPECT_TRUE(Drop.IsFinished());
    EXPECT_EQ(ShellErrorOf([&] { Drop.GetCount(); }), Finished);
    Drop.Finish();
}

TEST(Vek_shell_TFileDrop, AutoFinishReleasesTheHandleAtTheEnd) {
    const HDROP Kept = MakeDrop(ThreePaths);
    { TFileDrop Drop(Kept, false); }
    EXPECT_FALSE(IsReleased(Kept));
    const HDROP Released = MakeDrop(ThreePaths);
    {
        TFileDrop Reader(Kept, true);
        EXPECT_EQ(Reader.GetCount(), 3);
        TFileDrop Drop(Released, true);
    }
    EXPECT_TRUE(IsReleased(Released));
    EXPECT_TRUE(IsReleased(Kept));
}

TEST(Vek_shell_TFileDrop, AutoFinishReleasesTheHandleWhenAnExceptionPasses) {
    const HDROP Handle = MakeDrop({"C:\\a"});
    try {
        TFileDrop Drop(Handle, true);
        Drop.GetPath(5);
    } catch (const EShellError&) {
    }
    EXPECT_TRUE(IsReleased(Handle));
}

TEST(Vek_shell_TFileDrop, LongWideNamesComeWholeInTheProcessCodePageDbcs) {
    const std::vector<TName> Names = {LongName(L"one.txt"), LongName(L"two"),
                                      LongName(L"three.txt")};
    std::vector<std::wstring> Wide;
    std::vector<std::string> Expected;
    for (const TName& Name : Names) {
        Wide.push_back(Name.Wide);
        Expected.push_back(Name.Ansi);
    }
    ASSERT_GT(Expected[0].size(), 250u);
    TFileDrop Drop(MakeWideDrop(Wide), true);
    ASSERT_EQ(Drop.GetCount(), 3);
    EXPECT_EQ(Drop.GetPath(1), Expected[1]);
    Base_stringlist::TStringList List;
    Drop.GetPaths(List);
    EXPECT_EQ(List.Strings(), Expected);
}

TEST(Vek_shell_TFileDrop, LongAnsiNamesComeWholeAsTheyAreDbcs) {
    const std::vector<std::string> Expected = {LongName(L"one.txt").Ansi, LongName(L"two").Ansi};
    TFileDrop Drop(MakeDrop(Expected), true);
    ASSERT_EQ(Drop.GetCount(), 2);
    EXPECT_EQ(Drop.GetPath(0), Expected[0]);
    Base_stringlist::TStringList List;
    Drop.GetPaths(List);
    EXPECT_EQ(List.Strings(), Expected);
}

TEST(Vek_shell_TFileDrop, WideNameOutsideTheCodePageGetsAWildcardNotALookAlikeDbcs) {
    // "Ωmega ā.txt": best fit would make it "Omega a.txt" under 1252, another
    // file's name; a question mark makes the put refuse it.
    TFileDrop Drop(MakeWideDrop({L"C:\\\u03A9mega \u0101.txt"}), true);
    if (GetACP() == CP_UTF8)
        EXPECT_EQ(Drop.GetPath(0), u8"C:\\Ωmega ā.txt");
    else if (GetACP() == 932)
        EXPECT_EQ(Drop.GetPath(0), "C:\\\x83\xB6mega ?.txt");
    else
        EXPECT_EQ(Drop.GetPath(0), "C:\\?mega ?.txt");
}
