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

// The browser's environment: the program's, less what could weaken the web
// engine when set for some other program. Of the engine's switches, read as
// the engine reads them, only those known to be harmless are passed on; the
// settings that turn its sandbox off, open a debugging port or swap its
// helper program are not passed at all. What was left out is named in
// kDroppedVariable, for the browser to tell. privileged: running as root,
// where the engine cannot be sandboxed at all, so those settings are what let
// it run, and they are kept.
QProcessEnvironment browserEnvironment(const QProcessEnvironment& environment, bool privileged);

inline constexpr char kDroppedVariable[] = "TRESSIK_BROWSER_DROPPED";

// The one line the browser prints at its start when something was left out
// of its environment, naming it; empty otherwise.
QByteArray droppedNotice(const QProcessEnvironment& environment);

// Cuts bytes as they arrive into complete lines.
class LineReader {
public:
    QList<QByteArray> feed(const QByteArray& bytes);

private:
    QByteArray partial_;
    bool skipping_ = false;  // inside a line that grew too long
};

}  // namespace BrowserProtocol
