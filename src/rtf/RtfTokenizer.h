#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <string_view>

namespace Rtf {

// The value of a hex digit; -1 for any other character.
int hexValue(char c);

// Splits a document into its tokens: group braces, control words with their parameters, control
// symbols, \'hh bytes, \binN data and plain text. After \uN it drops the fallback that follows, the
// characters meant for readers without Unicode.
class Tokenizer {
public:
    // Receives the tokens in document order.
    class Handler {
    public:
        virtual void openGroup() = 0;
        virtual void closeGroup() = 0;
        // name is empty for a word too long to be one the reader knows.
        virtual void word(std::string_view name, bool hasParam, int param) = 0;
        virtual void symbol(char c) = 0;
        // Text bytes in the current code page: plain text, \'hh and escaped characters.
        virtual void bytes(QByteArrayView bytes) = 0;
        // The data of \binN.
        virtual void binary(QByteArrayView bytes) = 0;

    protected:
        ~Handler() = default;
    };

    // data from start, which is where "{\rtf" begins.
    Tokenizer(const QByteArray& data, qsizetype start) : data_(data.constData()), pos_(start), size_(data.size()) {}

    void run(Handler& handler);

    // The next n characters (bytes, \'hh, whole control words) are the fallback of a \uN just read;
    // a group's brace ends it early.
    void skipFallback(int n) { skip_ = n; }

private:
    void readText(Handler& handler);
    void readControl(Handler& handler);
    void readWord(Handler& handler);
    void readHexByte(Handler& handler);
    void readBinary(Handler& handler, int length);
    // Whether the token just read is fallback, to be dropped.
    bool skipped();

    const char* data_;
    qsizetype pos_;
    qsizetype size_;
    int skip_ = 0;  // fallback characters still to skip after \uN
};

}  // namespace Rtf
