// The settings file and the command line; no widgets here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/messages.h"

namespace zarnex {

// "zarnex.ini" beside the executable while that folder is writable, so that a portable copy keeps
// its settings with it; else, and always for an installed copy, in the user's settings folder.
std::string SettingsFilePath(const std::string& executableDir);

// Lines end at CR LF, a lone CR or a lone LF; the text ends at its first NUL.
std::vector<std::string> SplitSettingsLines(const std::string& text);
// Each line ended by CR LF: the three, and the contents window's size once it has been open.
std::string JoinSettingsLines(const std::vector<std::string>& lines);

// A dialog's starting folder drops one trailing "/", except the root itself.
std::string InitialDirFrom(const std::string& folder);

// The first double-quoted path among the first 261 characters of the argument text, when its
// extension is ".img" in any letter case; else empty.
std::string CommandLineArchivePath(const std::string& startupArgument);

// Takes "--lang ru|en" (or "--lang=ru|en") out of the arguments: the language it names; nothing
// when there is none. `bad` receives a value that names no language.
std::optional<Language> TakeLanguageOption(std::vector<std::string>& arguments, std::string& bad);

// What the program entry keeps: each argument in double quotes, joined by blanks.
std::string MakeStartupArgument(const std::vector<std::string>& arguments);

}  // namespace zarnex
