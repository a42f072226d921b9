// A new, empty archive of either version.
#pragma once

#include <string>

#include "archive/batch.h"
#include "platform/file.h"

namespace zarnex {

enum class ArchiveVersion { One, Two };

enum class CreateStatus {
    Created,
    Exists,             // `path` names something that is already there; nothing was touched
    DirectoryIsItself,  // version 1: the path ends in ".dir", so the data file would be its own
                        // directory file
    Failed,             // `path` could not be made; `error` holds the system's code
};

// Done of total: 1 of 1 once created; not run otherwise, `path` naming the file at fault.
struct CreateOutcome : BatchOutcome {
    CreateStatus status = CreateStatus::Failed;
    std::string path;
};

// Version 1: an empty data file at `path` and an empty directory file at DirectoryFilePath(path).
// Version 2: the 8-byte header with a count of 0. Every file is flushed before Created is
// returned; on any failure the files this call made are removed again.
CreateOutcome CreateArchive(const std::string& path, ArchiveVersion version, IoState& io);

}  // namespace zarnex
