#include "platform/WebsiteProcess.h"

#include "platform/FileSync.h"

#include <QCoreApplication>

#include <utility>

WebsiteProcess::WebsiteProcess(QString program) : program_(std::move(program)) {}

WebsiteProcess::~WebsiteProcess() { stopProcess(); }

QString WebsiteProcess::executableName() {
#if defined(Q_OS_WIN)
    return QStringLiteral("tressik-browser.exe");
#else
    return QStringLiteral("tressik-browser");
#endif
}

void WebsiteProcess::show(const WebsiteIdentity& identity) {
    if (isShown()) {
        send(BrowserProtocol::kShow);
        return;
    }
    // A browser that is still on its way out is let go; the new window starts afresh.
    stopProcess();
    const QString program =
        program_.isEmpty() ? joinPath(QCoreApplication::applicationDirPath(), executableName()) : program_;
    auto* p = new QProcess(this);
    p->setProgram(program);
    p->setArguments(BrowserProtocol::identityArguments(identity));
    // What the browser prints for people goes where ours does.
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(p, &QProcess::readyReadStandardOutput, this, &WebsiteProcess::readOutput);
    connect(p, &QProcess::finished, this, &WebsiteProcess::finished);
    connect(p, &QProcess::errorOccurred, this, &WebsiteProcess::startFailed);
    process_ = p;
    reader_ = {};
    state_ = State::Starting;
    p->start();
}

bool WebsiteProcess::isShown() const { return state_ == State::Starting || state_ == State::Shown; }

void WebsiteProcess::mainClosed() { send(BrowserProtocol::kMainClosed); }

void WebsiteProcess::close() { stopProcess(); }

void WebsiteProcess::stopProcess() {
    QProcess* p = process_.data();
    state_ = State::None;
    if (!p) return;
    process_ = nullptr;
    p->disconnect(this);
    if (p->state() != QProcess::NotRunning) {
        p->write(BrowserProtocol::kClose);
        p->write("\n");
        p->closeWriteChannel();
        if (!p->waitForFinished(3000)) {
            p->kill();
            p->waitForFinished(1000);
        }
    }
    p->deleteLater();
}

qint64 WebsiteProcess::processId() const { return process_ ? process_->processId() : 0; }

void WebsiteProcess::send(const char* word) {
    // Written while the process is still starting, the word waits in the pipe.
    if (!process_ || process_->state() == QProcess::NotRunning) return;
    process_->write(word);
    process_->write("\n");
}

void WebsiteProcess::readOutput() {
    if (!process_) return;
    for (const QByteArray& line : reader_.feed(process_->readAllStandardOutput())) {
        if (line == BrowserProtocol::kShown) {
            if (state_ == State::Starting) state_ = State::Shown;
        } else if (line == BrowserProtocol::kClosed) {
            reportClosed();
        }
        // Anything else is not ours to act on.
    }
}

void WebsiteProcess::finished(int exitCode, QProcess::ExitStatus status) {
    if (QProcess* p = process_.data()) {
        readOutput();
        process_ = nullptr;
        p->deleteLater();
    }
    if (state_ == State::Gone || state_ == State::None) {
        state_ = State::None;
        return;
    }
    const bool opened = state_ == State::Shown;
    if (status == QProcess::CrashExit)
        reportFailure(QStringLiteral("The web site window closed unexpectedly."));
    else if (exitCode != 0)
        reportFailure(opened ? QStringLiteral("The web site window closed unexpectedly.")
                             : QStringLiteral("The web site window could not be opened."));
    reportClosed();
    state_ = State::None;
}

void WebsiteProcess::startFailed(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;  // a crash arrives as finished() too
    if (QProcess* p = process_.data()) {
        process_ = nullptr;
        p->disconnect(this);
        p->deleteLater();
    }
    state_ = State::None;
    reportFailure(QStringLiteral("The web site window could not be opened: ") + executableName() +
                  QStringLiteral(" could not be started."));
    if (onClosed) onClosed();
}

void WebsiteProcess::reportClosed() {
    if (state_ == State::Gone || state_ == State::None) return;
    state_ = State::Gone;
    if (onClosed) onClosed();
}

void WebsiteProcess::reportFailure(const QString& text) {
    if (onFailed) onFailed(text);
}
