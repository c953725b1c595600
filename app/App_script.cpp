#include "App_script.h"

#include "app/App_binhandler.h"
#include "app/App_fileoperation.h"
#include "app/App_mainform.h"
#include "engine/Engine_catalog.h"
#include "engine/Engine_cleanup.h"
#include "engine/Engine_record.h"
#include "engine/Engine_takeback.h"
#include "gui/Gui_inifile.h"
#include "vek/Vek_codepage.h"
#include "vek/Vek_console.h"
#include "vek/Vek_file.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <set>

namespace App_script {

using Base_commandline::TCommand;
using Base_commandline::TCommandMode;
using Vek_console::TStream;

namespace {

const char Tab = '\t';
const char LineEnd[] = "\r\n";

// The bin of the fixed location that the settings beside the program name,
// and its Clean Up rules; a script cannot answer the folder browser of the
// other location rule.
std::string LoadBin(App_binhandler::TBinHandler& Handler,
                    Engine_cleanup::TCleanUpRules* Rules = nullptr) {
    const std::string Settings = App_mainform::DefaultSettingsFileName();
    if (Vek_file::IsRegularFile(Settings)) {
        Gui_inifile::TMemIniFile Ini(Settings);
        Handler.LoadSettings(Ini);
        Handler.LoadCleanUpSettings(Ini);
    }
    if (Handler.Bin().LocationType() != App_bin::bltFixed)
        throw Base_system::Exception(
            "The program cannot work on a bin whose location is chosen at every put.");
    if (Rules)
        *Rules = Handler.CleanUpRules();
    return Handler.Bin().GetLocation();
}

std::string BinLocation(Engine_cleanup::TCleanUpRules* Rules = nullptr) {
    App_binhandler::TBinHandler Handler;
    return LoadBin(Handler, Rules);
}

// The bin as the Entries window lists it, an entry without a record taken
// as the window's reader takes it, but nothing written: a listing changes
// nothing. NoRecord tells which had none.
Engine_catalog::TListing ReadBin(const std::string& Location, std::vector<bool>& NoRecord) {
    Engine_catalog::TListing Listing = Engine_catalog::ListCatalog(Location);
    NoRecord.assign(Listing.Catalog.Entries().size(), false);
    for (const std::size_t Entry : Listing.Unread) {
        NoRecord[Entry] = true;
        const Engine_catalog::TCatalogEntry Info = Listing.Catalog.Entries()[Entry];
        Engine_record::TRecord Record;
        if (Engine_catalog::ReadUnrecordedEntry(Info.Path, Info.Created, Record))
            Listing.Catalog.SetRecord(Entry, Record, false);
    }
    return Listing;
}

// Record texts are UTF-8; what is written is a text of the process code page.
std::string Shown(const std::string& RecordText) {
    return Engine_record::FromRecordText(RecordText);
}

std::string StateOf(const Engine_catalog::TCatalogEntry& Entry, bool NoRecord) {
    if (NoRecord || !Entry.Known)
        return "no record";
    return Entry.Unfinished ? "interrupted" : "done";
}

void List(const TCommand& Command) {
    std::vector<bool> NoRecord;
    const Engine_catalog::TListing Listing = ReadBin(BinLocation(), NoRecord);
    const Engine_catalog::TCatalog& Catalog = Listing.Catalog;
    std::vector<std::uint32_t> Rows;
    for (std::uint32_t Entry = 0; Entry < Catalog.Entries().size(); ++Entry)
        Rows.push_back(Entry);
    // Oldest first, as the puts came; entries of one time by name.
    Engine_catalog::SortEntryRows(Catalog.Entries(), Engine_catalog::ecPut, false, Rows);
    std::set<std::uint32_t> Matching;
    if (Command.HasText) {
        const Engine_catalog::TSearchPattern Pattern(Engine_record::ToRecordText(Command.Text));
        for (const std::uint32_t Node : Catalog.Search(Pattern))
            Matching.insert(Catalog.Nodes()[Node].Entry);
    }
    std::string Text = std::string("entry\tput\tstate\titems\tfiles\tbytes\tfirst path") + LineEnd;
    for (const std::uint32_t Row : Rows) {
        if (Command.HasText && Matching.count(Row) == 0)
            continue;
        const Engine_catalog::TCatalogEntry& Entry = Catalog.Entries()[Row];
        Text += Entry.Name + Tab + IsoTime(Entry.Created) + Tab + StateOf(Entry, NoRecord[Row]) +
                Tab + std::to_string(Entry.Items) + Tab + std::to_string(Entry.Files) + Tab +
                std::to_string(Entry.Bytes) + Tab + Shown(Entry.FirstItem) + LineEnd;
    }
    Vek_console::Write(TStream::stOutput, Text);
}

void Find(const TCommand& Command) {
    std::vector<bool> NoRecord;
    const Engine_catalog::TListing Listing = ReadBin(BinLocation(), NoRecord);
    const Engine_catalog::TCatalog& Catalog = Listing.Catalog;
    const Engine_catalog::TSearchPattern Pattern(Engine_record::ToRecordText(Command.Text));
    std::string Text = std::string("entry\tpath\tsize\tput") + LineEnd;
    for (const std::uint32_t Node : Catalog.Search(Pattern)) {
        const Engine_catalog::TCatalogEntry& Entry = Catalog.Entries()[Catalog.Nodes()[Node].Entry];
        Text += Entry.Name + Tab + Shown(Catalog.OriginalPath(Node)) + Tab +
                std::to_string(Catalog.Nodes()[Node].Size) + Tab + IsoTime(Entry.Created) + LineEnd;
    }
    Vek_console::Write(TStream::stOutput, Text);
}

// The rules of the command line, or, without any, those of the settings.
Engine_cleanup::TCleanUpRules CleanUpRules(const TCommand& Command,
                                           Engine_cleanup::TCleanUpRules Rules) {
    if (Command.ByAge || Command.BySize) {
        Rules.ByAge = Command.ByAge;
        Rules.Days = Command.Days;
        Rules.BySize = Command.BySize;
        Rules.Megabytes = Command.Megabytes;
    }
    if (!Rules.ByAge && !Rules.BySize)
        throw Base_commandline::ECommandLine(
            "The program cannot clean up without a rule: /older-than DAYS or /larger-than MB.");
    return Rules;
}

// What goes, one line each; with /dry-run nothing more. Otherwise the
// clean-up of the program's start, under the same lock, and its sentence;
// entries the Recycle Bin could not take make it a failure.
int CleanUp(const TCommand& Command) {
    Engine_cleanup::TCleanUpRules Settings;
    const std::string Location = BinLocation(&Settings);
    const Engine_cleanup::TCleanUpRules Rules = CleanUpRules(Command, Settings);
    std::string Text = std::string("entry\tput\tbytes") + LineEnd;
    if (Vek_file::IsDirectory(Location)) {
        for (const Engine_cleanup::TCleanUpEntry& Entry : Engine_cleanup::ChooseEntries(
                 Engine_cleanup::ReadEntries(Location), Rules, Engine_record::CurrentTime()))
            Text +=
                Entry.Name + Tab + IsoTime(Entry.Put) + Tab + std::to_string(Entry.Size) + LineEnd;
    }
    Vek_console::Write(TStream::stOutput, Text);
    if (Command.DryRun || !Vek_file::IsDirectory(Location))
        return 0;
    Engine_cleanup::TStartUpCleanUp Run(Location, Rules, [](const std::vector<std::string>& Paths) {
        App_fileoperation::Recycle(Paths, App_fileoperation::TRecycleRun::rrWindowless);
    });
    const Engine_cleanup::TStartUpCleanUp::TResult Result = Run.Run();
    if (Result.Busy)
        throw Base_system::Exception(
            "The program could not clean up the bin: another program folder is cleaning it.");
    Vek_console::Write(TStream::stOutput,
                       Engine_cleanup::CleanedUpMessage(Result.Count, Result.Size, Result.Left) +
                           LineEnd);
    return Result.Left > 0 ? 1 : 0;
}

// A take back's host for a script: every conflict answered as the command
// line says, a path too long told on standard error, what a Replace sets
// aside put as any put, and the move without a window.
class TScriptHost : public App_binhandler::TWindowsTakeBackHost {
public:
    TScriptHost(App_bin::TBin& Bin, Base_commandline::TConflictPolicy Policy)
        : TWindowsTakeBackHost(&Bin), FPolicy(Policy) {}

    Engine_takeback::TConflictAnswer
    ChooseConflict(const Engine_takeback::TConflictQuestion& Question) override {
        using Engine_takeback::TConflictChoice;
        switch (FPolicy) {
        case Base_commandline::TConflictPolicy::cpSkip:
            return {TConflictChoice::ccSkip, false};
        case Base_commandline::TConflictPolicy::cpReplace:
            if (Question.ReplaceOffered)
                return {TConflictChoice::ccReplace, false};
            break;
        default:
            break;
        }
        return {TConflictChoice::ccKeepBoth, false};
    }

    void TellTooLong(const std::string& Path) override {
        Vek_console::Write(TStream::stError, "Too long: [" + Path + "]" + LineEnd);
    }

    Engine_takeback::TMoveResult Move(const std::vector<std::string>& Sources,
                                      const std::vector<std::string>& Destinations) override {
        App_fileoperation::TFileOperator Operator;
        App_fileoperation::SetPairedMove(Operator, Sources, Destinations);
        Operator.SetFlags(
            static_cast<std::uint16_t>(Operator.Flags() | FOF_SILENT | FOF_NOERRORUI));
        try {
            Operator.PerformOperation(nullptr);
        } catch (const Base_system::EAbort&) {
        }
        return Operator.Succeeded() ? Engine_takeback::TMoveResult::mrDone
                                    : Engine_takeback::TMoveResult::mrFailed;
    }

private:
    Base_commandline::TConflictPolicy FPolicy;
};

// What the command line names: the last put or an entry of the bin, and of
// it the items at the original paths given (as a record names them,
// C:\Data\a.txt as C\Data\a.txt).
Engine_takeback::TTakeBackSelection SelectionOf(const TCommand& Command,
                                                const std::string& Location) {
    Engine_takeback::TTakeBackSelection Selection;
    if (Vek_codepage::SameTextIgnoringCase(Command.Entry, "last")) {
        if (!Vek_file::IsDirectory(Location) || !Engine_takeback::FindLastPut(Location, Selection))
            throw Base_system::Exception("The program cannot find an entry in the bin.");
    } else {
        Selection.EntryPath = Vek_file::IncludeTrailingDelimiter(Location, '\\') + Command.Entry;
        if (Command.Entry.find_first_of("\\/:") != std::string::npos ||
            !Vek_file::IsDirectory(Selection.EntryPath))
            throw Base_system::Exception("The program cannot find the entry \"" + Command.Entry +
                                         "\" in the bin.");
    }
    if (!Command.Items.empty())
        Selection.Items.clear();
    for (const std::string& Item : Command.Items) {
        const std::string Full = Vek_file::ExpandPath(Item);
        if (Full.size() < 4 || Full[1] != ':' || Full[2] != '\\')
            throw Base_system::Exception("The program cannot take back \"" + Item +
                                         "\": it names no place on a drive.");
        Selection.Items.push_back(Full.substr(0, 1) + Full.substr(2));
    }
    return Selection;
}

// One line per item, as the report window lists them, then the summary;
// skipped or failed items make it a failure. With /dry-run, what would
// become of each item.
int TakeBack(const TCommand& Command) {
    App_binhandler::TBinHandler Handler;
    const std::string Location = LoadBin(Handler);
    std::string Target;
    if (!Command.TargetFolder.empty()) {
        Target = Vek_file::ExpandPath(Command.TargetFolder);
        if (!Vek_file::IsDirectory(Target))
            throw Base_system::Exception("The program cannot take back into \"" +
                                         Command.TargetFolder + "\": it is no folder.");
    }
    TScriptHost Host(Handler.Bin(), Command.Conflict);
    Engine_takeback::TTakeBackTask Task({SelectionOf(Command, Location)}, Host, Target);
    std::vector<Engine_takeback::TItemOutcome> Outcomes;
    std::exception_ptr Failure;
    if (Command.DryRun) {
        Outcomes = Task.Preview();
    } else {
        try {
            Task.Execute();
        } catch (const Base_system::Exception&) {
            Failure = std::current_exception();
        }
        Outcomes = Task.Outcomes();
    }
    std::string Text;
    for (const Engine_takeback::TItemOutcome& Outcome : Outcomes)
        Text += Engine_takeback::OutcomeText(Outcome) + LineEnd;
    Vek_console::Write(TStream::stOutput,
                       Text + Engine_takeback::OutcomeSummary(Outcomes) + LineEnd);
    if (Failure)
        std::rethrow_exception(Failure);
    const bool AllDone = std::none_of(
        Outcomes.begin(), Outcomes.end(), [](const Engine_takeback::TItemOutcome& Outcome) {
            return Outcome.Kind == Engine_takeback::TOutcomeKind::okSkipped ||
                   Outcome.Kind == Engine_takeback::TOutcomeKind::okFailed;
        });
    return AllDone ? 0 : 1;
}

} // namespace

std::string FormatIsoTime(const SYSTEMTIME& Local, int OffsetMinutes) {
    const int Offset = OffsetMinutes < 0 ? -OffsetMinutes : OffsetMinutes;
    char Text[40];
    std::snprintf(Text, sizeof Text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02d:%02d", Local.wYear,
                  Local.wMonth, Local.wDay, Local.wHour, Local.wMinute, Local.wSecond,
                  OffsetMinutes < 0 ? '-' : '+', Offset / 60, Offset % 60);
    return Text;
}

std::string IsoTime(std::uint64_t Time) {
    if (Time == 0)
        return std::string();
    const FILETIME Utc{static_cast<DWORD>(Time), static_cast<DWORD>(Time >> 32)};
    SYSTEMTIME UtcTime, Local;
    FILETIME LocalFile;
    if (!FileTimeToSystemTime(&Utc, &UtcTime) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &UtcTime, &Local) ||
        !SystemTimeToFileTime(&Local, &LocalFile))
        return std::string();
    const std::uint64_t LocalTime =
        (static_cast<std::uint64_t>(LocalFile.dwHighDateTime) << 32) | LocalFile.dwLowDateTime;
    // The system times hold no part of a millisecond: rounded to the minute.
    const std::int64_t Steps = static_cast<std::int64_t>(LocalTime - Time);
    const std::int64_t Minute = 600000000;
    return FormatIsoTime(Local,
                         static_cast<int>((Steps + (Steps < 0 ? -Minute : Minute) / 2) / Minute));
}

int Run(const std::vector<std::string>& Arguments) {
    TCommand Command;
    try {
        Command = Base_commandline::ParseCommandLine(Arguments);
        if (Command.ByAge)
            Base_commandline::CheckRange(Command.Days, "DAYS", Engine_cleanup::MinDays,
                                         Engine_cleanup::MaxDays);
        if (Command.BySize)
            Base_commandline::CheckRange(Command.Megabytes, "MB", Engine_cleanup::MinMegabytes,
                                         Engine_cleanup::MaxMegabytes);
        switch (Command.Mode) {
        case TCommandMode::cmUsage:
            Vek_console::Write(TStream::stOutput, Base_commandline::UsageText());
            break;
        case TCommandMode::cmList:
            List(Command);
            break;
        case TCommandMode::cmFind:
            Find(Command);
            break;
        case TCommandMode::cmCleanUp:
            return CleanUp(Command);
        case TCommandMode::cmTakeBack:
            return TakeBack(Command);
        case TCommandMode::cmPut:
            break;
        }
    } catch (const Base_commandline::ECommandLine& E) {
        Vek_console::Write(TStream::stError,
                           E.Message() + LineEnd + "TovelBin.exe /? shows the usage." + LineEnd);
        return 2;
    } catch (const std::exception& E) {
        Vek_console::Write(TStream::stError, std::string(E.what()) + LineEnd);
        return 1;
    }
    return 0;
}

} // namespace App_script
