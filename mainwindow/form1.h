// The main window: the import list, its buttons and the archive path.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/messages.h"
#include "mainwindow/dialogs.h"
#include "mainwindow/importlist.h"

class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zarnex {

class AboutBox;
class ContentsWindow;

// A file dialog's remembered state.
struct OpenDialogState {
    std::string initialDir;
    std::string fileName;  // the first file chosen in this run
};

struct Form1Services {
    MessageBoxes* boxes = nullptr;
    Dialogs* dialogs = nullptr;
    std::string executableDir;    // where the settings file goes while it is writable
    std::string startupArgument;  // the command line after the program's name
    // A batch lets the window paint and take the desktop's events at most this often.
    std::chrono::milliseconds eventInterval{40};
    Language language = Language::English;  // the boxes' language, for words the window makes
};

class Form1 : public QWidget {
    Q_OBJECT

  public:
    explicit Form1(const Form1Services& services);
    ~Form1() override;
    void SetAboutBox(AboutBox* aboutBox) { aboutBox_ = aboutBox; }

    // What the batches and the tests work with.
    int RowCount() const;
    ImportRow Row(int index) const;
    void DeleteRow(int index);

    // Handlers, as the buttons, drops and header call them.
    bool AddFileToImportList(const std::string& path);
    void ButtonAddClick();
    void ButtonDeleteClick();
    void ButtonReplaceClick();
    void ButtonExtractClick();
    void ButtonBrowseImgFileClick();
    void ButtonAboutClick();
    void ButtonContentsClick();
    ContentsWindow* Contents() const { return contents_.get(); }
    void WMDropFiles(const QStringList& paths);
    void ListView1ColumnClick(int column);
    void FormShow();
    void FormClose();
    void RemoveFromImportList(const std::string& path);

    OpenDialogState OpenDialog1;
    OpenDialogState OpenDialog2;
    std::string LastExtractDir;  // the folder last chosen for extraction
    int32_t SortColumn = 0;      // the column clicked last: the first sort key
    int32_t PreviousSortColumn = 0;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QTreeWidget* ListView1;
    QPushButton* ButtonAdd;
    QPushButton* ButtonDelete;
    QPushButton* ButtonExtract;
    QPushButton* ButtonReplace;
    QProgressBar* ProgressBar1;
    QPushButton* ButtonAbout;
    QPushButton* ButtonContents;
    QGroupBox* GroupBox1;
    QLineEdit* EditImgPath;
    QPushButton* ButtonBrowseImgFile;

    void FormCreate();
    void ApplyTheme();
    void AppendRow(const ImportRow& row);
    void SetBatchButtons(bool enabled);
    void EnableAfterBatch();
    void EnableWhenListHasRows();
    void ShowApplicationError(const Message& message);
    std::string SettingsPath() const;
    void StartProgress();
    void SetProgress(int position);
    void RepaintNow();

    // Every box goes through here, so that the window repaints as soon as it closes.
    class LiveBoxes : public MessageBoxes {
      public:
        explicit LiveBoxes(Form1& form) : form_(form) {}
        MessageAnswer Show(const Message& message) override;

      private:
        Form1& form_;
    };
    // While a batch or a run of questions is going on, drops are refused and a close waits.
    class Busy {
      public:
        explicit Busy(Form1& form);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

      private:
        Form1& form_;
    };

    Form1Services services_;
    LiveBoxes liveBoxes_;
    QElapsedTimer sinceEvents_;
    int busy_ = 0;
    bool closeWanted_ = false;
    AboutBox* aboutBox_ = nullptr;
    std::unique_ptr<ContentsWindow> contents_;
    std::optional<Busy> contentsBusy_;  // while a batch of the contents window runs
    std::string contentsLayout_;  // the settings file's fourth line: the contents window's size
    void ReloadContents();
    bool shown_ = false;
    // During an import: each path's rows in display order, so that removal finds its row at once.
    std::map<std::string, std::vector<QTreeWidgetItem*>> pendingRows_;
};

}  // namespace zarnex
