// Loading the directory of a version-2 archive of 16,384 entries, against one plain read of
// the same bytes; loading 131,072 records at one offset, or as many empty records, against as
// many regular records in the same run; and opening those regular records for writing, which
// checks them for damage, against reading them.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "archive/directory.h"
#include "archive/messages.h"
#include "bench/bench_util.h"
#include "platform/file.h"

using namespace zarnex;

namespace {

using bench::Silent;

// The table a batch that places data prepares: opened for writing, or read (the form that
// damaged archives, such as records at one offset, still load in).
double MedianLoad(const std::string& path, int32_t entries, int runs, bool forWriting) {
    Silent boxes;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(bench::Seconds([&] {
            IoState io;
            auto archive =
                forWriting ? OpenForWriting(path, io, boxes) : LoadDirectory(path, io, boxes);
            if (archive) {
                PrepareForPlacing(archive->table);
            }
            if (!archive || archive->table.count != entries) {
                std::abort();
            }
        }));
    }
    return bench::Median(times);
}

// A version-1 pair whose record i is made by `record(i)`.
template <typename MakeRecord>
void WriteVersion1(const std::string& path, int32_t entries, MakeRecord record) {
    std::vector<unsigned char> dir(size_t{RecordSize} * entries);
    for (int32_t i = 0; i < entries; ++i) {
        RecordBytes r = EncodeRecord(record(i));
        std::copy(r.begin(), r.end(), dir.begin() + int64_t{RecordSize} * i);
    }
    bench::WriteWhole(path + ".dir", dir);
    bench::WriteWhole(path + ".img", {});
}

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
    // The data the records name, as a hole: an archive whose entries end past its file is damaged.
    std::filesystem::resize_file(path, SectorToByte(300 + 8 * Entries));

    Silent boxes;
    std::vector<double> load, plain;
    for (int run = 0; run < 15; ++run) {
        load.push_back(bench::Seconds([&] {
            IoState io;
            auto archive = OpenForWriting(path, io, boxes);
            if (archive) {
                PrepareForPlacing(archive->table);
            }
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

    // Many records on one sector, or many empty ones, cost what as many regular ones cost.
    constexpr int32_t Many = 131072;
    const auto name = [](int32_t i) {
        std::string text = "e";
        return text.append(std::to_string(i)).append(".dff");
    };
    WriteVersion1(dir + "/regular", Many, [&](int32_t i) {
        return DirectoryRecord{1 + 4 * static_cast<int32_t>(int64_t{i} * 40503 % Many), 4, name(i)};
    });
    WriteVersion1(dir + "/same", Many, [&](int32_t i) { return DirectoryRecord{5, 1, name(i)}; });
    WriteVersion1(dir + "/empty", Many, [&](int32_t i) {
        return DirectoryRecord{10 + i, 0, name(i)};
    });
    const double regular = MedianLoad(dir + "/regular.img", Many, 5, false);
    for (const char* shape : {"same", "empty"}) {
        const double t = MedianLoad(dir + "/" + shape + ".img", Many, 5, false);
        std::printf(
            "load_bench: %d records %s: %.1f ms (median of 5); as many regular records: "
            "%.1f ms; ratio %.2f\n",
            Many, shape[0] == 's' ? "at one offset" : "empty at distinct offsets", t * 1e3,
            regular * 1e3, t / regular);
    }
    std::filesystem::resize_file(dir + "/regular.img", SectorToByte(1 + 4 * int64_t{Many}));
    const double writing = MedianLoad(dir + "/regular.img", Many, 5, true);
    std::printf(
        "load_bench: %d regular records opened for writing, checked for damage: %.1f ms (median "
        "of 5); read: %.1f ms; ratio %.2f\n",
        Many, writing * 1e3, regular * 1e3, writing / regular);
    bench::RemoveTree(dir);
    return 0;
}
