// The lists of -T: an item a line, or a NUL byte after each with --null; "-" is standard input.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zarnex::cli {

// Appends the items of every list, in order, to `items`, leaving out empty ones. When a list
// cannot be read or is refused: the exit status, after the reason is printed.
std::optional<int> ReadLists(const std::vector<std::string>& lists, bool nullSeparated,
                             std::vector<std::string>& items);

}  // namespace zarnex::cli
