// zarnex-cli check: a line per problem of an archive's directory.
#include "archive/check.h"

#include <iostream>
#include <string>

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
        // Through one buffer, as list writes.
        std::string out;
        for (const Problem& problem : check->problems) {
            out += DescribeProblem(*check, problem, TerminalLanguage());
            out += '\n';
            if (out.size() >= size_t{1} << 20) {
                std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
                out.clear();
            }
        }
        std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
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
