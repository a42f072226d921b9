// zarnex-cli compact: the gaps of an archive closed, in place.
#include "archive/compact.h"

#include <functional>

#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace zarnex::cli {

namespace {

int Compact(const std::string& archive, bool quiet) {
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    LateProgress progress(!quiet);
    const CompactOutcome outcome = CompactArchive(archive, boxes, io, std::ref(progress));
    progress.End();
    return outcome.completed ? ExitDone : ExitNotRun;
}

int Run(CommandLine& line) {
    return RunOnArchive(line, Compact);
}

}  // namespace

extern const Command CompactCommand{
    "compact",
    "compact [-q] ARCHIVE",
    "Close every gap: the entries end up in one run in the order of their data, with\n"
    "their bytes, names, order of records and count unchanged, and the data file is cut\n"
    "to its new end. Works in place and is safe against a power cut at any moment.\n"
    "Refuses an archive whose entries overlap, reach past its end or lie out of range.",
    {{"quiet", 'q', nullptr, "no progress"}},
    Run,
};

}  // namespace zarnex::cli
