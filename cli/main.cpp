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
#include "platform/console.h"
#include "platform/file.h"
#include "platform/version.h"

namespace {

using namespace zarnex::cli;
using zarnex::MessageId;
using zarnex::Words;

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
        return Usage(Words({.id = MessageId::BadLanguage, .text = argument}));
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

int Run(const std::vector<std::string>& arguments, bool consoleOfItsOwn) {
    if (arguments.empty() && consoleOfItsOwn) {
        // Started from Explorer: no command line to read the usage at.
        std::cout << Words(MessageId::ExplorerStart) << "\n";
        return ExitUsage;
    }
    if (!arguments.empty() && IsHelpSwitch(arguments[0])) {
        return *ShowHelp(nullptr);
    }
    std::vector<Option> options;
    for (const GlobalOption& global : kGlobalOptions) {
        options.push_back(global.option);
    }
    // getopt's messages name the program, not the path it ran from; the options end at the
    // command, and what follows is the command's own.
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
        return Usage(Words(MessageId::NoCommand));
    }
    if (operands[0] == "help" || IsHelpSwitch(operands[0])) {
        const Command* command = operands.size() == 2 ? FindCommand(operands[1]) : nullptr;
        std::cout << (command ? CommandHelp(*command) : FullHelp());
        return ExitDone;
    }
    const Command* command = FindCommand(operands[0]);
    // A file dropped on the program from Explorer comes as its only argument.
    if (!command && operands.size() == 1 && zarnex::FileExists(operands[0])) {
        return RunCommand(*FindCommand("list"), operands);
    }
    if (!command) {
        return Usage(Words({.id = MessageId::UnknownCommand, .name = operands[0]}));
    }
    return RunCommand(*command, {operands.begin() + 1, operands.end()});
}

}  // namespace

int main(int argc, char** argv) {
    zarnex::PrepareConsole();
    // Windows closes a console of the program's own as the program ends: what it said must stay
    // to be read, by a person at that console (a tool that started it so reads its output).
    const bool consoleOfItsOwn =
        zarnex::HasConsoleOfItsOwn() && zarnex::IsTerminal(0) && zarnex::IsTerminal(1);
    const int status = Run(zarnex::ProgramArguments(argc, argv), consoleOfItsOwn);
    if (consoleOfItsOwn) {
        std::cout << "\n" << Words(MessageId::PressAnyKey) << std::flush;
        zarnex::WaitForKey();
    }
    return status;
}
