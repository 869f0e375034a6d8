#pragma once

#include "entry/Entry.h"
#include "vault/VaultCodec.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// Vaults as plain entry vectors, for the tests, the benchmarks and the
// fuzzers. The program itself keeps entries packed and never needs these.
namespace VaultCodec {

// Splits raw file bytes into lines: a CR ends a line and an LF right after it
// is dropped; a lone LF stays part of the line; the last line may lack its
// end. Written apart from the reader, so the two can check each other.
std::vector<QByteArray> splitLines(const QByteArray& bytes);

// Every entry the program would load from these bytes.
std::vector<Entry> readEntries(const QByteArray& bytes);

// The vault the program writes for these entries; nullopt when some text
// cannot be stored.
std::optional<QByteArray> serialiseVault(const QString& masterPassword, const std::vector<Entry>& entries);

}  // namespace VaultCodec
