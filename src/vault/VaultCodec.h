#pragma once

#include "entry/Entry.h"
#include "entry/EntrySource.h"
#include "entry/PackedEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// The vault's bytes, lines and entries. Every vault line is stored through
// ScrambleText in the Windows-1252 code page, with CR LF line ends.
namespace VaultCodec {

inline constexpr char kFieldSeparator[] = "|||";

// Inverts the highest bit of every byte: its own inverse (128 <-> 0 included).
QByteArray ScrambleText(QByteArray text);

// Line 1, unscrambled. Empty for an empty file or an empty first line.
QString readMasterPassword(const QByteArray& bytes);

// Every entry line after line 1, each packed as code-page bytes, skipping
// lines that are empty or one space (tested while still scrambled). Missing
// pieces load as empty fields; pieces after the third are ignored.
std::vector<PackedEntry> readPackedEntries(const QByteArray& bytes);

// The entry lines of a vault's bytes, as readPackedEntries finds them, each
// built or compared on its own. The bytes must outlive it.
class EntryLines : public EntrySource {
public:
    explicit EntryLines(const QByteArray& bytes);
    qsizetype count() const override { return static_cast<qsizetype>(lines_.size()); }
    bool holds(qsizetype i, const PackedEntry& entry) const override;
    PackedEntry make(qsizetype i) const override;
    // fingerprintOf(make(i)), without building the entry.
    quint64 fingerprint(qsizetype i) const;

private:
    const unsigned char* base_;
    std::vector<std::pair<qsizetype, qsizetype>> lines_;  // where each starts, and its length
};

// A fingerprint of the entry's three texts: the same for an entry in the list
// and a line that loads as it, so that two versions' entries can be told
// apart without a second copy of either. Seeded afresh in every run.
quint64 fingerprintOf(const PackedEntry& entry);

// True when some line after the first would load as an entry.
bool hasEntryLines(const QByteArray& bytes);

// username & "|||" & password & "|||" & location.
QString joinEntry(const Entry& entry);
// The line split back into its first three pieces.
Entry splitEntry(QStringView line);

// Entry n, which must stay valid while the vault is written.
using EntryReader = std::function<const PackedEntry*(qsizetype n)>;

// The whole vault as written after every change: password line, one line per
// entry, then one empty line. nullopt when some text cannot be encoded.
std::optional<QByteArray> serialiseVault(const QString& masterPassword, qsizetype count, const EntryReader& entry);

// A brand-new vault that holds only the master password.
std::optional<QByteArray> newVaultBytes(const QString& masterPassword);

// Why a master password cannot be stored and read back unchanged; empty when it can.
QString masterPasswordProblem(const QString& password);

// Why an entry cannot be stored and read back unchanged; empty when it can.
QString entryProblem(const Entry& entry);

}  // namespace VaultCodec
