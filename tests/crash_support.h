// A power cut at any moment of a batch: every write and flush is recorded, and the files are
// rebuilt as the disk could hold them at each crash point, with the writes not yet flushed lost
// or kept in any combination.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support.h"
#include "tests/test_file_system.h"

namespace zarnex::test {

struct FileOp {
    enum Kind { Write, Resize, Flush } kind;
    std::string path;
    int64_t pos = 0;  // Write: where; Resize: the new size
    Bytes bytes;
};

class Recorder : public FileObserver {
  public:
    void Written(const std::string& path, int64_t pos, const void* bytes, size_t n) override;
    void Resized(const std::string& path, int64_t size) override;
    void Flushed(const std::string& path) override;

    std::vector<FileOp> ops;
};

// One file as the disk holds it: its bytes (zero past `length`) and a hash per sector, kept up
// to date so that a check compares sectors without reading them.
struct FileImage {
    Bytes bytes;
    int64_t length = 0;
    std::vector<uint64_t> sectorHashes;

    uint64_t SectorHash(int64_t sector) const;  // zeros past the end
};

using DiskImage = std::map<std::string, FileImage>;

DiskImage ReadDisk(const std::vector<std::string>& paths);
uint64_t HashSector(const unsigned char* bytes);
std::vector<uint64_t> SectorHashes(const Bytes& padded);

// Returns an empty text when the disk is sound, else what is wrong.
using DiskCheck = std::function<std::string(const DiskImage&)>;

struct CrashReport {
    size_t crashPoints = 0;
    size_t statesChecked = 0;
    std::vector<std::string> failures;  // the first few
    DiskImage durable;                  // after a cut right after the last operation
};

// Replays `ops` from `before` and checks the disk at every crash point: every write not yet
// flushed lost, all kept, each alone kept, each alone lost, and random subsets.
CrashReport SimulateCrashes(const DiskImage& before, const std::vector<FileOp>& ops,
                            const DiskCheck& check, uint32_t seed);

}  // namespace zarnex::test
