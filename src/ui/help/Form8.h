#pragma once

#include "forms/Form.h"

class QCheckBox;
class QTextBrowser;

// The help viewer: shows Help.rtf from the program's folder and keeps the
// "Show at Startup" choice.
class Form8 : public Form {
    Q_OBJECT
public:
    explicit Form8(App& app);

    void Form_Load() override;
    void Check1_Click();
    void rtf1_LinkClick(const QUrl& url);

    // Help.rtf was missing when the window loaded.
    bool documentMissing() const { return documentMissing_; }
    static QString documentPath(App& app);

    QTextBrowser* rtf1;
    QCheckBox* Check1;

private:
    bool documentMissing_ = false;
};

// Opens the help window; one that is open already is only brought forward.
// Without Help.rtf nothing appears.
void ShowHelpWindow(App& app);
