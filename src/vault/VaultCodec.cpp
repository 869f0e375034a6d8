#include "vault/VaultCodec.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

namespace VaultCodec {
namespace {

constexpr char16_t kScrambledCR = 0x8D;  // CR (13) scrambled, after decoding
constexpr char16_t kScrambledLF = 0x160;  // LF (10) scrambled: byte 0x8A is U+0160
constexpr char16_t kScrambledSpace = 0xA0;
constexpr char kCodePage[] = "windows-1252";

void invertHighBits(QByteArray& bytes) {
    char* p = bytes.data();
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) p[i] = static_cast<char>(static_cast<unsigned char>(p[i]) ^ 0x80u);
}

// Whole file, unscrambled and decoded at once. Because every byte maps to one
// character, the file's CR and LF bytes show up as the scrambled CR and LF.
QString unscrambleAll(const QByteArray& bytes) {
    QByteArray copy = bytes;
    invertHighBits(copy);
    return decodeAnsi(copy);
}

template <class Fn>
void forEachLine(const QString& text, Fn&& fn) {
    const qsizetype n = text.size();
    qsizetype start = 0;
    qsizetype lineNo = 0;
    while (start < n) {
        qsizetype end = text.indexOf(QChar(kScrambledCR), start);
        qsizetype next;
        if (end < 0) {
            end = n;
            next = n;
        } else {
            next = end + 1;
            if (next < n && text.at(next) == QChar(kScrambledLF)) ++next;
        }
        if (!fn(lineNo++, QStringView(text).sliced(start, end - start))) return;
        start = next;
    }
}

bool isSkipped(QStringView line) {
    return line.isEmpty() || (line.size() == 1 && line.at(0) == QChar(kScrambledSpace));
}

void appendLine(QString& out, QStringView line) {
    out.append(line);
    out.append(QChar(kScrambledCR));
    out.append(QChar(kScrambledLF));
}

std::optional<QByteArray> finish(const QString& text) {
    auto bytes = encodeAnsi(text);
    if (!bytes) return std::nullopt;
    invertHighBits(*bytes);
    return bytes;
}

}  // namespace

QByteArray ScrambleText(QByteArray text) {
    invertHighBits(text);
    return text;
}

QString decodeAnsi(const QByteArray& bytes) {
    QStringDecoder decoder(kCodePage);
    return decoder.decode(bytes);
}

std::optional<QByteArray> encodeAnsi(const QString& text) {
    QStringEncoder encoder(kCodePage);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) return std::nullopt;
    return bytes;
}

std::vector<QByteArray> splitLines(const QByteArray& bytes) {
    std::vector<QByteArray> lines;
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype end = bytes.indexOf('\r', start);
        qsizetype next;
        if (end < 0) {
            end = n;
            next = n;
        } else {
            next = end + 1;
            if (next < n && bytes.at(next) == '\n') ++next;
        }
        lines.push_back(bytes.sliced(start, end - start));
        start = next;
    }
    return lines;
}

QString readMasterPassword(const QByteArray& bytes) {
    qsizetype end = bytes.indexOf('\r');
    if (end < 0) end = bytes.size();
    return decodeAnsi(ScrambleText(bytes.first(end)));
}

std::vector<Entry> readEntries(const QByteArray& bytes) {
    const QString text = unscrambleAll(bytes);
    std::vector<Entry> entries;
    entries.reserve(static_cast<size_t>(bytes.count('\r')));
    forEachLine(text, [&](qsizetype lineNo, QStringView line) {
        if (lineNo > 0 && !isSkipped(line)) entries.push_back(splitEntry(line));
        return true;
    });
    return entries;
}

bool hasEntryLines(const QByteArray& bytes) {
    bool found = false;
    forEachLine(unscrambleAll(bytes), [&](qsizetype lineNo, QStringView line) {
        found = lineNo > 0 && !isSkipped(line);
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

std::optional<QByteArray> serialiseVault(const QString& masterPassword, qsizetype count, const RowReader& row) {
    QString text;
    text.reserve(masterPassword.size() + 4 + count * 48);
    appendLine(text, masterPassword);
    const QLatin1String sep(kFieldSeparator);
    for (qsizetype i = 0; i < count; ++i) {
        const Entry e = row(i);
        text.append(e.username).append(sep).append(e.password).append(sep).append(e.location);
        text.append(QChar(kScrambledCR)).append(QChar(kScrambledLF));
    }
    appendLine(text, QStringView());
    return finish(text);
}

std::optional<QByteArray> serialiseVault(const QString& masterPassword, const std::vector<Entry>& entries) {
    return serialiseVault(masterPassword, static_cast<qsizetype>(entries.size()),
                          [&](qsizetype i) { return entries[static_cast<size_t>(i)]; });
}

std::optional<QByteArray> newVaultBytes(const QString& masterPassword) {
    QString text;
    appendLine(text, masterPassword);
    return finish(text);
}

namespace {

QString unstorableCharacter(const QString& text) {
    for (const QChar c : text) {
        // Code 141 scrambles to a CR, which would end the line on reading.
        if (c.unicode() == 0x8D) return QString(c);
    }
    if (encodeAnsi(text)) return {};
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString piece = text.mid(i, len);
        if (!encodeAnsi(piece)) return piece;
        i += len - 1;
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
    return QStringLiteral("The password contains the character %1, which the vault file cannot store.  "
                          "Please use only characters of the Western European (Windows-1252) set.")
        .arg(describe(bad));
}

QString entryProblem(const Entry& entry) {
    const std::pair<const QString*, const char*> fields[] = {
        {&entry.username, "username"}, {&entry.password, "password"}, {&entry.location, "location"}};
    for (const auto& [text, name] : fields) {
        const QString bad = unstorableCharacter(*text);
        if (!bad.isEmpty()) {
            return QStringLiteral("The %1 contains the character %2, which the vault file cannot store.  "
                                  "Please use only characters of the Western European (Windows-1252) set.")
                .arg(QLatin1String(name), describe(bad));
        }
    }
    const Entry back = splitEntry(joinEntry(entry));
    for (int i = 0; i < 3; ++i) {
        const QString* before[] = {&entry.username, &entry.password, &entry.location};
        const QString* after[] = {&back.username, &back.password, &back.location};
        if (*before[i] != *after[i]) {
            return QStringLiteral("The %1 cannot be stored as typed: the vault file separates the fields with "
                                  "\"|||\", and this text would not be read back the same.  Please avoid "
                                  "\"|||\" inside a field and a \"|\" where two fields meet.")
                .arg(QLatin1String(fields[i].second));
        }
    }
    return {};
}

}  // namespace VaultCodec
