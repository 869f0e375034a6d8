#pragma once

#include "VaultEntries.h"
#include "vault/VaultCodec.h"

#include <QByteArray>
#include <vector>

// Vault bytes as the program writes them, for fixtures.
inline QByteArray vaultOf(const QString& password, const std::vector<Entry>& entries = {}) {
    return VaultCodec::serialiseVault(password, entries).value();
}
