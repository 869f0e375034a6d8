#include "rtf/RtfDocument.h"

#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <utility>

namespace Rtf {
namespace {

constexpr size_t kMaxColumns = 64;
constexpr qsizetype kMaxTableCells = 100000;  // grid cells of one table, filled or not
constexpr int kDefaultTab = 720;              // twips, as Word has it

}  // namespace

DocumentBuilder::DocumentBuilder(QTextDocument* doc, Formats& formats, Decoders& decoders)
    : doc_(doc), cursor_(doc), formats_(formats), decoders_(decoders) {
    setDefaultTab(kDefaultTab);
    cursor_.beginEditBlock();
}

// Only the tab distance: a QTextEdit keeps its wrapping in the same option.
void DocumentBuilder::setDefaultTab(int twips) {
    QTextOption option = doc_->defaultTextOption();
    option.setTabStopDistance(std::clamp(toPixels(twips), 1.0, 1000.0));
    doc_->setDefaultTextOption(option);
}

void DocumentBuilder::finish(const ParaProps& props) {
    if (!paragraphEmpty()) endParagraph(props);
    leaveTable();
    cursor_.endEditBlock();
}

// ---- paragraphs ----

void DocumentBuilder::addBytes(const RunKey& runKey, int codePage, QByteArrayView bytes) {
    RunKey key = runKey;
    // A bookmark's run goes on with the bytes after it, so a character of several \'hh stays whole.
    if (!pendingBytes_.isEmpty() && key.anchors < 0) {
        RunKey same = key;
        same.anchors = pendingKey_.anchors;
        if (same == pendingKey_) key = same;
    }
    if (!pendingBytes_.isEmpty() && (!(key == pendingKey_) || codePage != pendingCodePage_)) flushBytes();
    pendingKey_ = key;
    pendingCodePage_ = codePage;
    pendingBytes_.append(bytes);
}

void DocumentBuilder::flushBytes() {
    if (pendingBytes_.isEmpty()) return;
    appendRun(pendingKey_, decoders_.decode(pendingBytes_, pendingCodePage_));
    pendingBytes_.resize(0);
}

void DocumentBuilder::addText(const RunKey& key, const QString& text) {
    flushBytes();
    appendRun(key, text);
}

void DocumentBuilder::addPicture(const RunKey& key, const Pictures::Placed& picture) {
    QTextImageFormat format;
    format.merge(formats_.charFormat(key));
    format.setName(picture.name);
    format.setWidth(picture.size.width());
    format.setHeight(picture.size.height());
    flushBytes();
    para_.push_back(Item{key, {}, format});
}

void DocumentBuilder::appendRun(const RunKey& key, const QString& text) {
    if (para_.empty() || para_.back().image || !(para_.back().key == key)) {
        QString cleaned;
        appendCleaned(cleaned, text);
        if (!cleaned.isEmpty()) para_.push_back(Item{key, cleaned, std::nullopt});
        return;
    }
    appendCleaned(para_.back().text, text);
}

DocumentBuilder::Para DocumentBuilder::takePara(const ParaProps& props) {
    flushBytes();
    Para p{std::move(para_), formats_.blockFormat(props)};
    para_.clear();
    return p;
}

void DocumentBuilder::endParagraph(const ParaProps& props) {
    if (props.inTable) {
        currentCell().paras.push_back(takePara(props));
        return;
    }
    const Para p = takePara(props);
    leaveTable();
    writeRootParagraph(p);
}

void DocumentBuilder::writeRootParagraph(const Para& p) {
    if (needBlock_) cursor_.insertBlock();
    writeParagraph(cursor_, p);
    needBlock_ = true;
}

void DocumentBuilder::writeParagraph(QTextCursor& c, const Para& p) {
    c.setBlockFormat(p.format);
    for (const Item& item : p.items) {
        if (item.image) c.insertImage(*item.image);
        else c.insertText(pairedSurrogates(item.text), formats_.charFormat(item.key));
    }
}

// ---- tables ----

DocumentBuilder::Cell& DocumentBuilder::currentCell() {
    tableActive_ = true;
    if (needNewRow_) {
        rows_.emplace_back();
        rows_.back().cellx = cellx_;
        needNewRow_ = false;
        needNewCell_ = true;
    }
    Row& row = rows_.back();
    // Past the column limit the extra cells' text joins the last cell.
    if (needNewCell_ && (row.cells.empty() || row.cells.size() < kMaxColumns)) row.cells.emplace_back();
    needNewCell_ = false;
    return row.cells.back();
}

void DocumentBuilder::endCell(const ParaProps& props) {
    const bool hasText = !paragraphEmpty();
    Cell& cell = currentCell();
    if (hasText || cell.paras.empty()) cell.paras.push_back(takePara(props));
    needNewCell_ = true;
}

void DocumentBuilder::endRow(const ParaProps& props) {
    if (!paragraphEmpty()) endCell(props);
    if (tableActive_) needNewRow_ = true;
}

void DocumentBuilder::endNestedRow(const ParaProps& props) { currentCell().paras.push_back(takePara(props)); }

void DocumentBuilder::cellRight(int twips) {
    if (cellx_.size() < kMaxColumns) cellx_.push_back(twips);
}

void DocumentBuilder::leaveTable() {
    if (!tableActive_) return;
    writeTable();
    rows_.clear();
    tableActive_ = false;
    needNewRow_ = true;
}

// A grid as wide as its widest row, unless a few wide rows would make it mostly empty cells.
qsizetype DocumentBuilder::tableColumns() const {
    qsizetype widest = 1;
    qsizetype cells = 0;
    for (const Row& r : rows_) {
        widest = std::max(widest, qsizetype(r.cells.size()));
        cells += qsizetype(r.cells.size());
    }
    const qsizetype budget = std::min(kMaxTableCells, 2 * cells + qsizetype(kMaxColumns));
    return std::clamp(budget / qsizetype(rows_.size()), qsizetype(1), widest);
}

void DocumentBuilder::writeTable() {
    if (rows_.empty()) return;
    const qsizetype columns = tableColumns();
    const int rows = int(rows_.size());
    const QTextTableFormat format = formats_.tableFormat(columns, rows_.front().cellx);
    QTextTable* table = cursor_.insertTable(rows, int(columns), format);
    for (size_t r = 0; r < rows_.size(); ++r) {
        for (size_t c = 0; c < rows_[r].cells.size(); ++c) {
            // Cells past the grid's last column add their paragraphs to it.
            const bool own = qsizetype(c) < columns;
            const int column = int(std::min(qsizetype(c), columns - 1));
            QTextCursor cell = table->cellAt(int(r), column).lastCursorPosition();
            const std::vector<Para>& paras = rows_[r].cells[c].paras;
            for (size_t i = 0; i < paras.size(); ++i) {
                if (i > 0 || !own) cell.insertBlock();
                writeParagraph(cell, paras[i]);
            }
        }
    }
    cursor_.movePosition(QTextCursor::End);
    needBlock_ = false;  // the empty block after the table takes the next paragraph
}

}  // namespace Rtf
