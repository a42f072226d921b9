// Files on Windows: the share modes of CreateFileW, ReadFile and WriteFile at 64-bit positions,
// FlushFileBuffers. Outputs in a held folder are opened relative to its handle, as themselves.
#include <io.h>
#include <windows.h>
#include <winternl.h>

#include <algorithm>

#include "platform/errors.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/wide.h"

namespace zarnex {

bool IsDiskFull(int code) {
    return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL ||
           code == 1295;  // ERROR_DISK_QUOTA_EXCEEDED
}

// Windows has no flush of a whole file system that a user may ask for.
const bool SyncFileSystemFlushesFiles = false;

namespace {

// The most one ReadFile or WriteFile moves.
constexpr size_t TransferLimit = size_t{1} << 30;

HANDLE Handle(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

FileHandle Held(HANDLE handle) {
    return reinterpret_cast<FileHandle>(handle);
}

int LastError() {
    const DWORD code = ::GetLastError();
    return code != 0 ? static_cast<int>(code) : ERROR_GEN_FAILURE;
}

struct Access {
    DWORD access;
    DWORD share;
};

// Reading and writing without sharing, shared reading, and writing alone: others keep out while
// a file is written, and an emptying waits until the opening holds the file alone.
Access AccessOf(OpenMode mode) {
    switch (mode) {
        case OpenMode::ReadWriteExclusive:
            return {GENERIC_READ | GENERIC_WRITE, 0};
        case OpenMode::ReadShared:
            return {GENERIC_READ, FILE_SHARE_READ};
        case OpenMode::CreateNew:
        case OpenMode::CreateAlways:
        case OpenMode::TruncateExisting:
            break;
    }
    return {GENERIC_WRITE, 0};
}

int OpenFolderHandle(const std::string& path, DWORD access, DWORD share, HANDLE& out) {
    std::wstring wide;
    if (!Win32Path(path.empty() ? "." : path, wide)) {
        return ERROR_INVALID_NAME;
    }
    out = ::CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(out, &info) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(out);
        return ERROR_DIRECTORY;
    }
    return 0;
}

// A link or a junction: a name that stands for another.
bool IsLink(HANDLE handle, bool& link) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
        return false;
    }
    link = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           IsReparseTagNameSurrogate(tag.ReparseTag);
    return true;
}

// NtCreateFile on a name relative to the held folder's handle: no path is parsed, no device
// name is looked up, a link at the name is opened as itself. `opening` receives what the call
// did (FILE_CREATED, FILE_OPENED ...).
int OpenRelative(FileHandle folder, const std::string& name, ACCESS_MASK access, ULONG share,
                 ULONG disposition, ULONG options, HANDLE& out, ULONG_PTR* opening = nullptr) {
    std::wstring wide;
    // A stream name ("a:b") or a folder path would reach past the plain file the name must be.
    if (!IsPlainFileName(name) || !Utf8ToWide(name, wide) || wide.size() > 32767) {
        return ERROR_INVALID_NAME;
    }
    UNICODE_STRING text;
    text.Buffer = wide.data();
    text.Length = text.MaximumLength = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, Handle(folder), nullptr);
    IO_STATUS_BLOCK status{};
    const NTSTATUS result = ::NtCreateFile(
        &out, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, share,
        disposition, options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (!NT_SUCCESS(result)) {
        out = INVALID_HANDLE_VALUE;
        // STATUS_FILE_IS_A_DIRECTORY: said as the Win32 calls say it.
        return result == static_cast<NTSTATUS>(0xC00000BA)
                   ? ErrorFolderInTheWay
                   : static_cast<int>(::RtlNtStatusToDosError(result));
    }
    if (opening) {
        *opening = status.Information;
    }
    return 0;
}

int ReadFromHandle(HANDLE handle, size_t limit, std::string& bytes) {
    bytes.clear();
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(handle, buffer, sizeof buffer, &n, nullptr)) {
            const DWORD code = ::GetLastError();
            // The writer closed its end.
            return code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF ? 0
                                                                         : static_cast<int>(code);
        }
        if (n == 0) {
            return 0;
        }
        if (n > limit - bytes.size()) {
            return ErrorTooLong;
        }
        bytes.append(buffer, n);
    }
}

OVERLAPPED At(int64_t pos) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(pos));
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(pos) >> 32);
    return at;
}

int64_t SecondsSince1970(const LARGE_INTEGER& fileTime) {
    // 100-nanosecond steps since 1601-01-01.
    return (fileTime.QuadPart - 116444736000000000LL) / 10000000LL;
}

class Win32FileSystem final : public FileSystem {
  public:
    int Open(const std::string& path, OpenMode mode, FileHandle& file, bool& created) override {
        created = false;
        std::wstring wide;
        if (!Win32Path(path, wide)) {
            return ERROR_INVALID_NAME;
        }
        const Access a = AccessOf(mode);
        // Emptying waits for the claim: the opening alone never cuts a file.
        const DWORD disposition = mode == OpenMode::CreateNew      ? CREATE_NEW
                                  : mode == OpenMode::CreateAlways ? OPEN_ALWAYS
                                                                   : OPEN_EXISTING;
        const HANDLE handle = ::CreateFileW(wide.c_str(), a.access, a.share, nullptr, disposition,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return LastError();
        }
        created = mode == OpenMode::CreateNew ||
                  (mode == OpenMode::CreateAlways && ::GetLastError() != ERROR_ALREADY_EXISTS);
        file = Held(handle);
        return 0;
    }

    int OpenFolder(const std::string& path, FileHandle& folder) override {
        // Held without sharing its deletion: the folder cannot be renamed or removed meanwhile.
        HANDLE handle = INVALID_HANDLE_VALUE;
        const int code = OpenFolderHandle(path, FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, handle);
        if (code == 0) {
            folder = Held(handle);
        }
        return code;
    }

    int OpenIn(FileHandle folder, const std::string& name, OpenMode mode, FileHandle& file,
               bool& created) override {
        created = false;
        const Access a = AccessOf(mode);
        const ULONG disposition = mode == OpenMode::CreateNew      ? FILE_CREATE
                                  : mode == OpenMode::CreateAlways ? FILE_OPEN_IF
                                                                   : FILE_OPEN;
        HANDLE handle = INVALID_HANDLE_VALUE;
        ULONG_PTR opening = 0;
        if (const int code = OpenRelative(folder, name, a.access, a.share, disposition,
                                          FILE_NON_DIRECTORY_FILE, handle, &opening)) {
            return code;
        }
        // A link at the name was opened as itself, never followed: refused on its handle.
        bool link = false;
        if (!IsLink(handle, link) || link) {
            const int code = link ? ERROR_CANT_RESOLVE_FILENAME : LastError();
            ::CloseHandle(handle);
            return code;
        }
        created = opening == FILE_CREATED;
        file = Held(handle);
        return 0;
    }

    int LookIn(FileHandle folder, const std::string& name, NodeInfo& node) override {
        node = {};
        HANDLE handle = INVALID_HANDLE_VALUE;
        const int code = OpenRelative(folder, name, FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      FILE_OPEN, 0, handle);
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            return 0;
        }
        if (code != 0) {
            return code;
        }
        FILE_BASIC_INFO basic{};
        FILE_STANDARD_INFO standard{};
        bool link = false;
        int failed = 0;
        if (!IsLink(handle, link) ||
            !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
            !::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
            failed = LastError();
        }
        const DWORD type = ::GetFileType(handle);
        ::CloseHandle(handle);
        if (failed) {
            return failed;
        }
        node.kind = link                     ? NodeKind::Link
                    : standard.Directory     ? NodeKind::Folder
                    : type == FILE_TYPE_DISK ? NodeKind::File
                                             : NodeKind::Other;
        node.size = link ? 0 : standard.EndOfFile.QuadPart;
        node.modifiedSeconds = SecondsSince1970(basic.LastWriteTime);
        return 0;
    }

    int RemoveIn(FileHandle folder, const std::string& name) override {
        HANDLE handle = INVALID_HANDLE_VALUE;
        if (const int code = OpenRelative(folder, name, DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          FILE_OPEN, FILE_NON_DIRECTORY_FILE, handle)) {
            return code;
        }
        FILE_DISPOSITION_INFO disposition{TRUE};
        const int code = ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                                      sizeof disposition)
                             ? 0
                             : LastError();
        ::CloseHandle(handle);
        return code;
    }

    int Claim(FileHandle file, OpenMode mode) override {
        // The share mode was taken by the opening; what is left is to refuse what is no file.
        const HANDLE handle = Handle(file);
        if (::GetFileType(handle) != FILE_TYPE_DISK) {
            return ErrorNotAFile;
        }
        FILE_STANDARD_INFO standard{};
        if (!::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
            return LastError();
        }
        if (standard.Directory) {
            return ErrorFolderInTheWay;
        }
        return EmptiesFile(mode) ? Resize(file, 0) : 0;
    }

    int Remove(const std::string& path) override {
        std::wstring wide;
        if (!Win32Path(path, wide)) {
            return ERROR_INVALID_NAME;
        }
        return ::DeleteFileW(wide.c_str()) ? 0 : LastError();
    }

    int Read(FileHandle file, int64_t pos, void* buffer, size_t n, size_t& got) override {
        auto* bytes = static_cast<char*>(buffer);
        got = 0;
        while (got < n) {
            OVERLAPPED at = At(pos + static_cast<int64_t>(got));
            DWORD r = 0;
            if (!::ReadFile(Handle(file), bytes + got,
                            static_cast<DWORD>(std::min(n - got, TransferLimit)), &r, &at)) {
                const DWORD code = ::GetLastError();
                if (code == ERROR_HANDLE_EOF) {
                    break;
                }
                return static_cast<int>(code);
            }
            if (r == 0) {
                break;
            }
            got += r;
        }
        return 0;
    }

    int Write(FileHandle file, int64_t pos, const void* buffer, size_t n,
              size_t& written) override {
        const auto* bytes = static_cast<const char*>(buffer);
        written = 0;
        while (written < n) {
            OVERLAPPED at = At(pos + static_cast<int64_t>(written));
            DWORD w = 0;
            if (!::WriteFile(Handle(file), bytes + written,
                             static_cast<DWORD>(std::min(n - written, TransferLimit)), &w, &at)) {
                return LastError();
            }
            if (w == 0) {
                return ERROR_WRITE_FAULT;
            }
            written += w;
        }
        return 0;
    }

    int Size(FileHandle file, int64_t& size) override {
        LARGE_INTEGER length{};
        if (!::GetFileSizeEx(Handle(file), &length)) {
            return LastError();
        }
        size = length.QuadPart;
        return 0;
    }

    int Resize(FileHandle file, int64_t size) override {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = size;
        return ::SetFileInformationByHandle(Handle(file), FileEndOfFileInfo, &end, sizeof end)
                   ? 0
                   : LastError();
    }

    int Sync(FileHandle file) override {
        return ::FlushFileBuffers(Handle(file)) ? 0 : LastError();
    }

    void StartWriteback(FileHandle, int64_t, int64_t) override {}

    int Close(FileHandle file) override { return ::CloseHandle(Handle(file)) ? 0 : LastError(); }

    // The names in the folder; each file's data goes with its own flush.
    int SyncFileSystem(const std::string& folder) override { return SyncFolder(folder); }

    int SyncFolder(const std::string& folder) override {
        HANDLE handle = INVALID_HANDLE_VALUE;
        if (const int code =
                OpenFolderHandle(folder, FILE_ADD_FILE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, handle)) {
            return code;
        }
        int code = ::FlushFileBuffers(handle) ? 0 : LastError();
        // A file system that keeps no folder data of its own to flush says so.
        if (code == ERROR_INVALID_FUNCTION) {
            code = 0;
        }
        ::CloseHandle(handle);
        return code;
    }
};

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    std::wstring wide;
    return Win32Path(path, wide) &&
           ::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data);
}

}  // namespace

FileSystem& RealFileSystem() {
    static Win32FileSystem system;
    return system;
}

bool ReadStream(int descriptor, size_t limit, std::string& bytes, IoState& io) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
    const int code = handle == INVALID_HANDLE_VALUE ? ERROR_INVALID_HANDLE
                                                    : ReadFromHandle(handle, limit, bytes);
    if (code != 0) {
        io.lastError = code;
    }
    return code == 0;
}

bool ReadStream(const std::string& path, size_t limit, std::string& bytes, IoState& io) {
    std::wstring wide;
    if (!Win32Path(path, wide)) {
        io.lastError = ERROR_INVALID_NAME;
        return false;
    }
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        io.lastError = LastError();
        return false;
    }
    const int code = ReadFromHandle(handle, limit, bytes);
    ::CloseHandle(handle);
    if (code != 0) {
        io.lastError = code;
    }
    return code == 0;
}

// A device or a pipe is named in the device space ("\\.\pipe\x", "CON"), and only there: opening
// the name to ask would take a pipe's one connection.
bool IsStream(const std::string& path) {
    std::wstring wide;
    return Win32Path(path, wide) && wide.starts_with(L"\\\\.\\");
}

bool FileExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return Attributes(path, data) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

NodeKind PathKind(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (IsStream(path)) {
        return NodeKind::Other;
    }
    if (!Attributes(path, data)) {
        return NodeKind::Missing;
    }
    return data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? NodeKind::Folder : NodeKind::File;
}

std::string ResolveLink(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    std::wstring wide;
    if (!Attributes(path, data) || !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !Win32Path(path, wide)) {
        return path;
    }
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return path;
    }
    std::wstring target(32768, L'\0');
    const DWORD n =
        ::GetFinalPathNameByHandleW(handle, target.data(), static_cast<DWORD>(target.size()), 0);
    ::CloseHandle(handle);
    if (n == 0 || n >= target.size()) {
        return path;
    }
    target.resize(n);
    // "\\?\C:\..." shown as "C:\...", and "\\?\UNC\server\..." as "\\server\...".
    if (target.starts_with(L"\\\\?\\UNC\\")) {
        target = L"\\\\" + target.substr(8);
    } else if (target.starts_with(L"\\\\?\\")) {
        target = target.substr(4);
    }
    return WideToUtf8(target);
}

bool FolderExists(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return Attributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadFileInfo(const std::string& path, FileInfo& info) {
    info = FileInfo{};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!Attributes(path, data)) {
        return false;
    }
    info.size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    LARGE_INTEGER time{};
    time.LowPart = data.ftLastWriteTime.dwLowDateTime;
    time.HighPart = static_cast<LONG>(data.ftLastWriteTime.dwHighDateTime);
    info.modifiedSeconds = SecondsSince1970(time);
    return true;
}

}  // namespace zarnex
