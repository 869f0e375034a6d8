#pragma once

#include "forms/Form.h"

#include <array>

class PictureButton;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWebEngineView;
class SkinLabel;
class StatusBar;

// The program's own small web browser, opened on the maker's web site.
class frmWebsite : public Form {
    Q_OBJECT
public:
    explicit frmWebsite(App& app);

    void Form_Load() override;
    void Form_Unload() override;
    void Form_Resize();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click(int index);
    void Text1_KeyPress(int key);
    void WebBrowser1_StatusTextChange(const QString& text);
    void WebBrowser1_ProgressChange(int progress, int progressMax);
    void WebBrowser1_DownloadBegin();
    void WebBrowser1_DownloadComplete();

    // The outer size, border and title bar included.
    int outerWidthTwips() const override;
    int outerHeightTwips() const override;

    StatusBar* StatusBar1;
    QGroupBox* frmBrowser;
    QLabel* urlLabel;
    QLineEdit* Text1;
    PictureButton* Command3;
    PictureButton* Command4;
    PictureButton* Command5;
    PictureButton* Command6;
    std::array<PictureButton*, 2> Command7{};  // only element 1 exists
    QWebEngineView* WebBrowser1;
    QList<SkinLabel*> SkinLabel1;  // element 0 is the hidden template

protected:
    void resizeEvent(QResizeEvent* event) override;
    void applyClientSize(int widthPx, int heightPx) override;

private:
    void LayoutControls();
    QString LocationURL() const;
    QString LocationName() const;
};
