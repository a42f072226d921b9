#include "archive/edit.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <unordered_map>

#include "archive/directory.h"
#include "archive/names.h"
#include "archive/writing.h"
#include "platform/errors.h"

namespace zarnex {
namespace {

// Lowered stored names -> the records that hold them, in directory order.
using RecordsByName = std::unordered_map<AnsiString, std::vector<int32_t>>;

RecordsByName ByName(const DirectoryTable& table) {
    RecordsByName byName;
    for (int32_t i = 0; i < table.count; ++i) {
        byName[LowerAnsi(table.entries[static_cast<size_t>(i)].name)].push_back(i);
    }
    return byName;
}

// The same for names held more than once: the game takes the first in directory order, and a
// deletion keeps that choice.
using Twins = std::unordered_map<AnsiString, std::set<int32_t>>;

Twins FindTwins(const RecordsByName& byName) {
    Twins twins;
    for (const auto& [name, indices] : byName) {
        if (indices.size() > 1) {
            twins.emplace(name, std::set<int32_t>(indices.begin(), indices.end()));
        }
    }
    return twins;
}

struct Deletion {
    OpenArchive archive;
    IoState& io;
    std::vector<uint8_t> leaving;  // per record: deleted, or copied to a freed place already
    std::set<int32_t> holes;       // freed places below the end, lowest first
    Twins twins;
};

// Copies the 32 bytes of record `from` over record `to` and makes them stay.
bool CopyRecord(Deletion& d, int32_t from, int32_t to) {
    File& file = RecordFile(d.archive);
    const DirectoryTable& table = d.archive.table;
    unsigned char bytes[RecordSize];
    size_t got = 0;
    if (!file.ReadAt(RecordPosition(table, from), bytes, sizeof bytes, &got)) {
        return false;
    }
    if (got != sizeof bytes) {
        d.io.lastError = ErrorInputOutput;  // the file shrank under the batch
        return false;
    }
    return file.WriteAt(RecordPosition(table, to), bytes, sizeof bytes) && file.Sync();
}

// The count shrinks past every record at the end that is leaving, and that stays.
bool CutLeavingEnd(Deletion& d) {
    DirectoryTable& table = d.archive.table;
    int32_t end = table.count;
    while (end > 0 && d.leaving[static_cast<size_t>(end - 1)]) {
        --end;
    }
    if (end == table.count) {
        return true;
    }
    if (!CutRecordsTo(d.archive, end)) {
        return false;
    }
    for (int32_t i = end; i < table.count; ++i) {
        table.entries[static_cast<size_t>(i)] = {};
    }
    table.count = end;
    d.holes.erase(d.holes.lower_bound(end), d.holes.end());
    return true;
}

// The freed place the last record goes to: the lowest one after any record of the same name
// (`twins`, where there are any), so that the game's choice among twins stays; the lowest of all
// where there is none.
int32_t PlaceForLast(const Deletion& d, const std::set<int32_t>* twins, int32_t last) {
    if (twins) {
        auto before = twins->lower_bound(last);
        if (before != twins->begin()) {
            auto after = d.holes.upper_bound(*std::prev(before));
            if (after != d.holes.end()) {
                return *after;
            }
        }
    }
    return *d.holes.begin();
}

// Until every freed place below the end is filled: the last record is copied into one and made
// to stay there, then the count shrinks past it. In between, the last record stands twice; that
// copy at the end is what loading drops and the next writing batch cuts off.
bool Close(Deletion& d, const DeleteCallbacks& callbacks) {
    DirectoryTable& table = d.archive.table;
    if (!CutLeavingEnd(d)) {
        return false;
    }
    const int total = static_cast<int>(d.holes.size());
    while (!d.holes.empty()) {
        if (callbacks.progress) {
            callbacks.progress(total - static_cast<int>(d.holes.size()), total);
        }
        const int32_t last = table.count - 1;  // staying: the cut leaves none leaving at the end
        const auto found = d.twins.find(LowerAnsi(table.entries[static_cast<size_t>(last)].name));
        std::set<int32_t>* twins = found != d.twins.end() ? &found->second : nullptr;
        const int32_t hole = PlaceForLast(d, twins, last);
        if (!CopyRecord(d, last, hole)) {
            return false;
        }
        if (twins) {
            twins->erase(last);
            twins->insert(hole);
        }
        table.entries[static_cast<size_t>(hole)] = table.entries[static_cast<size_t>(last)];
        d.leaving[static_cast<size_t>(hole)] = 0;
        d.leaving[static_cast<size_t>(last)] = 1;
        d.holes.erase(hole);
        if (!CutLeavingEnd(d)) {
            return false;
        }
    }
    if (callbacks.progress) {
        callbacks.progress(total, total);
    }
    return true;
}

// Marks the chosen entries; the names of those leaving, in directory order.
std::vector<std::string> Choose(Deletion& d, const RecordsByName& byName,
                                const std::vector<EntryChoice>& chosen,
                                const DeleteCallbacks& callbacks, DeleteOutcome& outcome) {
    const DirectoryTable& table = d.archive.table;
    for (const EntryChoice& choice : chosen) {
        AnsiString ansi;
        std::vector<int32_t> found;
        // An empty name names no entry; only a record the window picked may have it.
        if (Utf8ToAnsi(choice.name, ansi) && (!ansi.empty() || choice.index >= 0)) {
            auto it = byName.find(LowerAnsi(ansi));
            if (it != byName.end()) {
                found = it->second;
            }
        }
        if (choice.index >= 0) {
            const bool held = std::find(found.begin(), found.end(), choice.index) != found.end();
            found = held ? std::vector<int32_t>{choice.index} : std::vector<int32_t>{};
        }
        if (found.empty()) {
            ++outcome.notFoundCount;
            if (callbacks.notFound) {
                callbacks.notFound(choice.name);
            }
        }
        for (int32_t i : found) {
            d.leaving[static_cast<size_t>(i)] = 1;
        }
    }
    std::vector<std::string> names;
    for (int32_t i = 0; i < table.count; ++i) {
        if (d.leaving[static_cast<size_t>(i)]) {
            names.push_back(AnsiToUtf8Lossy(table.entries[static_cast<size_t>(i)].name));
            d.holes.insert(i);
        }
    }
    return names;
}

DeleteOutcome Delete(const std::string& archivePath, const std::vector<EntryChoice>& chosen,
                     MessageBoxes& boxes, const DeleteCallbacks& callbacks, IoState& io) {
    DeleteOutcome outcome;
    std::optional<OpenArchive> archive =
        OpenForWriting(archivePath, io, boxes, Writes::RecordsOnly);
    if (!archive) {
        return outcome;
    }
    outcome.loaded = true;
    Deletion d{std::move(*archive), io, {}, {}, {}};
    d.leaving.assign(static_cast<size_t>(d.archive.table.count), 0);
    const RecordsByName byName = ByName(d.archive.table);
    const std::vector<std::string> names = Choose(d, byName, chosen, callbacks, outcome);
    d.twins = FindTwins(byName);
    if (!Close(d, callbacks)) {
        ReportIoFailure(boxes, io.lastError);
        return outcome;
    }
    d.archive.directory.Close();
    d.archive.data.Close();
    for (const std::string& name : names) {
        if (callbacks.deleted) {
            callbacks.deleted(name);
        }
    }
    outcome.deletedCount = static_cast<int>(names.size());
    outcome.completed = true;
    boxes.Show({.id = MessageId::DeleteSummary, .count = outcome.deletedCount});
    return outcome;
}

}  // namespace

DeleteOutcome DeleteEntries(const std::string& archivePath, const std::vector<EntryChoice>& chosen,
                            MessageBoxes& boxes, const DeleteCallbacks& callbacks, IoState& io) {
    try {
        return Delete(archivePath, chosen, boxes, callbacks, io);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(boxes);  // what is on the disk is a state a power cut could leave
        return {};
    }
}

RenameStatus RenameEntry(const std::string& archivePath, const EntryChoice& entry,
                         const std::string& newName, MessageBoxes& boxes, IoState& io) {
    AnsiString ansi;
    if (!Utf8ToAnsi(newName, ansi) || !IsValidEntryName(ansi, EntryNameLimit)) {
        boxes.Show({.id = MessageId::RenameInvalid, .name = newName, .limit = EntryNameLimit});
        return RenameStatus::Invalid;
    }
    std::optional<OpenArchive> archive =
        OpenForWriting(archivePath, io, boxes, Writes::RecordsOnly);
    if (!archive) {
        return RenameStatus::NotRun;
    }
    const DirectoryTable& table = archive->table;
    AnsiString wanted;
    const bool encodable = Utf8ToAnsi(entry.name, wanted);
    wanted = LowerAnsi(wanted);
    const AnsiString lowered = LowerAnsi(ansi);
    int32_t target = -1;
    for (int32_t i = 0; encodable && i < table.count; ++i) {
        const bool named = LowerAnsi(table.entries[static_cast<size_t>(i)].name) == wanted;
        if (named && (entry.index < 0 || entry.index == i)) {
            target = i;
            break;
        }
    }
    if (target < 0) {
        boxes.Show({.id = MessageId::RenameNotFound, .name = entry.name});
        return RenameStatus::NotFound;
    }
    for (int32_t i = 0; i < table.count; ++i) {
        if (i != target && LowerAnsi(table.entries[static_cast<size_t>(i)].name) == lowered) {
            boxes.Show({.id = MessageId::RenameTaken, .name = newName});
            return RenameStatus::Taken;
        }
    }
    const RecordBytes record = EncodeRecord({0, 0, ansi});
    File& file = RecordFile(*archive);
    const int64_t field = RecordPosition(table, target) + (RecordSize - NameFieldSize);
    if (!file.WriteAt(field, record.data() + (RecordSize - NameFieldSize), NameFieldSize) ||
        !file.Sync()) {
        ReportIoFailure(boxes, io.lastError);
        return RenameStatus::NotRun;
    }
    const std::string oldName = AnsiToUtf8Lossy(table.entries[static_cast<size_t>(target)].name);
    archive->directory.Close();
    archive->data.Close();
    boxes.Show({.id = MessageId::RenameSummary, .name = oldName, .newName = newName});
    return RenameStatus::Renamed;
}

}  // namespace zarnex
