#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include "tests/codes.h"

#include "archive/directory.h"
#include "archive/extract.h"
#include "tests/import_support.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::ImportRun;
using test::Summary;
using test::TempDir;
using test::TestEntry;

class ImportTest : public ::testing::Test {
  protected:
    TempDir dir;

    std::string Source(const std::string& relative, const Bytes& bytes) {
        std::string path = dir / relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        test::WriteBytes(path, bytes);
        return path;
    }

    // What the records of a freshly made archive hold, by name.
    static std::map<std::string, Bytes> Contents(const std::vector<TestEntry>& entries) {
        std::map<std::string, Bytes> out;
        for (size_t i = 0; i < entries.size(); ++i) {
            out[entries[i].name] = test::EntryData(entries[i], i);
        }
        return out;
    }
};

TEST_F(ImportTest, FirstFileIntoAnEmptyVersion2Archive) {
    const std::string img = dir / "gta3.img";
    test::MakeVersion2(img, {});
    Bytes data = test::Pattern(3000, 1);
    std::string src = Source("in/Car.dff", data);
    ImportRun run;
    run.Run(img, {src});

    Bytes image = test::ReadBytes(img);
    ASSERT_EQ(image.size(), 3u * 2048);
    EXPECT_EQ(GetLE32(image.data() + 4), 1u);
    DirectoryRecord r = DecodeRecord(image.data() + 8);
    EXPECT_EQ(r.offset, 1);
    EXPECT_EQ(r.size, 2);
    EXPECT_EQ(r.name, "Car.dff");
    EXPECT_EQ(test::SectorsOf(image, 1, 2), test::Padded(data));
    for (size_t i = 40; i < 2048; ++i) {
        ASSERT_EQ(image[i], 0) << i;
    }
    EXPECT_TRUE(run.outcome.RanToEnd());
    EXPECT_EQ(run.LastText(), Summary(0, 1));
    EXPECT_EQ(run.boxes.shown.back().icon, MessageIcon::Information);
    EXPECT_EQ(run.removed, std::vector<std::string>{src});
    EXPECT_EQ(run.progress, (std::vector<int>{0, 1}));
}

TEST_F(ImportTest, FirstFileIntoAnEmptyVersion1Archive) {
    const std::string img = dir / "gta3.img";
    test::MakeVersion1(img, {});
    Bytes data = test::Pattern(2048, 2);
    ImportRun run;
    run.Run(img, {Source("a.txd", data)});
    EXPECT_EQ(test::ReadBytes(img), data);  // sector 0, no zero tail for a whole sector
    Bytes dirBytes = test::ReadBytes(dir / "gta3.dir");
    ASSERT_EQ(dirBytes.size(), 32u);
    DirectoryRecord r = DecodeRecord(dirBytes.data());
    EXPECT_EQ(r.offset, 0);
    EXPECT_EQ(r.size, 1);
    EXPECT_EQ(r.name, "a.txd");
    EXPECT_EQ(run.LastText(), Summary(0, 1));
}

TEST_F(ImportTest, ReplacesIgnoringCaseKeepsTheStoredNameAndAddsTheRest) {
    for (bool version2 : {true, false}) {
        SCOPED_TRACE(version2 ? "version 2" : "version 1");
        const std::string img = dir / (version2 ? "two.img" : "one.img");
        std::vector<TestEntry> entries = {{4, 2, "CAR.DFF"}, {8, 1, "wheel.dff"}};
        test::MakeArchive(version2, img, entries);
        Bytes before = test::ReadBytes(img);
        Bytes newCar = test::Pattern(5000, 3);
        Bytes extra = test::Pattern(10, 4);
        ImportRun run;
        run.Run(img, {Source("x/car.dff", newCar), Source("x/New.txd", extra)});
        EXPECT_EQ(run.LastText(), Summary(1, 1));
        auto expected = Contents(entries);
        expected["CAR.DFF"] = newCar;
        expected["New.txd"] = extra;
        test::ExpectArchive(img, version2, expected);
        // The replaced entry's old sectors are untouched; they are only free room now.
        Bytes after = test::ReadBytes(img);
        EXPECT_EQ(test::SectorsOf(after, 4, 2), test::SectorsOf(before, 4, 2));
        EXPECT_EQ(run.removed.size(), 2u);
    }
}

TEST_F(ImportTest, Version2PlacementIsFirstFitAfterTheLowestEntry) {
    const std::string img = dir / "a.img";
    // Gap of 3 sectors at 3..5, of 1 at 9.
    test::MakeVersion2(img, {{1, 2, "a"}, {6, 3, "b"}, {10, 2, "c"}});
    ImportRun run;
    run.Run(img, {Source("big", test::Pattern(7000, 5)), Source("one", test::Pattern(100, 6)),
                  Source("two", test::Pattern(3000, 7))});
    auto records = test::ReadVersion2Records(img);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[3].offset, 12);  // 4 sectors: no gap fits
    EXPECT_EQ(records[4].offset, 3);   // 1 sector: the first gap
    EXPECT_EQ(records[5].offset, 4);   // 2 sectors: what is left of it
}

TEST_F(ImportTest, Version1UsesSectorZeroWhenTheFileFitsBeforeTheLowestEntry) {
    const std::string img = dir / "a.img";
    std::vector<TestEntry> entries = {{3, 1, "a.dff"}, {4, 2, "b.dff"}};
    test::MakeVersion1(img, entries);
    ImportRun run;
    Bytes replacement = test::Pattern(6000, 8);  // 3 sectors: fits before sector 3
    run.Run(img, {Source("B.DFF", replacement)});
    auto records = test::ReadVersion1Records(dir / "a.dir");
    EXPECT_EQ(records[1].offset, 0);
    EXPECT_EQ(records[1].name, "b.dff");
    auto expected = Contents(entries);
    expected["b.dff"] = replacement;
    test::ExpectArchive(img, false, expected);

    // Now the lowest entry starts at 0: the first fit applies.
    ImportRun second;
    second.Run(img, {Source("c.dff", test::Pattern(100, 9))});
    EXPECT_EQ(test::ReadVersion1Records(dir / "a.dir")[2].offset, 4);  // the gap 4..5 left by b
}

// A name cut to the field would name another file, and every later import would add it again:
// longer names are refused; 24 bytes fill the field with no zero byte.
TEST_F(ImportTest, NamesLongerThanTheFieldAreRefusedEveryTime) {
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {});
    const std::string name30 = "abcdefghijklmnopqrstuvwxyz.dff";
    const std::string name24 = name30.substr(0, 20) + ".dff";
    for (int batch = 0; batch < 2; ++batch) {
        const std::string longer = Source(std::to_string(batch) + "/" + name30, {1});
        ImportRun run;
        run.Run(img, {longer, Source("24/" + name24, test::Pattern(100, 10))});
        ASSERT_EQ(run.boxes.messages.size(), 2u);
        EXPECT_EQ(run.boxes.shown[0].icon, MessageIcon::Warning);
        EXPECT_EQ(run.boxes.shown[0].text.rfind("Имя файла длиннее 24 байт", 0), 0u);
        EXPECT_NE(run.boxes.shown[0].text.find(longer), std::string::npos);
        EXPECT_EQ(run.outcome.skippedCount, 1);
        EXPECT_EQ(run.LastText(), Summary(batch, 1 - batch));
    }
    auto records = test::ReadVersion2Records(img);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, name24);
    EXPECT_EQ(test::ReadBytes(img)[8 + 8 + 23], 'f');  // 24 characters, no zero byte
}

// A file replaces the entry of its name that the game reads, the first in directory order, even
// where a later twin's data comes first; extraction then gives the new bytes.
TEST_F(ImportTest, AFileReplacesTheTwinTheGameReads) {
    for (bool version2 : {true, false}) {
        SCOPED_TRACE(version2 ? "version 2" : "version 1");
        const std::string img = dir / (version2 ? "two.img" : "one.img");
        const std::vector<TestEntry> entries = {{6, 1, "car.dff"}, {2, 1, "CAR.DFF"}};
        test::MakeArchive(version2, img, entries);
        const Bytes car = test::Pattern(3000, 30);
        ImportRun run;
        run.Run(img, {Source("new/Car.dff", car)});
        EXPECT_EQ(run.LastText(), Summary(1, 0));
        const auto records = test::ReadRecords(version2, img);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(test::ReadSectors(img, records[0].offset, records[0].size), test::Padded(car));
        EXPECT_EQ(records[1].offset, 2);

        ScriptedMessageBoxes boxes;
        IoState io;
        std::filesystem::create_directories(dir / "out");
        boxes.Answer(MessageAnswer::Yes);
        ExtractFiles(img, dir / "out", {"CAR.DFF"}, boxes, {}, io);
        EXPECT_EQ(test::ReadBytes(dir / "out/car.dff"), test::Padded(car));
    }
}

// A file name no entry may have is refused with the bad-name warning, and its row stays.
TEST_F(ImportTest, FileNamesNoEntryMayHaveAreRefused) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows makes no such file names";
#else
    const std::string img = dir / "a.img";
    test::MakeVersion1(img, {});
    std::vector<std::string> refused;
    for (const char* name :
         {"x\n99\t0\t9\tfake.dff", "a\\b.dff", "a:b.dff", "trail.", "trail ", " lead.dff"}) {
        refused.push_back(Source(std::string("src/") + name, {1}));
    }
    const std::string good = Source("src/in side.dff", {2});
    std::vector<std::string> paths = refused;
    paths.push_back(good);
    ImportRun run;
    run.Run(img, paths);
    ASSERT_EQ(run.boxes.messages.size(), refused.size() + 1);
    for (size_t i = 0; i < refused.size(); ++i) {
        EXPECT_EQ(run.boxes.messages[i].id, MessageId::BadSourceName);
        EXPECT_EQ(run.boxes.messages[i].path, refused[i]);
        EXPECT_EQ(run.boxes.shown[i].icon, MessageIcon::Warning);
    }
    EXPECT_EQ(run.LastText(), Summary(0, 1));
    EXPECT_EQ(run.removed, std::vector<std::string>{good});
    EXPECT_EQ(test::ReadVersion1Records(dir / "a.dir").at(0).name, "in side.dff");
#endif
}

TEST_F(ImportTest, TwoRowsOfOneNameFromDifferentFolders) {
    const std::string img = dir / "a.img";
    test::MakeVersion1(img, {});
    Bytes a = test::Pattern(3000, 12), b = test::Pattern(1000, 13);
    std::string first = Source("one/car.dff", a), second = Source("two/CAR.dff", b);
    ImportRun run;
    run.Run(img, {first, second});
    EXPECT_EQ(run.LastText(), Summary(1, 1));
    test::ExpectArchive(img, false, {{"car.dff", b}});
    EXPECT_EQ(run.removed, (std::vector<std::string>{first, second}));
}

TEST_F(ImportTest, EmptyFilesAndWholeSectors) {
    for (bool version2 : {true, false}) {
        const std::string img = dir / (version2 ? "two.img" : "one.img");
        version2 ? test::MakeVersion2(img, {{1, 1, "x"}}) : test::MakeVersion1(img, {{0, 1, "x"}});
        Bytes sizeBefore = test::ReadBytes(img);
        ImportRun run;
        run.Run(img, {Source("empty.dat", {}), Source("whole.dat", test::Pattern(4096, 14))});
        auto records = test::ReadRecords(version2, img);
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(records[1].size, 0);
        EXPECT_EQ(records[2].size, 2);
        EXPECT_EQ(test::ReadBytes(img).size(), sizeBefore.size() + 4096);
        test::ExpectArchive(img, version2,
                            {{"x", test::EntryData({0, 1, "x"}, 0)},
                             {"empty.dat", {}},
                             {"whole.dat", test::Pattern(4096, 14)}});
    }
}

TEST_F(ImportTest, SixtyFourthRecordMovesTheLowestEntryOut) {
    const std::string img = dir / "a.img";
    std::vector<TestEntry> entries;
    for (int i = 0; i < 63; ++i) {
        entries.push_back({1 + 2 * i, 2, "e" + std::to_string(i)});
    }
    test::MakeVersion2(img, entries);
    Bytes extra = test::Pattern(300, 16);
    ImportRun run;
    run.Run(img, {Source("new.dff", extra)});
    EXPECT_EQ(run.LastText(), Summary(0, 1));

    Bytes image = test::ReadBytes(img);
    auto records = test::ReadVersion2Records(img);
    ASSERT_EQ(records.size(), 64u);
    EXPECT_EQ(records[0].offset, 127);  // the end of the archive
    EXPECT_EQ(records[63].offset, 129);
    EXPECT_EQ(records[63].name, "new.dff");
    EXPECT_EQ(DecodeRecord(image.data() + 2024).name, "new.dff");
    // The record reaches into sector 1; the rest of what the moved entry left is zero.
    for (size_t i = 2056; i < 3 * 2048; ++i) {
        ASSERT_EQ(image[i], 0) << i;
    }
    auto expected = Contents(entries);
    expected["new.dff"] = extra;
    test::ExpectArchive(img, true, expected);
}

TEST_F(ImportTest, EveryEntryInTheWayOfTheDirectoryIsMoved) {
    const std::string img = dir / "a.img";
    // Two entries share the lowest sector and an empty one sits there too.
    std::vector<TestEntry> entries;
    for (int i = 0; i < 60; ++i) {
        entries.push_back({10 + i, 1, "f" + std::to_string(i)});
    }
    entries.push_back({1, 0, "zero"});
    entries.push_back({1, 1, "low1"});
    entries.push_back({2, 1, "low2"});
    test::MakeVersion2(img, entries);
    Bytes extra = test::Pattern(2048, 17);
    ImportRun run;
    run.Run(img, {Source("n1", extra), Source("n2", extra)});
    EXPECT_EQ(run.LastText(), Summary(0, 2));
    auto expected = Contents(entries);
    expected["n1"] = extra;
    expected["n2"] = extra;
    test::ExpectArchive(img, true, expected);
    auto records = test::ReadVersion2Records(img);
    EXPECT_GE(SectorToByte(records[60].offset), 8 + 32 * 65);  // the empty one too
}

TEST_F(ImportTest, ReplacementNeverMovesAnything) {
    const std::string img = dir / "a.img";
    std::vector<TestEntry> entries;
    for (int i = 0; i < 63; ++i) {
        entries.push_back({1 + i, 1, "e" + std::to_string(i)});
    }
    test::MakeVersion2(img, entries);
    ImportRun run;
    Bytes fresh = test::Pattern(50, 18);
    run.Run(img, {Source("E0", fresh)});
    auto records = test::ReadVersion2Records(img);
    EXPECT_EQ(records[0].offset, 64);
    EXPECT_EQ(records[1].offset, 2);
    auto expected = Contents(entries);
    expected["e0"] = fresh;
    test::ExpectArchive(img, true, expected);
}

TEST_F(ImportTest, UnopenableSourceKeepsItsRowAndTheBatchGoesOn) {
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {});
    std::string missing = dir / "nowhere/gone.dff";
    std::string good = Source("ok.dff", test::Pattern(10, 19));
    ImportRun run;
    run.Run(img, {missing, good});
    ASSERT_EQ(run.boxes.shown.size(), 2u);
    EXPECT_EQ(run.boxes.shown[0].text, "Не удаётся открыть файл: \n\n" + missing + "\n\n" +
                                           test::IoErrorText(test::NoSuchFolder));
    EXPECT_EQ(run.boxes.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(run.LastText(), Summary(0, 1));
    EXPECT_EQ(run.removed, std::vector<std::string>{good});
}

TEST_F(ImportTest, NameWithoutAWindows1251FormIsSkippedWithAWarning) {
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {});
    Bytes before = test::ReadBytes(img);
    std::string foreign = Source("車.dff", test::Pattern(10, 20));
    std::string cyrillic = Source("Дом.txd", test::Pattern(10, 21));
    ImportRun run;
    run.Run(img, {foreign, cyrillic});
    ASSERT_EQ(run.boxes.shown.size(), 2u);
    EXPECT_EQ(run.boxes.shown[0].icon, MessageIcon::Warning);
    EXPECT_NE(run.boxes.shown[0].text.find(foreign), std::string::npos);
    EXPECT_EQ(run.LastText(), Summary(0, 1));
    EXPECT_EQ(run.removed, std::vector<std::string>{cyrillic});
    EXPECT_EQ(test::ReadVersion2Records(img)[0].name, "\xC4\xEE\xEC.txd");
}

TEST_F(ImportTest, TheArchiveItselfCannotBeImportedIntoItself) {
    for (bool version2 : {true, false}) {
        const std::string img = dir / (version2 ? "two.img" : "one.img");
        version2 ? test::MakeVersion2(img, {{1, 1, "a"}}) : test::MakeVersion1(img, {{0, 1, "a"}});
        Bytes before = test::ReadBytes(img);
        ImportRun run;
        std::vector<std::string> sources = {img};
        if (!version2) {
            sources.push_back(DirectoryFilePath(img));
        }
        run.Run(img, sources);
        // The batch holds both files: opening them again as sources is refused.
        ASSERT_EQ(run.boxes.shown.size(), version2 ? 2u : 3u);
        EXPECT_EQ(run.boxes.shown[0].text, "Не удаётся открыть файл: \n\n" + img + "\n\n" +
                                               test::IoErrorText(test::LockHeld));
        EXPECT_EQ(run.LastText(), Summary(0, 0));
        EXPECT_EQ(test::ReadBytes(img), before);
    }
}

TEST_F(ImportTest, EmptyListStillLoadsAndSummarises) {
    const std::string img = dir / "a.img";
    test::MakeVersion1(img, {{0, 1, "a"}});
    Bytes before = test::ReadBytes(img);
    ImportRun run;
    run.Run(img, {});
    EXPECT_EQ(run.LastText(), Summary(0, 0));
    EXPECT_EQ(test::ReadBytes(img), before);
    EXPECT_EQ(run.progress, std::vector<int>{0});
}

TEST_F(ImportTest, LoadFailuresEndTheBatchBeforeAnyFile) {
    ImportRun run;
    std::string src = Source("a.dff", test::Pattern(10, 22));
    run.Run(dir / "missing.img", {src});
    ASSERT_EQ(run.boxes.shown.size(), 1u);
    EXPECT_EQ(run.boxes.shown[0].text,
              "IMG файл по указанному пути не найден: \n\n" + (dir / "missing.img"));
    EXPECT_TRUE(run.removed.empty());
    EXPECT_FALSE(run.outcome.RanToEnd());
}

TEST_F(ImportTest, TableGrowsPastItsReserveWithinOneBatch) {
    const std::string img = dir / "a.img";
    std::vector<TestEntry> entries;
    for (int i = 0; i < 10; ++i) {
        entries.push_back({100 + i, 1, "old" + std::to_string(i)});
    }
    test::MakeVersion2(img, entries);
    std::vector<std::string> paths;
    auto expected = Contents(entries);
    for (int i = 0; i < 300; ++i) {
        Bytes b = test::Pattern(static_cast<size_t>(i * 37 % 5000), 100 + i);
        std::string name = "n" + std::to_string(i);
        paths.push_back(Source("src/" + name, b));
        expected[name] = b;
    }
    ImportRun run;
    run.Run(img, paths);
    EXPECT_EQ(run.LastText(), Summary(0, 300));
    test::ExpectArchive(img, true, expected);
}

TEST_F(ImportTest, NothingIsWrittenPastTheTwoGigabyteLimit) {
    const std::string img = dir / "a.img";
    // A sparse archive whose one entry ends three sectors short of the limit.
    const auto big = static_cast<int32_t>(ArchiveSectorLimit - 3);
    Bytes head(8);
    PutLE32(head.data(), Version2Tag);
    PutLE32(head.data() + 4, 1);
    RecordBytes record = EncodeRecord({1, big, "big"});
    head.insert(head.end(), record.begin(), record.end());
    test::WriteBytes(img, head);
    std::filesystem::resize_file(img, SectorToByte(1 + int64_t{big}));

    std::string one = Source("one", test::Pattern(2048, 23));
    std::string two = Source("two", test::Pattern(4096, 24));
    ImportRun run;
    run.Run(img, {one, two});
    ASSERT_EQ(run.boxes.shown.size(), 2u);
    EXPECT_EQ(run.LastText(), "Остановлено ошибкой\n\nЗаменено: 0\nДобавлено: 1");
    EXPECT_EQ(run.boxes.shown[0].icon, MessageIcon::Error);
    EXPECT_EQ(run.boxes.shown[0].text,
              "IMG архив не может быть больше 2 ГБ, файл в него не помещается: \n\n" + two);
    EXPECT_EQ(run.removed, std::vector<std::string>{one});
    EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(img)), ArchiveByteLimit - 2048);
    auto records = test::ReadVersion2Records(img);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].offset, big + 1);
}

TEST_F(ImportTest, SourceOfTwoGigabytesIsRefused) {
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {});
    Bytes before = test::ReadBytes(img);
    std::string huge = Source("huge.dat", {});
    std::filesystem::resize_file(huge, ArchiveByteLimit);
    ImportRun run;
    run.Run(img, {huge});
    ASSERT_EQ(run.boxes.shown.size(), 2u);
    EXPECT_EQ(run.boxes.shown[0].icon, MessageIcon::Error);
    EXPECT_NE(run.boxes.shown[0].text.find("2 ГБ"), std::string::npos);
    EXPECT_EQ(test::ReadBytes(img), before);
    EXPECT_TRUE(run.removed.empty());
}

}  // namespace
}  // namespace zarnex

namespace zarnex {
namespace {

// A move zeroes all of the old place that no other entry's data shares, and an empty entry inside
// it still reads as it did.
TEST(ImportMoves, ZeroTheWholeOldPlace) {
    TempDir dir;
    const std::string img = dir / "a.img";
    std::vector<TestEntry> entries;
    for (int i = 0; i < 62; ++i) {
        entries.push_back({1 + 2 * i, 2, "e" + std::to_string(i)});
    }
    entries.push_back({2, 0, "zero"});  // inside the old place of e0
    test::MakeVersion2(img, entries);
    const Bytes before = test::ReadBytes(img);
    const auto old = test::ReadVersion2Records(img);
    test::WriteBytes(dir / "new.dff", {});  // empty: nothing lands in the cleared place
    ImportRun run;
    run.Run(img, {dir / "new.dff"});
    ASSERT_EQ(run.LastText(), Summary(0, 1));
    const Bytes head = test::ReadSectors(img, 0, 3);
    for (size_t i = Version2RecordPosition(64); i < 3 * 2048; ++i) {
        ASSERT_EQ(head[i], 0) << i;
    }
    const auto records = test::ReadVersion2Records(img);
    for (size_t i = 0; i < old.size(); ++i) {
        EXPECT_EQ(records[i].size, old[i].size);
        EXPECT_EQ(test::ReadSectors(img, records[i].offset, records[i].size),
                  test::SectorsOf(before, old[i].offset, old[i].size))
            << records[i].name;
    }
}

}  // namespace
}  // namespace zarnex
