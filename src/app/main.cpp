#include "app/Program.h"
#include "app/frmSplash.h"
#include "forms/Accessible.h"
#include "forms/Application.h"
#include "platform/NoCoreDump.h"
#include "platform/RealPlatform.h"
#include "program/App.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    forbidCoreDumps();
    // cppcheck-suppress unreadVariable ; it runs the program, and sees every event first
    Application application(argc, argv);
    installScreenReaderSupport();
    // The program ends when its windows say so, not when the last one hides.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/tressik.png")));
    App app(makeRealPlatform());
    TieProgram(app);
    QApplication::setApplicationName(app.platform.appInfo->productName());
    app.forms.show<frmSplash>();
    return QApplication::exec();
}
