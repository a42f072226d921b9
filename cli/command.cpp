#include "cli/command.h"

#include <algorithm>
#include <iostream>

#include "cli/exit_status.h"
#include "cli/options.h"

namespace zarnex::cli {

namespace {

const char* const kLanguage =
    "--lang ru|en sets the language of the messages, summaries and lines of -v; without it the\n"
    "first of LANGUAGE, LC_ALL, LC_MESSAGES and LANG that is set decides: Russian where it\n"
    "begins with \"ru\", English otherwise.\n";

const char* const kExitStatus =
    "Exit status: 0 everything was done; 1 the command ran to its end but something was\n"
    "skipped, refused or not found (check: problems were found); 2 usage error; 3 the command\n"
    "did not run or stopped (archive missing, unreadable or damaged, an error stop, a cancel).\n";

// Where an option's help begins on its line.
constexpr size_t HelpColumn = 25;

std::string OptionLines(const std::vector<Option>& options) {
    std::string text;
    for (const Option& o : options) {
        std::string line = o.letter < LongOnly
                               ? std::string("  -") + static_cast<char>(o.letter) + ", "
                               : std::string(6, ' ');
        line += std::string("--") + o.name;
        if (o.argument) {
            line += std::string("=") + o.argument;
        }
        line.resize(std::max(line.size() + 2, HelpColumn), ' ');
        for (char c : o.help) {
            line += c;
            if (c == '\n') {
                line.append(HelpColumn, ' ');
            }
        }
        text += line + "\n";
    }
    return text;
}

// What the command does and its options.
std::string Description(const Command& command) {
    return std::string(command.about) + "\n\n" + OptionLines(OptionsOf(command));
}

}  // namespace

std::vector<Option> OptionsOf(const Command& command) {
    std::vector<Option> options = command.options;
    options.push_back({"help", 'h', nullptr, "show this help"});
    return options;
}

std::string UsageText() {
    std::vector<std::string> synopses;
    for (const Command* command : Commands()) {
        synopses.emplace_back(command->synopsis);
    }
    synopses.insert(synopses.end(),
                    {"COMMAND --help", "--help | --version", "--lang ru|en COMMAND ..."});
    std::string text;
    for (const std::string& synopsis : synopses) {
        text += (text.empty() ? "usage: " : "       ") + ("zarnex-cli " + synopsis) + "\n";
    }
    return text;
}

std::string FullHelp() {
    std::string text = UsageText() + "\n";
    for (const Command* command : Commands()) {
        text +=
            std::string("zarnex-cli ") + command->synopsis + "\n" + Description(*command) + "\n";
    }
    return text + kLanguage + "\n" + kExitStatus;
}

std::string CommandHelp(const Command& command) {
    return std::string("usage: zarnex-cli ") + command.synopsis + "\n\n" + Description(command) +
           "\n" + kExitStatus;
}

int RunCommand(const Command& command, const std::vector<std::string>& arguments) {
    CommandLine line(command, arguments);
    return command.run(line);
}

int NotRun(const std::string& why) {
    std::cerr << "zarnex-cli: " << why << "\n";
    return ExitNotRun;
}

}  // namespace zarnex::cli
