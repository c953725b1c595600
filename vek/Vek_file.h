// Path and file helpers: Windows path texts taken apart and combined, and the
// few file-system queries and changes the program needs. Failures raise
// EFileError; nothing here shows anything.
#pragma once

#include "base/Gui_system.h"

#include <string>

namespace Vek_file {

class EFileError : public Gui_system::Exception {
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
#endif

} // namespace Vek_file
