#include "archive/directory.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

#include "archive/check.h"
#include "archive/journal.h"
#include "archive/lookup.h"
#include "archive/messages.h"
#include "archive/writing.h"
#include "platform/paths.h"

namespace zarnex {
namespace {

constexpr size_t InitialReserve = 256;
// A list of a hundred million names reserves no more than this (32 MB) before any is read.
constexpr size_t MaxAdditionsReserved = size_t{1} << 20;
constexpr int32_t GrowthStep = 1024;
// Records are read in pieces, so that a large directory needs no second copy in memory.
constexpr int32_t RecordsPerRead = 4096;

void ReportCorruptDirectory(MessageBoxes& boxes, const std::string& path) {
    boxes.Show({.id = MessageId::DirectoryDamaged, .path = path});
}

// Reads `count` records that start at byte `start` of `file`, as a pending journal puts them
// back. False if they are not all there.
bool ReadRecords(File& file, int64_t start, DirectoryTable& table, const Journal* journal) {
    const ArchivePart part = table.IsVersion2() ? ArchivePart::Data : ArchivePart::Directory;
    std::vector<unsigned char> bytes(static_cast<size_t>(RecordsPerRead) * RecordSize);
    for (int32_t first = 0; first < table.count; first += RecordsPerRead) {
        const int32_t n = std::min(RecordsPerRead, table.count - first);
        const size_t length = static_cast<size_t>(n) * RecordSize;
        if (!ReadBack(file, journal, part, start + int64_t{first} * RecordSize, bytes.data(),
                      length)) {
            return false;
        }
        for (int32_t i = 0; i < n; ++i) {
            const unsigned char* record = bytes.data() + static_cast<size_t>(i) * RecordSize;
            DirectoryEntry& entry = table.entries[static_cast<size_t>(first + i)];
            entry.offset = static_cast<int32_t>(GetLE32(record));
            entry.size = static_cast<int32_t>(GetLE32(record + 4));
            // Bytes after the name's end are not part of it.
            std::memcpy(entry.field.data(), record + 8, NameFieldSize);
            const size_t length = entry.NameLength();
            std::memset(entry.field.data() + length, 0, entry.field.size() - length);
        }
    }
    return true;
}

// A deletion moves the last record into the deleted one's place and makes it stay, then shrinks
// the count. Cut off between the two, the directory ends in a copy of a record that stands
// earlier too: that copy is not an entry of its own, and loading drops it.
void DropLeftover(DirectoryTable& table) {
    const int32_t last = table.count - 1;
    const DirectoryEntry* end = last > 0 ? &table.entries[static_cast<size_t>(last)] : nullptr;
    for (int32_t i = 0; end && i < last; ++i) {
        const DirectoryEntry& e = table.entries[static_cast<size_t>(i)];
        if (e == *end) {
            table.entries[static_cast<size_t>(last)] = {};
            table.count = last;
            table.leftovers = 1;
            table.leftoverTwin = i;
            return;
        }
    }
}

// The greatest end of any entry: the last in order may be a shorter one of the same offset,
// or lie inside another.
int64_t GreatestEnd(const DirectoryTable& table) {
    int64_t end = INT64_MIN;
    for (int32_t i = 0; i < table.count; ++i) {
        end = std::max(end, EntryEnd(EntryOf(table, EntryIndex(i))));
    }
    return end;
}

FreeRoom* FreeRoomOf(DirectoryTable& table) {
    return table.index && table.index->freeRoom ? &*table.index->freeRoom : nullptr;
}
const FreeRoom* FreeRoomOf(const DirectoryTable& table) {
    return table.index && table.index->freeRoom ? &*table.index->freeRoom : nullptr;
}

bool IsDirectoryFileName(const std::string& path) {
    return LowerAnsi(ExtensionPart(path)) == ".dir";
}

// The data file beside a ".dir": ".img", or ".IMG" where only that is there.
std::string DataFileBeside(const std::string& directoryPath) {
    const std::string stem = directoryPath.substr(0, directoryPath.size() - 4);
    for (const char* extension : {".img", ".IMG"}) {
        if (PathKind(stem + extension) != NodeKind::Missing) {
            return stem + extension;
        }
    }
    return stem + ".img";
}

// Only a regular file is opened: a folder, a pipe or a device is named for what it is, and
// nothing there is told `missing`.
bool IsFileOrReport(const std::string& path, const Message& missing, MessageBoxes& boxes) {
    switch (PathKind(path)) {
        case NodeKind::File:
            return true;
        case NodeKind::Missing:
            boxes.Show(missing);
            return false;
        case NodeKind::Folder:
            boxes.Show({.id = MessageId::PathIsFolder, .path = path});
            return false;
        default:
            boxes.Show({.id = MessageId::NotRegularFile, .path = path});
            return false;
    }
}

std::optional<OpenArchive> Load(const std::string& given, OpenMode mode, Writes writes, IoState& io,
                                MessageBoxes& boxes, JournalFinding& journal, size_t additions) {
    const std::string target = ResolveLink(given);
    const bool directoryGiven = IsDirectoryFileName(target);
    const std::string path = directoryGiven ? DataFileBeside(target) : target;
    const Message missing =
        directoryGiven ? Message{.id = MessageId::DataFileMissing, .path = path, .name = given}
                       : Message{.id = MessageId::ArchiveNotFound, .path = path};
    if (!IsFileOrReport(path, missing, boxes)) {
        return std::nullopt;
    }
    OpenArchive archive;
    archive.path = path;
    archive.io = &io;
    DirectoryTable& table = archive.table;
    int64_t dataSize = 0;
    unsigned char header[8] = {};
    auto openData = [&](OpenMode dataMode) {
        archive.data = File();  // a reading opened before would keep this one out
        archive.data = File::Open(path, dataMode, io);
        std::fill(std::begin(header), std::end(header), 0);
        if (!archive.data.IsOpen() || !archive.data.Size(dataSize) ||
            !archive.data.ReadAt(0, header, sizeof header)) {
            ReportArchiveOpenFailure(boxes, path, io.lastError);
            return false;
        }
        // A short file leaves the missing bytes zero: "VER2" alone is an empty archive.
        table.version = GetLE32(header);
        return true;
    };
    // A version-1 data file that only the records change is read, not written; version 2 keeps
    // its records in the data file, which is then opened again to be written.
    const OpenMode dataMode = writes == Writes::RecordsOnly ? OpenMode::ReadShared : mode;
    if (!openData(dataMode) || (table.IsVersion2() && dataMode != mode && !openData(mode))) {
        return std::nullopt;
    }
    int64_t directorySize = 0;
    if (!table.IsVersion2()) {
        archive.directoryPath = DirectoryFilePath(path);
        if (!IsFileOrReport(archive.directoryPath,
                            {.id = MessageId::DirectoryFileMissing, .path = archive.directoryPath},
                            boxes)) {
            return std::nullopt;
        }
        archive.directory = File::Open(archive.directoryPath, mode, io);
        if (!archive.directory.IsOpen() || !archive.directory.Size(directorySize)) {
            ReportArchiveOpenFailure(boxes, archive.directoryPath, io.lastError);
            return std::nullopt;
        }
    }
    // An interrupted change reads as it will be once its journal is rolled back.
    journal = FindJournal(archive, io);
    const Journal* overlay = journal.state == JournalState::Pending ? &journal.journal : nullptr;
    if (overlay) {
        overlay->Patch(ArchivePart::Data, 0, header, sizeof header);
        directorySize = table.IsVersion2() ? 0 : overlay->directoryLength;
    }

    File* recordFile = &archive.data;
    int64_t recordStart = 0;
    int64_t recordRoom = 0;
    int64_t recordCount = 0;
    if (table.IsVersion2()) {
        recordCount = static_cast<int32_t>(GetLE32(header + 4));
        recordStart = Version2HeaderSize;
        recordRoom = std::max<int64_t>(dataSize - Version2HeaderSize, 0);
        // No 2 GiB archive holds a directory that ends past its last byte.
        if (recordCount < 0 || Version2RecordPosition(recordCount) > ArchiveByteLimit) {
            ReportCorruptDirectory(boxes, path);
            return std::nullopt;
        }
    } else {
        if (directorySize > ArchiveByteLimit) {
            ReportCorruptDirectory(boxes, path);
            return std::nullopt;
        }
        recordFile = &archive.directory;
        recordRoom = directorySize;
        recordCount = directorySize / RecordSize;
    }
    if (recordCount * RecordSize > recordRoom) {
        ReportCorruptDirectory(boxes, path);
        return std::nullopt;
    }
    table.count = static_cast<int32_t>(recordCount);

    // Room for what the batch may add, made now: grown later, a million entries would stand
    // twice in memory while they move.
    table.entries.resize(static_cast<size_t>(table.count) +
                         std::clamp<size_t>(additions, InitialReserve, MaxAdditionsReserved));
    if (!ReadRecords(*recordFile, recordStart, table, overlay)) {
        if (io.Failed()) {
            ReportArchiveOpenFailure(boxes, table.IsVersion2() ? path : archive.directoryPath,
                                     io.lastError);
        } else {
            ReportCorruptDirectory(boxes, path);
        }
        return std::nullopt;
    }
    DropLeftover(table);
    return archive;
}

// An archive that check finds damaged is never written: every batch writes by what its directory
// says. Nothing has been written when this refuses.
bool IsUndamagedOrReport(OpenArchive& archive, const std::string& path, IoState& io,
                         MessageBoxes& boxes) {
    int64_t dataBytes = 0;
    int64_t directoryBytes = 0;
    if (!archive.data.Size(dataBytes) ||
        (archive.directory.IsOpen() && !archive.directory.Size(directoryBytes))) {
        ReportArchiveOpenFailure(boxes, path, io.lastError);
        return false;
    }
    std::vector<DamageKind> damage = FindDamage(archive.table, dataBytes, directoryBytes);
    if (!damage.empty()) {
        boxes.Show({.id = MessageId::ArchiveDamaged, .path = path, .damage = std::move(damage)});
        return false;
    }
    return true;
}

// The batch's own allocation failure ends it with a box, not an abort; what was taken is
// given back by now, and the box itself needs little.
std::optional<OpenArchive> LoadOrReport(const std::string& path, OpenMode mode, Writes writes,
                                        IoState& io, MessageBoxes& boxes, JournalFinding& journal,
                                        size_t additions = 0) {
    try {
        return Load(path, mode, writes, io, boxes, journal, additions);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(boxes);
        return std::nullopt;
    }
}

}  // namespace

DirectoryEntry::DirectoryEntry(int32_t offset, int32_t size, std::string_view name)
    : offset(offset), size(size) {
    SetName(name);
}

void DirectoryEntry::SetName(std::string_view name) {
    field.fill(0);
    // The name ends at its first zero, as on disk.
    const size_t length = std::min(name.find('\0'), field.size());
    std::copy_n(name.begin(), std::min(length, name.size()), field.begin());
}

std::string DataFilePath(const std::string& path) {
    const std::string target = ResolveLink(path);
    return IsDirectoryFileName(target) ? DataFileBeside(target) : target;
}

std::optional<OpenArchive> LoadDirectory(const std::string& path, IoState& io,
                                         MessageBoxes& boxes) {
    JournalFinding journal;
    return LoadOrReport(path, OpenMode::ReadShared, Writes::RecordsOnly, io, boxes, journal);
}

std::optional<OpenArchive> OpenForWriting(const std::string& path, IoState& io, MessageBoxes& boxes,
                                          Writes writes, size_t additions) {
    JournalFinding journal;
    std::optional<OpenArchive> archive =
        LoadOrReport(path, OpenMode::ReadWriteExclusive, writes, io, boxes, journal, additions);
    // The disk is made to agree with the table loaded through the journal, which was made from
    // an archive no damage kept from being written.
    if (archive && (!SettleJournal(journal, *archive, io, boxes) ||
                    !IsUndamagedOrReport(*archive, path, io, boxes))) {
        return std::nullopt;
    }
    // What an interrupted deletion of an earlier version left is cut off before anything else.
    if (archive && archive->table.leftovers > 0) {
        if (!CutRecordsTo(*archive, archive->table.count)) {
            ReportIoFailure(boxes, io.lastError);
            return std::nullopt;
        }
        archive->table.leftovers = 0;
    }
    return archive;
}

void SortOffsetKeys(std::vector<uint64_t>& keys) {
    constexpr int DigitBits = 11;
    constexpr uint64_t DigitMask = (1u << DigitBits) - 1;
    std::vector<uint64_t> sorted(keys.size());
    for (int shift = 32; shift < 64 && !keys.empty(); shift += DigitBits) {
        std::vector<size_t> starts(DigitMask + 2, 0);
        for (const uint64_t key : keys) {
            ++starts[((key >> shift) & DigitMask) + 1];
        }
        // Offsets that share this digit, as every offset below 2^20 shares the highest.
        if (starts[((keys[0] >> shift) & DigitMask) + 1] == keys.size()) {
            continue;
        }
        for (size_t d = 1; d < starts.size(); ++d) {
            starts[d] += starts[d - 1];
        }
        for (const uint64_t key : keys) {
            sorted[starts[(key >> shift) & DigitMask]++] = key;
        }
        keys.swap(sorted);
    }
}

namespace {

// Entry indexes by offset, ties in record order, into `order`; the greatest end, from the same
// pass over the entries.
int64_t SortByOffsetInto(const DirectoryTable& table, std::vector<EntryIndex>& order) {
    auto offset = [&](int32_t i) { return EntryOf(table, EntryIndex(i)).offset; };
    bool inOrder = true;
    int32_t lowest = table.count > 0 ? offset(0) : 0;
    int32_t greatest = lowest;
    int64_t greatestEnd = INT64_MIN;
    for (int32_t i = 0; i < table.count; ++i) {
        inOrder = inOrder && (i == 0 || offset(i - 1) <= offset(i));
        lowest = std::min(lowest, offset(i));
        greatest = std::max(greatest, offset(i));
        greatestEnd = std::max(greatestEnd, EntryEnd(EntryOf(table, EntryIndex(i))));
    }
    // Most archives keep their records in the order of their data: then that is the order.
    if (inOrder) {
        for (int32_t i = 0; i < table.count; ++i) {
            order.emplace_back(i);
        }
        return greatestEnd;
    }
    // Offsets in an archive's range are counted: one pass, and less memory than a sort takes.
    if (lowest >= 0 && greatest < ArchiveSectorLimit) {
        std::vector<int32_t> starts(static_cast<size_t>(greatest) + 2, 0);
        for (int32_t i = 0; i < table.count; ++i) {
            ++starts[static_cast<size_t>(offset(i)) + 1];
        }
        for (size_t o = 1; o < starts.size(); ++o) {
            starts[o] += starts[o - 1];
        }
        order.resize(static_cast<size_t>(table.count), EntryIndex(0));
        for (int32_t i = 0; i < table.count; ++i) {
            order[static_cast<size_t>(starts[static_cast<size_t>(offset(i))]++)] = EntryIndex(i);
        }
        return greatestEnd;
    }
    std::vector<uint64_t> keys(static_cast<size_t>(table.count));
    for (int32_t i = 0; i < table.count; ++i) {
        keys[static_cast<size_t>(i)] = OffsetKey(offset(i), i);
    }
    SortOffsetKeys(keys);
    for (const uint64_t key : keys) {
        order.emplace_back(KeyIndex(key));
    }
    return greatestEnd;
}

}  // namespace

void PrepareForPlacing(DirectoryTable& table, size_t lookups) {
    table.order.clear();
    table.order.reserve(table.entries.size());
    const int64_t greatestEnd = SortByOffsetInto(table, table.order);
    for (int32_t i = static_cast<int32_t>(table.order.size()); i < table.Capacity(); ++i) {
        table.order.emplace_back(i);
    }
    if (table.count < 1) {
        table.endSector = table.IsVersion2() ? 1 : 0;
    } else {
        table.endSector = greatestEnd;
    }
    // A few placements walk the table instead: each walk costs less than building the index,
    // and the index would double the memory of a large archive.
    if (lookups >= FewNames) {
        BuildIndex(table);
    }
}

void SortByOffset(DirectoryTable& table, OrderPosition lo, OrderPosition hi) {
    if (hi <= lo) {
        return;
    }
    // Equal offsets in record order: a quicksort that puts them all on one side of its pivot
    // takes quadratic time over many of them.
    auto first = table.order.begin();
    std::sort(first + lo.value, first + hi.value + 1, [&](EntryIndex a, EntryIndex b) {
        const int32_t x = EntryOf(table, a).offset;
        const int32_t y = EntryOf(table, b).offset;
        return x != y ? x < y : a < b;
    });
}

void RepositionEntry(DirectoryTable& table, OrderPosition position) {
    const int32_t count = table.count;
    const int32_t p = position.value;
    if (count <= 1) {
        return;
    }
    // The same place the neighbour-by-neighbour travel reaches, found by halving: it passes
    // only neighbours it is strictly out of order with.
    auto offset = [&](EntryIndex e) { return EntryOf(table, e).offset; };
    auto first = table.order.begin();
    const int32_t moved = EntryAt(table, position).offset;
    if (p + 1 < count && moved > EntryAt(table, OrderPosition(p + 1)).offset) {
        auto stop = std::lower_bound(first + p + 1, first + count, moved,
                                     [&](EntryIndex e, int32_t o) { return offset(e) < o; });
        // One block move each way: a rotation swaps element by element.
        const EntryIndex e = first[p];
        std::move(first + p + 1, stop, first + p);
        *(stop - 1) = e;
    } else if (p > 0 && moved < EntryAt(table, OrderPosition(p - 1)).offset) {
        auto stop = std::upper_bound(first, first + p, moved,
                                     [&](int32_t o, EntryIndex e) { return o < offset(e); });
        const EntryIndex e = first[p];
        std::move_backward(stop, first + p, first + p + 1);
        *stop = e;
    }
}

void UpdateEndSector(DirectoryTable& table) {
    // The greatest end, not the end of the last in order: entries may share the greatest
    // offset, and new data must not land on the longer one.
    if (const FreeRoom* room = FreeRoomOf(table)) {
        table.endSector = room->GreatestEnd();
    } else {
        table.endSector = GreatestEnd(table);
    }
}

void GrowTable(DirectoryTable& table) {
    table.entries.resize(table.entries.size() + GrowthStep);
    if (!table.order.empty()) {
        for (int32_t i = static_cast<int32_t>(table.order.size()); i < table.Capacity(); ++i) {
            table.order.emplace_back(i);
        }
    }
}

namespace {

// Nothing is written for a need of none, so the room between consecutive entries answers as it
// stands, even where the data of an entry before covers it.
int64_t FirstFitBetweenPairs(const DirectoryTable& table, int64_t need) {
    for (int32_t p = 0; p + 1 < table.count; ++p) {
        PrefetchAhead(table, p);
        const int64_t end = EntryEnd(EntryAt(table, OrderPosition(p)));
        if (int64_t{EntryAt(table, OrderPosition(p + 1)).offset} - end >= need) {
            return end;
        }
    }
    return table.endSector;
}

}  // namespace

// First fit from the furthest end seen so far, so that an entry lying inside or across another
// never makes its room look free; no room starts below `floor`.
int64_t FirstFitWalk(const DirectoryTable& table, int64_t need, int64_t floor) {
    int64_t reach = INT64_MIN;
    for (int32_t p = 0; p + 1 < table.count; ++p) {
        PrefetchAhead(table, p);
        reach = std::max(reach, EntryEnd(EntryAt(table, OrderPosition(p))));
        const int64_t start = std::max(reach, floor);
        if (int64_t{EntryAt(table, OrderPosition(p + 1)).offset} - start >= need) {
            return start;
        }
    }
    return std::max(table.endSector, floor);
}

int64_t FindFreeGapFrom(const DirectoryTable& table, int64_t need, int64_t floor) {
    const int64_t first = FindFreeGap(table, need);
    return first >= floor ? first : FirstFitWalk(table, need, floor);
}

OrderPosition FindEntryByName(const DirectoryTable& table, const AnsiString& name) {
    const int32_t e = table.index && table.index->names ? table.index->names->Find(table, name)
                                                        : FindEntry(table, name);
    return e < 0 ? NoPosition : PositionOf(table, EntryIndex(e));
}

OrderPosition PositionOf(const DirectoryTable& table, EntryIndex e) {
    // Among the entries of its offset, which `order` holds together.
    const int32_t offset = EntryOf(table, e).offset;
    auto first = table.order.begin();
    auto p = std::lower_bound(first, first + table.count, offset, [&](EntryIndex x, int32_t o) {
        return EntryOf(table, x).offset < o;
    });
    while (*p != e) {
        ++p;
    }
    return OrderPosition(static_cast<int32_t>(p - first));
}

int64_t FindFreeGap(const DirectoryTable& table, int64_t need) {
    if (need <= 0) {
        return FirstFitBetweenPairs(table, need);
    }
    const FreeRoom* room = FreeRoomOf(table);
    if (!room) {
        return FirstFitWalk(table, need, INT64_MIN);
    }
    const int64_t start = room->FirstFit(need);
    return start >= 0 ? start : table.endSector;
}

namespace {

// The index follows an entry from its old place to its new one; once the table turns
// irregular it is dropped and the walks answer.
void Track(DirectoryTable& table, int32_t offset, int32_t size) {
    if (FreeRoom* room = FreeRoomOf(table); room && !room->Add(offset, size)) {
        table.index->freeRoom.reset();
    }
}

// An entry's end went from `before` (none for an added one) to `after`. Only an entry that held
// the greatest end can lower it by moving; only then are the entries walked.
void FollowEndSector(DirectoryTable& table, std::optional<int64_t> before, int64_t after) {
    if (FreeRoomOf(table) || table.count == 1 || (before && *before >= table.endSector)) {
        UpdateEndSector(table);
    } else {
        table.endSector = std::max(table.endSector, after);
    }
}

}  // namespace

EntryIndex AddEntry(DirectoryTable& table, int32_t offset, int32_t size, std::string_view name) {
    const EntryIndex e(table.count);
    EntryOf(table, e) = {offset, size, name};
    IndexAt(table, OrderPosition(e.value)) = e;
    ++table.count;
    if (table.index && table.index->names) {
        table.index->names->Add(table, e.value);
    }
    Track(table, offset, size);
    RepositionEntry(table, OrderPosition(e.value));
    FollowEndSector(table, std::nullopt, EntryEnd(EntryOf(table, e)));
    return e;
}

void MoveEntry(DirectoryTable& table, EntryIndex e, int32_t offset) {
    EntryOf(table, e).offset = offset;
}

void PlaceEntry(DirectoryTable& table, OrderPosition p, int32_t offset, int32_t size) {
    DirectoryEntry& entry = EntryAt(table, p);
    if (FreeRoom* room = FreeRoomOf(table)) {
        room->Remove(entry.offset, entry.size);
    }
    const int64_t before = EntryEnd(entry);
    entry.offset = offset;
    entry.size = size;
    Track(table, offset, size);
    RepositionEntry(table, p);
    FollowEndSector(table, before, EntryEnd(entry));
}

}  // namespace zarnex
