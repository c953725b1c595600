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
    Gui_stringlist::TStringList List;
    List.Add("old one");
    List.Add("old two");
    int Changes = 0;
    List.OnChange = [&Changes](Gui_system::TObject*) { ++Changes; };
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
    Gui_stringlist::TStringList List;
    List.Add("kept");
    int Changes = 0;
    List.OnChange = [&Changes](Gui_system::TObject*) { ++Changes; };
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
