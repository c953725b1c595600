// Test helpers for the units that also build without Windows: a temporary
// directory and file writing on either system, the failure a call raises,
// and the base of the cases that need the double-byte code page 932.
#pragma once

#include "base/Base_system.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include "tests/TestSupport.h"

#include <windows.h>
#else
#include <cstdlib>
#include <filesystem>
#include <fstream>
#endif

namespace PortableSupport {

#ifdef _WIN32

using TestSupport::TTempDir;
using TestSupport::WriteFile;

#else

class TTempDir {
public:
    TTempDir() {
        char Pattern[] = "/tmp/tovel-test-XXXXXX";
        FPath = mkdtemp(Pattern);
    }
    ~TTempDir() { std::filesystem::remove_all(FPath); }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return FPath; }
    std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }

private:
    std::string FPath;
};

inline void WriteFile(const std::string& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary) << Bytes;
}

#endif

// The message of the Exception that Action raises, "EAbort", or "no failure".
template <class TAction> std::string FailureOf(TAction Action) {
    try {
        Action();
    } catch (const Base_system::EAbort&) {
        return "EAbort";
    } catch (const Base_system::Exception& E) {
        return E.Message();
    }
    return "no failure";
}

// Natively the library answers the code-page question from its table of
// code page 932; under Windows the system must use that code page, which the
// *_cp932 run of each test program gives it.
class TCodePage932Test : public testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        if (GetACP() != 932)
            GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
#endif
    }
};

} // namespace PortableSupport
