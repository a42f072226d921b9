#include "archive/import.h"

#include <algorithm>
#include <new>
#include <optional>

#include "archive/directory.h"
#include "archive/messages.h"
#include "archive/names.h"
#include "archive/placement.h"
#include "archive/writing.h"
#include "platform/paths.h"

namespace zarnex {
namespace {

enum class Step {
    Done,
    Skipped,    // the file's row stays; the batch goes on
    IoFailure,  // io.lastError says why; the batch stops
    Refused,    // the batch stops with `batch.refusal`
};

struct WrittenFile {
    std::string path;
    ImportKind kind;
};

// The batch writes in groups. Until a group commits, the directory on disk knows nothing of it,
// and a power cut loses the group's files but nothing older.
struct ImportBatch {
    ImportBatch(OpenArchive opened, MessageBoxes& b, IoState& i, const ImportCallbacks& c)
        : archive(std::move(opened)), boxes(b), io(i), callbacks(c), pending(archive.table) {}

    OpenArchive archive;
    MessageBoxes& boxes;
    IoState& io;
    const ImportCallbacks& callbacks;
    std::vector<char> buffer = std::vector<char>(CopyPieceBytes);
    std::optional<Message> refusal;
    PendingChanges pending;
    std::vector<WrittenFile> written;  // since the last commit
    Unstarted unstarted;
    int replacedCount = 0;
    int addedCount = 0;
    int64_t startBytes = 0;  // the data file's length before the batch
};

DirectoryTable& TableOf(ImportBatch& batch) {
    return batch.archive.table;
}

bool FitsInArchive(int64_t sector, int64_t sectors) {
    return sector >= 0 && sector + sectors <= ArchiveSectorLimit;
}

Step Refuse(ImportBatch& batch, Message message) {
    batch.refusal = std::move(message);
    return Step::Refused;
}

Step RefuseTooLarge(ImportBatch& batch, const std::string& path) {
    return Refuse(batch, {.id = MessageId::ArchiveFull, .path = path});
}

// Commits the group; only then do its files' rows leave the list.
bool Commit(ImportBatch& batch) {
    if (!CommitChanges(batch.archive, batch.pending)) {
        return false;
    }
    for (const WrittenFile& file : batch.written) {
        ++(file.kind == ImportKind::Replaced ? batch.replacedCount : batch.addedCount);
        if (batch.callbacks.removeFromImportList) {
            batch.callbacks.removeFromImportList(file.path, file.kind);
        }
    }
    batch.written.clear();
    return true;
}

// Version 2: moves the lowest entry out of the way of the growing directory. The copy is on the
// disk before the record names it, and the record before the old place is cleared; the moved
// entry's record goes out with the commit of the group, whose flushes these are.
Step RelocateFirstEntry(ImportBatch& batch, int64_t directoryEnd, const std::string& path) {
    DirectoryTable& table = TableOf(batch);
    const EntryIndex e0 = IndexAt(table, OrderPosition(0));
    const int32_t oldOffset = EntryOf(table, e0).offset;
    const int32_t size = EntryOf(table, e0).size;
    const int64_t floor = SectorsFor(directoryEnd + RecordSize);  // past the grown directory

    if (size <= 0) {
        // Nothing to copy: it only needs an offset past the directory.
        MarkChanged(batch.pending, table, e0);
        PlaceEntry(table, OrderPosition(0), static_cast<int32_t>(floor), size);
        return Step::Done;
    }
    const int64_t target = FindFreeRoom(table, batch.pending.reserved, size, floor);
    if (!FitsInArchive(target, size)) {
        return RefuseTooLarge(batch, path);
    }
    File& data = batch.archive.data;
    int64_t fileEnd = 0;
    if (!data.Size(fileEnd)) {
        return Step::IoFailure;
    }
    // Only what the file holds is copied; past its end the entry reads as zeros wherever it is.
    const int64_t from = SectorToByte(oldOffset);
    const int64_t to = SectorToByte(target);
    const int64_t length = SectorToByte(size);
    const int64_t held = std::clamp<int64_t>(fileEnd - from, 0, length);
    if (!CopyPieces(&data, from, held, data, to, std::min(length, std::max(held, fileEnd - to)),
                    batch.buffer)) {
        return Step::IoFailure;
    }
    MarkChanged(batch.pending, table, e0);
    PlaceEntry(table, OrderPosition(0), static_cast<int32_t>(target), size);
    if (!Commit(batch)) {
        return Step::IoFailure;
    }

    // Clear the old place, but never the records before it, the file past its end, nor the data
    // of any entry that a damaged archive has inside it.
    const int64_t clearFrom = std::max(from, Version2RecordPosition(table.count));
    int64_t clearTo = std::min(from + length, fileEnd);
    for (int32_t p = 0; p < table.count; ++p) {
        const DirectoryEntry& entry = EntryAt(table, OrderPosition(p));
        if (entry.size > 0 && SectorToByte(entry.offset) >= from) {
            clearTo = std::min(clearTo, SectorToByte(entry.offset));
            break;
        }
    }
    if (clearFrom < clearTo &&
        !CopyPieces(nullptr, 0, 0, data, clearFrom, clearTo - clearFrom, batch.buffer)) {
        return Step::IoFailure;
    }
    return Step::Done;
}

// Version 2: before a record is added, every entry whose data starts inside the grown directory
// leaves it, and no uncommitted old place lies under the new record.
Step MakeRoomForRecord(ImportBatch& batch, const std::string& path) {
    DirectoryTable& table = TableOf(batch);
    const int64_t directoryEnd = Version2RecordPosition(table.count);
    const int64_t grownEnd = directoryEnd + RecordSize;
    if (!batch.pending.reserved.Empty() &&
        SectorToByte(batch.pending.reserved.LowestOffset()) < grownEnd && !Commit(batch)) {
        return Step::IoFailure;
    }
    while (table.count > 0 && SectorToByte(EntryAt(table, OrderPosition(0)).offset) < grownEnd) {
        if (Step step = RelocateFirstEntry(batch, directoryEnd, path); step != Step::Done) {
            return step;
        }
    }
    return Step::Done;
}

// The file's bytes at `target`, with the zero tail; refused when they would pass the limit.
Step WriteSource(ImportBatch& batch, File& source, const std::string& path, int64_t byteCount,
                 int64_t target) {
    const int64_t sectors = SectorsFor(byteCount);
    if (!FitsInArchive(target, sectors)) {
        return RefuseTooLarge(batch, path);
    }
    CopyPieces(&source, 0, byteCount, batch.archive.data, SectorToByte(target),
               SectorToByte(sectors), batch.buffer);
    NoteWritten(batch.unstarted, batch.archive.data, SectorToByte(target), SectorToByte(sectors));
    return batch.io.Failed() ? Step::IoFailure : Step::Done;
}

void Replace(ImportBatch& batch, OrderPosition pos, int64_t target, int64_t sectors,
             const std::string& path) {
    MarkChanged(batch.pending, TableOf(batch), IndexAt(TableOf(batch), pos));
    PlaceEntry(TableOf(batch), pos, static_cast<int32_t>(target), static_cast<int32_t>(sectors));
    batch.written.push_back({path, ImportKind::Replaced});
}

void Add(ImportBatch& batch, int64_t target, int64_t sectors, const AnsiString& name,
         const std::string& path) {
    AddEntry(TableOf(batch), static_cast<int32_t>(target), static_cast<int32_t>(sectors), name);
    batch.written.push_back({path, ImportKind::Added});
}

Step ImportIntoVersion2(ImportBatch& batch, File& source, const std::string& path,
                        const AnsiString& name, int64_t byteCount) {
    DirectoryTable& table = TableOf(batch);
    const int64_t sectors = SectorsFor(byteCount);
    const OrderPosition pos = FindEntryByName(table, name);
    if (pos != NoPosition) {
        // Never over the header and records, even where a damaged directory puts entries.
        const int64_t floor = SectorsFor(Version2RecordPosition(table.count));
        const int64_t target = FindFreeRoom(table, batch.pending.reserved, sectors, floor);
        if (Step step = WriteSource(batch, source, path, byteCount, target); step != Step::Done) {
            return step;
        }
        Replace(batch, pos, target, sectors, path);
        return Step::Done;
    }
    if (Step step = MakeRoomForRecord(batch, path); step != Step::Done) {
        return step;
    }
    const int64_t floor = SectorsFor(Version2RecordPosition(table.count + 1));
    const int64_t target = FindFreeRoom(table, batch.pending.reserved, sectors, floor);
    if (Step step = WriteSource(batch, source, path, byteCount, target); step != Step::Done) {
        return step;
    }
    Add(batch, target, sectors, name, path);
    return Step::Done;
}

Step ImportIntoVersion1(ImportBatch& batch, File& source, const std::string& path,
                        const AnsiString& name, int64_t byteCount) {
    DirectoryTable& table = TableOf(batch);
    const int64_t sectors = SectorsFor(byteCount);
    const int64_t lowest = table.count == 0
                               ? INT64_MAX
                               : std::min<int64_t>(EntryAt(table, OrderPosition(0)).offset,
                                                   batch.pending.reserved.LowestOffset());
    const int64_t target =
        lowest >= sectors ? 0 : FindFreeRoom(table, batch.pending.reserved, sectors, 0);
    if (Step step = WriteSource(batch, source, path, byteCount, target); step != Step::Done) {
        return step;
    }
    const OrderPosition pos = FindEntryByName(table, name);
    if (pos != NoPosition) {
        Replace(batch, pos, target, sectors, path);
    } else {
        Add(batch, target, sectors, name, path);
    }
    return Step::Done;
}

Step ImportOne(ImportBatch& batch, const std::string& path) {
    DirectoryTable& table = TableOf(batch);
    if (table.Capacity() == table.count) {
        GrowTable(table);
    }
    AnsiString name;
    if (!Utf8ToAnsi(FileNamePart(path), name)) {
        batch.boxes.Show({.id = MessageId::NameNotInCodePage, .path = path});
        return Step::Skipped;
    }
    if (name.size() > static_cast<size_t>(NameFieldSize)) {
        // Cut to the field, it would name another file: the next import would add it again.
        batch.boxes.Show({.id = MessageId::NameTooLong, .path = path, .limit = NameFieldSize});
        return Step::Skipped;
    }
    if (!IsValidEntryName(name, NameFieldSize)) {
        batch.boxes.Show({.id = MessageId::BadSourceName, .path = path});
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
        return Refuse(batch, {.id = MessageId::SourceTooLarge, .path = path});
    }
    return table.IsVersion2() ? ImportIntoVersion2(batch, source, path, name, byteCount)
                              : ImportIntoVersion1(batch, source, path, name, byteCount);
}

// The batch ends early: what was written before the failing file is committed first, so the
// directory agrees with it; the failing file's data, if any, is named by nothing.
void ErrorStop(ImportBatch& batch, Step step) {
    const int code = batch.io.lastError;
    const bool committed = Commit(batch);
    if (step == Step::Refused) {
        batch.boxes.Show(*batch.refusal);
        if (committed) {
            return;
        }
    }
    ReportIoFailure(batch.boxes, step == Step::IoFailure ? code : batch.io.lastError);
}

// After the error stop's box: the room the batch took past the data file's old end is given back
// where no record on disk may name it (a committed entry's data, or, after a commit that failed
// half-way, an uncommitted entry's or its old place), then what was done before the stop is said.
// A failing cut leaves only free room behind, which compact gives back later.
void Stopped(ImportBatch& batch) {
    RemoveKeptJournal(batch.archive, batch.pending.journal);
    const DirectoryTable& table = TableOf(batch);
    // A record that a full disk cut short is none; left there, it would make the archive one
    // that check calls damaged and no batch writes.
    int64_t directoryBytes = 0;
    if (!table.IsVersion2() && batch.archive.directory.Size(directoryBytes) &&
        directoryBytes % RecordSize != 0) {
        batch.archive.directory.Resize(directoryBytes - directoryBytes % RecordSize);
    }
    int64_t keep = std::max({batch.startBytes, SectorToByte(table.count > 0 ? table.endSector : 0),
                             SectorToByte(batch.pending.reserved.GreatestEnd())});
    if (table.IsVersion2()) {
        keep = std::max(keep, Version2RecordPosition(table.count));
    }
    int64_t size = 0;
    if (batch.archive.data.Size(size) && size > keep) {
        batch.archive.data.Resize(keep);
    }
    batch.boxes.Show({.id = MessageId::ImportStopped,
                      .replaced = batch.replacedCount,
                      .added = batch.addedCount});
}

ImportOutcome RunImport(ImportBatch& batch, const std::vector<std::string>& paths,
                        ImportOutcome& outcome) {
    auto progress = [&](size_t position) {
        if (batch.callbacks.progress) {
            batch.callbacks.progress(static_cast<int>(position), outcome.total);
        }
    };
    auto finish = [&](bool completed) {
        if (completed) {
            outcome.Ended(outcome.skippedCount == 0);
        }
        outcome.replacedCount = batch.replacedCount;
        outcome.addedCount = batch.addedCount;
        outcome.done = batch.replacedCount + batch.addedCount;
        return outcome;
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        progress(i);
        const Step step = ImportOne(batch, paths[i]);
        if (step == Step::IoFailure || step == Step::Refused) {
            outcome.error = step == Step::IoFailure ? batch.io.lastError : 0;
            ErrorStop(batch, step);
            Stopped(batch);
            return finish(false);
        }
        if (step == Step::Skipped) {
            ++outcome.skippedCount;
        }
        if (batch.written.size() >= ImportGroupFiles && !Commit(batch)) {
            outcome.error = batch.io.lastError;
            ReportIoFailure(batch.boxes, batch.io.lastError);
            Stopped(batch);
            return finish(false);
        }
    }
    progress(paths.size());
    if (!Commit(batch)) {
        outcome.error = batch.io.lastError;
        ReportIoFailure(batch.boxes, batch.io.lastError);
        Stopped(batch);
        return finish(false);
    }
    RemoveKeptJournal(batch.archive, batch.pending.journal);
    batch.archive.directory.Close();
    batch.archive.data.Close();
    batch.boxes.Show({.id = MessageId::ImportSummary,
                      .replaced = batch.replacedCount,
                      .added = batch.addedCount});
    return finish(true);
}

}  // namespace

ImportOutcome ImportFiles(const std::string& archivePath, const std::vector<std::string>& paths,
                          MessageBoxes& boxes, const ImportCallbacks& callbacks, IoState& io) {
    ImportOutcome outcome;
    outcome.total = static_cast<int>(paths.size());
    try {
        std::optional<OpenArchive> archive =
            OpenForWriting(archivePath, io, boxes, Writes::DataAndRecords, paths.size());
        if (!archive) {
            outcome.error = io.lastError;
            return outcome;
        }
        int64_t startBytes = 0;
        if (!archive->data.Size(startBytes)) {
            ReportArchiveOpenFailure(boxes, archivePath, io.lastError);
            outcome.error = io.lastError;
            return outcome;
        }
        outcome.loaded = true;
        PrepareForPlacing(archive->table, paths.size());
        ImportBatch batch(std::move(*archive), boxes, io, callbacks);
        batch.startBytes = startBytes;
        return RunImport(batch, paths, outcome);
    } catch (const std::bad_alloc&) {
        // Nothing on the disk names what the unfinished group wrote.
        ReportOutOfMemory(boxes);
        return outcome;
    }
}

}  // namespace zarnex
