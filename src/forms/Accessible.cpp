#include "forms/Accessible.h"

#include <QLabel>

void labelBox(QLabel* label, QWidget* box) {
    QString name = label->text().trimmed();
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    box->setAccessibleName(name.trimmed());
    label->setBuddy(box);
}
