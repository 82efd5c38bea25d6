#include "units/FirstShowDialog.h"

#include "units/WindowPlacement.h"

void FirstShowDialog::setVisible(bool visible)
{
    if (visible && !m_controlsMade) {
        m_controlsMade = true;
        createControls();
    }
    if (visible)
        WindowPlacement::centreOnFirstShow(*this);
    QDialog::setVisible(visible);
}
