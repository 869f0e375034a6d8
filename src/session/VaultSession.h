#pragma once

#include "listview/ListItems.h"
#include "session/VaultSync.h"

class App;

// The open vault: its entries, as the list shows them, and following the file.
class VaultSession {
public:
    explicit VaultSession(App& app) : sync(app) {
        for (const char* header : {"Username", "Password", "Website/Location"})
            entries_.addColumnHeader(QString::fromLatin1(header));
    }

    ListItems& entries() { return entries_; }
    const ListItems& entries() const { return entries_; }

private:
    ListItems entries_;

public:
    VaultSync sync;
};
