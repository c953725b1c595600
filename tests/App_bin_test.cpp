#include "app/App_bin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include "gui/Gui_application.h"
#include "tests/TestSupport.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <shlobj.h>

#include <mutex>
#endif

using App_bin::TBinEntryName;
using App_bin::TBinEntryNameProps;

namespace {

// The message of the Exception that Action raises, "EAbort", or "no failure".
template <class TAction> std::string FailureOf(TAction Action) {
    try {
        Action();
    } catch (const Gui_system::EAbort&) {
        return "EAbort";
    } catch (const Gui_system::Exception& E) {
        return E.Message();
    }
    return "no failure";
}

const std::string CannotReset = "The program cannot reset the index.";

// Every notification of a generator, as the name it gave at that moment;
// a sender other than the generator is recorded as such.
class TNameLog {
public:
    explicit TNameLog(TBinEntryName& Name) {
        Name.OnChange = [this, &Name](Gui_system::TObject* Sender) {
            Names.push_back(Sender == &Name ? Name.GetEntryName() : "stranger");
        };
    }
    std::vector<std::string> Names;
};

TBinEntryNameProps PropsOf(const TBinEntryName& Name) {
    TBinEntryNameProps Props;
    Name.GetProps(Props);
    return Props;
}

bool SameProps(const TBinEntryNameProps& A, const TBinEntryNameProps& B) {
    return A.Prefix == B.Prefix && A.Suffix == B.Suffix && A.Min == B.Min && A.Max == B.Max &&
           A.Index == B.Index && A.FillDigits == B.FillDigits;
}

} // namespace

TEST(App_bin_TBinEntryName, DefaultsGiveTheFirstName) {
    TBinEntryName Name;
    EXPECT_EQ(Name.Prefix(), "Tovel #");
    EXPECT_EQ(Name.Suffix(), "");
    EXPECT_EQ(Name.Min(), 0);
    EXPECT_EQ(Name.Max(), 9999);
    EXPECT_EQ(Name.Index(), 0);
    EXPECT_TRUE(Name.FillDigits());
    EXPECT_FALSE(Name.OnChange);
    EXPECT_EQ(Name.GetEntryName(), "Tovel #0000");
}

TEST(App_bin_TBinEntryName, StepNotifiesOnceWithTheNextName) {
    TBinEntryName Name;
    TNameLog Log(Name);
    Name.StepIndex();
    EXPECT_EQ(Name.Index(), 1);
    EXPECT_EQ(Log.Names, std::vector<std::string>{"Tovel #0001"});
}

TEST(App_bin_TBinEntryName, StepAtTheMaximumWrapsToTheMinimum) {
    TBinEntryName Name;
    Name.ResetIndex(3, 12, 11);
    TNameLog Log(Name);
    Name.StepIndex();
    Name.StepIndex();
    Name.StepIndex();
    EXPECT_EQ(Log.Names, (std::vector<std::string>{"Tovel #12", "Tovel #03", "Tovel #04"}));
    EXPECT_EQ(Name.Min(), 3);
    EXPECT_EQ(Name.Max(), 12);
}

TEST(App_bin_TBinEntryName, StepWithMinimumEqualToMaximumStaysSilent) {
    TBinEntryName Name;
    Name.ResetIndex(5, 5, 5);
    TNameLog Log(Name);
    Name.StepIndex();
    Name.RewindIndex();
    EXPECT_EQ(Name.Index(), 5);
    EXPECT_TRUE(Log.Names.empty());
}

TEST(App_bin_TBinEntryName, RewindGoesBackToTheMinimum) {
    TBinEntryName Name;
    Name.ResetIndex(2, 20, 17);
    TNameLog Log(Name);
    Name.RewindIndex();
    EXPECT_EQ(Name.Index(), 2);
    EXPECT_EQ(Log.Names, std::vector<std::string>{"Tovel #02"});
}

TEST(App_bin_TBinEntryName, InvalidTriplesAreRefusedAndChangeNothing) {
    TBinEntryName Name;
    Name.ResetIndex(1, 10, 4);
    TNameLog Log(Name);
    EXPECT_EQ(FailureOf([&] { Name.ResetIndex(-1, 10, 0); }), CannotReset);
    EXPECT_EQ(FailureOf([&] { Name.ResetIndex(5, 4, 5); }), CannotReset);
    EXPECT_EQ(FailureOf([&] { Name.ResetIndex(0, 10, 11); }), CannotReset);
    EXPECT_EQ(FailureOf([&] { Name.ResetIndex(3, 10, 2); }), CannotReset);
    EXPECT_EQ(FailureOf([&] { Name.SetIndex(11); }), CannotReset);
    EXPECT_EQ(FailureOf([&] { Name.SetIndex(0); }), CannotReset);
    EXPECT_EQ(Name.Min(), 1);
    EXPECT_EQ(Name.Max(), 10);
    EXPECT_EQ(Name.Index(), 4);
    EXPECT_TRUE(Log.Names.empty());
}

TEST(App_bin_TBinEntryName, ResetWithTheStoredTripleDoesNothing) {
    TBinEntryName Name;
    TNameLog Log(Name);
    Name.ResetIndex(0, 9999, 0);
    Name.SetIndex(0);
    EXPECT_TRUE(Log.Names.empty());
    // A valid new triple is stored whole and told once.
    Name.ResetIndex(0, 0, 0);
    EXPECT_EQ(Log.Names, std::vector<std::string>{"Tovel #0"});
}

TEST(App_bin_TBinEntryName, ZerosFillToTheDigitCountOfTheMaximum) {
    TBinEntryName Name;
    Name.SetIndex(42);
    EXPECT_EQ(Name.GetEntryName(), "Tovel #0042");
    Name.ResetIndex(0, 10000, 42);
    EXPECT_EQ(Name.GetEntryName(), "Tovel #00042");
    Name.ResetIndex(0, 5, 3);
    EXPECT_EQ(Name.GetEntryName(), "Tovel #3");
    Name.ResetIndex(0, 2147483647, 2147483647);
    EXPECT_EQ(Name.GetEntryName(), "Tovel #2147483647");
    Name.ResetIndex(0, 10000, 42);
    Name.SetFillDigits(false);
    EXPECT_EQ(Name.GetEntryName(), "Tovel #42");
    Name.SetPrefix("");
    Name.SetSuffix(" (old)");
    EXPECT_EQ(Name.GetEntryName(), "42 (old)");
}

TEST(App_bin_TBinEntryName, TextsNotifyOnlyWhenTheyDiffer) {
    TBinEntryName Name;
    TNameLog Log(Name);
    Name.SetPrefix("Tovel #");
    Name.SetSuffix("");
    Name.SetFillDigits(true);
    EXPECT_TRUE(Log.Names.empty());
    Name.SetPrefix("TOVEL #");
    Name.SetSuffix("!");
    Name.SetSuffix("!");
    Name.SetFillDigits(false);
    EXPECT_EQ(Log.Names, (std::vector<std::string>{"TOVEL #0000", "TOVEL #0000!", "TOVEL #0!"}));
}

TEST(App_bin_TBinEntryName, SetPropsAppliesEachValueInOrder) {
    TBinEntryName Name;
    std::vector<TBinEntryNameProps> Seen;
    Name.OnChange = [&](Gui_system::TObject*) { Seen.push_back(PropsOf(Name)); };
    TBinEntryNameProps Props;
    Props.Prefix = "P";
    Props.Suffix = "S";
    Props.Min = 1;
    Props.Max = 99;
    Props.Index = 7;
    Props.FillDigits = false;
    Name.SetProps(Props);
    ASSERT_EQ(Seen.size(), 4u);
    EXPECT_EQ(Seen[0].Prefix, "P");
    EXPECT_EQ(Seen[0].Suffix, "");
    EXPECT_EQ(Seen[1].Suffix, "S");
    EXPECT_EQ(Seen[1].Index, 0);
    EXPECT_EQ(Seen[2].Index, 7);
    EXPECT_EQ(Seen[2].Max, 99);
    EXPECT_TRUE(Seen[2].FillDigits);
    EXPECT_TRUE(SameProps(Seen[3], Props));
    EXPECT_EQ(Name.GetEntryName(), "P7S");

    Seen.clear();
    Name.SetProps(Props);
    EXPECT_TRUE(Seen.empty());
}

TEST(App_bin_TBinEntryName, SetPropsStopsAtAnInvalidTriple) {
    TBinEntryName Name;
    TNameLog Log(Name);
    TBinEntryNameProps Props = PropsOf(Name);
    Props.Prefix = "New ";
    Props.Suffix = ".";
    Props.Min = 10;
    Props.Index = 2;
    Props.FillDigits = false;
    EXPECT_EQ(FailureOf([&] { Name.SetProps(Props); }), CannotReset);
    EXPECT_EQ(Name.Prefix(), "New ");
    EXPECT_EQ(Name.Suffix(), ".");
    EXPECT_EQ(Name.Min(), 0);
    EXPECT_EQ(Name.Index(), 0);
    EXPECT_TRUE(Name.FillDigits());
    EXPECT_EQ(Log.Names, (std::vector<std::string>{"New 0000", "New 0000."}));
}

TEST(App_bin_SortDescending, ItemsInsideADirectoryComeBeforeIt) {
    std::vector<std::string> Paths{"C:\\A", "D:\\y.txt", "C:\\A\\b.txt", "C:\\A\\a.txt", "C:\\B"};
    App_bin::SortDescending(Paths);
    EXPECT_EQ(Paths, (std::vector<std::string>{"D:\\y.txt", "C:\\B", "C:\\A\\b.txt", "C:\\A\\a.txt",
                                               "C:\\A"}));
}

TEST(App_bin_SortDescending, IgnoresLetterCaseAndKeepsDuplicates) {
    std::vector<std::string> Paths{"C:\\a.txt", "C:\\B.txt", "C:\\c.txt", "C:\\a.txt"};
    App_bin::SortDescending(Paths);
    EXPECT_EQ(Paths,
              (std::vector<std::string>{"C:\\c.txt", "C:\\B.txt", "C:\\a.txt", "C:\\a.txt"}));
    std::vector<std::string> Empty;
    App_bin::SortDescending(Empty);
    EXPECT_TRUE(Empty.empty());
}

TEST(App_bin_BuildDestinationPaths, DriveBecomesTheFirstLevel) {
    const std::string Base = "C:\\Tools\\Bin\\Tovel #0000\\";
    EXPECT_EQ(App_bin::BuildDestinationPaths(Base, {"D:\\y.txt", "C:\\A\\x.txt"}),
              (std::vector<std::string>{"C:\\Tools\\Bin\\Tovel #0000\\D\\y.txt",
                                        "C:\\Tools\\Bin\\Tovel #0000\\C\\A\\x.txt"}));
    // Only the first colon goes: an alternate stream keeps its own.
    EXPECT_EQ(App_bin::BuildDestinationPaths(Base, {"C:\\a.txt:stream"}),
              std::vector<std::string>{"C:\\Tools\\Bin\\Tovel #0000\\C\\a.txt:stream"});
    EXPECT_TRUE(App_bin::BuildDestinationPaths(Base, {}).empty());
}

// Natively the library reads code page 932; under Windows the system must use it.
TEST(App_bin_BuildDestinationPaths, DbcsColonAfterALeadByteIsNoColon) {
#ifdef _WIN32
    if (GetACP() != 932)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 932";
#endif
    EXPECT_EQ(App_bin::BuildDestinationPaths("E\\", {"\x95:C:\\a"}),
              std::vector<std::string>{"E\\\x95:C\\a"});
}

#ifdef _WIN32

using App_bin::TBin;
using App_bin::TBinProps;
using Gui_application::Application;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// Every notification of a bin: "bin" when the bin itself was the sender.
class TBinLog {
public:
    explicit TBinLog(TBin& Bin) {
        Bin.OnChange = [this, &Bin](Gui_system::TObject* Sender) {
            Events.push_back(Sender == &Bin ? "bin" : "stranger");
        };
    }
    std::vector<std::string> Events;
};

// The long form of the test program's directory, with a trailing backslash,
// found here without the library.
std::string ProgramDirectory() {
    const std::string Directory = TestSupport::ExeDirectory();
    char Buffer[MAX_PATH * 4];
    const DWORD Length = GetLongPathNameA(Directory.c_str(), Buffer, sizeof Buffer);
    return Length ? std::string(Buffer, Length) : Directory;
}

// Keeps the application's last directory across a test, and checks that the
// process's current directory never moved: Windows holds it open.
class TLastDirectoryKept {
public:
    TLastDirectoryKept()
        : FSaved(Application().LastDirectory()), FCurrent(Vek_file::GetCurrentDirectoryPath()) {}
    ~TLastDirectoryKept() {
        EXPECT_EQ(Vek_file::GetCurrentDirectoryPath(), FCurrent);
        Application().SetLastDirectory(FSaved);
    }

private:
    std::string FSaved;
    std::string FCurrent;
};

// Answers the folder browser: records its text, then selects Folder and
// presses OK.
class TBrowserDriver {
public:
    explicit TBrowserDriver(std::string Folder)
        : FFolder(std::move(Folder)), FWatcher([this](HWND Dialog) { Answer(Dialog); }) {}

    std::vector<std::string> Seen() const {
        std::lock_guard<std::mutex> Guard(FLock);
        return FSeen;
    }

private:
    void Answer(HWND Dialog) {
        {
            std::lock_guard<std::mutex> Guard(FLock);
            FSeen.push_back(TestSupport::MessageBoxText(Dialog));
        }
        TestSupport::SelectFolder(Dialog, FFolder);
        TestSupport::PressButton(Dialog, IDOK);
    }

    std::string FFolder;
    mutable std::mutex FLock;
    std::vector<std::string> FSeen;
    TestSupport::TDialogWatcher FWatcher;
};

const std::string UnknownIdentifier = "An unknown identifier.";

} // namespace

TEST(App_bin_TBin, DefaultsAreTheFixedBinBesideTheProgram) {
    TBin Bin;
    EXPECT_EQ(App_bin::DefaultFixedLocation(), "Bin");
    EXPECT_EQ(Bin.LocationType(), App_bin::bltFixed);
    EXPECT_EQ(Bin.FixedLocation(), "Bin");
    EXPECT_EQ(Bin.EntryName().GetEntryName(), "Tovel #0000");
    EXPECT_FALSE(Bin.OnChange);
    EXPECT_EQ(Bin.GetLocation(), ProgramDirectory() + "Bin");
    EXPECT_EQ(Bin.GetEntryPath(), ProgramDirectory() + "Bin\\Tovel #0000");
    // Asking for the path does not step the index.
    EXPECT_EQ(Bin.EntryName().Index(), 0);
}

TEST(App_bin_TBin, FixedLocationResolvesAgainstTheProgramDirectory) {
    TBin Bin;
    const std::string Directory = ProgramDirectory();
    const std::string Root = Directory.substr(0, 3);
    ASSERT_EQ(Root.substr(1), ":\\");
    Bin.SetFixedLocation("\\Bin");
    EXPECT_EQ(Bin.GetLocation(), Root + "Bin");
    Bin.SetFixedLocation("..\\Bin");
    EXPECT_EQ(Bin.GetLocation(), Directory + "..\\Bin");
    Bin.SetFixedLocation("");
    EXPECT_EQ(Bin.GetLocation(), Directory);
    EXPECT_EQ(Bin.GetEntryPath(), Directory + "Tovel #0000");
    Bin.SetFixedLocation("D:\\Bin");
    EXPECT_EQ(Bin.GetLocation(), "D:\\Bin");
    EXPECT_EQ(Bin.GetEntryPath(), "D:\\Bin\\Tovel #0000");
    Bin.SetFixedLocation("D:\\");
    EXPECT_EQ(Bin.GetEntryPath(), "D:\\Tovel #0000");
}

TEST(App_bin_TBin, UnknownLocationTypeFailsWhenTheLocationIsNeeded) {
    TBin Bin;
    TBinLog Log(Bin);
    Bin.SetLocationType(2);
    EXPECT_EQ(Log.Events, std::vector<std::string>{"bin"});
    EXPECT_EQ(FailureOf([&] { Bin.GetLocation(); }), UnknownIdentifier);
    EXPECT_EQ(FailureOf([&] { Bin.GetEntryPath(); }), UnknownIdentifier);

    TestSupport::TTempDir Dir;
    const std::string File = Dir / "kept.txt";
    TestSupport::WriteFile(File, "kept");
    EXPECT_EQ(FailureOf([&] { Bin.Put({File}); }), UnknownIdentifier);
    EXPECT_EQ(TestSupport::ReadFile(File), "kept");
    EXPECT_EQ(Bin.EntryName().Index(), 0);
    EXPECT_EQ(Log.Events.size(), 1u);
}

TEST(App_bin_TBin, ValuesNotifyOnlyWhenTheyChange) {
    TBin Bin;
    TBinLog Log(Bin);
    Bin.SetLocationType(App_bin::bltFixed);
    Bin.SetFixedLocation("Bin");
    EXPECT_TRUE(Log.Events.empty());
    Bin.SetLocationType(App_bin::bltAskUser);
    Bin.SetFixedLocation("bin");
    EXPECT_EQ(Log.Events, (std::vector<std::string>{"bin", "bin"}));
    // The generator's changes reach the bin's listener as the bin's own.
    Bin.EntryName().StepIndex();
    Bin.EntryName().SetSuffix("x");
    EXPECT_EQ(Log.Events.size(), 4u);
    EXPECT_EQ(Log.Events.back(), "bin");
}

TEST(App_bin_TBin, PropsTravelInBothDirections) {
    TBin Bin;
    TBinLog Log(Bin);
    TBinProps Props;
    Bin.GetProps(Props);
    EXPECT_EQ(Props.LocationType, App_bin::bltFixed);
    EXPECT_EQ(Props.FixedLocation, "Bin");
    EXPECT_TRUE(SameProps(Props.EntryName, PropsOf(Bin.EntryName())));
    Bin.SetProps(Props);
    EXPECT_TRUE(Log.Events.empty());

    Props.LocationType = App_bin::bltAskUser;
    Props.FixedLocation = "\\Elsewhere";
    Props.EntryName.Prefix = "E";
    Props.EntryName.Max = 50;
    Props.EntryName.Index = 49;
    Bin.SetProps(Props);
    EXPECT_EQ(Log.Events.size(), 4u);
    TBinProps Read;
    Bin.GetProps(Read);
    EXPECT_EQ(Read.LocationType, App_bin::bltAskUser);
    EXPECT_EQ(Read.FixedLocation, "\\Elsewhere");
    EXPECT_TRUE(SameProps(Read.EntryName, Props.EntryName));

    // A refused triple passes on after the location values are applied.
    Props.LocationType = App_bin::bltFixed;
    Props.FixedLocation = "Bin";
    Props.EntryName.Index = 51;
    EXPECT_EQ(FailureOf([&] { Bin.SetProps(Props); }), CannotReset);
    EXPECT_EQ(Bin.LocationType(), App_bin::bltFixed);
    EXPECT_EQ(Bin.FixedLocation(), "Bin");
    EXPECT_EQ(Bin.EntryName().Index(), 49);
}

TEST(App_bin_TBin, AskUserTakesTheChosenDirectoryAndRemembersIt) {
    TLastDirectoryKept Kept;
    TestSupport::TTempDir Start;
    TestSupport::TTempDir Chosen;
    Application().SetLastDirectory(Start.Path());
    TBin Bin;
    Bin.SetLocationType(App_bin::bltAskUser);
    std::string Location;
    {
        TBrowserDriver Driver(Chosen.Path());
        Location = Bin.GetLocation();
        EXPECT_EQ(Driver.Seen(), std::vector<std::string>{"Specify the bin location."});
    }
    EXPECT_EQ(Location, Chosen.Path());
    EXPECT_EQ(Application().LastDirectory(), Chosen.Path());
    // Every call asks again; the entry path follows the new choice.
    {
        TBrowserDriver Driver(Start.Path());
        EXPECT_EQ(Bin.GetEntryPath(), Start.Path() + "\\Tovel #0000");
        EXPECT_EQ(Driver.Seen().size(), 1u);
    }
    EXPECT_EQ(Application().LastDirectory(), Start.Path());
}

TEST(App_bin_TBin, AskUserStartsInTheLastDirectory) {
    TLastDirectoryKept Kept;
    TestSupport::TTempDir Start;
    Application().SetLastDirectory(Start.Path());
    TBin Bin;
    Bin.SetLocationType(App_bin::bltAskUser);
    // OK at once takes what the browser preselected.
    TestSupport::TDialogWatcher Watcher(
        [](HWND Dialog) { TestSupport::PressButton(Dialog, IDOK); });
    EXPECT_EQ(Bin.AskLocation(), Start.Path());
}

#endif
