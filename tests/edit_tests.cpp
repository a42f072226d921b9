// Deleting and renaming entries: which records remain, in which order, and with which bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>

#include "archive/directory.h"
#include "archive/edit.h"
#include "archive/journal.h"
#include "tests/codes.h"
#include "tests/crash_support.h"
#include "tests/scripted_boxes.h"
#include "tests/support.h"

namespace zarnex {
namespace {

using test::TempDir;
using test::TestEntry;

// Entries one sector each, in a row, named as given.
std::vector<TestEntry> Row(const std::vector<std::string>& names) {
    std::vector<TestEntry> entries;
    for (size_t i = 0; i < names.size(); ++i) {
        entries.push_back({static_cast<int32_t>(2 + i), 1, names[i]});
    }
    return entries;
}

struct DeleteCase {
    const char* title;
    std::vector<std::string> names;
    std::vector<EntryChoice> chosen;
    std::vector<std::string> remaining;  // in directory order
    int notFound = 0;
};

TEST(Delete, TheLastRecordsTakeTheFreedPlacesAndEveryBytesStay) {
    const std::vector<DeleteCase> cases = {
        {"a middle entry", {"a", "b", "c", "d"}, {{"B"}}, {"a", "d", "c"}},
        {"the last entry", {"a", "b", "c", "d"}, {{"d"}}, {"a", "b", "c"}},
        {"several, one of them at the end", {"a", "b", "c", "d"}, {{"a"}, {"c"}}, {"d", "b"}},
        {"every entry", {"a", "b"}, {{"a"}, {"b"}}, {}},
        {"a name held twice goes whole", {"a", "x", "b", "X"}, {{"x"}}, {"a", "b"}},
        {"a picked record only, while it has its name",
         {"a", "x", "X"},
         {{"x", 2}, {"a", 1}},
         {"a", "x"},
         1},
        {"the game's choice among twins stays",
         {"a", "x", "b", "c", "X"},
         {{"a"}, {"b"}},
         {"c", "x", "X"}},
        {"names with no entry", {"a"}, {{"q"}, {"a.dff"}}, {"a"}, 2},
        {"an empty name names no entry, even one stored empty", {"a", ""}, {{""}}, {"a", ""}, 1},
    };
    for (bool version2 : {true, false}) {
        for (const DeleteCase& c : cases) {
            SCOPED_TRACE(std::string(c.title) + (version2 ? ", version 2" : ", version 1"));
            TempDir dir;
            const std::string img = dir / "a.img";
            const std::vector<TestEntry> entries = Row(c.names);
            test::MakeArchive(version2, img, entries);
            ScriptedMessageBoxes boxes;
            IoState io;
            const DeleteOutcome outcome = DeleteEntries(img, c.chosen, boxes, {}, io);
            EXPECT_TRUE(outcome.RanToEnd());
            EXPECT_EQ(outcome.notFoundCount, c.notFound);
            EXPECT_EQ(outcome.done, static_cast<int>(c.names.size() - c.remaining.size()));
            std::vector<std::string> names;
            for (const DirectoryRecord& r : test::ReadRecords(version2, img)) {
                names.push_back(r.name);
                // Each record still names the bytes it named before.
                for (size_t i = 0; i < entries.size(); ++i) {
                    if (entries[i].name == r.name) {
                        EXPECT_EQ(r.offset, entries[i].offset) << r.name;
                        EXPECT_EQ(test::ReadSectors(img, r.offset, r.size),
                                  test::EntryData(entries[i], i))
                            << r.name;
                    }
                }
            }
            EXPECT_EQ(names, c.remaining);
        }
    }
}

TEST(Rename, OnlyTheNameFieldOfOneRecordChanges) {
    struct Case {
        EntryChoice entry;
        std::string newName;
        RenameStatus status;
        std::vector<std::string> names;  // afterwards
    };
    const std::string longest(EntryNameLimit, 'n');
    const std::string field = "whole-field-name-24b.dff";  // a name as long as the field
    const std::string upper = UpperAnsi(field);
    const std::vector<Case> cases = {
        {{"A.DFF"}, "b.dff", RenameStatus::Renamed, {"b.dff", "c.txd", "c.TXD", field}},
        {{"a.dff"}, "A.dff", RenameStatus::Renamed, {"A.dff", "c.txd", "c.TXD", field}},
        {{"a.dff"},
         "дом.dff",
         RenameStatus::Renamed,
         {"\xE4\xEE\xEC.dff", "c.txd", "c.TXD", field}},
        {{"a.dff"}, longest, RenameStatus::Renamed, {longest, "c.txd", "c.TXD", field}},
        {{"c.txd", 2}, "d.txd", RenameStatus::Renamed, {"a.dff", "c.txd", "d.txd", field}},
        {{"c.txd"}, "d.txd", RenameStatus::Renamed, {"a.dff", "d.txd", "c.TXD", field}},
        {{field}, upper, RenameStatus::Renamed, {"a.dff", "c.txd", "c.TXD", upper}},
        {{field}, "other-name-of-24-bytes.x", RenameStatus::Invalid, {}},
        {{"a.dff"}, upper, RenameStatus::Invalid, {}},
        {{"a.dff"}, longest + "n", RenameStatus::Invalid, {}},
        {{"a.dff"}, "", RenameStatus::Invalid, {}},
        {{"a.dff"}, "..", RenameStatus::Invalid, {}},
        {{"a.dff"}, "x/y", RenameStatus::Invalid, {}},
        {{"a.dff"}, "x\\y", RenameStatus::Invalid, {}},
        {{"a.dff"}, "c:d", RenameStatus::Invalid, {}},
        {{"a.dff"}, "日本", RenameStatus::Invalid, {}},
        {{"a.dff"}, "C.Txd", RenameStatus::Taken, {}},
        {{"q.dff"}, "r.dff", RenameStatus::NotFound, {}},
        {{"a.dff", 1}, "r.dff", RenameStatus::NotFound, {}},
    };
    for (bool version2 : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.entry.name + " -> " + c.newName + (version2 ? ", v2" : ", v1"));
            TempDir dir;
            const std::string img = dir / "a.img";
            test::MakeArchive(version2, img, Row({"a.dff", "c.txd", "c.TXD", field}));
            const test::Bytes before = test::ReadBytes(img);
            ScriptedMessageBoxes boxes;
            IoState io;
            EXPECT_EQ(RenameEntry(img, c.entry, c.newName, boxes, io).status, c.status);
            ASSERT_EQ(boxes.messages.size(), 1u);
            std::vector<std::string> names;
            for (const DirectoryRecord& r : test::ReadRecords(version2, img)) {
                names.push_back(r.name);
            }
            if (c.status == RenameStatus::Renamed) {
                EXPECT_EQ(names, c.names);
            } else {
                EXPECT_EQ(names, (std::vector<std::string>{"a.dff", "c.txd", "c.TXD", field}));
                EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Warning);
            }
            if (version2) {  // the data and every other byte of the directory stay
                const test::Bytes after = test::ReadBytes(img);
                ASSERT_EQ(after.size(), before.size());
                for (size_t i = 0; i < after.size(); ++i) {
                    const bool nameField = i >= 8 && (i - 8) % RecordSize >= 8 &&
                                           i < static_cast<size_t>(Version2RecordPosition(4));
                    if (!nameField) {
                        ASSERT_EQ(after[i], before[i]) << i;
                    }
                }
            }
        }
    }
}

// A deletion cut off between its two steps leaves the last record twice: the copy at the end is
// not an entry; loading drops it, and the next batch that writes cuts it off.
TEST(Delete, TheCopyAnInterruptedDeletionLeavesIsDroppedThenCut) {
    for (bool version2 : {true, false}) {
        SCOPED_TRACE(version2 ? "version 2" : "version 1");
        TempDir dir;
        const std::string img = dir / "a.img";
        std::vector<TestEntry> entries = Row({"a", "b", "c"});
        entries.push_back(entries[1]);
        test::MakeArchive(version2, img, entries);  // b's record stands at the end again
        ScriptedMessageBoxes boxes;
        IoState io;
        auto read = LoadDirectory(img, io, boxes);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->table.count, 3);
        EXPECT_EQ(read->table.leftovers, 1);
        read.reset();
        EXPECT_EQ(test::ReadRecords(version2, img).size(), 4u);  // reading changes nothing

        EXPECT_EQ(RenameEntry(img, {"a"}, "z", boxes, io).status, RenameStatus::Renamed);
        const auto records = test::ReadRecords(version2, img);
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(records[0].name, "z");
        EXPECT_EQ(records[2].name, "c");
    }
}

// The names of the records as loading shows them, in directory order.
std::vector<std::string> Shown(const std::string& img) {
    IoState io;
    ScriptedMessageBoxes boxes;
    std::vector<std::string> names;
    if (auto archive = LoadDirectory(img, io, boxes)) {
        for (int32_t i = 0; i < archive->table.count; ++i) {
            names.emplace_back(archive->table.entries[static_cast<size_t>(i)].Name());
        }
    }
    return names;
}

// Every record that stays, each past the new count filling one freed place below it; the names
// held more than once whose first record that stays is first afterwards too.
int KeptFirsts(const DirectoryTable& table, const std::vector<uint8_t>& leaving,
               const DeletionPlan& plan) {
    std::vector<int32_t> after(static_cast<size_t>(plan.count), -1);  // record at each place
    for (int32_t i = 0; i < plan.count; ++i) {
        if (!leaving[static_cast<size_t>(i)]) {
            after[static_cast<size_t>(i)] = i;
        }
    }
    for (const RecordMove& m : plan.moves) {
        EXPECT_TRUE(m.from >= plan.count && !leaving[static_cast<size_t>(m.from)]);
        EXPECT_EQ(after.at(static_cast<size_t>(m.to)), -1);
        after.at(static_cast<size_t>(m.to)) = m.from;
    }
    std::map<AnsiString, std::vector<int32_t>> before, now;
    for (int32_t i = 0; i < table.count; ++i) {
        if (!leaving[static_cast<size_t>(i)]) {
            before[LowerAnsi(table.entries[static_cast<size_t>(i)].Name())].push_back(i);
        }
    }
    for (int32_t r : after) {
        EXPECT_GE(r, 0);
        now[LowerAnsi(table.entries[static_cast<size_t>(std::max(r, 0))].Name())].push_back(r);
    }
    int kept = 0;
    for (const auto& [name, records] : before) {
        kept += records.size() > 1 && now[name].front() == records.front();
    }
    return kept;
}

// Small archives full of names held twice and thrice, each deletion planned and then set against
// every other way of filling the freed places: the plan keeps the first record of as many such
// names as the best of them.
TEST(Delete, ThePlanKeepsTheGamesTwinWheneverAnyChoiceAllows) {
    std::mt19937 random(25);
    const char* const names[] = {"a", "A", "b", "B", "c", "d", "E", "e", "f"};
    for (int round = 0; round < 400; ++round) {
        DirectoryTable table;
        table.count = 3 + static_cast<int32_t>(random() % 9);
        table.entries.resize(static_cast<size_t>(table.count));
        std::vector<uint8_t> leaving;
        for (DirectoryEntry& e : table.entries) {
            e.SetName(names[random() % 9]);
            leaving.push_back(random() % 3 == 0);
        }
        const DeletionPlan plan = PlanDeletion(table, leaving);
        SCOPED_TRACE(round);
        ASSERT_EQ(plan.count, table.count - std::count(leaving.begin(), leaving.end(), 1));
        std::vector<int32_t> movers;
        for (const RecordMove& m : plan.moves) {
            movers.push_back(m.from);
        }
        std::sort(movers.begin(), movers.end());
        int best = -1;
        DeletionPlan other = plan;
        do {
            for (size_t k = 0; k < movers.size(); ++k) {
                other.moves[k].from = movers[k];
            }
            best = std::max(best, KeptFirsts(table, leaving, other));
        } while (std::next_permutation(movers.begin(), movers.end()));
        const int kept = KeptFirsts(table, leaving, plan);
        EXPECT_EQ(kept, best);
    }
}

// A deletion whose disk fails at any one of its operations: afterwards loading shows all of the
// chosen entries or none, the "deleted" lines come only with the change made for good, and the
// box says how the archive was left.
TEST(Delete, AFailureAtAnyOperationLeavesAllOrNothingAndSaysWhich) {
    const std::vector<std::string> names = {"a", "b", "c", "d", "e", "f", "g", "h"};
    const std::vector<EntryChoice> chosen = {{"b"}, {"e"}, {"d"}};
    const std::vector<std::string> kept = {"a", "f", "c", "g", "h"};
    for (bool version2 : {true, false}) {
        long long operations = 0;
        for (long long failAt = 1; failAt == 1 || failAt <= operations; ++failAt) {
            SCOPED_TRACE(std::to_string(failAt) + (version2 ? ", version 2" : ", version 1"));
            TempDir dir;
            const std::string img = dir / "a.img";
            test::MakeArchive(version2, img, Row(names));
            const test::Bytes image = test::ReadBytes(img);
            const test::Bytes directory =
                version2 ? test::Bytes{} : test::ReadBytes(DirectoryFilePath(img));
            test::TestFileSystem files;
            files.failAt = operations == 0 ? 0 : failAt;
            files.failErrno = test::IoFailure;
            IoState io{.fileSystem = &files};
            ScriptedMessageBoxes boxes;
            int lines = 0;
            DeleteCallbacks callbacks;
            callbacks.deleted = [&](const std::string&) { ++lines; };
            const DeleteOutcome outcome = DeleteEntries(img, chosen, boxes, callbacks, io);
            if (operations == 0) {  // the run without a failure counts the operations
                operations = files.operations;
                ASSERT_TRUE(outcome.RanToEnd());
                continue;
            }
            const MessageId last = boxes.messages.back().id;
            EXPECT_EQ(lines, outcome.RanToEnd() ? 3 : 0);
            if (outcome.RanToEnd() || last == MessageId::ChangeUnconfirmed) {
                EXPECT_EQ(Shown(img), kept);
            } else {
                EXPECT_EQ(Shown(img), names);
            }
            // One failing operation never leaves a journal: the batch puts the old bytes back
            // itself.
            EXPECT_NE(last, MessageId::ChangeWaiting);
            EXPECT_FALSE(std::filesystem::exists(test::FsPath(JournalPath(img))));
            if (last == MessageId::ChangeUndone) {
                EXPECT_EQ(boxes.shown.back().text.rfind(test::IoErrorText(test::IoFailure), 0), 0u);
                EXPECT_EQ(test::ReadBytes(img), image);
                EXPECT_EQ(version2 ? test::Bytes{} : test::ReadBytes(DirectoryFilePath(img)),
                          directory);
            }
            // The next batch that writes finds the archive as loading showed it.
            EXPECT_EQ(RenameEntry(img, {"a"}, "z", boxes, io).status, RenameStatus::Renamed);
            EXPECT_FALSE(std::filesystem::exists(test::FsPath(JournalPath(img))));
        }
    }
}

// A batch's kept journal through two changes that each add records across a disk sector, with
// each operation of the second failing in turn: the ".dir" holds both changes or the first
// alone, as the outcome says, and no journal is left once the batch lets the journal go.
TEST(Journal, AKeptJournalLeavesOneChangeOrTheOtherWhereverTheSecondFails) {
    const auto records = [](int from, int count) {
        std::vector<unsigned char> bytes;
        for (int i = from; i < from + count; ++i) {
            const RecordBytes r = EncodeRecord({2 + i, 1, "added" + std::to_string(i)});
            bytes.insert(bytes.end(), r.begin(), r.end());
        }
        return bytes;
    };
    long long firstOps = 0, operations = 0;
    for (long long failAt = 0; failAt == 0 || failAt <= operations; ++failAt) {
        SCOPED_TRACE(failAt);
        TempDir dir;
        const std::string img = dir / "a.img";
        test::MakeArchive(false, img, Row({"a", "b", "c"}));
        test::TestFileSystem files;
        files.failErrno = test::IoFailure;
        IoState io{.fileSystem = &files};
        ScriptedMessageBoxes boxes;
        ChangeResult second;
        {
            std::optional<OpenArchive> archive = OpenForWriting(img, io, boxes);
            ASSERT_TRUE(archive);
            KeptJournal kept;
            DirectoryChange first(*archive, &kept);
            first.Write(3 * RecordSize, records(3, 20));
            ASSERT_EQ(first.Commit().outcome, ChangeOutcome::Done);
            firstOps = files.operations;
            files.failAt = failAt == 0 ? 0 : firstOps + failAt;
            DirectoryChange next(*archive, &kept);
            next.Write(23 * RecordSize, records(23, 20));
            second = next.Commit();
            RemoveKeptJournal(*archive, kept);
        }
        if (failAt == 0) {  // the run without a failure counts the second change's operations
            operations = files.operations - firstOps;
        }
        const bool made =
            second.outcome == ChangeOutcome::Done || second.outcome == ChangeOutcome::Unconfirmed;
        EXPECT_NE(second.outcome, ChangeOutcome::Waiting);  // one failure is undone at once
        EXPECT_EQ(test::ReadBytes(DirectoryFilePath(img)).size(),
                  static_cast<size_t>((made ? 43 : 23) * RecordSize));
        EXPECT_FALSE(std::filesystem::exists(test::FsPath(JournalPath(img))));
    }
}

// What may lie beside an archive where its journal goes, and what loading shows and a rename
// does then: a journal of a deletion that stopped part-way is rolled back, a torn one removed,
// one that does not fit the archive (another's, or the archive changed since) refused with
// nothing written, and so is what cannot be read.
TEST(Journal, WhatLiesBesideTheArchiveDecidesWhatABatchDoes) {
    const std::vector<std::string> names = {"car.dff", "car.txd", "bike.dff", "bike.txd", "x.col"};
    const std::vector<EntryChoice> chosen = {{"car.dff"}, {"bike.txd"}};
    enum Result { RolledBack, Removed, Refused };
    struct Case {
        const char* title;
        std::function<void(const std::string& img, const std::string& journal)> arrange;
        Result result;
        MessageId refusal = MessageId::JournalForeign;
    };
    auto truncate = [](const std::string& path, size_t cut) {
        test::Bytes bytes = test::ReadBytes(path);
        bytes.resize(bytes.size() - std::min(bytes.size(), cut));
        test::WriteBytes(path, bytes);
    };
    const std::vector<Case> cases = {
        {"a deletion stopped part-way", [](const std::string&, const std::string&) {}, RolledBack},
        {"its last byte lost",
         [&](const std::string& img, const std::string& journal) {
             truncate(journal, 1);
             test::MakeArchive(!std::filesystem::exists(test::FsPath(DirectoryFilePath(img))), img,
                               Row(names));
         },
         Removed},
        {"nothing of it kept",
         [&](const std::string&, const std::string& journal) { truncate(journal, SIZE_MAX); },
         Removed},
        {"a byte of it changed",
         [](const std::string&, const std::string& journal) {
             test::Bytes bytes = test::ReadBytes(journal);
             bytes[bytes.size() / 2] ^= 1;
             test::WriteBytes(journal, bytes);
         },
         Removed},
        {"the archive changed since",
         [](const std::string& img, const std::string&) {
             // "car.txd", which the deletion leaves where it is, renamed by another program.
             const bool version1 = std::filesystem::exists(test::FsPath(DirectoryFilePath(img)));
             const std::string records = version1 ? DirectoryFilePath(img) : img;
             test::Bytes bytes = test::ReadBytes(records);
             bytes.at(version1 ? RecordSize + 8 : Version2RecordPosition(1) + 8) = 'b';
             test::WriteBytes(records, bytes);
         },
         Refused},
        {"another archive's",
         [&](const std::string& img, const std::string&) {
             const bool version1 = std::filesystem::exists(test::FsPath(DirectoryFilePath(img)));
             test::MakeArchive(!version1, img, Row({"other.dff", "car.dff", "x", "y", "z"}));
         },
         Refused},
        {"a folder, beside an archive as it was",
         [&](const std::string& img, const std::string& journal) {
             std::filesystem::remove(test::FsPath(journal));
             std::filesystem::create_directory(test::FsPath(journal));
             test::MakeArchive(!std::filesystem::exists(test::FsPath(DirectoryFilePath(img))), img,
                               Row(names));
         },
         Refused, MessageId::ChangeUndone},
    };
    for (bool version2 : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.title) + (version2 ? ", version 2" : ", version 1"));
            TempDir dir;
            const std::string img = dir / "a.img";
            const std::string journal = JournalPath(img);
            test::MakeArchive(version2, img, Row(names));
            ASSERT_EQ(test::InterruptDeletion(img, chosen), "");
            c.arrange(img, journal);
            const std::vector<std::string> before = Shown(img);
            const test::Bytes records = test::ReadBytes(version2 ? img : DirectoryFilePath(img));
            if (c.result == RolledBack) {
                EXPECT_EQ(before, names);  // as the rollback will leave it
            }
            ScriptedMessageBoxes boxes;
            IoState io;
            const RenameStatus status = RenameEntry(img, {"x.col"}, "y.col", boxes, io).status;
            if (c.result == Refused) {
                EXPECT_EQ(status, RenameStatus::NotRun);
                EXPECT_EQ(boxes.messages.back().id, c.refusal);
                EXPECT_EQ(test::ReadBytes(version2 ? img : DirectoryFilePath(img)), records);
                EXPECT_TRUE(std::filesystem::exists(test::FsPath(journal)));
                continue;
            }
            EXPECT_EQ(status, RenameStatus::Renamed);
            EXPECT_FALSE(std::filesystem::exists(test::FsPath(journal)));
            std::vector<std::string> after = before;
            std::replace(after.begin(), after.end(), std::string("x.col"), std::string("y.col"));
            EXPECT_EQ(Shown(img), after);
        }
    }
}

}  // namespace
}  // namespace zarnex
