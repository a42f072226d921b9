// The in-memory directory of one archive, loaded afresh by every batch.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/format.h"
#include "archive/messages.h"
#include "archive/positions.h"
#include "archive/table_index.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace zarnex {

// 32 bytes, as a record holds it: a million entries take no more memory than their records.
struct DirectoryEntry {
    int32_t offset = 0;
    int32_t size = 0;
    // The name field: the name's bytes, zeros after them; all 24 of them for a name that long.
    std::array<char, NameFieldSize> field{};

    DirectoryEntry() = default;
    // `name` is cut to the field.
    DirectoryEntry(int32_t offset, int32_t size, std::string_view name);
    std::string_view Name() const { return {field.data(), NameLength()}; }
    // Where the first zero is, or the field's size. A word at a time: every walk of a million
    // records asks it once a record.
    size_t NameLength() const {
        static_assert(std::endian::native == std::endian::little && NameFieldSize % 8 == 0);
        for (size_t at = 0; at < field.size(); at += 8) {
            uint64_t word = 0;
            std::memcpy(&word, field.data() + at, 8);
            // Its lowest set bit is in the first zero byte.
            const uint64_t zeros = (word - 0x0101010101010101u) & ~word & 0x8080808080808080u;
            if (zeros != 0) {
                return at + static_cast<size_t>(std::countr_zero(zeros)) / 8;
            }
        }
        return field.size();
    }
    void SetName(std::string_view name);
    bool operator==(const DirectoryEntry&) const = default;
};

struct DirectoryTable {
    uint32_t version = 0;
    int32_t count = 0;
    std::vector<DirectoryEntry> entries;  // as long as the capacity
    std::vector<EntryIndex> order;        // import tables only; as long as `entries`
    int64_t endSector = 0;                // import tables only
    std::optional<TableIndex> index;      // import tables only
    // Records past `count` on disk: the copy an interrupted deletion left at the end, dropped when
    // the directory was read. The next batch that writes cuts it off.
    int32_t leftovers = 0;
    int32_t leftoverTwin = -1;  // the entry the copy repeats

    bool IsVersion2() const { return version == Version2Tag; }
    // Entries the table holds room for: the count after loading plus 256 or what the batch may
    // add (up to 2^20), and 1024 more with each GrowTable.
    int32_t Capacity() const { return static_cast<int32_t>(entries.size()); }
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
// Entries in offset order lie anywhere in memory: a walk in that order asks for each well
// before it reads it.
inline void PrefetchAhead(const DirectoryTable& table, int32_t p) {
    constexpr int32_t Ahead = 16;
    if (p + Ahead < table.count) {
        __builtin_prefetch(&EntryAt(table, OrderPosition(p + Ahead)));
    }
}
inline int64_t EntryEnd(const DirectoryEntry& entry) {
    return int64_t{entry.offset} + entry.size;
}

// An archive a batch holds open: the table, the data file and, in version 1, the ".dir".
struct OpenArchive {
    std::string path;       // the data file's, as opened: its journal lies beside it
    IoState* io = nullptr;  // the batch's, where its files leave their failures
    DirectoryTable table;
    File data;
    File directory;
    std::string directoryPath;  // version 1: where the ".dir" was found
};

// Where the records are: the ".dir" in version 1, the data file in version 2.
inline File& RecordFile(OpenArchive& archive) {
    return archive.table.IsVersion2() ? archive.data : archive.directory;
}
inline int64_t RecordPosition(const DirectoryTable& table, int32_t e) {
    return table.IsVersion2() ? Version2RecordPosition(e) : int64_t{RecordSize} * e;
}

// The data file of the archive a user names: a link taken for where it leads, and the ".dir" of
// a version-1 archive for the data file beside it ("X.dir": "X.img", or "X.IMG" where only that
// is there).
std::string DataFilePath(const std::string& path);

// Open the archive at `path` (DataFilePath) and read its directory, entries in directory order.
// On failure the reason has been shown and nothing stays open.
// For reading: others may read it too.
std::optional<OpenArchive> LoadDirectory(const std::string& path, IoState& io, MessageBoxes& boxes);

// What a writing batch writes: the data file and the records, or the records alone (delete,
// rename), for which a version-1 data file is only read.
enum class Writes { DataAndRecords, RecordsOnly };
// For writing: nobody else may open what the batch writes until it ends. An archive that check
// finds damaged is refused, with nothing written. A deletion that was interrupted is finished
// first, so that the batch never writes where a counted leftover lies. `additions`: how many
// entries the batch may add, for which room is made at loading.
std::optional<OpenArchive> OpenForWriting(const std::string& path, IoState& io, MessageBoxes& boxes,
                                          Writes writes = Writes::DataAndRecords,
                                          size_t additions = 0);

// What a batch that places new data needs besides the entries: `order` sorted by offset, the end
// sector, and the index of names and free room. Afterwards entries change only through AddEntry,
// PlaceEntry and MoveEntry. `lookups`: how many names the batch will look up and place; for
// fewer than FewNames no index is built, and each lookup and each placement walks the table.
void PrepareForPlacing(DirectoryTable& table, size_t lookups = SIZE_MAX);

// An entry's offset and index as one number that sorts as the pair does.
constexpr uint64_t OffsetKey(int32_t offset, int32_t index) {
    return uint64_t{static_cast<uint32_t>(offset) ^ 0x80000000u} << 32 |
           static_cast<uint32_t>(index);
}
constexpr int32_t KeyIndex(uint64_t key) {
    return static_cast<int32_t>(static_cast<uint32_t>(key));
}
// Sorts keys that come in index order by offset, equal offsets staying in index order: a radix
// sort, which takes a few passes over a million keys where comparing them takes twenty.
void SortOffsetKeys(std::vector<uint64_t>& keys);

// Sorts order[lo] ... order[hi] by offset, equal offsets by entry index.
void SortByOffset(DirectoryTable& table, OrderPosition lo, OrderPosition hi);
// The entry at p has a new offset: carry it to its sorted place.
void RepositionEntry(DirectoryTable& table, OrderPosition p);
void UpdateEndSector(DirectoryTable& table);
void GrowTable(DirectoryTable& table);
// The position in `order` of the entry of `name` (lookup.h: the first record in directory order
// that has it, ignoring case), or NoPosition.
OrderPosition FindEntryByName(const DirectoryTable& table, const AnsiString& name);
// Where entry `e` stands in `order`.
OrderPosition PositionOf(const DirectoryTable& table, EntryIndex e);
// The first sector of the first free run of `need` sectors after an entry, else endSector. A
// free run starts where the data of every entry before it ends; for a need of 0 or less, where
// the entry right before it ends.
int64_t FindFreeGap(const DirectoryTable& table, int64_t need);

// The first fit as a walk over the entries in offset order, whatever index the table holds: the
// answer the index stands in for.
int64_t FirstFitWalk(const DirectoryTable& table, int64_t need, int64_t floor);

// The same first fit, but starting no lower than `floor`: for damaged archives whose entries
// lie where no data may go (over a version-2 directory, before sector 0).
int64_t FindFreeGapFrom(const DirectoryTable& table, int64_t need, int64_t floor);

// The batch's changes to the table. A new entry takes the next index and the last position
// before it is carried to its place; a placed entry keeps its index and name. On a table with
// an index, entries change only through these two, which keep the index in step.
EntryIndex AddEntry(DirectoryTable& table, int32_t offset, int32_t size, std::string_view name);
void PlaceEntry(DirectoryTable& table, OrderPosition p, int32_t offset, int32_t size);
// The entry's data now starts at `offset`; on a table not prepared for placing, which has no
// order or index to keep in step.
void MoveEntry(DirectoryTable& table, EntryIndex e, int32_t offset);

}  // namespace zarnex
