// The path helpers under code page 932: no crash, and what each promises of
// the last character, the first colon and the last delimiter holds when the
// text is walked character by character as the code page reads it.
#include "fuzz/FuzzSupport.h"
#include "vek/Vek_file.h"

#include <string>
#include <vector>

namespace {

using FuzzSupport::IsSingle;
using Vek_file::EFileError;

const char Backslash = '\\';
const char* const NotAbsoluteMessage = "The program cannot determine the path is absolute.";

bool EndsInBackslash(const std::string& Text) {
    const std::vector<std::size_t> Starts = FuzzSupport::CharStarts(Text);
    return !Starts.empty() && IsSingle(Text, Starts.back(), Backslash);
}

// The offset of the last character that is a backslash or a colon, or npos.
std::size_t LastDirectoryEnd(const std::string& Path) {
    std::size_t Found = std::string::npos;
    for (const std::size_t Start : FuzzSupport::CharStarts(Path)) {
        if (IsSingle(Path, Start, Backslash) || IsSingle(Path, Start, ':'))
            Found = Start;
    }
    return Found;
}

// The offset of the first colon character, or npos.
std::size_t FirstColon(const std::string& Path) {
    for (const std::size_t Start : FuzzSupport::CharStarts(Path)) {
        if (IsSingle(Path, Start, ':'))
            return Start;
    }
    return std::string::npos;
}

// Absolute: the first colon is followed by a backslash; relative: no colon;
// anything else cannot be told and raises.
enum class TKind { Relative, Absolute, Unknown };

TKind KindOf(const std::string& Path) {
    const std::size_t Colon = FirstColon(Path);
    if (Colon == std::string::npos)
        return TKind::Relative;
    return Colon + 1 < Path.size() && Path[Colon + 1] == Backslash ? TKind::Absolute
                                                                   : TKind::Unknown;
}

template <class TCall> bool RaisesNotAbsolute(TCall Call) {
    try {
        Call();
    } catch (const EFileError& Error) {
        FUZZ_CHECK(Error.Message() == NotAbsoluteMessage);
        return true;
    }
    return false;
}

void CheckDelimiters(const std::string& Text) {
    const bool Ends = EndsInBackslash(Text);
    FUZZ_CHECK(Vek_file::EndsWithDelimiter(Text, Backslash) == Ends);
    FUZZ_CHECK(Vek_file::StartsWithDelimiter(Text, Backslash) ==
               (!Text.empty() && Text[0] == Backslash));

    const std::string Included = Vek_file::IncludeTrailingDelimiter(Text, Backslash);
    FUZZ_CHECK(Included == (Ends ? Text : Text + Backslash));
    // The appended backslash is a character of its own, not a trail byte.
    if (!FuzzSupport::EndsInLoneLead(Text))
        FUZZ_CHECK(EndsInBackslash(Included));

    // Only a backslash character goes; a double-byte character is never cut.
    const std::string Excluded = Vek_file::ExcludeTrailingDelimiter(Text, Backslash);
    FUZZ_CHECK(Excluded == (Ends ? Text.substr(0, Text.size() - 1) : Text));
}

void CheckDirectory(const std::string& Path) {
    const std::size_t Last = LastDirectoryEnd(Path);
    const std::string DirectoryPath =
        Last == std::string::npos ? std::string() : Path.substr(0, Last + 1);
    const std::string Name = Path.substr(DirectoryPath.size());
    FUZZ_CHECK(Vek_file::ExtractDirectoryPath(Path) == DirectoryPath);
    FUZZ_CHECK(LastDirectoryEnd(Name) == std::string::npos);

    // The directory, its backslash if it lost one, and the name give the path back.
    const std::string Directory = Vek_file::ExtractDirectory(Path);
    const std::string Separator = EndsInBackslash(DirectoryPath) ? "\\" : "";
    FUZZ_CHECK(Directory + Separator + Name == Path);
    FUZZ_CHECK(Directory.size() + Separator.size() == DirectoryPath.size());
}

void CheckText(const std::string& Path) {
    bool Wildcards = false;
    std::string Upper = Path;
    for (const std::size_t Start : FuzzSupport::CharStarts(Path)) {
        Wildcards = Wildcards || IsSingle(Path, Start, '?') || IsSingle(Path, Start, '*');
        const char C = Path[Start];
        if (C >= 'a' && C <= 'z')
            Upper[Start] = static_cast<char>(C - 'a' + 'A');
    }
    FUZZ_CHECK(Vek_file::HasWildcards(Path) == Wildcards);
    FUZZ_CHECK(Vek_file::UpperCasePath(Path) == Upper);
}

void CheckRoot(const std::string& Path) {
    const TKind Kind = KindOf(Path);
    bool Absolute = false;
    FUZZ_CHECK(RaisesNotAbsolute([&] { Absolute = Vek_file::IsAbsolutePath(Path); }) ==
               (Kind == TKind::Unknown));
    std::string Root;
    FUZZ_CHECK(RaisesNotAbsolute([&] { Root = Vek_file::GetPathRoot(Path); }) ==
               (Kind == TKind::Unknown));
    if (Kind == TKind::Unknown)
        return;
    FUZZ_CHECK(Absolute == (Kind == TKind::Absolute));
    FUZZ_CHECK(Vek_file::IsRelativePath(Path) == !Absolute);
    FUZZ_CHECK(Root == (Absolute ? Path.substr(0, FirstColon(Path) + 2) : std::string()));
}

// A network path (two leading backslashes) and a path with a drive stay as
// they are; a path that begins with one backslash goes below the root of the
// base; any other goes below the base itself.
void CheckCombine(const std::string& Path, const std::string& Base) {
    if (Path.size() >= 2 && Path[0] == Backslash && Path[1] == Backslash) {
        FUZZ_CHECK(Vek_file::CombinePath(Path, Base) == Path);
        return;
    }
    const bool Rooted = !Path.empty() && Path[0] == Backslash;
    const TKind Kind = Rooted ? KindOf(Base) : KindOf(Path);
    std::string Combined;
    FUZZ_CHECK(RaisesNotAbsolute([&] { Combined = Vek_file::CombinePath(Path, Base); }) ==
               (Kind == TKind::Unknown));
    if (Kind == TKind::Unknown)
        return;
    if (Rooted) {
        const std::string Root =
            Kind == TKind::Absolute ? Base.substr(0, FirstColon(Base) + 2) : std::string();
        FUZZ_CHECK(Combined == Root + Path.substr(1));
    } else if (Kind == TKind::Absolute) {
        FUZZ_CHECK(Combined == Path);
    } else {
        FUZZ_CHECK(Combined == (EndsInBackslash(Base) ? Base : Base + Backslash) + Path);
    }
}

} // namespace

// The whole input is one path; split at its first NUL it is also a path and
// a base to combine.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* Data, std::size_t Size) {
    const std::string Path = FuzzSupport::FromBytes(Data, Size);
    CheckDelimiters(Path);
    CheckDirectory(Path);
    CheckText(Path);
    CheckRoot(Path);
    const std::size_t Split = Path.find('\0');
    if (Split != std::string::npos)
        CheckCombine(Path.substr(0, Split), Path.substr(Split + 1));
    return 0;
}
