#include "mainwindow/temp_folders.h"

#include <QDir>
#include <algorithm>

namespace zarnex {

QString TempFolders::Make(bool kept) {
    Sweep();  // a drag's files nobody took: the file manager has long had them
    auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/zarnex-XXXXXX");
    if (!dir->isValid()) {
        return {};
    }
    const QString path = dir->path();
    folders_.push_back({std::move(dir), kept});
    return path;
}

void TempFolders::Sweep() {
    std::erase_if(folders_, [this](const Folder& folder) {
        return !folder.kept && !(inUse_ && inUse_(folder.dir->path()));
    });
}

}  // namespace zarnex
