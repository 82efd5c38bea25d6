#pragma once

#include <QDate>
#include <QToolButton>

class QCalendarWidget;
class QFrame;

// A date picker that shows only its drop-down button: a click opens a calendar beside it, and choosing a day
// sets the date and emits picked(). Setting the date from the program emits nothing.
class DatePicker : public QToolButton
{
    Q_OBJECT
public:
    enum class CalendarAlignment { Left, Right };

    explicit DatePicker(CalendarAlignment alignment, QWidget* parent = nullptr);

    QDate date() const { return m_date; }
    void setDate(const QDate& date) { m_date = date; }

    // Opens the calendar on the current date (also what a click does).
    void dropDown();
    // The calendar while it is open (tests pick a day through it), else nullptr.
    QCalendarWidget* calendar() const;

protected:
    // Space, F4 and Alt+Down open the calendar, as a click does.
    void keyPressEvent(QKeyEvent* event) override;

signals:
    void picked(const QDate& date);

private:
    void choose(const QDate& date);

    CalendarAlignment m_alignment;
    QDate m_date;
    QFrame* m_popup = nullptr;
    QCalendarWidget* m_calendar = nullptr;
};
