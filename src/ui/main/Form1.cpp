#include "ui/main/Form1.h"

#include "forms/PictureButton.h"
#include "forms/StatusBar.h"
#include "forms/Twips.h"
#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "program/App.h"
#include "skin/modSkin.h"
#include "ui/about/frmAbout.h"
#include "ui/help/Form8.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace {

PictureButton* button(QWidget* parent, const char* name, const QString& caption, const char* picture) {
    auto* b = new PictureButton(caption, QStringLiteral(":/images/%1").arg(QLatin1String(picture)), parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

}  // namespace

Form1::Form1(App& app) : Form(app), client_(new QWidget(this)) {
    client_->setProperty("controlContainer", true);
    setFixedBorder();
    setFont(designFont());

    menuBar = new QMenuBar(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(client_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* c = client_;
    cmdAdd[0] = button(c, "cmdAdd", QStringLiteral("Add"), "add.png");
    Twips::place(cmdAdd[0], 60, 60, 1155, 1035);
    cmdEdit = button(c, "cmdEdit", QStringLiteral("Edit"), "edit.png");
    Twips::place(cmdEdit, 2460, 60, 1155, 1035);
    cmdDelete = button(c, "cmdDelete", QStringLiteral("Delete"), "delete.png");
    Twips::place(cmdDelete, 1260, 60, 1155, 1035);
    cmdWebsite[0] = button(c, "cmdWebsite", QStringLiteral("cmdWebsite"), "website.png");
    Twips::place(cmdWebsite[0], 4860, 60, 4095, 1035);
    lstPass = new ListView(c, &app.vault.entries());
    lstPass->setObjectName(QStringLiteral("lstPass"));
    // What a screen reader says of the list; nothing of it is shown.
    lstPass->setAccessibleName(QStringLiteral("Entries"));
    lstPass->setAccessibleDescription(
        QStringLiteral("One entry a row: its Username, Password and Website/Location, in that order."));
    Twips::place(lstPass, 60, 1980, 8895, 4215);
    cmdCopy[0] = button(c, "cmdCopy0", QStringLiteral("Copy Username"), "copy-user.png");
    Twips::place(cmdCopy[0], 60, 1140, 2355, 795);
    cmdGoto = button(c, "cmdGoto", QStringLiteral("Go To"), "goto.png");
    Twips::place(cmdGoto, 3660, 60, 1155, 1035);
    cmdCopy[1] = button(c, "cmdCopy1", QStringLiteral("Copy Password"), "copy-password.png");
    Twips::place(cmdCopy[1], 2460, 1140, 2355, 795);
    cmdCopy[2] = button(c, "cmdCopy2", QStringLiteral("Copy Used At"), "copy-location.png");
    Twips::place(cmdCopy[2], 4860, 1140, 4095, 795);
    StatusBar1 = new StatusBar(c);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    Twips::place(StatusBar1, 0, 6240, 9015, 315);
    for (PictureButton* b : {cmdCopy[0], cmdCopy[1], cmdCopy[2]}) b->setIconSize(QSize(24, 24));

    // Tab order: Add, Edit, Delete, web site, list, then the copy buttons with Go To among them.
    QWidget* order[] = {cmdAdd[0],  cmdEdit, cmdDelete,  cmdWebsite[0], lstPass,
                        cmdCopy[0], cmdGoto, cmdCopy[1], cmdCopy[2]};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    StatusBar1->setFocusPolicy(Qt::NoFocus);
    StatusBar1->setSpokenPanel(1);

    buildMenus();
    setClientSizeTwips(9015, 6555);
    connectHandlers();
}

void Form1::applyClientSize(int widthPx, int heightPx) { client_->setFixedSize(widthPx, heightPx); }

int Form1::outerHeightTwips() const {
    return Form::outerHeightTwips() + static_cast<int>(Twips::fromPixels(menuBar->sizeHint().height()));
}

void Form1::buildMenus() {
    auto item = [](QMenu* menu, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setMenuRole(QAction::NoRole);
        return a;
    };
    mnuFile = menuBar->addMenu(QStringLiteral("File"));
    mnuFileItem[0] = item(mnuFile, QStringLiteral("Exit"));
    mnuData = menuBar->addMenu(QStringLiteral("Data"));
    mnuDataItem[0] = item(mnuData, QStringLiteral("Add Username/Password"));
    mnuDataItem[1] = item(mnuData, QStringLiteral("Delete Selected Item"));
    mnuDataItem[2] = item(mnuData, QStringLiteral("Edit Selected Item"));
    mnuDataItem[3] = item(mnuData, QStringLiteral("Goto \"Used At\" Location"));
    mnuCopy = menuBar->addMenu(QStringLiteral("Copy"));
    mnuCopyItem[0] = item(mnuCopy, QStringLiteral("Selected Username"));
    mnuCopyItem[1] = item(mnuCopy, QStringLiteral("Selected Password"));
    mnuCopyItem[2] = item(mnuCopy, QStringLiteral("Selected Used At Location"));
    mnuHelp = menuBar->addMenu(QStringLiteral("Help"));
    mnuHelpItem[0] = item(mnuHelp, QStringLiteral("View Help"));
    mnuAbout = menuBar->addMenu(QStringLiteral("About"));
    mnuAboutItem[0] = item(mnuAbout, QStringLiteral("About this software"));
}

void Form1::connectHandlers() {
    auto menu = [this](auto& items, void (Form1::*handler)(int)) {
        for (int i = 0; i < static_cast<int>(items.size()); ++i)
            connect(items[static_cast<size_t>(i)], &QAction::triggered, this,
                    [this, handler, i] { (this->*handler)(i); });
    };
    menu(mnuFileItem, &Form1::mnuFileItem_Click);
    menu(mnuDataItem, &Form1::mnuDataItem_Click);
    menu(mnuCopyItem, &Form1::mnuCopyItem_Click);
    menu(mnuHelpItem, &Form1::mnuHelpItem_Click);
    menu(mnuAboutItem, &Form1::mnuAboutItem_Click);
    connect(cmdWebsite[0], &QToolButton::clicked, this, [this] { cmdWebsite_Click(0); });
    connect(cmdAdd[0], &QToolButton::clicked, this, [this] { cmdAdd_Click(0); });
    connect(cmdEdit, &QToolButton::clicked, this, &Form1::cmdEdit_Click);
    connect(cmdDelete, &QToolButton::clicked, this, &Form1::cmdDelete_Click);
    connect(cmdGoto, &QToolButton::clicked, this, &Form1::cmdGoto_Click);
    for (int i = 0; i < 3; ++i)
        connect(cmdCopy[static_cast<size_t>(i)], &QToolButton::clicked, this, [this, i] { cmdCopy_Click(i); });
    connect(lstPass, &ListView::ColumnClick, this, &Form1::lstPass_ColumnClick);
}

void Form1::Form_Load() {
    const Globals& g = app().g;
    setWindowTitle(g.strProgramName + QStringLiteral(" by ") + g.strCompany);
    cmdWebsite[0]->setText(QStringLiteral("Visit ") + g.strWebsite);

    ListItems& items = lstPass->items();
    const int widths[] = {Twips::width(cmdCopy[0]) - 10, Twips::width(cmdCopy[1]) + 20, Twips::width(cmdCopy[2])};
    // The columns are the vault's; their widths are the window's.
    for (int i = 0; i < 3; ++i) items.setColumnHeaderWidth(i + 1, widths[i]);

    StatusBar1->setPanelWidth(1, outerWidthTwips());
    if (app().order) app().order->mainLoaded();
}

void Form1::Form_Unload() {
    if (app().order) app().order->mainClosed();
}

void Form1::SetStatus(const QString& text) { StatusBar1->setPanelText(1, text); }

void Form1::mnuFileItem_Click(int index) {
    if (index == 0) app().forms.unload(this);
}

void Form1::mnuDataItem_Click(int index) {
    switch (index) {
        case 0: cmdAdd_Click(0); break;
        case 1: cmdDelete_Click(); break;
        case 2: cmdEdit_Click(); break;
        case 3: cmdGoto_Click(); break;
        default: break;
    }
}

void Form1::mnuCopyItem_Click(int index) { cmdCopy_Click(index); }

void Form1::mnuHelpItem_Click(int) { ShowHelpWindow(app()); }

void Form1::mnuAboutItem_Click(int) { app().forms.show<frmAbout>(); }

void Form1::cmdWebsite_Click(int) { ShowWebsiteWindow(app()); }
