#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace zarnex {

bool IsDiskFull(int code) {
    return code == ENOSPC || code == EDQUOT;
}

File::File(File&& other) noexcept : fd_(other.fd_), io_(other.io_) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        io_ = other.io_;
        other.fd_ = -1;
    }
    return *this;
}

File File::Open(const std::string& path, OpenMode mode, IoState& io) {
    File file;
    file.io_ = &io;
    if (file.Injected()) {
        return file;
    }
    int flags = O_CLOEXEC;
    int lock = LOCK_EX;
    switch (mode) {
        case OpenMode::ReadWriteExclusive:
            flags |= O_RDWR;
            break;
        case OpenMode::ReadShared:
            flags |= O_RDONLY;
            lock = LOCK_SH;
            break;
        case OpenMode::CreateNew:
            flags |= O_WRONLY | O_CREAT | O_EXCL;
            break;
        case OpenMode::CreateAlways:
            flags |= O_WRONLY | O_CREAT;
            break;
        case OpenMode::TruncateExisting:
            flags |= O_WRONLY;
            break;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        file.Fail(errno);
        return file;
    }
    file.fd_ = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        file.Fail(errno);
        file.Close();
        return file;
    }
    if (S_ISDIR(st.st_mode)) {
        file.Fail(EISDIR);
        file.Close();
        return file;
    }
    if (::flock(fd, lock | LOCK_NB) != 0) {
        file.Fail(errno);
        file.Close();
        return file;
    }
    // Emptying only once the lock is held, so a file another batch holds is never cut.
    if ((mode == OpenMode::CreateAlways || mode == OpenMode::TruncateExisting) &&
        ::ftruncate(fd, 0) != 0) {
        file.Fail(errno);
        file.Close();
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
    return true;
}

void File::Close() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing releases the lock
        fd_ = -1;
    }
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
