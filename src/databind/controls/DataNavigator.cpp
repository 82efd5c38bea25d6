#include "databind/controls/DataNavigator.h"

#include "databind/RecordSet.h"
#include "databind/controls/DeleteConfirmation.h"
#include "look/Glyphs.h"
#include "platform/ErrorReporter.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace {

constexpr int repeatDelay = 400;
constexpr int repeatInterval = 100;

const char* const defaultHints[DataNavigator::buttonCount] = {
    "First record",  "Prior record", "Next record", "Last record", "Insert record",
    "Delete record", "Edit record",  "Post edit",   "Cancel edit", "Refresh data",
};

QPainterPath triangle(qreal tipX, qreal baseX)
{
    QPainterPath path;
    path.moveTo(baseX, 3);
    path.lineTo(tipX, 8);
    path.lineTo(baseX, 13);
    path.closeSubpath();
    return path;
}

// Small pictures drawn once, so the buttons look alike on every style.
QIcon buttonIcon(DataNavigator::Button which, const QColor& ink)
{
    using Button = DataNavigator::Button;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    switch (which) {
    case Button::First:
        painter.drawRect(QRectF(3, 3, 2, 10));
        painter.drawPath(triangle(6, 12));
        break;
    case Button::Prior:
        painter.drawPath(triangle(4, 11));
        break;
    case Button::Next:
        painter.drawPath(triangle(12, 5));
        break;
    case Button::Last:
        painter.drawPath(triangle(10, 4));
        painter.drawRect(QRectF(11, 3, 2, 10));
        break;
    case Button::Insert:
        painter.drawRect(QRectF(7, 2, 2, 12));
        painter.drawRect(QRectF(2, 7, 12, 2));
        break;
    case Button::Delete:
        painter.drawRect(QRectF(2, 7, 12, 2));
        break;
    case Button::Edit: {
        QPainterPath path; // a pencil
        path.moveTo(3, 13);
        path.lineTo(4, 10);
        path.lineTo(11, 3);
        path.lineTo(13, 5);
        path.lineTo(6, 12);
        path.closeSubpath();
        painter.drawPath(path);
        break;
    }
    case Button::Post:
        Glyphs::drawTick(painter);
        break;
    case Button::Cancel:
        painter.setPen(QPen(QColor(176, 0, 0), 2.2));
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case Button::Refresh: {
        painter.setPen(QPen(ink, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        QPainterPath head;
        head.moveTo(8, 0.5);
        head.lineTo(12, 3);
        head.lineTo(8, 5.5);
        head.closeSubpath();
        painter.drawPath(head);
        break;
    }
    }
    return QIcon(pixmap);
}

} // namespace

DataNavigator::DataNavigator(QWidget* parent) : QWidget(parent), m_link(*this)
{
    setFocusPolicy(Qt::NoFocus);
    const QColor ink = palette().color(QPalette::ButtonText);
    for (int i = 0; i < buttonCount; ++i) {
        const auto which = static_cast<Button>(i);
        auto* button = new QToolButton(this);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIcon(buttonIcon(which, ink));
        button->setToolTip(QString::fromLatin1(defaultHints[i]));
        if (which == Button::Prior || which == Button::Next) {
            button->setAutoRepeat(true);
            button->setAutoRepeatDelay(repeatDelay);
            button->setAutoRepeatInterval(repeatInterval);
        }
        connect(button, &QToolButton::clicked, this, [this, which] { run(which); });
        m_buttons[static_cast<std::size_t>(i)] = button;
    }
    updateButtons();
}

DataNavigator::~DataNavigator() = default;

void DataNavigator::setHints(const QStringList& hints)
{
    for (int i = 0; i < buttonCount && i < hints.size(); ++i)
        m_buttons[static_cast<std::size_t>(i)]->setToolTip(hints.at(i));
}

QStringList DataNavigator::hints() const
{
    QStringList hints;
    for (const QToolButton* button : m_buttons)
        hints.append(button->toolTip());
    return hints;
}

void DataNavigator::resizeEvent(QResizeEvent* event)
{
    // The buttons share the width evenly, the last one taking what the division leaves.
    QWidget::resizeEvent(event);
    int left = 0;
    for (int i = 0; i < buttonCount; ++i) {
        const int right = width() * (i + 1) / buttonCount;
        m_buttons[static_cast<std::size_t>(i)]->setGeometry(left, 0, right - left, height());
        left = right;
    }
}

bool DataNavigator::isAllowed(Button which) const
{
    const RecordSet* set = m_link.recordSet();
    if (!set || !set->isOpen())
        return false;
    const bool editing = set->isEditing();
    switch (which) {
    case Button::First:
    case Button::Prior:
        return !set->atStart();
    case Button::Next:
    case Button::Last:
        return !set->atEnd();
    case Button::Insert:
    case Button::Refresh:
        return set->canModify();
    case Button::Delete:
        return set->canModify() && !(set->atStart() && set->atEnd());
    case Button::Edit:
        return set->canModify() && !editing;
    case Button::Post:
    case Button::Cancel:
        return set->canModify() && editing;
    }
    return false;
}

void DataNavigator::updateButtons()
{
    for (int i = 0; i < buttonCount; ++i)
        m_buttons[static_cast<std::size_t>(i)]->setEnabled(isAllowed(static_cast<Button>(i)));
}

void DataNavigator::run(Button which)
{
    RecordSet* set = m_link.recordSet();
    if (!set)
        return;
    ErrorReporter::guarded([&] {
        switch (which) {
        case Button::First:
            set->first();
            break;
        case Button::Prior:
            set->prior();
            break;
        case Button::Next:
            set->next();
            break;
        case Button::Last:
            set->last();
            break;
        case Button::Insert:
            set->insert();
            break;
        case Button::Delete:
            if (DeleteConfirmation::confirm(this))
                set->remove();
            break;
        case Button::Edit:
            set->edit();
            break;
        case Button::Post:
            set->post();
            break;
        case Button::Cancel:
            set->cancel();
            break;
        case Button::Refresh:
            set->refresh();
            break;
        }
    });
}
