#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <utility>

namespace zarnex {

bool IsDiskFull(int code) {
    return code == ENOSPC || code == EDQUOT;
}

File::File(File&& other) noexcept : fd_(other.fd_), io_(other.io_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        io_ = other.io_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

namespace {

int OpenRetrying(const std::string& path, int flags) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens the path as the mode asks; `created` tells whether this call made the file.
int OpenPath(const std::string& path, OpenMode mode, bool& created) {
    // Non-blocking, so that a pipe or device never holds the batch: it is refused right after.
    const int base = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    created = false;
    switch (mode) {
        case OpenMode::ReadWriteExclusive:
            return OpenRetrying(path, base | O_RDWR);
        case OpenMode::ReadShared:
            return OpenRetrying(path, base | O_RDONLY);
        case OpenMode::TruncateExisting:
            return OpenRetrying(path, base | O_WRONLY);
        case OpenMode::CreateNew:
            created = true;
            return OpenRetrying(path, base | O_WRONLY | O_CREAT | O_EXCL);
        case OpenMode::CreateAlways:
            break;
    }
    // Either it is new, or it was there: told apart so that a failed opening removes only what
    // it made.
    for (;;) {
        int fd = OpenRetrying(path, base | O_WRONLY | O_CREAT | O_EXCL);
        if (fd >= 0 || errno != EEXIST) {
            created = fd >= 0;
            return fd;
        }
        fd = OpenRetrying(path, base | O_WRONLY);
        if (fd >= 0 || errno != ENOENT) {
            return fd;
        }
    }
}

}  // namespace

File File::Open(const std::string& path, OpenMode mode, IoState& io) {
    File file;
    file.io_ = &io;
    file.path_ = path;
    if (file.Injected()) {
        return file;
    }
    bool created = false;
    const int fd = OpenPath(path, mode, created);
    if (fd < 0) {
        file.Fail(errno);
        return file;
    }
    file.fd_ = fd;
    auto refuse = [&](int code) {
        file.Fail(code);
        file.Close();
        if (created) {
            ::unlink(path.c_str());
        }
        return std::move(file);
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return refuse(errno);
    }
    if (S_ISDIR(st.st_mode)) {
        return refuse(EISDIR);
    }
    if (!S_ISREG(st.st_mode)) {
        return refuse(EINVAL);
    }
    // The lock counts as an operation of its own, so that tests can fail it after a creation.
    if (file.Injected()) {
        return refuse(io.lastError);
    }
    const int lock = mode == OpenMode::ReadShared ? LOCK_SH : LOCK_EX;
    if (::flock(fd, lock | LOCK_NB) != 0) {
        return refuse(errno);
    }
    // Emptying only once the lock is held, so a file another batch holds is never cut.
    if (mode == OpenMode::CreateAlways || mode == OpenMode::TruncateExisting) {
        if (::ftruncate(fd, 0) != 0) {
            return refuse(errno);
        }
        if (io.observer) {
            io.observer->Resized(path, 0);
        }
    }
    return file;
}

bool File::Fail(int code) {
    if (io_) {
        io_->lastError = code;
    }
    return false;
}

bool File::Injected() {
    if (!io_) {
        return false;
    }
    ++io_->operations;
    if (io_->failAt != 0 && io_->operations == io_->failAt) {
        return !Fail(io_->failErrno);
    }
    return false;
}

bool File::Begin(int64_t pos) {
    if (fd_ < 0) {
        return Fail(EBADF);
    }
    if (Injected()) {
        return false;
    }
    return pos >= 0 || Fail(EINVAL);
}

bool File::ReadAt(int64_t pos, void* buffer, size_t n, size_t* got) {
    if (got) {
        *got = 0;
    }
    if (!Begin(pos)) {
        return false;
    }
    auto* bytes = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd_, bytes + done, n - done, static_cast<off_t>(pos + done));
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (got) {
                *got = done;
            }
            return Fail(errno);
        }
        if (r == 0) {
            break;
        }
        done += static_cast<size_t>(r);
    }
    if (got) {
        *got = done;
    }
    return true;
}

bool File::WriteAt(int64_t pos, const void* buffer, size_t n) {
    if (!Begin(pos)) {
        return false;
    }
    if (io_ && io_->writeBudget >= 0 &&
        io_->bytesWritten + static_cast<int64_t>(n) > io_->writeBudget) {
        return Fail(ENOSPC);
    }
    const auto* bytes = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::pwrite(fd_, bytes + done, n - done, static_cast<off_t>(pos + done));
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail(errno);
        }
        if (w == 0) {
            return Fail(EIO);
        }
        if (io_) {
            io_->bytesWritten += w;
            if (io_->observer) {
                io_->observer->Written(path_, pos + static_cast<int64_t>(done), bytes + done,
                                       static_cast<size_t>(w));
            }
        }
        done += static_cast<size_t>(w);
    }
    return true;
}

bool File::Size(int64_t& size) {
    size = 0;
    if (fd_ < 0) {
        return Fail(EBADF);
    }
    if (Injected()) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        return Fail(errno);
    }
    size = st.st_size;
    return true;
}

bool File::Resize(int64_t size) {
    if (!Begin(size)) {
        return false;
    }
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        return Fail(errno);
    }
    if (io_ && io_->observer) {
        io_->observer->Resized(path_, size);
    }
    return true;
}

bool File::Sync() {
    if (fd_ < 0) {
        return Fail(EBADF);
    }
    if (Injected()) {
        return false;
    }
    while (::fdatasync(fd_) != 0) {
        if (errno != EINTR) {
            return Fail(errno);
        }
    }
    if (io_ && io_->observer) {
        io_->observer->Flushed(path_);
    }
    return true;
}

void File::StartWriteback(int64_t pos, int64_t length) {
#ifdef SYNC_FILE_RANGE_WRITE
    if (fd_ >= 0 && pos >= 0 && length > 0) {
        ::sync_file_range(fd_, static_cast<off_t>(pos), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE);
    }
#else
    (void)pos;
    (void)length;
#endif
}

bool File::Close() {
    if (fd_ < 0) {
        return true;
    }
    // Closing releases the lock. The descriptor is gone even when close fails: never retried.
    const bool injected = Injected();
    const int result = ::close(fd_);
    fd_ = -1;
    if (injected) {
        return false;
    }
    if (result != 0 && errno != EINTR) {
        return Fail(errno);
    }
    return true;
}

namespace {

// Flushes through a descriptor of the folder: `flush` is syncfs or fsync.
bool FlushFolder(const std::string& folder, IoState& io, int (*flush)(int)) {
    const int fd = OpenRetrying(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        io.lastError = errno;
        return false;
    }
    const bool flushed = flush(fd) == 0;
    if (!flushed) {
        io.lastError = errno;
    }
    ::close(fd);
    return flushed;
}

}  // namespace

bool SyncFileSystem(const std::string& folder, IoState& io) {
    // An operation of its own for fault injection, like those of a File.
    ++io.operations;
    if (io.failAt != 0 && io.operations == io.failAt) {
        io.lastError = io.failErrno;
        return false;
    }
    const bool synced = FlushFolder(folder, io, ::syncfs);
    if (synced && io.observer) {
        io.observer->Flushed(folder);
    }
    return synced;
}

bool SyncFolder(const std::string& folder, IoState& io) {
    return FlushFolder(folder, io, ::fsync);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadFileInfo(const std::string& path, FileInfo& info) {
    info = FileInfo{};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    info.size = st.st_size;
    info.modifiedSeconds = st.st_mtim.tv_sec;
    return true;
}

}  // namespace zarnex
