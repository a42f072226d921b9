// The file layer: positioned I/O and share modes over a file system that can be swapped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace zarnex {

enum class OpenMode {
    ReadWriteExclusive,  // existing file, read and write, nobody else may open it
    ReadShared,          // existing file, read only, others may read too
    CreateNew,           // write only, no sharing; fails if the file exists
    CreateAlways,        // write only, no sharing; an existing file is emptied
    TruncateExisting,    // write only, no sharing; the file must exist and is emptied
};

// An open file as its file system knows it: a descriptor, or a HANDLE on Windows.
using FileHandle = std::intptr_t;
constexpr FileHandle NoFile = -1;

// The modes under which an existing file is emptied.
constexpr bool EmptiesFile(OpenMode mode) {
    return mode == OpenMode::CreateAlways || mode == OpenMode::TruncateExisting;
}

// What stands at a name in a folder: the name itself, a link too, never what a link points to.
enum class NodeKind { Missing, File, Link, Folder, Other };
struct NodeInfo {
    NodeKind kind = NodeKind::Missing;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;  // since 1970-01-01 UTC
};

// What a File and the folder flushes ask of the system. Every operation returns 0 or the errno
// of its failure; the loops over interrupted calls and short transfers are the system's own.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Opens the path as the mode asks, without waiting for the other end of a pipe or device;
    // `created` tells whether this call made the file.
    virtual int Open(const std::string& path, OpenMode mode, FileHandle& file, bool& created) = 0;
    // After Open: refuses what is not a regular file (a folder with EISDIR, anything else with
    // EINVAL), takes the mode's share and only then empties the file when the mode asks. Where
    // the opening took the share and emptied already, only the refusal is left.
    virtual int Claim(FileHandle file, OpenMode mode) = 0;
    virtual int Remove(const std::string& path) = 0;
    // A folder held open, so that the names in it are taken as themselves: a file written there
    // never lands outside it through a link.
    virtual int OpenFolder(const std::string& path, FileHandle& folder) = 0;
    // Open for a name in a held folder, never through a link standing at the name: a link there
    // fails the opening (CreateNew fails with the code of an existing file).
    virtual int OpenIn(FileHandle folder, const std::string& name, OpenMode mode, FileHandle& file,
                       bool& created) = 0;
    virtual int LookIn(FileHandle folder, const std::string& name, NodeInfo& node) = 0;
    virtual int RemoveIn(FileHandle folder, const std::string& name) = 0;
    // `got` and `written` count what was transferred, also on a failure; a read gets fewer than
    // n bytes only at the end of the file.
    virtual int Read(FileHandle file, int64_t pos, void* buffer, size_t n, size_t& got) = 0;
    virtual int Write(FileHandle file, int64_t pos, const void* buffer, size_t n,
                      size_t& written) = 0;
    virtual int Size(FileHandle file, int64_t& size) = 0;
    virtual int Resize(FileHandle file, int64_t size) = 0;
    virtual int Sync(FileHandle file) = 0;
    virtual void StartWriteback(FileHandle file, int64_t pos, int64_t length) = 0;
    // The handle, of a file or a folder, is gone even when this fails.
    virtual int Close(FileHandle file) = 0;
    // Everything written to the file system that holds the folder; the names in the folder.
    virtual int SyncFileSystem(const std::string& folder) = 0;
    virtual int SyncFolder(const std::string& folder) = 0;
};

FileSystem& RealFileSystem();

// One per batch. Every failing file operation leaves its errno here; a batch clears it when a
// source file opens and examines it after each whole data move.
struct IoState {
    int lastError = 0;
    FileSystem* fileSystem = &RealFileSystem();

    bool Failed() const { return lastError != 0; }
    void Clear() { lastError = 0; }
};

bool IsDiskFull(int code);

// True where SyncFileSystem flushes the data of every file too (Linux's syncfs). Where it flushes
// only the folder's names (Windows), a batch that writes many files flushes each of them.
extern const bool SyncFileSystemFlushesFiles;

class Folder;

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
    // The same for a name in a held folder, never through a link at the name. `created` (if
    // given) tells whether the opening made the file.
    static File OpenIn(const Folder& folder, const std::string& name, OpenMode mode, IoState& io,
                       bool* created = nullptr);

    bool IsOpen() const { return handle_ != NoFile; }

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
    // Claims what the opening gave; a file the opening made goes again when that fails.
    static File Claimed(File file, OpenMode mode, bool created, const std::function<void()>& undo);
    // False, with the code in io.lastError, unless the code is 0.
    bool Done(int code);
    // Before a positioned transfer: open and a sane position.
    bool Begin(int64_t pos);

    FileHandle handle_ = NoFile;
    FileSystem* fs_ = nullptr;
    IoState* io_ = nullptr;
};

// A folder held open for the names in it: what stands at one, removing one, and files opened
// there as themselves (see File::OpenIn).
class Folder {
  public:
    Folder() = default;
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder();

    // On failure the result is not open and io.lastError holds the reason.
    static Folder Open(const std::string& path, IoState& io);
    bool IsOpen() const { return handle_ != NoFile; }
    // Missing when nothing is there, and when the system cannot tell (io.lastError says why).
    NodeInfo Look(const std::string& name) const;
    bool Remove(const std::string& name) const;

  private:
    friend class File;
    void Release();

    FileHandle handle_ = NoFile;
    FileSystem* fs_ = nullptr;
    IoState* io_ = nullptr;
};

// Flushes everything written to the file system that holds `folder`: file data and names.
bool SyncFileSystem(const std::string& folder, IoState& io);
// Flushes the names in `folder`, so that a file made there survives a power cut.
bool SyncFolder(const std::string& folder, IoState& io);

// Reads a stream to its end into `bytes`: standard input, a pipe or a device, which File does not
// open. More than `limit` bytes fail with ErrorTooLong; on any failure io.lastError holds the
// reason.
bool ReadStream(int descriptor, size_t limit, std::string& bytes, IoState& io);
// The same for the stream a path names. Opening it waits for a writer, as any reader of a pipe
// does.
bool ReadStream(const std::string& path, size_t limit, std::string& bytes, IoState& io);

// True for what is there but neither a regular file nor a folder: a pipe, a device, a socket.
bool IsStream(const std::string& path);
// True for an existing file; false for a folder or nothing.
bool FileExists(const std::string& path);
// What the path names, a link followed: Missing, File (a regular one), Folder or Other.
NodeKind PathKind(const std::string& path);
// Where a symbolic link (or on Windows a junction) at `path` leads, as a full path; the path
// itself when it is no link or leads nowhere.
std::string ResolveLink(const std::string& path);
bool FolderExists(const std::string& path);

struct FileInfo {
    int64_t size = 0;
    int64_t modifiedSeconds = 0;  // since 1970-01-01 UTC
};
bool ReadFileInfo(const std::string& path, FileInfo& info);

}  // namespace zarnex
