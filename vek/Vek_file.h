// Path and file helpers: Windows path texts taken apart and combined, and the
// few file-system queries and changes the program needs. Failures raise
// EFileError; nothing here shows anything.
#pragma once

#include "base/Base_system.h"

#include <string>

#ifdef _WIN32
#include <windows.h>

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
std::string UpperCasePath(const std::string& Path);
bool HasWildcards(const std::string& Path);

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

// Calls Visit once for every name directly in Directory but "." and "..",
// with what one listing tells of it; nothing for a directory it cannot list.
void ListDirectory(const std::string& Directory,
                   const std::function<void(const WIN32_FIND_DATAA& Data)>& Visit);

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
