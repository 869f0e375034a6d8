#pragma once

#include "forms/Form.h"

class QLabel;
class QTimer;
class SkinControl;

// The first window: the product picture while start-up counts its ticks.
class frmSplash : public Form {
    Q_OBJECT
public:
    explicit frmSplash(App& app);

    void Form_Load() override;
    void Form_Unload() override;
    void Timer2_Timer();

    // Brings the window, and with it the skin, back after it was unloaded,
    // without running start-up again; stays hidden.
    static void ReloadForSkin(App& app);

    QLabel* Image1;
    QTimer* Timer2;
    SkinControl* skn;
    int intTemp = 0;
};
