// 16,384 files imported into and extracted from both archive versions, and replaced again beside
// 800,000 other entries, each timed against a plain copy of the same bytes in the same run.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "archive/format.h"
#include "archive/import.h"
#include "archive/messages.h"
#include "bench/bench_util.h"
#include "platform/codepage.h"
#include "platform/file.h"

using namespace zarnex;

namespace {

class Counting : public MessageBoxes {
  public:
    MessageAnswer Show(const Message& m) override {
        const MessageBoxRequest r = Render(m, Language::Russian);
        if (r.icon != MessageIcon::Information) {
            std::fprintf(stderr, "unexpected box: %s\n", r.text.c_str());
            std::exit(1);
        }
        last = r.text;
        return MessageAnswer::Ok;
    }
    std::string last;
};

struct Source {
    std::string path;
    std::string name;
    size_t size;
};

std::vector<Source> MakeSources(const std::string& dir, int count) {
    std::mt19937 random(20261209);
    std::uniform_real_distribution<double> logSize(std::log(1024.0), std::log(131072.0));
    std::uniform_int_distribution<int> length(6, 20);
    const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    const char* const extensions[] = {".dff", ".txd", ".col", ".ipl", ".ifp"};
    std::set<std::string> taken;
    std::vector<Source> sources;
    std::vector<unsigned char> bytes;
    std::filesystem::create_directories(dir);
    while (static_cast<int>(sources.size()) < count) {
        std::string name;
        for (int n = length(random); n > 0; --n) {
            name += letters[random() % letters.size()];
        }
        name += extensions[random() % 5];
        if (!taken.insert(LowerAnsi(name)).second) {
            continue;
        }
        const auto size = static_cast<size_t>(std::exp(logSize(random)));
        bytes.resize(size);
        for (auto& b : bytes) {
            b = static_cast<unsigned char>(random());
        }
        sources.push_back({dir + "/" + name, name, size});
        bench::WriteWhole(sources.back().path, bytes);
    }
    return sources;
}

void MakeEmptyArchive(const std::string& path, bool version2) {
    std::vector<unsigned char> header;
    if (version2) {
        header.assign(8, 0);
        PutLE32(header.data(), Version2Tag);
    }
    bench::WriteWhole(path, header);
    if (!version2) {
        bench::WriteWhole(DirectoryFilePath(path), {});
    }
}

// A version-2 archive of `count` one-sector entries whose data is a hole, with room for the
// records of the sources before the first.
void MakeLargeArchive(const std::string& path, int count, int sources) {
    const int64_t first = SectorsFor(Version2RecordPosition(count + sources));
    std::vector<unsigned char> bytes(static_cast<size_t>(Version2RecordPosition(count)), 0);
    PutLE32(bytes.data(), Version2Tag);
    PutLE32(bytes.data() + 4, static_cast<uint32_t>(count));
    for (int i = 0; i < count; ++i) {
        const RecordBytes record = EncodeRecord(
            {static_cast<int32_t>(first + i), 1, "filler" + std::to_string(i) + ".dat"});
        std::copy(record.begin(), record.end(), bytes.begin() + Version2RecordPosition(i));
    }
    IoState io;
    File file = File::Open(path, OpenMode::CreateAlways, io);
    if (!file.WriteAt(0, bytes.data(), bytes.size()) || !file.Resize(SectorToByte(first + count))) {
        std::fprintf(stderr, "cannot make %s\n", path.c_str());
        std::exit(1);
    }
}

bench::Sample Import(const std::string& archive, const std::vector<std::string>& paths,
                     const std::string& expected) {
    Counting boxes;
    const bench::Sample sample =
        bench::Measure([&](IoState& io) { ImportFiles(archive, paths, boxes, {}, io); });
    if (boxes.last != expected) {
        std::fprintf(stderr, "import ended with \"%s\"\n", boxes.last.c_str());
        std::exit(1);
    }
    return sample;
}

// Baseline of the imports: every source read and appended to a new file, one flush at the end.
// New every time: emptying the last one first would cost the baseline more than its copy.
bench::Sample AppendAll(const std::vector<Source>& sources, const std::string& target) {
    bench::RemoveTree(target);
    return bench::Measure([&](IoState& io) {
        File out = File::Open(target, OpenMode::CreateAlways, io);
        std::vector<char> buffer(CopyPieceBytes);
        int64_t at = 0;
        for (const auto& s : sources) {
            File in = File::Open(s.path, OpenMode::ReadShared, io);
            int64_t size = 0;
            in.Size(size);
            for (int64_t done = 0; done < size; done += CopyPieceBytes) {
                size_t got = 0;
                in.ReadAt(done, buffer.data(), buffer.size(), &got);
                out.WriteAt(at, buffer.data(), got);
                at += static_cast<int64_t>(got);
            }
        }
        out.Sync();
    });
}

// Baseline of the extraction: each entry's bytes copied out of one big file into a new file,
// one flush of the file system at the end.
bench::Sample CopyOutAll(const std::string& archive, const std::vector<Source>& sources,
                         const std::string& folder) {
    std::filesystem::create_directories(folder);
    return bench::Measure([&](IoState& io) {
        File in = File::Open(archive, OpenMode::ReadShared, io);
        std::vector<char> buffer(CopyPieceBytes);
        int64_t at = 2048 * 9;  // somewhere past the directory
        for (const auto& s : sources) {
            File out = File::Open(folder + "/" + s.name, OpenMode::CreateNew, io);
            const int64_t length = SectorToByte(SectorsFor(static_cast<int64_t>(s.size)));
            for (int64_t done = 0; done < length; done += CopyPieceBytes) {
                size_t n = static_cast<size_t>(std::min<int64_t>(length - done, CopyPieceBytes));
                in.ReadAt(at + done, buffer.data(), n);
                out.WriteAt(done, buffer.data(), n);
            }
            at += length;
        }
        // Durable before it is done, as the extraction is.
        SyncFileSystem(folder, io);
    });
}

}  // namespace

int main(int argc, char** argv) {
    const auto [runs, count] = bench::ParseOptions(argc, argv);
    const std::string dir = bench::MakeTempDir();
    std::vector<Source> sources = MakeSources(dir + "/src", count);
    std::vector<std::string> paths, names;
    size_t total = 0;
    for (const auto& s : sources) {
        paths.push_back(s.path);
        names.push_back(s.name);
        total += s.size;
    }
    std::printf("bulk_bench: %d files, %.1f MiB, %d runs\n", count, total / 1048576.0, runs);
    const std::string added = "Завершено\n\nЗаменено: 0\nДобавлено: " + std::to_string(count);
    const std::string replaced =
        "Завершено\n\nЗаменено: " + std::to_string(count) + "\nДобавлено: 0";

    enum { A, B, C1, C2, D, E, Kinds };
    const char* labels[Kinds] = {"(a) import into empty v2", "(b) import again into v2",
                                 "(c) import into empty v1", "(c) import again into v1",
                                 "(d) extract all from v2",  "(e) again beside 800,000"};
    // (e): each replacement moves an entry among 800,000 more, one sector each (as many as fit
    // beside the files in 2 GiB); its cost must not grow with them.
    constexpr int Fillers = 800000;
    std::vector<bench::Sample> batch[Kinds], base[Kinds];
    AppendAll(sources, dir + "/warm");  // warm the page cache
    for (int run = 0; run < runs; ++run) {
        const std::string v2 = dir + "/v2.img", v1 = dir + "/v1.img";
        // Every other run times the baseline first, so that neither side always comes second.
        const bool baselineFirst = run % 2 == 1;
        auto timeImport = [&](int kind, const std::string& archive, const std::string& expected) {
            if (baselineFirst) {
                base[kind].push_back(AppendAll(sources, dir + "/append"));
            }
            batch[kind].push_back(Import(archive, paths, expected));
            if (!baselineFirst) {
                base[kind].push_back(AppendAll(sources, dir + "/append"));
            }
        };
        MakeEmptyArchive(v2, true);
        timeImport(A, v2, added);
        timeImport(B, v2, replaced);
        MakeEmptyArchive(v1, false);
        timeImport(C1, v1, added);
        timeImport(C2, v1, replaced);
        bench::RemoveTree(v1);
        bench::RemoveTree(DirectoryFilePath(v1));
        const std::string large = dir + "/large.img";
        MakeLargeArchive(large, Fillers, count);
        Import(large, paths, added);
        timeImport(E, large, replaced);
        bench::RemoveTree(large);

        // Every run extracts into folders of its own, all removed at the end: a file system
        // without a journal (ext4 here) skips the inodes freed in the last 30 s or so when it
        // makes files, looking at each of them, so that 16,384 files made right after 16,384
        // were removed took from 1 to 18 s (and processor time in proportion), depending on how
        // long ago the removal was.
        const std::string out = dir + "/out" + std::to_string(run),
                          copy = dir + "/copy" + std::to_string(run);
        std::filesystem::create_directories(out);
        Counting boxes;
        if (baselineFirst) {
            base[D].push_back(CopyOutAll(v2, sources, copy));
        }
        batch[D].push_back(
            bench::Measure([&](IoState& io) { ExtractFiles(v2, out, names, boxes, {}, io); }));
        if (boxes.last != "Извлечено: " + std::to_string(count)) {
            std::fprintf(stderr, "extraction ended with \"%s\"\n", boxes.last.c_str());
            return 1;
        }
        if (!baselineFirst) {
            base[D].push_back(CopyOutAll(v2, sources, copy));
        }
        bench::RemoveTree(v2);
        bench::RemoveTree(dir + "/append");
    }
    // Each batch against the baseline timed beside it: the machine's load drifts between runs.
    // The wall time is what a user waits; the processor time is the batch's own work, which other
    // programs on a shared machine do not stretch.
    for (int k = 0; k < Kinds; ++k) {
        const bench::Pairs p(batch[k], base[k]);
        std::printf(
            "%-28s batch %7.3f s (processor %.3f s)   baseline %7.3f s (processor %.3f s)   "
            "flushes %d in %.2f s / %d in %.2f s\n"
            "%-28s ratio %s   processor ratio %s\n",
            labels[k], p.a.wall, p.a.cpu, p.b.wall, p.b.cpu, p.a.flushes, p.a.flushWall,
            p.b.flushes, p.b.flushWall, "", p.wallRatio.c_str(), p.cpuRatio.c_str());
    }
    std::printf("peak memory %.1f MiB\n", bench::PeakMemoryKiB() / 1024.0);
    bench::RemoveTree(dir);
    return 0;
}
