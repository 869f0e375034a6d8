#include "forms/Notice.h"
#include "forms/PictureButton.h"
#include "forms/StatusBar.h"
#include "forms/Twips.h"
#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "support/Layout.h"
#include "support/TestApp.h"
#include "support/Unlocked.h"
#include "ui/main/Form1.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <functional>

namespace {

Form1* load(TestApp& t) {
    t.app->g.strProgramName = "Tressik";
    t.app->g.strCompany = "Acme";
    t.app->g.strWebsite = "www.acme.test";
    return t.app->forms.load<Form1>();
}

QStringList captions(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << a->text();
    return out;
}

// Runs a function each time the widget is shown.
class ShowCounter : public QObject {
public:
    ShowCounter(QWidget* w, std::function<void()> shown) : shown_(std::move(shown)) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Show) shown_();
        return false;
    }

private:
    std::function<void()> shown_;
};

}  // namespace

class tst_Form1 : public QObject {
    Q_OBJECT
private slots:
    void identityInTheCaptions_data() {
        QTest::addColumn<bool>("known");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("website");
        QTest::newRow("known") << true << "Tressik by Acme"
                               << "Visit www.acme.test";
        QTest::newRow("empty") << false << " by "
                               << "Visit ";
    }
    void identityInTheCaptions() {
        QFETCH(bool, known);
        QFETCH(QString, title);
        QFETCH(QString, website);
        TestApp t;
        Form1* f = known ? load(t) : t.app->forms.load<Form1>();
        QCOMPARE(f->windowTitle(), title);
        QCOMPARE(f->cmdWebsite[0]->text(), website);
    }

    // Two rows of buttons, each left to right, then the list with all three
    // columns in view, then the status line along the bottom.
    void layout() {
        TestApp t;
        Form1* f = load(t);
        QVERIFY(inARow({f->cmdAdd[0], f->cmdDelete, f->cmdEdit, f->cmdGoto, f->cmdWebsite[0]}));
        QVERIFY(inARow({f->cmdCopy[0], f->cmdCopy[1], f->cmdCopy[2]}));
        const QStringList buttons = {f->cmdAdd[0]->text(), f->cmdDelete->text(),  f->cmdEdit->text(),
                                     f->cmdGoto->text(),   f->cmdCopy[0]->text(), f->cmdCopy[1]->text(),
                                     f->cmdCopy[2]->text()};
        QCOMPARE(buttons,
                 (QStringList{"Add", "Delete", "Edit", "Go To", "Copy Username", "Copy Password", "Copy Used At"}));
        QVERIFY(below(f->cmdCopy[0], f->cmdAdd[0]));
        QVERIFY(below(f->lstPass, f->cmdCopy[0]));
        QVERIFY(below(f->StatusBar1, f->lstPass));
        // A screen reader names the list and says what its columns hold.
        QCOMPARE(spokenName(f->lstPass), QStringLiteral("Entries"));
        const QString said = QAccessible::queryAccessibleInterface(f->lstPass)->text(QAccessible::Description);
        for (const char* column : {"Username", "Password", "Website/Location"}) QVERIFY(said.contains(column));
        const QSize client = f->client()->size();
        QCOMPARE(f->StatusBar1->geometry().bottomRight(), QPoint(client.width() - 1, client.height() - 1));
        QCOMPARE(f->StatusBar1->x(), 0);
        QVERIFY(Twips::toPixels(f->StatusBar1->panelWidth(1)) >= f->StatusBar1->width());
        for (QWidget* c : f->client()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(inside(c), c->objectName().toLatin1());

        const ListItems& items = f->lstPass->items();
        QCOMPARE(items.columnHeaderCount(), 3);
        QCOMPARE(items.columnHeaderText(1), QStringLiteral("Username"));
        QCOMPARE(items.columnHeaderText(2), QStringLiteral("Password"));
        QCOMPARE(items.columnHeaderText(3), QStringLiteral("Website/Location"));
        QHeaderView* header = f->lstPass->header();
        QVERIFY(header->sectionSize(0) > 0 && header->sectionSize(1) > 0 && header->sectionSize(2) > 0);
        QVERIFY(header->length() <= f->lstPass->viewport()->width());
        QCOMPARE(items.count(), qsizetype{0});  // filled only once the password is accepted
        QVERIFY(f->StatusBar1->panelText(1).isEmpty());
    }

    void tabOrder() {
        TestApp t;
        Form1* f = load(t);
        QWidget* expected[] = {f->cmdAdd[0],  f->cmdEdit, f->cmdDelete,  f->cmdWebsite[0], f->lstPass,
                               f->cmdCopy[0], f->cmdGoto, f->cmdCopy[1], f->cmdCopy[2]};
        // The next control that Tab reaches, skipping the inner parts of composite controls.
        auto next = [&](QWidget* w) {
            do w = w->nextInFocusChain();
            while (w->parentWidget() != f->client() || !(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        for (size_t i = 1; i < std::size(expected); ++i) QCOMPARE(next(expected[i - 1]), expected[i]);
    }

    // Screen readers hear the status line's new texts: only the last of those
    // set in one go, and only once the window is the active one.
    void statusLineIsSpoken() {
        Unlocked u({{"a", "1", ""}});
        auto* notice = u.main->StatusBar1->findChild<Notice*>();
        QVERIFY(notice);
        QStringList said;
        ShowCounter shows(notice, [&] { said << notice->said(); });
        u.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(u.main));
        // Set while the window was still hidden, it is told as the window comes.
        QTRY_COMPARE(said, QStringList{"Loaded 1 entries"});
        u.main->SetStatus("Saved 1.1.2030 12:00:00");
        u.main->SetStatus("Added new entry.  Data saved.");
        QTRY_COMPARE(said.size(), 2);
        QCOMPARE(said.last(), QStringLiteral("Added new entry.  Data saved."));
        u.main->SetStatus("Added new entry.  Data saved.");
        QTRY_COMPARE(said.size(), 3);  // the same text again is news again

        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        u.main->SetStatus("Copied Username a");
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(said.size(), 3);
        QCOMPARE(u.main->StatusBar1->panelText(1), QStringLiteral("Copied Username a"));
        u.main->activateWindow();
        QTRY_COMPARE(said.size(), 4);
        QCOMPARE(said.last(), QStringLiteral("Copied Username a"));
    }

    void menus() {
        TestApp t;
        Form1* f = load(t);
        QStringList titles;
        for (QAction* a : f->menuBar->actions()) titles << a->text();
        QCOMPARE(titles, (QStringList{"File", "Data", "Copy", "Help", "About"}));
        QCOMPARE(captions(f->mnuFile), QStringList{"Exit"});
        QCOMPARE(captions(f->mnuData), (QStringList{"Add Username/Password", "Delete Selected Item",
                                                    "Edit Selected Item", "Goto \"Used At\" Location"}));
        QCOMPARE(captions(f->mnuCopy),
                 (QStringList{"Selected Username", "Selected Password", "Selected Used At Location"}));
        QCOMPARE(captions(f->mnuHelp), QStringList{"View Help"});
        QCOMPARE(captions(f->mnuAbout), QStringList{"About this software"});
        for (QMenu* m : {f->mnuFile, f->mnuData, f->mnuCopy, f->mnuHelp, f->mnuAbout})
            for (QAction* a : m->actions()) QVERIFY(a->shortcut().isEmpty());
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_Form1.moc"
