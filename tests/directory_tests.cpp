#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "archive/directory.h"
#include "tests/allocation_limit.h"
#include "tests/import_support.h"
#include "tests/scripted_boxes.h"
#include "tests/support.h"
#include "tests/table_model.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::TempDir;
using test::TestEntry;

// A table whose order is the entry indices as given.
DirectoryTable Table(const std::vector<std::pair<int32_t, int32_t>>& offsetsAndSizes,
                     std::vector<int32_t> order = {}) {
    DirectoryTable table;
    table.version = Version2Tag;
    table.count = static_cast<int32_t>(offsetsAndSizes.size());
    table.entries.resize(static_cast<size_t>(table.count) + 256);
    for (size_t i = 0; i < offsetsAndSizes.size(); ++i) {
        table.entries[i].offset = offsetsAndSizes[i].first;
        table.entries[i].size = offsetsAndSizes[i].second;
    }
    if (order.empty()) {
        for (int32_t i = 0; i < table.count; ++i) {
            order.push_back(i);
        }
    }
    for (int32_t i : order) {
        table.order.emplace_back(i);
    }
    table.order.resize(table.entries.size(), EntryIndex(0));
    UpdateEndSector(table);
    return table;
}

std::vector<int32_t> Order(const DirectoryTable& table) {
    std::vector<int32_t> out;
    for (int32_t p = 0; p < table.count; ++p) {
        out.push_back(IndexAt(table, OrderPosition(p)).value);
    }
    return out;
}

TEST(SortByOffset, ExamplesAndEqualOffsetsInRecordOrder) {
    DirectoryTable table = Table({{30, 1}, {10, 1}, {20, 1}});
    SortByOffset(table, OrderPosition(0), OrderPosition(2));
    EXPECT_EQ(Order(table), (std::vector<int32_t>{1, 2, 0}));

    DirectoryTable equal = Table({{7, 1}, {7, 1}, {7, 1}}, {2, 0, 1});
    SortByOffset(equal, OrderPosition(0), OrderPosition(2));
    EXPECT_EQ(Order(equal), (std::vector<int32_t>{0, 1, 2}));
}

// Keys made in index order, of offsets anywhere in the 32 bits and often equal, against a sort
// that compares them.
TEST(SortOffsetKeys, SortsAsAComparingSortDoes) {
    std::mt19937 random(8);
    for (const int32_t spread : {1, 7, 3000, 1 << 20, INT32_MAX}) {
        std::vector<std::pair<int32_t, int32_t>> entries;  // offset, index
        std::vector<uint64_t> keys;
        for (int32_t i = 0; i < 5000; ++i) {
            const auto offset = static_cast<int32_t>(random() % static_cast<uint32_t>(spread));
            entries.emplace_back(random() % 5 == 0 ? -offset : offset, i);
            keys.push_back(OffsetKey(entries.back().first, i));
        }
        std::sort(entries.begin(), entries.end());
        SortOffsetKeys(keys);
        ASSERT_EQ(keys.size(), entries.size());
        for (size_t k = 0; k < keys.size(); ++k) {
            ASSERT_EQ(keys[k], OffsetKey(entries[k].first, entries[k].second)) << spread;
        }
    }
}

TEST(SortByOffset, SortsLargeShuffledTablesWithManyTies) {
    std::vector<std::pair<int32_t, int32_t>> many;
    for (int i = 0; i < 5000; ++i) {
        many.push_back({(i * 7919) % 401, 1});
    }
    DirectoryTable table = Table(many);
    std::shuffle(table.order.begin(), table.order.begin() + table.count, std::mt19937(42));
    const std::vector<int32_t> shuffled = Order(table);
    SortByOffset(table, OrderPosition(1), OrderPosition(table.count - 2));
    std::vector<int32_t> order = Order(table);
    // Both ends stay where the shuffle put them; between them, by offset and then index.
    EXPECT_EQ(order.front(), shuffled.front());
    EXPECT_EQ(order.back(), shuffled.back());
    EXPECT_TRUE(std::is_sorted(order.begin() + 1, order.end() - 1, [&](int32_t a, int32_t b) {
        return std::pair(table.entries[a].offset, a) < std::pair(table.entries[b].offset, b);
    }));
    std::sort(order.begin(), order.end());
    for (int32_t i = 0; i < table.count; ++i) {
        ASSERT_EQ(order[i], i);
    }
}

TEST(RepositionEntry, TravelsForwardAndBackwardButNotPastEquals) {
    DirectoryTable table = Table({{5, 1}, {20, 1}, {40, 1}, {60, 1}});
    table.entries[0].offset = 100;
    RepositionEntry(table, OrderPosition(0));
    EXPECT_EQ(Order(table), (std::vector<int32_t>{1, 2, 3, 0}));

    table.entries[0].offset = 1;  // now at the last position
    RepositionEntry(table, OrderPosition(3));
    EXPECT_EQ(Order(table), (std::vector<int32_t>{0, 1, 2, 3}));

    table.entries[2].offset = 20;  // equal to its neighbour: stays
    RepositionEntry(table, OrderPosition(2));
    EXPECT_EQ(Order(table), (std::vector<int32_t>{0, 1, 2, 3}));

    table.entries[1].offset = 50;  // a middle position travels forward
    RepositionEntry(table, OrderPosition(1));
    EXPECT_EQ(Order(table), (std::vector<int32_t>{0, 2, 1, 3}));
    table.entries[3].offset = 2;  // the last one travels backward
    RepositionEntry(table, OrderPosition(3));
    EXPECT_EQ(Order(table), (std::vector<int32_t>{0, 3, 2, 1}));

    DirectoryTable one = Table({{9, 1}});
    one.entries[0].offset = 0;
    RepositionEntry(one, OrderPosition(0));
    EXPECT_EQ(Order(one), (std::vector<int32_t>{0}));
}

TEST(FindFreeGap, FirstFitBetweenEntries) {
    DirectoryTable table = Table({{10, 2}, {15, 3}});
    EXPECT_EQ(table.endSector, 18);
    EXPECT_EQ(FindFreeGap(table, 3), 12);
    EXPECT_EQ(FindFreeGap(table, 4), 18);
    EXPECT_EQ(FindFreeGap(table, 0), 12);

    DirectoryTable contiguous = Table({{1, 2}, {3, 4}, {9, 1}});
    EXPECT_EQ(FindFreeGap(contiguous, 0), 3);  // zero room fits nothing but nothing
    EXPECT_EQ(FindFreeGap(contiguous, 2), 7);

    DirectoryTable single = Table({{4, 4}});
    EXPECT_EQ(FindFreeGap(single, 1), 8);
    EXPECT_EQ(FindFreeGap(single, 0), 8);

    // A need of 0 takes the first pair as it stands, even where data before covers the room;
    // any other need never lands on data.
    for (std::vector<int32_t> order : {std::vector<int32_t>{0, 1, 2}, {1, 0, 2}}) {
        DirectoryTable shared = Table({{5, 3}, {5, 0}, {8, 1}}, order);
        EXPECT_EQ(FindFreeGap(shared, 0), 5);
        EXPECT_EQ(FindFreeGap(shared, 1), 9);
    }
    DirectoryTable nested = Table({{10, 20}, {12, 2}, {40, 1}});
    EXPECT_EQ(FindFreeGap(nested, 0), 14);
    EXPECT_EQ(FindFreeGap(nested, 1), 30);
}

TEST(FindFreeGap, AnEmptyFileGoesWhereTheFirstPairLeavesRoomOfNone) {
    // Version 2, an empty record sharing the sector of the data before the next entry.
    TempDir dir;
    const std::string img = dir / "v2.img";
    test::MakeVersion2(img, {{2, 3, "d.dff"}, {2, 0, "e.dff"}, {5, 1, "f.dff"}});
    test::WriteBytes(dir / "zero.txd", {});
    test::ImportRun run;
    run.Run(img, {dir / "zero.txd"});
    EXPECT_EQ(run.LastText(), test::Summary(0, 1));
    std::vector<DirectoryRecord> records = test::ReadRecords(true, img);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[3].name, "zero.txd");
    EXPECT_EQ(records[3].offset, 2);
    EXPECT_EQ(records[3].size, 0);
}

TEST(FindFreeGap, NeverInsideLiveDataOfOverlappingEntries) {
    // A long entry with a short one inside it, then room after both.
    DirectoryTable nested = Table({{10, 20}, {12, 2}, {40, 1}});
    EXPECT_EQ(FindFreeGap(nested, 5), 30);
    EXPECT_EQ(FindFreeGap(nested, 11), 41);
    // A size-0 entry inside another is no boundary of free room.
    DirectoryTable zeroInside = Table({{10, 5}, {12, 0}, {20, 1}});
    EXPECT_EQ(FindFreeGap(zeroInside, 3), 15);
    // Crossing entries.
    DirectoryTable crossing = Table({{10, 5}, {13, 5}, {30, 1}});
    EXPECT_EQ(FindFreeGap(crossing, 12), 18);
}

TEST(UpdateEndSector, GreatestEndEvenWhenAShorterEntryIsLastInOrder) {
    DirectoryTable table = Table({{10, 8}, {10, 0}}, {0, 1});
    EXPECT_EQ(table.endSector, 18);
    DirectoryTable inside = Table({{2, 30}, {5, 1}});
    EXPECT_EQ(inside.endSector, 32);
}

TEST(GrowTable, KeepsEntriesAndPositions) {
    DirectoryTable table = Table({{3, 1}, {1, 1}}, {1, 0});
    table.entries[0].SetName("a");
    const int32_t before = table.Capacity();
    GrowTable(table);
    EXPECT_GT(table.Capacity(), before);
    EXPECT_EQ(table.order.size(), table.entries.size());
    EXPECT_EQ(table.entries[0].Name(), "a");
    EXPECT_EQ(Order(table), (std::vector<int32_t>{1, 0}));
    EXPECT_TRUE(table.entries.back().Name().empty());
}

TEST(FindEntryByName, IgnoresCaseAndAnswersWithAnOrderPosition) {
    DirectoryTable table = Table({{50, 1}, {10, 1}, {30, 1}}, {1, 2, 0});
    table.entries[0].SetName("car.dff");
    table.entries[1].SetName("\xEC\xEE\xF1\xEA\xE2\xE0.txd");  // москва.txd
    table.entries[2].SetName("CAR.DFF");  // a twin whose data comes first: the game reads entry 0
    EXPECT_EQ(FindEntryByName(table, "Car.Dff"), OrderPosition(2));
    EXPECT_EQ(IndexAt(table, OrderPosition(2)), EntryIndex(0));
    EXPECT_EQ(FindEntryByName(table, "\xCC\xCE\xD1\xCA\xC2\xC0.TXD"), OrderPosition(0));
    EXPECT_EQ(FindEntryByName(table, "car.dff "), NoPosition);
    EXPECT_EQ(FindEntryByName(table, "car.df"), NoPosition);
}

// Bytes next to zero in value (1, 0x80, 0xFF) are where a word-at-a-time search goes wrong.
TEST(DirectoryEntry, TheNameEndsAtTheFirstZeroWhateverTheBytesAroundIt) {
    std::mt19937 random(7);
    const char bytes[] = {'\0', '\x01', 'a', '\x7F', '\x80', '\x81', '\xFE', '\xFF'};
    for (int round = 0; round < 5000; ++round) {
        DirectoryEntry entry;
        for (char& c : entry.field) {
            c = random() % 4 == 0 ? bytes[random() % sizeof bytes] : bytes[1 + random() % 7];
        }
        const auto zero = std::find(entry.field.begin(), entry.field.end(), '\0');
        ASSERT_EQ(entry.Name(), std::string_view(entry.field.data(), zero - entry.field.begin()))
            << round;
    }
}

class LoadDirectoryTest : public ::testing::Test {
  protected:
    static std::optional<OpenArchive> OpenToWrite(const std::string& path, IoState& io,
                                                  MessageBoxes& boxes) {
        return OpenForWriting(path, io, boxes);
    }

    TempDir dir;
    IoState io;
    ScriptedMessageBoxes boxes;

    void ExpectOneBox(const std::string& text, const std::string& title = "Zarnex") {
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, text);
        EXPECT_EQ(boxes.shown[0].title, title);
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Error);
        EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
        EXPECT_TRUE(boxes.shown[0].taskModal);
    }
};

TEST_F(LoadDirectoryTest, Version2ForImportIsSortedWithItsEnd) {
    test::MakeVersion2(dir / "gta3.img",
                       {{9, 2, "b.dff"}, {1, 3, "a.txd"}, {4, 5, "c.col"}, {11, 1, "d.ipl"}});
    auto archive = test::OpenForPlacing(dir / "gta3.img", io, boxes);
    ASSERT_TRUE(archive);
    const DirectoryTable& t = archive->table;
    EXPECT_TRUE(t.IsVersion2());
    EXPECT_EQ(t.count, 4);
    EXPECT_EQ(t.endSector, 12);
    EXPECT_EQ(Order(t), (std::vector<int32_t>{1, 2, 0, 3}));
    EXPECT_EQ(t.entries[2].Name(), "c.col");
    EXPECT_TRUE(archive->data.IsOpen());
    EXPECT_FALSE(archive->directory.IsOpen());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LoadDirectoryTest, AdditionsFillTheReserveAndGoOnPastAGrowth) {
    std::vector<TestEntry> entries;
    for (int i = 0; i < 10; ++i) {
        entries.push_back({1 + i, 1, "e" + std::to_string(i)});
    }
    test::MakeVersion2(dir / "a.img", entries);
    auto archive = test::OpenForPlacing(dir / "a.img", io, boxes);
    ASSERT_TRUE(archive);
    DirectoryTable& t = archive->table;
    for (int i = 0; t.count < t.Capacity(); ++i) {
        AddEntry(t, 100 + i, 1, "n" + std::to_string(i));
    }
    const int32_t full = t.count;
    GrowTable(t);  // what the batch does before its next file
    EntryIndex e = AddEntry(t, 5000, 2, "after");
    EXPECT_EQ(e, EntryIndex(full));
    EXPECT_EQ(IndexAt(t, FindEntryByName(t, "AFTER")), e);
    EXPECT_EQ(t.endSector, 5002);
    EXPECT_EQ(FindFreeGap(t, 3), 11);  // between the loaded entries and the added ones
    EXPECT_EQ(FindFreeGap(t, 90), 100 + full - 10);  // too big for that: after the added ones
}

TEST_F(LoadDirectoryTest, ExtractionFormHasNoOrder) {
    test::MakeVersion2(dir / "gta3.img", {{9, 2, "b.dff"}, {1, 3, "a.txd"}});
    auto archive = LoadDirectory(dir / "gta3.img", io, boxes);
    ASSERT_TRUE(archive);
    EXPECT_TRUE(archive->table.order.empty());
    EXPECT_EQ(archive->table.entries[0].Name(), "b.dff");
    // Shared reading: a second reader gets in, a writer does not.
    IoState other;
    EXPECT_TRUE(File::Open(dir / "gta3.img", OpenMode::ReadShared, other).IsOpen());
    EXPECT_FALSE(File::Open(dir / "gta3.img", OpenMode::ReadWriteExclusive, other).IsOpen());
}

TEST_F(LoadDirectoryTest, EmptyArchivesOfBothVersions) {
    test::MakeVersion2(dir / "v2.img", {});
    auto v2 = test::OpenForPlacing(dir / "v2.img", io, boxes);
    ASSERT_TRUE(v2);
    EXPECT_EQ(v2->table.count, 0);
    EXPECT_EQ(v2->table.endSector, 1);
    EXPECT_EQ(FindFreeGap(v2->table, 100), 1);

    test::MakeVersion1(dir / "v1.img", {});
    auto v1 = test::OpenForPlacing(dir / "v1.img", io, boxes);
    ASSERT_TRUE(v1);
    EXPECT_FALSE(v1->table.IsVersion2());
    EXPECT_EQ(v1->table.count, 0);
    EXPECT_EQ(v1->table.endSector, 0);
    EXPECT_TRUE(v1->directory.IsOpen());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LoadDirectoryTest, Version1CountIsTheDirLengthOverThirtyTwo) {
    test::MakeVersion1(dir / "v1.img", {{0, 1, "a"}, {1, 1, "b"}, {2, 1, "c"}});
    Bytes dirBytes = test::ReadBytes(dir / "v1.dir");
    dirBytes.resize(100, 0xEE);
    test::WriteBytes(dir / "v1.dir", dirBytes);
    auto archive = LoadDirectory(dir / "v1.img", io, boxes);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->table.count, 3);
    EXPECT_EQ(archive->table.entries[2].Name(), "c");
}

TEST_F(LoadDirectoryTest, ShortOrForeignDataFilesAreVersion1) {
    test::WriteBytes(dir / "short.img", {'V', 'E'});
    EXPECT_FALSE(test::OpenForPlacing(dir / "short.img", io, boxes));
    ExpectOneBox("Unable to find DIR file!\n\n" + (dir / "short.dir"));

    test::WriteBytes(dir / "short.dir", {});
    boxes.shown.clear();
    auto archive = test::OpenForPlacing(dir / "short.img", io, boxes);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->table.version, 0x4556u);
}

TEST_F(LoadDirectoryTest, HeldArchiveOrDirCannotBeOpened) {
    test::MakeVersion1(dir / "v1.img", {{0, 1, "a"}});
    IoState other;
    File holder = File::Open(dir / "v1.img", OpenMode::ReadWriteExclusive, other);
    EXPECT_FALSE(test::OpenForPlacing(dir / "v1.img", io, boxes));
    ExpectOneBox("Архив занят другой программой: \n\n" + (dir / "v1.img"));
    holder.Close();

    boxes.shown.clear();
    holder = File::Open(dir / "v1.dir", OpenMode::ReadWriteExclusive, other);
    EXPECT_FALSE(test::OpenForPlacing(dir / "v1.img", io, boxes));
    ExpectOneBox("Архив занят другой программой: \n\n" + (dir / "v1.dir"));
    // Everything it opened is closed again: the data file can be taken now.
    EXPECT_TRUE(File::Open(dir / "v1.img", OpenMode::ReadWriteExclusive, other).IsOpen());
}

TEST_F(LoadDirectoryTest, DirectoriesPromisingMoreThanTheFileHoldsAreRefused) {
    const std::string path = dir / "bad.img";
    const std::string refused =
        "Каталог IMG архива повреждён: записей больше, чем вмещает файл\n\n" + path;
    test::MakeVersion2(path, {{1, 1, "a"}, {2, 1, "b"}});
    Bytes good = test::ReadBytes(path);

    Bytes tooMany = good;
    PutLE32(tooMany.data() + 4, 1000);
    test::WriteBytes(path, tooMany);
    EXPECT_FALSE(test::OpenForPlacing(path, io, boxes));
    ExpectOneBox(refused);
    EXPECT_EQ(test::ReadBytes(path), tooMany);

    Bytes negative = good;
    PutLE32(negative.data() + 4, static_cast<uint32_t>(-1));
    test::WriteBytes(path, negative);
    boxes.shown.clear();
    EXPECT_FALSE(LoadDirectory(path, io, boxes));
    ExpectOneBox(refused);

    // A count whose records end exactly at the end of the file is fine.
    Bytes exact(8 + 32 * 2);
    std::copy_n(good.begin(), exact.size(), exact.begin());
    test::WriteBytes(path, exact);
    boxes.shown.clear();
    EXPECT_TRUE(test::LoadForPlacing(path, io, boxes));
    EXPECT_TRUE(boxes.shown.empty());
}

// Sparse files stand for directories of any length.
void MakeSparse(const std::string& path, const Bytes& head, int64_t length) {
    test::WriteBytes(path, head);
    std::filesystem::resize_file(path, static_cast<uintmax_t>(length));
}

Bytes Version2Head(uint32_t count) {
    Bytes head(8);
    PutLE32(head.data(), Version2Tag);
    PutLE32(head.data() + 4, count);
    return head;
}

TEST_F(LoadDirectoryTest, DirectoriesNoArchiveOf2GiBCanHoldAreRefusedAsDamaged) {
    const std::string path = dir / "huge.img";
    const std::string refused =
        "Каталог IMG архива повреждён: записей больше, чем вмещает файл\n\n" + path;
    // The first count whose records would end past 2^31.
    const uint32_t firstPast = static_cast<uint32_t>((ArchiveByteLimit - 8) / 32 + 1);
    struct Case {
        bool version2;
        uint32_t count;     // version 2
        int64_t dirLength;  // version 1
    };
    // 2^27 + 1 records take 4 GiB and 32 bytes, which a 32-bit product makes 32. No longer:
    // on Windows a file made that long takes its room on the disk.
    const uint32_t wraps = (uint32_t{1} << 27) + 1;
    for (const Case& c :
         {Case{true, wraps, 0}, Case{true, firstPast, 0}, Case{false, 0, int64_t{32} * wraps},
          Case{false, 0, ArchiveByteLimit + 32}}) {
        SCOPED_TRACE(c.version2 ? "count " + std::to_string(c.count)
                                : ".dir of " + std::to_string(c.dirLength));
        std::filesystem::remove(dir / "huge.dir");
        if (c.version2) {
            MakeSparse(path, Version2Head(c.count), 8 + int64_t{32} * c.count);
        } else {
            MakeSparse(path, {}, 0);
            MakeSparse(dir / "huge.dir", {}, c.dirLength);
        }
        for (auto open : {LoadDirectory, OpenToWrite}) {
            boxes.shown.clear();
            // Were they taken, the table alone would need tens of gigabytes.
            test::AllocationLimit limit(size_t{256} << 20);
            EXPECT_FALSE(open(path, io, boxes));
            ExpectOneBox(refused);
        }
    }
}

TEST_F(LoadDirectoryTest, AnAllocationFailureIsReportedInTheErrorBox) {
    // The largest directories a 2 GiB archive can hold, on a machine with far less memory.
    const std::string path = dir / "largest.img";
    const uint32_t count = static_cast<uint32_t>((ArchiveByteLimit - 8) / 32);
    for (bool version2 : {true, false}) {
        SCOPED_TRACE(version2 ? "version 2" : "version 1");
        if (version2) {
            MakeSparse(path, Version2Head(count), 8 + int64_t{32} * count);
        } else {
            MakeSparse(path, {}, 0);
            MakeSparse(dir / "largest.dir", {}, ArchiveByteLimit);
        }
        for (auto open : {LoadDirectory, OpenToWrite}) {
            boxes.shown.clear();
            {
                test::AllocationLimit limit(size_t{256} << 20);
                EXPECT_FALSE(open(path, io, boxes));
            }
            ExpectOneBox("Недостаточно памяти для обработки IMG архива");
        }
        // Nothing stays open: the archive can be taken.
        IoState other;
        EXPECT_TRUE(File::Open(path, OpenMode::ReadWriteExclusive, other).IsOpen());
    }
}

TEST_F(LoadDirectoryTest, Ver2AloneIsAnEmptyVersion2Archive) {
    const std::string path = dir / "four.img";
    test::WriteBytes(path, {'V', 'E', 'R', '2'});
    for (bool forImport : {false, true}) {
        auto archive =
            forImport ? test::OpenForPlacing(path, io, boxes) : LoadDirectory(path, io, boxes);
        ASSERT_TRUE(archive);
        EXPECT_TRUE(archive->table.IsVersion2());
        EXPECT_EQ(archive->table.count, 0);
        if (forImport) {
            EXPECT_EQ(archive->table.endSector, 1);
        }
    }
    EXPECT_TRUE(boxes.shown.empty());

    // The first file goes to sector 1 and the header is completed.
    test::WriteBytes(dir / "a.dff", test::Pattern(100, 3));
    test::ImportRun run;
    run.Run(path, {dir / "a.dff"});
    EXPECT_EQ(run.LastText(), test::Summary(0, 1));
    Bytes image = test::ReadBytes(path);
    ASSERT_EQ(image.size(), 4096u);
    EXPECT_EQ(GetLE32(image.data() + 4), 1u);
    test::ExpectArchive(path, true, {{"a.dff", test::Pattern(100, 3)}});
    EXPECT_EQ(test::ReadRecords(true, path)[0].offset, 1);

    // A count cut short reads its missing bytes as zero: one record promised, none there.
    test::WriteBytes(path, {'V', 'E', 'R', '2', 1});
    boxes.shown.clear();
    EXPECT_FALSE(test::OpenForPlacing(path, io, boxes));
    ExpectOneBox("Каталог IMG архива повреждён: записей больше, чем вмещает файл\n\n" + path);
}

// 2^17 records at one offset, or as many empty ones, once took an import's load minutes: a
// quicksort over equal offsets and an index build walking back over empty entries; and a name
// that all of them share must not cost a walk per duplicate. Quadratic time would show as a
// time-out here.
TEST_F(LoadDirectoryTest, ManyRecordsAtOneOffsetOrEmptyLoadAndAgreeWithTheWalks) {
    constexpr int32_t Count = 1 << 17;
    struct Shape {
        const char* what;
        int32_t offsetStep;
        int32_t size;
        bool oneName;
    };
    for (const Shape& shape :
         {Shape{"at one offset", 0, 1, false}, Shape{"empty at one offset", 0, 0, false},
          Shape{"empty at distinct offsets", 1, 0, false},
          Shape{"of one name at one offset", 0, 0, true}}) {
        SCOPED_TRACE(shape.what);
        Bytes records(size_t{RecordSize} * Count);
        for (int32_t i = 0; i < Count; ++i) {
            RecordBytes r = EncodeRecord({5 + i * shape.offsetStep, shape.size,
                                          shape.oneName ? "dup.dff" : "e" + std::to_string(i)});
            std::copy(r.begin(), r.end(), records.begin() + int64_t{RecordSize} * i);
        }
        test::WriteBytes(dir / "many.dir", records);
        test::WriteBytes(dir / "many.img", Bytes(2048));
        auto archive = test::LoadForPlacing(dir / "many.img", io, boxes);
        ASSERT_TRUE(archive);
        DirectoryTable& t = archive->table;
        std::vector<int32_t> order = Order(t);
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), [&](int32_t a, int32_t b) {
            return t.entries[a].offset < t.entries[b].offset;
        }));
        std::sort(order.begin(), order.end());
        // Records all alike end in a copy of an earlier one, as an interrupted deletion leaves:
        // that one is dropped.
        const int32_t loaded = Count - (shape.oneName ? 1 : 0);
        ASSERT_EQ(order.size(), size_t(loaded));
        EXPECT_EQ(order.back(), loaded - 1);
        EXPECT_EQ(std::adjacent_find(order.begin(), order.end()), order.end());

        // The batch's changes, held against the walks of a copy.
        DirectoryTable model = t;
        for (int step = 0; step < 4; ++step) {
            ASSERT_EQ(t.endSector, test::ScanForGreatestEnd(model));
            for (int64_t need : {1, 2, 1000}) {
                ASSERT_EQ(FindFreeGap(t, need), test::ScanForRoom(model, need)) << need;
            }
            const std::string name = shape.oneName ? "DUP.DFF" : "E" + std::to_string(step * 40000);
            const OrderPosition pos = FindEntryByName(t, name);
            ASSERT_EQ(pos, test::ScanForName(model, name));
            ASSERT_NE(pos, NoPosition);
            const int64_t g = FindFreeGap(t, 3);
            PlaceEntry(t, pos, static_cast<int32_t>(g), 3);
            test::ModelPlace(model, pos, static_cast<int32_t>(g), 3);
            AddEntry(t, static_cast<int32_t>(FindFreeGap(t, 2)), 2, "new" + name);
            test::ModelAdd(model, static_cast<int32_t>(test::ScanForRoom(model, 2)), 2,
                           "new" + name);
            ASSERT_EQ(Order(t), Order(model));
        }
    }
}

TEST_F(LoadDirectoryTest, ReadFailureOfTheRecordsIsReported) {
    test::MakeVersion2(dir / "a.img", {{1, 1, "a"}});
    test::TestFileSystem files;
    files.failAt = 5;  // open, lock, size, header read, *records read*
    files.failErrno = EIO;
    io.fileSystem = &files;
    EXPECT_FALSE(test::OpenForPlacing(dir / "a.img", io, boxes));
    ExpectOneBox("Не удаётся открыть файл: \n\n" + (dir / "a.img") + "\n\n" +
                 test::IoErrorText(EIO));
}

// What a path given as the archive names: the pair it opens (its data file's size and entry
// count tell which), or the one box that says what stands there instead.
struct PathCase {
    const char* title;
    std::function<void(const std::string& dir)> make;
    std::string given;                       // in the folder
    MessageId refusal = MessageId::IoError;  // IoError: it loads
    std::string named = "";                  // the path in the box, in the folder
    int64_t dataBytes = 0;                   // when it loads
    int32_t count = 0;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.title;
}

class ArchivePaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(ArchivePaths, NameThePairOrWhatIsThere) {
    const PathCase& c = GetParam();
    TempDir dir;
    c.make(dir.path());
    IoState io;
    ScriptedMessageBoxes boxes;
    std::optional<OpenArchive> archive = LoadDirectory(dir / c.given, io, boxes);
    if (c.refusal == MessageId::IoError) {
        ASSERT_TRUE(archive) << boxes.shown.at(0).text;
        int64_t size = 0;
        ASSERT_TRUE(archive->data.Size(size));
        EXPECT_EQ(size, c.dataBytes);
        EXPECT_EQ(archive->table.count, c.count);
        return;
    }
    EXPECT_FALSE(archive);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].id, c.refusal);
    EXPECT_EQ(boxes.messages[0].path, dir / c.named);
    EXPECT_EQ(boxes.shown[0].title, "Zarnex");
}

void MakePair(const std::string& img, int entries) {
    std::vector<TestEntry> list;
    for (int i = 0; i < entries; ++i) {
        list.push_back({i, 1, "e" + std::to_string(i)});
    }
    test::MakeVersion1(img, list);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchivePaths,
    ::testing::Values(
        PathCase{.title = "the .dir of a pair names the pair",
                 .make = [](const std::string& d) { MakePair(d + "/a.img", 2); },
                 .given = "a.dir",
                 .dataBytes = 2 * SectorSize,
                 .count = 2},
        PathCase{.title = "a .dir whose data file is in capitals",
                 .make =
                     [](const std::string& d) {
                         MakePair(d + "/b.img", 3);
                         std::filesystem::rename(test::FsPath(d + "/b.img"),
                                                 test::FsPath(d + "/b.IMG"));
                     },
                 .given = "b.dir",
                 .dataBytes = 3 * SectorSize,
                 .count = 3},
        PathCase{.title = "a .dir alone names the data file to give",
                 .make = [](const std::string& d) { test::WriteBytes(d + "/c.dir", {}); },
                 .given = "c.dir",
                 .refusal = MessageId::DataFileMissing,
                 .named = "c.img"},
        PathCase{.title = "a missing archive",
                 .make = [](const std::string&) {},
                 .given = "none.img",
                 .refusal = MessageId::ArchiveNotFound,
                 .named = "none.img"},
        PathCase{.title = "a missing .dir names where it was looked for",
                 .make = [](const std::string& d) { test::WriteBytes(d + "/h.img", Bytes(9)); },
                 .given = "h.img",
                 .refusal = MessageId::DirectoryFileMissing,
                 .named = "h.dir"},
        PathCase{.title = "a folder as the archive",
                 .make =
                     [](const std::string& d) {
                         std::filesystem::create_directory(test::FsPath(d + "/f.img"));
                     },
                 .given = "f.img",
                 .refusal = MessageId::PathIsFolder,
                 .named = "f.img"},
        PathCase{.title = "a folder as the .dir",
                 .make =
                     [](const std::string& d) {
                         test::WriteBytes(d + "/g.img", Bytes(9));
                         std::filesystem::create_directory(test::FsPath(d + "/g.dir"));
                     },
                 .given = "g.img",
                 .refusal = MessageId::PathIsFolder,
                 .named = "g.dir"}
#ifndef _WIN32
        ,
        // Never opened, so never waited on.
        PathCase{.title = "a pipe as the archive",
                 .make = [](const std::string& d) { ::mkfifo((d + "/p.img").c_str(), 0600); },
                 .given = "p.img",
                 .refusal = MessageId::NotRegularFile,
                 .named = "p.img"},
        PathCase{.title = "a pipe as the .dir",
                 .make =
                     [](const std::string& d) {
                         test::WriteBytes(d + "/q.img", Bytes(9));
                         ::mkfifo((d + "/q.dir").c_str(), 0600);
                     },
                 .given = "q.img",
                 .refusal = MessageId::NotRegularFile,
                 .named = "q.dir"},
        // The .dir beside the link is another archive's: the one beside the target is taken.
        PathCase{.title = "a link pairs the .dir beside where it leads",
                 .make =
                     [](const std::string& d) {
                         std::filesystem::create_directory(d + "/real");
                         MakePair(d + "/real/r.img", 3);
                         MakePair(d + "/decoy.img", 1);
                         std::filesystem::create_symlink("real/r.img", d + "/link.img");
                         std::filesystem::rename(d + "/decoy.dir", d + "/link.dir");
                     },
                 .given = "link.img",
                 .dataBytes = 3 * SectorSize,
                 .count = 3}
#endif
        ));

}  // namespace
}  // namespace zarnex
