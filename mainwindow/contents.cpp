#include "mainwindow/contents.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "archive/directory.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace zarnex {

namespace {

// A burst of writes by another program is one reload; an archive in use is looked at again.
constexpr std::chrono::milliseconds GatherChanges{200};
constexpr std::chrono::milliseconds RetryInUse{1000};

// Keeps the words of the first message instead of showing it.
class HeldBoxes : public MessageBoxes {
  public:
    explicit HeldBoxes(Language language) : language_(language) {}
    MessageAnswer Show(const Message& message) override {
        if (text.isEmpty()) {
            id = message.id;
            text = QString::fromStdString(Render(message, language_).text).simplified();
        }
        return KindOf(message.id).buttons == MessageButtons::Ok ? MessageAnswer::Ok
                                                                : MessageAnswer::No;
    }
    MessageId id = MessageId::IoError;
    QString text;

  private:
    Language language_;
};

}  // namespace

ContentsWindow::ContentsWindow(const ContentsHost& host, const ContentsLayout& layout)
    : QWidget(nullptr, Qt::Window),
      host_(host),
      progressBar_(new QProgressBar(this)),
      progress_(*progressBar_, host.eventInterval) {
    setObjectName("ContentsWindow");
    setAcceptDrops(true);

    filter_ = new QLineEdit(this);
    filter_->setObjectName("ContentsFilter");
    filter_->setPlaceholderText(WordIn(Word::FilterHint, host_.language));
    filter_->setClearButtonEnabled(true);

    model_ = new ContentsModel(host_.language, this);
    view_ = new ContentsView(*model_, this);
    view_->makeDragData = [this] { return DragData(); };
    for (size_t c = 0; c < layout.columns.size(); ++c) {
        view_->setColumnWidth(static_cast<int>(c), layout.columns[c]);
    }

    progressBar_->setObjectName("ContentsProgress");
    progressBar_->setTextVisible(false);
    progressBar_->setFixedSize(120, 12);
    progress_.Finish();
    status_ = new QLabel(this);
    status_->setObjectName("ContentsStatus");
    status_->setTextFormat(Qt::RichText);
    status_->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto* buttons = new QHBoxLayout;
    MakeControls(*buttons);
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
    buttons->addStretch();
    buttons->addWidget(progressBar_);

    auto* column = new QVBoxLayout(this);
    column->addWidget(filter_);
    column->addWidget(view_);
    column->addLayout(buttons);
    column->addWidget(status_);
    resize(layout.width, layout.height);

    watcher_ = new QFileSystemWatcher(this);
    changed_.setSingleShot(true);
    changed_.setInterval(GatherChanges);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] {
        if (!running_) {
            changed_.start();
        }
    });
    connect(&changed_, &QTimer::timeout, this, [this] { Reload(true); });
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        const ContentsView::State state = view_->Save();
        model_->SetFilter(text);
        view_->Restore(state, true);
        ShowStatus();
    });
    connect(view_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        const ContentsView::State state = view_->Save();
        model_->SortBy(column);
        view_->header()->setSortIndicatorShown(true);
        view_->header()->setSortIndicator(
            column, model_->Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
        view_->Restore(state);
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ContentsWindow::UpdateActions);
    connect(view_, &QAbstractItemView::activated, this, &ContentsWindow::OpenEntry);
    // After the editor has closed: the rename reloads the table under it.
    connect(model_, &ContentsModel::RenameWanted, this, &ContentsWindow::Rename,
            Qt::QueuedConnection);
    connect(
        view_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
        [this] {
            if (reloadHeld_) {
                Reload(true);
            }
        },
        Qt::QueuedConnection);
    connect(status_, &QLabel::linkActivated, this, [this] { CompactClick(); });
    UpdateActions();
}

ContentsWindow::~ContentsWindow() = default;

void ContentsWindow::Open(const std::string& archivePath) {
    if (archivePath != path_) {
        path_ = archivePath;
        // The archive is its data file, also when the pair's ".dir" was given.
        const bool directoryGiven =
            QString::fromStdString(ExtensionPart(archivePath)).toLower() == ".dir";
        const std::string named = directoryGiven ? DataFilePath(archivePath) : archivePath;
        setWindowTitle(QString::fromStdString(FileNamePart(named)) + " - Zarnex");
        filter_->clear();
        model_->SetEntries({});  // nothing chosen in another archive carries over
    }
    Reload(false);
}

void ContentsWindow::Unwatch() {
    if (!watcher_->files().isEmpty()) {
        watcher_->removePaths(watcher_->files());
    }
}

void ContentsWindow::Watch() {
    Unwatch();
    // The files the archive is: where a link leads, the data file of a ".dir" given.
    const std::string data = DataFilePath(path_);
    for (const std::string& file : {data, DirectoryFilePath(data)}) {
        if (FileExists(file)) {
            watcher_->addPath(QString::fromStdString(file));
        }
    }
}

void ContentsWindow::Reload(bool quiet) {
    if (quiet && view_->Editing()) {
        reloadHeld_ = true;  // a reload would close the editor and lose the typed name
        return;
    }
    reloadHeld_ = false;
    const ContentsView::State state = view_->Save();
    HeldBoxes held(host_.language);
    LiveBoxes live(*host_.boxes, *this);
    IoState io;
    std::optional<OpenArchive> archive =
        LoadDirectory(path_, io, quiet ? static_cast<MessageBoxes&>(held) : live);
    Watch();
    if (!archive) {
        failure_ = held.text;
        if (quiet && held.id == MessageId::ArchiveInUse) {
            // Another program is writing it: the rows stand until it is done and we look again.
            changed_.start(RetryInUse);
        } else {
            statistics_.reset();
            model_->SetEntries({});
        }
        UpdateActions();
        ShowStatus();
        return;
    }
    changed_.setInterval(GatherChanges);
    int64_t dataBytes = 0;
    int64_t directoryBytes = 0;
    archive->data.Size(dataBytes);
    if (archive->directory.IsOpen()) {
        archive->directory.Size(directoryBytes);
    }
    statistics_ = MeasureArchive(archive->table, dataBytes, directoryBytes);
    version_ = archive->table.IsVersion2() ? 2 : 1;
    failure_.clear();
    // The window keeps the directory as loaded; the rows' text is made as they are shown.
    std::vector<DirectoryEntry> entries = std::move(archive->table.entries);
    entries.resize(static_cast<size_t>(archive->table.count));
    archive.reset();  // nothing stays open: other programs may write while the window is up
    model_->SetEntries(std::move(entries));
    view_->Restore(state);
    UpdateActions();
    ShowStatus();
}

void ContentsWindow::ShowStatus() {
    if (!failure_.isEmpty() || !statistics_) {
        status_->setText(failure_.toHtmlEscaped());
        return;
    }
    const Message status{
        .id = model_->Filtered() ? MessageId::ContentsStatusFiltered : MessageId::ContentsStatus,
        .count = model_->EntryCount(),
        .size = statistics_->fileBytes,
        .version = version_,
        .live = statistics_->liveBytes,
        .wasted = statistics_->wastedBytes,
        .shown = model_->rowCount()};
    QString text = note_.isEmpty() ? QString() : note_.toHtmlEscaped() + "  ·  ";
    text += QString::fromStdString(Render(status, host_.language).text).toHtmlEscaped();
    if (statistics_->compactWorthwhile) {
        text += "  ·  <a href=\"compact\">" + WordIn(Word::Compact, host_.language) + "</a>";
    }
    status_->setText(text);
}

ContentsLayout ContentsWindow::Layout() const {
    ContentsLayout layout;
    layout.width = width();
    layout.height = height();
    for (size_t c = 0; c < layout.columns.size(); ++c) {
        layout.columns[c] = view_->columnWidth(static_cast<int>(c));
    }
    return layout;
}

// An archive that check finds damaged is never written: its writing actions are off, saying why.
void ContentsWindow::UpdateActions() {
    const bool chosen = view_->selectionModel()->hasSelection();
    const bool damaged = statistics_ && statistics_->compactRefused;
    const QString why = damaged ? WordIn(Word::DamagedNotWritten, host_.language) : QString();
    for (const Control& control : controls_) {
        const bool refused = damaged && control.writes;
        const bool on = !running_ && !refused && (chosen || !control.needsChoice);
        control.action->setEnabled(on);
        if (control.button) {
            control.button->setEnabled(on);
            control.button->setToolTip(control.writes ? why : QString());
        }
    }
}

void ContentsWindow::StartBatch() {
    running_ = true;
    note_.clear();
    UpdateActions();
    if (host_.busy) {
        host_.busy(true);
    }
    progress_.Start(1);
}

bool ContentsWindow::EndBatch(const BatchOutcome& outcome) {
    changed_.stop();
    progress_.Finish();
    running_ = false;
    if (summary_ && outcome.RanToEnd()) {
        note_ = QString::fromStdString(Render(*summary_, host_.language).text);
    }
    summary_.reset();
    Reload(true);
    if (host_.busy) {
        host_.busy(false);
    }
    return outcome.end == BatchEnd::Done;
}

// Files from elsewhere go into the main window's import list, archives into windows of their own;
// our own rows dragged back do not.
void ContentsWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!running_ && event->source() != view_ && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void ContentsWindow::dropEvent(QDropEvent* event) {
    if (running_ || event->source() == view_) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    QStringList files;
    for (const QString& path : DroppedFiles(*event->mimeData())) {
        if (path.endsWith(".img", Qt::CaseInsensitive) && host_.openArchive) {
            host_.openArchive(path.toStdString());
        } else {
            files << path;
        }
    }
    if (!files.isEmpty() && host_.dropFiles) {
        host_.dropFiles(files);
    }
}

void ContentsWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    changed_.stop();
    Unwatch();
    event->accept();
    if (host_.closed) {
        host_.closed(Layout());
    }
}

}  // namespace zarnex
