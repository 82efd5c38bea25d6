#pragma once

#include "platform/MessageBoxes.h"

#include <QList>

#include <deque>
#include <functional>

// Stands in for every message box in the tests: records what would have been shown and answers from a script
// (Ok when the script is empty). The test main installs one for the whole run.
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    Answer show(QWidget* parent, const Message& message) override;

    static ScriptedMessageBoxes& instance();

    void setNextAnswer(Answer answer) { m_answers.push_back(answer); }
    // Runs while the next box is open, as timers and other events do during a modal box.
    void whileNextBoxIsOpen(std::function<void()> action) { m_whileOpen = std::move(action); }
    const QList<Message>& shown() const { return m_shown; }
    QStringList shownTexts() const;
    void clear();

private:
    std::deque<Answer> m_answers;
    QList<Message> m_shown;
    std::function<void()> m_whileOpen;
};
