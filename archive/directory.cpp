#include "archive/directory.h"

#include <algorithm>
#include <utility>

#include "archive/messages.h"

namespace zarnex {
namespace {

constexpr int32_t InitialReserve = 256;
constexpr int32_t GrowthStep = 1024;

void ReportCorruptDirectory(MessageBoxes& boxes, const std::string& path) {
    ShowBox(boxes, "Каталог IMG архива повреждён: записей больше, чем вмещает файл\n\n" + path,
            MessageIcon::Error);
}

// Reads `count` records that start at byte `start` of `file`. False if they are not all there.
bool ReadRecords(File& file, int64_t start, DirectoryTable& table) {
    std::vector<unsigned char> bytes(static_cast<size_t>(table.count) * RecordSize);
    size_t got = 0;
    if (!file.ReadAt(start, bytes.data(), bytes.size(), &got) || got != bytes.size()) {
        return false;
    }
    for (int32_t i = 0; i < table.count; ++i) {
        DirectoryRecord record = DecodeRecord(bytes.data() + static_cast<size_t>(i) * RecordSize);
        DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        entry.offset = record.offset;
        entry.size = record.size;
        entry.name = std::move(record.name);
    }
    return true;
}

}  // namespace

std::optional<OpenArchive> LoadDirectory(const std::string& path, bool forImport, IoState& io,
                                         MessageBoxes& boxes) {
    if (!FileExists(path)) {
        ShowBox(boxes, "IMG файл по указанному пути не найден: \n\n" + path, MessageIcon::Error);
        return std::nullopt;
    }
    const OpenMode mode = forImport ? OpenMode::ReadWriteExclusive : OpenMode::ReadShared;
    OpenArchive archive;
    archive.path = path;
    archive.data = File::Open(path, mode, io);
    if (!archive.data.IsOpen()) {
        ReportArchiveOpenFailure(boxes, path, io.lastError);
        return std::nullopt;
    }
    DirectoryTable& table = archive.table;

    int64_t dataSize = 0;
    unsigned char header[8] = {};
    size_t got = 0;
    if (!archive.data.Size(dataSize) || !archive.data.ReadAt(0, header, sizeof header, &got)) {
        ReportArchiveOpenFailure(boxes, path, io.lastError);
        return std::nullopt;
    }
    table.version = GetLE32(header);  // a file shorter than 4 bytes leaves the rest zero

    File* recordFile = &archive.data;
    int64_t recordStart = 0;
    int64_t recordRoom = 0;
    if (table.IsVersion2()) {
        table.count = got >= 8 ? static_cast<int32_t>(GetLE32(header + 4)) : 0;
        recordStart = Version2HeaderSize;
        recordRoom = dataSize - Version2HeaderSize;
    } else {
        archive.directoryPath = DirectoryFilePath(path);
        if (!FileExists(archive.directoryPath)) {
            ShowBox(boxes, "Unable to find DIR file!", MessageIcon::Error, MessageButtons::Ok,
                    "Error");
            return std::nullopt;
        }
        archive.directory = File::Open(archive.directoryPath, mode, io);
        int64_t directorySize = 0;
        if (!archive.directory.IsOpen() || !archive.directory.Size(directorySize)) {
            ReportArchiveOpenFailure(boxes, archive.directoryPath, io.lastError);
            return std::nullopt;
        }
        recordFile = &archive.directory;
        recordRoom = directorySize;
        if (directorySize / RecordSize > INT32_MAX - InitialReserve) {
            ReportCorruptDirectory(boxes, path);
            return std::nullopt;
        }
        table.count = static_cast<int32_t>(directorySize / RecordSize);
    }
    if (table.count < 0 || table.count > INT32_MAX - InitialReserve ||
        int64_t{table.count} * RecordSize > recordRoom) {
        ReportCorruptDirectory(boxes, path);
        return std::nullopt;
    }

    table.capacity = table.count + InitialReserve;
    table.entries.resize(static_cast<size_t>(table.capacity));
    if (!ReadRecords(*recordFile, recordStart, table)) {
        if (io.Failed()) {
            ReportArchiveOpenFailure(boxes, table.IsVersion2() ? path : archive.directoryPath,
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
        UpdateEndSector(table);
    }
    return archive;
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

void RepositionEntry(DirectoryTable& table, OrderPosition position) {
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

void UpdateEndSector(DirectoryTable& table) {
    // The greatest end, not the end of the last in order: entries may share the greatest
    // offset, and new data must not land on the longer one.
    int64_t end = EntryEnd(EntryAt(table, OrderPosition(table.count - 1)));
    for (int32_t i = 0; i < table.count; ++i) {
        end = std::max(end, EntryEnd(table.entries[static_cast<size_t>(i)]));
    }
    table.endSector = end;
}

void GrowTable(DirectoryTable& table) {
    table.capacity += GrowthStep;
    table.entries.resize(static_cast<size_t>(table.capacity));
    if (!table.order.empty()) {
        for (int32_t i = static_cast<int32_t>(table.order.size()); i < table.capacity; ++i) {
            table.order.emplace_back(i);
        }
    }
}

OrderPosition FindEntryByName(const DirectoryTable& table, const AnsiString& name) {
    const AnsiString wanted = LowerAnsi(name);
    for (int32_t p = 0; p < table.count; ++p) {
        const AnsiString& stored = EntryAt(table, OrderPosition(p)).name;
        if (stored.size() == wanted.size() && LowerAnsi(stored) == wanted) {
            return OrderPosition(p);
        }
    }
    return NoPosition;
}

int64_t FindFreeGap(const DirectoryTable& table, int64_t need) {
    // Measured from the furthest end seen so far, so that an entry lying inside or across
    // another never makes its room look free.
    int64_t reach = INT64_MIN;
    for (int32_t p = 0; p + 1 < table.count; ++p) {
        reach = std::max(reach, EntryEnd(EntryAt(table, OrderPosition(p))));
        int64_t gap = int64_t{EntryAt(table, OrderPosition(p + 1)).offset} - reach;
        if (gap >= need) {
            return reach;
        }
    }
    return table.endSector;
}

}  // namespace zarnex
