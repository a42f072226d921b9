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
        return ExitNotRun;
    }
    if (!quiet) {
        for (const Problem& problem : check->problems) {
            std::cout << DescribeProblem(*check, problem, TerminalLanguage()) << "\n";
        }
    }
    return check->problems.empty() ? ExitDone : ExitPartly;
}

int Run(CommandLine& line) {
    return RunOnArchive(line, Check);
}

}  // namespace

extern const Command CheckCommand{
    "check",
    "check [-q] ARCHIVE",
    "Read the directory and print one line per problem, naming the entries: overlaps,\n"
    "data past the end of the file or inside the version-2 directory, offsets and sizes\n"
    "out of range, names that are no file name, names repeated ignoring case (a warning),\n"
    "a partial record at the end of a version-1 .dir, the copy an interrupted deletion left.\n"
    "Prints nothing for a sound archive.",
    {{"quiet", 'q', nullptr,
      "print no problem lines; the exit status tells (a box\n"
      "still says why an archive cannot be read)"}},
    Run,
};

}  // namespace zarnex::cli
