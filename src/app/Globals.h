#pragma once

#include <QString>

// The state that the windows share and hand to each other. One set per
// running program; a test starts from a fresh one.
struct Globals {
    // Vault
    QString strMasterPassword;
    QString strSavedPassword;
    bool blnNewPassword = false;

    // Product identity and switches
    QString strProgramName;
    QString strCompany;
    QString strWebsite;
    bool blnSkin = false;
    bool blnMainClosed = false;

    // Editor hand-over
    QString strEditMode;
    QString strEditUsername;
    QString strEditPassword;
    QString strEditLocation;
    qsizetype intEditIndex = 0;
    quint64 editRowId = 0;  // the row the editor opened, so a sort cannot redirect the save
};
