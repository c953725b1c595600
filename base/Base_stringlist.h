// A list of texts with a change event, as the program's path lists use it.
#pragma once

#include "base/Base_system.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Base_stringlist {

class TStringList : public Base_system::TObject {
public:
    // Fired after every change of the content: once per Add, once per whole
    // assignment (Assign, SetText, LoadFromFile), once per Clear of a
    // non-empty list.
    Base_system::TNotifyEvent OnChange;

    std::int32_t Count() const { return static_cast<std::int32_t>(FStrings.size()); }
    const std::string& operator[](std::int32_t Index) const { return FStrings.at(Index); }
    const std::vector<std::string>& Strings() const { return FStrings; }

    void SetCapacity(std::int32_t Capacity);
    void Add(const std::string& Text);
    void Clear();
    void Assign(const TStringList& Source);
    void Assign(std::vector<std::string> Strings);

    // Splits Text into lines: a line ends at CR LF, a lone CR or a lone LF;
    // a NUL ends the text. A break at the very end adds no empty line.
    void SetText(const std::string& Text);
    // Reads the whole file, opened for reading with other writers denied,
    // through SetText. Raises Base_system::EStreamError when the file cannot
    // be opened or read; the list is then unchanged.
    void LoadFromFile(const std::string& FileName);
    // The same, with the file's bytes made into the text by Decode first
    // (a file written in another code page than the process's).
    void LoadFromFile(const std::string& FileName,
                      const std::function<std::string(const std::string& Bytes)>& Decode);

private:
    void Changed();
    std::vector<std::string> FStrings;
};

} // namespace Base_stringlist
