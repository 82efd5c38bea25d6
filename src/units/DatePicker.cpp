#include "units/DatePicker.h"

#include "base/Clock.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

DatePicker::DatePicker(CalendarAlignment alignment, QWidget* parent) : QToolButton(parent), m_alignment(alignment)
{
    setArrowType(Qt::DownArrow);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QToolButton::clicked, this, &DatePicker::dropDown);
}

void DatePicker::dropDown()
{
    if (!m_popup) {
        m_popup = new QFrame(this, Qt::Popup);
        m_popup->setFrameShape(QFrame::Box);
        auto* layout = new QVBoxLayout(m_popup);
        layout->setContentsMargins(1, 1, 1, 1);
        m_calendar = new QCalendarWidget(m_popup);
        m_calendar->setGridVisible(true);
        layout->addWidget(m_calendar);
        connect(m_calendar, &QCalendarWidget::clicked, this, &DatePicker::choose);
        connect(m_calendar, &QCalendarWidget::activated, this, &DatePicker::choose);
    }
    m_calendar->setSelectedDate(m_date.isValid() ? m_date : Clock::today());
    m_popup->adjustSize();
    const QSize size = m_popup->sizeHint();
    QPoint topLeft = mapToGlobal(QPoint(0, height()));
    if (m_alignment == CalendarAlignment::Right)
        topLeft.rx() += width() - size.width();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        topLeft.setX(qBound(area.left(), topLeft.x(), area.right() - size.width()));
        if (topLeft.y() + size.height() > area.bottom())
            topLeft.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
    }
    m_popup->move(topLeft);
    m_popup->show();
    m_calendar->setFocus();
}

void DatePicker::keyPressEvent(QKeyEvent* event)
{
    const bool altDown = event->key() == Qt::Key_Down && event->modifiers().testFlag(Qt::AltModifier);
    if (event->key() == Qt::Key_F4 || altDown || event->key() == Qt::Key_Space)
        dropDown();
    else
        QToolButton::keyPressEvent(event);
}

QCalendarWidget* DatePicker::calendar() const
{
    return m_popup && m_popup->isVisible() ? m_calendar : nullptr;
}

void DatePicker::choose(const QDate& date)
{
    m_popup->hide();
    m_date = date;
    emit picked(date);
}
