#include "app/App_bin.h"

#include "vek/Vek_file.h"
#include "vek/Vek_string.h"

#include <algorithm>
#include <cctype>
#include <numeric>
#include <unordered_set>
#include <utility>

#ifdef _WIN32
#include "app/App_fileoperation.h"
#include "base/Base_file.h"
#include "engine/Engine_record.h"
#include "gui/Gui_application.h"
#include "gui/Gui_shell.h"
#include "vek/Vek_codepage.h"

#include <windows.h>
#endif

namespace App_bin {

using Base_system::Exception;

namespace {

const char PathDelimiter = '\\';
const char DriveDelimiter = ':';

// Where the first colon is, a double-byte character counting as one.
std::size_t FindFirstColon(const std::string& Path) {
    for (std::size_t Index = 0; Index < Path.size();) {
        const std::size_t Length = Vek_string::CharLength(Path, Index);
        if (Length == 1 && Path[Index] == DriveDelimiter)
            return Index;
        Index += Length;
    }
    return std::string::npos;
}

} // namespace

TBinEntryName::TBinEntryName()
    : FPrefix("Tovel #"), FMin(0), FMax(9999), FIndex(0), FFillDigits(true) {}

// A prefix or suffix is part of the entry's name: a path delimiter in it
// would put entries outside the bin.
void TBinEntryName::SetPrefix(const std::string& Value) {
    if (!Vek_file::IsNamePart(Value))
        throw Exception("The program cannot use the prefix.");
    if (Value == FPrefix)
        return;
    FPrefix = Value;
    Changed();
}

void TBinEntryName::SetSuffix(const std::string& Value) {
    if (!Vek_file::IsNamePart(Value))
        throw Exception("The program cannot use the suffix.");
    if (Value == FSuffix)
        return;
    FSuffix = Value;
    Changed();
}

void TBinEntryName::SetFillDigits(bool Value) {
    if (Value == FFillDigits)
        return;
    FFillDigits = Value;
    Changed();
}

void TBinEntryName::SetIndex(std::int32_t Value) {
    ResetIndex(FMin, FMax, Value);
}

std::string TBinEntryName::GetEntryName() const {
    std::string Digits = std::to_string(FIndex);
    if (FFillDigits)
        Digits = Vek_string::PadLeft(Digits, static_cast<std::int32_t>(std::to_string(FMax).size()),
                                     '0');
    return FPrefix + Digits + FSuffix;
}

// Reaching the maximum is no error: the names start again at the minimum.
void TBinEntryName::StepIndex() {
    SetIndex(FIndex == FMax ? FMin : FIndex + 1);
}

void TBinEntryName::RewindIndex() {
    SetIndex(FMin);
}

void TBinEntryName::ResetIndex(std::int32_t Min, std::int32_t Max, std::int32_t Index) {
    if (Min == FMin && Max == FMax && Index == FIndex)
        return;
    if (Min < 0 || Max < Min || Index < Min || Index > Max)
        throw Exception("The program cannot reset the index.");
    FMin = Min;
    FMax = Max;
    FIndex = Index;
    Changed();
}

// Each step notifies by itself; a failing ResetIndex leaves the new texts
// applied and FillDigits as it was.
void TBinEntryName::SetProps(const TBinEntryNameProps& Props) {
    SetPrefix(Props.Prefix);
    SetSuffix(Props.Suffix);
    ResetIndex(Props.Min, Props.Max, Props.Index);
    SetFillDigits(Props.FillDigits);
}

void TBinEntryName::GetProps(TBinEntryNameProps& Props) const {
    Props.Prefix = FPrefix;
    Props.Suffix = FSuffix;
    Props.Min = FMin;
    Props.Max = FMax;
    Props.Index = FIndex;
    Props.FillDigits = FFillDigits;
}

void TBinEntryName::Changed() {
    if (OnChange)
        OnChange(this);
}

std::string DefaultFixedLocation() {
    return "Bin";
}

bool MakeSortKey(const std::string& Text, std::string& Key) {
#ifdef _WIN32
    return Vek_codepage::MakeSortKey(Text, Key);
#else
    Key.resize(Text.size());
    std::transform(Text.begin(), Text.end(), Key.begin(), [](char C) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    });
    return true;
#endif
}

void SortDescending(std::vector<std::string>& Paths) {
    SortDescending(Paths, MakeSortKey);
}

// The keys are compared as unsigned bytes, which gives the locale's order.
// The indices are sorted by the same algorithm with the same answers as the
// texts themselves would be, so even equal texts keep the order they had.
void SortDescending(std::vector<std::string>& Paths, const TSortKeyMaker& MakeKey) {
    std::vector<std::string> Keys(Paths.size());
    for (std::size_t Index = 0; Index < Paths.size(); ++Index) {
        if (!MakeKey(Paths[Index], Keys[Index])) {
            for (std::size_t Each = 0; Each < Paths.size(); ++Each)
                Keys[Each] = Vek_file::UpperCasePath(Paths[Each]);
            break;
        }
    }
    std::vector<std::size_t> Order(Paths.size());
    std::iota(Order.begin(), Order.end(), std::size_t(0));
    std::sort(Order.begin(), Order.end(),
              [&Keys](std::size_t A, std::size_t B) { return Keys[A] < Keys[B]; });
    std::vector<std::string> Sorted;
    Sorted.reserve(Paths.size());
    for (auto Index = Order.rbegin(); Index != Order.rend(); ++Index)
        Sorted.push_back(std::move(Paths[*Index]));
    Paths = std::move(Sorted);
}

namespace {

// Whether a level above Key (an upper-cased path without a trailing
// backslash) is in All.
bool HasAncestorIn(const std::string& Key, const std::unordered_set<std::string>& All) {
    for (std::size_t Index = 0; Index < Key.size();) {
        const std::size_t Length = Vek_string::CharLength(Key, Index);
        if (Length == 1 && Key[Index] == PathDelimiter && All.count(Key.substr(0, Index)))
            return true;
        Index += Length;
    }
    return false;
}

} // namespace

void RemoveNestedItems(std::vector<std::string>& Paths) {
    std::vector<std::string> Keys;
    Keys.reserve(Paths.size());
    for (const std::string& Path : Paths)
        Keys.push_back(
            Vek_file::UpperCasePath(Vek_file::ExcludeTrailingDelimiter(Path, PathDelimiter)));
    const std::unordered_set<std::string> All(Keys.begin(), Keys.end());
    std::vector<std::string> Kept;
    Kept.reserve(Paths.size());
    for (std::size_t Index = 0; Index < Paths.size(); ++Index) {
        if (!HasAncestorIn(Keys[Index], All))
            Kept.push_back(std::move(Paths[Index]));
    }
    Paths = std::move(Kept);
}

std::vector<std::string> BuildDestinationPaths(const std::string& Base,
                                               const std::vector<std::string>& Sources) {
    std::vector<std::string> Destinations;
    Destinations.reserve(Sources.size());
    for (const std::string& Source : Sources) {
        std::string Destination;
        Destination.reserve(Base.size() + Source.size());
        Destination += Base;
        const std::size_t Colon = FindFirstColon(Source);
        if (Colon == std::string::npos) {
            Destination += Source;
        } else {
            Destination.append(Source, 0, Colon);
            Destination.append(Source, Colon + 1, std::string::npos);
        }
        Destinations.push_back(std::move(Destination));
    }
    return Destinations;
}

#ifdef _WIN32

using App_fileoperation::TFileOperator;
using Gui_application::Application;

namespace {

const std::string WildcardCharacters = "?*";

// The 1-based byte position of the last wildcard; double-byte characters
// are stepped over whole, so a trail byte never counts.
std::size_t LastWildcardPosition(const std::string& Path) {
    std::size_t Position = 0;
    for (std::size_t Index = 0; Index < Path.size();) {
        const std::size_t Length = Vek_string::CharLength(Path, Index);
        if (Length == 1 && WildcardCharacters.find(Path[Index]) != std::string::npos)
            Position = Index + 1;
        Index += Length;
    }
    return Position;
}

// The boxes and the refusal of a path that is relative or holds a wildcard.
void RefuseUnfitPath(const std::string& Path) {
    if (Vek_file::IsRelativePath(Path)) {
        Application().ShowMessage("Relative: [" + Path + "]");
        throw Exception("The program cannot accept the path.");
    }
    if (Vek_file::HasWildcards(Path)) {
        Application().ShowMessage("Mask: [" + Path + "] at " +
                                  std::to_string(LastWildcardPosition(Path)));
        Application().ShowMessage("Wildcard characters: [" + WildcardCharacters + "]");
        throw Exception("The program cannot accept the path.");
    }
}

// A device or literal path (\\.\, \\?\) reaches the shell past the
// names the bin's record can follow.
std::string RefuseDevicePath(std::string Full) {
    if (Full.compare(0, 4, "\\\\.\\") == 0 || Full.compare(0, 4, "\\\\?\\") == 0)
        throw Exception("The program cannot accept the path.");
    return Full;
}

bool IsDriveLetter(char C) {
    return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

// Where the last level of a full path begins, for a plain path below a
// drive: a letter, a colon, a backslash, then names without a colon or a
// slash, none empty, none a dot or two, no trailing backslash. Anything
// else (a root, a stream, a UNC or device path) gives npos.
std::size_t LastLevelStart(const std::string& Path) {
    if (Path.size() < 4 || !IsDriveLetter(Path[0]) || Path[1] != DriveDelimiter ||
        Path[2] != PathDelimiter)
        return std::string::npos;
    std::size_t Start = 3;
    for (std::size_t Index = 3; Index < Path.size();) {
        const std::size_t Length = Vek_string::CharLength(Path, Index);
        if (Length == 1 && (Path[Index] == DriveDelimiter || Path[Index] == '/'))
            return std::string::npos;
        if (Length == 1 && Path[Index] == PathDelimiter) {
            if (Index == Start)
                return std::string::npos;
            Start = Index + 1;
        }
        Index += Length;
    }
    const std::string Name = Path.substr(Start);
    if (Name.empty() || Name == "." || Name == "..")
        return std::string::npos;
    return Start;
}

// The item's own level as a directory search finds it; false when nothing
// is found.
bool FindItem(const std::string& Path, WIN32_FIND_DATAW& Data) {
    const Base_file::TFindHandle Search(FindFirstFileW(Vek_codepage::ToWide(Path).c_str(), &Data));
    return Search.Valid();
}

} // namespace

std::string AcceptPath(const std::string& Path) {
    RefuseUnfitPath(Path);
    return RefuseDevicePath(Vek_file::GetLongPath(Vek_file::ExpandPath(Path)));
}

// The long-path service walks a path level by level, each level by its own
// directory search, keeping a typed name or putting the found one in its
// place. So the long form of a path is the long form of its parent followed
// by its own level, and where the search finds exactly the typed name that
// level is the typed name. Whatever else (a short name, other letter case,
// a missing item, an unusual path) is left to the service itself, which then
// gives the answer or the failure it always gave.
std::string TLongPathResolver::LongPathOf(const std::string& Path) {
    const std::string Full = Vek_file::ExpandPath(Path);
    const std::size_t Start =
        Vek_file::HasWildcards(Full) ? std::string::npos : LastLevelStart(Full);
    if (Start == std::string::npos)
        return Vek_file::GetLongPath(Full);
    const std::string Name = Full.substr(Start);
    WIN32_FIND_DATAW Data;
    if (!FindItem(Full, Data) || Vek_codepage::FromWide(Data.cFileName) != Name)
        return Vek_file::GetLongPath(Full);
    const std::string Parent = Full.substr(0, Start);
    auto Known = FParents.find(Parent);
    if (Known == FParents.end()) {
        std::string LongParent;
        try {
            LongParent = Vek_file::GetLongPath(Parent);
        } catch (const Vek_file::EFileError&) {
            return Vek_file::GetLongPath(Full);
        }
        if (!Vek_file::EndsWithDelimiter(LongParent, PathDelimiter))
            return Vek_file::GetLongPath(Full);
        Known = FParents.emplace(Parent, std::move(LongParent)).first;
    }
    std::string Long = Known->second + Name;
    FFound[Long] =
        TFacts{Data.dwFileAttributes, Base_file::Joined64(Data.nFileSizeHigh, Data.nFileSizeLow)};
    return Long;
}

bool TLongPathResolver::FactsOf(const std::string& LongPath, unsigned long& Attributes,
                                std::uint64_t& Size) const {
    const auto Found = FFound.find(LongPath);
    if (Found == FFound.end())
        return false;
    Attributes = Found->second.Attributes;
    Size = Found->second.Size;
    return true;
}

std::vector<std::string> AcceptPaths(const std::vector<std::string>& Paths) {
    TLongPathResolver Resolver;
    return AcceptPaths(Paths, Resolver);
}

std::vector<std::string> AcceptPaths(const std::vector<std::string>& Paths,
                                     TLongPathResolver& Resolver) {
    std::vector<std::string> Accepted;
    Accepted.reserve(Paths.size());
    for (const std::string& Path : Paths) {
        RefuseUnfitPath(Path);
        Accepted.push_back(RefuseDevicePath(Resolver.LongPathOf(Path)));
    }
    return Accepted;
}

void RefuseTooLongPaths(const std::vector<std::string>& Sources,
                        const std::vector<std::string>& Destinations) {
    for (std::size_t Index = 0; Index < Sources.size() && Index < Destinations.size(); ++Index) {
        if (Vek_codepage::IsTooLongForTheShell(Sources[Index]) ||
            Vek_codepage::IsTooLongForTheShell(Destinations[Index])) {
            Application().ShowMessage("Too long: [" + Destinations[Index] + "]");
            throw Exception("The program cannot put a path that is too long for the bin.");
        }
    }
}

TBin::TBin()
    : FLocationType(bltFixed), FFixedLocation(DefaultFixedLocation()),
      FEntryName(std::make_unique<TBinEntryName>()) {
    FEntryName->OnChange = [this](Base_system::TObject*) { Changed(); };
}

void TBin::SetLocationType(TBinLocationType Value) {
    if (Value == FLocationType)
        return;
    FLocationType = Value;
    Changed();
}

void TBin::SetFixedLocation(const std::string& Value) {
    if (Value == FFixedLocation)
        return;
    FFixedLocation = Value;
    Changed();
}

std::string TBin::GetLocation() {
    switch (FLocationType) {
    case bltFixed:
        return Vek_file::CombinePath(
            FFixedLocation,
            Vek_file::ExtractDirectory(Vek_file::GetLongPath(Application().ExeName())));
    case bltAskUser:
        return AskLocation();
    default:
        throw Exception("An unknown identifier.");
    }
}

std::string TBin::AskLocation() {
    std::string Directory = Application().LastDirectory();
    if (!Gui_shell::BrowseForFolder("Specify the bin location.", std::string(), Directory))
        throw Base_system::EAbort();
    // The next browse starts where this one ended.
    Application().SetLastDirectory(Directory);
    return Directory;
}

std::string TBin::GetEntryPath() {
    const std::string Location = GetLocation();
    return Vek_file::IncludeTrailingDelimiter(Location, PathDelimiter) + FEntryName->GetEntryName();
}

void TBin::Put(const std::vector<std::string>& Paths) {
    TPutTask Task(*this, Paths);
    try {
        Task.Execute();
    } catch (...) {
        PutEnded(Task);
        throw;
    }
    PutEnded(Task);
}

// What the put brought is listed once the put lets go of its entry.
void TBin::PutEnded(const TPutTask& Task) {
    FLastPutEntry = Task.EntryPath();
    if (Task.AwaitsListing())
        Listings().Add(Task.EntryPath());
}

Engine_listing::TListingQueue& TBin::Listings() {
    if (!FListings)
        FListings = std::make_unique<Engine_listing::TListingQueue>();
    return *FListings;
}

void TBin::SetProps(const TBinProps& Props) {
    SetLocationType(Props.LocationType);
    SetFixedLocation(Props.FixedLocation);
    FEntryName->SetProps(Props.EntryName);
}

void TBin::GetProps(TBinProps& Props) const {
    Props.LocationType = FLocationType;
    Props.FixedLocation = FFixedLocation;
    FEntryName->GetProps(Props.EntryName);
}

void TBin::Changed() {
    if (OnChange)
        OnChange(this);
}

void TBin::DoIndexStepped() {
    if (OnIndexStepped)
        OnIndexStepped(this);
}

namespace {

DWORD AttributesOf(const std::string& Path) {
    return GetFileAttributesW(Vek_codepage::ToWide(Path).c_str());
}

bool IsPlainDirectory(DWORD Attributes) {
    return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(Attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace

bool EntryCanTake(const std::string& EntryPath, const std::vector<std::string>& Destinations) {
    if (Engine_record::IsBeingWritten(EntryPath))
        return false;
    // Levels known to be plain directories or missing; their parents were
    // looked at with them.
    std::unordered_set<std::string> Checked;
    for (const std::string& Destination : Destinations) {
        if (AttributesOf(Destination) != INVALID_FILE_ATTRIBUTES)
            return false;
        for (std::string Level = Vek_file::ExtractDirectory(Destination);
             Level.size() > EntryPath.size(); Level = Vek_file::ExtractDirectory(Level)) {
            if (!Checked.insert(Vek_file::UpperCasePath(Level)).second)
                break;
            const DWORD Attributes = AttributesOf(Level);
            if (Attributes != INVALID_FILE_ATTRIBUTES && !IsPlainDirectory(Attributes))
                return false;
        }
    }
    return true;
}

void TPutTask::Execute() {
    const std::unique_ptr<TFileOperator> Operator = CreateFileOperator();
    TLongPathResolver Resolver;
    BuildSources(*Operator, Resolver);
    // The record names the items as the acceptance found them; what their
    // directories hold is listed once they are in the entry.
    Engine_record::TPutRecorder Recorder(
        Operator->Sources(),
        [&Resolver](const std::string& Source, unsigned long& Attributes, std::uint64_t& Size) {
            return Resolver.FactsOf(Source, Attributes, Size);
        });
    BuildDestinations(*Operator);
    Recorder.Begin(FEntryPath);
    Operator->SetFunc(App_fileoperation::FileOperationMove);
    Operator->SetFlags(App_fileoperation::FileOperationMultipleDestinations |
                       App_fileoperation::FileOperationNoConfirmMakeDirectory);
    // After a failure the record still says what arrived, as far as it can;
    // the first failure is the one told.
    const auto CompleteQuietly = [this, &Recorder] {
        try {
            FAwaitsListing = Recorder.Complete(false);
        } catch (const Exception&) {
        }
    };
    try {
        Operator->Execute();
    } catch (const Base_system::EAbort&) {
        // The shell's refusal comes as an abort too; the disk tells.
        CompleteQuietly();
        RaiseWhatFailed(*Operator);
        return;
    } catch (...) {
        CompleteQuietly();
        throw;
    }
    FAwaitsListing = Recorder.Complete(Operator->Succeeded());
    RaiseWhatFailed(*Operator);
}

// What arrived is read from the disk: the shell's answer can report a
// failure as success.
void TPutTask::RaiseWhatFailed(const TFileOperator& Operator) const {
    const std::vector<std::string>& Destinations = Operator.Destinations();
    const std::size_t Arrived = static_cast<std::size_t>(
        std::count_if(Destinations.begin(), Destinations.end(), [](const std::string& Path) {
            return AttributesOf(Path) != INVALID_FILE_ATTRIBUTES;
        }));
    if (Arrived == Destinations.size())
        return;
    // A close before the move began moved nothing and asks for no word.
    // Once it ran, Wine's shell reports its own refusal as a cancel: what
    // did not arrive is told either way.
    if (Operator.Result() == -1)
        throw Base_system::EAbort();
    if (Arrived == 0)
        throw Exception("The program could not move the items into the bin.");
    throw Exception("The program could not move " + std::to_string(Destinations.size() - Arrived) +
                    " of the " + std::to_string(Destinations.size()) + " items into the bin.");
}

std::unique_ptr<TFileOperator> TPutTask::CreateFileOperator() {
    return std::make_unique<TFileOperator>();
}

// The first refused path ends the put before anything exists of it. An
// item inside a directory of the same put moves with that directory: as a
// pair of its own it would land inside the directory's copy.
void TPutTask::BuildSources(TFileOperator& Operator, TLongPathResolver& Resolver) {
    std::vector<std::string> Sources = AcceptPaths(Paths, Resolver);
    SortDescending(Sources);
    RemoveNestedItems(Sources);
    Operator.Sources() = std::move(Sources);
}

// Every destination is known, and checked, before the index steps. The
// index steps before the directory is made and never steps back: a name
// whose directory could not be made, or whose entry cannot take this put
// (after the index wrapped), is skipped. Once the put has its entry the
// index is kept on disk, before anything is made or moved.
void TPutTask::BuildDestinations(TFileOperator& Operator) {
    const std::string Base = Vek_file::IncludeTrailingDelimiter(Bin.GetLocation(), PathDelimiter);
    TBinEntryName& Name = Bin.EntryName();
    const std::int64_t Names = static_cast<std::int64_t>(Name.Max()) - Name.Min() + 1;
    for (std::int64_t Tried = 0; Tried < Names; ++Tried) {
        const std::string EntryPath = Base + Name.GetEntryName();
        std::vector<std::string> Destinations = BuildDestinationPaths(
            Vek_file::IncludeTrailingDelimiter(EntryPath, PathDelimiter), Operator.Sources());
        RefuseTooLongPaths(Operator.Sources(), Destinations);
        Name.StepIndex();
        // An entry another command works on, a clean-up sending it away
        // among them, is no entry for this put.
        if (!FLocks.TryLock(EntryPath))
            continue;
        const DWORD Attributes = AttributesOf(EntryPath);
        const bool Existing =
            Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (Existing && (!IsPlainDirectory(Attributes) || !EntryCanTake(EntryPath, Destinations))) {
            FLocks.Unlock(EntryPath);
            continue;
        }
        Bin.DoIndexStepped();
        if (!Existing)
            CreateEntry(EntryPath);
        FEntryPath = EntryPath;
        Operator.Destinations() = std::move(Destinations);
        return;
    }
    throw Exception("The program cannot find a bin entry that can take the items.");
}

void TPutTask::CreateEntry(const std::string& EntryPath) {
    try {
        Vek_file::MakeDirectory(EntryPath);
    } catch (const Vek_file::EFileError&) {
        throw Exception("The program could not create a bin entry.");
    }
}

#endif

} // namespace App_bin
