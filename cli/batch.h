// What import and extract share: the lists of -T, --null, -q and -v, and what a batch shows
// while it runs.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/import.h"
#include "archive/lookup.h"
#include "cli/command.h"
#include "cli/terminal.h"

namespace zarnex::cli {

class CommandLine;

enum class Chatter { Quiet, Normal, Verbose };

// A line beside the boxes on standard error, such as a name with no entry; not with -q.
void Remark(Chatter chatter, const std::string& line);

// `own`, then the options of every batch: -T with its help `listHelp` (of paths, of names),
// --null, -q, and -v with its help `verboseHelp`.
std::vector<Option> WithBatchOptions(std::vector<Option> own, MessageId listHelp,
                                     MessageId verboseHelp);

struct BatchOptions {
    std::vector<std::string> lists;
    bool nullSeparated = false;
    Chatter chatter = Chatter::Normal;

    // Reads the command's options; `own` takes those of the command itself and answers a usage
    // problem or "". The exit status when the command has answered already.
    std::optional<int> Read(CommandLine& line, const std::function<std::string(int)>& own = {});
    // Appends the items of every list; the exit status when one cannot be read.
    std::optional<int> ReadLists(std::vector<std::string>& items) const;
    // For a command on an archive and items: reads the options, then the items, the operands
    // after the archive and then those of every list; `usage` when there are none. The exit
    // status when the command has answered already.
    std::optional<int> ReadArchiveAndItems(CommandLine& line, MessageId usage,
                                           std::vector<std::string>& items);
    bool TakesStandardInput() const;
};

// The NAMEs of extract and delete, with each pattern (a name with * or ?) replaced by the names of
// the entries it matches, in directory order; a name that a NAME before gave is not given again.
struct ChosenNames {
    std::vector<EntryChoice> names;  // a pattern's matches with their stored bytes
    int unmatched = 0;               // patterns that matched no entry, each named on standard error
};
// Reads the archive's directory only for a pattern or for `all` (every entry's name). Nothing
// when it cannot be read: a box has said why.
std::optional<ChosenNames> ChooseNames(const std::string& archive,
                                       const std::vector<std::string>& given, bool all,
                                       Chatter chatter);

// The lines a batch prints besides its message boxes, each made in one place.
std::string ImportedLine(const std::string& path, ImportKind kind);
std::string ExtractedLine(const std::string& outPath);
std::string NotFoundLine(const std::string& name);

// The message boxes of a batch on the terminal, its progress (only without -q and -v) and its
// other lines.
class BatchOutput {
  public:
    BatchOutput(const BatchOptions& options, OverwritePolicy policy);

    MessageBoxes& Boxes() { return boxes_; }
    // For the batch's progress.
    Progress ProgressLine();
    // A line of -v, on standard output; only with -v.
    void Verbose(const std::string& line) const;
    // A line beside the boxes on standard error, such as a name with no entry; not with -q.
    void Remark(const std::string& line) const { cli::Remark(chatter_, line); }

  private:
    Chatter chatter_;
    TerminalMessageBoxes boxes_;
    LateProgress progress_;
};

}  // namespace zarnex::cli
