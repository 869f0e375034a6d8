#pragma once

#include "program/App.h"
#include "support/FakePlatform.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <QWindow>

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

// Whether the window stays above other windows, as the window system is told.
inline bool onTop(const QWidget* w) {
    return w->windowHandle() && w->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
}

// Deletes windows whose unload is pending.
void flushDeletes();
