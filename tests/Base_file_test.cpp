#include "base/Base_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#ifdef _WIN32
#include "tests/TestSupport.h"
#else
#include <unistd.h>
#endif

namespace {

// A folder of this test's own, with what it leaves removed at the end.
class Base_file_Disk : public testing::Test {
protected:
    std::string Path(const std::string& Name) const { return Folder + "/" + Name; }
    void TearDown() override {
        for (const char* Name : {"target", "target.new", "target.new2"})
            std::remove(Path(Name).c_str());
    }
#ifdef _WIN32
    TestSupport::TTempDir Temp;
    const std::string Folder = Temp.Path();
#else
    const std::string Folder = testing::TempDir();
#endif
};

} // namespace

TEST_F(Base_file_Disk, WrittenWholeOrNotAtAllAndReadBackWithinItsLimit) {
    const std::string Target = Path("target");
    const std::string Bytes("new\0content\r\n", 13);
    std::string Read;
    EXPECT_FALSE(Base_file::ReadWholeFile(Target, Read));
    ASSERT_TRUE(Base_file::WriteFileAtomically(Target, Path("target.new"), "old"));
    // A leftover of a write cut short is written over.
    ASSERT_TRUE(Base_file::WriteFileAtomically(Path("target.new"), Path("target.new2"), "left"));
    ASSERT_TRUE(Base_file::WriteFileAtomically(Target, Path("target.new"), Bytes, true));
    ASSERT_TRUE(Base_file::ReadWholeFile(Target, Read));
    EXPECT_EQ(Read, Bytes);
    EXPECT_FALSE(Base_file::ReadWholeFile(Path("target.new"), Read));
    EXPECT_FALSE(Base_file::ReadWholeFile(Target, Read, Base_file::TSharing::shAnyone, 12));
    EXPECT_TRUE(Base_file::ReadWholeFile(Target, Read, Base_file::TSharing::shAnyone, 13));
    // Where the new file cannot be made, the target stays as it was.
    EXPECT_FALSE(Base_file::WriteFileAtomically(Target, Path("none/target"), "lost"));
    ASSERT_TRUE(Base_file::ReadWholeFile(Target, Read));
    EXPECT_EQ(Read, Bytes);
}

#ifdef _WIN32

// A file a writer holds is read only where anyone may share it; the owner
// closes each kind of handle once and hands it on when moved.
TEST_F(Base_file_Disk, SharingDecidesWhetherAFileBeingWrittenIsRead) {
    const std::string Target = Path("target");
    ASSERT_TRUE(Base_file::WriteFileAtomically(Target, Path("target.new"), "bytes"));
    Base_file::THandle Writer(CreateFileA(Target.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(Writer.Valid());
    std::string Read;
    EXPECT_FALSE(Base_file::ReadWholeFile(Target, Read));
    EXPECT_TRUE(Base_file::ReadWholeFile(Target, Read, Base_file::TSharing::shAnyone));
    EXPECT_EQ(Read, "bytes");
    Base_file::THandle Moved(std::move(Writer));
    EXPECT_FALSE(Writer.Valid());
    EXPECT_TRUE(Moved.Close());
    EXPECT_TRUE(Moved.Close());
    EXPECT_TRUE(Base_file::ReadWholeFile(Target, Read));
    EXPECT_EQ(Base_file::FileTimeValue(Base_file::FileTimeOf(0x0123456789ABCDEFull)),
              0x0123456789ABCDEFull);
}

#endif
