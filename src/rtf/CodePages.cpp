#include "rtf/CodePages.h"

#include "text/CodePage.h"

#include <QByteArray>

#include <algorithm>

namespace Rtf {
namespace {

constexpr size_t kMaxDecoders = 16;

// Bullets set in the Symbol font are its 0xB7; the rest is rare enough to read as Windows-1252.
QString decodeSymbol(QByteArrayView bytes) {
    QString out = CodePage::decode(bytes);
    out.replace(QChar(0x00B7), QChar(0x2022));
    return out;
}

QByteArray codecName(int codePage) {
    switch (codePage) {
        case 874: return "windows-874";
        case 932: return "Shift_JIS";
        case 936: return "GBK";
        case 949: return "windows-949";
        case 950: return "Big5";
        case 10000: return "macintosh";
        case 65001: return "UTF-8";
        default: break;
    }
    if (codePage >= 1250 && codePage <= 1258) return "windows-" + QByteArray::number(codePage);
    if (codePage >= 437 && codePage <= 869) return "IBM" + QByteArray::number(codePage);
    if (codePage >= 28591 && codePage <= 28606) return "ISO-8859-" + QByteArray::number(codePage - 28590);
    return {};
}

}  // namespace

int charsetCodePage(int charset) {
    switch (charset) {
        case 2: return kSymbolCodePage;
        case 77: return 10000;
        case 128: return 932;
        case 129: return 949;
        case 134: return 936;
        case 136: return 950;
        case 161: return 1253;
        case 162: return 1254;
        case 163: return 1258;
        case 177: return 1255;
        case 178: return 1256;
        case 186: return 1257;
        case 204: return 1251;
        case 222: return 874;
        case 238: return 1250;
        case 254: return 437;
        case 255: return 850;
        default: return 0;
    }
}

QString Decoders::decode(QByteArrayView bytes, int codePage) {
    if (codePage == kSymbolCodePage) return decodeSymbol(bytes);
    if (codePage == kAnsiCodePage) return CodePage::decode(bytes);
    QStringDecoder* decoder = find(codePage);
    return decoder ? QString(decoder->decode(bytes)) : CodePage::decode(bytes);
}

QStringDecoder* Decoders::find(int codePage) {
    auto it = decoders_.find(codePage);
    if (it == decoders_.end()) {
        if (decoders_.size() >= kMaxDecoders) return nullptr;
        const QByteArray name = codecName(codePage);
        const char* known = name.isEmpty() ? "-" : name.constData();
        it = decoders_.emplace(codePage, QStringDecoder(known, QStringConverter::Flag::Stateless)).first;
    }
    return it->second.isValid() ? &it->second : nullptr;
}

void appendCleaned(QString& out, QStringView text) {
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\t' || ch.isSurrogate()) {
            out.append(ch);
        } else if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            continue;
        } else if (u == QChar::ParagraphSeparator) {
            out.append(QChar(QChar::LineSeparator));
        } else if (u == QChar::ObjectReplacementCharacter || (u >= 0xFDD0 && u <= 0xFDEF) || u >= 0xFFFE) {
            out.append(QChar(QChar::ReplacementCharacter));
        } else {
            out.append(ch);
        }
    }
}

void appendCapped(QString& to, QStringView text, qsizetype cap) {
    if (to.size() < cap) appendCleaned(to, text.first(std::min(text.size(), cap - to.size())));
}

QString pairedSurrogates(const QString& text) {
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (!out[i].isSurrogate()) continue;
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

QString fromCodePoint(char32_t c) {
    if (c <= 0xFFFF) return QString(QChar(char16_t(c)));
    const char32_t pair[] = {c};
    return QString::fromUcs4(pair, 1);
}

}  // namespace Rtf
