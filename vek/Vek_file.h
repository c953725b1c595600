// Path and file helpers: Windows path texts taken apart and combined, and the
// few file-system queries and changes the program needs. Failures raise
// EFileError; nothing here shows anything.
#pragma once

#include "base/Base_system.h"

#include <string>

#ifdef _WIN32
#include <windows.h>

#include <cstdint>
#include <functional>
#endif

namespace Vek_file {

class EFileError : public Base_system::Exception {
public:
    using Exception::Exception;
};

bool StartsWithDelimiter(const std::string& Text, char Delimiter);
bool EndsWithDelimiter(const std::string& Text, char Delimiter);
std::string ExcludeLeadingDelimiter(const std::string& Text, char Delimiter);
std::string IncludeTrailingDelimiter(const std::string& Text, char Delimiter);
std::string ExcludeTrailingDelimiter(const std::string& Text, char Delimiter);

std::string ExtractDirectoryPath(const std::string& Path);
std::string ExtractDirectory(const std::string& Path);
// The last component of Path: report.txt for C:\Data\report.txt.
std::string ExtractFileName(const std::string& Path);
// The directory of Path as a current directory is written: C:\Prog for
// C:\Prog\App.exe, and C:\ for C:\App.exe, where C: alone would name the
// drive's current directory instead of its root.
std::string ExtractWorkingDirectory(const std::string& Path);
std::string UpperCasePath(const std::string& Path);
bool HasWildcards(const std::string& Path);
// Whether Text can be part of a file name: no path delimiter, drive colon,
// wildcard, quote, pipe, angle bracket or control character, and no two dots
// in a row.
bool IsNamePart(const std::string& Text);

bool IsAbsolutePath(const std::string& Path);
bool IsRelativePath(const std::string& Path);
std::string GetPathRoot(const std::string& Path);
// A path with a drive (D:\Bin) or a network path (\\server\share\Bin) is
// returned as it is: it names the directory the user chose, not one below Base.
std::string CombinePath(const std::string& Path, const std::string& Base);

#ifdef _WIN32
// The full path, however long; the empty text when the platform refuses.
std::string ExpandPath(const std::string& Path);
std::string GetLongPath(const std::string& Path);
bool IsRegularFile(const std::string& Path);
bool IsDirectory(const std::string& Path);
// The whole current directory, however long; the empty text when the platform refuses.
std::string GetCurrentDirectoryPath();
void SetCurrentDirectoryPath(const std::string& Path);
void MakeDirectory(const std::string& Path);
void DeleteRegularFile(const std::string& Path);

// One name of a directory listing, with what the listing tells of it. The
// name comes from the system's wide listing, converted once: a name of 255
// UTF-16 units can need 765 bytes, more than an ANSI listing holds.
struct TFindData {
    std::string Name;
    DWORD Attributes = 0;
    std::uint64_t Size = 0;
    // FILETIMEs as one number each.
    std::uint64_t Created = 0;
    std::uint64_t LastWritten = 0;

    bool IsDirectory() const { return (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // A junction or a symbolic link: nothing below it belongs to the listing.
    bool IsReparsePoint() const { return (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// Calls Visit once for every name directly in Directory but "." and "..".
// A directory that is not there (or is a file) lists nothing; any other
// failure, also one in the middle of the listing, raises "The program could
// not list the directory.": a listing cut short would pass files over
// unseen.
void ListDirectory(const std::string& Directory,
                   const std::function<void(const TFindData& Data)>& Visit);

// What tells one file, and one version of it, from another: its attributes,
// bytes and last write, and the volume's serial and the file's index where
// the volume gives one (0 where it does not).
struct TFileIdentity {
    DWORD Attributes = 0;
    std::uint32_t Volume = 0;
    std::uint64_t Index = 0;
    std::uint64_t Size = 0;
    std::uint64_t LastWritten = 0;

    bool IsRegularFile() const {
        return !(Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    }
};

// The identity of what stands at Path itself (a link is not followed);
// false when nothing does.
bool ReadFileIdentity(const std::string& Path, TFileIdentity& Identity);
// The root of the volume that holds Path, or of the nearest level above it
// that exists (the mount point of a volume mounted in a folder, else the
// drive's root), upper-cased; empty when the system cannot tell.
std::string VolumeOf(const std::string& Path);

// One file under two paths: the same index on the same volume.
bool IsSameFile(const TFileIdentity& A, const TFileIdentity& B);
// The file as it was: the same bytes and last write, and where both have an
// index, the same file.
bool IsSameVersion(const TFileIdentity& A, const TFileIdentity& B);

// While it lives, a drive without a disk makes calls fail instead of asking
// the user to insert one.
class TCriticalErrorsSuppressed {
public:
    TCriticalErrorsSuppressed() : FSaved(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~TCriticalErrorsSuppressed() { SetErrorMode(FSaved); }
    TCriticalErrorsSuppressed(const TCriticalErrorsSuppressed&) = delete;
    TCriticalErrorsSuppressed& operator=(const TCriticalErrorsSuppressed&) = delete;

private:
    UINT FSaved;
};
#endif

} // namespace Vek_file
