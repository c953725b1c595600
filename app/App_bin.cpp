#include "app/App_bin.h"

#include "vek/Vek_file.h"
#include "vek/Vek_string.h"

#include <algorithm>
#include <cctype>
#include <utility>

#ifdef _WIN32
#include "app/App_fileoperation.h"
#include "gui/Gui_application.h"
#include "gui/Gui_shell.h"

#include <windows.h>
#endif

namespace App_bin {

using Gui_system::Exception;

namespace {

const char PathDelimiter = '\\';
const char DriveDelimiter = ':';

// Negative, zero or positive as A sorts before, with or after B, letter case
// aside, in the user's locale.
int CompareText(const std::string& A, const std::string& B) {
#ifdef _WIN32
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.data(),
                          static_cast<int>(A.size()), B.data(), static_cast<int>(B.size())) -
           CSTR_EQUAL;
#else
    const std::size_t Length = std::min(A.size(), B.size());
    for (std::size_t Index = 0; Index < Length; ++Index) {
        const int Left = std::tolower(static_cast<unsigned char>(A[Index]));
        const int Right = std::tolower(static_cast<unsigned char>(B[Index]));
        if (Left != Right)
            return Left - Right;
    }
    return A.size() < B.size() ? -1 : (A.size() > B.size() ? 1 : 0);
#endif
}

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

void TBinEntryName::SetPrefix(const std::string& Value) {
    if (Value == FPrefix)
        return;
    FPrefix = Value;
    Changed();
}

void TBinEntryName::SetSuffix(const std::string& Value) {
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

void SortDescending(std::vector<std::string>& Paths) {
    std::sort(Paths.begin(), Paths.end(),
              [](const std::string& A, const std::string& B) { return CompareText(A, B) < 0; });
    std::reverse(Paths.begin(), Paths.end());
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

} // namespace

std::string AcceptPath(const std::string& Path) {
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
    return Vek_file::GetLongPath(Vek_file::ExpandPath(Path));
}

TBin::TBin()
    : FLocationType(bltFixed), FFixedLocation(DefaultFixedLocation()),
      FEntryName(std::make_unique<TBinEntryName>()) {
    FEntryName->OnChange = [this](Gui_system::TObject*) { Changed(); };
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
        throw Gui_system::EAbort();
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
    Task.Execute();
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

void TPutTask::Execute() {
    const std::unique_ptr<TFileOperator> Operator = CreateFileOperator();
    BuildSources(*Operator);
    BuildDestinations(*Operator);
    Operator->SetFunc(App_fileoperation::FileOperationMove);
    Operator->SetFlags(App_fileoperation::FileOperationMultipleDestinations |
                       App_fileoperation::FileOperationNoConfirmMakeDirectory);
    Operator->Execute();
}

std::unique_ptr<TFileOperator> TPutTask::CreateFileOperator() {
    return std::make_unique<TFileOperator>();
}

// The first refused path ends the put before anything exists of it.
void TPutTask::BuildSources(TFileOperator& Operator) {
    std::vector<std::string> Sources;
    Sources.reserve(Paths.size());
    for (const std::string& Path : Paths)
        Sources.push_back(AcceptPath(Path));
    SortDescending(Sources);
    Operator.Sources() = std::move(Sources);
}

void TPutTask::BuildDestinations(TFileOperator& Operator) {
    const std::string EntryPath = CreateEntry();
    Operator.Destinations() = BuildDestinationPaths(
        Vek_file::IncludeTrailingDelimiter(EntryPath, PathDelimiter), Operator.Sources());
}

// The index steps before the directory is made and never steps back: a name
// whose directory could not be made is skipped.
std::string TPutTask::CreateEntry() {
    const std::string EntryPath = Bin.GetEntryPath();
    Bin.EntryName().StepIndex();
    try {
        Vek_file::MakeDirectory(EntryPath);
    } catch (const Vek_file::EFileError&) {
        throw Exception("The program could not create a bin entry.");
    }
    return EntryPath;
}

#endif

} // namespace App_bin
