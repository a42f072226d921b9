// The file layer: POSIX files with positioned I/O and advisory locks standing in for share modes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zarnex {

// Told of every change that reaches a file, in order; tests rebuild what a power cut would
// leave from it.
class FileObserver {
  public:
    virtual ~FileObserver() = default;
    virtual void Written(const std::string& path, int64_t pos, const void* bytes, size_t n) = 0;
    virtual void Resized(const std::string& path, int64_t size) = 0;
    virtual void Flushed(const std::string& path) = 0;
};

// One per batch. Every failing file operation leaves its errno here; a batch clears it when a
// source file opens and examines it after each whole data move.
struct IoState {
    int lastError = 0;

    // Fault injection for tests: the operation numbered failAt (1-based) fails with failErrno.
    long long operations = 0;
    long long failAt = 0;
    int failErrno = 0;

    // Writes past this many bytes fail as on a full disk; negative: no limit. Keeps a run on a
    // hostile archive from writing gigabytes.
    int64_t writeBudget = -1;
    int64_t bytesWritten = 0;

    FileObserver* observer = nullptr;

    bool Failed() const { return lastError != 0; }
    void Clear() { lastError = 0; }
};

bool IsDiskFull(int code);

enum class OpenMode {
    ReadWriteExclusive,  // existing file, read and write, nobody else may open it
    ReadShared,          // existing file, read only, others may read too
    CreateNew,           // write only, no sharing; fails if the file exists
    CreateAlways,        // write only, no sharing; an existing file is emptied
    TruncateExisting,    // write only, no sharing; the file must exist and is emptied
};

class File {
  public:
    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }

    // On failure the result is not open and io.lastError holds the reason. Only regular files
    // open (a folder fails with EISDIR, a pipe or device with EINVAL), and opening never waits
    // for a writer or reader at the other end. A file this call created is removed again when
    // the rest of the opening fails.
    static File Open(const std::string& path, OpenMode mode, IoState& io);

    bool IsOpen() const { return fd_ >= 0; }

    // Reads up to n bytes at pos; *got (if given) receives how many arrived, fewer at the end of
    // the file. False on failure.
    bool ReadAt(int64_t pos, void* buffer, size_t n, size_t* got = nullptr);
    bool WriteAt(int64_t pos, const void* buffer, size_t n);
    bool Size(int64_t& size);
    // Cuts or extends the file to `size` bytes; what is added reads as zeros and is not written.
    bool Resize(int64_t size);
    bool Sync();
    // Starts writing the range to the disk without waiting for it, so that a later Sync finds
    // less to do. Only a hint: nothing fails.
    void StartWriteback(int64_t pos, int64_t length);
    // False when the system reports a failure that surfaced only now (a delayed write error).
    bool Close();

  private:
    bool Fail(int code);
    bool Injected();
    // Before a positioned transfer: open, not failed by injection, a sane position.
    bool Begin(int64_t pos);

    int fd_ = -1;
    IoState* io_ = nullptr;
    std::string path_;
};

// Flushes everything written to the file system that holds `folder`: file data and names.
bool SyncFileSystem(const std::string& folder, IoState& io);
// Flushes the names in `folder`, so that a file made there survives a power cut.
bool SyncFolder(const std::string& folder, IoState& io);

// True for an existing file; false for a folder or nothing.
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

struct FileInfo {
    int64_t size = 0;
    int64_t modifiedSeconds = 0;  // since 1970-01-01 UTC
};
bool ReadFileInfo(const std::string& path, FileInfo& info);

}  // namespace zarnex
