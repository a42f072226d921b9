#include "cli/lists.h"

#include "cli/command.h"
#include "platform/errors.h"
#include "platform/file.h"

namespace zarnex::cli {

namespace {

// A hostile list (say -T /dev/zero) must end in a message, not in all the memory there is. No
// archive holds more entries with data than it has sectors.
constexpr size_t ListByteLimit = size_t{64} << 20;
constexpr size_t ListItemLimit = size_t{1} << 20;
constexpr int StandardInput = 0;

bool ReadWholeFile(File& file, std::string& bytes, IoState& io) {
    int64_t size = 0;
    if (!file.Size(size)) {
        return false;
    }
    if (static_cast<uint64_t>(size) > ListByteLimit) {
        io.lastError = ErrorTooLong;
        return false;
    }
    bytes.resize(static_cast<size_t>(size));
    size_t got = 0;
    if (!file.ReadAt(0, bytes.data(), bytes.size(), &got)) {
        return false;
    }
    bytes.resize(got);
    return true;
}

// A list file is read under a shared lock, as every file is; standard input, a pipe named by a
// path (`-T <(find ...)`) or a device as a stream.
bool ReadListBytes(const std::string& source, std::string& bytes, IoState& io) {
    if (source == "-") {
        return ReadStream(StandardInput, ListByteLimit, bytes, io);
    }
    if (IsStream(source)) {
        return ReadStream(source, ListByteLimit, bytes, io);
    }
    File file = File::Open(source, OpenMode::ReadShared, io);
    return file.IsOpen() && ReadWholeFile(file, bytes, io);
}

std::optional<int> ReadList(const std::string& source, bool nullSeparated,
                            std::vector<std::string>& items) {
    auto fail = [&](const std::string& why) {
        return NotRun("cannot read the list " + (source == "-" ? "standard input" : source) + ": " +
                      why);
    };
    IoState io;
    std::string bytes;
    if (!ReadListBytes(source, bytes, io)) {
        return fail(io.lastError == ErrorTooLong
                        ? "longer than " + std::to_string(ListByteLimit >> 20) + " MiB"
                        : SystemErrorText(io.lastError));
    }
    if (!nullSeparated && bytes.find('\0') != std::string::npos) {
        // A path cut at its NUL would name another file.
        return fail("it holds a NUL byte (--null reads NUL-separated lists)");
    }
    const char separator = nullSeparated ? '\0' : '\n';
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find(separator, start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        // A list written on Windows ends its lines in CR LF: no path or name ends in a CR there,
        // and a Linux name that does is left for --null.
        size_t last = end;
        if (!nullSeparated && end < bytes.size() && last > start && bytes[last - 1] == '\r') {
            --last;
        }
        if (last > start) {
            if (items.size() == ListItemLimit) {
                return fail("more than " + std::to_string(ListItemLimit) + " items");
            }
            items.push_back(bytes.substr(start, last - start));
        }
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> ReadLists(const std::vector<std::string>& lists, bool nullSeparated,
                             std::vector<std::string>& items) {
    for (const std::string& list : lists) {
        if (const auto status = ReadList(list, nullSeparated, items)) {
            return status;
        }
    }
    return std::nullopt;
}

}  // namespace zarnex::cli
