// The window's dialogs behind small interfaces, so that tests can answer them.
#pragma once

#include <QString>
#include <QStringList>

#include "archive/messages.h"

class QFileDialog;
class QMimeData;
class QWidget;

namespace zarnex {

struct OpenDialogRequest {
    QString title;
    QString initialDir;
    QStringList filters;  // Qt's form: "description (patterns)"
    bool multiSelect = false;
};

class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // The chosen files, or none when cancelled.
    virtual QStringList OpenFiles(QWidget* parent, const OpenDialogRequest& request) = 0;
    // The chosen folder, or empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& instruction,
                                 const QString& start) = 0;
};

class QtDialogs : public Dialogs {
  public:
    QStringList OpenFiles(QWidget* parent, const OpenDialogRequest& request) override;
    QString ChooseFolder(QWidget* parent, const QString& instruction,
                         const QString& start) override;
};

// The file dialog as OpenFiles shows it.
void ConfigureOpenDialog(QFileDialog& dialog, const OpenDialogRequest& request);

// The local files among what a drop brings: the other way of choosing files.
QStringList DroppedFiles(const QMimeData& data);

// Task-modal QMessageBoxes without an owner, in the user's language.
class QtMessageBoxes : public MessageBoxes {
  public:
    explicit QtMessageBoxes(Language language) : language_(language) {}
    MessageAnswer Show(const Message& message) override;

  private:
    Language language_;
};

// A box as the desktop shows it. The first button is the default whatever order the style puts
// the buttons in, so that Enter gives the same answer on every desktop.
MessageAnswer ShowMessageBox(const MessageBoxRequest& request);

// "Description(*.a;*.b)|*.a;*.b|..." as Qt's filters, each description kept as it reads; "*.*"
// becomes "*", so that names without a dot are listed too.
QStringList QtFiltersFrom(const QString& windowsFilter);

}  // namespace zarnex
