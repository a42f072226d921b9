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
        return line.Usage("takes an archive, the old name and the new one");
    }
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    switch (RenameEntry(operands[0], {operands[1]}, operands[2], boxes, io)) {
        case RenameStatus::Renamed:
            return ExitDone;
        case RenameStatus::NotRun:
            return ExitNotRun;
        case RenameStatus::NotFound:
        case RenameStatus::Invalid:
        case RenameStatus::Taken:
            break;
    }
    return ExitPartly;
}

}  // namespace

extern const Command RenameCommand{
    "rename",
    "rename ARCHIVE OLD NEW",
    "Give the entry named OLD (ignoring case; the first in directory order) the name NEW:\n"
    "1 to 23 bytes in Windows-1251 (24 for a change of case only), no / \\ : or control\n"
    "characters, not . or .., and no other entry's name ignoring case. Only that record's name\n"
    "changes, whole or not at all.",
    {},
    Run,
};

}  // namespace zarnex::cli
