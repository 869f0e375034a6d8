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
};

QTEST_MAIN(tst_BrowserProtocol)
#include "tst_BrowserProtocol.moc"
