// How an archive's file is used: what its entries hold, what gaps waste, and whether compacting
// would be worth it and would run.
#pragma once

#include <cstdint>

#include "archive/directory.h"

namespace zarnex {

struct ArchiveStatistics {
    int64_t fileBytes = 0;        // the data file, and a version-1 archive's ".dir"
    int64_t liveBytes = 0;        // the data file's sectors that entries name, each counted once
    int64_t wastedBytes = 0;      // the rest of the data file, past a version-2 directory
    bool compactRefused = false;  // check finds damage: compact, like every writing batch, refuses
    // Gaps waste more than a tenth of the file, and compact would close them.
    bool compactWorthwhile = false;
};

// `dataBytes` is the data file's length; `directoryBytes` the ".dir" length (version 1).
ArchiveStatistics MeasureArchive(const DirectoryTable& table, int64_t dataBytes,
                                 int64_t directoryBytes);

}  // namespace zarnex
