#pragma once

#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "support/TestApp.h"
#include "support/Vaults.h"
#include "ui/main/Form1.h"
#include "ui/editor/frmAdd.h"
#include "ui/password/frmPass.h"
#include "forms/PictureButton.h"
#include "forms/StatusBar.h"

#include <QLineEdit>

// A program past its password window, with the given entries loaded.
struct Unlocked : TestApp {
    explicit Unlocked(const std::vector<Entry>& entries = {}) {
        writeVault(vaultOf("pw", entries));
        main = app->forms.load<Form1>();
        frmPass* pass = app->forms.get<frmPass>();
        pass->txtPass->setText("pw");
        pass->cmdOK_Click();
        fakes.messageBox->shown.clear();
    }
    ListItems& items() const { return main->lstPass->items(); }
    QString status() const { return main->StatusBar1->panelText(1); }
    QStringList usernames() const {
        QStringList out;
        for (qsizetype i = 1; i <= items().count(); ++i) out << items().text(i);
        return out;
    }
    Form1* main = nullptr;
};
