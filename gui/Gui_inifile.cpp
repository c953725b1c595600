#include "Gui_inifile.h"

#include "base/Base_file.h"
#include "base/Base_stringlist.h"
#include "vek/Vek_file.h"
#include "vek/Vek_string.h"

#include <algorithm>

#ifdef _WIN32
#include "vek/Vek_codepage.h"

#include <windows.h>
#else
#include <cstdio>
#include <sys/stat.h>
#endif

namespace Gui_inifile {

using Base_system::EStreamError;

namespace {

const char* const WriteFailedMessage = "The program could not write the file.";

bool IsBlankOrControl(char C) {
    return static_cast<unsigned char>(C) <= ' ';
}

std::string Trim(const std::string& Text) {
    std::size_t First = 0;
    std::size_t Last = Text.size();
    while (First < Last && IsBlankOrControl(Text[First]))
        ++First;
    while (Last > First && IsBlankOrControl(Text[Last - 1]))
        --Last;
    return Text.substr(First, Last - First);
}

// Section and key names are matched as file names are: without letter case.
bool SameName(const std::string& A, const std::string& B) {
    return A.size() == B.size() && Vek_file::UpperCasePath(A) == Vek_file::UpperCasePath(B);
}

bool PathExists(const std::string& Path) {
#ifdef _WIN32
    return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat Status;
    return stat(Path.c_str(), &Status) == 0;
#endif
}

// A name beside the target that nothing has: the new content never goes
// over a file someone else left there.
std::string FreeTempName(const std::string& Target) {
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        const std::string Name = Target + ".~" + std::to_string(Attempt) + ".tmp";
        if (!PathExists(Name))
            return Name;
    }
    throw EStreamError(WriteFailedMessage);
}

// A file written while the process code page was a legacy one is read in
// that code page; one that an editor saved with a byte-order mark still
// starts with its first section.
std::string DecodeFileText(const std::string& Bytes) {
#ifdef _WIN32
    return Vek_codepage::DecodeStoredText(Bytes);
#else
    return Vek_string::SkipUtf8Bom(Bytes);
#endif
}

} // namespace

std::int32_t TCustomIniFile::ReadInteger(const std::string& Section, const std::string& Key,
                                         std::int32_t Default) {
    std::int32_t Value = 0;
    return Base_system::TryStrToInt(ReadString(Section, Key, std::string()), Value) ? Value
                                                                                    : Default;
}

void TCustomIniFile::WriteInteger(const std::string& Section, const std::string& Key,
                                  std::int32_t Value) {
    WriteString(Section, Key, std::to_string(Value));
}

bool TCustomIniFile::ReadBool(const std::string& Section, const std::string& Key, bool Default) {
    return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& Section, const std::string& Key, bool Value) {
    WriteString(Section, Key, Value ? "1" : "0");
}

TMemIniFile::TMemIniFile(const std::string& FileName) : FFileName(FileName) {
    Base_stringlist::TStringList Lines;
    try {
        Lines.LoadFromFile(FileName, DecodeFileText);
    } catch (const EStreamError&) {
        // A missing file is an empty store; one that is there must be readable.
        if (PathExists(FileName))
            throw;
        return;
    }
    ParseLines(Lines.Strings());
}

std::string TMemIniFile::ReadString(const std::string& Section, const std::string& Key,
                                    const std::string& Default) {
    if (const TSection* Found = FindSection(Section)) {
        for (const auto& Value : Found->Values) {
            if (SameName(Value.first, Key))
                return Value.second;
        }
    }
    return Default;
}

void TMemIniFile::WriteString(const std::string& Section, const std::string& Key,
                              const std::string& Value) {
    SetValue(SectionForWrite(Section), Key, Value);
}

bool TMemIniFile::SectionExists(const std::string& Section) const {
    return FindSection(Section) != nullptr;
}

bool TMemIniFile::ValueExists(const std::string& Section, const std::string& Key) const {
    const TSection* Found = FindSection(Section);
    return Found && std::any_of(Found->Values.begin(), Found->Values.end(),
                                [&Key](const auto& Value) { return SameName(Value.first, Key); });
}

void TMemIniFile::Clear() {
    FSections.clear();
}

void TMemIniFile::UpdateFile() {
    if (!Base_file::WriteFileAtomically(FFileName, FreeTempName(FFileName), GetText()))
        throw EStreamError(WriteFailedMessage);
}

std::string TMemIniFile::GetText() const {
    std::string Text;
    for (const TSection& Section : FSections) {
        Text += "[" + Section.Name + "]\r\n";
        for (const auto& Value : Section.Values)
            Text += Value.first + "=" + Value.second + "\r\n";
        Text += "\r\n";
    }
    return Text;
}

void TMemIniFile::SetText(const std::string& Text) {
    Base_stringlist::TStringList Lines;
    Lines.SetText(Text);
    FSections.clear();
    ParseLines(Lines.Strings());
}

std::size_t TMemIniFile::SectionIndex(const std::string& Name) const {
    const auto Found = std::find_if(FSections.begin(), FSections.end(),
                                    [&Name](const TSection& S) { return SameName(S.Name, Name); });
    return static_cast<std::size_t>(Found - FSections.begin());
}

const TMemIniFile::TSection* TMemIniFile::FindSection(const std::string& Name) const {
    const std::size_t Index = SectionIndex(Name);
    return Index < FSections.size() ? &FSections[Index] : nullptr;
}

// A section written again keeps its place and the spelling it was first written with.
TMemIniFile::TSection& TMemIniFile::SectionForWrite(const std::string& Name) {
    const std::size_t Index = SectionIndex(Name);
    if (Index < FSections.size())
        return FSections[Index];
    FSections.push_back(TSection{Name, {}});
    return FSections.back();
}

void TMemIniFile::SetValue(TSection& Section, const std::string& Key, const std::string& Value) {
    for (auto& Existing : Section.Values) {
        if (SameName(Existing.first, Key)) {
            Existing.second = Value;
            return;
        }
    }
    Section.Values.emplace_back(Key, Value);
}

void TMemIniFile::ParseLines(const std::vector<std::string>& Lines) {
    TSection* Current = nullptr;
    for (const std::string& Raw : Lines) {
        const std::string Line = Trim(Raw);
        if (Line.empty() || Line[0] == ';')
            continue;
        if (Line.size() >= 2 && Line.front() == '[' && Line.back() == ']') {
            Current = &SectionForWrite(Trim(Line.substr(1, Line.size() - 2)));
            continue;
        }
        const std::size_t Equal = Line.find('=');
        // Lines before the first section, and lines that set nothing, carry no setting.
        if (!Current || Equal == std::string::npos)
            continue;
        SetValue(*Current, Trim(Line.substr(0, Equal)), Trim(Line.substr(Equal + 1)));
    }
}

} // namespace Gui_inifile
