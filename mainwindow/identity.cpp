#include "mainwindow/identity.h"

#include <QGuiApplication>
#include <QIcon>

namespace zarnex {

void SetApplicationIdentity() {
    QCoreApplication::setApplicationName("zarnex");
    QGuiApplication::setDesktopFileName(AppId);
    // An icon theme may draw its own; ours is built in for a copy that was never installed.
    QGuiApplication::setWindowIcon(
        QIcon::fromTheme(AppId, QIcon(QStringLiteral(":/") + AppId + QStringLiteral(".svg"))));
}

}  // namespace zarnex
