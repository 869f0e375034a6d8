#include "ui/password/frmPass.h"

#include "forms/Accessible.h"
#include "forms/Twips.h"
#include "program/App.h"
#include "skin/SkinLabel.h"
#include "skin/modSkin.h"
#include "util/modOnTop.h"

#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QTimer>

#include <limits>

namespace {

// Password boxes show "*" for each character.
class AsteriskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QLineEdit* passwordBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setEchoMode(QLineEdit::Password);
    // A master password has no upper length: without this, setText and paste cut at 32,767.
    box->setMaxLength(std::numeric_limits<int>::max());
    auto* style = new AsteriskStyle;
    style->setParent(box);
    box->setStyle(style);
    return box;
}

}  // namespace

frmPass::frmPass(App& app) : Form(app) {
    setFixedBorder();
    // Read out as it opens: the instruction above the boxes comes with it.
    setScreenReaderRole(ScreenReaderRole::Dialog);
    setWindowTitle(QStringLiteral("Password Required"));
    setFont(designFont());

    SkinLabel1 = new SkinLabel(QStringLiteral("Please enter your password"), this);
    SkinLabel1->setObjectName(QStringLiteral("SkinLabel1"));
    Twips::place(SkinLabel1, 120, 60, 6615, 315);
    cmdOK = new QPushButton(QStringLiteral("Ok"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    Twips::place(cmdOK, 4500, 1260, 1095, 495);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    Twips::place(cmdCancel, 5700, 1260, 1035, 495);
    txtPass = passwordBox(this, "txtPass");
    Twips::place(txtPass, 1740, 480, 4995, 315);
    SkinLabel2 = new SkinLabel(QStringLiteral("Password:"), this);
    SkinLabel2->setObjectName(QStringLiteral("SkinLabel2"));
    Twips::place(SkinLabel2, 120, 540, 915, 255);
    txtPass2 = passwordBox(this, "txtPass2");
    Twips::place(txtPass2, 1740, 2400, 4995, 315);
    SkinLabel3 = new SkinLabel(QStringLiteral("Retype Password:"), this);
    SkinLabel3->setObjectName(QStringLiteral("SkinLabel3"));
    Twips::place(SkinLabel3, 120, 2460, 1935, 255);
    labelBox(SkinLabel2, txtPass);
    labelBox(SkinLabel3, txtPass2);
    for (QPushButton* b : {cmdOK, cmdCancel}) b->setAutoDefault(false);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, txtPass);
    setTabOrder(txtPass, txtPass2);
    setClientSizeTwips(6825, 1800);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer1->start();

    connect(cmdOK, &QPushButton::clicked, this, &frmPass::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPass::cmdCancel_Click);
    connect(Timer1, &QTimer::timeout, this, &frmPass::Timer1_Timer);
    connect(txtPass, &QLineEdit::returnPressed, this, [this] { txtPass_KeyPress(13); });
    connect(txtPass2, &QLineEdit::returnPressed, this, [this] { txtPass2_KeyPress(13); });
}

void frmPass::Form_Load() {
    if (QWidget* main = mainWindow()) main->setVisible(false);
    intTries = 0;
    if (app().g.blnNewPassword) {
        SkinLabel1->setCaption(
            QStringLiteral("Because this is the first time you have used ") + app().g.strProgramName +
            QStringLiteral(", you will need to create a master password.  This password will be "
                           "required to open the program from now on, and can not be reset.") +
            QStringLiteral("\r\n\r\n") + QStringLiteral("Please enter a password that you will not forget."));
        Twips::setHeight(SkinLabel1, 1500);
        Twips::setTop(txtPass, 1700);
        Twips::setTop(txtPass2, 1700 + Twips::height(txtPass) + 60);
        Twips::setTop(cmdOK, Twips::top(txtPass2) + Twips::height(txtPass2) + 60);
        Twips::setTop(cmdCancel, Twips::top(cmdOK));
        Twips::setTop(SkinLabel3, Twips::top(txtPass2));
        SkinLabel3->setVisible(true);
        Twips::setTop(SkinLabel2, Twips::top(txtPass));
        txtPass2->setVisible(true);
        setOuterHeightTwips(Twips::top(cmdOK) + Twips::height(cmdOK) + 60 + 500);
    } else {
        setOuterHeightTwips(1845);
        SkinLabel1->setCaption(QStringLiteral("Please enter your password"));
        Twips::setTop(txtPass, 360);
        Twips::setTop(cmdOK, 780);
        Twips::setTop(cmdCancel, 780);
        SkinLabel3->setVisible(false);
        Twips::setTop(SkinLabel2, Twips::top(txtPass));
        txtPass2->setVisible(false);
    }
    app().forms.bringToFront(this);
    SetOnTop(this, true);
    app().forms.doEvents();
    txtPass->clear();
    txtPass->setFocus();
    if (app().g.blnSkin) ApplySkin(app().g.objSkin, app().g.reloadSkin, this);
}

QWidget* frmPass::mainWindow() const { return app().order ? app().order->mainWindow() : nullptr; }

void frmPass::Form_Unload() {
    Timer1->stop();
    if (app().vault.strMasterPassword.isEmpty()) app().endProgram();
}

void frmPass::cmdCancel_Click() {
    Timer1->stop();
    app().endProgram();
}

void frmPass::Timer1_Timer() {
    QWidget* main = mainWindow();
    if (!main || !main->isVisible()) return;
    const bool mainHadKeyboard = main->isActiveWindow();
    main->setVisible(false);
    // The splash shows the main window once, over this one. If that took the
    // keyboard, hand it back this once; after that the keyboard stays wherever
    // the user puts it, in another program too.
    if (mainHadKeyboard && !keyboardHandedBack_ && isVisible()) {
        keyboardHandedBack_ = true;
        app().forms.bringToFront(this);
    }
}

void frmPass::txtPass_KeyPress(int key) {
    if (key == 13) cmdOK_Click();
}

void frmPass::txtPass2_KeyPress(int key) {
    if (key == 13) cmdOK_Click();
}

void frmPass::cmdOK_Click() {
    if (app().g.blnNewPassword) {
        createPassword();
    } else {
        checkPassword();
    }
}

void frmPass::createPassword() {
    const QString typed = txtPass->text();
    if (typed.size() < 4) {
        SetOnTop(this, false);
        app().msgBox(this, QStringLiteral("You must enter a password that is at least 4 characters long"));
        SetOnTop(this, true);
        return;
    }
    if (txtPass2->text() != typed) {
        SetOnTop(this, false);
        app().msgBox(this, QStringLiteral("Your passwords did not match.  Please try again."));
        txtPass2->clear();
        txtPass->clear();
        SetOnTop(this, true);
        return;
    }
    // Refuse what the vault could not give back unchanged; both fields keep their text.
    if (const QString problem = VaultSession::masterPasswordProblem(typed); !problem.isEmpty()) {
        SetOnTop(this, false);
        app().msgBox(this, problem);
        SetOnTop(this, true);
        return;
    }
    app().vault.strMasterPassword = typed;
    Timer1->stop();
    if (app().order) app().order->passwordCreated();
}

void frmPass::checkPassword() {
    if (txtPass->text() == app().vault.strSavedPassword) {
        app().vault.strMasterPassword = app().vault.strSavedPassword;
        Timer1->stop();
        if (app().order) app().order->passwordAccepted();
        return;
    }
    const MsgResult answer =
        app().msgBox(this, QStringLiteral("Sorry, the password you entered was not correct."),
                     QStringLiteral("Incorrect Password"), MsgButtons::RetryCancel, MsgResult::Retry);
    if (answer == MsgResult::Retry) {
        ++intTries;
        if (intTries == 3) {
            app().msgBox(this, QStringLiteral("Only 3 tries allowed.  Click Ok to close."));
            Timer1->stop();
            app().endProgram();
            return;
        }
        txtPass->clear();
        return;
    }
    Timer1->stop();
    app().endProgram();
}
