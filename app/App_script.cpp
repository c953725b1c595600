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

#include <cstdio>
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
std::string BinLocation(Engine_cleanup::TCleanUpRules* Rules = nullptr) {
    App_binhandler::TBinHandler Handler;
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
