#include "session/VaultSession.h"
#include "support/Unlocked.h"

#include "platform/DurableFile.h"

#include <QApplication>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>

namespace {

// Another program's ways of putting a new version in place.
void renameOver(const QString& path, const QByteArray& bytes) {
    const QString temporary = path + ".sync-tmp";
    QFile f(temporary);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
    f.close();
    QCOMPARE(std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()), 0);
}

void inPlace(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));  // truncates the same file
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const Entry amy{"amy", "1", "a.org"};
const Entry bob{"bob", "2", "b.org"};
const Entry cat{"cat", "3", "c.org"};

// What the open vault tells, as the program's top would pass it on.
struct Told : VaultListener {
    QStringList statuses;
    QStringList boxes;
    int replaced = 0;
    int lettings = 0;
    void SetStatus(const QString& text) override { statuses << text; }
    MsgResult msgBox(const QString& text, MsgButtons, MsgResult defaultButton, MsgIcon) override {
        boxes << text;
        return defaultButton;
    }
    void entriesReplaced() override { ++replaced; }
    void letGo() override { ++lettings; }
};

// A change made from outside while the main window is open, and what the user meets.
struct Outside {
    std::function<void(Unlocked&)> before = {};  // the list as the user left it
    std::function<void(Unlocked&)> change = {};
    QStringList shown = {};         // usernames in the order shown, after the change
    QString selected = {};          // the username still selected
    QString told = {};              // part of the one message box, or empty for none
    QString statusPart = {};        // part of the status line
    QByteArray keptAside = {};      // data.enc.bak's bytes, empty for no backup
    std::vector<Entry> saved = {};  // the vault's entries after the next save
};

}  // namespace

Q_DECLARE_METATYPE(Outside)

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
        QVERIFY(t.app->vault.SaveData());
        QCOMPARE(t.vaultBytes(), vaultOf("pw", {{"only", "", ""}, {"u", "p", ""}}));
    }

    // The open vault on its own, with no window at all: opened, loaded,
    // saved, read again after an outside change and let go.
    void theOpenVaultNeedsNoWindow() {
        QTemporaryDir dir;
        Fakes fakes{};
        const Platform platform = makeFakePlatform(&fakes, dir.path());
        VaultSession vault(platform);
        Told told;
        vault.setListener(&told);
        const QString path = vault.vaultPath();
        inPlace(path, vaultOf("pw", {amy, bob}));

        QCOMPARE(vault.OpenVault(), VaultSession::Opened::WithPassword);
        QVERIFY(vault.vaultLocked());
        QCOMPARE(vault.strSavedPassword, QStringLiteral("pw"));
        vault.strMasterPassword = vault.strSavedPassword;
        QVERIFY(vault.LoadData());
        QCOMPARE(vault.entries().count(), qsizetype{2});
        QCOMPARE(told.statuses, QStringList{"Loaded 2 entries"});

        vault.entries().add(cat.username, cat.password, cat.location);
        QVERIFY(vault.SaveData());
        QCOMPARE(fileBytes(path), vaultOf("pw", {amy, bob, cat}));
        QCOMPARE(told.statuses.last(), QStringLiteral("Saved 08/12/2026 10:11:12"));

        renameOver(path, vaultOf("pw", {bob}));  // through the real file watcher
        QTRY_COMPARE_WITH_TIMEOUT(told.replaced, 1, 30000);
        QCOMPARE(vault.entries().count(), qsizetype{1});
        QCOMPARE(vault.entries().text(1), bob.username);
        QCOMPARE(told.statuses.last(),
                 QStringLiteral("Reloaded 1 entries: the vault file was changed by another program"));

        vault.letGoOfVault();
        QCOMPARE(told.lettings, 1);
        QVERIFY(!vault.vaultLocked() && vault.strMasterPassword.isEmpty() && vault.entries().count() == 0);
        QLockFile next(path + ".lock");
        QVERIFY(next.tryLock(0));
        QVERIFY(told.boxes.isEmpty());
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        QCOMPARE(fakes.messageBox->shown.size(), 0);
        QCOMPARE(fileBytes(path), vaultOf("pw", {bob}));  // letting go writes nothing
    }

    void saveWritesTheListInDisplayOrder() {
        const std::vector<Entry> entries = {{"b", "2", "y"}, {"a", "1", "x\u0160"}};
        Unlocked u(entries);
        const QByteArray original = u.vaultBytes();
        QVERIFY(u.app->vault.SaveData());
        QCOMPARE(u.vaultBytes(), original);  // byte for byte
        QCOMPARE(u.status(), QStringLiteral("Saved 08/12/2026 10:11:12"));
        u.items().setSorted(true);
        QVERIFY(u.app->vault.SaveData());
        QCOMPARE(u.vaultBytes(), vaultOf("pw", {entries[1], entries[0]}));
        u.items().remove(1);
        u.items().remove(1);
        QVERIFY(u.app->vault.SaveData());
        QCOMPARE(u.vaultBytes(), QByteArray::fromHex("f0f70d0a0d0a"));
    }

    void outsideChanges_data() {
        QTest::addColumn<Outside>("o");
        const auto sortedDown = [](Unlocked& u) {
            ListItems::SortBatch batch(u.items());
            u.items().setSortKey(0);
            u.items().setSortOrder(1);
            u.items().setSorted(true);
            u.items().setSelected(1, true);  // bob
        };
        QTest::newRow("replaced by a rename, sort and selection kept")
            << Outside{.before = sortedDown,
                       .change =
                           [](Unlocked& u) {
                               renameOver(u.vaultPath(), vaultOf("pw", {amy, bob, cat}));
                           },
                       .shown = {"cat", "bob", "amy"},
                       .selected = "bob",
                       .statusPart = "Reloaded 3 entries: the vault file was changed by another program",
                       .saved = {cat, bob, amy}};
        QTest::newRow("written in place") << Outside{.change =
                                                         [](Unlocked& u) {
                                                             inPlace(u.vaultPath(), vaultOf("pw", {cat, amy}));
                                                         },
                                                     .shown = {"cat", "amy"},
                                                     .statusPart = "Reloaded 2 entries",
                                                     .saved = {cat, amy}};
        QTest::newRow("another master password: kept aside, never shown")
            << Outside{.change = [](Unlocked& u) { renameOver(u.vaultPath(), vaultOf("other", {cat})); },
                       .shown = {"bob", "amy"},
                       .told =
                           "it was saved with another master password.\n\nThat version has been "
                           "kept as ",
                       .statusPart = "kept as",
                       .keptAside = vaultOf("other", {cat}),
                       .saved = {bob, amy}};
        QTest::newRow("no master password: kept aside")
            << Outside{.change = [](Unlocked& u) { inPlace(u.vaultPath(), "\r\n" + vaultOf("pw", {cat})); },
                       .shown = {"bob", "amy"},
                       .told = "it holds no master password",
                       .keptAside = "\r\n" + vaultOf("pw", {cat}),
                       .saved = {bob, amy}};
        QTest::newRow("deleted: told, the entries stay, the next save writes it again")
            << Outside{.change = [](Unlocked& u) { QVERIFY(QFile::remove(u.vaultPath())); },
                       .shown = {"bob", "amy"},
                       .told = "has been deleted by another program",
                       .statusPart = "deleted",
                       .saved = {bob, amy}};
        QTest::newRow("over changes that could not be saved: kept aside, the changes stay")
            << Outside{.before =
                           [](Unlocked& u) {
                               const auto old = DurableFile::setFaultHook(
                                   [](DurableFile::Op op) { return op == DurableFile::Op::Rename ? EIO : 0; });
                               u.items().add("dan", "4", "");
                               QVERIFY(!u.app->vault.SaveData());
                               DurableFile::setFaultHook(old);
                               u.fakes.messageBox->shown.clear();
                           },
                       .change = [](Unlocked& u) { renameOver(u.vaultPath(), vaultOf("pw", {cat})); },
                       .shown = {"bob", "amy", "dan"},
                       .told = "the list holds changes of yours that are not saved yet",
                       .keptAside = vaultOf("pw", {cat}),
                       .saved = {bob, amy, {"dan", "4", ""}}};
        QTest::newRow("changed just before a save, unnoticed: kept aside first")
            << Outside{.before = [](Unlocked& u) { u.app->vault.sync.stop(); },  // a share that sends no notifications
                       .change = [](Unlocked& u) { renameOver(u.vaultPath(), vaultOf("pw", {cat})); },
                       .shown = {"bob", "amy"},
                       .told =
                           "had been changed by another program since Tressik last read it.  "
                           "That version has been kept as ",
                       .keptAside = vaultOf("pw", {cat}),
                       .saved = {bob, amy}};
        QTest::newRow("touched, not changed: nothing read again, nothing kept")
            << Outside{.change =
                           [](Unlocked& u) {
                               inPlace(u.vaultPath(), u.vaultBytes());
                               u.app->vault.sync.check();
                           },
                       .shown = {"bob", "amy"},
                       .statusPart = "Loaded 2 entries",
                       .saved = {bob, amy}};
    }
    void outsideChanges() {
        QFETCH(Outside, o);
        Unlocked u({bob, amy});
        if (o.before) o.before(u);
        const QString before = u.status();
        o.change(u);
        const bool seen = !o.statusPart.isEmpty() && !o.statusPart.startsWith("Loaded");
        if (seen) QTRY_VERIFY2(u.status().contains(o.statusPart), qPrintable(u.status()));
        if (!seen && !o.told.isEmpty() && !o.told.startsWith("had been"))
            QTRY_VERIFY(!u.fakes.messageBox->shown.empty());
        if (o.statusPart.startsWith("Loaded")) QCOMPARE(u.status(), before);
        QCOMPARE(u.usernames(), o.shown);
        if (!o.selected.isEmpty()) QCOMPARE(u.items().text(u.items().firstSelected()), o.selected);

        // The next change saves the list as shown, with our master password.
        QVERIFY(u.app->vault.SaveData());
        QCOMPARE(u.vaultBytes(), vaultOf("pw", o.saved));
        const auto& shown = u.fakes.messageBox->shown;
        QCOMPARE(shown.size(), qsizetype(o.told.isEmpty() ? 0 : 1));
        if (!o.told.isEmpty()) QVERIFY2(shown.front().text.contains(o.told), qPrintable(shown.front().text));
        const QString bak = u.vaultPath() + ".bak";
        QCOMPARE(fileBytes(bak), o.keptAside.isEmpty() ? QByteArray("<missing>") : o.keptAside);
        if (!o.keptAside.isEmpty()) QVERIFY(shown.front().text.contains(QDir::toNativeSeparators(bak)));
    }

    // The editor and the delete question act on the entry they were opened
    // for, found again in a list read again while they were open.
    void openEditorAndQuestionFollowTheEntry_data() {
        QTest::addColumn<bool>("editor");
        QTest::addColumn<bool>("changedElsewhere");
        QTest::addColumn<std::vector<Entry>>("saved");
        QTest::addColumn<QString>("told");
        const Entry edited{"bob", "new", "b.org"};
        QTest::newRow("editor, the entry untouched") << true << false << std::vector<Entry>{cat, edited, amy} << "";
        QTest::newRow("editor, the entry changed there")
            << true << true << std::vector<Entry>{cat, {"bob", "9", "b.org"}, amy, edited} << "saved as a new entry";
        QTest::newRow("delete, the entry untouched") << false << false << std::vector<Entry>{cat, amy} << "";
        QTest::newRow("delete, the entry changed there")
            << false << true << std::vector<Entry>{cat, {"bob", "9", "b.org"}, amy} << "Nothing was deleted";
    }
    void openEditorAndQuestionFollowTheEntry() {
        QFETCH(bool, editor);
        QFETCH(bool, changedElsewhere);
        QFETCH(std::vector<Entry>, saved);
        QFETCH(QString, told);
        Unlocked u({amy, bob});
        u.items().setSelected(2, true);
        const Entry there = changedElsewhere ? Entry{"bob", "9", "b.org"} : bob;
        const auto outside = [&] {
            renameOver(u.vaultPath(), vaultOf("pw", {cat, there, amy}));
            QTRY_VERIFY(u.status().startsWith("Reloaded"));
        };
        if (editor) {
            u.main->cmdEdit_Click();
            outside();
            frmAdd* e = u.app->forms.get<frmAdd>();
            e->txtPassword->setText("new");
            e->cmdAdd_Click(0);
        } else {
            bool changed = false;  // while the question is open, not the boxes after it
            u.fakes.messageBox->whileOpen = [&] {
                if (!std::exchange(changed, true)) outside();
            };
            u.main->cmdDelete_Click();
            u.fakes.messageBox->whileOpen = nullptr;
        }
        QCOMPARE(u.vaultBytes(), vaultOf("pw", saved));
        const auto& shown = u.fakes.messageBox->shown;
        const auto tellings = std::count_if(shown.begin(), shown.end(),
                                            [&](const auto& m) { return !told.isEmpty() && m.text.contains(told); });
        QCOMPARE(tellings, told.isEmpty() ? 0 : 1);
        QCOMPARE(shown.size(), qsizetype((editor ? 0 : 1) + (told.isEmpty() ? 0 : 1)));
    }

    void hundredThousandEntries() {
        std::vector<Entry> many;
        for (int i = 0; i < 100000; ++i) many.push_back({QString::number(i), "p", "l"});
        Unlocked u(many);
        const QByteArray bytes = u.vaultBytes();
        QCOMPARE(u.status(), QStringLiteral("Loaded 100000 entries"));
        QCOMPARE(u.items().text(100000), QStringLiteral("99999"));
        QVERIFY(u.app->vault.SaveData());
        QCOMPARE(u.vaultBytes(), bytes);
    }
};

QTEST_MAIN(tst_modGlobals)
#include "tst_modGlobals.moc"
