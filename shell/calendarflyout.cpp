#include "calendarflyout.h"

#include <QCalendarWidget>
#include <QVBoxLayout>

QPointer<CalendarFlyout> CalendarFlyout::s_current;

CalendarFlyout::CalendarFlyout(const QDate &date)
    : Flyout(nullptr, false)
    , m_calendar(new QCalendarWidget(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_calendar);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setSelectedDate(date);
    m_calendar->setFocus();
    connect(m_calendar, &QCalendarWidget::clicked, this, &CalendarFlyout::dateSelected);
}

CalendarFlyout::~CalendarFlyout()
{
    if (s_current == this)
        s_current = nullptr;
}

CalendarFlyout *CalendarFlyout::showFlyout(const QDate &date, const QRect &anchor)
{
    closeFlyout();
    s_current = new CalendarFlyout(date);
    s_current->flyout(anchor);
    return s_current;
}

void CalendarFlyout::closeFlyout()
{
    if (!s_current)
        return;
    s_current->hide();
    s_current->deleteLater();
    s_current = nullptr;
}
