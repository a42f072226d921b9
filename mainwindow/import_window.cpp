#include "mainwindow/import_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <algorithm>

#include "mainwindow/aboutbox.h"
#include "mainwindow/captions.h"
#include "mainwindow/fonts.h"
#include "mainwindow/import_list_view.h"
#include "mainwindow/settings.h"
#include "mainwindow/theme.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/version.h"

namespace zarnex {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

void CenterOnScreen(QWidget& window) {
    if (QScreen* screen = QApplication::primaryScreen()) {
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
}

}  // namespace

ImportWindow::ImportWindow(const ImportWindowServices& services)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(services),
      progressBar_(new QProgressBar(this)),
      liveBoxes_(*services.boxes, *this),
      progress_(*progressBar_, services.eventInterval),
      tempFolders_([this](const QString& folder) { return importList_->NamesFileIn(folder); }),
      contents_(MakeContentsHost()) {
    setObjectName("ImportWindow");
    setWindowTitle(QString("Zarnex v") + ZarnexVersion);
    setFixedSize(624, 414);
    setFont(ClassicFont(11));
    setAutoFillBackground(true);  // in the palette's window colour, as the theme has it
    setAcceptDrops(true);

    importList_ = new ImportListView(this);
    importList_->setGeometry(0, 0, 521, 345);
    auto onKey = [this](QKeySequence key, auto run) {
        auto* shortcut = new QShortcut(key, importList_);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, run);
    };
    onKey(QKeySequence::Delete, [this] {
        if (deleteButton_->isEnabled()) {
            ButtonDeleteClick();
        }
    });
    onKey(QKeySequence::Copy,
          [this] { QGuiApplication::clipboard()->setText(importList_->SelectedNames()); });

    addButton_ = MakeButton(this, "addButton", caption::Add, {536, 32, 73, 25});
    deleteButton_ = MakeButton(this, "deleteButton", caption::Delete, {536, 72, 75, 25});
    contentsButton_ =
        MakeButton(this, "contentsButton", WordIn(Word::ContentsButton, services_.language),
                   {536, 124, 75, 25});
    extractButton_ = MakeButton(this, "extractButton", caption::Extract, {536, 176, 75, 25});
    replaceButton_ = MakeButton(this, "replaceButton", caption::Replace, {536, 216, 75, 25});
    aboutButton_ = MakeButton(this, "aboutButton", caption::About, {613, 0, 11, 17});
    contentsButton_->setEnabled(false);
    extractButton_->setEnabled(false);
    replaceButton_->setEnabled(false);

    progressBar_->setObjectName("progressBar");
    progressBar_->setGeometry(531, 256, 83, 9);
    progressBar_->setTextVisible(false);
    progress_.Finish();

    archiveGroup_ = new QGroupBox(caption::ArchiveGroup, this);
    archiveGroup_->setObjectName("archiveGroup");
    archiveGroup_->setGeometry(8, 352, 609, 52);
    archiveGroup_->setFont(ClassicFont(13, true));
    archivePath_ = new QLineEdit(archiveGroup_);
    archivePath_->setObjectName("archivePath");
    archivePath_->setGeometry(8, 18, 497, 21);
    archivePath_->setFont(ClassicFont(11));
    browseButton_ = MakeButton(archiveGroup_, "browseButton", caption::Browse, {520, 17, 75, 25});
    browseButton_->setFont(ClassicFont(11));
    PaintArchiveGroup(*archiveGroup_, *archivePath_, *browseButton_);

    QWidget* const tabOrder[] = {addButton_,      importList_,    archivePath_,
                                 browseButton_,   replaceButton_, deleteButton_,
                                 contentsButton_, aboutButton_,   extractButton_};
    for (size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    progressBar_->setFocusPolicy(Qt::NoFocus);

    connect(addButton_, &QPushButton::clicked, this, &ImportWindow::ButtonAddClick);
    connect(deleteButton_, &QPushButton::clicked, this, &ImportWindow::ButtonDeleteClick);
    connect(extractButton_, &QPushButton::clicked, this, &ImportWindow::ButtonExtractClick);
    connect(replaceButton_, &QPushButton::clicked, this, &ImportWindow::ButtonReplaceClick);
    connect(aboutButton_, &QPushButton::clicked, this, &ImportWindow::ButtonAboutClick);
    connect(browseButton_, &QPushButton::clicked, this, &ImportWindow::ButtonBrowseImgFileClick);
    connect(contentsButton_, &QPushButton::clicked, this,
            [this] { OpenContents(archivePath_->text().toStdString()); });
    connect(archivePath_, &QLineEdit::textChanged, this,
            [this](const QString& text) { contentsButton_->setEnabled(!text.isEmpty()); });
}

ImportWindow::~ImportWindow() = default;

void ImportWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::ApplicationPaletteChange) {
        PaintArchiveGroup(*archiveGroup_, *archivePath_, *browseButton_);
    }
}

bool ImportWindow::AddFileToImportList(const std::string& path) {
    if (!IsGameFileType(path) && liveBoxes_.Show({.id = MessageId::NotGameFileQuestion,
                                                  .path = path}) != MessageAnswer::Yes) {
        return false;
    }
    FileInfo info;
    ReadFileInfo(path, info);  // a file that cannot be read is listed with size 0
    importList_->Append(MakeImportRow(path, info.size));
    return true;
}

void ImportWindow::EnableWhenListHasRows() {
    if (importList_->RowCount() > 0) {
        extractButton_->setEnabled(true);
        replaceButton_->setEnabled(true);
    }
}

void ImportWindow::ButtonAddClick() {
    const QStringList files = services_.dialogs->OpenFiles(
        this, {caption::OpenTitle, QString::fromStdString(settings_.addFolder),
               QtFiltersFrom(caption::AddFilter), true});
    RepaintNow(*this);
    if (files.isEmpty()) {
        return;
    }
    settings_.addFolder = FolderPart(files.front().toStdString());
    AddDroppedFiles(files);
}

void ImportWindow::AddDroppedFiles(const QStringList& paths) {
    const Busy busy(*this);
    for (const QString& path : paths) {
        AddFileToImportList(path.toStdString());
    }
    EnableWhenListHasRows();
}

// A window that is busy takes no drop, as it takes no other input.
void ImportWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (busy_ == 0 && event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void ImportWindow::dropEvent(QDropEvent* event) {
    if (busy_ != 0) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    AddDroppedFiles(DroppedFiles(*event->mimeData()));
}

void ImportWindow::ButtonDeleteClick() {
    importList_->DeleteSelected();
    if (importList_->RowCount() == 0) {
        extractButton_->setEnabled(false);
        replaceButton_->setEnabled(false);
    }
    tempFolders_.Sweep();
}

ContentsHost ImportWindow::MakeContentsHost() {
    ContentsHost host;
    host.boxes = services_.boxes;
    host.dialogs = services_.dialogs;
    host.language = services_.language;
    host.eventInterval = services_.eventInterval;
    host.lastExtractDir = &settings_.extractFolder;
    host.tempFolders = &tempFolders_;
    host.dropFiles = [this](const QStringList& paths) {
        if (busy_ == 0) {
            AddDroppedFiles(paths);
        }
    };
    host.openArchive = [this](const std::string& path) { OpenContents(path); };
    host.busy = [this](bool running) { running ? BeginBusy() : EndBusy(); };
    host.closed = [this](const ContentsLayout& layout) {
        settings_.contents = layout;
        tempFolders_.Sweep();
    };
    return host;
}

ContentsWindow* ImportWindow::OpenContents(const std::string& archivePath) {
    return contents_.Open(archivePath, settings_.contents.value_or(ContentsLayout{}));
}

void ImportWindow::ButtonBrowseImgFileClick() {
    // The archive in the field is where the user last was; its folder beats the one at start-up.
    const std::string current = FolderPart(archivePath_->text().toStdString());
    const std::string start =
        !current.empty() && FolderExists(current) ? InitialDirFrom(current) : browseFolder_;
    const QStringList files =
        services_.dialogs->OpenFiles(this, {caption::OpenTitle, QString::fromStdString(start),
                                            QtFiltersFrom(caption::ArchiveFilter), false});
    RepaintNow(*this);
    if (!files.isEmpty()) {
        archivePath_->setText(files.front());
        browseFolder_ = InitialDirFrom(FolderPart(files.front().toStdString()));
    }
}

void ImportWindow::ButtonAboutClick() {
    if (aboutBox_) {
        CenterOnScreen(*aboutBox_);
        aboutBox_->exec();
    }
}

std::string ImportWindow::SettingsPath() const {
    return SettingsFilePath(services_.executableDir);
}

// What the settings file gives, then an archive named on the command line. A file that stops
// early leaves the path field empty and the command line unread.
void ImportWindow::RestoreSettings() {
    bool complete = false;
    settings_ = LoadSettings(SettingsPath(), liveBoxes_, complete);
    browseFolder_ = InitialDirFrom(FolderPart(settings_.archivePath));
    importList_->ResetSort();
    if (!complete) {
        settings_.archivePath.clear();
        return;
    }
    const std::string fromCommandLine = CommandLineArchivePath(services_.startupArgument);
    if (!fromCommandLine.empty()) {
        settings_.archivePath = fromCommandLine;
    }
    archivePath_->setText(QString::fromStdString(settings_.archivePath));
}

void ImportWindow::KeepSettings() {
    contents_.CloseAll();  // each window gives its size to the settings
    settings_.archivePath = archivePath_->text().toStdString();
    SaveSettings(SettingsPath(), settings_, liveBoxes_);
}

void ImportWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        CenterOnScreen(*this);
        RestoreSettings();
    }
}

void ImportWindow::closeEvent(QCloseEvent* event) {
    if (busy_ != 0) {
        closeWanted_ = true;
        event->ignore();
        return;
    }
    KeepSettings();
    event->accept();  // the window closes even when the settings could not be written
}

}  // namespace zarnex
