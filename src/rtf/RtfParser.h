#pragma once

#include "rtf/CodePages.h"
#include "rtf/ControlWords.h"
#include "rtf/RtfDocument.h"
#include "rtf/RtfFormats.h"
#include "rtf/RtfLinks.h"
#include "rtf/RtfPictures.h"
#include "rtf/RtfState.h"
#include "rtf/RtfTables.h"
#include "rtf/RtfTokenizer.h"

#include <QByteArray>
#include <QString>

#include <string_view>
#include <vector>

class QTextDocument;

namespace Rtf {

// Keeps the group stack, each group's destination and properties, and sends every token where its
// destination says: to the tables, the fields and bookmarks, the pictures or the document.
class Parser final : private Tokenizer::Handler {
public:
    // data from start, which is where "{\rtf" begins, into doc, which is empty.
    Parser(const QByteArray& data, qsizetype start, QTextDocument* doc);

    void run();

private:
    State& top() { return stack_.back(); }
    const State& top() const { return stack_.back(); }

    // The tokens
    void openGroup() override;
    void closeGroup() override;
    void word(std::string_view name, bool hasParam, int param) override;
    void symbol(char c) override;
    void bytes(QByteArrayView bytes) override;
    void binary(QByteArrayView bytes) override;

    void endDestination(Dest closed, Dest parent);
    void openDestination(Kw kw);
    void destinationWord(const Word& w, bool hasParam, int param);
    void textWord(const Word& w, bool hasParam, int param);
    void onText(const QString& text);
    void unicodeChar(int param);

    // The document's text
    RunKey takeRunKey();
    void addBytes(QByteArrayView bytes);
    void addText(const QString& text);
    void startPicture();
    void endPicture();

    Tokenizer tokens_;
    QTextDocument* doc_;
    std::vector<State> stack_;  // stack_[0] is outside every group
    int overflow_ = 0;          // open groups past the depth limit

    Decoders decoders_;
    Tables tables_;
    Links links_;
    Pictures pictures_;
    Formats formats_{tables_, links_};
    DocumentBuilder builder_;
};

}  // namespace Rtf
