#pragma once

#include "platform/BrowserProtocol.h"
#include "platform/Platform.h"

#include <QObject>
#include <QProcess>
#include <QPointer>

// The program's side of the browser window: starts the browser executable
// when the window is first asked for, talks to it over its standard input and
// output, and learns when the window is shown or gone.
class WebsiteProcess final : public QObject, public IWebsiteHost {
    Q_OBJECT
public:
    // program: the browser executable; empty means "tressik-browser" beside this one.
    explicit WebsiteProcess(QString program = {});
    ~WebsiteProcess() override;
    WebsiteProcess(const WebsiteProcess&) = delete;
    WebsiteProcess& operator=(const WebsiteProcess&) = delete;

    void show(const WebsiteIdentity& identity) override;
    bool isShown() const override;
    void mainClosed() override;
    void close() override;

    // The browser's process id, 0 when none runs.
    qint64 processId() const;

    static QString executableName();

private:
    enum class State { None, Starting, Shown, Gone };

    void stopProcess();
    void readOutput();
    void finished(int exitCode, QProcess::ExitStatus status);
    void startFailed(QProcess::ProcessError error);
    void send(const char* word);
    void reportClosed();
    void reportFailure(const QString& text);

    QString program_;
    QPointer<QProcess> process_;
    State state_ = State::None;
    BrowserProtocol::LineReader reader_;
};
