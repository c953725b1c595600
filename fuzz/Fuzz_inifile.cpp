// The ini store reading arbitrary bytes: the content it holds against a
// reference reader of the file format, and read, write, read again gives the
// same sections, keys and values in the same order.
#include "fuzz/FuzzSupport.h"
#include "gui/Gui_inifile.h"

#include <string>
#include <utility>
#include <vector>

namespace {

struct TSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Values;
};

using TContent = std::vector<TSection>;

bool IsBlankOrControl(char C) {
    return static_cast<unsigned char>(C) <= ' ';
}

std::string Trim(const std::string& Text) {
    std::size_t First = 0;
    std::size_t End = Text.size();
    while (First < End && IsBlankOrControl(Text[First]))
        ++First;
    while (End > First && IsBlankOrControl(Text[End - 1]))
        --End;
    return Text.substr(First, End - First);
}

// Names match without letter case: a to z only, a double-byte character as it is.
std::string Folded(const std::string& Name) {
    std::string Result = Name;
    for (const std::size_t Start : FuzzSupport::CharStarts(Name)) {
        const bool Single = !(FuzzSupport::IsLead(Name[Start]) && Start + 1 < Name.size());
        if (Single && Name[Start] >= 'a' && Name[Start] <= 'z')
            Result[Start] = static_cast<char>(Name[Start] - 'a' + 'A');
    }
    return Result;
}

template <class T>
T* FindNamed(std::vector<T>& Items, const std::string& Name,
             const std::string& (*NameOf)(const T&)) {
    for (T& Item : Items) {
        if (Folded(NameOf(Item)) == Folded(Name))
            return &Item;
    }
    return nullptr;
}

const std::string& SectionName(const TSection& Section) {
    return Section.Name;
}

const std::string& KeyName(const std::pair<std::string, std::string>& Value) {
    return Value.first;
}

// Trimmed lines; empty ones and comments skipped; "[name]" opens a section
// (one of the same name again continues it); before the first section
// nothing counts; a key is the trimmed text before the first "=", its value
// the trimmed text after it; a key set again keeps its place and first spelling.
TContent ReferenceRead(const std::string& Text) {
    TContent Content;
    TSection* Current = nullptr;
    for (const std::string& Raw : FuzzSupport::SplitLines(Text)) {
        const std::string Line = Trim(Raw);
        if (Line.empty() || Line[0] == ';')
            continue;
        if (Line.size() >= 2 && Line.front() == '[' && Line.back() == ']') {
            const std::string Name = Trim(Line.substr(1, Line.size() - 2));
            Current = FindNamed(Content, Name, SectionName);
            if (!Current) {
                Content.push_back(TSection{Name, {}});
                Current = &Content.back();
            }
            continue;
        }
        const std::size_t Equal = Line.find('=');
        if (!Current || Equal == std::string::npos)
            continue;
        const std::string Key = Trim(Line.substr(0, Equal));
        const std::string Value = Trim(Line.substr(Equal + 1));
        if (auto* Existing = FindNamed(Current->Values, Key, KeyName))
            Existing->second = Value;
        else
            Current->Values.emplace_back(Key, Value);
    }
    return Content;
}

std::string ReferenceWrite(const TContent& Content) {
    std::string Text;
    for (const TSection& Section : Content) {
        Text += "[" + Section.Name + "]\r\n";
        for (const auto& Value : Section.Values)
            Text += Value.first + "=" + Value.second + "\r\n";
        Text += "\r\n";
    }
    return Text;
}

bool SameContent(const TContent& A, const TContent& B) {
    if (A.size() != B.size())
        return false;
    for (std::size_t Index = 0; Index < A.size(); ++Index) {
        if (A[Index].Name != B[Index].Name || A[Index].Values != B[Index].Values)
            return false;
    }
    return true;
}

// Every section and key of Content reads back from the store, in any letter case.
void CheckStoreHolds(Gui_inifile::TMemIniFile& Store, const TContent& Content) {
    // No value holds a line break, so this default never passes for one.
    const std::string Absent = "\n";
    for (const TSection& Section : Content) {
        FUZZ_CHECK(Store.SectionExists(Section.Name));
        FUZZ_CHECK(Store.SectionExists(Folded(Section.Name)));
        for (const auto& Value : Section.Values) {
            FUZZ_CHECK(Store.ValueExists(Section.Name, Value.first));
            FUZZ_CHECK(Store.ReadString(Section.Name, Value.first, Absent) == Value.second);
            FUZZ_CHECK(Store.ReadString(Folded(Section.Name), Folded(Value.first), Absent) ==
                       Value.second);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* Data, std::size_t Size) {
    const std::string Text = FuzzSupport::FromBytes(Data, Size);
    const TContent Expected = ReferenceRead(Text);

    // No file of this name exists: the store starts empty and reads the text.
    Gui_inifile::TMemIniFile Store("/nonexistent/tovel-fuzz/Settings.ini");
    Store.SetText(Text);
    CheckStoreHolds(Store, Expected);
    const std::string Written = Store.GetText();
    FUZZ_CHECK(Written == ReferenceWrite(Expected));

    Gui_inifile::TMemIniFile Again("/nonexistent/tovel-fuzz/Settings.ini");
    Again.SetText(Written);
    FUZZ_CHECK(SameContent(ReferenceRead(Written), Expected));
    CheckStoreHolds(Again, Expected);
    FUZZ_CHECK(Again.GetText() == Written);
    return 0;
}
