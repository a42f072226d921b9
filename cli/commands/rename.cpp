// zarnex-cli rename: one entry's name changed in place.
#include "archive/edit.h"

#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    if (const auto status = line.ReadOptions()) {
        return *status;
    }
    const std::vector<std::string>& operands = line.Operands();
    if (operands.size() != 3) {
        return line.Usage(Words(MessageId::TakesOldAndNewName));
    }
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    return ExitStatusOf(RenameEntry(operands[0], {operands[1]}, operands[2], boxes, io));
}

}  // namespace

extern const Command RenameCommand{
    "rename", "rename ARCHIVE OLD NEW", MessageId::RenameAbout, {}, Run,
};

}  // namespace zarnex::cli
