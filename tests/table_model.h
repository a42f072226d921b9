// The plain walks over a table that the index stands in for: the model the tests and fuzzers
// hold the engine's answers to.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/directory.h"

namespace zarnex::test {

// The position in offset order of the first entry in directory order whose name equals `name`
// ignoring case, or NoPosition.
inline OrderPosition ScanForName(const DirectoryTable& table, const AnsiString& name) {
    const AnsiString wanted = LowerAnsi(name);
    for (int32_t e = 0; e < table.count; ++e) {
        if (LowerAnsi(EntryOf(table, EntryIndex(e)).Name()) != wanted) {
            continue;
        }
        for (int32_t p = 0; p < table.count; ++p) {
            if (IndexAt(table, OrderPosition(p)) == EntryIndex(e)) {
                return OrderPosition(p);
            }
        }
    }
    return NoPosition;
}

// The greatest end of any entry.
inline int64_t ScanForGreatestEnd(const DirectoryTable& table) {
    int64_t end = INT64_MIN;
    for (int32_t i = 0; i < table.count; ++i) {
        end = std::max(end, EntryEnd(EntryOf(table, EntryIndex(i))));
    }
    return end;
}

// First fit for data, no room starting below `floor`: the walk the index stands in for.
inline int64_t ScanForRoomFrom(const DirectoryTable& table, int64_t need, int64_t floor) {
    return FirstFitWalk(table, need, floor);
}
inline int64_t ScanForRoom(const DirectoryTable& table, int64_t need) {
    return FirstFitWalk(table, need, INT64_MIN);
}

// The rooms between consecutive entries that the walk sees, as (start, length).
inline std::vector<std::pair<int64_t, int64_t>> ScanRooms(const DirectoryTable& table) {
    std::vector<std::pair<int64_t, int64_t>> rooms;
    int64_t reach = INT64_MIN;
    for (int32_t p = 0; p + 1 < table.count; ++p) {
        reach = std::max(reach, EntryEnd(EntryAt(table, OrderPosition(p))));
        const int64_t next = EntryAt(table, OrderPosition(p + 1)).offset;
        if (next > reach) {
            rooms.emplace_back(reach, next - reach);
        }
    }
    return rooms;
}

// The rooms the index holds, in the same form.
inline std::vector<std::pair<int64_t, int64_t>> IndexedRooms(const FreeRoom& index) {
    std::vector<std::pair<int64_t, int64_t>> rooms;
    const MaxTree& tree = index.Rooms();
    for (int64_t s = tree.FirstAtLeast(1); s >= 0; s = tree.FirstAtLeast(1, s + 1)) {
        rooms.emplace_back(s, tree.At(s));
    }
    return rooms;
}

// Whether any entry's data lies in the `length` sectors from `start`.
inline bool CoversData(const DirectoryTable& table, int64_t start, int64_t length) {
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = EntryOf(table, EntryIndex(i));
        if (entry.size > 0 && entry.offset < start + length && start < EntryEnd(entry)) {
            return true;
        }
    }
    return false;
}

// First fit over consecutive pairs as they stand: the answer for a need of 0 or less.
inline int64_t ScanPairs(const DirectoryTable& table, int64_t need) {
    for (int32_t p = 0; p + 1 < table.count; ++p) {
        const DirectoryEntry& entry = EntryAt(table, OrderPosition(p));
        const int64_t gap =
            int64_t{EntryAt(table, OrderPosition(p + 1)).offset} - entry.offset - entry.size;
        if (gap >= need) {
            return int64_t{entry.offset} + entry.size;
        }
    }
    return table.endSector;
}

// What FindFreeGap answers.
inline int64_t ScanForGap(const DirectoryTable& table, int64_t need) {
    return need <= 0 ? ScanPairs(table, need) : ScanForRoom(table, need);
}

// The neighbour-by-neighbour travel of a changed position: forward from the start or the
// middle first, never past an equal offset.
inline void RepositionStepwise(DirectoryTable& table, OrderPosition position) {
    const int32_t count = table.count;
    if (count <= 1) {
        return;
    }
    auto offset = [&](int32_t p) { return EntryAt(table, OrderPosition(p)).offset; };
    auto swap = [&](int32_t a, int32_t b) {
        std::swap(IndexAt(table, OrderPosition(a)), IndexAt(table, OrderPosition(b)));
    };
    int32_t p = position.value;
    if (p == 0) {
        if (offset(0) <= offset(1)) {
            return;
        }
        swap(0, 1);
        p = 1;
    }
    if (p == count - 1) {
        if (offset(p) >= offset(p - 1)) {
            return;
        }
        swap(p, p - 1);
        --p;
    }
    if (p == 0 || p == count - 1) {
        return;
    }
    if (offset(p) > offset(p + 1)) {
        while (p < count - 1 && offset(p) > offset(p + 1)) {
            swap(p, p + 1);
            ++p;
        }
        return;
    }
    while (p > 0 && offset(p) < offset(p - 1)) {
        swap(p, p - 1);
        --p;
    }
}

// The model's own changes to a table, by hand and by the walks.
inline void ModelPlace(DirectoryTable& table, OrderPosition p, int32_t offset, int32_t size) {
    EntryAt(table, p).offset = offset;
    EntryAt(table, p).size = size;
    RepositionStepwise(table, p);
    table.endSector = ScanForGreatestEnd(table);
}

inline void ModelAdd(DirectoryTable& table, int32_t offset, int32_t size, const AnsiString& name) {
    const int32_t e = table.count;
    table.entries[static_cast<size_t>(e)] = {offset, size, name};
    table.order[static_cast<size_t>(e)] = EntryIndex(e);
    ++table.count;
    RepositionStepwise(table, OrderPosition(e));
    table.endSector = ScanForGreatestEnd(table);
}

}  // namespace zarnex::test
