// zarnex-cli import: files into an archive, replacing the entries of their names.
#include "archive/import.h"

#include "cli/batch.h"
#include "cli/exit_status.h"
#include "cli/options.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    BatchOptions batch;
    if (const auto status = batch.Read(line)) {
        return *status;
    }
    const std::vector<std::string>& operands = line.Operands();
    if (operands.empty() || (operands.size() < 2 && batch.lists.empty())) {
        return line.Usage("takes an archive and files (or -T)");
    }
    std::vector<std::string> paths(operands.begin() + 1, operands.end());
    if (const auto status = batch.ReadLists(paths)) {
        return *status;
    }

    IoState io;
    BatchOutput output(batch, OverwritePolicy::No, paths.size());
    ImportCallbacks callbacks;
    callbacks.setProgress = output.Progress();
    callbacks.removeFromImportList = [&](const std::string& path, ImportKind kind) {
        output.Verbose(ImportedLine(path, kind));
    };
    const ImportOutcome outcome = ImportFiles(operands[0], paths, output.Boxes(), callbacks, io);
    if (!outcome.loaded || !outcome.completed) {
        return ExitNotRun;
    }
    return outcome.skippedCount > 0 ? ExitPartly : ExitDone;
}

}  // namespace

extern const Command ImportCommand{
    "import",
    "import [-q | -v] [-T LIST [--null]] ARCHIVE [FILE...]",
    "Write each file into the archive: a file whose name (ignoring case) is in the archive\n"
    "replaces that entry's data, any other file becomes a new entry. The FILEs come first,\n"
    "then the paths of each LIST.",
    WithBatchOptions({}, "paths", "\"replaced NAME\" or \"added NAME\""),
    Run,
};

}  // namespace zarnex::cli
