#include "util/modOnTop.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

class tst_modOnTop : public QObject {
    Q_OBJECT
private slots:
    void topmostAndBackWithoutMoving() {
        QWidget w;
        w.setGeometry(100, 120, 300, 200);
        SetOnTop(&w, true);  // before it has a native window
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect before = w.geometry();
        SetOnTop(&w, false);
        QVERIFY(!(w.windowHandle()->flags() & Qt::WindowStaysOnTopHint));
        QVERIFY(!IsOnTop(&w));
        QVERIFY(w.isVisible());
        SetOnTop(&w, true);
        QVERIFY(w.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
        QVERIFY(IsOnTop(&w));
        QVERIFY(w.isVisible());
        QCOMPARE(w.geometry(), before);
    }
};

QTEST_MAIN(tst_modOnTop)
#include "tst_modOnTop.moc"
