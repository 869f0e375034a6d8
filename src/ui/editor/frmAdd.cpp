#include "ui/editor/frmAdd.h"

#include "forms/Accessible.h"
#include "forms/PictureButton.h"
#include "forms/Twips.h"
#include "listview/ListItems.h"
#include "program/App.h"
#include "skin/SkinLabel.h"
#include "skin/modSkin.h"

#include <QLineEdit>

#include <limits>

namespace {

SkinLabel* label(QWidget* parent, const char* name, const QString& caption) {
    auto* l = new SkinLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    QFont bold = l->font();
    bold.setBold(true);
    l->setFont(bold);
    return l;
}

QLineEdit* box(QWidget* parent, const char* name) {
    auto* b = new QLineEdit(parent);
    b->setObjectName(QLatin1String(name));
    // A stored field can be longer than the default 32,767, which setText would cut.
    b->setMaxLength(std::numeric_limits<int>::max());
    return b;
}

}  // namespace

frmAdd::frmAdd(App& app) : Form(app) {
    setFixedBorder();
    setScreenReaderRole(ScreenReaderRole::Dialog);
    setFont(designFont());

    cmdDelete = new PictureButton(QStringLiteral("Cancel"), QStringLiteral(":/images/cancel.png"), this);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    Twips::place(cmdDelete, 3420, 1500, 1155, 1035);
    cmdAdd[0] = new PictureButton(QStringLiteral("Save"), QStringLiteral(":/images/save.png"), this);
    cmdAdd[0]->setObjectName(QStringLiteral("cmdAdd"));
    Twips::place(cmdAdd[0], 120, 1500, 1155, 1035);
    SkinLabel1 = label(this, "SkinLabel1", QStringLiteral("Username:"));
    Twips::place(SkinLabel1, 120, 120, 1155, 255);
    txtUsername = box(this, "txtUsername");
    Twips::place(txtUsername, 1320, 60, 3255, 315);
    SkinLabel2 = label(this, "SkinLabel2", QStringLiteral("Password:"));
    Twips::place(SkinLabel2, 120, 540, 1155, 255);
    txtPassword = box(this, "txtPassword");
    Twips::place(txtPassword, 1320, 480, 3255, 315);
    SkinLabel3 = label(this, "SkinLabel3", QStringLiteral("Website:"));
    Twips::place(SkinLabel3, 120, 960, 1155, 255);
    txtWebsite = box(this, "txtWebsite");
    Twips::place(txtWebsite, 1320, 900, 3255, 315);

    setTabOrder(cmdDelete, cmdAdd[0]);
    labelBox(SkinLabel1, txtUsername);
    labelBox(SkinLabel2, txtPassword);
    labelBox(SkinLabel3, txtWebsite);
    setTabOrder(cmdAdd[0], txtUsername);
    setTabOrder(txtUsername, txtPassword);
    setTabOrder(txtPassword, txtWebsite);
    setClientSizeTwips(4680, 2610);

    connect(cmdAdd[0], &QToolButton::clicked, this, [this] { cmdAdd_Click(0); });
    connect(cmdDelete, &QToolButton::clicked, this, &frmAdd::cmdDelete_Click);
    connect(txtWebsite, &QLineEdit::returnPressed, this, [this] { txtWebsite_KeyPress(13); });
}

void frmAdd::Form_Load() {
    refill();
    if (app().g.blnSkin) ApplySkin(app().g.objSkin, app().g.reloadSkin, this);
}

void frmAdd::refill() {
    const Globals& g = app().g;
    mode_ = g.strEditMode;
    rowId_ = g.editRowId;
    if (mode_ == QLatin1String("Add")) {
        setWindowTitle(QStringLiteral("Add an entry"));
        txtUsername->clear();
        txtPassword->clear();
        txtWebsite->clear();
    } else {
        setWindowTitle(QStringLiteral("Edit an entry"));
        txtUsername->setText(g.strEditUsername);
        txtPassword->setText(g.strEditPassword);
        txtWebsite->setText(g.strEditLocation);
    }
    cmdDelete->setFocus();
}

void frmAdd::txtWebsite_KeyPress(int key) {
    if (key == 13) cmdAdd_Click(0);
}

void frmAdd::cmdDelete_Click() { app().forms.unload(this); }

void frmAdd::cmdAdd_Click(int) {
    const Entry entry{txtUsername->text(), txtPassword->text(), txtWebsite->text()};
    if (entry.username.isEmpty()) {
        app().msgBox(this, QStringLiteral("You must enter a username"), QStringLiteral("Error"));
        return;
    }
    if (entry.password.isEmpty()) {
        app().msgBox(this, QStringLiteral("You must enter a password"), QStringLiteral("Error"));
        return;
    }
    // Refuse what the vault could not give back unchanged; the editor keeps what was typed.
    if (const QString problem = VaultSession::entryProblem(entry); !problem.isEmpty()) {
        app().msgBox(this, problem, QStringLiteral("Error"));
        return;
    }
    ListItems& items = app().vault.entries();
    // The row the editor was opened on, wherever a sort has moved it.
    const qsizetype position = mode_ == QLatin1String("Add") ? 0 : items.positionOf(rowId_);
    const bool editedRowGone = mode_ != QLatin1String("Add") && position == 0;
    if (position == 0) {
        items.add(entry.username, entry.password, entry.location);
    } else {
        items.setText(position, entry.username);
        items.setSubItem(position, 1, entry.password);
        items.setSubItem(position, 2, entry.location);
    }
    if (app().vault.SaveData()) {
        const VaultSync::Saved& saved = app().vault.lastSave();
        // A merged save has said so on the status line.
        if (!saved.merged) SetStatus(app(), QStringLiteral("Added new entry.  Data saved."));
        // Said only once it is true; a failed save has told the user already.
        // The entry edited may also have been changed elsewhere just before the save.
        if (editedRowGone || (mode_ != QLatin1String("Add") && saved.unmatched > 0)) {
            app().msgBox(this,
                         QStringLiteral("The entry you were editing is no longer in the list: it was deleted, or "
                                        "changed by another program.  Your changes are saved as a new entry."),
                         QStringLiteral("Error"));
        } else if (saved.unmatched > 0) {
            app().vault.tellUnmatched();
        }
    }
    app().forms.unload(this);
}
