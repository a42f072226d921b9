// One fuzz input: the files of one run, read from a sequence of chunks. Each chunk is a tag
// byte, a little-endian 16-bit length and that many bytes (fewer where the input ends); unknown
// tags are skipped. The corpus generator writes the same chunks.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "archive/format.h"
#include "tests/test_file_system.h"

namespace zarnex::fuzz {

enum class Tag : uint8_t {
    Image = 'I',            // bytes appended to the data file
    Directory = 'D',        // bytes appended to the ".dir", which then exists
    ImageLength = 'i',      // u64: the data file cut or extended (sparse) to this length
    DirectoryLength = 'd',  // u64: the same for the ".dir", which then exists
    // u8 'I' or 'D', u32 n, i32 offset step, i32 size step, a 32-byte record: n records appended,
    // the k-th with offset and size raised by k steps
    Records = 'R',
    Source = 'S',    // u8 kind, a name, a zero byte, the content: a file to import
    Name = 'N',      // a name to extract
    Existing = 'E',  // a name, a zero byte, the content: a file already in the output folder
    Answers = 'A',   // each byte % 3 answers a box: Yes, No, Cancel
    Steps = 'O',     // bytes that drive the loaded table through the batch's changes
    Node = 'L',      // u8 kind, a name: something other than a file in the output folder
    Journal = 'J',   // u8 how, then bytes: what lies where the archive's journal goes (edit)
};

enum class SourceKind : uint8_t { Regular, Fifo, Folder, Missing, TheArchive, Count };

// What a Node chunk puts in the output folder: a link to the workspace's victim file, to nothing,
// to the folder beside the output folder or to the archive; a folder; a pipe. Rival puts
// nothing there: it has another program put a link to the victim back at once wherever the batch
// removes a link.
enum class InFolder : uint8_t {
    LinkToVictim,
    LinkToNothing,
    LinkToFolder,
    LinkToArchive,
    Folder,
    Fifo,
    Rival,
    Count
};

struct FolderNode {
    InFolder kind = InFolder::LinkToVictim;
    std::string name;
};

struct SourceFile {
    SourceKind kind = SourceKind::Regular;
    std::string name;
    std::string content;
};

struct Case {
    std::string image;
    bool hasDirectory = false;
    std::string directory;
    std::optional<uint64_t> imageLength;
    std::optional<uint64_t> directoryLength;
    std::vector<SourceFile> sources;
    std::vector<std::string> names;
    std::vector<std::pair<std::string, std::string>> existing;
    std::vector<FolderNode> nodes;
    std::string answers;
    std::string steps;
    std::string journal;  // the last Journal chunk, its first byte the how

    // The data file's length as it will be made, before any limit.
    uint64_t ImageSize() const { return imageLength.value_or(image.size()); }
    uint64_t DirectorySize() const { return directoryLength.value_or(directory.size()); }
    // The records a load would read from files made at most `maxLength` long, 0 when it
    // refuses them.
    int64_t RecordsToLoad(uint64_t maxLength) const;
};

// Records appended by one 'R' chunk, and by all of them, at most.
constexpr uint32_t MaxRepeatedRecords = 1 << 17;
constexpr size_t MaxExpandedBytes = size_t{8} << 20;

// Repeated records stop where the file they go to reaches `maxLength`, the most a target makes.
Case Parse(const uint8_t* data, size_t size, uint64_t maxLength = UINT64_MAX);

// Writes chunks; long payloads become several chunks of the same tag.
class Writer {
  public:
    Writer& Image(const std::string& bytes) { return Long(Tag::Image, bytes); }
    Writer& Directory(const std::string& bytes) { return Long(Tag::Directory, bytes); }
    Writer& ImageLength(uint64_t length) { return Chunk(Tag::ImageLength, U64(length)); }
    Writer& DirectoryLength(uint64_t length) { return Chunk(Tag::DirectoryLength, U64(length)); }
    Writer& Records(char file, uint32_t n, int32_t offsetStep, int32_t sizeStep,
                    const DirectoryRecord& first);
    Writer& Source(SourceKind kind, const std::string& name, const std::string& content);
    Writer& Name(const std::string& name) { return Chunk(Tag::Name, name); }
    Writer& Existing(const std::string& name, const std::string& content) {
        return Chunk(Tag::Existing, name + std::string(1, '\0') + content);
    }
    Writer& Node(InFolder kind, const std::string& name) {
        return Chunk(Tag::Node, std::string(1, static_cast<char>(kind)) + name);
    }
    Writer& Answers(const std::string& answers) { return Chunk(Tag::Answers, answers); }
    Writer& Steps(const std::string& steps) { return Chunk(Tag::Steps, steps); }
    Writer& Journal(char how, const std::string& bytes = "") {
        return Chunk(Tag::Journal, std::string(1, how) + bytes);
    }

    const std::string& bytes() const { return bytes_; }

    static std::string U32(uint32_t value);
    static std::string U64(uint64_t value);
    // A version-2 header and records, or version-1 records.
    static std::string Version2(const std::vector<DirectoryRecord>& records);
    static std::string RecordsOf(const std::vector<DirectoryRecord>& records);

  private:
    Writer& Chunk(Tag tag, const std::string& payload);
    Writer& Long(Tag tag, const std::string& payload);
    std::string bytes_;
};

// The files of a case in a folder of their own: the archive "a.img" (and "a.dir"), each source
// in a subfolder of "src", the output folder "out" with the existing files and nodes, and beside
// it the file "victim" and the folder "elsewhere" with a file in it, for links to point at.
struct Workspace {
    std::string root;
    std::string image;
    std::string directory;
    std::string out;
    std::string victim;
    std::string elsewhere;
    std::vector<std::string> sources;  // full paths, in the case's order
};

// The data file and the ".dir" are made at most `maxLength` long. A fresh workspace under
// /dev/shm (or TMPDIR) per process, emptied for each case.
Workspace Materialize(const Case& c, uint64_t maxLength);

// The whole file; empty when it cannot be read.
std::string ReadWhole(const std::string& path);

// The bytes at [from, to) of `bytes`, zeros past its end.
std::string Range(const std::string& bytes, int64_t from, int64_t to);

bool IsVersion2(const std::string& image);
// The records on disk, or nothing when the count does not fit the file.
std::optional<std::vector<DirectoryRecord>> RecordsOn(bool version2, const std::string& image,
                                                      const std::string& directory);

// Stops the run as a finding, with what was seen.
[[noreturn]] void Finding(const std::string& what);

// The files a batch changed.
class WrittenPaths : public test::FileObserver {
  public:
    void Written(const std::string& path, int64_t, const void*, size_t) override {
        paths.insert(path);
    }
    void Resized(const std::string& path, int64_t) override { paths.insert(path); }
    void Flushed(const std::string&) override {}
    std::set<std::string> paths;
};

}  // namespace zarnex::fuzz
