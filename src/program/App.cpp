#include "program/App.h"

#include "platform/DurableFile.h"
#include "platform/LockProbe.h"
#include "platform/Memory.h"
#include "vault/VaultFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QtGlobal>

static void initResources() { Q_INIT_RESOURCE(resources); }

App::App(Platform p) : platform(std::move(p)) {
    // The pictures live in this library; a static link would otherwise drop them.
    initResources();
}

App::~App() = default;

QString App::vaultPath() const { return VaultFile::vaultPath(platform.appInfo->applicationDir()); }

namespace {

// Who the lock file names, as far as this machine can tell.
enum class Holder {
    None,       // there is no lock file
    Here,       // a process of this machine, which the lock can look for
    Elsewhere,  // another computer, or one this machine cannot tell from itself
    Unnamed,    // a file that names no holder: empty, garbage, a folder...
};
struct Found {
    Holder holder = Holder::None;
    QString host;
    bool sameHostName = false;
};

// A lock file is a few short lines; anything larger is not one.
constexpr qint64 kMaxLockFile = 4096;

// Reads the lock file without waiting: a pipe or a huge file in its place
// names no one.
Found findHolder(const QString& lockPath) {
    QByteArray bytes;
    const DurableFile::ReadResult r = DurableFile::readPlain(lockPath, &bytes, kMaxLockFile);
    if (r.kind == DurableFile::ReadKind::Missing) return {};
    // The process id, the program, the host name, then the machine id and
    // the boot id, one a line.
    const QList<QByteArray> lines = bytes.split('\n');
    bool number = false;
    const qint64 pid = lines.value(0).toLongLong(&number);
    if (r.kind != DurableFile::ReadKind::Plain || !number || pid <= 0 || lines.size() < 4 || lines[2].isEmpty())
        return {Holder::Unnamed, {}, false};
    const QString host = QString::fromUtf8(lines[2]);
    if (host != QSysInfo::machineHostName()) return {Holder::Elsewhere, host, false};
    // Machines left at their distribution's default share a host name; the
    // machine id tells them apart.
    const QByteArray theirs = lines.size() > 4 ? lines[3] : QByteArray();
    const QByteArray ours = QSysInfo::machineUniqueId();
    if (!theirs.isEmpty() && !ours.isEmpty() && theirs != ours) return {Holder::Elsewhere, host, true};
    return {Holder::Here, host, false};
}

// The lock names this machine's ids: it is its owner's only, like the vault.
App::VaultLock heldOwnerOnly(const QString& lockPath) {
    QFile::setPermissions(lockPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return App::VaultLock::Held;
}

// Why the lock file could not be made, as far as the folder tells.
QString folderProblem(const QString& folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.tressik-XXXXXX"));
    if (!probe.open()) return probe.errorString();
    const QByteArray bytes(64, 'x');
    if (probe.write(bytes) != bytes.size() || !probe.flush()) return probe.errorString();
    return {};
}

}  // namespace

App::VaultLock App::lockVault(QString* why, LockHolder* holder) {
    if (vaultLocked()) return VaultLock::Held;
    const QString lockPath = vaultPath() + QStringLiteral(".lock");
    vaultLock_ = std::make_unique<QLockFile>(lockPath);
    // Only a live holder counts: a lock left by a crash here is taken over.
    vaultLock_->setStaleLockTime(0);
    // The lock itself judges a holder by its machine id alone, and would take
    // a cloned machine's live lock over: it sees only holders it can check.
    Found found = findHolder(lockPath);
    const bool tried = found.holder == Holder::None || found.holder == Holder::Here;
    if (tried && vaultLock_->tryLock(0)) return heldOwnerOnly(lockPath);
    const QString folder = QFileInfo(vaultPath()).absolutePath();
    if (!QFileInfo(folder).isWritable()) return VaultLock::ReadOnlyFolder;
    if (!tried || vaultLock_->error() == QLockFile::LockFailedError) {
        if (tried) found = findHolder(lockPath);
        switch (found.holder) {
            case Holder::Here: return VaultLock::HeldByAnotherCopy;
            case Holder::Elsewhere:
                if (holder) *holder = {found.host, QFileInfo(lockPath).lastModified(), found.sameHostName};
                return VaultLock::HeldOnAnotherMachine;
            case Holder::Unnamed:
                // A copy here that has just made the file holds it before it
                // writes its name in.
                if (lockedByAProcess(lockPath)) return VaultLock::HeldByAnotherCopy;
                break;
            case Holder::None:
                // Its holder has let go since.
                if (vaultLock_->tryLock(0)) return heldOwnerOnly(lockPath);
                break;
        }
    }
    QString reason;
    if (found.holder == Holder::Unnamed || vaultLock_->error() == QLockFile::LockFailedError) {
        reason = QStringLiteral(
            "something is in its place that names no running program; if no other copy of Tressik is running, "
            "delete it");
    } else if (vaultLock_->error() == QLockFile::PermissionError) {
        reason = QStringLiteral("permission denied");
    } else {
        reason = folderProblem(folder);
        if (reason.isEmpty()) reason = QStringLiteral("it could not be created");
    }
    if (why) *why = QStringLiteral("Cannot create \"%1\": %2").arg(QDir::toNativeSeparators(lockPath), reason);
    return VaultLock::Failed;
}

App::VaultLock App::takeOverVaultLock(QString* why) {
    if (vaultLock_ && !vaultLock_->isLocked()) {
        // Fails when the lock has gone while the user was asked: it is then
        // simply taken.
        vaultLock_->removeStaleLockFile();
        if (vaultLock_->tryLock(0)) return heldOwnerOnly(vaultPath() + QStringLiteral(".lock"));
    }
    if (why)
        *why = QStringLiteral(
                   "Cannot take over \"%1.lock\": another program has just locked it, or it cannot be "
                   "removed")
                   .arg(QDir::toNativeSeparators(vaultPath()));
    return VaultLock::Failed;
}

bool App::vaultLocked() const { return vaultLock_ && vaultLock_->isLocked(); }

void App::letGoOfVault() {
    vault.sync.stop();
    vault.sync.remember({});
    vault.entries().clear();
    vaultLock_.reset();
    vault.strMasterPassword.clear();
    vault.strSavedPassword.clear();
    g.strEditMode.clear();
    g.strEditUsername.clear();
    g.strEditPassword.clear();
    g.strEditLocation.clear();
    g.editRowId = 0;
    // Freed, and given back rather than kept resident.
    releaseFreeMemory();
}

MsgResult App::msgBox(QWidget* parent, const QString& text, const QString& caption, MsgButtons buttons,
                      MsgResult defaultButton, MsgIcon icon) {
    MessageBoxRequest request;
    request.parent = parent;
    request.text = text;
    request.caption = caption.isEmpty() ? platform.appInfo->title() : caption;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    request.icon = icon;
    return platform.messageBox->show(request);
}

void SetStatus(App& app, const QString& text) {
    if (app.order) app.order->SetStatus(text);
}

void ShowWebsiteWindow(App& app) {
    if (!app.platform.website) return;
    const Globals& g = app.g;
    app.platform.website->show({g.strProgramName, g.strCompany, g.strWebsite, g.blnSkin});
}
