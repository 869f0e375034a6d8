#include "forms/Form.h"

#include "forms/Twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

Form::Form(App& app, Qt::WindowFlags flags) : QWidget(nullptr, flags), app_(app) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

QFont Form::designFont(double points, bool bold) {
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void Form::setFixedBorder(Qt::WindowType kind) {
    setWindowFlags(kind | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
}

void Form::setClientSizeTwips(int width, int height) {
    clientWidthTwips_ = width;
    clientHeightTwips_ = height;
    applyClientSize(Twips::toPixels(width), Twips::toPixels(height));
}

void Form::setOuterHeightTwips(int height) {
    setClientSizeTwips(clientWidthTwips_, height - (outerHeightTwips() - clientHeightTwips_));
}

void Form::applyClientSize(int widthPx, int heightPx) { setFixedSize(widthPx, heightPx); }

void Form::closeEvent(QCloseEvent* event) {
    // The close box unloads the window; the registry decides what goes away.
    event->ignore();
    if (forms_) emit unloadRequested();
    else hide();
}

void Form::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (centred_) return;
    centred_ = true;
    // Moving a maximised window would restore it.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) return;
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QRect area = s->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }
}
