// A whole extraction from a fuzzed archive, under a write budget, into a folder that may hold
// links (to a file or a folder outside it, to nothing, to the archive), folders and pipes.
// Nothing outside the chosen folder is written, changed, made or even opened for writing, the
// archive is unchanged, a link answered Yes is replaced by a new file and every file written holds
// its entry's sectors: what the archive holds, then zeros.
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <map>
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

// What stands at a path, as itself: a file and its bytes, a link and its target, a folder,
// something else, or nothing.
std::string Describe(const std::filesystem::path& path) {
    std::error_code error;
    switch (std::filesystem::symlink_status(path, error).type()) {
        case std::filesystem::file_type::not_found:
            return "";
        case std::filesystem::file_type::regular: {
            // An extracted file may be gigabytes, mostly a hole; none that the case made is.
            const auto size = std::filesystem::file_size(path, error);
            return "file " + (size <= MaxFileLength ? fuzz::ReadWhole(path)
                                                    : "of " + std::to_string(size) + " bytes");
        }
        case std::filesystem::file_type::symlink:
            return "link to " + std::filesystem::read_symlink(path, error).string();
        case std::filesystem::file_type::directory:
            return "folder";
        default:
            return "other";
    }
}

using Described = std::map<std::string, std::string>;

// Everything under `root` but the output folder; or with `out` empty, everything in `root`.
Described Tree(const std::string& root, const std::string& out) {
    Described paths;
    for (auto it = std::filesystem::recursive_directory_iterator(root);
         it != std::filesystem::recursive_directory_iterator(); ++it) {
        if (it->path().string() == out || out.empty()) {
            it.disable_recursion_pending();
        }
        if (it->path().string() != out) {
            paths[it->path().string()] = Describe(it->path());
        }
    }
    return paths;
}

// The names in the watched folders that were changed, made, removed or closed after writing.
class Watch {
  public:
    explicit Watch(const std::vector<std::string>& folders)
        : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        for (const std::string& folder : folders) {
            ::inotify_add_watch(fd_, folder.c_str(),
                                IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                                    IN_MOVE | IN_DELETE_SELF | IN_MOVE_SELF);
        }
    }
    ~Watch() { ::close(fd_); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                names.emplace_back(event->len ? event->name : "");
                at += sizeof(inotify_event) + event->len;
            }
        }
        return names;
    }

  private:
    int fd_;
};

// The file holds `held` and then zeros to `length`.
void ExpectFile(const std::string& path, const std::string& held, int64_t length) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Finding("an extracted file is no file of its own: " + path);
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
    const Described outside = Tree(ws.root, ws.out);
    const Described inFolder = Tree(ws.out, "");
    const Watch watch({ws.root, ws.elsewhere});

    // Each file written is at most what the archive holds, and a piece of zeros. The budget
    // keeps a run on a hostile archive from writing gigabytes.
    test::TestFileSystem files;
    files.writeBudget = std::min<int64_t>(
        (int64_t{16} << 20) + static_cast<int64_t>(c.names.size()) *
                                  (static_cast<int64_t>(oldImage.size()) + (int64_t{256} << 10)),
        int64_t{256} << 20);
    fuzz::WrittenPaths recorder;
    files.observer = &recorder;
    const bool rival = std::any_of(
        c.nodes.begin(), c.nodes.end(),
        [](const fuzz::FolderNode& node) { return node.kind == fuzz::InFolder::Rival; });
    if (rival) {
        files.afterRemoveIn = [&](FileHandle folder, const std::string& name) {
            (void)::symlinkat(ws.victim.c_str(), static_cast<int>(folder), name.c_str());
        };
    }
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
    const Described outsideNow = Tree(ws.root, ws.out);
    for (const auto& [path, what] : outside) {
        if (outsideNow.count(path) == 0 || outsideNow.at(path) != what) {
            Finding("outside the chosen folder " + path + " changed or went");
        }
    }
    if (outsideNow.size() != outside.size()) {
        Finding("something was made outside the chosen folder");
    }
    for (const std::string& name : watch.Names()) {
        if (name != "out") {
            Finding("outside the chosen folder " + name + " was opened for writing or changed");
        }
    }
    // Each name asked about: whether any answer was Yes.
    std::map<std::string, bool> answeredYes;
    for (size_t k = 0; k < boxes.messages.size(); ++k) {
        if (boxes.messages[k].id == MessageId::OverwriteQuestion) {
            const bool yes =
                k >= c.answers.size() || static_cast<unsigned char>(c.answers[k]) % 3 == 0;
            answeredYes[boxes.messages[k].path] |= yes;
        }
    }
    for (const auto& [path, what] : Tree(ws.out, "")) {
        const bool placed = inFolder.count(path) && inFolder.at(path) == what;
        const bool put = rival && what == "link to " + ws.victim;
        if (what.rfind("file ", 0) != 0 && !placed && !put) {
            Finding("something other than a file in the chosen folder: " + path);
        }
    }
    for (const auto& [path, what] : inFolder) {
        if (!answeredYes[path] && Describe(path) != what) {
            Finding(path + " changed, though never answered Yes");
        }
    }
    for (const auto& [path, yes] : answeredYes) {
        if (yes && !rival && Describe(path).rfind("file ", 0) != 0) {
            Finding(path + " was answered Yes but is no file now");
        }
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
