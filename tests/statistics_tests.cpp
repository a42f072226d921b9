// What an archive's file holds, measured from its directory: the live data counted once, the
// room that gaps waste, and whether compacting is worth it and would run.
#include <gtest/gtest.h>

#include "archive/statistics.h"

namespace zarnex {
namespace {

struct MeasureRow {
    const char* title;
    bool version2;
    std::vector<DirectoryEntry> entries;
    int64_t dataSectors;
    int64_t liveSectors;
    int64_t wastedSectors;
    bool refused;
    bool worthwhile;
};

class Measure : public ::testing::TestWithParam<MeasureRow> {};

TEST_P(Measure, FromTheDirectory) {
    const MeasureRow& row = GetParam();
    DirectoryTable table;
    table.version = row.version2 ? Version2Tag : 0;
    table.count = static_cast<int32_t>(row.entries.size());
    table.entries = row.entries;
    const int64_t directoryBytes = row.version2 ? 0 : table.count * int64_t{RecordSize};
    const ArchiveStatistics s = MeasureArchive(table, row.dataSectors * SectorSize, directoryBytes);
    EXPECT_EQ(s.fileBytes, row.dataSectors * SectorSize + directoryBytes);
    EXPECT_EQ(s.liveBytes, row.liveSectors * SectorSize);
    EXPECT_EQ(s.wastedBytes, row.wastedSectors * SectorSize);
    EXPECT_EQ(s.compactRefused, row.refused);
    EXPECT_EQ(s.compactWorthwhile, row.worthwhile);
}

// A version-2 directory of a few records takes the first sector.
const MeasureRow kMeasureRows[] = {
    {"NoGaps", true, {{1, 2, "a"}, {3, 1, "b"}}, 4, 3, 0, false, false},
    {"GapsWorthClosing", true, {{1, 1, "a"}, {10, 1, "b"}}, 20, 2, 17, false, true},
    {"SharedSectorsCountOnceAndStopCompact",
     true,
     {{1, 3, "a"}, {2, 3, "b"}},
     20,
     4,
     15,
     true,
     false},
    {"PastTheEndCountsWhatIsThere", true, {{1, 1, "a"}, {18, 5, "b"}}, 20, 3, 16, true, false},
    {"Version1GapUnderATenth", false, {{0, 9, "a"}, {10, 1, "b"}}, 11, 10, 1, false, false},
    {"Version1GapOverATenth", false, {{0, 1, "a"}, {5, 1, "b"}}, 6, 2, 4, false, true},
};
INSTANTIATE_TEST_SUITE_P(Rows, Measure, ::testing::ValuesIn(kMeasureRows),
                         [](const auto& info) { return std::string(info.param.title); });

}  // namespace
}  // namespace zarnex
