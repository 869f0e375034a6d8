#include "VaultEntries.h"

#include <cstring>

namespace VaultCodec {

std::vector<QByteArray> splitLines(const QByteArray& bytes) {
    std::vector<QByteArray> lines;
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    while (start < n) {
        const void* cr = std::memchr(p + start, '\r', static_cast<size_t>(n - start));
        const qsizetype end = cr ? static_cast<const char*>(cr) - p : n;
        lines.emplace_back(p + start, end - start);
        start = end + 1;
        if (start < n && p[start] == '\n') ++start;
    }
    return lines;
}

std::vector<Entry> readEntries(const QByteArray& bytes) {
    std::vector<Entry> entries;
    for (const PackedEntry& e : readPackedEntries(bytes)) entries.push_back(e.toEntry());
    return entries;
}

std::optional<QByteArray> serialiseVault(const QString& masterPassword, const std::vector<Entry>& entries) {
    std::vector<PackedEntry> packed;
    packed.reserve(entries.size());
    for (const Entry& e : entries) packed.emplace_back(e.username, e.password, e.location);
    return serialiseVault(masterPassword, static_cast<qsizetype>(packed.size()),
                          [&](qsizetype n) { return &packed[static_cast<size_t>(n)]; });
}

}  // namespace VaultCodec
