// The indexed lookups against the plain walks they stand in for, over long random imports.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "archive/directory.h"
#include "archive/lookup.h"
#include "tests/table_model.h"

namespace zarnex {
namespace {

std::string RandomCase(std::string name, std::mt19937& random) {
    for (char& c : name) {
        if (random() % 2) {
            c = static_cast<char>(UpperAnsiChar(static_cast<unsigned char>(c)));
        }
    }
    return name;
}

struct Shape {
    bool overlaps;  // allow entries that overlap or lie inside others
    int count;
};

// Names drawn from a small pool so that duplicates (in every letter case) are common.
DirectoryTable RandomTable(const Shape& shape, std::mt19937& random,
                           std::vector<std::string>& pool) {
    for (int i = 0; i < 40; ++i) {
        pool.push_back("n" + std::to_string(i) + (i % 3 ? ".dff" : ".\xE4\xEE\xEC"));
    }
    DirectoryTable table;
    table.version = Version2Tag;
    table.count = shape.count;
    table.entries.resize(static_cast<size_t>(shape.count) + 256);
    int32_t at = 1 + static_cast<int32_t>(random() % 200);
    for (int i = 0; i < shape.count; ++i) {
        DirectoryEntry& e = table.entries[static_cast<size_t>(i)];
        const unsigned kind = random() % 10;
        if (shape.overlaps && kind == 1) {
            e.size = static_cast<int32_t>(1 + random() % 20);
            e.offset = std::max(1, at - static_cast<int32_t>(random() % 30));  // back into others
        } else if (kind <= 2) {
            // Empty entries: several on one sector, at the start of data or inside free room.
            e.size = 0;
            e.offset = at + static_cast<int32_t>(random() % 3);
        } else if (kind == 3 && i > 0) {
            // Inside the data before, so that its room appears only when that data moves.
            e.size = 0;
            e.offset = std::max(0, at - 1 - static_cast<int32_t>(random() % 4));
        } else {
            at += static_cast<int32_t>(random() % 3 == 0 ? random() % 40 : 0);  // gaps
            e.offset = at;
            e.size = static_cast<int32_t>(1 + random() % 20);
            at += e.size;
        }
        e.SetName(RandomCase(pool[random() % pool.size()], random));
    }
    // Records in any order on disk, or in the order of their data as most archives keep them.
    const auto first = table.entries.begin();
    if (random() % 3 == 0) {
        std::stable_sort(first, first + shape.count,
                         [](const auto& a, const auto& b) { return a.offset < b.offset; });
    } else {
        std::shuffle(first, first + shape.count, random);
    }
    // As loading leaves it: the order is made by PrepareForPlacing, checked against a sort.
    DirectoryTable sorted = table;
    for (int32_t i = 0; i < table.Capacity(); ++i) {
        sorted.order.emplace_back(i);
    }
    SortByOffset(sorted, OrderPosition(0), OrderPosition(table.count - 1));
    PrepareForPlacing(table, 0);
    EXPECT_EQ(table.order, sorted.order);
    EXPECT_EQ(table.endSector, table.count ? test::ScanForGreatestEnd(table) : 1);
    return table;
}

std::vector<int32_t> OrderOf(const DirectoryTable& t) {
    std::vector<int32_t> out;
    for (int32_t p = 0; p < t.count; ++p) {
        out.push_back(IndexAt(t, OrderPosition(p)).value);
    }
    return out;
}

void ExpectSame(const DirectoryTable& fast, const DirectoryTable& plain, int step) {
    ASSERT_EQ(fast.count, plain.count) << step;
    ASSERT_EQ(OrderOf(fast), OrderOf(plain)) << step;
    ASSERT_EQ(fast.endSector, plain.endSector) << step;
    if (fast.index && fast.index->freeRoom) {
        ASSERT_EQ(test::IndexedRooms(*fast.index->freeRoom), test::ScanRooms(plain)) << step;
    }
    for (int64_t need : {-1, 0, 1, 2, 3, 5, 8, 13, 40, 100, 1000}) {
        ASSERT_EQ(FindFreeGap(fast, need), test::ScanForGap(plain, need))
            << step << " need " << need;
    }
}

// Seeds divisible by 3 build no index, as for a batch of few files: each lookup and placement
// walks the table. The others build the free-room index, with the index of names for odd ones.
void RandomImport(const Shape& shape, uint32_t seed) {
    SCOPED_TRACE("seed " + std::to_string(seed) + (shape.overlaps ? " with overlaps" : ""));
    std::mt19937 random(seed);
    std::vector<std::string> pool;
    DirectoryTable plain = RandomTable(shape, random, pool);
    DirectoryTable fast = plain;
    const bool indexed = seed % 3 != 0;
    if (indexed) {
        BuildIndex(fast, seed % 2 == 1);
        ASSERT_EQ(fast.index->freeRoom.has_value(), !shape.overlaps);
    }
    ExpectSame(fast, plain, -1);

    for (int step = 0; step < 1500; ++step) {
        if (fast.count == fast.Capacity()) {
            GrowTable(fast);
            GrowTable(plain);
        }
        std::string name;
        const unsigned pick = random() % 10;
        if (pick < 6) {
            name = RandomCase(pool[random() % pool.size()], random);
        } else if (pick < 7) {
            name = RandomCase("a-long-name-of-thirty-chars.dff", random);
        } else {
            name = "new" + std::to_string(step) + ".txd";
        }
        const int32_t sectors = random() % 8 == 0 ? 0 : static_cast<int32_t>(1 + random() % 30);

        const OrderPosition pos = FindEntryByName(fast, name);
        ASSERT_EQ(pos, test::ScanForName(plain, name)) << step << " " << name;
        if (pos != NoPosition) {
            const int64_t g = FindFreeGap(fast, sectors);
            ASSERT_EQ(g, test::ScanForGap(plain, sectors)) << step;
            PlaceEntry(fast, pos, static_cast<int32_t>(g), sectors);
            test::ModelPlace(plain, pos, static_cast<int32_t>(g), sectors);
        } else {
            // The version-2 addition: everything in the way of the grown directory moves out.
            while (fast.count > 0 && SectorToByte(EntryAt(fast, OrderPosition(0)).offset) <
                                         Version2RecordPosition(fast.count + 1)) {
                const int32_t s = EntryAt(fast, OrderPosition(0)).size;
                int64_t g = SectorsFor(Version2RecordPosition(fast.count + 1));
                if (s > 0) {
                    g = FindFreeGap(fast, s);
                    ASSERT_EQ(g, test::ScanForRoom(plain, s)) << step;
                }
                PlaceEntry(fast, OrderPosition(0), static_cast<int32_t>(g), s);
                test::ModelPlace(plain, OrderPosition(0), static_cast<int32_t>(g), s);
                ASSERT_EQ(OrderOf(fast), OrderOf(plain)) << step;
            }
            const int64_t g = FindFreeGap(fast, sectors);
            ASSERT_EQ(g, test::ScanForGap(plain, sectors)) << step;
            AddEntry(fast, static_cast<int32_t>(g), sectors, name);
            test::ModelAdd(plain, static_cast<int32_t>(g), sectors, name);
        }
        ExpectSame(fast, plain, step);
    }
    // Overlaps never arise from the batch itself: the index stays in use.
    EXPECT_EQ(fast.index && fast.index->freeRoom, indexed && !shape.overlaps);
}

TEST(IndexedLookups, AgreeWithTheScansOverLongRandomImports) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        RandomImport({false, static_cast<int>(50 + seed * 40)}, seed);
    }
}

TEST(IndexedLookups, AgreeWithTheScansWhenEntriesOverlap) {
    for (uint32_t seed = 11; seed <= 16; ++seed) {
        RandomImport({true, static_cast<int>(50 + seed * 20)}, seed);
    }
}

TEST(IndexedLookups, AgreeFromAnEmptyArchive) {
    RandomImport({false, 0}, 99);
}

// Built once or asked once, by name in any case: the first record in directory order.
TEST(IndexedLookups, TheEntryOfANameIsTheFirstInDirectoryOrder) {
    std::mt19937 random(5);
    std::vector<std::string> pool;
    DirectoryTable table = RandomTable({true, 500}, random, pool);
    const EntryLookup index(table);
    for (const std::string& name : pool) {
        for (int i = 0; i < 3; ++i) {
            const std::string asked = RandomCase(name, random);
            int32_t expected = -1;
            for (int32_t e = table.count - 1; e >= 0; --e) {
                expected =
                    LowerAnsi(table.entries[static_cast<size_t>(e)].Name()) == LowerAnsi(asked)
                        ? e
                        : expected;
            }
            ASSERT_EQ(index.Find(table, asked), expected) << asked;
            ASSERT_EQ(FindEntry(table, asked), expected) << asked;
        }
    }
    EXPECT_EQ(index.Find(table, "absent"), -1);
}

}  // namespace
}  // namespace zarnex

namespace zarnex {
namespace {

TEST(SectorSet, NextAndPreviousAgreeWithAnOrderedSet) {
    std::mt19937 random(4);
    SectorSet set;
    std::set<int64_t> model;
    int64_t capacity = 0;
    for (int round = 0; round < 20000; ++round) {
        if (round % 5000 == 0) {
            capacity += 64 * 64 * 3 + 5;  // across summary words; grows keep the members
            set.Grow(capacity);
        }
        // Members in clusters and far apart, so that both the words and the summary are crossed.
        const int64_t s = random() % 2 ? random() % 200 : random() % capacity;
        if (random() % 3 == 0 && model.count(s)) {
            set.Erase(s);
            model.erase(s);
        } else if (s < set.Capacity()) {
            set.Insert(s);
            model.insert(s);
        }
        const int64_t at = static_cast<int64_t>(random() % (capacity + 70)) - 3;
        const auto next = model.lower_bound(at);
        const auto after = model.upper_bound(at);
        ASSERT_EQ(set.NextFrom(at), next == model.end() ? -1 : *next) << round << " " << at;
        ASSERT_EQ(set.PreviousTo(at), after == model.begin() ? -1 : *std::prev(after))
            << round << " " << at;
    }
}

TEST(MaxTree, FirstAtLeastFromALeafAgreesWithAWalk) {
    std::mt19937 random(3);
    MaxTree tree;
    std::vector<int32_t> leaves;
    for (int round = 0; round < 2000; ++round) {
        if (round % 500 == 0) {
            tree.Grow(static_cast<int64_t>(leaves.size()) + 700);  // grows keep the values
            leaves.resize(static_cast<size_t>(tree.leaves()), 0);
        }
        const auto leaf = static_cast<int64_t>(random() % leaves.size());
        const auto value = static_cast<int32_t>(random() % 4 == 0 ? random() % 50 : 0);
        tree.Set(leaf, value);
        leaves[static_cast<size_t>(leaf)] = value;
        const int64_t need = 1 + random() % 50;
        const int64_t from = static_cast<int64_t>(random() % (leaves.size() + 5)) - 2;
        int64_t walk = -1;
        for (int64_t i = std::max<int64_t>(from, 0); i < static_cast<int64_t>(leaves.size()); ++i) {
            if (leaves[static_cast<size_t>(i)] >= need) {
                walk = i;
                break;
            }
        }
        ASSERT_EQ(tree.FirstAtLeast(need, from), walk) << round;
        ASSERT_EQ(tree.At(leaf), value);
    }
}

}  // namespace
}  // namespace zarnex
