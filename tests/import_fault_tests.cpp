// The same import, failed at each of its file operations in turn: the archive must stay whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include "tests/codes.h"

#include "archive/directory.h"
#include "tests/import_support.h"
#include "tests/scripted_boxes.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::ImportRun;
using test::TempDir;
using test::TestEntry;

struct Scenario {
    bool version2;
    std::vector<TestEntry> entries;
    std::vector<std::pair<std::string, Bytes>> sources;  // file name, content
};

Scenario Make(bool version2) {
    Scenario s{version2, {}, {}};
    // 63 entries from sector 1: the first addition in version 2 has to move the lowest one.
    for (int i = 0; i < 63; ++i) {
        s.entries.push_back({1 + 3 * i, (i % 3) + 1, "old" + std::to_string(i) + ".dff"});
    }
    s.sources = {
        {"OLD5.dff", test::Pattern(5000, 1)},    // replacement
        {"new1.txd", test::Pattern(300000, 2)},  // addition, more than one piece
        {"old0.dff", test::Pattern(2048, 3)},    // replaces the entry that was moved
        {"new2.col", {}},                        // empty
        {"new3.ipl", test::Pattern(7000, 4)},
    };
    return s;
}

void CheckAfterFailure(const std::string& img, const Scenario& s, const ImportRun& run,
                       const std::map<std::string, std::string>& pathOf) {
    // The archive still loads.
    IoState io;
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(test::OpenForPlacing(img, io, boxes)) << boxes.shown.at(0).text;

    std::map<std::string, Bytes> oldData, newData;
    for (size_t i = 0; i < s.entries.size(); ++i) {
        oldData[LowerAnsi(s.entries[i].name)] = test::EntryData(s.entries[i], i);
    }
    for (const auto& [name, bytes] : s.sources) {
        newData[LowerAnsi(name)] = bytes;
    }
    Bytes image = test::ReadBytes(img);
    auto records = test::ReadRecords(s.version2, img);
    ASSERT_GE(records.size(), s.entries.size());
    std::map<std::string, Bytes> held;
    for (const auto& r : records) {
        Bytes bytes = test::SectorsOf(image, r.offset, r.size);
        const std::string key = LowerAnsi(r.name);
        held[key] = bytes;
        bool isOld = oldData.count(key) && bytes == oldData[key];
        bool isNew = newData.count(key) && bytes == test::Padded(newData[key]);
        EXPECT_TRUE(isOld || isNew) << "record " << r.name << " names wrong bytes";
        if (s.version2 && r.size > 0) {
            EXPECT_GE(SectorToByte(r.offset), Version2RecordPosition(records.size())) << r.name;
        }
    }
    // A file whose row left the list is in the archive with its new bytes.
    for (const std::string& path : run.removed) {
        for (const auto& [name, p] : pathOf) {
            if (p == path) {
                EXPECT_EQ(held[LowerAnsi(name)], test::Padded(newData[LowerAnsi(name)])) << name;
            }
        }
    }
}

void RunUntilComplete(bool version2) {
    SCOPED_TRACE(version2 ? "version 2" : "version 1");
    TempDir dir;
    Scenario s = Make(version2);
    std::vector<std::string> paths;
    std::map<std::string, std::string> pathOf;
    for (const auto& [name, bytes] : s.sources) {
        std::string p = dir / name;
        test::WriteBytes(p, bytes);
        paths.push_back(p);
        pathOf[name] = p;
    }
    const std::string pristine = dir / "pristine.img";
    test::MakeArchive(version2, pristine, s.entries);

    bool completed = false;
    int failures = 0;
    for (long long n = 1; n < 2000 && !completed; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        const std::string img = dir / "work.img";
        // Removed first: MinGW's copy_file does not overwrite.
        std::filesystem::remove(img);
        std::filesystem::copy_file(pristine, img);
        if (!version2) {
            std::filesystem::remove(DirectoryFilePath(img));
            std::filesystem::copy_file(DirectoryFilePath(pristine), DirectoryFilePath(img));
        }
        ImportRun run;
        run.files.failAt = n;
        run.files.failErrno = n % 2 ? test::IoFailure : test::DiskFull;
        run.Run(img, paths);
        if (run.outcome.RanToEnd()) {
            CheckAfterFailure(img, s, run, pathOf);
            if (run.removed.size() == paths.size()) {
                // The fault fell on a closing, or after the batch's last operation.
                EXPECT_EQ(run.LastText(), test::Summary(2, 3));
                completed = run.files.operations < n;
            } else {
                // A source that failed to open is skipped with a warning; the rest went in.
                ASSERT_EQ(run.removed.size(), paths.size() - 1);
                EXPECT_EQ(run.boxes.shown.front().icon, MessageIcon::Warning);
                EXPECT_EQ(run.boxes.shown.size(), 2u);
            }
            continue;
        }
        ++failures;
        ASSERT_FALSE(run.boxes.shown.empty());
        if (run.outcome.loaded) {
            // The error with the system's code and words, then what was done before it.
            ASSERT_GE(run.boxes.shown.size(), 2u);
            const MessageBoxRequest& error = run.boxes.shown[run.boxes.shown.size() - 2];
            EXPECT_EQ(error.icon, MessageIcon::Error);
            EXPECT_EQ(error.text,
                      n % 2 ? test::IoErrorText(test::IoFailure)
                            : "На диске не хватает места\n\n" + test::IoErrorText(test::DiskFull));
            const Message& stopped = run.boxes.messages.back();
            EXPECT_EQ(stopped.id, MessageId::ImportStopped);
            EXPECT_EQ(stopped.replaced + stopped.added, static_cast<int64_t>(run.removed.size()));
        } else {
            EXPECT_EQ(run.boxes.shown.back().icon, MessageIcon::Error);
        }
        for (const auto& box : run.boxes.shown) {
            EXPECT_EQ(box.text.find("Завершено"), std::string::npos);
        }
        CheckAfterFailure(img, s, run, pathOf);
    }
    EXPECT_TRUE(completed);
    EXPECT_GT(failures, 20);
}

TEST(ImportFaults, Version2SurvivesAFailureAtEveryOperation) {
    RunUntilComplete(true);
}

TEST(ImportFaults, Version1SurvivesAFailureAtEveryOperation) {
    RunUntilComplete(false);
}

// A disk that fills up as real ones do: the write that passes the budget writes what fits, then
// fails as a full disk.
class FillingDisk final : public FileSystem {
  public:
    explicit FillingDisk(int64_t budget) : left_(budget) {}

    int Write(FileHandle file, int64_t pos, const void* buffer, size_t n,
              size_t& written) override {
        const size_t fits = std::min(n, static_cast<size_t>(left_));
        const int code = real_.Write(file, pos, buffer, fits, written);
        left_ -= static_cast<int64_t>(written);
        return code != 0 || fits == n ? code : test::DiskFull;
    }
    int Open(const std::string& p, OpenMode m, FileHandle& f, bool& c) override {
        return real_.Open(p, m, f, c);
    }
    int Claim(FileHandle f, OpenMode m) override { return real_.Claim(f, m); }
    int Remove(const std::string& p) override { return real_.Remove(p); }
    int OpenFolder(const std::string& p, FileHandle& f) override { return real_.OpenFolder(p, f); }
    int OpenIn(FileHandle d, const std::string& n, OpenMode m, FileHandle& f, bool& c) override {
        return real_.OpenIn(d, n, m, f, c);
    }
    int LookIn(FileHandle d, const std::string& n, NodeInfo& i) override {
        return real_.LookIn(d, n, i);
    }
    int RemoveIn(FileHandle d, const std::string& n) override { return real_.RemoveIn(d, n); }
    int Read(FileHandle f, int64_t p, void* b, size_t n, size_t& got) override {
        return real_.Read(f, p, b, n, got);
    }
    int Size(FileHandle f, int64_t& s) override { return real_.Size(f, s); }
    int Resize(FileHandle f, int64_t s) override { return real_.Resize(f, s); }
    int Sync(FileHandle f) override { return real_.Sync(f); }
    void StartWriteback(FileHandle f, int64_t p, int64_t n) override {
        real_.StartWriteback(f, p, n);
    }
    int Close(FileHandle f) override { return real_.Close(f); }
    int SyncFileSystem(const std::string& d) override { return real_.SyncFileSystem(d); }
    int SyncFolder(const std::string& d) override { return real_.SyncFolder(d); }

  private:
    FileSystem& real_ = RealFileSystem();
    int64_t left_;
};

// A full disk stops the batch: the data file is cut back to where it ended before, or to the end
// of the data that a record on disk names, the .dir holds whole records only, and the box after
// the error says what was done.
struct FullDisk {
    const char* title;
    bool version2;
    std::vector<TestEntry> entries;
    std::vector<std::pair<std::string, size_t>> sources;  // name, bytes
    int64_t budget;                                       // bytes written before the disk is full
    int replaced, added;                                  // committed before the stop
    bool writesWhatFits = false;  // the failing write writes what fits (else nothing)
    // Where the data file ends at least: a commit that failed may have put records on the disk,
    // so the data of the entries it was writing stays.
    int64_t keptSectors = 0;
};

void PrintTo(const FullDisk& c, std::ostream* os) {
    *os << c.title;
}

class ImportStops : public ::testing::TestWithParam<FullDisk> {};

TEST_P(ImportStops, GiveBackTheRoomTheyTook) {
    const FullDisk& c = GetParam();
    TempDir dir;
    const std::string img = dir / "a.img";
    test::MakeArchive(c.version2, img, c.entries);
    const int64_t before = static_cast<int64_t>(test::ReadBytes(img).size());
    std::vector<std::string> paths;
    for (size_t i = 0; i < c.sources.size(); ++i) {
        paths.push_back(dir / c.sources[i].first);
        test::WriteBytes(paths.back(),
                         test::Pattern(c.sources[i].second, static_cast<uint32_t>(i)));
    }
    ImportRun run;
    FillingDisk disk(c.budget);
    run.files.writeBudget = c.budget;
    if (c.writesWhatFits) {
        run.io.fileSystem = &disk;
    }
    run.Run(img, paths);
    ASSERT_FALSE(run.outcome.RanToEnd());
    ASSERT_GE(run.boxes.messages.size(), 2u);
    EXPECT_EQ(run.boxes.messages[run.boxes.messages.size() - 2].id, MessageId::DiskFull);
    const Message& stopped = run.boxes.messages.back();
    EXPECT_EQ(stopped.id, MessageId::ImportStopped);
    EXPECT_EQ(stopped.replaced, c.replaced);
    EXPECT_EQ(stopped.added, c.added);

    int64_t named = std::max(before, SectorToByte(c.keptSectors));
    const auto records = test::ReadRecords(c.version2, img);
    for (const DirectoryRecord& r : records) {
        named = std::max(named, SectorToByte(int64_t{r.offset} + r.size));
    }
    EXPECT_EQ(static_cast<int64_t>(test::ReadBytes(img).size()), named);
    if (!c.version2) {
        EXPECT_EQ(test::ReadBytes(DirectoryFilePath(img)).size() % RecordSize, 0u);
    }
}

constexpr size_t Megabyte = size_t{1} << 20;

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportStops,
    ::testing::Values(FullDisk{"a file larger than the room left, version 2",
                               true,
                               {{1, 2, "a"}},
                               {{"big.dff", 3 * Megabyte}},
                               int64_t{Megabyte},
                               0,
                               0},
                      FullDisk{"a file larger than the room left, version 1",
                               false,
                               {{0, 2, "a"}},
                               {{"big.dff", 3 * Megabyte}},
                               int64_t{Megabyte},
                               0,
                               0},
                      FullDisk{"a replacement larger than the room left",
                               true,
                               {{1, 2, "a"}},
                               {{"a", 3 * Megabyte}},
                               int64_t{Megabyte},
                               0,
                               0},
                      // The first file is committed by the stop: its data stays, the second's goes.
                      FullDisk{"a file that fits, then one that does not",
                               true,
                               {{1, 2, "a"}},
                               {{"small.dff", 10000}, {"big.dff", 3 * Megabyte}},
                               600 * 1024,
                               0,
                               1},
                      FullDisk{"a replacement that fits, then a file that does not, version 1",
                               false,
                               {{0, 2, "a"}},
                               {{"A", 10000}, {"big.dff", 3 * Megabyte}},
                               600 * 1024,
                               1,
                               0},
                      // The one record the commit writes is cut short by the full disk.
                      FullDisk{"a record cut short, version 1",
                               false,
                               {{0, 2, "a"}},
                               {{"small.dff", 10000}},
                               5 * SectorSize + 16,
                               0,
                               0,
                               true,
                               7}));

}  // namespace
}  // namespace zarnex
