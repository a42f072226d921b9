#include "cli/command.h"

#include <algorithm>
#include <iostream>

#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace zarnex::cli {

namespace {

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
        for (char c : o.help ? Words(*o.help) : "") {
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
    return Words(command.about) + "\n\n" + OptionLines(OptionsOf(command));
}

// The characters, not the bytes, of UTF-8 text.
size_t Width(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// "usage: " and the synopses, each below the one before.
std::string Usage(const std::vector<std::string>& synopses) {
    const std::string heading = Words(MessageId::UsageHeading) + " ";
    std::string text;
    for (const std::string& synopsis : synopses) {
        text += (text.empty() ? heading : std::string(Width(heading), ' ')) + "zarnex-cli " +
                synopsis + "\n";
    }
    return text;
}

}  // namespace

std::vector<Option> OptionsOf(const Command& command) {
    std::vector<Option> options = command.options;
    options.push_back({"help", 'h', nullptr, MessageId::HelpOptionHelp});
    return options;
}

std::string UsageText() {
    std::vector<std::string> synopses;
    for (const Command* command : Commands()) {
        synopses.emplace_back(command->synopsis);
    }
    synopses.insert(synopses.end(), {"COMMAND --help", "help | /? | --help | --version",
                                     "--lang ru|en COMMAND ..."});
    return Usage(synopses);
}

std::string FullHelp() {
    std::string text = UsageText() + "\n";
    for (const Command* command : Commands()) {
        text +=
            std::string("zarnex-cli ") + command->synopsis + "\n" + Description(*command) + "\n";
    }
    return text + Words(MessageId::HelpLanguage) + "\n\n" + Words(MessageId::HelpExitStatus) + "\n";
}

std::string CommandHelp(const Command& command) {
    return Usage({command.synopsis}) + "\n" + Description(command) + "\n" +
           Words(MessageId::HelpExitStatus) + "\n";
}

int RunCommand(const Command& command, const std::vector<std::string>& arguments) {
    if (!arguments.empty() && IsHelpSwitch(arguments[0])) {
        std::cout << CommandHelp(command);
        return ExitDone;
    }
    CommandLine line(command, arguments);
    return command.run(line);
}

int NotRun(const std::string& why) {
    std::cerr << "zarnex-cli: " << why << "\n";
    return ExitNotRun;
}

bool IsHelpSwitch(std::string_view argument) {
    return argument == "/?" || argument == "-?";
}

}  // namespace zarnex::cli
