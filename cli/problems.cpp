#include "cli/problems.h"

#include "archive/directory.h"
#include "platform/codepage.h"

namespace zarnex::cli {

namespace {

// A name on one line, quoted: control bytes, quotes and backslashes escaped.
std::string Quoted(const AnsiString& name) {
    static const char* const hex = "0123456789abcdef";
    std::string text = "\"";
    for (char c : AnsiToUtf8Lossy(name)) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            text += "\\x";
            text += hex[byte >> 4];
            text += hex[byte & 15];
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string Sectors(const DirectoryEntry& entry) {
    return "sectors " + std::to_string(entry.offset) + " to " + std::to_string(EntryEnd(entry) - 1);
}

}  // namespace

std::string DescribeProblem(const ArchiveCheck& check, const std::string& archivePath,
                            const Problem& problem) {
    const DirectoryTable& table = check.table;
    auto entryText = [&](int32_t i) {
        return "entry " + std::to_string(i) + " " +
               Quoted(table.entries[static_cast<size_t>(i)].name);
    };
    if (problem.kind == ProblemKind::PartialRecord) {
        return "partial record: " + DirectoryFilePath(archivePath) + " ends in " +
               std::to_string(check.directoryBytes % RecordSize) +
               " bytes that are no whole record";
    }
    const DirectoryEntry& entry = table.entries[static_cast<size_t>(problem.entry)];
    const std::string subject = entryText(problem.entry);
    switch (problem.kind) {
        case ProblemKind::NegativeOffset:
            return "out of range: " + subject + ": offset " + std::to_string(entry.offset) +
                   " is negative";
        case ProblemKind::NegativeSize:
            return "out of range: " + subject + ": size " + std::to_string(entry.size) +
                   " is negative";
        case ProblemKind::BeyondLimit:
            return "out of range: " + subject + ": offset " + std::to_string(entry.offset) +
                   " and size " + std::to_string(entry.size) + " lie beyond 2 GiB (sector " +
                   std::to_string(ArchiveSectorLimit) + ")";
        case ProblemKind::EmptyName:
            return "bad name: " + subject + ": the name is empty";
        case ProblemKind::DotName:
            return "bad name: " + subject + ": \".\" and \"..\" are no file names";
        case ProblemKind::SlashInName:
            return "bad name: " + subject + ": the name holds \"/\"";
        case ProblemKind::UndefinedByteInName:
            return "bad name: " + subject +
                   ": the name holds the byte 0x98, which Windows-1251 leaves undefined";
        case ProblemKind::InsideDirectory:
            return "inside directory: " + subject + ": its data starts at byte " +
                   std::to_string(SectorToByte(entry.offset)) +
                   ", inside the header and directory (bytes 0 to " +
                   std::to_string(Version2RecordPosition(table.count) - 1) + ")";
        case ProblemKind::PastEnd:
            return "past end: " + subject + ": " + Sectors(entry) + " end at byte " +
                   std::to_string(SectorToByte(EntryEnd(entry))) + ", past the data file's " +
                   std::to_string(check.dataBytes) + " bytes";
        case ProblemKind::Overlap: {
            const DirectoryEntry& other = table.entries[static_cast<size_t>(problem.other)];
            return "overlap: " + subject + " (" + Sectors(entry) + ") and " +
                   entryText(problem.other) + " (" + Sectors(other) + ")";
        }
        case ProblemKind::DuplicateName:
            return "duplicate name (warning): " + subject + " has the name of " +
                   entryText(problem.other) + " ignoring case; the game reads entry " +
                   std::to_string(problem.other);
        case ProblemKind::PartialRecord:
            break;
    }
    return "problem: " + subject;
}

}  // namespace zarnex::cli
