#include "archive/extract.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <utility>

#include "archive/directory.h"
#include "archive/lookup.h"
#include "archive/messages.h"
#include "archive/names.h"
#include "platform/codepage.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/system.h"

namespace zarnex {
namespace {

enum class Existing { Overwrite, Skip, Cancel };

// About what stands there itself: a link's own size and date, never its target's. An answer
// for all the files is kept in `toAll`, and then nothing more is asked.
Existing AskOverwrite(MessageBoxes& boxes, std::optional<Existing>& toAll,
                      const std::string& outPath, const NodeInfo& there,
                      const DirectoryEntry& entry) {
    if (toAll) {
        return *toAll;
    }
    switch (boxes.Show({.id = MessageId::OverwriteQuestion,
                        .path = outPath,
                        .size = SectorToByte(entry.size),
                        .existingSize = there.size,
                        .date = FormatFileTime(there.modifiedSeconds)})) {
        case MessageAnswer::Yes:
            return Existing::Overwrite;
        case MessageAnswer::YesToAll:
            return *(toAll = Existing::Overwrite);
        case MessageAnswer::NoToAll:
            return *(toAll = Existing::Skip);
        case MessageAnswer::Cancel:
            return Existing::Cancel;
        default:
            return Existing::Skip;
    }
}

void ReportCreateFailure(MessageBoxes& boxes, const std::string& outPath, int code) {
    if (IsDiskFull(code)) {
        boxes.Show({.id = MessageId::CreateFailedDiskFull, .path = outPath, .code = code});
    } else {
        boxes.Show({.id = MessageId::CreateFailed, .path = outPath, .code = code});
    }
}

struct Copied {
    bool failed = false;  // a read or write failed: io.lastError says why
    bool cut = false;     // the archive ends inside the entry
};

// Writes what the archive holds of the entry, then extends the file to the entry's whole
// sectors: what the archive lacks reads as zeros without being written. A failed read leaves
// its step to the zeros and the copy goes on; a failed write would fail again, so the copy
// stops there.
Copied CopyOut(File& archive, File& out, const DirectoryEntry& entry, std::vector<char>& buffer) {
    Copied copied;
    const int64_t start = SectorToByte(entry.offset);
    const int64_t length = SectorToByte(entry.size);
    int64_t written = 0;
    for (int64_t done = 0; done < length && !copied.cut;
         done += SectorToByte(ExtractChunkSectors)) {
        const auto step = static_cast<size_t>(
            std::min<int64_t>(length - done, SectorToByte(ExtractChunkSectors)));
        size_t got = 0;
        if (!archive.ReadAt(start + done, buffer.data(), step, &got)) {
            copied.failed = true;
        } else {
            copied.cut = got < step;
        }
        if (got > 0 && !out.WriteAt(done, buffer.data(), got)) {
            copied.failed = true;
            return copied;
        }
        written = done + static_cast<int64_t>(got);
    }
    // Sizing a file costs a change of its metadata: only when the writes fell short.
    if (written < length && !out.Resize(length)) {
        copied.failed = true;
    }
    return copied;
}

}  // namespace

std::string FormatFileTime(int64_t secondsSince1970) {
    const CalendarTime t = LocalCalendarTime(secondsSince1970);
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d  %02d:%02d:%02d", t.day, t.month, t.year,
                  t.hour, t.minute, t.second);
    return text;
}

namespace {

struct ExtractBatch {
    OpenArchive archive;
    const std::string& folder;
    Folder out;  // held, so that every output is opened there as itself
    MessageBoxes& boxes;
    IoState& io;
    std::optional<EntryLookup> entries;  // for many names; a few are found by walking
    std::vector<char> buffer =
        std::vector<char>(static_cast<size_t>(SectorToByte(ExtractChunkSectors)));
    std::optional<Existing> toAll = {};  // the overwrite question's answer for every file
    bool flushEach = false;              // each file, then the folder's names
};

enum class ExtractStep { Extracted, Warned, Skipped, NotFound, Cancelled };

// The output file for `fileName`, opened in the held folder and never through a link: a file or
// a link there is asked about; a link answered Yes is replaced by a new file, its target never
// opened; a folder or anything else there is refused. `created`: this batch made the file.
std::optional<File> OpenOutput(ExtractBatch& batch, const std::string& fileName,
                               const std::string& outPath, const DirectoryEntry& entry,
                               bool& created, ExtractStep& step) {
    // Created new unless something is there: one call where a look first would be two.
    File out = File::OpenIn(batch.out, fileName, OpenMode::CreateNew, batch.io, &created);
    if (out.IsOpen() || !IsAlreadyThere(batch.io.lastError)) {
        return out;
    }
    const NodeInfo there = batch.out.Look(fileName);
    if (there.kind == NodeKind::Folder || there.kind == NodeKind::Other) {
        batch.io.lastError = there.kind == NodeKind::Folder ? ErrorFolderInTheWay : ErrorNotAFile;
        return out;
    }
    if (there.kind != NodeKind::Missing) {
        switch (AskOverwrite(batch.boxes, batch.toAll, outPath, there, entry)) {
            case Existing::Cancel:
                step = ExtractStep::Cancelled;
                return std::nullopt;
            case Existing::Skip:
                step = ExtractStep::Skipped;
                return std::nullopt;
            case Existing::Overwrite:
                break;
        }
    }
    if (there.kind == NodeKind::Link && !batch.out.Remove(fileName)) {
        return out;
    }
    // A regular file is emptied; one that went meanwhile is made. Whatever stands there by now
    // that is no regular file fails the opening.
    return File::OpenIn(batch.out, fileName, OpenMode::CreateAlways, batch.io, &created);
}

// The entry of the row's name, written to `outPath` in the folder.
ExtractStep ExtractOne(ExtractBatch& batch, const EntryChoice& row, std::string& outPath) {
    AnsiString wanted;
    // A name no archive can hold matches nothing.
    const DirectoryTable& table = batch.archive.table;
    int32_t found = -1;
    if (row.Ansi(wanted)) {
        found = batch.entries ? batch.entries->Find(table, wanted) : FindEntry(table, wanted);
    }
    if (found < 0) {
        return ExtractStep::NotFound;
    }
    const DirectoryEntry& entry = batch.archive.table.entries[static_cast<size_t>(found)];
    std::string fileName;
    // A stored name may come from anybody's archive: it must name a plain file inside the
    // folder, never a device or a hidden stream.
    if (!AnsiToUtf8(entry.Name(), fileName) || !IsPlainFileName(fileName)) {
        batch.boxes.Show({.id = MessageId::BadEntryName, .name = DisplayName(entry.Name())});
        return ExtractStep::Skipped;
    }
    if (entry.size < 0 || entry.size > ArchiveSectorLimit) {
        // No archive holds more than 2 GiB: such a size is damage.
        batch.boxes.Show(
            {.id = MessageId::DamagedEntrySize, .name = fileName, .sectors = entry.size});
        return ExtractStep::Skipped;
    }
    outPath = JoinPath(batch.folder, fileName);

    bool created = false;
    ExtractStep step = ExtractStep::Skipped;
    std::optional<File> out = OpenOutput(batch, fileName, outPath, entry, created, step);
    if (!out) {
        return step;
    }
    if (!out->IsOpen()) {
        ReportCreateFailure(batch.boxes, outPath, batch.io.lastError);
        return ExtractStep::Skipped;
    }
    batch.io.Clear();

    Copied copied = CopyOut(batch.archive.data, *out, entry, batch.buffer);
    // Where the folder's flush at the end leaves file data out, each file is on the disk before
    // it is counted.
    if (!copied.failed && (batch.flushEach || !SyncFileSystemFlushesFiles) && !out->Sync()) {
        copied.failed = true;
    }
    // A failing close is a write the system could not finish.
    const bool closed = out->Close();
    const int code = batch.io.Failed() ? batch.io.lastError : ErrorInputOutput;
    if (!closed || copied.failed) {
        // Not extracted: what this batch made goes again; a file it emptied keeps what the
        // failing write left, and the warning says which.
        const bool removed = created && batch.out.Remove(fileName);
        batch.boxes.Show(
            {.id = removed ? MessageId::WriteFailedRemoved : MessageId::WriteFailedLeft,
             .path = outPath,
             .code = code});
        return ExtractStep::Skipped;
    }
    if (copied.cut) {
        batch.boxes.Show({.id = MessageId::WrittenPastEnd, .path = outPath, .code = code});
        return ExtractStep::Warned;
    }
    return ExtractStep::Extracted;
}

// The written files must be on the disk before the count says so. One flush of the folder's
// file system covers every new name in the folder at once, and every file where the system can;
// but it also waits for whatever other programs wrote there, so a few files are flushed each
// and then the folder's names alone.
void FlushFolder(ExtractBatch& batch) {
    if (!(batch.flushEach ? SyncFolder(batch.folder, batch.io)
                          : SyncFileSystem(batch.folder, batch.io))) {
        batch.boxes.Show({.id = MessageId::ExtractFlushFailed,
                          .path = batch.folder,
                          .code = batch.io.lastError});
    }
}

ExtractOutcome RunExtraction(ExtractBatch& batch, const std::vector<EntryChoice>& rows,
                             const ExtractCallbacks& callbacks) {
    ExtractOutcome outcome;
    outcome.loaded = true;
    outcome.total = static_cast<int>(rows.size());
    bool cancelled = false;
    std::vector<std::string> missing;  // named below the summary
    // Told once the folder's flush has the files on the disk.
    std::vector<std::pair<std::string, std::string>> written;  // name, output path
    size_t row = 0;
    for (; row < rows.size(); ++row) {
        if (callbacks.progress) {
            callbacks.progress(static_cast<int>(row), outcome.total);
        }
        std::string outPath;
        const std::string& name = rows[row].name;
        const ExtractStep step = ExtractOne(batch, rows[row], outPath);
        if (step == ExtractStep::Cancelled) {
            cancelled = true;  // the progress stays at this row
            break;
        }
        switch (step) {
            case ExtractStep::Warned:
                ++outcome.warnedCount;
                [[fallthrough]];
            case ExtractStep::Extracted:
                ++outcome.done;
                written.emplace_back(name, std::move(outPath));
                break;
            case ExtractStep::Skipped:
                ++outcome.skippedCount;
                break;
            case ExtractStep::NotFound:
                ++outcome.notFoundCount;
                missing.push_back(DisplayText(name));
                if (callbacks.notFound) {
                    callbacks.notFound(name);
                }
                break;
            case ExtractStep::Cancelled:
                break;
        }
    }
    outcome.endRow = static_cast<int>(row);
    if (callbacks.progress) {
        callbacks.progress(outcome.endRow, outcome.total);
    }
    if (!cancelled) {
        outcome.Ended(outcome.done - outcome.warnedCount == outcome.total);
    }
    batch.archive.directory.Close();
    batch.archive.data.Close();
    batch.out = {};
    if (outcome.done > 0) {
        FlushFolder(batch);
    }
    for (const auto& [name, outPath] : written) {
        if (callbacks.extracted) {
            callbacks.extracted(name, outPath);
        }
    }
    batch.boxes.Show({.id = MessageId::ExtractSummary, .count = outcome.done, .names = missing});
    return outcome;
}

}  // namespace

ExtractOutcome ExtractEntries(const std::string& archivePath, const std::string& folder,
                              const std::vector<EntryChoice>& rows, MessageBoxes& boxes,
                              const ExtractCallbacks& callbacks, IoState& io) {
    try {
        std::optional<OpenArchive> archive = LoadDirectory(archivePath, io, boxes);
        if (!archive) {
            ExtractOutcome outcome;
            outcome.total = static_cast<int>(rows.size());
            outcome.error = io.lastError;
            return outcome;
        }
        if (callbacks.started) {
            callbacks.started();
        }
        ExtractBatch batch{std::move(*archive), folder, Folder::Open(folder, io), boxes, io, {}};
        if (!batch.out.IsOpen()) {
            // No file can be written: the folder itself says why, and nothing is extracted.
            ReportCreateFailure(boxes, folder, io.lastError);
            batch.boxes.Show({.id = MessageId::ExtractSummary, .count = 0});
            ExtractOutcome outcome;
            outcome.loaded = true;
            outcome.total = static_cast<int>(rows.size());
            outcome.skippedCount = outcome.total;
            outcome.Ended(outcome.total == 0);
            return outcome;
        }
        if (rows.size() >= FewNames) {
            batch.entries.emplace(batch.archive.table);
        }
        batch.flushEach = rows.size() < ExtractFlushEachBelow;
        return RunExtraction(batch, rows, callbacks);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(boxes);
        return {};
    }
}

ExtractOutcome ExtractFiles(const std::string& archivePath, const std::string& folder,
                            const std::vector<std::string>& names, MessageBoxes& boxes,
                            const ExtractCallbacks& callbacks, IoState& io) {
    std::vector<EntryChoice> rows;
    rows.reserve(names.size());
    for (const std::string& name : names) {
        rows.push_back({name});
    }
    return ExtractEntries(archivePath, folder, rows, boxes, callbacks, io);
}

}  // namespace zarnex
