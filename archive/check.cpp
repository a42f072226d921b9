#include "archive/check.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "archive/messages.h"
#include "platform/codepage.h"

namespace zarnex {
namespace {

constexpr unsigned char UndefinedAnsiByte = 0x98;

std::optional<ProblemKind> RangeProblem(const DirectoryEntry& entry) {
    if (entry.offset < 0) {
        return ProblemKind::NegativeOffset;
    }
    if (entry.size < 0) {
        return ProblemKind::NegativeSize;
    }
    if (entry.offset >= ArchiveSectorLimit || EntryEnd(entry) > ArchiveSectorLimit) {
        return ProblemKind::BeyondLimit;
    }
    return std::nullopt;
}

std::optional<ProblemKind> NameProblem(const AnsiString& name) {
    if (name.empty()) {
        return ProblemKind::EmptyName;
    }
    if (name == "." || name == "..") {
        return ProblemKind::DotName;
    }
    if (name.find('/') != AnsiString::npos) {
        return ProblemKind::SlashInName;
    }
    if (name.find(static_cast<char>(UndefinedAnsiByte)) != AnsiString::npos) {
        return ProblemKind::UndefinedByteInName;
    }
    return std::nullopt;
}

}  // namespace

std::vector<Problem> CheckSpace(const DirectoryTable& table, int64_t dataBytes) {
    std::vector<Problem> problems;
    const int64_t directoryEnd = table.IsVersion2() ? Version2RecordPosition(table.count) : 0;
    std::vector<int32_t> covering;  // entries in range that hold sectors
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        if (auto kind = RangeProblem(entry)) {
            problems.push_back({*kind, i});
            continue;
        }
        if (entry.size == 0) {
            continue;
        }
        covering.push_back(i);
        if (SectorToByte(entry.offset) < directoryEnd) {
            problems.push_back({ProblemKind::InsideDirectory, i});
        }
        if (SectorToByte(EntryEnd(entry)) > dataBytes) {
            problems.push_back({ProblemKind::PastEnd, i});
        }
    }

    // Sort and sweep: each entry that starts before the furthest end so far overlaps the entry
    // that reaches it.
    auto entryAt = [&](int32_t i) -> const DirectoryEntry& {
        return table.entries[static_cast<size_t>(i)];
    };
    std::sort(covering.begin(), covering.end(), [&](int32_t a, int32_t b) {
        return std::pair(entryAt(a).offset, a) < std::pair(entryAt(b).offset, b);
    });
    int64_t reach = 0;
    int32_t reacher = -1;
    for (int32_t i : covering) {
        const DirectoryEntry& entry = entryAt(i);
        if (reacher >= 0 && entry.offset < reach) {
            problems.push_back({ProblemKind::Overlap, i, reacher});
        }
        if (EntryEnd(entry) > reach) {
            reach = EntryEnd(entry);
            reacher = i;
        }
    }
    return problems;
}

std::vector<Problem> CheckTable(const DirectoryTable& table, int64_t dataBytes,
                                int64_t directoryBytes) {
    std::vector<Problem> problems = CheckSpace(table, dataBytes);
    if (!table.IsVersion2() && directoryBytes % RecordSize != 0) {
        problems.push_back({ProblemKind::PartialRecord});
    }
    std::unordered_map<AnsiString, int32_t> firstByName;
    firstByName.reserve(static_cast<size_t>(table.count));
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        if (auto kind = NameProblem(entry.name)) {
            problems.push_back({*kind, i});
        }
        if (!entry.name.empty()) {
            auto [first, fresh] = firstByName.try_emplace(LowerAnsi(entry.name), i);
            if (!fresh) {
                problems.push_back({ProblemKind::DuplicateName, i, first->second});
            }
        }
    }
    if (table.leftovers > 0) {
        problems.push_back({ProblemKind::InterruptedDeletion, table.count, table.leftoverTwin});
    }
    std::sort(problems.begin(), problems.end());
    return problems;
}

std::optional<ArchiveCheck> CheckArchive(const std::string& path, IoState& io,
                                         MessageBoxes& boxes) {
    std::optional<OpenArchive> archive = LoadDirectory(path, io, boxes);
    if (!archive) {
        return std::nullopt;
    }
    ArchiveCheck check;
    if (!archive->data.Size(check.dataBytes)) {
        ReportArchiveOpenFailure(boxes, path, io.lastError);
        return std::nullopt;
    }
    if (archive->directory.IsOpen() && !archive->directory.Size(check.directoryBytes)) {
        ReportArchiveOpenFailure(boxes, DirectoryFilePath(path), io.lastError);
        return std::nullopt;
    }
    check.table = std::move(archive->table);
    check.problems = CheckTable(check.table, check.dataBytes, check.directoryBytes);
    return check;
}

}  // namespace zarnex
