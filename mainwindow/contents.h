// The contents window: every entry of one archive, and what can be done to the chosen ones.
#pragma once

#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "archive/messages.h"
#include "archive/statistics.h"
#include "mainwindow/batch_view.h"
#include "mainwindow/contents_model.h"
#include "mainwindow/contents_view.h"
#include "mainwindow/dialogs.h"
#include "mainwindow/settings_file.h"

class QAction;
class QFileSystemWatcher;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;

namespace zarnex {

class TempFolders;

// What the contents window shares with the main window.
struct ContentsHost {
    MessageBoxes* boxes = nullptr;
    Dialogs* dialogs = nullptr;
    Language language = Language::English;
    std::chrono::milliseconds eventInterval{40};
    std::string* lastExtractDir = nullptr;
    TempFolders* tempFolders = nullptr;                       // where dragged and opened entries go
    std::function<void(const QStringList& paths)> dropFiles;  // into the import list
    std::function<void(const std::string& archivePath)> openArchive;  // in a window of its own
    std::function<void(bool running)> busy;                           // a batch starts or ends
    std::function<void(const ContentsLayout& layout)> closed;
};

class ContentsWindow : public QWidget {
    Q_OBJECT

  public:
    ContentsWindow(const ContentsHost& host, const ContentsLayout& layout);
    ~ContentsWindow() override;

    // Shows `archivePath`, loaded afresh; another archive than before starts unfiltered.
    void Open(const std::string& archivePath);
    const std::string& ArchivePath() const { return path_; }
    // Loads the directory again, keeping the chosen rows and the scroll where their names remain.
    // A quiet reload (another program or batch changed the file) puts a failure in the status
    // line, and waits while a name is being edited.
    void Reload(bool quiet = false);
    ContentsLayout Layout() const;
    ContentsModel& Model() { return *model_; }

    // The actions, as the buttons, menu, keys and a double-click call them.
    void OpenClick();
    void ExtractClick();
    void DeleteClick();
    void RenameClick();
    void CheckClick();
    void CompactClick();
    void CopyNames();
    // The entry extracted into a private folder and opened with the desktop's program.
    void OpenEntry(const QModelIndex& index);
    // The chosen entries extracted into a private folder, as the drag hands them out.
    QMimeData* DragData();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void MakeControls(QHBoxLayout& buttons);
    void Rename(int32_t recordIndex, const QString& name, const QString& newName);
    void ShowStatus();
    void UpdateActions();
    void Watch();
    void Unwatch();
    void StartBatch();
    // Every batch of the window ends here, and says how it went once; true when it did all of
    // what it was asked.
    bool EndBatch(const BatchOutcome& outcome);

    ContentsHost host_;
    std::string path_;
    ContentsModel* model_;
    ContentsView* view_;
    QLineEdit* filter_;
    QLabel* status_;
    QProgressBar* progressBar_;
    BatchProgress progress_;
    struct Control {
        QPushButton* button;  // none for the menu's own entries
        QAction* action;      // in the menu, with its key
        bool needsChoice;     // off while no row is chosen
        bool writes;          // off while the archive is damaged
    };
    std::vector<Control> controls_;
    QFileSystemWatcher* watcher_;
    QTimer changed_;  // gathers a burst of changes from another program into one reload
    // What the status line says: the archive's figures, or why it could not be read.
    std::optional<ArchiveStatistics> statistics_;
    int64_t version_ = 0;
    QString failure_;
    QString note_;                    // what the last delete or rename did
    std::optional<Message> summary_;  // a batch's summary, for the status line instead of a box
    bool running_ = false;
    bool reloadHeld_ = false;  // a quiet reload waits for the edit of a name to end
};

}  // namespace zarnex
