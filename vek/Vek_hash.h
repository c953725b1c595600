// CRC-32 (ISO-HDLC: the CRC of IEEE 802.3 and gzip) behind an abstract hasher,
// and one-call hashes of bytes and texts as 8 upper-case hexadecimal digits.
#pragma once

#include "base/Base_system.h"

#include <cstdint>
#include <string>

namespace Vek_hash {

class THasher : public Base_system::TObject {
public:
    virtual void Update(const std::uint8_t* Data, std::int32_t Count) = 0;
    virtual void Reset() = 0;
    virtual std::string GetText() = 0;
};

class TCrc32Hasher : public THasher {
public:
    TCrc32Hasher();
    void Update(const std::uint8_t* Data, std::int32_t Count) override;
    void Reset() override;
    std::string GetText() override;
    virtual std::uint32_t GetValue();

private:
    std::uint32_t FRegister;
};

std::string HashData(const void* Data, std::int32_t Count);
// The bytes of the text as stored: callers that want case not to matter
// upper-case it first.
std::string HashText(const std::string& Text);

} // namespace Vek_hash
