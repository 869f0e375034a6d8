#include "platform/BrowserProtocol.h"

#include <QTest>

using namespace BrowserProtocol;

class tst_BrowserProtocol : public QObject {
    Q_OBJECT
private slots:
    void linesArriveWholeWhateverTheChunks() {
        LineReader r;
        QCOMPARE(r.feed("sho"), QList<QByteArray>{});
        QCOMPARE(r.feed("wn\nclo"), QList<QByteArray>{"shown"});
        QCOMPARE(r.feed("sed\r\n\nx"), (QList<QByteArray>{"closed", ""}));
    }

    void overlongLinesAreDroppedWhole() {
        LineReader r;
        const QByteArray junk(kMaxLine + 1, 'a');
        QCOMPARE(r.feed(junk), QList<QByteArray>{});
        QCOMPARE(r.feed(junk + "shown\nshown\n"), QList<QByteArray>{"shown"});  // the tail of the long line is no word
        QCOMPARE(r.feed(QByteArray(kMaxLine, 'b') + "\n"), QList<QByteArray>{QByteArray(kMaxLine, 'b')});
    }

    void identityRoundTrips() {
        const WebsiteIdentity given{"Tressik", "Acme, Inc.", "https://example.test/a b?c=--skin", true};
        const std::optional<WebsiteIdentity> back = identityFromArguments(identityArguments(given));
        QVERIFY(back);
        QCOMPARE(back->productName, given.productName);
        QCOMPARE(back->companyName, given.companyName);
        QCOMPARE(back->website, given.website);
        QCOMPARE(back->skin, true);
        const std::optional<WebsiteIdentity> empty = identityFromArguments(identityArguments({}));
        QVERIFY(empty);
        QVERIFY(empty->website.isEmpty());
        QCOMPARE(empty->skin, false);
    }

    void malformedArgumentsAreRefused_data() {
        QTest::addColumn<QStringList>("arguments");
        const QStringList full = identityArguments({"P", "C", "W", false});
        QTest::newRow("none") << QStringList();
        QTest::newRow("one missing") << full.mid(2);
        QTest::newRow("value missing") << full.mid(0, 7);
        QTest::newRow("twice") << full + QStringList{"--product", "Q"};
        QTest::newRow("unknown option") << full + QStringList{"--no-sandbox", "1"};
        QTest::newRow("skin not a switch") << QStringList(full.mid(0, 6)) + QStringList{"--skin", "yes"};
    }
    void malformedArgumentsAreRefused() {
        QFETCH(QStringList, arguments);
        QVERIFY(!identityFromArguments(arguments));
    }

    // Settings made for some other program never weaken the browser's web
    // engine (its sandbox, debugging, web security, what runs its processes);
    // the rest passes through untouched.
    void environmentKeepsTheSandbox_data() {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("ordinaryUser");
        const QStringList rest{"LANG=de_DE.UTF-8", "HTTPS_PROXY=http://proxy.test:3128", "QT_SCALE_FACTOR=2"};
        QTest::newRow("nothing to drop") << rest << rest;
        QTest::newRow("sandbox off") << rest + QStringList{"QTWEBENGINE_DISABLE_SANDBOX=1"} << rest;
        QTest::newRow("debugging port") << rest + QStringList{"QTWEBENGINE_REMOTE_DEBUGGING=9222"} << rest;
        QTest::newRow("flags")
            << QStringList{"QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox -no-sandbox "
                           "--remote-debugging-port=9222 --remote-debugging-pipe --ignore-gpu-blocklist"}
            << QStringList{"QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --ignore-gpu-blocklist"};
        QTest::newRow("flags, all dropped")
            << QStringList{"QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --remote-debugging-port=1"} << QStringList{};
        // The engine takes the quotes out, and reads a switch with one dash
        // or two; what is kept is written back so that it reads the same.
        QTest::newRow("flags however spelled")
            << QStringList{"QTWEBENGINE_CHROMIUM_FLAGS=\"--no-sandbox\" --no-\"sandbox\" --single-process --no-zygote "
                           "--disable-setuid-sandbox --disable-namespace-sandbox -disable-seccomp-filter-sandbox "
                           "--disable-gpu-sandbox --DISABLE-WEB-SECURITY --remote-debugging-pipe=x "
                           "--remote-debugging-io-pipes --renderer-cmd-prefix=\"gdb --args\" --gpu-launcher=/bin/x "
                           "--user-agent=\"Tressik Test\"  --disable-gpu"}
            << QStringList{"QTWEBENGINE_CHROMIUM_FLAGS=\"--user-agent=Tressik Test\" --disable-gpu"};
        QTest::newRow("look-alikes stay, as written")
            << QStringList{"QTWEBENGINE_CHROMIUM_FLAGS=--no-sandboxing --remote-debugging-address=::1 "
                           "--enable-sandbox-logging \"--user-agent=A  B\"",
                           "QTWEBENGINE_DISABLE_SANDBOX_X=1"}
            << QStringList{"QTWEBENGINE_CHROMIUM_FLAGS=--no-sandboxing --remote-debugging-address=::1 "
                           "--enable-sandbox-logging \"--user-agent=A  B\"",
                           "QTWEBENGINE_DISABLE_SANDBOX_X=1"};
    }
    void environmentKeepsTheSandbox() {
        QFETCH(QStringList, given);
        QFETCH(QStringList, ordinaryUser);
        QProcessEnvironment environment;
        for (const QString& entry : given) environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
        QStringList got = BrowserProtocol::browserEnvironment(environment, false).toStringList();
        got.sort();
        ordinaryUser.sort();
        QCOMPARE(got, ordinaryUser);
        // Root cannot run the engine sandboxed: there nothing is dropped.
        QCOMPARE(BrowserProtocol::browserEnvironment(environment, true), environment);
    }
};

QTEST_MAIN(tst_BrowserProtocol)
#include "tst_BrowserProtocol.moc"
