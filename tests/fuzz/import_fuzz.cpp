// A whole import into a fuzzed archive, under a write budget. Afterwards every entry that was
// not replaced holds its old bytes, nothing the batch placed overlaps another entry, the
// version-2 directory is clear of data, and only the archive was written. An archive that check
// finds damaged is offered to import, compact, delete and rename instead, and each must refuse
// it with the one box and leave every byte as it was.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "archive/check.h"
#include "archive/compact.h"
#include "archive/edit.h"
#include "archive/import.h"
#include "archive/journal.h"
#include "platform/codepage.h"
#include "tests/fuzz/fuzz_case.h"
#include "tests/scripted_boxes.h"

using namespace zarnex;
using zarnex::fuzz::Finding;
using zarnex::fuzz::Range;

namespace {

// A sparse archive of gigabytes would make legitimate moves copy gigabytes of zeros.
constexpr uint64_t MaxFileLength = uint64_t{1} << 20;

int64_t Start(const DirectoryRecord& r) {
    return SectorToByte(r.offset);
}
int64_t End(const DirectoryRecord& r) {
    return SectorToByte(int64_t{r.offset} + r.size);
}

// The bytes two records name, alike: compared where either file holds any; before the start
// and past the end of a file all is zero. Bytes the old place had below `rewritten` (a
// version-2 header and records, which every record write changes) are not compared.
bool SameBytes(const std::string& before, const DirectoryRecord& a, const std::string& after,
               const DirectoryRecord& b, int64_t rewritten) {
    if (a.size != b.size) {
        return false;
    }
    const int64_t length = SectorToByte(std::max(a.size, 0));
    auto alike = [&](int64_t from, int64_t to) {
        from = std::max<int64_t>({from, 0, rewritten - Start(a)});
        to = std::min(to, length);
        return from >= to || Range(before, Start(a) + from, Start(a) + to) ==
                                 Range(after, Start(b) + from, Start(b) + to);
    };
    return alike(-Start(a), static_cast<int64_t>(before.size()) - Start(a)) &&
           alike(-Start(b), static_cast<int64_t>(after.size()) - Start(b));
}

// Per sector: how many sectors before it hold a byte at or past `rewritten` that changed.
std::vector<int64_t> ChangedSectors(const std::string& before, const std::string& after,
                                    int64_t rewritten) {
    const size_t length = std::max(before.size(), after.size());
    const int64_t sectors = SectorsFor(static_cast<int64_t>(length));
    std::vector<int64_t> count(static_cast<size_t>(sectors) + 1, 0);
    // Archives may be tens of MiB after a move, mostly a hole: compared a sector per call.
    static const std::string zeros(SectorSize, '\0');
    auto piece = [&](const std::string& text, size_t from, size_t to) {
        return from >= text.size() ? std::string_view(zeros).substr(0, to - from)
                                   : std::string_view(text).substr(from, to - from);
    };
    for (int64_t s = 0; s < sectors; ++s) {
        const auto from = static_cast<size_t>(std::max(SectorToByte(s), rewritten));
        const auto to = std::min(static_cast<size_t>(SectorToByte(s + 1)), length);
        bool changed = false;
        // Each side up to its end, zeros past it.
        for (size_t at = from; at < to && !changed;) {
            size_t next = to;
            for (size_t end : {before.size(), after.size()}) {
                if (end > at && end < next) {
                    next = end;
                }
            }
            changed = piece(before, at, next) != piece(after, at, next);
            at = next;
        }
        count[static_cast<size_t>(s) + 1] = count[static_cast<size_t>(s)] + changed;
    }
    return count;
}

// Whether a record that kept its place kept its bytes.
bool Unchanged(const std::vector<int64_t>& changed, const DirectoryRecord& r) {
    const auto last = static_cast<int64_t>(changed.size()) - 1;
    const int64_t from = std::clamp<int64_t>(r.offset, 0, last);
    const int64_t to = std::clamp<int64_t>(int64_t{r.offset} + std::max(r.size, 0), 0, last);
    return from >= to || changed[static_cast<size_t>(to)] == changed[static_cast<size_t>(from)];
}

std::string Padded(const std::string& content) {
    return Range(content, 0, SectorToByte(SectorsFor(static_cast<int64_t>(content.size()))));
}

// Whether record r holds the bytes of a written source of its name.
bool HoldsSource(const std::string& image, const DirectoryRecord& r,
                 const std::vector<std::pair<AnsiString, std::string>>& written) {
    for (const auto& [name, content] : written) {
        if (LowerAnsi(name.substr(0, NameFieldSize)) == LowerAnsi(r.name) &&
            r.size == SectorsFor(static_cast<int64_t>(content.size())) &&
            Range(image, Start(r), End(r)) == Padded(content)) {
            return true;
        }
    }
    return false;
}

// Every writing batch on a damaged archive: one box, the refusal, and not one byte written.
void OfferDamaged(const fuzz::Workspace& ws, const ArchiveCheck& check, const std::string& oldImage,
                  const std::string& oldDirectory) {
    const std::string name = check.table.count > 0 ? AnsiToUtf8Lossy(check.table.entries[0].Name())
                                                   : std::string("a.dff");
    const char* const batches[] = {"import", "compact", "delete", "rename"};
    for (const char* batch : batches) {
        test::TestFileSystem files;
        fuzz::WrittenPaths recorder;
        files.observer = &recorder;
        IoState io{.fileSystem = &files};
        ScriptedMessageBoxes boxes;
        const std::string_view which = batch;
        if (which == "import") {
            ImportFiles(ws.image, ws.sources, boxes, {}, io);
        } else if (which == "compact") {
            CompactArchive(ws.image, boxes, io);
        } else if (which == "delete") {
            DeleteEntries(ws.image, {{name}}, boxes, {}, io);
        } else {
            RenameEntry(ws.image, {name}, "renamed.dff", boxes, io);
        }
        const std::string what = std::string(batch) + " on a damaged archive: ";
        if (!recorder.paths.empty()) {
            Finding(what + "wrote " + *recorder.paths.begin());
        }
        if (fuzz::ReadWhole(ws.image) != oldImage ||
            fuzz::ReadWhole(ws.directory) != oldDirectory) {
            Finding(what + "changed the archive");
        }
        if (boxes.messages.size() != 1 || boxes.messages[0].id != MessageId::ArchiveDamaged) {
            Finding(what + "not refused with the one box: " +
                    (boxes.shown.empty() ? "none" : boxes.shown.back().text));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Case c = fuzz::Parse(data, size, MaxFileLength);
    const fuzz::Workspace ws = fuzz::Materialize(c, MaxFileLength);
    const std::string oldImage = fuzz::ReadWhole(ws.image);
    const std::string oldDirectory = c.hasDirectory ? fuzz::ReadWhole(ws.directory) : "";

    // The copy an interrupted deletion left at the end is no entry: the batch cuts it off.
    int32_t leftovers = 0;
    {
        IoState io;
        ScriptedMessageBoxes boxes;
        const std::optional<ArchiveCheck> check = CheckArchive(ws.image, io, boxes);
        if (check && !FindDamage(check->table, check->dataBytes, check->directoryBytes).empty()) {
            OfferDamaged(ws, *check, oldImage, oldDirectory);
            return 0;
        }
        leftovers = check ? check->table.leftovers : 0;
    }

    int64_t sourceBytes = 0;
    for (const fuzz::SourceFile& source : c.sources) {
        sourceBytes += SectorToByte(SectorsFor(static_cast<int64_t>(source.content.size())));
    }
    // Every legitimate write is a source or a copy of what the archive holds: many times that
    // is a runaway. The budget keeps a run on a hostile archive from writing gigabytes.
    const int64_t held = static_cast<int64_t>(oldImage.size()) + sourceBytes;
    test::TestFileSystem files;
    files.writeBudget = std::min<int64_t>((int64_t{16} << 20) + 16 * held, int64_t{256} << 20);
    fuzz::WrittenPaths recorder;
    files.observer = &recorder;
    IoState io{.fileSystem = &files};
    ScriptedMessageBoxes boxes;
    std::set<std::string> written;
    ImportCallbacks callbacks;
    callbacks.removeFromImportList = [&](const std::string& path, ImportKind) {
        written.insert(path);
    };
    const ImportOutcome outcome = ImportFiles(ws.image, ws.sources, boxes, callbacks, io);

    for (const Message& message : boxes.messages) {
        if (message.id == MessageId::DiskFull) {
            Finding("the write budget of " + std::to_string(files.writeBudget) +
                    " bytes ran out: a runaway write (" + std::to_string(files.bytesWritten) +
                    " bytes written, the last box: " + boxes.shown.back().text + ")");
        }
    }
    // A version-1 commit whose new records cross a disk sector goes under a journal, which the
    // import removes once the records are on the disk.
    for (const std::string& path : recorder.paths) {
        if (path != ws.image && path != ws.directory && path != JournalPath(ws.image)) {
            Finding("written outside the archive: " + path);
        }
    }
    if (FileExists(JournalPath(ws.image))) {
        Finding("the import left a journal beside the archive");
    }
    const std::string newImage = fuzz::ReadWhole(ws.image);
    const std::string newDirectory = c.hasDirectory ? fuzz::ReadWhole(ws.directory) : "";
    if (!outcome.loaded) {
        if (newImage != oldImage || newDirectory != oldDirectory) {
            Finding("an archive that did not load was changed");
        }
        return 0;
    }

    const bool version2 = fuzz::IsVersion2(oldImage);
    auto before = fuzz::RecordsOn(version2, oldImage, oldDirectory);
    if (before) {
        before->resize(before->size() - static_cast<size_t>(leftovers));
    }
    const auto after = fuzz::RecordsOn(version2, newImage, newDirectory);
    if (!before || !after || after->size() < before->size()) {
        Finding("the directory on disk is no longer whole");
    }
    std::vector<std::pair<AnsiString, std::string>> sources;
    for (size_t i = 0; i < c.sources.size(); ++i) {
        AnsiString name;
        const std::string& path = ws.sources[i];
        if (written.count(path) && Utf8ToAnsi(path.substr(path.rfind('/') + 1), name)) {
            sources.emplace_back(name, c.sources[i].content);
        }
    }

    const std::vector<DirectoryRecord>& old = *before;
    const std::vector<DirectoryRecord>& now = *after;
    const int64_t directoryEnd = version2 ? Version2RecordPosition(now.size()) : 0;
    const std::vector<int64_t> changed = ChangedSectors(oldImage, newImage, directoryEnd);
    for (size_t i = 0; i < now.size(); ++i) {
        const DirectoryRecord& r = now[i];
        const std::string which = "record " + std::to_string(i) + " (" + r.name + ")";
        const bool added = i >= old.size();
        bool touched = added;
        if (!added) {
            const DirectoryRecord& o = old[i];
            if (r.name != o.name) {
                Finding(which + " has a new name");
            }
            touched = r.offset != o.offset || r.size != o.size;
            const bool kept =
                touched ? SameBytes(oldImage, o, newImage, r, directoryEnd) : Unchanged(changed, r);
            if (!kept && !HoldsSource(newImage, r, sources)) {
                Finding(which + " lost its bytes and holds no source of its name");
            }
        } else if (!HoldsSource(newImage, r, sources)) {
            Finding(which + " was added without its source's bytes");
        }
        if (touched && r.size > 0) {
            for (size_t j = 0; j < now.size(); ++j) {
                const DirectoryRecord& o = now[j];
                if (j != i && o.size > 0 && Start(r) < End(o) && Start(o) < End(r)) {
                    Finding(which + " was placed over record " + std::to_string(j));
                }
            }
        }
        if (version2 && r.size > 0 && (touched || now.size() > old.size()) &&
            Start(r) < directoryEnd) {
            Finding(which + " has data inside the directory");
        }
    }
    return 0;
}
