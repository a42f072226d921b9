// Every batch driven to each of its ends: the outcome it reports in the shape all of them share,
// and the exit status that the command line makes of it.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/compact.h"
#include "archive/create.h"
#include "archive/edit.h"
#include "archive/extract.h"
#include "archive/import.h"
#include "cli/exit_status.h"
#include "tests/scripted_boxes.h"
#include "tests/support.h"

namespace zarnex {
namespace {

// A sound good.img of a.dff and b.dff, a damaged bad.img, a gap.img with one gap, the files
// x.dff and y.dff, and the folder o.
struct Scene {
    test::TempDir dir;
    ScriptedMessageBoxes boxes;
    IoState io;
    std::vector<int> progress;  // each report's done, checked against its total

    Scene() {
        test::MakeVersion2(dir / "good.img", {{1, 1, "a.dff"}, {2, 1, "b.dff"}});
        test::MakeVersion2(dir / "bad.img", {{1, 2, "a.dff"}, {2, 1, "b.dff"}});
        test::MakeVersion2(dir / "gap.img", {{1, 1, "a.dff"}, {5, 1, "b.dff"}});
        test::WriteBytes(dir / "x.dff", test::Pattern(3000, 1));
        test::WriteBytes(dir / "y.dff", test::Pattern(10, 2));
        std::filesystem::create_directories(dir / "o");
    }
    std::string operator/(const std::string& name) const { return dir / name; }
    // A batch's callbacks with only the progress.
    template <typename Callbacks>
    Callbacks Reporting() {
        Callbacks callbacks;
        callbacks.progress = Reporter();
        return callbacks;
    }
    Progress Reporter() {
        return [this](int done, int total) {
            EXPECT_LE(done, total);
            progress.push_back(done);
        };
    }
    BatchOutcome Import(const std::string& img, const std::vector<std::string>& files) {
        std::vector<std::string> paths;
        for (const std::string& f : files) {
            paths.push_back(dir / f);
        }
        return ImportFiles(dir / img, paths, boxes, Reporting<ImportCallbacks>(), io);
    }
    BatchOutcome Extract(const std::string& img, const std::vector<std::string>& names) {
        return ExtractFiles(dir / img, dir / "o", names, boxes, Reporting<ExtractCallbacks>(), io);
    }
    BatchOutcome Compact(const std::string& img) {
        return CompactArchive(dir / img, boxes, io, Reporter());
    }
    BatchOutcome Delete(const std::string& img, const std::vector<EntryChoice>& chosen) {
        return DeleteEntries(dir / img, chosen, boxes, Reporting<DeleteCallbacks>(), io);
    }
    BatchOutcome Rename(const std::string& img, const std::string& from, const std::string& to) {
        return RenameEntry(dir / img, {from}, to, boxes, io);
    }
    BatchOutcome Create(const std::string& img) {
        return CreateArchive(dir / img, ArchiveVersion::Two, io);
    }
};

struct OutcomeRow {
    const char* what;
    BatchOutcome (*run)(Scene& scene);
    BatchEnd end;
    int done;
    int total;
    int exit;
    bool coded = false;  // the error that stopped it carries the system's code
    int unmatched = 0;   // what the command line's patterns found nothing for
};

void PrintTo(const OutcomeRow& row, std::ostream* os) {
    *os << row.what;
}

const OutcomeRow kOutcomeRows[] = {
    {"import: every file",
     [](Scene& s) {
         return s.Import("good.img", {"x.dff", "y.dff"});
     },
     BatchEnd::Done, 2, 2, cli::ExitDone},
    {"import: a file that does not open",
     [](Scene& s) {
         return s.Import("good.img", {"none.dff", "y.dff"});
     },
     BatchEnd::Partly, 1, 2, cli::ExitPartly},
    {"import: a pattern of the command line found nothing",
     [](Scene& s) { return s.Import("good.img", {"x.dff"}); }, BatchEnd::Done, 1, 1,
     cli::ExitPartly, false, 1},
    {"import: no archive", [](Scene& s) { return s.Import("none.img", {"x.dff"}); },
     BatchEnd::NotRun, 0, 1, cli::ExitNotRun},
    {"import: a damaged archive", [](Scene& s) { return s.Import("bad.img", {"x.dff"}); },
     BatchEnd::NotRun, 0, 1, cli::ExitNotRun},
    {"extract: every name",
     [](Scene& s) {
         return s.Extract("good.img", {"a.dff", "B.DFF"});
     },
     BatchEnd::Done, 2, 2, cli::ExitDone},
    {"extract: a name without an entry",
     [](Scene& s) {
         return s.Extract("good.img", {"a.dff", "c.dff"});
     },
     BatchEnd::Partly, 1, 2, cli::ExitPartly},
    {"extract: cancelled at the question",
     [](Scene& s) {
         test::WriteBytes(s / "o/b.dff", {1});
         s.boxes.Answer(MessageAnswer::Cancel);
         return s.Extract("good.img", {"a.dff", "b.dff"});
     },
     BatchEnd::NotRun, 1, 2, cli::ExitNotRun},
    {"extract: no archive", [](Scene& s) { return s.Extract("none.img", {"a.dff"}); },
     BatchEnd::NotRun, 0, 1, cli::ExitNotRun},
    {"compact: a gap closed", [](Scene& s) { return s.Compact("gap.img"); }, BatchEnd::Done, 1, 2,
     cli::ExitDone},
    {"compact: a damaged archive", [](Scene& s) { return s.Compact("bad.img"); }, BatchEnd::NotRun,
     0, 0, cli::ExitNotRun},
    {"delete: every name", [](Scene& s) { return s.Delete("good.img", {{"A.DFF"}}); },
     BatchEnd::Done, 1, 1, cli::ExitDone},
    {"delete: a name without an entry",
     [](Scene& s) {
         return s.Delete("good.img", {{"a.dff"}, {"c.dff"}});
     },
     BatchEnd::Partly, 1, 1, cli::ExitPartly},
    {"delete: a damaged archive", [](Scene& s) { return s.Delete("bad.img", {{"a.dff"}}); },
     BatchEnd::NotRun, 0, 0, cli::ExitNotRun},
    {"rename", [](Scene& s) { return s.Rename("good.img", "a.dff", "c.dff"); }, BatchEnd::Done, 1,
     1, cli::ExitDone},
    {"rename: a name another entry has",
     [](Scene& s) { return s.Rename("good.img", "a.dff", "B.dff"); }, BatchEnd::Partly, 0, 1,
     cli::ExitPartly},
    {"rename: no archive", [](Scene& s) { return s.Rename("none.img", "a.dff", "c.dff"); },
     BatchEnd::NotRun, 0, 1, cli::ExitNotRun},
    {"create", [](Scene& s) { return s.Create("new.img"); }, BatchEnd::Done, 1, 1, cli::ExitDone},
    {"create: the file exists", [](Scene& s) { return s.Create("good.img"); }, BatchEnd::NotRun, 0,
     1, cli::ExitNotRun},
    {"create: in no folder", [](Scene& s) { return s.Create("none/new.img"); }, BatchEnd::NotRun, 0,
     1, cli::ExitNotRun, true},
};

class BatchOutcomes : public ::testing::TestWithParam<OutcomeRow> {};

TEST_P(BatchOutcomes, EndCountsAndExitStatus) {
    const OutcomeRow& row = GetParam();
    Scene scene;
    const BatchOutcome outcome = row.run(scene);
    EXPECT_EQ(outcome.end, row.end);
    EXPECT_EQ(outcome.done, row.done);
    EXPECT_EQ(outcome.total, row.total);
    EXPECT_EQ(outcome.error != 0, row.coded) << outcome.error;
    EXPECT_EQ(outcome.RanToEnd(), row.end != BatchEnd::NotRun);
    EXPECT_EQ(cli::ExitStatusOf(outcome, row.unmatched), row.exit);
    // A batch that ran to its end reported all of it last.
    if (outcome.RanToEnd() && !scene.progress.empty()) {
        EXPECT_EQ(scene.progress.back(), outcome.total);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, BatchOutcomes, ::testing::ValuesIn(kOutcomeRows));

}  // namespace
}  // namespace zarnex
