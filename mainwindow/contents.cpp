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
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <sstream>

#include "archive/check.h"
#include "archive/compact.h"
#include "archive/directory.h"
#include "archive/edit.h"
#include "archive/extract.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace zarnex {

namespace {

constexpr size_t ListedProblems = 20;
// A burst of writes by another program is one reload; an archive in use is looked at again.
constexpr std::chrono::milliseconds GatherChanges{200};
constexpr std::chrono::milliseconds RetryInUse{1000};

// Boxes shown over the window, which then paints at once rather than after the batch.
class LiveBoxes : public MessageBoxes {
  public:
    explicit LiveBoxes(MessageBoxes& boxes) : boxes_(boxes) {}
    MessageAnswer Show(const Message& message) override {
        const MessageAnswer answer = boxes_.Show(message);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return answer;
    }

  private:
    MessageBoxes& boxes_;
};

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

// A drag's extraction says nothing when it went well.
class DragBoxes : public MessageBoxes {
  public:
    explicit DragBoxes(MessageBoxes& boxes) : boxes_(boxes) {}
    MessageAnswer Show(const Message& message) override {
        if (message.id == MessageId::ExtractSummary) {
            return MessageAnswer::Ok;
        }
        return boxes_.Show(message);
    }

  private:
    MessageBoxes& boxes_;
};

// Bytes of the data file that entries cover, past a version-2 directory: sectors counted once
// however many entries name them.
int64_t LiveBytes(const DirectoryTable& table, int64_t dataBytes, int64_t headSectors) {
    std::vector<std::pair<int64_t, int64_t>> spans;
    spans.reserve(static_cast<size_t>(table.count));
    const int64_t endSector = SectorsFor(dataBytes);
    for (int32_t i = 0; i < table.count; ++i) {
        const DirectoryEntry& e = table.entries[static_cast<size_t>(i)];
        const int64_t from = std::max<int64_t>(e.offset, headSectors);
        const int64_t to = std::min<int64_t>(EntryEnd(e), endSector);
        if (from < to) {
            spans.emplace_back(from, to);
        }
    }
    std::sort(spans.begin(), spans.end());
    int64_t covered = 0;
    int64_t reached = 0;
    for (const auto& [from, to] : spans) {
        covered += std::max<int64_t>(0, to - std::max(from, reached));
        reached = std::max(reached, to);
    }
    return std::min(covered * SectorSize,
                    std::max<int64_t>(0, dataBytes - headSectors * SectorSize));
}

}  // namespace

ContentsLayout ParseContentsLayout(const std::string& line) {
    std::istringstream in(line);
    ContentsLayout layout;
    std::vector<int> numbers;
    int n = 0;
    while (in >> n) {
        numbers.push_back(n);
    }
    const bool sane =
        in.eof() && numbers.size() == 2 + layout.columns.size() &&
        std::all_of(numbers.begin(), numbers.end(), [](int v) { return v >= 8 && v <= 20000; });
    if (!sane) {
        return {};
    }
    layout.width = numbers[0];
    layout.height = numbers[1];
    std::copy(numbers.begin() + 2, numbers.end(), layout.columns.begin());
    return layout;
}

std::string FormatContentsLayout(const ContentsLayout& layout) {
    std::string line = std::to_string(layout.width) + " " + std::to_string(layout.height);
    for (int width : layout.columns) {
        line += " " + std::to_string(width);
    }
    return line;
}

void ContentsView::startDrag(Qt::DropActions) {
    QMimeData* data = makeDragData ? makeDragData() : nullptr;
    if (!data) {
        return;
    }
    QDrag drag(this);
    drag.setMimeData(data);
    drag.exec(Qt::CopyAction);
}

ContentsWindow::ContentsWindow(const ContentsHost& host, const ContentsLayout& layout)
    : QWidget(nullptr, Qt::Window), host_(host) {
    setObjectName("ContentsWindow");
    setAcceptDrops(true);

    filter_ = new QLineEdit(this);
    filter_->setObjectName("ContentsFilter");
    filter_->setPlaceholderText("Filter: part of a name, or a pattern such as *.dff or car?.txd");
    filter_->setClearButtonEnabled(true);

    model_ = new ContentsModel(this);
    view_ = new ContentsView;
    view_->setParent(this);
    view_->setObjectName("ContentsView");
    view_->setModel(model_);
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setAllColumnsShowFocus(true);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    view_->setDragEnabled(true);
    view_->setDragDropMode(QAbstractItemView::DragOnly);
    view_->header()->setSectionsClickable(true);
    view_->header()->setSortIndicatorShown(false);
    view_->header()->setStretchLastSection(false);
    view_->makeDragData = [this] { return DragData(); };
    for (size_t c = 0; c < layout.columns.size(); ++c) {
        view_->setColumnWidth(static_cast<int>(c), layout.columns[c]);
    }

    progress_ = new QProgressBar(this);
    progress_->setObjectName("ContentsProgress");
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setFixedSize(120, 12);
    status_ = new QLabel(this);
    status_->setObjectName("ContentsStatus");
    status_->setTextFormat(Qt::RichText);
    status_->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto* buttons = new QHBoxLayout;
    struct Action {
        const char* name;
        const char* caption;
        QKeySequence key;
        void (ContentsWindow::*run)();
    };
    const Action actions[] = {
        {"ContentsExtract", "Extract...", {}, &ContentsWindow::ExtractClick},
        {"ContentsDelete", "Delete", QKeySequence(QKeySequence::Delete),
         &ContentsWindow::DeleteClick},
        {"ContentsRename", "Rename", QKeySequence(Qt::Key_F2), &ContentsWindow::RenameClick},
        {"ContentsCheck", "Check", {}, &ContentsWindow::CheckClick},
        {"ContentsCompact", "Compact", {}, &ContentsWindow::CompactClick},
    };
    for (const Action& a : actions) {
        auto* button = new QPushButton(a.caption, this);
        button->setObjectName(a.name);
        buttons->addWidget(button);
        buttons_.push_back(button);
        connect(button, &QPushButton::clicked, this, a.run);
        auto* action = new QAction(a.caption, view_);
        action->setShortcut(a.key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, a.run);
        view_->addAction(action);
    }
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);
    buttons->addStretch();
    buttons->addWidget(progress_);

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
        const ViewState state = SaveView();
        model_->SetFilter(text);
        RestoreView(state);
    });
    connect(view_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        const ViewState state = SaveView();
        model_->SortBy(column);
        view_->header()->setSortIndicatorShown(true);
        view_->header()->setSortIndicator(
            column, model_->Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
        RestoreView(state);
    });
    // After the editor has closed: the rename reloads the table under it.
    connect(model_, &ContentsModel::RenameWanted, this, &ContentsWindow::Rename,
            Qt::QueuedConnection);
    connect(status_, &QLabel::linkActivated, this, [this] { CompactClick(); });
}

ContentsWindow::~ContentsWindow() = default;

void ContentsWindow::Open(const std::string& archivePath) {
    if (archivePath != path_) {
        path_ = archivePath;
        setWindowTitle(QString::fromStdString(FileNamePart(archivePath)) + " - Zarnex");
        model_->SetRows({});  // nothing chosen in another archive carries over
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
    const ViewState state = SaveView();
    HeldBoxes held(host_.language);
    LiveBoxes live(*host_.boxes);
    IoState io;
    std::optional<OpenArchive> archive =
        LoadDirectory(path_, io, quiet ? static_cast<MessageBoxes&>(held) : live);
    Watch();
    if (!archive) {
        status_->setText(held.text.toHtmlEscaped());
        if (quiet && held.id == MessageId::ArchiveInUse) {
            // Another program is writing it: the rows stand until it is done and we look again.
            changed_.start(RetryInUse);
        } else {
            model_->SetRows({});
        }
        return;
    }
    changed_.setInterval(GatherChanges);
    const DirectoryTable& table = archive->table;
    int64_t dataBytes = 0;
    int64_t directoryBytes = 0;
    archive->data.Size(dataBytes);
    if (archive->directory.IsOpen()) {
        archive->directory.Size(directoryBytes);
    }
    const int64_t headSectors =
        table.IsVersion2() ? SectorsFor(Version2RecordPosition(table.count)) : 0;
    const int64_t liveBytes = LiveBytes(table, dataBytes, headSectors);
    const Message status{
        .id = MessageId::ContentsStatus,
        .count = table.count,
        .size = dataBytes + directoryBytes,
        .version = table.IsVersion2() ? 2 : 1,
        .live = liveBytes,
        .wasted = std::max<int64_t>(
            0, dataBytes - std::min(dataBytes, headSectors * SectorSize) - liveBytes)};
    std::vector<ContentsRow> rows = RowsOf(table);
    archive.reset();  // nothing stays open: other programs may write while the window is up
    model_->SetRows(std::move(rows));
    RestoreView(state);
    ShowStatus(status);
}

void ContentsWindow::ShowStatus(const Message& status) {
    QString text = QString::fromStdString(Render(status, host_.language).text).toHtmlEscaped();
    if (status.wasted * 10 > status.size) {
        text += "  ·  <a href=\"compact\">Compact</a>";
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

ContentsWindow::ViewState ContentsWindow::SaveView() const {
    ViewState state;
    for (int row : SelectedRows()) {
        state.selected.insert(model_->RowAt(row).key);
    }
    const QModelIndex current = view_->currentIndex();
    if (current.isValid()) {
        state.current = model_->RowAt(current.row()).key;
    }
    const QModelIndex top = view_->indexAt(QPoint(1, 1));
    if (top.isValid()) {
        state.top = model_->RowAt(top.row()).key;
    }
    return state;
}

void ContentsWindow::RestoreView(const ViewState& state) {
    QItemSelection selection;
    int runStart = -1;
    int currentRow = -1;
    int topRow = -1;
    const int rows = model_->rowCount();
    for (int r = 0; r <= rows; ++r) {
        const QString* key = r < rows ? &model_->RowAt(r).key : nullptr;
        const bool chosen = key && !state.selected.isEmpty() && state.selected.contains(*key);
        if (chosen && runStart < 0) {
            runStart = r;
        } else if (!chosen && runStart >= 0) {
            selection.select(model_->index(runStart, 0),
                             model_->index(r - 1, ContentsModel::ColumnCount - 1));
            runStart = -1;
        }
        if (key && currentRow < 0 && !state.current.isEmpty() && *key == state.current) {
            currentRow = r;
        }
        if (key && topRow < 0 && !state.top.isEmpty() && *key == state.top) {
            topRow = r;
        }
    }
    if (currentRow >= 0) {
        view_->selectionModel()->setCurrentIndex(model_->index(currentRow, 0),
                                                 QItemSelectionModel::NoUpdate);
    }
    view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (topRow >= 0) {
        view_->scrollTo(model_->index(topRow, 0), QAbstractItemView::PositionAtTop);
    }
}

std::vector<int> ContentsWindow::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : view_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<std::string> ContentsWindow::SelectedNames() const {
    std::vector<std::string> names;
    QSet<QString> seen;
    for (int row : SelectedRows()) {
        const ContentsRow& r = model_->RowAt(row);
        if (!seen.contains(r.key)) {
            seen.insert(r.key);
            names.push_back(r.name.toStdString());
        }
    }
    return names;
}

MessageAnswer ContentsWindow::Ask(const Message& message) {
    LiveBoxes live(*host_.boxes);
    return live.Show(message);
}

void ContentsWindow::StartBatch() {
    running_ = true;
    for (QPushButton* button : buttons_) {
        button->setEnabled(false);
    }
    if (host_.busy) {
        host_.busy(true);
    }
    sinceEvents_.invalidate();
    SetProgress(0, 1);
}

void ContentsWindow::EndBatch() {
    changed_.stop();
    Reload(true);
    running_ = false;
    for (QPushButton* button : buttons_) {
        button->setEnabled(true);
    }
    if (host_.busy) {
        host_.busy(false);
    }
}

// The batch runs on this thread: only here does the window paint, at most once an interval.
void ContentsWindow::SetProgress(int done, int total) {
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(done);
    if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= host_.eventInterval.count()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sinceEvents_.start();
    }
}

void ContentsWindow::ExtractClick() {
    const std::vector<std::string> wanted = SelectedNames();
    if (running_ || wanted.empty()) {
        return;
    }
    std::string& folder = *host_.lastExtractDir;
    if (!FolderExists(folder)) {
        folder.clear();
    }
    const QString chosen = host_.dialogs->ChooseFolder(
        this, "Choose the directory you want extract to...", QString::fromStdString(folder));
    if (chosen.isEmpty()) {
        return;
    }
    folder = chosen.toStdString();
    StartBatch();
    LiveBoxes live(*host_.boxes);
    IoState io;
    ExtractCallbacks callbacks;
    const int total = static_cast<int>(wanted.size());
    callbacks.setProgress = [&](int position) { SetProgress(position, total); };
    ExtractFiles(path_, folder, wanted, live, callbacks, io);
    EndBatch();
}

void ContentsWindow::DeleteClick() {
    const std::vector<int> rows = SelectedRows();
    if (running_ || rows.empty()) {
        return;
    }
    if (Ask({.id = MessageId::ContentsDeleteQuestion,
             .count = static_cast<int64_t>(rows.size())}) != MessageAnswer::Yes) {
        return;
    }
    std::vector<EntryChoice> chosen;
    for (int row : rows) {
        const ContentsRow& r = model_->RowAt(row);
        chosen.push_back({r.name.toStdString(), r.index});
    }
    StartBatch();
    LiveBoxes live(*host_.boxes);
    IoState io;
    DeleteCallbacks callbacks;
    callbacks.progress = [this](int done, int total) { SetProgress(done, total); };
    DeleteEntries(path_, chosen, live, callbacks, io);
    EndBatch();
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
    StartBatch();
    LiveBoxes live(*host_.boxes);
    IoState io;
    const RenameStatus status =
        RenameEntry(path_, {name.toStdString(), recordIndex}, newName.toStdString(), live, io);
    EndBatch();
    if (status != RenameStatus::Renamed) {
        return;
    }
    // The renamed row stays the chosen one under its new name.
    for (int r = 0; r < model_->rowCount(); ++r) {
        if (model_->RowAt(r).index == recordIndex) {
            view_->setCurrentIndex(model_->index(r, 0));
            break;
        }
    }
}

void ContentsWindow::CheckClick() {
    if (running_) {
        return;
    }
    LiveBoxes live(*host_.boxes);
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
    LiveBoxes live(*host_.boxes);
    IoState io;
    CompactArchive(path_, live, io, [this](int done, int total) { SetProgress(done, total); });
    EndBatch();
}

QMimeData* ContentsWindow::DragData() {
    const std::vector<std::string> wanted = SelectedNames();
    if (running_ || wanted.empty()) {
        return nullptr;
    }
    dragFolder_.reset();  // the previous drag's files: the file manager has long had them
    auto folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/zarnex-drag-XXXXXX");
    if (!folder->isValid()) {
        return nullptr;
    }
    QList<QUrl> urls;
    ExtractCallbacks callbacks;
    callbacks.extracted = [&](const std::string&, const std::string& outPath) {
        urls << QUrl::fromLocalFile(QString::fromStdString(outPath));
    };
    DragBoxes boxes(*host_.boxes);
    IoState io;
    ExtractFiles(path_, folder->path().toStdString(), wanted, boxes, callbacks, io);
    dragFolder_ = std::move(folder);
    if (urls.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

// Files from elsewhere go into the main window's import list; our own rows dragged back do not.
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
    if (host_.dropFiles) {
        host_.dropFiles(DroppedFiles(*event->mimeData()));
    }
}

void ContentsWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    changed_.stop();
    Unwatch();
    dragFolder_.reset();
    event->accept();
}

}  // namespace zarnex
