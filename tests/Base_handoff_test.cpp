#include "base/Base_handoff.h"
#include "base/Base_system.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::u16string>;

// The paths' part of a block as another process might send it, and the
// paths read from it; none where the block is refused.
struct TBlockCase {
    const char* Name;
    std::u16string Units;
    bool Accepted;
    Paths Expected;
};

std::u16string Units(std::size_t Count, char16_t Unit) {
    return std::u16string(Count, Unit);
}

const std::uint32_t SentAt = 0x01020304;

// The block: the time, then the units, as a second start sends them.
std::string Block(const std::u16string& Units, std::size_t LeftOffBytes = 0) {
    std::string Bytes(sizeof SentAt, '\0');
    std::memcpy(&Bytes[0], &SentAt, sizeof SentAt);
    Bytes.append(reinterpret_cast<const char*>(Units.data()), Units.size() * sizeof(char16_t));
    Bytes.resize(Bytes.size() - LeftOffBytes);
    return Bytes;
}

void ExpectRefused(const std::string& Bytes) {
    try {
        Base_handoff::UnpackPaths(Bytes.data(), Bytes.size());
        ADD_FAILURE() << "a block of " << Bytes.size() << " bytes was read";
    } catch (const Base_system::Exception& E) {
        EXPECT_STREQ(E.what(), "The program cannot accept the handed paths.");
    }
}

} // namespace

TEST(Base_handoff, BlocksAreReadAsTheCommandLineGaveThemOrRefusedWhole) {
    const std::u16string Longest = Units(Base_handoff::MaxUnits - 1, u'a');
    const std::vector<TBlockCase> Cases = {
        {"one path", std::u16string(u"C:\\old.txt\0", 11), true, {u"C:\\old.txt"}},
        {"two paths, blanks kept",
         std::u16string(u"C:\\a b\0D:\\c \0", 13),
         true,
         {u"C:\\a b", u"D:\\c "}},
        // An argument "" of the command line is an empty path, which the put refuses.
        {"an empty argument", std::u16string(u"\0C:\\x\0", 6), true, {u"", u"C:\\x"}},
        {"a path that looks like a switch", std::u16string(u"/list\0", 6), true, {u"/list"}},
        {"quotes the command line kept", std::u16string(u"C:\\a\"b\0", 7), true, {u"C:\\a\"b"}},
        {"non-ASCII and a surrogate pair",
         u"C:\\\u00C9t\u00E9\\\U0001F600.txt" + Units(1, 0),
         true,
         {u"C:\\\u00C9t\u00E9\\\U0001F600.txt"}},
        {"the longest command line", Longest + Units(1, 0), true, {Longest}},
        {"one unit too long", Longest + u"a" + Units(1, 0), false, {}},
        {"no paths", std::u16string(), false, {}},
        {"a last path not ended", std::u16string(u"C:\\a\0C:\\b", 9), false, {}},
        {"a high surrogate alone", std::u16string(u"C:\\\xD83D\0", 5), false, {}},
        {"a pair broken by a NUL", std::u16string(u"\xD83D\0\xDE00\0", 4), false, {}},
        {"a low surrogate alone", std::u16string(u"\xDE00x\0", 3), false, {}},
    };
    for (const TBlockCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const std::string Bytes = Block(Case.Units);
        if (!Case.Accepted) {
            ExpectRefused(Bytes);
            continue;
        }
        const Base_handoff::THandOff HandOff =
            Base_handoff::UnpackPaths(Bytes.data(), Bytes.size());
        EXPECT_EQ(HandOff.Paths, Case.Expected);
        EXPECT_EQ(HandOff.SentAt, SentAt);
        // What a second start packs is what the running copy reads.
        EXPECT_EQ(Base_handoff::PackPaths(Case.Expected, SentAt), Bytes);
    }
}

// Broken units, an unaligned block, and paths that could not be read back.
TEST(Base_handoff, BrokenBlocksAreRefusedAndNothingIsPackedThatCouldNotBeReadBack) {
    const std::u16string Path(u"C:\\a\0", 5);
    ExpectRefused(Block(Path, 1));
    ExpectRefused(Block(std::u16string(), 1));
    const std::string Bytes = "x" + Block(Path);
    EXPECT_EQ(Base_handoff::UnpackPaths(Bytes.data() + 1, Bytes.size() - 1).Paths, Paths{u"C:\\a"});
    for (const Paths& Refused : {Paths{}, Paths{std::u16string(u"C:\\a\0b", 6)},
                                 Paths{Units(Base_handoff::MaxUnits, u'a')}})
        EXPECT_THROW(Base_handoff::PackPaths(Refused, SentAt), Base_system::Exception);
}

// The running copy takes a block only while its sender still waits for the
// answer, also when the tick count has wrapped in between.
TEST(Base_handoff, ABlockIsTakenOnlyWhileItsSenderWaits) {
    const struct {
        std::uint32_t SentAt, Now;
        bool InTime;
    } Cases[] = {
        {1000, 1000, true},
        {1000, 1000 + Base_handoff::TakeWithin - 1, true},
        {1000, 1000 + Base_handoff::TakeWithin, false},
        {0xFFFFFF00u, 0x100, true},
        {0xFFFFFF00u, Base_handoff::TakeWithin, false},
        // A tick before the sending: no block comes from the future.
        {1000, 999, false},
    };
    static_assert(Base_handoff::TakeWithin < Base_handoff::AnswerWithin,
                  "a block is taken only while its sender waits");
    for (const auto& Case : Cases)
        EXPECT_EQ(Base_handoff::IsInTime(Case.SentAt, Case.Now), Case.InTime)
            << Case.SentAt << " " << Case.Now;
}
