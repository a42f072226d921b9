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
        return Choose(policy, option == 'o' ? OverwritePolicy::Yes : OverwritePolicy::No, "-o",
                      "-n");
    };
    if (const auto status = batch.Read(line, takeOverwrite)) {
        return *status;
    }
    const std::vector<std::string>& operands = line.Operands();
    if (operands.size() < 2) {
        return line.Usage(Words(MessageId::TakesArchiveAndFolder));
    }
    const std::string& archive = operands[0];
    const std::string& folder = operands[1];
    std::vector<std::string> given(operands.begin() + 2, operands.end());
    const bool all = given.empty() && batch.lists.empty();
    if (const auto status = batch.ReadLists(given)) {
        return *status;
    }
    if (!FolderExists(folder)) {
        return NotRun(Words({.id = MessageId::NoSuchFolder, .path = folder}));
    }
    const std::optional<ChosenNames> names = ChooseNames(archive, given, all, batch.chatter);
    if (!names) {
        return ExitStatusOf(BatchEnd::NotRun);
    }

    IoState io;
    BatchOutput output(batch, policy.value_or(OverwritePolicy::Ask));
    ExtractCallbacks callbacks;
    callbacks.progress = output.ProgressLine();
    callbacks.extracted = [&](const std::string&, const std::string& outPath) {
        output.Verbose(ExtractedLine(outPath));
    };
    callbacks.notFound = [&](const std::string& name) { output.Remark(NotFoundLine(name)); };
    const ExtractOutcome outcome =
        ExtractEntries(archive, folder, names->names, output.Boxes(), callbacks, io);
    return ExitStatusOf(outcome, names->unmatched);
}

}  // namespace

extern const Command ExtractCommand{
    "extract",
    "extract [-o | -n] [-q | -v] [-T LIST [--null]] ARCHIVE FOLDER [NAME...]",
    MessageId::ExtractAbout,
    WithBatchOptions({{"overwrite", 'o', nullptr, MessageId::OverwriteHelp},
                      {"no-overwrite", 'n', nullptr, MessageId::NoOverwriteHelp}},
                     MessageId::NameListHelp, MessageId::ExtractVerboseHelp),
    Run,
};

}  // namespace zarnex::cli
