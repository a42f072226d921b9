// The import batch: writes every listed file into an archive, replacing entries of the same
// name and adding the others.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive/batch.h"
#include "archive/messages.h"
#include "archive/writing.h"
#include "platform/file.h"

namespace zarnex {

enum class ImportKind { Replaced, Added };

struct ImportCallbacks {
    Progress progress;  // of the listed files
    // Called with the full path of each file once its record is on the disk.
    std::function<void(const std::string& path, ImportKind kind)> removeFromImportList;
};

// Done of total: files whose records are on the disk, of those listed.
struct ImportOutcome : BatchOutcome {
    bool loaded = false;  // the archive opened and its directory was read
    int replacedCount = 0;
    int addedCount = 0;
    int skippedCount = 0;  // files not written (not opened, name refused); their rows stay
};

// A group's files are committed together: their data flushed, then their records.
constexpr size_t ImportGroupFiles = 256;

// `paths` are full UTF-8 paths in list order.
ImportOutcome ImportFiles(const std::string& archivePath, const std::vector<std::string>& paths,
                          MessageBoxes& boxes, const ImportCallbacks& callbacks, IoState& io);

}  // namespace zarnex
