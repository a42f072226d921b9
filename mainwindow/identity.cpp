#include "mainwindow/identity.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zarnex {

void SetApplicationIdentity() {
    QCoreApplication::setApplicationName("zarnex");
    QGuiApplication::setDesktopFileName(AppId);
    // An icon theme may draw its own; ours is built in for a copy that was never installed.
    QGuiApplication::setWindowIcon(
        QIcon::fromTheme(AppId, QIcon(QStringLiteral(":/") + AppId + QStringLiteral(".svg"))));
}

bool UseQtWordsIn(Language language) {
    if (language != Language::Russian) {
        return true;  // Qt's words are English already
    }
    static QTranslator words;  // as long as the application
    return words.load(QLocale(QLocale::Russian), "qtbase", "_",
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
           QCoreApplication::installTranslator(&words);
}

}  // namespace zarnex
