// zarnex-cli delete: entries out of an archive's directory.
#include "archive/edit.h"

#include "cli/batch.h"
#include "cli/exit_status.h"
#include "cli/options.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    BatchOptions batch;
    std::vector<std::string> given;
    if (const auto status =
            batch.ReadArchiveAndItems(line, MessageId::TakesArchiveAndNames, given)) {
        return *status;
    }
    const std::string& archive = line.Operands()[0];
    const std::optional<ChosenNames> names = ChooseNames(archive, given, false, batch.chatter);
    if (!names) {
        return ExitStatusOf(BatchEnd::NotRun);
    }
    IoState io;
    BatchOutput output(batch, OverwritePolicy::No);
    DeleteCallbacks callbacks;
    callbacks.progress = output.ProgressLine();
    callbacks.deleted = [&](const std::string& name) {
        output.Verbose(LineText(MessageId::DeletedLine, name));
    };
    callbacks.notFound = [&](const std::string& name) { output.Remark(NotFoundLine(name)); };
    const DeleteOutcome outcome =
        DeleteEntries(archive, names->names, output.Boxes(), callbacks, io);
    return ExitStatusOf(outcome, names->unmatched);
}

}  // namespace

extern const Command DeleteCommand{
    "delete",
    "delete [-q | -v] [-T LIST [--null]] ARCHIVE NAME...",
    MessageId::DeleteAbout,
    WithBatchOptions({}, MessageId::NameListHelp, MessageId::DeleteVerboseHelp),
    Run,
};

}  // namespace zarnex::cli
