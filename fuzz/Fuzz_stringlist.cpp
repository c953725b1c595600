// The string list's text splitting: CR, LF, CR LF, NUL and the end of the
// text, against a reference; one change event per assignment; the lines
// written back with CR LF read back the same.
#include "base/Base_stringlist.h"
#include "fuzz/FuzzSupport.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* Data, std::size_t Size) {
    const std::string Text = FuzzSupport::FromBytes(Data, Size);
    const std::vector<std::string> Expected = FuzzSupport::SplitLines(Text);

    Base_stringlist::TStringList List;
    int Changes = 0;
    List.OnChange = [&Changes](Base_system::TObject*) { ++Changes; };
    List.SetText(Text);
    FUZZ_CHECK(Changes == 1);
    FUZZ_CHECK(List.Strings() == Expected);
    FUZZ_CHECK(List.Count() == static_cast<std::int32_t>(Expected.size()));

    std::string Written;
    for (const std::string& Line : List.Strings())
        Written += Line + "\r\n";
    Base_stringlist::TStringList Again;
    Again.SetText(Written);
    FUZZ_CHECK(Again.Strings() == Expected);

    // Assigning the list to itself keeps it and still tells the listeners.
    List.Assign(List);
    FUZZ_CHECK(Changes == 2);
    FUZZ_CHECK(List.Strings() == Expected);
    return 0;
}
