#include "platform/ParentChannel.h"

#include "platform/BrowserProtocol.h"

#include <QSocketNotifier>
#include <QTimer>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#endif
#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif

namespace {

#if defined(Q_OS_UNIX)

class StdioChannel : public ParentChannel {
public:
    StdioChannel() {
        const pid_t parent = getppid();
#if defined(Q_OS_LINUX)
        // The window never outlives the program, whichever way the program ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
        out_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        // Should standard output stay the channel, stray prints reach the
        // program too; it ignores all but its few words.
        if (out_ >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
            ::close(out_);
            out_ = STDOUT_FILENO;
        }
        const int flags = fcntl(STDIN_FILENO, F_GETFL);
        if (flags >= 0) fcntl(STDIN_FILENO, F_SETFL, flags | O_NONBLOCK);
        notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { readInput(); });
        // Orphaned before the signal was asked for: the program is gone
        // already. A parent of id 1 is no sign of that (an init-less
        // container starts us so); the end of standard input tells then.
        if (getppid() != parent) QTimer::singleShot(0, this, [this] { lost(); });
    }
    ~StdioChannel() override {
        if (out_ > STDERR_FILENO) ::close(out_);
    }
    StdioChannel(const StdioChannel&) = delete;
    StdioChannel& operator=(const StdioChannel&) = delete;

    void send(const QByteArray& word) override {
        if (out_ < 0) return;
        QByteArray line = word + '\n';
        const char* p = line.constData();
        qsizetype left = line.size();
        while (left > 0) {
            const ssize_t n = ::write(out_, p, static_cast<size_t>(left));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;  // the program is gone; its channel tells us soon
            p += n;
            left -= n;
        }
    }

private:
    void readInput() {
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n > 0) {
                for (const QByteArray& line : reader_.feed(QByteArray(buffer, n))) emit received(line);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
            lost();
            return;
        }
    }
    void lost() {
        if (lost_) return;
        lost_ = true;
        notifier_->setEnabled(false);
        emit closed();
    }

    int out_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    BrowserProtocol::LineReader reader_;
    bool lost_ = false;
};

#else

// Elsewhere the window runs on its own, without a line to the program.
class StdioChannel : public ParentChannel {
public:
    void send(const QByteArray&) override {}
};

#endif

}  // namespace

std::unique_ptr<ParentChannel> openParentChannel() { return std::make_unique<StdioChannel>(); }
