#pragma once

#include <QString>

class QWidget;

// Every message box of the program goes through here, so tests can answer them (see ScriptedMessageBoxes).
class MessageBoxes
{
public:
    enum class Icon { None, Information, Question, Error };
    enum class Buttons { Ok, OkCancel };
    enum class Answer { Ok, Cancel };
    // Translated: the buttons speak the language of Qt's own texts. English: "OK" and "Cancel" word for word.
    enum class ButtonTexts { Translated, English };

    struct Message
    {
        QString caption;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        ButtonTexts buttonTexts = ButtonTexts::Translated;
    };

    virtual ~MessageBoxes() = default;

    // Shows a modal box; Esc and closing the box answer Cancel where there is one.
    virtual Answer show(QWidget* parent, const Message& message) = 0;

    static MessageBoxes& instance();
    // Replaces the boxes everyone uses (tests); nullptr restores the real ones. Ownership stays with the caller.
    static void install(MessageBoxes* boxes);

    static Answer ask(QWidget* parent, const QString& caption, const QString& text, Icon icon = Icon::None);
    static void tell(QWidget* parent, const QString& caption, const QString& text, Icon icon = Icon::None);
};
