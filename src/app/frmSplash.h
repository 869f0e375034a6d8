#pragma once

#include "platform/Forms.h"

class QLabel;
class QTimer;

// The first window: the product picture while start-up counts its ticks.
class frmSplash : public Form {
    Q_OBJECT
public:
    explicit frmSplash(App& app);

    void Form_Load() override;
    void Timer2_Timer();

    QLabel* Image1;
    QTimer* Timer2;
    int intTemp = 0;
};
