#include "vek/Vek_string.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#ifdef _WIN32
#include <windows.h>
#endif

namespace Vek_string {

bool IsLeadByte(char C) {
#ifdef _WIN32
    return IsDBCSLeadByte(static_cast<BYTE>(C)) != FALSE;
#else
    const auto Code = static_cast<unsigned char>(C);
    return (Code >= 0x81 && Code <= 0x9F) || (Code >= 0xE0 && Code <= 0xFC);
#endif
}

std::size_t CharLength(const std::string& Text, std::size_t Index) {
    return IsLeadByte(Text[Index]) && Index + 1 < Text.size() ? 2 : 1;
}

std::string QuoteText(const std::string& Text, char Quote) {
    std::string Result(1, Quote);
    for (std::size_t Index = 0; Index < Text.size();) {
        const std::size_t Length = CharLength(Text, Index);
        if (Length == 1 && Text[Index] == Quote)
            Result += Quote;
        Result.append(Text, Index, Length);
        Index += Length;
    }
    Result += Quote;
    return Result;
}

// A text whose closing quote is missing (only a hand-edited settings file
// holds one) reads up to its end. A lead byte right before a quote that ends
// the text stood alone at the end of the text that was quoted: that quote
// closes, so that every quoted text reads back.
std::string UnquoteText(const std::string& Text, char Quote) {
    std::string Result;
    if (Text.empty() || Text[0] != Quote)
        return Result;
    for (std::size_t Index = 1; Index < Text.size();) {
        std::size_t Length = CharLength(Text, Index);
        if (Length == 2 && Index + 2 == Text.size() && Text[Index + 1] == Quote)
            Length = 1;
        if (Length == 1 && Text[Index] == Quote) {
            if (Index + 1 >= Text.size() || Text[Index + 1] != Quote)
                break;
            ++Index;
        }
        Result.append(Text, Index, Length);
        Index += Length;
    }
    return Result;
}

std::string PadLeft(const std::string& Text, std::int32_t Width, char Fill) {
    if (Width <= 0 || static_cast<std::size_t>(Width) <= Text.size())
        return Text;
    return std::string(static_cast<std::size_t>(Width) - Text.size(), Fill) + Text;
}

bool IsValidUtf8(const std::string& Text) {
    for (std::size_t Index = 0; Index < Text.size();) {
        const auto Lead = static_cast<unsigned char>(Text[Index]);
        if (Lead < 0x80) {
            ++Index;
            continue;
        }
        // The lead byte fixes the length and the range of the first trail
        // byte; the narrower ranges shut out overlong forms, surrogate halves
        // and code points past U+10FFFF.
        std::size_t Length = 0;
        unsigned char Low = 0x80;
        unsigned char High = 0xBF;
        if (Lead >= 0xC2 && Lead <= 0xDF) {
            Length = 2;
        } else if (Lead >= 0xE0 && Lead <= 0xEF) {
            Length = 3;
            if (Lead == 0xE0)
                Low = 0xA0;
            else if (Lead == 0xED)
                High = 0x9F;
        } else if (Lead >= 0xF0 && Lead <= 0xF4) {
            Length = 4;
            if (Lead == 0xF0)
                Low = 0x90;
            else if (Lead == 0xF4)
                High = 0x8F;
        } else {
            return false;
        }
        if (Text.size() - Index < Length)
            return false;
        for (std::size_t Trail = 1; Trail < Length; ++Trail) {
            const auto Byte = static_cast<unsigned char>(Text[Index + Trail]);
            if (Byte < Low || Byte > High)
                return false;
            Low = 0x80;
            High = 0xBF;
        }
        Index += Length;
    }
    return true;
}

std::string SkipUtf8Bom(const std::string& Text) {
    static const char Bom[] = "\xEF\xBB\xBF";
    return Text.compare(0, 3, Bom) == 0 ? Text.substr(3) : Text;
}

int CompareNoCase(const std::string& A, const std::string& B) {
    const std::size_t Length = std::min(A.size(), B.size());
    for (std::size_t Index = 0; Index < Length; ++Index) {
        const int Left = std::tolower(static_cast<unsigned char>(A[Index]));
        const int Right = std::tolower(static_cast<unsigned char>(B[Index]));
        if (Left != Right)
            return Left < Right ? -1 : 1;
    }
    if (A.size() != B.size())
        return A.size() < B.size() ? -1 : 1;
    return A.compare(B) < 0 ? -1 : (A == B ? 0 : 1);
}

std::string GroupDigits(std::uint64_t Value, const TNumberFormat& Format) {
    const std::string Digits = std::to_string(Value);
    std::string Grouped;
    for (std::size_t Index = 0; Index < Digits.size(); ++Index) {
        if (Index > 0 && (Digits.size() - Index) % 3 == 0)
            Grouped += Format.Thousands;
        Grouped += Digits[Index];
    }
    return Grouped;
}

std::string SizeText(std::uint64_t Bytes, const TNumberFormat& Format) {
    if (Bytes < 1024)
        return GroupDigits(Bytes, Format) + (Bytes == 1 ? " byte" : " bytes");
    static const char* const Units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    const std::size_t UnitCount = sizeof Units / sizeof Units[0];
    std::size_t Unit = 0;
    long double Scale = 1024;
    // Tenths of the unit, rounded; what would read as 1,024 of one unit
    // reads as 1.0 of the next.
    const auto Tenths = [&Bytes](long double Of) {
        return static_cast<std::uint64_t>(std::llround(static_cast<long double>(Bytes) * 10 / Of));
    };
    while (Unit + 1 < UnitCount && Tenths(Scale) >= 1024 * 10 - 5) {
        Scale *= 1024;
        ++Unit;
    }
    const std::uint64_t Shown = Tenths(Scale);
    if (Shown < 1000)
        return std::to_string(Shown / 10) + Format.Decimal + std::to_string(Shown % 10) + " " +
               Units[Unit];
    return GroupDigits((Shown + 5) / 10, Format) + " " + Units[Unit];
}

} // namespace Vek_string
