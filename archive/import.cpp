#include "archive/import.h"

#include <algorithm>
#include <optional>

#include "archive/directory.h"
#include "archive/messages.h"
#include "platform/paths.h"

namespace zarnex {
namespace {

enum class Step {
    Done,
    Skipped,    // the file's row stays; the batch goes on
    IoFailure,  // io.lastError says why; the batch stops
    Refused,    // the reason has been shown; the batch stops
};

struct ImportBatch {
    OpenArchive archive;
    MessageBoxes& boxes;
    IoState& io;
    std::vector<char> buffer = std::vector<char>(CopyPieceBytes);
    int replacedCount = 0;
    int addedCount = 0;
};

bool FitsInArchive(int64_t sector, int64_t sectors) {
    return sector >= 0 && sector + sectors <= ArchiveSectorLimit;
}

Step RefuseTooLarge(ImportBatch& batch, const std::string& path) {
    ShowBox(batch.boxes,
            "IMG архив не может быть больше 2 ГБ, файл в него не помещается: \n\n" + path,
            MessageIcon::Error);
    return Step::Refused;
}

// Source bytes, then zeros to the end of the last sector.
void CopyIntoArchive(ImportBatch& batch, File& source, int64_t byteCount, int64_t sector) {
    File& archive = batch.archive.data;
    char* buffer = batch.buffer.data();
    int64_t done = 0;
    while (done < byteCount) {
        size_t piece = static_cast<size_t>(std::min<int64_t>(byteCount - done, CopyPieceBytes));
        size_t padded = static_cast<size_t>(SectorToByte(SectorsFor(static_cast<int64_t>(piece))));
        std::fill(buffer, buffer + padded, 0);
        if (!source.ReadAt(done, buffer, piece) ||
            !archive.WriteAt(SectorToByte(sector) + done, buffer, padded)) {
            return;
        }
        done += static_cast<int64_t>(piece);
    }
}

bool WriteZeros(ImportBatch& batch, int64_t from, int64_t to) {
    std::fill(batch.buffer.begin(), batch.buffer.end(), 0);
    for (int64_t pos = from; pos < to; pos += CopyPieceBytes) {
        size_t n = static_cast<size_t>(std::min<int64_t>(to - pos, CopyPieceBytes));
        if (!batch.archive.data.WriteAt(pos, batch.buffer.data(), n)) {
            return false;
        }
    }
    return true;
}

bool WriteOffsetField(ImportBatch& batch, EntryIndex e, int32_t offset) {
    unsigned char field[4];
    PutLE32(field, static_cast<uint32_t>(offset));
    return batch.archive.data.WriteAt(Version2RecordPosition(e.value), field, sizeof field);
}

// Version 2: moves the lowest entry out of the way of the growing directory. The copy is made
// durable before the record names it, and the record before the old place is cleared, so the
// directory names good bytes at every moment.
Step RelocateFirstEntry(ImportBatch& batch, int64_t directoryEnd, const std::string& path) {
    DirectoryTable& table = batch.archive.table;
    const EntryIndex e0 = IndexAt(table, OrderPosition(0));
    const int32_t oldOffset = EntryOf(table, e0).offset;
    const int32_t size = EntryOf(table, e0).size;

    if (size <= 0) {
        // Nothing to copy: it only needs an offset past the directory.
        const auto past = static_cast<int32_t>(SectorsFor(directoryEnd + RecordSize));
        if (!WriteOffsetField(batch, e0, past)) {
            return Step::IoFailure;
        }
        PlaceEntry(table, OrderPosition(0), past, size);
        return Step::Done;
    }
    const int64_t target = FindFreeGapFrom(table, size, SectorsFor(directoryEnd + RecordSize));
    if (!FitsInArchive(target, size)) {
        return RefuseTooLarge(batch, path);
    }
    File& data = batch.archive.data;
    const int64_t from = SectorToByte(oldOffset);
    const int64_t to = SectorToByte(target);
    const int64_t length = SectorToByte(size);
    for (int64_t done = 0; done < length; done += CopyPieceBytes) {
        size_t n = static_cast<size_t>(std::min<int64_t>(length - done, CopyPieceBytes));
        size_t got = 0;
        if (!data.ReadAt(from + done, batch.buffer.data(), n, &got)) {
            return Step::IoFailure;
        }
        std::fill(batch.buffer.begin() + static_cast<std::ptrdiff_t>(got),
                  batch.buffer.begin() + static_cast<std::ptrdiff_t>(n), 0);
        if (!data.WriteAt(to + done, batch.buffer.data(), n)) {
            return Step::IoFailure;
        }
    }
    if (!data.Sync() || !WriteOffsetField(batch, e0, static_cast<int32_t>(target)) ||
        !data.Sync()) {
        return Step::IoFailure;
    }

    // Clear the old place, but never the records before it nor another entry's data that a
    // damaged archive may have put inside it.
    const int64_t clearFrom = std::max(from, directoryEnd);
    int64_t clearTo = from + length;
    if (table.count > 1) {
        clearTo = std::min(clearTo, SectorToByte(EntryAt(table, OrderPosition(1)).offset));
    }
    if (clearFrom < clearTo && !WriteZeros(batch, clearFrom, clearTo)) {
        return Step::IoFailure;
    }
    PlaceEntry(table, OrderPosition(0), static_cast<int32_t>(target), size);
    return Step::Done;
}

// Version 2: before a record is added, every entry whose data starts inside the grown
// directory leaves it.
Step MakeRoomForRecord(ImportBatch& batch, const std::string& path) {
    DirectoryTable& table = batch.archive.table;
    const int64_t directoryEnd = Version2RecordPosition(table.count);
    while (table.count > 0 &&
           SectorToByte(EntryAt(table, OrderPosition(0)).offset) < directoryEnd + RecordSize) {
        if (Step step = RelocateFirstEntry(batch, directoryEnd, path); step != Step::Done) {
            return step;
        }
    }
    return Step::Done;
}

// The file's bytes at `target`, with the zero tail; refused when they would pass the limit.
Step WriteSource(ImportBatch& batch, File& source, const std::string& path, int64_t byteCount,
                 int64_t target) {
    if (!FitsInArchive(target, SectorsFor(byteCount))) {
        return RefuseTooLarge(batch, path);
    }
    CopyIntoArchive(batch, source, byteCount, target);
    return batch.io.Failed() ? Step::IoFailure : Step::Done;
}

Step ImportIntoVersion2(ImportBatch& batch, File& source, const std::string& path,
                        const AnsiString& name, int64_t byteCount, int64_t sectors) {
    DirectoryTable& table = batch.archive.table;
    File& data = batch.archive.data;
    const OrderPosition pos = FindEntryByName(table, name);
    if (pos != NoPosition) {
        // Never over the header and records, even where a damaged directory puts entries.
        const int64_t target =
            FindFreeGapFrom(table, sectors, SectorsFor(Version2RecordPosition(table.count)));
        if (Step step = WriteSource(batch, source, path, byteCount, target); step != Step::Done) {
            return step;
        }
        const EntryIndex e = IndexAt(table, pos);
        RecordBytes record =
            EncodeRecord({static_cast<int32_t>(target), static_cast<int32_t>(sectors), {}});
        if (!data.WriteAt(Version2RecordPosition(e.value), record.data(), 8)) {
            return Step::IoFailure;
        }
        PlaceEntry(table, pos, static_cast<int32_t>(target), static_cast<int32_t>(sectors));
        ++batch.replacedCount;
        return Step::Done;
    }

    if (Step step = MakeRoomForRecord(batch, path); step != Step::Done) {
        return step;
    }
    const int64_t target =
        FindFreeGapFrom(table, sectors, SectorsFor(Version2RecordPosition(table.count + 1)));
    if (Step step = WriteSource(batch, source, path, byteCount, target); step != Step::Done) {
        return step;
    }
    RecordBytes record =
        EncodeRecord({static_cast<int32_t>(target), static_cast<int32_t>(sectors), name});
    if (!data.WriteAt(Version2RecordPosition(table.count), record.data(), record.size())) {
        return Step::IoFailure;
    }
    AddEntry(table, static_cast<int32_t>(target), static_cast<int32_t>(sectors), name);
    unsigned char count[4];
    PutLE32(count, static_cast<uint32_t>(table.count));
    if (!data.WriteAt(4, count, sizeof count)) {
        return Step::IoFailure;
    }
    ++batch.addedCount;
    return Step::Done;
}

Step ImportIntoVersion1(ImportBatch& batch, File& source, const std::string& path,
                        const AnsiString& name, int64_t byteCount, int64_t sectors) {
    DirectoryTable& table = batch.archive.table;
    int64_t target;
    if (table.count == 0 || EntryAt(table, OrderPosition(0)).offset >= sectors) {
        target = 0;
    } else {
        target = FindFreeGapFrom(table, sectors, 0);
    }
    if (Step step = WriteSource(batch, source, path, byteCount, target); step != Step::Done) {
        return step;
    }

    const OrderPosition pos = FindEntryByName(table, name);
    const bool replacing = pos != NoPosition;
    const EntryIndex e = replacing ? IndexAt(table, pos) : EntryIndex(table.count);
    // A replacement rewrites offset and size only: the stored name keeps its case.
    RecordBytes record =
        EncodeRecord({static_cast<int32_t>(target), static_cast<int32_t>(sectors), name});
    if (!batch.archive.directory.WriteAt(int64_t{RecordSize} * e.value, record.data(),
                                         replacing ? 8 : record.size())) {
        return Step::IoFailure;
    }
    if (replacing) {
        PlaceEntry(table, pos, static_cast<int32_t>(target), static_cast<int32_t>(sectors));
        ++batch.replacedCount;
    } else {
        AddEntry(table, static_cast<int32_t>(target), static_cast<int32_t>(sectors), name);
        ++batch.addedCount;
    }
    return Step::Done;
}

Step ImportOne(ImportBatch& batch, const std::string& path) {
    DirectoryTable& table = batch.archive.table;
    if (table.Capacity() == table.count) {
        GrowTable(table);
    }
    AnsiString name;
    if (!Utf8ToAnsi(FileNamePart(path), name)) {
        ShowBox(batch.boxes,
                "Имя файла нельзя записать в IMG архив: в нём есть знаки вне кодировки "
                "Windows-1251\n\n" +
                    path,
                MessageIcon::Warning);
        return Step::Skipped;
    }
    File source = File::Open(path, OpenMode::ReadShared, batch.io);
    if (!source.IsOpen()) {
        ReportSourceOpenFailure(batch.boxes, path, batch.io.lastError);
        return Step::Skipped;
    }
    batch.io.Clear();

    int64_t byteCount = 0;
    source.Size(byteCount);
    if (byteCount >= ArchiveByteLimit) {
        ShowBox(batch.boxes, "Файл больше 2 ГБ и не может быть записан в IMG архив: \n\n" + path,
                MessageIcon::Error);
        return Step::Refused;
    }
    const int64_t sectors = SectorsFor(byteCount);
    return table.IsVersion2() ? ImportIntoVersion2(batch, source, path, name, byteCount, sectors)
                              : ImportIntoVersion1(batch, source, path, name, byteCount, sectors);
}

// What is written must be on the disk before anyone is told so.
bool FlushArchive(ImportBatch& batch) {
    bool ok = batch.archive.data.Sync();
    if (batch.archive.directory.IsOpen()) {
        ok = batch.archive.directory.Sync() && ok;
    }
    return ok;
}

}  // namespace

ImportOutcome ImportFiles(const std::string& archivePath, const std::vector<std::string>& paths,
                          MessageBoxes& boxes, const ImportCallbacks& callbacks, IoState& io) {
    ImportOutcome outcome;
    std::optional<OpenArchive> archive = LoadDirectory(archivePath, true, io, boxes);
    if (!archive) {
        return outcome;
    }
    outcome.loaded = true;
    ImportBatch batch{std::move(*archive), boxes, io};
    auto progress = [&](size_t position) {
        if (callbacks.setProgress) {
            callbacks.setProgress(static_cast<int>(position));
        }
    };

    for (size_t i = 0; i < paths.size(); ++i) {
        progress(i);
        const int replacedBefore = batch.replacedCount;
        Step step = ImportOne(batch, paths[i]);
        if (step == Step::IoFailure || step == Step::Refused) {
            if (step == Step::IoFailure) {
                ReportIoFailure(boxes, io.lastError);
            }
            FlushArchive(batch);
            outcome.replacedCount = batch.replacedCount;
            outcome.addedCount = batch.addedCount;
            return outcome;
        }
        if (step == Step::Skipped) {
            ++outcome.skippedCount;
        }
        if (step == Step::Done && callbacks.removeFromImportList) {
            callbacks.removeFromImportList(paths[i], batch.replacedCount > replacedBefore
                                                         ? ImportKind::Replaced
                                                         : ImportKind::Added);
        }
    }
    progress(paths.size());
    outcome.replacedCount = batch.replacedCount;
    outcome.addedCount = batch.addedCount;
    if (!FlushArchive(batch)) {
        ReportIoFailure(boxes, io.lastError);
        return outcome;
    }
    batch.archive.directory.Close();
    batch.archive.data.Close();
    ShowBox(boxes,
            "Завершено\n\nЗаменено: " + std::to_string(batch.replacedCount) +
                "\nДобавлено: " + std::to_string(batch.addedCount),
            MessageIcon::Information);
    outcome.completed = true;
    return outcome;
}

}  // namespace zarnex
