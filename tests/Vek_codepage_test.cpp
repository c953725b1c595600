// Runs under every code page the program meets: the system's own (1252, and
// 932 in the *_cp932 rerun) and UTF-8 (the *_utf8 build, with legacy code
// page 1252 and, in its *_ja rerun, 932). Each case states what holds under
// the code page it finds.

#include "vek/Vek_codepage.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

using Vek_codepage::DecodeStoredText;
using Vek_codepage::FromWide;
using Vek_codepage::UpperCaseName;

namespace {

// "café" and "日本" as a legacy system wrote them, and as UTF-8.
const std::string Cafe1252 = "caf\xE9";
const std::string Nihon932 = "\x93\xFA\x96\x7B";
const std::string CafeUtf8 = "caf\xC3\xA9";
const std::string NihonUtf8 = "\xE6\x97\xA5\xE6\x9C\xAC";
const std::string Bom = "\xEF\xBB\xBF";

// The manifest this program carries.
std::string OwnManifest() {
    HRSRC Found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL Loaded = Found ? LoadResource(nullptr, Found) : nullptr;
    if (!Loaded)
        return std::string();
    return std::string(static_cast<const char*>(LockResource(Loaded)),
                       SizeofResource(nullptr, Found));
}

} // namespace

TEST(Vek_codepage, TheProcessCodePageIsTheOneTheManifestAsksForDbcs) {
    const unsigned Legacy = Vek_codepage::GetLegacyCodePage();
    EXPECT_TRUE(Legacy == 1252 || Legacy == 932) << Legacy;
    const std::string Manifest = OwnManifest();
    ASSERT_NE(Manifest.find("<assembly"), std::string::npos);
    const bool AsksForUtf8 = Manifest.find(">UTF-8</activeCodePage>") != std::string::npos;
    EXPECT_EQ(Vek_codepage::IsUtf8Process(), AsksForUtf8);
    EXPECT_EQ(GetACP(), AsksForUtf8 ? static_cast<UINT>(CP_UTF8) : Legacy);
}

TEST(Vek_codepage_DecodeStoredText, LegacyBytesBecomeUtf8OnlyUnderUtf8Dbcs) {
    const std::string Legacy = Vek_codepage::GetLegacyCodePage() == 932 ? Nihon932 : Cafe1252;
    const std::string Converted = Vek_codepage::GetLegacyCodePage() == 932 ? NihonUtf8 : CafeUtf8;
    const std::string Text = "C:\\" + Legacy + "\r\nD:\\x";
    if (Vek_codepage::IsUtf8Process())
        EXPECT_EQ(DecodeStoredText(Text), "C:\\" + Converted + "\r\nD:\\x");
    else
        EXPECT_EQ(DecodeStoredText(Text), Text);
}

TEST(Vek_codepage_DecodeStoredText, ValidUtf8AndAsciiStayAsTheyAreDbcs) {
    for (const std::string& Text : {std::string(), std::string("C:\\Bin"), CafeUtf8 + NihonUtf8,
                                    std::string("\xF0\x9F\x93\x84 notes.txt")})
        EXPECT_EQ(DecodeStoredText(Text), Text) << Text;
}

TEST(Vek_codepage_DecodeStoredText, OneUtf8MarkGoesUnderEveryCodePageDbcs) {
    EXPECT_EQ(DecodeStoredText(Bom + "C:\\" + CafeUtf8), "C:\\" + CafeUtf8);
    EXPECT_EQ(DecodeStoredText(Bom), "");
    EXPECT_EQ(DecodeStoredText(Bom + Bom + "x"), Bom + "x");
    // A mark further in is text.
    EXPECT_EQ(DecodeStoredText("x" + Bom), "x" + Bom);
}

TEST(Vek_codepage_FromWide, NamesComeWholeOrWithWildcardsNeverWithLookAlikesDbcs) {
    const std::wstring Omega = L"C:\\\u03A9mega\u0101.txt";
    const std::wstring Nihon = L"C:\\\u65E5\u672C\\x";
    if (Vek_codepage::IsUtf8Process()) {
        EXPECT_EQ(FromWide(Omega), "C:\\\xCE\xA9mega\xC4\x81.txt");
        EXPECT_EQ(FromWide(Nihon), "C:\\" + NihonUtf8 + "\\x");
        EXPECT_EQ(FromWide(L"\U0001F4C4"), "\xF0\x9F\x93\x84");
    } else if (GetACP() == 932) {
        // Omega is in 932, a with macron is not.
        EXPECT_EQ(FromWide(Omega), "C:\\\x83\xB6mega?.txt");
        EXPECT_EQ(FromWide(Nihon), "C:\\" + Nihon932 + "\\x");
    } else {
        // Best fit would give "Omegaa.txt", a name of another file.
        EXPECT_EQ(FromWide(Omega), "C:\\?mega?.txt");
        EXPECT_EQ(FromWide(Nihon), "C:\\??\\x");
        EXPECT_EQ(FromWide(L"caf\u00E9"), Cafe1252);
    }
    EXPECT_EQ(FromWide(L""), "");
}

TEST(Vek_codepage_UpperCaseName, EveryLetterUnderUtf8Dbcs) {
    EXPECT_EQ(UpperCaseName("c:\\apps\\tool"), "C:\\APPS\\TOOL");
    EXPECT_EQ(UpperCaseName(""), "");
    if (!Vek_codepage::IsUtf8Process())
        return;
    // "C:\Prográmas\ωmega Tools" in any letter case gives one name.
    const std::string Lower = "c:\\progr\xC3\xA1mas\\\xCF\x89mega tools";
    const std::string Mixed = "C:\\Progr\xC3\xA1mas\\\xCE\xA9mega Tools";
    const std::string Upper = "C:\\PROGR\xC3\x81MAS\\\xCE\xA9MEGA TOOLS";
    EXPECT_EQ(UpperCaseName(Lower), Upper);
    EXPECT_EQ(UpperCaseName(Mixed), Upper);
    EXPECT_EQ(UpperCaseName(Upper), Upper);
    EXPECT_EQ(UpperCaseName(NihonUtf8 + "\xF0\x9F\x93\x84"), NihonUtf8 + "\xF0\x9F\x93\x84");
    EXPECT_NE(UpperCaseName("C:\\\xCE\x95\xCE\xBB"), UpperCaseName("C:\\\xCE\x95\xCE\xBC"));
}

namespace {

// Texts given wide, each with the answer expected of it; a case runs where
// the process code page holds every text of it whole.
struct TTextCase {
    std::vector<std::wstring> Texts;
    bool Expected;
};

bool Holds(const std::wstring& Text) {
    return Vek_codepage::ToWide(FromWide(Text)) == Text;
}

template <class TCheck> int RunHeldCases(const std::vector<TTextCase>& Cases, TCheck Check) {
    int Run = 0;
    for (const TTextCase& Case : Cases) {
        if (!std::all_of(Case.Texts.begin(), Case.Texts.end(), Holds))
            continue;
        std::vector<std::string> Texts;
        for (const std::wstring& Text : Case.Texts)
            Texts.push_back(FromWide(Text));
        EXPECT_EQ(Check(Texts), Case.Expected) << testing::PrintToString(Texts);
        ++Run;
    }
    return Run;
}

std::string SortKey(const std::string& Text) {
    std::string Key;
    EXPECT_TRUE(Vek_codepage::MakeSortKey(Text, Key)) << Text;
    return Key;
}

// Two programs, in two folders that differ by one letter outside the
// Western code page, and one folder in two letter cases; names in the
// user's order.
const std::vector<TTextCase> SameCases = {
    {{L"C:\\\u010A\\TovelBin.exe", L"C:\\\u011A\\TovelBin.exe"}, false},
    {{L"C:\\\u00C9t\u00E9\\TovelBin.exe", L"C:\\\u00E9t\u00E9\\TovelBin.exe"}, true},
    {{L"C:\\Tools\\TovelBin.exe", L"c:\\TOOLS\\tovelbin.EXE"}, true},
    {{L"C:\\\u65E5\u672C\\TovelBin.exe", L"C:\\\u65E5\u672C\\TOVELBIN.exe"}, true},
    {{L"C:\\\u65E5\u672C\\TovelBin.exe", L"C:\\\u672C\u65E5\\TovelBin.exe"}, false},
    {{L"C:\\Tools\\TovelBin.exe", L"C:\\Tools\\TovelBin.ex"}, false},
    {{L"", L""}, true},
};
const std::vector<TTextCase> OrderCases = {
    {{L"e", L"\u00E9", L"f"}, true},
    {{L"C", L"\u010A", L"D"}, true},
    {{L"\u00C9", L"\u00E9t\u00E9", L"F"}, true},
    {{L"", L"a", L"B", L"c"}, true},
};

} // namespace

// Under UTF-8 the locale's own code page would read "Ċ" and "Ě" as one
// text and "É" and "é" as two; under a legacy code page the names it
// holds compare as they always did.
TEST(Vek_codepage_SameTextIgnoringCase, ReadsTheProcessCodePageDbcs) {
    const int Run = RunHeldCases(SameCases, [](const std::vector<std::string>& Texts) {
        return Vek_codepage::SameTextIgnoringCase(Texts[0], Texts[1]);
    });
    EXPECT_GE(Run, Vek_codepage::IsUtf8Process() ? 7 : 4);
}

TEST(Vek_codepage_MakeSortKey, KeysFollowTheUsersOrderAndIgnoreCaseDbcs) {
    RunHeldCases(SameCases, [](const std::vector<std::string>& Texts) {
        return SortKey(Texts[0]) == SortKey(Texts[1]);
    });
    const int Run = RunHeldCases(OrderCases, [](const std::vector<std::string>& Texts) {
        for (std::size_t Index = 1; Index < Texts.size(); ++Index) {
            if (!(SortKey(Texts[Index - 1]) < SortKey(Texts[Index])))
                return false;
        }
        return true;
    });
    EXPECT_GE(Run, Vek_codepage::IsUtf8Process() ? 4 : 1);
    // A key longer than the first guess is asked for by its size.
    const std::string Long = FromWide(std::wstring(3000, L'\u00E9'));
    EXPECT_LT(SortKey(Long), SortKey(Long + "a"));
}
