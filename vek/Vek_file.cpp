#include "vek/Vek_file.h"

#include "vek/Vek_string.h"

#ifdef _WIN32
#include "base/Base_file.h"
#include "vek/Vek_codepage.h"

#include <windows.h>

#include <cwchar>
#include <memory>
#endif

namespace Vek_file {

#ifdef _WIN32
using Base_file::FileTimeValue;
using Base_file::Joined64;
#endif

namespace {

const char PathDelimiter = '\\';
const char DriveDelimiter = ':';

// The index of the first single-byte character for which Match holds, or
// npos; a trail byte is never looked at on its own.
template <class TMatch> std::size_t FindChar(const std::string& Text, TMatch Match) {
    for (std::size_t Index = 0; Index < Text.size();) {
        const std::size_t Length = Vek_string::CharLength(Text, Index);
        if (Length == 1 && Match(Text[Index]))
            return Index;
        Index += Length;
    }
    return std::string::npos;
}

template <class TMatch> std::size_t FindLastChar(const std::string& Text, TMatch Match) {
    std::size_t Found = std::string::npos;
    for (std::size_t Index = 0; Index < Text.size();) {
        const std::size_t Length = Vek_string::CharLength(Text, Index);
        if (Length == 1 && Match(Text[Index]))
            Found = Index;
        Index += Length;
    }
    return Found;
}

// The index of the first colon, after checking that a backslash follows it.
std::size_t FindAbsoluteDrive(const std::string& Path) {
    const std::size_t Colon = FindChar(Path, [](char C) { return C == DriveDelimiter; });
    if (Colon != std::string::npos &&
        (Colon + 1 >= Path.size() || Path[Colon + 1] != PathDelimiter))
        throw EFileError("The program cannot determine the path is absolute.");
    return Colon;
}

// Without Windows the code page is 932, as for Vek_string::IsLeadByte.
bool IsFarEast() {
#ifdef _WIN32
    CPINFO Info;
    return GetCPInfo(CP_ACP, &Info) && Info.MaxCharSize > 1;
#else
    return true;
#endif
}

} // namespace

bool StartsWithDelimiter(const std::string& Text, char Delimiter) {
    return !Text.empty() && Text[0] == Delimiter;
}

bool EndsWithDelimiter(const std::string& Text, char Delimiter) {
    return !Text.empty() &&
           FindLastChar(Text, [Delimiter](char C) { return C == Delimiter; }) == Text.size() - 1;
}

std::string ExcludeLeadingDelimiter(const std::string& Text, char Delimiter) {
    return StartsWithDelimiter(Text, Delimiter) ? Text.substr(1) : Text;
}

std::string IncludeTrailingDelimiter(const std::string& Text, char Delimiter) {
    return EndsWithDelimiter(Text, Delimiter) ? Text : Text + Delimiter;
}

std::string ExcludeTrailingDelimiter(const std::string& Text, char Delimiter) {
    return EndsWithDelimiter(Text, Delimiter) ? Text.substr(0, Text.size() - 1) : Text;
}

std::string ExtractDirectoryPath(const std::string& Path) {
    const std::size_t Last =
        FindLastChar(Path, [](char C) { return C == PathDelimiter || C == DriveDelimiter; });
    return Last == std::string::npos ? std::string() : Path.substr(0, Last + 1);
}

std::string ExtractDirectory(const std::string& Path) {
    return ExcludeTrailingDelimiter(ExtractDirectoryPath(Path), PathDelimiter);
}

std::string ExtractFileName(const std::string& Path) {
    return Path.substr(ExtractDirectoryPath(Path).size());
}

std::string ExtractWorkingDirectory(const std::string& Path) {
    const std::string Directory = ExtractDirectoryPath(Path);
    const std::string Trimmed = ExcludeTrailingDelimiter(Directory, PathDelimiter);
    return EndsWithDelimiter(Trimmed, DriveDelimiter) ? Directory : Trimmed;
}

// The code page's own mapping would touch trail bytes on a double-byte
// system, so there only a to z change.
std::string UpperCasePath(const std::string& Path) {
    std::string Result = Path;
    if (!IsFarEast()) {
#ifdef _WIN32
        if (!Result.empty())
            CharUpperBuffA(&Result[0], static_cast<DWORD>(Result.size()));
#endif
        return Result;
    }
    for (std::size_t Index = 0; Index < Result.size();) {
        const std::size_t Length = Vek_string::CharLength(Result, Index);
        if (Length == 1 && Result[Index] >= 'a' && Result[Index] <= 'z')
            Result[Index] = static_cast<char>(Result[Index] - 'a' + 'A');
        Index += Length;
    }
    return Result;
}

bool HasWildcards(const std::string& Path) {
    return FindChar(Path, [](char C) { return C == '?' || C == '*'; }) != std::string::npos;
}

// Letters a trail byte can be are stepped over with their character.
bool IsNamePart(const std::string& Text) {
    const auto Unfit = [](char C) {
        return static_cast<unsigned char>(C) < 0x20 ||
               std::string("\\/:*?\"<>|").find(C) != std::string::npos;
    };
    return FindChar(Text, Unfit) == std::string::npos && Text.find("..") == std::string::npos;
}

bool IsAbsolutePath(const std::string& Path) {
    return FindAbsoluteDrive(Path) != std::string::npos;
}

bool IsRelativePath(const std::string& Path) {
    return !IsAbsolutePath(Path);
}

std::string GetPathRoot(const std::string& Path) {
    const std::size_t Colon = FindAbsoluteDrive(Path);
    return Colon == std::string::npos ? std::string() : Path.substr(0, Colon + 2);
}

std::string CombinePath(const std::string& Path, const std::string& Base) {
    // Two leading backslashes begin a network path (\\server\share\Bin), as
    // absolute as a drive path; below the base's root it would name a folder
    // on the program's drive instead.
    if (Path.size() >= 2 && Path[0] == PathDelimiter && Path[1] == PathDelimiter)
        return Path;
    if (StartsWithDelimiter(Path, PathDelimiter))
        return GetPathRoot(Base) + ExcludeLeadingDelimiter(Path, PathDelimiter);
    if (IsAbsolutePath(Path))
        return Path;
    return IncludeTrailingDelimiter(Base, PathDelimiter) + Path;
}

#ifdef _WIN32

namespace {

// Asks a path service for a path, counted in UTF-16 units as the service
// counts it: first into a buffer of the platform's path limit, which nearly
// every answer fits; a longer answer gives the size it needs (terminating
// zero included) and is asked for again into a buffer of that size. The
// answer is converted once. The empty text when a call fails or the answer
// outgrew the buffer in between.
template <class TQuery> std::string QueryPath(TQuery Query) {
    std::wstring Buffer(MAX_PATH, L'\0');
    DWORD Length = Query(static_cast<DWORD>(Buffer.size()), &Buffer[0]);
    if (Length >= Buffer.size()) {
        Buffer.assign(Length, L'\0');
        Length = Query(static_cast<DWORD>(Buffer.size()), &Buffer[0]);
        if (Length >= Buffer.size())
            return std::string();
    }
    Buffer.resize(Length);
    return Vek_codepage::FromWide(Buffer);
}

void MakeDirectoryLevels(const std::string& Path) {
    const std::string Directory = ExcludeTrailingDelimiter(Path, PathDelimiter);
    if (Directory.size() < 3 || IsDirectory(Directory))
        return;
    const std::string Parent = ExtractDirectoryPath(Directory);
    if (Parent == Directory)
        return;
    MakeDirectoryLevels(Parent);
    if (!CreateDirectoryA(Directory.c_str(), nullptr))
        throw EFileError("The program could not create the directory.");
}

} // namespace

std::string ExpandPath(const std::string& Path) {
    const std::wstring Wide = Vek_codepage::ToWide(Path);
    return QueryPath([&Wide](DWORD Size, wchar_t* Buffer) {
        return GetFullPathNameW(Wide.c_str(), Size, Buffer, nullptr);
    });
}

std::string GetLongPath(const std::string& Path) {
    if (HasWildcards(Path))
        throw EFileError("The program cannot get the long path of the file.");
    const std::wstring Wide = Vek_codepage::ToWide(Path);
    const std::string LongPath = QueryPath([&Wide](DWORD Size, wchar_t* Buffer) {
        return GetLongPathNameW(Wide.c_str(), Buffer, Size);
    });
    if (LongPath.empty())
        throw EFileError("The program could not get the long path of the file.");
    return LongPath;
}

bool IsRegularFile(const std::string& Path) {
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && !(Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::string& Path) {
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

TFindData FindDataOf(const WIN32_FIND_DATAW& Data) {
    TFindData Found;
    Found.Name = Vek_codepage::FromWide(Data.cFileName);
    Found.Attributes = Data.dwFileAttributes;
    Found.Size = Joined64(Data.nFileSizeHigh, Data.nFileSizeLow);
    Found.Created = FileTimeValue(Data.ftCreationTime);
    Found.LastWritten = FileTimeValue(Data.ftLastWriteTime);
    return Found;
}

bool IsDotName(const wchar_t* Name) {
    return Name[0] == L'.' && (Name[1] == L'\0' || (Name[1] == L'.' && Name[2] == L'\0'));
}

// What a search that finds nothing at all says: no such directory, or a
// file where the directory was expected.
bool IsNothingThere(DWORD Error) {
    return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND ||
           Error == ERROR_DIRECTORY || Error == ERROR_INVALID_NAME;
}

} // namespace

void ListDirectory(const std::string& Directory,
                   const std::function<void(const TFindData& Data)>& Visit) {
    WIN32_FIND_DATAW Data;
    const Base_file::TFindHandle Find(
        FindFirstFileW(Vek_codepage::ToWide(Directory + "\\*").c_str(), &Data));
    if (!Find.Valid()) {
        if (IsNothingThere(GetLastError()))
            return;
        throw EFileError("The program could not list the directory.");
    }
    do {
        if (!IsDotName(Data.cFileName))
            Visit(FindDataOf(Data));
    } while (FindNextFileW(Find.Get(), &Data));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        throw EFileError("The program could not list the directory.");
}

// The attributes first: most paths asked about are gone after a move, and
// that takes one call to learn. Then the file is opened for its attributes
// only, which no sharing mode refuses, for its index; where even that fails,
// the identity has none.
bool ReadFileIdentity(const std::string& Path, TFileIdentity& Identity) {
    const std::wstring Wide = Vek_codepage::ToWide(Path);
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExW(Wide.c_str(), GetFileExInfoStandard, &Data))
        return false;
    Identity = TFileIdentity();
    Identity.Attributes = Data.dwFileAttributes;
    Identity.Size = Joined64(Data.nFileSizeHigh, Data.nFileSizeLow);
    Identity.LastWritten = FileTimeValue(Data.ftLastWriteTime);
    const Base_file::THandle File(
        CreateFileW(Wide.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!File.Valid())
        return true;
    BY_HANDLE_FILE_INFORMATION Information;
    if (GetFileInformationByHandle(File.Get(), &Information)) {
        Identity.Volume = Information.dwVolumeSerialNumber;
        Identity.Index = Joined64(Information.nFileIndexHigh, Information.nFileIndexLow);
    }
    return true;
}

std::string VolumeOf(const std::string& Path) {
    std::string Level = Path;
    while (GetFileAttributesW(Vek_codepage::ToWide(Level).c_str()) == INVALID_FILE_ATTRIBUTES) {
        const std::string Parent = ExtractDirectory(Level);
        if (Parent.size() >= Level.size())
            return std::string();
        Level = Parent;
    }
    const std::wstring Wide = Vek_codepage::ToWide(Level);
    // The root is never longer than the path it is taken from.
    std::wstring Root(Wide.size() + 2, L'\0');
    if (!GetVolumePathNameW(Wide.c_str(), &Root[0], static_cast<DWORD>(Root.size())))
        return std::string();
    Root.resize(std::wcslen(Root.c_str()));
    return UpperCasePath(Vek_codepage::FromWide(Root));
}

bool IsSameFile(const TFileIdentity& A, const TFileIdentity& B) {
    return A.Index != 0 && A.Index == B.Index && A.Volume == B.Volume;
}

bool IsSameVersion(const TFileIdentity& A, const TFileIdentity& B) {
    if (A.Size != B.Size || A.LastWritten != B.LastWritten)
        return false;
    return A.Index == 0 || B.Index == 0 || IsSameFile(A, B);
}

std::string GetCurrentDirectoryPath() {
    return QueryPath(
        [](DWORD Size, wchar_t* Buffer) { return GetCurrentDirectoryW(Size, Buffer); });
}

void SetCurrentDirectoryPath(const std::string& Path) {
    if (!SetCurrentDirectoryA(Path.c_str()))
        throw EFileError("The program could not set the current directory.");
}

// No caller passes an empty path; it names no directory, so it cannot be made.
void MakeDirectory(const std::string& Path) {
    if (Path.empty())
        throw EFileError("The program could not create the directory.");
    MakeDirectoryLevels(Path);
}

void DeleteRegularFile(const std::string& Path) {
    if (!DeleteFileA(Path.c_str()))
        throw EFileError("The program could not delete the regular file.");
}

#endif

} // namespace Vek_file
