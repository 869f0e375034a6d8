#include "app/App.h"

#include "app/WebsiteWindow.h"
#include "vault/VaultFile.h"

#include <QtGlobal>

static void initResources() { Q_INIT_RESOURCE(resources); }

App::App(Platform p) : platform(std::move(p)) {
    // The pictures live in this library; a static link would otherwise drop them.
    initResources();
    WatchWebsiteWindow(*this);
}

App::~App() = default;

QString App::vaultPath() const { return VaultFile::vaultPath(platform.appInfo->applicationDir()); }

bool App::lockVault() {
    if (vaultLock_ && vaultLock_->isLocked()) return true;
    vaultLock_ = std::make_unique<QLockFile>(vaultPath() + QStringLiteral(".lock"));
    // Only a live holder counts: a lock left by a crash is taken over.
    vaultLock_->setStaleLockTime(0);
    if (vaultLock_->tryLock(0)) return true;
    return vaultLock_->error() != QLockFile::LockFailedError;
}

MsgResult App::msgBox(QWidget* parent, const QString& text, const QString& caption, MsgButtons buttons,
                      MsgResult defaultButton, MsgIcon icon) {
    MessageBoxRequest request;
    request.parent = parent;
    request.text = text;
    request.caption = caption.isEmpty() ? platform.appInfo->title() : caption;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    request.icon = icon;
    return platform.messageBox->show(request);
}
