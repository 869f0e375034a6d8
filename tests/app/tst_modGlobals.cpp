#include "app/modGlobals.h"
#include "support/Unlocked.h"

#include <QTest>

class tst_modGlobals : public QObject {
    Q_OBJECT
private slots:
    void missingVaultIsCreatedAsOneEmptyLine() {
        TestApp t;
        t.app->forms.load<Form1>();
        QCOMPARE(t.vaultBytes(), QByteArray("\r\n"));
        QVERIFY(t.app->forms.get<frmPass>()->isVisible());
        QVERIFY(t.app->forms.get<frmPass>()->txtPass2->isVisible());  // a new password, typed twice
    }

    void oddVaultsOpenInFirstUseMode_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("zero bytes") << QByteArray();
        QTest::newRow("empty first line") << QByteArray("\r\n\r\n");
        QTest::newRow("lone CR") << QByteArray("\r");
    }
    void oddVaultsOpenInFirstUseMode() {
        QFETCH(QByteArray, bytes);
        TestApp t;
        t.writeVault(bytes);
        unlock(t, "abcd");
        QCOMPARE(t.fakes.messageBox->shown.size(), 0);
        QCOMPARE(t.vaultBytes(), QByteArray::fromHex("e1e2e3e40d0a"));
        QCOMPARE(status(t), QStringLiteral("Password created successfully"));
    }

    void loadsInFileOrderWithTheCount() {
        Unlocked u({{"zed", "1", "a"}, {"amy", "2", ""}, {"kim", "3", "c"}});
        QCOMPARE(u.usernames(), (QStringList{"zed", "amy", "kim"}));
        QCOMPARE(u.items().subItem(2, 2), QString());
        QCOMPARE(u.items().subItem(3, 1), QStringLiteral("3"));
        QCOMPARE(u.status(), QStringLiteral("Loaded 3 entries"));
    }

    void shortLinesLoadWithEmptyFields() {
        TestApp t;
        t.writeVault(VaultCodec::ScrambleText("pw") + "\r\n" + VaultCodec::ScrambleText("only") + "\r\n" +
                     VaultCodec::ScrambleText("u|||p") + "\r\n");
        Form1* main = unlock(t, "pw");
        const ListItems& items = main->lstPass->items();
        QCOMPARE(items.count(), qsizetype{2});
        QCOMPARE(items.text(1), QStringLiteral("only"));
        QCOMPARE(items.subItem(1, 1), QString());
        QCOMPARE(items.subItem(2, 1), QStringLiteral("p"));
        // Saving writes them back complete, nothing lost.
        QVERIFY(SaveData(*t.app));
        QCOMPARE(t.vaultBytes(), vaultOf("pw", {{"only", "", ""}, {"u", "p", ""}}));
    }

    void saveWritesTheListInDisplayOrder() {
        const std::vector<Entry> entries = {{"b", "2", "y"}, {"a", "1", "x\u0160"}};
        Unlocked u(entries);
        const QByteArray original = u.vaultBytes();
        QVERIFY(SaveData(*u.app));
        QCOMPARE(u.vaultBytes(), original);  // byte for byte
        QCOMPARE(u.status(), QStringLiteral("Saved 08/12/2026 10:11:12"));
        u.items().setSorted(true);
        QVERIFY(SaveData(*u.app));
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {entries[1], entries[0]}));
        u.items().remove(1);
        u.items().remove(1);
        QVERIFY(SaveData(*u.app));
        QCOMPARE(u.vaultBytes(), QByteArray::fromHex("f0f70d0a0d0a"));
    }

    void hundredThousandEntries() {
        std::vector<Entry> many;
        for (int i = 0; i < 100000; ++i) many.push_back({QString::number(i), "p", "l"});
        Unlocked u(many);
        const QByteArray bytes = u.vaultBytes();
        QCOMPARE(u.status(), QStringLiteral("Loaded 100000 entries"));
        QCOMPARE(u.items().text(100000), QStringLiteral("99999"));
        QVERIFY(SaveData(*u.app));
        QCOMPARE(u.vaultBytes(), bytes);
    }
};

QTEST_MAIN(tst_modGlobals)
#include "tst_modGlobals.moc"
