// zarnex-cli import: files into an archive, replacing the entries of their names.
#include "archive/import.h"

#include "cli/batch.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "platform/wildcards.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    BatchOptions batch;
    std::vector<std::string> given;
    if (const auto status =
            batch.ReadArchiveAndItems(line, MessageId::TakesArchiveAndFiles, given)) {
        return *status;
    }
    const std::string& archive = line.Operands()[0];
    // The FILEs come first, as typed; what a list names is no pattern.
    const size_t typed = line.Operands().size() - 1;
    std::vector<std::string> paths;
    int unmatched = 0;
    for (size_t i = 0; i < given.size(); ++i) {
        std::vector<std::string> found =
            i < typed ? ExpandFileArgument(given[i]) : std::vector<std::string>{given[i]};
        if (found.empty()) {
            Remark(batch.chatter, Words({.id = MessageId::NoFileMatches, .name = given[i]}));
            ++unmatched;
        }
        paths.insert(paths.end(), found.begin(), found.end());
    }

    IoState io;
    BatchOutput output(batch, OverwritePolicy::No);
    ImportCallbacks callbacks;
    callbacks.progress = output.ProgressLine();
    callbacks.removeFromImportList = [&](const std::string& path, ImportKind kind) {
        output.Verbose(ImportedLine(path, kind));
    };
    const ImportOutcome outcome = ImportFiles(archive, paths, output.Boxes(), callbacks, io);
    return ExitStatusOf(outcome, unmatched);
}

}  // namespace

extern const Command ImportCommand{
    "import",
    "import [-q | -v] [-T LIST [--null]] ARCHIVE [FILE...]",
    MessageId::ImportAbout,
    WithBatchOptions({}, MessageId::PathListHelp, MessageId::ImportVerboseHelp),
    Run,
};

}  // namespace zarnex::cli
