// zarnex-cli's commands, run in this process on archives made here, and the built program where
// the process itself counts: its exit status, a terminal, standard input.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/utime.h>
#include <windows.h>

#include "platform/wide.h"
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>

#include "archive/format.h"
#include "cli/command.h"
#include "cli/terminal.h"
#include "platform/file.h"
#include "tests/support.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::TempDir;
using test::TestEntry;
using Args = std::vector<std::string>;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

#ifdef _WIN32
const std::string kNoInput = "NUL";
#else
const std::string kNoInput = "/dev/null";
#endif

#ifndef _WIN32
std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}
#endif

// The variables that choose the language: a run sets the ones it names and clears the others.
using Environment = std::vector<std::pair<std::string, std::string>>;
const char* const kLanguageVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
// The program's own Russian words, whatever this machine's language.
const Environment kRussian = {{"LANG", "ru_RU.UTF-8"}};

void SetEnvironment(const Environment& environment) {
    for (const char* name : kLanguageVariables) {
#ifdef _WIN32
        ::_putenv_s(name, "");
#else
        ::unsetenv(name);
#endif
    }
    for (const auto& [name, value] : environment) {
#ifdef _WIN32
        ::_putenv_s(name.c_str(), value.c_str());
#else
        ::setenv(name.c_str(), value.c_str(), 1);
#endif
    }
}

// The time zone of the programs started from here; "" for the system's.
void SetZone(const std::string& zone) {
#ifdef _WIN32
    ::_putenv_s("TZ", zone.c_str());
#else
    zone.empty() ? ::unsetenv("TZ") : ::setenv("TZ", zone.c_str(), 1);
#endif
}

std::string Text(const std::string& path) {
    const Bytes bytes = test::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

// The command that args[0] names, run in this process with its standard streams on files in
// `dir` and standard input from `input`.
Result RunHere(const TempDir& dir, const Args& args, const std::string& input = kNoInput,
               std::optional<Language> language = std::nullopt) {
    const cli::Command* command = cli::FindCommand(args.at(0));
    if (!command) {
        ADD_FAILURE() << "no command " << args[0];
        return {};
    }
    SetEnvironment(kRussian);
    SetTerminalLanguage(language.value_or(LanguageFromEnvironment()));  // as a new process would
    const std::string files[] = {input, dir / "stdout", dir / "stderr"};
    int saved[3];
    std::cout.flush();
    std::fflush(nullptr);
#ifdef _WIN32
    const int binary = O_BINARY;  // bytes as written, no CR added
#else
    const int binary = 0;
#endif
    for (int fd = 0; fd < 3; ++fd) {
        saved[fd] = ::dup(fd);
        const int file =
            fd == 0 ? ::open(input.c_str(), O_RDONLY | binary)
                    : ::open(files[fd].c_str(), O_WRONLY | O_CREAT | O_TRUNC | binary, 0666);
        ::dup2(file, fd);
        ::close(file);
    }
    Result r;
    r.status = cli::RunCommand(*command, {args.begin() + 1, args.end()});
    std::cout.flush();
    std::fflush(nullptr);
    for (int fd = 0; fd < 3; ++fd) {
        ::dup2(saved[fd], fd);
        ::close(saved[fd]);
    }
    r.out = Text(files[1]);
    r.err = Text(files[2]);
    return r;
}

#ifdef _WIN32
// The built program beside this one's folder.
std::wstring ProgramPath() {
    wchar_t self[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(std::wstring(self, n)).parent_path().parent_path() / L"cli" /
            ZARNEX_CLI_NAME)
        .wstring();
}

// One argument as CommandLineToArgvW reads it back: quoted, a backslash doubled before a quote.
std::wstring Argument(const std::wstring& text) {
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, L'\\');
    return quoted + L"\"";
}

HANDLE Inherited(const std::string& path, bool write) {
    std::wstring wide;
    Utf8ToWide(path, wide);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(wide.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         write ? CREATE_ALWAYS : OPEN_EXISTING, 0, nullptr);
}
#endif

// The built program, as a script runs it, in the language the environment gives.
Result RunProgram(const TempDir& dir, const Args& args, const std::string& input = kNoInput,
                  const Environment& environment = kRussian) {
    SetEnvironment(environment);
    Result r;
#ifdef _WIN32
    std::wstring line = Argument(ProgramPath());
    for (const auto& a : args) {
        std::wstring wide;
        Utf8ToWide(a, wide);
        line += L" " + Argument(wide);
    }
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = Inherited(input, false);
    start.hStdOutput = Inherited(dir / "stdout", true);
    start.hStdError = Inherited(dir / "stderr", true);
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start,
                         &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        r.status = static_cast<int>(code);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    for (const HANDLE h : {start.hStdInput, start.hStdOutput, start.hStdError}) {
        ::CloseHandle(h);
    }
#else
    std::string command = Quote(ZARNEX_CLI_PATH);
    for (const auto& a : args) {
        command += " " + Quote(a);
    }
    command += " >" + Quote(dir / "stdout") + " 2>" + Quote(dir / "stderr") + " <" + Quote(input);
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    r.out = Text(dir / "stdout");
    r.err = Text(dir / "stderr");
    return r;
}

class CliTest : public ::testing::Test {
  protected:
    TempDir dir;

    Result Run(const Args& args, const std::string& input = kNoInput,
               std::optional<Language> language = std::nullopt) {
        return RunHere(dir, args, input, language);
    }

    std::string Source(const std::string& name, const Bytes& bytes) {
        std::filesystem::create_directories(test::FsPath(dir / name).parent_path());
        test::WriteBytes(dir / name, bytes);
        return dir / name;
    }
};

TEST_F(CliTest, ListShowsVersionCountAndEntriesInDirectoryOrder) {
    // A stored control character never forges a line or a column.
    test::MakeVersion2(dir / "v2.img",
                       {{5, 2, "b.dff"}, {1, 3, "\xC4\xEE\xEC.txd"}, {7, 1, "x\n9\t1\\y"}});
    Result r = Run({"list", dir / "v2.img"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "версия 2\tзаписей: 3\n0\t5\t2\tb.dff\n1\t1\t3\tДом.txd\n2\t7\t1\tx\\x0a9\\x091\\\\y\n");

    test::MakeVersion1(dir / "v1.img", {{0, 1, "a"}});
    r = Run({"list", dir / "v1.img"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "версия 1\tзаписей: 1\n0\t0\t1\ta\n");
}

TEST_F(CliTest, ImportThenListThenExtractGivesTheBytesBack) {
    for (bool version2 : {true, false}) {
        SCOPED_TRACE(version2 ? "version 2" : "version 1");
        const std::string img = dir / (version2 ? "two.img" : "one.img");
        version2 ? test::MakeVersion2(img, {{1, 1, "Car.dff"}})
                 : test::MakeVersion1(img, {{0, 1, "Car.dff"}});
        Bytes car = test::Pattern(5000, 1), wheel = test::Pattern(10, 2);
        Result r = Run({"import", img, Source("in/CAR.DFF", car), Source("in/wheel.dff", wheel)});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Завершено\n\nЗаменено: 1\nДобавлено: 1\n");
        EXPECT_EQ(r.err, "");

        r = Run({"list", img});
        EXPECT_NE(r.out.find("\t3\tCar.dff\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\t1\twheel.dff\n"), std::string::npos) << r.out;

        const std::string out = dir / (version2 ? "out2" : "out1");
        std::filesystem::create_directories(out);
        r = Run({"extract", img, out, "car.dff", "WHEEL.DFF"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Извлечено: 2\n");
        EXPECT_EQ(test::ReadBytes(out + "/Car.dff"), test::Padded(car));
        EXPECT_EQ(test::ReadBytes(out + "/wheel.dff"), test::Padded(wheel));
    }
}

TEST_F(CliTest, ExistingFilesAndTheOverwriteAnswers) {
    test::MakeVersion2(dir / "a.img", {{1, 1, "a.dff"}});
    const std::string out = dir / "out";
    std::filesystem::create_directories(out);
    test::WriteBytes(out + "/a.dff", Bytes(3, 'x'));

    Result r = Run({"extract", dir / "a.img", out, "a.dff"});  // no terminal: No
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Извлечено: 0\n");
    EXPECT_NE(r.err.find("Zarnex (вопрос)\n" + out + "/a.dff   уже существует."),
              std::string::npos);
    EXPECT_NE(r.err.find("нет терминала"), std::string::npos);
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"), Bytes(3, 'x'));

    r = Run({"extract", "-n", dir / "a.img", out, "a.dff"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"), Bytes(3, 'x'));

    r = Run({"extract", "-o", dir / "a.img", out, "a.dff"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Извлечено: 1\n");
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"), test::EntryData({1, 1, "a.dff"}, 0));
}

// On a terminal the overwrite question is asked there; script(1) gives the program one.
struct TerminalRow {
    const char* title;
    const char* typed;
    int status;
    size_t asked;
    bool aWritten, bWritten;
};

class TerminalAnswers : public CliTest, public ::testing::WithParamInterface<TerminalRow> {};

TEST_P(TerminalAnswers, OverwriteQuestionIsAnsweredOnATerminal) {
#ifdef _WIN32
    GTEST_SKIP() << "no console to type at under Wine's tests";
#else
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "script(1) is not installed";
    }
    const TerminalRow& row = GetParam();
    test::MakeVersion2(dir / "a.img", {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
    const std::string out = dir / "out";
    std::filesystem::create_directories(out);
    test::WriteBytes(out + "/a.dff", Bytes(3, 'x'));
    test::WriteBytes(out + "/b.dff", Bytes(3, 'x'));
    const std::string inner = Quote(ZARNEX_CLI_PATH) + " extract " + Quote(dir / "a.img") + " " +
                              Quote(out) + " a.dff b.dff";
    SetEnvironment(kRussian);
    const std::string command = "printf " + Quote(row.typed) + " | script -qec " + Quote(inner) +
                                " /dev/null >" + Quote(dir / "tty") + " 2>&1";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, row.status);
    Bytes tty = test::ReadBytes(dir / "tty");
    const std::string screen(tty.begin(), tty.end());
    const std::string prompt =
        "[y] да / [n] нет / [a] да для всех / [s] нет для всех / [c] отмена?";
    size_t asked = 0;
    for (size_t at = screen.find(prompt); at != std::string::npos;
         at = screen.find(prompt, at + 1)) {
        ++asked;
    }
    EXPECT_EQ(asked, row.asked) << screen;
    const Bytes kept(3, 'x');
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"),
              row.aWritten ? test::EntryData({1, 1, "a.dff"}, 0) : kept);
    EXPECT_EQ(test::ReadBytes(out + "/b.dff"),
              row.bWritten ? test::EntryData({2, 1, "b.dff"}, 1) : kept);
#endif
}

// An unclear answer is asked again, and c stops before b; a and s answer for both files.
const TerminalRow kTerminalRows[] = {
    {"UnclearThenYesThenCancel", "maybe\ny\nc\n", 3, 3, true, false},
    {"All", "a\n", 0, 1, true, true},
    {"SkipAll", "s\n", 1, 1, false, false},
};
INSTANTIATE_TEST_SUITE_P(Rows, TerminalAnswers, ::testing::ValuesIn(kTerminalRows),
                         [](const auto& info) { return std::string(info.param.title); });

// What Windows makes hard, on every system: names in Cyrillic on the command line, on the disk
// and in the archive's code page; every command on paths past 260 characters; an archive that
// another program holds.
TEST_F(CliTest, CyrillicNamesLongPathsAndAnArchiveInUse) {
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {{1, 1, "a.dff"}});
    const Bytes house = test::Pattern(3000, 7);
    Result r = RunProgram(dir, {"import", "-v", img, Source("src/Дом.txd", house)});
    EXPECT_EQ(r.out, "добавлено Дом.txd\nЗавершено\n\nЗаменено: 0\nДобавлено: 1\n") << r.err;
    EXPECT_EQ(test::ReadVersion2Records(img)[1].name, "\xC4\xEE\xEC.txd");
    std::filesystem::create_directories(dir / "out");
    r = RunProgram(dir, {"extract", "-v", img, dir / "out", "дОМ.TXD"});
    EXPECT_EQ(r.out, "извлечено Дом.txd\nИзвлечено: 1\n") << r.err;
    EXPECT_EQ(test::ReadBytes(dir / "out/Дом.txd"), test::Padded(house));

    const std::string deep =
        dir / (std::string(90, 'd') + "/" + std::string(90, 'e') + "/" + std::string(90, 'f'));
    ASSERT_GT(deep.size(), 280u);
    std::filesystem::create_directories(test::FsPath(deep + "/out"));
    const std::string distant = deep + "/far.img";
    EXPECT_EQ(Run({"create", "-1", distant}).status, 0);
    EXPECT_EQ(Run({"import", distant, Source("src/Дом.txd", house)}).status, 0);
    EXPECT_EQ(Run({"list", distant}).out, "версия 1\tзаписей: 1\n0\t0\t2\tДом.txd\n");
    EXPECT_EQ(Run({"check", distant}).status, 0);
    EXPECT_EQ(Run({"compact", "-q", distant}).status, 0);
    EXPECT_EQ(Run({"extract", distant, deep + "/out", "Дом.txd"}).status, 0);
    EXPECT_EQ(test::ReadBytes(deep + "/out/Дом.txd"), test::Padded(house));

    // Held for writing, the archive is refused to a reader with a message that says why; held
    // for reading, to a writer only.
    IoState io;
    for (OpenMode held : {OpenMode::ReadWriteExclusive, OpenMode::ReadShared}) {
        File holder = File::Open(img, held, io);
        ASSERT_TRUE(holder.IsOpen());
        r = RunProgram(dir, {"import", img, dir / "src/Дом.txd"});
        EXPECT_EQ(r.status, 3);
        EXPECT_NE(r.err.find("Архив занят другой программой: \n\n" + img), std::string::npos)
            << r.err;
        EXPECT_EQ(RunProgram(dir, {"list", img}).status, held == OpenMode::ReadShared ? 0 : 3);
    }
}

// Records only, over a data file of `dataBytes` (sparse): the check reads no entry data.
void MakeDirectoryOnly(bool version2, const std::string& img, const std::vector<TestEntry>& entries,
                       int64_t dataBytes, size_t partialRecordBytes = 0) {
    Bytes records;
    for (const TestEntry& e : entries) {
        RecordBytes r = EncodeRecord({e.offset, e.size, e.name});
        records.insert(records.end(), r.begin(), r.end());
    }
    if (version2) {
        Bytes image(Version2HeaderSize);
        PutLE32(image.data(), Version2Tag);
        PutLE32(image.data() + 4, static_cast<uint32_t>(entries.size()));
        image.insert(image.end(), records.begin(), records.end());
        test::WriteBytes(img, image);
    } else {
        test::WriteBytes(img, {});
        records.resize(records.size() + partialRecordBytes, 0x55);
        test::WriteBytes(DirectoryFilePath(img), records);
    }
    std::filesystem::resize_file(img, static_cast<uintmax_t>(dataBytes));
}

TEST_F(CliTest, CheckNamesEachKindOfDamage) {
    struct Case {
        const char* what;
        bool version2;
        std::vector<TestEntry> entries;
        int64_t dataBytes;
        size_t partialRecordBytes;
        std::vector<std::string> lines;  // "@" stands for the archive's path without ".img"
    };
    const std::vector<Case> cases = {
        {"sound, with a gap and an empty entry past the end",
         true,
         {{1, 2, "a.dff"}, {5, 1, "b.txd"}, {9, 0, "empty.col"}},
         SectorToByte(6),
         0,
         {}},
        {"sound version 1 from sector 0",
         false,
         {{0, 1, "a"}, {3, 2, "b"}},
         SectorToByte(5),
         0,
         {}},
        {"overlaps, each entry once",
         true,
         {{1, 4, "a.dff"}, {2, 1, "b.dff"}, {3, 3, "c.dff"}, {6, 1, "d.dff"}},
         SectorToByte(7),
         0,
         {"overlap: entry 1 \"b.dff\" (sectors 2 to 2) and entry 0 \"a.dff\" (sectors 1 to 4)",
          "overlap: entry 2 \"c.dff\" (sectors 3 to 5) and entry 0 \"a.dff\" (sectors 1 to 4)"}},
        {"past the end of the data file",
         false,
         {{0, 2, "a"}, {2, 2, "b"}},
         SectorToByte(3) + 1,
         0,
         {"past end: entry 1 \"b\": sectors 2 to 3 end at byte 8192, past the data file's 6145 "
          "bytes"}},
        {"data inside the version-2 directory",
         true,
         {{0, 1, "a"}, {1, 1, "b"}},
         SectorToByte(2),
         0,
         {"inside directory: entry 0 \"a\": its data starts at byte 0, inside the header and "
          "directory (bytes 0 to 71)"}},
        {"offsets and sizes out of range",
         true,
         {{-1, 1, "neg"},
          {1, -2, "negsize"},
          {1048575, 2, "distant"},
          {1048576, 0, "edge"},
          {1048575, 1, "last"}},
         SectorToByte(2),
         0,
         {"out of range: entry 0 \"neg\": offset -1 is negative",
          "out of range: entry 1 \"negsize\": size -2 is negative",
          "out of range: entry 2 \"distant\": offset 1048575 and size 2 lie beyond 2 GiB (sector "
          "1048576)",
          "out of range: entry 3 \"edge\": offset 1048576 and size 0 lie beyond 2 GiB (sector "
          "1048576)",
          "past end: entry 4 \"last\": sectors 1048575 to 1048575 end at byte 2147483648, past "
          "the data file's 4096 bytes"}},
        {"names that are no file name",
         false,
         {{0, 0, ""},
          {0, 0, "."},
          {0, 0, ".."},
          {0, 0, "a/b"},
          {0, 0, "x\x98y"},
          {0, 0, "ok"},
          {0, 0, "t\x01"},
          {0, 0, " lead"},
          {0, 0, "dot."}},
         0,
         0,
         {"bad name (warning): entry 0 \"\": the name is empty",
          "bad name (warning): entry 1 \".\": \".\" and \"..\" are no file names",
          "bad name (warning): entry 2 \"..\": \".\" and \"..\" are no file names",
          "bad name (warning): entry 3 \"a/b\": the name holds \"/\", \"\\\" or \":\"",
          "bad name (warning): entry 6 \"t\\x01\": the name holds a control character",
          "bad name (warning): entry 7 \" lead\": the name starts with a space or ends in a space "
          "or a dot, which Windows drops",
          "bad name (warning): entry 8 \"dot.\": the name starts with a space or ends in a space "
          "or a dot, which Windows drops",
          "bad name (warning): entry 4 \"x\uFFFDy\": the name holds the byte 0x98, which "
          "Windows-1251 leaves undefined"}},
        {"names repeated ignoring case, Cyrillic too",
         true,
         {{1, 1, "\xC4\xEE\xEC.txd"},
          {2, 1, "a.dff"},
          {3, 1, "\xE4\xCE\xCC.TXD"},
          {4, 1, "A.DFF"},
          {5, 1, "a.dff"}},
         SectorToByte(6),
         0,
         {"duplicate name (warning): entry 2 \"дОМ.TXD\" has the name of entry 0 \"Дом.txd\" "
          "ignoring case; the game reads entry 0",
          "duplicate name (warning): entry 3 \"A.DFF\" has the name of entry 1 \"a.dff\" ignoring "
          "case; the game reads entry 1",
          "duplicate name (warning): entry 4 \"a.dff\" has the name of entry 1 \"a.dff\" ignoring "
          "case; the game reads entry 1"}},
        {"a partial record at the end of the .dir",
         false,
         {{0, 1, "a"}},
         SectorToByte(1),
         5,
         {"partial record: @.dir ends in 5 bytes that are no whole record"}},
        {"the copy an interrupted deletion left",
         true,
         {{1, 1, "a"}, {2, 1, "b"}, {1, 1, "a"}},
         SectorToByte(3),
         0,
         {"interrupted deletion: record 2 repeats entry 0 \"a\": a deletion was cut off before "
          "it ended; it is no entry, and the next change to the archive removes it"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string base = dir / ("c" + std::to_string(n++));
        MakeDirectoryOnly(c.version2, base + ".img", c.entries, c.dataBytes, c.partialRecordBytes);
        std::string expected;
        for (std::string line : c.lines) {
            if (size_t at = line.find('@'); at != std::string::npos) {
                line.replace(at, 1, base);
            }
            expected += line + "\n";
        }
        Result r = Run({"check", base + ".img"}, kNoInput, Language::English);
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, c.lines.empty() ? 0 : 1);
    }
}

struct StatusRow {
    const char* what;  // the test's name too
    Args args;         // "@" before a path stands for the row's folder
    int status;
    std::string errHas = "";  // "@" stands for the row's folder here too
    std::string outHas = "";
    // Makes what the row needs beyond what every row has: a sound version-2 archive good.img of
    // a.dff and b.dff, the files src/x.dff and src/y.dff, and the folder o.
    void (*prepare)(const std::string& folder) = nullptr;
    int goodEntriesAfter = -1;      // for a row that writes good.img: its entries afterwards
    const char* notMade = nullptr;  // a file that the refusal must not make
    bool program = false;           // the built program's exit status rather than the command's
};

void PrintTo(const StatusRow& row, std::ostream* os) {
    *os << row.what;
}

std::string RowName(const ::testing::TestParamInfo<StatusRow>& info) {
    std::string name;
    for (const char c : std::string(info.param.what)) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    if (name.back() == '_') {
        name.pop_back();
    }
    return name;
}

void MakeDamaged(const std::string& folder) {
    test::MakeVersion2(folder + "/bad.img", {{1, 2, "a"}, {2, 1, "b"}});
}

// Another program's batch on good.img, held until the next row that needs one.
void HoldArchive(const std::string& folder) {
    static IoState io;
    static File held;
    held = File::Open(folder + "/good.img", OpenMode::ReadWriteExclusive, io);
}

void MakeSparse(const std::string& path, uintmax_t size) {
    test::WriteBytes(path, {});
    std::filesystem::resize_file(path, size);
}

// Each status, from each command that can give it; each status once from the built program.
const StatusRow kStatusRows[] = {
    {"list", {"list", "@/good.img"}, 0},
    {.what = "import",
     .args = {"import", "@/good.img", "@/src/x.dff"},
     .status = 0,
     .outHas = "Заменено: 0\nДобавлено: 1",
     .goodEntriesAfter = 3},
    {"extract", {"extract", "@/good.img", "@/o", "A.DFF", "b.dff"}, 0},
    {"create", {"create", "-1", "@/new.img"}, 0},
    {"check", {"check", "@/good.img"}, 0},
    {"compact", {"compact", "-q", "@/good.img"}, 0, "", "Сжато"},
    {.what = "compact: a line per move",
     .args = {"compact", "-v", "@/gap.img"},
     .status = 0,
     .outHas = "перемещено b.dff\nСжато",
     .prepare =
         [](const std::string& d) {
             test::MakeVersion2(d + "/gap.img", {{1, 1, "a.dff"}, {5, 1, "b.dff"}});
         }},
    {.what = "delete",
     .args = {"delete", "@/good.img", "A.DFF"},
     .status = 0,
     .outHas = "Удалено: 1",
     .goodEntriesAfter = 1},
    {.what = "rename",
     .args = {"rename", "@/good.img", "a.dff", "c.dff"},
     .status = 0,
     .outHas = "Переименовано: a.dff -> c.dff",
     .goodEntriesAfter = 2},
    {.what = "extract: every entry, with no names",
     .args = {"extract", "@/good.img", "@/o"},
     .status = 0,
     .outHas = "Извлечено: 2"},
    {.what = "help: /? as Windows programs take it",
     .args = {"/?"},
     .status = 0,
     .outHas = "вызов: zarnex-cli list ARCHIVE\n",
     .program = true},
    {.what = "help: -? after the language",
     .args = {"--lang=en", "-?"},
     .status = 0,
     .outHas = "\nExit status: 0",
     .program = true},
    {.what = "help: of one command",
     .args = {"help", "delete"},
     .status = 0,
     .outHas = "вызов: zarnex-cli delete ",
     .program = true},
    {"help: /? after a command", {"rename", "/?"}, 0, "", "вызов: zarnex-cli rename "},
    {.what = "a file alone: listed, as one dropped on the program",
     .args = {"@/good.img"},
     .status = 0,
     .outHas = "версия 2\tзаписей: 2\n",
     .program = true},
    {.what = "a name alone that is no file",
     .args = {"@/nothing.img"},
     .status = 2,
     .errHas = "неизвестная команда: @/nothing.img",
     .program = true},
    {.what = "a language that is none",
     .args = {"--lang", "de", "list"},
     .status = 2,
     .errHas = "--lang принимает ru или en, а не 'de'",
     .program = true},
    {.what = "version",
     .args = {"--version"},
     .status = 0,
     .outHas = "zarnex-cli 1.2\n",
     .program = true},

    {.what = "import: a source that does not open",
     .args = {"import", "@/good.img", "@/nothing.dff", "@/src/y.dff"},
     .status = 1,
     .errHas = "Zarnex (предупреждение)\nНе удаётся открыть файл: ",
     .outHas = "Заменено: 0\nДобавлено: 1",
     .goodEntriesAfter = 3},
    {.what = "import: a name outside Windows-1251",
     .args = {"import", "@/good.img", "@/src/日本.dff"},
     .status = 1,
     .errHas = "Windows-1251",
     .prepare = [](const std::string& d) { test::WriteBytes(d + "/src/日本.dff", {1}); },
     .goodEntriesAfter = 2},
    {"extract: a name not found",
     {"extract", "@/good.img", "@/o", "a.dff", "nothere.dff"},
     1,
     "не найдено: nothere.dff\n",
     "Извлечено: 1"},
    {.what = "extract: an existing file kept",
     .args = {"extract", "-n", "@/good.img", "@/o", "a.dff", "b.dff"},
     .status = 1,
     .errHas = "-> нет (-n)",
     .outHas = "Извлечено: 1",
     .prepare = [](const std::string& d) { test::WriteBytes(d + "/o/a.dff", {7}); }},
    {.what = "delete: a name not found, its control character escaped",
     .args = {"delete", "@/good.img", "a.dff", "not\there.dff"},
     .status = 1,
     .errHas = "не найдено: not\\x09here.dff\n",
     .outHas = "Удалено: 1",
     .goodEntriesAfter = 1},
    {.what = "rename: a name another entry has",
     .args = {"rename", "@/good.img", "a.dff", "B.DFF"},
     .status = 1,
     .errHas = "уже есть запись",
     .goodEntriesAfter = 2},
    {"rename: no valid name", {"rename", "@/good.img", "a.dff", "x/y"}, 1, "не годится"},
    {"rename: no such entry, shown escaped",
     {"rename", "@/good.img", "q\n.dff", "r.dff"},
     1,
     "нет записи с таким именем: \n\nq\\x0a.dff"},
    {.what = "check: problems",
     .args = {"check", "-q", "@/bad.img"},
     .status = 1,
     .prepare = MakeDamaged,
     .program = true},

    {.what = "no command", .args = {}, .status = 2, .errHas = "вызов: zarnex-cli", .program = true},
    {.what = "unknown command",
     .args = {"frobnicate"},
     .status = 2,
     .errHas = "неизвестная команда: frobnicate",
     .program = true},
    {.what = "unknown global option",
     .args = {"--frob"},
     .status = 2,
     .errHas = "'--frob'",
     .program = true},
    {"list: two archives", {"list", "a", "b"}, 2, "вызов: zarnex-cli list"},
    {.what = "import: no files",
     .args = {"import", "@/good.img"},
     .status = 2,
     .errHas = "вызов: zarnex-cli import",
     .program = true},
    {"import: -q and -v", {"import", "-qv", "@/good.img", "@/src/x.dff"}, 2, "исключают"},
    {"import: --null without -T", {"import", "--null", "@/good.img", "@/src/x.dff"}, 2, "-T"},
    {"import: -T without its list", {"import", "@/good.img", "-T"}, 2, "'-T'"},
    {"extract: no folder given", {"extract", "@/good.img"}, 2, "вызов"},
    {"extract: unknown option", {"extract", "-x", "@/good.img", "o", "n"}, 2, "'-x'"},
    {"extract: -o and -n", {"extract", "-o", "-n", "a", "b", "c"}, 2, "исключают"},
    {.what = "create: -1 and -2",
     .args = {"create", "-1", "-2", "@/c.img"},
     .status = 2,
     .errHas = "исключают",
     .notMade = "c.img"},
    {"check: two archives", {"check", "@/good.img", "@/good.img"}, 2, "вызов"},
    {"compact: no archive named", {"compact"}, 2, "вызов"},
    {"compact: -q and -v", {"compact", "-q", "-v", "@/good.img"}, 2, "исключают"},
    {"delete: no names", {"delete", "@/good.img"}, 2, "вызов: zarnex-cli delete"},
    {"rename: no new name", {"rename", "@/good.img", "a.dff"}, 2, "вызов: zarnex-cli rename"},

    {.what = "list: no archive",
     .args = {"list", "@/missing.img"},
     .status = 3,
     .errHas = "Zarnex (ошибка)\nIMG файл по указанному пути не найден: \n\n@/missing.img",
     .program = true},
    {"import: no archive", {"import", "@/missing.img", "@/src/x.dff"}, 3},
    {"extract: no archive", {"extract", "@/missing.img", "@/o", "a"}, 3},
    {"check: no archive", {"check", "@/missing.img"}, 3},
    {"delete: no archive", {"delete", "@/missing.img", "a"}, 3},
    {"rename: no archive", {"rename", "@/missing.img", "a", "b"}, 3},
    {.what = "import: an archive in use by another program",
     .args = {"import", "@/good.img", "@/src/x.dff"},
     .status = 3,
     .errHas = "Архив занят другой программой: \n\n@/good.img",
     .prepare = HoldArchive},
    {.what = "compact: a damaged archive",
     .args = {"compact", "@/bad.img"},
     .status = 3,
     .errHas = "IMG архив повреждён (записи перекрываются), в него ничего не записано",
     .prepare = MakeDamaged},
    {.what = "check: version 1 without its .dir",
     .args = {"check", "@/lone.img"},
     .status = 3,
     .errHas = "Zarnex (ошибка)\nUnable to find DIR file!\n\n@/lone.dir",
     .prepare = [](const std::string& d) { test::WriteBytes(d + "/lone.img", Bytes(100, 1)); }},
    {.what = "check: more records than the file holds",
     .args = {"check", "@/good.img"},
     .status = 3,
     .prepare = [](const std::string& d) { std::filesystem::resize_file(d + "/good.img", 30); }},
    {"create: the archive exists", {"create", "@/good.img"}, 3, "уже существует"},
    {.what = "create: its .dir exists",
     .args = {"create", "--version1", "@/half.img"},
     .status = 3,
     .errHas = "half.dir уже существует",
     .prepare = [](const std::string& d) { test::WriteBytes(d + "/half.dir", {}); },
     .notMade = "half.img"},
    {"extract: no folder",
     {"extract", "@/good.img", "@/no-such-folder", "a.dff"},
     3,
     "нет такой папки"},
    {"import: no list",
     {"import", "-T", "@/no-list", "@/good.img"},
     3,
     "не удаётся прочитать список"},
    {.what = "import: a NUL byte in a list of lines",
     .args = {"import", "-T", "@/nul-list", "@/good.img"},
     .status = 3,
     .errHas = "--null",
     .prepare =
         [](const std::string& d) {
             test::WriteBytes(d + "/nul-list", {'x', 0, 'y', '\n'});
         }},
#ifndef _WIN32
    {"import: a list without end",
     {"import", "-T", "/dev/zero", "@/good.img"},
     3,
     "не удаётся прочитать список /dev/zero: он длиннее 64 МиБ"},
#endif
    {.what = "import: a list file of 1 GiB",
     .args = {"import", "-T", "@/list", "@/good.img"},
     .status = 3,
     .errHas = "длиннее 64 МиБ",
     .prepare = [](const std::string& d) { MakeSparse(d + "/list", uintmax_t{1} << 30); }},
    {.what = "import: an error stop (a file of 2 GiB)",
     .args = {"import", "@/good.img", "@/big.dff", "@/src/y.dff"},
     .status = 3,
     .errHas = "Файл больше 2 ГБ",
     .outHas = "Остановлено ошибкой\n\nЗаменено: 0\nДобавлено: 0",
     .prepare = [](const std::string& d) { MakeSparse(d + "/big.dff", uintmax_t{1} << 31); },
     .goodEntriesAfter = 2},
};

class CliStatus : public ::testing::TestWithParam<StatusRow> {
  protected:
    TempDir dir;

    // "@" at the start of `text` as the row's folder.
    std::string Placed(std::string text) const {
        if (const size_t at = text.find('@'); at != std::string::npos) {
            text.replace(at, 1, dir.path());
        }
        return text;
    }
};

TEST_P(CliStatus, ExitStatusAndWhatItSays) {
    const StatusRow& row = GetParam();
    test::MakeVersion2(dir / "good.img", {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
    std::filesystem::create_directories(dir / "src");
    std::filesystem::create_directories(dir / "o");
    test::WriteBytes(dir / "src/x.dff", test::Pattern(3000, 1));
    test::WriteBytes(dir / "src/y.dff", test::Pattern(10, 2));
    if (row.prepare) {
        row.prepare(dir.path());
    }
    Args args;
    for (const std::string& a : row.args) {
        args.push_back(a.starts_with("@/") ? Placed(a) : a);
    }
    const Result r = row.program ? RunProgram(dir, args) : RunHere(dir, args);
    EXPECT_EQ(r.status, row.status) << r.err;
    EXPECT_NE(r.err.find(Placed(row.errHas)), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(row.outHas), std::string::npos) << r.out;
    if (row.goodEntriesAfter >= 0) {
        EXPECT_EQ(test::ReadRecords(true, dir / "good.img").size(),
                  static_cast<size_t>(row.goodEntriesAfter));
    }
    if (row.notMade) {
        EXPECT_FALSE(std::filesystem::exists(dir / row.notMade));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CliStatus, ::testing::ValuesIn(kStatusRows), RowName);

TEST_F(CliTest, CreateMakesEmptyArchivesThatTheOtherCommandsTake) {
    for (bool version2 : {true, false}) {
        SCOPED_TRACE(version2 ? "version 2" : "version 1");
        const std::string img = dir / (version2 ? "two.img" : "one.img");
        Result r = Run({"create", version2 ? "-2" : "-1", img});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
        Bytes header(8, 0);
        std::copy_n("VER2", 4, header.begin());
        EXPECT_EQ(test::ReadBytes(img), version2 ? header : Bytes{});
        if (!version2) {
            EXPECT_EQ(test::ReadBytes(dir / "one.dir"), Bytes{});
        }
        EXPECT_EQ(Run({"check", img}).status, 0);

        // Refused a second time, both files untouched.
        test::WriteBytes(img, {9});
        r = Run({"create", version2 ? "-2" : "-1", img});
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(test::ReadBytes(img), Bytes{9});
    }
    // Version 2 unless told otherwise; a folder counts as existing.
    EXPECT_EQ(Run({"create", dir / "plain.img"}).status, 0);
    EXPECT_EQ(test::ReadBytes(dir / "plain.img").size(), 8u);
    EXPECT_EQ(Run({"create", dir.path()}).status, 3);
    Result r = Run({"create", "-1", dir / "itself.dir"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("своим файлом каталога"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "itself.dir"));
}

// Hundreds of paths in, by lines from a file and NUL-separated from standard input, and back
// out, with the names that have no entry each named once.
TEST_F(CliTest, ListsFromFilesAndStandardInput) {
    const std::string img = dir / "a.img";
    ASSERT_EQ(Run({"create", "-1", img}).status, 0);
    std::vector<std::string> names;
    std::string lines;
    for (int i = 0; i < 300; ++i) {
        names.push_back("file " + std::to_string(i) + ".dff");
        // A list written on Windows ends its lines in CR LF.
        lines +=
            Source("src/" + names.back(), test::Pattern(100 + 37 * i, i)) + (i % 2 ? "\r\n" : "\n");
        if (i == 150) {
            lines += "\n";  // empty lines are left out
        }
    }
    test::WriteBytes(dir / "list", Bytes(lines.begin(), lines.end()));
    Result r = Run({"import", "-v", "--files-from", dir / "list", img});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected;
    for (const std::string& name : names) {
        expected += "добавлено " + name + "\n";
    }
    EXPECT_EQ(r.out, expected + "Завершено\n\nЗаменено: 0\nДобавлено: 300\n");

    // A path a line-based list cannot carry (Windows has no such folders); the FILE operand
    // comes before the list.
#ifdef _WIN32
    const std::string odd = "odd name.dff";
#else
    const std::string odd = "new\nline/odd.dff";
#endif
    std::vector<std::string> sources;
    for (const std::string& name : names) {
        sources.push_back("src/" + name);
    }
    const std::string nulList = Source("src/" + odd, test::Pattern(5000, 900)) + '\0' +
                                Source("src/-dash.dff", test::Pattern(1, 901)) + '\0';
    test::WriteBytes(dir / "null-list", Bytes(nulList.begin(), nulList.end()));
    r = RunProgram(dir, {"import", "-v", img, "-T", "-", "--null", dir / "src/file 0.dff"},
                   dir / "null-list");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "заменено file 0.dff\nдобавлено odd" + odd.substr(odd.find("odd") + 3) +
                         "\nдобавлено -dash.dff\nЗавершено\n\nЗаменено: 1\nДобавлено: 2\n");
    names.push_back(odd.substr(odd.find("odd")));
    sources.push_back("src/" + odd);
    names.push_back("-dash.dff");
    sources.push_back("src/-dash.dff");

    // Out again: every name and, between them, seven that have no entry.
    std::string wanted;
    std::string missingLines;
    for (size_t i = 0; i < names.size(); ++i) {
        wanted += names[i] + '\0';
        if (i % 50 == 7) {
            const std::string missing = "missing " + std::to_string(i) + ".dff";
            wanted += missing + '\0';
            missingLines += "не найдено: " + missing + "\n";
        }
    }
    test::WriteBytes(dir / "wanted", Bytes(wanted.begin(), wanted.end()));
    const std::string out = dir / "out";
    std::filesystem::create_directories(out);
    r = RunProgram(dir, {"extract", "-T-", "--null", img, out}, dir / "wanted");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, missingLines);
    EXPECT_EQ(r.out, "Извлечено: 302\n");
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string source = dir / sources[i];
        ASSERT_EQ(test::ReadBytes(out + "/" + names[i]), test::Padded(test::ReadBytes(source)))
            << names[i];
    }

    // -q keeps the boxes only; a question is not put to the standard input that held the list.
    r = RunProgram(dir, {"extract", "-q", "-T", "-", "--null", img, out}, dir / "wanted");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("не найдено"), std::string::npos);
    EXPECT_NE(r.err.find("-> нет (стандартный ввод занят списком"), std::string::npos);
    EXPECT_EQ(r.out, "Извлечено: 0\n");
}

// A pipe named by a path, as `-T <(find ...)` gives one, is read to its end like standard input.
TEST_F(CliTest, ListFromAPipeNamedByAPath) {
#ifdef _WIN32
    GTEST_SKIP() << "no shell on Windows names a pipe by a path; standard input is tested";
#else
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {{1, 1, "a.dff"}});
    const std::string list = Source("src/A.DFF", {1}) + "\n" + Source("src/new.dff", {2}) + "\n";
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], list.data(), list.size()), static_cast<ssize_t>(list.size()));
    ::close(ends[1]);
    const Result r = Run({"import", "-v", "-T", "/dev/fd/" + std::to_string(ends[0]), img});
    ::close(ends[0]);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "заменено A.DFF\nдобавлено new.dff\nЗавершено\n\nЗаменено: 1\nДобавлено: 1\n");
#endif
}

// The language comes from the environment as on a desktop, and --lang overrides it: the summary,
// the boxes and the lines of -v and "not found" alike.
TEST_F(CliTest, EverythingSaidFollowsTheLanguage) {
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {{1, 1, "b.dff"}});
    const std::string file = Source("src/b.dff", {1});  // replaces the entry of that name
    struct Case {
        Environment environment;
        std::vector<std::string> options;
        const char* summary;
        const char* line;
        const char* notFound;
    };
    const std::vector<Case> cases = {
        {{{"LANG", "en_US.UTF-8"}},
         {},
         "Done\n\nReplaced: 1\nAdded: 0\n",
         "replaced b.dff",
         "not found: q"},
        {{{"LANG", "ru_RU.UTF-8"}},
         {},
         "Завершено\n\nЗаменено: 1\nДобавлено: 0\n",
         "заменено b.dff",
         "не найдено: q"},
        {{{"LANG", "ru_RU.UTF-8"}},
         {"--lang=en"},
         "Done\n\nReplaced: 1\nAdded: 0\n",
         "replaced b.dff",
         "not found: q"},
        {{{"LC_ALL", "en_US.UTF-8"}, {"LANGUAGE", "ru"}},
         {},
         "Завершено\n\nЗаменено: 1\nДобавлено: 0\n",
         "заменено b.dff",
         "не найдено: q"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.environment.front().first + "=" + c.environment.front().second + " " +
                     (c.options.empty() ? "" : c.options[0]));
        auto run = [&](const Args& args) {
            Args all = c.options;
            all.insert(all.end(), args.begin(), args.end());
            return RunProgram(dir, all, kNoInput, c.environment);
        };
        Result r = run({"import", "-v", img, file, dir / "none.dff"});
        ASSERT_EQ(r.status, 1);
        EXPECT_EQ(r.out, std::string(c.line) + "\n" + c.summary);
        EXPECT_NE(
            r.err.find(c.summary[0] == 'D' ? "Cannot open the file" : "Не удаётся открыть файл"),
            std::string::npos);
        std::filesystem::create_directories(dir / "out");
        r = run({"extract", "-o", img, dir / "out", "q"});
        EXPECT_EQ(r.err, std::string(c.notFound) + "\n");
    }
}

// A file that cannot be written (here: past the size the process may write) is not counted nor
// left behind, and the extraction goes on and ends with status 1.
TEST_F(CliTest, AFileThatCannotBeWrittenIsNotExtracted) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no limit on a file's size to set; the engine's tests fail writes";
#else
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {{1, 1, "small.dff"}, {2, 8, "big.dff"}});
    std::filesystem::create_directories(dir / "out");
    // A file size limit of 8 KiB; writes past it fail instead of ending the program.
    SetEnvironment(kRussian);
    const std::string command = "sh -c 'trap \"\" XFSZ; ulimit -f 16; exec \"$0\" \"$@\"' " +
                                Quote(ZARNEX_CLI_PATH) + " extract " + Quote(img) + " " +
                                Quote(dir / "out") + " big.dff small.dff >" + Quote(dir / "o") +
                                " 2>" + Quote(dir / "e");
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(Text(dir / "o"), "Извлечено: 1\n");
    EXPECT_NE(Text(dir / "e").find("записан с ошибкой " + test::CodeText(EFBIG)), std::string::npos)
        << Text(dir / "e");
    EXPECT_FALSE(std::filesystem::exists(dir / "out/big.dff"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/small.dff"));
#endif
}

// The usage and every help are made from the table: each command's synopsis, what it does and
// its options, which the command takes, and the same exit statuses at the end.
TEST_F(CliTest, UsageAndHelpAreMadeFromTheTable) {
    const Result all = RunProgram(dir, {"--help"});
    const Result unknown = RunProgram(dir, {"frobnicate"});
    auto lastParagraph = [](const std::string& text) { return text.substr(text.rfind("\n\n")); };
    size_t at = 0;  // the commands come in the table's order
    for (const cli::Command* command : cli::Commands()) {
        SCOPED_TRACE(command->name);
        const std::string synopsis = std::string("zarnex-cli ") + command->synopsis + "\n";
        EXPECT_NE(unknown.err.find(synopsis), std::string::npos) << unknown.err;
        const std::string about = Words(command->about);
        at = all.out.find(synopsis + about + "\n\n", at);
        EXPECT_NE(at, std::string::npos) << all.out;

        const Result help = Run({command->name, "--help"});
        EXPECT_EQ(help.out.find("вызов: " + synopsis + "\n" + about + "\n\n"), 0u);
        EXPECT_EQ(lastParagraph(help.out), lastParagraph(all.out));
        for (const cli::Option& option : cli::OptionsOf(*command)) {
            const std::string name = std::string("--") + option.name;
            EXPECT_NE(help.out.find(name), std::string::npos) << name;
            const std::string given = option.argument ? name + "=x" : name;
            EXPECT_EQ(Run({command->name, given, "--help"}).status, 0) << given;
        }
    }
}

// NAMEs of extract and delete with * and ?, matched ignoring case against the entries' names, and
// extract with no NAME at all. Each row runs on a fresh archive of the six entries below; the
// last holds the byte Windows-1251 leaves undefined, which UTF-8 cannot carry, and a control
// character, shown escaped.
struct ChoiceRow {
    const char* what;
    Args args;  // after the command: "@" stands for the archive, "@out" for the folder
    int status;
    std::vector<std::string> after;  // extract: the files written; delete: the entries left
    std::string errHas = "";
    std::string outHas = "";
};

void PrintTo(const ChoiceRow& row, std::ostream* os) {
    *os << row.what;
}

const std::vector<TestEntry> kChoiceEntries = {
    {1, 1, "car.dff"},   {2, 1, "Car2.DFF"}, {3, 1, "\xC4\xEE\xEC.txd"},
    {4, 1, "wheel.txd"}, {5, 1, "a.col"},    {6, 1, "odd\x98\x07.ipl"}};
const char* const kOddShown = "odd\uFFFD\\x07.ipl";

const ChoiceRow kChoiceRows[] = {
    {"extract: a star", {"extract", "@", "@out", "*.dff"}, 0, {"Car2.DFF", "car.dff"}},
    {"extract: a pattern in capitals, Cyrillic too",
     {"extract", "@", "@out", "*.TXD", "ДОМ.*"},
     0,
     {"wheel.txd", "Дом.txd"},
     "",
     "Извлечено: 2"},
    {"extract: a question mark for one character", {"extract", "@", "@out", "?.col"}, 0, {"a.col"}},
    {"extract: a name and a pattern that takes it too: once",
     {"extract", "@", "@out", "CAR.DFF", "car*"},
     0,
     {"Car2.DFF", "car.dff"},
     "",
     "Извлечено: 2"},
    {"extract: a pattern that matches nothing is named",
     {"extract", "@", "@out", "*.ifp", "a.col"},
     1,
     {"a.col"},
     "нет записей по шаблону: *.ifp\n",
     "Извлечено: 1"},
    {"extract: -q names no pattern", {"extract", "-q", "@", "@out", "*.ifp"}, 1, {}},
    {"extract: no names, every entry; one that cannot be a file name is said so",
     {"extract", "@", "@out"},
     1,
     {"Car2.DFF", "a.col", "car.dff", "wheel.txd", "Дом.txd"},
     kOddShown,
     "Извлечено: 5"},
    {"extract: a pattern reaches a name UTF-8 cannot carry",
     {"extract", "@", "@out", "*.ipl"},
     1,
     {},
     std::string("не годится для файла, запись не извлечена: \n\n") + kOddShown},
    {"extract: a pattern in a list", {"extract", "-T", "@list", "@", "@out"}, 0, {"a.col"}},
    {"extract: an empty list is no NAME, not all",
     {"extract", "-T", "@empty", "@", "@out"},
     0,
     {},
     "",
     "Извлечено: 0"},
    {"delete: a pattern",
     {"delete", "-v", "@", "CAR*"},
     0,
     {"\xC4\xEE\xEC.txd", "wheel.txd", "a.col", "odd\x98\x07.ipl"},
     "",
     "Удалено: 2"},
    {"delete: a pattern reaches a name UTF-8 cannot carry",
     {"delete", "-v", "@", "O*"},
     0,
     {"car.dff", "Car2.DFF", "\xC4\xEE\xEC.txd", "wheel.txd", "a.col"},
     "",
     std::string("удалено ") + kOddShown + "\n"},
    {"delete: a pattern that matches nothing and a name",
     {"delete", "@", "*.ifp", "a.col"},
     1,
     {"car.dff", "Car2.DFF", "\xC4\xEE\xEC.txd", "wheel.txd", "odd\x98\x07.ipl"},
     "нет записей по шаблону: *.ifp\n",
     "Удалено: 1"},
    {"delete: a missing archive says so once",
     {"delete", "@missing", "*"},
     3,
     {"car.dff", "Car2.DFF", "\xC4\xEE\xEC.txd", "wheel.txd", "a.col", "odd\x98\x07.ipl"},
     "IMG файл по указанному пути не найден"},
};

class CliChoice : public ::testing::TestWithParam<ChoiceRow> {
  protected:
    TempDir dir;
};

TEST_P(CliChoice, NamesAndPatterns) {
    const ChoiceRow& row = GetParam();
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, kChoiceEntries);
    std::filesystem::create_directories(dir / "out");
    test::WriteBytes(dir / "list", {'?', '.', 'c', 'o', 'l', '\n'});
    test::WriteBytes(dir / "empty", {});
    Args args;
    for (const std::string& a : row.args) {
        args.push_back(a == "@" ? img : a.starts_with("@") ? dir / a.substr(1) : a);
    }
    const Result r = RunHere(dir, args);
    EXPECT_EQ(r.status, row.status) << r.err;
    EXPECT_NE(r.err.find(row.errHas), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(row.outHas), std::string::npos) << r.out;
    if (row.errHas.empty() && row.status == 0) {
        EXPECT_EQ(r.err, "");
    }
    std::vector<std::string> after;
    if (args[0] == "extract") {
        for (const auto& file : std::filesystem::directory_iterator(test::FsPath(dir / "out"))) {
            after.push_back(test::Utf8(file.path().filename()));
        }
    } else {
        for (const DirectoryRecord& record : test::ReadVersion2Records(img)) {
            after.push_back(record.name);
        }
    }
    std::sort(after.begin(), after.end());
    std::vector<std::string> expected = row.after;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, CliChoice, ::testing::ValuesIn(kChoiceRows),
                         [](const ::testing::TestParamInfo<ChoiceRow>& info) {
                             return std::to_string(info.index);
                         });

// The text of a list in UTF-16, after its byte-order mark.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// -T lists as Windows editors and consoles write them: UTF-8 with or without a byte-order mark,
// UTF-16 with one; -v says how a list was read. A list that is no text in its encoding is refused
// with the line that is not.
struct ListRow {
    const char* what;
    std::string list;
    bool nullSeparated;
    int status;
    std::string errHas;  // with -v
    bool onWindows = true;
};

void PrintTo(const ListRow& row, std::ostream* os) {
    *os << row.what;
}

const ListRow kListRows[] = {
    {"UTF-8", "Дом.txd\na.dff\n", false, 0, ""},
    {"UTF-8 with a mark, as Notepad saves it", "\xEF\xBB\xBFДом.txd\r\na.dff\r\n", false, 0,
     "список стандартный ввод: прочитан как UTF-8 (BOM)\n"},
    {"UTF-16 LE, Notepad's Unicode", Utf16(u"Дом.txd\r\na.dff\r\n", false), false, 0,
     "список стандартный ввод: прочитан как UTF-16 LE\n"},
    {"UTF-16 BE", Utf16(u"Дом.txd\na.dff", true), false, 0, "прочитан как UTF-16 BE"},
    {"UTF-16 separated by NUL", Utf16(std::u16string(u"Дом.txd\0a.dff\0", 14), false), true, 0,
     "UTF-16 LE"},
    {"UTF-16 with a NUL in a list of lines", Utf16(std::u16string(u"a.dff\0", 6), false), false, 3,
     "байт NUL"},
    {"UTF-16 with half a surrogate pair", Utf16(u"a.dff\n\xD800x", false), false, 3, "не в UTF-16"},
    {"UTF-16 with an odd byte", Utf16(u"a.dff", false) + "x", false, 3, "не в UTF-16"},
    {"a line that is no UTF-8 after a mark of UTF-8",
     "\xEF\xBB\xBF"
     "a.dff\n\xC4\xEE\xEC.txd\n",
     false, 3, "строка 2 не в UTF-8"},
    {"Windows-1251 on Linux", "\n\xC4\xEE\xEC.txd\na.dff\n", false, 3, "строка 2 не в UTF-8",
     false},
};

class CliList : public ::testing::TestWithParam<ListRow> {
  protected:
    TempDir dir;
};

TEST_P(CliList, EncodingsOfLists) {
    const ListRow& row = GetParam();
#ifdef _WIN32
    if (!row.onWindows) {
        GTEST_SKIP() << "Windows reads it in the ANSI code page: the Wine stage's cmd test";
    }
#endif
    const std::string img = dir / "a.img";
    test::MakeVersion2(img, {{1, 1, "\xC4\xEE\xEC.txd"}, {2, 1, "a.dff"}});
    std::filesystem::create_directories(dir / "out");
    test::WriteBytes(dir / "list", Bytes(row.list.begin(), row.list.end()));
    Args args = {"extract", "-v", "-T", "-", img, dir / "out"};
    if (row.nullSeparated) {
        args.push_back("--null");
    }
    const Result r = RunHere(dir, args, dir / "list");
    EXPECT_EQ(r.status, row.status) << r.err;
    EXPECT_NE(r.err.find(row.errHas), std::string::npos) << r.err;
    if (row.status == 0) {
        EXPECT_EQ(r.out, "извлечено Дом.txd\nизвлечено a.dff\nИзвлечено: 2\n");
    }
    if (row.errHas.empty()) {
        EXPECT_EQ(r.err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CliList, ::testing::ValuesIn(kListRows),
                         [](const ::testing::TestParamInfo<ListRow>& info) {
                             return std::to_string(info.index);
                         });

#ifndef _WIN32
// What a terminal shows after `bytes`: lines of text, each overwritten from its start by a CR
// and cut by an erase to its end; other control sequences leave it as it is.
std::vector<std::string> Screen(const std::string& bytes) {
    std::vector<std::string> lines(1);
    size_t column = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::string& line = lines.back();
        if (bytes[i] == '\r') {
            column = 0;
        } else if (bytes[i] == '\n') {
            lines.emplace_back();
            column = 0;
        } else if (bytes.compare(i, 3, "\033[K") == 0) {
            line.resize(column);
            i += 2;
        } else {
            if (column < line.size()) {
                line[column] = bytes[i];
            } else {
                line += bytes[i];
            }
            ++column;
        }
    }
    return lines;
}
#endif

// On a terminal a batch shows "n of m" and clears it before anything else it says: a warning or
// a line with no entry amid the batch, and the summary at its end, each stand on a line of
// their own, and no count is left on the screen.
TEST_F(CliTest, TheProgressLineGivesWayToEveryOtherLine) {
#ifdef _WIN32
    GTEST_SKIP() << "no terminal under Wine's tests; the same lines clear the console";
#else
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "script(1) is not installed";
    }
    std::vector<TestEntry> entries;
    std::string names;
    for (int i = 0; i < 300; ++i) {
        entries.push_back({10 + i, 1, "e" + std::to_string(i) + ".dff"});
        names += " e" + std::to_string(i) + ".dff" + (i == 150 ? " missing.dff" : "");
    }
    entries.push_back({310, 1, "a/b"});  // a name no file may have: a warning box
    test::MakeVersion2(dir / "a.img", entries);
    std::filesystem::create_directories(dir / "out");
    const std::string inner = Quote(ZARNEX_CLI_PATH) + " extract " + Quote(dir / "a.img") + " " +
                              Quote(dir / "out") + names + " a/b";
    SetEnvironment(kRussian);
    const std::string command =
        "script -qec " + Quote(inner) + " /dev/null </dev/null >" + Quote(dir / "tty") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 256);  // status 1: a name not found
    std::vector<std::string> shown;
    for (const std::string& line : Screen(Text(dir / "tty"))) {
        if (!line.empty()) {
            shown.push_back(line);
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "не найдено: missing.dff", "Zarnex (предупреждение)",
                         "Имя записи в архиве не годится для файла, запись не извлечена: ", "a/b",
                         "Извлечено: 300"}));
#endif
}

// The overwrite question shows the existing file's time on the user's clock: in their zone, with
// that day's summer time, two digits to each field.
TEST_F(CliTest, OverwriteQuestionShowsTheTimeOnTheUsersClock) {
#ifdef _WIN32
    GTEST_SKIP() << "Wine takes the zone from TZ as it starts, not from a Windows parent: the "
                    "console test sets it";
#endif
    struct Case {
        const char* zone;
        int64_t utc;  // seconds since 1970
        const char* shown;
    };
    const Case cases[] = {
        {"UTC0", 0, "01.01.1970  00:00:00"},
        {"MSK-3", 1772701447, "05.03.2026  12:04:07"},                       // 09:04:07 UTC
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1782900000, "01.07.2026  12:00:00"},  // summer
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1768471200, "15.01.2026  11:00:00"},  // winter
        {"EST5", 951786061, "28.02.2000  20:01:01"},  // 29.02.2000 01:01:01 UTC: the day before
    };
    test::MakeVersion2(dir / "a.img", {{1, 1, "a.dff"}});
    std::filesystem::create_directories(dir / "out");
    const std::string existing = dir / "out/a.dff";
    const char* saved = std::getenv("TZ");
    const std::string savedZone = saved ? saved : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        test::WriteBytes(existing, {1});
        utimbuf times{};
        times.actime = times.modtime = static_cast<time_t>(c.utc);
        ASSERT_EQ(::utime(existing.c_str(), &times), 0);
        SetZone(c.zone);
        const Result r = RunProgram(dir, {"extract", "-n", dir / "a.img", dir / "out", "a.dff"});
        EXPECT_NE(r.err.find(std::string("дата изменения: ") + c.shown + "\n"), std::string::npos)
            << r.err;
    }
    SetZone(savedZone);
}

}  // namespace
}  // namespace zarnex
