// The real window in tests: scripted dialogs and boxes, a settings folder of its own, and clicks
// through its real buttons.
#pragma once

#include <QLineEdit>
#include <QMimeData>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/contents.h"
#include "mainwindow/contents_view.h"
#include "mainwindow/dialogs.h"
#include "mainwindow/import_list_view.h"
#include "mainwindow/import_window.h"
#include "tests/scripted_boxes.h"
#include "tests/support.h"

namespace zarnex::test {

class ScriptedDialogs : public Dialogs {
  public:
    QStringList OpenFiles(QWidget*, const OpenDialogRequest& request) override;
    QString ChooseFolder(QWidget*, const QString& instruction, const QString& start) override;

    std::deque<QStringList> files;
    std::deque<QString> folders;
    std::vector<OpenDialogRequest> requests;
    QStringList instructions, starts;
};

// Files in folders that the test has not made yet.
void WriteFile(const std::string& path, const Bytes& bytes);

// Hands every event of one object to a function.
class EventProbe : public QObject {
  public:
    EventProbe(QObject* target, std::function<void(QEvent*)> seen);

  protected:
    bool eventFilter(QObject*, QEvent* event) override;

  private:
    std::function<void(QEvent*)> seen_;
};

// Runs its action however the test leaves the scope.
struct AtExit {
    std::function<void()> action;
    ~AtExit() { action(); }
};

template <class Widget>
Widget* Find(const QObject& root, const char* name) {
    Widget* widget = root.findChild<Widget*>(name);
    if (!widget) {
        qFatal("no control named %s", name);
    }
    return widget;
}

// The variable that names the user's settings folder, and Zarnex's folder inside it.
#ifdef _WIN32
inline constexpr char SettingsHomeVariable[] = "APPDATA";
inline constexpr char SettingsFolderName[] = "Zarnex";
#else
inline constexpr char SettingsHomeVariable[] = "XDG_CONFIG_HOME";
inline constexpr char SettingsFolderName[] = "zarnex";
#endif

// No test may touch the configuration of whoever runs it: call from initTestCase.
void IsolateConfiguration(const TempDir& home);

// A window with its own settings file, scripted boxes and dialogs.
struct Harness {
    TempDir temp;
    ScriptedMessageBoxes boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<ImportWindow> form;

    explicit Harness(const std::string& startupArgument = {}, bool show = true);
    std::string Path(const std::string& name) const { return temp / name; }
    std::string File(const std::string& name, size_t size);
    QPushButton* Button(const char* name) const { return Find<QPushButton>(*form, name); }
    QTreeWidget* List() const { return Find<QTreeWidget>(*form, "importList"); }
    QLineEdit* Edit() const { return Find<QLineEdit>(*form, "archivePath"); }
    QProgressBar* Progress() const { return Find<QProgressBar>(*form, "progressBar"); }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void Click(const char* name) { Click(Button(name)); }
    // Straight to the window's drop handler, as the desktop's drag would end.
    void Drop(const QStringList& paths);
    void Add(const QStringList& paths);
    QStringList Captions() const;
    // Extract, Replace, Add, Delete: "1" for enabled.
    QString Buttons() const;
};

// The rows of a contents window as it shows them, and the chosen ones in the same order.
QStringList ShownNames(ContentsWindow& window);
QStringList ChosenNames(ContentsWindow& window);
// The rows of these names chosen, the last of them the current one.
void Choose(ContentsWindow& window, const QStringList& names);
// F2 on the current row, `name` typed over the old one, Enter.
void RenameInPlace(ContentsWindow& window, const QString& name);
// The records' names of a version-2 archive, in directory order.
QStringList RecordNames(const std::string& img);
std::string Ansi(const std::string& utf8);
// The scenarios' gta3.img, 50 sectors long: gaps between the entries, so that compacting has
// work, and one Cyrillic name.
const std::vector<TestEntry>& Gta3Entries();

// A scenario as a user plays it on the real windows, written as steps:
// "open gta3.img; choose car.dff; key Ctrl+C; clipboard car.dff". Steps are separated by ";",
// words by blanks; a step that takes a text (filter, type, status, box, editor) takes the rest
// of the step. gta3.img is there from the start: five entries with gaps, one Cyrillic name.
// The first expectation that fails ends the scenario.
class Driver : public QObject {
    Q_OBJECT

  public:
    explicit Driver(Harness& harness);
    ~Driver() override;
    void Run(const QString& script);

  public slots:
    void Opened(const QUrl& url) { opened_ << url; }  // what the desktop was asked to open

  private:
    void Step(const QString& verb, const QStringList& words, const QString& rest);
    void Act(const QString& verb, const QStringList& words, const QString& rest);
    void Expect(const QString& verb, const QStringList& words, const QString& rest);
    void Make(const QStringList& words);
    void Outside(const QString& change, const QString& name);
    QWidget* Control(const QString& name) const;
    ContentsView* View() const;

    Harness& h_;
    QPointer<ContentsWindow> window_;
    QList<QList<QUrl>> drags_;  // the files of each drag, in turn
    QList<QUrl> opened_;
    size_t boxesSeen_ = 0;
};

// What Qt's gtk3 platform theme gives for Adwaita-dark.
QPalette AdwaitaDark();

// The strongest contrast that a text makes against what it covers: the widget drawn without the
// text and with a row of solid blocks, compared pixel by pixel. Also the colour that made it.
std::pair<double, QColor> TextContrast(QWidget* widget,
                                       const std::function<void(QString)>& setText);

}  // namespace zarnex::test
