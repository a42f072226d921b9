#include "platform/file.h"

#include "platform/errors.h"

namespace zarnex {

namespace {

// True for success; otherwise the code becomes the last error.
bool Report(IoState& io, int code) {
    if (code != 0) {
        io.lastError = code;
    }
    return code == 0;
}

}  // namespace

File::File(File&& other) noexcept : handle_(other.handle_), fs_(other.fs_), io_(other.io_) {
    other.handle_ = NoFile;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        fs_ = other.fs_;
        io_ = other.io_;
        other.handle_ = NoFile;
    }
    return *this;
}

File File::Claimed(File file, OpenMode mode, bool created, const std::function<void()>& undo) {
    const int refused = file.fs_->Claim(file.handle_, mode);
    if (refused != 0) {
        file.fs_->Close(file.handle_);
        file.handle_ = NoFile;
        if (created) {
            undo();
        }
        // The caller learns why the file cannot be had, not how the tidying went.
        file.Done(refused);
    }
    return file;
}

File File::Open(const std::string& path, OpenMode mode, IoState& io) {
    File file;
    file.io_ = &io;
    file.fs_ = io.fileSystem;
    bool created = false;
    if (!file.Done(file.fs_->Open(path, mode, file.handle_, created))) {
        file.handle_ = NoFile;
        return file;
    }
    FileSystem* fs = file.fs_;
    return Claimed(std::move(file), mode, created, [&] { fs->Remove(path); });
}

File File::OpenIn(const Folder& folder, const std::string& name, OpenMode mode, IoState& io,
                  bool* made) {
    File file;
    file.io_ = &io;
    file.fs_ = io.fileSystem;
    if (!folder.IsOpen()) {
        file.Done(ErrorClosedFile);
        return file;
    }
    bool created = false;
    if (!file.Done(file.fs_->OpenIn(folder.handle_, name, mode, file.handle_, created))) {
        file.handle_ = NoFile;
        return file;
    }
    FileSystem* fs = file.fs_;
    file = Claimed(std::move(file), mode, created, [&] { fs->RemoveIn(folder.handle_, name); });
    if (made) {
        *made = created && file.IsOpen();
    }
    return file;
}

bool File::Done(int code) {
    return io_ ? Report(*io_, code) : code == 0;
}

bool File::Begin(int64_t pos) {
    if (handle_ == NoFile) {
        return Done(ErrorClosedFile);
    }
    return pos >= 0 || Done(ErrorBadPosition);
}

bool File::ReadAt(int64_t pos, void* buffer, size_t n, size_t* got) {
    size_t arrived = 0;
    const bool read = Begin(pos) && Done(fs_->Read(handle_, pos, buffer, n, arrived));
    if (got) {
        *got = arrived;
    }
    return read;
}

bool File::WriteAt(int64_t pos, const void* buffer, size_t n) {
    size_t written = 0;
    return Begin(pos) && Done(fs_->Write(handle_, pos, buffer, n, written));
}

bool File::Size(int64_t& size) {
    size = 0;
    if (handle_ == NoFile) {
        return Done(ErrorClosedFile);
    }
    return Done(fs_->Size(handle_, size));
}

bool File::Resize(int64_t size) {
    return Begin(size) && Done(fs_->Resize(handle_, size));
}

bool File::Sync() {
    if (handle_ == NoFile) {
        return Done(ErrorClosedFile);
    }
    return Done(fs_->Sync(handle_));
}

void File::StartWriteback(int64_t pos, int64_t length) {
    if (handle_ != NoFile && pos >= 0 && length > 0) {
        fs_->StartWriteback(handle_, pos, length);
    }
}

bool File::Close() {
    if (handle_ == NoFile) {
        return true;
    }
    // Closing releases the share. The handle is gone even when closing fails: never retried.
    const int code = fs_->Close(handle_);
    handle_ = NoFile;
    return Done(code);
}

Folder::Folder(Folder&& other) noexcept : handle_(other.handle_), fs_(other.fs_), io_(other.io_) {
    other.handle_ = NoFile;
}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = other.handle_;
        fs_ = other.fs_;
        io_ = other.io_;
        other.handle_ = NoFile;
    }
    return *this;
}

Folder::~Folder() {
    Release();
}

void Folder::Release() {
    if (handle_ != NoFile) {
        fs_->Close(handle_);
    }
}

Folder Folder::Open(const std::string& path, IoState& io) {
    Folder folder;
    folder.io_ = &io;
    folder.fs_ = io.fileSystem;
    if (!Report(io, folder.fs_->OpenFolder(path, folder.handle_))) {
        folder.handle_ = NoFile;
    }
    return folder;
}

NodeInfo Folder::Look(const std::string& name) const {
    NodeInfo node;
    if (!Report(*io_, fs_->LookIn(handle_, name, node))) {
        return {};
    }
    return node;
}

bool Folder::Remove(const std::string& name) const {
    return Report(*io_, fs_->RemoveIn(handle_, name));
}

bool SyncFileSystem(const std::string& folder, IoState& io) {
    return Report(io, io.fileSystem->SyncFileSystem(folder));
}

bool SyncFolder(const std::string& folder, IoState& io) {
    return Report(io, io.fileSystem->SyncFolder(folder));
}

}  // namespace zarnex
