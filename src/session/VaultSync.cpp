#include "session/VaultSync.h"

#include "listview/ListItems.h"
#include "platform/Memory.h"
#include "vault/VaultCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>

VaultSync::VaultSync(Vault& vault) : vault_(vault) {
    QObject::connect(&watch_, &FileWatch::settled, &watch_, [this] { check(); });
}

void VaultSync::follow() {
    if (!watch_.watching()) watch_.watch(vault_.vaultPath());
}

void VaultSync::stop() { watch_.stop(); }

namespace {

// No master password and no entries: a file with nothing in it to lose.
bool holdsNothing(const QByteArray& bytes) {
    return VaultCodec::readMasterPassword(bytes).isEmpty() && !VaultCodec::hasEntryLines(bytes);
}

}  // namespace

bool VaultSync::sameBytes(const QByteArray& bytes) const {
    return known_.stamp.exists && bytes.size() == known_.stamp.size &&
           VaultFile::Version::fingerprintOf(bytes) == known_.fingerprint;
}

bool VaultSync::keepUnseen(QString* keptAs, QString* error) {
    const QString path = vault_.vaultPath();
    const DurableFile::Stamp now = DurableFile::stampOf(path);
    // Unchanged, or gone: there is nothing to lose. A folder in the way is the
    // save's to tell.
    if (now == known_.stamp || !now.exists || !QFileInfo(path).isFile()) return true;
    QByteArray bytes;
    DurableFile::Stamp read;
    if (VaultFile::Result r = VaultFile::read(path, &bytes, &read); !r.ok) {
        *error = QStringLiteral(
                     "The vault file has been changed by another program and cannot be read, so it cannot be kept "
                     "before your changes replace it: ") +
                 r.error;
        return false;
    }
    if (sameBytes(bytes) || holdsNothing(bytes)) return true;
    if (VaultFile::Result r = VaultFile::keep(path, bytes, keptAs); !r.ok) {
        *error = QStringLiteral(
                     "The vault file has been changed by another program, and that version could not be kept "
                     "before your changes replace it: ") +
                 r.error;
        return false;
    }
    return true;
}

void VaultSync::check() {
    // A message box below runs events, and with them further notifications.
    if (checking_) {
        again_ = true;
        return;
    }
    checking_ = true;
    do {
        again_ = false;
        checkOnce();
    } while (again_ && watch_.watching() && !vault_.ended());
    checking_ = false;
}

void VaultSync::checkOnce() {
    if (!watch_.watching()) return;
    const QString path = vault_.vaultPath();
    const DurableFile::Stamp now = DurableFile::stampOf(path);
    // Known, or already told as one that can be neither read nor kept.
    if (now == known_.stamp || (now.exists && now == untaken_)) return;
    const QString shown = QDir::toNativeSeparators(path);
    if (!now.exists) {
        known_ = {};
        vault_.SetStatus(QStringLiteral("The vault file was deleted by another program"));
        tell(QStringLiteral("The vault file %1 has been deleted by another program.\n\nThe list still shows your "
                            "entries; your next change writes the vault file again.")
                 .arg(shown));
        return;
    }
    QByteArray bytes;
    DurableFile::Stamp read;
    if (VaultFile::Result r = VaultFile::read(path, &bytes, &read); !r.ok) {
        untaken_ = now;
        tell(QStringLiteral("The vault file %1 has been changed by another program, and Tressik cannot read it.\n\n"
                            "%2\n\nThe list stays as it was, and Tressik saves nothing over the file while it "
                            "cannot keep a copy of it.")
                 .arg(shown, r.error));
        return;
    }
    if (sameBytes(bytes)) {
        known_.stamp = read;  // touched, not changed
        return;
    }
    const VaultFile::Version version = VaultFile::Version::of(read, bytes);
    const QString password = VaultCodec::readMasterPassword(bytes);
    if (holdsNothing(bytes)) {
        known_ = version;
        vault_.SetStatus(QStringLiteral("The vault file was emptied by another program"));
        tell(QStringLiteral("The vault file %1 has been emptied by another program.\n\nThe list still shows your "
                            "entries; your next change writes the vault file again.")
                 .arg(shown));
    } else if (password.isEmpty()) {
        keepAside(bytes, version, QStringLiteral("it holds no master password"));
    } else if (password != vault_.masterPassword()) {
        keepAside(bytes, version, QStringLiteral("it was saved with another master password"));
    } else if (unsaved_) {
        keepAside(bytes, version, QStringLiteral("the list holds changes of yours that are not saved yet"));
    } else {
        take(bytes, version);
    }
}

void VaultSync::take(const QByteArray& bytes, const VaultFile::Version& version) {
    const VaultCodec::EntryLines lines(bytes);
    const qsizetype count = lines.count();
    vault_.entries().replaceAll(lines);
    known_ = version;
    releaseFreeMemory();
    vault_.entriesReplaced();
    vault_.SetStatus(QStringLiteral("Reloaded ") + QString::number(count) +
                     QStringLiteral(" entries: the vault file was changed by another program"));
}

void VaultSync::keepAside(const QByteArray& bytes, const VaultFile::Version& version, const QString& why) {
    const QString path = vault_.vaultPath();
    const QString shown = QDir::toNativeSeparators(path);
    QString keptAs;
    if (VaultFile::Result r = VaultFile::keep(path, bytes, &keptAs); !r.ok) {
        // Not remembered: the next save tries to keep it again, and does not go on without.
        untaken_ = version.stamp;
        tell(QStringLiteral("The vault file %1 has been changed by another program, and Tressik cannot show that "
                            "version: %2.  It could not be kept aside either.\n\n%3\n\nThe list stays as it was, "
                            "and Tressik saves nothing over the file until it can keep a copy of it.")
                 .arg(shown, why, r.error));
        return;
    }
    known_ = version;
    vault_.SetStatus(QStringLiteral("Another version of the vault file was kept as ") +
                     QDir::toNativeSeparators(keptAs));
    tell(QStringLiteral("The vault file %1 has been changed by another program, and Tressik cannot show that "
                        "version: %2.\n\nThat version has been kept as %3.  The list stays as it was; your next "
                        "change saves it over the vault file.")
             .arg(shown, why, QDir::toNativeSeparators(keptAs)));
}

void VaultSync::tell(const QString& text) { vault_.msgBox(text, MsgButtons::Ok, MsgResult::Ok, MsgIcon::Warning); }
