#pragma once

#include <QByteArray>
#include <QObject>

#include <memory>

// The browser process's line to the program that started it.
class ParentChannel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // One word to the program.
    virtual void send(const QByteArray& word) = 0;

signals:
    // One line from the program; the receiver decides what, if anything, it means.
    void received(const QByteArray& line);
    // The program is gone: its end of the line closed, or it died.
    void closed();
};

// The channel over standard input and output. Whatever else the process
// prints goes to standard error from here on, so it cannot be taken for a word.
// On Linux the process also gets a signal when its parent dies.
std::unique_ptr<ParentChannel> openParentChannel();
