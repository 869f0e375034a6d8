#pragma once

#include "skin/SkinControl.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

// The state that the windows share and hand to each other. One set per
// running program; a test starts from a fresh one.
struct Globals {
    // Vault: the password window's mode (the master password is the open vault's)
    bool blnNewPassword = false;

    // Product identity and switches
    QString strProgramName;
    QString strCompany;
    QString strWebsite;
    bool blnSkin = false;
    bool blnMainClosed = false;

    // Skin: the splash window's skin control, how to bring it back once that
    // window has gone, and its helper, made at first use
    QPointer<SkinControl> objSkin;
    std::function<void()> reloadSkin;
    std::unique_ptr<SkinHelper> objSkinHelperInstance;
    SkinHelper& objSkinHelper() {
        if (!objSkinHelperInstance) objSkinHelperInstance = std::make_unique<SkinHelper>();
        return *objSkinHelperInstance;
    }

    // Editor hand-over
    QString strEditMode;
    QString strEditUsername;
    QString strEditPassword;
    QString strEditLocation;
    quint64 editRowId = 0;  // the row the editor opened, so a sort cannot redirect the save
};
