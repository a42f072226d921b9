#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/errors.h"
#include "tests/codes.h"

#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/places.h"
#include "tests/support.h"
#include "tests/test_file_system.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::TempDir;

TEST(CodePage, CyrillicCasingIncludesYoAndTheOtherLetters) {
    // "Ёлка" in Windows-1251 bytes, and the letters outside the А..я block.
    EXPECT_EQ(LowerAnsi("\xA8\xCB\xCA\xC0"), "\xB8\xEB\xEA\xE0");
    EXPECT_EQ(UpperAnsi("\xB8\xEB\xEA\xE0"), "\xA8\xCB\xCA\xC0");
    EXPECT_EQ(LowerAnsi("\x80\x81\x8A\xA1\xA3\xA5\xAA\xAF\xB2\xBD"),
              "\x90\x83\x9A\xA2\xBC\xB4\xBA\xBF\xB3\xBE");
    EXPECT_EQ(UpperAnsi("\x90\x83\x9A\xA2\xBC\xB4\xBA\xBF\xB3\xBE"),
              "\x80\x81\x8A\xA1\xA3\xA5\xAA\xAF\xB2\xBD");
    EXPECT_EQ(LowerAnsi("CAR.DFF 09_-"), "car.dff 09_-");
    // Signs and the micro sign have no other case in the code page.
    EXPECT_EQ(LowerAnsi("\xB5\xB9\xA9"), "\xB5\xB9\xA9");
    EXPECT_EQ(UpperAnsi("\xB5\xB9\xA9"), "\xB5\xB9\xA9");
}

TEST(CodePage, CasingIsAPairingOfCapitalsAndSmallLetters) {
    for (int c = 0; c < 256; ++c) {
        auto ch = static_cast<unsigned char>(c);
        unsigned char low = LowerAnsiChar(ch);
        unsigned char up = UpperAnsiChar(ch);
        if (low != ch) {
            EXPECT_EQ(UpperAnsiChar(low), ch) << c;
        }
        if (up != ch) {
            EXPECT_EQ(LowerAnsiChar(up), ch) << c;
        }
    }
}

TEST(CodePage, Utf8RoundTripOfEveryDefinedByte) {
    std::string all;
    for (int c = 1; c < 256; ++c) {
        if (c != 0x98) {
            all += static_cast<char>(c);
        }
    }
    std::string utf8;
    ASSERT_TRUE(AnsiToUtf8(all, utf8));
    AnsiString back;
    ASSERT_TRUE(Utf8ToAnsi(utf8, back));
    EXPECT_EQ(back, all);

    ASSERT_TRUE(AnsiToUtf8("\xCC\xEE\xF1\xEA\xE2\xE0.txd", utf8));
    EXPECT_EQ(utf8, "Москва.txd");
    ASSERT_TRUE(AnsiToUtf8("\xA8\xB9\x88", utf8));
    EXPECT_EQ(utf8, "Ё№€");
}

TEST(CodePage, CharactersWithoutAWindows1251FormAreReportedNotGuessed) {
    AnsiString out = "stale";
    EXPECT_FALSE(Utf8ToAnsi("car_日本.dff", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(Utf8ToAnsi("é.dff", out));     // Latin-1 letter absent from 1251
    EXPECT_FALSE(Utf8ToAnsi("\xFF\xFE", out));  // not UTF-8 at all
    EXPECT_FALSE(Utf8ToAnsi("\xC0\xAF", out));  // overlong "/"
    EXPECT_FALSE(Utf8ToAnsi("\xD0", out));      // cut short
    std::string utf8;
    EXPECT_FALSE(AnsiToUtf8("a\x98", utf8));
    EXPECT_EQ(AnsiToUtf8Lossy("a\x98"), "a\xEF\xBF\xBD");
}

TEST(Paths, PiecesUseSlashOnly) {
    EXPECT_EQ(FileNamePart("/game/models/CAR.DFF"), "CAR.DFF");
    EXPECT_EQ(FolderPart("/game/models/CAR.DFF"), "/game/models/");
    EXPECT_EQ(ExtensionPart("/game/models/CAR.DFF"), ".DFF");
    EXPECT_EQ(ExtensionPart("/data/a.b/readme"), "");
    EXPECT_EQ(ExtensionPart("/data/car.dff.bak"), ".bak");
    EXPECT_EQ(ExtensionPart("/data/name."), ".");
    EXPECT_EQ(FileNamePart("plain"), "plain");
    EXPECT_EQ(FolderPart("plain"), "");
    EXPECT_EQ(JoinPath("/out", "a.dff"), "/out/a.dff");
    EXPECT_EQ(JoinPath("/", "a.dff"), "/a.dff");
}

TEST(Paths, WindowsTakesNoDeviceStreamOrChangedNameAsAPlainFile) {
    for (const char* name :
         {"",         ".",           "..",         "a/b",           "a\\b",        "CON",
          "con",      "Con.txt",     "nul.tar.gz", "aux .dff",      "PRN",         "COM1",
          "com9.dff", "COM0",        "LPT1",       "lpt9.txd",      "COM\xC2\xB9", "lpt\xC2\xB3.x",
          "CONIN$",   "conout$.txt", "a:b",        "f.dff:x:$DATA", "x<y",         "x>y",
          "q\"",      "p|q",         "why?",       "st*r",          "c\x01",       "tab\t",
          "ends.",    "ends "}) {
        EXPECT_FALSE(IsPlainWindowsFileName(name)) << name;
    }
    for (const char* name : {"CONSOLE.dff", "com10", "COM", "lpt", "con_", "aux1.dff", "nul-a",
                             "a.b.c", "Дом.txd", ".hidden", " lead.dff", "COMx", "LPT¹x"}) {
        EXPECT_TRUE(IsPlainWindowsFileName(name)) << name;
    }
#ifdef _WIN32
    EXPECT_EQ(FileNamePart("C:\\game\\models/CAR.DFF"), "CAR.DFF");
    EXPECT_EQ(FolderPart("C:\\game\\CAR.DFF"), "C:\\game\\");
    EXPECT_EQ(FileNamePart("D:car.dff"), "car.dff");
    EXPECT_EQ(JoinPath("C:\\out", "a.dff"), "C:\\out\\a.dff");
    EXPECT_EQ(JoinPath("C:/out", "a.dff"), "C:/out/a.dff");
    EXPECT_EQ(JoinPath("D:", "a.dff"), "D:a.dff");
#else
    // Here only "/" separates, and every name without it is a file's.
    EXPECT_EQ(FileNamePart("/game/a\\b:c"), "a\\b:c");
    EXPECT_TRUE(IsPlainFileName("CON"));
    EXPECT_TRUE(IsPlainFileName("a:b"));
#endif
}

TEST(Files, ExclusiveOpenKeepsOthersOutAndSharedReadersTogether) {
    TempDir dir;
    test::WriteBytes(dir / "a.img", Bytes(10, 1));
    IoState io;
    File first = File::Open(dir / "a.img", OpenMode::ReadWriteExclusive, io);
    ASSERT_TRUE(first.IsOpen());
    File second = File::Open(dir / "a.img", OpenMode::ReadWriteExclusive, io);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(io.lastError, test::LockHeld);
    EXPECT_FALSE(File::Open(dir / "a.img", OpenMode::ReadShared, io).IsOpen());
    first.Close();

    File reader1 = File::Open(dir / "a.img", OpenMode::ReadShared, io);
    File reader2 = File::Open(dir / "a.img", OpenMode::ReadShared, io);
    EXPECT_TRUE(reader1.IsOpen());
    EXPECT_TRUE(reader2.IsOpen());
    io.Clear();
    // A writer must not empty a file that somebody reads.
    EXPECT_FALSE(File::Open(dir / "a.img", OpenMode::TruncateExisting, io).IsOpen());
    EXPECT_EQ(test::ReadBytes(dir / "a.img").size(), 10u);
}

TEST(Files, CreationModes) {
    TempDir dir;
    IoState io;
    test::WriteBytes(dir / "x", Bytes(5, 7));
    EXPECT_FALSE(File::Open(dir / "x", OpenMode::CreateNew, io).IsOpen());
    EXPECT_EQ(io.lastError, test::AlreadyThere);
    EXPECT_FALSE(File::Open(dir / "missing", OpenMode::TruncateExisting, io).IsOpen());
    EXPECT_EQ(io.lastError, test::NoSuchFile);
    EXPECT_FALSE(File::Open(dir / "missing", OpenMode::ReadShared, io).IsOpen());
    EXPECT_FALSE(File::Open(dir.path(), OpenMode::ReadShared, io).IsOpen());  // a folder
    EXPECT_EQ(io.lastError, ErrorFolderInTheWay);

    {
        File f = File::Open(dir / "x", OpenMode::TruncateExisting, io);
        ASSERT_TRUE(f.IsOpen());
    }
    EXPECT_TRUE(test::ReadBytes(dir / "x").empty());
    {
        File f = File::Open(dir / "new", OpenMode::CreateAlways, io);
        ASSERT_TRUE(f.IsOpen());
        ASSERT_TRUE(f.WriteAt(3, "abc", 3));
    }
    EXPECT_EQ(test::ReadBytes(dir / "new"), (Bytes{0, 0, 0, 'a', 'b', 'c'}));
    EXPECT_TRUE(FileExists(dir / "new"));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_TRUE(FolderExists(dir.path()));
    EXPECT_FALSE(FolderExists(dir / "new"));
}

TEST(Files, PositionsBeyondFourGigabytesAndShortReads) {
    TempDir dir;
    IoState io;
    test::WriteBytes(dir / "sparse", {});
    File f = File::Open(dir / "sparse", OpenMode::ReadWriteExclusive, io);
    const int64_t far = (int64_t{1} << 32) + 2048 * 3;
    ASSERT_TRUE(f.WriteAt(far, "zz", 2));
    int64_t size = 0;
    ASSERT_TRUE(f.Size(size));
    EXPECT_EQ(size, far + 2);
    char buf[8] = {};
    size_t got = 99;
    ASSERT_TRUE(f.ReadAt(far, buf, sizeof buf, &got));
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(std::string(buf, 2), "zz");
    EXPECT_FALSE(f.ReadAt(-1, buf, 1));
    EXPECT_EQ(io.lastError, ErrorBadPosition);
}

TEST(Files, InjectedFaultHitsExactlyTheNumberedOperation) {
    TempDir dir;
    test::WriteBytes(dir / "f", Bytes(4, 0));
    test::TestFileSystem files;
    files.failAt = 4;
    files.failErrno = test::DiskFull;
    IoState io{.fileSystem = &files};
    File f = File::Open(dir / "f", OpenMode::ReadWriteExclusive, io);  // 1 and its lock 2
    ASSERT_TRUE(f.IsOpen());
    EXPECT_TRUE(f.WriteAt(0, "a", 1));   // 3
    EXPECT_FALSE(f.WriteAt(1, "b", 1));  // 4
    EXPECT_EQ(io.lastError, test::DiskFull);
    EXPECT_TRUE(IsDiskFull(io.lastError));
    EXPECT_TRUE(f.WriteAt(2, "c", 1));  // 5
    f.Close();
    EXPECT_EQ(test::ReadBytes(dir / "f"), (Bytes{'a', 0, 'c', 0}));
}

}  // namespace
}  // namespace zarnex

namespace zarnex {
namespace {

// What the observer is told, as text: "W path pos n", "R path size", "F path".
struct Log : test::FileObserver {
    std::vector<std::string> lines;
    void Written(const std::string& p, int64_t pos, const void*, size_t n) override {
        lines.push_back("W " + p + " " + std::to_string(pos) + " " + std::to_string(n));
    }
    void Resized(const std::string& p, int64_t size) override {
        lines.push_back("R " + p + " " + std::to_string(size));
    }
    void Flushed(const std::string& p) override { lines.push_back("F " + p); }
};

TEST(Files, PipesAndDevicesAreRefusedAtOnceAndNothingHalfCreatedStays) {
    TempDir dir;
    struct Case {
        std::string path;
        OpenMode mode;
        int code;
    };
#ifdef _WIN32
    const Case cases[] = {{"NUL", OpenMode::ReadShared, ErrorNotAFile},
                          {"NUL", OpenMode::ReadWriteExclusive, ErrorNotAFile}};
#else
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0666), 0);
    // Without a writer (or reader) at the other end a blocking open would wait forever.
    const Case cases[] = {{dir / "pipe", OpenMode::ReadShared, EINVAL},
                          {dir / "pipe", OpenMode::ReadWriteExclusive, EINVAL},
                          {dir / "pipe", OpenMode::TruncateExisting, ENXIO},
                          {dir / "pipe", OpenMode::CreateAlways, ENXIO},
                          {"/dev/null", OpenMode::ReadShared, EINVAL},
                          {"/dev/zero", OpenMode::ReadWriteExclusive, EINVAL}};
#endif
    for (const Case& c : cases) {
        IoState io;
        EXPECT_FALSE(File::Open(c.path, c.mode, io).IsOpen()) << c.path;
        EXPECT_EQ(io.lastError, c.code) << c.path << " mode " << static_cast<int>(c.mode);
    }

    // The lock is the opening's second operation: failing it after a creation removes the file.
    for (OpenMode mode : {OpenMode::CreateNew, OpenMode::CreateAlways}) {
        test::TestFileSystem files;
        files.failAt = 2;
        files.failErrno = test::LockHeld;
        IoState io{.fileSystem = &files};
        EXPECT_FALSE(File::Open(dir / "new", mode, io).IsOpen());
        EXPECT_EQ(io.lastError, test::LockHeld);
        EXPECT_FALSE(std::filesystem::exists(dir / "new"));
    }
    // ... but never a file that was there before.
    test::WriteBytes(dir / "old", Bytes(3, 1));
    test::TestFileSystem files;
    files.failAt = 2;
    files.failErrno = test::LockHeld;
    IoState io{.fileSystem = &files};
    EXPECT_FALSE(File::Open(dir / "old", OpenMode::CreateAlways, io).IsOpen());
    EXPECT_EQ(test::ReadBytes(dir / "old"), Bytes(3, 1));
}

TEST(Files, StreamsAreReadToTheirEndWithinALimit) {
#ifdef _WIN32
    GTEST_SKIP()
        << "POSIX pipes and devices; on Windows the command-line tests read standard input";
#else
    auto pipeHolding = [](const std::string& text) {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        EXPECT_EQ(::write(ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(ends[1]);
        return ends[0];
    };
    std::string bytes = "left over";
    for (size_t limit : {6, 5}) {
        IoState io;
        const int fd = pipeHolding("abcdef");
        EXPECT_EQ(ReadStream(fd, limit, bytes, io), limit == 6) << limit;
        EXPECT_EQ(io.lastError, limit == 6 ? 0 : EFBIG);
        if (limit == 6) {
            EXPECT_EQ(bytes, "abcdef");
        }
        ::close(fd);
    }
    // By path: a device that never ends, and nothing.
    IoState io;
    EXPECT_FALSE(ReadStream("/dev/zero", 100000, bytes, io));
    EXPECT_EQ(io.lastError, EFBIG);
    TempDir dir;
    EXPECT_FALSE(ReadStream(dir / "missing", 100000, bytes, io));
    EXPECT_EQ(io.lastError, ENOENT);

    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0666), 0);
    test::WriteBytes(dir / "file", {});
    EXPECT_TRUE(IsStream(dir / "pipe"));
    EXPECT_TRUE(IsStream("/dev/zero"));
    EXPECT_FALSE(IsStream(dir / "file"));
    EXPECT_FALSE(IsStream(dir.path()));
    EXPECT_FALSE(IsStream(dir / "missing"));
#endif
}

TEST(Files, WriteBudgetObserverAndResize) {
    TempDir dir;
    Log log;
    test::TestFileSystem files;
    files.observer = &log;
    files.writeBudget = 5;
    IoState io{.fileSystem = &files};
    const std::string path = dir / "f";
    File f = File::Open(path, OpenMode::CreateAlways, io);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_TRUE(f.WriteAt(0, "abc", 3));
    EXPECT_FALSE(f.WriteAt(3, "def", 3));  // past the budget: as a full disk, nothing written
    EXPECT_EQ(io.lastError, test::DiskFull);
    EXPECT_TRUE(f.WriteAt(3, "de", 2));
    EXPECT_TRUE(f.Resize(4096));  // extends without writing
    EXPECT_TRUE(f.Sync());
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(log.lines,
              (std::vector<std::string>{"R " + path + " 0", "W " + path + " 0 3",
                                        "W " + path + " 3 2", "R " + path + " 4096", "F " + path}));
    Bytes bytes = test::ReadBytes(path);
    ASSERT_EQ(bytes.size(), 4096u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 5), "abcde");
    EXPECT_EQ(bytes[4095], 0);
    EXPECT_EQ(files.bytesWritten, 5);
}

// One variable set to a value, or cleared with nullopt, until the end of the scope.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedVariable() { Set(old_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    void Set(const std::optional<std::string>& value) {
#ifdef _WIN32
        ::_putenv_s(name_, value ? value->c_str() : "");
#else
        value ? ::setenv(name_, value->c_str(), 1) : ::unsetenv(name_);
#endif
    }
    const char* name_;
    std::optional<std::string> old_;
};

struct SettingsFolderCase {
    const char* what;
    std::optional<std::string> variable;  // XDG_CONFIG_HOME; APPDATA on Windows
    std::optional<std::string> home;      // HOME, which Windows does not read
    std::string expected;                 // "" for none; "*" for the system's own
};

class SettingsFolder : public testing::TestWithParam<SettingsFolderCase> {};

TEST_P(SettingsFolder, FollowsTheSystemsVariable) {
    const SettingsFolderCase& c = GetParam();
#ifdef _WIN32
    const ScopedVariable variable("APPDATA", c.variable);
#else
    const ScopedVariable variable("XDG_CONFIG_HOME", c.variable);
    const ScopedVariable home("HOME", c.home);
#endif
    const std::string folder = UserSettingsFolder();
    if (c.expected == "*") {
        EXPECT_EQ(FileNamePart(folder), "Zarnex");
        EXPECT_TRUE(std::filesystem::is_directory(test::FsPath(FolderPart(folder)))) << folder;
    } else {
        EXPECT_EQ(folder, c.expected);
    }
}

#ifdef _WIN32
const std::string kLongFolder = "C:/" + std::string(300, 'x');
INSTANTIATE_TEST_SUITE_P(Places, SettingsFolder,
                         testing::Values(SettingsFolderCase{"variable",
                                                            "C:/Users/u/AppData/Roaming",
                                                            {},
                                                            "C:/Users/u/AppData/Roaming/Zarnex"},
                                         SettingsFolderCase{
                                             "long", kLongFolder, {}, kLongFolder + "/Zarnex"},
                                         SettingsFolderCase{"known_folder", {}, {}, "*"}),
                         [](const auto& info) { return std::string(info.param.what); });
#else
INSTANTIATE_TEST_SUITE_P(
    Places, SettingsFolder,
    testing::Values(SettingsFolderCase{"variable", "/x/config", "/h", "/x/config/zarnex"},
                    SettingsFolderCase{"relative_variable", "config", "/h", "/h/.config/zarnex"},
                    SettingsFolderCase{"home", {}, "/h", "/h/.config/zarnex"},
                    SettingsFolderCase{"nowhere", {}, {}, ""}),
    [](const auto& info) { return std::string(info.param.what); });
#endif

TEST(Places, AWritableFolderIsAFolderAndKeepsNoTrace) {
    TempDir dir;
    EXPECT_TRUE(FolderWritable(dir.path()));
    test::WriteBytes(dir / "file", {1});
    EXPECT_FALSE(FolderWritable(dir / "file"));
    EXPECT_FALSE(FolderWritable(dir / "missing"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(test::FsPath(dir.path())), {}), 1);
}

}  // namespace
}  // namespace zarnex
