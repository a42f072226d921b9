// Deleting and renaming entries. Each batch changes the directory in place under a rollback
// journal, so that whatever a power cut leaves, the archive loads with all of its changes or
// none, every other entry named once with its bytes where they were.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/batch.h"
#include "archive/directory.h"
#include "archive/lookup.h"
#include "archive/messages.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace zarnex {

struct DeleteCallbacks {
    Progress progress;                                      // of the records leaving
    std::function<void(const std::string& name)> deleted;   // once the deletion is for good
    std::function<void(const std::string& name)> notFound;  // a choice that named no entry
};

// Done of total: the records gone for good, of those the choices named; none unless all, as a
// deletion is whole or not made.
struct DeleteOutcome : BatchOutcome {
    int notFoundCount = 0;  // choices that named no entry
};

// The records of the chosen entries leave the directory, all or none; their sectors become free
// room. Records past the new count fill the places freed below it (see PlanDeletion), and no
// entry's data moves.
DeleteOutcome DeleteEntries(const std::string& archivePath, const std::vector<EntryChoice>& chosen,
                            MessageBoxes& boxes, const DeleteCallbacks& callbacks, IoState& io);

struct RecordMove {
    int32_t from = 0;
    int32_t to = 0;
};

struct DeletionPlan {
    int32_t count = 0;  // the records that stay
    std::vector<RecordMove> moves;
};

// Where the records that stay go when those marked in `leaving` go: each one past the new count
// fills a freed place below it. Among records of one name ignoring case, the game reads the first
// in directory order; the places are chosen so that, for as many such names as any choice allows,
// the first that stays of each stays the first.
DeletionPlan PlanDeletion(const DirectoryTable& table, const std::vector<uint8_t>& leaving);

enum class RenameStatus {
    NotRun,  // the archive did not open, or the write failed: the box said why
    Renamed,
    NotFound,  // no entry of that name (or the picked record has another name by now)
    Invalid,   // the new name cannot be an entry's name
    Taken,     // another entry has the new name, ignoring case
};

// Done of total: 1 of 1 when renamed; anything else but NotRun ran to its end only partly.
struct RenameOutcome : BatchOutcome {
    RenameStatus status = RenameStatus::NotRun;
};
// Only the name field of that one record changes, whole or not at all.
RenameOutcome RenameEntry(const std::string& archivePath, const EntryChoice& entry,
                          const std::string& newName, MessageBoxes& boxes, IoState& io);

// The longest name a rename gives: one byte less than the field, so that a zero always ends it.
// A change of case only may keep a name of the whole field that an entry has already.
constexpr int32_t EntryNameLimit = 23;

}  // namespace zarnex
