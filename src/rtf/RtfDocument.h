#pragma once

#include "rtf/CodePages.h"
#include "rtf/RtfFormats.h"
#include "rtf/RtfPictures.h"
#include "rtf/RtfState.h"

#include <QByteArray>
#include <QString>
#include <QTextCursor>
#include <QTextFormat>

#include <optional>
#include <vector>

class QTextDocument;

namespace Rtf {

// Builds the document from runs of text and pictures: paragraphs, and tables, which are collected
// whole and inserted at their end, since QTextTable rebuilds its cell grid after every added row and
// would make long tables quadratic.
class DocumentBuilder {
public:
    DocumentBuilder(QTextDocument* doc, Formats& formats, Decoders& decoders);

    // Bytes of one code page; they wait, so that a character written as several \'hh decodes whole.
    void addBytes(const RunKey& key, int codePage, QByteArrayView bytes);
    void addText(const RunKey& key, const QString& text);
    void addPicture(const RunKey& key, const Pictures::Placed& picture);

    // A paragraph's properties are the ones in force at its end, \intbl among them.
    void endParagraph(const ParaProps& props);
    void endCell(const ParaProps& props);
    void endRow(const ParaProps& props);
    // \nestrow: nested tables are flattened, each of their rows a paragraph of the outer cell.
    void endNestedRow(const ParaProps& props);
    void rowDefaults() { cellx_.clear(); }
    void cellRight(int twips);

    void setDefaultTab(int twips);
    // Writes what is still waiting and ends the edit.
    void finish(const ParaProps& props);

private:
    struct Item {
        RunKey key;
        QString text;
        std::optional<QTextImageFormat> image;
    };
    struct Para {
        std::vector<Item> items;
        QTextBlockFormat format;
    };
    struct Cell {
        std::vector<Para> paras;
    };
    struct Row {
        std::vector<Cell> cells;
        // cppcheck-suppress unusedStructMember ; read through rows_ for the table's format
        std::vector<int> cellx;
    };

    void flushBytes();
    void appendRun(const RunKey& key, const QString& text);
    bool paragraphEmpty() const { return para_.empty() && pendingBytes_.isEmpty(); }
    Para takePara(const ParaProps& props);
    void writeRootParagraph(const Para& p);
    void writeParagraph(QTextCursor& c, const Para& p);

    Cell& currentCell();
    void leaveTable();
    qsizetype tableColumns() const;
    void writeTable();

    QTextDocument* doc_;
    QTextCursor cursor_;
    Formats& formats_;
    Decoders& decoders_;

    std::vector<Item> para_;
    QByteArray pendingBytes_;
    RunKey pendingKey_;
    int pendingCodePage_ = kAnsiCodePage;
    bool needBlock_ = false;

    bool tableActive_ = false;
    bool needNewRow_ = true;
    bool needNewCell_ = true;
    std::vector<Row> rows_;
    std::vector<int> cellx_;
};

}  // namespace Rtf
