#include "app/App_fileoperation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include "app/App_guarddialog.h"
#include "gui/Gui_application.h"
#include "tests/TestSupport.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <utility>
#endif

using App_fileoperation::PackedSize;
using App_fileoperation::PackNames;

namespace {

std::string Bytes(const std::vector<char>& Block) {
    return std::string(Block.begin(), Block.end());
}

} // namespace

TEST(App_fileoperation_PackNames, EachNameEndsInNulAndOneMoreEndsTheList) {
    const std::vector<std::string> Sources{"C:\\a.txt", "C:\\b"};
    EXPECT_EQ(PackedSize(Sources), 15u);
    EXPECT_EQ(Bytes(PackNames(Sources)), std::string("C:\\a.txt\0C:\\b\0\0", 15));
    const std::vector<std::string> Destinations{"X:\\E\\C\\a.txt", "X:\\E\\C\\b"};
    EXPECT_EQ(PackedSize(Destinations), 23u);
    EXPECT_EQ(Bytes(PackNames(Destinations)), std::string("X:\\E\\C\\a.txt\0X:\\E\\C\\b\0\0", 23));
}

TEST(App_fileoperation_PackNames, EmptyListIsOneNul) {
    EXPECT_EQ(PackedSize({}), 1u);
    EXPECT_EQ(Bytes(PackNames({})), std::string(1, '\0'));
}

TEST(App_fileoperation_PackNames, SizeCountsEveryTextAndItsNul) {
    EXPECT_EQ(Bytes(PackNames({"", "ab", ""})), std::string("\0ab\0\0\0", 6));
    std::vector<std::string> Many;
    std::size_t Expected = 1;
    for (int Index = 0; Index < 1000; ++Index) {
        Many.push_back(std::string(static_cast<std::size_t>(Index % 300), 'x'));
        Expected += Many.back().size() + 1;
    }
    const std::vector<char> Block = PackNames(Many);
    EXPECT_EQ(PackedSize(Many), Expected);
    EXPECT_EQ(Block.size(), Expected);
    EXPECT_EQ(Block[Expected - 1], '\0');
    EXPECT_EQ(Block[Expected - 2], '\0');
    EXPECT_EQ(Block[Expected - 3], 'x');
}

#ifdef _WIN32

using App_fileoperation::TFileOperator;
using App_guarddialog::AppGuardDialog;
using Gui_application::Application;
using TestSupport::TBoxRecorder;
using TestSupport::TTempDir;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// The boxes captioned with the program's title: those would be ours.
std::vector<std::string> OurBoxes(const TBoxRecorder& Recorder) {
    std::vector<std::string> Ours;
    for (const std::string& Box : Recorder.Boxes()) {
        if (Box.compare(0, 10, "Tovel Bin|") == 0)
            Ours.push_back(Box);
    }
    return Ours;
}

const std::uint16_t PutFlags = 0x0201;

// A packed list read back up to and including its closing NUL.
std::string PackedText(const char* Block) {
    const char* End = Block;
    while (*End)
        End += std::char_traits<char>::length(End) + 1;
    return std::string(Block, End + 1);
}

// What the shell is given, and what happens around the call; the shell
// itself is not asked.
class TShellWatcher : public TFileOperator {
public:
    explicit TShellWatcher(int Result) : FResult(Result) {}

    int Calls = 0;
    SHFILEOPSTRUCTA Seen{};
    std::string From;
    std::string To;
    bool GuardUp = false;
    bool Hourglass = false;

protected:
    int ShellFileOperation(SHFILEOPSTRUCTA& Operation) override {
        ++Calls;
        Seen = Operation;
        From = PackedText(Operation.pFrom);
        To = PackedText(Operation.pTo);
        GuardUp = AppGuardDialog && IsWindow(AppGuardDialog->Handle()) &&
                  AppGuardDialog->ModalResult() == 0;
        Hourglass = Application().ScreenCursor() == LoadCursorA(nullptr, IDC_WAIT);
        return FResult;
    }

private:
    int FResult;
};

} // namespace

TEST(App_fileoperation_TFileOperator, AllPairsGoToTheShellInOneCallBehindTheGuard) {
    TShellWatcher Operator(0);
    Operator.Sources() = {"C:\\a.txt", "C:\\b"};
    Operator.Destinations() = {"X:\\E\\C\\a.txt", "X:\\E\\C\\b"};
    Operator.SetFunc(1);
    Operator.SetFlags(PutFlags);
    TBoxRecorder Boxes;
    Operator.Execute();
    EXPECT_EQ(Operator.Calls, 1);
    EXPECT_EQ(Operator.From, std::string("C:\\a.txt\0C:\\b\0\0", 15));
    EXPECT_EQ(Operator.To, std::string("X:\\E\\C\\a.txt\0X:\\E\\C\\b\0\0", 23));
    EXPECT_EQ(Operator.Seen.hwnd, Application().Handle());
    EXPECT_EQ(Operator.Seen.wFunc, 1u);
    EXPECT_EQ(Operator.Seen.fFlags, PutFlags);
    EXPECT_FALSE(Operator.Seen.fAnyOperationsAborted);
    EXPECT_EQ(Operator.Seen.hNameMappings, nullptr);
    EXPECT_EQ(Operator.Seen.lpszProgressTitle, nullptr);
    EXPECT_TRUE(Operator.GuardUp);
    EXPECT_TRUE(Operator.Hourglass);
    EXPECT_TRUE(OurBoxes(Boxes).empty());
}

TEST(App_fileoperation_TFileOperator, EmptyListsStillMakeOneCall) {
    TShellWatcher Operator(0);
    Operator.SetFunc(1);
    Operator.Execute();
    EXPECT_EQ(Operator.Calls, 1);
    EXPECT_EQ(Operator.From, std::string(1, '\0'));
    EXPECT_EQ(Operator.To, std::string(1, '\0'));
}

// Any result but 0 ends in the silent abort: nothing shown, and the caller
// goes on as after success.
TEST(App_fileoperation_TFileOperator, ShellFailureIsSilent) {
    for (const int Result : {1, 5, 1223, 0x10000}) {
        TBoxRecorder Boxes;
        TShellWatcher Operator(Result);
        Operator.Sources() = {"C:\\a.txt"};
        Operator.Destinations() = {"C:\\b.txt"};
        EXPECT_NO_THROW(Operator.Execute());
        EXPECT_EQ(Operator.Calls, 1);
        EXPECT_TRUE(OurBoxes(Boxes).empty()) << Result;
        EXPECT_FALSE(AppGuardDialog->OnExecute);
    }
}

// A shell that stops in the middle of a move between drives, as on a full
// drive: one file moved whole, two copied only in part with their sources
// kept, and one file at its destination from before, where the user chose
// not to replace it.
class TStoppedShell : public TFileOperator {
protected:
    int ShellFileOperation(SHFILEOPSTRUCTA&) override {
        const std::vector<std::string>& From = Sources();
        const std::vector<std::string>& To = Destinations();
        TestSupport::WriteFile(To[0], "cut");
        Vek_file::MakeDirectory(To[1] + "\\Sub");
        TestSupport::WriteFile(To[1] + "\\Sub\\moved.txt", "moved");
        DeleteFileA((From[1] + "\\Sub\\moved.txt").c_str());
        TestSupport::WriteFile(To[1] + "\\Sub\\cut.txt", "c");
        return 1;
    }
};

// Only the copies this move made go, and only where the source is still whole.
TEST(App_fileoperation_TFileOperator, StoppedMoveLeavesNoIncompleteCopy) {
    TTempDir Source;
    TTempDir Target("D:\\");
    TestSupport::WriteFile(Source / "a.txt", "all of a");
    Vek_file::MakeDirectory(Source / "Dir\\Sub");
    TestSupport::WriteFile(Source / "Dir\\Sub\\moved.txt", "moved");
    TestSupport::WriteFile(Source / "Dir\\Sub\\cut.txt", "cut short");
    TestSupport::WriteFile(Source / "Dir\\kept.txt", "the source's");
    Vek_file::MakeDirectory(Target / "E\\Dir");
    TestSupport::WriteFile(Target / "E\\Dir\\kept.txt", "there before");
    const std::vector<std::string> Before = TestSupport::FilePrint({Source.Path(), Target.Path()});

    TStoppedShell Operator;
    Operator.Sources() = {Source / "a.txt", Source / "Dir"};
    Operator.Destinations() = {Target / "E\\a.txt", Target / "E\\Dir"};
    Operator.SetFunc(1);
    Operator.SetFlags(PutFlags);
    Operator.Execute();

    EXPECT_EQ(TestSupport::FilePrint({Source.Path(), Target.Path()}), Before);
    EXPECT_EQ(TestSupport::ListTree(Target.Path()),
              (std::vector<std::string>{"E\\", "E\\Dir\\", "E\\Dir\\Sub\\",
                                        "E\\Dir\\Sub\\moved.txt", "E\\Dir\\kept.txt"}));
    EXPECT_EQ(TestSupport::ReadFile(Target / "E\\Dir\\kept.txt"), "there before");
}

// A move whose shell is a step of the case, with the real shell at hand.
class TCaseShell : public TFileOperator {
public:
    explicit TCaseShell(std::function<int(SHFILEOPSTRUCTA&)> Shell) : FShell(std::move(Shell)) {}

protected:
    int ShellFileOperation(SHFILEOPSTRUCTA& Operation) override { return FShell(Operation); }

private:
    std::function<int(SHFILEOPSTRUCTA&)> FShell;
};

// A symbolic link to a directory, as a half-moved junction or link would be.
bool MakeDirectoryLink(const std::string& Link, const std::string& Target) {
    return CreateSymbolicLinkW(Vek_codepage::ToWide(Link).c_str(),
                               Vek_codepage::ToWide(Target).c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY) != FALSE;
}

// A name the process code page holds in both letter cases beyond a to z: a
// full-width letter where it has one (code page 932), else an accented one.
std::string TwinName(bool Upper) {
    const std::string FullWidth = Vek_codepage::FromWide(Upper ? L"\uFF21.txt" : L"\uFF41.txt");
    if (FullWidth.find('?') == std::string::npos)
        return FullWidth;
    return Vek_codepage::FromWide(Upper ? L"\u00C9.txt" : L"\u00E9.txt");
}

// The clean-up after a move never destroys: each case moves from Source (on
// C:) to Target (on D:) through a shell of its own and ends with the files
// it names, each with its bytes, and the boxes it names.
TEST(App_fileoperation_TFileOperator, CleanUpDeletesOnlyCopiesItProvedIncompleteDbcs) {
    struct TCase {
        const char* Name;
        // Makes the files; gives the pairs' sources and destinations, relative.
        std::function<void(TTempDir& Source, TTempDir& Target)> Make;
        std::vector<std::pair<std::string, std::string>> Pairs;
        std::function<int(SHFILEOPSTRUCTA&, TTempDir& Source, TTempDir& Target)> Shell;
        // "S\name" or "T\name", and its bytes after the move.
        std::vector<std::pair<std::string, std::string>> Expected;
        std::size_t Boxes;
    };
    // The copy of the last case, held open from the shell's end on.
    HANDLE Held = INVALID_HANDLE_VALUE;
    const std::vector<TCase> Cases{
        {"a read-only copy cut short on a full drive goes",
         [](TTempDir& Source, TTempDir&) {
             TestSupport::WriteFile(Source / "a.txt", "all of a");
             SetFileAttributesA((Source / "a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
         },
         {{"a.txt", "a.txt"}},
         [](SHFILEOPSTRUCTA&, TTempDir&, TTempDir& Target) {
             TestSupport::WriteFile(Target / "a.txt", "all");
             SetFileAttributesA((Target / "a.txt").c_str(), FILE_ATTRIBUTE_READONLY);
             return 0x70;
         },
         {{"S\\a.txt", "all of a"}, {"T\\a.txt", ""}},
         0},
        {"a source made anew during a real move keeps the moved original",
         [](TTempDir& Source, TTempDir&) {
             Vek_file::MakeDirectory(Source / "Logs");
             TestSupport::WriteFile(Source / "Logs\\app.log", "the old log");
         },
         {{"Logs", "Logs"}},
         [](SHFILEOPSTRUCTA& Operation, TTempDir& Source, TTempDir&) {
             const int Result = SHFileOperationA(&Operation);
             Vek_file::MakeDirectory(Source / "Logs");
             TestSupport::WriteFile(Source / "Logs\\app.log", "a new log");
             return Result;
         },
         {{"S\\Logs\\app.log", "a new log"}, {"T\\Logs\\app.log", "the old log"}},
         0},
        {"a file of the other letter case stood in the folder before",
         [](TTempDir& Source, TTempDir& Target) {
             Vek_file::MakeDirectory(Source / "Dir");
             TestSupport::WriteFile(Source / ("Dir\\" + TwinName(false)), "the new one");
             Vek_file::MakeDirectory(Target / "Dir");
             TestSupport::WriteFile(Target / ("Dir\\" + TwinName(true)), "there before");
         },
         {{"Dir", "Dir"}},
         [](SHFILEOPSTRUCTA&, TTempDir&, TTempDir&) { return 0; },
         {{"S\\Dir\\" + TwinName(false), "the new one"},
          {"T\\Dir\\" + TwinName(true), "there before"}},
         0},
        {"two pairs aim at one path, one moved, the other not",
         [](TTempDir& Source, TTempDir&) {
             TestSupport::WriteFile(Source / "v2.txt", "version 2");
             TestSupport::WriteFile(Source / "v1.txt", "version 1");
         },
         {{"v2.txt", "report.txt"}, {"v1.txt", "report.txt"}},
         [](SHFILEOPSTRUCTA&, TTempDir& Source, TTempDir& Target) {
             MoveFileExA((Source / "v2.txt").c_str(), (Target / "report.txt").c_str(),
                         MOVEFILE_COPY_ALLOWED);
             return 0;
         },
         {{"S\\v1.txt", "version 1"}, {"T\\report.txt", "version 2"}},
         0},
        {"a partial copy held open is reported by its path",
         [](TTempDir& Source, TTempDir&) { TestSupport::WriteFile(Source / "b.txt", "all of b"); },
         {{"b.txt", "b.txt"}},
         [&Held](SHFILEOPSTRUCTA&, TTempDir&, TTempDir& Target) {
             TestSupport::WriteFile(Target / "b.txt", "al");
             Held = CreateFileA((Target / "b.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
             return 0x70;
         },
         {{"S\\b.txt", "all of b"}, {"T\\b.txt", "al"}},
         1},
    };
    for (const TCase& Case : Cases) {
        TTempDir Source;
        TTempDir Target("D:\\");
        Case.Make(Source, Target);
        TCaseShell Operator([&Case, &Source, &Target](SHFILEOPSTRUCTA& Operation) {
            return Case.Shell(Operation, Source, Target);
        });
        for (const auto& Pair : Case.Pairs) {
            Operator.Sources().push_back(Source / Pair.first);
            Operator.Destinations().push_back(Target / Pair.second);
        }
        Operator.SetFunc(1);
        Operator.SetFlags(PutFlags);
        TBoxRecorder Boxes;
        Operator.Execute();
        if (Held != INVALID_HANDLE_VALUE)
            CloseHandle(Held);
        Held = INVALID_HANDLE_VALUE;
        for (const auto& File : Case.Expected) {
            const std::string Path =
                (File.first[0] == 'S' ? Source : Target) / File.first.substr(2);
            if (File.second.empty())
                EXPECT_FALSE(TestSupport::Exists(Path)) << Case.Name << ": " << Path;
            else
                EXPECT_EQ(TestSupport::Exists(Path) ? TestSupport::ReadFile(Path) : "(gone)",
                          File.second)
                    << Case.Name << ": " << Path;
        }
        const std::vector<std::string> Ours = OurBoxes(Boxes);
        EXPECT_EQ(Ours.size(), Case.Boxes) << Case.Name;
        if (Case.Boxes > 0 && !Ours.empty()) {
            EXPECT_EQ(Ours.front(), "Tovel Bin|The program could not remove the partial copy \"" +
                                        (Target / "b.txt") + "\".")
                << Case.Name;
        }
    }
}

// A half-moved link at the destination leads to the same files as the one
// at the source; a walk into either would take them for partial copies.
TEST(App_fileoperation_TFileOperator, CleanUpNeverWalksIntoALink) {
    TTempDir Source;
    TTempDir Target("D:\\");
    Vek_file::MakeDirectory(Target / "Out");
    TestSupport::WriteFile(Target / "Out\\o.txt", "outside");
    Vek_file::MakeDirectory(Source / "Dir");
    if (!MakeDirectoryLink(Source / "Dir\\L", Target / "Out") ||
        !TestSupport::Exists(Source / "Dir\\L\\o.txt"))
        GTEST_SKIP() << "this system makes no directory links (Wine 8 does not)";
    TCaseShell Operator([&Target](SHFILEOPSTRUCTA&) {
        Vek_file::MakeDirectory(Target / "Dir");
        MakeDirectoryLink(Target / "Dir\\L", Target / "Out");
        return 0x70;
    });
    Operator.Sources() = {Source / "Dir"};
    Operator.Destinations() = {Target / "Dir"};
    Operator.SetFunc(1);
    Operator.SetFlags(PutFlags);
    TBoxRecorder Boxes;
    Operator.Execute();
    EXPECT_EQ(TestSupport::ReadFile(Target / "Out\\o.txt"), "outside");
    EXPECT_TRUE(OurBoxes(Boxes).empty());
}

TEST(App_fileoperation_TFileOperator, MovesEveryPairAndMakesTheMissingTargetDirectories) {
    TTempDir OnC;
    TTempDir OnD("D:\\");
    TTempDir Target;
    TestSupport::WriteFile(OnC / "a.txt", "A");
    Vek_file::MakeDirectory(OnD / "Dir\\Sub");
    TestSupport::WriteFile(OnD / "Dir\\Sub\\b.txt", "B");

    TFileOperator Operator;
    Operator.Sources() = {OnC / "a.txt", OnD / "Dir"};
    Operator.Destinations() = {Target / "E\\C\\deep\\a.txt", Target / "E\\D\\Dir"};
    Operator.SetFunc(1);
    Operator.SetFlags(PutFlags);
    TBoxRecorder Boxes;
    Operator.Execute();

    EXPECT_EQ(
        TestSupport::ListTree(Target.Path()),
        (std::vector<std::string>{"E\\", "E\\C\\", "E\\C\\deep\\", "E\\C\\deep\\a.txt", "E\\D\\",
                                  "E\\D\\Dir\\", "E\\D\\Dir\\Sub\\", "E\\D\\Dir\\Sub\\b.txt"}));
    EXPECT_EQ(TestSupport::ReadFile(Target / "E\\C\\deep\\a.txt"), "A");
    EXPECT_EQ(TestSupport::ReadFile(Target / "E\\D\\Dir\\Sub\\b.txt"), "B");
    EXPECT_TRUE(TestSupport::ListTree(OnC.Path()).empty());
    EXPECT_TRUE(TestSupport::ListTree(OnD.Path()).empty());
    EXPECT_TRUE(OurBoxes(Boxes).empty());
}

TEST(App_fileoperation_TFileOperator, MakesNoTargetDirectoryWhenTheShellShouldAsk) {
    TTempDir Source;
    TTempDir Target;
    TestSupport::WriteFile(Source / "a.txt", "A");
    TFileOperator Operator;
    Operator.Sources() = {Source / "a.txt"};
    Operator.Destinations() = {Target / "Missing\\a.txt"};
    Operator.SetFunc(1);
    Operator.SetFlags(0x0001);
    TBoxRecorder Boxes(IDCANCEL);
    Operator.Execute();
    EXPECT_FALSE(TestSupport::Exists(Target / "Missing"));
    EXPECT_EQ(TestSupport::ReadFile(Source / "a.txt"), "A");
    EXPECT_TRUE(OurBoxes(Boxes).empty());
}

TEST(App_fileoperation_TFileOperator, GuardIsMadeOnceAndHoldsNoJobAfterwards) {
    TTempDir Dir;
    TestSupport::WriteFile(Dir / "a.txt", "A");
    TFileOperator First;
    First.Sources() = {Dir / "a.txt"};
    First.Destinations() = {Dir / "b.txt"};
    First.SetFunc(1);
    First.SetFlags(PutFlags);
    First.Execute();
    ASSERT_NE(AppGuardDialog, nullptr);
    const App_guarddialog::TAppGuardDialog* Guard = AppGuardDialog;
    EXPECT_FALSE(Guard->OnExecute);
    EXPECT_EQ(TestSupport::ReadFile(Dir / "b.txt"), "A");

    TFileOperator Second;
    Second.Sources() = {Dir / "b.txt"};
    Second.Destinations() = {Dir / "c.txt"};
    Second.SetFunc(1);
    Second.SetFlags(PutFlags);
    Second.Execute();
    EXPECT_EQ(AppGuardDialog, Guard);
    EXPECT_FALSE(Guard->OnExecute);
    EXPECT_EQ(TestSupport::ListTree(Dir.Path()), std::vector<std::string>{"c.txt"});
}

#endif
