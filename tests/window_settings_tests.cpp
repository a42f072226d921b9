// The settings file, the command line, Browse and the folders the Add dialog starts in.
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QListView>
#include <filesystem>
#include <fstream>

#include "mainwindow/identity.h"
#include "mainwindow/settings.h"
#include "platform/paths.h"
#include "tests/window_support.h"

using namespace zarnex;
using namespace zarnex::test;

class WindowSettingsTests : public QObject {
    Q_OBJECT

    TempDir home_;

  private slots:
    void initTestCase() {
        SetApplicationIdentity();
        IsolateConfiguration(home_);
    }

    void settingsRoundTripThroughARealClose() {
        test::TempDir shared;
        const std::string ini = shared / "zarnex.ini";
        ScriptedMessageBoxes boxes;
        ScriptedDialogs dialogs;
        ImportWindowServices services{&boxes, &dialogs, shared.path(), {}};
        const std::string folder = shared / "add";
        WriteFile(folder + "/x.dff", {1});
        {
            ImportWindow form(services);
            form.show();
            Find<QLineEdit>(form, "archivePath")->setText("/games/gta3/models/gta3.img");
            dialogs.files.push_back({QString::fromStdString(folder + "/x.dff")});
            QTest::mouseClick(Find<QPushButton>(form, "addButton"), Qt::LeftButton);
            form.KeptSettings().extractFolder = "/out/dir";
            form.close();
        }
        Bytes written = ReadBytes(ini);
        QCOMPARE(std::string(written.begin(), written.end()),
                 "/games/gta3/models/gta3.img\r\n" + folder + "/\r\n/out/dir\r\n");
        {
            ImportWindow form(services);
            form.show();
            QCOMPARE(Find<QLineEdit>(form, "archivePath")->text(),
                     QString("/games/gta3/models/gta3.img"));
            QCOMPARE(form.BrowseFolder(), std::string("/games/gta3/models"));
            QCOMPARE(form.KeptSettings().addFolder, folder);  // without the trailing "/"
            QCOMPARE(form.KeptSettings().extractFolder, std::string("/out/dir"));
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
            QCOMPARE(h.form->KeptSettings().addFolder, std::string("/d"));
            QCOMPARE(h.form->KeptSettings().extractFolder, std::string("/e"));
        }
        {
            Harness h("\"/cmd/x.img\"", false);
            WriteFile(h.Path("zarnex.ini"), {'/', 'g', '/', 'a', '.', 'i', 'm', 'g'});
            h.form->show();
            QCOMPARE(h.boxes.shown.size(), size_t{1});
            QCOMPARE(h.boxes.shown[0].text, std::string("List index out of bounds (1)"));
            QCOMPARE(h.boxes.shown[0].icon, MessageIcon::Error);
            QCOMPARE(h.form->BrowseFolder(), std::string("/g"));
            QCOMPARE(h.Edit()->text(),
                     QString());  // the rest, command line too, skipped
        }
        {
            Harness h({}, false);
            WriteFile(h.Path("zarnex.ini"), {});
            h.form->show();
            QCOMPARE(h.boxes.shown.at(0).text, std::string("List index out of bounds (0)"));
            QCOMPARE(h.form->BrowseFolder(), std::string());
        }
        {
            Harness h({}, false);
            WriteFile(h.Path("zarnex.ini"),
                      {'b', 'a', 'r', 'e', '.', 'i', 'm', 'g', '\n', '\n', '\n'});
            h.form->show();
            QCOMPARE(h.Edit()->text(), QString("bare.img"));
            QCOMPARE(h.form->BrowseFolder(), std::string());
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
        std::string bin = root / "bin";
#ifdef _WIN32
        // Windows knows an installed copy by where it lies.
        test::TempDir programFiles;
        if (layout == "installed") {
            bin = std::string(qgetenv("ProgramFiles")) + "/zarnex-test-" +
                  FileNamePart(programFiles.path());
        }
#endif
        std::filesystem::create_directories(FsPath(bin));
        const std::string config = root / "config";
        const QByteArray configHome = qgetenv(SettingsHomeVariable);
        qputenv(SettingsHomeVariable, QByteArray::fromStdString(config));
        const AtExit restore{[&] {
            std::filesystem::permissions(FsPath(bin), std::filesystem::perms(0755));
            qputenv(SettingsHomeVariable, configHome);
            if (!bin.starts_with(root.path())) {
                std::filesystem::remove_all(FsPath(bin));
            }
        }};
#ifndef _WIN32
        if (layout == "installed") {
            WriteFile(root / ("share/applications/" + std::string(AppId) + ".desktop"), {});
        }
#endif
        if (layout == "no-config") {
            WriteFile(config, {});  // a file where the folder would be made
        }
        if (layout != "portable" && layout != "installed") {
            std::filesystem::permissions(FsPath(bin), std::filesystem::perms(0555));
#ifdef _WIN32
            if (std::ofstream(FsPath(bin + "/probe"))) {
                QSKIP(
                    "this folder cannot be made read-only here (Windows keeps no such bit for "
                    "folders; Wine run by root writes anywhere)");
            }
#endif
        }

        ScriptedMessageBoxes boxes;
        ScriptedDialogs dialogs;
        const ImportWindowServices services{&boxes, &dialogs, bin, {}};
        {
            ImportWindow form(services);
            form.show();
            Find<QLineEdit>(form, "archivePath")->setText("/g/gta3.img");
            form.KeptSettings().extractFolder = "/out";
            form.close();
        }
        const std::string beside = bin + "/zarnex.ini";
        const std::string configured = config + "/" + SettingsFolderName + "/zarnex.ini";
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
            ImportWindow form(services);
            form.show();
            QCOMPARE(Find<QLineEdit>(form, "archivePath")->text(), QString("/g/gta3.img"));
            QCOMPARE(form.KeptSettings().extractFolder, std::string("/out"));
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
            h.Click("browseButton");
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
};

QTEST_MAIN(WindowSettingsTests)
#include "window_settings_tests.moc"
