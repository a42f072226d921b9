// Power cuts during every batch that writes: at every crash point, with the unflushed writes lost
// or kept in any combination, the archive loads and every entry its directory names holds either
// its old bytes or the complete bytes of a file written into it; a deletion or a rename leaves
// each entry there once, under its old name or its new one, or gone when it was being deleted.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "archive/compact.h"
#include "archive/directory.h"
#include "archive/edit.h"
#include "archive/import.h"
#include "archive/journal.h"
#include "platform/paths.h"
#include "tests/codes.h"
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

enum class Action { Import, Compact, Delete, Rename };

struct Scenario {
    std::string title;
    bool version2;
    std::vector<TestEntry> entries;
    std::vector<Source> sources;  // Import
    int64_t writeBudget = -1;     // the disk is full after this many bytes
    Action action = Action::Import;
    std::vector<EntryChoice> chosen = {};  // Delete; Rename: the one entry
    std::string newName = {};              // Rename
    bool leftover = false;  // the last entry is a copy an interrupted deletion left behind
    // A deletion of these stopped by a disk that died before the flush of its change: the batch
    // finds the deletion's journal beside the archive.
    std::vector<EntryChoice> interrupted = {};
    // A deletion of these whose flush fails alone, so that it undoes itself: recorded before the
    // batch, whose crash points may still bring its journal back.
    std::vector<EntryChoice> undone = {};
};

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.title;
}

// The files of a disk written out into a folder of their own, to be loaded as any archive is;
// only those that differ from the last time.
class Scratch {
  public:
    std::string Put(const DiskImage& disk, const std::string& img) {
        for (const auto& [path, image] : disk) {
            const std::string copy = dir_ / FileNamePart(path);
            Written& last = written_[path];
            if (!image.exists) {
                std::filesystem::remove(test::FsPath(copy));
                last = {};
            } else if (!last.there || last.length != image.length ||
                       last.hashes != image.sectorHashes) {
                test::WriteBytes(copy, image.Contents());
                last = {true, image.length, image.sectorHashes};
            }
        }
        return dir_ / FileNamePart(img);
    }
    // A batch changed the copies: the next Put writes them all.
    void Forget() { written_.clear(); }

  private:
    struct Written {
        bool there = false;
        int64_t length = 0;
        std::vector<uint64_t> hashes;
    };
    TempDir dir_;
    std::map<std::string, Written> written_;
};

// What the directory may name: per original record its old bytes, and per name the bytes of
// every file of that name, as sector hashes.
class ImportCheck {
  public:
    ImportCheck(const Scenario& s, std::string img) : s_(s), img_(std::move(img)) {
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
        const auto journal = disk.find(JournalPath(img_));
        std::vector<DirectoryRecord> records;
        const std::string problem = journal != disk.end() && journal->second.exists
                                        ? Loaded(disk, records)
                                        : AsStored(disk, records);
        if (!problem.empty()) {
            return problem;
        }
        const auto count = static_cast<int64_t>(records.size());
        if (count < static_cast<int64_t>(s_.entries.size())) {
            return "the directory lost records";
        }
        for (int64_t i = 0; i < count; ++i) {
            const DirectoryRecord& r = records[static_cast<size_t>(i)];
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
    // The records as the files hold them.
    std::string AsStored(const DiskImage& disk, std::vector<DirectoryRecord>& out) const {
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
        for (int64_t i = 0; i < count; ++i) {
            out.push_back(DecodeRecord(records.bytes.data() + start + RecordSize * i));
        }
        return {};
    }

    // Beside a journal, the records as loading shows them.
    std::string Loaded(const DiskImage& disk, std::vector<DirectoryRecord>& out) const {
        IoState io;
        ScriptedMessageBoxes boxes;
        const auto archive = LoadDirectory(scratch_.Put(disk, img_), io, boxes);
        if (!archive) {
            return "the archive does not load: " + boxes.shown.at(0).text;
        }
        for (int32_t i = 0; i < archive->table.count; ++i) {
            const DirectoryEntry& e = archive->table.entries[static_cast<size_t>(i)];
            out.push_back({e.offset, e.size, AnsiString(e.Name())});
        }
        return {};
    }

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
    mutable Scratch scratch_;
    std::vector<std::vector<uint64_t>> old_;
    std::map<AnsiString, std::vector<std::vector<uint64_t>>> byWholeName_, byStoredName_;
};

// What loading finds after a deletion or a rename, checked through the loader itself: the state
// is written out and read back. Each entry is there once with its old place and bytes, under its
// old name or, renamed, its new one; one being deleted may be gone; a file being imported may be
// there whole. When the batch finished, what it reported must be there.
class EditCheck {
  public:
    EditCheck(const Scenario& s, const DiskImage& before, std::string img)
        : s_(s), img_(std::move(img)) {
        const size_t originals = s.entries.size() - (s.leftover ? 1 : 0);
        const test::FileImage& data = before.at(img_);
        for (size_t i = 0; i < originals; ++i) {
            const TestEntry& e = s.entries[i];
            Old old{e.offset, {}};
            for (int32_t k = 0; k < e.size; ++k) {
                old.sectors.push_back(data.SectorHash(int64_t{e.offset} + k));
            }
            old_[e.name] = old;
            const bool chosen =
                !s.chosen.empty() && LowerAnsi(e.name) == LowerAnsi(s.chosen[0].name);
            if (s.action == Action::Rename && chosen && renamed_.empty()) {
                renamed_ = e.name;  // the first of that name in directory order
            }
        }
        for (const EntryChoice& c : s.chosen) {
            if (s.action == Action::Delete) {
                deleted_.insert(LowerAnsi(c.name));
            }
        }
        for (const Source& source : s.sources) {
            new_[LowerAnsi(source.name)] = test::SectorHashes(test::Padded(source.bytes));
        }
    }

    std::string operator()(const DiskImage& disk) const { return Check(disk, false); }
    std::string Finished(const DiskImage& disk) const { return Check(disk, true); }

  private:
    struct Old {
        int32_t offset;
        std::vector<uint64_t> sectors;
    };

    std::string Check(const DiskImage& disk, bool finished) const {
        // What loading shows, then what a batch that opens the archive for writing leaves once
        // it has settled a journal: the same, and sound.
        const std::string copy = scratch_.Put(disk, img_);
        std::vector<DirectoryEntry> shown;
        std::string problem = CheckLoaded(disk, copy, finished, shown);
        const auto journal = disk.find(JournalPath(img_));
        if (!problem.empty() || journal == disk.end() || !journal->second.exists) {
            return problem;
        }
        test::TestFileSystem files;
        files.skipFlushes = true;
        IoState io{.fileSystem = &files};
        ScriptedMessageBoxes boxes;
        scratch_.Forget();
        if (!OpenForWriting(copy, io, boxes)) {
            return "the journal is not settled: " + boxes.shown.at(0).text;
        }
        if (std::filesystem::exists(test::FsPath(JournalPath(copy)))) {
            return "the journal stays after it was settled";
        }
        std::vector<DirectoryEntry> settled;
        problem = CheckLoaded(disk, copy, finished, settled);
        const auto same = [](const DirectoryEntry& a, const DirectoryEntry& b) { return a == b; };
        if (problem.empty() &&
            !std::equal(shown.begin(), shown.end(), settled.begin(), settled.end(), same)) {
            return "loading showed another directory than the settled journal left";
        }
        return problem;
    }

    std::string CheckLoaded(const DiskImage& disk, const std::string& copy, bool finished,
                            std::vector<DirectoryEntry>& loaded) const {
        IoState io;
        ScriptedMessageBoxes boxes;
        auto archive = LoadDirectory(copy, io, boxes);
        if (!archive) {
            return "the archive does not load: " + boxes.shown.at(0).text;
        }
        loaded.assign(archive->table.entries.begin(),
                      archive->table.entries.begin() + archive->table.count);
        const test::FileImage& data = disk.at(img_);
        const auto holds = [&](const DirectoryEntry& e, const std::vector<uint64_t>& sectors) {
            bool same = e.size >= 0 && static_cast<size_t>(e.size) == sectors.size();
            for (int32_t k = 0; same && k < e.size; ++k) {
                same = data.SectorHash(int64_t{e.offset} + k) == sectors[static_cast<size_t>(k)];
            }
            return same;
        };
        std::map<AnsiString, int> seen;  // by the original's name, or a new file's lowered one
        bool underNewName = false;
        const DirectoryTable& table = archive->table;
        for (int32_t i = 0; i < table.count; ++i) {
            const DirectoryEntry& e = table.entries[static_cast<size_t>(i)];
            const bool renamed = !renamed_.empty() && e.Name() == s_.newName;
            underNewName = underNewName || renamed;
            const AnsiString key = renamed ? renamed_ : AnsiString(e.Name());
            const auto old = old_.find(key);
            const auto made = new_.find(LowerAnsi(e.Name()));
            if (old != old_.end() && e.offset == old->second.offset &&
                holds(e, old->second.sectors)) {
                ++seen[key];
            } else if (made != new_.end() && holds(e, made->second)) {
                ++seen[made->first];
            } else {
                return "record " + std::to_string(i) + " \"" + AnsiString(e.Name()) +
                       "\" names neither its old bytes nor a file's";
            }
        }
        std::set<bool> deletedOnes;  // whether each entry being deleted is gone: all or none
        for (const auto& [name, old] : old_) {
            const bool deleting = deleted_.count(LowerAnsi(name)) > 0;
            const bool replaced = new_.count(LowerAnsi(name)) > 0;
            const int times = seen.count(name) ? seen.at(name) : 0;
            if (times > 1 || (times == 0 && !deleting && !replaced)) {
                return "\"" + name + "\" is there " + std::to_string(times) + " times";
            }
            if (finished && times > 0 && deleting) {
                return "\"" + name + "\" is still there after its deletion";
            }
            if (deleting) {
                deletedOnes.insert(times == 0);
            }
        }
        if (deletedOnes.size() > 1) {
            return "some of the entries being deleted are gone, others not";
        }
        if (finished && !renamed_.empty() && !underNewName) {
            return "the rename is not on the disk";
        }
        for (const auto& [name, sectors] : new_) {
            if (finished && !seen.count(name)) {
                return "\"" + name + "\" is not in the archive after its import";
            }
        }
        return {};
    }

    const Scenario& s_;
    std::string img_;
    mutable Scratch scratch_;
    std::map<AnsiString, Old> old_;
    std::map<AnsiString, std::vector<uint64_t>> new_;
    std::set<AnsiString> deleted_;
    AnsiString renamed_;
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
        compact.action = Action::Compact;
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

    // Deleting and renaming: 40 entries, one of them a twin by name of another. Each name holds
    // its number before and after the 16th byte, where a sector boundary runs through the name
    // of every 16th version-2 record.
    const auto name = [](int i) {
        return "e" + std::to_string(i) + "-sector-halves-" + std::to_string(i) + ".dff";
    };
    for (bool version2 : {true, false}) {
        const std::string v = version2 ? ", version 2" : ", version 1";
        std::vector<TestEntry> forty;
        for (int i = 0; i < 40; ++i) {
            const std::string n = i == 30 ? "E3-SECTOR-HALVES-3.DFF" : name(i);
            forty.push_back({(version2 ? 2 : 0) + 2 * i, 1 + i % 2, n});
        }
        const auto edit = [&](std::string title, Action action, std::vector<EntryChoice> chosen,
                              std::string newName = {}) {
            Scenario e{title + v, version2, forty, {}};
            e.action = action;
            e.chosen = std::move(chosen);
            e.newName = std::move(newName);
            all.push_back(std::move(e));
        };
        edit("delete a middle entry", Action::Delete, {{name(12)}});
        edit("delete the last entry", Action::Delete, {{name(39)}});
        edit("delete several at once, the last among them", Action::Delete,
             {{name(0)}, {name(7)}, {name(3)}, {name(38)}, {name(39)}, {name(21)}});
        edit("delete the record a sector boundary runs through", Action::Delete, {{name(15)}});
        edit("delete around the records a sector boundary runs through", Action::Delete,
             {{name(14)}, {name(15)}, {name(31)}, {name(36)}});
        // A journal over two disk sectors, which a cut may tear.
        std::vector<EntryChoice> most;
        for (int i = 1; i < 40; i += 2) {
            most.push_back({name(i)});
        }
        edit("delete half of the entries", Action::Delete, most);
        edit("rename", Action::Rename, {{name(5)}}, "renamed.txd");
        edit("rename in the sixteenth record", Action::Rename, {{name(15)}},
             "E15-SECTOR-HALVES-15.dff");
        edit("rename across a sector boundary", Action::Rename, {{name(31)}},
             "renamed-across-cut.col");
        // A deletion stopped part-way: the next batch that writes rolls it back first.
        Scenario waiting{"rename after a deletion stopped part-way" + v, version2, forty, {}};
        waiting.action = Action::Rename;
        waiting.interrupted = {{name(15)}, {name(2)}, {name(38)}};
        waiting.chosen = {{name(39)}};
        waiting.newName = "renamed.txd";
        all.push_back(waiting);
        Scenario importing = waiting;
        importing.title = "import after a deletion stopped part-way" + v;
        importing.action = Action::Import;
        importing.chosen = {};
        importing.sources = {{"new.txd", test::Pattern(3000, 9)}, {name(6), test::Pattern(10, 8)}};
        all.push_back(importing);
        Scenario afterUndo = importing;
        afterUndo.title = "import after a deletion that undid itself" + v;
        afterUndo.interrupted = {};
        afterUndo.undone = {{name(15)}, {name(2)}, {name(38)}};
        all.push_back(afterUndo);
        // A deletion cut off before: the next batch that writes cuts its copy off first.
        Scenario cut{"import after an interrupted deletion" + v, version2, forty, {}};
        cut.entries.push_back(forty[4]);
        cut.leftover = true;
        cut.sources = {{"new.txd", test::Pattern(3000, 9)}, {"e6.dff", test::Pattern(10, 8)}};
        all.push_back(cut);
    }
    return all;
}

std::string ScenarioName(const ::testing::TestParamInfo<Scenario>& info) {
    std::string name;
    for (const char c : info.param.title) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    return name;
}

class PowerCut : public ::testing::TestWithParam<Scenario> {};

TEST_P(PowerCut, NoCrashPointDamagesAnEntry) {
    const Scenario& s = GetParam();
    TempDir dir;
    const std::string img = dir / "a.img";
    test::MakeArchive(s.version2, img, s.entries);
    std::vector<std::string> paths, files = {img, JournalPath(img)};
    if (!s.version2) {
        files.push_back(DirectoryFilePath(img));
    }
    if (!s.interrupted.empty()) {
        ASSERT_EQ(test::InterruptDeletion(img, s.interrupted), "");
    }
    for (size_t i = 0; i < s.sources.size(); ++i) {
        std::filesystem::create_directories(dir / std::to_string(i));
        paths.push_back(dir / (std::to_string(i) + "/" + s.sources[i].name));
        test::WriteBytes(paths.back(), s.sources[i].bytes);
    }
    const DiskImage before = test::ReadDisk(files);

    test::Recorder recorder;
    if (!s.undone.empty()) {
        ASSERT_EQ(test::InterruptDeletion(img, s.undone, &recorder), "");
    }
    test::ImportRun run;
    run.files.observer = &recorder;
    run.files.writeBudget = s.writeBudget;
    bool finished = false;
    switch (s.action) {
        case Action::Import:
            run.Run(img, paths);
            finished = run.outcome.RanToEnd();
            break;
        case Action::Compact:
            finished = CompactArchive(img, run.boxes, run.io).RanToEnd();
            break;
        case Action::Delete:
            finished = DeleteEntries(img, s.chosen, run.boxes, {}, run.io).RanToEnd();
            break;
        case Action::Rename:
            finished = RenameEntry(img, s.chosen.at(0), s.newName, run.boxes, run.io).status ==
                       RenameStatus::Renamed;
            break;
    }

    const bool edit = s.action == Action::Delete || s.action == Action::Rename || s.leftover ||
                      !s.interrupted.empty() || !s.undone.empty();
    std::unique_ptr<ImportCheck> importCheck;
    std::unique_ptr<EditCheck> editCheck;
    test::DiskCheck check;
    if (edit) {
        editCheck = std::make_unique<EditCheck>(s, before, img);
        check = std::ref(*editCheck);
    } else {
        importCheck = std::make_unique<ImportCheck>(s, img);
        check = std::ref(*importCheck);
    }
    const test::CrashReport report = test::SimulateCrashes(before, recorder.ops, check, 7);
    for (const std::string& failure : report.failures) {
        ADD_FAILURE() << failure;
    }
    std::printf("%s: %zu operations, %zu crash points, %zu states\n", s.title.c_str(),
                recorder.ops.size(), report.crashPoints, report.statesChecked);
    // The disk the batch left is the last crash point; it loads for real too.
    EXPECT_EQ(check(test::ReadDisk(files)), "");
    // Whether it ran to the end or stopped, a batch leaves no journal of a change it made whole.
    EXPECT_FALSE(std::filesystem::exists(test::FsPath(JournalPath(img))));
    IoState io;
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(test::OpenForPlacing(img, io, boxes).has_value());

    const bool stopped = s.writeBudget >= 0;
    EXPECT_EQ(finished, !stopped);
    if (edit) {
        // What the batch reported done is on the disk when the power goes right after.
        EXPECT_EQ(finished ? editCheck->Finished(report.durable) : "", "");
        return;
    }
    if (s.action == Action::Compact) {
        EXPECT_EQ(run.LastText().rfind(stopped ? "Остановлено ошибкой" : "Сжато", 0), 0u);
        // The room given back at the end is gone for good once compact says so.
        if (finished) {
            EXPECT_EQ(report.durable.at(img).length, test::ReadDisk(files).at(img).length);
        }
        return;
    }
    // The rows that left the list are the files before the first one not written, and the
    // archive holds, per name, the bytes of the last of them.
    const std::string done = "Заменено: " + std::to_string(run.outcome.replacedCount) +
                             "\nДобавлено: " + std::to_string(run.outcome.addedCount);
    EXPECT_EQ(run.LastText(), (stopped ? "Остановлено ошибкой\n\n" : "Завершено\n\n") + done);
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

INSTANTIATE_TEST_SUITE_P(Scenarios, PowerCut, ::testing::ValuesIn(Scenarios()), ScenarioName);

}  // namespace
}  // namespace zarnex
