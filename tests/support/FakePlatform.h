#pragma once

#include "platform/Platform.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <deque>
#include <functional>

// Recording fakes for every desktop seam.

struct RecordedBox {
    QString text;
    QString caption;
    MsgButtons buttons;
    MsgResult defaultButton;
    MsgIcon icon;
    QWidget* parent;
};

class FakeMessageBox : public IMessageBox {
public:
    MsgResult show(const MessageBoxRequest& request) override;
    QList<RecordedBox> shown;
    // Answers given in turn; when none is left the default button is chosen.
    std::deque<MsgResult> answers;
    // Runs while the box is "open", e.g. to let timers tick as a modal box would.
    std::function<void()> whileOpen;
};

class FakeClipboard : public IClipboard {
public:
    void clear() override;
    void setText(const QString& text, bool secret) override;
    QString text;
    bool secret = false;
    int clears = 0;
};

class FakeOpener : public IOpener {
public:
    bool open(const QString& location) override;
    QStringList opened;
    bool canStart = true;
};

class FakeSettings : public ISettings {
public:
    QString read(const QString& application, const QString& section, const QString& key,
                 const QString& defaultValue) override;
    void write(const QString& application, const QString& section, const QString& key, const QString& value) override;
    QMap<QString, QString> values;  // "application/section/key"
    QStringList writes;
};

class FakeClock : public IClock {
public:
    QString nowText() override { return now; }
    QString text(const QDateTime& when) override { return when.toString(Qt::ISODate); }
    QString now = QStringLiteral("08/12/2026 10:11:12");
};

class FakeAppInfo : public IAppInfo {
public:
    QString applicationDir() override { return dir; }
    QString title() override { return QStringLiteral("Tressik"); }
    QString productName() override { return product; }
    QString companyName() override { return company; }
    QString comments() override { return website; }
    int versionMajor() override { return major; }
    int versionMinor() override { return minor; }
    bool skinSwitch() override { return skin; }
    QString dir;
    QString product = QStringLiteral("Tressik");
    QString company = QStringLiteral("Test Company");
    QString website = QStringLiteral("http://www.example.test/");
    int major = 1;
    int minor = 0;
    bool skin = false;
};

class FakeProgramEnd : public IProgramEnd {
public:
    void endNow() override { ++calls; }
    bool ended() const override { return calls > 0; }
    int calls = 0;
};

class FakeWebsiteHost : public IWebsiteHost {
public:
    void show(const WebsiteIdentity& identity) override {
        shows.push_back(identity);
        shown = answers;
    }
    bool isShown() const override { return shown; }
    void mainClosed() override { ++mainClosedCalls; }
    void close() override {
        ++closeCalls;
        shown = false;
    }
    // What the real host reports when the user closes the window.
    void userCloses() {
        shown = false;
        if (onClosed) onClosed();
    }
    QList<WebsiteIdentity> shows;
    bool shown = false;
    bool answers = true;  // false: the browser never says its window is shown
    int mainClosedCalls = 0;
    int closeCalls = 0;
};

// The fakes, still reachable after the App took ownership of them.
struct Fakes {
    FakeMessageBox* messageBox;
    FakeClipboard* clipboard;
    FakeOpener* opener;
    FakeSettings* settings;
    FakeClock* clock;
    FakeAppInfo* appInfo;
    FakeProgramEnd* programEnd;
    FakeWebsiteHost* website;
};

Platform makeFakePlatform(Fakes* fakes, const QString& dir);
