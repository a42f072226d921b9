// The one rule for the name an entry may take, for import, rename and check alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zarnex {

// What makes a name unfit, the first found in this order.
enum class NameFault {
    None,
    Empty,
    Dots,       // "." or "..": a folder, not a file
    Path,       // "/", "\" or ":": a folder or a Windows stream, not a file
    Control,    // a control character: forges lines of a listing, and no system shows it
    Ends,       // a leading space, a trailing space or dot: Windows drops or hides them
    Undefined,  // 0x98, which Windows-1251 leaves undefined
    TooLong,    // more bytes than the limit
};

// Of `ansi`, Windows-1251 bytes, allowed at most `limit` of them.
NameFault EntryNameFault(std::string_view ansi, size_t limit);
inline bool IsValidEntryName(std::string_view ansi, size_t limit) {
    return EntryNameFault(ansi, limit) == NameFault::None;
}

// A stored name for a listing or a window, in UTF-8 on one line: a control character as "\xNN"
// and a backslash as "\\", so that no name forges a line or a column, or passes for another.
std::string DisplayName(std::string_view ansi);
// The same, added to the end of `out`.
void AppendDisplayName(std::string& out, std::string_view ansi);
// DisplayName for a name given in UTF-8, which a list file or a script may have made.
std::string DisplayText(std::string_view utf8);

}  // namespace zarnex
