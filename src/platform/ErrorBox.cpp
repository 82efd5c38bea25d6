#include "platform/ErrorBox.h"

#include "platform/MessageBoxes.h"

namespace ErrorBox {

QString withFullStop(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void show(QWidget* parent, const QString& caption, const std::exception& error)
{
    // The program's errors keep their text as UTF-8 in what(), so every exception reads the same way.
    MessageBoxes::tell(parent, caption, withFullStop(QString::fromUtf8(error.what())), MessageBoxes::Icon::Error);
}

} // namespace ErrorBox
