#include "ui/browser/frmWebsite.h"

#include "forms/PictureButton.h"
#include "forms/StatusBar.h"
#include "forms/Twips.h"
#include "program/App.h"
#include "program/LoadIdentity.h"
#include "skin/SkinLabel.h"
#include "skin/modSkin.h"
#include "util/modOnTop.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QWebEngineView>

#include <cmath>

namespace {

PictureButton* pictureButton(QWidget* parent, const char* name, const char* picture, const QString& tip) {
    auto* b = new PictureButton(QString(), QStringLiteral(":/images/%1").arg(QLatin1String(picture)), parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(tip);
    return b;
}

int twips(double value) { return static_cast<int>(std::lround(value)); }

}  // namespace

frmWebsite::frmWebsite(App& app) : Form(app) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setFont(designFont());

    StatusBar1 = new StatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    Twips::place(StatusBar1, 0, 8265, 10545, 315);
    frmBrowser = new QGroupBox(QStringLiteral("Browser"), this);
    frmBrowser->setObjectName(QStringLiteral("frmBrowser"));
    frmBrowser->setFont(designFont(8.25, true));
    Twips::place(frmBrowser, 60, 0, 6375, 7215);

    urlLabel = new QLabel(QStringLiteral("URL:"), frmBrowser);
    urlLabel->setFont(designFont());
    Twips::place(urlLabel, 120, 300, 1215, 255);
    Text1 = new QLineEdit(frmBrowser);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setFont(designFont());
    Twips::place(Text1, 540, 240, 4875, 315);
    Command3 = pictureButton(frmBrowser, "Command3", "go.png", QStringLiteral("browse the entered url"));
    Command3->setIconSize(QSize(46, 16));
    Twips::place(Command3, 5460, 240, 795, 315);
    Command4 = pictureButton(frmBrowser, "Command4", "back.png", QStringLiteral("back"));
    Twips::place(Command4, 540, 600, 435, 435);
    Command5 = pictureButton(frmBrowser, "Command5", "forward.png", QStringLiteral("forward"));
    Twips::place(Command5, 1020, 600, 435, 435);
    Command6 = pictureButton(frmBrowser, "Command6", "stop.png", QStringLiteral("stop"));
    Twips::place(Command6, 1500, 600, 435, 435);
    Command7[1] = pictureButton(frmBrowser, "Command7", "refresh.png", QStringLiteral("refresh"));
    Twips::place(Command7[1], 1980, 600, 435, 435);
    WebBrowser1 = new QWebEngineView(frmBrowser);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    Twips::place(WebBrowser1, 120, 1140, 6135, 5595);
    SkinLabel1.push_back(SkinLabel::hiddenTemplate(frmBrowser, 3180, 6840, 555, 135));

    QWidget* order[] = {Command6, Command3, Text1, Command5, Command4, Command7[1], WebBrowser1};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    setClientSizeTwips(10545, 8580);

    connect(Command3, &QToolButton::clicked, this, &frmWebsite::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &frmWebsite::Command4_Click);
    connect(Command5, &QToolButton::clicked, this, &frmWebsite::Command5_Click);
    connect(Command6, &QToolButton::clicked, this, &frmWebsite::Command6_Click);
    connect(Command7[1], &QToolButton::clicked, this, [this] { Command7_Click(1); });
    connect(Text1, &QLineEdit::returnPressed, this, [this] { Text1_KeyPress(13); });
    QWebEnginePage* page = WebBrowser1->page();
    connect(page, &QWebEnginePage::linkHovered, this, &frmWebsite::WebBrowser1_StatusTextChange);
    connect(page, &QWebEnginePage::loadProgress, this, [this](int p) { WebBrowser1_ProgressChange(p, 100); });
    connect(page, &QWebEnginePage::loadStarted, this, &frmWebsite::WebBrowser1_DownloadBegin);
    connect(page, &QWebEnginePage::loadFinished, this, &frmWebsite::WebBrowser1_DownloadComplete);
}

void frmWebsite::applyClientSize(int widthPx, int heightPx) { resize(widthPx, heightPx); }

int frmWebsite::outerWidthTwips() const { return static_cast<int>(Twips::fromPixels(width())) + kNonClientWidthTwips; }

int frmWebsite::outerHeightTwips() const {
    return static_cast<int>(Twips::fromPixels(height())) + kNonClientHeightTwips;
}

void frmWebsite::Form_Load() {
    LoadIdentity(app());
    StatusBar1->addPanel();
    setWindowTitle(app().g.strWebsite);
    SetOnTop(this, true);
    if (app().g.blnSkin) {
        SubstituteLabels(this, SkinLabel1, SkinLabel1[0]->parentWidget());
        ApplySkin(app().g.objSkin, app().g.reloadSkin, this);
    }
    WebBrowser1->load(QUrl::fromUserInput(app().g.strWebsite));
    setWindowState(windowState() | Qt::WindowMaximized);
    SetOnTop(this, false);
}

void frmWebsite::Form_Unload() {
    if (!app().g.blnMainClosed) return;
    if (app().g.blnSkin) app().g.objSkinHelper().stop();
    app().endProgram();
}

void frmWebsite::resizeEvent(QResizeEvent* event) {
    Form::resizeEvent(event);
    Form_Resize();
}

void frmWebsite::Form_Resize() { LayoutControls(); }

void frmWebsite::LayoutControls() {
    // The status bar is aligned to the window's bottom edge, full width.
    const int clientW = static_cast<int>(Twips::fromPixels(width()));
    const int clientH = static_cast<int>(Twips::fromPixels(height()));
    const QRect bar(0, clientH - Twips::height(StatusBar1), clientW, Twips::height(StatusBar1));
    Twips::place(StatusBar1, bar.x(), bar.y(), bar.width(), bar.height());

    const double w = outerWidthTwips();
    const double h = outerHeightTwips();
    StatusBar1->setPanelWidth(1, twips(std::abs(w / 2)));
    StatusBar1->setPanelWidth(2, twips(std::abs(w / 2)));
    Twips::setHeight(frmBrowser, twips(std::abs(h - Twips::height(StatusBar1))));
    Twips::setWidth(frmBrowser, twips(std::abs(w - 300)));
    Twips::setWidth(
        Text1, twips(std::abs(double(Twips::width(frmBrowser)) - Twips::left(Text1) - 300 - Twips::width(Command3))));
    Twips::setLeft(Command3, Twips::width(Text1) + Twips::left(Text1) + 100);
    Twips::setWidth(WebBrowser1, twips(std::abs(double(Twips::width(frmBrowser)) - Twips::left(WebBrowser1) - 100)));
    Twips::setHeight(WebBrowser1, twips(std::abs(double(Twips::height(frmBrowser)) - Twips::top(WebBrowser1) - 800 -
                                                 Twips::height(StatusBar1))));
}

QString frmWebsite::LocationURL() const { return WebBrowser1->url().toString(); }

QString frmWebsite::LocationName() const { return WebBrowser1->title(); }

void frmWebsite::Command3_Click() { WebBrowser1->load(QUrl::fromUserInput(Text1->text())); }

void frmWebsite::Text1_KeyPress(int key) {
    if (key == 13) Command3_Click();
}

// Without history or a page loading these do nothing, and say nothing.
void frmWebsite::Command4_Click() { WebBrowser1->back(); }

void frmWebsite::Command5_Click() { WebBrowser1->forward(); }

void frmWebsite::Command6_Click() { WebBrowser1->stop(); }

void frmWebsite::Command7_Click(int) { WebBrowser1->reload(); }

void frmWebsite::WebBrowser1_StatusTextChange(const QString& text) { StatusBar1->setPanelText(1, text); }

void frmWebsite::WebBrowser1_ProgressChange(int, int) {}

void frmWebsite::WebBrowser1_DownloadBegin() {
    StatusBar1->setPanelText(2, QStringLiteral("Opening ") + LocationURL());
}

void frmWebsite::WebBrowser1_DownloadComplete() {
    StatusBar1->setPanelText(2, QStringLiteral("Completed ") + LocationURL());
    Text1->setText(LocationURL());
    setWindowTitle(LocationName());
}
