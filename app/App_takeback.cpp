#include "app/App_takeback.h"

#include "vek/Vek_file.h"
#include "vek/Vek_string.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#ifdef _WIN32
#include "app/App_fileoperation.h"
#include "app/App_record.h"
#include "gui/Gui_application.h"
#include "vek/Vek_codepage.h"

#include <windows.h>
#include <shellapi.h>

#include <set>
#endif

namespace App_takeback {

using Base_system::Exception;

namespace {

const char PathDelimiter = '\\';

void WalkItem(const TEntryNode& Item, const std::string& InEntry, const std::string& Original,
              const TOriginQuery& Origin, TTakeBackPlan& Plan) {
    const TWalkStep Step = DecideStep(Item, Origin(Original));
    switch (Step) {
    case TWalkStep::wsMove:
    case TWalkStep::wsConflict:
        if (Step == TWalkStep::wsConflict)
            Plan.Conflicts.push_back(Plan.Sources.size());
        Plan.Sources.push_back(InEntry);
        Plan.Destinations.push_back(Original);
        break;
    case TWalkStep::wsDescend:
        for (const TEntryNode& Child : Item.Children)
            WalkItem(Child, InEntry + PathDelimiter + Child.Name,
                     Original + PathDelimiter + Child.Name, Origin, Plan);
        // After its children: the deepest directories are removed first.
        Plan.Descended.push_back(InEntry);
        break;
    }
}

// Letter case aside, byte by byte: the order of a list, not of a language.
int CompareNoCase(const std::string& A, const std::string& B) {
    const std::size_t Length = std::min(A.size(), B.size());
    for (std::size_t Index = 0; Index < Length; ++Index) {
        const int Left = std::tolower(static_cast<unsigned char>(A[Index]));
        const int Right = std::tolower(static_cast<unsigned char>(B[Index]));
        if (Left != Right)
            return Left - Right;
    }
    return A.size() < B.size() ? -1 : (A.size() > B.size() ? 1 : 0);
}

template <class T> int CompareValues(const T& A, const T& B) {
    return A < B ? -1 : (B < A ? 1 : 0);
}

int CompareColumn(const TEntryInfo& A, const TEntryInfo& B, int Column) {
    switch (Column) {
    case ecPut:
        return CompareValues(A.Created, B.Created);
    case ecItems:
        return CompareValues(A.Items, B.Items);
    case ecSize:
        return CompareValues(A.Size, B.Size);
    case ecFrom:
        return CompareNoCase(A.From, B.From);
    default:
        return CompareNoCase(A.Name, B.Name);
    }
}

std::string ItemsText(std::size_t Count) {
    return std::to_string(Count) + (Count == 1 ? " item" : " items");
}

// A path's levels between its backslashes; a double-byte character is
// never split.
std::vector<std::string> LevelsOf(const std::string& Path) {
    std::vector<std::string> Levels(1);
    for (std::size_t Index = 0; Index < Path.size();) {
        const std::size_t Length = Vek_string::CharLength(Path, Index);
        if (Length == 1 && Path[Index] == PathDelimiter)
            Levels.emplace_back();
        else
            Levels.back().append(Path, Index, Length);
        Index += Length;
    }
    return Levels;
}

// Finds nodes of one tree by their path; a directory of many children is
// looked up through a table made on its first use.
class TNodeIndex {
public:
    explicit TNodeIndex(const TEntryNode& Tree) : FTree(Tree) {}

    // The nodes from the first level down to the one at Path; none when a
    // level is not there.
    std::vector<const TEntryNode*> Find(const std::string& Path) {
        std::vector<const TEntryNode*> Chain;
        const TEntryNode* At = &FTree;
        for (const std::string& Name : LevelsOf(Path)) {
            At = Child(*At, Name);
            if (!At)
                return {};
            Chain.push_back(At);
        }
        return Chain;
    }

private:
    const TEntryNode* Child(const TEntryNode& Parent, const std::string& Name) {
        if (Name.empty())
            return nullptr;
        for (const TEntryNode& Each : Parent.Children)
            if (Each.Name == Name)
                return &Each;
        auto Table = FChildren.find(&Parent);
        if (Table == FChildren.end()) {
            Table = FChildren.emplace(&Parent, TTable()).first;
            for (const TEntryNode& Each : Parent.Children)
                Table->second.emplace(Vek_file::UpperCasePath(Each.Name), &Each);
        }
        const auto Found = Table->second.find(Vek_file::UpperCasePath(Name));
        return Found == Table->second.end() ? nullptr : Found->second;
    }

    using TTable = std::unordered_map<std::string, const TEntryNode*>;
    const TEntryNode& FTree;
    std::unordered_map<const TEntryNode*, TTable> FChildren;
};

// The items of a selection that a take back moves, in their order: each
// found in the tree below a drive directory, once, and none below another
// chosen one (it moves with that one). Each comes with its node chain.
std::vector<std::vector<const TEntryNode*>> ChosenItems(const TEntryNode& Tree,
                                                        const std::vector<std::string>& Items) {
    TNodeIndex Index(Tree);
    std::unordered_set<std::string> Named;
    for (const std::string& Item : Items)
        Named.insert(Vek_file::UpperCasePath(Item));
    std::unordered_set<std::string> Taken;
    std::vector<std::vector<const TEntryNode*>> Chosen;
    for (const std::string& Item : Items) {
        const std::string Key = Vek_file::UpperCasePath(Item);
        const std::vector<std::string> Levels = LevelsOf(Key);
        std::string Above;
        bool Below = false;
        for (std::size_t Level = 0; Level + 1 < Levels.size() && !Below; ++Level) {
            Above += (Level ? "\\" : "") + Levels[Level];
            Below = Named.count(Above) > 0;
        }
        std::vector<const TEntryNode*> Chain = Index.Find(Item);
        if (Below || Chain.size() < 2 || !IsDriveDirectory(*Chain.front()) ||
            !Taken.insert(Key).second)
            continue;
        Chosen.push_back(std::move(Chain));
    }
    return Chosen;
}

// The path of a chain's last node below Base, by the names the tree gives.
std::string ChainPath(const std::string& Base, const std::vector<const TEntryNode*>& Chain,
                      std::size_t Count) {
    std::string Path = Base;
    for (std::size_t Level = 0; Level < Count; ++Level)
        Path += PathDelimiter + Chain[Level]->Name;
    return Path;
}

// The levels between an entry and its chosen items, deepest first, then the
// entry itself: each is removed once the move has emptied it.
void AddLevels(const std::string& EntryPath,
               const std::vector<std::vector<const TEntryNode*>>& Chosen, TTakeBackPlan& Plan) {
    std::vector<std::string> Levels;
    std::unordered_set<std::string> Seen;
    for (const auto& Chain : Chosen)
        for (std::size_t Count = 1; Count < Chain.size(); ++Count) {
            std::string Level = ChainPath(EntryPath, Chain, Count);
            if (Seen.insert(Level).second)
                Levels.push_back(std::move(Level));
        }
    std::stable_sort(Levels.begin(), Levels.end(), [](const std::string& A, const std::string& B) {
        return A.size() > B.size();
    });
    Plan.Descended.insert(Plan.Descended.end(), Levels.begin(), Levels.end());
    Plan.Descended.push_back(EntryPath);
}

void AddMissingDrive(char Letter, TTakeBackPlan& Plan) {
    if (std::find(Plan.MissingDrives.begin(), Plan.MissingDrives.end(), Letter) ==
        Plan.MissingDrives.end())
        Plan.MissingDrives.push_back(Letter);
}

} // namespace

std::vector<TTakeBackSelection> WholeEntries(const std::vector<std::string>& EntryPaths) {
    std::vector<TTakeBackSelection> Selections;
    for (const std::string& Path : EntryPaths)
        Selections.push_back(TTakeBackSelection{Path, {}});
    return Selections;
}

const TEntryNode* FindNode(const TEntryNode& Tree, const std::string& Path) {
    const std::vector<const TEntryNode*> Chain = TNodeIndex(Tree).Find(Path);
    return Chain.empty() ? nullptr : Chain.back();
}

void PlanItems(const std::string& EntryPath, const TEntryNode& Tree,
               const std::vector<std::string>& Items, const TOriginQuery& Origin,
               const TDriveQuery& DriveAvailable, TTakeBackPlan& Plan) {
    const std::vector<std::vector<const TEntryNode*>> Chosen = ChosenItems(Tree, Items);
    for (const auto& Chain : Chosen) {
        const std::string& Drive = Chain.front()->Name;
        const char Letter = static_cast<char>(std::toupper(static_cast<unsigned char>(Drive[0])));
        if (!DriveAvailable(Letter)) {
            ++Plan.StayedItems;
            AddMissingDrive(Letter, Plan);
            continue;
        }
        const std::string InEntry = ChainPath(EntryPath, Chain, Chain.size());
        const std::string Original =
            InEntry.substr(EntryPath.size() + 1, 1) + ":" + InEntry.substr(EntryPath.size() + 2);
        WalkItem(*Chain.back(), InEntry, Original, Origin, Plan);
    }
    AddLevels(EntryPath, Chosen, Plan);
}

void PlanTakeBackTo(const std::string& EntryPath, const TEntryNode& Tree,
                    const std::vector<std::string>& Items, const std::string& Folder,
                    const TOriginQuery& Origin, TTakeBackPlan& Plan) {
    const std::vector<std::vector<const TEntryNode*>> Chosen = ChosenItems(Tree, Items);
    std::unordered_set<std::string> Bound;
    for (const std::string& Destination : Plan.Destinations)
        Bound.insert(Vek_file::UpperCasePath(Destination));
    const std::string Base = Vek_file::IncludeTrailingDelimiter(Folder, PathDelimiter);
    for (const auto& Chain : Chosen) {
        const std::string Target = Base + Chain.back()->Name;
        if (!Bound.insert(Vek_file::UpperCasePath(Target)).second) {
            ++Plan.SameNameItems;
            continue;
        }
        if (Origin(Target) != TOriginKind::okMissing)
            Plan.Conflicts.push_back(Plan.Sources.size());
        Plan.Sources.push_back(ChainPath(EntryPath, Chain, Chain.size()));
        Plan.Destinations.push_back(Target);
    }
    AddLevels(EntryPath, Chosen, Plan);
}

std::vector<std::string> DriveItems(const TEntryNode& Tree) {
    std::vector<std::string> Items;
    for (const TEntryNode& Drive : Tree.Children) {
        if (!IsDriveDirectory(Drive))
            continue;
        for (const TEntryNode& Child : Drive.Children)
            Items.push_back(Drive.Name + PathDelimiter + Child.Name);
    }
    return Items;
}

TWalkStep DecideStep(const TEntryNode& Item, TOriginKind Origin) {
    if (Origin == TOriginKind::okMissing)
        return TWalkStep::wsMove;
    // A link is never followed: it goes back as a link, or asks.
    if (Origin == TOriginKind::okDirectory && Item.Directory && !Item.ReparsePoint)
        return TWalkStep::wsDescend;
    return TWalkStep::wsConflict;
}

bool IsDriveDirectory(const TEntryNode& Child) {
    return Child.Directory && !Child.ReparsePoint && Child.Name.size() == 1 &&
           std::isalpha(static_cast<unsigned char>(Child.Name[0]));
}

void PlanTakeBack(const std::string& EntryPath, const TEntryNode& Tree, const TOriginQuery& Origin,
                  const TDriveQuery& DriveAvailable, TTakeBackPlan& Plan) {
    for (const TEntryNode& Drive : Tree.Children) {
        if (!IsDriveDirectory(Drive))
            continue;
        const char Letter =
            static_cast<char>(std::toupper(static_cast<unsigned char>(Drive.Name[0])));
        const std::string InDrive = EntryPath + PathDelimiter + Drive.Name;
        if (!DriveAvailable(Letter)) {
            Plan.StayedItems += Drive.Children.size();
            if (!Drive.Children.empty() &&
                std::find(Plan.MissingDrives.begin(), Plan.MissingDrives.end(), Letter) ==
                    Plan.MissingDrives.end())
                Plan.MissingDrives.push_back(Letter);
            continue;
        }
        const std::string Root = std::string(1, Drive.Name[0]) + ":";
        for (const TEntryNode& Child : Drive.Children)
            WalkItem(Child, InDrive + PathDelimiter + Child.Name, Root + PathDelimiter + Child.Name,
                     Origin, Plan);
        Plan.Descended.push_back(InDrive);
    }
    Plan.Descended.push_back(EntryPath);
}

std::uint64_t TreeSize(const TEntryNode& Tree) {
    std::uint64_t Size = Tree.Directory ? 0 : Tree.Size;
    for (const TEntryNode& Child : Tree.Children)
        Size += TreeSize(Child);
    return Size;
}

std::string StayedMessage(const TTakeBackPlan& Plan) {
    if (Plan.StayedItems == 0)
        return std::string();
    std::string Drives;
    for (std::size_t Index = 0; Index < Plan.MissingDrives.size(); ++Index) {
        if (Index > 0)
            Drives += Index + 1 == Plan.MissingDrives.size() ? " and " : ", ";
        Drives += std::string(1, Plan.MissingDrives[Index]) + ":";
    }
    const bool Several = Plan.MissingDrives.size() > 1;
    return "The program could not take back " + ItemsText(Plan.StayedItems) + ": the " +
           (Several ? "drives " : "drive ") + Drives + (Several ? " are" : " is") +
           " not available.";
}

std::string SameNameMessage(const TTakeBackPlan& Plan) {
    if (Plan.SameNameItems == 0)
        return std::string();
    return "The program could not take back " + ItemsText(Plan.SameNameItems) +
           ": items of the same name go to that folder.";
}

namespace {

std::string EntriesText(const std::vector<std::string>& EntryNames, std::size_t Items) {
    const std::string What = EntryNames.size() == 1
                                 ? "\"" + EntryNames.front() + "\""
                                 : std::to_string(EntryNames.size()) + " entries";
    return What + " (" + ItemsText(Items) + ")";
}

} // namespace

std::string TakeBackQuestion(const std::vector<std::string>& EntryNames, std::size_t Items) {
    return "Take back " + EntriesText(EntryNames, Items) + " to where they came from?";
}

std::string TakeBackToQuestion(const std::vector<std::string>& EntryNames, std::size_t Items,
                               const std::string& Folder) {
    return "Take back " + EntriesText(EntryNames, Items) + " to \"" + Folder + "\"?";
}

std::string UnfinishedMessage(const std::vector<TUnfinishedPut>& Puts) {
    std::string Text;
    for (const TUnfinishedPut& Put : Puts) {
        if (!Text.empty())
            Text += "\n";
        Text += "The put into \"" + Put.EntryName +
                "\" did not finish: " + std::to_string(Put.Arrived) + " of its " +
                ItemsText(Put.Items) + " arrived in the entry.";
    }
    return Text;
}

std::string ReplaceQuestion(const std::string& Destination) {
    return "Something is already at \"" + Destination +
           "\". Replace it with the item taken back from the bin?";
}

std::string FromText(const std::vector<std::string>& Destinations) {
    if (Destinations.empty())
        return std::string();
    if (Destinations.size() == 1)
        return Destinations.front();
    return Destinations.front() + " and " + std::to_string(Destinations.size() - 1) + " more";
}

std::string FormatKilobytes(std::uint64_t Size, const std::string& Separator) {
    const std::string Digits = std::to_string(Size / 1024 + (Size % 1024 != 0 ? 1 : 0));
    std::string Grouped;
    for (std::size_t Index = 0; Index < Digits.size(); ++Index) {
        if (Index > 0 && (Digits.size() - Index) % 3 == 0)
            Grouped += Separator;
        Grouped += Digits[Index];
    }
    return Grouped + " KB";
}

void SortEntries(std::vector<TEntryInfo>& Entries, int Column, bool Descending) {
    std::stable_sort(Entries.begin(), Entries.end(),
                     [Column, Descending](const TEntryInfo& A, const TEntryInfo& B) {
                         const int Order = CompareColumn(A, B, Column);
                         if (Order != 0)
                             return Descending ? Order > 0 : Order < 0;
                         return CompareNoCase(A.Name, B.Name) < 0;
                     });
}

#ifdef _WIN32

using App_fileoperation::TFileOperator;

namespace {

void ReadInto(const std::string& Path, TEntryNode& Node, bool LeaveOutRecord) {
    Vek_file::ListDirectory(Path, [&](const Vek_file::TFindData& Data) {
        if (LeaveOutRecord && App_record::IsRecordFile(Data.Name))
            return;
        TEntryNode Child;
        Child.Name = Data.Name;
        Child.Directory = Data.IsDirectory();
        Child.ReparsePoint = Data.IsReparsePoint();
        if (!Child.Directory)
            Child.Size = Data.Size;
        else if (!Child.ReparsePoint)
            ReadInto(Path + PathDelimiter + Child.Name, Child, false);
        Node.Children.push_back(std::move(Child));
    });
}

// The items a take back into a folder takes of a whole entry: those its
// record names, else what lies in its drive directories.
std::vector<std::string> EntryItems(const std::string& EntryPath, const TEntryNode& Tree) {
    App_record::TRecord Record;
    if (!App_record::ReadRecord(EntryPath, Record))
        return DriveItems(Tree);
    std::vector<std::string> Items;
    for (const App_record::TPutSection& Section : Record.Puts)
        for (const std::string& Path : App_record::ItemPaths(Section.Tree))
            Items.push_back(App_record::FromRecordText(Path));
    return Items;
}

bool HasUnfinishedPut(const std::string& EntryPath) {
    App_record::TRecord Record;
    if (!App_record::ReadRecord(EntryPath, Record))
        return false;
    return std::any_of(Record.Puts.begin(), Record.Puts.end(), App_record::IsUnfinished);
}

} // namespace

TEntryNode ReadEntryTree(const std::string& Path) {
    TEntryNode Tree;
    Tree.Name = Path;
    Tree.Directory = true;
    ReadInto(Path, Tree, true);
    return Tree;
}

TOriginKind OriginKindOf(const std::string& Path) {
    const DWORD Attributes = GetFileAttributesA(Path.c_str());
    if (Attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD Error = GetLastError();
        // Anything but a plain absence is taken as something standing
        // there, so that the shell asks rather than replaces unseen.
        return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND
                   ? TOriginKind::okMissing
                   : TOriginKind::okFile;
    }
    return (Attributes & FILE_ATTRIBUTE_DIRECTORY) ? TOriginKind::okDirectory : TOriginKind::okFile;
}

bool IsDriveAvailable(char Drive) {
    // A drive without a disk would otherwise ask the user to insert one.
    const Vek_file::TCriticalErrorsSuppressed Quiet;
    const std::string Root = std::string(1, Drive) + ":\\";
    return GetFileAttributesA(Root.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<TEntryInfo> ListEntryDirectories(const std::string& Location) {
    std::vector<TEntryInfo> Entries;
    Vek_file::ListDirectory(Location, [&Location, &Entries](const Vek_file::TFindData& Data) {
        if (!Data.IsDirectory() || Data.IsReparsePoint())
            return;
        TEntryInfo Entry;
        Entry.Name = Data.Name;
        Entry.Path = Vek_file::IncludeTrailingDelimiter(Location, PathDelimiter) + Entry.Name;
        Entry.Created = Data.Created;
        Entries.push_back(std::move(Entry));
    });
    return Entries;
}

std::vector<TEntryInfo> ListEntries(const std::string& Location) {
    if (!Vek_file::IsDirectory(Location))
        throw Exception("The bin does not exist.");
    std::vector<TEntryInfo> Entries = ListEntryDirectories(Location);
    for (TEntryInfo& Entry : Entries) {
        const TEntryNode Tree = ReadEntryTree(Entry.Path);
        TTakeBackPlan Plan;
        PlanTakeBack(Entry.Path, Tree, OriginKindOf, IsDriveAvailable, Plan);
        Entry.Items = Plan.Sources.size();
        Entry.Size = TreeSize(Tree);
        Entry.From = FromText(Plan.Destinations);
        Entry.Unfinished = HasUnfinishedPut(Entry.Path);
    }
    SortEntries(Entries, ecPut, true);
    return Entries;
}

// A put that moved nothing leaves nothing to take back, and one that still
// runs is not over: neither is the last put.
bool FindLastPut(const std::string& Location, TTakeBackSelection& Selection) {
    bool Found = false;
    std::uint64_t Newest = 0;
    for (const TEntryInfo& Entry : ListEntryDirectories(Location)) {
        App_record::TRecord Record;
        std::uint64_t Time = Entry.Created;
        std::vector<std::string> Items;
        if (App_record::ReadRecord(Entry.Path, Record)) {
            const App_record::TPutSection* Last = nullptr;
            for (const App_record::TPutSection& Section : Record.Puts) {
                const bool Running = Section.State == App_record::TPutState::psBegun &&
                                     App_record::IsPutRunning(Section);
                if (!Running && App_record::CountItems(Section.Tree) > 0 &&
                    (!Last || Section.Time >= Last->Time))
                    Last = &Section;
            }
            if (!Last)
                continue;
            Time = Last->Time;
            for (const std::string& Path : App_record::ItemPaths(Last->Tree))
                Items.push_back(App_record::FromRecordText(Path));
        }
        if (Found && Time < Newest)
            continue;
        Found = true;
        Newest = Time;
        Selection = TTakeBackSelection{Entry.Path, std::move(Items)};
    }
    return Found;
}

std::vector<TUnfinishedPut> NoticeUnfinishedPuts(const std::string& Location) {
    std::vector<TUnfinishedPut> Found;
    for (const TEntryInfo& Entry : ListEntryDirectories(Location)) {
        App_record::TRecord Record;
        if (!App_record::ReadRecord(Entry.Path, Record))
            continue;
        bool Changed = false;
        std::unique_ptr<App_record::TRecordNode> Actual;
        for (App_record::TPutSection& Section : Record.Puts) {
            if (Section.State != App_record::TPutState::psBegun ||
                App_record::IsPutRunning(Section))
                continue;
            if (!Actual)
                Actual =
                    std::make_unique<App_record::TRecordNode>(App_record::ReadEntry(Entry.Path));
            // What the put walked before the move, as far as it arrived.
            Section.Tree = App_record::Intersect(Section.Tree, *Actual);
            Section.State = App_record::TPutState::psInterrupted;
            Found.push_back(
                TUnfinishedPut{Entry.Name, App_record::CountItems(Section.Tree), Section.Items});
            Changed = true;
        }
        if (Changed)
            App_record::WriteRecord(Entry.Path, Record);
    }
    return Found;
}

const TTakeBackPlan& TTakeBackTask::Plan() {
    if (!FPlan) {
        auto Plan = std::make_unique<TTakeBackPlan>();
        for (const TTakeBackSelection& Selection : Selections) {
            const TEntryNode Tree = ReadEntryTree(Selection.EntryPath);
            if (!TargetFolder.empty())
                PlanTakeBackTo(Selection.EntryPath, Tree,
                               Selection.Items.empty() ? EntryItems(Selection.EntryPath, Tree)
                                                       : Selection.Items,
                               TargetFolder, OriginKindOf, *Plan);
            else if (Selection.Items.empty())
                PlanTakeBack(Selection.EntryPath, Tree, OriginKindOf, IsDriveAvailable, *Plan);
            else
                PlanItems(Selection.EntryPath, Tree, Selection.Items, OriginKindOf,
                          IsDriveAvailable, *Plan);
        }
        FPlan = std::move(Plan);
    }
    return *FPlan;
}

// A pair whose target exists is asked about here, before the move: Wine's
// shell replaces such a target without a question of its own, so what the
// user declines is taken out of the move and stays in the entry.
void TTakeBackTask::Execute() {
    const TTakeBackPlan& Pairs = Plan();
    CheckLengths();
    std::vector<bool> Declined(Pairs.Sources.size(), false);
    for (std::size_t Index : Pairs.Conflicts)
        Declined[Index] = !ConfirmReplace(Pairs.Destinations[Index]);
    std::vector<std::string> Sources;
    std::vector<std::string> Destinations;
    for (std::size_t Index = 0; Index < Pairs.Sources.size(); ++Index) {
        if (Declined[Index])
            continue;
        Sources.push_back(Pairs.Sources[Index]);
        Destinations.push_back(Pairs.Destinations[Index]);
    }
    if (!Sources.empty()) {
        const std::unique_ptr<TFileOperator> Operator = CreateFileOperator();
        Operator->Sources() = std::move(Sources);
        Operator->Destinations() = std::move(Destinations);
        Operator->SetFunc(App_fileoperation::FileOperationMove);
        // The put's flags: one target per source, parents made without
        // asking; never "yes to all", so the shell asks before it replaces.
        Operator->SetFlags(App_fileoperation::FileOperationMultipleDestinations |
                           App_fileoperation::FileOperationNoConfirmMakeDirectory);
        Operator->Execute();
    }
    RemoveEmptied();
    FollowRecords();
    for (const std::string& Stayed : {StayedMessage(Pairs), SameNameMessage(Pairs)})
        if (!Stayed.empty())
            throw Exception(Stayed);
}

std::unique_ptr<TFileOperator> TTakeBackTask::CreateFileOperator() {
    return std::make_unique<TFileOperator>();
}

bool TTakeBackTask::ConfirmReplace(const std::string& Destination) {
    switch (Gui_application::Application().ShowMessageBox(
        ReplaceQuestion(Destination), Gui_application::Application().Title(),
        MB_YESNOCANCEL | MB_ICONQUESTION | MB_SETFOREGROUND)) {
    case IDYES:
        return true;
    case IDNO:
        return false;
    default:
        throw Base_system::EAbort();
    }
}

// Before anything moves: one path the shell cannot take would leave the
// take back half done.
void TTakeBackTask::CheckLengths() const {
    for (const std::vector<std::string>* Paths : {&FPlan->Sources, &FPlan->Destinations}) {
        for (const std::string& Path : *Paths) {
            if (Vek_codepage::IsTooLongForTheShell(Path)) {
                Gui_application::Application().ShowMessage("Too long: [" + Path + "]");
                throw Exception("The program cannot take back a path that is too long.");
            }
        }
    }
}

// Only what the walk went into, deepest first; the system removes nothing
// but an empty directory, so whatever still holds anything stays.
void TTakeBackTask::RemoveEmptied() const {
    for (const std::string& Directory : FPlan->Descended)
        RemoveDirectoryA(Directory.c_str());
}

void TTakeBackTask::FollowRecords() const {
    std::set<std::string> Followed;
    for (const TTakeBackSelection& Selection : Selections)
        if (Followed.insert(Selection.EntryPath).second)
            App_record::FollowEntry(Selection.EntryPath);
}

void DiscardEntries(const std::vector<std::string>& EntryPaths) {
    TFileOperator Operator;
    Operator.Sources() = EntryPaths;
    Operator.SetFunc(App_fileoperation::FileOperationDelete);
    // Undoable: the entries go to the Recycle Bin, after the shell's own question.
    Operator.SetFlags(App_fileoperation::FileOperationAllowUndo);
    Operator.Execute();
}

#endif

} // namespace App_takeback
