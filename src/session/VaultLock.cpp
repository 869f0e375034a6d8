// The lock that keeps a second running copy from the vault, beside the file
// that saves write.
#include "platform/DurableFile.h"
#include "platform/LockProbe.h"
#include "platform/OwnerOnly.h"
#include "session/VaultSession.h"
#include "vault/VaultFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryFile>

namespace {

// Who the lock file names, as far as this machine can tell.
enum class Holder {
    None,       // there is no lock file
    Here,       // a process of this machine, which the lock can look for
    HeldHere,   // a process of this machine holds the file: alive, whatever it names
    Elsewhere,  // another computer, or one this machine cannot tell from itself
    Unnamed,    // a file that names no holder: empty, garbage, a folder...
};
struct Found {
    Holder holder = Holder::None;
    QString host;
    VaultSession::LockHolder::Machine machine = VaultSession::LockHolder::Machine::Other;
    VaultSession::SeenLock seen;
};

// A lock file is a few short lines; anything larger is not one.
constexpr qint64 kMaxLockFile = 4096;

// Reads the lock file without waiting: a pipe or a huge file in its place
// names no one.
Found findHolder(const QString& lockPath) {
    using Machine = VaultSession::LockHolder::Machine;
    Found found;
    const DurableFile::ReadResult r =
        DurableFile::readPlain(lockPath, &found.seen.bytes, kMaxLockFile, &found.seen.stamp);
    if (r.kind == DurableFile::ReadKind::Missing) return {};
    // The process id, the program, the host name, then the machine id and
    // the boot id, one a line.
    const QList<QByteArray> lines = found.seen.bytes.split('\n');
    bool number = false;
    const qint64 pid = lines.value(0).toLongLong(&number);
    if (r.kind != DurableFile::ReadKind::Plain || !number || pid <= 0 || lines.size() < 4 || lines[2].isEmpty()) {
        found.holder = Holder::Unnamed;
        return found;
    }
    found.host = QString::fromUtf8(lines[2]);
    found.holder = Holder::Elsewhere;
    if (found.host != QSysInfo::machineHostName()) return found;
    // Machines left at their distribution's default share a host name; the
    // machine id tells them apart, and only with both ids is the holder's
    // process one this machine can look for.
    const QByteArray theirs = lines.value(3);
    const QByteArray ours = QSysInfo::machineUniqueId();
    if (theirs.isEmpty() || ours.isEmpty()) {
        // Alive here it is only when it holds the file as a lock's holder does.
        if (lockedByAProcess(lockPath)) found.holder = Holder::HeldHere;
        else found.machine = Machine::Unconfirmed;
    } else if (theirs != ours) {
        found.machine = Machine::Namesake;
    } else {
        found.holder = Holder::Here;
    }
    return found;
}

// The lock names this machine's ids: it is its owner's only, like the vault,
// from the moment it is made.
bool tryLockOwnerOnly(QLockFile& lock) {
    const OwnerOnlyCreation ownerOnly;
    return lock.tryLock(0);
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

VaultSession::VaultLock VaultSession::lockVault(QString* why, LockHolder* holder) {
    if (vaultLocked()) return VaultLock::Held;
    // Beside the file that saves write, however this copy reaches it.
    vaultLock_ = std::make_unique<QLockFile>(VaultFile::lockPath(vaultPath()));
    // Only a live holder counts: a lock left by a crash here is taken over.
    vaultLock_->setStaleLockTime(0);
    return judgeVaultLock(why, holder);
}

VaultSession::VaultLock VaultSession::judgeVaultLock(QString* why, LockHolder* holder) {
    const QString lockPath = vaultLock_->fileName();
    // The lock itself judges a holder by whatever the file names, and would
    // take another machine's live lock over: it is left only the holders this
    // machine can check.
    Found found = findHolder(lockPath);
    const bool tried = found.holder == Holder::None || found.holder == Holder::Here;
    if (tried && tryLockOwnerOnly(*vaultLock_)) return VaultLock::Held;
    const QString folder = QFileInfo(lockPath).absolutePath();
    if (!QFileInfo(folder).isWritable()) return VaultLock::ReadOnlyFolder;
    if (!tried || vaultLock_->error() == QLockFile::LockFailedError) {
        if (tried) found = findHolder(lockPath);
        switch (found.holder) {
            case Holder::Here:
            case Holder::HeldHere: return VaultLock::HeldByAnotherCopy;
            case Holder::Elsewhere:
                // What the user is asked about, and all that may be taken over.
                seenLock_ = found.seen;
                if (holder) *holder = {found.host, QFileInfo(lockPath).lastModified(), found.machine};
                return VaultLock::HeldOnAnotherMachine;
            case Holder::Unnamed:
                // A copy here that has just made the file holds it before it
                // writes its name in.
                if (lockedByAProcess(lockPath)) return VaultLock::HeldByAnotherCopy;
                break;
            case Holder::None:
                // Its holder has let go since.
                if (tryLockOwnerOnly(*vaultLock_)) return VaultLock::Held;
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

VaultSession::VaultLock VaultSession::takeOverVaultLock(QString* why, LockHolder* holder) {
    if (!vaultLock_) return lockVault(why, holder);
    if (vaultLock_->isLocked()) return VaultLock::Held;
    const QString lockPath = vaultLock_->fileName();
    QString problem;
    switch (removeLockIfUnchanged(lockPath, seenLock_.bytes, seenLock_.stamp, &problem)) {
        case LockRemoval::Removed:
        case LockRemoval::Gone:
        // Another lock than the one asked about: judged afresh, so that it is
        // told or asked about in turn.
        case LockRemoval::Changed: break;
        case LockRemoval::InUse: return VaultLock::HeldByAnotherCopy;
        case LockRemoval::Failed:
            if (why)
                *why = QStringLiteral("Cannot take over \"%1\": it cannot be removed: %2")
                           .arg(QDir::toNativeSeparators(lockPath), problem);
            return VaultLock::Failed;
    }
    return judgeVaultLock(why, holder);
}

bool VaultSession::vaultLocked() const { return vaultLock_ && vaultLock_->isLocked(); }
