// What the contents window does to its archive and to the chosen rows: its buttons, menu, keys,
// drags and double-clicks.
#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include "archive/check.h"
#include "archive/compact.h"
#include "archive/edit.h"
#include "archive/extract.h"
#include "mainwindow/captions.h"
#include "mainwindow/contents.h"
#include "mainwindow/temp_folders.h"
#include "platform/paths.h"

namespace zarnex {

namespace {

constexpr size_t ListedProblems = 20;

}  // namespace

void ContentsWindow::MakeControls(QHBoxLayout& buttons) {
    struct Action {
        const char* name;  // none: a menu entry only
        Word caption;
        QKeySequence key;
        void (ContentsWindow::*run)();
        bool needsChoice;
        bool writes;
    };
    const Action actions[] = {
        {"ContentsOpen", Word::Open, QKeySequence::Open, &ContentsWindow::OpenClick, false, false},
        {"ContentsExtract", Word::Extract, {}, &ContentsWindow::ExtractClick, true, false},
        {"ContentsDelete", Word::Delete, QKeySequence::Delete, &ContentsWindow::DeleteClick, true,
         true},
        {"ContentsRename", Word::Rename, Qt::Key_F2, &ContentsWindow::RenameClick, true, true},
        {"ContentsCheck", Word::Check, {}, &ContentsWindow::CheckClick, false, false},
        {"ContentsCompact", Word::Compact, {}, &ContentsWindow::CompactClick, false, true},
        {nullptr, Word::CopyNames, QKeySequence::Copy, &ContentsWindow::CopyNames, true, false},
    };
    for (const Action& a : actions) {
        const QString caption = WordIn(a.caption, host_.language);
        auto* action = new QAction(caption, view_);
        action->setShortcut(a.key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, a.run);
        view_->addAction(action);
        QPushButton* button = nullptr;
        if (a.name) {
            button = new QPushButton(caption, this);
            button->setObjectName(a.name);
            buttons.addWidget(button);
            connect(button, &QPushButton::clicked, this, a.run);
        }
        controls_.push_back({button, action, a.needsChoice, a.writes});
    }
}

void ContentsWindow::OpenClick() {
    const QStringList files =
        host_.dialogs->OpenFiles(this, {WordIn(Word::OpenArchiveTitle, host_.language),
                                        QString::fromStdString(FolderPart(path_)),
                                        QtFiltersFrom(caption::ArchiveFilter), false});
    RepaintNow(*this);
    if (!files.isEmpty() && host_.openArchive) {
        host_.openArchive(files.front().toStdString());
    }
}

void ContentsWindow::ExtractClick() {
    const std::vector<std::string> wanted = view_->SelectedNames();
    if (running_ || wanted.empty()) {
        return;
    }
    const std::string folder =
        ChooseExtractFolder(*host_.dialogs, *this, host_.language, *host_.lastExtractDir);
    if (folder.empty()) {
        return;
    }
    StartBatch();
    LiveBoxes live(*host_.boxes, *this);
    IoState io;
    ExtractCallbacks callbacks;
    callbacks.progress = progress_.Reporter();
    EndBatch(ExtractFiles(path_, folder, wanted, live, callbacks, io));
}

// The summaries of a delete and a rename go to the status line: the table shows the change.
void ContentsWindow::DeleteClick() {
    const std::vector<int> rows = view_->SelectedRows();
    if (running_ || rows.empty()) {
        return;
    }
    LiveBoxes live(*host_.boxes, *this);
    const Message question = rows.size() == 1
                                 ? Message{.id = MessageId::ContentsDeleteOneQuestion,
                                           .name = model_->RowAt(rows.front()).name.toStdString()}
                                 : Message{.id = MessageId::ContentsDeleteQuestion,
                                           .count = static_cast<int64_t>(rows.size())};
    if (live.Show(question) != MessageAnswer::Yes) {
        return;
    }
    const QString next = view_->KeyBeside(rows);
    std::vector<EntryChoice> chosen;
    for (int row : rows) {
        const ContentsRow r = model_->RowAt(row);
        chosen.push_back({r.name.toStdString(), r.index});
    }
    StartBatch();
    QuietBoxes boxes(live, {MessageId::DeleteSummary},
                     [this](const Message& summary) { summary_ = summary; });
    IoState io;
    DeleteCallbacks callbacks;
    callbacks.progress = progress_.Reporter();
    EndBatch(DeleteEntries(path_, chosen, boxes, callbacks, io));
    view_->ChooseKey(next);
}

void ContentsWindow::RenameClick() {
    const QModelIndex current = view_->currentIndex();
    if (!running_ && current.isValid()) {
        view_->edit(current.siblingAtColumn(ContentsModel::NameColumn));
    }
}

void ContentsWindow::Rename(int32_t recordIndex, const QString& name, const QString& newName) {
    if (running_) {
        return;
    }
    if (reloadHeld_) {
        Reload(true);  // what changed during the edit, before the name is looked for
    }
    // The record may have moved in the directory meanwhile: then the entry of that name.
    const int32_t index = model_->RecordHasKey(recordIndex, name.toLower()) ? recordIndex : -1;
    StartBatch();
    LiveBoxes live(*host_.boxes, *this);
    QuietBoxes boxes(live, {MessageId::RenameSummary},
                     [this](const Message& summary) { summary_ = summary; });
    IoState io;
    const bool renamed =
        EndBatch(RenameEntry(path_, {name.toStdString(), index}, newName.toStdString(), boxes, io));
    // The renamed row stays the chosen one under its new name.
    if (const int row = model_->RowOfKey(newName.toLower()); renamed && row >= 0) {
        view_->setCurrentIndex(model_->index(row, 0));
    }
}

void ContentsWindow::CheckClick() {
    if (running_) {
        return;
    }
    LiveBoxes live(*host_.boxes, *this);
    IoState io;
    const std::optional<ArchiveCheck> check = CheckArchive(path_, io, live);
    if (!check) {
        return;
    }
    if (check->problems.empty()) {
        live.Show({.id = MessageId::CheckSound, .path = path_});
        return;
    }
    std::string lines;
    for (size_t i = 0; i < check->problems.size() && i < ListedProblems; ++i) {
        lines += (i ? "\n" : "") + DescribeProblem(*check, check->problems[i], host_.language);
    }
    if (check->problems.size() > ListedProblems) {
        lines += "\n…";
    }
    live.Show({.id = MessageId::CheckProblems,
               .path = path_,
               .count = static_cast<int64_t>(check->problems.size()),
               .text = lines});
}

void ContentsWindow::CompactClick() {
    if (running_) {
        return;
    }
    StartBatch();
    LiveBoxes live(*host_.boxes, *this);
    IoState io;
    EndBatch(CompactArchive(path_, live, io, progress_.Reporter()));
}

void ContentsWindow::CopyNames() {
    QStringList names;
    for (int row : view_->SelectedRows()) {
        names << model_->RowAt(row).name;
    }
    if (!names.isEmpty()) {
        QGuiApplication::clipboard()->setText(names.join('\n'));
    }
}

// Each opened entry gets a folder of its own that stays while the program runs: the program
// that shows it may read it at any time, and two entries never ask about each other's file.
void ContentsWindow::OpenEntry(const QModelIndex& index) {
    if (running_ || !index.isValid() || !host_.tempFolders) {
        return;
    }
    const QString folder = host_.tempFolders->Make(true);
    if (folder.isEmpty()) {
        return;
    }
    std::string outPath;
    ExtractCallbacks callbacks;
    callbacks.extracted = [&](const std::string&, const std::string& path) { outPath = path; };
    LiveBoxes live(*host_.boxes, *this);
    QuietBoxes boxes(live, {MessageId::ExtractSummary});
    IoState io;
    ExtractFiles(path_, folder.toStdString(), {model_->RowAt(index.row()).name.toStdString()},
                 boxes, callbacks, io);
    if (!outPath.empty() &&
        !QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(outPath)))) {
        live.Show({.id = MessageId::OpenEntryFailed, .path = outPath});
    }
}

// The entries stay where the drag put them until nothing needs them: a drop on the main window
// lists them for a batch that runs later.
QMimeData* ContentsWindow::DragData() {
    const std::vector<std::string> wanted = view_->SelectedNames();
    if (running_ || wanted.empty() || !host_.tempFolders) {
        return nullptr;
    }
    const QString folder = host_.tempFolders->Make();
    if (folder.isEmpty()) {
        return nullptr;
    }
    QList<QUrl> urls;
    ExtractCallbacks callbacks;
    callbacks.extracted = [&](const std::string&, const std::string& outPath) {
        urls << QUrl::fromLocalFile(QString::fromStdString(outPath));
    };
    LiveBoxes live(*host_.boxes, *this);
    QuietBoxes boxes(live, {MessageId::ExtractSummary});  // a drag says nothing when it went well
    IoState io;
    ExtractFiles(path_, folder.toStdString(), wanted, boxes, callbacks, io);
    if (urls.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

}  // namespace zarnex
