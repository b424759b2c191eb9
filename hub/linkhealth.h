#pragma once

#include <QDateTime>
#include <QObject>

class QTimer;

// Whether the hub still answers, once the link is up. Something the hub is expected to answer (a
// ping, or outgoing bytes it must take) that gets nothing back within answerBoundMs marks the link
// not answering; anything from the hub marks it answering again. Something the user sent that gets
// nothing back for probeDelayMs asks for a ping before the periodic one is due. While the client
// itself holds reading (a page that cannot keep up) silence says nothing and is not judged.
class LinkHealth : public QObject
{
    Q_OBJECT

public:
    static constexpr int AnswerBoundMs = 15000;
    static constexpr int ProbeDelayMs = 5000;

    explicit LinkHealth(QObject *parent = nullptr);

    void setBounds(int answerBoundMs, int probeDelayMs);
    int answerBoundMs() const { return m_answerBoundMs; }

    // The link is up (answering) or gone (timers off, answering).
    void start();
    void stop();

    void pingSent();
    void userSent();
    // Anything from the hub.
    void heard();
    void setReadingHeld(bool held);
    // Outgoing bytes wait beyond the bound (true) or are taken again.
    void setBacklogged(bool backlogged);
    // The user saw the silence and waits: silent() comes again after another bound without answer.
    void keepWaiting();

    bool isAnswering() const { return m_answering; }
    bool isBacklogged() const { return m_backlogged; }
    // When the hub was last heard from.
    QDateTime lastHeard() const { return m_lastHeard; }

signals:
    // A bound passed without an answer (again, after keepWaiting()).
    void silent();
    // The hub was heard from after silent().
    void answeringAgain();
    void probeWanted();

private:
    void awaitAnswer();
    void boundPassed();

    QTimer *m_answerTimer;
    QTimer *m_probeTimer;
    int m_answerBoundMs = AnswerBoundMs;
    bool m_running = false;
    bool m_answering = true;
    bool m_held = false;
    bool m_backlogged = false;
    QDateTime m_lastHeard;
};
