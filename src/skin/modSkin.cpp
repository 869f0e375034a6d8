#include "skin/modSkin.h"

#include "forms/ControlType.h"
#include "forms/Form.h"
#include "forms/Twips.h"
#include "skin/SkinLabel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QTextBrowser>

#include <utility>

namespace {

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
void skinOnce(const QPointer<SkinControl>& objSkin, Form* frm) {
    SkinControl* skin = objSkin.data();
    if (!skin) throw SkinGone{};
    const OleColor back = skin->backColor();
    const OleColor text = skin->textColor();
    const OleColor panel = skin->panelColor();
    SetControlColors(frm, back, text, panel);
    skin->apply(frm);
}

}  // namespace

QString TypeName(const QWidget* c) {
    const QVariant given = c->property(kControlTypeProperty);
    if (given.isValid()) return given.toString();
    if (qobject_cast<const SkinLabel*>(c)) return QStringLiteral("SkinLabel");
    if (qobject_cast<const QLabel*>(c)) return QStringLiteral("Label");
    if (qobject_cast<const QCheckBox*>(c)) return QStringLiteral("CheckBox");
    if (qobject_cast<const QAbstractButton*>(c)) return QStringLiteral("CommandButton");
    if (qobject_cast<const QLineEdit*>(c)) return QStringLiteral("TextBox");
    if (qobject_cast<const QGroupBox*>(c)) return QStringLiteral("Frame");
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
    static const QStringList backAndText = {QStringLiteral("TextBox"),      QStringLiteral("ComboBox"),
                                            QStringLiteral("FileListBox"),  QStringLiteral("DirListBox"),
                                            QStringLiteral("DriveListBox"), QStringLiteral("ListBox"),
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

bool ApplySkin(const QPointer<SkinControl>& objSkin, const std::function<void()>& reload, Form* frm) {
    try {
        skinOnce(objSkin, frm);
        return true;
    } catch (const SkinGone&) {
    }
    // The skin went with the splash window: bring that back, without its start-up.
    if (!reload) return false;
    reload();
    try {
        skinOnce(objSkin, frm);
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
