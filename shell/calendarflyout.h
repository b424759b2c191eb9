#pragma once

#include "flyout.h"

#include <QDate>
#include <QPointer>

class QCalendarWidget;

// A date picker beside a date field's calendar button.
class CalendarFlyout : public Flyout
{
    Q_OBJECT

public:
    static CalendarFlyout *showFlyout(const QDate &date, const QRect &anchor);
    static void closeFlyout();
    static CalendarFlyout *current() { return s_current; }
    ~CalendarFlyout() override;

    QCalendarWidget *calendar() const { return m_calendar; }

signals:
    void dateSelected(QDate date);

private:
    explicit CalendarFlyout(const QDate &date);

    QCalendarWidget *m_calendar;
    static QPointer<CalendarFlyout> s_current;
};
