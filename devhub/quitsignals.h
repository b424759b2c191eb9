#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a signal in the event loop, so that Ctrl+C ends the hub
// through the normal shutdown and the programs it runs in terminals are ended with it.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested(int signal);

private:
    static void handle(int signal);

    static int s_pipe[2];
    QSocketNotifier *m_notifier = nullptr;
};
