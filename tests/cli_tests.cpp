// The built zarnex-cli, run on archives made here, as a script would run it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "archive/format.h"
#include "tests/support.h"

namespace zarnex {
namespace {

using test::Bytes;
using test::TempDir;
using test::TestEntry;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

class CliTest : public ::testing::Test {
  protected:
    TempDir dir;

    Result Run(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
        // The program's own Russian words, whatever this machine's language.
        std::string command =
            "LANGUAGE= LC_ALL= LC_MESSAGES= LANG=ru_RU.UTF-8 " + Quote(ZARNEX_CLI_PATH);
        for (const auto& a : args) {
            command += " " + Quote(a);
        }
        command +=
            " >" + Quote(dir / "stdout") + " 2>" + Quote(dir / "stderr") + " <" + Quote(input);
        int raw = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        Bytes out = test::ReadBytes(dir / "stdout"), err = test::ReadBytes(dir / "stderr");
        r.out.assign(out.begin(), out.end());
        r.err.assign(err.begin(), err.end());
        return r;
    }

    std::string Source(const std::string& name, const Bytes& bytes) {
        std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
        test::WriteBytes(dir / name, bytes);
        return dir / name;
    }
};

TEST_F(CliTest, ListShowsVersionCountAndEntriesInDirectoryOrder) {
    test::MakeVersion2(dir / "v2.img", {{5, 2, "b.dff"}, {1, 3, "\xC4\xEE\xEC.txd"}});
    Result r = Run({"list", dir / "v2.img"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "version 2\t2 entries\n0\t5\t2\tb.dff\n1\t1\t3\tДом.txd\n");

    test::MakeVersion1(dir / "v1.img", {{0, 1, "a"}});
    r = Run({"list", dir / "v1.img"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "version 1\t1 entries\n0\t0\t1\ta\n");
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
    EXPECT_NE(r.err.find("Zarnex (question)\n" + out + "/a.dff   уже существует."),
              std::string::npos);
    EXPECT_NE(r.err.find("no terminal"), std::string::npos);
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
TEST_F(CliTest, OverwriteQuestionIsAnsweredOnATerminal) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "script(1) is not installed";
    }
    test::MakeVersion2(dir / "a.img", {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
    const std::string out = dir / "out";
    std::filesystem::create_directories(out);
    test::WriteBytes(out + "/a.dff", Bytes(3, 'x'));
    test::WriteBytes(out + "/b.dff", Bytes(3, 'x'));
    auto onTerminal = [&](const std::string& typed) {
        const std::string inner = Quote(ZARNEX_CLI_PATH) + " extract " + Quote(dir / "a.img") +
                                  " " + Quote(out) + " a.dff b.dff";
        const std::string command = "printf " + Quote(typed) +
                                    " | LANGUAGE= LC_ALL= LANG=ru_RU.UTF-8 script -qec " +
                                    Quote(inner) + " /dev/null >" + Quote(dir / "tty") + " 2>&1";
        int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(onTerminal("maybe\ny\nc\n"), 3);  // an unclear answer is asked again; c stops
    Bytes tty = test::ReadBytes(dir / "tty");
    const std::string screen(tty.begin(), tty.end());
    EXPECT_NE(screen.find("[y]es / [n]o / [c]ancel?"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Извлечено: 1"), std::string::npos) << screen;
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"), test::EntryData({1, 1, "a.dff"}, 0));
    EXPECT_EQ(test::ReadBytes(out + "/b.dff"), Bytes(3, 'x'));  // cancelled before it
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
          {1048575, 2, "far"},
          {1048576, 0, "edge"},
          {1048575, 1, "last"}},
         SectorToByte(2),
         0,
         {"out of range: entry 0 \"neg\": offset -1 is negative",
          "out of range: entry 1 \"negsize\": size -2 is negative",
          "out of range: entry 2 \"far\": offset 1048575 and size 2 lie beyond 2 GiB (sector "
          "1048576)",
          "out of range: entry 3 \"edge\": offset 1048576 and size 0 lie beyond 2 GiB (sector "
          "1048576)",
          "past end: entry 4 \"last\": sectors 1048575 to 1048575 end at byte 2147483648, past "
          "the data file's 4096 bytes"}},
        {"names that are no file name",
         false,
         {{0, 0, ""}, {0, 0, "."}, {0, 0, ".."}, {0, 0, "a/b"}, {0, 0, "x\x98y"}, {0, 0, "ok"}},
         0,
         0,
         {"bad name: entry 0 \"\": the name is empty",
          "bad name: entry 1 \".\": \".\" and \"..\" are no file names",
          "bad name: entry 2 \"..\": \".\" and \"..\" are no file names",
          "bad name: entry 3 \"a/b\": the name holds \"/\"",
          "bad name: entry 4 \"x\uFFFDy\": the name holds the byte 0x98, which Windows-1251 "
          "leaves undefined"}},
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
        Result r = Run({"check", base + ".img"});
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, c.lines.empty() ? 0 : 1);
    }
}

// Each status, from each command that can give it.
TEST_F(CliTest, ExitStatuses) {
    const std::string good = dir / "good.img";
    test::MakeVersion2(good, {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
    const std::string x = Source("src/x.dff", test::Pattern(3000, 1));
    const std::string y = Source("src/y.dff", test::Pattern(10, 2));
    auto folder = [&](const std::string& name) {
        std::filesystem::create_directories(dir / name);
        return dir / name;
    };
    struct Case {
        std::string what;
        std::function<std::vector<std::string>()> args;  // prepares what the case needs
        int status;
        std::string errHas = "";
        std::string outHas = "";
    };
    using Args = std::vector<std::string>;
    const std::vector<Case> cases = {
        {"list",
         [&] {
             return Args{"list", good};
         },
         0},
        {"import",
         [&] {
             return Args{"import", good, x};
         },
         0, "", "Заменено: 0\nДобавлено: 1"},
        {"extract",
         [&] {
             return Args{"extract", good, folder("o1"), "A.DFF", "x.dff"};
         },
         0},
        {"create",
         [&] {
             return Args{"create", "-1", dir / "new.img"};
         },
         0},
        {"check",
         [&] {
             return Args{"check", good};
         },
         0},
        {"compact",
         [&] {
             return Args{"compact", "-q", good};
         },
         0, "", "Сжато"},
        {"help",
         [&] {
             return Args{"import", "--help"};
         },
         0, "", "usage: zarnex-cli import"},
        {"version", [&] { return Args{"--version"}; }, 0, "", "zarnex-cli 1.2\n"},

        {"import: a source that does not open",
         [&] {
             return Args{"import", good, dir / "nothing.dff", y};
         },
         1, "Zarnex (warning)\nНе удаётся открыть файл: ", "Заменено: 0\nДобавлено: 1"},
        {"import: a name outside Windows-1251",
         [&] {
             return Args{"import", good, Source("src/日本.dff", {1})};
         },
         1, "Windows-1251"},
        {"extract: a name not found",
         [&] {
             return Args{"extract", good, folder("o2"), "a.dff", "nothere.dff"};
         },
         1, "not found: nothere.dff\n", "Извлечено: 1"},
        {"extract: an existing file kept",
         [&] {
             const std::string out = folder("o3");
             test::WriteBytes(out + "/a.dff", {7});
             return Args{"extract", "-n", good, out, "a.dff", "b.dff"};
         },
         1, "-> no (-n)", "Извлечено: 1"},
        {"check: problems",
         [&] {
             test::MakeVersion2(dir / "bad.img", {{1, 2, "a"}, {2, 1, "b"}});
             return Args{"check", "-q", dir / "bad.img"};
         },
         1},

        {"no command", [&] { return Args{}; }, 2, "usage: zarnex-cli"},
        {"unknown command", [&] { return Args{"frobnicate"}; }, 2, "unknown command: frobnicate"},
        {"unknown global option", [&] { return Args{"--frob"}; }, 2, "'--frob'"},
        {"list: two archives",
         [&] {
             return Args{"list", "a", "b"};
         },
         2, "usage: zarnex-cli list"},
        {"import: no files",
         [&] {
             return Args{"import", good};
         },
         2, "usage: zarnex-cli import"},
        {"import: -q and -v",
         [&] {
             return Args{"import", "-qv", good, x};
         },
         2, "exclude"},
        {"import: --null without -T",
         [&] {
             return Args{"import", "--null", good, x};
         },
         2, "-T"},
        {"import: -T without its list",
         [&] {
             return Args{"import", good, "-T"};
         },
         2, "'T'"},
        {"extract: no names",
         [&] {
             return Args{"extract", good, dir.path()};
         },
         2, "usage"},
        {"extract: unknown option",
         [&] {
             return Args{"extract", "-x", good, "o", "n"};
         },
         2, "'x'"},
        {"extract: -o and -n", [&] { return Args{"extract", "-o", "-n", "a", "b", "c"}; }, 2,
         "exclude"},
        {"create: -1 and -2",
         [&] {
             return Args{"create", "-1", "-2", dir / "c.img"};
         },
         2, "exclude"},
        {"check: two archives",
         [&] {
             return Args{"check", good, good};
         },
         2, "usage"},
        {"compact: no archive named", [&] { return Args{"compact"}; }, 2, "usage"},

        {"list: no archive",
         [&] {
             return Args{"list", dir / "missing.img"};
         },
         3, "Zarnex (error)\nIMG файл по указанному пути не найден: \n\n" + (dir / "missing.img")},
        {"import: no archive",
         [&] {
             return Args{"import", dir / "missing.img", x};
         },
         3},
        {"extract: no archive",
         [&] {
             return Args{"extract", dir / "missing.img", dir.path(), "a"};
         },
         3},
        {"check: no archive",
         [&] {
             return Args{"check", dir / "missing.img"};
         },
         3},
        {"compact: a damaged archive",
         [&] {
             return Args{"compact", dir / "bad.img"};
         },
         3, "не может быть сжат: записи перекрываются"},
        {"check: version 1 without its .dir",
         [&] {
             test::WriteBytes(dir / "lone.img", Bytes(100, 1));
             return Args{"check", dir / "lone.img"};
         },
         3, "Error (error)\nUnable to find DIR file!"},
        {"check: more records than the file holds",
         [&] {
             test::MakeVersion2(dir / "short.img", {{1, 1, "a"}});
             std::filesystem::resize_file(dir / "short.img", 30);
             return Args{"check", dir / "short.img"};
         },
         3},
        {"create: the archive exists",
         [&] {
             return Args{"create", good};
         },
         3, "already exists"},
        {"create: its .dir exists",
         [&] {
             test::WriteBytes(dir / "half.dir", {});
             return Args{"create", "--version1", dir / "half.img"};
         },
         3, "half.dir already exists"},
        {"extract: no folder",
         [&] {
             return Args{"extract", good, dir / "no-such-folder", "a.dff"};
         },
         3, "no such folder"},
        {"import: no list",
         [&] {
             return Args{"import", "-T", dir / "no-list", good};
         },
         3, "cannot read the list"},
        {"import: a NUL byte in a list of lines",
         [&] {
             test::WriteBytes(dir / "nul-list", {'x', 0, 'y', '\n'});
             return Args{"import", "-T", dir / "nul-list", good};
         },
         3, "--null"},
        {"import: an error stop (a file of 2 GiB)",
         [&] {
             const std::string big = Source("src/big.dff", {});
             std::filesystem::resize_file(big, uintmax_t{1} << 31);
             return Args{"import", good, big, y};
         },
         3, "Файл больше 2 ГБ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Result r = Run(c.args());
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(c.outHas), std::string::npos) << r.out;
    }
    // The refusals touched nothing.
    EXPECT_FALSE(std::filesystem::exists(dir / "half.img"));
    EXPECT_FALSE(std::filesystem::exists(dir / "c.img"));
    EXPECT_EQ(test::ReadRecords(true, good).size(), 4u);  // x and y were added
}

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
    EXPECT_NE(r.err.find("its own directory file"), std::string::npos);
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
        lines += Source("src/" + names.back(), test::Pattern(100 + 37 * i, i)) + "\n";
        if (i == 150) {
            lines += "\n";  // empty lines are left out
        }
    }
    test::WriteBytes(dir / "list", Bytes(lines.begin(), lines.end()));
    Result r = Run({"import", "-v", "--files-from", dir / "list", img});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected;
    for (const std::string& name : names) {
        expected += "added " + name + "\n";
    }
    EXPECT_EQ(r.out, expected + "Завершено\n\nЗаменено: 0\nДобавлено: 300\n");

    // Names a line-based list cannot carry; the FILE operand comes before the list.
    const std::string odd = "new\nline.dff";
    const std::string nulList = Source("src/" + odd, test::Pattern(5000, 900)) + '\0' +
                                Source("src/-dash.dff", test::Pattern(1, 901)) + '\0';
    test::WriteBytes(dir / "null-list", Bytes(nulList.begin(), nulList.end()));
    r = Run({"import", "-v", img, "-T", "-", "--null", dir / "src/file 0.dff"}, dir / "null-list");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "replaced file 0.dff\nadded " + odd +
                         "\nadded -dash.dff\nЗавершено\n\nЗаменено: 1\nДобавлено: 2\n");
    names.push_back(odd);
    names.push_back("-dash.dff");

    // Out again: every name and, between them, seven that have no entry.
    std::string wanted;
    std::string missingLines;
    for (size_t i = 0; i < names.size(); ++i) {
        wanted += names[i] + '\0';
        if (i % 50 == 7) {
            const std::string missing = "missing " + std::to_string(i) + ".dff";
            wanted += missing + '\0';
            missingLines += "not found: " + missing + "\n";
        }
    }
    test::WriteBytes(dir / "wanted", Bytes(wanted.begin(), wanted.end()));
    const std::string out = dir / "out";
    std::filesystem::create_directories(out);
    r = Run({"extract", "-T-", "--null", img, out}, dir / "wanted");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, missingLines);
    EXPECT_EQ(r.out, "Извлечено: 302\n");
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string source = dir / ("src/" + names[i]);
        ASSERT_EQ(test::ReadBytes(out + "/" + names[i]), test::Padded(test::ReadBytes(source)))
            << names[i];
    }

    // -q keeps the boxes only; a question is not put to the standard input that held the list.
    r = Run({"extract", "-q", "-T", "-", "--null", img, out}, dir / "wanted");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("not found"), std::string::npos);
    EXPECT_NE(r.err.find("-> no (standard input held the list"), std::string::npos);
    EXPECT_EQ(r.out, "Извлечено: 0\n");
}
}  // namespace
}  // namespace zarnex
