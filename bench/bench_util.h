#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "archive/messages.h"
#include "tests/test_file_system.h"

namespace zarnex::bench {

// "--runs N" and "--files N" of a benchmark's command line.
struct Options {
    int runs = 3;
    int files = 16384;
};
Options ParseOptions(int argc, char** argv);

// Counts the flushes a batch asks for, of files and of folders' names.
class FlushCounter : public test::FileObserver {
  public:
    void Written(const std::string&, int64_t, const void*, size_t) override {}
    void Resized(const std::string&, int64_t) override {}
    void Flushed(const std::string&) override { ++count; }
    void FolderFlushed(const std::string&) override { ++count; }
    int count = 0;
};

// A box is never answered, only shown on standard error: a benchmark runs unattended.
class Silent : public MessageBoxes {
  public:
    MessageAnswer Show(const Message& m) override;
};

double Seconds(const std::function<void()>& work);
double Median(std::vector<double> values);
long PeakMemoryKiB();
std::string MakeTempDir();
void RemoveTree(const std::string& path);
void WriteWhole(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace zarnex::bench
