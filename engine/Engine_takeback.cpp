#include "engine/Engine_takeback.h"

#include "vek/Vek_file.h"
#include "vek/Vek_string.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#ifdef _WIN32
#include "base/Base_file.h"
#include "engine/Engine_lock.h"
#include "engine/Engine_record.h"
#include "vek/Vek_codepage.h"

#include <windows.h>

#include <set>
#endif

namespace Engine_takeback {

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

TPlannedWorld::TPlannedWorld(TOriginQuery Disk, TKeyOf KeyOf)
    : FDisk(std::move(Disk)), FKeyOf(std::move(KeyOf)) {}

TOriginKind TPlannedWorld::Query(const std::string& Path) const {
    const auto Found = FPlanned.find(FKeyOf(Path));
    return Found == FPlanned.end() ? FDisk(Path) : Found->second.Kind;
}

std::size_t TPlannedWorld::ArrivalAt(const std::string& Path, std::string* Relative) const {
    const auto Found = FPlanned.find(FKeyOf(Path));
    if (Found == FPlanned.end())
        return NoPair;
    if (Relative)
        *Relative = Found->second.Relative;
    return Found->second.Pair;
}

void TPlannedWorld::Arrive(const std::string& Destination, const TEntryNode& Node,
                           std::size_t Pair) {
    ClaimLevelsAbove(Destination);
    Note(Destination, Node, Pair, std::string());
}

void TPlannedWorld::Claim(const std::string& Path, TOriginKind Kind, std::size_t Pair) {
    ClaimLevelsAbove(Path);
    FPlanned[FKeyOf(Path)] = TPlanned{Kind, Pair, std::string()};
}

void TPlannedWorld::Note(const std::string& Path, const TEntryNode& Node, std::size_t Pair,
                         const std::string& Relative) {
    const bool Folder = Node.Directory;
    FPlanned[FKeyOf(Path)] =
        TPlanned{Folder ? TOriginKind::okDirectory : TOriginKind::okFile, Pair, Relative};
    // A link arrives as the link it is: what it points to is no part of the move.
    if (!Folder || Node.ReparsePoint)
        return;
    for (const TEntryNode& Child : Node.Children)
        Note(Path + PathDelimiter + Child.Name, Child, Pair,
             Relative.empty() ? Child.Name : Relative + PathDelimiter + Child.Name);
}

// The move makes every missing level above a destination; one that stands
// already stays as the disk has it.
void TPlannedWorld::ClaimLevelsAbove(const std::string& Path) {
    for (std::string Level = Vek_file::ExtractDirectory(Path);
         Level.size() > 3 && Level.size() < Path.size();
         Level = Vek_file::ExtractDirectory(Level)) {
        const std::string Key = FKeyOf(Level);
        if (FPlanned.count(Key) || FDisk(Level) != TOriginKind::okMissing)
            return;
        FPlanned.emplace(Key, TPlanned{TOriginKind::okDirectory, NoPair, std::string()});
    }
}

std::string KeepBothPath(const std::string& Path, bool Directory,
                         const std::function<bool(const std::string& Path)>& Taken) {
    const std::string Folder = Vek_file::ExtractDirectoryPath(Path);
    const std::string Name = Path.substr(Folder.size());
    // A dot is never the second byte of a double-byte character.
    const std::size_t Dot = Directory ? std::string::npos : Name.rfind('.');
    const bool HasExtension = Dot != std::string::npos && Dot > 0;
    const std::string Stem = HasExtension ? Name.substr(0, Dot) : Name;
    const std::string Extension = HasExtension ? Name.substr(Dot) : std::string();
    for (unsigned long long Number = 2;; ++Number) {
        const std::string Candidate =
            Folder + Stem + " (" + std::to_string(Number) + ")" + Extension;
        if (!Taken(Candidate))
            return Candidate;
    }
}

namespace {

// What an entry's pairs from From on bring, noted in World for the pairs
// that follow. A conflicting pair changes nothing there: what stands at its
// place is of its own kind or stays.
void NoteArrivals(const TTakeBackPlan& Plan, std::size_t From, const std::string& EntryPath,
                  const TEntryNode& Tree, TPlannedWorld& World) {
    std::unordered_set<std::size_t> Conflicting(Plan.Conflicts.begin(), Plan.Conflicts.end());
    for (std::size_t Pair = From; Pair < Plan.Sources.size(); ++Pair) {
        if (Conflicting.count(Pair))
            continue;
        const std::string& Source = Plan.Sources[Pair];
        const TEntryNode* Node = Source.size() > EntryPath.size()
                                     ? FindNode(Tree, Source.substr(EntryPath.size() + 1))
                                     : nullptr;
        if (Node)
            World.Arrive(Plan.Destinations[Pair], *Node, Pair);
    }
}

} // namespace

void PlanAsOne(std::vector<TEntryToPlan> Entries, const std::string& TargetFolder,
               const TDriveQuery& DriveAvailable, TPlannedWorld& World, TTakeBackPlan& Plan) {
    std::stable_sort(Entries.begin(), Entries.end(),
                     [](const TEntryToPlan& A, const TEntryToPlan& B) { return A.Time > B.Time; });
    const TOriginQuery Origin = [&World](const std::string& Path) { return World.Query(Path); };
    for (const TEntryToPlan& Entry : Entries) {
        const std::size_t From = Plan.Sources.size();
        const std::string& EntryPath = Entry.Selection.EntryPath;
        if (!TargetFolder.empty())
            PlanTakeBackTo(EntryPath, Entry.Tree, Entry.Selection.Items, TargetFolder, Origin,
                           Plan);
        else if (Entry.Selection.Items.empty())
            PlanTakeBack(EntryPath, Entry.Tree, Origin, DriveAvailable, Plan);
        else
            PlanItems(EntryPath, Entry.Tree, Entry.Selection.Items, Origin, DriveAvailable, Plan);
        NoteArrivals(Plan, From, EntryPath, Entry.Tree, World);
    }
}

namespace {

// Settles the conflicts of one plan in their order, keeping what each
// answer changes: which pairs move, where, and whose item ends up where.
class TSettlement {
public:
    TSettlement(const TTakeBackPlan& Plan, TPlannedWorld& World, const TFactsQuery& Facts,
                bool CanPutAside, const TKeyOf& KeyOf)
        : FPlan(Plan), FWorld(World), FFacts(Facts), FCanPutAside(CanPutAside), FKeyOf(KeyOf),
          FMoves(Plan.Sources.size(), true), FDestinations(Plan.Destinations),
          FOutcomes(Plan.Sources.size()) {
        for (std::size_t Pair = 0; Pair < Plan.Sources.size(); ++Pair)
            FOutcomes[Pair].Place = Plan.Destinations[Pair];
        std::unordered_set<std::size_t> Conflicting(Plan.Conflicts.begin(), Plan.Conflicts.end());
        for (std::size_t Pair = 0; Pair < Plan.Sources.size(); ++Pair)
            if (!Conflicting.count(Pair))
                FOccupant[FKeyOf(FDestinations[Pair])] = Pair;
    }

    TSettledMove Run(const TConflictChooser& Choose) {
        bool SameForAll = false;
        TConflictChoice ForAll = TConflictChoice::ccSkip;
        for (std::size_t Index = 0; Index < FPlan.Conflicts.size(); ++Index) {
            const std::size_t Pair = FPlan.Conflicts[Index];
            TConflictQuestion Question = Ask(Pair);
            Question.Following = FPlan.Conflicts.size() - Index - 1;
            TConflictChoice Choice;
            if (SameForAll && (ForAll != TConflictChoice::ccReplace || Question.ReplaceOffered)) {
                Choice = ForAll;
            } else {
                const TConflictAnswer Answer = Choose(Question);
                Choice = Answer.Choice;
                if (Choice == TConflictChoice::ccReplace && !Question.ReplaceOffered)
                    Choice = TConflictChoice::ccSkip;
                if (Answer.ForAll) {
                    SameForAll = true;
                    ForAll = Choice;
                }
            }
            Apply(Pair, Choice, Question);
        }
        TSettledMove Move;
        Move.PutAside = std::move(FPutAside);
        for (std::size_t Pair = 0; Pair < FMoves.size(); ++Pair) {
            if (!FMoves[Pair]) {
                ++Move.Stayed;
                FOutcomes[Pair].Kind = TOutcomeKind::okSkipped;
                continue;
            }
            Move.Sources.push_back(FPlan.Sources[Pair]);
            Move.Destinations.push_back(FDestinations[Pair]);
            Move.Pairs.push_back(Pair);
        }
        Move.Outcomes = std::move(FOutcomes);
        return Move;
    }

private:
    // The pair whose item will stand exactly at Path, or NoPair.
    std::size_t OccupantOf(const std::string& Path) const {
        const auto Found = FOccupant.find(FKeyOf(Path));
        return Found == FOccupant.end() ? TPlannedWorld::NoPair : Found->second;
    }

    TConflictQuestion Ask(std::size_t Pair) const {
        TConflictQuestion Question;
        Question.Destination = FDestinations[Pair];
        Question.Coming = FFacts(FPlan.Sources[Pair]);
        std::string Relative;
        const std::size_t Occupant = OccupantOf(Question.Destination);
        const std::size_t Arrival = FWorld.ArrivalAt(Question.Destination, &Relative);
        if (Occupant != TPlannedWorld::NoPair) {
            Question.StandingComesBack = true;
            Question.Standing = FFacts(FPlan.Sources[Occupant]);
        } else if (Arrival != TPlannedWorld::NoPair) {
            Question.StandingComesBack = true;
            Question.Standing = FFacts(FPlan.Sources[Arrival] + PathDelimiter + Relative);
        } else {
            Question.Standing = FFacts(Question.Destination);
        }
        // A level the move makes on its way is a folder, whatever the disk says now.
        const TOriginKind Planned = FWorld.Query(Question.Destination);
        if (Question.Standing.Kind == TOriginKind::okMissing)
            Question.Standing.Kind = Planned;
        const bool Files = Question.Coming.Kind == TOriginKind::okFile &&
                           Question.Standing.Kind == TOriginKind::okFile;
        Question.ReplaceOffered =
            Files &&
            (Occupant != TPlannedWorld::NoPair ||
             (FCanPutAside && Arrival == TPlannedWorld::NoPair && !Question.StandingComesBack));
        Question.KeepBothDestination = KeepBothDestination(Question);
        return Question;
    }

    std::string KeepBothDestination(const TConflictQuestion& Question) const {
        return KeepBothPath(Question.Destination, Question.Coming.Kind == TOriginKind::okDirectory,
                            [this](const std::string& Path) {
                                return FWorld.Query(Path) != TOriginKind::okMissing;
                            });
    }

    void Apply(std::size_t Pair, TConflictChoice Choice, const TConflictQuestion& Question) {
        const std::string& Destination = Question.Destination;
        switch (Choice) {
        case TConflictChoice::ccSkip:
            FMoves[Pair] = false;
            break;
        case TConflictChoice::ccReplace: {
            const std::size_t Occupant = OccupantOf(Destination);
            // An earlier item of this take back stays in its entry; what
            // stands on disk goes into the bin first.
            if (Occupant != TPlannedWorld::NoPair) {
                FMoves[Occupant] = false;
            } else {
                FPutAside.push_back(Destination);
                FOutcomes[Pair].Kind = TOutcomeKind::okReplaced;
            }
            FOccupant[FKeyOf(Destination)] = Pair;
            break;
        }
        case TConflictChoice::ccKeepBoth: {
            FDestinations[Pair] = KeepBothDestination(Question);
            FWorld.Claim(FDestinations[Pair], Question.Coming.Kind, Pair);
            FOccupant[FKeyOf(FDestinations[Pair])] = Pair;
            FOutcomes[Pair].Kind = TOutcomeKind::okRenamed;
            FOutcomes[Pair].Detail = FDestinations[Pair];
            break;
        }
        }
    }

    const TTakeBackPlan& FPlan;
    TPlannedWorld& FWorld;
    const TFactsQuery& FFacts;
    const bool FCanPutAside;
    const TKeyOf& FKeyOf;
    std::vector<bool> FMoves;
    std::vector<std::string> FDestinations;
    std::vector<std::string> FPutAside;
    std::vector<TItemOutcome> FOutcomes;
    std::unordered_map<std::string, std::size_t> FOccupant;
};

} // namespace

TSettledMove SettleConflicts(const TTakeBackPlan& Plan, TPlannedWorld& World,
                             const TFactsQuery& Facts, bool CanPutAside,
                             const TConflictChooser& Choose) {
    return TSettlement(Plan, World, Facts, CanPutAside, World.KeyOf()).Run(Choose);
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

std::string TakeBackQuestion(const std::vector<std::string>& EntryNames, std::size_t Items,
                             const std::string& Name) {
    if (Items == 1 && !Name.empty())
        return "Take back \"" + Name + "\" to where it came from?";
    return "Take back " + EntriesText(EntryNames, Items) + " to where they came from?";
}

std::string TakeBackToQuestion(const std::vector<std::string>& EntryNames, std::size_t Items,
                               const std::string& Folder, const std::string& Name) {
    const std::string What =
        Items == 1 && !Name.empty() ? "\"" + Name + "\"" : EntriesText(EntryNames, Items);
    return "Take back " + What + " to \"" + Folder + "\"?";
}

std::string OutcomeText(const TItemOutcome& Outcome) {
    switch (Outcome.Kind) {
    case TOutcomeKind::okBack:
        return "Came back: " + Outcome.Place;
    case TOutcomeKind::okRenamed:
        return "Came back as \"" + Outcome.Detail + "\": " + Outcome.Place;
    case TOutcomeKind::okSkipped:
        return "Skipped: " + Outcome.Place;
    case TOutcomeKind::okReplaced:
        return "Came back, what stood there went into \"" + Outcome.Detail + "\": " + Outcome.Place;
    default:
        return "Failed: " + Outcome.Place + ": " + Outcome.Detail;
    }
}

bool AllCameBack(const std::vector<TItemOutcome>& Outcomes) {
    return std::all_of(Outcomes.begin(), Outcomes.end(), [](const TItemOutcome& Outcome) {
        return Outcome.Kind == TOutcomeKind::okBack;
    });
}

namespace {

std::size_t CountOf(const std::vector<TItemOutcome>& Outcomes,
                    std::initializer_list<TOutcomeKind> Kinds) {
    return static_cast<std::size_t>(
        std::count_if(Outcomes.begin(), Outcomes.end(), [&Kinds](const TItemOutcome& Outcome) {
            return std::find(Kinds.begin(), Kinds.end(), Outcome.Kind) != Kinds.end();
        }));
}

} // namespace

std::string OutcomeSummary(const std::vector<TItemOutcome>& Outcomes) {
    const std::size_t Back = CountOf(
        Outcomes, {TOutcomeKind::okBack, TOutcomeKind::okRenamed, TOutcomeKind::okReplaced});
    const std::size_t Renamed = CountOf(Outcomes, {TOutcomeKind::okRenamed});
    const std::size_t Skipped = CountOf(Outcomes, {TOutcomeKind::okSkipped});
    const std::size_t Failed = CountOf(Outcomes, {TOutcomeKind::okFailed});
    std::string Text = ItemsText(Back) + " came back";
    if (Renamed > 0)
        Text += " (" + std::to_string(Renamed) + " under a new name)";
    if (Skipped > 0)
        Text += "; " + std::to_string(Skipped) + " skipped";
    if (Failed > 0)
        Text += "; " + std::to_string(Failed) + " failed";
    return Text + ".";
}

std::string FailedMessage(const std::vector<TItemOutcome>& Outcomes) {
    std::string Places;
    std::size_t Failed = 0;
    for (const TItemOutcome& Outcome : Outcomes) {
        if (Outcome.Kind != TOutcomeKind::okFailed)
            continue;
        Places += (Failed++ == 0 ? "" : ", ") + Outcome.Place;
    }
    if (Failed == 0)
        return std::string();
    return "The program could not take back " + ItemsText(Failed) + ": " + Places + ".";
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

#ifdef _WIN32

namespace {

void ReadInto(const std::string& Path, TEntryNode& Node, bool LeaveOutRecord) {
    Vek_file::ListDirectory(Path, [&](const Vek_file::TFindData& Data) {
        if (LeaveOutRecord && Engine_record::IsRecordFile(Data.Name))
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
    Engine_record::TRecord Record;
    if (!Engine_record::ReadRecord(EntryPath, Record))
        return DriveItems(Tree);
    std::vector<std::string> Items;
    for (const Engine_record::TPutSection& Section : Record.Puts)
        for (const std::string& Path : Engine_record::ItemPaths(Section.Tree))
            Items.push_back(Engine_record::FromRecordText(Path));
    return Items;
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

std::vector<TEntryDirectory> ListEntryDirectories(const std::string& Location) {
    std::vector<TEntryDirectory> Entries;
    Vek_file::ListDirectory(Location, [&Location, &Entries](const Vek_file::TFindData& Data) {
        if (!Data.IsDirectory() || Data.IsReparsePoint())
            return;
        TEntryDirectory Entry;
        Entry.Name = Data.Name;
        Entry.Path = Vek_file::IncludeTrailingDelimiter(Location, PathDelimiter) + Entry.Name;
        Entry.Created = Data.Created;
        Entries.push_back(std::move(Entry));
    });
    return Entries;
}

// A put that moved nothing leaves nothing to take back, and one that still
// runs is not over: neither is the last put.
bool FindLastPut(const std::string& Location, TTakeBackSelection& Selection) {
    bool Found = false;
    std::uint64_t Newest = 0;
    for (const TEntryDirectory& Entry : ListEntryDirectories(Location)) {
        Engine_record::TRecord Record;
        std::uint64_t Time = Entry.Created;
        std::vector<std::string> Items;
        if (Engine_record::ReadRecord(Entry.Path, Record)) {
            const Engine_record::TPutSection* Last = nullptr;
            for (const Engine_record::TPutSection& Section : Record.Puts) {
                const bool Running = Section.State == Engine_record::TPutState::psBegun &&
                                     Engine_record::IsPutRunning(Section);
                if (!Running && Engine_record::CountItems(Section.Tree) > 0 &&
                    (!Last || Section.Time >= Last->Time))
                    Last = &Section;
            }
            if (!Last)
                continue;
            Time = Last->Time;
            for (const std::string& Path : Engine_record::ItemPaths(Last->Tree))
                Items.push_back(Engine_record::FromRecordText(Path));
        }
        if (Found && Time < Newest)
            continue;
        Found = true;
        Newest = Time;
        Selection = TTakeBackSelection{Entry.Path, std::move(Items)};
    }
    return Found;
}

std::vector<TUnfinishedPut> NoticeUnfinishedPuts(const std::string& Location,
                                                 std::vector<std::string>* AwaitingListing) {
    std::vector<TUnfinishedPut> Found;
    for (const TEntryDirectory& Entry : ListEntryDirectories(Location)) {
        Engine_record::TRecord Record;
        if (!Engine_record::ReadRecord(Entry.Path, Record))
            continue;
        bool Changed = false;
        std::unique_ptr<Engine_record::TRecordNode> Actual;
        for (Engine_record::TPutSection& Section : Record.Puts) {
            if (Section.State != Engine_record::TPutState::psBegun ||
                Engine_record::IsPutRunning(Section))
                continue;
            if (!Actual)
                Actual = std::make_unique<Engine_record::TRecordNode>(
                    Engine_record::ReadEntry(Entry.Path));
            // What the put walked before the move, as far as it arrived.
            Section.Tree = Engine_record::Intersect(Section.Tree, *Actual);
            Section.State = Engine_record::TPutState::psInterrupted;
            Found.push_back(
                TUnfinishedPut{Entry.Name, Engine_record::CountItems(Section.Tree), Section.Items});
            Changed = true;
        }
        if (Changed)
            Engine_record::WriteRecord(Entry.Path, Record);
        if (AwaitingListing &&
            std::any_of(Record.Puts.begin(), Record.Puts.end(), Engine_record::AwaitsListing))
            AwaitingListing->push_back(Entry.Path);
    }
    return Found;
}

namespace {

// The time of an entry's newest put, by its record; the time its directory
// was made for an entry without one.
std::uint64_t EntryTime(const std::string& EntryPath) {
    Engine_record::TRecord Record;
    if (Engine_record::ReadRecord(EntryPath, Record))
        if (const Engine_record::TPutSection* Newest = Engine_record::NewestSection(Record))
            return Newest->Time;
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExW(Vek_codepage::ToWide(EntryPath).c_str(), GetFileExInfoStandard,
                              &Data))
        return 0;
    return Base_file::FileTimeValue(Data.ftCreationTime);
}

} // namespace

TItemFacts FactsOf(const std::string& Path) {
    TItemFacts Facts;
    WIN32_FILE_ATTRIBUTE_DATA Data;
    if (!GetFileAttributesExW(Vek_codepage::ToWide(Path).c_str(), GetFileExInfoStandard, &Data))
        return Facts;
    Facts.Kind = (Data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? TOriginKind::okDirectory
                                                                    : TOriginKind::okFile;
    if (Facts.Kind == TOriginKind::okFile)
        Facts.Size = Base_file::Joined64(Data.nFileSizeHigh, Data.nFileSizeLow);
    Facts.LastWritten = Base_file::FileTimeValue(Data.ftLastWriteTime);
    return Facts;
}

TTakeBackHost::~TTakeBackHost() = default;

TTakeBackTask::~TTakeBackTask() = default;

const TTakeBackPlan& TTakeBackTask::Plan() {
    if (!FPlan) {
        std::vector<TEntryToPlan> Entries;
        for (const TTakeBackSelection& Selection : Selections) {
            TEntryToPlan Entry{Selection, ReadEntryTree(Selection.EntryPath),
                               EntryTime(Selection.EntryPath)};
            if (!TargetFolder.empty() && Entry.Selection.Items.empty())
                Entry.Selection.Items = EntryItems(Selection.EntryPath, Entry.Tree);
            Entries.push_back(std::move(Entry));
        }
        auto World = std::make_unique<TPlannedWorld>(OriginKindOf, Vek_codepage::FileSystemKey);
        auto Plan = std::make_unique<TTakeBackPlan>();
        PlanAsOne(std::move(Entries), TargetFolder, IsDriveAvailable, *World, *Plan);
        FWorld = std::move(World);
        FPlan = std::move(Plan);
    }
    return *FPlan;
}

// Every conflict is settled here, before the move: the shell is never left
// to replace anything (Wine's would do so without a question), and an
// Escape at any question leaves everything as it was. The entries are
// planned again once they are locked, since the user may have changed the
// disk while the take back asked; what appears at a target while a
// conflict is asked is a conflict of the next round, and the answers
// given so far stand.
void TTakeBackTask::Execute() {
    RefuseTargetInBin();
    Engine_lock::TEntryLocks Locks;
    for (const TTakeBackSelection& Selection : Selections)
        if (!Locks.TryLock(Selection.EntryPath, Engine_lock::RecordWriteWait))
            throw Exception("The program cannot take back from \"" +
                            Vek_file::ExtractFileName(Selection.EntryPath) +
                            "\": another command is working on it.");
    // The answers by place, in the order asked: several items can meet at
    // one place, and each round asks in the plan's order.
    std::unordered_map<std::string, std::vector<TConflictAnswer>> Answers;
    std::unordered_map<std::string, std::size_t> Asked;
    const TConflictChooser Choose = [this, &Answers, &Asked](const TConflictQuestion& Question) {
        const std::string Key = Vek_codepage::FileSystemKey(Question.Destination);
        std::vector<TConflictAnswer>& Given = Answers[Key];
        const std::size_t Index = Asked[Key]++;
        if (Index < Given.size())
            return TConflictAnswer{Given[Index].Choice, false};
        Given.push_back(FHost.ChooseConflict(Question));
        return Given.back();
    };
    std::unordered_map<std::string, std::string> SetAside;
    for (int Round = 1;; ++Round) {
        FPlan.reset();
        Asked.clear();
        const TTakeBackPlan& Pairs = Plan();
        CheckLengths(Pairs.Sources, Pairs.Destinations);
        TSettledMove Move = SettleConflicts(Pairs, *FWorld, FactsOf, FHost.CanPutAside(), Choose);
        CheckLengths(Move.Sources, Move.Destinations);
        const std::string PutAsideEntry = PutAside(Move.PutAside);
        for (const std::string& Path : Move.PutAside)
            SetAside[Vek_codepage::FileSystemKey(Path)] = PutAsideEntry;
        const bool InTheWay = std::any_of(
            Move.Destinations.begin(), Move.Destinations.end(),
            [](const std::string& Path) { return OriginKindOf(Path) != TOriginKind::okMissing; });
        if (InTheWay && Round < MaxRounds)
            continue;
        if (InTheWay)
            throw Exception("The program could not take back the items: what stands at their "
                            "places keeps changing.");
        for (TItemOutcome& Outcome : Move.Outcomes) {
            const auto Aside = SetAside.find(Vek_codepage::FileSystemKey(Outcome.Place));
            if (Aside != SetAside.end() && Outcome.Kind == TOutcomeKind::okBack)
                Outcome.Kind = TOutcomeKind::okReplaced;
            if (Aside != SetAside.end() && Outcome.Kind == TOutcomeKind::okReplaced)
                Outcome.Detail = Aside->second;
        }
        const TMoveResult Result = Move.Sources.empty()
                                       ? TMoveResult::mrDone
                                       : FHost.Move(Move.Sources, Move.Destinations);
        ReadOutcomes(std::move(Move), Result);
        break;
    }
    RemoveEmptied();
    FollowRecords();
    for (const std::string& Stayed : {StayedMessage(*FPlan), SameNameMessage(*FPlan)})
        if (!Stayed.empty())
            throw Exception(Stayed);
}

std::vector<TItemOutcome> TTakeBackTask::Preview() {
    RefuseTargetInBin();
    const TTakeBackPlan& Pairs = Plan();
    CheckLengths(Pairs.Sources, Pairs.Destinations);
    TSettledMove Move = SettleConflicts(
        Pairs, *FWorld, FactsOf, FHost.CanPutAside(),
        [this](const TConflictQuestion& Question) { return FHost.ChooseConflict(Question); });
    for (TItemOutcome& Outcome : Move.Outcomes)
        if (Outcome.Kind == TOutcomeKind::okReplaced)
            Outcome.Detail = "a new entry";
    return std::move(Move.Outcomes);
}

// A take back into the bin would leave the user's items where the bin's
// clean-up takes whatever it finds.
void TTakeBackTask::RefuseTargetInBin() const {
    if (TargetFolder.empty())
        return;
    const auto KeyOf = [](const std::string& Path) {
        std::string Full = Path;
        try {
            Full = Vek_file::GetLongPath(Path);
        } catch (const Vek_file::EFileError&) {
        }
        return Vek_codepage::FileSystemKey(Vek_file::IncludeTrailingDelimiter(Full, PathDelimiter));
    };
    const std::string Target = KeyOf(TargetFolder);
    for (const TTakeBackSelection& Selection : Selections) {
        const std::string Bin = KeyOf(Vek_file::ExtractDirectory(
            Vek_file::ExcludeTrailingDelimiter(Selection.EntryPath, PathDelimiter)));
        if (Target.compare(0, Bin.size(), Bin) == 0)
            throw Exception("The program cannot take back into the bin.");
    }
}

// What stands in the way of a Replace goes into the bin as a put of its own,
// with its record. Only once nothing of it is left at its place does the
// item come back there.
std::string TTakeBackTask::PutAside(const std::vector<std::string>& Paths) const {
    if (Paths.empty())
        return std::string();
    const std::string Entry = FHost.PutAside(Paths);
    for (const std::string& Path : Paths)
        if (OriginKindOf(Path) != TOriginKind::okMissing)
            throw Exception("The program could not put \"" + Path + "\" into the bin.");
    return Entry;
}

// An item came back where it left its entry and stands at its target; the
// shell's answer alone says nothing of which items that holds for.
void TTakeBackTask::ReadOutcomes(TSettledMove Move, TMoveResult Result) {
    for (std::size_t Index = 0; Index < Move.Sources.size(); ++Index) {
        if (OriginKindOf(Move.Sources[Index]) == TOriginKind::okMissing &&
            OriginKindOf(Move.Destinations[Index]) != TOriginKind::okMissing)
            continue;
        TItemOutcome& Outcome = Move.Outcomes[Move.Pairs[Index]];
        Outcome.Kind = TOutcomeKind::okFailed;
        Outcome.Detail = Result == TMoveResult::mrCancelled ? "the move was cancelled."
                                                            : "the system did not move it.";
    }
    FOutcomes = std::move(Move.Outcomes);
}

// Before anything moves: one path the shell cannot take would leave the
// take back half done.
void TTakeBackTask::CheckLengths(const std::vector<std::string>& Sources,
                                 const std::vector<std::string>& Destinations) const {
    for (const std::vector<std::string>* Paths : {&Sources, &Destinations}) {
        for (const std::string& Path : *Paths) {
            if (Vek_codepage::IsTooLongForTheShell(Path)) {
                FHost.TellTooLong(Path);
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
            Engine_record::FollowEntry(Selection.EntryPath);
}

#endif

} // namespace Engine_takeback
