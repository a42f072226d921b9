// What the program keeps between runs, read from and written to the settings file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/messages.h"

namespace zarnex {

// A contents window's size and column widths, as the fourth line keeps them: "W H c0 c1 …".
struct ContentsLayout {
    int width = 680;
    int height = 480;
    std::vector<int> columns = {50, 200, 70, 50, 80, 70};
};
// The defaults when the line is not sane numbers; a line from before the "#" column gives its
// widths to the other columns.
ContentsLayout ParseContentsLayout(const std::string& line);
std::string FormatContentsLayout(const ContentsLayout& layout);

struct Settings {
    std::string archivePath;                 // line 1: the path field
    std::string addFolder;                   // line 2: where the Add dialog starts
    std::string extractFolder;               // line 3: the folder last chosen for extraction
    std::optional<ContentsLayout> contents;  // line 4, once a contents window has been open
};

// The lines as far as they go. A file that cannot be read, or one of the first three lines
// missing, is reported in a box and stops the reading there: what was read before stays, and
// `complete` is false. No file at all reads as empty settings.
Settings LoadSettings(const std::string& path, MessageBoxes& boxes, bool& complete);
// Written aside and renamed over the old file, so that a crash never leaves half a file; a
// failure is reported in a box.
bool SaveSettings(const std::string& path, const Settings& settings, MessageBoxes& boxes);

}  // namespace zarnex
