#include "cli/lists.h"

#include <iostream>

#include "cli/command.h"
#include "cli/terminal.h"
#include "platform/codepage.h"
#include "platform/console.h"
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

struct Marked {
    const char* mark = nullptr;  // the name of the byte-order mark the text began with
    bool sound = true;           // false: UTF-16 that is none
};

// The text after a byte-order mark, as UTF-8 in `bytes`; text without one is left as it is.
Marked TakeMark(std::string& bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
        return {"UTF-8 (BOM)"};
    }
    const bool little = bytes.starts_with("\xFF\xFE");
    if (!little && !bytes.starts_with("\xFE\xFF")) {
        return {};
    }
    std::string text;
    const bool sound = Utf16ToUtf8(std::string_view(bytes).substr(2), !little, text);
    bytes = std::move(text);
    return {little ? "UTF-16 LE" : "UTF-16 BE", sound};
}

std::optional<int> ReadList(const std::string& source, bool nullSeparated, bool verbose,
                            std::vector<std::string>& items) {
    const std::string shown = source == "-" ? Words(MessageId::StandardInputName) : source;
    auto fail = [&](const Message& why) {
        return NotRun(Words({.id = MessageId::ListUnreadable, .path = shown, .text = Words(why)}));
    };
    IoState io;
    std::string bytes;
    if (!ReadListBytes(source, bytes, io)) {
        if (io.lastError == ErrorTooLong) {
            return fail(
                {.id = MessageId::ListTooLong, .limit = static_cast<int64_t>(ListByteLimit >> 20)});
        }
        return NotRun(Words({.id = MessageId::ListUnreadable,
                             .path = shown,
                             .text = SystemErrorText(io.lastError)}));
    }
    const auto [mark, sound] = TakeMark(bytes);
    if (!sound) {
        return fail({.id = MessageId::ListNotUtf16});
    }
    if (!nullSeparated && bytes.find('\0') != std::string::npos) {
        // A path cut at its NUL would name another file.
        return fail({.id = MessageId::ListHoldsNul});
    }
    // Text from one program is in one encoding. A list that is not UTF-8 throughout is in a code
    // page, where there are any: a line of it may pass for UTF-8 by chance ("Ёлка" in 866 does).
    const unsigned codePage = mark || IsUtf8(bytes) ? 0 : LegacyCodePage(bytes, source == "-");
    const char separator = nullSeparated ? '\0' : '\n';
    int64_t line = 0;
    for (size_t start = 0; start < bytes.size(); ++line) {
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
        std::string item = bytes.substr(start, last - start);
        start = end + 1;
        if (item.empty()) {
            continue;
        }
        std::string converted;
        if (codePage != 0 ? !CodePageToUtf8(item, codePage, converted) : !IsUtf8(item)) {
            return fail({.id = MessageId::ListLineNotUtf8, .index = line + 1});
        }
        if (codePage != 0) {
            item = std::move(converted);
        }
        if (items.size() == ListItemLimit) {
            return fail(
                {.id = MessageId::ListTooManyItems, .limit = static_cast<int64_t>(ListItemLimit)});
        }
        items.push_back(std::move(item));
    }
    if (verbose && mark) {
        std::cerr << Words({.id = MessageId::ListReadAs, .path = shown, .text = mark}) << "\n";
    }
    if (verbose && codePage != 0) {
        std::cerr << Words({.id = MessageId::ListInCodePage,
                            .path = shown,
                            .text = std::to_string(codePage)})
                  << "\n";
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> ReadLists(const std::vector<std::string>& lists, bool nullSeparated,
                             bool verbose, std::vector<std::string>& items) {
    for (const std::string& list : lists) {
        if (const auto status = ReadList(list, nullSeparated, verbose, items)) {
            return status;
        }
    }
    return std::nullopt;
}

}  // namespace zarnex::cli
