#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "support/TinyDisk.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"
#include "forms/StatusBar.h"
#include "app/modGlobals.h"

#include <QFile>
#include <QLineEdit>
#include <QTest>

namespace {

// Opens the vault and gives the password; returns the main window.
Form1* unlock(TestApp& t, const QString& password) {
    Form1* main = t.app->forms.load<Form1>();
    frmPass* pass = t.app->forms.get<frmPass>();
    if (!pass) return main;
    pass->txtPass->setText(password);
    pass->txtPass2->setText(password);
    pass->cmdOK_Click();
    return main;
}

QString status(Form1* main) { return main->StatusBar1->panelText(1); }

}  // namespace

class tst_modGlobals : public QObject {
    Q_OBJECT
private slots:
    // Every tmpfs went with its test, however the test ended.
    void cleanupTestCase() { QCOMPARE(TinyDisk::stillMounted(), QStringList{}); }

    void missingVaultIsCreatedAsOneEmptyLine() {
        TestApp t;
        t.app->forms.load<Form1>();
        QCOMPARE(t.vaultBytes(), QByteArray("\r\n"));
        QVERIFY(t.app->g.blnNewPassword);
        QVERIFY(t.app->forms.get<frmPass>()->isVisible());
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
        Form1* main = unlock(t, "abcd");
        QCOMPARE(t.fakes.messageBox->shown.size(), 0);
        QCOMPARE(t.vaultBytes(), QByteArray::fromHex("e1e2e3e40d0a"));
        QCOMPARE(status(main), QStringLiteral("Password created successfully"));
    }

    void entriesWithoutAPasswordAreKeptAside() {
        TestApp t;
        const QByteArray odd = "\r\n" + VaultCodec::ScrambleText("u|||p|||l") + "\r\n";
        t.writeVault(odd);
        unlock(t, "abcd");
        QFile backup(t.vaultPath() + ".bak");
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), odd);
        QCOMPARE(t.vaultBytes(), QByteArray::fromHex("e1e2e3e40d0a"));
        QCOMPARE(t.fakes.messageBox->shown.size(), 1);
        QVERIFY(t.fakes.messageBox->shown[0].text.contains("data.enc.bak"));
    }

    void loadsInFileOrderWithTheCount() {
        TestApp t;
        t.writeVault(vaultOf("pw", {{"zed", "1", "a"}, {"amy", "2", ""}, {"kim", "3", "c"}}));
        Form1* main = unlock(t, "pw");
        const ListItems& items = main->lstPass->items();
        QCOMPARE(items.count(), qsizetype{3});
        QCOMPARE(items.text(1), QStringLiteral("zed"));
        QCOMPARE(items.text(2), QStringLiteral("amy"));
        QCOMPARE(items.subItem(2, 2), QString());
        QCOMPARE(items.subItem(3, 1), QStringLiteral("3"));
        QCOMPARE(status(main), QStringLiteral("Loaded 3 entries"));
    }

    void oneEntryHasNoSingular() {
        TestApp t;
        t.writeVault(vaultOf("pw", {{"u", "p", "l"}}));
        QCOMPARE(status(unlock(t, "pw")), QStringLiteral("Loaded 1 entries"));
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
        TestApp t;
        const QByteArray original = vaultOf("pw", {{"b", "2", "y"}, {"a", "1", "x\u0160"}});
        t.writeVault(original);
        Form1* main = unlock(t, "pw");
        QVERIFY(SaveData(*t.app));
        QCOMPARE(t.vaultBytes(), original);  // byte for byte
        QCOMPARE(status(main), QStringLiteral("Saved 08/12/2026 10:11:12"));
        main->lstPass->items().setSorted(true);
        QVERIFY(SaveData(*t.app));
        QCOMPARE(t.vaultBytes(), vaultOf("pw", {{"a", "1", "x\u0160"}, {"b", "2", "y"}}));
        main->lstPass->items().remove(1);
        main->lstPass->items().remove(1);
        QVERIFY(SaveData(*t.app));
        QCOMPARE(t.vaultBytes(), QByteArray::fromHex("f0f70d0a0d0a"));
    }

    void failedSaveIsReportedAndChangesNothing() {
        TestApp t;
        t.writeVault(vaultOf("pw", {{"u", "p", "l"}}));
        Form1* main = unlock(t, "pw");
        SetStatus(*t.app, "before");
        // A folder in the way of the temporary file's rename makes the save fail.
        QFile::remove(t.vaultPath());
        QVERIFY(QDir(t.dir()).mkdir("data.enc"));
        main->lstPass->items().add("new", "p", "");
        QVERIFY(!SaveData(*t.app));
        QCOMPARE(t.fakes.messageBox->shown.size(), 1);
        QVERIFY(t.fakes.messageBox->shown[0].text.contains("could not be saved"));
        QCOMPARE(status(main), QStringLiteral("before"));
        QCOMPARE(main->lstPass->items().count(), qsizetype{2});  // what the user sees stays
    }

    void saveOnAFullDiskKeepsTheOldVault() {
        TinyDisk disk("size=64k");
        if (!disk.mounted()) QSKIP(disk.skipReason().constData());
        TestApp t;
        t.fakes.appInfo->dir = disk.path();
        const QByteArray original = vaultOf("pw", {{"u", "p", "l"}});
        t.writeVault(original);
        Form1* main = unlock(t, "pw");
        ListItems& items = main->lstPass->items();
        for (int i = 0; i < 3000; ++i) items.add(QString::number(i), QString(20, 'p'), QString(20, 'l'));
        QVERIFY(!SaveData(*t.app));
        QCOMPARE(t.vaultBytes(), original);
        QCOMPARE(t.fakes.messageBox->shown.size(), 1);
    }

    void readOnlyFolder() {
        {
            // The entries can be read; a change is refused with a message and the file stays.
            TinyDisk disk("size=64k");
            if (!disk.mounted()) QSKIP(disk.skipReason().constData());
            const QByteArray original = vaultOf("pw", {{"u", "p", "l"}});
            {
                QFile f(disk.path() + "/data.enc");
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(original);
            }
            QVERIFY(disk.remountReadOnly());
            TestApp t;
            t.fakes.appInfo->dir = disk.path();
            Form1* main = unlock(t, "pw");
            QCOMPARE(t.fakes.messageBox->shown.size(), 1);  // told at start
            QVERIFY(t.fakes.messageBox->shown[0].text.startsWith("Tressik cannot write to its folder"));
            QCOMPARE(status(main), QStringLiteral("Loaded 1 entries"));
            main->lstPass->items().add("x", "y", "z");
            QVERIFY(!SaveData(*t.app));
            QCOMPARE(t.fakes.messageBox->shown.size(), 2);
            QCOMPARE(t.vaultBytes(), original);
        }
        {
            // No vault and no way to create one: told, and the program ends.
            TinyDisk disk("size=64k,ro");
            if (!disk.mounted()) QSKIP(disk.skipReason().constData());
            TestApp t;
            t.fakes.appInfo->dir = disk.path();
            t.app->forms.load<Form1>();
            QCOMPARE(t.fakes.messageBox->shown.size(), 1);
            QVERIFY(t.fakes.messageBox->shown[0].text.startsWith("Tressik cannot create its vault file."));
            QCOMPARE(t.fakes.programEnd->calls, 1);
            QVERIFY(!t.app->forms.isLoaded<frmPass>());
        }
    }

    void unreadableVaultEndsWithAMessage() {
        TestApp t;
        QVERIFY(QDir(t.dir()).mkdir("data.enc"));
        t.app->forms.load<Form1>();
        QCOMPARE(t.fakes.messageBox->shown.size(), 1);
        QVERIFY(t.fakes.messageBox->shown[0].text.contains("data.enc"));
        QCOMPARE(t.fakes.programEnd->calls, 1);
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
    }

    void hundredThousandEntries() {
        TestApp t;
        std::vector<Entry> many;
        for (int i = 0; i < 100000; ++i) many.push_back({QString::number(i), "p", "l"});
        const QByteArray bytes = vaultOf("pw", many);
        t.writeVault(bytes);
        Form1* main = unlock(t, "pw");
        QCOMPARE(status(main), QStringLiteral("Loaded 100000 entries"));
        QCOMPARE(main->lstPass->items().text(100000), QStringLiteral("99999"));
        QVERIFY(SaveData(*t.app));
        QCOMPARE(t.vaultBytes(), bytes);
    }
};

QTEST_MAIN(tst_modGlobals)
#include "tst_modGlobals.moc"
