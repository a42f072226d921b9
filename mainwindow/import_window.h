// The main window: the import list, its buttons and the archive path.
#pragma once

#include <QWidget>
#include <chrono>
#include <cstdint>
#include <string>

#include "archive/messages.h"
#include "mainwindow/batch_view.h"
#include "mainwindow/contents_windows.h"
#include "mainwindow/dialogs.h"
#include "mainwindow/importlist.h"
#include "mainwindow/settings_file.h"
#include "mainwindow/temp_folders.h"

class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zarnex {

class AboutBox;
class ImportListView;

struct ImportWindowServices {
    MessageBoxes* boxes = nullptr;
    Dialogs* dialogs = nullptr;
    std::string executableDir;    // where the settings file goes while it is writable
    std::string startupArgument;  // the command line after the program's name
    // A batch lets the window paint and take the desktop's events at most this often.
    std::chrono::milliseconds eventInterval{40};
    Language language = Language::English;  // the boxes' language, for words the window makes
};

class ImportWindow : public QWidget {
    Q_OBJECT

  public:
    explicit ImportWindow(const ImportWindowServices& services);
    ~ImportWindow() override;
    void SetAboutBox(AboutBox* aboutBox) { aboutBox_ = aboutBox; }

    // The rows, as the batches and the tests see them.
    ImportListView& ImportList() const { return *importList_; }

    // Handlers, as the buttons, drops and header call them.
    bool AddFileToImportList(const std::string& path);
    void AddDroppedFiles(const QStringList& paths);
    void ButtonAddClick();
    void ButtonDeleteClick();
    void ButtonReplaceClick();
    void ButtonExtractClick();
    void ButtonBrowseImgFileClick();
    void ButtonAboutClick();

    // The contents window of an archive, shown: one for each archive, made on first use.
    ContentsWindow* OpenContents(const std::string& archivePath);
    ContentsWindow* ContentsOf(const std::string& archivePath) const {
        return contents_.Of(archivePath);
    }

    // What is kept between runs, as the window has it now.
    Settings& KeptSettings() { return settings_; }
    // Where Browse starts when the path field names no folder.
    const std::string& BrowseFolder() const { return browseFolder_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void SetBatchButtons(bool enabled);
    void EnableAfterBatch();
    void EnableWhenListHasRows();
    void RestoreSettings();
    void KeepSettings();
    std::string SettingsPath() const;
    ContentsHost MakeContentsHost();
    void ReloadContents();

    // While a batch or a run of questions is going on, drops are refused and a close waits.
    void BeginBusy() { ++busy_; }
    void EndBusy();
    struct Busy {
        explicit Busy(ImportWindow& window) : window(window) { window.BeginBusy(); }
        ~Busy() { window.EndBusy(); }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
        ImportWindow& window;
    };

    ImportWindowServices services_;
    ImportListView* importList_;
    QPushButton* addButton_;
    QPushButton* deleteButton_;
    QPushButton* extractButton_;
    QPushButton* replaceButton_;
    QPushButton* contentsButton_;
    QPushButton* aboutButton_;
    QProgressBar* progressBar_;
    QGroupBox* archiveGroup_;
    QLineEdit* archivePath_;
    QPushButton* browseButton_;
    LiveBoxes liveBoxes_;
    BatchProgress progress_;
    Settings settings_;
    std::string browseFolder_;
    TempFolders tempFolders_;
    ContentsWindows contents_;  // after what their host points to, so that they go first
    AboutBox* aboutBox_ = nullptr;
    int busy_ = 0;
    bool closeWanted_ = false;
    bool shown_ = false;
};

}  // namespace zarnex
