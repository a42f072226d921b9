// zarnex-cli check: a line per problem of an archive's directory.
#include "archive/check.h"

#include <iostream>

#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace zarnex::cli {

namespace {

int Check(const std::string& path, bool quiet) {
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    const std::optional<ArchiveCheck> check = CheckArchive(path, io, boxes);
    if (!check) {
        return ExitStatusOf(BatchEnd::NotRun);
    }
    if (!quiet) {
        for (const Problem& problem : check->problems) {
            std::cout << DescribeProblem(*check, problem, TerminalLanguage()) << "\n";
        }
    }
    return ExitStatusOf(check->problems.empty() ? BatchEnd::Done : BatchEnd::Partly);
}

int Run(CommandLine& line) {
    return RunOnArchive(line, Check);
}

}  // namespace

extern const Command CheckCommand{
    "check",
    "check [-q] ARCHIVE",
    MessageId::CheckAbout,
    {{"quiet", 'q', nullptr, MessageId::CheckQuietHelp}},
    Run,
};

}  // namespace zarnex::cli
