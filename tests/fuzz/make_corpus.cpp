// Writes the seed corpus of each fuzz target: fuzz_corpus FOLDER makes FOLDER/directory,
// FOLDER/import, FOLDER/extract and FOLDER/edit. With --regressions it writes the issue's
// reproducers instead, which are kept in tests/fuzz/regressions.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_case.h"

using namespace zarnex;
using zarnex::fuzz::InFolder;
using zarnex::fuzz::SourceKind;
using zarnex::fuzz::Writer;

namespace {

using Records = std::vector<DirectoryRecord>;

void Put(const std::string& folder, const std::string& name, const Writer& w) {
    std::filesystem::create_directories(folder);
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(w.bytes().data(), static_cast<std::streamsize>(w.bytes().size()));
}

std::string Data(size_t length, unsigned seed) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(seed >> 23);
    }
    return bytes;
}

// A version-2 image with every entry's sectors filled, at least `sectors` long.
std::string Version2Image(const Records& records, int64_t sectors = 0) {
    std::string image = Writer::Version2(records);
    for (size_t i = 0; i < records.size(); ++i) {
        const DirectoryRecord& r = records[i];
        if (r.offset < 0 || r.size <= 0 || r.offset + r.size > 64) {
            continue;
        }
        const size_t start = static_cast<size_t>(SectorToByte(r.offset));
        const std::string data = Data(static_cast<size_t>(SectorToByte(r.size)), 100 + i);
        image.resize(std::max(image.size(), start + data.size()));
        image.replace(start, data.size(), data);
    }
    image.resize(std::max<size_t>(image.size(), static_cast<size_t>(SectorToByte(sectors))));
    return image;
}

std::string Version1Image(const Records& records) {
    std::string image = Version2Image(records);
    image.replace(0, std::min<size_t>(image.size(), 8 + 32 * records.size()),
                  std::min<size_t>(image.size(), 8 + 32 * records.size()), '\x5A');
    return image;
}

// Entries of all kinds an archive meets: packed, with gaps, empty ones sharing a sector, a
// duplicate name in another case, a 24-character name.
Records Typical() {
    return {{2, 3, "car.dff"}, {5, 0, "empty.txd"},           {5, 2, "car.txd"},
            {9, 1, "CAR.DFF"}, {12, 4, std::string(24, 'n')}, {20, 0, "last.col"}};
}

Records Damaged() {
    return {{0, 3, "head.dff"},      {1, 1, "inside.txd"}, {2, 5, "across.dff"},
            {-4, 2, "neg.ipl"},      {7, -1, "minus.col"}, {1 << 20, 1, "far.dff"},
            {3, 1 << 20, "huge.txd"}};
}

// 63 entries from sector 1: the next addition must move the lowest one.
Records Full() {
    Records records;
    for (int i = 0; i < 63; ++i) {
        records.push_back({1 + i, 1, "e" + std::to_string(i) + ".dff"});
    }
    return records;
}

void Seeds(const std::string& root) {
    const std::string dir = root + "/directory";
    const std::string steps = Data(96, 7);
    Put(dir, "v2-empty", Writer().Image(Writer::Version2({})).Steps(steps));
    Put(dir, "v1-empty", Writer().Image("").Directory("").Steps(steps));
    Put(dir, "v2-typical", Writer().Image(Version2Image(Typical())).Steps(steps));
    Put(dir, "v1-typical",
        Writer()
            .Image(Version1Image(Typical()))
            .Directory(Writer::RecordsOf(Typical()))
            .Steps(steps));
    Put(dir, "v2-damaged", Writer().Image(Version2Image(Damaged())).Steps(steps));
    Put(dir, "v1-damaged",
        Writer().Image("").Directory(Writer::RecordsOf(Damaged()) + "tail").Steps(steps));
    Put(dir, "v2-full", Writer().Image(Version2Image(Full())).Steps(steps));
    Put(dir, "v2-short-count", Writer().Image("VER2\x02").Steps(steps));
    Put(dir, "v2-beyond-2GiB",
        Writer().Image("VER2" + Writer::U32(1 << 26)).ImageLength(uint64_t{3} << 30));
    Put(dir, "v1-many-records",
        Writer().Image("").Records('D', 3000, 2, 0, {1, 1, "r.dff"}).Steps(steps));

    const std::string imp = root + "/import";
    const std::string small = Data(3000, 1), tiny = Data(10, 2), whole = Data(4096, 3);
    for (bool version2 : {true, false}) {
        const std::string v = version2 ? "v2-" : "v1-";
        auto archive = [&](const Records& records) {
            Writer w;
            if (version2) {
                w.Image(Version2Image(records));
            } else {
                w.Image(Version1Image(records)).Directory(Writer::RecordsOf(records));
            }
            return w;
        };
        Put(imp, v + "typical",
            archive(Typical())
                .Source(SourceKind::Regular, "CAR.DFF", small)
                .Source(SourceKind::Regular, "new.txd", tiny)
                .Source(SourceKind::Regular, "zero.col", "")
                .Source(SourceKind::Regular, "whole.ifp", whole)
                .Source(SourceKind::Regular, "car.dff", tiny));
        Put(imp, v + "damaged",
            archive(Damaged())
                .Source(SourceKind::Regular, "head.dff", small)
                .Source(SourceKind::Regular, "a-name-longer-than-its-field.dff", tiny));
        Put(imp, v + "kinds",
            archive({{1, 1, "a.dff"}})
                .Source(SourceKind::Fifo, "pipe.dff", "")
                .Source(SourceKind::Folder, "folder.dff", "")
                .Source(SourceKind::Missing, "missing.dff", "")
                .Source(SourceKind::TheArchive, "", "")
                .Source(SourceKind::Regular, "\xff\xfe.dff", tiny)
                .Source(SourceKind::Regular, "a.dff", tiny));
    }
    Put(imp, "v2-full",
        Writer()
            .Image(Version2Image(Full()))
            .Source(SourceKind::Regular, "added.dff", small)
            .Source(SourceKind::Regular, "e5.dff", tiny));
    Put(imp, "v1-empty", Writer().Image("").Directory("").Source(SourceKind::Regular, "a", small));

    const std::string ext = root + "/extract";
    Put(ext, "v2-typical",
        Writer()
            .Image(Version2Image(Typical()))
            .Name("car.dff")
            .Name("EMPTY.TXD")
            .Name(std::string(24, 'N'))
            .Name("absent.dff")
            .Name("car.txd")
            .Existing("car.txd", "old")
            .Answers("\x01\x00"));
    Put(ext, "v1-typical",
        Writer()
            .Image(Version1Image(Typical()))
            .Directory(Writer::RecordsOf(Typical()))
            .Name("last.col")
            .Name("Car.Dff")
            .Name("car.dff")
            .Answers("\x00"));
    Put(ext, "v2-damaged",
        Writer()
            .Image(Version2Image(Damaged()))
            .Name("head.dff")
            .Name("inside.txd")
            .Name("neg.ipl")
            .Name("minus.col")
            .Name("far.dff")
            .Name("across.dff"));
    Put(ext, "v2-hostile-names",
        Writer()
            .Image(Version2Image({{1, 1, ".."},
                                  {2, 1, "../up.dff"},
                                  {3, 1, "a/b.dff"},
                                  {4, 1, "."},
                                  {5, 1, "\xe0\xe1.txd"}}))
            .Name("..")
            .Name("../up.dff")
            .Name("a/b.dff")
            .Name(".")
            .Name("\xd0\xb0\xd0\xb1.txd"));

    // Links, a folder and a pipe at the names of the entries; each box answered Yes or No; and
    // another program that puts a link back where the batch removed one.
    auto linked = [&](const std::string& answers, bool rival) {
        Writer w;
        w.Image(Version2Image(Typical()))
            .Node(InFolder::LinkToVictim, "car.dff")
            .Node(InFolder::LinkToNothing, "car.txd")
            .Node(InFolder::LinkToFolder, "last.col")
            .Node(InFolder::LinkToArchive, "empty.txd")
            .Node(InFolder::Folder, std::string(24, 'n'))
            .Node(InFolder::Fifo, "CAR.DFF");
        for (const char* name : {"car.dff", "car.txd", "last.col", "empty.txd", "CAR.DFF"}) {
            w.Name(name);
        }
        w.Name(std::string(24, 'n')).Answers(answers);
        return rival ? w.Node(InFolder::Rival, "") : w;
    };
    Put(ext, "v2-links-answered-yes", linked("", false));
    Put(ext, "v2-links-answered-no", linked(std::string(4, '\x01'), false));
    Put(ext, "v2-links-and-a-rival", linked("", true));
    Put(ext, "v1-a-link-answered-yes",
        Writer()
            .Image(Version1Image(Typical()))
            .Directory(Writer::RecordsOf(Typical()))
            .Node(InFolder::LinkToVictim, "car.txd")
            .Name("car.txd"));

    // The first step byte: even deletes, odd renames; the next ones pick a record (192 + index).
    const std::string edit = root + "/edit";
    const std::string del(1, '\0'), ren(1, '\1');
    const Records twins = {{2, 1, "a.dff"}, {3, 1, "x.txd"}, {4, 1, "X.TXD"},
                           {5, 1, "b.col"}, {3, 1, "x.txd"}, {6, 1, "x.txd"}};
    for (bool version2 : {true, false}) {
        const std::string v = version2 ? "v2-" : "v1-";
        auto archive = [&](const Records& records, const std::string& tail = "") {
            Writer w;
            if (version2) {
                w.Image(Version2Image(records) + tail);
            } else {
                w.Image(Version1Image(records)).Directory(Writer::RecordsOf(records) + tail);
            }
            return w;
        };
        Put(edit, v + "delete-typical",
            archive(Typical()).Name("car.dff").Name("EMPTY.txd").Name("absent").Steps(del));
        Put(edit, v + "delete-damaged",
            archive(Damaged()).Name("head.dff").Name("neg.ipl").Name("huge.txd").Steps(del));
        Put(edit, v + "delete-twins-and-a-picked-one",
            archive(twins).Name("a.dff").Name("x.txd").Name("b.col").Steps(
                std::string("\0\0\xc2", 3)));
        Put(edit, v + "delete-many", archive(Full()).Name("e0.dff").Name("e5.dff").Name("e62.dff"));
        // The copy an interrupted deletion left at the end.
        Records leftover = Typical();
        leftover.push_back(leftover[2]);
        Put(edit, v + "delete-after-an-interruption", archive(leftover).Name("car.dff").Steps(del));
        Put(edit, v + "rename", archive(Typical()).Name("car.txd").Name("renamed.txd").Steps(ren));
        Put(edit, v + "rename-a-picked-twin",
            archive(twins).Name("x.txd").Name("y.txd").Steps(ren + "\xc4"));
        Put(edit, v + "rename-to-a-taken-name",
            archive(leftover).Name("car.txd").Name("CAR.DFF").Steps(ren));
        Put(edit, v + "rename-own-case",
            archive(Typical()).Name("last.col").Name("LAST.COL").Steps(ren));
        for (const std::string& bad :
             {std::string(24, 'n'), std::string("a/b"), std::string(".."), std::string("\x01"),
              std::string("\xf0\x9f\x98\x80"), std::string()}) {
            Put(edit, v + "rename-invalid-" + std::to_string(bad.size()),
                archive(Typical()).Name("car.dff").Name(bad).Steps(ren));
        }
        Put(edit, v + "rename-own-case-of-the-whole-field",
            archive(Typical()).Name(std::string(24, 'n')).Name(std::string(24, 'N')).Steps(ren));
        // What lies where the journal goes, for each way the Journal chunk has (see edit_fuzz).
        const char* const journals[] = {"bytes",     "stopped",       "never-reached",  "torn",
                                        "byte-lost", "changed-since", "another-archive"};
        for (char how = 0; how < 7; ++how) {
            const Records others = {{2, 1, "other.dff"}, {3, 2, "car.dff"}, {5, 1, "x.col"}};
            const std::string other = version2 ? Version2Image(others) : Writer::RecordsOf(others);
            const std::string bytes = how == 0   ? std::string("ZXJRNL01") + Data(80, 9)
                                      : how == 6 ? other
                                                 : std::string(1, static_cast<char>(how * 5));
            Put(edit, v + "journal-" + journals[static_cast<int>(how)],
                archive(Typical())
                    .Name("car.dff")
                    .Name("car.txd")
                    .Steps(how % 2 ? del : ren)
                    .Journal(how, bytes));
        }
    }
    // A partial record at the end of the .dir; a count that runs past its records.
    Put(edit, "v1-partial-record",
        Writer()
            .Image(Version1Image(Typical()))
            .Directory(Writer::RecordsOf(Typical()) + "tail")
            .Name("car.txd")
            .Steps(del));
    Put(edit, "v2-count-past-the-records",
        Writer().Image("VER2" + Writer::U32(1000) + Writer::RecordsOf(Typical())).Name("car.txd"));
    Put(edit, "v1-identical-records",
        Writer()
            .Image("")
            .Records('D', 300, 0, 0, {5, 1, "same.dff"})
            .Directory(Writer::RecordsOf({{6, 1, "other.dff"}}))
            .Name("other.dff"));
}

// The reproducers of the issue, each named for its number.
void Regressions(const std::string& root) {
    const uint32_t huge = 0x7FFFFEFF;
    const Writer sparse2 =
        Writer().Image("VER2" + Writer::U32(huge)).ImageLength(8 + uint64_t{32} * huge);
    const Writer sparse1 = Writer().Image("").Directory("").DirectoryLength(uint64_t{32} * huge);
    // Only the directory target makes files of any length; the batches' targets cap them.
    Put(root + "/directory", "repro-1-sparse-version-2", sparse2);
    Put(root + "/directory", "repro-1-sparse-dir", sparse1);
    Put(root + "/import", "repro-2-fifo-among-sources",
        Writer()
            .Image(Version2Image({{1, 1, "a.dff"}}))
            .Source(SourceKind::Regular, "before.dff", "b")
            .Source(SourceKind::Fifo, "pipe.dff", "")
            .Source(SourceKind::Regular, "after.dff", "c"));
    // 40 bytes: the header and one record whose entry claims 16,384 sectors from sector 0.
    Put(root + "/import", "repro-3-move-of-a-runaway-claim",
        Writer()
            .Image(Writer::Version2({{0, 16384, "big.dff"}}))
            .Source(SourceKind::Regular, "one.txt", "x"));
    Put(root + "/extract", "repro-4-extraction-of-a-runaway-claim",
        Writer().Image(Writer::Version2({{1, 1 << 20, "big.dff"}})).Name("big.dff"));
    const std::string steps = Data(64, 5);
    Put(root + "/directory", "repro-5-records-at-one-offset",
        Writer().Image("").Records('D', 131072, 0, 0, {5, 1, "same.dff"}).Steps(steps));
    Put(root + "/directory", "repro-5-empty-records-at-distinct-offsets",
        Writer().Image("").Records('D', 131072, 1, 0, {10, 0, "empty.dff"}).Steps(steps));
    for (const char* target : {"directory", "import"}) {
        Put(root + "/" + target, "repro-6-ver2-alone",
            Writer()
                .Image("VER2")
                .Source(SourceKind::Regular, "a.dff", "x")
                .Name("a.dff")
                .Steps(steps));
    }
    // Records that a disk sector boundary runs through (the 16th, the 32nd), with names whose
    // halves differ: deleted (the last one's 32 bytes copied over them) and renamed.
    Records across;
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        across.push_back({2 + i, 1, "rec" + n + "-name-halves-" + n});
    }
    Put(root + "/edit", "repro-8-delete-across-a-sector-boundary",
        Writer()
            .Image(Version2Image(across))
            .Name(across[15].name)
            .Name(across[31].name)
            .Steps(std::string(1, '\0')));
    Put(root + "/edit", "repro-8-rename-across-a-sector-boundary",
        Writer()
            .Image(Version2Image(across))
            .Name(across[31].name)
            .Name("renamed-across-a-cut")
            .Steps(std::string(1, '\1')));
    // A deletion's journal beside the archive it was made from, after that archive changed.
    Put(root + "/edit", "repro-8-stale-journal",
        Writer()
            .Image(Version2Image(across))
            .Name(across[15].name)
            .Steps(std::string(1, '\0'))
            .Journal(5, std::string(1, '\x13')));
    Put(root + "/import", "repro-7-empty-file-where-empty-records-share-a-sector",
        Writer()
            .Image(Version2Image({{2, 3, "d.dff"}, {2, 0, "e.dff"}, {5, 1, "f.dff"}}))
            .Source(SourceKind::Regular, "zero.txd", ""));
    Put(root + "/directory", "repro-7-empty-file-where-empty-records-share-a-sector",
        Writer()
            .Image(Version2Image({{2, 3, "d.dff"}, {2, 0, "e.dff"}, {5, 1, "f.dff"}}))
            .Steps(std::string("\x00\x01\x00", 3)));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--regressions") == 0) {
        Regressions(argv[2]);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_corpus FOLDER | fuzz_corpus --regressions FOLDER\n");
        return 2;
    }
    Seeds(argv[1]);
    return 0;
}
