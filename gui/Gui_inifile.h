// The ini store: sections of "key=value" lines, read at once into memory and
// written back as a whole on request.
#pragma once

#include "base/Base_system.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace Gui_inifile {

// Reads and writes settings by section and key; every read has a default that
// stands for an absent key.
class TCustomIniFile : public Base_system::TObject {
public:
    virtual std::string ReadString(const std::string& Section, const std::string& Key,
                                   const std::string& Default) = 0;
    virtual void WriteString(const std::string& Section, const std::string& Key,
                             const std::string& Value) = 0;

    // Decimal, or hexadecimal after "$", "0x" or "0X"; a text that is no number
    // reads as Default.
    std::int32_t ReadInteger(const std::string& Section, const std::string& Key,
                             std::int32_t Default);
    void WriteInteger(const std::string& Section, const std::string& Key, std::int32_t Value);
    // An integer where every number but 0 is true; a text that is no number
    // reads as Default.
    bool ReadBool(const std::string& Section, const std::string& Key, bool Default);
    void WriteBool(const std::string& Section, const std::string& Key, bool Value);
};

// The store in memory, bound to one file. Sections and keys keep the order in
// which they were first read or written; their names match without letter case.
class TMemIniFile : public TCustomIniFile {
public:
    // Reads the whole file when it exists, else starts empty. Raises
    // Base_system::EStreamError when the file exists but cannot be read.
    explicit TMemIniFile(const std::string& FileName);

    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& Section, const std::string& Key,
                           const std::string& Default) override;
    void WriteString(const std::string& Section, const std::string& Key,
                     const std::string& Value) override;

    bool SectionExists(const std::string& Section) const;
    bool ValueExists(const std::string& Section, const std::string& Key) const;

    void Clear();
    // Replaces the file with the whole content: the text goes to a new file
    // beside it that then takes the file's place, so a failure never leaves a
    // half-written file. Raises Base_system::EStreamError on failure.
    void UpdateFile();

    // The file text that UpdateFile writes: CR LF line ends, an empty line
    // after every section.
    std::string GetText() const;
    // Replaces the content with the one a file of this text holds.
    void SetText(const std::string& Text);

private:
    struct TSection {
        std::string Name;
        std::vector<std::pair<std::string, std::string>> Values;
    };

    std::size_t SectionIndex(const std::string& Name) const;
    const TSection* FindSection(const std::string& Name) const;
    TSection& SectionForWrite(const std::string& Name);
    static void SetValue(TSection& Section, const std::string& Key, const std::string& Value);
    void ParseLines(const std::vector<std::string>& Lines);

    std::string FFileName;
    std::vector<TSection> FSections;
};

} // namespace Gui_inifile
