#include "mainwindow/batch_view.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QWidget>
#include <algorithm>

#include "mainwindow/dialogs.h"
#include "platform/file.h"

namespace zarnex {

QString WordIn(Word word, Language language) {
    return QString::fromUtf8(WordText(word, language));
}

void RepaintNow(QWidget& window) {
    if (window.isVisible()) {
        window.repaint();
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

MessageAnswer LiveBoxes::Show(const Message& message) {
    const MessageAnswer answer = boxes_.Show(message);
    RepaintNow(window_);
    return answer;
}

MessageAnswer QuietBoxes::Show(const Message& message) {
    if (!quiet_.contains(message.id)) {
        return boxes_.Show(message);
    }
    if (told_) {
        told_(message);
    }
    return MessageAnswer::Ok;
}

// Qt would show a range of 0..0 as a busy bar.
void BatchProgress::Start(int total) {
    sinceEvents_.invalidate();
    Set(0, total);
}

void BatchProgress::Set(int done, int total) {
    bar_.setRange(0, std::max(total, 1));
    bar_.setValue(done);
    if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= interval_.count()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sinceEvents_.start();
    }
}

void BatchProgress::Finish() {
    bar_.setRange(0, 1);
    bar_.setValue(0);
}

std::string ChooseExtractFolder(Dialogs& dialogs, QWidget& parent, Language language,
                                std::string& lastFolder) {
    if (!FolderExists(lastFolder)) {
        lastFolder.clear();
    }
    const QString chosen = dialogs.ChooseFolder(
        &parent, WordIn(Word::ChooseExtractFolder, language), QString::fromStdString(lastFolder));
    RepaintNow(parent);
    if (!chosen.isEmpty()) {
        lastFolder = chosen.toStdString();
    }
    return chosen.toStdString();
}

}  // namespace zarnex
