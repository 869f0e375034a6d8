// tressik-browser: the in-app browser window, in a process of its own. The
// program starts it when the window is first opened and talks to it over its
// standard input and output.
#include "forms/Accessible.h"
#include "forms/Application.h"
#include "platform/BrowserProtocol.h"
#include "platform/ParentChannel.h"
#include "platform/RealPlatform.h"
#include "program/App.h"
#include "ui/browser/WebsiteSession.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

int main(int argc, char* argv[]) {
    // The web engine shares its GL contexts with the widgets; only this process pays for that.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // cppcheck-suppress unreadVariable ; it runs the program, and sees every event first
    Application application(argc, argv);
    installScreenReaderSupport();
    const std::optional<WebsiteIdentity> identity =
        BrowserProtocol::identityFromArguments(QCoreApplication::arguments().mid(1));
    if (!identity) {
        std::fputs("tressik-browser is started by tressik when its web site window opens.\n", stderr);
        return 2;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/tressik.png")));
    QApplication::setApplicationName(identity->productName);
    const std::unique_ptr<ParentChannel> channel = openParentChannel();
    App app(makeRealPlatform(*identity));
    WebsiteSession session(app, *channel);
    session.start();
    return QApplication::exec();
}
