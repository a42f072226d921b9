// The main window's two batches: Replace writes the listed files into the archive, Extract...
// copies the archive's entries of the listed names out.
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "archive/extract.h"
#include "archive/import.h"
#include "mainwindow/import_list_view.h"
#include "mainwindow/import_window.h"

namespace zarnex {

void ImportWindow::SetBatchButtons(bool enabled) {
    for (QPushButton* button : {extractButton_, replaceButton_, addButton_, deleteButton_}) {
        button->setEnabled(enabled);
    }
}

void ImportWindow::EnableAfterBatch() {
    EnableWhenListHasRows();
    addButton_->setEnabled(true);
    deleteButton_->setEnabled(true);
}

// A close asked for meanwhile happens now, as it would have once the handler returned.
void ImportWindow::EndBusy() {
    if (--busy_ == 0 && closeWanted_) {
        closeWanted_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void ImportWindow::ButtonReplaceClick() {
    if (liveBoxes_.Show({.id = MessageId::ReplaceQuestion}) != MessageAnswer::Yes) {
        return;
    }
    const Busy busy(*this);
    SetBatchButtons(false);
    const std::vector<std::string> paths = importList_->StartRemovals();
    const int total = static_cast<int>(paths.size());
    progress_.Start(total);
    IoState io;
    ImportCallbacks callbacks;
    callbacks.progress = progress_.Reporter();
    callbacks.removeFromImportList = [this](const std::string& path, ImportKind) {
        importList_->Remove(path);
    };
    ImportFiles(archivePath_->text().toStdString(), paths, liveBoxes_, callbacks, io);
    importList_->EndRemovals();
    progress_.Finish();
    EnableAfterBatch();
    tempFolders_.Sweep();  // dropped entries that are in the archive now
    ReloadContents();
}

void ImportWindow::ButtonExtractClick() {
    if (ChooseExtractFolder(*services_.dialogs, *this, services_.language, settings_.extractFolder)
            .empty()) {
        return;
    }
    const Busy busy(*this);
    std::vector<std::string> names;
    for (int i = 0; i < importList_->RowCount(); ++i) {
        names.push_back(importList_->Row(i).caption);
    }
    progress_.Start(static_cast<int>(names.size()));
    IoState io;
    ExtractCallbacks callbacks;
    callbacks.progress = progress_.Reporter();
    callbacks.started = [this] { SetBatchButtons(false); };
    const ExtractOutcome outcome =
        ExtractFiles(archivePath_->text().toStdString(), settings_.extractFolder, names, liveBoxes_,
                     callbacks, io);
    progress_.Finish();
    if (outcome.loaded) {
        EnableAfterBatch();
    }
    ReloadContents();
}

// Whatever a batch did to the archive a contents window shows, that window shows now.
void ImportWindow::ReloadContents() {
    if (ContentsWindow* window = contents_.Of(archivePath_->text().toStdString())) {
        window->Reload(true);
    }
}

}  // namespace zarnex
