#pragma once

#include "forms/Form.h"

#include <array>

class ClickLabel;
class QLabel;
class SkinLabel;

// Shows the program's name, version, owner and web site.
class frmAbout : public Form {
    Q_OBJECT
public:
    explicit frmAbout(App& app);

    void Form_Load() override;
    void lblWebsite_Click();

    // "major.minor" as plain numbers.
    static QString versionText(int major, int minor);

    QLabel* Picture1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* lblVersion;
    QLabel* lblCompany;
    ClickLabel* lblWebsite;
    QList<SkinLabel*> SkinLabel1;  // element 0 is the hidden template
};
