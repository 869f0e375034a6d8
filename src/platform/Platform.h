#pragma once

#include <QString>

class QDateTime;

#include <functional>
#include <memory>

class QWidget;

// The seams between the windows and the desktop. The program installs the
// real implementations at start; tests install recording fakes.

enum class MsgButtons { Ok, OkCancel, RetryCancel, YesNo };
enum class MsgResult { Ok, Cancel, Retry, Yes, No };
enum class MsgIcon { None, Information, Warning, Critical };

struct MessageBoxRequest {
    QWidget* parent = nullptr;
    QString text;
    QString caption;
    MsgButtons buttons = MsgButtons::Ok;
    MsgResult defaultButton = MsgResult::Ok;
    MsgIcon icon = MsgIcon::None;
};

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual MsgResult show(const MessageBoxRequest& request) = 0;
};

class IClipboard {
public:
    virtual ~IClipboard() = default;
    virtual void clear() = 0;
    // secret: the text is a password and should be kept out of clipboard history.
    virtual void setText(const QString& text, bool secret) = 0;
};

class IOpener {
public:
    virtual ~IOpener() = default;
    // Hands the location to the desktop's opener as one argument. False when
    // the opener could not be started at all.
    virtual bool open(const QString& location) = 0;
};

class ISettings {
public:
    virtual ~ISettings() = default;
    virtual QString read(const QString& application, const QString& section, const QString& key,
                         const QString& defaultValue) = 0;
    virtual void write(const QString& application, const QString& section, const QString& key,
                       const QString& value) = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    // The current date and time as the system formats it: short date, a space, long time.
    virtual QString nowText() = 0;
    // Another moment, the same way.
    virtual QString text(const QDateTime& when) = 0;
};

// The executable's folder and its version information.
class IAppInfo {
public:
    virtual ~IAppInfo() = default;
    virtual QString applicationDir() = 0;
    virtual QString title() = 0;
    virtual QString productName() = 0;
    virtual QString companyName() = 0;
    virtual QString comments() = 0;
    virtual int versionMajor() = 0;
    virtual int versionMinor() = 0;
    virtual bool skinSwitch() = 0;
};

class IProgramEnd {
public:
    virtual ~IProgramEnd() = default;
    // Closes every window and leaves the event loop; nothing is saved.
    virtual void endNow() = 0;
    virtual bool ended() const = 0;
};

// What the browser window is told of the program it belongs to.
struct WebsiteIdentity {
    QString productName;
    QString companyName;
    QString website;
    bool skin = false;
};

// The in-app browser window. It runs in a process of its own, so the web
// engine never shares memory with the vault, and a start does not pay for it.
class IWebsiteHost {
public:
    virtual ~IWebsiteHost() = default;
    // Opens the window on the web site; when it is open already, only brings it forward.
    virtual void show(const WebsiteIdentity& identity) = 0;
    // The window is on the screen: the browser has said so. One still on its
    // way does not count, since it may never come.
    virtual bool isShown() const = 0;
    // The main window has closed: closing the browser window now ends the program.
    virtual void mainClosed() = 0;
    // Closes the window, if it is open or on its way, and lets its process go
    // without waiting for it.
    virtual void close() = 0;

    // The window has gone: closed by the user, or its process ended.
    std::function<void()> onClosed;
    // The window could not be opened, or its process failed; the text says so.
    std::function<void(const QString&)> onFailed;
};

struct Platform {
    std::unique_ptr<IMessageBox> messageBox;
    std::unique_ptr<IClipboard> clipboard;
    std::unique_ptr<IOpener> opener;
    std::unique_ptr<ISettings> settings;
    std::unique_ptr<IClock> clock;
    std::unique_ptr<IAppInfo> appInfo;
    std::unique_ptr<IProgramEnd> programEnd;
    std::unique_ptr<IWebsiteHost> website;
};
