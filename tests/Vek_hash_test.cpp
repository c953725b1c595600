#include "vek/Vek_hash.h"

#include "vek/Vek_autopointer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

using Vek_hash::HashData;
using Vek_hash::HashText;
using Vek_hash::TCrc32Hasher;

namespace {

void Feed(TCrc32Hasher& Hasher, const std::string& Text) {
    Hasher.Update(reinterpret_cast<const std::uint8_t*>(Text.data()),
                  static_cast<std::int32_t>(Text.size()));
}

} // namespace

// The expected values are those of zlib's crc32, the same CRC.
TEST(Vek_hash_HashText, GivesTheStandardCheckValues) {
    EXPECT_EQ(HashText(""), "00000000");
    EXPECT_EQ(HashText("abc"), "352441C2");
    EXPECT_EQ(HashText("123456789"), "CBF43926");
    EXPECT_EQ(HashText("The quick brown fox jumps over the lazy dog"), "414FA339");
    EXPECT_EQ(HashText("C:\\APPS\\TOOL"), "AA048FEE");
}

TEST(Vek_hash_HashText, DistinguishesLetterCase) {
    EXPECT_EQ(HashText("c:\\apps\\tool"), "373665FD");
    EXPECT_NE(HashText("abc"), HashText("ABC"));
    EXPECT_EQ(HashText("123\\"), "D88A09C9");
}

TEST(Vek_hash_HashData, HashesEveryByteValue) {
    std::vector<std::uint8_t> Bytes(256);
    std::iota(Bytes.begin(), Bytes.end(), 0);
    EXPECT_EQ(HashData(Bytes.data(), 256), "29058C73");
    const std::uint8_t Zero = 0x00;
    const std::uint8_t Full = 0xFF;
    EXPECT_EQ(HashData(&Zero, 1), "D202EF8D");
    EXPECT_EQ(HashData(&Full, 1), "FF000000");
    EXPECT_EQ(HashData(std::string("ab\0c", 4).data(), 4), HashText(std::string("ab\0c", 4)));
    EXPECT_NE(HashText(std::string("ab\0c", 4)), HashText("ab"));
}

TEST(Vek_hash_HashData, NoBytesGiveTheEmptyHash) {
    EXPECT_EQ(HashData(nullptr, 0), "00000000");
    EXPECT_EQ(HashData("abc", 0), "00000000");
    EXPECT_EQ(HashData("abc", -3), "00000000");
}

TEST(Vek_hash_TCrc32Hasher, RunsFedInPartsGiveTheValueOfTheWhole) {
    TCrc32Hasher Hasher;
    Feed(Hasher, "1234");
    Feed(Hasher, "");
    Feed(Hasher, "56789");
    EXPECT_EQ(Hasher.GetValue(), 0xCBF43926u);
    EXPECT_EQ(Hasher.GetText(), "CBF43926");
}

TEST(Vek_hash_TCrc32Hasher, ReadingTheValueChangesNothing) {
    TCrc32Hasher Hasher;
    Feed(Hasher, "1234");
    const std::uint32_t Part = Hasher.GetValue();
    EXPECT_EQ(Hasher.GetValue(), Part);
    EXPECT_EQ(Hasher.GetText(), HashText("1234"));
    Feed(Hasher, "56789");
    EXPECT_EQ(Hasher.GetText(), "CBF43926");
}

TEST(Vek_hash_TCrc32Hasher, ResetStartsOver) {
    TCrc32Hasher Hasher;
    EXPECT_EQ(Hasher.GetValue(), 0u);
    Feed(Hasher, "some bytes");
    Hasher.Reset();
    EXPECT_EQ(Hasher.GetValue(), 0u);
    EXPECT_EQ(Hasher.GetText(), "00000000");
    Feed(Hasher, "abc");
    EXPECT_EQ(Hasher.GetText(), "352441C2");
}

TEST(Vek_hash_TCrc32Hasher, NegativeCountFeedsNothing) {
    TCrc32Hasher Hasher;
    Feed(Hasher, "abc");
    Hasher.Update(reinterpret_cast<const std::uint8_t*>("xyz"), -1);
    EXPECT_EQ(Hasher.GetText(), "352441C2");
}

namespace {

class TFixedValueHasher : public TCrc32Hasher {
public:
    std::uint32_t GetValue() override { return 0x0000ABCD; }
};

} // namespace

// The text is written from the virtual value, with leading zeros, and is
// reachable through the abstract hasher.
TEST(Vek_hash_TCrc32Hasher, TextComesFromTheVirtualValue) {
    Vek_autopointer::TAutoPointer<Vek_hash::THasher> Hasher = std::make_unique<TFixedValueHasher>();
    EXPECT_EQ(Hasher->GetText(), "0000ABCD");
}
