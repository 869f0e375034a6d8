#include "text/CodePage.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <vector>

namespace CodePage {
namespace {

struct Tables {
    std::array<char16_t, 256> toChar{};
    std::vector<qint16> toByte;  // by character code; -1 when the code page lacks it
};

const Tables& tables() {
    static const Tables t = [] {
        Tables built;
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
        QStringDecoder decoder("windows-1252");
        const QString chars = decoder.decode(all);
        char16_t highest = 0;
        for (int b = 0; b < 256; ++b) {
            const char16_t c = b < chars.size() ? chars.at(b).unicode() : static_cast<char16_t>(b);
            built.toChar[static_cast<size_t>(b)] = c;
            highest = std::max(highest, c);
        }
        built.toByte.assign(static_cast<size_t>(highest) + 1, -1);
        for (int b = 0; b < 256; ++b) built.toByte[built.toChar[static_cast<size_t>(b)]] = static_cast<qint16>(b);
        return built;
    }();
    return t;
}

}  // namespace

QString decode(QByteArrayView bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    toChars(bytes, out.data());
    return out;
}

std::optional<QByteArray> encode(QStringView text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    if (!toBytes(text, out.data())) return std::nullopt;
    return out;
}

bool toBytes(QStringView text, char* out) {
    const auto& to = tables().toByte;
    const size_t limit = to.size();
    for (const QChar ch : text) {
        const size_t c = ch.unicode();
        const qint16 b = c < limit ? to[c] : qint16(-1);
        if (b < 0) return false;
        *out++ = static_cast<char>(b);
    }
    return true;
}

void toChars(QByteArrayView bytes, QChar* out) {
    const auto* raw = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype length = bytes.size();
    // Mostly plain ASCII, which needs no table, and the loop vectorises.
    unsigned char any = 0;
    for (qsizetype i = 0; i < length; ++i) any |= raw[i];
    auto* o = reinterpret_cast<char16_t*>(out);
    if (!(any & 0x80)) {
        for (qsizetype i = 0; i < length; ++i) o[i] = raw[i];
    } else {
        const auto& to = tables().toChar;
        for (qsizetype i = 0; i < length; ++i) o[i] = to[raw[i]];
    }
}

}  // namespace CodePage
