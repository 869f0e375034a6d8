#pragma once

#include "forms/Form.h"

#include <QHash>
#include <QList>
#include <QPointer>

class App;

// The registry of loaded windows: load, show, hide, unload, bring forward.
class Forms {
public:
    explicit Forms(App& app) : app_(app) {}
    ~Forms();
    Forms(const Forms&) = delete;
    Forms& operator=(const Forms&) = delete;

    template <class F>
    F* get() const {
        return static_cast<F*>(loaded_.value(&F::staticMetaObject).data());
    }

    template <class F>
    bool isLoaded() const {
        return get<F>() != nullptr;
    }

    // Creates the window and runs its Form_Load, unless it is loaded already.
    template <class F>
    F* load() {
        if (F* f = get<F>()) return f;
        auto* f = new F(app_);
        f->forms_ = this;
        QObject::connect(f, &Form::unloadRequested, f, [this, f] { unload(f); });
        loaded_.insert(&F::staticMetaObject, f);
        f->Form_Load();
        return get<F>();
    }

    // Loads when needed, shows modeless and brings the window forward.
    template <class F>
    F* show() {
        F* f = load<F>();
        if (f) showForm(f);
        return f;
    }

    template <class F>
    void unload() {
        if (F* f = get<F>()) unload(f);
    }

    void unload(Form* form);
    void showForm(Form* form);
    void bringToFront(Form* form);
    // Lets pending window events run.
    void doEvents();
    QList<Form*> loadedForms() const;

private:
    App& app_;
    QHash<const QMetaObject*, QPointer<Form>> loaded_;
    QList<QPointer<Form>> dying_;
};
