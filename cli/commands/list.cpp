// zarnex-cli list: the directory, an entry a line.
#include <charconv>
#include <iostream>
#include <optional>
#include <string>

#include "archive/directory.h"
#include "archive/names.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/terminal.h"

namespace zarnex::cli {

namespace {

int Run(CommandLine& line) {
    if (const auto status = line.ReadOptionsAndArchive()) {
        return *status;
    }
    IoState io;
    TerminalMessageBoxes boxes(OverwritePolicy::No);
    const std::optional<OpenArchive> archive = LoadDirectory(line.Operands()[0], io, boxes);
    if (!archive) {
        return ExitStatusOf(BatchEnd::NotRun);
    }
    const DirectoryTable& table = archive->table;
    // The lines go out through one buffer: a stream's write per field costs more than the rest.
    constexpr size_t BufferBytes = size_t{1} << 20;
    std::string out = Words(
        {.id = MessageId::ListHeader, .count = table.count, .version = table.IsVersion2() ? 2 : 1});
    out += '\n';
    out.reserve(BufferBytes + 256);
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& entry = table.entries[static_cast<size_t>(i)];
        char numbers[40];
        char* end = numbers;
        for (const int32_t n : {i, entry.offset, entry.size}) {
            end = std::to_chars(end, numbers + sizeof numbers, n).ptr;
            *end++ = '\t';
        }
        out.append(numbers, end);
        AppendDisplayName(out, entry.Name());
        out += '\n';
        if (out.size() >= BufferBytes) {
            std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
            out.clear();
        }
    }
    std::cout.write(out.data(), static_cast<std::streamsize>(out.size()));
    return ExitStatusOf(BatchEnd::Done);
}

}  // namespace

extern const Command ListCommand{
    "list", "list ARCHIVE", MessageId::ListAbout, {}, Run,
};

}  // namespace zarnex::cli
