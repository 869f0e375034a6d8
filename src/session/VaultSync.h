#pragma once

#include "platform/FileWatch.h"
#include "platform/Platform.h"
#include "vault/VaultFile.h"
#include "vault/VaultMerge.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <optional>

class ListItems;

// Keeps the open list and the vault file one: a change that something else
// makes to the file (a sync tool, another machine on a share) is read again
// and shown, merged with the list's own changes, or kept aside when it
// cannot be merged; and a save never goes over a version of the file that
// the program has not seen.
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
        // Saves the list as a change of the user's would, telling as it does.
        virtual bool saveEntries() = 0;

    protected:
        ~Vault() = default;
    };

    explicit VaultSync(Vault& vault);

    // The version of the file that the program has just read or written.
    void remember(const VaultFile::Version& version) { known_ = version; }
    const VaultFile::Version& known() const { return known_; }
    // ... and the entries the list was read from, the base of a merge.
    void rememberEntries(const QByteArray& bytes);
    const VaultMerge::Base& base() const { return base_; }

    // From now on an outside change is read again, and conflict copies beside
    // the vault are asked about; the program's own saves are not outside
    // changes.
    void follow();
    void stop();

    // The list holds changes that the file does not (their save failed): an
    // outside version is then merged with them.
    // A save that could not even start, as in a copy that saves nothing.
    void markUnsaved() { unsaved_ = true; }

    // What a save did besides writing the list.
    struct Saved {
        bool merged = false;      // onto a version of another program's
        qsizetype unmatched = 0;  // removals whose entry was changed or removed there
        QString keptAs;           // a version that could not be merged, kept aside
    };
    // Writes the list. A version on disk that the program has not seen is
    // merged first when it can be, or kept aside; where the file system can
    // swap the new file in, a version that lands meanwhile is merged too. The
    // list then shows what was saved.
    VaultFile::Result save(Saved* saved);

    // Just before a save that merges nothing replaces the file: a version on
    // disk that is not the one last read or written is kept aside first,
    // *keptAs naming where. False, with *error, when it could not be kept: the
    // save must not go on. One stat while the file is the one known.
    bool keepUnseen(QString* keptAs, QString* error);

    // A version just read that cannot be taken into the list: kept aside at
    // once, remembered, and told.
    void keepAside(const QByteArray& bytes, const VaultFile::Version& version, const QString& why);

    // Looks at the file, and at the copies beside it, now, as a settled
    // notification does.
    void check();

    // Why a merge can or cannot take a version in.
    enum class Kind { Same, Empty, Mergeable, NoPassword, OtherPassword, Unreadable };

private:
    void checkOnce();
    void lookForCopies();
    void askAbout(const QString& copy);
    bool sameBytes(const QByteArray& bytes) const;
    bool keepSeen(const QByteArray& bytes, const VaultFile::Version& version, QString* keptAs, QString* error);
    Kind kindOf(const QByteArray& bytes) const;
    void take(const QByteArray& bytes, const VaultFile::Version& version);
    void mergeIn(const QByteArray& theirs, const VaultFile::Version& version, Saved* saved);
    VaultFile::Result afterSwap(const QByteArray& written, const DurableFile::Stamp& created,
                                const VaultFile::Result& swapped);
    void tell(const QString& text);

    Vault& vault_;
    FileWatch watch_;
    VaultFile::Version known_;
    VaultMerge::Base base_;
    std::optional<VaultMerge::Base> mergedBase_;  // the base of what a merging save writes
    DurableFile::Stamp untaken_;                  // an outside version told as one that can be neither read nor kept
    Saved pending_;  // a merge made when a version arrived, told by the save that follows it
    bool unsaved_ = false;
    bool gone_ = false;         // told as deleted
    bool unreachable_ = false;  // told as out of reach
    bool checking_ = false;
    bool again_ = false;
    QSet<QString> asked_;  // conflict copies asked or told about in this run
};
