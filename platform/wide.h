// Windows only: text is UTF-8 everywhere but at the Win32 calls, which take UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace zarnex {

// False for bytes that are not UTF-8; `out` is then empty.
bool Utf8ToWide(std::string_view utf8, std::wstring& out);
// Unpaired halves of a surrogate pair become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

// The path as the Win32 file calls take it whatever its length: absolute, "\" between folders,
// in the "\\?\" form that no length limit applies to. A device path ("\\.\...") or a reserved
// device name stays what it is. False when the path is no UTF-8 or names nothing.
bool Win32Path(const std::string& path, std::wstring& out);

}  // namespace zarnex
