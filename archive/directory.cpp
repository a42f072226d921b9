#include "archive/directory.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <utility>

#include "archive/messages.h"

namespace zarnex {
namespace {

constexpr int32_t InitialReserve = 256;
constexpr int32_t GrowthStep = 1024;
// Records are read in pieces, so that a large directory needs no second copy in memory.
constexpr int32_t RecordsPerRead = 4096;

void ReportCorruptDirectory(MessageBoxes& boxes, const std::string& path) {
    ShowBox(boxes, "Каталог IMG архива повреждён: записей больше, чем вмещает файл\n\n" + path,
            MessageIcon::Error);
}

// Reads `count` records that start at byte `start` of `file`. False if they are not all there.
bool ReadRecords(File& file, int64_t start, DirectoryTable& table) {
    std::vector<unsigned char> bytes(static_cast<size_t>(RecordsPerRead) * RecordSize);
    for (int32_t first = 0; first < table.count; first += RecordsPerRead) {
        const int32_t n = std::min(RecordsPerRead, table.count - first);
        const size_t length = static_cast<size_t>(n) * RecordSize;
        size_t got = 0;
        if (!file.ReadAt(start + int64_t{first} * RecordSize, bytes.data(), length, &got) ||
            got != length) {
            return false;
        }
        for (int32_t i = 0; i < n; ++i) {
            DirectoryRecord record =
                DecodeRecord(bytes.data() + static_cast<size_t>(i) * RecordSize);
            DirectoryEntry& entry = table.entries[static_cast<size_t>(first + i)];
            entry.offset = record.offset;
            entry.size = record.size;
            entry.name = std::move(record.name);
        }
    }
    return true;
}

std::optional<OpenArchive> Load(const std::string& path, bool forImport, IoState& io,
                                MessageBoxes& boxes) {
    if (!FileExists(path)) {
        ShowBox(boxes, "IMG файл по указанному пути не найден: \n\n" + path, MessageIcon::Error);
        return std::nullopt;
    }
    const OpenMode mode = forImport ? OpenMode::ReadWriteExclusive : OpenMode::ReadShared;
    OpenArchive archive;
    archive.data = File::Open(path, mode, io);
    if (!archive.data.IsOpen()) {
        ReportArchiveOpenFailure(boxes, path, io.lastError);
        return std::nullopt;
    }
    DirectoryTable& table = archive.table;

    int64_t dataSize = 0;
    unsigned char header[8] = {};
    if (!archive.data.Size(dataSize) || !archive.data.ReadAt(0, header, sizeof header)) {
        ReportArchiveOpenFailure(boxes, path, io.lastError);
        return std::nullopt;
    }
    // A short file leaves the missing bytes zero: "VER2" alone is an empty archive.
    table.version = GetLE32(header);

    std::string directoryPath;
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
        directoryPath = DirectoryFilePath(path);
        if (!FileExists(directoryPath)) {
            ShowBox(boxes, "Unable to find DIR file!", MessageIcon::Error, MessageButtons::Ok,
                    "Error");
            return std::nullopt;
        }
        archive.directory = File::Open(directoryPath, mode, io);
        int64_t directorySize = 0;
        if (!archive.directory.IsOpen() || !archive.directory.Size(directorySize)) {
            ReportArchiveOpenFailure(boxes, directoryPath, io.lastError);
            return std::nullopt;
        }
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

    table.capacity = table.count + InitialReserve;
    table.entries.resize(static_cast<size_t>(table.capacity));
    if (!ReadRecords(*recordFile, recordStart, table)) {
        if (io.Failed()) {
            ReportArchiveOpenFailure(boxes, table.IsVersion2() ? path : directoryPath,
                                     io.lastError);
        } else {
            ReportCorruptDirectory(boxes, path);
        }
        return std::nullopt;
    }
    if (!forImport) {
        return archive;
    }

    table.order.reserve(static_cast<size_t>(table.capacity));
    for (int32_t i = 0; i < table.capacity; ++i) {
        table.order.emplace_back(i);
    }
    ShuffleOrder(table, ProcessGenerator());
    SortByOffset(table, OrderPosition(0), OrderPosition(table.count - 1));
    if (table.count < 1) {
        table.endSector = table.IsVersion2() ? 1 : 0;
    } else {
        table.endSector = GreatestEnd(table);
    }
    BuildIndex(table);
    return archive;
}

}  // namespace

std::optional<OpenArchive> LoadDirectory(const std::string& path, bool forImport, IoState& io,
                                         MessageBoxes& boxes) {
    try {
        return Load(path, forImport, io, boxes);
    } catch (const std::bad_alloc&) {
        // What was taken is given back by now; the box itself needs little.
        ReportArchiveOpenFailure(boxes, path, ENOMEM);
        return std::nullopt;
    }
}

void ShuffleOrder(DirectoryTable& table, Lcg& generator) {
    for (int32_t i = 0; i < table.count; ++i) {
        int32_t j = generator.Draw() % table.count;
        std::swap(IndexAt(table, OrderPosition(i)), IndexAt(table, OrderPosition(j)));
    }
}

void SortByOffset(DirectoryTable& table, OrderPosition lo, OrderPosition hi) {
    auto offset = [&](int32_t p) { return EntryAt(table, OrderPosition(p)).offset; };
    auto swap = [&](int32_t a, int32_t b) {
        std::swap(IndexAt(table, OrderPosition(a)), IndexAt(table, OrderPosition(b)));
    };
    int32_t first = lo.value;
    int32_t last = hi.value;
    // Recurse into the smaller part and loop over the larger, so that many equal offsets cost
    // time but not stack.
    while (first < last) {
        const int32_t pivot = offset(first);
        int32_t i = first;
        int32_t j = last;
        for (;;) {
            while (offset(j) > pivot) {
                --j;
            }
            if (i == j) {
                break;
            }
            do {
                ++i;
            } while (i != j && offset(i) <= pivot);
            if (i == j) {
                break;
            }
            swap(i, j);
        }
        swap(first, j);
        if (j - first < last - j) {
            SortByOffset(table, OrderPosition(first), OrderPosition(j - 1));
            first = j + 1;
        } else {
            SortByOffset(table, OrderPosition(j + 1), OrderPosition(last));
            last = j - 1;
        }
    }
}

void RepositionEntryStepwise(DirectoryTable& table, OrderPosition position) {
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

namespace {

// Sectors beyond this are left to the scans: archives end at 2^20.
constexpr int64_t IndexedSectorLimit = int64_t{1} << 21;

int64_t EndAt(const DirectoryTable& table, int32_t p) {
    return EntryEnd(EntryAt(table, OrderPosition(p)));
}

void Unregister(TableIndex& index, EntryIndex e) {
    int64_t& start = index.runStart[static_cast<size_t>(e.value)];
    if (start >= 0) {
        index.runs.Set(start, 0);
        start = -1;
    }
}

int32_t SizeAt(const DirectoryTable& table, int32_t p) {
    return EntryAt(table, OrderPosition(p)).size;
}

// Entries of size 0 cover nothing: free room is bounded by the entries with data, and only cut
// where an empty entry starts inside it. So the free room after position p starts at the
// furthest end so far, which is the end of the last entry with data at or before p, or p's own
// offset.
void Register(DirectoryTable& table, int32_t p) {
    TableIndex& index = *table.index;
    const EntryIndex e = IndexAt(table, OrderPosition(p));
    const DirectoryEntry& entry = EntryOf(table, e);
    const int64_t end = EntryEnd(entry);
    bool irregular = entry.offset < 0 || entry.size < 0 || end >= IndexedSectorLimit;
    if (!irregular && entry.size > 0) {
        int32_t q = p + 1;
        while (q < table.count && SizeAt(table, q) == 0) {
            ++q;
        }
        irregular = q < table.count && EntryAt(table, OrderPosition(q)).offset < end;
    }
    uint8_t& flag = index.irregular[static_cast<size_t>(e.value)];
    index.irregularCount += int64_t{irregular} - int64_t{flag};
    flag = irregular;
    // Once anything is irregular the scans answer for the rest of the batch: no runs needed.
    if (index.irregularCount > 0 || p + 1 >= table.count) {
        return;
    }
    int32_t q = p;
    while (q >= 0 && SizeAt(table, q) == 0) {
        --q;
    }
    const int64_t start = std::max<int64_t>(entry.offset, q >= 0 ? EndAt(table, q) : 0);
    const int64_t next = EntryAt(table, OrderPosition(p + 1)).offset;
    if (next > start && start < IndexedSectorLimit) {
        if (start >= index.runs.leaves()) {
            index.runs.Grow(start + 1);
        }
        index.runs.Set(start, static_cast<int32_t>(next - start));
        index.runStart[static_cast<size_t>(e.value)] = start;
    }
}

// The positions whose free room or neighbour changes when the entry before `center` changes:
// the last entry with data before it, the one right before it, and from `center` on every
// empty entry up to the next entry with data.
void AddWindow(const DirectoryTable& table, int32_t center, std::vector<int32_t>& positions) {
    int32_t lo = center - 1;
    while (lo >= 0 && SizeAt(table, lo) == 0) {
        --lo;
    }
    positions.push_back(lo);
    positions.push_back(center - 1);
    for (int32_t p = center; p < table.count; ++p) {
        positions.push_back(p);
        if (p > center && SizeAt(table, p) != 0) {
            break;
        }
    }
}

void Refresh(DirectoryTable& table, std::vector<int32_t>& positions) {
    TableIndex& index = *table.index;
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    std::erase_if(positions, [&](int32_t p) { return p < 0 || p >= table.count; });
    for (int32_t p : positions) {
        Unregister(index, IndexAt(table, OrderPosition(p)));
    }
    for (int32_t p : positions) {
        Register(table, p);
    }
    if (index.irregularCount > 0) {
        index.trusted = false;
    }
}

bool Trusted(const DirectoryTable& table) {
    return table.index && table.index->trusted;
}

// Where the entry e stands in order: among the entries of its offset, found by halving.
int32_t PositionOf(const DirectoryTable& table, EntryIndex e) {
    const int32_t offset = EntryOf(table, e).offset;
    auto first = table.order.begin();
    auto it = std::lower_bound(first, first + table.count, offset, [&](EntryIndex x, int32_t o) {
        return EntryOf(table, x).offset < o;
    });
    for (; it != first + table.count && EntryOf(table, *it).offset == offset; ++it) {
        if (*it == e) {
            return static_cast<int32_t>(it - first);
        }
    }
    auto found = std::find(first, first + table.count, e);
    return static_cast<int32_t>(found - first);
}

}  // namespace

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

void BuildIndex(DirectoryTable& table) {
    table.index.emplace();
    TableIndex& index = *table.index;
    index.byLowerName.reserve(static_cast<size_t>(table.capacity));
    for (int32_t i = 0; i < table.count; ++i) {
        index.byLowerName[LowerAnsi(table.entries[static_cast<size_t>(i)].name)].emplace_back(i);
    }
    index.runStart.assign(static_cast<size_t>(table.capacity), -1);
    index.irregular.assign(static_cast<size_t>(table.capacity), 0);
    if (table.endSector < IndexedSectorLimit) {
        index.runs.Grow(table.endSector + 1);
    }
    for (int32_t p = 0; p < table.count; ++p) {
        Register(table, p);
    }
    index.trusted = index.irregularCount == 0;
    if (!index.trusted) {
        index.runs = MaxTree();
    }
}

void RepositionEntry(DirectoryTable& table, OrderPosition position) {
    const int32_t count = table.count;
    const int32_t p = position.value;
    if (count <= 1) {
        if (table.index) {
            std::vector<int32_t> positions = {p};
            Refresh(table, positions);
        }
        return;
    }
    // The same place the neighbour-by-neighbour travel reaches, found by halving: it passes
    // only neighbours it is strictly out of order with.
    auto offset = [&](EntryIndex e) { return EntryOf(table, e).offset; };
    auto first = table.order.begin();
    const int32_t moved = EntryAt(table, position).offset;
    int32_t target = p;
    if (p + 1 < count && moved > EntryAt(table, OrderPosition(p + 1)).offset) {
        auto stop = std::lower_bound(first + p + 1, first + count, moved,
                                     [&](EntryIndex e, int32_t o) { return offset(e) < o; });
        target = static_cast<int32_t>(stop - first) - 1;
        std::rotate(first + p, first + p + 1, first + target + 1);
    } else if (p > 0 && moved < EntryAt(table, OrderPosition(p - 1)).offset) {
        auto stop = std::upper_bound(first, first + p, moved,
                                     [&](int32_t o, EntryIndex e) { return o < offset(e); });
        target = static_cast<int32_t>(stop - first);
        std::rotate(first + target, first + p, first + p + 1);
    }
    if (table.index && table.index->trusted) {
        // Around the old place (now holding the old successor) and around the new one.
        std::vector<int32_t> positions;
        AddWindow(table, target >= p ? p : p + 1, positions);
        AddWindow(table, target, positions);
        Refresh(table, positions);
    }
}

int64_t GreatestEnd(const DirectoryTable& table) {
    int64_t end = EndAt(table, table.count - 1);
    for (int32_t i = 0; i < table.count; ++i) {
        end = std::max(end, EntryEnd(table.entries[static_cast<size_t>(i)]));
    }
    return end;
}

void UpdateEndSector(DirectoryTable& table) {
    // The greatest end, not the end of the last in order: entries may share the greatest
    // offset, and new data must not land on the longer one.
    if (!Trusted(table)) {
        table.endSector = GreatestEnd(table);
        return;
    }
    // Without overlaps that is the end of the last entry with data, unless an empty entry
    // starts further on.
    int32_t q = table.count - 1;
    while (q > 0 && SizeAt(table, q) == 0) {
        --q;
    }
    table.endSector = std::max(EndAt(table, q), EndAt(table, table.count - 1));
}

void GrowTable(DirectoryTable& table) {
    table.capacity += GrowthStep;
    table.entries.resize(static_cast<size_t>(table.capacity));
    if (!table.order.empty()) {
        for (int32_t i = static_cast<int32_t>(table.order.size()); i < table.capacity; ++i) {
            table.order.emplace_back(i);
        }
    }
    if (table.index) {
        table.index->runStart.resize(static_cast<size_t>(table.capacity), -1);
        table.index->irregular.resize(static_cast<size_t>(table.capacity), 0);
    }
}

OrderPosition FindEntryByNameScan(const DirectoryTable& table, const AnsiString& name) {
    const AnsiString wanted = LowerAnsi(name);
    for (int32_t p = 0; p < table.count; ++p) {
        const AnsiString& stored = EntryAt(table, OrderPosition(p)).name;
        if (stored.size() == wanted.size() && LowerAnsi(stored) == wanted) {
            return OrderPosition(p);
        }
    }
    return NoPosition;
}

namespace {

// First fit from the furthest end seen so far, so that an entry lying inside or across another
// never makes its room look free; no room starts below `floor`.
int64_t FirstFitScan(const DirectoryTable& table, int64_t need, int64_t floor) {
    int64_t reach = INT64_MIN;
    for (int32_t p = 0; p + 1 < table.count; ++p) {
        reach = std::max(reach, EntryEnd(EntryAt(table, OrderPosition(p))));
        const int64_t start = std::max(reach, floor);
        if (int64_t{EntryAt(table, OrderPosition(p + 1)).offset} - start >= need) {
            return start;
        }
    }
    return std::max(table.endSector, floor);
}

}  // namespace

int64_t FindFreeGapScan(const DirectoryTable& table, int64_t need) {
    return FirstFitScan(table, need, INT64_MIN);
}

int64_t FindFreeGapFrom(const DirectoryTable& table, int64_t need, int64_t floor) {
    const int64_t first = FindFreeGap(table, need);
    return first >= floor ? first : FirstFitScan(table, need, floor);
}

OrderPosition FindEntryByName(const DirectoryTable& table, const AnsiString& name) {
    if (!table.index) {
        return FindEntryByNameScan(table, name);
    }
    auto it = table.index->byLowerName.find(LowerAnsi(name));
    if (it == table.index->byLowerName.end()) {
        return NoPosition;
    }
    // Duplicates go to the one whose data comes first.
    int32_t best = INT32_MAX;
    for (EntryIndex e : it->second) {
        best = std::min(best, PositionOf(table, e));
    }
    return OrderPosition(best);
}

int64_t FindFreeGap(const DirectoryTable& table, int64_t need) {
    // Rooms of no size depend on the order of ties: the scan answers for them.
    if (!Trusted(table) || need <= 0) {
        return FindFreeGapScan(table, need);
    }
    int64_t start = table.index->runs.FirstAtLeast(need);
    return start >= 0 ? start : table.endSector;
}

EntryIndex AddEntry(DirectoryTable& table, int32_t offset, int32_t size, const AnsiString& name) {
    const EntryIndex e(table.count);
    EntryOf(table, e) = {offset, size, name};
    IndexAt(table, OrderPosition(e.value)) = e;
    ++table.count;
    if (table.index) {
        table.index->byLowerName[LowerAnsi(name)].push_back(e);
    }
    RepositionEntry(table, OrderPosition(e.value));
    UpdateEndSector(table);
    return e;
}

void PlaceEntry(DirectoryTable& table, OrderPosition p, int32_t offset, int32_t size) {
    DirectoryEntry& entry = EntryAt(table, p);
    entry.offset = offset;
    entry.size = size;
    RepositionEntry(table, p);
    UpdateEndSector(table);
}

}  // namespace zarnex
