#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "archive/messages.h"
#include "platform/file.h"

namespace zarnex::bench {

// "--runs N" and "--files N" of a benchmark's command line.
struct Options {
    int runs = 3;
    int files = 16384;
};
Options ParseOptions(int argc, char** argv);

// The real file system with its flushes counted and timed. A flush waits for the disk, and on a
// shared machine for other programs' data too: its time is told apart from the batch's own work.
class FlushTimer final : public FileSystem {
  public:
    int flushes = 0;
    double flushSeconds = 0;

    int Open(const std::string& path, OpenMode mode, FileHandle& file, bool& created) override {
        return real_.Open(path, mode, file, created);
    }
    int Claim(FileHandle file, OpenMode mode) override { return real_.Claim(file, mode); }
    int Remove(const std::string& path) override { return real_.Remove(path); }
    int OpenFolder(const std::string& path, FileHandle& folder) override {
        return real_.OpenFolder(path, folder);
    }
    int OpenIn(FileHandle folder, const std::string& name, OpenMode mode, FileHandle& file,
               bool& created) override {
        return real_.OpenIn(folder, name, mode, file, created);
    }
    int LookIn(FileHandle folder, const std::string& name, NodeInfo& node) override {
        return real_.LookIn(folder, name, node);
    }
    int RemoveIn(FileHandle folder, const std::string& name) override {
        return real_.RemoveIn(folder, name);
    }
    int Read(FileHandle file, int64_t pos, void* buffer, size_t n, size_t& got) override {
        return real_.Read(file, pos, buffer, n, got);
    }
    int Write(FileHandle file, int64_t pos, const void* buffer, size_t n,
              size_t& written) override {
        return real_.Write(file, pos, buffer, n, written);
    }
    int Size(FileHandle file, int64_t& size) override { return real_.Size(file, size); }
    int Resize(FileHandle file, int64_t size) override { return real_.Resize(file, size); }
    void StartWriteback(FileHandle file, int64_t pos, int64_t length) override {
        real_.StartWriteback(file, pos, length);
    }
    int Close(FileHandle file) override { return real_.Close(file); }
    int Sync(FileHandle file) override {
        return Timed([&] { return real_.Sync(file); });
    }
    int SyncFileSystem(const std::string& folder) override {
        return Timed([&] { return real_.SyncFileSystem(folder); });
    }
    int SyncFolder(const std::string& folder) override {
        return Timed([&] { return real_.SyncFolder(folder); });
    }

  private:
    int Timed(const std::function<int()>& flush);
    FileSystem& real_ = RealFileSystem();
};

// A box is never answered, only shown on standard error: a benchmark runs unattended.
class Silent : public MessageBoxes {
  public:
    MessageAnswer Show(const Message& m) override;
};

// One timed run of a batch or its baseline. On a shared machine the wall time also waits for the
// processor and for the file system's journal behind other programs, so that two runs of the same
// work differ severalfold; the processor time (user and system) is the work's own, and the
// flushes are the disk's share.
struct Sample {
    double wall = 0;
    double cpu = 0;
    int flushes = 0;
    double flushWall = 0;
    long peakKiB = 0;  // of a program run on its own
};
Sample Measure(const std::function<void(IoState& io)>& work);

// Runs of a batch (a) against its baseline (b), the two timed in turn: the median of each
// figure, and the ratios a/b pair by pair as "median (min-max)".
struct Pairs {
    Pairs(const std::vector<Sample>& a, const std::vector<Sample>& b);
    Sample a, b;
    double wall = 0, cpu = 0;  // median ratios
    std::string wallRatio, cpuRatio;
};

double Seconds(const std::function<void()>& work);
double Median(std::vector<double> values);
long PeakMemoryKiB();
std::string MakeTempDir();
void RemoveTree(const std::string& path);
void WriteWhole(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace zarnex::bench
