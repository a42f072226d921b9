// The file system that tests, fuzzers and benchmarks run batches on: the real one, with every
// operation numbered so that a chosen one fails, a budget of bytes, and an observer of changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "platform/file.h"

namespace zarnex::test {

// Told of every change that reaches a file, in order; tests rebuild what a power cut would
// leave from it.
class FileObserver {
  public:
    virtual ~FileObserver() = default;
    virtual void Written(const std::string& path, int64_t pos, const void* bytes, size_t n) = 0;
    virtual void Resized(const std::string& path, int64_t size) = 0;
    virtual void Flushed(const std::string& path) = 0;
    // Names in a folder: a file this file system made or removed, and a flush of the folder's
    // names, without which a power cut may undo either.
    virtual void Created(const std::string& /*path*/) {}
    virtual void Removed(const std::string& /*path*/) {}
    virtual void FolderFlushed(const std::string& /*folder*/) {}
};

class TestFileSystem final : public FileSystem {
  public:
    explicit TestFileSystem(FileSystem& real = RealFileSystem()) : real_(real) {}

    // Numbered from 1: an opening, the claim after it, every read, write, size, resize, sync
    // and close of a file, and a flush of a file system or of a folder's names. The one numbered
    // failAt fails with failErrno, without reaching the disk (a close still closes).
    long long operations = 0;
    long long failAt = 0;
    int failErrno = 0;
    bool failOnward = false;  // every operation after failAt fails too: a disk that died

    // Writes past this many bytes fail as on a full disk, writing nothing; negative: no limit.
    int64_t writeBudget = -1;
    int64_t bytesWritten = 0;

    FileObserver* observer = nullptr;
    // Flushes of files and folders succeed without reaching the disk: for checks that rebuild
    // thousands of disks a power cut may leave.
    bool skipFlushes = false;
    // Another program at work in the folder right after the batch removed a name from it.
    std::function<void(FileHandle folder, const std::string& name)> afterRemoveIn;

    int Open(const std::string& path, OpenMode mode, FileHandle& file, bool& created) override;
    int Claim(FileHandle file, OpenMode mode) override;
    int Remove(const std::string& path) override;
    int OpenFolder(const std::string& path, FileHandle& folder) override;
    // Numbered as an opening; LookIn and RemoveIn are not numbered.
    int OpenIn(FileHandle folder, const std::string& name, OpenMode mode, FileHandle& file,
               bool& created) override;
    int LookIn(FileHandle folder, const std::string& name, NodeInfo& node) override {
        return real_.LookIn(folder, name, node);
    }
    int RemoveIn(FileHandle folder, const std::string& name) override;
    int Read(FileHandle file, int64_t pos, void* buffer, size_t n, size_t& got) override;
    int Write(FileHandle file, int64_t pos, const void* buffer, size_t n, size_t& written) override;
    int Size(FileHandle file, int64_t& size) override;
    int Resize(FileHandle file, int64_t size) override;
    int Sync(FileHandle file) override;
    void StartWriteback(FileHandle file, int64_t pos, int64_t length) override {
        real_.StartWriteback(file, pos, length);
    }
    int Close(FileHandle file) override;
    int SyncFileSystem(const std::string& folder) override;
    int SyncFolder(const std::string& folder) override;

  private:
    // Counts the operation; true for the one that fails.
    bool Injected();

    FileSystem& real_;
    std::unordered_map<FileHandle, std::string> paths_;  // of the open files and folders
};

}  // namespace zarnex::test
