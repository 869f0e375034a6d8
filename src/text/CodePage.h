#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Windows-1252, the ANSI code page of the vault files and of most rich text
// documents: every byte is one character and back. The one table of it in the
// program, built once from the system's converter so both directions agree
// with it exactly.
namespace CodePage {

QString decode(QByteArrayView bytes);
// nullopt when the text holds a character the code page cannot represent.
std::optional<QByteArray> encode(QStringView text);

// One byte per character at out; false, with out partly written, when a
// character has no byte.
bool toBytes(QStringView text, char* out);
// bytes.size() characters at out.
void toChars(QByteArrayView bytes, QChar* out);

}  // namespace CodePage
