#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

#include <unordered_map>

// The code pages a document's bytes come in, and the characters a document may be given.
namespace Rtf {

constexpr int kAnsiCodePage = 1252;
constexpr int kSymbolCodePage = -2;  // the Symbol font's own encoding

// What \fcharsetN means; 0 (ANSI) and 1 (default) defer to the document's \ansicpg, and so give 0.
int charsetCodePage(int charset);

// One decoder per code page a document names, and only so many; the rest read as Windows-1252.
class Decoders {
public:
    QString decode(QByteArrayView bytes, int codePage);

private:
    QStringDecoder* find(int codePage);

    std::unordered_map<int, QStringDecoder> decoders_;
};

// Appends text without the characters a QTextDocument must not get from a file: controls, and the
// ones it uses for its own structure. Surrogates stay, to be paired up by pairedSurrogates.
void appendCleaned(QString& out, QStringView text);
// appendCleaned, up to cap characters in all.
void appendCapped(QString& to, QStringView text, qsizetype cap);
// text with every unpaired surrogate replaced.
QString pairedSurrogates(const QString& text);
QString fromCodePoint(char32_t c);

}  // namespace Rtf
