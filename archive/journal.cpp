#include "archive/journal.h"

#include <algorithm>
#include <cstring>

#include "archive/format.h"
#include "platform/errors.h"
#include "platform/paths.h"

namespace zarnex {
namespace {

constexpr unsigned char Magic[8] = {'Z', 'X', 'J', 'R', 'N', 'L', '0', '1'};
constexpr size_t HeadBytes = 8 + 8 + 8 + 8 + 4;  // magic, two lengths, hash, region count
constexpr size_t RegionHeadBytes = 1 + 8 + 4;    // part, position, length
constexpr size_t ChecksumBytes = 8;
constexpr size_t HashPiece = size_t{1} << 20;
// Room for the journal's own fields beyond the bytes it keeps, in any journal a batch writes.
constexpr int64_t JournalSlack = 65536;

// A 64-bit hash of bytes fed in pieces: it tells a torn journal from a whole one, and a changed
// directory from the one a journal was made from. Words are read as the disk has them (little
// endian on every system Zarnex runs on).
class Hasher {
  public:
    void Add(const unsigned char* bytes, size_t n) {
        length_ += n;
        while (n > 0) {
            if (filled_ == 0 && n >= 8) {
                uint64_t word;
                std::memcpy(&word, bytes, 8);
                Mix(word);
                bytes += 8;
                n -= 8;
                continue;
            }
            const size_t take = std::min(n, 8 - filled_);
            std::memcpy(tail_ + filled_, bytes, take);
            filled_ += take;
            bytes += take;
            n -= take;
            if (filled_ == 8) {
                uint64_t word;
                std::memcpy(&word, tail_, 8);
                Mix(word);
                filled_ = 0;
            }
        }
    }

    uint64_t Value() const {
        uint64_t h = h_;
        if (filled_ > 0) {
            unsigned char last[8] = {};
            std::memcpy(last, tail_, filled_);
            uint64_t word;
            std::memcpy(&word, last, 8);
            h = Step(h, word);
        }
        h ^= length_;
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ull;
        return h ^ (h >> 33);
    }

  private:
    static uint64_t Step(uint64_t h, uint64_t word) {
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        return h ^ (h >> 32);
    }
    void Mix(uint64_t word) { h_ = Step(h_, word); }

    uint64_t h_ = 0x243F6A8885A308D3ull;
    uint64_t length_ = 0;
    unsigned char tail_[8] = {};
    size_t filled_ = 0;
};

void PutLE64(std::vector<unsigned char>& out, uint64_t value) {
    for (int i = 0; i < 8; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

uint64_t GetLE64(const unsigned char* in) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | in[i];
    }
    return value;
}

uint64_t Checksum(const unsigned char* bytes, size_t n) {
    Hasher hasher;
    hasher.Add(bytes, n);
    return hasher.Value();
}

std::string FolderOf(const std::string& archivePath) {
    const std::string folder = FolderPart(archivePath);
    return folder.empty() ? "." : folder;
}

std::string JournalName(const std::string& archivePath) {
    return FileNamePart(archivePath) + ".zj";
}

ArchivePart RecordPart(const DirectoryTable& table) {
    return table.IsVersion2() ? ArchivePart::Data : ArchivePart::Directory;
}

// The hash of the first `extent` bytes of `part`, as the journal (if any) puts them back.
bool HashDirectory(File& file, const Journal* journal, ArchivePart part, int64_t extent,
                   uint64_t& hash) {
    Hasher hasher;
    std::vector<unsigned char> piece(static_cast<size_t>(std::min<int64_t>(extent, HashPiece)));
    for (int64_t at = 0; at < extent; at += HashPiece) {
        const auto n = static_cast<size_t>(std::min<int64_t>(extent - at, HashPiece));
        if (!ReadBack(file, journal, part, at, piece.data(), n)) {
            return false;
        }
        hasher.Add(piece.data(), n);
    }
    hash = hasher.Value();
    return true;
}

// Where the directory ends, as the journal (if any) puts it back; -1 when that is no directory.
int64_t DirectoryExtent(OpenArchive& archive, const Journal* journal) {
    if (!archive.table.IsVersion2()) {
        int64_t length = 0;
        if (journal) {
            return journal->directoryLength;
        }
        return archive.directory.Size(length) ? length : -1;
    }
    unsigned char header[Version2HeaderSize];
    if (!ReadBack(archive.data, journal, ArchivePart::Data, 0, header, sizeof header)) {
        return -1;
    }
    const auto count = static_cast<int32_t>(GetLE32(header + 4));
    return count < 0 ? -1 : Version2RecordPosition(count);
}

// The journal was made from this archive as it stands: its lengths, its version, and the whole
// directory with the regions put back hashes as the directory did before the change.
bool Matches(const Journal& journal, OpenArchive& archive) {
    const DirectoryTable& table = archive.table;
    int64_t dataLength = 0;
    if (!archive.data.Size(dataLength) || dataLength != journal.dataLength ||
        table.IsVersion2() != (journal.directoryLength < 0)) {
        return false;
    }
    // Past the end of a version-1 ".dir", only what the regions put back: nothing else is read.
    int64_t recordLength = 0, kept = 0;
    for (const JournalRegion& r : journal.regions) {
        kept += static_cast<int64_t>(r.bytes.size());
    }
    if (!RecordFile(archive).Size(recordLength) ||
        (!table.IsVersion2() && journal.directoryLength > recordLength + kept)) {
        return false;
    }
    const int64_t extent = DirectoryExtent(archive, &journal);
    if (extent < 0 || (table.IsVersion2() && extent > dataLength)) {
        return false;
    }
    // Regions only inside the directory, never over the version tag.
    const int64_t floor = table.IsVersion2() ? 4 : 0;
    for (const JournalRegion& r : journal.regions) {
        if (r.part != RecordPart(table) || r.position < floor || r.End() > extent) {
            return false;
        }
    }
    uint64_t hash = 0;
    return HashDirectory(RecordFile(archive), &journal, RecordPart(table), extent, hash) &&
           hash == journal.directoryHash;
}

// Puts the regions' bytes back where they differ, and the ".dir" length, then flushes.
bool RollBack(const Journal& journal, OpenArchive& archive) {
    File& file = RecordFile(archive);
    if (!archive.table.IsVersion2()) {
        int64_t length = 0;
        if (!file.Size(length) ||
            (length != journal.directoryLength && !file.Resize(journal.directoryLength))) {
            return false;
        }
    }
    std::vector<unsigned char> now;
    for (const JournalRegion& r : journal.regions) {
        now.assign(r.bytes.size(), 0);
        if (!file.ReadAt(r.position, now.data(), now.size())) {
            return false;
        }
        if (now != r.bytes && !file.WriteAt(r.position, r.bytes.data(), r.bytes.size())) {
            return false;
        }
    }
    return file.Sync();
}

}  // namespace

std::string JournalPath(const std::string& archivePath) {
    return archivePath + ".zj";
}

void Journal::Patch(ArchivePart part, int64_t position, unsigned char* bytes, size_t n) const {
    const int64_t end = position + static_cast<int64_t>(n);
    auto it =
        std::lower_bound(regions.begin(), regions.end(), std::make_pair(part, position),
                         [](const JournalRegion& r, const std::pair<ArchivePart, int64_t>& p) {
                             return r.part != p.first ? r.part < p.first : r.End() <= p.second;
                         });
    for (; it != regions.end() && it->part == part && it->position < end; ++it) {
        const int64_t from = std::max(position, it->position);
        const int64_t to = std::min(end, it->End());
        std::memcpy(bytes + (from - position), it->bytes.data() + (from - it->position),
                    static_cast<size_t>(to - from));
    }
}

std::vector<unsigned char> EncodeJournal(const Journal& journal) {
    std::vector<unsigned char> out(Magic, Magic + sizeof Magic);
    PutLE64(out, static_cast<uint64_t>(journal.dataLength));
    PutLE64(out, static_cast<uint64_t>(journal.directoryLength));
    PutLE64(out, journal.directoryHash);
    unsigned char count[4];
    PutLE32(count, static_cast<uint32_t>(journal.regions.size()));
    out.insert(out.end(), count, count + 4);
    for (const JournalRegion& r : journal.regions) {
        out.push_back(static_cast<unsigned char>(r.part));
        PutLE64(out, static_cast<uint64_t>(r.position));
        unsigned char length[4];
        PutLE32(length, static_cast<uint32_t>(r.bytes.size()));
        out.insert(out.end(), length, length + 4);
        out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    }
    PutLE64(out, Checksum(out.data(), out.size()));
    return out;
}

JournalForm DecodeJournal(const unsigned char* bytes, size_t n, Journal& journal) {
    if (n < HeadBytes + ChecksumBytes ||
        Checksum(bytes, n - ChecksumBytes) != GetLE64(bytes + n - ChecksumBytes)) {
        return JournalForm::Torn;
    }
    const size_t end = n - ChecksumBytes;
    journal = {};
    journal.dataLength = static_cast<int64_t>(GetLE64(bytes + 8));
    journal.directoryLength = static_cast<int64_t>(GetLE64(bytes + 16));
    journal.directoryHash = GetLE64(bytes + 24);
    const uint32_t count = GetLE32(bytes + 32);
    if (std::memcmp(bytes, Magic, sizeof Magic) != 0 || journal.dataLength < 0 ||
        journal.directoryLength < -1 || journal.directoryLength > ArchiveByteLimit ||
        count > (end - HeadBytes) / RegionHeadBytes) {
        return JournalForm::Malformed;
    }
    size_t at = HeadBytes;
    for (uint32_t i = 0; i < count; ++i) {
        if (end - at < RegionHeadBytes) {
            return JournalForm::Malformed;
        }
        JournalRegion r;
        r.part = static_cast<ArchivePart>(bytes[at]);
        r.position = static_cast<int64_t>(GetLE64(bytes + at + 1));
        const uint32_t length = GetLE32(bytes + at + 9);
        at += RegionHeadBytes;
        const bool apart =
            journal.regions.empty() || journal.regions.back().part < r.part ||
            (journal.regions.back().part == r.part && journal.regions.back().End() <= r.position);
        if (bytes[at - RegionHeadBytes] > static_cast<unsigned char>(ArchivePart::Directory) ||
            r.position < 0 || r.position > ArchiveByteLimit || length > end - at ||
            r.position + length > ArchiveByteLimit || !apart) {
            return JournalForm::Malformed;
        }
        r.bytes.assign(bytes + at, bytes + at + length);
        at += length;
        journal.regions.push_back(std::move(r));
    }
    return at == end ? JournalForm::Whole : JournalForm::Malformed;
}

JournalFinding FindJournal(OpenArchive& archive, IoState& io) {
    const std::string& archivePath = archive.path;
    if (!FileExists(JournalPath(archivePath))) {
        return {};  // nothing, or nothing a journal could be: a batch's own will not be made
    }
    // The archive's own failures stay its own: the journal's go into the finding.
    IoState local{.fileSystem = io.fileSystem};
    const Folder folder = Folder::Open(FolderOf(archivePath), local);
    const std::string name = JournalName(archivePath);
    const NodeInfo node = folder.IsOpen() ? folder.Look(name) : NodeInfo{};
    if (node.kind == NodeKind::Missing) {
        return local.Failed() ? JournalFinding{JournalState::Unreadable, {}, local.lastError}
                              : JournalFinding{};
    }
    File file = File::OpenIn(folder, name, OpenMode::ReadShared, local);
    int64_t size = 0, dataLength = 0, directoryLength = 0;
    if (!file.IsOpen() || !file.Size(size)) {
        return {JournalState::Unreadable, {}, local.lastError};
    }
    // No batch keeps more than every byte of the directory, twice over with its fields.
    archive.data.Size(dataLength);
    if (!archive.table.IsVersion2()) {
        archive.directory.Size(directoryLength);
    }
    if (size > 2 * (dataLength + directoryLength) + JournalSlack) {
        return {JournalState::Foreign, {}, 0};
    }
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    size_t got = 0;
    if (!file.ReadAt(0, bytes.data(), bytes.size(), &got) || got != bytes.size()) {
        return {JournalState::Unreadable, {}, local.Failed() ? local.lastError : ErrorInputOutput};
    }
    JournalFinding finding;
    switch (DecodeJournal(bytes.data(), bytes.size(), finding.journal)) {
        case JournalForm::Torn:
            finding.state = JournalState::Torn;
            break;
        case JournalForm::Malformed:
            finding.state = JournalState::Foreign;
            break;
        case JournalForm::Whole:
            finding.state =
                Matches(finding.journal, archive) ? JournalState::Pending : JournalState::Foreign;
            break;
    }
    return finding;
}

bool ReadBack(File& file, const Journal* journal, ArchivePart part, int64_t position,
              unsigned char* bytes, size_t n) {
    size_t got = 0;
    if (!file.ReadAt(position, bytes, n, &got)) {
        return false;
    }
    if (got < n) {
        const int64_t length =
            journal && part == ArchivePart::Directory ? journal->directoryLength : -1;
        if (position + static_cast<int64_t>(n) > length) {
            return false;
        }
        std::fill(bytes + got, bytes + n, 0);
    }
    if (journal) {
        journal->Patch(part, position, bytes, n);
    }
    return true;
}

bool SettleJournal(const JournalFinding& finding, OpenArchive& archive, IoState& io,
                   MessageBoxes& boxes) {
    const std::string& archivePath = archive.path;
    switch (finding.state) {
        case JournalState::None:
            return true;
        case JournalState::Unreadable:
            ReportArchiveOpenFailure(boxes, JournalPath(archivePath), finding.code);
            return false;
        case JournalState::Foreign:
            boxes.Show({.id = MessageId::JournalForeign, .path = JournalPath(archivePath)});
            return false;
        case JournalState::Torn:
        case JournalState::Pending:
            break;
    }
    const Folder folder = Folder::Open(FolderOf(archivePath), io);
    const bool pending = finding.state == JournalState::Pending;
    if (!folder.IsOpen() || (pending && !RollBack(finding.journal, archive)) ||
        !folder.Remove(JournalName(archivePath)) || !SyncFolder(FolderOf(archivePath), io)) {
        ReportIoFailure(boxes, io.lastError);
        return false;
    }
    return true;
}

void DirectoryChange::Write(int64_t position, std::vector<unsigned char> bytes) {
    writes_.push_back({RecordPart(archive_.table), position, std::move(bytes)});
}

void DirectoryChange::CutDirectory(int64_t length) {
    cut_ = length;
}

bool DirectoryChange::MakeJournal(Journal& journal, IoState& io) {
    File& file = RecordFile(archive_);
    const ArchivePart part = RecordPart(archive_.table);
    int64_t recordLength = 0;
    if (!archive_.data.Size(journal.dataLength) || !file.Size(recordLength)) {
        return false;
    }
    journal.directoryLength = archive_.table.IsVersion2() ? -1 : recordLength;
    const int64_t extent = DirectoryExtent(archive_, nullptr);
    if (extent < 0) {
        return false;
    }
    // Each run of writes that touch keeps its old bytes as one region.
    std::vector<std::pair<int64_t, int64_t>> runs;
    for (const JournalRegion& w : writes_) {
        if (!runs.empty() && w.position <= runs.back().second) {
            runs.back().second = std::max(runs.back().second, w.End());
        } else {
            runs.emplace_back(w.position, w.End());
        }
    }
    if (cut_ >= 0 && cut_ < recordLength) {
        runs.emplace_back(cut_, recordLength);
    }
    for (auto [from, to] : runs) {
        // A version-1 ".dir" that grows loses what it gained when it is cut back.
        if (part == ArchivePart::Directory) {
            to = std::min(to, extent);
        }
        if (from < (part == ArchivePart::Data ? 4 : 0) || to > extent) {
            return false;
        }
        if (from >= to) {
            continue;
        }
        JournalRegion r{part, from, std::vector<unsigned char>(static_cast<size_t>(to - from))};
        size_t got = 0;
        if (!file.ReadAt(from, r.bytes.data(), r.bytes.size(), &got)) {
            return false;
        }
        if (got != r.bytes.size()) {
            io.lastError = ErrorInputOutput;  // the file shrank under the batch
            return false;
        }
        journal.regions.push_back(std::move(r));
    }
    return HashDirectory(file, nullptr, part, extent, journal.directoryHash);
}

ChangeResult DirectoryChange::Commit() {
    IoState& io = *archive_.io;
    if (writes_.empty() && cut_ < 0) {
        return {};
    }
    std::sort(writes_.begin(), writes_.end(), [](const JournalRegion& a, const JournalRegion& b) {
        return a.position < b.position;
    });
    Journal journal;
    if (!MakeJournal(journal, io)) {
        return {ChangeOutcome::Undone, io.lastError ? io.lastError : ErrorBadPosition};
    }
    const std::vector<unsigned char> bytes = EncodeJournal(journal);
    const std::string folderPath = FolderOf(archive_.path);
    const std::string name = JournalName(archive_.path);

    // The journal, whole and under its name, before the first change. A kept one that is open
    // is empty and flushed: it is written over in place, and no folder's flush is owed.
    const Folder folder = Folder::Open(folderPath, io);
    File made;
    File& file = kept_ && kept_->file.IsOpen() ? kept_->file : made;
    const bool reused = file.IsOpen();
    bool created = false;
    if (!reused && folder.IsOpen()) {
        file = File::OpenIn(folder, name, OpenMode::CreateNew, io, &created);
    }
    if (!file.IsOpen() || !file.WriteAt(0, bytes.data(), bytes.size()) || !file.Sync() ||
        (!kept_ && !file.Close()) || (!reused && !SyncFolder(folderPath, io))) {
        const int code = io.lastError;
        file.Close();
        if (created || reused) {
            folder.Remove(name);
        }
        io.lastError = code;
        return {ChangeOutcome::Undone, code};
    }

    File& target = RecordFile(archive_);
    bool applied = true;
    for (const JournalRegion& w : writes_) {
        applied = applied && target.WriteAt(w.position, w.bytes.data(), w.bytes.size());
    }
    applied = applied && (cut_ < 0 || target.Resize(cut_)) && target.Sync();
    if (kept_) {
        // Emptied: from its flush on, a cut finds a torn journal, which undoes nothing.
        if (!applied || !file.Resize(0)) {
            file.Close();
            return Undo(journal, folder, io.lastError, io);
        }
        const bool emptied = file.Sync();
        if (!reused) {
            kept_->file = std::move(file);
        }
        return emptied ? ChangeResult{} : ChangeResult{ChangeOutcome::Unconfirmed, io.lastError};
    }
    if (!applied || !folder.Remove(name)) {
        return Undo(journal, folder, io.lastError, io);
    }
    if (!SyncFolder(folderPath, io)) {
        return {ChangeOutcome::Unconfirmed, io.lastError};
    }
    return {};
}

void RemoveKeptJournal(OpenArchive& archive, KeptJournal& kept) {
    if (!kept.file.IsOpen()) {
        return;
    }
    kept.file.Close();
    // Left behind, the empty journal would only be removed by the next writing batch.
    IoState io;
    const Folder folder = Folder::Open(FolderOf(archive.path), io);
    if (folder.IsOpen() && folder.Remove(JournalName(archive.path))) {
        SyncFolder(FolderOf(archive.path), io);
    }
}

ChangeResult DirectoryChange::Undo(const Journal& journal, const Folder& folder, int code,
                                   IoState& io) {
    // Once the old bytes are back and flushed, a journal that a cut brings back finds nothing
    // to undo: the folder's flush is owed to no one.
    const bool undone = RollBack(journal, archive_) && folder.Remove(JournalName(archive_.path));
    if (undone) {
        SyncFolder(FolderOf(archive_.path), io);
    }
    io.lastError = code;
    return {undone ? ChangeOutcome::Undone : ChangeOutcome::Waiting, code};
}

void ReportChangeFailure(MessageBoxes& boxes, const std::string& archivePath,
                         const ChangeResult& result) {
    switch (result.outcome) {
        case ChangeOutcome::Done:
            return;
        case ChangeOutcome::Undone:
            boxes.Show({.id = MessageId::ChangeUndone, .code = result.code});
            return;
        case ChangeOutcome::Waiting:
            boxes.Show({.id = MessageId::ChangeWaiting,
                        .path = JournalPath(archivePath),
                        .code = result.code});
            return;
        case ChangeOutcome::Unconfirmed:
            boxes.Show({.id = MessageId::ChangeUnconfirmed, .code = result.code});
            return;
    }
}

}  // namespace zarnex
