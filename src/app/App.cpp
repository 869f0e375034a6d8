#include "app/App.h"

#include "app/WebsiteWindow.h"
#include "app/frmSplash.h"
#include "vault/VaultFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QtGlobal>

static void initResources() { Q_INIT_RESOURCE(resources); }

App::App(Platform p) : platform(std::move(p)) {
    // The pictures live in this library; a static link would otherwise drop them.
    initResources();
    g.reloadSkin = [this] { frmSplash::ReloadForSkin(*this); };
    WatchWebsiteWindow(*this);
}

App::~App() = default;

QString App::vaultPath() const { return VaultFile::vaultPath(platform.appInfo->applicationDir()); }

namespace {

bool holderNamed(const QLockFile& lock, QString* host = nullptr) {
    qint64 pid = 0;
    QString machine;
    QString application;
    if (!lock.getLockInfo(&pid, &machine, &application)) return false;
    if (host) *host = machine;
    return true;
}

// A holder on another computer: its process cannot be looked for from here.
bool elsewhere(const QString& host) { return !host.isEmpty() && host != QSysInfo::machineHostName(); }

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
    // Only a live holder counts: a lock left by a crash is taken over.
    vaultLock_->setStaleLockTime(0);
    if (vaultLock_->tryLock(0)) return VaultLock::Held;
    const QString folder = QFileInfo(vaultPath()).absolutePath();
    if (!QFileInfo(folder).isWritable()) return VaultLock::ReadOnlyFolder;
    if (vaultLock_->error() == QLockFile::LockFailedError) {
        if (QString host; holderNamed(*vaultLock_, &host)) {
            if (!elsewhere(host)) return VaultLock::HeldByAnotherCopy;
            if (holder) *holder = {host, QFileInfo(lockPath).lastModified()};
            return VaultLock::HeldOnAnotherMachine;
        }
        // A copy that has just made the lock file names itself in it at once.
        if (vaultLock_->tryLock(1000)) return VaultLock::Held;
        if (vaultLock_->error() == QLockFile::LockFailedError && holderNamed(*vaultLock_))
            return VaultLock::HeldByAnotherCopy;
    }
    QString reason;
    switch (vaultLock_->error()) {
        case QLockFile::LockFailedError:
            reason = QStringLiteral(
                "something is in its place that names no running program; if no other copy of "
                "Tressik is running, delete it");
            break;
        case QLockFile::PermissionError: reason = QStringLiteral("permission denied"); break;
        default:
            reason = folderProblem(folder);
            if (reason.isEmpty()) reason = QStringLiteral("it could not be created");
            break;
    }
    if (why) *why = QStringLiteral("Cannot create \"%1\": %2").arg(QDir::toNativeSeparators(lockPath), reason);
    return VaultLock::Failed;
}

App::VaultLock App::takeOverVaultLock(QString* why) {
    if (vaultLock_ && !vaultLock_->isLocked() && vaultLock_->removeStaleLockFile() && vaultLock_->tryLock(0))
        return VaultLock::Held;
    if (why)
        *why = QStringLiteral(
                   "Cannot take over \"%1.lock\": another program has just locked it, or it cannot be "
                   "removed")
                   .arg(QDir::toNativeSeparators(vaultPath()));
    return VaultLock::Failed;
}

bool App::vaultLocked() const { return vaultLock_ && vaultLock_->isLocked(); }

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
