#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Tells when a file may have changed: written in place, replaced by a rename,
// deleted or made again. Built on the desktop's file notifications, never on
// polling; a burst of them is let settle before it is told.
class FileWatch : public QObject {
    Q_OBJECT
public:
    explicit FileWatch(QObject* parent = nullptr);

    // Watches path and its folder: a rename over the file replaces what a
    // watch on the file alone would follow.
    void watch(const QString& path);
    void stop();
    bool watching() const { return !path_.isEmpty(); }

    // How long the file must stay quiet before it is told.
    static constexpr int kSettleMs = 250;

signals:
    // The file, or its folder, has changed and then stayed quiet.
    void settled();

private:
    void touched();

    QFileSystemWatcher watcher_;
    QTimer settle_;
    QString path_;
};
