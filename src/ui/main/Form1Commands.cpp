// The commands of the main window that act on the entries.
#include "listview/ListItems.h"
#include "listview/ListView.h"
#include "listview/modListViewEnh.h"
#include "program/App.h"
#include "ui/editor/frmAdd.h"
#include "ui/main/Form1.h"

void Form1::cmdAdd_Click(int) {
    app().g.strEditMode = QStringLiteral("Add");
    // A second request while the editor is open starts it afresh for this one.
    if (frmAdd* editor = app().forms.get<frmAdd>()) editor->refill();
    app().forms.show<frmAdd>();
}

void Form1::cmdEdit_Click() {
    const ListItems& items = lstPass->items();
    const qsizetype n = selectedEntry(QStringLiteral("You must first select an entry to edit."));
    if (n == 0) return;
    Globals& g = app().g;
    g.strEditUsername = items.text(n);
    g.strEditPassword = items.subItem(n, 1);
    g.strEditLocation = items.subItem(n, 2);
    g.editRowId = items.rowId(n);
    g.strEditMode = QStringLiteral("Edit");
    if (frmAdd* editor = app().forms.get<frmAdd>()) editor->refill();
    app().forms.show<frmAdd>();
}

void Form1::cmdCopy_Click(int index) {
    IClipboard& clipboard = *app().platform.clipboard;
    clipboard.clear();
    const ListItems& items = lstPass->items();
    const qsizetype n = selectedEntry(QStringLiteral("You must first select a row to copy from."));
    if (n == 0) return;
    static const QString prefixes[] = {QStringLiteral("Copied Username "), QStringLiteral("Copied Password "),
                                       QStringLiteral("Copied Location ")};
    if (index < 0 || index > 2) return;
    const QString value = index == 0 ? items.text(n) : items.subItem(n, index);
    clipboard.setText(value, index == 1);
    SetStatus(prefixes[index] + value);
}

void Form1::cmdDelete_Click() {
    ListItems& items = lstPass->items();
    const qsizetype n = selectedEntry(QStringLiteral("You must first select an entry to delete."));
    if (n == 0) return;
    const QString text = QStringLiteral("Are you sure you want to delete the following information?\r\n\r\n") +
                         QStringLiteral("Username: ") + items.text(n) + QStringLiteral("\r\n") +
                         QStringLiteral("Password: ") + items.subItem(n, 1) + QStringLiteral("\r\n") +
                         QStringLiteral("Used At: ") + items.subItem(n, 2);
    // The list can be read again while the question is open: delete the entry
    // that was asked about, wherever it is now.
    const ListItems::RowId asked = items.rowId(n);
    const MsgResult answer =
        app().msgBox(this, text, QStringLiteral("Confirm Delete"), MsgButtons::OkCancel, MsgResult::Ok);
    if (answer != MsgResult::Ok) {
        SetStatus(QStringLiteral("Entry not deleted, cancelled by user"));
        return;
    }
    // Gone from the list already, or found changed or gone by the save's merge.
    const auto changedElsewhere = [this] {
        SetStatus(QStringLiteral("Entry not deleted: it was changed or removed by another program"));
        app().msgBox(this,
                     QStringLiteral("The entry you asked to delete has been changed or removed by another program "
                                    "in the meantime.  Nothing was deleted."),
                     QStringLiteral("Error"));
    };
    const qsizetype now = items.positionOf(asked);
    if (now == 0) {
        changedElsewhere();
        return;
    }
    items.remove(now);
    if (!app().vault.SaveData()) return;
    const VaultSync::Saved& saved = app().vault.lastSave();
    if (saved.unmatched > 0) {
        changedElsewhere();
        return;
    }
    if (!saved.merged) SetStatus(QStringLiteral("Entry deleted successfully, data saved."));
}

qsizetype Form1::selectedEntry(const QString& complaint) {
    const qsizetype n = lstPass->items().firstSelected();
    if (n == 0) SetStatus(complaint);
    return n;
}

QString GotoAddress(const QString& location) {
    static const char* const markers[] = {".edu", "biz", "org", ".net", ".com", "www"};
    bool marked = false;
    for (const char* m : markers) marked = marked || location.contains(QLatin1String(m), Qt::CaseInsensitive);
    if (!marked) return location;
    if (location.contains(QLatin1String("https://"), Qt::CaseInsensitive) ||
        location.contains(QLatin1String("http://"), Qt::CaseInsensitive))
        return location;
    return QStringLiteral("http://") + location;
}

void Form1::cmdGoto_Click() {
    const ListItems& items = lstPass->items();
    const qsizetype n = selectedEntry(QStringLiteral("You must first select an entry to go to."));
    if (n == 0) return;
    SetStatus(QStringLiteral("Opening Location..."));
    const QString address = GotoAddress(items.subItem(n, 2));
    if (!app().platform.opener->open(address))
        SetStatus(QStringLiteral("Could not open the location: the desktop's opener (xdg-open) could not be started."));
}

void Form1::lstPass_ColumnClick(int columnHeaderIndex) {
    EnhListView_SortColumns(lstPass->items(), columnHeaderIndex, false);
}
