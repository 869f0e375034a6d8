#include "platform/FileWatch.h"

#include <QFileInfo>

FileWatch::FileWatch(QObject* parent) : QObject(parent) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &FileWatch::settled);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileWatch::touched);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FileWatch::touched);
}

void FileWatch::watch(const QString& path) {
    stop();
    path_ = path;
    watcher_.addPath(QFileInfo(path).absolutePath());
    if (QFileInfo::exists(path)) watcher_.addPath(path);
}

void FileWatch::stop() {
    settle_.stop();
    if (const QStringList all = watcher_.files() + watcher_.directories(); !all.isEmpty()) watcher_.removePaths(all);
    path_.clear();
}

void FileWatch::touched() {
    if (path_.isEmpty()) return;
    // A file replaced or deleted drops out of the watch: follow the new one.
    if (!watcher_.files().contains(path_) && QFileInfo::exists(path_)) watcher_.addPath(path_);
    settle_.start();
}
