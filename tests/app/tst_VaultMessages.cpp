#include "platform/DurableFile.h"
#include "platform/FileWatch.h"
#include "session/VaultSession.h"
#include "support/TinyDisk.h"
#include "support/Unlocked.h"
#include "vault/VaultFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <semaphore>
#include <thread>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Stands in for a disk that gives back other bytes than were written, once:
// the new file gains a byte just before it is read back.
struct GarbledReadBack {
    explicit GarbledReadBack(const QString& path) {
        previous = DurableFile::setFaultHook([this, path](DurableFile::Op op) {
            replaced = replaced || op == DurableFile::Op::Rename;
            if (op == DurableFile::Op::ReadOpen && replaced && !done) {
                done = true;
                QFile f(path);
                if (f.open(QIODevice::Append)) f.write("x");
            }
            return previous ? previous(op) : 0;
        });
    }
    ~GarbledReadBack() { DurableFile::setFaultHook(previous); }
    GarbledReadBack(const GarbledReadBack&) = delete;
    GarbledReadBack& operator=(const GarbledReadBack&) = delete;
    std::function<int(DurableFile::Op)> previous;
    bool replaced = false;
    bool done = false;
};

// Fails file operations with an error: the n-th one (counting from 1; 0 fails
// none), or every one of a kind. Records every operation made either way.
struct FailingDisk {
    FailingDisk(int n, int error) : FailingDisk([n](qsizetype made, DurableFile::Op) { return made == n; }, error) {}
    FailingDisk(DurableFile::Op kind, int error)
        : FailingDisk([kind](qsizetype, DurableFile::Op op) { return op == kind; }, error) {}
    FailingDisk(std::function<bool(qsizetype, DurableFile::Op)> fails, int error) {
        DurableFile::setFaultHook([this, fails, error](DurableFile::Op op) {
            ops.push_back(op);
            return fails(ops.size(), op) ? error : 0;
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

// Starts with a lock file of these bytes, last changed then (if valid).
void startWithLock(TestApp& t, const QByteArray& bytes, const QDateTime& changed) {
    QFile lock(t.vaultPath() + ".lock");
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(bytes);
    lock.flush();
    if (changed.isValid()) QVERIFY(lock.setFileTime(changed, QFileDevice::FileModificationTime));
    lock.close();
    t.app->forms.load<Form1>();
}

void newPassword(TestApp& t, const QString& typed, const QString& again) {
    t.app->forms.load<Form1>();
    frmPass* pass = t.app->forms.get<frmPass>();
    pass->txtPass->setText(typed);
    pass->txtPass2->setText(again);
    pass->cmdOK_Click();
}

void wrongPasswords(TestApp& t, int times) {
    t.writeVault(vaultOf("Secret"));
    t.app->forms.load<Form1>();
    frmPass* pass = t.app->forms.get<frmPass>();
    for (int i = 0; i < times; ++i) {
        pass->txtPass->setText("secret");
        pass->cmdOK_Click();
    }
}

// Past the password window, with one entry.
Form1* unlocked(TestApp& t) {
    t.writeVault(vaultOf("pw", {{"u", "p", "l"}}));
    return unlock(t, "pw");
}

// Saves the vault while the trouble made with these arguments lasts.
template <class Trouble, class... Args>
void saveWith(TestApp& t, Args... args) {
    unlocked(t);
    Trouble trouble(args...);
    t.app->vault.SaveData();
}

void saveEntry(TestApp& t, const QString& username, const QString& password) {
    unlocked(t)->cmdAdd_Click(0);
    frmAdd* editor = t.app->forms.get<frmAdd>();
    editor->txtUsername->setText(username);
    editor->txtPassword->setText(password);
    editor->cmdAdd_Click(0);
}

// A message box of the program: what brings it up, and what it says.
// In the text, {vault} stands for the vault file and {folder} for its folder.
struct Message {
    void (*provoke)(TestApp&, TinyDisk*) = nullptr;
    QString text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgResult defaultButton = MsgResult::Ok;
    QString caption = QStringLiteral("Tressik");
    bool ends = false;    // the program ends after it
    bool onDisk = false;  // on a tmpfs of its own, which needs root
};

const QString kCannotSave = QStringLiteral("Your changes could not be saved.\n\n");
const QString kLeftAsItWas =
    QStringLiteral("\n\nThe vault file was left as it was; the list still shows your changes.");
const QString kReplacedUnconfirmed = QStringLiteral(
    "The vault file was replaced, but the system could not confirm that your changes reached the disk.\n\n");
const QString kCannotVerify =
    QStringLiteral("Cannot verify \"{vault}\": the file on disk differs from what was written");
const QString kNextChange =
    QStringLiteral("\n\nThe list still shows your changes; your next change saves the whole list again.");

}  // namespace

class tst_VaultMessages : public QObject {
    Q_OBJECT
private slots:
    // Every tmpfs went with its test, however the test ended.
    void cleanupTestCase() { QCOMPARE(TinyDisk::stillMounted(), QStringList{}); }

    // The words of every message box, checked here once; the other tests check
    // what matters to them (that a box came, a distinctive part, the file).
    void messages_data() {
        // clang-format off
        QTest::addColumn<Message>("message");
        using Op = DurableFile::Op;
        const QDateTime since(QDate(2026, 11, 30), QTime(18, 5, 7));
        QTest::newRow("another copy here") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                QLockFile live(t.vaultPath() + ".lock");
                QVERIFY(live.tryLock(0));
                t.app->forms.load<Form1>();
            },
            .text = "Tressik is already running.\n\nOnly one copy of the program can use the vault file {vault} at a "
                    "time.",
            .icon = MsgIcon::Information, .ends = true};
        QTest::newRow("a copy on another computer") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                startWithLock(t, "999999\nTressik\nlaptop-at-home\n", QDateTime(QDate(2026, 11, 30), QTime(18, 5, 7)));
            },
            .text = "The vault file {vault} is in use by Tressik on the computer \"laptop-at-home\" since " +
                    since.toString(Qt::ISODate) +
                    ".\n\nIf Tressik is no longer running there (the folder was moved, or that computer stopped "
                    "without closing it), you can open the vault here.  If it is still running there, changes made "
                    "in both places will overwrite each other.\n\nOpen the vault anyway?",
            .icon = MsgIcon::Warning, .buttons = MsgButtons::YesNo, .defaultButton = MsgResult::No, .ends = true};
        QTest::newRow("a copy on another computer of this name") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                startWithLock(t, "999999\nTressik\n" + QSysInfo::machineHostName().toUtf8() + "\nnot-this-machine\n\n",
                              QDateTime(QDate(2026, 11, 30), QTime(18, 5, 7)));
            },
            .text = "The vault file {vault} is in use by Tressik on another computer that is also called \"" +
                    QSysInfo::machineHostName() + "\" since " + since.toString(Qt::ISODate) +
                    ".\n\nIf Tressik is no longer running there (the folder was moved, or that computer stopped "
                    "without closing it), you can open the vault here.  If it is still running there, changes made "
                    "in both places will overwrite each other.\n\nOpen the vault anyway?",
            .icon = MsgIcon::Warning, .buttons = MsgButtons::YesNo, .defaultButton = MsgResult::No, .ends = true};
        QTest::newRow("a lock that names no program") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { startWithLock(t, "", {}); },
            .text = "Tressik cannot lock its vault file {vault}, so it cannot keep a second running copy from saving "
                    "at the same time.  Tressik will close; the vault file was not changed.\n\nCannot create "
                    "\"{vault}.lock\": something is in its place that names no running program; if no other copy "
                    "of Tressik is running, delete it",
            .icon = MsgIcon::Critical, .ends = true};
        QTest::newRow("a device as the vault") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                QVERIFY(QFile::link("/dev/zero", t.vaultPath()));
                t.app->forms.load<Form1>();
            },
            .text = "Tressik cannot read its vault file.\n\nCannot read \"{vault}\": it is a named pipe, a socket or "
                    "a device, not a plain file",
            .icon = MsgIcon::Critical, .ends = true};
        QTest::newRow("a vault link that leads nowhere") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                const QString stick = t.dir() + "/stick/data.enc";
                QVERIFY(QFile::link(stick, t.vaultPath()));
                t.app->forms.load<Form1>();
                // Told, and nothing else: no first use, the link as it was.
                QVERIFY(!t.app->forms.isLoaded<frmPass>());
                QCOMPARE(QFileInfo(t.vaultPath()).symLinkTarget(), stick);
                QVERIFY(!QFileInfo::exists(t.dir() + "/stick"));
            },
            .text = "Tressik cannot read its vault file.\n\nCannot open \"{vault}\": it is a link to \"{folder}/stick/"
                    "data.enc\", which does not exist.  Is a drive not plugged in, or a share not mounted?  The link "
                    "was left as it is",
            .icon = MsgIcon::Critical, .ends = true};
        QTest::newRow("a vault far larger than any") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                // Sparse: a terabyte that takes no room.
                QFile huge(t.vaultPath());
                QVERIFY(huge.open(QIODevice::WriteOnly));
                QVERIFY(huge.resize(qint64{1} << 40));
                huge.close();
                t.app->forms.load<Form1>();
                QVERIFY(!t.app->forms.isLoaded<frmPass>());
                QCOMPARE(QFileInfo(t.vaultPath()).size(), qint64{1} << 40);
            },
            .text = "Tressik cannot read its vault file.\n\nCannot read \"{vault}\": it is 1.0 TiB, far larger than a "
                    "vault file can be (1 GiB at most); it was left as it is",
            .icon = MsgIcon::Critical, .ends = true};
        QTest::newRow("a folder as the vault") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                QVERIFY(QDir(t.dir()).mkdir("data.enc"));
                t.app->forms.load<Form1>();
            },
            .text = "Tressik cannot create its vault file.\n\nCannot create \"{vault}\": a folder of that name is in "
                    "the way",
            .icon = MsgIcon::Critical, .ends = true};
        QTest::newRow("a read-only folder") << Message{
            .provoke = [](TestApp& t, TinyDisk* disk) {
                t.writeVault(vaultOf("pw"));
                QVERIFY(disk->remountReadOnly());
                t.app->forms.load<Form1>();
            },
            .text = "Tressik cannot write to its folder {folder}.\n\nYou can open the vault and copy from it, but this "
                    "copy of the program saves no changes.  Make the folder writable and start Tressik again to make "
                    "changes.",
            .icon = MsgIcon::Warning, .onDisk = true};
        QTest::newRow("a read-only folder without a vault") << Message{
            .provoke = [](TestApp& t, TinyDisk* disk) {
                QVERIFY(disk->remountReadOnly());
                t.app->forms.load<Form1>();
            },
            .text = "Tressik cannot create its vault file.\n\nCannot write \"{vault}\": Read-only file system",
            .icon = MsgIcon::Critical, .ends = true, .onDisk = true};

        QTest::newRow("a new password too short") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { newPassword(t, "abc", "abc"); },
            .text = "You must enter a password that is at least 4 characters long"};
        QTest::newRow("new passwords that differ") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { newPassword(t, "abcd", "abcD"); },
            .text = "Your passwords did not match.  Please try again."};
        QTest::newRow("a new password the vault cannot store") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { newPassword(t, "abc\u4e2d", "abc\u4e2d"); },
            .text = "The password contains the character \"\u4e2d\" (U+4E2D), which the vault file cannot store.  "
                    "Please use only characters of the Western European (Windows-1252) set."};
        QTest::newRow("a wrong password") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { wrongPasswords(t, 1); },
            .text = "Sorry, the password you entered was not correct.",
            .buttons = MsgButtons::RetryCancel, .defaultButton = MsgResult::Retry, .caption = "Incorrect Password"};
        QTest::newRow("the third wrong password") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { wrongPasswords(t, 3); },
            .text = "Only 3 tries allowed.  Click Ok to close.", .ends = true};

        QTest::newRow("a new password that reads back otherwise") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                t.writeVault("\r\n");
                GarbledReadBack garbled(t.vaultPath());
                unlock(t, "abcd");
            },
            .text = "The vault file was replaced, but what is now on disk differs from the new master password that "
                    "was meant to be saved.\n\n" + kCannotVerify +
                    "\n\nThe vault stays open; your next change saves the master password and the list again.",
            .icon = MsgIcon::Warning};
        QTest::newRow("entries without a master password") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                t.writeVault("\r\n" + VaultCodec::ScrambleText("u|||p|||l") + "\r\n");
                unlock(t, "abcd");
            },
            .text = "The vault file held entries but no master password.  It has been kept as {vault}.bak before the "
                    "new vault replaced it.",
            .icon = MsgIcon::Information};
        QTest::newRow("a save that fails") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { saveWith<FailingDisk>(t, Op::Write, EIO); },
            .text = kCannotSave + "Cannot write \"{vault}\": Input/output error" + kLeftAsItWas,
            .icon = MsgIcon::Warning};
        QTest::newRow("a save that is not confirmed") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { saveWith<FailingDisk>(t, Op::FolderSync, EIO); },
            .text = kReplacedUnconfirmed +
                    "Cannot verify \"{vault}\": the system could not confirm that it reached the disk: Input/output "
                    "error" + kNextChange,
            .icon = MsgIcon::Warning};
        QTest::newRow("a save that reads back otherwise") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { saveWith<GarbledReadBack>(t, t.vaultPath()); },
            .text = "The vault file was replaced, but what is now on disk differs from what was meant to be saved."
                    "\n\n" + kCannotVerify + "\n\nYour changes count as "
                    "not saved: the list still shows them, and your next change saves the whole list again.",
            .icon = MsgIcon::Warning};
        QTest::newRow("a save in a copy started read-only") << Message{
            .provoke = [](TestApp& t, TinyDisk* disk) {
                t.writeVault(vaultOf("pw"));
                QVERIFY(disk->remountReadOnly());
                unlock(t, "pw");
                QVERIFY(disk->remountReadWrite());
                t.app->vault.SaveData();
            },
            .text = kCannotSave +
                    "This copy of Tressik started while its folder could not be written to, so it runs without the "
                    "lock that keeps a second copy from saving at the same time, and it saves nothing.  Start "
                    "Tressik again once the folder is writable." + kLeftAsItWas,
            .icon = MsgIcon::Warning, .onDisk = true};

        QTest::newRow("an entry without a username") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { saveEntry(t, "", ""); },
            .text = "You must enter a username", .caption = "Error"};
        QTest::newRow("an entry without a password") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { saveEntry(t, "u", ""); },
            .text = "You must enter a password", .caption = "Error"};
        QTest::newRow("an entry the vault cannot hold") << Message{
            .provoke = [](TestApp& t, TinyDisk*) { saveEntry(t, "u", "a|||b"); },
            .text = "The password cannot be stored as typed: the vault file separates the fields with \"|||\", and "
                    "this text would not be read back the same.  Please avoid \"|||\" inside a field and a \"|\" "
                    "where two fields meet.",
            .caption = "Error"};
        QTest::newRow("an edit of a deleted entry") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                Form1* main = unlocked(t);
                main->lstPass->items().setSelected(1, true);
                main->cmdEdit_Click();
                main->lstPass->items().remove(1);
                t.app->forms.get<frmAdd>()->cmdAdd_Click(0);
            },
            .text = "The entry you were editing is no longer in the list: it was deleted, or changed by another "
                    "program.  Your changes are saved as a new entry.",
            .caption = "Error"};
        QTest::newRow("deleting an entry") << Message{
            .provoke = [](TestApp& t, TinyDisk*) {
                Form1* main = unlocked(t);
                main->lstPass->items().setSelected(1, true);
                main->cmdDelete_Click();
            },
            .text = "Are you sure you want to delete the following information?\r\n\r\nUsername: u\r\nPassword: p\r\n"
                    "Used At: l",
            .buttons = MsgButtons::OkCancel, .caption = "Confirm Delete"};
        // clang-format on
    }
    void messages() {
        QFETCH(Message, message);
        std::optional<TinyDisk> disk;
        if (message.onDisk) {
            disk.emplace("size=64k");
            if (!disk->mounted()) QSKIP(disk->skipReason().constData());
        }
        TestApp t;
        if (disk) t.fakes.appInfo->dir = disk->path();
        message.provoke(t, disk ? &*disk : nullptr);
        QVERIFY(!t.fakes.messageBox->shown.isEmpty());
        const RecordedBox box = t.fakes.messageBox->shown.last();
        const QString expected = QString(message.text)
                                     .replace("{vault}", QDir::toNativeSeparators(t.vaultPath()))
                                     .replace("{folder}", QDir::toNativeSeparators(QFileInfo(t.vaultPath()).path()));
        QCOMPARE(box.text, expected);
        QCOMPARE(box.caption, message.caption);
        QCOMPARE(box.icon, message.icon);
        QCOMPARE(box.buttons, message.buttons);
        QCOMPARE(box.defaultButton, message.defaultButton);
        QCOMPARE(t.fakes.programEnd->ended(), message.ends);
    }

    // Each file operation of a save made to fail in turn, as a disk that
    // reports errors or fills up would, and a disk that gives back other
    // bytes: the vault is the old bytes or the new ones, the user is told
    // whenever the save is not certain, nothing is left beside the vault, and
    // the next save writes the whole list.
    void everyFailingOperationOfASaveIsTold_data() {
        // clang-format off
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("garbled");
        QTest::addColumn<QString>("outcome");
        QList<DurableFile::Op> ops;
        {
            Unlocked u({{"u", "p", "l"}});
            FailingDisk disk(0, 0);
            QVERIFY(u.app->vault.SaveData());
            ops = disk.ops;
        }
        QVERIFY(ops.contains(DurableFile::Op::Sync));
        QVERIFY(ops.contains(DurableFile::Op::FolderSync));
        QVERIFY(ops.contains(DurableFile::Op::Swap));
        QString outcome = "kept";
        bool dropping = false;  // the old version, displaced by the swap, going
        for (int i = 0; i < ops.size(); ++i) {
            dropping = ops[i] == DurableFile::Op::Remove || (dropping && ops[i] != DurableFile::Op::ReadOpen);
            for (const int error : {EIO, ENOSPC}) {
                // Permissions that cannot be widened to the old file's leave
                // the new one owner-only: no reason to fail the save. The old
                // version left beside the vault is no reason either.
                QString expected = outcome;
                if (ops[i] == DurableFile::Op::Protect || dropping) expected = "saved";
                if (ops[i] == DurableFile::Op::Remove) expected = "left";
                QTest::addRow("%d %s %s", i + 1, qPrintable(DurableFile::opName(ops[i])), std::strerror(error))
                    << i + 1 << error << false << expected;
            }
            if (ops[i] == DurableFile::Op::Swap) outcome = "replaced";
        }
        QTest::newRow("read back otherwise") << 0 << 0 << true << "replaced";
        // clang-format on
    }
    void everyFailingOperationOfASaveIsTold() {
        QFETCH(int, n);
        QFETCH(int, error);
        QFETCH(bool, garbled);
        QFETCH(QString, outcome);
        Unlocked u({{"u", "p", "l"}});
        const QByteArray old = u.vaultBytes();
        SetStatus(*u.app, "before");
        u.items().add("new", "p2", "");
        bool saved = false;
        {
            FailingDisk disk(n, error);
            std::optional<GarbledReadBack> readBack;
            if (garbled) readBack.emplace(u.vaultPath());
            saved = u.app->vault.SaveData();
        }
        QCOMPARE(saved, outcome == "saved" || outcome == "left");
        if (!garbled)
            QCOMPARE(u.vaultBytes(), outcome == "kept" ? old : vaultOf("pw", {{"u", "p", "l"}, {"new", "p2", ""}}));
        auto& boxes = u.fakes.messageBox->shown;
        if (saved) {
            QCOMPARE(boxes.size(), 0);
            QVERIFY(u.status().startsWith("Saved "));
        } else {
            QCOMPARE(boxes.size(), 1);
            if (error)
                QVERIFY2(boxes[0].text.contains(QString::fromLocal8Bit(std::strerror(error))),
                         qPrintable(boxes[0].text));
            QVERIFY(boxes[0].text.startsWith(outcome == "replaced" ? "The vault file was replaced"
                                                                   : "Your changes could not be saved"));
            QCOMPARE(u.status(), QStringLiteral("before"));
        }
        QCOMPARE(u.items().count(), qsizetype{2});
        QCOMPARE(u.fakes.programEnd->calls, 0);
        if (outcome == "replaced") {
            // Its own notification finds the program's own file, whatever the save could not confirm.
            QTest::qWait(FileWatch::kSettleMs * 3);
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(u.status(), QStringLiteral("before"));
        }
        const QStringList left = strays(u.dir());
        if (outcome == "left") {
            // Never removed unread at the next start: asked about as another version.
            QCOMPARE(left.size(), 1);
            QVERIFY(left[0].startsWith("data.enc.displaced-"));
            QCOMPARE(fileBytes(u.dir() + "/" + left[0]), old);
        } else {
            QCOMPARE(left, QStringList{});
        }
        u.items().add("after", "p3", "x");
        QVERIFY(u.app->vault.SaveData());
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {{"u", "p", "l"}, {"new", "p2", ""}, {"after", "p3", "x"}}));
    }

    void newPasswordWhoseReadBackDiffersKeepsTheVaultOpen() {
        TestApp t;
        t.writeVault("\r\n");
        Form1* main = nullptr;
        {
            GarbledReadBack garbled(t.vaultPath());
            main = unlock(t, "abcd");
        }
        QCOMPARE(t.fakes.messageBox->shown.size(), 1);
        QCOMPARE(t.fakes.programEnd->calls, 0);
        QVERIFY(main->isVisible());
        QVERIFY(status(t) != QStringLiteral("Password created successfully"));
        main->lstPass->items().add("u", "p", "l");
        QVERIFY(t.app->vault.SaveData());
        QCOMPARE(t.vaultBytes(), vaultOf("abcd", {{"u", "p", "l"}}));
    }

    // A file with entries but no master password is kept aside, next to
    // earlier copies, and the user is told where once the new vault is written.
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
        unlock(t, "abcd");
        const QByteArray fresh = QByteArray::fromHex("e1e2e3e40d0a");
        QCOMPARE(t.vaultBytes(), fresh);
        QCOMPARE(fileBytes(t.vaultPath() + ".bak"), QByteArray("an earlier copy"));
        QCOMPARE(fileBytes(t.vaultPath() + ".bak.1"), odd);
        auto& boxes = t.fakes.messageBox->shown;
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].text.contains(QDir::toNativeSeparators(t.vaultPath() + ".bak.1")));
        QCOMPARE(onDiskWhileTold, fresh);
        QCOMPARE(status(t), QStringLiteral("Password created successfully"));
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
        QVERIFY(boxes[0].text.contains("named pipe"));
        QCOMPARE(t.fakes.programEnd->calls, 1);
        QVERIFY(!t.app->forms.isLoaded<frmPass>());
    }
};

QTEST_MAIN(tst_VaultMessages)
#include "tst_VaultMessages.moc"
