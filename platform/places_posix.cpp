#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/places.h"

namespace zarnex {

bool FolderWritable(const std::string& folder) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
        return false;
    }
    if (geteuid() != 0) {
        return true;
    }
    // Root may write anywhere, yet a folder that denies its owner class writing is read-only.
    const mode_t bit = info.st_uid == 0 ? S_IWUSR : (info.st_gid == getegid() ? S_IWGRP : S_IWOTH);
    return (info.st_mode & bit) != 0;
}

bool InstalledCopy(const std::string& executableDir, std::string_view desktopId) {
    return FileExists(JoinPath(executableDir, "../share/applications/") + std::string(desktopId) +
                      ".desktop");
}

std::string UserSettingsFolder() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return JoinPath(config, "zarnex");
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        return {};
    }
    return JoinPath(JoinPath(home, ".config"), "zarnex");
}

}  // namespace zarnex
