// File arguments with wildcards. A Unix shell expands them before the program starts; cmd.exe
// hands them over as typed, so on Windows the program expands them itself, as Windows tools do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zarnex {

// The text holds a `*` or a `?`.
bool HasWildcards(std::string_view text);

// On Windows, an argument with wildcards in its file name: the files it matches (no folders), with
// the argument's folder part before each name, sorted as the system lists a folder (ignoring
// case); empty when none matches. Any other argument, and every argument elsewhere: itself.
std::vector<std::string> ExpandFileArgument(const std::string& argument);

}  // namespace zarnex
