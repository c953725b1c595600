// The real TovelBin.exe under Wine and the real shell, driven by random
// steps over a small tree whose names collide on purpose: files and
// directories share names, versions of one path meet in the bin and on their
// way back. After every step one invariant holds: every version of every file
// that ever existed is still somewhere (at a path of the tree, in the bin or
// in the Recycle Bin), byte for byte. Only the user's own overwriting retires
// a version.
//
// TOVEL_MODEL_SEED repeats a run, TOVEL_MODEL_SECONDS sets its length (60 s
// by default). A loss prints the seed and every step so far, with every
// question seen and the answer given.

#include "ProgramSupport.h"
#include "TestSupport.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <unordered_map>

using namespace ProgramSupport;
using namespace TestSupport;

namespace {

const DWORD Patience = 60000;

// What a file or directory may be called, relative to the tree: each name
// can be a file at one time and a directory at another.
const char* const Names[] = {"x.txt", "y.txt",       "A", "A\\x.txt", "A\\y.txt",
                             "A\\B",  "A\\B\\x.txt", "B", "B\\x.txt"};

// Windows owned by a step, never answered as questions.
bool IsStepWindow(HWND Window) {
    const std::string Caption = WindowText(Window);
    return Caption == "Entries" || Caption == "Import Paths";
}

std::string Environment(const char* Name) {
    const char* Value = std::getenv(Name);
    return Value ? Value : std::string();
}

// The directories directly in Location.
std::size_t CountEntries(const std::string& Location) {
    const std::vector<std::string> Paths = ListTree(Location);
    return static_cast<std::size_t>(
        std::count_if(Paths.begin(), Paths.end(),
                      [](const std::string& Path) { return Path.find('\\') == Path.size() - 1; }));
}

// Every version by the hash of its bytes.
struct TVersion {
    std::string Path;
    std::size_t Step = 0;
    std::string Bytes;
};

class TRegister {
public:
    void Add(const std::string& Path, std::size_t Step, const std::string& Bytes) {
        FVersions[std::hash<std::string>()(Bytes)] = TVersion{Path, Step, Bytes};
    }
    void Retire(const std::string& Bytes) { FVersions.erase(std::hash<std::string>()(Bytes)); }
    // The versions no file below the roots holds byte for byte.
    std::vector<TVersion> Missing(const std::vector<std::string>& Roots) const {
        std::unordered_map<std::size_t, const TVersion*> Left;
        for (const auto& Version : FVersions)
            Left[Version.first] = &Version.second;
        for (const std::string& Root : Roots) {
            for (const std::string& Path : ListTree(Root)) {
                if (Path.back() == '\\')
                    continue;
                const std::string Bytes = ReadFile(Root + "\\" + Path);
                const auto Found = Left.find(std::hash<std::string>()(Bytes));
                if (Found != Left.end() && Found->second->Bytes == Bytes)
                    Left.erase(Found);
            }
        }
        std::vector<TVersion> Lost;
        for (const auto& Version : Left)
            Lost.push_back(*Version.second);
        return Lost;
    }

private:
    std::unordered_map<std::size_t, TVersion> FVersions;
};

struct TSettings {
    unsigned Seed = 20240601;
    double Seconds = 60;
};

TSettings ReadSettings() {
    TSettings Settings;
    if (!Environment("TOVEL_MODEL_SEED").empty())
        Settings.Seed = static_cast<unsigned>(std::stoul(Environment("TOVEL_MODEL_SEED")));
    if (!Environment("TOVEL_MODEL_SECONDS").empty())
        Settings.Seconds = std::stod(Environment("TOVEL_MODEL_SECONDS"));
    return Settings;
}

class TModel {
public:
    explicit TModel(const TSettings& Settings)
        : FSettings(Settings), FRandom(Settings.Seed), FTree("D:\\"),
          FRun(std::to_string(GetCurrentProcessId()) + "." + std::to_string(GetTickCount())) {}
    ~TModel() {
        if (FProgram && FProgram->Running())
            Close();
    }

    // Runs steps until the time is over or the program stops answering.
    void Run();
    std::size_t Steps() const { return FLog.size(); }
    std::size_t Versions() const { return FVersionsMade; }
    std::size_t Losses() const { return FLosses; }
    // How often each answer was given: "Keep Both 4, No 7, ...".
    std::string Answers() const {
        std::string Text;
        for (const auto& Answer : FAnswers)
            Text += (Text.empty() ? "" : ", ") + Answer.first + " " + std::to_string(Answer.second);
        return Text;
    }

private:
    struct TStepKind {
        const char* Name;
        int Weight;
        void (TModel::*Run)();
    };
    static const TStepKind StepKinds[];

    std::size_t Pick(std::size_t Count) {
        return std::uniform_int_distribution<std::size_t>(0, Count - 1)(FRandom);
    }
    bool Chance(int Percent) { return static_cast<int>(Pick(100)) < Percent; }
    void Say(const std::string& Text) { FLog.back() += Text; }
    std::string Path(const std::string& Name) const { return FTree / Name; }
    std::vector<std::string> Existing() const {
        std::vector<std::string> Found;
        for (const char* Name : Names)
            if (Exists(Path(Name)))
                Found.push_back(Name);
        return Found;
    }

    void Write();
    void Put();
    void PutAndKill();
    void TakeBackLastPut();
    void TakeBackLastPutAndKill();
    void TakeBackOneEntry() { EntriesCommand(IDC_ENTRIES_TAKE_BACK, 1); }
    void TakeBackSeveralEntries() { EntriesCommand(IDC_ENTRIES_TAKE_BACK, 2 + Pick(3)); }
    void Discard() { EntriesCommand(IDC_ENTRIES_DISCARD, 1 + Pick(2)); }
    void Close();

    bool Start(const std::vector<std::string>& Items);
    void EnsureRunning();
    std::string NextEntry();
    void EntriesCommand(int Button, std::size_t Rows);
    void Check();

    std::vector<HWND> Questions() const;
    bool Guarded() const;
    bool Idle(HWND Top) const;
    bool AnswerUntil(const std::function<bool()>& Done, HWND Top, DWORD Timeout = Patience);
    void Answer(HWND Box);
    void Hung(const std::string& What);

    const TSettings FSettings;
    std::mt19937 FRandom;
    TInstalled FInstalled;
    TTempDir FTree;
    TTempDir FLists;
    const std::string FRun;
    TRegister FRegister;
    std::unique_ptr<TProgram> FProgram;
    HWND FMain = nullptr;
    std::vector<std::string> FLog;
    std::size_t FVersionsMade = 0;
    std::size_t FLosses = 0;
    std::size_t FAnswered = 0;
    std::map<std::string, std::size_t> FAnswers;
    bool FYesOnly = false;
    bool FStopped = false;
};

const TModel::TStepKind TModel::StepKinds[] = {
    {"write", 5, &TModel::Write},
    {"put", 5, &TModel::Put},
    {"put, killed", 1, &TModel::PutAndKill},
    {"take back the last put", 3, &TModel::TakeBackLastPut},
    {"take back the last put, killed", 1, &TModel::TakeBackLastPutAndKill},
    {"take back one entry", 2, &TModel::TakeBackOneEntry},
    {"take back several entries", 2, &TModel::TakeBackSeveralEntries},
    {"discard", 1, &TModel::Discard},
    {"close", 1, &TModel::Close},
};

void TModel::Run() {
    std::vector<const TStepKind*> Kinds;
    for (const TStepKind& Kind : StepKinds)
        for (int Weight = 0; Weight < Kind.Weight; ++Weight)
            Kinds.push_back(&Kind);
    const DWORD Start = GetTickCount();
    for (int First = 0; First < 4; ++First) {
        FLog.push_back(std::to_string(FLog.size() + 1) + " write:");
        Write();
    }
    while (!FStopped && GetTickCount() - Start < FSettings.Seconds * 1000) {
        const TStepKind& Kind = *Kinds[Pick(Kinds.size())];
        FLog.push_back(std::to_string(FLog.size() + 1) + " " + Kind.Name + ":");
        const DWORD Began = GetTickCount();
        (this->*Kind.Run)();
        Check();
        // A step that waits that long waited for something that never came.
        if (GetTickCount() - Began > 10000)
            std::cout << "model: slow step (" << (GetTickCount() - Began) / 1000
                      << " s): " << FLog.back() << std::endl;
    }
}

// A new version at a name where no directory stands; the parents are made.
// A version written over is the user's own loss, retired from the register.
void TModel::Write() {
    const std::string Name = Names[Pick(std::size(Names))];
    const std::string Target = Path(Name);
    for (std::size_t At = Name.find('\\'); At != std::string::npos; At = Name.find('\\', At + 1)) {
        const std::string Parent = Path(Name.substr(0, At));
        if (Exists(Parent) && !(GetFileAttributesA(Parent.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
            Say(" " + Name + " lies below a file");
            return;
        }
        CreateDirectoryA(Parent.c_str(), nullptr);
    }
    const DWORD Attributes = GetFileAttributesA(Target.c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Say(" " + Name + " is a directory");
        return;
    }
    if (Attributes != INVALID_FILE_ATTRIBUTES)
        FRegister.Retire(ReadFile(Target));
    std::string Bytes = Name + " version " + std::to_string(FLog.size()) + " of run " + FRun + "\n";
    Bytes.append(Pick(3000), static_cast<char>('a' + Pick(26)));
    WriteFile(Target, Bytes);
    FRegister.Add(Name, FLog.size(), Bytes);
    ++FVersionsMade;
    Say(" " + Name + (Attributes != INVALID_FILE_ATTRIBUTES ? " changed" : " made"));
}

// The put of one to three names, one perhaps below another: on the command
// line of a start, handed by a second start to the running program, or
// through Import Paths into it.
void TModel::Put() {
    const std::vector<std::string> Found = Existing();
    if (Found.empty())
        return Say(" nothing to put");
    std::vector<std::string> Items;
    for (std::size_t Count = 1 + Pick(3); Count > 0; --Count) {
        const std::string& Name = Found[Pick(Found.size())];
        if (std::find(Items.begin(), Items.end(), Name) == Items.end())
            Items.push_back(Name);
    }
    for (const std::string& Item : Items)
        Say(" " + Item);
    std::string Entry;
    if (!FProgram || !FProgram->Running()) {
        Entry = NextEntry();
        Say(" (command line into " + Entry + ")");
        if (!Start(Items))
            return;
    } else if (Chance(40)) {
        // Send To, or a drop onto the exe, while the program is open.
        Entry = NextEntry();
        Say(" (handed to the running copy into " + Entry + ")");
        std::string CommandLine = Quoted(FInstalled.Exe());
        for (const std::string& Item : Items)
            CommandLine += " " + Quoted(Path(Item));
        const TProgram Second(CommandLine);
        if (!AnswerUntil([&] { return !Second.Running(); }, nullptr))
            return Hung("the second start did not end");
    } else {
        Entry = NextEntry();
        Say(" (Import Paths into " + Entry + ")");
        std::string List;
        for (const std::string& Item : Items)
            List += Path(Item) + "\r\n";
        WriteFile(FLists / "paths.txt", List);
        PostMessageA(FMain, WM_COMMAND, IDM_BIN_PUT_IMPORT_PATHS, 0);
        HWND Open = nullptr;
        if (!AnswerUntil(
                [&] {
                    Open = WaitForWindow(
                        *FProgram, [](HWND Window) { return WindowText(Window) == "Import Paths"; },
                        0);
                    return Open != nullptr;
                },
                nullptr))
            return Hung("Import Paths did not open");
        HWND NameBox = GetDlgItem(Open, cmb13) ? GetDlgItem(Open, cmb13) : GetDlgItem(Open, edt1);
        SendMessageA(NameBox, WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>((FLists / "paths.txt").c_str()));
        PressButton(Open, IDOK);
    }
    const std::string Next = "Next: " + Entry;
    if (!AnswerUntil(
            [&] { return Exists(FInstalled.Bin() + "\\" + Entry) && NextLabel(FMain) != Next; },
            FMain))
        Hung("the put did not end");
}

void TModel::PutAndKill() {
    const std::vector<std::string> Found = Existing();
    if (Found.empty())
        return Say(" nothing to put");
    if (FProgram && FProgram->Running())
        Close();
    const std::string Item = Found[Pick(Found.size())];
    const std::string Entry = NextEntry();
    Say(" " + Item + " into " + Entry);
    FProgram = std::make_unique<TProgram>(Quoted(FInstalled.Exe()) + " " + Quoted(Path(Item)));
    // As soon as the entry is made, or at once.
    if (Chance(50))
        WaitFor([&] { return Exists(FInstalled.Bin() + "\\" + Entry) || !FProgram->Running(); },
                Patience);
    FProgram->Kill();
    Say(" killed");
}

void TModel::TakeBackLastPut() {
    EnsureRunning();
    const std::size_t Before = FAnswered;
    PostMessageA(FMain, WM_COMMAND, IDM_BIN_TAKE_BACK_LAST_PUT, 0);
    if (!AnswerUntil([&] { return FAnswered > Before; }, FMain))
        Hung("the take back did not end");
}

// Yes to every question, then a kill: at once, or once the move runs or the
// take back has ended.
void TModel::TakeBackLastPutAndKill() {
    EnsureRunning();
    const std::size_t Before = FAnswered;
    FYesOnly = true;
    PostMessageA(FMain, WM_COMMAND, IDM_BIN_TAKE_BACK_LAST_PUT, 0);
    AnswerUntil([&] { return FAnswered > Before; }, nullptr);
    if (Chance(50))
        AnswerUntil([&] { return Guarded() || Idle(FMain); }, nullptr);
    FYesOnly = false;
    FProgram->Kill();
    Say(" killed");
}

void TModel::Close() {
    if (!FProgram || !FProgram->Running())
        return Say(" not running");
    PostMessageA(FMain, WM_CLOSE, 0, 0);
    if (!AnswerUntil([&] { return !FProgram->Running(); }, nullptr))
        Hung("the program did not close");
}

// The Entries dialog: Rows entries chosen at random (as many as there are,
// if fewer), then Button, every question answered, and Close.
void TModel::EntriesCommand(int Button, std::size_t Rows) {
    const std::size_t Count = CountEntries(FInstalled.Bin());
    if (Count == 0)
        return Say(" no entry");
    EnsureRunning();
    PostMessageA(FMain, WM_COMMAND, IDM_BIN_ENTRIES, 0);
    HWND Entries = nullptr;
    HWND List = nullptr;
    if (!AnswerUntil(
            [&] {
                Entries = WaitForWindow(
                    *FProgram, [](HWND Window) { return WindowText(Window) == "Entries"; }, 0);
                List = Entries ? GetDlgItem(Entries, IDC_ENTRIES_LIST) : nullptr;
                return List && static_cast<std::size_t>(
                                   SendMessageA(List, LVM_GETITEMCOUNT, 0, 0)) == Count;
            },
            nullptr))
        return Hung("the Entries dialog did not list the bin");
    std::vector<int> Chosen;
    for (int Row = 0; Row < static_cast<int>(Count); ++Row)
        Chosen.push_back(Row);
    std::shuffle(Chosen.begin(), Chosen.end(), FRandom);
    Chosen.resize(std::min(Rows, Count));
    const std::vector<std::string> Shown = ListViewRows(*FProgram, List);
    for (int Row : Chosen)
        Say(" " + Shown[Row]);
    SelectListViewRows(*FProgram, List, Chosen);
    const std::size_t Before = FAnswered;
    PressButton(Entries, Button);
    if (!AnswerUntil([&] { return FAnswered > Before; }, Entries))
        return Hung("the command of the Entries dialog did not end");
    PressButton(Entries, IDCANCEL);
    if (!AnswerUntil([&] { return !IsWindow(Entries); }, FMain))
        Hung("the Entries dialog did not close");
}

bool TModel::Start(const std::vector<std::string>& Items) {
    std::string CommandLine = Quoted(FInstalled.Exe());
    for (const std::string& Item : Items)
        CommandLine += " " + Quoted(Path(Item));
    FProgram = std::make_unique<TProgram>(CommandLine);
    FMain = WaitForMainWindow(*FProgram, Patience);
    if (!FMain)
        Hung("the program showed no window");
    return FMain != nullptr;
}

void TModel::EnsureRunning() {
    if (FProgram && FProgram->Running())
        return;
    Say(" (started)");
    if (Start({}) && !AnswerUntil([] { return true; }, FMain))
        Hung("the program did not settle after its start");
}

// The entry the next put makes: the running program shows it; a stopped one
// kept its index in its settings as soon as a put had made its entry.
std::string TModel::NextEntry() {
    const std::string Label = "Next: ";
    if (FProgram && FProgram->Running())
        return NextLabel(FMain).substr(std::min(Label.size(), NextLabel(FMain).size()));
    const std::string Settings =
        Exists(FInstalled.Settings()) ? ReadFile(FInstalled.Settings()) : "";
    const std::size_t At = Settings.find("\r\nIndex=");
    const std::string Index = At == std::string::npos
                                  ? "0"
                                  : Settings.substr(At + 8, Settings.find("\r\n", At + 2) - At - 8);
    return "Tovel #" + std::string(4 - std::min<std::size_t>(4, Index.size()), '0') + Index;
}

void TModel::Check() {
    const std::vector<TVersion> Lost =
        FRegister.Missing({FTree.Path(), FInstalled.Bin(), TrashDirectory()});
    if (Lost.empty())
        return;
    std::string Report = "seed " + std::to_string(FSettings.Seed) + ": lost after step " +
                         std::to_string(FLog.size()) + ":\n";
    for (const TVersion& Version : Lost) {
        Report += "  " + Version.Path + " as written in step " + std::to_string(Version.Step) +
                  " (" + std::to_string(Version.Bytes.size()) + " bytes)\n";
        FRegister.Retire(Version.Bytes);
    }
    FLosses += Lost.size();
    for (const std::string& Step : FLog)
        Report += "  " + Step + "\n";
    ADD_FAILURE() << Report;
}

// Dialogs a user sees that no step owns: the program's boxes and questions
// and the shell's.
std::vector<HWND> TModel::Questions() const {
    std::vector<HWND> Found;
    for (HWND Window : TopLevelWindows(*FProgram)) {
        RECT Bounds;
        if (IsDialog(Window) && !IsStepWindow(Window) && GetWindowRect(Window, &Bounds) &&
            Bounds.bottom > Bounds.top)
            Found.push_back(Window);
    }
    return Found;
}

// The guard that holds the program modal during a move: a dialog without height.
bool TModel::Guarded() const {
    for (HWND Window : TopLevelWindows(*FProgram)) {
        RECT Bounds;
        if (IsDialog(Window) && GetWindowRect(Window, &Bounds) && Bounds.bottom == Bounds.top)
            return true;
    }
    return false;
}

// The program waits for the user in Top again. A message sent returns only
// once it runs a message loop: the state seen after it is no passing moment.
bool TModel::Idle(HWND Top) const {
    const auto Settled = [&] { return IsWindowEnabled(Top) && Questions().empty() && !Guarded(); };
    DWORD_PTR Result;
    return Settled() && SendMessageTimeoutA(Top, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &Result) != 0 &&
           Settled();
}

// Answers every question as it comes until Done holds and, given Top, the
// program is idle in it; a program that ended only needs Done.
bool TModel::AnswerUntil(const std::function<bool()>& Done, HWND Top, DWORD Timeout) {
    return WaitFor(
        [&] {
            for (HWND Box : Questions())
                Answer(Box);
            if (!FProgram->Running() || !Top)
                return Done();
            return Done() && Idle(Top);
        },
        Timeout);
}

void TModel::Answer(HWND Box) {
    const std::string Text = WindowText(Box) + "|" + MessageBoxText(Box);
    std::vector<std::pair<int, const char*>> Choices;
    if (GetDlgItem(Box, IDC_CONFLICT_KEEP_BOTH)) {
        if (!FYesOnly && Chance(30) && IsWindowVisible(GetDlgItem(Box, IDC_CONFLICT_ALL))) {
            PostMessageA(GetDlgItem(Box, IDC_CONFLICT_ALL), BM_CLICK, 0, 0);
            Say(" [for all]");
            ++FAnswers["for all"];
        }
        const HWND Replace = GetDlgItem(Box, IDC_CONFLICT_REPLACE);
        if (Replace && IsWindowVisible(Replace) && IsWindowEnabled(Replace))
            Choices.push_back({IDC_CONFLICT_REPLACE, "Replace"});
        Choices.push_back({IDC_CONFLICT_KEEP_BOTH, "Keep Both"});
        if (!FYesOnly)
            Choices.insert(Choices.end(), {{IDC_CONFLICT_SKIP, "Skip"}, {IDCANCEL, "Escape"}});
    } else if (GetDlgItem(Box, IDYES)) {
        Choices.push_back({IDYES, "Yes"});
        if (!FYesOnly) {
            Choices.push_back({IDNO, "No"});
            if (GetDlgItem(Box, IDCANCEL))
                Choices.push_back({IDCANCEL, "Cancel"});
        }
        // The question before a take back: mostly Yes, so that steps get done.
        if (Chance(70))
            Choices.resize(1);
    } else {
        Choices.push_back({GetDlgItem(Box, IDOK) ? IDOK : IDCANCEL, "OK"});
    }
    const auto& Choice = Choices[Pick(Choices.size())];
    Say(" [" + Text + " -> " + Choice.second + "]");
    PressButton(Box, Choice.first);
    ++FAnswered;
    ++FAnswers[Choice.second];
    WaitFor([&] { return !IsWindow(Box) || !IsWindowVisible(Box); }, 10000);
}

void TModel::Hung(const std::string& What) {
    std::string Report = "seed " + std::to_string(FSettings.Seed) + ": " + What + "\n";
    for (const std::string& Step : FLog)
        Report += "  " + Step + "\n";
    ADD_FAILURE() << Report;
    FStopped = true;
    if (FProgram)
        FProgram->Kill();
}

} // namespace

TEST(TovelBin_Model, EveryVersionOfEveryFileIsAlwaysSomewhere) {
    const TSettings Settings = ReadSettings();
    std::cout << "model: seed " << Settings.Seed << " (TOVEL_MODEL_SEED repeats it), "
              << Settings.Seconds << " s, Recycle Bin at " << TrashDirectory() << "\n";
    TModel Model(Settings);
    Model.Run();
    std::cout << "model: steps " << Model.Steps() << ", versions tracked " << Model.Versions()
              << ", losses found " << Model.Losses() << "\nmodel: answers " << Model.Answers()
              << "\n";
    EXPECT_EQ(Model.Losses(), 0u);
}
