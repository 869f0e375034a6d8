#include "ui/about/frmAbout.h"

#include "forms/ClickLabel.h"
#include "forms/ControlType.h"
#include "forms/Twips.h"
#include "program/App.h"
#include "skin/SkinLabel.h"
#include "skin/modSkin.h"

#include <QPixmap>

namespace {

template <class L>
L* label(QWidget* parent, const char* name, const QString& caption, int left, int top, int width, int height,
         double points = 12, bool bold = true) {
    auto* l = new L(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(Form::designFont(points, bold));
    l->setTextFormat(Qt::PlainText);
    Twips::place(l, left, top, width, height);
    return l;
}

}  // namespace

frmAbout::frmAbout(App& app) : Form(app) {
    setFixedBorder();
    setScreenReaderRole(ScreenReaderRole::Dialog);
    setFont(designFont());

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    setControlType(Picture1, QStringLiteral("PictureBox"));
    Picture1->setPixmap(QPixmap(QStringLiteral(":/images/about-header.jpg")));
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setAutoFillBackground(true);
    Picture1->setBackgroundRole(QPalette::Window);
    Twips::place(Picture1, 0, 0, 7515, 1035);
    Label1 = label<QLabel>(Picture1, "Label1", QStringLiteral("Your Program Name"), 120, 300, 5655, 435, 14.25);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label2 = label<QLabel>(this, "Label2", QStringLiteral("Version:"), 180, 1260, 2295, 315);
    Label3 = label<QLabel>(this, "Label3", QStringLiteral("Owned By:"), 180, 1680, 2295, 315);
    Label4 = label<QLabel>(this, "Label4", QStringLiteral("Website:"), 180, 2100, 2295, 315);
    lblVersion = label<QLabel>(this, "lblVersion", QStringLiteral("Version:"), 2580, 1260, 4635, 315);
    lblCompany = label<QLabel>(this, "lblCompany", QStringLiteral("Owned By:"), 2580, 1680, 4635, 315);
    lblWebsite = label<ClickLabel>(this, "lblWebsite", QStringLiteral("Website:"), 2580, 2100, 4635, 315);
    QPalette blue = lblWebsite->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblWebsite->setPalette(blue);
    lblWebsite->setCursor(Qt::PointingHandCursor);
    SkinLabel1.push_back(SkinLabel::hiddenTemplate(this, 480, 2760, 555, 195));
    setClientSizeTwips(7455, 2535);

    connect(lblWebsite, &ClickLabel::clicked, this, &frmAbout::lblWebsite_Click);
}

QString frmAbout::versionText(int major, int minor) {
    return QString::number(major) + QLatin1Char('.') + QString::number(minor);
}

void frmAbout::Form_Load() {
    IAppInfo& info = *app().platform.appInfo;
    setWindowTitle(QStringLiteral("About ") + app().g.strProgramName);
    Label1->setText(info.productName());
    lblCompany->setText(info.companyName());
    lblVersion->setText(versionText(info.versionMajor(), info.versionMinor()));
    lblWebsite->setText(info.comments());
    if (app().g.blnSkin) {
        SubstituteLabels(this, SkinLabel1);
        ApplySkin(app().g.objSkin, app().g.reloadSkin, this);
    }
}

void frmAbout::lblWebsite_Click() { ShowWebsiteWindow(app()); }
