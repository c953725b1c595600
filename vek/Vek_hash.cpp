#include "vek/Vek_hash.h"

#include "vek/Vek_autopointer.h"

#include <array>

namespace Vek_hash {

namespace {

const std::uint32_t InitialRegister = 0xFFFFFFFF;
const std::uint32_t ReflectedPolynomial = 0xEDB88320;

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> Table{};
    for (std::uint32_t Index = 0; Index < 256; ++Index) {
        std::uint32_t Register = Index;
        for (int Bit = 0; Bit < 8; ++Bit)
            Register = (Register & 1) ? (Register >> 1) ^ ReflectedPolynomial : Register >> 1;
        Table[Index] = Register;
    }
    return Table;
}

// Computed by the compiler, so it sits in the program's constant data.
constexpr std::array<std::uint32_t, 256> CrcTable = MakeCrcTable();

} // namespace

TCrc32Hasher::TCrc32Hasher() : FRegister(InitialRegister) {}

void TCrc32Hasher::Update(const std::uint8_t* Data, std::int32_t Count) {
    for (std::int32_t Index = 0; Index < Count; ++Index)
        FRegister = (FRegister >> 8) ^ CrcTable[(FRegister ^ Data[Index]) & 0xFF];
}

void TCrc32Hasher::Reset() {
    FRegister = InitialRegister;
}

std::string TCrc32Hasher::GetText() {
    static const char Digits[] = "0123456789ABCDEF";
    std::uint32_t Value = GetValue();
    std::string Text(8, '0');
    for (std::size_t Index = Text.size(); Index > 0; --Index) {
        Text[Index - 1] = Digits[Value & 0xF];
        Value >>= 4;
    }
    return Text;
}

std::uint32_t TCrc32Hasher::GetValue() {
    return FRegister ^ 0xFFFFFFFF;
}

std::string HashData(const void* Data, std::int32_t Count) {
    Vek_autopointer::TAutoPointer<TCrc32Hasher> Hasher = std::make_unique<TCrc32Hasher>();
    Hasher->Update(static_cast<const std::uint8_t*>(Data), Count);
    return Hasher->GetText();
}

std::string HashText(const std::string& Text) {
    return HashData(Text.data(), static_cast<std::int32_t>(Text.size()));
}

} // namespace Vek_hash
