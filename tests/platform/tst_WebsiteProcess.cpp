// The program's side of the browser window, against a stand-in browser
// process that records what it is told.
#include "platform/WebsiteProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
    return out;
}

struct Host {
    explicit Host(const char* mode, QString program = QStringLiteral(TRESSIK_FAKE_BROWSER)) : host(std::move(program)) {
        log = dir.filePath("words");
        qputenv("FAKE_BROWSER_LOG", log.toLocal8Bit());
        qputenv("FAKE_BROWSER_MODE", mode);
        host.onClosed = [this] { ++closed; };
        host.onFailed = [this](const QString& text) { failures << text; };
    }
    QStringList words() const { return lines(log); }
    QStringList arguments() const { return lines(log + ".args"); }

    QTemporaryDir dir;
    QString log;
    WebsiteProcess host;
    int closed = 0;
    QStringList failures;
};

const WebsiteIdentity kIdentity{"Tressik", "Acme", "https://example.test/", false};

}  // namespace

class tst_WebsiteProcess : public QObject {
    Q_OBJECT
private slots:
    void startsOnceAndThenOnlyAsksToShow() {
        Host t("");
        t.host.show(kIdentity);
        QVERIFY(t.host.isShown());
        QTRY_COMPARE_WITH_TIMEOUT(t.arguments(), (QStringList{"--product", "Tressik", "--company", "Acme", "--website",
                                                              "https://example.test/", "--skin", "0"}),
                                  10000);
        const qint64 pid = t.host.processId();
        QVERIFY(pid > 0);
        t.host.show(kIdentity);
        t.host.mainClosed();
        QTRY_COMPARE_WITH_TIMEOUT(t.words(), (QStringList{"show", "main-closed"}), 10000);
        QCOMPARE(t.host.processId(), pid);  // one process for the one window
        QCOMPARE(t.closed, 0);
        QVERIFY(t.failures.isEmpty());
    }

    void closeAsksTheWindowToGoAndWaitsForIt() {
        Host t("");
        t.host.show(kIdentity);
        QTRY_VERIFY_WITH_TIMEOUT(!t.arguments().isEmpty(), 10000);
        t.host.close();
        QVERIFY(!t.host.isShown());
        QCOMPARE(t.host.processId(), 0);
        QCOMPARE(t.words(), QStringList{"close"});
        QCOMPARE(t.closed, 0);  // asked for, so not news
        QVERIFY(t.failures.isEmpty());
    }

    void theUserClosingItIsReportedOnce() {
        Host t("userclose");
        t.host.show(kIdentity);
        QTRY_COMPARE_WITH_TIMEOUT(t.closed, 1, 10000);
        QVERIFY(!t.host.isShown());
        QTRY_COMPARE_WITH_TIMEOUT(t.host.processId(), 0, 10000);
        QCoreApplication::processEvents();
        QCOMPARE(t.closed, 1);
        QVERIFY(t.failures.isEmpty());
        // Opened again, it is a new process.
        qputenv("FAKE_BROWSER_MODE", "");
        t.host.show(kIdentity);
        QVERIFY(t.host.isShown());
        QTRY_VERIFY_WITH_TIMEOUT(t.host.processId() > 0, 10000);
    }

    void aMissingBrowserIsReported() {
        Host t("", QStringLiteral("/nonexistent/tressik-browser"));
        t.host.show(kIdentity);
        QTRY_COMPARE_WITH_TIMEOUT(t.failures.size(), 1, 10000);
        QCOMPARE(t.failures[0],
                 QStringLiteral("The web site window could not be opened: tressik-browser could not be started."));
        QCOMPARE(t.closed, 1);
        QVERIFY(!t.host.isShown());
    }

    void aBrowserThatGivesUpIsReported() {
        Host t("fail");
        t.host.show(kIdentity);
        QTRY_COMPARE_WITH_TIMEOUT(t.failures, QStringList{"The web site window could not be opened."}, 10000);
        QCOMPARE(t.closed, 1);
        QVERIFY(!t.host.isShown());
    }

    void aCrashIsReported() {
        Host t("crash");
        t.host.show(kIdentity);
        QTRY_COMPARE_WITH_TIMEOUT(t.failures, QStringList{"The web site window closed unexpectedly."}, 10000);
        QCOMPARE(t.closed, 1);
        QVERIFY(!t.host.isShown());
    }

    void strayOutputIsIgnored() {
        Host t("noisy");
        t.host.show(kIdentity);
        t.host.show(kIdentity);
        QTRY_COMPARE_WITH_TIMEOUT(t.words(), QStringList{"show"}, 10000);
        QVERIFY(t.host.isShown());
        QCOMPARE(t.closed, 0);
        QVERIFY(t.failures.isEmpty());
    }
};

QTEST_MAIN(tst_WebsiteProcess)
#include "tst_WebsiteProcess.moc"
