#include "support/ScriptedMessageBoxes.h"

#include <utility>

MessageBoxes::Answer ScriptedMessageBoxes::show(QWidget*, const Message& message)
{
    m_shown.append(message);
    if (m_whileOpen)
        std::exchange(m_whileOpen, nullptr)();
    if (m_answers.empty())
        return Answer::Ok;
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

ScriptedMessageBoxes& ScriptedMessageBoxes::instance()
{
    static ScriptedMessageBoxes boxes;
    return boxes;
}

QStringList ScriptedMessageBoxes::shownTexts() const
{
    QStringList texts;
    for (const Message& message : m_shown)
        texts.append(message.text);
    return texts;
}

void ScriptedMessageBoxes::clear()
{
    m_answers.clear();
    m_shown.clear();
    m_whileOpen = nullptr;
}
