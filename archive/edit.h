// Deleting and renaming entries. Both change the directory in place, so that a power cut at any
// moment leaves every other entry named once, with its bytes where they were.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/messages.h"
#include "platform/codepage.h"
#include "platform/file.h"

namespace zarnex {

// An entry by its name, ignoring case: every entry of that name. A window that picked one record
// gives its index too: then only that record, and only while it still has that name.
struct EntryChoice {
    std::string name;  // UTF-8
    int32_t index = -1;
};

struct DeleteCallbacks {
    std::function<void(int done, int total)> progress;
    std::function<void(const std::string& name)> deleted;   // once its record is gone for good
    std::function<void(const std::string& name)> notFound;  // a choice that named no entry
};

struct DeleteOutcome {
    bool loaded = false;     // the archive opened and its directory was read
    bool completed = false;  // every chosen entry is gone and the summary was shown
    int deletedCount = 0;
    int notFoundCount = 0;
};

// The records of the chosen entries leave the directory; their sectors become free room. The last
// record takes each freed place, then the count shrinks past it.
DeleteOutcome DeleteEntries(const std::string& archivePath, const std::vector<EntryChoice>& chosen,
                            MessageBoxes& boxes, const DeleteCallbacks& callbacks, IoState& io);

enum class RenameStatus {
    NotRun,  // the archive did not open, or the write failed: the box said why
    Renamed,
    NotFound,  // no entry of that name (or the picked record has another name by now)
    Invalid,   // the new name cannot be an entry's name
    Taken,     // another entry has the new name, ignoring case
};

// Only the name field of that one record changes.
RenameStatus RenameEntry(const std::string& archivePath, const EntryChoice& entry,
                         const std::string& newName, MessageBoxes& boxes, IoState& io);

// The longest name a rename gives: one byte less than the field, so that a zero always ends it.
constexpr int32_t EntryNameLimit = 23;

}  // namespace zarnex
