#include "support/FakePlatform.h"

MsgResult FakeMessageBox::show(const MessageBoxRequest& r) {
    shown.push_back({r.text, r.caption, r.buttons, r.defaultButton, r.icon, r.parent});
    if (whileOpen) whileOpen();
    if (answers.empty()) return r.defaultButton;
    const MsgResult answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeClipboard::clear() {
    ++clears;
    text.clear();
    secret = false;
}

void FakeClipboard::setText(const QString& t, bool s) {
    text = t;
    secret = s;
}

bool FakeOpener::open(const QString& location) {
    opened.push_back(location);
    return canStart;
}

QString FakeSettings::read(const QString& application, const QString& section, const QString& key,
                           const QString& defaultValue) {
    return values.value(application + QLatin1Char('/') + section + QLatin1Char('/') + key, defaultValue);
}

void FakeSettings::write(const QString& application, const QString& section, const QString& key, const QString& value) {
    const QString k = application + QLatin1Char('/') + section + QLatin1Char('/') + key;
    values.insert(k, value);
    writes.push_back(k + QLatin1Char('=') + value);
}

Platform makeFakePlatform(Fakes* fakes, const QString& dir) {
    Platform p;
    auto box = std::make_unique<FakeMessageBox>();
    auto clipboard = std::make_unique<FakeClipboard>();
    auto opener = std::make_unique<FakeOpener>();
    auto settings = std::make_unique<FakeSettings>();
    auto clock = std::make_unique<FakeClock>();
    auto info = std::make_unique<FakeAppInfo>();
    auto end = std::make_unique<FakeProgramEnd>();
    auto website = std::make_unique<FakeWebsiteHost>();
    info->dir = dir;
    *fakes = {box.get(),   clipboard.get(), opener.get(), settings.get(),
              clock.get(), info.get(),      end.get(),    website.get()};
    p.messageBox = std::move(box);
    p.clipboard = std::move(clipboard);
    p.opener = std::move(opener);
    p.settings = std::move(settings);
    p.clock = std::move(clock);
    p.appInfo = std::move(info);
    p.programEnd = std::move(end);
    p.website = std::move(website);
    return p;
}
