// Any bytes at all, read as data.enc. The vault file can be edited or damaged
// outside the program, so every reader must cope and agree with the others.

#include "VaultEntries.h"
#include "text/CodePage.h"
#include "vault/VaultCodec.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_vault_reader: broken: %s\n", what);
    std::abort();
}

// The line rules, walked byte by byte: each line is followed by a CR and an
// optional LF, except that the last may end the file.
void checkLines(const QByteArray& bytes, const std::vector<QByteArray>& lines) {
    const qsizetype n = bytes.size();
    qsizetype pos = 0;
    for (const QByteArray& line : lines) {
        check(pos < n, "a line past the end of the file");
        check(!line.contains('\r'), "a CR inside a line");
        check(bytes.sliced(pos).startsWith(line), "a line that is not the file's bytes");
        pos += line.size();
        if (pos < n) {
            check(bytes.at(pos) == '\r', "a line not ended by a CR");
            ++pos;
            if (pos < n && bytes.at(pos) == '\n') ++pos;
        }
    }
    check(pos == n, "file bytes left over after the last line");
}

bool isEntryLine(const QByteArray& line) { return !line.isEmpty() && line != " "; }

QString unscrambled(const QByteArray& line) { return CodePage::decode(VaultCodec::ScrambleText(line)); }

void checkRoundTrip(const QString& master, const std::vector<Entry>& entries) {
    const std::optional<QByteArray> out = VaultCodec::serialiseVault(master, entries);
    check(out.has_value(), "storable entries that cannot be serialised");
    check(out->endsWith("\r\n\r\n"), "a vault without its closing empty line");
    check(VaultCodec::splitLines(*out).size() == entries.size() + 2, "a saved vault with the wrong line count");
    check(VaultCodec::readMasterPassword(*out) == master, "the master password changed on saving");
    const std::vector<Entry> back = VaultCodec::readEntries(*out);
    check(back == entries, "the entries changed on saving");
    check(VaultCodec::hasEntryLines(*out) == !entries.empty(), "hasEntryLines wrong on a saved vault");
    check(VaultCodec::serialiseVault(master, back) == out, "saving twice gives different bytes");
}

// The list keeps entries as read, packed; saving them must write what saving
// the plain entries writes, whatever the file held.
void checkPackedSave(const QByteArray& bytes, const QString& master, const std::vector<Entry>& entries) {
    const std::vector<PackedEntry> packed = VaultCodec::readPackedEntries(bytes);
    check(packed.size() == entries.size(), "packed and plain entries differ in number");
    for (size_t i = 0; i < packed.size(); ++i) check(packed[i].toEntry() == entries[i], "a packed entry differs");
    const auto out = VaultCodec::serialiseVault(master, static_cast<qsizetype>(packed.size()),
                                                [&](qsizetype n) { return &packed[static_cast<size_t>(n)]; });
    check(out == VaultCodec::serialiseVault(master, entries), "packed entries save different bytes");

    // Read one at a time, as an outside change is read into the open list: the
    // same entries, and a line never taken for an entry it would not load as.
    const VaultCodec::EntryLines one(bytes);
    check(one.count() == static_cast<qsizetype>(packed.size()), "entry lines and entries differ in number");
    for (qsizetype i = 0; i < one.count(); ++i) {
        check(one.make(i) == packed[static_cast<size_t>(i)], "an entry line builds another entry");
        // A merge knows entries by fingerprint: a line's is its entry's.
        check(one.fingerprint(i) == VaultCodec::fingerprintOf(packed[static_cast<size_t>(i)]),
              "a line's fingerprint differs from its entry's");
        for (qsizetype k = std::max<qsizetype>(0, i - 2); k < std::min(one.count(), i + 3); ++k) {
            const PackedEntry& other = packed[static_cast<size_t>(k)];
            if (one.holds(i, other)) check(other == packed[static_cast<size_t>(i)], "a line taken for another entry");
            if (other == packed[static_cast<size_t>(i)])
                check(one.fingerprint(i) == one.fingerprint(k), "equal entries with different fingerprints");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // No copy, so a read past the end lands outside libFuzzer's buffer.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QString master = VaultCodec::readMasterPassword(bytes);
    const std::vector<Entry> entries = VaultCodec::readEntries(bytes);
    const bool hasEntries = VaultCodec::hasEntryLines(bytes);
    const std::vector<QByteArray> lines = VaultCodec::splitLines(bytes);

    checkLines(bytes, lines);
    check(entries.size() <= lines.size(), "more entries than lines");
    check(master == (lines.empty() ? QString() : unscrambled(lines.front())), "master password is not line 1");
    check(VaultCodec::masterPasswordProblem(master).isEmpty(), "a master password read from a file cannot be stored");

    // readEntries works on the whole decoded file; it must agree line by line.
    size_t expected = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (!isEntryLine(lines[i])) continue;
        check(expected < entries.size(), "an entry line was dropped");
        check(entries[expected] == VaultCodec::splitEntry(unscrambled(lines[i])), "an entry differs from its line");
        ++expected;
    }
    check(entries.size() == expected, "an entry without a line");
    check(hasEntries == !entries.empty(), "hasEntryLines disagrees with readEntries");
    checkPackedSave(bytes, master, entries);

    bool storable = true;
    for (const Entry& e : entries) storable = storable && VaultCodec::entryProblem(e).isEmpty();
    if (storable) checkRoundTrip(master, entries);
    return 0;
}
