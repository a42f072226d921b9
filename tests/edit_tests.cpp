// Deleting and renaming entries: which records remain, in which order, and with which bytes.
#include <gtest/gtest.h>

#include "archive/directory.h"
#include "archive/edit.h"
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
            EXPECT_TRUE(outcome.completed);
            EXPECT_EQ(outcome.notFoundCount, c.notFound);
            EXPECT_EQ(outcome.deletedCount, static_cast<int>(c.names.size() - c.remaining.size()));
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
    const std::vector<Case> cases = {
        {{"A.DFF"}, "b.dff", RenameStatus::Renamed, {"b.dff", "c.txd", "c.TXD"}},
        {{"a.dff"}, "A.dff", RenameStatus::Renamed, {"A.dff", "c.txd", "c.TXD"}},
        {{"a.dff"}, "дом.dff", RenameStatus::Renamed, {"\xE4\xEE\xEC.dff", "c.txd", "c.TXD"}},
        {{"a.dff"}, longest, RenameStatus::Renamed, {longest, "c.txd", "c.TXD"}},
        {{"c.txd", 2}, "d.txd", RenameStatus::Renamed, {"a.dff", "c.txd", "d.txd"}},
        {{"c.txd"}, "d.txd", RenameStatus::Renamed, {"a.dff", "d.txd", "c.TXD"}},
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
            test::MakeArchive(version2, img, Row({"a.dff", "c.txd", "c.TXD"}));
            const test::Bytes before = test::ReadBytes(img);
            ScriptedMessageBoxes boxes;
            IoState io;
            EXPECT_EQ(RenameEntry(img, c.entry, c.newName, boxes, io), c.status);
            ASSERT_EQ(boxes.messages.size(), 1u);
            std::vector<std::string> names;
            for (const DirectoryRecord& r : test::ReadRecords(version2, img)) {
                names.push_back(r.name);
            }
            if (c.status == RenameStatus::Renamed) {
                EXPECT_EQ(names, c.names);
            } else {
                EXPECT_EQ(names, (std::vector<std::string>{"a.dff", "c.txd", "c.TXD"}));
                EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Warning);
            }
            if (version2) {  // the data and every other byte of the directory stay
                const test::Bytes after = test::ReadBytes(img);
                ASSERT_EQ(after.size(), before.size());
                for (size_t i = 0; i < after.size(); ++i) {
                    const bool nameField = i >= 8 && (i - 8) % RecordSize >= 8 &&
                                           i < static_cast<size_t>(Version2RecordPosition(3));
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

        EXPECT_EQ(RenameEntry(img, {"a"}, "z", boxes, io), RenameStatus::Renamed);
        const auto records = test::ReadRecords(version2, img);
        ASSERT_EQ(records.size(), 3u);
        EXPECT_EQ(records[0].name, "z");
        EXPECT_EQ(records[2].name, "c");
    }
}

}  // namespace
}  // namespace zarnex
