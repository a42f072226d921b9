#include "mainwindow/dialogs.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>

namespace zarnex {

void ConfigureOpenDialog(QFileDialog& dialog, const OpenDialogRequest& request) {
    dialog.setWindowTitle(request.title);
    if (!request.initialDir.isEmpty()) {  // else the dialog's own default, the working folder
        dialog.setDirectory(request.initialDir);
    }
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilters(request.filters);
    if (!request.filters.isEmpty()) {
        dialog.selectNameFilter(request.filters.front());
    }
}

QStringList QtDialogs::OpenFiles(QWidget* parent, const OpenDialogRequest& request) {
    QFileDialog dialog(parent);
    ConfigureOpenDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

QString QtDialogs::ChooseFolder(QWidget* parent, const QString& instruction, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, instruction, start, QFileDialog::ShowDirsOnly);
}

MessageAnswer QtMessageBoxes::Show(const Message& message) {
    return ShowMessageBox(Render(message, language_));
}

MessageAnswer ShowMessageBox(const MessageBoxRequest& request) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (request.icon) {
        case MessageIcon::Error:
            icon = QMessageBox::Critical;
            break;
        case MessageIcon::Warning:
            icon = QMessageBox::Warning;
            break;
        case MessageIcon::Question:
            icon = QMessageBox::Question;
            break;
        case MessageIcon::Information:
            icon = QMessageBox::Information;
            break;
        case MessageIcon::None:
            break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (request.buttons == MessageButtons::YesNo) {
        buttons = QMessageBox::Yes | QMessageBox::No;
    } else if (request.buttons == MessageButtons::YesNoCancel) {
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    } else if (request.buttons == MessageButtons::YesNoToAllCancel) {
        buttons = QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No |
                  QMessageBox::NoToAll | QMessageBox::Cancel;
    }
    QMessageBox box(icon, QString::fromStdString(request.title),
                    QString::fromStdString(request.text), buttons);
    box.setDefaultButton(request.buttons == MessageButtons::Ok ? QMessageBox::Ok
                                                               : QMessageBox::Yes);
    int result;
    if (request.taskModal) {
        box.setWindowModality(Qt::ApplicationModal);
        result = box.exec();
    } else {
        // The rest of the program stays usable while this one is up.
        box.setWindowModality(Qt::NonModal);
        QEventLoop loop;
        QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
        box.show();
        loop.exec();
        result = box.result();
    }
    switch (result) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::YesToAll:
            return MessageAnswer::YesToAll;
        case QMessageBox::NoToAll:
            return MessageAnswer::NoToAll;
        default:
            break;
    }
    if (request.buttons == MessageButtons::Ok) {
        return MessageAnswer::Ok;
    }
    // Closing the box by its title bar is the safe answer.
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
}

QStringList QtFiltersFrom(const QString& windowsFilter) {
    const QStringList parts = windowsFilter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';');
        for (QString& pattern : patterns) {
            if (pattern == "*.*") {
                pattern = "*";
            }
        }
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

QStringList DroppedFiles(const QMimeData& data) {
    QStringList paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    return paths;
}

}  // namespace zarnex
