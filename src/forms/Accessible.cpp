#include "forms/Accessible.h"

#include "forms/Form.h"
#include "forms/Notice.h"
#include "forms/PasswordEcho.h"
#include "forms/StatusBar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

void labelBox(QLabel* label, QWidget* box) {
    QString name = label->text().trimmed();
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    box->setAccessibleName(name.trimmed());
    label->setBuddy(box);
}

namespace {

// A window of the program; a plain widget would be read as a filler, whose
// text no screen reader reads when it opens.
class FormAccessible : public QAccessibleWidget {
public:
    explicit FormAccessible(Form* form) : QAccessibleWidget(form, QAccessible::Window) {}

    QAccessible::Role role() const override {
        const auto* form = static_cast<const Form*>(object());
        return form->screenReaderRole() == Form::ScreenReaderRole::Dialog ? QAccessible::Dialog : QAccessible::Window;
    }
};

QAccessibleInterface* interfaceFor(const QString& className, QObject* object) {
    if (className == QLatin1String("Form")) {
        if (auto* form = qobject_cast<Form*>(object)) return new FormAccessible(form);
    } else if (className == QLatin1String("StatusBar")) {
        if (auto* bar = qobject_cast<StatusBar*>(object)) return new QAccessibleWidget(bar, QAccessible::StatusBar);
    } else if (className == QLatin1String("Notice")) {
        if (auto* notice = qobject_cast<Notice*>(object))
            return new QAccessibleWidget(notice, QAccessible::Notification);
    }
    return nullptr;
}

}  // namespace

void installScreenReaderSupport() {
    QAccessible::installFactory(&interfaceFor);
    maskPasswordEcho();
}
