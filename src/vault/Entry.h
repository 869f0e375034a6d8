#pragma once

#include <QString>
#include <QStringView>
#include <QTypeInfo>

// One login: no identifier, no timestamps.
struct Entry {
    QString username;
    QString password;
    QString location;

    friend bool operator==(const Entry&, const Entry&) = default;
};

// The three fields of an entry held in one string, so a large vault costs one
// allocation per entry.
struct PackedEntry {
    QString text;  // username, password and location, one after the other
    qsizetype end0 = 0;  // where the username ends
    qsizetype end1 = 0;  // where the password ends

    PackedEntry() = default;
    PackedEntry(const QString& username, const QString& password, const QString& location)
        : text(username + password + location), end0(username.size()), end1(username.size() + password.size()) {}

    QStringView field(int i) const {
        const QStringView all(text);
        switch (i) {
            case 0: return all.first(end0);
            case 1: return all.sliced(end0, end1 - end0);
            default: return all.sliced(end1);
        }
    }
    Entry toEntry() const {
        return {field(0).toString(), field(1).toString(), field(2).toString()};
    }
};

Q_DECLARE_TYPEINFO(PackedEntry, Q_RELOCATABLE_TYPE);
