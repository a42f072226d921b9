// The built zarnex-cli, run on archives made here, as a script would run it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>

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

    Result Run(const std::vector<std::string>& args) {
        std::string command = Quote(ZARNEX_CLI_PATH);
        for (const auto& a : args) {
            command += " " + Quote(a);
        }
        command += " >" + Quote(dir / "stdout") + " 2>" + Quote(dir / "stderr") + " </dev/null";
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
        const std::string command = "printf " + Quote(typed) + " | script -qec " + Quote(inner) +
                                    " /dev/null >" + Quote(dir / "tty") + " 2>&1";
        int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(onTerminal("maybe\ny\nc\n"), 1);  // an unclear answer is asked again
    Bytes tty = test::ReadBytes(dir / "tty");
    const std::string screen(tty.begin(), tty.end());
    EXPECT_NE(screen.find("[y]es / [n]o / [c]ancel?"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Извлечено: 1"), std::string::npos) << screen;
    EXPECT_EQ(test::ReadBytes(out + "/a.dff"), test::EntryData({1, 1, "a.dff"}, 0));
    EXPECT_EQ(test::ReadBytes(out + "/b.dff"), Bytes(3, 'x'));  // cancelled before it
}

TEST_F(CliTest, FailuresGiveStatusOneWithTheBoxOnStandardError) {
    Result r = Run({"list", dir / "missing.img"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Zarnex (error)\nIMG файл по указанному пути не найден: \n\n" +
                         (dir / "missing.img") + "\n\n");
    EXPECT_EQ(r.out, "");

    test::WriteBytes(dir / "lone.img", Bytes(100, 1));
    r = Run({"import", dir / "lone.img", Source("x.dff", {1})});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error (error)\nUnable to find DIR file!\n\n");

    test::MakeVersion2(dir / "a.img", {});
    r = Run({"import", dir / "a.img", dir / "nothing.dff", Source("y.dff", {2})});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Zarnex (warning)\nНе удаётся открыть файл: "), std::string::npos);
    EXPECT_EQ(r.out, "Завершено\n\nЗаменено: 0\nДобавлено: 1\n");

    r = Run({"extract", dir / "a.img", dir / "no-such-folder", "y.dff"});
    EXPECT_EQ(r.status, 1);

    r = Run({"extract", dir / "a.img", dir.path(), "not-there.dff"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Извлечено: 0\n");
}

TEST_F(CliTest, UsageErrorsHelpAndVersion) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"list"},
                                               {"import", "a.img"},
                                               {"extract", "a.img", "out"},
                                               {"extract", "-x", "a.img", "out", "n"},
                                               {"extract", "-o", "-n", "a", "b", "c"}}) {
        Result r = Run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage: zarnex-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("extract [-o | -n] ARCHIVE FOLDER NAME..."), std::string::npos);
    Result version = Run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "zarnex-cli 1.2\n");
}

}  // namespace
}  // namespace zarnex
