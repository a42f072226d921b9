// The contents window driven as a user drives it: one walk through its controls, the scenarios of
// its keys, edits and reloads, and every question box answered as the desktop shows it.
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <random>

#include "archive/format.h"
#include "mainwindow/contents.h"
#include "mainwindow/contents_model.h"
#include "mainwindow/identity.h"
#include "platform/codepage.h"
#include "tests/window_support.h"

using namespace zarnex;
using namespace zarnex::test;

namespace {

// zarnex-cli of the same build, found from the tests' own folder: under Wine a path of the build
// is no Windows path.
QString Cli() {
    return QCoreApplication::applicationDirPath() + "/../cli/" ZARNEX_CLI_NAME;
}

// Answers each modal box as it comes: with `button` where the box has it, else with Enter. Notes
// each box's text and whether No stood left of Yes.
class BoxPresser : public QObject {
  public:
    QStringList texts;
    bool noBeforeYes = false;
    explicit BoxPresser(QMessageBox::StandardButton button = QMessageBox::NoButton) {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            // Marked on the box itself: the next box may be built where this one lay.
            if (!box || !box->isVisible() || box->property("answered").toBool()) {
                return;
            }
            box->setProperty("answered", true);
            texts << box->text();
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            QAbstractButton* no = box->button(QMessageBox::No);
            if (yes && no && no->mapToGlobal(QPoint()).x() < yes->mapToGlobal(QPoint()).x()) {
                noBeforeYes = true;
            }
            if (QAbstractButton* chosen = box->button(button)) {
                chosen->click();
            } else {
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        timer_.start();
    }

  private:
    QTimer timer_;
};

class ButtonOrderStyle : public QProxyStyle {
  public:
    explicit ButtonOrderStyle(int layout) : layout_(layout) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_DialogButtonLayout) {
            return layout_;
        }
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

  private:
    int layout_;
};

}  // namespace

class WindowContentsTests : public QObject {
    Q_OBJECT

    TempDir home_;

  private slots:
    void initTestCase() {
        SetApplicationIdentity();
        IsolateConfiguration(home_);
    }

    // Open, filter, sort, extract, drag out, drop in, delete, rename, compact and check, as a
    // user does them, and the window's size kept for the next run.
    void contentsWindowDoesWhatItsControlsSay() {
        Harness h;
        const std::string img = h.Path("gta3.img");
        MakeVersion2(img, Gta3Entries(), 50);
        QVERIFY(!h.Button("contentsButton")->isEnabled());
        h.Edit()->setText(QString::fromStdString(img));
        h.Click("contentsButton");
        ContentsWindow& w = *h.form->ContentsOf(img);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(w.windowTitle(), QString("gta3.img - Zarnex"));
        QVERIFY(w.minimumSize() != w.maximumSize());
        auto* view = Find<ContentsView>(w, "ContentsView");
        auto* status = Find<QLabel>(w, "ContentsStatus");
        QCOMPARE(ShownNames(w),
                 (QStringList{"car.dff", "Car2.txd", "bike.dff", "гараж.col", "ped.ifp"}));
        QCOMPARE(view->model()->index(2, ContentsModel::SizeColumn).data().toString(),
                 QString("6 KiB"));
        QCOMPARE(view->model()->index(4, ContentsModel::NumberColumn).data().toInt(), 4);

        const struct {
            QString typed;
            QStringList shown;
        } filters[] = {
            {"CAR", {"car.dff", "Car2.txd"}},
            {"*.dff", {"car.dff", "bike.dff"}},
            {"c?r*", {"car.dff", "Car2.txd"}},
            {"*.TX?", {"Car2.txd"}},
            {"ГАРАЖ", {"гараж.col"}},
            {"?", {}},
            {"", {"car.dff", "Car2.txd", "bike.dff", "гараж.col", "ped.ifp"}},
        };
        auto* filter = Find<QLineEdit>(w, "ContentsFilter");
        for (const auto& f : filters) {
            filter->clear();
            if (f.typed.toLatin1() == f.typed.toUtf8()) {
                QTest::keyClicks(filter, f.typed);
            } else {
                filter->insert(f.typed);
            }
            QCOMPARE(ShownNames(w), f.shown);
        }

        auto clickHeader = [&](int column) {
            QHeaderView* header = view->header();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 4, 4));
        };
        clickHeader(ContentsModel::SizeColumn);
        QCOMPARE(ShownNames(w),
                 (QStringList{"Car2.txd", "гараж.col", "car.dff", "ped.ifp", "bike.dff"}));
        clickHeader(ContentsModel::SizeColumn);
        QCOMPARE(ShownNames(w),
                 (QStringList{"bike.dff", "ped.ifp", "car.dff", "гараж.col", "Car2.txd"}));
        clickHeader(ContentsModel::NameColumn);
        QCOMPARE(ShownNames(w),
                 (QStringList{"bike.dff", "car.dff", "Car2.txd", "ped.ifp", "гараж.col"}));

        // Extract two rows into the folder the main window remembers.
        const std::string out = h.Path("out");
        std::filesystem::create_directories(out);
        h.dialogs.folders.push_back(QString::fromStdString(out));
        Choose(w, {"car.dff", "гараж.col"});
        h.Click(Find<QPushButton>(w, "ContentsExtract"));
        QCOMPARE(h.boxes.shown.back().text, std::string("Извлечено: 2"));
        QCOMPARE(h.form->KeptSettings().extractFolder, out);
        QCOMPARE(ReadBytes(out + "/car.dff"), EntryData(Gta3Entries()[0], 0));
        QCOMPARE(ReadBytes(out + "/гараж.col"), EntryData(Gta3Entries()[3], 3));
        QCOMPARE(ChosenNames(w), (QStringList{"car.dff", "гараж.col"}));

        // Dragged out: the entry as a file of a private folder. Dropped in: the import list.
        Choose(w, {"Car2.txd"});
        std::unique_ptr<QMimeData> drag(w.DragData());
        QCOMPARE(drag->urls().size(), 1);
        QCOMPARE(ReadBytes(drag->urls()[0].toLocalFile().toStdString()),
                 EntryData(Gta3Entries()[1], 1));
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(h.File("in/new.dff", 10)))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        static_cast<QObject&>(w).event(&enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        static_cast<QObject&>(w).event(&drop);
        QCOMPARE(h.Captions(), QStringList{"new.dff"});

        // Delete: one question; No keeps them, Yes deletes, and the status line says so.
        Choose(w, {"ped.ifp", "bike.dff"});
        view->setFocus();
        h.boxes.shown.clear();
        h.boxes.Answer(MessageAnswer::No);
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(h.boxes.messages.back().id, MessageId::ContentsDeleteQuestion);
        QCOMPARE(h.boxes.messages.back().count, 2);
        QCOMPARE(RecordNames(img).size(), 5);
        Choose(w, {"ped.ifp"});
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(h.boxes.shown.size(), size_t{2});  // the questions alone
        QVERIFY2(status->text().startsWith("Deleted: 1"), qPrintable(status->text()));
        QCOMPARE(ShownNames(w), (QStringList{"bike.dff", "car.dff", "Car2.txd", "гараж.col"}));
        QCOMPARE(RecordNames(img).size(), 4);

        // Rename in place with F2; the row stays the current one.
        Choose(w, {"bike.dff"});
        RenameInPlace(w, "racer.dff");
        QTRY_VERIFY(status->text().startsWith("Renamed: bike.dff -&gt; racer.dff"));
        QCOMPARE(RecordNames(img)[2], QString("racer.dff"));
        QCOMPARE(w.Model().RowAt(view->currentIndex().row()).name, QString("racer.dff"));

        // Compact: the gaps close, the bytes and the chosen rows stay.
        Choose(w, {"Car2.txd"});
        const size_t before = ReadBytes(img).size();
        QVERIFY2(status->text().contains("<a "), qPrintable(status->text()));
        h.Click(Find<QPushButton>(w, "ContentsCompact"));
        QCOMPARE(h.boxes.messages.back().id, MessageId::CompactSummary);
        QVERIFY(ReadBytes(img).size() < before);
        QVERIFY2(!status->text().contains("<a "), qPrintable(status->text()));
        QCOMPARE(ChosenNames(w), QStringList{"Car2.txd"});
        const std::vector<DirectoryRecord> records = ReadVersion2Records(img);
        QCOMPARE(SectorsOf(ReadBytes(img), records[1].offset, 1), EntryData(Gta3Entries()[1], 1));

        h.Click(Find<QPushButton>(w, "ContentsCheck"));
        QCOMPARE(h.boxes.messages.back().id, MessageId::CheckSound);

        // The size and the columns come back in the next run. A size the style allows: Windows'
        // buttons are wider than Fusion's.
        const QSize chosen = w.size() + QSize(20, -40);
        w.resize(chosen);
        view->setColumnWidth(ContentsModel::NameColumn, 150);
        h.form->close();
        QVERIFY(!h.form->ContentsOf(img) || !h.form->ContentsOf(img)->isVisible());
        ImportWindowServices services{&h.boxes, &h.dialogs, h.temp.path(), {}};
        ImportWindow again(services);
        again.show();
        QTest::mouseClick(Find<QPushButton>(again, "contentsButton"), Qt::LeftButton);
        ContentsWindow& next = *again.ContentsOf(img);
        QCOMPARE(next.size(), chosen);
        QCOMPARE(Find<ContentsView>(next, "ContentsView")->columnWidth(ContentsModel::NameColumn),
                 150);
        again.close();
        // A fourth line that is not sane numbers gives the defaults; one from before the "#"
        // column keeps its widths for the others.
        const ContentsLayout defaults;
        for (const char* bad : {"", "700 420", "700 420 150 70 50 80 70 9 9",
                                "700 420 150 x 50 80 70", "700 420 150 0 50 80 70"}) {
            QCOMPARE(ParseContentsLayout(bad).width, defaults.width);
            QCOMPARE(ParseContentsLayout(bad).columns, defaults.columns);
        }
        QCOMPARE(ParseContentsLayout("700 420 150 71 51 81 72").columns,
                 (std::vector<int>{defaults.columns[0], 150, 71, 51, 81, 72}));
    }

    // Another program changes the archive: the table follows, the chosen rows stay chosen.
    void contentsFollowAChangeByAnotherProgram() {
        Harness h;
        const std::string img = h.Path("gta3.img");
        MakeVersion2(img, Gta3Entries(), 50);
        ContentsWindow& w = *h.form->OpenContents(img);
        Choose(w, {"bike.dff"});
        const std::string added = h.File("in/added.txd", 5000);
        QProcess cli;
        cli.start(Cli(),
                  {"import", "-q", QString::fromStdString(img), QString::fromStdString(added)});
        QVERIFY(cli.waitForFinished());
        QCOMPARE(cli.exitCode(), 0);
        QTRY_VERIFY(ShownNames(w).contains("added.txd"));
        QCOMPARE(ChosenNames(w), QStringList{"bike.dff"});
        QVERIFY(h.boxes.shown.empty());
        // The same after a Replace of the main window.
        h.Edit()->setText(QString::fromStdString(img));
        h.Add({QString::fromStdString(h.File("in/more.dff", 10))});
        h.Click("replaceButton");
        QVERIFY(ShownNames(w).contains("more.dff"));
    }

    void windowsWriteWhatTheCommandLineWrites_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("version 1") << 1;
        QTest::newRow("version 2") << 2;
    }

    // Replace, Extract, Delete and Rename from the windows leave the bytes that zarnex-cli of the
    // same build leaves; tests/windows_window.sh compares them with the other system's windows.
    void windowsWriteWhatTheCommandLineWrites() {
        QFETCH(int, version);
        Harness h;
        const QStringList sources = {QString::fromStdString(h.File("in/car.dff", 9000)),
                                     QString::fromStdString(h.File("in/новый.txd", 3000)),
                                     QString::fromStdString(h.File("in/extra.col", 10))};
        auto make = [&](const std::string& folder) {
            const std::string img = h.Path(folder + "/gta3.img");
            std::filesystem::create_directories(FsPath(h.Path(folder + "/out")));
            version == 1 ? MakeVersion1(img, Gta3Entries(), 50)
                         : MakeVersion2(img, Gta3Entries(), 50);
            return img;
        };
        const std::string byWindow = make("window");
        const std::string byCli = make("cli");

        h.Edit()->setText(QString::fromStdString(byWindow));
        h.Add(sources);
        h.Click("replaceButton");
        h.Click("contentsButton");
        ContentsWindow& w = *h.form->ContentsOf(byWindow);
        Choose(w, {"car.dff", "новый.txd", "гараж.col"});
        h.dialogs.folders.push_back(QString::fromStdString(h.Path("window/out")));
        h.Click(Find<QPushButton>(w, "ContentsExtract"));
        auto* view = Find<ContentsView>(w, "ContentsView");
        view->setFocus();
        Choose(w, {"ped.ifp"});
        QTest::keyClick(view, Qt::Key_Delete);
        Choose(w, {"bike.dff"});
        RenameInPlace(w, "racer.dff");
        QTRY_VERIFY(Find<QLabel>(w, "ContentsStatus")->text().startsWith("Renamed:"));

        const QString img = QString::fromStdString(byCli);
        for (const QStringList& arguments :
             {QStringList{"import", "-q", img} + sources,
              QStringList{"extract", "-q", img, QString::fromStdString(h.Path("cli/out")),
                          "car.dff", "новый.txd", "гараж.col"},
              QStringList{"delete", "-q", img, "ped.ifp"},
              QStringList{"rename", img, "bike.dff", "racer.dff"}}) {
            QProcess cli;
            cli.start(Cli(), arguments);
            QVERIFY(cli.waitForFinished());
            QVERIFY2(cli.exitCode() == 0,
                     qPrintable(arguments.join(' ') + ": " + cli.readAllStandardError()));
        }
        std::vector<std::string> files = {"gta3.img", "out/car.dff", "out/новый.txd",
                                          "out/гараж.col"};
        if (version == 1) {
            files.push_back("gta3.dir");
        }
        for (const std::string& file : files) {
            QVERIFY2(ReadBytes(h.Path("window/" + file)) == ReadBytes(h.Path("cli/" + file)),
                     file.c_str());
        }
        // Kept where tests/windows_window.sh asks, to be compared with the other system's.
        const std::string keep = qEnvironmentVariable("ZARNEX_KEEP_WINDOW_BYTES").toStdString();
        if (!keep.empty()) {
            for (const std::string& file : files) {
                WriteFile(keep + "/version" + std::to_string(version) + "/" + file,
                          ReadBytes(h.Path("window/" + file)));
            }
        }
    }

    // The path field may name a pair by its .dir; a control character stored in a name is shown
    // escaped, and edited as it is.
    void aDirNamesThePairAndStoredControlCharactersShowEscaped() {
        Harness h;
        const std::string img = h.Path("pair.img");
        MakeVersion1(img, {{0, 1, "a.dff"}, {1, 1, "x\n9\t0"}, {2, 1, "z\x98.ipl"}});
        h.Edit()->setText(QString::fromStdString(h.Path("pair.dir")));
        h.Click("contentsButton");
        ContentsWindow& w = *h.form->ContentsOf(h.Path("pair.dir"));
        QVERIFY(h.boxes.shown.empty());
        QVERIFY2(w.windowTitle().startsWith("pair.img"), qPrintable(w.windowTitle()));
        const QModelIndex name = w.Model().index(1, ContentsModel::NameColumn);
        QCOMPARE(name.data(Qt::DisplayRole).toString(), QString("x\\x0a9\\x090"));
        QCOMPARE(name.data(Qt::EditRole).toString(), QString("x\n9\t0"));
        QCOMPARE(w.Model().index(0, ContentsModel::NameColumn).data().toString(), QString("a.dff"));

        // A byte that Windows-1251 leaves undefined has no text to find the entry by again.
        Find<ContentsView>(w, "ContentsView")->setCurrentIndex(w.Model().index(2, 0));
        h.boxes.Answer(MessageAnswer::Yes);
        h.Click(Find<QPushButton>(w, "ContentsDelete"));
        QCOMPARE(ReadVersion1Records(h.Path("pair.dir")).size(), size_t{2});
    }

    void checkListsTheProblems() {
        Harness h;
        const std::string img = h.Path("bad.img");
        MakeVersion2(img, {{3, 4, "a.dff"}, {5, 2, "b.dff"}}, 10);
        h.Click(Find<QPushButton>(*h.form->OpenContents(img), "ContentsCheck"));
        const Message& m = h.boxes.messages.back();
        QCOMPARE(m.id, MessageId::CheckProblems);
        QCOMPARE(m.count, 1);
        QVERIFY2(m.text.find("b.dff") != std::string::npos, m.text.c_str());
    }

    void scenarios_data() {
        QTest::addColumn<QString>("script");
        QTest::newRow("an edit outlasts an outside change and renames the entry that moved")
            << "open gta3.img; choose ped.ifp; key F2; type racer.ifp; outside delete car.dff;"
               "editor racer.ifp; rows car.dff Car2.txd bike.dff гараж.col ped.ifp; key Return;"
               "records gta3.img racer.ifp Car2.txd bike.dff гараж.col; current racer.ifp;"
               "boxes 0; status Renamed: ped.ifp -> racer.ifp";
        QTest::newRow("an edit given up lets the held reload come")
            << "open gta3.img; choose bike.dff; key F2; outside add new.dff; key Escape;"
               "rows car.dff Car2.txd bike.dff гараж.col ped.ifp new.dff; chosen bike.dff";
        QTest::newRow("the status line counts what the filter shows")
            << "open gta3.img; filter *.dff; rows car.dff bike.dff;"
               "status Version 2  ·  2 of 5 entries shown  ·  100 KiB  ·  data 18 KiB  ·  "
               "gaps 80 KiB; filter; status Version 2  ·  5 entries  ·  100 KiB";
        QTest::newRow("another archive opens unfiltered, in a window of its own")
            << "make other.img a.dff b.dff c.dff; open gta3.img; filter car; dialog other.img;"
               "button ContentsOpen; window other.img; filtertext; rows a.dff b.dff c.dff;"
               "status 3 entries; window gta3.img; rows car.dff Car2.txd;"
               "status 2 of 5 entries shown";
        QTest::newRow("one window for each archive")
            << "make other.img a.dff; open gta3.img; filter car; open other.img; rows a.dff;"
               "open gta3.img; filtertext car; closed none.img";
        QTest::newRow("a dropped archive opens, dropped files go to the list")
            << "make other.img a.dff; open gta3.img; drop other.img new.dff; listed new.dff;"
               "window other.img; rows a.dff; window gta3.img;"
               "rows car.dff Car2.txd bike.dff гараж.col ped.ifp";
        QTest::newRow("Ctrl+C copies the names of the chosen rows")
            << "open gta3.img; choose car.dff гараж.col ped.ifp; key Ctrl+C;"
               "clipboard car.dff гараж.col ped.ifp";
        QTest::newRow("Enter and a double-click open an entry with the desktop's program")
            << "open gta3.img; choose Car2.txd; key Return; opened Car2.txd; dclick bike.dff;"
               "opened bike.dff";
        QTest::newRow("with nothing chosen what needs rows is off")
            << "open gta3.img; choose; off ContentsExtract ContentsDelete ContentsRename;"
               "on ContentsOpen ContentsCheck ContentsCompact; key Delete; key F2; boxes 0;"
               "records gta3.img car.dff Car2.txd bike.dff гараж.col ped.ifp; choose car.dff;"
               "on ContentsExtract ContentsDelete ContentsRename";
        QTest::newRow("Delete asks by name and chooses the next row")
            << "open gta3.img; choose bike.dff; key Delete; boxes 1; box bike.dff;"
               "records gta3.img car.dff Car2.txd ped.ifp гараж.col; chosen гараж.col;"
               "status Deleted: 1; empty";
        QTest::newRow("Delete of several names their count; the last row chooses the one before")
            << "open gta3.img; sort 1; choose ped.ifp гараж.col; key Delete; boxes 1;"
               "box записей: 2; chosen Car2.txd";
        QTest::newRow("the # column gives back the directory's order")
            << "open gta3.img; sort 2; rows Car2.txd гараж.col car.dff ped.ifp bike.dff; sort 0;"
               "rows car.dff Car2.txd bike.dff гараж.col ped.ifp";
        QTest::newRow("ё sorts with е") << "make names.img яма.dff ёж.dff жук.dff Ель.txd еж.dff;"
                                           "open names.img; sort 1;"
                                           "rows еж.dff ёж.dff Ель.txd жук.dff яма.dff";
        QTest::newRow("clearing the filter keeps the current row in view")
            << "make many.img many; open many.img; filter *7.dff; choose m297.dff; filter;"
               "visible m297.dff; current m297.dff";
        QTest::newRow("Compact is offered only where it would run")
            << "make bad.img damaged; open gta3.img; link yes; open bad.img; link no";
        QTest::newRow("a damaged archive is never written: its writing actions are off")
            << "make bad.img damaged; open gta3.img; choose car.dff; tipped; open bad.img;"
               "choose a.dff; off ContentsDelete ContentsRename ContentsCompact;"
               "tipped ContentsDelete ContentsRename ContentsCompact;"
               "on ContentsCheck ContentsExtract; key F2; editing no; key Delete; boxes 0";
    }

    void scenarios() {
        QFETCH(QString, script);
        Harness h;
        Driver driver(h);
        driver.Run(script);
    }

    void answerForAllInBothWindows_data() {
        QTest::addColumn<bool>("fromContents");
        QTest::addColumn<int>("button");
        QTest::newRow("main window, Yes to all") << false << int(QMessageBox::YesToAll);
        QTest::newRow("main window, No to all") << false << int(QMessageBox::NoToAll);
        QTest::newRow("contents window, Yes to all") << true << int(QMessageBox::YesToAll);
        QTest::newRow("contents window, No to all") << true << int(QMessageBox::NoToAll);
    }

    // Real boxes: the overwrite question offers an answer for every file, asked once.
    void answerForAllInBothWindows() {
        QFETCH(bool, fromContents);
        QFETCH(int, button);
        TempDir temp;
        QtMessageBoxes boxes(Language::English);
        ScriptedDialogs dialogs;
        ImportWindow window({&boxes, &dialogs, temp.path(), {}});
        window.show();
        const std::string img = temp / "gta3.img";
        const std::vector<TestEntry> entries = {{1, 1, "a.dff"}, {2, 1, "b.dff"}, {3, 1, "c.dff"}};
        MakeVersion2(img, entries);
        const std::string out = temp / "out";
        QStringList names;
        for (const TestEntry& e : entries) {
            WriteFile(out + "/" + e.name, {'x'});
            WriteFile(temp / ("in/" + e.name), {'y'});
            names << QString::fromStdString(temp / ("in/" + e.name));
        }
        dialogs.folders.push_back(QString::fromStdString(out));
        BoxPresser presser(static_cast<QMessageBox::StandardButton>(button));
        if (fromContents) {
            ContentsWindow& contents = *window.OpenContents(img);
            Choose(contents, {"a.dff", "b.dff", "c.dff"});
            QTest::mouseClick(Find<QPushButton>(contents, "ContentsExtract"), Qt::LeftButton);
        } else {
            Find<QLineEdit>(window, "archivePath")->setText(QString::fromStdString(img));
            dialogs.files.push_back(names);
            QTest::mouseClick(Find<QPushButton>(window, "addButton"), Qt::LeftButton);
            QTest::mouseClick(Find<QPushButton>(window, "extractButton"), Qt::LeftButton);
        }
        QCOMPARE(presser.texts.size(), 2);  // the question once, and the summary
        const bool overwritten = button == QMessageBox::YesToAll;
        QCOMPARE(presser.texts[1], QString("Extracted: %1").arg(overwritten ? 3 : 0));
        for (size_t i = 0; i < entries.size(); ++i) {
            QCOMPARE(ReadBytes(out + "/" + entries[i].name),
                     overwritten ? EntryData(entries[i], i) : Bytes{'x'});
        }
        window.close();
    }

    void modelAgreesWithTheNamesAsText_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("column");
        QTest::newRow("every row by name") << "" << int(ContentsModel::NameColumn);
        QTest::newRow("a capital Cyrillic letter") << "Ж" << int(ContentsModel::TypeColumn);
        QTest::newRow("ё and е stay apart") << "ё" << int(ContentsModel::NameColumn);
        QTest::newRow("a type in capitals") << "*.DFF" << int(ContentsModel::NameColumn);
        QTest::newRow("one character and a run") << "?а*" << int(ContentsModel::SizeColumn);
        QTest::newRow("a backslash") << "\\" << int(ContentsModel::OffsetColumn);
        QTest::newRow("letters after each run, met more than once")
            << "*ab*ab" << int(ContentsModel::NameColumn);
        QTest::newRow("two runs and one character") << "*ж*е?" << int(-1);
        QTest::newRow("a letter of the code page's upper half") << "€" << int(-1);
        QTest::newRow("a letter no name can hold") << "ü" << int(ContentsModel::NameColumn);
    }

    // The rows' text is made from the stored bytes only when shown, and filtering and sorting
    // look at the bytes: against the names made into text and compared as text.
    void modelAgreesWithTheNamesAsText() {
        QFETCH(QString, pattern);
        QFETCH(int, column);
        const char* const parts[] = {"ж",    "Ж",    "ё",    "Ё",    "е",       "Е",
                                     "а",    "я",    "ab",   "AB",   "\\",      "€",
                                     ".dff", ".DFF", ".txd", "\x01", "\xC2\x98"};
        std::mt19937 random(21);
        std::vector<DirectoryEntry> entries;
        QStringList names;
        for (int i = 0; i < 400; ++i) {
            std::string utf8;
            for (int k = 1 + static_cast<int>(random() % 4); k > 0; --k) {
                utf8 += parts[random() % std::size(parts)];
            }
            AnsiString ansi;
            if (!Utf8ToAnsi(utf8, ansi)) {
                ansi = "\x98" + std::to_string(i);  // the byte no character stands for
            }
            entries.emplace_back(static_cast<int32_t>(random() % 50),
                                 static_cast<int32_t>(random() % 5), ansi);
            names << QString::fromStdString(AnsiToUtf8Lossy(entries.back().Name()));
        }
        ContentsModel model(Language::English);
        model.SetEntries(entries);
        model.SetFilter(pattern);
        if (column >= 0) {
            model.SortBy(column);
        }

        // The plain walk: a glob over the names in small letters, and a stable sort.
        const QString wanted = pattern.toLower();
        std::function<bool(QStringView, QStringView)> glob = [&](QStringView p, QStringView s) {
            if (p.isEmpty()) {
                return s.isEmpty();
            }
            if (p[0] == '*') {
                return glob(p.mid(1), s) || (!s.isEmpty() && glob(p, s.mid(1)));
            }
            return !s.isEmpty() && (p[0] == '?' || p[0] == s[0]) && glob(p.mid(1), s.mid(1));
        };
        const bool wildcards = pattern.contains('*') || pattern.contains('?');
        std::vector<int> expected;
        for (int i = 0; i < names.size(); ++i) {
            const QString key = names[i].toLower();
            if (wildcards ? glob(wanted, key) : key.contains(wanted)) {
                expected.push_back(i);
            }
        }
        auto nameBefore = [&](int a, int b) {
            QString x = names[a].toLower(), y = names[b].toLower();
            const QString plainX = x, plainY = y;
            x.replace(QChar(0x0451), QChar(0x0435));
            y.replace(QChar(0x0451), QChar(0x0435));
            return x != y ? (x.size() != y.size() && (x.startsWith(y) || y.startsWith(x))
                                 ? x.size() < y.size()
                                 : x < y)
                          : plainX < plainY;
        };
        auto typeOf = [&](int i) {
            const qsizetype dot = names[i].lastIndexOf('.');
            return dot < 0 ? QString() : names[i].mid(dot + 1).toUpper();
        };
        auto by = [&](auto less) { std::stable_sort(expected.begin(), expected.end(), less); };
        switch (column) {
            case ContentsModel::NameColumn:
                by(nameBefore);
                break;
            case ContentsModel::TypeColumn:
                by([&](int a, int b) { return typeOf(a) < typeOf(b); });
                break;
            case ContentsModel::SizeColumn:
                by([&](int a, int b) { return entries[a].size < entries[b].size; });
                break;
            case ContentsModel::OffsetColumn:
                by([&](int a, int b) { return entries[a].offset < entries[b].offset; });
                break;
        }
        QCOMPARE(model.rowCount(), static_cast<int>(expected.size()));
        for (int r = 0; r < model.rowCount(); ++r) {
            const ContentsRow row = model.RowAt(r);
            QCOMPARE(row.index, expected[static_cast<size_t>(r)]);
            QCOMPARE(row.key, names[row.index].toLower());
            QCOMPARE(row.type, typeOf(row.index));
            QCOMPARE(model.FirstRowWithKey(row.key) <= r, true);
        }
    }

    void enterGivesTheFirstAnswer_data() {
        QTest::addColumn<int>("layout");
        QTest::newRow("Windows") << int(QDialogButtonBox::WinLayout);
        QTest::newRow("macOS") << int(QDialogButtonBox::MacLayout);
        QTest::newRow("KDE") << int(QDialogButtonBox::KdeLayout);
        QTest::newRow("GNOME") << int(QDialogButtonBox::GnomeLayout);
    }

    // Real boxes: Enter answers Replace's question, the overwrite question and the summaries with
    // their first button, Yes, wherever the style puts it; the summary names what is missing.
    void enterGivesTheFirstAnswer() {
        QFETCH(int, layout);
        const QString original = QApplication::style()->name();
        auto* style = new ButtonOrderStyle(layout);
        style->setBaseStyle(QStyleFactory::create("Fusion"));
        QApplication::setStyle(style);
        const AtExit restore{[&] { QApplication::setStyle(QStyleFactory::create(original)); }};

        TempDir temp;
        QtMessageBoxes boxes(Language::Russian);
        ScriptedDialogs dialogs;
        ImportWindow form({&boxes, &dialogs, temp.path(), {}});
        form.show();
        const std::string img = temp / "gta3.img";
        MakeVersion2(img, {});
        Find<QLineEdit>(form, "archivePath")->setText(QString::fromStdString(img));
        const std::string car = temp / "in/car.dff";
        WriteFile(car, Pattern(100, 1));
        const std::string missing = temp / "in/gone.dff";
        WriteFile(missing, Pattern(100, 2));
        dialogs.files.push_back({QString::fromStdString(car)});
        QTest::mouseClick(Find<QPushButton>(form, "addButton"), Qt::LeftButton);

        BoxPresser enter;
        QTest::mouseClick(Find<QPushButton>(form, "replaceButton"), Qt::LeftButton);
        QCOMPARE(enter.texts, (QStringList{"Заменить?", "Завершено\n\nЗаменено: 0\nДобавлено: 1"}));

        const std::string out = temp / "out";
        WriteFile(out + "/car.dff", {1});
        dialogs.files.push_back({QString::fromStdString(car), QString::fromStdString(missing)});
        QTest::mouseClick(Find<QPushButton>(form, "addButton"), Qt::LeftButton);
        dialogs.folders.push_back(QString::fromStdString(out));
        QTest::mouseClick(Find<QPushButton>(form, "extractButton"), Qt::LeftButton);
        QCOMPARE(enter.texts.size(), 4);
        QVERIFY(enter.texts[2].contains("уже существует"));
        QCOMPARE(enter.texts[3], QString("Извлечено: 1\n\nНет в архиве:\ngone.dff"));
        QCOMPARE(ReadBytes(out + "/car.dff"), Padded(Pattern(100, 1)));  // Yes: overwritten
        const bool reversed =
            layout == QDialogButtonBox::MacLayout || layout == QDialogButtonBox::GnomeLayout;
        QCOMPARE(enter.noBeforeYes, reversed);
        form.close();
    }
};

QTEST_MAIN(WindowContentsTests)
#include "window_contents_tests.moc"
