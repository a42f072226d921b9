// How the batches change an archive so that a power cut at any moment damages no entry: data
// goes only where no record on disk points, and a commit flushes it before any record names it.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/directory.h"
#include "archive/journal.h"
#include "archive/placement.h"
#include "platform/file.h"

namespace zarnex {

constexpr size_t CopyPieceBytes = 262144;

// Writes `length` bytes at `to` of `target`: the first `sourceLength` of them read from `source`
// at `from` (zeros where it ends early), the rest zeros; without a source, zeros only. Stops at
// the first failure, which io.lastError then holds.
bool CopyPieces(File* source, int64_t from, int64_t sourceLength, File& target, int64_t to,
                int64_t length, std::vector<char>& buffer);

// Written data that the disk has not been asked to take yet. A batch starts the disk on it a
// slice at a time while it goes on, so that a commit's flush finds little left to wait for.
struct Unstarted {
    int64_t from = 0;
    int64_t to = 0;
};
constexpr int64_t WritebackSliceBytes = int64_t{1} << 20;

// Notes `length` bytes written at `pos` of `file`; once a slice has gathered, starts its writing.
void NoteWritten(Unstarted& unstarted, File& file, int64_t pos, int64_t length);

// What the table has and the directory on disk does not have yet.
struct PendingChanges {
    explicit PendingChanges(const DirectoryTable& table) : committedCount(table.count) {}

    int32_t committedCount;           // the records the directory on disk counts
    std::vector<EntryIndex> changed;  // counted entries whose offset or size the commit rewrites
    std::vector<uint8_t> isChanged;   // per entry
    ReservedRoom reserved;            // their places as the disk has them: taken until the commit
    KeptJournal journal;              // version 1: for the records a commit adds across a sector
};

// The counted record of `e` is about to get a new place or size. Call it before the table
// changes: the place the disk names stays taken until the commit.
void MarkChanged(PendingChanges& pending, const DirectoryTable& table, EntryIndex e);

// The directory on disk counts `count` records: the version-2 count is written, the version-1
// ".dir" cut or extended to that length. Not flushed.
bool WriteRecordCount(OpenArchive& archive, int32_t count);
// The same, flushed: records past `count` are gone for good.
bool CutRecordsTo(OpenArchive& archive, int32_t count);

// Makes the disk agree with the table: the data is flushed first (in version 2 with the new
// records, which stand beyond the count on disk where nothing reads them); then the changed
// records, the new ones in version 1, and the count; then a second flush. Version-1 records that
// cross a disk sector go in with the changed ones under a journal instead. Afterwards the old
// places are free. Nothing at all without changes. False on a failure (io.lastError), with the
// pending changes kept.
bool CommitChanges(OpenArchive& archive, PendingChanges& pending);

}  // namespace zarnex
