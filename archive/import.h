// The import batch: writes every listed file into an archive, replacing entries of the same
// name and adding the others.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive/messages.h"
#include "archive/writing.h"
#include "platform/file.h"

namespace zarnex {

enum class ImportKind { Replaced, Added };

struct ImportCallbacks {
    std::function<void(int position)> setProgress;
    // Called with the full path of each file once its record is on the disk.
    std::function<void(const std::string& path, ImportKind kind)> removeFromImportList;
};

struct ImportOutcome {
    bool loaded = false;     // the archive opened and its directory was read
    bool completed = false;  // the batch ran to its end and showed the summary
    int replacedCount = 0;   // files whose records are on the disk
    int addedCount = 0;
    int skippedCount = 0;  // files not written (not opened, name refused); their rows stay
};

// A group's files are committed together: their data flushed, then their records.
constexpr size_t ImportGroupFiles = 256;

// `paths` are full UTF-8 paths in list order.
ImportOutcome ImportFiles(const std::string& archivePath, const std::vector<std::string>& paths,
                          MessageBoxes& boxes, const ImportCallbacks& callbacks, IoState& io);

}  // namespace zarnex
