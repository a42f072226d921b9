// Deleting 1, 1,000 and 10,000 entries among 1,000,000 of a version-2 archive, each against the
// least work a deletion takes in the same run: one read of the directory, the freed places
// filled from the end, the count written, one flush. Both are counted in flushes too.
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "archive/edit.h"
#include "archive/format.h"
#include "bench/bench_util.h"
#include "platform/file.h"

using namespace zarnex;

namespace {

constexpr int Records = 1000000;

std::string NameOf(int i) {
    std::string name = "model";
    name += std::to_string(i);
    return name + ".dff";
}

// Entries of one sector each after the directory; the data file is sparse.
void MakeArchive(const std::string& path) {
    std::vector<unsigned char> head(static_cast<size_t>(Version2RecordPosition(Records)));
    PutLE32(head.data(), Version2Tag);
    PutLE32(head.data() + 4, Records);
    const int64_t first = SectorsFor(static_cast<int64_t>(head.size()));
    for (int i = 0; i < Records; ++i) {
        const RecordBytes r = EncodeRecord({static_cast<int32_t>(first + i), 1, NameOf(i)});
        std::copy(r.begin(), r.end(), head.begin() + Version2RecordPosition(i));
    }
    IoState io;
    File file = File::Open(path, OpenMode::CreateAlways, io);
    file.WriteAt(0, head.data(), head.size());
    file.Resize(SectorToByte(first + Records));
    file.Sync();
}

// The least a deletion does: the records read in one go, the chosen ones found by name, each
// freed place below the new count filled from the end, the count written, one flush.
void LeastWork(const std::string& path, const std::vector<std::string>& names) {
    IoState io;
    File file = File::Open(path, OpenMode::ReadWriteExclusive, io);
    std::vector<unsigned char> records(static_cast<size_t>(RecordSize) * Records);
    file.ReadAt(Version2HeaderSize, records.data(), records.size());
    const std::unordered_set<std::string> wanted(names.begin(), names.end());
    std::vector<uint8_t> leaving(Records, 0);
    int count = Records;
    for (int i = 0; i < Records; ++i) {
        if (wanted.count(DecodeRecord(records.data() + RecordSize * i).name)) {
            leaving[static_cast<size_t>(i)] = 1;
            --count;
        }
    }
    int from = Records;
    for (int hole = 0; hole < count; ++hole) {
        if (!leaving[static_cast<size_t>(hole)]) {
            continue;
        }
        while (leaving[static_cast<size_t>(--from)]) {
        }
        file.WriteAt(Version2RecordPosition(hole), records.data() + RecordSize * from, RecordSize);
    }
    unsigned char bytes[4];
    PutLE32(bytes, static_cast<uint32_t>(count));
    file.WriteAt(4, bytes, sizeof bytes);
    file.Sync();
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = bench::ParseOptions(argc, argv).runs;
    const std::string dir = bench::MakeTempDir();
    const std::string img = dir + "/million.img";
    std::mt19937 random(20261209);
    std::printf("delete_bench: deletions among %d records of a version-2 archive, %d runs\n",
                Records, runs);
    for (const int k : {1, 1000, 10000}) {
        std::vector<std::string> names;
        std::vector<EntryChoice> chosen;
        for (int i = 0; i < k; ++i) {
            names.push_back(NameOf(static_cast<int>(random() % Records)));
            chosen.push_back({names.back()});
        }
        std::vector<double> deletion, least;
        int flushes = 0;
        for (int run = 0; run < runs; ++run) {
            MakeArchive(img);
            least.push_back(bench::Seconds([&] { LeastWork(img, names); }));
            MakeArchive(img);
            bench::Silent boxes;
            bench::FlushTimer files;
            IoState io{.fileSystem = &files};
            DeleteOutcome outcome;
            deletion.push_back(
                bench::Seconds([&] { outcome = DeleteEntries(img, chosen, boxes, {}, io); }));
            if (!outcome.RanToEnd()) {
                std::fprintf(stderr, "the deletion did not complete\n");
                return 1;
            }
            flushes = files.flushes;
        }
        const double d = bench::Median(deletion), l = bench::Median(least);
        std::printf(
            "delete %5d: %7.3f s   least work %7.3f s   ratio %5.2f   flushes %d (least 1)\n", k, d,
            l, d / l, flushes);
    }
    std::printf("peak memory %ld KiB\n", bench::PeakMemoryKiB());
    bench::RemoveTree(dir);
    return 0;
}
