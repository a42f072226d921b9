#include "archive/compact.h"

#include <algorithm>
#include <new>
#include <optional>
#include <set>

#include "archive/check.h"
#include "archive/directory.h"
#include "archive/messages.h"
#include "archive/writing.h"

namespace zarnex {

std::vector<DamageKind> DamageThatStopsCompacting(const std::vector<Problem>& problems) {
    std::set<DamageKind> kinds;
    for (const Problem& problem : problems) {
        switch (problem.kind) {
            case ProblemKind::Overlap:
                kinds.insert(DamageKind::Overlap);
                break;
            case ProblemKind::PastEnd:
                kinds.insert(DamageKind::PastEnd);
                break;
            case ProblemKind::InsideDirectory:
                kinds.insert(DamageKind::InsideDirectory);
                break;
            case ProblemKind::NegativeOffset:
            case ProblemKind::NegativeSize:
            case ProblemKind::BeyondLimit:
                kinds.insert(DamageKind::OutOfRange);
                break;
            default:
                break;
        }
    }
    return {kinds.begin(), kinds.end()};
}

namespace {

struct CompactBatch {
    OpenArchive archive;
    MessageBoxes& boxes;
    IoState& io;
    PendingChanges pending;
    std::vector<char> buffer = std::vector<char>(CopyPieceBytes);
    Unstarted unstarted = {};
    int64_t dataEnd = 0;  // the end of the entry that ends last, before anything moved
};

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
Result CloseGaps(CompactBatch& batch, int64_t start, int& moved,
                 const std::function<void(int, int)>& progress) {
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
            !CommitChanges(batch.archive, batch.pending)) {
            return Result::IoFailure;
        }
        if (cursor + size > entry.offset) {
            // Past the end of every entry; a detour taken before is free once committed.
            if (!CommitChanges(batch.archive, batch.pending)) {
                return Result::IoFailure;
            }
            if (batch.dataEnd + size > ArchiveSectorLimit) {
                return Result::NoRoom;
            }
            if (!Move(batch, e, batch.dataEnd) || !CommitChanges(batch.archive, batch.pending)) {
                return Result::IoFailure;
            }
        }
        if (!Move(batch, e, cursor)) {
            return Result::IoFailure;
        }
        ++moved;
        cursor += size;
    }
    if (!CommitChanges(batch.archive, batch.pending)) {
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
                       const std::function<void(int, int)>& progress) {
    CompactOutcome outcome;
    std::optional<OpenArchive> archive = OpenForWriting(path, io, boxes);
    if (!archive) {
        return outcome;
    }
    outcome.loaded = true;
    int64_t directoryBytes = 0;
    if (!archive->data.Size(outcome.bytesBefore) ||
        (archive->directory.IsOpen() && !archive->directory.Size(directoryBytes))) {
        ReportArchiveOpenFailure(boxes, path, io.lastError);
        return outcome;
    }
    std::vector<DamageKind> damage =
        DamageThatStopsCompacting(CheckTable(archive->table, outcome.bytesBefore, directoryBytes));
    if (!damage.empty()) {
        boxes.Show({.id = MessageId::CompactDamaged, .path = path, .damage = std::move(damage)});
        return outcome;
    }
    const DirectoryTable& table = archive->table;
    const int64_t start = table.IsVersion2() ? SectorsFor(Version2RecordPosition(table.count)) : 0;
    CompactBatch batch{std::move(*archive), boxes, io, PendingChanges(table)};
    switch (CloseGaps(batch, start, outcome.movedCount, progress)) {
        case Result::IoFailure:
            ReportIoFailure(boxes, io.lastError);
            return outcome;
        case Result::NoRoom:
            CommitChanges(batch.archive, batch.pending);
            boxes.Show({.id = MessageId::CompactNoRoom, .path = path});
            return outcome;
        case Result::Done:
            break;
    }
    batch.archive.data.Size(outcome.bytesAfter);
    batch.archive.directory.Close();
    batch.archive.data.Close();
    outcome.completed = true;
    boxes.Show({.id = MessageId::CompactSummary,
                .moved = outcome.movedCount,
                .before = outcome.bytesBefore,
                .after = outcome.bytesAfter});
    return outcome;
}

}  // namespace

CompactOutcome CompactArchive(const std::string& path, MessageBoxes& boxes, IoState& io,
                              const std::function<void(int done, int total)>& progress) {
    try {
        return Compact(path, boxes, io, progress);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(boxes);  // nothing on disk names what was not committed
        return {};
    }
}

}  // namespace zarnex
