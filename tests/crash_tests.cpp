// Power cuts during Replace and compacting: at every crash point, with the unflushed writes lost or
// kept in any combination, the archive loads and every entry its directory names holds either its
// old bytes or the complete bytes of a file written into it.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "archive/compact.h"
#include "archive/directory.h"
#include "archive/import.h"
#include "tests/crash_support.h"
#include "tests/import_support.h"
#include "tests/scripted_boxes.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::DiskImage;
using test::TempDir;
using test::TestEntry;

struct Source {
    std::string name;
    Bytes bytes;
};

struct Scenario {
    const char* title;
    bool version2;
    std::vector<TestEntry> entries;
    std::vector<Source> sources;
    int64_t writeBudget = -1;  // the disk is full after this many bytes
    bool compact = false;      // compacted instead of written into
};

// What the directory may name: per original record its old bytes, and per name the bytes of
// every file of that name, as sector hashes.
class ArchiveCheck {
  public:
    ArchiveCheck(const Scenario& s, std::string img) : s_(s), img_(std::move(img)) {
        for (size_t i = 0; i < s.entries.size(); ++i) {
            old_.push_back(test::SectorHashes(test::EntryData(s.entries[i], i)));
        }
        for (const Source& source : s.sources) {
            const auto hashes = test::SectorHashes(test::Padded(source.bytes));
            byWholeName_[LowerAnsi(source.name)].push_back(hashes);
            byStoredName_[LowerAnsi(source.name.substr(0, NameFieldSize))].push_back(hashes);
        }
    }

    std::string operator()(const DiskImage& disk) const {
        const test::FileImage& img = disk.at(img_);
        const test::FileImage& records = s_.version2 ? img : disk.at(DirectoryFilePath(img_));
        int64_t count = 0;
        int64_t start = 0;
        if (s_.version2) {
            if (img.length < 4 || GetLE32(img.bytes.data()) != Version2Tag) {
                return "the version tag is gone";
            }
            count = img.length >= 8 ? GetLE32(img.bytes.data() + 4) : 0;
            start = Version2HeaderSize;
            if (start + RecordSize * count > img.length) {
                return "the count promises more records than the file holds";
            }
        } else {
            count = records.length / RecordSize;
        }
        if (count < static_cast<int64_t>(s_.entries.size())) {
            return "the directory lost records";
        }
        for (int64_t i = 0; i < count; ++i) {
            const DirectoryRecord r = DecodeRecord(records.bytes.data() + start + RecordSize * i);
            const bool old = i < static_cast<int64_t>(s_.entries.size());
            if (old && r.name != s_.entries[static_cast<size_t>(i)].name) {
                return "record " + std::to_string(i) + " changed its name";
            }
            bool good = old && Holds(img, r, old_[static_cast<size_t>(i)]);
            const auto& names = old ? byWholeName_ : byStoredName_;
            auto it = names.find(LowerAnsi(r.name));
            for (size_t k = 0; !good && it != names.end() && k < it->second.size(); ++k) {
                good = Holds(img, r, it->second[k]);
            }
            if (!good) {
                return "record " + std::to_string(i) + " \"" + r.name + "\" (" +
                       std::to_string(r.offset) + ", " + std::to_string(r.size) +
                       ") names bytes that are neither its old ones nor a file's";
            }
        }
        return {};
    }

  private:
    static bool Holds(const test::FileImage& img, const DirectoryRecord& r,
                      const std::vector<uint64_t>& sectors) {
        if (r.size < 0 || static_cast<size_t>(r.size) != sectors.size()) {
            return false;
        }
        for (int32_t s = 0; s < r.size; ++s) {
            if (img.SectorHash(int64_t{r.offset} + s) != sectors[static_cast<size_t>(s)]) {
                return false;
            }
        }
        return true;
    }

    const Scenario& s_;
    std::string img_;
    std::vector<std::vector<uint64_t>> old_;
    std::map<AnsiString, std::vector<std::vector<uint64_t>>> byWholeName_, byStoredName_;
};

// Small files, so that thousands of crash states stay cheap; one of several pieces.
Bytes SmallFile(std::mt19937& random, uint32_t seed) {
    const size_t sizes[] = {0, 1, 700, 2048, 2049, 3000, 5000};
    return test::Pattern(sizes[random() % 7], seed);
}

// 100 entries with gaps, then 300 files: replacements (some twice, some of the first group's
// entries refilled by the second group), additions, empty files. Crosses a commit point and,
// in version 2, moves entries out of the growing directory.
Scenario Mixed(bool version2) {
    std::mt19937 random(version2 ? 2 : 1);
    Scenario s{
        version2 ? "300 mixed files, version 2" : "300 mixed files, version 1", version2, {}, {}};
    int32_t at = version2 ? 2 : 0;
    for (int i = 0; i < 100; ++i) {
        const auto size = static_cast<int32_t>(random() % 3);
        s.entries.push_back({at, size, "e" + std::to_string(i) + ".dff"});
        at += size + static_cast<int32_t>(random() % 4 == 0);
    }
    for (int i = 0; i < 300; ++i) {
        const std::string name = random() % 2 ? "E" + std::to_string(random() % 100) + ".DFF"
                                              : "n" + std::to_string(i) + ".txd";
        s.sources.push_back({name, SmallFile(random, 100 + static_cast<uint32_t>(i))});
    }
    return s;
}

std::vector<Scenario> Scenarios() {
    std::vector<Scenario> all;
    // Version 2: the 64th record needs the lowest entry's sectors.
    Scenario move{"version-2 move", true, {}, {}};
    for (int i = 0; i < 63; ++i) {
        move.entries.push_back({1 + 3 * i, (i % 3) + 1, "old" + std::to_string(i) + ".dff"});
    }
    move.sources = {{"new1.txd", test::Pattern(5000, 1)},
                    {"OLD0.dff", test::Pattern(2048, 2)},
                    {"new2.txd", test::Pattern(300000, 3)}};
    all.push_back(move);
    // The lowest entry replaced, then the directory grows over its old place.
    Scenario under = move;
    under.title = "a new record over an uncommitted old place";
    under.sources = {{"OLD0.dff", test::Pattern(5000, 6)}, {"new1.txd", test::Pattern(10, 7)}};
    all.push_back(under);
    // A replaced by a bigger file; B fits exactly where A was.
    for (bool version2 : {true, false}) {
        const int32_t first = version2 ? 1 : 0;
        all.push_back({version2 ? "replace then add, version 2" : "replace then add, version 1",
                       version2,
                       {{first, 2, "a.dff"}, {first + 2, 1, "c.dff"}},
                       {{"A.DFF", test::Pattern(3 * 2048, 4)}, {"b.dff", test::Pattern(4000, 5)}}});
    }
    all.push_back(Mixed(true));
    all.push_back(Mixed(false));
    // The disk fills up in the middle of the second group.
    Scenario full = Mixed(true);
    full.title = "a full disk in the middle of a group";
    int64_t total = 0;
    for (const Source& source : full.sources) {
        total += SectorToByte(SectorsFor(static_cast<int64_t>(source.bytes.size())));
    }
    full.writeBudget = total * 9 / 10;
    all.push_back(full);
    // Compacting: entries larger than the room before them go past the end and back; groups of
    // moves end where a target reaches an old place.
    for (bool version2 : {true, false}) {
        std::mt19937 random(version2 ? 4 : 3);
        Scenario compact{version2 ? "compact, version 2" : "compact, version 1", version2, {}, {}};
        compact.compact = true;
        // Three in a row that the room before them cannot take, then any.
        int32_t at = version2 ? 3 : 1;
        for (int i = 0; i < 3; ++i) {
            compact.entries.push_back({at, 4, "big" + std::to_string(i)});
            at += 4;
        }
        for (int i = 0; i < 60; ++i) {
            const auto size = static_cast<int32_t>(random() % 5 == 0 ? 0 : 1 + random() % 4);
            compact.entries.push_back({at, size, "e" + std::to_string(i)});
            at += size + static_cast<int32_t>(random() % 3 == 0 ? 1 + random() % 3 : 0);
        }
        all.push_back(compact);
    }
    Scenario stopped = all.back();
    stopped.title = "compact on a disk that fills up";
    stopped.writeBudget = SectorToByte(20);
    all.push_back(stopped);
    return all;
}

TEST(PowerCut, NoCrashPointDamagesAnEntry) {
    for (const Scenario& s : Scenarios()) {
        SCOPED_TRACE(s.title);
        TempDir dir;
        const std::string img = dir / "a.img";
        test::MakeArchive(s.version2, img, s.entries);
        std::vector<std::string> paths, files = {img};
        if (!s.version2) {
            files.push_back(DirectoryFilePath(img));
        }
        for (size_t i = 0; i < s.sources.size(); ++i) {
            std::filesystem::create_directories(dir / std::to_string(i));
            paths.push_back(dir / (std::to_string(i) + "/" + s.sources[i].name));
            test::WriteBytes(paths.back(), s.sources[i].bytes);
        }
        const DiskImage before = test::ReadDisk(files);

        test::Recorder recorder;
        test::ImportRun run;
        run.files.observer = &recorder;
        run.files.writeBudget = s.writeBudget;
        if (s.compact) {
            CompactArchive(img, run.boxes, run.io);
        } else {
            run.Run(img, paths);
        }

        const ArchiveCheck check(s, img);
        const test::CrashReport report = test::SimulateCrashes(before, recorder.ops, check, 7);
        for (const std::string& failure : report.failures) {
            ADD_FAILURE() << failure;
        }
        std::printf("%s: %zu operations, %zu crash points, %zu states\n", s.title,
                    recorder.ops.size(), report.crashPoints, report.statesChecked);
        // The disk the batch left is the last crash point; it loads for real too.
        EXPECT_EQ(check(test::ReadDisk(files)), "");
        IoState io;
        ScriptedMessageBoxes boxes;
        EXPECT_TRUE(test::OpenForPlacing(img, io, boxes).has_value());

        const bool stopped = s.writeBudget >= 0;
        if (s.compact) {
            EXPECT_EQ(run.LastText().rfind(stopped ? "На диске не хватает места" : "Сжато", 0), 0u);
            continue;
        }
        // The rows that left the list are the files before the first one not written, and the
        // archive holds, per name, the bytes of the last of them.
        EXPECT_EQ(run.outcome.completed, !stopped);
        EXPECT_EQ(run.LastText(),
                  stopped ? "На диске не хватает места"
                          : test::Summary(run.outcome.replacedCount, run.outcome.addedCount));
        ASSERT_LE(run.removed.size(), paths.size());
        EXPECT_TRUE(std::equal(run.removed.begin(), run.removed.end(), paths.begin()));
        // An error stop commits every file written before the failing one.
        EXPECT_EQ(run.removed.size(),
                  stopped ? static_cast<size_t>(run.progress.back()) : paths.size());
        std::map<AnsiString, Bytes> last;
        for (size_t i = 0; i < run.removed.size(); ++i) {
            last[LowerAnsi(s.sources[i].name)] = test::Padded(s.sources[i].bytes);
        }
        for (const DirectoryRecord& r : test::ReadRecords(s.version2, img)) {
            auto it = last.find(LowerAnsi(r.name));
            if (it != last.end()) {
                EXPECT_EQ(test::ReadSectors(img, r.offset, r.size), it->second) << r.name;
                last.erase(it);  // duplicates in the archive: the first record holds it
            }
        }
        EXPECT_TRUE(last.empty());
    }
}

}  // namespace
}  // namespace zarnex
