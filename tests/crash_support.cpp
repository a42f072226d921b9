#include "tests/crash_support.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "archive/format.h"

namespace zarnex::test {

void Recorder::Written(const std::string& path, int64_t pos, const void* bytes, size_t n) {
    const auto* b = static_cast<const unsigned char*>(bytes);
    ops.push_back({FileOp::Write, path, pos, Bytes(b, b + n)});
}

void Recorder::Resized(const std::string& path, int64_t size) {
    ops.push_back({FileOp::Resize, path, size, {}});
}

void Recorder::Flushed(const std::string& path) {
    ops.push_back({FileOp::Flush, path, 0, {}});
}

uint64_t HashSector(const unsigned char* bytes) {
    uint64_t h = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < SectorSize; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        h = (h ^ word) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
    }
    return h;
}

namespace {

const uint64_t kZeroSector = [] {
    const Bytes zeros(SectorSize, 0);
    return HashSector(zeros.data());
}();

void Rehash(FileImage& file, int64_t from, int64_t to) {
    if (from >= to) {
        return;
    }
    const auto sectors = static_cast<size_t>(SectorsFor(static_cast<int64_t>(file.bytes.size())));
    file.bytes.resize(sectors * SectorSize, 0);
    file.sectorHashes.resize(sectors, kZeroSector);
    for (int64_t s = from / SectorSize; s < SectorsFor(to); ++s) {
        file.sectorHashes[static_cast<size_t>(s)] =
            HashSector(file.bytes.data() + static_cast<size_t>(s) * SectorSize);
    }
}

// What an op changed, to put it back.
struct Undo {
    std::string path;
    int64_t pos;
    Bytes bytes;
    int64_t length;
};

void Apply(DiskImage& disk, const FileOp& op, std::vector<Undo>* undo) {
    FileImage& file = disk[op.path];
    if (op.kind == FileOp::Write) {
        const int64_t end = op.pos + static_cast<int64_t>(op.bytes.size());
        if (static_cast<int64_t>(file.bytes.size()) < end) {
            file.bytes.resize(static_cast<size_t>(end), 0);
        }
        if (undo) {
            undo->push_back({op.path, op.pos,
                             Bytes(file.bytes.begin() + op.pos, file.bytes.begin() + end),
                             file.length});
        }
        std::copy(op.bytes.begin(), op.bytes.end(), file.bytes.begin() + op.pos);
        file.length = std::max(file.length, end);
        Rehash(file, op.pos, end);
    } else if (op.kind == FileOp::Resize) {
        // Past the new end the file reads as zeros, also when it grows again.
        const int64_t cut = std::min<int64_t>(op.pos, static_cast<int64_t>(file.bytes.size()));
        if (undo) {
            undo->push_back(
                {op.path, cut, Bytes(file.bytes.begin() + cut, file.bytes.end()), file.length});
        }
        std::fill(file.bytes.begin() + cut, file.bytes.end(), 0);
        file.length = op.pos;
        Rehash(file, cut, static_cast<int64_t>(file.bytes.size()));
    }
}

void Revert(DiskImage& disk, std::vector<Undo>& undo) {
    for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
        FileImage& file = disk[it->path];
        std::copy(it->bytes.begin(), it->bytes.end(), file.bytes.begin() + it->pos);
        file.length = it->length;
        Rehash(file, it->pos, it->pos + static_cast<int64_t>(it->bytes.size()));
    }
    undo.clear();
}

}  // namespace

uint64_t FileImage::SectorHash(int64_t sector) const {
    if (sector < 0 || static_cast<size_t>(sector) >= sectorHashes.size()) {
        return kZeroSector;
    }
    return sectorHashes[static_cast<size_t>(sector)];
}

std::vector<uint64_t> SectorHashes(const Bytes& padded) {
    std::vector<uint64_t> hashes;
    for (size_t at = 0; at + SectorSize <= padded.size(); at += SectorSize) {
        hashes.push_back(HashSector(padded.data() + at));
    }
    return hashes;
}

DiskImage ReadDisk(const std::vector<std::string>& paths) {
    DiskImage disk;
    for (const std::string& path : paths) {
        FileImage& file = disk[path];
        if (std::filesystem::exists(path)) {
            file.bytes = ReadBytes(path);
        }
        file.length = static_cast<int64_t>(file.bytes.size());
        Rehash(file, 0, file.length);
    }
    return disk;
}

CrashReport SimulateCrashes(const DiskImage& before, const std::vector<FileOp>& ops,
                            const DiskCheck& check, uint32_t seed) {
    constexpr size_t MostSingles = 24;  // each-alone states per crash point, spread evenly
    constexpr int Subsets = 3;
    std::mt19937 random(seed);
    CrashReport report;
    DiskImage durable = before;   // what flushes have made sure of
    DiskImage latest = before;    // everything issued so far kept
    std::vector<size_t> pending;  // ops issued since their file's last flush, in order
    std::vector<Undo> undo;

    auto verify = [&](const DiskImage& disk, size_t point, const std::string& state) {
        ++report.statesChecked;
        std::string problem = check(disk);
        if (!problem.empty() && report.failures.size() < 5) {
            report.failures.push_back("crash after " + std::to_string(point) + " of " +
                                      std::to_string(ops.size()) + " operations, " + state + ": " +
                                      problem);
        }
    };
    // Kept: `keep` applied over the durable state, in their order.
    auto verifyKept = [&](const std::vector<size_t>& keep, size_t point, const std::string& what) {
        for (size_t i : keep) {
            Apply(durable, ops[i], &undo);
        }
        verify(durable, point, what);
        Revert(durable, undo);
    };

    // Lost: the latest state with the op's bytes as the other kept ops leave them.
    auto verifyLost = [&](size_t k, size_t point) {
        const FileOp& lost = ops[pending[k]];
        const std::string what = "op " + std::to_string(pending[k]) + " lost";
        bool plain = lost.kind == FileOp::Write;
        for (size_t i : pending) {
            plain = plain && !(ops[i].kind == FileOp::Resize && ops[i].path == lost.path);
        }
        if (!plain) {
            std::vector<size_t> others = pending;
            others.erase(others.begin() + static_cast<std::ptrdiff_t>(k));
            verifyKept(others, point, what);
            return;
        }
        const FileImage& base = durable[lost.path];
        const int64_t from = lost.pos;
        const int64_t to = from + static_cast<int64_t>(lost.bytes.size());
        Bytes region(lost.bytes.size(), 0);
        int64_t length = base.length;
        for (int64_t at = from; at < std::min<int64_t>(to, base.bytes.size()); ++at) {
            region[static_cast<size_t>(at - from)] = base.bytes[static_cast<size_t>(at)];
        }
        for (size_t j = 0; j < pending.size(); ++j) {
            const FileOp& other = ops[pending[j]];
            if (j == k || other.path != lost.path) {
                continue;
            }
            const int64_t end = other.pos + static_cast<int64_t>(other.bytes.size());
            length = std::max(length, end);
            for (int64_t at = std::max(from, other.pos); at < std::min(to, end); ++at) {
                region[static_cast<size_t>(at - from)] =
                    other.bytes[static_cast<size_t>(at - other.pos)];
            }
        }
        Apply(latest, {FileOp::Write, lost.path, from, std::move(region)}, &undo);
        latest[lost.path].length = length;
        verify(latest, point, what);
        Revert(latest, undo);
    };

    for (size_t point = 0;; ++point) {
        ++report.crashPoints;
        verify(durable, point, "every unflushed write lost");
        if (!pending.empty()) {
            verify(latest, point, "every write kept");
            const size_t step = std::max<size_t>(1, pending.size() / MostSingles);
            for (size_t k = pending.size(); k-- > 0;) {
                if (k % step != 0 && k + 1 != pending.size()) {
                    continue;
                }
                verifyKept({pending[k]}, point, "only op " + std::to_string(pending[k]) + " kept");
                verifyLost(k, point);
            }
            for (int s = 0; s < Subsets && pending.size() > 2; ++s) {
                std::vector<size_t> some;
                for (size_t i : pending) {
                    if (random() % 2) {
                        some.push_back(i);
                    }
                }
                verifyKept(some, point, "a random subset kept");
            }
        }
        if (point == ops.size()) {
            break;
        }
        const FileOp& op = ops[point];
        if (op.kind == FileOp::Flush) {
            std::vector<size_t> rest;
            for (size_t i : pending) {
                if (ops[i].path == op.path) {
                    Apply(durable, ops[i], nullptr);
                } else {
                    rest.push_back(i);
                }
            }
            pending = std::move(rest);
        } else {
            Apply(latest, op, nullptr);
            pending.push_back(point);
        }
    }
    report.durable = std::move(durable);
    return report;
}

}  // namespace zarnex::test
