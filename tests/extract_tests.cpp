#include <gtest/gtest.h>

#ifdef _WIN32
#include <sys/utime.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#endif
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "archive/extract.h"
#include "archive/format.h"
#include "platform/errors.h"
#include "tests/codes.h"
#include "tests/crash_support.h"
#include "tests/scripted_boxes.h"
#include "tests/support.h"
#include "tests/test_file_system.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::TempDir;
using test::TestEntry;

struct ExtractRun {
    ScriptedMessageBoxes boxes;
    test::TestFileSystem files;
    IoState io{.fileSystem = &files};
    std::vector<int> progress;
    bool started = false;
    ExtractOutcome outcome;

    void Run(const std::string& archive, const std::string& folder,
             const std::vector<std::string>& names) {
        ExtractCallbacks callbacks;
        callbacks.progress = [this](int done, int) { progress.push_back(done); };
        callbacks.started = [this] { started = true; };
        outcome = ExtractFiles(archive, folder, names, boxes, callbacks, io);
    }
    std::string LastText() const { return boxes.shown.empty() ? "" : boxes.shown.back().text; }
};

// The names in a folder and its subfolders, in order.
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(test::FsPath(folder))) {
        names.push_back(test::Utf8(e.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ExtractTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string out = dir / "out";
    void SetUp() override { std::filesystem::create_directory(out); }

    std::string Make(bool version2, const std::vector<TestEntry>& entries, int64_t sectors = 0) {
        std::string img = dir / (version2 ? "two.img" : "one.img");
        test::MakeArchive(version2, img, entries, sectors);
        return img;
    }
};

TEST_F(ExtractTest, CopiesWholeSectorsUnderTheStoredNameInBothVersions) {
    for (bool version2 : {true, false}) {
        SCOPED_TRACE(version2 ? "version 2" : "version 1");
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        std::vector<TestEntry> entries = {
            {2, 300, "BIG.TXD"}, {302, 0, "empty.dff"}, {302, 2, "car.dff"}, {304, 1, "Car.DFF"}};
        std::string img = Make(version2, entries);
        Bytes before = test::ReadBytes(img);
        ExtractRun run;
        run.Run(img, out, {"big.txd", "EMPTY.DFF", "CAR.dff", "missing.col"});
        EXPECT_TRUE(run.started);
        EXPECT_EQ(run.LastText(), "Извлечено: 3\n\nНет в архиве:\nmissing.col");
        EXPECT_EQ(run.boxes.shown.back().icon, MessageIcon::Information);
        ASSERT_EQ(run.boxes.shown.size(), 1u);
        // 300 sectors: two steps of 128 and one of 44.
        EXPECT_EQ(test::ReadBytes(out + "/BIG.TXD"), test::EntryData(entries[0], 0));
        EXPECT_EQ(test::ReadBytes(out + "/BIG.TXD").size(), 300u * 2048);
        EXPECT_TRUE(test::ReadBytes(out + "/empty.dff").empty());
        // Of two entries of one name the earlier in the directory wins.
        EXPECT_EQ(test::ReadBytes(out + "/car.dff"), test::EntryData(entries[2], 2));
        // Listed, as Windows finds a name whatever its case.
        EXPECT_EQ(FolderNames(out), (std::vector<std::string>{"BIG.TXD", "car.dff", "empty.dff"}));
        EXPECT_EQ(run.progress, (std::vector<int>{0, 1, 2, 3, 4}));
        EXPECT_EQ(test::ReadBytes(img), before);
    }
}

TEST_F(ExtractTest, NamesLongerThanTheFieldNeverMatch) {
    std::string img = Make(true, {{1, 1, std::string(24, 'a')}});
    ExtractRun run;
    run.Run(img, out, {std::string(25, 'a'), std::string(24, 'A')});
    EXPECT_EQ(run.LastText(), "Извлечено: 1\n\nНет в архиве:\n" + std::string(25, 'a'));
    EXPECT_TRUE(std::filesystem::exists(out + "/" + std::string(24, 'a')));
}

TEST_F(ExtractTest, CyrillicNamesMatchIgnoringCaseAndComeOutAsUtf8) {
    std::string img = Make(true, {{1, 1, "\xC4\xEE\xEC.txd"}});  // Дом.txd
    ExtractRun run;
    run.Run(img, out, {"дОМ.TXD"});
    EXPECT_EQ(run.LastText(), "Извлечено: 1");
    EXPECT_TRUE(std::filesystem::exists(test::FsPath(out + "/Дом.txd")));
}

TEST_F(ExtractTest, OverwriteQuestionAndItsThreeAnswers) {
    std::vector<TestEntry> entries = {{1, 2, "a.dff"}, {3, 1, "b.dff"}, {4, 1, "c.dff"}};
    std::string img = Make(true, entries);
    auto plant = [&](const std::string& name, size_t size) {
        std::string p = out + "/" + name;
        test::WriteBytes(p, Bytes(size, 'x'));
        utimbuf times{1700000000, 1700000000};  // 14.11.2023 22:13:20 UTC
        utime(p.c_str(), &times);
    };
    plant("a.dff", 777);
    plant("b.dff", 5);
    ExtractRun run;
    run.boxes.Answer(MessageAnswer::Yes);
    run.boxes.Answer(MessageAnswer::No);
    run.Run(img, out, {"a.dff", "b.dff", "c.dff"});
    ASSERT_EQ(run.boxes.shown.size(), 3u);
    const MessageBoxRequest& q = run.boxes.shown[0];
    EXPECT_EQ(q.text,
              out +
                  "/a.dff   уже существует.\n\nЗаменить имеющийся файл\nразмер: 777b\n"
                  "дата изменения: 14.11.2023  22:13:20\n\nИзвлекаемым файлом?\nразмер: 4096b");
    EXPECT_EQ(q.buttons, MessageButtons::YesNoToAllCancel);
    EXPECT_EQ(q.icon, MessageIcon::Question);
    EXPECT_EQ(run.LastText(), "Извлечено: 2");
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"), test::EntryData(entries[0], 0));
    EXPECT_EQ(test::ReadBytes(out + "/b.dff"), Bytes(5, 'x'));
    EXPECT_EQ(run.progress.back(), 3);

    ExtractRun cancel;
    cancel.boxes.Answer(MessageAnswer::Cancel);
    std::filesystem::remove(out + "/c.dff");
    cancel.Run(img, out, {"c.dff", "b.dff", "a.dff"});
    EXPECT_EQ(cancel.LastText(), "Извлечено: 1");
    EXPECT_EQ(cancel.outcome.endRow, 1);
    EXPECT_EQ(cancel.progress.back(), 1);
    EXPECT_EQ(test::ReadBytes(out + "/b.dff"), Bytes(5, 'x'));
}

// An answer for all the files holds for the rest of the batch: nothing more is asked, and a file
// that is not there yet is still written.
struct ToAllRow {
    const char* title;
    std::vector<MessageAnswer> answers;
    size_t asked;
    std::string overwritten;  // of a, b, c, which ones now hold the entry
    int extracted;
};

class OverwriteToAll : public ExtractTest, public ::testing::WithParamInterface<ToAllRow> {};

TEST_P(OverwriteToAll, AnswerHoldsForTheRest) {
    const ToAllRow& row = GetParam();
    const std::vector<TestEntry> entries = {
        {1, 1, "a.dff"}, {2, 1, "b.dff"}, {3, 1, "c.dff"}, {4, 1, "d.dff"}};
    const std::string img = Make(true, entries);
    for (const char* name : {"a.dff", "b.dff", "c.dff"}) {
        test::WriteBytes(out + "/" + name, Bytes(3, 'x'));
    }
    ExtractRun run;
    for (MessageAnswer answer : row.answers) {
        run.boxes.Answer(answer);
    }
    run.Run(img, out, {"a.dff", "b.dff", "c.dff", "d.dff"});
    EXPECT_EQ(run.boxes.messages.size(), row.asked + 1);  // and the summary
    EXPECT_EQ(run.outcome.done, row.extracted);
    std::string overwritten;
    for (size_t i = 0; i < 3; ++i) {
        const Bytes now = test::ReadBytes(out + "/" + entries[i].name);
        overwritten += now == test::EntryData(entries[i], i) ? '1' : '0';
    }
    EXPECT_EQ(overwritten, row.overwritten);
    EXPECT_EQ(test::ReadBytes(out + "/d.dff"), test::EntryData(entries[3], 3));
}

const ToAllRow kToAllRows[] = {
    {"YesToAllAtOnce", {MessageAnswer::YesToAll}, 1, "111", 4},
    {"NoThenYesToAll", {MessageAnswer::No, MessageAnswer::YesToAll}, 2, "011", 3},
    {"NoToAll", {MessageAnswer::NoToAll}, 1, "000", 1},
    {"YesThenNoToAll", {MessageAnswer::Yes, MessageAnswer::NoToAll}, 2, "100", 2},
};
INSTANTIATE_TEST_SUITE_P(Rows, OverwriteToAll, ::testing::ValuesIn(kToAllRows),
                         [](const auto& info) { return std::string(info.param.title); });

TEST_F(ExtractTest, ReadOnlyExistingFileAnsweredYesFailsWithTheCode) {
    std::string img = Make(true, {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
    test::WriteBytes(out + "/a.dff", Bytes(3, 'r'));
#ifdef _WIN32
    // Wine lets its root through a read-only file: the refusal is injected.
    const bool inject = true;
#else
    chmod((out + "/a.dff").c_str(), 0444);
    const bool inject = geteuid() == 0;
#endif
    ExtractRun run;
    run.boxes.Answer(MessageAnswer::Yes);
    if (inject) {
        // Permissions do not hold root back: the refusal of the open is injected instead.
        // The archive's open, lock, size, header and records, then the creation that finds it.
        run.files.failAt = 7;
        run.files.failErrno = test::AccessDenied;
    }
    run.Run(img, out, {"a.dff", "b.dff"});
    ASSERT_EQ(run.boxes.shown.size(), 3u);
    EXPECT_EQ(run.boxes.shown[0].buttons, MessageButtons::YesNoToAllCancel);
    EXPECT_EQ(run.boxes.shown[1].text, "Не удаётся создать файл: \n\n" + out + "/a.dff\n\n" +
                                           test::IoErrorText(test::AccessDenied));
    EXPECT_EQ(run.boxes.shown[1].icon, MessageIcon::Warning);
    EXPECT_TRUE(run.boxes.shown[1].taskModal);
    EXPECT_EQ(run.LastText(), "Извлечено: 1");
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"), Bytes(3, 'r'));
    EXPECT_EQ(test::ReadBytes(out + "/b.dff"), test::EntryData({2, 1, "b.dff"}, 1));
}

// A file is told extracted (-v prints its line) only once the folder's flush has it on the disk.
TEST_F(ExtractTest, FilesAreToldOnceTheFolderIsFlushed) {
    const std::string img = Make(true, {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
    struct Events : test::FileObserver {
        std::vector<std::string> seen;
        void Written(const std::string&, int64_t, const void*, size_t) override {}
        void Resized(const std::string&, int64_t) override {}
        void Flushed(const std::string& path) override { seen.push_back("flushed " + path); }
        void FolderFlushed(const std::string& path) override { seen.push_back("flushed " + path); }
    } events;
    ExtractRun run;
    run.files.observer = &events;
    ExtractCallbacks callbacks;
    callbacks.extracted = [&](const std::string& name, const std::string&) {
        events.seen.push_back("told " + name);
    };
    ExtractFiles(img, out, {"a.dff", "b.dff"}, run.boxes, callbacks, run.io);
    ASSERT_GE(events.seen.size(), 3u);
    const std::vector<std::string> last(events.seen.end() - 3, events.seen.end());
    EXPECT_EQ(last, (std::vector<std::string>{"flushed " + out, "told a.dff", "told b.dff"}));
}

TEST_F(ExtractTest, CreationFailureOnAFullDiskHasNoIconAndIsNotTaskModal) {
    std::string img = Make(true, {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
    for (const int code : {test::DiskFull, test::DiskFullToo}) {
        SCOPED_TRACE(code);
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        ExtractRun run;
        run.files.failAt = 6;  // after the archive's open, lock, size, header and records
        run.files.failErrno = code;
        run.Run(img, out, {"a.dff", "b.dff"});
        ASSERT_EQ(run.boxes.shown.size(), 2u);
        EXPECT_EQ(run.boxes.shown[0].text, "Не удаётся создать файл: \n\n" + out +
                                               "/a.dff\n\nНа диске не хватает места\n\n" +
                                               test::IoErrorText(code));
        EXPECT_EQ(run.boxes.shown[0].icon, MessageIcon::None);
        EXPECT_FALSE(run.boxes.shown[0].taskModal);
        EXPECT_EQ(run.LastText(), "Извлечено: 1");
    }
}

TEST_F(ExtractTest, EntryPastTheEndOfTheArchiveIsFilledWithZerosAndReported) {
    std::vector<TestEntry> entries = {{1, 2, "a.dff"}};
    std::string img = Make(true, entries);
    // Claim 5 sectors where the file holds 2, after an entry whose bytes are in the buffer.
    Bytes image = test::ReadBytes(img);
    PutLE32(image.data() + 8 + 4, 5);
    test::WriteBytes(img, image);
    ExtractRun run;
    run.Run(img, out, {"a.dff"});
    Bytes expected = test::EntryData(entries[0], 0);
    expected.resize(5 * 2048, 0);
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"), expected);
    ASSERT_EQ(run.boxes.shown.size(), 2u);
    EXPECT_EQ(run.boxes.shown[0].icon, MessageIcon::Warning);
    EXPECT_EQ(run.boxes.shown[0].text.rfind(
                  out + "/a.dff  записан с ошибкой " + test::CodeText(ErrorInputOutput), 0),
              0u);
    EXPECT_EQ(run.LastText(), "Извлечено: 1");
}

TEST_F(ExtractTest, SizesNoArchiveCanHoldAreRefusedNotZeroFilled) {
    std::string img = Make(true, {{1, 1, "ok.dff"}});
    Bytes image = test::ReadBytes(img);
    image.resize(8 + 32 * 3);
    PutLE32(image.data() + 4, 3);
    RecordBytes huge = EncodeRecord({1, INT32_MAX, "huge.dff"});
    RecordBytes negative = EncodeRecord({1, -4, "neg.dff"});
    std::copy(huge.begin(), huge.end(), image.begin() + 8 + 32);
    std::copy(negative.begin(), negative.end(), image.begin() + 8 + 64);
    image.resize(2 * 2048, 0);
    test::WriteBytes(img, image);
    ExtractRun run;
    run.Run(img, out, {"huge.dff", "neg.dff", "ok.dff"});
    ASSERT_EQ(run.boxes.shown.size(), 3u);
    EXPECT_EQ(run.boxes.shown[0].text,
              "Запись в архиве повреждена (размер 2147483647 секторов), запись не извлечена: \n\n"
              "huge.dff");
    EXPECT_EQ(run.boxes.shown[1].icon, MessageIcon::Warning);
    EXPECT_EQ(run.LastText(), "Извлечено: 1");
    EXPECT_FALSE(std::filesystem::exists(out + "/huge.dff"));
    EXPECT_FALSE(std::filesystem::exists(out + "/neg.dff"));
}

TEST_F(ExtractTest, EntryBeyondTwoGigabytesIsReadFromItsRealPlace) {
    const auto far = static_cast<int32_t>(ArchiveSectorLimit + 5);
    std::vector<TestEntry> entries = {{1, 1, "near"}, {far, 2, "far"}};
    std::string img = Make(true, entries);
    ExtractRun run;
    run.Run(img, out, {"far"});
    EXPECT_EQ(test::ReadBytes(out + "/far"), test::EntryData(entries[1], 1));
    EXPECT_EQ(run.LastText(), "Извлечено: 1");
}

TEST_F(ExtractTest, HostileStoredNamesNeverWriteOutsideTheFolder) {
    std::string img = Make(true, {{1, 1, "../escape.dff"},
                                  {2, 1, ".."},
                                  {3, 1, "."},
                                  {4, 1, "sub/inner.dff"},
                                  {5, 1, ""},
                                  {6, 1, "/etc.dff"},
                                  {7, 1, "fine.dff"}});
    ExtractRun run;
    run.Run(img, out, {"../escape.dff", "..", ".", "sub/inner.dff", "", "/etc.dff", "fine.dff"});
    ASSERT_EQ(run.boxes.shown.size(), 7u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(run.boxes.shown[i].icon, MessageIcon::Warning) << i;
        EXPECT_EQ(run.boxes.shown[i].text.rfind("Имя записи в архиве не годится для файла", 0), 0u)
            << i;
    }
    EXPECT_EQ(run.LastText(), "Извлечено: 1");
    EXPECT_FALSE(std::filesystem::exists(dir / "escape.dff"));
    EXPECT_FALSE(std::filesystem::exists(out + "/sub"));
    EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"fine.dff", "out", "two.img"}));
}

// Names that Windows takes for a device (in any folder, with any extension) or for a hidden
// stream of a file, or that it would change: refused there with nothing written, kept elsewhere.
TEST_F(ExtractTest, NamesWindowsTakesForDevicesOrStreamsAreRefusedThere) {
    const std::vector<std::string> names = {
        "CON",       "prn.txd",  "Aux.dff", "NUL.tar.gz",    "nul .dff",     "COM1",
        "com9.col",  "LPT1.dff", "lpt9",    "CONOUT$",       "a.dff:hidden", "a.dff::$DATA",
        "x<y",       "x>y",      "q\"q",    "p|q",           "why?",         "star*",
        "tab\t.dff", "ends.",    "ends ",   "sub\\inner.dff"};
    std::vector<TestEntry> entries;
    for (const std::string& name : names) {
        entries.push_back({static_cast<int32_t>(entries.size() + 1), 1, name});
    }
    entries.push_back({static_cast<int32_t>(entries.size() + 1), 1, "fine.dff"});
    std::vector<std::string> wanted = names;
    wanted.push_back("fine.dff");
    ExtractRun run;
    run.Run(Make(true, entries), out, wanted);
#ifdef _WIN32
    ASSERT_EQ(run.boxes.shown.size(), names.size() + 1);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(run.boxes.shown[i].text.rfind("Имя записи в архиве не годится для файла", 0), 0u)
            << names[i];
    }
    EXPECT_EQ(run.LastText(), "Извлечено: 1");
    EXPECT_EQ(FolderNames(out), std::vector<std::string>{"fine.dff"});
#else
    EXPECT_EQ(run.LastText(), "Извлечено: " + std::to_string(wanted.size()));
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(FolderNames(out), wanted);
#endif
}

TEST_F(ExtractTest, AnEntryNamedAsTheArchiveNeverOverwritesIt) {
    std::string img = Make(true, {{1, 1, "two.img"}});
    Bytes before = test::ReadBytes(img);
    ExtractRun run;
    run.boxes.Answer(MessageAnswer::Yes);
    run.Run(img, dir.path(), {"two.img"});
    ASSERT_EQ(run.boxes.shown.size(), 3u);
    EXPECT_EQ(run.boxes.shown[1].text,
              "Не удаётся создать файл: \n\n" + img + "\n\n" + test::IoErrorText(test::LockHeld));
    EXPECT_EQ(test::ReadBytes(img), before);
}

TEST_F(ExtractTest, LoadFailureShowsOnlyItsMessage) {
    test::WriteBytes(dir / "lone.img", Bytes(10, 1));
    ExtractRun run;
    run.Run(dir / "lone.img", out, {"a"});
    ASSERT_EQ(run.boxes.shown.size(), 1u);
    EXPECT_EQ(run.boxes.shown[0].text, "Unable to find DIR file!\n\n" + (dir / "lone.dir"));
    EXPECT_FALSE(run.started);
    EXPECT_FALSE(run.outcome.loaded);
}

// What a copy writes, and the warning it leaves: only the bytes the archive holds are written,
// the file is extended to the entry's whole length, and the warning names the real failure. A
// file whose copy failed is not extracted: removed when this batch made it, else left as it is.
TEST_F(ExtractTest, CopiesWriteWhatTheArchiveHoldsAndWarnWithTheRealCode) {
    struct Case {
        const char* title;
        DirectoryRecord record;  // the one entry, in a version-2 archive holding 300 sectors
        long long failAt;        // 8: the copy's first read, 9: its first write, 14: the close
        int failErrno;
        bool existed;  // a file was there, answered Yes
        std::optional<MessageId> warning;
        int64_t length;   // of the output file when it stays; -1: gone
        int64_t written;  // bytes the copy may write at most
    };
    const int64_t whole = SectorToByte(300);
    const int64_t part = SectorToByte(128);
    using enum MessageId;
    const std::vector<Case> cases = {
        {"whole", {1, 299, "a.dff"}, 0, 0, false, {}, SectorToByte(299), SectorToByte(299)},
        {"a claim of 2 GiB",
         {1, 1 << 20, "a.dff"},
         0,
         0,
         false,
         WrittenPastEnd,
         SectorToByte(1 << 20),
         whole - SectorToByte(1)},
        {"a failed read",
         {1, 299, "a.dff"},
         8,
         test::ReadFailure,
         false,
         WriteFailedRemoved,
         -1,
         whole},
        {"a failed write", {1, 299, "a.dff"}, 9, test::DiskFull, false, WriteFailedRemoved, -1, 0},
        {"a failed close",
         {1, 299, "a.dff"},
         14,
         test::IoFailure,
         false,
         WriteFailedRemoved,
         -1,
         whole},
        {"a negative offset", {-3, 2, "a.dff"}, 0, 0, false, WriteFailedRemoved, -1, 0},
        {"a failed write over a file",
         {1, 299, "a.dff"},
         12,
         test::DiskFull,
         true,
         WriteFailedLeft,
         part,
         part},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        if (c.existed) {
            test::WriteBytes(out + "/a.dff", Bytes(3, 'x'));
        }
        Bytes image(static_cast<size_t>(whole));
        image = test::Pattern(image.size(), 5);
        PutLE32(image.data(), Version2Tag);
        PutLE32(image.data() + 4, 1);
        const RecordBytes record = EncodeRecord(c.record);
        std::copy(record.begin(), record.end(), image.begin() + 8);
        test::WriteBytes(dir / "a.img", image);

        ExtractRun run;
        run.files.failAt = c.failAt;
        run.files.failErrno = c.failErrno;
        run.Run(dir / "a.img", out, {"a.dff"});
        const bool counted = c.length >= 0 && c.warning != WriteFailedLeft;
        EXPECT_EQ(run.outcome.done, counted ? 1 : 0);
        std::vector<MessageId> shown;
        for (const Message& m : run.boxes.messages) {
            shown.push_back(m.id);
        }
        std::vector<MessageId> expected;
        if (c.existed) {
            expected.push_back(OverwriteQuestion);
        }
        if (c.warning) {
            expected.push_back(*c.warning);
            EXPECT_EQ(run.boxes.messages[expected.size() - 1].code,
                      c.failErrno ? c.failErrno
                                  : (c.record.offset < 0 ? ErrorBadPosition : ErrorInputOutput));
        }
        expected.push_back(ExtractSummary);
        EXPECT_EQ(shown, expected);
        EXPECT_LE(run.files.bytesWritten, c.written);
        if (c.length < 0) {
            EXPECT_FALSE(std::filesystem::exists(out + "/a.dff"));
            continue;
        }
        EXPECT_EQ(std::filesystem::file_size(out + "/a.dff"), static_cast<uintmax_t>(c.length));
        // What was written is the archive's bytes; the rest reads as zeros.
        const Bytes head = test::ReadSectors(out + "/a.dff", 0, 2);
        const int64_t at = SectorToByte(c.record.offset);
        for (int64_t i = 0; i < static_cast<int64_t>(head.size()) && i < c.length; ++i) {
            const bool held = at + i < whole;
            ASSERT_EQ(head[static_cast<size_t>(i)], held ? image[static_cast<size_t>(at + i)] : 0)
                << i;
        }
    }
}

// Whatever stands at an output's name is taken as itself: a link is asked about with its own
// details and replaced by a new file, never written through; a folder or a pipe is refused.
TEST_F(ExtractTest, NothingIsWrittenThroughWhatStandsAtTheName) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine makes no symbolic links or pipes in a folder";
#else
    struct Case {
        const char* title;
        std::function<void(const std::string& at)> make;
        MessageAnswer answer;
        std::vector<MessageId> shown;
        bool extracted;  // a regular file with the entry's bytes stands at the name
    };
    const std::string victim = dir / "victim.txt";
    const std::string elsewhere = dir / "nowhere";
    using enum MessageId;
    const std::vector<Case> cases = {
        {"a link to a file, answered Yes",
         [&](const std::string& at) { std::filesystem::create_symlink(victim, at); },
         MessageAnswer::Yes,
         {OverwriteQuestion, ExtractSummary},
         true},
        {"a link to a file, answered No",
         [&](const std::string& at) { std::filesystem::create_symlink(victim, at); },
         MessageAnswer::No,
         {OverwriteQuestion, ExtractSummary},
         false},
        {"a dangling link, answered Yes",
         [&](const std::string& at) { std::filesystem::create_symlink(elsewhere, at); },
         MessageAnswer::Yes,
         {OverwriteQuestion, ExtractSummary},
         true},
        {"a folder",
         [&](const std::string& at) { std::filesystem::create_directory(at); },
         MessageAnswer::Yes,
         {CreateFailed, ExtractSummary},
         false},
        {"a pipe",
         [&](const std::string& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); },
         MessageAnswer::Yes,
         {CreateFailed, ExtractSummary},
         false},
    };
    const std::vector<TestEntry> entries = {{1, 2, "a.dff"}};
    const std::string img = Make(true, entries);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        test::WriteBytes(victim, {'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'});
        const std::string at = out + "/a.dff";
        c.make(at);
        const bool link = std::filesystem::is_symlink(at);
        const int64_t linkSize =
            link ? static_cast<int64_t>(std::filesystem::read_symlink(at).string().size()) : 0;
        ExtractRun run;
        run.boxes.Answer(c.answer);
        run.Run(img, out, {"a.dff"});
        std::vector<MessageId> shown;
        for (const Message& m : run.boxes.messages) {
            shown.push_back(m.id);
        }
        EXPECT_EQ(shown, c.shown);
        if (link) {  // the link's own size: the length of its target's path
            EXPECT_EQ(run.boxes.messages[0].existingSize, linkSize);
        }
        EXPECT_EQ(test::ReadBytes(victim), (Bytes{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
        EXPECT_FALSE(std::filesystem::exists(elsewhere));
        EXPECT_EQ(run.outcome.done, c.extracted ? 1 : 0);
        EXPECT_EQ(std::filesystem::is_regular_file(std::filesystem::symlink_status(at)),
                  c.extracted);
        if (c.extracted) {
            EXPECT_EQ(test::ReadBytes(at), test::EntryData(entries[0], 0));
        }
    }
#endif
}

// The disk fills up in the middle: the file whose write failed and those after it are neither
// counted nor left behind.
TEST_F(ExtractTest, AFullDiskCountsOnlyWhatWasWrittenWhole) {
    const std::string img = Make(true, {{1, 1, "a.dff"}, {2, 3, "b.dff"}, {5, 1, "c.dff"}});
    ExtractRun run;
    run.files.writeBudget = SectorToByte(1) + SectorToByte(1) / 2;
    run.Run(img, out, {"a.dff", "b.dff", "c.dff"});
    EXPECT_EQ(run.outcome.done, 1);
    EXPECT_EQ(run.outcome.skippedCount, 2);
    EXPECT_TRUE(std::filesystem::exists(out + "/a.dff"));
    EXPECT_FALSE(std::filesystem::exists(out + "/b.dff"));
    EXPECT_FALSE(std::filesystem::exists(out + "/c.dff"));
    EXPECT_EQ(run.LastText(), "Извлечено: 1");
}

// The files are on the disk before the count says so: a few each by its own flush and then the
// folder's names; many by one flush of the folder's file system after the last write, and each
// by its own too where that flush leaves file data out. A warning instead when the last flush
// fails.
// What the flush of a folder's file system covers: on Linux (syncfs) every file's data, on
// Windows (a folder's FlushFileBuffers) the names in it alone.
#ifdef _WIN32
constexpr bool kFolderFlushCoversFiles = false;
#else
constexpr bool kFolderFlushCoversFiles = true;
#endif

class ExtractFlushTest : public ExtractTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(ExtractFlushTest, ExtractedFilesAreOnTheDiskBeforeTheCount) {
    const size_t count = GetParam();
    const bool each = count < ExtractFlushEachBelow;
    std::vector<TestEntry> entries;
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        names.push_back("f" + std::to_string(i) + ".dff");
        entries.push_back(
            {static_cast<int32_t>(1 + 2 * i), 1 + static_cast<int32_t>(i % 2), names.back()});
    }
    std::string img = Make(true, entries);
    using Box = std::pair<std::string, std::string>;  // its text; what was flushed right before
    struct Watch : MessageBoxes {
        test::Recorder recorder;
        std::vector<Box> boxes;
        std::string folder;
        std::set<std::string> unflushedAtCount;  // data or names that no flush covered
        MessageAnswer Show(const Message& message) override {
            const auto& ops = recorder.ops;
            for (const test::FileOp& op : ops) {
                const bool fileSystem = op.kind == test::FileOp::Flush && op.path == folder;
                if (op.kind == test::FileOp::FolderFlush || fileSystem) {
                    // The names; the files' data only where the file system's flush has it.
                    std::erase_if(unflushedAtCount, [&](const std::string& p) {
                        return p.starts_with("name ") || (fileSystem && kFolderFlushCoversFiles);
                    });
                } else if (op.kind == test::FileOp::Flush) {
                    unflushedAtCount.erase(op.path);
                } else {
                    unflushedAtCount.insert(op.kind == test::FileOp::Create ? "name " + op.path
                                                                            : op.path);
                }
            }
            const bool flushed = !ops.empty() && (ops.back().kind == test::FileOp::Flush ||
                                                  ops.back().kind == test::FileOp::FolderFlush);
            boxes.emplace_back(Render(message, Language::Russian).text,
                               flushed ? ops.back().path : "");
            return MessageAnswer::Ok;
        }
    };
    long long operations = 0;
    for (bool fail : {false, true}) {
        SCOPED_TRACE(fail ? "the flush fails" : "the flush works");
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        Watch watch;
        watch.folder = out;
        test::TestFileSystem files;
        files.observer = &watch.recorder;
        files.failAt = fail ? operations : 0;  // the last operation of a run
        files.failErrno = test::IoFailure;
        IoState io{.fileSystem = &files};
        ExtractFiles(img, out, names, watch, {}, io);
        operations = files.operations;
        // Before a failed folder flush: the last file's own flush, where there is one.
        const std::string lastFileFlush =
            each || !kFolderFlushCoversFiles ? out + "/" + names.back() : "";
        const std::string summary = "Извлечено: " + std::to_string(count);
        const std::vector<Box> expected =
            fail ? std::vector<Box>{{"Не удаётся сохранить извлечённые файлы на диске: \n\n" + out +
                                         "\n\n" + test::IoErrorText(test::IoFailure),
                                     lastFileFlush},
                                    {summary, lastFileFlush}}
                 : std::vector<Box>{{summary, out}};
        EXPECT_EQ(watch.boxes, expected);
        if (!fail) {
            EXPECT_TRUE(watch.unflushedAtCount.empty()) << *watch.unflushedAtCount.begin();
        }
    }
}

// A few files, and the fewest that one flush of the file system serves better.
INSTANTIATE_TEST_SUITE_P(BatchSizes, ExtractFlushTest,
                         ::testing::Values(size_t{2}, ExtractFlushEachBelow));

// The question shows the existing file's whole size, also past 4 GiB.
TEST_F(ExtractTest, OverwriteQuestionShowsSizesPastFourGigabytes) {
    std::string img = Make(true, {{1, 1, "a.dff"}});
    test::WriteBytes(out + "/a.dff", {});
    std::filesystem::resize_file(out + "/a.dff", (uintmax_t{5} << 30) + 7);  // sparse
    ExtractRun run;
    run.boxes.Answer(MessageAnswer::No);
    run.Run(img, out, {"a.dff"});
    ASSERT_EQ(run.boxes.shown.size(), 2u);
    EXPECT_NE(run.boxes.shown[0].text.find("размер: 5368709127b\nдата"), std::string::npos)
        << run.boxes.shown[0].text;
}

}  // namespace
}  // namespace zarnex
