// A deletion or a renaming in a fuzzed archive, under a write budget, with what may lie where
// the archive's journal goes: nothing, fuzzed bytes, or the journal of a deletion stopped
// part-way (whole, torn, with the archive changed since, or beside another archive). Only the
// archive's directory and its journal are written, and the data never changes. A batch that
// refuses leaves every file as it stood; one that runs starts from the archive as loading showed
// it: afterwards every record not chosen stands as it stood and a rename changed one name field
// to a valid name or nothing, in the very bytes where no journal was in play. A deletion is cut
// by a power failure at every moment too: each disk it may leave loads with every record not
// chosen, and with all of the chosen ones or none.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "archive/check.h"
#include "archive/directory.h"
#include "archive/edit.h"
#include "archive/journal.h"
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
// Every disk a power cut may leave is loaded: longer deletions in larger tables are only checked
// when done.
constexpr size_t MostSimulatedWork = 1 << 16;

using Record = std::tuple<int32_t, int32_t, AnsiString>;  // offset, size, name
using Records = std::vector<Record>;

Records Sorted(Records records) {
    std::sort(records.begin(), records.end());
    return records;
}

// The records loading shows are `expected` (sorted), but for one that repeats another as it
// stands: loading takes a last record that does for the copy an interrupted deletion of an
// earlier version left.
bool ShownAs(const Records& shown, const Records& expected) {
    const Records now = Sorted(shown);
    if (now == expected) {
        return true;
    }
    Records extra;
    std::set_difference(expected.begin(), expected.end(), now.begin(), now.end(),
                        std::back_inserter(extra));
    return now.size() + 1 == expected.size() && extra.size() == 1 &&
           std::binary_search(now.begin(), now.end(), extra[0]) &&
           std::includes(expected.begin(), expected.end(), now.begin(), now.end());
}

// The records as loading shows them, or nothing when the archive does not load.
std::optional<Records> Shown(const std::string& image) {
    IoState io;
    ScriptedMessageBoxes boxes;
    const auto archive = LoadDirectory(image, io, boxes);
    if (!archive) {
        return std::nullopt;
    }
    Records records;
    for (int32_t i = 0; i < archive->table.count; ++i) {
        const DirectoryEntry& e = archive->table.entries[static_cast<size_t>(i)];
        records.emplace_back(e.offset, e.size, e.Name());
    }
    return records;
}

struct Files {
    std::string image;
    std::string directory;
    std::optional<std::string> journal;
    bool operator==(const Files&) const = default;
};

void ExpectFiles(const Files& now, const Files& expected, const std::string& what) {
    if (now.image != expected.image) {
        Finding(what + ": the data file is not as it should be");
    }
    if (now.directory != expected.directory) {
        Finding(what + ": the .dir is not as it should be");
    }
    if (now.journal != expected.journal) {
        Finding(what + ": the journal is not as it should be");
    }
}

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

// Which record a rename must change and how it must answer; the record is -1 where it changes none.
std::pair<RenameStatus, int32_t> ExpectedRename(const DirectoryTable& table, const EntryChoice& old,
                                                const std::string& newName) {
    AnsiString wanted, ansi;
    const bool encodable = Utf8ToAnsi(old.name, wanted);
    if (!Utf8ToAnsi(newName, ansi) || !IsValidEntryName(ansi, NameFieldSize)) {
        return {RenameStatus::Invalid, -1};
    }
    int32_t target = -1;
    bool taken = false;
    for (int32_t i = 0; i < table.count; ++i) {
        const AnsiString name = LowerAnsi(table.entries[static_cast<size_t>(i)].Name());
        if (target < 0 && encodable && name == LowerAnsi(wanted) &&
            (old.index < 0 || old.index == i)) {
            target = i;
        } else {
            taken = taken || name == LowerAnsi(ansi);
        }
    }
    if (target < 0) {
        return {RenameStatus::NotFound, -1};
    }
    // The whole field only for the entry's own name in another case.
    if (ansi.size() > EntryNameLimit &&
        LowerAnsi(ansi) != LowerAnsi(table.entries[static_cast<size_t>(target)].Name())) {
        return {RenameStatus::Invalid, -1};
    }
    return taken ? std::pair{RenameStatus::Taken, -1} : std::pair{RenameStatus::Renamed, target};
}

// A renamed record's bytes where no journal was in play: one name field, nothing else.
void CheckRenameBytes(const DirectoryTable& table, int32_t target, const std::string& newName,
                      const Files& before, const Files& after) {
    Files expected = CutLeftover(before, table);
    if (target >= 0) {
        AnsiString ansi;
        Utf8ToAnsi(newName, ansi);
        const RecordBytes field = EncodeRecord({0, 0, ansi});
        const int32_t name = RecordSize - NameFieldSize;  // where the field starts
        (table.IsVersion2() ? expected.image : expected.directory)
            .replace(static_cast<size_t>(RecordPosition(table, target) + name), NameFieldSize,
                     reinterpret_cast<const char*>(field.data()) + name, NameFieldSize);
    }
    ExpectFiles(after, expected, "a rename");
}

// What the Journal chunk puts where the journal goes. Its first byte says how: fuzzed bytes, or
// the journal of a deletion of the case's names stopped part-way, as it is, beside the archive
// as it was, torn, after the archive changed, or beside another archive (the bytes after it).
void PlaceJournal(const fuzz::Case& c, const fuzz::Workspace& ws, bool version2) {
    if (c.journal.empty()) {
        return;
    }
    const std::string journal = JournalPath(ws.image);
    const std::string records = version2 ? ws.image : ws.directory;
    const std::string payload = c.journal.substr(1);
    const auto how = static_cast<unsigned char>(c.journal[0]) % 7;
    if (how == 0) {
        test::WriteBytes(journal, test::Bytes(payload.begin(), payload.end()));
        return;
    }
    std::vector<EntryChoice> chosen;
    for (const std::string& name : c.names) {
        chosen.push_back({name});
    }
    const std::string before = fuzz::ReadWhole(records);
    if (!test::InterruptDeletion(ws.image, chosen).empty()) {
        return;  // nothing the deletion would stop part-way
    }
    const size_t at = payload.empty() ? 0 : static_cast<unsigned char>(payload[0]) * 7u;
    const auto change = [](const std::string& path, size_t pos) {
        std::string bytes = fuzz::ReadWhole(path);
        if (!bytes.empty()) {
            bytes[pos % bytes.size()] ^= 0x20;
            test::WriteBytes(path, test::Bytes(bytes.begin(), bytes.end()));
        }
    };
    switch (how) {
        case 2:  // the change never reached the archive
            test::WriteBytes(records, test::Bytes(before.begin(), before.end()));
            break;
        case 3: {  // torn: its end lost
            std::string bytes = fuzz::ReadWhole(journal);
            bytes.resize(bytes.empty() ? 0 : at % bytes.size());
            test::WriteBytes(journal, test::Bytes(bytes.begin(), bytes.end()));
            break;
        }
        case 4:  // torn: a byte lost
            change(journal, at);
            break;
        case 5:  // the archive changed since
            change(records, at);
            break;
        case 6:  // another archive
            test::WriteBytes(records, test::Bytes(payload.begin(), payload.end()));
            break;
        default:  // as the deletion left it
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Case c = fuzz::Parse(data, size, MaxFileLength);
    if (c.RecordsToLoad(MaxFileLength) > MaxRecords) {
        return -1;
    }
    const fuzz::Workspace ws = fuzz::Materialize(c, MaxFileLength);
    const bool version2 = fuzz::IsVersion2(fuzz::ReadWhole(ws.image));
    PlaceJournal(c, ws, version2);
    const std::string journal = JournalPath(ws.image);
    auto read = [&] {
        Files files{fuzz::ReadWhole(ws.image), c.hasDirectory ? fuzz::ReadWhole(ws.directory) : "",
                    std::nullopt};
        if (std::filesystem::exists(journal)) {
            files.journal = fuzz::ReadWhole(journal);
        }
        return files;
    };
    const Files before = read();

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
    const std::optional<Records> shown = Shown(ws.image);
    if (loaded) {
        loaded->data.Close();
        loaded->directory.Close();
    }

    // A deletion writes a journal and a record per entry, a rename one name: many times that is
    // a runaway.
    test::TestFileSystem files;
    const int64_t records = loaded ? loaded->table.count + loaded->table.leftovers : 0;
    files.writeBudget = (int64_t{1} << 20) + 256 * records;
    test::Recorder recorder;
    files.observer = &recorder;
    IoState io{.fileSystem = &files};
    ScriptedMessageBoxes boxes;
    const EntryChoice old = chosen.empty() ? EntryChoice{} : chosen[0];
    const std::string newName = c.names.size() > 1 ? c.names[1] : "";
    RenameStatus status = RenameStatus::NotRun;
    DeleteOutcome outcome;
    if (rename) {
        status = RenameEntry(ws.image, old, newName, boxes, io).status;
    } else {
        outcome = DeleteEntries(ws.image, chosen, boxes, {}, io);
    }

    // A new name that no entry may have is refused before the archive is opened.
    AnsiString ansi;
    const bool invalid =
        rename && !(Utf8ToAnsi(newName, ansi) && IsValidEntryName(ansi, NameFieldSize));
    bool refused = !loaded || invalid;
    for (const Message& message : boxes.messages) {
        if (message.id == MessageId::DiskFull) {
            Finding("the write budget ran out: a runaway write");
        }
        refused = refused || message.id == MessageId::JournalForeign ||
                  message.id == MessageId::ArchiveOpenFailed ||
                  message.id == MessageId::ArchiveInUse;
    }
    // Only the directory is written, as far as loading showed it or as it stood: the .dir in
    // version 1, the head of the data file in 2; and the journal.
    const std::string& recordFile = version2 ? ws.image : ws.directory;
    const std::string& recordBytes = version2 ? before.image : before.directory;
    int64_t room = loaded ? RecordPosition(loaded->table, static_cast<int32_t>(records)) : 0;
    if (!version2) {
        room = std::max<int64_t>(room, static_cast<int64_t>(recordBytes.size()));
    } else if (const auto onDisk = fuzz::RecordsOn(true, before.image, "")) {
        room = std::max(room, Version2RecordPosition(static_cast<int64_t>(onDisk->size())));
    }
    for (const test::FileOp& op : recorder.ops) {
        const bool resize = op.kind == test::FileOp::Resize;
        const int64_t end = resize ? op.pos : op.pos + static_cast<int64_t>(op.bytes.size());
        const bool changes = op.kind == test::FileOp::Write || resize;
        if (op.path != journal && changes &&
            (op.path != recordFile || (version2 && resize) || end > room)) {
            Finding("written outside the archive's directory: " + op.path + " at " +
                    std::to_string(op.pos));
        }
        if (op.path != journal &&
            (op.kind == test::FileOp::Create || op.kind == test::FileOp::Remove)) {
            Finding("a file made or removed besides the journal: " + op.path);
        }
    }
    const Files after = read();
    if (refused) {
        ExpectFiles(after, before, "a batch that refused");
        return 0;
    }
    // An archive that check finds damaged is refused whole, and only such an archive. Beside a
    // journal, loading shows what the sizes on disk may not yet say; a torn journal may go.
    const bool damaged =
        !FindDamage(loaded->table, before.image.size(), before.directory.size()).empty();
    const bool refusedDamaged =
        !boxes.messages.empty() && boxes.messages[0].id == MessageId::ArchiveDamaged;
    if (!before.journal && damaged != refusedDamaged) {
        Finding(damaged ? "a damaged archive was not refused" : "a sound archive was refused");
    }
    if (refusedDamaged) {
        ExpectFiles({after.image, after.directory, before.journal}, before,
                    "a refused damaged archive");
        return 0;
    }
    const bool waiting =
        !boxes.messages.empty() && boxes.messages.back().id == MessageId::ChangeWaiting;
    if (after.journal.has_value() != waiting) {
        Finding(waiting ? "a change stopped part-way without its journal"
                        : "a batch that ran leaves a journal");
    }
    // The data stays, and the version-2 tag with it.
    const int64_t dataStart = version2 ? room : 0;
    if (after.image.size() != before.image.size() ||
        Range(after.image, 0, 4) != Range(before.image, 0, 4) ||
        Range(after.image, dataStart, after.image.size()) !=
            Range(before.image, dataStart, before.image.size())) {
        Finding("a batch changed the data file");
    }
    const DirectoryTable& table = loaded->table;
    const std::optional<Records> now = Shown(ws.image);
    if (!now) {
        Finding("the archive no longer loads after the batch");
    }
    if (rename) {
        const auto [wanted, target] = ExpectedRename(table, old, newName);
        if (status != wanted && status != RenameStatus::NotRun) {
            Finding("a rename answered " + std::to_string(static_cast<int>(status)) + ", not " +
                    std::to_string(static_cast<int>(wanted)));
        }
        Records expected = *shown;
        if (status == RenameStatus::Renamed) {
            AnsiString ansi;
            Utf8ToAnsi(newName, ansi);
            std::get<2>(expected[static_cast<size_t>(target)]) = ansi;
        }
        if (*now != expected) {
            Finding("the records after a rename are not those before with one name changed");
        }
        if (!before.journal && status != RenameStatus::NotRun) {
            CheckRenameBytes(table, status == RenameStatus::Renamed ? target : -1, newName, before,
                             after);
        }
        return 0;
    }

    // The loaded entries are the first records, each as loading showed it.
    Records all = *shown, kept;
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& e = table.entries[static_cast<size_t>(i)];
        const bool isChosen = std::any_of(chosen.begin(), chosen.end(), [&](const EntryChoice& x) {
            AnsiString ansi;
            // An empty name names no entry unless a window picked the record.
            return Utf8ToAnsi(x.name, ansi) && LowerAnsi(ansi) == LowerAnsi(e.Name()) &&
                   (x.index < 0 ? !ansi.empty() : x.index == i);
        });
        if (!isChosen) {
            kept.push_back(all[static_cast<size_t>(i)]);
        }
    }
    all = Sorted(all);
    kept = Sorted(kept);
    const int expectedCount = outcome.RanToEnd() ? static_cast<int>(all.size() - kept.size()) : 0;
    if (outcome.done != expectedCount) {
        Finding("a deletion counted " + std::to_string(outcome.done) + " entries, not " +
                std::to_string(expectedCount));
    }
    if (!ShownAs(*now, outcome.RanToEnd() ? kept : all)) {
        Finding(outcome.RanToEnd() ? "the records after a deletion are not those not chosen"
                                   : "a deletion that was not made changed the records");
    }

    if (recorder.ops.size() * (all.size() + 1) > MostSimulatedWork) {
        return 0;
    }
    // Each disk a power cut may leave, loaded from a copy of it.
    test::DiskImage disk;
    for (const std::string& path : {recordFile, journal}) {
        const std::string& bytes = path == journal ? before.journal.value_or("") : recordBytes;
        test::FileImage& file = disk[path];
        file.bytes.assign(bytes.begin(), bytes.end());
        file.length = static_cast<int64_t>(bytes.size());
        file.exists = path != journal || before.journal.has_value();
        file.sectorHashes = test::SectorHashes(test::Padded(file.bytes));
    }
    const std::string scratch = ws.root + "/cut";
    std::filesystem::create_directories(scratch);
    const std::string copy = scratch + "/a.img";
    if (!version2) {
        test::WriteBytes(copy, test::Bytes(before.image.begin(), before.image.end()));
    }
    const test::CrashReport report = test::SimulateCrashes(
        disk, recorder.ops,
        [&](const test::DiskImage& d) -> std::string {
            for (const auto& [path, image] : d) {
                const std::string to = scratch + "/" +
                                       (path == journal ? "a.img.zj"
                                        : version2      ? "a.img"
                                                        : "a.dir");
                if (image.exists) {
                    test::WriteBytes(to, image.Contents());
                } else {
                    std::filesystem::remove(to);
                }
            }
            const std::optional<Records> cut = Shown(copy);
            if (!cut) {
                return "the archive does not load";
            }
            return ShownAs(*cut, kept) || ShownAs(*cut, all)
                       ? ""
                       : "the records are neither all nor those kept";
        },
        static_cast<uint32_t>(size));
    if (!report.failures.empty()) {
        Finding(report.failures.front());
    }
    return 0;
}
