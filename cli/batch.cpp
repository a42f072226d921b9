#include "cli/batch.h"

#include <iostream>

#include "cli/lists.h"
#include "cli/options.h"
#include "platform/paths.h"

namespace zarnex::cli {

namespace {

constexpr int NullOption = LongOnly;

}  // namespace

std::vector<Option> WithBatchOptions(std::vector<Option> own, const char* items,
                                     const char* verboseLines) {
    own.insert(
        own.end(),
        {{"files-from", 'T', "LIST",
          std::string("also take the ") + items + " from LIST, one a line; - is standard input"},
         {"null", NullOption, nullptr, "the items of LIST end in NUL bytes instead (find -print0)"},
         {"quiet", 'q', nullptr,
          "print the message boxes only: no progress, no lines of -v,\n"
          "no \"not found\" lines"},
         {"verbose", 'v', nullptr, std::string("print a line per file: ") + verboseLines}});
    return own;
}

std::optional<int> BatchOptions::Read(CommandLine& line,
                                      const std::function<std::string(int)>& own) {
    std::optional<Chatter> chosen;
    const auto status = line.ReadOptions([&](int option, const char* argument) -> std::string {
        switch (option) {
            case 'T':
                lists.emplace_back(argument);
                return "";
            case NullOption:
                nullSeparated = true;
                return "";
            case 'q':
            case 'v':
                return Choose(chosen, option == 'q' ? Chatter::Quiet : Chatter::Verbose,
                              "-q and -v exclude each other");
            default:
                return own(option);
        }
    });
    if (status) {
        return status;
    }
    chatter = chosen.value_or(Chatter::Normal);
    if (nullSeparated && lists.empty()) {
        return line.Usage("--null applies to the lists of -T");
    }
    return std::nullopt;
}

std::optional<int> BatchOptions::ReadLists(std::vector<std::string>& items) const {
    return cli::ReadLists(lists, nullSeparated, items);
}

std::optional<int> BatchOptions::ReadArchiveAndItems(CommandLine& line, const char* usage,
                                                     std::vector<std::string>& items) {
    if (const auto status = Read(line)) {
        return status;
    }
    const std::vector<std::string>& operands = line.Operands();
    if (operands.empty() || (operands.size() < 2 && lists.empty())) {
        return line.Usage(usage);
    }
    items.assign(operands.begin() + 1, operands.end());
    return ReadLists(items);
}

bool BatchOptions::TakesStandardInput() const {
    for (const std::string& list : lists) {
        if (list == "-") {
            return true;
        }
    }
    return false;
}

std::string ImportedLine(const std::string& path, ImportKind kind) {
    return LineText(kind == ImportKind::Replaced ? MessageId::ReplacedLine : MessageId::AddedLine,
                    FileNamePart(path));
}

std::string ExtractedLine(const std::string& outPath) {
    return LineText(MessageId::ExtractedLine, FileNamePart(outPath));
}

std::string NotFoundLine(const std::string& name) {
    return LineText(MessageId::NotFoundLine, name);
}

BatchOutput::BatchOutput(const BatchOptions& options, OverwritePolicy policy, size_t total)
    : chatter_(options.chatter), boxes_(policy, options.TakesStandardInput()) {
    if (chatter_ == Chatter::Normal) {
        progress_.emplace(static_cast<int>(total));
    }
}

std::function<void(int)> BatchOutput::Progress() {
    return [this](int position) {
        if (progress_) {
            progress_->Set(position);
        }
    };
}

void BatchOutput::Verbose(const std::string& line) const {
    if (chatter_ == Chatter::Verbose) {
        std::cout << line << "\n";
    }
}

void BatchOutput::Remark(const std::string& line) const {
    if (chatter_ != Chatter::Quiet) {
        std::cerr << line << "\n";
    }
}

}  // namespace zarnex::cli
