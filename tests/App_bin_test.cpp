#include "app/App_bin.h"

#include "tests/PortableSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#ifdef _WIN32
#include "gui/Gui_application.h"
#include "tests/TestSupport.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_file.h"

#include <windows.h>
#include <shlobj.h>

#include <mutex>
#include <random>
#endif

using App_bin::TBinEntryName;
using App_bin::TBinEntryNameProps;
using PortableSupport::FailureOf;

namespace {

const std::string CannotReset = "The program cannot reset the index.";

// Every notification of a generator, as the name it gave at that moment;
// a sender other than the generator is recorded as such.
class TNameLog {
public:
    explicit TNameLog(TBinEntryName& Name) {
        Name.OnChange = [this, &Name](Base_system::TObject* Sender) {
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
    Name.OnChange = [&](Base_system::TObject*) { Seen.push_back(PropsOf(Name)); };
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

namespace {

// A key maker that cannot make the key of one text, however the list is
// ordered; the others get the usual key.
App_bin::TSortKeyMaker FailingFor(const std::string& Refused) {
    return [Refused](const std::string& Text, std::string& Key) {
        return Text != Refused && App_bin::MakeSortKey(Text, Key);
    };
}

} // namespace

TEST(App_bin_SortDescending, KeyThatCannotBeMadeSortsAllByUpperCasedBytes) {
    // By upper-cased bytes "_" (0x5F) comes after the letters; "~" after "_".
    const std::vector<std::string> Paths{"C:\\b_x", "C:\\A\\z", "C:\\a",   "C:\\B~",
                                         "C:\\bz",  "C:\\a\\Y", "C:\\A_b", "C:\\b_x"};
    const std::vector<std::string> Expected{"C:\\B~",  "C:\\b_x",  "C:\\b_x",  "C:\\bz",
                                            "C:\\A_b", "C:\\A\\z", "C:\\a\\Y", "C:\\a"};
    std::vector<std::string> Order = Paths;
    std::sort(Order.begin(), Order.end());
    do {
        std::vector<std::string> Sorted = Order;
        App_bin::SortDescending(Sorted, FailingFor("C:\\bz"));
        ASSERT_EQ(Sorted, Expected) << "given " << testing::PrintToString(Order);
    } while (std::next_permutation(Order.begin(), Order.end()));
    // Only a failing key turns the order over to the bytes.
    std::vector<std::string> Keyed = Paths;
    App_bin::SortDescending(Keyed, FailingFor("C:\\not in the list"));
    std::vector<std::string> Plain = Paths;
    App_bin::SortDescending(Plain);
    EXPECT_EQ(Keyed, Plain);
}

TEST(App_bin_SortDescending, NoKeyAtAllStillPutsItemsBeforeTheirDirectory) {
    std::vector<std::string> Paths{"C:\\A", "C:\\a\\b.txt", "C:\\A B\\x", "C:\\A\\B\\c"};
    App_bin::SortDescending(Paths, [](const std::string&, std::string&) { return false; });
    EXPECT_EQ(Paths,
              (std::vector<std::string>{"C:\\A\\B\\c", "C:\\a\\b.txt", "C:\\A B\\x", "C:\\A"}));
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
        Bin.OnChange = [this, &Bin](Base_system::TObject* Sender) {
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

// Names of mixed case, with accents, hyphens and apostrophes (which the
// locale's word order weighs apart), digits, and double-byte or multi-byte
// texts in the three code pages the program meets.
std::vector<std::string> SortCorpus() {
    std::vector<std::string> Names{
        "", "a", "A", "b", "B", "ab", "aB", "AB", "a b", "a-b", "ab-", "a'b", "co-op", "coop",
        "Co-Op", "cote", "cot\xE9", "c\xF4te", "C\xF4t\xE9", "CO\xCCTE", "\xE9t\xE9", "\xC9T\xC9",
        "etre", "\xEAtre",
        "stra\xDF"
        "e",
        "STRASSE", "strasse", "x1", "x10", "x2", "x_y", "x~y", "x.y", "x\\y", "X\\Y\\z", "\x95\x5C",
        "\x95\x5C\\a", "\x82\xA0", "\x82\xA2",
        "\x83"
        "A",
        "\x83"
        "a",
        "\xE6\x97\xA5\xE6\x9C\xAC", "\xCE\xA9mega", "\xCF\x89mega", "\xF0\x9F\x93\x84 notes",
        // Keys longer than the first guess at their size.
        std::string(40, '-') + "x", "x" + std::string(40, '\'')};
    for (std::string Name : std::vector<std::string>(Names)) {
        Names.push_back("C:\\Data\\" + Name + ".txt");
        Names.push_back("C:\\DATA\\" + Name);
    }
    return Names;
}

int Sign(int Value) {
    return (Value > 0) - (Value < 0);
}

// As the put compared before its keys: negative, zero or positive, or the
// failure of the comparison, -2.
int CompareByLocale(const std::string& A, const std::string& B) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.data(),
                          static_cast<int>(A.size()), B.data(), static_cast<int>(B.size())) -
           CSTR_EQUAL;
}

} // namespace

// The names run under the code pages 1252 and 932 alike (and UTF-8 where the
// program runs with it): every byte string is some text in each.
TEST(App_bin_SortKey, KeysOrderAsTheLocaleComparesDbcsIncluded) {
    const std::vector<std::string> Names = SortCorpus();
    std::vector<std::string> Keys(Names.size());
    for (std::size_t Index = 0; Index < Names.size(); ++Index)
        ASSERT_TRUE(App_bin::MakeSortKey(Names[Index], Keys[Index])) << Names[Index];
    int Equal = 0;
    for (std::size_t A = 0; A < Names.size(); ++A) {
        for (std::size_t B = 0; B < Names.size(); ++B) {
            const int Compared = CompareByLocale(Names[A], Names[B]);
            ASSERT_NE(Compared, -CSTR_EQUAL) << "the locale failed to compare";
            const int ByLocale = Sign(Compared);
            Equal += A != B && ByLocale == 0;
            EXPECT_EQ(Sign(Keys[A].compare(Keys[B])), ByLocale)
                << "[" << Names[A] << "] and [" << Names[B] << "] in code page " << GetACP();
        }
    }
    // Letter case aside, a and A are one: the corpus holds such pairs.
    EXPECT_GT(Equal, 0);
}

// The same answers make the same sort: even equal texts keep their places.
TEST(App_bin_SortKey, SortIsTheOneTheLocaleComparisonGivesDbcsIncluded) {
    std::vector<std::string> Names = SortCorpus();
    for (unsigned Seed = 1; Seed <= 5; ++Seed) {
        std::shuffle(Names.begin(), Names.end(), std::mt19937(Seed));
        std::vector<std::string> Expected = Names;
        std::sort(Expected.begin(), Expected.end(), [](const std::string& A, const std::string& B) {
            return CompareByLocale(A, B) < 0;
        });
        std::reverse(Expected.begin(), Expected.end());
        std::vector<std::string> Sorted = Names;
        App_bin::SortDescending(Sorted);
        ASSERT_EQ(Sorted, Expected) << "seed " << Seed;
    }
}

TEST(App_bin_ShellLength, CountsUtf16UnitsOfTheCodePage) {
    const auto Repeat = [](const std::string& Text, std::size_t Count) {
        std::string Result;
        for (std::size_t Index = 0; Index < Count; ++Index)
            Result += Text;
        return Result;
    };
    for (const std::uint32_t CodePage : {1252u, 932u, 65001u}) {
        EXPECT_FALSE(Vek_codepage::IsTooLongForTheShell(std::string(259, 'a'), CodePage))
            << CodePage;
        EXPECT_TRUE(Vek_codepage::IsTooLongForTheShell(std::string(260, 'a'), CodePage))
            << CodePage;
        EXPECT_FALSE(Vek_codepage::IsTooLongForTheShell("", CodePage)) << CodePage;
    }
    // One byte is one character in 1252.
    EXPECT_TRUE(Vek_codepage::IsTooLongForTheShell(Repeat("\xE9", 260), 1252));
    // Two bytes, one character in 932: 518 bytes are 259 characters.
    EXPECT_FALSE(Vek_codepage::IsTooLongForTheShell(Repeat("\x82\xA0", 259), 932));
    EXPECT_TRUE(Vek_codepage::IsTooLongForTheShell(Repeat("\x82\xA0", 260), 932));
    EXPECT_FALSE(Vek_codepage::IsTooLongForTheShell("C:\\" + Repeat("\x95\x5C", 128), 932));
    // UTF-8: Omega is two bytes and one unit; an emoji four bytes and two units.
    EXPECT_FALSE(Vek_codepage::IsTooLongForTheShell(Repeat("\xCE\xA9", 259), 65001));
    EXPECT_TRUE(Vek_codepage::IsTooLongForTheShell(Repeat("\xCE\xA9", 260), 65001));
    EXPECT_FALSE(Vek_codepage::IsTooLongForTheShell(Repeat("\xF0\x9F\x93\x84", 129) + "a", 65001));
    EXPECT_TRUE(Vek_codepage::IsTooLongForTheShell(Repeat("\xF0\x9F\x93\x84", 130), 65001));
    // Without a code page it measures as the system does.
    const std::string Text = Repeat("\x82\xA0", 200);
    EXPECT_EQ(Vek_codepage::IsTooLongForTheShell(Text),
              Vek_codepage::IsTooLongForTheShell(Text, GetACP()));
}

TEST(App_bin_ShellLength, FirstPairTooLongIsNamedAndRefused) {
    const std::string Long = "C:\\" + std::string(257, 'd');
    const std::string Short = "C:\\short";
    const std::string TooLong = "The program cannot put a path that is too long for the bin.";
    struct TCase {
        std::vector<std::string> Sources;
        std::vector<std::string> Destinations;
        std::string Failure;
        std::vector<std::string> Boxes;
    };
    const std::vector<TCase> Cases{
        {{Short, Short}, {"E\\1", Long}, TooLong, {"Tovel Bin|Too long: [" + Long + "]"}},
        {{Short, Short}, {Long, Long + "x"}, TooLong, {"Tovel Bin|Too long: [" + Long + "]"}},
        // A source too long for the shell names its own destination.
        {{Short, Long}, {"E\\1", "E\\2"}, TooLong, {"Tovel Bin|Too long: [E\\2]"}},
        {{Short, Long.substr(0, 259)}, {"E\\1", Long.substr(0, 259)}, "no failure", {}},
        {{}, {}, "no failure", {}},
    };
    for (const TCase& Case : Cases) {
        TestSupport::TBoxRecorder Boxes;
        EXPECT_EQ(FailureOf([&] { App_bin::RefuseTooLongPaths(Case.Sources, Case.Destinations); }),
                  Case.Failure);
        EXPECT_EQ(Boxes.Boxes(), Case.Boxes);
    }
}

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
    // A folder made just now is found by the browser only once listed.
    TestSupport::SettleFolderTimes(Start.Path());
    Application().SetLastDirectory(Start.Path());
    TBin Bin;
    Bin.SetLocationType(App_bin::bltAskUser);
    // OK at once takes what the browser preselected.
    TestSupport::TDialogWatcher Watcher(
        [](HWND Dialog) { TestSupport::PressButton(Dialog, IDOK); });
    EXPECT_EQ(Bin.AskLocation(), Start.Path());
}

#endif
