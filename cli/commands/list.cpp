// zarnex-cli list: the directory, an entry a line.
#include <iostream>
#include <optional>

#include "archive/directory.h"
#include "archive/names.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    if (const auto status = line.ReadOptionsAndArchive()) {
        return *status;
    }
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    const std::optional<OpenArchive> archive = LoadDirectory(line.Operands()[0], io, boxes);
    if (!archive) {
        return ExitStatusOf(BatchEnd::NotRun);
    }
    const DirectoryTable& table = archive->table;
    std::cout << Words({.id = MessageId::ListHeader,
                        .count = table.count,
                        .version = table.IsVersion2() ? 2 : 1})
              << "\n";
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        std::cout << i << "\t" << entry.offset << "\t" << entry.size << "\t"
                  << DisplayName(entry.name) << "\n";
    }
    return ExitStatusOf(BatchEnd::Done);
}

}  // namespace

extern const Command ListCommand{
    "list", "list ARCHIVE", MessageId::ListAbout, {}, Run,
};

}  // namespace zarnex::cli
