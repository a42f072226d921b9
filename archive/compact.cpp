#include "archive/compact.h"

#include <algorithm>
#include <new>
#include <optional>

#include "archive/directory.h"
#include "archive/messages.h"
#include "archive/names.h"
#include "archive/writing.h"

namespace zarnex {
namespace {

struct CompactBatch {
    OpenArchive archive;
    MessageBoxes& boxes;
    IoState& io;
    PendingChanges pending;
    const std::function<void(const std::string&)>& movedCallback;
    std::vector<char> buffer = std::vector<char>(CopyPieceBytes);
    Unstarted unstarted = {};
    int64_t dataEnd = 0;  // the end of the entry that ends last, before anything moved
    std::vector<EntryIndex> arriving = {};  // moved to their places, not committed yet
    int moved = 0;                          // entries whose move is on the disk
};

// The moves so far become durable; only then are they counted and told.
bool Commit(CompactBatch& batch) {
    if (!CommitChanges(batch.archive, batch.pending)) {
        return false;
    }
    for (EntryIndex e : batch.arriving) {
        ++batch.moved;
        if (batch.movedCallback) {
            batch.movedCallback(DisplayName(EntryOf(batch.archive.table, e).Name()));
        }
    }
    batch.arriving.clear();
    return true;
}

// The entry's data copied to `target` and its offset changed in the table; its place on the
// disk stays taken until the commit.
bool Move(CompactBatch& batch, EntryIndex e, int64_t target) {
    DirectoryEntry& entry = EntryOf(batch.archive.table, e);
    File& data = batch.archive.data;
    const int64_t length = SectorToByte(entry.size);
    if (!CopyPieces(&data, SectorToByte(entry.offset), length, data, SectorToByte(target), length,
                    batch.buffer)) {
        return false;
    }
    NoteWritten(batch.unstarted, data, SectorToByte(target), length);
    MarkChanged(batch.pending, batch.archive.table, e);
    MoveEntry(batch.archive.table, e, static_cast<int32_t>(target));
    return true;
}

enum class Result { Done, IoFailure, NoRoom };

// Slides every entry down to the end of the one before it, in the order of their data. A group
// of moves goes on until a target reaches a place the disk still names; an entry larger than
// the room before it first goes past the end of every entry, then back.
Result CloseGaps(CompactBatch& batch, int64_t start, const Progress& progress) {
    DirectoryTable& table = batch.archive.table;
    std::vector<EntryIndex> byOffset;
    for (int32_t i = 0; i < table.count; ++i) {
        byOffset.emplace_back(i);
        batch.dataEnd = std::max(batch.dataEnd, EntryEnd(table.entries[static_cast<size_t>(i)]));
    }
    std::stable_sort(byOffset.begin(), byOffset.end(), [&](EntryIndex a, EntryIndex b) {
        return EntryOf(table, a).offset < EntryOf(table, b).offset;
    });
    int64_t cursor = start;
    for (size_t k = 0; k < byOffset.size(); ++k) {
        if (progress) {
            progress(static_cast<int>(k), static_cast<int>(byOffset.size()));
        }
        const EntryIndex e = byOffset[k];
        DirectoryEntry& entry = EntryOf(table, e);
        const int64_t size = entry.size;
        if (entry.offset == cursor) {
            cursor += size;
            continue;
        }
        if (size == 0) {
            MarkChanged(batch.pending, table, e);  // no data: the record only
            MoveEntry(table, e, static_cast<int32_t>(cursor));
            continue;
        }
        if (batch.pending.reserved.FirstFit(cursor, cursor + size, size) != cursor &&
            !Commit(batch)) {
            return Result::IoFailure;
        }
        if (cursor + size > entry.offset) {
            // Past the end of every entry; a detour taken before is free once committed.
            if (!Commit(batch)) {
                return Result::IoFailure;
            }
            if (batch.dataEnd + size > ArchiveSectorLimit) {
                return Result::NoRoom;
            }
            if (!Move(batch, e, batch.dataEnd) || !Commit(batch)) {
                return Result::IoFailure;
            }
        }
        if (!Move(batch, e, cursor)) {
            return Result::IoFailure;
        }
        batch.arriving.push_back(e);
        cursor += size;
    }
    if (progress) {
        progress(static_cast<int>(byOffset.size()), static_cast<int>(byOffset.size()));
    }
    if (!Commit(batch)) {
        return Result::IoFailure;
    }
    // Nothing is named past the run any more.
    const int64_t end = table.IsVersion2()
                            ? std::max(SectorToByte(cursor), Version2RecordPosition(table.count))
                            : SectorToByte(cursor);
    int64_t size = 0;
    if (!batch.archive.data.Size(size) ||
        (size > end && (!batch.archive.data.Resize(end) || !batch.archive.data.Sync()))) {
        return Result::IoFailure;
    }
    return Result::Done;
}

CompactOutcome Compact(const std::string& path, MessageBoxes& boxes, IoState& io,
                       const Progress& progress,
                       const std::function<void(const std::string&)>& moved) {
    CompactOutcome outcome;
    std::optional<OpenArchive> archive = OpenForWriting(path, io, boxes);
    if (!archive) {
        outcome.error = io.lastError;
        return outcome;
    }
    if (!archive->data.Size(outcome.bytesBefore)) {
        ReportArchiveOpenFailure(boxes, path, io.lastError);
        outcome.error = io.lastError;
        return outcome;
    }
    const DirectoryTable& table = archive->table;
    outcome.total = table.count;
    const int64_t start = table.IsVersion2() ? SectorsFor(Version2RecordPosition(table.count)) : 0;
    CompactBatch batch{std::move(*archive), boxes, io, PendingChanges(table), moved};
    const Result result = CloseGaps(batch, start, progress);
    if (result == Result::IoFailure) {
        outcome.error = io.lastError;
        ReportIoFailure(boxes, io.lastError);
    } else if (result == Result::NoRoom) {
        Commit(batch);
        boxes.Show({.id = MessageId::CompactNoRoom, .path = path});
    }
    outcome.done = batch.moved;
    if (result != Result::Done) {
        boxes.Show({.id = MessageId::CompactStopped, .moved = outcome.done});
        return outcome;
    }
    batch.archive.data.Size(outcome.bytesAfter);
    batch.archive.directory.Close();
    batch.archive.data.Close();
    outcome.Ended(true);
    boxes.Show({.id = MessageId::CompactSummary,
                .moved = outcome.done,
                .before = outcome.bytesBefore,
                .after = outcome.bytesAfter});
    return outcome;
}

}  // namespace

CompactOutcome CompactArchive(const std::string& path, MessageBoxes& boxes, IoState& io,
                              const Progress& progress,
                              const std::function<void(const std::string& name)>& moved) {
    try {
        return Compact(path, boxes, io, progress, moved);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(boxes);  // nothing on disk names what was not committed
        return {};
    }
}

}  // namespace zarnex
