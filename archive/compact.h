// Closing every gap of an archive in place: the entries end up in one run, in the order of their
// data, and the data file is cut to its new end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/check.h"
#include "archive/messages.h"
#include "platform/file.h"

namespace zarnex {

struct CompactOutcome {
    bool loaded = false;     // the archive opened and its directory was read
    bool completed = false;  // every gap closed, the file cut, the summary shown
    int movedCount = 0;      // entries whose data moved
    int64_t bytesBefore = 0;
    int64_t bytesAfter = 0;
};

// Damage that compacting would spread, since it moves data by what the directory says: compact
// refuses an archive with any of it.
std::vector<DamageKind> DamageThatStopsCompacting(const std::vector<Problem>& problems);

// Refuses archives whose entries overlap, reach past the file's end or lie out of range, with a
// message that says so. At every moment every record names good bytes: an entry moves only into
// room that no record on disk names, and its record changes only once its data is flushed.
CompactOutcome CompactArchive(const std::string& path, MessageBoxes& boxes, IoState& io,
                              const std::function<void(int done, int total)>& progress = {});

}  // namespace zarnex
