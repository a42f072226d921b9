// The extraction batch: copies the archive's entry of every listed name out to a folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive/batch.h"
#include "archive/lookup.h"
#include "archive/messages.h"
#include "platform/file.h"

namespace zarnex {

constexpr int32_t ExtractChunkSectors = 128;
// Below this many names each extracted file is flushed, then the folder; from it on, the whole
// file system holding the folder once. With 200 MiB that other programs wrote waiting on the
// disk, 8 files flushed each took 68 ms against 84 ms, 32 took 224 ms against 94 ms.
constexpr size_t ExtractFlushEachBelow = 16;

struct ExtractCallbacks {
    Progress progress;  // of the rows
    // The directory is loaded and the rows are about to be walked.
    std::function<void()> started;
    // A row's entry was written to `outPath` (with or without the warning); told after the
    // folder's flush, when the file is on the disk, before the summary.
    std::function<void(const std::string& name, const std::string& outPath)> extracted;
    // A row's name has no entry in the archive.
    std::function<void(const std::string& name)> notFound;
};

// Done of total: files written whole, the warned ones included, of the rows. Cancelled at a
// question: not run.
struct ExtractOutcome : BatchOutcome {
    bool loaded = false;
    int warnedCount = 0;   // written, but the archive ended inside the entry: zeros in place
    int skippedCount = 0;  // answered No, refused, not created, or not written
    int notFoundCount = 0;
    int endRow = 0;  // the row count after a full run, the cancelled row's index otherwise
};

// `rows` name the entries in list order; `folder` is the chosen folder.
ExtractOutcome ExtractEntries(const std::string& archivePath, const std::string& folder,
                              const std::vector<EntryChoice>& rows, MessageBoxes& boxes,
                              const ExtractCallbacks& callbacks, IoState& io);
// The same, the rows named by their file names (UTF-8).
ExtractOutcome ExtractFiles(const std::string& archivePath, const std::string& folder,
                            const std::vector<std::string>& names, MessageBoxes& boxes,
                            const ExtractCallbacks& callbacks, IoState& io);

// "dd.mm.yyyy  hh:mm:ss" of a time in seconds since 1970, on the user's clock.
std::string FormatFileTime(int64_t secondsSince1970);

}  // namespace zarnex
