// Files on POSIX: pread/pwrite at 64-bit positions, flock for the share modes.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

#include "platform/errors.h"
#include "platform/file.h"

namespace zarnex {

bool IsDiskFull(int code) {
    return code == ENOSPC || code == EDQUOT;
}

const bool SyncFileSystemFlushesFiles = true;

namespace {

int OpenRetrying(int folder, const std::string& path, int flags) {
    int fd;
    do {
        fd = ::openat(folder, path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int OpenRetrying(const std::string& path, int flags) {
    return OpenRetrying(AT_FDCWD, path, flags);
}

// Opens the path, relative to `folder`, as the mode asks; `created` tells whether this call made
// the file. `extra` goes into every open (O_NOFOLLOW).
int OpenPath(int folder, const std::string& path, OpenMode mode, int extra, bool& created) {
    // Non-blocking, so that a pipe or device never holds the batch: it is refused right after.
    const int base = O_CLOEXEC | O_NONBLOCK | O_NOCTTY | extra;
    created = false;
    const auto open = [&](int flags) { return OpenRetrying(folder, path, flags); };
    switch (mode) {
        case OpenMode::ReadWriteExclusive:
            return open(base | O_RDWR);
        case OpenMode::ReadShared:
            return open(base | O_RDONLY);
        case OpenMode::TruncateExisting:
            return open(base | O_WRONLY);
        case OpenMode::CreateNew:
            created = true;
            return open(base | O_WRONLY | O_CREAT | O_EXCL);
        case OpenMode::CreateAlways:
            break;
    }
    // Either it is new, or it was there: told apart so that a failed opening removes only what
    // it made. A link to nothing is there for the first and gone for the second: a few rounds,
    // not a spin.
    for (int round = 0;; ++round) {
        int fd = open(base | O_WRONLY | O_CREAT | O_EXCL);
        if (fd >= 0 || errno != EEXIST) {
            created = fd >= 0;
            return fd;
        }
        fd = open(base | O_WRONLY);
        if (fd >= 0 || errno != ENOENT || round == 3) {
            return fd;
        }
    }
}

// Flushes through a descriptor of the folder: `flush` is syncfs or fsync.
int FlushFolder(const std::string& folder, int (*flush)(int)) {
    const int fd = OpenRetrying(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int code = flush(fd) == 0 ? 0 : errno;
    ::close(fd);
    return code;
}

int Descriptor(FileHandle file) {
    return static_cast<int>(file);
}

class PosixFileSystem final : public FileSystem {
  public:
    int Open(const std::string& path, OpenMode mode, FileHandle& file, bool& created) override {
        const int fd = OpenPath(AT_FDCWD, path, mode, 0, created);
        if (fd < 0) {
            return errno;
        }
        file = fd;
        return 0;
    }

    int OpenFolder(const std::string& path, FileHandle& folder) override {
        const int fd = OpenRetrying(path.empty() ? "." : path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return errno;
        }
        folder = fd;
        return 0;
    }

    int OpenIn(FileHandle folder, const std::string& name, OpenMode mode, FileHandle& file,
               bool& created) override {
        // O_NOFOLLOW: a link at the name fails with ELOOP; with O_EXCL it is there, EEXIST.
        const int fd = OpenPath(Descriptor(folder), name, mode, O_NOFOLLOW, created);
        if (fd < 0) {
            return errno;
        }
        file = fd;
        return 0;
    }

    int LookIn(FileHandle folder, const std::string& name, NodeInfo& node) override {
        node = {};
        struct stat st {};
        if (::fstatat(Descriptor(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno == ENOENT ? 0 : errno;
        }
        node.kind = S_ISREG(st.st_mode)   ? NodeKind::File
                    : S_ISLNK(st.st_mode) ? NodeKind::Link
                    : S_ISDIR(st.st_mode) ? NodeKind::Folder
                                          : NodeKind::Other;
        node.size = st.st_size;
        node.modifiedSeconds = st.st_mtim.tv_sec;
        return 0;
    }

    int RemoveIn(FileHandle folder, const std::string& name) override {
        return ::unlinkat(Descriptor(folder), name.c_str(), 0) == 0 ? 0 : errno;
    }

    int Claim(FileHandle file, OpenMode mode) override {
        const int fd = Descriptor(file);
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            return errno;
        }
        if (S_ISDIR(st.st_mode)) {
            return EISDIR;
        }
        if (!S_ISREG(st.st_mode)) {
            return EINVAL;
        }
        const int lock = mode == OpenMode::ReadShared ? LOCK_SH : LOCK_EX;
        if (::flock(fd, lock | LOCK_NB) != 0) {
            return errno;
        }
        // Emptying only once the lock is held, so a file another batch holds is never cut.
        if (EmptiesFile(mode) && ::ftruncate(fd, 0) != 0) {
            return errno;
        }
        return 0;
    }

    int Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

    int Read(FileHandle file, int64_t pos, void* buffer, size_t n, size_t& got) override {
        auto* bytes = static_cast<char*>(buffer);
        got = 0;
        while (got < n) {
            const ssize_t r = ::pread(Descriptor(file), bytes + got, n - got,
                                      static_cast<off_t>(pos + static_cast<int64_t>(got)));
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            if (r == 0) {
                break;
            }
            got += static_cast<size_t>(r);
        }
        return 0;
    }

    int Write(FileHandle file, int64_t pos, const void* buffer, size_t n,
              size_t& written) override {
        const auto* bytes = static_cast<const char*>(buffer);
        written = 0;
        while (written < n) {
            const ssize_t w = ::pwrite(Descriptor(file), bytes + written, n - written,
                                       static_cast<off_t>(pos + static_cast<int64_t>(written)));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            if (w == 0) {
                return EIO;
            }
            written += static_cast<size_t>(w);
        }
        return 0;
    }

    int Size(FileHandle file, int64_t& size) override {
        struct stat st {};
        if (::fstat(Descriptor(file), &st) != 0) {
            return errno;
        }
        size = st.st_size;
        return 0;
    }

    int Resize(FileHandle file, int64_t size) override {
        return ::ftruncate(Descriptor(file), static_cast<off_t>(size)) == 0 ? 0 : errno;
    }

    int Sync(FileHandle file) override {
        while (::fdatasync(Descriptor(file)) != 0) {
            if (errno != EINTR) {
                return errno;
            }
        }
        return 0;
    }

    void StartWriteback(FileHandle file, int64_t pos, int64_t length) override {
#ifdef SYNC_FILE_RANGE_WRITE
        ::sync_file_range(Descriptor(file), static_cast<off_t>(pos), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE);
#else
        (void)file;
        (void)pos;
        (void)length;
#endif
    }

    int Close(FileHandle file) override {
        // EINTR: the descriptor is closed all the same.
        if (::close(Descriptor(file)) != 0 && errno != EINTR) {
            return errno;
        }
        return 0;
    }

    int SyncFileSystem(const std::string& folder) override {
        return FlushFolder(folder, ::syncfs);
    }
    int SyncFolder(const std::string& folder) override {
        return FlushFolder(folder, ::fsync);
    }
};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem system;
    return system;
}

bool ReadStream(int descriptor, size_t limit, std::string& bytes, IoState& io) {
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(descriptor, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            io.lastError = errno;
            return false;
        }
        if (n == 0) {
            return true;
        }
        if (static_cast<size_t>(n) > limit - bytes.size()) {
            io.lastError = ErrorTooLong;
            return false;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

bool ReadStream(const std::string& path, size_t limit, std::string& bytes, IoState& io) {
    const int fd = OpenRetrying(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        io.lastError = errno;
        return false;
    }
    const bool read = ReadStream(fd, limit, bytes, io);
    ::close(fd);
    return read;
}

bool IsStream(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

NodeKind PathKind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return NodeKind::Missing;
    }
    return S_ISREG(st.st_mode)   ? NodeKind::File
           : S_ISDIR(st.st_mode) ? NodeKind::Folder
                                 : NodeKind::Other;
}

std::string ResolveLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return path;
    }
    char* target = ::realpath(path.c_str(), nullptr);
    const std::string resolved = target ? target : path;
    std::free(target);
    return resolved;
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
