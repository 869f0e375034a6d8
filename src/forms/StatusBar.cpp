#include "forms/StatusBar.h"

#include "forms/ControlType.h"
#include "forms/Notice.h"
#include "forms/Twips.h"

#include <QEvent>
#include <QLabel>
#include <QTimer>

StatusBar::StatusBar(QWidget* parent) : QFrame(parent), notice_(new Notice(this)), speakSoon_(new QTimer(this)) {
    setControlType(this, QStringLiteral("StatusBar"));
    setFrameShape(QFrame::NoFrame);
    // Texts set one after another in one go are told as one, the last; and
    // after whatever the window says of itself and its focus as it comes forward.
    speakSoon_->setSingleShot(true);
    speakSoon_->setInterval(0);
    connect(speakSoon_, &QTimer::timeout, this, &StatusBar::speak);
    addPanel();
}

int StatusBar::addPanel() {
    auto* label = new QLabel(this);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setTextFormat(Qt::PlainText);
    label->setIndent(2);
    // Default width of a new panel, as a status bar control gives it.
    panels_.push_back({label, 1440});
    label->show();
    relayout();
    return panelCount();
}

QString StatusBar::panelText(int index) const { return panels_.at(index - 1).label->text(); }

void StatusBar::setPanelText(int index, const QString& text) {
    panels_.at(index - 1).label->setText(text);
    if (index != spokenPanel_) return;
    unspoken_ = true;
    speakSoon_->start();
}

void StatusBar::setSpokenPanel(int index) {
    spokenPanel_ = index;
    window()->installEventFilter(this);
}

bool StatusBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window() && event->type() == QEvent::WindowActivate && unspoken_) speakSoon_->start();
    return QFrame::eventFilter(watched, event);
}

void StatusBar::speak() {
    if (!unspoken_ || !window()->isActiveWindow()) return;
    unspoken_ = false;
    const QString text = panelText(spokenPanel_);
    if (!text.isEmpty()) notice_->say(text);
}

int StatusBar::panelWidth(int index) const { return panels_.at(index - 1).widthTwips; }

void StatusBar::setPanelWidth(int index, int twips) {
    if (panels_.at(index - 1).widthTwips == twips) return;
    panels_[index - 1].widthTwips = twips;
    relayout();
}

void StatusBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    relayout();
}

void StatusBar::relayout() {
    int x = 0;
    for (const Panel& p : panels_) {
        const int w = Twips::toPixels(p.widthTwips);
        const QRect r(x, 0, w, height());
        if (p.label->geometry() != r) p.label->setGeometry(r);
        x += w;
    }
}
