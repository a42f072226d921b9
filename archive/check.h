// What is wrong with an archive's directory, entry by entry, without changing anything.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/directory.h"
#include "archive/messages.h"
#include "platform/file.h"

namespace zarnex {

// In the order the problems are reported.
enum class ProblemKind {
    PartialRecord,        // version 1: the ".dir" ends in part of a record
    NegativeOffset,       // out of range
    NegativeSize,         // out of range
    BeyondLimit,          // starts at or ends past sector 2^20, the 2 GiB that byte positions hold
    EmptyName,            // no file name; this and the other bad names are warnings
    DotName,              // "." or ".."
    PathInName,           // "/", "\" or ":": names a path or a stream, not a file
    ControlInName,        // a control character
    NameEnds,             // a leading space, a trailing space or dot
    UndefinedByteInName,  // 0x98, which Windows-1251 leaves undefined
    InsideDirectory,      // version 2: data starts inside the header and directory
    PastEnd,              // data reaches past the end of the data file
    Overlap,              // shares sectors with `other`
    DuplicateName,        // the name of `other` ignoring case; a warning: readers take `other`
    InterruptedDeletion,  // the record past the entries copies `other`: a deletion cut off
};

struct Problem {
    ProblemKind kind = ProblemKind::PartialRecord;
    int32_t entry = -1;  // the entry index; -1 for PartialRecord
    int32_t other = -1;  // Overlap, DuplicateName: the entry it is set against
    auto operator<=>(const Problem&) const = default;
};

// One line per problem, not per pair: an entry that overlaps several is set against the one
// reaching furthest before it, and a repeated name against its first holder in directory order.
// Entries out of range are left out of the sector checks, and entries of size 0 cover nothing.
// `dataBytes` is the data file's length; `directoryBytes` the ".dir" length (version 1).
std::vector<Problem> CheckTable(const DirectoryTable& table, int64_t dataBytes,
                                int64_t directoryBytes);
// Only the problems of where entries lie (out of range, inside the directory, past the end,
// overlapping), in no set order: what moving data by the directory depends on, without reading
// every name.
std::vector<Problem> CheckSpace(const DirectoryTable& table, int64_t dataBytes);

// The kinds of damage CheckTable finds, each once: what makes a writing batch refuse the archive,
// since it would write by what the directory says. The rest are warnings: bad and repeated
// names, and the copy an interrupted deletion left, which the next writing batch removes.
std::vector<DamageKind> FindDamage(const DirectoryTable& table, int64_t dataBytes,
                                   int64_t directoryBytes);

struct ArchiveCheck {
    DirectoryTable table;  // extraction form: entries in directory order
    int64_t dataBytes = 0;
    int64_t directoryBytes = 0;  // version 1 only
    std::string directoryPath;   // version 1 only
    std::vector<Problem> problems;
};

// Reads the archive with shared reading and checks it. When it cannot be read, the reason has
// been shown and the result is empty.
std::optional<ArchiveCheck> CheckArchive(const std::string& path, IoState& io, MessageBoxes& boxes);

// A problem in words, on one line, naming the entries by index and name.
std::string DescribeProblem(const ArchiveCheck& check, const Problem& problem, Language language);

}  // namespace zarnex
