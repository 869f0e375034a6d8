#include "rtf/RtfTokenizer.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>

namespace Rtf {
namespace {

constexpr qsizetype kMaxWordLength = 32;  // letters in a control word
constexpr qint64 kParamLimit = qint64(INT_MAX) + 1;

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool endsText(char c) { return c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n'; }

}  // namespace

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void Tokenizer::run(Handler& handler) {
    while (pos_ < size_) {
        const char c = data_[pos_];
        if (c == '{') {
            ++pos_;
            skip_ = 0;
            handler.openGroup();
        } else if (c == '}') {
            ++pos_;
            skip_ = 0;
            handler.closeGroup();
        } else if (c == '\\') {
            readControl(handler);
        } else if (c == '\r' || c == '\n') {
            ++pos_;
        } else {
            readText(handler);
        }
    }
}

void Tokenizer::readText(Handler& handler) {
    const qsizetype start = pos_;
    while (pos_ < size_ && !endsText(data_[pos_])) ++pos_;
    qsizetype from = start;
    if (skip_ > 0) {
        const qsizetype n = std::min<qsizetype>(skip_, pos_ - start);
        skip_ -= int(n);
        from += n;
    }
    if (from < pos_) handler.bytes(QByteArrayView(data_ + from, pos_ - from));
}

void Tokenizer::readControl(Handler& handler) {
    ++pos_;
    if (pos_ >= size_) return;
    const char c = data_[pos_];
    if (isLetter(c)) {
        readWord(handler);
        return;
    }
    ++pos_;
    if (c == '\'') {
        readHexByte(handler);
    } else if (!skipped()) {
        handler.symbol(c);
    }
}

void Tokenizer::readWord(Handler& handler) {
    const qsizetype start = pos_;
    while (pos_ < size_ && isLetter(data_[pos_])) ++pos_;
    const qsizetype length = pos_ - start;
    // Longer names are no word we know.
    const std::string_view name =
        length <= kMaxWordLength ? std::string_view(data_ + start, size_t(length)) : std::string_view();
    bool negative = false;
    if (pos_ + 1 < size_ && data_[pos_] == '-' && isDigit(data_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    bool hasParam = false;
    qint64 value = 0;
    // Every digit is read, so no digits spill into the text; the value stops growing at the limit.
    while (pos_ < size_ && isDigit(data_[pos_])) {
        hasParam = true;
        if (value < kParamLimit) value = value * 10 + (data_[pos_] - '0');
        ++pos_;
    }
    if (pos_ < size_ && data_[pos_] == ' ') ++pos_;
    const qint64 signedValue = negative ? -value : value;
    const int param = int(std::clamp<qint64>(signedValue, INT_MIN, INT_MAX));
    if (name == "bin") {
        readBinary(handler, hasParam ? param : 0);
    } else if (!skipped()) {
        handler.word(name, hasParam, param);
    }
}

void Tokenizer::readHexByte(Handler& handler) {
    int value = 0;
    int digits = 0;
    while (digits < 2 && pos_ < size_ && hexValue(data_[pos_]) >= 0) {
        value = value * 16 + hexValue(data_[pos_++]);
        ++digits;
    }
    if (skipped() || digits == 0) return;
    const char byte = char(value);
    handler.bytes(QByteArrayView(&byte, 1));
}

void Tokenizer::readBinary(Handler& handler, int length) {
    const qsizetype n = std::clamp<qsizetype>(length, 0, size_ - pos_);
    const QByteArrayView bytes(data_ + pos_, n);
    pos_ += n;
    if (!skipped()) handler.binary(bytes);
}

// After \uN, the next N characters (bytes, \'hh, whole control words) are the fallback for readers
// without Unicode.
bool Tokenizer::skipped() {
    if (skip_ <= 0) return false;
    --skip_;
    return true;
}

}  // namespace Rtf
