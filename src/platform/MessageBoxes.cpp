#include "platform/MessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

class WidgetMessageBoxes : public MessageBoxes
{
public:
    Answer show(QWidget* parent, const Message& message) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(message.caption);
        box.setText(message.text);
        switch (message.icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        }
        const bool english = message.buttonTexts == ButtonTexts::English;
        QPushButton* ok =
            english ? box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole) : box.addButton(QMessageBox::Ok);
        box.setDefaultButton(ok);
        if (message.buttons == Buttons::OkCancel)
            box.setEscapeButton(english ? box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole)
                                        : box.addButton(QMessageBox::Cancel));
        else
            box.setEscapeButton(ok);
        box.exec();
        return box.clickedButton() == ok ? Answer::Ok : Answer::Cancel;
    }
};

WidgetMessageBoxes s_widgetBoxes;
MessageBoxes* s_installed = nullptr;

} // namespace

MessageBoxes& MessageBoxes::instance()
{
    return s_installed ? *s_installed : s_widgetBoxes;
}

void MessageBoxes::install(MessageBoxes* boxes)
{
    s_installed = boxes;
}

MessageBoxes::Answer MessageBoxes::ask(QWidget* parent, const QString& caption, const QString& text, Icon icon)
{
    return instance().show(parent, {caption, text, icon, Buttons::OkCancel});
}

void MessageBoxes::tell(QWidget* parent, const QString& caption, const QString& text, Icon icon)
{
    instance().show(parent, {caption, text, icon, Buttons::Ok});
}
