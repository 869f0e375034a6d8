#include "platform/WebsiteProcess.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <utility>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// Root cannot run the web engine sandboxed at all: there the settings that
// turn the sandbox off are needed, and kept.
bool privileged() {
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

// Kills a browser process and lets it go without waiting: destroying a
// QProcess that still runs would wait for it on this thread. It frees itself
// once it has gone, if the event loop still runs; at the program's end the
// system takes what is left.
void abandon(QProcess* p) {
    // Never destroyed, so that what is left at the end stays in reach for
    // the system to take, rather than counting as lost.
    static auto* const abandoned = new QList<QPointer<QProcess>>;
    abandoned->removeAll(nullptr);
    p->setParent(nullptr);
    QObject::connect(p, &QProcess::finished, p, &QObject::deleteLater);
    p->kill();
    abandoned->push_back(p);
}

}  // namespace

WebsiteProcess::WebsiteProcess(QString program, std::chrono::milliseconds startLimit,
                               std::chrono::milliseconds closeGrace)
    : program_(std::move(program)), startLimit_(startLimit), closeGrace_(closeGrace) {
    startTimer_.setSingleShot(true);
    connect(&startTimer_, &QTimer::timeout, this, &WebsiteProcess::startTimedOut);
}

// The program is ending: whatever browser is left is killed, never waited for.
WebsiteProcess::~WebsiteProcess() {
    leaving_.push_back(process_);
    for (const QPointer<QProcess>& p : std::as_const(leaving_)) {
        if (!p || p->state() == QProcess::NotRunning) continue;
        p->disconnect(this);
        abandon(p.data());
    }
}

QString WebsiteProcess::executableName() {
#if defined(Q_OS_WIN)
    return QStringLiteral("tressik-browser.exe");
#else
    return QStringLiteral("tressik-browser");
#endif
}

void WebsiteProcess::show(const WebsiteIdentity& identity) {
    // Open, or on its way: the word waits in the pipe until the browser reads it.
    if (state_ != State::None) {
        send(BrowserProtocol::kShow);
        return;
    }
    const QString program =
        program_.isEmpty() ? joinPath(QCoreApplication::applicationDirPath(), executableName()) : program_;
    auto* p = new QProcess(this);
    p->setProgram(program);
    p->setArguments(BrowserProtocol::identityArguments(identity));
    p->setProcessEnvironment(
        BrowserProtocol::browserEnvironment(QProcessEnvironment::systemEnvironment(), privileged()));
    // What the browser prints for people goes where ours does.
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(p, &QProcess::readyReadStandardOutput, this, &WebsiteProcess::readOutput);
    connect(p, &QProcess::finished, this, &WebsiteProcess::finished);
    connect(p, &QProcess::errorOccurred, this, &WebsiteProcess::startFailed);
    process_ = p;
    reader_ = {};
    state_ = State::Starting;
    startTimer_.start(startLimit_);
    p->start();
}

bool WebsiteProcess::isShown() const { return state_ == State::Shown; }

void WebsiteProcess::mainClosed() { send(BrowserProtocol::kMainClosed); }

void WebsiteProcess::close() {
    state_ = State::None;
    letGo();
}

// Asks the browser to close and leaves it to go in its own time; one that
// stays past the grace time is killed.
void WebsiteProcess::letGo() {
    startTimer_.stop();
    QProcess* p = process_.data();
    process_ = nullptr;
    if (!p) return;
    p->disconnect(this);
    if (p->state() == QProcess::NotRunning) {
        p->deleteLater();
        return;
    }
    connect(p, &QProcess::finished, p, &QObject::deleteLater);
    p->write(BrowserProtocol::kClose);
    p->write("\n");
    p->closeWriteChannel();
    QTimer::singleShot(closeGrace_, p, [p] { p->kill(); });
    leaving_.removeAll(nullptr);
    leaving_.push_back(p);
}

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
            startTimer_.stop();
        } else if (line == BrowserProtocol::kClosed) {
            // Its window is gone; the process has the grace time to follow.
            letGo();
            reportClosed();
            return;
        }
        // Anything else is not ours to act on.
    }
}

void WebsiteProcess::finished(int exitCode, QProcess::ExitStatus status) {
    QProcess* p = process_.data();
    if (!p) return;
    readOutput();
    if (process_ != p) return;  // it said "closed" on its way out
    process_ = nullptr;
    p->deleteLater();
    startTimer_.stop();
    const bool opened = state_ == State::Shown;
    if (status == QProcess::CrashExit) reportFailure(QStringLiteral("The web site window closed unexpectedly."));
    else if (exitCode != 0)
        reportFailure(opened ? QStringLiteral("The web site window closed unexpectedly.")
                             : QStringLiteral("The web site window could not be opened."));
    reportClosed();
}

void WebsiteProcess::startFailed(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart) return;  // a crash arrives as finished() too
    if (QProcess* p = process_.data()) {
        process_ = nullptr;
        p->disconnect(this);
        p->deleteLater();
    }
    startTimer_.stop();
    reportFailure(QStringLiteral("The web site window could not be opened: ") + executableName() +
                  QStringLiteral(" could not be started."));
    reportClosed();
}

void WebsiteProcess::startTimedOut() {
    if (state_ != State::Starting) return;
    letGo();
    reportFailure(QStringLiteral("The web site window did not open within %1 seconds, so it was stopped.")
                      .arg(std::chrono::duration_cast<std::chrono::seconds>(startLimit_).count()));
    reportClosed();
}

void WebsiteProcess::reportClosed() {
    if (state_ == State::None) return;
    state_ = State::None;
    if (onClosed) onClosed();
}

void WebsiteProcess::reportFailure(const QString& text) {
    if (onFailed) onFailed(text);
}
