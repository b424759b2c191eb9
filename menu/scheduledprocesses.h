#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>

namespace Menu {
class Envelope;
class SchedProcCount;
class SchedProcData;
} // namespace Menu

// The user's scheduled processes on the server: their count, polled at a randomised interval while
// the menu session is connected so that the task bar's indicator stays current, and their list when
// the user asks for it.
class ScheduledProcesses : public QObject
{
    Q_OBJECT

public:
    struct Process
    {
        int processNumber = 0;
        QString title;
        QString dateTime;
        QString commandLine;
    };
    using List = QVector<Process>;
    using Sender = std::function<void(const Menu::Envelope &envelope)>;

    static constexpr int BusyTimeoutMs = 8000;
    static constexpr int PollBaseMs = 54000;
    static constexpr int PollJitterMs = 12000;

    explicit ScheduledProcesses(Sender send, QObject *parent = nullptr);
    ~ScheduledProcesses() override;

    int count() const { return m_count; }
    int pollInterval() const { return m_pollTimer.interval(); }
    bool isPolling() const { return m_pollTimer.isActive(); }
    // Follows the session: polls only while it is connected.
    void setAvailable(bool available);

    void countReceived(const Menu::SchedProcCount &count);
    void listReceived(const Menu::SchedProcData &data);

public slots:
    // The user asked for the list: it comes as listArrived, with the wait cursor meanwhile.
    void requestList();
    void refreshIndicator();
    void remove(int processNumber);

signals:
    void listArrived(ScheduledProcesses::List list);
    void countChanged(int count);

private:
    void sendRequest();
    void setCount(int count);

    Sender m_send;
    QTimer m_pollTimer;
    int m_count = 0;
    bool m_listRequested = false;
};

Q_DECLARE_METATYPE(ScheduledProcesses::List)
