#include "archive/statistics.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "archive/check.h"

namespace zarnex {

namespace {

// Sectors of the data file that entries cover, past a version-2 directory: counted once however
// many entries name them.
int64_t LiveBytes(const DirectoryTable& table, int64_t dataBytes, int64_t headSectors) {
    // By OffsetKey of where each span starts: the order matters, not which of a tie comes first.
    std::vector<uint64_t> spans;
    spans.reserve(static_cast<size_t>(table.count));
    const int64_t endSector = SectorsFor(dataBytes);
    auto span = [&](const DirectoryEntry& e) {
        return std::pair(std::max<int64_t>(e.offset, headSectors),
                         std::min<int64_t>(EntryEnd(e), endSector));
    };
    for (int32_t i = 0; i < table.count; ++i) {
        const auto [from, to] = span(table.entries[static_cast<size_t>(i)]);
        if (from < to) {
            spans.push_back(OffsetKey(static_cast<int32_t>(from), i));
        }
    }
    SortOffsetKeys(spans);
    int64_t covered = 0;
    int64_t reached = 0;
    for (const uint64_t key : spans) {
        const auto [from, to] = span(table.entries[static_cast<size_t>(KeyIndex(key))]);
        covered += std::max<int64_t>(0, to - std::max(from, reached));
        reached = std::max(reached, to);
    }
    return std::min(covered * SectorSize,
                    std::max<int64_t>(0, dataBytes - headSectors * SectorSize));
}

}  // namespace

ArchiveStatistics MeasureArchive(const DirectoryTable& table, int64_t dataBytes,
                                 int64_t directoryBytes) {
    ArchiveStatistics statistics;
    const int64_t headSectors =
        table.IsVersion2() ? SectorsFor(Version2RecordPosition(table.count)) : 0;
    const int64_t headBytes = std::min(dataBytes, headSectors * SectorSize);
    statistics.fileBytes = dataBytes + directoryBytes;
    statistics.liveBytes = LiveBytes(table, dataBytes, headSectors);
    statistics.wastedBytes = std::max<int64_t>(0, dataBytes - headBytes - statistics.liveBytes);
    statistics.compactRefused = !FindDamage(table, dataBytes, directoryBytes).empty();
    statistics.compactWorthwhile =
        !statistics.compactRefused && statistics.wastedBytes * 10 > statistics.fileBytes;
    return statistics;
}

}  // namespace zarnex
