#include "archive/writing.h"

#include <algorithm>

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

bool WriteNewRecords(OpenArchive& archive, int32_t from) {
    const DirectoryTable& table = archive.table;
    if (table.count == from) {
        return true;
    }
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(table.count - from) * RecordSize);
    for (int32_t e = from; e < table.count; ++e) {
        const DirectoryEntry& entry = EntryOf(table, EntryIndex(e));
        const RecordBytes record = EncodeRecord({entry.offset, entry.size, entry.name});
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return RecordFile(archive).WriteAt(RecordPosition(table, from), bytes.data(), bytes.size());
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
    const bool grown = table.count > pending.committedCount;
    if (version2 && !WriteNewRecords(archive, pending.committedCount)) {
        return false;
    }
    if (!archive.data.Sync()) {
        return false;
    }
    for (EntryIndex e : pending.changed) {
        const DirectoryEntry& entry = EntryOf(table, e);
        // Offset and size only: the stored name keeps its bytes.
        const RecordBytes record = EncodeRecord({entry.offset, entry.size, {}});
        if (!RecordFile(archive).WriteAt(RecordPosition(table, e.value), record.data(), 8)) {
            return false;
        }
    }
    if (version2 && grown && !WriteRecordCount(archive, table.count)) {
        return false;
    }
    if (!version2 && !WriteNewRecords(archive, pending.committedCount)) {
        return false;
    }
    if (!RecordFile(archive).Sync()) {
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
