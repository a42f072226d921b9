// zarnex-cli create: an empty archive, never over an existing file.
#include "archive/create.h"

#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    std::optional<ArchiveVersion> version;
    auto takeVersion = [&](int option, const char*) {
        return Choose(version, option == '1' ? ArchiveVersion::One : ArchiveVersion::Two, "-1",
                      "-2");
    };
    if (const auto status = line.ReadOptionsAndArchive(takeVersion)) {
        return *status;
    }
    IoState io;
    const CreateOutcome outcome =
        CreateArchive(line.Operands()[0], version.value_or(ArchiveVersion::Two), io);
    switch (outcome.status) {
        case CreateStatus::Created:
            break;
        case CreateStatus::Exists:
            NotRun(Words({.id = MessageId::CreateExists, .path = outcome.path}));
            break;
        case CreateStatus::DirectoryIsItself:
            NotRun(Words({.id = MessageId::CreateIsItsDirectory, .path = outcome.path}));
            break;
        case CreateStatus::Failed:
            NotRun(Words(
                {.id = MessageId::CreateFailedLine, .path = outcome.path, .code = outcome.error}));
            break;
    }
    return ExitStatusOf(outcome);
}

}  // namespace

extern const Command CreateCommand{
    "create",
    "create [-1 | -2] ARCHIVE",
    MessageId::CreateAbout,
    {{"version1", '1', nullptr, MessageId::Version1Help},
     {"version2", '2', nullptr, MessageId::Version2Help}},
    Run,
};

}  // namespace zarnex::cli
