// The directory load of either version, in both forms; then the import table driven through the
// batch's additions, replacements and moves (and damage), held at every step against the walks.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "archive/check.h"
#include "archive/directory.h"
#include "tests/fuzz/fuzz_case.h"
#include "tests/scripted_boxes.h"
#include "tests/table_model.h"

using namespace zarnex;
using zarnex::fuzz::Finding;

namespace {

// Large tables cost a second a run and rarely reach new code: fuzzing keeps to 4,096 records,
// and the replay (ZARNEX_FUZZ_MAX_RECORDS) lets the regression inputs of 2^17 through. Longer
// directories than that would cost gigabytes. Those no archive can hold are refused before
// anything is read, at any length.
int64_t MaxRecords() {
    static const int64_t max = [] {
        const char* text = std::getenv("ZARNEX_FUZZ_MAX_RECORDS");
        return text ? std::min<int64_t>(std::atoll(text), fuzz::MaxRepeatedRecords) : 4096;
    }();
    return max;
}
constexpr uint64_t MaxFileLength = uint64_t{1} << 40;
// Each step walks the whole table a few times over: fewer steps for larger tables.
constexpr int64_t StepWork = 4'000'000;

class StepReader {
  public:
    explicit StepReader(const std::string& bytes) : bytes_(bytes) {}
    bool Done() const { return at_ >= bytes_.size(); }
    uint32_t Byte() { return at_ < bytes_.size() ? static_cast<unsigned char>(bytes_[at_++]) : 0; }
    uint32_t Word() { return Byte() | Byte() << 8 | Byte() << 16 | Byte() << 24; }
    // Mostly small, sometimes anything.
    int64_t Need() {
        const uint32_t b = Byte();
        return b < 240 ? b % 40 : Word() % (uint32_t{1} << 21);
    }

  private:
    const std::string& bytes_;
    size_t at_ = 0;
};

void Expect(bool holds, const std::string& what) {
    if (!holds) {
        Finding(what);
    }
}

std::vector<int32_t> OrderOf(const DirectoryTable& t) {
    std::vector<int32_t> out;
    for (int32_t p = 0; p < t.count; ++p) {
        out.push_back(IndexAt(t, OrderPosition(p)).value);
    }
    return out;
}

bool Regular(const DirectoryTable& t) {
    std::vector<std::pair<int64_t, int64_t>> data;
    for (int32_t i = 0; i < t.count; ++i) {
        const DirectoryEntry& e = EntryOf(t, EntryIndex(i));
        if (e.offset < 0 || e.size < 0 || EntryEnd(e) >= FreeRoom::IndexedSectorLimit) {
            return false;
        }
        if (e.size > 0) {
            data.emplace_back(e.offset, EntryEnd(e));
        }
    }
    std::sort(data.begin(), data.end());
    for (size_t i = 1; i < data.size(); ++i) {
        if (data[i].first < data[i - 1].second) {
            return false;
        }
    }
    return true;
}

void ExpectAgree(const DirectoryTable& t, const DirectoryTable& model, int step) {
    const std::string at = " after step " + std::to_string(step);
    Expect(t.count == model.count, "count" + at);
    Expect(OrderOf(t) == OrderOf(model), "order" + at);
    Expect(t.endSector == model.endSector, "endSector" + at);
    for (int64_t need : {0, 1, 2, 3, 8, 64, 1 << 20}) {
        Expect(FindFreeGap(t, need) == test::ScanForGap(model, need),
               "FindFreeGap(" + std::to_string(need) + ")" + at);
    }
    Expect(t.index.has_value(), "the index is gone" + at);
    if (t.index->freeRoom) {
        Expect(test::IndexedRooms(*t.index->freeRoom) == test::ScanRooms(model), "the rooms" + at);
    }
}

// Where the batch puts `need` sectors: never on data, never before `floor`.
int64_t Place(DirectoryTable& t, const DirectoryTable& model, int64_t need, int64_t floor,
              int step) {
    int64_t g;
    if (!t.IsVersion2() && (t.count == 0 || EntryAt(t, OrderPosition(0)).offset >= need)) {
        g = 0;
    } else {
        g = FindFreeGapFrom(t, need, floor);
        // A need of none keeps the plain answer where it is not below the floor.
        const int64_t pairs = test::ScanPairs(model, need);
        const int64_t expected =
            need <= 0 && pairs >= floor ? pairs : test::ScanForRoomFrom(model, need, floor);
        Expect(g == expected, "FindFreeGapFrom at step " + std::to_string(step));
    }
    Expect(g >= floor, "a place below the floor at step " + std::to_string(step));
    Expect(need == 0 || !test::CoversData(t, g, need),
           "a place on data at step " + std::to_string(step));
    return g;
}

bool FitsInArchive(int64_t g, int64_t need) {
    return g >= 0 && g + need <= ArchiveSectorLimit;
}

AnsiString NameFrom(StepReader& steps, const DirectoryTable& t, int step) {
    if (t.count > 0 && steps.Byte() % 2 == 0) {
        AnsiString name(
            EntryOf(t, EntryIndex(static_cast<int32_t>(steps.Word() % t.count))).Name());
        for (char& c : name) {
            if (steps.Byte() % 2) {
                c = static_cast<char>(UpperAnsiChar(static_cast<unsigned char>(c)));
            }
        }
        return name;
    }
    return "new" + std::to_string(step) + std::string(steps.Byte() % 30, 'x');
}

void Drive(DirectoryTable& t, const std::string& stepBytes) {
    DirectoryTable model = t;
    StepReader steps(stepBytes);
    const int64_t maxSteps = std::clamp<int64_t>(StepWork / (16 * (int64_t{t.count} + 1)), 2, 64);
    for (int step = 0; step < maxSteps && !steps.Done(); ++step) {
        const uint32_t kind = steps.Byte() % 5;
        const AnsiString name = NameFrom(steps, t, step);
        const OrderPosition found = FindEntryByName(t, name);
        Expect(found == test::ScanForName(model, name),
               "FindEntryByName at step " + std::to_string(step));
        if (t.Capacity() == t.count) {
            GrowTable(t);
            GrowTable(model);
        }
        const int64_t need = steps.Need();
        if (kind == 1 && found != NoPosition) {
            // A replacement: its old place still counts as taken.
            const int64_t floor = t.IsVersion2() ? SectorsFor(Version2RecordPosition(t.count)) : 0;
            const int64_t g = Place(t, model, need, floor, step);
            if (!FitsInArchive(g, need)) {
                return;
            }
            PlaceEntry(t, found, static_cast<int32_t>(g), static_cast<int32_t>(need));
            test::ModelPlace(model, found, static_cast<int32_t>(g), static_cast<int32_t>(need));
        } else if (kind == 2 && t.count > 0) {
            // Damage from outside: any offset and size.
            const OrderPosition p(static_cast<int32_t>(steps.Word() % t.count));
            const auto offset = static_cast<int32_t>(steps.Word());
            const auto size = static_cast<int32_t>(steps.Word());
            PlaceEntry(t, p, offset, size);
            test::ModelPlace(model, p, offset, size);
        } else if (kind == 3) {
            GrowTable(t);
            GrowTable(model);
        } else if (kind != 4 || found == NoPosition) {
            // An addition; in version 2 whatever lies in the grown directory's way moves first.
            const int64_t floor =
                t.IsVersion2() ? SectorsFor(Version2RecordPosition(t.count + 1)) : 0;
            for (int moves = 0; t.IsVersion2() && t.count > 0 &&
                                SectorToByte(EntryAt(t, OrderPosition(0)).offset) <
                                    Version2RecordPosition(t.count + 1);
                 ++moves) {
                Expect(moves <= t.count, "moves without end at step " + std::to_string(step));
                const int32_t size = EntryAt(t, OrderPosition(0)).size;
                const int64_t g = size <= 0 ? floor : Place(t, model, size, floor, step);
                if (!FitsInArchive(g, std::max(size, 0))) {
                    return;
                }
                PlaceEntry(t, OrderPosition(0), static_cast<int32_t>(g), size);
                test::ModelPlace(model, OrderPosition(0), static_cast<int32_t>(g), size);
            }
            const int64_t g = Place(t, model, need, floor, step);
            if (!FitsInArchive(g, need)) {
                return;
            }
            AddEntry(t, static_cast<int32_t>(g), static_cast<int32_t>(need), name);
            test::ModelAdd(model, static_cast<int32_t>(g), static_cast<int32_t>(need), name);
        }
        ExpectAgree(t, model, step);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Case c = fuzz::Parse(data, size);
    if (c.RecordsToLoad(MaxFileLength) > MaxRecords()) {
        return -1;
    }
    const fuzz::Workspace ws = fuzz::Materialize(c, MaxFileLength);

    ScriptedMessageBoxes extractionBoxes, importBoxes;
    IoState extractionIo, importIo;
    auto extraction = LoadDirectory(ws.image, extractionIo, extractionBoxes);
    bool damaged = false;
    if (extraction) {
        int64_t dataBytes = 0;
        int64_t directoryBytes = 0;
        extraction->data.Size(dataBytes);
        if (extraction->directory.IsOpen()) {
            extraction->directory.Size(directoryBytes);
        }
        damaged = !FindDamage(extraction->table, dataBytes, directoryBytes).empty();
        // The ".dir" given in place of the data file names the same pair.
        if (!extraction->table.IsVersion2()) {
            ScriptedMessageBoxes pairBoxes;
            IoState pairIo;
            const auto pair = LoadDirectory(ws.directory, pairIo, pairBoxes);
            bool same = pair && pair->table.count == extraction->table.count;
            for (int32_t i = 0; same && i < pair->table.count; ++i) {
                const DirectoryEntry& a = EntryOf(pair->table, EntryIndex(i));
                const DirectoryEntry& b = EntryOf(extraction->table, EntryIndex(i));
                same = a.offset == b.offset && a.size == b.size && a.Name() == b.Name();
            }
            Expect(same, "the .dir names another archive than its data file");
        }
        // Shared reading would keep the import form out.
        extraction->data.Close();
        extraction->directory.Close();
    }
    auto archive = OpenForWriting(ws.image, importIo, importBoxes);
    if (damaged) {
        Expect(!archive && importBoxes.messages.size() == 1 &&
                   importBoxes.messages[0].id == MessageId::ArchiveDamaged,
               "a damaged archive opened for writing");
        // Its table is still driven through the batch's changes, prepared from the read form.
        archive.emplace();
        archive->table = extraction->table;
        importBoxes = {};
    }
    if (archive) {
        PrepareForPlacing(archive->table);
    }
    Expect(extraction.has_value() == archive.has_value(), "one form loads, the other not");
    Expect(extractionBoxes.shown.size() == (archive ? 0u : 1u), "boxes of the extraction form");
    Expect(importBoxes.shown.size() == (archive ? 0u : 1u), "boxes of the import form");
    if (!archive) {
        Expect(extractionBoxes.shown[0].text == importBoxes.shown[0].text, "different refusals");
        Expect(extractionBoxes.shown[0].icon == MessageIcon::Error, "a refusal without error icon");
        return 0;
    }
    const DirectoryTable& plain = extraction->table;
    // At most the one copy an interrupted deletion leaves at the end is not an entry.
    Expect(plain.leftovers <= 1 &&
               c.RecordsToLoad(MaxFileLength) == archive->table.count + plain.leftovers,
           "a count other than the directory's");

    DirectoryTable& t = archive->table;
    Expect(plain.count == t.count && plain.version == t.version && plain.order.empty(),
           "the forms differ");
    for (int32_t i = 0; i < t.count; ++i) {
        const DirectoryEntry& a = EntryOf(plain, EntryIndex(i));
        const DirectoryEntry& b = EntryOf(t, EntryIndex(i));
        Expect(a == b, "entry " + std::to_string(i) + " differs between the forms");
    }
    Expect(t.Capacity() > t.count && t.order.size() == t.entries.size(),
           "the reserve after loading");
    const std::vector<int32_t> order = OrderOf(t);
    std::vector<int32_t> expected(static_cast<size_t>(t.count));
    for (int32_t i = 0; i < t.count; ++i) {
        expected[static_cast<size_t>(i)] = i;
    }
    std::sort(expected.begin(), expected.end(), [&](int32_t a, int32_t b) {
        return std::pair(t.entries[a].offset, a) < std::pair(t.entries[b].offset, b);
    });
    Expect(order == expected, "the load's order is not by offset and record");
    Expect(t.endSector == (t.count < 1 ? (t.IsVersion2() ? 1 : 0) : test::ScanForGreatestEnd(t)),
           "endSector after loading");
    Expect(t.index && t.index->freeRoom.has_value() == Regular(t),
           "the free-room index where it can serve, and only there");
    ExpectAgree(t, t, -1);
    Drive(t, c.steps);
    return 0;
}
