// The put record's parser on any bytes: no crash; what it accepts reads back
// the same from its own text; every line of an accepted text is one node of
// its trees; and every path it names passes rules checked here apart from
// the unit: a drive letter first, then names no system would take for
// anything but a plain name below it.
#include "engine/Engine_record.h"
#include "fuzz/FuzzSupport.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Engine_record::TRecordNode;

bool ReferenceName(const std::string& Name) {
    if (Name.empty() || Name == "." || Name == ".." || Name.back() == '.' || Name.back() == ' ')
        return false;
    for (unsigned char C : Name)
        if (C < 0x20 || std::strchr("<>:\"/\\|?*", C))
            return false;
    std::string Base;
    for (char C : Name.substr(0, Name.find('.')))
        Base += static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    while (!Base.empty() && Base.back() == ' ')
        Base.pop_back();
    for (const char* Device : {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"})
        if (Base == Device)
            return false;
    const bool Port = Base.size() == 4 && (Base.rfind("com", 0) == 0 || Base.rfind("lpt", 0) == 0);
    return !(Port && std::isdigit(static_cast<unsigned char>(Base[3])));
}

bool ReferencePath(const std::string& Path) {
    std::vector<std::string> Levels(1);
    for (char C : Path) {
        if (C == '\\')
            Levels.emplace_back();
        else
            Levels.back() += C;
    }
    if (Levels.size() < 2 || Levels[0].size() != 1 ||
        !std::isalpha(static_cast<unsigned char>(Levels[0][0])))
        return false;
    for (std::size_t Level = 1; Level < Levels.size(); ++Level)
        if (!ReferenceName(Levels[Level]))
            return false;
    return true;
}

// Every name below the drive levels, and the nodes below Node.
std::size_t CheckNames(const TRecordNode& Node) {
    std::size_t Count = Node.Children.size();
    for (const TRecordNode& Child : Node.Children) {
        FUZZ_CHECK(ReferenceName(Child.Name));
        FUZZ_CHECK(Child.Children.empty() || Child.Kind == TRecordNode::nkDirectory);
        Count += CheckNames(Child);
    }
    return Count;
}

// The lines after the first that are no section lines, a last empty line
// (after a final line end) not counted.
std::size_t TreeLines(const std::string& Text) {
    std::size_t Lines = 0;
    std::size_t Start = 0;
    bool First = true;
    while (Start < Text.size()) {
        std::size_t End = Text.find('\n', Start);
        if (End == std::string::npos)
            End = Text.size();
        if (!First && Text.compare(Start, 4, "put ") != 0)
            ++Lines;
        First = false;
        Start = End + 1;
    }
    return Lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* Data, std::size_t Size) {
    const std::string Text = FuzzSupport::FromBytes(Data, Size);
    Engine_record::TRecord Record;
    if (!Engine_record::ParseRecord(Text, Record)) {
        FUZZ_CHECK(Record.Puts.empty());
        return 0;
    }
    FUZZ_CHECK(!Record.Puts.empty());
    std::size_t Nodes = 0;
    for (const Engine_record::TPutSection& Section : Record.Puts) {
        for (const TRecordNode& Drive : Section.Tree.Children) {
            FUZZ_CHECK(Drive.Name.size() == 1 && !Drive.Item);
            FUZZ_CHECK(std::isalpha(static_cast<unsigned char>(Drive.Name[0])));
            Nodes += 1 + CheckNames(Drive);
        }
        FUZZ_CHECK(Engine_record::CountItems(Section.Tree) <= Section.Items);
        for (const std::string& Path : Engine_record::ItemPaths(Section.Tree))
            FUZZ_CHECK(ReferencePath(Path));
    }
    FUZZ_CHECK(Nodes == TreeLines(Text));

    const std::string Written = Engine_record::FormatRecord(Record);
    Engine_record::TRecord Again;
    FUZZ_CHECK(Engine_record::ParseRecord(Written, Again));
    FUZZ_CHECK(Engine_record::FormatRecord(Again) == Written);
    FUZZ_CHECK(Again.Puts.size() == Record.Puts.size());
    for (std::size_t Each = 0; Each < Record.Puts.size(); ++Each) {
        FUZZ_CHECK(Again.Puts[Each].Time == Record.Puts[Each].Time);
        FUZZ_CHECK(Again.Puts[Each].Id == Record.Puts[Each].Id);
        FUZZ_CHECK(Engine_record::ItemPaths(Again.Puts[Each].Tree) ==
                   Engine_record::ItemPaths(Record.Puts[Each].Tree));
    }
    return 0;
}
