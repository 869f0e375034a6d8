#include "ui/help/Form8.h"

#include "forms/Twips.h"
#include "platform/Paths.h"
#include "program/App.h"
#include "rtf/RtfReader.h"
#include "skin/modSkin.h"
#include "util/modOnTop.h"
#include "util/xfileExists.h"

#include <QCheckBox>
#include <QFile>
#include <QTextBrowser>

namespace {
const QString kSection = QStringLiteral("Settings");
const QString kKey = QStringLiteral("showHelp");

// The stored value: 0 unchecked, 1 checked, 2 greyed.
Qt::CheckState fromValue(int value) {
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}
int toValue(Qt::CheckState state) { return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0; }

// Greyed is only ever set from the stored value; a click goes between checked and unchecked.
class TwoStateCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }
};
}  // namespace

Form8::Form8(App& app) : Form(app) {
    // A fixed dialog frame, kept out of the task bar.
    setFixedBorder(Qt::Tool);
    setWindowTitle(QStringLiteral("Readme/Help"));
    setFont(designFont());

    rtf1 = new QTextBrowser(this);
    rtf1->setObjectName(QStringLiteral("rtf1"));
    rtf1->setReadOnly(true);
    rtf1->setOpenLinks(false);
    rtf1->setOpenExternalLinks(false);
    Twips::place(rtf1, 0, 0, 10275, 7515);
    Check1 = new TwoStateCheckBox(QStringLiteral("Show at Startup"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setCheckState(Qt::Checked);
    Twips::place(Check1, 60, 7620, 1995, 255);
    setTabOrder(rtf1, Check1);
    setClientSizeTwips(10290, 7920);

    // Any change of the box counts, also one made while loading.
    connect(Check1, &QCheckBox::stateChanged, this, &Form8::Check1_Click);
    connect(rtf1, &QTextBrowser::anchorClicked, this, &Form8::rtf1_LinkClick);
}

QString Form8::documentPath(App& app) {
    return joinPath(app.platform.appInfo->applicationDir(), QStringLiteral("Help.rtf"));
}

void Form8::Form_Load() {
    // Nothing here stops the window from loading: a step that fails is skipped.
    if (app().g.blnSkin) ApplySkin(app().g.objSkin, app().g.reloadSkin, this);
    const QString path = documentPath(app());
    if (!FileExists(path)) {
        documentMissing_ = true;
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) RtfReader::readRtf(file.readAll(), rtf1->document());
    rtf1->moveCursor(QTextCursor::Start);  // open at the top of the document
    SetOnTop(this, true);
    const QString stored =
        app().platform.settings->read(app().platform.appInfo->productName(), kSection, kKey, QStringLiteral("1"));
    bool whole = false;
    const int value = stored.toInt(&whole);
    if (whole && value >= 0 && value <= 2) {
        Check1->setCheckState(fromValue(value));
    }
}

void Form8::Check1_Click() {
    app().platform.settings->write(app().platform.appInfo->productName(), kSection, kKey,
                                   QString::number(toValue(Check1->checkState())));
}

// Help.rtf lies where anyone can replace it, so only web and mail addresses go to the desktop; "#name"
// scrolls to a bookmark of the help itself, and files, scripts and other programs' schemes do nothing.
void Form8::rtf1_LinkClick(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme.isEmpty() && url.path().isEmpty() && url.hasFragment()) {
        rtf1->scrollToAnchor(url.fragment());
        return;
    }
    const bool web = (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
    const bool mail = scheme == u"mailto" && !url.path().isEmpty();
    if (web || mail) app().platform.opener->open(url.toString());
}

void ShowHelpWindow(App& app) {
    Forms& forms = app.forms;
    const bool wasLoaded = forms.isLoaded<Form8>();
    Form8* help = forms.load<Form8>();
    if (!help) return;
    if (!wasLoaded && help->documentMissing()) {
        // Without its document the window does not appear; the next request looks again.
        forms.unload(help);
        return;
    }
    forms.showForm(help);
}
