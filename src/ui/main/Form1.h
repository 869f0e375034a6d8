#pragma once

#include "forms/Form.h"

#include <array>

class ListView;
class PictureButton;
class QAction;
class QMenu;
class QMenuBar;
class StatusBar;

// The main window: the entry list, the command buttons, the menus and the
// status line through which every command reports.
class Form1 : public Form {
    Q_OBJECT
public:
    explicit Form1(App& app);

    void Form_Load() override;
    void Form_Unload() override;

    void SetStatus(const QString& text);

    // Entry commands
    void cmdAdd_Click(int index);
    void cmdEdit_Click();
    void cmdCopy_Click(int index);
    void cmdDelete_Click();
    void cmdGoto_Click();
    void lstPass_ColumnClick(int columnHeaderIndex);

    void mnuFileItem_Click(int index);
    void mnuDataItem_Click(int index);
    void mnuCopyItem_Click(int index);
    void mnuHelpItem_Click(int index);
    void mnuAboutItem_Click(int index);
    void cmdWebsite_Click(int index);

    QWidget* client() override { return client_; }
    int outerHeightTwips() const override;

    std::array<PictureButton*, 1> cmdAdd{};
    PictureButton* cmdEdit;
    PictureButton* cmdDelete;
    std::array<PictureButton*, 1> cmdWebsite{};
    ListView* lstPass;
    std::array<PictureButton*, 3> cmdCopy{};
    PictureButton* cmdGoto;
    StatusBar* StatusBar1;

    QMenuBar* menuBar;
    QMenu* mnuFile;
    QMenu* mnuData;
    QMenu* mnuCopy;
    QMenu* mnuHelp;
    QMenu* mnuAbout;
    std::array<QAction*, 1> mnuFileItem{};
    std::array<QAction*, 4> mnuDataItem{};
    std::array<QAction*, 3> mnuCopyItem{};
    std::array<QAction*, 1> mnuHelpItem{};
    std::array<QAction*, 1> mnuAboutItem{};

protected:
    void applyClientSize(int widthPx, int heightPx) override;

private:
    void buildMenus();
    void connectHandlers();
    // The first selected entry; 0, with the complaint in the status line, when none is.
    qsizetype selectedEntry(const QString& complaint);

    QWidget* client_;
};

// The address Go To hands to the desktop: "http://" in front of a location
// that looks like a web address and names no scheme; anything else unchanged.
QString GotoAddress(const QString& location);
