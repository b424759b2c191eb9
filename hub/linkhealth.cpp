#include "linkhealth.h"

#include <QDebug>
#include <QTimer>

LinkHealth::LinkHealth(QObject *parent)
    : QObject(parent)
    , m_answerTimer(new QTimer(this))
    , m_probeTimer(new QTimer(this))
{
    m_answerTimer->setSingleShot(true);
    m_answerTimer->setInterval(AnswerBoundMs);
    connect(m_answerTimer, &QTimer::timeout, this, &LinkHealth::boundPassed);
    m_probeTimer->setSingleShot(true);
    m_probeTimer->setInterval(ProbeDelayMs);
    connect(m_probeTimer, &QTimer::timeout, this, &LinkHealth::probeWanted);
}

void LinkHealth::setBounds(int answerBoundMs, int probeDelayMs)
{
    m_answerBoundMs = answerBoundMs;
    m_answerTimer->setInterval(answerBoundMs);
    m_probeTimer->setInterval(probeDelayMs);
}

void LinkHealth::start()
{
    m_running = true;
    m_answering = true;
    m_lastHeard = QDateTime::currentDateTime();
}

void LinkHealth::stop()
{
    m_running = false;
    m_backlogged = false;
    m_answering = true;
    m_answerTimer->stop();
    m_probeTimer->stop();
}

void LinkHealth::pingSent()
{
    awaitAnswer();
}

void LinkHealth::userSent()
{
    if (m_running && !m_answerTimer->isActive() && !m_probeTimer->isActive())
        m_probeTimer->start();
}

void LinkHealth::awaitAnswer()
{
    if (m_running && !m_answerTimer->isActive())
        m_answerTimer->start();
}

void LinkHealth::heard()
{
    if (!m_running)
        return;
    m_lastHeard = QDateTime::currentDateTime();
    m_probeTimer->stop();
    // Bytes that wait to go out are an answer still owed.
    if (m_backlogged) {
        m_answerTimer->start();
        return;
    }
    m_answerTimer->stop();
    if (!m_answering) {
        m_answering = true;
        qInfo() << "HUB: the hub answers again";
        emit answeringAgain();
    }
}

void LinkHealth::setReadingHeld(bool held)
{
    m_held = held;
    // What arrived meanwhile is read once the hold ends; the wait starts again then.
    if (held && !m_backlogged)
        m_answerTimer->stop();
    else if (!held && !m_answering)
        awaitAnswer();
}

void LinkHealth::setBacklogged(bool backlogged)
{
    if (!m_running || backlogged == m_backlogged)
        return;
    m_backlogged = backlogged;
    if (backlogged) {
        awaitAnswer();
        return;
    }
    heard();
}

void LinkHealth::keepWaiting()
{
    if (!m_running || m_answering)
        return;
    qInfo() << "HUB: the user keeps waiting for the hub";
    m_answerTimer->start();
    emit probeWanted();
}

void LinkHealth::boundPassed()
{
    if (!m_running || (m_held && !m_backlogged))
        return;
    qWarning().noquote() << QStringLiteral("HUB: the hub has not answered for %1 s%2")
                                .arg(m_lastHeard.secsTo(QDateTime::currentDateTime()))
                                .arg(m_backlogged ? QStringLiteral(" and does not take what the client sends")
                                                  : QString());
    m_answering = false;
    emit silent();
}
