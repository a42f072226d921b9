// Path pieces. "/" separates folders; on Windows "\" does too, and a drive's ":" ends its name.
#pragma once

#include <string>
#include <string_view>

namespace zarnex {

// Where the last separator stands, or npos.
size_t LastSeparator(std::string_view path);
// What follows the last separator.
std::string FileNamePart(std::string_view path);
// Up to and including the last separator; empty when there is none.
std::string FolderPart(std::string_view path);
// From the last "." of the file name to the end, the "." included; empty when the file name
// has no ".".
std::string ExtensionPart(std::string_view path);
// folder, a separator, name, without doubling a separator that ends the folder.
std::string JoinPath(std::string_view folder, std::string_view name);

// A name this system can take as a plain file in a folder: not empty, not "." or "..", no
// separator. On Windows also no device (CON, NUL, COM1 ... with any extension), no stream (":"),
// none of <>"|?* or a control character, and no "." or space at the end, which the system
// would drop.
bool IsPlainFileName(std::string_view name);
// The same rule as Windows has it, on any system.
bool IsPlainWindowsFileName(std::string_view name);

}  // namespace zarnex
