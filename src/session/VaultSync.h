#pragma once

#include "platform/FileWatch.h"
#include "platform/Platform.h"
#include "vault/VaultFile.h"

#include <QByteArray>
#include <QString>

class ListItems;

// Keeps the open list and the vault file one: a change that something else
// makes to the file (a sync tool, another machine on a share) is read again
// and shown, or kept aside when it cannot be shown; and a save never goes
// over a version of the file that the program has not seen.
class VaultSync {
public:
    // What following the file needs of the open vault it belongs to.
    class Vault {
    public:
        virtual QString vaultPath() const = 0;
        virtual const QString& masterPassword() const = 0;
        virtual ListItems& entries() = 0;
        virtual bool ended() const = 0;
        virtual void SetStatus(const QString& text) = 0;
        virtual MsgResult msgBox(const QString& text, MsgButtons buttons, MsgResult defaultButton, MsgIcon icon) = 0;
        virtual void entriesReplaced() = 0;

    protected:
        ~Vault() = default;
    };

    explicit VaultSync(Vault& vault);

    // The version of the file that the program has just read or written.
    void remember(const VaultFile::Version& version) { known_ = version; }
    const VaultFile::Version& known() const { return known_; }

    // From now on an outside change is read again; the program's own saves
    // are not outside changes.
    void follow();
    void stop();

    // The list holds changes that the file does not (their save failed): an
    // outside version is then kept aside rather than shown over them.
    void setUnsaved(bool unsaved) { unsaved_ = unsaved; }

    // Just before a save replaces the file: a version on disk that is not the
    // one last read or written is kept aside first, *keptAs naming where.
    // False, with *error, when it could not be kept: the save must not go on.
    // One stat while the file is the one known.
    bool keepUnseen(QString* keptAs, QString* error);

    // A version just read that cannot be taken into the list: kept aside at
    // once, remembered, and told.
    void keepAside(const QByteArray& bytes, const VaultFile::Version& version, const QString& why);

    // Looks at the file now, as a settled notification does.
    void check();

private:
    void checkOnce();
    bool sameBytes(const QByteArray& bytes) const;
    void take(const QByteArray& bytes, const VaultFile::Version& version);
    void tell(const QString& text);

    Vault& vault_;
    FileWatch watch_;
    VaultFile::Version known_;
    DurableFile::Stamp untaken_;  // an outside version told as one that can be neither read nor kept
    bool unsaved_ = false;
    bool checking_ = false;
    bool again_ = false;
};
