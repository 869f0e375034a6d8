#pragma once

#include "entry/Entry.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QTypeInfo>

#include <memory>

// The three fields of an entry held together in one block. Text the vault
// can store, which is all text read from a vault, is kept as the vault's
// code-page bytes, one byte a character, so a large vault in memory costs
// about what its file does; any other text as UTF-16.
class PackedEntry {
public:
    PackedEntry() = default;
    PackedEntry(const QString& username, const QString& password, const QString& location);
    // A code-page entry with fields of these sizes, its bytes left to the caller.
    static PackedEntry withCodePageBytes(qsizetype size0, qsizetype size1, qsizetype size2);

    PackedEntry(const PackedEntry& other);
    PackedEntry& operator=(const PackedEntry& other);
    PackedEntry(PackedEntry&&) noexcept = default;
    PackedEntry& operator=(PackedEntry&&) noexcept = default;
    ~PackedEntry() = default;

    // Field i: 0 username, 1 password, 2 location.
    qsizetype fieldSize(int i) const { return end(i) - begin(i); }
    QString field(int i) const;
    // Writes field i's fieldSize(i) characters at out.
    void copyField(int i, QChar* out) const;
    Entry toEntry() const { return {field(0), field(1), field(2)}; }

    // True when the text is held as code-page bytes.
    bool isCodePage() const { return !wide_; }
    // Field i's code-page bytes; only for a code-page entry.
    QByteArrayView codePageField(int i) const { return {data_.get() + begin(i), fieldSize(i)}; }
    char* codePageData() { return data_.get(); }

    // The same three texts held the same way.
    friend bool operator==(const PackedEntry& a, const PackedEntry& b);
    size_t hash() const;

private:
    qsizetype begin(int i) const { return i == 0 ? 0 : i == 1 ? end0_ : end1_; }
    qsizetype end(int i) const { return i == 0 ? end0_ : i == 1 ? end1_ : static_cast<qsizetype>(size_); }
    qsizetype bytes() const { return static_cast<qsizetype>(size_) * (wide_ ? 2 : 1); }
    void allocate();

    std::unique_ptr<char[]> data_;
    qsizetype end0_ = 0;  // where the username ends, in characters
    qsizetype end1_ = 0;  // where the password ends
    // No block of memory comes near 2^63 characters, so the top bit is free.
    quint64 size_ : 63 = 0;
    quint64 wide_ : 1 = 0;  // UTF-16 rather than code-page bytes
};

// Rows shift with a plain memory move.
Q_DECLARE_TYPEINFO(PackedEntry, Q_RELOCATABLE_TYPE);
