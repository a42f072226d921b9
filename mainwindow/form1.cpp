#include "mainwindow/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>

#include "archive/extract.h"
#include "archive/import.h"
#include "mainwindow/aboutbox.h"
#include "mainwindow/contents.h"
#include "mainwindow/fonts.h"
#include "mainwindow/settings.h"
#include "mainwindow/theme.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/version.h"

namespace zarnex {

namespace {

constexpr int RowRole = Qt::UserRole;  // the ImportRow index into the item's data

const char* const kAddFilter =
    "GTA Car Files(*.dff;*.txd;*.ifp)|*.dff;*.txd;*.ifp|GTA Textures(*.txd)|*.txd|All GTA "
    "Files(*.dff;*.txd;*.col;*.ipl;*.ifp;*.scm;*.cut;*.dat;*.rrr;*.anm)|*.dff;*.txd;*.col;*.ipl;"
    "*.ifp;*.scm;*.cut;*.dat;*.rrr;*.anm|All Files(*.*)|*.*";
const char* const kBrowseFilter = "GTA IMG Arhive (*.img)|*.img";

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

// The row's texts live in the item's columns; its numbers in the item's data.
ImportRow RowOf(const QTreeWidgetItem* item) {
    ImportRow row;
    row.caption = item->text(NameColumn).toStdString();
    row.sizeText = item->text(SizeColumn).toStdString();
    row.typeText = item->text(TypeColumn).toStdString();
    row.folderText = item->text(PathColumn).toStdString();
    row.imageIndex = item->data(SizeColumn, RowRole).toInt();
    row.byteCount = item->data(NameColumn, RowRole).toLongLong();
    return row;
}

}  // namespace

Form1::Form1(const Form1Services& services)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(services),
      liveBoxes_(*this) {
    setObjectName("Form1");
    setWindowTitle(QString("Zarnex v") + ZarnexVersion);
    setFixedSize(624, 414);
    setFont(ClassicFont(11));
    setAutoFillBackground(true);  // in the palette's window colour, as the theme has it

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName("ListView1");
    ListView1->setGeometry(0, 0, 521, 345);
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels({"File Name", "Size", "Type", "Path"});
    ListView1->setColumnWidth(NameColumn, 128);
    ListView1->setColumnWidth(SizeColumn, 60);
    ListView1->setColumnWidth(TypeColumn, 40);
    ListView1->header()->setStretchLastSection(true);
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setSortIndicatorShown(false);
    ListView1->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setFont(ClassicFont(11));
    connect(ListView1->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { ListView1ColumnClick(column); });
    auto* deleteKey = new QShortcut(QKeySequence::Delete, ListView1);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] {
        if (ButtonDelete->isEnabled()) {
            ButtonDeleteClick();
        }
    });

    ButtonAdd = MakeButton(this, "ButtonAdd", "Addd...", {536, 32, 73, 25});
    ButtonDelete = MakeButton(this, "ButtonDelete", "Delete", {536, 72, 75, 25});
    ButtonExtract = MakeButton(this, "ButtonExtract", "Extract...", {536, 176, 75, 25});
    ButtonReplace = MakeButton(this, "ButtonReplace", "Replace", {536, 216, 75, 25});
    ButtonAbout = MakeButton(this, "ButtonAbout", "?", {613, 0, 11, 17});
    ButtonContents = MakeButton(this, "ButtonContents", "Contents...", {536, 124, 75, 25});
    ButtonContents->setEnabled(false);
    ButtonExtract->setEnabled(false);
    ButtonReplace->setEnabled(false);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(531, 256, 83, 9);
    ProgressBar1->setRange(0, 1);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    GroupBox1 = new QGroupBox("*.IMG file", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 352, 609, 52);
    GroupBox1->setFont(ClassicFont(13, true));

    EditImgPath = new QLineEdit(GroupBox1);
    EditImgPath->setObjectName("EditImgPath");
    EditImgPath->setGeometry(8, 18, 497, 21);
    EditImgPath->setFont(ClassicFont(11));

    ButtonBrowseImgFile =
        MakeButton(GroupBox1, "ButtonBrowseImgFile", "Browse...", {520, 17, 75, 25});
    ButtonBrowseImgFile->setFont(ClassicFont(11));
    ApplyTheme();

    setTabOrder(ButtonAdd, ListView1);
    setTabOrder(ListView1, EditImgPath);
    setTabOrder(EditImgPath, ButtonBrowseImgFile);
    setTabOrder(ButtonBrowseImgFile, ButtonReplace);
    setTabOrder(ButtonReplace, ButtonDelete);
    setTabOrder(ButtonDelete, ButtonContents);
    setTabOrder(ButtonContents, ButtonAbout);
    setTabOrder(ButtonAbout, ButtonExtract);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);

    connect(ButtonAdd, &QPushButton::clicked, this, [this] { ButtonAddClick(); });
    connect(ButtonDelete, &QPushButton::clicked, this, [this] { ButtonDeleteClick(); });
    connect(ButtonExtract, &QPushButton::clicked, this, [this] { ButtonExtractClick(); });
    connect(ButtonReplace, &QPushButton::clicked, this, [this] { ButtonReplaceClick(); });
    connect(ButtonAbout, &QPushButton::clicked, this, [this] { ButtonAboutClick(); });
    connect(ButtonBrowseImgFile, &QPushButton::clicked, this,
            [this] { ButtonBrowseImgFileClick(); });
    connect(ButtonContents, &QPushButton::clicked, this, [this] { ButtonContentsClick(); });
    connect(EditImgPath, &QLineEdit::textChanged, this,
            [this](const QString& text) { ButtonContents->setEnabled(!text.isEmpty()); });

    FormCreate();
}

Form1::~Form1() = default;

// The caption and Browse are blue and the path is black, each on the theme's own background: kept
// where they read well, else moved just far enough toward white or black.
void Form1::ApplyTheme() {
    const QPalette theme = palette();
    const QColor blue(0, 0, 255);
    const QColor black(0, 0, 0);
    QPalette caption;
    QPalette path;
    QPalette browse;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor window = theme.color(group, QPalette::Window);
        const QColor captionColor = LegibleOn(blue, {window});
        caption.setColor(group, QPalette::WindowText, captionColor);  // styles draw titles with
        caption.setColor(group, QPalette::Text, captionColor);        // either role
        // Where black would not read, the path takes the theme's text colour, like any field.
        const QColor base = theme.color(group, QPalette::Base);
        const QColor pathColor = ContrastRatio(black, base) >= MinimumContrast
                                     ? black
                                     : theme.color(group, QPalette::Text);
        path.setColor(group, QPalette::Text, LegibleOn(pathColor, {base}));
        // Styles shade a button's face lighter than the palette's colour: Fusion up to about 26%.
        const QColor face = theme.color(group, QPalette::Button);
        browse.setColor(group, QPalette::ButtonText, LegibleOn(blue, {face, face.lighter(130)}));
    }
    GroupBox1->setPalette(caption);
    EditImgPath->setPalette(path);
    ButtonBrowseImgFile->setPalette(browse);
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::ApplicationPaletteChange) {
        ApplyTheme();
    }
}

void Form1::FormCreate() {
    setAcceptDrops(true);
}

int Form1::RowCount() const {
    return ListView1->topLevelItemCount();
}

ImportRow Form1::Row(int index) const {
    return RowOf(ListView1->topLevelItem(index));
}

void Form1::DeleteRow(int index) {
    delete ListView1->takeTopLevelItem(index);
}

void Form1::AppendRow(const ImportRow& row) {
    auto* item = new QTreeWidgetItem(
        QStringList{QString::fromStdString(row.caption), QString::fromStdString(row.sizeText),
                    QString::fromStdString(row.typeText), QString::fromStdString(row.folderText)});
    item->setData(SizeColumn, RowRole, row.imageIndex);
    item->setData(NameColumn, RowRole, QVariant::fromValue<qlonglong>(row.byteCount));
    ListView1->addTopLevelItem(item);
}

bool Form1::AddFileToImportList(const std::string& path) {
    if (!IsGameFileType(path)) {
        MessageAnswer answer =
            liveBoxes_.Show({.id = MessageId::NotGameFileQuestion, .path = path});
        if (answer != MessageAnswer::Yes) {
            return false;
        }
    }
    FileInfo info;
    ReadFileInfo(path, info);  // a file that cannot be read is listed with size 0
    AppendRow(MakeImportRow(path, info.size));
    return true;
}

void Form1::EnableWhenListHasRows() {
    if (RowCount() > 0) {
        ButtonExtract->setEnabled(true);
        ButtonReplace->setEnabled(true);
    }
}

void Form1::ButtonAddClick() {
    const std::string start =
        OpenDialog1.fileName.empty() ? OpenDialog1.initialDir : FolderPart(OpenDialog1.fileName);
    const QStringList files = services_.dialogs->OpenFiles(
        this, {"Open", QString::fromStdString(start), QtFiltersFrom(kAddFilter), true});
    RepaintNow();
    if (files.isEmpty()) {
        return;
    }
    const Busy busy(*this);
    OpenDialog1.fileName = files.front().toStdString();
    for (const QString& file : files) {
        AddFileToImportList(file.toStdString());
    }
    EnableWhenListHasRows();
}

void Form1::WMDropFiles(const QStringList& paths) {
    const Busy busy(*this);
    for (const QString& path : paths) {
        AddFileToImportList(path.toStdString());
    }
    EnableWhenListHasRows();
}

// A window that is busy takes no drop, as it takes no other input.
void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (busy_ == 0 && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void Form1::dropEvent(QDropEvent* event) {
    if (busy_ != 0) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    WMDropFiles(DroppedFiles(*event->mimeData()));
}

void Form1::ButtonDeleteClick() {
    qDeleteAll(ListView1->selectedItems());
    if (RowCount() == 0) {
        ButtonExtract->setEnabled(false);
        ButtonReplace->setEnabled(false);
    }
}

void Form1::SetBatchButtons(bool enabled) {
    ButtonExtract->setEnabled(enabled);
    ButtonReplace->setEnabled(enabled);
    ButtonAdd->setEnabled(enabled);
    ButtonDelete->setEnabled(enabled);
}

void Form1::EnableAfterBatch() {
    EnableWhenListHasRows();
    ButtonAdd->setEnabled(true);
    ButtonDelete->setEnabled(true);
}

// One step per row; Qt would show a range of 0..0 as a busy bar.
void Form1::StartProgress() {
    sinceEvents_.invalidate();
    ProgressBar1->setRange(0, std::max(RowCount(), 1));
    SetProgress(0);
}

// At each file: the batch runs on this thread, so only here does the window paint and answer
// the desktop. User input waits until the batch ends, so that no click lands in the middle of one.
// Thousands of small files would each cost a paint, many times the copy itself, so files that
// follow within an interval share one.
void Form1::SetProgress(int position) {
    ProgressBar1->setValue(position);
    if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= services_.eventInterval.count()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sinceEvents_.start();
    }
}

// A box or dialog just closed over the window: paint all of it now, not after the batch.
void Form1::RepaintNow() {
    if (isVisible()) {
        repaint();
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

MessageAnswer Form1::LiveBoxes::Show(const Message& message) {
    const MessageAnswer answer = form_.services_.boxes->Show(message);
    form_.RepaintNow();
    return answer;
}

Form1::Busy::Busy(Form1& form) : form_(form) {
    ++form_.busy_;
}

// A close asked for meanwhile happens now, as it would have once the handler returned.
Form1::Busy::~Busy() {
    if (--form_.busy_ == 0 && form_.closeWanted_) {
        form_.closeWanted_ = false;
        QMetaObject::invokeMethod(&form_, &QWidget::close, Qt::QueuedConnection);
    }
}

void Form1::RemoveFromImportList(const std::string& path) {
    auto it = pendingRows_.find(path);
    if (it != pendingRows_.end() && !it->second.empty()) {
        delete it->second.front();
        it->second.erase(it->second.begin());
        return;
    }
    const QString name = QString::fromStdString(FileNamePart(path));
    const QString folder = QString::fromStdString(FolderPart(path));
    for (int i = 0; i < RowCount(); ++i) {
        QTreeWidgetItem* item = ListView1->topLevelItem(i);
        if (item->text(NameColumn) == name && item->text(PathColumn) == folder) {
            delete item;
            return;
        }
    }
}

void Form1::ButtonReplaceClick() {
    if (liveBoxes_.Show({.id = MessageId::ReplaceQuestion}) != MessageAnswer::Yes) {
        return;
    }
    const Busy busy(*this);
    SetBatchButtons(false);
    StartProgress();

    std::vector<std::string> paths;
    pendingRows_.clear();
    for (int i = 0; i < RowCount(); ++i) {
        QTreeWidgetItem* item = ListView1->topLevelItem(i);
        paths.push_back((item->text(PathColumn) + item->text(NameColumn)).toStdString());
        pendingRows_[paths.back()].push_back(item);
    }
    IoState io;
    ImportCallbacks callbacks;
    callbacks.setProgress = [this](int position) { SetProgress(position); };
    callbacks.removeFromImportList = [this](const std::string& path, ImportKind) {
        RemoveFromImportList(path);
    };
    ImportFiles(EditImgPath->text().toStdString(), paths, liveBoxes_, callbacks, io);
    pendingRows_.clear();
    EnableAfterBatch();
    ReloadContents();
}

void Form1::ButtonExtractClick() {
    if (!FolderExists(LastExtractDir)) {
        LastExtractDir.clear();
    }
    const QString chosen =
        services_.dialogs->ChooseFolder(this, "Choose the directory you want extract to...",
                                        QString::fromStdString(LastExtractDir));
    RepaintNow();
    if (chosen.isEmpty()) {
        return;
    }
    const Busy busy(*this);
    LastExtractDir = chosen.toStdString();
    StartProgress();

    std::vector<std::string> names;
    for (int i = 0; i < RowCount(); ++i) {
        names.push_back(ListView1->topLevelItem(i)->text(NameColumn).toStdString());
    }
    IoState io;
    ExtractCallbacks callbacks;
    callbacks.setProgress = [this](int position) { SetProgress(position); };
    callbacks.started = [this] { SetBatchButtons(false); };
    ExtractOutcome outcome = ExtractFiles(EditImgPath->text().toStdString(), LastExtractDir, names,
                                          liveBoxes_, callbacks, io);
    if (outcome.loaded) {
        EnableAfterBatch();
    }
    ReloadContents();
}

void Form1::ButtonContentsClick() {
    const std::string path = EditImgPath->text().toStdString();
    if (path.empty()) {
        return;
    }
    if (!contents_) {
        ContentsHost host;
        host.boxes = services_.boxes;
        host.dialogs = services_.dialogs;
        host.language = services_.language;
        host.eventInterval = services_.eventInterval;
        host.lastExtractDir = &LastExtractDir;
        host.dropFiles = [this](const QStringList& paths) {
            if (busy_ == 0) {
                WMDropFiles(paths);
            }
        };
        host.busy = [this](bool running) {
            if (running) {
                contentsBusy_.emplace(*this);
            } else {
                contentsBusy_.reset();
            }
        };
        contents_ = std::make_unique<ContentsWindow>(host, ParseContentsLayout(contentsLayout_));
    }
    contents_->Open(path);
    contents_->show();
    contents_->raise();
    contents_->activateWindow();
}

// Whatever a batch did to the archive the contents window shows, it shows now.
void Form1::ReloadContents() {
    if (contents_ && contents_->isVisible() &&
        contents_->ArchivePath() == EditImgPath->text().toStdString()) {
        contents_->Reload(true);
    }
}

void Form1::ListView1ColumnClick(int column) {
    PreviousSortColumn = SortColumn;
    SortColumn = column;
    std::vector<std::pair<ImportRow, QTreeWidgetItem*>> rows;
    while (RowCount() > 0) {
        QTreeWidgetItem* item = ListView1->takeTopLevelItem(0);
        rows.emplace_back(RowOf(item), item);
    }
    std::stable_sort(rows.begin(), rows.end(), [this](const auto& a, const auto& b) {
        return ListView1Compare(a.first, b.first, SortColumn, PreviousSortColumn) < 0;
    });
    for (auto& [row, item] : rows) {
        ListView1->addTopLevelItem(item);
    }
}

void Form1::ButtonBrowseImgFileClick() {
    // The archive in the field is where the user last was; its folder beats the one at start-up.
    const std::string current = FolderPart(EditImgPath->text().toStdString());
    const std::string start = !current.empty() && FolderExists(current) ? InitialDirFrom(current)
                                                                        : OpenDialog2.initialDir;
    const QStringList files = services_.dialogs->OpenFiles(
        this, {"Open", QString::fromStdString(start), QtFiltersFrom(kBrowseFilter), false});
    RepaintNow();
    if (!files.isEmpty()) {
        EditImgPath->setText(files.front());
        OpenDialog2.initialDir = InitialDirFrom(FolderPart(files.front().toStdString()));
    }
}

void Form1::ButtonAboutClick() {
    if (aboutBox_) {
        if (QScreen* screen = QApplication::primaryScreen()) {
            aboutBox_->move(screen->availableGeometry().center() - aboutBox_->rect().center());
        }
        aboutBox_->exec();
    }
}

void Form1::ShowApplicationError(const Message& message) {
    liveBoxes_.Show(message);
}

void Form1::FormShow() {
    const std::string settingsPath = SettingsPath();
    std::string archiveText;
    if (FileExists(settingsPath)) {
        QFile file(QString::fromStdString(settingsPath));
        if (!file.open(QIODevice::ReadOnly)) {
            ShowApplicationError({.id = MessageId::SettingsOpenFailed, .path = settingsPath});
            return;
        }
        const std::vector<std::string> lines = SplitSettingsLines(file.readAll().toStdString());
        auto line = [&](size_t index, std::string& into) {
            if (index >= lines.size()) {
                ShowApplicationError(
                    {.id = MessageId::SettingsLineMissing, .index = static_cast<int64_t>(index)});
                return false;
            }
            into = lines[index];
            return true;
        };
        if (!line(0, archiveText)) {
            return;
        }
        OpenDialog2.initialDir = InitialDirFrom(FolderPart(archiveText));
        std::string addDir;
        if (!line(1, addDir)) {
            return;
        }
        OpenDialog1.initialDir = InitialDirFrom(addDir);
        if (!line(2, LastExtractDir)) {
            return;
        }
        if (lines.size() > 3) {
            contentsLayout_ = lines[3];
        }
    }
    if (!services_.startupArgument.empty()) {
        const std::string fromCommandLine = CommandLineArchivePath(services_.startupArgument);
        if (!fromCommandLine.empty()) {
            archiveText = fromCommandLine;
        }
    }
    EditImgPath->setText(QString::fromStdString(archiveText));
    SortColumn = 0;
    PreviousSortColumn = 0;
}

void Form1::FormClose() {
    if (contents_) {
        contentsLayout_ = FormatContentsLayout(contents_->Layout());
        contents_->close();
    }
    std::vector<std::string> lines = {
        EditImgPath->text().toStdString(),
        OpenDialog1.fileName.empty() ? OpenDialog1.initialDir : FolderPart(OpenDialog1.fileName),
        LastExtractDir,
    };
    if (!contentsLayout_.empty()) {
        lines.push_back(contentsLayout_);  // only once the contents window has been open
    }
    const std::string settingsPath = SettingsPath();
    // Written aside and renamed over the old file, so that a crash never leaves half a file.
    QSaveFile file(QString::fromStdString(settingsPath));
    if (!QDir().mkpath(QString::fromStdString(FolderPart(settingsPath))) ||
        !file.open(QIODevice::WriteOnly)) {
        ShowApplicationError({.id = MessageId::SettingsCreateFailed, .path = settingsPath});
        return;
    }
    const std::string text = JoinSettingsLines(lines);
    if (file.write(text.data(), static_cast<qint64>(text.size())) !=
        static_cast<qint64>(text.size())) {
        file.cancelWriting();
        ShowApplicationError({.id = MessageId::SettingsWriteFailed});
        return;
    }
    if (!file.commit()) {
        ShowApplicationError(
            file.error() == QFileDevice::RenameError
                ? Message{.id = MessageId::SettingsCreateFailed, .path = settingsPath}
                : Message{.id = MessageId::SettingsWriteFailed});
    }
}

std::string Form1::SettingsPath() const {
    return SettingsFilePath(services_.executableDir);
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        if (QScreen* screen = QApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
        FormShow();
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (busy_ != 0) {
        closeWanted_ = true;
        event->ignore();
        return;
    }
    FormClose();
    event->accept();  // the window closes even when the settings could not be written
}

}  // namespace zarnex
