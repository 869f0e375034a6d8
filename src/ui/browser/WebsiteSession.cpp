#include "ui/browser/WebsiteSession.h"

#include "platform/BrowserProtocol.h"
#include "platform/ParentChannel.h"
#include "program/App.h"
#include "ui/browser/frmWebsite.h"

#include <QProcessEnvironment>

#include <cstdio>

WebsiteSession::WebsiteSession(App& app, ParentChannel& channel) : app_(app), channel_(channel) {
    connect(&channel_, &ParentChannel::received, this, &WebsiteSession::received);
    // Without the program there is nothing to browse for.
    connect(&channel_, &ParentChannel::closed, this, [this] { app_.endProgram(); });
}

void WebsiteSession::start() {
    // For whoever reads the program's output; the window says nothing of it.
    const QByteArray notice = BrowserProtocol::droppedNotice(QProcessEnvironment::systemEnvironment());
    if (!notice.isEmpty()) std::fputs(notice.constData(), stderr);
    qunsetenv(BrowserProtocol::kDroppedVariable);
    frmWebsite* window = app_.forms.show<frmWebsite>();
    if (!window) {
        app_.endProgram();
        return;
    }
    connect(window, &Form::unloaded, this, &WebsiteSession::windowUnloaded);
    channel_.send(BrowserProtocol::kShown);
}

void WebsiteSession::received(const QByteArray& line) {
    if (line == BrowserProtocol::kShow) {
        if (frmWebsite* window = app_.forms.get<frmWebsite>()) app_.forms.showForm(window);
    } else if (line == BrowserProtocol::kMainClosed) {
        app_.g.blnMainClosed = true;
    } else if (line == BrowserProtocol::kClose) {
        app_.forms.unload<frmWebsite>();
    }
}

void WebsiteSession::windowUnloaded() {
    channel_.send(BrowserProtocol::kClosed);
    // Every opening of the window is a process of its own.
    app_.endProgram();
}
