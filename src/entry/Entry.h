#pragma once

#include <QString>

// One login: no identifier, no timestamps.
struct Entry {
    QString username;
    QString password;
    QString location;

    friend bool operator==(const Entry&, const Entry&) = default;
};
