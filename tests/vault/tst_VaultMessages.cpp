#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"
#include "forms/StatusBar.h"
#include "vault/VaultFile.h"
#include "vault/modGlobals.h"

#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace

// Every message says what happened to the file, and comes after it happened.
class tst_VaultMessages : public QObject {
    Q_OBJECT
private slots:
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
