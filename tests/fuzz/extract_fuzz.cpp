// A whole extraction from a fuzzed archive, under a write budget. Nothing is written outside
// the chosen folder, the archive is unchanged, and every file written holds its entry's sectors:
// what the archive holds, then zeros.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "platform/codepage.h"
#include "tests/fuzz/fuzz_case.h"
#include "tests/scripted_boxes.h"

using namespace zarnex;
using zarnex::fuzz::Finding;
using zarnex::fuzz::Range;

namespace {

// A sparse archive of gigabytes holds gigabytes of zeros, and extracting them is no runaway.
constexpr uint64_t MaxFileLength = uint64_t{1} << 20;

// Everything under `root` but the output folder.
std::set<std::string> Tree(const std::string& root, const std::string& out) {
    std::set<std::string> paths;
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        if (it->path().string() == out) {
            it.disable_recursion_pending();
            continue;
        }
        paths.insert(it->path().string());
    }
    return paths;
}

// The file holds `held` and then zeros to `length`.
void ExpectFile(const std::string& path, const std::string& held, int64_t length) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        Finding("an extracted file cannot be read: " + path);
    }
    if (st.st_size != length) {
        ::close(fd);
        Finding(path + " is " + std::to_string(st.st_size) + " bytes, not " +
                std::to_string(length));
    }
    std::string head(held.size(), '\0');
    const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
    if (got != static_cast<ssize_t>(head.size()) || head != held) {
        ::close(fd);
        Finding(path + " does not hold what the archive holds");
    }
    // Past what the archive holds only zeros: read only where the file has data.
    std::string buffer(size_t{1} << 16, '\0');
    for (off_t at = static_cast<off_t>(held.size()); at < length;) {
        const off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0) {
            break;  // a hole to the end
        }
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), data);
        if (n <= 0) {
            break;
        }
        if (std::any_of(buffer.begin(), buffer.begin() + n, [](char c) { return c != 0; })) {
            ::close(fd);
            Finding(path + " holds bytes past what the archive holds");
        }
        at = data + n;
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Case c = fuzz::Parse(data, size, MaxFileLength);
    const fuzz::Workspace ws = fuzz::Materialize(c, MaxFileLength);
    const std::string oldImage = fuzz::ReadWhole(ws.image);
    const std::string oldDirectory = c.hasDirectory ? fuzz::ReadWhole(ws.directory) : "";
    const std::set<std::string> tree = Tree(ws.root, ws.out);

    // Each file written is at most what the archive holds, and a piece of zeros. The budget
    // keeps a run on a hostile archive from writing gigabytes.
    test::TestFileSystem files;
    files.writeBudget = std::min<int64_t>(
        (int64_t{16} << 20) + static_cast<int64_t>(c.names.size()) *
                                  (static_cast<int64_t>(oldImage.size()) + (int64_t{256} << 10)),
        int64_t{256} << 20);
    fuzz::WrittenPaths recorder;
    files.observer = &recorder;
    IoState io{.fileSystem = &files};
    ScriptedMessageBoxes boxes;
    for (char answer : c.answers) {
        const int pick = static_cast<unsigned char>(answer) % 3;
        boxes.Answer(pick == 0   ? MessageAnswer::Yes
                     : pick == 1 ? MessageAnswer::No
                                 : MessageAnswer::Cancel);
    }
    std::vector<std::pair<std::string, std::string>> extracted;
    ExtractCallbacks callbacks;
    callbacks.extracted = [&](const std::string& name, const std::string& outPath) {
        extracted.emplace_back(name, outPath);
    };
    ExtractFiles(ws.image, ws.out, c.names, boxes, callbacks, io);

    for (const Message& message : boxes.messages) {
        const bool written =
            message.id == MessageId::WriteFailedRemoved || message.id == MessageId::WriteFailedLeft;
        if (written && message.code == ENOSPC) {
            Finding("the write budget of " + std::to_string(files.writeBudget) +
                    " bytes ran out: a runaway write (" + std::to_string(files.bytesWritten) +
                    " bytes written)");
        }
    }
    for (const std::string& path : recorder.paths) {
        const std::string name = path.substr(std::min(path.size(), ws.out.size() + 1));
        if (path.compare(0, ws.out.size() + 1, ws.out + "/") != 0 || name.empty() ||
            name.find('/') != std::string::npos || name == "." || name == "..") {
            Finding("written outside the chosen folder: " + path);
        }
    }
    if (Tree(ws.root, ws.out) != tree) {
        Finding("the files outside the chosen folder changed");
    }
    for (const auto& entry : std::filesystem::directory_iterator(ws.out)) {
        if (!entry.is_regular_file()) {
            Finding("something other than a file in the chosen folder: " + entry.path().string());
        }
    }
    if (fuzz::ReadWhole(ws.image) != oldImage ||
        (c.hasDirectory && fuzz::ReadWhole(ws.directory) != oldDirectory)) {
        Finding("the archive changed");
    }

    const bool version2 = fuzz::IsVersion2(oldImage);
    const auto records = fuzz::RecordsOn(version2, oldImage, oldDirectory);
    if (!extracted.empty() && !records) {
        Finding("extracted from a directory that does not fit its file");
    }
    for (const auto& [name, outPath] : extracted) {
        AnsiString wanted;
        if (!Utf8ToAnsi(name, wanted)) {
            Finding("extracted a name no archive holds: " + name);
        }
        auto match = std::find_if(records->begin(), records->end(), [&](const DirectoryRecord& r) {
            return LowerAnsi(r.name) == LowerAnsi(wanted);
        });
        if (match == records->end()) {
            Finding("extracted a name the archive does not hold: " + name);
        }
        const int64_t start = SectorToByte(match->offset);
        const int64_t length = SectorToByte(match->size);
        if (start < 0) {
            // Nothing lies before the file's start: what such an entry holds is not settled.
            continue;
        }
        const int64_t held =
            std::clamp<int64_t>(static_cast<int64_t>(oldImage.size()) - start, 0, length);
        ExpectFile(outPath, Range(oldImage, start, start + held), length);
    }
    return 0;
}
