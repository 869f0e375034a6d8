#pragma once

#include <QObject>

class App;
class ParentChannel;

// The browser process's part: shows the web site window, does what the
// program asks of it, tells the program when the window is shown or gone, and
// ends with the window or with the program.
class WebsiteSession : public QObject {
    Q_OBJECT
public:
    WebsiteSession(App& app, ParentChannel& channel);

    // Loads and shows the window.
    void start();

private:
    void received(const QByteArray& line);
    void windowUnloaded();

    App& app_;
    ParentChannel& channel_;
};
