// Reading options: getopt_long over a table of them, and a command's own reading with its help
// and its usage errors.
#pragma once

#include <getopt.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/command.h"

namespace zarnex::cli {

// getopt_long over `arguments`; its complaints name `program`, in GNU getopt's words on every
// system. Not to be copied: getopt holds pointers into it.
class OptionParser {
  public:
    // `stopAtOperand`: the options end at the first operand, and what follows is that operand's.
    OptionParser(const std::string& program, std::span<const Option> options,
                 const std::vector<std::string>& arguments, bool stopAtOperand = false);
    OptionParser(const OptionParser&) = delete;
    OptionParser& operator=(const OptionParser&) = delete;

    // The next option's letter, 'h' for -? too; '?' after a usage error (printed already); -1 at
    // the operands.
    int Next();
    // The argument of the option just read.
    const char* Argument() const { return optarg; }
    std::vector<std::string> Operands() const;

  private:
    // What was wrong with the option just refused.
    std::string Problem() const;

    std::vector<Option> options_;
    std::vector<std::string> strings_;  // the program, then the arguments
    std::vector<char*> args_;           // what getopt reads and reorders
    std::string shortOptions_;
    std::vector<option> longOptions_;
};

// One command's arguments.
class CommandLine {
  public:
    // Takes an option's letter and argument; answers a usage problem, or "".
    using Take = std::function<std::string(int option, const char* argument)>;

    CommandLine(const Command& command, const std::vector<std::string>& arguments);

    // Reads the options in order, handing each but -h to `take`. The exit status when the
    // command has answered already: with its help, or with a usage error.
    std::optional<int> ReadOptions(const Take& take = {});
    // The same for a command on one archive, the only operand.
    std::optional<int> ReadOptionsAndArchive(const Take& take = {});
    const std::vector<std::string>& Operands() const { return operands_; }
    // The problem, when there is one, and the command's usage on standard error; ExitUsage.
    int Usage(const std::string& problem) const;

  private:
    const Command& command_;
    std::vector<Option> options_;
    OptionParser parser_;
    std::vector<std::string> operands_;
};

// For a command on one archive whose only option is -q: reads them, then runs `run` on them.
int RunOnArchive(CommandLine& line, int (*run)(const std::string& archive, bool quiet));

// Takes an option that only sets `flag`.
CommandLine::Take SetFlag(bool& flag);

// That the options `one` and `other` exclude each other.
std::string ExcludeEachOther(const char* one, const char* other);

// For two options that exclude each other, `one` for the first value: takes `value`, or answers
// that they exclude each other when the other came before.
template <typename T>
std::string Choose(std::optional<T>& choice, T value, const char* one, const char* other) {
    if (choice && *choice != value) {
        return ExcludeEachOther(one, other);
    }
    choice = value;
    return "";
}

}  // namespace zarnex::cli
