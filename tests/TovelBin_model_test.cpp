// The real TovelBin.exe under Wine and the real shell, driven by random
// steps over a small tree whose names collide on purpose: files and
// directories share names, versions of one path meet in the bin and on their
// way back. The world also changes while the program works: a second program
// folder sharing the bin puts while the first takes back or cleans up, the
// user writes at a path being taken back while its question is open, the
// clean-up runs at a start. After every step one invariant holds: every
// version of every file that ever existed is still somewhere (at a path of
// the tree, in the bin or in the Recycle Bin), byte for byte. Only the user's
// own overwriting retires a version.
//
// TOVEL_MODEL_SEED repeats a run, TOVEL_MODEL_SECONDS sets its length (60 s
// by default). A loss prints the seed and every step so far, with every
// question seen and the answer given.

#include "ProgramSupport.h"
#include "TestSupport.h"

#include "engine/Engine_cleanup.h"
#include "engine/Engine_record.h"
#include "engine/Engine_takeback.h"
#include "res/resource.h"
#include "vek/Vek_file.h"

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
    return Caption == "Entries" || Caption == "Import Paths" || Caption == "Clean Up";
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

// The entry the next put of a stopped program makes: the program kept its
// index in its settings as soon as a put had made its entry.
std::string SavedNextEntry(const TInstalled& Folder) {
    const std::string Settings = Exists(Folder.Settings()) ? ReadFile(Folder.Settings()) : "";
    const std::size_t At = Settings.find("\r\nIndex=");
    const std::string Index = At == std::string::npos
                                  ? "0"
                                  : Settings.substr(At + 8, Settings.find("\r\n", At + 2) - At - 8);
    return "Tovel #" + std::string(4 - std::min<std::size_t>(4, Index.size()), '0') + Index;
}

// The rule of every clean-up here: the bin down to a megabyte, the oldest
// entries first. Some versions come near a megabyte each, so that a bin of
// two entries can be enough for it to choose.
Engine_cleanup::TCleanUpRules CleanUpRules(bool AtStart) {
    Engine_cleanup::TCleanUpRules Rules;
    Rules.BySize = true;
    Rules.Megabytes = 1;
    Rules.AtStart = AtStart;
    return Rules;
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
                // A record is rewritten in the background: no user's file.
                if (Path.back() == '\\' ||
                    Engine_record::IsRecordFile(Vek_file::ExtractFileName(Path)))
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
          FRun(std::to_string(GetCurrentProcessId()) + "." + std::to_string(GetTickCount())) {
        // The second program folder: the same bin, the same entry names.
        FSecondFolder.FixLocation(FInstalled.Bin());
    }
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

    void Write() { WriteAt(Names[Pick(std::size(Names))]); }
    bool WriteAt(const std::string& Name, bool Large = false);
    void Put();
    std::string PickItemToPut();
    void PutAndKill();
    void PutKilledBeforeItsListing();
    void TakeBackLastPut();
    void TakeBackLastPutAndKill();
    void TakeBackOneEntry() { EntriesCommand(IDC_ENTRIES_TAKE_BACK, 1); }
    void TakeBackSeveralEntries() { EntriesCommand(IDC_ENTRIES_TAKE_BACK, 2 + Pick(3)); }
    void Discard() { EntriesCommand(IDC_ENTRIES_DISCARD, 1 + Pick(2)); }
    void Close();
    void WriteDuringTakeBack();
    void PutBesideTakeBack();
    void PutBesideCleanUp();
    void StartUpCleanUp();
    void EmptyBin();
    void Script(const std::string& Switches);
    void ScriptedTakeBack() {
        static const char* const Policies[] = {"keepboth", "skip", "replace"};
        Script("/takeback last /conflict " + std::string(Policies[Pick(std::size(Policies))]));
    }
    void ScriptedCleanUp() { Script("/cleanup /larger-than 1"); }

    std::vector<std::string> ChooseItems();
    bool Start(const std::vector<std::string>& Items);
    void EnsureRunning();
    std::string NextEntry();
    void EntriesCommand(int Button, std::size_t Rows);
    std::string StartSecondPut();
    void EndSecondPut(const std::string& Entry);
    HWND OpenCleanUp();
    void Click(HWND Dialog, int Button);
    void CloseDialog(HWND Dialog);
    void SetCleanUpAtStart(bool AtStart);
    void Check();

    std::vector<HWND> Windows() const;
    std::vector<HWND> Questions() const;
    bool Guarded() const;
    bool Idle(HWND Top) const;
    bool AnswerUntil(const std::function<bool()>& Done, HWND Top, DWORD Timeout = Patience);
    void Answer(HWND Box);
    void Hung(const std::string& What);

    const TSettings FSettings;
    std::mt19937 FRandom;
    TInstalled FInstalled;
    TInstalled FSecondFolder;
    TTempDir FTree;
    TTempDir FLists;
    const std::string FRun;
    TRegister FRegister;
    std::unique_ptr<TProgram> FProgram;
    HWND FMain = nullptr;
    std::unique_ptr<TProgram> FSecond;
    std::size_t FSecondAnswered = 0;
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
    {"put, killed before its listing, then taken back", 1, &TModel::PutKilledBeforeItsListing},
    {"take back the last put", 3, &TModel::TakeBackLastPut},
    {"take back the last put, killed", 1, &TModel::TakeBackLastPutAndKill},
    {"take back one entry", 2, &TModel::TakeBackOneEntry},
    {"take back several entries", 2, &TModel::TakeBackSeveralEntries},
    {"discard", 1, &TModel::Discard},
    {"close", 1, &TModel::Close},
    {"write during a take back's question", 2, &TModel::WriteDuringTakeBack},
    {"second copy puts beside a take back", 1, &TModel::PutBesideTakeBack},
    {"second copy puts beside a clean up", 1, &TModel::PutBesideCleanUp},
    {"start-up clean-up", 1, &TModel::StartUpCleanUp},
    {"empty bin", 1, &TModel::EmptyBin},
    {"scripted take back", 1, &TModel::ScriptedTakeBack},
    {"scripted clean-up", 1, &TModel::ScriptedCleanUp},
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
// A large one is above the clean-up's megabyte by itself.
bool TModel::WriteAt(const std::string& Name, bool Large) {
    const std::string Target = Path(Name);
    for (std::size_t At = Name.find('\\'); At != std::string::npos; At = Name.find('\\', At + 1)) {
        const std::string Parent = Path(Name.substr(0, At));
        if (Exists(Parent) && !(GetFileAttributesA(Parent.c_str()) & FILE_ATTRIBUTE_DIRECTORY)) {
            Say(" " + Name + " lies below a file");
            return false;
        }
        CreateDirectoryA(Parent.c_str(), nullptr);
    }
    const DWORD Attributes = GetFileAttributesA(Target.c_str());
    if (Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        Say(" " + Name + " is a directory");
        return false;
    }
    if (Attributes != INVALID_FILE_ATTRIBUTES)
        FRegister.Retire(ReadFile(Target));
    std::string Bytes = Name + " version " + std::to_string(FLog.size()) + " of run " + FRun + "\n";
    const std::size_t Filler = Large        ? 1100000 + Pick(400000)
                               : Chance(15) ? 900000 + Pick(600000)
                                            : Pick(3000);
    Bytes.append(Filler, static_cast<char>('a' + Pick(26)));
    WriteFile(Target, Bytes);
    FRegister.Add(Name, FLog.size(), Bytes);
    ++FVersionsMade;
    Say(" " + Name + (Attributes != INVALID_FILE_ATTRIBUTES ? " changed" : " made"));
    return true;
}

// The put of one to three names, one perhaps below another: on the command
// line of a start, handed by a second start to the running program, or
// through Import Paths into it.
std::vector<std::string> TModel::ChooseItems() {
    const std::vector<std::string> Found = Existing();
    std::vector<std::string> Items;
    for (std::size_t Count = Found.empty() ? 0 : 1 + Pick(3); Count > 0; --Count) {
        const std::string& Name = Found[Pick(Found.size())];
        if (std::find(Items.begin(), Items.end(), Name) == Items.end())
            Items.push_back(Name);
    }
    if (Items.empty())
        Say(" nothing to put");
    for (const std::string& Item : Items)
        Say(" " + Item);
    return Items;
}

void TModel::Put() {
    const std::vector<std::string> Items = ChooseItems();
    if (Items.empty())
        return;
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

// One of the items that exist, the running program closed first; empty,
// and said, when there is none.
std::string TModel::PickItemToPut() {
    const std::vector<std::string> Found = Existing();
    if (Found.empty()) {
        Say(" nothing to put");
        return std::string();
    }
    if (FProgram && FProgram->Running())
        Close();
    return Found[Pick(Found.size())];
}

void TModel::PutAndKill() {
    const std::string Item = PickItemToPut();
    if (Item.empty())
        return;
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

// A kill once the move is over, while the record may still await the
// listing of what arrived; then the take back of that put. Which side of
// the listing the kill fell on is told.
void TModel::PutKilledBeforeItsListing() {
    const std::string Item = PickItemToPut();
    if (Item.empty())
        return;
    const std::string Record = FInstalled.Bin() + "\\" + NextEntry() + "\\TovelBin.record";
    Say(" " + Item);
    FProgram = std::make_unique<TProgram>(Quoted(FInstalled.Exe()) + " " + Quoted(Path(Item)));
    AnswerUntil([&] { return !Exists(Path(Item)) || !FProgram->Running(); }, nullptr);
    FProgram->Kill();
    const std::string Text = Exists(Record) ? ReadFile(Record) : "";
    Say(Text.find(" listing\r\n") != std::string::npos ? " killed; its record awaited the listing"
                                                       : " killed; its record was complete");
    TakeBackLastPut();
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

// While a question of a take back of the last put is open (its first one,
// or now and then its first conflict), a new version at one of the paths
// the last put took; then every question answered.
void TModel::WriteDuringTakeBack() {
    Engine_takeback::TTakeBackSelection Last;
    if (!Exists(FInstalled.Bin()) || !Engine_takeback::FindLastPut(FInstalled.Bin(), Last))
        return Say(" no last put");
    std::vector<std::string> Taken;
    for (const char* Name : Names)
        if (Exists(InEntry(Last.EntryPath, Path(Name))))
            Taken.push_back(Name);
    EnsureRunning();
    const bool AtConflict = Chance(50);
    const std::size_t Before = FAnswered;
    PostMessageA(FMain, WM_COMMAND, IDM_BIN_TAKE_BACK_LAST_PUT, 0);
    bool Asked = false;
    if (!WaitFor(
            [&] {
                for (HWND Box : Questions()) {
                    Asked = !AtConflict || GetDlgItem(Box, IDC_CONFLICT_KEEP_BOTH);
                    if (Asked)
                        return true;
                    Answer(Box);
                }
                return !FProgram->Running() || (FAnswered > Before && Idle(FMain));
            },
            Patience))
        return Hung("the take back did not end");
    if (Asked && !Taken.empty()) {
        Say(" (asked)");
        WriteAt(Taken[Pick(Taken.size())]);
    }
    if (!AnswerUntil([&] { return FAnswered > Before; }, FMain))
        Hung("the take back did not end");
}

// The second program folder puts from its command line; without waiting
// for it, the first takes back its last put.
void TModel::PutBesideTakeBack() {
    EnsureRunning();
    const std::string Entry = StartSecondPut();
    if (Entry.empty())
        return;
    const std::size_t Before = FAnswered;
    PostMessageA(FMain, WM_COMMAND, IDM_BIN_TAKE_BACK_LAST_PUT, 0);
    if (!AnswerUntil([&] { return FAnswered > Before; }, FMain))
        return Hung("the take back did not end");
    EndSecondPut(Entry);
}

// The Clean Up dialog lists the bin; the second program folder puts; Clean
// Up (by the rule) or, less often, Empty Bin at once.
void TModel::PutBesideCleanUp() {
    const HWND Dialog = OpenCleanUp();
    if (!Dialog)
        return;
    const std::string Entry = StartSecondPut();
    if (!Entry.empty()) {
        const bool Empty = Chance(25);
        std::string Previewed;
        for (const std::string& Row :
             ListViewRows(*FProgram, GetDlgItem(Dialog, IDC_CLEANUP_PREVIEW)))
            Previewed += " " + Row;
        Say(Empty ? " (Empty Bin)" : " (Clean Up:" + Previewed + ")");
        Click(Dialog, Empty ? IDC_CLEANUP_EMPTY_BIN : IDC_CLEANUP_CLEAN_UP);
        EndSecondPut(Entry);
    }
    CloseDialog(Dialog);
}

// The clean-up at start, by the rule: the program restarts with the put of
// a large new version, which as the last put stays and brings the bin above
// the rule's megabyte by itself, so that the clean-up takes every entry
// whose put has finished. Perhaps the second program folder puts meanwhile.
// The step waits until the clean-up has told what it did.
void TModel::StartUpCleanUp() {
    if (FProgram && FProgram->Running())
        Close();
    if (FStopped)
        return;
    std::string Finished;
    if (Exists(FInstalled.Bin()))
        for (const Engine_cleanup::TCleanUpEntry& Entry :
             Engine_cleanup::ReadEntries(FInstalled.Bin()))
            if (!Entry.Protected)
                Finished += " " + Entry.Name;
    if (Finished.empty())
        return Say(" nothing to clean up");
    Say(Finished);
    const std::string Name = Names[Pick(std::size(Names))];
    if (!WriteAt(Name, true))
        return;
    SetCleanUpAtStart(true);
    const std::string Entry = Chance(50) ? StartSecondPut() : std::string();
    Say(" (started with " + Name + ")");
    if (!Start({Name}))
        return;
    const std::size_t Before = FAnswered;
    std::string Status;
    if (!AnswerUntil(
            [&] {
                Status = StatusText(*FProgram, FMain);
                return Status.rfind("Cleaned up", 0) == 0 || FAnswered > Before;
            },
            FMain))
        return Hung("the clean-up at start told nothing");
    Say(" [status: " + Status + "]");
    if (!Entry.empty())
        EndSecondPut(Entry);
    Close();
    SetCleanUpAtStart(false);
}

// A script's command, beside the running program or without it: it shows
// no window, and its exit code is logged.
void TModel::Script(const std::string& Switches) {
    Say(" " + Switches);
    const TProgram Run(Quoted(FInstalled.Exe()) + " " + Switches);
    if (!AnswerUntil([&] { return !Run.Running(); }, nullptr))
        return Hung("the script did not end");
    DWORD Code = 0;
    GetExitCodeProcess(Run.Process(), &Code);
    Say(" -> exit " + std::to_string(Code));
}

void TModel::EmptyBin() {
    if (const HWND Dialog = OpenCleanUp()) {
        Say(" (Empty Bin)");
        Click(Dialog, IDC_CLEANUP_EMPTY_BIN);
        CloseDialog(Dialog);
    }
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

// The put of the second program folder from its command line, started
// without waiting for it; the entry it puts into, none without items.
std::string TModel::StartSecondPut() {
    const std::vector<std::string> Items = ChooseItems();
    if (Items.empty())
        return std::string();
    const std::string Entry = SavedNextEntry(FSecondFolder);
    Say(" (second copy into " + Entry + ")");
    std::string CommandLine = Quoted(FSecondFolder.Exe());
    for (const std::string& Item : Items)
        CommandLine += " " + Quoted(Path(Item));
    FSecondAnswered = 0;
    FSecond = std::make_unique<TProgram>(CommandLine);
    return Entry;
}

// Once the second program's put has ended (its index stepped on, or it told
// why not), it closes. A clean-up of the first may have taken its entry.
void TModel::EndSecondPut(const std::string& Entry) {
    HWND Main = nullptr;
    const std::string Next = "Next: " + Entry;
    if (!AnswerUntil(
            [&] {
                Main = Main ? Main : WaitForMainWindow(*FSecond, 0);
                return !FSecond->Running() ||
                       (Main && (NextLabel(Main) != Next || FSecondAnswered > 0) && Idle(Main));
            },
            nullptr))
        return Hung("the second copy's put did not end");
    if (!Exists(FInstalled.Bin() + "\\" + Entry))
        Say(" (" + Entry + " gone)");
    if (!FSecond->Running())
        Say(" (second copy ended)");
    else
        PostMessageA(Main, WM_CLOSE, 0, 0);
    if (!AnswerUntil([&] { return !FSecond->Running(); }, nullptr))
        return Hung("the second copy did not close");
    FSecond.reset();
}

// The Clean Up dialog, with the rule of every clean-up here, once it lists
// the bin; none without a bin.
HWND TModel::OpenCleanUp() {
    if (!Exists(FInstalled.Bin())) {
        Say(" no bin");
        return nullptr;
    }
    EnsureRunning();
    PostMessageA(FMain, WM_COMMAND, IDM_BIN_CLEAN_UP, 0);
    HWND Dialog = nullptr;
    if (!AnswerUntil(
            [&] {
                Dialog = WaitForWindow(
                    *FProgram, [](HWND Window) { return WindowText(Window) == "Clean Up"; }, 0);
                return Dialog != nullptr;
            },
            nullptr)) {
        Hung("the Clean Up dialog did not open");
        return nullptr;
    }
    const HWND BySize = GetDlgItem(Dialog, IDC_CLEANUP_BY_SIZE);
    if (SendMessageA(BySize, BM_GETCHECK, 0, 0) != BST_CHECKED)
        SendMessageA(BySize, BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(Dialog, IDC_CLEANUP_MEGABYTES), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(std::to_string(CleanUpRules(false).Megabytes).c_str()));
    if (!AnswerUntil([] { return true; }, Dialog)) {
        Hung("the Clean Up dialog did not settle");
        return nullptr;
    }
    return Dialog;
}

// A button of a dialog, as a sent message: the program is idle in the
// dialog again only once the command has run, every question answered.
void TModel::Click(HWND Dialog, int Button) {
    SendNotifyMessageA(Dialog, WM_COMMAND, MAKEWPARAM(Button, BN_CLICKED), 0);
    if (!AnswerUntil([] { return true; }, Dialog))
        Hung("the command of the dialog did not end");
}

void TModel::CloseDialog(HWND Dialog) {
    if (FStopped)
        return;
    PressButton(Dialog, IDCANCEL);
    if (!AnswerUntil([&] { return !IsWindow(Dialog); }, FMain))
        Hung("the dialog did not close");
}

// The clean-up section of the stopped program's settings, the rest kept.
void TModel::SetCleanUpAtStart(bool AtStart) {
    const std::string Section = "[MainForm.BinHandler.CleanUp]\r\n";
    std::string Text = Exists(FInstalled.Settings()) ? ReadFile(FInstalled.Settings()) : "";
    const std::size_t At = Text.find(Section);
    if (At != std::string::npos) {
        const std::size_t End = Text.find("\r\n[", At);
        Text.erase(At, End == std::string::npos ? End : End + 2 - At);
    }
    const Engine_cleanup::TCleanUpRules Rules = CleanUpRules(AtStart);
    WriteFile(FInstalled.Settings(), Text + "\r\n" + Section +
                                         "BySize=" + (Rules.BySize ? "1" : "0") +
                                         "\r\nMegabytes=" + std::to_string(Rules.Megabytes) +
                                         "\r\nAtStart=" + (Rules.AtStart ? "1" : "0") + "\r\n");
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

// The entry the next put makes: the running program shows it.
std::string TModel::NextEntry() {
    const std::string Label = "Next: ";
    if (FProgram && FProgram->Running())
        return NextLabel(FMain).substr(std::min(Label.size(), NextLabel(FMain).size()));
    return SavedNextEntry(FInstalled);
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

// The visible top-level windows of both program folders' programs.
std::vector<HWND> TModel::Windows() const {
    std::vector<HWND> Found;
    for (const TProgram* Program : {FProgram.get(), FSecond.get()}) {
        if (Program) {
            const std::vector<HWND> Its = TopLevelWindows(*Program);
            Found.insert(Found.end(), Its.begin(), Its.end());
        }
    }
    return Found;
}

// Dialogs a user sees that no step owns: the programs' boxes and questions
// and the shell's.
std::vector<HWND> TModel::Questions() const {
    std::vector<HWND> Found;
    for (HWND Window : Windows()) {
        RECT Bounds;
        if (IsDialog(Window) && !IsStepWindow(Window) && GetWindowRect(Window, &Bounds) &&
            Bounds.bottom > Bounds.top)
            Found.push_back(Window);
    }
    return Found;
}

// The guard that holds a program modal during a move: a dialog without height.
bool TModel::Guarded() const {
    for (HWND Window : Windows()) {
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
            if (!FProgram || !FProgram->Running() || !Top)
                return Done();
            return Done() && Idle(Top);
        },
        Timeout);
}

// Counted for the program that asked.
void TModel::Answer(HWND Box) {
    DWORD Process = 0;
    GetWindowThreadProcessId(Box, &Process);
    const bool Second = FSecond && Process == FSecond->Id();
    const std::string Text =
        (Second ? "second copy: " : "") + WindowText(Box) + "|" + MessageBoxText(Box);
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
    ++(Second ? FSecondAnswered : FAnswered);
    ++FAnswers[Choice.second];
    WaitFor([&] { return !IsWindow(Box) || !IsWindowVisible(Box); }, 10000);
}

void TModel::Hung(const std::string& What) {
    std::string Report = "seed " + std::to_string(FSettings.Seed) + ": " + What + "\n";
    for (const std::string& Step : FLog)
        Report += "  " + Step + "\n";
    ADD_FAILURE() << Report;
    FStopped = true;
    for (TProgram* Program : {FProgram.get(), FSecond.get()})
        if (Program)
            Program->Kill();
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
