// The import list: rows from the Add dialog and drops, the question for other files, Delete and
// sorting.
#include <QHeaderView>
#include <filesystem>

#include "mainwindow/identity.h"
#include "mainwindow/importlist.h"
#include "tests/window_support.h"

using namespace zarnex;
using namespace zarnex::test;

namespace {

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

class WindowListTests : public QObject {
    Q_OBJECT

    TempDir home_;

  private slots:
    void initTestCase() {
        SetApplicationIdentity();
        IsolateConfiguration(home_);
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
        QCOMPARE(h.form->ImportList().RowCount(), 6);
        for (int i = 0; i < 6; ++i) {
            ImportRow row = h.form->ImportList().Row(i);
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
        QCOMPARE(h.form->ImportList().RowCount(), 0);
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
        QCOMPARE(h.form->ImportList().Row(0).typeText, std::string());
        QCOMPARE(h.form->ImportList().Row(1).typeText, std::string());
        QCOMPARE(h.form->ImportList().Row(2).typeText, std::string("BAK"));
        QCOMPARE(h.form->ImportList().Row(3).typeText, std::string());
        QCOMPARE(h.form->ImportList().Row(4).typeText, std::string("DFF"));
        QCOMPARE(h.form->ImportList().Row(4).folderText, h.Path("models/"));
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
        QCOMPARE(h.form->ImportList().RowCount(), 4);
        QCOMPARE(h.form->ImportList().Row(0).folderText + h.form->ImportList().Row(0).caption,
                 h.form->ImportList().Row(1).folderText + h.form->ImportList().Row(1).caption);
        QCOMPARE(h.form->ImportList().Row(2).folderText + h.form->ImportList().Row(2).caption,
                 deep);
        QCOMPARE(h.form->ImportList().Row(2).sizeText, std::string("3 kb"));
        QCOMPARE(h.form->ImportList().Row(3).caption,
                 std::string("folder.txd"));  // folders go in like files
        QCOMPARE(h.Buttons(), QString("1111"));
    }

    void filesOfTwoGigabytesShowTheirTrueSize() {
        Harness h;
        const std::string big = h.File("big.dff", 0);
        std::filesystem::resize_file(big, (uint64_t{1} << 31) + 5);
        const std::string small = h.File("small.dff", 100);
        h.Add({QString::fromStdString(big), QString::fromStdString(small)});
        QCOMPARE(h.form->ImportList().Row(0).sizeText, std::string("2097153 kb"));
        QCOMPARE(h.form->ImportList().Row(0).byteCount, (int64_t{1} << 31) + 5);
        h.form->ImportList().SortByColumn(SizeColumn);
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
                h.Click("deleteButton");
            }
        };
        h.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
        remove();  // empty list: disables again, no harm
        QCOMPARE(h.Buttons(), QString("0011"));
        h.dialogs.files.clear();
        h.Click("addButton");  // cancelled dialog
        QCOMPARE(h.Buttons(), QString("0011"));

        h.Add({QString::fromStdString(h.File("a.dff", 1)),
               QString::fromStdString(h.File("b.dff", 2)),
               QString::fromStdString(h.File("c.dff", 3))});
        remove();  // nothing selected
        QCOMPARE(h.form->ImportList().RowCount(), 3);
        h.List()->topLevelItem(0)->setSelected(true);
        h.List()->topLevelItem(2)->setSelected(true);
        remove();
        QCOMPARE(h.Captions(), QStringList{"b.dff"});
        QCOMPARE(h.Buttons(), QString("1111"));
        h.List()->topLevelItem(0)->setSelected(true);
        remove();
        QCOMPARE(h.form->ImportList().RowCount(), 0);
        QCOMPARE(h.Buttons(), QString("0011"));
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
                    QCOMPARE(CompareImportRows(a, others[k], s, p), expected);
                    QCOMPARE(CompareImportRows(others[k], a, s, p), -expected);
                }
            }
        }
        // First key wins over second.
        const ImportRow big = Row("a.dff", 900, "TXD", "/z/");
        QCOMPARE(CompareImportRows(big, Row("b.dff", 100, "DFF", "/a/"), NameColumn, SizeColumn),
                 -1);
        QCOMPARE(CompareImportRows(big, Row("b.dff", 100, "DFF", "/a/"), SizeColumn, NameColumn),
                 1);
    }

    void sortByteOrderCases() {
        QCOMPARE(CompareImportRows(Row("apple.dff", 1, "", ""), Row("B.txd", 1, "", ""), 0, 0), -1);
        QCOMPARE(CompareImportRows(Row("apple.dff", 1, "", ""), Row("Apple.dff", 1, "", ""), 0, 0),
                 0);
        QCOMPARE(CompareImportRows(Row("zed", 1, "", ""), Row("дом", 1, "", ""), 0, 0), -1);
        // Cyrillic is not folded, and sorts by its code-page bytes: Ё (A8) < А (C0) < ё (B8)?
        QCOMPARE(CompareImportRows(Row("ёж", 1, "", ""), Row("Ёж", 1, "", ""), 0, 0), 1);
        QCOMPARE(CompareImportRows(Row("ёж", 1, "", ""), Row("я", 1, "", ""), 0, 0), -1);
        QCOMPARE(CompareImportRows(Row("x", 1, "", "C:/"), Row("x", 1, "", "c:/"), 3, 3), -1);
        QCOMPARE(CompareImportRows(Row("x", 1, "", ""), Row("x", 1, "DFF", ""), 2, 2), -1);
        QCOMPARE(CompareImportRows(Row("car", 1, "", ""), Row("car2", 1, "", ""), 0, 0), -1);
        QCOMPARE(CompareImportRows(Row("car", 7, "A", "/p/"), Row("car", 7, "A", "/p/"), 1, 2), 0);
    }

    void headerClicksSortTheRowsThatTheBatchesWalk() {
        Harness h;
        h.Add({QString::fromStdString(h.File("b/one.txd", 2048)),
               QString::fromStdString(h.File("a/two.dff", 900)),
               QString::fromStdString(h.File("c/three.dff", 1500))});
        h.List()->header()->sectionClicked(TypeColumn);
        QCOMPARE(h.Captions(),
                 (QStringList{"three.dff", "two.dff", "one.txd"}));  // type, then name
        QCOMPARE(h.form->ImportList().SortColumn(), 2);
        QCOMPARE(h.form->ImportList().PreviousSortColumn(), 0);
        h.List()->header()->sectionClicked(SizeColumn);
        QCOMPARE(h.Captions(), (QStringList{"two.dff", "three.dff", "one.txd"}));
        QCOMPARE(h.form->ImportList().PreviousSortColumn(), 2);
        h.List()->header()->sectionClicked(PathColumn);
        QCOMPARE(h.Captions(), (QStringList{"two.dff", "one.txd", "three.dff"}));

        Harness empty;
        empty.form->ImportList().SortByColumn(3);
        empty.form->ImportList().SortByColumn(1);
        QCOMPARE(empty.form->ImportList().SortColumn(), 1);
        QCOMPARE(empty.form->ImportList().PreviousSortColumn(), 3);
        QCOMPARE(empty.form->ImportList().RowCount(), 0);
    }
};

QTEST_MAIN(WindowListTests)
#include "window_list_tests.moc"
