#include "vek/Vek_codepage.h"

#include "vek/Vek_file.h"
#include "vek/Vek_string.h"

#include <windows.h>

#include <climits>

namespace Vek_codepage {

namespace {

std::wstring Widen(const std::string& Text, UINT CodePage) {
    if (Text.empty())
        return std::wstring();
    const int Size = static_cast<int>(Text.size());
    const int Length = MultiByteToWideChar(CodePage, 0, Text.data(), Size, nullptr, 0);
    std::wstring Result(static_cast<std::size_t>(Length), L'\0');
    if (Length > 0)
        MultiByteToWideChar(CodePage, 0, Text.data(), Size, &Result[0], Length);
    return Result;
}

std::string Narrow(const std::wstring& Text, UINT CodePage) {
    if (Text.empty())
        return std::string();
    // UTF-8 takes no flags and no default character; every other code page
    // is kept from mapping a character it lacks to a look-alike.
    const bool Utf8 = CodePage == CP_UTF8;
    const DWORD Flags = Utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* Default = Utf8 ? nullptr : "?";
    const int Size = static_cast<int>(Text.size());
    const int Length =
        WideCharToMultiByte(CodePage, Flags, Text.data(), Size, nullptr, 0, Default, nullptr);
    std::string Result(static_cast<std::size_t>(Length), '\0');
    if (Length > 0)
        WideCharToMultiByte(CodePage, Flags, Text.data(), Size, &Result[0], Length, Default,
                            nullptr);
    return Result;
}

} // namespace

bool IsUtf8Process() {
    return GetACP() == CP_UTF8;
}

unsigned GetLegacyCodePage() {
    DWORD CodePage = 0;
    // As a number, the answer fills the DWORD: its size is given in wide characters.
    if (!GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&CodePage), sizeof CodePage / sizeof(wchar_t)))
        return 0;
    return CodePage;
}

std::string DecodeStoredText(const std::string& Bytes) {
    const std::string Text = Vek_string::SkipUtf8Bom(Bytes);
    if (!IsUtf8Process() || Vek_string::IsValidUtf8(Text))
        return Text;
    // A system whose own locale is UTF-8 (or that names none) had no other
    // code page to write in: such bytes cannot be read any better.
    const unsigned Legacy = GetLegacyCodePage();
    if (Legacy == 0 || Legacy == CP_UTF8)
        return Text;
    return Narrow(Widen(Text, Legacy), CP_UTF8);
}

std::string FromWide(const std::wstring& Text) {
    return Narrow(Text, CP_ACP);
}

std::wstring ToWide(const std::string& Text) {
    return Widen(Text, CP_ACP);
}

// A text of fewer bytes than the limit is never too long: no ANSI code page
// gives more UTF-16 units than bytes.
bool IsTooLongForTheShell(const std::string& Path, unsigned CodePage) {
    if (Path.size() < MAX_PATH)
        return false;
    if (Path.size() > INT_MAX)
        return true;
    const int Units =
        MultiByteToWideChar(CodePage, 0, Path.data(), static_cast<int>(Path.size()), nullptr, 0);
    // A text the code page cannot convert is measured by its bytes.
    return (Units > 0 ? static_cast<std::size_t>(Units) : Path.size()) >= MAX_PATH;
}

std::string UpperCaseName(const std::string& Name) {
    if (!IsUtf8Process())
        return Vek_file::UpperCasePath(Name);
    const std::wstring Wide = Widen(Name, CP_UTF8);
    std::wstring Upper(Wide.size(), L'\0');
    // The invariant mapping is one UTF-16 unit for one and the same in every
    // user locale, so every start of the program agrees.
    if (!Wide.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, Wide.data(), static_cast<int>(Wide.size()),
                     &Upper[0], static_cast<int>(Upper.size()));
    return Narrow(Upper, CP_UTF8);
}

// The invariant upper case of the wide text, as the file system's own table
// maps it, whatever the process code page.
std::string FileSystemKey(const std::string& Path) {
    const std::wstring Wide = ToWide(Path);
    std::wstring Upper(Wide.size(), L'\0');
    if (!Wide.empty())
        LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, Wide.data(), static_cast<int>(Wide.size()),
                     &Upper[0], static_cast<int>(Upper.size()));
    return Narrow(Upper, CP_UTF8);
}

// The A forms of the locale's services read their bytes in the code page of
// the locale, which under a UTF-8 process is not the process's own: "Ċ" and
// "Ě" would come out as one text there. So the texts are widened first.
bool SameTextIgnoringCase(const std::string& A, const std::string& B) {
    const std::wstring WideA = ToWide(A);
    const std::wstring WideB = ToWide(B);
    if (WideA.size() > INT_MAX || WideB.size() > INT_MAX)
        return false;
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, WideA.data(),
                          static_cast<int>(WideA.size()), WideB.data(),
                          static_cast<int>(WideB.size())) == CSTR_EQUAL;
}

bool MakeSortKey(const std::string& Text, std::string& Key) {
    const std::wstring Wide = ToWide(Text);
    if (Wide.size() > INT_MAX / 16)
        return false;
    // The service refuses an empty source; as a terminated text the empty
    // text gets its key, which sorts first.
    const int Length = Wide.empty() ? -1 : static_cast<int>(Wide.size());
    const DWORD Flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    // Most keys fit a guess of six bytes per unit; a larger one is asked
    // for its size once more. The size of a key is counted in bytes.
    Key.resize(Wide.size() * 6 + 16);
    int Size = LCMapStringW(LOCALE_USER_DEFAULT, Flags, Wide.c_str(), Length,
                            reinterpret_cast<LPWSTR>(&Key[0]), static_cast<int>(Key.size()));
    if (Size == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        Size = LCMapStringW(LOCALE_USER_DEFAULT, Flags, Wide.c_str(), Length, nullptr, 0);
        if (Size <= 0)
            return false;
        Key.resize(static_cast<std::size_t>(Size));
        Size = LCMapStringW(LOCALE_USER_DEFAULT, Flags, Wide.c_str(), Length,
                            reinterpret_cast<LPWSTR>(&Key[0]), Size);
    }
    if (Size <= 0)
        return false;
    // The key ends in a zero byte, which no comparison needs.
    Key.resize(static_cast<std::size_t>(Size) - 1);
    return true;
}

// Under UTF-8 both are the text itself, so the shipped program converts nothing.
std::string ToUtf8(const std::string& Text) {
    return IsUtf8Process() ? Text : Narrow(Widen(Text, CP_ACP), CP_UTF8);
}

std::string FromUtf8(const std::string& Text) {
    return IsUtf8Process() ? Text : Narrow(Widen(Text, CP_UTF8), CP_ACP);
}

} // namespace Vek_codepage
