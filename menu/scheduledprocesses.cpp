#include "scheduledprocesses.h"

#include "utils/busymouse.h"
#include "latin1.h"

#include "menu.pb.h"

#include <QDebug>
#include <QRandomGenerator64>

#include <utility>

namespace {

const QString BusyKey = QStringLiteral("fetchScheduledProcesses");

} // namespace

ScheduledProcesses::ScheduledProcesses(Sender send, QObject *parent)
    : QObject(parent)
    , m_send(std::move(send))
{
    qRegisterMetaType<ScheduledProcesses::List>();
    m_pollTimer.setInterval(PollBaseMs + int(quint32(QRandomGenerator64::global()->generate()) % PollJitterMs));
    connect(&m_pollTimer, &QTimer::timeout, this, &ScheduledProcesses::sendRequest);
}

ScheduledProcesses::~ScheduledProcesses()
{
    if (m_listRequested)
        BusyMouse::instance()->stop(BusyKey);
}

void ScheduledProcesses::setAvailable(bool available)
{
    if (available) {
        m_pollTimer.start();
        return;
    }
    m_pollTimer.stop();
    if (std::exchange(m_listRequested, false))
        BusyMouse::instance()->stop(BusyKey);
}

void ScheduledProcesses::sendRequest()
{
    qDebug() << "MC: Requesting scheduled process data";
    Menu::Envelope envelope;
    envelope.mutable_schedprocdatarequest();
    m_send(envelope);
}

void ScheduledProcesses::refreshIndicator()
{
    sendRequest();
}

void ScheduledProcesses::requestList()
{
    BusyMouse::instance()->start(BusyKey, BusyTimeoutMs);
    m_listRequested = true;
    sendRequest();
}

void ScheduledProcesses::remove(int processNumber)
{
    Menu::Envelope envelope;
    envelope.mutable_removeschedprocrequest()->set_proc_number(processNumber);
    m_send(envelope);
}

void ScheduledProcesses::setCount(int count)
{
    if (count == m_count)
        return;
    m_count = count;
    emit countChanged(count);
}

void ScheduledProcesses::countReceived(const Menu::SchedProcCount &count)
{
    qDebug() << "Received SchedProcCount message.";
    if (m_pollTimer.isActive())
        m_pollTimer.start();
    setCount(count.proc_count());
}

void ScheduledProcesses::listReceived(const Menu::SchedProcData &data)
{
    if (m_pollTimer.isActive())
        m_pollTimer.start();
    setCount(data.schedproc_size());
    if (!std::exchange(m_listRequested, false))
        return;
    List list;
    list.reserve(data.schedproc_size());
    for (const auto &proc : data.schedproc())
        list.append({ proc.proc_number(), Latin1::toQString(proc.title()), Latin1::toQString(proc.datetime()),
                      Latin1::toQString(proc.exec_line()) });
    emit listArrived(list);
    BusyMouse::instance()->stop(BusyKey);
}
