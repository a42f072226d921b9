// The rollback journal: a change to an archive's directory that a power cut leaves whole or
// undoes, even when the disk keeps only some sectors of an interrupted write.
//
// Before the first byte of the directory changes, "NAME.img.zj" beside the archive holds the
// bytes that every write of the change will cover, the ".dir" length before it (version 1), what
// the archive was (the data file's length and a hash of the whole directory) and a checksum over
// all of it. The journal and its folder are flushed, then the change is written and flushed,
// then the journal is removed and its folder flushed. A journal found beside an archive is:
// - torn (its checksum fails): written only in part, so nothing was changed yet;
// - pending: whole, and the directory with its bytes put back is the one it was made from;
// - foreign: whole, but from another archive or another state of this one. Putting its bytes
//   back would write over something it never saw, so nobody writes the archive until the user
//   removes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/directory.h"
#include "archive/messages.h"
#include "platform/file.h"

namespace zarnex {

std::string JournalPath(const std::string& archivePath);

// What a disk writes as one: a write that a power cut interrupts may keep some of these pieces
// of it and lose others.
constexpr int64_t DiskSectorBytes = 512;

// The file of an archive a region lies in.
enum class ArchivePart : uint8_t { Data, Directory };

struct JournalRegion {
    ArchivePart part = ArchivePart::Data;
    int64_t position = 0;
    std::vector<unsigned char> bytes;  // as they were before the change

    int64_t End() const { return position + static_cast<int64_t>(bytes.size()); }
};

struct Journal {
    int64_t dataLength = 0;              // no journaled change alters it
    int64_t directoryLength = -1;        // version 1: the ".dir" length before the change
    uint64_t directoryHash = 0;          // of the directory before the change
    std::vector<JournalRegion> regions;  // by part and position, apart from each other

    // Overwrites the part of `bytes` (read at `position` of `part`) that a region covers.
    void Patch(ArchivePart part, int64_t position, unsigned char* bytes, size_t n) const;
};

std::vector<unsigned char> EncodeJournal(const Journal& journal);

enum class JournalForm {
    Whole,
    Torn,       // short, or the checksum fails
    Malformed,  // the checksum holds, but not over anything a batch writes
};
JournalForm DecodeJournal(const unsigned char* bytes, size_t n, Journal& journal);

enum class JournalState { None, Torn, Pending, Foreign, Unreadable };

struct JournalFinding {
    JournalState state = JournalState::None;
    Journal journal;  // Pending: what puts the directory back
    int code = 0;     // Unreadable: why
};

// The journal beside an archive whose files are open and whose version is known; reads only.
JournalFinding FindJournal(OpenArchive& archive, IoState& io);

// The pending journal's view of `part` for loading: n bytes at `position`, zeros past the end of
// the file up to the length the journal gives the part, with the regions put back. False when
// the bytes are not all there.
bool ReadBack(File& file, const Journal* journal, ArchivePart part, int64_t position,
              unsigned char* bytes, size_t n);

// Before a batch writes: a pending journal is rolled back and a torn one removed, each flushed;
// a foreign or unreadable one stops the batch with a box. False when the batch may not go on.
bool SettleJournal(const JournalFinding& finding, OpenArchive& archive, IoState& io,
                   MessageBoxes& boxes);

// What became of a journaled change.
enum class ChangeOutcome {
    Done,         // on the disk for good
    Undone,       // the archive is as it was and no journal is left
    Waiting,      // stopped part-way; the journal puts the archive back when it is next written
    Unconfirmed,  // made, but the journal's removal was not made sure of: a cut may undo it whole
};

struct ChangeResult {
    ChangeOutcome outcome = ChangeOutcome::Done;
    int code = 0;  // the failure, when there was one
};

// The journal file of a batch that makes one change after another: made (with its folder's
// flush) for the first, written over in place for the next, and emptied and flushed when each
// is done instead of removed. An empty journal is a torn one, which readers pass over and the
// next writing batch removes; a file made and removed for every change costs the file system
// more than the change when many files were removed beside it shortly before.
struct KeptJournal {
    File file;  // open while it is emptied and flushed, or being written over
};

// The batch's emptied journal removed, before the batch lets the archive go; a journal that
// must stay (a change stopped part-way) is not open and stays.
void RemoveKeptJournal(OpenArchive& archive, KeptJournal& kept);

// A batch's writes to the directory of an archive it holds open for writing, made together
// under a journal: whatever a power cut leaves, loading finds all of them or none.
class DirectoryChange {
  public:
    // With `kept`, the journal is the batch's kept one.
    explicit DirectoryChange(OpenArchive& archive, KeptJournal* kept = nullptr)
        : archive_(archive), kept_(kept) {}

    // Bytes for the record file (the data file in version 2, the ".dir" in version 1), apart
    // from every other write of the change; in version 1 also past the end of the ".dir".
    void Write(int64_t position, std::vector<unsigned char> bytes);
    // Version 1: the ".dir" ends at `length`, before any byte a write covers.
    void CutDirectory(int64_t length);

    // Four flushes, whatever the number of writes; none without writes. A kept journal takes
    // three, and its folder's flush only when it is made.
    ChangeResult Commit();

  private:
    bool MakeJournal(Journal& journal, IoState& io);
    ChangeResult Undo(const Journal& journal, const Folder& folder, int code, IoState& io);

    OpenArchive& archive_;
    KeptJournal* kept_;
    std::vector<JournalRegion> writes_;  // the new bytes
    int64_t cut_ = -1;
};

// Shown when a journaled change failed, by what became of it.
void ReportChangeFailure(MessageBoxes& boxes, const std::string& archivePath,
                         const ChangeResult& result);

}  // namespace zarnex
