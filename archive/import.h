// The import batch: writes every listed file into an archive, replacing entries of the same
// name and adding the others.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/messagebox.h"

namespace zarnex {

struct ImportCallbacks {
    std::function<void(int position)> setProgress;
    // Called with the full path of each file once it is in the archive.
    std::function<void(const std::string& path)> removeFromImportList;
};

struct ImportOutcome {
    bool completed = false;  // the summary was shown
    int replacedCount = 0;
    int addedCount = 0;
};

constexpr size_t CopyPieceBytes = 262144;

// `paths` are full UTF-8 paths in list order.
ImportOutcome ImportFiles(const std::string& archivePath, const std::vector<std::string>& paths,
                          MessageBoxes& boxes, const ImportCallbacks& callbacks, IoState& io);

}  // namespace zarnex
