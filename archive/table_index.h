// What an import table keeps besides `order`, so that neither a lookup by name nor the search
// for free room walks every entry. Every answer is the one the plain walks give.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "archive/lookup.h"
#include "archive/positions.h"

namespace zarnex {

struct DirectoryTable;

// Largest value first: which leaf (sector) is the first to hold at least a given value.
class MaxTree {
  public:
    int64_t leaves() const { return leaves_; }
    void Grow(int64_t leaves);
    void Set(int64_t leaf, int32_t value);
    int32_t At(int64_t leaf) const { return tree_[static_cast<size_t>(leaves_ + leaf)]; }
    // The lowest leaf whose value is at least `need` (need >= 1), or -1.
    int64_t FirstAtLeast(int64_t need) const { return FirstAtLeast(need, 0); }
    // The same among the leaves from `from` on.
    int64_t FirstAtLeast(int64_t need, int64_t from) const;

  private:
    int64_t leaves_ = 0;
    std::vector<int32_t> tree_;
};

// A set of sectors: the next or the previous member of any sector in a few word reads, with a
// summary bit for each word that holds members.
class SectorSet {
  public:
    int64_t Capacity() const { return static_cast<int64_t>(words_.size()) * 64; }
    void Grow(int64_t sectors);
    bool Has(int64_t s) const { return (words_[static_cast<size_t>(s / 64)] >> (s % 64) & 1) != 0; }
    void Insert(int64_t s);
    void Erase(int64_t s);
    // The least member at or past `s`, or -1.
    int64_t NextFrom(int64_t s) const;
    // The greatest member at or before `s`, or -1.
    int64_t PreviousTo(int64_t s) const;

  private:
    std::vector<uint64_t> words_;
    std::vector<uint64_t> summary_;
};

// The free room between the entries of a regular table: no negative offset or size, nothing
// ending at or past IndexedSectorLimit, no two entries with data overlapping (empty entries may
// lie anywhere). Everything is kept by sector, so a change costs a few set and tree steps,
// whatever the number of entries, their order, and however many empty entries share a sector
// or lie between entries with data.
class FreeRoom {
  public:
    static constexpr int64_t IndexedSectorLimit = int64_t{1} << 21;  // archives end at 2^20

    // From a table whose `order` is sorted; nothing when its entries are not regular.
    static std::optional<FreeRoom> Of(const DirectoryTable& table);

    // False, and nothing changed, when the entry would make the table irregular.
    bool Add(int32_t offset, int32_t size);
    // An entry that was added before.
    void Remove(int32_t offset, int32_t size);

    // The start of the first room of at least `need` (>= 1) sectors after an entry and before
    // the next in offset order, or -1.
    int64_t FirstFit(int64_t need) const { return rooms_.FirstAtLeast(need); }
    // The greatest end of an entry, or -1 with no entries.
    int64_t GreatestEnd() const;
    // Every room between entries, by the sector where it starts: its length in sectors. Rooms
    // never touch, and the room from the end is not among them.
    const MaxTree& Rooms() const { return rooms_; }

  private:
    // Room for every sector below `sectors`.
    void Reserve(int64_t sectors);
    // Rooms that depend on an entry over [from, to): the one before it, and every room
    // starting inside it.
    void RefreshAround(int64_t from, int64_t to);
    // The room after the point `at` reaches the next point, from the end of whatever data
    // covers `at`.
    void Refresh(int64_t at);

    SectorSet points_;              // sectors where entries start
    SectorSet dataStarts_;          // sectors where data start
    std::vector<int32_t> entries_;  // by sector: how many entries start there
    std::vector<int32_t> dataEnd_;  // by sector: where the data that start there end
    std::vector<int32_t> roomAt_;   // by point: the leaf of `rooms_` after it, or -1
    MaxTree rooms_;                 // by the sector where a room starts: its length
};

struct TableIndex {
    std::optional<EntryLookup> names;  // for batches that look up many names
    // Gone for the rest of the batch once the table turns irregular: the walks answer then.
    std::optional<FreeRoom> freeRoom;
};

// Builds the index of an import table whose `order` is sorted; LoadDirectory does it.
void BuildIndex(DirectoryTable& table, bool names = true);

}  // namespace zarnex
