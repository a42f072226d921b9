#include "archive/placement.h"

#include <algorithm>
#include <climits>
#include <iterator>

#include "archive/table_index.h"

namespace zarnex {

void ReservedRoom::Add(int64_t offset, int64_t size) {
    if (size <= 0) {
        return;
    }
    // Only the union counts, so runs that touch become one: each run then has at most one
    // neighbour that matters to a search.
    int64_t end = offset + size;
    auto it = runs_.upper_bound(offset);
    if (it != runs_.begin() && std::prev(it)->second >= offset) {
        --it;
        offset = it->first;
        end = std::max(end, it->second);
    }
    while (it != runs_.end() && it->first <= end) {
        end = std::max(end, it->second);
        it = runs_.erase(it);
    }
    runs_[offset] = end;
    greatestEnd_ = std::max(greatestEnd_, end);
}

int64_t ReservedRoom::LowestOffset() const {
    return runs_.empty() ? INT64_MAX : runs_.begin()->first;
}

int64_t ReservedRoom::FirstFit(int64_t from, int64_t to, int64_t need) const {
    auto it = runs_.upper_bound(from);
    if (it != runs_.begin()) {
        from = std::max(from, std::prev(it)->second);
    }
    for (; it != runs_.end() && it->first < to; ++it) {
        if (it->first - from >= need) {
            return from;
        }
        from = it->second;
    }
    return to - from >= need ? from : -1;
}

namespace {

// The table's free runs of at least `need` sectors in the order of their first sectors, as
// FindFreeGap's first fit meets them: the room after each entry up to the next one.
template <typename Visit>
bool ForEachFreeRun(const DirectoryTable& table, int64_t need, Visit visit) {
    if (table.index && table.index->freeRoom) {
        const MaxTree& runs = table.index->freeRoom->Rooms();
        for (int64_t leaf = runs.FirstAtLeast(need, 0); leaf >= 0;
             leaf = runs.FirstAtLeast(need, leaf + 1)) {
            if (visit(leaf, leaf + runs.At(leaf))) {
                return true;
            }
        }
        return false;
    }
    int64_t reach = INT64_MIN;
    for (int32_t p = 0; p + 1 < table.count; ++p) {
        reach = std::max(reach, EntryEnd(EntryAt(table, OrderPosition(p))));
        const int64_t next = EntryAt(table, OrderPosition(p + 1)).offset;
        if (next - reach >= need && visit(reach, next)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int64_t FindFreeRoom(const DirectoryTable& table, const ReservedRoom& reserved, int64_t need,
                     int64_t floor) {
    if (reserved.Empty() || need <= 0) {
        return FindFreeGapFrom(table, need, floor);
    }
    int64_t found = -1;
    ForEachFreeRun(table, need, [&](int64_t start, int64_t end) {
        found = reserved.FirstFit(std::max(start, floor), end, need);
        return found >= 0;
    });
    if (found >= 0) {
        return found;
    }
    return std::max({table.endSector, reserved.GreatestEnd(), floor});
}

}  // namespace zarnex
