#pragma once

#include "forms/Form.h"

class PictureButton;
class QLineEdit;
class QPushButton;
class QTimer;
class SkinLabel;

// The gate in front of the vault: creates the first master password, or
// checks the typed one with three tries.
class frmPass : public Form {
    Q_OBJECT
public:
    explicit frmPass(App& app);

    void Form_Load() override;
    void Form_Unload() override;
    void cmdOK_Click();
    void cmdCancel_Click();
    void Timer1_Timer();
    void txtPass_KeyPress(int key);
    void txtPass2_KeyPress(int key);

    SkinLabel* SkinLabel1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QLineEdit* txtPass;
    SkinLabel* SkinLabel2;
    QLineEdit* txtPass2;
    SkinLabel* SkinLabel3;
    QTimer* Timer1;
    int intTries = 0;

private:
    QWidget* mainWindow() const;
    void createPassword();
    void checkPassword();

    bool keyboardHandedBack_ = false;
};
