#include "VaultEntries.h"
#include "text/CodePage.h"
#include "vault/VaultCodec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace VaultCodec;

namespace {
QByteArray hex(const char* h) { return QByteArray::fromHex(h); }
QByteArray scrambled(const QByteArray& plain) { return ScrambleText(plain); }

std::optional<QByteArray> savePacked(const QString& master, const std::vector<PackedEntry>& entries) {
    return serialiseVault(master, static_cast<qsizetype>(entries.size()),
                          [&](qsizetype n) { return &entries[static_cast<size_t>(n)]; });
}
}  // namespace

class tst_VaultCodec : public QObject {
    Q_OBJECT
private slots:
    void scrambleExamples() {
        QCOMPARE(ScrambleText("abc"), hex("e1e2e3"));
        QCOMPARE(ScrambleText("|||"), hex("fcfcfc"));
        QCOMPARE(ScrambleText(" "), hex("a0"));
        QCOMPARE(ScrambleText(hex("e9")), QByteArray("i"));
        QCOMPARE(ScrambleText(hex("80")), hex("00"));
        QCOMPARE(ScrambleText(hex("00")), hex("80"));
        QCOMPARE(ScrambleText(QByteArray()), QByteArray());
    }

    void scrambleIsItsOwnInverse() {
        QByteArray all;
        for (int i = 0; i < 256; ++i) all.append(static_cast<char>(i));
        QCOMPARE(ScrambleText(ScrambleText(all)), all);
        QCOMPARE(ScrambleText(all).count('\r'), 1);  // only code 141 turns into a CR
        QCOMPARE(ScrambleText(all).indexOf('\r'), 141);
    }

    void everyByteSurvivesTheCodePage() {
        QByteArray all;
        for (int i = 0; i < 256; ++i) all.append(static_cast<char>(i));
        const QString text = CodePage::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(text.at(0x80), QChar(0x20AC));  // euro sign
        QCOMPARE(text.at(0x8A), QChar(0x0160));
        QCOMPARE(CodePage::encode(text).value(), all);
        QVERIFY(!CodePage::encode(QStringLiteral("a\u4e2d")).has_value());
    }

    void fileForms() {
        // A brand-new vault: the scrambled password and CR LF, nothing else.
        QCOMPARE(newVaultBytes(QStringLiteral("abcd")).value(), hex("e1e2e3e40d0a"));
        // An empty list: password line, CR LF, CR LF.
        QCOMPARE(serialiseVault(QStringLiteral("abcd"), std::vector<Entry>{}).value(), hex("e1e2e3e40d0a0d0a"));
        const std::vector<Entry> two = {{"u1", "p1", "loc"}, {"u2", "p2", ""}};
        const QByteArray expected = scrambled("abcd") + "\r\n" + scrambled("u1|||p1|||loc") + "\r\n" +
                                    scrambled("u2|||p2|||") + "\r\n" + "\r\n";
        QCOMPARE(serialiseVault(QStringLiteral("abcd"), two).value(), expected);
        QCOMPARE(readEntries(expected), two);
        QCOMPARE(readMasterPassword(expected), QStringLiteral("abcd"));
    }

    void masterPasswordLine_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("password");
        QTest::newRow("zero bytes") << QByteArray() << QString();
        QTest::newRow("one empty line") << QByteArray("\r\n") << QString();
        QTest::newRow("empty line then entries") << QByteArray("\r\n" + scrambled("a|||b|||c") + "\r\n") << QString();
        QTest::newRow("no line end") << scrambled("secret") << QStringLiteral("secret");
        QTest::newRow("lone CR") << QByteArray(scrambled("pw") + "\r") << QStringLiteral("pw");
        QTest::newRow("LF inside") << QByteArray(scrambled("p\x8Aw") + "\r\n") << QStringLiteral("p\u0160w");
        // clang-format on
    }
    void masterPasswordLine() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, password);
        QCOMPARE(readMasterPassword(bytes), password);
    }

    void readingRules_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("usernames");
        const QByteArray pw = scrambled("pass") + "\r\n";
        const QByteArray a = scrambled("a|||1|||x");
        const QByteArray b = scrambled("b|||2|||y");
        QTest::newRow("CR LF") << QByteArray(pw + a + "\r\n" + b + "\r\n\r\n") << QStringList{"a", "b"};
        QTest::newRow("lone CR ends a line") << QByteArray(pw + a + "\r" + b) << QStringList{"a", "b"};
        QTest::newRow("no last line end") << QByteArray(pw + a + "\r\n" + b) << QStringList{"a", "b"};
        QTest::newRow("CR CR") << QByteArray(pw + a + "\r\r" + b + "\r\n") << QStringList{"a", "b"};
        QTest::newRow("skips empty and one-space lines")
            << QByteArray(pw + "\r\n \r\n" + a + "\r\n  \r\n") << QStringList{"a", QString::fromUtf8("\xc2\xa0\xc2\xa0")};
        QTest::newRow("password only") << pw << QStringList{};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("NUL bytes") << QByteArray(pw + QByteArray("\0\0", 2) + "\r\n") << QStringList{"\u20ac\u20ac"};
        // clang-format on
    }
    void readingRules() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, usernames);
        QStringList got;
        for (const Entry& e : readEntries(bytes)) got << e.username;
        QCOMPARE(got, usernames);
        QCOMPARE(hasEntryLines(bytes), !usernames.isEmpty());
    }

    void lineFeedStaysInsideItsLine() {
        // Code 138 scrambles to LF, which a reader keeps inside the line.
        const Entry e{"user", QStringLiteral("p\u0160ss"), "where"};
        QVERIFY(entryProblem(e).isEmpty());
        const QByteArray bytes = serialiseVault("master", {e}).value();
        QVERIFY(bytes.contains('\n' + QByteArray("\xF3\xF3")));
        QCOMPARE(readEntries(bytes), std::vector<Entry>{e});
    }

    void packedEntriesWriteBackEveryByte() {
        // Every byte a field can hold (all but the one that scrambles to a CR),
        // in each field, kept in memory as read and saved again.
        QByteArray any;
        for (int b = 0; b < 256; ++b)
            if (b != 0x8D) any.append(static_cast<char>(b));
        const QByteArray file = scrambled("pw") + "\r\n" + scrambled(any + "|||" + any + "|||" + any) + "\r\n" +
                                scrambled("u|||p|||") + "\r\n" + scrambled("only") + "\r\n\r\n";
        const std::vector<PackedEntry> packed = readPackedEntries(file);
        const std::vector<Entry> plain = readEntries(file);
        QCOMPARE(packed.size(), size_t{3});
        for (size_t i = 0; i < packed.size(); ++i) {
            QVERIFY(packed[i].isCodePage());
            QCOMPARE(packed[i].toEntry(), plain[i]);
        }
        QCOMPARE(packed[0].field(1), CodePage::decode(any));
        QCOMPARE(packed[2].toEntry(), (Entry{"only", "", ""}));
        // "only" gains its empty fields on saving, as the plain entries do.
        QCOMPARE(savePacked("pw", packed), serialiseVault("pw", plain));
        QCOMPARE(savePacked("pw", {packed[0], packed[1]}),
                 QByteArray(file.first(file.indexOf(scrambled("only"))) + "\r\n"));
    }

    void packedEntriesOutsideTheCodePage() {
        // The list can be handed any text; what the vault cannot hold is kept as
        // it is and refused on saving, never changed.
        const PackedEntry wide(QStringLiteral("\u65e5\u672c"), QStringLiteral("p\u20ac"), QString());
        QVERIFY(!wide.isCodePage());
        QCOMPARE(wide.toEntry(), (Entry{QStringLiteral("\u65e5\u672c"), QStringLiteral("p\u20ac"), QString()}));
        const PackedEntry copy = wide;
        QCOMPARE(copy.toEntry(), wide.toEntry());
        QVERIFY(!savePacked("pw", {wide}).has_value());

        const PackedEntry storable(QStringLiteral("\u0160u"), QString(), QStringLiteral("\u20ac|l"));
        QVERIFY(storable.isCodePage());
        QCOMPARE(storable.fieldSize(2), qsizetype{3});
        QCOMPARE(storable.field(0), QStringLiteral("\u0160u"));
        QCOMPARE(savePacked("pw", {storable, PackedEntry()}), serialiseVault("pw", {storable.toEntry(), Entry{}}));
    }

    void veryLongLines() {
        const Entry big{QString(2000000, 'u'), QString(10, 'p'), QString(3000000, 'l')};
        const QByteArray bytes = serialiseVault("pw", {big, {"a", "b", "c"}}).value();
        const std::vector<Entry> back = readEntries(bytes);
        QCOMPARE(back.size(), size_t{2});
        QCOMPARE(back[0], big);
        QCOMPARE(back[1].username, QStringLiteral("a"));
    }

    void pieces() {
        QCOMPARE(splitEntry(u"a|||b|||c|||d"), (Entry{"a", "b", "c"}));
        QCOMPARE(splitEntry(u"a|||b|||"), (Entry{"a", "b", ""}));
        QCOMPARE(splitEntry(u"only"), (Entry{"only", "", ""}));
        QCOMPARE(splitEntry(u"a|||b"), (Entry{"a", "b", ""}));
        QCOMPARE(splitEntry(u""), (Entry{"", "", ""}));
        QCOMPARE(joinEntry({"u", "p", ""}), QStringLiteral("u|||p|||"));
    }

    void storableMasterPasswords() {
        QVERIFY(masterPasswordProblem(QStringLiteral("plain")).isEmpty());
        QVERIFY(masterPasswordProblem(QStringLiteral("\u20ac\u0160\u00e9")).isEmpty());
        QVERIFY(masterPasswordProblem(QStringLiteral("|||")).isEmpty());
        QVERIFY(masterPasswordProblem(QStringLiteral("ab\u4e2dcd")).contains(QStringLiteral("U+4E2D")));
        QVERIFY(masterPasswordProblem(QStringLiteral("abc\u008d")).contains(QStringLiteral("U+008D")));
        QVERIFY(!masterPasswordProblem(QString::fromUcs4(U"ab\U0001F600")).isEmpty());
    }

    void storableEntries_data() {
        // clang-format off
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("field");  // empty when it can be stored
        QTest::newRow("plain") << "u" << "p" << "l" << "";
        QTest::newRow("separator in a field") << "u" << "a|||b" << "l" << "password";
        QTest::newRow("username ends with a bar") << "u|" << "p" << "l" << "username";
        QTest::newRow("password of two bars") << "u" << "||" << "l" << "password";
        QTest::newRow("password starts with a bar") << "u" << "|p" << "l" << "";
        QTest::newRow("location starts with a bar") << "u" << "p" << "|l" << "";
        QTest::newRow("code 141") << "u" << "p" << "l\u008d" << "location";
        QTest::newRow("outside the code page") << "\u0416" << "p" << "l" << "username";
        // clang-format on
    }
    void storableEntries() {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, location);
        QFETCH(QString, field);
        const QString problem = entryProblem({username, password, location});
        if (field.isEmpty()) {
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        } else {
            QVERIFY(problem.contains(field));
        }
    }

    void whatIsAcceptedComesBackUnchanged() {
        // Fields built mostly from bars and spaces: whenever an entry is accepted
        // it must survive a save and a load exactly.
        QRandomGenerator rng(1234);
        const QString alphabet = QStringLiteral("|| |a\u0160\u20ac");
        int accepted = 0;
        for (int round = 0; round < 4000; ++round) {
            auto field = [&] {
                QString s;
                const int n = static_cast<int>(rng.bounded(6));
                for (int i = 0; i < n; ++i) s += alphabet.at(static_cast<int>(rng.bounded(alphabet.size())));
                return s;
            };
            const Entry e{field(), field(), field()};
            if (!entryProblem(e).isEmpty()) continue;
            ++accepted;
            const QByteArray bytes = serialiseVault("pw", {e}).value();
            const std::vector<Entry> back = readEntries(bytes);
            QCOMPARE(back.size(), size_t{1});
            QCOMPARE(back.front(), e);
            QCOMPARE(savePacked("pw", {PackedEntry(e.username, e.password, e.location)}), bytes);
        }
        QVERIFY(accepted > 100);
    }
};

QTEST_APPLESS_MAIN(tst_VaultCodec)
#include "tst_VaultCodec.moc"
