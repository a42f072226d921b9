// The table of commands: a row per command, from which the usage and every help are made.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/messages.h"

namespace zarnex::cli {

class CommandLine;

// An option, for getopt_long and for the help alike.
struct Option {
    const char* name;                // the long form, without "--"
    int letter;                      // the short form; LongOnly and above for the long form alone
    const char* argument = nullptr;  // its argument's name in the help; nullptr: it takes none
    // Its lines in the help, the later ones indented below it; none for the global options, which
    // the usage shows.
    std::optional<MessageId> help = std::nullopt;
};

constexpr int LongOnly = 256;

struct Command {
    const char* name;
    const char* synopsis;         // after "zarnex-cli "
    MessageId about;              // what the command does, before its options in the help
    std::vector<Option> options;  // -h, --help comes last with every command
    int (*run)(CommandLine& line);
};

// Every command, in the order of the usage.
std::span<const Command* const> Commands();
const Command* FindCommand(std::string_view name);

// The command's options, -h last.
std::vector<Option> OptionsOf(const Command& command);

// The synopsis of every command and of the global options.
std::string UsageText();
// The usage, every command's help and the exit statuses.
std::string FullHelp();
// What `zarnex-cli COMMAND --help` prints.
std::string CommandHelp(const Command& command);

// Runs the command on the arguments after its name; its exit status.
int RunCommand(const Command& command, const std::vector<std::string>& arguments);

// Says on standard error why the command does not run; ExitNotRun.
int NotRun(const std::string& why);

// "/?" or "-?": how Windows programs are asked for their help.
bool IsHelpSwitch(std::string_view argument);

}  // namespace zarnex::cli
