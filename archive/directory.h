// The in-memory directory of one archive, loaded afresh by every batch.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "archive/format.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/messagebox.h"
#include "platform/random.h"

namespace zarnex {

// The index of a record on disk, and of its entry in `entries`.
struct EntryIndex {
    int32_t value = 0;
    constexpr explicit EntryIndex(int32_t v) : value(v) {}
    auto operator<=>(const EntryIndex&) const = default;
};

// A place in `order`, the view of the entries sorted by offset.
struct OrderPosition {
    int32_t value = 0;
    constexpr explicit OrderPosition(int32_t v) : value(v) {}
    auto operator<=>(const OrderPosition&) const = default;
};
constexpr OrderPosition NoPosition{-1};

struct DirectoryEntry {
    int32_t offset = 0;
    int32_t size = 0;
    // As stored for a loaded entry; the source file's whole name for one added in this batch.
    AnsiString name;
};

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

// What an import table keeps besides `order`, so that a lookup by name and the search for free
// room do not walk every entry. Every answer is the one the plain scans give.
struct TableIndex {
    std::unordered_map<AnsiString, std::vector<EntryIndex>> byLowerName;
    // While every entry is regular (no negative size, no overlap with the entry after it in
    // order, within the indexed sectors), each entry's free room after it is a leaf of `runs`
    // keyed by the sector where the room starts.
    MaxTree runs;
    std::vector<int64_t> runStart;   // per entry: the leaf it holds, or -1
    std::vector<uint8_t> irregular;  // per entry
    int64_t irregularCount = 0;
    bool trusted = false;  // once an irregular entry is seen, the batch keeps to the scans
};

struct DirectoryTable {
    uint32_t version = 0;
    int32_t count = 0;
    int32_t capacity = 0;
    std::vector<DirectoryEntry> entries;  // capacity long
    std::vector<EntryIndex> order;        // import tables only; capacity long
    int64_t endSector = 0;                // import tables only
    std::optional<TableIndex> index;      // import tables only

    bool IsVersion2() const { return version == Version2Tag; }
};

inline DirectoryEntry& EntryOf(DirectoryTable& table, EntryIndex e) {
    return table.entries[static_cast<size_t>(e.value)];
}
inline const DirectoryEntry& EntryOf(const DirectoryTable& table, EntryIndex e) {
    return table.entries[static_cast<size_t>(e.value)];
}
inline EntryIndex& IndexAt(DirectoryTable& table, OrderPosition p) {
    return table.order[static_cast<size_t>(p.value)];
}
inline EntryIndex IndexAt(const DirectoryTable& table, OrderPosition p) {
    return table.order[static_cast<size_t>(p.value)];
}
inline DirectoryEntry& EntryAt(DirectoryTable& table, OrderPosition p) {
    return EntryOf(table, IndexAt(table, p));
}
inline const DirectoryEntry& EntryAt(const DirectoryTable& table, OrderPosition p) {
    return EntryOf(table, IndexAt(table, p));
}
inline int64_t EntryEnd(const DirectoryEntry& entry) {
    return int64_t{entry.offset} + entry.size;
}

// An archive a batch holds open: the table, the data file and, in version 1, the ".dir".
struct OpenArchive {
    DirectoryTable table;
    File data;
    File directory;
};

// Opens the archive at `path` (import: read-write, unshared; extraction: shared reading) and
// reads its directory. On failure the reason has been shown and nothing stays open.
std::optional<OpenArchive> LoadDirectory(const std::string& path, bool forImport, IoState& io,
                                         MessageBoxes& boxes);

// Swaps each position with one drawn from the generator, so the sort never meets the worst
// case of records stored in offset order.
void ShuffleOrder(DirectoryTable& table, Lcg& generator);
void SortByOffset(DirectoryTable& table, OrderPosition lo, OrderPosition hi);
// The entry at p has a new offset: carry it to its sorted place.
void RepositionEntry(DirectoryTable& table, OrderPosition p);
void UpdateEndSector(DirectoryTable& table);
void GrowTable(DirectoryTable& table);
// The first position in offset order whose name equals `name` ignoring case, or NoPosition.
OrderPosition FindEntryByName(const DirectoryTable& table, const AnsiString& name);
// The first sector of the first free run of `need` sectors after an entry, else endSector.
int64_t FindFreeGap(const DirectoryTable& table, int64_t need);

// The same first fit, but starting no lower than `floor`: for damaged archives whose entries
// lie where no data may go (over a version-2 directory, before sector 0).
int64_t FindFreeGapFrom(const DirectoryTable& table, int64_t need, int64_t floor);

// The batch's changes to the table. A new entry takes the next index and the last position
// before it is carried to its place; a placed entry keeps its index and name.
EntryIndex AddEntry(DirectoryTable& table, int32_t offset, int32_t size, const AnsiString& name);
void PlaceEntry(DirectoryTable& table, OrderPosition p, int32_t offset, int32_t size);

// Builds the index of an import table; LoadDirectory does it.
void BuildIndex(DirectoryTable& table);

// The plain walks the index stands in for; the tests hold the index to them.
OrderPosition FindEntryByNameScan(const DirectoryTable& table, const AnsiString& name);
int64_t FindFreeGapScan(const DirectoryTable& table, int64_t need);
void RepositionEntryStepwise(DirectoryTable& table, OrderPosition p);
int64_t GreatestEnd(const DirectoryTable& table);

}  // namespace zarnex
