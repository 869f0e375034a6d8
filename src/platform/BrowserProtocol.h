#pragma once

#include "platform/Platform.h"

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QStringList>

#include <optional>

// The words the program and its browser process exchange, one per line, over
// the browser's standard input and output. Anything else is ignored.
namespace BrowserProtocol {

// program -> browser
inline constexpr char kShow[] = "show";               // bring the window forward
inline constexpr char kMainClosed[] = "main-closed";  // closing the window now ends the program
inline constexpr char kClose[] = "close";             // close the window

// browser -> program
inline constexpr char kShown[] = "shown";
inline constexpr char kClosed[] = "closed";

// Longer lines are none of ours: dropped whole, never buffered without bound.
inline constexpr qsizetype kMaxLine = 64;

// The browser's command line: what it is told of the program.
QStringList identityArguments(const WebsiteIdentity& identity);
// Every option once, nothing else; no value otherwise.
std::optional<WebsiteIdentity> identityFromArguments(const QStringList& arguments);

// The browser's environment: the program's, less what would weaken the web
// engine when set for some other program: a switch in its flags, read as the
// engine reads them, that turns a sandbox off or runs without one, opens a
// debugging port or pipe, turns web security off, or wraps the engine's
// processes in another program. privileged: running as root, where the
// engine cannot be sandboxed at all, so those settings are what let it run,
// and they are kept.
QProcessEnvironment browserEnvironment(const QProcessEnvironment& environment, bool privileged);

// Cuts bytes as they arrive into complete lines.
class LineReader {
public:
    QList<QByteArray> feed(const QByteArray& bytes);

private:
    QByteArray partial_;
    bool skipping_ = false;  // inside a line that grew too long
};

}  // namespace BrowserProtocol
