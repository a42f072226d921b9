#include "tests/fuzz/fuzz_case.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zarnex::fuzz {
namespace {

uint64_t GetLE(const std::string& bytes, size_t at, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width && at + i < bytes.size(); ++i) {
        value |= uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
    }
    return value;
}

void AppendRecords(Case& c, const std::string& payload, size_t& expanded, uint64_t maxLength) {
    std::string& target = payload.empty() || payload[0] != 'D' ? c.image : c.directory;
    if (&target == &c.directory) {
        c.hasDirectory = true;
    }
    const auto n = static_cast<uint32_t>(GetLE(payload, 1, 4));
    const auto offsetStep = static_cast<int32_t>(GetLE(payload, 5, 4));
    const auto sizeStep = static_cast<int32_t>(GetLE(payload, 9, 4));
    std::string record = Range(payload, 13, 13 + RecordSize);
    // Records past the longest file a target makes would be cut off again.
    const uint64_t room = maxLength - std::min<uint64_t>(target.size(), maxLength);
    const uint32_t count = std::min<uint64_t>(
        {n, MaxRepeatedRecords, (MaxExpandedBytes - std::min(expanded, MaxExpandedBytes)) / 32,
         (room + RecordSize - 1) / RecordSize});
    expanded += size_t{count} * RecordSize;
    const auto offset = static_cast<uint32_t>(GetLE(record, 0, 4));
    const auto size = static_cast<uint32_t>(GetLE(record, 4, 4));
    const size_t at = target.size();
    target.resize(at + size_t{count} * RecordSize);
    for (uint32_t k = 0; k < count; ++k) {
        auto* out = reinterpret_cast<unsigned char*>(target.data() + at + size_t{k} * RecordSize);
        PutLE32(out, offset + k * static_cast<uint32_t>(offsetStep));
        PutLE32(out + 4, size + k * static_cast<uint32_t>(sizeStep));
        std::memcpy(out + 8, record.data() + 8, NameFieldSize);  // after offset and size
    }
}

// A file name the folder can hold: no separator, not empty, not a dot or two.
std::string SafeName(std::string name, size_t index) {
    std::replace(name.begin(), name.end(), '/', '_');
    name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
    if (name.size() > 200) {
        name.resize(200);
    }
    if (name.empty() || name == "." || name == "..") {
        name = "f" + std::to_string(index);
    }
    return name;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        Finding("the workspace cannot be written: " + path);
    }
}

void Resize(const std::string& path, uint64_t length) {
    if (::truncate(path.c_str(), static_cast<off_t>(length)) != 0) {
        Finding("the workspace cannot be resized: " + path);
    }
}

const std::string& WorkspaceRoot() {
    // Never destroyed: the handler that removes it runs after static destructors may have.
    static const std::string* const root = [] {
        std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        if (const char* tmp = std::getenv("ZARNEX_FUZZ_TMP")) {
            base = tmp;
        }
        // Workspaces of runs that ended in a finding were never removed.
        const std::string prefix = "zarnex-fuzz-";
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(base, ignored)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) == 0 &&
                ::kill(static_cast<pid_t>(std::atoll(name.c_str() + prefix.size())), 0) != 0 &&
                errno == ESRCH) {
                std::filesystem::remove_all(entry.path(), ignored);
            }
        }
        auto* path = new std::string(base + "/" + prefix + std::to_string(::getpid()));
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(WorkspaceRoot(), ignored);
        });
        return path;
    }();
    return *root;
}

}  // namespace

int64_t Case::RecordsToLoad(uint64_t maxLength) const {
    const uint64_t imageSize = std::min(ImageSize(), maxLength);
    const std::string head = Range(image, 0, 8);
    const bool version2 = imageSize >= 4 && GetLE(head, 0, 4) == Version2Tag;
    if (version2) {
        const auto count = static_cast<int32_t>(imageSize >= 8 ? GetLE(head, 4, 4)
                                                               : GetLE(head, 4, imageSize - 4));
        const int64_t room = static_cast<int64_t>(std::max<uint64_t>(imageSize, 8) - 8);
        if (count < 0 || Version2RecordPosition(count) > ArchiveByteLimit ||
            int64_t{count} * RecordSize > room) {
            return 0;
        }
        return count;
    }
    const uint64_t length = std::min(DirectorySize(), maxLength);
    if (!hasDirectory || length > static_cast<uint64_t>(ArchiveByteLimit)) {
        return 0;
    }
    return static_cast<int64_t>(length / RecordSize);
}

Case Parse(const uint8_t* data, size_t size, uint64_t maxLength) {
    Case c;
    size_t expanded = 0;
    size_t at = 0;
    while (at < size) {
        const auto tag = static_cast<Tag>(data[at]);
        size_t length = at + 1 < size ? data[at + 1] : 0;
        length |= at + 2 < size ? size_t{data[at + 2]} << 8 : 0;
        const size_t start = std::min(at + 3, size);
        const size_t end = std::min(start + length, size);
        const std::string payload(reinterpret_cast<const char*>(data) + start, end - start);
        at = end;
        const size_t zero = payload.find('\0');
        const std::string before = payload.substr(0, zero);
        const std::string after = zero == std::string::npos ? "" : payload.substr(zero + 1);
        switch (tag) {
            case Tag::Image:
                c.image += payload;
                break;
            case Tag::Directory:
                c.directory += payload;
                c.hasDirectory = true;
                break;
            case Tag::ImageLength:
                c.imageLength = GetLE(payload, 0, 8);
                break;
            case Tag::DirectoryLength:
                c.directoryLength = GetLE(payload, 0, 8);
                c.hasDirectory = true;
                break;
            case Tag::Records:
                AppendRecords(c, payload, expanded, maxLength);
                break;
            case Tag::Source: {
                SourceFile source;
                const size_t nameZero = payload.find('\0', 1);
                source.kind = static_cast<SourceKind>(
                    payload.empty() ? 0
                                    : static_cast<unsigned char>(payload[0]) %
                                          static_cast<unsigned>(SourceKind::Count));
                source.name = payload.substr(
                    std::min<size_t>(1, payload.size()),
                    nameZero == std::string::npos ? std::string::npos : nameZero - 1);
                source.content = nameZero == std::string::npos ? "" : payload.substr(nameZero + 1);
                c.sources.push_back(std::move(source));
                break;
            }
            case Tag::Name:
                c.names.push_back(payload);
                break;
            case Tag::Existing:
                c.existing.emplace_back(before, after);
                break;
            case Tag::Node:
                c.nodes.push_back(
                    {static_cast<InFolder>(payload.empty()
                                               ? 0
                                               : static_cast<unsigned char>(payload[0]) %
                                                     static_cast<unsigned>(InFolder::Count)),
                     payload.substr(std::min<size_t>(1, payload.size()))});
                break;
            case Tag::Answers:
                c.answers += payload;
                break;
            case Tag::Steps:
                c.steps += payload;
                break;
            case Tag::Journal:
                c.journal = payload;
                break;
        }
    }
    return c;
}

Writer& Writer::Chunk(Tag tag, const std::string& payload) {
    bytes_ += static_cast<char>(tag);
    bytes_ += static_cast<char>(payload.size() & 0xFF);
    bytes_ += static_cast<char>(payload.size() >> 8);
    bytes_ += payload;
    return *this;
}

Writer& Writer::Long(Tag tag, const std::string& payload) {
    for (size_t at = 0; at < payload.size(); at += 0xFFFF) {
        Chunk(tag, payload.substr(at, 0xFFFF));
    }
    return *this;
}

Writer& Writer::Records(char file, uint32_t n, int32_t offsetStep, int32_t sizeStep,
                        const DirectoryRecord& first) {
    std::string payload(1, file);
    payload += U32(n) + U32(static_cast<uint32_t>(offsetStep)) +
               U32(static_cast<uint32_t>(sizeStep)) + RecordsOf({first});
    return Chunk(Tag::Records, payload);
}

Writer& Writer::Source(SourceKind kind, const std::string& name, const std::string& content) {
    return Chunk(Tag::Source,
                 std::string(1, static_cast<char>(kind)) + name + std::string(1, '\0') + content);
}

std::string Writer::U32(uint32_t value) {
    return U64(value).substr(0, 4);
}

std::string Writer::U64(uint64_t value) {
    std::string out;
    for (int i = 0; i < 8; ++i) {
        out += static_cast<char>(value >> (8 * i));
    }
    return out;
}

std::string Writer::RecordsOf(const std::vector<DirectoryRecord>& records) {
    std::string out;
    for (const DirectoryRecord& record : records) {
        const RecordBytes bytes = EncodeRecord(record);
        out.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    return out;
}

std::string Writer::Version2(const std::vector<DirectoryRecord>& records) {
    return "VER2" + U32(static_cast<uint32_t>(records.size())) + RecordsOf(records);
}

Workspace Materialize(const Case& c, uint64_t maxLength) {
    Workspace ws;
    ws.root = WorkspaceRoot();
    std::error_code ignored;
    std::filesystem::remove_all(ws.root, ignored);
    std::filesystem::create_directories(ws.root + "/src");
    std::filesystem::create_directories(ws.root + "/out");
    ws.image = ws.root + "/a.img";
    ws.directory = ws.root + "/a.dir";
    ws.out = ws.root + "/out";

    WriteFile(ws.image, c.image.substr(0, std::min<uint64_t>(c.image.size(), maxLength)));
    Resize(ws.image, std::min(c.ImageSize(), maxLength));
    if (c.hasDirectory) {
        WriteFile(ws.directory,
                  c.directory.substr(0, std::min<uint64_t>(c.directory.size(), maxLength)));
        Resize(ws.directory, std::min(c.DirectorySize(), maxLength));
    }
    for (size_t i = 0; i < c.sources.size(); ++i) {
        const SourceFile& source = c.sources[i];
        const std::string folder = ws.root + "/src/" + std::to_string(i);
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/" + SafeName(source.name, i);
        switch (source.kind) {
            case SourceKind::Fifo:
                ::mkfifo(path.c_str(), 0600);
                break;
            case SourceKind::Folder:
                std::filesystem::create_directories(path, ignored);
                break;
            case SourceKind::TheArchive:
                ws.sources.push_back(ws.image);
                continue;
            case SourceKind::Missing:
                break;
            default:
                WriteFile(path, source.content);
                break;
        }
        ws.sources.push_back(path);
    }
    for (size_t i = 0; i < c.existing.size(); ++i) {
        WriteFile(ws.out + "/" + SafeName(c.existing[i].first, i), c.existing[i].second);
    }
    ws.victim = ws.root + "/victim";
    ws.elsewhere = ws.root + "/elsewhere";
    WriteFile(ws.victim, "not to be written");
    std::filesystem::create_directories(ws.elsewhere);
    WriteFile(ws.elsewhere + "/kept", "not to be written either");
    // A name already taken stays as it is.
    for (size_t i = 0; i < c.nodes.size(); ++i) {
        const std::string path = ws.out + "/" + SafeName(c.nodes[i].name, i);
        switch (c.nodes[i].kind) {
            case InFolder::LinkToVictim:
                ::symlink(ws.victim.c_str(), path.c_str());
                break;
            case InFolder::LinkToNothing:
                ::symlink((ws.root + "/nothing").c_str(), path.c_str());
                break;
            case InFolder::LinkToFolder:
                ::symlink(ws.elsewhere.c_str(), path.c_str());
                break;
            case InFolder::LinkToArchive:
                ::symlink(ws.image.c_str(), path.c_str());
                break;
            case InFolder::Folder:
                ::mkdir(path.c_str(), 0700);
                break;
            case InFolder::Fifo:
                ::mkfifo(path.c_str(), 0600);
                break;
            default:
                break;
        }
    }
    return ws;
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    // One read: after a move an archive may be tens of MiB, mostly a hole.
    in.seekg(0, std::ios::end);
    std::string bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

std::string Range(const std::string& bytes, int64_t from, int64_t to) {
    std::string out(static_cast<size_t>(std::max<int64_t>(to - from, 0)), '\0');
    const int64_t first = std::max<int64_t>(from, 0);
    const int64_t last = std::min<int64_t>(to, static_cast<int64_t>(bytes.size()));
    if (first < last) {
        std::copy(bytes.begin() + first, bytes.begin() + last, out.begin() + (first - from));
    }
    return out;
}

bool IsVersion2(const std::string& image) {
    return image.size() >= 4 && GetLE(image, 0, 4) == Version2Tag;
}

std::optional<std::vector<DirectoryRecord>> RecordsOn(bool version2, const std::string& image,
                                                      const std::string& directory) {
    const std::string& bytes = version2 ? image : directory;
    size_t start = 0;
    size_t count = directory.size() / RecordSize;
    if (version2) {
        const auto n = static_cast<int32_t>(GetLE(image, 4, 4));
        if (n < 0 || (n > 0 && Version2RecordPosition(n) > static_cast<int64_t>(image.size()))) {
            return std::nullopt;
        }
        start = Version2HeaderSize;
        count = static_cast<size_t>(n);
    }
    std::vector<DirectoryRecord> records;
    for (size_t i = 0; i < count; ++i) {
        records.push_back(DecodeRecord(reinterpret_cast<const unsigned char*>(bytes.data()) +
                                       start + RecordSize * i));
    }
    return records;
}

void Finding(const std::string& what) {
    std::fprintf(stderr, "finding: %s\n", what.c_str());
    std::abort();
}

}  // namespace zarnex::fuzz
