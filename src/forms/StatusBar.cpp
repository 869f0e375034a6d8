#include "forms/StatusBar.h"

#include "forms/ControlType.h"
#include "forms/Twips.h"

#include <QLabel>

StatusBar::StatusBar(QWidget* parent) : QFrame(parent) {
    setControlType(this, QStringLiteral("StatusBar"));
    setFrameShape(QFrame::NoFrame);
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

void StatusBar::setPanelText(int index, const QString& text) { panels_.at(index - 1).label->setText(text); }

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
