#include "base/Base_stringlist.h"

#include "base/Base_file.h"

#include <algorithm>

namespace Base_stringlist {

using Base_system::EStreamError;

namespace {

const char* const ReadFailedMessage = "The program could not read the file.";

std::vector<std::string> SplitLines(const std::string& Text) {
    std::vector<std::string> Lines;
    // A NUL ends the text, as it ends a C string.
    const std::size_t End = std::min(Text.find('\0'), Text.size());
    std::size_t Start = 0;
    while (Start < End) {
        std::size_t Break = Start;
        while (Break < End && Text[Break] != '\r' && Text[Break] != '\n')
            ++Break;
        Lines.push_back(Text.substr(Start, Break - Start));
        if (Break < End && Text[Break] == '\r') {
            ++Break;
            if (Break < End && Text[Break] == '\n')
                ++Break;
        } else if (Break < End) {
            ++Break;
        }
        Start = Break;
    }
    return Lines;
}

std::string ReadWholeFile(const std::string& FileName) {
    std::string Bytes;
    if (!Base_file::ReadWholeFile(FileName, Bytes))
        throw EStreamError(ReadFailedMessage);
    return Bytes;
}

} // namespace

void TStringList::SetCapacity(std::int32_t Capacity) {
    if (Capacity > 0)
        FStrings.reserve(static_cast<std::size_t>(Capacity));
}

void TStringList::Add(const std::string& Text) {
    FStrings.push_back(Text);
    Changed();
}

void TStringList::Clear() {
    if (FStrings.empty())
        return;
    FStrings.clear();
    Changed();
}

// The copy is taken before the old content goes, so assigning a list to itself is safe.
void TStringList::Assign(const TStringList& Source) {
    Assign(Source.FStrings);
}

void TStringList::Assign(std::vector<std::string> Strings) {
    FStrings = std::move(Strings);
    Changed();
}

void TStringList::SetText(const std::string& Text) {
    Assign(SplitLines(Text));
}

void TStringList::LoadFromFile(const std::string& FileName) {
    SetText(ReadWholeFile(FileName));
}

void TStringList::LoadFromFile(const std::string& FileName,
                               const std::function<std::string(const std::string& Bytes)>& Decode) {
    SetText(Decode(ReadWholeFile(FileName)));
}

void TStringList::Changed() {
    if (OnChange)
        OnChange(this);
}

} // namespace Base_stringlist
