#include "archive/table_index.h"

#include <algorithm>
#include <bit>
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

void SectorSet::Grow(int64_t sectors) {
    words_.resize(static_cast<size_t>((sectors + 63) / 64), 0);
    summary_.resize((words_.size() + 63) / 64, 0);
}

void SectorSet::Insert(int64_t s) {
    const auto w = static_cast<size_t>(s / 64);
    words_[w] |= uint64_t{1} << (s % 64);
    summary_[w / 64] |= uint64_t{1} << (w % 64);
}

void SectorSet::Erase(int64_t s) {
    const auto w = static_cast<size_t>(s / 64);
    words_[w] &= ~(uint64_t{1} << (s % 64));
    if (words_[w] == 0) {
        summary_[w / 64] &= ~(uint64_t{1} << (w % 64));
    }
}

int64_t SectorSet::NextFrom(int64_t s) const {
    s = std::max<int64_t>(s, 0);
    if (s >= Capacity()) {
        return -1;
    }
    const auto w = static_cast<size_t>(s / 64);
    if (const uint64_t bits = words_[w] & (~uint64_t{0} << (s % 64)); bits != 0) {
        return static_cast<int64_t>(w * 64) + std::countr_zero(bits);
    }
    for (size_t i = (w + 1) / 64, from = (w + 1) % 64; i < summary_.size(); ++i, from = 0) {
        if (const uint64_t held = summary_[i] & (~uint64_t{0} << from); held != 0) {
            const size_t word = i * 64 + static_cast<size_t>(std::countr_zero(held));
            return static_cast<int64_t>(word * 64) + std::countr_zero(words_[word]);
        }
    }
    return -1;
}

int64_t SectorSet::PreviousTo(int64_t s) const {
    s = std::min(s, Capacity() - 1);
    if (s < 0) {
        return -1;
    }
    // The bits at or below `s % 64`, then whole words below.
    const auto w = static_cast<size_t>(s / 64);
    if (const uint64_t bits = words_[w] & (~uint64_t{0} >> (63 - s % 64)); bits != 0) {
        return static_cast<int64_t>(w * 64) + 63 - std::countl_zero(bits);
    }
    for (size_t i = w / 64 + 1, upTo = w % 64; i-- > 0; upTo = 64) {
        // Words of this summary word below `upTo`.
        const uint64_t below = upTo == 0 ? 0 : ~uint64_t{0} >> (64 - upTo);
        if (const uint64_t held = summary_[i] & below; held != 0) {
            const size_t word = i * 64 + 63 - static_cast<size_t>(std::countl_zero(held));
            return static_cast<int64_t>(word * 64) + 63 - std::countl_zero(words_[word]);
        }
    }
    return -1;
}

void FreeRoom::Reserve(int64_t sectors) {
    if (sectors <= points_.Capacity()) {
        return;
    }
    // Doubling, so that an archive that grows a sector at a time copies little; but no
    // further than an archive may reach.
    const int64_t capacity = std::min(std::max({sectors, 2 * points_.Capacity(), int64_t{1024}}),
                                      std::max(sectors, ArchiveSectorLimit + 1));
    points_.Grow(capacity);
    dataStarts_.Grow(capacity);
    const auto size = static_cast<size_t>(points_.Capacity());
    entries_.resize(size, 0);
    dataEnd_.resize(size, 0);
    roomAt_.resize(size, -1);
}

std::optional<FreeRoom> FreeRoom::Of(const DirectoryTable& table) {
    FreeRoom index;
    // In offset order data overlaps only the data right before it.
    int64_t lastDataEnd = 0;
    int64_t greatestEnd = 0;
    for (int32_t p = 0; p < table.count; ++p) {
        PrefetchAhead(table, p);
        const DirectoryEntry& entry = EntryAt(table, OrderPosition(p));
        const int64_t end = EntryEnd(entry);
        if (entry.offset < 0 || entry.size < 0 || end >= IndexedSectorLimit ||
            (entry.size > 0 && entry.offset < lastDataEnd)) {
            return std::nullopt;
        }
        lastDataEnd = entry.size > 0 ? end : lastDataEnd;
        greatestEnd = std::max(greatestEnd, end);
    }
    index.Reserve(greatestEnd + 1);
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = EntryOf(table, EntryIndex(i));
        if (index.entries_[static_cast<size_t>(entry.offset)]++ == 0) {
            index.points_.Insert(entry.offset);
        }
        if (entry.size > 0) {
            index.dataStarts_.Insert(entry.offset);
            index.dataEnd_[static_cast<size_t>(entry.offset)] = entry.offset + entry.size;
        }
    }
    if (const int64_t end = index.GreatestEnd(); end >= 0) {
        index.rooms_.Grow(end + 1);  // once: no room starts past the greatest end
    }
    for (int64_t at = index.points_.NextFrom(0); at >= 0; at = index.points_.NextFrom(at + 1)) {
        index.Refresh(at);
    }
    return index;
}

bool FreeRoom::Add(int32_t offset, int32_t size) {
    const int64_t end = int64_t{offset} + size;
    if (offset < 0 || size < 0 || end >= IndexedSectorLimit) {
        return false;
    }
    Reserve(end + 1);
    if (size > 0) {
        const int64_t after = dataStarts_.NextFrom(offset);
        const int64_t before = dataStarts_.PreviousTo(int64_t{offset} - 1);
        if ((after >= 0 && after < end) ||
            (before >= 0 && dataEnd_[static_cast<size_t>(before)] > offset)) {
            return false;
        }
        dataStarts_.Insert(offset);
        dataEnd_[static_cast<size_t>(offset)] = static_cast<int32_t>(end);
    }
    if (entries_[static_cast<size_t>(offset)]++ == 0) {
        points_.Insert(offset);
    }
    RefreshAround(offset, end);
    return true;
}

void FreeRoom::Remove(int32_t offset, int32_t size) {
    if (offset < 0 || offset >= points_.Capacity() || !points_.Has(offset)) {
        return;
    }
    const auto at = static_cast<size_t>(offset);
    if (size > 0 && dataStarts_.Has(offset)) {
        dataStarts_.Erase(offset);
        dataEnd_[at] = 0;
    }
    if (--entries_[at] == 0) {
        if (roomAt_[at] >= 0) {
            rooms_.Set(roomAt_[at], 0);
            roomAt_[at] = -1;
        }
        points_.Erase(offset);
    }
    RefreshAround(offset, int64_t{offset} + size);
}

int64_t FreeRoom::GreatestEnd() const {
    const int64_t last = points_.PreviousTo(points_.Capacity() - 1);
    if (last < 0) {
        return -1;
    }
    const int64_t lastData = dataStarts_.PreviousTo(points_.Capacity() - 1);
    return lastData < 0 ? last : std::max<int64_t>(last, dataEnd_[static_cast<size_t>(lastData)]);
}

void FreeRoom::RefreshAround(int64_t from, int64_t to) {
    int64_t at = points_.PreviousTo(from - 1);
    if (at < 0) {
        at = points_.NextFrom(from);
    }
    // Rooms keep distinct starts at every step: each one is cleared before it is set again,
    // and a room never starts past the next point.
    for (; at >= 0 && (at <= from || at < to); at = points_.NextFrom(at + 1)) {
        Refresh(at);
    }
}

void FreeRoom::Refresh(int64_t at) {
    int32_t& room = roomAt_[static_cast<size_t>(at)];
    if (room >= 0) {
        rooms_.Set(room, 0);
        room = -1;
    }
    const int64_t next = points_.NextFrom(at + 1);
    if (next < 0) {
        return;  // the room from the end is endSector's
    }
    int64_t start = at;
    if (const int64_t data = dataStarts_.PreviousTo(at); data >= 0) {
        start = std::max<int64_t>(start, dataEnd_[static_cast<size_t>(data)]);
    }
    if (next > start) {
        if (start >= rooms_.leaves()) {
            rooms_.Grow(start + 1);
        }
        rooms_.Set(start, static_cast<int32_t>(next - start));
        room = static_cast<int32_t>(start);
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
