#pragma once

#include "forms/PictureButton.h"
#include "forms/StatusBar.h"
#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "support/Vaults.h"
#include "ui/editor/frmAdd.h"
#include "ui/main/Form1.h"
#include "ui/password/frmPass.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

// Loads the main window, which opens the vault, and gives the password
// window the password (twice, in case it asks for a new one).
inline Form1* unlock(TestApp& t, const QString& password) {
    Form1* main = t.app->forms.load<Form1>();
    if (frmPass* pass = t.app->forms.get<frmPass>()) {
        pass->txtPass->setText(password);
        pass->txtPass2->setText(password);
        pass->cmdOK_Click();
    }
    return main;
}

// The main window's status line.
inline QString status(const TestApp& t) {
    const Form1* main = t.app->forms.get<Form1>();
    return main ? main->StatusBar1->panelText(1) : QString();
}

// A program past its password window, with the given entries loaded.
struct Unlocked : TestApp {
    explicit Unlocked(const std::vector<Entry>& entries = {}) {
        writeVault(vaultOf("pw", entries));
        main = unlock(*this, "pw");
        fakes.messageBox->shown.clear();
    }
    ListItems& items() const { return main->lstPass->items(); }
    // A folder where the vault was: every save from now on fails.
    bool blockSaves() const { return QFile::remove(vaultPath()) && QDir(dir()).mkdir("data.enc"); }
    QString status() const { return ::status(*this); }
    QStringList usernames() const {
        QStringList out;
        for (qsizetype i = 1; i <= items().count(); ++i) out << items().text(i);
        return out;
    }
    Form1* main = nullptr;
};
