#include "rtf/RtfReader.h"

#include "HostileRtf.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <optional>
#include <vector>

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString fixturePath(const QString& name) { return QStringLiteral(TRESSIK_RTF_FIXTURES "/") + name; }
QString resourcePath(const QString& name) { return QStringLiteral(TRESSIK_RESOURCES "/") + name; }

// The document's text block by block, exactly: toPlainText() turns no-break spaces into spaces.
QString blockText(const QTextDocument& doc) {
    QStringList blocks;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) blocks << b.text();
    return blocks.join(u'\n');
}

// Letters, digits and the currency and maths signs; bullets, dashes, table rules and punctuation are
// left out, since every producer draws those its own way.
bool isWordChar(QChar c) {
    if (c.isLetterOrNumber()) return true;
    const QChar::Category category = c.category();
    return c.unicode() > 0x7F && (category == QChar::Symbol_Currency || category == QChar::Symbol_Math);
}

QStringList words(const QString& text) {
    QStringList out;
    QString word;
    for (const QChar c : text) {
        if (isWordChar(c)) {
            word += c;
        } else if (!word.isEmpty()) {
            out << word;
            word.clear();
        }
    }
    if (!word.isEmpty()) out << word;
    return out;
}

// Empty when the lists match, else where they part.
QString firstDifference(const QStringList& actual, const QStringList& expected) {
    const qsizetype n = std::min(actual.size(), expected.size());
    qsizetype i = 0;
    while (i < n && actual[i] == expected[i]) ++i;
    if (i == n && actual.size() == expected.size()) return {};
    return QStringLiteral("word %1 is \"%2\", expected \"%3\" (%4 words, expected %5), after: %6")
        .arg(i)
        .arg(actual.value(i), expected.value(i))
        .arg(actual.size())
        .arg(expected.size())
        .arg(QStringList(expected.mid(std::max<qsizetype>(0, i - 5), 5)).join(u' '));
}

struct Formats {
    QTextCharFormat chr;
    QTextBlockFormat block;
};

// The formats of the first character of the first whole-word match.
std::optional<Formats> formatsOf(const QTextDocument& doc, const QString& word) {
    const auto flags = QTextDocument::FindWholeWords | QTextDocument::FindCaseSensitively;
    const QTextCursor hit = doc.find(word, 0, flags);
    if (hit.isNull()) return std::nullopt;
    QTextCursor c(hit);
    c.setPosition(hit.selectionStart() + 1);
    return Formats{c.charFormat(), c.blockFormat()};
}

QColor brushColour(const QTextCharFormat& f, QTextFormat::Property p) {
    return f.hasProperty(p) ? f.brushProperty(p).color() : QColor();
}

QString tabs(const QTextBlockFormat& f) {
    QStringList out;
    for (const QTextOption::Tab& t : f.tabPositions())
        out << QString::number(t.position) + (t.type == QTextOption::RightTab ? u'R' : u'L');
    return out.join(u' ');
}

QVariant property(const Formats& f, const QString& name) {
    if (name == u"bold") return f.chr.fontWeight() >= QFont::Bold;
    if (name == u"italic") return f.chr.fontItalic();
    if (name == u"underline") return int(f.chr.underlineStyle());
    if (name == u"strike") return f.chr.fontStrikeOut();
    if (name == u"pointSize") return f.chr.fontPointSize();
    if (name == u"family") return f.chr.fontFamilies().toStringList().value(0);
    if (name == u"foreground") return brushColour(f.chr, QTextFormat::ForegroundBrush);
    if (name == u"background") return brushColour(f.chr, QTextFormat::BackgroundBrush);
    if (name == u"href") return f.chr.isAnchor() ? f.chr.anchorHref() : QString();
    if (name == u"valign") return int(f.chr.verticalAlignment());
    if (name == u"alignment") return int(f.block.alignment() & Qt::AlignHorizontal_Mask);
    if (name == u"leftMargin") return f.block.leftMargin();
    if (name == u"rightMargin") return f.block.rightMargin();
    if (name == u"textIndent") return f.block.textIndent();
    if (name == u"topMargin") return f.block.topMargin();
    if (name == u"bottomMargin") return f.block.bottomMargin();
    if (name == u"tabs") return tabs(f.block);
    if (name == u"anchors") return f.chr.anchorNames().join(u',');
    return {};
}

std::vector<QTextTable*> tablesIn(const QTextDocument& doc) {
    std::vector<QTextTable*> out;
    for (QTextFrame* frame : doc.rootFrame()->childFrames())
        if (auto* table = qobject_cast<QTextTable*>(frame)) out.push_back(table);
    return out;
}

QString cellText(QTextTable* table, int row, int column) {
    const QTextTableCell cell = table->cellAt(row, column);
    QTextCursor c = cell.firstCursorPosition();
    c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return c.selectedText().replace(QChar::ParagraphSeparator, u'\n');
}

// The text outside every table, non-empty blocks only.
QString textOutsideTables(const QTextDocument& doc) {
    QStringList blocks;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (!QTextCursor(b).currentTable() && !b.text().isEmpty()) blocks << b.text();
    return blocks.join(u'\n');
}

// The pictures' sizes: of their images (pixels) or as shown (rounded).
QList<QSize> pictureSizes(const QTextDocument& doc, bool shown) {
    QList<QSize> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat()) continue;
            const QTextImageFormat image = f.toImageFormat();
            const QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(image.name()));
            out << (shown ? QSize(qRound(image.width()), qRound(image.height())) : resource.value<QImage>().size());
        }
    }
    return out;
}

// An image of one colour, encoded.
QByteArray image(int width, int height, const char* format = "PNG", QImage::Format depth = QImage::Format_RGB32) {
    QImage image(width, height, depth);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// The document's character and paragraph formats; pictures and table cells, which Qt makes one each of,
// apart.
struct FormatCount {
    qsizetype chars = 0;
    qsizetype blocks = 0;
};

FormatCount formatCount(const QTextDocument& doc) {
    FormatCount n;
    for (const QTextFormat& f : doc.allFormats()) {
        if (f.isImageFormat() || f.isTableCellFormat()) continue;
        if (f.isCharFormat()) ++n.chars;
        if (f.isBlockFormat()) ++n.blocks;
    }
    return n;
}

QByteArray repeated(const QByteArray& piece, int times) {
    QByteArray out;
    out.reserve(piece.size() * times);
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

QByteArray tableRtf(int rows, int columns) {
    QByteArray rtf = "{\\rtf1 before\\par";
    for (int r = 0; r < rows; ++r) {
        rtf += "\\trowd";
        for (int c = 0; c < columns; ++c) rtf += "\\cellx" + QByteArray::number((c + 1) * 1000);
        for (int c = 0; c < columns; ++c)
            rtf += "\\pard\\intbl r" + QByteArray::number(r) + "c" + QByteArray::number(c) + "\\cell";
        rtf += "\\row\n";
    }
    return rtf + "\\pard after\\par}";
}

QByteArray randomBytes(qsizetype size) {
    QRandomGenerator random(20240601);
    QByteArray out(size, Qt::Uninitialized);
    for (char& c : out) c = char(random.bounded(256));
    return out;
}

// The same bytes as control words, groups and text.
QByteArray randomRtfish(qsizetype size) {
    return randomBytes(size / 2).toHex().replace('a', '\\').replace('b', '{').replace('c', '}');
}

}  // namespace

class tst_RtfReader : public QObject {
    Q_OBJECT
private slots:
    // ---- documents written by real word processors ----

    void producerTextIsComplete_data() {
        // clang-format off
        QTest::addColumn<QString>("rtfPath");
        QTest::addColumn<QString>("textPath");
        QTest::newRow("pandoc") << fixturePath("pandoc-sample.rtf") << fixturePath("pandoc-sample.txt");
        QTest::newRow("libreoffice") << fixturePath("writer-sample.rtf") << fixturePath("writer-sample.txt");
        QTest::newRow("help") << resourcePath("Help.rtf") << resourcePath("help/Help.txt");
        // clang-format on
    }

    // Every word of the producer's own plain text, in order, and no others
    // (\u with its fallback skipped, not doubled: caf\u233\'e9 gives one é);
    // a bullet and a tab for each item of its lists.
    void producerTextIsComplete() {
        QFETCH(QString, rtfPath);
        QFETCH(QString, textPath);
        const QByteArray rtf = readFile(rtfPath);
        const QString plain = QString::fromUtf8(readFile(textPath));
        const QStringList expected = words(plain);
        QVERIFY2(!rtf.isEmpty() && expected.size() > 20, qPrintable(rtfPath));
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(rtf, &doc));
        const QString difference = firstDifference(words(doc.toPlainText()), expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        const QRegularExpression item(QStringLiteral("^[ \\t]*[-\u2022][ \\t]"), QRegularExpression::MultilineOption);
        const qsizetype items = plain.count(item);
        QVERIFY(items > 0);
        QCOMPARE(blockText(doc).count(QStringLiteral("\u2022\t")), items);
    }

    // ---- characters ----

    void decodesText_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("cp1252 by default") << QByteArray("{\\rtf1 caf\\'e9 \\'80 \\'9a\\'ff}") << "café € šÿ";
        QTest::newRow("cp1252 raw bytes") << QByteArray("{\\rtf1\\ansi caf\xe9 \x80}") << "café €";
        QTest::newRow("hex digits in capitals") << QByteArray("{\\rtf1 \\'C4\\'d6}") << "ÄÖ";
        QTest::newRow("cp1251 document")
            << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}")
            << "Привет";
        QTest::newRow("cp1251 font") << QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fcharset0 Arial;}"
                                                   "{\\f1\\fcharset204 Arial Cyr;}}{\\f1 \\'c4\\'e0} \\'e9}")
                                     << "Да é";
        QTest::newRow("cp1250 font")
            << QByteArray("{\\rtf1{\\fonttbl{\\f2\\fcharset238 CE;}}\\f2 \\'8a\\'e8\\'9e}")
            << "Ščž";
        QTest::newRow("double-byte code page")
            << QByteArray("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'82\\'a2}")
            << "あい";
        QTest::newRow("mac roman") << QByteArray("{\\rtf1\\mac \\'8e}") << "é";
        QTest::newRow("symbol font bullet")
            << QByteArray("{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}{\\f1 \\'b7}x}")
            << "•x";
        QTest::newRow("unicode, uc1") << QByteArray("{\\rtf1 \\u937?x}") << "Ωx";
        QTest::newRow("unicode, uc0") << QByteArray("{\\rtf1\\uc0 \\u937 x}") << "Ωx";
        QTest::newRow("unicode, uc2") << QByteArray("{\\rtf1\\uc2 \\u8800??a}") << "≠a";
        QTest::newRow("fallback as hex") << QByteArray("{\\rtf1\\uc2\\u8364\\'80\\'80b}") << "€b";
        QTest::newRow("fallback as control word") << QByteArray("{\\rtf1 \\u8226\\bullet x}") << "•x";
        QTest::newRow("uc is per group") << QByteArray("{\\rtf1{\\uc2\\u937??}\\u937?c}") << "ΩΩc";
        QTest::newRow("group ends the fallback") << QByteArray("{\\rtf1\\uc3\\u937{b}c}") << "Ωbc";
        QTest::newRow("negative unicode") << QByteArray("{\\rtf1 \\u-32?}") << "\uFFE0";
        QTest::newRow("surrogate pair") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?!}") << "\U0001F600!";
        QTest::newRow("lone surrogate") << QByteArray("{\\rtf1 \\u-10179?x}") << "\uFFFDx";
        QTest::newRow("unicode out of range") << QByteArray("{\\rtf1 \\u99999999999?y}") << "\uFFFDy";
        QTest::newRow("escaped braces, backslash") << QByteArray("{\\rtf1 a\\{b\\}c\\\\d}") << "a{b}c\\d";
        QTest::newRow("special hyphens and space") << QByteArray("{\\rtf1 a\\~b\\-c\\_d}")
                                                   << "a\u00A0b\u00ADc\u2011d";
        QTest::newRow("quotes and dashes")
            << QByteArray("{\\rtf1 \\lquote a\\rquote  \\ldblquote b\\rdblquote  "
                          "c\\emdash d\\endash e\\bullet}")
            << "‘a’ “b” c—d–e•";
        QTest::newRow("paragraphs") << QByteArray("{\\rtf1 a\\par b\\par\\par c}") << "a\nb\n\nc";
        QTest::newRow("backslash newline") << QByteArray("{\\rtf1 a\\\nb\\\r\nc}") << "a\nb\nc";
        QTest::newRow("line and tab") << QByteArray("{\\rtf1 a\\line b\\tab c}") << "a\u2028b\tc";
        QTest::newRow("page and section") << QByteArray("{\\rtf1 a\\page b\\sect c}") << "a\nb\nc";
        QTest::newRow("line breaks in the file") << QByteArray("{\\rtf1 a\r\nb\nc\rd}") << "abcd";
        QTest::newRow("no trailing empty paragraph") << QByteArray("{\\rtf1 last\\par}") << "last";
        QTest::newRow("unknown words") << QByteArray("{\\rtf1 a\\foo b\\bar12 c\\baz-3 d\\qux}") << "abcd";
        QTest::newRow("overlong word") << QByteArray("{\\rtf1 a\\" + QByteArray(500, 'x') + " b}") << "ab";
        QTest::newRow("parameter digits all read") << QByteArray("{\\rtf1 \\fs99999999999 x}") << "x";
        QTest::newRow("starred destination") << QByteArray("{\\rtf1 a{\\*\\unknowndest hidden}b}") << "ab";
        QTest::newRow("starred known word") << QByteArray("{\\rtf1 a{\\*\\b hidden}b}") << "ab";
        QTest::newRow("unstarred unknown group") << QByteArray("{\\rtf1 {\\mydest shown}}") << "shown";
        QTest::newRow("info, header, footer")
            << QByteArray("{\\rtf1{\\info{\\title T}{\\author A}}{\\header H}{\\headerl L}{\\footerf F}body}")
            << "body";
        QTest::newRow("tables of the header")
            << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}"
                          "{\\stylesheet{\\s0 Normal;}}{\\*\\generator Writer;}"
                          "{\\listoverridetable{\\listoverride\\ls1}}text}")
            << "text";
        QTest::newRow("binary data") << QByteArray("{\\rtf1 a\\bin3 {}\\b}") << "ab";
        QTest::newRow("binary as fallback") << QByteArray("{\\rtf1 \\u937\\bin2 xyz}") << "Ωz";
        QTest::newRow("hidden text") << QByteArray("{\\rtf1 a{\\v hidden}b\\v c\\v0 d}") << "abd";
        QTest::newRow("upr pair") << QByteArray("{\\rtf1 {\\upr{ansi}{\\*\\ud{uni}}}}") << "uni";
        QTest::newRow("upr pair, ud without a group") << QByteArray("{\\rtf1 {\\upr{ansi}{\\*\\ud uni}}x}")
                                                      << "unix";
        QTest::newRow("bookmark names not shown")
            << QByteArray("{\\rtf1 {\\*\\bkmkstart mark}a{\\*\\bkmkend mark}b}") << "ab";
        QTest::newRow("bookmark before a character of several bytes")
            << QByteArray("{\\rtf1\\ansicpg932 {\\*\\bkmkstart jp}\\'82\\'a0}") << "あ";
        QTest::newRow("list text") << QByteArray("{\\rtf1 {\\listtext \\bullet\\tab}item\\par}") << "•\titem";
        QTest::newRow("field result") << QByteArray("{\\rtf1 p{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}}")
                                      << "p7";
        QTest::newRow("footnote") << QByteArray("{\\rtf1 a{\\footnote note}b}") << "ab";
        QTest::newRow("controls dropped") << QByteArray("{\\rtf1 a\x01\x7f" "b\\u0?c\\u65532?d}")
                                          << "abc\uFFFDd";
        QTest::newRow("text after the end") << QByteArray("{\\rtf1 a} b") << "a b";
        // clang-format on
    }

    void decodesText() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(rtf, &doc));
        QCOMPARE(blockText(doc), text);
    }

    // Only "{\rtf" starts rich text, after a byte order mark or white space
    // at most; anything else is shown as it is, in the default code page.
    void recognisesRtf_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("rtf");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain text") << QByteArray("Just some notes\nsecond line") << false
                                    << "Just some notes\nsecond line";
        QTest::newRow("cp1252") << QByteArray("caf\xe9 \x80 \x9c") << false << "café € œ";
        QTest::newRow("empty") << QByteArray() << false << "";
        QTest::newRow("brace first") << QByteArray("{\\rt") << false << "{\\rt";
        QTest::newRow("space inside") << QByteArray("{ \\rtf1 x}") << false << "{ \\rtf1 x}";
        QTest::newRow("upper case") << QByteArray("{\\RTF1 x}") << false << "{\\RTF1 x}";
        QTest::newRow("html") << QByteArray("<p>hi</p>") << false << "<p>hi</p>";
        QTest::newRow("bom") << QByteArray("\xEF\xBB\xBF{\\rtf1 x}") << true << "x";
        QTest::newRow("white space") << QByteArray(" \r\n\t{\\rtf1 x}") << true << "x";
        QTest::newRow("both") << QByteArray("\xEF\xBB\xBF\n{\\rtf x}") << true << "x";
    }

    void recognisesRtf() {
        QFETCH(QByteArray, data);
        QFETCH(bool, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        doc.setPlainText("old");
        QCOMPARE(RtfReader::isRtf(data), rtf);
        QCOMPARE(RtfReader::readRtf(data, &doc), rtf);
        QCOMPARE(doc.toPlainText(), text);
    }

    // ---- formatting ----

    void formatting_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("expected");
        const QByteArray h = "{\\rtf1\\deff0{\\fonttbl{\\f0 Times;}{\\f1\\fswiss Arial;}}"
                             "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}";
        const QVariant single = int(QTextCharFormat::SingleUnderline);
        const QVariant none = int(QTextCharFormat::NoUnderline);
        const QVariant green = QColor(0, 128, 0);
        const QVariant blue = QColor(Qt::blue);
        const QVariant noColour = QColor();
        // Documents written by real word processors, and the help.
        const QByteArray pandoc = readFile(fixturePath("pandoc-sample.rtf"));
        const QByteArray writer = readFile(fixturePath("writer-sample.rtf"));
        const QByteArray help = readFile(resourcePath("Help.rtf"));
        QTest::newRow("pandoc heading size") << pandoc << "Travel" << "pointSize" << QVariant(18.0);
        QTest::newRow("pandoc heading bold") << pandoc << "Travel" << "bold" << QVariant(true);
        QTest::newRow("pandoc subheading") << pandoc << "Prices" << "pointSize" << QVariant(16.0);
        QTest::newRow("pandoc body size") << pandoc << "This" << "pointSize" << QVariant(12.0);
        QTest::newRow("pandoc body not bold") << pandoc << "This" << "bold" << QVariant(false);
        QTest::newRow("pandoc bold") << pandoc << "bold" << "bold" << QVariant(true);
        QTest::newRow("pandoc bold ends") << pandoc << "italic" << "bold" << QVariant(false);
        QTest::newRow("pandoc italic") << pandoc << "italic" << "italic" << QVariant(true);
        QTest::newRow("pandoc underline") << pandoc << "underlined" << "underline" << single;
        QTest::newRow("pandoc no underline") << pandoc << "This" << "underline" << none;
        QTest::newRow("pandoc strike") << pandoc << "struck" << "strike" << QVariant(true);
        QTest::newRow("pandoc no strike") << pandoc << "in" << "strike" << QVariant(false);
        QTest::newRow("pandoc font") << pandoc << "This" << "family" << QVariant("Helvetica");
        QTest::newRow("pandoc second font") << pandoc << "monospace" << "family" << QVariant("Courier");
        QTest::newRow("pandoc quote indent") << pandoc << "indented" << "leftMargin" << QVariant(48.0);
        QTest::newRow("pandoc body indent") << pandoc << "This" << "leftMargin" << QVariant(0.0);
        QTest::newRow("pandoc space after") << pandoc << "This" << "bottomMargin" << QVariant(12.0);
        QTest::newRow("pandoc bullet indent") << pandoc << "third" << "leftMargin" << QVariant(24.0);
        QTest::newRow("pandoc bullet hang") << pandoc << "third" << "textIndent" << QVariant(-24.0);
        QTest::newRow("pandoc link") << pandoc << "example" << "href"
                                     << QVariant("https://example.org/travel");
        QTest::newRow("pandoc link colour") << pandoc << "example" << "foreground" << blue;
        QTest::newRow("pandoc link underline") << pandoc << "site" << "underline" << single;
        QTest::newRow("pandoc not a link") << pandoc << "Read" << "href" << QVariant(QString());

        QTest::newRow("writer title size") << writer << "Writer" << "pointSize" << QVariant(20.0);
        QTest::newRow("writer title bold") << writer << "Writer" << "bold" << QVariant(true);
        QTest::newRow("writer title centred") << writer << "Writer" << "alignment"
                                              << QVariant(int(Qt::AlignHCenter));
        QTest::newRow("writer plain") << writer << "Plain" << "bold" << QVariant(false);
        QTest::newRow("writer plain size") << writer << "Plain" << "pointSize" << QVariant(12.0);
        QTest::newRow("writer plain left") << writer << "Plain" << "alignment"
                                           << QVariant(int(Qt::AlignLeft));
        QTest::newRow("writer font") << writer << "Plain" << "family" << QVariant("Liberation Serif");
        QTest::newRow("writer bold") << writer << "bold" << "bold" << QVariant(true);
        QTest::newRow("writer italic") << writer << "italic" << "italic" << QVariant(true);
        QTest::newRow("writer not italic") << writer << "underlined" << "italic" << QVariant(false);
        QTest::newRow("writer underline") << writer << "underlined" << "underline" << single;
        QTest::newRow("writer strike") << writer << "struck" << "strike" << QVariant(true);
        QTest::newRow("writer small") << writer << "tiny" << "pointSize" << QVariant(8.0);
        QTest::newRow("writer large") << writer << "big" << "pointSize" << QVariant(16.0);
        QTest::newRow("writer second font") << writer << "typewriter" << "family"
                                            << QVariant("DejaVu Sans Mono");
        QTest::newRow("writer colour") << writer << "red" << "foreground" << QVariant(QColor(0xC0, 0, 0));
        QTest::newRow("writer no colour") << writer << "Plain" << "foreground" << QVariant(QColor());
        QTest::newRow("writer highlight") << writer << "highlighted" << "background"
                                          << QVariant(QColor(Qt::yellow));
        QTest::newRow("writer no highlight") << writer << "red" << "background" << QVariant(QColor());
        QTest::newRow("writer right") << writer << "Signed" << "alignment" << QVariant(int(Qt::AlignRight));
        QTest::newRow("writer left indent") << writer << "indented" << "leftMargin" << QVariant(96.0);
        QTest::newRow("writer right indent") << writer << "indented" << "rightMargin" << QVariant(48.0);
        QTest::newRow("writer first line") << writer << "indented" << "textIndent" << QVariant(24.0);
        QTest::newRow("writer space before") << writer << "indented" << "topMargin" << QVariant(12.0);
        QTest::newRow("writer space after") << writer << "indented" << "bottomMargin" << QVariant(24.0);
        QTest::newRow("writer list indent") << writer << "bread" << "leftMargin" << QVariant(48.0);
        QTest::newRow("writer list hang") << writer << "bread" << "textIndent" << QVariant(-24.0);
        QTest::newRow("writer list tab") << writer << "bread" << "tabs" << QVariant("24L");
        QTest::newRow("writer link") << writer << "writer" << "href"
                                     << QVariant("https://example.org/writer");
        QTest::newRow("writer link colour") << writer << "writer" << "foreground" << blue;
        QTest::newRow("writer after link") << writer << "more" << "href" << QVariant(QString());
        QTest::newRow("help heading") << help << "Help" << "bold" << QVariant(true);
        QTest::newRow("help heading size") << help << "Help" << "pointSize" << QVariant(18.0);
        QTest::newRow("help link") << help << "Tressik web site" << "href" << QVariant("https://tressik.example.org/");
        // Written here.
        QTest::newRow("bold") << h + "\\b one\\b0  two}" << "one" << "bold" << QVariant(true);
        // clang-format on
        // clang-format on
        QTest::newRow("bold off") << h + "\\b one\\b0  two}"
                                  << "two"
                                  << "bold" << QVariant(false);
        QTest::newRow("group restores") << h + "{\\b one} two}"
                                        << "two"
                                        << "bold" << QVariant(false);
        QTest::newRow("plain resets") << h + "\\b\\i\\fs40 one\\plain  two}"
                                      << "two"
                                      << "italic" << QVariant(false);
        QTest::newRow("plain resets size") << h + "\\fs40 one\\plain  two}"
                                           << "two"
                                           << "pointSize" << QVariant(12.0);
        QTest::newRow("italic") << h + "\\i one}"
                                << "one"
                                << "italic" << QVariant(true);
        QTest::newRow("underline") << h + "\\ul one\\ul0  two}"
                                   << "one"
                                   << "underline" << single;
        QTest::newRow("underline off") << h + "\\ul one\\ul0  two}"
                                       << "two"
                                       << "underline" << none;
        QTest::newRow("ulnone") << h + "\\ul one\\ulnone  two}"
                                << "two"
                                << "underline" << none;
        QTest::newRow("dotted") << h + "\\uld one}"
                                << "one"
                                << "underline" << QVariant(int(QTextCharFormat::DotLine));
        QTest::newRow("wave") << h + "\\ulwave one}"
                              << "one"
                              << "underline" << QVariant(int(QTextCharFormat::WaveUnderline));
        QTest::newRow("double") << h + "\\uldb one}"
                                << "one"
                                << "underline" << single;
        QTest::newRow("strike") << h + "\\strike one\\strike0  two}"
                                << "one"
                                << "strike" << QVariant(true);
        QTest::newRow("strike off") << h + "\\strike one\\strike0  two}"
                                    << "two"
                                    << "strike" << QVariant(false);
        QTest::newRow("size") << h + "\\fs17 one}"
                              << "one"
                              << "pointSize" << QVariant(8.5);
        QTest::newRow("default size") << h + "one}"
                                      << "one"
                                      << "pointSize" << QVariant(12.0);
        QTest::newRow("huge size clamped") << h + "\\fs99999999999 one}"
                                           << "one"
                                           << "pointSize" << QVariant(1638.0);
        QTest::newRow("negative size clamped") << h + "\\fs-8 one}"
                                               << "one"
                                               << "pointSize" << QVariant(1.0);
        QTest::newRow("default font") << h + "one}"
                                      << "one"
                                      << "family" << QVariant("Times");
        QTest::newRow("font") << h + "\\f1 one}"
                              << "one"
                              << "family" << QVariant("Arial");
        QTest::newRow("plain gives default font") << h + "\\f1 x \\plain one}"
                                                  << "one"
                                                  << "family" << QVariant("Times");
        QTest::newRow("colour") << h + "\\cf2 one}"
                                << "one"
                                << "foreground" << green;
        QTest::newRow("automatic colour") << h + "\\cf1 x \\cf0 one}"
                                          << "one"
                                          << "foreground" << noColour;
        QTest::newRow("colour out of table") << h + "\\cf9 one}"
                                             << "one"
                                             << "foreground" << noColour;
        QTest::newRow("highlight") << h + "\\highlight1 one}"
                                   << "one"
                                   << "background" << QVariant(QColor(Qt::red));
        QTest::newRow("highlight off") << h + "\\highlight1 x \\highlight0 one}"
                                       << "one"
                                       << "background" << noColour;
        QTest::newRow("cb") << h + "\\cb2 one}"
                            << "one"
                            << "background" << green;
        QTest::newRow("superscript") << h + "x \\super one}"
                                     << "one"
                                     << "valign" << QVariant(int(QTextCharFormat::AlignSuperScript));
        QTest::newRow("centred") << h + "\\qc one\\par}"
                                 << "one"
                                 << "alignment" << QVariant(int(Qt::AlignHCenter));
        QTest::newRow("right") << h + "\\qr one\\par}"
                               << "one"
                               << "alignment" << QVariant(int(Qt::AlignRight));
        QTest::newRow("justified") << h + "\\qj one\\par}"
                                   << "one"
                                   << "alignment" << QVariant(int(Qt::AlignJustify));
        QTest::newRow("pard resets") << h + "\\qc x\\par\\pard one\\par}"
                                     << "one"
                                     << "alignment" << QVariant(int(Qt::AlignLeft));
        QTest::newRow("kept to next paragraph") << h + "\\qr x\\par one\\par}"
                                                << "one"
                                                << "alignment" << QVariant(int(Qt::AlignRight));
        QTest::newRow("properties at the paragraph end") << h + "one\\qc\\par}"
                                                         << "one"
                                                         << "alignment" << QVariant(int(Qt::AlignHCenter));
        QTest::newRow("left indent") << h + "\\li1500 one\\par}"
                                     << "one"
                                     << "leftMargin" << QVariant(100.0);
        QTest::newRow("right indent") << h + "\\ri300 one\\par}"
                                      << "one"
                                      << "rightMargin" << QVariant(20.0);
        QTest::newRow("first line") << h + "\\fi-450 one\\par}"
                                    << "one"
                                    << "textIndent" << QVariant(-30.0);
        QTest::newRow("space before") << h + "\\sb150 one\\par}"
                                      << "one"
                                      << "topMargin" << QVariant(10.0);
        QTest::newRow("space after") << h + "\\sa75 one\\par}"
                                     << "one"
                                     << "bottomMargin" << QVariant(5.0);
        QTest::newRow("negative indent") << h + "\\li-99999999999 one\\par}"
                                         << "one"
                                         << "leftMargin" << QVariant(0.0);
        QTest::newRow("hanging indent tab") << h + "\\li720\\fi-360 \\bullet\\tab one\\par}"
                                            << "one"
                                            << "tabs" << QVariant("24L");
        QTest::newRow("tab stops") << h + "\\tqr\\tx2880\\tx1440 one\\tab b\\par}"
                                   << "one"
                                   << "tabs" << QVariant("96L 192R");
        QTest::newRow("tab stops from the indent") << h + "\\li720\\tx1440 one\\tab b\\par}"
                                                   << "one"
                                                   << "tabs" << QVariant("48L");
        QTest::newRow("pard clears tabs") << h + "\\tx1440 x\\par\\pard one\\par}"
                                          << "one"
                                          << "tabs" << QVariant(QString());
        QTest::newRow("paragraph style") << QByteArray(
                                                "{\\rtf1{\\stylesheet{\\s0 Normal;}{\\s1\\qc\\b\\fs36 Heading;}}"
                                                "\\pard\\s1 one\\par}")
                                         << "one"
                                         << "pointSize" << QVariant(18.0);
        QTest::newRow("paragraph style alignment")
            << QByteArray("{\\rtf1{\\stylesheet{\\s1\\qc\\b\\fs36 Heading;}}\\pard\\s1 one\\par}") << "one"
            << "alignment" << QVariant(int(Qt::AlignHCenter));
        QTest::newRow("based on") << QByteArray(
                                         "{\\rtf1{\\stylesheet{\\s1\\i Base;}{\\s2\\sbasedon1\\fs30 Derived;}}"
                                         "\\s2 one\\par}")
                                  << "one"
                                  << "italic" << QVariant(true);
        QTest::newRow("character style")
            << QByteArray("{\\rtf1{\\stylesheet{\\*\\cs10\\additive\\ul Link;}}a {\\cs10 one}\\par}") << "one"
            << "underline" << single;
        QTest::newRow("hyperlink") << QByteArray(
                                          "{\\rtf1 {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/a\"}}"
                                          "{\\fldrslt{one}}}}")
                                   << "one"
                                   << "href" << QVariant("https://example.org/a");
        QTest::newRow("hyperlink blue")
            << QByteArray(
                   "{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}{\\field{\\*\\fldinst HYPERLINK "
                   "\"http://x/\"}{\\fldrslt\\cf1 one}}}")
            << "one"
            << "foreground" << QVariant(QColor(Qt::blue));
        QTest::newRow("hyperlink underlined")
            << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x/\"}{\\fldrslt one}}}") << "one"
            << "underline" << single;
        QTest::newRow("hyperlink anchor")
            << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \\\\l \"top\"}{\\fldrslt one}}}") << "one"
            << "href" << QVariant("#top");
        QTest::newRow("hyperlink and anchor")
            << QByteArray(
                   "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x/p\" \\\\l \"s2\" \\\\o \"tip\"}"
                   "{\\fldrslt one}}}")
            << "one"
            << "href" << QVariant("http://x/p#s2");
        QTest::newRow("after the link")
            << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x/\"}{\\fldrslt link}} one}") << "one"
            << "href" << QVariant(QString());
        QTest::newRow("other field") << QByteArray("{\\rtf1{\\field{\\*\\fldinst DATE}{\\fldrslt one}}}") << "one"
                                     << "href" << QVariant(QString());
        QTest::newRow("bookmark") << QByteArray("{\\rtf1 x\\par{\\*\\bkmkstart intro}one two\\par}") << "one"
                                  << "anchors" << QVariant("intro");
        QTest::newRow("bookmark at a character of several bytes")
            << QByteArray("{\\rtf1\\ansicpg932 {\\*\\bkmkstart jp}\\'82\\'a0 one}") << "one"
            << "anchors" << QVariant("jp");
        QTest::newRow("two bookmarks at one place")
            << QByteArray("{\\rtf1 {\\*\\bkmkstart a}{\\*\\bkmkstart b}one}") << "one"
            << "anchors" << QVariant("a,b");
        QTest::newRow("bookmark only where it starts") << QByteArray("{\\rtf1 {\\*\\bkmkstart a}x \\b one}") << "one"
                                                       << "anchors" << QVariant(QString());
        QTest::newRow("bookmark waits for shown text")
            << QByteArray("{\\rtf1 {\\*\\bkmkstart a}{\\v hidden}one}") << "one"
            << "anchors" << QVariant("a");
    }

    void formatting() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, word);
        QFETCH(QString, property);
        QFETCH(QVariant, expected);
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(rtf, &doc));
        const std::optional<Formats> f = formatsOf(doc, word);
        QVERIFY2(f, qPrintable(blockText(doc)));
        QCOMPARE(::property(*f, property), expected);
    }

    // ---- tables ----

    void tables_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QStringList>("cells");  // of the last rows, row by row
        QTest::addColumn<QString>("outside");    // the text before and after; null: not checked
        QTest::addColumn<QTextLength>("width");  // of the second column; variable: not checked
        const QTextLength thousand(QTextLength::FixedLength, 1000 / 15.0);
        QTest::newRow("simple")
            << QByteArray("{\\rtf1 a\\par\\trowd\\cellx1000\\cellx2000\\intbl x\\cell y\\cell\\row"
                          "\\trowd\\cellx1000\\cellx2000\\intbl z\\cell w\\cell\\row\\pard b\\par}")
            << 2 << 2 << QStringList{"x", "y", "z", "w"} << "a\nb" << thousand;
        QTest::newRow("paragraphs in a cell")
            << QByteArray("{\\rtf1\\trowd\\cellx1000\\cellx2000{\\pard\\intbl one\\par}"
                          "{\\pard\\intbl two\\par}\\cell\\pard\\intbl three\\cell\\row\\pard after}")
            << 1 << 2 << QStringList{"one\ntwo", "three"} << "after" << QTextLength();
        QTest::newRow("empty cells")
            << QByteArray("{\\rtf1\\trowd\\cellx1\\cellx2\\cellx3\\intbl\\cell m\\cell\\cell\\row\\pard e}")
            << 1 << 3 << QStringList{"", "m", ""} << "e" << QTextLength();
        QTest::newRow("ragged rows")
            << QByteArray("{\\rtf1\\intbl a\\cell\\row\\intbl b\\cell c\\cell d\\cell\\row\\pard e}")
            << 2 << 3 << QStringList{"a", "", "", "b", "c", "d"} << "e" << QTextLength();
        QTest::newRow("nested table flattened")
            << QByteArray("{\\rtf1\\intbl o\\cell\\itap2 n1\\nestcell n2\\nestcell{\\*\\nesttableprops\\trowd"
                          "\\cellx5\\nestrow}{\\nonesttables fallback}\\itap1\\cell\\row\\pard e}")
            << 1 << 2 << QStringList{"o", "n1\tn2\t"} << "e" << QTextLength();
        QTest::newRow("list text in a cell")
            << QByteArray("{\\rtf1\\pard\\intbl{\\listtext\\pard\\plain \\bullet\\tab}item"
                          "\\cell\\row\\pard e}")
            << 1 << 1 << QStringList{"•\titem"} << "e" << QTextLength();
        QTest::newRow("cell without intbl") << QByteArray("{\\rtf1 x\\cell y\\cell\\row\\pard e}") << 1 << 2
                                            << QStringList{"x", "y"} << "e" << QTextLength();
        QTest::newRow("3000 rows") << tableRtf(3000, 4) << 3000 << 4
                                   << QStringList{"r2999c0", "r2999c1", "r2999c2", "r2999c3"} << "before\nafter"
                                   << thousand;
        QTest::newRow("pandoc") << readFile(fixturePath("pandoc-sample.rtf")) << 3 << 2
                                << QStringList{"Greece", "Athens"} << QString() << QTextLength();
        QTest::newRow("libreoffice") << readFile(fixturePath("writer-sample.rtf")) << 3 << 2
                                     << QStringList{"Delete", "removes the chosen entry"} << QString() << QTextLength();
        QTest::newRow("help") << readFile(resourcePath("Help.rtf")) << 9 << 2
                              << QStringList{"Visit", "Opens the web site of the people who make Tressik, in "
                                                      "Tressik\u2019s own browser window."}
                              << QString() << QTextLength();
        // Past the column limit, and in rows far narrower than a wide one, cells join the last column instead
        // of widening every row.
        QByteArray wide = "{\\rtf1\\intbl ";
        QStringList wideCells;
        QStringList joined;
        for (int i = 0; i < 10000; ++i) {
            wide += "c" + QByteArray::number(i) + "\\cell ";
            (i < 63 ? wideCells : joined) << "c" + QString::number(i);
        }
        QTest::newRow("10000 cells in a row") << wide + "\\row}" << 1 << 64 << (wideCells << joined.join(u'\n'))
                                              << QString() << QTextLength();
        const QByteArray ragged = "{\\rtf1\\intbl " + repeated("x\\cell ", 64) + "\\row" +
                                  repeated("\\intbl y\\cell z\\cell\\row", 2000) + "}";
        QStringList raggedCells{"x", "x", "x", QStringList(61, "x").join(u'\n')};
        for (int r = 0; r < 2000; ++r) raggedCells << "y" << "z" << "" << "";
        QTest::newRow("one wide row") << ragged << 2001 << 4 << raggedCells << QString() << QTextLength();
        // clang-format on
    }

    void tables() {
        QFETCH(QByteArray, rtf);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(QStringList, cells);
        QFETCH(QString, outside);
        QFETCH(QTextLength, width);
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(rtf, &doc));
        const std::vector<QTextTable*> tables = tablesIn(doc);
        QCOMPARE(tables.size(), size_t(1));
        QCOMPARE(tables[0]->rows(), rows);
        QCOMPARE(tables[0]->columns(), columns);
        QStringList found;
        for (int r = rows - int(cells.size()) / columns; r < rows; ++r)
            for (int c = 0; c < columns; ++c) found << cellText(tables[0], r, c);
        QCOMPARE(found, cells);
        if (!outside.isNull()) QCOMPARE(textOutsideTables(doc), outside);
        if (width.type() != QTextLength::VariableLength)
            QCOMPARE(tables[0]->format().columnWidthConstraints().value(1), width);
    }

    // ---- pictures ----

    void pictures_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QList<QSize>>("pixels");
        QTest::addColumn<QList<QSize>>("shown");
        QTest::addColumn<QString>("text");  // null: not checked
        const QByteArray png = image(30, 20);
        const QByteArray jpeg = image(16, 8, "JPEG");
        const QByteArray hex = png.toHex();
        const QString obj(QChar::ObjectReplacementCharacter);
        const QList<QSize> none;
        QTest::newRow("png hex, goal size")
            << "{\\rtf1 a{\\pict\\pngblip\\picw30\\pich20\\picwgoal900\\pichgoal450 " + hex + "}b}"
            << QList<QSize>{{30, 20}} << QList<QSize>{{60, 30}} << "a" + obj + "b";
        QTest::newRow("png hex with line breaks")
            << "{\\rtf1 {\\pict\\pngblip\r\n" + hex.left(20) + "\r\n" + hex.mid(20) + "}}"
            << QList<QSize>{{30, 20}}
            << QList<QSize>{{30, 20}} << obj;
        QTest::newRow("png binary")
            << "{\\rtf1 a{\\pict\\pngblip\\bin" + QByteArray::number(png.size()) + " " + png + "}b}"
            << QList<QSize>{{30, 20}} << QList<QSize>{{30, 20}} << "a" + obj + "b";
        QTest::newRow("jpeg scaled")
            << "{\\rtf1 {\\pict\\jpegblip\\picscalex50\\picscaley200 " + jpeg.toHex() + "}}"
            << QList<QSize>{{16, 8}}
            << QList<QSize>{{8, 16}} << obj;
        const QByteArray shape = "{\\shp{\\*\\shpinst\\shpleft0\\shptop-300\\shpright1500\\shpbottom450"
                                 "{\\sp{\\sn fillColor}{\\sv 5}}{\\sp{\\sn pib}{\\sv {\\pict\\pngblip " +
                                 hex + "}}}{\\sp{\\sn fillBlip}{\\sv {\\pict\\pngblip " + hex + "}}}}}";
        QTest::newRow("shape picture, fill ignored")
            << "{\\rtf1 a" + shape + "b}" << QList<QSize>{{30, 20}} << QList<QSize>{{100, 50}}
            << "a" + obj + "b";
        QTest::newRow("shppict, not its fallback")
            << "{\\rtf1 {\\*\\shppict{\\pict\\pngblip " + hex + "}}{\\nonshppict{\\pict\\wmetafile8 0102}}x}"
            << QList<QSize>{{30, 20}} << QList<QSize>{{30, 20}} << obj + "x";
        QTest::newRow("not an image") << QByteArray("{\\rtf1 a{\\pict\\pngblip 0011223344556677}b}") << none
                                      << none
                                      << "ab";
        QTest::newRow("truncated image") << "{\\rtf1 a{\\pict\\pngblip " + hex.left(60) + "}b}" << none
                                         << none
                                         << "ab";
        QTest::newRow("metafile") << "{\\rtf1 a{\\pict\\wmetafile8 " + hex + "}b}" << none << none << "ab";
        QTest::newRow("hidden") << "{\\rtf1 a{\\v{\\pict\\pngblip " + hex + "}}b}" << none << none << "ab";
        // pandoc sizes pictures at 20 twips to their pixel; Writer by the frame, here twice the image.
        QTest::newRow("pandoc") << readFile(fixturePath("pandoc-sample.rtf")) << QList<QSize>{{24, 12}, {40, 20}}
                                << QList<QSize>{{32, 16}, {53, 27}} << QString();
        QTest::newRow("libreoffice") << readFile(fixturePath("writer-sample.rtf"))
                                     << QList<QSize>{{24, 12}, {40, 20}} << QList<QSize>{{48, 24}, {60, 30}}
                                     << QString();
        // clang-format on
    }

    void pictures() {
        QFETCH(QByteArray, rtf);
        QFETCH(QList<QSize>, pixels);
        QFETCH(QList<QSize>, shown);
        QFETCH(QString, text);
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(rtf, &doc));
        QCOMPARE(pictureSizes(doc, false), pixels);
        QCOMPARE(pictureSizes(doc, true), shown);
        if (!text.isNull()) QCOMPARE(blockText(doc), text);
    }

    void readingReplacesTheDocument() {
        QTextDocument doc;
        const QByteArray png = image(4, 4).toHex();
        QVERIFY(RtfReader::readRtf("{\\rtf1 first{\\pict\\pngblip " + png + "}}", &doc));
        QCOMPARE(pictureSizes(doc, false).size(), 1);
        QVERIFY(RtfReader::readRtf("{\\rtf1 second}", &doc));
        QCOMPARE(blockText(doc), QStringLiteral("second"));
        QVERIFY(doc.resource(QTextDocument::ImageResource, QUrl("rtf-picture:1")).isNull());
        QVERIFY(!doc.isUndoAvailable());
    }

    void picturesShareOneBudget_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("kept");
        QTest::addColumn<QSize>("shown");
        const QByteArray big = "\\pngblip " + image(2048, 2048).toHex();  // 16 MB decoded
        const QByteArray deep = "\\pngblip " + image(2048, 2048, "PNG", QImage::Format_RGBA64).toHex();
        const QByteArray dot = "\\pngblip\\picw99999\\pich99999\\picwgoal99999999\\pichgoal99999999 " +
                               image(1, 1).toHex();
        QTest::newRow("the fifth of 16 MB each") << big << 5 << 4 << QSize(2048, 2048);
        QTest::newRow("16-bit pixels count double") << deep << 3 << 2 << QSize(2048, 2048);
        QTest::newRow("declared sizes cost nothing") << dot << 20 << 20 << QSize(8000, 8000);
        // clang-format on
    }

    // All pictures of a document decode to 64 MB at most; the ones past that are dropped, their text kept.
    void picturesShareOneBudget() {
        QFETCH(QByteArray, picture);
        QFETCH(int, count);
        QFETCH(int, kept);
        QFETCH(QSize, shown);
        QByteArray rtf = "{\\rtf1 ";
        QString text;
        for (int i = 0; i < count; ++i) {
            rtf += "t" + QByteArray::number(i) + "{\\pict" + picture + "}";
            text += "t" + QString::number(i);
        }
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(rtf + "end}", &doc));
        const QList<QSize> found = pictureSizes(doc, true);
        QCOMPARE(found.size(), kept);
        QCOMPARE(found.last(), shown);
        QCOMPARE(blockText(doc).remove(QChar::ObjectReplacementCharacter), text + "end");
    }

    // ---- damaged and hostile input ----

    void robustness_data() {
        // clang-format off
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("kept");  // text that must survive
        QTest::newRow("too many closing braces") << QByteArray("{\\rtf1 a}}}}} b}") << "a b";
        QTest::newRow("missing closing braces") << QByteArray("{\\rtf1 {\\b a {\\i b") << "a b";
        // clang-format on
        QTest::newRow("truncated control word") << QByteArray("{\\rtf1 text\\fs") << "text";
        QTest::newRow("truncated backslash") << QByteArray("{\\rtf1 text\\") << "text";
        QTest::newRow("truncated hex") << QByteArray("{\\rtf1 text\\'4") << "text";
        QTest::newRow("truncated unicode") << QByteArray("{\\rtf1 text\\u-") << "text";
        QTest::newRow("truncated picture") << QByteArray("{\\rtf1 text{\\pict\\pngblip 89504e47") << "text";
        QTest::newRow("truncated table") << QByteArray("{\\rtf1 \\trowd\\cellx100\\intbl cell text") << "cell text";
        QTest::newRow("truncated field") << QByteArray("{\\rtf1 before{\\field{\\*\\fldinst HYPERLINK \"x") << "before";
        QTest::newRow("huge parameters") << QByteArray(
                                                "{\\rtf1 \\fs99999999999\\li99999999999\\uc99999999999"
                                                "\\cf99999999999\\f-99999999999 text}")
                                         << "text";
        QTest::newRow("a thousand digits") << "{\\rtf1 \\b" + QByteArray(1000, '7') + " text}"
                                           << "text";
        QTest::newRow("deep nesting") << "{\\rtf1 " + QByteArray(100000, '{') + "deep text"
                                      << "deep text";
        QTest::newRow("deep and closed") << "{\\rtf1 " + QByteArray(100000, '{') + "deep\\par text" +
                                                QByteArray(100000, '}') + " after}"
                                         << "after";
        QTest::newRow("deep formatting") << "{\\rtf1 " + repeated("{\\b\\fs30 ", 50000) + "x"
                                         << "x";
        QTest::newRow("skipped then deep")
            << "{\\rtf1 {\\*\\skip " + QByteArray(5000, '{') + "hidden" + QByteArray(5000, '}') + "}shown}"
            << "shown";
        QTest::newRow("huge bin") << QByteArray("{\\rtf1 a\\bin2147483647 xyz}") << "a";
        QTest::newRow("bin past every limit") << QByteArray("{\\rtf1 a\\bin99999999999999999999 xyz}") << "a";
        QTest::newRow("negative bin") << QByteArray("{\\rtf1 a\\bin-5 b}") << "ab";
        QTest::newRow("huge bin in a picture") << QByteArray("{\\rtf1 a{\\pict\\pngblip\\bin999999999 \x89PNG") << "a";
        QTest::newRow("many fields") << "{\\rtf1 " +
                                            repeated("{\\field{\\*\\fldinst HYPERLINK \"u\"}{\\fldrslt l}}", 20000) +
                                            "}"
                                     << "llll";
        const QByteArray fonts = "{\\fonttbl" + repeated("{\\f7 F;}", 20000) + "}";
        const QByteArray colours = "{\\colortbl" + repeated("\\red1;", 20000) + "}";
        QTest::newRow("many fonts and colours") << "{\\rtf1" + fonts + colours + "t}"
                                                << "t";
        QTest::newRow("many paragraphs") << "{\\rtf1 " + repeated("p\\par ", 100000) + "}"
                                         << "p\np\np";
        QTest::newRow("binary garbage") << "{\\rtf1 start " + randomBytes(1 << 20) << "start";
        QTest::newRow("garbage of control words") << "{\\rtf1 start " + randomRtfish(1 << 20) << "start";
    }

    // Each must finish, keep its text, not grow the document past the input's size, and give a document
    // that can be laid out as the help window does.
    void robustness() {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, kept);
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(rtf, &doc));
        QVERIFY2(blockText(doc).contains(kept), qPrintable(blockText(doc).left(200)));
        QVERIFY(doc.characterCount() <= rtf.size());
        doc.setTextWidth(600);
        QVERIFY(doc.size().height() > 0);
    }

    void hostileFormats_data() {
        // clang-format off
        QTest::addColumn<HostileRtf::Shape>("shape");
        QTest::addColumn<bool>("pastTheLimit");  // more distinct formats than a document may make
        using HostileRtf::Shape;
        QTest::newRow("fonts") << Shape::Fonts << true;
        QTest::newRow("colour pairs of equal sums") << Shape::ColourPairs << true;
        QTest::newRow("sizes") << Shape::Sizes << false;
        QTest::newRow("mixed") << Shape::Mixed << true;
        QTest::newRow("tab stops") << Shape::TabStops << true;
        QTest::newRow("table widths") << Shape::Tables << false;
        // clang-format on
    }

    // A run for each format the file can ask for: every word kept in order, and no more formats made than
    // the limits allow (their speed is in the reader's benchmark).
    void hostileFormats() {
        QFETCH(HostileRtf::Shape, shape);
        QFETCH(bool, pastTheLimit);
        const HostileRtf::Document hostile = HostileRtf::make(shape, 400 * 1024);
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(hostile.rtf, &doc));
        const QString difference = firstDifference(words(doc.toPlainText()), hostile.words);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));

        QTextDocument empty;
        QVERIFY(RtfReader::readRtf("{\\rtf1 x}", &empty));
        const FormatCount own = formatCount(empty);  // what any document holds
        const FormatCount n = formatCount(doc);
        QVERIFY2(n.chars <= RtfReader::kMaxCharFormats + own.chars, qPrintable(QString::number(n.chars)));
        QVERIFY2(n.blocks <= RtfReader::kMaxParagraphFormats + own.blocks, qPrintable(QString::number(n.blocks)));
        if (pastTheLimit) QVERIFY(n.chars >= RtfReader::kMaxCharFormats || n.blocks >= RtfReader::kMaxParagraphFormats);
    }

    // Past the limit a run takes the nearest format made already: it gives up its background and its font
    // before its colour and its style.
    void pastTheFormatLimit() {
        QByteArray rtf = "{\\rtf1\\deff0{\\fonttbl";
        for (int f = 0; f < 1200; ++f) rtf += "{\\f" + QByteArray::number(f) + " Font " + QByteArray::number(f) + ";}";
        rtf += "}{\\colortbl;\\red200\\green0\\blue0;\\red0\\green0\\blue200;}";
        rtf += "{\\cf1 red} {\\b bold} ";
        for (int f = 1; f < 1100; ++f) rtf += "{\\f" + QByteArray::number(f) + "\\i w" + QByteArray::number(f) + "} ";
        rtf += "{\\f1150\\cf1\\cb2 late} {\\f1160\\b later}\\par}";
        QTextDocument doc;
        QVERIFY(RtfReader::readRtf(rtf, &doc));
        QVERIFY(blockText(doc).endsWith("w1099 late later"));
        const auto within = formatsOf(doc, "w5");
        QVERIFY(within);
        QCOMPARE(::property(*within, "family"), QVariant("Font 5"));
        const auto late = formatsOf(doc, "late");
        QVERIFY(late);
        QCOMPARE(::property(*late, "foreground"), QVariant(QColor(200, 0, 0)));
        QCOMPARE(::property(*late, "background"), QVariant(QColor()));
        QCOMPARE(::property(*late, "family"), QVariant("Font 0"));
        const auto later = formatsOf(doc, "later");
        QVERIFY(later);
        QCOMPARE(::property(*later, "bold"), QVariant(true));
        QCOMPARE(::property(*later, "family"), QVariant("Font 0"));
    }
};

QTEST_MAIN(tst_RtfReader)
#include "tst_RtfReader.moc"
