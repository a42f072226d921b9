#include "tests/support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "platform/errors.h"

namespace zarnex::test {

std::filesystem::path FsPath(const std::string& path) {
    std::filesystem::path utf8 = std::u8string(path.begin(), path.end());
#ifdef _WIN32
    // In the "\\?\" form, which no length limit applies to, like the program's own paths.
    if (utf8.is_absolute()) {
        return L"\\\\?\\" + utf8.make_preferred().wstring();
    }
#endif
    return utf8;
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

TempDir::TempDir() {
#ifdef _WIN32
    // "/" throughout, as the tests join names with it.
    static std::mt19937 random(std::random_device{}());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::filesystem::path made;
    do {
        made = base / ("zarnex-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(made));
    path_ = Utf8(made.generic_u8string());
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "zarnex-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
#endif
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(FsPath(path_), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(FsPath(path_), ignored);
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(FsPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

Bytes Pattern(size_t length, uint32_t seed) {
    Bytes bytes(length);
    uint32_t state = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<unsigned char>(state >> 23);
    }
    return bytes;
}

Bytes Padded(Bytes bytes) {
    bytes.resize(static_cast<size_t>(SectorToByte(SectorsFor(static_cast<int64_t>(bytes.size())))));
    return bytes;
}

Bytes EntryData(const TestEntry& entry, size_t index) {
    return Pattern(static_cast<size_t>(SectorToByte(entry.size)),
                   1000 + static_cast<uint32_t>(index));
}

namespace {

// Entry data goes in with positioned writes, so that far offsets make sparse files.
void PutData(const std::string& path, const Bytes& head, const std::vector<TestEntry>& entries,
             int64_t sectors) {
    WriteBytes(path, head);
    int64_t end = std::max<int64_t>(SectorToByte(sectors), static_cast<int64_t>(head.size()));
    {
        std::fstream out(FsPath(path), std::ios::binary | std::ios::in | std::ios::out);
        for (size_t i = 0; i < entries.size(); ++i) {
            Bytes data = EntryData(entries[i], i);
            out.seekp(SectorToByte(entries[i].offset));
            out.write(reinterpret_cast<const char*>(data.data()),
                      static_cast<std::streamsize>(data.size()));
            end = std::max(end, SectorToByte(int64_t{entries[i].offset} + entries[i].size));
        }
        if (!out) {
            throw std::runtime_error("cannot write " + path);
        }
    }
    std::filesystem::resize_file(FsPath(path), static_cast<uintmax_t>(end));
}

Bytes Records(const std::vector<TestEntry>& entries) {
    Bytes bytes;
    for (const auto& e : entries) {
        RecordBytes r = EncodeRecord({e.offset, e.size, e.name});
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    return bytes;
}

}  // namespace

void MakeVersion2(const std::string& path, const std::vector<TestEntry>& entries, int64_t sectors) {
    Bytes image(8);
    PutLE32(image.data(), Version2Tag);
    PutLE32(image.data() + 4, static_cast<uint32_t>(entries.size()));
    Bytes records = Records(entries);
    image.insert(image.end(), records.begin(), records.end());
    PutData(path, image, entries, sectors);
}

void MakeVersion1(const std::string& path, const std::vector<TestEntry>& entries, int64_t sectors) {
    PutData(path, {}, entries, sectors);
    WriteBytes(DirectoryFilePath(path), Records(entries));
}

void MakeArchive(bool version2, const std::string& path, const std::vector<TestEntry>& entries,
                 int64_t sectors) {
    version2 ? MakeVersion2(path, entries, sectors) : MakeVersion1(path, entries, sectors);
}

namespace {
std::vector<DirectoryRecord> Decode(const Bytes& bytes, size_t start, size_t count) {
    std::vector<DirectoryRecord> records;
    for (size_t i = 0; i < count; ++i) {
        records.push_back(DecodeRecord(bytes.data() + start + RecordSize * i));
    }
    return records;
}
}  // namespace

std::vector<DirectoryRecord> ReadVersion2Records(const std::string& path) {
    // Only the head: archives in the tests may be sparse and gigabytes long.
    std::ifstream in(FsPath(path), std::ios::binary);
    Bytes head(8);
    in.read(reinterpret_cast<char*>(head.data()), 8);
    const size_t count = GetLE32(head.data() + 4);
    head.resize(8 + RecordSize * count);
    in.read(reinterpret_cast<char*>(head.data() + 8),
            static_cast<std::streamsize>(RecordSize * count));
    if (!in) {
        throw std::runtime_error("short directory in " + path);
    }
    return Decode(head, 8, count);
}

std::vector<DirectoryRecord> ReadVersion1Records(const std::string& dirPath) {
    Bytes bytes = ReadBytes(dirPath);
    return Decode(bytes, 0, bytes.size() / RecordSize);
}

std::vector<DirectoryRecord> ReadRecords(bool version2, const std::string& imgPath) {
    return version2 ? ReadVersion2Records(imgPath)
                    : ReadVersion1Records(DirectoryFilePath(imgPath));
}

Bytes ReadSectors(const std::string& path, int64_t offset, int64_t sectors) {
    Bytes out(static_cast<size_t>(SectorToByte(sectors)), 0);
    std::ifstream in(FsPath(path), std::ios::binary);
    in.seekg(SectorToByte(offset));
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return out;
}

Bytes SectorsOf(const Bytes& archive, int64_t offset, int64_t sectors) {
    Bytes out(static_cast<size_t>(SectorToByte(sectors)));
    for (size_t i = 0; i < out.size(); ++i) {
        size_t at = static_cast<size_t>(SectorToByte(offset)) + i;
        out[i] = at < archive.size() ? archive[at] : 0;
    }
    return out;
}

std::optional<OpenArchive> OpenForPlacing(const std::string& path, IoState& io,
                                          MessageBoxes& boxes) {
    std::optional<OpenArchive> archive = OpenForWriting(path, io, boxes);
    if (archive) {
        PrepareForPlacing(archive->table);
    }
    return archive;
}

std::optional<OpenArchive> LoadForPlacing(const std::string& path, IoState& io,
                                          MessageBoxes& boxes) {
    std::optional<OpenArchive> archive = LoadDirectory(path, io, boxes);
    if (archive) {
        PrepareForPlacing(archive->table);
    }
    return archive;
}

std::string CodeText(int code) {
    return std::to_string(code) + " (" + SystemErrorText(code) + ")";
}

std::string IoErrorText(int code) {
    return "I/O error: " + CodeText(code);
}

}  // namespace zarnex::test
