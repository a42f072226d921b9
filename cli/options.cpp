#include "cli/options.h"

#include <iostream>

#include "cli/exit_status.h"

namespace zarnex::cli {

OptionParser::OptionParser(const std::string& program, std::span<const Option> options,
                           const std::vector<std::string>& arguments, bool stopAtOperand)
    : strings_{program} {
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
    optind = 0;  // glibc: start afresh
    opterr = 1;
}

int OptionParser::Next() {
    return getopt_long(static_cast<int>(args_.size() - 1), args_.data(), shortOptions_.c_str(),
                       longOptions_.data(), nullptr);
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
        return Usage("takes one archive");
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
    std::cerr << "usage: zarnex-cli " << command_.synopsis << "\n"
              << "Try 'zarnex-cli " << command_.name << " --help'.\n";
    return ExitUsage;
}

CommandLine::Take SetFlag(bool& flag) {
    return [&flag](int, const char*) {
        flag = true;
        return std::string();
    };
}

}  // namespace zarnex::cli
