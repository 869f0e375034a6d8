// The program's side of the browser window, against stand-in browser
// processes that record what they are told, fail, crash, hang or linger.
#include "platform/WebsiteProcess.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QStringList lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
    return out;
}

bool alive(qint64 pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0; }

using namespace std::chrono_literals;

struct Host {
    explicit Host(const char* mode, QString program = QStringLiteral(TRESSIK_FAKE_BROWSER))
        : host(std::move(program), 2s, 1s) {
        log = dir.filePath("words");
        qputenv("FAKE_BROWSER_LOG", log.toLocal8Bit());
        qputenv("FAKE_BROWSER_MODE", mode);
        host.onClosed = [this] { ++closed; };
        host.onFailed = [this](const QString& text) { failures << text; };
    }
    QStringList words() const { return lines(log); }
    QStringList arguments() const { return lines(log + ".args"); }
    // The stand-ins started so far, in turn.
    QList<qint64> pids() const {
        QList<qint64> out;
        for (const QString& line : lines(log + ".pids")) out << line.toLongLong();
        return out;
    }

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
        QTRY_VERIFY_WITH_TIMEOUT(t.host.isShown(), 10000);
        QCOMPARE(t.arguments(), (QStringList{"--product", "Tressik", "--company", "Acme", "--website",
                                             "https://example.test/", "--skin", "0"}));
        t.host.show(kIdentity);
        t.host.mainClosed();
        QTRY_COMPARE_WITH_TIMEOUT(t.words(), (QStringList{"show", "main-closed"}), 10000);
        QCOMPARE(t.pids().size(), 1);  // one process for the one window
        const qint64 pid = t.pids().first();
        QCOMPARE(t.closed, 0);
        QVERIFY(t.failures.isEmpty());
        // Asked to close, it goes; asked for, so not news.
        t.host.close();
        QVERIFY(!t.host.isShown());
        QTRY_COMPARE_WITH_TIMEOUT(t.words(), (QStringList{"show", "main-closed", "close"}), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!alive(pid), 10000);
        QCOMPARE(t.closed, 0);
        QVERIFY(t.failures.isEmpty());
    }

    // How a window can end without being asked to, and what the program hears.
    void howItEnds_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("failures");
        const QString fake = QStringLiteral(TRESSIK_FAKE_BROWSER);
        QTest::newRow("the user closes it") << "userclose" << fake << QStringList{};
        QTest::newRow("missing") << ""
                                 << "/nonexistent/tressik-browser"
                                 << QStringList{
                                        "The web site window could not be opened: tressik-browser could not "
                                        "be started."};
        QTest::newRow("gives up") << "fail" << fake << QStringList{"The web site window could not be opened."};
        QTest::newRow("crashes") << "crash" << fake << QStringList{"The web site window closed unexpectedly."};
        QTest::newRow("never answers") << "silent" << fake
                                       << QStringList{
                                              "The web site window did not open within 2 seconds, so it was stopped."};
        QTest::newRow("says closed, stays") << "linger" << fake << QStringList{};
    }
    void howItEnds() {
        QFETCH(QString, mode);
        QFETCH(QString, program);
        QFETCH(QStringList, failures);
        Host t(qPrintable(mode), program);
        t.host.show(kIdentity);
        QTRY_COMPARE_WITH_TIMEOUT(t.closed, 1, 10000);
        const qint64 pid = t.pids().value(0);
        QCOMPARE(t.failures, failures);
        QVERIFY(!t.host.isShown());
        // Whatever it did, its process is gone soon after, killed if need be.
        QTRY_VERIFY_WITH_TIMEOUT(!alive(pid), 10000);
        QCoreApplication::processEvents();
        QCOMPARE(t.closed, 1);
        // Opened again, it is a new process.
        qputenv("FAKE_BROWSER_MODE", "");
        if (program == QLatin1String(TRESSIK_FAKE_BROWSER)) {
            t.host.show(kIdentity);
            QTRY_VERIFY_WITH_TIMEOUT(t.host.isShown(), 10000);
            QCOMPARE(t.pids().size(), 2);
        }
    }

    // Nothing waits for a browser that does not go: asked to close, it is let
    // go at once and its process killed after the grace time; at the
    // program's end it is killed and left to go, never waited for (the
    // QProcess that would wait as it is destroyed is not destroyed running).
    void nothingWaitsForTheBrowser_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("programEnds");
        QTest::newRow("closed, never answers") << "silent" << false;
        QTest::newRow("closed, says closed and stays") << "linger" << false;
        QTest::newRow("the program ends, never answers") << "silent" << true;
        QTest::newRow("the program ends, shown") << "" << true;
    }
    void nothingWaitsForTheBrowser() {
        QFETCH(QString, mode);
        QFETCH(bool, programEnds);
        qint64 pid = 0;
        {
            Host t(qPrintable(mode));
            t.host.show(kIdentity);
            QTRY_COMPARE_WITH_TIMEOUT(t.pids().size(), 1, 10000);
            pid = t.pids().first();
            if (mode.isEmpty()) QTRY_VERIFY_WITH_TIMEOUT(t.host.isShown(), 10000);
            if (!programEnds) {
                t.host.close();
                // Still alive on return: close did not wait for it to go.
                QVERIFY(alive(pid));
                QTRY_VERIFY_WITH_TIMEOUT(!alive(pid), 10000);
                QVERIFY(t.failures.isEmpty());
                return;
            }
            QTest::failOnWarning(QRegularExpression("Destroyed while process"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!alive(pid), 10000);
    }

    void strayOutputIsIgnored() {
        Host t("noisy");
        t.host.show(kIdentity);
        t.host.show(kIdentity);
        QTRY_COMPARE_WITH_TIMEOUT(t.words(), QStringList{"show"}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(t.host.isShown(), 10000);
        QCOMPARE(t.closed, 0);
        QVERIFY(t.failures.isEmpty());
    }
};

QTEST_MAIN(tst_WebsiteProcess)
#include "tst_WebsiteProcess.moc"
