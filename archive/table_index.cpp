#include "archive/table_index.h"

#include <algorithm>
#include <iterator>

#include "archive/directory.h"

namespace zarnex {

void MaxTree::Grow(int64_t leaves) {
    int64_t size = 1024;
    while (size < leaves) {
        size *= 2;
    }
    if (size <= leaves_) {
        return;
    }
    std::vector<int32_t> grown(static_cast<size_t>(2 * size), 0);
    for (int64_t i = 0; i < leaves_; ++i) {
        grown[static_cast<size_t>(size + i)] = tree_[static_cast<size_t>(leaves_ + i)];
    }
    for (int64_t i = size - 1; i >= 1; --i) {
        grown[static_cast<size_t>(i)] =
            std::max(grown[static_cast<size_t>(2 * i)], grown[static_cast<size_t>(2 * i + 1)]);
    }
    tree_ = std::move(grown);
    leaves_ = size;
}

void MaxTree::Set(int64_t leaf, int32_t value) {
    size_t i = static_cast<size_t>(leaves_ + leaf);
    tree_[i] = value;
    for (i /= 2; i >= 1; i /= 2) {
        tree_[i] = std::max(tree_[2 * i], tree_[2 * i + 1]);
    }
}

int64_t MaxTree::FirstAtLeast(int64_t need, int64_t from) const {
    if (from < 0) {
        from = 0;
    }
    if (from >= leaves_) {
        return -1;
    }
    // Climb from the leaf until a right neighbour (or the leaf itself) holds enough, then
    // descend to the lowest leaf of that subtree that does.
    size_t i = static_cast<size_t>(leaves_ + from);
    if (tree_[i] < need) {
        for (;;) {
            while (i > 1 && (i & 1) == 1) {
                i /= 2;  // a right child: its right neighbours are its parent's
            }
            if (i <= 1) {
                return -1;
            }
            ++i;  // the right sibling
            if (tree_[i] >= need) {
                break;
            }
        }
        while (i < static_cast<size_t>(leaves_)) {
            i = tree_[2 * i] >= need ? 2 * i : 2 * i + 1;
        }
    }
    return static_cast<int64_t>(i) - leaves_;
}

std::optional<FreeRoom> FreeRoom::Of(const DirectoryTable& table) {
    FreeRoom index;
    // In offset order every insertion goes at the end of both maps, and data overlaps only
    // the data right before it.
    int64_t lastDataEnd = 0;
    for (int32_t p = 0; p < table.count; ++p) {
        const DirectoryEntry& entry = EntryAt(table, OrderPosition(p));
        const int64_t end = EntryEnd(entry);
        if (entry.offset < 0 || entry.size < 0 || end >= IndexedSectorLimit) {
            return std::nullopt;
        }
        if (entry.size > 0) {
            if (entry.offset < lastDataEnd) {
                return std::nullopt;
            }
            index.dataEnds_.emplace_hint(index.dataEnds_.end(), entry.offset, end);
            lastDataEnd = end;
        }
        auto last = index.points_.empty() ? index.points_.end() : std::prev(index.points_.end());
        if (last == index.points_.end() || last->first != entry.offset) {
            last = index.points_.emplace_hint(index.points_.end(), entry.offset, Point{});
        }
        ++last->second.entries;
    }
    if (const int64_t end = index.GreatestEnd(); end >= 0) {
        index.rooms_.Grow(end + 1);  // once: no room starts past the greatest end
    }
    // The data before each point, walked alongside.
    auto data = index.dataEnds_.begin();
    int64_t cover = 0;
    for (auto it = index.points_.begin(); it != index.points_.end(); ++it) {
        for (; data != index.dataEnds_.end() && data->first <= it->first; ++data) {
            cover = data->second;
        }
        auto next = std::next(it);
        if (next == index.points_.end()) {
            break;
        }
        const int64_t start = std::max<int64_t>(it->first, cover);
        if (next->first > start) {
            if (start >= index.rooms_.leaves()) {
                index.rooms_.Grow(start + 1);
            }
            index.rooms_.Set(start, static_cast<int32_t>(next->first - start));
            it->second.room = start;
        }
    }
    return index;
}

bool FreeRoom::Add(int32_t offset, int32_t size) {
    const int64_t end = int64_t{offset} + size;
    if (offset < 0 || size < 0 || end >= IndexedSectorLimit) {
        return false;
    }
    if (size > 0) {
        auto after = dataEnds_.lower_bound(offset);
        if (after != dataEnds_.end() && after->first < end) {
            return false;
        }
        if (after != dataEnds_.begin() && std::prev(after)->second > offset) {
            return false;
        }
        dataEnds_.emplace_hint(after, offset, end);
    }
    ++points_[offset].entries;
    RefreshAround(offset, end);
    return true;
}

void FreeRoom::Remove(int32_t offset, int32_t size) {
    auto it = points_.find(offset);
    if (it == points_.end()) {
        return;
    }
    if (size > 0) {
        dataEnds_.erase(offset);
    }
    if (--it->second.entries == 0) {
        if (it->second.room >= 0) {
            rooms_.Set(it->second.room, 0);
        }
        points_.erase(it);
    }
    RefreshAround(offset, int64_t{offset} + size);
}

int64_t FreeRoom::GreatestEnd() const {
    if (points_.empty()) {
        return -1;
    }
    int64_t end = points_.rbegin()->first;
    if (!dataEnds_.empty()) {
        end = std::max(end, dataEnds_.rbegin()->second);
    }
    return end;
}

void FreeRoom::RefreshAround(int64_t from, int64_t to) {
    auto it = points_.lower_bound(static_cast<int32_t>(from));
    if (it != points_.begin()) {
        --it;
    }
    // Rooms keep distinct starts at every step: each one is cleared before it is set again,
    // and a room never starts past the next point.
    for (; it != points_.end() && (it->first <= from || it->first < to); ++it) {
        Refresh(it);
    }
}

void FreeRoom::Refresh(PointIt at) {
    Point& point = at->second;
    if (point.room >= 0) {
        rooms_.Set(point.room, 0);
        point.room = -1;
    }
    auto next = std::next(at);
    if (next == points_.end()) {
        return;  // the room from the end is endSector's
    }
    int64_t start = at->first;
    auto data = dataEnds_.upper_bound(at->first);
    if (data != dataEnds_.begin()) {
        start = std::max(start, std::prev(data)->second);
    }
    if (next->first > start) {
        if (start >= rooms_.leaves()) {
            rooms_.Grow(start + 1);
        }
        rooms_.Set(start, static_cast<int32_t>(next->first - start));
        point.room = start;
    }
}

void BuildIndex(DirectoryTable& table) {
    TableIndex& index = table.index.emplace();
    index.names = EntryLookup(table);
    index.freeRoom = FreeRoom::Of(table);
}

}  // namespace zarnex
