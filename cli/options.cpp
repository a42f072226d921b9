#include "cli/options.h"

#include <algorithm>
#include <iostream>

#include "cli/exit_status.h"
#include "cli/terminal.h"

namespace zarnex::cli {

OptionParser::OptionParser(const std::string& program, std::span<const Option> options,
                           const std::vector<std::string>& arguments, bool stopAtOperand)
    : options_(options.begin(), options.end()), strings_{program} {
    strings_.insert(strings_.end(), arguments.begin(), arguments.end());
    for (std::string& s : strings_) {
        args_.push_back(s.data());
    }
    args_.push_back(nullptr);
    if (stopAtOperand) {
        shortOptions_ = "+";
    }
    for (const Option& o : options) {
        const int argument = o.argument ? required_argument : no_argument;
        if (o.letter < LongOnly) {
            shortOptions_ += static_cast<char>(o.letter);
            shortOptions_ += o.argument ? ":" : "";
        }
        longOptions_.push_back({o.name, argument, nullptr, o.letter});
    }
    longOptions_.push_back({});
    optind = 0;  // start afresh
    // MinGW's getopt names the program by its path: the complaints are this parser's own.
    opterr = 0;
}

int OptionParser::Next() {
    const int c = getopt_long(static_cast<int>(args_.size() - 1), args_.data(),
                              shortOptions_.c_str(), longOptions_.data(), nullptr);
    if (c == '?' && optopt == '?') {
        return 'h';  // -?, as Windows programs are asked for their help
    }
    if (c == '?') {
        std::cerr << strings_[0] << ": " << Problem() << "\n";
    }
    return c;
}

std::string OptionParser::Problem() const {
    // The argument that held the option: getopt has gone past it, and past the end when a last
    // option lacks its argument.
    const int argc = static_cast<int>(args_.size() - 1);
    const int at = std::min(optind, argc) - 1;
    const std::string given = at > 0 ? args_[at] : "";
    const auto known = std::find_if(options_.begin(), options_.end(),
                                    [](const Option& o) { return o.letter == optopt; });
    const bool isLong = given.starts_with("--");
    if (optopt == 0 || known == options_.end()) {
        return Words(
            {.id = MessageId::UnknownOption,
             .text = isLong || optopt == 0 ? given : std::string("-") + static_cast<char>(optopt)});
    }
    if (!isLong) {
        return Words({.id = MessageId::OptionNeedsArgument,
                      .text = std::string("-") + static_cast<char>(optopt)});
    }
    return Words(
        {.id = known->argument ? MessageId::OptionNeedsArgument : MessageId::OptionTakesNoArgument,
         .text = given.substr(0, given.find('='))});
}

std::vector<std::string> OptionParser::Operands() const {
    return {args_.begin() + optind, args_.end() - 1};
}

CommandLine::CommandLine(const Command& command, const std::vector<std::string>& arguments)
    : command_(command),
      options_(OptionsOf(command)),
      parser_(std::string("zarnex-cli ") + command.name, options_, arguments) {}

std::optional<int> CommandLine::ReadOptions(const Take& take) {
    for (int c; (c = parser_.Next()) != -1;) {
        if (c == 'h') {
            std::cout << CommandHelp(command_);
            return ExitDone;
        }
        if (c == '?') {
            return Usage("");
        }
        if (const std::string problem = take(c, parser_.Argument()); !problem.empty()) {
            return Usage(problem);
        }
    }
    operands_ = parser_.Operands();
    return std::nullopt;
}

std::optional<int> CommandLine::ReadOptionsAndArchive(const Take& take) {
    if (const auto status = ReadOptions(take)) {
        return status;
    }
    if (operands_.size() != 1) {
        return Usage(Words(MessageId::TakesOneArchive));
    }
    return std::nullopt;
}

int RunOnArchive(CommandLine& line, int (*run)(const std::string& archive, bool quiet)) {
    bool quiet = false;
    if (const auto status = line.ReadOptionsAndArchive(SetFlag(quiet))) {
        return *status;
    }
    return run(line.Operands()[0], quiet);
}

int CommandLine::Usage(const std::string& problem) const {
    if (!problem.empty()) {
        std::cerr << "zarnex-cli " << command_.name << ": " << problem << "\n";
    }
    std::cerr << Words(MessageId::UsageHeading) << " zarnex-cli " << command_.synopsis << "\n"
              << Words({.id = MessageId::HelpHint, .name = command_.name}) << "\n";
    return ExitUsage;
}

std::string ExcludeEachOther(const char* one, const char* other) {
    return Words({.id = MessageId::OptionsExclude, .name = one, .newName = other});
}

CommandLine::Take SetFlag(bool& flag) {
    return [&flag](int, const char*) {
        flag = true;
        return std::string();
    };
}

}  // namespace zarnex::cli
