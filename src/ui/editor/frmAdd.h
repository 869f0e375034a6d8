#pragma once

#include "forms/Form.h"

#include <array>

class PictureButton;
class QLineEdit;
class SkinLabel;

// The entry editor: one window for adding an entry and for changing the one
// the user opened.
class frmAdd : public Form {
    Q_OBJECT
public:
    explicit frmAdd(App& app);

    void Form_Load() override;
    void cmdAdd_Click(int index);
    void cmdDelete_Click();
    void txtWebsite_KeyPress(int key);

    // Takes the mode and the entry from the hand-over state again, for a new
    // Add or Edit while the editor is open.
    void refill();

    PictureButton* cmdDelete;
    std::array<PictureButton*, 1> cmdAdd{};
    SkinLabel* SkinLabel1;
    QLineEdit* txtUsername;
    SkinLabel* SkinLabel2;
    QLineEdit* txtPassword;
    SkinLabel* SkinLabel3;
    QLineEdit* txtWebsite;

private:
    QString mode_;
    quint64 rowId_ = 0;
};
