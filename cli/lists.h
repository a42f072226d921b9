// The lists of -T: an item a line, or a NUL byte after each with --null; "-" is standard input.
// UTF-8 with or without a byte-order mark, or UTF-16 with one; on Windows a list that is no UTF-8
// is in the code page that Notepad or a console program wrote it in.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zarnex::cli {

// Appends the items of every list, in order, to `items`, leaving out empty ones; `verbose` says
// on standard error how a list was read when it was not plain UTF-8. When a list cannot be read
// or is refused: the exit status, after the reason is printed.
std::optional<int> ReadLists(const std::vector<std::string>& lists, bool nullSeparated,
                             bool verbose, std::vector<std::string>& items);

}  // namespace zarnex::cli
