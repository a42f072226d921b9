// Running the import batch in tests and checking what it left on disk.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "archive/import.h"
#include "tests/scripted_boxes.h"
#include "tests/support.h"
#include "tests/test_file_system.h"

namespace zarnex::test {

struct ImportRun {
    ScriptedMessageBoxes boxes;
    TestFileSystem files;
    IoState io{.fileSystem = &files};
    std::vector<int> progress;
    std::vector<std::string> removed;
    ImportOutcome outcome;

    void Run(const std::string& archive, const std::vector<std::string>& paths) {
        ImportCallbacks callbacks;
        callbacks.progress = [this](int done, int) { progress.push_back(done); };
        callbacks.removeFromImportList = [this](const std::string& p, ImportKind) {
            removed.push_back(p);
        };
        outcome = ImportFiles(archive, paths, boxes, callbacks, io);
    }

    std::string LastText() const { return boxes.shown.empty() ? "" : boxes.shown.back().text; }
};

inline std::string Summary(int replaced, int added) {
    return "Завершено\n\nЗаменено: " + std::to_string(replaced) +
           "\nДобавлено: " + std::to_string(added);
}

// Every record names exactly the bytes expected for it (looked up by stored name), no two
// records with data overlap, and in version 2 no data starts inside the directory.
inline void ExpectArchive(const std::string& imgPath, bool version2,
                          const std::map<std::string, Bytes>& expected) {
    Bytes image = ReadBytes(imgPath);
    std::vector<DirectoryRecord> records = ReadRecords(version2, imgPath);
    ASSERT_EQ(records.size(), expected.size());
    const int64_t directoryEnd = version2 ? Version2RecordPosition(records.size()) : 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const DirectoryRecord& r = records[i];
        auto it = expected.find(r.name);
        ASSERT_NE(it, expected.end()) << "unexpected record " << r.name;
        EXPECT_EQ(r.size, SectorsFor(static_cast<int64_t>(it->second.size()))) << r.name;
        EXPECT_TRUE(SectorsOf(image, r.offset, r.size) == Padded(it->second)) << r.name;
        EXPECT_LE(SectorToByte(r.offset) + SectorToByte(r.size), static_cast<int64_t>(image.size()))
            << r.name;
        if (r.size > 0) {
            EXPECT_GE(SectorToByte(r.offset), directoryEnd) << r.name;
        }
        for (size_t j = 0; j < i; ++j) {
            const DirectoryRecord& o = records[j];
            if (r.size > 0 && o.size > 0) {
                EXPECT_TRUE(r.offset + r.size <= o.offset || o.offset + o.size <= r.offset)
                    << r.name << " overlaps " << o.name;
            }
        }
    }
}

}  // namespace zarnex::test
