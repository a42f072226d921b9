// Closing every gap of an archive in place: the entries end up in one run, in the order of their
// data, and the data file is cut to its new end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/batch.h"
#include "archive/messages.h"
#include "platform/file.h"

namespace zarnex {

// Done of total: entries whose data moved, their moves on the disk, of the archive's entries.
// Done once every gap is closed, the file cut and the summary shown.
struct CompactOutcome : BatchOutcome {
    int64_t bytesBefore = 0;
    int64_t bytesAfter = 0;
};

// Refuses a damaged archive (OpenForWriting), with a message that says so. At every moment every
// record names good bytes: an entry moves only into room that no record on disk names, and its
// record changes only once its data is flushed. `moved` is told each moved entry's name (as shown:
// DisplayName) once its move is on the disk. A stop says how many had moved by then.
CompactOutcome CompactArchive(const std::string& path, MessageBoxes& boxes, IoState& io,
                              const Progress& progress = {},
                              const std::function<void(const std::string& name)>& moved = {});

}  // namespace zarnex
