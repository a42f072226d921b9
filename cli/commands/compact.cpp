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
    MessageId::CompactAbout,
    {{"quiet", 'q', nullptr, MessageId::CompactQuietHelp}},
    Run,
};

}  // namespace zarnex::cli
