#include "zudateedit.h"

#include <QCalendarWidget>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>

namespace {
constexpr int ButtonMargin = 2;
}

QPointer<QCalendarWidget> ZuDateEdit::s_calendar;

ZuDateEdit::ZuDateEdit(QWidget *parent)
    : QLineEdit(parent)
    , m_calendarButton(new QPushButton(this))
{
    m_calendarButton->setObjectName(QStringLiteral("dateEditCalendarButton"));
    m_calendarButton->setFlat(true);
    // Beside the layout's stretch an ignored width would be zero: the button would vanish.
    m_calendarButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);
    m_calendarButton->setFocusPolicy(Qt::NoFocus);
    m_calendarButton->setCursor(Qt::PointingHandCursor);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(ButtonMargin, ButtonMargin, ButtonMargin, ButtonMargin);
    layout->addStretch();
    layout->addWidget(m_calendarButton);

    connect(m_calendarButton, &QPushButton::clicked, this, &ZuDateEdit::showCalendar);
}

QCalendarWidget *ZuDateEdit::openCalendar()
{
    return s_calendar;
}

void ZuDateEdit::showCalendar()
{
    if (s_calendar)
        s_calendar->close();

    // Owned by this editor, so it cannot outlive the field; deleted when closed.
    auto *calendar = new QCalendarWidget(this);
    calendar->setWindowFlags(Qt::Popup);
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    const QDate date = QDate::fromString(text(), QLatin1String(ReadFormat));
    if (date.isValid())
        calendar->setSelectedDate(date);
    connect(calendar, &QCalendarWidget::clicked, this, &ZuDateEdit::datePicked);
    connect(calendar, &QCalendarWidget::activated, this, &ZuDateEdit::datePicked);
    s_calendar = calendar;

    const QRect anchor(mapToGlobal(QPoint(0, 0)), size());
    QPoint topLeft = anchor.bottomLeft() + QPoint(0, 1);
    calendar->adjustSize();
    if (const QScreen *screen = QGuiApplication::screenAt(anchor.center())) {
        const QRect available = screen->availableGeometry();
        if (topLeft.y() + calendar->height() > available.bottom())
            topLeft.setY(anchor.top() - calendar->height());
        topLeft.setX(qBound(available.left(), topLeft.x(), available.right() - calendar->width()));
    }
    calendar->move(topLeft);
    calendar->show();
}

void ZuDateEdit::datePicked(const QDate &date)
{
    const QString picked = date.toString(QLatin1String(PickFormat));
    setText(picked);
    if (s_calendar)
        s_calendar->close();
    emit textEdited(picked);
}
