#include "mainwindow/identity.h"

#include <QGuiApplication>

namespace zarnex {

void SetApplicationIdentity() {
    QCoreApplication::setApplicationName("zarnex");
    QGuiApplication::setDesktopFileName(AppId);
}

}  // namespace zarnex
