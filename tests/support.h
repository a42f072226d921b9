// Archives and files made on the spot for the tests, in a temporary folder of their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/directory.h"
#include "archive/format.h"

namespace zarnex::test {

using Bytes = std::vector<unsigned char>;

// A UTF-8 path as std::filesystem takes it on every system, and back: on Windows a plain
// std::string would be read in the code page, and an absolute path takes the "\\?\" form.
std::filesystem::path FsPath(const std::string& path);
std::string Utf8(const std::filesystem::path& path);

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
// Deterministic, distinct content for each seed.
Bytes Pattern(size_t length, uint32_t seed);
// The file's bytes as they should stand in an archive: padded with zeros to whole sectors.
Bytes Padded(Bytes bytes);

struct TestEntry {
    int32_t offset = 0;
    int32_t size = 0;  // sectors
    std::string name;  // Windows-1251 bytes
};

// Writes a version-2 archive: header, records and, for every entry, Pattern data of its sectors
// seeded by its index. The file is at least `sectors` long.
void MakeVersion2(const std::string& path, const std::vector<TestEntry>& entries,
                  int64_t sectors = 0);
// Writes a version-1 pair: the data file (with the same data rule) and its ".dir".
void MakeVersion1(const std::string& path, const std::vector<TestEntry>& entries,
                  int64_t sectors = 0);
Bytes EntryData(const TestEntry& entry, size_t index);
// Either of the two, by version.
void MakeArchive(bool version2, const std::string& path, const std::vector<TestEntry>& entries,
                 int64_t sectors = 0);

// The records as they stand on disk.
std::vector<DirectoryRecord> ReadVersion2Records(const std::string& path);
std::vector<DirectoryRecord> ReadVersion1Records(const std::string& dirPath);
// The records of the archive at `imgPath` (its ".dir" in version 1).
std::vector<DirectoryRecord> ReadRecords(bool version2, const std::string& imgPath);

// The same, read from the file itself (zeros past its end), for archives too big to read whole.
Bytes ReadSectors(const std::string& path, int64_t offset, int64_t sectors);

// An archive opened for writing in the form a batch that places data gives it.
std::optional<OpenArchive> OpenForPlacing(const std::string& path, IoState& io,
                                          MessageBoxes& boxes);
// The same table read only, also from an archive too damaged to be written.
std::optional<OpenArchive> LoadForPlacing(const std::string& path, IoState& io,
                                          MessageBoxes& boxes);

// How the boxes show an error code: "13 (Permission denied)", and "I/O error: " before it.
std::string CodeText(int code);
std::string IoErrorText(int code);

// The bytes an archive holds at `sectors` sectors from `offset`.
Bytes SectorsOf(const Bytes& archive, int64_t offset, int64_t sectors);

}  // namespace zarnex::test
