#pragma once

#include <QFrame>
#include <QList>

class QLabel;

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

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();

    struct Panel {
        QLabel* label;
        int widthTwips;
    };
    QList<Panel> panels_;
};
