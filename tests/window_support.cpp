#include "tests/window_support.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <filesystem>

#include "archive/edit.h"
#include "archive/import.h"
#include "mainwindow/import_list_view.h"
#include "mainwindow/theme.h"
#include "platform/codepage.h"
#include "platform/paths.h"

namespace zarnex::test {

QStringList ScriptedDialogs::OpenFiles(QWidget*, const OpenDialogRequest& request) {
    requests.push_back(request);
    if (files.empty()) {
        return {};
    }
    QStringList answer = files.front();
    files.pop_front();
    return answer;
}

QString ScriptedDialogs::ChooseFolder(QWidget*, const QString& instruction, const QString& start) {
    instructions << instruction;
    starts << start;
    if (folders.empty()) {
        return {};
    }
    QString answer = folders.front();
    folders.pop_front();
    return answer;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteBytes(path, bytes);
}

EventProbe::EventProbe(QObject* target, std::function<void(QEvent*)> seen)
    : seen_(std::move(seen)) {
    target->installEventFilter(this);
}

bool EventProbe::eventFilter(QObject*, QEvent* event) {
    seen_(event);
    return false;
}

void IsolateConfiguration(const TempDir& home) {
    qputenv(SettingsHomeVariable, QByteArray::fromStdString(home / "config"));
}

Harness::Harness(const std::string& startupArgument, bool show) {
    ImportWindowServices services;
    services.boxes = &boxes;
    services.dialogs = &dialogs;
    services.executableDir = temp.path();
    services.eventInterval = {};  // at every file, so that tests see each step
    services.startupArgument = startupArgument;
    form = std::make_unique<ImportWindow>(services);
    if (show) {
        form->show();
    }
}

std::string Harness::File(const std::string& name, size_t size) {
    WriteFile(Path(name), Pattern(size, static_cast<unsigned>(size)));
    return Path(name);
}

void Harness::Drop(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths) {
        urls << QUrl::fromLocalFile(p);
    }
    data->setUrls(urls);
    // Without a drag in progress the application would not pass a drop on.
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(form.get())->event(&enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(form.get())->event(&drop);
    delete data;
}

void Harness::Add(const QStringList& paths) {
    dialogs.files.push_back(paths);
    Click("addButton");
}

QStringList Harness::Captions() const {
    QStringList out;
    for (int i = 0; i < form->ImportList().RowCount(); ++i) {
        out << QString::fromStdString(form->ImportList().Row(i).caption);
    }
    return out;
}

QString Harness::Buttons() const {
    QString s;
    for (const char* name : {"extractButton", "replaceButton", "addButton", "deleteButton"}) {
        s += Button(name)->isEnabled() ? '1' : '0';
    }
    return s;
}

QStringList ShownNames(ContentsWindow& window) {
    QStringList names;
    for (int r = 0; r < window.Model().rowCount(); ++r) {
        names << window.Model().RowAt(r).name;
    }
    return names;
}

QStringList ChosenNames(ContentsWindow& window) {
    QStringList names;
    for (int row : Find<ContentsView>(window, "ContentsView")->SelectedRows()) {
        names << window.Model().RowAt(row).name;
    }
    return names;
}

void Choose(ContentsWindow& window, const QStringList& names) {
    auto* view = Find<ContentsView>(window, "ContentsView");
    view->clearSelection();
    for (int r = 0; r < window.Model().rowCount(); ++r) {
        if (names.contains(window.Model().RowAt(r).name)) {
            view->selectionModel()->select(window.Model().index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            view->selectionModel()->setCurrentIndex(window.Model().index(r, 0),
                                                    QItemSelectionModel::NoUpdate);
        }
    }
}

void RenameInPlace(ContentsWindow& window, const QString& name) {
    auto* view = Find<ContentsView>(window, "ContentsView");
    QTest::keyClick(view, Qt::Key_F2);
    auto* editor = view->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, name);
    QTest::keyClick(editor, Qt::Key_Return);
}

QStringList RecordNames(const std::string& img) {
    QStringList names;
    for (const DirectoryRecord& r : ReadVersion2Records(img)) {
        names << QString::fromStdString(AnsiToUtf8Lossy(r.name));
    }
    return names;
}

std::string Ansi(const std::string& utf8) {
    AnsiString ansi;
    Utf8ToAnsi(utf8, ansi);
    return ansi;
}

const std::vector<TestEntry>& Gta3Entries() {
    static const std::vector<TestEntry> entries = {{3, 2, "car.dff"},
                                                   {10, 1, "Car2.txd"},
                                                   {20, 3, "bike.dff"},
                                                   {30, 1, Ansi("гараж.col")},
                                                   {40, 2, "ped.ifp"}};
    return entries;
}

namespace {

MessageAnswer AnswerNamed(const QString& word) {
    const std::map<QString, MessageAnswer> answers = {{"Yes", MessageAnswer::Yes},
                                                      {"No", MessageAnswer::No},
                                                      {"Cancel", MessageAnswer::Cancel},
                                                      {"YesToAll", MessageAnswer::YesToAll},
                                                      {"NoToAll", MessageAnswer::NoToAll}};
    return answers.at(word);
}

// The widget with the keyboard focus, its window made the active one first.
void Focus(QWidget* widget) {
    widget->window()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(widget->window()));
    widget->setFocus();
}

}  // namespace

Driver::Driver(Harness& harness) : h_(harness) {
    MakeVersion2(h_.Path("gta3.img"), Gta3Entries(), 50);
    QDesktopServices::setUrlHandler("file", this, "Opened");
}

Driver::~Driver() {
    QDesktopServices::unsetUrlHandler("file");
}

void Driver::Run(const QString& script) {
    for (const QString& step : script.split(';', Qt::SkipEmptyParts)) {
        const QString trimmed = step.trimmed();
        const QStringList words = trimmed.split(' ', Qt::SkipEmptyParts);
        const QString rest = trimmed.mid(words.front().size()).trimmed();
        Step(words.front(), words.mid(1), rest);
        // What the step queued, as the event loop would deliver it: each round what the round
        // before queued (an editor commits its text that way, and the window renames so).
        for (int round = 0; round < 4; ++round) {
            QCoreApplication::sendPostedEvents();
        }
        if (QTest::currentTestFailed()) {
            qWarning("the scenario stopped at: %s", qPrintable(trimmed));
            return;
        }
    }
}

void Driver::Step(const QString& verb, const QStringList& words, const QString& rest) {
    static const QStringList expectations = {
        "rows",    "chosen",  "current", "listed", "clipboard",  "records", "status",
        "link",    "on",      "off",     "box",    "boxes",      "editor",  "opened",
        "visible", "dragged", "empty",   "closed", "filtertext", "tipped",  "editing"};
    if (expectations.contains(verb)) {
        Expect(verb, words, rest);
    } else {
        Act(verb, words, rest);
    }
}

ContentsView* Driver::View() const {
    return Find<ContentsView>(*window_, "ContentsView");
}

QWidget* Driver::Control(const QString& name) const {
    const QByteArray id = name.toUtf8();
    if (window_) {
        if (auto* widget = window_->findChild<QWidget*>(name)) {
            return widget;
        }
    }
    return Find<QWidget>(*h_.form, id.constData());
}

void Driver::Make(const QStringList& words) {
    const std::string img = h_.Path(words.front().toStdString());
    std::vector<TestEntry> entries;
    if (words.value(1) == "many") {
        for (int i = 0; i < 300; ++i) {
            entries.push_back(
                {20 + i, 1, QString("m%1.dff").arg(i, 3, 10, QChar('0')).toStdString()});
        }
    } else if (words.value(1) == "damaged") {
        entries = {{3, 4, "a.dff"}, {5, 2, "b.dff"}};  // overlapping, with gaps around them
    } else {
        for (int i = 1; i < words.size(); ++i) {
            entries.push_back({i, 1, Ansi(words[i].toStdString())});
        }
    }
    MakeVersion2(img, entries, 50);
}

// Another program changes the archive of the window; the window has seen it when this returns.
void Driver::Outside(const QString& change, const QString& name) {
    QSignalSpy seen(window_->findChild<QFileSystemWatcher*>(), &QFileSystemWatcher::fileChanged);
    ScriptedMessageBoxes boxes;
    IoState io;
    if (change == "delete") {
        DeleteEntries(window_->ArchivePath(), {{name.toStdString(), -1}}, boxes, {}, io);
    } else {
        ImportFiles(window_->ArchivePath(), {h_.File("outside/" + name.toStdString(), 3000)}, boxes,
                    {}, io);
    }
    QTRY_VERIFY(!seen.isEmpty());
    QTest::qWait(500);  // past the time that gathers a burst of changes into one reload
}

void Driver::Act(const QString& verb, const QStringList& words, const QString& rest) {
    if (verb == "make") {
        Make(words);
    } else if (verb == "open" || verb == "window") {
        const std::string img = h_.Path(words.front().toStdString());
        window_ = verb == "open" ? h_.form->OpenContents(img) : h_.form->ContentsOf(img);
        QVERIFY(window_);
        Focus(View());
    } else if (verb == "choose") {
        Choose(*window_, words);
        Focus(View());
    } else if (verb == "select") {
        auto* list = Find<QTreeWidget>(*h_.form, "importList");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            list->topLevelItem(i)->setSelected(words.contains(list->topLevelItem(i)->text(0)));
        }
        Focus(list);
    } else if (verb == "add") {
        QStringList paths;
        for (const QString& name : words) {
            paths << QString::fromStdString(h_.File("in/" + name.toStdString(), 100));
        }
        h_.Add(paths);
    } else if (verb == "key") {
        const QKeyCombination key = QKeySequence(rest)[0];
        QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    } else if (verb == "type") {
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, rest);
    } else if (verb == "filter") {
        Find<QLineEdit>(*window_, "ContentsFilter")->setText(rest);
    } else if (verb == "sort") {
        QHeaderView* header = View()->header();
        const int column = words.front().toInt();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 4, 4));
    } else if (verb == "dclick") {
        const int row = ShownNames(*window_).indexOf(words.front());
        const QRect cell = View()->visualRect(window_->Model().index(row, 1));
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(View()->viewport(), Qt::LeftButton, {}, cell.center());
    } else if (verb == "outside") {
        Outside(words.front(), words.value(1));
    } else if (verb == "answer") {
        h_.boxes.Answer(AnswerNamed(words.front()));
    } else if (verb == "dialog") {
        h_.dialogs.files.push_back({QString::fromStdString(h_.Path(words.front().toStdString()))});
    } else if (verb == "button") {
        QTest::mouseClick(qobject_cast<QPushButton*>(Control(words.front())), Qt::LeftButton);
    } else if (verb == "drag" || verb == "dragaway") {
        std::unique_ptr<QMimeData> data(window_->DragData());
        QVERIFY(data);
        drags_ << data->urls();
        if (verb == "drag") {
            QStringList paths;
            for (const QUrl& url : drags_.back()) {
                paths << url.toLocalFile();
            }
            h_.Drop(paths);
        }
    } else if (verb == "drop") {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& name : words) {
            const std::string path = h_.Path(name.toStdString());
            if (!std::filesystem::exists(path)) {
                h_.File(name.toStdString(), 10);
            }
            urls << QUrl::fromLocalFile(QString::fromStdString(path));
        }
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        static_cast<QObject*>(window_.data())->event(&enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        static_cast<QObject*>(window_.data())->event(&drop);
    } else if (verb == "close") {
        window_->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!window_);
    } else if (verb == "replace") {
        h_.Edit()->setText(QString::fromStdString(h_.Path(words.front().toStdString())));
        h_.boxes.Answer(MessageAnswer::Yes);
        h_.Click("replaceButton");
    } else {
        QFAIL(qPrintable("no such step: " + verb));
    }
}

void Driver::Expect(const QString& verb, const QStringList& words, const QString& rest) {
    if (verb == "rows") {
        QCOMPARE(ShownNames(*window_), words);
    } else if (verb == "chosen") {
        QCOMPARE(ChosenNames(*window_), words);
    } else if (verb == "current") {
        QCOMPARE(window_->Model().RowAt(View()->currentIndex().row()).name, words.front());
    } else if (verb == "listed") {
        QCOMPARE(h_.Captions(), words);
    } else if (verb == "clipboard") {
        QCOMPARE(QGuiApplication::clipboard()->text(), words.join('\n'));
    } else if (verb == "records") {
        QCOMPARE(RecordNames(h_.Path(words.front().toStdString())), words.mid(1));
    } else if (verb == "status" || verb == "link") {
        const QString status = Find<QLabel>(*window_, "ContentsStatus")->text();
        const bool found =
            verb == "status" ? status.contains(rest.toHtmlEscaped()) : status.contains("<a ");
        QVERIFY2(found == (verb == "status" || rest == "yes"), qPrintable(status));
    } else if (verb == "on" || verb == "off") {
        for (const QString& name : words) {
            QVERIFY2(Control(name)->isEnabled() == (verb == "on"), qPrintable(name));
        }
    } else if (verb == "box") {
        QVERIFY(!h_.boxes.shown.empty());
        const QString text = QString::fromStdString(h_.boxes.shown.back().text);
        QVERIFY2(text.contains(rest), qPrintable(text));
    } else if (verb == "boxes") {
        QCOMPARE(h_.boxes.shown.size() - boxesSeen_, words.front().toULongLong());
        boxesSeen_ = h_.boxes.shown.size();
    } else if (verb == "tipped") {  // the writing actions that say why they are off
        for (const char* name : {"ContentsDelete", "ContentsRename", "ContentsCompact"}) {
            QCOMPARE(!Control(name)->toolTip().isEmpty(), words.contains(name));
        }
    } else if (verb == "editing") {
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QCOMPARE(editor && View()->isAncestorOf(editor), rest == "yes");
    } else if (verb == "editor") {
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY2(editor && View()->isAncestorOf(editor), "no name is being edited");
        QCOMPARE(editor->text(), rest);
    } else if (verb == "opened") {
        QCOMPARE(opened_.size(), 1);
        const std::string file = opened_.takeFirst().toLocalFile().toStdString();
        QCOMPARE(QString::fromStdString(FileNamePart(file)), words.front());
        const std::string img = window_->ArchivePath();
        for (const DirectoryRecord& r : ReadVersion2Records(img)) {
            if (r.name == Ansi(words.front().toStdString())) {
                QCOMPARE(ReadBytes(file), SectorsOf(ReadBytes(img), r.offset, r.size));
            }
        }
    } else if (verb == "visible") {
        const int row = ShownNames(*window_).indexOf(words.front());
        QVERIFY(row >= 0);
        const QRect cell = View()->visualRect(window_->Model().index(row, 1));
        QVERIFY2(View()->viewport()->rect().contains(cell), qPrintable(words.front()));
    } else if (verb == "dragged") {
        const QList<QUrl> files = drags_.value(words.front().toInt() - 1);
        QVERIFY(!files.isEmpty());
        for (const QUrl& url : files) {
            QCOMPARE(std::filesystem::exists(url.toLocalFile().toStdString()),
                     words.value(1) == "kept");
        }
    } else if (verb == "empty") {
        QList<QProgressBar*> bars = {Find<QProgressBar>(*h_.form, "progressBar")};
        if (window_) {
            bars << Find<QProgressBar>(*window_, "ContentsProgress");
        }
        for (QProgressBar* bar : bars) {
            QCOMPARE(bar->value(), bar->minimum());
        }
    } else if (verb == "closed") {
        QVERIFY(!h_.form->ContentsOf(h_.Path(words.front().toStdString())));
    } else if (verb == "filtertext") {
        QCOMPARE(Find<QLineEdit>(*window_, "ContentsFilter")->text(), rest);
    }
}

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

}  // namespace zarnex::test
