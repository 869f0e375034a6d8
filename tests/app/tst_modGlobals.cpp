#include "session/VaultSession.h"
#include "support/Unlocked.h"

#include "VaultEntries.h"
#include "platform/DurableFile.h"

#include <QApplication>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <random>
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

// A second writer in a process of its own, the way sync tools write: a new
// file beside the vault, renamed over it.
void secondWriter(const QString& path, const QByteArray& bytes) {
    QTemporaryDir elsewhere;
    const QString source = elsewhere.filePath("version");
    QFile f(source);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
    f.close();
    QCOMPARE(QProcess::execute("sh", {"-c", "cp \"$1\" \"$2.part\" && mv -f \"$2.part\" \"$2\"", "sh", source, path}),
             0);
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
    std::deque<MsgResult> answers = {};
    std::optional<QStringList> beside = {};  // the files beside the vault, when they matter
};

// A change of the user's that meets another writer's, and what is saved.
struct Merge {
    QString mine;              // "add" dan, "edit" bob's password, "delete" bob
    QByteArray theirs;         // what the other writer puts in place
    QString when = "before";   // just before the save, unnoticed, or "swap": between the look and the swap
    bool noSwap = false;       // a file system that cannot swap
    std::vector<Entry> saved;  // the vault's entries after the save, as the list shows them
    QString told = {};         // part of the one box the save brings, or empty for none
    QString statusPart = "merged with a change from another program";
    QByteArray keptAside = {};  // data.enc.bak's bytes, empty for none
};

}  // namespace

Q_DECLARE_METATYPE(Outside)
Q_DECLARE_METATYPE(Merge)

namespace {
const Entry dan{"dan", "4", "d.org"};
const Entry bobNew{"bob", "new", "b.org"};
const Entry amy9{"amy", "9", "a.org"};
const Entry bob9{"bob", "9", "b.org"};
}  // namespace

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
        QTest::newRow("over changes that could not be saved: merged and saved, nothing kept")
            << Outside{.before =
                           [](Unlocked& u) {
                               const auto old = DurableFile::setFaultHook(
                                   [](DurableFile::Op op) { return op == DurableFile::Op::Rename ? EIO : 0; });
                               u.items().add("dan", "4", "");
                               u.items().remove(1);  // bob
                               QVERIFY(!u.app->vault.SaveData());
                               DurableFile::setFaultHook(old);
                               u.fakes.messageBox->shown.clear();
                           },
                       .change =
                           [](Unlocked& u) {
                               renameOver(u.vaultPath(), vaultOf("pw", {cat, bob, amy}));
                           },
                       .shown = {"cat", "amy", "dan"},
                       .statusPart = "merged with a change from another program",
                       .saved = {cat, amy, {"dan", "4", ""}}};
        QTest::newRow("changed just before a save, unnoticed: the save merges onto it")
            << Outside{.before = [](Unlocked& u) { u.app->vault.sync.stop(); },  // a share that sends no notifications
                       .change =
                           [](Unlocked& u) {
                               renameOver(u.vaultPath(), vaultOf("pw", {cat, bob}));
                           },
                       .shown = {"bob", "amy"},
                       .saved = {cat, bob}};
        QTest::newRow("out of reach, then back as it was: told once, nothing kept or read again") << Outside{
            .change =
                [](Unlocked& u) {
                    // A name that leads round in circles cannot be looked at, even by root.
                    const QByteArray path = QFile::encodeName(u.vaultPath());
                    const QByteArray hold = QFile::encodeName(u.dir() + "/held");
                    QCOMPARE(::link(path.constData(), hold.constData()), 0);
                    QCOMPARE(::unlink(path.constData()), 0);
                    QCOMPARE(::symlink("data.enc", path.constData()), 0);
                    u.app->vault.sync.check();
                    u.app->vault.sync.check();
                    QCOMPARE(std::rename(hold.constData(), path.constData()), 0);
                    u.app->vault.sync.check();
                },
            .shown = {"bob", "amy"},
            .told = "cannot be reached: Too many levels of symbolic links.\n\nThe list still shows your entries",
            .statusPart = "The vault file cannot be reached",
            .saved = {bob, amy}};
        // Sync tools' conflict copies, each asked about once: Yes merges what
        // the vault lacks and renames the copy, No leaves it.
        const std::pair<const char*, std::vector<Entry>> copies[] = {
            {"data.sync-conflict-20261209-031200-ABCDEFG.enc", {amy, cat}},
            {"data (conflicted copy 2026-12-09 031200).enc", {cat}},
            {"data (laptop's conflicted copy 2026-12-09).enc", {bob, cat, amy}},
        };
        for (const auto& [name, held] : copies) {
            const QString copy = name;
            const QByteArray bytes = vaultOf("pw", held);
            for (const bool yes : {true, false}) {
                QTest::addRow("%s, %s", name, yes ? "Yes" : "No")
                    << Outside{.change = [copy, bytes](Unlocked& u) { renameOver(u.dir() + "/" + copy, bytes); },
                               .shown = yes ? QStringList{"bob", "amy", "cat"} : QStringList{"bob", "amy"},
                               .told = "It holds 1 entry that the vault does not.\n\nMerge it into the vault?",
                               .statusPart = yes ? "Merged 1 entry from" : "",
                               .saved = yes ? std::vector<Entry>{bob, amy, cat} : std::vector<Entry>{bob, amy},
                               .answers = {yes ? MsgResult::Yes : MsgResult::No},
                               .beside = QStringList{yes ? copy + ".merged" : copy}};
            }
        }
        QTest::newRow("a conflict copy under another master password: told, never merged") << Outside{
            .change =
                [](Unlocked& u) {
                    renameOver(u.dir() + "/data (conflicted copy 2026-12-09 031200).enc", vaultOf("other", {cat}));
                },
            .shown = {"bob", "amy"},
            .told = "It was saved with another master password, or with none, so it cannot be merged",
            .saved = {bob, amy},
            .beside = QStringList{"data (conflicted copy 2026-12-09 031200).enc"}};
        QTest::newRow("a version a save displaced and could not look at: asked like a conflict copy") << Outside{
            .change =
                [](Unlocked& u) { renameOver(u.dir() + "/data.enc.displaced-00000000000000aa", vaultOf("pw", {cat})); },
            .shown = {"bob", "amy", "cat"},
            .told = "It holds 1 entry",
            .statusPart = "Merged 1 entry from",
            .saved = {bob, amy, cat},
            .answers = {MsgResult::Yes},
            .beside = QStringList{"data.enc.displaced-00000000000000aa.merged"}};
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
        u.fakes.messageBox->answers = o.answers;
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
        if (o.beside) {
            QStringList names = QDir(u.dir()).entryList(QDir::Files | QDir::Hidden);
            names.removeAll("data.enc");
            names.removeAll("data.enc.lock");
            QCOMPARE(names, *o.beside);
        }
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

    // An add, an edit and a delete, each meeting another writer's add, edit
    // or delete that landed just before the save, or between its look at the
    // file and its swap. Nothing of either side is lost, nothing deleted on
    // either side comes back, and nothing is set aside.
    void changesMergeWithAnotherWritersChanges_data() {
        QTest::addColumn<Merge>("m");
        const auto pw = [](const std::vector<Entry>& e) { return vaultOf("pw", e); };
        const char* kinds[] = {"add", "edit", "delete"};
        const QByteArray theirs[] = {pw({amy, bob, cat}), pw({amy9, bob}), pw({bob})};
        const char* theirNames[] = {"an add", "an edit", "a delete"};
        // The list's own order, the other side's additions where they stand there.
        const std::vector<Entry> saved[3][3] = {
            {{amy, bob, cat, dan}, {amy9, bob, dan}, {bob, dan}},
            {{amy, bobNew, cat}, {amy9, bobNew}, {bobNew}},
            {{amy, cat}, {amy9}, {}},
        };
        for (int k = 0; k < 3; ++k) {
            for (int t = 0; t < 3; ++t) {
                QTest::addRow("%s onto %s", kinds[k], theirNames[t])
                    << Merge{.mine = kinds[k], .theirs = theirs[t], .saved = saved[k][t]};
            }
        }
        QTest::newRow("an add made on both sides: kept once")
            << Merge{.mine = "add", .theirs = pw({amy, bob, dan}), .saved = {amy, bob, dan}};
        QTest::newRow("an edit of an entry edited there: a new entry")
            << Merge{.mine = "edit",
                     .theirs = pw({amy, bob9}),
                     .saved = {amy, bob9, bobNew},
                     .told = "Your changes are saved as a new entry."};
        QTest::newRow("an edit of an entry deleted there: a new entry")
            << Merge{.mine = "edit",
                     .theirs = pw({amy}),
                     .saved = {amy, bobNew},
                     .told = "Your changes are saved as a new entry."};
        QTest::newRow("a delete of an entry edited there: nothing deleted")
            << Merge{.mine = "delete",
                     .theirs = pw({amy, bob9}),
                     .saved = {amy, bob9},
                     .told = "Nothing was deleted.",
                     .statusPart = "Entry not deleted: it was changed or removed by another program"};
        QTest::newRow("a delete of an entry deleted there too") << Merge{.mine = "delete",
                                                                         .theirs = pw({amy}),
                                                                         .saved = {amy},
                                                                         .told = "Nothing was deleted.",
                                                                         .statusPart = "Entry not deleted"};
        QTest::newRow("an add onto an add landing between the look and the swap")
            << Merge{.mine = "add", .theirs = pw({amy, bob, cat}), .when = "swap", .saved = {amy, bob, cat, dan}};
        QTest::newRow("a delete onto an edit landing between the look and the swap")
            << Merge{.mine = "delete", .theirs = pw({amy9, bob}), .when = "swap", .saved = {amy9}};
        QTest::newRow("another master password landing between the look and the swap: kept aside")
            << Merge{.mine = "add",
                     .theirs = vaultOf("other", {cat}),
                     .when = "swap",
                     .saved = {amy, bob, dan},
                     .told = "That version has been kept as",
                     .statusPart = "Added new entry.  Data saved.",
                     .keptAside = vaultOf("other", {cat})};
        QTest::newRow("another master password: kept aside") << Merge{.mine = "add",
                                                                      .theirs = vaultOf("other", {cat}),
                                                                      .saved = {amy, bob, dan},
                                                                      .told = "That version has been kept as",
                                                                      .statusPart = "Added new entry.  Data saved.",
                                                                      .keptAside = vaultOf("other", {cat})};
        QTest::newRow("no swap on this file system, nothing landing: a plain save")
            << Merge{.mine = "add",
                     .theirs = {},
                     .when = "swap",
                     .noSwap = true,
                     .saved = {amy, bob, dan},
                     .statusPart = "Added new entry.  Data saved."};
    }
    void changesMergeWithAnotherWritersChanges() {
        QFETCH(Merge, m);
        Unlocked u({amy, bob});
        const QString path = u.vaultPath();
        const auto land = [&] {
            if (!m.theirs.isEmpty()) secondWriter(path, m.theirs);
        };
        bool landed = false;
        const auto old = DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op != DurableFile::Op::Swap || m.when != "swap") return 0;
            if (!std::exchange(landed, true)) land();
            return m.noSwap ? EINVAL : 0;
        });
        const auto before = [&] {
            if (m.when == "before") land();
        };
        if (m.mine == "delete") {
            u.items().setSelected(2, true);
            bool asked = false;
            u.fakes.messageBox->whileOpen = [&] {
                if (!std::exchange(asked, true)) before();
            };
            u.main->cmdDelete_Click();
            u.fakes.messageBox->whileOpen = nullptr;
            u.fakes.messageBox->shown.removeFirst();  // the question
        } else {
            if (m.mine == "edit") {
                u.items().setSelected(2, true);
                u.main->cmdEdit_Click();
            } else {
                u.main->cmdAdd_Click(0);
            }
            frmAdd* editor = u.app->forms.get<frmAdd>();
            if (m.mine == "edit") {
                editor->txtPassword->setText("new");
            } else {
                editor->txtUsername->setText(dan.username);
                editor->txtPassword->setText(dan.password);
                editor->txtWebsite->setText(dan.location);
            }
            before();
            editor->cmdAdd_Click(0);
        }
        DurableFile::setFaultHook(old);
        const QByteArray expected = vaultOf("pw", m.saved);
        QCOMPARE(u.vaultBytes(), expected);
        QStringList names;
        for (const Entry& e : m.saved) names << e.username;
        QCOMPARE(u.usernames(), names);
        QVERIFY2(u.status().contains(m.statusPart), qPrintable(u.status()));
        const auto& shown = u.fakes.messageBox->shown;
        QCOMPARE(shown.size(), qsizetype(m.told.isEmpty() ? 0 : 1));
        if (!m.told.isEmpty()) QVERIFY2(shown.front().text.contains(m.told), qPrintable(shown.front().text));
        QCOMPARE(fileBytes(path + ".bak"), m.keptAside.isEmpty() ? QByteArray("<missing>") : m.keptAside);
        QStringList beside = QDir(u.dir()).entryList(QDir::Files | QDir::Hidden);
        beside.removeAll("data.enc");
        beside.removeAll("data.enc.lock");
        beside.removeAll("data.enc.bak");
        QCOMPARE(beside, QStringList{});

        // The watcher's notifications of both writers, once settled, find the
        // program's own save: nothing read again, nothing told.
        const QString status = u.status();
        QTest::qWait(FileWatch::kSettleMs * 3);
        QCOMPARE(u.status(), status);
        QCOMPARE(shown.size(), qsizetype(m.told.isEmpty() ? 0 : 1));
        QCOMPARE(u.vaultBytes(), expected);
    }

    // Two writers taking turns at moments close to each other, as two
    // machines behind a sync tool do: the program adds, edits and deletes
    // entries of its own while a second writer does the same to entries of
    // its own, just before a save, in the swap, after one or after a reload.
    // At the end the vault holds exactly both sides' entries: nothing set
    // aside, no deletion undone, no box.
    void manyRacingSavesLoseNothing() {
        Unlocked u({amy});
        const QString path = u.vaultPath();
        std::mt19937 random(20261209);
        QStringList expected{"amy|1|a.org"};  // both sides' entries, as "user|password|location"
        const auto line = [](const Entry& e) { return e.username + "|" + e.password + "|" + e.location; };
        const auto ownOf = [&](const QString& side) {
            QStringList own;
            for (const QString& e : expected)
                if (e.startsWith(side)) own << e;
            return own;
        };
        // The second writer reads what is there and changes one entry of its own.
        int writes = 0;
        const auto writer = [&] {
            std::vector<Entry> entries = VaultCodec::readEntries(fileBytes(path));
            const QStringList own = ownOf("w");
            const int op = own.isEmpty() ? 0 : static_cast<int>(random() % 3);
            const QString name = "w" + QString::number(writes++);
            if (op == 0) {
                entries.push_back({name, "x", "w.org"});
                expected << line(entries.back());
            } else {
                const QString victim = own[static_cast<qsizetype>(random() % own.size())];
                const auto at =
                    std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return line(e) == victim; });
                QVERIFY2(at != entries.end(), qPrintable("the writer's entry is gone: " + victim));
                expected.removeOne(victim);
                if (op == 1) {
                    at->password = name;
                    expected << line(*at);
                } else {
                    entries.erase(at);
                }
            }
            secondWriter(path, vaultOf("pw", entries));
        };
        bool inSwap = false;
        const auto old = DurableFile::setFaultHook([&](DurableFile::Op op) {
            if (op == DurableFile::Op::Swap && std::exchange(inSwap, false)) writer();
            return 0;
        });
        for (int i = 0; i < 55; ++i) {
            const int when = static_cast<int>(random() % 4);
            if (when == 0) writer();  // just before the save, unnoticed
            if (when == 1) {
                writer();
                QTest::qWait(static_cast<int>(random() % (2 * FileWatch::kSettleMs)));
            }
            inSwap = when == 2;
            // The program's own change, saved at once.
            ListItems& items = u.items();
            const QStringList own = ownOf("t");
            const int op = own.isEmpty() ? 0 : static_cast<int>(random() % 3);
            const QString name = "t" + QString::number(i);
            if (op == 0) {
                items.add(name, "y", "t.org");
                expected << line({name, "y", "t.org"});
            } else {
                const QString victim = own[static_cast<qsizetype>(random() % own.size())];
                qsizetype row = 0;
                for (qsizetype r = 1; r <= items.count() && row == 0; ++r)
                    if (line(items.entry(r).toEntry()) == victim) row = r;
                QVERIFY2(row != 0, qPrintable("the program's entry is gone: " + victim));
                expected.removeOne(victim);
                if (op == 1) {
                    items.setSubItem(row, 1, name);
                    expected << line(items.entry(row).toEntry());
                } else {
                    items.remove(row);
                }
            }
            QVERIFY(u.app->vault.SaveData());
            if (when == 3) writer();  // just after
            QTest::qWait(static_cast<int>(random() % 60));
        }
        DurableFile::setFaultHook(old);
        QTest::qWait(FileWatch::kSettleMs * 3);
        expected.sort();
        QStringList inVault;
        for (const Entry& e : VaultCodec::readEntries(fileBytes(path))) inVault << line(e);
        inVault.sort();
        QStringList shown;
        for (qsizetype r = 1; r <= u.items().count(); ++r) shown << line(u.items().entry(r).toEntry());
        shown.sort();
        QCOMPARE(inVault, expected);
        QCOMPARE(shown, expected);
        QCOMPARE(u.fakes.messageBox->shown.size(), 0);
        QStringList beside = QDir(u.dir()).entryList(QDir::Files | QDir::Hidden);
        beside.removeAll("data.enc");
        beside.removeAll("data.enc.lock");
        QCOMPARE(beside, QStringList{});
    }

    // A version that cannot be merged is kept once, beside the file the
    // vault's link leads to, however often the save then fails and however
    // many notifications follow; the save that finally succeeds writes over it.
    void aVersionKeptAsideIsKeptOnceBesideTheFile() {
        Unlocked u({bob, amy});
        QTemporaryDir elsewhere;  // where the link leads: another volume, say
        const QString real = elsewhere.filePath("data.enc");
        QVERIFY(QFile::rename(u.vaultPath(), real));
        QVERIFY(QFile::link(real, u.vaultPath()));
        u.items().add(dan.username, dan.password, dan.location);
        const QByteArray other = vaultOf("other", {cat});
        renameOver(real, other);
        {
            const auto old =
                DurableFile::setFaultHook([](DurableFile::Op op) { return op == DurableFile::Op::Swap ? EIO : 0; });
            QVERIFY(!u.app->vault.SaveData());
            QTest::qWait(FileWatch::kSettleMs * 3);  // the notifications of that version
            QVERIFY(!u.app->vault.SaveData());
            DurableFile::setFaultHook(old);
        }
        QCOMPARE(fileBytes(real + ".bak"), other);
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), (QStringList{"data.enc", "data.enc.bak"}));
        QCOMPARE(QDir(u.dir()).entryList(QDir::Files), (QStringList{"data.enc", "data.enc.lock"}));
        const auto& shown = u.fakes.messageBox->shown;
        const auto kept = std::count_if(shown.begin(), shown.end(),
                                        [](const auto& m) { return m.text.contains("has been kept as"); });
        QCOMPARE(kept, 1);
        QVERIFY(u.app->vault.SaveData());
        QCOMPARE(fileBytes(real), vaultOf("pw", {bob, amy, dan}));
        QCOMPARE(fileBytes(real + ".bak"), other);
        QVERIFY(!QFileInfo::exists(real + ".bak.1"));
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
