#include "entry/PackedEntry.h"

#include "text/CodePage.h"

#include <QHashFunctions>

#include <cstring>

PackedEntry::PackedEntry(const QString& username, const QString& password, const QString& location)
    : end0_(username.size()),
      end1_(username.size() + password.size()),
      size_(static_cast<quint64>(username.size() + password.size() + location.size())) {
    allocate();
    char* out = data_.get();
    bool storable = true;
    for (const QString* f : {&username, &password, &location}) {
        storable = CodePage::toBytes(*f, out);
        if (!storable) break;
        out += f->size();
    }
    if (storable) return;
    // A character the vault cannot hold: keep the text as it is.
    wide_ = 1;
    allocate();
    out = data_.get();
    for (const QString* f : {&username, &password, &location}) {
        if (f->isEmpty()) continue;
        std::memcpy(out, f->constData(), static_cast<size_t>(f->size()) * 2);
        out += f->size() * 2;
    }
}

PackedEntry PackedEntry::withCodePageBytes(qsizetype size0, qsizetype size1, qsizetype size2) {
    PackedEntry e;
    e.end0_ = size0;
    e.end1_ = size0 + size1;
    e.size_ = static_cast<quint64>(size0 + size1 + size2);
    e.allocate();
    return e;
}

PackedEntry::PackedEntry(const PackedEntry& other)
    : end0_(other.end0_), end1_(other.end1_), size_(other.size_), wide_(other.wide_) {
    allocate();
    if (data_) std::memcpy(data_.get(), other.data_.get(), static_cast<size_t>(bytes()));
}

PackedEntry& PackedEntry::operator=(const PackedEntry& other) {
    if (this != &other) *this = PackedEntry(other);
    return *this;
}

void PackedEntry::allocate() {
    const qsizetype n = bytes();
    data_ = n > 0 ? std::make_unique_for_overwrite<char[]>(static_cast<size_t>(n)) : nullptr;
}

void PackedEntry::copyField(int i, QChar* out) const {
    const qsizetype n = fieldSize(i);
    if (n == 0) return;
    if (wide_) {
        std::memcpy(out, data_.get() + begin(i) * 2, static_cast<size_t>(n) * 2);
    } else {
        CodePage::toChars(codePageField(i), out);
    }
}

QString PackedEntry::field(int i) const {
    QString s(fieldSize(i), Qt::Uninitialized);
    copyField(i, s.data());
    return s;
}

bool operator==(const PackedEntry& a, const PackedEntry& b) {
    if (a.wide_ != b.wide_ || a.end0_ != b.end0_ || a.end1_ != b.end1_ || a.size_ != b.size_) return false;
    return a.bytes() == 0 || std::memcmp(a.data_.get(), b.data_.get(), static_cast<size_t>(a.bytes())) == 0;
}

size_t PackedEntry::hash() const {
    const QByteArrayView all(data_.get(), bytes());
    return qHashMulti(0, all, end0_, end1_, static_cast<bool>(wide_));
}
