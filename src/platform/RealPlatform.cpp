#include "platform/RealPlatform.h"

#include "BuildInfo.h"
#include "platform/WebsiteProcess.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>

#include <utility>

namespace {

class RealMessageBox : public IMessageBox {
public:
    MsgResult show(const MessageBoxRequest& r) override {
        QMessageBox box(r.parent);
        box.setWindowTitle(r.caption);
        box.setTextFormat(Qt::PlainText);
        box.setText(r.text);
        switch (r.icon) {
            case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
            case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
            case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
            case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        }
        QPushButton* ok = nullptr;
        QPushButton* cancel = nullptr;
        QPushButton* retry = nullptr;
        QPushButton* yes = nullptr;
        QPushButton* no = nullptr;
        switch (r.buttons) {
            case MsgButtons::Ok: ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole); break;
            case MsgButtons::OkCancel:
                ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
                cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
                break;
            case MsgButtons::RetryCancel:
                retry = box.addButton(QStringLiteral("Retry"), QMessageBox::AcceptRole);
                cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
                break;
            case MsgButtons::YesNo:
                yes = box.addButton(QStringLiteral("Yes"), QMessageBox::YesRole);
                no = box.addButton(QStringLiteral("No"), QMessageBox::NoRole);
                break;
        }
        QPushButton* def = nullptr;
        switch (r.defaultButton) {
            case MsgResult::Ok: def = ok; break;
            case MsgResult::Cancel: def = cancel; break;
            case MsgResult::Retry: def = retry; break;
            case MsgResult::Yes: def = yes; break;
            case MsgResult::No: def = no; break;
        }
        box.setDefaultButton(def ? def : (ok ? ok : retry ? retry : no));
        box.setEscapeButton(cancel ? cancel : no ? no : ok);
        box.exec();
        const auto* clicked = box.clickedButton();
        if (clicked && clicked == ok) return MsgResult::Ok;
        if (clicked && clicked == retry) return MsgResult::Retry;
        if (clicked && clicked == yes) return MsgResult::Yes;
        if (r.buttons == MsgButtons::YesNo) return MsgResult::No;
        return r.buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Cancel;
    }
};

class RealClipboard : public IClipboard {
public:
    void clear() override { QGuiApplication::clipboard()->clear(); }
    void setText(const QString& text, bool secret) override {
        auto* data = new QMimeData;
        data->setText(text);
        // Clipboard managers leave a text marked this way out of their history.
        if (secret) data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
        QGuiApplication::clipboard()->setMimeData(data);
    }
};

class RealOpener : public IOpener {
public:
    bool open(const QString& location) override {
#if defined(Q_OS_WIN)
        return QProcess::startDetached(QStringLiteral("explorer"), {location});
#elif defined(Q_OS_MACOS)
        return QProcess::startDetached(QStringLiteral("open"), {location});
#else
        // One argument, no shell: nothing in the location is ever parsed as a command.
        return QProcess::startDetached(QStringLiteral("xdg-open"), {location});
#endif
    }
};

class RealSettings : public ISettings {
public:
    QString read(const QString& application, const QString& section, const QString& key,
                 const QString& defaultValue) override {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, application, application);
        return s.value(section + QLatin1Char('/') + key, defaultValue).toString();
    }
    void write(const QString& application, const QString& section, const QString& key, const QString& value) override {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, application, application);
        s.setValue(section + QLatin1Char('/') + key, value);
    }
};

class RealClock : public IClock {
public:
    QString nowText() override { return text(QDateTime::currentDateTime()); }
    QString text(const QDateTime& when) override {
        const QLocale locale = QLocale::system();
        QString timeFormat = locale.timeFormat(QLocale::LongFormat);
        // A long time shows hours to seconds; the time zone is not part of it.
        timeFormat.remove(QLatin1String(" t")).remove(QLatin1Char('t'));
        const QDateTime local = when.toLocalTime();
        return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
               locale.toString(local.time(), timeFormat.trimmed());
    }
};

class RealAppInfo : public IAppInfo {
public:
    QString applicationDir() override { return QCoreApplication::applicationDirPath(); }
    QString title() override { return QStringLiteral(TRESSIK_PRODUCT_NAME); }
    QString productName() override { return QStringLiteral(TRESSIK_PRODUCT_NAME); }
    QString companyName() override { return QStringLiteral(TRESSIK_COMPANY_NAME); }
    QString comments() override { return QStringLiteral(TRESSIK_COMMENTS); }
    int versionMajor() override { return TRESSIK_VERSION_MAJOR; }
    int versionMinor() override { return TRESSIK_VERSION_MINOR; }
    bool skinSwitch() override { return TRESSIK_SKIN != 0; }
};

// The build's data, but for the identity the program handed over.
class GivenAppInfo : public RealAppInfo {
public:
    explicit GivenAppInfo(WebsiteIdentity identity) : identity_(std::move(identity)) {}
    QString title() override { return identity_.productName; }
    QString productName() override { return identity_.productName; }
    QString companyName() override { return identity_.companyName; }
    QString comments() override { return identity_.website; }
    bool skinSwitch() override { return identity_.skin; }

private:
    WebsiteIdentity identity_;
};

class RealProgramEnd : public IProgramEnd {
public:
    void endNow() override {
        if (ended_) return;
        ended_ = true;
        for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
        QCoreApplication::exit(0);
    }
    bool ended() const override { return ended_; }

private:
    bool ended_ = false;
};

}  // namespace

Platform makeRealPlatform() {
    Platform p;
    p.website = std::make_unique<WebsiteProcess>();
    p.messageBox = std::make_unique<RealMessageBox>();
    p.clipboard = std::make_unique<RealClipboard>();
    p.opener = std::make_unique<RealOpener>();
    p.settings = std::make_unique<RealSettings>();
    p.clock = std::make_unique<RealClock>();
    p.appInfo = std::make_unique<RealAppInfo>();
    p.programEnd = std::make_unique<RealProgramEnd>();
    return p;
}

Platform makeRealPlatform(const WebsiteIdentity& identity) {
    Platform p = makeRealPlatform();
    p.appInfo = std::make_unique<GivenAppInfo>(identity);
    return p;
}
