// QuoteText and UnquoteText under code page 932: the quoted form against a
// reference, the round trip, and the reading of texts that were never quoted
// by QuoteText (no closing quote, text after the closing quote).
#include "fuzz/FuzzSupport.h"
#include "vek/Vek_string.h"

#include <string>
#include <vector>

namespace {

using FuzzSupport::IsLead;

std::string ReferenceQuote(const std::string& Text, char Quote) {
    std::string Result(1, Quote);
    const std::vector<std::size_t> Starts = FuzzSupport::CharStarts(Text);
    for (std::size_t Char = 0; Char < Starts.size(); ++Char) {
        const std::size_t End = Char + 1 < Starts.size() ? Starts[Char + 1] : Text.size();
        if (FuzzSupport::IsSingle(Text, Starts[Char], Quote))
            Result += Quote;
        Result.append(Text, Starts[Char], End - Starts[Char]);
    }
    Result += Quote;
    return Result;
}

// After the opening quote, a doubled quote stands for one and the first single
// quote closes; with no closing quote the text is read to its end. A lead byte
// right before a quote that ends the text stands alone, as it did in the text
// that was quoted, so that quote closes.
std::string ReferenceUnquote(const std::string& Text, char Quote) {
    std::string Result;
    if (Text.empty() || Text[0] != Quote)
        return Result;
    std::size_t Index = 1;
    while (Index < Text.size()) {
        const char C = Text[Index];
        if (IsLead(C) && Index + 1 < Text.size()) {
            if (Index + 2 == Text.size() && Text[Index + 1] == Quote) {
                Result += C;
                break;
            }
            Result.append(Text, Index, 2);
            Index += 2;
        } else if (C == Quote) {
            if (Index + 1 == Text.size() || Text[Index + 1] != Quote)
                break;
            Result += Quote;
            Index += 2;
        } else {
            Result += C;
            ++Index;
        }
    }
    return Result;
}

} // namespace

// The first byte chooses the quote: the double quote, or any one-byte
// character of the code page; the rest is the text.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* Data, std::size_t Size) {
    if (Size == 0)
        return 0;
    const char First = static_cast<char>(Data[0]);
    const char Quote = First == '\0' || IsLead(First) ? '"' : First;
    const std::string Text = FuzzSupport::FromBytes(Data + 1, Size - 1);

    const std::string Quoted = Vek_string::QuoteText(Text, Quote);
    FUZZ_CHECK(Quoted == ReferenceQuote(Text, Quote));
    FUZZ_CHECK(Vek_string::UnquoteText(Text, Quote) == ReferenceUnquote(Text, Quote));

    if (Text.find('\0') == std::string::npos) {
        FUZZ_CHECK(Vek_string::UnquoteText(Quoted, Quote) == Text);
        // What follows the closing quote is ignored; a lone lead byte at the
        // end would take the closing quote as its trail byte.
        if (!FuzzSupport::EndsInLoneLead(Text)) {
            const char Other = Quote == ' ' ? 'x' : ' ';
            FUZZ_CHECK(Vek_string::UnquoteText(Quoted + Other + Text, Quote) == Text);
        }
    }
    return 0;
}
