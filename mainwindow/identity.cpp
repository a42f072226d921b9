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
    // An icon theme may draw its own; ours is built in for a copy that was never installed. Qt
    // for Windows is built without SVG drawing: there it is a picture drawn from the SVG.
#ifdef _WIN32
    const QString builtIn = QStringLiteral(":/") + AppId + QStringLiteral(".png");
#else
    const QString builtIn = QStringLiteral(":/") + AppId + QStringLiteral(".svg");
#endif
    const QIcon icon = QIcon::fromTheme(AppId, QIcon(builtIn));
    if (!icon.isNull()) {  // else the system's: on Windows the .exe's own icon
        QGuiApplication::setWindowIcon(icon);
    }
}

bool UseQtWordsIn(Language language) {
    if (language != Language::Russian) {
        return true;  // Qt's words are English already
    }
    static QTranslator words;  // as long as the application
    // The system's Qt has them in its translations folder; a program that carries its Qt carries
    // them inside.
    return (words.load(QLocale(QLocale::Russian), "qtbase", "_",
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
            words.load(QLocale(QLocale::Russian), "qtbase", "_", ":/translations")) &&
           QCoreApplication::installTranslator(&words);
}

}  // namespace zarnex
