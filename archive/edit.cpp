#include "archive/edit.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <queue>
#include <unordered_map>

#include "archive/journal.h"
#include "archive/lookup.h"
#include "archive/names.h"
#include "platform/errors.h"

namespace zarnex {
namespace {

std::string_view NameAt(const DirectoryTable& table, int32_t i) {
    return table.entries[static_cast<size_t>(i)].Name();
}

// The few names a walk over every record looks for, by a hash of each as LowerAnsi gives it:
// one look sets nearly every other name aside without lowering a copy of it.
class NameFilter {
  public:
    void Add(std::string_view name) { bits_[Key(name)] = true; }
    bool MayHold(std::string_view name) const { return bits_[Key(name)]; }

  private:
    static constexpr int KeyBits = 20;
    static size_t Key(std::string_view name) {
        static const std::array<unsigned char, 256> lower = [] {
            std::array<unsigned char, 256> table{};
            for (int c = 0; c < 256; ++c) {
                table[static_cast<size_t>(c)] = LowerAnsiChar(static_cast<unsigned char>(c));
            }
            return table;
        }();
        uint64_t h = 0xCBF29CE484222325ull;
        for (const char c : name) {
            h = (h ^ lower[static_cast<unsigned char>(c)]) * 0x100000001B3ull;
        }
        return static_cast<size_t>(h >> (64 - KeyBits));
    }
    std::vector<bool> bits_ = std::vector<bool>(size_t{1} << KeyBits);
};

// A name that records past the new count hold: they move, and where to matters when a record
// that stays in place holds the name too.
struct MovingName {
    int32_t first = -1;           // the first record below the new count that keeps the name
    std::vector<int32_t> movers;  // in directory order
};

// A name whose first holder stays where it is: each of its movers needs a freed place after
// that holder, of which `room` lie there.
struct Need {
    int32_t after;
    int64_t room;
    const std::vector<int32_t>* movers;
};

// The needs that may all be met together, as many of them as any choice allows: taken in order
// of room, dropping the greediest whenever they ask for more than their room (Moore and
// Hodgson's rule for the most jobs done by their due dates).
std::vector<const Need*> NeedsToMeet(std::vector<Need>& needs) {
    std::sort(needs.begin(), needs.end(), [](const Need& a, const Need& b) {
        return a.room != b.room ? a.room < b.room : a.after > b.after;
    });
    std::priority_queue<std::pair<size_t, size_t>> taken;  // (movers, index in needs)
    size_t asked = 0;
    for (size_t k = 0; k < needs.size(); ++k) {
        taken.emplace(needs[k].movers->size(), k);
        asked += needs[k].movers->size();
        if (static_cast<int64_t>(asked) > needs[k].room) {
            asked -= taken.top().first;
            taken.pop();
        }
    }
    std::vector<const Need*> met;
    for (; !taken.empty(); taken.pop()) {
        met.push_back(&needs[taken.top().second]);
    }
    std::sort(met.begin(), met.end(),
              [](const Need* a, const Need* b) { return a->after > b->after; });
    return met;
}

}  // namespace

DeletionPlan PlanDeletion(const DirectoryTable& table, const std::vector<uint8_t>& leaving) {
    DeletionPlan plan;
    plan.count = table.count - static_cast<int32_t>(std::count(leaving.begin(), leaving.end(), 1));
    std::vector<int32_t> holes;
    std::vector<int32_t> movers;
    for (int32_t i = 0; i < table.count; ++i) {
        if (i < plan.count && leaving[static_cast<size_t>(i)]) {
            holes.push_back(i);
        } else if (i >= plan.count && !leaving[static_cast<size_t>(i)]) {
            movers.push_back(i);
        }
    }
    if (holes.empty()) {
        return plan;
    }
    std::unordered_map<AnsiString, MovingName> names;
    NameFilter filter;
    for (int32_t m : movers) {
        names[LowerAnsi(NameAt(table, m))].movers.push_back(m);
        filter.Add(NameAt(table, m));
    }
    for (int32_t i = 0; i < plan.count; ++i) {
        if (!leaving[static_cast<size_t>(i)] && filter.MayHold(NameAt(table, i))) {
            auto it = names.find(LowerAnsi(NameAt(table, i)));
            if (it != names.end() && it->second.first < 0) {
                it->second.first = i;
            }
        }
    }
    std::vector<Need> needs;
    for (const auto& [name, moving] : names) {
        if (moving.first >= 0) {
            const auto past = std::upper_bound(holes.begin(), holes.end(), moving.first);
            needs.push_back({moving.first, holes.end() - past, &moving.movers});
        }
    }
    // The movers of the needs met, most bound first, take the highest places; every other mover
    // the lowest left, in directory order, so that a name only movers hold keeps its first.
    std::vector<uint8_t> placed(static_cast<size_t>(table.count - plan.count), 0);
    auto place = [&](int32_t mover, int32_t hole) {
        plan.moves.push_back({mover, hole});
        placed[static_cast<size_t>(mover - plan.count)] = 1;
    };
    size_t top = holes.size();
    for (const Need* need : NeedsToMeet(needs)) {
        for (int32_t m : *need->movers) {
            place(m, holes[--top]);
        }
    }
    size_t low = 0;
    for (int32_t m : movers) {
        if (!placed[static_cast<size_t>(m - plan.count)]) {
            place(m, holes[low++]);
        }
    }
    return plan;
}

namespace {

// Marks the chosen records in `leaving`; the names of those leaving, in directory order, as
// DisplayName shows them. A name
// chooses every record of it, a picked record only itself while it still has that name.
std::vector<std::string> Choose(const DirectoryTable& table, const std::vector<EntryChoice>& chosen,
                                std::vector<uint8_t>& leaving, const DeleteCallbacks& callbacks,
                                int& notFound) {
    std::unordered_map<AnsiString, std::vector<int32_t>> holders;  // by lowered name
    NameFilter filter;
    std::vector<std::optional<AnsiString>> wanted;
    for (const EntryChoice& choice : chosen) {
        AnsiString ansi;
        wanted.emplace_back();
        // An empty name names no entry; only a record the window picked may have it.
        if (choice.Ansi(ansi) && (!ansi.empty() || choice.index >= 0)) {
            wanted.back() = LowerAnsi(ansi);
            holders.emplace(*wanted.back(), std::vector<int32_t>{});
            filter.Add(ansi);
        }
    }
    for (int32_t i = 0; i < table.count && !holders.empty(); ++i) {
        if (!filter.MayHold(NameAt(table, i))) {
            continue;
        }
        auto it = holders.find(LowerAnsi(NameAt(table, i)));
        if (it != holders.end()) {
            it->second.push_back(i);
        }
    }
    for (size_t k = 0; k < chosen.size(); ++k) {
        const std::vector<int32_t> none;
        const std::vector<int32_t>& found = wanted[k] ? holders.at(*wanted[k]) : none;
        const int32_t index = chosen[k].index;
        const bool held = std::find(found.begin(), found.end(), index) != found.end();
        if (found.empty() || (index >= 0 && !held)) {
            ++notFound;
            if (callbacks.notFound) {
                callbacks.notFound(chosen[k].name);
            }
        } else if (index >= 0) {
            leaving[static_cast<size_t>(index)] = 1;
        } else {
            for (int32_t i : found) {
                leaving[static_cast<size_t>(i)] = 1;
            }
        }
    }
    std::vector<std::string> names;
    for (int32_t i = 0; i < table.count; ++i) {
        if (leaving[static_cast<size_t>(i)]) {
            names.push_back(DisplayName(NameAt(table, i)));
        }
    }
    return names;
}

// The plan as writes: each moving record's 32 bytes as they stand into its freed place, then the
// count (version 2) or the ".dir" length (version 1). False on a failure (io.lastError).
bool Stage(OpenArchive& archive, const DeletionPlan& plan, DirectoryChange& change, IoState& io) {
    const DirectoryTable& table = archive.table;
    if (plan.count == table.count) {
        return true;
    }
    const int64_t from = RecordPosition(table, plan.count);
    std::vector<unsigned char> tail(static_cast<size_t>(RecordPosition(table, table.count) - from));
    size_t got = 0;
    if (!RecordFile(archive).ReadAt(from, tail.data(), tail.size(), &got)) {
        return false;
    }
    if (got != tail.size()) {
        io.lastError = ErrorInputOutput;  // the file shrank under the batch
        return false;
    }
    for (const RecordMove& move : plan.moves) {
        const auto at = tail.begin() + (RecordPosition(table, move.from) - from);
        change.Write(RecordPosition(table, move.to), {at, at + RecordSize});
    }
    if (table.IsVersion2()) {
        std::vector<unsigned char> count(4);
        PutLE32(count.data(), static_cast<uint32_t>(plan.count));
        change.Write(4, std::move(count));
    } else {
        change.CutDirectory(int64_t{RecordSize} * plan.count);
    }
    return true;
}

DeleteOutcome Delete(const std::string& archivePath, const std::vector<EntryChoice>& chosen,
                     MessageBoxes& boxes, const DeleteCallbacks& callbacks, IoState& io) {
    DeleteOutcome outcome;
    std::optional<OpenArchive> archive =
        OpenForWriting(archivePath, io, boxes, Writes::RecordsOnly);
    if (!archive) {
        outcome.error = io.lastError;
        return outcome;
    }
    const DirectoryTable& table = archive->table;
    std::vector<uint8_t> leaving(static_cast<size_t>(table.count), 0);
    const std::vector<std::string> names =
        Choose(table, chosen, leaving, callbacks, outcome.notFoundCount);
    const int total = static_cast<int>(names.size());
    outcome.total = total;
    if (callbacks.progress) {
        callbacks.progress(0, total);
    }
    DirectoryChange change(*archive);
    const ChangeResult result = Stage(*archive, PlanDeletion(table, leaving), change, io)
                                    ? change.Commit()
                                    : ChangeResult{ChangeOutcome::Undone, io.lastError};
    if (result.outcome != ChangeOutcome::Done) {
        ReportChangeFailure(boxes, archivePath, result);
        outcome.error = result.code;
        return outcome;
    }
    archive->directory.Close();
    archive->data.Close();
    if (callbacks.progress) {
        callbacks.progress(total, total);
    }
    for (const std::string& name : names) {
        if (callbacks.deleted) {
            callbacks.deleted(name);
        }
    }
    outcome.done = total;
    outcome.Ended(outcome.notFoundCount == 0);
    boxes.Show({.id = MessageId::DeleteSummary, .count = outcome.done});
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

namespace {

RenameStatus Rename(const std::string& archivePath, const EntryChoice& entry,
                    const std::string& newName, MessageBoxes& boxes, IoState& io, int& error) {
    AnsiString ansi;
    const auto invalid = [&] {
        boxes.Show({.id = MessageId::RenameInvalid,
                    .name = DisplayText(newName),
                    .limit = EntryNameLimit});
        return RenameStatus::Invalid;
    };
    if (!Utf8ToAnsi(newName, ansi) || !IsValidEntryName(ansi, NameFieldSize)) {
        return invalid();
    }
    std::optional<OpenArchive> archive =
        OpenForWriting(archivePath, io, boxes, Writes::RecordsOnly);
    if (!archive) {
        error = io.lastError;
        return RenameStatus::NotRun;
    }
    const DirectoryTable& table = archive->table;
    // The entry of that name, or the record a window picked while it still has the name.
    AnsiString wanted;
    int32_t target = -1;
    if (entry.Ansi(wanted)) {
        const bool picked = entry.index >= 0 && entry.index < table.count &&
                            SameName(NameAt(table, entry.index), wanted);
        target = entry.index < 0 ? FindEntry(table, wanted) : picked ? entry.index : -1;
    }
    if (target < 0) {
        boxes.Show({.id = MessageId::RenameNotFound, .name = DisplayText(entry.name)});
        return RenameStatus::NotFound;
    }
    // A name of the whole field only as the entry's own, in another case.
    if (ansi.size() > EntryNameLimit && !SameName(ansi, NameAt(table, target))) {
        return invalid();
    }
    for (int32_t i = 0; i < table.count; ++i) {
        if (i != target && SameName(NameAt(table, i), ansi)) {
            boxes.Show({.id = MessageId::RenameTaken, .name = DisplayText(newName)});
            return RenameStatus::Taken;
        }
    }
    const RecordBytes record = EncodeRecord({0, 0, ansi});
    const auto field = record.begin() + (RecordSize - NameFieldSize);
    DirectoryChange change(*archive);
    change.Write(RecordPosition(table, target) + (RecordSize - NameFieldSize),
                 {field, record.end()});
    const ChangeResult result = change.Commit();
    if (result.outcome != ChangeOutcome::Done) {
        ReportChangeFailure(boxes, archivePath, result);
        error = result.code;
        return RenameStatus::NotRun;
    }
    const std::string oldName = DisplayName(NameAt(table, target));
    archive->directory.Close();
    archive->data.Close();
    boxes.Show({.id = MessageId::RenameSummary, .name = oldName, .newName = DisplayText(newName)});
    return RenameStatus::Renamed;
}

}  // namespace

RenameOutcome RenameEntry(const std::string& archivePath, const EntryChoice& entry,
                          const std::string& newName, MessageBoxes& boxes, IoState& io) {
    RenameOutcome outcome;
    outcome.total = 1;
    outcome.status = Rename(archivePath, entry, newName, boxes, io, outcome.error);
    if (outcome.status != RenameStatus::NotRun) {
        outcome.done = outcome.status == RenameStatus::Renamed ? 1 : 0;
        outcome.Ended(outcome.done == 1);
    }
    return outcome;
}

}  // namespace zarnex
