#pragma once

#include <QFrame>
#include <QList>

class Notice;
class QLabel;
class QTimer;

// A status bar of text panels, each with its own width in twips.
class StatusBar : public QFrame {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent);

    int panelCount() const { return static_cast<int>(panels_.size()); }
    int addPanel();  // returns its 1-based index
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);
    int panelWidth(int index) const;
    void setPanelWidth(int index, int twips);

    // Every new text of this panel is told to screen readers, once the window
    // is the active one (a text set while it is not waits for it). None by default.
    void setSpokenPanel(int index);
    int spokenPanel() const { return spokenPanel_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void relayout();
    void speak();

    struct Panel {
        QLabel* label;
        int widthTwips;
    };
    QList<Panel> panels_;
    int spokenPanel_ = 0;
    bool unspoken_ = false;
    Notice* notice_;
    QTimer* speakSoon_;
};
