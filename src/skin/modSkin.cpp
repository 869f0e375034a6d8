#include "skin/modSkin.h"

#include "app/App.h"
#include "app/frmSplash.h"
#include "listview/ListView.h"
#include "skin/SkinLabel.h"
#include "forms/StatusBar.h"
#include "forms/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QTextBrowser>
#include <QTimer>

#include <utility>

namespace {

constexpr char kTypeProperty[] = "controlType";

bool isContainer(const QWidget* w) {
    const QString type = TypeName(w);
    return type == QLatin1String("Frame") || type == QLatin1String("PictureBox") ||
           w->property("controlContainer").toBool();
}

void collect(QWidget* parent, QList<QWidget*>& out) {
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) continue;
        if (child->property("controlContainer").toBool()) {
            collect(child, out);
            continue;
        }
        out.push_back(child);
        if (isContainer(child)) collect(child, out);
    }
}

void setRole(QWidget* w, QPalette::ColorRole role, OleColor c) {
    QPalette p = w->palette();
    p.setColor(role, toQColor(c));
    w->setPalette(p);
}

struct SkinGone {};

// Reads the colours and applies the skin; throws when the skin is not there.
void skinOnce(App& app, Form* frm) {
    SkinControl* skin = app.g.objSkin.data();
    if (!skin) throw SkinGone{};
    const OleColor back = skin->backColor();
    const OleColor text = skin->textColor();
    const OleColor panel = skin->panelColor();
    SetControlColors(frm, back, text, panel);
    skin->apply(frm);
}

}  // namespace

QString TypeName(const QWidget* c) {
    const QVariant given = c->property(kTypeProperty);
    if (given.isValid()) return given.toString();
    if (qobject_cast<const SkinLabel*>(c)) return QStringLiteral("SkinLabel");
    if (qobject_cast<const QLabel*>(c)) return QStringLiteral("Label");
    if (qobject_cast<const QCheckBox*>(c)) return QStringLiteral("CheckBox");
    if (qobject_cast<const QAbstractButton*>(c)) return QStringLiteral("CommandButton");
    if (qobject_cast<const QLineEdit*>(c)) return QStringLiteral("TextBox");
    if (qobject_cast<const ListView*>(c)) return QStringLiteral("ListView");
    if (qobject_cast<const QGroupBox*>(c)) return QStringLiteral("Frame");
    if (qobject_cast<const StatusBar*>(c)) return QStringLiteral("StatusBar");
    if (qobject_cast<const QTextBrowser*>(c)) return QStringLiteral("RichTextBox");
    if (qobject_cast<const QMenuBar*>(c)) return QStringLiteral("Menu");
    if (c->inherits("QWebEngineView")) return QStringLiteral("WebBrowser");
    return QString::fromLatin1(c->metaObject()->className());
}

QList<QWidget*> Controls(QWidget* frm) {
    QList<QWidget*> out;
    collect(frm, out);
    return out;
}

void SetControlColors(QWidget* frm, OleColor backColor, OleColor textColor, OleColor panelColor) {
    static const QStringList backAndText = {
        QStringLiteral("TextBox"),    QStringLiteral("ComboBox"),     QStringLiteral("FileListBox"),
        QStringLiteral("DirListBox"), QStringLiteral("DriveListBox"), QStringLiteral("ListBox"),
        QStringLiteral("ListView")};
    for (QWidget* c : Controls(frm)) {
        const QString type = TypeName(c);
        if (type == QLatin1String("CommandButton")) {
            setRole(c, QPalette::Button, backColor);
        } else if (backAndText.contains(type)) {
            setRole(c, QPalette::Base, backColor);
            setRole(c, QPalette::Text, textColor);
        } else if (type == QLatin1String("PictureBox")) {
            c->setAutoFillBackground(true);
            setRole(c, QPalette::Window, panelColor);
        }
    }
}

bool ApplySkin(App& app, Form* frm) {
    try {
        skinOnce(app, frm);
        return true;
    } catch (const SkinGone&) {
    }
    // The skin went with the splash window: bring that back, without its start-up.
    Forms& forms = app.forms;
    const bool wasLoaded = forms.isLoaded<frmSplash>();
    frmSplash* splash = forms.load<frmSplash>();
    if (!splash) return false;
    // Only a fresh load switches the timer on; waiting on an old one could last forever.
    for (int pass = 0; !wasLoaded && !splash->Timer2->isActive() && pass < 1000; ++pass) forms.doEvents();
    splash->Timer2->stop();
    splash->hide();
    try {
        skinOnce(app, frm);
        return true;
    } catch (const SkinGone&) {
        return false;
    }
}

void SubstituteLabels(QWidget* frm, QList<SkinLabel*>& skinLabels, const QWidget* container) {
    for (QWidget* c : Controls(frm)) {
        if (TypeName(c) != QLatin1String("Label")) continue;
        if (container && c->parentWidget() != container) continue;
        auto* plain = static_cast<QLabel*>(c);
        auto* skin = new SkinLabel(QString(), plain->parentWidget());
        skinLabels.push_back(skin);
        const QRect r = Twips::rect(plain);
        Twips::setTop(skin, r.y());
        Twips::setLeft(skin, r.x());
        Twips::setHeight(skin, r.height());
        Twips::setWidth(skin, r.width());
        skin->setFont(plain->font());
        skin->setCaption(plain->text());
        skin->setVisible(plain->isVisibleTo(plain->parentWidget()));
        skin->raise();
    }
}
