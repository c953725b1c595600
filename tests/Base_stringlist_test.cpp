#include "base/Base_stringlist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/PortableSupport.h"

using Base_stringlist::TStringList;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

namespace {

using PortableSupport::TTempDir;
using PortableSupport::WriteFile;

Lines Split(const std::string& Text) {
    TStringList List;
    List.SetText(Text);
    return List.Strings();
}

// Counts the change events and remembers what the list held at each one.
struct TChangeLog {
    explicit TChangeLog(TStringList& List) {
        List.OnChange = [this, &List](Base_system::TObject* Sender) {
            EXPECT_EQ(Sender, &List);
            Seen.push_back(List.Strings());
        };
    }
    std::vector<Lines> Seen;
};

} // namespace

TEST(Base_stringlist_SetText, EveryKindOfLineBreak) {
    EXPECT_EQ(Split("a\r\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\rb"), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
}

TEST(Base_stringlist_SetText, TwoBreaksInARowGiveAnEmptyLine) {
    EXPECT_EQ(Split("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Split("a\r\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Split("a\r\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Split("\r\na"), (Lines{"", "a"}));
}

TEST(Base_stringlist_SetText, BreakAtTheEndAddsNoLine) {
    EXPECT_EQ(Split("a"), (Lines{"a"}));
    EXPECT_EQ(Split("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(Split("a\r"), (Lines{"a"}));
    EXPECT_EQ(Split("a\n"), (Lines{"a"}));
    EXPECT_EQ(Split("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(Split("a\n\n"), (Lines{"a", ""}));
    EXPECT_EQ(Split("\r\n"), (Lines{""}));
}

TEST(Base_stringlist_SetText, NulEndsTheText) {
    EXPECT_EQ(Split("a\r\nb\0c\r\nd"s), (Lines{"a", "b"}));
    EXPECT_EQ(Split("a\r\n\0b"s), (Lines{"a"}));
    EXPECT_EQ(Split("\0a"s), Lines{});
}

TEST(Base_stringlist_SetText, EmptyTextGivesEmptyList) {
    TStringList List;
    List.Add("old");
    List.SetText("");
    EXPECT_EQ(List.Count(), 0);
}

TEST(Base_stringlist_SetText, BytesStayVerbatim) {
    EXPECT_EQ(Split(" C:\\a \t\r\n\tb"), (Lines{" C:\\a \t", "\tb"}));
    EXPECT_EQ(Split("\xEF\xBB\xBF"
                    "C:\\a\r\n\x82\xA0"),
              (Lines{"\xEF\xBB\xBF"
                     "C:\\a",
                     "\x82\xA0"}));
}

TEST(Base_stringlist_OnChange, OncePerAddAssignmentAndClear) {
    TStringList List;
    TChangeLog Log(List);
    List.Add("a");
    List.Add("b");
    ASSERT_EQ(Log.Seen.size(), 2u);
    EXPECT_EQ(Log.Seen[1], (Lines{"a", "b"}));

    List.SetText("x\r\ny\r\nz");
    ASSERT_EQ(Log.Seen.size(), 3u);
    EXPECT_EQ(Log.Seen[2], (Lines{"x", "y", "z"}));

    List.Assign(Lines{"p", "q"});
    TStringList Other;
    Other.Add("r");
    List.Assign(Other);
    ASSERT_EQ(Log.Seen.size(), 5u);
    EXPECT_EQ(Log.Seen[4], Lines{"r"});

    List.Clear();
    List.Clear();
    ASSERT_EQ(Log.Seen.size(), 6u);
    EXPECT_EQ(Log.Seen[5], Lines{});
}

TEST(Base_stringlist_OnChange, EmptyAssignmentStillFires) {
    TStringList List;
    TChangeLog Log(List);
    List.SetText("");
    List.Assign(Lines{});
    EXPECT_EQ(Log.Seen.size(), 2u);
}

TEST(Base_stringlist_Assign, FromItselfKeepsTheContent) {
    TStringList List;
    List.SetText("a\nb");
    List.Assign(List);
    EXPECT_EQ(List.Strings(), (Lines{"a", "b"}));
}

TEST(Base_stringlist_LoadFromFile, ReadsTheWholeFileOnce) {
    TTempDir Dir;
    const std::string Path = Dir / "paths.txt";
    // Larger than any small read buffer, so a partial read would show.
    std::string Long(100000, 'x');
    WriteFile(Path, "\xEF\xBB\xBF"
                    "C:\\one\r\n " +
                        Long + "\n\r\nlast");
    TStringList List;
    List.Add("old");
    TChangeLog Log(List);
    List.LoadFromFile(Path);
    EXPECT_EQ(List.Strings(), (Lines{"\xEF\xBB\xBF"
                                     "C:\\one",
                                     " " + Long, "", "last"}));
    EXPECT_EQ(Log.Seen.size(), 1u);
}

TEST(Base_stringlist_LoadFromFile, DecodesTheWholeFileBeforeSplittingIt) {
    TTempDir Dir;
    const std::string Path = Dir / "paths.txt";
    WriteFile(Path, "a\r\nb\rc");
    TStringList List;
    TChangeLog Log(List);
    std::vector<std::string> Seen;
    List.LoadFromFile(Path, [&Seen](const std::string& Bytes) {
        Seen.push_back(Bytes);
        return "<" + Bytes + ">";
    });
    EXPECT_EQ(Seen, (Lines{"a\r\nb\rc"}));
    EXPECT_EQ(List.Strings(), (Lines{"<a", "b", "c>"}));
    EXPECT_EQ(Log.Seen.size(), 1u);
    // A decoder that fails leaves the list as it was.
    EXPECT_THROW(List.LoadFromFile(Path,
                                   [](const std::string&) -> std::string {
                                       throw Base_system::EStreamError("bad");
                                   }),
                 Base_system::EStreamError);
    EXPECT_EQ(List.Strings(), (Lines{"<a", "b", "c>"}));
    EXPECT_THROW(List.LoadFromFile(Dir / "missing.txt", [](const std::string& B) { return B; }),
                 Base_system::EStreamError);
    EXPECT_EQ(Log.Seen.size(), 1u);
}

TEST(Base_stringlist_LoadFromFile, EmptyFileGivesEmptyListAndOneChange) {
    TTempDir Dir;
    WriteFile(Dir / "empty.txt", "");
    TStringList List;
    List.Add("old");
    TChangeLog Log(List);
    List.LoadFromFile(Dir / "empty.txt");
    EXPECT_EQ(List.Count(), 0);
    EXPECT_EQ(Log.Seen.size(), 1u);
}

TEST(Base_stringlist_LoadFromFile, MissingFileOrDirectoryRaisesAndKeepsTheList) {
    TTempDir Dir;
    TStringList List;
    List.Add("old");
    TChangeLog Log(List);
    EXPECT_THROW(List.LoadFromFile(Dir / "missing.txt"), Base_system::EStreamError);
    EXPECT_THROW(List.LoadFromFile(Dir.Path()), Base_system::EStreamError);
    EXPECT_EQ(List.Strings(), Lines{"old"});
    EXPECT_TRUE(Log.Seen.empty());
}

#ifdef _WIN32

namespace {

class THeldFile {
public:
    THeldFile(const std::string& Path, DWORD Access, DWORD Share)
        : FHandle(CreateFileA(Path.c_str(), Access, Share, nullptr, OPEN_EXISTING,
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

TEST(Base_stringlist_LoadFromFile, FileOpenForWritingElsewhereIsRefused) {
    TTempDir Dir;
    const std::string Path = Dir / "locked.txt";
    WriteFile(Path, "C:\\a\r\n");
    THeldFile Writer(Path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(Writer.IsOpen());
    TStringList List;
    List.Add("old");
    TChangeLog Log(List);
    EXPECT_THROW(List.LoadFromFile(Path), Base_system::EStreamError);
    EXPECT_EQ(List.Strings(), Lines{"old"});
    EXPECT_TRUE(Log.Seen.empty());
}

TEST(Base_stringlist_LoadFromFile, OtherReadersAreShared) {
    TTempDir Dir;
    const std::string Path = Dir / "shared.txt";
    WriteFile(Path, "C:\\a\r\nC:\\b");
    {
        THeldFile Reader(Path, GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(Reader.IsOpen());
        TStringList List;
        List.LoadFromFile(Path);
        EXPECT_EQ(List.Strings(), (Lines{"C:\\a", "C:\\b"}));
    }
    // The list has let go of the file: nobody holds it any more.
    EXPECT_TRUE(DeleteFileA(Path.c_str()));
}

#endif
