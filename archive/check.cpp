#include "archive/check.h"

#include <algorithm>
#include <set>
#include <utility>

#include "archive/lookup.h"
#include "archive/messages.h"
#include "archive/names.h"
#include "platform/codepage.h"

namespace zarnex {
namespace {

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

std::optional<ProblemKind> NameProblem(std::string_view name) {
    switch (EntryNameFault(name, NameFieldSize)) {
        case NameFault::None:
        case NameFault::TooLong:  // a stored name never is
            return std::nullopt;
        case NameFault::Empty:
            return ProblemKind::EmptyName;
        case NameFault::Dots:
            return ProblemKind::DotName;
        case NameFault::Path:
            return ProblemKind::PathInName;
        case NameFault::Control:
            return ProblemKind::ControlInName;
        case NameFault::Ends:
            return ProblemKind::NameEnds;
        case NameFault::Undefined:
            return ProblemKind::UndefinedByteInName;
    }
    return std::nullopt;
}

}  // namespace

std::vector<Problem> CheckSpace(const DirectoryTable& table, int64_t dataBytes) {
    std::vector<Problem> problems;
    const int64_t directoryEnd = table.IsVersion2() ? Version2RecordPosition(table.count) : 0;
    // A bit per sector tells in the same pass whether any two entries share one, which in most
    // archives none do; only then are they sorted, to say which.
    std::vector<uint64_t> taken(static_cast<size_t>(ArchiveSectorLimit / 64));
    bool shared = false;
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        if (auto kind = RangeProblem(entry)) {
            problems.push_back({*kind, i});
            continue;
        }
        if (entry.size == 0) {
            continue;
        }
        for (int64_t s = entry.offset; s < EntryEnd(entry) && !shared; ++s) {
            uint64_t& word = taken[static_cast<size_t>(s / 64)];
            const uint64_t bit = uint64_t{1} << (s % 64);
            shared = (word & bit) != 0;
            word |= bit;
        }
        if (SectorToByte(entry.offset) < directoryEnd) {
            problems.push_back({ProblemKind::InsideDirectory, i});
        }
        if (SectorToByte(EntryEnd(entry)) > dataBytes) {
            problems.push_back({ProblemKind::PastEnd, i});
        }
    }

    if (!shared) {
        return problems;
    }
    // Sort and sweep: each entry that starts before the furthest end so far overlaps the entry
    // that reaches it.
    std::vector<uint64_t> covering;
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        if (entry.size > 0 && !RangeProblem(entry)) {
            covering.push_back(OffsetKey(entry.offset, i));
        }
    }
    SortOffsetKeys(covering);
    int64_t reach = 0;
    int32_t reacher = -1;
    for (const uint64_t key : covering) {
        const int32_t i = KeyIndex(key);
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        const int64_t end = EntryEnd(entry);
        if (reacher >= 0 && entry.offset < reach) {
            problems.push_back({ProblemKind::Overlap, i, reacher});
        }
        if (end > reach) {
            reach = end;
            reacher = i;
        }
    }
    return problems;
}

namespace {

bool EndsInPartialRecord(const DirectoryTable& table, int64_t directoryBytes) {
    return !table.IsVersion2() && directoryBytes % RecordSize != 0;
}

DamageKind DamageOf(ProblemKind kind) {
    switch (kind) {
        case ProblemKind::Overlap:
            return DamageKind::Overlap;
        case ProblemKind::PastEnd:
            return DamageKind::PastEnd;
        case ProblemKind::InsideDirectory:
            return DamageKind::InsideDirectory;
        default:
            return DamageKind::OutOfRange;
    }
}

}  // namespace

std::vector<Problem> CheckTable(const DirectoryTable& table, int64_t dataBytes,
                                int64_t directoryBytes) {
    std::vector<Problem> problems = CheckSpace(table, dataBytes);
    if (EndsInPartialRecord(table, directoryBytes)) {
        problems.push_back({ProblemKind::PartialRecord});
    }
    EntryLookup names;
    names.Reserve(table, static_cast<size_t>(table.count));
    for (int32_t i = 0; i < table.count; ++i) {
        const std::string_view name = table.entries[static_cast<size_t>(i)].Name();
        if (auto kind = NameProblem(name)) {
            problems.push_back({*kind, i});
        }
        if (!name.empty()) {
            if (const int32_t first = names.Add(table, i); first != i) {
                problems.push_back({ProblemKind::DuplicateName, i, first});
            }
        }
    }
    if (table.leftovers > 0) {
        problems.push_back({ProblemKind::InterruptedDeletion, table.count, table.leftoverTwin});
    }
    std::sort(problems.begin(), problems.end());
    return problems;
}

std::vector<DamageKind> FindDamage(const DirectoryTable& table, int64_t dataBytes,
                                   int64_t directoryBytes) {
    std::set<DamageKind> kinds;
    for (const Problem& problem : CheckSpace(table, dataBytes)) {
        kinds.insert(DamageOf(problem.kind));
    }
    if (EndsInPartialRecord(table, directoryBytes)) {
        kinds.insert(DamageKind::PartialRecord);
    }
    return {kinds.begin(), kinds.end()};
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
        ReportArchiveOpenFailure(boxes, archive->directoryPath, io.lastError);
        return std::nullopt;
    }
    check.table = std::move(archive->table);
    check.directoryPath = std::move(archive->directoryPath);
    check.problems = CheckTable(check.table, check.dataBytes, check.directoryBytes);
    return check;
}

}  // namespace zarnex
