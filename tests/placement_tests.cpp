// Placement while old places are still named on disk, against a sector-by-sector walk, over
// long random runs of replacements, additions and commits.
#include <gtest/gtest.h>

#include <random>

#include "archive/placement.h"
#include "tests/scripted_boxes.h"
#include "tests/support.h"

namespace zarnex {
namespace {

using test::TempDir;
using test::TestEntry;

// The first fit between the entries in offset order, sector by sector, skipping every sector a
// reserved run covers.
int64_t Walk(const DirectoryTable& table, const std::vector<std::pair<int64_t, int64_t>>& reserved,
             int64_t need, int64_t floor) {
    auto free = [&](int64_t s) {
        for (const auto& [offset, size] : reserved) {
            if (s < offset + size && offset < s + need) {
                return false;
            }
        }
        return true;
    };
    int64_t reach = INT64_MIN;
    for (int32_t p = 0; p + 1 < table.count; ++p) {
        reach = std::max(reach, EntryEnd(EntryAt(table, OrderPosition(p))));
        const int64_t next = EntryAt(table, OrderPosition(p + 1)).offset;
        for (int64_t s = std::max(reach, floor); s + need <= next; ++s) {
            if (free(s)) {
                return s;
            }
        }
    }
    int64_t end = std::max(table.endSector, floor);
    for (const auto& [offset, size] : reserved) {
        end = std::max(end, offset + size);
    }
    return end;
}

TEST(Placement, ReservedRoomIsNeverHandedOutAndEverythingElseIsTheFirstFit) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        const bool overlaps = seed % 3 == 0;  // a damaged table, searched without the index
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        std::vector<TestEntry> entries;
        int32_t at = 8;
        for (int i = 0; i < 60 + static_cast<int>(random() % 100); ++i) {
            const auto size = static_cast<int32_t>(random() % 5 == 0 ? 0 : 1 + random() % 6);
            entries.push_back({at, size, "e" + std::to_string(i)});
            at += size + static_cast<int32_t>(random() % 3 == 0 ? random() % 8 : 0);
            if (overlaps && random() % 10 == 0) {
                at -= std::min(at - 8, static_cast<int32_t>(random() % 5));
            }
        }
        TempDir dir;
        test::MakeVersion2(dir / "a.img", entries);
        IoState io;
        ScriptedMessageBoxes boxes;
        std::optional<OpenArchive> archive = test::LoadForPlacing(dir / "a.img", io, boxes);
        ASSERT_TRUE(archive);
        DirectoryTable& table = archive->table;

        ReservedRoom reserved;
        std::vector<std::pair<int64_t, int64_t>> plain;
        for (int step = 0; step < 400; ++step) {
            if (random() % 40 == 0) {  // a commit
                reserved.Clear();
                plain.clear();
            }
            if (table.count == table.Capacity()) {
                GrowTable(table);
            }
            const int64_t need = random() % 12 == 0 ? 0 : 1 + random() % 9;
            const int64_t floor = random() % 4 == 0 ? random() % 40 : 0;
            const int64_t place = FindFreeRoom(table, reserved, need, floor);
            ASSERT_EQ(place, need == 0 ? FindFreeGapFrom(table, 0, floor)
                                       : Walk(table, plain, need, floor))
                << "step " << step << " need " << need << " floor " << floor;
            if (random() % 3 == 0) {
                AddEntry(table, static_cast<int32_t>(place), static_cast<int32_t>(need),
                         "new" + std::to_string(step));
            } else {
                const OrderPosition p(static_cast<int32_t>(random() % table.count));
                const DirectoryEntry& old = EntryAt(table, p);
                reserved.Add(old.offset, old.size);
                if (old.size > 0) {
                    plain.emplace_back(old.offset, old.size);
                }
                PlaceEntry(table, p, static_cast<int32_t>(place), static_cast<int32_t>(need));
            }
        }
    }
}

}  // namespace
}  // namespace zarnex
