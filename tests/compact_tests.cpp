// Compacting after many replacements, against what it must keep: every entry's bytes, names,
// sizes, record order and count; the entries in one run in the order of their data; the file
// cut to the header plus the live sectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <random>

#include "archive/check.h"
#include "archive/compact.h"
#include "tests/import_support.h"
#include "tests/scripted_boxes.h"
#include "tests/test_file_system.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::TempDir;
using test::TestEntry;

TEST(Compact, KeepsEveryEntryAndClosesEveryGap) {
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        const bool version2 = seed % 2 == 0;
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        TempDir dir;
        const std::string img = dir / "a.img";
        std::vector<TestEntry> entries;
        int32_t at = version2 ? 4 : static_cast<int32_t>(random() % 3);
        for (int i = 0; i < 40 + static_cast<int>(random() % 60); ++i) {
            const auto size = static_cast<int32_t>(random() % 6 == 0 ? 0 : 1 + random() % 40);
            entries.push_back({at, size, (i % 7 ? "e" : "E") + std::to_string(i % 50)});
            at += size + static_cast<int32_t>(random() % 3 == 0 ? random() % 30 : 0);
        }
        test::MakeArchive(version2, img, entries);
        // Many replacements, bigger and smaller, and some additions: gaps everywhere.
        std::vector<std::string> paths;
        for (int i = 0; i < 80; ++i) {
            const std::string name =
                random() % 4 ? "e" + std::to_string(random() % 50) : "new" + std::to_string(i);
            std::filesystem::create_directories(dir / std::to_string(i));
            paths.push_back(dir / (std::to_string(i) + "/" + name));
            test::WriteBytes(paths.back(), test::Pattern(random() % 60000, seed * 1000 + i));
        }
        test::ImportRun import;
        import.Run(img, paths);
        ASSERT_TRUE(import.outcome.RanToEnd());

        const auto before = test::ReadRecords(version2, img);
        std::vector<Bytes> data;
        for (const DirectoryRecord& r : before) {
            data.push_back(test::ReadSectors(img, r.offset, r.size));
        }
        IoState io;
        ScriptedMessageBoxes boxes;
        const CompactOutcome outcome = CompactArchive(img, boxes, io);
        ASSERT_TRUE(outcome.RanToEnd()) << boxes.shown.at(0).text;
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);

        const auto after = test::ReadRecords(version2, img);
        ASSERT_EQ(after.size(), before.size());
        // One run from the first sector past the directory, in the order of the old offsets.
        std::vector<size_t> byOffset(before.size());
        std::iota(byOffset.begin(), byOffset.end(), 0);
        std::stable_sort(byOffset.begin(), byOffset.end(),
                         [&](size_t a, size_t b) { return before[a].offset < before[b].offset; });
        int64_t cursor = version2 ? SectorsFor(Version2RecordPosition(before.size())) : 0;
        for (size_t i : byOffset) {
            EXPECT_EQ(after[i].name, before[i].name);
            EXPECT_EQ(after[i].size, before[i].size);
            EXPECT_EQ(after[i].offset, cursor) << after[i].name;
            EXPECT_EQ(test::ReadSectors(img, after[i].offset, after[i].size), data[i])
                << after[i].name;
            cursor += after[i].size;
        }
        const int64_t end =
            version2 ? std::max(SectorToByte(cursor), Version2RecordPosition(before.size()))
                     : SectorToByte(cursor);
        EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(img)), end);
        EXPECT_EQ(outcome.bytesAfter, end);

        const std::optional<ArchiveCheck> check = CheckArchive(img, io, boxes);
        ASSERT_TRUE(check);
        for (const Problem& problem : check->problems) {
            EXPECT_EQ(problem.kind, ProblemKind::DuplicateName);  // E1 and e1: only a warning
        }
    }
}

// A full disk stops compacting: the box after the error says how many entries moved, and each
// entry told moved has its new place on the disk, the rest their old ones.
TEST(Compact, AStopSaysHowManyMovedAndTellsOnlyMovesOnTheDisk) {
    for (const int64_t budget : {int64_t{0}, int64_t{5000}, int64_t{12000}}) {
        SCOPED_TRACE(budget);
        TempDir dir;
        const std::string img = dir / "a.img";
        std::vector<TestEntry> entries;
        for (int i = 0; i < 8; ++i) {
            entries.push_back({2 + 3 * i, 1, "e" + std::to_string(i)});  // a gap before each
        }
        test::MakeVersion2(img, entries);
        test::TestFileSystem files;
        files.writeBudget = budget;
        IoState io{.fileSystem = &files};
        ScriptedMessageBoxes boxes;
        std::vector<std::string> told;
        const CompactOutcome outcome = CompactArchive(
            img, boxes, io, {}, [&](const std::string& name) { told.push_back(name); });
        ASSERT_FALSE(outcome.RanToEnd());
        ASSERT_EQ(boxes.messages.size(), 2u);
        EXPECT_EQ(boxes.messages[0].id, MessageId::DiskFull);
        EXPECT_EQ(boxes.messages[1].id, MessageId::CompactStopped);
        EXPECT_EQ(boxes.messages[1].moved, static_cast<int64_t>(told.size()));
        const auto records = test::ReadVersion2Records(img);
        std::vector<std::string> moved;
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].offset != entries[i].offset) {
                moved.push_back(records[i].name);
            }
        }
        EXPECT_EQ(moved, told);
        EXPECT_EQ(outcome.done, static_cast<int>(told.size()));
        EXPECT_EQ(told.empty(), budget == 0);
    }
}

}  // namespace
}  // namespace zarnex
