// Archives with damaged directories from anywhere: every batch that writes refuses what check
// calls damaged and writes nothing; the rest take an import safely, and nothing crashes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>

#include "archive/check.h"
#include "archive/compact.h"
#include "archive/edit.h"
#include "archive/extract.h"
#include "archive/lookup.h"
#include "tests/import_support.h"
#include "tests/scripted_boxes.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::ImportRun;
using test::TempDir;

int32_t WildValue(std::mt19937& random, int32_t usual, bool wild) {
    switch (wild ? random() % 12 : 11) {
        case 0:
            return -static_cast<int32_t>(random() % 5);
        case 1:
            return INT32_MAX - static_cast<int32_t>(random() % 3);
        case 2:
            return INT32_MIN;
        case 3:
            return static_cast<int32_t>(1 << 20) + 1 + static_cast<int32_t>(random() % 3);
        default:
            return usual;
    }
}

// Whether check finds damage in the archive; nothing when it cannot be read at all.
std::optional<bool> Damaged(const std::string& img) {
    IoState io;
    ScriptedMessageBoxes boxes;
    const std::optional<ArchiveCheck> check = CheckArchive(img, io, boxes);
    if (!check) {
        return std::nullopt;
    }
    return !FindDamage(check->table, check->dataBytes, check->directoryBytes).empty();
}

TEST(DamagedArchives, ImportRefusesTheDamagedAndKeepsTheRestSafe) {
    TempDir dir;
    const std::vector<std::pair<std::string, Bytes>> sources = {
        {"a.dff", test::Pattern(3000, 1)}, {"b.txd", test::Pattern(10, 2)}, {"c.col", {}}};
    std::vector<std::string> paths, names;
    for (const auto& [name, bytes] : sources) {
        test::WriteBytes(dir / name, bytes);
        paths.push_back(dir / name);
        names.push_back(name);
    }
    std::filesystem::create_directories(dir / "out");
    std::mt19937 random(77);
    int completed = 0;
    int refused = 0;
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string img = dir / "damaged.img";
        const bool version2 = round % 2 != 0;
        const int count = static_cast<int>(random() % 70);
        // Wild values, or sectors that may overlap, or entries in a row with twins among them.
        const int shape = round % 3;
        Bytes image = version2 ? Bytes(8) : Bytes();
        Bytes records;
        int32_t next =
            version2 ? static_cast<int32_t>(SectorsFor(Version2RecordPosition(count))) : 0;
        for (int i = 0; i < count; ++i) {
            const auto size = static_cast<int32_t>(random() % 6);
            const int32_t offset = shape == 2 ? next : static_cast<int32_t>(random() % 40);
            next += size;
            DirectoryRecord r{WildValue(random, offset, shape == 0),
                              WildValue(random, size, shape == 0),
                              i % 4 == 0 ? "A.DFF" : "e" + std::to_string(i)};
            RecordBytes b = EncodeRecord(r);
            records.insert(records.end(), b.begin(), b.end());
        }
        if (version2) {
            PutLE32(image.data(), Version2Tag);
            PutLE32(image.data() + 4,
                    shape == 0 && random() % 3 == 0 ? random() : static_cast<uint32_t>(count));
            image.insert(image.end(), records.begin(), records.end());
        } else {
            if (shape == 1 && random() % 4 == 0) {
                records.resize(records.size() + 1 + random() % 31, 0x11);  // a partial record
            }
            test::WriteBytes(DirectoryFilePath(img), records);
        }
        image.resize(std::max<size_t>(image.size(), SectorToByte(next)) + random() % 60000, 0x5A);
        test::WriteBytes(img, image);
        const std::optional<bool> damaged = Damaged(img);
        const Bytes oldImage = test::ReadBytes(img);
        const Bytes oldDirectory = version2 ? Bytes() : test::ReadBytes(DirectoryFilePath(img));

        ImportRun run;
        run.Run(img, paths);
        if (damaged.value_or(true)) {
            EXPECT_FALSE(run.outcome.loaded);
            EXPECT_EQ(test::ReadBytes(img), oldImage);
            if (!version2) {
                EXPECT_EQ(test::ReadBytes(DirectoryFilePath(img)), oldDirectory);
            }
            ASSERT_EQ(run.boxes.messages.size(), 1u);
            refused += damaged.has_value();
            if (damaged) {
                EXPECT_EQ(run.boxes.messages[0].id, MessageId::ArchiveDamaged);
                EXPECT_NE(run.LastText().find("zarnex-cli check"), std::string::npos);
            }
        } else {
            ASSERT_TRUE(run.outcome.RanToEnd()) << run.LastText();
            ++completed;
            EXPECT_EQ(Damaged(img), false);
            // Each file went to the entry of its name, the one the game reads.
            DirectoryTable now;
            const auto records = test::ReadRecords(version2, img);
            now.count = static_cast<int32_t>(records.size());
            for (const DirectoryRecord& r : records) {
                now.entries.push_back({r.offset, r.size, r.name});
            }
            for (const auto& [name, bytes] : sources) {
                const int32_t e = FindEntry(now, name);
                ASSERT_GE(e, 0) << name;
                const DirectoryEntry& entry = now.entries[static_cast<size_t>(e)];
                EXPECT_EQ(test::ReadSectors(img, entry.offset, entry.size), test::Padded(bytes))
                    << name;
            }
        }
        ExtractCallbacks callbacks;
        ScriptedMessageBoxes boxes;
        boxes.script.assign(10, MessageAnswer::Yes);
        IoState io;
        ExtractFiles(img, dir / "out", {"A.DFF", "e1", "e2", "e3"}, boxes, callbacks, io);
        for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
            std::filesystem::remove(entry.path());
        }
    }
    std::printf("of 150 archives: %d refused as damaged, %d took the import\n", refused, completed);
    EXPECT_GT(refused, 40);
    EXPECT_GT(completed, 40);
}

// Delete and rename change only the records: the data file of a version-1 archive is read, so a
// program reading it (the game) does not keep them out, and it is never opened for writing. A
// version-2 archive holds its records in the data file, which stays theirs alone.
TEST(WritingBatches, OpenForWritingOnlyWhatTheyWrite) {
    for (bool version2 : {false, true}) {
        for (bool rename : {false, true}) {
            SCOPED_TRACE(std::string(version2 ? "version 2" : "version 1") +
                         (rename ? ", rename" : ", delete"));
            TempDir dir;
            const std::string img = dir / "a.img";
            test::MakeArchive(version2, img, {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
            const Bytes before = test::ReadBytes(img);
            IoState readerIo;
            File reader = File::Open(img, OpenMode::ReadShared, readerIo);
            ASSERT_TRUE(reader.IsOpen());
            ScriptedMessageBoxes boxes;
            IoState io;
            const bool done = rename ? RenameEntry(img, {"b.dff"}, "c.dff", boxes, io).status ==
                                           RenameStatus::Renamed
                                     : DeleteEntries(img, {{"b.dff"}}, boxes, {}, io).RanToEnd();
            EXPECT_EQ(done, !version2);
            if (version2) {
                EXPECT_EQ(boxes.messages.at(0).id, MessageId::ArchiveInUse);
            } else {
                EXPECT_EQ(test::ReadBytes(img), before);
                EXPECT_EQ(test::ReadVersion1Records(DirectoryFilePath(img)).size(),
                          rename ? 2u : 1u);
            }
        }
    }
}

struct DamageCase {
    const char* title;
    std::function<void(const std::string& img)> make;  // entries "a.dff" and "b.dff"
    std::vector<DamageKind> damage;                    // none: the batches run
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.title;
}

void Version2Head(const std::string& img, const std::vector<DirectoryRecord>& records,
                  int64_t sectors) {
    Bytes image(8);
    PutLE32(image.data(), Version2Tag);
    PutLE32(image.data() + 4, static_cast<uint32_t>(records.size()));
    for (const DirectoryRecord& r : records) {
        const RecordBytes bytes = EncodeRecord(r);
        image.insert(image.end(), bytes.begin(), bytes.end());
    }
    image.resize(static_cast<size_t>(SectorToByte(sectors)), 1);
    test::WriteBytes(img, image);
}

// The ".dir" of a version-1 archive grown by `bytes` bytes of a record that is not whole.
void AddPartialRecord(const std::string& img, size_t bytes) {
    Bytes directory = test::ReadBytes(DirectoryFilePath(img));
    directory.resize(directory.size() + bytes, 0x33);
    test::WriteBytes(DirectoryFilePath(img), directory);
}

class DamagedArchive : public ::testing::TestWithParam<DamageCase> {};

// Whatever the batch, the archive stays as it was, byte for byte, and one box names the damage
// and points at check. Warnings do not stop a batch.
TEST_P(DamagedArchive, IsNeverWritten) {
    const DamageCase& c = GetParam();
    enum class Batch { Import, Compact, Delete, Rename };
    for (Batch batch : {Batch::Import, Batch::Compact, Batch::Delete, Batch::Rename}) {
        SCOPED_TRACE(static_cast<int>(batch));
        TempDir dir;
        const std::string img = dir / "a.img";
        c.make(img);
        const std::string dirPath = DirectoryFilePath(img);
        const bool version1 = std::filesystem::exists(test::FsPath(dirPath));
        const Bytes oldImage = test::ReadBytes(img);
        const Bytes oldDirectory = version1 ? test::ReadBytes(dirPath) : Bytes();
        test::WriteBytes(dir / "new.dff", test::Pattern(5000, 7));
        ScriptedMessageBoxes boxes;
        IoState io;
        bool done = false;
        switch (batch) {
            case Batch::Import:
                done = ImportFiles(img, {dir / "new.dff"}, boxes, {}, io).RanToEnd();
                break;
            case Batch::Compact:
                done = CompactArchive(img, boxes, io).RanToEnd();
                break;
            case Batch::Delete:
                done = DeleteEntries(img, {{"b.dff"}}, boxes, {}, io).RanToEnd();
                break;
            case Batch::Rename:
                done =
                    RenameEntry(img, {"b.dff"}, "c.dff", boxes, io).status == RenameStatus::Renamed;
                break;
        }
        if (c.damage.empty()) {
            EXPECT_TRUE(done) << boxes.shown.at(0).text;
            continue;
        }
        EXPECT_FALSE(done);
        ASSERT_EQ(boxes.messages.size(), 1u);
        EXPECT_EQ(boxes.messages[0].id, MessageId::ArchiveDamaged);
        EXPECT_EQ(boxes.messages[0].damage, c.damage);
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Error);
        EXPECT_NE(boxes.shown[0].text.find("zarnex-cli check"), std::string::npos);
        EXPECT_EQ(test::ReadBytes(img), oldImage);
        if (version1) {
            EXPECT_EQ(test::ReadBytes(dirPath), oldDirectory);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedArchive,
    ::testing::Values(
        DamageCase{"overlap",
                   [](const std::string& img) {
                       test::MakeVersion2(img, {{2, 4, "a.dff"}, {5, 2, "b.dff"}});
                   },
                   {DamageKind::Overlap}},
        DamageCase{"past the end",
                   [](const std::string& img) {
                       test::MakeVersion2(img, {{2, 4, "a.dff"}, {9, 2, "b.dff"}});
                       std::filesystem::resize_file(test::FsPath(img), SectorToByte(10));
                   },
                   {DamageKind::PastEnd}},
        DamageCase{"inside the directory",
                   [](const std::string& img) {
                       Version2Head(img, {{0, 1, "a.dff"}, {1, 1, "b.dff"}}, 2);
                   },
                   {DamageKind::InsideDirectory}},
        DamageCase{"a negative offset",
                   [](const std::string& img) {
                       Version2Head(img, {{-1, 2, "a.dff"}, {3, 1, "b.dff"}}, 4);
                   },
                   {DamageKind::OutOfRange}},
        DamageCase{"beyond 2 GB, version 1",
                   [](const std::string& img) {
                       test::MakeVersion1(img, {{0, 1, "a.dff"}, {1, 1, "b.dff"}});
                       Bytes directory = test::ReadBytes(DirectoryFilePath(img));
                       PutLE32(directory.data(), 1u << 20);
                       test::WriteBytes(DirectoryFilePath(img), directory);
                   },
                   {DamageKind::OutOfRange}},
        // Compact once cut such a data file to nothing.
        DamageCase{"a .dir of a partial record alone",
                   [](const std::string& img) {
                       test::MakeVersion1(img, {}, 4);
                       AddPartialRecord(img, 5);
                   },
                   {DamageKind::PartialRecord}},
        DamageCase{"whole records and a partial one",
                   [](const std::string& img) {
                       test::MakeVersion1(img, {{0, 1, "a.dff"}, {3, 1, "b.dff"}});
                       AddPartialRecord(img, 20);
                   },
                   {DamageKind::PartialRecord}},
        DamageCase{"overlapping, past the end and partial at once",
                   [](const std::string& img) {
                       test::MakeVersion1(img, {{0, 3, "a.dff"}, {2, 1, "b.dff"}, {9, 1, "c"}}, 3);
                       std::filesystem::resize_file(test::FsPath(img), SectorToByte(3));
                       AddPartialRecord(img, 1);
                   },
                   {DamageKind::Overlap, DamageKind::PastEnd, DamageKind::PartialRecord}},
        DamageCase{"twins and bad names are warnings",
                   [](const std::string& img) {
                       test::MakeVersion1(img, {{0, 1, "a.dff"},
                                                {1, 1, "b.dff"},
                                                {2, 1, "A.DFF"},
                                                {3, 1, "x\ny."},
                                                {4, 1, ""}});
                   },
                   {}}));

}  // namespace
}  // namespace zarnex
