#include "forms/Forms.h"

#include <QCoreApplication>

Forms::~Forms() {
    for (const QPointer<Form>& f : dying_) delete f.data();
    for (const QPointer<Form>& f : loaded_) delete f.data();
}

void Forms::unload(Form* form) {
    if (!form) return;
    const QMetaObject* key = form->metaObject();
    if (loaded_.value(key) != form) return;
    // Out of the registry first, so the window counts as unloaded while its
    // own unload handler runs and a second unload does nothing.
    loaded_.remove(key);
    form->Form_Unload();
    form->hide();
    emit form->unloaded();
    dying_.removeAll(nullptr);
    dying_.push_back(form);
    form->deleteLater();
}

void Forms::showForm(Form* form) {
    form->show();
    bringToFront(form);
}

void Forms::bringToFront(Form* form) {
    if (!form) return;
    form->raise();
    form->activateWindow();
}

void Forms::doEvents() { QCoreApplication::processEvents(); }

QList<Form*> Forms::loadedForms() const {
    QList<Form*> list;
    for (const QPointer<Form>& f : loaded_)
        if (f) list.push_back(f.data());
    return list;
}
