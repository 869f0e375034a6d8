#pragma once

#include "app/App.h"
#include "support/FakePlatform.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <memory>

// A program with recording fakes over a fresh temporary folder.
struct TestApp {
    TestApp();
    ~TestApp();

    QString dir() const { return folder.path(); }
    QString vaultPath() const { return app->vaultPath(); }
    void writeVault(const QByteArray& bytes) const;
    QByteArray vaultBytes() const;

    QTemporaryDir folder;
    Fakes fakes{};
    std::unique_ptr<App> app;
};

// Deletes windows whose unload is pending.
void flushDeletes();
