#include "support/TestApp.h"

#include "app/Program.h"

#include <QCoreApplication>
#include <QFile>

TestApp::TestApp() : app(std::make_unique<App>(makeFakePlatform(&fakes, folder.path()))) { TieProgram(*app); }

TestApp::~TestApp() {
    app.reset();
    flushDeletes();
}

void TestApp::writeVault(const QByteArray& bytes) const {
    QFile f(vaultPath());
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray TestApp::vaultBytes() const {
    QFile f(vaultPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
