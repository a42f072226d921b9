// zarnex-cli: the options before a command, then the command of the table that the first operand
// names.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"
#include "platform/version.h"

namespace {

using namespace zarnex::cli;

// What a global option does: the exit status to end with, or nothing to go on to the command.
using GlobalAction = std::optional<int> (*)(const char* argument);

std::optional<int> ShowHelp(const char*) {
    std::cout << FullHelp();
    return ExitDone;
}

std::optional<int> ShowVersion(const char*) {
    std::cout << "zarnex-cli " << zarnex::ZarnexVersion << "\n";
    return ExitDone;
}

int Usage(const std::string& problem) {
    std::cerr << "zarnex-cli: " << problem << "\n" << UsageText();
    return ExitUsage;
}

std::optional<int> ChooseLanguage(const char* argument) {
    const std::optional<zarnex::Language> language = zarnex::ParseLanguage(argument);
    if (!language) {
        return Usage(std::string("--lang takes ru or en, not '") + argument + "'");
    }
    zarnex::SetTerminalLanguage(*language);
    return std::nullopt;
}

struct GlobalOption {
    Option option;
    GlobalAction act;
};

// The options before a command, a row each.
const GlobalOption kGlobalOptions[] = {
    {{"help", 'h'}, ShowHelp},
    {{"version", LongOnly}, ShowVersion},
    {{"lang", LongOnly + 1, "ru|en"}, ChooseLanguage},
};

}  // namespace

int main(int argc, char** argv) {
    zarnex::PrepareConsole();
    std::vector<Option> options;
    for (const GlobalOption& global : kGlobalOptions) {
        options.push_back(global.option);
    }
    // getopt's messages name the program, not the path it ran from; the options end at the
    // command, and what follows is the command's own.
    const std::vector<std::string> arguments = zarnex::ProgramArguments(argc, argv);
    OptionParser parser("zarnex-cli", options, arguments, true);
    for (int c; (c = parser.Next()) != -1;) {
        if (c == '?') {
            std::cerr << UsageText();
            return ExitUsage;
        }
        for (const GlobalOption& global : kGlobalOptions) {
            if (global.option.letter != c) {
                continue;
            }
            if (const std::optional<int> status = global.act(parser.Argument())) {
                return *status;
            }
        }
    }
    const std::vector<std::string> operands = parser.Operands();
    if (operands.empty()) {
        return Usage("no command");
    }
    const Command* command = FindCommand(operands[0]);
    if (!command) {
        return Usage("unknown command: " + operands[0]);
    }
    return RunCommand(*command, {operands.begin() + 1, operands.end()});
}
