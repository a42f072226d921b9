// Every command of zarnex-cli on version-2 archives of 100,000 and 1,000,000 one-sector entries
// and a version-1 archive of the smaller size, each against least_work (the least work for the
// same output) in the same run, the two in turn. Prints a table: the median wall time of each,
// the ratios pair by pair, the ratio of processor times, the flushes (when strace is there) and
// the peak memory against the directory's bytes. Both programs' output and the archive they
// leave are compared once, so that the yardstick never does less than the command.
//
//   scale_bench [--runs N] [--entries N]...
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_util.h"

extern char** environ;

using namespace zarnex;

namespace {

constexpr int64_t Sector = 2048;
// Records are made and copied a piece at a time: a spawned child's peak memory counts its
// parent's at the start, so this process stays small.
constexpr int64_t Piece = 1 << 20;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "scale_bench: %s\n", what.c_str());
    std::exit(1);
}

// Names of 5 to 21 bytes, as game files have them.
std::string EntryName(int64_t i) {
    static const char* const prefixes[] = {"",    "a_",      "lod",      "veh_",
                                           "ped", "road_la", "interior", "building_x"};
    static const char* const kinds[] = {".dff", ".txd", ".col", ".ifp"};
    return prefixes[i % 8] + std::to_string(i) + kinds[i % 4];
}

struct Layout {
    bool v2 = true;
    int64_t count = 0;
    std::string path;  // the archive; ".dir" beside it in version 1

    std::string RecordPath() const { return v2 ? path : path.substr(0, path.size() - 4) + ".dir"; }
    int64_t RecordStart() const { return v2 ? 8 : 0; }
    int64_t RecordBytes() const { return RecordStart() + 32 * count; }
    // Room for a few more records before the first data in version 2.
    int64_t FirstSector() const { return v2 ? (RecordBytes() + 32 * 8 + Sector - 1) / Sector : 0; }
    int64_t DataBytes() const { return (FirstSector() + count) * Sector; }
};

int OpenOrFail(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags, 0644);
    if (fd < 0) {
        Fail("cannot open " + path);
    }
    return fd;
}

// Entry i holds one sector, in an order shuffled against the records' as in archives that were
// edited for years; the data is a hole that reads as zeros.
void WriteArchive(const Layout& a) {
    const int records = OpenOrFail(a.RecordPath(), O_WRONLY | O_CREAT | O_TRUNC);
    std::vector<unsigned char> piece;
    if (a.v2) {
        piece = {'V', 'E', 'R', '2', 0, 0, 0, 0};
        for (int b = 0; b < 4; ++b) {
            piece[4 + b] = static_cast<unsigned char>(a.count >> (8 * b));
        }
    }
    for (int64_t i = 0; i < a.count; ++i) {
        unsigned char r[32] = {};
        const int64_t offset = a.FirstSector() + (i * 7919 + 13) % a.count, size = 1;
        for (int b = 0; b < 4; ++b) {
            r[b] = static_cast<unsigned char>(offset >> (8 * b));
            r[4 + b] = static_cast<unsigned char>(size >> (8 * b));
        }
        const std::string name = EntryName(i);
        std::memcpy(r + 8, name.data(), name.size());
        piece.insert(piece.end(), r, r + 32);
        if (static_cast<int64_t>(piece.size()) >= Piece || i + 1 == a.count) {
            if (write(records, piece.data(), piece.size()) != static_cast<ssize_t>(piece.size())) {
                Fail("cannot write " + a.RecordPath());
            }
            piece.clear();
        }
    }
    if (!a.v2) {
        close(records);
    }
    const int data = a.v2 ? records : OpenOrFail(a.path, O_WRONLY | O_CREAT | O_TRUNC);
    if (ftruncate(data, a.DataBytes()) != 0 || fsync(data) != 0) {
        Fail("cannot size " + a.path);
    }
    close(data);
}

// A hash of `length` bytes of the file from `from`, read a piece at a time (the data is a hole of
// up to 2 GiB, the output of list 40 MB).
uint64_t Digest(const std::string& path, int64_t from, int64_t length) {
    const int fd = OpenOrFail(path, O_RDONLY);
    std::vector<unsigned char> piece(Piece);
    uint64_t hash = 14695981039346656037u;
    for (int64_t done = 0; done < length;) {
        const ssize_t n = pread(fd, piece.data(),
                                static_cast<size_t>(std::min(Piece, length - done)), from + done);
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            hash = (hash ^ piece[static_cast<size_t>(i)]) * 1099511628211u;
        }
        done += n;
    }
    close(fd);
    return hash;
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

uint64_t WholeDigest(const std::string& path) {
    return Digest(path, 0, FileSize(path));
}

// What a command leaves: the sizes, the records and the last sectors of the data.
std::vector<uint64_t> Fingerprint(const Layout& a) {
    std::vector<uint64_t> print;
    for (const std::string& path : {a.path, a.RecordPath()}) {
        const int64_t size = FileSize(path), tail = std::min<int64_t>(size, 1 << 16);
        print.push_back(static_cast<uint64_t>(size));
        print.push_back(Digest(path, 0, a.RecordBytes() + 64));
        print.push_back(Digest(path, size - tail, tail));
    }
    return print;
}

void CopyHead(const std::string& from, const std::string& to, int64_t length) {
    const int in = OpenOrFail(from, O_RDONLY), out = OpenOrFail(to, O_WRONLY | O_CREAT | O_TRUNC);
    std::vector<char> piece(Piece);
    for (int64_t done = 0; done < length;) {
        const ssize_t n =
            read(in, piece.data(), static_cast<size_t>(std::min(Piece, length - done)));
        if (n <= 0 || write(out, piece.data(), static_cast<size_t>(n)) != n) {
            Fail("cannot copy " + from);
        }
        done += n;
    }
    close(in);
    close(out);
}

// Runs argv with its output in `out`, its errors in `err`: wall and processor time, peak memory.
bench::Sample Run(const std::vector<std::string>& argv, const std::string& out,
                  const std::string& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    int status = 0;
    rusage usage{};
    bench::Sample sample;
    sample.wall = bench::Seconds([&] {
        pid_t pid = 0;
        if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0 ||
            wait4(pid, &status, 0, &usage) != pid) {
            Fail("cannot run " + argv[0]);
        }
    });
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        Fail(argv[0] + " " + argv[1] + " failed, see " + err);
    }
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6;
    };
    sample.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    sample.peakKiB = usage.ru_maxrss;
    return sample;
}

// Runs argv under strace, which counts the flushes it asks for; without strace, runs it alone and
// returns -1.
int RunCountingFlushes(const std::vector<std::string>& argv, const std::string& dir,
                       const std::string& out) {
    if (access("/usr/bin/strace", X_OK) != 0) {
        Run(argv, out, dir + "/err");
        return -1;
    }
    std::vector<std::string> traced = {"/usr/bin/strace",
                                       "-f",
                                       "-qq",
                                       "-o",
                                       dir + "/trace",
                                       "-e",
                                       "trace=fsync,fdatasync,syncfs,sync,msync",
                                       "--"};
    traced.insert(traced.end(), argv.begin(), argv.end());
    Run(traced, out, dir + "/err");
    std::ifstream in(dir + "/trace");
    int flushes = 0;
    for (std::string line; std::getline(in, line);) {
        flushes += line.find("resumed>") == std::string::npos;
    }
    return flushes;
}

struct Command {
    std::string label;
    bool writes;
    std::vector<std::string> args;  // after the program
    std::string made;               // a file the command makes, removed before each run
};

struct Row {
    std::string archive, label;
    bench::Pairs pairs;
    int flushesA, flushesB;
    double directoryMiB;
};

std::string Archives(const Layout& a) {
    char text[64];
    std::snprintf(text, sizeof text, "v%d, %lld", a.v2 ? 2 : 1, static_cast<long long>(a.count));
    return text;
}

std::vector<Row> Measure(const Layout& a, const std::string& dir, int runs) {
    const std::string pristine = dir + "/pristine" + (a.v2 ? ".img" : "1.img");
    Layout master = a;
    master.path = pristine;
    WriteArchive(master);
    const std::string cli = ZARNEX_CLI_PATH, least = LEAST_WORK_PATH;
    // A fresh copy of the records; the data is a hole again.
    auto restore = [&] {
        if (!a.v2) {
            CopyHead(master.path, a.path, 0);
        }
        CopyHead(master.RecordPath(), a.RecordPath(), a.RecordBytes());
        if (truncate(a.path.c_str(), a.DataBytes()) != 0) {
            Fail("cannot size " + a.path);
        }
    };
    restore();

    // Inputs: a new file, a file named as an entry, and lists of names spread over the records.
    const std::string src = dir + "/src", outFolder = dir + "/extracted";
    mkdir(src.c_str(), 0755);
    mkdir(outFolder.c_str(), 0755);
    const std::string fresh = src + "/new_entry.dff", same = src + "/" + EntryName(a.count / 2);
    for (const std::string& path : {fresh, same}) {
        std::ofstream(path, std::ios::binary) << std::string(1500, 'z');
    }
    auto listOf = [&](int64_t k) {
        const std::string path = dir + "/delete" + std::to_string(k) + ".txt";
        std::ofstream list(path);
        for (int64_t j = 0; j < k; ++j) {
            list << EntryName(j * a.count / k + 1) << "\n";
        }
        return path;
    };
    const int64_t many = std::min<int64_t>(10000, a.count / 4), some = many / 10;
    std::string asked = EntryName(a.count / 7);
    for (char& c : asked) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const std::vector<Command> commands = {
        {"list", false, {"list", a.path}, ""},
        {"check", false, {"check", a.path}, ""},
        {"import one new file", true, {"import", a.path, fresh}, ""},
        {"import replacing one", true, {"import", a.path, same}, ""},
        {"extract one",
         false,
         {"extract", a.path, outFolder, asked},
         outFolder + "/" + EntryName(a.count / 7)},
        {"delete one", true, {"delete", a.path, EntryName(a.count / 3)}, ""},
        {"rename one", true, {"rename", a.path, EntryName(a.count / 5), "renamed_entry.dff"}, ""},
        {"delete " + std::to_string(some), true, {"delete", "-T", listOf(some), a.path}, ""},
        {"delete " + std::to_string(many), true, {"delete", "-T", listOf(many), a.path}, ""},
    };

    std::vector<Row> rows;
    for (const Command& c : commands) {
        std::vector<std::string> zarnex = {cli}, yardstick = {least};
        zarnex.insert(zarnex.end(), c.args.begin(), c.args.end());
        yardstick.insert(yardstick.end(), c.args.begin(), c.args.end());
        auto prepare = [&] {
            if (c.writes) {
                restore();
            }
            if (!c.made.empty()) {
                unlink(c.made.c_str());
            }
        };
        // Once each, not counted: both must say the same and leave the same.
        prepare();
        const int flushesA = RunCountingFlushes(zarnex, dir, dir + "/out-a");
        const auto left = Fingerprint(a);
        const uint64_t made = c.made.empty() ? 0 : WholeDigest(c.made);
        prepare();
        const int flushesB = RunCountingFlushes(yardstick, dir, dir + "/out-b");
        if (WholeDigest(dir + "/out-a") != WholeDigest(dir + "/out-b") ||
            FileSize(dir + "/out-a") != FileSize(dir + "/out-b") || Fingerprint(a) != left ||
            (!c.made.empty() && WholeDigest(c.made) != made)) {
            Fail(c.label + ": least_work's output or archive differs from zarnex-cli's");
        }
        std::vector<bench::Sample> samples[2];
        for (int run = 0; run < runs; ++run) {
            for (int turn = 0; turn < 2; ++turn) {
                const int side = (run + turn) % 2;  // A B, then B A
                prepare();
                samples[side].push_back(
                    Run(side == 0 ? zarnex : yardstick, dir + "/out", dir + "/err"));
            }
        }
        rows.push_back({Archives(a), c.label, bench::Pairs(samples[0], samples[1]), flushesA,
                        flushesB, a.RecordBytes() / 1048576.0});
        std::fprintf(stderr, "scale_bench: %s %s done\n", rows.back().archive.c_str(),
                     c.label.c_str());
    }
    unlink(master.path.c_str());
    unlink(master.RecordPath().c_str());
    return rows;
}

std::string Load() {
    double load[3] = {};
    getloadavg(load, 3);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", load[0]);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    std::vector<int64_t> sizes;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--entries") == 0) {
            sizes.push_back(std::atoll(argv[i + 1]));
        }
    }
    if (sizes.empty()) {
        sizes = {100000, 1000000};
    }
    setenv("LANGUAGE", "en", 1);  // the summaries as least_work prints them
    const std::string dir = bench::MakeTempDir();
    const std::string loadBefore = Load();
    std::vector<Row> rows;
    std::vector<Layout> layouts;
    for (int64_t n : sizes) {
        layouts.push_back({true, n, dir + "/v2.img"});
    }
    layouts.push_back({false, *std::min_element(sizes.begin(), sizes.end()), dir + "/v1.img"});
    for (const Layout& a : layouts) {
        for (Row& row : Measure(a, dir, runs)) {
            rows.push_back(std::move(row));
        }
        unlink(a.path.c_str());
        unlink(a.RecordPath().c_str());
    }

    std::printf(
        "scale_bench: zarnex-cli (A) against least_work (B), %d runs each in turn after one not "
        "counted (under strace, counting flushes); medians, and the ratios A/B of the pairs; "
        "load average %s before, %s after. Wall time is what a user waits; on a shared machine "
        "it also waits for the processor, which processor time (user and system) does not.\n\n",
        runs, loadBefore.c_str(), Load().c_str());
    std::printf(
        "| archive | command | wall A | wall B | ratio (range) | processor A | processor B | "
        "ratio (range) | flushes A / B | peak A | A / directory | peak B |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        const bench::Pairs& p = r.pairs;
        const std::string flushes =
            r.flushesA < 0 ? "?" : std::to_string(r.flushesA) + " / " + std::to_string(r.flushesB);
        std::printf(
            "| %s | %s | %.0f ms | %.0f ms | %s | %.0f ms | %.0f ms | %s | %s | %.0f MiB | %.1f× | "
            "%.0f MiB |\n",
            r.archive.c_str(), r.label.c_str(), p.a.wall * 1e3, p.b.wall * 1e3, p.wallRatio.c_str(),
            p.a.cpu * 1e3, p.b.cpu * 1e3, p.cpuRatio.c_str(), flushes.c_str(), p.a.peakKiB / 1024.0,
            p.a.peakKiB / 1024.0 / r.directoryMiB, p.b.peakKiB / 1024.0);
    }
    std::printf("\nthis program's own peak (a spawned child's starts there): %.0f MiB\n",
                bench::PeakMemoryKiB() / 1024.0);
    bench::RemoveTree(dir);
    return 0;
}
