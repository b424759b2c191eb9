#pragma once

#include <QDateTime>
#include <QToolBar>

class QLabel;
class QTimer;

// A bar across the desktop while the hub does not answer: since when nothing was heard from it,
// counting up, with "Keep waiting" (the bar goes, and comes back if the hub stays silent) and
// "Disconnect" (the link is given up).
class LinkHealthBar : public QToolBar
{
    Q_OBJECT

public:
    explicit LinkHealthBar(QWidget *parent = nullptr);

    // backlogged: what the client sends is not taken either.
    void showSilence(const QDateTime &lastHeard, bool backlogged);
    void hideSilence();
    QString text() const;

signals:
    void keepWaitingClicked();
    void disconnectClicked();

private:
    void refresh();

    QLabel *m_label;
    QTimer *m_clock;
    QDateTime m_lastHeard;
    bool m_backlogged = false;
};
