#include "tests/crash_support.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

#include "archive/format.h"
#include "archive/journal.h"
#include "platform/paths.h"
#include "tests/codes.h"
#include "tests/scripted_boxes.h"

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

void Recorder::Created(const std::string& path) {
    ops.push_back({FileOp::Create, path, 0, {}});
}

void Recorder::Removed(const std::string& path) {
    ops.push_back({FileOp::Remove, path, 0, {}});
}

void Recorder::FolderFlushed(const std::string& folder) {
    ops.push_back({FileOp::FolderFlush, folder, 0, {}});
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

// What a disk keeps or loses as one: a write's piece between two sector boundaries, or a whole
// change of length.
struct Unit {
    size_t op;
    int64_t from = 0;  // Write: the piece [from, to)
    int64_t to = 0;
};

void Apply(DiskImage& disk, const FileOp& op, const Unit& unit, std::vector<Undo>* undo) {
    FileImage& file = disk[op.path];
    if (op.kind == FileOp::Write) {
        if (static_cast<int64_t>(file.bytes.size()) < unit.to) {
            file.bytes.resize(static_cast<size_t>(unit.to), 0);
        }
        if (undo) {
            undo->push_back({op.path, unit.from,
                             Bytes(file.bytes.begin() + unit.from, file.bytes.begin() + unit.to),
                             file.length});
        }
        std::copy(op.bytes.begin() + (unit.from - op.pos), op.bytes.begin() + (unit.to - op.pos),
                  file.bytes.begin() + unit.from);
        file.length = std::max(file.length, unit.to);
        Rehash(file, unit.from, unit.to);
    } else if (op.kind == FileOp::Resize) {
        // Past the new end the file reads as zeros, also when it grows again.
        const int64_t cut = std::min<int64_t>(op.pos, static_cast<int64_t>(file.bytes.size()));
        if (undo) {
            undo->push_back(
                {op.path, cut, Bytes(file.bytes.begin() + cut, file.bytes.end()), file.length});
        }
        std::fill(file.bytes.begin() + cut, file.bytes.end(), 0);
        file.bytes.resize(std::max(file.bytes.size(), static_cast<size_t>(op.pos)), 0);
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

Bytes FileImage::Contents() const {
    Bytes contents(static_cast<size_t>(length), 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), contents.size()), contents.begin());
    return contents;
}

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
        if (std::filesystem::exists(FsPath(path))) {
            file.bytes = ReadBytes(path);
        }
        file.length = static_cast<int64_t>(file.bytes.size());
        file.exists = std::filesystem::exists(FsPath(path));
        Rehash(file, 0, file.length);
    }
    return disk;
}

namespace {

// The folder a path's name stands in, without the separator that ends it.
std::string FolderOf(const std::string& path) {
    std::string folder = FolderPart(path);
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) {
        folder.pop_back();
    }
    return folder;
}

class Simulation {
  public:
    Simulation(const DiskImage& before, const std::vector<FileOp>& ops, const DiskCheck& check,
               uint32_t seed)
        : ops_(ops), check_(check), random_(seed), durable_(before), latest_(before) {
        for (size_t i = 0; i < ops.size(); ++i) {
            const FileOp& op = ops[i];
            unitsOf_.emplace_back();
            if (op.kind == FileOp::Write) {
                const int64_t end = op.pos + static_cast<int64_t>(op.bytes.size());
                for (int64_t at = op.pos; at < end;) {
                    const int64_t next =
                        std::min(end, (at / DiskSectorBytes + 1) * DiskSectorBytes);
                    unitsOf_.back().push_back(units_.size());
                    units_.push_back({i, at, next});
                    at = next;
                }
            } else if (op.kind == FileOp::Resize) {
                unitsOf_.back().push_back(units_.size());
                units_.push_back({i});
            }
        }
    }

    CrashReport Run() {
        for (size_t point = 0;; ++point) {
            ++report_.crashPoints;
            for (const std::vector<bool>& names : NameStates()) {
                SetNames(names);
                CheckData(point, names.empty() ? "" : NamesText(names));
            }
            if (point == ops_.size()) {
                break;
            }
            Issue(point);
        }
        SetNames(std::vector<bool>(pendingNames_.size(), false));
        report_.durable = std::move(durable_);
        return std::move(report_);
    }

  private:
    static constexpr size_t MostSingles = 24;  // each-alone states per crash point, spread evenly
    static constexpr size_t MostTorn = 4;      // writes torn per crash point, the smallest first
    static constexpr int Subsets = 3;

    const FileOp& OpOf(size_t unit) const { return ops_[units_[unit].op]; }

    void Issue(size_t point) {
        const FileOp& op = ops_[point];
        switch (op.kind) {
            case FileOp::Flush: {
                std::vector<size_t> rest;
                for (size_t u : pending_) {
                    if (OpOf(u).path == op.path) {
                        Apply(durable_, OpOf(u), units_[u], nullptr);
                    } else {
                        rest.push_back(u);
                    }
                }
                pending_ = std::move(rest);
                break;
            }
            case FileOp::Create:
                // A new file is empty; until its folder is flushed, the disk may not have it.
                NoteName(op.path);
                latest_[op.path] = {};
                if (!namesDurable_[op.path]) {
                    durable_[op.path] = {};
                }
                pendingNames_.push_back(point);
                break;
            case FileOp::Remove:
                NoteName(op.path);
                pendingNames_.push_back(point);
                break;
            case FileOp::FolderFlush: {
                std::vector<size_t> rest;
                for (size_t i : pendingNames_) {
                    const FileOp& name = ops_[i];
                    if (FolderOf(name.path) != FolderOf(op.path + "/x")) {
                        rest.push_back(i);
                        continue;
                    }
                    namesDurable_[name.path] = name.kind == FileOp::Create;
                    if (name.kind == FileOp::Remove) {
                        durable_[name.path] = {};  // gone for good, its bytes too
                    }
                }
                pendingNames_ = std::move(rest);
                break;
            }
            default:
                for (size_t u : unitsOf_[point]) {
                    Apply(latest_, op, units_[u], nullptr);
                    pending_.push_back(u);
                }
                break;
        }
    }

    // Which unflushed changes of names a state keeps: all, none, each alone, each alone lost.
    std::vector<std::vector<bool>> NameStates() const {
        const size_t n = pendingNames_.size();
        std::vector<std::vector<bool>> states = {std::vector<bool>(n, true)};
        if (n > 0) {
            states.emplace_back(n, false);
        }
        for (size_t k = 0; n > 1 && k < n; ++k) {
            states.emplace_back(n, false);
            states.back()[k] = true;
            states.emplace_back(n, true);
            states.back()[k] = false;
        }
        return states;
    }

    // The first change of a path's name: what the disk holds of it until then.
    void NoteName(const std::string& path) {
        if (!namesDurable_.count(path)) {
            namesDurable_[path] = durable_.count(path) && durable_[path].exists;
        }
    }

    // The names as the disk holds them when the changes `kept` are kept, in both images.
    void SetNames(const std::vector<bool>& kept) {
        std::map<std::string, bool> exists = namesDurable_;
        for (size_t k = 0; k < pendingNames_.size(); ++k) {
            const FileOp& op = ops_[pendingNames_[k]];
            if (kept[k]) {
                exists[op.path] = op.kind == FileOp::Create;
            }
        }
        for (const auto& [path, there] : exists) {
            durable_[path].exists = there;
            latest_[path].exists = there;
        }
    }

    std::string NamesText(const std::vector<bool>& kept) const {
        std::string text = ", names";
        for (size_t k = 0; k < kept.size(); ++k) {
            text += " " + std::to_string(pendingNames_[k]) + (kept[k] ? " kept" : " lost");
        }
        return text;
    }

    void Verify(const DiskImage& disk, size_t point, const std::string& state) {
        ++report_.statesChecked;
        std::string problem = check_(disk);
        if (!problem.empty() && report_.failures.size() < 5) {
            report_.failures.push_back("crash after " + std::to_string(point) + " of " +
                                       std::to_string(ops_.size()) + " operations, " + state +
                                       ": " + problem);
        }
    }

    // Kept: `keep` applied over the durable state, in their order.
    void VerifyKept(const std::vector<size_t>& keep, size_t point, const std::string& what) {
        for (size_t u : keep) {
            Apply(durable_, OpOf(u), units_[u], &undo_);
        }
        Verify(durable_, point, what);
        Revert(durable_, undo_);
    }

    // Lost: the latest state with the pieces of `lost` (units of one write) as the other kept
    // units leave them.
    void VerifyLost(const std::vector<size_t>& lost, size_t point, const std::string& what) {
        const FileOp& op = OpOf(lost.front());
        std::vector<size_t> others;
        bool plain = op.kind == FileOp::Write;
        for (size_t u : pending_) {
            if (std::find(lost.begin(), lost.end(), u) == lost.end()) {
                others.push_back(u);
                plain = plain && !(OpOf(u).kind == FileOp::Resize && OpOf(u).path == op.path);
            }
        }
        if (!plain) {
            VerifyKept(others, point, what);
            return;
        }
        const FileImage& base = durable_[op.path];
        int64_t length = base.length;
        for (size_t u : others) {
            if (OpOf(u).path == op.path) {
                length = std::max(length, units_[u].to);
            }
        }
        for (size_t l : lost) {
            const Unit& unit = units_[l];
            Bytes region(static_cast<size_t>(unit.to - unit.from), 0);
            for (int64_t at = unit.from;
                 at < std::min<int64_t>(unit.to, static_cast<int64_t>(base.bytes.size())); ++at) {
                region[static_cast<size_t>(at - unit.from)] = base.bytes[static_cast<size_t>(at)];
            }
            for (size_t u : others) {
                const FileOp& other = OpOf(u);
                if (other.path != op.path) {
                    continue;
                }
                for (int64_t at = std::max(unit.from, units_[u].from);
                     at < std::min(unit.to, units_[u].to); ++at) {
                    region[static_cast<size_t>(at - unit.from)] =
                        other.bytes[static_cast<size_t>(at - other.pos)];
                }
            }
            const FileOp piece{FileOp::Write, op.path, unit.from, std::move(region)};
            Apply(latest_, piece, {0, unit.from, unit.to}, &undo_);
        }
        const int64_t was = latest_[op.path].length;
        latest_[op.path].length = length;
        Verify(latest_, point, what);
        latest_[op.path].length = was;
        Revert(latest_, undo_);
    }

    // The unflushed writes as they are cut at sector boundaries: at most MostTorn of them, the
    // smallest first (records and counts rather than data), each with a piece at each end and
    // one in the middle kept alone or lost alone.
    void CheckTorn(size_t point, const std::string& names) {
        std::vector<size_t> torn;  // op indices
        for (size_t u : pending_) {
            const size_t op = units_[u].op;
            if (unitsOf_[op].size() > 1 && (torn.empty() || torn.back() != op)) {
                torn.push_back(op);
            }
        }
        std::stable_sort(torn.begin(), torn.end(), [&](size_t a, size_t b) {
            return ops_[a].bytes.size() < ops_[b].bytes.size();
        });
        torn.resize(std::min(torn.size(), MostTorn));
        for (size_t op : torn) {
            const std::vector<size_t>& pieces = unitsOf_[op];
            std::set<size_t> chosen = {0, pieces.size() / 2, pieces.size() - 1};
            for (size_t k : chosen) {
                const std::string what =
                    "op " + std::to_string(op) + " torn, piece " + std::to_string(k);
                VerifyKept({pieces[k]}, point, what + " alone kept" + names);
                VerifyLost({pieces[k]}, point, what + " lost" + names);
            }
        }
    }

    void CheckData(size_t point, const std::string& names) {
        Verify(durable_, point, "every unflushed write lost" + names);
        if (pending_.empty()) {
            return;
        }
        Verify(latest_, point, "every write kept" + names);
        std::vector<size_t> writes;  // ops with a unit pending, in order
        for (size_t u : pending_) {
            if (writes.empty() || writes.back() != units_[u].op) {
                writes.push_back(units_[u].op);
            }
        }
        const size_t step = std::max<size_t>(1, writes.size() / MostSingles);
        for (size_t k = writes.size(); k-- > 0;) {
            if (k % step != 0 && k + 1 != writes.size()) {
                continue;
            }
            const std::string op = "op " + std::to_string(writes[k]);
            VerifyKept(unitsOf_[writes[k]], point, "only " + op + " kept" + names);
            VerifyLost(unitsOf_[writes[k]], point, op + " lost" + names);
        }
        CheckTorn(point, names);
        for (int s = 0; s < Subsets && writes.size() > 2; ++s) {
            std::vector<size_t> some;
            for (size_t op : writes) {
                if (random_() % 2) {
                    some.insert(some.end(), unitsOf_[op].begin(), unitsOf_[op].end());
                }
            }
            VerifyKept(some, point, "a random subset kept" + names);
        }
        for (int s = 0; s < Subsets && pending_.size() > 2; ++s) {
            std::vector<size_t> some;
            for (size_t u : pending_) {
                if (random_() % 2) {
                    some.push_back(u);
                }
            }
            VerifyKept(some, point, "a random subset of pieces kept" + names);
        }
    }

    const std::vector<FileOp>& ops_;
    const DiskCheck& check_;
    std::mt19937 random_;
    std::vector<Unit> units_;
    std::vector<std::vector<size_t>> unitsOf_;  // per op
    CrashReport report_;
    DiskImage durable_;                 // what flushes have made sure of
    DiskImage latest_;                  // everything issued so far kept
    std::vector<size_t> pending_;       // units issued since their file's last flush, in order
    std::vector<size_t> pendingNames_;  // ops that made or removed a name, its folder unflushed
    std::map<std::string, bool> namesDurable_;  // per path made or removed: there for good
    std::vector<Undo> undo_;
};

}  // namespace

CrashReport SimulateCrashes(const DiskImage& before, const std::vector<FileOp>& ops,
                            const DiskCheck& check, uint32_t seed) {
    return Simulation(before, ops, check, seed).Run();
}

std::string InterruptDeletion(const std::string& img, const std::vector<EntryChoice>& chosen,
                              Recorder* recorder) {
    // The number of the archive's flush, from a run that goes through.
    struct FirstFlush : FileObserver {
        void Written(const std::string&, int64_t, const void*, size_t) override {}
        void Resized(const std::string&, int64_t) override {}
        void Flushed(const std::string& path) override {
            if (at == 0 && path != JournalPath(img)) {
                at = files->operations;
            }
        }
        std::string img;
        TestFileSystem* files = nullptr;
        long long at = 0;
    };
    const std::string dir = DirectoryFilePath(img);
    const bool version1 = std::filesystem::exists(FsPath(dir));
    const Bytes image = ReadBytes(img);
    const Bytes directory = version1 ? ReadBytes(dir) : Bytes{};
    TestFileSystem dry;
    FirstFlush flush;
    flush.img = img;
    flush.files = &dry;
    dry.observer = &flush;
    IoState dryIo{.fileSystem = &dry};
    ScriptedMessageBoxes boxes;
    if (!DeleteEntries(img, chosen, boxes, {}, dryIo).RanToEnd()) {
        return "the deletion does not run";
    }
    WriteBytes(img, image);
    if (version1) {
        WriteBytes(dir, directory);
    }
    TestFileSystem dying;
    dying.failAt = flush.at;
    dying.failErrno = IoFailure;
    dying.failOnward = recorder == nullptr;
    dying.observer = recorder;
    IoState io{.fileSystem = &dying};
    if (DeleteEntries(img, chosen, boxes, {}, io).RanToEnd() ||
        boxes.messages.back().id !=
            (recorder ? MessageId::ChangeUndone : MessageId::ChangeWaiting) ||
        std::filesystem::exists(FsPath(JournalPath(img))) == (recorder != nullptr)) {
        return "the deletion did not stop as it should";
    }
    return {};
}

}  // namespace zarnex::test
