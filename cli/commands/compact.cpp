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
            return Choose(chatter, static_cast<char>(option), "-q and -v exclude each other");
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
    return outcome.completed ? ExitDone : ExitNotRun;
}

}  // namespace

extern const Command CompactCommand{
    "compact",
    "compact [-q | -v] ARCHIVE",
    "Close every gap: the entries end up in one run in the order of their data, with\n"
    "their bytes, names, order of records and count unchanged, and the data file is cut\n"
    "to its new end. Works in place and is safe against a power cut at any moment.\n"
    "Refuses an archive that check finds damaged.",
    {{"quiet", 'q', nullptr, "no progress"},
     {"verbose", 'v', nullptr, "print \"moved NAME\" once each entry's move is on the disk"}},
    Run,
};

}  // namespace zarnex::cli
