// The contents window: every entry of one archive, and what can be done to the chosen ones.
#pragma once

#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "archive/messages.h"
#include "mainwindow/contents_model.h"
#include "mainwindow/dialogs.h"

class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;
class QTemporaryDir;

namespace zarnex {

// What the contents window shares with the main window.
struct ContentsHost {
    MessageBoxes* boxes = nullptr;
    Dialogs* dialogs = nullptr;
    Language language = Language::English;
    std::chrono::milliseconds eventInterval{40};
    std::string* lastExtractDir = nullptr;
    std::function<void(const QStringList& paths)> dropFiles;  // into the import list
    std::function<void(bool running)> busy;                   // a batch starts or ends
};

// Size and column widths, as the settings file keeps them: "W H c0 c1 c2 c3 c4".
struct ContentsLayout {
    int width = 640;
    int height = 480;
    std::vector<int> columns = {200, 70, 50, 80, 70};
};
ContentsLayout ParseContentsLayout(const std::string& line);  // defaults when malformed
std::string FormatContentsLayout(const ContentsLayout& layout);

// Rows dragged out, and starts its drag with what the window gives.
class ContentsView : public QTreeView {
  public:
    std::function<QMimeData*()> makeDragData;

  protected:
    void startDrag(Qt::DropActions supportedActions) override;
};

class ContentsWindow : public QWidget {
    Q_OBJECT

  public:
    ContentsWindow(const ContentsHost& host, const ContentsLayout& layout);
    ~ContentsWindow() override;

    // Shows `archivePath`, loaded afresh.
    void Open(const std::string& archivePath);
    const std::string& ArchivePath() const { return path_; }
    // Loads the directory again, keeping the chosen rows and the scroll where their names remain.
    // A quiet reload (another program changed the file) puts a failure in the status line.
    void Reload(bool quiet = false);
    ContentsLayout Layout() const;
    ContentsModel& Model() { return *model_; }

    // The actions, as the buttons, menu and keys call them.
    void ExtractClick();
    void DeleteClick();
    void RenameClick();
    void CheckClick();
    void CompactClick();
    // The chosen entries extracted into a private folder, as the drag hands them out.
    QMimeData* DragData();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct ViewState {
        QSet<QString> selected;  // keys
        QString current;
        QString top;
    };
    ViewState SaveView() const;
    void RestoreView(const ViewState& state);
    std::vector<int> SelectedRows() const;           // visible rows, in view order
    std::vector<std::string> SelectedNames() const;  // each name once
    void Rename(int32_t recordIndex, const QString& name, const QString& newName);
    void ShowStatus(const Message& status);
    void Watch();
    void Unwatch();
    void StartBatch();
    void EndBatch();
    void SetProgress(int done, int total);
    MessageAnswer Ask(const Message& message);

    ContentsHost host_;
    std::string path_;
    ContentsModel* model_;
    ContentsView* view_;
    QLineEdit* filter_;
    QLabel* status_;
    QProgressBar* progress_;
    std::vector<QPushButton*> buttons_;
    QFileSystemWatcher* watcher_;
    QTimer changed_;  // gathers a burst of changes from another program into one reload
    QElapsedTimer sinceEvents_;
    std::unique_ptr<QTemporaryDir> dragFolder_;
    bool running_ = false;
};

}  // namespace zarnex
