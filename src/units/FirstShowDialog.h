#pragma once

#include <QDialog>

// A dialog that makes its controls at its first show rather than at start-up, since many sessions never open it,
// and is centred on the screen when first shown.
class FirstShowDialog : public QDialog
{
    Q_OBJECT

public:
    using QDialog::QDialog;

    void setVisible(bool visible) override;

protected:
    virtual void createControls() = 0;

private:
    bool m_controlsMade = false;
};
