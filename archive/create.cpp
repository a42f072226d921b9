#include "archive/create.h"

#include <filesystem>
#include <vector>

#include "archive/format.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace zarnex {
namespace {

// Anything at all, a dangling link included: creating over it is as wrong as over a file.
bool Occupied(const std::string& path) {
    std::error_code ec;
    // The path is UTF-8 on every system.
    const std::filesystem::path at(std::u8string(path.begin(), path.end()));
    return std::filesystem::exists(std::filesystem::symlink_status(at, ec));
}

CreateOutcome Outcome(CreateStatus status, const std::string& path, int code) {
    CreateOutcome outcome;
    outcome.total = 1;
    outcome.error = code;
    outcome.status = status;
    outcome.path = path;
    if (status == CreateStatus::Created) {
        outcome.done = 1;
        outcome.Ended(true);
    }
    return outcome;
}

}  // namespace

CreateOutcome CreateArchive(const std::string& path, ArchiveVersion version, IoState& io) {
    std::vector<std::string> paths{path};
    if (version == ArchiveVersion::One) {
        const std::string directoryPath = DirectoryFilePath(path);
        if (directoryPath == path) {
            return Outcome(CreateStatus::DirectoryIsItself, path, 0);
        }
        paths.push_back(directoryPath);
    }
    // Both are looked at before either is made, so that a refusal leaves the disk as it was.
    for (const std::string& p : paths) {
        if (Occupied(p)) {
            return Outcome(CreateStatus::Exists, p, 0);
        }
    }

    std::vector<std::string> made;
    auto undo = [&](CreateStatus status, const std::string& p, int code) {
        for (const std::string& m : made) {
            io.fileSystem->Remove(m);
        }
        return Outcome(status, p, code);
    };
    for (const std::string& p : paths) {
        File file = File::Open(p, OpenMode::CreateNew, io);
        if (!file.IsOpen()) {
            // Someone made it since the look above.
            const bool raced = IsAlreadyThere(io.lastError);
            return undo(raced ? CreateStatus::Exists : CreateStatus::Failed, p,
                        raced ? 0 : io.lastError);
        }
        made.push_back(p);
        bool ok = true;
        if (version == ArchiveVersion::Two) {
            unsigned char header[Version2HeaderSize] = {};
            PutLE32(header, Version2Tag);
            ok = file.WriteAt(0, header, sizeof header);
        }
        // A created archive must survive a power cut whole: a version-2 file cut short would
        // read as version 1.
        ok = ok && file.Sync();
        ok = file.Close() && ok;
        if (!ok) {
            return undo(CreateStatus::Failed, p, io.lastError);
        }
    }
    // And its name: a file flushed into a folder whose entry is lost is lost too.
    if (!SyncFolder(FolderPart(path), io)) {
        return undo(CreateStatus::Failed, path, io.lastError);
    }
    return Outcome(CreateStatus::Created, path, 0);
}

}  // namespace zarnex
