#include "archive/writing.h"

#include <algorithm>

#include "archive/journal.h"

namespace zarnex {

bool CopyPieces(File* source, int64_t from, int64_t sourceLength, File& target, int64_t to,
                int64_t length, std::vector<char>& buffer) {
    buffer.resize(CopyPieceBytes);
    char* bytes = buffer.data();
    for (int64_t done = 0; done < length; done += CopyPieceBytes) {
        const auto piece = static_cast<size_t>(std::min<int64_t>(length - done, CopyPieceBytes));
        const auto wanted =
            static_cast<size_t>(std::clamp<int64_t>(sourceLength - done, 0, int64_t(piece)));
        size_t got = 0;
        if (wanted > 0 && !source->ReadAt(from + done, bytes, wanted, &got)) {
            return false;
        }
        std::fill(bytes + got, bytes + piece, 0);
        if (!target.WriteAt(to + done, bytes, piece)) {
            return false;
        }
    }
    return true;
}

void NoteWritten(Unstarted& unstarted, File& file, int64_t pos, int64_t length) {
    if (unstarted.to <= unstarted.from) {
        unstarted = {pos, pos + length};
    } else {
        unstarted.from = std::min(unstarted.from, pos);
        unstarted.to = std::max(unstarted.to, pos + length);
    }
    if (unstarted.to - unstarted.from >= WritebackSliceBytes) {
        file.StartWriteback(unstarted.from, unstarted.to - unstarted.from);
        unstarted = {};
    }
}

void MarkChanged(PendingChanges& pending, const DirectoryTable& table, EntryIndex e) {
    if (e.value >= pending.committedCount) {
        return;  // not counted yet: the commit writes it whole
    }
    if (pending.isChanged.size() <= static_cast<size_t>(e.value)) {
        pending.isChanged.resize(static_cast<size_t>(table.count), 0);
    }
    if (!pending.isChanged[static_cast<size_t>(e.value)]) {
        pending.isChanged[static_cast<size_t>(e.value)] = 1;
        pending.changed.push_back(e);
        const DirectoryEntry& entry = EntryOf(table, e);
        pending.reserved.Add(entry.offset, entry.size);
    }
}

namespace {

bool HasChanges(const PendingChanges& pending, const DirectoryTable& table) {
    return !pending.changed.empty() || table.count > pending.committedCount;
}

RecordBytes RecordOf(const DirectoryEntry& entry) {
    RecordBytes bytes{};
    PutLE32(bytes.data(), static_cast<uint32_t>(entry.offset));
    PutLE32(bytes.data() + 4, static_cast<uint32_t>(entry.size));
    std::copy(entry.field.begin(), entry.field.end(), bytes.begin() + 8);
    return bytes;
}

std::vector<unsigned char> NewRecords(const DirectoryTable& table, int32_t from) {
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(table.count - from) * RecordSize);
    for (int32_t e = from; e < table.count; ++e) {
        const RecordBytes record = RecordOf(EntryOf(table, EntryIndex(e)));
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

bool WriteNewRecords(OpenArchive& archive, int32_t from) {
    const DirectoryTable& table = archive.table;
    if (table.count == from) {
        return true;
    }
    const std::vector<unsigned char> bytes = NewRecords(table, from);
    return RecordFile(archive).WriteAt(RecordPosition(table, from), bytes.data(), bytes.size());
}

// The changed records' offsets and sizes (the stored names keep their bytes), the version-2
// count and the version-1 ".dir"'s new records, not flushed.
bool WriteChanges(OpenArchive& archive, const PendingChanges& pending) {
    const DirectoryTable& table = archive.table;
    for (EntryIndex e : pending.changed) {
        const RecordBytes record = RecordOf(EntryOf(table, e));
        if (!RecordFile(archive).WriteAt(RecordPosition(table, e.value), record.data(), 8)) {
            return false;
        }
    }
    if (table.IsVersion2()) {
        return table.count == pending.committedCount || WriteRecordCount(archive, table.count);
    }
    return WriteNewRecords(archive, pending.committedCount);
}

}  // namespace

bool WriteRecordCount(OpenArchive& archive, int32_t count) {
    if (!archive.table.IsVersion2()) {
        return archive.directory.Resize(int64_t{RecordSize} * count);
    }
    unsigned char bytes[4];
    PutLE32(bytes, static_cast<uint32_t>(count));
    return archive.data.WriteAt(4, bytes, sizeof bytes);
}

bool CutRecordsTo(OpenArchive& archive, int32_t count) {
    return WriteRecordCount(archive, count) && RecordFile(archive).Sync();
}

bool CommitChanges(OpenArchive& archive, PendingChanges& pending) {
    const DirectoryTable& table = archive.table;
    if (!HasChanges(pending, table)) {
        return true;  // the disk agrees already: no flush owed
    }
    const bool version2 = table.IsVersion2();
    if (version2 && !WriteNewRecords(archive, pending.committedCount)) {
        return false;
    }
    if (!archive.data.Sync()) {
        return false;
    }
    // Records a version-1 ".dir" gains across a sector boundary may reach the disk in part, with
    // the length and nothing but zeros before a kept piece: those go under a journal, which
    // cuts the ".dir" back to whole records.
    const int64_t grownFrom = RecordPosition(table, pending.committedCount);
    const int64_t grownTo = RecordPosition(table, table.count);
    if (!version2 && grownTo > grownFrom &&
        grownFrom / DiskSectorBytes != (grownTo - 1) / DiskSectorBytes) {
        DirectoryChange change(archive, &pending.journal);
        for (EntryIndex e : pending.changed) {
            const RecordBytes record = RecordOf(EntryOf(table, e));
            change.Write(RecordPosition(table, e.value), {record.begin(), record.begin() + 8});
        }
        change.Write(grownFrom, NewRecords(table, pending.committedCount));
        if (change.Commit().outcome != ChangeOutcome::Done) {
            return false;
        }
    } else if (!WriteChanges(archive, pending) || !RecordFile(archive).Sync()) {
        return false;
    }
    pending.committedCount = table.count;
    for (EntryIndex e : pending.changed) {
        pending.isChanged[static_cast<size_t>(e.value)] = 0;
    }
    pending.changed.clear();
    pending.reserved.Clear();
    return true;
}

}  // namespace zarnex
