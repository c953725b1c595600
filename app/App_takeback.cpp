#include "app/App_takeback.h"

#include <algorithm>
#include <cctype>
#include <utility>

#ifdef _WIN32
#include "app/App_fileoperation.h"
#include "gui/Gui_application.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <shellapi.h>
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

} // namespace

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

std::string TakeBackQuestion(const std::vector<std::string>& EntryNames, std::size_t Items) {
    const std::string What = EntryNames.size() == 1
                                 ? "\"" + EntryNames.front() + "\""
                                 : std::to_string(EntryNames.size()) + " entries";
    return "Take back " + What + " (" + ItemsText(Items) + ") to where they came from?";
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

void ReadInto(const std::string& Path, TEntryNode& Node) {
    Vek_file::ListDirectory(Path, [&Path, &Node](const Vek_file::TFindData& Data) {
        TEntryNode Child;
        Child.Name = Data.Name;
        Child.Directory = Data.IsDirectory();
        Child.ReparsePoint = Data.IsReparsePoint();
        if (!Child.Directory)
            Child.Size = Data.Size;
        else if (!Child.ReparsePoint)
            ReadInto(Path + PathDelimiter + Child.Name, Child);
        Node.Children.push_back(std::move(Child));
    });
}

} // namespace

TEntryNode ReadEntryTree(const std::string& Path) {
    TEntryNode Tree;
    Tree.Name = Path;
    Tree.Directory = true;
    ReadInto(Path, Tree);
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
    }
    SortEntries(Entries, ecPut, true);
    return Entries;
}

const TTakeBackPlan& TTakeBackTask::Plan() {
    if (!FPlan) {
        auto Plan = std::make_unique<TTakeBackPlan>();
        for (const std::string& EntryPath : EntryPaths)
            PlanTakeBack(EntryPath, ReadEntryTree(EntryPath), OriginKindOf, IsDriveAvailable,
                         *Plan);
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
    const std::string Stayed = StayedMessage(Pairs);
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
