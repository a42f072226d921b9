// zarnex-cli create: an empty archive, never over an existing file.
#include "archive/create.h"

#include "platform/errors.h"

#include "cli/exit_status.h"
#include "cli/options.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    std::optional<ArchiveVersion> version;
    auto takeVersion = [&](int option, const char*) {
        return Choose(version, option == '1' ? ArchiveVersion::One : ArchiveVersion::Two,
                      "-1 and -2 exclude each other");
    };
    if (const auto status = line.ReadOptionsAndArchive(takeVersion)) {
        return *status;
    }
    IoState io;
    const CreateOutcome outcome =
        CreateArchive(line.Operands()[0], version.value_or(ArchiveVersion::Two), io);
    switch (outcome.status) {
        case CreateStatus::Created:
            return ExitDone;
        case CreateStatus::Exists:
            return NotRun(outcome.path + " already exists; create never touches an existing file");
        case CreateStatus::DirectoryIsItself:
            return NotRun(outcome.path +
                          " ends in .dir: a version-1 archive would be its own directory file");
        case CreateStatus::Failed:
            return NotRun("cannot create " + outcome.path + ": " + SystemErrorText(outcome.error) +
                          " (I/O error: " + std::to_string(outcome.error) + ")");
    }
    return ExitNotRun;
}

}  // namespace

extern const Command CreateCommand{
    "create",
    "create [-1 | -2] ARCHIVE",
    "Make an empty archive; never touches an existing file.",
    {{"version1", '1', nullptr, "version 1: an empty ARCHIVE and an empty .dir beside it"},
     {"version2", '2', nullptr, "version 2: the 8-byte VER2 header (the default)"}},
    Run,
};

}  // namespace zarnex::cli
