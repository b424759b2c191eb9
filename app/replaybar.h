#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class SessionReplay;

// A small window that follows a replay: how far it is, the first difference between what the client
// sent and what the recorded client sent, and Next (one hub message), Run to end and Pause.
class ReplayBar : public QWidget
{
    Q_OBJECT

public:
    explicit ReplayBar(SessionReplay *replay, const QString &fileName, QWidget *parent = nullptr);

private:
    void refresh();

    QPointer<SessionReplay> m_replay;
    QLabel *m_progress;
    QLabel *m_difference;
    QPushButton *m_next;
    QPushButton *m_run;
    QPushButton *m_pause;
};
