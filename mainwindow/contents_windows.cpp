#include "mainwindow/contents_windows.h"

#include <QFileInfo>

namespace zarnex {

namespace {

QString ArchiveKey(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absoluteFilePath();
}

}  // namespace

ContentsWindows::~ContentsWindows() {
    for (const QPointer<ContentsWindow>& window : windows_) {
        delete window.data();
    }
}

ContentsWindow* ContentsWindows::Of(const std::string& archivePath) const {
    const QString key = ArchiveKey(archivePath);
    for (const QPointer<ContentsWindow>& window : windows_) {
        if (window && ArchiveKey(window->ArchivePath()) == key) {
            return window;
        }
    }
    return nullptr;
}

ContentsWindow* ContentsWindows::Open(const std::string& archivePath,
                                      const ContentsLayout& layout) {
    if (archivePath.empty()) {
        return nullptr;
    }
    ContentsWindow* window = Of(archivePath);
    if (window) {
        window->Reload(false);
    } else {
        window = new ContentsWindow(host_, layout);
        window->setAttribute(Qt::WA_DeleteOnClose);
        std::erase(windows_, nullptr);
        windows_.emplace_back(window);
        window->Open(archivePath);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ContentsWindows::CloseAll() {
    for (const QPointer<ContentsWindow>& window : windows_) {
        if (window) {
            window->close();
        }
    }
}

}  // namespace zarnex
