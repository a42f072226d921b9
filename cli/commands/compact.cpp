// zarnex-cli compact: the gaps of an archive closed, in place.
#include "archive/compact.h"

#include <functional>
#include <iostream>

#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    std::optional<char> chatter;
    if (const auto status = line.ReadOptionsAndArchive([&](int option, const char*) {
            return Choose(chatter, static_cast<char>(option), "-q", "-v");
        })) {
        return *status;
    }
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    LateProgress progress(!chatter);
    auto moved = [&](const std::string& name) {
        if (chatter == 'v') {
            std::cout << LineText(MessageId::MovedLine, name) << "\n";
        }
    };
    const CompactOutcome outcome =
        CompactArchive(line.Operands()[0], boxes, io, std::ref(progress), moved);
    progress.End();
    return ExitStatusOf(outcome);
}

}  // namespace

extern const Command CompactCommand{
    "compact",
    "compact [-q | -v] ARCHIVE",
    MessageId::CompactAbout,
    {{"quiet", 'q', nullptr, MessageId::CompactQuietHelp},
     {"verbose", 'v', nullptr, MessageId::CompactVerboseHelp}},
    Run,
};

}  // namespace zarnex::cli
