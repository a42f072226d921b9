// Where a program keeps its settings, by each system's own rules.
#pragma once

#include <string>
#include <string_view>

namespace zarnex {

// This user may make files in the folder. POSIX reads its permission bits, so that a folder
// without write permission stays read-only for root too; Windows makes (and drops) a file there,
// which is the one answer its access lists and virtual stores cannot get wrong.
bool FolderWritable(const std::string& folder);

// The executable was installed by the system's means rather than unpacked anywhere: on POSIX it
// sits in the bin folder of a tree whose share/applications holds its desktop entry
// (`desktopId`.desktop); on Windows it lies inside a Program Files folder.
bool InstalledCopy(const std::string& executableDir, std::string_view desktopId);

// This user's folder for Zarnex's settings: $XDG_CONFIG_HOME/zarnex (~/.config/zarnex without it)
// on POSIX, %APPDATA%\Zarnex on Windows. Empty when the system names none.
std::string UserSettingsFolder();

}  // namespace zarnex
