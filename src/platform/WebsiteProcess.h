#pragma once

#include "platform/BrowserProtocol.h"
#include "platform/Platform.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <chrono>

// The program's side of the browser window: starts the browser executable
// when the window is first asked for, talks to it over its standard input and
// output, and learns when the window is shown or gone. Nothing here ever
// waits for the browser process: a browser that does not answer is stopped on
// a timer, and the program goes on.
class WebsiteProcess final : public QObject, public IWebsiteHost {
    Q_OBJECT
public:
    // program: the browser executable; empty means "tressik-browser" beside this one.
    // startLimit: how long the browser has to show its window.
    // closeGrace: how long a browser asked to close has before it is killed.
    explicit WebsiteProcess(QString program = {}, std::chrono::milliseconds startLimit = std::chrono::seconds(20),
                            std::chrono::milliseconds closeGrace = std::chrono::seconds(3));
    ~WebsiteProcess() override;
    WebsiteProcess(const WebsiteProcess&) = delete;
    WebsiteProcess& operator=(const WebsiteProcess&) = delete;

    void show(const WebsiteIdentity& identity) override;
    bool isShown() const override;
    void mainClosed() override;
    void close() override;

    static QString executableName();

private:
    enum class State { None, Starting, Shown };

    void letGo();
    void readOutput();
    void finished(int exitCode, QProcess::ExitStatus status);
    void startFailed(QProcess::ProcessError error);
    void startTimedOut();
    void send(const char* word);
    void reportClosed();
    void reportFailure(const QString& text);

    QString program_;
    std::chrono::milliseconds startLimit_;
    std::chrono::milliseconds closeGrace_;
    QPointer<QProcess> process_;
    QList<QPointer<QProcess>> leaving_;
    State state_ = State::None;
    QTimer startTimer_;
    BrowserProtocol::LineReader reader_;
};
