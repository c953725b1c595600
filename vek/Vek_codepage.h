// The process's ANSI code page and the texts stored before it was UTF-8.
// The manifest asks for UTF-8; systems before Windows 10 version 1903 ignore
// that and keep the system's ANSI code page, and there every text stays as
// it always was.
#pragma once

#include <string>

namespace Vek_codepage {

// Whether the A functions of this process speak UTF-8.
bool IsUtf8Process();

// The ANSI code page of the system's locale, which texts written while the
// process code page was not UTF-8 are in; 0 when the system does not say.
unsigned GetLegacyCodePage();

// The bytes of a stored file (settings, a list of paths) as a text of the
// process code page. A leading UTF-8 byte-order mark is dropped. Under UTF-8
// a text that is valid UTF-8 as a whole is taken as it is, any other is
// converted from the legacy code page. Under a legacy code page the bytes
// stay as they are.
std::string DecodeStoredText(const std::string& Bytes);

// A wide text in the process code page. A character that the code page lacks
// becomes "?", never a look-alike letter: "?" is a wildcard, so a put refuses
// such a name instead of taking another file whose name it resembles.
std::string FromWide(const std::wstring& Text);
// A text of the process code page as a wide text, for the interfaces that
// take only wide ones.
std::wstring ToWide(const std::string& Text);

// Whether the shell cannot take Path: MAX_PATH (260) UTF-16 units or more
// once the text is converted from CodePage (0, the process code page, by
// default), which is how the shell's wide functions will see it.
bool IsTooLongForTheShell(const std::string& Path, unsigned CodePage = 0);

// A file name upper-cased for comparing names without letter case: under
// UTF-8 every letter that has an upper case, under a legacy code page as
// Vek_file::UpperCasePath does. The length in bytes may change under UTF-8.
std::string UpperCaseName(const std::string& Name);

// Path as the file system compares names, letter case aside in every
// script (full-width letters too): a key to compare, not a text to show.
std::string FileSystemKey(const std::string& Path);

// Whether two texts of the process code page are one text in the user's
// locale, letter case aside (C:\Été and C:\été are; C:\Ċ and C:\Ě are not).
bool SameTextIgnoringCase(const std::string& A, const std::string& B);

// The user's locale's sort key of a text of the process code page, letter case
// aside: the keys, compared as bytes, order the texts as the user's locale
// does. False when the system gives no key.
bool MakeSortKey(const std::string& Text, std::string& Key);

// A text of the process code page as UTF-8, and back. A character the code
// page lacks comes back as "?", as FromWide gives it.
std::string ToUtf8(const std::string& Text);
std::string FromUtf8(const std::string& Text);

} // namespace Vek_codepage
