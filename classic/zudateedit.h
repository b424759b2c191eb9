#pragma once

#include <QDate>
#include <QLineEdit>
#include <QPointer>

class QCalendarWidget;
class QPushButton;

// Date entry of a field: a line edit with a calendar button at its right end. A date picked in
// the calendar is written as "MM/dd/yyyy" and announced with textEdited, like typed text, so
// that autonext and change tracking see it.
class ZuDateEdit : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr auto ReadFormat = "M/d/yyyy";
    static constexpr auto PickFormat = "MM/dd/yyyy";

    explicit ZuDateEdit(QWidget *parent = nullptr);

    QPushButton *calendarButton() const { return m_calendarButton; }
    // The open calendar of any date editor (only one is open at a time), or null.
    static QCalendarWidget *openCalendar();

public slots:
    void showCalendar();

private slots:
    void datePicked(const QDate &date);

private:
    QPushButton *m_calendarButton;
    static QPointer<QCalendarWidget> s_calendar;
};
