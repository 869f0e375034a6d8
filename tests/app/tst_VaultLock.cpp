#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "support/TinyDisk.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"
#include "vault/modGlobals.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLockFile>
#include <QTest>

namespace {

// The box that turned the start away, checked to be the only one.
QString refusal(TestApp& t) {
    const auto& boxes = t.fakes.messageBox->shown;
    if (boxes.size() != 1) return QStringLiteral("%1 boxes shown").arg(boxes.size());
    if (t.fakes.programEnd->calls != 1) return QStringLiteral("the program did not end");
    if (t.app->forms.isLoaded<frmPass>()) return QStringLiteral("the password window opened");
    return boxes[0].text;
}

QString lockFailedText(const TestApp& t, const QString& why) {
    return QStringLiteral("Tressik cannot lock its vault file %1, so it cannot keep a second running copy from "
                          "saving at the same time.  Tressik will close; the vault file was not changed.\n\n"
                          "Cannot create \"%1.lock\": %2")
        .arg(t.vaultPath(), why);
}

}  // namespace

// Only a live copy holding the lock is another copy; any other lock trouble is
// told, and the program runs without the lock only where it cannot write.
class tst_VaultLock : public QObject {
    Q_OBJECT
private slots:
    // Every tmpfs went with its test, however the test ended.
    void cleanupTestCase() { QCOMPARE(TinyDisk::stillMounted(), QStringList{}); }

    void liveHolderIsAnotherCopy() {
        TestApp t;
        t.writeVault(vaultOf("pw"));
        QLockFile other(t.vaultPath() + ".lock");
        QVERIFY(other.tryLock(0));
        t.app->forms.load<Form1>();
        QVERIFY(refusal(t).startsWith("Tressik is already running."));
        QVERIFY(!t.app->vaultLocked());
    }

    void lockFileThatNamesNoProgramIsNotAnotherCopy_data() {
        QTest::addColumn<bool>("folder");
        QTest::newRow("empty file") << false;
        QTest::newRow("folder") << true;
    }
    void lockFileThatNamesNoProgramIsNotAnotherCopy() {
        QFETCH(bool, folder);
        TestApp t;
        t.writeVault(vaultOf("pw"));
        const QString lockPath = t.vaultPath() + ".lock";
        if (folder) {
            QVERIFY(QDir(t.dir()).mkdir("data.enc.lock"));
        } else {
            QFile empty(lockPath);
            QVERIFY(empty.open(QIODevice::WriteOnly));
        }
        t.app->forms.load<Form1>();
        QCOMPARE(refusal(t), lockFailedText(t, "something is in its place that names no running program; if no "
                                               "other copy of Tressik is running, delete it"));
        QCOMPARE(t.fakes.messageBox->shown[0].icon, MsgIcon::Critical);
        QCOMPARE(t.vaultBytes(), vaultOf("pw"));
    }

    void fullDiskIsToldAndTheStartRefused() {
        TinyDisk disk("size=64k");
        if (!disk.mounted()) QSKIP(disk.skipReason().constData());
        TestApp t;
        t.fakes.appInfo->dir = disk.path();
        t.writeVault(vaultOf("pw", {{"u", "p", "l"}}));
        disk.fill();
        t.app->forms.load<Form1>();
        QCOMPARE(refusal(t), lockFailedText(t, "No space left on device"));
        QCOMPARE(t.vaultBytes(), vaultOf("pw", {{"u", "p", "l"}}));
        QVERIFY(!QFileInfo::exists(t.vaultPath() + ".lock"));
    }

    void readOnlyFolderRunsWithoutTheLockAndSavesNothing() {
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
        Form1* main = t.app->forms.load<Form1>();
        auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Tressik cannot write to its folder %1.\n\nYou can open the vault and "
                                               "copy from it, but this copy of the program saves no changes.  Make "
                                               "the folder writable and start Tressik again to make changes.")
                                    .arg(disk.path()));
        QVERIFY(!t.app->vaultLocked());
        frmPass* pass = t.app->forms.get<frmPass>();
        QVERIFY(pass);
        pass->txtPass->setText("pw");
        pass->cmdOK_Click();
        QCOMPARE(main->lstPass->items().count(), qsizetype{1});
        // Even once the folder can be written to, this copy writes nothing.
        QVERIFY(disk.remountReadWrite());
        main->lstPass->items().add("x", "y", "z");
        QVERIFY(!SaveData(*t.app));
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].text,
                 QStringLiteral("Your changes could not be saved.\n\nThis copy of Tressik started while its folder "
                                "could not be written to, so it runs without the lock that keeps a second copy from "
                                "saving at the same time, and it saves nothing.  Start Tressik again once the folder "
                                "is writable.\n\nThe vault file was left as it was; the list still shows your "
                                "changes."));
        QCOMPARE(t.vaultBytes(), original);
        QCOMPARE(main->lstPass->items().count(), qsizetype{2});
    }
};

QTEST_MAIN(tst_VaultLock)
#include "tst_VaultLock.moc"
