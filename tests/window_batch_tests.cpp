// Replace and Extract... from the window, end to end, and the window alive while they run.
#include <qpa/qwindowsysteminterface.h>
#include <QPaintEvent>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "archive/format.h"
#include "mainwindow/identity.h"
#include "tests/window_support.h"

using namespace zarnex;
using namespace zarnex::test;

class WindowBatchTests : public QObject {
    Q_OBJECT

    TempDir home_;

  private slots:
    void initTestCase() {
        SetApplicationIdentity();
        IsolateConfiguration(home_);
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
        h.Click("replaceButton");
        QCOMPARE(h.boxes.shown.back().text, std::string("Заменить?"));
        QCOMPARE(h.form->ImportList().RowCount(), 3);
        QCOMPARE(ReadBytes(img).size(), size_t{8});

        h.boxes.shown.clear();
        h.boxes.Answer(MessageAnswer::Yes);
        int furthest = 0;  // the bar at its fullest, of all the rows
        connect(h.Progress(), &QProgressBar::valueChanged, [&](int value) {
            furthest = value == h.Progress()->maximum() ? std::max(furthest, value) : furthest;
        });
        h.Click("replaceButton");
        QCOMPARE(h.boxes.shown.size(), size_t{3});
        QCOMPARE(h.boxes.shown[0].text, std::string("Заменить?"));
        QCOMPARE(h.boxes.shown[1].icon, MessageIcon::Warning);  // the missing file
        QCOMPARE(h.boxes.shown[2].text, std::string("Завершено\n\nЗаменено: 0\nДобавлено: 2"));
        QCOMPARE(h.Captions(), QStringList{"gone.txd"});
        QCOMPARE(h.Buttons(), QString("1111"));
        QCOMPARE(furthest, 3);
        QCOMPARE(h.Progress()->value(), 0);  // empty again, for the next batch

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
        h.Click("replaceButton");
        QCOMPARE(h.form->ImportList().RowCount(), 0);
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
        h.Click("replaceButton");
        h.Add({QString::fromStdString(a), QString::fromStdString(h.File("in/none.dff", 1))});

        const std::string out = h.Path("out");
        std::filesystem::create_directories(out);
        h.boxes.shown.clear();
        h.dialogs.folders.push_back(QString::fromStdString(out));
        h.Click("extractButton");
        QCOMPARE(h.dialogs.instructions.back(),  // in the window's language
                 QString::fromUtf8(WordText(Word::ChooseExtractFolder, Language::English)));
        QCOMPARE(h.form->KeptSettings().extractFolder, out);
        QCOMPARE(h.boxes.shown.size(), size_t{1});
        // The summary names what the archive lacks.
        QCOMPARE(h.boxes.shown[0].text, std::string("Извлечено: 1\n\nНет в архиве:\nnone.dff"));
        Bytes written = ReadBytes(out + "/Car.dff");
        Bytes expected = Pattern(3000, 3000);
        expected.resize(4096, 0);
        QVERIFY(written == expected);
        QCOMPARE(h.form->ImportList().RowCount(), 2);  // extraction leaves the rows
        QCOMPARE(h.Buttons(), QString("1111"));
        QCOMPARE(h.Progress()->value(), 0);

        // The next browser starts in the folder; a vanished one is emptied even on Cancel.
        h.Click("extractButton");
        QCOMPARE(h.dialogs.starts.back(), QString::fromStdString(out));
        std::filesystem::remove_all(out);
        h.boxes.shown.clear();
        h.Click("extractButton");
        QCOMPARE(h.dialogs.starts.back(), QString());
        QCOMPARE(h.form->KeptSettings().extractFolder, std::string());
        QVERIFY(h.boxes.shown.empty());
        QCOMPARE(h.Buttons(), QString("1111"));
    }

    void extractWithAMissingArchiveLeavesTheButtons() {
        Harness h;
        h.Edit()->setText(QString::fromStdString(h.Path("none.img")));
        h.Add({QString::fromStdString(h.File("a.dff", 5))});
        h.dialogs.folders.push_back(QString::fromStdString(h.temp.path()));
        h.Click("extractButton");
        QCOMPARE(h.boxes.shown.size(), size_t{1});
        QCOMPARE(h.boxes.shown[0].icon, MessageIcon::Error);
        QCOMPARE(h.Buttons(), QString("1111"));
    }

    void scenarios_data() {
        QTest::addColumn<QString>("script");
        QTest::newRow("rows dragged in from a closed contents window are replaced")
            << "make other.img; open gta3.img; choose car.dff bike.dff; drag; close;"
               "listed car.dff bike.dff; replace other.img; box Добавлено: 2;"
               "records other.img car.dff bike.dff; listed; dragged 1 gone; empty";
        QTest::newRow("a later drag leaves the earlier one's files in the list")
            << "make other.img; open gta3.img; choose car.dff; drag; choose ped.ifp; drag;"
               "dragged 1 kept; replace other.img; records other.img car.dff ped.ifp;"
               "dragged 1 gone; dragged 2 gone";
        QTest::newRow("a drag dropped elsewhere goes at the next; one the list lets go, at once")
            << "open gta3.img; choose car.dff; dragaway; dragged 1 kept; choose bike.dff; drag;"
               "dragged 1 gone; dragged 2 kept; select bike.dff; key Delete; listed;"
               "dragged 2 gone";
        QTest::newRow("Ctrl+C copies the names of the chosen rows")
            << "add a.dff b.txd c.col; select a.dff c.col; key Ctrl+C; clipboard a.dff c.col";
        QTest::newRow("the Delete key removes the chosen rows")
            << "add a.dff b.txd c.col; select b.txd; key Delete; listed a.dff c.col";
    }

    void scenarios() {
        QFETCH(QString, script);
        Harness h;
        Driver driver(h);
        driver.Run(script);
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
        auto batchRunning = [&] { return !h.Button("addButton")->isEnabled(); };
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
                rowsMidBatch = h.form->ImportList().RowCount();
                QWindowSystemInterface::handleKeyEvent<
                    QWindowSystemInterface::AsynchronousDelivery>(
                    h.form->windowHandle(), QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            }
        });
        probe.start();
        h.Click(replace ? "replaceButton" : "extractButton");
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
            if (!h.Button("addButton")->isEnabled() && h.Progress()->value() == 1) {
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
        h.Click("replaceButton");
        QVERIFY(!closedMidBatch);
        QVERIFY(!dropTakenMidBatch);
        QCOMPARE(h.boxes.shown.back().text, std::string("Завершено\n\nЗаменено: 0\nДобавлено: 3"));
        QVERIFY(!std::filesystem::exists(h.Path("zarnex.ini")));
        QTRY_VERIFY(!h.form->isVisible());
        const Bytes ini = ReadBytes(h.Path("zarnex.ini"));
        QCOMPARE(std::string(ini.begin(), ini.end()), img + "\r\n" + h.temp.path() + "/\r\n\r\n");
    }
};

QTEST_MAIN(WindowBatchTests)
#include "window_batch_tests.moc"
