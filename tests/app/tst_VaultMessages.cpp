#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "platform/DurableFile.h"
#include "support/TestApp.h"
#include "support/Unlocked.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"
#include "forms/StatusBar.h"
#include "vault/VaultFile.h"
#include "app/modGlobals.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <semaphore>
#include <thread>

namespace {

Form1* unlock(TestApp& t, const QString& password) {
    Form1* main = t.app->forms.load<Form1>();
    if (frmPass* pass = t.app->forms.get<frmPass>()) {
        pass->txtPass->setText(password);
        pass->txtPass2->setText(password);
        pass->cmdOK_Click();
    }
    return main;
}

QString status(Form1* main) { return main->StatusBar1->panelText(1); }

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Stands in for a disk that gives back other bytes than were written, once.
struct GarbledReadBack {
    GarbledReadBack() {
        VaultFile::setAfterCommitHook([](const QString& path) {
            QFile f(path);
            if (f.open(QIODevice::Append)) f.write("x");
            VaultFile::setAfterCommitHook({});
        });
    }
    ~GarbledReadBack() { VaultFile::setAfterCommitHook({}); }
};

// Fails the n-th file operation (counting from 1) with an error; 0 fails
// none. Records every operation made either way.
struct FailingDisk {
    FailingDisk(int n, int error) {
        DurableFile::setFaultHook([this, n, error](DurableFile::Op op) {
            ops.push_back(op);
            return ops.size() == n ? error : 0;
        });
    }
    ~FailingDisk() { DurableFile::setFaultHook({}); }
    FailingDisk(const FailingDisk&) = delete;
    FailingDisk& operator=(const FailingDisk&) = delete;
    QList<DurableFile::Op> ops;
};

QStringList strays(const QString& folder) {
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll("data.enc");
    names.removeAll("data.enc.lock");
    return names;
}

}  // namespace

// Every message says what happened to the file, and comes after it happened.
class tst_VaultMessages : public QObject {
    Q_OBJECT
private slots:
    // Each file operation of a save made to fail in turn, as a disk that
    // reports errors or fills up would: the vault is the old bytes or the new
    // ones, the user is told whenever the save is not certain, nothing is left
    // beside the vault, and the next save writes the whole list.
    void everyFailingOperationOfASaveIsTold_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("outcome");
        QList<DurableFile::Op> ops;
        {
            Unlocked u({{"u", "p", "l"}});
            FailingDisk disk(0, 0);
            QVERIFY(SaveData(*u.app));
            ops = disk.ops;
        }
        QVERIFY(ops.contains(DurableFile::Op::Sync));
        QVERIFY(ops.contains(DurableFile::Op::FolderSync));
        QString outcome = "kept";
        for (int i = 0; i < ops.size(); ++i) {
            for (const int error : {EIO, ENOSPC}) {
                // Permissions that cannot be widened to the old file's leave
                // the new one owner-only: no reason to fail the save.
                QTest::addRow("%d %s %s", i + 1, qPrintable(DurableFile::opName(ops[i])), std::strerror(error))
                    << i + 1 << error << (ops[i] == DurableFile::Op::Protect ? QString("saved") : outcome);
            }
            if (ops[i] == DurableFile::Op::Rename) outcome = "replaced";
        }
    }
    void everyFailingOperationOfASaveIsTold() {
        QFETCH(int, n);
        QFETCH(int, error);
        QFETCH(QString, outcome);
        Unlocked u({{"u", "p", "l"}});
        const QByteArray old = u.vaultBytes();
        SetStatus(*u.app, "before");
        u.items().add("new", "p2", "");
        bool saved = false;
        {
            FailingDisk disk(n, error);
            saved = SaveData(*u.app);
        }
        QCOMPARE(saved, outcome == "saved");
        QCOMPARE(u.vaultBytes(), outcome == "kept" ? old : vaultOf("pw", {{"u", "p", "l"}, {"new", "p2", ""}}));
        auto& boxes = u.fakes.messageBox->shown;
        if (saved) {
            QCOMPARE(boxes.size(), 0);
            QVERIFY(u.status().startsWith("Saved "));
        } else {
            QCOMPARE(boxes.size(), 1);
            const QString why = QString::fromLocal8Bit(std::strerror(error));
            QVERIFY2(boxes[0].text.contains(why), qPrintable(boxes[0].text));
            QVERIFY(boxes[0].text.startsWith(
                outcome == "replaced" ? "The vault file was replaced, but the system could not confirm that your "
                                        "changes reached the disk.\n\n"
                                      : "Your changes could not be saved.\n\n"));
            QCOMPARE(u.status(), QStringLiteral("before"));
        }
        QCOMPARE(u.fakes.programEnd->calls, 0);
        QCOMPARE(strays(u.dir()), QStringList{});
        u.items().add("after", "p3", "x");
        QVERIFY(SaveData(*u.app));
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {{"u", "p", "l"}, {"new", "p2", ""}, {"after", "p3", "x"}}));
    }

    void saveWhoseReadBackDiffersSaysTheFileWasReplaced() {
        TestApp t;
        t.writeVault(vaultOf("pw", {{"u", "p", "l"}}));
        Form1* main = unlock(t, "pw");
        SetStatus(*t.app, "before");
        main->lstPass->items().add("new", "p2", "");
        {
            GarbledReadBack garbled;
            QVERIFY(!SaveData(*t.app));
        }
        auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text,
                 QStringLiteral("The vault file was replaced, but what is now on disk differs from what was meant to "
                                "be saved.\n\nCannot verify \"%1\": the file on disk differs from what was written\n\n"
                                "The list still shows your changes; your next change saves the whole list again.")
                     .arg(t.vaultPath()));
        QCOMPARE(boxes[0].icon, MsgIcon::Warning);
        QCOMPARE(status(main), QStringLiteral("before"));
        QCOMPARE(main->lstPass->items().count(), qsizetype{2});
        // The next save goes through.
        QVERIFY(SaveData(*t.app));
        QCOMPARE(t.vaultBytes(), vaultOf("pw", {{"u", "p", "l"}, {"new", "p2", ""}}));
    }

    void newPasswordWhoseReadBackDiffersKeepsTheVaultOpen() {
        TestApp t;
        t.writeVault("\r\n");
        Form1* main = nullptr;
        {
            GarbledReadBack garbled;
            main = unlock(t, "abcd");
        }
        auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].text.startsWith("The vault file was replaced, but what is now on disk differs from the new "
                                         "master password that was meant to be saved.\n\nCannot verify"));
        QVERIFY(boxes[0].text.endsWith("\n\nThe vault stays open; your next change saves the master password and "
                                       "the list again."));
        QCOMPARE(t.fakes.programEnd->calls, 0);
        QVERIFY(main->isVisible());
        QVERIFY(status(main) != QStringLiteral("Password created successfully"));
        main->lstPass->items().add("u", "p", "l");
        QVERIFY(SaveData(*t.app));
        QCOMPARE(t.vaultBytes(), vaultOf("abcd", {{"u", "p", "l"}}));
    }

    // A file with entries but no master password is kept aside, next to
    // earlier copies, and the user is told once the new vault is written.
    void keptCopyIsToldAfterTheNewVaultIsWritten() {
        TestApp t;
        const QByteArray odd = "\r\n" + VaultCodec::ScrambleText("u|||p|||l") + "\r\n";
        t.writeVault(odd);
        {
            QFile earlier(t.vaultPath() + ".bak");
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("an earlier copy");
        }
        QByteArray onDiskWhileTold;
        t.fakes.messageBox->whileOpen = [&] { onDiskWhileTold = t.vaultBytes(); };
        Form1* main = unlock(t, "abcd");
        const QByteArray fresh = QByteArray::fromHex("e1e2e3e40d0a");
        QCOMPARE(t.vaultBytes(), fresh);
        QCOMPARE(fileBytes(t.vaultPath() + ".bak"), QByteArray("an earlier copy"));
        QCOMPARE(fileBytes(t.vaultPath() + ".bak.1"), odd);
        auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("The vault file held entries but no master password.  It has been kept "
                                               "as %1.bak.1 before the new vault replaced it.")
                                    .arg(t.vaultPath()));
        QCOMPARE(onDiskWhileTold, fresh);
        QCOMPARE(status(main), QStringLiteral("Password created successfully"));
    }

    void namedPipeAsTheVaultIsRefusedAtStart() {
        TestApp t;
        const QByteArray pipe = QFile::encodeName(t.vaultPath());
        QVERIFY(::mkfifo(pipe.constData(), 0600) == 0);
        // Should the start block on the pipe, a writer lets it go on after a
        // while, so that this test fails instead of hanging.
        std::binary_semaphore started{0};
        std::thread unblocker([&] {
            if (started.try_acquire_for(std::chrono::seconds(20))) return;
            const int fd = ::open(pipe.constData(), O_WRONLY);
            if (fd >= 0) ::close(fd);
        });
        t.app->forms.load<Form1>();
        started.release();
        unblocker.join();
        auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Tressik cannot read its vault file.\n\nCannot read \"%1\": it is a "
                                               "named pipe, a socket or a device, not a plain file")
                                    .arg(t.vaultPath()));
        QCOMPARE(t.fakes.programEnd->calls, 1);
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
    }
};

QTEST_MAIN(tst_VaultMessages)
#include "tst_VaultMessages.moc"
