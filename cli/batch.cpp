#include "cli/batch.h"

#include <iostream>
#include <unordered_set>

#include "archive/directory.h"
#include "archive/name_pattern.h"
#include "archive/names.h"
#include "cli/lists.h"
#include "cli/options.h"
#include "platform/paths.h"
#include "platform/wildcards.h"

namespace zarnex::cli {

namespace {

constexpr int NullOption = LongOnly;

}  // namespace

std::vector<Option> WithBatchOptions(std::vector<Option> own, MessageId listHelp,
                                     MessageId verboseHelp) {
    own.insert(own.end(), {{"files-from", 'T', "LIST", listHelp},
                           {"null", NullOption, nullptr, MessageId::NullHelp},
                           {"quiet", 'q', nullptr, MessageId::BatchQuietHelp},
                           {"verbose", 'v', nullptr, verboseHelp}});
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
                return Choose(chosen, option == 'q' ? Chatter::Quiet : Chatter::Verbose, "-q",
                              "-v");
            default:
                return own(option);
        }
    });
    if (status) {
        return status;
    }
    chatter = chosen.value_or(Chatter::Normal);
    if (nullSeparated && lists.empty()) {
        return line.Usage(Words(MessageId::NullWithoutList));
    }
    return std::nullopt;
}

std::optional<int> BatchOptions::ReadLists(std::vector<std::string>& items) const {
    return cli::ReadLists(lists, nullSeparated, chatter == Chatter::Verbose, items);
}

std::optional<int> BatchOptions::ReadArchiveAndItems(CommandLine& line, MessageId usage,
                                                     std::vector<std::string>& items) {
    if (const auto status = Read(line)) {
        return status;
    }
    const std::vector<std::string>& operands = line.Operands();
    if (operands.empty() || (operands.size() < 2 && lists.empty())) {
        return line.Usage(Words(usage));
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

void Remark(Chatter chatter, const std::string& line) {
    if (chatter != Chatter::Quiet) {
        ClearProgressLine();
        std::cerr << line << "\n";
    }
}

std::optional<ChosenNames> ChooseNames(const std::string& archive,
                                       const std::vector<std::string>& given, bool all,
                                       Chatter chatter) {
    bool patterns = all;
    for (const std::string& name : given) {
        patterns = patterns || HasWildcards(name);
    }
    if (!patterns) {
        return ChosenNames{{given.begin(), given.end()}};
    }
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    const std::optional<OpenArchive> loaded = LoadDirectory(archive, io, boxes);
    if (!loaded) {
        return std::nullopt;
    }
    const DirectoryTable& table = loaded->table;
    ChosenNames chosen;
    // The lowered names given so far: a pattern adds only the others.
    std::unordered_set<AnsiString> taken;
    auto takeMatches = [&](const NamePattern& pattern) {
        bool matched = false;
        for (int32_t i = 0; i < table.count; ++i) {
            const std::string_view name = table.entries[static_cast<size_t>(i)].Name();
            if (pattern.Matches(name)) {
                matched = true;
                if (taken.insert(LowerAnsi(name)).second) {
                    chosen.names.push_back({AnsiToUtf8Lossy(name), -1, AnsiString(name)});
                }
            }
        }
        return matched;
    };
    if (all) {
        takeMatches(NamePattern("*"));
    }
    for (const std::string& name : given) {
        if (!HasWildcards(name)) {
            AnsiString ansi;
            taken.insert(Utf8ToAnsi(name, ansi) ? LowerAnsi(ansi) : name);
            chosen.names.push_back({name});
        } else if (!takeMatches(NamePattern::FromUtf8(name))) {
            Remark(chatter, Words({.id = MessageId::NoEntryMatches, .name = DisplayText(name)}));
            ++chosen.unmatched;
        }
    }
    return chosen;
}

std::string ImportedLine(const std::string& path, ImportKind kind) {
    return LineText(kind == ImportKind::Replaced ? MessageId::ReplacedLine : MessageId::AddedLine,
                    FileNamePart(path));
}

std::string ExtractedLine(const std::string& outPath) {
    return LineText(MessageId::ExtractedLine, FileNamePart(outPath));
}

std::string NotFoundLine(const std::string& name) {
    return LineText(MessageId::NotFoundLine, DisplayText(name));
}

BatchOutput::BatchOutput(const BatchOptions& options, OverwritePolicy policy)
    : chatter_(options.chatter),
      boxes_(policy, options.TakesStandardInput()),
      progress_(chatter_ == Chatter::Normal) {}

Progress BatchOutput::ProgressLine() {
    return std::ref(progress_);
}

void BatchOutput::Verbose(const std::string& line) const {
    if (chatter_ == Chatter::Verbose) {
        ClearProgressLine();
        std::cout << line << "\n";
    }
}

}  // namespace zarnex::cli
