#include "engine/Engine_record.h"

#include "vek/Vek_string.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>

#ifdef _WIN32
#include "base/Base_file.h"
#include "base/Base_system.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"
#include "vek/Vek_sync.h"

#include <windows.h>

#include <cstdio>
#endif

namespace Engine_record {

const char RecordFileName[] = "TovelBin.record";

namespace {

const char Header[] = "Tovel Bin put record 1";
const char NewRecordSuffix[] = ".new";
const char LineEnd[] = "\r\n";
const char PathDelimiter = '\\';
const char ItemMark = '*';
const char LinkMark = '>';
const char UnlistedMark = '?';
// The last word of a section line whose items' contents are still to be
// listed.
const char ListingWord[] = "listing";
const char SizeMark = '\t';
// Deeper than any path the shell can move; it bounds the recursion over a tree.
const std::size_t MaxDepth = 1024;
// 255 UTF-16 units, the longest name a file system takes, in at most 1020 bytes.
const std::size_t MaxNameBytes = 1020;
const std::size_t MaxIdLength = 64;

const std::uint64_t TicksPerSecond = 10000000;
const std::uint64_t SecondsPerDay = 86400;
// From 1601-01-01, where a FILETIME starts, to 1970-01-01.
const std::int64_t DaysBefore1970 = 134774;

char FoldCase(char C) {
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

std::string Folded(const std::string& Text) {
    std::string Result = Text;
    std::transform(Result.begin(), Result.end(), Result.begin(), FoldCase);
    return Result;
}

bool IsAsciiLetter(char C) {
    return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

// The system opens a device for these names, whatever the extension and
// blanks before it.
bool IsDeviceName(const std::string& Name) {
    std::string Base = Folded(Name.substr(0, Name.find('.')));
    while (!Base.empty() && Base.back() == ' ')
        Base.pop_back();
    for (const char* Device : {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"})
        if (Base == Device)
            return true;
    return Base.size() == 4 && (Base.compare(0, 3, "com") == 0 || Base.compare(0, 3, "lpt") == 0) &&
           IsDigit(Base[3]);
}

bool ParseNumber(const std::string& Text, std::uint64_t& Value) {
    if (Text.empty() || Text.size() > 20)
        return false;
    Value = 0;
    for (char C : Text) {
        if (!IsDigit(C))
            return false;
        const std::uint64_t Digit = static_cast<std::uint64_t>(C - '0');
        if (Value > (UINT64_MAX - Digit) / 10)
            return false;
        Value = Value * 10 + Digit;
    }
    return true;
}

bool IsSafeId(const std::string& Id) {
    return !Id.empty() && Id.size() <= MaxIdLength && std::all_of(Id.begin(), Id.end(), [](char C) {
        return IsDigit(C) || IsAsciiLetter(C) || C == '-';
    });
}

const char* StateName(TPutState State) {
    switch (State) {
    case TPutState::psBegun:
        return "begun";
    case TPutState::psInterrupted:
        return "interrupted";
    default:
        return "done";
    }
}

bool ParseState(const std::string& Text, TPutState& State) {
    for (TPutState Each : {TPutState::psBegun, TPutState::psDone, TPutState::psInterrupted}) {
        if (Text == StateName(Each)) {
            State = Each;
            return true;
        }
    }
    return false;
}

// Days since 1970-01-01 and the civil date, both ways (the proleptic
// Gregorian calendar, as FILETIME counts it).
void CivilFromDays(std::int64_t Days, std::int64_t& Year, unsigned& Month, unsigned& Day) {
    Days += 719468;
    const std::int64_t Era = (Days >= 0 ? Days : Days - 146096) / 146097;
    const auto DayOfEra = static_cast<unsigned>(Days - Era * 146097);
    const unsigned YearOfEra =
        (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
    const unsigned DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
    const unsigned ShiftedMonth = (5 * DayOfYear + 2) / 153;
    Day = DayOfYear - (153 * ShiftedMonth + 2) / 5 + 1;
    Month = ShiftedMonth < 10 ? ShiftedMonth + 3 : ShiftedMonth - 9;
    Year = static_cast<std::int64_t>(YearOfEra) + Era * 400 + (Month <= 2 ? 1 : 0);
}

std::int64_t DaysFromCivil(std::int64_t Year, unsigned Month, unsigned Day) {
    Year -= Month <= 2 ? 1 : 0;
    const std::int64_t Era = (Year >= 0 ? Year : Year - 399) / 400;
    const auto YearOfEra = static_cast<unsigned>(Year - Era * 400);
    const unsigned DayOfYear = (153 * (Month > 2 ? Month - 3 : Month + 9) + 2) / 5 + Day - 1;
    const unsigned DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
    return Era * 146097 + static_cast<std::int64_t>(DayOfEra) - 719468;
}

unsigned DaysInMonth(std::int64_t Year, unsigned Month) {
    static const unsigned Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool Leap = (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
    return Month == 2 && Leap ? 29 : Days[Month - 1];
}

// The value of Length digits at Start of Text, or false.
bool DigitsAt(const std::string& Text, std::size_t Start, std::size_t Length,
              std::uint64_t& Value) {
    return ParseNumber(Text.substr(Start, Length), Value);
}

void FormatNode(const TRecordNode& Node, std::size_t Depth, std::string& Out) {
    Out.append(Depth, '\t');
    if (Node.Item)
        Out += ItemMark;
    Out += Node.Name;
    switch (Node.Kind) {
    case TRecordNode::nkFile:
        Out += SizeMark;
        Out += std::to_string(Node.Size);
        break;
    case TRecordNode::nkLink:
        Out += LinkMark;
        break;
    default:
        Out += PathDelimiter;
        if (Node.Unlisted)
            Out += UnlistedMark;
        break;
    }
    Out += LineEnd;
    for (const TRecordNode& Child : Node.Children)
        FormatNode(Child, Depth + 1, Out);
}

// Reads a record line by line; a tree line goes below the directory that
// is open at its depth.
class TRecordParser {
public:
    explicit TRecordParser(const std::string& Text) : FText(Text) {}

    bool Parse(TRecord& Record) {
        std::string Line;
        if (!NextLine(Line) || Line != Header)
            return false;
        while (NextLine(Line)) {
            if (Line.compare(0, 4, "put ") == 0) {
                if (!Record.Puts.empty() && !SectionAgrees())
                    return false;
                Record.Puts.emplace_back();
                if (!SectionLine(Line, Record.Puts.back()))
                    return false;
            } else if (Record.Puts.empty() || !TreeLine(Line)) {
                return false;
            }
        }
        return !Record.Puts.empty() && SectionAgrees();
    }

private:
    struct TOpenLevel {
        TRecordNode* Node;
        bool InItem;
    };

    // Lines end in LF, CR LF taken as one; a line end at the very end adds
    // no empty line.
    bool NextLine(std::string& Line) {
        if (FPosition >= FText.size())
            return false;
        std::size_t End = FText.find('\n', FPosition);
        if (End == std::string::npos)
            End = FText.size();
        Line.assign(FText, FPosition, End - FPosition);
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        FPosition = End + 1;
        return true;
    }

    // "put <id> <time> <state> items <n> files <n> bytes <n> [listing]",
    // single blanks.
    bool SectionLine(const std::string& Line, TPutSection& Section) {
        std::vector<std::string> Words;
        std::size_t Start = 0;
        for (;;) {
            const std::size_t Blank = Line.find(' ', Start);
            Words.push_back(Line.substr(Start, Blank - Start));
            if (Blank == std::string::npos || Words.size() > 11)
                break;
            Start = Blank + 1;
        }
        std::uint64_t Items = 0;
        Section.Listed = Words.size() == 10;
        if ((!Section.Listed && (Words.size() != 11 || Words[10] != ListingWord)) ||
            Words[4] != "items" || Words[6] != "files" || Words[8] != "bytes" ||
            !IsSafeId(Words[1]) || !ParseTime(Words[2], Section.Time) ||
            !ParseState(Words[3], Section.State) || !ParseNumber(Words[5], Items) ||
            !ParseNumber(Words[7], FFiles) || !ParseNumber(Words[9], FBytes))
            return false;
        Section.Id = Words[1];
        Section.Items = static_cast<std::size_t>(Items);
        if (Section.Items != Items)
            return false;
        Section.Tree = TRecordNode();
        FSection = &Section;
        FOpen.assign(1, TOpenLevel{&Section.Tree, false});
        FFilesSeen = 0;
        FBytesSeen = 0;
        FItemsSeen = 0;
        return true;
    }

    bool TreeLine(const std::string& Line) {
        const std::size_t Depth = Line.find_first_not_of('\t');
        // A level may not be skipped, and nothing lies below a file or link.
        if (Depth == std::string::npos || Depth >= FOpen.size() || Depth >= MaxDepth)
            return false;
        FOpen.resize(Depth + 1);
        std::size_t Start = Depth;
        TRecordNode Node;
        if (Line[Start] == ItemMark) {
            Node.Item = true;
            ++Start;
        }
        const std::size_t Tab = Line.find(SizeMark, Start);
        if (Tab != std::string::npos) {
            Node.Kind = TRecordNode::nkFile;
            Node.Name = Line.substr(Start, Tab - Start);
            if (!ParseNumber(Line.substr(Tab + 1), Node.Size))
                return false;
        } else if (Line.size() > Start && Line.back() == PathDelimiter) {
            Node.Kind = TRecordNode::nkDirectory;
            Node.Name = Line.substr(Start, Line.size() - 1 - Start);
        } else if (Line.size() > Start + 1 && Line.back() == UnlistedMark &&
                   Line[Line.size() - 2] == PathDelimiter) {
            Node.Kind = TRecordNode::nkDirectory;
            Node.Unlisted = true;
            Node.Name = Line.substr(Start, Line.size() - 2 - Start);
        } else if (Line.size() > Start && Line.back() == LinkMark) {
            Node.Kind = TRecordNode::nkLink;
            Node.Name = Line.substr(Start, Line.size() - 1 - Start);
        } else {
            return false;
        }
        if (Depth == 0) {
            if (Node.Item || Node.Kind != TRecordNode::nkDirectory || Node.Name.size() != 1 ||
                !IsAsciiLetter(Node.Name[0]))
                return false;
        } else if (!IsSafeName(Node.Name)) {
            return false;
        }
        const TOpenLevel Parent = FOpen[Depth];
        // An item never lies below another: it would move with that one.
        if (Node.Item && Parent.InItem)
            return false;
        if (!Count(Node))
            return false;
        // Nothing is known below a level that could not be listed.
        const bool Directory = Node.Kind == TRecordNode::nkDirectory && !Node.Unlisted;
        const bool Item = Node.Item;
        Parent.Node->Children.push_back(std::move(Node));
        if (Directory)
            FOpen.push_back(TOpenLevel{&Parent.Node->Children.back(), Parent.InItem || Item});
        return true;
    }

    bool Count(const TRecordNode& Node) {
        FItemsSeen += Node.Item ? 1 : 0;
        if (Node.Kind != TRecordNode::nkFile)
            return true;
        ++FFilesSeen;
        if (FBytesSeen > UINT64_MAX - Node.Size)
            return false;
        FBytesSeen += Node.Size;
        return true;
    }

    bool SectionAgrees() const {
        return FFilesSeen == FFiles && FBytesSeen == FBytes && FItemsSeen <= FSection->Items;
    }

    const std::string& FText;
    std::size_t FPosition = 0;
    TPutSection* FSection = nullptr;
    std::vector<TOpenLevel> FOpen;
    std::uint64_t FFiles = 0;
    std::uint64_t FBytes = 0;
    std::uint64_t FFilesSeen = 0;
    std::uint64_t FBytesSeen = 0;
    std::uint64_t FItemsSeen = 0;
};

// A path's levels, or none when one of them is empty.
std::vector<std::string> LevelsOf(const std::string& Path) {
    std::vector<std::string> Levels;
    std::size_t Start = 0;
    for (;;) {
        const std::size_t End = Path.find(PathDelimiter, Start);
        Levels.push_back(Path.substr(Start, End - Start));
        if (Levels.back().empty())
            return {};
        if (End == std::string::npos)
            return Levels;
        Start = End + 1;
    }
}

bool CanHold(const std::vector<std::string>& Levels) {
    if (Levels.size() < 2 || Levels.size() > MaxDepth || Levels[0].size() != 1 ||
        !IsAsciiLetter(Levels[0][0]))
        return false;
    return std::all_of(Levels.begin() + 1, Levels.end(), IsSafeName);
}

// A key that sorts paths level by level, letter case aside: the delimiter
// becomes a byte below every byte a name may hold.
std::string SortKey(const std::string& Path) {
    std::string Key = Folded(Path);
    std::replace(Key.begin(), Key.end(), PathDelimiter, '\x01');
    return Key;
}

bool SameKind(const TRecordNode& A, const TRecordNode& B) {
    return A.Kind == B.Kind;
}

// Intersects Recorded's children with Actual's into Into; true when an
// item stays among them or below them.
bool IntersectChildren(const TRecordNode& Recorded, const TRecordNode& Actual, bool InItem,
                       TRecordNode& Into) {
    std::unordered_map<std::string, const TRecordNode*> ByName;
    ByName.reserve(Actual.Children.size());
    for (const TRecordNode& Child : Actual.Children)
        ByName.emplace(Folded(Child.Name), &Child);
    bool HoldsItem = false;
    for (const TRecordNode& Child : Recorded.Children) {
        const auto Found = ByName.find(Folded(Child.Name));
        if (Found == ByName.end() || !SameKind(Child, *Found->second))
            continue;
        TRecordNode Kept;
        Kept.Name = Child.Name;
        Kept.Kind = Child.Kind;
        Kept.Item = Child.Item;
        Kept.Size = Found->second->Size;
        const bool Below = IntersectChildren(Child, *Found->second, InItem || Child.Item, Kept);
        if (InItem || Child.Item || Below) {
            HoldsItem = HoldsItem || Child.Item || Below;
            Into.Children.push_back(std::move(Kept));
        }
    }
    return HoldsItem;
}

void CollectItems(const TRecordNode& Node, const std::string& Path,
                  std::vector<std::string>& Paths) {
    for (const TRecordNode& Child : Node.Children) {
        const std::string ChildPath = Path.empty() ? Child.Name : Path + PathDelimiter + Child.Name;
        if (Child.Item)
            Paths.push_back(ChildPath);
        else
            CollectItems(Child, ChildPath, Paths);
    }
}

} // namespace

bool IsRecordFile(const std::string& Name) {
    const std::string Given = Folded(Name);
    const std::string Record = Folded(RecordFileName);
    return Given == Record || Given == Record + NewRecordSuffix;
}

bool IsSafeName(const std::string& Name) {
    if (Name.empty() || Name.size() > MaxNameBytes || Name.back() == '.' || Name.back() == ' ')
        return false;
    for (char C : Name) {
        if (static_cast<unsigned char>(C) < 0x20 || std::strchr("<>:\"/\\|?*", C))
            return false;
    }
    return Vek_string::IsValidUtf8(Name) && !IsDeviceName(Name);
}

std::string FormatTime(std::uint64_t Time) {
    const std::uint64_t Seconds = Time / TicksPerSecond;
    const std::uint64_t SecondOfDay = Seconds % SecondsPerDay;
    std::int64_t Year = 0;
    unsigned Month = 0;
    unsigned Day = 0;
    CivilFromDays(static_cast<std::int64_t>(Seconds / SecondsPerDay) - DaysBefore1970, Year, Month,
                  Day);
    char Text[64];
    std::snprintf(
        Text, sizeof Text, "%04lld-%02u-%02uT%02u:%02u:%02u.%07lluZ", static_cast<long long>(Year),
        Month, Day, static_cast<unsigned>(SecondOfDay / 3600),
        static_cast<unsigned>(SecondOfDay / 60 % 60), static_cast<unsigned>(SecondOfDay % 60),
        static_cast<unsigned long long>(Time % TicksPerSecond));
    return Text;
}

bool ParseTime(const std::string& Text, std::uint64_t& Time) {
    std::uint64_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Fraction = 0;
    if (Text.size() != 28 || Text[4] != '-' || Text[7] != '-' || Text[10] != 'T' ||
        Text[13] != ':' || Text[16] != ':' || Text[19] != '.' || Text[27] != 'Z' ||
        !DigitsAt(Text, 0, 4, Year) || !DigitsAt(Text, 5, 2, Month) || !DigitsAt(Text, 8, 2, Day) ||
        !DigitsAt(Text, 11, 2, Hour) || !DigitsAt(Text, 14, 2, Minute) ||
        !DigitsAt(Text, 17, 2, Second) || !DigitsAt(Text, 20, 7, Fraction))
        return false;
    if (Year < 1601 || Month < 1 || Month > 12 || Day < 1 ||
        Day > DaysInMonth(static_cast<std::int64_t>(Year), static_cast<unsigned>(Month)) ||
        Hour > 23 || Minute > 59 || Second > 59)
        return false;
    const std::int64_t Days =
        DaysFromCivil(static_cast<std::int64_t>(Year), static_cast<unsigned>(Month),
                      static_cast<unsigned>(Day)) +
        DaysBefore1970;
    Time =
        ((static_cast<std::uint64_t>(Days) * SecondsPerDay + Hour * 3600 + Minute * 60 + Second) *
         TicksPerSecond) +
        Fraction;
    return true;
}

std::string FormatRecord(const TRecord& Record) {
    std::string Text = std::string(Header) + LineEnd;
    for (const TPutSection& Section : Record.Puts) {
        std::uint64_t Files = 0;
        std::uint64_t Bytes = 0;
        CountFiles(Section.Tree, Files, Bytes);
        const std::size_t Items = std::max(Section.Items, CountItems(Section.Tree));
        Text += "put " + Section.Id + " " + FormatTime(Section.Time) + " " +
                StateName(Section.State) + " items " + std::to_string(Items) + " files " +
                std::to_string(Files) + " bytes " + std::to_string(Bytes) +
                (Section.Listed ? "" : std::string(" ") + ListingWord) + LineEnd;
        for (const TRecordNode& Drive : Section.Tree.Children)
            FormatNode(Drive, 0, Text);
    }
    return Text;
}

bool ParseRecord(const std::string& Text, TRecord& Record) {
    TRecord Parsed;
    Record.Puts.clear();
    if (!TRecordParser(Text).Parse(Parsed))
        return false;
    Record = std::move(Parsed);
    return true;
}

void CountFiles(const TRecordNode& Tree, std::uint64_t& Files, std::uint64_t& Bytes) {
    for (const TRecordNode& Child : Tree.Children) {
        if (Child.Kind == TRecordNode::nkFile) {
            ++Files;
            Bytes += Child.Size;
        }
        CountFiles(Child, Files, Bytes);
    }
}

std::size_t CountItems(const TRecordNode& Tree) {
    std::size_t Count = 0;
    for (const TRecordNode& Child : Tree.Children)
        Count += Child.Item ? 1 : CountItems(Child);
    return Count;
}

std::vector<std::string> ItemPaths(const TRecordNode& Tree) {
    std::vector<std::string> Paths;
    CollectItems(Tree, std::string(), Paths);
    return Paths;
}

// Sorted level by level, the items meet their levels in order: each level
// is the last child made at its depth or a new one.
TRecordNode BuildTree(std::vector<TRecordItem> Items, std::size_t& Refused) {
    Refused = 0;
    struct TSorted {
        std::string Key;
        std::vector<std::string> Levels;
        TRecordNode* Node;
    };
    std::vector<TSorted> Sorted;
    Sorted.reserve(Items.size());
    for (TRecordItem& Item : Items) {
        std::vector<std::string> Levels = LevelsOf(Item.Path);
        if (!CanHold(Levels)) {
            ++Refused;
            continue;
        }
        Sorted.push_back(TSorted{SortKey(Item.Path), std::move(Levels), &Item.Node});
    }
    std::stable_sort(Sorted.begin(), Sorted.end(),
                     [](const TSorted& A, const TSorted& B) { return A.Key < B.Key; });
    TRecordNode Tree;
    for (TSorted& Each : Sorted) {
        TRecordNode* At = &Tree;
        bool Held = true;
        for (std::size_t Level = 0; Level < Each.Levels.size(); ++Level) {
            const bool Last = Level + 1 == Each.Levels.size();
            const std::string& Name = Each.Levels[Level];
            TRecordNode* Previous = At->Children.empty() ? nullptr : &At->Children.back();
            if (Previous && Folded(Previous->Name) == Folded(Name)) {
                // The same item again is held once; anything below an item,
                // or an item where a level already leads on, is refused.
                if (Previous->Item || Last || Previous->Kind != TRecordNode::nkDirectory) {
                    Held = Previous->Item && Last;
                    break;
                }
                At = Previous;
                continue;
            }
            if (Last) {
                TRecordNode Node = std::move(*Each.Node);
                Node.Name = Name;
                Node.Item = true;
                At->Children.push_back(std::move(Node));
            } else {
                TRecordNode LevelNode;
                LevelNode.Name = Name;
                At->Children.push_back(std::move(LevelNode));
                At = &At->Children.back();
            }
        }
        Refused += Held ? 0 : 1;
    }
    return Tree;
}

TRecordNode Intersect(const TRecordNode& Recorded, const TRecordNode& Actual) {
    TRecordNode Result;
    Result.Name = Recorded.Name;
    IntersectChildren(Recorded, Actual, false, Result);
    return Result;
}

const TPutSection* NewestSection(const TRecord& Record) {
    const TPutSection* Newest = nullptr;
    for (const TPutSection& Section : Record.Puts)
        if (!Newest || Section.Time >= Newest->Time)
            Newest = &Section;
    return Newest;
}

#ifdef _WIN32

namespace {

const char PutMutexPrefix[] = "Parvex.TovelBin.Put.";
// More than a record of a million paths needs; a larger file is no record.
const std::uint64_t MaxRecordBytes = 512ull << 20;
const char* const WriteFailed = "The program could not write the put record.";

TRecordNode::TKind KindOf(DWORD Attributes) {
    if (Attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return TRecordNode::nkLink;
    return (Attributes & FILE_ATTRIBUTE_DIRECTORY) ? TRecordNode::nkDirectory : TRecordNode::nkFile;
}

TRecordNode ItemNode(DWORD Attributes, std::uint64_t Size) {
    TRecordNode Node;
    Node.Kind = KindOf(Attributes);
    if (Node.Kind == TRecordNode::nkFile)
        Node.Size = Size;
    Node.Unlisted = Node.Kind == TRecordNode::nkDirectory;
    return Node;
}

// Thrown through a listing once its Stop is set.
struct TStopped {};

void ReadLevel(const std::string& Path, std::size_t Depth, TRecordNode& Node,
               const std::atomic<bool>* Stop);

// The listing's names come in the process code page; a name that converts
// to no safe one (a character the code page lacks) is no record's business.
void ReadInto(const std::string& Path, std::size_t Depth, TRecordNode& Node, bool SkipRecordFiles,
              const std::atomic<bool>* Stop = nullptr) {
    if (Stop && *Stop)
        throw TStopped();
    Vek_file::ListDirectory(Path, [&](const Vek_file::TFindData& Data) {
        if (SkipRecordFiles && IsRecordFile(Data.Name))
            return;
        TRecordNode Child;
        Child.Name = ToRecordText(Data.Name);
        Child.Kind = KindOf(Data.Attributes);
        if (!IsSafeName(Child.Name) || Depth >= MaxDepth)
            return;
        if (Child.Kind == TRecordNode::nkFile)
            Child.Size = Data.Size;
        else if (Child.Kind == TRecordNode::nkDirectory)
            ReadLevel(Path + PathDelimiter + Data.Name, Depth + 1, Child, Stop);
        Node.Children.push_back(std::move(Child));
    });
}

// A level that cannot be listed (no access) is kept as unlisted: the shell
// moves it all the same, and the record says so.
void ReadLevel(const std::string& Path, std::size_t Depth, TRecordNode& Node,
               const std::atomic<bool>* Stop) {
    try {
        ReadInto(Path, Depth, Node, false, Stop);
    } catch (const Vek_file::EFileError&) {
        Node.Children.clear();
        Node.Unlisted = true;
    }
}

// What stands at Path as an item of a record, its contents not read: false
// when nothing does. A directory stays unlisted until its listing.
bool ReadItem(const std::string& Path, TRecordNode& Node) {
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExW(Vek_codepage::ToWide(Path).c_str(), GetFileExInfoStandard, &Data))
        return false;
    Node = ItemNode(Data.dwFileAttributes,
                    (static_cast<std::uint64_t>(Data.nFileSizeHigh) << 32) | Data.nFileSizeLow);
    return true;
}

bool HoldsDirectory(const TRecordNode& Tree) {
    return std::any_of(Tree.Children.begin(), Tree.Children.end(), [](const TRecordNode& Child) {
        return Child.Item ? Child.Kind == TRecordNode::nkDirectory : HoldsDirectory(Child);
    });
}

// The put's time and process: no two puts that run at once share an id.
std::string NewPutId(std::uint64_t Time) {
    char Text[40];
    std::snprintf(Text, sizeof Text, "%016llX-%08lX", static_cast<unsigned long long>(Time),
                  static_cast<unsigned long>(GetCurrentProcessId()));
    return Text;
}

// The path a put gives an item below its entry: its drive's colon dropped.
std::string RelativePath(const std::string& Source) {
    const std::size_t Colon = Source.find(':');
    return Colon == std::string::npos ? Source : Source.substr(0, Colon) + Source.substr(Colon + 1);
}

} // namespace

std::string ToRecordText(const std::string& Text) {
    return Vek_codepage::ToUtf8(Text);
}

std::string FromRecordText(const std::string& Text) {
    return Vek_codepage::FromUtf8(Text);
}

std::string RecordPath(const std::string& EntryPath) {
    return EntryPath + PathDelimiter + RecordFileName;
}

bool ReadRecord(const std::string& EntryPath, TRecord& Record) {
    Record.Puts.clear();
    std::string Bytes;
    return Base_file::ReadWholeFile(RecordPath(EntryPath), Bytes, Base_file::TSharing::shAnyone,
                                    MaxRecordBytes) &&
           ParseRecord(Bytes, Record);
}

// The new text goes to a hidden file of a fixed name beside the record and
// then takes the record's place: a put killed in between leaves the old
// record whole, and its leftover is overwritten by the next write.
void WriteRecord(const std::string& EntryPath, const TRecord& Record) {
    const std::string Target = RecordPath(EntryPath);
    if (!Base_file::WriteFileAtomically(Target, Target + NewRecordSuffix, FormatRecord(Record),
                                        true))
        throw Base_system::Exception(WriteFailed);
}

bool RemoveRecord(const std::string& EntryPath) {
    const std::string Target = RecordPath(EntryPath);
    DeleteFileW(Vek_codepage::ToWide(Target + NewRecordSuffix).c_str());
    return DeleteFileW(Vek_codepage::ToWide(Target).c_str()) ||
           GetLastError() == ERROR_FILE_NOT_FOUND;
}

TRecordNode ReadTree(const std::string& Path) {
    TRecordNode Tree;
    ReadInto(Path, 0, Tree, false);
    return Tree;
}

TRecordNode ReadEntry(const std::string& EntryPath) {
    TRecordNode Tree;
    ReadInto(EntryPath, 0, Tree, true);
    return Tree;
}

void FollowEntry(const std::string& EntryPath) {
    bool HoldsItems = false;
    Vek_file::ListDirectory(EntryPath, [&HoldsItems](const Vek_file::TFindData& Data) {
        HoldsItems = HoldsItems || !IsRecordFile(Data.Name);
    });
    if (!HoldsItems) {
        if (RemoveRecord(EntryPath))
            RemoveDirectoryW(Vek_codepage::ToWide(EntryPath).c_str());
        return;
    }
    TRecord Record;
    if (!ReadRecord(EntryPath, Record))
        return;
    const TRecordNode Actual = ReadEntry(EntryPath);
    TRecord Kept;
    for (TPutSection& Section : Record.Puts) {
        if (Section.State == TPutState::psBegun && IsPutRunning(Section)) {
            Kept.Puts.push_back(std::move(Section));
            continue;
        }
        Section.Tree = Intersect(Section.Tree, Actual);
        if (CountItems(Section.Tree) > 0)
            Kept.Puts.push_back(std::move(Section));
    }
    if (Kept.Puts.empty())
        RemoveRecord(EntryPath);
    else
        WriteRecord(EntryPath, Kept);
}

std::string PutMutexName(const std::string& Id) {
    return PutMutexPrefix + Id;
}

std::uint64_t CurrentTime() {
    FILETIME Now;
    GetSystemTimeAsFileTime(&Now);
    return Base_file::FileTimeValue(Now);
}

bool IsPutRunning(const TPutSection& Section) {
    return Vek_sync::MutexExists(PutMutexName(Section.Id));
}

bool IsBeingWritten(const std::string& EntryPath) {
    TRecord Record;
    if (!ReadRecord(EntryPath, Record))
        return false;
    return std::any_of(Record.Puts.begin(), Record.Puts.end(), [](const TPutSection& Section) {
        return Section.State == TPutState::psBegun && IsPutRunning(Section);
    });
}

bool IsUnfinished(const TPutSection& Section) {
    return Section.State == TPutState::psInterrupted ||
           (Section.State == TPutState::psBegun && !IsPutRunning(Section));
}

bool AwaitsListing(const TPutSection& Section) {
    return !Section.Listed && !(Section.State == TPutState::psBegun && IsPutRunning(Section));
}

// Each item as the entry holds it now, a directory with its contents; an
// item gone meanwhile is left out.
bool ListSection(const std::string& EntryPath, TPutSection& Section,
                 const std::atomic<bool>* Stop) {
    std::vector<TRecordItem> Items;
    for (const std::string& Path : ItemPaths(Section.Tree)) {
        TRecordItem Item;
        Item.Path = Path;
        const std::string Place = EntryPath + PathDelimiter + FromRecordText(Path);
        if (!ReadItem(Place, Item.Node))
            continue;
        if (Item.Node.Kind == TRecordNode::nkDirectory) {
            Item.Node.Unlisted = false;
            try {
                ReadLevel(Place, 0, Item.Node, Stop);
            } catch (const TStopped&) {
                return false;
            }
        }
        Items.push_back(std::move(Item));
    }
    std::size_t Refused = 0;
    Section.Tree = BuildTree(std::move(Items), Refused);
    Section.Listed = true;
    return true;
}

bool ListAwaitingSections(const std::string& EntryPath, TRecord& Record,
                          const std::atomic<bool>* Stop) {
    if (!ReadRecord(EntryPath, Record))
        return false;
    bool Listed = false;
    for (TPutSection& Section : Record.Puts) {
        if (!AwaitsListing(Section))
            continue;
        if (!ListSection(EntryPath, Section, Stop))
            return false;
        Listed = true;
    }
    return Listed;
}

TPutRecorder::TPutRecorder(const std::vector<std::string>& Sources, const TItemFacts& Facts) {
    std::vector<TRecordItem> Items;
    Items.reserve(Sources.size());
    for (const std::string& Source : Sources) {
        TRecordItem Item;
        DWORD Attributes = 0;
        std::uint64_t Size = 0;
        if (Facts && Facts(Source, Attributes, Size))
            Item.Node = ItemNode(Attributes, Size);
        else if (!ReadItem(Source, Item.Node))
            continue; // A source that is gone already is the shell's to report.
        Item.Path = ToRecordText(RelativePath(Source));
        Items.push_back(std::move(Item));
    }
    std::size_t Refused = 0;
    FSection.Tree = BuildTree(std::move(Items), Refused);
    FSection.Items = CountItems(FSection.Tree) + Refused;
    FSection.Listed = !HoldsDirectory(FSection.Tree);
    FItemPaths = ItemPaths(FSection.Tree);
}

TPutRecorder::~TPutRecorder() = default;

void TPutRecorder::Begin(const std::string& EntryPath) {
    FEntryPath = EntryPath;
    FSection.Time = CurrentTime();
    FSection.Id = NewPutId(FSection.Time);
    FSection.State = TPutState::psBegun;
    FRunning = std::make_unique<Vek_sync::TMutex>(PutMutexName(FSection.Id));
    // A record that cannot be trusted holds nothing worth keeping.
    TRecord Record;
    ReadRecord(EntryPath, Record);
    Record.Puts.push_back(FSection);
    WriteRecord(EntryPath, Record);
}

bool TPutRecorder::Complete(bool MoveSucceeded) {
    const bool Whole = EveryItemArrived();
    if (!MoveSucceeded || !Whole)
        FSection.Tree = ArrivedTree();
    FSection.State = Whole ? TPutState::psDone : TPutState::psInterrupted;
    FSection.Listed = !HoldsDirectory(FSection.Tree);
    TRecord Record;
    ReadRecord(FEntryPath, Record);
    auto Own = std::find_if(Record.Puts.rbegin(), Record.Puts.rend(),
                            [this](const TPutSection& Put) { return Put.Id == FSection.Id; });
    if (Own != Record.Puts.rend())
        *Own = FSection;
    else
        Record.Puts.push_back(FSection);
    WriteRecord(FEntryPath, Record);
    FRunning.reset();
    return !FSection.Listed;
}

bool TPutRecorder::EveryItemArrived() const {
    for (const std::string& Path : FItemPaths) {
        const std::wstring Wide =
            Vek_codepage::ToWide(FEntryPath + PathDelimiter + FromRecordText(Path));
        if (GetFileAttributesW(Wide.c_str()) == INVALID_FILE_ATTRIBUTES)
            return false;
    }
    return true;
}

TRecordNode TPutRecorder::ArrivedTree() const {
    std::vector<TRecordItem> Items;
    for (const std::string& Path : FItemPaths) {
        TRecordItem Item;
        Item.Path = Path;
        if (ReadItem(FEntryPath + PathDelimiter + FromRecordText(Path), Item.Node))
            Items.push_back(std::move(Item));
    }
    std::size_t Refused = 0;
    return BuildTree(std::move(Items), Refused);
}

#endif

} // namespace Engine_record
