#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <cstdio>
#include <exception>
#include <memory>

#include "mainwindow/aboutbox.h"
#include "mainwindow/dialogs.h"
#include "mainwindow/identity.h"
#include "mainwindow/import_window.h"
#include "mainwindow/settings.h"

namespace {

std::unique_ptr<zarnex::QtMessageBoxes> boxes;

void ShowEscapedFailure(const std::string& message) {
    if (boxes) {
        boxes->Show({.id = zarnex::MessageId::ApplicationError, .text = message});
    }
}

// A failure that escapes a handler is reported, and the program goes on.
class Application : public QApplication {
  public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& failure) {
            ShowEscapedFailure(failure.what());
        } catch (...) {
            ShowEscapedFailure("");
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Qt 6.4 follows Windows' dark mode (frames and palette) only when asked to.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "windows:darkmode=2");
    }
#endif
    Application application(argc, argv);
    zarnex::SetApplicationIdentity();
#ifdef _WIN32
    // Windows' dialog font goes by these names, which Qt does not resolve itself (under Wine a
    // serif stood in): Windows' own substitutes, then a sans serif that Linux has.
    for (const char* dialogFont : {"MS Shell Dlg", "MS Shell Dlg 2"}) {
        QFont::insertSubstitutions(dialogFont, {"Tahoma", "Microsoft Sans Serif", "DejaVu Sans"});
    }
    // The Windows style paints its controls light whatever the palette says; Fusion paints dark.
    if (QApplication::palette().color(QPalette::Window).lightness() < 128 &&
        QApplication::style()->name() == "windowsvista") {
        QApplication::setStyle("fusion");
    }
    // argv is in the ANSI code page; Qt reads the UTF-16 command line, less its own options.
    std::vector<std::string> arguments;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        arguments.push_back(argument.toStdString());
    }
#else
    // Only now: Qt has taken its own options ("-style Fusion" and the like) out of argv.
    std::vector<std::string> arguments(argv + 1, argv + argc);
#endif
    std::string badLanguage;
    const zarnex::Language language = zarnex::TakeLanguageOption(arguments, badLanguage)
                                          .value_or(zarnex::LanguageFromEnvironment());
    if (!badLanguage.empty()) {
        std::fprintf(stderr, "zarnex: --lang takes ru or en, not '%s'\n", badLanguage.c_str());
    }
    zarnex::UseQtWordsIn(language);
    boxes = std::make_unique<zarnex::QtMessageBoxes>(language);
    try {
        zarnex::QtDialogs dialogs;
        zarnex::ImportWindowServices services;
        services.boxes = boxes.get();
        services.dialogs = &dialogs;
        services.language = language;
        services.executableDir = QApplication::applicationDirPath().toStdString();
        services.startupArgument = zarnex::MakeStartupArgument(arguments);
        zarnex::ImportWindow window(services);
        zarnex::AboutBox aboutBox(&window);
        window.SetAboutBox(&aboutBox);
        window.show();
        application.exec();
    } catch (const std::exception& failure) {
        ShowEscapedFailure(failure.what());
    } catch (...) {
        ShowEscapedFailure("");
    }
    return 0;
}
