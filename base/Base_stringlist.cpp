#include "base/Base_stringlist.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <fstream>
#endif

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

#ifdef _WIN32

class THandleOwner {
public:
    explicit THandleOwner(HANDLE Handle) : FHandle(Handle) {}
    ~THandleOwner() {
        if (FHandle != INVALID_HANDLE_VALUE)
            CloseHandle(FHandle);
    }
    THandleOwner(const THandleOwner&) = delete;
    THandleOwner& operator=(const THandleOwner&) = delete;
    HANDLE Get() const { return FHandle; }

private:
    HANDLE FHandle;
};

std::string ReadWholeFile(const std::string& FileName) {
    // Readers may share the file, writers may not: the content cannot change under us.
    THandleOwner File(CreateFileA(FileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (File.Get() == INVALID_HANDLE_VALUE)
        throw EStreamError(ReadFailedMessage);
    LARGE_INTEGER Size;
    if (!GetFileSizeEx(File.Get(), &Size) || Size.QuadPart > 0x7FFFFFFF)
        throw EStreamError(ReadFailedMessage);
    std::string Bytes(static_cast<std::size_t>(Size.QuadPart), '\0');
    DWORD Read = 0;
    if (!Bytes.empty() &&
        (!ReadFile(File.Get(), &Bytes[0], static_cast<DWORD>(Bytes.size()), &Read, nullptr) ||
         Read != Bytes.size()))
        throw EStreamError(ReadFailedMessage);
    return Bytes;
}

#else

std::string ReadWholeFile(const std::string& FileName) {
    std::ifstream File(FileName, std::ios::binary);
    if (!File)
        throw EStreamError(ReadFailedMessage);
    std::string Bytes;
    char Buffer[65536];
    while (File.read(Buffer, sizeof Buffer) || File.gcount() > 0)
        Bytes.append(Buffer, static_cast<std::size_t>(File.gcount()));
    // A directory opens, but reading it fails: that is no empty file.
    if (File.bad())
        throw EStreamError(ReadFailedMessage);
    return Bytes;
}

#endif

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
