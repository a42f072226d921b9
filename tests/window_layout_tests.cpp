// The window and the About box as a user sees them, on light and dark themes.
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>

#include "mainwindow/aboutbox.h"
#include "mainwindow/identity.h"
#include "mainwindow/theme.h"
#include "tests/window_support.h"

using namespace zarnex;
using namespace zarnex::test;

class WindowLayoutTests : public QObject {
    Q_OBJECT

    TempDir home_;

  private slots:
    void initTestCase() {
        SetApplicationIdentity();
        IsolateConfiguration(home_);
    }

    // The window a user meets: fixed, every control where it can be seen and reached in its tab
    // order, the list ready for many files and for drops, Extract and Replace waiting for rows.
    void windowLooksAndBehavesAsATool() {
        Harness h;
        ImportWindow& f = *h.form;
        QCOMPARE(f.minimumSize(), f.maximumSize());
        QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!f.windowIcon().pixmap(32).isNull());  // the built-in icon, drawn
        // Each control lies inside its parent and clear of its siblings.
        for (QWidget* parent : {static_cast<QWidget*>(&f), Find<QWidget>(f, "archiveGroup")}) {
            const QList<QWidget*> children =
                parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            for (QWidget* a : children) {
                if (a->isWindow()) {
                    continue;
                }
                QVERIFY2(parent->rect().contains(a->geometry()), qPrintable(a->objectName()));
                for (QWidget* b : children) {
                    QVERIFY2(a == b || b->isWindow() || !a->geometry().intersects(b->geometry()),
                             qPrintable(a->objectName() + " over " + b->objectName()));
                }
            }
        }
        QCOMPARE(h.List()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(h.List()->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(f.acceptDrops());
        QCOMPARE(h.Buttons(), QString("0011"));

        // Tab order: Add, list, path, Browse, Replace, Delete, Contents, ?, Extract.
        QList<QWidget*> controls;
        for (const char* name :
             {"addButton", "importList", "archivePath", "browseButton", "replaceButton",
              "deleteButton", "contentsButton", "aboutButton", "extractButton"}) {
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

        auto* group = Find<QGroupBox>(*h.form, "archiveGroup");
        auto* browse = h.Button("browseButton");
        const QString title = group->title();
        const QString caption = browse->text();
        AboutBox about;
        auto* address = Find<QLineEdit>(about, "contact");
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

    // A small fixed tool window whose address can be selected and copied.
    void aboutBoxOffersItsAddress() {
        AboutBox box;
        QCOMPARE(box.minimumSize(), box.maximumSize());
        QVERIFY(box.windowFlags() & Qt::Tool);
        auto* edit1 = Find<QLineEdit>(box, "contact");
        QVERIFY(edit1->isReadOnly());
        QVERIFY(!edit1->hasFrame());
        edit1->selectAll();
        QVERIFY(edit1->selectedText().contains('@'));
    }

    // Last: the translation stays for the rest of the run. A Russian box has Russian buttons.
    void boxButtonsSpeakTheMessagesLanguage() {
        QVERIFY(UseQtWordsIn(Language::English));
        QMessageBox box(QMessageBox::Question, "Zarnex", "?", QMessageBox::Yes | QMessageBox::No);
        const QString english = box.button(QMessageBox::Yes)->text();
        QVERIFY(UseQtWordsIn(Language::Russian));
        QMessageBox russian(QMessageBox::Question, "Zarnex", "?",
                            QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(russian.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Да"));
        QVERIFY(english != russian.button(QMessageBox::Yes)->text());
    }
};

QTEST_MAIN(WindowLayoutTests)
#include "window_layout_tests.moc"
