#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

// The menu item the user launched last, until a page comes for it. The terminal protocol names no
// menu item, so a terminal page takes its title from here; while the hub is silent the launch is
// named, so that the user knows why nothing opens.
class LaunchInFlight : public QObject
{
    Q_OBJECT

public:
    // A launch older than `waitMs` without a page is not waited for any more.
    explicit LaunchInFlight(QObject *parent = nullptr, int waitMs = 60000);

    void requested(const QString &title);
    // The title of the launch in flight, once: the next page is its answer.
    QString takeTitle();
    void forget() { m_title.clear(); }
    void setHubAnswering(bool answering);

signals:
    // A notice for as long as the hub stays silent; `waitOver` hands back the notice it ends.
    void waiting(const QString &notice);
    void waitOver(const QString &notice);

private:
    bool isRecent() const;
    void announce();

    const int m_waitMs;
    bool m_hubAnswering = true;
    QString m_title;
    QDateTime m_time;
    QString m_notice;
};
