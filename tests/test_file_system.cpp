#include "tests/test_file_system.h"

#include "platform/paths.h"
#include "tests/codes.h"

namespace zarnex::test {

bool TestFileSystem::Injected() {
    ++operations;
    return failAt != 0 && (operations == failAt || (failOnward && operations > failAt));
}

int TestFileSystem::Open(const std::string& path, OpenMode mode, FileHandle& file, bool& created) {
    created = false;
    if (Injected()) {
        return failErrno;
    }
    const int code = real_.Open(path, mode, file, created);
    if (code == 0) {
        paths_[file] = path;
        if (created && observer) {
            observer->Created(path);
        }
    }
    return code;
}

int TestFileSystem::Remove(const std::string& path) {
    const int code = real_.Remove(path);
    if (code == 0 && observer) {
        observer->Removed(path);
    }
    return code;
}

int TestFileSystem::RemoveIn(FileHandle folder, const std::string& name) {
    const int code = real_.RemoveIn(folder, name);
    if (code == 0 && observer) {
        observer->Removed(JoinPath(paths_[folder], name));
    }
    if (code == 0 && afterRemoveIn) {
        afterRemoveIn(folder, name);
    }
    return code;
}

int TestFileSystem::SyncFolder(const std::string& folder) {
    if (Injected()) {
        return failErrno;
    }
    const int code = skipFlushes ? 0 : real_.SyncFolder(folder);
    if (code == 0 && observer) {
        observer->FolderFlushed(folder);
    }
    return code;
}

int TestFileSystem::OpenFolder(const std::string& path, FileHandle& folder) {
    const int code = real_.OpenFolder(path, folder);
    if (code == 0) {
        paths_[folder] = path;
    }
    return code;
}

int TestFileSystem::OpenIn(FileHandle folder, const std::string& name, OpenMode mode,
                           FileHandle& file, bool& created) {
    created = false;
    if (Injected()) {
        return failErrno;
    }
    const int code = real_.OpenIn(folder, name, mode, file, created);
    if (code == 0) {
        paths_[file] = JoinPath(paths_[folder], name);
        if (created && observer) {
            observer->Created(paths_[file]);
        }
    }
    return code;
}

int TestFileSystem::Claim(FileHandle file, OpenMode mode) {
    if (Injected()) {
        return failErrno;
    }
    const int code = real_.Claim(file, mode);
    if (code == 0 && EmptiesFile(mode) && observer) {
        observer->Resized(paths_[file], 0);
    }
    return code;
}

int TestFileSystem::Read(FileHandle file, int64_t pos, void* buffer, size_t n, size_t& got) {
    got = 0;
    return Injected() ? failErrno : real_.Read(file, pos, buffer, n, got);
}

int TestFileSystem::Write(FileHandle file, int64_t pos, const void* buffer, size_t n,
                          size_t& written) {
    written = 0;
    if (Injected()) {
        return failErrno;
    }
    if (writeBudget >= 0 && bytesWritten + static_cast<int64_t>(n) > writeBudget) {
        return DiskFull;
    }
    const int code = real_.Write(file, pos, buffer, n, written);
    bytesWritten += static_cast<int64_t>(written);
    if (written > 0 && observer) {
        observer->Written(paths_[file], pos, buffer, written);
    }
    return code;
}

int TestFileSystem::Size(FileHandle file, int64_t& size) {
    return Injected() ? failErrno : real_.Size(file, size);
}

int TestFileSystem::Resize(FileHandle file, int64_t size) {
    if (Injected()) {
        return failErrno;
    }
    const int code = real_.Resize(file, size);
    if (code == 0 && observer) {
        observer->Resized(paths_[file], size);
    }
    return code;
}

int TestFileSystem::Sync(FileHandle file) {
    if (Injected()) {
        return failErrno;
    }
    const int code = skipFlushes ? 0 : real_.Sync(file);
    if (code == 0 && observer) {
        observer->Flushed(paths_[file]);
    }
    return code;
}

int TestFileSystem::Close(FileHandle file) {
    const bool injected = Injected();
    const int code = real_.Close(file);
    paths_.erase(file);
    return injected ? failErrno : code;
}

int TestFileSystem::SyncFileSystem(const std::string& folder) {
    if (Injected()) {
        return failErrno;
    }
    const int code = real_.SyncFileSystem(folder);
    if (code == 0 && observer) {
        observer->Flushed(folder);
    }
    return code;
}

}  // namespace zarnex::test
