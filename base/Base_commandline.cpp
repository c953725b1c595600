#include "Base_commandline.h"

#include <cctype>

namespace Base_commandline {

namespace {

// Switches are told apart without letter case, as Windows programs do.
std::string Lowered(const std::string& Text) {
    std::string Result = Text;
    for (char& Character : Result)
        Character = static_cast<char>(std::tolower(static_cast<unsigned char>(Character)));
    return Result;
}

std::int32_t NumberOf(const std::vector<std::string>& Arguments, std::size_t& At,
                      const std::string& Name) {
    if (++At == Arguments.size())
        throw ECommandLine("The program cannot take " + Arguments[At - 1] + " without " + Name +
                           ".");
    std::int32_t Value = 0;
    if (!Base_system::TryStrToInt(Arguments[At], Value))
        throw ECommandLine("The program cannot take \"" + Arguments[At] + "\" as " + Name + ".");
    return Value;
}

TCommand ParseCleanUp(const std::vector<std::string>& Arguments) {
    TCommand Command;
    Command.Mode = TCommandMode::cmCleanUp;
    for (std::size_t At = 1; At < Arguments.size(); ++At) {
        const std::string Option = Lowered(Arguments[At]);
        if (Option == "/older-than" && !Command.ByAge) {
            Command.ByAge = true;
            Command.Days = NumberOf(Arguments, At, "DAYS");
        } else if (Option == "/larger-than" && !Command.BySize) {
            Command.BySize = true;
            Command.Megabytes = NumberOf(Arguments, At, "MB");
        } else if (Option == "/dry-run" && !Command.DryRun) {
            Command.DryRun = true;
        } else {
            throw ECommandLine("The program cannot take \"" + Arguments[At] + "\" after /cleanup.");
        }
    }
    return Command;
}

TConflictPolicy PolicyOf(const std::vector<std::string>& Arguments, std::size_t& At) {
    if (++At == Arguments.size())
        throw ECommandLine("The program cannot take /conflict without keepboth, skip or replace.");
    const std::string Policy = Lowered(Arguments[At]);
    if (Policy == "keepboth")
        return TConflictPolicy::cpKeepBoth;
    if (Policy == "skip")
        return TConflictPolicy::cpSkip;
    if (Policy == "replace")
        return TConflictPolicy::cpReplace;
    throw ECommandLine("The program cannot take \"" + Arguments[At] +
                       "\" after /conflict: keepboth, skip or replace.");
}

// The entry comes first; then original paths and switches in any order.
TCommand ParseTakeBack(const std::vector<std::string>& Arguments) {
    TCommand Command;
    Command.Mode = TCommandMode::cmTakeBack;
    if (Arguments.size() < 2 || Arguments[1].empty() || Arguments[1].front() == '/')
        throw ECommandLine("The program cannot take back without an entry: /takeback last|ENTRY.");
    Command.Entry = Arguments[1];
    bool HasPolicy = false;
    for (std::size_t At = 2; At < Arguments.size(); ++At) {
        const std::string Option = Lowered(Arguments[At]);
        if (Option.empty() || Option.front() != '/') {
            Command.Items.push_back(Arguments[At]);
        } else if (Option == "/to" && Command.TargetFolder.empty() && At + 1 < Arguments.size() &&
                   !Arguments[At + 1].empty()) {
            Command.TargetFolder = Arguments[++At];
        } else if (Option == "/conflict" && !HasPolicy) {
            HasPolicy = true;
            Command.Conflict = PolicyOf(Arguments, At);
        } else if (Option == "/dry-run" && !Command.DryRun) {
            Command.DryRun = true;
        } else {
            throw ECommandLine("The program cannot take \"" + Arguments[At] +
                               "\" after /takeback.");
        }
    }
    return Command;
}

} // namespace

bool IsSwitchLine(const std::vector<std::string>& Arguments) {
    return !Arguments.empty() && !Arguments.front().empty() && Arguments.front().front() == '/';
}

TCommand ParseCommandLine(const std::vector<std::string>& Arguments) {
    TCommand Command;
    if (!IsSwitchLine(Arguments))
        return Command;
    const std::string Switch = Lowered(Arguments.front());
    const std::size_t Given = Arguments.size() - 1;
    std::size_t Most = 0;
    if (Switch == "/?") {
        Command.Mode = TCommandMode::cmUsage;
    } else if (Switch == "/list") {
        Command.Mode = TCommandMode::cmList;
        Most = 1;
    } else if (Switch == "/cleanup") {
        return ParseCleanUp(Arguments);
    } else if (Switch == "/takeback") {
        return ParseTakeBack(Arguments);
    } else if (Switch == "/find") {
        Command.Mode = TCommandMode::cmFind;
        Most = 1;
        if (Given == 0)
            throw ECommandLine("The program cannot find without a TEXT: /find TEXT.");
    } else {
        throw ECommandLine("The program cannot take the switch \"" + Arguments.front() + "\".");
    }
    if (Given > Most)
        throw ECommandLine("The program cannot take \"" + Arguments[Most + 1] + "\" after " +
                           Switch + ".");
    if (Given == 1) {
        Command.Text = Arguments[1];
        Command.HasText = true;
    }
    return Command;
}

void CheckRange(std::int32_t Value, const std::string& Name, std::int32_t Least,
                std::int32_t Most) {
    if (Value < Least || Value > Most)
        throw ECommandLine("The program cannot take \"" + std::to_string(Value) + "\" as " + Name +
                           ": " + std::to_string(Least) + " to " + std::to_string(Most) + ".");
}

std::string UsageText() {
    return "Usage:\r\n"
           "  TovelBin.exe [PATH...]      puts the paths into the bin as one put\r\n"
           "  TovelBin.exe /list [TEXT]   lists the entries, those that hold TEXT when given\r\n"
           "  TovelBin.exe /find TEXT     lists the files and directories that match TEXT\r\n"
           "  TovelBin.exe /cleanup [/older-than DAYS] [/larger-than MB] [/dry-run]\r\n"
           "                              sends what the Clean Up rules choose to the Recycle\r\n"
           "                              Bin (without a rule, those of the settings); with\r\n"
           "                              /dry-run, only lists it\r\n"
           "  TovelBin.exe /takeback last|ENTRY [ORIGINAL-PATH...] [/to DIR]\r\n"
           "               [/conflict keepboth|skip|replace] [/dry-run]\r\n"
           "                              takes back the last put, or an entry, or the named\r\n"
           "                              items of it, each to its place or into DIR; every\r\n"
           "                              conflict is answered as told (keepboth by default,\r\n"
           "                              which loses nothing); with /dry-run, only tells\r\n"
           "  TovelBin.exe /?             shows this usage\r\n"
           "TEXT matches as the search of the Entries window does: a part of a name or of an\r\n"
           "original path, or, with * and ?, a whole name or original path.\r\n"
           "Output is UTF-8, tab-separated, with a header line. Exit codes: 0 done,\r\n"
           "1 some items were skipped or failed, 2 the command line was refused.\r\n";
}

} // namespace Base_commandline
