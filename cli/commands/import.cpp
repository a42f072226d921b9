// zarnex-cli import: files into an archive, replacing the entries of their names.
#include "archive/import.h"

#include "cli/batch.h"
#include "cli/exit_status.h"
#include "cli/options.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    BatchOptions batch;
    std::vector<std::string> paths;
    if (const auto status =
            batch.ReadArchiveAndItems(line, "takes an archive and files (or -T)", paths)) {
        return *status;
    }
    const std::string& archive = line.Operands()[0];

    IoState io;
    BatchOutput output(batch, OverwritePolicy::No, paths.size());
    ImportCallbacks callbacks;
    callbacks.setProgress = output.Progress();
    callbacks.removeFromImportList = [&](const std::string& path, ImportKind kind) {
        output.Verbose(ImportedLine(path, kind));
    };
    const ImportOutcome outcome = ImportFiles(archive, paths, output.Boxes(), callbacks, io);
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
