// zarnex-cli extract: the entries of names out into a folder.
#include "archive/extract.h"

#include "cli/batch.h"
#include "cli/command.h"
#include "cli/exit_status.h"
#include "cli/options.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    BatchOptions batch;
    std::optional<OverwritePolicy> policy;
    auto takeOverwrite = [&](int option) {
        return Choose(policy, option == 'o' ? OverwritePolicy::Yes : OverwritePolicy::No,
                      "-o and -n exclude each other");
    };
    if (const auto status = batch.Read(line, takeOverwrite)) {
        return *status;
    }
    const std::vector<std::string>& operands = line.Operands();
    if (operands.size() < 2 || (operands.size() < 3 && batch.lists.empty())) {
        return line.Usage("takes an archive, a folder and names (or -T)");
    }
    const std::string& folder = operands[1];
    std::vector<std::string> names(operands.begin() + 2, operands.end());
    if (const auto status = batch.ReadLists(names)) {
        return *status;
    }
    if (!FolderExists(folder)) {
        return NotRun("no such folder: " + folder);
    }

    IoState io;
    BatchOutput output(batch, policy.value_or(OverwritePolicy::Ask), names.size());
    ExtractCallbacks callbacks;
    callbacks.setProgress = output.Progress();
    callbacks.extracted = [&](const std::string&, const std::string& outPath) {
        output.Verbose(ExtractedLine(outPath));
    };
    callbacks.notFound = [&](const std::string& name) { output.Remark(NotFoundLine(name)); };
    const ExtractOutcome outcome =
        ExtractFiles(operands[0], folder, names, output.Boxes(), callbacks, io);
    if (!outcome.loaded || outcome.cancelled) {
        return ExitNotRun;
    }
    const bool partly =
        outcome.skippedCount > 0 || outcome.notFoundCount > 0 || outcome.warnedCount > 0;
    return partly ? ExitPartly : ExitDone;
}

}  // namespace

extern const Command ExtractCommand{
    "extract",
    "extract [-o | -n] [-q | -v] [-T LIST [--null]] ARCHIVE FOLDER [NAME...]",
    "Copy the entry of each name (ignoring case) into FOLDER, which must exist, as a file of\n"
    "the entry's own name. Each name with no entry is named on standard error.",
    WithBatchOptions({{"overwrite", 'o', nullptr, "overwrite existing files without asking"},
                      {"no-overwrite", 'n', nullptr,
                       "never overwrite existing files\n"
                       "(with neither, ask on the terminal; without one, skip)"}},
                     "names", "\"extracted NAME\""),
    Run,
};

}  // namespace zarnex::cli
