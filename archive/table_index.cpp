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

FreeRoom::PointIt FreeRoom::PointAtOrAfter(int64_t offset) {
    return std::lower_bound(points_.begin(), points_.end(), offset,
                            [](const Point& p, int64_t o) { return p.offset < o; });
}

std::optional<FreeRoom> FreeRoom::Of(const DirectoryTable& table) {
    FreeRoom index;
    // Room for the entries the table has room for: a batch that adds a few moves nothing.
    index.points_.reserve(static_cast<size_t>(table.Capacity()));
    index.dataEnds_.reserve(static_cast<size_t>(table.Capacity()));
    // In offset order every insertion goes at the end of both arrays, and data overlaps only
    // the data right before it.
    int64_t lastDataEnd = 0;
    for (int32_t p = 0; p < table.count; ++p) {
        PrefetchAhead(table, p);
        const DirectoryEntry& entry = EntryAt(table, OrderPosition(p));
        const int64_t end = EntryEnd(entry);
        if (entry.offset < 0 || entry.size < 0 || end >= IndexedSectorLimit) {
            return std::nullopt;
        }
        if (entry.size > 0) {
            if (entry.offset < lastDataEnd) {
                return std::nullopt;
            }
            index.dataEnds_.push_back({entry.offset, static_cast<int32_t>(end)});
            lastDataEnd = end;
        }
        if (index.points_.empty() || index.points_.back().offset != entry.offset) {
            index.points_.push_back({entry.offset, 0, -1});
        }
        ++index.points_.back().entries;
    }
    if (const int64_t end = index.GreatestEnd(); end >= 0) {
        index.rooms_.Grow(end + 1);  // once: no room starts past the greatest end
    }
    // The data before each point, walked alongside.
    auto data = index.dataEnds_.begin();
    int64_t cover = 0;
    for (auto it = index.points_.begin(); it != index.points_.end(); ++it) {
        for (; data != index.dataEnds_.end() && data->offset <= it->offset; ++data) {
            cover = data->end;
        }
        auto next = std::next(it);
        if (next == index.points_.end()) {
            break;
        }
        const int64_t start = std::max<int64_t>(it->offset, cover);
        if (next->offset > start) {
            if (start >= index.rooms_.leaves()) {
                index.rooms_.Grow(start + 1);
            }
            index.rooms_.Set(start, static_cast<int32_t>(next->offset - start));
            it->room = static_cast<int32_t>(start);
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
        auto after = std::lower_bound(dataEnds_.begin(), dataEnds_.end(), offset,
                                      [](const Data& d, int32_t o) { return d.offset < o; });
        if (after != dataEnds_.end() && after->offset < end) {
            return false;
        }
        if (after != dataEnds_.begin() && std::prev(after)->end > offset) {
            return false;
        }
        dataEnds_.insert(after, {offset, static_cast<int32_t>(end)});
    }
    auto point = PointAtOrAfter(offset);
    if (point == points_.end() || point->offset != offset) {
        point = points_.insert(point, {offset, 0, -1});
    }
    ++point->entries;
    RefreshAround(offset, end);
    return true;
}

void FreeRoom::Remove(int32_t offset, int32_t size) {
    auto it = PointAtOrAfter(offset);
    if (it == points_.end() || it->offset != offset) {
        return;
    }
    if (size > 0) {
        auto data = std::lower_bound(dataEnds_.begin(), dataEnds_.end(), offset,
                                     [](const Data& d, int32_t o) { return d.offset < o; });
        if (data != dataEnds_.end() && data->offset == offset) {
            dataEnds_.erase(data);
        }
    }
    if (--it->entries == 0) {
        if (it->room >= 0) {
            rooms_.Set(it->room, 0);
        }
        points_.erase(it);
    }
    RefreshAround(offset, int64_t{offset} + size);
}

int64_t FreeRoom::GreatestEnd() const {
    if (points_.empty()) {
        return -1;
    }
    int64_t end = points_.back().offset;
    if (!dataEnds_.empty()) {
        end = std::max<int64_t>(end, dataEnds_.back().end);
    }
    return end;
}

void FreeRoom::RefreshAround(int64_t from, int64_t to) {
    auto it = PointAtOrAfter(from);
    if (it != points_.begin()) {
        --it;
    }
    // Rooms keep distinct starts at every step: each one is cleared before it is set again,
    // and a room never starts past the next point.
    for (; it != points_.end() && (it->offset <= from || it->offset < to); ++it) {
        Refresh(it);
    }
}

void FreeRoom::Refresh(PointIt at) {
    if (at->room >= 0) {
        rooms_.Set(at->room, 0);
        at->room = -1;
    }
    auto next = std::next(at);
    if (next == points_.end()) {
        return;  // the room from the end is endSector's
    }
    int64_t start = at->offset;
    auto data = std::upper_bound(dataEnds_.begin(), dataEnds_.end(), at->offset,
                                 [](int32_t o, const Data& d) { return o < d.offset; });
    if (data != dataEnds_.begin()) {
        start = std::max<int64_t>(start, std::prev(data)->end);
    }
    if (next->offset > start) {
        if (start >= rooms_.leaves()) {
            rooms_.Grow(start + 1);
        }
        rooms_.Set(start, static_cast<int32_t>(next->offset - start));
        at->room = static_cast<int32_t>(start);
    }
}

void BuildIndex(DirectoryTable& table, bool names) {
    TableIndex& index = table.index.emplace();
    if (names) {
        index.names.emplace(table);
    }
    index.freeRoom = FreeRoom::Of(table);
}

}  // namespace zarnex
