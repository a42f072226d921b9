// Private folders for entries handed to other programs: dragged out of a contents window, or
// opened with the desktop's program.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

namespace zarnex {

class TempFolders {
  public:
    // `inUse`: whether the import list still names a file in the folder, which then stays until
    // the batch that takes the file has run.
    explicit TempFolders(std::function<bool(const QString& folder)> inUse)
        : inUse_(std::move(inUse)) {}
    // A new empty folder, or empty when none can be made. A kept one stays while the program
    // runs: the desktop's program may read its file at any time.
    QString Make(bool kept = false);
    // Removes every folder that is neither kept nor in use.
    void Sweep();

  private:
    struct Folder {
        std::unique_ptr<QTemporaryDir> dir;
        bool kept = false;
    };
    std::function<bool(const QString& folder)> inUse_;
    std::vector<Folder> folders_;
};

}  // namespace zarnex
