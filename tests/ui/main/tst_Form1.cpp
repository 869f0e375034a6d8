#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "ui/main/Form1.h"
#include "forms/PictureButton.h"
#include "forms/StatusBar.h"
#include "forms/Twips.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

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

}  // namespace

class tst_Form1 : public QObject {
    Q_OBJECT
private slots:
    void captionsAndColumns() {
        TestApp t;
        Form1* f = load(t);
        QCOMPARE(f->windowTitle(), QStringLiteral("Tressik by Acme"));
        QCOMPARE(f->cmdWebsite[0]->text(), QStringLiteral("Visit www.acme.test"));
        const ListItems& items = f->lstPass->items();
        QCOMPARE(items.columnHeaderCount(), 3);
        QCOMPARE(items.columnHeaderText(1), QStringLiteral("Username"));
        QCOMPARE(items.columnHeaderText(2), QStringLiteral("Password"));
        QCOMPARE(items.columnHeaderText(3), QStringLiteral("Website/Location"));
        QCOMPARE(items.columnHeaderWidth(1), 2345);
        QCOMPARE(items.columnHeaderWidth(2), 2375);
        QCOMPARE(items.columnHeaderWidth(3), 4095);
        QCOMPARE(f->lstPass->columnWidth(2), Twips::toPixels(4095));
        QCOMPARE(f->StatusBar1->panelWidth(1), f->outerWidthTwips());
        QVERIFY(f->outerWidthTwips() > 9015);
        QCOMPARE(items.count(), qsizetype{0});  // filled only once the password is accepted
        QVERIFY(f->StatusBar1->panelText(1).isEmpty());
    }

    void emptyIdentity() {
        TestApp t;
        Form1* f = t.app->forms.load<Form1>();
        QCOMPARE(f->windowTitle(), QStringLiteral(" by "));
        QCOMPARE(f->cmdWebsite[0]->text(), QStringLiteral("Visit "));
    }

    void layoutInTwips() {
        TestApp t;
        Form1* f = load(t);
        QCOMPARE(f->clientWidthTwips(), 9015);
        QCOMPARE(f->clientHeightTwips(), 6555);
        QCOMPARE(f->client()->size(), QSize(601, 437));
        const struct {
            QWidget* w;
            QRect twips;
            const char* caption;
        } table[] = {
            {f->cmdAdd[0], {60, 60, 1155, 1035}, "Add"},
            {f->cmdEdit, {2460, 60, 1155, 1035}, "Edit"},
            {f->cmdDelete, {1260, 60, 1155, 1035}, "Delete"},
            {f->cmdWebsite[0], {4860, 60, 4095, 1035}, nullptr},
            {f->lstPass, {60, 1980, 8895, 4215}, nullptr},
            {f->cmdCopy[0], {60, 1140, 2355, 795}, "Copy Username"},
            {f->cmdGoto, {3660, 60, 1155, 1035}, "Go To"},
            {f->cmdCopy[1], {2460, 1140, 2355, 795}, "Copy Password"},
            {f->cmdCopy[2], {4860, 1140, 4095, 795}, "Copy Used At"},
            {f->StatusBar1, {0, 6240, 9015, 315}, nullptr},
        };
        for (const auto& row : table) {
            QCOMPARE(Twips::rect(row.w), row.twips);
            QCOMPARE(row.w->geometry(), QRect(Twips::toPixels(row.twips.x()), Twips::toPixels(row.twips.y()),
                                              Twips::toPixels(row.twips.width()), Twips::toPixels(row.twips.height())));
            if (row.caption) QCOMPARE(static_cast<QAbstractButton*>(row.w)->text(), QString::fromUtf8(row.caption));
        }
    }

    void tabOrder() {
        TestApp t;
        Form1* f = load(t);
        QWidget* expected[] = {f->cmdAdd[0], f->cmdEdit, f->cmdDelete, f->cmdWebsite[0], f->lstPass,
                               f->cmdCopy[0], f->cmdGoto, f->cmdCopy[1], f->cmdCopy[2]};
        // The next control that Tab reaches, skipping the inner parts of composite controls.
        auto next = [&](QWidget* w) {
            do w = w->nextInFocusChain();
            while (w->parentWidget() != f->client() || !(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        for (size_t i = 1; i < std::size(expected); ++i) QCOMPARE(next(expected[i - 1]), expected[i]);
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

    void setStatusReplacesTheText() {
        TestApp t;
        Form1* f = load(t);
        SetStatus(*t.app, "one");
        SetStatus(*t.app, "two");
        QCOMPARE(f->StatusBar1->panelText(1), QStringLiteral("two"));
    }

    void columnClickReportsTheHeaderIndex() {
        TestApp t;
        Form1* f = load(t);
        QList<int> clicked;
        QObject::connect(f->lstPass, &ListView::ColumnClick, [&](int i) { clicked << i; });
        emit f->lstPass->header()->sectionClicked(2);
        QCOMPARE(clicked, QList<int>{3});
    }
};

QTEST_MAIN(tst_Form1)
#include "tst_Form1.moc"
