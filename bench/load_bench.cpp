// Loading the directory of a version-2 archive of 16,384 entries, against one plain read of
// the same bytes.
#include <cstdio>
#include <utility>
#include <vector>

#include "archive/directory.h"
#include "bench/bench_util.h"
#include "platform/file.h"

using namespace zarnex;

namespace {
class Silent : public MessageBoxes {
  public:
    MessageAnswer Show(const MessageBoxRequest& r) override {
        std::fprintf(stderr, "box: %s\n", r.text.c_str());
        return MessageAnswer::Ok;
    }
};
}  // namespace

int main() {
    constexpr int Entries = 16384;
    const std::string dir = bench::MakeTempDir();
    const std::string path = dir + "/load.img";
    std::vector<unsigned char> image(8 + 32 * Entries);
    PutLE32(image.data(), Version2Tag);
    PutLE32(image.data() + 4, Entries);
    // Entries packed one after another, their records in shuffled order as real archives have
    // them after years of edits.
    std::vector<int> slot(Entries);
    for (int i = 0; i < Entries; ++i) {
        slot[i] = i;
    }
    uint32_t seed = 7;
    for (int i = Entries - 1; i > 0; --i) {
        seed = seed * 1103515245u + 12345u;
        std::swap(slot[i], slot[(seed >> 8) % (i + 1)]);
    }
    for (int i = 0; i < Entries; ++i) {
        const int32_t offset = 300 + 8 * slot[i];
        RecordBytes r = EncodeRecord({offset, 1 + i % 8, "entry" + std::to_string(i) + ".dff"});
        std::copy(r.begin(), r.end(), image.begin() + 8 + 32 * i);
    }
    bench::WriteWhole(path, image);

    Silent boxes;
    std::vector<double> load, plain;
    for (int run = 0; run < 15; ++run) {
        load.push_back(bench::Seconds([&] {
            IoState io;
            auto archive = LoadDirectory(path, true, io, boxes);
            if (!archive || archive->table.count != Entries) {
                std::abort();
            }
        }));
        plain.push_back(bench::Seconds([&] {
            IoState io;
            File f = File::Open(path, OpenMode::ReadShared, io);
            std::vector<unsigned char> bytes(image.size());
            f.ReadAt(0, bytes.data(), bytes.size());
        }));
    }
    const double l = bench::Median(load), p = bench::Median(plain);
    std::printf(
        "load_bench: LoadDirectory of %d entries: %.2f ms (median of 15); plain read of "
        "the same %zu bytes: %.3f ms; ratio %.1f\n",
        Entries, l * 1e3, image.size(), p * 1e3, l / p);
    bench::RemoveTree(dir);
    return 0;
}
