// The settings file and the command line; no widgets here.
#pragma once

#include <string>
#include <vector>

namespace zarnex {

// Lines end at CR LF, a lone CR or a lone LF; the text ends at its first NUL.
std::vector<std::string> SplitSettingsLines(const std::string& text);
// Three lines, each ended by CR LF.
std::string JoinSettingsLines(const std::vector<std::string>& lines);

// A dialog's starting folder drops one trailing "/", except the root itself.
std::string InitialDirFrom(const std::string& folder);

// The first double-quoted path among the first 261 characters of the argument text, when its
// extension is ".img" in any letter case; else empty.
std::string CommandLineArchivePath(const std::string& startupArgument);

// What the program entry keeps: each argument in double quotes, joined by blanks.
std::string MakeStartupArgument(const std::vector<std::string>& arguments);

}  // namespace zarnex
