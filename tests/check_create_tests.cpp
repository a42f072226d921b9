// Making an empty archive, and the check's sweep for overlaps.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "archive/check.h"
#include "archive/create.h"
#include "tests/support.h"
#include "tests/test_file_system.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::TempDir;

// The last thing that happened to each file.
struct LastEvents : test::FileObserver {
    std::map<std::string, std::string> last;
    void Written(const std::string& path, int64_t, const void*, size_t) override {
        last[path] = "written";
    }
    void Resized(const std::string& path, int64_t) override { last[path] = "resized"; }
    void Flushed(const std::string& path) override { last[path] = "flushed"; }
};

size_t FilesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& item : std::filesystem::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

TEST(CreateArchive, EveryFileIsFlushedAndAFailureLeavesNothingBehind) {
    for (ArchiveVersion version : {ArchiveVersion::One, ArchiveVersion::Two}) {
        const bool two = version == ArchiveVersion::Two;
        SCOPED_TRACE(two ? "version 2" : "version 1");
        int failures = 0;
        for (long long failAt = 1;; ++failAt) {
            TempDir dir;
            const std::string img = dir / "new.img";
            LastEvents events;
            test::TestFileSystem files;
            files.failAt = failAt;
            files.failErrno = EIO;
            files.observer = &events;
            IoState io{.fileSystem = &files};
            const CreateOutcome outcome = CreateArchive(img, version, io);
            if (outcome.status == CreateStatus::Created) {
                Bytes header(8, 0);
                std::copy_n("VER2", 4, header.begin());
                EXPECT_EQ(test::ReadBytes(img), two ? header : Bytes{});
                EXPECT_EQ(events.last[img], "flushed");
                if (!two) {
                    EXPECT_EQ(test::ReadBytes(dir / "new.dir"), Bytes{});
                    EXPECT_EQ(events.last[dir / "new.dir"], "flushed");
                }
                EXPECT_EQ(FilesIn(dir.path()), two ? 1u : 2u);
                break;
            }
            ++failures;
            EXPECT_EQ(outcome.status, CreateStatus::Failed) << failAt;
            EXPECT_EQ(outcome.error, EIO) << failAt;
            EXPECT_EQ(FilesIn(dir.path()), 0u) << failAt;
        }
        // Opening, locking and flushing each file at least.
        EXPECT_GE(failures, two ? 3 : 6);
    }
}

// The sweep against every pair: an entry is reported when it shares a sector with an entry
// before it in (offset, index) order, and then against one of them.
TEST(CheckTable, OverlapsAgreeWithThePairwiseModel) {
    std::mt19937 random(14);
    for (int round = 0; round < 400; ++round) {
        DirectoryTable table;
        table.version = Version2Tag;
        table.count = 1 + static_cast<int32_t>(random() % 30);
        for (int32_t i = 0; i < table.count; ++i) {
            DirectoryEntry entry;
            entry.offset = 100 + static_cast<int32_t>(random() % 40);
            entry.size = static_cast<int32_t>(random() % 6);
            entry.SetName("e" + std::to_string(i));
            table.entries.push_back(entry);
        }
        std::vector<int32_t> reported(static_cast<size_t>(table.count), -1);
        for (const Problem& p : CheckTable(table, SectorToByte(200), 0)) {
            ASSERT_EQ(p.kind, ProblemKind::Overlap);
            ASSERT_EQ(reported[static_cast<size_t>(p.entry)], -1) << "one line per entry";
            reported[static_cast<size_t>(p.entry)] = p.other;
        }
        auto before = [&](int32_t a, int32_t b) {
            const DirectoryEntry &x = table.entries[static_cast<size_t>(a)],
                                 &y = table.entries[static_cast<size_t>(b)];
            return std::pair(x.offset, a) < std::pair(y.offset, b);
        };
        auto share = [&](int32_t a, int32_t b) {
            const DirectoryEntry &x = table.entries[static_cast<size_t>(a)],
                                 &y = table.entries[static_cast<size_t>(b)];
            return x.size > 0 && y.size > 0 && x.offset < EntryEnd(y) && y.offset < EntryEnd(x);
        };
        for (int32_t i = 0; i < table.count; ++i) {
            bool overlapsEarlier = false;
            for (int32_t j = 0; j < table.count; ++j) {
                overlapsEarlier = overlapsEarlier || (j != i && before(j, i) && share(i, j));
            }
            const int32_t other = reported[static_cast<size_t>(i)];
            EXPECT_EQ(other >= 0, overlapsEarlier) << "round " << round << " entry " << i;
            if (other >= 0) {
                EXPECT_TRUE(before(other, i) && share(i, other)) << "round " << round;
            }
        }
    }
}

// A pair loop would report 2 × 10^8 pairs here; the sweep gives one line per entry.
TEST(CheckTable, ANestOfTwentyThousandEntriesGivesOneLineEach) {
    DirectoryTable table;
    table.version = Version2Tag;
    table.count = 20000;
    for (int32_t i = 0; i < table.count; ++i) {
        table.entries.push_back({1000, 5, "n" + std::to_string(i)});
    }
    const std::vector<Problem> problems = CheckTable(table, SectorToByte(1005), 0);
    ASSERT_EQ(problems.size(), 19999u);
    for (size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(problems[i], (Problem{ProblemKind::Overlap, static_cast<int32_t>(i + 1), 0}));
    }
}

}  // namespace
}  // namespace zarnex
