// A deletion or a renaming in a fuzzed archive, under a write budget. Only the archive's
// directory is written; afterwards every record that was not chosen stands as it stood, a
// rename changed one name field to a valid name or nothing, and the data never changes. A
// deletion is cut by a power failure at every moment too: each disk it may leave holds every
// record not chosen, and nothing but the records it started with.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/check.h"
#include "archive/directory.h"
#include "archive/edit.h"
#include "archive/names.h"
#include "tests/crash_support.h"
#include "tests/fuzz/fuzz_case.h"
#include "tests/scripted_boxes.h"

using namespace zarnex;
using zarnex::fuzz::Finding;
using zarnex::fuzz::Range;

namespace {

constexpr uint64_t MaxFileLength = uint64_t{1} << 18;
// Large tables cost much and rarely reach new code; the directory target loads them.
constexpr int64_t MaxRecords = 4096;
// Every disk a power cut may leave is walked whole: longer deletions in larger tables are only
// checked when done.
constexpr size_t MostSimulatedWork = 1 << 18;

using Record = std::array<unsigned char, RecordSize>;  // as on disk
using Records = std::vector<Record>;

// The records that the directory's bytes count, or nothing when the count runs past them.
std::optional<Records> RecordsIn(bool version2, const std::string& bytes) {
    const auto size = static_cast<int64_t>(bytes.size());
    int64_t start = 0;
    int64_t count = size / RecordSize;
    if (version2) {
        start = Version2HeaderSize;
        count = static_cast<int32_t>(
            GetLE32(reinterpret_cast<const unsigned char*>(Range(bytes, 4, 8).data())));
        if (count < 0 || (count > 0 && Version2RecordPosition(count) > size)) {
            return std::nullopt;
        }
    }
    Records records(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        std::copy_n(bytes.begin() + start + i * RecordSize, RecordSize,
                    records[static_cast<size_t>(i)].begin());
    }
    return records;
}

Records Sorted(Records records) {
    std::sort(records.begin(), records.end());
    return records;
}

bool Within(const Records& small, const Records& big) {
    return std::includes(big.begin(), big.end(), small.begin(), small.end());
}

// The records on disk hold every kept one and nothing but the records of `all` (both sorted),
// besides one copy at the end of an earlier record: what an interrupted deletion leaves.
std::string CheckRecords(std::optional<Records> records, const Records& kept, const Records& all) {
    if (!records) {
        return "the count runs past its records";
    }
    for (int round = 0; round < 2; ++round) {
        const Records sorted = Sorted(*records);
        if (Within(kept, sorted) && Within(sorted, all)) {
            return "";
        }
        const DirectoryRecord last =
            records->empty() ? DirectoryRecord{} : DecodeRecord(records->back().data());
        if (records->size() < 2 ||
            std::none_of(records->begin(), records->end() - 1, [&](const Record& bytes) {
                const DirectoryRecord r = DecodeRecord(bytes.data());
                return r.offset == last.offset && r.size == last.size && r.name == last.name;
            })) {
            break;
        }
        records->pop_back();
    }
    return "a record not chosen is gone, or one not there before stands";
}

std::string Text(const test::FileImage& file) {
    return std::string(file.bytes.begin(),
                       file.bytes.begin() + std::min<int64_t>(file.length, file.bytes.size()));
}

struct Files {
    std::string image;
    std::string directory;
    bool operator==(const Files&) const = default;
};

// The disk a batch leaves once it cut off the copy an interrupted deletion left.
Files CutLeftover(Files files, const DirectoryTable& loaded) {
    if (loaded.leftovers == 0) {
        return files;
    }
    if (loaded.IsVersion2()) {
        unsigned char count[4];
        PutLE32(count, static_cast<uint32_t>(loaded.count));
        files.image.replace(4, 4, reinterpret_cast<const char*>(count), 4);
    } else {
        files.directory.resize(static_cast<size_t>(loaded.count) * RecordSize);
    }
    return files;
}

void ExpectFiles(const Files& now, const Files& expected, const std::string& what) {
    if (now.image != expected.image) {
        Finding(what + ": the data file is not as it should be");
    }
    if (now.directory != expected.directory) {
        Finding(what + ": the .dir is not as it should be");
    }
}

// Which record a rename must change and how it must answer; the record is -1 where it changes none.
std::pair<RenameStatus, int32_t> ExpectedRename(const DirectoryTable& table, const EntryChoice& old,
                                                const AnsiString& newName) {
    AnsiString wanted;
    const bool encodable = Utf8ToAnsi(old.name, wanted);
    int32_t target = -1;
    bool taken = false;
    for (int32_t i = 0; i < table.count; ++i) {
        const AnsiString name = LowerAnsi(table.entries[static_cast<size_t>(i)].name);
        if (target < 0 && encodable && name == LowerAnsi(wanted) &&
            (old.index < 0 || old.index == i)) {
            target = i;
        } else {
            taken = taken || name == LowerAnsi(newName);
        }
    }
    if (target < 0 || taken) {
        return {target < 0 ? RenameStatus::NotFound : RenameStatus::Taken, -1};
    }
    return {RenameStatus::Renamed, target};
}

void CheckRename(RenameStatus status, const EntryChoice& old, const std::string& newName,
                 const std::optional<OpenArchive>& loaded, const Files& before,
                 const Files& after) {
    AnsiString ansi;
    const bool valid = Utf8ToAnsi(newName, ansi) && IsValidEntryName(ansi, EntryNameLimit);
    if (!valid || !loaded) {
        if (status != (valid ? RenameStatus::NotRun : RenameStatus::Invalid)) {
            Finding("a rename that could not run says it did");
        }
        ExpectFiles(after, before, "a refused rename");
        return;
    }
    const DirectoryTable& table = loaded->table;
    const auto [wanted, target] = ExpectedRename(table, old, ansi);
    if (status != wanted) {
        Finding("a rename answered " + std::to_string(static_cast<int>(status)) + ", not " +
                std::to_string(static_cast<int>(wanted)));
    }
    Files expected = CutLeftover(before, table);
    if (target >= 0) {
        // Whatever the rules of names, none that would leave the folder it is extracted to, be
        // a hidden stream or cut at the end of the field.
        if (ansi.empty() || ansi == "." || ansi == ".." || ansi.size() >= NameFieldSize ||
            std::any_of(ansi.begin(), ansi.end(), [](char c) {
                return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20;
            })) {
            Finding("renamed to a name no entry may have: " + newName);
        }
        const RecordBytes field = EncodeRecord({0, 0, ansi});
        const int32_t name = RecordSize - NameFieldSize;  // where the field starts
        (table.IsVersion2() ? expected.image : expected.directory)
            .replace(static_cast<size_t>(RecordPosition(table, target) + name), NameFieldSize,
                     reinterpret_cast<const char*>(field.data()) + name, NameFieldSize);
    }
    ExpectFiles(after, expected, "a rename");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Case c = fuzz::Parse(data, size, MaxFileLength);
    if (c.RecordsToLoad(MaxFileLength) > MaxRecords) {
        return -1;
    }
    const fuzz::Workspace ws = fuzz::Materialize(c, MaxFileLength);
    auto read = [&] {
        return Files{fuzz::ReadWhole(ws.image),
                     c.hasDirectory ? fuzz::ReadWhole(ws.directory) : ""};
    };
    const Files before = read();
    const bool version2 = fuzz::IsVersion2(before.image);
    const auto records = RecordsIn(version2, version2 ? before.image : before.directory);

    // The first step byte picks the batch, one byte per name picks a record or none.
    auto step = [&](size_t i) {
        return i < c.steps.size() ? static_cast<unsigned char>(c.steps[i]) : 0;
    };
    const bool rename = step(0) % 2;
    std::vector<EntryChoice> chosen;
    for (size_t i = 0; i < c.names.size(); ++i) {
        chosen.push_back({c.names[i], step(i + 1) < 192 ? -1 : step(i + 1) - 192});
    }
    IoState loadIo;
    ScriptedMessageBoxes loadBoxes;
    std::optional<OpenArchive> loaded = LoadDirectory(ws.image, loadIo, loadBoxes);
    if (loaded) {
        loaded->data.Close();
        loaded->directory.Close();
    }

    // A deletion writes a record and a count per entry, a rename one name: many times that is
    // a runaway.
    test::TestFileSystem files;
    files.writeBudget =
        (int64_t{1} << 20) + 64 * static_cast<int64_t>(records ? records->size() : 0);
    test::Recorder recorder;
    files.observer = &recorder;
    IoState io{.fileSystem = &files};
    ScriptedMessageBoxes boxes;
    const EntryChoice old = chosen.empty() ? EntryChoice{} : chosen[0];
    const std::string newName = c.names.size() > 1 ? c.names[1] : "";
    RenameStatus status = RenameStatus::NotRun;
    DeleteOutcome outcome;
    if (rename) {
        status = RenameEntry(ws.image, old, newName, boxes, io);
    } else {
        outcome = DeleteEntries(ws.image, chosen, boxes, {}, io);
    }

    for (const Message& message : boxes.messages) {
        if (message.id == MessageId::DiskFull) {
            Finding("the write budget ran out: a runaway write");
        }
    }
    // Only the directory is written: the .dir in version 1, the head of the data file in 2.
    const std::string& recordFile = version2 ? ws.image : ws.directory;
    const int64_t room = version2 ? (records ? Version2RecordPosition(records->size()) : 0)
                                  : static_cast<int64_t>(before.directory.size());
    for (const test::FileOp& op : recorder.ops) {
        const bool resize = op.kind == test::FileOp::Resize;
        const int64_t end = resize ? op.pos : op.pos + static_cast<int64_t>(op.bytes.size());
        if (op.kind != test::FileOp::Flush &&
            (op.path != recordFile || (version2 && resize) || end > room)) {
            Finding("written outside the archive's directory: " + op.path + " at " +
                    std::to_string(op.pos));
        }
    }
    const Files after = read();
    // An archive that check finds damaged is refused whole, and only such an archive; a new name
    // that no entry may have is refused before the archive is opened.
    const bool damaged =
        loaded && !(rename && status == RenameStatus::Invalid) &&
        !FindDamage(loaded->table, before.image.size(), before.directory.size()).empty();
    const bool refused =
        !boxes.messages.empty() && boxes.messages[0].id == MessageId::ArchiveDamaged;
    if (damaged != refused) {
        Finding(damaged ? "a damaged archive was not refused" : "a sound archive was refused");
    }
    if (refused) {
        ExpectFiles(after, before, "a refused damaged archive");
        return 0;
    }
    if (rename) {
        CheckRename(status, old, newName, loaded, before, after);
        return 0;
    }
    if (!loaded) {
        ExpectFiles(after, before, "a deletion of an archive that did not load");
        return 0;
    }
    if (!outcome.completed) {
        Finding("a deletion stopped: " + (boxes.shown.empty() ? "" : boxes.shown.back().text));
    }
    const int64_t dataStart = version2 ? room : 0;
    if (after.image.size() != before.image.size() ||
        Range(after.image, 0, 4) != Range(before.image, 0, 4) ||
        Range(after.image, dataStart, after.image.size()) !=
            Range(before.image, dataStart, before.image.size())) {
        Finding("a deletion changed the data file");
    }

    // The loaded entries are the first records on disk, each as it stands there.
    const DirectoryTable& table = loaded->table;
    Records all, kept;
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& e = table.entries[static_cast<size_t>(i)];
        all.push_back(records.value()[static_cast<size_t>(i)]);
        const bool isChosen = std::any_of(chosen.begin(), chosen.end(), [&](const EntryChoice& x) {
            AnsiString ansi;
            // An empty name names no entry unless a window picked the record.
            return Utf8ToAnsi(x.name, ansi) && LowerAnsi(ansi) == LowerAnsi(e.name) &&
                   (x.index < 0 ? !ansi.empty() : x.index == i);
        });
        if (!isChosen) {
            kept.push_back(all.back());
        }
    }
    if (outcome.deletedCount != static_cast<int>(all.size() - kept.size())) {
        Finding("a deletion counted " + std::to_string(outcome.deletedCount) + " entries, not " +
                std::to_string(all.size() - kept.size()));
    }
    all = Sorted(all);
    kept = Sorted(kept);
    const auto left = RecordsIn(version2, version2 ? after.image : after.directory);
    if (!left || Sorted(*left) != kept) {
        Finding("the records after a deletion are not those not chosen");
    }
    ScriptedMessageBoxes reloadBoxes;
    IoState reloadIo;
    if (!LoadDirectory(ws.image, reloadIo, reloadBoxes)) {
        Finding("the archive no longer loads after a deletion");
    }

    if (recorder.ops.size() * (records.value().size() + 1) > MostSimulatedWork) {
        return 0;
    }
    // Only the directory is written: the disks a power cut may leave differ in it alone.
    test::DiskImage disk;
    test::FileImage& file = disk[recordFile];
    const std::string& recordBytes = version2 ? before.image : before.directory;
    file.bytes.assign(recordBytes.begin(), recordBytes.begin() + room);
    file.length = room;
    file.sectorHashes = test::SectorHashes(test::Padded(file.bytes));
    const test::CrashReport report = test::SimulateCrashes(
        disk, recorder.ops,
        [&](const test::DiskImage& d) {
            return CheckRecords(RecordsIn(version2, Text(d.at(recordFile))), kept, all);
        },
        static_cast<uint32_t>(size));
    if (!report.failures.empty()) {
        Finding(report.failures.front());
    }
    return 0;
}
