// A power cut at any moment of a batch: every write, flush and change of a folder's names is
// recorded, and the files are rebuilt as the disk could hold them at each crash point. A write
// not yet flushed may be lost or kept whole, and, since a disk keeps or loses each 512-byte
// sector of an interrupted write on its own, cut at those boundaries with each piece kept or
// lost. A file made or removed may still be missing or there until its folder was flushed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive/edit.h"
#include "tests/support.h"
#include "tests/test_file_system.h"

namespace zarnex::test {

// What a disk keeps or loses as one: a piece of a write between two of these boundaries.
constexpr int64_t DiskSectorBytes = 512;

struct FileOp {
    enum Kind { Write, Resize, Flush, Create, Remove, FolderFlush } kind;
    std::string path;  // FolderFlush: the folder
    int64_t pos = 0;   // Write: where; Resize: the new size
    Bytes bytes;
};

class Recorder : public FileObserver {
  public:
    void Written(const std::string& path, int64_t pos, const void* bytes, size_t n) override;
    void Resized(const std::string& path, int64_t size) override;
    void Flushed(const std::string& path) override;
    void Created(const std::string& path) override;
    void Removed(const std::string& path) override;
    void FolderFlushed(const std::string& folder) override;

    std::vector<FileOp> ops;
};

// One file as the disk holds it: its bytes (zero past `length`) and a hash per sector, kept up
// to date so that a check compares sectors without reading them.
struct FileImage {
    Bytes bytes;
    int64_t length = 0;
    std::vector<uint64_t> sectorHashes;
    bool exists = true;  // false: the name is not in its folder

    uint64_t SectorHash(int64_t sector) const;  // zeros past the end
    Bytes Contents() const;                     // the file's bytes, `length` of them
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
// flushed lost, all kept, each alone kept, each alone lost, writes torn at sector boundaries
// with one piece kept or lost, and random subsets of writes and of pieces; each of these with
// the unflushed changes of names all kept, all lost, and each alone.
CrashReport SimulateCrashes(const DiskImage& before, const std::vector<FileOp>& ops,
                            const DiskCheck& check, uint32_t seed);

// Runs a deletion of `chosen` on a disk that dies at the flush of the archive's change, once the
// journal is made and the change written: the deletion says so and leaves its journal beside
// the archive. Empty when it went so; else what went otherwise. Given `recorder`, the flush
// fails alone and is recorded: the deletion puts the old bytes back and removes its journal.
std::string InterruptDeletion(const std::string& img, const std::vector<EntryChoice>& chosen,
                              Recorder* recorder = nullptr);

}  // namespace zarnex::test
