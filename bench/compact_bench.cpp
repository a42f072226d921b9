// Compacting a version-2 archive of 16,384 entries with a third of its space in gaps, against a
// plain copy of its live bytes into a new file (one flush at the end) in the same run.
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "archive/compact.h"
#include "archive/format.h"
#include "archive/messages.h"
#include "archive/writing.h"
#include "bench/bench_util.h"
#include "platform/file.h"

using namespace zarnex;

namespace {

class Summaries : public MessageBoxes {
  public:
    MessageAnswer Show(const Message& m) override {
        if (KindOf(m.id).icon != MessageIcon::Information) {
            std::fprintf(stderr, "unexpected box: %s\n", Render(m, Language::English).text.c_str());
            std::exit(1);
        }
        return MessageAnswer::Ok;
    }
};

struct Place {
    int64_t offset;
    int64_t size;
};

// Entries of 1 KiB to 128 KiB (spread as game files are), each followed by a gap of half its
// size on average: a third of the file is gaps.
std::vector<Place> MakeArchive(const std::string& path, int count) {
    std::mt19937 random(20261209);
    std::uniform_real_distribution<double> logSize(std::log(1024.0), std::log(131072.0));
    std::vector<Place> places;
    std::vector<unsigned char> head(8 + 32 * static_cast<size_t>(count));
    PutLE32(head.data(), Version2Tag);
    PutLE32(head.data() + 4, static_cast<uint32_t>(count));
    int64_t at = SectorsFor(static_cast<int64_t>(head.size()));
    for (int i = 0; i < count; ++i) {
        const int64_t size = SectorsFor(static_cast<int64_t>(std::exp(logSize(random))));
        places.push_back({at, size});
        std::string name = std::to_string(i);
        name += ".dff";
        const RecordBytes r =
            EncodeRecord({static_cast<int32_t>(at), static_cast<int32_t>(size), name});
        std::copy(r.begin(), r.end(), head.begin() + 8 + 32 * i);
        at += size + static_cast<int64_t>(random() % static_cast<uint32_t>(size + 1));
    }
    IoState io;
    File file = File::Open(path, OpenMode::CreateAlways, io);
    file.WriteAt(0, head.data(), head.size());
    std::vector<char> data(static_cast<size_t>(SectorToByte(64)));
    for (auto& b : data) {
        b = static_cast<char>(random());
    }
    for (const Place& p : places) {
        file.WriteAt(SectorToByte(p.offset), data.data(),
                     static_cast<size_t>(SectorToByte(p.size)));
    }
    file.Resize(SectorToByte(at));
    file.Sync();
    return places;
}

double CopyLiveBytes(const std::string& archive, const std::vector<Place>& places,
                     const std::string& target) {
    return bench::Seconds([&] {
        IoState io;
        File in = File::Open(archive, OpenMode::ReadShared, io);
        File out = File::Open(target, OpenMode::CreateAlways, io);
        std::vector<char> buffer;
        int64_t to = 0;
        for (const Place& p : places) {
            const int64_t length = SectorToByte(p.size);
            CopyPieces(&in, SectorToByte(p.offset), length, out, to, length, buffer);
            to += length;
        }
        out.Sync();
    });
}

}  // namespace

int main(int argc, char** argv) {
    const auto [runs, count] = bench::ParseOptions(argc, argv);
    const std::string dir = bench::MakeTempDir();
    const std::string img = dir + "/gappy.img";
    std::vector<double> compact, copy;
    int flushes = 0;
    int64_t before = 0, after = 0;
    for (int run = 0; run < runs; ++run) {
        const std::vector<Place> places = MakeArchive(img, count);
        const bool baselineFirst = run % 2 == 1;
        if (baselineFirst) {
            copy.push_back(CopyLiveBytes(img, places, dir + "/copy"));
        }
        Summaries boxes;
        bench::FlushTimer files;
        IoState io{.fileSystem = &files};
        CompactOutcome outcome;
        compact.push_back(bench::Seconds([&] { outcome = CompactArchive(img, boxes, io); }));
        if (!outcome.RanToEnd()) {
            std::fprintf(stderr, "compact did not complete\n");
            return 1;
        }
        flushes = files.flushes;
        before = outcome.bytesBefore;
        after = outcome.bytesAfter;
        if (!baselineFirst) {
            copy.push_back(CopyLiveBytes(img, places, dir + "/copy"));
        }
        bench::RemoveTree(dir + "/copy");
    }
    const double c = bench::Median(compact), p = bench::Median(copy);
    std::printf(
        "compact_bench: %d entries, %.1f MiB -> %.1f MiB, %d runs\n"
        "compact %7.3f s   copy of the live bytes %7.3f s   ratio %5.2f   flushes %d\n",
        count, before / 1048576.0, after / 1048576.0, runs, c, p, c / p, flushes);
    bench::RemoveTree(dir);
    return 0;
}
