#include "vault/VaultCodec.h"

#include "text/CodePage.h"

#include <QList>
#include <QRandomGenerator>

#include <cstring>

namespace VaultCodec {
namespace {

constexpr unsigned char kScrambledBar = '|' ^ 0x80;

const unsigned char* bytesOf(const QByteArray& a) { return reinterpret_cast<const unsigned char*>(a.constData()); }

// Calls fn(lineNo, start, length) for every line of the raw file: a CR ends a
// line and an LF right after it is dropped. fn returns false to stop.
template <class Fn>
void forEachLine(const QByteArray& bytes, Fn&& fn) {
    const unsigned char* p = bytesOf(bytes);
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    qsizetype lineNo = 0;
    while (start < n) {
        const void* cr = std::memchr(p + start, '\r', static_cast<size_t>(n - start));
        const qsizetype end = cr ? static_cast<const unsigned char*>(cr) - p : n;
        qsizetype next = end < n ? end + 1 : n;
        if (next < n && p[next] == '\n') ++next;
        if (!fn(lineNo++, p + start, end - start)) return;
        start = next;
    }
}

// Empty or exactly one space, tested while still scrambled.
bool isSkipped(const unsigned char* line, qsizetype length) { return length == 0 || (length == 1 && line[0] == ' '); }

// Where the next field separator starts, or -1.
qsizetype findSeparator(const unsigned char* line, qsizetype from, qsizetype length) {
    while (from + 3 <= length) {
        const void* hit = std::memchr(line + from, kScrambledBar, static_cast<size_t>(length - from - 2));
        if (!hit) return -1;
        const qsizetype at = static_cast<const unsigned char*>(hit) - line;
        if (line[at + 1] == kScrambledBar && line[at + 2] == kScrambledBar) return at;
        from = at + 1;
    }
    return -1;
}

// The file's bytes with the scramble undone are the code page's bytes.
void unscrambleInto(char* out, const unsigned char* raw, qsizetype length) {
    for (qsizetype i = 0; i < length; ++i) out[i] = static_cast<char>(raw[i] ^ 0x80u);
}

QString decodeLine(const unsigned char* raw, qsizetype length) {
    QByteArray plain(length, Qt::Uninitialized);
    unscrambleInto(plain.data(), raw, length);
    return CodePage::decode(plain);
}

// Where a line's three pieces lie: split at every separator; pieces after
// the third are ignored, missing ones are empty.
struct Pieces {
    qsizetype begin[3];
    qsizetype end[3];
    qsizetype size(int i) const { return end[i] - begin[i]; }
};

Pieces splitLine(const unsigned char* raw, qsizetype length) {
    Pieces p{{0, length, length}, {length, length, length}};
    for (int i = 0; i < 2; ++i) {
        const qsizetype at = findSeparator(raw, p.begin[i], length);
        if (at < 0) break;
        p.end[i] = at;
        p.begin[i + 1] = at + 3;
        p.end[i + 1] = length;
    }
    if (const qsizetype at = findSeparator(raw, p.begin[2], length); p.begin[2] < length && at >= 0) p.end[2] = at;
    return p;
}

// Sixteen bytes at a time, each pair of words folded by one wide multiply;
// the scrambled bytes with mask undone are the plain ones, so a line and an
// entry of the same texts give the same answer.
__extension__ using Wide = unsigned __int128;

quint64 folded(quint64 a, quint64 b) {
    const Wide r = static_cast<Wide>(a) * b;
    return static_cast<quint64>(r) ^ static_cast<quint64>(r >> 64);
}

constexpr quint64 kOdd1 = 0x9e3779b97f4a7c15ull;
constexpr quint64 kOdd2 = 0xd6e8feb86659fd93ull;

quint64 word(const unsigned char* p, quint64 mask) {
    quint64 w = 0;
    std::memcpy(&w, p, 8);
    return w ^ mask;
}

// The last bytes, fewer than eight, in the order a whole word would hold them.
quint64 partWord(const unsigned char* p, qsizetype n, unsigned char mask) {
    quint64 w = 0;
    for (qsizetype i = 0; i < n; ++i) w |= static_cast<quint64>(p[i] ^ mask) << (8 * i);
    return w;
}

quint64 fingerprintField(quint64 h, const unsigned char* p, qsizetype n, quint64 mask) {
    h = folded(h ^ static_cast<quint64>(n), kOdd1);
    qsizetype k = 0;
    for (; k + 16 <= n; k += 16) h = folded(h ^ word(p + k, mask), word(p + k + 8, mask) ^ kOdd2);
    if (k + 8 <= n) {
        h = folded(h ^ word(p + k, mask), kOdd2);
        k += 8;
    }
    if (k < n) h = folded(h ^ partWord(p + k, n - k, static_cast<unsigned char>(mask)), kOdd1);
    return h;
}

// A seed nobody can know ahead, so that no file can be made to collide.
quint64 fingerprintSeed() {
    static const quint64 seed = QRandomGenerator::system()->generate64();
    return seed;
}

quint64 finished(quint64 h) { return folded(h ^ kOdd2, kOdd1); }

PackedEntry packLine(const unsigned char* raw, qsizetype length) {
    const Pieces p = splitLine(raw, length);
    PackedEntry e = PackedEntry::withCodePageBytes(p.size(0), p.size(1), p.size(2));
    char* out = e.codePageData();
    for (int i = 0; i < 3; ++i) {
        unscrambleInto(out, raw + p.begin[i], p.size(i));
        out += p.size(i);
    }
    return e;
}

// The scrambled bytes are the plain ones with the top bit of each inverted:
// compared eight at a time.
bool scrambledEquals(const unsigned char* raw, const char* plain, qsizetype length) {
    constexpr quint64 kTopBits = 0x8080808080808080ull;
    qsizetype k = 0;
    for (; k + 8 <= length; k += 8) {
        quint64 a = 0;
        quint64 b = 0;
        std::memcpy(&a, raw + k, 8);
        std::memcpy(&b, plain + k, 8);
        if ((a ^ kTopBits) != b) return false;
    }
    for (; k < length; ++k)
        if ((raw[k] ^ 0x80u) != static_cast<unsigned char>(plain[k])) return false;
    return true;
}

// The line would load as exactly this entry.
bool lineHolds(const unsigned char* raw, qsizetype length, const PackedEntry& e) {
    // Written by the program, the line is the three fields and two separators.
    if (!e.isCodePage() || length != e.fieldSize(0) + e.fieldSize(1) + e.fieldSize(2) + 6) return false;
    const Pieces p = splitLine(raw, length);
    for (int i = 0; i < 3; ++i) {
        const QByteArrayView field = e.codePageField(i);
        if (field.size() != p.size(i) || !scrambledEquals(raw + p.begin[i], field.data(), field.size())) return false;
    }
    return true;
}

// Writes the text's file bytes at w; false when a character has no byte.
bool put(char*& w, QStringView text) {
    if (!CodePage::toBytes(text, w)) return false;
    for (qsizetype i = 0; i < text.size(); ++i) w[i] = static_cast<char>(static_cast<unsigned char>(w[i]) ^ 0x80u);
    w += text.size();
    return true;
}

void putLineEnd(char*& w) {
    *w++ = '\r';
    *w++ = '\n';
}

void putSeparator(char*& w) {
    for (int i = 0; i < 3; ++i) *w++ = static_cast<char>(kScrambledBar);
}

// Code-page bytes as the file stores them.
void putScrambled(char*& w, QByteArrayView bytes) {
    const char* r = bytes.data();
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) w[i] = static_cast<char>(static_cast<unsigned char>(r[i]) ^ 0x80u);
    w += n;
}

// Password line, the entry lines, one empty line. lineSize(n) is the length
// of entry n's line; putLine(w, n) writes it and answers false when some
// character has no byte.
template <class LineSize, class PutLine>
std::optional<QByteArray> serialiseLines(const QString& masterPassword, qsizetype count, LineSize&& lineSize,
                                         PutLine&& putLine) {
    // Every character is one byte, so the size is known before writing.
    qsizetype total = masterPassword.size() + 4;
    for (qsizetype n = 0; n < count; ++n) total += lineSize(n) + 2;
    QByteArray out(total, Qt::Uninitialized);
    char* w = out.data();
    if (!put(w, masterPassword)) return std::nullopt;
    putLineEnd(w);
    for (qsizetype n = 0; n < count; ++n) {
        if (!putLine(w, n)) return std::nullopt;
        putLineEnd(w);
    }
    putLineEnd(w);
    return out;
}

}  // namespace

QByteArray ScrambleText(QByteArray text) {
    char* p = text.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) p[i] = static_cast<char>(static_cast<unsigned char>(p[i]) ^ 0x80u);
    return text;
}

QString readMasterPassword(const QByteArray& bytes) {
    QString password;
    forEachLine(bytes, [&](qsizetype, const unsigned char* start, qsizetype length) {
        password = decodeLine(start, length);
        return false;
    });
    return password;
}

std::vector<PackedEntry> readPackedEntries(const QByteArray& bytes) {
    std::vector<PackedEntry> entries;
    entries.reserve(static_cast<size_t>(bytes.size() / 40));
    forEachLine(bytes, [&](qsizetype lineNo, const unsigned char* start, qsizetype length) {
        if (lineNo > 0 && !isSkipped(start, length)) entries.push_back(packLine(start, length));
        return true;
    });
    return entries;
}

bool hasEntryLines(const QByteArray& bytes) {
    bool found = false;
    forEachLine(bytes, [&](qsizetype lineNo, const unsigned char* start, qsizetype length) {
        found = lineNo > 0 && !isSkipped(start, length);
        return !found;
    });
    return found;
}

QString joinEntry(const Entry& entry) {
    QString line;
    line.reserve(entry.username.size() + entry.password.size() + entry.location.size() + 6);
    line.append(entry.username).append(QLatin1String(kFieldSeparator));
    line.append(entry.password).append(QLatin1String(kFieldSeparator));
    line.append(entry.location);
    return line;
}

Entry splitEntry(QStringView line) {
    const QLatin1String sep(kFieldSeparator);
    QString* fields[3];
    Entry entry;
    fields[0] = &entry.username;
    fields[1] = &entry.password;
    fields[2] = &entry.location;
    qsizetype start = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype at = line.indexOf(sep, start);
        if (at < 0) {
            *fields[i] = line.sliced(start).toString();
            break;
        }
        *fields[i] = line.sliced(start, at - start).toString();
        start = at + sep.size();
    }
    return entry;
}

std::optional<QByteArray> serialiseVault(const QString& masterPassword, qsizetype count, const EntryReader& entry) {
    const auto lineSize = [&](qsizetype n) {
        const PackedEntry& e = *entry(n);
        return e.fieldSize(0) + e.fieldSize(1) + e.fieldSize(2) + 6;
    };
    const auto putLine = [&](char*& w, qsizetype n) {
        const PackedEntry& e = *entry(n);
        for (int i = 0; i < 3; ++i) {
            if (i > 0) putSeparator(w);
            if (e.isCodePage()) {
                putScrambled(w, e.codePageField(i));
            } else if (!put(w, e.field(i))) {
                return false;
            }
        }
        return true;
    };
    return serialiseLines(masterPassword, count, lineSize, putLine);
}

std::optional<QByteArray> newVaultBytes(const QString& masterPassword) {
    QByteArray out(masterPassword.size() + 2, Qt::Uninitialized);
    char* w = out.data();
    if (!put(w, masterPassword)) return std::nullopt;
    putLineEnd(w);
    return out;
}

namespace {

QString unstorableCharacter(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        char byte = 0;
        // Code 141 scrambles to a CR, which would end the line on reading.
        if (c == 0x8D || !CodePage::toBytes(text.sliced(i, 1), &byte)) {
            const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            return text.mid(i, len);
        }
    }
    return {};
}

QString describe(const QString& character) {
    const uint code = character.toUcs4().value(0);
    const QString hex = QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    const bool printable = code >= 0x20 && !(code >= 0x7F && code < 0xA0);
    return printable ? QStringLiteral("\"%1\" (U+%2)").arg(character, hex) : QStringLiteral("U+%1").arg(hex);
}

}  // namespace

QString masterPasswordProblem(const QString& password) {
    const QString bad = unstorableCharacter(password);
    if (bad.isEmpty()) return {};
    return QStringLiteral(
               "The password contains the character %1, which the vault file cannot store.  "
               "Please use only characters of the Western European (Windows-1252) set.")
        .arg(describe(bad));
}

QString entryProblem(const Entry& entry) {
    const std::pair<const QString*, const char*> fields[] = {
        {&entry.username, "username"}, {&entry.password, "password"}, {&entry.location, "location"}};
    for (const auto& [text, name] : fields) {
        const QString bad = unstorableCharacter(*text);
        if (!bad.isEmpty()) {
            return QStringLiteral(
                       "The %1 contains the character %2, which the vault file cannot store.  "
                       "Please use only characters of the Western European (Windows-1252) set.")
                .arg(QLatin1String(name), describe(bad));
        }
    }
    const Entry back = splitEntry(joinEntry(entry));
    const QString* before[] = {&entry.username, &entry.password, &entry.location};
    const QString* after[] = {&back.username, &back.password, &back.location};
    for (int i = 0; i < 3; ++i) {
        if (*before[i] != *after[i]) {
            return QStringLiteral(
                       "The %1 cannot be stored as typed: the vault file separates the fields with "
                       "\"|||\", and this text would not be read back the same.  Please avoid "
                       "\"|||\" inside a field and a \"|\" where two fields meet.")
                .arg(QLatin1String(fields[i].second));
        }
    }
    return {};
}

EntryLines::EntryLines(const QByteArray& bytes) : base_(bytesOf(bytes)) {
    lines_.reserve(static_cast<size_t>(bytes.size() / 40));
    forEachLine(bytes, [&](qsizetype lineNo, const unsigned char* start, qsizetype length) {
        if (lineNo > 0 && !isSkipped(start, length)) lines_.emplace_back(start - base_, length);
        return true;
    });
}

bool EntryLines::holds(qsizetype i, const PackedEntry& entry) const {
    const auto& [at, length] = lines_[static_cast<size_t>(i)];
    return lineHolds(base_ + at, length, entry);
}

quint64 EntryLines::fingerprint(qsizetype i) const {
    const auto& [at, length] = lines_[static_cast<size_t>(i)];
    const unsigned char* raw = base_ + at;
    const Pieces p = splitLine(raw, length);
    quint64 h = fingerprintSeed();
    for (int f = 0; f < 3; ++f) h = fingerprintField(h, raw + p.begin[f], p.size(f), 0x8080808080808080ull);
    return finished(h);
}

quint64 fingerprintOf(const PackedEntry& entry) {
    quint64 h = fingerprintSeed();
    if (!entry.isCodePage()) {
        // No line holds such an entry; it only has to match its equals.
        h = folded(h ^ 0x77, kOdd1);
        for (int f = 0; f < 3; ++f) {
            const QString text = entry.field(f);
            h = fingerprintField(h, reinterpret_cast<const unsigned char*>(text.constData()), text.size() * 2, 0);
        }
        return finished(h);
    }
    for (int f = 0; f < 3; ++f) {
        const QByteArrayView field = entry.codePageField(f);
        h = fingerprintField(h, reinterpret_cast<const unsigned char*>(field.data()), field.size(), 0);
    }
    return finished(h);
}

PackedEntry EntryLines::make(qsizetype i) const {
    const auto& [at, length] = lines_[static_cast<size_t>(i)];
    return packLine(base_ + at, length);
}

}  // namespace VaultCodec
