// The real window, clicked through its real buttons, with scripted dialogs and boxes.
#include <qpa/qwindowsysteminterface.h>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPaintEvent>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "archive/format.h"
#include "mainwindow/aboutbox.h"
#include "mainwindow/form1.h"
#include "mainwindow/identity.h"
#include "mainwindow/importlist.h"
#include "mainwindow/settings.h"
#include "mainwindow/theme.h"
#include "tests/scripted_boxes.h"
#include "tests/support.h"

using namespace zarnex;

namespace {

class ScriptedDialogs : public Dialogs {
  public:
    QStringList OpenFiles(QWidget*, const OpenDialogRequest& request) override {
        requests.push_back(request);
        if (files.empty()) {
            return {};
        }
        QStringList answer = files.front();
        files.pop_front();
        return answer;
    }
    QString ChooseFolder(QWidget*, const QString& instruction, const QString& start) override {
        instructions << instruction;
        starts << start;
        if (folders.empty()) {
            return {};
        }
        QString answer = folders.front();
        folders.pop_front();
        return answer;
    }
    std::deque<QStringList> files;
    std::deque<QString> folders;
    std::vector<OpenDialogRequest> requests;
    QStringList instructions, starts;
};

using test::Bytes;
using test::Pattern;
using test::ReadBytes;

// Files in folders that the test has not made yet.
void WriteFile(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    test::WriteBytes(path, bytes);
}

// Hands every event of one object to a function.
class EventProbe : public QObject {
  public:
    EventProbe(QObject* target, std::function<void(QEvent*)> seen) : seen_(std::move(seen)) {
        target->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        seen_(event);
        return false;
    }

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

// A window with its own settings file, scripted boxes and dialogs.
struct Harness {
    test::TempDir temp;
    ScriptedMessageBoxes boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<Form1> form;

    explicit Harness(const std::string& startupArgument = {}, bool show = true) {
        Form1Services services;
        services.boxes = &boxes;
        services.dialogs = &dialogs;
        services.executableDir = temp.path();
        services.eventInterval = {};  // at every file, so that tests see each step
        services.startupArgument = startupArgument;
        form = std::make_unique<Form1>(services);
        if (show) {
            form->show();
        }
    }
    std::string Path(const std::string& name) const { return temp / name; }
    std::string File(const std::string& name, size_t size) {
        WriteFile(Path(name), Pattern(size, static_cast<unsigned>(size)));
        return Path(name);
    }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(*form, name); }
    QTreeWidget* List() const { return Find<QTreeWidget>(*form, "ListView1"); }
    QLineEdit* Edit() const { return Find<QLineEdit>(*form, "EditImgPath"); }
    QProgressBar* Progress() const { return Find<QProgressBar>(*form, "ProgressBar1"); }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void Click(const char* name) { Click(Button(name)); }
    void Drop(const QStringList& paths) {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths) {
            urls << QUrl::fromLocalFile(p);
        }
        data->setUrls(urls);
        // Straight to the window's event handler: without a drag in progress the application
        // would not pass a drop on.
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, data, Qt::LeftButton,
                              Qt::NoModifier);
        static_cast<QObject*>(form.get())->event(&enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        static_cast<QObject*>(form.get())->event(&drop);
        delete data;
    }
    void Add(const QStringList& paths) {
        dialogs.files.push_back(paths);
        Click("ButtonAdd");
    }
    QStringList Captions() const {
        QStringList out;
        for (int i = 0; i < form->RowCount(); ++i) {
            out << QString::fromStdString(form->Row(i).caption);
        }
        return out;
    }
    // Extract, Replace, Add, Delete
    QString Buttons() const {
        QString s;
        for (const char* name : {"ButtonExtract", "ButtonReplace", "ButtonAdd", "ButtonDelete"}) {
            QPushButton* b = Button(name);
            s += b->isEnabled() ? '1' : '0';
        }
        return s;
    }
};

// What Qt's gtk3 platform theme gives for Adwaita-dark.
QPalette AdwaitaDark() {
    QPalette p;
    const std::vector<std::pair<QPalette::ColorRole, const char*>> roles = {
        {QPalette::Window, "#323232"},     {QPalette::WindowText, "#f0f0f0"},
        {QPalette::Base, "#242424"},       {QPalette::AlternateBase, "#2b2b2b"},
        {QPalette::Text, "#f0f0f0"},       {QPalette::Button, "#323232"},
        {QPalette::ButtonText, "#f0f0f0"}, {QPalette::Light, "#4b4b4b"},
        {QPalette::Midlight, "#2a2a2a"},   {QPalette::Mid, "#262626"},
        {QPalette::Dark, "#212121"},       {QPalette::Shadow, "#191919"},
        {QPalette::Highlight, "#308cc6"},  {QPalette::HighlightedText, "#f0f0f0"}};
    for (const auto& [role, color] : roles) {
        p.setColor(role, QColor(color));
    }
    return p;
}

// The strongest contrast that a text makes against what it covers: the widget drawn without the
// text and with a row of solid blocks, compared pixel by pixel. Also the colour that made it.
std::pair<double, QColor> TextContrast(QWidget* widget,
                                       const std::function<void(QString)>& setText) {
    setText({});
    const QImage bare = widget->grab().toImage();
    setText(QString(6, QChar(0x2588)));
    const QImage text = widget->grab().toImage();
    std::pair<double, QColor> best{1.0, {}};
    for (int y = 0; y < bare.height(); ++y) {
        for (int x = 0; x < bare.width(); ++x) {
            const QColor before = bare.pixelColor(x, y);
            const QColor after = text.pixelColor(x, y);
            if (before != after && ContrastRatio(before, after) > best.first) {
                best = {ContrastRatio(before, after), after};
            }
        }
    }
    return best;
}

ImportRow Row(std::string caption, int64_t size, std::string type, std::string folder) {
    ImportRow row;
    row.caption = std::move(caption);
    row.byteCount = size;
    row.imageIndex = static_cast<int32_t>(size);
    row.typeText = std::move(type);
    row.folderText = std::move(folder);
    return row;
}

}  // namespace

class WindowTests : public QObject {
    Q_OBJECT

    test::TempDir home_;

  private slots:
    void initTestCase() {
        SetApplicationIdentity();
        // No test may touch the configuration of whoever runs it.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home_ / "config"));
    }

    void windowMatchesItsTable() {
        Harness h;
        Form1& f = *h.form;
        QCOMPARE(f.windowTitle(), QString("Zarnex v1.2"));
        QCOMPARE(f.size(), QSize(624, 414));
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
        const std::vector<std::pair<const char*, QRect>> geometries = {
            {"ListView1", {0, 0, 521, 345}},       {"ButtonAdd", {536, 32, 73, 25}},
            {"ButtonDelete", {536, 72, 75, 25}},   {"ButtonExtract", {536, 176, 75, 25}},
            {"ButtonReplace", {536, 216, 75, 25}}, {"ProgressBar1", {531, 256, 83, 9}},
            {"ButtonAbout", {613, 0, 11, 17}},     {"GroupBox1", {8, 352, 609, 52}},
            {"EditImgPath", {8, 18, 497, 21}},     {"ButtonBrowseImgFile", {520, 17, 75, 25}}};
        for (const auto& [name, geometry] : geometries) {
            QCOMPARE(Find<QWidget>(f, name)->geometry(), geometry);
        }
        auto* group = Find<QGroupBox>(f, "GroupBox1");
        QCOMPARE(h.Edit()->parentWidget(), group);
        QCOMPARE(h.Button("ButtonBrowseImgFile")->parentWidget(), group);
        QCOMPARE(h.Button("ButtonAdd")->text(), QString("Addd..."));
        QCOMPARE(h.Button("ButtonExtract")->text(), QString("Extract..."));
        QCOMPARE(group->title(), QString("*.IMG file"));
        QCOMPARE(h.Button("ButtonBrowseImgFile")->text(), QString("Browse..."));
        QCOMPARE(group->font().pixelSize(), 13);
        QVERIFY(group->font().bold());
        QCOMPARE(h.List()->font().pixelSize(), 11);
        QCOMPARE(h.Progress()->maximum(), 1);
        QCOMPARE(h.Progress()->value(), 0);
        QVERIFY(!f.windowIcon().pixmap(32).isNull());  // the built-in SVG, drawn

        QTreeWidgetItem* header = h.List()->headerItem();
        QCOMPARE(header->text(0), QString("File Name"));
        QCOMPARE(header->text(1), QString("Size"));
        QCOMPARE(header->text(2), QString("Type"));
        QCOMPARE(header->text(3), QString("Path"));
        QCOMPARE(h.List()->columnWidth(0), 128);
        QCOMPARE(h.List()->columnWidth(1), 60);
        QCOMPARE(h.List()->columnWidth(2), 40);
        QCOMPARE(h.List()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(h.List()->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(f.acceptDrops());
        QCOMPARE(h.Buttons(), QString("0011"));

        // Tab order: Add, list, path, Browse, Replace, Delete, ?, Extract.
        QList<QWidget*> controls;
        for (const char* name : {"ButtonAdd", "ListView1", "EditImgPath", "ButtonBrowseImgFile",
                                 "ButtonReplace", "ButtonDelete", "ButtonAbout", "ButtonExtract"}) {
            controls << Find<QWidget>(f, name);
        }
        QList<QWidget*> chain;
        for (QWidget* w = controls[0]; chain.size() < controls.size(); w = w->nextInFocusChain()) {
            if (controls.contains(w) && !chain.contains(w)) {
                chain << w;
            }
        }
        QCOMPARE(chain, controls);
    }

    void rowsFollowTheSizeTable() {
        Harness h;
        const std::vector<std::pair<size_t, QString>> sizes = {
            {0, "0"},       {1023, "1023"}, {1024, "1 kb"},
            {1025, "2 kb"}, {2048, "2 kb"}, {1048576, "1024 kb"}};
        QStringList paths;
        for (const auto& [size, text] : sizes) {
            paths << QString::fromStdString(h.File("s" + std::to_string(size) + ".dff", size));
        }
        h.Add(paths);
        QCOMPARE(h.form->RowCount(), 6);
        for (int i = 0; i < 6; ++i) {
            ImportRow row = h.form->Row(i);
            QCOMPARE(QString::fromStdString(row.sizeText), sizes[i].second);
            QCOMPARE(row.imageIndex, static_cast<int32_t>(sizes[i].first));
            QCOMPARE(QString::fromStdString(row.typeText), QString("DFF"));
            QCOMPARE(row.folderText + row.caption, paths[i].toStdString());
        }
        QVERIFY(h.boxes.shown.empty());
        QCOMPARE(h.Buttons(), QString("1111"));
        const OpenDialogRequest& request = h.dialogs.requests.at(0);
        QVERIFY(request.multiSelect);
        QCOMPARE(request.filters.size(), 4);
        QCOMPARE(request.filters[0],
                 QString("GTA Car Files(*.dff;*.txd;*.ifp) (*.dff *.txd *.ifp)"));
        QCOMPARE(request.filters[3], QString("All Files(*.*) (*)"));
        QVERIFY(request.filters[2].endsWith(
            "(*.dff *.txd *.col *.ipl *.ifp *.scm *.cut *.dat *.rrr *.anm)"));
    }

    void otherFilesAreAskedAbout() {
        Harness h;
        const std::string notes = h.File("data/notes", 5);
        const std::string readme = h.File("data/a.b/readme", 5);
        const std::string bak = h.File("data/car.dff.bak", 5);
        const std::string dotted = h.File("data/name.", 5);
        const std::string upper = h.File("models/CAR.DFF", 5);

        h.boxes.Answer(MessageAnswer::No);
        h.Add({QString::fromStdString(notes)});
        QCOMPARE(h.form->RowCount(), 0);
        QCOMPARE(h.Buttons(), QString("0011"));  // nothing was added
        QCOMPARE(
            QString::fromStdString(h.boxes.shown.at(0).text),
            QString::fromStdString(notes + "\n\nне является файлом GTA\nдобавить его в список?"));
        QCOMPARE(h.boxes.shown[0].buttons, MessageButtons::YesNo);
        QCOMPARE(h.boxes.shown[0].icon, MessageIcon::Question);

        for (int i = 0; i < 4; ++i) {
            h.boxes.Answer(MessageAnswer::Yes);
        }
        h.Add({QString::fromStdString(notes), QString::fromStdString(readme),
               QString::fromStdString(bak), QString::fromStdString(dotted),
               QString::fromStdString(upper)});
        QCOMPARE(h.boxes.shown.size(), size_t{5});  // CAR.DFF is a game file
        QCOMPARE(h.Captions(), (QStringList{"notes", "readme", "car.dff.bak", "name.", "CAR.DFF"}));
        QCOMPARE(h.form->Row(0).typeText, std::string());
        QCOMPARE(h.form->Row(1).typeText, std::string());
        QCOMPARE(h.form->Row(2).typeText, std::string("BAK"));
        QCOMPARE(h.form->Row(3).typeText, std::string());
        QCOMPARE(h.form->Row(4).typeText, std::string("DFF"));
        QCOMPARE(h.form->Row(4).folderText, h.Path("models/"));
        QCOMPARE(h.Buttons(), QString("1111"));
    }

    void duplicatesDropsAndLongPaths() {
        Harness h;
        const std::string a = h.File("a.txd", 10);
        const std::string deep = h.File(std::string(120, 'd') + "/" + std::string(120, 'e') + "/" +
                                            std::string(40, 'f') + ".col",
                                        3000);
        QVERIFY(deep.size() > 260);
        std::filesystem::create_directories(h.Path("folder.txd"));
        h.Drop({QString::fromStdString(a), QString::fromStdString(a), QString::fromStdString(deep),
                QString::fromStdString(h.Path("folder.txd"))});
        QCOMPARE(h.form->RowCount(), 4);
        QCOMPARE(h.form->Row(0).folderText + h.form->Row(0).caption,
                 h.form->Row(1).folderText + h.form->Row(1).caption);
        QCOMPARE(h.form->Row(2).folderText + h.form->Row(2).caption, deep);
        QCOMPARE(h.form->Row(2).sizeText, std::string("3 kb"));
        QCOMPARE(h.form->Row(3).caption, std::string("folder.txd"));  // folders go in like files
        QCOMPARE(h.Buttons(), QString("1111"));
    }

    void filesOfTwoGigabytesShowTheirTrueSize() {
        Harness h;
        const std::string big = h.File("big.dff", 0);
        std::filesystem::resize_file(big, (uint64_t{1} << 31) + 5);
        const std::string small = h.File("small.dff", 100);
        h.Add({QString::fromStdString(big), QString::fromStdString(small)});
        QCOMPARE(h.form->Row(0).sizeText, std::string("2097153 kb"));
        QCOMPARE(h.form->Row(0).byteCount, (int64_t{1} << 31) + 5);
        h.form->ListView1ColumnClick(SizeColumn);
        QCOMPARE(h.Captions(), (QStringList{"small.dff", "big.dff"}));
    }

    void deleteAndButtonStates_data() {
        QTest::addColumn<bool>("byKey");
        QTest::newRow("button") << false;
        QTest::newRow("Delete key in the list") << true;
    }

    void deleteAndButtonStates() {
        QFETCH(bool, byKey);
        Harness h;
        auto remove = [&] {
            if (byKey) {
                h.List()->setFocus();
                QTest::keyClick(h.List(), Qt::Key_Delete);
            } else {
                h.Click("ButtonDelete");
            }
        };
        h.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        remove();  // empty list: disables again, no harm
        QCOMPARE(h.Buttons(), QString("0011"));
        h.dialogs.files.clear();
        h.Click("ButtonAdd");  // cancelled dialog
        QCOMPARE(h.Buttons(), QString("0011"));

        h.Add({QString::fromStdString(h.File("a.dff", 1)),
               QString::fromStdString(h.File("b.dff", 2)),
               QString::fromStdString(h.File("c.dff", 3))});
        remove();  // nothing selected
        QCOMPARE(h.form->RowCount(), 3);
        h.List()->topLevelItem(0)->setSelected(true);
        h.List()->topLevelItem(2)->setSelected(true);
        remove();
        QCOMPARE(h.Captions(), QStringList{"b.dff"});
        QCOMPARE(h.Buttons(), QString("1111"));
        h.List()->topLevelItem(0)->setSelected(true);
        remove();
        QCOMPARE(h.form->RowCount(), 0);
        QCOMPARE(h.Buttons(), QString("0011"));
    }

    void replaceRunsTheImportEndToEnd() {
        Harness h;
        const std::string img = h.Path("gta3.img");
        test::MakeVersion2(img, {});
        h.Edit()->setText(QString::fromStdString(img));
        const std::string a = h.File("in/a.dff", 3000);
        const std::string missing = h.Path("in/gone.txd");
        const std::string b = h.File("in/b.txd", 10);
        h.Add({QString::fromStdString(a), QString::fromStdString(b)});
        h.Drop({QString::fromStdString(missing)});

        h.boxes.Answer(MessageAnswer::No);
        h.Click("ButtonReplace");
        QCOMPARE(h.boxes.shown.back().text, std::string("Заменить?"));
        QCOMPARE(h.form->RowCount(), 3);
        QCOMPARE(ReadBytes(img).size(), size_t{8});

        h.boxes.shown.clear();
        h.boxes.Answer(MessageAnswer::Yes);
        h.Click("ButtonReplace");
        QCOMPARE(h.boxes.shown.size(), size_t{3});
        QCOMPARE(h.boxes.shown[0].text, std::string("Заменить?"));
        QCOMPARE(h.boxes.shown[1].icon, MessageIcon::Warning);  // the missing file
        QCOMPARE(h.boxes.shown[2].text, std::string("Завершено\n\nЗаменено: 0\nДобавлено: 2"));
        QCOMPARE(h.Captions(), QStringList{"gone.txd"});
        QCOMPARE(h.Buttons(), QString("1111"));
        QCOMPARE(h.Progress()->maximum(), 3);
        QCOMPARE(h.Progress()->value(), 3);

        Bytes image = ReadBytes(img);
        QCOMPARE(GetLE32(image.data() + 4), 2u);
        DirectoryRecord first = DecodeRecord(image.data() + 8);
        QCOMPARE(first.name, std::string("a.dff"));
        Bytes expected = Pattern(3000, 3000);
        QVERIFY(std::equal(expected.begin(), expected.end(), image.begin() + 2048 * first.offset));
    }

    void replaceThatEmptiesTheListLeavesExtractAndReplaceOff() {
        Harness h;
        const std::string img = h.Path("gta3.img");
        test::MakeVersion2(img, {});
        h.Edit()->setText(QString::fromStdString(img));
        h.Add({QString::fromStdString(h.File("a.dff", 5))});
        h.boxes.Answer(MessageAnswer::Yes);
        h.Click("ButtonReplace");
        QCOMPARE(h.form->RowCount(), 0);
        QCOMPARE(h.Buttons(), QString("0011"));
    }

    void extractRunsEndToEnd() {
        Harness h;
        const std::string img = h.Path("gta3.img");
        test::MakeVersion2(img, {});
        h.Edit()->setText(QString::fromStdString(img));
        const std::string a = h.File("in/Car.dff", 3000);
        h.Add({QString::fromStdString(a)});
        h.boxes.Answer(MessageAnswer::Yes);
        h.Click("ButtonReplace");
        h.Add({QString::fromStdString(a), QString::fromStdString(h.File("in/none.dff", 1))});

        const std::string out = h.Path("out");
        std::filesystem::create_directories(out);
        h.boxes.shown.clear();
        h.dialogs.folders.push_back(QString::fromStdString(out));
        h.Click("ButtonExtract");
        QCOMPARE(h.dialogs.instructions.back(),
                 QString("Choose the directory you want extract to..."));
        QCOMPARE(h.form->LastExtractDir, out);
        QCOMPARE(h.boxes.shown.size(), size_t{1});
        QCOMPARE(h.boxes.shown[0].text, std::string("Извлечено: 1"));
        Bytes written = ReadBytes(out + "/Car.dff");
        Bytes expected = Pattern(3000, 3000);
        expected.resize(4096, 0);
        QVERIFY(written == expected);
        QCOMPARE(h.form->RowCount(), 2);  // extraction leaves the rows
        QCOMPARE(h.Buttons(), QString("1111"));
        QCOMPARE(h.Progress()->value(), 2);

        // The next browser starts in the folder; a vanished one is emptied even on Cancel.
        h.Click("ButtonExtract");
        QCOMPARE(h.dialogs.starts.back(), QString::fromStdString(out));
        std::filesystem::remove_all(out);
        h.boxes.shown.clear();
        h.Click("ButtonExtract");
        QCOMPARE(h.dialogs.starts.back(), QString());
        QCOMPARE(h.form->LastExtractDir, std::string());
        QVERIFY(h.boxes.shown.empty());
        QCOMPARE(h.Buttons(), QString("1111"));
    }

    void extractWithAMissingArchiveLeavesTheButtons() {
        Harness h;
        h.Edit()->setText(QString::fromStdString(h.Path("none.img")));
        h.Add({QString::fromStdString(h.File("a.dff", 5))});
        h.dialogs.folders.push_back(QString::fromStdString(h.temp.path()));
        h.Click("ButtonExtract");
        QCOMPARE(h.boxes.shown.size(), size_t{1});
        QCOMPARE(h.boxes.shown[0].icon, MessageIcon::Error);
        QCOMPARE(h.Buttons(), QString("1111"));
    }

    void batchesKeepTheWindowAlive_data() {
        QTest::addColumn<bool>("replace");
        QTest::newRow("Replace") << true;
        QTest::newRow("Extract...") << false;
    }

    // The window paints all of itself as each box closes and handles the desktop's events once
    // per file, while a key pressed during the batch waits for its end.
    void batchesKeepTheWindowAlive() {
        QFETCH(bool, replace);
        Harness h;
        h.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        const std::string img = h.Path("gta3.img");
        const std::string out = h.Path("out");
        std::filesystem::create_directories(out);
        QStringList files;
        std::vector<test::TestEntry> entries;
        for (int i = 0; i < 4; ++i) {
            const std::string name = "a" + std::to_string(i) + ".dff";
            files << QString::fromStdString(h.File("in/" + name, 100));
            entries.push_back({1 + i, 1, name});
        }
        test::MakeVersion2(img, replace ? std::vector<test::TestEntry>{} : entries);
        h.Edit()->setText(QString::fromStdString(img));
        h.Add(files);
        if (replace) {
            std::filesystem::remove(files[2].toStdString());  // skipped with a warning
        } else {
            WriteFile(out + "/a2.dff", {1});  // the overwrite question
            h.dialogs.folders.push_back(QString::fromStdString(out));
        }
        struct Paint {
            size_t boxes;
            bool whole;
        };
        std::vector<Paint> paints;
        bool keyDuringBatch = false;
        bool keySeen = false;
        auto batchRunning = [&] { return !h.Button("ButtonAdd")->isEnabled(); };
        EventProbe watch(h.form.get(), [&](QEvent* event) {
            if (event->type() == QEvent::Paint) {
                const QRect area = static_cast<QPaintEvent*>(event)->region().boundingRect();
                paints.push_back({h.boxes.shown.size(), area == h.form->rect()});
            }
        });
        EventProbe keys(qApp, [&](QEvent* event) {
            if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
                keySeen = true;
                keyDuringBatch = keyDuringBatch || batchRunning();
            }
        });
        int rowsMidBatch = -1;
        QTimer probe;  // fires whenever the batch lets events through
        probe.setInterval(0);
        connect(&probe, &QTimer::timeout, [&] {
            if (rowsMidBatch < 0 && batchRunning() && h.Progress()->value() == 1) {
                rowsMidBatch = h.form->RowCount();
                QWindowSystemInterface::handleKeyEvent<
                    QWindowSystemInterface::AsynchronousDelivery>(
                    h.form->windowHandle(), QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            }
        });
        probe.start();
        h.Click(replace ? "ButtonReplace" : "ButtonExtract");
        probe.stop();

        // One file was written, the rest to come; Replace's rows leave when their group commits.
        QCOMPARE(rowsMidBatch, 4);
        // Replace: its question, the warning, the summary; Extract: the overwrite question, the
        // summary. Each is followed by a paint of the whole window.
        QCOMPARE(h.boxes.shown.size(), size_t{replace ? 3u : 2u});
        for (size_t box = 1; box <= h.boxes.shown.size(); ++box) {
            QVERIFY2(std::any_of(paints.begin(), paints.end(),
                                 [&](const Paint& p) { return p.boxes == box && p.whole; }),
                     qPrintable(QString("no paint after box %1").arg(box)));
        }
        QVERIFY(!keyDuringBatch);
        QTRY_VERIFY(keySeen);
    }

    void aBatchDefersACloseAndRefusesDrops() {
        Harness h;
        const std::string img = h.Path("gta3.img");
        test::MakeVersion2(img, {});
        h.Edit()->setText(QString::fromStdString(img));
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            files << QString::fromStdString(h.File("f" + std::to_string(i) + ".dff", 10));
        }
        h.Add(files);
        bool closedMidBatch = false;
        bool dropTakenMidBatch = false;
        QTimer probe;
        probe.setInterval(0);
        connect(&probe, &QTimer::timeout, [&] {
            if (!h.Button("ButtonAdd")->isEnabled() && h.Progress()->value() == 1) {
                h.form->close();  // as the title bar's close box would
                closedMidBatch = !h.form->isVisible();
                QMimeData data;
                data.setUrls({QUrl::fromLocalFile(files[0])});
                QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton,
                                      Qt::NoModifier);
                static_cast<QObject*>(h.form.get())->event(&enter);
                dropTakenMidBatch = enter.isAccepted();
                probe.stop();
            }
        });
        probe.start();
        h.Click("ButtonReplace");
        QVERIFY(!closedMidBatch);
        QVERIFY(!dropTakenMidBatch);
        QCOMPARE(h.boxes.shown.back().text, std::string("Завершено\n\nЗаменено: 0\nДобавлено: 3"));
        QVERIFY(!std::filesystem::exists(h.Path("zarnex.ini")));
        QTRY_VERIFY(!h.form->isVisible());
        const Bytes ini = ReadBytes(h.Path("zarnex.ini"));
        QCOMPARE(std::string(ini.begin(), ini.end()), img + "\r\n" + h.temp.path() + "/\r\n\r\n");
    }

    void sortTableOfBothKeys() {
        // Rows that differ in one column each, so every pair of keys decides somewhere.
        const ImportRow a = Row("b.dff", 100, "DFF", "/x/");
        const ImportRow b = Row("A.dff", 100, "DFF", "/x/");  // name decides
        const ImportRow c = Row("b.dff", 50, "DFF", "/x/");   // size decides
        const ImportRow d = Row("b.dff", 100, "COL", "/x/");  // type decides
        const ImportRow e = Row("b.dff", 100, "DFF", "/w/");  // path decides
        const std::vector<ImportRow> others = {b, c, d, e};
        for (int s = 0; s < 4; ++s) {
            for (int p = 0; p < 4; ++p) {
                for (int k = 0; k < 4; ++k) {
                    const int expected = (k == s || (k == p && p != s)) ? 1 : 0;
                    QCOMPARE(ListView1Compare(a, others[k], s, p), expected);
                    QCOMPARE(ListView1Compare(others[k], a, s, p), -expected);
                }
            }
        }
        // First key wins over second.
        const ImportRow big = Row("a.dff", 900, "TXD", "/z/");
        QCOMPARE(ListView1Compare(big, Row("b.dff", 100, "DFF", "/a/"), NameColumn, SizeColumn),
                 -1);
        QCOMPARE(ListView1Compare(big, Row("b.dff", 100, "DFF", "/a/"), SizeColumn, NameColumn), 1);
    }

    void sortByteOrderCases() {
        QCOMPARE(ListView1Compare(Row("apple.dff", 1, "", ""), Row("B.txd", 1, "", ""), 0, 0), -1);
        QCOMPARE(ListView1Compare(Row("apple.dff", 1, "", ""), Row("Apple.dff", 1, "", ""), 0, 0),
                 0);
        QCOMPARE(ListView1Compare(Row("zed", 1, "", ""), Row("дом", 1, "", ""), 0, 0), -1);
        // Cyrillic is not folded, and sorts by its code-page bytes: Ё (A8) < А (C0) < ё (B8)?
        QCOMPARE(ListView1Compare(Row("ёж", 1, "", ""), Row("Ёж", 1, "", ""), 0, 0), 1);
        QCOMPARE(ListView1Compare(Row("ёж", 1, "", ""), Row("я", 1, "", ""), 0, 0), -1);
        QCOMPARE(ListView1Compare(Row("x", 1, "", "C:/"), Row("x", 1, "", "c:/"), 3, 3), -1);
        QCOMPARE(ListView1Compare(Row("x", 1, "", ""), Row("x", 1, "DFF", ""), 2, 2), -1);
        QCOMPARE(ListView1Compare(Row("car", 1, "", ""), Row("car2", 1, "", ""), 0, 0), -1);
        QCOMPARE(ListView1Compare(Row("car", 7, "A", "/p/"), Row("car", 7, "A", "/p/"), 1, 2), 0);
    }

    void headerClicksSortTheRowsThatTheBatchesWalk() {
        Harness h;
        h.Add({QString::fromStdString(h.File("b/one.txd", 2048)),
               QString::fromStdString(h.File("a/two.dff", 900)),
               QString::fromStdString(h.File("c/three.dff", 1500))});
        h.List()->header()->sectionClicked(TypeColumn);
        QCOMPARE(h.Captions(),
                 (QStringList{"three.dff", "two.dff", "one.txd"}));  // type, then name
        QCOMPARE(h.form->SortColumn, 2);
        QCOMPARE(h.form->PreviousSortColumn, 0);
        h.List()->header()->sectionClicked(SizeColumn);
        QCOMPARE(h.Captions(), (QStringList{"two.dff", "three.dff", "one.txd"}));
        QCOMPARE(h.form->PreviousSortColumn, 2);
        h.List()->header()->sectionClicked(PathColumn);
        QCOMPARE(h.Captions(), (QStringList{"two.dff", "one.txd", "three.dff"}));

        Harness empty;
        empty.form->ListView1ColumnClick(3);
        empty.form->ListView1ColumnClick(1);
        QCOMPARE(empty.form->SortColumn, 1);
        QCOMPARE(empty.form->PreviousSortColumn, 3);
        QCOMPARE(empty.form->RowCount(), 0);
    }

    void settingsRoundTripThroughARealClose() {
        test::TempDir shared;
        const std::string ini = shared / "zarnex.ini";
        ScriptedMessageBoxes boxes;
        ScriptedDialogs dialogs;
        Form1Services services{&boxes, &dialogs, shared.path(), {}};
        const std::string folder = shared / "add";
        WriteFile(folder + "/x.dff", {1});
        {
            Form1 form(services);
            form.show();
            Find<QLineEdit>(form, "EditImgPath")->setText("/games/gta3/models/gta3.img");
            dialogs.files.push_back({QString::fromStdString(folder + "/x.dff")});
            QTest::mouseClick(Find<QPushButton>(form, "ButtonAdd"), Qt::LeftButton);
            form.LastExtractDir = "/out/dir";
            form.close();
        }
        Bytes written = ReadBytes(ini);
        QCOMPARE(std::string(written.begin(), written.end()),
                 "/games/gta3/models/gta3.img\r\n" + folder + "/\r\n/out/dir\r\n");
        {
            Form1 form(services);
            form.show();
            QCOMPARE(Find<QLineEdit>(form, "EditImgPath")->text(),
                     QString("/games/gta3/models/gta3.img"));
            QCOMPARE(form.OpenDialog2.initialDir, std::string("/games/gta3/models"));
            QCOMPARE(form.OpenDialog1.initialDir, folder);  // without the trailing "/"
            QCOMPARE(form.LastExtractDir, std::string("/out/dir"));
            QVERIFY(boxes.shown.empty());
            form.close();  // never confirmed the Add dialog: line 2 written back as read
        }
        written = ReadBytes(ini);
        QCOMPARE(std::string(written.begin(), written.end()),
                 "/games/gta3/models/gta3.img\r\n" + folder + "\r\n/out/dir\r\n");
    }

    void settingsLineEndsAndShortFiles() {
        QCOMPARE(SplitSettingsLines("a\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
        QCOMPARE(SplitSettingsLines("a\rb\rc\r"), (std::vector<std::string>{"a", "b", "c"}));
        QCOMPARE(SplitSettingsLines("a\r\n\r\nc\r\nignored"),
                 (std::vector<std::string>{"a", "", "c", "ignored"}));
        QCOMPARE(SplitSettingsLines(std::string("a\r\nb\0c\r\nd", 10)),
                 (std::vector<std::string>{"a", "b"}));
        QCOMPARE(SplitSettingsLines(""), std::vector<std::string>{});
        QCOMPARE(InitialDirFrom("/a/b/"), std::string("/a/b"));
        QCOMPARE(InitialDirFrom("/"), std::string("/"));
        QCOMPARE(InitialDirFrom(""), std::string(""));

        {
            Harness h({}, false);
            WriteFile(h.Path("zarnex.ini"),
                      {'/', 'g', '/', 'a', '.', 'i', 'm', 'g', '\n', '/', 'd', '\n', '/', 'e'});
            h.form->show();
            QCOMPARE(h.Edit()->text(), QString("/g/a.img"));
            QCOMPARE(h.form->OpenDialog1.initialDir, std::string("/d"));
            QCOMPARE(h.form->LastExtractDir, std::string("/e"));
        }
        {
            Harness h("\"/cmd/x.img\"", false);
            WriteFile(h.Path("zarnex.ini"), {'/', 'g', '/', 'a', '.', 'i', 'm', 'g'});
            h.form->show();
            QCOMPARE(h.boxes.shown.size(), size_t{1});
            QCOMPARE(h.boxes.shown[0].text, std::string("List index out of bounds (1)"));
            QCOMPARE(h.boxes.shown[0].icon, MessageIcon::Error);
            QCOMPARE(h.form->OpenDialog2.initialDir, std::string("/g"));
            QCOMPARE(h.Edit()->text(),
                     QString());  // the rest, command line too, skipped
        }
        {
            Harness h({}, false);
            WriteFile(h.Path("zarnex.ini"), {});
            h.form->show();
            QCOMPARE(h.boxes.shown.at(0).text, std::string("List index out of bounds (0)"));
            QCOMPARE(h.form->OpenDialog2.initialDir, std::string());
        }
        {
            Harness h({}, false);
            WriteFile(h.Path("zarnex.ini"),
                      {'b', 'a', 'r', 'e', '.', 'i', 'm', 'g', '\n', '\n', '\n'});
            h.form->show();
            QCOMPARE(h.Edit()->text(), QString("bare.img"));
            QCOMPARE(h.form->OpenDialog2.initialDir, std::string());
            QVERIFY(h.boxes.shown.empty());
        }
    }

    void settingsLiveWhereTheyCanBeKept_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("kept");
        QTest::newRow("writable folder: a portable copy") << "portable"
                                                          << "beside";
        QTest::newRow("read-only folder") << "read-only"
                                          << "config";
        QTest::newRow("installed tree, even where writable") << "installed"
                                                             << "config";
        QTest::newRow("read-only, no configuration folder") << "no-config"
                                                            << "nowhere";
    }

    void settingsLiveWhereTheyCanBeKept() {
        QFETCH(QString, layout);
        QFETCH(QString, kept);
        test::TempDir root;
        const std::string bin = root / "bin";
        std::filesystem::create_directories(bin);
        const std::string config = root / "config";
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config));
        const AtExit restore{[&] {
            std::filesystem::permissions(bin, std::filesystem::perms(0755));
            qputenv("XDG_CONFIG_HOME", configHome);
        }};
        if (layout == "installed") {
            WriteFile(root / ("share/applications/" + std::string(AppId) + ".desktop"), {});
        }
        if (layout == "no-config") {
            WriteFile(config, {});  // a file where the folder would be made
        }
        if (layout != "portable" && layout != "installed") {
            std::filesystem::permissions(bin, std::filesystem::perms(0555));
        }

        ScriptedMessageBoxes boxes;
        ScriptedDialogs dialogs;
        const Form1Services services{&boxes, &dialogs, bin, {}};
        {
            Form1 form(services);
            form.show();
            Find<QLineEdit>(form, "EditImgPath")->setText("/g/gta3.img");
            form.LastExtractDir = "/out";
            form.close();
        }
        const std::string beside = bin + "/zarnex.ini";
        const std::string configured = config + "/zarnex/zarnex.ini";
        if (kept == "nowhere") {
            QCOMPARE(boxes.shown.size(), size_t{1});
            QCOMPARE(boxes.shown[0].text, "Cannot create file " + configured);
            QVERIFY(!std::filesystem::exists(beside));
            return;
        }
        const std::string written = kept == "beside" ? beside : configured;
        const std::string other = kept == "beside" ? configured : beside;
        QVERIFY2(std::filesystem::exists(written), written.c_str());
        const Bytes bytes = ReadBytes(written);
        QCOMPARE(std::string(bytes.begin(), bytes.end()),
                 std::string("/g/gta3.img\r\n\r\n/out\r\n"));
        QVERIFY(!std::filesystem::exists(other));
        {
            Form1 form(services);
            form.show();
            QCOMPARE(Find<QLineEdit>(form, "EditImgPath")->text(), QString("/g/gta3.img"));
            QCOMPARE(form.LastExtractDir, std::string("/out"));
        }
        QVERIFY(boxes.shown.empty());
    }

    void failedSettingsWriteIsReportedAndTheWindowCloses() {
        Harness h;
        std::filesystem::create_directories(h.Path("zarnex.ini"));  // a folder in the way
        h.form->close();
        QVERIFY(!h.form->isVisible());
        QCOMPARE(h.boxes.shown.size(), size_t{1});
        QCOMPARE(h.boxes.shown[0].text, "Cannot create file " + h.Path("zarnex.ini"));
        QCOMPARE(h.boxes.shown[0].icon, MessageIcon::Error);
    }

    void commandLineArchivePath() {
        QCOMPARE(CommandLineArchivePath("\"/g/gta3.img\""), std::string("/g/gta3.img"));
        QCOMPARE(CommandLineArchivePath("\"/g/gta3.IMG\""), std::string("/g/gta3.IMG"));
        QCOMPARE(CommandLineArchivePath("\"/g/gta3.iMg\""), std::string("/g/gta3.iMg"));
        QCOMPARE(CommandLineArchivePath("/g/gta3.img"), std::string());
        QCOMPARE(CommandLineArchivePath("\"/g/a.txt\" \"/g/b.img\""), std::string());
        QCOMPARE(CommandLineArchivePath("\"/g/a.img\" \"/g/b.img\""), std::string("/g/a.img"));
        QCOMPARE(CommandLineArchivePath("  \"/g/open ended.img"), std::string("/g/open ended.img"));
        QCOMPARE(CommandLineArchivePath(std::string(260, ' ') + "\"/g/a.img\""),
                 std::string("/g/a.img"));
        QCOMPARE(CommandLineArchivePath(std::string(261, ' ') + "\"/g/a.img\""), std::string());
        QCOMPARE(CommandLineArchivePath("\"/g/maps.img/readme\""), std::string());
        const std::string longPath = "/" + std::string(300, 'p') + "/gta3.img";
        QCOMPARE(CommandLineArchivePath('"' + longPath + '"'), longPath);  // never cut
        QCOMPARE(MakeStartupArgument({"/g/a b.img", "x"}), std::string("\"/g/a b.img\" \"x\""));

        Harness h(MakeStartupArgument({"/from/cmd.img"}));
        QCOMPARE(h.Edit()->text(), QString("/from/cmd.img"));
    }

    void browseStartsWhereTheArchiveIs() {
        Harness h;
        const std::string models = h.Path("models");
        std::filesystem::create_directories(models);
        auto browse = [&](const QString& answer) {
            if (!answer.isEmpty()) {
                h.dialogs.files.push_back({answer});
            }
            h.Click("ButtonBrowseImgFile");
            return h.dialogs.requests.back().initialDir.toStdString();
        };
        QCOMPARE(browse({}), std::string());  // cancelled: nothing changes
        QCOMPARE(h.Edit()->text(), QString());
        QCOMPARE(h.dialogs.requests.back().filters, QStringList{"GTA IMG Arhive (*.img) (*.img)"});
        QVERIFY(!h.dialogs.requests.back().multiSelect);

        browse(QString::fromStdString(models + "/gta3.img"));
        QCOMPARE(h.Edit()->text(), QString::fromStdString(models + "/gta3.img"));
        QCOMPARE(browse({}), models);  // the folder just chosen
        h.Edit()->setText(QString::fromStdString(h.Path("gta3.img")));
        QCOMPARE(browse({}), h.temp.path());  // a typed path counts too
        h.Edit()->setText("/no/such/folder/gta3.img");
        QCOMPARE(browse({}), models);  // else the last folder that held a chosen archive
        h.Edit()->clear();
        QCOMPARE(browse({}), models);
    }

    void openDialogListsEveryFileAndStartsInAFolder() {
        Harness h;
        h.File("listing/car.dff", 1);
        h.File("listing/notes", 1);
        h.File("listing/skin.txd", 1);
        h.Add({});  // cancelled: only its request is wanted
        const OpenDialogRequest request = h.dialogs.requests.back();
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        ConfigureOpenDialog(dialog, {request.title, QString::fromStdString(h.Path("listing")),
                                     request.filters, request.multiSelect});
        dialog.show();
        auto* view = Find<QListView>(dialog, "listView");
        auto listed = [&] {
            QStringList names;
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row) {
                names << view->model()->index(row, 0, root).data().toString();
            }
            names.sort();
            return names;
        };
        const std::vector<std::pair<int, QStringList>> expected = {
            {0, {"car.dff", "skin.txd"}},
            {1, {"skin.txd"}},
            {2, {"car.dff", "skin.txd"}},
            {3, {"car.dff", "notes", "skin.txd"}}};
        for (const auto& [filter, names] : expected) {
            dialog.selectNameFilter(request.filters[filter]);
            QTRY_COMPARE(listed(), names);
        }

        // With no folder to start in, the dialog opens in a folder, not in the list of drives.
        QFileDialog fresh;
        fresh.setOption(QFileDialog::DontUseNativeDialog);
        ConfigureOpenDialog(fresh, {request.title, {}, request.filters, request.multiSelect});
        fresh.show();
        const QString start = Find<QListView>(fresh, "listView")
                                  ->rootIndex()
                                  .data(QFileSystemModel::FilePathRole)
                                  .toString();
        QVERIFY2(!start.isEmpty() && QFileInfo(start).isDir(), qPrintable(start));
    }

    void fixedColoursReadWellOnLightAndDarkThemes_data() {
        QTest::addColumn<bool>("darkAtStart");
        QTest::addColumn<bool>("darkWhenLooked");
        QTest::newRow("light") << false << false;
        QTest::newRow("dark") << true << true;
        QTest::newRow("switched to dark while open") << false << true;
        QTest::newRow("switched to light while open") << true << false;
    }

    void fixedColoursReadWellOnLightAndDarkThemes() {
        QFETCH(bool, darkAtStart);
        QFETCH(bool, darkWhenLooked);
        const QPalette light = QApplication::style()->standardPalette();
        const QPalette original = QApplication::palette();
        const AtExit restore{[&] { QApplication::setPalette(original); }};
        QApplication::setPalette(darkAtStart ? AdwaitaDark() : light);
        Harness h;
        QApplication::setPalette(darkWhenLooked ? AdwaitaDark() : light);
        QCoreApplication::processEvents();  // top-level windows hear of it through the queue

        auto* group = Find<QGroupBox>(*h.form, "GroupBox1");
        auto* browse = h.Button("ButtonBrowseImgFile");
        const QString title = group->title();
        const QString caption = browse->text();
        AboutBox about;
        auto* address = Find<QLineEdit>(about, "Edit1");
        struct Text {
            const char* what;
            QWidget* widget;
            std::function<void(QString)> set;
            QColor onLightTheme;  // the window's own colour, kept where it reads well
        };
        const std::vector<Text> texts = {
            {"archive path", h.Edit(), [&](QString t) { h.Edit()->setText(t); }, Qt::black},
            {"group caption", group, [&](QString t) { group->setTitle(t); }, Qt::blue},
            {"Browse...", browse, [&](QString t) { browse->setText(t); }, Qt::blue},
            {"About box address", address, [&](QString t) { address->setText(t); },
             light.color(QPalette::WindowText)}};
        for (const Text& text : texts) {
            const auto [contrast, color] = TextContrast(text.widget, text.set);
            QVERIFY2(contrast >= MinimumContrast,
                     qPrintable(QString("%1: %2:1").arg(text.what).arg(contrast)));
            if (!darkWhenLooked) {
                QCOMPARE(color, text.onLightTheme);
            }
        }
        group->setTitle(title);
        browse->setText(caption);

        // The window's background is the theme's.
        const QImage window = h.form->grab().toImage();
        QCOMPARE(window.pixelColor(570, 300), QApplication::palette().color(QPalette::Window));
    }

    void aboutBoxMatchesItsTable() {
        AboutBox box;
        QCOMPARE(box.windowTitle(), QString("Zarnex v1.2 - About"));
        QCOMPARE(box.size(), QSize(181, 101));
        QVERIFY(box.windowFlags() & Qt::Tool);
        auto* label1 = Find<QLabel>(box, "Label1");
        auto* label2 = Find<QLabel>(box, "Label2");
        auto* edit1 = Find<QLineEdit>(box, "Edit1");
        auto* label3 = Find<QLabel>(box, "Label3");
        QCOMPARE(label1->pos(), QPoint(60, 8));
        QCOMPARE(label2->pos(), QPoint(28, 32));
        QCOMPARE(label2->text(), QString("E-Mail:"));
        QCOMPARE(edit1->geometry(), QRect(64, 32, 97, 17));
        QVERIFY(edit1->isReadOnly());
        QVERIFY(!edit1->hasFrame());
        QCOMPARE(label3->geometry(), QRect(44, 64, 89, 25));
        QVERIFY(label3->wordWrap());
        QVERIFY(!label1->text().isEmpty());
        QVERIFY(edit1->text().contains('@'));
    }
};

QTEST_MAIN(WindowTests)
#include "window_tests.moc"
